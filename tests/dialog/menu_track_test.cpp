// menu_track_test.cpp: pop-up menus tracked with TrackPopupMenuEx on the null display driver:
// answers from the automation queue (by command, by text, cancel, refused), WM_INITMENUPOPUP
// before the menu opens, WM_COMMAND without TPM_RETURNCMD, the keyboard (arrows, Enter,
// Left/Right for submenus, Escape), taps made with mouse_event (entries, greyed entries,
// submenus, outside), the menu's place on the screen, and the journal lines.
//
// Input is injected from a timer of the owner: the menu's loop dispatches the thread's timers
// while it waits, so the timer procedure runs inside TrackPopupMenuEx.
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

std::vector<MSG> ownerSeen;

LRESULT CALLBACK ownerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITMENUPOPUP || msg == WM_COMMAND) {
        MSG m{};
        m.hwnd = hwnd;
        m.message = msg;
        m.wParam = wParam;
        m.lParam = lParam;
        ownerSeen.push_back(m);
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// What the timer does, step by step: each tick runs the next step.
std::vector<std::function<void()>> steps;
size_t nextStep = 0;

void CALLBACK stepTimer(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    if (nextStep < steps.size()) {
        steps[nextStep++]();
        return;
    }
    KillTimer(hwnd, id);
}

class MenuTrack : public cetest::DeviceTest {
protected:
    void SetUp() override {
        static bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = ownerProc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = u"MenuOwner";
            return RegisterClassW(&wc) != 0;
        }();
        ASSERT_TRUE(registered);
        owner = CreateWindowExW(0, u"MenuOwner", u"owner", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, owner);
        ownerSeen.clear();
        steps.clear();
        nextStep = 0;

        menu = CreatePopupMenu();
        sub = CreatePopupMenu();
        locked = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING, 101, u"&Open");
        AppendMenuW(menu, MF_STRING | MF_GRAYED, 103, u"Locked");
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, 102, u"Save\tCtrl+S");
        AppendMenuW(sub, MF_STRING, 201, u"Deep &entry");
        AppendMenuW(sub, MF_STRING | MF_CHECKED, 202, u"Deeper");
        AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), u"More");
        AppendMenuW(locked, MF_STRING, 301, u"Behind a grey door");
        AppendMenuW(menu, MF_POPUP | MF_GRAYED, reinterpret_cast<UINT_PTR>(locked), u"Closed");
    }
    void TearDown() override {
        DestroyMenu(menu);
        if (IsWindow(owner)) DestroyWindow(owner);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }

    void queue(const std::string& kind, const std::string& argument = "") {
        ASSERT_TRUE(ce::automation::queueAnswer(Answer{kind, argument}));
    }

    // Tracks the menu with the steps run by a 20 ms timer.
    BOOL track(UINT flags, int x = 10, int y = 20) {
        if (!steps.empty()) SetTimer(owner, 77, 20, stepTimer);
        BOOL r = TrackPopupMenuEx(menu, flags, x, y, owner, nullptr);
        KillTimer(owner, 77);
        return r;
    }

    static HWND popup() { return FindWindowW(u"MenuPopup", nullptr); }
    static std::vector<HWND> popups() {
        std::vector<HWND> out;
        EnumWindows(
            [](HWND h, LPARAM p) -> BOOL {
                char16_t name[32] = {};
                GetClassNameW(h, name, 32);
                if (std::u16string(name) == u"MenuPopup")
                    reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&out));
        return out;
    }

    static void key(BYTE vk) {
        keybd_event(vk, 0, 0, 0);
        keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
    }

    static void tap(int x, int y) {
        int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
        DWORD dx = static_cast<DWORD>((x * 65536 + sw - 1) / sw);
        DWORD dy = static_cast<DWORD>((y * 65536 + sh - 1) / sh);
        mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN, dx, dy, 0, 0);
        mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP, dx, dy, 0, 0);
    }

    // The centre of entry `index` of the topmost open pop-up (entries 20 pixels high at
    // 96 dpi, separators 7, below a 1-pixel border).
    static POINT entryCentre(HWND level, int index, const std::vector<int>& heights) {
        RECT r{};
        GetWindowRect(level, &r);
        int y = r.top + 1;
        for (int i = 0; i < index; ++i)
            y += heights[static_cast<size_t>(i)];
        return POINT{(r.left + r.right) / 2, y + heights[static_cast<size_t>(index)] / 2};
    }

    size_t commandsSeen(UINT id) const {
        size_t n = 0;
        for (const auto& m : ownerSeen)
            if (m.message == WM_COMMAND && LOWORD(m.wParam) == id) ++n;
        return n;
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
    HMENU menu = nullptr, sub = nullptr, locked = nullptr;
    const std::vector<int> topHeights{20, 20, 7, 20, 20, 20};
};

