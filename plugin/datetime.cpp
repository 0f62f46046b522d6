// datetime.cpp: the date and time text of one line of the alarm list (getDateTime), in the user
// locale's formats, shortened the way the settings ask: without the year, the day of month
// alone, a weekday of a chosen length, a date printed once per day in a grouped list, and the
// morning/afternoon marker compressed to one letter ("8:30a").
#include <cstring>

#include <strsafe.h>

#include "alarmlist.h"
#include "language.h"
#include "settings.h"

LONG lastDateDay = 0;

namespace {

#define WEEKDAY_CCH 3 // characters per day in the weekday text

LONG localeNumber(LCTYPE type) {
    WCHAR buf[8] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buf, 8);
    return buf[0] >= u'0' && buf[0] <= u'9' ? buf[0] - u'0' : 0;
}

WCHAR localeDateSeparator(void) {
    WCHAR buf[8] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDATE, buf, 8);
    return buf[0] ? buf[0] : u'/';
}

// The short date, or the day of month alone, without the year when the settings say so.
void dateText(const SYSTEMTIME& time, WCHAR* out, size_t cch, LONG order, WCHAR separator) {
    LONG format = getSettings().dateFormat;
    out[0] = 0;
    if (format == 2) {
        GetDateFormatW(LOCALE_USER_DEFAULT, 0, &time, TEXT("dd"), out, static_cast<int>(cch));
        return;
    }
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, out, static_cast<int>(cch));
    if (format != 1) return;
    if (order == 2) {
        // Year first: drop it with its separator.
        WCHAR* first = wcschr(out, separator);
        if (first) memmove(out, first + 1, (lstrlenW(first + 1) + 1) * sizeof(WCHAR));
    } else {
        WCHAR* last = wcsrchr(out, separator);
        if (last) *last = 0;
    }
}

// The weekday's first dayLen letters from the language's "SunMonTue..." text, and a blank.
void appendWeekday(const SYSTEMTIME& time, WCHAR* out, size_t cch) {
    LONG len = getSettings().dayLen;
    if (len < 0) len = 0;
    if (len > WEEKDAY_CCH) len = WEEKDAY_CCH;
    std::u16string days = getText(TXT_SUNMONTUEWEDTHUFRISAT);
    size_t from = static_cast<size_t>(time.wDayOfWeek % 7) * WEEKDAY_CCH;
    WCHAR day[WEEKDAY_CCH + 2] = {};
    if (from < days.size()) {
        size_t n = days.size() - from < static_cast<size_t>(len) ? days.size() - from : len;
        memcpy(day, days.data() + from, n * sizeof(WCHAR));
        day[n] = 0;
    }
    StringCchCatW(out, cch, day);
    StringCchCatW(out, cch, TEXT(" "));
}

// "8:30 AM" becomes "8:30a": the marker's first letter, lower case, right after the digits.
void compressMarker(WCHAR* time, size_t cch) {
    WCHAR markers[2][16] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_S1159, markers[0], 16);
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_S2359, markers[1], 16);
    for (auto& marker : markers) {
        if (!marker[0]) continue;
        WCHAR* at = wcsstr(time, marker);
        if (!at) continue;
        WCHAR letter = marker[0] >= u'A' && marker[0] <= u'Z' ? marker[0] + 32 : marker[0];
        // Take the marker out with the blanks around it, then put the letter after the
        // last digit.
        WCHAR* start = at;
        while (start > time && start[-1] == u' ')
            --start;
        WCHAR* end = at + lstrlenW(marker);
        while (*end == u' ')
            ++end;
        memmove(start, end, (lstrlenW(end) + 1) * sizeof(WCHAR));
        WCHAR* lastDigit = nullptr;
        for (WCHAR* p = time; *p; ++p)
            if (*p >= u'0' && *p <= u'9') lastDigit = p;
        size_t len = lstrlenW(time);
        if (len + 2 > cch) return;
        WCHAR* insert = lastDigit ? lastDigit + 1 : time + len;
        memmove(insert + 1, insert, (lstrlenW(insert) + 1) * sizeof(WCHAR));
        *insert = letter;
        return;
    }
}

} // namespace

void getDateTime(SYSTEMTIME time, WCHAR* out, LONG allDay, LONG mode, LONG noDay, LONG group) {
    out[0] = 0;
    if (mode < DT_DATE_TIME || mode > DT_TIME_PLAIN) return;
    const PluginSettings& settings = getSettings();
    BOOL dateShown = TRUE;
    if (group) {
        if (time.wDay == lastDateDay)
            dateShown = FALSE;
        else
            lastDateDay = time.wDay;
    }
    LONG order = localeNumber(LOCALE_IDATE);
    WCHAR separator = localeDateSeparator();
    BOOL clock12 = localeNumber(LOCALE_ITIME) == 0;
    BOOL compress = settings.compressDate != 0;

    if (mode == DT_DATE_TIME || mode == DT_DATE_ONLY) {
        if (dateShown) {
            if (!noDay && settings.includeDay) appendWeekday(time, out, DATETIME_CCH);
            WCHAR date[DATETIME_CCH] = {};
            dateText(time, date, DATETIME_CCH, order, separator);
            StringCchCatW(out, DATETIME_CCH, date);
        }
    }
    if (mode == DT_DATE_TIME) {
        if (dateShown) {
            StringCchCatW(out, DATETIME_CCH, TEXT(" "));
        } else {
            // Lines without a date are indented so that their times line up under the times
            // of the dated line above.
            if (allDay || (clock12 && !compress)) StringCchCatW(out, DATETIME_CCH, TEXT(" "));
            if (allDay && (!clock12 || compress) && settings.includeDay)
                StringCchCatW(out, DATETIME_CCH, TEXT(" "));
            if (clock12 && !compress) StringCchCatW(out, DATETIME_CCH, TEXT(" "));
        }
    }
    if (mode == DT_DATE_TIME || mode == DT_TIME_ONLY || mode == DT_TIME_PLAIN) {
        WCHAR text[DATETIME_CCH] = {};
        if (allDay) {
            StringCchCopyW(text, DATETIME_CCH, getText(TXT_ALL_DAY).c_str());
        } else {
            GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &time, nullptr, text, DATETIME_CCH);
            if (compress && clock12 && mode != DT_TIME_PLAIN) compressMarker(text, DATETIME_CCH);
        }
        StringCchCatW(out, DATETIME_CCH, text);
    }
}
