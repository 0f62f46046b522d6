// wcrt.cpp: the device's wide C runtime for char16_t (declared in cewchar.h).
//
// String functions are written out here rather than borrowed from glibc, whose wide functions
// work on 32-bit wchar_t. Character classes and case mapping come from glibc's tables through
// a private C.UTF-8 locale, so Ä, É and Greek or Cyrillic letters behave as on the device and
// the process's own locale setting never changes the result. Numbers follow the Microsoft
// runtime: LONG results are 32 bits and saturate on overflow. The printf forms go through the
// platform's formatting engine (format.h), never through the C library's printf.
#include "cewchar.h"

#include <cerrno>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <locale.h>
#include <string>

#include "kernel/format.h"

namespace {

// The C.UTF-8 character tables, created once and kept for the life of the process. When the
// host lacks that locale the classes fall back to ASCII.
locale_t utf8Locale() {
    static const locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return loc;
}

bool isSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// Maps a unit through a glibc case function; surrogates and results outside the BMP (which a
// single unit cannot hold) leave the unit unchanged.
char16_t mapCase(char16_t c, wint_t (*fn)(wint_t, locale_t), bool toLower) {
    if (c < 0x80) {
        if (toLower && c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
        if (!toLower && c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
        return c;
    }
    const locale_t loc = utf8Locale();
    if (loc == static_cast<locale_t>(0) || isSurrogate(c)) return c;
    const wint_t r = fn(c, loc);
    return r <= 0xFFFF && !isSurrogate(static_cast<char16_t>(r)) ? static_cast<char16_t>(r) : c;
}

int classify(char16_t c, int (*fn)(wint_t, locale_t), int (*ascii)(int)) {
    if (c < 0x80) return ascii(c) ? 1 : 0;
    const locale_t loc = utf8Locale();
    if (loc == static_cast<locale_t>(0) || isSurrogate(c)) return 0;
    return fn(c, loc) ? 1 : 0;
}

const char16_t* orEmpty(const char16_t* s) {
    return s != nullptr ? s : u"";
}

int digitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'z') return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
    return 99;
}

const char16_t* skipSpace(const char16_t* p) {
    while (*p != 0 && iswspace(*p))
        ++p;
    return p;
}

// The digits of a decimal number after white space and sign, saturating at `limit` (the
// magnitude of the largest value of the result type; one more for the negative side).
struct Parsed {
    unsigned long long magnitude = 0;
    bool negative = false;
    bool overflow = false;
    const char16_t* end = nullptr; // after the last digit, or the start when there were none
};

Parsed parseInteger(const char16_t* s, int base, unsigned long long limit) {
    Parsed r;
    r.end = s;
    const char16_t* p = skipSpace(s);
    if (*p == u'-' || *p == u'+') r.negative = *p++ == u'-';
    if ((base == 0 || base == 16) && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') &&
        digitValue(p[2]) < 16) {
        p += 2;
        base = 16;
    } else if (base == 0) {
        base = p[0] == u'0' ? 8 : 10;
    }
    const char16_t* first = p;
    for (int d; (d = digitValue(*p)) < base; ++p) {
        if (r.overflow) continue;
        if (r.magnitude > (limit - static_cast<unsigned>(d)) / static_cast<unsigned>(base)) {
            r.overflow = true;
            r.magnitude = limit;
        } else {
            r.magnitude = r.magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        }
    }
    if (p != first) r.end = p;
    return r;
}

// A signed result in [min, max] from `s`; overflow saturates and sets ERANGE.
long long toSigned(const char16_t* s, char16_t** end, int base, long long min, long long max) {
    if (s == nullptr || base < 0 || base == 1 || base > 36) {
        if (end != nullptr) *end = const_cast<char16_t*>(s);
        if (s != nullptr) errno = EINVAL;
        return 0;
    }
    // The negative side reaches one further than the positive; check against it, then clamp.
    const Parsed r = parseInteger(s, base, static_cast<unsigned long long>(max) + 1);
    if (end != nullptr) *end = const_cast<char16_t*>(r.end);
    if (r.negative) {
        if (r.overflow) {
            errno = ERANGE;
            return min;
        }
        // magnitude <= max + 1 here; negate without passing through an overflowing value.
        return r.magnitude == 0 ? 0 : -static_cast<long long>(r.magnitude - 1) - 1;
    }
    if (r.overflow || r.magnitude > static_cast<unsigned long long>(max)) {
        errno = ERANGE;
        return max;
    }
    return static_cast<long long>(r.magnitude);
}

int fromFormat(const char16_t* fmt, char16_t* buf, size_t count, va_list ap) {
    if (buf == nullptr) return -1;
    const ce::FormatResult r = ce::formatV(buf, count, fmt, ap);
    return r.truncated ? -1 : static_cast<int>(r.length);
}

} // namespace

