// settings.cpp: loadSettings and saveSettings of the common library (see settings.h), driven by
// the tables of settingstable.cpp.
//
// A load builds the new record aside and puts it in place in one assignment at the end, so
// that worker threads reading the record while the window thread reloads it see the old
// values or the new ones, never a record cleared half way through the registry reads.
#include "settings.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include <strsafe.h>

#include "companion.h"
#include "installdir.h"
#include "log.h"
#include "regutil.h"

static struct {
    PluginSettings settings;
    LONG tral_TF3D;
    QuietModeChangedHook quietModeChanged;
    std::mutex listLock; // guards noRecurList, which is read from worker threads
    std::u16string noRecurList;
} store;

PluginSettings& getSettings(void) {
    return store.settings;
}

LONG getTral_TF3D(void) {
    return store.tral_TF3D;
}

void setQuietModeChangedHook(QuietModeChangedHook hook) {
    store.quietModeChanged = hook;
}

std::u16string getNoRecurList(void) {
    std::lock_guard<std::mutex> guard(store.listLock);
    return store.noRecurList;
}

void setNoRecurList(LPCWSTR list) {
    std::u16string copy(list ? list : TEXT(""));
    // The list is always held lower-cased, as the load makes it.
    if (!copy.empty()) _wcslwr(copy.data());
    std::lock_guard<std::mutex> guard(store.listLock);
    store.noRecurList.swap(copy);
}

static void* fieldOf(PluginSettings& record, const SettingDef& row) {
    return reinterpret_cast<BYTE*>(&record) + row.offset;
}

// Narrows the wide link buffer into a char[ZV_LINKS_CCH] field, always terminated.
static void narrowLinks(const WCHAR* wide, char* field) {
    memset(field, 0, ZV_LINKS_CCH);
    WideCharToMultiByte(CP_ACP, 0, wide, -1, field, ZV_LINKS_CCH, NULL, NULL);
    field[ZV_LINKS_CCH - 1] = 0;
}

// noRecurList, lower-cased; empty when absent or empty. The list is read whole even past its
// usual limit: the item menu can grow it beyond that, and a list that saves but does not load
// would be silently lost at the next start.
static std::u16string readNoRecurList(HKEY key) {
    DWORD cb = 0;
    DWORD type = 0;
    if (RegQueryValueExW(key, ZV_VAL_NORECURLIST, NULL, &type, NULL, &cb) != ERROR_SUCCESS)
        return std::u16string();
    if (cb < sizeof(WCHAR) || cb > ZV_NORECURLIST_HARD_MAX_CB) return std::u16string();
    std::vector<WCHAR> text(cb / sizeof(WCHAR) + 1, 0);
    DWORD cbRead = cb;
    if (RegQueryValueExW(key, ZV_VAL_NORECURLIST, NULL, &type,
                         reinterpret_cast<LPBYTE>(text.data()), &cbRead) != ERROR_SUCCESS)
        return std::u16string();
    text[std::min<size_t>(cbRead / sizeof(WCHAR), text.size() - 1)] = 0;
    std::u16string list(text.data());
    if (!list.empty()) _wcslwr(list.data());
    return list;
}

// The system's reminder notification class: the class key when it exists, else the older
// "Reminders" key; null when neither opens.
static HKEY openReminderClassKey(void) {
    HKEY key = openRegKey(HKEY_CURRENT_USER, ZV_KEY_REMINDER_CLASS);
    if (!key) key = openRegKey(HKEY_CURRENT_USER, ZV_KEY_REMINDER_FALLBACK);
    return key;
}

// Reads the product key's values into record in the load order. Returns FALSE when the key
// does not open (the record then stays cleared).
static BOOL readProductKey(PluginSettings& record, LONG tral_TF3D, DWORD* loggingOption,
                           std::u16string* noRecurList) {
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return FALSE;

    // activeLinks and linkType are read into one buffer filled once with "000000": an absent
    // activeLinks gives "000000", an absent linkType the text of activeLinks.
    WCHAR links[ZV_LINKS_CCH];
    StringCchCopyW(links, ZV_LINKS_CCH, ZV_LINKS_DEFAULT);

    for (size_t i = 0; i < settingsLoadOrderSize; ++i) {
        const LPCWSTR name = settingsLoadOrder[i];
        if (wcscmp(name, ZV_VAL_LOGGINGOPTION) == 0) {
            LONG option = 0;
            queryDword(key, name, &option);
            *loggingOption = static_cast<DWORD>(option);
            continue;
        }
        if (wcscmp(name, ZV_VAL_NORECURLIST) == 0) {
            *noRecurList = readNoRecurList(key);
            continue;
        }
        const SettingDef* row = findSetting(name);
        if (!row) continue;
        void* field = fieldOf(record, *row);
        switch (row->type) {
        case SETTING_DWORD:
            *static_cast<LONG*>(field) = row->defaultValue;
            queryDword(key, name, static_cast<LONG*>(field));
            break;
        case SETTING_TEXT: queryString(key, name, static_cast<WCHAR*>(field), row->maxBytes); break;
        case SETTING_LINKS:
            queryString(key, name, links, row->maxBytes);
            narrowLinks(links, static_cast<char*>(field));
            break;
        }
        // The companion product sounds the clock alarms itself while tral_TF3D is set.
        if (wcscmp(name, ZV_VAL_FLAGSHOWALARMS) == 0 && tral_TF3D != 0)
            record.flagShowAlarms &= ~ZV_SHOW_CLOCK_BIT;
    }
    RegCloseKey(key);

    // The system reminder options, kept in the record for the alarm thread and the settings.
    HKEY reminders = openReminderClassKey();
    if (reminders) {
        LONG options = 0;
        if (queryDword(reminders, ZV_VAL_OPTIONS, &options)) {
            record.reminderLED = (options & ZV_OPTION_LED) ? 1 : 0;
            record.reminderVibrate = (options & ZV_OPTION_VIBRATE) ? 1 : 0;
        }
        RegCloseKey(reminders);
    }
    return TRUE;
}

