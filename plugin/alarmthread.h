// alarmthread.h: the alarm thread, which follows the system's reminders and sounds them.
#pragma once

#include <windows.h>

// Ends the alarm thread if it runs, and closes its handle and the "zV_TimerCal" event.
void stopAlarmThread(void);