// ---- Length, copy, concatenation ---------------------------------------------------------

size_t wcslen(const char16_t* s) {
    if (s == nullptr) return 0;
    size_t n = 0;
    while (s[n] != 0)
        ++n;
    return n;
}

size_t wcsnlen(const char16_t* s, size_t max) {
    if (s == nullptr) return 0;
    size_t n = 0;
    while (n < max && s[n] != 0)
        ++n;
    return n;
}

char16_t* wcscpy(char16_t* dst, const char16_t* src) {
    if (dst == nullptr) return dst;
    src = orEmpty(src);
    size_t i = 0;
    do {
        dst[i] = src[i];
    } while (src[i++] != 0);
    return dst;
}

// As in C: at most n units; pads with terminators up to n; no terminator when src fills n.
char16_t* wcsncpy(char16_t* dst, const char16_t* src, size_t n) {
    if (dst == nullptr) return dst;
    src = orEmpty(src);
    size_t i = 0;
    for (; i < n && src[i] != 0; ++i)
        dst[i] = src[i];
    for (; i < n; ++i)
        dst[i] = 0;
    return dst;
}

char16_t* wcscat(char16_t* dst, const char16_t* src) {
    if (dst == nullptr) return dst;
    wcscpy(dst + wcslen(dst), src);
    return dst;
}

// Appends at most n units and always a terminator.
char16_t* wcsncat(char16_t* dst, const char16_t* src, size_t n) {
    if (dst == nullptr) return dst;
    src = orEmpty(src);
    char16_t* d = dst + wcslen(dst);
    size_t i = 0;
    for (; i < n && src[i] != 0; ++i)
        d[i] = src[i];
    d[i] = 0;
    return dst;
}

char16_t* _wcsdup(const char16_t* s) {
    if (s == nullptr) return nullptr;
    const size_t n = wcslen(s) + 1;
    auto* copy = static_cast<char16_t*>(std::malloc(n * sizeof(char16_t)));
    if (copy != nullptr) std::memcpy(copy, s, n * sizeof(char16_t));
    return copy;
}

errno_t wcscpy_s(char16_t* dst, size_t size, const char16_t* src) {
    if (dst == nullptr || size == 0) return EINVAL;
    if (src == nullptr) {
        dst[0] = 0;
        return EINVAL;
    }
    const size_t n = wcsnlen(src, size);
    if (n >= size) {
        dst[0] = 0;
        return ERANGE;
    }
    std::memmove(dst, src, n * sizeof(char16_t));
    dst[n] = 0;
    return 0;
}

errno_t wcsncpy_s(char16_t* dst, size_t size, const char16_t* src, size_t count) {
    if (dst == nullptr || size == 0) return EINVAL;
    if (src == nullptr) {
        dst[0] = 0;
        return count == 0 ? 0 : EINVAL;
    }
    if (count == _TRUNCATE) {
        const size_t n = wcsnlen(src, size);
        const size_t take = n < size ? n : size - 1;
        std::memmove(dst, src, take * sizeof(char16_t));
        dst[take] = 0;
        return n < size ? 0 : STRUNCATE;
    }
    const size_t n = wcsnlen(src, count);
    if (n >= size) {
        dst[0] = 0;
        return ERANGE;
    }
    std::memmove(dst, src, n * sizeof(char16_t));
    dst[n] = 0;
    return 0;
}

