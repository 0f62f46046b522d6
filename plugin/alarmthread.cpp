// alarmthread.cpp: the alarm thread.
//
// The alarm thread is not built yet: nothing is started, so there is nothing to stop.
#include "alarmthread.h"

BOOL startAlarmThread(HWND window) {
    (void)window;
    return TRUE;
}

void stopAlarmThread(void) {}
