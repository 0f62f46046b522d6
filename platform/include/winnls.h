// winnls.h: code pages and locale services of the device: conversions between its ANSI code
// page and UTF-16, locale information, and date and time formatting.
#pragma once

#include "windef.h"

#define CP_ACP        0
#define CP_OEMCP      1
#define CP_MACCP      2
#define CP_THREAD_ACP 3
#define CP_SYMBOL     42
#define CP_UTF7       65000
#define CP_UTF8       65001

#define MB_PRECOMPOSED       0x00000001
#define MB_COMPOSITE         0x00000002
#define MB_USEGLYPHCHARS     0x00000004
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_COMPOSITECHECK    0x00000200
#define WC_DEFAULTCHAR       0x00000040
#define WC_NO_BEST_FIT_CHARS 0x00000400
#define WC_ERR_INVALID_CHARS 0x00000080

#ifdef __cplusplus
extern "C" {
#endif

// CP_ACP (and CP_THREAD_ACP, CP_OEMCP) is Windows-1252 on this device.
WINBASEAPI int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr,
                                   int cbMultiByte, LPWSTR lpWideCharStr, int cchWideChar);
WINBASEAPI int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr,
                                   int cchWideChar, LPSTR lpMultiByteStr, int cbMultiByte,
                                   LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar);
WINBASEAPI UINT GetACP(void);

#ifdef __cplusplus
}
#endif

// ---- Locales ------------------------------------------------------------------------------
//
// The device carries four locales: English (United States), English (United Kingdom), German
// (Germany) and Japanese (Japan). The device profile chooses which one is the user's and the
// system's; both defaults follow it, and it is read again at every call, so a test that switches
// the profile sees the new locale at once.

typedef DWORD LCTYPE;

#define LANG_NEUTRAL  0x00
#define LANG_GERMAN   0x07
#define LANG_ENGLISH  0x09
#define LANG_JAPANESE 0x11

#define SUBLANG_NEUTRAL        0x00
#define SUBLANG_DEFAULT        0x01
#define SUBLANG_SYS_DEFAULT    0x02
#define SUBLANG_ENGLISH_US     0x01
#define SUBLANG_ENGLISH_UK     0x02
#define SUBLANG_GERMAN         0x01
#define SUBLANG_JAPANESE_JAPAN 0x01

#define SORT_DEFAULT 0x0

#define MAKELANGID(p, s)      ((WORD)((((WORD)(s)) << 10) | (WORD)(p)))
#define PRIMARYLANGID(lgid)   ((WORD)(lgid)&0x3ff)
#define SUBLANGID(lgid)       ((WORD)(lgid) >> 10)
#define MAKELCID(lgid, srtid) ((DWORD)((((DWORD)((WORD)(srtid))) << 16) | ((DWORD)((WORD)(lgid)))))
#define LANGIDFROMLCID(lcid)  ((WORD)(lcid))
#define SORTIDFROMLCID(lcid)  ((WORD)((((DWORD)(lcid)) >> 16) & 0xf))

#define LANG_SYSTEM_DEFAULT   (MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT))
#define LANG_USER_DEFAULT     (MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT))
#define LOCALE_SYSTEM_DEFAULT (MAKELCID(LANG_SYSTEM_DEFAULT, SORT_DEFAULT))
#define LOCALE_USER_DEFAULT   (MAKELCID(LANG_USER_DEFAULT, SORT_DEFAULT))
#define LOCALE_NEUTRAL        (MAKELCID(MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), SORT_DEFAULT))

// Modifiers that may be or-ed into an LCTYPE. The device has no per-user overrides, so
// LOCALE_NOUSEROVERRIDE changes nothing; LOCALE_USE_CP_ACP matters only to the narrow forms.
#define LOCALE_NOUSEROVERRIDE 0x80000000
#define LOCALE_USE_CP_ACP     0x40000000

