// thread_test.cpp: threads of the device: creation (parameter, id, exit code, suspended start,
// failure), ExitThread and TerminateThread stopping a thread at its next wait or sleep without
// running any more of its code, SuspendThread, the CE priority levels, critical sections and the
// interlocked operations.
#include <atomic>
#include <chrono>
#include <functional>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "kernel/handles.h"
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

DWORD exitCodeOf(HANDLE thread) {
    DWORD code = kPoison;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    return code;
}

// Sets a flag when destroyed: shows whether a thread's frames were unwound.
struct UnwindProbe {
    std::atomic<int>* destroyed;
    ~UnwindProbe() { destroyed->store(1); }
};

using ThreadTest = cetest::DeviceTest;

// The body gets its parameter and runs on a thread of its own whose id CreateThread reported;
// the handle is signalled when the body returns, and the exit code is its return value
// (STILL_ACTIVE before).
TEST_F(ThreadTest, RunsBodyAndReportsIdAndExitCode) {
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(go, nullptr);
    std::atomic<DWORD> seenId{kPoison};
    Body body{[&] {
        seenId = GetCurrentThreadId();
        WaitForSingleObject(go, INFINITE);
        return DWORD{42};
    }};
    DWORD id = kPoison;
    HANDLE h = startThread(body, 0, &id);
    ASSERT_NE(h, nullptr);
    EXPECT_NE(id, kPoison);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());
    ASSERT_TRUE(eventually([&] { return seenId != kPoison; }));
    EXPECT_EQ(id, seenId.load());
    EXPECT_EQ(STILL_ACTIVE, exitCodeOf(h));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(h, 0));

    EXPECT_TRUE(SetEvent(go));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 20000));
    EXPECT_EQ(42u, exitCodeOf(h));
    // A finished thread stays signalled.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 0));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_TRUE(CloseHandle(go));
}

// Programs start threads and close the handle at once; the thread runs on regardless.
TEST_F(ThreadTest, ClosingTheHandleDoesNotStopTheThread) {
    HANDLE go = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Body body{[&] {
        WaitForSingleObject(go, INFINITE);
        SetEvent(done);
        return DWORD{0};
    }};
    HANDLE h = startThread(body);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(CloseHandle(h));
    SetEvent(go);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done, 20000));
    CloseHandle(go);
    CloseHandle(done);
}

TEST_F(ThreadTest, DistinctThreadsHaveDistinctIds) {
    std::atomic<DWORD> a{0}, b{0};
    Body ba{[&] { return a = GetCurrentThreadId(), DWORD{0}; }};
    Body bb{[&] { return b = GetCurrentThreadId(), DWORD{0}; }};
    HANDLE hs[2] = {startThread(ba), startThread(bb)};
    ASSERT_NE(hs[0], nullptr);
    ASSERT_NE(hs[1], nullptr);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, hs, TRUE, 20000));
    EXPECT_NE(a.load(), 0u);
    EXPECT_NE(a.load(), b.load());
    EXPECT_NE(a.load(), GetCurrentThreadId());
    CloseHandle(hs[0]);
    CloseHandle(hs[1]);
}

// CREATE_SUSPENDED: the body does not start until the suspend count drops to zero, and
// ResumeThread returns the count it found.
TEST_F(ThreadTest, SuspendedThreadStartsOnResume) {
    std::atomic<int> ran{0};
    Body body{[&] { return ran = 1, DWORD{7}; }};
    DWORD id = kPoison;
    HANDLE h = startThread(body, CREATE_SUSPENDED, &id);
    ASSERT_NE(h, nullptr);
    EXPECT_NE(id, kPoison);
    realSleepMs(100);
    EXPECT_EQ(0, ran.load());
    EXPECT_EQ(STILL_ACTIVE, exitCodeOf(h));
    EXPECT_EQ(1u, ResumeThread(h));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 20000));
    EXPECT_EQ(1, ran.load());
    EXPECT_EQ(7u, exitCodeOf(h));
    EXPECT_EQ(0u, ResumeThread(h));
    CloseHandle(h);
}

