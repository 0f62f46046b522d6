// driver.cpp: the choice of this process's display driver (driver.h): X11 when the device has
// a display running, else the null driver. Chosen once, at the first window call.
#include "user/driver.h"

#include <mutex>

#include "kernel/trace.h"

namespace ce::user {
namespace {

std::mutex& driverLock() {
    static std::mutex* m = new std::mutex;
    return *m;
}

std::unique_ptr<DisplayDriver>& current() {
    static std::unique_ptr<DisplayDriver>* d = new std::unique_ptr<DisplayDriver>;
    return *d;
}

} // namespace

DisplayDriver& activeDriver() {
    std::lock_guard<std::mutex> lock(driverLock());
    auto& d = current();
    if (!d) {
        d = makeX11Driver();
        if (!d) d = makeNullDriver();
        CE_TRACE("msg", "display driver: %s", d->name());
    }
    return *d;
}

// The previous driver is kept alive: windows made through it may still be referred to by
// threads of the test that replaced it.
void setDriverForTesting(std::unique_ptr<DisplayDriver> driver) {
    std::lock_guard<std::mutex> lock(driverLock());
    static std::vector<std::unique_ptr<DisplayDriver>>* retired =
        new std::vector<std::unique_ptr<DisplayDriver>>;
    if (current()) retired->push_back(std::move(current()));
    current() = std::move(driver);
}

} // namespace ce::user
