// menu_tap_test.cpp: a pop-up menu chosen by real input on the device's display: `cedev tap`
// on an entry goes through the X server to this process's menu window, with nothing queued.
#include <thread>

#include "testdisplay.h"
#include "user/driver.h"
#include "windows.h"

namespace {

std::thread tapper;
POINT target{-1, -1};

void CALLBACK tapTimer(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hwnd, id);
    HWND popup = FindWindowW(u"MenuPopup", nullptr);
    if (!popup) return;
    RECT r{};
    GetWindowRect(popup, &r);
    // The second entry: entries are 20 pixels high at 96 dpi, below a 1-pixel border.
    target = POINT{(r.left + r.right) / 2, r.top + 1 + 20 + 10};
    tapper = std::thread([p = target] {
        cetest::runCedev({"tap", std::to_string(p.x), std::to_string(p.y)});
    });
}

class MenuTap : public cetest::DisplayTest {
protected:
    void SetUp() override {
        cetest::DisplayTest::SetUp();
        if (HasFatalFailure() || IsSkipped()) return;
        ce::user::setDriverForTesting(ce::user::makeX11Driver());
        ASSERT_STREQ("x11", ce::user::activeDriver().name());
    }
    void TearDown() override {
        if (tapper.joinable()) tapper.join();
        if (owner && IsWindow(owner)) DestroyWindow(owner);
        ce::user::setDriverForTesting(nullptr);
    }
    HWND owner = nullptr;
};

// `cedev tap` on the second entry chooses it: TrackPopupMenuEx returns its command.
TEST_F(MenuTap, CedevTapOnAnEntryChoosesIt) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = u"MenuTapOwner";
    RegisterClassW(&wc);
    owner = CreateWindowExW(0, u"MenuTapOwner", u"owner", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                            nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, owner);
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 11, u"First");
    AppendMenuW(menu, MF_STRING, 12, u"Second");
    AppendMenuW(menu, MF_STRING, 13, u"Third");
    SetTimer(owner, 1, 100, tapTimer);
    // Should the tap never arrive, Escape ends the menu rather than the test hanging.
    SetTimer(owner, 2, 10000, [](HWND h, UINT, UINT_PTR id, DWORD) {
        KillTimer(h, id);
        keybd_event(VK_ESCAPE, 0, 0, 0);
        keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
    });
    BOOL chosen = TrackPopupMenuEx(menu, TPM_RETURNCMD, 30, 40, owner, nullptr);
    KillTimer(owner, 2);
    if (tapper.joinable()) tapper.join();
    DestroyMenu(menu);
    EXPECT_GT(target.x, 0) << "the menu window was not found";
    EXPECT_EQ(12, chosen) << "tapped at " << target.x << "," << target.y;
}

} // namespace
