// notify_api_test.cpp: conformance of the user notification functions (notify.h): handle
// order, the record CeGetUserNotification lays out, replacing, clearing, CeRunAppAtEvent and
// CeRunAppAtTime, bad input, and many processes writing at once.
#include <notify.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "kernel/timezone.h"
#include "notify/notifystore.h"
#include "testdevice.h"

namespace {

using cetest::DeviceTest;

SYSTEMTIME at(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s = 0) {
    SYSTEMTIME st{};
    st.wYear = y;
    st.wMonth = mo;
    st.wDay = d;
    st.wHour = h;
    st.wMinute = mi;
    st.wSecond = s;
    return st;
}

class NotifyApiTest : public DeviceTest {
protected:
    NotifyApiTest() { device.freezeAt("2027-03-28T00:30:00Z"); }

    HANDLE timed(const SYSTEMTIME& st, const char16_t* app = u"\\Windows\\test.exe",
                 const char16_t* args = u"-x", CE_USER_NOTIFICATION* user = nullptr) {
        CE_NOTIFICATION_TRIGGER t{};
        t.dwSize = sizeof t;
        t.dwType = CNT_TIME;
        t.lpszApplication = const_cast<WCHAR*>(app);
        t.lpszArguments = const_cast<WCHAR*>(args);
        t.stStartTime = st;
        return CeSetUserNotificationEx(nullptr, &t, user);
    }
    HANDLE event(DWORD ev, const char16_t* app = u"\\Windows\\ev.exe") {
        CE_NOTIFICATION_TRIGGER t{};
        t.dwSize = sizeof t;
        t.dwType = CNT_EVENT;
        t.dwEvent = ev;
        t.lpszApplication = const_cast<WCHAR*>(app);
        t.lpszArguments = const_cast<WCHAR*>(u"ev");
        return CeSetUserNotificationEx(nullptr, &t, nullptr);
    }
    std::vector<uint32_t> handles() {
        DWORD count = 0xdeadbeef;
        EXPECT_TRUE(CeGetUserNotificationHandles(nullptr, 0, &count));
        std::vector<HANDLE> buf(count + 1, ULongToHandle(0xdeadbeef));
        DWORD got = 0xdeadbeef;
        EXPECT_TRUE(CeGetUserNotificationHandles(buf.data(), count, &got));
        EXPECT_EQ(count, got);
        // The entry past the count is left alone.
        EXPECT_EQ(0xdeadbeefu, HandleToULong(buf[count]));
        std::vector<uint32_t> out;
        for (DWORD i = 0; i < count; ++i)
            out.push_back(HandleToULong(buf[i]));
        return out;
    }
    std::vector<BYTE> record(HANDLE h) {
        DWORD size = 0xdeadbeef;
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(CeGetUserNotification(h, 0, &size, nullptr));
        EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
        EXPECT_NE(0xdeadbeefu, size);
        std::vector<BYTE> buf(size + 16, 0xAB);
        DWORD again = 0xdeadbeef;
        EXPECT_TRUE(CeGetUserNotification(h, size, &again, buf.data()));
        EXPECT_EQ(size, again);
        for (size_t i = size; i < buf.size(); ++i)
            EXPECT_EQ(0xAB, buf[i]) << "guard byte " << i - size << " overwritten";
        buf.resize(size);
        return buf;
    }
};

// Event notifications come first in creation order, then timed ones in the order they fire,
// whatever order they were made in; a timed notification made later but due earlier goes
// before.
TEST_F(NotifyApiTest, HandleOrderMixesEventsFirstThenTimedByFireTime) {
    HANDLE t9 = timed(at(2027, 3, 28, 9, 0));
    HANDLE e1 = event(NOTIFICATION_EVENT_WAKEUP);
    HANDLE t7 = timed(at(2027, 3, 28, 7, 0));
    HANDLE e2 = event(NOTIFICATION_EVENT_TIME_CHANGE);
    HANDLE t8a = timed(at(2027, 3, 28, 8, 0));
    HANDLE t8b = timed(at(2027, 3, 28, 8, 0));
    for (HANDLE h : {t9, e1, t7, e2, t8a, t8b})
        ASSERT_NE(nullptr, h);
    std::vector<uint32_t> expected = {HandleToULong(e1),  HandleToULong(e2),  HandleToULong(t7),
                                      HandleToULong(t8a), HandleToULong(t8b), HandleToULong(t9)};
    EXPECT_EQ(expected, handles());
    // Handles are distinct 32-bit values.
    EXPECT_EQ(6u, std::set<uint32_t>(expected.begin(), expected.end()).size());
}

TEST_F(NotifyApiTest, HandlesBufferTooSmallFailsWithCount) {
    timed(at(2027, 3, 28, 9, 0));
    timed(at(2027, 3, 28, 10, 0));
    HANDLE one[1] = {ULongToHandle(0xdeadbeef)};
    DWORD count = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CeGetUserNotificationHandles(one, 1, &count));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(2u, count);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CeGetUserNotificationHandles(one, 1, nullptr));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
}

