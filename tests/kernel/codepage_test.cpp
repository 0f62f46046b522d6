// codepage_test.cpp: MultiByteToWideChar, WideCharToMultiByte and GetACP.
//
// Conformance with the documented behaviour: CP_ACP is Windows-1252 (all 256 bytes map, the
// five undefined ones to the C1 control of the same value), -1 lengths count the terminator,
// an output size of 0 asks for the size needed, a short buffer fails with
// ERROR_INSUFFICIENT_BUFFER, ill-formed UTF-8 becomes U+FFFD unless MB_ERR_INVALID_CHARS asks
// for ERROR_NO_UNICODE_TRANSLATION.
#include <string>
#include <vector>

#include "winbase.h"
#include "winnls.h"
#include "gtest/gtest.h"

namespace {

constexpr char16_t kGuard = 0xBEEF;
constexpr DWORD kPoison = 0xdeadbeef;

std::u16string widen(UINT cp, const std::string& s, DWORD flags = 0) {
    std::u16string out(s.size() * 2 + 4, kGuard);
    const int n = MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), out.data(),
                                      static_cast<int>(out.size()));
    EXPECT_GT(n, 0) << "error " << GetLastError();
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

std::string narrow(UINT cp, const std::u16string& s, DWORD flags = 0) {
    std::string out(s.size() * 4 + 4, '#');
    const int n = WideCharToMultiByte(cp, flags, s.data(), static_cast<int>(s.size()), out.data(),
                                      static_cast<int>(out.size()), nullptr, nullptr);
    EXPECT_GT(n, 0) << "error " << GetLastError();
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

TEST(CodepageAnsi, IsWindows1252) {
    EXPECT_EQ(GetACP(), 1252u);
    EXPECT_EQ(widen(CP_ACP, "Fran\xE7"
                            "ais \xBD"),
              u"Français ½");
    EXPECT_EQ(widen(CP_ACP, "\x80\x8A\x99\x9F"), u"\u20AC\u0160\u2122\u0178");
    // The five bytes the code page leaves undefined become the C1 control of the same value.
    EXPECT_EQ(widen(CP_ACP, "\x81\x8D\x8F\x90\x9D"), u"\u0081\u008D\u008F\u0090\u009D");
    EXPECT_EQ(widen(CP_THREAD_ACP, "\xE9"), u"\u00E9");
    EXPECT_EQ(widen(CP_OEMCP, "\xE9"), u"\u00E9");
    EXPECT_EQ(narrow(CP_ACP, u"Français ½ € löschen"), "Fran\xE7"
                                                       "ais \xBD \x80 l\xF6schen");
}

TEST(CodepageAnsi, EveryByteRoundTrips) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const std::u16string wide = widen(CP_ACP, all);
    ASSERT_EQ(wide.size(), 255u);
    BOOL used = kPoison;
    std::string back(300, '#');
    const int n =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), 255, back.data(), 300, nullptr, &used);
    ASSERT_EQ(n, 255);
    back.resize(255);
    EXPECT_EQ(back, all);
    EXPECT_EQ(used, FALSE);
}

TEST(CodepageAnsi, UnmappableCharactersUseTheDefault) {
    BOOL used = kPoison;
    char out[16];
    std::fill(std::begin(out), std::end(out), '#');
    int n = WideCharToMultiByte(CP_ACP, 0, u"a\u65E5\u0100b", -1, out, 16, nullptr, &used);
    EXPECT_EQ(n, 5);
    EXPECT_STREQ(out, "a??b");
    EXPECT_EQ(used, TRUE);
    used = kPoison;
    n = WideCharToMultiByte(CP_ACP, 0, u"x\u0100", 2, out, 16, "*", &used);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(std::string(out, 2), "x*");
    EXPECT_EQ(used, TRUE);
    // C1 controls without a byte of their own are unmappable too.
    EXPECT_EQ(narrow(CP_ACP, u"\u0080\u0081"), "?\x81");
}

