// testdevice.h: what the platform's tests share: a fresh device folder per test, child
// processes, and running cedev.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace cetest {

// A new device in a temporary folder, attached to this process for its lifetime (and put in
// CEDEVICE, so that child programs find it). Removed again at the end.
class TempDevice {
public:
    explicit TempDevice(const std::string& profile = "qvga");
    ~TempDevice();
    TempDevice(const TempDevice&) = delete;
    TempDevice& operator=(const TempDevice&) = delete;

    const std::filesystem::path& dir() const { return dir_; }
    std::filesystem::path fs() const { return dir_ / "fs"; }
    // Freezes the device clock (rate 0) at the given device UTC ISO time, e.g.
    // "2027-03-28T00:30:00Z": deterministic tests move it with advanceDeviceClock.
    void freezeAt(const std::string& isoUtc);

private:
    std::filesystem::path dir_;
};

// Test fixture owning a TempDevice.
class DeviceTest : public ::testing::Test {
protected:
    TempDevice device;
};

// Runs fn in a forked child and returns its exit status (fn's result), or -1 when the child
// died another way. The child never returns into the test framework.
int runInChild(const std::function<int()>& fn);

// A forked child that runs while the parent goes on; wait() returns its status as above.
class Child {
public:
    explicit Child(const std::function<int()>& fn);
    ~Child();
    int wait();

private:
    int pid_ = -1;
};

// Runs the built cedev with the arguments, on the given device; returns the exit status and
// fills out and err with what it printed.
int runCedev(const std::vector<std::string>& args, std::string* out = nullptr,
             std::string* err = nullptr, const std::filesystem::path& device = {});

// Parses "YYYY-MM-DDTHH:MM:SS[.mmm][Z|+HH:MM]" as UTC FILETIME units (no zone = UTC).
int64_t isoToFileTime(const std::string& iso);

} // namespace cetest
