// recur.h: recurring appointments: expanding a series into its occurrences with libical, and
// the object model's recurrence pattern (type, interval, weekdays ...) as an iCalendar RRULE.
//
// A series keeps its rule as an RRULE value and its start as local wall-clock time, and is
// expanded in local time, so a weekly meeting at 09:00 stays at 09:00 across a daylight-saving
// change. An occurrence that falls into the hour the clocks skip is moved forward by that hour,
// as the device shows such times.
//
// Inside the platform only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pim/item.h"

namespace ce::pim {

// True for a rule the store accepts: it parses, repeats daily or less often, and its
// interval and count are positive.
bool validRule(const std::string& rrule);

// The occurrences of a recurring appointment that start in [lo, hi), in order, at most
// maxCount: copies of the series with their own Start and End, occurrence set, deleted ones
// left out and changed ones as changed. A non-recurring item gives itself when it starts in
// the range.
std::vector<Item> expandSeries(const Item& series, int64_t lo, int64_t hi, size_t maxCount);

// The object model's view of a rule (IRecurrencePattern). type is an OlRecurrenceType
// (-1 none); dayOfWeekMask uses the olSunday = 1 ... olSaturday = 64 bits.
struct Pattern {
    int type = -1;
    int interval = 1;
    int dayOfWeekMask = 0;
    int dayOfMonth = 0;
    int instance = 0;
    int monthOfYear = 0;
    int occurrences = 0;          // 0: no count
    int64_t patternEnd = kNoDate; // last day (local), kNoDate: none
};
Pattern patternFromRule(const std::string& rrule, int64_t seriesStart);
// The rule for a pattern; empty for type -1 or a pattern that says nothing valid.
std::string ruleFromPattern(const Pattern& p, int64_t seriesStart);

} // namespace ce::pim