// Music alarms play in the media player: make it play in the background, once, at full
// volume. Only keys that exist are written.
static void prepareMediaPlayer(void) {
    HKEY key = openRegKey(HKEY_CURRENT_USER, ZV_KEY_MEDIAPLAYER_PREFS);
    if (key) {
        setDword(key, ZV_VAL_PLAYINBACKGROUND, 1);
        setDword(key, ZV_VAL_REPEAT, 0);
        setDword(key, ZV_VAL_VOLUME, ZV_MEDIAPLAYER_PREFS_VOLUME);
        RegFlushKey(key);
        RegCloseKey(key);
    }
    key = openRegKey(HKEY_LOCAL_MACHINE, ZV_KEY_MEDIAPLAYER_AUDIO);
    if (key) {
        setDword(key, ZV_VAL_BACKGROUND_QUALITY, ZV_MEDIAPLAYER_BG_QUALITY);
        setDword(key, ZV_VAL_REPEAT, 0);
        setDword(key, ZV_VAL_VOLUME, ZV_MEDIAPLAYER_AUDIO_VOLUME);
        RegFlushKey(key);
        RegCloseKey(key);
    }
}

void loadSettings(void) {
    try {
        PluginSettings fresh;
        memset(&fresh, 0, sizeof(fresh));
        // What the skin loader and detectDevice put into the record is not stored in the
        // registry: a reload of the settings must not wipe it until they run again.
        memcpy(fresh.skinFontName, store.settings.skinFontName, sizeof(fresh.skinFontName));
        fresh.skinProperty = store.settings.skinProperty;
        fresh.homeDST = store.settings.homeDST;

        LONG tral_TF3D = 0;
        readRegDword(HKEY_CURRENT_USER, TR_KEY, TR_VAL_TF3D, &tral_TF3D);

        DWORD loggingOption = 0;
        std::u16string noRecurList;
        const BOOL productKey = readProductKey(fresh, tral_TF3D, &loggingOption, &noRecurList);

        // The install folder is found even without a product key.
        findInstallFolder(fresh.installFolder, ZV_INSTALLFOLDER_CCH);

        const LONG quietBefore = store.settings.quietMode;
        store.settings = fresh;
        store.tral_TF3D = tral_TF3D;
        {
            std::lock_guard<std::mutex> guard(store.listLock);
            store.noRecurList.swap(noRecurList);
        }
        setLogOption(loggingOption);
        setLogFolder(fresh.installFolder);

        if (productKey && fresh.quietMode != quietBefore && store.quietModeChanged)
            store.quietModeChanged();

        prepareMediaPlayer();
    } catch (...) {
        writeLog("** Exception loadSettings **");
    }
}

// Writes one table row into the open product key.
static void writeSetting(HKEY key, const SettingDef& row, PluginSettings& record) {
    void* field = fieldOf(record, row);
    switch (row.type) {
    case SETTING_DWORD:
        setDword(key, row.name, static_cast<DWORD>(*static_cast<LONG*>(field)));
        break;
    case SETTING_TEXT: {
        // Copied through a terminated buffer: a field edited in place may have lost its end.
        const size_t cch = row.maxBytes / sizeof(WCHAR);
        std::vector<WCHAR> text(cch, 0);
        StringCchCopyNW(text.data(), cch, static_cast<const WCHAR*>(field), cch - 1);
        setString(key, row.name, text.data());
        break;
    }
    case SETTING_LINKS: {
        // Widened to a REG_SZ of exactly ZV_LINKS_MAX_CB bytes.
        WCHAR wide[ZV_LINKS_CCH] = {0};
        const char* narrow = static_cast<const char*>(field);
        for (int i = 0; i < ZV_LINKS_CCH - 1 && narrow[i]; ++i)
            wide[i] = static_cast<WCHAR>(static_cast<unsigned char>(narrow[i]));
        RegSetValueExW(key, row.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide), sizeof(wide));
        break;
    }
    }
}

