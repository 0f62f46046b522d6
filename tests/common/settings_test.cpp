// settings_test.cpp: loadSettings and saveSettings against the device registry: an empty or
// missing product key, the size rule of values, the activeLinks/linkType buffer, the companion
// rule, the write order, the redirection of the system sounds (AlarmNotFlags only with
// clockAsReminder), and noRecurList (deleted when empty, never lost when long).
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "commontest.h"
#include "companion.h"
#include "log.h"
#include "regnames.h"
#include "settings.h"

using namespace commontest;

namespace {

const char16_t* const kKey = ZV_PRODUCT_KEY;

void deleteKey(HKEY root, const char16_t* key) {
    RegDeleteKeyW(root, key);
}

LONG& numberField(PluginSettings& record, const SettingDef& row) {
    return *reinterpret_cast<LONG*>(reinterpret_cast<BYTE*>(&record) + row.offset);
}

class SettingsTest : public CommonTest {
protected:
    PluginSettings& s = getSettings();
    // Fills the record with junk, so that a load must really clear it.
    void poisonRecord() { memset(&s, 0x55, sizeof(s)); }
};

int countIn(const LPCWSTR* order, size_t size, LPCWSTR name) {
    int n = 0;
    for (size_t i = 0; i < size; ++i)
        if (std::u16string(order[i]) == name) ++n;
    return n;
}

} // namespace

// ---- The tables -----------------------------------------------------------------------------

// Each stored setting is read once and written once; loggingOption is read but never written;
// nothing else sneaks into the orders. 72 fields, of which 6 are not stored.
TEST_F(SettingsTest, TablesCoverEveryStoredSettingOnce) {
    EXPECT_EQ(66u, settingsTableSize);
    for (size_t i = 0; i < settingsTableSize; ++i) {
        const std::u16string name = settingsTable[i].name;
        EXPECT_EQ(1, countIn(settingsLoadOrder, settingsLoadOrderSize, name.c_str()))
            << narrow(name);
        EXPECT_EQ(1, countIn(settingsSaveOrder, settingsSaveOrderSize, name.c_str()))
            << narrow(name);
    }
    EXPECT_EQ(1, countIn(settingsLoadOrder, settingsLoadOrderSize, ZV_VAL_LOGGINGOPTION));
    EXPECT_EQ(0, countIn(settingsSaveOrder, settingsSaveOrderSize, ZV_VAL_LOGGINGOPTION));
    EXPECT_EQ(0, countIn(settingsSaveOrder, settingsSaveOrderSize, ZV_VAL_INSTALLDIR));
    EXPECT_EQ(settingsTableSize + 2, settingsLoadOrderSize); // + loggingOption, noRecurList
    EXPECT_EQ(settingsTableSize + 1, settingsSaveOrderSize); // + noRecurList
}

// ---- loadSettings ---------------------------------------------------------------------------

// An empty product key: every number 0, no kinds shown, both link texts "000000".
TEST_F(SettingsTest, EmptyKeyLoadsZerosAndDefaultLinks) {
    deleteKey(HKEY_CURRENT_USER, kKey);
    regCreateKey(HKEY_CURRENT_USER, kKey);
    poisonRecord();
    loadSettings();
    EXPECT_EQ(0, s.maxAlarms);
    EXPECT_EQ(0, s.flagShowAlarms);
    EXPECT_EQ(0, s.quietMode);
    EXPECT_EQ(0, s.hostTransparent);
    EXPECT_EQ(u"", std::u16string(s.skinName));
    EXPECT_STREQ("000000", s.activeLinks);
    EXPECT_STREQ("000000", s.linkType);
    EXPECT_EQ(u"", getNoRecurList());
    EXPECT_EQ(0u, getLogOption());
}

