// store.cpp: the PIM store on SQLite (see store.h).
//
// One row per item in `items`, with a column per property of the item record (t_Subject,
// d_Start, n_ReminderSet ...), generated from the property table so that the two never differ.
// Dates are INTEGER FILETIME units, NULL when unset; a timed appointment's Start and End are
// stored in UTC and shown in the device's current zone, as the device keeps them, so changing
// the zone moves what the calendar shows and not when the meeting happens; all-day events and
// the dates of tasks and contacts are calendar dates and stay local. Changed occurrences of a
// series live in `exceptions`, the windows that watch folders in `watchers`.
//
// Multi-process safety follows the registry's: WAL mode, every write in one transaction that
// starts with BEGIN IMMEDIATE and waits for other writers on the busy timeout, so a killed
// process leaves the old or the new state. Each process (and each forked child) has its own
// connection, reopened when the attached device changes.
#include "pim/store.h"

#include <sqlite3.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <mutex>

#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/process.h"
#include "kernel/strings.h"
#include "kernel/timezone.h"
#include "kernel/trace.h"
#include "pim/recur.h"
#include "pim/reminders.h"
#include "pimstore.h"

namespace ce::pim {
namespace {

constexpr int kBusyTimeoutMs = 30000;
// The first identifier handed out; identifiers stay below 2^31 so that they print the same
// with %d and %u.
constexpr int64_t kFirstOid = 0x00100001;
constexpr int64_t kLastOid = 0x7FFFFFFF;

// PIMFOLDERNOTIFICATION_LOCAL: the watcher wants changes made on the device.
constexpr uint32_t kNotifyLocal = 1;

struct Connection {
    std::mutex mutex;
    sqlite3* db = nullptr;
    std::string path;
    pid_t pid = 0;
};

Connection& connection() {
    static Connection* c = new Connection;
    return *c;
}

std::string columnList() {
    std::string cols;
    for (int i = 0; i < kTextFieldCount; ++i)
        cols += std::string(", t_") + textFieldName(i);
    for (int i = 0; i < kDateFieldCount; ++i)
        cols += std::string(", d_") + dateFieldName(i);
    for (int i = 0; i < kNumberFieldCount; ++i)
        cols += std::string(", n_") + numberFieldName(i);
    return cols;
}

std::string schema() {
    std::string s = "CREATE TABLE IF NOT EXISTS meta(name TEXT PRIMARY KEY, value INTEGER);\n"
                    "INSERT OR IGNORE INTO meta VALUES ('schema', 1), ('next_oid', " +
                    std::to_string(kFirstOid) + ");\n";
    s += "CREATE TABLE IF NOT EXISTS items(oid INTEGER PRIMARY KEY, kind INTEGER NOT NULL";
    for (int i = 0; i < kTextFieldCount; ++i)
        s += std::string(", t_") + textFieldName(i) + " TEXT";
    for (int i = 0; i < kDateFieldCount; ++i)
        s += std::string(", d_") + dateFieldName(i) + " INTEGER";
    for (int i = 0; i < kNumberFieldCount; ++i)
        s += std::string(", n_") + numberFieldName(i) + " INTEGER NOT NULL DEFAULT 0";
    s += ", rrule TEXT, exdates TEXT, notification INTEGER NOT NULL DEFAULT 0);\n";
    s += "CREATE INDEX IF NOT EXISTS items_by_start ON items(kind, d_Start);\n"
         "CREATE TABLE IF NOT EXISTS exceptions(series INTEGER NOT NULL, original INTEGER NOT "
         "NULL, start INTEGER, end_ INTEGER, subject TEXT, location TEXT, reminder INTEGER);\n"
         "CREATE INDEX IF NOT EXISTS exceptions_by_series ON exceptions(series);\n"
         "CREATE TABLE IF NOT EXISTS watchers(hwnd INTEGER NOT NULL, folder INTEGER NOT NULL, "
         "flags INTEGER NOT NULL, pid INTEGER NOT NULL, pid_start INTEGER NOT NULL, "
         "PRIMARY KEY(hwnd, folder));\n";
    return s;
}

bool exec(sqlite3* db, const char* sql) {
    char* message = nullptr;
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        CE_TRACE("pim", "%s: %s", sql, message ? message : sqlite3_errstr(rc));
        sqlite3_free(message);
        return false;
    }
    return true;
}

// The open connection of this process to the attached device's store; null when it cannot
// be opened. The caller holds connection().mutex.
sqlite3* database() {
    Connection& c = connection();
    std::string path = storePath();
    if (c.db && c.pid == getpid() && c.path == path) return c.db;
    // A connection inherited over fork() belongs to the parent: leave it alone, open anew.
    if (c.db && c.pid == getpid()) sqlite3_close_v2(c.db);
    c.db = nullptr;
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.empty() ? ":memory:" : path.c_str(), &db, flags, nullptr) !=
        SQLITE_OK) {
        CE_TRACE("pim", "cannot open %s: %s", path.c_str(), db ? sqlite3_errmsg(db) : "?");
        if (db) sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    if (!path.empty()) {
        exec(db, "PRAGMA journal_mode=WAL");
        exec(db, "PRAGMA synchronous=NORMAL");
    }
    std::string s = "BEGIN IMMEDIATE;\n" + schema() + "COMMIT;";
    if (!exec(db, s.c_str())) {
        exec(db, "ROLLBACK");
        sqlite3_close_v2(db);
        return nullptr;
    }
    c.db = db;
    c.path = path;
    c.pid = getpid();
    return db;
}