// Sets or clears bits in a mask as a flag says.
static LONG applyBit(LONG mask, LONG bit, LONG on) {
    return on ? (mask | bit) : (mask & ~bit);
}

// Points the system's reminder sounds at the product's sound file, so that the system does not
// sound reminders on its own and the product's alarm thread sounds them instead. Each key is
// written only when it exists, and flushed: the system reads these at once.
static void redirectSystemSounds(const PluginSettings& record) {
    HKEY key = openReminderClassKey();
    if (key) {
        LONG options = 0;
        queryDword(key, ZV_VAL_OPTIONS, &options);
        options = applyBit(options, ZV_OPTION_LED, record.reminderLED);
        options = applyBit(options, ZV_OPTION_VIBRATE, record.reminderVibrate);
        setDword(key, ZV_VAL_OPTIONS, static_cast<DWORD>(options));
        setString(key, ZV_VAL_WAVE, ZV_SOUND_PATH);
        RegFlushKey(key);
        RegCloseKey(key);
    }

    writeRegString(HKEY_CURRENT_USER, ZV_KEY_NOTIFY_SOUNDS, ZV_VAL_WAVE, ZV_SOUND_PATH, REGW_FLUSH);

    for (int alarm = 0; alarm < ZV_CLOCK_ALARM_KEYS; ++alarm) {
        WCHAR name[64];
        StringCchPrintfW(name, 64, ZV_KEY_CLOCK_ALARM_FMT, alarm);
        key = openRegKey(HKEY_LOCAL_MACHINE, name);
        if (!key) continue;
        setString(key, ZV_VAL_ALARMSND, ZV_CLOCK_SOUND);
        setDword(key, ZV_VAL_LEN_ALARMSND, static_cast<DWORD>(wcslen(ZV_CLOCK_SOUND)));
        // The clock's own reminder flags follow the reminder settings only when the user asked
        // for that; otherwise the clock's choice is left alone.
        if (record.clockAsReminder) {
            BYTE flags[4] = {0, 0, 0, 0};
            flags[0] = static_cast<BYTE>(ZV_ALARMNOTFLAGS_BASE +
                                         (record.reminderVibrate ? ZV_ALARMNOTFLAGS_VIBRATE : 0) +
                                         (record.reminderLED ? ZV_ALARMNOTFLAGS_LED : 0));
            RegSetValueExW(key, ZV_VAL_ALARMNOTFLAGS, 0, REG_BINARY, flags, sizeof(flags));
        }
        RegFlushKey(key);
        RegCloseKey(key);
    }

    writeRegString(HKEY_LOCAL_MACHINE, ZV_KEY_CALENDAR_REMINDER, ZV_VAL_WAVEFILE, ZV_SOUND_FILE,
                   REGW_FLUSH);
    writeRegString(HKEY_LOCAL_MACHINE, ZV_KEY_TASKS_REMINDER, ZV_VAL_WAVEFILE, ZV_SOUND_FILE,
                   REGW_FLUSH);
    writeRegString(HKEY_LOCAL_MACHINE, ZV_KEY_AGENDA_FUSION, ZV_VAL_AF_NOTES_ALARM, ZV_SOUND_FILE,
                   REGW_FLUSH);
}

// Asks the audio system to re-read its registry settings. AudioUpdateFromRegistry is an
// export of coredll that the SDK headers do not declare, so it is looked up by name; a
// device without it simply keeps its current audio settings.
static void updateAudioFromRegistry(void) {
    typedef void (*AudioUpdateProc)(void);
    HMODULE coredll = LoadLibraryW(TEXT("coredll.dll"));
    if (!coredll) return;
    AudioUpdateProc update = reinterpret_cast<AudioUpdateProc>(
        GetProcAddressW(coredll, TEXT("AudioUpdateFromRegistry")));
    if (update) update();
    FreeLibrary(coredll);
}

void saveSettings(void) {
    try {
        PluginSettings& record = store.settings;
        HKEY key = createRegKey(HKEY_CURRENT_USER, ZV_PRODUCT_KEY);
        if (key) {
            for (size_t i = 0; i < settingsSaveOrderSize; ++i) {
                const LPCWSTR name = settingsSaveOrder[i];
                if (wcscmp(name, ZV_VAL_NORECURLIST) == 0) {
                    const std::u16string list = getNoRecurList();
                    if (list.empty())
                        RegDeleteValueW(key, name);
                    else
                        setString(key, name, list.c_str());
                    continue;
                }
                const SettingDef* row = findSetting(name);
                if (row) writeSetting(key, *row, record);
            }
            RegFlushKey(key);
            RegCloseKey(key);
        }
        redirectSystemSounds(record);
        updateAudioFromRegistry();
    } catch (...) {
        writeLog("** Exception saveSettings **");
    }
}
