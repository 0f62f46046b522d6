// regdb.cpp: the registry store on SQLite and the process's one connection to it.
//
// Names are stored as UTF-16 blobs, not as SQLite text: a key or value name may hold any
// 16-bit units (an unpaired surrogate included), and a blob keeps them exactly. Lookups go
// through the folded form (name_folded), so "Software" and "SOFTWARE" meet while each key keeps
// the case it was created with. Key and value row ids come from AUTOINCREMENT and are never
// reused: an open handle of a deleted key can never land on a newer key, and values enumerate
// by their row id, which is the order of their first creation (a rewrite is an UPDATE).
//
// Multi-process safety is SQLite's: WAL mode lets readers run beside one writer, every write
// starts with BEGIN IMMEDIATE so that writers queue on the busy timeout instead of failing
// halfway, and a killed writer's uncommitted frames are ignored by the next reader.
#include "registry/regdb.h"

#include <cstring>
#include <mutex>
#include <pthread.h>
#include <sqlite3.h>
#include <unistd.h>

#include "kernel/device.h"
#include "kernel/strings.h"
#include "kernel/trace.h"
#include "winerror.h"

namespace ce::reg {

namespace {

constexpr int kBusyTimeoutMs = 30000;

const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS meta(name TEXT PRIMARY KEY, value INTEGER NOT NULL);
INSERT OR IGNORE INTO meta(name, value) VALUES ('schema', 1), ('changes', 0);
CREATE TABLE IF NOT EXISTS keys(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    parent INTEGER NOT NULL,
    name BLOB NOT NULL,
    name_folded BLOB NOT NULL);
CREATE UNIQUE INDEX IF NOT EXISTS keys_by_name ON keys(parent, name_folded);
CREATE TABLE IF NOT EXISTS vals(
    seq INTEGER PRIMARY KEY AUTOINCREMENT,
    key INTEGER NOT NULL,
    name BLOB NOT NULL,
    name_folded BLOB NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL);
CREATE UNIQUE INDEX IF NOT EXISTS vals_by_name ON vals(key, name_folded);
CREATE TABLE IF NOT EXISTS watches(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    pid INTEGER NOT NULL,
    pid_start INTEGER NOT NULL,
    root INTEGER NOT NULL,
    path BLOB NOT NULL,
    value BLOB NOT NULL,
    hwnd INTEGER NOT NULL,
    msg INTEGER NOT NULL,
    user_data INTEGER NOT NULL,
    callback INTEGER NOT NULL,
    cond_type INTEGER,
    cond_mask INTEGER,
    cond_dword INTEGER,
    cond_text BLOB,
    seen_present INTEGER NOT NULL,
    seen_type INTEGER NOT NULL,
    seen_data BLOB NOT NULL);
CREATE INDEX IF NOT EXISTS watches_by_pid ON watches(pid);
)sql";

} // namespace

std::u16string foldName(std::u16string_view name) {
    std::u16string out(name);
    for (auto& c : out)
        c = ce::foldCase(c);
    return out;
}

LONG splitKeyPath(std::u16string_view path, std::vector<std::u16string>* parts) {
    parts->clear();
    if (path.empty()) return ERROR_SUCCESS;
    if (path.front() == u'\\') return ERROR_BAD_PATHNAME;
    if (path.back() == u'\\') path.remove_suffix(1);
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t end = path.find(u'\\', pos);
        if (end == std::u16string_view::npos) end = path.size();
        if (end == pos) return ERROR_BAD_PATHNAME;
        if (end - pos > kMaxKeyNameChars) return ERROR_INVALID_PARAMETER;
        parts->emplace_back(path.substr(pos, end - pos));
        pos = end + 1;
    }
    return ERROR_SUCCESS;
}

LONG errorFromSqlite(int rc, bool writing) {
    switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW: return ERROR_SUCCESS;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return ERROR_BUSY;
    case SQLITE_FULL: return ERROR_DISK_FULL;
    case SQLITE_NOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_READONLY:
    case SQLITE_PERM: return ERROR_ACCESS_DENIED;
    default: return writing ? ERROR_CANTWRITE : ERROR_CANTREAD;
    }
}

// ---- Query -----------------------------------------------------------------------------------

