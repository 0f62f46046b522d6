// entry_test.cpp: the item's entry points as the Today screen uses them: the window made once
// and published, a disabled item, the start-up delay, the width on both screen densities, the
// tear-down that unpublishes the window and tells zvHost, and the options request.
#include <unistd.h>

#include "itemhost.h"

#include "kernel/journal.h"
#include "kernel/stub.h"
#include "zvwindows.h"

using namespace itemtest;

namespace {

#define VAL_APPWINDOW    u"appWindow"
#define VAL_STARTUPDELAY u"startupDelay"

int childItemWindows(HWND parent) {
    int n = 0;
    for (HWND w = GetWindow(parent, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        WCHAR cls[64] = {};
        GetClassNameW(w, cls, 64);
        if (lstrcmpW(cls, ZV_CLASS_PLUGIN) == 0) ++n;
    }
    return n;
}

class ItemEntry : public ItemHost {};

// The first call makes a visible child of the Today window, 0 pixels high, and publishes it in
// appWindow; a second call changes nothing and says so in the log.
TEST_F(ItemEntry, SecondInitializeReturnsTheSameWindow) {
    HWND first = initialize();
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(today, GetParent(first));
    EXPECT_EQ(static_cast<LONG>(WS_CHILD | WS_VISIBLE),
              GetWindowLongW(first, GWL_STYLE) & (WS_CHILD | WS_VISIBLE));
    RECT r;
    GetWindowRect(first, &r);
    EXPECT_EQ(0, r.bottom - r.top);
    WCHAR title[32] = {};
    GetWindowTextW(first, title, 32);
    EXPECT_EQ(std::u16string(u"Zolvane"), std::u16string(title));
    DWORD published = 0xdeadbeef;
    ASSERT_TRUE(regDword(VAL_APPWINDOW, &published));
    EXPECT_EQ(HandleToULong(first), published);
    EXPECT_EQ(0, logCount("InitializeCustomItem: Not first time"));

    HWND second = initialize();
    EXPECT_EQ(first, second);
    EXPECT_EQ(1, childItemWindows(today));
    EXPECT_EQ(1, logCount("InitializeCustomItem: Not first time"));
}

// A disabled item (or no record at all) gets no window, no class use and no appWindow.
TEST_F(ItemEntry, DisabledItemMakesNothing) {
    deleteReg(VAL_APPWINDOW);
    item.fEnabled = FALSE;
    EXPECT_EQ(nullptr, initialize());
    EXPECT_EQ(nullptr, InitializeCustomItem(nullptr, today));
    EXPECT_EQ(0, childItemWindows(today));
    EXPECT_EQ(nullptr, pluginState.pluginWindow);
    DWORD published = 0xdeadbeef;
    EXPECT_FALSE(regDword(VAL_APPWINDOW, &published));
}

// startupDelay 0 starts the start-up timer with period 0 (due at once); values outside 0..10,
// such as 11, and a missing value mean 1 second; others are taken as they are.
TEST_F(ItemEntry, StartupDelayChoosesTheTimerPeriod) {
    struct Case {
        LONG stored; // -1: no value
        int64_t dueMs;
    } cases[] = {{0, 0}, {11, 1000}, {-1, 1000}, {4, 4000}, {10, 10000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        if (c.stored < 0)
            deleteReg(VAL_STARTUPDELAY);
        else
            setRegDword(VAL_STARTUPDELAY, static_cast<DWORD>(c.stored));
        HWND window = initialize();
        ASSERT_NE(nullptr, window);
        if (c.dueMs > 0) {
            EXPECT_TRUE(windowTimerRunning(TIMER_STARTUP));
            advanceMs(c.dueMs - 1);
            EXPECT_TRUE(windowTimerRunning(TIMER_STARTUP)) << "fired early";
            advanceMs(1);
        } else {
            pump();
        }
        EXPECT_FALSE(windowTimerRunning(TIMER_STARTUP)) << "did not fire";
        DestroyWindow(window);
    }
}

// The item is 240 logical pixels wide: 240 at 96 dpi.
TEST_F(ItemEntry, WidthAt96Dpi) {
    HWND window = initialize();
    ASSERT_NE(nullptr, window);
    RECT r;
    GetClientRect(window, &r);
    EXPECT_EQ(240, r.right);
}

class ItemEntryVga : public ItemHost {
protected:
    ItemEntryVga() : ItemHost("vga") {}
};

// ... and 480 at 192 dpi.
TEST_F(ItemEntryVga, WidthAt192Dpi) {
    HWND window = initialize();
    ASSERT_NE(nullptr, window);
    RECT r;
    GetClientRect(window, &r);
    EXPECT_EQ(480, r.right);
}

// Destroying the window unpublishes it, tells a running zvHost (posted 0x8230 with 1, 0) and
// forgets the window, so that the next InitializeCustomItem makes a new one instead of handing
// out a dead handle.
TEST_F(ItemEntry, TearDownUnpublishesAndTellsTheHost) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == MSG_PLUGIN_GONE) received().push_back({w, m, wp, lp});
        return DefWindowProcW(w, m, wp, lp);
    };
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = ZV_CLASS_HOST;
    RegisterClassW(&wc);
    HWND host = CreateWindowExW(0, ZV_CLASS_HOST, u"host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, host);

    HWND window = initialize();
    ASSERT_NE(nullptr, window);
    received().clear();
    EXPECT_TRUE(DestroyWindow(window));
    DWORD published = 0xdeadbeef;
    EXPECT_FALSE(regDword(VAL_APPWINDOW, &published));
    EXPECT_EQ(nullptr, pluginState.pluginWindow);
    EXPECT_FALSE(pluginState.active);
    EXPECT_EQ(1, logCount("cleanupResources"));
    pump();
    ASSERT_EQ(1u, received().size());
    EXPECT_EQ(host, received()[0].window);
    EXPECT_EQ(1u, received()[0].wParam);
    EXPECT_EQ(0, received()[0].lParam);

    HWND again = initialize();
    ASSERT_NE(nullptr, again);
    EXPECT_TRUE(IsWindow(again));
    EXPECT_EQ(0, logCount("InitializeCustomItem: Not first time"));
    ASSERT_TRUE(regDword(VAL_APPWINDOW, &published));
    EXPECT_EQ(HandleToULong(again), published);
    DestroyWindow(host);
}

// The options request saves the settings, starts zvSettings from the installation folder with
// an empty command line, and closes the dialog by posting WM_CLOSE; other messages go to the
// default procedure.
TEST_F(ItemEntry, OptionsStartTheSettingsProgram) {
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              ce::writeProgramStub(u"\\Program Files\\Zolvane\\zvSettings.exe", "test_echo"));
    ASSERT_NE(nullptr, initialize());
    getSettings().maxAlarms = 13;
    received().clear();
    EXPECT_EQ(TRUE, CustomItemOptionsDlgProc(today, WM_INITDIALOG, 0, 0));
    DWORD saved = 0;
    ASSERT_TRUE(regDword(u"maxAlarms", &saved));
    EXPECT_EQ(13u, saved);
    pump();
    ASSERT_FALSE(received().empty());
    EXPECT_EQ(static_cast<UINT>(WM_CLOSE), received().back().message);

