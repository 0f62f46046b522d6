// detectdevice_test.cpp: detectDevice's flags from the OEM text (SPI_GETOEMINFO, compared in
// lower case) and the registry, which flags a later call clears and which it keeps, and the
// home daylight-saving flag put into the settings record.
#include <string>

#include <gtest/gtest.h>

#include "commontest.h"
#include "detectdevice.h"
#include "kernel/device.h"
#include "regnames.h"
#include "settings.h"

using namespace commontest;

namespace {

class DetectDeviceTest : public CommonTest {
protected:
    void setOem(const std::string& text) {
        std::string error;
        ASSERT_TRUE(ce::updateDeviceConf([&](ce::DeviceConf& conf) { conf.profile.oemInfo = text; },
                                         &error))
            << error;
    }
    void SetUp() override {
        CommonTest::SetUp();
        RegDeleteKeyW(HKEY_CURRENT_USER, ZV_KEY_PHONE);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, ZV_KEY_PALM_VERSION);
        regSetDword(HKEY_CURRENT_USER, ZV_KEY_SHELL, ZV_VAL_HASKEYBOARD, 0);
        regSetDword(HKEY_LOCAL_MACHINE, ZV_KEY_CLOCK, ZV_VAL_HOMEDST, 0);
        setOem("Zolvane Reference Device");
    }
};

} // namespace

// The phone key, HasKeyboard and HomeDST are read anew by every call, so they also clear.
TEST_F(DetectDeviceTest, RegistryFlagsFollowTheRegistry) {
    regCreateKey(HKEY_CURRENT_USER, ZV_KEY_PHONE);
    regSetDword(HKEY_CURRENT_USER, ZV_KEY_SHELL, ZV_VAL_HASKEYBOARD, 1);
    regSetDword(HKEY_LOCAL_MACHINE, ZV_KEY_CLOCK, ZV_VAL_HOMEDST, 1);
    detectDevice();
    EXPECT_EQ(1, getDeviceFlags().phone);
    EXPECT_EQ(1, getDeviceFlags().keyboard);
    EXPECT_EQ(1, getSettings().homeDST);
    EXPECT_EQ(0, getDeviceFlags().treo);

    RegDeleteKeyW(HKEY_CURRENT_USER, ZV_KEY_PHONE);
    regSetDword(HKEY_CURRENT_USER, ZV_KEY_SHELL, ZV_VAL_HASKEYBOARD, 0);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, ZV_KEY_CLOCK);
    detectDevice();
    EXPECT_EQ(0, getDeviceFlags().phone);
    EXPECT_EQ(0, getDeviceFlags().keyboard);
    EXPECT_EQ(0, getSettings().homeDST);
}

// An iPAQ h5xxx is a phone device by its OEM text, in any case; "ipaq" alone is not.
TEST_F(DetectDeviceTest, IpaqH5IsAPhoneDevice) {
    setOem("HP iPAQ rx1950");
    detectDevice();
    EXPECT_EQ(0, getDeviceFlags().phone);
    setOem("HP IPAQ H5550");
    detectDevice();
    EXPECT_EQ(1, getDeviceFlags().phone);
}

// treo700 needs both the "treo" OEM text and the Palm version; treo, treo700, flame and i760
// stay set once found, whatever a later call sees.
TEST_F(DetectDeviceTest, DeviceModelFlagsAreSticky) {
    regSetString(HKEY_LOCAL_MACHINE, ZV_KEY_PALM_VERSION, ZV_VAL_SOFTWAREVERSION,
                 u"Treo700w-1.10-ENA");
    setOem("Samsung i760");
    detectDevice();
    EXPECT_EQ(1, getDeviceFlags().i760);
    EXPECT_EQ(0, getDeviceFlags().treo);
    EXPECT_EQ(0, getDeviceFlags().treo700); // the Palm version alone does not count

    setOem("Palm Treo 700w");
    detectDevice();
    EXPECT_EQ(1, getDeviceFlags().treo);
    EXPECT_EQ(1, getDeviceFlags().treo700);
    EXPECT_EQ(1, getDeviceFlags().i760);

    setOem("HTC Flame");
    detectDevice();
    EXPECT_EQ(1, getDeviceFlags().flame);
    EXPECT_EQ(1, getDeviceFlags().treo);
    EXPECT_EQ(1, getDeviceFlags().treo700);
}
