// language_test.cpp: getText and lookupLanguageText over UTF-16LE language files written by
// the tests: an entry on the first line, identifier 1 against 12, a text over 260 characters,
// an empty entry falling back to English, and the settings application's language list.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "commontest.h"
#include "language.h"
#include "settings.h"

using namespace commontest;

namespace {

const char* const kFolder = "\\Program Files\\Zolvane";

class LanguageTest : public CommonTest {
protected:
    void SetUp() override {
        CommonTest::SetUp();
        makeFolder(kFolder);
        memcpy(getSettings().installFolder, u"\\Program Files\\Zolvane",
               sizeof(u"\\Program Files\\Zolvane"));
    }
    void writeLanguageFile(const std::string& suffix, const std::u16string& text) {
        writeFile(hostPath(std::string(kFolder) + "\\zv_" + suffix + ".txt"), utf16le(text));
    }
    std::u16string lookup(int id) {
        WCHAR out[LANG_TEXT_MAX + 2];
        for (WCHAR& unit : out)
            unit = 0xBEEF;
        lookupLanguageText(id, out, LANG_TEXT_MAX + 1);
        EXPECT_EQ(0xBEEF, out[LANG_TEXT_MAX + 1]); // guard unit after the buffer
        return std::u16string(out);
    }
};

} // namespace

// The built-in table: 261 texts, the product name in its place, empty identifiers empty.
TEST_F(LanguageTest, EnglishTableAndRange) {
    getSettings().lang = 0;
    EXPECT_EQ(u"Display Settings", getText(TXT_DISPLAY_SETTINGS));
    EXPECT_EQ(u"SunMonTueWedThuFriSat", getText(107));
    EXPECT_EQ(u"Zolvane", getText(TXT_ZOLVANE));
    EXPECT_EQ(u"No alarm in call", getText(259));
    EXPECT_EQ(u"Are you sure you want to delete?\n", getText(TXT_ARE_YOU_SURE_YOU_WANT));
    EXPECT_EQ(u"", getText(7));
    EXPECT_EQ(u"", getText(260));
    EXPECT_EQ(u"", getText(261));
    EXPECT_EQ(u"", getText(-1));
}

// An entry is found only after a line feed: never on the first line of the file.
TEST_F(LanguageTest, FirstLineIsNeverAnEntry) {
    getSettings().lang = 1;
    writeLanguageFile("DE", u"27=Erste Zeile\r\n28=Abbrechen\r\n");
    EXPECT_EQ(u"", lookup(27));
    EXPECT_EQ(u"OK", getText(27));
    EXPECT_EQ(u"Abbrechen", lookup(28));
    EXPECT_EQ(u"Abbrechen", getText(28));

    // With a byte-order mark the first line is still the heading.
    writeLanguageFile("DE", u"\uFEFF27=Erste Zeile\r\n27=Zweite Zeile\r\n");
    EXPECT_EQ(u"Zweite Zeile", getText(27));
}

// The line feed before and the equals sign after the number keep 1 and 12 apart.
TEST_F(LanguageTest, IdentifierOneIsNotTwelve) {
    getSettings().lang = 1;
    writeLanguageFile("DE", u"; Deutsch\r\n12=Musik abspielen\r\n112=Leer\r\n");
    EXPECT_EQ(u"", lookup(1));
    EXPECT_EQ(u"Alarm Settings", getText(1));
    EXPECT_EQ(u"Musik abspielen", getText(12));

    writeLanguageFile("DE", u"; Deutsch\r\n1=Alarm-Einstellungen\r\n");
    EXPECT_EQ(u"Alarm-Einstellungen", getText(1));
    EXPECT_EQ(u"Play music", getText(12));
    EXPECT_EQ(u"", lookup(12));
}

