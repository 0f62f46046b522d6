// timer_paint_test.cpp: timers on the device clock (rate 60, frozen with advances, killed
// from another thread, restarted), painting (one WM_PAINT for the union, BeginPaint's area,
// ValidateRect, pixels read back from the screen), keys reaching the focus window, registered
// message numbers across processes and registry notifications delivered to a window.
#include <chrono>

#include <gtest/gtest.h>

#include "kernel/clock.h"
#include "msgrecorder.h"
#include "regext.h"
#include "testdevice.h"
#include "testthreads.h"
#include "windows.h"

using namespace usertest;

namespace {

class UserTest : public cetest::DeviceTest {
protected:
    void SetUp() override {
        registerRecorderClass();
        pumpMessages();
        Recorder::get().clear();
    }
    void TearDown() override {
        for (HWND h : made)
            if (IsWindow(h)) DestroyWindow(h);
        pumpMessages();
        Recorder::get().clear();
    }
    HWND make(DWORD style, const char16_t* cls = kRecorderClass) {
        HWND h = CreateWindowExW(0, cls, u"t", style, 20, 40, 60, 50, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(nullptr, h);
        made.push_back(h);
        return h;
    }
    int countTimers(UINT_PTR id) {
        int n = 0;
        for (auto& s : Recorder::get().take())
            if (s.message == WM_TIMER && s.wParam == id) ++n;
        return n;
    }
    static void advanceMs(int64_t ms) { ce::advanceDeviceClock(ms * ce::kFileTimePerMs); }
    std::vector<HWND> made;
};

// At rate 60 ten turns of a 1-second timer take a sixth of a second of real time.
TEST_F(UserTest, TimerFollowsClockRate) {
    ASSERT_TRUE(ce::setDeviceClockRate(60));
    HWND hwnd = make(WS_POPUP);
    ASSERT_EQ(3u, SetTimer(hwnd, 3, 1000, nullptr));
    auto start = std::chrono::steady_clock::now();
    MSG msg;
    int timers = 0;
    while (timers < 10 && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.wParam == 3) ++timers;
        DispatchMessageW(&msg);
    }
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - start)
                  .count();
    KillTimer(hwnd, 3);
    EXPECT_EQ(10, timers);
    EXPECT_GE(ms, 140); // 10 s of device time = 167 ms
    EXPECT_LT(ms, 2000);
}

// On a frozen clock nothing comes until the clock is advanced; an advance of ten periods
// gives one WM_TIMER, not ten.
TEST_F(UserTest, TimerOnFrozenClockNeverBursts) {
    device.freezeAt("2027-03-01T12:00:00Z");
    HWND hwnd = make(WS_POPUP);
    SetTimer(hwnd, 1, 1000, nullptr);
    pumpMessages();
    EXPECT_EQ(0, countTimers(1));
    advanceMs(10'000);
    pumpMessages();
    EXPECT_EQ(1, countTimers(1));
    advanceMs(999);
    pumpMessages();
    EXPECT_EQ(0, countTimers(1));
    advanceMs(1);
    pumpMessages();
    EXPECT_EQ(1, countTimers(1));
}

// Setting an identifier again restarts it with the new period.
TEST_F(UserTest, ResettingTimerRestartsIt) {
    device.freezeAt("2027-03-01T12:00:00Z");
    HWND hwnd = make(WS_POPUP);
    SetTimer(hwnd, 2, 1000, nullptr);
    advanceMs(600);
    SetTimer(hwnd, 2, 1000, nullptr);
    advanceMs(600);
    pumpMessages();
    EXPECT_EQ(0, countTimers(2));
    advanceMs(400);
    pumpMessages();
    EXPECT_EQ(1, countTimers(2));
    EXPECT_TRUE(KillTimer(hwnd, 2));
    EXPECT_FALSE(KillTimer(hwnd, 2));
}

// A worker thread kills the window thread's timer: no WM_TIMER afterwards.
TEST_F(UserTest, KillTimerFromAnotherThread) {
    device.freezeAt("2027-03-01T12:00:00Z");
    HWND hwnd = make(WS_POPUP);
    SetTimer(hwnd, 4, 100, nullptr);
    BOOL killed = FALSE;
    cetest::Body body{[&]() -> DWORD {
        killed = KillTimer(hwnd, 4);
        return 0;
    }};
    HANDLE t = cetest::startThread(body);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_TRUE(killed);
    advanceMs(1000);
    pumpMessages();
    EXPECT_EQ(0, countTimers(4));
}

// A timer without a window gets a fresh identifier and calls its callback from
// DispatchMessage with a NULL window.
int callbacks = 0;
void CALLBACK countCallback(HWND hwnd, UINT msg, UINT_PTR id, DWORD time) {
    if (!hwnd && msg == WM_TIMER) ++callbacks;
}

TEST_F(UserTest, ThreadTimerCallback) {
    device.freezeAt("2027-03-01T12:00:00Z");
    callbacks = 0;
    UINT_PTR id = SetTimer(nullptr, 0, 50, countCallback);
    ASSERT_NE(0u, id);
    advanceMs(50);
    pumpMessages();
    EXPECT_EQ(1, callbacks);
    EXPECT_TRUE(KillTimer(nullptr, id));
}

// Two invalidations give one WM_PAINT whose BeginPaint area is their union; ValidateRect
// cancels what is left.
RECT paintedArea;
LRESULT CALLBACK paintProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        paintedArea = ps.rcPaint;
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        RECT all{0, 0, 1000, 1000};
        FillRect(ps.hdc, &all, red);
        DeleteObject(red);
        EndPaint(hwnd, &ps);
    }
    return recorderProc(hwnd, msg, wParam, lParam);
}

