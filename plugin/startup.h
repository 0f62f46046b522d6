// startup.h: the item's start-up, the debounced reload of the alarm list on its worker
// thread, and the actions on one line of the list.
#pragma once

#include <windows.h>

// Run once by the start-up timer: brings everything up that InitializeCustomItem deferred.
void Startup(void);
// Asks for a new alarm list: force 0 debounces (5 s), force 1 scans now.
void reloadAlarms(BOOL force);
// The retry timer found a scan still marked as running: the mark is cleared.
void clearScanInProgress(void);
// The line action: opens what the list line shows.
void loadItem(HWND window, LONG line);
