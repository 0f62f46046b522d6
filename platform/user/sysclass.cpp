// sysclass.cpp: registration of the system's window classes in each process.
//
// The classes are registered lazily, at the first class lookup, rather than at library load:
// static initialisation order across the platform's files is unspecified, and a process that
// never makes a window should not pay for them.
#include "user/sysclass.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "kernel/modules.h"
#include "winprocess.h"

namespace ce::user {
namespace {

std::vector<void (*)()>& registrations() {
    static std::vector<void (*)()> list;
    return list;
}

thread_local bool registering = false;

} // namespace

SystemClassRegistration::SystemClassRegistration(void (*registerClasses)()) {
    registrations().push_back(registerClasses);
}

void registerSystemClasses() {
    static std::atomic<bool> done{false};
    static std::mutex mutex;
    if (done.load(std::memory_order_acquire) || registering) return;
    std::lock_guard<std::mutex> lock(mutex);
    if (done.load(std::memory_order_relaxed)) return;
    registering = true;
    for (auto fn : registrations())
        fn();
    registering = false;
    done.store(true, std::memory_order_release);
}

HINSTANCE systemClassInstance() {
    HMODULE coredll = GetModuleHandleW(u"coredll.dll");
    return coredll ? coredll : static_cast<HINSTANCE>(ULongToHandle(ce::kProgramModule));
}

} // namespace ce::user
