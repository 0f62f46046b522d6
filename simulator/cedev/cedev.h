// cedev.h: the control tool's commands and the helpers they share.
//
// cedev drives a simulated device from outside, for people and for tests. Every command gets
// the words after its name; it prints results on stdout (UTF-8) and errors on stderr, and
// returns the process's exit status.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cedev {

using Args = std::vector<std::string>;

int cmdCreate(const Args& args);
int cmdProfile(const Args& args);
int cmdTime(const Args& args);
int cmdTz(const Args& args);
int cmdJournal(const Args& args);
int cmdReg(const Args& args);
int cmdRun(const Args& args);
int cmdStub(const Args& args);

// Prints "cedev: <text>" on stderr and returns the failure status 1; 2 for usage errors.
int fail(const std::string& text);
int usage(const std::string& text);

// The device folder chosen with --device or CEDEVICE (empty when neither).
const std::string& chosenDevice();
// Attaches the chosen device; prints an error and returns false when there is none.
bool needDevice();

// "2027-03-28T02:30:00", "2027-03-28 02:30", with ".mmm", "Z" or "+01:00": device UTC in
// FILETIME units. Without a zone the text is the device's local time.
bool parseDeviceTime(const std::string& text, int64_t* utc, std::string* error);
// "90s", "15m", "2h", "3d", "500ms", "1h30m": FILETIME units.
bool parseDuration(const std::string& text, int64_t* out);
// FILETIME units -> "YYYY-MM-DDTHH:MM:SS" (with ".mmm" when millis is set).
std::string formatIso(int64_t fileTime, bool millis = false);

} // namespace cedev
