// regdb.h: the registry store: keys, values and change registrations in one SQLite database.
//
// A device keeps its registry in registry.db (WAL mode), opened by every process of the device
// at once. Keys form a tree of rows (the three roots are rows 1..3); a key's name is kept as
// given and found through its case-folded form, and so is a value's. Values remember the order
// in which they were first created. Every change runs in one write transaction that starts with
// BEGIN IMMEDIATE and waits for other writers (busy timeout), so a process killed at any point
// leaves the old or the new state, and other processes see the change as soon as it commits.
//
// Inside the platform only: the Win32 functions (regapi.cpp), the notifications (regnotify.cpp),
// the device image and cedev use it; the product never sees this header.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "windef.h"

struct sqlite3;
struct sqlite3_stmt;

namespace ce::reg {

using KeyId = int64_t;
constexpr KeyId kClassesRoot = 1;
constexpr KeyId kCurrentUser = 2;
constexpr KeyId kLocalMachine = 3;

// Limits of names and data, as on Windows: a key name component of at most 255 characters, a
// value name of at most 16383, and (our own bound) at most 1 MiB of data in one value.
constexpr size_t kMaxKeyNameChars = 255;
constexpr size_t kMaxValueNameChars = 16383;
constexpr size_t kMaxValueBytes = 1 << 20;

struct ValueRecord {
    std::u16string name;
    DWORD type = 0;
    std::vector<uint8_t> data;
};

struct KeyInfo {
    uint32_t subkeys = 0;
    uint32_t maxSubkeyChars = 0; // longest subkey name, without terminator
    uint32_t values = 0;
    uint32_t maxValueNameChars = 0;
    uint32_t maxValueBytes = 0;
};

// The case-folded form of a name, in which names are looked up.
std::u16string foldName(std::u16string_view name);

// Splits a subkey path "A\B\C" into its names. A single trailing backslash is allowed; a
// leading one or an empty name in the middle is ERROR_BAD_PATHNAME, a name longer than
// kMaxKeyNameChars ERROR_INVALID_PARAMETER. An empty path gives no names.
LONG splitKeyPath(std::u16string_view path, std::vector<std::u16string>* parts);

// One statement of the store's cache, bound and stepped by its user; reset when it goes.
class Query {
public:
    explicit Query(sqlite3_stmt* stmt) : stmt_(stmt) {}
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& bind(int index, int64_t value);
    Query& bindBlob(int index, const void* data, size_t size); // never binds NULL
    Query& bindName(int index, std::u16string_view name);
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    int64_t integer(int column);
    bool isNull(int column);
    std::vector<uint8_t> blob(int column);
    std::u16string name(int column);
    bool valid() const { return stmt_ != nullptr; }

private:
    sqlite3_stmt* stmt_;
};

class RegDb {
public:
    // Opens (creating when needed) the registry database in file, or a private in-memory one.
    static std::unique_ptr<RegDb> openFile(const std::filesystem::path& file, std::string* error);
    static std::unique_ptr<RegDb> openMemory(std::string* error);
    ~RegDb();
    RegDb(const RegDb&) = delete;
    RegDb& operator=(const RegDb&) = delete;

    // Runs body in one write transaction: committed when it returns ERROR_SUCCESS, rolled back
    // otherwise. A nested call runs inside the transaction already open.
    LONG write(const std::function<LONG()>& body);
    // Runs body in one read transaction, so that its statements see one state.
    LONG read(const std::function<LONG()>& body);
    // Tells the running write transaction that it changed keys or values: at commit it bumps
    // the change counter that watchers look at, and calls the commit hook.
    void markChanged() { changed_ = true; }
    void setCommitHook(std::function<void()> hook) { commitHook_ = std::move(hook); }

    bool keyExists(KeyId id);
    LONG findSubkey(KeyId parent, std::u16string_view name, KeyId* out);
    LONG openPath(KeyId base, const std::vector<std::u16string>& parts, KeyId* out);
    // Inside write(): opens the path, creating the keys that are missing.
    LONG createPath(KeyId base, const std::vector<std::u16string>& parts, KeyId* out,
                    bool* created);
    // Inside write(): removes the key with every value and subkey below it.
    LONG deleteTree(KeyId id);
    LONG getValue(KeyId key, std::u16string_view name, ValueRecord* out);
    // Inside write(): creates or rewrites a value; a rewritten value keeps its place and name.
    LONG setValue(KeyId key, std::u16string_view name, DWORD type, const uint8_t* data,
                  size_t size);
    LONG deleteValue(KeyId key, std::u16string_view name);
    // The index-th value / subkey in creation order; ERROR_NO_MORE_ITEMS past the end.
    LONG valueAt(KeyId key, uint64_t index, ValueRecord* out);
    LONG subkeyAt(KeyId key, uint64_t index, std::u16string* name);
    LONG keyInfo(KeyId key, KeyInfo* out);
    // The device-wide count of committed changes.
    uint64_t changeCounter();
    // Makes every committed change durable in the database file.
    LONG checkpoint();

    // A cached statement of the store, for the store's own modules (notifications).
    Query query(const char* sql);
    bool inMemory() const { return memory_; }

private:
    RegDb() = default;
    bool init(const std::string& uri, bool memory, std::string* error);
    bool exec(const char* sql);

    sqlite3* db_ = nullptr;
    bool memory_ = false;
    int depth_ = 0;
    bool changed_ = false;
    uint64_t checkpointed_ = UINT64_MAX; // the change counter at the last full checkpoint
    std::function<void()> commitHook_;
    std::unordered_map<const char*, sqlite3_stmt*> cache_;
};

// Maps an SQLite result code to the Win32 error a registry call returns.
LONG errorFromSqlite(int rc, bool writing);

// Runs fn with the process's registry: the attached device's registry.db (one connection per
// process, reopened when the device changes or in a forked child), or an in-memory registry
// without a device. fn runs under the process's registry lock. Returns ERROR_CANTOPEN when the
// store cannot be opened.
LONG withRegistry(const std::function<LONG(RegDb&)>& fn);
// Bumped each time the process's registry is opened on another device: key handles of an
// older generation are no longer valid.
uint64_t registryGeneration();

// Writes the device image's default keys and values into deviceDir/registry.db (createDevice).
bool writeRegistryImage(const std::filesystem::path& deviceDir, std::string* error);

} // namespace ce::reg