TEST(CodepageUtf8, DecodesAndEncodes) {
    EXPECT_EQ(widen(CP_UTF8, "Fran\xC3\xA7"
                             "ais \xC2\xBD \xE2\x82\xAC"),
              u"Français ½ €");
    EXPECT_EQ(widen(CP_UTF8, "\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(narrow(CP_UTF8, u"\U0001F600\u65E5"), "\xF0\x9F\x98\x80\xE6\x97\xA5");
    EXPECT_EQ(narrow(CP_UTF8, u"Français ½"), "Fran\xC3\xA7"
                                              "ais \xC2\xBD");
}

TEST(CodepageUtf8, EveryBmpCharacterRoundTrips) {
    std::u16string all;
    for (char32_t c = 1; c < 0x10000; ++c) {
        if (c < 0xD800 || c > 0xDFFF) all.push_back(static_cast<char16_t>(c));
    }
    all += u"\U00010000\U0010FFFF";
    const std::string utf8 = narrow(CP_UTF8, all);
    EXPECT_EQ(widen(CP_UTF8, utf8), all);
}

TEST(CodepageUtf8, IllFormedInput) {
    EXPECT_EQ(widen(CP_UTF8, "a\xFF"
                             "b"),
              u"a\uFFFDb");
    EXPECT_EQ(widen(CP_UTF8, "a\x80"
                             "b"),
              u"a\uFFFDb");                             // stray continuation byte
    EXPECT_EQ(widen(CP_UTF8, "a\xE2\x82"), u"a\uFFFD"); // cut at the end
    EXPECT_EQ(widen(CP_UTF8, "\xE2\x82"
                             "b"),
              u"\uFFFDb");                                             // cut before a plain byte
    EXPECT_EQ(widen(CP_UTF8, "\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong '/'
    EXPECT_EQ(widen(CP_UTF8, "\xF4\x90\x80\x80").find(u'\uFFFD'), 0u); // above U+10FFFF

    char16_t out[8];
    SetLastError(kPoison);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, out, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    SetLastError(kPoison);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "ok", 2, out, 8), 2);
    EXPECT_EQ(GetLastError(), kPoison); // success leaves the last error alone

    // A lone surrogate has no UTF-8 form.
    EXPECT_EQ(narrow(CP_UTF8, std::u16string(u"a") + char16_t(0xD800) + u"b"), "a\xEF\xBF\xBD"
                                                                               "b");
    char bytes[8];
    SetLastError(kPoison);
    const char16_t lone[] = {0xDC00, 0};
    EXPECT_EQ(
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, -1, bytes, 8, nullptr, nullptr),
        0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

// -1 counts the terminator; an explicit length does not add one.
TEST(CodepageSizes, TerminatorCounting) {
    char16_t out[8];
    std::fill(std::begin(out), std::end(out), kGuard);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, out, 8), 4);
    EXPECT_EQ(std::u16string(out), u"abc");
    std::fill(std::begin(out), std::end(out), kGuard);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, out, 8), 3);
    EXPECT_EQ(out[3], kGuard);
    char bytes[8];
    std::fill(std::begin(bytes), std::end(bytes), '#');
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00E9", -1, bytes, 8, nullptr, nullptr), 3);
    EXPECT_EQ(std::string(bytes, 3), std::string("\xC3\xA9\0", 3));
}

TEST(CodepageSizes, NeededSizeQuery) {
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xF0\x9F\x98\x80x", -1, nullptr, 0), 4);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0,
                                  "Fran\xE7"
                                  "ais",
                                  8, nullptr, 0),
              8);
    EXPECT_EQ(
        WideCharToMultiByte(CP_UTF8, 0, u"\u20AC\U0001F600", -1, nullptr, 0, nullptr, nullptr), 8);
    BOOL used = kPoison;
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u65E5", 1, nullptr, 0, nullptr, &used), 1);
    EXPECT_EQ(used, TRUE);
}

