// fileapi.cpp: the device's file API: CreateFileW, ReadFile, WriteFile, SetFilePointer,
// SetEndOfFile, GetFileSize, GetFileTime, SetFileTime, FlushFileBuffers, DeleteFileW,
// CopyFileW, MoveFileW, CreateDirectoryW, RemoveDirectoryW, GetFileAttributesW and
// SetFileAttributesW, over host files below the device's fs/ folder.
//
// Paths go through devpath.h, share modes through sharemode.h. Choices where the host and the
// device differ:
// * Attributes: folders are DIRECTORY (storage-card folders DIRECTORY|TEMPORARY), files are
//   ARCHIVE, plus READONLY when the host file lacks the owner's write permission. READONLY is
//   the only attribute SetFileAttributesW stores (as the permission bits, on files); the others
//   are accepted and not kept. READONLY is enforced here even for a privileged host user.
// * Times: the host keeps no settable creation time, so the creation time reads as the last
//   write time and SetFileTime ignores it. Every write, truncation and creation through the
//   API stamps the host's modification and access times with the device clock, so file times
//   follow the device's clock (a frozen clock gives equal times).
// * Delete sharing: FILE_SHARE_DELETE is honoured when given, but programs of the device never
//   pass it, so a file that is open anywhere cannot be deleted or moved (sharing violation).
// * Directories cannot be opened with CreateFileW (ERROR_ACCESS_DENIED), as on the device.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "kernel/clock.h"
#include "kernel/devpath.h"
#include "kernel/fileobject.h"
#include "kernel/strings.h"
#include "kernel/trace.h"
#include "winbase.h"

