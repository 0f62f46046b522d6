// strsafe.cpp: the StringCch* and StringCb* functions of strsafe.h.
//
// One template per operation serves the wide and narrow forms. The results follow the SDK's
// documented contract: invalid sizes are rejected before anything is read, a result that does
// not fit is cut, terminated and reported as STRSAFE_E_INSUFFICIENT_BUFFER, and the printf
// forms use the platform's formatting engine.
#include "strsafe.h"

#include "kernel/format.h"

namespace {

template <typename C>
bool validDest(C* dest, size_t cch) {
    return dest != nullptr && cch != 0 && cch <= STRSAFE_MAX_CCH;
}

// The failure of a bad destination size: empty the destination when it has room.
template <typename C>
HRESULT invalidDest(C* dest, size_t cch) {
    if (dest != nullptr && cch != 0 && cch <= STRSAFE_MAX_CCH) dest[0] = 0;
    return STRSAFE_E_INVALID_PARAMETER;
}

// Copies at most `max` characters of src into dest[0..cch), always terminating.
template <typename C>
HRESULT copyWorker(C* dest, size_t cch, const C* src, size_t max) {
    size_t i = 0;
    if (src != nullptr) {
        for (; i < max && src[i] != 0; ++i) {
            if (i + 1 >= cch) {
                dest[i] = 0;
                return STRSAFE_E_INSUFFICIENT_BUFFER;
            }
            dest[i] = src[i];
        }
    }
    dest[i] = 0;
    return S_OK;
}

template <typename C>
HRESULT copyN(C* dest, size_t cch, const C* src, size_t max) {
    if (!validDest(dest, cch) || max > STRSAFE_MAX_CCH) return invalidDest(dest, cch);
    return copyWorker(dest, cch, src, max);
}

template <typename C>
HRESULT catN(C* dest, size_t cch, const C* src, size_t max) {
    if (!validDest(dest, cch) || max > STRSAFE_MAX_CCH) return STRSAFE_E_INVALID_PARAMETER;
    size_t len = 0;
    while (len < cch && dest[len] != 0)
        ++len;
    if (len == cch) return STRSAFE_E_INVALID_PARAMETER;
    return copyWorker(dest + len, cch - len, src, max);
}

template <typename C>
HRESULT printfV(C* dest, size_t cch, const C* fmt, va_list ap) {
    if (!validDest(dest, cch) || fmt == nullptr) return invalidDest(dest, cch);
    const ce::FormatResult r = ce::formatV(dest, cch, fmt, ap);
    return r.truncated ? STRSAFE_E_INSUFFICIENT_BUFFER : S_OK;
}

template <typename C>
HRESULT length(const C* psz, size_t cchMax, size_t* pcch) {
    size_t n = 0;
    if (psz != nullptr && cchMax <= STRSAFE_MAX_CCH) {
        while (n < cchMax && psz[n] != 0)
            ++n;
    }
    if (psz == nullptr || cchMax > STRSAFE_MAX_CCH || n == cchMax) {
        if (pcch != nullptr) *pcch = 0;
        return STRSAFE_E_INVALID_PARAMETER;
    }
    if (pcch != nullptr) *pcch = n;
    return S_OK;
}

constexpr size_t kAll = static_cast<size_t>(STRSAFE_MAX_CCH);

} // namespace

HRESULT StringCchCopyW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc) {
    return copyN(pszDest, cchDest, pszSrc, kAll);
}
HRESULT StringCchCopyA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc) {
    return copyN(pszDest, cchDest, pszSrc, kAll);
}
HRESULT StringCchCopyNW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc, size_t cchToCopy) {
    return copyN(pszDest, cchDest, pszSrc, cchToCopy);
}
HRESULT StringCchCopyNA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc, size_t cchToCopy) {
    return copyN(pszDest, cchDest, pszSrc, cchToCopy);
}
HRESULT StringCchCatW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc) {
    return catN(pszDest, cchDest, pszSrc, kAll);
}
HRESULT StringCchCatA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc) {
    return catN(pszDest, cchDest, pszSrc, kAll);
}
HRESULT StringCchCatNW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc, size_t cchToAppend) {
    return catN(pszDest, cchDest, pszSrc, cchToAppend);
}
HRESULT StringCchCatNA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc, size_t cchToAppend) {
    return catN(pszDest, cchDest, pszSrc, cchToAppend);
}
HRESULT StringCchVPrintfW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszFormat, va_list args) {
    return printfV(pszDest, cchDest, pszFormat, args);
}
HRESULT StringCchVPrintfA(LPSTR pszDest, size_t cchDest, LPCSTR pszFormat, va_list args) {
    return printfV(pszDest, cchDest, pszFormat, args);
}
HRESULT StringCchPrintfW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszFormat, ...) {
    va_list ap;
    va_start(ap, pszFormat);
    const HRESULT hr = printfV(pszDest, cchDest, pszFormat, ap);
    va_end(ap);
    return hr;
}
HRESULT StringCchPrintfA(LPSTR pszDest, size_t cchDest, LPCSTR pszFormat, ...) {
    va_list ap;
    va_start(ap, pszFormat);
    const HRESULT hr = printfV(pszDest, cchDest, pszFormat, ap);
    va_end(ap);
    return hr;
}
HRESULT StringCchLengthW(LPCWSTR psz, size_t cchMax, size_t* pcchLength) {
    return length(psz, cchMax, pcchLength);
}
HRESULT StringCchLengthA(LPCSTR psz, size_t cchMax, size_t* pcchLength) {
    return length(psz, cchMax, pcchLength);
}
HRESULT StringCbCopyW(LPWSTR pszDest, size_t cbDest, LPCWSTR pszSrc) {
    return copyN(pszDest, cbDest / sizeof(WCHAR), pszSrc, kAll);
}
HRESULT StringCbCatW(LPWSTR pszDest, size_t cbDest, LPCWSTR pszSrc) {
    return catN(pszDest, cbDest / sizeof(WCHAR), pszSrc, kAll);
}
HRESULT StringCbPrintfW(LPWSTR pszDest, size_t cbDest, LPCWSTR pszFormat, ...) {
    va_list ap;
    va_start(ap, pszFormat);
    const HRESULT hr = printfV(pszDest, cbDest / sizeof(WCHAR), pszFormat, ap);
    va_end(ap);
    return hr;
}
