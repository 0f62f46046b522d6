// cmd_shell.cpp: cedev shell start|stop|status, which bring the device's shell (ceshell) up
// and down, and cedev rotate, which turns the device's screen.
//
// The shell owns the device's desktop window, so it takes the place cedesktop has on a bare
// display: `shell start` uses the display already running (ending its bare desktop program)
// or brings one up as `display start` would (the device's own Xvfb when there is no DISPLAY or
// with --headless, else the person's DISPLAY), then starts ceshell, which writes run/display
// naming itself as the desktop's program and reports on a pipe once its Today screen has
// loaded and laid out its items. cedev talks to the running shell with WM_COPYDATA sent to the
// Today frame (../shell/shellproto.h).
#include <cstdio>
#include <cstdlib>

#include "../shell/shellproto.h"
#include "cedev.h"
#include "display/x11display.h"
#include "kernel/device.h"
#include "kernel/journal.h"
#include "windows.h"

namespace cedev {

int sendShellRequest(uint32_t request, const std::u16string& text, intptr_t* answer);

namespace {

using ce::display::DisplayRecord;

// ceshell has the Today screen's items to load: more time than cedesktop needs.
constexpr int kShellStartMs = 60000;
constexpr int kShellStopGraceMs = 10000;
constexpr UINT kRequestTimeoutMs = 30000;

bool shellRunning(const DisplayRecord& r) {
    return ce::display::processIsRunning(r.desktopPid, "ceshell");
}

void printRecord(const DisplayRecord& r, bool alive, bool shell) {
    printf("%s", ce::display::formatDisplayRecord(r).c_str());
    printf("shell = %s\n", shell ? "running" : "stopped");
    printf("running = %s\n", alive ? "yes" : "no");
}

// Ends what a record names and forgets it.
void endAll(const DisplayRecord& r) {
    ce::display::endRecordedProcess(r.desktopPid, "ceshell", kShellStopGraceMs);
    ce::display::endRecordedProcess(r.desktopPid, "cedesktop");
    if (r.xvfbPid > 0) ce::display::endRecordedProcess(r.xvfbPid, "Xvfb");
    ce::display::removeDisplayRecord();
}

int start(const Args& args) {
    bool headless = false, useDisplay = false;
    for (const auto& a : args) {
        if (a == "--headless")
            headless = true;
        else if (a == "--use-display")
            useDisplay = true;
        else
            return usage("usage: cedev shell start [--headless|--use-display]");
    }
    if (headless && useDisplay) return usage("shell start: --headless or --use-display, not both");
    if (!needDevice()) return 1;

    DisplayRecord r;
    bool haveDisplay = false;
    if (auto old = ce::display::readDisplayRecord()) {
        bool alive = ce::display::displayIsAlive(*old);
        if (alive && shellRunning(*old)) {
            printRecord(*old, true, true);
            return 0;
        }
        if (alive) {
            // A bare display: the shell takes the desktop program's place on it.
            ce::display::endRecordedProcess(old->desktopPid, "cedesktop");
            r.display = old->display;
            r.xvfbPid = old->xvfbPid;
            haveDisplay = true;
        } else {
            endAll(*old); // left over from a display that died
        }
    }
    std::string error;
    if (!haveDisplay) {
        const char* display = getenv("DISPLAY");
        bool personal = display && *display;
        if (useDisplay && !personal) return fail("shell start: --use-display needs DISPLAY");
        if (headless || !personal) {
            auto conf = ce::deviceConf();
            if (!ce::display::startXvfb(conf->profile.width, conf->profile.height, &r.display,
                                        &r.xvfbPid, &error))
                return fail("shell start: " + error);
        } else {
            r.display = display;
        }
    }
    std::vector<std::string> extra;
    if (r.xvfbPid > 0) extra = {"--xvfb-pid", std::to_string(r.xvfbPid)};
    if (!ce::display::startDesktopProgram("ceshell", extra, r.display, kShellStartMs,
                                          &r.desktopWindow, &r.desktopPid, &error)) {
        endAll(r);
        return fail("shell start: " + error);
    }
    // The shell wrote the record itself, before its own windows existed; it must name the
    // window it reported.
    auto written = ce::display::readDisplayRecord();
    if (!written || written->desktopWindow != r.desktopWindow ||
        written->desktopPid != r.desktopPid)
        ce::display::writeDisplayRecord(r, &error);
    printRecord(r, true, true);
    return 0;
}

int stop() {
    if (!needDevice()) return 1;
    auto r = ce::display::readDisplayRecord();
    if (!r) {
        ce::display::removeDisplayRecord(); // a malformed one, if any
        printf("shell = stopped\nrunning = no\n");
        return 0;
    }
    if (!shellRunning(*r) && ce::display::displayIsAlive(*r)) {
        // A bare display without the shell: `display stop` is what ends it.
        printf("shell = stopped\nrunning = yes\n");
        return 0;
    }
    endAll(*r);
    printf("shell = stopped\nrunning = no\n");
    return 0;
}

int status() {
    if (!needDevice()) return 1;
    auto r = ce::display::readDisplayRecord();
    if (!r) {
        printf("shell = stopped\nrunning = no\n");
        return 1;
    }
    bool alive = ce::display::displayIsAlive(*r);
    bool shell = alive && shellRunning(*r);
    printRecord(*r, alive, shell);
    return shell ? 0 : 1;
}

// The profile name of the other orientation: "qvga" <-> "qvga-landscape"; a name without a
// counterpart stays.
std::string turnedName(const std::string& name, bool landscape) {
    const std::string suffix = "-landscape";
    bool isLandscape = name.size() > suffix.size() &&
                       name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
    std::string other = landscape ? name + suffix : name.substr(0, name.size() - suffix.size());
    if (landscape == isLandscape || !ce::findProfile(other)) return name;
    return other;
}

} // namespace

int sendShellRequest(uint32_t request, const std::u16string& text, intptr_t* answer) {
    auto r = ce::display::readDisplayRecord();
    if (!r || !ce::display::displayIsAlive(*r) || !shellRunning(*r))
        return fail("the shell is not running (cedev shell start)");
    HWND frame = FindWindowW(ceshell::kTodayFrameClass, nullptr);
    if (!frame) return fail("the shell has no Today screen");
    COPYDATASTRUCT cds{};
    cds.dwData = request;
    cds.cbData = static_cast<DWORD>(text.size() * sizeof(char16_t));
    cds.lpData = const_cast<char16_t*>(text.data());
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL,
                             kRequestTimeoutMs, &result))
        return fail("the shell did not answer");
    *answer = static_cast<intptr_t>(result);
    return 0;
}

