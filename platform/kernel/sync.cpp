// sync.cpp: events, mutexes and semaphores: the API over the device's object table.
//
// Each handle is a SyncObject, one reference to a slot of the device-wide table (objtable.h),
// so a named object is the same object in every process of the device, and it goes away with
// its last handle. Everything that can end a wait wakes the device's waiters afterwards.
#include "kernel/handles.h"
#include "kernel/objtable.h"
#include "kernel/trace.h"
#include "winbase.h"
#include "winthread.h"

namespace {

// Puts a new object behind a handle. GetLastError() tells a caller whether a named object was
// already there, so it is set on success too.
HANDLE publish(std::shared_ptr<ce::SyncObject> object, DWORD error, bool existed) {
    if (!object) {
        SetLastError(error);
        return nullptr;
    }
    HANDLE h = ce::insertHandle(std::move(object));
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

std::shared_ptr<ce::SyncObject> lookup(HANDLE h, ce::ObjectType type) {
    auto object = ce::lookupHandle(h);
    if (!object || object->type() != type) return nullptr;
    return std::dynamic_pointer_cast<ce::SyncObject>(object);
}

BOOL finish(DWORD error) {
    if (error == 0) return TRUE;
    SetLastError(error);
    return FALSE;
}

BOOL modifyEvent(HANDLE hEvent, DWORD func) {
    auto event = lookup(hEvent, ce::ObjectType::Event);
    if (!event) return finish(ERROR_INVALID_HANDLE);
    switch (func) {
    case EVENT_SET: return finish(event->setEvent());
    case EVENT_RESET: return finish(event->resetEvent());
    case EVENT_PULSE: return finish(event->pulseEvent());
    default: return finish(ERROR_INVALID_PARAMETER);
    }
}

} // namespace

// Security attributes are accepted and ignored: the device has no security.
WINBASEAPI HANDLE CreateEventW(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                               BOOL bInitialState, LPCWSTR lpName) {
    ce::SyncInit init;
    init.manualReset = bManualReset != FALSE;
    init.initialState = bInitialState != FALSE;
    DWORD error = 0;
    bool existed = false;
    auto object = ce::createSyncObject(ce::ObjectType::Event, lpName, init, &error, &existed);
    return publish(std::move(object), error, existed);
}

// Access rights are not enforced; every handle may do everything.
WINBASEAPI HANDLE OpenEventW(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCWSTR lpName) {
    DWORD error = 0;
    auto object = ce::openSyncObject(ce::ObjectType::Event, lpName, &error);
    if (!object) {
        SetLastError(error);
        return nullptr;
    }
    return ce::insertHandle(std::move(object));
}

WINBASEAPI BOOL SetEvent(HANDLE hEvent) {
    return modifyEvent(hEvent, EVENT_SET);
}

WINBASEAPI BOOL ResetEvent(HANDLE hEvent) {
    return modifyEvent(hEvent, EVENT_RESET);
}

WINBASEAPI BOOL PulseEvent(HANDLE hEvent) {
    return modifyEvent(hEvent, EVENT_PULSE);
}

// The call the CE SetEvent, ResetEvent and PulseEvent are made of; an unknown function fails
// with ERROR_INVALID_PARAMETER.
WINBASEAPI BOOL EventModify(HANDLE hEvent, DWORD func) {
    return modifyEvent(hEvent, func);
}

WINBASEAPI HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner,
                               LPCWSTR lpName) {
    ce::SyncInit init;
    init.initialOwner = bInitialOwner != FALSE;
    DWORD error = 0;
    bool existed = false;
    auto object = ce::createSyncObject(ce::ObjectType::Mutex, lpName, init, &error, &existed);
    return publish(std::move(object), error, existed);
}

WINBASEAPI BOOL ReleaseMutex(HANDLE hMutex) {
    auto mutex = lookup(hMutex, ce::ObjectType::Mutex);
    if (!mutex) return finish(ERROR_INVALID_HANDLE);
    return finish(mutex->releaseMutex());
}

WINBASEAPI HANDLE CreateSemaphoreW(LPSECURITY_ATTRIBUTES lpSemaphoreAttributes, LONG lInitialCount,
                                   LONG lMaximumCount, LPCWSTR lpName) {
    if (lMaximumCount <= 0 || lInitialCount < 0 || lInitialCount > lMaximumCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    ce::SyncInit init;
    init.count = lInitialCount;
    init.maximum = lMaximumCount;
    DWORD error = 0;
    bool existed = false;
    auto object = ce::createSyncObject(ce::ObjectType::Semaphore, lpName, init, &error, &existed);
    return publish(std::move(object), error, existed);
}

WINBASEAPI BOOL ReleaseSemaphore(HANDLE hSemaphore, LONG lReleaseCount, LPLONG lpPreviousCount) {
    auto semaphore = lookup(hSemaphore, ce::ObjectType::Semaphore);
    if (!semaphore) return finish(ERROR_INVALID_HANDLE);
    LONG previous = 0;
    DWORD error = semaphore->releaseSemaphore(lReleaseCount, &previous);
    if (error == 0 && lpPreviousCount) *lpPreviousCount = previous;
    return finish(error);
}
