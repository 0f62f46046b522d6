// thread.cpp: CreateThread and the life of the device's threads.
//
// Every thread is a detached host thread. Its thread object (the handle's KernelObject) is
// shared by the handles and by the running thread itself, so it outlives a handle closed at
// once and tells GetExitCodeThread and waiters when the thread is done. Thread ids are the
// host's thread ids.
//
// Ending a thread from outside cannot be done safely on the host: asynchronous cancellation
// would stop it inside the C library, and a forced unwind (pthread_cancel, pthread_exit)
// would run into the catch (...) guards that the device's programs wrap their thread bodies
// in. So TerminateThread only leaves a request; the thread notices it at its next wait or
// sleep (wait.cpp), and ExitThread is the same thing done by the thread to itself: the thread
// records its exit code, abandons its mutexes, becomes signalled, wakes the waiters and then
// parks for good on a futex nobody wakes. None of its code and no destructor of its frames
// runs after that, as on Windows; its stack stays reserved until the process ends. A thread
// that returns normally after a request gets the requested exit code, since on Windows it
// would never have got so far.
//
// SuspendThread works the same way: a suspended thread stops at its next wait or sleep until
// its suspend count is back to zero (at once when it suspends itself).
#include <atomic>
#include <linux/futex.h>
#include <memory>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "kernel/device.h"
#include "kernel/handles.h"
#include "kernel/objtable.h"
#include "kernel/trace.h"
#include "kernel/wait.h"
#include "winbase.h"
#include "winprocess.h"
#include "winthread.h"

namespace ce {

namespace {

class ThreadObject final : public KernelObject {
public:
    ObjectType type() const override { return ObjectType::Thread; }
    bool isWaitable() const override { return true; }
    bool trySatisfy(bool) override { return finished.load(std::memory_order_acquire); }

    // Wakes the thread if it is held in currentThreadMustStop().
    void poke() {
        control.fetch_add(1, std::memory_order_acq_rel);
        control.notify_all();
    }

