// locale.cpp: the locale functions of the kernel API: GetLocaleInfoW, GetDateFormatW,
// GetTimeFormatW, the default-locale queries, IsValidLocale and ConvertDefaultLocale.
//
// The data comes from the constant tables of locale_data.cpp; the device profile chooses the
// user and system locale and is consulted at every call. Format pictures are read the way
// Windows documents them: a run of one pattern letter is one field, its length choosing the
// form ("d" 5, "dd" 05, "ddd" Tue, "dddd" Tuesday); text in single quotes is copied as it
// stands, two quotes in a row inside quoted text give one quote; any other character is
// copied unchanged. Results are built in a std::u16string and copied out only when the
// caller's buffer holds all of it, so a short buffer never receives a partial string.
#include <cstring>
#include <optional>
#include <string>

#include "winbase.h"
#include "winnls.h"

#include "kernel/locale_data.h"
#include "kernel/trace.h"

namespace {

using ce::LocaleData;

// ---- Locale identifiers ---------------------------------------------------------------------

LCID lcidOf(const LocaleData& l) {
    return MAKELCID(l.langId, SORT_DEFAULT);
}

LCID convertDefault(LCID lcid) {
    const LANGID lang = LANGIDFROMLCID(lcid);
    if (lcid == LOCALE_NEUTRAL || lang == LANG_USER_DEFAULT || lang == LANG_SYSTEM_DEFAULT)
        return lcidOf(ce::deviceLocale());
    // A language without a sublanguage stands for its default sublanguage (English for
    // English (United States) and so on); every language the device carries numbers that 1.
    if (PRIMARYLANGID(lang) != LANG_NEUTRAL && SUBLANGID(lang) == SUBLANG_NEUTRAL)
        return MAKELCID(MAKELANGID(PRIMARYLANGID(lang), SUBLANG_DEFAULT), SORTIDFROMLCID(lcid));
    return lcid;
}

// The locale an LCID names, or null when the device does not carry it. Sort orders do not
// change any text the device formats, so the sort identifier is not looked at.
const LocaleData* resolve(LCID lcid) {
    return ce::localeByLangId(LANGIDFROMLCID(convertDefault(lcid)));
}

// Copies s and its terminator to buf as the NLS functions do: cch 0 asks for the size only;
// a buffer too small fails without writing anything.
int copyOut(std::u16string_view s, LPWSTR buf, int cch) {
    const int needed = static_cast<int>(s.size()) + 1;
    if (cch == 0) return needed;
    if (cch < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buf, s.data(), s.size() * sizeof(WCHAR));
    buf[s.size()] = 0;
    return needed;
}

std::u16string langIdText(LANGID id) {
    static const char16_t hex[] = u"0123456789abcdef";
    std::u16string s(4, u'0');
    for (int i = 3; i >= 0; --i, id >>= 4)
        s[i] = hex[id & 0xf];
    return s;
}

// ---- GetLocaleInfoW -------------------------------------------------------------------------

std::optional<std::u16string> localeItem(const LocaleData& l, LCTYPE type) {
    // The localized language and country names are given only for the system's own locale;
    // for any other locale Windows CE documents the English name instead.
    const bool isSystem = &l == &ce::deviceLocale();
    auto text = [](std::u16string_view v) { return std::optional<std::u16string>(v); };

    if (type >= LOCALE_SDAYNAME1 && type <= LOCALE_SDAYNAME7)
        return text(l.dayNames[type - LOCALE_SDAYNAME1]);
    if (type >= LOCALE_SABBREVDAYNAME1 && type <= LOCALE_SABBREVDAYNAME7)
        return text(l.abbrevDayNames[type - LOCALE_SABBREVDAYNAME1]);
    if (type >= LOCALE_SMONTHNAME1 && type <= LOCALE_SMONTHNAME12)
        return text(l.monthNames[type - LOCALE_SMONTHNAME1]);
    if (type >= LOCALE_SABBREVMONTHNAME1 && type <= LOCALE_SABBREVMONTHNAME12)
        return text(l.abbrevMonthNames[type - LOCALE_SABBREVMONTHNAME1]);

    switch (type) {
    case LOCALE_ILANGUAGE:
    case LOCALE_IDEFAULTLANGUAGE: return langIdText(l.langId);
    case LOCALE_SLANGUAGE: return text(isSystem ? l.nativeLanguage : l.englishLanguage);
    case LOCALE_SENGLANGUAGE: return text(l.englishLanguage);
    case LOCALE_SABBREVLANGNAME: return text(l.abbrevLanguage);
    case LOCALE_SNATIVELANGNAME: return text(l.nativeLanguageName);
    case LOCALE_ICOUNTRY:
    case LOCALE_IDEFAULTCOUNTRY: return text(l.countryCode);
    case LOCALE_SCOUNTRY: return text(isSystem ? l.nativeCountry : l.englishCountry);
    case LOCALE_SENGCOUNTRY: return text(l.englishCountry);
    case LOCALE_SABBREVCTRYNAME: return text(l.abbrevCountry);
    case LOCALE_SNATIVECTRYNAME: return text(l.nativeCountry);
    case LOCALE_SLIST: return text(l.listSeparator);
    case LOCALE_IMEASURE: return text(l.measure);
    case LOCALE_SDECIMAL: return text(l.decimal);
    case LOCALE_STHOUSAND: return text(l.thousand);
    case LOCALE_SDATE: return text(l.dateSeparator);
    case LOCALE_STIME: return text(l.timeSeparator);
    case LOCALE_SSHORTDATE: return text(l.shortDate);
    case LOCALE_SLONGDATE: return text(l.longDate);
    case LOCALE_SYEARMONTH: return text(l.yearMonth);
    case LOCALE_STIMEFORMAT: return text(l.timeFormat);
    case LOCALE_IDATE: return text(l.dateOrder);
    case LOCALE_ILDATE: return text(l.longDateOrder);
    case LOCALE_ITIME: return text(l.timeClock);
    case LOCALE_ICENTURY: return text(u"1"); // every short date has a four-digit year
    case LOCALE_ITLZERO: return text(l.hourLeadingZero);
    case LOCALE_IDAYLZERO: return text(l.dayLeadingZero);
    case LOCALE_IMONLZERO: return text(l.monthLeadingZero);
    case LOCALE_S1159: return text(l.am);
    case LOCALE_S2359: return text(l.pm);
    case LOCALE_ICALENDARTYPE: return text(u"1"); // the Gregorian calendar, localized
    case LOCALE_IFIRSTDAYOFWEEK: return text(l.firstDayOfWeek);
    case LOCALE_IFIRSTWEEKOFYEAR: return text(l.firstWeekOfYear);
    case LOCALE_SMONTHNAME13:
    case LOCALE_SABBREVMONTHNAME13: return text(u""); // no thirteenth month in this calendar
    default: return std::nullopt;
    }
}

// ---- Calendar -------------------------------------------------------------------------------

bool isLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : days[m - 1];
}