#define LOCALE_ILANGUAGE        0x00000001
#define LOCALE_SLANGUAGE        0x00000002
#define LOCALE_SENGLANGUAGE     0x00001001
#define LOCALE_SABBREVLANGNAME  0x00000003
#define LOCALE_SNATIVELANGNAME  0x00000004
#define LOCALE_ICOUNTRY         0x00000005
#define LOCALE_SCOUNTRY         0x00000006
#define LOCALE_SENGCOUNTRY      0x00001002
#define LOCALE_SABBREVCTRYNAME  0x00000007
#define LOCALE_SNATIVECTRYNAME  0x00000008
#define LOCALE_IDEFAULTLANGUAGE 0x00000009
#define LOCALE_IDEFAULTCOUNTRY  0x0000000A
#define LOCALE_SLIST            0x0000000C
#define LOCALE_IMEASURE         0x0000000D
#define LOCALE_SDECIMAL         0x0000000E
#define LOCALE_STHOUSAND        0x0000000F
#define LOCALE_SDATE            0x0000001D
#define LOCALE_STIME            0x0000001E
#define LOCALE_SSHORTDATE       0x0000001F
#define LOCALE_SLONGDATE        0x00000020
#define LOCALE_STIMEFORMAT      0x00001003
#define LOCALE_SYEARMONTH       0x00001006
#define LOCALE_IDATE            0x00000021
#define LOCALE_ILDATE           0x00000022
#define LOCALE_ITIME            0x00000023
#define LOCALE_ICENTURY         0x00000024
#define LOCALE_ITLZERO          0x00000025
#define LOCALE_IDAYLZERO        0x00000026
#define LOCALE_IMONLZERO        0x00000027
#define LOCALE_S1159            0x00000028
#define LOCALE_S2359            0x00000029
#define LOCALE_ICALENDARTYPE    0x00001009
#define LOCALE_IFIRSTDAYOFWEEK  0x0000100C
#define LOCALE_IFIRSTWEEKOFYEAR 0x0000100D
// Day names run from Monday (1) to Sunday (7), as Windows numbers them.
#define LOCALE_SDAYNAME1          0x0000002A
#define LOCALE_SDAYNAME2          0x0000002B
#define LOCALE_SDAYNAME3          0x0000002C
#define LOCALE_SDAYNAME4          0x0000002D
#define LOCALE_SDAYNAME5          0x0000002E
#define LOCALE_SDAYNAME6          0x0000002F
#define LOCALE_SDAYNAME7          0x00000030
#define LOCALE_SABBREVDAYNAME1    0x00000031
#define LOCALE_SABBREVDAYNAME2    0x00000032
#define LOCALE_SABBREVDAYNAME3    0x00000033
#define LOCALE_SABBREVDAYNAME4    0x00000034
#define LOCALE_SABBREVDAYNAME5    0x00000035
#define LOCALE_SABBREVDAYNAME6    0x00000036
#define LOCALE_SABBREVDAYNAME7    0x00000037
#define LOCALE_SMONTHNAME1        0x00000038
#define LOCALE_SMONTHNAME2        0x00000039
#define LOCALE_SMONTHNAME3        0x0000003A
#define LOCALE_SMONTHNAME4        0x0000003B
#define LOCALE_SMONTHNAME5        0x0000003C
#define LOCALE_SMONTHNAME6        0x0000003D
#define LOCALE_SMONTHNAME7        0x0000003E
#define LOCALE_SMONTHNAME8        0x0000003F
#define LOCALE_SMONTHNAME9        0x00000040
#define LOCALE_SMONTHNAME10       0x00000041
#define LOCALE_SMONTHNAME11       0x00000042
#define LOCALE_SMONTHNAME12       0x00000043
#define LOCALE_SMONTHNAME13       0x0000100E
#define LOCALE_SABBREVMONTHNAME1  0x00000044
#define LOCALE_SABBREVMONTHNAME2  0x00000045
#define LOCALE_SABBREVMONTHNAME3  0x00000046
#define LOCALE_SABBREVMONTHNAME4  0x00000047
#define LOCALE_SABBREVMONTHNAME5  0x00000048
#define LOCALE_SABBREVMONTHNAME6  0x00000049
#define LOCALE_SABBREVMONTHNAME7  0x0000004A
#define LOCALE_SABBREVMONTHNAME8  0x0000004B
#define LOCALE_SABBREVMONTHNAME9  0x0000004C
#define LOCALE_SABBREVMONTHNAME10 0x0000004D
#define LOCALE_SABBREVMONTHNAME11 0x0000004E
#define LOCALE_SABBREVMONTHNAME12 0x0000004F
#define LOCALE_SABBREVMONTHNAME13 0x0000100F

