// startup.cpp: start-up and reloading the alarm list.
//
// Not built yet: Startup brings nothing up and no scan runs, so the list stays empty.
#include "startup.h"

void Startup(void) {}

void reloadAlarms(BOOL force) {
    (void)force;
}

void clearScanInProgress(void) {}

void loadItem(HWND window, LONG line) {
    (void)window;
    (void)line;
}
