// wait_test.cpp: waits on the device clock (rate 60, frozen and advanced, rate changes),
// WaitForMultipleObjects for any and all objects, mutexes (recursion, ownership, abandonment by
// a thread and by a process), semaphores, and the hook the message loop builds on (a
// condition of the caller's, a descriptor).
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/handles.h"
#include "kernel/wait.h"
#include "testdevice.h"
#include "testthreads.h"
#include "windows.h"

namespace {

using cetest::Body;
using cetest::eventually;
using cetest::kPoison;
using cetest::realSleepMs;
using cetest::runBody;
using cetest::startThread;

constexpr DWORD kUnset = 0xFFFFFFF0; // no result yet
constexpr int64_t kMs = 10'000;      // FILETIME units per millisecond

double secondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void advanceMs(int64_t ms) {
    std::string error;
    ASSERT_TRUE(ce::advanceDeviceClock(ms * kMs, &error)) << error;
}

// A thread in one wait (ce::waitForObjects, the loop under WaitForSingleObject and Sleep)
// that says when it has taken its first look, so that the test knows the deadline is set.
class WaitingThread {
public:
    WaitingThread(std::vector<HANDLE> handles, DWORD timeoutMs, int fd = -1,
                  std::function<bool()> extra = {})
        : handles_(std::move(handles)), body_{[this, timeoutMs, fd, extra] {
              DWORD r = ce::waitForObjects(
                  handles_, false, timeoutMs,
                  [this, extra] {
                      started = true;
                      return extra && extra();
                  },
                  fd);
              result = r;
              return r;
          }} {
        thread_ = startThread(body_);
        EXPECT_NE(thread_, nullptr);
    }
    // Real time bounds the wait for the thread, whatever the device clock does; a thread that
    // does not finish is stopped, so that it cannot outlive this object.
    ~WaitingThread() {
        auto done = [&] { return WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0; };
        if (!eventually(done)) {
            ADD_FAILURE() << "the waiting thread did not finish";
            TerminateThread(thread_, 0);
            eventually(done);
        }
        CloseHandle(thread_);
    }
    bool waitStarted() {
        return eventually([&] { return started.load(); });
    }
    bool finished() {
        return eventually([&] { return result.load() != kUnset; });
    }
    HANDLE handle() const { return thread_; }

    std::atomic<bool> started{false};
    std::atomic<DWORD> result{kUnset};

private:
    std::vector<HANDLE> handles_;
    Body body_;
    HANDLE thread_ = nullptr;
};

using WaitClock = cetest::DeviceTest;

// At rate 60 a wait of 60000 ms ends after about one real second (generous bounds: the
// machine may be loaded, but the wait can never end early).
TEST_F(WaitClock, TimeoutRunsOnTheDeviceClockAtRate60) {
    std::string error;
    ASSERT_TRUE(ce::setDeviceClockRate(60, &error)) << error;
    HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD tick0 = GetTickCount();
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e, 60000));
    double real = secondsSince(t0);
    EXPECT_GE(GetTickCount() - tick0, 60000u);
    EXPECT_GE(real, 0.9);
    EXPECT_LE(real, 15.0);
    CloseHandle(e);
}

TEST_F(WaitClock, SleepRunsOnTheDeviceClockAtRate60) {
    std::string error;
    ASSERT_TRUE(ce::setDeviceClockRate(60, &error)) << error;
    DWORD tick0 = GetTickCount();
    auto t0 = std::chrono::steady_clock::now();
    Sleep(30000);
    double real = secondsSince(t0);
    EXPECT_GE(GetTickCount() - tick0, 30000u);
    EXPECT_GE(real, 0.45);
    EXPECT_LE(real, 10.0);
}

// On a frozen clock a wait does not time out by itself, nor when the device time is set (a
// step does not move GetTickCount); it times out at once when the clock is advanced past its
// deadline.
TEST_F(WaitClock, FrozenWaitEndsWhenAdvancedPastItsDeadline) {
    device.freezeAt("2024-03-05T06:00:00Z");
    HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        WaitingThread waiter({e}, 5000);
        ASSERT_TRUE(waiter.waitStarted());
        realSleepMs(200);
        EXPECT_EQ(kUnset, waiter.result.load());
        advanceMs(4999);
        realSleepMs(200);
        EXPECT_EQ(kUnset, waiter.result.load()) << "woke before its deadline";
        std::string error;
        ASSERT_TRUE(ce::setDeviceUtc(cetest::isoToFileTime("2024-03-06T06:00:00Z"), &error));
        realSleepMs(200);
        EXPECT_EQ(kUnset, waiter.result.load()) << "a step of the device time ended the wait";
        auto t0 = std::chrono::steady_clock::now();
        advanceMs(1);
        ASSERT_TRUE(waiter.finished());
        EXPECT_EQ(WAIT_TIMEOUT, waiter.result.load());
        EXPECT_LE(secondsSince(t0), 5.0);
    }
    CloseHandle(e);
}

