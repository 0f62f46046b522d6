// notifyqueue.h: the notification queue database that the item reads and whose change notices
// (WM_DBNOTIFICATION) make it reload.
#pragma once

#include <windows.h>
#include <windbase.h>

// Frees a change notice the window received.
void freeDbNotification(CENOTIFICATION* notice);
// Closes the queue database and the other handles of the scan, frees the notify request and
// unmounts the volume if it was mounted.
void closeNotificationQueue(void);
