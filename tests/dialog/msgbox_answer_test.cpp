// msgbox_answer_test.cpp: MessageBoxW on the null display driver: answers from the automation
// queue (taken, refused), the journal lines, the box as other code sees it (class "Dialog",
// its caption, the text and button children), its owner disabled while it waits and that
// owner's timers still firing, the keys (Enter for the default button, Escape as documented)
// and a tap on a button made with mouse_event.
//
// Input is injected from a timer: the box's loop dispatches the thread's timers while it
// waits, so the timer procedure runs inside MessageBoxW.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "testdevice.h"
#include "user/automation.h"
#include "windows.h"

namespace {

using ce::automation::Answer;

std::vector<std::function<void()>> steps;
size_t nextStep = 0;
int ownerTimers = 0;
BOOL ownerEnabledDuringBox = 0xdeadbeef;

void CALLBACK stepTimer(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    if (nextStep < steps.size()) {
        steps[nextStep++]();
        return;
    }
    KillTimer(hwnd, id);
}

LRESULT CALLBACK ownerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER && wParam == 5) ++ownerTimers;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

std::u16string textOf(HWND hwnd) {
    char16_t buf[256] = {};
    GetWindowTextW(hwnd, buf, 256);
    return buf;
}

std::u16string classOf(HWND hwnd) {
    char16_t buf[64] = {};
    GetClassNameW(hwnd, buf, 64);
    return buf;
}

// The child of the box whose text is `text`.
HWND childWithText(HWND box, const std::u16string& text) {
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (textOf(c) == text) return c;
    return nullptr;
}

void key(BYTE vk) {
    keybd_event(vk, 0, 0, 0);
    keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
}

void tapCentre(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    DWORD dx = static_cast<DWORD>((x * 65536 + sw - 1) / sw);
    DWORD dy = static_cast<DWORD>((y * 65536 + sh - 1) / sh);
    mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN, dx, dy, 0, 0);
    mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP, dx, dy, 0, 0);
}

class MsgBox : public cetest::DeviceTest {
protected:
    void SetUp() override {
        static bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = ownerProc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = u"BoxOwner";
            return RegisterClassW(&wc) != 0;
        }();
        ASSERT_TRUE(registered);
        owner = CreateWindowExW(0, u"BoxOwner", u"owner", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, owner);
        steps.clear();
        nextStep = 0;
        ownerTimers = 0;
        ownerEnabledDuringBox = 0xdeadbeef;
    }
    void TearDown() override {
        if (IsWindow(owner)) DestroyWindow(owner);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }

    int show(const char16_t* text, const char16_t* title, UINT type) {
        if (!steps.empty()) SetTimer(owner, 77, 20, stepTimer);
        int r = MessageBoxW(owner, text, title, type);
        KillTimer(owner, 77);
        return r;
    }

    std::vector<std::string> journal(const std::string& event) {
        std::ifstream in(device.dir() / "journal.log");
        std::vector<std::string> out;
        std::string line;
        while (std::getline(in, line))
            if (line.find("\"event\":\"" + event + "\"") != std::string::npos) out.push_back(line);
        return out;
    }

    HWND owner = nullptr;
};