TEST(CodepageSizes, BufferTooSmall) {
    char16_t out[8];
    std::fill(std::begin(out), std::end(out), kGuard);
    SetLastError(kPoison);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcdef", -1, out, 3), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    for (int i = 3; i < 8; ++i)
        EXPECT_EQ(out[i], kGuard) << "at " << i;
    char bytes[8];
    std::fill(std::begin(bytes), std::end(bytes), '#');
    SetLastError(kPoison);
    // Three bytes for the euro sign, with two places left.
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"ab\u20AC", 3, bytes, 4, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    for (int i = 4; i < 8; ++i)
        EXPECT_EQ(bytes[i], '#') << "at " << i;
}

TEST(CodepageErrors, InvalidParameters) {
    char16_t out[8];
    char bytes[8];
    auto expectError = [](const char* what, int result, DWORD expected) {
        EXPECT_EQ(result, 0) << what;
        EXPECT_EQ(GetLastError(), expected) << what;
    };
    SetLastError(kPoison);
    expectError("null source", MultiByteToWideChar(CP_ACP, 0, nullptr, 3, out, 8),
                ERROR_INVALID_PARAMETER);
    SetLastError(kPoison);
    expectError("zero length", MultiByteToWideChar(CP_ACP, 0, "a", 0, out, 8),
                ERROR_INVALID_PARAMETER);
    SetLastError(kPoison);
    expectError("length -2", MultiByteToWideChar(CP_ACP, 0, "a", -2, out, 8),
                ERROR_INVALID_PARAMETER);
    SetLastError(kPoison);
    expectError("negative size", MultiByteToWideChar(CP_ACP, 0, "a", 1, out, -1),
                ERROR_INVALID_PARAMETER);
    SetLastError(kPoison);
    expectError("null output", MultiByteToWideChar(CP_ACP, 0, "a", 1, nullptr, 8),
                ERROR_INVALID_PARAMETER);
    SetLastError(kPoison);
    expectError("unknown code page", MultiByteToWideChar(12345, 0, "a", 1, out, 8),
                ERROR_INVALID_PARAMETER);
    SetLastError(kPoison);
    expectError("UTF-8 flags", MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "a", 1, out, 8),
                ERROR_INVALID_FLAGS);
    SetLastError(kPoison);
    expectError("precomposed and composite",
                MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED | MB_COMPOSITE, "a", 1, out, 8),
                ERROR_INVALID_FLAGS);
    union {
        char16_t w[8];
        char b[16];
    } same{};
    same.b[0] = 'a';
    SetLastError(kPoison);
    expectError("same buffer", MultiByteToWideChar(CP_ACP, 0, same.b, 1, same.w, 8),
                ERROR_INVALID_PARAMETER);

    SetLastError(kPoison);
    expectError("null wide source",
                WideCharToMultiByte(CP_ACP, 0, nullptr, 1, bytes, 8, nullptr, nullptr),
                ERROR_INVALID_PARAMETER);
    SetLastError(kPoison);
    expectError("unknown code page",
                WideCharToMultiByte(CP_UTF7 + 7, 0, u"a", 1, bytes, 8, nullptr, nullptr),
                ERROR_INVALID_PARAMETER);
    BOOL used = kPoison;
    SetLastError(kPoison);
    expectError("UTF-8 default char",
                WideCharToMultiByte(CP_UTF8, 0, u"a", 1, bytes, 8, nullptr, &used),
                ERROR_INVALID_PARAMETER);
    EXPECT_EQ(used, static_cast<BOOL>(kPoison));
    SetLastError(kPoison);
    expectError(
        "UTF-8 flags",
        WideCharToMultiByte(CP_UTF8, WC_COMPOSITECHECK, u"a", 1, bytes, 8, nullptr, nullptr),
        ERROR_INVALID_FLAGS);
    SetLastError(kPoison);
    expectError(
        "strict flag outside UTF-8",
        WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, u"a", 1, bytes, 8, nullptr, nullptr),
        ERROR_INVALID_FLAGS);
}

} // namespace