// TPM_RETURNCMD returns the command the queue names, without showing a window; the owner
// hears WM_INITMENUPOPUP for the menu first; nothing is posted.
TEST_F(MenuTrack, ReturnCmdGivesTheQueuedCommand) {
    queue("menu", "102");
    EXPECT_EQ(102, track(TPM_RETURNCMD));
    ASSERT_EQ(1u, ownerSeen.size());
    EXPECT_EQ(static_cast<UINT>(WM_INITMENUPOPUP), ownerSeen[0].message);
    EXPECT_EQ(reinterpret_cast<WPARAM>(menu), ownerSeen[0].wParam);
    EXPECT_EQ(nullptr, popup());
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, owner, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_TRUE(ce::automation::pendingAnswers().empty());
}

// "cancel" closes the menu with 0; an answer that names nothing choosable is refused, which
// closes the menu with 0 too and is journaled.
TEST_F(MenuTrack, CancelAndRefusedAnswersGiveZero) {
    queue("cancel");
    queue("menu", "999");
    queue("yes");
    EXPECT_EQ(0, track(TPM_RETURNCMD));
    EXPECT_EQ(0, track(TPM_RETURNCMD));
    EXPECT_EQ(0, track(TPM_RETURNCMD));
    auto refused = journal("menu.refused");
    ASSERT_EQ(2u, refused.size());
    EXPECT_NE(std::string::npos, refused[0].find("\"answer\":\"menu 999\"")) << refused[0];
    EXPECT_NE(std::string::npos, refused[1].find("\"answer\":\"yes\"")) << refused[1];
}

// Entries of submenus are found by command and by their text without '&', compared without
// regard to case; a number that is no command is taken as text.
TEST_F(MenuTrack, SubmenuEntryChosenByCommandAndByText) {
    queue("menu", "202");
    queue("menu", "DEEP ENTRY");
    queue("menu", "open");
    queue("menu", "save");
    EXPECT_EQ(202, track(TPM_RETURNCMD));
    EXPECT_EQ(201, track(TPM_RETURNCMD));
    EXPECT_EQ(101, track(TPM_RETURNCMD));
    EXPECT_EQ(102, track(TPM_RETURNCMD)); // the accelerator after the tab is not its text
}

// Greyed entries, and every entry of a greyed submenu, cannot be chosen by an answer.
TEST_F(MenuTrack, GreyedEntriesRefuseAnswers) {
    queue("menu", "103");
    queue("menu", "Locked");
    queue("menu", "301");
    EXPECT_EQ(0, track(TPM_RETURNCMD));
    EXPECT_EQ(0, track(TPM_RETURNCMD));
    EXPECT_EQ(0, track(TPM_RETURNCMD));
    EXPECT_EQ(3u, journal("menu.refused").size());
    EXPECT_EQ(0u, commandsSeen(103));
}

// Without TPM_RETURNCMD the choice is posted to the owner as WM_COMMAND (not sent while the
// call runs) and the call returns TRUE; a closed menu posts nothing and still succeeds.
TEST_F(MenuTrack, WmCommandPostedWithoutReturnCmd) {
    queue("menu", "101");
    EXPECT_EQ(TRUE, track(0));
    EXPECT_EQ(0u, commandsSeen(101));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, owner, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(101u, LOWORD(msg.wParam));
    EXPECT_EQ(0u, HIWORD(msg.wParam));
    EXPECT_EQ(0, msg.lParam);

    queue("cancel");
    EXPECT_EQ(TRUE, track(0));
    EXPECT_FALSE(PeekMessageW(&msg, owner, WM_COMMAND, WM_COMMAND, PM_REMOVE));
}

// Down skips the greyed entry and the separator; Enter chooses. Right opens a submenu at its
// first entry, Left closes it again, Escape closes the last level and then the menu.
TEST_F(MenuTrack, KeyboardChoosesAndCloses) {
    steps = {[] { key(VK_DOWN); }, [] { key(VK_DOWN); },
             [] {
                 EXPECT_NE(nullptr, popup());
                 key(VK_RETURN);
             }};
    EXPECT_EQ(102, track(TPM_RETURNCMD));
    EXPECT_EQ(nullptr, popup());

    steps = {[] { key(VK_UP); }, // from nothing, Up wraps to the last choosable entry: More
             [] { key(VK_RIGHT); }, [] { key(VK_DOWN); }, [] { key(VK_RETURN); }};
    nextStep = 0;
    EXPECT_EQ(202, track(TPM_RETURNCMD));

    steps = {[] { key(VK_UP); }, [] { key(VK_RETURN); }, // Enter on More opens it
             [] { key(VK_LEFT); }, [] { key(VK_ESCAPE); }};
    nextStep = 0;
    EXPECT_EQ(0, track(TPM_RETURNCMD));
    auto closed = journal("menu.closed");
    ASSERT_EQ(3u, closed.size());
    EXPECT_NE(std::string::npos, closed[0].find("\"chosen\":102")) << closed[0];
    EXPECT_NE(std::string::npos, closed[0].find("\"by\":\"user\"")) << closed[0];
    EXPECT_NE(std::string::npos, closed[2].find("\"chosen\":0")) << closed[2];
}

