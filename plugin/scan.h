// scan.h: the notification scan that builds the alarm list from the device's user
// notifications (getAlarms), and its two halves that work on one notification record alone:
// the classification into an AlarmKind (classify.cpp) and the display text (alarmtext.cpp).
//
// getAlarms runs on the reload thread (startup.cpp). It walks the notification handles in the
// system's order, takes each one's real fire time from the queue database beside them, drops
// what the show mask, the look-ahead window and the duplicate rules exclude, and asks Outlook
// for the details of calendar and task reminders.
#pragma once

#include <string>

#include <windows.h>
#include <notify.h>

#include "alarmlist.h"

// The working text buffers of one item (title and part) hold this many characters; longer
// texts are cut.
#define SCAN_TEXT_CCH 1024
// seenRepeatList, the identifiers of the repeating custom alarms listed so far, in bytes.
#define SEEN_REPEATS_CB 1000

// getAlarms' result when it changed notifications: the caller discards the list and scans
// again a little later.
#define SCAN_CHANGED (-1)

// Fills list (50 zero-filled records) with the coming alarms: at most the limit of maxAlarms,
// in the queue's time order, each of a kind that showMask lists. Returns the item count, or
// SCAN_CHANGED when the scan moved or cleared notifications (a task reminder moved to the
// task hour, a second reminder of one task) and the list must be rebuilt.
LONG getAlarms(AlarmList* list, LONG maxAlarms, LONG showMask);

// ---- Classification ----------------------------------------------------------------------------

// classifyNotification's answer for a notification that is not listed at all.
#define KIND_DROP (-1)

// The kind of a notification from its trigger (null for none): the classification table, then
// for zvWakeup notifications the refinement by wake-up event and command characters.
// queueDiffers says that the queue's fire time is not the trigger's start (a snoozed calendar
// reminder). A repeating custom alarm whose identifier seenRepeats (",%d," entries) already
// holds is dropped when hideRepeats is on; seenRepeats may be null.
LONG classifyNotification(const CE_NOTIFICATION_TRIGGER* trigger, BOOL queueDiffers,
                          BOOL hideRepeats, const char* seenRepeats);

// For a repeating custom alarm (fourth character of args "1"), appends its identifier (the
// number after the last "^") as ",%d," to seenRepeats (a buffer of cbSeen bytes holding a
// terminated text), unless it is there already or no longer fits.
void rememberRepeat(LPCWSTR args, char* seenRepeats, size_t cbSeen);

// The Outlook object identifier in a reminder's dialog title ("POOM: 1234"), or 0.
DWORD poomOidOf(const CE_USER_NOTIFICATION* user);

// ---- Texts -------------------------------------------------------------------------------------

// The display text of one notification of the given kind: the arguments of a notification
// without time, the program, alarm, note or reminder text, and wake-up commands rewritten as
// "AfterWakeup, ...". A kind 3 notification of one of the two other calendar programs becomes
// kind 4 or 5 in *kind; *repeating is set for custom alarms (kind 11).
std::u16string buildAlarmText(const CE_NOTIFICATION_TRIGGER* trigger,
                              const CE_USER_NOTIFICATION* user, DWORD* kind, DWORD* repeating);
