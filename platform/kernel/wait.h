// wait.h: the wait loop every blocking call of the platform is built on, and the thread hooks
// it needs.
//
// A wait sleeps on the device's wake word (device.h) and looks at its objects again each
// time the word moves: whoever sets an event, releases a mutex or semaphore, ends a thread or
// a process, or changes the clock bumps the word with wakeDeviceWaiters(). Timeouts are
// deadlines on the GetTickCount timeline, recomputed into host time at every turn, so a change
// of clock rate or an advance takes effect at once. Every wait and sleep is also the point
// where a thread notices TerminateThread and SuspendThread from another thread.
//
// Inside the platform only: the product never sees this header.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "kernel/handles.h"
#include "windef.h"

namespace ce {

// Waits for the objects behind handles (any of them, or all when `all` is set) for timeoutMs
// of device time (INFINITE: no limit). Returns what WaitForMultipleObjects returns, or
// WAIT_OBJECT_0 + handles.size() when the caller's own source of work is ready:
//  * extraReady (may be empty) is called after every look at the objects, outside any lock;
//    the wait ends when it returns true. Whoever makes it true must then call
//    wakeDeviceWaiters(), so that a thread already asleep in the wait looks again. This is how
//    a message queue ends a MsgWaitForMultipleObjects: the poster queues the message, then
//    wakes the waiters.
//  * extraFd (-1: none): the wait also ends when this descriptor becomes readable or hangs up
//    (the display connection of the window system).
// With `all`, extraReady and extraFd end the wait as an alternative to the complete set. An
// empty handle list with neither is a plain sleep that ends in WAIT_TIMEOUT.
// Errors (WAIT_FAILED, GetLastError()): more than MAXIMUM_WAIT_OBJECTS handles, or the same
// object twice with `all` (ERROR_INVALID_PARAMETER); a handle that is not a waitable object
// (ERROR_INVALID_HANDLE).
// The calling thread may be ended inside this call (TerminateThread), so callers must not
// hold locks across it.
DWORD waitForObjects(std::span<const HANDLE> handles, bool all, DWORD timeoutMs,
                     const std::function<bool()>& extraReady = {}, int extraFd = -1);

// ---- Thread hooks (thread.cpp) ----------------------------------------------------------------

// The value of GetCurrentThread()'s pseudo handle: never a real handle (those are multiples
// of four from 0x100).
constexpr uint32_t kCurrentThreadPseudoHandle = 0x41;

// The calling thread's id (GetCurrentThreadId), cached per thread.
uint32_t currentThreadId();

// The thread object of the calling thread (made on first use for threads that CreateThread
// did not start), or the object behind a thread handle or the pseudo handle.
std::shared_ptr<KernelObject> currentThreadObject();

// Called by waits and sleeps. Blocks while another thread has the caller suspended; returns
// true when the caller has been asked to end (TerminateThread), false otherwise.
bool currentThreadMustStop();

// Ends the calling thread as TerminateThread asked: records the exit code, signals the thread
// object, wakes waiters and parks the host thread for good. The caller releases whatever it
// holds first; nothing after this call runs.
[[noreturn]] void stopCurrentThread();

} // namespace ce
