// cewchar.h: the device's wide C runtime, for WCHAR = char16_t.
//
// On Windows CE the C runtime's wide functions work on 16-bit characters. Linux's wchar_t is
// 32 bits wide and glibc owns the wchar_t names, so the device's runtime is a set of C++
// overloads of the same names taking char16_t: `wcslen(u"...")` resolves here, while a host
// `wcslen(L"...")` still reaches glibc. The semantics are the Microsoft runtime's: `_wtoi` and
// friends saturate on overflow, LONG results are 32 bits, the `_s` functions take the size of
// the destination, and the printf family follows the Windows conversions (`%s` is the format's
// own character type, `%S` the other one; narrow text is Windows-1252). Unlike on the device,
// every function here tolerates a null string pointer (treated as an empty string, or a
// failure for a destination), and every printf-like function bounds and terminates its output.
#pragma once

// The C library's own wide headers come first: <cwchar> and <cwctype> copy the global names
// into std with using-declarations, and they must copy only glibc's wchar_t functions, not the
// overloads below (libstdc++ takes the address of std::wcstol and friends).
#include <cwchar>
#include <cwctype>

#include <cstdarg>
#include <cstddef>

#include "windef.h"

// Exported from the platform library, which is built with hidden visibility.
#define ZV_CRTAPI __attribute__((visibility("default")))

#ifdef __cplusplus

typedef int errno_t;
#ifndef _TRUNCATE
#define _TRUNCATE ((size_t)-1)
#endif
#ifndef STRUNCATE
#define STRUNCATE 80
#endif
// What the Microsoft runtime's case-insensitive compares return for a null argument.
#define _NLSCMPERROR 0x7fffffff

// ---- Length, copy, concatenation ---------------------------------------------------------
ZV_CRTAPI size_t wcslen(const char16_t* s);
ZV_CRTAPI size_t wcsnlen(const char16_t* s, size_t max);
ZV_CRTAPI char16_t* wcscpy(char16_t* dst, const char16_t* src);
ZV_CRTAPI char16_t* wcsncpy(char16_t* dst, const char16_t* src, size_t n);
ZV_CRTAPI char16_t* wcscat(char16_t* dst, const char16_t* src);
ZV_CRTAPI char16_t* wcsncat(char16_t* dst, const char16_t* src, size_t n);
ZV_CRTAPI char16_t* _wcsdup(const char16_t* s); // malloc'd; release with free()

// Bounded forms: `size` is the destination's capacity in units, terminator included. On
// success 0; EINVAL for a null or empty destination (or a null source, which empties the
// destination); ERANGE when the result does not fit, leaving the destination empty, as the
// Microsoft runtime does. wcsncpy_s with count _TRUNCATE copies what fits and returns
// STRUNCATE when it had to cut.
ZV_CRTAPI errno_t wcscpy_s(char16_t* dst, size_t size, const char16_t* src);
ZV_CRTAPI errno_t wcsncpy_s(char16_t* dst, size_t size, const char16_t* src, size_t count);
ZV_CRTAPI errno_t wcscat_s(char16_t* dst, size_t size, const char16_t* src);
template <size_t N>
inline errno_t wcscpy_s(char16_t (&dst)[N], const char16_t* src) {
    return wcscpy_s(dst, N, src);
}
template <size_t N>
inline errno_t wcsncpy_s(char16_t (&dst)[N], const char16_t* src, size_t count) {
    return wcsncpy_s(dst, N, src, count);
}
template <size_t N>
inline errno_t wcscat_s(char16_t (&dst)[N], const char16_t* src) {
    return wcscat_s(dst, N, src);
}