// The documented behaviour TerminateThread is used for: a thread inside Sleep is stopped, its
// handle becomes signalled with the given exit code, and nothing after the Sleep runs: no
// statement, no catch (...) guard, no destructor.
TEST_F(ThreadTest, TerminateStopsAThreadInsideSleep) {
    std::atomic<int> entered{0}, after{0}, caught{0}, destroyed{0};
    Body body{[&] {
        try {
            UnwindProbe probe{&destroyed};
            entered = 1;
            Sleep(600000);
            after = 1;
        } catch (...) {
            caught = 1;
        }
        return DWORD{5};
    }};
    HANDLE h = startThread(body);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(eventually([&] { return entered.load() == 1; }));
    realSleepMs(50); // usually inside Sleep by now; before it, the Sleep stops it just the same
    EXPECT_TRUE(TerminateThread(h, 77));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 20000));
    EXPECT_EQ(77u, exitCodeOf(h));
    realSleepMs(50);
    EXPECT_EQ(0, after.load());
    EXPECT_EQ(0, caught.load());
    EXPECT_EQ(0, destroyed.load());
    CloseHandle(h);
}

TEST_F(ThreadTest, TerminateStopsAThreadInsideAWait) {
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, u"never set");
    std::atomic<int> entered{0}, after{0};
    Body body{[&] {
        entered = 1;
        DWORD r = WaitForSingleObject(never, 600000);
        after = 1;
        return r;
    }};
    HANDLE h = startThread(body);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(eventually([&] { return entered.load() == 1; }));
    EXPECT_TRUE(TerminateThread(h, 99));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 20000));
    EXPECT_EQ(99u, exitCodeOf(h));
    EXPECT_EQ(0, after.load());
    CloseHandle(h);
    // The stopped thread let go of its reference: the named event goes with its last handle.
    CloseHandle(never);
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, OpenEventW(EVENT_ALL_ACCESS, FALSE, u"never set"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

// ExitThread deep inside the body: the exit code is recorded and nothing of the callers runs,
// their catch (...) guards and destructors included.
TEST_F(ThreadTest, ExitThreadSkipsTheRestOfTheThread) {
    std::atomic<int> after{0}, caught{0}, destroyed{0};
    Body body{[&] {
        try {
            UnwindProbe probe{&destroyed};
            [] { ExitThread(31); }();
            after = 1;
        } catch (...) {
            caught = 1;
        }
        return DWORD{1};
    }};
    HANDLE h = startThread(body);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 20000));
    EXPECT_EQ(31u, exitCodeOf(h));
    realSleepMs(50);
    EXPECT_EQ(0, after.load());
    EXPECT_EQ(0, caught.load());
    EXPECT_EQ(0, destroyed.load());
    CloseHandle(h);
}

// On Windows CE the process ends when its main thread calls ExitThread, other threads or not.
TEST_F(ThreadTest, ExitThreadOnTheMainThreadEndsTheProcess) {
    int rc = cetest::runInChild([] {
        Body sleeper{[] {
            Sleep(INFINITE);
            return DWORD{0};
        }};
        if (!startThread(sleeper)) return 1;
        ExitThread(23);
        return 2;
    });
    EXPECT_EQ(23, rc);
}

TEST_F(ThreadTest, TerminatingASuspendedThreadMeansItNeverRuns) {
    std::atomic<int> ran{0};
    Body body{[&] { return ran = 1, DWORD{0}; }};
    HANDLE h = startThread(body, CREATE_SUSPENDED);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(TerminateThread(h, 8));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 20000));
    EXPECT_EQ(8u, exitCodeOf(h));
    EXPECT_EQ(0, ran.load());
    CloseHandle(h);
}

TEST_F(ThreadTest, TerminatingAFinishedThreadKeepsItsExitCode) {
    Body body{[] { return DWORD{3}; }};
    HANDLE h = startThread(body);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 20000));
    EXPECT_TRUE(TerminateThread(h, 9));
    EXPECT_EQ(3u, exitCodeOf(h));
    CloseHandle(h);
}

// SuspendThread of another thread holds it at its wait: a signal that arrives while it is
// suspended does not let it return until ResumeThread.
TEST_F(ThreadTest, SuspendedThreadStaysInItsWaitUntilResumed) {
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> entered{0};
    Body body{[&] {
        entered = 1;
        return WaitForSingleObject(go, 600000);
    }};
    HANDLE h = startThread(body);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(eventually([&] { return entered.load() == 1; }));
    realSleepMs(100);
    EXPECT_EQ(0u, SuspendThread(h));
    EXPECT_EQ(1u, SuspendThread(h));
    realSleepMs(100);
    SetEvent(go);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(h, 300));
    EXPECT_EQ(2u, ResumeThread(h));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(h, 300));
    EXPECT_EQ(1u, ResumeThread(h));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 20000));
    EXPECT_EQ(WAIT_OBJECT_0, exitCodeOf(h));
    CloseHandle(h);
    CloseHandle(go);
}

