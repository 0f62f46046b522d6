// clock_test.cpp: the device clock: its rate (real time, fast, frozen, fractional), steps and
// advances and what each does to GetTickCount, a step seen by another process of the device,
// the anchor surviving a host reboot, hostile anchors in device.conf, and the host waits the
// clock computes for the code that sleeps until a device time.
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "kernel/clock.h"
#include "kernel/device.h"
#include "testdevice.h"
#include "winbase.h"

namespace {

using cetest::isoToFileTime;

constexpr int64_t kSecond = 10'000'000;

int64_t nowFileTime() {
    FILETIME ft{0xdeadbeef, 0xdeadbeef};
    GetSystemTimeAsFileTime(&ft);
    return ce::fileTimeToInt(ft);
}

std::string iso(const SYSTEMTIME& st) {
    char buf[48];
    snprintf(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:%02u.%03u", st.wYear, st.wMonth, st.wDay,
             st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
    return buf;
}

std::string systemIso() {
    SYSTEMTIME st;
    memset(&st, 0xbe, sizeof st);
    GetSystemTime(&st);
    return iso(st);
}

void edit(const std::function<void(ce::DeviceConf&)>& change) {
    std::string error;
    ASSERT_TRUE(ce::updateDeviceConf(change, &error)) << error;
}

using ClockTest = cetest::DeviceTest;

// At rate 60 a device minute passes in a real second. The check is a ratio of device time to
// host time measured around a one-second sleep, so a slow machine does not make it fail; the
// band still catches a rate applied twice, not at all, or to the wrong unit.
TEST_F(ClockTest, Rate60RunsAMinutePerSecond) {
    std::string error;
    ASSERT_TRUE(ce::setDeviceClockRate(60, &error)) << error;
    EXPECT_EQ(60.0, ce::deviceClockRate());
    auto h0 = std::chrono::steady_clock::now();
    int64_t d0 = nowFileTime();
    DWORD t0 = GetTickCount();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    int64_t d1 = nowFileTime();
    DWORD t1 = GetTickCount();
    double host = std::chrono::duration<double>(std::chrono::steady_clock::now() - h0).count();
    double deviceSecondsPerSecond = (d1 - d0) / double(kSecond) / host;
    double ticksPerSecond = (t1 - t0) / host;
    EXPECT_GE(deviceSecondsPerSecond, 40);
    EXPECT_LE(deviceSecondsPerSecond, 90);
    EXPECT_GE(ticksPerSecond, 40000);
    EXPECT_LE(ticksPerSecond, 90000);
}

// At rate 1 the device clock keeps host time's pace.
TEST_F(ClockTest, Rate1KeepsRealTime) {
    std::string error;
    ASSERT_TRUE(ce::setDeviceClockRate(1, &error)) << error;
    auto h0 = std::chrono::steady_clock::now();
    int64_t d0 = nowFileTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int64_t d1 = nowFileTime();
    double host = std::chrono::duration<double>(std::chrono::steady_clock::now() - h0).count();
    double ratio = (d1 - d0) / double(kSecond) / host;
    EXPECT_GT(ratio, 0.7);
    EXPECT_LT(ratio, 1.3);
}

// A fractional rate keeps its fraction: an anchor 10 host seconds ago at rate 0.5 means the
// device has moved 5 seconds (and the tick count 5000 ms).
TEST_F(ClockTest, FractionalRateIsExact) {
    const int64_t base = isoToFileTime("2027-01-01T00:00:00Z");
    edit([&](ce::DeviceConf& c) {
        c.clockBase = base;
        c.tickBase = 1000;
        c.clockRate = 0.5;
        c.clockAnchorMono = ce::hostMonotonicNs() - 10'000'000'000;
        c.clockAnchorReal = ce::hostRealtimeNs() - 10'000'000'000;
        c.clockBootId = ce::hostBootId();
    });
    int64_t moved = nowFileTime() - base;
    EXPECT_GE(moved, 5 * kSecond);
    EXPECT_LT(moved, 6 * kSecond);
    DWORD tick = GetTickCount();
    EXPECT_GE(tick, 6000u);
    EXPECT_LT(tick, 7000u);
}

// At rate 0 nothing moves until the clock is advanced; an advance moves device time and the
// tick count by exactly the same amount.
TEST_F(ClockTest, FrozenClockMovesOnlyByAdvance) {
    device.freezeAt("2027-03-28T00:30:00Z");
    EXPECT_EQ(0.0, ce::deviceClockRate());
    std::string before = systemIso();
    DWORD tick = GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ("2027-03-28T00:30:00.000", systemIso());
    EXPECT_EQ(before, systemIso());
    EXPECT_EQ(tick, GetTickCount());

    uint32_t steps = ce::deviceConf()->clockSteps;
    std::string error;
    ASSERT_TRUE(ce::advanceDeviceClock(90 * kSecond + 5000, &error)) << error; // 90.0005 s
    EXPECT_EQ("2027-03-28T00:31:30.000", systemIso());
    EXPECT_EQ(isoToFileTime("2027-03-28T00:31:30Z") + 5000, nowFileTime());
    EXPECT_EQ(tick + 90000u, GetTickCount());
    EXPECT_EQ(steps + 1, ce::deviceConf()->clockSteps);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(tick + 90000u, GetTickCount()) << "still frozen after the advance";

    EXPECT_FALSE(ce::advanceDeviceClock(-kSecond, &error)) << "the clock never advances back";
    EXPECT_EQ(tick + 90000u, GetTickCount());
}

// A step moves the device's time but not GetTickCount, which counts time that passed; the
// step counter tells the notification engine that the time changed.
TEST_F(ClockTest, StepMovesTimeButNotTickCount) {
    device.freezeAt("2027-03-28T00:30:00Z");
    DWORD tick = GetTickCount();
    uint32_t steps = ce::deviceConf()->clockSteps;
    SYSTEMTIME st{2031, 12, 3 /* ignored */, 24, 18, 0, 0, 250};
    SetLastError(0xdeadbeef);
    ASSERT_TRUE(SetSystemTime(&st));
    EXPECT_EQ("2031-12-24T18:00:00.250", systemIso());
    EXPECT_EQ(tick, GetTickCount());
    EXPECT_EQ(steps + 1, ce::deviceConf()->clockSteps);

    // Stepping back is a step too, and the tick count still does not move.
    SYSTEMTIME back{2020, 1, 0, 1, 0, 0, 0, 0};
    ASSERT_TRUE(SetSystemTime(&back));
    EXPECT_EQ("2020-01-01T00:00:00.000", systemIso());
    EXPECT_EQ(tick, GetTickCount());
    EXPECT_EQ(steps + 2, ce::deviceConf()->clockSteps);
}

TEST_F(ClockTest, InvalidSetSystemTimeDoesNotStep) {
    device.freezeAt("2027-03-28T00:30:00Z");
    uint32_t steps = ce::deviceConf()->clockSteps;
    for (SYSTEMTIME bad :
         {SYSTEMTIME{2027, 2, 0, 29, 0, 0, 0, 0}, SYSTEMTIME{2027, 1, 0, 1, 24, 0, 0, 0},
          SYSTEMTIME{1600, 1, 0, 1, 0, 0, 0, 0}}) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(SetSystemTime(&bad)) << iso(bad);
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    }
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetSystemTime(nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ("2027-03-28T00:30:00.000", systemIso());
    EXPECT_EQ(steps, ce::deviceConf()->clockSteps);
}

// Changing the rate continues from the time reached: no jump, and not counted as a step.
TEST_F(ClockTest, RateChangeIsContinuous) {
    device.freezeAt("2027-03-28T00:30:00Z");
    uint32_t steps = ce::deviceConf()->clockSteps;
    DWORD tick = GetTickCount();
    std::string error;
    ASSERT_TRUE(ce::setDeviceClockRate(0, &error)) << error;
    EXPECT_EQ("2027-03-28T00:30:00.000", systemIso());
    ASSERT_TRUE(ce::setDeviceClockRate(1, &error)) << error;
    int64_t t = nowFileTime() - isoToFileTime("2027-03-28T00:30:00Z");
    EXPECT_GE(t, 0);
    EXPECT_LT(t, 5 * kSecond);
    EXPECT_GE(GetTickCount(), tick);
    EXPECT_LT(GetTickCount(), tick + 5000);
    EXPECT_EQ(steps, ce::deviceConf()->clockSteps);

    for (double bad : {-1.0, std::nan(""), std::numeric_limits<double>::infinity(), 2e6}) {
        EXPECT_FALSE(ce::setDeviceClockRate(bad, &error)) << bad;
        EXPECT_EQ(1.0, ce::deviceClockRate());
    }
}

// GetTickCount wraps after 49.7 days, as on the device.
TEST_F(ClockTest, TickCountWrapsAt32Bits) {
    device.freezeAt("2027-03-28T00:30:00Z");
    edit([](ce::DeviceConf& c) { c.tickBase = 0xFFFFFFFFll - 9; });
    EXPECT_EQ(0xFFFFFFF6u, GetTickCount());
    std::string error;
    ASSERT_TRUE(ce::advanceDeviceClock(20 * 10'000, &error)) << error; // 20 ms
    EXPECT_EQ(10u, GetTickCount());
}

// Another process of the device sees a step as soon as it reads the clock. The child reads the
// time once (so it has the old state cached), says it is ready, then polls until it sees the
// new time or five host seconds pass.
TEST_F(ClockTest, StepSeenByAnotherProcessAtOnce) {
    device.freezeAt("2027-03-28T00:30:00Z");
    int ready[2];
    ASSERT_EQ(0, pipe(ready));
    cetest::Child child([&] {
        close(ready[0]);
        SYSTEMTIME st;
        GetSystemTime(&st);
        if (st.wYear != 2027) return 2;
        char c = 'r';
        if (write(ready[1], &c, 1) != 1) return 3;
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < until) {
            GetSystemTime(&st);
            if (st.wYear == 2031 && st.wMonth == 1 && st.wDay == 2 && st.wHour == 3) return 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return 1;
    });
    close(ready[1]);
    char c = 0;
    ASSERT_EQ(1, read(ready[0], &c, 1));
    close(ready[0]);
    SYSTEMTIME st{2031, 1, 0, 2, 3, 4, 5, 6};
    ASSERT_TRUE(SetSystemTime(&st));
    EXPECT_EQ(0, child.wait()) << "1: step not seen in 5 s; 2: wrong start time";
}

// Within one host boot the monotonic anchor measures elapsed time (the host's real-time
// clock may be set meanwhile); after a host reboot the monotonic anchor means nothing and the
// real-time anchor tells how long the device has been running.
TEST_F(ClockTest, AnchorFromEarlierBootUsesRealTime) {
    const int64_t base = isoToFileTime("2027-01-01T00:00:00Z");
    edit([&](ce::DeviceConf& c) {
        c.clockBase = base;
        c.clockRate = 1;
        c.clockBootId = ce::hostBootId();
        c.clockAnchorMono = ce::hostMonotonicNs() - 10'000'000'000;  // 10 s ago
        c.clockAnchorReal = ce::hostRealtimeNs() - 1000'000'000'000; // as if set back since
    });
    int64_t moved = nowFileTime() - base;
    EXPECT_GE(moved, 10 * kSecond);
    EXPECT_LT(moved, 15 * kSecond);

    edit([&](ce::DeviceConf& c) {
        c.clockBase = base;
        c.clockRate = 1;
        c.clockBootId = "a-boot-long-ago";
        c.clockAnchorMono = ce::hostMonotonicNs() + 3'600'000'000'000; // meaningless now
        c.clockAnchorReal = ce::hostRealtimeNs() - 30'000'000'000;     // 30 s ago
    });
    moved = nowFileTime() - base;
    EXPECT_GE(moved, 30 * kSecond);
    EXPECT_LT(moved, 35 * kSecond);
    // The next change anchors in this boot again: from then on a real-time anchor that is
    // far off no longer matters.
    std::string error;
    ASSERT_TRUE(ce::setDeviceClockRate(1, &error)) << error;
    edit([](ce::DeviceConf& c) { c.clockAnchorReal -= 1000'000'000'000; });
    moved = nowFileTime() - base;
    EXPECT_GE(moved, 30 * kSecond);
    EXPECT_LT(moved, 35 * kSecond);
}

// device.conf can be edited by hand: anchors at the ends of the 64-bit range give a clamped
// time, never an overflow or a time before 1601.
TEST_F(ClockTest, HostileAnchorsAreClamped) {
    edit([](ce::DeviceConf& c) {
        c.clockBase = std::numeric_limits<int64_t>::max() - 5;
        c.clockRate = 1e6;
        c.clockAnchorMono = std::numeric_limits<int64_t>::min();
        c.clockBootId = ce::hostBootId();
        c.tickBase = std::numeric_limits<int64_t>::max();
    });
    EXPECT_EQ(std::numeric_limits<int64_t>::max(), nowFileTime());
    EXPECT_EQ("30828-09-14T02:48:05.477", systemIso());
    SYSTEMTIME local;
    GetLocalTime(&local);
    EXPECT_EQ(30828, local.wYear);
    (void)GetTickCount();
    EXPECT_EQ(0, ce::hostNsUntilDeviceUtc(isoToFileTime("2027-01-01T00:00:00Z")));

    edit([](ce::DeviceConf& c) {
        c.clockBase = isoToFileTime("2027-01-01T00:00:00Z");
        c.clockAnchorMono = std::numeric_limits<int64_t>::max(); // in the future
        c.tickBase = std::numeric_limits<int64_t>::min();
    });
    EXPECT_EQ("2027-01-01T00:00:00.000", systemIso()) << "time before the anchor does not count";
    (void)GetTickCount();
}

// How long the host must wait for a device time: scaled by the rate, 0 when it is already
// reached, -1 when only an advance can bring it (frozen clock).
TEST_F(ClockTest, HostWaitsFollowTheRate) {
    device.freezeAt("2027-03-28T00:30:00Z");
    const int64_t now = isoToFileTime("2027-03-28T00:30:00Z");
    EXPECT_EQ(-1, ce::hostNsUntilDeviceUtc(now + kSecond));
    EXPECT_EQ(0, ce::hostNsUntilDeviceUtc(now));
    EXPECT_EQ(0, ce::hostNsUntilDeviceUtc(now - kSecond));
    uint64_t tick = GetTickCount();
    EXPECT_EQ(-1, ce::hostNsUntilTick(tick + 1));
    EXPECT_EQ(0, ce::hostNsUntilTick(tick));

    std::string error;
    ASSERT_TRUE(ce::setDeviceClockRate(60, &error)) << error;
    // A device minute ahead is a host second away (less what passed since the rate change).
    int64_t ns = ce::hostNsUntilDeviceUtc(now + 60 * kSecond);
    EXPECT_GT(ns, 500'000'000);
    EXPECT_LE(ns, 1'000'000'000);
    ns = ce::hostNsUntilTick(tick + 60000);
    EXPECT_GT(ns, 500'000'000);
    EXPECT_LE(ns, 1'000'000'000);
    ASSERT_TRUE(ce::setDeviceClockRate(0.5, &error)) << error;
    ns = ce::hostNsUntilDeviceUtc(nowFileTime() + kSecond);
    EXPECT_GT(ns, 1'500'000'000);
    EXPECT_LE(ns, 2'000'000'000);
    // Far ahead saturates instead of overflowing.
    EXPECT_GT(ce::hostNsUntilDeviceUtc(std::numeric_limits<int64_t>::max()), 0);
    EXPECT_GT(ce::hostNsUntilTick(std::numeric_limits<uint64_t>::max()), 0);
}

// Without a device folder the clock is host time in UTC, so pure computations still work.
TEST(ClockNoDevice, RunsOnHostTime) {
    if (ce::haveDevice()) GTEST_SKIP() << "CEDEVICE is set for this run";
    int64_t host = ce::hostRealtimeNs() / 100 + 116444736000000000;
    int64_t device = nowFileTime();
    EXPECT_LT(std::llabs(device - host), 5 * kSecond);
    TIME_ZONE_INFORMATION tzi;
    EXPECT_EQ(static_cast<DWORD>(TIME_ZONE_ID_UNKNOWN), GetTimeZoneInformation(&tzi));
    EXPECT_EQ(0, tzi.Bias);
}

} // namespace