namespace ce {

namespace {

// FILETIME units between 1601-01-01 and the Unix epoch.
constexpr int64_t kUnixEpochFileTime = 116444736000000000LL;
// Standard and specific access rights a caller may combine with the generic ones.
constexpr DWORD kDeleteRight = 0x00010000;
constexpr DWORD kFileReadData = 0x0001;
constexpr DWORD kFileWriteData = 0x0002;
constexpr DWORD kFileAppendData = 0x0004;
constexpr DWORD kFileWriteAttributes = 0x0100;

DWORD accessBits(DWORD desired) {
    DWORD bits = 0;
    if (desired & (GENERIC_READ | GENERIC_ALL | GENERIC_EXECUTE | kFileReadData))
        bits |= kAccessRead;
    if (desired & (GENERIC_WRITE | GENERIC_ALL | kFileWriteData | kFileAppendData))
        bits |= kAccessWrite;
    if (desired & (GENERIC_ALL | kDeleteRight)) bits |= kAccessDelete;
    return bits;
}

bool isReadOnly(const struct stat& st) {
    return S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR);
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::shared_ptr<FileObject> fileFromHandle(HANDLE h) {
    auto file = lookupHandleAs<FileObject>(h, ObjectType::File);
    if (!file || file->fd.get() < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return file;
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// A descriptor used only to ask about the share locks of the file at host (F_OFD_GETLK works
// on any descriptor). -1 when the file cannot be opened, which means no handle can have it
// open either.
int probeDescriptor(const std::filesystem::path& host, const struct stat& expect) {
    int fd = open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !sameFile(st, expect)) {
        close(fd);
        return -1;
    }
    return fd;
}

// Whether removing or replacing the file at host would break an open that does not share
// delete access (DeleteFileW, MoveFileW, the target of CopyFileW).
bool deleteConflicts(const std::filesystem::path& host, const struct stat& st, DWORD access) {
    OwnedFd probe(probeDescriptor(host, st));
    if (probe.get() < 0) return false;
    return shareConflicts(probe.get(),
                          {access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE});
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A name for CopyFileW's temporary file, unique across the processes and threads of the host.
std::string copyTempName() {
    static std::atomic<unsigned> counter{0};
    char buf[64];
    snprintf(buf, sizeof buf, "~cecopy.%d.%u.tmp", static_cast<int>(getpid()), counter++);
    return buf;
}

} // namespace

DWORD errorFromErrno(int err) {
    switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ELOOP: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EBUSY: return ERROR_BUSY;
    case EROFS: return ERROR_WRITE_PROTECT;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EFBIG: return ERROR_DISK_FULL;
    default: return ERROR_GEN_FAILURE;
    }
}

int64_t fileTimeFromTimespec(const struct timespec& ts) {
    return static_cast<int64_t>(ts.tv_sec) * 10'000'000 + ts.tv_nsec / 100 + kUnixEpochFileTime;
}

struct timespec timespecFromFileTime(int64_t ft) {
    int64_t rel = ft - kUnixEpochFileTime;
    struct timespec ts;
    int64_t sec = rel / 10'000'000, rem = rel % 10'000'000;
    if (rem < 0) {
        rem += 10'000'000;
        --sec;
    }
    ts.tv_sec = static_cast<time_t>(sec);
    ts.tv_nsec = static_cast<long>(rem * 100);
    return ts;
}

void stampDeviceTime(int fd) {
    struct timespec now = timespecFromFileTime(deviceUtcNow());
    struct timespec times[2] = {now, now};
    if (futimens(fd, times) != 0) CE_TRACE("file", "futimens failed: errno %d", errno);
}

std::shared_ptr<FileObject> openDeviceFile(const char16_t* name, DWORD desiredAccess,
                                           DWORD shareMode, DWORD disposition,
                                           DWORD flagsAndAttributes, DWORD* lastError) {
    auto failWith = [&](DWORD error) {
        *lastError = error;
        return std::shared_ptr<FileObject>();
    };
    const ShareAccess want{accessBits(desiredAccess), shareMode};
    if (shareMode & ~DWORD(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
        return failWith(ERROR_INVALID_PARAMETER);
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING)
        return failWith(ERROR_INVALID_PARAMETER);
    // Truncating needs the right to write, whatever else was asked for.
    if (disposition == TRUNCATE_EXISTING && !(want.access & kAccessWrite))
        return failWith(ERROR_INVALID_PARAMETER);

    DevicePath path;
    DWORD err = resolveDevicePath(name, PathLookup::Creatable, &path);
    if (err != ERROR_SUCCESS) return failWith(err);
    if (!path.exists && path.trailingSeparator) return failWith(ERROR_INVALID_NAME);

    const bool wantsWrite = want.access & kAccessWrite;
    int openFlags = (wantsWrite ? O_RDWR : O_RDONLY) | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY;
    if (flagsAndAttributes & FILE_FLAG_WRITE_THROUGH) openFlags |= O_DSYNC;

    bool exists = path.exists;
    struct stat st = path.st;
    // The name can appear or vanish under us (another process creating or deleting it); each
    // round re-decides between opening and creating.
    for (int round = 0; round < 16; ++round) {
        bool created = false;
        int raw = -1;
        if (exists) {
            if (disposition == CREATE_NEW) return failWith(ERROR_FILE_EXISTS);
            if (S_ISDIR(st.st_mode) || !S_ISREG(st.st_mode)) return failWith(ERROR_ACCESS_DENIED);
            const bool overwrites =
                disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
            if (isReadOnly(st) && (wantsWrite || overwrites)) return failWith(ERROR_ACCESS_DENIED);
            // O_NONBLOCK keeps a FIFO swapped in meanwhile from blocking the open.
            raw = open(path.host.c_str(), openFlags | O_NONBLOCK);
            if (raw < 0) {
                if (errno == ENOENT) {
                    exists = false;
                    continue;
                }
                return failWith(errorFromErrno(errno));
            }
        } else {
            if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)
                return failWith(ERROR_FILE_NOT_FOUND);
            raw = open(path.host.c_str(), openFlags | O_CREAT | O_EXCL, 0666);
            if (raw < 0) {
                if (errno == EEXIST) {
                    if (lstat(path.host.c_str(), &st) != 0) continue;
                    exists = true;
                    continue;
                }
                if (errno == ENOENT) return failWith(ERROR_PATH_NOT_FOUND);
                return failWith(errorFromErrno(errno));
            }
            created = true;
        }
        auto file = std::make_shared<FileObject>();
        file->fd.reset(raw);
        const int fd = file->fd.get();
        struct stat opened;
        if (fstat(fd, &opened) != 0) return failWith(errorFromErrno(errno));
        if (!S_ISREG(opened.st_mode)) return failWith(ERROR_ACCESS_DENIED);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);

        const bool truncates =
            !created && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING);
        {
            DeviceFileLock lock;
            // The name must still lead to what was opened, or a DeleteFileW that ran between
            // the open and the lock would leave this handle on a file nobody can name.
            struct stat now;
            if (stat(path.host.c_str(), &now) != 0 || !sameFile(now, opened)) {
                exists = lstat(path.host.c_str(), &st) == 0;
                continue;
            }
            if (shareConflicts(fd, want)) return failWith(ERROR_SHARING_VIOLATION);
            if (truncates && mappedByAnyone(fd)) return failWith(ERROR_USER_MAPPED_FILE);
            if (!shareRecord(fd, want)) return failWith(ERROR_SHARING_VIOLATION);
        }
        if (truncates && ftruncate(fd, 0) != 0) return failWith(errorFromErrno(errno));
        if (created || truncates) {
            stampDeviceTime(fd);
            if (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) fchmod(fd, opened.st_mode & 07555);
        }
        file->access = want.access;
        file->desiredAccess = desiredAccess;
        file->share = shareMode;
        file->device = path.device;
        const bool reportsExisting =
            !created && (disposition == OPEN_ALWAYS || disposition == CREATE_ALWAYS);
        *lastError = reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
        CE_TRACE("file", "%s opened (access %#x share %#x)", toUtf8(path.device).c_str(),
                 desiredAccess, shareMode);
        return file;
    }
    return failWith(ERROR_SHARING_VIOLATION);
}

} // namespace ce

