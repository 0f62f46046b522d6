// scan_walk_test.cpp: getAlarms over real notifications of a temporary device: the order and
// kinds of the list, the look-ahead window and maxAlarms, past notifications and wake-up
// events, the clock duplicates, hideRepeats, the quiet-mode end, a snoozed calendar reminder
// read from the queue database, the task-hour move and the second reminder of one task (both
// give -1 and a clean list at the next scan), calendar reminders completed from Outlook (also
// from a thread that has not entered COM), and the scan's log lines.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/timezone.h"
#include "notify/notifystore.h"
#include "testdevice.h"
#include "windows.h"

#include "alarmlist.h"
#include "notifyqueue.h"
#include "log.h"
#include "outlook.h"
#include "regnames.h"
#include "regutil.h"
#include "scan.h"
#include "settings.h"

namespace {

#define SECT u"\u00A7"

// Local times in March 2027 (Berlin, UTC+1); the device stands at Monday 1 March, 08:30.
SYSTEMTIME local(WORD day, WORD hour, WORD minute) {
    SYSTEMTIME t = {};
    t.wYear = 2027;
    t.wMonth = 3;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    return t;
}

HANDLE setNotification(DWORD type, DWORD event, const char16_t* app, const char16_t* args,
                       const SYSTEMTIME* when, const char16_t* title, const char16_t* text) {
    std::u16string a = app, g = args ? args : u"", ti = title ? title : u"", te = text ? text : u"";
    CE_NOTIFICATION_TRIGGER t = {};
    t.dwSize = sizeof t;
    t.dwType = type;
    t.dwEvent = event;
    t.lpszApplication = a.data();
    t.lpszArguments = args ? g.data() : nullptr;
    if (when) t.stStartTime = *when;
    CE_USER_NOTIFICATION u = {};
    u.ActionFlags = PUN_DIALOG;
    u.pwszDialogTitle = ti.data();
    u.pwszDialogText = te.data();
    HANDLE h = CeSetUserNotificationEx(nullptr, &t, title || text ? &u : nullptr);
    EXPECT_NE(nullptr, h) << "error " << GetLastError();
    return h;
}

HANDLE addTimed(const char16_t* app, const char16_t* args, SYSTEMTIME when,
                const char16_t* title = nullptr, const char16_t* text = nullptr) {
    return setNotification(CNT_TIME, 0, app, args, &when, title, text);
}

HANDLE addEvent(const char16_t* app, const char16_t* args, DWORD event,
                const SYSTEMTIME* when = nullptr) {
    return setNotification(CNT_EVENT, event, app, args, when, nullptr, nullptr);
}

bool exists(HANDLE h) {
    DWORD size = 0;
    CeGetUserNotification(h, 0, &size, nullptr);
    return size != 0;
}

std::vector<HANDLE> allHandles() {
    DWORD n = 0;
    CeGetUserNotificationHandles(nullptr, 0, &n);
    std::vector<HANDLE> hs(n + 4);
    CeGetUserNotificationHandles(hs.data(), static_cast<DWORD>(hs.size()), &n);
    hs.resize(n);
    return hs;
}

class ScanWalk : public cetest::DeviceTest {
protected:
    void SetUp() override {
        device.freezeAt("2027-03-01T07:30:00Z");
        ASSERT_TRUE(ce::setDeviceZone("Europe/Berlin"));
        getSettings() = PluginSettings{};
        currentView = 0;
        viewMask = 0;
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    }
    void TearDown() override {
        deleteAlarmList(list);
        if (notifyQueueDb != INVALID_HANDLE_VALUE) CloseHandle(notifyQueueDb);
        notifyQueueDb = INVALID_HANDLE_VALUE;
        if (mounted) CeUnmountDBVol(&volume);
        closeOutlook();
    }

    // The queue database as start-up opens it.
    void openQueue() {
        WCHAR vol[] = u"\\mxip_notify.vol";
        ASSERT_TRUE(CeMountDBVol(&volume, vol, OPEN_EXISTING));
        mounted = true;
        CEOID oid = 0;
        WCHAR name[] = u"DB_notify_queue";
        notifyQueueDb = CeOpenDatabaseEx(&volume, &oid, name, 0, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, notifyQueueDb);
    }