// Queued answers are taken in order and returned as the button identifiers, with no window
// shown; the journal has what the box showed and how it was answered.
TEST_F(MsgBox, QueuedAnswersGiveYesAndNo) {
    ASSERT_TRUE(ce::automation::queueAnswer(Answer{"yes", ""}));
    ASSERT_TRUE(ce::automation::queueAnswer(Answer{"no", ""}));
    EXPECT_EQ(IDYES, show(u"Delete the alarm?", u"Alarms", MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(IDNO, show(u"Really?", u"Alarms", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2));
    EXPECT_EQ(nullptr, FindWindowW(u"Dialog", u"Alarms"));
    EXPECT_TRUE(ce::automation::pendingAnswers().empty());

    auto shown = journal("msgbox.shown");
    ASSERT_EQ(2u, shown.size());
    EXPECT_NE(std::string::npos, shown[0].find("\"title\":\"Alarms\"")) << shown[0];
    EXPECT_NE(std::string::npos, shown[0].find("\"text\":\"Delete the alarm?\"")) << shown[0];
    EXPECT_NE(std::string::npos, shown[0].find("\"buttons\":\"yes,no\"")) << shown[0];
    EXPECT_NE(std::string::npos, shown[0].find("\"icon\":\"question\"")) << shown[0];
    EXPECT_NE(std::string::npos, shown[1].find("\"icon\":\"warning\"")) << shown[1];
    EXPECT_NE(std::string::npos, shown[1].find("\"default\":\"no\"")) << shown[1];
    auto answered = journal("msgbox.answered");
    ASSERT_EQ(2u, answered.size());
    EXPECT_NE(std::string::npos, answered[0].find("\"answer\":\"yes\"")) << answered[0];
    EXPECT_NE(std::string::npos, answered[1].find("\"answer\":\"no\"")) << answered[1];
    EXPECT_NE(std::string::npos, answered[1].find("\"by\":\"automation\"")) << answered[1];
}

// An answer the box does not offer is refused (and journaled); the box then waits for the
// user: it is a window of class "Dialog" titled with the caption, with the text and the
// buttons as children. Escape does nothing on a Yes/No box; Enter presses the default button.
TEST_F(MsgBox, RefusedAnswerWaitsForTheUser) {
    ASSERT_TRUE(ce::automation::queueAnswer(Answer{"ok", ""}));
    HWND seen = nullptr;
    steps = {[&] {
                 seen = FindWindowW(u"Dialog", u"Question");
                 ASSERT_NE(nullptr, seen);
                 EXPECT_EQ(u"Dialog", classOf(seen));
                 EXPECT_NE(nullptr, childWithText(seen, u"Keep the note?"));
                 EXPECT_NE(nullptr, childWithText(seen, u"Yes"));
                 EXPECT_NE(nullptr, childWithText(seen, u"No"));
                 EXPECT_TRUE(GetWindowLongW(seen, GWL_EXSTYLE) & WS_EX_TOPMOST);
                 key(VK_ESCAPE);
             },
             [&] {
                 EXPECT_TRUE(IsWindow(seen)); // Escape left a box without Cancel open
                 key(VK_RETURN);
             }};
    EXPECT_EQ(IDNO, show(u"Keep the note?", u"Question", MB_YESNO | MB_DEFBUTTON2));
    EXPECT_FALSE(IsWindow(seen));
    auto refused = journal("msgbox.refused");
    ASSERT_EQ(1u, refused.size());
    EXPECT_NE(std::string::npos, refused[0].find("\"answer\":\"ok\"")) << refused[0];
    auto answered = journal("msgbox.answered");
    ASSERT_EQ(1u, answered.size());
    EXPECT_NE(std::string::npos, answered[0].find("\"by\":\"user\"")) << answered[0];
}

// Escape answers Cancel when the box has a Cancel button, and OK when OK is its only button
// (as MessageBox is documented to behave).
TEST_F(MsgBox, EscapeGivesCancelOrOk) {
    steps = {[] { key(VK_ESCAPE); }};
    EXPECT_EQ(IDCANCEL, show(u"Go on?", u"T", MB_OKCANCEL));
    nextStep = 0;
    EXPECT_EQ(IDCANCEL, show(u"Go on?", u"T", MB_YESNOCANCEL));
    nextStep = 0;
    EXPECT_EQ(IDOK, show(u"Done.", u"T", MB_OK | MB_ICONINFORMATION));
}

// While the box waits its owner is disabled and the owner's timers keep firing; a tap on the
// Yes button answers the box, and the owner is enabled again afterwards.
TEST_F(MsgBox, OwnerTimerFiresAndTapAnswers) {
    SetTimer(owner, 5, 10, nullptr);
    steps = {[] {}, [] {}, [] {},
             [&] {
                 ownerEnabledDuringBox = IsWindowEnabled(owner);
                 HWND box = FindWindowW(u"Dialog", u"Snooze");
                 ASSERT_NE(nullptr, box);
                 HWND yes = childWithText(box, u"Yes");
                 ASSERT_NE(nullptr, yes);
                 tapCentre(yes);
             }};
    EXPECT_EQ(IDYES, show(u"Snooze for five minutes?", u"Snooze", MB_YESNO | MB_ICONQUESTION));
    KillTimer(owner, 5);
    EXPECT_EQ(FALSE, ownerEnabledDuringBox);
    EXPECT_GE(ownerTimers, 3);
    EXPECT_TRUE(IsWindowEnabled(owner));
}

// A tap that starts on a button and ends outside it does not press it.
TEST_F(MsgBox, PenUpOutsideTheButtonDoesNotPressIt) {
    steps = {[] {
                 HWND box = FindWindowW(u"Dialog", u"Drag");
                 ASSERT_NE(nullptr, box);
                 RECT r{};
                 GetWindowRect(childWithText(box, u"OK"), &r);
                 int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
                 auto abs = [&](int v, int s) {
                     return static_cast<DWORD>((v * 65536 + s - 1) / s);
                 };
                 mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN,
                             abs(r.left + 3, sw), abs(r.top + 3, sh), 0, 0);
                 mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTUP,
                             abs(5, sw), abs(5, sh), 0, 0);
             },
             [] {
                 EXPECT_NE(nullptr, FindWindowW(u"Dialog", u"Drag"));
                 key(VK_ESCAPE);
             }};
    EXPECT_EQ(IDCANCEL, show(u"x", u"Drag", MB_OKCANCEL));
}

// Bad arguments fail with 0: an unknown button set, an owner that is not a window.
TEST_F(MsgBox, BadArgumentsFail) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, MessageBoxW(owner, u"x", u"y", 0x0000000F));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, MessageBoxW(reinterpret_cast<HWND>(0x7654321), u"x", u"y", MB_OK));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
    EXPECT_TRUE(journal("msgbox.shown").empty());
}

} // namespace
