// timezone.cpp: the device's time zones: the named zones with their Windows-style rules, the
// rule text of a custom zone, and the conversions between UTC and local time.
//
// A zone is a TIME_ZONE_INFORMATION, as GetTimeZoneInformation returns it: UTC = local + Bias
// (+ StandardBias or DaylightBias, in minutes). The two switch dates use the yearly
// "day-in-month" form (wYear 0; wDay 1..4 is the n-th wDayOfWeek of wMonth and 5 the last one;
// wHour:wMinute is the local time of the switch, read in the time in force before it) or the
// absolute form (wYear set; the switch happens on that date of that year only). A zone whose
// DaylightDate.wMonth is 0 has no daylight time. These conversions work for any year; the
// calendar arithmetic itself is SystemTimeToFileTime's (timeconv.cpp).
//
// The named zones are those a person picks with "cedev tz set"; a zone set by the product with
// SetTimeZoneInformation that matches none of them is kept in device.conf as the rule text of
// formatZoneRule, which parseZoneRule reads back defensively: device.conf is a file anyone can
// edit, so a broken rule is refused and the device then runs on UTC.
//
// GetTimeZoneInformation and SetTimeZoneInformation, the product's view of all this, are at
// the end of the file; the other time functions are in timeconv.cpp.
#include "kernel/timezone.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>

#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/trace.h"

