// mapping.cpp: file mappings: CreateFileForMappingW, CreateFileMappingW, MapViewOfFile,
// UnmapViewOfFile and FlushViewOfFile.
//
// A mapping of a file keeps the file's open alive (so its share mode holds while the mapping
// lives) and has a descriptor of its own that carries the "is mapped" lock of sharemode.h:
// while a mapping of any process covers the file, nobody can cut it short, so a view can never
// point past the end of its file. Mappings without a file are memory: anonymous ones a memfd,
// named ones a file under the device's run/ folder, so that the same name gives the same memory
// in every process of the device and never meets another device. A named memory file carries an
// "in use" lock from each mapping; the last one to go (or the next creator, after a crash)
// finds no holder and starts it afresh, as a named object vanishes with its last handle.
//
// A view holds a reference to its mapping, so CloseHandle of the mapping leaves the view valid
// until UnmapViewOfFile. Views start at multiples of 64 KB, as on the device.
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "kernel/device.h"
#include "kernel/fileobject.h"
#include "kernel/strings.h"
#include "kernel/trace.h"
#include "winbase.h"

namespace ce {

namespace {

constexpr uint64_t kAllocationGranularity = 64 * 1024;
// Named memory lives in one file per name; longer names are hashed to fit a host file name.
constexpr size_t kLongestSpelledName = 100;

struct MappingObject final : KernelObject {
    OwnedFd fd;
    uint64_t size = 0;
    bool writable = false;    // PAGE_READWRITE
    bool copyOnWrite = false; // PAGE_WRITECOPY
    std::shared_ptr<FileObject> file;
    std::filesystem::path memoryFile; // named memory: its file under run/
    ObjectType type() const override { return ObjectType::Mapping; }

