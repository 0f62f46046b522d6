// notifyqueue.h: the notification queue database "DB_notify_queue" on "\mxip_notify.vol", which
// the scan reads beside the notifications (the time each one will really fire) and whose change
// notices (WM_DBNOTIFICATION) make the item reload.
#pragma once

#include <windows.h>
#include <windbase.h>

// The open queue database, or INVALID_HANDLE_VALUE while it is not available (the scan then
// uses the notifications' own start times).
extern HANDLE notifyQueueDb;

// Mounts the volume and opens the queue database with a notify request for window; logs
// "Error: Unable to open DB_notify_queue!" when that fails.
void openNotificationQueue(HWND window);
// Frees a change notice the window received.
void freeDbNotification(CENOTIFICATION* notice);
// Closes the queue database, frees the notify request and unmounts the volume if it was
// mounted.
void closeNotificationQueue(void);
