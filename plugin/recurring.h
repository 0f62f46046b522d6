// recurring.h: alarms that recur on chosen weekdays, kept in alarm_rpt.cfg and armed a few
// days ahead as one-shot notifications.
#pragma once

#include <windows.h>

// Re-arms the coming occurrences when that is due (about once a day).
void checkForRecurringAlarms(void);