TEST_F(UserTest, PaintUnionAndValidate) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = paintProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = u"PaintClass";
    RegisterClassW(&wc);
    HWND hwnd = make(WS_POPUP | WS_VISIBLE, u"PaintClass");
    UpdateWindow(hwnd);
    pumpMessages();
    Recorder::get().clear();
    RECT a{1, 2, 10, 12}, b{20, 5, 30, 8};
    InvalidateRect(hwnd, &a, FALSE);
    InvalidateRect(hwnd, &b, FALSE);
    RECT update{};
    EXPECT_TRUE(GetUpdateRect(hwnd, &update, FALSE));
    pumpMessages();
    int paints = 0;
    for (auto& s : Recorder::get().take())
        paints += s.message == WM_PAINT;
    EXPECT_EQ(1, paints);
    EXPECT_EQ(1, paintedArea.left);
    EXPECT_EQ(2, paintedArea.top);
    EXPECT_EQ(30, paintedArea.right);
    EXPECT_EQ(12, paintedArea.bottom);
    EXPECT_FALSE(GetUpdateRect(hwnd, &update, FALSE));
    InvalidateRect(hwnd, nullptr, TRUE);
    ValidateRect(hwnd, nullptr);
    pumpMessages();
    for (auto& s : Recorder::get().take())
        EXPECT_NE(static_cast<UINT>(WM_PAINT), s.message);

    // What the window painted is on the (null driver's) screen: red inside, white outside.
    HDC screen = GetDC(nullptr);
    ASSERT_NE(nullptr, screen);
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(screen, 20 + 30, 40 + 25));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(screen, 20 + 61, 40 + 25));
    ReleaseDC(nullptr, screen);
}

// keybd_event(VK_RETURN) reaches the focus window as WM_KEYDOWN, WM_CHAR (from
// TranslateMessage) and WM_KEYUP.
TEST_F(UserTest, KeyReachesFocusWindow) {
    HWND top = make(WS_POPUP | WS_VISIBLE);
    HWND child = CreateWindowExW(0, kRecorderClass, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                 top, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, child);
    EXPECT_EQ(top, SetFocus(child));
    pumpMessages();
    Recorder::get().clear();
    keybd_event(VK_RETURN, 0, 0, 0);
    keybd_event(VK_RETURN, 0, KEYEVENTF_KEYUP, 0);
    pumpMessages();
    std::vector<Seen> keys;
    for (auto& s : Recorder::get().take())
        if (s.message >= WM_KEYFIRST && s.message <= WM_KEYLAST) keys.push_back(s);
    expectSequence({{WM_KEYDOWN, posted | wparam, VK_RETURN, 0, child},
                    {WM_CHAR, posted | wparam, '\r', 0, child},
                    {WM_KEYUP, posted | wparam, VK_RETURN, 0, child}},
                   keys, "VK_RETURN");
}

