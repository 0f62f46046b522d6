// clock.h: the device clock, seen from inside the platform.
//
// Every clock read of the platform goes through these functions: device UTC and the tick
// count come from the anchor in device.conf (see device.h), local time from the device's time
// zone. Times are FILETIME values held in int64_t (100 ns units since 1 January 1601 UTC).
#pragma once

#include <cstdint>
#include <string>

#include "windef.h"

namespace ce {

constexpr int64_t kFileTimePerMs = 10'000;
constexpr int64_t kFileTimePerSecond = 10'000'000;
constexpr int64_t kFileTimePerMinute = 60 * kFileTimePerSecond;
constexpr int64_t kFileTimePerDay = 86'400 * kFileTimePerSecond;

int64_t deviceUtcNow();       // device UTC now, FILETIME units
int64_t deviceLocalNow();     // device local time now, FILETIME units
uint32_t deviceTickCount();   // GetTickCount: ms, monotonic, follows the rate, never the steps
uint64_t deviceTickCount64(); // the same without the 49.7-day wrap, for deadlines
double deviceClockRate();

// Host nanoseconds until the device clock reaches deviceUtc at the current rate; 0 when it
// already has; -1 when the clock is frozen (rate 0) and the time lies ahead.
int64_t hostNsUntilDeviceUtc(int64_t deviceUtc);
// Host nanoseconds until GetTickCount reaches tick (same conventions).
int64_t hostNsUntilTick(uint64_t tick);

// Changes to the clock, each published to every process of the device. A step (set) moves
// device time but not the tick count; an advance moves both, as if that much time passed.
bool setDeviceUtc(int64_t deviceUtc, std::string* error = nullptr);
bool advanceDeviceClock(int64_t delta, std::string* error = nullptr); // delta >= 0
bool setDeviceClockRate(double rate, std::string* error = nullptr);   // rate >= 0

int64_t fileTimeToInt(const FILETIME& ft);
FILETIME intToFileTime(int64_t v);

} // namespace ce