// No product key at all: the record stays 0 (links too), but the install folder is still
// found and the media player still prepared, in the keys that exist only.
TEST_F(SettingsTest, MissingKeyStillFindsFolderAndPreparesPlayer) {
    deleteKey(HKEY_CURRENT_USER, kKey);
    regSetDword(HKEY_CURRENT_USER, ZV_KEY_MEDIAPLAYER_PREFS, ZV_VAL_VOLUME, 5);
    deleteKey(HKEY_LOCAL_MACHINE, ZV_KEY_MEDIAPLAYER_AUDIO);
    poisonRecord();
    loadSettings();
    EXPECT_EQ(0, s.maxAlarms);
    EXPECT_STREQ("", s.activeLinks);
    EXPECT_EQ(u"\\Program Files\\Zolvane", std::u16string(s.installFolder));
    EXPECT_EQ(1u, regGetDword(HKEY_CURRENT_USER, ZV_KEY_MEDIAPLAYER_PREFS, ZV_VAL_PLAYINBACKGROUND,
                              0xdeadbeef));
    EXPECT_EQ(0u,
              regGetDword(HKEY_CURRENT_USER, ZV_KEY_MEDIAPLAYER_PREFS, ZV_VAL_REPEAT, 0xdeadbeef));
    EXPECT_EQ(65535u,
              regGetDword(HKEY_CURRENT_USER, ZV_KEY_MEDIAPLAYER_PREFS, ZV_VAL_VOLUME, 0xdeadbeef));
    HKEY hk = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, ZV_KEY_MEDIAPLAYER_AUDIO, 0, KEY_READ, &hk));

    regCreateKey(HKEY_LOCAL_MACHINE, ZV_KEY_MEDIAPLAYER_AUDIO);
    loadSettings();
    EXPECT_EQ(2u, regGetDword(HKEY_LOCAL_MACHINE, ZV_KEY_MEDIAPLAYER_AUDIO,
                              ZV_VAL_BACKGROUND_QUALITY, 0xdeadbeef));
    EXPECT_EQ(0xFFFFFFFFu,
              regGetDword(HKEY_LOCAL_MACHINE, ZV_KEY_MEDIAPLAYER_AUDIO, ZV_VAL_VOLUME, 0xdeadbeef));
}

// activeLinks and linkType share one buffer: an absent linkType repeats activeLinks.
TEST_F(SettingsTest, LinkTypeFollowsActiveLinksWhenAbsent) {
    regSetString(HKEY_CURRENT_USER, kKey, ZV_VAL_ACTIVELINKS, u"110100");
    loadSettings();
    EXPECT_STREQ("110100", s.activeLinks);
    EXPECT_STREQ("110100", s.linkType);

    regSetString(HKEY_CURRENT_USER, kKey, ZV_VAL_LINKTYPE, u"012345");
    loadSettings();
    EXPECT_STREQ("110100", s.activeLinks);
    EXPECT_STREQ("012345", s.linkType);

    // Longer than 14 bytes: not read, the buffer keeps what it had.
    regSetString(HKEY_CURRENT_USER, kKey, ZV_VAL_LINKTYPE, u"0123456");
    loadSettings();
    EXPECT_STREQ("110100", s.linkType);
}

// With the companion sounding clock alarms (tral_TF3D non-zero) the clock bit is cleared.
TEST_F(SettingsTest, CompanionClearsTheClockBit) {
    regSetDword(HKEY_CURRENT_USER, kKey, u"flagShowAlarms", 0x3FFFF);
    deleteKey(HKEY_CURRENT_USER, TR_KEY);
    loadSettings();
    EXPECT_EQ(0x3FFFF, s.flagShowAlarms);
    EXPECT_EQ(0, getTral_TF3D());

    regSetDword(HKEY_CURRENT_USER, TR_KEY, TR_VAL_TF3D, 1);
    loadSettings();
    EXPECT_EQ(0x3FFFB, s.flagShowAlarms);
    EXPECT_EQ(1, getTral_TF3D());

    // The companion uninstalled: its value is gone from the next load on.
    deleteKey(HKEY_CURRENT_USER, TR_KEY);
    loadSettings();
    EXPECT_EQ(0x3FFFF, s.flagShowAlarms);
    EXPECT_EQ(0, getTral_TF3D());
}

