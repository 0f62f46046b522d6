// timers.cpp: the item window's timers: which of them run, and what each does when it fires.
//
// The window keeps the handle of each of its timers (0 while it does not run), because several
// handlers ask whether a timer runs: a pen-up while the drag timer runs ends a drag instead of
// tapping, a WM_MOVE to the same place is ignored unless a skin refresh is pending. Worker
// threads start timers on the window too, so the handles are kept as whole aligned words.
#include "plugin.h"

#include "alarmlist.h"
#include "log.h"
#include "nextsound.h"
#include "paint.h"
#include "settings.h"
#include "skin.h"
#include "startup.h"

namespace {

struct WindowTimer {
    UINT_PTR id;
    volatile UINT_PTR handle;
};

WindowTimer windowTimers[] = {
    {TIMER_DEBOUNCE, 0},    {TIMER_STARTUP, 0},   {TIMER_SCROLLDOWN, 0}, {TIMER_SCROLLUP, 0},
    {TIMER_SKINREFRESH, 0}, {TIMER_NEXTSOUND, 0}, {TIMER_MENUGUARD, 0},  {TIMER_SELECTION, 0},
    {TIMER_RELOADRETRY, 0}, {TIMER_DRAG, 0},
};

WindowTimer* findTimer(UINT_PTR id) {
    for (WindowTimer& t : windowTimers)
        if (t.id == id) return &t;
    return nullptr;
}

void repaintWhole(HWND window) {
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
}

// One line on, or back: the thumb follows the first line shown.
void scrollList(LONG step) {
    pluginState.firstLine += step;
    pluginState.thumbTop = scrollThumbOrigin() + pluginState.firstLine * thumbStep;
    paintData(nullptr);
}

void skinRefresh(HWND window) {
    if (logBit(LOG_BASIC)) writeLog("MSG_SKINREFRESH_TIMER");
    if (!currentSkin)
        loadSkinFromSettings();
    else if (getSettings().showOffset == 1)
        getAllSpaceHeight();
    backgroundDirty = TRUE;
    repaintWhole(window);
}

void selectionTimeout(HWND window) {
    pluginState.selectedLine = -1;
    pluginState.navIndex = 0;
    pluginState.firstLine = 0;
    pluginState.thumbTop = scrollThumbOrigin();
    repaintWhole(window);
}

void runTimer(HWND window, UINT_PTR timer) {
    // The scroll timers repeat while the pen holds the button; every other timer fires once.
    if (timer != TIMER_SCROLLDOWN && timer != TIMER_SCROLLUP) stopWindowTimer(window, timer);
    switch (timer) {
    case TIMER_STARTUP: Startup(); break;
    case TIMER_DEBOUNCE: reloadAlarms(TRUE); break;
    case TIMER_RELOADRETRY:
        clearScanInProgress();
        reloadAlarms(FALSE);
        break;
    case TIMER_NEXTSOUND: setNextSound(); break;
    case TIMER_SKINREFRESH: skinRefresh(window); break;
    case TIMER_SCROLLDOWN:
        if (pluginState.firstLine < alarmCount - visibleLines) scrollList(1);
        break;
    case TIMER_SCROLLUP:
        if (pluginState.firstLine >= 1) scrollList(-1);
        break;
    case TIMER_SELECTION: selectionTimeout(window); break;
    case TIMER_DRAG: pluginState.dragging = FALSE; break;
    case TIMER_MENUGUARD: pluginState.menuJustClosed = FALSE; break;
    default: break;
    }
}

} // namespace

void startWindowTimer(HWND window, UINT_PTR timer, UINT elapseMs) {
    UINT_PTR handle = SetTimer(window, timer, elapseMs, nullptr);
    if (WindowTimer* t = findTimer(timer)) t->handle = handle;
}

void stopWindowTimer(HWND window, UINT_PTR timer) {
    KillTimer(window, timer);
    if (WindowTimer* t = findTimer(timer)) t->handle = 0;
}

BOOL windowTimerRunning(UINT_PTR timer) {
    const WindowTimer* t = findTimer(timer);
    return t && t->handle != 0;
}

void forgetWindowTimer(UINT_PTR timer) {
    if (WindowTimer* t = findTimer(timer)) t->handle = 0;
}

void forgetWindowTimers(void) {
    for (WindowTimer& t : windowTimers)
        t.handle = 0;
}

void handleWindowsTimer(HWND window, UINT_PTR timer) {
    try {
        runTimer(window, timer);
    } catch (...) {
        writeLog("** Exception handleWindowsTimer **");
    }
}
