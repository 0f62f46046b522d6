// timezone.h: the device's time zone: named zones with their Windows-style rules, and the
// conversions between UTC and local time that GetLocalTime, FileTimeToLocalFileTime and
// SetLocalTime rely on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "winbase.h"

namespace ce {

struct DeviceConf;

// The zone in force for a device state: the named zone's rules, or the custom rule.
TIME_ZONE_INFORMATION zoneInfoOf(const DeviceConf& conf);
// Looks up a named zone (UTC, Europe/Berlin, Europe/London, America/New_York, Asia/Tokyo,
// Australia/Sydney); false for an unknown name.
bool namedZoneInfo(std::string_view name, TIME_ZONE_INFORMATION* out);
std::vector<std::string> zoneNames();

// Whether daylight time is in force at the given UTC time under tzi.
bool isDaylightAtUtc(const TIME_ZONE_INFORMATION& tzi, int64_t utc);
// UTC -> local and local -> UTC (FILETIME units) under tzi. A local time that falls into the
// spring-forward gap is taken as standard time; one repeated in autumn as daylight time.
int64_t utcToLocal(const TIME_ZONE_INFORMATION& tzi, int64_t utc);
int64_t localToUtc(const TIME_ZONE_INFORMATION& tzi, int64_t local);

// The rule text stored in device.conf for a custom zone, and back.
std::string formatZoneRule(const TIME_ZONE_INFORMATION& tzi);
bool parseZoneRule(std::string_view text, TIME_ZONE_INFORMATION* out);

// Switches the device to a named zone (cedev tz set).
bool setDeviceZone(std::string_view name, std::string* error = nullptr);

} // namespace ce
