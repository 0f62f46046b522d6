// sysinfo_test.cpp: conformance tests of the system facts and the local heap: GetVersionExW,
// SystemParametersInfoW, GetSystemPowerStatusEx/Ex2, GlobalMemoryStatus, GetSystemInfo,
// IsAPIReady, and LocalAlloc / LocalReAlloc / LocalSize / LocalFree with ce::localAlloc.
//
// The device facts come from the profile and state in device.conf: each case changes them on
// a fresh device and checks that the API reports the change.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "kernel/device.h"
#include "kernel/localmem.h"
#include "kernel/strings.h"
#include "kernel/sysinfo.h"
#include "testdevice.h"
#include "windows.h"

namespace {

constexpr DWORD kPoison = 0xdeadbeef;
constexpr WCHAR kGuard = 0xBEEF;

class SysInfoTest : public cetest::DeviceTest {
protected:
    void edit(const std::function<void(ce::DeviceConf&)>& fn) {
        std::string error;
        ASSERT_TRUE(ce::updateDeviceConf(fn, &error)) << error;
    }
};

// ---- GetVersionExW ------------------------------------------------------------------------------

TEST_F(SysInfoTest, VersionComesFromTheProfile) {
    edit([](ce::DeviceConf& c) {
        c.profile.osMajor = 5;
        c.profile.osMinor = 2;
        c.profile.osBuild = 21501;
    });
    OSVERSIONINFO vi;
    std::memset(&vi, 0xbe, sizeof vi);
    vi.dwOSVersionInfoSize = sizeof vi;
    SetLastError(kPoison);
    ASSERT_TRUE(GetVersionEx(&vi));
    EXPECT_EQ(sizeof(OSVERSIONINFOW), vi.dwOSVersionInfoSize);
    EXPECT_EQ(5u, vi.dwMajorVersion);
    EXPECT_EQ(2u, vi.dwMinorVersion);
    EXPECT_EQ(21501u, vi.dwBuildNumber);
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_CE), vi.dwPlatformId);
    EXPECT_EQ(0, vi.szCSDVersion[0]);

    // An older device: the product takes other paths below major version 5 / build 21501.
    edit([](ce::DeviceConf& c) {
        c.profile.osMajor = 4;
        c.profile.osMinor = 21;
        c.profile.osBuild = 1088;
    });
    ASSERT_TRUE(GetVersionExW(&vi));
    EXPECT_EQ(4u, vi.dwMajorVersion);
    EXPECT_EQ(21u, vi.dwMinorVersion);
    EXPECT_EQ(1088u, vi.dwBuildNumber);
}

