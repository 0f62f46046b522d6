// main.cpp: ceshell, the device's shell: it makes the device's desktop window, the title bar,
// the soft-key bar and the Today screen, and keeps them until it is told to stop.
//
//   ceshell --display :7 [--ready-fd N] [--xvfb-pid P]
//
// `cedev shell start` starts it (see cmd_shell.cpp). The start-up order matters:
//  1. the desktop window, on an X connection of its own (display/desktop.h);
//  2. run/display, naming that window with this process as its owner, because the window
//     system of this process (and of every other program) finds the display through it;
//  3. the title bar, the Today screen with its items laid out, the soft keys, the Today
//     screen brought to the front;
//  4. the thread that keeps the desktop window and hands messages sent to it (WM_WININICHANGE
//     0xF2) to the main thread;
//  5. the window id, as one line "0x200001" on descriptor N: `cedev shell start` returns then,
//     with the Today screen's items loaded.
// SIGTERM or SIGINT ends the shell: the items are unloaded (their CLEARCACHE, their windows
// destroyed, their libraries freed), then the windows and the desktop window go. The shell also
// ends when its display goes away.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "ceshell.h"
#include "display/desktop.h"
#include "display/x11display.h"
#include "kernel/device.h"
#include "kernel/journal.h"
#include "kernel/process.h"
#include "notifyengine.h"

namespace ceshell {

namespace {

struct DesktopHost {
    std::unique_ptr<ce::display::DesktopWindow> window;
    std::atomic<bool> stop{false};
    std::atomic<uint32_t> frame{0}; // the Today frame, for the desktop's thread
    std::mutex lock;
    std::map<uint32_t, ce::user::ReplyFn> pending; // sent messages the main thread answers
    uint32_t nextRequest = 1;
};

DesktopHost& host() {
    static DesktopHost h;
    return h;
}

// On the desktop's thread: WM_WININICHANGE 0xF2 is the Today screen's business, answered
// once the items are reloaded, so that the sender can look at the result when its send
// returns. Everything else the desktop answers with 0.
bool onDesktopMessage(const ce::user::WireMessage& m, bool sent, ce::user::ReplyFn reply) {
    constexpr uint32_t kReloadToday = 0xF2;
    if (m.message != WM_WININICHANGE || m.wParam != kReloadToday) return false;
    DesktopHost& h = host();
    HWND frame = static_cast<HWND>(ULongToHandle(h.frame.load()));
    if (!frame) return false;
    uint32_t id = 0;
    if (sent) {
        std::lock_guard<std::mutex> guard(h.lock);
        id = h.nextRequest++;
        if (h.nextRequest == 0) h.nextRequest = 1;
        h.pending[id] = std::move(reply);
    }
    if (!PostMessageW(frame, kMsgDesktopReload, 0, static_cast<LPARAM>(id)) && sent)
        answerDesktopRequest(static_cast<LPARAM>(id), 0);
    return true;
}

void answerAllPending() {
    DesktopHost& h = host();
    std::map<uint32_t, ce::user::ReplyFn> all;
    {
        std::lock_guard<std::mutex> guard(h.lock);
        all.swap(h.pending);
    }
    for (auto& [id, reply] : all)
        reply(0, {});
}

// Waits for SIGTERM or SIGINT (blocked in every thread) and asks the main thread to end.
void waitForSignal() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    int sig = 0;
    sigwait(&set, &sig);
    HWND frame = static_cast<HWND>(ULongToHandle(host().frame.load()));
    if (!frame || !PostMessageW(frame, kMsgQuit, 0, 0)) _exit(0);
}

bool reportReady(int fd, uint32_t window) {
    if (fd < 0) return true;
    char line[32];
    int n = snprintf(line, sizeof line, "0x%x\n", static_cast<unsigned>(window));
    bool ok = write(fd, line, static_cast<size_t>(n)) == n;
    close(fd);
    return ok;
}

} // namespace

void answerDesktopRequest(LPARAM request, LRESULT result) {
    if (request == 0) return;
    DesktopHost& h = host();
    ce::user::ReplyFn reply;
    {
        std::lock_guard<std::mutex> guard(h.lock);
        auto it = h.pending.find(static_cast<uint32_t>(request));
        if (it == h.pending.end()) return;
        reply = std::move(it->second);
        h.pending.erase(it);
    }
    reply(result, {});
}

HWND desktopWindow() {
    auto& w = host().window;
    return w ? static_cast<HWND>(ULongToHandle(w->window())) : nullptr;
}

