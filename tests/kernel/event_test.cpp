// event_test.cpp: events: manual and automatic reset, PulseEvent and EventModify, named events
// shared between the processes of a device (and only of that device), their lifetime by handle
// count, and the errors of the create and open calls.
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "kernel/device.h"
#include "kernel/objtable.h"
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

// Waits on event like WaitForSingleObject, and counts itself in `waiting` once it has taken
// its first look: from then on, the wait is one that a pulse must release.
DWORD waitCounted(HANDLE event, std::atomic<int>& waiting) {
    bool counted = false;
    return ce::waitForObjects(std::span<const HANDLE>(&event, 1), false, 600000, [&] {
        if (!counted) ++waiting;
        counted = true;
        return false;
    });
}

// Threads that each wait once on an event and count themselves when released.
class Waiters {
public:
    Waiters(HANDLE event, int count) {
        bodies_.reserve(count);
        for (int i = 0; i < count; ++i) {
            bodies_.push_back(Body{[this, event] {
                DWORD r = waitCounted(event, waiting);
                ++released;
                return r;
            }});
            handles_.push_back(startThread(bodies_.back()));
        }
    }
    ~Waiters() {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(static_cast<DWORD>(handles_.size()),
                                                        handles_.data(), TRUE, 20000));
        for (HANDLE h : handles_)
            CloseHandle(h);
    }
    bool allWaiting() {
        return eventually([&] { return waiting.load() == static_cast<int>(handles_.size()); });
    }

    std::atomic<int> waiting{0};
    std::atomic<int> released{0};

private:
    std::vector<Body> bodies_;
    std::vector<HANDLE> handles_;
};

using EventTest = cetest::DeviceTest;

// A manual-reset event stays signalled for every wait, in any thread, until ResetEvent.
TEST_F(EventTest, ManualResetStaysSetUntilReset) {
    HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e, 0));
    EXPECT_TRUE(SetEvent(e));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(e, 0));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(e, 1000));
    DWORD inThread = kPoison;
    std::thread([&] { inThread = WaitForSingleObject(e, 0); }).join();
    EXPECT_EQ(WAIT_OBJECT_0, inThread);
    EXPECT_TRUE(ResetEvent(e));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e, 0));
    EXPECT_TRUE(CloseHandle(e));
}

// An automatic event is reset by the wait it releases; the initial state counts as a set.
TEST_F(EventTest, AutoResetIsTakenByOneWait) {
    HANDLE e = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(e, 0));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e, 0));
    EXPECT_TRUE(SetEvent(e));
    EXPECT_TRUE(SetEvent(e)); // no count: still one release
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(e, 0));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e, 0));
    CloseHandle(e);
}

// Each SetEvent of an automatic event releases exactly one of the threads waiting on it.
TEST_F(EventTest, AutoResetReleasesOneWaiterPerSet) {
    HANDLE e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    Waiters w(e, 3);
    ASSERT_TRUE(w.allWaiting());
    for (int round = 1; round <= 3; ++round) {
        EXPECT_TRUE(SetEvent(e));
        EXPECT_TRUE(eventually([&] { return w.released.load() >= round; })) << round;
        realSleepMs(150);
        EXPECT_EQ(round, w.released.load()) << "one SetEvent released several waiters";
    }
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e, 0));
    CloseHandle(e);
}

// PulseEvent on a manual event releases every thread waiting at that moment and leaves the
// event reset.
TEST_F(EventTest, PulseOfManualEventReleasesAllWaiters) {
    HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        Waiters w(e, 3);
        ASSERT_TRUE(w.allWaiting());
        EXPECT_TRUE(PulseEvent(e));
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e, 0));
        EXPECT_TRUE(eventually([&] { return w.released.load() == 3; }));
    }
    CloseHandle(e);
}

