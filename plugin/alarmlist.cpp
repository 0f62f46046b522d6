// alarmlist.cpp: the alarm list's storage, its limits and markers, the views of the filter menu,
// and the hand-over of a new list to the window.
#include "alarmlist.h"

#include <cstring>

#include "settings.h"

AlarmList* alarmList = nullptr;
LONG alarmCount = 0;
LONG currentView = 0;
LONG viewMask = 0;

namespace {

// Guards alarmList and alarmCount against a swap while a reader uses them; it lives from
// library attach to detach, like the process-wide lock.
CRITICAL_SECTION listLock;

void freeItemText(AlarmItem* item) {
    if (item->text) LocalFree(item->text);
    item->text = nullptr;
}

} // namespace

AlarmList* createAlarmList(void) {
    return static_cast<AlarmList*>(LocalAlloc(LPTR, sizeof(AlarmList)));
}

void deleteAlarmList(AlarmList* list) {
    if (!list) return;
    for (AlarmItem& item : list->items)
        freeItemText(&item);
    LocalFree(list);
}

void initAlarmListLock(void) {
    InitializeCriticalSection(&listLock);
}

void deleteAlarmListLock(void) {
    DeleteCriticalSection(&listLock);
}

void lockAlarmList(void) {
    EnterCriticalSection(&listLock);
}

void unlockAlarmList(void) {
    LeaveCriticalSection(&listLock);
}

void replaceAlarmList(AlarmList* fresh, LONG count) {
    lockAlarmList();
    AlarmList* old = alarmList;
    alarmList = fresh;
    alarmCount = fresh ? count : 0;
    unlockAlarmList();
    deleteAlarmList(old);
}

void freeAlarmList(void) {
    replaceAlarmList(nullptr, 0);
}

BOOL setAlarmText(AlarmItem* item, LPCWSTR text) {
    freeItemText(item);
    if (!text || !*text) return TRUE;
    size_t cch = lstrlenW(text) + 1;
    item->text = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, cch * sizeof(WCHAR)));
    if (!item->text) return FALSE;
    memcpy(item->text, text, cch * sizeof(WCHAR));
    return TRUE;
}

BOOL insertAlarmItem(AlarmList* list, LONG* count, LONG position) {
    if (!list || !count || position < 0 || position > *count || position >= ALARM_LIST_SIZE)
        return FALSE;
    LONG last = *count < ALARM_LIST_SIZE ? *count : ALARM_LIST_SIZE - 1;
    // A full list loses its last item to make room.
    if (*count >= ALARM_LIST_SIZE) freeItemText(&list->items[last]);
    memmove(&list->items[position + 1], &list->items[position],
            static_cast<size_t>(last - position) * sizeof(AlarmItem));
    memset(&list->items[position], 0, sizeof(AlarmItem));
    if (*count < ALARM_LIST_SIZE) ++*count;
    return TRUE;
}

void alarmLimits(LONG maxAlarms, LONG* maxItems, LONG* windowDays) {
    if (maxAlarms > 0) {
        *maxItems = maxAlarms < ALARM_LIST_SIZE ? maxAlarms : ALARM_LIST_SIZE;
        *windowDays = ALARM_WINDOW_DAYS;
    } else if (maxAlarms < 0) {
        *maxItems = ALARM_DAYS_MAX_ITEMS;
        // -maxAlarms without overflow for the most negative value
        *windowDays = maxAlarms < -36500 ? 36500 : -maxAlarms;
    } else {
        *maxItems = 0;
        *windowDays = 0;
    }
}

void defaultEventTime(AlarmItem* item) {
    const SYSTEMTIME& a = item->alarmTime;
    SYSTEMTIME& e = item->eventTime;
    bool unset = e.wYear == 0 && e.wMonth == 0 && e.wDay == 0 && e.wHour == 0 && e.wMinute == 0 &&
                 e.wSecond == 0 && e.wMilliseconds == 0 && e.wDayOfWeek == 0;
    bool before = e.wYear != a.wYear     ? e.wYear < a.wYear
                  : e.wMonth != a.wMonth ? e.wMonth < a.wMonth
                                         : e.wDay < a.wDay;
    if (!unset && !before) return;
    e.wYear = a.wYear;
    e.wMonth = a.wMonth;
    e.wDay = a.wDay;
    e.wDayOfWeek = a.wDayOfWeek;
    e.wHour = a.wHour;
    e.wMinute = a.wMinute;
}

BOOL isAllDayMark(const SYSTEMTIME* time) {
    return time->wHour == 0 && time->wMinute == 0 && time->wSecond == ALLDAY_SECOND;
}

BOOL isMultiDayMark(const SYSTEMTIME* time) {
    return time->wSecond == MULTIDAY_SECOND && time->wMilliseconds == MULTIDAY_MS;
}

void setAllDayMark(SYSTEMTIME* time) {
    time->wHour = 0;
    time->wMinute = 0;
    time->wSecond = ALLDAY_SECOND;
}

void setMultiDayMark(SYSTEMTIME* time) {
    time->wSecond = MULTIDAY_SECOND;
    time->wMilliseconds = MULTIDAY_MS;
}

LONG maskOfView(LONG view) {
    switch (view) {
    case VIEW_ALL: return MASK_ALL;
    case VIEW_APPOINTMENTS: return MASK_APPOINTMENTS;
    case VIEW_DUE_TASKS:
    case VIEW_INCOMPLETE:
    case VIEW_OVERDUE: return MASK_TASKS;
    case VIEW_ZOLVANE: return MASK_ZOLVANE;
    case VIEW_SYSTEM: return MASK_SYSTEM;
    case VIEW_RESTORE: return 0;
    default: return view >= VIEW_CATEGORY_FIRST ? MASK_TASKS : -1;
    }
}

LONG currentShowMask(void) {
    return viewMask >= 1 ? viewMask : getSettings().flagShowAlarms;
}

BOOL kindShown(LONG mask, DWORD kind) {
    return kind < 32 && (static_cast<DWORD>(mask) & (1u << kind)) != 0;
}