bool resizeDesktop(int width, int height) {
    auto& w = host().window;
    return w && w->resize(width, height);
}

} // namespace ceshell

int main(int argc, char** argv) {
    std::string display;
    int readyFd = -1;
    int xvfbPid = 0;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--display" && i + 1 < argc) {
            display = argv[++i];
        } else if (a == "--ready-fd" && i + 1 < argc) {
            readyFd = atoi(argv[++i]);
        } else if (a == "--xvfb-pid" && i + 1 < argc) {
            xvfbPid = atoi(argv[++i]);
        } else {
            fprintf(stderr, "usage: ceshell --display NAME [--ready-fd N] [--xvfb-pid P]\n");
            return 2;
        }
    }
    if (display.empty()) {
        fprintf(stderr, "ceshell: no display given\n");
        return 2;
    }
    // The signals are taken by a thread of their own (sigwait): blocked here, before any
    // thread exists, they stay blocked in every thread the platform starts later.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);

    char* self[] = {argv[0], nullptr};
    ce::beginDeviceProgram(1, self);
    if (!ce::haveDevice()) {
        fprintf(stderr, "ceshell: no device (CEDEVICE)\n");
        return 2;
    }
    auto conf = ce::deviceConf();
    ceshell::DesktopHost& h = ceshell::host();
    std::string error;
    h.window = ce::display::DesktopWindow::create(display, conf->profile.width,
                                                  conf->profile.height, &error);
    if (!h.window) {
        fprintf(stderr, "ceshell: %s\n", error.c_str());
        return 1;
    }
    ce::display::DisplayRecord record;
    record.display = display;
    record.xvfbPid = xvfbPid > 0 ? xvfbPid : 0;
    record.desktopWindow = h.window->window();
    record.desktopPid = static_cast<int>(getpid());
    if (!ce::display::writeDisplayRecord(record, &error)) {
        fprintf(stderr, "ceshell: %s\n", error.c_str());
        return 1;
    }

    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!ceshell::createTaskBar(instance) || !ceshell::createToday(instance)) {
        fprintf(stderr, "ceshell: cannot make the shell's windows\n");
        return 1;
    }
    HWND frame = ceshell::todayFrame();
    h.frame = HandleToULong(frame);
    h.window->setMessageHandler(ceshell::onDesktopMessage);
    h.window->setForegroundHandler([] {
        HWND f = static_cast<HWND>(ULongToHandle(ceshell::host().frame.load()));
        if (f) PostMessageW(f, ceshell::kMsgForeground, 0, 0);
    });
    std::thread desktopThread([&h] {
        h.window->serve(h.stop);
        // The display went away, or the shell is ending: either way the main loop stops.
        HWND f = static_cast<HWND>(ULongToHandle(h.frame.load()));
        if (f && !h.stop) PostMessageW(f, ceshell::kMsgQuit, 0, 0);
    });
    std::thread signalThread(ceshell::waitForSignal);
    signalThread.detach();

    ce::JournalLine("shell.start")
        .str("display", display)
        .num("width", conf->profile.width)
        .num("height", conf->profile.height)
        .write();
    // Graphics, windows and the shell are up: programs that wait with IsAPIReady go on now.
    for (unsigned api : {SH_GDI, SH_WMGR, SH_SHELL})
        ce::setApiReady(api, true);
    startNotificationEngine();
    // The calendar's reminders are re-registered from the PIM store at every start, as the
    // device's shell does: a reminder lost between a store write and its notification is back.
    // The shell reports ready only after that, so what runs next sees the settled database.
    PROCESS_INFORMATION calnot{};
    if (CreateProcessW(u"\\Windows\\calnot.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, nullptr, &calnot)) {
        WaitForSingleObject(calnot.hProcess, 10000);
        CloseHandle(calnot.hThread);
        CloseHandle(calnot.hProcess);
    }
    ceshell::reportReady(readyFd, h.window->window());

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (ceshell::todayDialogMessage(&msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }

    stopNotificationEngine();
    h.frame = 0;
    for (unsigned api : {SH_GDI, SH_WMGR, SH_SHELL})
        ce::setApiReady(api, false);
    ceshell::destroyToday();
    ceshell::destroyTaskBar();
    ceshell::answerAllPending();
    h.stop = true;
    desktopThread.join();
    ceshell::answerAllPending();
    h.window.reset();
    ce::JournalLine("shell.stop").write();
    ce::endDeviceProgram(0);
}
