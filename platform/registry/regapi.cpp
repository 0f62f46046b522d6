// regapi.cpp: the Reg* functions of coredll over the registry store, and the process's table
// of open keys.
//
// Buffers follow Windows exactly, because callers size their fields to the data they expect
// and rely on what happens at the edges: a value larger than the caller's buffer is not copied
// at all (the buffer keeps its old contents) and the call returns ERROR_MORE_DATA with the size
// needed; a null data pointer asks for the size; strings come back exactly as they were stored,
// so a REG_SZ written without its terminator is read back without one (the documented reason
// why callers must terminate what they read).
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "registry/regdb.h"
#include "registry/regkeys.h"
#include "winbase.h"
#include "winreg.h"

namespace ce::reg {

namespace {

constexpr uint32_t kFirstKeyHandle = 0x104;
constexpr uint32_t kLastKeyHandle = 0x7FFFFFFC;

struct KeyTable {
    std::mutex lock;
    std::unordered_map<uint32_t, OpenKey> keys;
    uint32_t next = kFirstKeyHandle;
};

KeyTable& keyTable() {
    static KeyTable* t = new KeyTable();
    return *t;
}

// The low 32 bits of a handle, when the value is a 32-bit handle in either its zero- or its
// sign-extended form.
bool handleValue(HKEY h, uint32_t* out) {
    uint64_t raw = reinterpret_cast<uintptr_t>(h);
    uint64_t high = raw >> 32;
    if (high != 0 && high != 0xFFFFFFFFu) return false;
    *out = static_cast<uint32_t>(raw);
    return true;
}

std::u16string_view nameOrEmpty(LPCWSTR name) {
    return name ? std::u16string_view(name) : std::u16string_view();
}

// Resolves hKey and splits lpSubKey; the common start of the key-opening calls.
LONG prepareSubkey(HKEY hKey, LPCWSTR lpSubKey, OpenKey* base, std::vector<std::u16string>* parts) {
    LONG r = resolveKey(hKey, base);
    if (r != ERROR_SUCCESS) return r;
    return splitKeyPath(nameOrEmpty(lpSubKey), parts);
}

} // namespace

LONG resolveKey(HKEY h, OpenKey* out) {
    uint32_t value = 0;
    if (!handleValue(h, &value)) return ERROR_INVALID_HANDLE;
    switch (value) {
    case 0x80000000u: *out = OpenKey{kClassesRoot, kClassesRoot, u"", 0}; return ERROR_SUCCESS;
    case 0x80000001u: *out = OpenKey{kCurrentUser, kCurrentUser, u"", 0}; return ERROR_SUCCESS;
    case 0x80000002u: *out = OpenKey{kLocalMachine, kLocalMachine, u"", 0}; return ERROR_SUCCESS;
    default: break;
    }
    uint64_t generation = registryGeneration();
    KeyTable& t = keyTable();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.keys.find(value);
    if (it == t.keys.end() || it->second.generation != generation) return ERROR_INVALID_HANDLE;
    *out = it->second;
    return ERROR_SUCCESS;
}

HKEY insertKeyHandle(const OpenKey& key) {
    KeyTable& t = keyTable();
    std::lock_guard<std::mutex> guard(t.lock);
    for (uint32_t tries = 0; tries < (kLastKeyHandle - kFirstKeyHandle) / 4; ++tries) {
        uint32_t value = t.next;
        t.next = value >= kLastKeyHandle ? kFirstKeyHandle : value + 4;
        if (t.keys.emplace(value, key).second) return static_cast<HKEY>(ULongToHandle(value));
    }
    return nullptr;
}

bool removeKeyHandle(HKEY h) {
    uint32_t value = 0;
    if (!handleValue(h, &value)) return false;
    KeyTable& t = keyTable();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.keys.erase(value) > 0;
}

std::u16string joinKeyPath(const std::u16string& base, const std::vector<std::u16string>& parts) {
    std::u16string path = base;
    for (const auto& part : parts) {
        if (!path.empty()) path += u'\\';
        path += part;
    }
    return path;
}

} // namespace ce::reg

using namespace ce::reg;

// Opens or creates every missing key of the path in one transaction. Windows CE has no
// volatile keys and no key security, so options and access rights are accepted as given.
WINBASEAPI LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass,
                                DWORD dwOptions, REGSAM samDesired,
                                LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                LPDWORD lpdwDisposition) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    OpenKey base;
    std::vector<std::u16string> parts;
    LONG r = prepareSubkey(hKey, lpSubKey, &base, &parts);
    if (r != ERROR_SUCCESS) return r;
    OpenKey key = base;
    bool created = false;
    r = withRegistry([&](RegDb& db) {
        key.generation = registryGeneration();
        return db.write([&] {
            if (!db.keyExists(base.id)) return LONG(ERROR_KEY_DELETED);
            return db.createPath(base.id, parts, &key.id, &created);
        });
    });
    if (r != ERROR_SUCCESS) return r;
    key.path = joinKeyPath(base.path, parts);
    HKEY handle = insertKeyHandle(key);
    if (!handle) return ERROR_TOO_MANY_OPEN_FILES;
    *phkResult = handle;
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

