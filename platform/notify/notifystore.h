// notifystore.h: the notification database of the device (notify.db in the device folder, the
// volume "\mxip_notify.vol"), as the rest of the platform, the shell's notification engine and
// cedev see it.
//
// One SQLite database (WAL mode) that every process of the device opens at once. It holds the
// user notifications, the windows that asked for the queue's change notices, the device events
// waiting for the engine (wake-up, restore end) and the shell notifications of aygshell. Every
// change is one write transaction that starts with BEGIN IMMEDIATE and waits for other writers
// (busy timeout), so processes adding and clearing at once never lose a notification, and a
// process killed at any point leaves the old or the new state.
//
// Times are device UTC in FILETIME units: a trigger's local start time is turned into UTC when
// it is set and back into the device's local time when it is read, so a change of time zone
// moves the local time the notification shows, not the moment it fires (as on the device).
// Every committed change bumps a counter in the database and the device's wake word, and posts
// WM_DBNOTIFICATION to the windows that opened the queue with a notify request.
//
// Inside the platform only: the product sees notify.h and windbase.h.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "windows.h"

namespace ce::notify {

// A text that may be absent (a NULL pointer in the API) as well as empty.
using Text = std::optional<std::u16string>;

struct Notification {
    uint32_t handle = 0; // stable while it lives; never 0
    DWORD type = 0;      // CNT_*
    DWORD event = 0;     // NOTIFICATION_EVENT_* for CNT_EVENT
    Text application;
    Text arguments;
    std::optional<int64_t> startUtc; // the trigger's start; none for a trigger without time
    std::optional<int64_t> endUtc;   // CNT_PERIOD
    // When it fires: the start, until a snooze moves it. None for event notifications.
    std::optional<int64_t> queueUtc;
    bool hasUser = false; // a CE_USER_NOTIFICATION was given (even a zero-filled one)
    DWORD actionFlags = 0;
    Text title;
    Text text;
    Text sound;
    DWORD maxSound = 0;
    DWORD reserved = 0;
    DWORD status = 0;     // CNS_SIGNALLED while its reminder is on the screen
    int64_t sequence = 0; // creation order
};

// True for the kinds that fire at a time (everything but CNT_EVENT).
inline bool isTimed(const Notification& n) {
    return n.type != 1;
}

// All calls return ERROR_SUCCESS or a Win32 error code: ERROR_CANTOPEN (no database),
// ERROR_INVALID_HANDLE (no such notification), ERROR_CANTWRITE.

// Adds n; sets n.handle and n.sequence.
DWORD addNotification(Notification& n);
// Replaces the notification n.handle (which keeps its handle and creation order); its status
// starts again from 0.
DWORD replaceNotification(Notification& n);
DWORD removeNotification(uint32_t handle);
// Removes all notifications for which pick returns true, in one transaction; *removed counts
// them.
DWORD removeNotificationsIf(const std::function<bool(const Notification&)>& pick,
                            size_t* removed = nullptr);
DWORD getNotification(uint32_t handle, Notification* out);
// Every notification in handle order: event notifications by creation, then the timed ones by
// queue time (creation order among equal times).
DWORD listNotifications(std::vector<Notification>* out);
// The handles in the same order.
DWORD listHandles(std::vector<uint32_t>* out);
// The timed notifications in handle order, as (handle, queue time): the records of the queue
// database DB_notify_queue.
DWORD listQueueRecords(std::vector<std::pair<uint32_t, int64_t>>* out);

// The engine's changes: a reminder shown (status CNS_SIGNALLED) and snoozed (queue time moved,
// status back to 0, the trigger's start unchanged).
DWORD setNotificationStatus(uint32_t handle, DWORD status);
DWORD snoozeNotification(uint32_t handle, int64_t queueUtc);

// The count of committed changes of the database (device-wide); 0 without a database.
uint64_t changeCounter();

// ---- Windows told of the queue's changes ---------------------------------------------------
// Registers a window of this process for WM_DBNOTIFICATION; returns the registration's id
// (0 on failure).
int64_t addQueueWatcher(HWND hwnd, DWORD flags, DWORD param);
void removeQueueWatcher(int64_t id);

struct QueueWatcher {
    int64_t id = 0;
    int pid = 0;            // the process of the window
    uint64_t startTime = 0; // that process's start (processStartTime), against reused pids
    uint32_t hwnd = 0;
    DWORD flags = 0;
    DWORD param = 0;
};
// Every registration; those of processes that have ended are removed on the way.
DWORD listQueueWatchers(std::vector<QueueWatcher>* out);
// Posts WM_DBNOTIFICATION (uType DB_CEOID_*, the record oid) to every registered window, from
// this process (queuedb.cpp). Called by the store after each committed change.
void postQueueChange(UINT type, CEOID oid);

// ---- Device events for the engine ----------------------------------------------------------
// Queues a device event (NOTIFICATION_EVENT_WAKEUP, NOTIFICATION_EVENT_RESTORE_END ...) for
// the notification engine, which starts the programs registered for it.
DWORD raiseDeviceEvent(DWORD event);
// Takes the queued device events with an id above *last (oldest first) and moves *last on.
DWORD takeDeviceEvents(int64_t* last, std::vector<DWORD>* events);
// The id of the newest queued device event (0 when none), so a new engine skips old ones.
int64_t lastDeviceEventId();

// The standard command line of an event (APP_RUN_AFTER_*), or empty for an unknown event.
std::u16string eventCommandLine(DWORD event);

// ---- Shell notifications (aygshell) --------------------------------------------------------
struct ShellNotification {
    std::string clsid; // "{XXXXXXXX-XXXX-...}" upper case
    DWORD id = 0;
    DWORD priority = 0;
    DWORD duration = 0;
    DWORD flags = 0;
    uint32_t sink = 0; // the window of the bubble's commands
    int64_t lParam = 0;
    Text title;
    Text html;
};
DWORD putShellNotification(const ShellNotification& n);
DWORD removeShellNotification(const std::string& clsid, DWORD id);
DWORD getShellNotification(const std::string& clsid, DWORD id, ShellNotification* out);

// The class of the system's reminders in the shell's notification list.
constexpr const char* kReminderClsid = "{15F11F90-8A5F-454C-89FC-BA9B7AAB0CAD}";

// ---- The volume --------------------------------------------------------------------------
// The volume's identifier as CeMountDBVol reports it, and the queue database's object id.
constexpr DWORD kVolumeGuid[4] = {0x6E746679, 0x766F6C31, 0x00000001, 0x00000000};
constexpr CEOID kQueueDatabaseOid = 0x01000010;

} // namespace ce::notify
