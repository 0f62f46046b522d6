// cmd_today.cpp: cedev today ..., requests to the running shell's Today screen:
//
//   cedev today options NAME    opens the options dialog of the item NAME (its key name
//                               without quotes), as tapping it in the Today settings would
//
// Further subcommands (a listing of the items) go into the table below.
#include "../shell/shellproto.h"
#include "cedev.h"
#include "kernel/strings.h"

namespace cedev {

// cmd_shell.cpp: sends a request to the shell's Today frame; 0 with its answer, or prints
// the failure and returns its status.
int sendShellRequest(uint32_t request, const std::u16string& text, intptr_t* answer);

namespace {

constexpr const char* kUsage = "usage: cedev today options NAME";

int options(const Args& args) {
    if (args.size() != 1 || args[0].empty()) return usage(kUsage);
    std::u16string name = ce::fromUtf8(args[0]);
    if (!needDevice()) return 1;
    intptr_t answer = 0;
    if (int rc = sendShellRequest(ceshell::kRequestItemOptions, name, &answer)) return rc;
    switch (answer) {
    case ceshell::kAnswerDone: return 0;
    case ceshell::kAnswerUnknownItem:
        return fail("today options: no item " + args[0] + " is loaded");
    case ceshell::kAnswerNoOptions: return fail("today options: " + args[0] + " has no options");
    default: return fail("today options: the shell could not open them");
    }
}

struct Subcommand {
    const char* name;
    int (*run)(const Args& args);
};

const Subcommand kSubcommands[] = {
    {"options", options},
};

} // namespace

int cmdToday(const Args& args) {
    if (args.empty()) return usage(kUsage);
    Args rest(args.begin() + 1, args.end());
    for (const auto& s : kSubcommands)
        if (args[0] == s.name) return s.run(rest);
    return usage(kUsage);
}

} // namespace cedev