namespace ce {

namespace {

constexpr int64_t kMaxFileTime = INT64_MAX;
constexpr LONG kMaxBiasMinutes = 24 * 60;

struct NamedZone {
    const char* name;
    LONG bias;
    const char16_t* standardName;
    const char16_t* daylightName;
    LONG daylightBias;
    // Switch dates as {month, dayOfWeek, week (5 = last), hour}; month 0 = no daylight time.
    std::array<WORD, 4> daylightDate;
    std::array<WORD, 4> standardDate;
};

// The zones of the device, with the names and rules Windows gives them. Hours are the local
// time of the switch in the time in force before it: Berlin leaves standard time at 02:00 CET
// and daylight time at 03:00 CEST, both 01:00 UTC.
constexpr NamedZone kZones[] = {
    {"UTC", 0, u"Coordinated Universal Time", u"Coordinated Universal Time", 0, {}, {}},
    {"Europe/Berlin",
     -60,
     u"W. Europe Standard Time",
     u"W. Europe Daylight Time",
     -60,
     {3, 0, 5, 2},
     {10, 0, 5, 3}},
    {"Europe/London",
     0,
     u"GMT Standard Time",
     u"GMT Daylight Time",
     -60,
     {3, 0, 5, 1},
     {10, 0, 5, 2}},
    {"America/New_York",
     300,
     u"Eastern Standard Time",
     u"Eastern Daylight Time",
     -60,
     {3, 0, 2, 2},
     {11, 0, 1, 2}},
    {"Asia/Tokyo", -540, u"Tokyo Standard Time", u"Tokyo Daylight Time", 0, {}, {}},
    {"Australia/Sydney",
     -600,
     u"AUS Eastern Standard Time",
     u"AUS Eastern Daylight Time",
     -60,
     {10, 0, 1, 2},
     {4, 0, 1, 3}},
};

void copyName(WCHAR (&dst)[32], std::u16string_view src) {
    std::fill(std::begin(dst), std::end(dst), u'\0');
    size_t n = std::min<size_t>(src.size(), 31);
    std::copy_n(src.begin(), n, dst);
}

std::u16string_view nameOf(const WCHAR (&name)[32]) {
    size_t n = 0;
    while (n < 32 && name[n])
        ++n;
    return {name, n};
}

SYSTEMTIME ruleDate(const std::array<WORD, 4>& d) {
    SYSTEMTIME st{};
    st.wMonth = d[0];
    st.wDayOfWeek = d[1];
    st.wDay = d[2];
    st.wHour = d[3];
    return st;
}

TIME_ZONE_INFORMATION infoOf(const NamedZone& z) {
    TIME_ZONE_INFORMATION tzi{};
    tzi.Bias = z.bias;
    copyName(tzi.StandardName, z.standardName);
    copyName(tzi.DaylightName, z.daylightName);
    tzi.StandardBias = 0;
    tzi.DaylightBias = z.daylightBias;
    tzi.DaylightDate = ruleDate(z.daylightDate);
    tzi.StandardDate = ruleDate(z.standardDate);
    return tzi;
}

bool equalNoCaseAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

const NamedZone* findZone(std::string_view name) {
    for (const auto& z : kZones)
        if (equalNoCaseAscii(z.name, name)) return &z;
    return nullptr;
}

bool hasDaylight(const TIME_ZONE_INFORMATION& tzi) {
    return tzi.DaylightDate.wMonth != 0 && tzi.StandardDate.wMonth != 0;
}

bool validBias(LONG b) {
    return b >= -kMaxBiasMinutes && b <= kMaxBiasMinutes;
}

bool validSwitchDate(const SYSTEMTIME& d) {
    if (d.wMonth < 1 || d.wMonth > 12) return false;
    if (d.wHour > 23 || d.wMinute > 59 || d.wSecond > 59 || d.wMilliseconds > 999) return false;
    if (d.wYear == 0) return d.wDayOfWeek <= 6 && d.wDay >= 1 && d.wDay <= 5;
    // Absolute form: a real date; SystemTimeToFileTime knows the calendar.
    SYSTEMTIME probe = d;
    probe.wDayOfWeek = 0;
    FILETIME ft;
    return SystemTimeToFileTime(&probe, &ft) != FALSE;
}

// Whether tzi is a zone these conversions can work with: biases within a day, and either no
// daylight time (both switch months 0) or two valid switch dates.
bool validZone(const TIME_ZONE_INFORMATION& tzi) {
    if (!validBias(tzi.Bias) || !validBias(tzi.StandardBias) || !validBias(tzi.DaylightBias))
        return false;
    bool noDst = tzi.DaylightDate.wMonth == 0 && tzi.StandardDate.wMonth == 0;
    if (noDst) return true;
    return validSwitchDate(tzi.DaylightDate) && validSwitchDate(tzi.StandardDate);
}

std::optional<int64_t> toFileTime(int year, int month, int day, const SYSTEMTIME& at) {
    if (year < 1601 || year > 30827) return std::nullopt;
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    st.wHour = at.wHour;
    st.wMinute = at.wMinute;
    st.wSecond = at.wSecond;
    st.wMilliseconds = at.wMilliseconds;
    FILETIME ft;
    if (!SystemTimeToFileTime(&st, &ft)) return std::nullopt;
    return fileTimeToInt(ft);
}

int yearOf(int64_t ft) {
    ft = std::clamp<int64_t>(ft, 0, kMaxFileTime);
    SYSTEMTIME st;
    FILETIME f = intToFileTime(ft);
    if (!FileTimeToSystemTime(&f, &st)) return 1601;
    return st.wYear;
}

// The local time (in the time in force before the switch) at which the switch described by d
// happens in year, or nothing when it does not happen that year.
std::optional<int64_t> switchLocalTime(const SYSTEMTIME& d, int year) {
    if (d.wYear != 0) {
        if (d.wYear != year) return std::nullopt;
        return toFileTime(year, d.wMonth, d.wDay, d);
    }
    if (d.wMonth < 1 || d.wMonth > 12 || d.wDay < 1 || d.wDay > 5 || d.wDayOfWeek > 6)
        return std::nullopt;
    SYSTEMTIME midnight{};
    auto first = toFileTime(year, d.wMonth, 1, midnight);
    if (!first) return std::nullopt;
    // 1 January 1601 was a Monday.
    int firstDow = static_cast<int>((*first / kFileTimePerDay + 1) % 7);
    int day = 1 + (d.wDayOfWeek - firstDow + 7) % 7 + (d.wDay - 1) * 7;
    // Week 5 means the last such day; so does any week that runs past the month's end.
    while (day > 28) {
        SYSTEMTIME noon{};
        if (toFileTime(year, d.wMonth, day, noon)) break;
        day -= 7;
    }
    return toFileTime(year, d.wMonth, day, d);
}

int64_t minutes(int64_t m) {
    return m * kFileTimePerMinute;
}

int64_t addClamped(int64_t a, int64_t b) {
    int64_t r;
    if (__builtin_add_overflow(a, b, &r)) return b > 0 ? kMaxFileTime : INT64_MIN;
    return r;
}

// Rule text of a custom zone. Names keep printable ASCII as it is; every other UTF-16 unit,
// and the characters that delimit the text, become %XXXX.
constexpr std::string_view kNameDelimiters = "%;:=#\\";

std::string encodeName(std::u16string_view name) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (char16_t c : name) {
        if (c >= 0x20 && c < 0x7f &&
            kNameDelimiters.find(static_cast<char>(c)) == std::string::npos) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            for (int shift = 12; shift >= 0; shift -= 4)
                out.push_back(hex[(c >> shift) & 0xF]);
        }
    }
    return out;
}

