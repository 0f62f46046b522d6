// format_test.cpp: the device's printf conversions (wsprintfW, swprintf, _snwprintf, _snprintf)
// as Windows defines them, and their bounds.
//
// Windows, not glibc: in a wide format %s is wide and %S narrow (Windows-1252), in a narrow
// format the reverse; `l` is 32 bits because LONG is; exponents have three digits. Every output
// stops at the buffer's end, is terminated, and never leaves half a surrogate pair.
#include <climits>
#include <cstdint>
#include <string>

#include "cewchar.h"
#include "winformat.h"
#include "gtest/gtest.h"

namespace {

constexpr char16_t kGuard = 0xBEEF;

// Formats with _snwprintf into a roomy buffer and returns the text.
std::u16string fmtW(const char16_t* fmt, ...) {
    char16_t buf[512];
    va_list ap;
    va_start(ap, fmt);
    const int n = _vsnwprintf(buf, 512, fmt, ap);
    va_end(ap);
    EXPECT_GE(n, 0) << "output unexpectedly cut";
    return std::u16string(buf);
}

std::string fmtA(const char* fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    const int n = _vsnprintf(buf, 512, fmt, ap);
    va_end(ap);
    EXPECT_GE(n, 0) << "output unexpectedly cut";
    return std::string(buf);
}

// ---- Integers ---------------------------------------------------------------------------------

TEST(FormatWide, SignedAndUnsignedDecimal) {
    EXPECT_EQ(fmtW(u"%d", 0), u"0");
    EXPECT_EQ(fmtW(u"%d|%i", -1, 17), u"-1|17");
    EXPECT_EQ(fmtW(u"%d", INT_MIN), u"-2147483648");
    EXPECT_EQ(fmtW(u"%d", INT_MAX), u"2147483647");
    EXPECT_EQ(fmtW(u"%u", -1), u"4294967295");
    // LONG is 32 bits on the device: %ld takes a LONG, %lu a DWORD.
    const LONG negative = -123456789;
    EXPECT_EQ(fmtW(u"%ld", negative), u"-123456789");
    EXPECT_EQ(fmtW(u"%ld %ld", static_cast<LONG>(INT32_MIN), static_cast<LONG>(5)),
              u"-2147483648 5");
    EXPECT_EQ(fmtW(u"%lu", static_cast<DWORD>(0xFFFFFFFFu)), u"4294967295");
}

TEST(FormatWide, WidthZeroPaddingAndFlags) {
    EXPECT_EQ(fmtW(u"%02d", 5), u"05");
    EXPECT_EQ(fmtW(u"%02d", 123), u"123");
    EXPECT_EQ(fmtW(u"%04d", 42), u"0042");
    EXPECT_EQ(fmtW(u"%04d", -42), u"-042");
    EXPECT_EQ(fmtW(u"%5d|", 42), u"   42|");
    EXPECT_EQ(fmtW(u"%-5d|", 42), u"42   |");
    EXPECT_EQ(fmtW(u"%-05d|", 42), u"42   |"); // '-' wins over '0'
    EXPECT_EQ(fmtW(u"%+d %+d", 42, -42), u"+42 -42");
    EXPECT_EQ(fmtW(u"% d|% d", 42, -42), u" 42|-42");
    EXPECT_EQ(fmtW(u"%.3d", 7), u"007");
    EXPECT_EQ(fmtW(u"%06.3d|", 7), u"   007|"); // precision disables the '0' flag
    EXPECT_EQ(fmtW(u"[%.0d]", 0), u"[]");
    EXPECT_EQ(fmtW(u"%*d|%-*d|", 5, 42, 4, 7), u"   42|7   |");
    EXPECT_EQ(fmtW(u"%*d|", -4, 7), u"7   |"); // a negative * width means '-'
    EXPECT_EQ(fmtW(u"%.*d", 4, 9), u"0009");
}

TEST(FormatWide, HexOctalAndPrefixes) {
    EXPECT_EQ(fmtW(u"%x %X", 0xBEEFu, 0xBEEFu), u"beef BEEF");
    EXPECT_EQ(fmtW(u"0x%X", 0x1Fu), u"0x1F");
    EXPECT_EQ(fmtW(u"0x%08X", 0xABCu), u"0x00000ABC");
    EXPECT_EQ(fmtW(u"%#x|%#X|%#x", 255u, 255u, 0u), u"0xff|0XFF|0");
    EXPECT_EQ(fmtW(u"%#010x", 255u), u"0x000000ff");
    EXPECT_EQ(fmtW(u"%o %#o", 8u, 8u), u"10 010");
    EXPECT_EQ(fmtW(u"%X", -1), u"FFFFFFFF");
    EXPECT_EQ(fmtW(u"%p", reinterpret_cast<void*>(0x1234)), u"00001234");
}

TEST(FormatWide, SizePrefixes) {
    EXPECT_EQ(fmtW(u"%hd", 70000), u"4464"); // 70000 as a 16-bit SHORT
    EXPECT_EQ(fmtW(u"%hu", -1), u"65535");
    EXPECT_EQ(fmtW(u"%hhu", 0x1FF), u"255");
    const long long big = 1LL << 40;
    EXPECT_EQ(fmtW(u"%lld|%I64d", big, -big), u"1099511627776|-1099511627776");
    EXPECT_EQ(fmtW(u"%I64d", static_cast<long long>(INT64_MIN)), u"-9223372036854775808");
    EXPECT_EQ(fmtW(u"%I64u", static_cast<unsigned long long>(UINT64_MAX)), u"18446744073709551615");
    EXPECT_EQ(fmtW(u"%llx", 0x123456789ABCDEFull), u"123456789abcdef");
    // A 64-bit argument does not shift the ones after it.
    EXPECT_EQ(fmtW(u"%I64d %d", 5LL, 6), u"5 6");
}

// The file names of the product's exports and logs: year, month, day, hour, minute, and a
// sequence number that is not padded.
TEST(FormatWide, TimestampPattern) {
    EXPECT_EQ(fmtW(u"%d%02d%02d_%02d%02d%d", 2027, 3, 28, 7, 5, 9), u"20270328_07059");
    EXPECT_EQ(fmtW(u"%d%02d%02d_%02d%02d%d", 2026, 12, 1, 23, 59, 12), u"20261201_235912");
    EXPECT_EQ(fmtA("%d%02d%02d_%02d%02d%d", 2027, 3, 28, 7, 5, 9), "20270328_07059");
}

// ---- Floating point ------------------------------------------------------------------------

TEST(FormatWide, FloatingPoint) {
    // An OLE date: days since 30 December 1899, with the time as the fraction.
    EXPECT_EQ(fmtW(u"%f", 45356.25), u"45356.250000");
    EXPECT_EQ(fmtW(u"%f", -0.5), u"-0.500000");
    EXPECT_EQ(fmtW(u"%.2f|%.0f", 3.14159, 7.0), u"3.14|7");
    EXPECT_EQ(fmtW(u"%10.3f|", 2.5), u"     2.500|");
    EXPECT_EQ(fmtW(u"%-10.1f|", 2.5), u"2.5       |");
    EXPECT_EQ(fmtW(u"%010.2f", -3.5), u"-000003.50");
    EXPECT_EQ(fmtW(u"%+.1f", 2.0), u"+2.0");
    EXPECT_EQ(fmtW(u"%lf", 1.5), u"1.500000"); // 'l' does not change %f
    // The Microsoft runtime writes three exponent digits.
    EXPECT_EQ(fmtW(u"%e", 1500.0), u"1.500000e+003");
    EXPECT_EQ(fmtW(u"%.2E", -0.00125), u"-1.25E-003");
    EXPECT_EQ(fmtW(u"%g|%g|%g", 0.0001, 45356.375, 1e-5), u"0.0001|45356.4|1e-005");
    EXPECT_EQ(fmtW(u"%d %f %d", 1, 2.5, 3), u"1 2.500000 3");
}

// ---- Characters and strings ------------------------------------------------------------------

TEST(FormatWide, StringsWideAndNarrow) {
    EXPECT_EQ(fmtW(u"%s", u"Français ½"), u"Français ½");
    // %S in a wide format is 8-bit Windows-1252 text.
    EXPECT_EQ(fmtW(u"%S", "Fran\xE7"
                          "ais \xBD \x80"),
              u"Français ½ €");
    EXPECT_EQ(fmtW(u"%s\\%s\\%S", u"\\Program Files\\Zolvane", u"Default", "bg.png"),
              u"\\Program Files\\Zolvane\\Default\\bg.png");
    EXPECT_EQ(fmtW(u"%hs|%ls|%ws", "narrow", u"wide", u"wide too"), u"narrow|wide|wide too");
    EXPECT_EQ(fmtW(u"%hS|%lS", "n", u"w"), u"n|w");
    EXPECT_EQ(fmtW(u"[%8s][%-8s]", u"abc", u"abc"), u"[     abc][abc     ]");
    EXPECT_EQ(fmtW(u"[%.3s][%.10S]", u"abcdef", "xy"), u"[abc][xy]");
    EXPECT_EQ(fmtW(u"%s", u"a\U0001F600b"), u"a\U0001F600b");
}

TEST(FormatWide, NullStringsPrintNull) {
    EXPECT_EQ(fmtW(u"%s", static_cast<const char16_t*>(nullptr)), u"(null)");
    EXPECT_EQ(fmtW(u"%S", static_cast<const char*>(nullptr)), u"(null)");
    EXPECT_EQ(fmtW(u"[%.3s]", static_cast<const char16_t*>(nullptr)), u"[(nu]");
}

TEST(FormatWide, Characters) {
    EXPECT_EQ(fmtW(u"%c%c", u'A', u'\u00E9'), u"A\u00E9");
    EXPECT_EQ(fmtW(u"%c", u'\u65E5'), u"\u65E5");
    // %C in a wide format takes an 8-bit character of Windows-1252.
    EXPECT_EQ(fmtW(u"%C%C", 'x', static_cast<char>(0x80)), u"x€");
    EXPECT_EQ(fmtW(u"%hc|%lc|%wc", 'n', u'\u00E4', u'\u00F6'), u"n|\u00E4|\u00F6");
    EXPECT_EQ(fmtW(u"[%3c][%-3c]", u'z', u'z'), u"[  z][z  ]");
}

TEST(FormatWide, PercentAndUnknownConversions) {
    EXPECT_EQ(fmtW(u"100%%"), u"100%");
    EXPECT_EQ(fmtW(u"%y|%-5y|%d", 4), u"%y|%-5y|4"); // copied as written; no argument taken
    EXPECT_EQ(fmtW(u"%n|%d", 4), u"%n|4");           // %n never writes through an argument
    EXPECT_EQ(fmtW(u"end %"), u"end %");
    EXPECT_EQ(fmtW(u"end %-4"), u"end %-4");
}

// ---- Narrow formats
// -------------------------------------------------------------------------------

TEST(FormatNarrow, WideStringsAreNarrowedToWindows1252) {
    // Log lines narrow wide text with %S: Windows-1252 bytes, not UTF-8.
    EXPECT_EQ(fmtA("%S", u"Français ½"), "Fran\xE7"
                                         "ais \xBD");
    EXPECT_EQ(fmtA("%S|%ls|%ws", u"€ löschen", u"\u00C4", u"\u00FC"), "\x80 l\xF6schen|\xC4|\xFC");
    // Characters the code page lacks become '?', one per UTF-16 unit.
    EXPECT_EQ(fmtA("%S", u"\u65E5\u672C"), "??");
    EXPECT_EQ(fmtA("[%S]", u"\U0001F600"), "[??]");
    EXPECT_EQ(fmtA("%S", static_cast<const char16_t*>(nullptr)), "(null)");
    EXPECT_EQ(fmtA("[%6S]", u"ab"), "[    ab]");
}

TEST(FormatNarrow, NarrowConversions) {
    EXPECT_EQ(fmtA("%s|%hs", "plain", "also"), "plain|also");
    EXPECT_EQ(fmtA("%s", "caf\xE9"), "caf\xE9"); // bytes pass through unchanged
    EXPECT_EQ(fmtA("%c%C%lc", 'a', u'\u00E4', u'\u20AC'), "a\xE4\x80");
    EXPECT_EQ(fmtA("%ld|%lu|%04X", static_cast<LONG>(-7), static_cast<DWORD>(7), 0xABu),
              "-7|7|00AB");
    EXPECT_EQ(fmtA("%.1f%%", 99.95), "100.0%");
}

// ---- Bounds
// ----------------------------------------------------------------------------------------

// A wide %s cut at size N keeps N-1 characters and a terminator; nothing after the buffer moves.
TEST(FormatTruncation, WideStringCutAtBufferEnd) {
    for (size_t n : {1u, 2u, 5u, 10u}) {
        char16_t buf[16];
        std::fill(std::begin(buf), std::end(buf), kGuard);
        const int r = _snwprintf(buf, n, u"%s", u"abcdefghij");
        EXPECT_EQ(r, -1) << "size " << n;
        EXPECT_EQ(std::u16string(buf), std::u16string(u"abcdefghij", n - 1)) << "size " << n;
        for (size_t i = n; i < 16; ++i)
            EXPECT_EQ(buf[i], kGuard) << "size " << n << " at " << i;
    }
}

TEST(FormatTruncation, ExactFitIsNotCut) {
    char16_t buf[12];
    std::fill(std::begin(buf), std::end(buf), kGuard);
    EXPECT_EQ(_snwprintf(buf, 11, u"%s", u"abcdefghij"), 10);
    EXPECT_EQ(std::u16string(buf), u"abcdefghij");
    EXPECT_EQ(buf[11], kGuard);
    std::fill(std::begin(buf), std::end(buf), kGuard);
    EXPECT_EQ(swprintf(buf, 10, u"%d%s", 12345, u"6789x"), -1);
    EXPECT_EQ(std::u16string(buf), u"123456789");
    EXPECT_EQ(buf[10], kGuard);
}

TEST(FormatTruncation, SurrogatePairNeverSplit) {
    char16_t buf[8];
    std::fill(std::begin(buf), std::end(buf), kGuard);
    // Room for "ab" and one more unit: the pair does not fit whole, so it is left out.
    EXPECT_EQ(_snwprintf(buf, 4, u"%s", u"ab\U0001F600"), -1);
    EXPECT_EQ(std::u16string(buf), u"ab");
    EXPECT_EQ(buf[4], kGuard);
    std::fill(std::begin(buf), std::end(buf), kGuard);
    EXPECT_EQ(_snwprintf(buf, 5, u"%s", u"ab\U0001F600"), 4);
    EXPECT_EQ(std::u16string(buf), u"ab\U0001F600");
    // The same in literal format text, and under a precision.
    std::fill(std::begin(buf), std::end(buf), kGuard);
    EXPECT_EQ(_snwprintf(buf, 3, u"x\U0001F600"), -1);
    EXPECT_EQ(std::u16string(buf), u"x");
    EXPECT_EQ(fmtW(u"[%.3s]", u"ab\U0001F600"), u"[ab]");
}

TEST(FormatTruncation, NarrowOutputCutAtBufferEnd) {
    char buf[16];
    std::fill(std::begin(buf), std::end(buf), '#');
    EXPECT_EQ(_snprintf(buf, 8, "%S", u"Français ½"), -1);
    EXPECT_EQ(std::string(buf), "Fran\xE7"
                                "ai");
    for (size_t i = 8; i < 16; ++i)
        EXPECT_EQ(buf[i], '#') << "at " << i;
}

TEST(FormatTruncation, NumbersPaddingAndZeroSize) {
    char16_t buf[8];
    std::fill(std::begin(buf), std::end(buf), kGuard);
    EXPECT_EQ(_snwprintf(buf, 4, u"%d", 123456), -1);
    EXPECT_EQ(std::u16string(buf), u"123");
    std::fill(std::begin(buf), std::end(buf), kGuard);
    EXPECT_EQ(_snwprintf(buf, 6, u"%1000000000d", 1), -1);
    EXPECT_EQ(std::u16string(buf), u"     ");
    EXPECT_EQ(buf[6], kGuard);
    std::fill(std::begin(buf), std::end(buf), kGuard);
    EXPECT_EQ(_snwprintf(buf, 5, u"%f", 45356.25), -1);
    EXPECT_EQ(std::u16string(buf), u"4535");
    // A size of 0 writes nothing at all, not even a terminator.
    std::fill(std::begin(buf), std::end(buf), kGuard);
    EXPECT_EQ(_snwprintf(buf, 0, u"abc"), -1);
    EXPECT_EQ(buf[0], kGuard);
}

// The device's swprintf without a size, writing into an array, is bounded by the array.
TEST(FormatTruncation, SwprintfIntoArrayIsBounded) {
    struct {
        char16_t buf[6];
        char16_t guard[4];
    } s;
    std::fill(std::begin(s.guard), std::end(s.guard), kGuard);
    EXPECT_EQ(swprintf(s.buf, u"%d", 1234567), -1);
    EXPECT_EQ(std::u16string(s.buf), u"12345");
    for (char16_t g : s.guard)
        EXPECT_EQ(g, kGuard);
}

// ---- wsprintfW / wsprintfA
// ----------------------------------------------------------------------------

TEST(FormatWsprintf, ArrayDestinationBoundsTheOutput) {
    struct {
        WCHAR buf[8];
        WCHAR guard[4];
    } s;
    std::fill(std::begin(s.guard), std::end(s.guard), kGuard);
    EXPECT_EQ(wsprintfW(s.buf, u"%s-%d", u"alarm", 12345), 7);
    EXPECT_EQ(std::u16string(s.buf), u"alarm-1");
    for (WCHAR g : s.guard)
        EXPECT_EQ(g, kGuard);
    EXPECT_EQ(wsprintf(s.buf, TEXT("%02d:%02d"), 7, 5), 5);
    EXPECT_EQ(std::u16string(s.buf), u"07:05");
    struct {
        CHAR buf[6];
        CHAR guard[4];
    } a;
    std::fill(std::begin(a.guard), std::end(a.guard), '#');
    EXPECT_EQ(wsprintfA(a.buf, "%S!", u"Gr\u00FC\u00DFe"), 5);
    EXPECT_EQ(std::string(a.buf), "Gr\xFC\xDF"
                                  "e");
    for (CHAR g : a.guard)
        EXPECT_EQ(g, '#');
}

// Through a bare pointer, the documented limit of 1024 characters applies.
TEST(FormatWsprintf, PointerDestinationStopsAt1024) {
    std::u16string longText(1500, u'x');
    std::u16string buf(2000, kGuard);
    WCHAR* p = buf.data();
    EXPECT_EQ(wsprintfW(p, u"%s", longText.c_str()), 1023);
    EXPECT_EQ(std::u16string(p), std::u16string(1023, u'x'));
    EXPECT_EQ(buf[1024], kGuard);
}

int callWvsprintf(WCHAR* dest, LPCWSTR fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int r = wvsprintfW(dest, fmt, ap);
    va_end(ap);
    return r;
}

TEST(FormatWsprintf, VaListFormAndReturnValue) {
    WCHAR buf[64];
    EXPECT_EQ(callWvsprintf(buf, u"%s=%ld (0x%X)", u"level", static_cast<LONG>(-3), 0xFFu), 15);
    EXPECT_EQ(std::u16string(buf), u"level=-3 (0xFF)");
}

} // namespace
