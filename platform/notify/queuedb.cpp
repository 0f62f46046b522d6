// queuedb.cpp: the notification queue as a database of the object store: the volume
// "\mxip_notify.vol" (CeMountDBVol, CeUnmountDBVol), the database "DB_notify_queue"
// (CeOpenDatabaseEx, CeSeekDatabase, CeReadRecordProps, CloseHandle/CeCloseHandle) and its
// change notices (WM_DBNOTIFICATION, CeFreeNotification), with their packing for windows of
// other programs.
//
// The queue holds one record per timed notification, in handle order; the record's object
// identifier is the notification's handle and its one property (1, CEVT_FILETIME) the UTC time
// the notification will really fire. Records are read live from the notification database: a
// seek position is kept as the record it stands on (and its index, for a record that has gone
// meanwhile).
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <memory>

#include "kernel/handles.h"
#include "kernel/localmem.h"
#include "kernel/strings.h"
#include "kernel/trace.h"
#include "notify/notifystore.h"
#include "user/marshal.h"
#include "windbase.h"

namespace {

using ce::notify::kQueueDatabaseOid;
using ce::notify::kVolumeGuid;

constexpr char16_t kVolumeName[] = u"\\mxip_notify.vol";
constexpr char16_t kQueueName[] = u"DB_notify_queue";
// Property 1 of a queue record: the fire time, a FILETIME.
constexpr CEPROPID kFireTimeProp = (1u << 16) | CEVT_FILETIME;
// The size a 32-bit device program gives CENOTIFYREQUEST.dwSize.
constexpr DWORD kRequestSize32 = 20;

std::atomic<int> mounts{0}; // CeMountDBVol calls of this process not yet undone

bool isQueueVolume(const CEGUID* g) {
    return g && g->Data1 == kVolumeGuid[0] && g->Data2 == kVolumeGuid[1] &&
           g->Data3 == kVolumeGuid[2] && g->Data4 == kVolumeGuid[3];
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// An open DB_notify_queue.
class QueueDatabase : public ce::KernelObject {
public:
    ce::ObjectType type() const override { return ce::ObjectType::Other; }
    ~QueueDatabase() override {
        // Only the process that registered removes the registration (a forked child inherits
        // the handle table, not the window).
        if (watcher && owner == getpid()) ce::notify::removeQueueWatcher(watcher);
    }

    int64_t watcher = 0;
    pid_t owner = getpid();
    bool autoIncrement = false;
    int64_t index = -1; // -1: before the first record; size: past the last
    CEOID current = 0;  // the record the position stands on, 0 when none
};

std::shared_ptr<QueueDatabase> databaseOf(HANDLE h) {
    return std::dynamic_pointer_cast<QueueDatabase>(ce::lookupHandle(h));
}

// The position of db's current record in records (it may have moved since the seek).
int64_t currentIndex(const QueueDatabase& db,
                     const std::vector<std::pair<uint32_t, int64_t>>& records) {
    if (db.current)
        for (size_t i = 0; i < records.size(); ++i)
            if (records[i].first == db.current) return static_cast<int64_t>(i);
    return db.index;
}

// ---- WM_DBNOTIFICATION between programs -------------------------------------------------------
// The record travels as its fixed fields; the receiver rebuilds it in local memory, which the
// window procedure frees with CeFreeNotification (so no storage is kept by the message).
struct WireNotification {
    uint32_t size, param, type, guid[4], oid, parent;
};

bool packNotification(UINT, WPARAM wParam, LPARAM lParam, ce::user::WireMessage& out) {
    out.wParam = static_cast<uint32_t>(wParam);
    out.lParam = 0;
    auto n = reinterpret_cast<const CENOTIFICATION*>(lParam);
    if (!n) return true;
    WireNotification w{n->dwSize, n->dwParam,
                       n->uType,  {n->guid.Data1, n->guid.Data2, n->guid.Data3, n->guid.Data4},
                       n->oid,    n->oidParent};
    out.payload.resize(sizeof w);
    std::memcpy(out.payload.data(), &w, sizeof w);
    return true;
}

bool unpackNotification(const ce::user::WireMessage& in, ce::user::UnpackedMessage& out) {
    out.wParam = in.wParam;
    out.lParam = 0;
    if (in.payload.empty()) return true;
    if (in.payload.size() != sizeof(WireNotification)) return false;
    WireNotification w;
    std::memcpy(&w, in.payload.data(), sizeof w);
    auto n = static_cast<CENOTIFICATION*>(ce::localAlloc(sizeof(CENOTIFICATION)));
    if (!n) return false;
    n->dwSize = sizeof(CENOTIFICATION);
    n->dwParam = w.param;
    n->uType = w.type;
    n->guid = CEGUID{w.guid[0], w.guid[1], w.guid[2], w.guid[3]};
    n->oid = w.oid;
    n->oidParent = w.parent;
    out.lParam = reinterpret_cast<LPARAM>(n);
    return true;
}

const bool marshallerRegistered = [] {
    ce::user::MessageMarshaller m;
    m.pack = packNotification;
    m.unpack = unpackNotification;
    ce::user::registerMessageMarshaller(WM_DBNOTIFICATION, m);
    return true;
}();

CENOTIFICATION makeRecord(const ce::notify::QueueWatcher& w, UINT type, CEOID oid) {
    CENOTIFICATION n{};
    n.dwSize = sizeof n;
    n.dwParam = w.param;
    n.uType = type;
    n.guid = CEGUID{kVolumeGuid[0], kVolumeGuid[1], kVolumeGuid[2], kVolumeGuid[3]};
    n.oid = oid;
    n.oidParent = kQueueDatabaseOid;
    return n;
}

} // namespace

namespace ce::notify {

// Tells every window that opened the queue with a notify request. Extended requests get
// WM_DBNOTIFICATION with a record; plain ones the old message (the kind of change as the
// message, wParam the record, lParam the database).
void postQueueChange(UINT type, CEOID oid) {
    (void)marshallerRegistered;
    std::vector<QueueWatcher> watchers;
    if (listQueueWatchers(&watchers) != ERROR_SUCCESS) return;
    for (const auto& w : watchers) {
        HWND hwnd = static_cast<HWND>(ULongToHandle(w.hwnd));
        bool local = w.pid == static_cast<int>(getpid());
        if (!(w.flags & CEDB_EXNOTIFICATION)) {
            PostMessageW(hwnd, type, oid, kQueueDatabaseOid);
            continue;
        }
        CENOTIFICATION record = makeRecord(w, type, oid);
        if (!local) {
            // The window system packs the record for the other program at once.
            PostMessageW(hwnd, WM_DBNOTIFICATION, 0, reinterpret_cast<LPARAM>(&record));
            continue;
        }
        auto copy = static_cast<CENOTIFICATION*>(ce::localAlloc(sizeof record, false));
        if (!copy) continue;
        *copy = record;
        if (!PostMessageW(hwnd, WM_DBNOTIFICATION, 0, reinterpret_cast<LPARAM>(copy))) {
            LocalFree(copy);
            if (!IsWindow(hwnd)) removeQueueWatcher(w.id);
        }
    }
}

} // namespace ce::notify

// Mounts the notification volume. It always exists on a device (the notification database is
// made on first use); any other volume is not found. See windbase.h.
WINBASEAPI BOOL CeMountDBVol(PCEGUID pceguid, LPWSTR lpszVol, DWORD dwFlags) {
    if (!pceguid || !lpszVol) return fail(ERROR_INVALID_PARAMETER);
    std::u16string_view name(lpszVol);
    if (name.size() > MAX_PATH) return fail(ERROR_INVALID_PARAMETER);
    bool ours = ce::equalNoCase(name, kVolumeName) || ce::equalNoCase(name, kVolumeName + 1);
    if (!ours) {
        if (dwFlags == OPEN_EXISTING || dwFlags == TRUNCATE_EXISTING)
            return fail(ERROR_FILE_NOT_FOUND);
        CE_FIXME("notify", "volumes other than the notification volume cannot be made");
        return fail(ERROR_NOT_SUPPORTED);
    }
    switch (dwFlags) {
    case OPEN_EXISTING:
    case OPEN_ALWAYS: break;
    case CREATE_NEW: return fail(ERROR_ALREADY_EXISTS);
    default:
        // Re-creating the volume would throw away every notification of the device.
        CE_FIXME("notify", "volume disposition %u refused", dwFlags);
        return fail(ERROR_ACCESS_DENIED);
    }
    // Opening the database makes it (and checks that the device has one).
    std::vector<std::pair<uint32_t, int64_t>> records;
    DWORD r = ce::notify::listQueueRecords(&records);
    if (r != ERROR_SUCCESS) return fail(r);
    *pceguid = CEGUID{kVolumeGuid[0], kVolumeGuid[1], kVolumeGuid[2], kVolumeGuid[3]};
    ++mounts;
    return TRUE;
}

// Undoes one CeMountDBVol of this process.
WINBASEAPI BOOL CeUnmountDBVol(PCEGUID pceguid) {
    if (!isQueueVolume(pceguid)) return fail(ERROR_INVALID_PARAMETER);
    int n = mounts.load();
    while (n > 0 && !mounts.compare_exchange_weak(n, n - 1)) {
    }
    return n > 0 ? TRUE : fail(ERROR_INVALID_PARAMETER);
}

// Opens DB_notify_queue on the mounted notification volume, by name or object identifier;
// with a notify request the window is told of every change. See windbase.h.
WINBASEAPI HANDLE CeOpenDatabaseEx(PCEGUID pguid, CEOID* poid, LPWSTR lpszName, CEPROPID propid,
                                   DWORD dwFlags, CENOTIFYREQUEST* pRequest) {
    auto failed = [](DWORD error) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    };
    if (!isQueueVolume(pguid) || mounts.load() <= 0) return failed(ERROR_INVALID_PARAMETER);
    if (lpszName) {
        if (!ce::equalNoCase(std::u16string_view(lpszName), kQueueName))
            return failed(ERROR_FILE_NOT_FOUND);
    } else if (!poid || *poid != kQueueDatabaseOid) {
        return failed(poid ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_PARAMETER);
    }
    if (propid != 0) {
        CE_FIXME("notify", "the queue has no sort order 0x%x", propid);
        return failed(ERROR_INVALID_PARAMETER);
    }
    if (dwFlags & ~DWORD{CEDB_AUTOINCREMENT}) return failed(ERROR_INVALID_PARAMETER);
    auto db = std::make_shared<QueueDatabase>();
    db->autoIncrement = dwFlags & CEDB_AUTOINCREMENT;
    if (pRequest) {
        if ((pRequest->dwSize != sizeof(CENOTIFYREQUEST) && pRequest->dwSize != kRequestSize32) ||
            !IsWindow(pRequest->hwnd))
            return failed(ERROR_INVALID_PARAMETER);
        db->watcher =
            ce::notify::addQueueWatcher(pRequest->hwnd, pRequest->dwFlags, pRequest->dwParam);
        if (!db->watcher) return failed(ERROR_CANTWRITE);
    }
    HANDLE h = ce::insertHandle(db);
    if (!h) return failed(ERROR_TOO_MANY_OPEN_FILES);
    if (poid) *poid = kQueueDatabaseOid;
    return h;
}