Query::~Query() {
    if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

Query& Query::bind(int index, int64_t value) {
    if (stmt_) sqlite3_bind_int64(stmt_, index, value);
    return *this;
}

Query& Query::bindBlob(int index, const void* data, size_t size) {
    static const uint8_t empty = 0;
    if (stmt_) sqlite3_bind_blob64(stmt_, index, size ? data : &empty, size, SQLITE_TRANSIENT);
    return *this;
}

Query& Query::bindName(int index, std::u16string_view name) {
    return bindBlob(index, name.data(), name.size() * sizeof(char16_t));
}

int Query::step() {
    if (!stmt_) return SQLITE_ERROR;
    int rc = sqlite3_step(stmt_);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        CE_TRACE("reg", "step failed: %s (%s)", sqlite3_errstr(rc), sqlite3_sql(stmt_));
    return rc;
}

int64_t Query::integer(int column) {
    return sqlite3_column_int64(stmt_, column);
}

bool Query::isNull(int column) {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::vector<uint8_t> Query::blob(int column) {
    const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
    int n = sqlite3_column_bytes(stmt_, column);
    if (!p || n <= 0) return {};
    return std::vector<uint8_t>(p, p + n);
}

std::u16string Query::name(int column) {
    const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
    int n = sqlite3_column_bytes(stmt_, column);
    std::u16string out;
    if (!p || n <= 0) return out;
    out.resize(static_cast<size_t>(n) / sizeof(char16_t));
    memcpy(out.data(), p, out.size() * sizeof(char16_t));
    return out;
}

// ---- RegDb -----------------------------------------------------------------------------------

std::unique_ptr<RegDb> RegDb::openFile(const std::filesystem::path& file, std::string* error) {
    std::unique_ptr<RegDb> db(new RegDb());
    if (!db->init(file.string(), false, error)) return nullptr;
    return db;
}

std::unique_ptr<RegDb> RegDb::openMemory(std::string* error) {
    std::unique_ptr<RegDb> db(new RegDb());
    if (!db->init(":memory:", true, error)) return nullptr;
    return db;
}

RegDb::~RegDb() {
    for (auto& entry : cache_)
        sqlite3_finalize(entry.second);
    if (db_) sqlite3_close_v2(db_);
}

bool RegDb::exec(const char* sql) {
    char* message = nullptr;
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        CE_TRACE("reg", "%s: %s", sql, message ? message : sqlite3_errstr(rc));
        sqlite3_free(message);
        return false;
    }
    return true;
}

bool RegDb::init(const std::string& path, bool memory, std::string* error) {
    memory_ = memory;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    auto fail = [&](const char* what) {
        if (error)
            *error = std::string(what) + " " + path + ": " +
                     (db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
        return false;
    };
    if (rc != SQLITE_OK) return fail("cannot open");
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db_, 0);
    if (!memory) {
        // Switching to WAL needs a moment without other connections; the busy timeout covers
        // a device whose processes start together.
        if (!exec("PRAGMA journal_mode=WAL")) return fail("cannot use WAL in");
        // NORMAL keeps every commit safe against a killed process; a power loss may lose the
        // last commits until a checkpoint (RegFlushKey) has run.
        exec("PRAGMA synchronous=NORMAL");
    }
    LONG result = write([&] { return exec(kSchema) ? ERROR_SUCCESS : ERROR_CANTWRITE; });
    if (result != ERROR_SUCCESS) return fail("cannot set up");
    result = write([&] {
        static const char16_t* const roots[] = {u"HKEY_CLASSES_ROOT", u"HKEY_CURRENT_USER",
                                                u"HKEY_LOCAL_MACHINE"};
        for (KeyId id = kClassesRoot; id <= kLocalMachine; ++id) {
            std::u16string name = roots[id - 1];
            auto q = query("INSERT OR IGNORE INTO keys(id, parent, name, name_folded) "
                           "VALUES (?1, 0, ?2, ?3)");
            q.bind(1, id).bindName(2, name).bindName(3, foldName(name));
            if (q.step() != SQLITE_DONE) return ERROR_CANTWRITE;
        }
        return ERROR_SUCCESS;
    });
    if (result != ERROR_SUCCESS) return fail("cannot set up");
    return true;
}

Query RegDb::query(const char* sql) {
    auto it = cache_.find(sql);
    if (it != cache_.end()) return Query(it->second);
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        CE_TRACE("reg", "prepare failed: %s (%s)", sqlite3_errmsg(db_), sql);
        return Query(nullptr);
    }
    cache_.emplace(sql, stmt);
    return Query(stmt);
}

