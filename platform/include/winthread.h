// winthread.h: threads, synchronisation objects and waits of the device.
//
// Part of the SDK headers of the simulated device (windows.h includes it). The values are the
// Windows CE ones where CE differs from the desktop: thread priorities run from 0 (time
// critical) to 7 (idle), and the CE-only EventModify is here beside SetEvent and friends.
//
// How the device behaves, in the few places where it cannot be a copy of Windows:
//  * Every timeout (waits, Sleep) is measured on the device clock, on the GetTickCount
//    timeline: at clock rate 60 a 60000 ms wait lasts about one real second, on a frozen clock
//    it lasts until the clock is advanced. Setting the device time does not shorten a wait.
//  * TerminateThread, and SuspendThread of another thread, take effect when the target thread
//    next waits or sleeps (any WaitFor... call or Sleep), never asynchronously. A terminated
//    thread runs no more of its code and no cleanup, exactly as on Windows; its stack stays
//    reserved until the process ends.
//  * Named events, mutexes and semaphores are shared by every process of the device and by
//    no other device. Names are compared with regard to case, as Windows does. A named object
//    lives while any process holds a handle to it; a process that ends without closing its
//    handles lets go of them.
//  * A CRITICAL_SECTION is opaque storage owned by the caller; storage that is all zero bytes
//    is a valid, unowned critical section.
#pragma once

#include "windef.h"

#ifdef __cplusplus
extern "C" {
#endif

// ---- Waits -------------------------------------------------------------------------------------
#ifndef INFINITE
#define INFINITE 0xFFFFFFFFUL
#endif
#ifndef WAIT_OBJECT_0
#define WAIT_OBJECT_0 0x00000000UL
#endif
#ifndef WAIT_ABANDONED
#define WAIT_ABANDONED 0x00000080UL
#endif
#ifndef WAIT_ABANDONED_0
#define WAIT_ABANDONED_0 0x00000080UL
#endif
#ifndef WAIT_FAILED
#define WAIT_FAILED 0xFFFFFFFFUL
#endif
// WAIT_TIMEOUT (258) is in winerror.h.
#ifndef MAXIMUM_WAIT_OBJECTS
#define MAXIMUM_WAIT_OBJECTS 64
#endif

// Waits until the object is signalled (WAIT_OBJECT_0), a mutex whose owner ended without
// releasing it is taken over (WAIT_ABANDONED), or dwMilliseconds of device time pass
// (WAIT_TIMEOUT). Waiting takes the signal of an auto-reset event, a semaphore unit or the
// mutex. WAIT_FAILED with GetLastError() on a bad handle.
WINBASEAPI DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);

// Waits for any (bWaitAll FALSE: WAIT_OBJECT_0 + index of the lowest signalled object) or all
// of nCount objects (bWaitAll TRUE: taken together in one step, or none is taken).
// WAIT_ABANDONED_0 + index when an abandoned mutex ends the wait. At most
// MAXIMUM_WAIT_OBJECTS handles; with bWaitAll the same object may not appear twice.
WINBASEAPI DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                        DWORD dwMilliseconds);

// Suspends the calling thread for dwMilliseconds of device time. Sleep(0) gives the rest of
// the time slice to other threads; Sleep(INFINITE) never returns.
WINBASEAPI void Sleep(DWORD dwMilliseconds);

