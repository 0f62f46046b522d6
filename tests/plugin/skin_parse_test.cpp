// skin_parse_test.cpp: the text rules of skin files: keys at the start of a line and as whole
// names, case, the value after '=', numbers as atoi reads them, colours, the navigation order,
// item values and file names that would leave the skin's folder.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "skinparse.h"

namespace {

std::string lowered(std::string text) {
    lowerSkinText(text.data());
    return text;
}

std::string valueOf(const std::string& text, const char* key) {
    char out[SKIN_VALUE_CCH];
    memset(out, 'X', sizeof(out));
    copySkinValue(findSkinValue(text.c_str(), key), out, sizeof(out));
    return out;
}

} // namespace

// A key counts after a line break only: the first line of a file never holds one. Keys are
// found whatever their case in the file, since the whole text is lower-cased first.
TEST(SkinText, KeysStartALineAndIgnoreCase) {
    std::string text = lowered("Today_Height=60\r\nVGA_Skin=1\r\nTODAY_HEIGHT=70\r\n");
    EXPECT_EQ("1", valueOf(text, "vga_skin"));
    EXPECT_EQ("70", valueOf(text, "today_height")) << "the first line is not read";
    EXPECT_EQ(nullptr, findSkinValue(lowered("today_height=60").c_str(), "today_height"));
}

// A key is a whole name: "small_cal" is not found in the line of "small_cal_recur", in
// whichever order the lines come; blanks or tabs may stand between the key and '='.
TEST(SkinText, KeysAreWholeNames) {
    std::string text = "\r\nsmall_cal_recur=recur.bmp\r\nsmall_cal = cal.bmp\r\n"
                       "host_imageoffset\t=12\r\nhost_image=h.png\r\n";
    EXPECT_EQ(" cal.bmp", valueOf(text, "small_cal"));
    EXPECT_EQ("recur.bmp", valueOf(text, "small_cal_recur"));
    EXPECT_EQ("h.png", valueOf(text, "host_image"));
    EXPECT_EQ("12", valueOf(text, "host_imageoffset"));
    // A line without '=' holds no value, and the next line's '=' is not borrowed.
    EXPECT_EQ(nullptr, findSkinValue("\r\ntext_font tahoma\r\nx=1\r\n", "text_font"));
    // transp_color is found anywhere, even on the first line.
    EXPECT_STREQ("0,255,0", findSkinValueAnywhere("transp_color=0,255,0", "transp_color"));
}

// A value ends at its line feed; the carriage return before it is cut, a last line without a
// line feed keeps all of its characters, and a long value is cut to the buffer.
TEST(SkinText, ValuesEndAtTheLine) {
    char out[8];
    memset(out, 'X', sizeof(out));
    EXPECT_EQ(3u, copySkinValue("abc\r\ndef", out, sizeof(out)));
    EXPECT_STREQ("abc", out);
    EXPECT_EQ(3u, copySkinValue("xyz", out, sizeof(out)));
    EXPECT_STREQ("xyz", out);
    char guarded[6 + 4];
    memset(guarded, 'G', sizeof(guarded));
    EXPECT_EQ(5u, copySkinValue("0123456789\r\n", guarded, 6));
    EXPECT_STREQ("01234", guarded);
    EXPECT_EQ(std::string(4, 'G'), std::string(guarded + 6, 4)) << "guard bytes";
}

// Numbers as atoi reads them: leading blanks, a sign, digits; anything else ends the number.
// Numbers too large for 32 bits are held at the limit instead of overflowing.
TEST(SkinText, NumbersReadLikeAtoi) {
    EXPECT_EQ(42, skinNumber("  42px"));
    EXPECT_EQ(-7, skinNumber("-7,3"));
    EXPECT_EQ(0, skinNumber("x12"));
    EXPECT_EQ(0, skinNumber(""));
    EXPECT_EQ(2147483647, skinNumber("99999999999999999999999"));
    EXPECT_EQ(-2147483647 - 1, skinNumber("-99999999999999999999999"));
    EXPECT_DOUBLE_EQ(8.5, skinDecimal("8.5"));
    EXPECT_DOUBLE_EQ(10.0, skinDecimal("10pt"));
}

