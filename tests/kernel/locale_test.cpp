// locale_test.cpp: conformance tests of the locale functions: GetLocaleInfoW, GetDateFormatW,
// GetTimeFormatW and the default-locale queries, for the four locales a device can carry.
//
// Every case runs on a fresh device whose profile selects the locale under test (the
// functions read the profile at each call). The expected texts are those Windows shows for
// these locales; where Windows leaves room the comment says which reading is tested.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kernel/device.h"
#include "kernel/strings.h"
#include "testdevice.h"
#include "windows.h"

namespace {

constexpr DWORD kPoison = 0xdeadbeef;
constexpr WCHAR kGuard = 0xBEEF;

SYSTEMTIME makeTime(int y, int mo, int d, int h, int mi, int s = 0, int dow = 6) {
    SYSTEMTIME st;
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(mo);
    // Deliberately wrong (5 March 2024 is a Tuesday): the day name must come from the date.
    st.wDayOfWeek = static_cast<WORD>(dow);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi);
    st.wSecond = static_cast<WORD>(s);
    st.wMilliseconds = 0;
    return st;
}

const SYSTEMTIME kMorning = makeTime(2024, 3, 5, 6, 0);
const SYSTEMTIME kEvening = makeTime(2024, 3, 5, 18, 30);

// UTF-8 of a result, so that failures print readable text.
std::string utf8(const WCHAR* s) {
    return ce::toUtf8(std::u16string_view(s));
}

// Calls one of the formatting functions the way a careful caller does: first for the size,
// then into a buffer of exactly that size followed by guard units. Returns the text, or
// "<error N>" when either call fails.
template <typename Call>
std::string formatted(Call call) {
    SetLastError(kPoison);
    const int needed = call(nullptr, 0);
    if (needed <= 0) return "<error " + std::to_string(GetLastError()) + ">";
    std::vector<WCHAR> buf(needed + 4, kGuard);
    SetLastError(kPoison);
    const int written = call(buf.data(), needed);
    if (written != needed) return "<error " + std::to_string(GetLastError()) + ">";
    for (int i = needed; i < needed + 4; ++i)
        if (buf[i] != kGuard) return "<guard overwritten>";
    if (buf[needed - 1] != 0) return "<not terminated>";
    return utf8(buf.data());
}

std::string dateText(LCID lcid, DWORD flags, const SYSTEMTIME* st, const WCHAR* pic = nullptr) {
    return formatted([&](WCHAR* b, int n) { return GetDateFormatW(lcid, flags, st, pic, b, n); });
}

std::string timeText(LCID lcid, DWORD flags, const SYSTEMTIME* st, const WCHAR* pic = nullptr) {
    return formatted([&](WCHAR* b, int n) { return GetTimeFormatW(lcid, flags, st, pic, b, n); });
}

std::string infoText(LCID lcid, LCTYPE type) {
    return formatted([&](WCHAR* b, int n) { return GetLocaleInfoW(lcid, type, b, n); });
}

class LocaleTest : public cetest::DeviceTest {
protected:
    void useLocale(const std::string& tag) {
        std::string error;
        ASSERT_TRUE(
            ce::updateDeviceConf([&](ce::DeviceConf& c) { c.profile.locale = tag; }, &error))
            << error;
    }
};

// ---- The four locales on 5 March 2024 ---------------------------------------------------------

struct LocaleExpectation {
    const char* tag;
    LANGID lang;
    const char* shortDate;
    const char* longDate;
    const char* morningNoSeconds; // 06:00, TIME_NOSECONDS
    const char* eveningNoSeconds; // 18:30, TIME_NOSECONDS
    const char* eveningDefault;   // 18:30, the locale's own time picture
    const char* morningMarker;    // 06:00, picture "h:mm tt"
    const char* eveningMarker;    // 18:30, picture "h:mm tt"
    const char* abbrevDay;        // picture "ddd"
};

// Short and long dates as the Windows CE national-language data writes them; the US long date
// keeps its two-digit day ("March 05"). German has empty morning/afternoon markers, so "tt"
// yields nothing and the blank before it stays.
const LocaleExpectation kLocales[] = {
    {"en-US", 0x0409, "3/5/2024", "Tuesday, March 05, 2024", "6:00 AM", "6:30 PM", "6:30:00 PM",
     "6:00 AM", "6:30 PM", "Tue"},
    {"en-GB", 0x0809, "05/03/2024", "05 March 2024", "06:00", "18:30", "18:30:00", "6:00 AM",
     "6:30 PM", "Tue"},
    {"de-DE", 0x0407, "05.03.2024", "Dienstag, 5. März 2024", "06:00", "18:30", "18:30:00", "6:00 ",
     "6:30 ", "Di"},
    {"ja-JP", 0x0411, "2024/03/05", "2024年3月5日", "6:00", "18:30", "18:30:00", "6:00 午前",
     "6:30 午後", "火"},
};

