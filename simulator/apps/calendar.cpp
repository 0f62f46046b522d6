// calendar.cpp: calendar.exe, the device's calendar: shows the appointment it was opened on
// ("-oid N", as Display and calendar reminders open it) in a window titled "Calendar".
#include "apps.h"
#include "pimview.h"

namespace {

int calendarMain(HINSTANCE, LPWSTR commandLine, int) {
    return runItemWindow(u"Calendar", ce::pim::Kind::Appointment, commandLine);
}

const AppRegistration reg("calendar", calendarMain);

} // namespace
