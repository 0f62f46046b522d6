// clocknot.cpp: clocknot.exe, the device's helper that re-registers the clock's alarms: it
// replaces the clock's pending notifications with one per enabled alarm at its next time
// (after a time change, a restore, or an alarm that has rung).
#include "apps.h"
#include "notify/clockalarms.h"

namespace {

int clocknotMain(HINSTANCE, LPWSTR, int) {
    return ce::notify::registerClockAlarms() == ERROR_SUCCESS ? 0 : 1;
}

const AppRegistration reg("clocknot", clocknotMain);

} // namespace
