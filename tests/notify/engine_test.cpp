// engine_test.cpp: the notification engine in the running shell, end to end: a timed
// notification starts its program with its command line at rate 60, a missed one fires when
// the shell starts, a time change starts the programs registered for it, and a reminder shows
// its state values and shell notification until cedev dismisses or snoozes it. Also cedev's
// notify lines.
#include <windows.h>

#include <aygshell.h>
#include <notify.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "display/x11display.h"
#include "kernel/clock.h"
#include "kernel/stub.h"
#include "notify/notifystore.h"
#include "testdevice.h"

namespace {

using namespace std::chrono_literals;

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::u16string utf16File(const std::filesystem::path& p) {
    std::string bytes = readFile(p);
    std::u16string out(bytes.size() / 2, u'\0');
    if (!out.empty()) memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

SYSTEMTIME localAt(int64_t utc) {
    // The test devices run in UTC: local time is UTC.
    FILETIME ft = ce::intToFileTime(utc);
    SYSTEMTIME st{};
    FileTimeToSystemTime(&ft, &st);
    return st;
}

class EngineTest : public ::testing::Test {
protected:
    EngineTest() {
        EXPECT_EQ(DWORD(ERROR_SUCCESS), ce::writeProgramStub(u"\\Windows\\echo.exe", "test_echo"));
    }
    ~EngineTest() override { stop(); }

    bool start() {
        std::string out, err;
        int rc = cetest::runCedev({"shell", "start", "--headless"}, &out, &err);
        EXPECT_EQ(0, rc) << err;
        record = ce::display::parseDisplayRecord(out);
        return rc == 0 && record;
    }
    void stop() {
        if (!record) return;
        std::string out, err;
        EXPECT_EQ(0, cetest::runCedev({"shell", "stop"}, &out, &err)) << err;
        ce::display::endRecordedProcess(record->desktopPid, "ceshell", 500);
        ce::display::endRecordedProcess(record->xvfbPid, "Xvfb", 500);
        record.reset();
    }
    std::filesystem::path echoOut() const { return device.fs() / "Temp" / "echo.out"; }
    // Waits (real time) for the echo program's output.
    bool waitForEcho(std::chrono::milliseconds limit = 10s) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (std::filesystem::exists(echoOut()) &&
                std::filesystem::exists(device.fs() / "Temp" / "echo.info"))
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    HANDLE timedEcho(int64_t utc, const char16_t* args, CE_USER_NOTIFICATION* user = nullptr) {
        CE_NOTIFICATION_TRIGGER t{};
        t.dwSize = sizeof t;
        t.dwType = CNT_TIME;
        t.lpszApplication = const_cast<WCHAR*>(u"\\Windows\\echo.exe");
        t.lpszArguments = const_cast<WCHAR*>(args);
        t.stStartTime = localAt(utc);
        return CeSetUserNotificationEx(nullptr, &t, user);
    }
    DWORD stateValue(HKEY root, const char16_t* key, const char16_t* name) {
        HKEY k;
        DWORD v = 0xdeadbeef, size = sizeof v;
        if (RegOpenKeyExW(root, key, 0, 0, &k) != ERROR_SUCCESS) return 0xdeadbeef;
        RegQueryValueExW(k, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size);
        RegCloseKey(k);
        return v;
    }
    template <class Pred>
    bool eventually(Pred pred, std::chrono::milliseconds limit = 10s) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (pred()) return true;
            std::this_thread::sleep_for(20ms);
        }
        return pred();
    }

    cetest::TempDevice device;
    std::optional<ce::display::DisplayRecord> record;
};

// At 60 times real speed a notification one device minute ahead fires about a second later,
// and the program gets the arguments as its whole command line, unchanged.
TEST_F(EngineTest, TimedNotificationStartsProgramWithCommandLineUnchangedAtRate60) {
    device.freezeAt("2027-03-28T00:30:00Z");
    ASSERT_TRUE(start());
    ASSERT_TRUE(ce::setDeviceClockRate(60));
    const char16_t* args = u"-zC \"quoted words\"  \u00e9\u6f22 tab\there";
    HANDLE h = timedEcho(ce::deviceUtcNow() + ce::kFileTimePerMinute, args);
    ASSERT_NE(nullptr, h);
    ASSERT_TRUE(waitForEcho(15s));
    EXPECT_EQ(std::u16string(args), utf16File(echoOut()));
    // Fired means forgotten: the notification is gone.
    DWORD count = 0xdeadbeef;
    EXPECT_TRUE(
        eventually([&] { return CeGetUserNotificationHandles(nullptr, 0, &count) && count == 0; }));
    EXPECT_EQ(0u, count);
}

