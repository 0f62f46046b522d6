// main.cpp: cedev's entry point: global options and the table of commands.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cedev.h"
#include "kernel/device.h"
#include "kernel/journal.h"

namespace cedev {

// The display and its input (cmd_display.cpp, cmd_input.cpp, cmd_screenshot.cpp).
int cmdDisplay(const Args& args);
int cmdTap(const Args& args);
int cmdHold(const Args& args);
int cmdDrag(const Args& args);
int cmdKey(const Args& args);
int cmdScreenshot(const Args& args);
// The automation queue and what is on the screen (cmd_answer.cpp, cmd_ui.cpp, cmd_msgbox.cpp).
int cmdAnswer(const Args& args);
int cmdUi(const Args& args);
int cmdMsgbox(const Args& args);
// The shell, the Today screen and the installed product (cmd_shell.cpp, cmd_today.cpp,
// cmd_install.cpp).
int cmdShell(const Args& args);
int cmdRotate(const Args& args);
int cmdToday(const Args& args);
int cmdInstall(const Args& args);
// Notifications, reminders, the clock's alarms and device events (cmd_notify.cpp).
int cmdNotify(const Args& args);
int cmdReminder(const Args& args);
int cmdClock(const Args& args);
int cmdEvent(const Args& args);
int cmdPim(const Args& args); // the PIM store (cmd_pim.cpp)

namespace {

std::string deviceOption;

struct Command {
    const char* name;
    int (*run)(const Args&);
    const char* help;
};

const Command kCommands[] = {
    {"create", cmdCreate,
     "create [--profile qvga|vga|qvga-landscape|vga-landscape] [--time ISO] [--demo]"},
    {"profile", cmdProfile, "profile | profile set KEY VALUE"},
    {"time", cmdTime,
     "time | time set ISO-TIME [--rate N] | time --rate N | time advance DURATION"},
    {"tz", cmdTz, "tz | tz set NAME"},
    {"journal", cmdJournal, "journal [--follow] [--since ISO-TIME]"},
    {"reg", cmdReg,
     "reg query KEY [VALUE] | reg set KEY NAME dword|sz|expand_sz|multi_sz|binary DATA |\n"
     "        reg delete KEY [NAME] | reg export KEY FILE | reg import FILE"},
    {"run", cmdRun, "run [--wait] [--cmdline STRING] PROGRAM [ARGS...]"},
    {"stub", cmdStub, "stub PROGRAM BINARY [ENTRY]"},
    {"display", cmdDisplay, "display start [--use-display] | display stop | display status"},
    {"tap", cmdTap, "tap X Y"},
    {"hold", cmdHold, "hold X Y [MS]"},
    {"drag", cmdDrag, "drag X1 Y1 X2 Y2"},
    {"key", cmdKey, "key up|down|left|right|enter|escape|softkey1|softkey2|talk|NAME"},
    {"screenshot", cmdScreenshot, "screenshot FILE.png"},
    {"answer", cmdAnswer,
     "answer yes|no|ok|cancel|menu N-OR-TEXT|dialog ARGS... [more answers...] |\n"
     "        answer --list | answer --clear"},
    {"ui", cmdUi, "ui"},
    {"msgbox", cmdMsgbox, "msgbox [--yesno|--okcancel|--yesnocancel] TITLE TEXT"},
    {"shell", cmdShell, "shell start [--headless|--use-display] | shell stop | shell status"},
    {"rotate", cmdRotate, "rotate [portrait|landscape]"},
    {"today", cmdToday, "today options NAME | today list"},
    {"install", cmdInstall, "install [--reset-settings] [--from DIR]"},
    {"notify", cmdNotify,
     "notify list | notify add --time ISO|--event N --app PATH [--args TEXT] [--title T]\n"
     "        [--text T] [--flags N] [--sound FILE] | notify clear HANDLE"},
    {"reminder", cmdReminder,
     "reminder list | reminder dismiss [HANDLE] | reminder snooze [HANDLE]"},
    {"clock", cmdClock, "clock set N HH:MM LABEL [--days MTWTFSS]"},
    {"event", cmdEvent, "event wakeup|restore"},
    {"pim", cmdPim,
     "pim list calendar|tasks|contacts | pim add appointment|task|contact ... |\n        pim "
     "delete OID | pim import FILE.ics|FILE.vcf | pim export FILE.ics"},
};

void printUsage(FILE* out) {
    fprintf(out, "usage: cedev [--device DIR] COMMAND ...\n");
    for (const auto& c : kCommands)
        fprintf(out, "  cedev %s\n", c.help);
    fprintf(out, "The device is DIR, or the folder named by CEDEVICE.\n");
}

} // namespace

int fail(const std::string& text) {
    fprintf(stderr, "cedev: %s\n", text.c_str());
    return 1;
}

int usage(const std::string& text) {
    fprintf(stderr, "cedev: %s\n", text.c_str());
    return 2;
}

const std::string& chosenDevice() {
    return deviceOption;
}

bool needDevice() {
    if (deviceOption.empty()) {
        fail("no device: give --device DIR or set CEDEVICE");
        return false;
    }
    std::string error;
    if (!ce::attachDevice(deviceOption, &error)) {
        fail(error);
        return false;
    }
    return true;
}

} // namespace cedev

int main(int argc, char** argv) {
    using namespace cedev;
    ce::setJournalProgram("cedev");
    int i = 1;
    if (const char* env = getenv("CEDEVICE")) deviceOption = env;
    while (i < argc && argv[i][0] == '-') {
        std::string opt = argv[i];
        if (opt == "--device" && i + 1 < argc) {
            deviceOption = argv[i + 1];
            i += 2;
        } else if (opt.rfind("--device=", 0) == 0) {
            deviceOption = opt.substr(9);
            ++i;
        } else if (opt == "--help" || opt == "-h") {
            printUsage(stdout);
            return 0;
        } else {
            printUsage(stderr);
            return usage("unknown option " + opt);
        }
    }
    if (i >= argc) {
        printUsage(stderr);
        return 2;
    }
    // Device programs started by cedev and the library itself find the device through
    // CEDEVICE, so --device is passed on that way.
    if (!deviceOption.empty()) setenv("CEDEVICE", deviceOption.c_str(), 1);
    std::string name = argv[i];
    Args args(argv + i + 1, argv + argc);
    for (const auto& c : kCommands)
        if (name == c.name) return c.run(args);
    printUsage(stderr);
    return usage("unknown command " + name);
}
