// regnotify.h: value change notifications of the registry (RegistryNotifyWindow,
// RegistryNotifyCallback), as the rest of the platform sees them.
//
// Registrations live in the registry database itself (table watches), each with the value it
// last saw, so a change made by any process of the device is found by comparing. A process
// finds its own due notifications with collectRegistryChanges(); every registry write bumps the
// device's wake word, so a message loop that sleeps on it can collect at once. The window
// system delivers window notifications through the sink (PostMessage); until it is wired, tests
// and callers take them from collectRegistryChanges() directly.
//
// Inside the platform only.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "regext.h"

namespace ce::reg {

struct PendingNotification {
    HREGNOTIFY handle = nullptr;
    HWND hwnd = nullptr;
    UINT msg = 0;
    WPARAM wParam = 0; // the new value when it is a REG_DWORD, else 0
    LPARAM lParam = 0; // the registration's user data
};

// Looks at this process's registrations: for each watched value that changed since it was last
// seen and whose condition holds for the new value, calls the registration's callback or
// returns the window message to post. Registrations of processes that have ended are removed on
// the way. Cheap when nothing changed in the registry since the last call.
std::vector<PendingNotification> collectRegistryChanges();

// Where deliverRegistryChanges() hands window notifications (the window system posts them).
void setRegistryChangeSink(std::function<void(const PendingNotification&)> sink);
// Collects and hands every window notification to the sink; returns how many. Does nothing
// (and leaves the changes to be collected later) while no sink is set.
size_t deliverRegistryChanges();

// Removes the registrations of processes that have ended; returns how many went.
size_t cleanDeadRegistrations();

// The condition of a registration, as stored, and whether a change to the value fires it.
struct WatchCondition {
    bool any = true; // no condition: every change notifies
    int type = 0;    // REG_COMPARISONTYPE
    DWORD mask = 0;
    DWORD target = 0;
    std::u16string text;
};
bool conditionFires(const WatchCondition& condition, bool oldPresent, DWORD oldType,
                    const std::vector<uint8_t>& oldData, bool newPresent, DWORD newType,
                    const std::vector<uint8_t>& newData);

} // namespace ce::reg
