// powerstatus.cpp: GetSystemPowerStatusEx and GetSystemPowerStatusEx2, answered from the
// battery level and cradle state in the device state (device.conf).
//
// The electrical details of the _EX2 form follow a plausible lithium-ion handheld battery of
// 1200 mAh lasting eight hours: 3.5 V empty to 4.2 V full, 150 mA drawn on battery, 500 mA
// charging, 25 degrees Celsius; the backup battery is always full.
#include <algorithm>
#include <cstring>

#include "winbase.h"
#include "winsystem.h"

#include "kernel/device.h"

namespace {

constexpr DWORD kFullLifeSeconds = 8 * 3600;
constexpr int kCapacityMah = 1200;

BYTE batteryFlag(int level, bool ac) {
    // Thresholds as Windows documents the flags: high above 66 %, low below 33 %, critical
    // below 5 %; between 33 and 66 % no level flag is set.
    BYTE flag = 0;
    if (level > 66)
        flag = BATTERY_FLAG_HIGH;
    else if (level < 5)
        flag = BATTERY_FLAG_CRITICAL;
    else if (level < 33)
        flag = BATTERY_FLAG_LOW;
    if (ac && level < 100) flag |= BATTERY_FLAG_CHARGING;
    return flag;
}

SYSTEM_POWER_STATUS_EX2 currentStatus() {
    const auto conf = ce::deviceConf();
    const int level = std::clamp(conf->battery, 0, 100);
    const bool ac = conf->acPower;

    SYSTEM_POWER_STATUS_EX2 s;
    std::memset(&s, 0, sizeof s);
    s.ACLineStatus = ac ? AC_LINE_ONLINE : AC_LINE_OFFLINE;
    s.BatteryFlag = batteryFlag(level, ac);
    s.BatteryLifePercent = static_cast<BYTE>(level);
    // On the charger the remaining time is not estimated, as battery drivers report it.
    s.BatteryLifeTime = ac ? BATTERY_LIFE_UNKNOWN : kFullLifeSeconds * level / 100;
    s.BatteryFullLifeTime = kFullLifeSeconds;
    s.BackupBatteryFlag = BATTERY_FLAG_HIGH;
    s.BackupBatteryLifePercent = 100;
    s.BackupBatteryLifeTime = BATTERY_LIFE_UNKNOWN;
    s.BackupBatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;

    const int current = ac ? (level < 100 ? 500 : 0) : -150;
    s.BatteryVoltage = static_cast<DWORD>(3500 + 7 * level);
    s.BatteryCurrent = static_cast<DWORD>(current);
    s.BatteryAverageCurrent = static_cast<DWORD>(current);
    s.BatteryAverageInterval = 10000;
    s.BatterymAHourConsumed = static_cast<DWORD>(kCapacityMah * (100 - level) / 100);
    s.BatteryTemperature = 250;
    s.BackupBatteryVoltage = 3000;
    s.BatteryChemistry = BATTERY_CHEMISTRY_LION;
    return s;
}

} // namespace

WINBASEAPI BOOL GetSystemPowerStatusEx(PSYSTEM_POWER_STATUS_EX pstatus, BOOL fUpdate) {
    if (!pstatus) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // SYSTEM_POWER_STATUS_EX is the leading part of the _EX2 structure.
    const SYSTEM_POWER_STATUS_EX2 s = currentStatus();
    SYSTEM_POWER_STATUS_EX out;
    std::memset(&out, 0, sizeof out);
    out.ACLineStatus = s.ACLineStatus;
    out.BatteryFlag = s.BatteryFlag;
    out.BatteryLifePercent = s.BatteryLifePercent;
    out.BatteryLifeTime = s.BatteryLifeTime;
    out.BatteryFullLifeTime = s.BatteryFullLifeTime;
    out.BackupBatteryFlag = s.BackupBatteryFlag;
    out.BackupBatteryLifePercent = s.BackupBatteryLifePercent;
    out.BackupBatteryLifeTime = s.BackupBatteryLifeTime;
    out.BackupBatteryFullLifeTime = s.BackupBatteryFullLifeTime;
    *pstatus = out;
    return TRUE;
}

WINBASEAPI DWORD GetSystemPowerStatusEx2(PSYSTEM_POWER_STATUS_EX2 pSystemPowerStatusEx2,
                                         DWORD dwLen, BOOL fUpdate) {
    if (!pSystemPowerStatusEx2 || dwLen == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // A caller with an older, shorter structure gets its leading part.
    const SYSTEM_POWER_STATUS_EX2 s = currentStatus();
    const DWORD n = std::min<DWORD>(dwLen, sizeof s);
    std::memcpy(pSystemPowerStatusEx2, &s, n);
    return n;
}