int cmdShell(const Args& args) {
    const char* usageText = "usage: cedev shell start [--headless|--use-display] | stop | status";
    if (args.empty()) return usage(usageText);
    Args rest(args.begin() + 1, args.end());
    if (args[0] == "start") return start(rest);
    if (!rest.empty()) return usage(usageText);
    if (args[0] == "stop") return stop();
    if (args[0] == "status") return status();
    return usage(usageText);
}

int cmdRotate(const Args& args) {
    if (args.size() > 1 || (args.size() == 1 && args[0] != "portrait" && args[0] != "landscape"))
        return usage("usage: cedev rotate [portrait|landscape]");
    if (!needDevice()) return 1;
    auto conf = ce::deviceConf();
    bool landscape = conf->profile.width > conf->profile.height;
    bool want = args.empty() ? !landscape : args[0] == "landscape";
    if (want != landscape) {
        std::string error;
        bool ok = ce::updateDeviceConf(
            [&](ce::DeviceConf& c) {
                std::swap(c.profile.width, c.profile.height);
                c.profile.name = turnedName(c.profile.name, want);
            },
            &error);
        if (!ok) return fail("rotate: " + error);
    }
    conf = ce::deviceConf();
    ce::JournalLine("device.rotate")
        .str("orientation", want ? "landscape" : "portrait")
        .num("width", conf->profile.width)
        .num("height", conf->profile.height)
        .write();
    // A running shell turns the screen now; otherwise the next start uses the new size.
    auto r = ce::display::readDisplayRecord();
    if (r && ce::display::displayIsAlive(*r) && shellRunning(*r)) {
        intptr_t answer = 0;
        if (int rc = sendShellRequest(ceshell::kRequestApplyScreen, u"", &answer)) return rc;
        if (answer != ceshell::kAnswerDone) return fail("rotate: the shell could not resize");
    }
    printf("orientation = %s\nscreen = %dx%d\n", want ? "landscape" : "portrait",
           conf->profile.width, conf->profile.height);
    return 0;
}

} // namespace cedev
