// wait.cpp: WaitForSingleObject, WaitForMultipleObjects, Sleep and the wait loop behind them.
//
// The loop (waitForObjects) turns until something ends the wait:
//   1. a TerminateThread request ends the thread here (SuspendThread holds it here);
//   2. it reads the device's wake word, then looks at the objects under the table lock,
//      taking the signal of the one that ends the wait (or of all of them, at once);
//   3. it works out the host time left until the deadline on the GetTickCount timeline:
//      none left is WAIT_TIMEOUT, a frozen clock leaves the sleep without a limit;
//   4. it sleeps on the wake word (FUTEX_WAIT for the value read in 2, so a bump after 2 is
//      never missed), at most the time left, and at most the poll interval of an object that
//      changes without waking anyone.
// A clock change bumps the wake word too, so a wait re-reads the clock at once when the
// device time is advanced or its rate changes.
//
// A wait that also watches a file descriptor (the window system's display connection) cannot
// sleep on a futex and a descriptor at once. It sleeps in ppoll on the descriptor and on an
// eventfd of its own, and one watcher thread per process sleeps on the wake word for all such
// waits and writes to their eventfds whenever the word moves. The watcher runs only while
// such waits exist.
#include "kernel/wait.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <linux/futex.h>
#include <mutex>
#include <new>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/objtable.h"
#include "kernel/trace.h"
#include "winbase.h"
#include "winthread.h"