errno_t wcscat_s(char16_t* dst, size_t size, const char16_t* src) {
    if (dst == nullptr || size == 0) return EINVAL;
    const size_t have = wcsnlen(dst, size);
    if (have == size) { // the destination was not terminated within its size
        dst[0] = 0;
        return EINVAL;
    }
    if (src == nullptr) {
        dst[0] = 0;
        return EINVAL;
    }
    const size_t n = wcsnlen(src, size - have);
    if (have + n >= size) {
        dst[0] = 0;
        return ERANGE;
    }
    std::memmove(dst + have, src, n * sizeof(char16_t));
    dst[have + n] = 0;
    return 0;
}

// ---- Comparison and search ---------------------------------------------------------------

int wcscmp(const char16_t* a, const char16_t* b) {
    a = orEmpty(a);
    b = orEmpty(b);
    while (*a != 0 && *a == *b)
        ++a, ++b;
    return static_cast<int>(*a) - static_cast<int>(*b);
}

int wcsncmp(const char16_t* a, const char16_t* b, size_t n) {
    a = orEmpty(a);
    b = orEmpty(b);
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i] || a[i] == 0) return static_cast<int>(a[i]) - static_cast<int>(b[i]);
    }
    return 0;
}

int _wcsnicmp(const char16_t* a, const char16_t* b, size_t n) {
    if (n == 0) return 0;
    if (a == nullptr || b == nullptr) {
        errno = EINVAL;
        return _NLSCMPERROR;
    }
    for (size_t i = 0; i < n; ++i) {
        const char16_t ca = towlower(a[i]);
        const char16_t cb = towlower(b[i]);
        if (ca != cb || ca == 0) return static_cast<int>(ca) - static_cast<int>(cb);
    }
    return 0;
}

int _wcsicmp(const char16_t* a, const char16_t* b) {
    return _wcsnicmp(a, b, SIZE_MAX);
}

const char16_t* wcschr(const char16_t* s, char16_t c) {
    if (s == nullptr) return nullptr;
    for (;; ++s) {
        if (*s == c) return s;
        if (*s == 0) return nullptr;
    }
}

const char16_t* wcsrchr(const char16_t* s, char16_t c) {
    if (s == nullptr) return nullptr;
    const char16_t* found = nullptr;
    for (;; ++s) {
        if (*s == c) found = s;
        if (*s == 0) return found;
    }
}

const char16_t* wcsstr(const char16_t* hay, const char16_t* needle) {
    if (hay == nullptr) return nullptr;
    needle = orEmpty(needle);
    if (*needle == 0) return hay;
    const size_t n = wcslen(needle);
    for (; *hay != 0; ++hay) {
        if (*hay == *needle && wcsncmp(hay, needle, n) == 0) return hay;
    }
    return nullptr;
}

size_t wcsspn(const char16_t* s, const char16_t* set) {
    s = orEmpty(s);
    size_t n = 0;
    while (s[n] != 0 && wcschr(orEmpty(set), s[n]) != nullptr)
        ++n;
    return n;
}

size_t wcscspn(const char16_t* s, const char16_t* set) {
    s = orEmpty(s);
    set = orEmpty(set);
    size_t n = 0;
    while (s[n] != 0) {
        for (const char16_t* p = set; *p != 0; ++p) {
            if (*p == s[n]) return n;
        }
        ++n;
    }
    return n;
}

const char16_t* wcspbrk(const char16_t* s, const char16_t* set) {
    if (s == nullptr) return nullptr;
    const size_t n = wcscspn(s, set);
    return s[n] != 0 ? s + n : nullptr;
}

char16_t* _wcslwr(char16_t* s) {
    if (s == nullptr) return s;
    for (char16_t* p = s; *p != 0; ++p)
        *p = towlower(*p);
    return s;
}

char16_t* _wcsupr(char16_t* s) {
    if (s == nullptr) return s;
    for (char16_t* p = s; *p != 0; ++p)
        *p = towupper(*p);
    return s;
}

// ---- Character classes -------------------------------------------------------------------

char16_t towlower(char16_t c) {
    return mapCase(c, towlower_l, true);
}
char16_t towupper(char16_t c) {
    return mapCase(c, towupper_l, false);
}

