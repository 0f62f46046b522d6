// engine_main.cpp: the notification engine's scheduler: one thread that sleeps on the device
// clock until the next notification falls due, the database changes, or the device's state
// changes, and then fires what is due and the device events that happened.
//
// Device events are found without any help from the programs that cause them:
//  * time change: device.conf's step counter moved and the device time jumped against the
//    tick count (an advance or a rate change moves both alike, so it is no time change);
//  * time-zone change: device.conf's zone counter moved;
//  * wake-up: the power state left "suspended";
//  * wake-up and restore end raised by cedev (`cedev event ...`): queued in the database.
// The baseline is taken when the engine starts, so only what happens while it runs counts;
// timed notifications that fell due before are fired at once (missed alarms are not lost).
#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <thread>

#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/journal.h"
#include "kernel/wait.h"
#include "notify.h"
#include "notify/notifystore.h"
#include "notifyengine.h"

namespace ceshell::engine {
namespace {

// A jump of the device time against the tick count above this counts as a time change; below
// it, rounding of the two clocks.
constexpr int64_t kStepTolerance = 2 * ce::kFileTimePerSecond;
// The longest sleep without a look at the database, in device ms: a safety net only.
constexpr DWORD kMaxSleepMs = 60'000;

struct Engine {
    std::thread scheduler;
    std::thread reminders;
    std::atomic<bool> stop{false};
    bool running = false;
};

Engine& engine() {
    static Engine e;
    return e;
}

struct Observed {
    uint32_t steps = 0;
    uint32_t zones = 0;
    bool suspended = false;
    int64_t utc = 0;
    uint64_t tick = 0;
    int64_t lastEvent = 0;
};

Observed observe() {
    auto conf = ce::deviceConf();
    Observed o;
    o.steps = conf->clockSteps;
    o.zones = conf->zoneChanges;
    o.suspended = conf->power == "suspended";
    o.utc = ce::deviceUtcNow();
    o.tick = ce::deviceTickCount64();
    return o;
}

// Compares the device's state with what was seen last and fires the events it shows.
void checkDeviceEvents(Observed& seen) {
    Observed now = observe();
    now.lastEvent = seen.lastEvent;
    if (now.steps != seen.steps) {
        int64_t moved = now.utc - seen.utc;
        int64_t ticked = static_cast<int64_t>(now.tick - seen.tick) * ce::kFileTimePerMs;
        if (std::llabs(moved - ticked) > kStepTolerance)
            fireDeviceEvent(NOTIFICATION_EVENT_TIME_CHANGE);
    }
    if (now.zones != seen.zones) fireDeviceEvent(NOTIFICATION_EVENT_TZ_CHANGE);
    if (seen.suspended && !now.suspended) fireDeviceEvent(NOTIFICATION_EVENT_WAKEUP);
    std::vector<DWORD> events;
    ce::notify::takeDeviceEvents(&now.lastEvent, &events);
    for (DWORD e : events)
        fireDeviceEvent(e);
    seen = now;
}

void schedule() {
    Engine& e = engine();
    Observed seen = observe();
    seen.lastEvent = ce::notify::lastDeviceEventId();
    uint64_t changes = ~uint64_t{0};
    while (!e.stop.load()) {
        checkDeviceEvents(seen);
        uint64_t nowChanges = ce::notify::changeCounter();
        if (nowChanges != changes) refreshReminders();
        changes = nowChanges;
        int64_t next = fireDueNotifications(ce::deviceUtcNow());
        // What firing changed is already on the screen; look at the counter again so that
        // only others' changes wake the loop.
        changes = ce::notify::changeCounter();
        uint32_t conf = ce::deviceChangeCounter();
        int64_t now = ce::deviceUtcNow();
        DWORD timeout = kMaxSleepMs;
        if (next != INT64_MAX)
            timeout = static_cast<DWORD>(std::clamp<int64_t>(
                (next - now + ce::kFileTimePerMs - 1) / ce::kFileTimePerMs, 0, kMaxSleepMs));
        if (timeout == 0) continue;
        ce::waitForObjects({}, false, timeout, [&] {
            return e.stop.load() || ce::deviceChangeCounter() != conf ||
                   ce::notify::changeCounter() != changes ||
                   (next != INT64_MAX && ce::deviceUtcNow() >= next);
        });
    }
}

HWND readyWindow = nullptr;
std::atomic<int> readyState{0}; // 0 waiting, 1 up, -1 failed

void onReady(HWND window) {
    readyWindow = window;
    readyState = window ? 1 : -1;
    ce::wakeDeviceWaiters();
}

} // namespace
} // namespace ceshell::engine

bool startNotificationEngine() {
    using namespace ceshell::engine;
    Engine& e = engine();
    if (e.running) return true;
    e.stop = false;
    readyState = 0;
    e.reminders = std::thread([] { runReminders(onReady); });
    ce::waitForObjects({}, false, INFINITE, [] { return readyState.load() != 0; });
    if (readyState.load() < 0) {
        e.reminders.join();
        return false;
    }
    e.scheduler = std::thread(schedule);
    e.running = true;
    ce::JournalLine("notification.engine").str("state", "started").write();
    return true;
}

void stopNotificationEngine() {
    using namespace ceshell::engine;
    Engine& e = engine();
    if (!e.running) return;
    e.stop = true;
    ce::wakeDeviceWaiters();
    e.scheduler.join();
    stopReminders();
    e.reminders.join();
    e.running = false;
}
