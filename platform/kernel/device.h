// device.h: the device folder and its persistent state (device.conf).
//
// A simulated device is a folder on the host. Its own state (profile, clock anchor, time zone,
// battery, power) lives in device.conf, a small "key = value" text file that every process of
// the device reads and that is only ever replaced whole (temporary file, fsync, rename), so a
// crash leaves the old or the new state. A 32-bit change counter in a shared page under run/
// tells every process that device.conf changed: readers compare it with the value they last
// saw and re-read the file only then, and waiters can sleep on it as a futex word.
//
// Inside the platform only: the product never sees this header.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ce {

struct DeviceProfile {
    std::string name = "qvga"; // qvga, vga, qvga-landscape, vga-landscape
    int width = 240;           // screen size in pixels, as the device is held
    int height = 320;
    int dpi = 96;
    int osMajor = 5;
    int osMinor = 2;
    int osBuild = 21234;
    std::string akuText = "6.1.4";
    std::string oemInfo = "Zolvane Reference Device";
    std::string platformType = "PocketPC";
    std::string deviceName = "ZolvaneDevice";
    std::string ownerName = "Device Owner";
    std::string locale = "en-US";       // en-US, en-GB, de-DE, ja-JP
    std::vector<std::string> withdrawn; // "lib.dll" or "lib.dll!Export" or "lib.dll#240"
};

// The built-in profiles, by name. Returns null for an unknown name.
const DeviceProfile* findProfile(std::string_view name);
std::vector<std::string> profileNames();

struct DeviceConf {
    DeviceProfile profile;

    // Clock: device UTC (FILETIME units, 100 ns since 1601) = clockBase + elapsed host
    // monotonic time since the anchor x clockRate. The tick count runs from tickBase at the
    // same anchor with the same rate, but is not moved by steps (set), only by advances.
    int64_t clockBase = 0;
    int64_t clockAnchorMono = 0; // host CLOCK_MONOTONIC, ns
    int64_t clockAnchorReal = 0; // host CLOCK_REALTIME, ns (used when the host rebooted)
    std::string clockBootId;     // host boot the monotonic anchor belongs to
    double clockRate = 1.0;
    int64_t tickBase = 0;     // ms
    uint32_t clockSteps = 0;  // bumped by every step of the clock (set, advance)
    uint32_t zoneChanges = 0; // bumped by every change of the time zone

    std::string timeZone = "UTC"; // a named zone, or "custom"
    std::string timeZoneRule;     // owned by the time-zone code; empty for a named zone

    int battery = 100;                                     // percent
    bool acPower = false;                                  // on the cradle / charger
    std::string power = "on";                              // on, unattended, suspended
    std::vector<std::string> storageCards{"Storage Card"}; // root folders that are cards
};

// The device in use by this process: CEDEVICE from the environment, unless attachDevice
// chose another one. Without a device, deviceConf() answers a fixed in-memory state running
// on host time in UTC, so pure computations work without a folder.
bool haveDevice();
const std::filesystem::path& deviceDir(); // empty without a device
std::filesystem::path deviceFsRoot();     // deviceDir()/"fs"
std::filesystem::path deviceRunDir();     // deviceDir()/"run"

// Makes this process use the device in dir (for cedev and tests). An empty path detaches.
bool attachDevice(const std::filesystem::path& dir, std::string* error = nullptr);

// Creates a new device folder with the given profile: device.conf, fs/ with the standard
// folders, run/. Fails when dir already holds a device.
bool createDevice(const std::filesystem::path& dir, std::string_view profile,
                  std::string* error = nullptr);

// The current state; cheap when nothing changed since the last call.
std::shared_ptr<const DeviceConf> deviceConf();

// Reads, edits and atomically rewrites device.conf under the device's lock, then publishes
// the change to every process. Without a device the in-memory state is edited.
bool updateDeviceConf(const std::function<void(DeviceConf&)>& edit, std::string* error = nullptr);

// The device-wide change counter (a futex word in shared memory; null without a device).
std::atomic<uint32_t>* deviceChangeWord();
uint32_t deviceChangeCounter();

// The device-wide wake word: every waiting thread of every process of the device sleeps on it
// (futex), and anything that may end a wait (an event set, a thread or process ending, a clock
// change) bumps it with wakeDeviceWaiters(). Without a device it is a word of this process.
std::atomic<uint32_t>* deviceWakeWord();
void wakeDeviceWaiters();

// The system components that are up (IsAPIReady): a bit mask over API set numbers 0..63,
// kept in the shared page, so it lives as long as the running device, not across host boots.
bool isApiReady(unsigned apiSet);
void setApiReady(unsigned apiSet, bool ready);

// Parsing and printing of device.conf, exposed for tests and the fuzzer. Unknown keys are
// kept out; malformed lines are reported in *warnings and skipped.
DeviceConf parseDeviceConf(std::string_view text, std::vector<std::string>* warnings = nullptr);
std::string formatDeviceConf(const DeviceConf& conf);

// Host clocks, in one place so that every clock read of the platform goes through here.
int64_t hostMonotonicNs();
int64_t hostRealtimeNs();
std::string hostBootId();

} // namespace ce
