// localmem.h: the local heap seen from inside the platform.
//
// Memory that a platform API hands to its caller for release with LocalFree (texts returned
// by notification queries, sound folder lists, record property buffers) must come from here,
// the same allocator LocalAlloc uses, so that LocalFree recognises it.
#pragma once

#include <cstddef>
#include <string_view>

#include "windef.h"

namespace ce {

// Allocates bytes of fixed memory, zeroed when zero is set. Returns null and sets
// ERROR_NOT_ENOUGH_MEMORY when the device cannot give that much.
void* localAlloc(size_t bytes, bool zero = true);

// A terminated copy of s in local memory, or null (ERROR_NOT_ENOUGH_MEMORY).
LPWSTR localStrDup(std::u16string_view s);

// True when p is a live block of the local heap (for checks in tests and debug paths).
bool isLocalBlock(const void* p);

// The largest single block the local heap gives out.
constexpr size_t kLocalAllocLimit = 64u << 20;

} // namespace ce