    std::atomic<uint32_t> tid{0};
    std::atomic<bool> finished{false};
    std::atomic<DWORD> exitCode{STILL_ACTIVE};
    std::atomic<bool> stopRequested{false};
    std::atomic<DWORD> stopCode{0};
    std::atomic<uint32_t> suspendCount{0};
    std::atomic<uint32_t> control{0}; // moves on every request; a held thread sleeps on it
    std::atomic<int> priority{THREAD_PRIORITY_NORMAL};
};

// The calling thread's object: set for threads CreateThread started, made on demand for the
// others (the main thread, threads of the host's own libraries).
thread_local std::shared_ptr<ThreadObject> tlsSelf;
thread_local uint32_t tlsTid = 0;

// Only the forking thread lives on in a child, under a new id.
void afterForkInChild() {
    tlsTid = 0;
    tlsSelf.reset();
}
[[maybe_unused]] const int atforkRegistered = pthread_atfork(nullptr, nullptr, afterForkInChild);

ThreadObject& self() {
    if (!tlsSelf) {
        tlsSelf = std::make_shared<ThreadObject>();
        tlsSelf->tid.store(currentThreadId(), std::memory_order_release);
    }
    return *tlsSelf;
}

std::shared_ptr<ThreadObject> resolveThread(HANDLE h) {
    if (HandleToULong(h) == kCurrentThreadPseudoHandle &&
        reinterpret_cast<uintptr_t>(h) == kCurrentThreadPseudoHandle) {
        self();
        return tlsSelf;
    }
    auto object = lookupHandle(h);
    if (!object || object->type() != ObjectType::Thread) return nullptr;
    return std::dynamic_pointer_cast<ThreadObject>(object);
}

bool isCallingThread(const ThreadObject& t) {
    return t.tid.load(std::memory_order_acquire) == currentThreadId();
}

// The thread is done: its mutexes are abandoned first, so that a wait for the thread and one
// of its mutexes sees both, then it is signalled.
void finishThread(ThreadObject& t, DWORD code) {
    abandonMutexesOfThread(t.tid.load(std::memory_order_acquire));
    t.exitCode.store(code, std::memory_order_release);
    t.finished.store(true, std::memory_order_release);
    wakeDeviceWaiters();
}

[[noreturn]] void park() {
    uint32_t never = 0;
    for (;;)
        syscall(SYS_futex, &never, FUTEX_WAIT_PRIVATE, 0, nullptr, nullptr, 0);
}

// Ends the calling thread with code: see the file comment. On Windows CE the process ends
// with its main thread.
[[noreturn]] void endCurrentThread(DWORD code) {
    if (currentThreadId() == static_cast<uint32_t>(getpid())) {
        CE_TRACE("thread", "main thread ends: process exits with %u", code);
        ExitProcess(code);
    }
    std::shared_ptr<ThreadObject> me = std::move(tlsSelf);
    if (me)
        finishThread(*me, code);
    else
        abandonMutexesOfThread(currentThreadId());
    me.reset();
    park();
}

struct StartBlock {
    std::shared_ptr<ThreadObject> self;
    LPTHREAD_START_ROUTINE routine;
    LPVOID parameter;
};

void* threadMain(void* arg) {
    std::unique_ptr<StartBlock> start(static_cast<StartBlock*>(arg));
    tlsSelf = std::move(start->self);
    LPTHREAD_START_ROUTINE routine = start->routine;
    LPVOID parameter = start->parameter;
    start.reset();
    ThreadObject& me = *tlsSelf;
    me.tid.store(currentThreadId(), std::memory_order_release);
    me.tid.notify_all();
    // Created suspended and terminated before it ran: there is none of its code to skip.
    if (currentThreadMustStop()) {
        std::shared_ptr<ThreadObject> done = std::move(tlsSelf);
        finishThread(*done, done->stopCode.load(std::memory_order_acquire));
        return nullptr;
    }
    DWORD code = routine(parameter);
    std::shared_ptr<ThreadObject> done = std::move(tlsSelf);
    if (done->stopRequested.load(std::memory_order_acquire))
        code = done->stopCode.load(std::memory_order_acquire);
    finishThread(*done, code);
    return nullptr;
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

} // namespace

uint32_t currentThreadId() {
    if (tlsTid == 0) tlsTid = static_cast<uint32_t>(syscall(SYS_gettid));
    return tlsTid;
}

std::shared_ptr<KernelObject> currentThreadObject() {
    self();
    return tlsSelf;
}

bool currentThreadMustStop() {
    ThreadObject* me = tlsSelf.get();
    if (!me) return false;
    for (;;) {
        uint32_t seen = me->control.load(std::memory_order_acquire);
        if (me->stopRequested.load(std::memory_order_acquire)) return true;
        if (me->suspendCount.load(std::memory_order_acquire) == 0) return false;
        me->control.wait(seen, std::memory_order_acquire);
    }
}

void stopCurrentThread() {
    DWORD code = tlsSelf ? tlsSelf->stopCode.load(std::memory_order_acquire) : 0;
    endCurrentThread(code);
}

} // namespace ce

// The stack is the host's default (or dwStackSize, when that is larger): Windows CE reserves
// far less, but code written for it never relies on running out.
WINBASEAPI HANDLE CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, DWORD dwStackSize,
                               LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                               DWORD dwCreationFlags, LPDWORD lpThreadId) {
    if (!lpStartAddress) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (dwCreationFlags & ~(CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION)) {
        CE_FIXME("thread", "creation flags 0x%x not supported", dwCreationFlags);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto thread = std::make_shared<ce::ThreadObject>();
    if (dwCreationFlags & CREATE_SUSPENDED) thread->suspendCount.store(1);

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    size_t stack = 0;
    pthread_attr_getstacksize(&attr, &stack);
    if (dwStackSize > stack) {
        size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        pthread_attr_setstacksize(&attr, (dwStackSize + page - 1) / page * page);
    }
    auto start =
        std::make_unique<ce::StartBlock>(ce::StartBlock{thread, lpStartAddress, lpParameter});
    pthread_t host;
    int rc = pthread_create(&host, &attr, ce::threadMain, start.get());
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        CE_TRACE("thread", "pthread_create: error %d", rc);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    start.release(); // the thread owns it now

    HANDLE h = ce::insertHandle(thread);
    uint32_t tid;
    while ((tid = thread->tid.load(std::memory_order_acquire)) == 0)
        thread->tid.wait(0, std::memory_order_acquire);
    if (lpThreadId) *lpThreadId = tid;
    return h;
}

WINBASEAPI void ExitThread(DWORD dwExitCode) {
    ce::endCurrentThread(dwExitCode);
}

// See the file comment: the target stops at its next wait or sleep. A thread that has ended
// already keeps its exit code.
WINBASEAPI BOOL TerminateThread(HANDLE hThread, DWORD dwExitCode) {
    auto thread = ce::resolveThread(hThread);
    if (!thread) return ce::fail(ERROR_INVALID_HANDLE);
    if (ce::isCallingThread(*thread)) ce::endCurrentThread(dwExitCode);
    if (thread->finished.load(std::memory_order_acquire)) return TRUE;
    thread->stopCode.store(dwExitCode, std::memory_order_release);
    thread->stopRequested.store(true, std::memory_order_release);
    thread->poke();
    ce::wakeDeviceWaiters();
    return TRUE;
}

WINBASEAPI BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    auto thread = ce::resolveThread(hThread);
    if (!thread) return ce::fail(ERROR_INVALID_HANDLE);
    if (!lpExitCode) return ce::fail(ERROR_INVALID_PARAMETER);
    *lpExitCode = thread->exitCode.load(std::memory_order_acquire);
    return TRUE;
}