namespace {
int asciiSpace(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
int asciiDigit(int c) {
    return c >= '0' && c <= '9';
}
int asciiUpper(int c) {
    return c >= 'A' && c <= 'Z';
}
int asciiLower(int c) {
    return c >= 'a' && c <= 'z';
}
int asciiAlpha(int c) {
    return asciiUpper(c) || asciiLower(c);
}
int asciiAlnum(int c) {
    return asciiAlpha(c) || asciiDigit(c);
}
} // namespace

int iswspace(char16_t c) {
    return classify(c, iswspace_l, asciiSpace);
}
int iswdigit(char16_t c) {
    return classify(c, iswdigit_l, asciiDigit);
}
int iswalpha(char16_t c) {
    return classify(c, iswalpha_l, asciiAlpha);
}
int iswalnum(char16_t c) {
    return classify(c, iswalnum_l, asciiAlnum);
}
int iswupper(char16_t c) {
    return classify(c, iswupper_l, asciiUpper);
}
int iswlower(char16_t c) {
    return classify(c, iswlower_l, asciiLower);
}

// ---- Numbers -------------------------------------------------------------------------------

int _wtoi(const char16_t* s) {
    return static_cast<int>(toSigned(s, nullptr, 10, INT_MIN, INT_MAX));
}

long _wtol(const char16_t* s) {
    return static_cast<long>(toSigned(s, nullptr, 10, INT_MIN, INT_MAX));
}

long long _wtoi64(const char16_t* s) {
    return toSigned(s, nullptr, 10, LLONG_MIN, LLONG_MAX);
}

long wcstol(const char16_t* s, char16_t** end, int base) {
    return static_cast<long>(toSigned(s, end, base, INT32_MIN, INT32_MAX));
}

unsigned long wcstoul(const char16_t* s, char16_t** end, int base) {
    if (s == nullptr || base < 0 || base == 1 || base > 36) {
        if (end != nullptr) *end = const_cast<char16_t*>(s);
        if (s != nullptr) errno = EINVAL;
        return 0;
    }
    const Parsed r = parseInteger(s, base, UINT32_MAX);
    if (end != nullptr) *end = const_cast<char16_t*>(r.end);
    if (r.overflow) {
        errno = ERANGE;
        return UINT32_MAX;
    }
    const auto v = static_cast<uint32_t>(r.magnitude);
    return r.negative ? static_cast<uint32_t>(0u - v) : v;
}

// Parses with the C library's strtod in the "C" locale (the decimal point is always '.'),
// after copying the ASCII run that can belong to a number; the offsets map one to one.
double wcstod(const char16_t* s, char16_t** end) {
    if (s == nullptr) {
        if (end != nullptr) *end = nullptr;
        return 0.0;
    }
    const char16_t* p = skipSpace(s);
    std::string ascii;
    for (const char16_t* q = p; *q != 0 && *q < 0x80 && !iswspace(*q); ++q)
        ascii.push_back(static_cast<char>(*q));
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    char* stop = nullptr;
    const double v = cLocale != static_cast<locale_t>(0) ? strtod_l(ascii.c_str(), &stop, cLocale)
                                                         : std::strtod(ascii.c_str(), &stop);
    const size_t used = static_cast<size_t>(stop - ascii.c_str());
    if (end != nullptr) *end = const_cast<char16_t*>(used == 0 ? s : p + used);
    return used == 0 ? 0.0 : v;
}

double _wtof(const char16_t* s) {
    return wcstod(s, nullptr);
}

// ---- Formatted output -------------------------------------------------------------------------

int _vsnwprintf(char16_t* buf, size_t count, const char16_t* fmt, va_list ap) {
    return fromFormat(fmt, buf, count, ap);
}

int _snwprintf(char16_t* buf, size_t count, const char16_t* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int r = fromFormat(fmt, buf, count, ap);
    va_end(ap);
    return r;
}

int vswprintf(char16_t* buf, size_t count, const char16_t* fmt, va_list ap) {
    return fromFormat(fmt, buf, count, ap);
}

int swprintf(char16_t* buf, size_t count, const char16_t* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int r = fromFormat(fmt, buf, count, ap);
    va_end(ap);
    return r;
}

int _vsnprintf(char* buf, size_t count, const char* fmt, va_list ap) {
    if (buf == nullptr) return -1;
    const ce::FormatResult r = ce::formatV(buf, count, fmt, ap);
    return r.truncated ? -1 : static_cast<int>(r.length);
}

int _snprintf(char* buf, size_t count, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int r = _vsnprintf(buf, count, fmt, ap);
    va_end(ap);
    return r;
}
