// dialog_keys_test.cpp: the dialog keyboard through IsDialogMessageW, with keys pressed on
// the device (keybd_event through the null display driver): Tab and Shift+Tab through the
// tab stops (disabled and hidden controls skipped), arrows within a group of auto radio
// buttons, Enter pressing the default push button (or the focused push button), Escape
// sending IDCANCEL, a control that asks for Tab through WM_GETDLGCODE keeping it; and
// GetNextDlgTabItem / GetNextDlgGroupItem / DM_GETDEFID / DM_SETDEFID directly.
#include <vector>

#include <gtest/gtest.h>

#include "ceresource.h"
#include "testdevice.h"
#include "windows.h"

namespace {

enum : int {
    kA = 10,
    kB = 11,
    kC = 12,
    kRadio1 = 20,
    kRadio2 = 21,
    kRadio3 = 22,
    kCheck = 30,
    kWantTab = 40
};

const CeDialogItem kItems[] = {
    {u"STATIC", IDC_STATIC, u"Label", {2, 2, 40, 8}, SS_LEFT, 0},
    {u"BUTTON", kA, u"A", {2, 12, 30, 12}, BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 0},
    {u"BUTTON", kB, u"B", {34, 12, 30, 12}, BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, 0},
    {u"BUTTON", kC, u"C", {66, 12, 30, 12}, BS_PUSHBUTTON | WS_TABSTOP, 0},
    {u"BUTTON", kRadio1, u"One", {2, 26, 40, 10}, BS_AUTORADIOBUTTON | WS_TABSTOP | WS_GROUP, 0},
    {u"BUTTON", kRadio2, u"Two", {2, 38, 40, 10}, BS_AUTORADIOBUTTON, 0},
    {u"BUTTON", kRadio3, u"Three", {2, 50, 40, 10}, BS_AUTORADIOBUTTON, 0},
    {u"BUTTON", kCheck, u"Check", {2, 62, 60, 10}, BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, 0},
    {u"BUTTON", IDOK, u"OK", {2, 76, 40, 14}, BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
    {u"BUTTON", IDCANCEL, u"Cancel", {46, 76, 40, 14}, BS_PUSHBUTTON | WS_TABSTOP, 0},
};

const CeDialogTemplate kTemplate = {
    WS_POPUP | WS_VISIBLE, 0, {0, 0, 120, 100}, u"Keys", u"Tahoma", 8, kItems, CE_COUNTOF(kItems)};

std::vector<int> commands;

INT_PTR CALLBACK keysProc(HWND, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND) {
        commands.push_back(LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

// A control that keeps Tab and the arrows for itself and counts the Tabs it gets.
int tabsReceived = 0;
LRESULT CALLBACK wantTabProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_GETDLGCODE) return DLGC_WANTTAB | DLGC_WANTARROWS;
    if (msg == WM_KEYDOWN && wParam == VK_TAB) ++tabsReceived;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class DialogKeysTest : public cetest::DeviceTest {
protected:
    void SetUp() override {
        commands.clear();
        dlg = CreateDialogIndirectParamW(nullptr, &kTemplate, nullptr, keysProc, 0);
        ASSERT_NE(nullptr, dlg);
        pump();
    }
    void TearDown() override {
        if (IsWindow(dlg)) DestroyWindow(dlg);
        pump();
    }
    void pump() {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
            if (!IsDialogMessageW(dlg, &m)) {
                TranslateMessage(&m);
                DispatchMessageW(&m);
            }
    }
    void press(BYTE vk) {
        keybd_event(vk, 0, 0, 0);
        keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
        pump();
    }
    void shiftTab() {
        keybd_event(VK_SHIFT, 0, 0, 0);
        press(VK_TAB);
        keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
        pump();
    }
    int focusId() { return GetFocus() ? GetDlgCtrlID(GetFocus()) : 0; }
    HWND item(int id) { return GetDlgItem(dlg, id); }
    HWND dlg = nullptr;
};

// WM_INITDIALOG returned TRUE: the first tab stop has the focus. Tab skips the disabled B
// and, once hidden, C; it wraps from Cancel to A; Shift+Tab goes back.
TEST_F(DialogKeysTest, TabMovesThroughTabStops) {
    EXPECT_EQ(kA, focusId());
    press(VK_TAB);
    EXPECT_EQ(kC, focusId());
    press(VK_TAB);
    EXPECT_EQ(kRadio1, focusId());
    press(VK_TAB);
    EXPECT_EQ(kCheck, focusId());
    press(VK_TAB);
    EXPECT_EQ(IDOK, focusId());
    press(VK_TAB);
    EXPECT_EQ(IDCANCEL, focusId());
    press(VK_TAB);
    EXPECT_EQ(kA, focusId());
    ShowWindow(item(kC), SW_HIDE);
    press(VK_TAB);
    EXPECT_EQ(kRadio1, focusId());
    shiftTab();
    EXPECT_EQ(kA, focusId());
    shiftTab();
    EXPECT_EQ(IDCANCEL, focusId());
    EXPECT_TRUE(commands.empty()); // moving the focus presses nothing
}

// The arrows move within the radio group (wrapping at its ends, never into the check box's
// group) and check the auto radio button they land on, clearing the others.
TEST_F(DialogKeysTest, ArrowsMoveWithinRadioGroup) {
    SetFocus(item(kRadio1));
    CheckRadioButton(dlg, kRadio1, kRadio3, kRadio1);
    press(VK_DOWN);
    EXPECT_EQ(kRadio2, focusId());
    EXPECT_EQ(static_cast<UINT>(BST_CHECKED), IsDlgButtonChecked(dlg, kRadio2));
    EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), IsDlgButtonChecked(dlg, kRadio1));
    press(VK_DOWN);
    press(VK_DOWN);
    EXPECT_EQ(kRadio1, focusId());
    EXPECT_EQ(static_cast<UINT>(BST_CHECKED), IsDlgButtonChecked(dlg, kRadio1));
    EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), IsDlgButtonChecked(dlg, kRadio3));
    press(VK_UP);
    EXPECT_EQ(kRadio3, focusId());
    EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), IsDlgButtonChecked(dlg, kCheck));
    // The clicks reported BN_CLICKED, one per radio button reached.
    EXPECT_EQ((std::vector<int>{kRadio2, kRadio3, kRadio1, kRadio3}), commands);
}

