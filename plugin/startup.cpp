// startup.cpp: start-up (Startup) and the reload of the alarm list (reloadAlarms and the scan
// thread GetAlarmThread).
//
// Every change request goes through reloadAlarms. An unforced request waits 5 s for more
// (the debounce timer), so a burst of database notices gives one scan; a forced one starts the
// scan thread at once. Scans are serialised by scanLock, so when two forced scans overlap the
// later one runs after the earlier one and its list is the one that stays.
#include "startup.h"

#include <cstdio>

#include <aygshell.h>
#include <objbase.h>

#include "alarmlist.h"
#include "alarmthread.h"
#include "detectdevice.h"
#include "eventsound.h"
#include "listicons.h"
#include "log.h"
#include "notifyqueue.h"
#include "outlook.h"
#include "plugin.h"
#include "regnames.h"
#include "regutil.h"
#include "scan.h"
#include "settings.h"
#include "skin.h"
#include "statewatch.h"
#include "zvwindows.h"

BOOL landscape = FALSE;
BOOL narrow = FALSE;
float scaleX = 1.0f;
float scaleY = 1.0f;
BOOL keyvanePresent = FALSE;
WCHAR helpBase[32] = {};

namespace {

#define ZV_VERSION_TEXT    TEXT("3.01 (Build 175)")
#define API_WAIT_MS        50
#define DEBOUNCE_MS        5000
#define DELAYED_REFRESH_MS 2000
#define RETRY_MS           3000
#define NEXTSOUND_MS       5000

#define KEYVANE_KEY      TEXT("Software\\Apps\\Brenvox Keyvane")
#define TODAY_ITEM_KEY   TEXT("Software\\Microsoft\\Today\\Items\\\"Zolvane\"")
#define ZV_VAL_ZVENABLED TEXT("zvEnabled")
#define ZV_VAL_ENABLED   TEXT("Enabled")
#define CLEANUP_PROGRAM  TEXT("\\windows\\zvCleanup.exe")

// Set while a scan runs; written by the scan thread, read by the window thread.
volatile LONG scanInProgress = 0;
CRITICAL_SECTION scanLock;
BOOL scanLockMade = FALSE;

// The common controls, the date and time pickers and the ink controls live in libraries of
// their own; a device without one of them still runs the item (without what it offers).
void initControlLibraries(void) {
    if (HMODULE commctrl = LoadLibraryW(TEXT("commctrl.dll"))) {
        typedef void (*InitCommonControlsProc)(void);
        if (auto init = reinterpret_cast<InitCommonControlsProc>(
                GetProcAddressW(commctrl, MAKEINTRESOURCEW(1))))
            init();
        struct InitControls {
            DWORD dwSize;
            DWORD dwICC;
        } controls = {8, 0x100}; // the date and time pickers
        typedef BOOL (*InitCommonControlsExProc)(InitControls*);
        if (auto initEx = reinterpret_cast<InitCommonControlsExProc>(
                GetProcAddressW(commctrl, TEXT("InitCommonControlsEx"))))
            initEx(&controls);
    }
    SHInitExtraControls();
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    initEventSound();
    typedef BOOL (*InitInkProc)(void);
    if (HMODULE richink = LoadLibraryW(TEXT("richink.dll")))
        if (auto init =
                reinterpret_cast<InitInkProc>(GetProcAddressW(richink, TEXT("InitRichInkDLL"))))
            init();
    if (HMODULE inkx = LoadLibraryW(TEXT("inkx.dll")))
        if (auto init = reinterpret_cast<InitInkProc>(GetProcAddressW(inkx, TEXT("InitInkX"))))
            init();
}

void takeScreenFacts(HWND window) {
    LONG width = GetSystemMetrics(SM_CXSCREEN);
    LONG height = GetSystemMetrics(SM_CYSCREEN);
    RECT client = {};
    GetClientRect(window, &client);
    landscape = height <= width;
    narrow = client.right < width;
    scaleX = static_cast<float>(width) * (1.0f / 240.0f);
    scaleY = static_cast<float>(height) * (1.0f / 320.0f);
}

// Tells the settings program and the host whether the Today item is switched on.
void publishTodayEnabled(void) {
    HKEY product = openRegKey(HKEY_CURRENT_USER, ZV_PRODUCT_KEY);
    if (!product) return;
    LONG enabled = 1;
    HKEY item = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TODAY_ITEM_KEY, 0, 0, &item) == ERROR_SUCCESS) {
        queryDword(item, ZV_VAL_ENABLED, &enabled);
        RegCloseKey(item);
    }
    setDword(product, ZV_VAL_ZVENABLED, static_cast<DWORD>(enabled));
    RegFlushKey(product);
    RegCloseKey(product);
}

void startProgram(LPCWSTR program, LPCWSTR commandLine) {
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                       &info)) {
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
}

} // namespace