using namespace ce;

// Opens or creates a file. CREATE_NEW fails on an existing name (ERROR_FILE_EXISTS);
// CREATE_ALWAYS and OPEN_ALWAYS succeed on one with GetLastError() == ERROR_ALREADY_EXISTS and
// leave 0 otherwise; OPEN_EXISTING and TRUNCATE_EXISTING need the file (ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND for a missing folder); TRUNCATE_EXISTING needs GENERIC_WRITE. The share
// mode is checked against every open of the file in every process of the device.
WINBASEAPI HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                              LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                              DWORD dwFlagsAndAttributes, HANDLE) {
    DWORD error = ERROR_SUCCESS;
    auto file = openDeviceFile(lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition,
                               dwFlagsAndAttributes, &error);
    if (!file) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE h = insertHandle(file);
    if (!h) {
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(error);
    return h;
}

// Reads up to nNumberOfBytesToRead bytes at the file position; at the end of the file it
// succeeds with 0 bytes. The count is set to 0 before anything else, as the device does.
// Overlapped I/O does not exist on the device: lpOverlapped must be NULL.
WINBASEAPI BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                         LPDWORD lpNumberOfBytesRead, LPVOID lpOverlapped) {
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    auto file = fileFromHandle(hFile);
    if (!file) return FALSE;
    if (lpOverlapped) return fail(ERROR_INVALID_PARAMETER);
    if (!(file->access & kAccessRead)) return fail(ERROR_ACCESS_DENIED);
    if (nNumberOfBytesToRead > 0 && !lpBuffer) return fail(ERROR_NOACCESS);
    char* out = static_cast<char*>(lpBuffer);
    size_t done = 0;
    while (done < nNumberOfBytesToRead) {
        ssize_t n = read(file->fd.get(), out + done, nNumberOfBytesToRead - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(errorFromErrno(errno));
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = static_cast<DWORD>(done);
    return TRUE;
}

// Writes at the file position and moves it on. A handle without write access gets
// ERROR_ACCESS_DENIED; a full disk ERROR_DISK_FULL.
WINBASEAPI BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                          LPDWORD lpNumberOfBytesWritten, LPVOID lpOverlapped) {
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    auto file = fileFromHandle(hFile);
    if (!file) return FALSE;
    if (lpOverlapped) return fail(ERROR_INVALID_PARAMETER);
    if (!(file->access & kAccessWrite)) return fail(ERROR_ACCESS_DENIED);
    if (nNumberOfBytesToWrite > 0 && !lpBuffer) return fail(ERROR_NOACCESS);
    const char* in = static_cast<const char*>(lpBuffer);
    size_t done = 0;
    while (done < nNumberOfBytesToWrite) {
        ssize_t n = write(file->fd.get(), in + done, nNumberOfBytesToWrite - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (done > 0) stampDeviceTime(file->fd.get());
            if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = static_cast<DWORD>(done);
            return fail(errorFromErrno(errno));
        }
        done += static_cast<size_t>(n);
    }
    if (done > 0) stampDeviceTime(file->fd.get());
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = static_cast<DWORD>(done);
    return TRUE;
}

// Moves the file position. Without lpDistanceToMoveHigh the distance is a signed 32-bit value
// and the new position must fit in 32 bits; with it, the two form a signed 64-bit distance and
// the high half of the new position is returned there. A position before the start fails with
// ERROR_NEGATIVE_SEEK and leaves the position alone. Because INVALID_SET_FILE_POINTER is also
// a valid low half, a success that returns it sets the last error to NO_ERROR.
WINBASEAPI DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                                DWORD dwMoveMethod) {
    auto file = fileFromHandle(hFile);
    if (!file) return INVALID_SET_FILE_POINTER;
    const int fd = file->fd.get();
    int64_t distance = lDistanceToMove;
    if (lpDistanceToMoveHigh)
        distance = static_cast<int64_t>(
            (static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh)) << 32) |
            static_cast<uint32_t>(lDistanceToMove));
    int64_t base = 0;
    switch (dwMoveMethod) {
    case FILE_BEGIN: base = 0; break;
    case FILE_CURRENT: base = lseek(fd, 0, SEEK_CUR); break;
    case FILE_END: {
        struct stat st;
        base = fstat(fd, &st) == 0 ? st.st_size : -1;
        break;
    }
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_SET_FILE_POINTER;
    }
    if (base < 0) {
        SetLastError(errorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    int64_t target = 0;
    if (__builtin_add_overflow(base, distance, &target)) {
        SetLastError(distance < 0 ? ERROR_NEGATIVE_SEEK : ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (target < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    if (!lpDistanceToMoveHigh && target > 0xFFFFFFFFLL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (lseek(fd, target, SEEK_SET) < 0) {
        SetLastError(errorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(target >> 32);
    const DWORD low = static_cast<DWORD>(target);
    if (low == INVALID_SET_FILE_POINTER) SetLastError(NO_ERROR);
    return low;
}

// Makes the file end at the current position (shorter or longer). Needs write access; a file
// that a mapping of any process covers cannot be cut short (ERROR_USER_MAPPED_FILE).
WINBASEAPI BOOL SetEndOfFile(HANDLE hFile) {
    auto file = fileFromHandle(hFile);
    if (!file) return FALSE;
    if (!(file->access & kAccessWrite)) return fail(ERROR_ACCESS_DENIED);
    const int fd = file->fd.get();
    off_t pos = lseek(fd, 0, SEEK_CUR);
    struct stat st;
    if (pos < 0 || fstat(fd, &st) != 0) return fail(errorFromErrno(errno));
    if (pos < st.st_size) {
        DeviceFileLock lock;
        if (mappedByAnyone(fd)) return fail(ERROR_USER_MAPPED_FILE);
        if (ftruncate(fd, pos) != 0) return fail(errorFromErrno(errno));
    } else if (pos > st.st_size) {
        if (ftruncate(fd, pos) != 0) return fail(errorFromErrno(errno));
    }
    stampDeviceTime(fd);
    return TRUE;
}

// Returns the low half of the size and stores the high half in *lpFileSizeHigh. A success
// whose low half equals INVALID_FILE_SIZE sets the last error to NO_ERROR.
WINBASEAPI DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    auto file = fileFromHandle(hFile);
    if (!file) return INVALID_FILE_SIZE;
    struct stat st;
    if (fstat(file->fd.get(), &st) != 0) {
        SetLastError(errorFromErrno(errno));
        return INVALID_FILE_SIZE;
    }
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    const DWORD low = static_cast<DWORD>(size);
    if (low == INVALID_FILE_SIZE) SetLastError(NO_ERROR);
    return low;
}

// The file's times as FILETIME (UTC). The creation time is reported as the last write time
// (see the top of this file). Each pointer may be NULL.
WINBASEAPI BOOL GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime,
                            LPFILETIME lpLastWriteTime) {
    auto file = fileFromHandle(hFile);
    if (!file) return FALSE;
    struct stat st;
    if (fstat(file->fd.get(), &st) != 0) return fail(errorFromErrno(errno));
    const int64_t written = fileTimeFromTimespec(st.st_mtim);
    if (lpCreationTime) *lpCreationTime = intToFileTime(written);
    if (lpLastAccessTime) *lpLastAccessTime = intToFileTime(fileTimeFromTimespec(st.st_atim));
    if (lpLastWriteTime) *lpLastWriteTime = intToFileTime(written);
    return TRUE;
}

// Sets the last-access and last-write times; a NULL pointer or a zero FILETIME leaves that time
// alone, and the creation time is not kept. Needs write access (or FILE_WRITE_ATTRIBUTES).
WINBASEAPI BOOL SetFileTime(HANDLE hFile, const FILETIME* lpCreationTime,
                            const FILETIME* lpLastAccessTime, const FILETIME* lpLastWriteTime) {
    auto file = fileFromHandle(hFile);
    if (!file) return FALSE;
    if (!(file->access & kAccessWrite) && !(file->desiredAccess & kFileWriteAttributes))
        return fail(ERROR_ACCESS_DENIED);
    (void)lpCreationTime;
    auto pick = [](const FILETIME* ft) {
        struct timespec ts = {0, UTIME_OMIT};
        if (ft && (ft->dwLowDateTime || ft->dwHighDateTime)) {
            const uint64_t v =
                (static_cast<uint64_t>(ft->dwHighDateTime) << 32) | ft->dwLowDateTime;
            if (v > static_cast<uint64_t>(INT64_MAX)) return ts;
            ts = timespecFromFileTime(static_cast<int64_t>(v));
        }
        return ts;
    };
    struct timespec times[2] = {pick(lpLastAccessTime), pick(lpLastWriteTime)};
    if (futimens(file->fd.get(), times) != 0) return fail(errorFromErrno(errno));
    return TRUE;
}

// Writes the file's data through to the host's storage. Needs write access.
WINBASEAPI BOOL FlushFileBuffers(HANDLE hFile) {
    auto file = fileFromHandle(hFile);
    if (!file) return FALSE;
    if (!(file->access & kAccessWrite)) return fail(ERROR_ACCESS_DENIED);
    if (fsync(file->fd.get()) != 0) return fail(errorFromErrno(errno));
    return TRUE;
}

// Deletes a file. Folders and read-only files give ERROR_ACCESS_DENIED; a file that any
// process has open (without FILE_SHARE_DELETE, i.e. always on the device) gives
// ERROR_SHARING_VIOLATION and stays. A symbolic link is removed itself, never its target.
WINBASEAPI BOOL DeleteFileW(LPCWSTR lpFileName) {
    DevicePath path;
    DWORD err = resolveDevicePath(lpFileName, PathLookup::Existing, &path, false);
    if (err != ERROR_SUCCESS) return fail(err);
    if (S_ISDIR(path.st.st_mode)) return fail(ERROR_ACCESS_DENIED);
    if (isReadOnly(path.st)) return fail(ERROR_ACCESS_DENIED);
    DeviceFileLock lock;
    if (S_ISREG(path.st.st_mode) && deleteConflicts(path.host, path.st, kAccessDelete))
        return fail(ERROR_SHARING_VIOLATION);
    if (unlink(path.host.c_str()) != 0) return fail(errorFromErrno(errno));
    return TRUE;
}

// Copies a file with its attributes and times. With bFailIfExists an existing target gives
// ERROR_FILE_EXISTS; otherwise a target file is replaced unless it is read-only
// (ERROR_ACCESS_DENIED) or open anywhere (ERROR_SHARING_VIOLATION). The copy is written to a
// temporary file in the target's folder and renamed into place, so the target is always either
// the old file or the complete copy.
WINBASEAPI BOOL CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists) {
    DevicePath src, dst;
    DWORD err = resolveDevicePath(lpExistingFileName, PathLookup::Existing, &src);
    if (err != ERROR_SUCCESS) return fail(err);
    if (!S_ISREG(src.st.st_mode)) return fail(ERROR_ACCESS_DENIED);
    err = resolveDevicePath(lpNewFileName, PathLookup::Creatable, &dst);
    if (err != ERROR_SUCCESS) return fail(err);
    if (!dst.exists && dst.trailingSeparator) return fail(ERROR_INVALID_NAME);
    if (dst.exists) {
        if (bFailIfExists) return fail(ERROR_FILE_EXISTS);
        if (!S_ISREG(dst.st.st_mode)) return fail(ERROR_ACCESS_DENIED);
        if (isReadOnly(dst.st)) return fail(ERROR_ACCESS_DENIED);
    }
    // The source is read under a handle that lets others read only, as the device's copy does.
    DWORD openError = ERROR_SUCCESS;
    auto source = openDeviceFile(lpExistingFileName, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                 0, &openError);
    if (!source) return fail(openError);
    struct stat srcStat;
    if (fstat(source->fd.get(), &srcStat) != 0) return fail(errorFromErrno(errno));

    const std::filesystem::path temp = dst.host.parent_path() / copyTempName();
    OwnedFd out(open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (out.get() < 0) return fail(errorFromErrno(errno));
    auto abandon = [&](DWORD error) {
        unlink(temp.c_str());
        return fail(error);
    };
    std::vector<char> buffer(64 * 1024);
    for (off_t offset = 0;;) {
        ssize_t n = pread(source->fd.get(), buffer.data(), buffer.size(), offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return abandon(errorFromErrno(errno));
        }
        if (n == 0) break;
        if (!writeAll(out.get(), buffer.data(), static_cast<size_t>(n)))
            return abandon(errorFromErrno(errno));
        offset += n;
    }
    fchmod(out.get(), srcStat.st_mode & 07777);
    struct timespec times[2] = {srcStat.st_atim, srcStat.st_mtim};
    futimens(out.get(), times);
    if (fsync(out.get()) != 0) return abandon(errorFromErrno(errno));
    out.reset();

    DeviceFileLock lock;
    struct stat now;
    if (lstat(dst.host.c_str(), &now) == 0) {
        if (bFailIfExists) return abandon(ERROR_FILE_EXISTS);
        // Replacing the target removes the file that is there now: an open of it that does
        // not share writing and deleting forbids the copy. The source's own handle counts too,
        // so a copy onto itself is a sharing violation, as on the device.
        if (S_ISREG(now.st_mode) && deleteConflicts(dst.host, now, kAccessWrite | kAccessDelete))
            return abandon(ERROR_SHARING_VIOLATION);
    }
    if (bFailIfExists) {
        if (renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, dst.host.c_str(), RENAME_NOREPLACE) != 0)
            return abandon(errno == EEXIST ? ERROR_FILE_EXISTS : errorFromErrno(errno));
    } else if (rename(temp.c_str(), dst.host.c_str()) != 0) {
        return abandon(errorFromErrno(errno));
    }
    return TRUE;
}

// Renames or moves a file or a folder. An existing target is never replaced
// (ERROR_ALREADY_EXISTS), except that a name may change its case. A file that is open anywhere
// without delete sharing cannot move (ERROR_SHARING_VIOLATION); the root and the storage-card
// folders cannot move, nor can a folder move into itself (ERROR_ACCESS_DENIED).
WINBASEAPI BOOL MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName) {
    DevicePath src, dst;
    DWORD err = resolveDevicePath(lpExistingFileName, PathLookup::Existing, &src, false);
    if (err != ERROR_SUCCESS) return fail(err);
    err = resolveDevicePath(lpNewFileName, PathLookup::Creatable, &dst, false);
    if (err != ERROR_SUCCESS) return fail(err);
    if (src.isRoot || isStorageCardRoot(src.host)) return fail(ERROR_ACCESS_DENIED);
    if (dst.isRoot) return fail(ERROR_ALREADY_EXISTS);
    std::filesystem::path target = dst.host;
    if (dst.exists) {
        if (dst.host != src.host) return fail(ERROR_ALREADY_EXISTS);
        // The same entry under another spelling: a change of case only.
        target = dst.host.parent_path() / toUtf8(dst.givenLeaf);
        if (target == src.host) return TRUE;
    }
    if (S_ISDIR(src.st.st_mode)) {
        const std::string& s = src.host.native();
        const std::string& t = target.native();
        if (t.size() > s.size() && t.compare(0, s.size(), s) == 0 && t[s.size()] == '/')
            return fail(ERROR_ACCESS_DENIED);
    }
    DeviceFileLock lock;
    if (S_ISREG(src.st.st_mode) && deleteConflicts(src.host, src.st, kAccessDelete))
        return fail(ERROR_SHARING_VIOLATION);
    const unsigned flags = dst.exists ? 0 : RENAME_NOREPLACE;
    if (renameat2(AT_FDCWD, src.host.c_str(), AT_FDCWD, target.c_str(), flags) != 0) {
        if (errno == EEXIST) return fail(ERROR_ALREADY_EXISTS);
        if (errno == EINVAL && flags) {
            // A host file system without RENAME_NOREPLACE: the lock above keeps other device
            // programs out between this test and the rename.
            struct stat st;
            if (lstat(target.c_str(), &st) == 0) return fail(ERROR_ALREADY_EXISTS);
            if (rename(src.host.c_str(), target.c_str()) == 0) return TRUE;
        }
        return fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : errorFromErrno(errno));
    }
    return TRUE;
}

// Creates a folder. ERROR_ALREADY_EXISTS when the name exists (file or folder, any case),
// ERROR_PATH_NOT_FOUND when the folder above it does not.
WINBASEAPI BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES) {
    DevicePath path;
    DWORD err = resolveDevicePath(lpPathName, PathLookup::Creatable, &path, false);
    if (err != ERROR_SUCCESS) return fail(err);
    if (path.exists) return fail(ERROR_ALREADY_EXISTS);
    if (mkdir(path.host.c_str(), 0777) != 0)
        return fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : errorFromErrno(errno));
    struct timespec now = timespecFromFileTime(deviceUtcNow());
    struct timespec times[2] = {now, now};
    utimensat(AT_FDCWD, path.host.c_str(), times, AT_SYMLINK_NOFOLLOW);
    return TRUE;
}