// A tap injected at a screen point arrives at the window under it with client coordinates.
TEST_F(UserTest, TapArrivesInClientCoordinates) {
    HWND top = make(WS_POPUP | WS_VISIBLE);
    HWND child = CreateWindowExW(0, kRecorderClass, nullptr, WS_CHILD | WS_VISIBLE, 10, 5, 20, 20,
                                 top, nullptr, GetModuleHandleW(nullptr), nullptr);
    pumpMessages();
    Recorder::get().clear();
    SIZE screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    // Screen point (35, 52): the child's client point (5, 7).
    DWORD x = static_cast<DWORD>((35 * 65536 + screen.cx - 1) / screen.cx);
    DWORD y = static_cast<DWORD>((52 * 65536 + screen.cy - 1) / screen.cy);
    mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN, x, y, 0, 0);
    mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP, x, y, 0, 0);
    pumpMessages();
    std::vector<Seen> pointer;
    for (auto& s : Recorder::get().take())
        if (s.message >= WM_MOUSEFIRST && s.message <= WM_MOUSELAST) pointer.push_back(s);
    expectSequence({{WM_LBUTTONDOWN, posted | wparam | lparam, MK_LBUTTON, MAKELPARAM(5, 7), child},
                    {WM_LBUTTONUP, posted | lparam, 0, MAKELPARAM(5, 7), child}},
                   pointer, "tap");
    EXPECT_EQ(child, WindowFromPoint(POINT{35, 52}));
}

// The same name gives the same number in another process of the device; case does not
// matter; another name gives another number.
TEST_F(UserTest, RegisteredMessagesAcrossProcesses) {
    UINT mine = RegisterWindowMessageW(u"WM_HOTRECORDING");
    EXPECT_GE(mine, 0xC000u);
    EXPECT_EQ(mine, RegisterWindowMessageW(u"wm_hotrecording"));
    UINT other = RegisterWindowMessageW(u"Another");
    EXPECT_NE(mine, other);
    int status = cetest::runInChild([&] {
        if (RegisterWindowMessageW(u"Another") != other) return 1;
        if (RegisterWindowMessageW(u"Wm_HotRecording") != mine) return 2;
        return 0;
    });
    EXPECT_EQ(0, status);
}

// A registry value changed by another process arrives as the registered message, with the
// new DWORD in wParam.
TEST_F(UserTest, RegistryNotificationReachesWindow) {
    HWND hwnd = make(WS_POPUP);
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\UserTest", 0, nullptr,
                                             0, 0, nullptr, &key, &disposition));
    RegCloseKey(key);
    ASSERT_EQ(S_OK, RegistrySetDWORD(HKEY_CURRENT_USER, u"Software\\UserTest", u"Count", 1));
    HREGNOTIFY note = nullptr;
    ASSERT_EQ(S_OK, RegistryNotifyWindow(HKEY_CURRENT_USER, u"Software\\UserTest", u"Count", hwnd,
                                         WM_USER + 40, 99, nullptr, &note));
    pumpMessages();
    Recorder::get().clear();
    EXPECT_EQ(0, cetest::runInChild([] {
                  return RegistrySetDWORD(HKEY_CURRENT_USER, u"Software\\UserTest", u"Count", 7) ==
                                 S_OK
                             ? 0
                             : 1;
              }));
    MSG msg;
    bool got = false;
    for (int i = 0; i < 100 && !got; ++i) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_USER + 40 && msg.hwnd == hwnd) {
                got = true;
                EXPECT_EQ(7u, msg.wParam);
                EXPECT_EQ(99, msg.lParam);
            }
            DispatchMessageW(&msg);
        }
    }
    EXPECT_TRUE(got);
    RegistryCloseNotification(note);
}

} // namespace
