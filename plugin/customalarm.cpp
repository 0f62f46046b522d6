// customalarm.cpp: custom alarms.
//
// Not built yet: the dialog does not open.
#include "customalarm.h"

void customAlarmDialog(HWND, LONG) {}
