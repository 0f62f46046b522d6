// timer.cpp: SetTimer and KillTimer, and the WM_TIMER the queue makes from a due timer.
//
// A timer belongs to the thread of its window (the calling thread for a timer without a
// window), whichever thread of the process sets or kills it. Due times lie on the device's
// tick timeline (deviceTickCount64), so timers follow the clock's rate and advances. When a
// WM_TIMER is taken the next turn is one period after now: a thread that was busy, or a clock
// advanced by ten periods, gets one WM_TIMER, never a burst.
//
// A period below 10 ms runs at 10 ms, Windows' USER_TIMER_MINIMUM; a period of 0 is due at
// once the first time, so "at the first timer tick" code runs even on a frozen clock.
#include <algorithm>

#include "kernel/clock.h"
#include "kernel/wait.h"
#include "user/queue.h"
#include "user/userstate.h"

using namespace ce::user;

namespace ce::user {
namespace {

constexpr uint64_t kMinimumPeriod = 10;

std::atomic<UINT_PTR> nextThreadTimerId{1};

} // namespace

bool takeDueTimer(Queue& q, uint32_t filter, bool remove, MSG* out) {
    uint64_t now = deviceTickCount64();
    Timer* best = nullptr;
    for (auto& t : q.timers) {
        if (t.due > now || !filterMatchesWindow(t.hwnd, filter)) continue;
        if (!best || t.due < best->due) best = &t;
    }
    if (!best) return false;
    if (out) {
        *out = MSG{};
        out->hwnd = static_cast<HWND>(ULongToHandle(best->hwnd));
        out->message = WM_TIMER;
        out->wParam = best->id;
        out->lParam = reinterpret_cast<LPARAM>(best->proc);
        out->time = static_cast<DWORD>(now);
        out->pt = lastPointerPosition();
    }
    if (remove) best->due = now + best->period;
    return true;
}

uint64_t nextTimerDue(const Queue& q) {
    uint64_t next = UINT64_MAX;
    for (auto& t : q.timers)
        next = std::min(next, t.due);
    return next;
}

void killWindowTimers(uint32_t hwnd) {
    auto w = findWindow(hwnd);
    if (!w) return;
    auto q = queueOf(w->threadId);
    if (!q) return;
    Lock lock(userLock());
    auto& t = q->timers;
    t.erase(std::remove_if(t.begin(), t.end(), [&](const Timer& x) { return x.hwnd == hwnd; }),
            t.end());
}

} // namespace ce::user

// Starts or restarts a timer. With a window: identifier nIDEvent of that window (returned as
// non-zero); without: a new identifier for the calling thread, unless nIDEvent names one of
// its window-less timers, which is then restarted.
WINUSERAPI UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
    uint32_t handle = HandleToULong(hWnd);
    uint32_t thread;
    if (handle) {
        auto w = findWindow(handle);
        if (!w) {
            SetLastError(IsWindow(hWnd) ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        Lock lock(userLock());
        thread = w->threadId;
    } else {
        thread = GetCurrentThreadId();
        currentQueue();
    }
    auto q = queueOfOrCreate(thread);
    uint64_t now = deviceTickCount64();
    uint64_t period = std::max<uint64_t>(uElapse, kMinimumPeriod);
    uint64_t due = uElapse == 0 ? now : now + period;
    UINT_PTR id = nIDEvent;
    {
        Lock lock(userLock());
        Timer* existing = nullptr;
        for (auto& t : q->timers)
            if (t.hwnd == handle && t.id == nIDEvent) existing = &t;
        if (!handle && !existing) {
            do {
                id = nextThreadTimerId++;
            } while (id == 0 || std::any_of(q->timers.begin(), q->timers.end(),
                                            [&](const Timer& t) { return !t.hwnd && t.id == id; }));
        }
        if (existing) {
            existing->period = period;
            existing->due = due;
            existing->proc = lpTimerFunc;
        } else {
            q->timers.push_back(Timer{handle, id, period, due, lpTimerFunc});
        }
        ++q->timerGeneration;
    }
    wakeDeviceWaiters();
    if (handle) return nIDEvent ? nIDEvent : 1;
    return id;
}

// Stops a timer; from any thread of the process. No WM_TIMER of it comes afterwards.
WINUSERAPI BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
    uint32_t handle = HandleToULong(hWnd);
    uint32_t thread = GetCurrentThreadId();
    if (handle) {
        auto w = findWindow(handle);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        Lock lock(userLock());
        thread = w->threadId;
    }
    auto q = queueOf(thread);
    if (!q) return FALSE;
    Lock lock(userLock());
    auto& t = q->timers;
    auto it = std::find_if(t.begin(), t.end(),
                           [&](const Timer& x) { return x.hwnd == handle && x.id == uIDEvent; });
    if (it == t.end()) return FALSE;
    t.erase(it);
    ++q->timerGeneration;
    return TRUE;
}