TEST_F(LocaleTest, FormatsFifthOfMarchInEveryLocale) {
    for (const auto& e : kLocales) {
        SCOPED_TRACE(e.tag);
        useLocale(e.tag);
        EXPECT_EQ(e.shortDate, dateText(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &kMorning));
        EXPECT_EQ(e.longDate, dateText(LOCALE_USER_DEFAULT, DATE_LONGDATE, &kMorning));
        EXPECT_EQ("05", dateText(LOCALE_USER_DEFAULT, 0, &kMorning, u"dd"));
        EXPECT_EQ(e.abbrevDay, dateText(LOCALE_USER_DEFAULT, 0, &kEvening, u"ddd"));
        EXPECT_EQ(e.morningNoSeconds, timeText(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &kMorning));
        EXPECT_EQ(e.eveningNoSeconds, timeText(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &kEvening));
        EXPECT_EQ(e.eveningDefault, timeText(LOCALE_USER_DEFAULT, 0, &kEvening));
        EXPECT_EQ(e.morningMarker, timeText(LOCALE_USER_DEFAULT, 0, &kMorning, u"h:mm tt"));
        EXPECT_EQ(e.eveningMarker, timeText(LOCALE_USER_DEFAULT, 0, &kEvening, u"h:mm tt"));
    }
}

// An explicit LCID formats in that locale whatever the device's own locale is.
TEST_F(LocaleTest, ExplicitLocaleOverridesTheDeviceLocale) {
    useLocale("en-US");
    for (const auto& e : kLocales) {
        SCOPED_TRACE(e.tag);
        const LCID lcid = MAKELCID(e.lang, SORT_DEFAULT);
        EXPECT_EQ(e.shortDate, dateText(lcid, DATE_SHORTDATE, &kEvening));
        EXPECT_EQ(e.eveningNoSeconds, timeText(lcid, TIME_NOSECONDS, &kEvening));
    }
    // A language without a sublanguage stands for its main locale.
    EXPECT_EQ("05.03.2024", dateText(MAKELANGID(LANG_GERMAN, SUBLANG_NEUTRAL), 0, &kMorning));
    // LOCALE_SYSTEM_DEFAULT and LOCALE_NEUTRAL follow the device like LOCALE_USER_DEFAULT.
    useLocale("ja-JP");
    EXPECT_EQ("2024/03/05", dateText(LOCALE_SYSTEM_DEFAULT, 0, &kMorning));
    EXPECT_EQ("2024/03/05", dateText(LOCALE_NEUTRAL, 0, &kMorning));
}

// ---- GetLocaleInfoW ---------------------------------------------------------------------------

TEST_F(LocaleTest, InfoDateAndTimeConventionsPerLocale) {
    struct Row {
        const char* tag;
        const char* idate; // "0" M/D/Y, "1" D/M/Y, "2" Y/M/D
        const char* sdate;
        const char* itime; // "0" 12-hour, "1" 24-hour
        const char* am;
        const char* pm;
        const char* shortDate;
        const char* timeFormat;
        const char* firstDay; // "0" Monday .. "6" Sunday
        const char* ilanguage;
    };
    const Row rows[] = {
        {"en-US", "0", "/", "0", "AM", "PM", "M/d/yyyy", "h:mm:ss tt", "6", "0409"},
        {"en-GB", "1", "/", "1", "AM", "PM", "dd/MM/yyyy", "HH:mm:ss", "0", "0809"},
        {"de-DE", "1", ".", "1", "", "", "dd.MM.yyyy", "HH:mm:ss", "0", "0407"},
        {"ja-JP", "2", "/", "1", "午前", "午後", "yyyy/MM/dd", "H:mm:ss", "6", "0411"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.tag);
        useLocale(r.tag);
        EXPECT_EQ(r.idate, infoText(LOCALE_USER_DEFAULT, LOCALE_IDATE));
        EXPECT_EQ(r.sdate, infoText(LOCALE_USER_DEFAULT, LOCALE_SDATE));
        EXPECT_EQ(r.itime, infoText(LOCALE_USER_DEFAULT, LOCALE_ITIME));
        EXPECT_EQ(r.am, infoText(LOCALE_USER_DEFAULT, LOCALE_S1159));
        EXPECT_EQ(r.pm, infoText(LOCALE_USER_DEFAULT, LOCALE_S2359));
        EXPECT_EQ(r.shortDate, infoText(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE));
        EXPECT_EQ(r.timeFormat, infoText(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT));
        EXPECT_EQ(r.firstDay, infoText(LOCALE_USER_DEFAULT, LOCALE_IFIRSTDAYOFWEEK));
        EXPECT_EQ(r.ilanguage, infoText(LOCALE_USER_DEFAULT, LOCALE_ILANGUAGE));
        // The short date must be cut into its parts at the separator the locale reports.
        const std::string shortDate = dateText(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &kMorning);
        EXPECT_NE(std::string::npos, shortDate.find(r.sdate)) << shortDate;
    }
}

