// wcrt_test.cpp: the device's wide C runtime for char16_t (cewchar.h).
//
// Matches the Microsoft runtime: case-insensitive compares and case mapping cover letters
// beyond ASCII, _wtoi reads blanks, a sign and digits and saturates at the 32-bit limits,
// LONG results are 32 bits, and the _s functions empty a destination that is too small.
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cewchar.h"
#include "kernel/strings.h"
#include "tchar.h"
#include "gtest/gtest.h"

namespace {

constexpr char16_t kGuard = 0xBEEF;

TEST(WcrtStrings, LengthCopyConcatenate) {
    EXPECT_EQ(wcslen(u""), 0u);
    EXPECT_EQ(wcslen(u"Fran\u00E7ais \U0001F600"), 11u); // units, not characters
    EXPECT_EQ(wcsnlen(u"abcdef", 3), 3u);
    EXPECT_EQ(wcsnlen(u"ab", 30), 2u);

    char16_t buf[16];
    std::fill(std::begin(buf), std::end(buf), kGuard);
    EXPECT_EQ(wcscpy(buf, u"alarm"), buf);
    EXPECT_EQ(wcscat(buf, u"1.wav"), buf);
    EXPECT_EQ(std::u16string(buf), u"alarm1.wav");
    EXPECT_EQ(buf[11], kGuard);
    wcsncat(buf, u"XYZ", 2);
    EXPECT_EQ(std::u16string(buf), u"alarm1.wavXY");

    // wcsncpy pads with terminators, and leaves none when the source fills the count.
    std::fill(std::begin(buf), std::end(buf), kGuard);
    wcsncpy(buf, u"ab", 5);
    EXPECT_EQ(std::u16string(buf, 5), std::u16string(u"ab\0\0\0", 5));
    EXPECT_EQ(buf[5], kGuard);
    std::fill(std::begin(buf), std::end(buf), kGuard);
    wcsncpy(buf, u"abcdef", 3);
    EXPECT_EQ(buf[2], u'c');
    EXPECT_EQ(buf[3], kGuard);

    char16_t* dup = _wcsdup(u"K\u00FChlschrank");
    ASSERT_NE(dup, nullptr);
    EXPECT_EQ(std::u16string(dup), u"K\u00FChlschrank");
    free(dup);
    EXPECT_EQ(_wcsdup(nullptr), nullptr);
}

TEST(WcrtStrings, CompareOrdinal) {
    EXPECT_EQ(wcscmp(u"abc", u"abc"), 0);
    EXPECT_LT(wcscmp(u"abc", u"abd"), 0);
    EXPECT_GT(wcscmp(u"abc", u"ab"), 0);
    EXPECT_GT(wcscmp(u"a", u"B"), 0); // by unit value
    EXPECT_GT(wcscmp(u"\u00E9", u"z"), 0);
    EXPECT_EQ(wcsncmp(u"abcX", u"abcY", 3), 0);
    EXPECT_LT(wcsncmp(u"abcX", u"abcY", 4), 0);
    EXPECT_EQ(wcsncmp(u"ab", u"ab", 10), 0);
}

// Paths, value names and library names are compared without case, and not only in ASCII.
TEST(WcrtStrings, CompareWithoutCase) {
    EXPECT_EQ(_wcsicmp(u"\\Windows\\zvWakeup.exe", u"\\windows\\ZVWAKEUP.EXE"), 0);
    EXPECT_EQ(_wcsicmp(u"\u00C4RGER", u"\u00E4rger"), 0);                 // Ä / ä
    EXPECT_EQ(_wcsicmp(u"\u00C9cole", u"\u00E9COLE"), 0);                 // É / é
    EXPECT_EQ(_wcsicmp(u"\u03A3\u039F\u03A6", u"\u03C3\u03BF\u03C6"), 0); // Greek
    EXPECT_EQ(_wcsicmp(u"\u041C\u0418\u0420", u"\u043C\u0438\u0440"), 0); // Cyrillic
    EXPECT_NE(_wcsicmp(u"\u00C4", u"A"), 0);
    // Ordering by the lower-case forms: 'a' sorts before 'B' here, unlike wcscmp.
    EXPECT_LT(_wcsicmp(u"a", u"B"), 0);
    EXPECT_GT(_wcsicmp(u"abc", u"AB"), 0);
    EXPECT_EQ(_wcsnicmp(u"Program Files", u"PROGRAMME", 7), 0);
    EXPECT_NE(_wcsnicmp(u"Program Files", u"PROGRAMME", 8), 0);
    EXPECT_EQ(_wcsnicmp(u"x", u"Y", 0), 0);
    EXPECT_EQ(_tcsicmp(_T("Coredll.dll"), _T("coredll.DLL")), 0);
    errno = 0;
    EXPECT_EQ(_wcsicmp(nullptr, u"a"), _NLSCMPERROR);
    EXPECT_EQ(errno, EINVAL);
}

TEST(WcrtStrings, Search) {
    const char16_t* path = u"\\Windows\\rings\\alarm.wav";
    EXPECT_EQ(wcschr(path, u'\\'), path);
    EXPECT_EQ(wcsrchr(path, u'\\'), path + 14);
    EXPECT_EQ(wcschr(path, u'#'), nullptr);
    EXPECT_EQ(wcsrchr(path, u'#'), nullptr);
    EXPECT_EQ(wcschr(path, u'\0'), path + wcslen(path)); // the terminator is part of it
    EXPECT_EQ(wcsstr(path, u"rings"), path + 9);
    EXPECT_EQ(wcsstr(path, u"ringz"), nullptr);
    EXPECT_EQ(wcsstr(path, u""), path);
    const char16_t* hay = u"aaab";
    EXPECT_EQ(wcsstr(hay, u"aab"), hay + 1);
    EXPECT_EQ(wcsspn(u"  \tx", u" \t"), 3u);
    EXPECT_EQ(wcscspn(u"name=value", u"=:"), 4u);
    EXPECT_EQ(wcscspn(u"plain", u"=:"), 5u);
    EXPECT_EQ(wcspbrk(hay, u"b"), hay + 3);
    EXPECT_EQ(wcspbrk(hay, u"xyz"), nullptr);

    // Writable strings give writable results, as product code cuts names in place.
    char16_t name[] = u"alarm.wav";
    char16_t* dot = wcsrchr(name, u'.');
    ASSERT_NE(dot, nullptr);
    *dot = 0;
    EXPECT_EQ(std::u16string(name), u"alarm");
}

TEST(WcrtCase, MappingCoversTheBmp) {
    EXPECT_EQ(towlower(u'A'), u'a');
    EXPECT_EQ(towlower(u'\u00C4'), u'\u00E4');
    EXPECT_EQ(towupper(u'\u00E9'), u'\u00C9');
    EXPECT_EQ(towlower(u'\u0410'), u'\u0430');
    EXPECT_EQ(towupper(u'\u03C9'), u'\u03A9');
    EXPECT_EQ(towlower(u'1'), u'1');
    EXPECT_EQ(towlower(static_cast<char16_t>(0xD83D)), 0xD83D); // a surrogate stays
    char16_t s[] = u"L\u00D6SCHEN \u00C9T\u00C9 \u03A3";
    EXPECT_EQ(_wcslwr(s), s);
    EXPECT_EQ(std::u16string(s), u"l\u00F6schen \u00E9t\u00E9 \u03C3");
    _wcsupr(s);
    EXPECT_EQ(std::u16string(s), u"L\u00D6SCHEN \u00C9T\u00C9 \u03A3");
}

TEST(WcrtCase, CharacterClasses) {
    EXPECT_TRUE(iswspace(u' '));
    EXPECT_TRUE(iswspace(u'\t'));
    EXPECT_TRUE(iswspace(u'\u3000')); // ideographic space
    EXPECT_FALSE(iswspace(u'x'));
    EXPECT_TRUE(iswdigit(u'7'));
    EXPECT_FALSE(iswdigit(u'a'));
    EXPECT_TRUE(iswalpha(u'\u00E9'));
    EXPECT_TRUE(iswalpha(u'\u65E5'));
    EXPECT_FALSE(iswalpha(u'-'));
    EXPECT_TRUE(iswalnum(u'5'));
    EXPECT_TRUE(iswupper(u'\u00C4'));
    EXPECT_FALSE(iswupper(u'\u00E4'));
    EXPECT_TRUE(iswlower(u'\u00E4'));
}

// ---- Numbers
// -----------------------------------------------------------------------------------------

TEST(WcrtNumbers, WtoiReadsBlanksSignDigits) {
    EXPECT_EQ(_wtoi(u"42"), 42);
    EXPECT_EQ(_wtoi(u"  -17abc"), -17);
    EXPECT_EQ(_wtoi(u"\t\n +8"), 8);
    EXPECT_EQ(_wtoi(u"007"), 7);
    EXPECT_EQ(_wtoi(u"1 2"), 1);
    EXPECT_EQ(_wtoi(u"0x1A"), 0); // no hexadecimal
    EXPECT_EQ(_wtoi(u"- 5"), 0);
    EXPECT_EQ(_wtoi(u"abc"), 0);
    EXPECT_EQ(_wtoi(u""), 0);
    EXPECT_EQ(_wtoi(nullptr), 0);
    EXPECT_EQ(_ttoi(_T("12")), 12);
}

// The Microsoft runtime saturates: INT_MAX and INT_MIN on overflow.
TEST(WcrtNumbers, WtoiSaturatesOnOverflow) {
    EXPECT_EQ(_wtoi(u"2147483647"), INT_MAX);
    EXPECT_EQ(_wtoi(u"2147483648"), INT_MAX);
    EXPECT_EQ(_wtoi(u"-2147483648"), INT_MIN);
    EXPECT_EQ(_wtoi(u"-2147483649"), INT_MIN);
    EXPECT_EQ(_wtoi(u"99999999999999999999999"), INT_MAX);
    EXPECT_EQ(_wtol(u"4294967296"), 2147483647L); // LONG is 32 bits
    EXPECT_EQ(_wtoi64(u"-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(_wtoi64(u"9223372036854775808"), INT64_MAX);
}

TEST(WcrtNumbers, WcstolBasesAndEnd) {
    char16_t* end = reinterpret_cast<char16_t*>(0xdeadbeef);
    const char16_t* s = u"  1234xyz";
    EXPECT_EQ(wcstol(s, &end, 10), 1234);
    EXPECT_EQ(end, s + 6);
    s = u"0x1f;";
    EXPECT_EQ(wcstol(s, &end, 16), 31);
    EXPECT_EQ(end, s + 4);
    EXPECT_EQ(wcstol(u"0x10", nullptr, 0), 16);
    EXPECT_EQ(wcstol(u"010", nullptr, 0), 8);
    EXPECT_EQ(wcstol(u"10", nullptr, 0), 10);
    EXPECT_EQ(wcstol(u"-z", nullptr, 36), -35);
    s = u"0xg";
    EXPECT_EQ(wcstol(s, &end, 16), 0);
    EXPECT_EQ(end, s + 1); // the "0" is the number
    s = u"xyz";
    EXPECT_EQ(wcstol(s, &end, 10), 0);
    EXPECT_EQ(end, s); // no number: end is the start
    s = u"  -";
    EXPECT_EQ(wcstol(s, &end, 10), 0);
    EXPECT_EQ(end, s);
}

TEST(WcrtNumbers, WcstolOverflowIs32Bit) {
    errno = 0;
    EXPECT_EQ(wcstol(u"2147483647", nullptr, 10), 2147483647L);
    EXPECT_EQ(errno, 0);
    EXPECT_EQ(wcstol(u"99999999999", nullptr, 10), 2147483647L);
    EXPECT_EQ(errno, ERANGE);
    errno = 0;
    EXPECT_EQ(wcstol(u"-2147483649", nullptr, 10), -2147483647L - 1);
    EXPECT_EQ(errno, ERANGE);
    errno = 0;
    EXPECT_EQ(wcstol(u"12", nullptr, 37), 0);
    EXPECT_EQ(errno, EINVAL);

    errno = 0;
    EXPECT_EQ(wcstoul(u"4294967295", nullptr, 10), 0xFFFFFFFFul);
    EXPECT_EQ(errno, 0);
    EXPECT_EQ(wcstoul(u"4294967296", nullptr, 10), 0xFFFFFFFFul);
    EXPECT_EQ(errno, ERANGE);
    EXPECT_EQ(wcstoul(u"-1", nullptr, 10), 0xFFFFFFFFul); // negated in 32 bits
    EXPECT_EQ(wcstoul(u"FFff", nullptr, 16), 0xFFFFul);
}

TEST(WcrtNumbers, Wcstod) {
    char16_t* end = nullptr;
    const char16_t* s = u"45356.25";
    EXPECT_DOUBLE_EQ(wcstod(s, &end), 45356.25);
    EXPECT_EQ(end, s + 8);
    s = u"  -1.5e3xyz";
    EXPECT_DOUBLE_EQ(wcstod(s, &end), -1500.0);
    EXPECT_EQ(end, s + 8);
    s = u"1,5"; // the decimal point is always '.'
    EXPECT_DOUBLE_EQ(wcstod(s, &end), 1.0);
    EXPECT_EQ(end, s + 1);
    EXPECT_DOUBLE_EQ(wcstod(u".5", nullptr), 0.5);
    s = u"abc";
    EXPECT_EQ(wcstod(s, &end), 0.0);
    EXPECT_EQ(end, s);
    s = u"2\u00BD"; // a non-ASCII character ends the number
    EXPECT_DOUBLE_EQ(wcstod(s, &end), 2.0);
    EXPECT_EQ(end, s + 1);
    EXPECT_DOUBLE_EQ(_wtof(u" 3.25 "), 3.25);
}

// ---- Bounded copies
// ---------------------------------------------------------------------------------

TEST(WcrtBounded, CopyFitsOrEmptiesTheDestination) {
    char16_t buf[8];
    std::fill(std::begin(buf), std::end(buf), kGuard);
    EXPECT_EQ(wcscpy_s(buf, 6, u"alarm"), 0);
    EXPECT_EQ(std::u16string(buf), u"alarm");
    EXPECT_EQ(buf[6], kGuard);
    std::fill(std::begin(buf), std::end(buf), kGuard);
    EXPECT_EQ(wcscpy_s(buf, 5, u"alarm"), ERANGE);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[5], kGuard);
    std::fill(std::begin(buf), std::end(buf), kGuard);
    EXPECT_EQ(wcscpy_s(buf, 0, u"a"), EINVAL);
    EXPECT_EQ(buf[0], kGuard);
    EXPECT_EQ(wcscpy_s(buf, 8, nullptr), EINVAL);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(wcscpy_s(nullptr, 8, u"a"), EINVAL);

    char16_t arr[4];
    EXPECT_EQ(wcscpy_s(arr, u"abc"), 0); // size taken from the array
    EXPECT_EQ(wcscpy_s(arr, u"abcd"), ERANGE);
    EXPECT_EQ(arr[0], 0);
}

TEST(WcrtBounded, CountedCopyAndConcatenate) {
    char16_t buf[8];
    std::fill(std::begin(buf), std::end(buf), kGuard);
    EXPECT_EQ(wcsncpy_s(buf, 8, u"abcdef", 3), 0);
    EXPECT_EQ(std::u16string(buf), u"abc");
    EXPECT_EQ(wcsncpy_s(buf, 4, u"abcdef", 4), ERANGE);
    EXPECT_EQ(buf[0], 0);
    std::fill(std::begin(buf), std::end(buf), kGuard);
    EXPECT_EQ(wcsncpy_s(buf, 5, u"abcdef", _TRUNCATE), STRUNCATE);
    EXPECT_EQ(std::u16string(buf), u"abcd");
    EXPECT_EQ(buf[5], kGuard);

    std::fill(std::begin(buf), std::end(buf), kGuard);
    wcscpy_s(buf, 8, u"ab");
    EXPECT_EQ(wcscat_s(buf, 8, u"cde"), 0);
    EXPECT_EQ(std::u16string(buf), u"abcde");
    EXPECT_EQ(wcscat_s(buf, 8, u"fgh"), ERANGE); // 8 units plus the terminator do not fit
    EXPECT_EQ(buf[0], 0);
    char16_t unterminated[3] = {u'a', u'b', u'c'};
    EXPECT_EQ(wcscat_s(unterminated, u"x"), EINVAL);
}

// ---- The platform's own UTF-8 helpers (kernel/strings.h) -------------------------------------

TEST(WcrtHostStrings, Utf8Conversions) {
    EXPECT_EQ(ce::toUtf8(u"Fran\u00E7ais \u00BD \U0001F600"), "Fran\xC3\xA7"
                                                              "ais \xC2\xBD \xF0\x9F\x98\x80");
    EXPECT_EQ(ce::fromUtf8("Fran\xC3\xA7"
                           "ais \xF0\x9F\x98\x80"),
              u"Fran\u00E7ais \U0001F600");
    // Ill-formed text on either side becomes U+FFFD rather than failing.
    EXPECT_EQ(ce::toUtf8(std::u16string(u"a") + char16_t(0xD800) + u"b"), "a\xEF\xBF\xBD"
                                                                          "b");
    EXPECT_EQ(ce::fromUtf8("a\xFF"
                           "b\xE2\x82"),
              u"a\uFFFDb\uFFFD");
    EXPECT_EQ(ce::fromUtf8(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(WcrtHostStrings, NamesMatchWithoutCase) {
    EXPECT_TRUE(ce::equalNoCase(u"\\Windows\\\u00C4rger.WAV", u"\\windows\\\u00E4rger.wav"));
    EXPECT_FALSE(ce::equalNoCase(u"\\Windows\\a", u"\\Windows\\ab"));
    EXPECT_FALSE(ce::equalNoCase(u"\u00C4", u"A"));
    EXPECT_EQ(ce::foldCase(u'\u00C9'), ce::foldCase(u'\u00E9'));
    EXPECT_EQ(ce::foldCase(u'\u03C2'), ce::foldCase(u'\u03A3')); // final sigma meets sigma
    EXPECT_EQ(ce::foldCase(u'\u212A'), u'k');                    // the Kelvin sign
}

} // namespace