// The dates a SYSTEMTIME can carry: 1601 to 30827, as for the file-time conversions.
bool validDate(const SYSTEMTIME& st) {
    return st.wYear >= 1601 && st.wYear <= 30827 && st.wMonth >= 1 && st.wMonth <= 12 &&
           st.wDay >= 1 && st.wDay <= daysInMonth(st.wYear, st.wMonth);
}

bool validTime(const SYSTEMTIME& st) {
    return st.wHour < 24 && st.wMinute < 60 && st.wSecond < 60 && st.wMilliseconds < 1000;
}

// 0 = Sunday, from the date alone (a caller's wDayOfWeek may be anything).
int dayOfWeek(int y, int m, int d) {
    static const int offset[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 3) --y;
    return (y + y / 4 - y / 100 + y / 400 + offset[m - 1] + d) % 7;
}

void appendNumber(std::u16string& out, unsigned value, int minDigits) {
    char16_t digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value);
    for (int i = n; i < minDigits; ++i)
        out += u'0';
    while (n)
        out += digits[--n];
}

// ---- Pictures -------------------------------------------------------------------------------

// Walks a picture: literal text (quoted or not) goes to onLiteral, each run of a pattern
// letter to onField(letter, count).
template <typename IsPattern, typename OnField, typename OnLiteral>
void walkPicture(std::u16string_view pic, IsPattern isPattern, OnField onField,
                 OnLiteral onLiteral) {
    size_t i = 0;
    while (i < pic.size()) {
        const char16_t c = pic[i];
        if (c == u'\'') {
            // Quoted text runs to the next lone quote (or the end); '' inside it is a quote.
            std::u16string lit;
            ++i;
            while (i < pic.size()) {
                if (pic[i] == u'\'') {
                    if (i + 1 < pic.size() && pic[i + 1] == u'\'') {
                        lit += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                lit += pic[i++];
            }
            onLiteral(std::u16string_view(lit));
        } else if (isPattern(c)) {
            size_t n = 1;
            while (i + n < pic.size() && pic[i + n] == c)
                ++n;
            onField(c, static_cast<int>(n));
            i += n;
        } else {
            onLiteral(pic.substr(i, 1));
            ++i;
        }
    }
}

std::u16string formatDate(const LocaleData& l, const SYSTEMTIME& st, std::u16string_view pic) {
    std::u16string out;
    const int dow = dayOfWeek(st.wYear, st.wMonth, st.wDay);
    const int dayIndex = (dow + 6) % 7; // the tables start on Monday
    walkPicture(
        pic, [](char16_t c) { return c == u'd' || c == u'M' || c == u'y' || c == u'g'; },
        [&](char16_t c, int n) {
            switch (c) {
            case u'd':
                if (n <= 2)
                    appendNumber(out, st.wDay, n);
                else
                    out += n == 3 ? l.abbrevDayNames[dayIndex] : l.dayNames[dayIndex];
                break;
            case u'M':
                if (n <= 2)
                    appendNumber(out, st.wMonth, n);
                else
                    out += n == 3 ? l.abbrevMonthNames[st.wMonth - 1] : l.monthNames[st.wMonth - 1];
                break;
            case u'y':
                // "y" and "yy" are the year within its century ("yy" with a leading zero);
                // three letters or more give the whole year.
                if (n <= 2)
                    appendNumber(out, st.wYear % 100, n);
                else
                    appendNumber(out, st.wYear, 4);
                break;
            case u'g': out += l.era; break;
            }
        },
        [&](std::u16string_view lit) { out += lit; });
    return out;
}

std::u16string formatTime(const LocaleData& l, const SYSTEMTIME& st, std::u16string_view pic,
                          DWORD flags) {
    std::u16string out;
    // A dropped field takes the literal text between it and the field before it along (the
    // ":" in front of the seconds, the blank in front of the marker). A dropped leading field
    // takes the text after it instead, up to the next field.
    size_t afterLastField = 0;
    bool anyField = false;
    bool skipLiteral = false;
    walkPicture(
        pic,
        [](char16_t c) { return c == u'h' || c == u'H' || c == u'm' || c == u's' || c == u't'; },
        [&](char16_t c, int n) {
            const bool drop = (c == u'm' && (flags & TIME_NOMINUTESORSECONDS)) ||
                              (c == u's' && (flags & (TIME_NOMINUTESORSECONDS | TIME_NOSECONDS))) ||
                              (c == u't' && (flags & TIME_NOTIMEMARKER));
            if (drop) {
                if (anyField)
                    out.resize(afterLastField);
                else
                    skipLiteral = true;
                return;
            }
            skipLiteral = false;
            const int digits = n >= 2 ? 2 : 1;
            switch (c) {
            case u'h':
                if (flags & TIME_FORCE24HOURFORMAT)
                    appendNumber(out, st.wHour, digits);
                else
                    appendNumber(out, st.wHour % 12 == 0 ? 12 : st.wHour % 12, digits);
                break;
            case u'H': appendNumber(out, st.wHour, digits); break;
            case u'm': appendNumber(out, st.wMinute, digits); break;
            case u's': appendNumber(out, st.wSecond, digits); break;
            case u't': {
                std::u16string_view marker = st.wHour < 12 ? l.am : l.pm;
                out += n == 1 ? marker.substr(0, 1) : marker;
                break;
            }
            }
            anyField = true;
            afterLastField = out.size();
        },
        [&](std::u16string_view lit) {
            if (!skipLiteral) out += lit;
        });
    return out;
}

std::u16string_view pictureText(LPCWSTR p) {
    return std::u16string_view(p, std::char_traits<char16_t>::length(p));
}

bool badBuffer(LPWSTR buf, int cch) {
    return cch < 0 || (cch > 0 && !buf);
}

} // namespace

// ---- Exported functions -----------------------------------------------------------------------

WINBASEAPI int GetLocaleInfoW(LCID Locale, LCTYPE LCType, LPWSTR lpLCData, int cchData) {
    if (badBuffer(lpLCData, cchData)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const LocaleData* l = resolve(Locale);
    if (!l) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const LCTYPE type = LCType & ~(LOCALE_NOUSEROVERRIDE | LOCALE_USE_CP_ACP);
    std::optional<std::u16string> value = localeItem(*l, type);
    if (!value) {
        CE_FIXME("locale", "LCTYPE 0x%x is not carried", LCType);
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    return copyOut(*value, lpLCData, cchData);
}

WINBASEAPI int GetDateFormatW(LCID Locale, DWORD dwFlags, const SYSTEMTIME* lpDate,
                              LPCWSTR lpFormat, LPWSTR lpDateStr, int cchDate) {
    constexpr DWORD kPictureFlags = DATE_SHORTDATE | DATE_LONGDATE | DATE_YEARMONTH;
    constexpr DWORD kKnownFlags = kPictureFlags | DATE_USE_ALT_CALENDAR | DATE_LTRREADING |
                                  DATE_RTLREADING | LOCALE_NOUSEROVERRIDE | LOCALE_USE_CP_ACP;
    if (badBuffer(lpDateStr, cchDate)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // With a picture of its own the caller may pass no flags (Windows CE documents that
    // dwFlags must then be zero); without one, at most one of the pictures may be chosen.
    const DWORD picture = dwFlags & kPictureFlags;
    if ((lpFormat && dwFlags) || (dwFlags & ~kKnownFlags) || (picture & (picture - 1)) ||
        ((dwFlags & DATE_LTRREADING) && (dwFlags & DATE_RTLREADING))) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    const LocaleData* l = resolve(Locale);
    if (!l) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    SYSTEMTIME date;
    if (lpDate)
        date = *lpDate;
    else
        GetLocalTime(&date);
    if (!validDate(date)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // The device's locales have only the Gregorian calendar, so DATE_USE_ALT_CALENDAR falls
    // back to it, as Windows does for a locale without an alternative calendar; and none of
    // them is written right to left, so the reading-order flags add no marks.
    std::u16string_view pic = lpFormat                     ? pictureText(lpFormat)
                              : (dwFlags & DATE_LONGDATE)  ? l->longDate
                              : (dwFlags & DATE_YEARMONTH) ? l->yearMonth
                                                           : l->shortDate;
    return copyOut(formatDate(*l, date, pic), lpDateStr, cchDate);
}

WINBASEAPI int GetTimeFormatW(LCID Locale, DWORD dwFlags, const SYSTEMTIME* lpTime,
                              LPCWSTR lpFormat, LPWSTR lpTimeStr, int cchTime) {
    constexpr DWORD kKnownFlags = TIME_NOMINUTESORSECONDS | TIME_NOSECONDS | TIME_NOTIMEMARKER |
                                  TIME_FORCE24HOURFORMAT | LOCALE_NOUSEROVERRIDE |
                                  LOCALE_USE_CP_ACP;
    if (badBuffer(lpTimeStr, cchTime)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // LOCALE_NOUSEROVERRIDE asks for the locale's own picture, which makes no sense together
    // with a picture of the caller's.
    if ((dwFlags & ~kKnownFlags) || (lpFormat && (dwFlags & LOCALE_NOUSEROVERRIDE))) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    const LocaleData* l = resolve(Locale);
    if (!l) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    SYSTEMTIME time;
    if (lpTime)
        time = *lpTime;
    else
        GetLocalTime(&time);
    if (!validTime(time)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string_view pic = lpFormat ? pictureText(lpFormat) : l->timeFormat;
    return copyOut(formatTime(*l, time, pic, dwFlags), lpTimeStr, cchTime);
}

WINBASEAPI LCID GetUserDefaultLCID(void) {
    return lcidOf(ce::deviceLocale());
}
WINBASEAPI LCID GetSystemDefaultLCID(void) {
    return lcidOf(ce::deviceLocale());
}
WINBASEAPI LANGID GetUserDefaultLangID(void) {
    return ce::deviceLocale().langId;
}
WINBASEAPI LANGID GetSystemDefaultLangID(void) {
    return ce::deviceLocale().langId;
}
// The user interface speaks the language of the device's locale.
WINBASEAPI LANGID GetUserDefaultUILanguage(void) {
    return ce::deviceLocale().langId;
}
WINBASEAPI LANGID GetSystemDefaultUILanguage(void) {
    return ce::deviceLocale().langId;
}

WINBASEAPI BOOL IsValidLocale(LCID Locale, DWORD dwFlags) {
    if (dwFlags != LCID_INSTALLED && dwFlags != LCID_SUPPORTED) return FALSE;
    // Only specific locales count: the default and neutral values are not locales of their own.
    return ce::localeByLangId(LANGIDFROMLCID(Locale)) != nullptr;
}

WINBASEAPI LCID ConvertDefaultLocale(LCID Locale) {
    return convertDefault(Locale);
}
