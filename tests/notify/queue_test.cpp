// queue_test.cpp: the notification queue database (windbase.h): mounting "\mxip_notify.vol",
// opening DB_notify_queue, seeking and reading the fire times, the records after a snooze,
// and WM_DBNOTIFICATION in the window of the same and of another process.
#include <notify.h>
#include <windbase.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "kernel/clock.h"
#include "notify/notifystore.h"
#include "testdisplay.h"

namespace {

using cetest::DeviceTest;

SYSTEMTIME at(WORD h, WORD mi) {
    SYSTEMTIME st{};
    st.wYear = 2027;
    st.wMonth = 3;
    st.wDay = 28;
    st.wHour = h;
    st.wMinute = mi;
    return st;
}

HANDLE addTimed(WORD h, WORD mi, bool dialog = false) {
    CE_NOTIFICATION_TRIGGER t{};
    t.dwSize = sizeof t;
    t.dwType = CNT_TIME;
    t.lpszApplication = const_cast<WCHAR*>(u"calendar.exe");
    t.lpszArguments = const_cast<WCHAR*>(u"POOM: 1");
    t.stStartTime = at(h, mi);
    CE_USER_NOTIFICATION u{};
    u.ActionFlags = PUN_DIALOG;
    return CeSetUserNotificationEx(nullptr, &t, dialog ? &u : nullptr);
}

int64_t utcOf(WORD h, WORD mi) {
    return cetest::isoToFileTime("2027-03-28T00:00:00Z") + (h * 60 + mi) * ce::kFileTimePerMinute;
}

class QueueTest : public DeviceTest {
protected:
    QueueTest() { device.freezeAt("2027-03-28T00:30:00Z"); }

    // Mounts the volume and opens the queue without a notify request.
    HANDLE open(CEGUID* guid) {
        WCHAR vol[] = u"\\mxip_notify.vol";
        EXPECT_TRUE(CeMountDBVol(guid, vol, OPEN_EXISTING));
        CEOID oid = 0xdeadbeef;
        WCHAR name[] = u"DB_notify_queue";
        HANDLE db = CeOpenDatabaseEx(guid, &oid, name, 0, 0, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, db);
        EXPECT_NE(0xdeadbeefu, oid);
        return db;
    }

