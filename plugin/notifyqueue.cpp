// notifyqueue.cpp: the notification queue database.
//
// The queue is not opened yet, so no notice is ever addressed to the item and nothing is
// mounted or open.
#include "notifyqueue.h"

void freeDbNotification(CENOTIFICATION* notice) {
    (void)notice;
}

void closeNotificationQueue(void) {}
