// format.cpp: the printf engine of the device (see format.h) and wsprintfW/wsprintfA.
//
// The engine walks the format itself. Text goes into a Sink that knows the buffer's end:
// once something does not fit, the sink is full, the walk stops, and nothing more is read
// from the argument list. Narrow text is Windows-1252 wherever it meets wide text, through the
// same tables as MultiByteToWideChar(CP_ACP), so "%S" of u"Français ½" gives the bytes
// "Fran\xE7ais \xBD", and a character the code page lacks becomes '?'.
#include "kernel/format.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#include "kernel/codepage.h"
#include "winformat.h"

namespace ce {

namespace {

bool isHigh(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLow(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The bounded output of one formatting call.
template <typename Out>
class Sink {
public:
    Sink(Out* buf, size_t cap) : buf_(buf), cap_(cap), limit_(cap == 0 ? 0 : cap - 1) {}

    bool full() const { return full_; }

    void unit(Out c) {
        if (full_) return;
        if (len_ >= limit_) {
            full_ = true;
            return;
        }
        buf_[len_++] = c;
    }

    void repeat(Out c, size_t n) {
        for (size_t i = 0; i < n && !full_; ++i)
            unit(c);
    }

    // UTF-16 text, narrowed to Windows-1252 for a narrow buffer.
    void wide(const char16_t* s, size_t n) {
        for (size_t i = 0; i < n && !full_; ++i) {
            if constexpr (std::is_same_v<Out, char16_t>) {
                if (isHigh(s[i]) && i + 1 < n && isLow(s[i + 1])) {
                    // A pair goes in whole or not at all.
                    if (len_ + 2 > limit_) {
                        full_ = true;
                        return;
                    }
                    buf_[len_++] = s[i];
                    buf_[len_++] = s[++i];
                    continue;
                }
                unit(s[i]);
            } else {
                const int b = wideToCp1252(s[i]);
                unit(static_cast<char>(b < 0 ? '?' : b));
            }
        }
    }

    // Windows-1252 text, widened for a wide buffer.
    void narrow(const char* s, size_t n) {
        for (size_t i = 0; i < n && !full_; ++i) {
            if constexpr (std::is_same_v<Out, char16_t>) {
                unit(cp1252ToWide(static_cast<unsigned char>(s[i])));
            } else {
                unit(s[i]);
            }
        }
    }

    void ascii(const char* s) { narrow(s, std::strlen(s)); }

    FormatResult finish() {
        if (cap_ != 0) buf_[len_] = 0;
        return {len_, full_};
    }

private:
    Out* buf_;
    size_t cap_;
    size_t limit_; // units available for text; one more holds the terminator
    size_t len_ = 0;
    bool full_ = false;
};

enum class Size { None, H, HH, L, LL, W, I32, I64, Ptr, LongDouble };

struct Directive {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    size_t width = 0;
    int precision = -1; // -1: none given
    Size size = Size::None;
};

// Pads a field of `len` units to the directive's width, on the side the '-' flag chooses.
template <typename Out>
class Field {
public:
    Field(Sink<Out>& out, const Directive& directive, size_t len, bool zeroPad)
        : out_(out), pad_(directive.width > len ? directive.width - len : 0),
          left_(directive.left) {
        if (!left_) out_.repeat(static_cast<Out>(zeroPad ? '0' : ' '), pad_);
    }
    ~Field() {
        if (left_) out_.repeat(static_cast<Out>(' '), pad_);
    }
    Field(const Field&) = delete;
    Field& operator=(const Field&) = delete;

private:
    Sink<Out>& out_;
    size_t pad_;
    bool left_;
};

template <typename Out>
void emitInteger(Sink<Out>& out, const Directive& directive, unsigned long long mag, bool negative,
                 unsigned base, bool upper, bool isSigned, size_t minDigits = 0) {
    char digits[80];
    size_t n = 0;
    const char* table = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    if (!(directive.precision == 0 && mag == 0)) {
        do {
            digits[sizeof digits - 1 - n++] = table[mag % base];
            mag /= base;
        } while (mag != 0);
    }
    size_t precision =
        directive.precision < 0 ? minDigits : static_cast<size_t>(directive.precision);
    const char* body = digits + sizeof digits - n;
    size_t zeros = precision > n ? precision - n : 0;
    if (directive.alt && base == 8 && zeros == 0 && (n == 0 || body[0] != '0')) zeros = 1;
    const char* prefix = "";
    if (negative) {
        prefix = "-";
    } else if (isSigned && directive.plus) {
        prefix = "+";
    } else if (isSigned && directive.space) {
        prefix = " ";
    }
    const char* radix = "";
    if (directive.alt && base == 16 && n != 0 && !(n == 1 && body[0] == '0'))
        radix = upper ? "0X" : "0x";
    const size_t len = std::strlen(prefix) + std::strlen(radix) + zeros + n;
    if (directive.zero && !directive.left && directive.precision < 0 && directive.width > len) {
        // Zero padding goes between the sign or radix prefix and the digits.
        zeros += directive.width - len;
    }
    Field<Out> field(out, directive, std::strlen(prefix) + std::strlen(radix) + zeros + n, false);
    out.ascii(prefix);
    out.ascii(radix);
    out.repeat(static_cast<Out>('0'), zeros);
    out.narrow(body, n);
}

// The Microsoft runtime writes at least three exponent digits ("1.500000e+003").
void widenExponent(std::string& s) {
    const size_t e = s.find_last_of("eE");
    if (e == std::string::npos || e + 1 >= s.size()) return;
    size_t d = e + 1;
    if (s[d] == '+' || s[d] == '-') ++d;
    size_t digits = 0;
    while (d + digits < s.size() && s[d + digits] >= '0' && s[d + digits] <= '9')
        ++digits;
    if (digits > 0 && digits < 3) s.insert(d, 3 - digits, '0');
}

template <typename Out>
void emitFloat(Sink<Out>& out, const Directive& directive, char conv, long double value,
               bool isLong) {
    // One conversion with flags and precision, built here; width is applied below.
    char f[32];
    size_t k = 0;
    f[k++] = '%';
    if (directive.plus) f[k++] = '+';
    if (directive.space) f[k++] = ' ';
    if (directive.alt) f[k++] = '#';
    int precision = directive.precision;
    if (precision > 512) precision = 512; // beyond any double's significant digits
    if (precision >= 0) k += std::snprintf(f + k, sizeof f - k, ".%d", precision);
    if (isLong) f[k++] = 'L';
    f[k++] = conv;
    f[k] = 0;
    const int need = isLong ? std::snprintf(nullptr, 0, f, value)
                            : std::snprintf(nullptr, 0, f, static_cast<double>(value));
    if (need < 0) return;
    std::string body(static_cast<size_t>(need) + 1, '\0');
    if (isLong) {
        std::snprintf(body.data(), body.size(), f, value);
    } else {
        std::snprintf(body.data(), body.size(), f, static_cast<double>(value));
    }
    body.resize(static_cast<size_t>(need));
    const bool finite = value == value && value - value == 0;
    if (finite && conv != 'a' && conv != 'A' && conv != 'f' && conv != 'F') widenExponent(body);
    if (finite && directive.zero && !directive.left && directive.width > body.size()) {
        size_t at = (body[0] == '-' || body[0] == '+' || body[0] == ' ') ? 1 : 0;
        if ((conv == 'a' || conv == 'A') && body.size() > at + 1 && body[at] == '0') at += 2;
        body.insert(at, directive.width - body.size(), '0');
    }
    Field<Out> field(out, directive, body.size(), false);
    out.narrow(body.data(), body.size());
}

template <typename F>
constexpr bool kWideFormat = std::is_same_v<F, char16_t>;

// Whether a %s/%S/%c/%C argument is wide: the size prefix decides, else the case of the
// conversion relative to the format's own character type.
template <typename F>
bool wideArgument(char conv, Size size) {
    if (size == Size::H || size == Size::HH) return false;
    if (size == Size::L || size == Size::W || size == Size::LL) return true;
    const bool upper = conv == 'S' || conv == 'C';
    return upper != kWideFormat<F>;
}

template <typename F, typename Out>
void emitLiteral(Sink<Out>& out, const F* s, size_t n) {
    if constexpr (kWideFormat<F>) {
        out.wide(s, n);
    } else {
        out.narrow(s, n);
    }
}

template <typename F>
int asciiOf(F c) {
    const auto u = static_cast<std::make_unsigned_t<F>>(c);
    return u < 0x80 ? static_cast<int>(u) : -1;
}

size_t parseCount(size_t acc, int digit) {
    constexpr size_t kMax = 1u << 30; // larger widths only pad until the buffer is full
    acc = acc * 10 + static_cast<size_t>(digit);
    return acc > kMax ? kMax : acc;
}

} // namespace

template <typename F, typename Out>
FormatResult formatV(Out* buf, size_t cap, const F* fmt, va_list ap) {
    Sink<Out> out(buf, cap);
    if (fmt == nullptr) return out.finish();
    va_list args;
    va_copy(args, ap);
    const F* p = fmt;
    while (*p != 0 && !out.full()) {
        if (*p != '%') {
            const F* run = p;
            while (*p != 0 && *p != '%')
                ++p;
            emitLiteral(out, run, static_cast<size_t>(p - run));
            continue;
        }
        const F* start = p++;
        if (*p == '%') {
            out.unit(static_cast<Out>('%'));
            ++p;
            continue;
        }
        Directive directive;
        for (;; ++p) {
            const int c = asciiOf(*p);
            if (c == '-') {
                directive.left = true;
            } else if (c == '+') {
                directive.plus = true;
            } else if (c == ' ') {
                directive.space = true;
            } else if (c == '#') {
                directive.alt = true;
            } else if (c == '0') {
                directive.zero = true;
            } else {
                break;
            }
        }
        if (*p == '*') {
            const int w = va_arg(args, int);
            if (w < 0) {
                directive.left = true;
                directive.width = static_cast<size_t>(-static_cast<long long>(w));
            } else {
                directive.width = static_cast<size_t>(w);
            }
            ++p;
        } else {
            while (*p >= '0' && *p <= '9')
                directive.width = parseCount(directive.width, *p++ - '0');
        }
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                const int prec = va_arg(args, int);
                directive.precision = prec < 0 ? -1 : prec;
                ++p;
            } else {
                size_t prec = 0;
                while (*p >= '0' && *p <= '9')
                    prec = parseCount(prec, *p++ - '0');
                directive.precision = static_cast<int>(prec);
            }
        }
        switch (asciiOf(*p)) {
        case 'h':
            ++p;
            directive.size = Size::H;
            if (*p == 'h') {
                ++p;
                directive.size = Size::HH;
            }
            break;
        case 'l':
            ++p;
            directive.size = Size::L;
            if (*p == 'l') {
                ++p;
                directive.size = Size::LL;
            }
            break;
        case 'w':
            ++p;
            directive.size = Size::W;
            break;
        case 'L':
            ++p;
            directive.size = Size::LongDouble;
            break;
        case 'z':
        case 't':
        case 'j':
            ++p;
            directive.size = Size::Ptr;
            break;
        case 'I':
            ++p;
            if (p[0] == '6' && p[1] == '4') {
                p += 2;
                directive.size = Size::I64;
            } else if (p[0] == '3' && p[1] == '2') {
                p += 2;
                directive.size = Size::I32;
            } else {
                directive.size = Size::Ptr;
            }
            break;
        default: break;
        }
        if (*p == 0) {
            // A directive cut off by the end of the format stays as it was written.
            emitLiteral(out, start, static_cast<size_t>(p - start));
            break;
        }
        const int conv = asciiOf(*p++);
        const bool wide64 = directive.size == Size::LL || directive.size == Size::I64 ||
                            directive.size == Size::Ptr || directive.size == Size::LongDouble;
        switch (conv) {
        case 'd':
        case 'i': {
            long long v;
            if (wide64) {
                v = va_arg(args, long long);
            } else {
                const int i = va_arg(args, int);
                v = directive.size == Size::H    ? static_cast<short>(i)
                    : directive.size == Size::HH ? static_cast<signed char>(i)
                                                 : i;
            }
            const unsigned long long mag = v < 0 ? 0ull - static_cast<unsigned long long>(v)
                                                 : static_cast<unsigned long long>(v);
            emitInteger(out, directive, mag, v < 0, 10, false, true);
            break;
        }
        case 'u':
        case 'o':
        case 'x':
        case 'X': {
            unsigned long long v;
            if (wide64) {
                v = va_arg(args, unsigned long long);
            } else {
                const unsigned u = va_arg(args, unsigned);
                v = directive.size == Size::H    ? static_cast<unsigned short>(u)
                    : directive.size == Size::HH ? static_cast<unsigned char>(u)
                                                 : u;
            }
            const unsigned base = conv == 'u' ? 10 : conv == 'o' ? 8 : 16;
            emitInteger(out, directive, v, false, base, conv == 'X', false);
            break;
        }
        case 'p': {
            // Device handles and pointers are 32-bit values: eight digits, as on the device,
            // unless the value needs more.
            const auto v = reinterpret_cast<uintptr_t>(va_arg(args, void*));
            Directive ps = directive;
            ps.alt = false;
            ps.precision = -1;
            emitInteger(out, ps, v, false, 16, true, false, v > 0xFFFFFFFFu ? 16 : 8);
            break;
        }
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A': {
            const bool isLong = directive.size == Size::LongDouble;
            const long double v = isLong ? va_arg(args, long double) : va_arg(args, double);
            emitFloat(out, directive, static_cast<char>(conv), v, isLong);
            break;
        }
        case 'c':
        case 'C': {
            const int v = va_arg(args, int);
            const bool zeroPad = directive.zero && !directive.left;
            Field<Out> field(out, directive, 1, zeroPad);
            if (wideArgument<F>(static_cast<char>(conv), directive.size)) {
                const auto ch = static_cast<char16_t>(v);
                out.wide(&ch, 1);
            } else {
                const auto ch = static_cast<char>(v);
                out.narrow(&ch, 1);
            }
            break;
        }
        case 's':
        case 'S': {
            const size_t limit =
                directive.precision < 0 ? SIZE_MAX : static_cast<size_t>(directive.precision);
            const bool zeroPad = directive.zero && !directive.left;
            if (wideArgument<F>(static_cast<char>(conv), directive.size)) {
                const char16_t* s = va_arg(args, const char16_t*);
                if (s == nullptr) s = u"(null)";
                size_t n = 0;
                while (n < limit && s[n] != 0)
                    ++n;
                // Precision counts units but never leaves half a pair behind.
                if (n > 0 && n == limit && isHigh(s[n - 1]) && isLow(s[n])) --n;
                Field<Out> field(out, directive, n, zeroPad);
                out.wide(s, n);
            } else {
                const char* s = va_arg(args, const char*);
                if (s == nullptr) s = "(null)";
                size_t n = 0;
                while (n < limit && s[n] != 0)
                    ++n;
                Field<Out> field(out, directive, n, zeroPad);
                out.narrow(s, n);
            }
            break;
        }
        default:
            // Unknown conversions (including %n, which would write through an argument) are
            // copied as written.
            emitLiteral(out, start, static_cast<size_t>(p - start));
            break;
        }
    }
    va_end(args);
    return out.finish();
}