    // Every record as (oid, fire time): the scan the product makes, seeking to the beginning
    // once and one on from the current record for each later one.
    std::vector<std::pair<CEOID, int64_t>> scan(HANDLE db) {
        std::vector<std::pair<CEOID, int64_t>> out;
        DWORD index = 0xdeadbeef;
        CEOID oid = CeSeekDatabase(db, CEDB_SEEK_BEGINNING, 0, &index);
        while (oid) {
            WORD props = 1;
            CEPROPID id = (1u << 16) | CEVT_FILETIME;
            LPBYTE buf = nullptr;
            DWORD size = 0;
            CEOID read = CeReadRecordProps(db, CEDB_ALLOCATE, &props, &id, &buf, &size);
            EXPECT_EQ(oid, read);
            if (!read || !buf) break;
            EXPECT_EQ(1, props);
            EXPECT_EQ(sizeof(CEPROPVAL), size);
            auto v = reinterpret_cast<CEPROPVAL*>(buf);
            EXPECT_EQ(id, v->propid);
            EXPECT_EQ(0, v->wFlags);
            int64_t t =
                (int64_t(v->val.filetime.dwHighDateTime) << 32) | v->val.filetime.dwLowDateTime;
            out.emplace_back(oid, t);
            LocalFree(buf);
            oid = CeSeekDatabase(db, CEDB_SEEK_CURRENT, 1, &index);
        }
        return out;
    }
};

// The records follow the timed notifications in handle order, each with its fire time; event
// notifications have none.
TEST_F(QueueTest, RecordsFollowTheHandlesWithTheirFireTimes) {
    HANDLE late = addTimed(9, 0);
    WCHAR app[] = u"\\Windows\\ev.exe";
    ASSERT_TRUE(CeRunAppAtEvent(app, NOTIFICATION_EVENT_WAKEUP));
    HANDLE early = addTimed(7, 45);
    CEGUID guid;
    HANDLE db = open(&guid);
    auto records = scan(db);
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ(HandleToULong(early), records[0].first);
    EXPECT_EQ(utcOf(7, 45), records[0].second);
    EXPECT_EQ(HandleToULong(late), records[1].first);
    EXPECT_EQ(utcOf(9, 0), records[1].second);
    EXPECT_TRUE(CloseHandle(db));
    EXPECT_TRUE(CeUnmountDBVol(&guid));
}

// A snooze moves the record's time and its place in the queue; the trigger's start stays.
TEST_F(QueueTest, SnoozeMovesTheQueueTimeNotTheTrigger) {
    HANDLE a = addTimed(7, 0, true);
    HANDLE b = addTimed(7, 10, true);
    CEGUID guid;
    HANDLE db = open(&guid);
    auto before = scan(db);
    ASSERT_EQ(2u, before.size());
    EXPECT_EQ(HandleToULong(a), before[0].first);
    ASSERT_EQ(DWORD(ERROR_SUCCESS), ce::notify::snoozeNotification(HandleToULong(a), utcOf(7, 20)));
    auto after = scan(db);
    ASSERT_EQ(2u, after.size());
    EXPECT_EQ(HandleToULong(b), after[0].first);
    EXPECT_EQ(utcOf(7, 10), after[0].second);
    EXPECT_EQ(HandleToULong(a), after[1].first);
    EXPECT_EQ(utcOf(7, 20), after[1].second);
    // The handles follow the queue.
    HANDLE hs[2] = {};
    DWORD n = 0;
    ASSERT_TRUE(CeGetUserNotificationHandles(hs, 2, &n));
    EXPECT_EQ(HandleToULong(b), HandleToULong(hs[0]));
    DWORD size = 0;
    CeGetUserNotification(a, 0, &size, nullptr);
    std::vector<BYTE> buf(size);
    ASSERT_TRUE(CeGetUserNotification(a, size, &size, buf.data()));
    auto header = reinterpret_cast<CE_NOTIFICATION_INFO_HEADER*>(buf.data());
    EXPECT_EQ(7, header->pcent->stStartTime.wHour);
    EXPECT_EQ(0, header->pcent->stStartTime.wMinute);
    CloseHandle(db);
    CeUnmountDBVol(&guid);
}

TEST_F(QueueTest, SeekAndReadEdges) {
    HANDLE a = addTimed(7, 0);
    HANDLE b = addTimed(8, 0);
    CEGUID guid;
    HANDLE db = open(&guid);
    DWORD index = 0xdeadbeef;
    EXPECT_EQ(HandleToULong(b), CeSeekDatabase(db, CEDB_SEEK_END, 0, &index));
    EXPECT_EQ(1u, index);
    EXPECT_EQ(HandleToULong(a), CeSeekDatabase(db, CEDB_SEEK_CURRENT, DWORD(-1), &index));
    EXPECT_EQ(0u, index);
    EXPECT_EQ(HandleToULong(b), CeSeekDatabase(db, CEDB_SEEK_CEOID, HandleToULong(b), &index));
    index = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0u, CeSeekDatabase(db, CEDB_SEEK_BEGINNING, 5, &index));
    EXPECT_EQ(0xdeadbeefu, index);
    // Past the end there is nothing to read.
    WORD props = 0;
    LPBYTE buf = nullptr;
    DWORD size = 0;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0u, CeReadRecordProps(db, CEDB_ALLOCATE, &props, nullptr, &buf, &size));
    EXPECT_EQ(DWORD(ERROR_NO_MORE_ITEMS), GetLastError());
    EXPECT_EQ(nullptr, buf);
    // Without CEDB_ALLOCATE a small buffer is refused with the size needed; an unknown
    // property is flagged, not invented.
    ASSERT_EQ(HandleToULong(a), CeSeekDatabase(db, CEDB_SEEK_BEGINNING, 0, &index));
    BYTE small[8];
    LPBYTE p = small;
    size = sizeof small;
    CEPROPID ids[2] = {(1u << 16) | CEVT_FILETIME, (7u << 16) | CEVT_I4};
    props = 2;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0u, CeReadRecordProps(db, 0, &props, ids, &p, &size));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(2 * sizeof(CEPROPVAL), size);
    std::vector<BYTE> big(size + 8, 0xAB);
    p = big.data();
    EXPECT_EQ(HandleToULong(a), CeReadRecordProps(db, 0, &props, ids, &p, &size));
    auto v = reinterpret_cast<CEPROPVAL*>(big.data());
    EXPECT_EQ(0, v[0].wFlags);
    EXPECT_EQ(ids[1], v[1].propid);
    EXPECT_EQ(CEDB_PROPNOTFOUND, v[1].wFlags);
    for (size_t i = size; i < big.size(); ++i)
        EXPECT_EQ(0xAB, big[i]);
    CloseHandle(db);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0u, CeSeekDatabase(db, CEDB_SEEK_BEGINNING, 0, &index));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    CeUnmountDBVol(&guid);
}

TEST_F(QueueTest, MountAndOpenRefuseWhatIsNotThere) {
    CEGUID guid;
    CREATE_INVALIDGUID(&guid);
    WCHAR other[] = u"\\other.vol";
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CeMountDBVol(&guid, other, OPEN_EXISTING));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_TRUE(CHECK_INVALIDGUID(&guid));
    CEOID oid = 0;
    WCHAR name[] = u"DB_notify_queue";
    SetLastError(0xdeadbeef);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CeOpenDatabaseEx(&guid, &oid, name, 0, 0, nullptr));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    WCHAR vol[] = u"\\MXIP_NOTIFY.VOL";
    ASSERT_TRUE(CeMountDBVol(&guid, vol, OPEN_EXISTING));
    WCHAR wrong[] = u"DB_other";
    SetLastError(0xdeadbeef);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CeOpenDatabaseEx(&guid, &oid, wrong, 0, 0, nullptr));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_TRUE(CeUnmountDBVol(&guid));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CeUnmountDBVol(&guid));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
}

