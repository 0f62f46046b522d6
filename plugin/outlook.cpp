// outlook.cpp: Outlook access: the application object with its session and change reports,
// items by object identifier, and the searches that tie a calendar or task reminder to its
// Outlook item.
//
// A reminder notification carries only a time and a text. The searches therefore look at the
// days around the alarm with a date restriction written in the user locale's order (the object
// model parses quoted dates that way) and compare subject and time.
#include "outlook.h"

#include <mutex>

#include <strsafe.h>

#include "alarmlist.h"
#include "log.h"
#include "plugin.h"
#include "settings.h"

IPOutlookApp* outlookApp = nullptr;

namespace {

#define FILTER_CCH       160
#define SEARCH_DAYS      14 // the searches look two weeks ahead from their first day
#define TASK_DAYS_BEFORE 2
#define MONTH_DAYS_CAP   30 // the day before the 1st is taken as the 30th where the month has it
#define TASK_MONTH_DAY   28 // ... and, for tasks, two days before the 1st or 2nd as the 28th

// Guards outlookApp: created, taken and released by the window thread and the scan thread.
std::mutex outlookLock;

// The change reports of these folders drive the reload of the list.
const int watchedFolders[] = {olFolderCalendar, olFolderTasks, olFolderContacts};

struct DateFilterDef {
    LPCWSTR dayOrMonthFirst; // orders 0 and 1: two-digit fields, then the year
    LPCWSTR yearFirst;       // order 2
};

// By OutlookDateFilter. The "from" filters take only the first date's three fields.
const DateFilterDef dateFilters[] = {
    {TEXT("[Start] >= \"%02d/%02d/%04d\" AND [Start] < \"%02d/%02d/%04d\""),
     TEXT("[Start] >= \"%04d/%02d/%02d\" AND [Start] < \"%04d/%02d/%02d\"")},
    {TEXT("[DueDate] >= \"%02d/%02d/%04d\" AND [DueDate] < \"%02d/%02d/%04d\""),
     TEXT("[DueDate] >= \"%04d/%02d/%02d\" AND [DueDate] < \"%04d/%02d/%02d\"")},
    {TEXT("[Start] >= \"%02d/%02d/%04d\""), TEXT("[Start] >= \"%04d/%02d/%02d\"")},
    {TEXT("[DueDate] >= \"%02d/%02d/%04d\""), TEXT("[DueDate] >= \"%04d/%02d/%02d\"")},
};

void releaseObject(IUnknown* object) {
    if (object) object->Release();
}

// Folder notifications (local changes) for one folder of a fresh session.
void watchFolder(IPOutlookApp* app, int number) {
    IFolder* folder = nullptr;
    if (FAILED(app->GetDefaultFolder(number, &folder)) || !folder) return;
    IItem* properties = nullptr;
    if (SUCCEEDED(folder->QueryInterface(IID_IItem, reinterpret_cast<void**>(&properties))) &&
        properties) {
        CEPROPVAL value = {};
        value.propid = PIMPR_FOLDERNOTIFICATIONS;
        value.val.ulVal = PIMFOLDERNOTIFICATION_LOCAL;
        properties->SetProps(0, 1, &value);
        properties->Release();
    }
    folder->Release();
}

// Caller holds outlookLock.
BOOL openLocked(void) {
    if (outlookApp) return TRUE;
    IPOutlookApp* app = nullptr;
    HRESULT result = CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IPOutlookApp, reinterpret_cast<void**>(&app));
    if (SUCCEEDED(result) && app)
        result = app->Logon(static_cast<long>(HandleToLong(pluginState.pluginWindow)));
    if (FAILED(result) || !app) {
        releaseObject(app);
        if (logBit(LOG_BASIC)) writeLog("openOutlook failed!");
        return FALSE;
    }
    for (int number : watchedFolders)
        watchFolder(app, number);
    outlookApp = app;
    return TRUE;
}

BOOL leapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 30;
    return month == 2 && leapYear(year) ? 29 : days[month - 1];
}

SYSTEMTIME midnight(const SYSTEMTIME& time) {
    SYSTEMTIME day = {};
    day.wYear = time.wYear;
    day.wMonth = time.wMonth;
    day.wDay = time.wDay;
    return day;
}

// The first day of an appointment search: the day before the alarm's. On the 1st of a month
// that is the 30th of the month before, or its last day when it is shorter (the 30th would be
// no date there); on 1 January the search starts on the day itself.
SYSTEMTIME appointmentSearchStart(const SYSTEMTIME& alarm) {
    SYSTEMTIME day = midnight(alarm);
    if (day.wDay > 1) {
        --day.wDay;
    } else if (day.wMonth > 1) {
        --day.wMonth;
        int last = daysInMonth(day.wYear, day.wMonth);
        day.wDay = static_cast<WORD>(last < MONTH_DAYS_CAP ? last : MONTH_DAYS_CAP);
    }
    return day;
}

