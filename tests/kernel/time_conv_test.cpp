// time_conv_test.cpp: conformance tests of the time conversions of the kernel API: FILETIME and
// SYSTEMTIME, OLE variant dates, and file time comparison. None of them needs a device: they
// are pure calendar arithmetic, checked against values computed independently of this code.
#include <cmath>
#include <cstring>
#include <iomanip>
#include <limits>

#include <gtest/gtest.h>

#include "testdevice.h"
#include "winbase.h"

namespace {

constexpr DWORD kPoison = 0xdeadbeef;

SYSTEMTIME makeTime(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0,
                    int dow = 0) {
    SYSTEMTIME st;
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(mo);
    st.wDayOfWeek = static_cast<WORD>(dow);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi);
    st.wSecond = static_cast<WORD>(s);
    st.wMilliseconds = static_cast<WORD>(ms);
    return st;
}

SYSTEMTIME poisonedTime() {
    SYSTEMTIME st;
    memset(&st, 0xbe, sizeof st);
    return st;
}

FILETIME fileTime(uint64_t v) {
    return FILETIME{static_cast<DWORD>(v & 0xFFFFFFFFu), static_cast<DWORD>(v >> 32)};
}

uint64_t value(const FILETIME& ft) {
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

std::string show(const SYSTEMTIME& st) {
    char buf[80];
    snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u.%03u dow %u", st.wYear, st.wMonth,
             st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, st.wDayOfWeek);
    return buf;
}

// ---- FILETIME <-> SYSTEMTIME ------------------------------------------------------------------

struct KnownInstant {
    SYSTEMTIME st; // wDayOfWeek as FileTimeToSystemTime must report it
    uint64_t ft;
};

// Values computed with an independent calendar (days between dates), days of the week from a
// perpetual calendar.
const KnownInstant kInstants[] = {
    {makeTime(1601, 1, 1, 0, 0, 0, 0, 1), 0},
    {makeTime(1900, 3, 1, 0, 0, 0, 0, 4), 94405824000000000},
    {makeTime(1970, 1, 1, 0, 0, 0, 0, 4), 116444736000000000},
    {makeTime(2000, 2, 29, 12, 34, 56, 789, 2), 125963012967890000},
    {makeTime(2027, 3, 28, 1, 0, 0, 0, 0), 134506692000000000},
    {makeTime(9999, 12, 31, 23, 59, 59, 999, 5), 2650467743999990000},
    {makeTime(30827, 12, 31, 23, 59, 59, 999, 5), 9223149887999990000},
    // The largest FILETIME a SYSTEMTIME can hold.
    {makeTime(30828, 9, 14, 2, 48, 5, 477, 4), 0x7FFFFFFFFFFFFFFF},
};

TEST(TimeFileTime, KnownInstantsConvertBothWays) {
    for (const auto& k : kInstants) {
        SCOPED_TRACE(show(k.st));
        FILETIME ft = fileTime(k.ft);
        SYSTEMTIME st = poisonedTime();
        ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
        EXPECT_EQ(show(k.st), show(st));
        if (k.st.wYear > 30827) continue; // beyond SystemTimeToFileTime's documented range
        FILETIME back{kPoison, kPoison};
        SYSTEMTIME in = k.st;
        in.wDayOfWeek = 3; // ignored
        ASSERT_TRUE(SystemTimeToFileTime(&in, &back));
        EXPECT_EQ(k.ft, value(back));
    }
}

// FILETIME is a signed 64-bit quantity in the kernel: values with the top bit set are no time.
TEST(TimeFileTime, TopBitSetFails) {
    for (uint64_t v : {0x8000000000000000ull, 0xFFFFFFFFFFFFFFFFull}) {
        FILETIME ft = fileTime(v);
        SYSTEMTIME st = poisonedTime();
        SetLastError(kPoison);
        EXPECT_FALSE(FileTimeToSystemTime(&ft, &st));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
        EXPECT_EQ(show(poisonedTime()), show(st)) << "output written on failure";
    }
}

