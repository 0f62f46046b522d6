// notify.h: user notifications: programs started at a time or on a device event, and reminders
// that the shell shows to the user (dialog, sound, LED, vibration).
//
// A notification is a trigger (CE_NOTIFICATION_TRIGGER: when, and which program with which
// arguments) and, optionally, what to show the user (CE_USER_NOTIFICATION). The device keeps
// them in its notification database; the shell's notification engine fires them. Handles are
// 32-bit values, the same in every process of the device, stable while the notification lives.
// Values and layouts from the public Windows CE documentation.
#pragma once

#include "windows.h"

#ifdef __cplusplus
extern "C" {
#endif

// ---- Kinds of trigger (CE_NOTIFICATION_TRIGGER.dwType) ------------------------------------------
#define CNT_EVENT       1 // a device event (dwEvent): the program starts each time it happens
#define CNT_TIME        2 // a time: the program starts with lpszArguments as its command line
#define CNT_PERIOD      3 // active between stStartTime and stEndTime
#define CNT_CLASSICTIME 4 // a time, with the standard command line (as CeSetUserNotification)

// ---- Device events (CE_NOTIFICATION_TRIGGER.dwEvent, CeRunAppAtEvent)
// ----------------------------
#define NOTIFICATION_EVENT_NONE                  0 // CeRunAppAtEvent: forget the program's events
#define NOTIFICATION_EVENT_TIME_CHANGE           1
#define NOTIFICATION_EVENT_SYNC_END              2
#define NOTIFICATION_EVENT_ON_AC_POWER           3
#define NOTIFICATION_EVENT_OFF_AC_POWER          4
#define NOTIFICATION_EVENT_NET_CONNECT           5
#define NOTIFICATION_EVENT_NET_DISCONNECT        6
#define NOTIFICATION_EVENT_DEVICE_CHANGE         7
#define NOTIFICATION_EVENT_IR_DISCOVERED         8
#define NOTIFICATION_EVENT_RS232_DETECTED        9
#define NOTIFICATION_EVENT_RESTORE_END           10
#define NOTIFICATION_EVENT_WAKEUP                11
#define NOTIFICATION_EVENT_TZ_CHANGE             12
#define NOTIFICATION_EVENT_MACHINE_NAME_CHANGE   13
#define NOTIFICATION_EVENT_RNDIS_FN_DETECTED     14
#define NOTIFICATION_EVENT_INTERNET_PROXY_CHANGE 15
#define NOTIFICATION_EVENT_LAST                  NOTIFICATION_EVENT_INTERNET_PROXY_CHANGE

// The command lines a program gets when it was registered with CeRunAppAtEvent or
// CeRunAppAtTime (or a CNT_CLASSICTIME trigger) instead of arguments of its own.
#define APP_RUN_AT_TIME                TEXT("AppRunAtTime")
#define APP_RUN_TO_HANDLE_NOTIFICATION TEXT("AppRunToHandleNotification")
#define APP_RUN_AFTER_TIME_CHANGE      TEXT("AppRunAfterTimeChange")
#define APP_RUN_AFTER_SYNC             TEXT("AppRunAfterSync")
#define APP_RUN_AT_AC_POWER_ON         TEXT("AppRunAtAcPowerOn")
#define APP_RUN_AT_AC_POWER_OFF        TEXT("AppRunAtAcPowerOff")
#define APP_RUN_AT_NET_CONNECT         TEXT("AppRunAtNetConnect")
#define APP_RUN_AT_NET_DISCONNECT      TEXT("AppRunAtNetDisconnect")
#define APP_RUN_AT_DEVICE_CHANGE       TEXT("AppRunDeviceChange")
#define APP_RUN_AT_IR_DISCOVERY        TEXT("AppRunAtIrDiscovery")
#define APP_RUN_AT_RS232_DETECT        TEXT("AppRunAtRs232Detect")
#define APP_RUN_AFTER_RESTORE          TEXT("AppRunAfterRestore")
#define APP_RUN_AFTER_WAKEUP           TEXT("AppRunAfterWakeup")
#define APP_RUN_AFTER_TZ_CHANGE        TEXT("AppRunAfterTzChange")
#define APP_RUN_AFTER_EXTENDED_EVENT   TEXT("AppRunAfterExtendedEvent")

// ---- What the user is shown (CE_USER_NOTIFICATION.ActionFlags) ----------------------------------
#define PUN_LED     0x01 // flash the LED
#define PUN_VIBRATE 0x02 // vibrate
#define PUN_DIALOG  0x04 // show the reminder dialog (pwszDialogTitle, pwszDialogText)
#define PUN_SOUND   0x08 // play pwszSound
#define PUN_REPEAT  0x10 // repeat the sound for a while
#define PUN_PRIVATE 0x20 // the reminder is not shown to other programs

// dwStatus of CE_NOTIFICATION_INFO_HEADER.
#define CNS_SIGNALLED 0x00000001 // the notification has fired and waits to be dismissed

// When and what to start. dwSize is sizeof(CE_NOTIFICATION_TRIGGER) (52 on the 32-bit device;
// any size from 52 up to this structure's is accepted).
typedef struct UserNotificationTrigger {
    DWORD dwSize;
    DWORD dwType;           // CNT_*
    DWORD dwEvent;          // NOTIFICATION_EVENT_* for CNT_EVENT
    WCHAR* lpszApplication; // the program, a device path or a name under \Windows
    WCHAR* lpszArguments;   // its command line (CNT_TIME, CNT_EVENT); may be NULL
    SYSTEMTIME stStartTime; // local time (CNT_TIME, CNT_CLASSICTIME, CNT_PERIOD)
    SYSTEMTIME stEndTime;   // CNT_PERIOD only
} CE_NOTIFICATION_TRIGGER, *PCE_NOTIFICATION_TRIGGER;

// What the user sees and hears.
typedef struct UserNotificationType {
    DWORD ActionFlags;      // PUN_*
    TCHAR* pwszDialogTitle; // PUN_DIALOG
    TCHAR* pwszDialogText;  // PUN_DIALOG
    TCHAR* pwszSound;       // PUN_SOUND: a wave file
    DWORD nMaxSound;        // CeGetUserNotificationPreferences: the size of pwszSound
    DWORD dwReserved;
} CE_USER_NOTIFICATION, *PCE_USER_NOTIFICATION;

// The head of the record CeGetUserNotification fills: the pointers lead into the same buffer.
typedef struct UserNotificationInfoHeader {
    HANDLE hNotification;
    DWORD dwStatus; // CNS_SIGNALLED, or 0
    CE_NOTIFICATION_TRIGGER* pcent;
    CE_USER_NOTIFICATION* pceun; // NULL when the notification shows nothing
} CE_NOTIFICATION_INFO_HEADER, *PCE_NOTIFICATION_INFO_HEADER;

// Creates a notification (hNotification NULL) or replaces the one behind hNotification, which
// keeps its handle. pceun may be NULL (nothing shown; the program is simply started). A time
// that has already passed fires at once. Returns the handle, or NULL with GetLastError():
// ERROR_INVALID_PARAMETER (bad trigger), ERROR_INVALID_HANDLE (no such notification).
WINBASEAPI HANDLE CeSetUserNotificationEx(HANDLE hNotification, CE_NOTIFICATION_TRIGGER* pcnt,
                                          CE_USER_NOTIFICATION* pceun);

// The older form: a CNT_CLASSICTIME notification for pwszAppName at lpTime (local).
WINBASEAPI HANDLE CeSetUserNotification(HANDLE hNotification, TCHAR* pwszAppName,
                                        SYSTEMTIME* lpTime,
                                        PCE_USER_NOTIFICATION lpUserNotification);

// Removes a notification (and the reminder on screen, if it is showing).
WINBASEAPI BOOL CeClearUserNotification(HANDLE hNotification);

// The handles of all notifications: event notifications first, in the order they were made,
// then the timed ones in the order they will fire. With cHandles 0 (rghNotifications may be
// NULL) only *pcHandlesNeeded is set. Fails with ERROR_INSUFFICIENT_BUFFER when cHandles is
// too small (the count still set).
WINBASEAPI BOOL CeGetUserNotificationHandles(HANDLE* rghNotifications, DWORD cHandles,
                                             LPDWORD pcHandlesNeeded);

// The whole notification in one buffer: CE_NOTIFICATION_INFO_HEADER, CE_NOTIFICATION_TRIGGER,
// CE_USER_NOTIFICATION (when it has one) and the strings they point at. *pcBytesNeeded is set
// to the size; a buffer that is too small (or cBufferSize 0) fails with
// ERROR_INSUFFICIENT_BUFFER.
WINBASEAPI BOOL CeGetUserNotification(HANDLE hNotification, DWORD cBufferSize,
                                      LPDWORD pcBytesNeeded, LPBYTE pBuffer);

// Starts pwszAppName with the event's command line (APP_RUN_AFTER_*) each time the event
// happens. NOTIFICATION_EVENT_NONE removes all of the program's event registrations.
WINBASEAPI BOOL CeRunAppAtEvent(TCHAR* pwszAppName, LONG lWhichEvent);

// Starts pwszAppName with "AppRunAtTime" at lpTime (local). lpTime NULL removes the program's
// timed registrations.
WINBASEAPI BOOL CeRunAppAtTime(TCHAR* pwszAppName, SYSTEMTIME* lpTime);

// Marks the program's notifications that have fired as handled: their reminders leave the
// screen and they are removed.
WINBASEAPI BOOL CeHandleAppNotifications(TCHAR* pwszAppName);

#ifdef __cplusplus
}
#endif