// A notification that fell due while no shell ran fires when the shell starts.
TEST_F(EngineTest, MissedNotificationFiresAtShellStart) {
    device.freezeAt("2027-03-28T00:30:00Z");
    int64_t now = ce::deviceUtcNow();
    ASSERT_NE(nullptr, timedEcho(now + 60 * ce::kFileTimePerMinute, u"missed"));
    ASSERT_TRUE(ce::advanceDeviceClock(120 * ce::kFileTimePerMinute));
    EXPECT_FALSE(std::filesystem::exists(echoOut()));
    ASSERT_TRUE(start());
    ASSERT_TRUE(waitForEcho());
    EXPECT_EQ(std::u16string(u"missed"), utf16File(echoOut()));
}

// Setting the clock is a time change: the registered program starts with
// "AppRunAfterTimeChange". Advancing the clock is time passing, not a change.
TEST_F(EngineTest, TimeChangeStartsRegisteredProgram) {
    device.freezeAt("2027-03-28T00:30:00Z");
    WCHAR app[] = u"\\Windows\\echo.exe";
    ASSERT_TRUE(CeRunAppAtEvent(app, NOTIFICATION_EVENT_TIME_CHANGE));
    ASSERT_TRUE(start());
    ASSERT_TRUE(ce::advanceDeviceClock(10 * ce::kFileTimePerMinute));
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(std::filesystem::exists(echoOut())) << "an advance started the program";
    std::string out, err;
    ASSERT_EQ(0, cetest::runCedev({"time", "set", "2027-06-01T12:00:00"}, &out, &err)) << err;
    ASSERT_TRUE(waitForEcho());
    EXPECT_EQ(std::u16string(u"AppRunAfterTimeChange"), utf16File(echoOut()));
    // An event notification stays registered.
    DWORD count = 0;
    EXPECT_TRUE(CeGetUserNotificationHandles(nullptr, 0, &count));
    EXPECT_EQ(1u, count);
}

