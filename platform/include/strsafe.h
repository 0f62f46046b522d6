// strsafe.h: the bounded string functions of the device's SDK (StringCch*, StringCb*).
//
// Sizes are counts of characters (Cch) or of bytes (Cb) of the destination, terminator
// included. Every function leaves the destination terminated whenever it has any room:
// S_OK when the whole result fitted; STRSAFE_E_INSUFFICIENT_BUFFER with the result cut to
// fit; STRSAFE_E_INVALID_PARAMETER for a size of 0 or above STRSAFE_MAX_CCH (the destination
// emptied when it has room), or, for the Cat functions, a destination not terminated within
// its size (left as it was). A null source is taken as an empty string. The printf forms use
// the device's Windows conversions (%s wide and %S narrow in a wide format).
#pragma once

#include <cstdarg>
#include <cstddef>

#include "windef.h"
#include "winerror.h"

#define STRSAFE_MAX_CCH 2147483647
#define STRSAFEAPI      WINBASEAPI HRESULT

#ifdef __cplusplus
extern "C" {
#endif

STRSAFEAPI StringCchCopyW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc);
STRSAFEAPI StringCchCopyA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc);
// Copies at most cchToCopy characters of pszSrc (fewer when it ends sooner).
STRSAFEAPI StringCchCopyNW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc, size_t cchToCopy);
STRSAFEAPI StringCchCopyNA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc, size_t cchToCopy);
STRSAFEAPI StringCchCatW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc);
STRSAFEAPI StringCchCatA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc);
// Appends at most cchToAppend characters of pszSrc.
STRSAFEAPI StringCchCatNW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc, size_t cchToAppend);
STRSAFEAPI StringCchCatNA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc, size_t cchToAppend);
STRSAFEAPI StringCchPrintfW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszFormat, ...);
STRSAFEAPI StringCchPrintfA(LPSTR pszDest, size_t cchDest, LPCSTR pszFormat, ...);
STRSAFEAPI StringCchVPrintfW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszFormat, va_list args);
STRSAFEAPI StringCchVPrintfA(LPSTR pszDest, size_t cchDest, LPCSTR pszFormat, va_list args);
// The length of psz without its terminator, which must lie within cchMax characters;
// otherwise STRSAFE_E_INVALID_PARAMETER and *pcchLength = 0. pcchLength may be null.
STRSAFEAPI StringCchLengthW(LPCWSTR psz, size_t cchMax, size_t* pcchLength);
STRSAFEAPI StringCchLengthA(LPCSTR psz, size_t cchMax, size_t* pcchLength);
// The byte-count forms: cbDest is the destination's size in bytes.
STRSAFEAPI StringCbCopyW(LPWSTR pszDest, size_t cbDest, LPCWSTR pszSrc);
STRSAFEAPI StringCbCatW(LPWSTR pszDest, size_t cbDest, LPCWSTR pszSrc);
STRSAFEAPI StringCbPrintfW(LPWSTR pszDest, size_t cbDest, LPCWSTR pszFormat, ...);

#ifdef __cplusplus
}
#endif

// The device is a UNICODE system: the plain names are the wide forms.
#define StringCchCopy    StringCchCopyW
#define StringCchCopyN   StringCchCopyNW
#define StringCchCat     StringCchCatW
#define StringCchCatN    StringCchCatNW
#define StringCchPrintf  StringCchPrintfW
#define StringCchVPrintf StringCchVPrintfW
#define StringCchLength  StringCchLengthW
#define StringCbCopy     StringCbCopyW
#define StringCbCat      StringCbCatW
#define StringCbPrintf   StringCbPrintfW
