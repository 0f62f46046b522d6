// reg_image_test.cpp: the system keys and values a new device has, where programs look for them.
#include "kernel/strings.h"
#include "regtest.h"
#include "testdevice.h"

namespace {

using cetest::DeviceTest;
using namespace regtest;

class RegImage : public DeviceTest {};

struct Expected {
    HKEY root;
    const char16_t* key;
    const char16_t* name;
    DWORD type;
};

TEST_F(RegImage, NewDeviceHasTheSystemValues) {
    const Expected expected[] = {
        {HKEY_CURRENT_USER, u"ControlPanel\\Notifications\\{15F11F90-8A5F-454c-89FC-BA9B7AAB0CAD}",
         u"Options", REG_DWORD},
        {HKEY_CURRENT_USER, u"ControlPanel\\Notifications\\{15F11F90-8A5F-454c-89FC-BA9B7AAB0CAD}",
         u"Wave", REG_SZ},
        {HKEY_CURRENT_USER, u"ControlPanel\\Notifications\\Reminders", u"Wave", REG_SZ},
        {HKEY_CURRENT_USER, u"ControlPanel\\Notifications\\Sounds", u"Wave", REG_SZ},
        {HKEY_CURRENT_USER, u"ControlPanel\\Notifications\\ShellOverrides", u"Mode", REG_DWORD},
        {HKEY_CURRENT_USER, u"ControlPanel\\Volume", u"Volume", REG_DWORD},
        {HKEY_CURRENT_USER, u"ControlPanel\\Volume", u"Mute", REG_DWORD},
        {HKEY_CURRENT_USER, u"ControlPanel\\SoundCategories\\Ring", u"Directory", REG_SZ},
        {HKEY_CURRENT_USER, u"Software\\Microsoft\\Shell", u"HasKeyboard", REG_DWORD},
        {HKEY_CURRENT_USER, u"Software\\Microsoft\\MediaPlayer\\Preferences", u"Volume", REG_DWORD},
        {HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Windows Media Player\\Audio", u"Volume",
         REG_DWORD},
        {HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Clock", u"HomeDST", REG_DWORD},
        {HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Calendar\\Reminder", u"WAVEFILE", REG_SZ},
        {HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Tasks\\Reminder", u"WAVEFILE", REG_SZ},
        {HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Color", u"BaseHue", REG_DWORD},
        {HKEY_LOCAL_MACHINE, u"System\\CurrentControlSet\\Control\\Power\\Timeouts",
         u"BattSuspendTimeout", REG_DWORD},
        {HKEY_LOCAL_MACHINE, u"System\\CurrentControlSet\\Control\\Power", u"BattPowerOff",
         REG_DWORD},
        {HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Shell\\LockScreen", u"Active", REG_DWORD},
        {HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Windows CE Services", u"FileSyncPath", REG_SZ},
    };
    for (const auto& e : expected) {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(e.root, e.key, 0, KEY_READ, &key), ERROR_SUCCESS)
            << ce::toUtf8(e.key);
        DWORD type = 0;
        std::vector<BYTE> data;
        EXPECT_TRUE(readValue(key, e.name, &type, &data)) << ce::toUtf8(e.name);
        EXPECT_EQ(type, e.type) << ce::toUtf8(e.name);
        RegCloseKey(key);
    }
    HKEY power = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                            u"System\\CurrentControlSet\\Control\\Power\\Timeouts", 0, KEY_READ,
                            &power),
              ERROR_SUCCESS);
    EXPECT_EQ(readDword(power, u"BattSuspendTimeout"), 180u);
    RegCloseKey(power);
}

// The shell keeps its state values under both roots: watched under HKLM, read under HKCU.
TEST_F(RegImage, StateValuesExistUnderBothRoots) {
    const std::pair<const char16_t*, const char16_t*> values[] = {
        {u"System\\State\\Shell", u"Notify"},
        {u"System\\State\\Shell\\Reminders", u"Active"},
        {u"System\\State\\Reminder\\Count", u"APPT"},
        {u"System\\State\\Reminder\\Count", u"ALARM"},
        {u"System\\State\\Reminder\\Count", u"TASK"},
        {u"System\\State\\Phone", u"Active Call Count"},
        {u"System\\State\\Hardware", u"Cradled"},
    };
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        for (const auto& [path, name] : values) {
            HKEY key = nullptr;
            ASSERT_EQ(RegOpenKeyExW(root, path, 0, KEY_READ, &key), ERROR_SUCCESS)
                << ce::toUtf8(path);
            EXPECT_EQ(readDword(key, name), 0u) << ce::toUtf8(path) << " " << ce::toUtf8(name);
            RegCloseKey(key);
        }
    }
}

TEST_F(RegImage, ColourSchemeAndClockAlarms) {
    HKEY color = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Color", 0, KEY_READ, &color),
              ERROR_SUCCESS);
    DWORD type = 0;
    std::vector<BYTE> scheme;
    ASSERT_TRUE(readValue(color, u"SHColor", &type, &scheme));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(scheme.size(), 200u);
    // Entry 39, the selection colour, is a blue: more blue than red.
    EXPECT_GT(scheme[158], scheme[156]);
    RegCloseKey(color);

    for (const char16_t* alarm : {u"0", u"1", u"2", u"3"}) {
        std::u16string path = std::u16string(u"Software\\Microsoft\\Clock\\") + alarm;
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key),
                  ERROR_SUCCESS);
        std::vector<BYTE> sound, flags;
        ASSERT_TRUE(readValue(key, u"AlarmSnd", &type, &sound));
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(readDword(key, u"Len_AlarmSnd"), sound.size()) << "the length of AlarmSnd";
        ASSERT_TRUE(readValue(key, u"AlarmNotFlags", &type, &flags));
        EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
        EXPECT_EQ(flags.size(), 4u);
        RegCloseKey(key);
    }
}

TEST_F(RegImage, PhoneKeyAndTodayItems) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"ControlPanel\\Phone", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Today\\Items", 0, KEY_READ, &key),
        ERROR_SUCCESS);
    std::vector<std::string> items = subkeyNames(key);
    RegCloseKey(key);
    ASSERT_FALSE(items.empty());
    for (const auto& item : items)
        EXPECT_TRUE(item.size() > 2 && item.front() == '"' && item.back() == '"') << item;
    // The product's own item is not there until it is installed.
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Today\\Items\\\"Zolvane\"",
                            0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
}

} // namespace
