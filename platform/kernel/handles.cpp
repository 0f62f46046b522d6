// handles.cpp: the process's handle table and CloseHandle.
//
// Handle values are multiples of four from 0x100 upwards, so they are never 0, never
// INVALID_HANDLE_VALUE, fit in 32 bits and cannot be mistaken for a small integer. A closed
// value is not reused at once: values go round the whole 30-bit space first, which turns a
// use-after-close into a clean ERROR_INVALID_HANDLE instead of a call on someone else's object.
#include "handles.h"

#include <mutex>
#include <unordered_map>

#include "winbase.h"

namespace ce {

namespace {

constexpr uint32_t kFirstHandle = 0x100;
constexpr uint32_t kLastHandle = 0x7FFFFFFC;

struct HandleTable {
    std::mutex lock;
    std::unordered_map<uint32_t, std::shared_ptr<KernelObject>> objects;
    uint32_t next = kFirstHandle;
};

HandleTable& table() {
    static HandleTable t;
    return t;
}

} // namespace

HANDLE insertHandle(std::shared_ptr<KernelObject> object) {
    if (!object) return nullptr;
    HandleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    for (;;) {
        uint32_t value = t.next;
        t.next = value >= kLastHandle ? kFirstHandle : value + 4;
        if (t.objects.emplace(value, object).second) return ULongToHandle(value);
    }
}

std::shared_ptr<KernelObject> lookupHandle(HANDLE h) {
    uintptr_t raw = reinterpret_cast<uintptr_t>(h);
    if (raw > UINT32_MAX) return nullptr;
    HandleTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(static_cast<uint32_t>(raw));
    return it == t.objects.end() ? nullptr : it->second;
}

bool removeHandle(HANDLE h) {
    uintptr_t raw = reinterpret_cast<uintptr_t>(h);
    if (raw > UINT32_MAX) return false;
    std::shared_ptr<KernelObject> doomed; // destroyed outside the table's lock
    HandleTable& t = table();
    {
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.objects.find(static_cast<uint32_t>(raw));
        if (it == t.objects.end()) return false;
        doomed = std::move(it->second);
        t.objects.erase(it);
    }
    return true;
}

} // namespace ce

// Closes a handle of any kind. The object itself goes when its last owner lets go: a mapping
// stays while one of its views is mapped, a thread object while the thread runs.
WINBASEAPI BOOL CloseHandle(HANDLE hObject) {
    // Closing the pseudo-handles of GetCurrentThread (0x41) and GetCurrentProcess (0x42) is
    // documented to do nothing and succeed.
    uintptr_t raw = reinterpret_cast<uintptr_t>(hObject);
    if (raw == 0x41 || raw == 0x42) return TRUE;
    if (!ce::removeHandle(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
