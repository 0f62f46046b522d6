// codepage.cpp: the device's code pages: MultiByteToWideChar, WideCharToMultiByte, GetACP.
//
// The device's ANSI code page (CP_ACP, and on this device also CP_OEMCP and CP_THREAD_ACP) is
// Windows-1252; CP_UTF8 is the only other code page installed. Both conversions follow the
// documented contract: a length of -1 means "up to and including the terminator", an output
// size of 0 asks for the size needed, a buffer too small fails with ERROR_INSUFFICIENT_BUFFER
// (having filled what fitted, never more), and bad arguments fail with
// ERROR_INVALID_PARAMETER or ERROR_INVALID_FLAGS before anything is written. Ill-formed UTF-8
// or a lone surrogate becomes U+FFFD, unless the caller asked for the conversion to fail.
#include "kernel/codepage.h"

#include <climits>
#include <cstring>

#include "winbase.h"
#include "winnls.h"

namespace ce {

namespace {
// Bytes 0x80..0x9F of Windows-1252; the rest of the code page is ISO 8859-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr DWORD kWcDiscardNs = 0x00000010;
constexpr DWORD kWcSepChars = 0x00000020;

enum class Page { Ansi, Utf8, Unknown };

Page pageOf(UINT codePage) {
    switch (codePage) {
    case CP_ACP:
    case CP_OEMCP:
    case CP_THREAD_ACP:
    case 1252: return Page::Ansi;
    case CP_UTF8: return Page::Utf8;
    default: return Page::Unknown;
    }
}

// Counts what a conversion produces and stores it while it fits. With a capacity of 0 it only
// counts (the "how large must the buffer be" query).
template <typename T>
class Output {
public:
    Output(T* buf, size_t cap) : buf_(buf), cap_(cap) {}
    void put(T v) {
        if (cap_ != 0) {
            if (n_ < cap_) {
                buf_[n_] = v;
            } else {
                overflow_ = true;
            }
        }
        ++n_;
    }
    size_t count() const { return n_; }
    bool overflow() const { return overflow_; }

private:
    T* buf_;
    size_t cap_;
    size_t n_ = 0;
    bool overflow_ = false;
};

int fail(DWORD error) {
    SetLastError(error);
    return 0;
}

// The result of a conversion that ran to its end: its length, or the buffer-size failure.
template <typename T>
int finish(const Output<T>& out) {
    if (out.overflow()) return fail(ERROR_INSUFFICIENT_BUFFER);
    if (out.count() > static_cast<size_t>(INT_MAX)) return fail(ERROR_INVALID_PARAMETER);
    return static_cast<int>(out.count());
}
} // namespace

char16_t cp1252ToWide(unsigned char b) {
    if (b >= 0x80 && b <= 0x9F) return kCp1252High[b - 0x80];
    return b;
}

int wideToCp1252(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == c) return 0x80 + i;
    }
    return -1;
}

size_t decodeUtf8(const unsigned char* s, size_t n, long& cp) {
    const unsigned char b0 = s[0];
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    int need;
    long value;
    unsigned char lo = 0x80, hi = 0xBF; // the valid range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1;
        value = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2;
        value = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0; // overlong
        if (b0 == 0xED) hi = 0x9F; // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3;
        value = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90; // overlong
        if (b0 == 0xF4) hi = 0x8F; // above U+10FFFF
    } else {
        cp = -1;
        return 1;
    }
    size_t used = 1;
    for (int k = 0; k < need; ++k, ++used) {
        if (used >= n) {
            cp = -1;
            return used;
        }
        const unsigned char b = s[used];
        if (b < (k == 0 ? lo : 0x80) || b > (k == 0 ? hi : 0xBF)) {
            cp = -1;
            return used;
        }
        value = (value << 6) | (b & 0x3F);
    }
    cp = value;
    return used;
}

} // namespace ce

using ce::Output;

