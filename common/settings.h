// settings.h: the settings store of the common library. All user settings live as values of
// HKEY_CURRENT_USER "Software\Brenvox\Zolvane" and, in each process, in one PluginSettings
// record: loadSettings fills it, saveSettings writes it back (and points the system's own
// reminder sounds at the product's sound file), detectDevice (detectdevice.h) sets the device
// flags. The Today item and zvSettings use all three; the other programs read the few values
// they need themselves.
//
// Every field is named after its registry value. Numbers are 32-bit signed; texts are fixed
// arrays, always terminated. Worker threads read fields without a lock while a load may
// replace them, so every number is kept as one aligned 32-bit field.
#pragma once

#include <string>

#include <windows.h>

#include "regnames.h"

struct PluginSettings {
    WCHAR skinName[ZV_SKINNAME_CCH];     //  1 skin file name without ".skn"
    WCHAR skinFontName[ZV_FONTNAME_CCH]; //  2 font face of the loaded skin (not stored)
    LONG skinProperty;                   //  3 filled by the skin loader (not stored)
    LONG maxAlarms;                      //  4 >0: items to read; <0: days ahead
    LONG startupDelay;                   //  5 seconds before Startup, 0..10
    LONG alarmOffset;                    //  6 list position of "Read lines" (settings program)
    LONG showOffset;                     //  7 0 skin lines, 1 all space, 2..7 fixed line counts
    LONG customColor;                    //  8
    LONG customFontSize;                 //  9
    LONG customFontStyle;                // 10
    LONG fontColor;                      // 11 RGB
    LONG FontSize;                       // 12
    LONG FontStyle;                      // 13 0 normal, 1 semi-bold, 2 bold
    LONG lang;                           // 14 language code; 1 = German
    LONG flagShowAlarms;                 // 15 show mask of the alarm kinds
    LONG autoCleanup;                    // 16
    LONG deleteAlarmNote;                // 17
    LONG checkVolume;                    // 18
    LONG quietMode;                      // 19
    LONG Volume;                         // 20 0 normal, 1 escalating
    LONG soundRepeat;                    // 21 9999 = endless
    LONG soundRepeatTone;                // 22
    LONG soundRepeatOff;                 // 23
    LONG soundDelay;                     // 24 seconds between repeats
    LONG soundDelayOff;                  // 25
    LONG batteryLife;                    // 26 percent
    LONG vibrateNoSound;                 // 27
    LONG vibrateIfMuted;                 // 28
    LONG noVibrateIfMuted;               // 29
    LONG fullMute;                       // 30
    LONG bMusicVol;                      // 31
    LONG musicVol;                       // 32 level 0..8
    LONG dateFormat;                     // 33
    LONG alarmFormat;                    // 34
    LONG compressDate;                   // 35
    LONG includeDay;                     // 36
    LONG dayLen;                         // 37
    LONG customTask;                     // 38
    LONG taskTime;                       // 39
    LONG customBirthday;                 // 40
    LONG birthdayTime;                   // 41
    LONG dateIndent;                     // 42
    LONG alignText;                      // 43
    LONG calenderNoAlarm;                // 44
    LONG fix2003;                        // 45 stored as "2003_fix"
    LONG switchAction;                   // 46
    LONG birthday;                       // 47
    LONG anniversary;                    // 48
    LONG homeDST; // 49 HomeDST of the clock (set by detectDevice, not stored)
    WCHAR installFolder[ZV_INSTALLFOLDER_CCH]; // 50 InstallDir or the default folder
    LONG lastRecurUpdate;                      // 51
    LONG lastRecurAlarm;                       // 52
    LONG minEscalate;                          // 53
    LONG maxEscalate;                          // 54
    LONG noCradleAlarm;                        // 55
    LONG noAlarmInCall;                        // 56
    LONG snoozeMusic;                          // 57
    char activeLinks[ZV_LINKS_CCH];            // 58 per link '1' shown, '0' not
    char linkType[ZV_LINKS_CCH];               // 59 per link the chosen application
    LONG hideRepeats;                          // 60
    LONG reminderVibrate;                      // 61 bit 0x2 of the system reminder Options
    LONG reminderLED;                          // 62 bit 0x4 of the system reminder Options
    LONG clockAsReminder;                      // 63
    LONG tellarimVol;                          // 64
    LONG ignoreWMSound;                        // 65
    LONG louderVolume;                         // 66
    LONG autoCenterSkin;                       // 67
    LONG hostShowType;                         // 68
    LONG hostOffset;                           // 69
    LONG hostAutostart;                        // 70
    LONG hostOpenOnAlarm;                      // 71
    LONG hostTransparent;                      // 72
};

// The kinds of settings table rows.
enum SettingType {
    SETTING_DWORD, // REG_DWORD into a LONG field
    SETTING_TEXT,  // REG_SZ into a WCHAR array, read with the row's byte limit
    SETTING_LINKS  // REG_SZ of six digits, held narrowed in a char[7] field
};

// One stored setting: its registry value, its field, its type, its size limit and its value
// when the registry has none.
struct SettingDef {
    LPCWSTR name;
    size_t offset; // of the field in PluginSettings
    SettingType type;
    DWORD maxBytes; // registry size limit of a text (0 for numbers)
    LONG defaultValue;
};

// The stored settings, one row per registry value of the record (settingstable.cpp), and the
// orders in which loadSettings reads and saveSettings writes the values. The write order
// matters: a new key enumerates its values in it. Besides the record's own names, the orders
// hold loggingOption (read only) and noRecurList, which are kept beside the record.
extern const SettingDef settingsTable[];
extern const size_t settingsTableSize;
extern const LPCWSTR settingsLoadOrder[];
extern const size_t settingsLoadOrderSize;
extern const LPCWSTR settingsSaveOrder[];
extern const size_t settingsSaveOrderSize;
// The row of a registry value name, or null.
const SettingDef* findSetting(LPCWSTR name);

// The record of this process. Valid after the first loadSettings; all zero before it.
PluginSettings& getSettings(void);

// Fills the record from the registry: everything is cleared first, so a missing value reads
// as 0 (an empty text). Also reads loggingOption (handed to the log), noRecurList and the
// companion's tral_TF3D, the system reminder options, and the install folder (handed to the
// log too), and prepares the media player's registry for music alarms.
void loadSettings(void);

// Writes the record back to the product key, then points the system's reminder, clock-alarm
// and calendar sounds at the product's sound file, and asks the audio system to re-read them.
// loggingOption and InstallDir are not written.
void saveSettings(void);

// tral_TF3D of the companion product as the last load found it (0 when it is not installed).
LONG getTral_TF3D(void);

// noRecurList, the lower-cased list of recurring alarms not to re-arm; empty when there is
// none. Readers get a copy, so a load on another thread can never pull it from under them.
std::u16string getNoRecurList(void);
// Replaces the list in memory (lower-cased); saveSettings stores it, or deletes the value
// when the list is empty.
void setNoRecurList(LPCWSTR list);

// Called by loadSettings after a load that changed quietMode. The plug-in sets this to repaint
// the skin's volume button when a skin is loaded; other programs leave it unset.
typedef void (*QuietModeChangedHook)(void);
void setQuietModeChangedHook(QuietModeChangedHook hook);