template FormatResult formatV<char16_t, char16_t>(char16_t*, size_t, const char16_t*, va_list);
template FormatResult formatV<char, char>(char*, size_t, const char*, va_list);

} // namespace ce

// Formats into buf[0..cap) and returns the units stored, terminator excluded; what does not
// fit is dropped. The inline wsprintfW/wvsprintfW forms of winformat.h call these with the
// array's size or the documented 1024-unit limit.
int zvFormatW(LPWSTR buf, size_t cap, LPCWSTR fmt, va_list ap) {
    if (buf == nullptr) return 0;
    return static_cast<int>(ce::formatV(buf, cap, fmt, ap).length);
}

int zvFormatA(LPSTR buf, size_t cap, LPCSTR fmt, va_list ap) {
    if (buf == nullptr) return 0;
    return static_cast<int>(ce::formatV(buf, cap, fmt, ap).length);
}

// The exported C entry points, for callers that reach wsprintfW through the library's export
// table rather than the header; bounded by the documented limit of 1024 units.
extern "C" __attribute__((visibility("default"))) int wvsprintfW(LPWSTR buf, LPCWSTR fmt,
                                                                 va_list ap) {
    return zvFormatW(buf, ZV_WSPRINTF_MAX, fmt, ap);
}

extern "C" __attribute__((visibility("default"))) int wvsprintfA(LPSTR buf, LPCSTR fmt,
                                                                 va_list ap) {
    return zvFormatA(buf, ZV_WSPRINTF_MAX, fmt, ap);
}

extern "C" __attribute__((visibility("default"))) int wsprintfW(LPWSTR buf, LPCWSTR fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int r = zvFormatW(buf, ZV_WSPRINTF_MAX, fmt, ap);
    va_end(ap);
    return r;
}

extern "C" __attribute__((visibility("default"))) int wsprintfA(LPSTR buf, LPCSTR fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int r = zvFormatA(buf, ZV_WSPRINTF_MAX, fmt, ap);
    va_end(ap);
    return r;
}
