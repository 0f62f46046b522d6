// sysinfo.h: the device's identity as the platform's other parts need it (inside the platform).
//
// The product reads the device name, owner and AKU text through the registry and the shell
// on a real device; the parts of the platform that serve those (registry defaults, the
// settings pages) take them from here, so that every report comes from the device profile.
#pragma once

#include <string>

namespace ce {

struct DeviceFacts {
    std::u16string deviceName;   // the device's network name ("ZolvaneDevice")
    std::u16string ownerName;    // the owner as entered in the device's settings
    std::u16string oemInfo;      // SPI_GETOEMINFO
    std::u16string platformType; // SPI_GETPLATFORMTYPE ("PocketPC")
    std::u16string akuText;      // the adaptation kit update, "6.1.4"
    int osMajor = 0;
    int osMinor = 0;
    int osBuild = 0;
    int screenWidth = 0; // pixels, as the device is held
    int screenHeight = 0;
};

// The facts of the device profile in use, read afresh at each call.
DeviceFacts deviceFacts();

} // namespace ce
