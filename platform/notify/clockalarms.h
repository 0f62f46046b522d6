// clockalarms.h: the clock's four alarms: their settings in the registry and the reminders
// they keep in the notification database. cedev (`clock set`), clock.exe and clocknot.exe use
// it. Inside the platform only.
//
// HKEY_LOCAL_MACHINE\Software\Microsoft\Clock\0 .. \3, one key per alarm:
//   AlarmOn           REG_DWORD  1 when the alarm is set
//   AlarmTime         REG_SZ     "HH:MM", local time
//   AlarmDays         REG_DWORD  the weekdays it rings: bit 0 Monday ... bit 6 Sunday
//   AlarmDescription  REG_SZ     the label
// Each enabled alarm has one timed notification of "\Windows\clock.exe" at its next time,
// title "Alarm", text "Alarm: <label>\r\n<time>", with dialog, sound and LED.
#pragma once

#include <string>

#include "windows.h"

namespace ce::notify {

constexpr int kClockAlarms = 4;
constexpr DWORD kEveryDay = 0x7F;

struct ClockAlarm {
    int index = 0; // 0..3
    bool on = true;
    int hour = 0;
    int minute = 0;
    DWORD days = kEveryDay;
    std::u16string label;
};

// Writes an alarm's settings; false for an index or time out of range.
bool writeClockAlarm(const ClockAlarm& alarm);
// Reads an alarm's settings; false when it has none.
bool readClockAlarm(int index, ClockAlarm* out);
// The next local time (FILETIME units) after localNow at which the alarm rings, or -1 when it
// has no day.
int64_t nextAlarmTime(const ClockAlarm& alarm, int64_t localNow);
// Replaces the clock's pending notifications with one per enabled alarm at its next time.
// Reminders of the clock on the screen stay. Returns ERROR_SUCCESS or the database's error.
DWORD registerClockAlarms();

} // namespace ce::notify
