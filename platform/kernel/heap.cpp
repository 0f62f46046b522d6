// heap.cpp: the process heap and the lstr* string functions.
//
// The device has one heap per process that matters to its programs; GetProcessHeap names it
// and the Heap* functions are the local heap under another name, so a block may be freed by
// either family and a stray pointer is refused the same way (localmem.cpp keeps every live
// block). Private heaps (HeapCreate) are not provided.
#include <cstring>
#include <string>

#include "kernel/strings.h"
#include "windows.h"

namespace {

// The value GetProcessHeap returns; any other heap handle is refused.
HANDLE const kProcessHeap = ULongToHandle(0x50);

bool isProcessHeap(HANDLE heap) {
    if (heap == kProcessHeap) return true;
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

} // namespace

WINBASEAPI HANDLE GetProcessHeap(void) {
    return kProcessHeap;
}

WINBASEAPI LPVOID HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
    if (!isProcessHeap(hHeap)) return nullptr;
    if (dwBytes > UINT32_MAX) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    UINT flags = (dwFlags & HEAP_ZERO_MEMORY) ? LMEM_ZEROINIT : LMEM_FIXED;
    return LocalAlloc(flags, static_cast<UINT>(dwBytes));
}

WINBASEAPI LPVOID HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes) {
    if (!isProcessHeap(hHeap)) return nullptr;
    if (dwBytes > UINT32_MAX) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    UINT flags = (dwFlags & HEAP_REALLOC_IN_PLACE_ONLY) ? 0 : LMEM_MOVEABLE;
    if (dwFlags & HEAP_ZERO_MEMORY) flags |= LMEM_ZEROINIT;
    return LocalReAlloc(lpMem, static_cast<UINT>(dwBytes), flags);
}

WINBASEAPI BOOL HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem) {
    if (!isProcessHeap(hHeap)) return FALSE;
    if (!lpMem) return TRUE; // freeing nothing succeeds, as documented
    return LocalFree(lpMem) == nullptr;
}

WINBASEAPI SIZE_T HeapSize(HANDLE hHeap, DWORD dwFlags, LPCVOID lpMem) {
    if (!isProcessHeap(hHeap)) return static_cast<SIZE_T>(-1);
    SetLastError(ERROR_SUCCESS);
    UINT size = LocalSize(const_cast<LPVOID>(lpMem));
    return size == 0 && GetLastError() == ERROR_INVALID_HANDLE ? static_cast<SIZE_T>(-1) : size;
}

WINBASEAPI int lstrlenW(LPCWSTR lpString) {
    return lpString ? static_cast<int>(std::char_traits<char16_t>::length(lpString)) : 0;
}

WINBASEAPI LPWSTR lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2) {
    if (!lpString1 || !lpString2) return nullptr;
    size_t n = std::char_traits<char16_t>::length(lpString2);
    std::memmove(lpString1, lpString2, (n + 1) * sizeof(WCHAR));
    return lpString1;
}

// Copies at most iMaxLength - 1 characters and always terminates, as documented.
WINBASEAPI LPWSTR lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength) {
    if (!lpString1 || !lpString2 || iMaxLength <= 0) return nullptr;
    int i = 0;
    for (; i < iMaxLength - 1 && lpString2[i]; ++i)
        lpString1[i] = lpString2[i];
    lpString1[i] = 0;
    return lpString1;
}

WINBASEAPI LPWSTR lstrcatW(LPWSTR lpString1, LPCWSTR lpString2) {
    if (!lpString1 || !lpString2) return nullptr;
    lstrcpyW(lpString1 + std::char_traits<char16_t>::length(lpString1), lpString2);
    return lpString1;
}

namespace {
int compareUnits(LPCWSTR a, LPCWSTR b, bool fold) {
    if (!a) a = u"";
    if (!b) b = u"";
    for (;; ++a, ++b) {
        char16_t ca = fold ? ce::foldCase(*a) : *a;
        char16_t cb = fold ? ce::foldCase(*b) : *b;
        if (ca != cb) return ca < cb ? -1 : 1;
        if (!ca) return 0;
    }
}
} // namespace

WINBASEAPI int lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2) {
    return compareUnits(lpString1, lpString2, false);
}

WINBASEAPI int lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2) {
    return compareUnits(lpString1, lpString2, true);
}
