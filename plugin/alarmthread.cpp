// alarmthread.cpp: the alarm thread.
//
// The alarm thread is not started yet, so there is nothing to stop.
#include "alarmthread.h"

void stopAlarmThread(void) {}
