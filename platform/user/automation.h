// automation.h: the device's automation queue, which answers modal elements (message boxes,
// pop-up menus, modal dialogs) so that scripted scenarios and tests run unattended.
//
// `cedev answer ...` (or a test through queueAnswer) appends answers; each modal element,
// when it opens, takes the first answer in the queue, if any, and acts on it at once;
// with an empty queue it waits for the user. The queue is device-wide (a file under run/,
// guarded by a lock), so an answer queued from outside reaches whichever program shows the
// next element. Every element writes to the journal what it showed and what was chosen, and
// by whom ("automation" or "user").
//
// Inside the platform only.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ce::automation {

// An answer: kind "yes", "no", "ok", "cancel" (message boxes, dialogs), "menu" (argument: a
// command number or an entry's text), "dialog" (argument: what the dialog does with it, see
// user/dialog.cpp).
struct Answer {
    std::string kind;
    std::string argument;
};

// Appends an answer to the device's queue (without a device: this process's queue).
bool queueAnswer(const Answer& answer, std::string* error = nullptr);
// Takes the first queued answer, if any.
std::optional<Answer> takeAnswer();
// The queued answers, first first (cedev, tests).
std::vector<Answer> pendingAnswers();
void clearAnswers();

} // namespace ce::automation
