// scan.cpp: getAlarms, the scan of the device's user notifications that builds the alarm
// list, and the walk over one notification record.
//
// The system returns the handles with the event notifications first and then the timed ones
// in the order they fire, so the list comes out sorted and the walk can stop at the first
// notification beyond the look-ahead window. A notification's trigger keeps the time it was
// set for; when a reminder has been snoozed, only the queue database knows when it really
// fires, so each timed notification's time is read from there, record by record beside the
// handles. Calendar and task reminders name their Outlook item in the dialog title ("POOM:
// 1234"); the item gives the appointment's start, or the task's due date, as the event time.
#include "scan.h"

#include <cstring>

#include <objbase.h>

#include "birthdays.h"
#include "log.h"
#include "notifyqueue.h"
#include "outlook.h"
#include "recurring.h"
#include "settings.h"
#include "startup.h"

namespace {

// Property 1 of a queue record: the UTC time the notification really fires.
#define QUEUE_FIRE_TIME ((1u << 16) | CEVT_FILETIME)
// Room for notifications set between counting the handles and reading them.
#define HANDLE_SLACK 16
// The hour a task reminder gets when its task has no time of its own.
#define DEFAULT_TASK_HOUR 8
// Automation dates from this year on mean "no date" (1 January 4501).
#define NO_DATE_YEAR 4501

struct ScanState {
    AlarmList* list;
    LONG count;
    LONG limit;
    LONG showMask;
    ULONGLONG now;       // local time, FILETIME units
    ULONGLONG windowEnd; // local time, FILETIME units
    BOOL queueStarted;   // the queue has been sought to its first record
    BOOL changed;        // notifications were moved or cleared: the list must be rebuilt
    char seenRepeats[SEEN_REPEATS_CB];
};

enum StepResult {
    STEP_NEXT, // go on with the next handle
    STEP_END,  // the look-ahead window is passed
    STEP_FAIL, // the scan gives up (result 0)
};

ULONGLONG fileTimeValue(const FILETIME& ft) {
    return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// A local SYSTEMTIME as a number for comparisons; 0 (before everything) when it is no date.
ULONGLONG timeValue(const SYSTEMTIME& time) {
    FILETIME ft;
    return SystemTimeToFileTime(&time, &ft) ? fileTimeValue(ft) : 0;
}

ULONGLONG localNow(void) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return timeValue(now);
}

BOOL sameMinute(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay && a.wHour == b.wHour &&
           a.wMinute == b.wMinute;
}

BOOL sameSecond(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return sameMinute(a, b) && a.wSecond == b.wSecond;
}

BOOL isCalendarReminder(LONG kind) {
    return kind == KIND_CAL || kind == KIND_CAL_SNOOZE;
}

// Whether the view menu chose a view that Outlook alone answers.
BOOL outlookOnlyView(void) {
    return currentView == VIEW_INCOMPLETE || currentView == VIEW_OVERDUE ||
           currentView >= VIEW_CATEGORY_FIRST;
}

// The time the queue says this notification fires, as local time. The records follow the
// timed notifications in handle order, so the walk moves one record on for each; a record that
// belongs to another notification (the queue changed under the scan) is looked up by the
// handle instead.
BOOL readQueueTime(ScanState* s, DWORD handle, SYSTEMTIME* out) {
    DWORD index = 0;
    CEOID record = s->queueStarted ? CeSeekDatabase(notifyQueueDb, CEDB_SEEK_CURRENT, 1, &index)
                                   : CeSeekDatabase(notifyQueueDb, CEDB_SEEK_BEGINNING, 0, &index);
    s->queueStarted = TRUE;
    if (record != handle) record = CeSeekDatabase(notifyQueueDb, CEDB_SEEK_CEOID, handle, &index);
    if (record != handle) return FALSE;
    WORD props = 1;
    CEPROPID property = QUEUE_FIRE_TIME;
    LPBYTE buffer = nullptr;
    DWORD size = 0;
    BOOL found = FALSE;
    if (CeReadRecordProps(notifyQueueDb, CEDB_ALLOCATE, &props, &property, &buffer, &size) &&
        buffer && props >= 1 && size >= sizeof(CEPROPVAL)) {
        const CEPROPVAL* value = reinterpret_cast<const CEPROPVAL*>(buffer);
        FILETIME local;
        if (value->propid == QUEUE_FIRE_TIME && !(value->wFlags & CEDB_PROPNOTFOUND) &&
            FileTimeToLocalFileTime(&value->val.filetime, &local) &&
            FileTimeToSystemTime(&local, out))
            found = TRUE;
    }
    if (buffer) LocalFree(buffer);
    return found;
}

// When the notification fires: the queue's time, else the trigger's start, to the minute.
// *differs says that the queue's time is not the trigger's (a snooze moved it).
SYSTEMTIME effectiveTime(ScanState* s, DWORD handle, const CE_NOTIFICATION_TRIGGER* trigger,
                         BOOL* differs) {
    SYSTEMTIME time = {};
    *differs = FALSE;
    if (!trigger || trigger->stStartTime.wYear == 0) return time;
    time = trigger->stStartTime;
    SYSTEMTIME queued;
    // Event notifications have no queue record.
    if (trigger->dwType != CNT_EVENT && notifyQueueDb != INVALID_HANDLE_VALUE &&
        readQueueTime(s, handle, &queued)) {
        *differs = !sameSecond(queued, trigger->stStartTime);
        time = queued;
    }
    time.wSecond = 0;
    time.wMilliseconds = 0;
    // The round trip gives the day of week, which a trigger may leave unset.
    FILETIME ft;
    SYSTEMTIME normal;
    if (SystemTimeToFileTime(&time, &ft) && FileTimeToSystemTime(&ft, &normal)) time = normal;
    return time;
}

SYSTEMTIME timeOfDate(DATE date) {
    SYSTEMTIME time = {};
    if (!VariantTimeToSystemTime(date, &time)) time = SYSTEMTIME{};
    return time;
}

// A calendar reminder's appointment: its start is the event time (marked all-day), and an
// appointment over several days marks the alarm time.
void appointmentDetails(DWORD oid, SYSTEMTIME* eventTime, SYSTEMTIME* alarmTime) {
    IAppointment* appointment = getOutlookAppointment(oid);
    if (!appointment) return;
    DATE start = 0, end = 0;
    VARIANT_BOOL allDay = VARIANT_FALSE;
    if (SUCCEEDED(appointment->get_Start(&start))) {
        appointment->get_End(&end);
        appointment->get_AllDayEvent(&allDay);
        SYSTEMTIME begins = timeOfDate(start), ends = timeOfDate(end);
        if (begins.wYear) {
            *eventTime = begins;
            eventTime->wSecond = 0;
            eventTime->wMilliseconds = 0;
            if (allDay != VARIANT_FALSE)
                setAllDayMark(eventTime);
            else if (begins.wDay != ends.wDay)
                setMultiDayMark(alarmTime);
        }
    }
    appointment->Release();
}

// A task reminder's task: its due date is the event time (a task without one has none).
void taskDetails(DWORD oid, SYSTEMTIME* eventTime) {
    ITask* task = getOutlookTask(oid);
    if (!task) return;
    DATE due = 0;
    if (SUCCEEDED(task->get_DueDate(&due))) {
        SYSTEMTIME dueTime = timeOfDate(due);
        if (dueTime.wYear && dueTime.wYear < NO_DATE_YEAR) *eventTime = dueTime;
    }
    task->Release();
}

// Task reminders of tasks without a time fire at 8:00; with customTask the user wants them at
// taskTime. The notification is set anew at that hour (and only then is the old one
// cleared, so a failure loses nothing), and the list must be rebuilt.
void moveToTaskHour(ScanState* s, HANDLE* slot, const CE_NOTIFICATION_TRIGGER* trigger,
                    const CE_USER_NOTIFICATION* user, SYSTEMTIME* effective) {
    const PluginSettings& settings = getSettings();
    LONG hour = settings.taskTime;
    if (!settings.customTask || !trigger || hour == DEFAULT_TASK_HOUR || hour < 0 || hour > 23)
        return;
    if (effective->wHour != DEFAULT_TASK_HOUR || effective->wMinute != 0 ||
        trigger->stStartTime.wHour != DEFAULT_TASK_HOUR || trigger->stStartTime.wMinute != 0)
        return;
    CE_NOTIFICATION_TRIGGER moved = *trigger;
    moved.stStartTime.wHour = static_cast<WORD>(hour);
    moved.stStartTime.wMinute = 0;
    HANDLE fresh =
        CeSetUserNotificationEx(nullptr, &moved, const_cast<CE_USER_NOTIFICATION*>(user));
    if (!fresh) return;
    CeClearUserNotification(*slot);
    *slot = fresh;
    effective->wHour = static_cast<WORD>(hour);
    effective->wMinute = 0;
    reloadAlarms(FALSE);
    s->changed = TRUE;
}

BOOL insideRecord(const void* pointer, size_t bytes, const BYTE* record, DWORD size) {
    const BYTE* p = static_cast<const BYTE*>(pointer);
    return p >= record && p <= record + size && bytes <= static_cast<size_t>(record + size - p);
}

BOOL stringInside(const WCHAR* text, const BYTE* record, DWORD size) {
    return !text || insideRecord(text, sizeof(WCHAR), record, size);
}

// The pointers of a record lead into the record itself; one that does not is not read.
BOOL recordSound(const BYTE* record, DWORD size) {
    if (size < sizeof(CE_NOTIFICATION_INFO_HEADER)) return FALSE;
    auto header = reinterpret_cast<const CE_NOTIFICATION_INFO_HEADER*>(record);
    const CE_NOTIFICATION_TRIGGER* t = header->pcent;
    const CE_USER_NOTIFICATION* u = header->pceun;
    if (t && (!insideRecord(t, sizeof *t, record, size) ||
              !stringInside(t->lpszApplication, record, size) ||
              !stringInside(t->lpszArguments, record, size)))
        return FALSE;
    if (u && (!insideRecord(u, sizeof *u, record, size) ||
              !stringInside(u->pwszDialogTitle, record, size) ||
              !stringInside(u->pwszDialogText, record, size) ||
              !stringInside(u->pwszSound, record, size)))
        return FALSE;
    return TRUE;
}

// One notification: its time, the window, its kind, the filters, then the stored item.
StepResult scanRecord(ScanState* s, HANDLE* slot, const CE_NOTIFICATION_INFO_HEADER* header) {
    const PluginSettings& settings = getSettings();
    const CE_NOTIFICATION_TRIGGER* trigger = header->pcent;
    const CE_USER_NOTIFICATION* user = header->pceun;
    BOOL differs = FALSE;
    SYSTEMTIME effective = effectiveTime(s, HandleToULong(*slot), trigger, &differs);
    // Only the timed notifications come in time order: an event notification that carries a
    // far time is passed over, not taken as the end of the window.
    if (effective.wYear && timeValue(effective) > s->windowEnd)
        return kindShown(s->showMask, KIND_EVENT) || trigger->dwType == CNT_EVENT ? STEP_NEXT
                                                                                  : STEP_END;

    LONG kind = classifyNotification(trigger, differs, settings.hideRepeats, s->seenRepeats);
    if (kind == KIND_DROP) return STEP_NEXT;
    if (kind == KIND_CLOCK && s->count > 0) {
        const AlarmItem& before = s->list->items[s->count - 1];
        if (before.kind == KIND_CLOCK && sameMinute(before.alarmTime, effective)) return STEP_NEXT;
    }
    if (kind == KIND_TASK) moveToTaskHour(s, slot, trigger, user, &effective);
    if (!kindShown(s->showMask, static_cast<DWORD>(kind))) return STEP_NEXT;
    if (kind == KIND_VOLUME && !settings.quietMode) {
        // Quiet mode is already over: its end alarm has nothing left to do.
        CeClearUserNotification(*slot);
        return STEP_NEXT;
    }
    if (kind != KIND_EVENT && timeValue(effective) < s->now) return STEP_NEXT;

    SYSTEMTIME eventTime = {};
    DWORD oid = 0;
    if (isCalendarReminder(kind) || kind == KIND_TASK) oid = poomOidOf(user);
    if (oid && isCalendarReminder(kind)) appointmentDetails(oid, &eventTime, &effective);
    if (oid && kind == KIND_TASK) taskDetails(oid, &eventTime);

    AlarmItem* item = &s->list->items[s->count];
    item->handle = HandleToULong(*slot);
    item->kind = static_cast<DWORD>(kind);
    item->repeating = 0;
    item->alarmTime = effective;
    item->eventTime = eventTime;
    item->oid = oid;
    defaultEventTime(item);
    std::u16string text = buildAlarmText(trigger, user, &item->kind, &item->repeating);
    setAlarmText(item, text.c_str());
    if (isCalendarReminder(kind) && !item->oid)
        item->oid = findOutlookAppointment(item->alarmTime, item->eventTime, item->text, FALSE);
    // A repeat counts as seen once it is listed, not when a past or hidden one was passed.
    if (kind == KIND_ZOLVANE && settings.hideRepeats)
        rememberRepeat(trigger->lpszArguments, s->seenRepeats, sizeof s->seenRepeats);
    ++s->count;
    return STEP_NEXT;
}

StepResult scanHandle(ScanState* s, HANDLE* slot) {
    DWORD size = 0;
    CeGetUserNotification(*slot, 0, &size, nullptr);
    if (size == 0) {
        // Gone since the handles were read.
        writeLog("** CeGetUserNotification() failed **");
        return STEP_NEXT;
    }
    // Zero bytes after the record end every text in it.
    BYTE* record = static_cast<BYTE*>(LocalAlloc(LPTR, size + sizeof(WCHAR)));
    if (!record) {
        writeLog("** pAlarmBuffer allocation failed **");
        return STEP_FAIL;
    }
    StepResult result = STEP_FAIL;
    if (!CeGetUserNotification(*slot, size, &size, record)) {
        writeLog("** CeGetUserNotification() failed **");
    } else if (!recordSound(record, size)) {
        writeLog("** CeGetUserNotification() failed **");
        result = STEP_NEXT;
    } else {
        result = scanRecord(s, slot, reinterpret_cast<CE_NOTIFICATION_INFO_HEADER*>(record));
    }
    LocalFree(record);
    return result;
}

// The notification walk; 0 or more items, or SCAN_CHANGED.
LONG scanNotifications(AlarmList* list, LONG maxAlarms, LONG showMask) {
    const PluginSettings& settings = getSettings();
    if (logBit(LOG_SIGNAL)) writeLog("getAlarms start");
    lastDateDay = 0;
    ScanState state = {};
    ScanState* s = &state;
    s->list = list;
    s->showMask = showMask;
    LONG days = 0;
    alarmLimits(maxAlarms, &s->limit, &days);
    s->now = localNow();
    s->windowEnd = s->now + static_cast<ULONGLONG>(days) * FILETIME_PER_DAY;
    ULARGE_INTEGER end;
    end.QuadPart = s->windowEnd;
    FILETIME windowEnd = {end.LowPart, end.HighPart};

    if (outlookOnlyView())
        return getCalItemsWithoutAlarm(list, showMask, 0, s->limit, 1, &windowEnd);
    checkForRecurringAlarms();

    DWORD needed = 0;
    CeGetUserNotificationHandles(nullptr, 0, &needed);
    if (needed == 0) {
        writeLog("** CeGetUserNotificationHandles() failed or no alarms **");
        return 0;
    }
    if (logBit(LOG_BASIC))
        writeLogFormat("getAlarms: %ld found", static_cast<int>(needed)); // %ld: 32 bits
    DWORD capacity = needed + HANDLE_SLACK;
    HANDLE* handles = static_cast<HANDLE*>(LocalAlloc(LPTR, capacity * sizeof(HANDLE)));
    if (!handles) {
        writeLog("** CeGetUserNotificationHandles() memory alloc failed **");
        return 0;
    }
    DWORD count = 0;
    if (!CeGetUserNotificationHandles(handles, capacity, &count) || count > capacity) {
        LocalFree(handles);
        writeLog("** CeGetUserNotificationHandles() read failed **");
        return 0;
    }

    for (DWORD i = 0; i < count && s->count < s->limit; ++i) {
        StepResult step = STEP_NEXT;
        try {
            step = scanHandle(s, &handles[i]);
        } catch (...) {
            writeLogFormat("** Exception in getAlarms %d **", static_cast<int>(i));
            break;
        }
        if (step == STEP_FAIL) {
            LocalFree(handles);
            return 0;
        }
        if (step == STEP_END) break;
    }
    LocalFree(handles);

    // Two reminders of one task: the later one goes.
    for (LONG i = 0; i < s->count; ++i) {
        const AlarmItem& first = list->items[i];
        if (first.kind != KIND_TASK || !first.oid) continue;
        for (LONG j = i + 1; j < s->count; ++j) {
            AlarmItem& later = list->items[j];
            if (later.kind != KIND_TASK || later.oid != first.oid) continue;
            CeClearUserNotification(ULongToHandle(later.handle));
            later.oid = 0;
            s->changed = TRUE;
        }
    }
    if (logBit(LOG_SIGNAL)) writeLog("end getAlarms");
    LONG result = s->count;
    if (!s->changed && settings.calenderNoAlarm)
        result = getCalItemsWithoutAlarm(list, showMask, result, s->limit, 1, &windowEnd);
    return s->changed ? SCAN_CHANGED : result;
}

} // namespace

LONG getAlarms(AlarmList* list, LONG maxAlarms, LONG showMask) {
    if (!list) {
        writeLog("** pNewAlarmData not allocated **");
        return 0;
    }
    // Outlook is used from this thread too.
    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    LONG result = scanNotifications(list, maxAlarms, showMask);
    if (SUCCEEDED(com)) CoUninitialize();
    return result;
}
