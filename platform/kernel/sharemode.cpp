// sharemode.cpp: share modes between processes through open-file-description locks, and the
// fork rule of OwnedFd (see sharemode.h).
#include "kernel/sharemode.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <set>
#include <sys/file.h>
#include <unistd.h>

#include "kernel/device.h"
#include "kernel/trace.h"
#include "winbase.h"

namespace ce {

namespace {

// The lock bytes, far beyond any size a device file reaches (off_t is 64-bit).
constexpr off_t kLockBase = 0x7FFFFFFFFFFF0000LL;
enum LockByte : off_t {
    kHasRead = 0,
    kHasWrite = 1,
    kHasDelete = 2,
    kDeniesRead = 3,
    kDeniesWrite = 4,
    kDeniesDelete = 5,
    kMapped = 6,
    kInUse = 7,
};

// Serialises the device-wide lock section inside this process and keeps fork() out of it:
// a child must never inherit the flock'ed descriptor of a section in progress.
std::mutex& sectionMutex() {
    static std::mutex m;
    return m;
}

bool probe(int fd, off_t byte) {
    struct flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = kLockBase + byte;
    fl.l_len = 1;
    if (fcntl(fd, F_OFD_GETLK, &fl) != 0) {
        CE_TRACE("file", "F_OFD_GETLK failed: errno %d", errno);
        return false;
    }
    return fl.l_type != F_UNLCK;
}

void ensureForkHandlers();

bool hold(int fd, off_t byte) {
    struct flock fl = {};
    fl.l_type = F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = kLockBase + byte;
    fl.l_len = 1;
    if (fcntl(fd, F_OFD_SETLK, &fl) != 0) {
        CE_TRACE("file", "F_OFD_SETLK failed: errno %d", errno);
        return false;
    }
    return true;
}

} // namespace

// ---- Device-wide lock -----------------------------------------------------------------------

DeviceFileLock::DeviceFileLock() {
    ensureForkHandlers(); // before the section: fork must know about it from the start
    sectionMutex().lock();
    if (!haveDevice()) return;
    fd_ = open((deviceRunDir() / "files.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        CE_TRACE("file", "cannot open files.lock: errno %d", errno);
        return;
    }
    while (flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            close(fd_);
            fd_ = -1;
            return;
        }
    }
}

DeviceFileLock::~DeviceFileLock() {
    if (fd_ >= 0) close(fd_); // releases the flock
    sectionMutex().unlock();
}

// ---- Share modes ----------------------------------------------------------------------------

bool shareConflicts(int fd, const ShareAccess& want) {
    if (want.access == 0) return false;
    if ((want.access & kAccessRead) && probe(fd, kDeniesRead)) return true;
    if ((want.access & kAccessWrite) && probe(fd, kDeniesWrite)) return true;
    if ((want.access & kAccessDelete) && probe(fd, kDeniesDelete)) return true;
    if (!(want.share & FILE_SHARE_READ) && probe(fd, kHasRead)) return true;
    if (!(want.share & FILE_SHARE_WRITE) && probe(fd, kHasWrite)) return true;
    if (!(want.share & FILE_SHARE_DELETE) && probe(fd, kHasDelete)) return true;
    return false;
}

bool shareRecord(int fd, const ShareAccess& want) {
    if (want.access == 0) return true;
    bool ok = true;
    if (want.access & kAccessRead) ok = ok && hold(fd, kHasRead);
    if (want.access & kAccessWrite) ok = ok && hold(fd, kHasWrite);
    if (want.access & kAccessDelete) ok = ok && hold(fd, kHasDelete);
    if (!(want.share & FILE_SHARE_READ)) ok = ok && hold(fd, kDeniesRead);
    if (!(want.share & FILE_SHARE_WRITE)) ok = ok && hold(fd, kDeniesWrite);
    if (!(want.share & FILE_SHARE_DELETE)) ok = ok && hold(fd, kDeniesDelete);
    return ok;
}

bool mappedByAnyone(int fd) {
    return probe(fd, kMapped);
}
bool recordMapped(int fd) {
    return hold(fd, kMapped);
}
bool inUseByAnyone(int fd) {
    return probe(fd, kInUse);
}
bool recordInUse(int fd) {
    return hold(fd, kInUse);
}

// ---- Descriptors closed in forked children ----------------------------------------------------

struct OwnedFdRegistry {
    std::mutex lock;
    std::set<OwnedFd*> members;

    static OwnedFdRegistry& get() {
        static OwnedFdRegistry* r = [] {
            auto* reg = new OwnedFdRegistry; // lives for the whole process, atfork needs it
            pthread_atfork(&OwnedFdRegistry::prepare, &OwnedFdRegistry::parent,
                           &OwnedFdRegistry::child);
            return reg;
        }();
        return *r;
    }
    static void prepare() {
        sectionMutex().lock();
        get().lock.lock();
    }
    static void parent() {
        get().lock.unlock();
        sectionMutex().unlock();
    }
    // The only thread of the child: close the inherited copies, so that the parent's locks
    // depend on the parent alone.
    static void child() {
        OwnedFdRegistry& r = get();
        for (OwnedFd* member : r.members) {
            if (member->fd_ >= 0) close(member->fd_);
            member->fd_ = -1;
            member->registered_ = false;
        }
        r.members.clear();
        r.lock.unlock();
        sectionMutex().unlock();
    }
};

namespace {
void ensureForkHandlers() {
    OwnedFdRegistry::get();
}
} // namespace

OwnedFd::OwnedFd(int fd) {
    reset(fd);
}

OwnedFd::~OwnedFd() {
    reset();
}

void OwnedFd::reset(int fd) {
    OwnedFdRegistry& r = OwnedFdRegistry::get();
    std::lock_guard<std::mutex> guard(r.lock);
    if (fd_ >= 0) close(fd_);
    if (registered_) r.members.erase(this);
    fd_ = fd;
    registered_ = fd >= 0;
    if (registered_) r.members.insert(this);
}

} // namespace ce