// The record: header, trigger and user notification in one buffer, their pointers leading
// into it, the strings after them; each field reads back as it was set.
TEST_F(NotifyApiTest, RecordLayoutReadsBackFieldByField) {
    CE_USER_NOTIFICATION u{};
    u.ActionFlags = 0xD; // LED, dialog, repeat... as the Parts write it: stored untouched
    u.pwszDialogTitle = const_cast<WCHAR*>(u"POOM: 42");
    u.pwszDialogText = const_cast<WCHAR*>(u"Dentist\r\nMain St");
    u.pwszSound = const_cast<WCHAR*>(u"alarm1.wav");
    u.nMaxSound = 7;
    HANDLE h = timed(at(2027, 3, 28, 9, 15, 30), u"calendar.exe", u"POOM: 42", &u);
    ASSERT_NE(nullptr, h);
    std::vector<BYTE> buf = record(h);
    ASSERT_GE(buf.size(), sizeof(CE_NOTIFICATION_INFO_HEADER));
    const BYTE* begin = buf.data();
    const BYTE* end = begin + buf.size();
    auto inside = [&](const void* p) {
        return static_cast<const BYTE*>(p) >= begin && static_cast<const BYTE*>(p) < end;
    };
    auto header = reinterpret_cast<const CE_NOTIFICATION_INFO_HEADER*>(begin);
    EXPECT_EQ(HandleToULong(h), HandleToULong(header->hNotification));
    EXPECT_EQ(0u, header->dwStatus);
    ASSERT_TRUE(inside(header->pcent));
    ASSERT_TRUE(inside(header->pceun));
    const CE_NOTIFICATION_TRIGGER* t = header->pcent;
    EXPECT_EQ(sizeof(CE_NOTIFICATION_TRIGGER), t->dwSize);
    EXPECT_EQ(DWORD(CNT_TIME), t->dwType);
    EXPECT_EQ(0u, t->dwEvent);
    EXPECT_EQ(2027, t->stStartTime.wYear);
    EXPECT_EQ(3, t->stStartTime.wMonth);
    EXPECT_EQ(28, t->stStartTime.wDay);
    EXPECT_EQ(0, t->stStartTime.wDayOfWeek); // a Sunday
    EXPECT_EQ(9, t->stStartTime.wHour);
    EXPECT_EQ(15, t->stStartTime.wMinute);
    EXPECT_EQ(30, t->stStartTime.wSecond);
    EXPECT_EQ(0, t->stEndTime.wYear);
    ASSERT_TRUE(inside(t->lpszApplication));
    ASSERT_TRUE(inside(t->lpszArguments));
    EXPECT_EQ(std::u16string(u"calendar.exe"), std::u16string(t->lpszApplication));
    EXPECT_EQ(std::u16string(u"POOM: 42"), std::u16string(t->lpszArguments));
    const CE_USER_NOTIFICATION* un = header->pceun;
    EXPECT_EQ(0xDu, un->ActionFlags);
    EXPECT_EQ(7u, un->nMaxSound);
    ASSERT_TRUE(inside(un->pwszDialogTitle) && inside(un->pwszDialogText) && inside(un->pwszSound));
    EXPECT_EQ(std::u16string(u"POOM: 42"), std::u16string(un->pwszDialogTitle));
    EXPECT_EQ(std::u16string(u"Dentist\r\nMain St"), std::u16string(un->pwszDialogText));
    EXPECT_EQ(std::u16string(u"alarm1.wav"), std::u16string(un->pwszSound));
    // Strings come after the structures and end inside the buffer.
    EXPECT_GT(reinterpret_cast<const BYTE*>(t->lpszApplication),
              reinterpret_cast<const BYTE*>(un) + sizeof *un - 1);
    EXPECT_LE(reinterpret_cast<const BYTE*>(un->pwszSound) + sizeof(u"alarm1.wav"), end);
}

