// cmd_display.cpp: cedev display start|stop|status, which bring the device's display up and
// down: its own Xvfb (or a person's display with --use-display) and the desktop program that
// makes the desktop window, recorded in run/display (see display/x11display.h).
#include <cstdio>
#include <cstdlib>

#include "cedev.h"
#include "display/x11display.h"
#include "kernel/device.h"

namespace cedev {

namespace {

using ce::display::DisplayRecord;

void printRecord(const DisplayRecord& r, bool alive) {
    printf("%s", ce::display::formatDisplayRecord(r).c_str());
    printf("running = %s\n", alive ? "yes" : "no");
}

// Ends what a record names and forgets it.
void endDisplay(const DisplayRecord& r) {
    // The desktop belongs to cedesktop, or to the shell when it runs.
    ce::display::endRecordedProcess(r.desktopPid, "cedesktop");
    ce::display::endRecordedProcess(r.desktopPid, "ceshell", 10000);
    if (r.xvfbPid > 0) ce::display::endRecordedProcess(r.xvfbPid, "Xvfb");
    ce::display::removeDisplayRecord();
}

int start(const Args& args) {
    bool useDisplay = false;
    for (const auto& a : args) {
        if (a == "--use-display")
            useDisplay = true;
        else
            return usage("usage: cedev display start [--use-display]");
    }
    if (!needDevice()) return 1;
    if (auto r = ce::display::readDisplayRecord()) {
        if (ce::display::displayIsAlive(*r)) {
            printRecord(*r, true);
            return 0;
        }
        endDisplay(*r); // left over from a display that died
    }
    DisplayRecord r;
    std::string error;
    if (useDisplay) {
        const char* display = getenv("DISPLAY");
        if (!display || !*display) return fail("display start: --use-display needs DISPLAY");
        r.display = display;
    } else {
        auto conf = ce::deviceConf();
        if (!ce::display::startXvfb(conf->profile.width, conf->profile.height, &r.display,
                                    &r.xvfbPid, &error))
            return fail("display start: " + error);
    }
    if (!ce::display::startDesktopProgram(r.display, &r.desktopWindow, &r.desktopPid, &error)) {
        if (r.xvfbPid > 0) ce::display::endRecordedProcess(r.xvfbPid, "Xvfb");
        return fail("display start: " + error);
    }
    if (!ce::display::writeDisplayRecord(r, &error)) {
        endDisplay(r);
        return fail("display start: " + error);
    }
    printRecord(r, true);
    return 0;
}

int stop() {
    if (!needDevice()) return 1;
    auto r = ce::display::readDisplayRecord();
    if (!r) {
        ce::display::removeDisplayRecord(); // a malformed one, if any
        printf("running = no\n");
        return 0;
    }
    endDisplay(*r);
    printf("running = no\n");
    return 0;
}

int status() {
    if (!needDevice()) return 1;
    auto r = ce::display::readDisplayRecord();
    if (!r) {
        printf("running = no\n");
        return 1;
    }
    bool alive = ce::display::displayIsAlive(*r);
    printRecord(*r, alive);
    return alive ? 0 : 1;
}

} // namespace

int cmdDisplay(const Args& args) {
    const char* usageText = "usage: cedev display start [--use-display] | stop | status";
    if (args.empty()) return usage(usageText);
    Args rest(args.begin() + 1, args.end());
    if (args[0] == "start") return start(rest);
    if (!rest.empty()) return usage(usageText);
    if (args[0] == "stop") return stop();
    if (args[0] == "status") return status();
    return usage(usageText);
}

} // namespace cedev
