// window_seq_test.cpp: the messages that creating, showing, moving and destroying a window
// send, in order, compared with sequence tables as Wine's message tests do.
#include <gtest/gtest.h>

#include "msgrecorder.h"
#include "testdevice.h"
#include "testthreads.h"
#include "windows.h"

using namespace usertest;

namespace {

class WindowSequence : public cetest::DeviceTest {
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
    HWND make(DWORD style, HWND parent = nullptr, int x = 10, int y = 20, int w = 100, int h = 50) {
        HWND hwnd = CreateWindowExW(0, kRecorderClass, u"test", style, x, y, w, h, parent, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(nullptr, hwnd);
        made.push_back(hwnd);
        return hwnd;
    }
    std::vector<HWND> made;
};

// CreateWindowEx of a hidden top-level window: WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, then
// WM_SIZE with the client size and WM_MOVE with the client origin.
TEST_F(WindowSequence, CreateHiddenWindow) {
    make(WS_POPUP, nullptr, 10, 20, 100, 50);
    expectSequence({{WM_NCCREATE, sent},
                    {WM_NCCALCSIZE, sent | wparam, 0},
                    {WM_CREATE, sent},
                    {WM_SIZE, sent | wparam | lparam, SIZE_RESTORED, MAKELPARAM(100, 50)},
                    {WM_MOVE, sent | lparam, 0, MAKELPARAM(10, 20)}},
                   Recorder::get().take(), "hidden pop-up");
}

// WS_VISIBLE adds what ShowWindow sends, with the activation of a top-level window
// (WM_ACTIVATE, then WM_SETFOCUS from DefWindowProc) before WM_WINDOWPOSCHANGED.
TEST_F(WindowSequence, CreateVisibleWindowActivates) {
    HWND hwnd = make(WS_POPUP | WS_VISIBLE);
    expectSequence({{WM_NCCREATE, sent},
                    {WM_NCCALCSIZE, sent},
                    {WM_CREATE, sent},
                    {WM_SIZE, sent},
                    {WM_MOVE, sent},
                    {WM_SHOWWINDOW, sent | wparam, TRUE},
                    {WM_WINDOWPOSCHANGING, sent},
                    {WM_ACTIVATE, sent | wparam, WA_ACTIVE},
                    {WM_SETFOCUS, sent | wparam, 0},
                    {WM_WINDOWPOSCHANGED, sent}},
                   Recorder::get().take(), "visible pop-up");
    EXPECT_EQ(hwnd, GetActiveWindow());
    EXPECT_EQ(hwnd, GetFocus());
    EXPECT_EQ(hwnd, GetForegroundWindow());
    EXPECT_TRUE(IsWindowVisible(hwnd));
}

// A visible child is shown without activation and gets no WM_ACTIVATE.
TEST_F(WindowSequence, CreateVisibleChildDoesNotActivate) {
    HWND parent = make(WS_POPUP);
    Recorder::get().clear();
    HWND child = make(WS_CHILD | WS_VISIBLE, parent, 5, 6, 30, 40);
    expectSequence({{WM_NCCREATE, sent},
                    {WM_NCCALCSIZE, sent},
                    {WM_CREATE, sent},
                    {WM_SIZE, sent | lparam, 0, MAKELPARAM(30, 40)},
                    {WM_MOVE, sent | lparam, 0, MAKELPARAM(5, 6)},
                    {WM_SHOWWINDOW, sent | wparam, TRUE},
                    {WM_WINDOWPOSCHANGING, sent},
                    {WM_WINDOWPOSCHANGED, sent}},
                   Recorder::get().take(), "visible child");
    // Visible itself, but its parent is hidden.
    EXPECT_FALSE(IsWindowVisible(child));
    EXPECT_EQ(WS_VISIBLE, static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE)) & WS_VISIBLE);
    EXPECT_EQ(parent, GetParent(child));
    EXPECT_TRUE(IsChild(parent, child));
}

// ShowWindow(SW_HIDE) of the active window: WM_SHOWWINDOW(FALSE), the position messages,
// then the window loses activation and focus. The return value is the previous visibility.
TEST_F(WindowSequence, HideActiveWindow) {
    HWND hwnd = make(WS_POPUP | WS_VISIBLE);
    Recorder::get().clear();
    EXPECT_TRUE(ShowWindow(hwnd, SW_HIDE));
    expectSequence({{WM_SHOWWINDOW, sent | wparam, FALSE},
                    {WM_WINDOWPOSCHANGING, sent},
                    {WM_WINDOWPOSCHANGED, sent},
                    {WM_KILLFOCUS, sent},
                    {WM_ACTIVATE, sent | wparam, WA_INACTIVE}},
                   Recorder::get().take(), "hide");
    EXPECT_FALSE(ShowWindow(hwnd, SW_HIDE));
    EXPECT_TRUE(Recorder::get().take().empty());
    EXPECT_EQ(nullptr, GetActiveWindow());
    EXPECT_EQ(nullptr, GetFocus());
}