bool decodeName(std::string_view text, WCHAR (&out)[32]) {
    std::u16string name;
    for (size_t i = 0; i < text.size();) {
        char c = text[i];
        if (c == '%') {
            if (i + 5 > text.size()) return false;
            unsigned v = 0;
            auto [p, ec] = std::from_chars(text.data() + i + 1, text.data() + i + 5, v, 16);
            if (ec != std::errc() || p != text.data() + i + 5) return false;
            name.push_back(static_cast<char16_t>(v));
            i += 5;
        } else {
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f)
                return false;
            name.push_back(static_cast<char16_t>(c));
            ++i;
        }
    }
    if (name.size() > 31 || name.find(u'\0') != std::u16string::npos) return false;
    copyName(out, name);
    return true;
}

std::string formatDate(const SYSTEMTIME& d) {
    std::string s;
    for (WORD w : {d.wYear, d.wMonth, d.wDayOfWeek, d.wDay, d.wHour, d.wMinute, d.wSecond,
                   d.wMilliseconds}) {
        if (!s.empty()) s.push_back(',');
        s += std::to_string(w);
    }
    return s;
}

template <class T>
bool parseInt(std::string_view s, T* out) {
    if (s.empty() || s.size() > 12) return false;
    int64_t v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size()) return false;
    if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max()) return false;
    *out = static_cast<T>(v);
    return true;
}

bool parseDate(std::string_view s, SYSTEMTIME* out) {
    WORD* fields[] = {&out->wYear, &out->wMonth,  &out->wDayOfWeek, &out->wDay,
                      &out->wHour, &out->wMinute, &out->wSecond,    &out->wMilliseconds};
    for (size_t i = 0; i < std::size(fields); ++i) {
        size_t comma = s.find(',');
        bool last = i + 1 == std::size(fields);
        if (last != (comma == std::string_view::npos)) return false;
        if (!parseInt(s.substr(0, comma), fields[i])) return false;
        if (!last) s.remove_prefix(comma + 1);
    }
    return true;
}

// The last custom rule parsed, so that GetLocalTime does not parse the rule text on every call.
struct RuleCache {
    std::mutex lock;
    std::optional<std::string> text; // empty until the first custom rule
    bool ok = false;
    TIME_ZONE_INFORMATION tzi{};
};

RuleCache& ruleCache() {
    static RuleCache cache;
    return cache;
}

TIME_ZONE_INFORMATION utcZone() {
    return infoOf(kZones[0]);
}

} // namespace

// The zone a device state runs on. A custom rule that does not parse (device.conf edited by
// hand) and an unknown zone name both fall back to UTC, with a trace note, rather than
// leaving the device without a clock.
TIME_ZONE_INFORMATION zoneInfoOf(const DeviceConf& conf) {
    if (conf.timeZone == "custom") {
        RuleCache& cache = ruleCache();
        std::lock_guard guard(cache.lock);
        if (cache.text != conf.timeZoneRule) {
            cache.text = conf.timeZoneRule;
            cache.ok = parseZoneRule(conf.timeZoneRule, &cache.tzi);
            if (!cache.ok) CE_TRACE("time", "unusable custom zone rule, using UTC");
        }
        return cache.ok ? cache.tzi : utcZone();
    }
    if (const NamedZone* z = findZone(conf.timeZone)) return infoOf(*z);
    CE_TRACE("time", "unknown zone %s, using UTC", conf.timeZone.c_str());
    return utcZone();
}

// Named zones are matched without regard to case ("europe/berlin" works on the command line).
bool namedZoneInfo(std::string_view name, TIME_ZONE_INFORMATION* out) {
    const NamedZone* z = findZone(name);
    if (!z) return false;
    if (out) *out = infoOf(*z);
    return true;
}

std::vector<std::string> zoneNames() {
    std::vector<std::string> names;
    for (const auto& z : kZones)
        names.emplace_back(z.name);
    return names;
}