// Every field is validated; wDayOfWeek is not.
TEST(TimeFileTime, InvalidFieldsAreRefused) {
    const struct {
        const char* what;
        SYSTEMTIME st;
    } cases[] = {
        {"month 0", makeTime(2027, 0, 1)},
        {"month 13", makeTime(2027, 13, 1)},
        {"day 0", makeTime(2027, 1, 0)},
        {"31 April", makeTime(2027, 4, 31)},
        {"32 January", makeTime(2027, 1, 32)},
        {"29 February 2027", makeTime(2027, 2, 29)},
        {"29 February 1900 (century, not leap)", makeTime(1900, 2, 29)},
        {"30 February 2000", makeTime(2000, 2, 30)},
        {"hour 24", makeTime(2027, 1, 1, 24)},
        {"minute 60", makeTime(2027, 1, 1, 0, 60)},
        {"second 60", makeTime(2027, 1, 1, 0, 0, 60)},
        {"millisecond 1000", makeTime(2027, 1, 1, 0, 0, 0, 1000)},
        {"year 1600", makeTime(1600, 12, 31, 23, 59, 59, 999)},
        {"year 30828", makeTime(30828, 1, 1)},
        {"year 0", makeTime(0, 1, 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FILETIME ft{kPoison, kPoison};
        SetLastError(kPoison);
        EXPECT_FALSE(SystemTimeToFileTime(&c.st, &ft));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
        EXPECT_EQ(kPoison, ft.dwLowDateTime);
        EXPECT_EQ(kPoison, ft.dwHighDateTime);
    }
    // The edges of the same fields are accepted.
    for (SYSTEMTIME ok : {makeTime(2000, 2, 29), makeTime(2024, 2, 29), makeTime(2027, 12, 31),
                          makeTime(2027, 4, 30, 23, 59, 59, 999), makeTime(1601, 1, 1),
                          makeTime(2027, 6, 1, 0, 0, 0, 0, 200)}) {
        FILETIME ft;
        EXPECT_TRUE(SystemTimeToFileTime(&ok, &ft)) << show(ok);
    }
}

// Walks day by day over four centuries (leap rules of 1700, 1800, 1900, 2000 included): every
// day converts back to itself, the day after is 24 hours later, and the day of the week
// advances by one.
TEST(TimeFileTime, ConsecutiveDaysRoundTrip) {
    SYSTEMTIME start = makeTime(1699, 12, 31, 13, 14, 15, 16);
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&start, &ft));
    uint64_t v = value(ft);
    SYSTEMTIME prev;
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &prev));
    int leapDays = 0;
    for (int i = 0; i < 146097; ++i) {
        v += 864000000000ull;
        FILETIME next = fileTime(v);
        SYSTEMTIME st;
        ASSERT_TRUE(FileTimeToSystemTime(&next, &st));
        ASSERT_EQ((prev.wDayOfWeek + 1) % 7, st.wDayOfWeek) << show(st);
        ASSERT_EQ(16, st.wMilliseconds);
        if (st.wDay == 1) {
            ASSERT_EQ(prev.wMonth % 12 + 1, st.wMonth) << show(st);
            ASSERT_GE(prev.wDay, 28) << show(prev);
        } else {
            ASSERT_EQ(prev.wMonth, st.wMonth) << show(st);
            ASSERT_EQ(prev.wDay + 1, st.wDay) << show(st);
        }
        if (st.wMonth == 2 && st.wDay == 29) ++leapDays;
        FILETIME back;
        ASSERT_TRUE(SystemTimeToFileTime(&st, &back));
        ASSERT_EQ(v, value(back)) << show(st);
        prev = st;
    }
    // 400 years hold 97 leap days.
    EXPECT_EQ(97, leapDays);
    EXPECT_EQ(2099, prev.wYear);
}

TEST(TimeFileTime, CompareFileTimeOrdersAsUnsigned64) {
    FILETIME a = fileTime(0x00000001FFFFFFFFull), b = fileTime(0x0000000200000000ull);
    EXPECT_EQ(-1, CompareFileTime(&a, &b));
    EXPECT_EQ(1, CompareFileTime(&b, &a));
    EXPECT_EQ(0, CompareFileTime(&a, &a));
    FILETIME low = fileTime(5), high = fileTime(0x8000000000000000ull);
    EXPECT_EQ(-1, CompareFileTime(&low, &high));
}

// ---- OLE variant dates ----------------------------------------------------------------------