// PulseEvent on an automatic event releases one waiting thread and leaves the event reset.
TEST_F(EventTest, PulseOfAutoEventReleasesOneWaiter) {
    HANDLE e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    {
        Waiters w(e, 3);
        ASSERT_TRUE(w.allWaiting());
        EXPECT_TRUE(PulseEvent(e));
        EXPECT_TRUE(eventually([&] { return w.released.load() >= 1; }));
        realSleepMs(150);
        EXPECT_EQ(1, w.released.load());
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e, 0));
        for (int round = 2; round <= 3; ++round) { // the other two, for the destructor
            SetEvent(e);
            EXPECT_TRUE(eventually([&] { return w.released.load() >= round; }));
        }
    }
    CloseHandle(e);
}

// A pulse nobody waits for is lost, for both kinds, and resets a signalled event.
TEST_F(EventTest, PulseWithoutWaitersIsLost) {
    for (BOOL manual : {TRUE, FALSE}) {
        HANDLE e = CreateEventW(nullptr, manual, FALSE, nullptr);
        EXPECT_TRUE(PulseEvent(e));
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e, 0)) << manual;
        EXPECT_TRUE(SetEvent(e));
        EXPECT_TRUE(PulseEvent(e));
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e, 0)) << manual;
        CloseHandle(e);
    }
}

// Windows CE's EventModify with its three functions; anything else is refused.
TEST_F(EventTest, EventModifySetsResetsAndPulses) {
    EXPECT_EQ(1, EVENT_PULSE);
    EXPECT_EQ(2, EVENT_RESET);
    EXPECT_EQ(3, EVENT_SET);
    HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_TRUE(EventModify(e, EVENT_SET));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(e, 0));
    EXPECT_TRUE(EventModify(e, EVENT_RESET));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e, 0));
    EXPECT_TRUE(EventModify(e, EVENT_SET));
    EXPECT_TRUE(EventModify(e, EVENT_PULSE));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e, 0));
    SetLastError(kPoison);
    EXPECT_FALSE(EventModify(e, 4));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(kPoison);
    EXPECT_FALSE(EventModify(e, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    CloseHandle(e);
}

// A second CreateEventW of a name opens the same object (its own reset mode and state stay)
// and says so with ERROR_ALREADY_EXISTS; the first one clears the last error.
TEST_F(EventTest, SecondCreateOfANameOpensTheSameEvent) {
    SetLastError(kPoison);
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, u"zV_TimerCal");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
    SetLastError(kPoison);
    HANDLE second = CreateEventW(nullptr, FALSE, TRUE, u"zV_TimerCal");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_NE(first, second);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(second, 0)); // not made signalled
    EXPECT_TRUE(SetEvent(first));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second, 0));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second, 0)); // still manual reset
    EXPECT_TRUE(ResetEvent(second));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(first, 0));
    CloseHandle(first);
    CloseHandle(second);
}

// A named event lives while any handle to it is open, and is gone with the last one.
TEST_F(EventTest, NamedEventGoesWithItsLastHandle) {
    uint32_t before = ce::syncObjectsInUse();
    HANDLE created = CreateEventW(nullptr, TRUE, FALSE, u"zV_TimerNotes");
    ASSERT_NE(created, nullptr);
    HANDLE opened = OpenEventW(EVENT_ALL_ACCESS, FALSE, u"zV_TimerNotes");
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(CloseHandle(created));
    EXPECT_TRUE(SetEvent(opened)); // still there
    HANDLE again = OpenEventW(EVENT_ALL_ACCESS, FALSE, u"zV_TimerNotes");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(again, 0));
    CloseHandle(opened);
    CloseHandle(again);
    EXPECT_EQ(before, ce::syncObjectsInUse());
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, OpenEventW(EVENT_ALL_ACCESS, FALSE, u"zV_TimerNotes"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    // Created again, it is a new event in its initial state.
    SetLastError(kPoison);
    HANDLE fresh = CreateEventW(nullptr, TRUE, FALSE, u"zV_TimerNotes");
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(fresh, 0));
    CloseHandle(fresh);
}

