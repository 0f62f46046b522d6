// devpath.h: how device paths ("\Windows\alarm1.wav") map to host paths below the device's fs/
// folder, inside the platform's file API.
//
// A device path is rooted at "\" and uses backslashes (a slash is accepted as well); a path
// without a leading separator is taken from the root, because the device has no current
// directory. Components are matched without regard to case: the exact name first, then a
// case-folded scan of the folder; a name that does not exist yet keeps the case it was given.
// "." components are dropped. Everything that could leave fs/ is refused: "..", drive letters,
// "\\server" forms, embedded NULs, and symbolic links whose resolved target lies outside fs/.
// No host path is ever accepted: "/etc/passwd" is the device path "\etc\passwd", below fs/.
//
// Errors are the codes the file API reports (winerror.h):
//   ERROR_PATH_NOT_FOUND       a folder on the way is missing or is a file; no device; empty path
//   ERROR_FILE_NOT_FOUND       the leaf is missing (PathLookup::Existing)
//   ERROR_INVALID_NAME         "..", a name of dots only, < > : " | ? * or a control character
//                              (wildcards are allowed in the leaf of a find pattern only), an
//                              unpaired surrogate, a drive letter (its colon)
//   ERROR_BAD_PATHNAME         "\\server\share" (two leading separators)
//   ERROR_FILENAME_EXCED_RANGE more than MAX_PATH - 1 units, or a name longer than the host allows
//   ERROR_ACCESS_DENIED        a symbolic link that leads outside fs/ (or cannot be resolved)
//
// Names are taken literally: trailing dots and spaces are not stripped as desktop Windows does.
// Host names that are not valid UTF-8 cannot be spelled in UTF-16 and are invisible to the device.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

#include "windef.h"

namespace ce {

enum class PathLookup {
    Existing,  // every component must exist
    Creatable, // every folder on the way must exist; the leaf may be missing
};

struct DevicePath {
    std::filesystem::path host; // below the canonical fs/ root; no symbolic link on the way
    std::u16string device;      // "\Windows\alarm1.wav", with the names' case as found
    std::u16string givenLeaf;   // the last component as the caller spelled it
    bool exists = false;
    bool isRoot = false;            // the path names "\" itself
    bool trailingSeparator = false; // the path ended in "\" (names a folder)
    struct stat st = {};            // of host when it exists (lstat when the leaf is a link kept)
};

// Resolves a device path. path is a NUL-terminated string read for at most MAX_PATH units, so
// an unterminated buffer is never overrun; a null pointer is ERROR_PATH_NOT_FOUND. When
// followLeafLink is false, a symbolic link in the last component is returned as the link itself
// (DeleteFileW and MoveFileW act on the link, never on what it points to). Returns
// ERROR_SUCCESS or one of the errors above.
DWORD resolveDevicePath(const char16_t* path, PathLookup lookup, DevicePath* out,
                        bool followLeafLink = true);
DWORD resolveDevicePath(std::u16string_view path, PathLookup lookup, DevicePath* out,
                        bool followLeafLink = true);

// A FindFirstFileW argument split into its existing folder and the wildcard pattern of its
// last component ("\Windows\*.wav" gives the host folder of \Windows and "*.wav"). The pattern
// is empty when the argument ends in a separator. ERROR_PATH_NOT_FOUND when the folder does not
// exist; the other errors as above.
struct FindTarget {
    std::filesystem::path folder;
    std::u16string folderDevice;
    std::u16string pattern;
};
DWORD resolveFindTarget(const char16_t* path, FindTarget* out);

// Windows wildcard matching without regard to case: '*' any run of characters, '?' exactly one;
// "*.*" matches every name, also one without a dot; "name.*" also matches "name"; a trailing
// "." (as in "*.") matches names without an extension.
bool matchWildcard(std::u16string_view pattern, std::u16string_view name);

// One entry of a host folder as the device sees it: its host name and its UTF-16 name.
struct DeviceName {
    std::string host;
    std::u16string name;
};
// The entries of a host folder that the device can name ("." and ".." and names that are not
// valid UTF-8 left out), sorted without regard to case so enumeration is deterministic.
std::vector<DeviceName> listDeviceFolder(const std::filesystem::path& folder);

// The attributes the device reports for a host entry (st from stat, links followed):
// DIRECTORY for folders, with TEMPORARY for the storage-card folders in the root named in
// DeviceConf::storageCards; ARCHIVE for files, with READONLY when the owner may not write.
DWORD deviceAttributes(const std::filesystem::path& host, const struct stat& st);

// True when host is a storage-card folder in the root (see deviceAttributes).
bool isStorageCardRoot(const std::filesystem::path& host);

// The canonical host path of the device's fs/ folder; empty without a device.
std::filesystem::path canonicalFsRoot();

// The device path of a host path below fs/ ("\" for fs/ itself), for tests and trace output.
// Empty when host does not lie inside fs/.
std::u16string hostToDevicePath(const std::filesystem::path& host);

} // namespace ce
