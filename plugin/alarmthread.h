// alarmthread.h: the alarm thread, which follows the system's reminders and sounds them.
#pragma once

#include <windows.h>

// Makes the "zV_TimerCal" event and starts the alarm thread for the item window; FALSE (and a
// log line) when the thread cannot be started.
BOOL startAlarmThread(HWND window);
// Ends the alarm thread if it runs, and closes its handle and the "zV_TimerCal" event.
void stopAlarmThread(void);