// Object names compare with regard to case, as on Windows.
TEST_F(EventTest, NamesAreCaseSensitive) {
    HANDLE upper = CreateEventW(nullptr, TRUE, FALSE, u"PowerManager/ReloadActivityTimeouts");
    ASSERT_NE(upper, nullptr);
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, OpenEventW(EVENT_ALL_ACCESS, FALSE, u"powermanager/reloadactivitytimeouts"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    SetLastError(kPoison);
    HANDLE lower = CreateEventW(nullptr, TRUE, FALSE, u"powermanager/reloadactivitytimeouts");
    ASSERT_NE(lower, nullptr);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
    SetEvent(upper);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(lower, 0));
    CloseHandle(upper);
    CloseHandle(lower);
}

// Events, mutexes and semaphores share one namespace: a name taken by another type cannot be
// created or opened as an event.
TEST_F(EventTest, NameHeldByAnotherTypeFails) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, u"shared name");
    ASSERT_NE(mutex, nullptr);
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, CreateEventW(nullptr, TRUE, FALSE, u"shared name"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, OpenEventW(EVENT_ALL_ACCESS, FALSE, u"shared name"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, CreateSemaphoreW(nullptr, 0, 1, u"shared name"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    CloseHandle(mutex);
}

TEST_F(EventTest, BadNamesAndHandlesFail) {
    std::u16string longest(MAX_PATH, u'n');
    HANDLE ok = CreateEventW(nullptr, TRUE, FALSE, longest.c_str());
    EXPECT_NE(ok, nullptr);
    std::u16string tooLong(MAX_PATH + 1, u'n');
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, CreateEventW(nullptr, TRUE, FALSE, tooLong.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), GetLastError());
    CloseHandle(ok);

    SetLastError(kPoison);
    EXPECT_EQ(nullptr, OpenEventW(EVENT_ALL_ACCESS, FALSE, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, OpenEventW(EVENT_ALL_ACCESS, FALSE, u"no such event"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());

    // "" is no name: two such events are two objects.
    HANDLE a = CreateEventW(nullptr, TRUE, FALSE, u"");
    HANDLE b = CreateEventW(nullptr, TRUE, FALSE, u"");
    SetEvent(a);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(b, 0));

    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    HANDLE closed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(closed);
    for (HANDLE h : {static_cast<HANDLE>(nullptr), mutex, closed, ULongToHandle(0x7ff0)}) {
        SetLastError(kPoison);
        EXPECT_FALSE(SetEvent(h));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
        SetLastError(kPoison);
        EXPECT_FALSE(ResetEvent(h));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
        SetLastError(kPoison);
        EXPECT_FALSE(PulseEvent(h));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    }
    CloseHandle(a);
    CloseHandle(b);
    CloseHandle(mutex);
}

// ---- Across the processes of a device ----

using EventCrossProcess = cetest::DeviceTest;

// The documented use: one program waits on a named event, another one sets it.
TEST_F(EventCrossProcess, SetInOneProcessReleasesAWaitInAnother) {
    HANDLE e = CreateEventW(nullptr, TRUE, FALSE, u"zV_TimerCal");
    ASSERT_NE(e, nullptr);
    cetest::Child child([] {
        HANDLE h = OpenEventW(EVENT_ALL_ACCESS, FALSE, u"zV_TimerCal");
        if (!h) return 1;
        usleep(200'000); // let the parent fall asleep in its wait
        if (!SetEvent(h)) return 2;
        CloseHandle(h);
        return 0;
    });
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(e, 30000));
    EXPECT_EQ(0, child.wait());
    CloseHandle(e);
}

TEST_F(EventCrossProcess, AutoEventSetByParentReleasesTheChildOnce) {
    HANDLE e = CreateEventW(nullptr, FALSE, FALSE, u"zV_TimerNotes");
    ASSERT_NE(e, nullptr);
    cetest::Child child([] {
        SetLastError(kPoison);
        HANDLE h = CreateEventW(nullptr, FALSE, FALSE, u"zV_TimerNotes");
        if (!h || GetLastError() != ERROR_ALREADY_EXISTS) return 1;
        return WaitForSingleObject(h, 30000) == WAIT_OBJECT_0 ? 0 : 2;
    });
    realSleepMs(200);
    EXPECT_TRUE(SetEvent(e));
    EXPECT_EQ(0, child.wait());
    // The child's wait took the one release.
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(e, 0));
    CloseHandle(e);
}

// A program that ends without closing its handles does not keep a named event alive.
TEST_F(EventCrossProcess, ProcessThatDiedHoldsNoEvent) {
    int rc = cetest::runInChild([] {
        HANDLE h = CreateEventW(nullptr, TRUE, TRUE, u"left behind");
        return h ? 0 : 1; // exits without CloseHandle
    });
    ASSERT_EQ(0, rc);
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, OpenEventW(EVENT_ALL_ACCESS, FALSE, u"left behind"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

// While a child holds an event the parent created and closed, the event lives on.
TEST_F(EventCrossProcess, EventHeldByAnotherProcessStays) {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, u"ready");
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, u"done");
    HANDLE shared = CreateEventW(nullptr, TRUE, FALSE, u"shared");
    cetest::Child child([] {
        HANDLE s = OpenEventW(EVENT_ALL_ACCESS, FALSE, u"shared");
        HANDLE r = OpenEventW(EVENT_ALL_ACCESS, FALSE, u"ready");
        HANDLE d = OpenEventW(EVENT_ALL_ACCESS, FALSE, u"done");
        if (!s || !r || !d) return 1;
        SetEvent(r);
        if (WaitForSingleObject(d, 30000) != WAIT_OBJECT_0) return 2;
        return WaitForSingleObject(s, 0) == WAIT_OBJECT_0 ? 0 : 3;
    });
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 30000));
    CloseHandle(shared);
    HANDLE reopened = OpenEventW(EVENT_ALL_ACCESS, FALSE, u"shared");
    ASSERT_NE(reopened, nullptr);
    SetEvent(reopened);
    SetEvent(done);
    EXPECT_EQ(0, child.wait());
    CloseHandle(reopened);
    CloseHandle(ready);
    CloseHandle(done);
}