// Windows numbers the day names from Monday (SDAYNAME1) to Sunday (SDAYNAME7).
TEST_F(LocaleTest, InfoDayAndMonthNames) {
    useLocale("de-DE");
    EXPECT_EQ("Montag", infoText(LOCALE_USER_DEFAULT, LOCALE_SDAYNAME1));
    EXPECT_EQ("Sonntag", infoText(LOCALE_USER_DEFAULT, LOCALE_SDAYNAME7));
    EXPECT_EQ("Mo", infoText(LOCALE_USER_DEFAULT, LOCALE_SABBREVDAYNAME1));
    EXPECT_EQ("März", infoText(LOCALE_USER_DEFAULT, LOCALE_SMONTHNAME3));
    EXPECT_EQ("Dezember", infoText(LOCALE_USER_DEFAULT, LOCALE_SMONTHNAME12));
    EXPECT_EQ("Okt", infoText(LOCALE_USER_DEFAULT, LOCALE_SABBREVMONTHNAME10));
    useLocale("en-US");
    EXPECT_EQ("Monday", infoText(LOCALE_USER_DEFAULT, LOCALE_SDAYNAME1));
    EXPECT_EQ("Sun", infoText(LOCALE_USER_DEFAULT, LOCALE_SABBREVDAYNAME7));
    EXPECT_EQ("January", infoText(LOCALE_USER_DEFAULT, LOCALE_SMONTHNAME1));
    useLocale("ja-JP");
    EXPECT_EQ("日曜日", infoText(LOCALE_USER_DEFAULT, LOCALE_SDAYNAME7));
    EXPECT_EQ("3月", infoText(LOCALE_USER_DEFAULT, LOCALE_SMONTHNAME3));
}

// Windows CE: LOCALE_SLANGUAGE is the localized name for the system's locale and the English
// name of the language for any other.
TEST_F(LocaleTest, InfoLanguageNames) {
    useLocale("de-DE");
    EXPECT_EQ("Deutsch (Deutschland)", infoText(LOCALE_USER_DEFAULT, LOCALE_SLANGUAGE));
    EXPECT_EQ("German", infoText(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE));
    EXPECT_EQ("Japanese", infoText(0x0411, LOCALE_SLANGUAGE));
    useLocale("en-GB");
    EXPECT_EQ("English (United Kingdom)", infoText(LOCALE_USER_DEFAULT, LOCALE_SLANGUAGE));
}

// cchData 0 returns the size needed (terminator included) and leaves the buffer alone; a
// buffer one unit short fails with ERROR_INSUFFICIENT_BUFFER and is not written past.
TEST_F(LocaleTest, InfoSizeQueryAndShortBuffer) {
    useLocale("en-US");
    WCHAR buf[16];
    std::fill(std::begin(buf), std::end(buf), kGuard);
    SetLastError(kPoison);
    EXPECT_EQ(9, GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, buf, 0)); // "M/d/yyyy"
    EXPECT_EQ(kPoison, GetLastError());
    EXPECT_EQ(kGuard, buf[0]);

    SetLastError(kPoison);
    EXPECT_EQ(0, GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, buf, 8));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    for (int i = 8; i < 16; ++i)
        EXPECT_EQ(kGuard, buf[i]) << i;

    SetLastError(kPoison);
    EXPECT_EQ(9, GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, buf, 9));
    EXPECT_EQ("M/d/yyyy", utf8(buf));
    EXPECT_EQ(kGuard, buf[9]);
}