void Startup(void) {
    HWND window = pluginState.pluginWindow;
    stopWindowTimer(window, TIMER_STARTUP);
    // Graphics and the shell must be up before the item draws or asks the shell for anything.
    while (!IsAPIReady(SH_GDI) || !IsAPIReady(SH_SHELL))
        Sleep(API_WAIT_MS);
    if (!scanLockMade) {
        InitializeCriticalSection(&scanLock);
        scanLockMade = TRUE;
    }
    initControlLibraries();
    pluginState.hotRecordingMessage = RegisterWindowMessageW(ZV_HOTRECORDING_MESSAGE);
    if (logBit(LOG_BASIC))
        writeLogFormat("*** Starting.... v%S, dup:%d ***", ZV_VERSION_TEXT,
                       static_cast<int>(getSettings().autoCleanup));
    takeScreenFacts(window);
    registerStateNotifications(window);
    openOutlook();
    openNotificationQueue(window);
    startAlarmThread(window);
    lstrcpynW(helpBase, TEXT("file:Zolvane.htm#"), 32);
    loadListIcons();
    keyvanePresent = regKeyExists(HKEY_LOCAL_MACHINE, KEYVANE_KEY);
    detectDevice();
    loadSkinFromSettings();
    clearScanInProgress();
    stopWindowTimer(window, TIMER_RELOADRETRY);
    reloadAlarms(TRUE);
    startProgram(CLEANUP_PROGRAM, nullptr);
    publishTodayEnabled();
    if (logBit(LOG_BASIC)) writeLog("end Startup");
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
}

void waitForScan(void) {
    if (!scanLockMade) return;
    EnterCriticalSection(&scanLock);
    LeaveCriticalSection(&scanLock);
}

BOOL scanRunning(void) {
    return scanInProgress != 0;
}

void clearScanInProgress(void) {
    scanInProgress = 0;
}

void reloadAlarms(BOOL force) {
    HWND window = pluginState.pluginWindow;
    if (!window) return;
    if (scanInProgress && !force) {
        if (logBit(LOG_DETAIL)) writeLog("reloadAlarms: Already in progress");
        if (!windowTimerRunning(TIMER_RELOADRETRY))
            startWindowTimer(window, TIMER_RELOADRETRY, RETRY_MS);
        return;
    }
    if (windowTimerRunning(TIMER_RELOADRETRY)) {
        stopWindowTimer(window, TIMER_RELOADRETRY);
        if (logBit(LOG_DETAIL)) writeLog("reloadAlarms: Force - in progress");
    }
    if (force) {
        stopWindowTimer(window, TIMER_DEBOUNCE);
        if (logBit(LOG_SIGNAL)) writeLog("reloadAlarms: Start");
        if (!scanLockMade) {
            InitializeCriticalSection(&scanLock);
            scanLockMade = TRUE;
        }
        HANDLE thread = CreateThread(nullptr, 0, GetAlarmThread, nullptr, 0, nullptr);
        if (thread)
            CloseHandle(thread);
        else
            writeLog("** reloadAlarms: no scan thread **");
        startWindowTimer(window, TIMER_NEXTSOUND, NEXTSOUND_MS);
    } else {
        startWindowTimer(window, TIMER_DEBOUNCE, DEBOUNCE_MS);
        if (logBit(LOG_SIGNAL)) writeLog("reloadAlarms: No force");
    }
}

DWORD WINAPI GetAlarmThread(LPVOID) {
    EnterCriticalSection(&scanLock);
    try {
        scanInProgress = 1;
        HWND window = pluginState.pluginWindow;
        LONG oldCount = alarmCount;
        AlarmList* fresh = createAlarmList();
        LONG count = 0;
        if (!fresh)
            writeLog("** Memory Error - reload alarms **");
        else
            count = getAlarms(fresh, getSettings().maxAlarms, currentShowMask());
        if (count < 0) {
            if (logBit(LOG_DETAIL)) writeLog("Delayed refresh");
            deleteAlarmList(fresh);
            scanInProgress = 0;
            stopWindowTimer(window, TIMER_RELOADRETRY);
            startWindowTimer(window, TIMER_DEBOUNCE, DELAYED_REFRESH_MS);
        } else {
            replaceAlarmList(fresh, count);
            if (logBit(LOG_DETAIL)) {
                lockAlarmList();
                const AlarmItem* first =
                    alarmList && alarmCount > 0 ? &alarmList->items[0] : nullptr;
                writeLogFormat("end GetAlarmThread, Next: %d:%d - %S",
                               first ? first->alarmTime.wHour : 0,
                               first ? first->alarmTime.wMinute : 0,
                               first && first->text ? first->text : TEXT(""));
                unlockAlarmList();
            }
            if (currentSkin && count != oldCount) {
                pluginState.firstLine = 0;
                pluginState.thumbTop = scrollThumbOrigin();
            }
            pluginState.heightChanged = TRUE;
            scanInProgress = 0;
            stopWindowTimer(window, TIMER_RELOADRETRY);
        }
    } catch (...) {
        writeLog("** GetAlarmThread: Exception **");
        scanInProgress = 0;
    }
    LeaveCriticalSection(&scanLock);
    return 0;
}
