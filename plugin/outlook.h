// outlook.h: the item's access to Pocket Outlook (calendar, tasks, contacts) through its object
// model: the application object the item holds, items fetched by their object identifier, the
// searches that find the appointment or task behind a reminder, and the date filters of those
// searches in the user locale's date order.
//
// The window thread and the scan thread both use Outlook; the application object is created
// and released under a lock, and every user takes a reference of its own for as long as it
// needs the object, so a close on one thread never pulls it from under the other.
#pragma once

#include <windows.h>
#include <pimstore.h>

// The Outlook application object, or null while Outlook is not started. Use takeOutlook
// rather than this pointer from threads other than the window's.
extern IPOutlookApp* outlookApp;

// Starts Outlook when it is not started: creates the application object, logs on with the
// item window and asks for change reports on the calendar, tasks and contacts folders (they
// arrive as PIM_ITEM_* messages in the item window). 1 when Outlook is open afterwards; 0
// after logging "openOutlook failed!", and the next caller tries again.
BOOL openOutlook(void);
// Logs off Outlook, releases the application object and leaves the COM apartment.
void closeOutlook(void);
// Opens Outlook when needed and returns the application object with a reference of the
// caller's own (Release it), or null when Outlook cannot be opened.
IPOutlookApp* takeOutlook(void);

// The appointment or task with an object identifier, with a reference the caller releases, or
// null (Outlook not available, no such item, or an item of another kind).
IAppointment* getOutlookAppointment(DWORD oid);
ITask* getOutlookTask(DWORD oid);

// The appointment behind a calendar reminder: from the day before the alarm's day, two weeks
// of the calendar (with the occurrences of recurring appointments unless hideRepeats is on)
// are searched for the first appointment whose subject text contains and that starts at the
// alarm or event time (hour and minute) or lasts all day. Returns its object identifier, or
// 0; with display set the appointment is opened in Outlook.
DWORD findOutlookAppointment(SYSTEMTIME alarmTime, SYSTEMTIME eventTime, LPCWSTR text,
                             BOOL display);
// The task behind a task reminder: from two days before the alarm's day, two weeks of tasks
// by due date; a task matches when its subject is the whole text, or when text contains it
// and it is due at the alarm or event time (hour and minute). Object identifier or 0.
DWORD findOutlookTask(SYSTEMTIME alarmTime, SYSTEMTIME eventTime, LPCWSTR text, BOOL display);

// ---- Date filters ------------------------------------------------------------------------------

enum OutlookDateFilter {
    FILTER_APPOINTMENTS_RANGE, // [Start] from one day (inclusive) to another (exclusive)
    FILTER_TASKS_RANGE,        // [DueDate] likewise
    FILTER_APPOINTMENTS_FROM,  // [Start] from one day on
    FILTER_TASKS_FROM,         // [DueDate] from one day on
};

// The short-date order of the user locale: 0 month-day-year, 1 day-month-year, 2
// year-month-day.
LONG localeDateOrder(void);
// Writes an Outlook restriction of the given kind into out (cch units), its dates written in
// the locale's order (order, as localeDateOrder gives it). to is used by the range filters
// only. FALSE when the text does not fit.
BOOL buildDateFilter(WCHAR* out, size_t cch, LONG filter, LONG order, const SYSTEMTIME* from,
                     const SYSTEMTIME* to);