TEST_F(LocaleTest, InfoRejectsUnknownTypesLocalesAndBuffers) {
    WCHAR buf[32];
    SetLastError(kPoison);
    EXPECT_EQ(0, GetLocaleInfoW(LOCALE_USER_DEFAULT, 0x7777, buf, 32));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FLAGS), GetLastError());

    SetLastError(kPoison); // French is not carried by the device
    EXPECT_EQ(0,
              GetLocaleInfoW(MAKELCID(MAKELANGID(0x0c, 1), SORT_DEFAULT), LOCALE_IDATE, buf, 32));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());

    SetLastError(kPoison);
    EXPECT_EQ(0, GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDATE, buf, -1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());

    SetLastError(kPoison);
    EXPECT_EQ(0, GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDATE, nullptr, 32));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());

    // LOCALE_NOUSEROVERRIDE may accompany any type; the device has no overrides.
    EXPECT_EQ("0", infoText(LOCALE_USER_DEFAULT, LOCALE_IDATE | LOCALE_NOUSEROVERRIDE));
}

// ---- GetDateFormatW ---------------------------------------------------------------------------

TEST_F(LocaleTest, DatePictures) {
    useLocale("en-US");
    const SYSTEMTIME jan9 = makeTime(2009, 1, 9, 0, 0);
    EXPECT_EQ("9 09 Fri Friday", dateText(LOCALE_USER_DEFAULT, 0, &jan9, u"d dd ddd dddd"));
    EXPECT_EQ("1 01 Jan January", dateText(LOCALE_USER_DEFAULT, 0, &jan9, u"M MM MMM MMMM"));
    EXPECT_EQ("9 09 2009", dateText(LOCALE_USER_DEFAULT, 0, &jan9, u"y yy yyyy"));
    // Five letters behave as four.
    EXPECT_EQ("Friday January 2009", dateText(LOCALE_USER_DEFAULT, 0, &jan9, u"ddddd MMMMM yyyyy"));
    // Quoted text is copied as written, pattern letters included; '' inside it is a quote.
    EXPECT_EQ("Day 5 of March, 2024",
              dateText(LOCALE_USER_DEFAULT, 0, &kMorning, u"'Day' d 'of' MMMM, yyyy"));
    EXPECT_EQ("it's 05", dateText(LOCALE_USER_DEFAULT, 0, &kMorning, u"'it''s' dd"));
    EXPECT_EQ("", dateText(LOCALE_USER_DEFAULT, 0, &kMorning, u""));
    // Leap day, and the day of the week from the date rather than wDayOfWeek.
    const SYSTEMTIME leap = makeTime(2000, 2, 29, 0, 0, 0, 0);
    EXPECT_EQ("Tuesday 29", dateText(LOCALE_USER_DEFAULT, 0, &leap, u"dddd d"));
    useLocale("de-DE");
    EXPECT_EQ("Di, 5. Mrz 24", dateText(LOCALE_USER_DEFAULT, 0, &kMorning, u"ddd, d. MMM yy"));
}

// Windows CE documents dwFlags as zero with a picture of the caller's, and the short, long and
// year-month pictures as exclusive; a date outside the calendar is an invalid parameter.
TEST_F(LocaleTest, DateRejectsBadFlagsAndDates) {
    WCHAR buf[64];
    SetLastError(kPoison);
    EXPECT_EQ(0, GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &kMorning, u"dd", buf, 64));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FLAGS), GetLastError());
    SetLastError(kPoison);
    EXPECT_EQ(0, GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE | DATE_LONGDATE, &kMorning,
                                nullptr, buf, 64));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FLAGS), GetLastError());
    SetLastError(kPoison);
    EXPECT_EQ(0, GetDateFormatW(LOCALE_USER_DEFAULT, 0x10000, &kMorning, nullptr, buf, 64));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FLAGS), GetLastError());

    const SYSTEMTIME bad[] = {makeTime(2023, 2, 29, 0, 0), makeTime(2024, 13, 1, 0, 0),
                              makeTime(2024, 0, 1, 0, 0),  makeTime(2024, 4, 31, 0, 0),
                              makeTime(2024, 3, 0, 0, 0),  makeTime(1600, 12, 31, 0, 0)};
    for (const SYSTEMTIME& st : bad) {
        SCOPED_TRACE(std::to_string(st.wYear) + "-" + std::to_string(st.wMonth) + "-" +
                     std::to_string(st.wDay));
        std::fill(std::begin(buf), std::end(buf), kGuard);
        SetLastError(kPoison);
        EXPECT_EQ(0, GetDateFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, buf, 64));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
        EXPECT_EQ(kGuard, buf[0]);
    }
    // The time of day is not part of a date: an impossible hour does not matter here.
    SYSTEMTIME lateHour = kMorning;
    lateHour.wHour = 99;
    EXPECT_EQ("3/5/2024", dateText(0x0409, 0, &lateHour));
}