// Moves the seek position; returns the record reached, 0 past either end. See windbase.h.
WINBASEAPI CEOID CeSeekDatabase(HANDLE hDatabase, DWORD dwSeekType, DWORD dwValue,
                                LPDWORD lpdwIndex) {
    auto db = databaseOf(hDatabase);
    if (!db) return fail(ERROR_INVALID_HANDLE);
    std::vector<std::pair<uint32_t, int64_t>> records;
    DWORD r = ce::notify::listQueueRecords(&records);
    if (r != ERROR_SUCCESS) return fail(r);
    int64_t size = static_cast<int64_t>(records.size());
    int64_t target = -1;
    switch (dwSeekType) {
    case CEDB_SEEK_BEGINNING: target = dwValue; break;
    case CEDB_SEEK_CURRENT: target = currentIndex(*db, records) + static_cast<LONG>(dwValue); break;
    case CEDB_SEEK_END: target = size - 1 - static_cast<int64_t>(dwValue); break;
    case CEDB_SEEK_CEOID:
        target = size; // not found: past the end
        for (int64_t i = 0; i < size; ++i)
            if (records[i].first == dwValue) target = i;
        break;
    default:
        CE_FIXME("notify", "seek type 0x%x on a database without sort order", dwSeekType);
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (target < 0 || target >= size) {
        db->index = target < 0 ? -1 : size;
        db->current = 0;
        SetLastError(ERROR_SEEK);
        return 0;
    }
    db->index = target;
    db->current = records[target].first;
    if (lpdwIndex) *lpdwIndex = static_cast<DWORD>(target);
    return db->current;
}

// Reads the record at the seek position: its fire time (property 1, CEVT_FILETIME), or the
// properties asked for (those it does not have flagged CEDB_PROPNOTFOUND). See windbase.h.
WINBASEAPI CEOID CeReadRecordProps(HANDLE hDbase, DWORD dwFlags, LPWORD lpcPropID,
                                   CEPROPID* rgPropID, LPBYTE* lplpBuffer, LPDWORD lpcbBuffer) {
    auto db = databaseOf(hDbase);
    if (!db) return fail(ERROR_INVALID_HANDLE);
    if (!lpcPropID || !lplpBuffer || !lpcbBuffer || (dwFlags & ~DWORD{CEDB_ALLOCATE}) ||
        (rgPropID && *lpcPropID == 0))
        return fail(ERROR_INVALID_PARAMETER);
    std::vector<std::pair<uint32_t, int64_t>> records;
    DWORD r = ce::notify::listQueueRecords(&records);
    if (r != ERROR_SUCCESS) return fail(r);
    int64_t at = currentIndex(*db, records);
    if (!db->current || at < 0 || at >= static_cast<int64_t>(records.size()) ||
        records[at].first != db->current)
        return fail(ERROR_NO_MORE_ITEMS);

    std::vector<CEPROPID> wanted;
    if (rgPropID)
        wanted.assign(rgPropID, rgPropID + *lpcPropID);
    else
        wanted.push_back(kFireTimeProp);
    DWORD size = static_cast<DWORD>(wanted.size() * sizeof(CEPROPVAL));
    if (dwFlags & CEDB_ALLOCATE) {
        if (!*lplpBuffer) {
            *lplpBuffer = static_cast<LPBYTE>(ce::localAlloc(size));
            if (!*lplpBuffer) return 0;
        } else if (*lpcbBuffer < size) {
            auto grown = static_cast<LPBYTE>(LocalReAlloc(*lplpBuffer, size, LMEM_MOVEABLE));
            if (!grown) return fail(ERROR_NOT_ENOUGH_MEMORY);
            *lplpBuffer = grown;
        }
    } else if (!*lplpBuffer || *lpcbBuffer < size) {
        *lpcbBuffer = size;
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    auto props = reinterpret_cast<CEPROPVAL*>(*lplpBuffer);
    for (size_t i = 0; i < wanted.size(); ++i) {
        CEPROPVAL v{};
        v.propid = wanted[i];
        if (wanted[i] == kFireTimeProp) {
            int64_t t = records[at].second;
            v.val.filetime.dwLowDateTime = static_cast<DWORD>(t & 0xFFFFFFFF);
            v.val.filetime.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(t) >> 32);
        } else {
            v.wFlags = CEDB_PROPNOTFOUND;
        }
        std::memcpy(&props[i], &v, sizeof v);
    }
    *lpcPropID = static_cast<WORD>(wanted.size());
    *lpcbBuffer = size;
    CEOID oid = db->current;
    if (db->autoIncrement) {
        db->index = at + 1;
        db->current = at + 1 < static_cast<int64_t>(records.size()) ? records[at + 1].first : 0;
    }
    return oid;
}

// A database handle is closed like any other handle.
WINBASEAPI BOOL CeCloseHandle(HANDLE hObject) {
    return CloseHandle(hObject);
}

// Frees a record that WM_DBNOTIFICATION delivered: from local memory, or from the request's
// heap when it names one and the record is not a local block.
WINBASEAPI BOOL CeFreeNotification(PCENOTIFYREQUEST pRequest, PCENOTIFICATION pNotify) {
    if (!pNotify) return fail(ERROR_INVALID_PARAMETER);
    if (ce::isLocalBlock(pNotify)) {
        LocalFree(pNotify);
        return TRUE;
    }
    if (pRequest && pRequest->hHeap) return HeapFree(pRequest->hHeap, 0, pNotify);
    return fail(ERROR_INVALID_PARAMETER);
}
