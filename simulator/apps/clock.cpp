// clock.cpp: clock.exe, the device's clock and alarms program. Started by an alarm's
// notification or by hand, it brings the alarms' notifications in line with their settings
// (HKLM\Software\Microsoft\Clock\0..3) and ends; the alarm itself is the system's reminder.
#include "apps.h"
#include "notify/clockalarms.h"

namespace {

int clockMain(HINSTANCE, LPWSTR, int) {
    return ce::notify::registerClockAlarms() == ERROR_SUCCESS ? 0 : 1;
}

const AppRegistration reg("clock", clockMain);

} // namespace