    ~MappingObject() override {
        fd.reset(); // drops this mapping's lock
        if (memoryFile.empty()) return;
        DeviceFileLock lock;
        OwnedFd probe(open(memoryFile.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (probe.get() >= 0 && !inUseByAnyone(probe.get())) unlink(memoryFile.c_str());
    }
};

struct View {
    std::shared_ptr<MappingObject> mapping;
    size_t length = 0;
    bool writes = false; // a shared writable view of a file
};

struct ViewTable {
    std::mutex lock;
    std::map<uintptr_t, View> views;
};

ViewTable& viewTable() {
    static ViewTable* t = new ViewTable; // views may outlive static destruction order
    return *t;
}

HANDLE failHandle(DWORD error) {
    SetLastError(error);
    return nullptr;
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// The host file name of a named memory object. Names are compared with case, as object names
// are; hex keeps any character safe in a host name.
std::string memoryFileName(std::u16string_view name) {
    const std::string utf8 = toUtf8(name);
    static const char digits[] = "0123456789abcdef";
    std::string out = "mapping-";
    if (utf8.size() <= kLongestSpelledName) {
        for (unsigned char c : utf8) {
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 15]);
        }
        return out;
    }
    uint64_t h = 1469598103934665603ULL; // FNV-1a
    for (unsigned char c : utf8)
        h = (h ^ c) * 1099511628211ULL;
    char buf[40];
    snprintf(buf, sizeof buf, "h%016llx-%zu", static_cast<unsigned long long>(h), utf8.size());
    return out + buf;
}

// The view containing addr (exact: only its base address), under the table's lock.
std::map<uintptr_t, View>::iterator findView(ViewTable& t, const void* addr, bool exact) {
    const uintptr_t a = reinterpret_cast<uintptr_t>(addr);
    auto it = t.views.upper_bound(a);
    if (it == t.views.begin()) return t.views.end();
    --it;
    if (exact) return it->first == a ? it : t.views.end();
    return a < it->first + it->second.length ? it : t.views.end();
}

// Memory shared by name between the processes of the device.
HANDLE createNamedMemory(std::u16string_view name, uint64_t size, bool writable) {
    if (!haveDevice()) return failHandle(ERROR_PATH_NOT_FOUND);
    auto mapping = std::make_shared<MappingObject>();
    mapping->memoryFile = deviceRunDir() / memoryFileName(name);
    mapping->writable = writable;
    DWORD lastError = ERROR_SUCCESS;
    {
        DeviceFileLock lock;
        mapping->fd.reset(
            open(mapping->memoryFile.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
        const int fd = mapping->fd.get();
        if (fd < 0) {
            DWORD err = errorFromErrno(errno);
            mapping->memoryFile.clear();
            return failHandle(err);
        }
        if (inUseByAnyone(fd)) {
            // The existing object wins: its size, not the one asked for.
            struct stat st;
            if (fstat(fd, &st) != 0) return failHandle(errorFromErrno(errno));
            mapping->size = static_cast<uint64_t>(st.st_size);
            lastError = ERROR_ALREADY_EXISTS;
        } else {
            // Nobody holds it: a new object, or the remains of one whose holders died.
            if (ftruncate(fd, 0) != 0 || ftruncate(fd, static_cast<off_t>(size)) != 0)
                return failHandle(errorFromErrno(errno));
            mapping->size = size;
        }
        if (!recordInUse(fd)) return failHandle(ERROR_NOT_ENOUGH_MEMORY);
    }
    HANDLE h = insertHandle(mapping);
    if (!h) return failHandle(ERROR_NOT_ENOUGH_MEMORY);
    SetLastError(lastError);
    return h;
}

HANDLE createMemory(uint64_t size, bool writable) {
    auto mapping = std::make_shared<MappingObject>();
    mapping->fd.reset(memfd_create("cemapping", MFD_CLOEXEC));
    if (mapping->fd.get() < 0) return failHandle(ERROR_NOT_ENOUGH_MEMORY);
    if (ftruncate(mapping->fd.get(), static_cast<off_t>(size)) != 0)
        return failHandle(ERROR_NOT_ENOUGH_MEMORY);
    mapping->size = size;
    mapping->writable = writable;
    HANDLE h = insertHandle(mapping);
    if (!h) return failHandle(ERROR_NOT_ENOUGH_MEMORY);
    SetLastError(ERROR_SUCCESS);
    return h;
}

HANDLE createFileMapping(HANDLE hFile, DWORD protect, uint64_t size) {
    auto file = lookupHandleAs<FileObject>(hFile, ObjectType::File);
    if (!file || file->fd.get() < 0) return failHandle(ERROR_INVALID_HANDLE);
    const bool writable = protect == PAGE_READWRITE;
    if (!(file->access & kAccessRead)) return failHandle(ERROR_ACCESS_DENIED);
    if (writable && !(file->access & kAccessWrite)) return failHandle(ERROR_ACCESS_DENIED);

    auto mapping = std::make_shared<MappingObject>();
    // A descriptor of its own (a new open file description of the same file) so that the
    // "is mapped" lock lives exactly as long as the mapping.
    const std::string self = "/proc/self/fd/" + std::to_string(file->fd.get());
    mapping->fd.reset(open(self.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC));
    const int fd = mapping->fd.get();
    if (fd < 0) return failHandle(errorFromErrno(errno));
    struct stat st;
    if (fstat(fd, &st) != 0) return failHandle(errorFromErrno(errno));
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    if (size == 0) {
        if (fileSize == 0) return failHandle(ERROR_FILE_INVALID);
        size = fileSize;
    }
    {
        DeviceFileLock lock;
        if (size > fileSize) {
            // Only a mapping that may write can make its file longer.
            if (!writable) return failHandle(ERROR_NOT_ENOUGH_MEMORY);
            if (ftruncate(fd, static_cast<off_t>(size)) != 0)
                return failHandle(errorFromErrno(errno));
            stampDeviceTime(fd);
        }
        if (!recordMapped(fd)) return failHandle(ERROR_NOT_ENOUGH_MEMORY);
    }
    mapping->size = size;
    mapping->writable = writable;
    mapping->copyOnWrite = protect == PAGE_WRITECOPY;
    mapping->file = file;
    HANDLE h = insertHandle(mapping);
    if (!h) return failHandle(ERROR_NOT_ENOUGH_MEMORY);
    SetLastError(ERROR_SUCCESS);
    return h;
}

} // namespace

} // namespace ce

using namespace ce;

// Opens a file for mapping: the same as CreateFileW on this device.
WINBASEAPI HANDLE CreateFileForMappingW(LPCWSTR lpFileName, DWORD dwDesiredAccess,
                                        DWORD dwShareMode,
                                        LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                        DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                                        HANDLE hTemplateFile) {
    return CreateFileW(lpFileName, dwDesiredAccess, dwShareMode, lpSecurityAttributes,
                       dwCreationDisposition, dwFlagsAndAttributes, hTemplateFile);
}

// Creates a mapping of a file (size 0: the file's size; a larger size makes the file longer
// for PAGE_READWRITE and fails with ERROR_NOT_ENOUGH_MEMORY otherwise; an empty file gives
// ERROR_FILE_INVALID), or with INVALID_HANDLE_VALUE of memory: named memory is shared by every
// process of the device (the second creator gets the same object, with ERROR_ALREADY_EXISTS),
// unnamed memory is private to the mapping. Memory must be PAGE_READWRITE and have a size.
// A name given together with a file is not registered: each such call maps the file anew.
WINBASEAPI HANDLE CreateFileMappingW(HANDLE hFile, LPSECURITY_ATTRIBUTES, DWORD flProtect,
                                     DWORD dwMaximumSizeHigh, DWORD dwMaximumSizeLow,
                                     LPCWSTR lpName) {
    const DWORD protect = flProtect & 0xFF; // the SEC_* section flags change nothing here
    if (protect != PAGE_READONLY && protect != PAGE_READWRITE && protect != PAGE_WRITECOPY)
        return failHandle(ERROR_INVALID_PARAMETER);
    const uint64_t size = (static_cast<uint64_t>(dwMaximumSizeHigh) << 32) | dwMaximumSizeLow;
    std::u16string_view name;
    if (lpName) {
        size_t n = 0;
        while (n < MAX_PATH && lpName[n])
            ++n;
        if (n == MAX_PATH) return failHandle(ERROR_FILENAME_EXCED_RANGE);
        name = std::u16string_view(lpName, n);
    }
    if (hFile == INVALID_HANDLE_VALUE) {
        if (size == 0 || protect != PAGE_READWRITE) return failHandle(ERROR_INVALID_PARAMETER);
        // The device is a 32-bit system: memory objects stay below 4 GB.
        if (dwMaximumSizeHigh != 0) return failHandle(ERROR_NOT_ENOUGH_MEMORY);
        return name.empty() ? createMemory(size, true) : createNamedMemory(name, size, true);
    }
    if (!name.empty()) CE_FIXME("file", "names of file-backed mappings are not registered");
    return createFileMapping(hFile, protect, size);
}

// Maps a view of a mapping. The offset must be a multiple of 64 KB (ERROR_MAPPED_ALIGNMENT);
// size 0 maps to the end of the mapping; a view past its end, or a writable view of a
// read-only mapping, gives ERROR_ACCESS_DENIED. FILE_MAP_COPY gives a private copy.
WINBASEAPI LPVOID MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess,
                                DWORD dwFileOffsetHigh, DWORD dwFileOffsetLow,
                                SIZE_T dwNumberOfBytesToMap) {
    auto mapping = lookupHandleAs<MappingObject>(hFileMappingObject, ObjectType::Mapping);
    if (!mapping) return failHandle(ERROR_INVALID_HANDLE);
    if (!(dwDesiredAccess & (FILE_MAP_READ | FILE_MAP_WRITE | FILE_MAP_COPY)))
        return failHandle(ERROR_INVALID_PARAMETER);
    const bool copy = (dwDesiredAccess & FILE_MAP_COPY) && !(dwDesiredAccess & FILE_MAP_WRITE);
    const bool write = dwDesiredAccess & FILE_MAP_WRITE;
    if (write && (!mapping->writable || mapping->copyOnWrite))
        return failHandle(ERROR_ACCESS_DENIED);
    const uint64_t offset = (static_cast<uint64_t>(dwFileOffsetHigh) << 32) | dwFileOffsetLow;
    if (offset % kAllocationGranularity != 0) return failHandle(ERROR_MAPPED_ALIGNMENT);
    if (offset >= mapping->size) return failHandle(ERROR_ACCESS_DENIED);
    const uint64_t length = dwNumberOfBytesToMap ? dwNumberOfBytesToMap : mapping->size - offset;
    if (length > mapping->size - offset) return failHandle(ERROR_ACCESS_DENIED);

    const bool privateCopy = copy || mapping->copyOnWrite;
    const int prot = PROT_READ | (write || privateCopy ? PROT_WRITE : 0);
    const int flags = privateCopy ? MAP_PRIVATE : MAP_SHARED;
    void* p = mmap(nullptr, length, prot, flags, mapping->fd.get(), static_cast<off_t>(offset));
    if (p == MAP_FAILED) return failHandle(ERROR_NOT_ENOUGH_MEMORY);
    ViewTable& t = viewTable();
    std::lock_guard<std::mutex> guard(t.lock);
    t.views[reinterpret_cast<uintptr_t>(p)] =
        View{mapping, static_cast<size_t>(length), write && mapping->file != nullptr};
    return p;
}

// Unmaps the view that starts at lpBaseAddress (ERROR_INVALID_ADDRESS for any other address).
// The file's write time follows the device clock when the view could write to it.
WINBASEAPI BOOL UnmapViewOfFile(LPCVOID lpBaseAddress) {
    View view;
    {
        ViewTable& t = viewTable();
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = findView(t, lpBaseAddress, true);
        if (it == t.views.end()) return fail(ERROR_INVALID_ADDRESS);
        view = std::move(it->second);
        t.views.erase(it);
    }
    munmap(const_cast<void*>(lpBaseAddress), view.length);
    if (view.writes) stampDeviceTime(view.mapping->fd.get());
    return TRUE; // the mapping goes with view here if this was its last reference
}

// Writes the dirty pages of a view (from lpBaseAddress, dwNumberOfBytesToFlush bytes or to the
// end of the view for 0) to the file.
WINBASEAPI BOOL FlushViewOfFile(LPCVOID lpBaseAddress, SIZE_T dwNumberOfBytesToFlush) {
    uintptr_t base = 0, start = reinterpret_cast<uintptr_t>(lpBaseAddress), end = 0;
    std::shared_ptr<MappingObject> mapping;
    bool writes = false;
    {
        ViewTable& t = viewTable();
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = findView(t, lpBaseAddress, false);
        if (it == t.views.end()) return fail(ERROR_INVALID_ADDRESS);
        base = it->first;
        end = base + it->second.length;
        mapping = it->second.mapping;
        writes = it->second.writes;
    }
    if (dwNumberOfBytesToFlush && dwNumberOfBytesToFlush < end - start)
        end = start + dwNumberOfBytesToFlush;
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t from = start & ~(page - 1);
    if (msync(reinterpret_cast<void*>(from), end - from, MS_SYNC) != 0)
        return fail(errorFromErrno(errno));
    if (writes) stampDeviceTime(mapping->fd.get());
    return TRUE;
}