    LONG scan(LONG maxAlarms = 20, LONG mask = MASK_ALL | (1 << KIND_COMPANION)) {
        deleteAlarmList(list);
        list = createAlarmList();
        return getAlarms(list, maxAlarms, mask);
    }

    const AlarmItem& at(int i) { return list->items[i]; }
    std::u16string text(int i) { return at(i).text ? at(i).text : u"(none)"; }

    AlarmList* list = nullptr;
    CEGUID volume = {};
    bool mounted = false;
};

// Events first, then the timed notifications in time order, each with its kind, handle, time
// and text; the event time defaults to the alarm time.
TEST_F(ScanWalk, OrderKindsAndTexts) {
    openQueue();
    HANDLE task = addTimed(u"tasks.exe", u"POOM: 900001", local(1, 11, 0), u"POOM: 900001",
                           u"Buy milk\r\n Due: 3/1/2027");
    HANDLE clock = addTimed(u"\\Windows\\clock.exe", nullptr, local(1, 9, 0), u"Alarm",
                            u"Alarm: Wake up\r\n9:00");
    HANDLE custom = addTimed(u"\\windows\\zvWakeup.exe",
                             u"-rp0n" SECT u"Backup^0" SECT u"\\b.exe~/s", local(1, 12, 0));
    HANDLE other = addTimed(u"\\Windows\\Foo.exe", u"AppRunAtTime", local(1, 13, 0));
    HANDLE note =
        addTimed(u"\\windows\\zvNotes.exe", u"\\My Documents\\Shopping.pwi", local(2, 7, 15));
    WCHAR sync[] = u"\\Windows\\sync.exe";
    ASSERT_TRUE(CeRunAppAtEvent(sync, NOTIFICATION_EVENT_WAKEUP));

    ASSERT_EQ(6, scan());
    struct Expect {
        HANDLE handle;
        DWORD kind;
        WORD day, hour, minute;
        const char16_t* text;
    } expected[] = {
        {nullptr, KIND_EVENT, 0, 0, 0, u"AfterWakeup, sync"},
        {clock, KIND_CLOCK, 1, 9, 0, u"Wake up"},
        {task, KIND_TASK, 1, 11, 0, u"Buy milk (3/1/2027)"},
        {custom, KIND_ZOLVANE, 1, 12, 0, u"Backup"},
        {other, KIND_APP, 1, 13, 0, u"Foo AppRunAtTime"},
        {note, KIND_NOTE, 2, 7, 15, u"Shopping"},
    };
    for (int i = 0; i < 6; ++i) {
        const Expect& e = expected[i];
        if (e.handle) EXPECT_EQ(HandleToULong(e.handle), at(i).handle) << i;
        EXPECT_EQ(e.kind, at(i).kind) << i;
        EXPECT_EQ(e.day, at(i).alarmTime.wDay) << i;
        EXPECT_EQ(e.hour, at(i).alarmTime.wHour) << i;
        EXPECT_EQ(e.minute, at(i).alarmTime.wMinute) << i;
        EXPECT_EQ(0, at(i).alarmTime.wSecond) << i;
        EXPECT_EQ(std::u16string(e.text), text(i)) << i;
        // The event time follows the alarm time (the Outlook task 900001 does not exist).
        EXPECT_EQ(at(i).alarmTime.wDay, at(i).eventTime.wDay) << i;
        EXPECT_EQ(at(i).alarmTime.wHour, at(i).eventTime.wHour) << i;
    }
    EXPECT_EQ(0, at(0).alarmTime.wYear) << "an event has no time";
    EXPECT_EQ(1, at(1).alarmTime.wDayOfWeek) << "1 March 2027 is a Monday";
    EXPECT_EQ(900001u, at(2).oid) << "the task's identifier comes from the title";
    EXPECT_EQ(nullptr, at(6).text) << "nothing beyond the count";
}

// maxAlarms counts items within 30 days, or gives the days when negative; 0 lists nothing.
TEST_F(ScanWalk, WindowAndLimits) {
    const WORD days[] = {1, 2, 3, 5, 9, 20};
    for (WORD d : days)
        addTimed(u"\\Windows\\app.exe", u"", local(d, 10, 0));
    addTimed(u"\\Windows\\app.exe", u"", local(31, 10, 0)); // 30 days and 1.5 hours ahead
    EXPECT_EQ(6, scan(20));
    EXPECT_EQ(3, scan(3)) << "maxAlarms 3 stops after three items";
    EXPECT_EQ(3, at(2).alarmTime.wDay);
    EXPECT_EQ(4, scan(-7)) << "seven days: up to 8 March 08:30";
    EXPECT_EQ(5, at(3).alarmTime.wDay);
    EXPECT_EQ(1, scan(-1));
    EXPECT_EQ(0, scan(0));
    EXPECT_EQ(nullptr, at(0).text);
}

// A past notification is gone from the list; a wake-up-bound zvWakeup notification is listed
// as an event without a time and with a past one; "AppRun..." arguments are events too.
TEST_F(ScanWalk, PastAndWakeupEvents) {
    addTimed(u"\\Windows\\app.exe", u"", local(1, 8, 0)); // half an hour ago
    SYSTEMTIME yesterday = local(0, 0, 0);
    yesterday.wMonth = 2;
    yesterday.wDay = 28;
    yesterday.wHour = 7;
    HANDLE past = addEvent(u"\\windows\\zvWakeup.exe", u"-rp1n" SECT u"Go^1" SECT u"\\go.exe",
                           NOTIFICATION_EVENT_WAKEUP, &yesterday);
    HANDLE none = addEvent(u"\\windows\\zvWakeup.exe", u"-op11n" SECT u"M^2" SECT u"\\m.mp3",
                           NOTIFICATION_EVENT_WAKEUP);
    HANDLE run = addTimed(u"\\Windows\\sync.exe", u"AppRunAfterSync", local(1, 8, 10));
    ASSERT_EQ(3, scan());
    EXPECT_EQ(HandleToULong(past), at(0).handle);
    EXPECT_EQ(DWORD(KIND_EVENT), at(0).kind);
    EXPECT_EQ(28, at(0).alarmTime.wDay);
    EXPECT_EQ(HandleToULong(none), at(1).handle);
    EXPECT_EQ(DWORD(KIND_EVENT), at(1).kind);
    EXPECT_EQ(0, at(1).alarmTime.wYear);
    EXPECT_EQ(u"AfterWakeup, akeup", text(1)) << "the rewrite of a wake-up command";
    EXPECT_EQ(HandleToULong(run), at(2).handle) << "an AppRun event is kept though past";
    EXPECT_EQ(DWORD(KIND_EVENT), at(2).kind);
    // Without events in the mask the two events and the past program are gone.
    EXPECT_EQ(0, scan(20, MASK_ALL & ~(1 << KIND_EVENT)));
}

// Event notifications come before the timed ones whatever time they carry: one beyond the
// window is passed over and does not end the scan.
TEST_F(ScanWalk, EventBeyondWindowDoesNotEndTheScan) {
    SYSTEMTIME far = local(1, 9, 0);
    far.wMonth = 6;
    addEvent(u"\\windows\\zvWakeup.exe", u"-op11n" SECT u"M^2" SECT u"\\m.mp3",
             NOTIFICATION_EVENT_WAKEUP, &far);
    addTimed(u"\\Windows\\a.exe", u"", local(2, 10, 0));
    ASSERT_EQ(1, scan(20, MASK_ALL & ~(1 << KIND_EVENT)));
    EXPECT_EQ(u"a", text(0));
    ASSERT_EQ(1, scan(20, MASK_ALL)) << "the far event is not listed either way";
    EXPECT_EQ(u"a", text(0));
}

// Two clock alarms at the same minute in a row are one item; with another item between them
// they stay two.
TEST_F(ScanWalk, ClockDuplicates) {
    addTimed(u"\\Windows\\clock.exe", nullptr, local(2, 7, 0), u"Alarm", u"Alarm: A\r\n7:00");
    addTimed(u"\\Windows\\clock.exe", nullptr, local(2, 7, 0), u"Alarm", u"Alarm: B\r\n7:00");
    addTimed(u"\\Windows\\clock.exe", nullptr, local(3, 7, 0), u"Alarm", u"Alarm: C\r\n7:00");
    addTimed(u"\\Windows\\app.exe", u"", local(3, 7, 0));
    addTimed(u"\\Windows\\clock.exe", nullptr, local(3, 7, 0), u"Alarm", u"Alarm: D\r\n7:00");
    ASSERT_EQ(4, scan());
    EXPECT_EQ(u"A", text(0));
    EXPECT_EQ(u"C", text(1));
    EXPECT_EQ(u"app", text(2));
    EXPECT_EQ(u"D", text(3));
    // With the program hidden by the mask, C and D are neighbours in the list.
    ASSERT_EQ(2, scan(20, 1 << KIND_CLOCK));
    EXPECT_EQ(u"C", text(1));
}

// A repeating custom alarm armed for several days is listed once with hideRepeats, every time
// without; a one-time alarm and another series are not merged with it.
TEST_F(ScanWalk, HideRepeats) {
    const char16_t* gym = u"-op11n024" SECT u"Gym^17" SECT u"\\song.mp3";
    for (WORD d : {2, 4, 6})
        addTimed(u"\\windows\\zvWakeup.exe", gym, local(d, 6, 0));
    addTimed(u"\\windows\\zvWakeup.exe", u"-op01n" SECT u"Once^17" SECT u"\\a.mp3", local(3, 6, 0));
    addTimed(u"\\windows\\zvWakeup.exe", u"-op11n1" SECT u"Yoga^18" SECT u"\\a.mp3",
             local(5, 6, 0));
    ASSERT_EQ(5, scan());
    EXPECT_EQ(1u, at(0).repeating);
    EXPECT_EQ(0u, at(1).repeating);
    getSettings().hideRepeats = 1;
    ASSERT_EQ(3, scan());
    EXPECT_EQ(u"Gym", text(0));
    EXPECT_EQ(2, at(0).alarmTime.wDay);
    EXPECT_EQ(u"Once", text(1));
    EXPECT_EQ(u"Yoga", text(2));
}

// An occurrence that is not listed (past) does not hide the coming ones.
TEST_F(ScanWalk, HideRepeatsPastOccurrence) {
    getSettings().hideRepeats = 1;
    const char16_t* gym = u"-op11n024" SECT u"Gym^17" SECT u"\\song.mp3";
    addTimed(u"\\windows\\zvWakeup.exe", gym, local(1, 6, 0));
    addTimed(u"\\windows\\zvWakeup.exe", gym, local(3, 6, 0));
    ASSERT_EQ(1, scan());
    EXPECT_EQ(3, at(0).alarmTime.wDay);
}

// The quiet-mode end is listed while quiet mode is on; afterwards it is cleared.
TEST_F(ScanWalk, QuietModeEnd) {
    HANDLE end = addTimed(u"\\Windows\\zvWakeup.exe", u"-v", local(1, 12, 0));
    getSettings().quietMode = 1;
    ASSERT_EQ(1, scan());
    EXPECT_EQ(DWORD(KIND_VOLUME), at(0).kind);
    EXPECT_EQ(u"Volume re-enabled", text(0));
    EXPECT_TRUE(exists(end));
    getSettings().quietMode = 0;
    EXPECT_EQ(0, scan());
    EXPECT_FALSE(exists(end));
    // A mask without kind 16 leaves it alone.
    getSettings().quietMode = 0;
    HANDLE again = addTimed(u"\\Windows\\zvWakeup.exe", u"-v", local(1, 12, 0));
    EXPECT_EQ(0, scan(20, MASK_ZOLVANE));
    EXPECT_TRUE(exists(again));
}

// A snoozed calendar reminder fires at the queue's time: it moves in the list and is kind 8.
// Without the queue database the trigger's time is all there is, and it stays kind 6.
TEST_F(ScanWalk, SnoozedCalendarReminder) {
    HANDLE first =
        addTimed(u"calendar.exe", u"POOM: 900001", local(1, 9, 0), u"POOM: 900001", u"Standup");
    addTimed(u"calendar.exe", u"POOM: 900002", local(1, 9, 30), u"POOM: 900002", u"Review");
    int64_t tenUtc = cetest::isoToFileTime("2027-03-01T09:00:00Z"); // 10:00 in Berlin
    ASSERT_EQ(DWORD(ERROR_SUCCESS), ce::notify::snoozeNotification(HandleToULong(first), tenUtc));

    ASSERT_EQ(2, scan()) << "no queue";
    EXPECT_EQ(u"Review", text(0));
    EXPECT_EQ(DWORD(KIND_CAL), at(1).kind);
    EXPECT_EQ(9, at(1).alarmTime.wHour) << "the trigger's own time";

    openQueue();
    ASSERT_EQ(2, scan());
    EXPECT_EQ(u"Review", text(0));
    EXPECT_EQ(DWORD(KIND_CAL), at(0).kind);
    EXPECT_EQ(HandleToULong(first), at(1).handle);
    EXPECT_EQ(DWORD(KIND_CAL_SNOOZE), at(1).kind);
    EXPECT_EQ(10, at(1).alarmTime.wHour);
    EXPECT_EQ(0, at(1).alarmTime.wMinute);
    EXPECT_EQ(900001u, at(1).oid);
}

// The queue is read beside the handles: event notifications have no record and must not
// shift the timed ones' times.
TEST_F(ScanWalk, QueueRecordsStayInStep) {
    openQueue();
    SYSTEMTIME soon = local(1, 9, 0);
    addEvent(u"\\windows\\zvWakeup.exe", u"-op11n" SECT u"M^2" SECT u"\\m.mp3",
             NOTIFICATION_EVENT_WAKEUP, &soon);
    addTimed(u"\\Windows\\a.exe", u"", local(1, 10, 0));
    addTimed(u"\\Windows\\b.exe", u"", local(1, 11, 0));
    ASSERT_EQ(3, scan());
    EXPECT_EQ(u"a", text(1));
    EXPECT_EQ(10, at(1).alarmTime.wHour);
    EXPECT_EQ(u"b", text(2));
    EXPECT_EQ(11, at(2).alarmTime.wHour);
}

// With customTask a task reminder at 8:00 moves to taskTime: the notification is set anew,
// the scan answers -1, and the next scan lists the task at the new hour.
TEST_F(ScanWalk, TaskHourMove) {
    openQueue();
    HANDLE task = addTimed(u"tasks.exe", u"POOM: 900003", local(2, 8, 0), u"POOM: 900003",
                           u"Call mum\r\n Due: 3/2/2027");
    HANDLE later = addTimed(u"tasks.exe", u"POOM: 900004", local(2, 8, 30), u"POOM: 900004",
                            u"Water plants\r\n Due: 3/2/2027");
    getSettings().customTask = 1;
    getSettings().taskTime = 8;
    EXPECT_EQ(2, scan()) << "taskTime 8: nothing to move";
    getSettings().customTask = 0;
    getSettings().taskTime = 10;
    EXPECT_EQ(2, scan()) << "customTask off";
    getSettings().customTask = 1;
    getSettings().taskTime = 24;
    EXPECT_EQ(2, scan()) << "no such hour: the reminder stays";
    EXPECT_TRUE(exists(task));

    getSettings().taskTime = 10;
    EXPECT_EQ(SCAN_CHANGED, scan());
    EXPECT_FALSE(exists(task));
    EXPECT_TRUE(exists(later)) << "8:30 is not the task hour";
    ASSERT_EQ(2, scan());
    EXPECT_EQ(u"Water plants (3/2/2027)", text(0));
    EXPECT_EQ(u"Call mum (3/2/2027)", text(1));
    EXPECT_EQ(10, at(1).alarmTime.wHour);
    EXPECT_EQ(0, at(1).alarmTime.wMinute);
    EXPECT_NE(HandleToULong(task), at(1).handle);
    EXPECT_EQ(900003u, at(1).oid);
}

// Two reminders of one task: the later is cleared, the scan answers -1, the next lists one.
TEST_F(ScanWalk, TaskDuplicates) {
    HANDLE a = addTimed(u"tasks.exe", u"POOM: 900005", local(2, 9, 0), u"POOM: 900005",
                        u"Report\r\n Due: 3/2/2027");
    addTimed(u"tasks.exe", u"POOM: 900006", local(2, 9, 30), u"POOM: 900006",
             u"Other\r\n Due: 3/2/2027");
    HANDLE b = addTimed(u"tasks.exe", u"POOM: 900005", local(3, 9, 0), u"POOM: 900005",
                        u"Report\r\n Due: 3/2/2027");
    EXPECT_EQ(SCAN_CHANGED, scan());
    EXPECT_TRUE(exists(a));
    EXPECT_FALSE(exists(b));
    ASSERT_EQ(2, scan());
    EXPECT_EQ(HandleToULong(a), at(0).handle);
    EXPECT_EQ(u"Other (3/2/2027)", text(1));
    EXPECT_EQ(2u, allHandles().size());
}

// The mask drops kinds; the two other calendar programs pass it as kind 3 and are stored as
// their own kinds.
TEST_F(ScanWalk, MaskAndCalendarPrograms) {
    addTimed(u"\\Windows\\clock.exe", nullptr, local(1, 9, 0), u"Alarm", u"Alarm: A\r\n9:00");
    addTimed(u"\\Program Files\\PI\\PINotificat.exe", u"x", local(1, 10, 0));
    addTimed(u"\\Windows\\zvNotes.exe", u"\\a\\b.pwi", local(1, 11, 0));
    ASSERT_EQ(1, scan(20, 1 << KIND_APP));
    EXPECT_EQ(DWORD(KIND_PI), at(0).kind);
    EXPECT_EQ(u"Pocket Informant", text(0));
    ASSERT_EQ(0, scan(20, 1 << KIND_PI)) << "the mask is tested with kind 3";
    ASSERT_EQ(2, scan(20, (1 << KIND_CLOCK) | (1 << KIND_NOTE)));
}

// The views that Outlook alone answers do not read the notifications at all.
TEST_F(ScanWalk, OutlookOnlyViews) {
    addTimed(u"tasks.exe", u"POOM: 1", local(2, 9, 0), u"POOM: 1", u"T\r\n Due: 3/2/2027");
    for (LONG view : {VIEW_INCOMPLETE, VIEW_OVERDUE, VIEW_CATEGORY_FIRST + 2}) {
        currentView = view;
        EXPECT_EQ(0, scan()) << view;
    }
    currentView = VIEW_DUE_TASKS;
    EXPECT_EQ(1, scan());
    currentView = 0;
}

TEST_F(ScanWalk, NoNotifications) {
    EXPECT_EQ(0, scan());
    EXPECT_EQ(0, getAlarms(nullptr, 10, MASK_ALL)) << "no list";
}

// Reminders of the device's calendar: the appointment's start becomes the event time, an
// all-day one is marked so, one over two days marks the alarm time; a reminder without an
// identifier finds its appointment by subject and time.
TEST_F(ScanWalk, CalendarRemindersFromOutlook) {
    openQueue();
    IPOutlookApp* app = takeOutlook();
    ASSERT_NE(nullptr, app);
    auto add = [&](const char16_t* subject, SYSTEMTIME start, SYSTEMTIME end, bool allDay,
                   bool reminder) {
        IDispatch* d = nullptr;
        EXPECT_EQ(S_OK, app->CreateItem(olAppointmentItem, &d));
        IAppointment* a = nullptr;
        d->QueryInterface(IID_IAppointment, reinterpret_cast<void**>(&a));
        d->Release();
        BSTR s = SysAllocString(subject);
        a->put_Subject(s);
        SysFreeString(s);
        DATE v = 0;
        SystemTimeToVariantTime(&start, &v);
        a->put_Start(v);
        SystemTimeToVariantTime(&end, &v);
        a->put_End(v);
        if (allDay) a->put_AllDayEvent(VARIANT_TRUE);
        a->put_ReminderSet(reminder ? VARIANT_TRUE : VARIANT_FALSE);
        EXPECT_EQ(S_OK, a->Save());
        long oid = 0;
        a->get_Oid(&oid);
        a->Release();
        return static_cast<DWORD>(oid);
    };
    DWORD review = add(u"Review", local(2, 10, 0), local(2, 11, 0), false, true);
    DWORD trip = add(u"Trip", local(3, 22, 0), local(4, 2, 0), false, true);
    DWORD holiday = add(u"Holiday", local(5, 0, 0), local(6, 0, 0), true, true);
    DWORD dentist = add(u"Dentist", local(6, 11, 0), local(6, 12, 0), false, false);
    app->Release();
    addTimed(u"calendar.exe", u"", local(6, 11, 0), u"Reminder", u"Dentist\r\nDr. X");

    ASSERT_EQ(4, scan());
    EXPECT_EQ(review, at(0).oid);
    EXPECT_EQ(u"Review", text(0));
    EXPECT_EQ(9, at(0).alarmTime.wHour);
    EXPECT_EQ(45, at(0).alarmTime.wMinute);
    EXPECT_EQ(10, at(0).eventTime.wHour) << "the appointment's start";
    EXPECT_EQ(0, at(0).eventTime.wMinute);
    EXPECT_FALSE(isMultiDayMark(&at(0).alarmTime));

    EXPECT_EQ(trip, at(1).oid);
    EXPECT_TRUE(isMultiDayMark(&at(1).alarmTime)) << at(1).alarmTime.wSecond;
    EXPECT_EQ(22, at(1).eventTime.wHour);

    EXPECT_EQ(holiday, at(2).oid);
    EXPECT_TRUE(isAllDayMark(&at(2).eventTime));
    EXPECT_EQ(5, at(2).eventTime.wDay);

    EXPECT_EQ(dentist, at(3).oid) << "found by subject and time";
    EXPECT_EQ(u"Dentist (Dr. X)", text(3));
}

// The reload thread has not entered COM itself: the scan does, and finds Outlook's data from
// there as well.
TEST_F(ScanWalk, OnAThreadOfItsOwn) {
    IPOutlookApp* app = takeOutlook();
    ASSERT_NE(nullptr, app);
    IDispatch* d = nullptr;
    ASSERT_EQ(S_OK, app->CreateItem(olAppointmentItem, &d));
    IAppointment* a = nullptr;
    d->QueryInterface(IID_IAppointment, reinterpret_cast<void**>(&a));
    d->Release();
    BSTR subject = SysAllocString(u"Review");
    a->put_Subject(subject);
    SysFreeString(subject);
    SYSTEMTIME start = local(2, 10, 0), end = local(2, 11, 0);
    DATE v = 0;
    SystemTimeToVariantTime(&start, &v);
    a->put_Start(v);
    SystemTimeToVariantTime(&end, &v);
    a->put_End(v);
    a->put_ReminderSet(VARIANT_TRUE);
    ASSERT_EQ(S_OK, a->Save());
    long oid = 0;
    a->get_Oid(&oid);
    a->Release();
    app->Release();
    closeOutlook(); // the scan thread opens it anew
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);

