// timeconv.cpp: the time functions of the kernel API: reading and setting the device clock,
// the tick count, and the conversions between FILETIME, SYSTEMTIME, local file times and OLE
// variant dates. (The time-zone functions are in timezone.cpp.)
//
// All calendar arithmetic is the proleptic Gregorian calendar on day numbers counted from
// 1 January 1601, the FILETIME epoch; a FILETIME is a count of 100 ns units from there. The
// clock itself is clock.cpp's; setting it goes through setDeviceUtc, which moves the step
// counter that raises the time-change event.
#include <algorithm>
#include <cmath>
#include <limits>

#include "winbase.h"

#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/timezone.h"
#include "kernel/trace.h"

namespace {

using ce::kFileTimePerDay;
using ce::kFileTimePerMs;
using ce::kFileTimePerSecond;

constexpr int kMinYear = 1601;
constexpr int kMaxYear = 30827;
// The OLE date range: 1 January 100 to 31 December 9999.
constexpr int kMinVariantYear = 100;
constexpr int kMaxVariantYear = 9999;

bool isLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : days[m - 1];
}

// Days from 1601-01-01 to y-m-d (negative before it). Counting from 1 March makes the leap
// day the last day of its year, so the month lengths follow a fixed pattern.
int64_t daysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;                                   // 0..399
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1; // 0..365
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;           // 0..146096
    // 584694 = days from 0000-03-01 to 1601-01-01.
    return era * 146097 + doe - 584694;
}

void civilFromDays(int64_t days, int* y, int* m, int* d) {
    int64_t z = days + 584694;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *y = static_cast<int>(yoe + era * 400 + (*m <= 2));
}

// 1 January 1601 was a Monday; 0 = Sunday as in SYSTEMTIME.
WORD dayOfWeek(int64_t days) {
    return static_cast<WORD>(((days + 1) % 7 + 7) % 7);
}

bool validDate(const SYSTEMTIME& st, int minYear, int maxYear) {
    return st.wYear >= minYear && st.wYear <= maxYear && st.wMonth >= 1 && st.wMonth <= 12 &&
           st.wDay >= 1 && st.wDay <= daysInMonth(st.wYear, st.wMonth);
}

bool validTimeOfDay(const SYSTEMTIME& st) {
    return st.wHour < 24 && st.wMinute < 60 && st.wSecond < 60 && st.wMilliseconds < 1000;
}

bool systemTimeToInt(const SYSTEMTIME& st, int64_t* out) {
    if (!validDate(st, kMinYear, kMaxYear) || !validTimeOfDay(st)) return false;
    int64_t days = daysFromCivil(st.wYear, st.wMonth, st.wDay);
    int64_t secs = st.wHour * 3600 + st.wMinute * 60 + st.wSecond;
    *out = days * kFileTimePerDay + secs * kFileTimePerSecond + st.wMilliseconds * kFileTimePerMs;
    return true;
}

// Any FILETIME from 0 to 2^63 - 1 has a SYSTEMTIME (the last one is in year 30828).
bool intToSystemTime(int64_t ft, SYSTEMTIME* st) {
    if (ft < 0) return false;
    int64_t days = ft / kFileTimePerDay;
    int64_t rest = ft % kFileTimePerDay;
    int y, m, d;
    civilFromDays(days, &y, &m, &d);
    st->wYear = static_cast<WORD>(y);
    st->wMonth = static_cast<WORD>(m);
    st->wDay = static_cast<WORD>(d);
    st->wDayOfWeek = dayOfWeek(days);
    st->wHour = static_cast<WORD>(rest / (3600 * kFileTimePerSecond));
    st->wMinute = static_cast<WORD>(rest / (60 * kFileTimePerSecond) % 60);
    st->wSecond = static_cast<WORD>(rest / kFileTimePerSecond % 60);
    st->wMilliseconds = static_cast<WORD>(rest / kFileTimePerMs % 1000);
    return true;
}

// The bias (FILETIME units, UTC = local + bias) in force now, daylight time included.
int64_t currentBias() {
    auto conf = ce::deviceConf();
    TIME_ZONE_INFORMATION tzi = ce::zoneInfoOf(*conf);
    int64_t utc = ce::deviceUtcNow();
    return utc - ce::utcToLocal(tzi, utc);
}

bool setClock(int64_t utc) {
    std::string error;
    if (!ce::setDeviceUtc(utc, &error)) {
        CE_TRACE("time", "cannot set the clock: %s", error.c_str());
        SetLastError(ERROR_GEN_FAILURE);
        return false;
    }
    return true;
}

constexpr int64_t kVariantEpochDays = 109205; // 1899-12-30, counted from 1601-01-01

} // namespace

// ---- Reading and setting the clock ------------------------------------------------------------

void GetSystemTime(LPSYSTEMTIME lpSystemTime) {
    if (lpSystemTime) intToSystemTime(ce::deviceUtcNow(), lpSystemTime);
}

void GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    if (lpSystemTime) intToSystemTime(std::max<int64_t>(0, ce::deviceLocalNow()), lpSystemTime);
}

void GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime) {
    if (lpSystemTimeAsFileTime) *lpSystemTimeAsFileTime = ce::intToFileTime(ce::deviceUtcNow());
}

// Milliseconds of device time since the device started; follows the clock rate and advances,
// not steps, and wraps after 49.7 days.
DWORD GetTickCount(void) {
    return ce::deviceTickCount();
}

