// sysinfo.cpp: the system facts of the kernel API: GetVersionExW, SystemParametersInfoW
// (OEM text, platform type, work area), GlobalMemoryStatus, GetSystemInfo and IsAPIReady, and
// ce::deviceFacts for the platform.
//
// Everything that can differ between devices (OS version, OEM text, platform type) comes
// from the device profile at each call; the memory and processor figures are fixed values of
// a typical Windows Mobile 6 handheld.
#include "kernel/sysinfo.h"

#include <cstring>

#include "winbase.h"
#include "winsystem.h"

#include "kernel/device.h"
#include "kernel/strings.h"
#include "kernel/trace.h"

namespace ce {

DeviceFacts deviceFacts() {
    const auto conf = deviceConf();
    const DeviceProfile& p = conf->profile;
    DeviceFacts f;
    f.deviceName = fromUtf8(p.deviceName);
    f.ownerName = fromUtf8(p.ownerName);
    f.oemInfo = fromUtf8(p.oemInfo);
    f.platformType = fromUtf8(p.platformType);
    f.akuText = fromUtf8(p.akuText);
    f.osMajor = p.osMajor;
    f.osMinor = p.osMinor;
    f.osBuild = p.osBuild;
    f.screenWidth = p.width;
    f.screenHeight = p.height;
    return f;
}

} // namespace ce

namespace {

constexpr DWORD kMiB = 1u << 20;
constexpr DWORD kTotalPhys = 64 * kMiB;
constexpr DWORD kAvailPhys = 38 * kMiB;
constexpr DWORD kTotalVirtual = 32 * kMiB; // a Windows CE 5 process slot
constexpr DWORD kAvailVirtual = 27 * kMiB;

// Copies text and its terminator into a buffer of bufBytes bytes, or fails without writing.
BOOL copyParameterText(const std::u16string& text, UINT bufBytes, PVOID buf) {
    if (!buf) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const size_t needed = (text.size() + 1) * sizeof(WCHAR);
    if (bufBytes < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(buf, text.c_str(), needed);
    return TRUE;
}

// The work area of a Pocket PC: the screen below the navigation bar, which is 26 pixels high
// at 96 dpi and scales with the screen's dpi (52 at 192 dpi). The menu bar at the bottom is not
// taken off: it belongs to each program (its menu bar window sits inside the program's
// full-screen window, which the program shrinks itself), so the work area reaches the bottom
// of the screen, as Pocket PC programs expect when they subtract the menu bar on their own.
BOOL copyWorkArea(PVOID buf) {
    if (!buf) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto conf = ce::deviceConf();
    const ce::DeviceProfile& p = conf->profile;
    constexpr int kNavigationBar96 = 26;
    const int bar = (kNavigationBar96 * (p.dpi > 0 ? p.dpi : 96) + 48) / 96;
    RECT area{0, bar < p.height ? bar : p.height, p.width, p.height};
    std::memcpy(buf, &area, sizeof area);
    return TRUE;
}

} // namespace

WINBASEAPI BOOL GetVersionExW(LPOSVERSIONINFOW lpVersionInformation) {
    if (!lpVersionInformation) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The size member tells which structure the caller has; only OSVERSIONINFOW exists here.
    if (lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const ce::DeviceFacts f = ce::deviceFacts();
    lpVersionInformation->dwMajorVersion = static_cast<DWORD>(f.osMajor);
    lpVersionInformation->dwMinorVersion = static_cast<DWORD>(f.osMinor);
    lpVersionInformation->dwBuildNumber = static_cast<DWORD>(f.osBuild);
    lpVersionInformation->dwPlatformId = VER_PLATFORM_WIN32_CE;
    // Windows Mobile leaves the service-pack text empty; the AKU lives in the registry.
    std::memset(lpVersionInformation->szCSDVersion, 0, sizeof lpVersionInformation->szCSDVersion);
    return TRUE;
}

WINBASEAPI BOOL SystemParametersInfoW(UINT uiAction, UINT uiParam, PVOID pvParam, UINT fWinIni) {
    switch (uiAction) {
    case SPI_GETOEMINFO: return copyParameterText(ce::deviceFacts().oemInfo, uiParam, pvParam);
    case SPI_GETPLATFORMTYPE:
        return copyParameterText(ce::deviceFacts().platformType, uiParam, pvParam);
    case SPI_GETWORKAREA: return copyWorkArea(pvParam);
    default:
        CE_FIXME("sysinfo", "action 0x%x is not supported", uiAction);
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
}

WINBASEAPI void GlobalMemoryStatus(LPMEMORYSTATUS lpBuffer) {
    if (!lpBuffer) return;
    lpBuffer->dwLength = sizeof(MEMORYSTATUS);
    lpBuffer->dwMemoryLoad = static_cast<DWORD>(
        (static_cast<uint64_t>(kTotalPhys - kAvailPhys) * 100 + kTotalPhys / 2) / kTotalPhys);
    lpBuffer->dwTotalPhys = kTotalPhys;
    lpBuffer->dwAvailPhys = kAvailPhys;
    lpBuffer->dwTotalPageFile = 0; // Windows CE does not page to a file
    lpBuffer->dwAvailPageFile = 0;
    lpBuffer->dwTotalVirtual = kTotalVirtual;
    lpBuffer->dwAvailVirtual = kAvailVirtual;
}

WINBASEAPI void GetSystemInfo(LPSYSTEM_INFO lpSystemInfo) {
    if (!lpSystemInfo) return;
    std::memset(lpSystemInfo, 0, sizeof *lpSystemInfo);
    lpSystemInfo->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_ARM;
    lpSystemInfo->dwPageSize = 4096;
    lpSystemInfo->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(0x10000);
    lpSystemInfo->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(0x7FFFFFFF);
    lpSystemInfo->dwActiveProcessorMask = 1;
    lpSystemInfo->dwNumberOfProcessors = 1;
    lpSystemInfo->dwProcessorType = PROCESSOR_STRONGARM;
    lpSystemInfo->dwAllocationGranularity = 0x10000;
    lpSystemInfo->wProcessorLevel = 4;
    lpSystemInfo->wProcessorRevision = 0;
}

WINBASEAPI BOOL IsAPIReady(DWORD hAPI) {
    // The kernel's own API set is up whenever code can call this.
    if (hAPI == SH_WIN32) return TRUE;
    return ce::isApiReady(hAPI) ? TRUE : FALSE;
}
