// winsystem.h: facts about the device and its memory: the OS version, OEM and platform
// texts (SystemParametersInfoW), battery and power status, memory status, the processor,
// whether a system component is up (IsAPIReady), and the local heap (LocalAlloc and friends).
// Included by windows.h.
//
// Structures keep their Windows CE layout: the members that are DWORD on the device stay
// 32-bit here, whatever the host's pointer size.
#pragma once

#include "windef.h"
#include "winbase.h"

#ifdef __cplusplus
extern "C" {
#endif

// ---- Version ------------------------------------------------------------------------------
#define VER_PLATFORM_WIN32s        0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT      2
#define VER_PLATFORM_WIN32_CE      3

typedef struct _OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize; // set to sizeof(OSVERSIONINFOW) by the caller
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
} OSVERSIONINFOW, *POSVERSIONINFOW, *LPOSVERSIONINFOW;
typedef OSVERSIONINFOW OSVERSIONINFO;
typedef POSVERSIONINFOW POSVERSIONINFO;
typedef LPOSVERSIONINFOW LPOSVERSIONINFO;

// Fills in the OS version of the device profile (major, minor, build) with the platform
// VER_PLATFORM_WIN32_CE. Fails with ERROR_INSUFFICIENT_BUFFER unless dwOSVersionInfoSize is
// sizeof(OSVERSIONINFOW), leaving the rest of the structure as it was.
WINBASEAPI BOOL GetVersionExW(LPOSVERSIONINFOW lpVersionInformation);
#define GetVersionEx GetVersionExW

// ---- System parameters ------------------------------------------------------------------------
#define SPI_GETWORKAREA     0x0030
#define SPI_GETPLATFORMTYPE 0x0101
#define SPI_GETOEMINFO      0x0102

#define SPIF_UPDATEINIFILE 0x0001
#define SPIF_SENDCHANGE    0x0002

// SPI_GETOEMINFO and SPI_GETPLATFORMTYPE copy the device profile's OEM text and platform
// type ("PocketPC"), terminated, into pvParam, a buffer of uiParam bytes; a buffer too small
// fails with ERROR_INSUFFICIENT_BUFFER and receives nothing. SPI_GETWORKAREA fills the RECT
// at pvParam with the screen below the title bar (26 px at 96 dpi, scaled by the dpi). Other
// actions are not carried yet and fail with ERROR_INVALID_PARAMETER.
WINBASEAPI BOOL SystemParametersInfoW(UINT uiAction, UINT uiParam, PVOID pvParam, UINT fWinIni);
#define SystemParametersInfo SystemParametersInfoW

// ---- Power status -------------------------------------------------------------------------
#define AC_LINE_OFFLINE      0x00
#define AC_LINE_ONLINE       0x01
#define AC_LINE_BACKUP_POWER 0x02
#define AC_LINE_UNKNOWN      0xFF

#define BATTERY_FLAG_HIGH       0x01
#define BATTERY_FLAG_LOW        0x02
#define BATTERY_FLAG_CRITICAL   0x04
#define BATTERY_FLAG_CHARGING   0x08
#define BATTERY_FLAG_NO_BATTERY 0x80
#define BATTERY_FLAG_UNKNOWN    0xFF

#define BATTERY_PERCENTAGE_UNKNOWN 0xFF
#define BATTERY_LIFE_UNKNOWN       0xFFFFFFFF

#define BATTERY_CHEMISTRY_ALKALINE 0x01
#define BATTERY_CHEMISTRY_NICD     0x02
#define BATTERY_CHEMISTRY_NIMH     0x03
#define BATTERY_CHEMISTRY_LION     0x04
#define BATTERY_CHEMISTRY_LIPOLY   0x05
#define BATTERY_CHEMISTRY_UNKNOWN  0xFF

typedef struct _SYSTEM_POWER_STATUS_EX {
    BYTE ACLineStatus;
    BYTE BatteryFlag;
    BYTE BatteryLifePercent;
    BYTE Reserved1;
    DWORD BatteryLifeTime;     // seconds, or BATTERY_LIFE_UNKNOWN
    DWORD BatteryFullLifeTime; // seconds, or BATTERY_LIFE_UNKNOWN
    BYTE Reserved2;
    BYTE BackupBatteryFlag;
    BYTE BackupBatteryLifePercent;
    BYTE Reserved3;
    DWORD BackupBatteryLifeTime;
    DWORD BackupBatteryFullLifeTime;
} SYSTEM_POWER_STATUS_EX, *PSYSTEM_POWER_STATUS_EX, *LPSYSTEM_POWER_STATUS_EX;

