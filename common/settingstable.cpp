// settingstable.cpp: the settings table of the common library: every stored setting with its
// registry value name, its field in PluginSettings, its type, its size limit and its value when
// the registry has none, and the orders in which the settings are read and written. The
// settings store (settings.cpp) works only from these tables.
#include <cstddef>

#include "settings.h"

#define DWORD_ROW(name, field)                                                                     \
    { TEXT(name), offsetof(PluginSettings, field), SETTING_DWORD, 0, 0 }
// The same for a value whose name other parts use too, a constant of regnames.h.
#define DWORD_ROW_NAMED(name, field)                                                               \
    { name, offsetof(PluginSettings, field), SETTING_DWORD, 0, 0 }

// A text row's size limit must fit its field; the links are six digits and a terminator.
static_assert(sizeof(PluginSettings::skinName) >= ZV_SKINNAME_MAX_CB, "skinName field too small");
static_assert(sizeof(PluginSettings::activeLinks) * sizeof(WCHAR) == ZV_LINKS_MAX_CB,
              "activeLinks field does not match its registry size");
static_assert(sizeof(PluginSettings::linkType) == sizeof(PluginSettings::activeLinks),
              "linkType and activeLinks must have one form");
// Worker threads read numbers without a lock: each must be one aligned 32-bit field.
static_assert(sizeof(LONG) == 4 && offsetof(PluginSettings, maxAlarms) % 4 == 0 &&
                  offsetof(PluginSettings, hideRepeats) % 4 == 0,
              "settings numbers must be aligned 32-bit fields");

// In the order of the record. Fields that the registry does not hold (the skin's font and
// property, HomeDST, the install folder, the system reminder options) have no row.
const SettingDef settingsTable[] = {
    {TEXT("skinName"), offsetof(PluginSettings, skinName), SETTING_TEXT, ZV_SKINNAME_MAX_CB, 0},
    DWORD_ROW("maxAlarms", maxAlarms),
    DWORD_ROW("startupDelay", startupDelay),
    DWORD_ROW("alarmOffset", alarmOffset),
    DWORD_ROW("showOffset", showOffset),
    DWORD_ROW("customColor", customColor),
    DWORD_ROW("customFontSize", customFontSize),
    DWORD_ROW("customFontStyle", customFontStyle),
    DWORD_ROW("fontColor", fontColor),
    DWORD_ROW("FontSize", FontSize),
    DWORD_ROW("FontStyle", FontStyle),
    DWORD_ROW("lang", lang),
    DWORD_ROW_NAMED(ZV_VAL_FLAGSHOWALARMS, flagShowAlarms),
    DWORD_ROW("autoCleanup", autoCleanup),
    DWORD_ROW("deleteAlarmNote", deleteAlarmNote),
    DWORD_ROW("checkVolume", checkVolume),
    DWORD_ROW_NAMED(ZV_VAL_QUIETMODE, quietMode),
    DWORD_ROW("Volume", Volume),
    DWORD_ROW("soundRepeat", soundRepeat),
    DWORD_ROW("soundRepeatTone", soundRepeatTone),
    DWORD_ROW("soundRepeatOff", soundRepeatOff),
    DWORD_ROW("soundDelay", soundDelay),
    DWORD_ROW("soundDelayOff", soundDelayOff),
    DWORD_ROW("batteryLife", batteryLife),
    DWORD_ROW("vibrateNoSound", vibrateNoSound),
    DWORD_ROW("vibrateIfMuted", vibrateIfMuted),
    DWORD_ROW("noVibrateIfMuted", noVibrateIfMuted),
    DWORD_ROW("fullMute", fullMute),
    DWORD_ROW("bMusicVol", bMusicVol),
    DWORD_ROW("musicVol", musicVol),
    DWORD_ROW("dateFormat", dateFormat),
    DWORD_ROW("alarmFormat", alarmFormat),
    DWORD_ROW("compressDate", compressDate),
    DWORD_ROW("includeDay", includeDay),
    DWORD_ROW("dayLen", dayLen),
    DWORD_ROW("customTask", customTask),
    DWORD_ROW("taskTime", taskTime),
    DWORD_ROW("customBirthday", customBirthday),
    DWORD_ROW("birthdayTime", birthdayTime),
    DWORD_ROW("dateIndent", dateIndent),
    DWORD_ROW("alignText", alignText),
    DWORD_ROW("calenderNoAlarm", calenderNoAlarm),
    DWORD_ROW("2003_fix", fix2003),
    DWORD_ROW("switchAction", switchAction),
    DWORD_ROW("birthday", birthday),
    DWORD_ROW("anniversary", anniversary),
    DWORD_ROW("lastRecurUpdate", lastRecurUpdate),
    DWORD_ROW("lastRecurAlarm", lastRecurAlarm),
    DWORD_ROW("minEscalate", minEscalate),
    DWORD_ROW("maxEscalate", maxEscalate),
    DWORD_ROW("noCradleAlarm", noCradleAlarm),
    DWORD_ROW("noAlarmInCall", noAlarmInCall),
    DWORD_ROW("snoozeMusic", snoozeMusic),
    {ZV_VAL_ACTIVELINKS, offsetof(PluginSettings, activeLinks), SETTING_LINKS, ZV_LINKS_MAX_CB, 0},
    {ZV_VAL_LINKTYPE, offsetof(PluginSettings, linkType), SETTING_LINKS, ZV_LINKS_MAX_CB, 0},
    DWORD_ROW("hideRepeats", hideRepeats),
    DWORD_ROW("clockAsReminder", clockAsReminder),
    DWORD_ROW("tellarimVol", tellarimVol),
    DWORD_ROW("ignoreWMSound", ignoreWMSound),
    DWORD_ROW("louderVolume", louderVolume),
    DWORD_ROW("autoCenterSkin", autoCenterSkin),
    DWORD_ROW("hostShowType", hostShowType),
    DWORD_ROW("hostOffset", hostOffset),
    DWORD_ROW("hostAutostart", hostAutostart),
    DWORD_ROW("hostOpenOnAlarm", hostOpenOnAlarm),
    DWORD_ROW("hostTransparent", hostTransparent),
};
const size_t settingsTableSize = sizeof(settingsTable) / sizeof(settingsTable[0]);

