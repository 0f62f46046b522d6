// outlookitems.h: opening and changing the Outlook item behind a line of the alarm list: show
// the appointment, task or contact, mark a task complete, remove a reminder or the item, move a
// task's alarm, create new items.
#pragma once

#include <windows.h>

void loadOutlookAppointment(HWND window, LONG line);
void loadOutlookTask(HWND window, LONG line);
void loadOutlookContact(HWND window, LONG line);
// kind: 0 appointment, 1 task, 2 or more contact.
void createOutlookItem(LONG kind);
void markTaskComplete(HWND window, LONG line);
// Removes the reminder of the line's item; with remove set, the item itself.
void removeCalReminder(HWND window, LONG line, BOOL remove);
void removeTaskReminder(HWND window, LONG line, BOOL remove);
// Lets the user pick a new time for the line's alarm.
void customTaskTime(HWND window, LONG line);
