// queue.h: taking messages out of the calling thread's queue and waiting for them; the
// helpers GetMessageW, PeekMessageW, MsgWaitForMultipleObjects and SendMessageW share.
//
// Inside the platform only (platform/user).
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "user/userstate.h"

namespace ce::user {

struct MessageFilter {
    uint32_t hwnd = 0; // 0: any; 0xFFFFFFFF: messages posted to the thread (hwnd NULL)
    UINT first = 0;    // 0, 0: every message
    UINT last = 0;
};

// Answers sent messages, then takes (or, without remove, copies) the next message in the
// documented order into *out. False when nothing passes the filter.
bool peekQueue(MSG* out, const MessageFilter& filter, bool remove);
// Whether something of the kinds in wakeMask (QS_*) that passes the filter is waiting.
bool queueHasMatch(Queue& q, const MessageFilter& filter, DWORD wakeMask);
// Waits until a message of wakeMask passing the filter may be there, a handle is signalled,
// a timer falls due or the deadline (deviceTickCount64; UINT64_MAX: none) passes. Returns
// what waitForObjects returns.
DWORD waitForQueue(std::span<const HANDLE> handles, bool all, uint64_t deadline,
                   const MessageFilter& filter, DWORD wakeMask);
// Waits for the reply of a sent message, answering messages sent to this thread meanwhile.
// False on time-out (the reply slot is then abandoned: a late reply is dropped).
bool waitForReply(const std::shared_ptr<SendState>& state, uint64_t deadline);
// Whether a message for hwnd passes a filter window (the window itself or a descendant).
bool filterMatchesWindow(uint32_t hwnd, uint32_t filter);
// Hands due registry notifications to the window system when the device's wake word moved.
void deliverRegistryChangesIfWoken();

// Timers of a queue (timer.cpp), called under the lock. takeDueTimer finds the due timer
// with the earliest due time for the filter window, makes its WM_TIMER, and with remove
// schedules its next turn one period from now.
bool takeDueTimer(Queue& q, uint32_t filter, bool remove, MSG* out);
uint64_t nextTimerDue(const Queue& q); // UINT64_MAX: no timer

} // namespace ce::user