namespace {
// The name of the named zone whose rules are exactly tzi, or empty. SetTimeZoneInformation uses
// it so that handing back what GetTimeZoneInformation returned keeps the zone's name.
std::string namedZoneMatching(const TIME_ZONE_INFORMATION& tzi) {
    auto sameDate = [](const SYSTEMTIME& a, const SYSTEMTIME& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    };
    for (const auto& z : kZones) {
        TIME_ZONE_INFORMATION n = infoOf(z);
        if (n.Bias == tzi.Bias && n.StandardBias == tzi.StandardBias &&
            n.DaylightBias == tzi.DaylightBias && sameDate(n.StandardDate, tzi.StandardDate) &&
            sameDate(n.DaylightDate, tzi.DaylightDate) &&
            nameOf(n.StandardName) == nameOf(tzi.StandardName) &&
            nameOf(n.DaylightName) == nameOf(tzi.DaylightName))
            return z.name;
    }
    return {};
}
} // namespace

// Daylight time is in force from the daylight switch (a standard local time) up to the
// standard switch (a daylight local time) of the same local year. When the daylight switch
// comes later in the year than the standard one (southern hemisphere), the daylight period
// spans the new year: it is in force before the standard switch and after the daylight one.
bool isDaylightAtUtc(const TIME_ZONE_INFORMATION& tzi, int64_t utc) {
    if (!hasDaylight(tzi)) return false;
    const int64_t standardOffset = minutes(int64_t{tzi.Bias} + tzi.StandardBias);
    const int64_t daylightOffset = minutes(int64_t{tzi.Bias} + tzi.DaylightBias);
    int year = yearOf(addClamped(utc, -standardOffset));
    auto startLocal = switchLocalTime(tzi.DaylightDate, year);
    auto endLocal = switchLocalTime(tzi.StandardDate, year);
    if (!startLocal || !endLocal) return false;
    int64_t start = addClamped(*startLocal, standardOffset);
    int64_t end = addClamped(*endLocal, daylightOffset);
    if (start == end) return false;
    if (start < end) return utc >= start && utc < end;
    return utc >= start || utc < end;
}

int64_t utcToLocal(const TIME_ZONE_INFORMATION& tzi, int64_t utc) {
    LONG extra = isDaylightAtUtc(tzi, utc) ? tzi.DaylightBias : tzi.StandardBias;
    return addClamped(utc, -minutes(int64_t{tzi.Bias} + extra));
}

// A local time names one instant, except around the switches. Each reading (standard,
// daylight) is tried and kept when the zone really is in that time at the instant it gives.
// In the autumn hour that happens twice both readings hold and the daylight one, the first
// occurrence, wins; in the spring gap that never happens neither holds and the time is read
// as standard time, so 02:30 in Berlin on the spring switch day becomes 03:30 daylight time,
// the time a clock that was not moved on would show.
int64_t localToUtc(const TIME_ZONE_INFORMATION& tzi, int64_t local) {
    int64_t asStandard = addClamped(local, minutes(int64_t{tzi.Bias} + tzi.StandardBias));
    if (!hasDaylight(tzi)) return asStandard;
    int64_t asDaylight = addClamped(local, minutes(int64_t{tzi.Bias} + tzi.DaylightBias));
    if (isDaylightAtUtc(tzi, asDaylight)) return asDaylight;
    return asStandard;
}

// "bias:-60;stdname:W. Europe Standard Time;stdbias:0;stddate:0,10,0,5,3,0,0,0;dltname:...;
// dltbias:-60;dltdate:0,3,0,5,2,0,0,0", dates as year,month,dayOfWeek,day,hour,minute,
// second,milliseconds. One line, no '=' or '#', so device.conf holds it as a plain value.
std::string formatZoneRule(const TIME_ZONE_INFORMATION& tzi) {
    std::string s;
    s += "bias:" + std::to_string(tzi.Bias);
    s += ";stdname:" + encodeName(nameOf(tzi.StandardName));
    s += ";stdbias:" + std::to_string(tzi.StandardBias);
    s += ";stddate:" + formatDate(tzi.StandardDate);
    s += ";dltname:" + encodeName(nameOf(tzi.DaylightName));
    s += ";dltbias:" + std::to_string(tzi.DaylightBias);
    s += ";dltdate:" + formatDate(tzi.DaylightDate);
    return s;
}

