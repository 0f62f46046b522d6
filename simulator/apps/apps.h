// apps.h: the device's own programs, which share one binary (ceapps). A program is a file with
// its WinMain-shaped entry and one registration line:
//
//   int calendarMain(HINSTANCE instance, LPWSTR commandLine, int show);
//   static const AppRegistration registerCalendar("calendar", calendarMain);
//
// A device stub names the binary and the entry ("binary = ceapps", "entry = calendar"); the
// binary's WinMain runs the registered program of that entry.
#pragma once

#include <windows.h>

typedef int (*AppMain)(HINSTANCE instance, LPWSTR commandLine, int show);

struct AppRegistration {
    AppRegistration(const char* entry, AppMain main);
};

// The program registered under entry (compared without regard to case), or null.
AppMain findApp(const char* entry);