// Opens an existing key; an empty or null subkey opens a new handle to hKey's own key.
WINBASEAPI LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                              PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    OpenKey base;
    std::vector<std::u16string> parts;
    LONG r = prepareSubkey(hKey, lpSubKey, &base, &parts);
    if (r != ERROR_SUCCESS) return r;
    OpenKey key = base;
    r = withRegistry([&](RegDb& db) {
        key.generation = registryGeneration();
        return db.read([&] {
            if (!db.keyExists(base.id)) return LONG(ERROR_KEY_DELETED);
            return db.openPath(base.id, parts, &key.id);
        });
    });
    if (r != ERROR_SUCCESS) return r;
    key.path = joinKeyPath(base.path, parts);
    HKEY handle = insertKeyHandle(key);
    if (!handle) return ERROR_TOO_MANY_OPEN_FILES;
    *phkResult = handle;
    return ERROR_SUCCESS;
}

// Closing a predefined root is allowed and does nothing, as on Windows.
WINBASEAPI LONG RegCloseKey(HKEY hKey) {
    uint32_t value = 0;
    if (handleValue(hKey, &value) && value >= 0x80000000u && value <= 0x80000003u)
        return ERROR_SUCCESS;
    return removeKeyHandle(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

WINBASEAPI LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                 LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    OpenKey key;
    LONG r = resolveKey(hKey, &key);
    if (r != ERROR_SUCCESS) return r;
    ValueRecord value;
    r = withRegistry([&](RegDb& db) {
        LONG found = db.getValue(key.id, nameOrEmpty(lpValueName), &value);
        if (found == ERROR_FILE_NOT_FOUND && !db.keyExists(key.id)) return LONG(ERROR_KEY_DELETED);
        return found;
    });
    if (r != ERROR_SUCCESS) return r;
    DWORD size = static_cast<DWORD>(value.data.size());
    if (lpType) *lpType = value.type;
    if (lpData) {
        if (*lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        if (size) memcpy(lpData, value.data.data(), size);
    }
    if (lpcbData) *lpcbData = size;
    return ERROR_SUCCESS;
}

// Stores the data exactly as given, whatever the type says: a REG_SZ keeps the byte length
// the caller passed (terminator included or not), a REG_DWORD the bytes it was given.
WINBASEAPI LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                               const BYTE* lpData, DWORD cbData) {
    if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
    if (cbData > kMaxValueBytes) return ERROR_INVALID_PARAMETER;
    std::u16string_view name = nameOrEmpty(lpValueName);
    if (name.size() > kMaxValueNameChars) return ERROR_INVALID_PARAMETER;
    OpenKey key;
    LONG r = resolveKey(hKey, &key);
    if (r != ERROR_SUCCESS) return r;
    return withRegistry([&](RegDb& db) {
        return db.write([&] {
            if (!db.keyExists(key.id)) return LONG(ERROR_KEY_DELETED);
            return db.setValue(key.id, name, dwType, lpData, cbData);
        });
    });
}

WINBASEAPI LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    OpenKey key;
    LONG r = resolveKey(hKey, &key);
    if (r != ERROR_SUCCESS) return r;
    return withRegistry([&](RegDb& db) {
        return db.write([&] {
            if (!db.keyExists(key.id)) return LONG(ERROR_KEY_DELETED);
            return db.deleteValue(key.id, nameOrEmpty(lpValueName));
        });
    });
}

// Windows CE deletes the key with all its subkeys and values. Handles still open on a deleted
// key fail from then on with ERROR_KEY_DELETED. An empty subkey names hKey's own key; the
// roots cannot be deleted.
WINBASEAPI LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    OpenKey base;
    std::vector<std::u16string> parts;
    LONG r = prepareSubkey(hKey, lpSubKey, &base, &parts);
    if (r != ERROR_SUCCESS) return r;
    return withRegistry([&](RegDb& db) {
        return db.write([&] {
            if (!db.keyExists(base.id)) return LONG(ERROR_KEY_DELETED);
            KeyId id = 0;
            LONG found = db.openPath(base.id, parts, &id);
            if (found != ERROR_SUCCESS) return found;
            if (id == kClassesRoot || id == kCurrentUser || id == kLocalMachine)
                return LONG(ERROR_ACCESS_DENIED);
            return db.deleteTree(id);
        });
    });
}

