// cleanup.cpp: the tear-down of the item window (WM_DESTROY). The window owns everything the
// item made: the list, the skin, the icons, the threads, the databases and Outlook. All of it is
// released here, so that the library can be unloaded, or a later InitializeCustomItem can build
// everything anew.
#include "plugin.h"

#include "alarmlist.h"
#include "alarmthread.h"
#include "birthdays.h"
#include "eventsound.h"
#include "links.h"
#include "listicons.h"
#include "log.h"
#include "notifyqueue.h"
#include "outlook.h"
#include "regnames.h"
#include "regutil.h"
#include "skin.h"
#include "startup.h"
#include "statewatch.h"
#include "zvwindows.h"

namespace {

#define ZV_VAL_APPWINDOW TEXT("appWindow")

void releaseAll(HWND window) {
    if (logBit(LOG_BASIC)) writeLog("cleanupResources");
    pluginState.active = FALSE;
    // Other programs must not find a window that is going away.
    deleteRegValue(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_APPWINDOW, REGW_FLUSH);
    if (HWND host = FindWindowW(ZV_CLASS_HOST, nullptr)) PostMessageW(host, MSG_PLUGIN_GONE, 1, 0);
    unloadAppointmentDisplay();
    closeStateNotifications();
    forgetWindowTimer(TIMER_STARTUP);
    stopWindowTimer(window, TIMER_DEBOUNCE);
    stopWindowTimer(window, TIMER_NEXTSOUND);
    closeNotificationQueue();
    freeAlarmList();
    freeBirthdayList();
    freeSkin();
    stopAlarmThread();
    destroyListIcons();
    unloadEventSound();
    closeOutlook();
}

} // namespace

void cleanupResources(HWND window) {
    // A scan still running would write into what is released here.
    waitForScan();
    try {
        releaseAll(window);
    } catch (...) {
        writeLog("** Exception: WM_CLOSE");
    }
    // Even after a failed tear-down the window is gone: a later InitializeCustomItem must make
    // a new one rather than hand out the handle of a destroyed window.
    forgetWindowTimers();
    pluginState.pluginWindow = nullptr;
}
