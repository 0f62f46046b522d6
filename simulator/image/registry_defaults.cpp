// registry_defaults.cpp: the system registry of a new device, as one table of data.
//
// What a Windows Mobile 6 Professional phone holds where programs look: notification and sound
// settings under ControlPanel, the clock's four alarms, the reminder sounds of calendar and
// tasks, the colour scheme, media player preferences, power time-outs, the shell's state values
// (kept under both roots, as the shell keeps them), the Today screen's items and the folders of
// the browser cache. Add a line to add a default; nothing else needs to change.
#include "image/registry_defaults.h"

#include <array>

namespace ceimage {

namespace {

constexpr RegistryDefault key(RegRoot root, const char* path) {
    return {root, path, "", RegKind::Key, 0, nullptr, {}};
}
constexpr RegistryDefault dword(RegRoot root, const char* path, const char* name, uint32_t v) {
    return {root, path, name, RegKind::Dword, v, nullptr, {}};
}
constexpr RegistryDefault sz(RegRoot root, const char* path, const char* name, const char* text) {
    return {root, path, name, RegKind::String, 0, text, {}};
}
constexpr RegistryDefault binary(RegRoot root, const char* path, const char* name,
                                 std::span<const uint8_t> bytes) {
    return {root, path, name, RegKind::Binary, 0, nullptr, bytes};
}

constexpr RegRoot HKLM = RegRoot::LocalMachine;
constexpr RegRoot HKCU = RegRoot::CurrentUser;

// The byte size of an ASCII path stored as REG_SZ (UTF-16 with terminator), for the clock's
// Len_AlarmSnd values that accompany AlarmSnd.
constexpr uint32_t sizeAsRegSz(const char* text) {
    uint32_t n = 0;
    while (text[n])
        ++n;
    return (n + 1) * 2;
}

constexpr uint32_t rgb(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint32_t>(r) | (static_cast<uint32_t>(g) << 8) |
           (static_cast<uint32_t>(b) << 16);
}

// SHColor: the shell's colour scheme, 50 COLORREFs (R, G, B, 0 in memory). The Windows
// Mobile 6 blue scheme: entry 9 (bytes 36..38) is the Today text colour, entry 39 (bytes
// 156..158) the selection colour; the others are the blues and greys of title bars, soft keys,
// menus and list separators.
constexpr std::array<uint32_t, 50> kShColors = {
    rgb(0x00, 0x4A, 0xAD), rgb(0x52, 0x8E, 0xE7), rgb(0xFF, 0xFF, 0xFF), rgb(0x00, 0x31, 0x84),
    rgb(0x31, 0x6D, 0xCE), rgb(0xFF, 0xFF, 0xFF), rgb(0xD6, 0xE7, 0xFF), rgb(0x84, 0xAD, 0xEF),
    rgb(0xFF, 0xFF, 0xFF), rgb(0x00, 0x00, 0x00), // 9: Today text
    rgb(0xE7, 0xEF, 0xF7), rgb(0xC6, 0xD7, 0xEF), rgb(0x10, 0x4D, 0xB5), rgb(0x6B, 0x9A, 0xE7),
    rgb(0xFF, 0xFF, 0xFF), rgb(0x00, 0x00, 0x00), rgb(0x8C, 0xB2, 0xEF), rgb(0x00, 0x3C, 0x9C),
    rgb(0xFF, 0xFF, 0xFF), rgb(0x29, 0x5D, 0xBD), rgb(0xF7, 0xF7, 0xF7), rgb(0xB5, 0xB5, 0xB5),
    rgb(0x73, 0x73, 0x73), rgb(0x00, 0x00, 0x00), rgb(0x18, 0x55, 0xC6), rgb(0x63, 0x96, 0xE7),
    rgb(0xFF, 0xFF, 0xFF), rgb(0x00, 0x35, 0x8C), rgb(0xA5, 0xC3, 0xF7), rgb(0xFF, 0xFF, 0xFF),
    rgb(0x00, 0x00, 0x00), rgb(0xDE, 0xEB, 0xFF), rgb(0x39, 0x71, 0xD6), rgb(0x08, 0x41, 0xA5),
    rgb(0xFF, 0xFF, 0xFF), rgb(0x94, 0xB6, 0xEF), rgb(0x00, 0x00, 0x00), rgb(0xCE, 0xDF, 0xF7),
    rgb(0x4A, 0x7D, 0xD6), rgb(0x31, 0x69, 0xC6), // 39: selection
    rgb(0xFF, 0xFF, 0xFF), rgb(0x21, 0x59, 0xBD), rgb(0x7B, 0xA6, 0xEF), rgb(0xEF, 0xF3, 0xFF),
    rgb(0x00, 0x00, 0x00), rgb(0x52, 0x82, 0xDE), rgb(0xFF, 0xFF, 0xFF), rgb(0xB5, 0xCF, 0xF7),
    rgb(0x10, 0x45, 0xAD), rgb(0x00, 0x00, 0x00),
};

constexpr std::array<uint8_t, 200> colorBytes() {
    std::array<uint8_t, 200> bytes{};
    for (size_t i = 0; i < kShColors.size(); ++i) {
        bytes[i * 4 + 0] = static_cast<uint8_t>(kShColors[i]);
        bytes[i * 4 + 1] = static_cast<uint8_t>(kShColors[i] >> 8);
        bytes[i * 4 + 2] = static_cast<uint8_t>(kShColors[i] >> 16);
        bytes[i * 4 + 3] = 0;
    }
    return bytes;
}
constexpr std::array<uint8_t, 200> kShColor = colorBytes();

// A clock alarm's notification flags: play the sound, flash the light, show the reminder.
constexpr std::array<uint8_t, 4> kAlarmNotFlags = {0x0D, 0x00, 0x00, 0x00};

constexpr const char* kAlarmSound = "\\Windows\\Alarm1.wav";
constexpr const char* kReminderClass =
    "ControlPanel\\Notifications\\{15F11F90-8A5F-454c-89FC-BA9B7AAB0CAD}";

const RegistryDefault kDefaults[] = {
    // ---- Notifications and sounds (the user's settings) -------------------------------------
    // Options: 0x1 play the sound, 0x2 vibrate, 0x4 flash the light, 0x8 show the message.
    dword(HKCU, kReminderClass, "Options", 0x0000000D),
    sz(HKCU, kReminderClass, "Wave", "\\Windows\\Alarm1.wav"),
    dword(HKCU, "ControlPanel\\Notifications\\Reminders", "Options", 0x0000000D),
    sz(HKCU, "ControlPanel\\Notifications\\Reminders", "Wave", "\\Windows\\Alarm1.wav"),
    dword(HKCU, "ControlPanel\\Notifications\\Sounds", "Options", 0x00000001),
    sz(HKCU, "ControlPanel\\Notifications\\Sounds", "Wave", "\\Windows\\Default.wav"),
    // Mode: 0 normal, 1 vibrate, 2 silent.
    dword(HKCU, "ControlPanel\\Notifications\\ShellOverrides", "Mode", 0),
    // The wave-out volume word (left and right halves) and which sounds are on: 0x1 events,
    // 0x2 notifications.
    dword(HKCU, "ControlPanel\\Volume", "Volume", 0xFFFFFFFF),
    dword(HKCU, "ControlPanel\\Volume", "Mute", 0x00000003),
    sz(HKCU, "ControlPanel\\SoundCategories\\Ring", "Directory", "\\Windows\\Rings"),
    key(HKCU, "ControlPanel\\Sounds"),
    key(HKCU, "ControlPanel\\Phone"), // the device is a phone

    // ---- Shell, media player, folders ------------------------------------------------------
    dword(HKCU, "Software\\Microsoft\\Shell", "HasKeyboard", 0),
    dword(HKCU, "Software\\Microsoft\\MediaPlayer\\Preferences", "PlayInBackground", 0),
    dword(HKCU, "Software\\Microsoft\\MediaPlayer\\Preferences", "Repeat", 0),
    dword(HKCU, "Software\\Microsoft\\MediaPlayer\\Preferences", "Volume", 32768),
    sz(HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Cache",
       "\\Windows\\Profiles\\guest\\Temporary Internet Files"),
    sz(HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "History",
       "\\Windows\\Profiles\\guest\\History"),
    sz(HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Cookies",
       "\\Windows\\Profiles\\guest\\Cookies"),

    // ---- State values the shell keeps (read here, watched under HKLM) ------------------------
    dword(HKCU, "System\\State\\Shell", "Notify", 0),
    dword(HKCU, "System\\State\\Shell\\Reminders", "Active", 0),
    dword(HKCU, "System\\State\\Reminder\\Count", "APPT", 0),
    dword(HKCU, "System\\State\\Reminder\\Count", "ALARM", 0),
    dword(HKCU, "System\\State\\Reminder\\Count", "TASK", 0),
    dword(HKCU, "System\\State\\Phone", "Active Call Count", 0),
    dword(HKCU, "System\\State\\Hardware", "Cradled", 0),
    dword(HKLM, "System\\State\\Shell", "Notify", 0),
    dword(HKLM, "System\\State\\Shell\\Reminders", "Active", 0),
    dword(HKLM, "System\\State\\Reminder\\Count", "APPT", 0),
    dword(HKLM, "System\\State\\Reminder\\Count", "ALARM", 0),
    dword(HKLM, "System\\State\\Reminder\\Count", "TASK", 0),
    dword(HKLM, "System\\State\\Phone", "Active Call Count", 0),
    dword(HKLM, "System\\State\\Hardware", "Cradled", 0),

    // ---- Clock ------------------------------------------------------------------------------
    dword(HKLM, "Software\\Microsoft\\Clock", "HomeDST", 0),
    sz(HKLM, "Software\\Microsoft\\Clock\\0", "AlarmSnd", kAlarmSound),
    dword(HKLM, "Software\\Microsoft\\Clock\\0", "Len_AlarmSnd", sizeAsRegSz(kAlarmSound)),
    binary(HKLM, "Software\\Microsoft\\Clock\\0", "AlarmNotFlags", kAlarmNotFlags),
    sz(HKLM, "Software\\Microsoft\\Clock\\1", "AlarmSnd", kAlarmSound),
    dword(HKLM, "Software\\Microsoft\\Clock\\1", "Len_AlarmSnd", sizeAsRegSz(kAlarmSound)),
    binary(HKLM, "Software\\Microsoft\\Clock\\1", "AlarmNotFlags", kAlarmNotFlags),
    sz(HKLM, "Software\\Microsoft\\Clock\\2", "AlarmSnd", kAlarmSound),
    dword(HKLM, "Software\\Microsoft\\Clock\\2", "Len_AlarmSnd", sizeAsRegSz(kAlarmSound)),
    binary(HKLM, "Software\\Microsoft\\Clock\\2", "AlarmNotFlags", kAlarmNotFlags),
    sz(HKLM, "Software\\Microsoft\\Clock\\3", "AlarmSnd", kAlarmSound),
    dword(HKLM, "Software\\Microsoft\\Clock\\3", "Len_AlarmSnd", sizeAsRegSz(kAlarmSound)),
    binary(HKLM, "Software\\Microsoft\\Clock\\3", "AlarmNotFlags", kAlarmNotFlags),

    // ---- Reminder sounds of calendar and tasks (file names below \Windows) -------------------
    sz(HKLM, "Software\\Microsoft\\Calendar\\Reminder", "WAVEFILE", "Alarm2.wav"),
    sz(HKLM, "Software\\Microsoft\\Tasks\\Reminder", "WAVEFILE", "Alarm3.wav"),

    // ---- Colour scheme ------------------------------------------------------------------------
    binary(HKLM, "Software\\Microsoft\\Color", "SHColor", kShColor),
    // BaseHue: the hue (low 9 bits) the scheme is drawn from; bit 23 says it is in use.
    dword(HKLM, "Software\\Microsoft\\Color", "BaseHue", 0x008000DC),
    // The scheme's colours by index that Today items read: 4 the text on the Today screen (dark
    // on this light background), 34 the selection band (the scheme's blue).
    dword(HKLM, "Software\\Microsoft\\Color", "4", rgb(0x00, 0x00, 0x00)),
    dword(HKLM, "Software\\Microsoft\\Color", "34", rgb(0x31, 0x69, 0xC6)),

    // ---- Shell, media player, power, sync ----------------------------------------------------
    dword(HKLM, "Software\\Microsoft\\Shell\\LockScreen", "Active", 0),
    dword(HKLM, "Software\\Microsoft\\Windows Media Player\\Audio", "Background Quality", 1),
    dword(HKLM, "Software\\Microsoft\\Windows Media Player\\Audio", "Repeat", 0),
    dword(HKLM, "Software\\Microsoft\\Windows Media Player\\Audio", "Volume", 0xFFFFFFFF),
    dword(HKLM, "System\\CurrentControlSet\\Control\\Power\\Timeouts", "BattSuspendTimeout", 180),
    dword(HKLM, "System\\CurrentControlSet\\Control\\Power\\Timeouts", "ACSuspendTimeout", 0),
    dword(HKLM, "System\\CurrentControlSet\\Control\\Power", "BattPowerOff", 180),
    dword(HKLM, "System\\CurrentControlSet\\Control\\Power", "ExtPowerOff", 0),
    sz(HKLM, "Software\\Microsoft\\Windows CE Services", "FileSyncPath", "\\My Documents"),
    sz(HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache\\Content",
       "CachePath", "\\Windows\\Profiles\\guest\\Temporary Internet Files\\Content.IE5"),
    sz(HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache\\History",
       "CachePath", "\\Windows\\Profiles\\guest\\History\\History.IE5"),
    sz(HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache\\Cookies",
       "CachePath", "\\Windows\\Profiles\\guest\\Cookies"),

    // ---- Today screen items (each item's key is its quoted name) ------------------------------
    // Type: 0 the date, 4 an item drawn by its DLL.
    key(HKLM, "Software\\Microsoft\\Today\\Items"),
    dword(HKLM, "Software\\Microsoft\\Today\\Items\\\"Date\"", "Type", 0),
    dword(HKLM, "Software\\Microsoft\\Today\\Items\\\"Date\"", "Enabled", 1),
    dword(HKLM, "Software\\Microsoft\\Today\\Items\\\"Date\"", "Order", 0),
    dword(HKLM, "Software\\Microsoft\\Today\\Items\\\"Calendar\"", "Type", 4),
    dword(HKLM, "Software\\Microsoft\\Today\\Items\\\"Calendar\"", "Enabled", 1),
    dword(HKLM, "Software\\Microsoft\\Today\\Items\\\"Calendar\"", "Order", 1),
    sz(HKLM, "Software\\Microsoft\\Today\\Items\\\"Calendar\"", "DLL", "\\Windows\\calstore.dll"),
};

} // namespace

std::span<const RegistryDefault> registryDefaults() {
    return kDefaults;
}

} // namespace ceimage
