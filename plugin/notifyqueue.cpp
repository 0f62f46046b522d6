// notifyqueue.cpp: the notification queue database.
#include "notifyqueue.h"

#include "log.h"

HANDLE notifyQueueDb = INVALID_HANDLE_VALUE;

namespace {

#define NOTIFY_VOLUME TEXT("\\mxip_notify.vol")
#define NOTIFY_QUEUE  TEXT("DB_notify_queue")

CEGUID notifyVolume;
BOOL volumeMounted = FALSE;
// The request the platform keeps while the database is open: every record change is posted to
// the item window as WM_DBNOTIFICATION with a record that the window frees.
CENOTIFYREQUEST* notifyRequest = nullptr;

} // namespace

void openNotificationQueue(HWND window) {
    WCHAR volume[] = NOTIFY_VOLUME;
    if (!volumeMounted && CeMountDBVol(&notifyVolume, volume, OPEN_EXISTING)) volumeMounted = TRUE;
    if (volumeMounted && notifyQueueDb == INVALID_HANDLE_VALUE) {
        if (notifyRequest) LocalFree(notifyRequest);
        notifyRequest = static_cast<CENOTIFYREQUEST*>(LocalAlloc(LPTR, sizeof(CENOTIFYREQUEST)));
        if (notifyRequest) {
            notifyRequest->dwSize = sizeof(CENOTIFYREQUEST);
            notifyRequest->hwnd = window;
            notifyRequest->dwFlags = CEDB_EXNOTIFICATION;
            notifyRequest->hHeap = nullptr;
            notifyRequest->dwParam = 1;
        }
        CEOID oid = 0;
        WCHAR name[] = NOTIFY_QUEUE;
        notifyQueueDb = CeOpenDatabaseEx(&notifyVolume, &oid, name, 0, 0, notifyRequest);
    }
    if (notifyQueueDb == INVALID_HANDLE_VALUE) writeLog("Error: Unable to open DB_notify_queue!");
}

void freeDbNotification(CENOTIFICATION* notice) {
    CeFreeNotification(notifyRequest, notice);
}

void closeNotificationQueue(void) {
    if (notifyQueueDb != INVALID_HANDLE_VALUE) CloseHandle(notifyQueueDb);
    notifyQueueDb = INVALID_HANDLE_VALUE;
    if (notifyRequest) LocalFree(notifyRequest);
    notifyRequest = nullptr;
    if (volumeMounted) CeUnmountDBVol(&notifyVolume);
    volumeMounted = FALSE;
}