// The first day of a task search: two days before the alarm's; on the 1st or 2nd of a month
// the 28th of the month before; in January on those days the day itself.
SYSTEMTIME taskSearchStart(const SYSTEMTIME& alarm) {
    SYSTEMTIME day = midnight(alarm);
    if (day.wDay > TASK_DAYS_BEFORE) {
        day.wDay = static_cast<WORD>(day.wDay - TASK_DAYS_BEFORE);
    } else if (day.wMonth > 1) {
        --day.wMonth;
        day.wDay = TASK_MONTH_DAY;
    }
    return day;
}

BOOL addDays(const SYSTEMTIME& from, int days, SYSTEMTIME* out) {
    FILETIME ft;
    if (!SystemTimeToFileTime(&from, &ft)) return FALSE;
    ULARGE_INTEGER value;
    value.LowPart = ft.dwLowDateTime;
    value.HighPart = ft.dwHighDateTime;
    value.QuadPart += static_cast<ULONGLONG>(days) * FILETIME_PER_DAY;
    ft.dwLowDateTime = value.LowPart;
    ft.dwHighDateTime = value.HighPart;
    return FileTimeToSystemTime(&ft, out);
}

BOOL sameHourMinute(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wHour == b.wHour && a.wMinute == b.wMinute;
}

SYSTEMTIME timeOfDate(DATE date) {
    SYSTEMTIME time = {};
    if (!VariantTimeToSystemTime(date, &time)) time = SYSTEMTIME{};
    return time;
}

BOOL containsText(LPCWSTR text, BSTR subject) {
    return wcsstr(text, subject ? subject : TEXT("")) != nullptr;
}

// Walks the items that match filter (Find, then FindNext), handing each to match until it
// returns a non-zero object identifier.
template <typename Match>
DWORD searchItems(IPOutlookItemCollection* items, LPCWSTR filter, Match match) {
    BSTR restriction = SysAllocString(filter);
    if (!restriction) return 0;
    DWORD found = 0;
    IDispatch* item = nullptr;
    HRESULT result = items->Find(restriction, &item);
    while (SUCCEEDED(result) && item && !found) {
        found = match(item);
        item->Release();
        item = nullptr;
        if (!found) result = items->FindNext(&item);
    }
    releaseObject(item);
    SysFreeString(restriction);
    return found;
}

// The items of one of the session's folders, or null.
IPOutlookItemCollection* folderItems(IPOutlookApp* app, int number) {
    IFolder* folder = nullptr;
    IPOutlookItemCollection* items = nullptr;
    if (SUCCEEDED(app->GetDefaultFolder(number, &folder)) && folder) folder->get_Items(&items);
    releaseObject(folder);
    return items;
}

} // namespace

BOOL openOutlook(void) {
    std::lock_guard<std::mutex> lock(outlookLock);
    return openLocked();
}

IPOutlookApp* takeOutlook(void) {
    std::lock_guard<std::mutex> lock(outlookLock);
    if (!openLocked()) return nullptr;
    outlookApp->AddRef();
    return outlookApp;
}

void closeOutlook(void) {
    {
        std::lock_guard<std::mutex> lock(outlookLock);
        if (outlookApp) {
            outlookApp->Logoff();
            outlookApp->Release();
            outlookApp = nullptr;
        }
    }
    CoUninitialize();
}

IAppointment* getOutlookAppointment(DWORD oid) {
    if (!oid) return nullptr;
    IPOutlookApp* app = takeOutlook();
    if (!app) return nullptr;
    IDispatch* item = nullptr;
    IAppointment* appointment = nullptr;
    if (SUCCEEDED(app->GetItemFromOid(static_cast<long>(oid), &item)) && item)
        item->QueryInterface(IID_IAppointment, reinterpret_cast<void**>(&appointment));
    releaseObject(item);
    app->Release();
    return appointment;
}

ITask* getOutlookTask(DWORD oid) {
    if (!oid) return nullptr;
    IPOutlookApp* app = takeOutlook();
    if (!app) return nullptr;
    IDispatch* item = nullptr;
    ITask* task = nullptr;
    if (SUCCEEDED(app->GetItemFromOid(static_cast<long>(oid), &item)) && item)
        item->QueryInterface(IID_ITask, reinterpret_cast<void**>(&task));
    releaseObject(item);
    app->Release();
    return task;
}

