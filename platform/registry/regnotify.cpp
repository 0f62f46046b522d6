// regnotify.cpp: registrations for value change notifications and the search for due ones.
//
// A registration names its value by root, folded key path and folded value name rather than by
// key row, because the key need not exist yet (the watch starts when it is created) and may be
// deleted and created again. Each registration keeps the type and data it last saw; a change is
// any difference from them, so a write by any process, a deletion and a deleted key are all
// found the same way, and several writes between two looks give one notification with the
// latest value. Updating what a registration saw is not a registry change: it neither bumps the
// change counter nor wakes anyone, or two watching processes would wake each other for ever.
//
// A registration belongs to its process (pid and the process's start time, so a reused pid is
// not mistaken for the owner) and is removed when found to belong to a process that ended.
#include "registry/regnotify.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sqlite3.h>
#include <unistd.h>
#include <unordered_map>

#include "kernel/strings.h"
#include "kernel/trace.h"
#include "registry/regdb.h"
#include "registry/regkeys.h"

namespace ce::reg {

namespace {

struct CallbackEntry {
    REGISTRYNOTIFYCALLBACK fn = nullptr;
};

struct NotifyState {
    std::mutex lock;
    std::unordered_map<int64_t, CallbackEntry> callbacks;
    std::function<void(const PendingNotification&)> sink;
    uint64_t lastChanges = UINT64_MAX; // the change counter at the last look
    uint64_t generation = 0;
    size_t registrations = 0; // of this process, in this generation
};

NotifyState& notifyState() {
    static NotifyState* s = new NotifyState();
    return *s;
}

// The start time of a process (clock ticks since boot, /proc/PID/stat field 22), or 0 when it
// does not exist or has ended (a zombie).
int64_t processStartTime(int64_t pid) {
    if (pid <= 0) return 0;
    char path[64];
    snprintf(path, sizeof path, "/proc/%lld/stat", static_cast<long long>(pid));
    FILE* f = fopen(path, "r");
    if (!f) return 0;
    char buf[1024];
    size_t n = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    buf[n] = 0;
    // The command name (field 2) may hold spaces and parentheses: fields resume after the last ')'.
    const char* p = strrchr(buf, ')');
    if (!p) return 0;
    ++p;
    int field = 2;
    const char* state = nullptr;
    while (*p && field < 22) {
        while (*p == ' ')
            ++p;
        ++field;
        if (field == 3) state = p;
        if (field == 22) break;
        while (*p && *p != ' ')
            ++p;
    }
    if (field != 22 || !state || *state == 'Z' || *state == 'X') return 0;
    return strtoll(p, nullptr, 10);
}

// Whether the process that made a registration is still running: the same pid with the same
// start time (a pid may have been reused), or, where the start time was not known, any process
// of that pid.
bool ownerAlive(int64_t pid, int64_t start) {
    if (start != 0) return processStartTime(pid) == start;
    return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

std::u16string blobName(const std::vector<uint8_t>& b) {
    std::u16string s(b.size() / sizeof(char16_t), u'\0');
    if (!s.empty()) memcpy(s.data(), b.data(), s.size() * sizeof(char16_t));
    return s;
}

// The watched value's current state: present or not, type and data.
struct Seen {
    bool present = false;
    DWORD type = 0;
    std::vector<uint8_t> data;
};

LONG lookupWatched(RegDb& db, KeyId root, const std::u16string& path, const std::u16string& value,
                   Seen* out) {
    *out = Seen{};
    std::vector<std::u16string> parts;
    if (splitKeyPath(path, &parts) != ERROR_SUCCESS) return ERROR_SUCCESS;
    KeyId id = 0;
    LONG r = db.openPath(root, parts, &id);
    if (r == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (r != ERROR_SUCCESS) return r;
    ValueRecord record;
    r = db.getValue(id, value, &record);
    if (r == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (r != ERROR_SUCCESS) return r;
    out->present = true;
    out->type = record.type;
    out->data = std::move(record.data);
    return ERROR_SUCCESS;
}

size_t cleanDeadLocked(RegDb& db) {
    std::vector<std::pair<int64_t, int64_t>> owners;
    {
        auto q = db.query("SELECT DISTINCT pid, pid_start FROM watches");
        while (q.step() == SQLITE_ROW)
            owners.emplace_back(q.integer(0), q.integer(1));
    }
    size_t removed = 0;
    for (const auto& [pid, start] : owners) {
        if (ownerAlive(pid, start)) continue;
        auto del = db.query("DELETE FROM watches WHERE pid = ?1 AND pid_start = ?2");
        del.bind(1, pid).bind(2, start);
        if (del.step() == SQLITE_DONE) ++removed;
    }
    return removed;
}

bool isDword(DWORD type, const std::vector<uint8_t>& data) {
    return type == REG_DWORD && data.size() == sizeof(DWORD);
}

DWORD dwordOf(const std::vector<uint8_t>& data) {
    DWORD v = 0;
    memcpy(&v, data.data(), sizeof v);
    return v;
}

// The text of a REG_SZ value up to its first terminator.
std::u16string textOf(const std::vector<uint8_t>& data) {
    std::u16string s = blobName(data);
    size_t end = s.find(u'\0');
    if (end != std::u16string::npos) s.resize(end);
    return s;
}

template <class T>
bool compareOrdered(int type, const T& a, const T& b) {
    switch (type) {
    case REG_CT_EQUAL: return a == b;
    case REG_CT_NOT_EQUAL: return a != b;
    case REG_CT_GREATER: return a > b;
    case REG_CT_GREATER_OR_EQUAL: return a >= b;
    case REG_CT_LESS: return a < b;
    case REG_CT_LESS_OR_EQUAL: return a <= b;
    default: return false;
    }
}

HRESULT registerWatch(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValueName, HWND hWnd, UINT msg,
                      DWORD dwUserData, REGISTRYNOTIFYCALLBACK callback,
                      const NOTIFICATIONCONDITION* pCondition, HREGNOTIFY* phNotify) {
    if (!phNotify) return E_INVALIDARG;
    // The comparison type comes from the caller's memory: read it as the integer it holds, so
    // that an out-of-range number is refused rather than loaded as an enumerator.
    int comparison = 0;
    if (pCondition) {
        memcpy(&comparison, &pCondition->ctComparisonType, sizeof comparison);
        if (comparison < REG_CT_ANYCHANGE || comparison > REG_CT_ENDS_WITH) return E_INVALIDARG;
    }
    OpenKey key;
    if (resolveKey(hKey, &key) != ERROR_SUCCESS) return E_INVALIDARG;
    std::vector<std::u16string> parts;
    LONG r =
        splitKeyPath(pszSubKey ? std::u16string_view(pszSubKey) : std::u16string_view(), &parts);
    if (r != ERROR_SUCCESS) return HRESULT_FROM_WIN32(r);
    std::u16string path = foldName(joinKeyPath(key.path, parts));
    std::u16string value = foldName(pszValueName ? pszValueName : u"");

    WatchCondition cond;
    if (pCondition) {
        cond.any = false;
        cond.type = comparison;
        cond.mask = pCondition->dwMask;
        if (cond.mask == 0) {
            if (cond.type != REG_CT_ANYCHANGE && pCondition->TargetValue.psz)
                cond.text = pCondition->TargetValue.psz;
        } else {
            cond.target = pCondition->TargetValue.dw;
        }
    }

    int64_t id = 0;
    NotifyState& ns = notifyState();
    r = withRegistry([&](RegDb& db) {
        uint64_t generation = registryGeneration();
        LONG result = db.write([&] {
            cleanDeadLocked(db);
            Seen seen;
            LONG found = lookupWatched(db, key.root, path, value, &seen);
            if (found != ERROR_SUCCESS) return found;
            auto q = db.query(
                "INSERT INTO watches(pid, pid_start, root, path, value, hwnd, msg, user_data, "
                "callback, cond_type, cond_mask, cond_dword, cond_text, seen_present, seen_type, "
                "seen_data) VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,?16)");
            q.bind(1, getpid()).bind(2, processStartTime(getpid())).bind(3, key.root);
            q.bindName(4, path).bindName(5, value);
            q.bind(6, static_cast<int64_t>(HandleToULong(hWnd))).bind(7, msg).bind(8, dwUserData);
            q.bind(9, callback ? 1 : 0);
            if (!cond.any) {
                q.bind(10, cond.type).bind(11, cond.mask).bind(12, cond.target);
                q.bindName(13, cond.text);
            }
            q.bind(14, seen.present ? 1 : 0).bind(15, seen.type);
            q.bindBlob(16, seen.data.data(), seen.data.size());
            if (q.step() != SQLITE_DONE) return LONG(ERROR_CANTWRITE);
            auto last = db.query("SELECT last_insert_rowid()");
            if (last.step() != SQLITE_ROW) return LONG(ERROR_CANTWRITE);
            id = last.integer(0);
            return LONG(ERROR_SUCCESS);
        });
        if (result == ERROR_SUCCESS) {
            std::lock_guard<std::mutex> guard(ns.lock);
            if (ns.generation != generation) {
                ns.generation = generation;
                ns.registrations = 0;
                ns.lastChanges = UINT64_MAX;
                ns.callbacks.clear();
            }
            ++ns.registrations;
            if (callback) ns.callbacks[id] = CallbackEntry{callback};
        }
        return result;
    });
    if (r != ERROR_SUCCESS) return HRESULT_FROM_WIN32(r);
    if (id <= 0 || id > 0x7FFFFFFF) return E_FAIL;
    *phNotify = ULongToHandle(static_cast<ULONG>(id));
    return S_OK;
}

} // namespace

bool conditionFires(const WatchCondition& c, bool oldPresent, DWORD oldType,
                    const std::vector<uint8_t>& oldData, bool newPresent, DWORD newType,
                    const std::vector<uint8_t>& newData) {
    if (c.any) return true;
    if (!newPresent) return c.type == REG_CT_ANYCHANGE;
    if (isDword(newType, newData)) {
        DWORD v = dwordOf(newData);
        if (c.type == REG_CT_ANYCHANGE) {
            if (c.mask == 0 || !oldPresent || !isDword(oldType, oldData)) return true;
            return (dwordOf(oldData) & c.mask) != (v & c.mask);
        }
        if (c.mask == 0) return false; // a string target never matches a number
        return compareOrdered(c.type, v & c.mask, c.target);
    }
    if (newType == REG_SZ) {
        if (c.type == REG_CT_ANYCHANGE) return true;
        if (c.mask != 0) return false; // a number target never matches a string
        std::u16string s = foldName(textOf(newData));
        std::u16string t = foldName(c.text);
        switch (c.type) {
        case REG_CT_CONTAINS: return s.find(t) != std::u16string::npos;
        case REG_CT_STARTS_WITH: return s.compare(0, t.size(), t) == 0 && s.size() >= t.size();
        case REG_CT_ENDS_WITH:
            return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
        default: return compareOrdered(c.type, s, t);
        }
    }
    return true; // neither number nor string: notified without comparison
}

size_t cleanDeadRegistrations() {
    size_t removed = 0;
    withRegistry([&](RegDb& db) {
        return db.write([&] {
            removed = cleanDeadLocked(db);
            return LONG(ERROR_SUCCESS);
        });
    });
    return removed;
}

std::vector<PendingNotification> collectRegistryChanges() {
    struct Fired {
        int64_t id;
        bool callback;
        PendingNotification note;
        Seen now;
    };
    std::vector<Fired> fired;
    NotifyState& ns = notifyState();
    withRegistry([&](RegDb& db) {
        uint64_t generation = registryGeneration();
        {
            std::lock_guard<std::mutex> guard(ns.lock);
            if (ns.generation != generation) {
                ns.generation = generation;
                ns.registrations = 0;
                ns.lastChanges = UINT64_MAX;
                ns.callbacks.clear();
            }
            if (ns.registrations == 0) return LONG(ERROR_SUCCESS);
        }
        uint64_t changes = db.changeCounter();
        {
            std::lock_guard<std::mutex> guard(ns.lock);
            if (changes == ns.lastChanges) return LONG(ERROR_SUCCESS);
        }
        LONG r = db.write([&] {
            cleanDeadLocked(db);
            struct Row {
                int64_t id;
                KeyId root;
                std::u16string path, value;
                int64_t hwnd, msg, user;
                bool callback;
                WatchCondition cond;
                Seen seen;
            };
            std::vector<Row> rows;
            {
                auto q = db.query("SELECT id, root, path, value, hwnd, msg, user_data, callback, "
                                  "cond_type, cond_mask, cond_dword, cond_text, seen_present, "
                                  "seen_type, seen_data FROM watches WHERE pid = ?1 ORDER BY id");
                q.bind(1, getpid());
                while (q.step() == SQLITE_ROW) {
                    Row row;
                    row.id = q.integer(0);
                    row.root = q.integer(1);
                    row.path = q.name(2);
                    row.value = q.name(3);
                    row.hwnd = q.integer(4);
                    row.msg = q.integer(5);
                    row.user = q.integer(6);
                    row.callback = q.integer(7) != 0;
                    if (!q.isNull(8)) {
                        row.cond.any = false;
                        row.cond.type = static_cast<int>(q.integer(8));
                        row.cond.mask = static_cast<DWORD>(q.integer(9));
                        row.cond.target = static_cast<DWORD>(q.integer(10));
                        row.cond.text = q.name(11);
                    }
                    row.seen.present = q.integer(12) != 0;
                    row.seen.type = static_cast<DWORD>(q.integer(13));
                    row.seen.data = q.blob(14);
                    rows.push_back(std::move(row));
                }
            }
            for (auto& row : rows) {
                Seen now;
                LONG found = lookupWatched(db, row.root, row.path, row.value, &now);
                if (found != ERROR_SUCCESS) return found;
                if (now.present == row.seen.present && now.type == row.seen.type &&
                    now.data == row.seen.data)
                    continue;
                auto update = db.query("UPDATE watches SET seen_present = ?2, seen_type = ?3, "
                                       "seen_data = ?4 WHERE id = ?1");
                update.bind(1, row.id).bind(2, now.present ? 1 : 0).bind(3, now.type);
                update.bindBlob(4, now.data.data(), now.data.size());
                if (update.step() != SQLITE_DONE) return LONG(ERROR_CANTWRITE);
                if (!conditionFires(row.cond, row.seen.present, row.seen.type, row.seen.data,
                                    now.present, now.type, now.data))
                    continue;
                PendingNotification note;
                note.handle = ULongToHandle(static_cast<ULONG>(row.id));
                note.hwnd = static_cast<HWND>(ULongToHandle(static_cast<ULONG>(row.hwnd)));
                note.msg = static_cast<UINT>(row.msg);
                note.wParam = isDword(now.type, now.data) ? dwordOf(now.data) : 0;
                note.lParam = static_cast<LPARAM>(static_cast<DWORD>(row.user));
                fired.push_back(Fired{row.id, row.callback, note, std::move(now)});
            }
            return LONG(ERROR_SUCCESS);
        });
        if (r == ERROR_SUCCESS) {
            std::lock_guard<std::mutex> guard(ns.lock);
            ns.lastChanges = changes;
        } else {
            CE_TRACE("reg", "collecting changes failed: %d", static_cast<int>(r));
        }
        return r;
    });

    // Callbacks run outside every lock: they may read the registry or close their registration.
    std::vector<PendingNotification> windows;
    for (auto& f : fired) {
        if (!f.callback) {
            windows.push_back(f.note);
            continue;
        }
        REGISTRYNOTIFYCALLBACK fn = nullptr;
        {
            std::lock_guard<std::mutex> guard(ns.lock);
            auto it = ns.callbacks.find(f.id);
            if (it != ns.callbacks.end()) fn = it->second.fn;
        }
        if (!fn) continue;
        BYTE* data = f.now.present ? f.now.data.data() : nullptr;
        if (data == nullptr && f.now.present) {
            static BYTE empty = 0;
            data = &empty; // a present value of no bytes still has a (valid) pointer
        }
        fn(f.note.handle, static_cast<DWORD>(f.note.lParam), data,
           f.now.present ? static_cast<UINT>(f.now.data.size()) : 0);
    }
    return windows;
}

void setRegistryChangeSink(std::function<void(const PendingNotification&)> sink) {
    NotifyState& ns = notifyState();
    std::lock_guard<std::mutex> guard(ns.lock);
    ns.sink = std::move(sink);
}

size_t deliverRegistryChanges() {
    NotifyState& ns = notifyState();
    std::function<void(const PendingNotification&)> sink;
    {
        std::lock_guard<std::mutex> guard(ns.lock);
        sink = ns.sink;
    }
    if (!sink) return 0;
    auto notes = collectRegistryChanges();
    for (const auto& n : notes)
        sink(n);
    return notes.size();
}

} // namespace ce::reg

using namespace ce::reg;

// Registers hWnd for msg on every change of the value that satisfies pCondition (any change
// when it is null). The key may not exist yet: the value is watched from its creation on.
WINBASEAPI HRESULT RegistryNotifyWindow(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValueName,
                                        HWND hWnd, UINT msg, DWORD dwUserData,
                                        NOTIFICATIONCONDITION* pCondition, HREGNOTIFY* phNotify) {
    if (!hWnd) return E_INVALIDARG;
    return registerWatch(hKey, pszSubKey, pszValueName, hWnd, msg, dwUserData, nullptr, pCondition,
                         phNotify);
}

// As RegistryNotifyWindow, with a callback of this process instead of a window message.
WINBASEAPI HRESULT RegistryNotifyCallback(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValueName,
                                          REGISTRYNOTIFYCALLBACK pfnCallback, DWORD dwUserData,
                                          NOTIFICATIONCONDITION* pCondition, HREGNOTIFY* phNotify) {
    if (!pfnCallback) return E_INVALIDARG;
    return registerWatch(hKey, pszSubKey, pszValueName, nullptr, 0, dwUserData, pfnCallback,
                         pCondition, phNotify);
}

// Ends one registration of this process; E_INVALIDARG for anything else.
WINBASEAPI HRESULT RegistryCloseNotification(HREGNOTIFY hNotify) {
    uint64_t raw = reinterpret_cast<uintptr_t>(hNotify);
    if (raw == 0 || raw > 0x7FFFFFFF) return E_INVALIDARG;
    auto id = static_cast<int64_t>(raw);
    bool removed = false;
    NotifyState& ns = notifyState();
    LONG r = withRegistry([&](RegDb& db) {
        return db.write([&] {
            auto q = db.query("DELETE FROM watches WHERE id = ?1 AND pid = ?2 RETURNING id");
            q.bind(1, id).bind(2, getpid());
            removed = q.step() == SQLITE_ROW;
            return LONG(ERROR_SUCCESS);
        });
    });
    if (r != ERROR_SUCCESS) return HRESULT_FROM_WIN32(r);
    if (!removed) return E_INVALIDARG;
    std::lock_guard<std::mutex> guard(ns.lock);
    ns.callbacks.erase(id);
    if (ns.registrations > 0) --ns.registrations;
    return S_OK;
}