// Removes an empty folder: ERROR_DIR_NOT_EMPTY otherwise, ERROR_DIRECTORY for a file. The root
// and the storage-card folders are the device's own and cannot be removed
// (ERROR_ACCESS_DENIED).
WINBASEAPI BOOL RemoveDirectoryW(LPCWSTR lpPathName) {
    DevicePath path;
    DWORD err = resolveDevicePath(lpPathName, PathLookup::Existing, &path, false);
    if (err != ERROR_SUCCESS) return fail(err);
    if (path.isRoot || isStorageCardRoot(path.host)) return fail(ERROR_ACCESS_DENIED);
    if (!S_ISDIR(path.st.st_mode)) return fail(ERROR_DIRECTORY);
    if (rmdir(path.host.c_str()) != 0)
        return fail(errno == EEXIST || errno == ENOTEMPTY ? ERROR_DIR_NOT_EMPTY
                                                          : errorFromErrno(errno));
    return TRUE;
}

// The attributes of a file or folder (see the top of this file), or INVALID_FILE_ATTRIBUTES
// with ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND when it does not exist. "\" is a folder.
WINBASEAPI DWORD GetFileAttributesW(LPCWSTR lpFileName) {
    DevicePath path;
    DWORD err = resolveDevicePath(lpFileName, PathLookup::Existing, &path);
    if (err != ERROR_SUCCESS) {
        SetLastError(err);
        return INVALID_FILE_ATTRIBUTES;
    }
    return deviceAttributes(path.host, path.st);
}

// Sets the attributes of a file or folder. Only READONLY is kept (as the host's write
// permission, on files); the other attributes are accepted and not stored.
WINBASEAPI BOOL SetFileAttributesW(LPCWSTR lpFileName, DWORD dwFileAttributes) {
    DevicePath path;
    DWORD err = resolveDevicePath(lpFileName, PathLookup::Existing, &path);
    if (err != ERROR_SUCCESS) return fail(err);
    if (dwFileAttributes == INVALID_FILE_ATTRIBUTES) return fail(ERROR_INVALID_PARAMETER);
    if (!S_ISREG(path.st.st_mode)) return TRUE;
    mode_t mode = path.st.st_mode & 07777;
    if (dwFileAttributes & FILE_ATTRIBUTE_READONLY)
        mode &= ~mode_t(0222);
    else if (!(mode & S_IWUSR))
        mode |= S_IWUSR;
    else
        return TRUE;
    if (chmod(path.host.c_str(), mode) != 0) return fail(errorFromErrno(errno));
    return TRUE;
}