namespace ce {

namespace {

constexpr DWORD kNotYet = 0xFFFFFFFE;
// How long the watcher sleeps at most before it looks whether it is still wanted.
constexpr int64_t kWatcherNapNs = 250'000'000;
// Without an eventfd (descriptors exhausted), a descriptor wait looks this often.
constexpr int64_t kFallbackPollNs = 10'000'000;

struct Item {
    std::shared_ptr<KernelObject> object;
    SyncObject* sync;    // the object as a table object, or null (threads, processes)
    uint64_t startPulse; // pulse count of the event when the wait started
};

timespec toTimespec(int64_t ns) {
    return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

void futexWait(std::atomic<uint32_t>* word, uint32_t seen, int64_t ns) {
    timespec ts{};
    if (ns >= 0) ts = toTimespec(ns);
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), FUTEX_WAIT, seen, ns >= 0 ? &ts : nullptr,
            nullptr, 0);
}

Grant look(Item& item, bool consume) {
    if (item.sync) return item.sync->satisfyLocked(item.startPulse, consume);
    return item.object->trySatisfy(consume) ? Grant::Yes : Grant::No;
}

// One look at all items, under the locks of their tables.
DWORD lookOnce(std::vector<Item>& items, bool all, bool first) {
    if (first)
        for (Item& item : items)
            if (item.sync) item.startPulse = item.sync->pulseCountLocked();
    if (!all) {
        for (size_t i = 0; i < items.size(); ++i) {
            Grant g = look(items[i], true);
            if (g == Grant::Yes) return WAIT_OBJECT_0 + static_cast<DWORD>(i);
            if (g == Grant::Abandoned) return WAIT_ABANDONED_0 + static_cast<DWORD>(i);
        }
        return kNotYet;
    }
    if (items.empty()) return kNotYet;
    for (Item& item : items)
        if (look(item, false) == Grant::No) return kNotYet;
    DWORD result = WAIT_OBJECT_0;
    for (size_t i = 0; i < items.size(); ++i)
        if (look(items[i], true) == Grant::Abandoned && result == WAIT_OBJECT_0)
            result = WAIT_ABANDONED_0 + static_cast<DWORD>(i);
    return result;
}

// The locks of the tables a wait's objects live in, in address order: one, nearly always,
// which takes no allocation.
class TableLocks {
public:
    explicit TableLocks(const std::vector<ObjectTable*>& tables) {
        for (size_t i = 0; i < tables.size(); ++i) {
            if (i == 0)
                first_.emplace(*tables[i]);
            else
                rest_.push_back(std::make_unique<TableLock>(*tables[i]));
        }
    }

private:
    std::optional<TableLock> first_; // released last
    std::vector<std::unique_ptr<TableLock>> rest_;
};

// ---- The watcher, for waits on a descriptor ----

struct Watcher {
    std::mutex lock;
    std::condition_variable wanted;
    std::vector<int> fds; // eventfds of the waits going on
    bool running = false;
};

// Never destroyed (see objtable.cpp's Immortal); re-made in a forked child, where the watcher
// thread does not exist and its lock may have been held at the fork.
alignas(Watcher) unsigned char watcherStorage[sizeof(Watcher)];
Watcher* watcherPtr = nullptr;

void makeWatcher() {
    watcherPtr = new (watcherStorage) Watcher();
}

Watcher& watcher() {
    static const bool made = [] {
        makeWatcher();
        pthread_atfork(nullptr, nullptr, makeWatcher);
        return true;
    }();
    (void)made;
    return *watcherPtr;
}

void signalFd(int fd) {
    uint64_t one = 1;
    ssize_t n = write(fd, &one, sizeof one);
    (void)n; // a full counter is still readable
}

void watcherMain() {
    Watcher& w = watcher();
    std::atomic<uint32_t>* lastWord = nullptr;
    uint32_t lastSeen = 0;
    for (;;) {
        std::atomic<uint32_t>* word;
        uint32_t seen;
        {
            std::unique_lock<std::mutex> guard(w.lock);
            w.wanted.wait(guard, [&] { return !w.fds.empty(); });
            word = deviceWakeWord();
            seen = word->load(std::memory_order_acquire);
            // A wait registers before it reads the word, so any bump it may have missed is
            // one this load sees.
            if (word != lastWord || seen != lastSeen)
                for (int fd : w.fds)
                    signalFd(fd);
        }
        lastWord = word;
        lastSeen = seen;
        futexWait(word, seen, kWatcherNapNs);
    }
}

// Registers the calling wait's eventfd with the watcher for as long as it lives.
class WatchRegistration {
public:
    explicit WatchRegistration(int fd) : fd_(fd) {
        Watcher& w = watcher();
        std::lock_guard<std::mutex> guard(w.lock);
        w.fds.push_back(fd);
        if (!w.running) {
            std::thread(watcherMain).detach();
            w.running = true;
        }
        w.wanted.notify_all();
    }
    ~WatchRegistration() {
        Watcher& w = watcher();
        std::lock_guard<std::mutex> guard(w.lock);
        auto it = std::find(w.fds.begin(), w.fds.end(), fd_);
        if (it != w.fds.end()) w.fds.erase(it);
    }
    WatchRegistration(const WatchRegistration&) = delete;
    WatchRegistration& operator=(const WatchRegistration&) = delete;

private:
    int fd_;
};

// Each thread's eventfd for descriptor waits, made on first use.
struct ThreadWakeFd {
    int fd = -1;
    ~ThreadWakeFd() {
        if (fd >= 0) close(fd);
    }
    int get() {
        if (fd < 0) fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        return fd;
    }
};
thread_local ThreadWakeFd tlsWakeFd;

// Sleeps until extraFd is readable (true), the watcher writes to wakeFd, or ns pass.
bool sleepOnFd(int extraFd, int wakeFd, int64_t ns) {
    if (wakeFd < 0 && (ns < 0 || ns > kFallbackPollNs)) ns = kFallbackPollNs;
    pollfd fds[2] = {{extraFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    timespec ts{};
    if (ns >= 0) ts = toTimespec(ns);
    int n = ppoll(fds, wakeFd >= 0 ? 2 : 1, ns >= 0 ? &ts : nullptr, nullptr);
    if (n <= 0) return false;
    if (wakeFd >= 0 && fds[1].revents) {
        uint64_t count;
        ssize_t r = read(wakeFd, &count, sizeof count);
        (void)r;
    }
    // A descriptor that is not open ends the wait too, rather than spinning on it.
    return (fds[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

std::shared_ptr<KernelObject> resolve(HANDLE h) {
    if (reinterpret_cast<uintptr_t>(h) == kCurrentThreadPseudoHandle) return currentThreadObject();
    return lookupHandle(h);
}

DWORD failed(DWORD error) {
    SetLastError(error);
    return WAIT_FAILED;
}

} // namespace

DWORD waitForObjects(std::span<const HANDLE> handles, bool all, DWORD timeoutMs,
                     const std::function<bool()>& extraReady, int extraFd) {
    if (handles.size() > MAXIMUM_WAIT_OBJECTS) return failed(ERROR_INVALID_PARAMETER);
    std::vector<Item> items;
    std::vector<ObjectTable*> tables;
    items.reserve(handles.size());
    for (HANDLE h : handles) {
        std::shared_ptr<KernelObject> object = resolve(h);
        if (!object || !object->isWaitable()) return failed(ERROR_INVALID_HANDLE);
        auto* sync = dynamic_cast<SyncObject*>(object.get());
        auto same = [&](const Item& i) {
            return i.object == object || (sync && i.sync && sync->sameObjectAs(*i.sync));
        };
        if (all && std::any_of(items.begin(), items.end(), same))
            return failed(ERROR_INVALID_PARAMETER);
        if (sync) tables.push_back(&sync->table());
        items.push_back(Item{std::move(object), sync, 0});
    }
    std::sort(tables.begin(), tables.end());
    tables.erase(std::unique(tables.begin(), tables.end()), tables.end());

    // A zero timeout only looks, so it needs neither a deadline nor the watcher.
    const bool onlyLook = timeoutMs == 0;
    const uint64_t deadline =
        timeoutMs == INFINITE || onlyLook ? 0 : deviceTickCount64() + timeoutMs;
    const DWORD extraResult = WAIT_OBJECT_0 + static_cast<DWORD>(handles.size());
    std::atomic<uint32_t>* word = deviceWakeWord();
    int wakeFd = -1;
    std::optional<WatchRegistration> registration;
    if (extraFd >= 0 && !onlyLook) {
        wakeFd = tlsWakeFd.get();
        if (wakeFd >= 0) registration.emplace(wakeFd);
    }

    for (bool first = true;; first = false) {
        if (currentThreadMustStop()) {
            // Nothing of this frame survives the thread: let go of the objects first.
            items.clear();
            registration.reset();
            stopCurrentThread();
        }
        const uint32_t seen = word->load(std::memory_order_acquire);
        DWORD result;
        {
            TableLocks locks(tables);
            result = lookOnce(items, all, first);
        }
        if (result != kNotYet) return result;
        if (extraReady && extraReady()) return extraResult;
        if (onlyLook) return extraFd >= 0 && sleepOnFd(extraFd, -1, 0) ? extraResult : WAIT_TIMEOUT;

        int64_t ns = -1;
        if (timeoutMs != INFINITE) {
            ns = hostNsUntilTick(deadline);
            if (ns == 0) return WAIT_TIMEOUT;
        }
        for (const Item& item : items) {
            int64_t poll = item.object->pollIntervalNs();
            if (poll > 0 && (ns < 0 || poll < ns)) ns = poll;
        }
        if (extraFd >= 0) {
            if (sleepOnFd(extraFd, wakeFd, ns)) return extraResult;
        } else {
            futexWait(word, seen, ns);
        }
    }
}

} // namespace ce

WINBASEAPI DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    return ce::waitForObjects(std::span<const HANDLE>(&hHandle, 1), false, dwMilliseconds);
}

WINBASEAPI DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                        DWORD dwMilliseconds) {
    if (!lpHandles || nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    return ce::waitForObjects(std::span<const HANDLE>(lpHandles, nCount), bWaitAll != FALSE,
                              dwMilliseconds);
}

// A wait for nothing. Sleep(0) only yields, but is still a point where the thread can be
// terminated or suspended.
WINBASEAPI void Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == 0) {
        if (ce::currentThreadMustStop()) ce::stopCurrentThread();
        sched_yield();
        return;
    }
    ce::waitForObjects({}, false, dwMilliseconds);
}
