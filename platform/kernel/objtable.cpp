// objtable.cpp: the device-wide table of events, mutexes and semaphores (see objtable.h).
//
// The table is a fixed array of slots in run/objects.shm. Every field of every slot is read and
// written only under the table's mutex, a process-shared robust pthread mutex in the file's
// header: when a process dies holding it, the next locker is told (EOWNERDEAD), marks it
// consistent and goes on. The operations are small and leave a slot valid at every step that
// matters, so going on is safe.
//
// The file outlives the processes and can outlive the host boot, while the mutex and the
// process ids in it cannot: the header records the boot it was set up in, and a table from an
// earlier boot is set up afresh by the first process that maps it.
//
// References: a slot lists the processes holding handles to it, with a count each. Creating,
// opening and closing handles move the caller's count; a slot with no holder left is free.
// Processes that ended without closing their handles are found (kill(pid, 0), and /proc for a
// child nobody has reaped yet) whenever an object is created or opened, and their references
// dropped, so a crashed program cannot keep a named object alive. A process id reused by a
// new process within that window would keep the object alive until that process ends too.
//
// Pulses: PulseEvent counts pulses in the slot. A wait notes the count when it starts; a
// manual-reset event whose count has moved since satisfies it, and an automatic one hands out
// one release (a token) per pulse to the first such wait that looks. This releases exactly the
// threads that were waiting, as Windows does, except that a pulse taken by no waiter in time
// (say, by a wait for all objects that cannot complete yet) stays available to that waiter.
#include "kernel/objtable.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <new>
#include <pthread.h>
#include <signal.h>
#include <string>
#include <string_view>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "kernel/device.h"
#include "kernel/trace.h"
#include "kernel/wait.h"
#include "winbase.h"
#include "winthread.h"

namespace ce {

namespace {

constexpr uint32_t kMagic = 0x5a564f42; // "ZVOB"
constexpr uint32_t kVersion = 1;
constexpr uint32_t kSlotCount = 1024;
constexpr uint32_t kHolderCount = 32; // processes holding one object at the same time
constexpr uint32_t kNameMax = MAX_PATH;
// How often a wait looks at a mutex owned by another process, whose death wakes nobody.
constexpr int64_t kForeignOwnerPollNs = 50'000'000;

enum SlotType : uint32_t { kFree = 0, kEvent = 1, kMutex = 2, kSemaphore = 3 };

struct Holder {
    int32_t pid;
    uint32_t count;
};

struct Slot {
    uint32_t type;   // SlotType
    uint32_t serial; // bumped whenever the slot is freed: a stale reference never matches
    uint32_t manualReset;
    uint32_t signalled;
    uint64_t pulses;      // PulseEvent calls so far
    uint32_t pulseTokens; // releases left from the last pulse of an automatic event
    int32_t ownerPid;     // mutex owner (0: none)
    uint32_t ownerTid;
    uint32_t recursion;
    uint32_t abandoned; // the last owner ended while owning it
    int32_t count;      // semaphore
    int32_t maximum;
    uint32_t nameLength; // 0: unnamed
    Holder holders[kHolderCount];
    char16_t name[kNameMax];
};

struct Header {
    uint32_t magic;
    uint32_t version;
    uint32_t slotCount;
    uint32_t reserved;
    char bootId[64];
    pthread_mutex_t lock;
};

struct Layout {
    Header header;
    Slot slots[kSlotCount];
};

// Process-wide state that must outlive static destruction: threads parked by TerminateThread
// and detached threads may still close handles while the process exits.
template <class T>
class Immortal {
public:
    Immortal() { new (storage_) T(); }
    T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
};

SlotType slotTypeOf(ObjectType type) {
    switch (type) {
    case ObjectType::Event: return kEvent;
    case ObjectType::Mutex: return kMutex;
    case ObjectType::Semaphore: return kSemaphore;
    default: return kFree;
    }
}

bool sameText(const char* a, const std::string& b, size_t capacity) {
    return b.size() < capacity && strncmp(a, b.c_str(), capacity) == 0;
}

// True unless the process has surely ended (gone, or a zombie waiting to be reaped).
bool pidAlive(int32_t pid) {
    if (pid <= 0) return false;
    if (kill(pid, 0) != 0 && errno == ESRCH) return false;
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno != ENOENT;
    char buf[512];
    ssize_t n = read(fd, buf, sizeof buf - 1);
    close(fd);
    if (n <= 0) return true;
    buf[n] = '\0';
    const char* end = strrchr(buf, ')'); // the command name may hold anything, even ')'
    if (!end || end[1] != ' ' || end[2] == '\0') return true;
    return end[2] != 'Z' && end[2] != 'X';
}

// Liveness answers within one pass, so each process is asked about once.
class Liveness {
public:
    bool alive(int32_t pid) {
        for (const auto& [p, a] : seen_)
            if (p == pid) return a;
        bool a = pidAlive(pid);
        seen_.emplace_back(pid, a);
        return a;
    }

private:
    std::vector<std::pair<int32_t, bool>> seen_;
};

} // namespace

// One mapping of a table: the device's file, or anonymous memory without a device.
class ObjectTable {
public:
    explicit ObjectTable(Layout* mem) : mem_(mem) {}
    ~ObjectTable() { munmap(mem_, sizeof(Layout)); }
    ObjectTable(const ObjectTable&) = delete;
    ObjectTable& operator=(const ObjectTable&) = delete;