struct KnownVariant {
    SYSTEMTIME st;
    double v;
};

// The documented anchor points (2.0 = 1 January 1900, 2.5 its noon, 3.25 6:00 the day after),
// the epoch, the negative dates whose fraction runs forward from midnight, and both ends of
// the range.
const KnownVariant kVariants[] = {
    {makeTime(1899, 12, 30, 0, 0, 0, 0, 6), 0.0},
    {makeTime(1899, 12, 31, 0, 0, 0, 0, 0), 1.0},
    {makeTime(1900, 1, 1, 0, 0, 0, 0, 1), 2.0},
    {makeTime(1900, 1, 1, 12, 0, 0, 0, 1), 2.5},
    {makeTime(1900, 1, 2, 6, 0, 0, 0, 2), 3.25},
    {makeTime(1899, 12, 29, 6, 0, 0, 0, 5), -1.25},
    {makeTime(1899, 12, 29, 18, 0, 0, 0, 5), -1.75},
    {makeTime(1899, 12, 28, 0, 0, 0, 0, 4), -2.0},
    {makeTime(2000, 2, 29, 18, 0, 0, 0, 2), 36585.75},
    {makeTime(2027, 3, 28, 0, 0, 0, 0, 0), 46474.0},
    {makeTime(100, 1, 1, 0, 0, 0, 0, 5), -657434.0},
    {makeTime(9999, 12, 31, 0, 0, 0, 0, 5), 2958465.0},
};

TEST(TimeVariant, KnownDatesConvertBothWays) {
    for (const auto& k : kVariants) {
        SCOPED_TRACE(show(k.st));
        SYSTEMTIME in = k.st;
        in.wDayOfWeek = 3; // ignored
        double v = -12345.678;
        ASSERT_TRUE(SystemTimeToVariantTime(&in, &v));
        EXPECT_DOUBLE_EQ(k.v, v);
        SYSTEMTIME st = poisonedTime();
        ASSERT_TRUE(VariantTimeToSystemTime(k.v, &st));
        EXPECT_EQ(show(k.st), show(st));
    }
}

// -0.5 and 0.5 are the same moment: the integer part names the day, the fraction is always
// the time since its midnight.
TEST(TimeVariant, NegativeZeroDayHasForwardFraction) {
    SYSTEMTIME st = poisonedTime();
    ASSERT_TRUE(VariantTimeToSystemTime(-0.5, &st));
    EXPECT_EQ(show(makeTime(1899, 12, 30, 12, 0, 0, 0, 6)), show(st));
}

// The variant time resolves to one second: milliseconds of the input are ignored.
TEST(TimeVariant, MillisecondsIgnored) {
    SYSTEMTIME st = makeTime(1900, 1, 1, 12, 0, 0, 999);
    double v = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(&st, &v));
    EXPECT_DOUBLE_EQ(2.5, v);
}

// VariantTimeToSystemTime rounds to the nearest second, half a second up, carrying into the
// next minute, hour and day.
TEST(TimeVariant, RoundsToNearestSecond) {
    const double second = 1.0 / 86400;
    const struct {
        double v;
        SYSTEMTIME expect;
    } cases[] = {
        {46474.5 + 0.5 * second, makeTime(2027, 3, 28, 12, 0, 1, 0, 0)},
        {46474.5 + 0.49 * second, makeTime(2027, 3, 28, 12, 0, 0, 0, 0)},
        {46474.5 - 0.5 * second, makeTime(2027, 3, 28, 12, 0, 0, 0, 0)},
        {46474.5 - 0.51 * second, makeTime(2027, 3, 28, 11, 59, 59, 0, 0)},
        {46475.0 - 0.5 * second, makeTime(2027, 3, 29, 0, 0, 0, 0, 1)},
        {0.5 * second, makeTime(1899, 12, 30, 0, 0, 1, 0, 6)},
        // Before the epoch the fraction still counts forward: -1.25 is 06:00, and half a
        // second more of fraction is 06:00:01.
        {-1.25 - 0.5 * second, makeTime(1899, 12, 29, 6, 0, 1, 0, 5)},
        {-1.0 - (86400 - 0.4) * second, makeTime(1899, 12, 30, 0, 0, 0, 0, 6)},
        // Carries over the leap day into March, and into the leap day from 28 February.
        {36586.0 - 0.3 * second, makeTime(2000, 3, 1, 0, 0, 0, 0, 3)},
        {36585.0 - 0.3 * second, makeTime(2000, 2, 29, 0, 0, 0, 0, 2)},
    };
    for (const auto& c : cases) {
        SYSTEMTIME st = poisonedTime();
        ASSERT_TRUE(VariantTimeToSystemTime(c.v, &st)) << c.v;
        EXPECT_EQ(show(c.expect), show(st)) << "variant " << std::setprecision(17) << c.v;
    }
}

