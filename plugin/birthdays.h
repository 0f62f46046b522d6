// birthdays.h: calendar items without alarm, birthdays and anniversaries from the contacts.
#pragma once

#include <windows.h>

#include "alarmlist.h"

// Adds the Outlook items without reminder (appointments, open tasks, birthdays and
// anniversaries) of the look-ahead window to a list that the notification scan filled with
// count items, at their time positions and up to limit; also serves the Outlook-only task
// views (mode 1 from the scan). Returns the new count, or -1 when Outlook cannot be opened.
LONG getCalItemsWithoutAlarm(AlarmList* list, LONG showMask, LONG count, LONG limit, LONG mode,
                             const FILETIME* windowEnd);

// Frees the cached birthday list with its texts.
void freeBirthdayList(void);
