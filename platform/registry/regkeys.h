// regkeys.h: the process's table of open registry keys (HKEY values).
//
// An HKEY is a 32-bit value valid in the process that opened it, separate from the kernel's
// handle table (CloseHandle does not take one). It names a key row of the store and remembers
// the key's path from its root, so that a notification registration made through an open key
// can watch the path even after the key is deleted and created again. The predefined roots are
// fixed values; a key handle from before the process's registry moved to another device is
// invalid.
//
// Inside the platform only.
#pragma once

#include <string>

#include "registry/regdb.h"
#include "winreg.h"

namespace ce::reg {

struct OpenKey {
    KeyId id = 0;
    KeyId root = 0;
    std::u16string path; // names below the root joined by '\'; empty for a root
    uint64_t generation = 0;
};

// The key a handle names: a predefined root or an open handle of this process.
// ERROR_INVALID_HANDLE otherwise.
LONG resolveKey(HKEY h, OpenKey* out);
// Adds an open key and returns its new handle (null when the table is full).
HKEY insertKeyHandle(const OpenKey& key);
// Removes a handle; false when it is not an open handle of this process.
bool removeKeyHandle(HKEY h);

// The path of base's key extended by the names of parts.
std::u16string joinKeyPath(const std::u16string& base, const std::vector<std::u16string>& parts);

} // namespace ce::reg