typedef struct _SYSTEM_POWER_STATUS_EX2 {
    BYTE ACLineStatus;
    BYTE BatteryFlag;
    BYTE BatteryLifePercent;
    BYTE Reserved1;
    DWORD BatteryLifeTime;
    DWORD BatteryFullLifeTime;
    BYTE Reserved2;
    BYTE BackupBatteryFlag;
    BYTE BackupBatteryLifePercent;
    BYTE Reserved3;
    DWORD BackupBatteryLifeTime;
    DWORD BackupBatteryFullLifeTime;
    DWORD BatteryVoltage;         // millivolts
    DWORD BatteryCurrent;         // milliamperes, negative while discharging
    DWORD BatteryAverageCurrent;  // milliamperes
    DWORD BatteryAverageInterval; // milliseconds
    DWORD BatterymAHourConsumed;
    DWORD BatteryTemperature; // tenths of a degree Celsius
    DWORD BackupBatteryVoltage;
    BYTE BatteryChemistry;
} SYSTEM_POWER_STATUS_EX2, *PSYSTEM_POWER_STATUS_EX2, *LPSYSTEM_POWER_STATUS_EX2;

// The battery of the device state: ACLineStatus from the cradle, BatteryLifePercent the level,
// BatteryFlag HIGH above 66 %, LOW below 33 %, CRITICAL below 5 % (none between 33 and 66),
// with CHARGING added while on external power and not full. fUpdate is accepted and ignored:
// the device state is always current.
WINBASEAPI BOOL GetSystemPowerStatusEx(PSYSTEM_POWER_STATUS_EX pstatus, BOOL fUpdate);
// As GetSystemPowerStatusEx, with the battery's electrical details; copies at most dwLen bytes
// of the structure and returns the number copied (0 on failure).
WINBASEAPI DWORD GetSystemPowerStatusEx2(PSYSTEM_POWER_STATUS_EX2 pSystemPowerStatusEx2,
                                         DWORD dwLen, BOOL fUpdate);

// ---- Memory and processor -----------------------------------------------------------------------
typedef struct _MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad; // percent of physical memory in use
    DWORD dwTotalPhys;
    DWORD dwAvailPhys;
    DWORD dwTotalPageFile;
    DWORD dwAvailPageFile;
    DWORD dwTotalVirtual;
    DWORD dwAvailVirtual;
} MEMORYSTATUS, *LPMEMORYSTATUS;

// The memory of the simulated device: 64 MB of program memory, part of it in use, no paging
// file, the 32 MB address space of a Windows CE process. The values are fixed.
WINBASEAPI void GlobalMemoryStatus(LPMEMORYSTATUS lpBuffer);

#define PROCESSOR_ARCHITECTURE_INTEL   0
#define PROCESSOR_ARCHITECTURE_MIPS    1
#define PROCESSOR_ARCHITECTURE_SHX     4
#define PROCESSOR_ARCHITECTURE_ARM     5
#define PROCESSOR_ARCHITECTURE_UNKNOWN 0xFFFF
#define PROCESSOR_STRONGARM            2577

typedef struct _SYSTEM_INFO {
    union {
        DWORD dwOemId;
        struct {
            WORD wProcessorArchitecture;
            WORD wReserved;
        };
    };
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    DWORD dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
} SYSTEM_INFO, *LPSYSTEM_INFO;

// One ARM processor with 4 KB pages and 64 KB allocation granularity, as a Windows Mobile
// device reports it.
WINBASEAPI void GetSystemInfo(LPSYSTEM_INFO lpSystemInfo);

// ---- System components
// ---------------------------------------------------------------------------- API set numbers of
// the system components, as IsAPIReady takes them.
#define SH_WIN32 0
#define SH_GDI   16
#define SH_WMGR  17
#define SH_SHELL 21

// TRUE once the component has registered its API set (the simulated shell marks them as it
// comes up). SH_WIN32, the kernel itself, is always ready.
WINBASEAPI BOOL IsAPIReady(DWORD hAPI);

// ---- Local heap ---------------------------------------------------------------------------
// LMEM_FIXED, LMEM_MOVEABLE, LMEM_ZEROINIT, LPTR and LHND are in winbase.h.
#define LMEM_MODIFY 0x0080

// Allocates uBytes of fixed memory (zeroed with LMEM_ZEROINIT); the handle is the address.
// The device has no LocalLock, so LMEM_MOVEABLE also yields fixed memory. Requests beyond
// the device's memory fail with ERROR_NOT_ENOUGH_MEMORY.
WINBASEAPI HLOCAL LocalAlloc(UINT uFlags, UINT uBytes);
// Frees a block of LocalAlloc, LocalReAlloc or a platform API that documents LocalFree as the
// way to release what it returns. Returns NULL; for anything else returns hMem and sets
// ERROR_INVALID_HANDLE (the block is left alone).
WINBASEAPI HLOCAL LocalFree(HLOCAL hMem);
// Resizes a block, keeping its content. Without LMEM_MOVEABLE the block must stay where it
// is, so growing it past its allocation fails with ERROR_NOT_ENOUGH_MEMORY and leaves it
// intact; with LMEM_MOVEABLE it may move. LMEM_ZEROINIT zeroes the added bytes.
// LMEM_MODIFY changes no attribute of fixed memory and returns hMem.
WINBASEAPI HLOCAL LocalReAlloc(HLOCAL hMem, UINT uBytes, UINT uFlags);
// The size of a block in bytes, as last requested; 0 and ERROR_INVALID_HANDLE for anything
// that is not a live block.
WINBASEAPI UINT LocalSize(HLOCAL hMem);

#ifdef __cplusplus
}
#endif