// Two devices on one machine never share a name.
TEST(EventDevices, NamesBelongToOneDevice) {
    cetest::TempDevice first;
    HANDLE inFirst = CreateEventW(nullptr, TRUE, TRUE, u"zV_TimerCal");
    ASSERT_NE(inFirst, nullptr);
    {
        cetest::TempDevice second;
        SetLastError(kPoison);
        EXPECT_EQ(nullptr, OpenEventW(EVENT_ALL_ACCESS, FALSE, u"zV_TimerCal"));
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
        SetLastError(kPoison);
        HANDLE inSecond = CreateEventW(nullptr, TRUE, FALSE, u"zV_TimerCal");
        EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(inSecond, 0));
        CloseHandle(inSecond);
    }
    // The first device's handle still works after the process moved on.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(inFirst, 0));
    EXPECT_TRUE(CloseHandle(inFirst));
}

// Without a device, names still work inside the process.
TEST(EventNoDevice, NamedEventsWorkInTheProcess) {
    ce::attachDevice({});
    HANDLE a = CreateEventW(nullptr, FALSE, FALSE, u"local");
    ASSERT_NE(a, nullptr);
    SetLastError(kPoison);
    HANDLE b = CreateEventW(nullptr, FALSE, FALSE, u"local");
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    DWORD r = kPoison;
    std::thread waiter([&] { r = WaitForSingleObject(b, 20000); });
    realSleepMs(50);
    SetEvent(a);
    waiter.join();
    EXPECT_EQ(WAIT_OBJECT_0, r);
    CloseHandle(a);
    CloseHandle(b);
    EXPECT_EQ(nullptr, OpenEventW(EVENT_ALL_ACCESS, FALSE, u"local"));
}

} // namespace
