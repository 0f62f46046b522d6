// ical.h: bringing calendars into the PIM store and out of it: iCalendar (.ics) files with
// libical, and the birthdays and anniversaries of vCard (.vcf) files.
//
// Import understands what calendar programs write: VEVENT with time zones (VTIMEZONE, TZID,
// UTC or floating times), all-day events (DATE values), RRULE with EXDATE, changed occurrences
// (RECURRENCE-ID), VALARM reminders; VTODO with due dates, completion, priority and alarms.
// Times are converted to the device's local time. Every imported item is saved through the
// store, so reminders and change notifications follow as for any other change.
//
// Inside the platform only (cedev pim import/export and the tests use it).
#pragma once

#include <string>
#include <string_view>

namespace ce::pim {

struct ImportCounts {
    int appointments = 0;
    int tasks = 0;
    int contacts = 0;
    int skipped = 0; // components that could not be stored
};

// The largest file import reads.
constexpr size_t kMaxImportBytes = 16 << 20;

// Imports an iCalendar text; false (with a reason) when it is not a calendar at all.
bool importIcs(std::string_view text, ImportCounts* counts, std::string* error);
// Imports the contacts of a vCard text (names, birthday, anniversary, phones, e-mail).
bool importVcf(std::string_view text, ImportCounts* counts, std::string* error);
// The store's appointments and tasks as one iCalendar text (times in UTC, all-day events as
// dates).
std::string exportIcs();

} // namespace ce::pim
