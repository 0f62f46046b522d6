// quiet.h: quiet mode (alarms without sound for a while), the mute button, and the battery
// time-out.
#pragma once

#include <windows.h>

// The quiet-mode toggle: with direct 0 a menu at (x, y) offers the durations; with direct 1 it
// switches at once.
void toggleQuietMode(HWND window, LONG x, LONG y, LONG direct);
// Adjusts the device's battery time-out to the settings.
void setBatteryTimeout(void);
// MSG_EXTERNAL_MUTE: quiet mode as zvWakeup wants it. wanted is the state (1 on, 0 off); mode
// 1 goes through the toggle, any other mode sets the state and stores it.
void externalMute(HWND window, WPARAM wanted, LPARAM mode);
