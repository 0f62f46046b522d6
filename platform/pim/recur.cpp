// recur.cpp: expansion of recurring appointments with libical, and patterns <-> RRULE (see
// recur.h).
//
// libical iterates in floating (zone-less) time from the series' local start. Each step is
// bounded: a rule that would never reach the range (or a hostile one) stops after
// kMaxSteps candidates, so no input can keep a caller spinning.
#include "pim/recur.h"

#include <libical/ical.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/timezone.h"

namespace ce::pim {
namespace {

constexpr int kMaxSteps = 200000;
constexpr size_t kMaxRuleChars = 1024;

icaltimetype toIcal(int64_t local) {
    CivilTime c = civilOf(local);
    icaltimetype t = icaltime_null_time();
    t.year = c.year;
    t.month = c.month;
    t.day = c.day;
    t.hour = c.hour;
    t.minute = c.minute;
    t.second = c.second;
    t.is_date = 0;
    return t;
}

bool fromIcal(const icaltimetype& t, int64_t* local) {
    if (icaltime_is_null_time(t)) return false;
    return makeLocal(t.year, t.month, t.day, t.is_date ? 0 : t.hour, t.is_date ? 0 : t.minute,
                     t.is_date ? 0 : t.second, local);
}

bool parseRule(const std::string& text, icalrecurrencetype* out) {
    if (text.empty() || text.size() > kMaxRuleChars) return false;
    icalerror_set_errors_are_fatal(0);
    icalerror_clear_errno();
    // libical reports bad rules through its error state; keep it from aborting or printing.
    icalerrorstate old = icalerror_get_error_state(ICAL_MALFORMEDDATA_ERROR);
    icalerror_set_error_state(ICAL_MALFORMEDDATA_ERROR, ICAL_ERROR_NONFATAL);
    *out = icalrecurrencetype_from_string(text.c_str());
    icalerror_set_error_state(ICAL_MALFORMEDDATA_ERROR, old);
    return out->freq != ICAL_NO_RECURRENCE;
}

// A local time the clocks skip moves forward by the skipped hour (the zone's conversion takes
// it as standard time).
int64_t shiftOutOfGap(int64_t local) {
    TIME_ZONE_INFORMATION tz = zoneInfoOf(*deviceConf());
    return utcToLocal(tz, localToUtc(tz, local));
}

// olSunday = 1 ... olSaturday = 64 from libical's SUNDAY = 1 ... SATURDAY = 7.
int maskBit(int icalWeekday) {
    return 1 << (icalWeekday - 1);
}

const char* const kDayCodes[7] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

} // namespace

bool validRule(const std::string& rrule) {
    icalrecurrencetype r;
    if (!parseRule(rrule, &r)) return false;
    if (r.freq == ICAL_SECONDLY_RECURRENCE || r.freq == ICAL_MINUTELY_RECURRENCE ||
        r.freq == ICAL_HOURLY_RECURRENCE)
        return false;
    return r.interval >= 1 && r.count >= 0;
}

std::vector<Item> expandSeries(const Item& series, int64_t lo, int64_t hi, size_t maxCount) {
    std::vector<Item> out;
    int64_t start = series.date[Start];
    if (start == kNoDate || maxCount == 0) return out;
    int64_t length = series.date[End] == kNoDate ? 0 : series.date[End] - start;
    if (!series.recurring()) {
        if (start >= lo && start < hi) out.push_back(series);
        return out;
    }
    icalrecurrencetype rule;
    if (!parseRule(series.rrule, &rule)) return out;
    icalrecur_iterator* it = icalrecur_iterator_new(rule, toIcal(start));
    if (!it) return out;
    // Jump close to the range when the rule allows it (not with COUNT, which counts from the
    // series' first occurrence). Changed occurrences may have moved earlier than their
    // original time, so the jump leaves a day of margin.
    if (rule.count == 0 && lo != INT64_MIN && lo - kFileTimePerDay > start)
        icalrecur_iterator_set_start(it, toIcal(lo - kFileTimePerDay - length));
    bool allDay = series.number[AllDayEvent] != 0;
    for (int steps = 0; steps < kMaxSteps && out.size() < maxCount; ++steps) {
        icaltimetype next = icalrecur_iterator_next(it);
        int64_t original;
        if (!fromIcal(next, &original)) break;
        if (hi != INT64_MAX && original >= hi + kFileTimePerDay) break;
        if (std::find(series.exdates.begin(), series.exdates.end(), original) !=
            series.exdates.end())
            continue;
        Item occ = series;
        occ.exceptions.clear();
        occ.occurrence = true;
        occ.occurrenceOriginal = original;
        occ.date[Start] = allDay ? original : shiftOutOfGap(original);
        occ.date[End] = occ.date[Start] + length;
        for (const Exception& e : series.exceptions) {
            if (e.original != original) continue;
            occ.date[Start] = e.start;
            occ.date[End] = e.end;
            occ.text[Subject] = e.subject;
            occ.text[Location] = e.location;
            occ.number[ReminderSet] = e.reminderSet;
        }
        if (occ.date[Start] >= lo && occ.date[Start] < hi) out.push_back(std::move(occ));
    }
    icalrecur_iterator_free(it);
    std::stable_sort(out.begin(), out.end(),
                     [](const Item& a, const Item& b) { return a.date[Start] < b.date[Start]; });
    return out;
}

Pattern patternFromRule(const std::string& rrule, int64_t seriesStart) {
    Pattern p;
    icalrecurrencetype r;
    if (!parseRule(rrule, &r)) return p;
    CivilTime s = civilOf(seriesStart == kNoDate ? 0 : seriesStart);
    p.interval = r.interval;
    p.occurrences = r.count;
    int64_t until;
    if (!icaltime_is_null_time(r.until) && fromIcal(r.until, &until)) p.patternEnd = until;
    int nthPosition = 0;
    for (int i = 0; i < ICAL_BY_DAY_SIZE && r.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
        p.dayOfWeekMask |= maskBit(icalrecurrencetype_day_day_of_week(r.by_day[i]));
        if (int pos = icalrecurrencetype_day_position(r.by_day[i])) nthPosition = pos;
    }
    if (r.by_set_pos[0] != ICAL_RECURRENCE_ARRAY_MAX) nthPosition = r.by_set_pos[0];
    int monthDay = r.by_month_day[0] != ICAL_RECURRENCE_ARRAY_MAX ? r.by_month_day[0] : s.day;
    int month = r.by_month[0] != ICAL_RECURRENCE_ARRAY_MAX ? r.by_month[0] : s.month;
    switch (r.freq) {
    case ICAL_DAILY_RECURRENCE: p.type = 0; break;
    case ICAL_WEEKLY_RECURRENCE:
        p.type = 1;
        if (!p.dayOfWeekMask) p.dayOfWeekMask = 1 << s.dayOfWeek;
        break;
    case ICAL_MONTHLY_RECURRENCE:
        if (p.dayOfWeekMask) {
            p.type = 3;
            p.instance = nthPosition < 0 ? 5 : nthPosition;
        } else {
            p.type = 2;
            p.dayOfMonth = monthDay;
        }
        break;
    case ICAL_YEARLY_RECURRENCE:
        p.monthOfYear = month;
        if (p.dayOfWeekMask) {
            p.type = 6;
            p.instance = nthPosition < 0 ? 5 : nthPosition;
        } else {
            p.type = 5;
            p.dayOfMonth = monthDay;
        }
        break;
    default: p.type = -1; break;
    }
    return p;
}

std::string ruleFromPattern(const Pattern& p, int64_t seriesStart) {
    if (p.interval < 1 || p.interval > 999) return {};
    std::string days;
    for (int d = 0; d < 7; ++d) {
        if (!(p.dayOfWeekMask & (1 << d))) continue;
        if (!days.empty()) days += ',';
        days += kDayCodes[d];
    }
    CivilTime s = civilOf(seriesStart == kNoDate ? 0 : seriesStart);
    std::string rule;
    int instance = p.instance >= 5 ? -1 : p.instance;
    switch (p.type) {
    case 0: rule = "FREQ=DAILY"; break;
    case 1:
        rule = "FREQ=WEEKLY";
        rule += ";BYDAY=" + (days.empty() ? std::string(kDayCodes[s.dayOfWeek]) : days);
        break;
    case 2:
        rule = "FREQ=MONTHLY;BYMONTHDAY=" + std::to_string(p.dayOfMonth ? p.dayOfMonth : s.day);
        break;
    case 3:
        if (days.empty() || instance == 0) return {};
        rule = "FREQ=MONTHLY;BYDAY=" + days + ";BYSETPOS=" + std::to_string(instance);
        break;
    case 5:
        rule = "FREQ=YEARLY;BYMONTH=" + std::to_string(p.monthOfYear ? p.monthOfYear : s.month) +
               ";BYMONTHDAY=" + std::to_string(p.dayOfMonth ? p.dayOfMonth : s.day);
        break;
    case 6:
        if (days.empty() || instance == 0) return {};
        rule = "FREQ=YEARLY;BYMONTH=" + std::to_string(p.monthOfYear ? p.monthOfYear : s.month) +
               ";BYDAY=" + days + ";BYSETPOS=" + std::to_string(instance);
        break;
    default: return {};
    }
    if (p.interval > 1) rule += ";INTERVAL=" + std::to_string(p.interval);
    if (p.occurrences > 0) {
        rule += ";COUNT=" + std::to_string(p.occurrences);
    } else if (p.patternEnd != kNoDate) {
        // The end date counts whole: occurrences on that day still happen.
        CivilTime e = civilOf(p.patternEnd);
        char until[32];
        snprintf(until, sizeof until, ";UNTIL=%04d%02d%02dT235959", e.year, e.month, e.day);
        rule += until;
    }
    return rule;
}

} // namespace ce::pim