// SetWindowPos that moves and sizes: DefWindowProc's WM_WINDOWPOSCHANGED sends WM_MOVE then
// WM_SIZE with the new client values; a move alone sends no WM_SIZE.
TEST_F(WindowSequence, SetWindowPosMoveAndSize) {
    HWND hwnd = make(WS_POPUP | WS_BORDER);
    Recorder::get().clear();
    EXPECT_TRUE(SetWindowPos(hwnd, nullptr, 30, 40, 60, 70, SWP_NOZORDER | SWP_NOACTIVATE));
    // The 1-pixel border of WS_BORDER is the only non-client area.
    expectSequence({{WM_WINDOWPOSCHANGING, sent},
                    {WM_WINDOWPOSCHANGED, sent},
                    {WM_MOVE, sent | lparam, 0, MAKELPARAM(31, 41)},
                    {WM_SIZE, sent | wparam | lparam, SIZE_RESTORED, MAKELPARAM(58, 68)}},
                   Recorder::get().take(), "move and size");
    EXPECT_TRUE(
        SetWindowPos(hwnd, nullptr, 50, 40, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE));
    expectSequence({{WM_WINDOWPOSCHANGING, sent},
                    {WM_WINDOWPOSCHANGED, sent},
                    {WM_MOVE, sent | lparam, 0, MAKELPARAM(51, 41)}},
                   Recorder::get().take(), "move only");
    RECT r = {-1, -1, -1, -1};
    ASSERT_TRUE(GetWindowRect(hwnd, &r));
    EXPECT_EQ(50, r.left);
    EXPECT_EQ(40, r.top);
    EXPECT_EQ(110, r.right);
    EXPECT_EQ(110, r.bottom);
    ASSERT_TRUE(GetClientRect(hwnd, &r));
    EXPECT_EQ(0, r.left);
    EXPECT_EQ(58, r.right);
    EXPECT_EQ(68, r.bottom);
    POINT p{0, 0};
    ASSERT_TRUE(ClientToScreen(hwnd, &p));
    EXPECT_EQ(51, p.x);
    EXPECT_EQ(41, p.y);
}

// DestroyWindow: WM_DESTROY to the window before its children, WM_NCDESTROY to the children
// before the window; afterwards none of the handles is a window.
TEST_F(WindowSequence, DestroyWithChildrenInOrder) {
    HWND parent = make(WS_POPUP);
    HWND a = make(WS_CHILD, parent);
    HWND a1 = make(WS_CHILD, a);
    HWND b = make(WS_CHILD, parent);
    Recorder::get().clear();
    ASSERT_TRUE(DestroyWindow(parent));
    expectSequence({{WM_DESTROY, sent, 0, 0, parent},
                    {WM_DESTROY, sent, 0, 0, a},
                    {WM_DESTROY, sent, 0, 0, a1},
                    {WM_DESTROY, sent, 0, 0, b},
                    {WM_NCDESTROY, sent, 0, 0, a1},
                    {WM_NCDESTROY, sent, 0, 0, a},
                    {WM_NCDESTROY, sent, 0, 0, b},
                    {WM_NCDESTROY, sent, 0, 0, parent}},
                   Recorder::get().take(), "destroy tree");
    for (HWND h : {parent, a, a1, b})
        EXPECT_FALSE(IsWindow(h));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DestroyWindow(parent));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
}

// Owned windows go before their owner; the owner is what GetWindow(GW_OWNER) answers.
TEST_F(WindowSequence, DestroyOwnerDestroysOwnedFirst) {
    HWND owner = make(WS_POPUP);
    HWND owned = make(WS_POPUP, owner);
    EXPECT_EQ(owner, GetWindow(owned, GW_OWNER));
    EXPECT_EQ(owner, GetParent(owned)); // a pop-up's parent is its owner
    Recorder::get().clear();
    ASSERT_TRUE(DestroyWindow(owner));
    expectSequence({{WM_DESTROY, sent, 0, 0, owned},
                    {WM_NCDESTROY, sent, 0, 0, owned},
                    {WM_DESTROY, sent, 0, 0, owner},
                    {WM_NCDESTROY, sent, 0, 0, owner}},
                   Recorder::get().take(), "destroy owner");
}