// A rate change is seen by a wait already asleep: frozen, then 60 times real time.
TEST_F(WaitClock, RateChangeReachesAWaitInProgress) {
    device.freezeAt("2024-03-05T06:00:00Z");
    {
        WaitingThread waiter({}, 60000);
        ASSERT_TRUE(waiter.waitStarted());
        realSleepMs(100);
        EXPECT_EQ(kUnset, waiter.result.load());
        std::string error;
        auto t0 = std::chrono::steady_clock::now();
        ASSERT_TRUE(ce::setDeviceClockRate(60, &error)) << error;
        ASSERT_TRUE(waiter.finished());
        EXPECT_EQ(WAIT_TIMEOUT, waiter.result.load());
        double real = secondsSince(t0);
        EXPECT_GE(real, 0.9);
        EXPECT_LE(real, 15.0);
    }
}

// A zero timeout only looks, even on a frozen clock; a signalled object ends any wait at once.
TEST_F(WaitClock, ZeroTimeoutOnlyLooks) {
    device.freezeAt("2024-03-05T06:00:00Z");
    HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e, 0));
    Sleep(0);
    SetEvent(e);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(e, INFINITE));
    CloseHandle(e);
}

// ---- WaitForMultipleObjects ----

using WaitMultiple = cetest::DeviceTest;

// Any: the lowest signalled index wins, and only that object's signal is taken.
TEST_F(WaitMultiple, AnyTakesTheLowestSignalledObject) {
    HANDLE e[3];
    for (HANDLE& h : e)
        h = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    SetEvent(e[2]);
    SetEvent(e[1]);
    EXPECT_EQ(WAIT_OBJECT_0 + 1, WaitForMultipleObjects(3, e, FALSE, 0));
    EXPECT_EQ(WAIT_OBJECT_0 + 2, WaitForMultipleObjects(3, e, FALSE, 0));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForMultipleObjects(3, e, FALSE, 0));
    // The same object twice is fine when waiting for any.
    HANDLE twice[2] = {e[0], e[0]};
    SetEvent(e[0]);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, twice, FALSE, 0));
    for (HANDLE h : e)
        CloseHandle(h);
}

// All: nothing is taken until every object is signalled, then all are taken in one step.
TEST_F(WaitMultiple, AllTakesEverythingOrNothing) {
    HANDLE e0 = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE e1 = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE sem = CreateSemaphoreW(nullptr, 1, 5, nullptr);
    HANDLE set[3] = {e0, sem, e1};
    SetEvent(e0);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForMultipleObjects(3, set, TRUE, 0));
    // Nothing was taken by the failed wait.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(e0, 0));
    LONG previous = kPoison;
    EXPECT_TRUE(ReleaseSemaphore(sem, 1, &previous));
    EXPECT_EQ(1, previous);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(sem, 0));

    SetEvent(e0);
    SetEvent(e1);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(3, set, TRUE, 0));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e0, 0));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e1, 0));
    EXPECT_TRUE(ReleaseSemaphore(sem, 1, &previous));
    EXPECT_EQ(0, previous);
    for (HANDLE h : set)
        CloseHandle(h);
}

TEST_F(WaitMultiple, AllWaitsForTheLastObject) {
    HANDLE e0 = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE e1 = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Body body{[&] {
        SetEvent(e0);
        Sleep(100);
        SetEvent(e1);
        return DWORD{0};
    }};
    HANDLE t = startThread(body);
    HANDLE set[3] = {e0, e1, t};
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(3, set, TRUE, 30000));
    CloseHandle(t);
    CloseHandle(e0);
    CloseHandle(e1);
}

struct NotWaitable : ce::KernelObject {
    ce::ObjectType type() const override { return ce::ObjectType::Other; }
};

