// zvwindows.h: the window classes and the private messages that pass between the programs of
// the product. Every program finds another program's window by its class (the Today item
// first through the appWindow registry value, see companion.h for the Tellarim classes), and
// every message number here is fixed: none is registered, so a program built at another time
// still understands it.
#pragma once

#include <windows.h>

// ---- Window classes ------------------------------------------------------------------------

// The Today item window, made by the plug-in library in the Today screen or in zvHost.
#define ZV_CLASS_PLUGIN TEXT("ZolvaneMaxCls")
// The title of the Today item window.
#define ZV_PLUGIN_TITLE TEXT("Zolvane")
// zvHost's main window.
#define ZV_CLASS_HOST TEXT("bv_zvHostWndCls")
// An alarmNote being shown, by zvNotes or by the plug-in's alarmNote dialog; while one exists
// no second one opens.
#define ZV_CLASS_ALARMNOTES TEXT("ZolvaneAlarmNotesCls")

// ---- Messages to the Today item window -------------------------------------------------------

// zvWakeup: open the alarmNotes link; wParam 1 starts the next editor with voice recording.
#define MSG_OPEN_ALARMNOTE 0x81F6
// zvCleanup, 5 s after its repair run: re-arm the recurring alarms.
#define MSG_UPDATE_RECUR 0x81FE
// zvNotes after it deleted an alarmNote: the Outlook "item deleted" number, a debounced reload.
#define MSG_NOTE_DELETED 0x8101
// zvSettings on exit: reload the settings, and what the bits of wParam ask for.
#define MSG_EXIT_SETTINGS           0x8202
#define EXIT_SETTINGS_RELOAD_ALARMS 0x1
#define EXIT_SETTINGS_RELOAD_SKIN   0x2
#define EXIT_SETTINGS_HEIGHT        0x4
#define EXIT_SETTINGS_ALL           0x7
// zvWakeup: wParam the wanted quiet state (1 on, 0 off); lParam 1 runs the quiet-mode toggle,
// any other value sets the state directly.
#define MSG_EXTERNAL_MUTE    0x8204
#define EXTERNAL_MUTE_TOGGLE 1
// zvHost (sent): wParam the window whose colour is the item's background when hosted.
#define MSG_HOST_BACKDROP 0x8207

// ---- Messages to zvHost ---------------------------------------------------------------------

// The plug-in: wParam 1 an alarm started sounding, 0 the reminder state went idle.
#define MSG_ZV_ALARM_NOTIFY 0x8206
// The plug-in's alarmNotes link, or a second zvHost: open or close the host window.
#define MSG_HOST_OPEN 0x8228
// The plug-in: its window is being destroyed (wParam 1).
#define MSG_PLUGIN_GONE 0x8230
// zvSettings: end, so that it can be started anew with a changed host mode.
#define MSG_SHUTDOWN_TIMER 0x8205

// ---- Registered messages --------------------------------------------------------------------

// Registered at start-up; the alarmNote editor forwards it to its voice-recording control.
#define ZV_HOTRECORDING_MESSAGE TEXT("WM_HOTRECORDING")
