// timezone_test.cpp: the device's time zones: the rules of the named zones against switch
// instants taken from the tz database, local times around the switches (the spring gap and
// the repeated autumn hour), the rule text of custom zones, and the API the product sees:
// GetLocalTime, GetTimeZoneInformation, SetTimeZoneInformation, SetLocalTime and the local
// file time conversions on a device whose clock the test holds still.
#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/timezone.h"
#include "testdevice.h"
#include "winbase.h"

namespace {

using cetest::isoToFileTime;

constexpr int64_t kSecond = 10'000'000;
constexpr int64_t kMinute = 60 * kSecond;
constexpr int64_t kHour = 60 * kMinute;

TIME_ZONE_INFORMATION zone(const char* name) {
    TIME_ZONE_INFORMATION tzi;
    memset(&tzi, 0xbe, sizeof tzi);
    EXPECT_TRUE(ce::namedZoneInfo(name, &tzi)) << name;
    return tzi;
}

// FILETIME units as "YYYY-MM-DDTHH:MM:SS" (no zone) for readable failures.
std::string iso(int64_t ft) {
    FILETIME f = ce::intToFileTime(ft);
    SYSTEMTIME st;
    if (!FileTimeToSystemTime(&f, &st)) return "invalid";
    char buf[40];
    snprintf(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:%02u", st.wYear, st.wMonth, st.wDay,
             st.wHour, st.wMinute, st.wSecond);
    return buf;
}

std::string iso(const SYSTEMTIME& st) {
    char buf[48];
    snprintf(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:%02u.%03u", st.wYear, st.wMonth, st.wDay,
             st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
    return buf;
}

std::u16string_view name(const WCHAR (&n)[32]) {
    size_t len = 0;
    while (len < 32 && n[len])
        ++len;
    return {n, len};
}

// ---- The named zones' rules ------------------------------------------------------------------

// The names, biases and switch rules Windows gives these zones.
TEST(ZoneRules, NamedZonesCarryWindowsNamesAndRules) {
    const struct {
        const char* zone;
        LONG bias, daylightBias;
        const char16_t *standardName, *daylightName;
        WORD dstMonth, dstWeek, dstHour, stdMonth, stdWeek, stdHour;
    } expect[] = {
        {"UTC", 0, 0, u"Coordinated Universal Time", u"Coordinated Universal Time", 0, 0, 0, 0, 0,
         0},
        {"Europe/Berlin", -60, -60, u"W. Europe Standard Time", u"W. Europe Daylight Time", 3, 5, 2,
         10, 5, 3},
        {"Europe/London", 0, -60, u"GMT Standard Time", u"GMT Daylight Time", 3, 5, 1, 10, 5, 2},
        {"America/New_York", 300, -60, u"Eastern Standard Time", u"Eastern Daylight Time", 3, 2, 2,
         11, 1, 2},
        {"Asia/Tokyo", -540, 0, u"Tokyo Standard Time", u"Tokyo Daylight Time", 0, 0, 0, 0, 0, 0},
        {"Australia/Sydney", -600, -60, u"AUS Eastern Standard Time", u"AUS Eastern Daylight Time",
         10, 1, 2, 4, 1, 3},
    };
    for (const auto& e : expect) {
        SCOPED_TRACE(e.zone);
        TIME_ZONE_INFORMATION tzi = zone(e.zone);
        EXPECT_EQ(e.bias, tzi.Bias);
        EXPECT_EQ(0, tzi.StandardBias);
        EXPECT_EQ(e.daylightBias, tzi.DaylightBias);
        EXPECT_EQ(std::u16string_view(e.standardName), name(tzi.StandardName));
        EXPECT_EQ(std::u16string_view(e.daylightName), name(tzi.DaylightName));
        EXPECT_EQ(0, tzi.DaylightDate.wYear); // yearly rule
        EXPECT_EQ(e.dstMonth, tzi.DaylightDate.wMonth);
        EXPECT_EQ(e.dstWeek, tzi.DaylightDate.wDay);
        EXPECT_EQ(e.dstHour, tzi.DaylightDate.wHour);
        EXPECT_EQ(e.stdMonth, tzi.StandardDate.wMonth);
        EXPECT_EQ(e.stdWeek, tzi.StandardDate.wDay);
        EXPECT_EQ(e.stdHour, tzi.StandardDate.wHour);
        EXPECT_EQ(0, tzi.DaylightDate.wDayOfWeek); // Sunday
        EXPECT_EQ(0, tzi.StandardDate.wDayOfWeek);
    }
    std::vector<std::string> names = ce::zoneNames();
    EXPECT_EQ(6u, names.size());
    TIME_ZONE_INFORMATION tzi;
    EXPECT_TRUE(ce::namedZoneInfo("europe/BERLIN", &tzi)) << "names are matched without case";
    EXPECT_FALSE(ce::namedZoneInfo("Europe/Paris", &tzi));
    EXPECT_FALSE(ce::namedZoneInfo("custom", &tzi));
}

// Daylight time starts and ends exactly at the instants the tz database gives, in years where
// the last Sunday is the fourth and the fifth of its month, and where the n-th Sunday rule of
// New York and Sydney falls early and late.
TEST(ZoneRules, SwitchInstantsMatchTzDatabase) {
    const struct {
        const char* zone;
        const char* start; // daylight time begins (UTC)
        const char* end;   // daylight time ends (UTC)
    } switches[] = {
        {"Europe/Berlin", "2024-03-31T01:00:00Z", "2024-10-27T01:00:00Z"},
        {"Europe/Berlin", "2026-03-29T01:00:00Z", "2026-10-25T01:00:00Z"},
        {"Europe/Berlin", "2027-03-28T01:00:00Z", "2027-10-31T01:00:00Z"},
        {"Europe/Berlin", "2028-03-26T01:00:00Z", "2028-10-29T01:00:00Z"},
        {"Europe/Berlin", "2038-03-28T01:00:00Z", "2038-10-31T01:00:00Z"},
        {"Europe/London", "2027-03-28T01:00:00Z", "2027-10-31T01:00:00Z"},
        {"Europe/London", "2031-03-30T01:00:00Z", "2031-10-26T01:00:00Z"},
        {"America/New_York", "2024-03-10T07:00:00Z", "2024-11-03T06:00:00Z"},
        {"America/New_York", "2027-03-14T07:00:00Z", "2027-11-07T06:00:00Z"},
        {"America/New_York", "2031-03-09T07:00:00Z", "2031-11-02T06:00:00Z"},
        {"America/New_York", "2038-03-14T07:00:00Z", "2038-11-07T06:00:00Z"},
        {"Australia/Sydney", "2027-10-02T16:00:00Z", "2027-04-03T16:00:00Z"},
        {"Australia/Sydney", "2028-09-30T16:00:00Z", "2028-04-01T16:00:00Z"},
        {"Australia/Sydney", "2031-10-04T16:00:00Z", "2031-04-05T16:00:00Z"},
    };
    for (const auto& s : switches) {
        SCOPED_TRACE(std::string(s.zone) + " " + s.start + " / " + s.end);
        TIME_ZONE_INFORMATION tzi = zone(s.zone);
        int64_t start = isoToFileTime(s.start), end = isoToFileTime(s.end);
        EXPECT_FALSE(ce::isDaylightAtUtc(tzi, start - 1));
        EXPECT_TRUE(ce::isDaylightAtUtc(tzi, start));
        EXPECT_TRUE(ce::isDaylightAtUtc(tzi, end - 1));
        EXPECT_FALSE(ce::isDaylightAtUtc(tzi, end));
        // A week either side, the state is the same as just beside the switch.
        EXPECT_FALSE(ce::isDaylightAtUtc(tzi, start - 7 * 24 * kHour));
        EXPECT_TRUE(ce::isDaylightAtUtc(tzi, start + 7 * 24 * kHour));
        EXPECT_TRUE(ce::isDaylightAtUtc(tzi, end - 7 * 24 * kHour));
        EXPECT_FALSE(ce::isDaylightAtUtc(tzi, end + 7 * 24 * kHour));
    }
}

TEST(ZoneRules, ZonesWithoutDaylightTimeNeverSwitch) {
    for (const char* name : {"UTC", "Asia/Tokyo"}) {
        TIME_ZONE_INFORMATION tzi = zone(name);
        for (const char* t : {"2027-01-15T12:00:00Z", "2027-03-28T01:00:00Z",
                              "2027-07-01T00:00:00Z", "2027-10-31T00:30:00Z"}) {
            EXPECT_FALSE(ce::isDaylightAtUtc(tzi, isoToFileTime(t))) << name << " " << t;
            EXPECT_EQ(isoToFileTime(t) - tzi.Bias * kMinute, ce::utcToLocal(tzi, isoToFileTime(t)))
                << name << " " << t;
        }
    }
    EXPECT_EQ("2027-07-01T09:00:00",
              iso(ce::utcToLocal(zone("Asia/Tokyo"), isoToFileTime("2027-07-01T00:00:00Z"))));
}

// Local clock readings either side of each switch.
TEST(ZoneRules, UtcToLocalAroundSwitches) {
    const struct {
        const char* zone;
        const char* utc;
        const char* local;
    } cases[] = {
        {"Europe/Berlin", "2027-03-28T00:59:59Z", "2027-03-28T01:59:59"},
        {"Europe/Berlin", "2027-03-28T01:00:00Z", "2027-03-28T03:00:00"},
        {"Europe/Berlin", "2027-10-31T00:59:59Z", "2027-10-31T02:59:59"},
        {"Europe/Berlin", "2027-10-31T01:00:00Z", "2027-10-31T02:00:00"},
        {"Europe/London", "2027-03-28T00:59:59Z", "2027-03-28T00:59:59"},
        {"Europe/London", "2027-03-28T01:00:00Z", "2027-03-28T02:00:00"},
        {"America/New_York", "2027-03-14T06:59:59Z", "2027-03-14T01:59:59"},
        {"America/New_York", "2027-03-14T07:00:00Z", "2027-03-14T03:00:00"},
        {"America/New_York", "2027-11-07T05:59:59Z", "2027-11-07T01:59:59"},
        {"America/New_York", "2027-11-07T06:00:00Z", "2027-11-07T01:00:00"},
        // Sydney is in daylight time over the new year (UTC+11), standard in July (UTC+10).
        {"Australia/Sydney", "2027-12-31T12:59:59Z", "2027-12-31T23:59:59"},
        {"Australia/Sydney", "2027-12-31T13:00:00Z", "2028-01-01T00:00:00"},
        {"Australia/Sydney", "2028-01-01T00:00:00Z", "2028-01-01T11:00:00"},
        {"Australia/Sydney", "2027-07-01T00:00:00Z", "2027-07-01T10:00:00"},
        {"Australia/Sydney", "2027-04-03T15:59:59Z", "2027-04-04T02:59:59"},
        {"Australia/Sydney", "2027-04-03T16:00:00Z", "2027-04-04T02:00:00"},
        {"Australia/Sydney", "2027-10-02T15:59:59Z", "2027-10-03T01:59:59"},
        {"Australia/Sydney", "2027-10-02T16:00:00Z", "2027-10-03T03:00:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.local, iso(ce::utcToLocal(zone(c.zone), isoToFileTime(c.utc))))
            << c.zone << " at " << c.utc;
}

// A local time in the spring gap is read as standard time; one in the repeated autumn hour as
// its first (daylight) occurrence.
TEST(ZoneRules, LocalToUtcInGapAndRepeatedHour) {
    const struct {
        const char* zone;
        const char* local;
        const char* utc;
    } cases[] = {
        {"Europe/Berlin", "2027-03-28T01:59:59Z", "2027-03-28T00:59:59"},
        {"Europe/Berlin", "2027-03-28T02:00:00Z", "2027-03-28T01:00:00"}, // gap
        {"Europe/Berlin", "2027-03-28T02:30:00Z", "2027-03-28T01:30:00"}, // gap
        {"Europe/Berlin", "2027-03-28T03:00:00Z", "2027-03-28T01:00:00"},
        {"Europe/Berlin", "2027-10-31T01:59:59Z", "2027-10-30T23:59:59"},
        {"Europe/Berlin", "2027-10-31T02:00:00Z", "2027-10-31T00:00:00"}, // repeated
        {"Europe/Berlin", "2027-10-31T02:30:00Z", "2027-10-31T00:30:00"}, // repeated
        {"Europe/Berlin", "2027-10-31T03:00:00Z", "2027-10-31T02:00:00"},
        {"America/New_York", "2027-03-14T02:30:00Z", "2027-03-14T07:30:00"}, // gap
        {"America/New_York", "2027-11-07T01:30:00Z", "2027-11-07T05:30:00"}, // repeated
        {"America/New_York", "2027-11-07T02:00:00Z", "2027-11-07T07:00:00"},
        {"Australia/Sydney", "2027-10-03T02:30:00Z", "2027-10-02T16:30:00"}, // gap
        {"Australia/Sydney", "2027-04-04T02:30:00Z", "2027-04-03T15:30:00"}, // repeated
        {"Australia/Sydney", "2028-01-01T00:30:00Z", "2027-12-31T13:30:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.utc, iso(ce::localToUtc(zone(c.zone), isoToFileTime(c.local))))
            << c.zone << " local " << c.local;
}

// Local readings convert back to the instant they came from, quarter hour by quarter hour
// over two years, except in the repeated autumn hour: its second occurrence converts back to
// the first, one hour earlier. Local readings an hour before each reading find the spring gaps.
TEST(ZoneRules, LocalTimesRoundTripExceptRepeatedHour) {
    for (const char* name : {"Europe/Berlin", "America/New_York", "Australia/Sydney"}) {
        TIME_ZONE_INFORMATION tzi = zone(name);
        int repeats = 0, gaps = 0;
        int64_t t0 = isoToFileTime("2027-01-01T00:00:00Z");
        for (int64_t utc = t0; utc < t0 + 2 * 366 * 24 * kHour; utc += 15 * kMinute) {
            int64_t local = ce::utcToLocal(tzi, utc);
            int64_t back = ce::localToUtc(tzi, local);
            if (back != utc) {
                ASSERT_EQ(iso(utc - kHour), iso(back)) << name << " local " << iso(local);
                ASSERT_FALSE(ce::isDaylightAtUtc(tzi, utc));
                ++repeats;
            }
            int64_t earlier = local - kHour;
            if (ce::utcToLocal(tzi, ce::localToUtc(tzi, earlier)) != earlier) ++gaps;
        }
        EXPECT_EQ(8, repeats) << name << ": two autumn hours of four quarter hours";
        EXPECT_EQ(8, gaps) << name << ": two spring gaps of four quarter hours";
    }
}

// ---- Custom zone rule text ---------------------------------------------------------------------

TIME_ZONE_INFORMATION customZone() {
    TIME_ZONE_INFORMATION tzi{};
    tzi.Bias = -330;
    const char16_t std[] = u"Zone; 100% \"odd\": =#\\ \u00fc\u4e2d";
    memcpy(tzi.StandardName, std, sizeof std);
    const char16_t dlt[] = u"0123456789012345678901234567890"; // 31 units, the most kept
    memcpy(tzi.DaylightName, dlt, sizeof dlt);
    tzi.StandardBias = 15;
    tzi.DaylightBias = -45;
    tzi.DaylightDate = SYSTEMTIME{0, 9, 6, 5, 23, 59, 59, 999};
    tzi.StandardDate = SYSTEMTIME{2027, 4, 0, 17, 3, 0, 0, 0}; // absolute date
    return tzi;
}

bool sameZone(const TIME_ZONE_INFORMATION& a, const TIME_ZONE_INFORMATION& b) {
    return memcmp(&a, &b, sizeof a) == 0;
}

TEST(ZoneRuleText, RoundTripsEveryZone) {
    std::vector<TIME_ZONE_INFORMATION> zones{customZone()};
    for (const auto& n : ce::zoneNames())
        zones.push_back(zone(n.c_str()));
    for (const auto& tzi : zones) {
        std::string text = ce::formatZoneRule(tzi);
        SCOPED_TRACE(text);
        EXPECT_EQ(std::string::npos, text.find_first_of("=#\n\r")) << "not a device.conf value";
        TIME_ZONE_INFORMATION back;
        memset(&back, 0xbe, sizeof back);
        ASSERT_TRUE(ce::parseZoneRule(text, &back));
        EXPECT_TRUE(sameZone(tzi, back));
    }
}

// Anything that is not a well-formed, usable rule is refused without touching the output.
TEST(ZoneRuleText, RefusesGarbage) {
    std::string good = ce::formatZoneRule(zone("Europe/Berlin"));
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string s = good;
        size_t at = s.find(from);
        EXPECT_NE(std::string::npos, at) << from;
        if (at != std::string::npos) s.replace(at, from.size(), to);
        return s;
    };
    const std::string bad[] = {
        "",
        ";",
        "bias",
        "bias:",
        good + ";",
        good + ";bias:0",                                                // duplicate key
        good + ";extra:1",                                               // unknown key
        replaced("bias:-60", "bias:x"),                                  // not a number
        replaced("bias:-60", "bias:-60.5"),                              // not an integer
        replaced("bias:-60", "bias:99999999999999999999"),               // overflows
        replaced("bias:-60", "bias:2000"),                               // more than a day
        replaced(";dltbias:-60", ""),                                    // missing key
        replaced("dltdate:0,3,0,5,2,0,0,0", "dltdate:0,13,0,5,2,0,0,0"), // month 13
        replaced("dltdate:0,3,0,5,2,0,0,0", "dltdate:0,3,0,6,2,0,0,0"),  // week 6
        replaced("dltdate:0,3,0,5,2,0,0,0", "dltdate:0,3,7,5,2,0,0,0"),  // weekday 7
        replaced("dltdate:0,3,0,5,2,0,0,0", "dltdate:0,3,0,5,24,0,0,0"), // hour 24
        replaced("dltdate:0,3,0,5,2,0,0,0", "dltdate:0,3,0,5,2,0,0"),    // too few fields
        replaced("dltdate:0,3,0,5,2,0,0,0", "dltdate:0,3,0,5,2,0,0,0,0"),
        replaced("dltdate:0,3,0,5,2,0,0,0", "dltdate:0,3,0,5,2,0,0,70000"),
        replaced("dltdate:0,3,0,5,2,0,0,0", "dltdate:2027,2,0,29,2,0,0,0"), // no such date
        replaced("dltdate:0,3,0,5,2,0,0,0", "dltdate:0,0,0,0,0,0,0,0"),     // one switch only
        replaced("W. Europe Standard Time", "W. Europe%zzzz"),              // bad escape
        replaced("W. Europe Standard Time", "W. Europe%12"),                // short escape
        replaced("W. Europe Standard Time", "nul %0000 inside"),
        replaced("W. Europe Standard Time", std::string(32, 'x')), // too long
        replaced("W. Europe Standard Time", "tab\there"),
        replaced("W. Europe Standard Time", "utf8 \xc3\xbc"),
    };
    for (const auto& text : bad) {
        TIME_ZONE_INFORMATION out;
        memset(&out, 0xbe, sizeof out);
        TIME_ZONE_INFORMATION before = out;
        EXPECT_FALSE(ce::parseZoneRule(text, &out)) << text;
        EXPECT_TRUE(sameZone(before, out)) << text << ": output written on failure";
    }
    TIME_ZONE_INFORMATION out;
    EXPECT_TRUE(ce::parseZoneRule(good, &out)) << "the unchanged rule parses";
    EXPECT_FALSE(ce::parseZoneRule(good, nullptr));
}

// Random damage to a rule never crashes the parser, and whatever it accepts is a zone it can
// write and read again unchanged.
TEST(ZoneRuleText, SurvivesRandomDamage) {
    std::mt19937 rng(20270328);
    const std::string seeds[] = {ce::formatZoneRule(zone("Australia/Sydney")),
                                 ce::formatZoneRule(customZone())};
    const char alphabet[] = "0123456789-,;:%abcdefABCDEF \x01\xff";
    int accepted = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string s = seeds[i % 2];
        int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits && !s.empty(); ++e) {
            size_t at = rng() % s.size();
            switch (rng() % 3) {
            case 0: s[at] = alphabet[rng() % (sizeof alphabet - 1)]; break;
            case 1: s.erase(at, 1 + rng() % 3); break;
            case 2: s.insert(at, 1, alphabet[rng() % (sizeof alphabet - 1)]); break;
            }
        }
        TIME_ZONE_INFORMATION tzi;
        if (!ce::parseZoneRule(s, &tzi)) continue;
        ++accepted;
        TIME_ZONE_INFORMATION again;
        ASSERT_TRUE(ce::parseZoneRule(ce::formatZoneRule(tzi), &again)) << s;
        ASSERT_TRUE(sameZone(tzi, again)) << s;
        // And the conversions work on it without faulting.
        int64_t t = isoToFileTime("2027-06-01T00:00:00Z");
        (void)ce::localToUtc(tzi, ce::utcToLocal(tzi, t));
    }
    EXPECT_GT(accepted, 0) << "some damage (a changed digit) leaves a valid rule";
}

// ---- The API on a device ---------------------------------------------------------------------

class ZoneApi : public cetest::DeviceTest {
protected:
    void at(const char* zoneName, const char* isoUtc) {
        std::string error;
        ASSERT_TRUE(ce::setDeviceZone(zoneName, &error)) << error;
        device.freezeAt(isoUtc);
    }
    void advanceSeconds(int s) {
        std::string error;
        ASSERT_TRUE(ce::advanceDeviceClock(s * kSecond, &error)) << error;
    }
    static SYSTEMTIME localNow() {
        SYSTEMTIME st;
        memset(&st, 0xbe, sizeof st);
        GetLocalTime(&st);
        return st;
    }
    static SYSTEMTIME utcNow() {
        SYSTEMTIME st;
        memset(&st, 0xbe, sizeof st);
        GetSystemTime(&st);
        return st;
    }
    static DWORD zoneState() {
        TIME_ZONE_INFORMATION tzi;
        memset(&tzi, 0xbe, sizeof tzi);
        return GetTimeZoneInformation(&tzi);
    }
};

// The Berlin switches of 2027 seen by the product: the local clock jumps from 01:59:59 to
// 03:00:00 and falls back from 02:59:59 to 02:00:00, and GetTimeZoneInformation's answer
// changes with it.
TEST_F(ZoneApi, BerlinSwitches2027) {
    at("Europe/Berlin", "2027-03-28T00:59:59Z");
    EXPECT_EQ("2027-03-28T01:59:59.000", iso(localNow()));
    EXPECT_EQ(0, localNow().wDayOfWeek); // Sunday
    EXPECT_EQ(static_cast<DWORD>(TIME_ZONE_ID_STANDARD), zoneState());
    advanceSeconds(1);
    EXPECT_EQ("2027-03-28T03:00:00.000", iso(localNow()));
    EXPECT_EQ("2027-03-28T01:00:00.000", iso(utcNow()));
    EXPECT_EQ(static_cast<DWORD>(TIME_ZONE_ID_DAYLIGHT), zoneState());

    device.freezeAt("2027-10-31T00:59:59Z");
    EXPECT_EQ("2027-10-31T02:59:59.000", iso(localNow()));
    EXPECT_EQ(static_cast<DWORD>(TIME_ZONE_ID_DAYLIGHT), zoneState());
    advanceSeconds(1);
    EXPECT_EQ("2027-10-31T02:00:00.000", iso(localNow()));
    EXPECT_EQ(static_cast<DWORD>(TIME_ZONE_ID_STANDARD), zoneState());
}

TEST_F(ZoneApi, NewYorkSwitches2027) {
    at("America/New_York", "2027-03-14T06:59:59Z");
    EXPECT_EQ("2027-03-14T01:59:59.000", iso(localNow()));
    EXPECT_EQ(static_cast<DWORD>(TIME_ZONE_ID_STANDARD), zoneState());
    advanceSeconds(1);
    EXPECT_EQ("2027-03-14T03:00:00.000", iso(localNow()));
    EXPECT_EQ(static_cast<DWORD>(TIME_ZONE_ID_DAYLIGHT), zoneState());

    device.freezeAt("2027-11-07T05:59:59Z");
    EXPECT_EQ("2027-11-07T01:59:59.000", iso(localNow()));
    EXPECT_EQ(static_cast<DWORD>(TIME_ZONE_ID_DAYLIGHT), zoneState());
    advanceSeconds(1);
    EXPECT_EQ("2027-11-07T01:00:00.000", iso(localNow()));
    EXPECT_EQ(static_cast<DWORD>(TIME_ZONE_ID_STANDARD), zoneState());
}

// Sydney's daylight time spans the new year: the local date turns while daylight time is in
// force, and the day of the week follows the local date (1 January 2028 is a Saturday).
TEST_F(ZoneApi, SydneyAcrossNewYear) {
    at("Australia/Sydney", "2027-12-31T12:59:59Z");
    EXPECT_EQ("2027-12-31T23:59:59.000", iso(localNow()));
    EXPECT_EQ(5, localNow().wDayOfWeek);
    EXPECT_EQ(static_cast<DWORD>(TIME_ZONE_ID_DAYLIGHT), zoneState());
    advanceSeconds(1);
    SYSTEMTIME st = localNow();
    EXPECT_EQ("2028-01-01T00:00:00.000", iso(st));
    EXPECT_EQ(6, st.wDayOfWeek);
    EXPECT_EQ("2027-12-31T13:00:00.000", iso(utcNow()));
    EXPECT_EQ(static_cast<DWORD>(TIME_ZONE_ID_DAYLIGHT), zoneState());
}

// A zone without daylight time answers TIME_ZONE_ID_UNKNOWN, as documented.
TEST_F(ZoneApi, ZoneWithoutDaylightIsUnknown) {
    at("Asia/Tokyo", "2027-07-01T00:00:00Z");
    TIME_ZONE_INFORMATION tzi;
    memset(&tzi, 0xbe, sizeof tzi);
    EXPECT_EQ(static_cast<DWORD>(TIME_ZONE_ID_UNKNOWN), GetTimeZoneInformation(&tzi));
    EXPECT_EQ(-540, tzi.Bias);
    EXPECT_EQ(std::u16string_view(u"Tokyo Standard Time"), name(tzi.StandardName));
    EXPECT_EQ("2027-07-01T09:00:00.000", iso(localNow()));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(TIME_ZONE_ID_INVALID, GetTimeZoneInformation(nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

// SetLocalTime into the spring gap lands on standard time (02:30 becomes 03:30 daylight time);
// into the repeated hour, on its first occurrence (still daylight time).
TEST_F(ZoneApi, SetLocalTimeInGapAndRepeatedHour) {
    at("Europe/Berlin", "2027-01-01T00:00:00Z");
    SYSTEMTIME gap{2027, 3, 0, 28, 2, 30, 0, 0};
    ASSERT_TRUE(SetLocalTime(&gap));
    EXPECT_EQ("2027-03-28T01:30:00.000", iso(utcNow()));
    EXPECT_EQ("2027-03-28T03:30:00.000", iso(localNow()));

    SYSTEMTIME repeated{2027, 10, 0, 31, 2, 30, 0, 0};
    ASSERT_TRUE(SetLocalTime(&repeated));
    EXPECT_EQ("2027-10-31T00:30:00.000", iso(utcNow()));
    EXPECT_EQ("2027-10-31T02:30:00.000", iso(localNow()));
    EXPECT_EQ(static_cast<DWORD>(TIME_ZONE_ID_DAYLIGHT), zoneState());

    // From winter, a summer local time is set as that summer time, not with today's bias.
    device.freezeAt("2027-01-01T00:00:00Z");
    SYSTEMTIME summer{2027, 7, 0, 1, 12, 0, 0, 0};
    ASSERT_TRUE(SetLocalTime(&summer));
    EXPECT_EQ("2027-07-01T10:00:00.000", iso(utcNow()));
    EXPECT_EQ("2027-07-01T12:00:00.000", iso(localNow()));

    SYSTEMTIME bad{2027, 2, 0, 29, 12, 0, 0, 0};
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetLocalTime(&bad));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ("2027-07-01T10:00:00.000", iso(utcNow())) << "a refused time must not step";
}

// FileTimeToLocalFileTime and LocalFileTimeToFileTime apply the bias in force now, daylight
// time included, even to a date in the other season: documented behaviour.
TEST_F(ZoneApi, LocalFileTimeUsesCurrentBias) {
    const int64_t winter = isoToFileTime("2027-01-15T12:00:00Z");
    const int64_t summer = isoToFileTime("2027-07-15T12:00:00Z");
    at("Europe/Berlin", "2027-07-01T00:00:00Z"); // daylight time now: UTC+2
    for (int64_t t : {winter, summer}) {
        FILETIME in = ce::intToFileTime(t), out{0xdeadbeef, 0xdeadbeef};
        ASSERT_TRUE(FileTimeToLocalFileTime(&in, &out));
        EXPECT_EQ(iso(t + 2 * kHour), iso(ce::fileTimeToInt(out)));
        FILETIME back{0xdeadbeef, 0xdeadbeef};
        ASSERT_TRUE(LocalFileTimeToFileTime(&out, &back));
        EXPECT_EQ(t, ce::fileTimeToInt(back));
    }
    device.freezeAt("2027-12-01T00:00:00Z"); // standard time now: UTC+1
    FILETIME in = ce::intToFileTime(summer), out;
    ASSERT_TRUE(FileTimeToLocalFileTime(&in, &out));
    EXPECT_EQ(iso(summer + kHour), iso(ce::fileTimeToInt(out)));

    // Results that leave the FILETIME range fail instead of wrapping.
    FILETIME zero{0, 0};
    out = FILETIME{0xdeadbeef, 0xdeadbeef};
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(LocalFileTimeToFileTime(&zero, &out)); // UTC would be before 1601
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(0xdeadbeefu, out.dwLowDateTime);
    FILETIME top{0xFFFFFFFF, 0x8FFFFFFF};
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(FileTimeToLocalFileTime(&top, &out));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

// A zone set by the product is kept exactly, answered by GetTimeZoneInformation, followed by
// GetLocalTime, and counted as a zone change; handing back a named zone's rules keeps its name.
TEST_F(ZoneApi, SetTimeZoneInformationCustomAndNamed) {
    at("UTC", "2027-05-01T00:00:00Z");
    uint32_t changes = ce::deviceConf()->zoneChanges;
    TIME_ZONE_INFORMATION custom = customZone();
    ASSERT_TRUE(SetTimeZoneInformation(&custom));
    EXPECT_EQ("custom", ce::deviceConf()->timeZone);
    EXPECT_EQ(changes + 1, ce::deviceConf()->zoneChanges);
    TIME_ZONE_INFORMATION got;
    memset(&got, 0xbe, sizeof got);
    // In May: after the absolute standard date of 17 April 2027, before the daylight switch.
    EXPECT_EQ(static_cast<DWORD>(TIME_ZONE_ID_STANDARD), GetTimeZoneInformation(&got));
    EXPECT_TRUE(sameZone(custom, got));
    // Local = UTC - (Bias + StandardBias) = UTC + 5:15.
    EXPECT_EQ("2027-05-01T05:15:00.000", iso(localNow()));

    // Another process of the device sees the same zone.
    EXPECT_EQ(0, cetest::runInChild([&] {
                  TIME_ZONE_INFORMATION child;
                  GetTimeZoneInformation(&child);
                  return sameZone(custom, child) ? 0 : 1;
              }));

    TIME_ZONE_INFORMATION berlin = zone("Europe/Berlin");
    ASSERT_TRUE(SetTimeZoneInformation(&berlin));
    EXPECT_EQ("Europe/Berlin", ce::deviceConf()->timeZone);
    EXPECT_EQ("", ce::deviceConf()->timeZoneRule);
    EXPECT_EQ(changes + 2, ce::deviceConf()->zoneChanges);
    EXPECT_EQ("2027-05-01T02:00:00.000", iso(localNow()));
}

// Rules the conversions cannot follow are refused and the zone stays as it was.
TEST_F(ZoneApi, SetTimeZoneInformationRefusesBadRules) {
    at("Europe/London", "2027-05-01T00:00:00Z");
    uint32_t changes = ce::deviceConf()->zoneChanges;
    TIME_ZONE_INFORMATION base = zone("Europe/Berlin");
    std::vector<std::pair<const char*, TIME_ZONE_INFORMATION>> bad;
    auto add = [&](const char* what, auto change) {
        TIME_ZONE_INFORMATION t = base;
        change(t);
        bad.emplace_back(what, t);
    };
    add("bias beyond a day", [](auto& t) { t.Bias = 24 * 60 + 1; });
    add("daylight bias beyond a day", [](auto& t) { t.DaylightBias = -100000; });
    add("month 13", [](auto& t) { t.DaylightDate.wMonth = 13; });
    add("week 0", [](auto& t) { t.StandardDate.wDay = 0; });
    add("weekday 7", [](auto& t) { t.StandardDate.wDayOfWeek = 7; });
    add("hour 24", [](auto& t) { t.DaylightDate.wHour = 24; });
    add("only one switch", [](auto& t) { t.StandardDate = SYSTEMTIME{}; });
    add("absolute date that does not exist",
        [](auto& t) { t.DaylightDate = SYSTEMTIME{2027, 2, 0, 30, 2, 0, 0, 0}; });
    for (const auto& [what, tzi] : bad) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(SetTimeZoneInformation(&tzi)) << what;
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError()) << what;
    }
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetTimeZoneInformation(nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ("Europe/London", ce::deviceConf()->timeZone);
    EXPECT_EQ(changes, ce::deviceConf()->zoneChanges);

    // Names filling all 32 units are cut to 31 so that they stay terminated.
    TIME_ZONE_INFORMATION full = base;
    for (auto& c : full.StandardName)
        c = u'S';
    ASSERT_TRUE(SetTimeZoneInformation(&full));
    TIME_ZONE_INFORMATION got;
    GetTimeZoneInformation(&got);
    EXPECT_EQ(std::u16string(31, u'S'), name(got.StandardName));
    EXPECT_EQ(u'\0', got.StandardName[31]);
}

// A broken custom rule in device.conf (edited by hand) leaves the device on UTC, not faulting.
TEST_F(ZoneApi, BrokenStoredRuleFallsBackToUtc) {
    device.freezeAt("2027-05-01T00:00:00Z");
    std::string error;
    ASSERT_TRUE(ce::updateDeviceConf(
        [](ce::DeviceConf& c) {
            c.timeZone = "custom";
            c.timeZoneRule = "bias:-60;garbage";
        },
        &error))
        << error;
    TIME_ZONE_INFORMATION got;
    EXPECT_EQ(static_cast<DWORD>(TIME_ZONE_ID_UNKNOWN), GetTimeZoneInformation(&got));
    EXPECT_EQ(0, got.Bias);
    EXPECT_EQ("2027-05-01T00:00:00.000", iso(localNow()));
    EXPECT_FALSE(ce::setDeviceZone("Mars/Olympus", &error));
    EXPECT_FALSE(error.empty());
}

} // namespace
