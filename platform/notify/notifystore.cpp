// notifystore.cpp: the notification database on SQLite (notify.db of the device folder): the
// schema, the per-process connection and every read and write of notifications, queue
// watchers, device events and shell notifications. See notifystore.h.
#include "notify/notifystore.h"

#include <sqlite3.h>
#include <pthread.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "kernel/device.h"
#include "kernel/process.h"
#include "kernel/trace.h"
#include "notify.h"
#include "windbase.h"

namespace ce::notify {
namespace {

// Long enough for a burst of writers from many processes; each holds the lock for a few ms.
constexpr int kBusyTimeoutMs = 10000;

const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS meta(name TEXT PRIMARY KEY, value INTEGER NOT NULL);
INSERT OR IGNORE INTO meta(name, value) VALUES ('next_handle', 1), ('changes', 0),
    ('next_sequence', 1);
CREATE TABLE IF NOT EXISTS notifications(
    handle INTEGER PRIMARY KEY,
    sequence INTEGER NOT NULL,
    type INTEGER NOT NULL,
    event INTEGER NOT NULL,
    application BLOB, arguments BLOB,
    start_utc INTEGER, end_utc INTEGER, queue_utc INTEGER,
    has_user INTEGER NOT NULL, action_flags INTEGER NOT NULL,
    title BLOB, text BLOB, sound BLOB,
    max_sound INTEGER NOT NULL, reserved INTEGER NOT NULL,
    status INTEGER NOT NULL DEFAULT 0);
CREATE INDEX IF NOT EXISTS notifications_queue ON notifications(queue_utc, sequence);
CREATE TABLE IF NOT EXISTS watchers(
    id INTEGER PRIMARY KEY, pid INTEGER NOT NULL, start INTEGER NOT NULL,
    hwnd INTEGER NOT NULL, flags INTEGER NOT NULL, param INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS device_events(id INTEGER PRIMARY KEY, event INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS shell_notifications(
    clsid TEXT NOT NULL, id INTEGER NOT NULL, priority INTEGER NOT NULL,
    duration INTEGER NOT NULL, flags INTEGER NOT NULL, sink INTEGER NOT NULL,
    lparam INTEGER NOT NULL, title BLOB, html BLOB, PRIMARY KEY (clsid, id));
)sql";

// Handle order: event notifications (no queue time) first by creation, then the timed ones by
// queue time.
const char* const kOrder = " ORDER BY queue_utc IS NOT NULL, queue_utc, sequence";

class Statement {
public:
    explicit Statement(sqlite3_stmt* stmt) : stmt_(stmt) {}
    ~Statement() {
        if (stmt_) {
            sqlite3_reset(stmt_);
            sqlite3_clear_bindings(stmt_);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool valid() const { return stmt_ != nullptr; }
    Statement& bind(int i, int64_t v) {
        if (stmt_) sqlite3_bind_int64(stmt_, i, v);
        return *this;
    }
    Statement& bind(int i, const std::optional<int64_t>& v) {
        if (stmt_) v ? sqlite3_bind_int64(stmt_, i, *v) : sqlite3_bind_null(stmt_, i);
        return *this;
    }
    Statement& bind(int i, const Text& t) {
        if (!stmt_) return *this;
        if (!t)
            sqlite3_bind_null(stmt_, i);
        else // an empty text must stay a text, not become NULL: bind a zero-length blob
            sqlite3_bind_blob(stmt_, i, t->empty() ? "" : static_cast<const void*>(t->data()),
                              static_cast<int>(t->size() * 2), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int i, const std::string& s) {
        if (stmt_)
            sqlite3_bind_text(stmt_, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        return *this;
    }
    int step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_MISUSE; }
    int64_t integer(int c) { return sqlite3_column_int64(stmt_, c); }
    std::optional<int64_t> optInteger(int c) {
        if (sqlite3_column_type(stmt_, c) == SQLITE_NULL) return std::nullopt;
        return integer(c);
    }
    Text text(int c) {
        if (sqlite3_column_type(stmt_, c) == SQLITE_NULL) return std::nullopt;
        const void* p = sqlite3_column_blob(stmt_, c);
        size_t bytes = static_cast<size_t>(sqlite3_column_bytes(stmt_, c));
        std::u16string s(bytes / 2, u'\0');
        if (p && bytes >= 2) std::memcpy(s.data(), p, s.size() * 2);
        return s;
    }
    std::string utf8(int c) {
        auto p = sqlite3_column_text(stmt_, c);
        return p ? std::string(reinterpret_cast<const char*>(p)) : std::string();
    }

private:
    sqlite3_stmt* stmt_;
};

class Db {
public:
    ~Db() {
        for (auto& [sql, stmt] : cache_)
            sqlite3_finalize(stmt);
        if (db_) sqlite3_close_v2(db_);
    }

    bool open(const std::filesystem::path& file) {
        int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
        if (sqlite3_open_v2(file.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
            CE_TRACE("notify", "cannot open %s: %s", file.c_str(),
                     db_ ? sqlite3_errmsg(db_) : "out of memory");
            return false;
        }
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
        if (!exec("PRAGMA journal_mode=WAL")) return false;
        exec("PRAGMA synchronous=NORMAL");
        return write([&] {
                   return exec(kSchema) ? DWORD(ERROR_SUCCESS) : DWORD(ERROR_CANTWRITE);
               }) == ERROR_SUCCESS;
    }

    bool exec(const char* sql) {
        char* message = nullptr;
        int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
        if (rc != SQLITE_OK) {
            CE_TRACE("notify", "%s: %s", sql, message ? message : sqlite3_errstr(rc));
            sqlite3_free(message);
            return false;
        }
        return true;
    }

    Statement query(const char* sql) {
        auto it = cache_.find(sql);
        if (it != cache_.end()) return Statement(it->second);
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
            SQLITE_OK) {
            CE_TRACE("notify", "prepare: %s (%s)", sqlite3_errmsg(db_), sql);
            return Statement(nullptr);
        }
        cache_.emplace(sql, stmt);
        return Statement(stmt);
    }

    // One write transaction: committed when body returns ERROR_SUCCESS. A change (changed set
    // by the body through markChanged) bumps the change counter.
    DWORD write(const std::function<DWORD()>& body) {
        if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
            return ERROR_CANTWRITE;
        changed_ = false;
        DWORD result = ERROR_CANTWRITE;
        try {
            result = body();
        } catch (...) {
            result = ERROR_NOT_ENOUGH_MEMORY;
        }
        if (result == ERROR_SUCCESS && changed_ &&
            query("UPDATE meta SET value = value + 1 WHERE name = 'changes'").step() != SQLITE_DONE)
            result = ERROR_CANTWRITE;
        if (result == ERROR_SUCCESS &&
            sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            result = ERROR_CANTWRITE;
        if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return result;
    }

    DWORD read(const std::function<DWORD()>& body) {
        if (sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
            return ERROR_CANTREAD;
        DWORD result = ERROR_CANTREAD;
        try {
            result = body();
        } catch (...) {
            result = ERROR_NOT_ENOUGH_MEMORY;
        }
        sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return result;
    }

    void markChanged() { changed_ = true; }

    // Takes the next value of a counter in meta (inside write()).
    bool nextValue(const char* name, int64_t* out) {
        auto q = query("SELECT value FROM meta WHERE name = ?1");
        q.bind(1, std::string(name));
        if (q.step() != SQLITE_ROW) return false;
        *out = q.integer(0);
        auto u = query("UPDATE meta SET value = value + 1 WHERE name = ?1");
        u.bind(1, std::string(name));
        return u.step() == SQLITE_DONE;
    }

private:
    sqlite3* db_ = nullptr;
    bool changed_ = false;
    std::unordered_map<const char*, sqlite3_stmt*> cache_;
};

struct ProcessStore {
    std::mutex lock; // plain, so that a forked child can release what its parent held
    std::unique_ptr<Db> db;
    std::filesystem::path dir;
    pid_t pid = 0;
};

ProcessStore& store() {
    static ProcessStore* s = new ProcessStore(); // lives past static destructors
    return *s;
}

// A connection never crosses fork(): SQLite's locks belong to the process that took them. It
// is closed before every fork and opened again on the next use, in parent and child alike.
void beforeFork() {
    store().lock.lock();
    store().db.reset();
}
void afterFork() {
    store().lock.unlock();
}

// Runs fn with this process's connection to the attached device's notify.db.
DWORD withDb(const std::function<DWORD(Db&)>& fn) {
    static std::once_flag once;
    std::call_once(once, [] { pthread_atfork(beforeFork, afterFork, afterFork); });
    ProcessStore& s = store();
    std::lock_guard<std::mutex> guard(s.lock);
    std::filesystem::path dir = ce::deviceDir();
    if (dir.empty()) return ERROR_CANTOPEN;
    if (s.dir != dir || s.pid != getpid()) s.db.reset();
    if (!s.db) {
        auto db = std::make_unique<Db>();
        if (!db->open(dir / "notify.db")) return ERROR_CANTOPEN;
        s.db = std::move(db);
        s.dir = dir;
        s.pid = getpid();
    }
    try {
        return fn(*s.db);
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

const char* const kColumns =
    "SELECT handle, sequence, type, event, application, arguments, start_utc, end_utc, "
    "queue_utc, has_user, action_flags, title, text, sound, max_sound, reserved, status "
    "FROM notifications";

Notification rowOf(Statement& q) {
    Notification n;
    n.handle = static_cast<uint32_t>(q.integer(0));
    n.sequence = q.integer(1);
    n.type = static_cast<DWORD>(q.integer(2));
    n.event = static_cast<DWORD>(q.integer(3));
    n.application = q.text(4);
    n.arguments = q.text(5);
    n.startUtc = q.optInteger(6);
    n.endUtc = q.optInteger(7);
    n.queueUtc = q.optInteger(8);
    n.hasUser = q.integer(9) != 0;
    n.actionFlags = static_cast<DWORD>(q.integer(10));
    n.title = q.text(11);
    n.text = q.text(12);
    n.sound = q.text(13);
    n.maxSound = static_cast<DWORD>(q.integer(14));
    n.reserved = static_cast<DWORD>(q.integer(15));
    n.status = static_cast<DWORD>(q.integer(16));
    return n;
}

// Binds the fields of n from ?3 on (the statements below list them in this order).
void bindFields(Statement& q, const Notification& n) {
    q.bind(3, int64_t{n.type}).bind(4, int64_t{n.event}).bind(5, n.application);
    q.bind(6, n.arguments).bind(7, n.startUtc).bind(8, n.endUtc).bind(9, n.queueUtc);
    q.bind(10, int64_t{n.hasUser}).bind(11, int64_t{n.actionFlags}).bind(12, n.title);
    q.bind(13, n.text).bind(14, n.sound).bind(15, int64_t{n.maxSound});
    q.bind(16, int64_t{n.reserved});
}

// After a committed change: other processes' waits look again, and the queue's watchers
// are told.
void published(UINT type, uint32_t handle) {
    ce::wakeDeviceWaiters();
    postQueueChange(type, static_cast<CEOID>(handle));
}

} // namespace

DWORD addNotification(Notification& n) {
    DWORD r = withDb([&](Db& db) {
        return db.write([&]() -> DWORD {
            int64_t handle = 0, sequence = 0;
            if (!db.nextValue("next_handle", &handle) || !db.nextValue("next_sequence", &sequence))
                return ERROR_CANTWRITE;
            // Handles stay 32-bit, never 0; after 4 billion notifications they would wrap,
            // skipping values still in use.
            handle = (handle & 0xFFFFFFFF) ? (handle & 0xFFFFFFFF) : 1;
            auto q = db.query("INSERT INTO notifications(handle, sequence, type, event, "
                              "application, arguments, start_utc, end_utc, queue_utc, has_user, "
                              "action_flags, title, text, sound, max_sound, reserved, status) "
                              "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, "
                              "?14, ?15, ?16, 0)");
            q.bind(1, handle).bind(2, sequence);
            bindFields(q, n);
            if (q.step() != SQLITE_DONE) return ERROR_CANTWRITE;
            n.handle = static_cast<uint32_t>(handle);
            n.sequence = sequence;
            n.status = 0;
            db.markChanged();
            return ERROR_SUCCESS;
        });
    });
    if (r == ERROR_SUCCESS) published(DB_CEOID_CREATED, n.handle);
    return r;
}

DWORD replaceNotification(Notification& n) {
    DWORD r = withDb([&](Db& db) {
        return db.write([&]() -> DWORD {
            auto q = db.query("UPDATE notifications SET type = ?3, event = ?4, application = ?5, "
                              "arguments = ?6, start_utc = ?7, end_utc = ?8, queue_utc = ?9, "
                              "has_user = ?10, action_flags = ?11, title = ?12, text = ?13, "
                              "sound = ?14, max_sound = ?15, reserved = ?16, status = 0 "
                              "WHERE handle = ?1");
            q.bind(1, int64_t{n.handle});
            bindFields(q, n);
            if (q.step() != SQLITE_DONE) return ERROR_CANTWRITE;
            auto s = db.query("SELECT sequence FROM notifications WHERE handle = ?1");
            s.bind(1, int64_t{n.handle});
            if (s.step() != SQLITE_ROW) return ERROR_INVALID_HANDLE;
            n.sequence = s.integer(0);
            n.status = 0;
            db.markChanged();
            return ERROR_SUCCESS;
        });
    });
    if (r == ERROR_SUCCESS) published(DB_CEOID_CHANGED, n.handle);
    return r;
}

DWORD removeNotification(uint32_t handle) {
    DWORD r = withDb([&](Db& db) {
        return db.write([&]() -> DWORD {
            auto q = db.query("DELETE FROM notifications WHERE handle = ?1");
            q.bind(1, int64_t{handle});
            if (q.step() != SQLITE_DONE) return ERROR_CANTWRITE;
            auto c = db.query("SELECT changes()");
            if (c.step() != SQLITE_ROW || c.integer(0) == 0) return ERROR_INVALID_HANDLE;
            db.markChanged();
            return ERROR_SUCCESS;
        });
    });
    if (r == ERROR_SUCCESS) published(DB_CEOID_RECORD_DELETED, handle);
    return r;
}

DWORD removeNotificationsIf(const std::function<bool(const Notification&)>& pick, size_t* removed) {
    std::vector<uint32_t> gone;
    DWORD r = withDb([&](Db& db) {
        return db.write([&]() -> DWORD {
            std::vector<Notification> all;
            {
                auto q = db.query(kColumns);
                while (q.step() == SQLITE_ROW)
                    all.push_back(rowOf(q));
            }
            for (const auto& n : all) {
                if (!pick(n)) continue;
                auto d = db.query("DELETE FROM notifications WHERE handle = ?1");
                d.bind(1, int64_t{n.handle});
                if (d.step() != SQLITE_DONE) return ERROR_CANTWRITE;
                gone.push_back(n.handle);
            }
            if (!gone.empty()) db.markChanged();
            return ERROR_SUCCESS;
        });
    });
    if (r != ERROR_SUCCESS) gone.clear();
    if (removed) *removed = gone.size();
    for (uint32_t h : gone)
        published(DB_CEOID_RECORD_DELETED, h);
    return r;
}

DWORD getNotification(uint32_t handle, Notification* out) {
    return withDb([&](Db& db) -> DWORD {
        static const std::string sql = std::string(kColumns) + " WHERE handle = ?1";
        auto q = db.query(sql.c_str());
        q.bind(1, int64_t{handle});
        int rc = q.step();
        if (rc == SQLITE_DONE) return ERROR_INVALID_HANDLE;
        if (rc != SQLITE_ROW) return ERROR_CANTREAD;
        *out = rowOf(q);
        return ERROR_SUCCESS;
    });
}

DWORD listNotifications(std::vector<Notification>* out) {
    out->clear();
    return withDb([&](Db& db) -> DWORD {
        static const std::string sql = std::string(kColumns) + kOrder;
        auto q = db.query(sql.c_str());
        int rc;
        while ((rc = q.step()) == SQLITE_ROW)
            out->push_back(rowOf(q));
        return rc == SQLITE_DONE ? ERROR_SUCCESS : ERROR_CANTREAD;
    });
}

DWORD listHandles(std::vector<uint32_t>* out) {
    out->clear();
    return withDb([&](Db& db) -> DWORD {
        static const std::string sql = std::string("SELECT handle FROM notifications") + kOrder;
        auto q = db.query(sql.c_str());
        int rc;
        while ((rc = q.step()) == SQLITE_ROW)
            out->push_back(static_cast<uint32_t>(q.integer(0)));
        return rc == SQLITE_DONE ? ERROR_SUCCESS : ERROR_CANTREAD;
    });
}

DWORD listQueueRecords(std::vector<std::pair<uint32_t, int64_t>>* out) {
    out->clear();
    return withDb([&](Db& db) -> DWORD {
        auto q = db.query("SELECT handle, queue_utc FROM notifications WHERE queue_utc IS NOT "
                          "NULL ORDER BY queue_utc, sequence");
        int rc;
        while ((rc = q.step()) == SQLITE_ROW)
            out->emplace_back(static_cast<uint32_t>(q.integer(0)), q.integer(1));
        return rc == SQLITE_DONE ? ERROR_SUCCESS : ERROR_CANTREAD;
    });
}

namespace {
DWORD updateOne(const char* sql, uint32_t handle, int64_t value) {
    DWORD r = withDb([&](Db& db) {
        return db.write([&]() -> DWORD {
            auto q = db.query(sql);
            q.bind(1, int64_t{handle}).bind(2, value);
            if (q.step() != SQLITE_DONE) return ERROR_CANTWRITE;
            auto c = db.query("SELECT changes()");
            if (c.step() != SQLITE_ROW || c.integer(0) == 0) return ERROR_INVALID_HANDLE;
            db.markChanged();
            return ERROR_SUCCESS;
        });
    });
    if (r == ERROR_SUCCESS) published(DB_CEOID_CHANGED, handle);
    return r;
}
} // namespace

DWORD setNotificationStatus(uint32_t handle, DWORD status) {
    return updateOne("UPDATE notifications SET status = ?2 WHERE handle = ?1", handle, status);
}

DWORD snoozeNotification(uint32_t handle, int64_t queueUtc) {
    return updateOne("UPDATE notifications SET queue_utc = ?2, status = 0 WHERE handle = ?1 AND "
                     "queue_utc IS NOT NULL",
                     handle, queueUtc);
}

uint64_t changeCounter() {
    uint64_t value = 0;
    withDb([&](Db& db) -> DWORD {
        auto q = db.query("SELECT value FROM meta WHERE name = 'changes'");
        if (q.step() == SQLITE_ROW) value = static_cast<uint64_t>(q.integer(0));
        return ERROR_SUCCESS;
    });
    return value;
}

// ---- Queue watchers ---------------------------------------------------------------------------

int64_t addQueueWatcher(HWND hwnd, DWORD flags, DWORD param) {
    int64_t id = 0;
    int pid = static_cast<int>(getpid());
    uint64_t start = ce::processStartTime(pid);
    withDb([&](Db& db) {
        return db.write([&]() -> DWORD {
            auto q = db.query("INSERT INTO watchers(pid, start, hwnd, flags, param) "
                              "VALUES (?1, ?2, ?3, ?4, ?5)");
            q.bind(1, int64_t{pid}).bind(2, static_cast<int64_t>(start));
            q.bind(3, int64_t{HandleToULong(hwnd)}).bind(4, int64_t{flags}).bind(5, int64_t{param});
            if (q.step() != SQLITE_DONE) return ERROR_CANTWRITE;
            auto r = db.query("SELECT last_insert_rowid()");
            if (r.step() != SQLITE_ROW) return ERROR_CANTWRITE;
            id = r.integer(0);
            return ERROR_SUCCESS;
        });
    });
    return id;
}

void removeQueueWatcher(int64_t id) {
    withDb([&](Db& db) {
        return db.write([&]() -> DWORD {
            auto q = db.query("DELETE FROM watchers WHERE id = ?1");
            q.bind(1, id);
            return q.step() == SQLITE_DONE ? DWORD(ERROR_SUCCESS) : DWORD(ERROR_CANTWRITE);
        });
    });
}

DWORD listQueueWatchers(std::vector<QueueWatcher>* out) {
    out->clear();
    std::vector<int64_t> stale;
    DWORD r = withDb([&](Db& db) -> DWORD {
        auto q = db.query("SELECT id, pid, start, hwnd, flags, param FROM watchers ORDER BY id");
        while (q.step() == SQLITE_ROW) {
            QueueWatcher w;
            w.id = q.integer(0);
            w.pid = static_cast<int>(q.integer(1));
            w.startTime = static_cast<uint64_t>(q.integer(2));
            w.hwnd = static_cast<uint32_t>(q.integer(3));
            w.flags = static_cast<DWORD>(q.integer(4));
            w.param = static_cast<DWORD>(q.integer(5));
            // A process that ended (or a pid now used by another process) takes its
            // registrations with it.
            if (ce::processStartTime(w.pid) != w.startTime)
                stale.push_back(w.id);
            else
                out->push_back(w);
        }
        return ERROR_SUCCESS;
    });
    for (int64_t id : stale)
        removeQueueWatcher(id);
    return r;
}

// ---- Device events ----------------------------------------------------------------------------

DWORD raiseDeviceEvent(DWORD event) {
    DWORD r = withDb([&](Db& db) {
        return db.write([&]() -> DWORD {
            auto q = db.query("INSERT INTO device_events(event) VALUES (?1)");
            q.bind(1, int64_t{event});
            if (q.step() != SQLITE_DONE) return ERROR_CANTWRITE;
            // Old events are kept only as long as an engine may still be catching up.
            auto d = db.query("DELETE FROM device_events WHERE id <= last_insert_rowid() - 1000");
            d.step();
            db.markChanged();
            return ERROR_SUCCESS;
        });
    });
    if (r == ERROR_SUCCESS) ce::wakeDeviceWaiters();
    return r;
}

DWORD takeDeviceEvents(int64_t* last, std::vector<DWORD>* events) {
    events->clear();
    return withDb([&](Db& db) -> DWORD {
        auto q = db.query("SELECT id, event FROM device_events WHERE id > ?1 ORDER BY id");
        q.bind(1, *last);
        while (q.step() == SQLITE_ROW) {
            *last = q.integer(0);
            events->push_back(static_cast<DWORD>(q.integer(1)));
        }
        return ERROR_SUCCESS;
    });
}

int64_t lastDeviceEventId() {
    int64_t id = 0;
    withDb([&](Db& db) -> DWORD {
        auto q = db.query("SELECT COALESCE(MAX(id), 0) FROM device_events");
        if (q.step() == SQLITE_ROW) id = q.integer(0);
        return ERROR_SUCCESS;
    });
    return id;
}

std::u16string eventCommandLine(DWORD event) {
    switch (event) {
    case NOTIFICATION_EVENT_TIME_CHANGE: return APP_RUN_AFTER_TIME_CHANGE;
    case NOTIFICATION_EVENT_SYNC_END: return APP_RUN_AFTER_SYNC;
    case NOTIFICATION_EVENT_ON_AC_POWER: return APP_RUN_AT_AC_POWER_ON;
    case NOTIFICATION_EVENT_OFF_AC_POWER: return APP_RUN_AT_AC_POWER_OFF;
    case NOTIFICATION_EVENT_NET_CONNECT: return APP_RUN_AT_NET_CONNECT;
    case NOTIFICATION_EVENT_NET_DISCONNECT: return APP_RUN_AT_NET_DISCONNECT;
    case NOTIFICATION_EVENT_DEVICE_CHANGE: return APP_RUN_AT_DEVICE_CHANGE;
    case NOTIFICATION_EVENT_IR_DISCOVERED: return APP_RUN_AT_IR_DISCOVERY;
    case NOTIFICATION_EVENT_RS232_DETECTED: return APP_RUN_AT_RS232_DETECT;
    case NOTIFICATION_EVENT_RESTORE_END: return APP_RUN_AFTER_RESTORE;
    case NOTIFICATION_EVENT_WAKEUP: return APP_RUN_AFTER_WAKEUP;
    case NOTIFICATION_EVENT_TZ_CHANGE: return APP_RUN_AFTER_TZ_CHANGE;
    case NOTIFICATION_EVENT_MACHINE_NAME_CHANGE:
    case NOTIFICATION_EVENT_RNDIS_FN_DETECTED:
    case NOTIFICATION_EVENT_INTERNET_PROXY_CHANGE: return APP_RUN_AFTER_EXTENDED_EVENT;
    default: return {};
    }
}

// ---- Shell notifications ----------------------------------------------------------------------

DWORD putShellNotification(const ShellNotification& n) {
    DWORD r = withDb([&](Db& db) {
        return db.write([&]() -> DWORD {
            auto q = db.query("INSERT OR REPLACE INTO shell_notifications(clsid, id, priority, "
                              "duration, flags, sink, lparam, title, html) "
                              "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
            q.bind(1, n.clsid).bind(2, int64_t{n.id}).bind(3, int64_t{n.priority});
            q.bind(4, int64_t{n.duration}).bind(5, int64_t{n.flags}).bind(6, int64_t{n.sink});
            q.bind(7, n.lParam).bind(8, n.title).bind(9, n.html);
            return q.step() == SQLITE_DONE ? DWORD(ERROR_SUCCESS) : DWORD(ERROR_CANTWRITE);
        });
    });
    if (r == ERROR_SUCCESS) ce::wakeDeviceWaiters();
    return r;
}

DWORD removeShellNotification(const std::string& clsid, DWORD id) {
    return withDb([&](Db& db) {
        return db.write([&]() -> DWORD {
            auto q = db.query("DELETE FROM shell_notifications WHERE clsid = ?1 AND id = ?2");
            q.bind(1, clsid).bind(2, int64_t{id});
            if (q.step() != SQLITE_DONE) return ERROR_CANTWRITE;
            auto c = db.query("SELECT changes()");
            return c.step() == SQLITE_ROW && c.integer(0) ? DWORD(ERROR_SUCCESS)
                                                          : DWORD(ERROR_NOT_FOUND);
        });
    });
}

DWORD getShellNotification(const std::string& clsid, DWORD id, ShellNotification* out) {
    return withDb([&](Db& db) -> DWORD {
        auto q = db.query("SELECT priority, duration, flags, sink, lparam, title, html FROM "
                          "shell_notifications WHERE clsid = ?1 AND id = ?2");
        q.bind(1, clsid).bind(2, int64_t{id});
        if (q.step() != SQLITE_ROW) return ERROR_NOT_FOUND;
        out->clsid = clsid;
        out->id = id;
        out->priority = static_cast<DWORD>(q.integer(0));
        out->duration = static_cast<DWORD>(q.integer(1));
        out->flags = static_cast<DWORD>(q.integer(2));
        out->sink = static_cast<uint32_t>(q.integer(3));
        out->lParam = q.integer(4);
        out->title = q.text(5);
        out->html = q.text(6);
        return ERROR_SUCCESS;
    });
}

} // namespace ce::notify