// A value larger than its field is not read; the type is not tested.
TEST_F(SettingsTest, ValuesLargerThanTheirFieldAreNotRead) {
    const BYTE eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    regSetBinary(HKEY_CURRENT_USER, kKey, u"maxAlarms", eight, sizeof(eight));
    regSetString(HKEY_CURRENT_USER, kKey, u"lang", u"7"); // 4 bytes: read as a number
    regSetString(HKEY_CURRENT_USER, kKey, u"skinName", std::u16string(50, u's')); // 102 bytes
    loadSettings();
    EXPECT_EQ(0, s.maxAlarms);
    EXPECT_EQ(0x37, s.lang);
    EXPECT_EQ(u"", std::u16string(s.skinName));

    const std::u16string fits(49, u'k'); // 100 bytes with the terminator
    regSetString(HKEY_CURRENT_USER, kKey, u"skinName", fits);
    loadSettings();
    EXPECT_EQ(fits, std::u16string(s.skinName));
}

// A text stored without its terminator that fills the field exactly still ends inside it.
TEST_F(SettingsTest, UnterminatedTextStaysInsideItsField) {
    const std::u16string full(50, u'u'); // 100 bytes, no terminator
    regSetBinary(HKEY_CURRENT_USER, kKey, u"skinName", full.data(), 100);
    memset(s.skinFontName, 0x41, sizeof(s.skinFontName)); // the field after skinName
    loadSettings();
    EXPECT_EQ(std::u16string(49, u'u'), std::u16string(s.skinName));
}

// The system reminder options: the class key, or the older "Reminders" key when it is missing.
TEST_F(SettingsTest, ReminderOptionsFromEitherKey) {
    regCreateKey(HKEY_CURRENT_USER, kKey);
    regSetDword(HKEY_CURRENT_USER, ZV_KEY_REMINDER_CLASS, ZV_VAL_OPTIONS, 0x6);
    loadSettings();
    EXPECT_EQ(1, s.reminderLED);
    EXPECT_EQ(1, s.reminderVibrate);

    deleteKey(HKEY_CURRENT_USER, ZV_KEY_REMINDER_CLASS);
    regSetDword(HKEY_CURRENT_USER, ZV_KEY_REMINDER_FALLBACK, ZV_VAL_OPTIONS, 0x4);
    loadSettings();
    EXPECT_EQ(1, s.reminderLED);
    EXPECT_EQ(0, s.reminderVibrate);
}

// loggingOption and the install folder reach the log: after a load the plug-in logs.
TEST_F(SettingsTest, LoadHandsOptionAndFolderToTheLog) {
    regSetDword(HKEY_CURRENT_USER, kKey, ZV_VAL_LOGGINGOPTION, 3);
    makeFolder("\\Program Files\\Zolvane");
    EXPECT_EQ(0, writeLog("before"));
    loadSettings();
    EXPECT_EQ(3u, getLogOption());
    EXPECT_TRUE(logBit(LOG_DETAIL));
    EXPECT_FALSE(logBit(LOG_SIGNAL));
    EXPECT_EQ(1, writeLog("after"));
}

// What detectDevice and the skin loader put into the record is not in the registry, so a
// reload (the plug-in reloads on every exit of the settings program) keeps it.
TEST_F(SettingsTest, ReloadKeepsValuesThatAreNotStored) {
    regCreateKey(HKEY_CURRENT_USER, kKey);
    s.homeDST = 1;
    s.skinProperty = 7;
    memcpy(s.skinFontName, u"Tahoma", sizeof(u"Tahoma"));
    loadSettings();
    EXPECT_EQ(1, s.homeDST);
    EXPECT_EQ(7, s.skinProperty);
    EXPECT_EQ(u"Tahoma", std::u16string(s.skinFontName));
}

