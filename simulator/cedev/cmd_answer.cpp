// cmd_answer.cpp: cedev answer, which queues answers for the next modal elements of the device
// (message boxes, pop-up menus, dialogs), lists the queue and clears it.
//
//   cedev answer yes|no|ok|cancel ...        one word each
//   cedev answer menu N-OR-TEXT ...          a command number or an entry's text (one word;
//                                            quote a text with spaces)
//   cedev answer dialog ARGS...              the rest of the words, joined by spaces, for the
//                                            dialog that opens next; it ends the command
//   cedev answer --list | --clear
//
// Several answers may follow each other; they are queued in order. A malformed one queues
// none of them.
#include <cstdio>

#include "cedev.h"
#include "user/automation.h"

namespace cedev {

namespace {

const char* kUsage = "usage: cedev answer yes|no|ok|cancel|menu N-OR-TEXT|dialog ARGS... "
                     "[more answers...] | --list | --clear";

} // namespace

int cmdAnswer(const Args& args) {
    if (args.empty()) return usage(kUsage);
    if (args.size() == 1 && (args[0] == "--list" || args[0] == "--clear")) {
        if (!needDevice()) return 1;
        if (args[0] == "--clear") {
            ce::automation::clearAnswers();
            return 0;
        }
        for (const auto& a : ce::automation::pendingAnswers())
            printf("%s%s%s\n", a.kind.c_str(), a.argument.empty() ? "" : " ", a.argument.c_str());
        return 0;
    }
    std::vector<ce::automation::Answer> answers;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "yes" || word == "no" || word == "ok" || word == "cancel") {
            answers.push_back({word, ""});
        } else if (word == "menu") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return usage("answer: menu needs a command number or an entry's text");
            answers.push_back({word, args[++i]});
        } else if (word == "dialog") {
            std::string rest;
            for (size_t k = i + 1; k < args.size(); ++k)
                rest += (rest.empty() ? "" : " ") + args[k];
            if (rest.empty()) return usage("answer: dialog needs what the dialog is to do");
            answers.push_back({word, rest});
            break;
        } else {
            return usage("answer: unknown answer '" + word + "'\n" + kUsage);
        }
    }
    if (!needDevice()) return 1;
    // Checked before anything is queued, so that a bad answer queues none of them.
    for (const auto& a : answers)
        if (a.argument.find_first_of("\r\n") != std::string::npos || a.argument.size() > 4096)
            return usage("answer: an answer may not hold a line break or exceed 4096 bytes");
    for (const auto& a : answers) {
        std::string error;
        if (!ce::automation::queueAnswer(a, &error)) return fail("answer: " + error);
    }
    return 0;
}

} // namespace cedev
