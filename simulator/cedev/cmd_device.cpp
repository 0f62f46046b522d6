// cmd_device.cpp: cedev create and cedev profile.
#include <cstdio>

#include "cedev.h"
#include "image/demo_data.h"
#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/journal.h"
#include "kernel/modules.h"

namespace cedev {

namespace {

// The device.conf keys that describe the device's make rather than its running state.
const char* const kProfileKeys[] = {
    "profile", "screen.width", "screen.height", "screen.dpi",  "os.major", "os.minor", "os.build",
    "os.aku",  "oem",          "platform",      "device.name", "owner",    "locale",   "withdrawn"};

bool isProfileKey(const std::string& key) {
    for (const char* k : kProfileKeys)
        if (key == k) return true;
    return false;
}

// The profile keys with their values, as device.conf writes them.
void printProfile(const ce::DeviceConf& conf) {
    std::string text = ce::formatDeviceConf(conf);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        size_t eq = line.find(" = ");
        if (eq != std::string::npos && isProfileKey(line.substr(0, eq)))
            printf("%s\n", line.c_str());
    }
}

} // namespace

int cmdCreate(const Args& args) {
    std::string profile = "qvga";
    std::string startTime;
    bool demo = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--profile" && i + 1 < args.size())
            profile = args[++i];
        else if (args[i] == "--time" && i + 1 < args.size())
            startTime = args[++i];
        else if (args[i] == "--demo")
            demo = true;
        else
            return usage("create: unexpected argument " + args[i]);
    }
    // A demo device starts on a fixed Monday morning, so that its week of data is ahead.
    if (demo && startTime.empty()) startTime = ceimage::kDemoStart;
    if (chosenDevice().empty()) return fail("create: give --device DIR or set CEDEVICE");
    if (!ce::findProfile(profile)) return usage("create: unknown profile " + profile);
    std::string error;
    if (!ce::createDevice(chosenDevice(), profile, &error)) return fail(error);
    if (!ce::attachDevice(chosenDevice(), &error)) return fail(error);
    if (!startTime.empty()) {
        int64_t utc = 0;
        if (!parseDeviceTime(startTime, &utc, &error)) return usage("create: " + error);
        if (!ce::setDeviceUtc(utc, &error)) return fail(error);
    }
    if (demo && !ceimage::fillDemoDevice(&error)) return fail("create: demo data: " + error);
    ce::JournalLine("device.create").str("profile", profile).flag("demo", demo).write();
    printf("created %s device at %s\n", profile.c_str(), ce::deviceDir().c_str());
    return 0;
}

int cmdProfile(const Args& args) {
    if (!needDevice()) return 1;
    if (args.empty()) {
        printProfile(*ce::deviceConf());
        return 0;
    }
    if (args[0] != "set" || args.size() != 3) return usage("usage: cedev profile set KEY VALUE");
    const std::string& key = args[1];
    const std::string& value = args[2];
    if (!isProfileKey(key)) return usage("profile: unknown key " + key);
    if (value.find('\n') != std::string::npos) return usage("profile: a value is one line");
    const ce::DeviceProfile* base = nullptr;
    if (key == "profile") {
        base = ce::findProfile(value);
        if (!base) return usage("profile: unknown profile " + value);
    }
    // The value goes through the same parser as device.conf, so cedev accepts exactly what
    // the device can read back.
    std::vector<std::string> warnings;
    ce::parseDeviceConf(key + " = " + value + "\n", &warnings);
    if (!warnings.empty()) return usage("profile: " + warnings.front());
    std::string error;
    bool ok = ce::updateDeviceConf(
        [&](ce::DeviceConf& conf) {
            if (base) {
                conf.profile.name = base->name;
                conf.profile.width = base->width;
                conf.profile.height = base->height;
                conf.profile.dpi = base->dpi;
                return;
            }
            // A later line wins, so the current text plus the new line is the new state.
            std::string text = ce::formatDeviceConf(conf) + key + " = " + value + "\n";
            conf = ce::parseDeviceConf(text);
        },
        &error);
    if (!ok) return fail(error);
    // A withdrawn system library is gone from \Windows too, as on a device built without it.
    if (key == "withdrawn" && !ce::writeBuiltinLibraryStubs(
                                  ce::deviceFsRoot(), ce::deviceConf()->profile.withdrawn, &error))
        return fail(error);
    ce::JournalLine("device.profile").str("key", key).str("value", value).write();
    return 0;
}

} // namespace cedev
