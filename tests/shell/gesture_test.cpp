// gesture_test.cpp: the tap-and-hold gesture (SHRecognizeGesture) with real pointer input
// through the null display driver: recognised after the hold time on a frozen device clock
// (the hold is real time), cancelled by a move or an early release, with the pen's messages
// still reaching the window afterwards; the WM_NOTIFY forms; and bad records.
#include <chrono>
#include <vector>

#include <gtest/gtest.h>

#include "aygshell.h"
#include "testdevice.h"
#include "windows.h"

namespace {

constexpr DWORD kPoison = 0xdeadbeef;

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
};

// What the test window saw, and what SHRecognizeGesture returned inside WM_LBUTTONDOWN.
struct GestureLog {
    std::vector<Seen> seen;
    DWORD flags = SHRG_RETURNCMD;
    DWORD result = kPoison;
    DWORD gestureIndex = 0; // seen.size() when the gesture call returned
    LRESULT notifyAnswer = 77;
    NMRGINFO notified{};
    bool gotNotify = false;
};
GestureLog gLog;

LRESULT CALLBACK penProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP || msg == WM_MOUSEMOVE || msg == WM_PAINT)
        gLog.seen.push_back({hwnd, msg, wParam});
    switch (msg) {
    case WM_LBUTTONDOWN: {
        SHRGINFO info{};
        info.cbSize = sizeof info;
        info.hwndClient = hwnd;
        info.ptDown = {static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))};
        info.dwFlags = gLog.flags;
        gLog.result = SHRecognizeGesture(&info);
        gLog.gestureIndex = static_cast<DWORD>(gLog.seen.size());
        return 0;
    }
    case WM_NOTIFY: {
        gLog.gotNotify = true;
        gLog.notified = *reinterpret_cast<NMRGINFO*>(lParam);
        return gLog.notifyAnswer;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Absolute mouse_event coordinates that land on screen pixel (x, y).
DWORD absX(int x) {
    int w = GetSystemMetrics(SM_CXSCREEN);
    return static_cast<DWORD>((static_cast<int64_t>(x) * 65536 + w - 1) / w);
}
DWORD absY(int y) {
    int h = GetSystemMetrics(SM_CYSCREEN);
    return static_cast<DWORD>((static_cast<int64_t>(y) * 65536 + h - 1) / h);
}
void pen(DWORD what, int x, int y) {
    mouse_event(what | MOUSEEVENTF_ABSOLUTE, absX(x), absY(y), 0, 0);
}

class GestureTest : public cetest::DeviceTest {
protected:
    void SetUp() override {
        // The device clock stands still: only a real-time hold can end the wait.
        device.freezeAt("2027-03-01T12:00:00Z");
        gLog = GestureLog{};
        WNDCLASSW wc{};
        wc.lpfnWndProc = penProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = u"GesturePen";
        RegisterClassW(&wc);
        parent = CreateWindowExW(0, u"GesturePen", u"parent", WS_POPUP | WS_VISIBLE, 0, 40, 240,
                                 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent, nullptr);
        child =
            CreateWindowExW(0, u"GesturePen", u"child", WS_CHILD | WS_VISIBLE, 20, 20, 100, 100,
                            parent, reinterpret_cast<HMENU>(5), GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(child, nullptr);
        pump();
        gLog.seen.clear();
    }
    void TearDown() override {
        if (IsWindow(parent)) DestroyWindow(parent);
        pump();
    }
    // Milliseconds of real time the pending pen input takes to handle.
    int64_t pumpTimed() {
        auto start = std::chrono::steady_clock::now();
        pump();
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    }
    int indexOf(UINT message, size_t from = 0) const {
        for (size_t i = from; i < gLog.seen.size(); ++i)
            if (gLog.seen[i].message == message) return static_cast<int>(i);
        return -1;
    }
    HWND parent = nullptr;
    HWND child = nullptr;
};

// Held still for the hold time (about 500 ms of real time, while the device clock is frozen),
// the pen reports GN_CONTEXTMENU; the later release still reaches the window.
TEST_F(GestureTest, HoldIsRecognisedAfterTheHoldTime) {
    pen(MOUSEEVENTF_LEFTDOWN, 80, 100);
    int64_t ms = pumpTimed();
    EXPECT_EQ(static_cast<DWORD>(GN_CONTEXTMENU), gLog.result);
    EXPECT_GE(ms, 450) << "the hold ended before the hold time";
    EXPECT_LT(ms, 3000);
    pen(MOUSEEVENTF_LEFTUP, 80, 100);
    pump();
    EXPECT_GE(indexOf(WM_LBUTTONUP), static_cast<int>(gLog.gestureIndex));
    // A wobble within the tolerance is still a hold.
    gLog.result = kPoison;
    pen(MOUSEEVENTF_LEFTDOWN, 80, 100);
    pen(MOUSEEVENTF_MOVE, 82, 101);
    pump();
    EXPECT_EQ(static_cast<DWORD>(GN_CONTEXTMENU), gLog.result) << "a 2-pixel wobble";
    pen(MOUSEEVENTF_LEFTUP, 82, 101);
    pump();
}

// A move beyond the tolerance ends the wait at once with 0; the move and the release then
// reach the window as usual.
TEST_F(GestureTest, MoveCancels) {
    pen(MOUSEEVENTF_LEFTDOWN, 80, 100);
    pen(MOUSEEVENTF_MOVE, 100, 100);
    int64_t ms = pumpTimed();
    EXPECT_EQ(0u, gLog.result);
    EXPECT_LT(ms, 400) << "a move must not wait for the hold time";
    int move = indexOf(WM_MOUSEMOVE, gLog.gestureIndex);
    EXPECT_GE(move, 0) << "the move did not reach the window after the gesture";
    pen(MOUSEEVENTF_LEFTUP, 100, 100);
    pump();
    EXPECT_GT(indexOf(WM_LBUTTONUP), move);
}

// A release before the hold time ends the wait with 0 and the WM_LBUTTONUP stays for the window.
TEST_F(GestureTest, EarlyReleaseCancels) {
    pen(MOUSEEVENTF_LEFTDOWN, 80, 100);
    pen(MOUSEEVENTF_LEFTUP, 80, 100);
    int64_t ms = pumpTimed();
    EXPECT_EQ(0u, gLog.result);
    EXPECT_LT(ms, 400);
    EXPECT_GE(indexOf(WM_LBUTTONUP), static_cast<int>(gLog.gestureIndex));
}

// While the pen is held, other windows of the thread are painted.
TEST_F(GestureTest, WindowsStayPaintedDuringTheHold) {
    pen(MOUSEEVENTF_LEFTDOWN, 80, 100);
    InvalidateRect(parent, nullptr, TRUE);
    pump();
    EXPECT_EQ(static_cast<DWORD>(GN_CONTEXTMENU), gLog.result);
    int paint = indexOf(WM_PAINT);
    EXPECT_GE(paint, 0);
    EXPECT_LT(paint, static_cast<int>(gLog.gestureIndex)) << "WM_PAINT waited for the gesture";
    pen(MOUSEEVENTF_LEFTUP, 80, 100);
    pump();
}

// Without SHRG_RETURNCMD the gesture is a WM_NOTIFY (GN_CONTEXTMENU, NMRGINFO) to the parent
// (SHRG_NOTIFYPARENT) or to the window itself, and its answer is the result.
TEST_F(GestureTest, NotifyFormsSendWmNotify) {
    gLog.flags = SHRG_NOTIFYPARENT;
    pen(MOUSEEVENTF_LEFTDOWN, 60, 90); // in the child: 40,30 of its client area
    pump();
    EXPECT_TRUE(gLog.gotNotify);
    EXPECT_EQ(77u, gLog.result);
    EXPECT_EQ(child, gLog.notified.hdr.hwndFrom);
    EXPECT_EQ(5u, gLog.notified.hdr.idFrom);
    EXPECT_EQ(static_cast<UINT>(GN_CONTEXTMENU), gLog.notified.hdr.code);
    EXPECT_EQ(40, gLog.notified.ptAction.x);
    EXPECT_EQ(30, gLog.notified.ptAction.y);
    pen(MOUSEEVENTF_LEFTUP, 60, 90);
    pump();

    gLog.flags = 0;
    gLog.gotNotify = false;
    gLog.notifyAnswer = 5;
    pen(MOUSEEVENTF_LEFTDOWN, 200, 150); // the parent itself
    pump();
    EXPECT_TRUE(gLog.gotNotify);
    EXPECT_EQ(parent, gLog.notified.hdr.hwndFrom);
    EXPECT_EQ(5u, gLog.result);
    pen(MOUSEEVENTF_LEFTUP, 200, 150);
    pump();
}

// A missing or short record, or a window that is not one, is refused; so is a call when the
// pen is not down.
TEST_F(GestureTest, BadCallsReturnZero) {
    SetLastError(kPoison);
    EXPECT_EQ(0u, SHRecognizeGesture(nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SHRGINFO info{};
    info.cbSize = sizeof info - 1;
    info.hwndClient = parent;
    info.dwFlags = SHRG_RETURNCMD;
    SetLastError(kPoison);
    EXPECT_EQ(0u, SHRecognizeGesture(&info));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    info.cbSize = sizeof info;
    info.hwndClient = static_cast<HWND>(ULongToHandle(0x7ff0)); // not a window
    SetLastError(kPoison);
    EXPECT_EQ(0u, SHRecognizeGesture(&info));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    info.hwndClient = parent;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(0u, SHRecognizeGesture(&info)) << "the pen is up";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
}

} // namespace