// The order of loadSettings. flagShowAlarms is followed by the companion rule; activeLinks
// and linkType share one buffer, so linkType must come after activeLinks.
const LPCWSTR settingsLoadOrder[] = {
    TEXT("skinName"),
    TEXT("startupDelay"),
    TEXT("maxAlarms"),
    TEXT("alarmOffset"),
    TEXT("showOffset"),
    TEXT("customColor"),
    TEXT("fontColor"),
    TEXT("customFontSize"),
    TEXT("FontSize"),
    TEXT("customFontStyle"),
    TEXT("FontStyle"),
    TEXT("lang"),
    ZV_VAL_FLAGSHOWALARMS,
    TEXT("dateFormat"),
    TEXT("alarmFormat"),
    TEXT("compressDate"),
    TEXT("includeDay"),
    TEXT("dayLen"),
    TEXT("customTask"),
    TEXT("taskTime"),
    TEXT("customBirthday"),
    TEXT("birthdayTime"),
    TEXT("dateIndent"),
    TEXT("alignText"),
    ZV_VAL_LOGGINGOPTION,
    TEXT("autoCleanup"),
    TEXT("deleteAlarmNote"),
    TEXT("calenderNoAlarm"),
    TEXT("birthday"),
    TEXT("anniversary"),
    TEXT("2003_fix"),
    TEXT("clockAsReminder"),
    TEXT("tellarimVol"),
    TEXT("ignoreWMSound"),
    TEXT("louderVolume"),
    TEXT("autoCenterSkin"),
    TEXT("switchAction"),
    TEXT("lastRecurAlarm"),
    TEXT("lastRecurUpdate"),
    TEXT("soundRepeat"),
    TEXT("soundRepeatOff"),
    TEXT("soundRepeatTone"),
    TEXT("soundDelay"),
    TEXT("soundDelayOff"),
    TEXT("checkVolume"),
    TEXT("minEscalate"),
    TEXT("maxEscalate"),
    TEXT("Volume"),
    TEXT("batteryLife"),
    TEXT("vibrateNoSound"),
    TEXT("vibrateIfMuted"),
    TEXT("noVibrateIfMuted"),
    TEXT("fullMute"),
    TEXT("noCradleAlarm"),
    TEXT("noAlarmInCall"),
    TEXT("snoozeMusic"),
    TEXT("hideRepeats"),
    ZV_VAL_QUIETMODE,
    // Read after the quiet-mode check.
    TEXT("bMusicVol"),
    TEXT("musicVol"),
    ZV_VAL_ACTIVELINKS,
    ZV_VAL_LINKTYPE,
    ZV_VAL_NORECURLIST,
    TEXT("hostShowType"),
    TEXT("hostOffset"),
    TEXT("hostAutostart"),
    TEXT("hostOpenOnAlarm"),
    TEXT("hostTransparent"),
};
const size_t settingsLoadOrderSize = sizeof(settingsLoadOrder) / sizeof(settingsLoadOrder[0]);

