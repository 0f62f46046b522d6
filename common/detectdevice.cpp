// detectdevice.cpp: detectDevice of the common library (see detectdevice.h). Run by the
// plug-in's Startup and by the settings program; the flags live for the process.
#include "detectdevice.h"

#include "regnames.h"
#include "regutil.h"
#include "settings.h"

static struct { DeviceFlags flags; } detected;

const DeviceFlags& getDeviceFlags(void) {
    return detected.flags;
}

void clearDeviceFlags(void) {
    detected.flags = DeviceFlags();
}

void detectDevice(void) {
    DeviceFlags& flags = detected.flags;
    PluginSettings& settings = getSettings();
    flags.phone = 0;
    flags.keyboard = 0;
    settings.homeDST = 0;

    // The OEM text, lower-cased; empty when the platform does not give one.
    WCHAR oem[ZV_OEMINFO_CCH] = {0};
    if (!SystemParametersInfoW(SPI_GETOEMINFO, sizeof(oem), oem, 0)) oem[0] = 0;
    oem[ZV_OEMINFO_CCH - 1] = 0;
    _wcslwr(oem);

    if (wcsstr(oem, TEXT("ipaq")) && wcsstr(oem, TEXT("h5"))) flags.phone = 1;
    if (regKeyExists(HKEY_CURRENT_USER, ZV_KEY_PHONE)) flags.phone = 1;

    LONG keyboard = 0;
    readRegDword(HKEY_CURRENT_USER, ZV_KEY_SHELL, ZV_VAL_HASKEYBOARD, &keyboard);
    flags.keyboard = keyboard ? 1 : 0;

    if (wcsstr(oem, TEXT("treo"))) flags.treo = 1;
    if (wcsstr(oem, TEXT("flame"))) flags.flame = 1;
    if (wcsstr(oem, TEXT("i760"))) flags.i760 = 1;

    if (flags.treo) {
        WCHAR version[ZV_SOFTWAREVERSION_MAX_CB / sizeof(WCHAR)] = {0};
        readRegString(HKEY_LOCAL_MACHINE, ZV_KEY_PALM_VERSION, ZV_VAL_SOFTWAREVERSION, version,
                      sizeof(version));
        _wcslwr(version);
        if (wcsstr(version, TEXT("treo700"))) flags.treo700 = 1;
    }

    LONG homeDST = 0;
    readRegDword(HKEY_LOCAL_MACHINE, ZV_KEY_CLOCK, ZV_VAL_HOMEDST, &homeDST);
    settings.homeDST = homeDST;
}