DWORD findOutlookAppointment(SYSTEMTIME alarmTime, SYSTEMTIME eventTime, LPCWSTR text,
                             BOOL display) {
    if (!text) return 0;
    IPOutlookApp* app = takeOutlook();
    if (!app) return 0;
    DWORD found = 0;
    IPOutlookItemCollection* items = nullptr;
    try {
        items = folderItems(app, olFolderCalendar);
        SYSTEMTIME from = appointmentSearchStart(alarmTime), to = {};
        WCHAR filter[FILTER_CCH];
        if (items && addDays(from, SEARCH_DAYS, &to) &&
            buildDateFilter(filter, FILTER_CCH, FILTER_APPOINTMENTS_RANGE, localeDateOrder(), &from,
                            &to)) {
            BSTR sort = SysAllocString(TEXT("[Start]"));
            items->Sort(sort, VARIANT_FALSE);
            SysFreeString(sort);
            items->put_IncludeRecurrences(getSettings().hideRepeats ? VARIANT_FALSE : VARIANT_TRUE);
            found = searchItems(items, filter, [&](IDispatch* item) -> DWORD {
                IAppointment* appointment = nullptr;
                if (FAILED(item->QueryInterface(IID_IAppointment,
                                                reinterpret_cast<void**>(&appointment))) ||
                    !appointment)
                    return 0;
                BSTR subject = nullptr;
                DATE start = 0;
                VARIANT_BOOL allDay = VARIANT_FALSE;
                appointment->get_Subject(&subject);
                appointment->get_Start(&start);
                appointment->get_AllDayEvent(&allDay);
                SYSTEMTIME begins = timeOfDate(start);
                DWORD oid = 0;
                if (containsText(text, subject) &&
                    (sameHourMinute(begins, alarmTime) || sameHourMinute(begins, eventTime) ||
                     allDay != VARIANT_FALSE)) {
                    long value = 0;
                    appointment->get_Oid(&value);
                    oid = static_cast<DWORD>(value);
                    if (logBit(LOG_BASIC))
                        writeLogFormat("findOutlookAppointment: %02d:%02d, %S", begins.wHour,
                                       begins.wMinute, subject ? subject : TEXT(""));
                    if (display) appointment->Display();
                }
                SysFreeString(subject);
                appointment->Release();
                return oid;
            });
        }
    } catch (...) {
        writeLog("** Exception: findOutlookAppointment **");
    }
    releaseObject(items);
    app->Release();
    return found;
}

DWORD findOutlookTask(SYSTEMTIME alarmTime, SYSTEMTIME eventTime, LPCWSTR text, BOOL display) {
    if (!text) return 0;
    IPOutlookApp* app = takeOutlook();
    if (!app) return 0;
    DWORD found = 0;
    IPOutlookItemCollection* items = nullptr;
    try {
        items = folderItems(app, olFolderTasks);
        SYSTEMTIME from = taskSearchStart(alarmTime), to = {};
        WCHAR filter[FILTER_CCH];
        if (items && addDays(from, SEARCH_DAYS, &to) &&
            buildDateFilter(filter, FILTER_CCH, FILTER_TASKS_RANGE, localeDateOrder(), &from,
                            &to)) {
            found = searchItems(items, filter, [&](IDispatch* item) -> DWORD {
                ITask* task = nullptr;
                if (FAILED(item->QueryInterface(IID_ITask, reinterpret_cast<void**>(&task))) ||
                    !task)
                    return 0;
                BSTR subject = nullptr;
                DATE due = 0;
                task->get_Subject(&subject);
                task->get_DueDate(&due);
                SYSTEMTIME dueTime = timeOfDate(due);
                LPCWSTR name = subject ? subject : TEXT("");
                DWORD oid = 0;
                if (lstrcmpW(text, name) == 0 ||
                    (containsText(text, subject) &&
                     (sameHourMinute(dueTime, alarmTime) || sameHourMinute(dueTime, eventTime)))) {
                    long value = 0;
                    task->get_Oid(&value);
                    oid = static_cast<DWORD>(value);
                    if (display) task->Display();
                }
                SysFreeString(subject);
                task->Release();
                return oid;
            });
        }
    } catch (...) {
        writeLog("** Exception: findOutlookTask **");
    }
    releaseObject(items);
    app->Release();
    return found;
}

LONG localeDateOrder(void) {
    WCHAR value[8] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDATE, value, 8);
    LONG order = value[0] >= u'0' && value[0] <= u'9' ? value[0] - u'0' : 0;
    return order <= 2 ? order : 0;
}

BOOL buildDateFilter(WCHAR* out, size_t cch, LONG filter, LONG order, const SYSTEMTIME* from,
                     const SYSTEMTIME* to) {
    if (!out || !cch || !from || filter < FILTER_APPOINTMENTS_RANGE || filter > FILTER_TASKS_FROM)
        return FALSE;
    out[0] = 0;
    const SYSTEMTIME& last = to ? *to : *from;
    const DateFilterDef& def = dateFilters[filter];
    // The three fields of each date, in the order the locale writes them.
    int a[3], b[3];
    const SYSTEMTIME* dates[2] = {from, &last};
    int* fields[2] = {a, b};
    for (int i = 0; i < 2; ++i) {
        const SYSTEMTIME& d = *dates[i];
        int* f = fields[i];
        if (order == 2) {
            f[0] = d.wYear, f[1] = d.wMonth, f[2] = d.wDay;
        } else if (order == 1) {
            f[0] = d.wDay, f[1] = d.wMonth, f[2] = d.wYear;
        } else {
            f[0] = d.wMonth, f[1] = d.wDay, f[2] = d.wYear;
        }
    }
    LPCWSTR format = order == 2 ? def.yearFirst : def.dayOrMonthFirst;
    return SUCCEEDED(StringCchPrintfW(out, cch, format, a[0], a[1], a[2], b[0], b[1], b[2]));
}