// Windows documents that GetVersionEx fails for a size member that names no known structure.
TEST_F(SysInfoTest, VersionNeedsTheSizeMember) {
    for (DWORD size : {0u, static_cast<DWORD>(sizeof(OSVERSIONINFOW) - 1),
                       static_cast<DWORD>(sizeof(OSVERSIONINFOW) + 4)}) {
        SCOPED_TRACE(size);
        OSVERSIONINFOW vi;
        std::memset(&vi, 0xbe, sizeof vi);
        vi.dwOSVersionInfoSize = size;
        SetLastError(kPoison);
        EXPECT_FALSE(GetVersionExW(&vi));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
        EXPECT_EQ(0xbebebebeu, vi.dwMajorVersion);
    }
    SetLastError(kPoison);
    EXPECT_FALSE(GetVersionExW(nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

// ---- SystemParametersInfoW --------------------------------------------------------------------

TEST_F(SysInfoTest, OemInfoComesFromTheProfile) {
    edit([](ce::DeviceConf& c) { c.profile.oemInfo = "Fabrikam Gerät FX-7 (rev §2)"; });
    WCHAR buf[2047];
    std::fill(std::begin(buf), std::end(buf), kGuard);
    SetLastError(kPoison);
    ASSERT_TRUE(SystemParametersInfo(SPI_GETOEMINFO, sizeof buf, buf, 0));
    EXPECT_EQ("Fabrikam Gerät FX-7 (rev §2)", ce::toUtf8(buf));

    ASSERT_TRUE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, sizeof buf, buf, 0));
    EXPECT_EQ("PocketPC", ce::toUtf8(buf));
}

// uiParam is the buffer's size in bytes; a buffer too small fails and receives nothing.
TEST_F(SysInfoTest, OemInfoBufferSize) {
    edit([](ce::DeviceConf& c) { c.profile.oemInfo = "Fabrikam FX-7"; }); // 13 units
    WCHAR buf[32];
    std::fill(std::begin(buf), std::end(buf), kGuard);
    SetLastError(kPoison);
    EXPECT_FALSE(SystemParametersInfoW(SPI_GETOEMINFO, 13 * sizeof(WCHAR), buf, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    for (WCHAR c : buf)
        EXPECT_EQ(kGuard, c);

    ASSERT_TRUE(SystemParametersInfoW(SPI_GETOEMINFO, 14 * sizeof(WCHAR), buf, 0));
    EXPECT_EQ("Fabrikam FX-7", ce::toUtf8(buf));
    EXPECT_EQ(kGuard, buf[14]);

    SetLastError(kPoison);
    EXPECT_FALSE(SystemParametersInfoW(SPI_GETOEMINFO, sizeof buf, nullptr, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST_F(SysInfoTest, UnsupportedParameterFails) {
    RECT rc{1, 2, 3, 4};
    SetLastError(kPoison);
    EXPECT_FALSE(SystemParametersInfoW(0x7fff, 0, &rc, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(1, rc.left);
}

// ---- Power status -------------------------------------------------------------------------------

// The level flags as Windows documents them: high above 66 %, low below 33 %, critical below
// 5 %, none in between; charging while on external power and not yet full.
TEST_F(SysInfoTest, PowerStatusFollowsTheBattery) {
    struct Row {
        int level;
        bool ac;
        BYTE line;
        BYTE flag;
    };
    const Row rows[] = {
        {100, false, AC_LINE_OFFLINE, BATTERY_FLAG_HIGH},
        {67, false, AC_LINE_OFFLINE, BATTERY_FLAG_HIGH},
        {66, false, AC_LINE_OFFLINE, 0},
        {33, false, AC_LINE_OFFLINE, 0},
        {32, false, AC_LINE_OFFLINE, BATTERY_FLAG_LOW},
        {5, false, AC_LINE_OFFLINE, BATTERY_FLAG_LOW},
        {4, false, AC_LINE_OFFLINE, BATTERY_FLAG_CRITICAL},
        {0, false, AC_LINE_OFFLINE, BATTERY_FLAG_CRITICAL},
        {50, true, AC_LINE_ONLINE, BATTERY_FLAG_CHARGING},
        {3, true, AC_LINE_ONLINE, BATTERY_FLAG_CRITICAL | BATTERY_FLAG_CHARGING},
        {100, true, AC_LINE_ONLINE, BATTERY_FLAG_HIGH},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.level) + (r.ac ? "% on AC" : "% on battery"));
        edit([&](ce::DeviceConf& c) {
            c.battery = r.level;
            c.acPower = r.ac;
        });
        SYSTEM_POWER_STATUS_EX ex;
        std::memset(&ex, 0xbe, sizeof ex);
        ASSERT_TRUE(GetSystemPowerStatusEx(&ex, TRUE));
        EXPECT_EQ(r.line, ex.ACLineStatus);
        EXPECT_EQ(r.flag, ex.BatteryFlag);
        EXPECT_EQ(r.level, ex.BatteryLifePercent);
        EXPECT_EQ(0, ex.Reserved1);
        if (r.ac)
            EXPECT_EQ(BATTERY_LIFE_UNKNOWN, ex.BatteryLifeTime);
        else
            EXPECT_LE(ex.BatteryLifeTime, ex.BatteryFullLifeTime);

        SYSTEM_POWER_STATUS_EX2 ex2;
        std::memset(&ex2, 0xbe, sizeof ex2);
        EXPECT_EQ(sizeof ex2, GetSystemPowerStatusEx2(&ex2, sizeof ex2, FALSE));
        EXPECT_EQ(r.line, ex2.ACLineStatus);
        EXPECT_EQ(r.flag, ex2.BatteryFlag);
        EXPECT_EQ(r.level, ex2.BatteryLifePercent);
        EXPECT_EQ(BATTERY_CHEMISTRY_LION, ex2.BatteryChemistry);
    }
}

// A caller with a shorter structure gets its leading part and the count of bytes copied.
TEST_F(SysInfoTest, PowerStatusEx2CopiesAtMostTheGivenLength) {
    edit([](ce::DeviceConf& c) {
        c.battery = 42;
        c.acPower = false;
    });
    unsigned char buf[sizeof(SYSTEM_POWER_STATUS_EX2) + 8];
    std::memset(buf, 0xbe, sizeof buf);
    EXPECT_EQ(4u,
              GetSystemPowerStatusEx2(reinterpret_cast<PSYSTEM_POWER_STATUS_EX2>(buf), 4, FALSE));
    EXPECT_EQ(AC_LINE_OFFLINE, buf[0]);
    EXPECT_EQ(42, buf[2]);
    for (size_t i = 4; i < sizeof buf; ++i)
        EXPECT_EQ(0xbe, buf[i]) << i;

    SetLastError(kPoison);
    EXPECT_EQ(0u, GetSystemPowerStatusEx2(nullptr, sizeof(SYSTEM_POWER_STATUS_EX2), FALSE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(kPoison);
    EXPECT_FALSE(GetSystemPowerStatusEx(nullptr, FALSE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

// ---- Memory, processor, readiness ---------------------------------------------------------------

TEST_F(SysInfoTest, MemoryStatusIsConsistent) {
    MEMORYSTATUS ms;
    std::memset(&ms, 0xbe, sizeof ms);
    GlobalMemoryStatus(&ms);
    EXPECT_EQ(sizeof ms, ms.dwLength);
    EXPECT_GT(ms.dwTotalPhys, 0u);
    EXPECT_LE(ms.dwAvailPhys, ms.dwTotalPhys);
    EXPECT_GE(ms.dwAvailPhys >> 20, 1u); // the product reports free megabytes
    EXPECT_LE(ms.dwMemoryLoad, 100u);
    // The load is the share of physical memory in use.
    const double used = 100.0 * (ms.dwTotalPhys - ms.dwAvailPhys) / ms.dwTotalPhys;
    EXPECT_NEAR(used, ms.dwMemoryLoad, 1.0);
    EXPECT_LE(ms.dwAvailVirtual, ms.dwTotalVirtual);
    EXPECT_LE(ms.dwAvailPageFile, ms.dwTotalPageFile);
    GlobalMemoryStatus(nullptr); // must not crash
}

TEST_F(SysInfoTest, SystemInfoDescribesAnArmHandheld) {
    SYSTEM_INFO si;
    std::memset(&si, 0xbe, sizeof si);
    GetSystemInfo(&si);
    EXPECT_EQ(PROCESSOR_ARCHITECTURE_ARM, si.wProcessorArchitecture);
    EXPECT_EQ(4096u, si.dwPageSize);
    EXPECT_EQ(1u, si.dwNumberOfProcessors);
    EXPECT_EQ(0x10000u, si.dwAllocationGranularity);
    EXPECT_LT(si.lpMinimumApplicationAddress, si.lpMaximumApplicationAddress);
}

// IsAPIReady answers from the device's shared readiness mask: the shell and GDI become ready
// when the simulated shell says so, each on its own.
TEST_F(SysInfoTest, ApiReadyFollowsTheShell) {
    EXPECT_FALSE(IsAPIReady(SH_SHELL));
    EXPECT_FALSE(IsAPIReady(SH_GDI));
    ce::setApiReady(SH_GDI, true);
    EXPECT_TRUE(IsAPIReady(SH_GDI));
    EXPECT_FALSE(IsAPIReady(SH_SHELL));
    ce::setApiReady(SH_SHELL, true);
    EXPECT_TRUE(IsAPIReady(SH_SHELL));
    EXPECT_TRUE(IsAPIReady(16)); // the numbers the product polls
    EXPECT_TRUE(IsAPIReady(21));
    ce::setApiReady(SH_SHELL, false);
    EXPECT_FALSE(IsAPIReady(SH_SHELL));
    EXPECT_TRUE(IsAPIReady(SH_WIN32));
    EXPECT_FALSE(IsAPIReady(200));
    EXPECT_FALSE(IsAPIReady(0xFFFFFFFF));
    // Another process of the device sees the same state.
    EXPECT_EQ(1, cetest::runInChild([] { return IsAPIReady(SH_GDI) && !IsAPIReady(SH_SHELL); }));
}

TEST_F(SysInfoTest, DeviceFactsForTheSettingsPages) {
    edit([](ce::DeviceConf& c) {
        c.profile.deviceName = "Pocket_42";
        c.profile.ownerName = "Jürgen Muster";
        c.profile.akuText = "6.1.4";
    });
    const ce::DeviceFacts f = ce::deviceFacts();
    EXPECT_EQ("Pocket_42", ce::toUtf8(f.deviceName));
    EXPECT_EQ("Jürgen Muster", ce::toUtf8(f.ownerName));
    EXPECT_EQ("6.1.4", ce::toUtf8(f.akuText));
    EXPECT_EQ(240, f.screenWidth);
    EXPECT_EQ(320, f.screenHeight);
}

// ---- Local heap
// -------------------------------------------------------------------------------------

TEST(LocalMem, ZeroInitAndSize) {
    // Dirty a block and free it, so that a reused block would show the old bytes.
    auto* dirty = static_cast<unsigned char*>(LocalAlloc(LMEM_FIXED, 200));
    ASSERT_NE(nullptr, dirty);
    std::memset(dirty, 0xab, 200);
    EXPECT_EQ(nullptr, LocalFree(dirty));

    auto* p = static_cast<unsigned char*>(LocalAlloc(LPTR, 200));
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(200u, LocalSize(p));
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(0, p[i]) << i;
    EXPECT_EQ(nullptr, LocalFree(p));

    // A zero-byte block is a real block.
    HLOCAL empty = LocalAlloc(LMEM_FIXED, 0);
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(0u, LocalSize(empty));
    EXPECT_EQ(nullptr, LocalFree(empty));
}

TEST(LocalMem, ReAllocKeepsContent) {
    auto* p = static_cast<unsigned char*>(LocalAlloc(LMEM_FIXED, 64));
    ASSERT_NE(nullptr, p);
    for (int i = 0; i < 64; ++i)
        p[i] = static_cast<unsigned char>(i);

    auto* q = static_cast<unsigned char*>(LocalReAlloc(p, 100000, LMEM_MOVEABLE | LMEM_ZEROINIT));
    ASSERT_NE(nullptr, q);
    EXPECT_EQ(100000u, LocalSize(q));
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(i, q[i]) << i;
    for (int i = 64; i < 100000; ++i)
        ASSERT_EQ(0, q[i]) << i;

    // Shrinking never needs to move.
    SetLastError(kPoison);
    EXPECT_EQ(q, LocalReAlloc(q, 10, 0));
    EXPECT_EQ(10u, LocalSize(q));
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(i, q[i]) << i;
    EXPECT_EQ(nullptr, LocalFree(q));
}

// Fixed memory reallocated without LMEM_MOVEABLE may only change in place: growing it past
// its allocation fails and leaves the block as it was.
TEST(LocalMem, ReAllocWithoutMoveableStaysInPlace) {
    auto* p = static_cast<unsigned char*>(LocalAlloc(LMEM_FIXED, 32));
    ASSERT_NE(nullptr, p);
    std::memset(p, 0x5a, 32);
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, LocalReAlloc(p, 4096, LMEM_ZEROINIT));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    EXPECT_EQ(32u, LocalSize(p));
    for (int i = 0; i < 32; ++i)
        ASSERT_EQ(0x5a, p[i]) << i;

    // LMEM_MODIFY changes nothing for fixed memory; it cannot make it moveable.
    EXPECT_EQ(p, LocalReAlloc(p, 0, LMEM_MODIFY));
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, LocalReAlloc(p, 0, LMEM_MODIFY | LMEM_MOVEABLE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(nullptr, LocalFree(p));
}

TEST(LocalMem, ForeignPointersAreRefused) {
    int onStack = 0;
    SetLastError(kPoison);
    EXPECT_EQ(&onStack, LocalFree(&onStack));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    SetLastError(kPoison);
    EXPECT_EQ(0u, LocalSize(&onStack));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, LocalReAlloc(&onStack, 8, LMEM_MOVEABLE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());

    // LocalFree(NULL) is allowed and returns NULL; freeing twice is caught.
    EXPECT_EQ(nullptr, LocalFree(nullptr));
    HLOCAL p = LocalAlloc(LPTR, 8);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(nullptr, LocalFree(p));
    SetLastError(kPoison);
    EXPECT_EQ(p, LocalFree(p));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST(LocalMem, RequestsBeyondTheDeviceFail) {
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, LocalAlloc(LMEM_FIXED, 0xFFFFFFFFu));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, LocalAlloc(0x8000, 16));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

// What the platform hands out for LocalFree comes from the same heap.
TEST(LocalMem, PlatformBlocksAreFreedWithLocalFree) {
    LPWSTR s = ce::localStrDup(u"Sounds\\Alarm");
    ASSERT_NE(nullptr, s);
    EXPECT_EQ("Sounds\\Alarm", ce::toUtf8(s));
    EXPECT_EQ(13 * sizeof(WCHAR), LocalSize(s));
    EXPECT_TRUE(ce::isLocalBlock(s));
    EXPECT_EQ(nullptr, LocalFree(s));
    EXPECT_FALSE(ce::isLocalBlock(s));

    void* b = ce::localAlloc(24);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(0, static_cast<unsigned char*>(b)[23]);
    EXPECT_EQ(nullptr, LocalFree(b));
}

} // namespace
