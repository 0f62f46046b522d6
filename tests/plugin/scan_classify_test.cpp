// scan_classify_test.cpp: the scan's rules for one notification record, without a scan: the
// classification table and the zvWakeup refinement, the repeat identifiers of hideRepeats, the
// Outlook identifier in a reminder's title, and the display text of every kind, including the
// rewritten wake-up commands and the cut of overlong texts.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "testdevice.h"
#include "windows.h"

#include "scan.h"
#include "settings.h"

namespace {

SYSTEMTIME timed() {
    SYSTEMTIME t = {};
    t.wYear = 2027;
    t.wMonth = 3;
    t.wDay = 2;
    t.wHour = 7;
    return t;
}

// A trigger over copies of its texts (the API takes non-const pointers).
struct Trigger {
    std::u16string app, args;
    CE_NOTIFICATION_TRIGGER t = {};
    Trigger(const char16_t* application, const char16_t* arguments, bool withTime = true,
            DWORD event = 0)
        : app(application ? application : u""), args(arguments ? arguments : u"") {
        t.dwSize = sizeof t;
        t.dwType = withTime ? CNT_TIME : CNT_EVENT;
        t.dwEvent = event;
        t.lpszApplication = application ? app.data() : nullptr;
        t.lpszArguments = arguments ? args.data() : nullptr;
        if (withTime) t.stStartTime = timed();
    }
};

struct Reminder {
    std::u16string title, text;
    CE_USER_NOTIFICATION u = {};
    Reminder(const char16_t* dialogTitle, const char16_t* dialogText)
        : title(dialogTitle ? dialogTitle : u""), text(dialogText ? dialogText : u"") {
        u.ActionFlags = PUN_DIALOG;
        u.pwszDialogTitle = dialogTitle ? title.data() : nullptr;
        u.pwszDialogText = dialogText ? text.data() : nullptr;
    }
};

class ScanRules : public cetest::DeviceTest {
protected:
    void SetUp() override { getSettings() = PluginSettings{}; }
};

// The table in its order: system programs only at the path's start, "AppRun" arguments before
// any program test, calendar by prefix, the others anywhere in the lower-cased path.
TEST_F(ScanRules, ClassificationTable) {
    struct Case {
        const char16_t* app;
        const char16_t* args;
        BOOL differs;
        LONG kind;
    } cases[] = {
        {nullptr, u"x", FALSE, KIND_APP},
        {u"calnot.exe", u"", FALSE, KIND_SYSTEM},
        {u"CalNot.EXE", u"", FALSE, KIND_SYSTEM},
        {u"\\Windows\\calnot.exe", u"", FALSE, KIND_APP}, // behind a folder: not the system's
        {u"clocknot.exe", u"AppRunAtTime", FALSE, KIND_SYSTEM},
        {u"repllog.exe", u"", FALSE, KIND_SYSTEM},
        {u"\\Windows\\MISC.exe", u"", FALSE, KIND_SYSTEM},
        {u"\\\\.\\Notifications\\NamedEvents\\x", u"", FALSE, KIND_SYSTEM},
        {u"timewizard.exe", u"", FALSE, KIND_SYSTEM},
        {u"\\Windows\\clock.exe", u"AppRunAtTime", FALSE, KIND_APP},
        {u"\\Windows\\clock.exe", u"apprunattime", FALSE, KIND_APP},
        {u"\\Windows\\clock.exe", u"AppRunAtTimeX", FALSE, KIND_EVENT},
        {u"\\Windows\\sync.exe", u"APPRUNAFTERWAKEUP", FALSE, KIND_EVENT},
        {u"calendar.exe", u"POOM: 5", FALSE, KIND_CAL},
        {u"calendar.exe", u"POOM: 5", TRUE, KIND_CAL_SNOOZE},
        {u"\\Windows\\Clock.exe", u"", FALSE, KIND_CLOCK},
        {u"\\Windows\\Clock.exe", u"", TRUE, KIND_CLOCK},
        {u"tasks.exe", u"POOM: 7", FALSE, KIND_TASK},
        {u"\\Windows\\zvNotes.exe", u"\\My Documents\\a.pwi", FALSE, KIND_NOTE},
        {u"\\Program Files\\Phat\\zvnotes.exe", u"", FALSE, KIND_APP},
        {u"\\Program Files\\Tellarim\\TrAlarm.exe", u"", FALSE, KIND_COMPANION},
        {u"\\Windows\\zvWakeup.exe", u"-rp0n\u00A7Backup^0\u00A7x.exe", FALSE, KIND_ZOLVANE},
        {u"\\Windows\\zvWakeup.exe", u"-v", FALSE, KIND_VOLUME},
        {u"\\Windows\\zvWakeup.exe", u"-zC", FALSE, KIND_DROP},
        {u"PINotificat.exe", u"", FALSE, KIND_APP},
        {u"\\Windows\\other.exe", u"", TRUE, KIND_APP},
    };
    for (const Case& c : cases) {
        Trigger t(c.app, c.args);
        EXPECT_EQ(c.kind, classifyNotification(&t.t, c.differs, FALSE, nullptr))
            << "case " << (&c - cases);
    }
    EXPECT_EQ(KIND_APP, classifyNotification(nullptr, FALSE, FALSE, nullptr)) << "no trigger";
}

// A zvWakeup notification bound to the wake-up event is an event whatever its command; a
// repeating custom alarm already listed is dropped only with hideRepeats.
TEST_F(ScanRules, WakeupRefinementAndRepeats) {
    Trigger onWake(u"\\windows\\zvWakeup.exe", u"-v", false, NOTIFICATION_EVENT_WAKEUP);
    EXPECT_EQ(KIND_EVENT, classifyNotification(&onWake.t, FALSE, TRUE, ",1,"));
    Trigger otherEvent(u"\\windows\\zvWakeup.exe", u"-v", false, NOTIFICATION_EVENT_TIME_CHANGE);
    EXPECT_EQ(KIND_VOLUME, classifyNotification(&otherEvent.t, FALSE, TRUE, ""));

    Trigger repeat(u"\\windows\\zvWakeup.exe", u"-op11n024\u00A7Gym^17\u00A7\\song.mp3");
    Trigger once(u"\\windows\\zvWakeup.exe", u"-op01n\u00A7Gym^17\u00A7\\song.mp3");
    EXPECT_EQ(KIND_DROP, classifyNotification(&repeat.t, FALSE, TRUE, ",3,,17,"));
    EXPECT_EQ(KIND_ZOLVANE, classifyNotification(&repeat.t, FALSE, FALSE, ",3,,17,"));
    EXPECT_EQ(KIND_ZOLVANE, classifyNotification(&repeat.t, FALSE, TRUE, ",3,,170,"))
        << "identifier 17 is not 170";
    EXPECT_EQ(KIND_ZOLVANE, classifyNotification(&once.t, FALSE, TRUE, ",17,"))
        << "only repeating alarms are merged";
}

// seenRepeatList gets ",%d," once per identifier, only for repeating alarms with an
// identifier, and never beyond its 1,000 bytes.
TEST_F(ScanRules, RememberRepeats) {
    char seen[SEEN_REPEATS_CB + 4];
    memset(seen, 0, sizeof seen);
    memset(seen + SEEN_REPEATS_CB, 0x5A, 4); // guard bytes
    rememberRepeat(u"-op11n0\u00A7A^17\u00A7x", seen, SEEN_REPEATS_CB);
    rememberRepeat(u"-op11n0\u00A7A^17\u00A7x", seen, SEEN_REPEATS_CB);
    rememberRepeat(u"-op01n0\u00A7B^18\u00A7x", seen, SEEN_REPEATS_CB);  // not repeating
    rememberRepeat(u"-op11n0\u00A7C\u00A7x", seen, SEEN_REPEATS_CB);     // no identifier
    rememberRepeat(u"-rp1n\u00A7D^2\u00A7a^b~c", seen, SEEN_REPEATS_CB); // the last "^" counts
    EXPECT_STREQ(",17,", seen) << "the last ^ of the D alarm is inside its payload";

    memset(seen, 'x', SEEN_REPEATS_CB - 3);
    seen[SEEN_REPEATS_CB - 3] = 0; // 997 bytes used: ",5," (3 bytes + end) no longer fits
    rememberRepeat(u"-op11n\u00A7E^5\u00A7x", seen, SEEN_REPEATS_CB);
    EXPECT_EQ(size_t(SEEN_REPEATS_CB - 3), strlen(seen));
    seen[SEEN_REPEATS_CB - 4] = 0; // 996 used: it fits exactly
    rememberRepeat(u"-op11n\u00A7E^5\u00A7x", seen, SEEN_REPEATS_CB);
    EXPECT_EQ(size_t(SEEN_REPEATS_CB - 1), strlen(seen));
    EXPECT_STREQ(",5,", seen + SEEN_REPEATS_CB - 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(0x5A, seen[SEEN_REPEATS_CB + i]) << "guard byte " << i;
}

TEST_F(ScanRules, PoomIdentifierInTitle) {
    struct Case {
        const char16_t* title;
        DWORD oid;
    } cases[] = {{u"POOM: 1234", 1234},    {u"POOM:99", 99}, {u"Reminder", 0}, {nullptr, 0},
                 {u"POOM: 4294967296", 0}, {u"POOM: x", 0},  {u"a POOM: 7", 7}};
    for (const Case& c : cases) {
        Reminder r(c.title, u"");
        EXPECT_EQ(c.oid, poomOidOf(&r.u)) << (&c - cases);
    }
    EXPECT_EQ(0u, poomOidOf(nullptr));
}

std::u16string textOf(const Trigger& t, const Reminder* r, DWORD kind, DWORD* kindOut = nullptr,
                      DWORD* repeating = nullptr) {
    DWORD k = kind, rep = 0xdeadbeef;
    std::u16string text = buildAlarmText(&t.t, r ? &r->u : nullptr, &k, &rep);
    if (kindOut) *kindOut = k;
    if (repeating) *repeating = rep;
    return text;
}

// Clock, task and calendar reminders show their dialog text in short form.
TEST_F(ScanRules, ReminderTexts) {
    Trigger clock(u"\\Windows\\clock.exe", u"");
    Reminder alarm(u"Alarm", u"Alarm: Wake up\r\n7:00");
    EXPECT_EQ(u"Wake up", textOf(clock, &alarm, KIND_CLOCK));
    Reminder noColon(u"Alarm", u"Wake up\r\n7.00");
    EXPECT_EQ(u"7.00", textOf(clock, &noColon, KIND_CLOCK));
    // The first colon counts, wherever it is.
    Reminder late(u"Alarm", u"Wake up\r\n7:00");
    EXPECT_EQ(u"0", textOf(clock, &late, KIND_CLOCK));

    Trigger task(u"tasks.exe", u"POOM: 3");
    Reminder due(u"POOM: 3", u"Buy milk\r\n Due: 3/2/2027");
    EXPECT_EQ(u"Buy milk (3/2/2027)", textOf(task, &due, KIND_TASK));
    Reminder undated(u"POOM: 3", u"Buy milk");
    EXPECT_EQ(u"Buy milk", textOf(task, &undated, KIND_TASK));

    Trigger cal(u"calendar.exe", u"POOM: 4");
    Reminder located(u"POOM: 4", u"Meeting\r\nRoom 4");
    EXPECT_EQ(u"Meeting (Room 4)", textOf(cal, &located, KIND_CAL));
    EXPECT_EQ(u"Meeting (Room 4)", textOf(cal, &located, KIND_CAL_SNOOZE));
    Reminder dashed(u"POOM: 4", u"Lunch\r\nCafe - Main St");
    EXPECT_EQ(u"Lunch (Cafe )", textOf(cal, &dashed, KIND_CAL));
    Reminder bare(u"POOM: 4", u"Dentist");
    EXPECT_EQ(u"Dentist", textOf(cal, &bare, KIND_CAL));
    Reminder lfOnly(u"POOM: 4", u"Dentist\nDr. Who");
    EXPECT_EQ(u"Dentist (Dr. Who)", textOf(cal, &lfOnly, KIND_CAL))
        << "a line without carriage return keeps its last letter";
    // Without a dialog text the program stands in.
    EXPECT_EQ(u"calendar", textOf(cal, nullptr, KIND_CAL));
}

// The product's own alarms are named from their command lines.
TEST_F(ScanRules, ProductTexts) {
    DWORD repeating = 0;
    Trigger custom(u"\\windows\\zvWakeup.exe", u"-rp1n\u00A7Backup^12\u00A7\\backup.exe~/s");
    EXPECT_EQ(u"Backup", textOf(custom, nullptr, KIND_ZOLVANE, nullptr, &repeating));
    EXPECT_EQ(1u, repeating);
    Trigger single(u"\\windows\\zvWakeup.exe", u"-x 08n\u00A7Reset\u00A7");
    EXPECT_EQ(u"Reset", textOf(single, nullptr, KIND_ZOLVANE, nullptr, &repeating));
    EXPECT_EQ(0u, repeating);
    Trigger unnamed(u"\\windows\\zvWakeup.exe", u"-op01n");
    EXPECT_EQ(u"Zolvane Alarm", textOf(unnamed, nullptr, KIND_ZOLVANE));

    Trigger note(u"\\windows\\zvNotes.exe", u"\\My Documents\\Shopping.list.pwi");
    EXPECT_EQ(u"Shopping", textOf(note, nullptr, KIND_NOTE));
    Trigger dated(u"\\windows\\zvNotes.exe", u"\\My Documents\\20270301_0700.pwi");
    EXPECT_EQ(u"Zolvane note", textOf(dated, nullptr, KIND_NOTE));
    Trigger bare(u"\\windows\\zvNotes.exe", u"Shopping.pwi");
    EXPECT_EQ(u"Zolvane note", textOf(bare, nullptr, KIND_NOTE));

    Trigger volume(u"\\windows\\zvWakeup.exe", u"-v");
    EXPECT_EQ(u"Volume re-enabled", textOf(volume, nullptr, KIND_VOLUME));
    Trigger companion(u"\\Program Files\\Tellarim\\tralarm.exe", u"\\Alarms\\Morning.alm");
    EXPECT_EQ(u"Morning", textOf(companion, nullptr, KIND_COMPANION));
}

// Other programs are named by their program; two calendar programs by their product, which
// also gives them their kinds.
TEST_F(ScanRules, ProgramTexts) {
    DWORD kind = 0;
    Trigger app(u"\\Windows\\Foo.EXE", u"-go now");
    EXPECT_EQ(u"Foo -go now", textOf(app, nullptr, KIND_APP, &kind));
    EXPECT_EQ(DWORD(KIND_APP), kind);
    Trigger noArgs(u"\\Windows\\Foo.exe", u"");
    EXPECT_EQ(u"Foo", textOf(noArgs, nullptr, KIND_APP));
    Trigger pi(u"\\Program Files\\PI\\PINotificat.exe", u"alarm 5");
    EXPECT_EQ(u"Pocket Informant", textOf(pi, nullptr, KIND_APP, &kind));
    EXPECT_EQ(DWORD(KIND_PI), kind);
    Trigger af(u"FusionNotify.exe", u"");
    EXPECT_EQ(u"Agenda Fusion", textOf(af, nullptr, KIND_APP, &kind));
    EXPECT_EQ(DWORD(KIND_AF), kind);
    Trigger sync(u"repllog.exe", u"AppRunAtTime");
    EXPECT_EQ(u"ActiveSync", textOf(sync, nullptr, KIND_SYSTEM, &kind));
    EXPECT_EQ(DWORD(KIND_SYSTEM), kind);

    // A notification without time leads with its command line, "AppRun" dropped.
    Trigger event(u"\\Windows\\sync.exe", u"AppRunAfterWakeup", false, NOTIFICATION_EVENT_WAKEUP);
    EXPECT_EQ(u"AfterWakeup, sync", textOf(event, nullptr, KIND_EVENT));
    Trigger plain(u"\\Windows\\a.exe", u"/x", false, NOTIFICATION_EVENT_TIME_CHANGE);
    EXPECT_EQ(u"/x, a /x", textOf(plain, nullptr, KIND_APP));
}

// Custom alarms that run when the device wakes up: the command's head is skipped ("-r" by 10
// characters, others by 9, "-d" not at all), "AfterWakeup, " written over the next 13, the
// program's arguments after "~" cut, and the program name or, for a cleanup, "Cleanup" added.
TEST_F(ScanRules, WakeupCommandTexts) {
    Trigger run(u"\\windows\\zvWakeup.exe",
                u"-rp1n\u00A7Backup^0\u00A7\\Windows\\backup.exe~/silent", false,
                NOTIFICATION_EVENT_WAKEUP);
    EXPECT_EQ(u"AfterWakeup, \\backup.exe", textOf(run, nullptr, KIND_EVENT));
    Trigger open(u"\\windows\\zvWakeup.exe", u"-op11n\u00A7Music^3\u00A7\\My Documents\\Wake.mp3",
                 false, NOTIFICATION_EVENT_WAKEUP);
    EXPECT_EQ(u"AfterWakeup, uments\\Wake.mp3", textOf(open, nullptr, KIND_EVENT));
    Trigger cleanup(u"\\windows\\zvWakeup.exe", u"-d21n\u00A7Clean^3\u00A70", false,
                    NOTIFICATION_EVENT_WAKEUP);
    EXPECT_EQ(u"AfterWakeup, \u00A70, zvWakeupCleanup", textOf(cleanup, nullptr, KIND_EVENT));
    Trigger mute(u"\\windows\\zvWakeup.exe", u"-d 1n\u00A7Quiet^4\u00A730", false,
                 NOTIFICATION_EVENT_WAKEUP);
    EXPECT_EQ(u"AfterWakeup, \u00A730", textOf(mute, nullptr, KIND_EVENT));
    // Shorter than what is skipped: the prefix alone, nothing read beyond the text.
    Trigger tiny(u"\\windows\\zvWakeup.exe", u"-rx", false, NOTIFICATION_EVENT_WAKEUP);
    EXPECT_EQ(u"AfterWakeup, ", textOf(tiny, nullptr, KIND_EVENT));
    // Not bound to the wake-up event: left as it is.
    Trigger restore(u"\\windows\\zvWakeup.exe", u"-rp1n", false, NOTIFICATION_EVENT_RESTORE_END);
    EXPECT_EQ(u"-rp1n, Zolvane Alarm", textOf(restore, nullptr, KIND_ZOLVANE));
}

// Title and part hold 1,024 characters each; the text never grows beyond that.
TEST_F(ScanRules, LongTextsAreCut) {
    std::u16string longArgs(5000, u'a');
    Trigger t(u"\\Windows\\x.exe", longArgs.c_str(), false, NOTIFICATION_EVENT_TIME_CHANGE);
    std::u16string text = textOf(t, nullptr, KIND_APP);
    EXPECT_EQ(size_t(SCAN_TEXT_CCH - 1), text.size());
    std::u16string longDialog = u"Subject\r\n" + std::u16string(3000, u'b');
    Trigger cal(u"calendar.exe", u"POOM: 1");
    Reminder r(u"POOM: 1", longDialog.c_str());
    EXPECT_EQ(size_t(SCAN_TEXT_CCH - 1), textOf(cal, &r, KIND_CAL).size());
}

} // namespace