// Colours are red,green,blue, each held to 0..255; two numbers, or an empty third, are no
// colour and leave the default.
TEST(SkinText, Colours) {
    COLORREF c = 0xdeadbeef;
    EXPECT_TRUE(parseSkinColour("10,20,30\r\n", &c));
    EXPECT_EQ(RGB(10, 20, 30), c);
    EXPECT_TRUE(parseSkinColour("300,-5,255", &c));
    EXPECT_EQ(RGB(255, 0, 255), c);
    c = 0xdeadbeef;
    EXPECT_FALSE(parseSkinColour("10,20\r\nx,1,2", &c)) << "the next line is not part of it";
    EXPECT_FALSE(parseSkinColour("10,20,", &c));
    EXPECT_FALSE(parseSkinColour("10", &c));
    EXPECT_EQ(0xdeadbeefu, c);
}

// nav_order keeps the first 15 item numbers; numbers that name no item are left out.
TEST(SkinText, NavigationOrder) {
    LONG order[SKIN_NAVORDER_MAX + 2];
    for (LONG& o : order)
        o = 0x7eadbeef;
    EXPECT_EQ(15, parseNavOrder("0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17\r\n", order,
                                SKIN_NAVORDER_MAX));
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(i, order[i]);
    EXPECT_EQ(0x7eadbeef, order[15]) << "nothing written past the fifteenth";
    EXPECT_EQ(3, parseNavOrder("3,99,-1,,17,16\r\n0", order, 3));
    EXPECT_EQ(3, order[0]);
    EXPECT_EQ(17, order[1]);
    EXPECT_EQ(16, order[2]);
}

// An item's value: enabled, x, y, image, then the optional argument (at most 50 characters),
// extra1 and extra2. Without the four first fields the item is not used.
TEST(SkinText, ItemValues) {
    SkinItemValue item;
    memset(&item, 0xEF, sizeof(item));
    ASSERT_TRUE(parseSkinItemValue("1,10,-20,bg.bmp,t,30,40\r\nnext=1", &item));
    EXPECT_EQ(1, item.enabled);
    EXPECT_EQ(10, item.x);
    EXPECT_EQ(-20, item.y);
    EXPECT_STREQ("bg.bmp", item.image);
    EXPECT_STREQ("t", item.argument);
    EXPECT_EQ(30, item.extra1);
    EXPECT_EQ(40, item.extra2);

    ASSERT_TRUE(parseSkinItemValue("1,1,2,a.bmp", &item));
    EXPECT_STREQ("", item.argument);
    EXPECT_EQ(0, item.extra1);

    std::string longArgument = "1,0,0,a.bmp," + std::string(80, 'k') + ",5";
    ASSERT_TRUE(parseSkinItemValue(longArgument.c_str(), &item));
    EXPECT_EQ(std::string(50, 'k'), item.argument);
    EXPECT_EQ(5, item.extra1);

    EXPECT_FALSE(parseSkinItemValue("", &item));
    EXPECT_FALSE(parseSkinItemValue("\r\n", &item));
    EXPECT_FALSE(parseSkinItemValue("1,2,3\r\n4,a.bmp", &item)) << "fields end with the line";
    EXPECT_EQ(0, item.enabled);
    std::string longLine = "1,0,0," + std::string(600, 'n') + ".bmp";
    ASSERT_TRUE(parseSkinItemValue(longLine.c_str(), &item));
    EXPECT_EQ(std::string(SKIN_VALUE_CCH - 1 - 6, 'n'), item.image) << "cut to the line buffer";
}

// File names from a skin stay below the skin's folder.
TEST(SkinText, FileNamesStayInTheirFolder) {
    EXPECT_TRUE(isSafeSkinFileName("button.bmp"));
    EXPECT_TRUE(isSafeSkinFileName("icons\\small.png"));
    EXPECT_TRUE(isSafeSkinFileName("a..b.bmp"));
    EXPECT_FALSE(isSafeSkinFileName(""));
    EXPECT_FALSE(isSafeSkinFileName("..\\..\\windows\\x.bmp"));
    EXPECT_FALSE(isSafeSkinFileName("icons/../../x.bmp"));
    EXPECT_FALSE(isSafeSkinFileName("icons\\..."));
    EXPECT_FALSE(isSafeSkinFileName("\\windows\\x.bmp"));
    EXPECT_FALSE(isSafeSkinFileName("c:x.bmp"));
}
