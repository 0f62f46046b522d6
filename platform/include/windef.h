// windef.h: the base types of the Windows CE SDK as the simulated device defines them.
//
// The device is a 32-bit Windows CE system emulated on 64-bit Linux. Integer types keep their
// CE widths (DWORD, UINT and LONG are 32 bits), characters are 16-bit UTF-16 code units, and
// handles are pointer-sized in memory but always hold values that fit in 32 bits, so that a
// window or notification handle survives a trip through a REG_DWORD value or a message
// parameter and means the same thing in every process of the device.
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK
#define APIENTRY
#define WINAPIV
#define CONST const
#define IN
#define OUT
#define OPTIONAL
#define FAR
#define NEAR

#ifdef __cplusplus
#define ZV_EXTERN_C extern "C"
#else
#define ZV_EXTERN_C extern
#endif
#define WINBASEAPI ZV_EXTERN_C __attribute__((visibility("default")))

#ifndef NULL
#define NULL nullptr
#endif
#define FALSE    0
#define TRUE     1
#define MAX_PATH 260

typedef uint8_t BYTE, *PBYTE, *LPBYTE;
typedef uint16_t WORD, *PWORD, *LPWORD;
typedef uint32_t DWORD, *PDWORD, *LPDWORD;
typedef int32_t BOOL, *PBOOL, *LPBOOL;
typedef unsigned char BOOLEAN, UCHAR, *PUCHAR;
typedef int INT, *PINT, *LPINT;
typedef unsigned int UINT, *PUINT;
typedef int32_t LONG, *PLONG, *LPLONG;
typedef uint32_t ULONG, *PULONG;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef int64_t LONGLONG, INT64;
typedef uint64_t ULONGLONG, UINT64, DWORD64;
typedef int32_t INT32;
typedef uint32_t UINT32;
typedef float FLOAT;
typedef double DOUBLE;
typedef intptr_t INT_PTR, LONG_PTR;
typedef uintptr_t UINT_PTR, ULONG_PTR, DWORD_PTR, *PDWORD_PTR;
typedef WORD ATOM;
typedef size_t SIZE_T;
typedef void VOID;
typedef void *PVOID, *LPVOID;
typedef const void* LPCVOID;

typedef char CHAR;
typedef char16_t WCHAR;
typedef WCHAR TCHAR;
typedef CHAR *PSTR, *LPSTR, *PCHAR;
typedef const CHAR *PCSTR, *LPCSTR;
typedef WCHAR *PWSTR, *LPWSTR, *PWCHAR;
typedef const WCHAR *PCWSTR, *LPCWSTR;
typedef WCHAR *PTSTR, *LPTSTR;
typedef const WCHAR *PCTSTR, *LPCTSTR;

#define TEXT(quote)   u##quote
#define __TEXT(quote) u##quote

typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef LONG HRESULT;
typedef DWORD LCID;
typedef WORD LANGID;
typedef DWORD COLORREF;
typedef DWORD CEOID;
typedef DWORD CEPROPID;

typedef void* HANDLE;
typedef HANDLE* PHANDLE;
typedef HANDLE* LPHANDLE;
#define DECLARE_HANDLE(name)                                                                       \
    struct name##__ {                                                                              \
        int unused;                                                                                \
    };                                                                                             \
    typedef struct name##__* name
DECLARE_HANDLE(HWND);
DECLARE_HANDLE(HINSTANCE);
DECLARE_HANDLE(HKEY);
DECLARE_HANDLE(HMENU);
DECLARE_HANDLE(HICON);
DECLARE_HANDLE(HDC);
DECLARE_HANDLE(HBITMAP);
DECLARE_HANDLE(HBRUSH);
DECLARE_HANDLE(HPEN);
DECLARE_HANDLE(HFONT);
DECLARE_HANDLE(HRGN);
DECLARE_HANDLE(HPALETTE);
DECLARE_HANDLE(HGDIOBJ_);
typedef HINSTANCE HMODULE;
typedef HICON HCURSOR;
typedef void* HGDIOBJ;
typedef HANDLE HLOCAL;
typedef HANDLE HGLOBAL;

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

// Handles are 32-bit values in every process; these convert between the two forms.
inline ULONG HandleToULong(const void* h) {
    return (ULONG)(ULONG_PTR)h;
}
inline LONG HandleToLong(const void* h) {
    return (LONG)(LONG_PTR)h;
}
inline void* ULongToHandle(ULONG v) {
    return (void*)(ULONG_PTR)v;
}
inline void* LongToHandle(LONG v) {
    return (void*)(LONG_PTR)v;
}
#define UlongToHandle(v) ULongToHandle(v)
#define HandleToUlong(h) HandleToULong(h)

#define MAKEWORD(a, b)                                                                             \
    ((WORD)(((BYTE)((DWORD_PTR)(a)&0xff)) | ((WORD)((BYTE)((DWORD_PTR)(b)&0xff))) << 8))
#define MAKELONG(a, b)                                                                             \
    ((LONG)(((WORD)((DWORD_PTR)(a)&0xffff)) | ((DWORD)((WORD)((DWORD_PTR)(b)&0xffff))) << 16))
#define LOWORD(l)         ((WORD)((DWORD_PTR)(l)&0xffff))
#define HIWORD(l)         ((WORD)((DWORD_PTR)(l) >> 16))
#define LOBYTE(w)         ((BYTE)((DWORD_PTR)(w)&0xff))
#define HIBYTE(w)         ((BYTE)((DWORD_PTR)(w) >> 8))
#define MAKEWPARAM(l, h)  ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h)  ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKELRESULT(l, h) ((LRESULT)(DWORD)MAKELONG(l, h))
#define RGB(r, g, b)                                                                               \
    ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb)            (LOBYTE(rgb))
#define GetGValue(rgb)            (LOBYTE(((WORD)(rgb)) >> 8))
#define GetBValue(rgb)            (LOBYTE((rgb) >> 16))
#define ARRAYSIZE(a)              (sizeof(a) / sizeof((a)[0]))
#define _countof(a)               ARRAYSIZE(a)
#define UNREFERENCED_PARAMETER(p) (void)(p)

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME, *PSYSTEMTIME, *LPSYSTEMTIME;

typedef union _LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    };
    LONGLONG QuadPart;
} LARGE_INTEGER, *PLARGE_INTEGER;

typedef union _ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    };
    ULONGLONG QuadPart;
} ULARGE_INTEGER, *PULARGE_INTEGER;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT, *PPOINT, *LPPOINT;

typedef struct tagSIZE {
    LONG cx;
    LONG cy;
} SIZE, *PSIZE, *LPSIZE;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *PRECT, *LPRECT;
typedef const RECT* LPCRECT;

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef double DATE;