// Destroying a window of another thread is refused, as on Windows.
TEST_F(WindowSequence, DestroyFromAnotherThreadFails) {
    HWND hwnd = make(WS_POPUP);
    DWORD error = 0;
    BOOL result = TRUE;
    cetest::Body body{[&]() -> DWORD {
        SetLastError(0xdeadbeef);
        result = DestroyWindow(hwnd);
        error = GetLastError();
        return 0;
    }};
    HANDLE t = cetest::startThread(body);
    ASSERT_NE(nullptr, t);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_FALSE(result);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), error);
    EXPECT_TRUE(IsWindow(hwnd));
}

// The tree as GetWindow walks it: children in creation order (each new child at the bottom),
// top-level windows with the newest on top; FindWindowW by class or title without case.
TEST_F(WindowSequence, TreeWalkAndFind) {
    HWND top = CreateWindowExW(0, kRecorderClass, u"Finder Title", WS_POPUP, 0, 0, 10, 10, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
    made.push_back(top);
    HWND c1 = make(WS_CHILD, top);
    HWND c2 = make(WS_CHILD, top);
    EXPECT_EQ(c1, GetWindow(top, GW_CHILD));
    EXPECT_EQ(c2, GetWindow(c1, GW_HWNDNEXT));
    EXPECT_EQ(nullptr, GetWindow(c2, GW_HWNDNEXT));
    EXPECT_EQ(c1, GetWindow(c2, GW_HWNDPREV));
    EXPECT_EQ(top, GetWindow(GetDesktopWindow(), GW_CHILD));
    EXPECT_EQ(top, FindWindowW(u"recorderclass", nullptr));
    EXPECT_EQ(top, FindWindowW(nullptr, u"FINDER TITLE"));
    EXPECT_EQ(nullptr, FindWindowW(u"NoSuchClass", nullptr));
    WCHAR name[64];
    std::fill(std::begin(name), std::end(name), WCHAR(0xBEEF));
    EXPECT_EQ(8, GetClassNameW(top, name, 9)); // cut to fit with its terminating zero
    EXPECT_EQ(std::u16string(u"Recorder"), std::u16string(name));
    EXPECT_EQ(WCHAR(0xBEEF), name[9]);
    std::fill(std::begin(name), std::end(name), WCHAR(0xBEEF));
    EXPECT_EQ(12, GetWindowTextW(top, name, 64));
    EXPECT_EQ(std::u16string(u"Finder Title"), std::u16string(name));
    EXPECT_TRUE(SetWindowTextW(top, u"Renamed"));
    EXPECT_EQ(top, FindWindowW(nullptr, u"renamed"));
    DWORD pid = 0xdeadbeef;
    EXPECT_EQ(GetCurrentThreadId(), GetWindowThreadProcessId(c2, &pid));
    EXPECT_EQ(GetCurrentProcessId(), pid);
}

// Window values: user data, identifiers, extra bytes inside cbWndExtra only, and a
// replaced window procedure that CallWindowProcW reaches.
LRESULT CALLBACK subclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_USER + 7) return 77;
    auto old = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
    return CallWindowProcW(old, hwnd, msg, wParam, lParam);
}

TEST_F(WindowSequence, WindowLongValues) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.cbWndExtra = 8;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = u"ExtraBytesClass";
    ASSERT_NE(0, RegisterClassW(&wc));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, RegisterClassW(&wc));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS), GetLastError());
    HWND hwnd = CreateWindowExW(0, u"EXTRABYTESCLASS", nullptr, WS_POPUP, 0, 0, 1, 1, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, hwnd);
    EXPECT_EQ(0, SetWindowLongW(hwnd, 4, 0x12345678));
    EXPECT_EQ(0x12345678, GetWindowLongW(hwnd, 4));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, GetWindowLongW(hwnd, 5)); // would reach past the 8 extra bytes
    EXPECT_EQ(1413u, GetLastError());      // ERROR_INVALID_INDEX
    SetWindowLongW(hwnd, GWL_USERDATA, 0x55);
    EXPECT_EQ(0x55, GetWindowLongW(hwnd, GWL_USERDATA));
    LONG_PTR old = SetWindowLongPtrW(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(subclassProc));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(DefWindowProcW), old);
    SetWindowLongPtrW(hwnd, GWL_USERDATA, old);
    EXPECT_EQ(77, SendMessageW(hwnd, WM_USER + 7, 0, 0));
    EXPECT_TRUE(SetWindowTextW(hwnd, u"through the old procedure"));
    EXPECT_EQ(25, GetWindowTextLengthW(hwnd));
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_TRUE(UnregisterClassW(u"ExtraBytesClass", GetModuleHandleW(nullptr)));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, CreateWindowExW(0, u"ExtraBytesClass", nullptr, WS_POPUP, 0, 0, 1, 1,
                                       nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    EXPECT_EQ(1407u, GetLastError()); // ERROR_CANNOT_FIND_WND_CLASS
}

} // namespace