// Creation failure is reportable: NULL and an error code. The child process gets a process
// limit of zero (as an unprivileged user), so the host cannot start the thread.
TEST_F(ThreadTest, CreationFailureIsReported) {
    int rc = cetest::runInChild([] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 50;
        rlimit none{0, 0};
        if (setrlimit(RLIMIT_NPROC, &none) != 0) return 50;
        Body body{[] { return DWORD{0}; }};
        DWORD id = kPoison;
        SetLastError(kPoison);
        HANDLE h = startThread(body, 0, &id);
        if (h != nullptr) return 1;
        if (GetLastError() != ERROR_NOT_ENOUGH_MEMORY) return 2;
        if (id != kPoison) return 3;
        return 0;
    });
    if (rc == 50) GTEST_SKIP() << "cannot limit the child's processes here";
    EXPECT_EQ(0, rc);
}

TEST_F(ThreadTest, BadArgumentsFail) {
    DWORD id = kPoison;
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, CreateThread(nullptr, 0, nullptr, nullptr, 0, &id));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(kPoison, id);

    Body body{[] { return DWORD{0}; }};
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, CreateThread(nullptr, 0, runBody, &body, 0x10 /* not a CE flag */, &id));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());

    HANDLE bogus = ULongToHandle(0x7ff0);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD code = kPoison;
    for (HANDLE h : {bogus, event, static_cast<HANDLE>(nullptr)}) {
        SetLastError(kPoison);
        EXPECT_FALSE(GetExitCodeThread(h, &code));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
        SetLastError(kPoison);
        EXPECT_FALSE(TerminateThread(h, 1));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
        SetLastError(kPoison);
        EXPECT_EQ(0xFFFFFFFFu, ResumeThread(h));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    }
    EXPECT_EQ(kPoison, code);
    SetLastError(kPoison);
    EXPECT_FALSE(GetExitCodeThread(GetCurrentThread(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    CloseHandle(event);
}

// The pseudo handle means the calling thread: still active, not signalled.
TEST_F(ThreadTest, CurrentThreadPseudoHandle) {
    HANDLE self = GetCurrentThread();
    EXPECT_NE(self, nullptr);
    EXPECT_EQ(STILL_ACTIVE, exitCodeOf(self));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(self, 0));
    std::atomic<DWORD> seen{kPoison};
    Body body{[&] { return seen = exitCodeOf(GetCurrentThread()), DWORD{0}; }};
    HANDLE h = startThread(body);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 20000));
    EXPECT_EQ(STILL_ACTIVE, seen.load());
    CloseHandle(h);
}

// Windows CE numbers its priority levels 0 (time critical) to 7 (idle), unlike the desktop.
// They are recorded per thread; other values are refused.
TEST_F(ThreadTest, PrioritiesUseTheCeLevels) {
    EXPECT_EQ(0, THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_EQ(3, THREAD_PRIORITY_NORMAL);
    EXPECT_EQ(7, THREAD_PRIORITY_IDLE);

    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Body body{[&] { return WaitForSingleObject(go, INFINITE); }};
    HANDLE h = startThread(body);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(THREAD_PRIORITY_NORMAL, GetThreadPriority(h));
    EXPECT_TRUE(SetThreadPriority(h, THREAD_PRIORITY_LOWEST));
    EXPECT_EQ(THREAD_PRIORITY_LOWEST, GetThreadPriority(h));
    for (int bad : {-1, 8, 15, -15}) {
        SetLastError(kPoison);
        EXPECT_FALSE(SetThreadPriority(h, bad)) << bad;
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    }
    EXPECT_EQ(THREAD_PRIORITY_LOWEST, GetThreadPriority(h));
    // Each thread has its own.
    EXPECT_NE(THREAD_PRIORITY_LOWEST, GetThreadPriority(GetCurrentThread()));
    SetLastError(kPoison);
    EXPECT_EQ(THREAD_PRIORITY_ERROR_RETURN, GetThreadPriority(ULongToHandle(0x7ff0)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    SetEvent(go);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 20000));
    CloseHandle(h);
    CloseHandle(go);
}

// ---- Critical sections ----

// Recursive: the owner enters again and must leave as often; until then another thread
// cannot enter.
TEST(CritSec, OwnerEntersAgainAndMustLeaveAsOften) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EnterCriticalSection(&cs);
    EXPECT_TRUE(TryEnterCriticalSection(&cs));
    auto otherCanEnter = [&] {
        bool entered = false;
        std::thread([&] {
            entered = TryEnterCriticalSection(&cs);
            if (entered) LeaveCriticalSection(&cs);
        }).join();
        return entered;
    };
    EXPECT_FALSE(otherCanEnter());
    LeaveCriticalSection(&cs);
    EXPECT_FALSE(otherCanEnter());
    LeaveCriticalSection(&cs);
    EXPECT_TRUE(otherCanEnter());
    DeleteCriticalSection(&cs);
}

