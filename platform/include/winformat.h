// winformat.h: wsprintfW / wvsprintfW (and the A forms) of the device; included by windows.h.
//
// wsprintfW has no size parameter; Windows documents a limit of 1024 characters, and that is
// the bound when the destination is a bare pointer. When the destination is an array, the
// array's own size bounds the output (never more than 1024 units either), so code that
// formats into a WCHAR[N] can never write past it. The output is always terminated, and the
// result is the number of characters stored, terminator excluded. The conversions are the
// Windows ones: %s is the format's own character type, %S the other (narrow text is
// Windows-1252), %hs always narrow, %ls/%ws always wide.
//
// In C++ these are inline templates, so that the array form is the better match for an array
// argument; they call the exported zvFormatW/zvFormatA. The library also exports plain
// wsprintfW/wvsprintfW/wsprintfA/wvsprintfA symbols for callers that look them up by name.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <type_traits>

#include "windef.h"
#include "cewchar.h"

#define ZV_WSPRINTF_MAX 1024

#ifdef __cplusplus

// Formats into buf[0..cap) with the Windows conversions; returns the units stored.
ZV_CRTAPI int zvFormatW(LPWSTR buf, size_t cap, LPCWSTR fmt, va_list ap);
ZV_CRTAPI int zvFormatA(LPSTR buf, size_t cap, LPCSTR fmt, va_list ap);

template <typename P>
requires std::is_same_v<P, WCHAR*>
inline int wvsprintfW(P buf, LPCWSTR fmt, va_list ap) {
    return zvFormatW(buf, ZV_WSPRINTF_MAX, fmt, ap);
}
template <size_t N>
inline int wvsprintfW(WCHAR (&buf)[N], LPCWSTR fmt, va_list ap) {
    return zvFormatW(buf, N < ZV_WSPRINTF_MAX ? N : ZV_WSPRINTF_MAX, fmt, ap);
}
template <typename P>
requires std::is_same_v<P, WCHAR*>
inline int wsprintfW(P buf, LPCWSTR fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int r = zvFormatW(buf, ZV_WSPRINTF_MAX, fmt, ap);
    va_end(ap);
    return r;
}
template <size_t N>
inline int wsprintfW(WCHAR (&buf)[N], LPCWSTR fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int r = zvFormatW(buf, N < ZV_WSPRINTF_MAX ? N : ZV_WSPRINTF_MAX, fmt, ap);
    va_end(ap);
    return r;
}

template <typename P>
requires std::is_same_v<P, CHAR*>
inline int wvsprintfA(P buf, LPCSTR fmt, va_list ap) {
    return zvFormatA(buf, ZV_WSPRINTF_MAX, fmt, ap);
}
template <size_t N>
inline int wvsprintfA(CHAR (&buf)[N], LPCSTR fmt, va_list ap) {
    return zvFormatA(buf, N < ZV_WSPRINTF_MAX ? N : ZV_WSPRINTF_MAX, fmt, ap);
}
template <typename P>
requires std::is_same_v<P, CHAR*>
inline int wsprintfA(P buf, LPCSTR fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int r = zvFormatA(buf, ZV_WSPRINTF_MAX, fmt, ap);
    va_end(ap);
    return r;
}
template <size_t N>
inline int wsprintfA(CHAR (&buf)[N], LPCSTR fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int r = zvFormatA(buf, N < ZV_WSPRINTF_MAX ? N : ZV_WSPRINTF_MAX, fmt, ap);
    va_end(ap);
    return r;
}

#define wsprintf  wsprintfW
#define wvsprintf wvsprintfW

#endif // __cplusplus