// Subkeys enumerate in the order they were created. An index past the end (0xFFFFFFFF too)
// is ERROR_NO_MORE_ITEMS; a name buffer too small for name and terminator is ERROR_MORE_DATA
// and receives nothing. Keys have no class and no write time here: both come back empty.
WINBASEAPI LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                              LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                              PFILETIME lpftLastWriteTime) {
    if (!lpName || !lpcchName || lpReserved) return ERROR_INVALID_PARAMETER;
    OpenKey key;
    LONG r = resolveKey(hKey, &key);
    if (r != ERROR_SUCCESS) return r;
    std::u16string name;
    r = withRegistry([&](RegDb& db) {
        return db.read([&] {
            if (!db.keyExists(key.id)) return LONG(ERROR_KEY_DELETED);
            return db.subkeyAt(key.id, dwIndex, &name);
        });
    });
    if (r != ERROR_SUCCESS) return r;
    if (name.size() + 1 > *lpcchName) return ERROR_MORE_DATA;
    memcpy(lpName, name.data(), name.size() * sizeof(char16_t));
    lpName[name.size()] = 0;
    *lpcchName = static_cast<DWORD>(name.size());
    if (lpClass && lpcchClass && *lpcchClass > 0) lpClass[0] = 0;
    if (lpcchClass) *lpcchClass = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

// Values enumerate in the order they were first created; rewriting a value keeps its place.
// When the name or the data does not fit, nothing is copied: the call returns ERROR_MORE_DATA
// with the type and the data size needed, the name buffer and its count untouched.
WINBASEAPI LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                              LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    OpenKey key;
    LONG r = resolveKey(hKey, &key);
    if (r != ERROR_SUCCESS) return r;
    ValueRecord value;
    r = withRegistry([&](RegDb& db) {
        return db.read([&] {
            if (!db.keyExists(key.id)) return LONG(ERROR_KEY_DELETED);
            return db.valueAt(key.id, dwIndex, &value);
        });
    });
    if (r != ERROR_SUCCESS) return r;
    DWORD size = static_cast<DWORD>(value.data.size());
    bool nameFits = value.name.size() + 1 <= *lpcchValueName;
    bool dataFits = !lpData || *lpcbData >= size;
    if (!nameFits || !dataFits) {
        if (lpType) *lpType = value.type;
        if (lpcbData) *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    memcpy(lpValueName, value.name.data(), value.name.size() * sizeof(char16_t));
    lpValueName[value.name.size()] = 0;
    *lpcchValueName = static_cast<DWORD>(value.name.size());
    if (lpType) *lpType = value.type;
    if (lpData && size) memcpy(lpData, value.data.data(), size);
    if (lpcbData) *lpcbData = size;
    return ERROR_SUCCESS;
}

// Name lengths are in characters without the terminator, data sizes in bytes.
WINBASEAPI LONG RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                 LPDWORD lpcSubKeys, LPDWORD lpcchMaxSubKeyLen,
                                 LPDWORD lpcchMaxClassLen, LPDWORD lpcValues,
                                 LPDWORD lpcchMaxValueNameLen, LPDWORD lpcbMaxValueData,
                                 LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
    if (lpReserved) return ERROR_INVALID_PARAMETER;
    OpenKey key;
    LONG r = resolveKey(hKey, &key);
    if (r != ERROR_SUCCESS) return r;
    KeyInfo info;
    r = withRegistry([&](RegDb& db) {
        return db.read([&] {
            if (!db.keyExists(key.id)) return LONG(ERROR_KEY_DELETED);
            return db.keyInfo(key.id, &info);
        });
    });
    if (r != ERROR_SUCCESS) return r;
    if (lpClass && lpcchClass && *lpcchClass > 0) lpClass[0] = 0;
    if (lpcchClass) *lpcchClass = 0;
    if (lpcSubKeys) *lpcSubKeys = info.subkeys;
    if (lpcchMaxSubKeyLen) *lpcchMaxSubKeyLen = info.maxSubkeyChars;
    if (lpcchMaxClassLen) *lpcchMaxClassLen = 0;
    if (lpcValues) *lpcValues = info.values;
    if (lpcchMaxValueNameLen) *lpcchMaxValueNameLen = info.maxValueNameChars;
    if (lpcbMaxValueData) *lpcbMaxValueData = info.maxValueBytes;
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

// Every committed write is already visible to all processes and safe from a killed process;
// the flush moves the log into the database file so that it also survives a power loss.
WINBASEAPI LONG RegFlushKey(HKEY hKey) {
    OpenKey key;
    LONG r = resolveKey(hKey, &key);
    if (r != ERROR_SUCCESS) return r;
    return withRegistry([&](RegDb& db) { return db.checkpoint(); });
}
