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
// Opens a line's alarmNote in the external organiser, or its note in the notes application.
void openOrganiserNote(HWND window, LONG line);
void openNotesItem(HWND window, LONG line);
// Starts the companion product's alarm program for a line of its alarms.
void startCompanionAlarm(HWND window, LONG line);
// Unloads the library the calendar links use to show appointments, if it is loaded.
void unloadAppointmentDisplay(void);
