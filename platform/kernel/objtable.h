// objtable.h: the device-wide table of events, mutexes and semaphores.
//
// The state of every synchronisation object lives in one shared table, the file
// run/objects.shm of the device folder, mapped by every process of the device and guarded by
// one process-shared robust mutex. Named objects are found there by name by any process of the
// device, and only of that device; unnamed ones live there too, so that every object works the
// same way. Without a device the table is anonymous memory of this process.
//
// A handle is a SyncObject: one reference to a slot of the table. The slot counts its
// references per holding process; it is freed when the last one goes, and references of
// processes that ended without closing them are collected whenever an object is created or
// opened.
//
// Inside the platform only: the product never sees this header.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "kernel/handles.h"
#include "windef.h"

namespace ce {

class ObjectTable;

// What one look at an object under the table lock found.
enum class Grant {
    No,        // not signalled
    Yes,       // signalled (and taken, when asked to)
    Abandoned, // a mutex whose owner ended while owning it (taken over, when asked to)
};

// What a new object starts with.
struct SyncInit {
    bool manualReset = false;  // events
    bool initialState = false; // events
    bool initialOwner = false; // mutexes
    LONG count = 0;            // semaphores
    LONG maximum = 1;          // semaphores
};

// One handle's reference to an event, mutex or semaphore.
class SyncObject final : public KernelObject {
public:
    SyncObject(ObjectType type, std::shared_ptr<ObjectTable> table, uint32_t index,
               uint32_t serial);
    ~SyncObject() override;
    SyncObject(const SyncObject&) = delete;
    SyncObject& operator=(const SyncObject&) = delete;

    ObjectType type() const override { return type_; }
    bool isWaitable() const override { return true; }
    // Takes the table lock itself; pulses before this call do not count.
    bool trySatisfy(bool consume) override;
    // A mutex owned by another process is looked at again now and then: nobody wakes the
    // waiters when that process dies.
    int64_t pollIntervalNs() const override { return pollNs_.load(std::memory_order_relaxed); }

    ObjectTable& table() const { return *table_; }
    // Both handles refer to the same object (a named object opened twice, say).
    bool sameObjectAs(const SyncObject& other) const {
        return table_ == other.table_ && index_ == other.index_ && serial_ == other.serial_;
    }

    // Under the table lock (TableLock): the event's pulse count, which a wait notes when it
    // starts, and one look at the object for a wait that started at pulse count startPulse.
    uint64_t pulseCountLocked() const;
    Grant satisfyLocked(uint64_t startPulse, bool consume);

    // The operations; each returns 0 or the error code for SetLastError, and wakes the
    // device's waiters when it may end a wait.
    DWORD setEvent();
    DWORD resetEvent();
    DWORD pulseEvent();
    DWORD releaseMutex();
    DWORD releaseSemaphore(LONG count, LONG* previous);

private:
    bool current() const; // the slot still holds this object (under the lock)

    ObjectType type_;
    std::shared_ptr<ObjectTable> table_;
    uint32_t index_;
    uint32_t serial_;
    int32_t holderPid_; // the process the reference was taken for (a forked child has none)
    std::atomic<int64_t> pollNs_{0};
};

// Holds the lock of a table (and makes it consistent again when its last holder died).
class TableLock {
public:
    explicit TableLock(ObjectTable& table);
    ~TableLock();
    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;

private:
    ObjectTable& table_;
    bool locked_ = false;
};

// Creates an object of the given type (Event, Mutex, Semaphore). With a name in use by an
// object of the same type, that object is opened instead and *existed is set; in use by
// another type, the call fails with ERROR_INVALID_HANDLE. Null with *error set on failure.
std::shared_ptr<SyncObject> createSyncObject(ObjectType type, LPCWSTR name, const SyncInit& init,
                                             DWORD* error, bool* existed);

// Opens the named object of the given type: ERROR_FILE_NOT_FOUND when no object has the name,
// ERROR_INVALID_HANDLE when another type has it.
std::shared_ptr<SyncObject> openSyncObject(ObjectType type, LPCWSTR name, DWORD* error);

// The thread tid of this process has ended: mutexes it owns become abandoned.
void abandonMutexesOfThread(uint32_t tid);

// The calling thread has taken a mutex: when it ends, its mutexes are abandoned.
void noteMutexOwner();

// Objects alive in the current device's table (for tests).
uint32_t syncObjectsInUse();

} // namespace ce
