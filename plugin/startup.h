// startup.h: the item's start-up and the debounced reload of the alarm list on its worker
// thread.
#pragma once

#include <windows.h>

// Screen facts taken at start-up.
extern BOOL landscape;      // screen height <= screen width
extern BOOL narrow;         // the item is narrower than the screen
extern float scaleX;        // screen width / 240
extern float scaleY;        // screen height / 320
extern BOOL keyvanePresent; // the button-macro product is installed
extern WCHAR helpBase[32];  // "file:Zolvane.htm#"

// Run once by the start-up timer: brings everything up that InitializeCustomItem deferred.
void Startup(void);
// Asks for a new alarm list: force 0 debounces (5 s), force 1 scans now on a worker thread.
void reloadAlarms(BOOL force);
// The retry timer found a scan still marked as running: the mark is cleared.
void clearScanInProgress(void);
// Whether a scan runs now.
BOOL scanRunning(void);
// Waits until a running scan has ended.
void waitForScan(void);
// The scan thread: builds a new list and hands it to the window.
DWORD WINAPI GetAlarmThread(LPVOID unused);