    list = createAlarmList();
    LONG count = -2;
    std::thread reload([&] { count = getAlarms(list, 20, MASK_ALL); });
    reload.join();
    ASSERT_EQ(1, count);
    EXPECT_EQ(static_cast<DWORD>(oid), at(0).oid);
    EXPECT_EQ(10, at(0).eventTime.wHour) << "the appointment was read on the scan thread";
}

// The scan's log lines, each behind its bit of loggingOption.
TEST_F(ScanWalk, LogLines) {
    CreateDirectoryW(u"\\Program Files", nullptr);
    CreateDirectoryW(u"\\Program Files\\Zolvane", nullptr);
    writeRegString(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_INSTALLDIR,
                   u"\\Program Files\\Zolvane", REGW_CREATE);
    writeRegDword(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_LOGGINGOPTION, 7, REGW_CREATE);
    loadSettings();
    auto log = [&] {
        std::ifstream in(device.fs() / "Program Files" / "Zolvane" / "Zolvane.log");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    };
    EXPECT_EQ(0, scan());
    std::string first = log();
    EXPECT_NE(std::string::npos, first.find(" - getAlarms start\r\n")) << first;
    EXPECT_NE(std::string::npos,
              first.find(" - ** CeGetUserNotificationHandles() failed or no alarms **\r\n"))
        << first;
    addTimed(u"\\Windows\\a.exe", u"", local(1, 10, 0));
    addTimed(u"\\Windows\\b.exe", u"", local(1, 11, 0));
    EXPECT_EQ(2, scan());
    std::string second = log().substr(first.size());
    EXPECT_NE(std::string::npos, second.find(" - getAlarms: 2 found\r\n")) << second;
    EXPECT_NE(std::string::npos, second.find(" - end getAlarms\r\n")) << second;

    writeRegDword(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_LOGGINGOPTION, 0, REGW_CREATE);
    loadSettings();
    size_t before = log().size();
    EXPECT_EQ(2, scan());
    EXPECT_EQ(before, log().size()) << "no bit, no line";
    setLogFolder(u"");
}

} // namespace
