// focus.cpp: activation, focus, the foreground window and capture: SetActiveWindow,
// SetFocus, SetForegroundWindow, SetCapture and their Get forms, the pointer position, and
// what hiding or destroying a window undoes.
//
// The active and focus windows belong to a thread (its queue); the foreground window belongs
// to the device and lives in the driver. Activating a top-level window of this process makes
// it the foreground window too: the device has one screen and no separate desktops, and a
// program that shows a window expects it to come up. WM_ACTIVATE goes to the window that
// loses activation (WA_INACTIVE) then to the one that gains it (WA_ACTIVE); DefWindowProc's
// WM_ACTIVATE gives the focus, which sends WM_KILLFOCUS to the old focus window and
// WM_SETFOCUS to the new one.
#include "kernel/wait.h"
#include "user/userstate.h"

using namespace ce::user;

namespace ce::user {
namespace {

std::atomic<uint32_t> captureWindow{0};

HWND toHwnd(uint32_t v) {
    return static_cast<HWND>(ULongToHandle(v));
}

uint32_t threadOf(uint32_t hwnd) {
    auto w = findWindow(hwnd);
    if (!w) return 0;
    Lock lock(userLock());
    return w->threadId;
}

// Whether hwnd is ancestor or the window itself (own windows).
bool inSubtree(uint32_t hwnd, uint32_t ancestor) {
    for (int depth = 0; depth < 256 && hwnd; ++depth) {
        if (hwnd == ancestor) return true;
        auto w = findWindow(hwnd);
        if (!w || !(w->style & WS_CHILD)) return false;
        hwnd = w->parent;
    }
    return false;
}

void deactivate(uint32_t hwnd, uint32_t next) {
    auto q = currentQueue();
    {
        Lock lock(userLock());
        if (q->active != hwnd) return;
        q->active = 0;
    }
    if (findWindow(hwnd))
        callProc(hwnd, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(toHwnd(next)));
    uint32_t focus;
    {
        Lock lock(userLock());
        focus = q->focus;
    }
    if (focus && inSubtree(focus, hwnd)) SetFocus(nullptr);
}

} // namespace

void activateWindow(uint32_t hwnd, bool setForeground) {
    uint32_t thread = threadOf(hwnd);
    if (!thread) return;
    if (thread != currentThreadId()) {
        runOnThread(thread, [hwnd, setForeground] { activateWindow(hwnd, setForeground); });
        return;
    }
    auto q = currentQueue();
    uint32_t old;
    {
        Lock lock(userLock());
        old = q->active;
        q->active = hwnd;
    }
    if (setForeground) activeDriver().setForegroundWindow(hwnd);
    if (old == hwnd) return;
    if (old && findWindow(old))
        callProc(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(toHwnd(hwnd)));
    callProc(hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(toHwnd(old)));
}

void windowGoingAway(uint32_t hwnd, bool destroying) {
    auto q = currentQueue();
    uint32_t focus, active;
    {
        Lock lock(userLock());
        focus = q->focus;
        active = q->active;
    }
    if (focus && inSubtree(focus, hwnd)) {
        {
            Lock lock(userLock());
            q->focus = 0;
        }
        if (findWindow(focus)) callProc(focus, WM_KILLFOCUS, 0, 0);
    }
    uint32_t captured = captureWindow.load();
    if (captured && inSubtree(captured, hwnd)) ReleaseCapture();
    if (active == hwnd) {
        // Another visible top-level window of this thread takes over: the owner first, else
        // the highest in the stacking order.
        uint32_t next = 0, owner = 0;
        if (auto w = findWindow(hwnd)) owner = w->owner;
        auto isCandidate = [&](uint32_t h) {
            auto w = findWindow(h);
            if (!w || h == hwnd || w->destroying) return false;
            Lock lock(userLock());
            return w->threadId == q->threadId && !(w->style & WS_CHILD) &&
                   (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED);
        };
        if (owner && isCandidate(owner)) next = owner;
        if (!next)
            for (uint32_t h : activeDriver().childWindows(0))
                if (isCandidate(h)) {
                    next = h;
                    break;
                }
        if (next) {
            activateWindow(next, true);
        } else {
            deactivate(hwnd, 0);
            if (activeDriver().foregroundWindow() == hwnd) activeDriver().setForegroundWindow(0);
        }
    }
    (void)destroying;
}

// The device's foreground changed (another program took it, or gave it to us).
void deliverForegroundChange(uint32_t oldForeground, uint32_t newForeground) {
    if (oldForeground && oldForeground != newForeground) {
        if (uint32_t t = threadOf(oldForeground))
            runOnThread(
                t, [oldForeground, newForeground] { deactivate(oldForeground, newForeground); });
    }
    if (newForeground) {
        if (uint32_t t = threadOf(newForeground))
            runOnThread(t, [newForeground] { activateWindow(newForeground, false); });
    }
}

} // namespace ce::user