// Steps the device clock for every process. wDayOfWeek is ignored; any other field out of
// range fails with ERROR_INVALID_PARAMETER, as SystemTimeToFileTime does.
BOOL SetSystemTime(const SYSTEMTIME* lpSystemTime) {
    int64_t utc;
    if (!lpSystemTime || !systemTimeToInt(*lpSystemTime, &utc)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return setClock(utc);
}

// The local time is turned into UTC with the zone's rules for the new time, not for the time
// the clock shows before the call, so GetLocalTime answers what was set. (On the device the
// local time is what the clock keeps, and it behaves so.) A time that falls into the spring
// gap is read as standard time; a time in the repeated autumn hour as its first occurrence.
BOOL SetLocalTime(const SYSTEMTIME* lpSystemTime) {
    int64_t local;
    if (!lpSystemTime || !systemTimeToInt(*lpSystemTime, &local)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int64_t utc = ce::localToUtc(ce::zoneInfoOf(*ce::deviceConf()), local);
    if (utc < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return setClock(utc);
}

// ---- FILETIME and SYSTEMTIME ----------------------------------------------------------------

// FILETIME values with the top bit set are not times and fail with ERROR_INVALID_PARAMETER.
BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime) {
    if (!lpFileTime || !lpSystemTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    SYSTEMTIME st;
    if (!intToSystemTime(ce::fileTimeToInt(*lpFileTime), &st)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpSystemTime = st;
    return TRUE;
}

// Every field is checked (month, day of that month in that year, hour, minute, second,
// milliseconds, years 1601 to 30827); wDayOfWeek is ignored. Failure leaves *lpFileTime as it
// was and sets ERROR_INVALID_PARAMETER.
BOOL SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime) {
    int64_t ft;
    if (!lpSystemTime || !lpFileTime || !systemTimeToInt(*lpSystemTime, &ft)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpFileTime = ce::intToFileTime(ft);
    return TRUE;
}

// As documented, both directions apply the bias in force now (daylight time included), not the
// one in force at the converted date: in summer a winter date is converted with the daylight
// bias. Results that leave the FILETIME range fail with ERROR_INVALID_PARAMETER.
BOOL FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime) {
    if (!lpFileTime || !lpLocalFileTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int64_t local;
    int64_t utc = ce::fileTimeToInt(*lpFileTime);
    if (utc < 0 || __builtin_sub_overflow(utc, currentBias(), &local) || local < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpLocalFileTime = ce::intToFileTime(local);
    return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, LPFILETIME lpFileTime) {
    if (!lpLocalFileTime || !lpFileTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int64_t utc;
    int64_t local = ce::fileTimeToInt(*lpLocalFileTime);
    if (local < 0 || __builtin_add_overflow(local, currentBias(), &utc) || utc < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpFileTime = ce::intToFileTime(utc);
    return TRUE;
}

// -1, 0 or 1 as the first time is earlier, equal or later; FILETIMEs compare as unsigned
// 64-bit numbers. A missing argument compares as equal rather than faulting.
LONG CompareFileTime(const FILETIME* lpFileTime1, const FILETIME* lpFileTime2) {
    if (!lpFileTime1 || !lpFileTime2) return 0;
    auto a = static_cast<uint64_t>(ce::fileTimeToInt(*lpFileTime1));
    auto b = static_cast<uint64_t>(ce::fileTimeToInt(*lpFileTime2));
    return a < b ? -1 : a > b ? 1 : 0;
}

// ---- OLE variant dates ----------------------------------------------------------------------
//
// A variant date counts days from 30 December 1899; its fraction is the time of day. Before
// that day the integer part is negative but the fraction still runs forward from midnight, so
// -1.25 is 29 December 1899, 06:00, the same day as -1.0 and -1.75.

// Seconds resolution: milliseconds are ignored, as documented. Dates from 1 January 100 to
// 31 December 9999 with every field in range convert; anything else returns FALSE.
INT SystemTimeToVariantTime(LPSYSTEMTIME lpSystemTime, DOUBLE* pvtime) {
    if (!lpSystemTime || !pvtime) return FALSE;
    const SYSTEMTIME& st = *lpSystemTime;
    if (!validDate(st, kMinVariantYear, kMaxVariantYear) || st.wHour > 23 || st.wMinute > 59 ||
        st.wSecond > 59)
        return FALSE;
    int64_t days = daysFromCivil(st.wYear, st.wMonth, st.wDay) - kVariantEpochDays;
    double fraction = (st.wHour * 3600 + st.wMinute * 60 + st.wSecond) / 86400.0;
    *pvtime =
        days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
    return TRUE;
}

// Rounds to the nearest second, half a second up, as OLE does; 23:59:59.5 becomes midnight of
// the next day. A value within a double's precision of half a second counts as half a second,
// so that a time computed as "date + 0.5 s" rounds the same way at any date. Values outside
// the OLE date range, infinities and NaN return FALSE.
INT VariantTimeToSystemTime(DOUBLE vtime, LPSYSTEMTIME lpSystemTime) {
    if (!lpSystemTime) return FALSE;
    if (!(vtime > -657435.0 && vtime < 2958466.0)) return FALSE;
    double whole = std::trunc(vtime);
    double fraction = std::fabs(vtime - whole);
    double slack = 86400.0 * std::fabs(vtime) * 4 * std::numeric_limits<double>::epsilon() + 1e-9;
    auto seconds = static_cast<int64_t>(std::floor(fraction * 86400.0 + 0.5 + slack));
    int64_t days = static_cast<int64_t>(whole) + kVariantEpochDays;
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    int y, m, d;
    civilFromDays(days, &y, &m, &d);
    if (y < kMinVariantYear || y > kMaxVariantYear) return FALSE;
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(m);
    st.wDay = static_cast<WORD>(d);
    st.wDayOfWeek = dayOfWeek(days);
    st.wHour = static_cast<WORD>(seconds / 3600);
    st.wMinute = static_cast<WORD>(seconds / 60 % 60);
    st.wSecond = static_cast<WORD>(seconds % 60);
    *lpSystemTime = st;
    return TRUE;
}