TEST_F(LocaleTest, DateSizeQueryAndShortBuffer) {
    useLocale("de-DE");
    WCHAR buf[32];
    std::fill(std::begin(buf), std::end(buf), kGuard);
    const int needed = 23; // "Dienstag, 5. März 2024" + terminator
    SetLastError(kPoison);
    EXPECT_EQ(needed,
              GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &kMorning, nullptr, buf, 0));
    EXPECT_EQ(kGuard, buf[0]);
    SetLastError(kPoison);
    EXPECT_EQ(
        0, GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &kMorning, nullptr, buf, needed - 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    for (int i = needed - 1; i < 32; ++i)
        EXPECT_EQ(kGuard, buf[i]) << i;
}

// Without a date the device's local time is used (here a frozen clock in UTC).
TEST_F(LocaleTest, NullDateAndTimeUseTheDeviceClock) {
    device.freezeAt("2024-03-05T18:30:00Z");
    useLocale("en-US");
    EXPECT_EQ("3/5/2024", dateText(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr));
    EXPECT_EQ("6:30 PM", timeText(LOCALE_USER_DEFAULT, TIME_NOSECONDS, nullptr));
    useLocale("en-GB");
    EXPECT_EQ("Tuesday", dateText(LOCALE_USER_DEFAULT, 0, nullptr, u"dddd"));
    EXPECT_EQ("18:30:00", timeText(LOCALE_USER_DEFAULT, 0, nullptr));
}

// ---- GetTimeFormatW ---------------------------------------------------------------------------

TEST_F(LocaleTest, TimePictures) {
    useLocale("en-US");
    const SYSTEMTIME t = makeTime(2024, 3, 5, 6, 5, 9);
    EXPECT_EQ("6 06 6 06", timeText(LOCALE_USER_DEFAULT, 0, &t, u"h hh H HH"));
    EXPECT_EQ("5 05 9 09", timeText(LOCALE_USER_DEFAULT, 0, &t, u"m mm s ss"));
    EXPECT_EQ("A AM", timeText(LOCALE_USER_DEFAULT, 0, &t, u"t tt"));
    // Noon and midnight on the 12-hour clock.
    const SYSTEMTIME noon = makeTime(2024, 3, 5, 12, 0);
    const SYSTEMTIME midnight = makeTime(2024, 3, 5, 0, 0);
    EXPECT_EQ("12:00 PM", timeText(LOCALE_USER_DEFAULT, 0, &noon, u"h:mm tt"));
    EXPECT_EQ("12:00 AM", timeText(LOCALE_USER_DEFAULT, 0, &midnight, u"h:mm tt"));
    EXPECT_EQ("at 18h30", timeText(LOCALE_USER_DEFAULT, 0, &kEvening, u"'at' H'h'mm"));
    // The date part of the structure is ignored.
    const SYSTEMTIME noDate = makeTime(0, 0, 0, 18, 30);
    EXPECT_EQ("18:30", timeText(LOCALE_USER_DEFAULT, 0, &noDate, u"HH:mm"));
}

// Dropping a field drops the separator in front of it.
TEST_F(LocaleTest, TimeFlagsDropFieldsAndForce24Hours) {
    useLocale("en-US");
    EXPECT_EQ("6 PM", timeText(LOCALE_USER_DEFAULT, TIME_NOMINUTESORSECONDS, &kEvening));
    EXPECT_EQ("6:30:00", timeText(LOCALE_USER_DEFAULT, TIME_NOTIMEMARKER, &kEvening));
    EXPECT_EQ("6:30", timeText(LOCALE_USER_DEFAULT, TIME_NOSECONDS | TIME_NOTIMEMARKER, &kEvening));
    EXPECT_EQ("18:30", timeText(LOCALE_USER_DEFAULT, TIME_FORCE24HOURFORMAT, &kEvening, u"h:mm"));
    EXPECT_EQ("06:00", timeText(LOCALE_USER_DEFAULT, TIME_FORCE24HOURFORMAT, &kMorning, u"hh:mm"));
    // The flags apply to a caller's picture too.
    EXPECT_EQ("18.30", timeText(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &kEvening, u"HH.mm.ss"));
    // A marker in front loses the text after it.
    EXPECT_EQ("6:30", timeText(LOCALE_USER_DEFAULT, TIME_NOTIMEMARKER, &kEvening, u"tt h:mm"));
    useLocale("ja-JP");
    EXPECT_EQ("18", timeText(LOCALE_USER_DEFAULT, TIME_NOMINUTESORSECONDS, &kEvening));
}