// No user notification: pceun is NULL; a zero-filled one is kept as given (both occur).
TEST_F(NotifyApiTest, RecordWithoutAndWithEmptyUserNotification) {
    HANDLE none = timed(at(2027, 3, 28, 9, 0), u"\\windows\\zvWakeup.exe", nullptr);
    CE_USER_NOTIFICATION zero{};
    HANDLE empty = timed(at(2027, 3, 28, 9, 0), u"\\windows\\zvNotes.exe", u"", &zero);
    std::vector<BYTE> a = record(none);
    auto ha = reinterpret_cast<const CE_NOTIFICATION_INFO_HEADER*>(a.data());
    EXPECT_EQ(nullptr, ha->pceun);
    EXPECT_EQ(nullptr, ha->pcent->lpszArguments);
    std::vector<BYTE> b = record(empty);
    auto hb = reinterpret_cast<const CE_NOTIFICATION_INFO_HEADER*>(b.data());
    ASSERT_NE(nullptr, hb->pceun);
    EXPECT_EQ(0u, hb->pceun->ActionFlags);
    EXPECT_EQ(nullptr, hb->pceun->pwszDialogTitle);
    ASSERT_NE(nullptr, hb->pcent->lpszArguments);
    EXPECT_EQ(u'\0', hb->pcent->lpszArguments[0]);
    EXPECT_GT(b.size(), a.size());
}

// Replacing keeps the handle and moves the entry to its new place in the order.
TEST_F(NotifyApiTest, ReplacedNotificationKeepsItsHandle) {
    HANDLE early = timed(at(2027, 3, 28, 7, 0));
    HANDLE late = timed(at(2027, 3, 28, 9, 0));
    CE_NOTIFICATION_TRIGGER t{};
    t.dwSize = 52; // what a 32-bit program writes
    t.dwType = CNT_TIME;
    t.lpszApplication = const_cast<WCHAR*>(u"\\Windows\\moved.exe");
    t.lpszArguments = const_cast<WCHAR*>(u"-zN");
    t.stStartTime = at(2027, 3, 28, 10, 0);
    SetLastError(0xdeadbeef);
    HANDLE again = CeSetUserNotificationEx(early, &t, nullptr);
    EXPECT_EQ(HandleToULong(early), HandleToULong(again));
    std::vector<uint32_t> expected = {HandleToULong(late), HandleToULong(early)};
    EXPECT_EQ(expected, handles());
    std::vector<BYTE> buf = record(early);
    auto h = reinterpret_cast<const CE_NOTIFICATION_INFO_HEADER*>(buf.data());
    EXPECT_EQ(10, h->pcent->stStartTime.wHour);
    EXPECT_EQ(std::u16string(u"-zN"), std::u16string(h->pcent->lpszArguments));
    // A handle that does not exist is not made up.
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, CeSetUserNotificationEx(ULongToHandle(0x7777777), &t, nullptr));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(2u, handles().size());
}

