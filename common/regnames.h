// regnames.h: the registry keys and value names that the common library reads and writes,
// and the limits that go with them. Every program of the product links the common library;
// a key or value name is spelled here once and used by name everywhere else.
//
// The settings' own value names (skinName, maxAlarms ...) live in the settings table
// (settingstable.cpp), which is the one place that pairs each name with its field. The
// companion product's names are in companion.h.
#pragma once

#include <windows.h>

// ---- The product key (HKEY_CURRENT_USER) ---------------------------------------------------
#define ZV_PRODUCT_KEY TEXT("Software\\Brenvox\\Zolvane")

#define ZV_VAL_INSTALLDIR     TEXT("InstallDir")
#define ZV_VAL_LOGGINGOPTION  TEXT("loggingOption")
#define ZV_VAL_NORECURLIST    TEXT("noRecurList")
#define ZV_VAL_ACTIVELINKS    TEXT("activeLinks")
#define ZV_VAL_LINKTYPE       TEXT("linkType")
#define ZV_VAL_QUIETMODE      TEXT("quietMode")
#define ZV_VAL_FLAGSHOWALARMS TEXT("flagShowAlarms")

// ---- Install folder --------------------------------------------------------------------------
// installFolder holds at most 150 units with its terminator; InstallDir may be up to 520 bytes.
#define ZV_INSTALLFOLDER_CCH 150
#define ZV_INSTALLDIR_MAX_CB 520
#define ZV_FOLDER_GERMAN     TEXT("\\Programme\\Zolvane")
#define ZV_FOLDER_ENGLISH    TEXT("\\Program Files\\Zolvane")

// ---- Size limits of the settings values ----------------------------------------------------
#define ZV_SKINNAME_CCH       50 // skinName: 50 units, read with a 100-byte limit
#define ZV_SKINNAME_MAX_CB    100
#define ZV_FONTNAME_CCH       50
#define ZV_LINKS_CCH          7 // six digits and a terminator
#define ZV_LINKS_MAX_CB       14
#define ZV_LINKS_DEFAULT      TEXT("000000")
#define ZV_NORECURLIST_MAX_CB 2598
// A noRecurList longer than ZV_NORECURLIST_MAX_CB is still read back whole up to this size, so
// that a list grown by the item menu is never lost at the next load.
#define ZV_NORECURLIST_HARD_MAX_CB 65536

// Bit 0x4 of flagShowAlarms: clock alarms (the companion product may own them).
#define ZV_SHOW_CLOCK_BIT 0x4

// ---- The system's reminder notification class (HKEY_CURRENT_USER) --------------------------
#define ZV_KEY_REMINDER_CLASS                                                                      \
    TEXT("ControlPanel\\Notifications\\{15F11F90-8A5F-454c-89FC-BA9B7AAB0CAD}")
#define ZV_KEY_REMINDER_FALLBACK TEXT("ControlPanel\\Notifications\\Reminders")
#define ZV_KEY_NOTIFY_SOUNDS     TEXT("ControlPanel\\Notifications\\Sounds")
#define ZV_VAL_OPTIONS           TEXT("Options")
#define ZV_VAL_WAVE              TEXT("Wave")
#define ZV_OPTION_VIBRATE        0x2
#define ZV_OPTION_LED            0x4

// The product's sound file that the system reminder sounds are pointed at.
#define ZV_SOUND_PATH  TEXT("\\windows\\Zolvane.wav")
#define ZV_SOUND_FILE  TEXT("Zolvane.wav")
#define ZV_CLOCK_SOUND TEXT("Zolvane")

// ---- The four clock alarms (HKEY_LOCAL_MACHINE) ---------------------------------------------
#define ZV_KEY_CLOCK           TEXT("Software\\Microsoft\\Clock")
#define ZV_CLOCK_ALARM_KEYS    4
#define ZV_KEY_CLOCK_ALARM_FMT TEXT("Software\\Microsoft\\Clock\\%d")
#define ZV_VAL_ALARMSND        TEXT("AlarmSnd")
#define ZV_VAL_LEN_ALARMSND    TEXT("Len_AlarmSnd")
#define ZV_VAL_ALARMNOTFLAGS   TEXT("AlarmNotFlags")
#define ZV_VAL_HOMEDST         TEXT("HomeDST")
// First byte of AlarmNotFlags: 12, plus 2 for vibrate, plus 1 for the LED.
#define ZV_ALARMNOTFLAGS_BASE    12
#define ZV_ALARMNOTFLAGS_VIBRATE 2
#define ZV_ALARMNOTFLAGS_LED     1

// ---- Calendar, tasks and a third calendar application (HKEY_LOCAL_MACHINE) -----------------
#define ZV_KEY_CALENDAR_REMINDER TEXT("Software\\Microsoft\\Calendar\\Reminder")
#define ZV_KEY_TASKS_REMINDER    TEXT("Software\\Microsoft\\Tasks\\Reminder")
#define ZV_VAL_WAVEFILE          TEXT("WAVEFILE")
#define ZV_KEY_AGENDA_FUSION     TEXT("Software\\Developer One, Inc.\\Agenda Fusion")
#define ZV_VAL_AF_NOTES_ALARM    TEXT("Core.Notes.Alarm")

// ---- The media player, prepared for music alarms -------------------------------------------
#define ZV_KEY_MEDIAPLAYER_PREFS    TEXT("Software\\Microsoft\\MediaPlayer\\Preferences") // HKCU
#define ZV_VAL_PLAYINBACKGROUND     TEXT("PlayInBackground")
#define ZV_VAL_REPEAT               TEXT("Repeat")
#define ZV_VAL_VOLUME               TEXT("Volume")
#define ZV_KEY_MEDIAPLAYER_AUDIO    TEXT("Software\\Microsoft\\Windows Media Player\\Audio") // HKLM
#define ZV_VAL_BACKGROUND_QUALITY   TEXT("Background Quality")
#define ZV_MEDIAPLAYER_PREFS_VOLUME 65535
#define ZV_MEDIAPLAYER_BG_QUALITY   2
#define ZV_MEDIAPLAYER_AUDIO_VOLUME 0xFFFFFFFF

// ---- Device detection ------------------------------------------------------------------------
#define ZV_KEY_PHONE              TEXT("ControlPanel\\Phone")        // HKCU
#define ZV_KEY_SHELL              TEXT("Software\\Microsoft\\Shell") // HKCU
#define ZV_VAL_HASKEYBOARD        TEXT("HasKeyboard")
#define ZV_KEY_PALM_VERSION       TEXT("Software\\Palm\\Version") // HKLM
#define ZV_VAL_SOFTWAREVERSION    TEXT("SoftwareVersionString")
#define ZV_SOFTWAREVERSION_MAX_CB 520
#define ZV_OEMINFO_CCH            2047
