// fileobject.h: the kernel object behind a file handle, shared by the file API (fileapi.cpp)
// and file mappings (mapping.cpp). Inside the platform only.
#pragma once

#include <memory>
#include <string>
#include <sys/stat.h>

#include "kernel/handles.h"
#include "kernel/sharemode.h"
#include "windef.h"
#include "winerror.h"

namespace ce {

// One open of a device file. The descriptor carries the open's share locks (sharemode.h), so
// closing the last handle (the destructor of fd) is what lets other openers in again. Each
// open has its own descriptor, hence its own file position.
struct FileObject final : KernelObject {
    OwnedFd fd;
    DWORD access = 0;        // kAccess* bits that ReadFile/WriteFile check
    DWORD desiredAccess = 0; // as given to CreateFileW
    DWORD share = 0;
    std::u16string device; // the device path, for trace output
    ObjectType type() const override { return ObjectType::File; }
};

// Opens or creates a device file as CreateFileW does. On success returns the object and sets
// *lastError to what GetLastError must say afterwards (0 or ERROR_ALREADY_EXISTS); on failure
// returns null with the error in *lastError.
std::shared_ptr<FileObject> openDeviceFile(const char16_t* name, DWORD desiredAccess,
                                           DWORD shareMode, DWORD disposition,
                                           DWORD flagsAndAttributes, DWORD* lastError);

// The Win32 error for a host errno value, as the file API reports it.
DWORD errorFromErrno(int err);

// Sets the last-write and last-access times of the file behind fd to the device clock now, so
// that file times follow the device's clock rather than the host's.
void stampDeviceTime(int fd);

// FILETIME units (100 ns since 1601) of a host time stamp, and back.
int64_t fileTimeFromTimespec(const struct timespec& ts);
struct timespec timespecFromFileTime(int64_t ft);

} // namespace ce