TEST_F(NotifyApiTest, ClearRemovesOnlyThatNotification) {
    HANDLE a = timed(at(2027, 3, 28, 7, 0));
    HANDLE b = timed(at(2027, 3, 28, 8, 0));
    EXPECT_TRUE(CeClearUserNotification(a));
    EXPECT_EQ(std::vector<uint32_t>{HandleToULong(b)}, handles());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CeClearUserNotification(a));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    DWORD size = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CeGetUserNotification(a, 0, &size, nullptr));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(0xdeadbeefu, size);
}

TEST_F(NotifyApiTest, BadTriggersAreRefused) {
    CE_NOTIFICATION_TRIGGER t{};
    t.dwSize = sizeof t;
    t.dwType = CNT_TIME;
    t.lpszApplication = const_cast<WCHAR*>(u"a.exe");
    t.stStartTime = at(2027, 2, 30, 7, 0); // no such day
    struct Case {
        const char* what;
        CE_NOTIFICATION_TRIGGER trigger;
    };
    std::vector<Case> cases;
    cases.push_back({"invalid date", t});
    t.stStartTime = at(2027, 3, 28, 7, 0);
    CE_NOTIFICATION_TRIGGER small = t;
    small.dwSize = 51;
    cases.push_back({"dwSize 51", small});
    CE_NOTIFICATION_TRIGGER kind = t;
    kind.dwType = 9;
    cases.push_back({"dwType 9", kind});
    CE_NOTIFICATION_TRIGGER ev = t;
    ev.dwType = CNT_EVENT;
    ev.dwEvent = NOTIFICATION_EVENT_NONE;
    cases.push_back({"event none", ev});
    CE_NOTIFICATION_TRIGGER noApp = t;
    noApp.lpszApplication = nullptr;
    cases.push_back({"no application", noApp});
    std::u16string huge(5000, u'x');
    CE_NOTIFICATION_TRIGGER longArgs = t;
    longArgs.lpszArguments = huge.data();
    cases.push_back({"arguments of 5000 characters", longArgs});
    for (auto& c : cases) {
        SetLastError(0xdeadbeef);
        EXPECT_EQ(nullptr, CeSetUserNotificationEx(nullptr, &c.trigger, nullptr)) << c.what;
        EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError()) << c.what;
    }
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, CeSetUserNotificationEx(nullptr, nullptr, nullptr));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_TRUE(handles().empty());
}

// CeRunAppAtEvent registers once per program and event with the event's command line;
// NOTIFICATION_EVENT_NONE removes all the program's events (compared without case).
TEST_F(NotifyApiTest, RunAppAtEventRegistersAndRemoves) {
    WCHAR app[] = u"\\Windows\\zvCleanup.exe";
    EXPECT_TRUE(CeRunAppAtEvent(app, NOTIFICATION_EVENT_TIME_CHANGE));
    EXPECT_TRUE(CeRunAppAtEvent(app, NOTIFICATION_EVENT_TIME_CHANGE));
    EXPECT_TRUE(CeRunAppAtEvent(app, NOTIFICATION_EVENT_TZ_CHANGE));
    EXPECT_TRUE(CeRunAppAtEvent(app, NOTIFICATION_EVENT_RESTORE_END));
    std::vector<uint32_t> hs = handles();
    ASSERT_EQ(3u, hs.size());
    const char16_t* words[] = {u"AppRunAfterTimeChange", u"AppRunAfterTzChange",
                               u"AppRunAfterRestore"};
    for (size_t i = 0; i < 3; ++i) {
        std::vector<BYTE> buf = record(ULongToHandle(hs[i]));
        auto h = reinterpret_cast<const CE_NOTIFICATION_INFO_HEADER*>(buf.data());
        EXPECT_EQ(DWORD(CNT_EVENT), h->pcent->dwType);
        EXPECT_EQ(std::u16string(words[i]), std::u16string(h->pcent->lpszArguments));
        EXPECT_EQ(0, h->pcent->stStartTime.wYear);
    }
    WCHAR other[] = u"\\WINDOWS\\ZVCLEANUP.EXE";
    EXPECT_TRUE(CeRunAppAtEvent(other, NOTIFICATION_EVENT_NONE));
    EXPECT_TRUE(handles().empty());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CeRunAppAtEvent(app, 99));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
}