TEST(TimeVariant, InvalidInputReturnsFalse) {
    const struct {
        const char* what;
        SYSTEMTIME st;
    } bad[] = {
        {"month 13", makeTime(2027, 13, 1)},
        {"month 0", makeTime(2027, 0, 1)},
        {"31 April", makeTime(2027, 4, 31)},
        {"29 February 2027", makeTime(2027, 2, 29)},
        {"day 0", makeTime(2027, 1, 0)},
        {"hour 24", makeTime(2027, 1, 1, 24)},
        {"minute 60", makeTime(2027, 1, 1, 0, 60)},
        {"second 60", makeTime(2027, 1, 1, 0, 0, 60)},
        {"year 99", makeTime(99, 12, 31)},
        {"year 10000", makeTime(10000, 1, 1)},
    };
    for (const auto& b : bad) {
        double v = -12345.678;
        SYSTEMTIME st = b.st;
        EXPECT_FALSE(SystemTimeToVariantTime(&st, &v)) << b.what;
        EXPECT_EQ(-12345.678, v) << b.what << ": output written on failure";
    }
    const double badValues[] = {
        std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(), 2958466.0, -657435.0, 1e300,
        // 31 December 9999 23:59:59.6 rounds into the year 10000.
        2958466.0 - 0.4 / 86400};
    for (double v : badValues) {
        SYSTEMTIME st = poisonedTime();
        EXPECT_FALSE(VariantTimeToSystemTime(v, &st)) << v;
        EXPECT_EQ(show(poisonedTime()), show(st)) << v << ": output written on failure";
    }
}

// Whole seconds survive SYSTEMTIME -> variant -> SYSTEMTIME at any date of the range, before
// and after the epoch.
TEST(TimeVariant, WholeSecondsRoundTrip) {
    const SYSTEMTIME samples[] = {
        makeTime(100, 1, 1, 0, 0, 1),       makeTime(1066, 10, 14, 9, 30, 0),
        makeTime(1752, 9, 14, 23, 59, 59),  makeTime(1899, 12, 29, 0, 0, 1),
        makeTime(1899, 12, 29, 23, 59, 59), makeTime(1899, 12, 30, 23, 59, 59),
        makeTime(1900, 2, 28, 12, 0, 0),    makeTime(1900, 3, 1, 0, 0, 0),
        makeTime(2024, 2, 29, 17, 45, 33),  makeTime(2027, 10, 31, 2, 30, 0),
        makeTime(9999, 12, 31, 23, 59, 59),
    };
    for (SYSTEMTIME in : samples) {
        double v;
        ASSERT_TRUE(SystemTimeToVariantTime(&in, &v)) << show(in);
        SYSTEMTIME out = poisonedTime();
        ASSERT_TRUE(VariantTimeToSystemTime(v, &out)) << v;
        out.wDayOfWeek = in.wDayOfWeek = 0;
        EXPECT_EQ(show(in), show(out)) << "variant " << std::setprecision(17) << v;
    }
    // And every second of one day, counted from both sides of the epoch.
    for (int day : {-2, 46474}) {
        for (int s = 0; s < 86400; s += 7) {
            double frac = s / 86400.0;
            double v = day >= 0 ? day + frac : day - frac;
            SYSTEMTIME st;
            ASSERT_TRUE(VariantTimeToSystemTime(v, &st));
            ASSERT_EQ(s, st.wHour * 3600 + st.wMinute * 60 + st.wSecond) << v;
            double back;
            ASSERT_TRUE(SystemTimeToVariantTime(&st, &back));
            ASSERT_EQ(v, back) << show(st);
        }
    }
}

} // namespace