    // The new program journals its own start; give it a few seconds of real time.
    std::string started;
    for (int i = 0; i < 300 && started.empty(); ++i) {
        std::ifstream journal(device.dir() / "journal.log");
        std::string line;
        while (std::getline(journal, line))
            if (line.find("zvSettings.exe") != std::string::npos) started = line;
        if (started.empty()) usleep(10'000);
    }
    EXPECT_NE(std::string::npos, started.find("zvSettings.exe")) << "no start in the journal";
    EXPECT_EQ(0, logCount("** CustomItemOptionsDlgProc"));

    EXPECT_EQ(0, CustomItemOptionsDlgProc(today, WM_USER + 77, 0, 0));
}

// Without the settings program the failure is logged, and the dialog still closes.
TEST_F(ItemEntry, OptionsWithoutSettingsProgramLogs) {
    ASSERT_NE(nullptr, initialize());
    received().clear();
    EXPECT_EQ(TRUE, CustomItemOptionsDlgProc(today, WM_INITDIALOG, 0, 0));
    EXPECT_EQ(1, logCount("** CustomItemOptionsDlgProc: cannot start"));
    pump();
    ASSERT_FALSE(received().empty());
    EXPECT_EQ(static_cast<UINT>(WM_CLOSE), received().back().message);
}

} // namespace
