// detectdevice.h: the device flags of the common library, which other parts consult to adapt
// to a few known devices (phone keys, LED numbers, speaker) and to the clock's home
// daylight-saving flag, which detectDevice puts into the settings record (homeDST).
#pragma once

#include <windows.h>

struct DeviceFlags {
    LONG phone;    // a phone device: "ControlPanel\Phone" exists, or an iPAQ h5xxx
    LONG keyboard; // HasKeyboard of the shell
    LONG treo;     // OEM text contains "treo"
    LONG treo700;  // a treo whose Palm software version names the treo700
    LONG flame;    // OEM text contains "flame"
    LONG i760;     // OEM text contains "i760"
};

// Clears the phone, keyboard and home-DST flags and applies the rules in this order: the OEM
// text ("ipaq" with "h5"), "ControlPanel\Phone", HasKeyboard, "treo", "flame", "i760", the
// Palm version, HomeDST. The OEM text (SystemParametersInfo SPI_GETOEMINFO) is compared in
// lower case. treo, treo700, flame and i760 are only ever set, never cleared, by later calls.
void detectDevice(void);

// The flags of this process, as the last detectDevice left them (all 0 before).
const DeviceFlags& getDeviceFlags(void);

// Forgets every flag, as at the start of a program (tests start each case so). detectDevice
// itself never does this: a model flag, once found, stays for the life of the process.
void clearDeviceFlags(void);
