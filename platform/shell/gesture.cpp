// gesture.cpp: the tap-and-hold gesture (SHRecognizeGesture).
//
// A window calls SHRecognizeGesture on pen-down. The call runs a message loop of its own that
// watches the pointer: a move farther than a small tolerance, the release, or another press
// ends it with 0 and leaves that message in the queue for the window, so the window sees the
// tap as usual. A pen held still for the hold time is the context-menu gesture.
//
// The hold time is real time, not the device clock: it measures a person's hand, which does
// not speed up with the clock rate (and must not wait forever on a frozen clock). The wait for
// it is an event that a helper thread sets after the hold time, so the loop sleeps in
// MsgWaitForMultipleObjects like any other and wakes for input, sent messages and painting.
// Messages other than pointer input are dispatched meanwhile, so the thread's windows stay
// painted and its timers run. The dots of the hold animation are not drawn.
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "aygshell.h"
#include "kernel/trace.h"
#include "shell/shell.h"

namespace ce::shell {
namespace {

// The hold time of the device (500 ms, as the shell's default) and with SHRG_LONGDELAY.
constexpr std::chrono::milliseconds kHoldTime{500};
constexpr std::chrono::milliseconds kLongHoldTime{1000};
// How far the pen may wander (in pixels at 96 dpi, each way) and still be held.
constexpr int kTolerance = 5;

// Sets an event after a real-time delay, unless cancelled first.
class RealTimeAlarm {
public:
    RealTimeAlarm(HANDLE event, std::chrono::milliseconds delay)
        : thread_([this, event, delay] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!cv_.wait_for(lock, delay, [this] { return cancelled_; })) SetEvent(event);
          }) {}
    ~RealTimeAlarm() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            cancelled_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    RealTimeAlarm(const RealTimeAlarm&) = delete;
    RealTimeAlarm& operator=(const RealTimeAlarm&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool cancelled_ = false;
    std::thread thread_; // last: starts once the members it uses exist
};

struct EventHandle {
    HANDLE h = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~EventHandle() {
        if (h) CloseHandle(h);
    }
};

enum class Outcome { Held, Cancelled, Quit };

// Waits for the hold; dispatches what is not pointer input.
Outcome watchPen(POINT downScreen, std::chrono::milliseconds hold) {
    EventHandle timeUp;
    if (!timeUp.h) return Outcome::Cancelled;
    RealTimeAlarm alarm(timeUp.h, hold);
    const int tolerance = scaled(kTolerance);
    for (;;) {
        MSG msg;
        if (PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE)) {
            // A release, a press, or a move too far stays queued for the window, which may
            // be dragging.
            if (msg.message != WM_MOUSEMOVE || std::abs(msg.pt.x - downScreen.x) > tolerance ||
                std::abs(msg.pt.y - downScreen.y) > tolerance)
                return Outcome::Cancelled;
            PeekMessageW(&msg, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE);
            continue;
        }
        if (WaitForSingleObject(timeUp.h, 0) == WAIT_OBJECT_0) return Outcome::Held;
        if (PeekMessageW(&msg, nullptr, 0, WM_MOUSEFIRST - 1, PM_REMOVE) ||
            PeekMessageW(&msg, nullptr, WM_MOUSELAST + 1, 0xFFFFFFFF, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return Outcome::Quit;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            continue;
        }
        MsgWaitForMultipleObjects(1, &timeUp.h, FALSE, INFINITE, QS_ALLINPUT);
    }
}

} // namespace
} // namespace ce::shell

using namespace ce::shell;

// The pen must still be down: a call after the release (its WM_LBUTTONUP already taken)
// returns 0 at once. A record smaller than SHRGINFO or a hwndClient that is not a window
// returns 0 with ERROR_INVALID_PARAMETER.
WINUSERAPI DWORD SHRecognizeGesture(SHRGINFO* shrg) {
    if (!shrg || shrg->cbSize < sizeof(SHRGINFO) || !IsWindow(shrg->hwndClient)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    MSG pending;
    const bool releaseQueued =
        PeekMessageW(&pending, nullptr, WM_LBUTTONUP, WM_LBUTTONUP, PM_NOREMOVE) != FALSE;
    if (!releaseQueued && !(GetAsyncKeyState(VK_LBUTTON) & 0x8000)) return 0;

    const HWND client = shrg->hwndClient;
    const POINT ptDown = shrg->ptDown;
    const DWORD flags = shrg->dwFlags;
    POINT downScreen = ptDown;
    ClientToScreen(client, &downScreen);
    const auto hold = (flags & SHRG_LONGDELAY) ? kLongHoldTime : kHoldTime;
    if (watchPen(downScreen, hold) != Outcome::Held) return 0;

    CE_TRACE("shell", "tap and hold on %#lx at %ld,%ld",
             static_cast<unsigned long>(HandleToULong(client)), static_cast<long>(ptDown.x),
             static_cast<long>(ptDown.y));
    if (flags & SHRG_RETURNCMD) return GN_CONTEXTMENU;
    HWND target = (flags & SHRG_NOTIFYPARENT) ? GetParent(client) : client;
    if (!target) return 0;
    NMRGINFO info{};
    info.hdr.hwndFrom = client;
    info.hdr.idFrom = static_cast<UINT_PTR>(GetWindowLongW(client, GWL_ID));
    info.hdr.code = GN_CONTEXTMENU;
    info.ptAction = ptDown;
    return static_cast<DWORD>(
        SendMessageW(target, WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info)));
}
