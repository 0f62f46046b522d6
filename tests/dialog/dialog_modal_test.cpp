// dialog_modal_test.cpp: modal dialogs: DialogBoxIndirectParamW returning EndDialog's value,
// the owner disabled while the dialog runs, timers and painting of the thread's other
// windows going on inside the dialog's loop, answers from the automation queue ("ok",
// "cancel", "dialog ..."), the journal lines, and a dialog from the test program's own
// resource table (DialogBoxParamW with MAKEINTRESOURCE).
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "ceresource.h"
#include "kernel/clock.h"
#include "testdevice.h"
#include "user/automation.h"
#include "windows.h"

namespace {

constexpr int kEditName = 100;
constexpr int kCheckDaily = 105;

const CeDialogItem kAlarmItems[] = {
    {u"STATIC", IDC_STATIC, u"Name:", {4, 4, 40, 10}, SS_LEFT, 0},
    {u"EDIT", kEditName, u"", {48, 4, 100, 12}, WS_BORDER | WS_TABSTOP, 0},
    {u"BUTTON", kCheckDaily, u"Daily", {4, 20, 60, 12}, BS_AUTOCHECKBOX | WS_TABSTOP, 0},
    {u"BUTTON", IDOK, u"Done", {4, 40, 50, 14}, BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
    {u"BUTTON", IDCANCEL, u"Cancel", {60, 40, 50, 14}, BS_PUSHBUTTON | WS_TABSTOP, 0},
};

const CeDialogTemplate kAlarm = {DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_VISIBLE,
                                 0,
                                 {0, 0, 160, 60},
                                 u"New Alarm",
                                 u"Tahoma",
                                 8,
                                 kAlarmItems,
                                 CE_COUNTOF(kAlarmItems)};

// The same template in the program's resources, as dialog 300.
const CeDataEntry kData[] = {{RT_DIALOG, 300, nullptr, &kAlarm, sizeof kAlarm}};
const CeResourceTable kResources = {
    CE_RESOURCE_TABLE_VERSION, nullptr, 0, nullptr, 0, nullptr, 0, kData, CE_COUNTOF(kData)};
CE_REGISTER_RESOURCES(kResources);

// What the dialog procedure saw, for the checks.
struct Seen {
    LPARAM initParam = 0xdeadbeef;
    BOOL ownerEnabledInside = -1;
    int ticks = 0;
    int endAfterTicks = 0;
    int otherTimerTicks = 0;
    int otherPaints = 0;
    std::u16string nameAtOk;
    UINT dailyAtOk = 0xdeadbeef;
    std::vector<int> commands;
    HWND owner = nullptr;
};
Seen* seen = nullptr;

INT_PTR CALLBACK alarmProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG:
        seen->initParam = lParam;
        if (seen->endAfterTicks) SetTimer(dlg, 7, 1000, nullptr);
        return TRUE;
    case WM_TIMER:
        if (wParam == 7 && ++seen->ticks >= seen->endAfterTicks) {
            seen->ownerEnabledInside = IsWindowEnabled(seen->owner);
            KillTimer(dlg, 7);
            EndDialog(dlg, 4242);
        }
        return TRUE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (HIWORD(wParam) != BN_CLICKED) return FALSE; // the edit's own notifications
        seen->commands.push_back(id);
        if (id == IDOK || id == IDCANCEL) {
            WCHAR name[32];
            GetDlgItemTextW(dlg, kEditName, name, 32);
            seen->nameAtOk = name;
            seen->dailyAtOk = IsDlgButtonChecked(dlg, kCheckDaily);
            EndDialog(dlg, id == IDOK ? 11 : 22);
        }
        return TRUE;
    }
    default: return FALSE;
    }
}