// Windows CE checks every time field and fails with ERROR_INVALID_PARAMETER when one is out
// of range.
TEST_F(LocaleTest, TimeRejectsBadTimesAndFlags) {
    WCHAR buf[32];
    SYSTEMTIME bad[4] = {kEvening, kEvening, kEvening, kEvening};
    bad[0].wHour = 24;
    bad[1].wMinute = 60;
    bad[2].wSecond = 60;
    bad[3].wMilliseconds = 1000;
    for (const SYSTEMTIME& st : bad) {
        SetLastError(kPoison);
        EXPECT_EQ(0, GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, buf, 32));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    }
    SetLastError(kPoison);
    EXPECT_EQ(0, GetTimeFormatW(LOCALE_USER_DEFAULT, 0x100, &kEvening, nullptr, buf, 32));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FLAGS), GetLastError());
    SetLastError(kPoison);
    EXPECT_EQ(0, GetTimeFormatW(0x040c, 0, &kEvening, nullptr, buf, 32));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST_F(LocaleTest, TimeSizeQueryAndShortBuffer) {
    useLocale("en-US");
    WCHAR buf[16];
    std::fill(std::begin(buf), std::end(buf), kGuard);
    SetLastError(kPoison);
    EXPECT_EQ(8, GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &kEvening, nullptr, buf, 0));
    EXPECT_EQ(kGuard, buf[0]);
    SetLastError(kPoison);
    EXPECT_EQ(0, GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &kEvening, nullptr, buf, 7));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    for (int i = 7; i < 16; ++i)
        EXPECT_EQ(kGuard, buf[i]) << i;
    EXPECT_EQ(8, GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &kEvening, nullptr, buf, 8));
    EXPECT_EQ("6:30 PM", utf8(buf));
}

// ---- Defaults -----------------------------------------------------------------------------------

TEST_F(LocaleTest, DefaultsFollowTheProfile) {
    for (const auto& e : kLocales) {
        SCOPED_TRACE(e.tag);
        useLocale(e.tag);
        EXPECT_EQ(static_cast<LCID>(e.lang), GetUserDefaultLCID());
        EXPECT_EQ(static_cast<LCID>(e.lang), GetSystemDefaultLCID());
        EXPECT_EQ(e.lang, GetUserDefaultLangID());
        EXPECT_EQ(e.lang, GetSystemDefaultLangID());
        EXPECT_EQ(e.lang, GetUserDefaultUILanguage());
        EXPECT_EQ(static_cast<LCID>(e.lang), ConvertDefaultLocale(LOCALE_USER_DEFAULT));
        EXPECT_TRUE(IsValidLocale(e.lang, LCID_INSTALLED));
    }
    EXPECT_FALSE(IsValidLocale(0x040c, LCID_INSTALLED));
    // An unknown name in the profile falls back to English (United States).
    useLocale("xx-YY");
    EXPECT_EQ(0x0409u, GetUserDefaultLCID());
}

TEST(LocaleMacros, BuildAndSplitIdentifiers) {
    EXPECT_EQ(0x0809, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK));
    EXPECT_EQ(0x0411, MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN));
    EXPECT_EQ(LANG_GERMAN, PRIMARYLANGID(0x0407));
    EXPECT_EQ(SUBLANG_ENGLISH_UK, SUBLANGID(0x0809));
    EXPECT_EQ(0x00010407u, MAKELCID(0x0407, 1));
    EXPECT_EQ(0x0407, LANGIDFROMLCID(0x00010407));
    EXPECT_EQ(1, SORTIDFROMLCID(0x00010407));
    EXPECT_EQ(0x0400u, LOCALE_USER_DEFAULT);
    EXPECT_EQ(0x0800u, LOCALE_SYSTEM_DEFAULT);
}

} // namespace
