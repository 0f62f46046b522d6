// strings.cpp: UTF-16 <-> UTF-8 conversion and case folding for the platform's own use.
//
// The platform keeps device text as UTF-16 (std::u16string) and talks to the host (file names,
// the journal, cedev's terminal) in UTF-8. These helpers never fail: ill-formed input of either
// side becomes U+FFFD, so a broken name still yields a usable string. Case folding follows the
// device: names are compared unit by unit, without regard to case, using the full BMP case
// mapping of the C library's UTF-8 locale rather than an ASCII-only table.
#include "kernel/strings.h"

#include "cewchar.h"
#include "kernel/codepage.h"

namespace ce {

namespace {
constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void appendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 | (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
    }
}
} // namespace

// Encodes UTF-16 as UTF-8. A surrogate without its partner is not a character and has no
// UTF-8 form, so it becomes U+FFFD.
std::string toUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        appendUtf8(out, c);
    }
    return out;
}

// Decodes UTF-8 into UTF-16. Each maximal ill-formed subsequence (a stray continuation byte,
// a truncated sequence, an overlong form, an encoded surrogate, a value above U+10FFFF)
// becomes one U+FFFD, the practice Unicode recommends and Windows follows.
std::u16string fromUtf8(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    for (size_t i = 0; i < s.size();) {
        long cp;
        i += decodeUtf8(p + i, s.size() - i, cp);
        appendUtf16(out, cp < 0 ? kReplacement : static_cast<char32_t>(cp));
    }
    return out;
}

// Simple case folding of one unit: the lower case of the upper case, so that characters with
// several lower forms (final sigma, long s, the Kelvin sign) meet their ordinary letter.
char16_t foldCase(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    return ::towlower(::towupper(c));
}

bool equalNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && foldCase(a[i]) != foldCase(b[i])) return false;
    }
    return true;
}

} // namespace ce
