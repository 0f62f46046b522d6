// companion.h: what the product knows of Tellarim, the maker's separate phone-profile product
// that may run beside it. Tellarim is not part of this system: the product only reads the key,
// values and window classes named here, and never writes into Tellarim's key. A missing key,
// value or window simply means that Tellarim is not installed or not running.
#pragma once

#include <windows.h>

// HKEY_CURRENT_USER; present only while Tellarim is installed.
#define TR_KEY TEXT("Software\\Brenvox\\Tellarim")

// REG_DWORD: Tellarim's main window while it runs (the window lookup reads it first).
#define TR_VAL_APPWINDOW TEXT("appWindow")
// REG_DWORD, percent: the volume cap used when the tellarimVol setting is on.
#define TR_VAL_MAXVOL     TEXT("maxVol")
#define TR_MAXVOL_DEFAULT 80
// REG_DWORD: non-zero while Tellarim sounds the clock alarms itself. The settings loader then
// drops clock alarms from the show mask, and they get the sound name TR_CLOCK_SOUND, which the
// alarm thread leaves alone.
#define TR_VAL_TF3D TEXT("tral_TF3D")
// REG_DWORD: non-zero while Tellarim controls reminders (the settings application warns).
#define TR_VAL_REMINDERS TEXT("reminders")

// Window classes. The presence of the main window means Tellarim runs; quiet-mode requests are
// posted to it. While the screen lock exists the host keeps its own window hidden.
#define TR_CLASS_MAIN       TEXT("TellarimMaxCls")
#define TR_CLASS_MAIN_LITE  TEXT("TellarimLiteMaxCls")
#define TR_CLASS_SCREENLOCK TEXT("tR_screenLockCls")

// Tellarim's own alarms are notifications whose application path contains this text (compared
// in lower case); the alarm list shows them as a kind of their own.
#define TR_ALARM_APP_MARK TEXT("tralarm")

// The sound name given to clock alarms that Tellarim sounds itself.
#define TR_CLOCK_SOUND TEXT("tellarim.wav")