LONG RegDb::write(const std::function<LONG()>& body) {
    if (depth_ > 0) return body();
    int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        CE_TRACE("reg", "BEGIN IMMEDIATE: %s", sqlite3_errstr(rc));
        return errorFromSqlite(rc, true);
    }
    depth_ = 1;
    changed_ = false;
    LONG result = ERROR_CANTWRITE;
    try {
        result = body();
    } catch (...) {
        result = ERROR_NOT_ENOUGH_MEMORY;
    }
    bool changed = changed_;
    if (result == ERROR_SUCCESS && changed) {
        auto q = query("UPDATE meta SET value = value + 1 WHERE name = 'changes'");
        if (q.step() != SQLITE_DONE) result = ERROR_CANTWRITE;
    }
    if (result == ERROR_SUCCESS) {
        rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            CE_TRACE("reg", "COMMIT: %s", sqlite3_errstr(rc));
            result = errorFromSqlite(rc, true);
        }
    }
    if (result != ERROR_SUCCESS && !sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    depth_ = 0;
    changed_ = false;
    if (result == ERROR_SUCCESS && changed && commitHook_) commitHook_();
    return result;
}

LONG RegDb::read(const std::function<LONG()>& body) {
    if (depth_ > 0) return body();
    int rc = sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return errorFromSqlite(rc, false);
    depth_ = 1;
    LONG result = ERROR_CANTREAD;
    try {
        result = body();
    } catch (...) {
        result = ERROR_NOT_ENOUGH_MEMORY;
    }
    sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    depth_ = 0;
    return result;
}

bool RegDb::keyExists(KeyId id) {
    auto q = query("SELECT 1 FROM keys WHERE id = ?1");
    q.bind(1, id);
    return q.step() == SQLITE_ROW;
}

LONG RegDb::findSubkey(KeyId parent, std::u16string_view name, KeyId* out) {
    auto q = query("SELECT id FROM keys WHERE parent = ?1 AND name_folded = ?2");
    q.bind(1, parent).bindName(2, foldName(name));
    int rc = q.step();
    if (rc == SQLITE_ROW) {
        *out = q.integer(0);
        return ERROR_SUCCESS;
    }
    return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : errorFromSqlite(rc, false);
}

LONG RegDb::openPath(KeyId base, const std::vector<std::u16string>& parts, KeyId* out) {
    KeyId id = base;
    for (const auto& part : parts) {
        LONG r = findSubkey(id, part, &id);
        if (r != ERROR_SUCCESS) return r;
    }
    *out = id;
    return ERROR_SUCCESS;
}

LONG RegDb::createPath(KeyId base, const std::vector<std::u16string>& parts, KeyId* out,
                       bool* created) {
    KeyId id = base;
    *created = false;
    for (const auto& part : parts) {
        KeyId child = 0;
        LONG r = findSubkey(id, part, &child);
        if (r == ERROR_FILE_NOT_FOUND) {
            auto q = query("INSERT INTO keys(parent, name, name_folded) VALUES (?1, ?2, ?3)");
            q.bind(1, id).bindName(2, part).bindName(3, foldName(part));
            int rc = q.step();
            if (rc != SQLITE_DONE) return errorFromSqlite(rc, true);
            child = sqlite3_last_insert_rowid(db_);
            *created = true;
            markChanged();
        } else if (r != ERROR_SUCCESS) {
            return r;
        } else {
            *created = false;
        }
        id = child;
    }
    *out = id;
    return ERROR_SUCCESS;
}

LONG RegDb::deleteTree(KeyId id) {
    auto values = query("WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL "
                        "SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "
                        "DELETE FROM vals WHERE key IN tree");
    values.bind(1, id);
    int rc = values.step();
    if (rc != SQLITE_DONE) return errorFromSqlite(rc, true);
    auto keys = query("WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL "
                      "SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "
                      "DELETE FROM keys WHERE id IN tree");
    keys.bind(1, id);
    rc = keys.step();
    if (rc != SQLITE_DONE) return errorFromSqlite(rc, true);
    markChanged();
    return ERROR_SUCCESS;
}

