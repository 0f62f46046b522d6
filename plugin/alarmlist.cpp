// alarmlist.cpp: the alarm list.
//
// The scan that fills the list is not built yet: the list stays empty.
#include "alarmlist.h"

LONG alarmCount = 0;

void freeAlarmList(void) {
    alarmCount = 0;
}