TEST_F(WaitMultiple, BadArgumentsFail) {
    HANDLE e = CreateEventW(nullptr, TRUE, TRUE, u"twice");
    HANDLE same = OpenEventW(EVENT_ALL_ACCESS, FALSE, u"twice");
    HANDLE handles[MAXIMUM_WAIT_OBJECTS + 1];
    for (HANDLE& h : handles)
        h = e;
    auto expectFailure = [](DWORD result, DWORD error) {
        EXPECT_EQ(WAIT_FAILED, result);
        EXPECT_EQ(error, GetLastError());
    };
    SetLastError(kPoison);
    expectFailure(WaitForMultipleObjects(0, handles, FALSE, 0), ERROR_INVALID_PARAMETER);
    SetLastError(kPoison);
    expectFailure(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS + 1, handles, FALSE, 0),
                  ERROR_INVALID_PARAMETER);
    SetLastError(kPoison);
    expectFailure(WaitForMultipleObjects(1, nullptr, FALSE, 0), ERROR_INVALID_PARAMETER);
    // With bWaitAll the same object may not appear twice, through one handle or two.
    SetLastError(kPoison);
    expectFailure(WaitForMultipleObjects(2, handles, TRUE, 0), ERROR_INVALID_PARAMETER);
    HANDLE pair[2] = {e, same};
    SetLastError(kPoison);
    expectFailure(WaitForMultipleObjects(2, pair, TRUE, 0), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, handles, FALSE, 0));

    HANDLE plain = ce::insertHandle(std::make_shared<NotWaitable>());
    for (HANDLE bad :
         {static_cast<HANDLE>(nullptr), ULongToHandle(0x7ff0), plain, INVALID_HANDLE_VALUE}) {
        SetLastError(kPoison);
        expectFailure(WaitForSingleObject(bad, 0), ERROR_INVALID_HANDLE);
        HANDLE mixed[2] = {e, bad};
        SetLastError(kPoison);
        expectFailure(WaitForMultipleObjects(2, mixed, FALSE, 0), ERROR_INVALID_HANDLE);
    }
    CloseHandle(plain);
    CloseHandle(e);
    CloseHandle(same);
}

// ---- Mutexes ----

using WaitMutex = cetest::DeviceTest;

// Runs fn on another thread and returns its result.
DWORD onOtherThread(const std::function<DWORD()>& fn) {
    DWORD r = kPoison;
    std::thread([&] { r = fn(); }).join();
    return r;
}

// The owner may take its mutex again and must release it as often; meanwhile no other thread
// gets it, and only the owner may release it.
TEST_F(WaitMutex, OwnerTakesItAgainAndReleasesAsOften) {
    HANDLE m = CreateMutexW(nullptr, TRUE, nullptr);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m, 0));
    EXPECT_EQ(WAIT_TIMEOUT, onOtherThread([&] { return WaitForSingleObject(m, 0); }));
    DWORD error = onOtherThread([&] {
        SetLastError(kPoison);
        return ReleaseMutex(m) ? DWORD{0} : GetLastError();
    });
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_OWNER), error);
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_EQ(WAIT_TIMEOUT, onOtherThread([&] { return WaitForSingleObject(m, 0); }));
    EXPECT_TRUE(ReleaseMutex(m));
    SetLastError(kPoison);
    EXPECT_FALSE(ReleaseMutex(m));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_OWNER), GetLastError());
    EXPECT_EQ(WAIT_OBJECT_0, onOtherThread([&] {
                  DWORD r = WaitForSingleObject(m, 0);
                  ReleaseMutex(m);
                  return r;
              }));
    CloseHandle(m);
}

// bInitialOwner is ignored when the name exists: the second creator does not own it.
TEST_F(WaitMutex, SecondCreateDoesNotTakeOwnership) {
    HANDLE first = CreateMutexW(nullptr, FALSE, u"zvMutex");
    ASSERT_NE(first, nullptr);
    DWORD r = onOtherThread([&] {
        SetLastError(kPoison);
        HANDLE second = CreateMutexW(nullptr, TRUE, u"zvMutex");
        DWORD error = GetLastError();
        CloseHandle(second);
        return error;
    });
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), r);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(first, 0));
    EXPECT_TRUE(ReleaseMutex(first));
    CloseHandle(first);
}

// A thread that ends owning a mutex abandons it: the next wait gets WAIT_ABANDONED and the
// mutex, after which it is an ordinary mutex again.
TEST_F(WaitMutex, AbandonedWhenTheOwningThreadEnds) {
    HANDLE m = CreateMutexW(nullptr, FALSE, nullptr);
    Body body{[&] { return WaitForSingleObject(m, 0); }};
    HANDLE t = startThread(body);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 20000));
    DWORD code = kPoison;
    GetExitCodeThread(t, &code);
    ASSERT_EQ(WAIT_OBJECT_0, code);
    EXPECT_EQ(WAIT_ABANDONED, WaitForSingleObject(m, 20000));
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m, 0));
    EXPECT_TRUE(ReleaseMutex(m));
    CloseHandle(t);
    CloseHandle(m);
}