// A tap (pen down and up) on an entry chooses it; on a greyed entry or the separator it does
// nothing; on a submenu entry it opens the submenu, whose entries are then tapped.
TEST_F(MenuTrack, TapChoosesSkippingGreyedEntries) {
    std::vector<int> heights = topHeights;
    steps = {[&] {
                 POINT p = entryCentre(popup(), 1, heights); // Locked
                 tap(p.x, p.y);
             },
             [&] {
                 POINT p = entryCentre(popup(), 2, heights); // the separator
                 tap(p.x, p.y);
             },
             [&] {
                 EXPECT_NE(nullptr, popup());                // still open
                 POINT p = entryCentre(popup(), 4, heights); // More
                 tap(p.x, p.y);
             },
             [&] {
                 // Two levels now; the submenu is the one with two entries.
                 std::vector<HWND> levels = popups();
                 ASSERT_EQ(2u, levels.size());
                 HWND level = nullptr;
                 for (HWND h : levels) {
                     RECT r{};
                     GetWindowRect(h, &r);
                     if (r.bottom - r.top == 2 + 2 * 20) level = h;
                 }
                 ASSERT_NE(nullptr, level);
                 POINT p = entryCentre(level, 1, {20, 20}); // Deeper
                 tap(p.x, p.y);
             }};
    EXPECT_EQ(202, track(TPM_RETURNCMD));
    EXPECT_EQ(0u, commandsSeen(103));
}

// A tap outside the menu closes it with nothing chosen; without TPM_RETURNCMD nothing is
// posted.
TEST_F(MenuTrack, TapOutsideCloses) {
    steps = {[] { tap(200, 300); }};
    EXPECT_EQ(TRUE, track(0));
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, owner, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    auto closed = journal("menu.closed");
    ASSERT_EQ(1u, closed.size());
    EXPECT_NE(std::string::npos, closed[0].find("\"chosen\":0")) << closed[0];
}

// TPM_RIGHTALIGN | TPM_BOTTOMALIGN put the menu's bottom-right corner at the point; a menu
// that would leave the screen is moved back onto it.
TEST_F(MenuTrack, AlignmentAndScreenEdges) {
    RECT seen{};
    steps = {[&] {
        GetWindowRect(popup(), &seen);
        key(VK_ESCAPE);
    }};
    EXPECT_EQ(0, track(TPM_RETURNCMD | TPM_RIGHTALIGN | TPM_BOTTOMALIGN, 200, 250));
    EXPECT_EQ(200, seen.right);
    EXPECT_EQ(250, seen.bottom);
    EXPECT_EQ(2 + 20 * 5 + 7, seen.bottom - seen.top);

    nextStep = 0;
    EXPECT_EQ(0, track(TPM_RETURNCMD, 235, 315));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), seen.right);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), seen.bottom);

    nextStep = 0;
    EXPECT_EQ(0, track(TPM_RETURNCMD | TPM_CENTERALIGN | TPM_VCENTERALIGN, 120, 160));
    EXPECT_LE(std::abs((seen.left + seen.right) / 2 - 120), 1);
    EXPECT_LE(std::abs((seen.top + seen.bottom) / 2 - 160), 1);
}

// The journal names the entries, nested, with their states, and who chose what.
TEST_F(MenuTrack, JournalDescribesTheMenu) {
    queue("menu", "Deeper");
    EXPECT_EQ(202, track(TPM_RETURNCMD));
    auto shown = journal("menu.shown");
    ASSERT_EQ(1u, shown.size());
    EXPECT_NE(std::string::npos,
              shown[0].find("101 \\\"Open\\\", 103 \\\"Locked\\\" grayed, -, 102 \\\"Save\\\", "
                            "popup \\\"More\\\" {201 \\\"Deep entry\\\", 202 \\\"Deeper\\\" "
                            "checked}, popup \\\"Closed\\\" grayed {301"))
        << shown[0];
    auto closed = journal("menu.closed");
    ASSERT_EQ(1u, closed.size());
    EXPECT_NE(std::string::npos, closed[0].find("\"chosen\":202")) << closed[0];
    EXPECT_NE(std::string::npos, closed[0].find("\"text\":\"Deeper\"")) << closed[0];
    EXPECT_NE(std::string::npos, closed[0].find("\"by\":\"automation\"")) << closed[0];
}

// Bad arguments fail with the documented errors, and a menu cannot be tracked from inside
// another one on the same thread.
TEST_F(MenuTrack, BadArgumentsFail) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(
        TrackPopupMenuEx(reinterpret_cast<HMENU>(0x1234), TPM_RETURNCMD, 0, 0, owner, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE), GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(TrackPopupMenuEx(menu, TPM_RETURNCMD, 0, 0, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());

    BOOL inner = 0xdeadbeef;
    HMENU m = menu;
    HWND o = owner;
    steps = {[&] {
        inner = TrackPopupMenuEx(m, TPM_RETURNCMD, 0, 0, o, nullptr);
        key(VK_ESCAPE);
    }};
    EXPECT_EQ(0, track(TPM_RETURNCMD));
    EXPECT_EQ(FALSE, inner);
}

} // namespace