LONG RegDb::getValue(KeyId key, std::u16string_view name, ValueRecord* out) {
    auto q = query("SELECT name, type, data FROM vals WHERE key = ?1 AND name_folded = ?2");
    q.bind(1, key).bindName(2, foldName(name));
    int rc = q.step();
    if (rc == SQLITE_ROW) {
        out->name = q.name(0);
        out->type = static_cast<DWORD>(q.integer(1));
        out->data = q.blob(2);
        return ERROR_SUCCESS;
    }
    return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : errorFromSqlite(rc, false);
}

LONG RegDb::setValue(KeyId key, std::u16string_view name, DWORD type, const uint8_t* data,
                     size_t size) {
    auto q = query("INSERT INTO vals(key, name, name_folded, type, data) VALUES (?1,?2,?3,?4,?5) "
                   "ON CONFLICT(key, name_folded) DO UPDATE SET type = excluded.type, "
                   "data = excluded.data");
    q.bind(1, key).bindName(2, name).bindName(3, foldName(name)).bind(4, type);
    q.bindBlob(5, data, size);
    int rc = q.step();
    if (rc != SQLITE_DONE) return errorFromSqlite(rc, true);
    markChanged();
    return ERROR_SUCCESS;
}

LONG RegDb::deleteValue(KeyId key, std::u16string_view name) {
    auto q = query("DELETE FROM vals WHERE key = ?1 AND name_folded = ?2");
    q.bind(1, key).bindName(2, foldName(name));
    int rc = q.step();
    if (rc != SQLITE_DONE) return errorFromSqlite(rc, true);
    if (sqlite3_changes(db_) == 0) return ERROR_FILE_NOT_FOUND;
    markChanged();
    return ERROR_SUCCESS;
}

LONG RegDb::valueAt(KeyId key, uint64_t index, ValueRecord* out) {
    if (index > static_cast<uint64_t>(INT64_MAX)) return ERROR_NO_MORE_ITEMS;
    auto q = query("SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY seq "
                   "LIMIT 1 OFFSET ?2");
    q.bind(1, key).bind(2, static_cast<int64_t>(index));
    int rc = q.step();
    if (rc == SQLITE_ROW) {
        out->name = q.name(0);
        out->type = static_cast<DWORD>(q.integer(1));
        out->data = q.blob(2);
        return ERROR_SUCCESS;
    }
    return rc == SQLITE_DONE ? ERROR_NO_MORE_ITEMS : errorFromSqlite(rc, false);
}

LONG RegDb::subkeyAt(KeyId key, uint64_t index, std::u16string* name) {
    if (index > static_cast<uint64_t>(INT64_MAX)) return ERROR_NO_MORE_ITEMS;
    auto q = query("SELECT name FROM keys WHERE parent = ?1 ORDER BY id LIMIT 1 OFFSET ?2");
    q.bind(1, key).bind(2, static_cast<int64_t>(index));
    int rc = q.step();
    if (rc == SQLITE_ROW) {
        *name = q.name(0);
        return ERROR_SUCCESS;
    }
    return rc == SQLITE_DONE ? ERROR_NO_MORE_ITEMS : errorFromSqlite(rc, false);
}

LONG RegDb::keyInfo(KeyId key, KeyInfo* out) {
    auto keys = query("SELECT count(*), coalesce(max(length(name)), 0) FROM keys "
                      "WHERE parent = ?1");
    keys.bind(1, key);
    int rc = keys.step();
    if (rc != SQLITE_ROW) return errorFromSqlite(rc, false);
    out->subkeys = static_cast<uint32_t>(keys.integer(0));
    out->maxSubkeyChars = static_cast<uint32_t>(keys.integer(1) / 2);
    auto values = query("SELECT count(*), coalesce(max(length(name)), 0), "
                        "coalesce(max(length(data)), 0) FROM vals WHERE key = ?1");
    values.bind(1, key);
    rc = values.step();
    if (rc != SQLITE_ROW) return errorFromSqlite(rc, false);
    out->values = static_cast<uint32_t>(values.integer(0));
    out->maxValueNameChars = static_cast<uint32_t>(values.integer(1) / 2);
    out->maxValueBytes = static_cast<uint32_t>(values.integer(2));
    return ERROR_SUCCESS;
}

