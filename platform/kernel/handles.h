// handles.h: the process's table of kernel object handles.
//
// Files, find handles, mappings, events, threads and processes are objects behind HANDLE
// values. Values are small multiples of four that fit in 32 bits and are never 0 or
// INVALID_HANDLE_VALUE. An object lives while a handle (or another owner) holds it: closing
// the last handle runs its destructor, which is where a file is closed or a mapping unmapped.
#pragma once

#include <cstdint>
#include <memory>

#include "windef.h"

namespace ce {

enum class ObjectType : uint32_t {
    File,
    Find,
    Mapping,
    Event,
    Mutex,
    Semaphore,
    Thread,
    Process,
    Module,
    Other
};

struct KernelObject {
    virtual ~KernelObject() = default;
    virtual ObjectType type() const = 0;

    // Waitable objects (events, mutexes, semaphores, threads, processes) answer these; the
    // wait functions call them under the sync lock. trySatisfy tells whether the object is
    // signalled now and, when consume is set, takes the signal (resets an auto-reset event,
    // acquires a mutex, decrements a semaphore). A change that can end a wait must be followed
    // by ce::wakeDeviceWaiters() (device.h).
    virtual bool isWaitable() const { return false; }
    virtual bool trySatisfy(bool consume) { return false; }
    // Objects whose state changes without anyone calling wakeDeviceWaiters() (a process of
    // another program ending) ask waiters to look again after this many host ns; 0 = never.
    virtual int64_t pollIntervalNs() const { return 0; }
};

HANDLE insertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> lookupHandle(HANDLE h);
bool removeHandle(HANDLE h); // false when h is not a handle of this process

template <class T>
std::shared_ptr<T> lookupHandleAs(HANDLE h, ObjectType type) {
    auto object = lookupHandle(h);
    if (!object || object->type() != type) return nullptr;
    return std::static_pointer_cast<T>(object);
}

} // namespace ce
