// alarmlist.h: the list of coming alarms that the item window shows.
#pragma once

#include <windows.h>

// Number of alarms in the list the window shows.
extern LONG alarmCount;

// Frees the list and every item's text; the window then shows no alarm.
void freeAlarmList(void);