// The plug-in repaints its volume button when a load changes quietMode, and only then.
namespace {
int quietCalls = 0;
void countQuietCall() {
    ++quietCalls;
}
} // namespace

TEST_F(SettingsTest, QuietModeHookOnlyOnChange) {
    quietCalls = 0;
    setQuietModeChangedHook(countQuietCall);
    regSetDword(HKEY_CURRENT_USER, kKey, u"quietMode", 1);
    loadSettings();
    EXPECT_EQ(1, quietCalls);
    loadSettings();
    EXPECT_EQ(1, quietCalls);
    regSetDword(HKEY_CURRENT_USER, kKey, u"quietMode", 0);
    loadSettings();
    EXPECT_EQ(2, quietCalls);
}

// ---- saveSettings -----------------------------------------------------------------------------

// Every stored setting comes back from a save and a load; loggingOption and InstallDir are not
// written.
TEST_F(SettingsTest, SaveAndLoadRoundTripEveryRow) {
    deleteKey(HKEY_CURRENT_USER, kKey);
    deleteKey(HKEY_CURRENT_USER, TR_KEY);
    memset(&s, 0, sizeof(s));
    for (size_t i = 0; i < settingsTableSize; ++i)
        if (settingsTable[i].type == SETTING_DWORD)
            numberField(s, settingsTable[i]) = static_cast<LONG>(i * 7 + 1);
    s.hostOffset = -12; // signed values survive
    memcpy(s.skinName, u"MySkin", sizeof(u"MySkin"));
    memcpy(s.activeLinks, "101010", 7);
    memcpy(s.linkType, "234567", 7);
    PluginSettings saved = s;
    setNoRecurList(u";Meeting 9:30;");
    saveSettings();

    EXPECT_FALSE(regValueExists(HKEY_CURRENT_USER, kKey, ZV_VAL_LOGGINGOPTION));
    EXPECT_FALSE(regValueExists(HKEY_CURRENT_USER, kKey, ZV_VAL_INSTALLDIR));
    // skinName as REG_SZ of its length plus terminator; the links as REG_SZ of 14 bytes.
    std::string bytes;
    DWORD type = 0xdeadbeef;
    ASSERT_TRUE(regGet(HKEY_CURRENT_USER, kKey, u"skinName", &bytes, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(14u, bytes.size());
    ASSERT_TRUE(regGet(HKEY_CURRENT_USER, kKey, ZV_VAL_LINKTYPE, &bytes, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(14u, bytes.size());

    memset(&s, 0, sizeof(s));
    setNoRecurList(u"");
    loadSettings();
    for (size_t i = 0; i < settingsTableSize; ++i) {
        const SettingDef& row = settingsTable[i];
        if (row.type == SETTING_DWORD) {
            EXPECT_EQ(numberField(saved, row), numberField(s, row)) << narrow(row.name);
        }
    }
    EXPECT_EQ(u"MySkin", std::u16string(s.skinName));
    EXPECT_STREQ("101010", s.activeLinks);
    EXPECT_STREQ("234567", s.linkType);
    EXPECT_EQ(u";meeting 9:30;", getNoRecurList());
}

// A new product key enumerates its values in the order of saveSettings.
TEST_F(SettingsTest, SaveWritesValuesInItsOrder) {
    deleteKey(HKEY_CURRENT_USER, kKey);
    saveSettings();
    HKEY hk = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &hk));
    std::vector<std::u16string> names;
    for (DWORD index = 0;; ++index) {
        WCHAR name[MAX_PATH];
        DWORD cch = MAX_PATH;
        if (RegEnumValueW(hk, index, name, &cch, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    RegCloseKey(hk);
    std::vector<std::u16string> expected;
    for (size_t i = 0; i < settingsSaveOrderSize; ++i)
        if (std::u16string(settingsSaveOrder[i]) != ZV_VAL_NORECURLIST)
            expected.push_back(settingsSaveOrder[i]);
    ASSERT_EQ(expected.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(narrow(expected[i]), narrow(names[i])) << "position " << i;
}

// The clock alarms get the product's sound; AlarmNotFlags is written only with
// clockAsReminder, as 12 + 2 (vibrate) + 1 (LED). Missing clock keys are not created.
TEST_F(SettingsTest, AlarmNotFlagsOnlyWithClockAsReminder) {
    const char16_t* clock0 = u"Software\\Microsoft\\Clock\\0";
    const char16_t* clock1 = u"Software\\Microsoft\\Clock\\1";
    const char16_t* clock2 = u"Software\\Microsoft\\Clock\\2";
    const char16_t* clock3 = u"Software\\Microsoft\\Clock\\3";
    regCreateKey(HKEY_LOCAL_MACHINE, clock0);
    const BYTE theirs[4] = {9, 9, 9, 9};
    regSetBinary(HKEY_LOCAL_MACHINE, clock1, ZV_VAL_ALARMNOTFLAGS, theirs, 4);
    deleteKey(HKEY_LOCAL_MACHINE, clock2);
    regCreateKey(HKEY_LOCAL_MACHINE, clock3);
    {
        HKEY hk = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, clock0, 0, 0, &hk));
        RegDeleteValueW(hk, ZV_VAL_ALARMNOTFLAGS);
        RegCloseKey(hk);
    }

    s.clockAsReminder = 0;
    s.reminderVibrate = 1;
    s.reminderLED = 1;
    saveSettings();
    EXPECT_EQ(u"Zolvane", regGetString(HKEY_LOCAL_MACHINE, clock0, ZV_VAL_ALARMSND));
    EXPECT_EQ(7u, regGetDword(HKEY_LOCAL_MACHINE, clock3, ZV_VAL_LEN_ALARMSND, 0xdeadbeef));
    EXPECT_FALSE(regValueExists(HKEY_LOCAL_MACHINE, clock0, ZV_VAL_ALARMNOTFLAGS));
    std::string bytes;
    ASSERT_TRUE(regGet(HKEY_LOCAL_MACHINE, clock1, ZV_VAL_ALARMNOTFLAGS, &bytes));
    EXPECT_EQ(std::string("\x09\x09\x09\x09", 4), bytes);
    HKEY hk = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, clock2, 0, KEY_READ, &hk));

    s.clockAsReminder = 1;
    saveSettings();
    DWORD type = 0xdeadbeef;
    ASSERT_TRUE(regGet(HKEY_LOCAL_MACHINE, clock1, ZV_VAL_ALARMNOTFLAGS, &bytes, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    EXPECT_EQ(std::string("\x0F\0\0\0", 4), bytes);

    s.reminderLED = 0;
    saveSettings();
    ASSERT_TRUE(regGet(HKEY_LOCAL_MACHINE, clock3, ZV_VAL_ALARMNOTFLAGS, &bytes));
    EXPECT_EQ(std::string("\x0E\0\0\0", 4), bytes);

    s.reminderVibrate = 0;
    saveSettings();
    ASSERT_TRUE(regGet(HKEY_LOCAL_MACHINE, clock0, ZV_VAL_ALARMNOTFLAGS, &bytes));
    EXPECT_EQ(std::string("\x0C\0\0\0", 4), bytes);
}

// The reminder class keeps its other Options bits; the LED and vibrate bits follow the
// settings; every sound points at the product's file; keys that are missing stay missing.
TEST_F(SettingsTest, SaveRedirectsTheSystemSounds) {
    regSetDword(HKEY_CURRENT_USER, ZV_KEY_REMINDER_CLASS, ZV_VAL_OPTIONS, 0x8 | 0x2);
    regCreateKey(HKEY_CURRENT_USER, ZV_KEY_NOTIFY_SOUNDS);
    regCreateKey(HKEY_LOCAL_MACHINE, ZV_KEY_CALENDAR_REMINDER);
    deleteKey(HKEY_LOCAL_MACHINE, ZV_KEY_TASKS_REMINDER);
    deleteKey(HKEY_LOCAL_MACHINE, ZV_KEY_AGENDA_FUSION);
    s.reminderLED = 1;
    s.reminderVibrate = 0;
    saveSettings();
    EXPECT_EQ(0x8u | 0x4u,
              regGetDword(HKEY_CURRENT_USER, ZV_KEY_REMINDER_CLASS, ZV_VAL_OPTIONS, 0xdeadbeef));
    EXPECT_EQ(u"\\windows\\Zolvane.wav",
              regGetString(HKEY_CURRENT_USER, ZV_KEY_REMINDER_CLASS, ZV_VAL_WAVE));
    EXPECT_EQ(u"\\windows\\Zolvane.wav",
              regGetString(HKEY_CURRENT_USER, ZV_KEY_NOTIFY_SOUNDS, ZV_VAL_WAVE));
    EXPECT_EQ(u"Zolvane.wav",
              regGetString(HKEY_LOCAL_MACHINE, ZV_KEY_CALENDAR_REMINDER, ZV_VAL_WAVEFILE));
    HKEY hk = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, ZV_KEY_TASKS_REMINDER, 0, KEY_READ, &hk));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, ZV_KEY_AGENDA_FUSION, 0, KEY_READ, &hk));

    // Without the class key the older "Reminders" key is written instead.
    deleteKey(HKEY_CURRENT_USER, ZV_KEY_REMINDER_CLASS);
    regSetDword(HKEY_CURRENT_USER, ZV_KEY_REMINDER_FALLBACK, ZV_VAL_OPTIONS, 0x4);
    regCreateKey(HKEY_LOCAL_MACHINE, ZV_KEY_AGENDA_FUSION);
    s.reminderLED = 0;
    s.reminderVibrate = 1;
    saveSettings();
    EXPECT_EQ(0x2u,
              regGetDword(HKEY_CURRENT_USER, ZV_KEY_REMINDER_FALLBACK, ZV_VAL_OPTIONS, 0xdeadbeef));
    EXPECT_EQ(u"Zolvane.wav",
              regGetString(HKEY_LOCAL_MACHINE, ZV_KEY_AGENDA_FUSION, ZV_VAL_AF_NOTES_ALARM));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExW(HKEY_CURRENT_USER, ZV_KEY_REMINDER_CLASS, 0, KEY_READ, &hk));
}

