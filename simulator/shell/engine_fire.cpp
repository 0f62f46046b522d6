// engine_fire.cpp: what the notification engine does when a notification falls due or a device
// event happens: start the program with its command line, or mark the notification as shown
// and let the reminder thread put it on the screen, with its sound, LED and vibration.
#include <string>
#include <vector>

#include "kernel/journal.h"
#include "kernel/strings.h"
#include "notify.h"
#include "notify/notifystore.h"
#include "notifyengine.h"

namespace ceshell::engine {
namespace {

using ce::notify::Notification;

constexpr std::u16string_view kNamedEventPrefix = u"\\\\.\\Notifications\\NamedEvents\\";

std::u16string textOf(const ce::notify::Text& t) {
    return t ? *t : std::u16string();
}

// The command line a timed notification starts its program with: its own arguments, or for
// the classic kind without any, the standard "AppRunAtTime".
std::u16string timedCommandLine(const Notification& n) {
    if (n.type == CNT_CLASSICTIME && textOf(n.arguments).empty()) return APP_RUN_AT_TIME;
    return textOf(n.arguments);
}

// The sound once, the LED and the vibrator, as the flags ask. The device's audio and LED
// services journal what they do; the engine journals the request.
void alert(const Notification& n) {
    if ((n.actionFlags & PUN_SOUND) && n.sound && !n.sound->empty())
        ce::JournalLine("sound.play")
            .str("file", n.sound->c_str())
            .str("way", "reminder")
            .num("handle", n.handle)
            .write();
    if (n.actionFlags & PUN_LED)
        ce::JournalLine("led").num("led", 0).str("state", "blink").num("handle", n.handle).write();
    if (n.actionFlags & PUN_VIBRATE)
        ce::JournalLine("led")
            .num("led", 1)
            .str("state", "vibrate")
            .num("handle", n.handle)
            .write();
}

void journalFired(const Notification& n, const char* how, const std::u16string& commandLine) {
    ce::JournalLine("notification.fired")
        .num("handle", n.handle)
        .str("how", how)
        .str("application", textOf(n.application).c_str())
        .str("arguments", commandLine.c_str())
        .write();
}

} // namespace

bool startApplication(const std::u16string& application, const std::u16string& commandLine) {
    if (application.size() > kNamedEventPrefix.size() &&
        ce::equalNoCase(std::u16string_view(application).substr(0, kNamedEventPrefix.size()),
                        kNamedEventPrefix)) {
        std::u16string name = application.substr(kNamedEventPrefix.size());
        HANDLE event = CreateEventW(nullptr, FALSE, FALSE, name.c_str());
        if (!event) return false;
        SetEvent(event);
        CloseHandle(event);
        return true;
    }
    if (application.empty()) return false;
    PROCESS_INFORMATION pi{};
    std::u16string cmd = commandLine;
    if (!CreateProcessW(application.c_str(), cmd.empty() ? nullptr : cmd.data(), nullptr, nullptr,
                        FALSE, 0, nullptr, nullptr, nullptr, &pi)) {
        ce::JournalLine("notification.error")
            .str("application", application.c_str())
            .num("error", GetLastError())
            .write();
        return false;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

void fireDeviceEvent(DWORD event) {
    std::vector<Notification> all;
    if (ce::notify::listNotifications(&all) != ERROR_SUCCESS) return;
    ce::JournalLine("device.event").num("event", event).write();
    for (const auto& n : all) {
        if (n.type != CNT_EVENT || n.event != event) continue;
        std::u16string commandLine = textOf(n.arguments);
        journalFired(n, "event", commandLine);
        startApplication(textOf(n.application), commandLine);
    }
}

int64_t fireDueNotifications(int64_t utc) {
    std::vector<Notification> all;
    if (ce::notify::listNotifications(&all) != ERROR_SUCCESS) return INT64_MAX;
    int64_t next = INT64_MAX;
    bool shown = false;
    for (const auto& n : all) {
        if (!ce::notify::isTimed(n) || !n.queueUtc || (n.status & CNS_SIGNALLED)) continue;
        if (*n.queueUtc > utc) {
            next = std::min(next, *n.queueUtc);
            continue;
        }
        if (n.hasUser && (n.actionFlags & PUN_DIALOG)) {
            // Shown until dismissed: the notification stays, marked, and the reminder thread
            // puts it on the screen.
            if (ce::notify::setNotificationStatus(n.handle, CNS_SIGNALLED) != ERROR_SUCCESS)
                continue;
            journalFired(n, "reminder", {});
            alert(n);
            shown = true;
            // A clock alarm that rang is followed by its next time.
            if (n.application && ce::equalNoCase(*n.application, u"\\Windows\\clock.exe"))
                startApplication(u"\\Windows\\clocknot.exe", {});
            continue;
        }
        // Removed first: a notification another process cleared a moment ago, or another
        // engine fired, does not start its program.
        if (ce::notify::removeNotification(n.handle) != ERROR_SUCCESS) continue;
        std::u16string commandLine = timedCommandLine(n);
        journalFired(n, "start", commandLine);
        if (n.hasUser) alert(n);
        startApplication(textOf(n.application), commandLine);
    }
    if (shown) refreshReminders();
    return next;
}

} // namespace ceshell::engine
