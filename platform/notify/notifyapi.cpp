// notifyapi.cpp: the user notification functions of notify.h (CeSetUserNotificationEx,
// CeGetUserNotificationHandles, CeGetUserNotification, CeRunAppAtEvent ...) over the
// notification database (notifystore.h).
//
// Everything a caller passes is checked before it is stored: sizes, kinds, times, and the
// length of every text (a text longer than kMaxTextChars is refused, so no record can grow
// without bound). The record CeGetUserNotification returns is laid out in the caller's buffer
// with this build's structure sizes; its byte count is what the caller must allocate.
#include <cstring>

#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/strings.h"
#include "kernel/timezone.h"
#include "kernel/trace.h"
#include "notify.h"
#include "notify/notifystore.h"

namespace {

using ce::notify::Notification;
using ce::notify::Text;

// The longest text of a notification, in characters. Far above any title, command line or
// path a device program writes.
constexpr size_t kMaxTextChars = 4096;

// The size a 32-bit device program gives CE_NOTIFICATION_TRIGGER.dwSize.
constexpr DWORD kTriggerSize32 = 52;

bool readText(const WCHAR* p, Text* out) {
    if (!p) {
        out->reset();
        return true;
    }
    size_t n = 0;
    while (p[n]) {
        if (++n > kMaxTextChars) return false;
    }
    *out = std::u16string(p, n);
    return true;
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// A local SYSTEMTIME of the device as UTC; false when it is not a valid date and time.
bool localToUtc(const SYSTEMTIME& st, int64_t* utc) {
    FILETIME ft;
    if (!SystemTimeToFileTime(&st, &ft)) return false;
    auto conf = ce::deviceConf();
    *utc = ce::localToUtc(ce::zoneInfoOf(*conf), ce::fileTimeToInt(ft));
    return true;
}

SYSTEMTIME utcToLocal(const std::optional<int64_t>& utc) {
    SYSTEMTIME st{};
    if (!utc) return st;
    auto conf = ce::deviceConf();
    FILETIME ft = ce::intToFileTime(ce::utcToLocal(ce::zoneInfoOf(*conf), *utc));
    if (!FileTimeToSystemTime(&ft, &st)) st = SYSTEMTIME{};
    return st;
}

// Builds the stored form of a trigger and user notification; false (with the error set) when
// they are not acceptable.
bool makeNotification(const CE_NOTIFICATION_TRIGGER* t, const CE_USER_NOTIFICATION* u,
                      Notification* n) {
    if (!t || t->dwSize < kTriggerSize32 || t->dwSize > sizeof(CE_NOTIFICATION_TRIGGER))
        return fail(ERROR_INVALID_PARAMETER);
    if (t->dwType < CNT_EVENT || t->dwType > CNT_CLASSICTIME) return fail(ERROR_INVALID_PARAMETER);
    n->type = t->dwType;
    if (t->dwType == CNT_EVENT) {
        if (t->dwEvent == NOTIFICATION_EVENT_NONE || t->dwEvent > NOTIFICATION_EVENT_LAST)
            return fail(ERROR_INVALID_PARAMETER);
        n->event = t->dwEvent;
    }
    if (!t->lpszApplication) return fail(ERROR_INVALID_PARAMETER);
    if (!readText(t->lpszApplication, &n->application) ||
        !readText(t->lpszArguments, &n->arguments))
        return fail(ERROR_INVALID_PARAMETER);
    int64_t start = 0;
    if (t->dwType != CNT_EVENT) {
        if (!localToUtc(t->stStartTime, &start)) return fail(ERROR_INVALID_PARAMETER);
        n->startUtc = start;
        n->queueUtc = start;
    } else if (t->stStartTime.wYear != 0 && localToUtc(t->stStartTime, &start)) {
        n->startUtc = start; // kept for the reader; an event notification does not fire by it
    }
    if (t->dwType == CNT_PERIOD) {
        int64_t end = 0;
        if (!localToUtc(t->stEndTime, &end) || end < start) return fail(ERROR_INVALID_PARAMETER);
        n->endUtc = end;
    }
    if (u) {
        n->hasUser = true;
        n->actionFlags = u->ActionFlags;
        n->maxSound = u->nMaxSound;
        n->reserved = u->dwReserved;
        if (!readText(u->pwszDialogTitle, &n->title) || !readText(u->pwszDialogText, &n->text) ||
            !readText(u->pwszSound, &n->sound))
            return fail(ERROR_INVALID_PARAMETER);
    }
    return true;
}

uint32_t handleOf(HANDLE h) {
    return HandleToULong(h);
}

// Places a text in the record and returns where it went (NULL for an absent text).
WCHAR* placeText(LPBYTE base, size_t* offset, const Text& t) {
    if (!t) return nullptr;
    auto p = reinterpret_cast<WCHAR*>(base + *offset);
    if (!t->empty()) std::memcpy(p, t->data(), t->size() * sizeof(WCHAR));
    p[t->size()] = u'\0';
    *offset += (t->size() + 1) * sizeof(WCHAR);
    return p;
}

size_t textBytes(const Text& t) {
    return t ? (t->size() + 1) * sizeof(WCHAR) : 0;
}

constexpr size_t alignUp(size_t v) {
    return (v + alignof(void*) - 1) & ~(alignof(void*) - 1);
}

bool sameApplication(const Text& a, const WCHAR* b) {
    return a && ce::equalNoCase(*a, std::u16string_view(b));
}

} // namespace

// Creates a notification or replaces one (which keeps its handle). See notify.h.
WINBASEAPI HANDLE CeSetUserNotificationEx(HANDLE hNotification, CE_NOTIFICATION_TRIGGER* pcnt,
                                          CE_USER_NOTIFICATION* pceun) {
    Notification n;
    if (!makeNotification(pcnt, pceun, &n)) return nullptr;
    DWORD r;
    if (hNotification) {
        n.handle = handleOf(hNotification);
        r = ce::notify::replaceNotification(n);
    } else {
        r = ce::notify::addNotification(n);
    }
    if (r != ERROR_SUCCESS) {
        SetLastError(r);
        return nullptr;
    }
    CE_TRACE("notify", "handle %u type %u", n.handle, n.type);
    return ULongToHandle(n.handle);
}

// The classic form: a CNT_CLASSICTIME trigger for pwszAppName at the local time lpTime.
WINBASEAPI HANDLE CeSetUserNotification(HANDLE hNotification, TCHAR* pwszAppName,
                                        SYSTEMTIME* lpTime,
                                        PCE_USER_NOTIFICATION lpUserNotification) {
    if (!pwszAppName || !lpTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    CE_NOTIFICATION_TRIGGER t{};
    t.dwSize = sizeof t;
    t.dwType = CNT_CLASSICTIME;
    t.lpszApplication = pwszAppName;
    t.stStartTime = *lpTime;
    return CeSetUserNotificationEx(hNotification, &t, lpUserNotification);
}

// Removes a notification; a reminder on the screen goes with it (the engine follows the
// database).
WINBASEAPI BOOL CeClearUserNotification(HANDLE hNotification) {
    if (!hNotification) return fail(ERROR_INVALID_HANDLE);
    DWORD r = ce::notify::removeNotification(handleOf(hNotification));
    return r == ERROR_SUCCESS ? TRUE : fail(r);
}

// Event notifications first in creation order, then the timed ones in the order they fire.
// With cHandles 0 only the count is reported (TRUE).
WINBASEAPI BOOL CeGetUserNotificationHandles(HANDLE* rghNotifications, DWORD cHandles,
                                             LPDWORD pcHandlesNeeded) {
    if (!pcHandlesNeeded || (cHandles && !rghNotifications)) return fail(ERROR_INVALID_PARAMETER);
    std::vector<uint32_t> handles;
    DWORD r = ce::notify::listHandles(&handles);
    if (r != ERROR_SUCCESS) return fail(r);
    *pcHandlesNeeded = static_cast<DWORD>(handles.size());
    if (cHandles == 0) return TRUE;
    if (cHandles < handles.size()) return fail(ERROR_INSUFFICIENT_BUFFER);
    for (size_t i = 0; i < handles.size(); ++i)
        rghNotifications[i] = ULongToHandle(handles[i]);
    return TRUE;
}

// One buffer: header, trigger, user notification, then the strings they point at.
WINBASEAPI BOOL CeGetUserNotification(HANDLE hNotification, DWORD cBufferSize,
                                      LPDWORD pcBytesNeeded, LPBYTE pBuffer) {
    if (!pcBytesNeeded) return fail(ERROR_INVALID_PARAMETER);
    Notification n;
    DWORD r = ce::notify::getNotification(handleOf(hNotification), &n);
    if (r != ERROR_SUCCESS) return fail(r);

    size_t triggerAt = alignUp(sizeof(CE_NOTIFICATION_INFO_HEADER));
    size_t userAt = alignUp(triggerAt + sizeof(CE_NOTIFICATION_TRIGGER));
    size_t textAt = n.hasUser ? alignUp(userAt + sizeof(CE_USER_NOTIFICATION)) : userAt;
    size_t size = textAt + textBytes(n.application) + textBytes(n.arguments);
    if (n.hasUser) size += textBytes(n.title) + textBytes(n.text) + textBytes(n.sound);
    *pcBytesNeeded = static_cast<DWORD>(size);
    if (!pBuffer || cBufferSize < size) return fail(ERROR_INSUFFICIENT_BUFFER);

    std::memset(pBuffer, 0, size);
    auto header = reinterpret_cast<CE_NOTIFICATION_INFO_HEADER*>(pBuffer);
    auto trigger = reinterpret_cast<CE_NOTIFICATION_TRIGGER*>(pBuffer + triggerAt);
    header->hNotification = ULongToHandle(n.handle);
    header->dwStatus = n.status;
    header->pcent = trigger;
    trigger->dwSize = sizeof(CE_NOTIFICATION_TRIGGER);
    trigger->dwType = n.type;
    trigger->dwEvent = n.event;
    trigger->stStartTime = utcToLocal(n.startUtc);
    trigger->stEndTime = utcToLocal(n.endUtc);
    size_t offset = textAt;
    trigger->lpszApplication = placeText(pBuffer, &offset, n.application);
    trigger->lpszArguments = placeText(pBuffer, &offset, n.arguments);
    if (n.hasUser) {
        auto user = reinterpret_cast<CE_USER_NOTIFICATION*>(pBuffer + userAt);
        header->pceun = user;
        user->ActionFlags = n.actionFlags;
        user->nMaxSound = n.maxSound;
        user->dwReserved = n.reserved;
        user->pwszDialogTitle = placeText(pBuffer, &offset, n.title);
        user->pwszDialogText = placeText(pBuffer, &offset, n.text);
        user->pwszSound = placeText(pBuffer, &offset, n.sound);
    }
    return TRUE;
}

// Registers pwszAppName for a device event with the event's standard command line; an
// existing registration of the same program and event is kept as it is.
// NOTIFICATION_EVENT_NONE removes all of the program's event registrations.
WINBASEAPI BOOL CeRunAppAtEvent(TCHAR* pwszAppName, LONG lWhichEvent) {
    if (!pwszAppName || lWhichEvent < 0 || lWhichEvent > NOTIFICATION_EVENT_LAST)
        return fail(ERROR_INVALID_PARAMETER);
    Text app;
    if (!readText(pwszAppName, &app)) return fail(ERROR_INVALID_PARAMETER);
    DWORD event = static_cast<DWORD>(lWhichEvent);
    if (event == NOTIFICATION_EVENT_NONE) {
        DWORD r = ce::notify::removeNotificationsIf([&](const Notification& n) {
            return n.type == CNT_EVENT && sameApplication(n.application, pwszAppName);
        });
        return r == ERROR_SUCCESS ? TRUE : fail(r);
    }
    std::vector<Notification> all;
    DWORD r = ce::notify::listNotifications(&all);
    if (r != ERROR_SUCCESS) return fail(r);
    for (const auto& n : all)
        if (n.type == CNT_EVENT && n.event == event && sameApplication(n.application, pwszAppName))
            return TRUE;
    Notification n;
    n.type = CNT_EVENT;
    n.event = event;
    n.application = app;
    n.arguments = ce::notify::eventCommandLine(event);
    r = ce::notify::addNotification(n);
    return r == ERROR_SUCCESS ? TRUE : fail(r);
}

// Starts pwszAppName with "AppRunAtTime" at lpTime (local time), replacing the program's
// earlier CeRunAppAtTime registration; lpTime NULL only removes it.
WINBASEAPI BOOL CeRunAppAtTime(TCHAR* pwszAppName, SYSTEMTIME* lpTime) {
    if (!pwszAppName) return fail(ERROR_INVALID_PARAMETER);
    Text app;
    if (!readText(pwszAppName, &app)) return fail(ERROR_INVALID_PARAMETER);
    int64_t utc = 0;
    if (lpTime && !localToUtc(*lpTime, &utc)) return fail(ERROR_INVALID_PARAMETER);
    const std::u16string word = APP_RUN_AT_TIME;
    DWORD r = ce::notify::removeNotificationsIf([&](const Notification& n) {
        return n.type == CNT_CLASSICTIME && !n.hasUser && n.arguments == word &&
               sameApplication(n.application, pwszAppName);
    });
    if (r != ERROR_SUCCESS) return fail(r);
    if (!lpTime) return TRUE;
    Notification n;
    n.type = CNT_CLASSICTIME;
    n.application = app;
    n.arguments = word;
    n.startUtc = utc;
    n.queueUtc = utc;
    r = ce::notify::addNotification(n);
    return r == ERROR_SUCCESS ? TRUE : fail(r);
}

// Removes the program's notifications that have fired and wait on the screen.
WINBASEAPI BOOL CeHandleAppNotifications(TCHAR* pwszAppName) {
    if (!pwszAppName) return fail(ERROR_INVALID_PARAMETER);
    DWORD r = ce::notify::removeNotificationsIf([&](const Notification& n) {
        return (n.status & CNS_SIGNALLED) && sameApplication(n.application, pwszAppName);
    });
    return r == ERROR_SUCCESS ? TRUE : fail(r);
}