uint64_t RegDb::changeCounter() {
    auto q = query("SELECT value FROM meta WHERE name = 'changes'");
    return q.step() == SQLITE_ROW ? static_cast<uint64_t>(q.integer(0)) : 0;
}

LONG RegDb::checkpoint() {
    if (memory_) return ERROR_SUCCESS;
    // Programs flush after every few writes; when no process changed anything since this
    // connection's last checkpoint there is nothing to move and no reason to wait for the disk.
    uint64_t changes = changeCounter();
    if (changes == checkpointed_) return ERROR_SUCCESS;
    int logFrames = 0, movedFrames = 0;
    int rc = sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, &logFrames,
                                       &movedFrames);
    // A checkpoint that other readers hold back is still complete up to their snapshot, and
    // the commits themselves are already safe in the WAL: only hard failures count.
    if (rc != SQLITE_OK && rc != SQLITE_BUSY) return errorFromSqlite(rc, true);
    if (rc == SQLITE_OK && movedFrames == logFrames) checkpointed_ = changes;
    return ERROR_SUCCESS;
}

// ---- The process's registry ------------------------------------------------------------------

namespace {

struct ProcessStore {
    // A plain mutex, not a recursive one: after fork() the child must be able to release the
    // lock its parent's thread took, and glibc lets only the owning thread id release a
    // recursive mutex (the child's thread has a new id). Re-entry is handled by `holder`.
    std::mutex lock;
    std::unique_ptr<RegDb> db;
    std::filesystem::path dir; // the device it belongs to; empty for the in-memory store
    pid_t pid = 0;
    uint64_t generation = 1;
    // Connections a forked child inherited: never used nor closed there (SQLite's rule), only
    // kept reachable.
    std::vector<std::unique_ptr<RegDb>> abandoned;
};

ProcessStore& store() {
    static ProcessStore* s = new ProcessStore(); // lives until exit, past static destructors
    return *s;
}

// Set while this thread holds the store's lock, so that a nested call runs inside it.
thread_local bool holdingStore = false;

// Follows the process's device: a new device means a new store and a new handle generation.
void followDevice(ProcessStore& s) {
    std::filesystem::path dir = ce::deviceDir();
    if (s.dir != dir) {
        s.db.reset();
        s.dir = std::move(dir);
        ++s.generation;
    }
}

// A connection must not cross fork(): SQLite's locks belong to the process that took them, and
// a child that used (or even opened beside) an inherited connection could let the parent
// checkpoint under its feet. So a file connection is closed before every fork and opened
// again on the next use, in parent and child alike. The in-memory store is copied whole.
void beforeFork() {
    ProcessStore& s = store();
    if (holdingStore) return; // forking from inside a registry call: leave the store alone
    s.lock.lock();
    if (s.db && !s.db->inMemory()) s.db.reset();
}
void afterFork() {
    if (!holdingStore) store().lock.unlock();
}

class StoreLock {
public:
    StoreLock() : nested_(holdingStore) {
        static std::once_flag once;
        std::call_once(once, [] { pthread_atfork(beforeFork, afterFork, afterFork); });
        if (!nested_) {
            store().lock.lock();
            holdingStore = true;
        }
    }
    ~StoreLock() {
        if (!nested_) {
            holdingStore = false;
            store().lock.unlock();
        }
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

private:
    bool nested_;
};

} // namespace

LONG withRegistry(const std::function<LONG(RegDb&)>& fn) {
    StoreLock guard;
    ProcessStore& s = store();
    followDevice(s);
    pid_t pid = getpid();
    if (s.db && !s.db->inMemory() && s.pid != pid) s.abandoned.push_back(std::move(s.db));
    if (!s.db) {
        std::string error;
        s.db = s.dir.empty() ? RegDb::openMemory(&error)
                             : RegDb::openFile(s.dir / "registry.db", &error);
        if (!s.db) {
            CE_TRACE("reg", "%s", error.c_str());
            return ERROR_CANTOPEN;
        }
        s.db->setCommitHook([] { ce::wakeDeviceWaiters(); });
        s.pid = pid;
    }
    try {
        return fn(*s.db);
    } catch (...) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

uint64_t registryGeneration() {
    StoreLock guard;
    ProcessStore& s = store();
    followDevice(s);
    return s.generation;
}

} // namespace ce::reg