// A prepared statement, finalized when it goes.
class Stmt {
public:
    Stmt(sqlite3* db, const std::string& sql) {
        if (db && sqlite3_prepare_v2(db, sql.c_str(), -1, &s_, nullptr) != SQLITE_OK) {
            CE_TRACE("pim", "prepare: %s (%s)", sqlite3_errmsg(db), sql.c_str());
            s_ = nullptr;
        }
    }
    ~Stmt() { sqlite3_finalize(s_); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    bool ok() const { return s_ != nullptr; }
    sqlite3_stmt* get() { return s_; }
    Stmt& bind(int i, int64_t v) {
        sqlite3_bind_int64(s_, i, v);
        return *this;
    }
    Stmt& bindNull(int i) {
        sqlite3_bind_null(s_, i);
        return *this;
    }
    Stmt& bindText(int i, std::u16string_view t) {
        sqlite3_bind_text16(s_, i, t.data(), static_cast<int>(t.size() * 2), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& bindUtf8(int i, std::string_view t) {
        sqlite3_bind_text(s_, i, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
        return *this;
    }
    int step() { return s_ ? sqlite3_step(s_) : SQLITE_ERROR; }
    int64_t integer(int c) { return sqlite3_column_int64(s_, c); }
    bool isNull(int c) { return sqlite3_column_type(s_, c) == SQLITE_NULL; }
    std::u16string text(int c) {
        auto* p = static_cast<const char16_t*>(sqlite3_column_text16(s_, c));
        if (!p) return {};
        return std::u16string(p, sqlite3_column_bytes16(s_, c) / 2);
    }
    std::string utf8(int c) {
        auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s_, c));
        return p ? std::string(p, sqlite3_column_bytes(s_, c)) : std::string();
    }

private:
    sqlite3_stmt* s_ = nullptr;
};

// Runs fn inside BEGIN IMMEDIATE ... COMMIT; rolls back when it returns false.
template <class F>
bool writeTransaction(sqlite3* db, F&& fn) {
    if (!exec(db, "BEGIN IMMEDIATE")) return false;
    if (!fn()) {
        exec(db, "ROLLBACK");
        return false;
    }
    if (!exec(db, "COMMIT")) {
        exec(db, "ROLLBACK");
        return false;
    }
    return true;
}

TIME_ZONE_INFORMATION zone() {
    return zoneInfoOf(*deviceConf());
}

// Timed appointments keep Start and End in UTC (see the file comment).
bool storedInUtc(const Item& item, int dateIndex) {
    return item.kind == Kind::Appointment && !item.number[AllDayEvent] &&
           (dateIndex == Start || dateIndex == End);
}

std::string formatExdates(const std::vector<int64_t>& dates) {
    std::string out;
    for (int64_t d : dates) {
        if (!out.empty()) out += ',';
        out += std::to_string(d);
    }
    return out;
}

std::vector<int64_t> parseExdates(const std::string& text) {
    std::vector<int64_t> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t comma = text.find(',', pos);
        if (comma == std::string::npos) comma = text.size();
        try {
            out.push_back(std::stoll(text.substr(pos, comma - pos)));
        } catch (...) {
            // a damaged list loses the entry, never the item
        }
        pos = comma + 1;
    }
    return out;
}

void readRow(Stmt& q, const TIME_ZONE_INFORMATION& tz, Item* item) {
    int c = 0;
    item->oid = static_cast<uint32_t>(q.integer(c++));
    item->kind = static_cast<Kind>(q.integer(c++));
    for (int i = 0; i < kTextFieldCount; ++i)
        item->text[i] = q.text(c++);
    int dateColumn = c;
    c += kDateFieldCount;
    for (int i = 0; i < kNumberFieldCount; ++i)
        item->number[i] = static_cast<int32_t>(q.integer(c++));
    for (int i = 0; i < kDateFieldCount; ++i) {
        int col = dateColumn + i;
        if (q.isNull(col)) {
            item->date[i] = kNoDate;
            continue;
        }
        int64_t v = q.integer(col);
        item->date[i] = storedInUtc(*item, i) ? utcToLocal(tz, v) : v;
    }
    item->rrule = q.utf8(c++);
    item->exdates = parseExdates(q.utf8(c++));
    item->notification = static_cast<uint32_t>(q.integer(c++));
}

const std::string& selectItems() {
    static const std::string sql =
        "SELECT oid, kind" + columnList() + ", rrule, exdates, notification FROM items";
    return sql;
}

void loadExceptions(sqlite3* db, Item* item) {
    Stmt q(db, "SELECT original, start, end_, subject, location, reminder FROM exceptions "
               "WHERE series = ?1 ORDER BY original");
    q.bind(1, item->oid);
    while (q.step() == SQLITE_ROW) {
        Exception e;
        e.original = q.integer(0);
        e.start = q.integer(1);
        e.end = q.integer(2);
        e.subject = q.text(3);
        e.location = q.text(4);
        e.reminderSet = q.integer(5) != 0;
        item->exceptions.push_back(std::move(e));
    }
}

bool writeItem(sqlite3* db, Item& item, const TIME_ZONE_INFORMATION& tz) {
    bool fresh = item.oid == 0;
    if (fresh) {
        Stmt next(db, "SELECT value FROM meta WHERE name = 'next_oid'");
        if (next.step() != SQLITE_ROW) return false;
        int64_t oid = next.integer(0);
        if (oid < kFirstOid || oid > kLastOid) return false; // identifiers ran out
        Stmt bump(db, "UPDATE meta SET value = ?1 WHERE name = 'next_oid'");
        if (bump.bind(1, oid + 1).step() != SQLITE_DONE) return false;
        item.oid = static_cast<uint32_t>(oid);
    } else {
        Stmt exists(db, "SELECT kind FROM items WHERE oid = ?1");
        exists.bind(1, item.oid);
        if (exists.step() != SQLITE_ROW || exists.integer(0) != static_cast<int>(item.kind))
            return false;
    }
    std::string sql = "INSERT OR REPLACE INTO items(oid, kind" + columnList() +
                      ", rrule, exdates, notification) VALUES (?1, ?2";
    int params = 2 + kTextFieldCount + kDateFieldCount + kNumberFieldCount + 3;
    for (int i = 3; i <= params; ++i)
        sql += ", ?" + std::to_string(i);
    sql += ")";
    Stmt q(db, sql);
    if (!q.ok()) return false;
    q.bind(1, item.oid).bind(2, static_cast<int>(item.kind));
    int p = 3;
    for (int i = 0; i < kTextFieldCount; ++i)
        q.bindText(p++, item.text[i]);
    for (int i = 0; i < kDateFieldCount; ++i) {
        int64_t v = item.date[i];
        if (v == kNoDate)
            q.bindNull(p++);
        else
            q.bind(p++, storedInUtc(item, i) ? localToUtc(tz, v) : v);
    }
    for (int i = 0; i < kNumberFieldCount; ++i)
        q.bind(p++, item.number[i]);
    q.bindUtf8(p, item.rrule).bindUtf8(p + 1, formatExdates(item.exdates));
    q.bind(p + 2, item.notification);
    if (q.step() != SQLITE_DONE) return false;
    Stmt clear(db, "DELETE FROM exceptions WHERE series = ?1");
    if (clear.bind(1, item.oid).step() != SQLITE_DONE) return false;
    for (const Exception& e : item.exceptions) {
        Stmt ins(db, "INSERT INTO exceptions VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        ins.bind(1, item.oid).bind(2, e.original).bind(3, e.start).bind(4, e.end);
        ins.bindText(5, e.subject).bindText(6, e.location).bind(7, e.reminderSet ? 1 : 0);
        if (ins.step() != SQLITE_DONE) return false;
    }
    return true;
}

bool validItem(const Item& item) {
    if (item.kind == Kind::Appointment) {
        if (item.date[Start] == kNoDate || item.date[End] == kNoDate) return false;
        if (item.date[End] < item.date[Start]) return false;
        if (!item.rrule.empty() && !validRule(item.rrule)) return false;
    }
    return true;
}

} // namespace

std::string storePath() {
    if (!haveDevice()) return {};
    return (deviceDir() / "pim.db").string();
}

bool loadItems(Kind kind, std::vector<Item>* out) {
    out->clear();
    Connection& c = connection();
    std::lock_guard lock(c.mutex);
    sqlite3* db = database();
    if (!db) return false;
    TIME_ZONE_INFORMATION tz = zone();
    Stmt q(db, selectItems() + " WHERE kind = ?1 ORDER BY oid");
    q.bind(1, static_cast<int>(kind));
    int rc;
    while ((rc = q.step()) == SQLITE_ROW) {
        Item item;
        readRow(q, tz, &item);
        out->push_back(std::move(item));
    }
    if (rc != SQLITE_DONE) return false;
    if (kind == Kind::Appointment) {
        for (Item& item : *out)
            if (!item.rrule.empty()) loadExceptions(db, &item);
    }
    return true;
}

bool loadAppointmentsNear(int64_t lo, int64_t hi, std::vector<Item>* out) {
    out->clear();
    Connection& c = connection();
    std::lock_guard lock(c.mutex);
    sqlite3* db = database();
    if (!db) return false;
    TIME_ZONE_INFORMATION tz = zone();
    int64_t from = lo == INT64_MIN ? INT64_MIN : lo - kFileTimePerDay;
    int64_t to = hi == INT64_MAX ? INT64_MAX : hi + kFileTimePerDay;
    Stmt q(db, selectItems() + " WHERE kind = ?1 AND ((d_Start >= ?2 AND d_Start < ?3) OR "
                               "rrule <> '') ORDER BY oid");
    q.bind(1, static_cast<int>(Kind::Appointment)).bind(2, from).bind(3, to);
    int rc;
    while ((rc = q.step()) == SQLITE_ROW) {
        Item item;
        readRow(q, tz, &item);
        out->push_back(std::move(item));
    }
    if (rc != SQLITE_DONE) return false;
    for (Item& item : *out)
        if (!item.rrule.empty()) loadExceptions(db, &item);
    return true;
}

bool loadItem(uint32_t oid, Item* out) {
    Connection& c = connection();
    std::lock_guard lock(c.mutex);
    sqlite3* db = database();
    if (!db || oid == 0) return false;
    Stmt q(db, selectItems() + " WHERE oid = ?1");
    q.bind(1, oid);
    if (q.step() != SQLITE_ROW) return false;
    *out = Item();
    readRow(q, zone(), out);
    if (!out->rrule.empty()) loadExceptions(db, out);
    return true;
}

HRESULT saveItem(Item& item) {
    if (!validItem(item)) return E_INVALIDARG;
    bool fresh = item.oid == 0;
    {
        Connection& c = connection();
        std::lock_guard lock(c.mutex);
        sqlite3* db = database();
        if (!db) return E_FAIL;
        Item copy = item;
        TIME_ZONE_INFORMATION tz = zone();
        if (!writeTransaction(db, [&] { return writeItem(db, copy, tz); })) return E_FAIL;
        item.oid = copy.oid;
    }
    // The store and the notification database are two files: a crash between the writes
    // leaves a stale or missing reminder, which calnot.exe repairs at the shell's next start.
    uint32_t handle = syncReminder(item);
    if (handle != item.notification) {
        item.notification = handle;
        setNotification(item.oid, handle);
    }
    postChange(folderOf(item.kind), item.oid,
               fresh ? PIM_ITEM_CREATED_LOCAL : PIM_ITEM_CHANGED_LOCAL);
    return S_OK;
}

HRESULT deleteItem(uint32_t oid) {
    Item item;
    if (!loadItem(oid, &item)) return E_INVALIDARG;
    {
        Connection& c = connection();
        std::lock_guard lock(c.mutex);
        sqlite3* db = database();
        if (!db) return E_FAIL;
        bool ok = writeTransaction(db, [&] {
            Stmt del(db, "DELETE FROM items WHERE oid = ?1");
            Stmt ex(db, "DELETE FROM exceptions WHERE series = ?1");
            return del.bind(1, oid).step() == SQLITE_DONE && ex.bind(1, oid).step() == SQLITE_DONE;
        });
        if (!ok) return E_FAIL;
    }
    if (item.notification) clearReminder(item.notification);
    postChange(folderOf(item.kind), oid, PIM_ITEM_DELETED_LOCAL);
    return S_OK;
}

bool setNotification(uint32_t oid, uint32_t handle) {
    Connection& c = connection();
    std::lock_guard lock(c.mutex);
    sqlite3* db = database();
    if (!db) return false;
    return writeTransaction(db, [&] {
        Stmt q(db, "UPDATE items SET notification = ?2 WHERE oid = ?1");
        return q.bind(1, oid).bind(2, handle).step() == SQLITE_DONE;
    });
}

bool watchFolder(HWND hwnd, int folder, uint32_t flags) {
    Connection& c = connection();
    std::lock_guard lock(c.mutex);
    sqlite3* db = database();
    if (!db) return false;
    uint32_t h = HandleToULong(hwnd);
    return writeTransaction(db, [&] {
        if (flags == 0) {
            Stmt q(db, "DELETE FROM watchers WHERE hwnd = ?1 AND folder = ?2");
            return q.bind(1, h).bind(2, folder).step() == SQLITE_DONE;
        }
        Stmt q(db, "INSERT OR REPLACE INTO watchers VALUES (?1, ?2, ?3, ?4, ?5)");
        q.bind(1, h).bind(2, folder).bind(3, flags).bind(4, getpid());
        q.bind(5, static_cast<int64_t>(processStartTime(getpid())));
        return q.step() == SQLITE_DONE;
    });
}

uint32_t watchedFlags(HWND hwnd, int folder) {
    Connection& c = connection();
    std::lock_guard lock(c.mutex);
    sqlite3* db = database();
    if (!db) return 0;
    Stmt q(db, "SELECT flags FROM watchers WHERE hwnd = ?1 AND folder = ?2");
    q.bind(1, HandleToULong(hwnd)).bind(2, folder);
    return q.step() == SQLITE_ROW ? static_cast<uint32_t>(q.integer(0)) : 0;
}

void unwatchWindow(HWND hwnd) {
    Connection& c = connection();
    std::lock_guard lock(c.mutex);
    sqlite3* db = database();
    if (!db) return;
    writeTransaction(db, [&] {
        Stmt q(db, "DELETE FROM watchers WHERE hwnd = ?1");
        return q.bind(1, HandleToULong(hwnd)).step() == SQLITE_DONE;
    });
}

void postChange(int folder, uint32_t oid, UINT localMessage) {
    struct Watcher {
        uint32_t hwnd, flags;
        int64_t pid, start;
    };
    std::vector<Watcher> watchers;
    {
        Connection& c = connection();
        std::lock_guard lock(c.mutex);
        sqlite3* db = database();
        if (!db) return;
        Stmt q(db, "SELECT hwnd, flags, pid, pid_start FROM watchers WHERE folder = ?1");
        q.bind(1, folder);
        while (q.step() == SQLITE_ROW)
            watchers.push_back({static_cast<uint32_t>(q.integer(0)),
                                static_cast<uint32_t>(q.integer(1)), q.integer(2), q.integer(3)});
    }
    std::vector<uint32_t> gone;
    for (const Watcher& w : watchers) {
        if (processStartTime(static_cast<int>(w.pid)) != static_cast<uint64_t>(w.start)) {
            gone.push_back(w.hwnd);
            continue;
        }
        if (!(w.flags & kNotifyLocal)) continue;
        HWND hwnd = static_cast<HWND>(ULongToHandle(w.hwnd));
        if (!PostMessageW(hwnd, localMessage, oid, folder) &&
            GetLastError() == ERROR_INVALID_WINDOW_HANDLE && w.pid == getpid())
            gone.push_back(w.hwnd); // our own window is gone; another process's may only be
                                    // out of reach while the display is down
    }
    for (uint32_t h : gone)
        unwatchWindow(static_cast<HWND>(ULongToHandle(h)));
}

std::u16string folderCategories(int folder) {
    Kind kind;
    if (!kindOfFolder(folder, &kind)) return {};
    std::vector<Item> items;
    loadItems(kind, &items);
    std::vector<std::u16string> seen;
    std::u16string out;
    for (const Item& item : items) {
        for (const auto& name : splitCategories(item.text[Categories])) {
            bool known = false;
            for (const auto& s : seen)
                if (equalNoCase(s, name)) known = true;
            if (known) continue;
            seen.push_back(name);
            if (!out.empty()) out += u", ";
            out += name;
        }
    }
    return out;
}

void closeStore() {
    Connection& c = connection();
    std::lock_guard lock(c.mutex);
    if (c.db && c.pid == getpid()) sqlite3_close_v2(c.db);
    c.db = nullptr;
    c.path.clear();
}

} // namespace ce::pim