// ---- noRecurList ------------------------------------------------------------------------------

// Held lower-cased; an empty list deletes the value at the next save.
TEST_F(SettingsTest, EmptyNoRecurListIsDeletedOnSave) {
    regSetString(HKEY_CURRENT_USER, kKey, ZV_VAL_NORECURLIST, u";Gym 7:0;");
    loadSettings();
    EXPECT_EQ(u";gym 7:0;", getNoRecurList());

    regSetString(HKEY_CURRENT_USER, kKey, ZV_VAL_NORECURLIST, u"");
    loadSettings();
    EXPECT_EQ(u"", getNoRecurList());
    saveSettings();
    EXPECT_FALSE(regValueExists(HKEY_CURRENT_USER, kKey, ZV_VAL_NORECURLIST));

    setNoRecurList(u";Pill 8:15;");
    saveSettings();
    EXPECT_EQ(u";pill 8:15;", regGetString(HKEY_CURRENT_USER, kKey, ZV_VAL_NORECURLIST));
    setNoRecurList(u"");
    saveSettings();
    EXPECT_FALSE(regValueExists(HKEY_CURRENT_USER, kKey, ZV_VAL_NORECURLIST));
}

// The item menu can grow the list past 2598 bytes; it must still load, or it would be lost.
TEST_F(SettingsTest, LongNoRecurListIsNotLost) {
    std::u16string list;
    while (list.size() * 2 < 3000)
        list += u";weekly meeting 10:30;";
    setNoRecurList(list.c_str());
    saveSettings();
    setNoRecurList(u"");
    loadSettings();
    EXPECT_EQ(list, getNoRecurList());
}