    pthread_mutex_t* mutex() { return &mem_->header.lock; }
    Slot& slot(uint32_t index) { return mem_->slots[index]; }

private:
    Layout* mem_;
};

namespace {

void setUp(Layout* mem) {
    memset(static_cast<void*>(mem), 0, sizeof(Layout));
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    pthread_mutex_init(&mem->header.lock, &attr);
    pthread_mutexattr_destroy(&attr);
    snprintf(mem->header.bootId, sizeof mem->header.bootId, "%s", hostBootId().c_str());
    mem->header.slotCount = kSlotCount;
    mem->header.version = kVersion;
    __atomic_store_n(&mem->header.magic, kMagic, __ATOMIC_RELEASE);
}

std::shared_ptr<ObjectTable> mapAnonymousTable() {
    void* mem =
        mmap(nullptr, sizeof(Layout), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (mem == MAP_FAILED) return nullptr;
    setUp(static_cast<Layout*>(mem));
    return std::make_shared<ObjectTable>(static_cast<Layout*>(mem));
}

// Maps the device's table, setting it up when it is new, from another boot or another layout.
// The first mapper sets up under an exclusive flock, so the others see a finished table.
std::shared_ptr<ObjectTable> mapFileTable(const std::filesystem::path& file) {
    int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        CE_TRACE("sync", "cannot open %s: %s", file.c_str(), strerror(errno));
        return nullptr;
    }
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    void* mem = MAP_FAILED;
    struct stat st {};
    bool sized = fstat(fd, &st) == 0 && (st.st_size == static_cast<off_t>(sizeof(Layout)) ||
                                         ftruncate(fd, sizeof(Layout)) == 0);
    if (sized) mem = mmap(nullptr, sizeof(Layout), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mem != MAP_FAILED) {
        auto* layout = static_cast<Layout*>(mem);
        const Header& h = layout->header;
        if (__atomic_load_n(&h.magic, __ATOMIC_ACQUIRE) != kMagic || h.version != kVersion ||
            h.slotCount != kSlotCount || !sameText(h.bootId, hostBootId(), sizeof h.bootId))
            setUp(layout);
    } else {
        CE_TRACE("sync", "cannot map %s: %s", file.c_str(), strerror(errno));
    }
    flock(fd, LOCK_UN);
    close(fd);
    if (mem == MAP_FAILED) return nullptr;
    return std::make_shared<ObjectTable>(static_cast<Layout*>(mem));
}

// The table of the device this process uses now. Objects keep the table they were made in,
// so a handle stays valid (in its own table) when a test moves the process to another device.
struct TableCache {
    std::mutex lock;
    bool valid = false;
    std::filesystem::path dir;
    std::shared_ptr<ObjectTable> table;
};

TableCache& tableCache() {
    static Immortal<TableCache> cache;
    return cache.get();
}

std::shared_ptr<ObjectTable> currentTable() {
    std::filesystem::path dir = deviceDir();
    TableCache& c = tableCache();
    std::lock_guard<std::mutex> guard(c.lock);
    if (c.valid && c.dir == dir && c.table) return c.table;
    auto table = dir.empty() ? mapAnonymousTable() : mapFileTable(dir / "run" / "objects.shm");
    if (!table) return nullptr;
    c.valid = true;
    c.dir = dir;
    c.table = table;
    return table;
}

// The current table if one is mapped already (never maps one).
std::shared_ptr<ObjectTable> mappedTable() {
    TableCache& c = tableCache();
    std::lock_guard<std::mutex> guard(c.lock);
    return c.table;
}

// ---- Slots, under the lock ----

void freeSlot(Slot& s) {
    uint32_t serial = s.serial + 1;
    memset(static_cast<void*>(&s), 0, sizeof s);
    s.serial = serial;
}

bool hasHolders(const Slot& s) {
    return std::any_of(std::begin(s.holders), std::end(s.holders),
                       [](const Holder& h) { return h.pid != 0; });
}

bool addHolder(Slot& s, int32_t pid) {
    for (Holder& h : s.holders)
        if (h.pid == pid) {
            ++h.count;
            return true;
        }
    for (Holder& h : s.holders)
        if (h.pid == 0) {
            h = Holder{pid, 1};
            return true;
        }
    return false;
}

void dropHolder(Slot& s, int32_t pid) {
    for (Holder& h : s.holders)
        if (h.pid == pid && --h.count == 0) h = Holder{0, 0};
    if (!hasHolders(s)) freeSlot(s);
}

// Drops the references of processes that ended without closing them.
void collectDead(ObjectTable& table) {
    Liveness liveness;
    const int32_t self = getpid();
    for (uint32_t i = 0; i < kSlotCount; ++i) {
        Slot& s = table.slot(i);
        if (s.type == kFree) continue;
        for (Holder& h : s.holders)
            if (h.pid != 0 && h.pid != self && !liveness.alive(h.pid)) h = Holder{0, 0};
        if (!hasHolders(s)) freeSlot(s);
    }
}

int findNamed(ObjectTable& table, std::u16string_view name) {
    for (uint32_t i = 0; i < kSlotCount; ++i) {
        const Slot& s = table.slot(i);
        if (s.type != kFree && s.nameLength == name.size() &&
            std::u16string_view(s.name, s.nameLength) == name)
            return static_cast<int>(i);
    }
    return -1;
}

int findFree(ObjectTable& table) {
    for (uint32_t i = 0; i < kSlotCount; ++i)
        if (table.slot(i).type == kFree) return static_cast<int>(i);
    return -1;
}

// Reads an object name: null or "" is no name; longer than MAX_PATH fails. The scan stops
// after MAX_PATH + 1 characters, so an unterminated buffer is not read far.
bool readName(LPCWSTR name, std::u16string_view* out, DWORD* error) {
    *out = {};
    if (!name) return true;
    size_t n = 0;
    while (n <= kNameMax && name[n] != 0)
        ++n;
    if (n > kNameMax) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    *out = std::u16string_view(name, n);
    return true;
}

// The owner thread of mutexes taken by this thread, told when the thread ends. Threads that
// CreateThread started also say so themselves, since one that is terminated never ends.
struct MutexOwnerGuard {
    uint32_t tid = 0;
    ~MutexOwnerGuard() {
        if (tid) abandonMutexesOfThread(tid);
    }
};
thread_local MutexOwnerGuard mutexOwnerGuard;

} // namespace

// ---- SyncObject ----

SyncObject::SyncObject(ObjectType type, std::shared_ptr<ObjectTable> table, uint32_t index,
                       uint32_t serial)
    : type_(type), table_(std::move(table)), index_(index), serial_(serial), holderPid_(getpid()) {}

// A forked child inherits the parent's handles without holding references of its own, so it
// never drops one.
SyncObject::~SyncObject() {
    if (holderPid_ != getpid()) return;
    TableLock lock(*table_);
    if (current()) dropHolder(table_->slot(index_), holderPid_);
}

bool SyncObject::current() const {
    const Slot& s = table_->slot(index_);
    return s.type == slotTypeOf(type_) && s.serial == serial_;
}

bool SyncObject::trySatisfy(bool consume) {
    TableLock lock(*table_);
    return satisfyLocked(pulseCountLocked(), consume) != Grant::No;
}

uint64_t SyncObject::pulseCountLocked() const {
    return current() ? table_->slot(index_).pulses : 0;
}

Grant SyncObject::satisfyLocked(uint64_t startPulse, bool consume) {
    if (!current()) return Grant::No;
    Slot& s = table_->slot(index_);
    switch (s.type) {
    case kEvent:
        if (s.signalled) {
            if (consume && !s.manualReset) s.signalled = 0;
            return Grant::Yes;
        }
        if (s.pulses != startPulse) {
            if (s.manualReset) return Grant::Yes;
            if (s.pulseTokens > 0) {
                if (consume) --s.pulseTokens;
                return Grant::Yes;
            }
        }
        return Grant::No;
    case kMutex: {
        const int32_t self = getpid();
        const uint32_t tid = currentThreadId();
        if (s.ownerPid != 0 && s.ownerPid != self && !pidAlive(s.ownerPid)) {
            s.ownerPid = 0;
            s.ownerTid = 0;
            s.recursion = 0;
            s.abandoned = 1;
        }
        pollNs_.store(s.ownerPid != 0 && s.ownerPid != self ? kForeignOwnerPollNs : 0,
                      std::memory_order_relaxed);
        if (s.ownerPid == self && s.ownerTid == tid) {
            if (consume) ++s.recursion;
            return Grant::Yes;
        }
        if (s.ownerPid != 0) return Grant::No;
        Grant grant = s.abandoned ? Grant::Abandoned : Grant::Yes;
        if (consume) {
            s.ownerPid = self;
            s.ownerTid = tid;
            s.recursion = 1;
            s.abandoned = 0;
            noteMutexOwner();
        }
        return grant;
    }
    case kSemaphore:
        if (s.count > 0) {
            if (consume) --s.count;
            return Grant::Yes;
        }
        return Grant::No;
    default: return Grant::No;
    }
}

DWORD SyncObject::setEvent() {
    {
        TableLock lock(*table_);
        if (type_ != ObjectType::Event || !current()) return ERROR_INVALID_HANDLE;
        table_->slot(index_).signalled = 1;
    }
    wakeDeviceWaiters();
    return 0;
}

DWORD SyncObject::resetEvent() {
    TableLock lock(*table_);
    if (type_ != ObjectType::Event || !current()) return ERROR_INVALID_HANDLE;
    table_->slot(index_).signalled = 0;
    return 0;
}

DWORD SyncObject::pulseEvent() {
    {
        TableLock lock(*table_);
        if (type_ != ObjectType::Event || !current()) return ERROR_INVALID_HANDLE;
        Slot& s = table_->slot(index_);
        ++s.pulses;
        s.signalled = 0;
        if (!s.manualReset) s.pulseTokens = 1;
    }
    wakeDeviceWaiters();
    return 0;
}

DWORD SyncObject::releaseMutex() {
    bool released = false;
    {
        TableLock lock(*table_);
        if (type_ != ObjectType::Mutex || !current()) return ERROR_INVALID_HANDLE;
        Slot& s = table_->slot(index_);
        if (s.ownerPid != getpid() || s.ownerTid != currentThreadId() || s.recursion == 0)
            return ERROR_NOT_OWNER;
        if (--s.recursion == 0) {
            s.ownerPid = 0;
            s.ownerTid = 0;
            released = true;
        }
    }
    if (released) wakeDeviceWaiters();
    return 0;
}

DWORD SyncObject::releaseSemaphore(LONG count, LONG* previous) {
    if (count <= 0) return ERROR_INVALID_PARAMETER;
    {
        TableLock lock(*table_);
        if (type_ != ObjectType::Semaphore || !current()) return ERROR_INVALID_HANDLE;
        Slot& s = table_->slot(index_);
        if (static_cast<int64_t>(s.count) + count > s.maximum) return ERROR_TOO_MANY_POSTS;
        *previous = s.count;
        s.count += count;
    }
    wakeDeviceWaiters();
    return 0;
}

// ---- TableLock ----

TableLock::TableLock(ObjectTable& table) : table_(table) {
    int rc = pthread_mutex_lock(table_.mutex());
    if (rc == EOWNERDEAD) {
        CE_TRACE("sync", "a process died holding the object table; going on");
        pthread_mutex_consistent(table_.mutex());
        rc = 0;
    }
    if (rc != 0) CE_TRACE("sync", "cannot lock the object table: %s", strerror(rc));
    locked_ = rc == 0;
}

TableLock::~TableLock() {
    if (locked_) pthread_mutex_unlock(table_.mutex());
}

// ---- Creating and opening ----

std::shared_ptr<SyncObject> createSyncObject(ObjectType type, LPCWSTR name, const SyncInit& init,
                                             DWORD* error, bool* existed) {
    *existed = false;
    std::u16string_view n;
    if (!readName(name, &n, error)) return nullptr;
    auto table = currentTable();
    if (!table) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    const int32_t self = getpid();
    uint32_t index = 0, serial = 0;
    bool owner = false;
    {
        TableLock lock(*table);
        collectDead(*table);
        int found = n.empty() ? -1 : findNamed(*table, n);
        if (found >= 0) {
            Slot& s = table->slot(found);
            if (s.type != slotTypeOf(type)) {
                *error = ERROR_INVALID_HANDLE;
                return nullptr;
            }
            if (!addHolder(s, self)) {
                *error = ERROR_NOT_ENOUGH_MEMORY;
                return nullptr;
            }
            *existed = true;
            index = static_cast<uint32_t>(found);
            serial = s.serial;
        } else {
            int free = findFree(*table);
            if (free < 0) {
                CE_TRACE("sync", "the object table is full");
                *error = ERROR_NOT_ENOUGH_MEMORY;
                return nullptr;
            }
            Slot& s = table->slot(free);
            s.type = slotTypeOf(type);
            s.manualReset = init.manualReset;
            s.signalled = init.initialState;
            if (type == ObjectType::Mutex && init.initialOwner) {
                s.ownerPid = self;
                s.ownerTid = currentThreadId();
                s.recursion = 1;
                owner = true;
            }
            s.count = init.count;
            s.maximum = init.maximum;
            std::copy(n.begin(), n.end(), s.name);
            s.nameLength = static_cast<uint32_t>(n.size());
            addHolder(s, self);
            index = static_cast<uint32_t>(free);
            serial = s.serial;
        }
    }
    if (owner) noteMutexOwner();
    return std::make_shared<SyncObject>(type, std::move(table), index, serial);
}

std::shared_ptr<SyncObject> openSyncObject(ObjectType type, LPCWSTR name, DWORD* error) {
    std::u16string_view n;
    if (!readName(name, &n, error)) return nullptr;
    if (n.empty()) {
        *error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    auto table = currentTable();
    if (!table) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    uint32_t index = 0, serial = 0;
    {
        TableLock lock(*table);
        collectDead(*table);
        int found = findNamed(*table, n);
        if (found < 0) {
            *error = ERROR_FILE_NOT_FOUND;
            return nullptr;
        }
        Slot& s = table->slot(found);
        if (s.type != slotTypeOf(type)) {
            *error = ERROR_INVALID_HANDLE;
            return nullptr;
        }
        if (!addHolder(s, getpid())) {
            *error = ERROR_NOT_ENOUGH_MEMORY;
            return nullptr;
        }
        index = static_cast<uint32_t>(found);
        serial = s.serial;
    }
    return std::make_shared<SyncObject>(type, std::move(table), index, serial);
}

void abandonMutexesOfThread(uint32_t tid) {
    auto table = mappedTable();
    if (!table) return;
    const int32_t self = getpid();
    bool any = false;
    {
        TableLock lock(*table);
        for (uint32_t i = 0; i < kSlotCount; ++i) {
            Slot& s = table->slot(i);
            if (s.type != kMutex || s.ownerPid != self || s.ownerTid != tid) continue;
            s.ownerPid = 0;
            s.ownerTid = 0;
            s.recursion = 0;
            s.abandoned = 1;
            any = true;
        }
    }
    if (any) wakeDeviceWaiters();
}

void noteMutexOwner() {
    mutexOwnerGuard.tid = currentThreadId();
}

uint32_t syncObjectsInUse() {
    auto table = currentTable();
    if (!table) return 0;
    TableLock lock(*table);
    uint32_t used = 0;
    for (uint32_t i = 0; i < kSlotCount; ++i)
        if (table->slot(i).type != kFree) ++used;
    return used;
}

} // namespace ce
