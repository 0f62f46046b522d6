// statewatch.h: the system state the item watches through the state broker: calls, reminders,
// the shell's notification state.
#pragma once

#include <windows.h>

// The first and last message number of the state broker's notices to the item window.
#define BROKER_MSG_FIRST 0x822A
#define BROKER_MSG_LAST  0x822F

// A state notice (wParam: the watched value's new value). Result 0.
LRESULT doProcessBrokerMsg(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Registers the state values the item watches; their notices go to window.
void registerStateNotifications(HWND window);
// Ends every state registration of the item.
void closeStateNotifications(void);