// ---- Threads -----------------------------------------------------------------------------------
typedef DWORD (*PTHREAD_START_ROUTINE)(LPVOID lpThreadParameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;

#define CREATE_SUSPENDED                  0x00000004UL
#define STACK_SIZE_PARAM_IS_A_RESERVATION 0x00010000UL
#ifndef STILL_ACTIVE
#define STILL_ACTIVE 259UL
#endif

// Windows CE priority levels (0 is the highest).
#define THREAD_PRIORITY_TIME_CRITICAL 0
#define THREAD_PRIORITY_HIGHEST       1
#define THREAD_PRIORITY_ABOVE_NORMAL  2
#define THREAD_PRIORITY_NORMAL        3
#define THREAD_PRIORITY_BELOW_NORMAL  4
#define THREAD_PRIORITY_LOWEST        5
#define THREAD_PRIORITY_ABOVE_IDLE    6
#define THREAD_PRIORITY_IDLE          7
#define THREAD_PRIORITY_ERROR_RETURN  0x7FFFFFFF

// Starts lpStartAddress(lpParameter) on a new thread and returns a handle to it (signalled
// when the thread ends). dwCreationFlags: CREATE_SUSPENDED (runs after ResumeThread) and
// STACK_SIZE_PARAM_IS_A_RESERVATION. The thread id goes to *lpThreadId when that is not
// null. NULL with GetLastError() when the thread cannot be created.
WINBASEAPI HANDLE CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, DWORD dwStackSize,
                               LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                               DWORD dwCreationFlags, LPDWORD lpThreadId);

// Ends the calling thread with dwExitCode. No further code of the thread runs, no destructor
// of its frames either. When the process's main thread calls it, the process ends.
WINBASEAPI void ExitThread(DWORD dwExitCode);

// Ends hThread with dwExitCode when it next waits or sleeps (at once when it is the calling
// thread). Its handle becomes signalled then; none of its code runs after that point.
WINBASEAPI BOOL TerminateThread(HANDLE hThread, DWORD dwExitCode);

// The thread's exit code, or STILL_ACTIVE while it runs.
WINBASEAPI BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);

// The calling thread's id: unique among the device's running threads, never 0.
WINBASEAPI DWORD GetCurrentThreadId(void);

// A pseudo handle that means "the calling thread" in the thread functions and waits. It need
// not be closed and cannot be handed to another thread.
WINBASEAPI HANDLE GetCurrentThread(void);

// Sets the thread's priority level (THREAD_PRIORITY_TIME_CRITICAL to THREAD_PRIORITY_IDLE,
// else ERROR_INVALID_PARAMETER). Levels are recorded and reported back; the host scheduler
// does not see them.
WINBASEAPI BOOL SetThreadPriority(HANDLE hThread, int nPriority);
// The level last set (THREAD_PRIORITY_NORMAL at first), or THREAD_PRIORITY_ERROR_RETURN.
WINBASEAPI int GetThreadPriority(HANDLE hThread);

// Suspend counts. Both calls return the previous count, or 0xFFFFFFFF on failure.
// ResumeThread lowers the count; at zero the thread runs on (a thread created with
// CREATE_SUSPENDED starts then).
WINBASEAPI DWORD ResumeThread(HANDLE hThread);
// Raises the count. The calling thread stops at once; another thread stops at its next wait
// or sleep and stays there until resumed.
WINBASEAPI DWORD SuspendThread(HANDLE hThread);

// ---- Events, mutexes, semaphores -------------------------------------------------------------
#ifndef SYNCHRONIZE
#define SYNCHRONIZE 0x00100000UL
#endif
#ifndef STANDARD_RIGHTS_REQUIRED
#define STANDARD_RIGHTS_REQUIRED 0x000F0000UL
#endif
#define EVENT_MODIFY_STATE   0x0002
#define EVENT_ALL_ACCESS     (STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0x3)
#define MUTEX_ALL_ACCESS     (STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0x1)
#define SEMAPHORE_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0x3)

// EventModify's functions (Windows CE).
#define EVENT_PULSE 1
#define EVENT_RESET 2
#define EVENT_SET   3