// Reads a rule written by formatZoneRule. Every key must appear exactly once and the zone must
// be one validZone accepts; anything else (unknown keys, numbers out of range, bad escapes,
// names too long) makes it fail without touching *out.
bool parseZoneRule(std::string_view text, TIME_ZONE_INFORMATION* out) {
    if (!out || text.size() > 4096) return false;
    TIME_ZONE_INFORMATION tzi{};
    constexpr std::string_view keys[] = {"bias",    "stdname", "stdbias", "stddate",
                                         "dltname", "dltbias", "dltdate"};
    bool seen[std::size(keys)] = {};
    while (!text.empty()) {
        size_t semi = text.find(';');
        std::string_view part = text.substr(0, semi);
        text = semi == std::string_view::npos ? std::string_view{} : text.substr(semi + 1);
        if (semi != std::string_view::npos && text.empty()) return false; // trailing ';'
        size_t colon = part.find(':');
        if (colon == std::string_view::npos) return false;
        std::string_view key = part.substr(0, colon), value = part.substr(colon + 1);
        size_t k = std::find(std::begin(keys), std::end(keys), key) - std::begin(keys);
        if (k == std::size(keys) || seen[k]) return false;
        seen[k] = true;
        bool ok = false;
        switch (k) {
        case 0: ok = parseInt(value, &tzi.Bias); break;
        case 1: ok = decodeName(value, tzi.StandardName); break;
        case 2: ok = parseInt(value, &tzi.StandardBias); break;
        case 3: ok = parseDate(value, &tzi.StandardDate); break;
        case 4: ok = decodeName(value, tzi.DaylightName); break;
        case 5: ok = parseInt(value, &tzi.DaylightBias); break;
        case 6: ok = parseDate(value, &tzi.DaylightDate); break;
        }
        if (!ok) return false;
    }
    if (!std::all_of(std::begin(seen), std::end(seen), [](bool b) { return b; })) return false;
    if (!validZone(tzi)) return false;
    *out = tzi;
    return true;
}

bool setDeviceZone(std::string_view name, std::string* error) {
    const NamedZone* z = findZone(name);
    if (!z) {
        if (error) *error = "unknown time zone: " + std::string(name);
        return false;
    }
    return updateDeviceConf(
        [z](DeviceConf& c) {
            c.timeZone = z->name;
            c.timeZoneRule.clear();
            ++c.zoneChanges;
        },
        error);
}

} // namespace ce

// ---- The public API: GetTimeZoneInformation / SetTimeZoneInformation ------------------------

using namespace ce;

// Returns the device's zone and whether daylight time is in force now: TIME_ZONE_ID_UNKNOWN
// for a zone without daylight time, as documented.
DWORD GetTimeZoneInformation(LPTIME_ZONE_INFORMATION lpTimeZoneInformation) {
    if (!lpTimeZoneInformation) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return TIME_ZONE_ID_INVALID;
    }
    TIME_ZONE_INFORMATION tzi = zoneInfoOf(*deviceConf());
    *lpTimeZoneInformation = tzi;
    if (!hasDaylight(tzi)) return TIME_ZONE_ID_UNKNOWN;
    return isDaylightAtUtc(tzi, deviceUtcNow()) ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}

// Sets the device's zone for every process. Rules these conversions cannot follow (biases over
// a day, switch dates that are no dates, daylight time with only one switch) are refused with
// ERROR_INVALID_PARAMETER. Names are kept to 31 characters so that they are always terminated.
// A zone equal to a named one keeps its name; any other is stored as a custom rule. Either way
// the zone-change counter moves, which is what raises the zone-change event.
BOOL SetTimeZoneInformation(const TIME_ZONE_INFORMATION* lpTimeZoneInformation) {
    if (!lpTimeZoneInformation) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    TIME_ZONE_INFORMATION tzi = *lpTimeZoneInformation;
    copyName(tzi.StandardName, nameOf(lpTimeZoneInformation->StandardName));
    copyName(tzi.DaylightName, nameOf(lpTimeZoneInformation->DaylightName));
    if (!validZone(tzi)) {
        CE_TRACE("time", "refusing zone rules (bias %d)", static_cast<int>(tzi.Bias));
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string name = namedZoneMatching(tzi);
    std::string rule = name.empty() ? formatZoneRule(tzi) : std::string();
    std::string error;
    bool ok = updateDeviceConf(
        [&](DeviceConf& c) {
            c.timeZone = name.empty() ? "custom" : name;
            c.timeZoneRule = rule;
            ++c.zoneChanges;
        },
        &error);
    if (!ok) {
        CE_TRACE("time", "cannot store the zone: %s", error.c_str());
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    return TRUE;
}
