// recurring.h: alarms that recur on chosen weekdays, kept in alarm_rpt.cfg and armed a few
// days ahead as one-shot notifications.
#pragma once

#include <windows.h>

// Re-arms the coming occurrences when that is due (about once a day).
void checkForRecurringAlarms(void);
// Removes a series (its key: the text from the first "^" through the section sign) from the
// file and clears its armed notifications.
void deleteRecurAlarm(const char* key);
