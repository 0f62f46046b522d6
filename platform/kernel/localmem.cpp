// localmem.cpp: the device's local heap: LocalAlloc, LocalFree, LocalReAlloc, LocalSize and
// the platform's own ce::localAlloc.
//
// Blocks come from the host's malloc. Every live block is recorded in a table, so that
// LocalFree, LocalReAlloc and LocalSize can tell a block of theirs from any other pointer and
// refuse it instead of corrupting the host heap: a double free or a stray pointer fails with
// ERROR_INVALID_HANDLE. A block is allocated a little larger than asked (rounded up to 16
// bytes); LocalReAlloc without LMEM_MOVEABLE may grow it in place up to that size and no
// further, which is the documented behaviour of fixed memory that may not move.
#include "kernel/localmem.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "winbase.h"
#include "winsystem.h"

namespace {

struct Block {
    size_t size;     // as requested, reported by LocalSize
    size_t capacity; // as allocated
};

struct Heap {
    std::mutex lock;
    std::unordered_map<const void*, Block> blocks;
};

Heap& heap() {
    static Heap* h = new Heap; // never destroyed: blocks may be freed during exit
    return *h;
}

size_t capacityFor(size_t bytes) {
    return bytes == 0 ? 16 : (bytes + 15) & ~size_t{15};
}

void* allocate(size_t bytes, bool zero) {
    if (bytes > ce::kLocalAllocLimit) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const size_t cap = capacityFor(bytes);
    void* p = zero ? std::calloc(1, cap) : std::malloc(cap);
    if (!p) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    Heap& h = heap();
    std::lock_guard<std::mutex> guard(h.lock);
    h.blocks[p] = Block{bytes, cap};
    return p;
}

} // namespace

namespace ce {

void* localAlloc(size_t bytes, bool zero) {
    return allocate(bytes, zero);
}

LPWSTR localStrDup(std::u16string_view s) {
    if (s.size() >= kLocalAllocLimit / sizeof(WCHAR)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* p = static_cast<LPWSTR>(allocate((s.size() + 1) * sizeof(WCHAR), false));
    if (!p) return nullptr;
    std::memcpy(p, s.data(), s.size() * sizeof(WCHAR));
    p[s.size()] = 0;
    return p;
}

bool isLocalBlock(const void* p) {
    Heap& h = heap();
    std::lock_guard<std::mutex> guard(h.lock);
    return p && h.blocks.count(p) != 0;
}

} // namespace ce

WINBASEAPI HLOCAL LocalAlloc(UINT uFlags, UINT uBytes) {
    if (uFlags & ~static_cast<UINT>(LMEM_MOVEABLE | LMEM_ZEROINIT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return allocate(uBytes, (uFlags & LMEM_ZEROINIT) != 0);
}

WINBASEAPI HLOCAL LocalFree(HLOCAL hMem) {
    if (!hMem) return nullptr;
    Heap& h = heap();
    {
        std::lock_guard<std::mutex> guard(h.lock);
        if (h.blocks.erase(hMem) == 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return hMem;
        }
    }
    std::free(hMem);
    return nullptr;
}

WINBASEAPI HLOCAL LocalReAlloc(HLOCAL hMem, UINT uBytes, UINT uFlags) {
    if (uFlags & ~static_cast<UINT>(LMEM_MOVEABLE | LMEM_ZEROINIT | LMEM_MODIFY)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Heap& h = heap();
    std::lock_guard<std::mutex> guard(h.lock);
    auto it = hMem ? h.blocks.find(hMem) : h.blocks.end();
    if (it == h.blocks.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (uFlags & LMEM_MODIFY) {
        // Fixed memory cannot be made moveable; there is no other attribute to change.
        if (uFlags & LMEM_MOVEABLE) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        return hMem;
    }
    if (uBytes > ce::kLocalAllocLimit) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    Block& b = it->second;
    if (uBytes <= b.capacity) {
        if ((uFlags & LMEM_ZEROINIT) && uBytes > b.size)
            std::memset(static_cast<char*>(hMem) + b.size, 0, uBytes - b.size);
        b.size = uBytes;
        return hMem;
    }
    if (!(uFlags & LMEM_MOVEABLE)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const size_t cap = capacityFor(uBytes);
    void* p = std::realloc(hMem, cap);
    if (!p) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const size_t oldSize = b.size;
    h.blocks.erase(it);
    h.blocks[p] = Block{uBytes, cap};
    if (uFlags & LMEM_ZEROINIT) std::memset(static_cast<char*>(p) + oldSize, 0, uBytes - oldSize);
    return p;
}

WINBASEAPI UINT LocalSize(HLOCAL hMem) {
    Heap& h = heap();
    std::lock_guard<std::mutex> guard(h.lock);
    auto it = hMem ? h.blocks.find(hMem) : h.blocks.end();
    if (it == h.blocks.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return static_cast<UINT>(it->second.size);
}
