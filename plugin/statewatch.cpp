// statewatch.cpp: watching the system state.
//
// The state registrations are not made yet, so no notice arrives and there is nothing to close.
#include "statewatch.h"

LRESULT doProcessBrokerMsg(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)window;
    (void)message;
    (void)wParam;
    (void)lParam;
    return 0;
}

void registerStateNotifications(HWND window) {
    (void)window;
}

void closeStateNotifications(void) {}
