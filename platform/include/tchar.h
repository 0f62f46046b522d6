// tchar.h: the generic-text names of the device's SDK, mapped to their wide forms.
//
// The device is a UNICODE system, so TCHAR is WCHAR (char16_t), _T("x") is u"x", and every
// _tcs*/_t* name is the char16_t function of cewchar.h (or wsprintf's engine for the printf
// forms, with the Windows conversions).
#pragma once

#include "windef.h"
#include "cewchar.h"

typedef WCHAR _TCHAR;
typedef WCHAR _TSCHAR;
typedef WCHAR _TUCHAR;
typedef WCHAR _TXCHAR;

#ifndef __T
#define __T(x) u##x
#endif
#define _T(x)    __T(x)
#define _TEXT(x) __T(x)

#define _tcslen     wcslen
#define _tcsnlen    wcsnlen
#define _tcscpy     wcscpy
#define _tcsncpy    wcsncpy
#define _tcscat     wcscat
#define _tcsncat    wcsncat
#define _tcscpy_s   wcscpy_s
#define _tcsncpy_s  wcsncpy_s
#define _tcscat_s   wcscat_s
#define _tcsdup     _wcsdup
#define _tcscmp     wcscmp
#define _tcsncmp    wcsncmp
#define _tcsicmp    _wcsicmp
#define _tcsnicmp   _wcsnicmp
#define _tcsstr     wcsstr
#define _tcschr     wcschr
#define _tcsrchr    wcsrchr
#define _tcsspn     wcsspn
#define _tcscspn    wcscspn
#define _tcspbrk    wcspbrk
#define _tcslwr     _wcslwr
#define _tcsupr     _wcsupr
#define _totlower   towlower
#define _totupper   towupper
#define _istspace   iswspace
#define _istdigit   iswdigit
#define _istalpha   iswalpha
#define _istalnum   iswalnum
#define _istupper   iswupper
#define _istlower   iswlower
#define _ttoi       _wtoi
#define _ttol       _wtol
#define _ttoi64     _wtoi64
#define _tstof      _wtof
#define _tcstol     wcstol
#define _tcstoul    wcstoul
#define _tcstod     wcstod
#define _stprintf   swprintf
#define _sntprintf  _snwprintf
#define _vstprintf  vswprintf
#define _vsntprintf _vsnwprintf