TEST_F(WaitMutex, AbandonedWhenTheOwningThreadIsTerminated) {
    HANDLE m = CreateMutexW(nullptr, FALSE, nullptr);
    std::atomic<int> owns{0};
    Body body{[&] {
        WaitForSingleObject(m, 0);
        owns = 1;
        Sleep(600000);
        return DWORD{0};
    }};
    HANDLE t = startThread(body);
    ASSERT_TRUE(eventually([&] { return owns.load() == 1; }));
    TerminateThread(t, 1);
    HANDLE both[2] = {t, m};
    // The thread's end and the mutex's abandonment are seen together.
    EXPECT_EQ(WAIT_ABANDONED_0 + 1, WaitForMultipleObjects(2, both, TRUE, 20000));
    EXPECT_TRUE(ReleaseMutex(m));
    CloseHandle(t);
    CloseHandle(m);
}

// A program that dies owning a named mutex abandons it for the other programs of the device,
// whether they wait already or come later.
TEST_F(WaitMutex, AbandonedWhenTheOwningProcessDies) {
    HANDLE m = CreateMutexW(nullptr, FALSE, u"zvOwnedByChild");
    HANDLE taken = CreateEventW(nullptr, TRUE, FALSE, u"zvTaken");
    ASSERT_NE(m, nullptr);
    cetest::Child child([] {
        HANDLE h = CreateMutexW(nullptr, TRUE, u"zvOwnedByChild"); // exists: not owned yet
        HANDLE t = OpenEventW(EVENT_ALL_ACCESS, FALSE, u"zvTaken");
        if (!h || !t || WaitForSingleObject(h, 0) != WAIT_OBJECT_0) return 1;
        SetEvent(t);
        usleep(300'000);
        return 0; // dies owning it
    });
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(taken, 30000));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(m, 0));
    // Waits while the child still owns it; nobody wakes this wait when the child dies.
    EXPECT_EQ(WAIT_ABANDONED, WaitForSingleObject(m, 30000));
    EXPECT_EQ(0, child.wait());
    EXPECT_TRUE(ReleaseMutex(m));

    cetest::Child later([] {
        HANDLE h = CreateMutexW(nullptr, FALSE, u"zvOwnedByChild");
        return h && WaitForSingleObject(h, 0) == WAIT_OBJECT_0 ? 0 : 1;
    });
    EXPECT_EQ(0, later.wait());
    EXPECT_EQ(WAIT_ABANDONED, WaitForSingleObject(m, 0));
    EXPECT_TRUE(ReleaseMutex(m));
    CloseHandle(m);
    CloseHandle(taken);
}

TEST_F(WaitMutex, WrongHandlesFail) {
    HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetLastError(kPoison);
    EXPECT_FALSE(ReleaseMutex(e));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    SetLastError(kPoison);
    EXPECT_FALSE(ReleaseMutex(nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    CloseHandle(e);
}

// ---- Semaphores ----

using WaitSemaphore = cetest::DeviceTest;

TEST_F(WaitSemaphore, CountsUpToItsMaximum) {
    HANDLE s = CreateSemaphoreW(nullptr, 1, 2, nullptr);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(s, 0));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(s, 0));
    LONG previous = kPoison;
    EXPECT_TRUE(ReleaseSemaphore(s, 2, &previous));
    EXPECT_EQ(0, previous);
    previous = kPoison;
    SetLastError(kPoison);
    EXPECT_FALSE(ReleaseSemaphore(s, 1, &previous));
    EXPECT_EQ(static_cast<DWORD>(ERROR_TOO_MANY_POSTS), GetLastError());
    EXPECT_EQ(static_cast<LONG>(kPoison), previous);
    SetLastError(kPoison);
    EXPECT_FALSE(ReleaseSemaphore(s, 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(s, 0));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(s, 0));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(s, 0));
    EXPECT_TRUE(ReleaseSemaphore(s, 1, nullptr));
    CloseHandle(s);
}

TEST_F(WaitSemaphore, BadCountsFail) {
    struct {
        LONG initial, maximum;
    } bad[] = {{0, 0}, {-1, 1}, {3, 2}, {0, -5}};
    for (auto b : bad) {
        SetLastError(kPoison);
        EXPECT_EQ(nullptr, CreateSemaphoreW(nullptr, b.initial, b.maximum, nullptr));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    }
    HANDLE s = CreateSemaphoreW(nullptr, 0x7FFFFFFF, 0x7FFFFFFF, nullptr);
    SetLastError(kPoison);
    EXPECT_FALSE(ReleaseSemaphore(s, 0x7FFFFFFF, nullptr)); // would overflow
    EXPECT_EQ(static_cast<DWORD>(ERROR_TOO_MANY_POSTS), GetLastError());
    CloseHandle(s);
}

