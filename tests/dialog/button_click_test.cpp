// button_click_test.cpp: the BUTTON class under the pen and the keys: an owner-drawn button
// drawn by its parent (WM_DRAWITEM) pushed while the pen is down on it and released after,
// then BN_CLICKED; a release away from the button clicking nothing; automatic check boxes,
// three-state boxes and radio buttons (a radio button clears the others of its group only);
// BM_CLICK, BM_SETSTATE / BM_GETSTATE, the space key, BS_NOTIFY's focus notifications,
// WM_GETDLGCODE, and the colours: WM_CTLCOLORBTN's brush behind a check box and the Windows
// Mobile look of a push button.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testdevice.h"
#include "windows.h"

namespace {

struct Event {
    UINT message;
    UINT action; // WM_DRAWITEM: itemAction; WM_COMMAND: notification code
    UINT state;  // WM_DRAWITEM: itemState
    int id;
};
std::vector<Event> events;
HBRUSH buttonBrush = nullptr;

LRESULT CALLBACK parentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_DRAWITEM: {
        auto dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        EXPECT_EQ(static_cast<UINT>(ODT_BUTTON), dis->CtlType);
        EXPECT_EQ(dis->CtlID, static_cast<UINT>(wParam));
        EXPECT_NE(nullptr, dis->hDC);
        FillRect(
            dis->hDC, &dis->rcItem,
            GetSysColorBrush((dis->itemState & ODS_SELECTED) ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
        events.push_back({msg, dis->itemAction, dis->itemState, static_cast<int>(dis->CtlID)});
        return TRUE;
    }
    case WM_COMMAND: events.push_back({msg, HIWORD(wParam), 0, LOWORD(wParam)}); return 0;
    case WM_CTLCOLORBTN:
        if (buttonBrush) return reinterpret_cast<LRESULT>(buttonBrush);
        break;
    default: break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class ButtonTest : public cetest::DeviceTest {
protected:
    void SetUp() override {
        events.clear();
        buttonBrush = nullptr;
        WNDCLASSW wc{};
        wc.lpfnWndProc = parentProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
        wc.lpszClassName = u"ButtonTestParent";
        RegisterClassW(&wc);
        parent = CreateWindowExW(0, u"ButtonTestParent", u"P", WS_POPUP | WS_VISIBLE, 0, 30, 220,
                                 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, parent);
        pump();
    }
    void TearDown() override {
        if (IsWindow(parent)) DestroyWindow(parent);
        if (buttonBrush) DeleteObject(buttonBrush);
        pump();
    }
    HWND make(DWORD style, int id, int x, int y, int w = 80, int h = 24,
              const char16_t* text = u"Btn") {
        HWND b =
            CreateWindowExW(0, u"BUTTON", text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        EXPECT_NE(nullptr, b);
        return b;
    }
    static void pump() {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
    // The pen at a screen point, through the device's input (mouse_event's absolute scale).
    static void pen(DWORD flags, int x, int y) {
        int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
        mouse_event(flags | MOUSEEVENTF_ABSOLUTE, static_cast<DWORD>((x * 65536 + w - 1) / w),
                    static_cast<DWORD>((y * 65536 + h - 1) / h), 0, 0);
        pump();
    }
    std::vector<Event> take() {
        std::vector<Event> e;
        e.swap(events);
        return e;
    }
    static int clicks(const std::vector<Event>& e, int id) {
        int n = 0;
        for (auto& x : e)
            if (x.message == WM_COMMAND && x.action == BN_CLICKED && x.id == id) ++n;
        return n;
    }
    HWND parent = nullptr;
};

// The pen goes down on an owner-drawn button: its parent draws it selected (ODA_SELECT with
// ODS_SELECTED) while the pen is down, unselected when it comes up, and only then comes
// BN_CLICKED.
TEST_F(ButtonTest, OwnerDrawnButtonPressedByPen) {
    HWND b = make(BS_OWNERDRAW, 5, 10, 10); // screen (10,40)-(90,64)
    UpdateWindow(b);
    auto first = take();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(static_cast<UINT>(WM_DRAWITEM), first.back().message);
    EXPECT_EQ(static_cast<UINT>(ODA_DRAWENTIRE), first.back().action);
    EXPECT_EQ(0u, first.back().state & ODS_SELECTED);

    pen(MOUSEEVENTF_LEFTDOWN, 30, 50);
    auto down = take();
    ASSERT_FALSE(down.empty());
    EXPECT_EQ(static_cast<UINT>(WM_DRAWITEM), down.back().message);
    EXPECT_EQ(static_cast<UINT>(ODA_SELECT), down.back().action);
    EXPECT_EQ(static_cast<UINT>(ODS_SELECTED), down.back().state & ODS_SELECTED);
    EXPECT_EQ(static_cast<UINT>(ODS_FOCUS), down.back().state & ODS_FOCUS);
    EXPECT_EQ(0, clicks(down, 5));
    EXPECT_EQ(static_cast<LRESULT>(BST_PUSHED), SendMessageW(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
    EXPECT_EQ(b, GetCapture());

    pen(MOUSEEVENTF_LEFTUP, 30, 50);
    auto up = take();
    ASSERT_GE(up.size(), 2u);
    EXPECT_EQ(static_cast<UINT>(WM_DRAWITEM), up[up.size() - 2].message);
    EXPECT_EQ(static_cast<UINT>(ODA_SELECT), up[up.size() - 2].action);
    EXPECT_EQ(0u, up[up.size() - 2].state & ODS_SELECTED);
    EXPECT_EQ(static_cast<UINT>(WM_COMMAND), up.back().message);
    EXPECT_EQ(static_cast<UINT>(BN_CLICKED), up.back().action);
    EXPECT_EQ(5, up.back().id);
    EXPECT_EQ(nullptr, GetCapture());
}

// The pen leaves the button while down: it shows released, and lifting it there clicks
// nothing; coming back shows it pushed again.
TEST_F(ButtonTest, ReleaseOutsideIsNoClick) {
    HWND b = make(BS_PUSHBUTTON, 6, 10, 10);
    pen(MOUSEEVENTF_LEFTDOWN, 30, 50);
    EXPECT_EQ(BST_PUSHED, SendMessageW(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
    pen(MOUSEEVENTF_MOVE, 150, 150);
    EXPECT_EQ(0, SendMessageW(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
    pen(MOUSEEVENTF_MOVE, 31, 51);
    EXPECT_EQ(BST_PUSHED, SendMessageW(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
    pen(MOUSEEVENTF_MOVE, 150, 150);
    pen(MOUSEEVENTF_LEFTUP, 150, 150);
    EXPECT_EQ(0, clicks(take(), 6));
    EXPECT_EQ(0, SendMessageW(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
}

// Automatic check boxes toggle, three-state ones cycle through the indeterminate state,
// plain ones only report the click; BN_CLICKED comes after the change.
TEST_F(ButtonTest, CheckBoxKinds) {
    HWND autoBox = make(BS_AUTOCHECKBOX, 10, 0, 0);
    HWND threeState = make(BS_AUTO3STATE, 11, 0, 30);
    HWND plain = make(BS_CHECKBOX, 12, 0, 60);
    SendMessageW(autoBox, BM_CLICK, 0, 0);
    EXPECT_EQ(BST_CHECKED, SendMessageW(autoBox, BM_GETCHECK, 0, 0));
    SendMessageW(autoBox, BM_CLICK, 0, 0);
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(autoBox, BM_GETCHECK, 0, 0));
    const LRESULT cycle[] = {BST_CHECKED, BST_INDETERMINATE, BST_UNCHECKED};
    for (LRESULT expected : cycle) {
        SendMessageW(threeState, BM_CLICK, 0, 0);
        EXPECT_EQ(expected, SendMessageW(threeState, BM_GETCHECK, 0, 0));
    }
    SendMessageW(plain, BM_CLICK, 0, 0);
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(plain, BM_GETCHECK, 0, 0));
    SendMessageW(plain, BM_SETCHECK, BST_INDETERMINATE, 0); // two states only
    EXPECT_EQ(BST_CHECKED, SendMessageW(plain, BM_GETCHECK, 0, 0));
    auto e = take();
    EXPECT_EQ(2, clicks(e, 10));
    EXPECT_EQ(3, clicks(e, 11));
    EXPECT_EQ(1, clicks(e, 12));
    // A push button has no check state.
    HWND push = make(BS_PUSHBUTTON, 13, 100, 0);
    SendMessageW(push, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(0, SendMessageW(push, BM_GETCHECK, 0, 0));
    // A disabled button ignores BM_CLICK.
    EnableWindow(autoBox, FALSE);
    SendMessageW(autoBox, BM_CLICK, 0, 0);
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(autoBox, BM_GETCHECK, 0, 0));
}

// An auto radio button checks itself and clears the auto radio buttons of its own group
// (WS_GROUP starts a group), never those of the next group.
TEST_F(ButtonTest, AutoRadioButtonsClearTheirGroup) {
    HWND a1 = make(BS_AUTORADIOBUTTON | WS_GROUP, 20, 0, 0);
    HWND a2 = make(BS_AUTORADIOBUTTON, 21, 0, 25);
    HWND a3 = make(BS_AUTORADIOBUTTON, 22, 0, 50);
    HWND b1 = make(BS_AUTORADIOBUTTON | WS_GROUP, 30, 100, 0);
    HWND b2 = make(BS_AUTORADIOBUTTON, 31, 100, 25);
    SendMessageW(b1, BM_CLICK, 0, 0);
    SendMessageW(a1, BM_CLICK, 0, 0);
    EXPECT_EQ(BST_CHECKED, SendMessageW(a1, BM_GETCHECK, 0, 0));
    SendMessageW(a3, BM_CLICK, 0, 0);
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(a1, BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(a2, BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_CHECKED, SendMessageW(a3, BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_CHECKED, SendMessageW(b1, BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(b2, BM_GETCHECK, 0, 0));
    EXPECT_EQ(1, clicks(take(), 22));
}

// Space pushes the focused button and releasing it clicks; BS_NOTIFY reports the focus;
// BM_SETSTATE shows it pushed without clicking.
TEST_F(ButtonTest, SpaceFocusAndState) {
    HWND b = make(BS_PUSHBUTTON | BS_NOTIFY, 40, 0, 0);
    HWND other = make(BS_PUSHBUTTON, 41, 100, 0);
    SetFocus(b);
    auto e = take();
    ASSERT_FALSE(e.empty());
    EXPECT_EQ(static_cast<UINT>(BN_SETFOCUS), e.back().action);
    EXPECT_EQ(BST_FOCUS, SendMessageW(b, BM_GETSTATE, 0, 0) & BST_FOCUS);
    SendMessageW(b, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(BST_PUSHED, SendMessageW(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
    EXPECT_EQ(0, clicks(take(), 40));
    SendMessageW(b, WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(1, clicks(take(), 40));
    SetFocus(other);
    e = take();
    ASSERT_FALSE(e.empty());
    EXPECT_EQ(static_cast<UINT>(BN_KILLFOCUS), e.back().action);
    SendMessageW(b, BM_SETSTATE, TRUE, 0);
    EXPECT_EQ(BST_PUSHED, SendMessageW(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
    SendMessageW(b, BM_SETSTATE, FALSE, 0);
    EXPECT_EQ(0, SendMessageW(b, BM_GETSTATE, 0, 0));
    EXPECT_EQ(0, clicks(take(), 40));
}

// A group box made before the check box inside it lies above it, yet only its frame is
// its own: a tap inside the frame reaches the check box.
TEST_F(ButtonTest, GroupBoxLetsThePenThrough) {
    HWND group = make(BS_GROUPBOX, 60, 0, 0, 200, 100, u"Days");
    HWND box = make(BS_AUTOCHECKBOX, 61, 20, 30, 100, 24, u"Monday"); // screen (20,60)-(120,84)
    ASSERT_NE(nullptr, group);
    pen(MOUSEEVENTF_LEFTDOWN, 40, 70);
    pen(MOUSEEVENTF_LEFTUP, 40, 70);
    EXPECT_EQ(BST_CHECKED, SendMessageW(box, BM_GETCHECK, 0, 0));
    EXPECT_EQ(1, clicks(take(), 61));
}

TEST_F(ButtonTest, DialogCodes) {
    EXPECT_EQ(DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON,
              SendMessageW(make(BS_PUSHBUTTON, 1, 0, 0), WM_GETDLGCODE, 0, 0));
    EXPECT_EQ(DLGC_BUTTON | DLGC_DEFPUSHBUTTON,
              SendMessageW(make(BS_DEFPUSHBUTTON, 2, 0, 0), WM_GETDLGCODE, 0, 0));
    EXPECT_EQ(DLGC_BUTTON | DLGC_RADIOBUTTON,
              SendMessageW(make(BS_AUTORADIOBUTTON, 3, 0, 0), WM_GETDLGCODE, 0, 0));
    EXPECT_EQ(DLGC_BUTTON, SendMessageW(make(BS_AUTOCHECKBOX, 4, 0, 0), WM_GETDLGCODE, 0, 0));
    EXPECT_EQ(DLGC_STATIC, SendMessageW(make(BS_GROUPBOX, 5, 0, 0), WM_GETDLGCODE, 0, 0));
}

// The parent's WM_CTLCOLORBTN brush fills a check box's background; a push button has the
// light face inside a grey border, and the highlight colour while pushed.
TEST_F(ButtonTest, Colours) {
    buttonBrush = CreateSolidBrush(RGB(200, 10, 10));
    HWND box = make(BS_AUTOCHECKBOX, 50, 0, 0, 100, 24, u"");
    HWND push = make(BS_PUSHBUTTON, 51, 0, 40, 100, 24, u"");
    UpdateWindow(box);
    UpdateWindow(push);
    HDC dc = GetDC(box);
    EXPECT_EQ(RGB(200, 10, 10), GetPixel(dc, 95, 12));
    ReleaseDC(box, dc);
    dc = GetDC(push);
    EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), GetPixel(dc, 0, 12));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), GetPixel(dc, 50, 2));
    ReleaseDC(push, dc);
    SendMessageW(push, BM_SETSTATE, TRUE, 0);
    UpdateWindow(push);
    dc = GetDC(push);
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), GetPixel(dc, 50, 2));
    ReleaseDC(push, dc);
}

} // namespace
