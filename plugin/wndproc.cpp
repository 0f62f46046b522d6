// wndproc.cpp: the item window's procedure: the Today screen's protocol, pointer input, the
// database and Outlook notices that make the list reload, and the private messages of the other
// programs. Every handler runs inside one exception guard: a fault is logged with the message
// and the window carries on.
#include "plugin.h"

#include <windbase.h>

#include "lineactions.h"
#include "links.h"
#include "listdump.h"
#include "log.h"
#include "navigate.h"
#include "notifyqueue.h"
#include "paint.h"
#include "quiet.h"
#include "recurring.h"
#include "settings.h"
#include "skin.h"
#include "startup.h"
#include "statewatch.h"
#include "zvwindows.h"

namespace {

// Outlook's item notices to the window that logged on: created, deleted, changed; first local
// changes, then those of synchronisation.
#define PIM_ITEM_CREATED        0x8100
#define PIM_ITEM_DELETED        0x8101
#define PIM_ITEM_CHANGED        0x8102
#define PIM_ITEM_CREATED_REMOTE 0x8105
#define PIM_ITEM_DELETED_REMOTE 0x8106
#define PIM_ITEM_CHANGED_REMOTE 0x8107

void repaintWhole(HWND window) {
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
}

LONG pointX(LPARAM lParam) {
    return static_cast<SHORT>(LOWORD(lParam));
}

LONG pointY(LPARAM lParam) {
    return static_cast<SHORT>(HIWORD(lParam));
}

LRESULT receivedSelection(HWND window, WPARAM key) {
    pluginState.hasFocus = TRUE;
    if (logBit(LOG_DETAIL))
        writeLogFormat(
            "GetSel: sel=%d, text=%d, skin:%d", static_cast<int>(pluginState.selectedLine),
            static_cast<int>(pluginState.firstLine), static_cast<int>(pluginState.navIndex));
    if (key == VK_UP) {
        // Coming up from below: the list starts at its first line, selected.
        pluginState.selectedLine = 0;
        pluginState.firstLine = 0;
        pluginState.thumbTop = scrollThumbOrigin();
        startWindowTimer(window, TIMER_SELECTION, SELECTION_TIMEOUT_UP_MS);
    }
    repaintWhole(window);
    return TRUE;
}

void todayAction(HWND window) {
    if (pluginState.selectedLine >= 0) {
        loadItem(window, pluginState.selectedLine);
        return;
    }
    const SkinDef* skin = currentSkin;
    if (!skin || pluginState.navIndex < 0) {
        linkAction(window, LINK_ALARMNOTE, 0);
        return;
    }
    // The skin element with the key focus is pressed and released like a tap on it.
    if (pluginState.navIndex >= skin->navCount) return;
    LONG element = skin->navOrder[pluginState.navIndex];
    if (element < 0 || element >= SKIN_ITEM_COUNT) return;
    LONG x = skin->items[element].left + 2;
    LONG y = skin->items[element].top + 2;
    pluginState.pressedItem = isSkinItem(x, y, 0);
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void dbNotification(LPARAM lParam) {
    CENOTIFICATION* notice = reinterpret_cast<CENOTIFICATION*>(lParam);
    if (notice && logBit(LOG_SIGNAL) && !windowTimerRunning(TIMER_DEBOUNCE)) {
        const char* what = notice->uType == DB_CEOID_CREATED          ? "New"
                           : notice->uType == DB_CEOID_RECORD_DELETED ? "Deleted"
                                                                      : "Changed";
        writeLogFormat("WM_DBNOTIFICATION: %s", what);
    }
    if (notice) freeDbNotification(notice);
    reloadAlarms(FALSE);
}

void outlookNotification(UINT message) {
    if (logBit(LOG_DETAIL)) {
        if (message == PIM_ITEM_CHANGED || message == PIM_ITEM_CHANGED_REMOTE)
            writeLog("Database changed");
        else if (message == PIM_ITEM_CREATED || message == PIM_ITEM_CREATED_REMOTE)
            writeLog("Database new");
        else
            writeLog("Database delete");
    }
    reloadAlarms(FALSE);
}

void exitSettings(WPARAM changes) {
    if (logBit(LOG_BASIC)) writeLog("MSG_EXIT_SETTINGS");
    loadSettings();
    if (changes & EXIT_SETTINGS_RELOAD_ALARMS) reloadAlarms(TRUE);
    if (changes & EXIT_SETTINGS_RELOAD_SKIN) loadSkinFromSettings();
    if (changes & EXIT_SETTINGS_HEIGHT) pluginState.heightChanged = TRUE;
}

void mouseMove(HWND window, LPARAM lParam) {
    LONG x = pointX(lParam);
    LONG y = pointY(lParam);
    if (!pluginState.dragging) {
        if (pluginState.pressedItem != PRESSED_TEXTWINDOW) return;
        onFingerDrag(y, pluginState.lastPointerY);
    } else {
        if (x == pluginState.lastPointerX && y == pluginState.lastPointerY) return;
        onThumbDrag(y);
    }
    pluginState.lastPointerX = static_cast<SHORT>(x);
    pluginState.lastPointerY = static_cast<SHORT>(y);
}

void buttonDown(HWND window, LPARAM lParam) {
    pluginState.pressedItem = -1;
    LONG x = pointX(lParam);
    LONG y = pointY(lParam);
    LONG item = isSkinItem(x, y, 0);
    if (item >= 0 && currentSkin) onStylusDown(window, x, y, item);
}

void buttonUp(HWND window, LPARAM lParam) {
    if (windowTimerRunning(TIMER_DRAG)) {
        // The pen lifted at the end of a thumb drag: the drag was the gesture, not a tap.
        stopWindowTimer(window, TIMER_DRAG);
        pluginState.dragging = FALSE;
        return;
    }
    LONG x = pointX(lParam);
    LONG y = pointY(lParam);
    LONG item = isSkinItem(x, y, 1);
    if (item >= 0 && currentSkin && item == pluginState.pressedItem) itemTapped(window, x, y, item);
}

void windowMoved(HWND window, LPARAM lParam) {
    if (!currentSkin) return;
    LONG x = pointX(lParam);
    LONG y = pointY(lParam);
    if (y == pluginState.lastWindowY && !windowTimerRunning(TIMER_SKINREFRESH)) return;
    if (logBit(LOG_DETAIL))
        writeLogFormat("WM_MOVE: %d, %d - old: %d", static_cast<int>(x), static_cast<int>(y),
                       static_cast<int>(pluginState.lastWindowY));
    startWindowTimer(window, TIMER_SKINREFRESH, SKINREFRESH_MOVE_MS);
    pluginState.lastWindowY = y;
}

void windowSized(HWND window, LPARAM lParam) {
    if (!currentSkin) return;
    if (logBit(LOG_DETAIL))
        writeLogFormat("WM_SIZE: %d, %d", static_cast<int>(LOWORD(lParam)),
                       static_cast<int>(HIWORD(lParam)));
    startWindowTimer(window, TIMER_SKINREFRESH, SKINREFRESH_MOVE_MS);
}

void paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (dc) onRotate(window, dc);
    EndPaint(window, &ps);
}

LRESULT dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= BROKER_MSG_FIRST && message <= BROKER_MSG_LAST)
        return doProcessBrokerMsg(window, message, wParam, lParam);
    if (message == listDumpMessage && listDumpMessage != 0) return writeListDump();
    switch (message) {
    case WM_TODAYCUSTOM_CLEARCACHE:
        if (logBit(LOG_DETAIL)) writeLog("WM_TODAYCUSTOM_CLEARCACHE");
        return 0;
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE:
        return queryRefreshCache(window, reinterpret_cast<TODAYLISTITEM*>(lParam));
    case WM_TODAYCUSTOM_RECEIVEDSELECTION: return receivedSelection(window, wParam);
    case WM_TODAYCUSTOM_LOSTSELECTION:
        pluginState.hasFocus = FALSE;
        pluginState.selectedLine = -1;
        repaintWhole(window);
        return 0;
    case WM_TODAYCUSTOM_USERNAVIGATION: return onNavKey(window, static_cast<UINT>(wParam));
    case WM_TODAYCUSTOM_ACTION: todayAction(window); return 0;
    case WM_DBNOTIFICATION: dbNotification(lParam); return 0;
    case DB_CEOID_CREATED:
    case DB_CEOID_RECORD_DELETED:
    case DB_CEOID_CHANGED: reloadAlarms(FALSE); return 0;
    case PIM_ITEM_CREATED:
    case PIM_ITEM_DELETED:
    case PIM_ITEM_CHANGED:
    case PIM_ITEM_CREATED_REMOTE:
    case PIM_ITEM_DELETED_REMOTE:
    case PIM_ITEM_CHANGED_REMOTE: outlookNotification(message); return 0;
    case MSG_OPEN_ALARMNOTE:
        if (wParam == 1) pluginState.recordNow = TRUE;
        linkAction(window, LINK_ALARMNOTE, 0);
        return 0;
    case MSG_UPDATE_RECUR:
        if (logBit(LOG_BASIC)) writeLog("MSG_UPDATE_RECUR");
        // Forget when the recurring alarms were last armed, so that the check arms them now.
        getSettings().lastRecurUpdate = 0;
        checkForRecurringAlarms();
        return 0;
    case MSG_EXIT_SETTINGS: exitSettings(wParam); return 0;
    case MSG_EXTERNAL_MUTE: externalMute(window, wParam, lParam); return 0;
    case MSG_HOST_BACKDROP:
        if (wParam) pluginState.hostBackdrop = reinterpret_cast<HWND>(wParam);
        return 0;
    case WM_MOUSEMOVE: mouseMove(window, lParam); return 0;
    case WM_LBUTTONDOWN: buttonDown(window, lParam); return 0;
    case WM_LBUTTONUP: buttonUp(window, lParam); return 0;
    case WM_DESTROY:
        cleanupResources(window);
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_MOVE: windowMoved(window, lParam); return 0;
    case WM_SIZE: windowSized(window, lParam); return 0;
    case WM_PAINT: paint(window); return 0;
    case WM_ERASEBKGND: return 1; // the paint covers the whole item
    case WM_TIMER: handleWindowsTimer(window, wParam); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return dispatch(window, message, wParam, lParam);
    } catch (...) {
        writeLogFormat("WndProc: Exception, msg:%d, %d", static_cast<int>(message),
                       static_cast<int>(wParam));
        return 0;
    }
}
