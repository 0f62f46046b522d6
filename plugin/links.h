// links.h: the links from the item to other programs: calendar, tasks, alarmNotes, contacts,
// inbox and notes, each opened in the program the settings choose.
#pragma once

#include <windows.h>

#define LINK_CALENDAR  0
#define LINK_TASKS     1
#define LINK_ALARMNOTE 2
#define LINK_CONTACTS  3
#define LINK_INBOX     4
#define LINK_NOTES     5

// Runs a link; hold is non-zero for a tap-and-hold. Nothing when the link is switched off.
void linkAction(HWND window, LONG link, LONG hold);
// Unloads the library the calendar links use to show appointments, if it is loaded.
void unloadAppointmentDisplay(void);