// CeRunAppAtTime keeps one timed registration per program ("AppRunAtTime"); NULL removes it.
TEST_F(NotifyApiTest, RunAppAtTimeReplacesAndClears) {
    WCHAR app[] = u"\\Windows\\sqmevent.exe";
    SYSTEMTIME a = at(2027, 3, 29, 1, 0), b = at(2027, 3, 29, 2, 0);
    EXPECT_TRUE(CeRunAppAtTime(app, &a));
    EXPECT_TRUE(CeRunAppAtTime(app, &b));
    std::vector<uint32_t> hs = handles();
    ASSERT_EQ(1u, hs.size());
    std::vector<BYTE> buf = record(ULongToHandle(hs[0]));
    auto h = reinterpret_cast<const CE_NOTIFICATION_INFO_HEADER*>(buf.data());
    EXPECT_EQ(DWORD(CNT_CLASSICTIME), h->pcent->dwType);
    EXPECT_EQ(2, h->pcent->stStartTime.wHour);
    EXPECT_EQ(std::u16string(u"AppRunAtTime"), std::u16string(h->pcent->lpszArguments));
    EXPECT_TRUE(CeRunAppAtTime(app, nullptr));
    EXPECT_TRUE(handles().empty());
}

// The trigger keeps the moment: a change of zone shows the same notification at another
// local time.
TEST_F(NotifyApiTest, ZoneChangeMovesTheLocalTimeNotTheMoment) {
    HANDLE h = timed(at(2027, 3, 28, 9, 0));
    std::vector<std::pair<uint32_t, int64_t>> before;
    ASSERT_EQ(DWORD(ERROR_SUCCESS), ce::notify::listQueueRecords(&before));
    ASSERT_TRUE(ce::setDeviceZone("Europe/Berlin"));
    std::vector<BYTE> buf = record(h);
    auto header = reinterpret_cast<const CE_NOTIFICATION_INFO_HEADER*>(buf.data());
    EXPECT_EQ(11, header->pcent->stStartTime.wHour); // 09:00 UTC is 11:00 summer time
    std::vector<std::pair<uint32_t, int64_t>> after;
    ASSERT_EQ(DWORD(ERROR_SUCCESS), ce::notify::listQueueRecords(&after));
    EXPECT_EQ(before, after);
}

// Several processes adding and clearing at once: no handle given twice, none lost.
TEST_F(NotifyApiTest, ManyProcessesAddAndClearWithoutLosingOne) {
    constexpr int kProcesses = 6, kEach = 40;
    std::vector<std::unique_ptr<cetest::Child>> children;
    for (int p = 0; p < kProcesses; ++p)
        children.push_back(std::make_unique<cetest::Child>([this, p] {
            std::vector<HANDLE> mine;
            for (int i = 0; i < kEach; ++i) {
                HANDLE h = timed(at(2027, 4, 1 + p, 1, i));
                if (!h) return 10;
                mine.push_back(h);
                // Every third one is cleared again at once.
                if (i % 3 == 0) {
                    if (!CeClearUserNotification(h)) return 11;
                    mine.pop_back();
                }
            }
            return 0;
        }));
    for (auto& c : children)
        EXPECT_EQ(0, c->wait());
    std::vector<uint32_t> hs = handles();
    int kept = kProcesses * (kEach - (kEach + 2) / 3);
    EXPECT_EQ(size_t(kept), hs.size());
    EXPECT_EQ(hs.size(), std::set<uint32_t>(hs.begin(), hs.end()).size());
}

} // namespace
