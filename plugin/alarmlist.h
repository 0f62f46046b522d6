// alarmlist.h: the list of coming alarms that the item shows: its records, the kinds of alarm,
// the show mask and its views, the limits every writer keeps, and the hand-over of a new list
// from the reload thread to the window.
//
// A scan builds a fresh AlarmList on the reload thread and publishes it with replaceAlarmList.
// Readers on other threads (the painter, the navigation, the alarm thread) hold the list lock
// while they use alarmList, so the old list is never freed under them: the swap happens under
// the lock, the free after it, when no reader can still hold the old pointer.
#pragma once

#include <windows.h>

// The list's fixed capacity; no writer stores more.
#define ALARM_LIST_SIZE 50
// With maxAlarms < 0 (a number of days), at most this many items.
#define ALARM_DAYS_MAX_ITEMS 49
// The look-ahead window when maxAlarms counts items.
#define ALARM_WINDOW_DAYS 30
// One day in FILETIME units (100 ns).
#define FILETIME_PER_DAY 864000000000LL

enum AlarmKind {
    KIND_SYSTEM = 0,  // system-internal notification
    KIND_EVENT,       // started by an event ("AppRun..."), or a zvWakeup wake-up notification
    KIND_CLOCK,       // clock alarm
    KIND_APP,         // another program's timed notification
    KIND_PI,          // Pocket Informant
    KIND_AF,          // Agenda Fusion
    KIND_CAL,         // calendar reminder
    KIND_CAL_RECUR,   // calendar reminder of a recurring appointment
    KIND_CAL_SNOOZE,  // snoozed calendar reminder
    KIND_CAL_SILENT,  // appointment without reminder
    KIND_TASK,        // task reminder
    KIND_ZOLVANE,     // the product's custom alarm
    KIND_NOTE,        // alarmNote
    KIND_TASK_SILENT, // task without reminder
    KIND_BIRTHDAY,    // birthday
    KIND_ANNIV,       // anniversary
    KIND_VOLUME,      // the product's quiet-mode end
    KIND_COMPANION,   // an alarm of the companion phone-profile product (no icon of its own)
    ALARM_KIND_COUNT
};

// The time markers the painter reads: a multi-day appointment's alarmTime has seconds 2 and
// milliseconds 99; an all-day item has hour 0, minute 0 and seconds 1.
#define MULTIDAY_SECOND 2
#define MULTIDAY_MS     99
#define ALLDAY_SECOND   1

struct AlarmItem {
    DWORD handle;         // the user notification behind the item; 0 for Outlook-only items
    DWORD kind;           // AlarmKind
    DWORD repeating;      // 1: a custom alarm marked as repeating
    SYSTEMTIME alarmTime; // local: when the notification fires (or the item's own time)
    SYSTEMTIME eventTime; // local: when the thing itself happens; year 0 = unset
    WCHAR* text;          // owned display text (LocalAlloc), or null
    DWORD oid;            // Outlook object identifier, 0 = none
};

struct AlarmList {
    AlarmItem items[ALARM_LIST_SIZE];
};

// The list the window shows and its count; read them only under lockAlarmList.
extern AlarmList* alarmList;
extern LONG alarmCount;

// A zero-filled list, or null when memory is short.
AlarmList* createAlarmList(void);
// Frees every item's text and the list (null is fine).
void deleteAlarmList(AlarmList* list);
// Frees the list the window shows; the window then shows no alarm.
void freeAlarmList(void);

// The list lock is made at library attach and deleted at detach.
void initAlarmListLock(void);
void deleteAlarmListLock(void);
void lockAlarmList(void);
void unlockAlarmList(void);
// Publishes a new list with its count and frees the old one.
void replaceAlarmList(AlarmList* fresh, LONG count);

// Replaces an item's text with a copy of text (null or empty clears it). FALSE when memory is
// short; the item then has no text.
BOOL setAlarmText(AlarmItem* item, LPCWSTR text);
// Opens a slot at position for an item inserted at its time: the items from there to the end
// move one place up (the last one falls off a full list) and the slot is cleared. *count grows
// unless the list was full. FALSE when position is outside 0..*count or 0..ALARM_LIST_SIZE-1.
BOOL insertAlarmItem(AlarmList* list, LONG* count, LONG position);

// How many items a scan may store and how many days ahead it looks, for a maxAlarms setting.
// maxAlarms 0 allows no notification items.
void alarmLimits(LONG maxAlarms, LONG* maxItems, LONG* windowDays);

// eventTime takes alarmTime's date and time when it is unset or lies before alarmTime by date.
void defaultEventTime(AlarmItem* item);

BOOL isAllDayMark(const SYSTEMTIME* time);
BOOL isMultiDayMark(const SYSTEMTIME* time);
void setAllDayMark(SYSTEMTIME* time);
void setMultiDayMark(SYSTEMTIME* time);

// ---- Show mask and views -----------------------------------------------------------------------

// The views of the filter menu. VIEW_RESTORE goes back to flagShowAlarms; VIEW_CLOSE changes
// nothing; views from VIEW_CATEGORY_FIRST on show the tasks of one category.
#define VIEW_ALL            1
#define VIEW_APPOINTMENTS   2
#define VIEW_DUE_TASKS      3
#define VIEW_INCOMPLETE     4
#define VIEW_ZOLVANE        5
#define VIEW_SYSTEM         6
#define VIEW_RESTORE        7
#define VIEW_CLOSE          8
#define VIEW_OVERDUE        9
#define VIEW_CATEGORY_FIRST 10

#define MASK_ALL          0x13FFF
#define MASK_APPOINTMENTS 0x3C0
#define MASK_TASKS        0x2400
#define MASK_ZOLVANE      0x21800
#define MASK_SYSTEM       0x3

// The temporary view and its mask (0 or less: none, flagShowAlarms applies).
extern LONG currentView;
extern LONG viewMask;
// The mask of a view (0 for VIEW_RESTORE, -1 for VIEW_CLOSE and unknown views).
LONG maskOfView(LONG view);
// The mask a scan uses: the temporary view's when it is 1 or more, else flagShowAlarms.
LONG currentShowMask(void);
// Whether the mask lists items of a kind.
BOOL kindShown(LONG mask, DWORD kind);

// ---- Date and time texts ---------------------------------------------------------------------

#define DATETIME_CCH 100

#define DT_DATE_TIME  0
#define DT_DATE_ONLY  1
#define DT_TIME_ONLY  2
#define DT_TIME_PLAIN 3 // time only, without the compressed morning/afternoon marker

// The day of month of the last date a grouped list printed; a scan resets it to 0.
extern LONG lastDateDay;

// Writes an item's date/time text into out (at least DATETIME_CCH units), in the user
// locale's formats and the settings dateFormat, includeDay, dayLen and compressDate. allDay
// prints "All-Day" for the time; noDay leaves out the weekday; group prints a date only on the
// first item of its day.
void getDateTime(SYSTEMTIME time, WCHAR* out, LONG allDay, LONG mode, LONG noDay, LONG group);