// A text longer than 260 characters is cut to 260; the buffer is never overrun.
TEST_F(LanguageTest, LongTextIsCutTo260) {
    getSettings().lang = 3;
    const std::u16string longText(300, u'\u00e9');
    writeLanguageFile("FR", u"Fran\u00e7ais\r\n40=" + longText + u"\r\n");
    EXPECT_EQ(longText.substr(0, 260), lookup(40));
    EXPECT_EQ(longText.substr(0, 260), getText(40));

    // A larger buffer still gets 260 characters; a smaller one cuts to its own size.
    WCHAR large[400];
    lookupLanguageText(40, large, 400);
    EXPECT_EQ(longText.substr(0, 260), std::u16string(large));
    WCHAR small[5] = {1, 1, 1, 1, 1};
    lookupLanguageText(40, small, 4);
    EXPECT_EQ(u"\u00e9\u00e9\u00e9", std::u16string(small));
    EXPECT_EQ(1, small[4]);
}

// An empty text in the file, a missing file and an unknown language all give English.
TEST_F(LanguageTest, EmptyOrMissingFallsBackToEnglish) {
    getSettings().lang = 1;
    writeLanguageFile("DE", u"Deutsch\r\n42=\r\n43=Zeilen:\r\n");
    EXPECT_EQ(u"Import will overwrite current settings! Do you want to continue?", getText(42));
    EXPECT_EQ(u"Zeilen:", getText(43));

    getSettings().lang = 2; // no zv_IT.txt
    EXPECT_EQ(u"Read lines:", getText(43));
    getSettings().lang = 99;
    EXPECT_EQ(u"Read lines:", getText(43));
    EXPECT_EQ(u"", lookup(43));

    // lang 0 is English even with a file beside it.
    getSettings().lang = 0;
    EXPECT_EQ(u"Read lines:", getText(43));
}

// A text ends at its line's end: a file written with bare line feeds must not run on into the
// next entry, and an entry with no line end after it is not taken.
TEST_F(LanguageTest, TextEndsAtItsLine) {
    getSettings().lang = 7;
    writeLanguageFile("SP", u"Espa\u00f1ol\n27=Aceptar\n28=Cancelar");
    EXPECT_EQ(u"Aceptar", getText(27));
    EXPECT_EQ(u"Cancel", getText(28));
}

// Bytes that are no UTF-16 text (an odd length, no line breaks) give nothing, and no crash.
TEST_F(LanguageTest, JunkFileGivesEnglish) {
    getSettings().lang = 1;
    writeFile(hostPath(std::string(kFolder) + "\\zv_DE.txt"), std::string("\n\0"
                                                                          "5",
                                                                          3));
    EXPECT_EQ(u"sec", getText(5));
    writeFile(hostPath(std::string(kFolder) + "\\zv_DE.txt"), std::string());
    EXPECT_EQ(u"sec", getText(5));
}

// English and Deutsch always; the others when their file exists, in the table's order.
TEST_F(LanguageTest, LanguageListShowsInstalledLanguages) {
    writeLanguageFile("SW", u"Svenska\r\n");
    writeLanguageFile("IT", u"Italiano\r\n");
    writeLanguageFile("KO", u"Korean\r\n");
    LanguageChoice list[30];
    const int count = listLanguages(list, 30);
    ASSERT_EQ(5, count);
    const LONG codes[] = {0, 1, 2, 9, 21};
    const char16_t* names[] = {u"English", u"Deutsch", u"Italiano", u"Swedish", u"Korean"};
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(codes[i], list[i].code) << i;
        EXPECT_EQ(std::u16string(names[i]), std::u16string(list[i].name)) << i;
    }
    EXPECT_EQ(2, listLanguages(list, 2));
}

TEST_F(LanguageTest, HelpFileFollowsGerman) {
    getSettings().lang = 1;
    EXPECT_EQ(u"file:Zolvane_de.htm#", std::u16string(helpFilePrefix()));
    getSettings().lang = 3;
    EXPECT_EQ(u"file:Zolvane.htm#", std::u16string(helpFilePrefix()));
}
