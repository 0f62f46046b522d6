// outlookitems.cpp: the actions on Outlook items.
//
// Not built yet: the actions change nothing.
#include "outlookitems.h"

void loadOutlookAppointment(HWND, LONG) {}

void loadOutlookTask(HWND, LONG) {}

void loadOutlookContact(HWND, LONG) {}

void createOutlookItem(LONG) {}

void markTaskComplete(HWND, LONG) {}

void removeCalReminder(HWND, LONG, BOOL) {}

void removeTaskReminder(HWND, LONG, BOOL) {}

void customTaskTime(HWND, LONG) {}