// Enter with the focus on a control that is not a push button presses the default push
// button (IDOK here, the BS_DEFPUSHBUTTON); on a push button it presses that button;
// DM_SETDEFID changes the default; Escape sends IDCANCEL.
TEST_F(DialogKeysTest, EnterAndEscape) {
    EXPECT_EQ(MAKELONG(IDOK, DC_HASDEFID), SendMessageW(dlg, DM_GETDEFID, 0, 0));
    SetFocus(item(kCheck));
    press(VK_RETURN);
    EXPECT_EQ(std::vector<int>{IDOK}, commands);
    commands.clear();
    SetFocus(item(kA));
    press(VK_RETURN);
    EXPECT_EQ(std::vector<int>{kA}, commands);
    commands.clear();
    SendMessageW(dlg, DM_SETDEFID, kC, 0);
    EXPECT_EQ(MAKELONG(kC, DC_HASDEFID), SendMessageW(dlg, DM_GETDEFID, 0, 0));
    EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongW(item(kC), GWL_STYLE) & BS_TYPEMASK);
    EXPECT_EQ(BS_PUSHBUTTON, GetWindowLongW(item(IDOK), GWL_STYLE) & BS_TYPEMASK);
    SetFocus(item(kCheck));
    press(VK_RETURN);
    EXPECT_EQ(std::vector<int>{kC}, commands);
    commands.clear();
    press(VK_ESCAPE);
    EXPECT_EQ(std::vector<int>{IDCANCEL}, commands);
    // A disabled default button is not pressed.
    commands.clear();
    EnableWindow(item(kC), FALSE);
    SetFocus(item(kCheck));
    press(VK_RETURN);
    EXPECT_TRUE(commands.empty());
}

// A control whose WM_GETDLGCODE asks for Tab gets it, and the focus stays.
TEST_F(DialogKeysTest, ControlKeepsTabItAsksFor) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = wantTabProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = u"WantTabControl";
    RegisterClassW(&wc);
    HWND ctl = CreateWindowExW(0, u"WantTabControl", u"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0,
                               20, 20, dlg, reinterpret_cast<HMENU>(kWantTab), nullptr, nullptr);
    ASSERT_NE(nullptr, ctl);
    tabsReceived = 0;
    SetFocus(ctl);
    press(VK_TAB);
    EXPECT_EQ(1, tabsReceived);
    EXPECT_EQ(ctl, GetFocus());
}

// The order functions on their own: NULL starts at the first (or last) tab stop; a group
// runs from a WS_GROUP control to the next; hidden and disabled controls are skipped.
TEST_F(DialogKeysTest, NextTabAndGroupItems) {
    EXPECT_EQ(item(kA), GetNextDlgTabItem(dlg, nullptr, FALSE));
    EXPECT_EQ(item(IDCANCEL), GetNextDlgTabItem(dlg, nullptr, TRUE));
    EXPECT_EQ(item(kC), GetNextDlgTabItem(dlg, item(kA), FALSE));
    EXPECT_EQ(item(kA), GetNextDlgTabItem(dlg, item(kC), TRUE));
    EXPECT_EQ(item(kRadio2), GetNextDlgGroupItem(dlg, item(kRadio1), FALSE));
    EXPECT_EQ(item(kRadio3), GetNextDlgGroupItem(dlg, item(kRadio1), TRUE));
    EXPECT_EQ(item(kRadio1), GetNextDlgGroupItem(dlg, item(kRadio3), FALSE));
    EnableWindow(item(kRadio2), FALSE);
    EXPECT_EQ(item(kRadio3), GetNextDlgGroupItem(dlg, item(kRadio1), FALSE));
    // A..C is one group (the next WS_GROUP is Radio1); B is disabled.
    EXPECT_EQ(item(kC), GetNextDlgGroupItem(dlg, item(kA), FALSE));
    EXPECT_EQ(item(kA), GetNextDlgGroupItem(dlg, item(kC), FALSE));
}

} // namespace
