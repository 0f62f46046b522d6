// main.cpp: cedesktop, the bare desktop of a device that has no shell yet: it creates the
// device's desktop window on the device's display and keeps it until it is told to stop.
//
//   cedesktop --display :7 [--ready-fd N]
//
// The device comes from CEDEVICE; the screen size from its profile. When the window exists its
// id ("0x200001") is written as one line to descriptor N, which is how `cedev display start`
// learns it and writes run/display. SIGTERM or SIGINT ends the program, and the desktop
// window (with every window inside it) goes with it.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "display/desktop.h"
#include "kernel/device.h"
#include "kernel/journal.h"

namespace {

std::atomic<bool> stopRequested{false};

void onSignal(int) {
    stopRequested = true;
}

} // namespace

int main(int argc, char** argv) {
    std::string display;
    int readyFd = -1;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--display" && i + 1 < argc) {
            display = argv[++i];
        } else if (a == "--ready-fd" && i + 1 < argc) {
            readyFd = atoi(argv[++i]);
        } else {
            fprintf(stderr, "usage: cedesktop --display NAME [--ready-fd N]\n");
            return 2;
        }
    }
    if (display.empty()) {
        fprintf(stderr, "cedesktop: no display given\n");
        return 2;
    }
    ce::setJournalProgram("\\Windows\\cedesktop.exe");
    auto conf = ce::deviceConf();
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    std::string error;
    auto desktop = ce::display::DesktopWindow::create(display, conf->profile.width,
                                                      conf->profile.height, &error);
    if (!desktop) {
        fprintf(stderr, "cedesktop: %s\n", error.c_str());
        return 1;
    }
    if (readyFd >= 0) {
        char line[32];
        int n = snprintf(line, sizeof line, "0x%x\n", static_cast<unsigned>(desktop->window()));
        ssize_t written = write(readyFd, line, static_cast<size_t>(n));
        (void)written;
        close(readyFd);
    }
    desktop->serve(stopRequested);
    return 0;
}