WINBASEAPI DWORD GetCurrentThreadId(void) {
    return ce::currentThreadId();
}

WINBASEAPI HANDLE GetCurrentThread(void) {
    return ULongToHandle(ce::kCurrentThreadPseudoHandle);
}

WINBASEAPI BOOL SetThreadPriority(HANDLE hThread, int nPriority) {
    auto thread = ce::resolveThread(hThread);
    if (!thread) return ce::fail(ERROR_INVALID_HANDLE);
    if (nPriority < THREAD_PRIORITY_TIME_CRITICAL || nPriority > THREAD_PRIORITY_IDLE)
        return ce::fail(ERROR_INVALID_PARAMETER);
    thread->priority.store(nPriority, std::memory_order_relaxed);
    return TRUE;
}

WINBASEAPI int GetThreadPriority(HANDLE hThread) {
    auto thread = ce::resolveThread(hThread);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return THREAD_PRIORITY_ERROR_RETURN;
    }
    return thread->priority.load(std::memory_order_relaxed);
}

WINBASEAPI DWORD ResumeThread(HANDLE hThread) {
    auto thread = ce::resolveThread(hThread);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0xFFFFFFFF;
    }
    uint32_t previous = thread->suspendCount.load(std::memory_order_acquire);
    while (previous > 0 && !thread->suspendCount.compare_exchange_weak(previous, previous - 1,
                                                                       std::memory_order_acq_rel)) {
    }
    if (previous == 1) thread->poke();
    return previous;
}

WINBASEAPI DWORD SuspendThread(HANDLE hThread) {
    auto thread = ce::resolveThread(hThread);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0xFFFFFFFF;
    }
    uint32_t previous = thread->suspendCount.fetch_add(1, std::memory_order_acq_rel);
    if (ce::isCallingThread(*thread)) {
        if (ce::currentThreadMustStop()) ce::stopCurrentThread();
    } else {
        thread->poke();
        ce::wakeDeviceWaiters();
    }
    return previous;
}