// Creates an event, or opens the one of that name (then GetLastError() is
// ERROR_ALREADY_EXISTS, otherwise 0, and bManualReset and bInitialState are ignored). A name
// held by a mutex or semaphore fails with ERROR_INVALID_HANDLE; lpName NULL or "" makes an
// unnamed event.
WINBASEAPI HANDLE CreateEventW(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                               BOOL bInitialState, LPCWSTR lpName);
// Opens an existing named event; ERROR_FILE_NOT_FOUND when no event has that name.
WINBASEAPI HANDLE OpenEventW(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCWSTR lpName);
// Signals the event: a manual-reset event releases every wait until ResetEvent, an
// auto-reset event the first wait that takes it.
WINBASEAPI BOOL SetEvent(HANDLE hEvent);
// Makes the event non-signalled.
WINBASEAPI BOOL ResetEvent(HANDLE hEvent);
// Releases the threads waiting at this moment (all of them for a manual-reset event, one for
// an auto-reset event) and leaves the event reset. A pulse nobody waits for is lost.
WINBASEAPI BOOL PulseEvent(HANDLE hEvent);
// Windows CE: EVENT_SET, EVENT_RESET or EVENT_PULSE on hEvent.
WINBASEAPI BOOL EventModify(HANDLE hEvent, DWORD func);

// Mutexes are owned by a thread and may be taken again by their owner (each wait needs a
// ReleaseMutex). When the owning thread or its process ends without releasing it, the next
// wait that takes it returns WAIT_ABANDONED. bInitialOwner is ignored when the name exists.
WINBASEAPI HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner,
                               LPCWSTR lpName);
// ERROR_NOT_OWNER when the calling thread does not own the mutex.
WINBASEAPI BOOL ReleaseMutex(HANDLE hMutex);

// 0 <= lInitialCount <= lMaximumCount, lMaximumCount > 0, else ERROR_INVALID_PARAMETER.
WINBASEAPI HANDLE CreateSemaphoreW(LPSECURITY_ATTRIBUTES lpSemaphoreAttributes, LONG lInitialCount,
                                   LONG lMaximumCount, LPCWSTR lpName);
// Adds lReleaseCount (> 0); ERROR_TOO_MANY_POSTS when the maximum would be passed (nothing is
// added then). The count before goes to *lpPreviousCount when that is not null.
WINBASEAPI BOOL ReleaseSemaphore(HANDLE hSemaphore, LONG lReleaseCount, LPLONG lpPreviousCount);

// ---- Critical sections -----------------------------------------------------------------------
// Opaque to the caller: room for a host mutex and its owner and recursion count.
typedef struct _CRITICAL_SECTION {
    LONG_PTR Reserved[8];
} CRITICAL_SECTION, *PCRITICAL_SECTION, *LPCRITICAL_SECTION;

// Makes the storage an unowned critical section.
WINBASEAPI void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
// Releases what the section holds; the storage may then be initialised again.
WINBASEAPI void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
// Recursive: the owner may enter again; each Enter needs a Leave.
WINBASEAPI void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
// TRUE when the section was entered (free, or owned by the caller); FALSE at once otherwise.
WINBASEAPI BOOL TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
// Undoes one Enter; the last one lets the next thread in. Ignored from a thread that does not
// own the section.
WINBASEAPI void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

// ---- Interlocked operations (sequentially consistent) ------------------------------------------
// Increment and Decrement return the new value; Exchange, ExchangeAdd and CompareExchange the
// value before.
WINBASEAPI LONG InterlockedIncrement(LONG volatile* lpAddend);
WINBASEAPI LONG InterlockedDecrement(LONG volatile* lpAddend);
WINBASEAPI LONG InterlockedExchange(LONG volatile* Target, LONG Value);
WINBASEAPI LONG InterlockedExchangeAdd(LONG volatile* Addend, LONG Value);
WINBASEAPI LONG InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange,
                                           LONG Comperand);
WINBASEAPI PVOID InterlockedExchangePointer(PVOID volatile* Target, PVOID Value);
WINBASEAPI PVOID InterlockedCompareExchangePointer(PVOID volatile* Destination, PVOID Exchange,
                                                   PVOID Comperand);

#ifdef __cplusplus
}
#endif

#define CreateEvent     CreateEventW
#define OpenEvent       OpenEventW
#define CreateMutex     CreateMutexW
#define CreateSemaphore CreateSemaphoreW