// Gives the keyboard focus to a window of the calling thread (activating its top-level
// window first); NULL takes it away. Returns the previous focus window.
WINUSERAPI HWND SetFocus(HWND hWnd) {
    auto q = currentQueue();
    uint32_t handle = HandleToULong(hWnd);
    if (handle) {
        auto w = findWindow(handle);
        if (!w || threadOf(handle) != currentThreadId()) {
            SetLastError(w ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        if (w->style & WS_DISABLED) return nullptr;
        uint32_t top = handle;
        while (auto x = findWindow(top)) {
            if (!(x->style & WS_CHILD) || !findWindow(x->parent)) break;
            top = x->parent;
        }
        uint32_t active;
        {
            Lock lock(userLock());
            active = q->active;
        }
        if (active != top && !(findWindow(top)->style & WS_CHILD)) activateWindow(top, true);
    }
    uint32_t old;
    {
        Lock lock(userLock());
        old = q->focus;
        if (old == handle) return toHwnd(old);
        q->focus = handle;
    }
    if (old && findWindow(old)) callProc(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hWnd), 0);
    if (handle && findWindow(handle))
        callProc(handle, WM_SETFOCUS, reinterpret_cast<WPARAM>(toHwnd(old)), 0);
    return toHwnd(old);
}

WINUSERAPI HWND GetFocus(void) {
    auto q = currentQueue();
    Lock lock(userLock());
    return toHwnd(q->focus);
}

// Activates a top-level window of the calling thread (NULL deactivates); returns the
// previously active one.
WINUSERAPI HWND SetActiveWindow(HWND hWnd) {
    auto q = currentQueue();
    uint32_t handle = HandleToULong(hWnd);
    uint32_t old;
    {
        Lock lock(userLock());
        old = q->active;
    }
    if (!handle) {
        if (old) deactivate(old, 0);
        return toHwnd(old);
    }
    auto w = findWindow(handle);
    if (!w || threadOf(handle) != currentThreadId()) {
        SetLastError(w ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    activateWindow(topLevelOf(handle), true);
    return toHwnd(old);
}

WINUSERAPI HWND GetActiveWindow(void) {
    auto q = currentQueue();
    Lock lock(userLock());
    return toHwnd(q->active);
}

// Makes a window the device's foreground window; a window of this process is activated on
// its own thread as well. Callable from any thread, for any program's window.
WINUSERAPI BOOL SetForegroundWindow(HWND hWnd) {
    uint32_t handle = HandleToULong(hWnd);
    if (!isWindowHandle(handle)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    uint32_t top = topLevelOf(handle);
    if (!top) return FALSE;
    bool ok = activeDriver().setForegroundWindow(top);
    if (findWindow(top)) activateWindow(top, false);
    return ok ? TRUE : FALSE;
}

WINUSERAPI HWND GetForegroundWindow(void) {
    return toHwnd(activeDriver().foregroundWindow());
}

// Sends every pointer message to this window until released. Returns the previous capture
// window of the calling thread.
WINUSERAPI HWND SetCapture(HWND hWnd) {
    uint32_t handle = HandleToULong(hWnd);
    if (!findWindow(handle)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    uint32_t old = captureWindow.exchange(handle);
    if (old && old != handle && findWindow(old))
        SendNotifyMessageW(toHwnd(old), WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hWnd));
    return threadOf(old) == currentThreadId() ? toHwnd(old) : nullptr;
}

WINUSERAPI BOOL ReleaseCapture(void) {
    uint32_t old = captureWindow.exchange(0);
    if (old && findWindow(old)) SendNotifyMessageW(toHwnd(old), WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

WINUSERAPI HWND GetCapture(void) {
    uint32_t c = captureWindow.load();
    return c && threadOf(c) == currentThreadId() ? toHwnd(c) : nullptr;
}

namespace ce::user {
uint32_t currentCapture() {
    return captureWindow.load();
}
} // namespace ce::user

// The pointer position in screen coordinates.
WINUSERAPI BOOL GetCursorPos(LPPOINT lpPoint) {
    if (!lpPoint) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpPoint = activeDriver().pointerPosition();
    return TRUE;
}

// Moves the pointer (as a move of this device's pointer: the window under it gets
// WM_MOUSEMOVE).
WINUSERAPI BOOL SetCursorPos(int X, int Y) {
    setLastPointerPosition(POINT{X, Y});
    activeDriver().injectPointer(POINT{X, Y}, true, false);
    return TRUE;
}