// ---- The hook of the message loop ----

using WaitHook = cetest::DeviceTest;

// The caller's condition ends the wait with index n when it becomes true and whoever made it
// true wakes the waiters.
TEST_F(WaitHook, ConditionEndsTheWaitWhenWoken) {
    HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> queued{false};
    {
        WaitingThread waiter({e}, INFINITE, -1, [&] { return queued.load(); });
        ASSERT_TRUE(waiter.waitStarted());
        realSleepMs(100);
        EXPECT_EQ(kUnset, waiter.result.load());
        queued = true;
        ce::wakeDeviceWaiters();
        ASSERT_TRUE(waiter.finished());
        EXPECT_EQ(WAIT_OBJECT_0 + 1, waiter.result.load());
    }
    // Objects come first: with both ready, the object's index is returned.
    SetEvent(e);
    HANDLE h = e;
    EXPECT_EQ(WAIT_OBJECT_0,
              ce::waitForObjects(std::span<const HANDLE>(&h, 1), false, 0, [] { return true; }));
    CloseHandle(e);
}

struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() { EXPECT_EQ(0, pipe2(fds, O_CLOEXEC)); }
    ~Pipe() {
        close(fds[0]);
        close(fds[1]);
    }
};

TEST_F(WaitHook, ReadableDescriptorEndsTheWait) {
    HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Pipe p;
    {
        WaitingThread waiter({e}, INFINITE, p.fds[0]);
        ASSERT_TRUE(waiter.waitStarted());
        realSleepMs(100);
        EXPECT_EQ(kUnset, waiter.result.load());
        ASSERT_EQ(1, write(p.fds[1], "x", 1));
        ASSERT_TRUE(waiter.finished());
        EXPECT_EQ(WAIT_OBJECT_0 + 1, waiter.result.load());
    }
    CloseHandle(e);
}

// While a wait watches a descriptor, events (set in this process or another one of the
// device), clock advances and TerminateThread still reach it.
TEST_F(WaitHook, DescriptorWaitStillSeesEventsClockAndTermination) {
    device.freezeAt("2024-03-05T06:00:00Z");
    HANDLE e = CreateEventW(nullptr, FALSE, FALSE, u"zvHookEvent");
    Pipe p;
    {
        WaitingThread waiter({e}, INFINITE, p.fds[0]);
        ASSERT_TRUE(waiter.waitStarted());
        SetEvent(e);
        ASSERT_TRUE(waiter.finished());
        EXPECT_EQ(WAIT_OBJECT_0, waiter.result.load());
    }
    {
        WaitingThread waiter({e}, INFINITE, p.fds[0]);
        ASSERT_TRUE(waiter.waitStarted());
        cetest::Child child([] {
            HANDLE h = OpenEventW(EVENT_ALL_ACCESS, FALSE, u"zvHookEvent");
            return h && SetEvent(h) ? 0 : 1;
        });
        EXPECT_EQ(0, child.wait());
        ASSERT_TRUE(waiter.finished());
        EXPECT_EQ(WAIT_OBJECT_0, waiter.result.load());
    }
    {
        WaitingThread waiter({e}, 1000, p.fds[0]);
        ASSERT_TRUE(waiter.waitStarted());
        realSleepMs(100);
        EXPECT_EQ(kUnset, waiter.result.load());
        advanceMs(1000);
        ASSERT_TRUE(waiter.finished());
        EXPECT_EQ(WAIT_TIMEOUT, waiter.result.load());
    }
    {
        std::vector<HANDLE> none;
        std::atomic<int> after{0};
        Body body{[&] {
            ce::waitForObjects(none, false, INFINITE, {}, p.fds[0]);
            after = 1;
            return DWORD{0};
        }};
        HANDLE t = startThread(body);
        realSleepMs(100);
        EXPECT_TRUE(TerminateThread(t, 12));
        ASSERT_TRUE(eventually([&] { return WaitForSingleObject(t, 0) == WAIT_OBJECT_0; }));
        DWORD code = kPoison;
        GetExitCodeThread(t, &code);
        EXPECT_EQ(12u, code);
        EXPECT_EQ(0, after.load());
        CloseHandle(t);
    }
    CloseHandle(e);
}

} // namespace
