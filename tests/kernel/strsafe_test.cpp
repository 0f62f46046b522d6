// strsafe_test.cpp: the StringCch* / StringCb* functions as the SDK documents them.
//
// S_OK when the result fits; STRSAFE_E_INSUFFICIENT_BUFFER with the result cut to the
// destination and terminated; STRSAFE_E_INVALID_PARAMETER for a size of 0 or above
// STRSAFE_MAX_CCH, for a Cat destination not terminated within its size, and for a string
// without a terminator within cchMax in StringCchLength. Nothing is written past the size.
#include <string>

#include "strsafe.h"
#include "gtest/gtest.h"

namespace {

constexpr char16_t kGuard = 0xBEEF;

struct WideBuf {
    WCHAR text[8];
    WCHAR guard[4];
    WideBuf() {
        std::fill(std::begin(text), std::end(text), kGuard);
        std::fill(std::begin(guard), std::end(guard), kGuard);
    }
    std::u16string str() const { return std::u16string(text); }
    bool guardIntact() const {
        for (WCHAR g : guard) {
            if (g != kGuard) return false;
        }
        return true;
    }
};

TEST(StrsafeCopy, FitsOrIsCut) {
    WideBuf b;
    EXPECT_EQ(StringCchCopyW(b.text, 8, u"alarm"), S_OK);
    EXPECT_EQ(b.str(), u"alarm");
    EXPECT_EQ(StringCchCopyW(b.text, 8, u"1234567"), S_OK); // exactly fills
    EXPECT_EQ(b.str(), u"1234567");
    EXPECT_EQ(StringCchCopyW(b.text, 8, u"reminder.wav"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(b.str(), u"reminde");
    EXPECT_TRUE(b.guardIntact());
    EXPECT_EQ(StringCchCopyW(b.text, 3, u"abc"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(b.str(), u"ab");
    EXPECT_EQ(b.text[3], u'i'); // nothing beyond cchDest is touched
    EXPECT_EQ(StringCchCopy(b.text, 8, TEXT("")), S_OK);
    EXPECT_EQ(b.str(), u"");
}

TEST(StrsafeCopy, InvalidSizes) {
    WideBuf b;
    EXPECT_EQ(StringCchCopyW(b.text, 0, u"a"), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(b.text[0], kGuard);
    EXPECT_EQ(StringCchCopyW(b.text, static_cast<size_t>(STRSAFE_MAX_CCH) + 1, u"a"),
              STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(b.text[0], kGuard);
    EXPECT_EQ(StringCbCopyW(b.text, 1, u"a"), STRSAFE_E_INVALID_PARAMETER); // half a WCHAR
    EXPECT_EQ(b.text[0], kGuard);
}

TEST(StrsafeCopy, CountedCopy) {
    WideBuf b;
    EXPECT_EQ(StringCchCopyNW(b.text, 8, u"abcdef", 3), S_OK);
    EXPECT_EQ(b.str(), u"abc");
    EXPECT_EQ(StringCchCopyNW(b.text, 8, u"ab", 100), S_OK);
    EXPECT_EQ(b.str(), u"ab");
    EXPECT_EQ(StringCchCopyNW(b.text, 4, u"abcdef", 5), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(b.str(), u"abc");
    EXPECT_EQ(StringCchCopyNW(b.text, 8, u"abc", static_cast<size_t>(STRSAFE_MAX_CCH) + 1),
              STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(b.str(), u"");

    char n[6];
    EXPECT_EQ(StringCchCopyNA(n, 6,
                              "Fran\xE7"
                              "ais",
                              5),
              S_OK);
    EXPECT_STREQ(n, "Fran\xE7");
    EXPECT_EQ(StringCchCopyA(n, 6, "abcdefgh"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(n, "abcde");
}

TEST(StrsafeCat, AppendsOrCuts) {
    WideBuf b;
    StringCchCopyW(b.text, 8, u"abc");
    EXPECT_EQ(StringCchCatW(b.text, 8, u"def"), S_OK);
    EXPECT_EQ(b.str(), u"abcdef");
    EXPECT_EQ(StringCchCatW(b.text, 8, u"ghij"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(b.str(), u"abcdefg");
    EXPECT_TRUE(b.guardIntact());
    EXPECT_EQ(StringCchCatW(b.text, 8, u""), S_OK);
    StringCchCopyW(b.text, 8, u"ab");
    EXPECT_EQ(StringCchCatNW(b.text, 8, u"cdef", 2), S_OK);
    EXPECT_EQ(b.str(), u"abcd");
    EXPECT_EQ(StringCbCatW(b.text, sizeof b.text, u"efghij"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(b.str(), u"abcdefg");

    char n[8] = "log";
    EXPECT_EQ(StringCchCatA(n, 8, ".txt"), S_OK);
    EXPECT_STREQ(n, "log.txt");
}

// A destination without a terminator inside cchDest is refused and left as it was.
TEST(StrsafeCat, UnterminatedDestination) {
    WideBuf b;
    for (int i = 0; i < 8; ++i)
        b.text[i] = u'x';
    EXPECT_EQ(StringCchCatW(b.text, 8, u"y"), STRSAFE_E_INVALID_PARAMETER);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(b.text[i], u'x') << "at " << i;
    EXPECT_TRUE(b.guardIntact());
    EXPECT_EQ(StringCchCatW(b.text, 0, u"y"), STRSAFE_E_INVALID_PARAMETER);
}

TEST(StrsafePrintf, FormatsOrCuts) {
    WideBuf b;
    EXPECT_EQ(StringCchPrintfW(b.text, 8, u"%s%02d", u"ab", 7), S_OK);
    EXPECT_EQ(b.str(), u"ab07");
    EXPECT_EQ(StringCchPrintfW(b.text, 8, u"%s world", u"Hello"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(b.str(), u"Hello w");
    EXPECT_TRUE(b.guardIntact());
    EXPECT_EQ(StringCchPrintfW(b.text, 0, u"x"), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(StringCbPrintfW(b.text, 6, u"%d", 123456), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(b.str(), u"12");
    EXPECT_EQ(StringCchPrintf(b.text, 8, TEXT("%S"), "\xBD"), S_OK);
    EXPECT_EQ(b.str(), u"½");

    char n[16];
    EXPECT_EQ(StringCchPrintfA(n, 16, "%S=%ld", u"Fran\u00E7ais", static_cast<LONG>(-1)), S_OK);
    EXPECT_STREQ(n, "Fran\xE7"
                    "ais=-1");
}

HRESULT vprintfW(WCHAR* dest, size_t cch, LPCWSTR fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const HRESULT hr = StringCchVPrintfW(dest, cch, fmt, ap);
    va_end(ap);
    return hr;
}

HRESULT vprintfA(char* dest, size_t cch, LPCSTR fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const HRESULT hr = StringCchVPrintfA(dest, cch, fmt, ap);
    va_end(ap);
    return hr;
}

TEST(StrsafePrintf, VaListForms) {
    WideBuf b;
    EXPECT_EQ(vprintfW(b.text, 8, u"%X-%c", 0xABCu, u'z'), S_OK);
    EXPECT_EQ(b.str(), u"ABC-z");
    EXPECT_EQ(vprintfW(b.text, 4, u"%X-%c", 0xABCu, u'z'), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(b.str(), u"ABC");
    char n[4];
    EXPECT_EQ(vprintfA(n, 4, "%d", 12345), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(n, "123");
}

TEST(StrsafeLength, Lengths) {
    size_t len = 0xdeadbeef;
    EXPECT_EQ(StringCchLengthW(u"alarm", 10, &len), S_OK);
    EXPECT_EQ(len, 5u);
    len = 0xdeadbeef;
    EXPECT_EQ(StringCchLengthW(u"alarm", 6, &len), S_OK); // the terminator is the 6th unit
    EXPECT_EQ(len, 5u);
    len = 0xdeadbeef;
    EXPECT_EQ(StringCchLengthW(u"alarm", 5, &len), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(len, 0u);
    len = 0xdeadbeef;
    EXPECT_EQ(StringCchLengthW(nullptr, 5, &len), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(StringCchLengthW(u"a", static_cast<size_t>(STRSAFE_MAX_CCH) + 1, &len),
              STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(StringCchLengthW(u"a", 5, nullptr), S_OK);
    len = 0xdeadbeef;
    EXPECT_EQ(StringCchLengthA("log", 4, &len), S_OK);
    EXPECT_EQ(len, 3u);
    EXPECT_EQ(StringCchLengthA("log", 3, &len), STRSAFE_E_INVALID_PARAMETER);
}

} // namespace