// The order of saveSettings; a new product key enumerates its values in this order.
const LPCWSTR settingsSaveOrder[] = {
    TEXT("startupDelay"),    TEXT("skinName"),        TEXT("maxAlarms"),
    TEXT("alarmOffset"),     TEXT("showOffset"),      TEXT("customColor"),
    TEXT("fontColor"),       TEXT("customFontSize"),  TEXT("FontSize"),
    TEXT("customFontStyle"), TEXT("FontStyle"),       TEXT("lang"),
    ZV_VAL_FLAGSHOWALARMS,   TEXT("dateFormat"),      TEXT("alarmFormat"),
    TEXT("includeDay"),      TEXT("dayLen"),          TEXT("customTask"),
    TEXT("taskTime"),        TEXT("customBirthday"),  TEXT("birthdayTime"),
    TEXT("dateIndent"),      TEXT("alignText"),       TEXT("compressDate"),
    TEXT("autoCleanup"),     TEXT("deleteAlarmNote"), TEXT("calenderNoAlarm"),
    TEXT("birthday"),        TEXT("anniversary"),     TEXT("2003_fix"),
    TEXT("switchAction"),    TEXT("lastRecurUpdate"), TEXT("lastRecurAlarm"),
    TEXT("clockAsReminder"), TEXT("tellarimVol"),     TEXT("ignoreWMSound"),
    TEXT("louderVolume"),    TEXT("autoCenterSkin"),  TEXT("soundRepeat"),
    TEXT("soundRepeatTone"), TEXT("soundRepeatOff"),  TEXT("soundDelay"),
    TEXT("soundDelayOff"),   TEXT("checkVolume"),     ZV_VAL_QUIETMODE,
    TEXT("vibrateNoSound"),  TEXT("vibrateIfMuted"),  TEXT("noVibrateIfMuted"),
    TEXT("fullMute"),        TEXT("noCradleAlarm"),   TEXT("noAlarmInCall"),
    TEXT("snoozeMusic"),     TEXT("hideRepeats"),     TEXT("bMusicVol"),
    TEXT("musicVol"),        TEXT("Volume"),          TEXT("minEscalate"),
    TEXT("maxEscalate"),     TEXT("batteryLife"),     ZV_VAL_ACTIVELINKS,
    ZV_VAL_LINKTYPE,         ZV_VAL_NORECURLIST,      TEXT("hostShowType"),
    TEXT("hostOffset"),      TEXT("hostAutostart"),   TEXT("hostOpenOnAlarm"),
    TEXT("hostTransparent"),
};
const size_t settingsSaveOrderSize = sizeof(settingsSaveOrder) / sizeof(settingsSaveOrder[0]);

const SettingDef* findSetting(LPCWSTR name) {
    if (!name) return nullptr;
    for (size_t i = 0; i < settingsTableSize; ++i)
        if (wcscmp(settingsTable[i].name, name) == 0) return &settingsTable[i];
    return nullptr;
}