LRESULT CALLBACK otherProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER && seen) {
        ++seen->otherTimerTicks;
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    if (msg == WM_PAINT && seen) {
        ++seen->otherPaints;
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class ModalDialogTest : public cetest::DeviceTest {
protected:
    void SetUp() override {
        seen = &state;
        WNDCLASSW wc{};
        wc.lpfnWndProc = otherProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = u"ModalTestOwner";
        RegisterClassW(&wc); // a second registration fails harmlessly
        owner = CreateWindowExW(0, u"ModalTestOwner", u"Owner", WS_POPUP | WS_VISIBLE, 0, 0, 200,
                                200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, owner);
        state.owner = owner;
        ce::automation::clearAnswers();
    }
    void TearDown() override {
        if (IsWindow(owner)) DestroyWindow(owner);
        seen = nullptr;
    }
    std::string journal() {
        std::ifstream in(device.dir() / "journal.log");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    Seen state;
    HWND owner = nullptr;
};

// A timer set in WM_INITDIALOG keeps firing in the dialog's own loop, as does a timer of
// another window of the thread, which also gets its WM_PAINT; EndDialog's value comes back
// and the owner, disabled while the dialog runs, is enabled again.
TEST_F(ModalDialogTest, TimersAndPaintingRunInsideTheModalLoop) {
    ASSERT_TRUE(ce::setDeviceClockRate(60));
    state.endAfterTicks = 5;
    SetTimer(owner, 1, 500, nullptr);
    INT_PTR r = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), (LPCDLGTEMPLATEW)&kAlarm, owner,
                                        alarmProc, 0x1234);
    KillTimer(owner, 1);
    EXPECT_EQ(4242, r);
    EXPECT_EQ(0x1234, state.initParam);
    EXPECT_EQ(5, state.ticks);
    EXPECT_FALSE(state.ownerEnabledInside);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_GE(state.otherTimerTicks, 5); // 500 ms against the dialog's 1000 ms
    EXPECT_GE(state.otherPaints, 1);
    EXPECT_EQ(nullptr, FindWindowW(u"Dialog", u"New Alarm")); // destroyed on the way out
}

// "ok" from the queue: WM_COMMAND IDOK reaches the procedure as soon as the dialog is up,
// and the journal says what was shown and that automation closed it.
TEST_F(ModalDialogTest, OkAnswerFromTheQueue) {
    ASSERT_TRUE(ce::automation::queueAnswer({"ok", ""}));
    INT_PTR r = DialogBoxIndirectParamW(nullptr, &kAlarm, owner, alarmProc, 0);
    EXPECT_EQ(11, r);
    ASSERT_EQ(1u, state.commands.size());
    EXPECT_EQ(IDOK, state.commands[0]);
    EXPECT_TRUE(ce::automation::pendingAnswers().empty());
    std::string j = journal();
    EXPECT_NE(std::string::npos, j.find("\"event\":\"dialog.shown\"")) << j;
    EXPECT_NE(std::string::npos, j.find("\"caption\":\"New Alarm\"")) << j;
    EXPECT_NE(std::string::npos, j.find("1 BUTTON \\\"Done\\\"")) << j;
    EXPECT_NE(std::string::npos, j.find("100 EDIT")) << j;
    size_t closed = j.find("\"event\":\"dialog.closed\"");
    ASSERT_NE(std::string::npos, closed) << j;
    EXPECT_NE(std::string::npos, j.find("\"result\":11", closed)) << j;
    EXPECT_NE(std::string::npos, j.find("\"by\":\"automation\"", closed)) << j;
}

// "dialog 100=... 105=1 IDOK": texts set and the check box checked before OK is pressed;
// a quoted text keeps its space.
TEST_F(ModalDialogTest, DialogAnswerSetsItemsThenPresses) {
    ASSERT_TRUE(ce::automation::queueAnswer({"dialog", "100=\"Wake up\" 105=1 IDOK"}));
    INT_PTR r = DialogBoxIndirectParamW(nullptr, &kAlarm, owner, alarmProc, 0);
    EXPECT_EQ(11, r);
    EXPECT_EQ(u"Wake up", state.nameAtOk);
    EXPECT_EQ(static_cast<UINT>(BST_CHECKED), state.dailyAtOk);
}

// "dialog 105 2": pressing the auto check box by its number toggles it (as a tap would) and
// reports BN_CLICKED; the answer's second token then presses Cancel.
TEST_F(ModalDialogTest, DialogAnswerPressesButtonsByNumber) {
    ASSERT_TRUE(ce::automation::queueAnswer({"dialog", "105 2"}));
    INT_PTR r = DialogBoxIndirectParamW(nullptr, &kAlarm, owner, alarmProc, 0);
    EXPECT_EQ(22, r);
    ASSERT_EQ(2u, state.commands.size());
    EXPECT_EQ(kCheckDaily, state.commands[0]);
    EXPECT_EQ(IDCANCEL, state.commands[1]);
    EXPECT_EQ(static_cast<UINT>(BST_CHECKED), state.dailyAtOk);
}

// The dialog from the program's resource table, answered with "cancel"; an identifier the
// table lacks fails with -1 and ERROR_RESOURCE_NAME_NOT_FOUND.
TEST_F(ModalDialogTest, DialogFromResourceTable) {
    ASSERT_TRUE(ce::automation::queueAnswer({"cancel", ""}));
    INT_PTR r =
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(300), owner, alarmProc, 7);
    EXPECT_EQ(22, r);
    EXPECT_EQ(7, state.initParam);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(
        -1, DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(301), owner, alarmProc, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
    EXPECT_TRUE(IsWindowEnabled(owner));
}

// A template naming a class nobody registered cannot be made: -1, and the owner stays
// enabled.
TEST_F(ModalDialogTest, UnknownControlClassFails) {
    const CeDialogItem items[] = {{u"NoSuchClass", 1, u"", {0, 0, 10, 10}, 0, 0}};
    const CeDialogTemplate t = {WS_POPUP, 0, {0, 0, 50, 50}, u"Bad", nullptr, 0, items, 1};
    SetLastError(0xdeadbeef);
    EXPECT_EQ(-1, DialogBoxIndirectParamW(nullptr, &t, owner, alarmProc, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS), GetLastError());
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(-1, DialogBoxIndirectParamW(nullptr, nullptr, owner, alarmProc, 0));
}

// EndDialog inside WM_INITDIALOG: the dialog never shows and its value comes back at once.
INT_PTR CALLBACK endAtInitProc(HWND dlg, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG) {
        EndDialog(dlg, 5);
        return TRUE;
    }
    return FALSE;
}

TEST_F(ModalDialogTest, EndDialogDuringInit) {
    EXPECT_EQ(5, DialogBoxIndirectParamW(nullptr, &kAlarm, owner, endAtInitProc, 0));
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(std::string::npos, journal().find("dialog.shown"));
}

} // namespace