// ---- Comparison and search ---------------------------------------------------------------
ZV_CRTAPI int wcscmp(const char16_t* a, const char16_t* b);
ZV_CRTAPI int wcsncmp(const char16_t* a, const char16_t* b, size_t n);
// Case-insensitive: both sides are lower-cased with the full BMP mapping (Ä meets ä).
ZV_CRTAPI int _wcsicmp(const char16_t* a, const char16_t* b);
ZV_CRTAPI int _wcsnicmp(const char16_t* a, const char16_t* b, size_t n);
ZV_CRTAPI const char16_t* wcsstr(const char16_t* hay, const char16_t* needle);
ZV_CRTAPI const char16_t* wcschr(const char16_t* s, char16_t c);
ZV_CRTAPI const char16_t* wcsrchr(const char16_t* s, char16_t c);
ZV_CRTAPI const char16_t* wcspbrk(const char16_t* s, const char16_t* set);
inline char16_t* wcsstr(char16_t* hay, const char16_t* needle) {
    return const_cast<char16_t*>(wcsstr(static_cast<const char16_t*>(hay), needle));
}
inline char16_t* wcschr(char16_t* s, char16_t c) {
    return const_cast<char16_t*>(wcschr(static_cast<const char16_t*>(s), c));
}
inline char16_t* wcsrchr(char16_t* s, char16_t c) {
    return const_cast<char16_t*>(wcsrchr(static_cast<const char16_t*>(s), c));
}
inline char16_t* wcspbrk(char16_t* s, const char16_t* set) {
    return const_cast<char16_t*>(wcspbrk(static_cast<const char16_t*>(s), set));
}
ZV_CRTAPI size_t wcsspn(const char16_t* s, const char16_t* set);
ZV_CRTAPI size_t wcscspn(const char16_t* s, const char16_t* set);

// In place; return their argument.
ZV_CRTAPI char16_t* _wcslwr(char16_t* s);
ZV_CRTAPI char16_t* _wcsupr(char16_t* s);

// ---- Character classes (full BMP tables of the C library's UTF-8 locale) ------------------
ZV_CRTAPI char16_t towlower(char16_t c);
ZV_CRTAPI char16_t towupper(char16_t c);
ZV_CRTAPI int iswspace(char16_t c);
ZV_CRTAPI int iswdigit(char16_t c);
ZV_CRTAPI int iswalpha(char16_t c);
ZV_CRTAPI int iswalnum(char16_t c);
ZV_CRTAPI int iswupper(char16_t c);
ZV_CRTAPI int iswlower(char16_t c);

// ---- Numbers ------------------------------------------------------------------------------
// _wtoi/_wtol: leading white space, an optional sign, decimal digits; anything else ends the
// number. Overflow saturates at the 32-bit limits (INT_MAX / INT_MIN). LONG is 32 bits on the
// device, so the `long` results below always lie in the 32-bit range.
ZV_CRTAPI int _wtoi(const char16_t* s);
ZV_CRTAPI long _wtol(const char16_t* s);
ZV_CRTAPI long long _wtoi64(const char16_t* s);
ZV_CRTAPI double _wtof(const char16_t* s);
// wcstol/wcstoul: bases 0 and 2..36 (0x prefix for 16, 0 prefix for octal under base 0);
// overflow gives the 32-bit limit and sets errno to ERANGE; wcstoul negates a leading minus in
// 32 bits ("-1" is 0xFFFFFFFF). *end points after the number, or at `s` when there is none.
ZV_CRTAPI long wcstol(const char16_t* s, char16_t** end, int base);
ZV_CRTAPI unsigned long wcstoul(const char16_t* s, char16_t** end, int base);
ZV_CRTAPI double wcstod(const char16_t* s, char16_t** end);

// ---- Formatted output -----------------------------------------------------------------------
// Windows conversions, never glibc's. `count` is the buffer's capacity in units; the output
// is always terminated when count > 0 and never split inside a surrogate pair. Result: the
// number of units written without the terminator, or -1 when the output had to be cut.
ZV_CRTAPI int _vsnwprintf(char16_t* buf, size_t count, const char16_t* fmt, va_list ap);
ZV_CRTAPI int _snwprintf(char16_t* buf, size_t count, const char16_t* fmt, ...);
ZV_CRTAPI int vswprintf(char16_t* buf, size_t count, const char16_t* fmt, va_list ap);
ZV_CRTAPI int swprintf(char16_t* buf, size_t count, const char16_t* fmt, ...);
ZV_CRTAPI int _vsnprintf(char* buf, size_t count, const char* fmt, va_list ap);
ZV_CRTAPI int _snprintf(char* buf, size_t count, const char* fmt, ...);

// The device's swprintf has no size parameter; writing into an array it is bounded by the
// array. (Writing through a bare pointer needs the counted form above.)
template <size_t N>
inline int swprintf(char16_t (&buf)[N], const char16_t* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int r = _vsnwprintf(buf, N, fmt, ap);
    va_end(ap);
    return r;
}

#endif // __cplusplus