// IsValidLocale
#define LCID_INSTALLED 0x00000001
#define LCID_SUPPORTED 0x00000002

// GetDateFormatW
#define DATE_SHORTDATE        0x00000001
#define DATE_LONGDATE         0x00000002
#define DATE_USE_ALT_CALENDAR 0x00000004
#define DATE_YEARMONTH        0x00000008
#define DATE_LTRREADING       0x00000010
#define DATE_RTLREADING       0x00000020

// GetTimeFormatW
#define TIME_NOMINUTESORSECONDS 0x00000001
#define TIME_NOSECONDS          0x00000002
#define TIME_NOTIMEMARKER       0x00000004
#define TIME_FORCE24HOURFORMAT  0x00000008

#ifdef __cplusplus
extern "C" {
#endif

// Copies one item of locale information, as text with its terminator, into lpLCData and
// returns the characters written (terminator included). With cchData 0 it only returns the
// size needed. Fails with ERROR_INSUFFICIENT_BUFFER when cchData is too small (nothing is
// written), ERROR_INVALID_FLAGS for an LCTYPE the device does not know, and
// ERROR_INVALID_PARAMETER for a locale it does not carry.
WINBASEAPI int GetLocaleInfoW(LCID Locale, LCTYPE LCType, LPWSTR lpLCData, int cchData);

// Formats a date (lpDate, or today's local date when it is NULL) with the locale's short, long
// or year-month picture, or with the picture lpFormat (then dwFlags must be 0). Pictures use
// d dd ddd dddd, M MM MMM MMMM, y yy yyyy, g gg and 'quoted text'; everything else is copied.
// The day of the week is computed from the date, never taken from wDayOfWeek. Returns the
// characters written, terminator included, or the size needed when cchDate is 0.
WINBASEAPI int GetDateFormatW(LCID Locale, DWORD dwFlags, const SYSTEMTIME* lpDate,
                              LPCWSTR lpFormat, LPWSTR lpDateStr, int cchDate);

// Formats a time of day (lpTime, or the local time now when it is NULL) with the locale's
// time picture or with lpFormat: h hh (12-hour), H HH (24-hour), m mm, s ss, t tt (the
// morning/afternoon marker) and 'quoted text'. TIME_NOSECONDS / TIME_NOMINUTESORSECONDS /
// TIME_NOTIMEMARKER drop those fields together with the separator in front of them;
// TIME_FORCE24HOURFORMAT shows h and hh as H and HH. The date part of lpTime is ignored.
WINBASEAPI int GetTimeFormatW(LCID Locale, DWORD dwFlags, const SYSTEMTIME* lpTime,
                              LPCWSTR lpFormat, LPWSTR lpTimeStr, int cchTime);

// The device's locale and language, from its profile. User and system defaults are the same.
WINBASEAPI LCID GetUserDefaultLCID(void);
WINBASEAPI LCID GetSystemDefaultLCID(void);
WINBASEAPI LANGID GetUserDefaultLangID(void);
WINBASEAPI LANGID GetSystemDefaultLangID(void);
WINBASEAPI LANGID GetUserDefaultUILanguage(void);
WINBASEAPI LANGID GetSystemDefaultUILanguage(void);

// TRUE when the device carries the locale (both LCID_INSTALLED and LCID_SUPPORTED mean the
// same here: every locale the device knows is installed).
WINBASEAPI BOOL IsValidLocale(LCID Locale, DWORD dwFlags);

// Turns LOCALE_USER_DEFAULT, LOCALE_SYSTEM_DEFAULT, LOCALE_NEUTRAL and a language without a
// sublanguage into the specific locale they stand for; other values come back unchanged.
WINBASEAPI LCID ConvertDefaultLocale(LCID Locale);

#ifdef __cplusplus
}
#endif

#define GetLocaleInfo GetLocaleInfoW
#define GetDateFormat GetDateFormatW
#define GetTimeFormat GetTimeFormatW
