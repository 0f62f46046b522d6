// sharemode.h: share modes of open files across every process of a device, and descriptors
// that a forked child does not inherit.
//
// Each open of a file records what it does and what it forbids as Linux open-file-description
// locks (F_OFD_SETLK) on single bytes at a fixed offset far beyond any real file size: a shared
// lock on "has read access", "has write access", "has delete access", "denies read", "denies
// write", "denies delete", and "is mapped" for file mappings. A new opener probes with
// F_OFD_GETLK for a write lock on the bytes that would conflict: an existing holder of the
// matching read lock answers. The probe and the new opener's own locks are taken under an
// exclusive flock of run/files.lock, so test-then-lock is atomic between processes. The locks
// belong to the descriptor, so they vanish when the handle closes or its process dies: no stale
// state is ever left behind.
//
// Opens without data access (access 0: attributes only) neither conflict nor are recorded,
// as on Windows.
#pragma once

#include <cstdint>

#include "windef.h"

namespace ce {

// What an open does: the bits of ShareAccess.access.
constexpr DWORD kAccessRead = 1;
constexpr DWORD kAccessWrite = 2;
constexpr DWORD kAccessDelete = 4;

struct ShareAccess {
    DWORD access = 0; // kAccess* bits
    DWORD share = 0;  // FILE_SHARE_* bits
};

// Holds the device-wide file lock (run/files.lock) for its lifetime. Without a device, or
// when the lock file cannot be opened, it holds only the process-wide part (held() is false)
// and the callers go on: a device folder that cannot be locked has no other processes to meet.
class DeviceFileLock {
public:
    DeviceFileLock();
    ~DeviceFileLock();
    DeviceFileLock(const DeviceFileLock&) = delete;
    DeviceFileLock& operator=(const DeviceFileLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// True when an open of the file behind fd with the given access and share mode would meet an
// existing open (of any process) that forbids it, or that it forbids. fd must be a descriptor
// of this new open without locks of its own. Call under a DeviceFileLock.
bool shareConflicts(int fd, const ShareAccess& want);

// Records the open's access and share mode on fd. Call under a DeviceFileLock after
// shareConflicts said no. Returns false when the host refused a lock (reported as a sharing
// violation by the callers).
bool shareRecord(int fd, const ShareAccess& want);

// "Is mapped": held by every file mapping on its own descriptor of the file, tested by the
// calls that would cut a mapped file short (SetEndOfFile, CREATE_ALWAYS, TRUNCATE_EXISTING).
bool mappedByAnyone(int fd);
bool recordMapped(int fd);

// In-use marker of a named shared-memory file: whether any descriptor of any process holds it.
bool inUseByAnyone(int fd);
bool recordInUse(int fd);

// A descriptor owned by one kernel object. Handles are not inherited on the device, so a child
// made by fork (without exec) closes every OwnedFd at once: otherwise its copy would keep the
// parent's open file description, and with it the parent's share locks, alive after the
// parent closed the handle.
class OwnedFd {
public:
    OwnedFd() = default;
    explicit OwnedFd(int fd);
    ~OwnedFd();
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;
    int get() const { return fd_; }
    void reset(int fd = -1);

private:
    friend struct OwnedFdRegistry;
    int fd_ = -1;
    bool registered_ = false;
};

} // namespace ce
