// find.cpp: FindFirstFileW, FindNextFileW and FindClose over the device's folders.
//
// FindFirstFileW takes a snapshot of the matching entries, so an enumeration sees the folder as
// it was when it began, whatever is created or deleted meanwhile (the device's cleanup deletes
// while it enumerates). Entries come in an order without regard to case, "." and ".." are never
// reported, and a symbolic link appears only when it leads to a file or folder inside fs/.
// Attributes and times are those of GetFileAttributesW and GetFileTime (fileapi.cpp).
#include <algorithm>
#include <mutex>
#include <sys/stat.h>
#include <vector>

#include "kernel/devpath.h"
#include "kernel/fileobject.h"
#include "kernel/handles.h"
#include "kernel/clock.h"
#include "kernel/strings.h"
#include "winbase.h"

namespace ce {

namespace {

struct FindObject final : KernelObject {
    std::mutex lock;
    std::vector<WIN32_FIND_DATAW> entries;
    size_t next = 0;
    ObjectType type() const override { return ObjectType::Find; }
};

// The find data of one entry; false when the device cannot see it (a link leading out of fs/,
// something that is neither a file nor a folder, an entry that vanished).
bool describe(const std::filesystem::path& folder, const DeviceName& entry,
              const std::filesystem::path& root, WIN32_FIND_DATAW* data) {
    const std::filesystem::path host = folder / entry.host;
    struct stat st;
    if (lstat(host.c_str(), &st) != 0) return false;
    if (S_ISLNK(st.st_mode)) {
        std::error_code ec;
        const std::filesystem::path target = std::filesystem::canonical(host, ec);
        if (ec) return false;
        const std::string& t = target.native();
        const std::string& r = root.native();
        if (t.compare(0, r.size(), r) != 0 || (t.size() > r.size() && t[r.size()] != '/'))
            return false;
        if (stat(target.c_str(), &st) != 0) return false;
    }
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return false;
    *data = WIN32_FIND_DATAW{};
    data->dwFileAttributes = deviceAttributes(host, st);
    const int64_t written = fileTimeFromTimespec(st.st_mtim);
    data->ftCreationTime = intToFileTime(written);
    data->ftLastAccessTime = intToFileTime(fileTimeFromTimespec(st.st_atim));
    data->ftLastWriteTime = intToFileTime(written);
    const uint64_t size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
    const size_t n = std::min(entry.name.size(), static_cast<size_t>(MAX_PATH - 1));
    entry.name.copy(data->cFileName, n);
    data->cFileName[n] = 0;
    return true;
}

} // namespace

} // namespace ce

using namespace ce;

// Starts an enumeration of the entries of a folder matching the wildcard pattern in the last
// component ('*' and '?', without regard to case; "*.*" is everything). Fills *lpFindFileData
// with the first match. No match: INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND; a missing
// folder: ERROR_PATH_NOT_FOUND.
WINBASEAPI HANDLE FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
    if (!lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    FindTarget target;
    DWORD err = resolveFindTarget(lpFileName, &target);
    if (err != ERROR_SUCCESS) {
        SetLastError(err);
        return INVALID_HANDLE_VALUE;
    }
    auto find = std::make_shared<FindObject>();
    if (!target.pattern.empty()) {
        const std::filesystem::path root = canonicalFsRoot();
        for (const DeviceName& entry : listDeviceFolder(target.folder)) {
            if (!matchWildcard(target.pattern, entry.name)) continue;
            WIN32_FIND_DATAW data;
            if (describe(target.folder, entry, root, &data)) find->entries.push_back(data);
        }
    }
    if (find->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *lpFindFileData = find->entries[0];
    find->next = 1;
    HANDLE h = insertHandle(find);
    if (!h) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

// The next match of the enumeration; FALSE with ERROR_NO_MORE_FILES after the last one.
WINBASEAPI BOOL FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData) {
    auto find = lookupHandleAs<FindObject>(hFindFile, ObjectType::Find);
    if (!find) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(find->lock);
    if (find->next >= find->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *lpFindFileData = find->entries[find->next++];
    return TRUE;
}

// Ends an enumeration. Only a handle from FindFirstFileW is accepted (ERROR_INVALID_HANDLE).
WINBASEAPI BOOL FindClose(HANDLE hFindFile) {
    if (!lookupHandleAs<FindObject>(hFindFile, ObjectType::Find) || !removeHandle(hFindFile)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
