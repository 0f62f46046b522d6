// customalarm.h: the custom-alarm dialog and the notifications of custom alarms.
#pragma once

#include <windows.h>

// The custom-alarm dialog for a line of the list (-1: a new alarm).
void customAlarmDialog(HWND window, LONG line);
