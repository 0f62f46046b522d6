// demo_data.h: what a demo device holds (`cedev create --demo`): a week of appointments from
// Monday 1 March 2027 (recurring ones, an all-day and a multi-day one, some with reminders),
// tasks with and without reminders, contacts with a birthday and an anniversary in that week,
// two clock alarms, and another program's timed notification. Part of the device image.
#pragma once

#include <string>

namespace ceimage {

// The device clock a demo device starts at: Monday 1 March 2027, 08:00 local time.
constexpr const char* kDemoStart = "2027-03-01T08:00:00";

// Fills the attached device (its clock already set) with the demo data; false with a reason.
bool fillDemoDevice(std::string* error);

} // namespace ceimage