// A window of this process that opened the queue with an extended request gets one record
// per change, of the right kind, freed with CeFreeNotification.
TEST_F(QueueTest, ChangesArriveAsRecordsInTheWindow) {
    int rc = cetest::runInChild([] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = u"QueueSink";
        RegisterClassW(&wc);
        HWND w = CreateWindowExW(0, u"QueueSink", u"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 nullptr, nullptr);
        if (!w) return 1;
        CEGUID guid;
        WCHAR vol[] = u"\\mxip_notify.vol";
        if (!CeMountDBVol(&guid, vol, OPEN_EXISTING)) return 2;
        CENOTIFYREQUEST req{};
        req.dwSize = sizeof req;
        req.hwnd = w;
        req.dwFlags = CEDB_EXNOTIFICATION;
        req.dwParam = 1;
        CEOID oid = 0;
        WCHAR name[] = u"DB_notify_queue";
        HANDLE db = CeOpenDatabaseEx(&guid, &oid, name, 0, 0, &req);
        if (db == INVALID_HANDLE_VALUE) return 3;
        HANDLE h = addTimed(7, 0);
        CE_NOTIFICATION_TRIGGER t{};
        t.dwSize = sizeof t;
        t.dwType = CNT_TIME;
        t.lpszApplication = const_cast<WCHAR*>(u"x.exe");
        t.stStartTime = at(8, 0);
        if (CeSetUserNotificationEx(h, &t, nullptr) != h) return 4;
        if (!CeClearUserNotification(h)) return 5;
        const UINT expected[] = {DB_CEOID_CREATED, DB_CEOID_CHANGED, DB_CEOID_RECORD_DELETED};
        for (UINT kind : expected) {
            MSG m{};
            if (!PeekMessageW(&m, w, WM_DBNOTIFICATION, WM_DBNOTIFICATION, PM_REMOVE)) return 6;
            auto n = reinterpret_cast<CENOTIFICATION*>(m.lParam);
            if (!n || n->dwSize != sizeof *n || n->uType != kind || n->dwParam != 1 ||
                n->oid != HandleToULong(h) || n->oidParent != oid || n->guid.Data1 != guid.Data1)
                return 7;
            if (!CeFreeNotification(&req, n)) return 8;
        }
        MSG extra{};
        if (PeekMessageW(&extra, w, WM_DBNOTIFICATION, WM_DBNOTIFICATION, PM_REMOVE)) return 9;
        // Once the handle is closed the window hears nothing more.
        CloseHandle(db);
        addTimed(9, 0);
        if (PeekMessageW(&extra, w, WM_DBNOTIFICATION, WM_DBNOTIFICATION, PM_REMOVE)) return 10;
        return 0;
    });
    EXPECT_EQ(0, rc);
}

class QueueDisplayTest : public cetest::DisplayTest {};

bool waitForFile(const std::filesystem::path& f, int ms) {
    for (int i = 0; i < ms / 10; ++i) {
        if (std::filesystem::exists(f)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// A change made by one program reaches the window of another, its record rebuilt there.
TEST_F(QueueDisplayTest, ChangeArrivesInAnotherProcess) {
    if (!display || !display->running()) GTEST_SKIP() << "no display";
    std::filesystem::path ready = device.dir() / "receiver.ready";
    cetest::Child receiver([&] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = u"QueueSink";
        RegisterClassW(&wc);
        HWND w = CreateWindowExW(0, u"QueueSink", u"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 nullptr, nullptr);
        CEGUID guid;
        WCHAR vol[] = u"\\mxip_notify.vol";
        if (!w || !CeMountDBVol(&guid, vol, OPEN_EXISTING)) return 1;
        CENOTIFYREQUEST req{20, w, CEDB_EXNOTIFICATION, nullptr, 77};
        CEOID oid = 0;
        WCHAR name[] = u"DB_notify_queue";
        HANDLE db = CeOpenDatabaseEx(&guid, &oid, name, 0, 0, &req);
        if (db == INVALID_HANDLE_VALUE) return 2;
        std::ofstream(ready) << "ready";
        for (int i = 0; i < 1000; ++i) {
            MSG m{};
            while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
                if (m.message != WM_DBNOTIFICATION) continue;
                auto n = reinterpret_cast<CENOTIFICATION*>(m.lParam);
                if (!n || n->uType != DB_CEOID_CREATED || n->dwParam != 77 || n->oidParent != oid ||
                    n->oid == 0)
                    return 3;
                return CeFreeNotification(&req, n) ? 0 : 4;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 5; // nothing arrived
    });
    ASSERT_TRUE(waitForFile(ready, 10000));
    int poster = cetest::runInChild([] { return addTimed(7, 0) ? 0 : 1; });
    EXPECT_EQ(0, poster);
    EXPECT_EQ(0, receiver.wait());
}

} // namespace
