// pimview.h: the window the device's calendar, tasks and contacts programs show an item in
// (shared by calendar.cpp, tasks.cpp and poutlook.cpp).
#pragma once

#include <windows.h>

#include "pim/item.h"

// Runs the program's window: the command line is "-oid N" (show that item) or "-new" (an
// empty editor of the kind). When a window with the same title already exists (the program
// runs), the item goes to it and this process ends. Returns the exit code.
int runItemWindow(const char16_t* title, ce::pim::Kind kind, LPCWSTR commandLine);
