// reload_test.cpp: start-up and the reload of the list: Startup waiting for the API sets and
// running at the first timer tick with startupDelay 0, a burst of database notices giving one
// scan 5 s after the last, a forced reload scanning at once, and the scan's list reaching the
// window (the height flag set, the list readable under its lock, the diagnostic file written).
#include <notify.h>
#include <windbase.h>

#include <chrono>
#include <thread>

#include "itemhost.h"
#include "kernel/clock.h"
#include "kernel/device.h"
#include "listdump.h"
#include "startup.h"
#include "zvwindows.h"

using namespace itemtest;

namespace {

class ItemReload : public ItemHost {
protected:
    void SetUp() override {
        ItemHost::SetUp();
        for (unsigned api : {SH_GDI, SH_WMGR, SH_SHELL})
            ce::setApiReady(api, true);
    }
    // A timed notification of some program at a local time of the frozen day.
    DWORD addNotification(WORD hour, WORD minute, const char16_t* app, const char16_t* args) {
        CE_NOTIFICATION_TRIGGER trigger = {};
        trigger.dwSize = sizeof trigger;
        trigger.dwType = CNT_TIME;
        trigger.lpszApplication = const_cast<WCHAR*>(app);
        trigger.lpszArguments = const_cast<WCHAR*>(args);
        trigger.stStartTime = {2027, 3, 1, 1, hour, minute, 0, 0};
        return HandleToULong(CeSetUserNotificationEx(nullptr, &trigger, nullptr));
    }
    // Waits (real time) until the scan thread has ended.
    bool waitForScan(int ms = 10000) {
        for (int i = 0; i < ms / 10; ++i) {
            if (!scanRunning() && logCount("end GetAlarmThread") > scansSeen) {
                scansSeen = logCount("end GetAlarmThread");
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    int scansSeen = 0;
};

// With startupDelay 0, Startup runs at the first tick; it scans at once, and the list (two
// notifications of the day) reaches the window with the height flag set.
TEST_F(ItemReload, StartupScansAndHandsOverTheList) {
    setRegDword(u"startupDelay", 0);
    setRegDword(u"maxAlarms", 10);
    setRegDword(u"flagShowAlarms", 0x3FFFC);
    DWORD first = addNotification(9, 30, u"\\Program Files\\Backup\\backup.exe", u"-daily");
    DWORD second = addNotification(11, 0, u"\\Program Files\\Sync\\sync.exe", u"");
    ASSERT_NE(0u, first);
    ASSERT_NE(0u, second);
    HWND window = initialize();
    ASSERT_NE(nullptr, window);
    pump();
    EXPECT_EQ(1, logCount("*** Starting.... v3.01 (Build 175), dup:0 ***"));
    EXPECT_EQ(1, logCount("end Startup"));
    EXPECT_TRUE(IsWindowVisible(window));
    ASSERT_TRUE(waitForScan());
    EXPECT_TRUE(pluginState.heightChanged);
    lockAlarmList();
    ASSERT_EQ(2, alarmCount);
    EXPECT_EQ(first, alarmList->items[0].handle);
    EXPECT_EQ(static_cast<DWORD>(KIND_APP), alarmList->items[0].kind);
    EXPECT_EQ(9, alarmList->items[0].alarmTime.wHour);
    EXPECT_EQ(second, alarmList->items[1].handle);
    unlockAlarmList();

    // The diagnostic writes what the window shows.
    EXPECT_EQ(TRUE, SendMessageW(window, listDumpMessage, 0, 0));
    std::ifstream in(device.fs() / "Temp" / "ZolvaneList.txt");
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ("3\t2027-03-01T09:30:00.000\t2027-03-01T09:30:00.000\t" + std::to_string(first) +
                  "\t0\t0\tbackup -daily",
              line);
}

// Ten database notices within 4 s give one scan, 5 s after the last of them.
TEST_F(ItemReload, BurstOfNoticesGivesOneScan) {
    setRegDword(u"startupDelay", 10);
    HWND window = initialize();
    ASSERT_NE(nullptr, window);
    advanceMs(10'000); // Startup and its own forced scan
    ASSERT_TRUE(waitForScan());
    int starts = logCount("reloadAlarms: Start");
    for (int i = 0; i < 10; ++i) {
        CENOTIFICATION* notice =
            static_cast<CENOTIFICATION*>(LocalAlloc(LPTR, sizeof(CENOTIFICATION)));
        notice->dwSize = sizeof(CENOTIFICATION);
        notice->uType = DB_CEOID_CHANGED;
        PostMessageW(window, WM_DBNOTIFICATION, 0, reinterpret_cast<LPARAM>(notice));
        pump();
        advanceMs(400);
    }
    EXPECT_EQ(10, logCount("reloadAlarms: No force"));
    advanceMs(4'999 - 400);
    EXPECT_EQ(starts, logCount("reloadAlarms: Start")) << "the debounce ended early";
    advanceMs(1);
    EXPECT_EQ(starts + 1, logCount("reloadAlarms: Start"));
    EXPECT_TRUE(waitForScan());
    advanceMs(10'000);
    EXPECT_EQ(starts + 1, logCount("reloadAlarms: Start")) << "a second scan followed";
    // Each forced scan also schedules the choice of the next sound, 5 s later.
    EXPECT_FALSE(windowTimerRunning(TIMER_NEXTSOUND));
}

// Startup waits for the graphics and shell API sets.
TEST_F(ItemReload, StartupWaitsForTheApiSets) {
    ce::setApiReady(SH_SHELL, false);
    setRegDword(u"startupDelay", 0);
    HWND window = initialize();
    ASSERT_NE(nullptr, window);
    std::thread ready([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ce::setApiReady(SH_SHELL, true);
        // Startup sleeps between its tests, on the device clock, which the test holds still.
        ce::advanceDeviceClock(100 * ce::kFileTimePerMs);
    });
    auto start = std::chrono::steady_clock::now();
    pump();
    auto waited = std::chrono::steady_clock::now() - start;
    ready.join();
    EXPECT_EQ(1, logCount("end Startup"));
    EXPECT_GE(waited, std::chrono::milliseconds(250));
    EXPECT_TRUE(waitForScan());
}

} // namespace
