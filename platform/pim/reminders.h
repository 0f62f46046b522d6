// reminders.h: the user notifications behind the reminders of appointments and tasks.
//
// The store keeps, per item, the handle of the notification that shows its reminder, and calls
// syncReminder after every save: the notification is created, moved (same handle) or removed
// so that it matches the item. The texts are those of the device's own calendar and tasks
// programs, which other programs parse: a calendar reminder starts "calendar.exe" with the
// arguments "POOM: <oid>" and shows the title "POOM: <oid>" with the text "<subject>", followed
// by "\r\n<location>" when there is one; a task reminder starts "tasks.exe" with the same
// arguments and title and the text "<subject>\r\n Due: <short date>". A recurring
// appointment's reminder is that of its next occurrence.
//
// Inside the platform only.
#pragma once

#include <cstdint>

#include "pim/item.h"

namespace ce::pim {

// The local time the item's reminder is due next (not before now), or kNoDate when it has
// none: reminder off, a completed task, a past appointment, a series without a coming one.
int64_t nextReminderTime(const Item& item);

// Makes the item's user notification match its reminder: returns the handle it has now (the
// old one when it was moved, a new one, or 0 when it has none any more).
uint32_t syncReminder(const Item& item);
// Removes a reminder notification.
void clearReminder(uint32_t handle);

// Rebuilds every reminder of the store (calnot.exe): notifications of the calendar and tasks
// programs that no item owns any more are removed, missing ones created, all moved to their
// items' times. Returns the number of reminders set.
int rebuildReminders();

} // namespace ce::pim
