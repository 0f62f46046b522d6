// main.cpp: the library's entry points: attach and detach, InitializeCustomItem (ordinal 240),
// which makes the item window, and CustomItemOptionsDlgProc (ordinal 241), the Today screen's
// options request.
#include "plugin.h"

#include "alarmlist.h"
#include "installdir.h"
#include "listdump.h"
#include "log.h"
#include "quiet.h"
#include "regnames.h"
#include "regutil.h"
#include "settings.h"
#include "zvwindows.h"

PluginState pluginState = {
    nullptr, nullptr, FALSE, nullptr, 0, FALSE, FALSE, -1,    -1,      0,
    0,       -1,      0,     0,       0, FALSE, FALSE, FALSE, nullptr, 0,
};

CRITICAL_SECTION recurLock;

namespace {

#define ZV_VAL_APPWINDOW    TEXT("appWindow")
#define ZV_VAL_SKINHEIGHT   TEXT("skinHeight")
#define ZV_VAL_STARTUPDELAY TEXT("startupDelay")
#define ZV_SETTINGS_PROGRAM TEXT("%s\\zvSettings.exe")

// Pocket PC 2003 and older (major version below 5). Nothing depends on the answer any more,
// but the question is asked where it always was.
BOOL isOldOs(void) {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    return GetVersionExW(&info) && info.dwMajorVersion < 5;
}

BOOL registerItemClass(void) {
    // A class left from an earlier load of the library would carry a window procedure that is
    // gone; replace it.
    UnregisterClassW(ZV_CLASS_PLUGIN, pluginState.instance);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = pluginState.instance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = ZV_CLASS_PLUGIN;
    return RegisterClassW(&wc) != 0;
}

LONG screenDpi(int index) {
    HDC screen = GetDC(nullptr);
    LONG dpi = screen ? GetDeviceCaps(screen, index) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// Publishes the window for the other programs and reads the height the item had last time, so
// that the Today screen can lay the item out before the first skin load.
void publishWindow(HWND window) {
    HKEY key = createRegKey(HKEY_CURRENT_USER, ZV_PRODUCT_KEY);
    if (!key) return;
    setDword(key, ZV_VAL_APPWINDOW, HandleToULong(window));
    queryDword(key, ZV_VAL_SKINHEIGHT, &pluginState.itemHeight);
    RegCloseKey(key);
}

LONG readStartupDelay(void) {
    LONG delay = STARTUP_DELAY_DEFAULT;
    if (!readRegDword(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_STARTUPDELAY, &delay))
        return STARTUP_DELAY_DEFAULT;
    if (delay < 0 || delay > STARTUP_DELAY_MAX) return STARTUP_DELAY_DEFAULT;
    return delay;
}

} // namespace

LONG scaleLogical(LONG value, LONG dpi) {
    return (value * dpi + 48) / 96;
}

void attachLibrary(HINSTANCE instance) {
    pluginState.instance = instance;
    InitializeCriticalSection(&recurLock);
    initAlarmListLock();
    DisableThreadLibraryCalls(instance);
}

void detachLibrary(void) {
    DeleteCriticalSection(&recurLock);
    deleteAlarmListLock();
    UnregisterClassW(ZV_CLASS_PLUGIN, pluginState.instance);
}

HWND InitializeCustomItem(TODAYLISTITEM* item, HWND parent) {
    if (!item || !item->fEnabled) return nullptr;
    pluginState.parentWindow = parent;
    pluginState.active = TRUE;
    if (pluginState.pluginWindow) {
        if (logBit(LOG_BASIC)) writeLog("InitializeCustomItem: Not first time");
        return pluginState.pluginWindow;
    }
    registerItemClass();
    registerListDumpMessage();
    isOldOs();
    loadSettings();
    setBatteryTimeout();

    LONG width = scaleLogical(ITEM_WIDTH_LOGICAL, screenDpi(LOGPIXELSX));
    HWND window = CreateWindowExW(0, ZV_CLASS_PLUGIN, ZV_PLUGIN_TITLE, WS_CHILD | WS_VISIBLE, 0, 0,
                                  width, 0, parent, nullptr, pluginState.instance, nullptr);
    if (!window) {
        writeLogFormat("** InitializeCustomItem: no window, error %d",
                       static_cast<int>(GetLastError()));
        return nullptr;
    }
    pluginState.pluginWindow = window;
    publishWindow(window);
    if (!windowTimerRunning(TIMER_STARTUP))
        startWindowTimer(window, TIMER_STARTUP, static_cast<UINT>(readStartupDelay()) * 1000);
    return window;
}

LRESULT CustomItemOptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_INITDIALOG) return DefWindowProcW(dialog, message, wParam, lParam);
    // The settings program reads the registry, so it must see what this process holds now.
    saveSettings();
    WCHAR folder[ZV_INSTALLFOLDER_CCH] = {};
    lstrcpynW(folder, getSettings().installFolder, ZV_INSTALLFOLDER_CCH);
    if (!folder[0]) findInstallFolder(folder, ZV_INSTALLFOLDER_CCH);
    WCHAR program[MAX_PATH];
    wsprintfW(program, ZV_SETTINGS_PROGRAM, folder);
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(program, TEXT(""), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                       &info)) {
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    } else {
        writeLogFormat("** CustomItemOptionsDlgProc: cannot start %S, error %d", program,
                       static_cast<int>(GetLastError()));
    }
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    return TRUE;
}