TEST(CritSec, EnterBlocksUntilTheOwnerLeaves) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EnterCriticalSection(&cs);
    std::atomic<int> inside{0};
    std::thread other([&] {
        EnterCriticalSection(&cs);
        inside = 1;
        LeaveCriticalSection(&cs);
    });
    realSleepMs(100);
    EXPECT_EQ(0, inside.load());
    LeaveCriticalSection(&cs);
    other.join();
    EXPECT_EQ(1, inside.load());
    DeleteCriticalSection(&cs);
}

TEST(CritSec, SerialisesThreads) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    long counter = 0; // plain: only the critical section protects it
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                EnterCriticalSection(&cs);
                long v = counter;
                counter = v + 1;
                LeaveCriticalSection(&cs);
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(80000, counter);
    DeleteCriticalSection(&cs);
}

// A Leave from a thread that does not own the section is ignored: the owner keeps it.
TEST(CritSec, LeaveByANonOwnerIsIgnored) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EnterCriticalSection(&cs);
    bool entered = true;
    std::thread([&] {
        LeaveCriticalSection(&cs);
        entered = TryEnterCriticalSection(&cs);
    }).join();
    EXPECT_FALSE(entered);
    LeaveCriticalSection(&cs);
    DeleteCriticalSection(&cs);
}

// Zeroed storage is a usable section, and a deleted one can be initialised and used again.
TEST(CritSec, ZeroedStorageAndReuseAfterDelete) {
    CRITICAL_SECTION cs;
    memset(&cs, 0, sizeof cs);
    EXPECT_TRUE(TryEnterCriticalSection(&cs));
    LeaveCriticalSection(&cs);
    InitializeCriticalSection(&cs);
    DeleteCriticalSection(&cs);
    InitializeCriticalSection(&cs);
    EnterCriticalSection(&cs);
    LeaveCriticalSection(&cs);
    DeleteCriticalSection(&cs);
    EXPECT_FALSE(TryEnterCriticalSection(nullptr));
}

// ---- Interlocked ----

TEST(ThreadInterlocked, ReturnValuesFollowWindows) {
    volatile LONG v = 5;
    EXPECT_EQ(6, InterlockedIncrement(&v));
    EXPECT_EQ(5, InterlockedDecrement(&v));
    EXPECT_EQ(5, InterlockedExchange(&v, 9));
    EXPECT_EQ(9, v);
    EXPECT_EQ(9, InterlockedExchangeAdd(&v, -4));
    EXPECT_EQ(5, v);
    EXPECT_EQ(5, InterlockedCompareExchange(&v, 1, 4)); // no match: unchanged
    EXPECT_EQ(5, v);
    EXPECT_EQ(5, InterlockedCompareExchange(&v, 1, 5)); // match: exchanged
    EXPECT_EQ(1, v);
    volatile LONG top = 0x7FFFFFFF;
    EXPECT_EQ(static_cast<LONG>(0x80000000), InterlockedIncrement(&top)); // wraps

    int a = 0, b = 0;
    PVOID volatile p = &a;
    EXPECT_EQ(&a, InterlockedExchangePointer(&p, &b));
    EXPECT_EQ(&b, p);
    EXPECT_EQ(&b, InterlockedCompareExchangePointer(&p, &a, &a));
    EXPECT_EQ(&b, p);
    EXPECT_EQ(&b, InterlockedCompareExchangePointer(&p, &a, &b));
    EXPECT_EQ(&a, p);
}

TEST(ThreadInterlocked, IncrementsFromManyThreadsAllCount) {
    volatile LONG counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 50000; ++i)
                InterlockedIncrement(&counter);
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(200000, counter);
}

} // namespace