// A reminder stays until dismissed; while it is up the state values (both roots), the
// shell notification of the reminder class and its status say so. Snooze moves its queue
// time five minutes on and takes it off the screen; dismiss removes it.
TEST_F(EngineTest, ReminderStateFollowsSnoozeAndDismiss) {
    device.freezeAt("2027-03-28T00:30:00Z");
    // The shell first (its calnot.exe removes calendar reminders that no appointment owns,
    // as this one is), then the reminder, already due.
    ASSERT_TRUE(start());
    CE_USER_NOTIFICATION u{};
    u.ActionFlags = PUN_DIALOG | PUN_SOUND;
    u.pwszDialogTitle = const_cast<WCHAR*>(u"POOM: 9");
    u.pwszDialogText = const_cast<WCHAR*>(u"Dentist");
    u.pwszSound = const_cast<WCHAR*>(u"alarm1.wav");
    int64_t due = ce::deviceUtcNow() - ce::kFileTimePerMinute; // already passed: at once
    CE_NOTIFICATION_TRIGGER t{};
    t.dwSize = sizeof t;
    t.dwType = CNT_TIME;
    t.lpszApplication = const_cast<WCHAR*>(u"calendar.exe");
    t.lpszArguments = const_cast<WCHAR*>(u"POOM: 9");
    t.stStartTime = localAt(due);
    HANDLE h = CeSetUserNotificationEx(nullptr, &t, &u);
    ASSERT_NE(nullptr, h);
    const char16_t* reminders = u"System\\State\\Shell\\Reminders";
    ASSERT_TRUE(
        eventually([&] { return stateValue(HKEY_CURRENT_USER, reminders, u"Active") == 1; }));
    EXPECT_EQ(1u, stateValue(HKEY_LOCAL_MACHINE, reminders, u"Active"));
    EXPECT_EQ(1u, stateValue(HKEY_LOCAL_MACHINE, u"System\\State\\Reminder\\Count", u"APPT"));
    // The engine writes the values one after the other.
    EXPECT_TRUE(eventually(
        [&] { return stateValue(HKEY_CURRENT_USER, u"System\\State\\Shell", u"Notify") != 0; }));
    const CLSID reminderClass = {
        0x15F11F90, 0x8A5F, 0x454C, {0x89, 0xFC, 0xBA, 0x9B, 0x7A, 0xAB, 0x0C, 0xAD}};
    SHNOTIFICATIONDATA d{};
    d.cbStruct = 88;
    ASSERT_EQ(ERROR_SUCCESS, SHNotificationGetData(&reminderClass, 0xF000, &d));
    EXPECT_EQ(std::u16string(u"POOM: 9"), std::u16string(d.pszTitle));
    EXPECT_EQ(std::u16string(u"Dentist"), std::u16string(d.pszHTML));
    LocalFree(const_cast<WCHAR*>(d.pszTitle));
    LocalFree(const_cast<WCHAR*>(d.pszHTML));
    ce::notify::Notification n;
    ASSERT_EQ(DWORD(ERROR_SUCCESS), ce::notify::getNotification(HandleToULong(h), &n));
    EXPECT_EQ(DWORD(CNS_SIGNALLED), n.status);

    std::string out, err;
    ASSERT_EQ(0, cetest::runCedev({"reminder", "snooze"}, &out, &err)) << err;
    ASSERT_TRUE(
        eventually([&] { return stateValue(HKEY_CURRENT_USER, reminders, u"Active") == 0; }));
    ASSERT_EQ(DWORD(ERROR_SUCCESS), ce::notify::getNotification(HandleToULong(h), &n));
    EXPECT_EQ(0u, n.status);
    EXPECT_EQ(ce::deviceUtcNow() + 5 * ce::kFileTimePerMinute, *n.queueUtc);
    EXPECT_EQ(due / ce::kFileTimePerSecond, *n.startUtc / ce::kFileTimePerSecond);
    EXPECT_EQ(LRESULT(ERROR_NOT_FOUND), SHNotificationGetData(&reminderClass, 0xF000, &d));

    // Five minutes on it is back, and a dismiss removes it for good.
    ASSERT_TRUE(ce::advanceDeviceClock(5 * ce::kFileTimePerMinute));
    ASSERT_TRUE(
        eventually([&] { return stateValue(HKEY_CURRENT_USER, reminders, u"Active") == 1; }));
    ASSERT_EQ(
        0, cetest::runCedev({"reminder", "dismiss", std::to_string(HandleToULong(h))}, &out, &err))
        << err;
    ASSERT_TRUE(
        eventually([&] { return stateValue(HKEY_LOCAL_MACHINE, reminders, u"Active") == 0; }));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), ce::notify::getNotification(HandleToULong(h), &n));
}

// cedev notify: add prints the handle alone on its last line; list prints one escaped line
// per notification in handle order; clear removes it.
TEST_F(EngineTest, CedevNotifyAddListClear) {
    device.freezeAt("2027-03-28T00:30:00Z");
    std::string out, err;
    ASSERT_EQ(0, cetest::runCedev({"notify", "add", "--time", "2027-03-28T09:00", "--app",
                                   "\\Windows\\a.exe", "--args", "x\ty\\z", "--title", "T",
                                   "--text", "l1\r\nl2"},
                                  &out, &err))
        << err;
    std::string handle = out.substr(0, out.find('\n'));
    ASSERT_EQ(0, cetest::runCedev({"notify", "add", "--event", "11", "--app", "\\Windows\\w.exe"},
                                  &out, &err))
        << err;
    std::string eventHandle = out.substr(0, out.find('\n'));
    ASSERT_EQ(0, cetest::runCedev({"notify", "list"}, &out, &err)) << err;
    EXPECT_EQ(eventHandle + "\t1\t11\t-\t-\t\\\\Windows\\\\w.exe\t\t\t\n" + handle +
                  "\t2\t0\t2027-03-28T09:00:00\t2027-03-28T09:00:00\t\\\\Windows\\\\a.exe\t"
                  "x\\ty\\\\z\tT\tl1\\r\\nl2\n",
              out);
    ASSERT_EQ(0, cetest::runCedev({"notify", "clear", handle}, &out, &err)) << err;
    EXPECT_NE(0, cetest::runCedev({"notify", "clear", handle}, &out, &err));
    ASSERT_EQ(0, cetest::runCedev({"notify", "list"}, &out, &err));
    EXPECT_EQ(std::string::npos, out.find("a.exe"));
}

} // namespace
