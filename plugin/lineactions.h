// lineactions.h: the actions on one line of the alarm list.
#pragma once

#include <windows.h>

// The line action: opens what the list line shows.
void loadItem(HWND window, LONG line);
// The line menu at a point of the window (client coordinates).
void showItemMenu(HWND window, LONG line, POINT at);