// Converts Windows-1252 or UTF-8 text to UTF-16. Returns the number of units written (or, with
// cchWideChar 0, needed), counting the terminator when cbMultiByte is -1; 0 on failure with
// the reason in GetLastError.
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar) {
    if (lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 &&
         (lpWideCharStr == nullptr ||
          static_cast<const void*>(lpMultiByteStr) == static_cast<const void*>(lpWideCharStr))))
        return ce::fail(ERROR_INVALID_PARAMETER);
    const ce::Page page = ce::pageOf(CodePage);
    if (page == ce::Page::Unknown) return ce::fail(ERROR_INVALID_PARAMETER);
    if (page == ce::Page::Utf8) {
        if (dwFlags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS))
            return ce::fail(ERROR_INVALID_FLAGS);
    } else {
        if ((dwFlags & ~static_cast<DWORD>(MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS |
                                           MB_ERR_INVALID_CHARS)) ||
            ((dwFlags & MB_PRECOMPOSED) && (dwFlags & MB_COMPOSITE)))
            return ce::fail(ERROR_INVALID_FLAGS);
    }

    const auto* src = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
    const size_t len =
        cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    Output<char16_t> out(lpWideCharStr, static_cast<size_t>(cchWideChar));
    if (page == ce::Page::Ansi) {
        // Every byte of Windows-1252 has a character, so MB_ERR_INVALID_CHARS never fires.
        for (size_t i = 0; i < len; ++i)
            out.put(ce::cp1252ToWide(src[i]));
        return ce::finish(out);
    }
    for (size_t i = 0; i < len;) {
        long cp;
        i += ce::decodeUtf8(src + i, len - i, cp);
        if (cp < 0) {
            if (dwFlags & MB_ERR_INVALID_CHARS) return ce::fail(ERROR_NO_UNICODE_TRANSLATION);
            cp = 0xFFFD;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.put(static_cast<char16_t>(0xD800 | (cp >> 10)));
            out.put(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
        } else {
            out.put(static_cast<char16_t>(cp));
        }
    }
    return ce::finish(out);
}

// Converts UTF-16 text to Windows-1252 or UTF-8. Characters Windows-1252 lacks become
// *lpDefaultChar ('?' when null) and set *lpUsedDefaultChar; both must be null for UTF-8.
// Returns the number of bytes written (or, with cbMultiByte 0, needed), counting the
// terminator when cchWideChar is -1; 0 on failure with the reason in GetLastError.
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        LPBOOL lpUsedDefaultChar) {
    if (lpWideCharStr == nullptr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 &&
         (lpMultiByteStr == nullptr ||
          static_cast<const void*>(lpWideCharStr) == static_cast<const void*>(lpMultiByteStr))))
        return ce::fail(ERROR_INVALID_PARAMETER);
    const ce::Page page = ce::pageOf(CodePage);
    if (page == ce::Page::Unknown) return ce::fail(ERROR_INVALID_PARAMETER);
    if (page == ce::Page::Utf8) {
        if (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr)
            return ce::fail(ERROR_INVALID_PARAMETER);
        if (dwFlags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS))
            return ce::fail(ERROR_INVALID_FLAGS);
    } else if (dwFlags &
               ~static_cast<DWORD>(WC_COMPOSITECHECK | WC_DEFAULTCHAR | WC_NO_BEST_FIT_CHARS |
                                   ce::kWcDiscardNs | ce::kWcSepChars)) {
        return ce::fail(ERROR_INVALID_FLAGS);
    }

    size_t len;
    if (cchWideChar == -1) {
        len = 0;
        while (lpWideCharStr[len] != 0)
            ++len;
        ++len;
    } else {
        len = static_cast<size_t>(cchWideChar);
    }
    Output<char> out(lpMultiByteStr, static_cast<size_t>(cbMultiByte));
    if (page == ce::Page::Ansi) {
        const char def = lpDefaultChar != nullptr ? *lpDefaultChar : '?';
        bool usedDefault = false;
        for (size_t i = 0; i < len; ++i) {
            const int b = ce::wideToCp1252(lpWideCharStr[i]);
            if (b < 0) {
                usedDefault = true;
                out.put(def);
            } else {
                out.put(static_cast<char>(b));
            }
        }
        const int r = ce::finish(out);
        if (r != 0 && lpUsedDefaultChar != nullptr) *lpUsedDefaultChar = usedDefault;
        return r;
    }
    for (size_t i = 0; i < len; ++i) {
        long cp = lpWideCharStr[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < len && lpWideCharStr[i + 1] >= 0xDC00 &&
            lpWideCharStr[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lpWideCharStr[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            if (dwFlags & WC_ERR_INVALID_CHARS) return ce::fail(ERROR_NO_UNICODE_TRANSLATION);
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.put(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.put(static_cast<char>(0xC0 | (cp >> 6)));
            out.put(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.put(static_cast<char>(0xE0 | (cp >> 12)));
            out.put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.put(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.put(static_cast<char>(0xF0 | (cp >> 18)));
            out.put(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.put(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return ce::finish(out);
}

// The device's ANSI code page: Windows-1252.
UINT GetACP(void) {
    return 1252;
}
