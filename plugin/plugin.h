// plugin.h: the Today item's frame: the library's entry points, its one window and the
// process-wide record that the window procedure, its timers and the tear-down share.
//
// The Today screen (or zvHost) calls InitializeCustomItem, which only makes the window and
// starts the start-up timer; everything heavy happens in Startup when that timer fires. All of
// the record belongs to the window thread unless a field says otherwise: worker threads talk to
// the window by posting messages or starting timers on it.
#pragma once

#include <windows.h>
#include <todaycmn.h>

// ---- Timers of the item window ---------------------------------------------------------------

#define TIMER_DEBOUNCE    0x81F5 // reloadAlarms (not forced): 5000 ms, then a forced reload
#define TIMER_STARTUP     0x81F7 // InitializeCustomItem: startupDelay s, then Startup
#define TIMER_SCROLLDOWN  0x81F8 // auto-repeat while the pen holds the scroll-down button
#define TIMER_SCROLLUP    0x81F9 // auto-repeat while the pen holds the scroll-up button
#define TIMER_SKINREFRESH 0x81FA // WM_MOVE/WM_SIZE 150 ms, skin code 100 ms
#define TIMER_NEXTSOUND   0x81FC // forced reload: 5000 ms, then the next alarm's sound
#define TIMER_MENUGUARD   0x81FD // 1000 ms after a pop-up menu closed
#define TIMER_SELECTION   0x81FF // selection time-out
#define TIMER_RELOADRETRY 0x8201 // reloadAlarms while a scan runs: 3000 ms
#define TIMER_DRAG        0x8203 // end of a thumb drag, 500 ms after its last step

#define SKINREFRESH_MOVE_MS     150
#define SELECTION_TIMEOUT_UP_MS 120000 // after the selection arrived from below (VK_UP)
#define STARTUP_DELAY_DEFAULT   1      // seconds, also for values outside 0..10
#define STARTUP_DELAY_MAX       10

// The item window is 240 logical pixels wide; list margins are 4.
#define ITEM_WIDTH_LOGICAL  240
#define ITEM_MARGIN_LOGICAL 4

// The skin item that is the text window, the one place where a drag scrolls the list.
#define PRESSED_TEXTWINDOW 10

// ---- The process-wide record -----------------------------------------------------------------

struct PluginState {
    HWND parentWindow;  // the Today window given to InitializeCustomItem
    HWND pluginWindow;  // the item window; null before creation and after cleanupResources
    BOOL active;        // from the first InitializeCustomItem until cleanupResources
    HINSTANCE instance; // the library's module, stored at attach
    LONG itemHeight;    // the item's height on the Today screen, persisted as skinHeight
    BOOL heightChanged; // recompute the height at the next cache query
    BOOL hasFocus;      // the Today screen has given the item the selection
    LONG selectedLine;  // list line for the action key, -1 none
    LONG navIndex;      // position in the skin's navigation order with the key focus, -1 none
    LONG firstLine;     // first list line shown
    LONG thumbTop;      // y of the scroll thumb
    LONG pressedItem;   // skin item hit at pen-down, -1 none
    SHORT lastPointerX; // last pointer position seen while moving
    SHORT lastPointerY;
    LONG lastWindowY;         // window top from the last WM_MOVE
    BOOL dragging;            // a thumb drag runs
    BOOL recordNow;           // the next alarmNote editor opens with voice recording running
    BOOL menuJustClosed;      // a pop-up menu closed less than a second ago
    HWND hostBackdrop;        // zvHost's window whose colour is the background when hosted
    UINT hotRecordingMessage; // "WM_HOTRECORDING", registered at Startup
};

extern PluginState pluginState;

// The critical section that serialises the recurring-alarm file and the custom-alarm writes;
// it lives from library attach to detach.
extern CRITICAL_SECTION recurLock;

// ---- Entry points ----------------------------------------------------------------------------

// Ordinal 240: makes the item window (once), publishes it as appWindow and starts the start-up
// timer. Null for a disabled item.
HWND InitializeCustomItem(TODAYLISTITEM* item, HWND parent);
// Ordinal 241: the options "dialog" only saves the settings and starts zvSettings.
LRESULT CustomItemOptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Library attach and detach, called by DllMain (and by the tests, which link the item's code
// into their own program).
void attachLibrary(HINSTANCE instance);
void detachLibrary(void);

// ---- The window ------------------------------------------------------------------------------

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// WM_TODAYCUSTOM_QUERYREFRESHCACHE: recomputes the item's height into item->cyp; TRUE when it
// changed (the Today screen then lays its items out anew).
BOOL queryRefreshCache(HWND window, TODAYLISTITEM* item);

// WM_TIMER of the item window.
void handleWindowsTimer(HWND window, UINT_PTR timer);
// Starts (or restarts) one of the window's timers and keeps its handle, so that the window
// knows which of its timers run (a handle of 0 means: not running). Any thread may call these.
void startWindowTimer(HWND window, UINT_PTR timer, UINT elapseMs);
// Stops one of the window's timers if it runs and forgets its handle.
void stopWindowTimer(HWND window, UINT_PTR timer);
// Whether one of the window's timers runs.
BOOL windowTimerRunning(UINT_PTR timer);
// Forgets a timer's handle without stopping it (its window is going, and the timer with it).
void forgetWindowTimer(UINT_PTR timer);
// Forgets every timer handle: the window is gone, and its timers with it.
void forgetWindowTimers(void);

// WM_DESTROY: releases everything the window owns, so that a later InitializeCustomItem
// starts from nothing.
void cleanupResources(HWND window);

// (dpi value + 48) / 96: a size in 96-dpi units scaled to the screen.
LONG scaleLogical(LONG value, LONG dpi);
