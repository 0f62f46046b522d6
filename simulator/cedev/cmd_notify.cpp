// cmd_notify.cpp: cedev notify, reminder, clock and event: the device's notifications, the
// reminders on its screen, the clock's alarms and the device events the notification engine
// reacts to.
//
//   cedev notify list
//   cedev notify add --time ISO|--event N --app PATH [--args TEXT] [--title T] [--text T]
//                    [--flags N] [--sound FILE]
//   cedev notify clear HANDLE
//   cedev reminder list | dismiss [HANDLE] | snooze [HANDLE]
//   cedev clock set N HH:MM LABEL [--days MTWTFSS]
//   cedev event wakeup|restore
//
// Lists print one line per item, fields separated by tabs; tabs, line breaks and backslashes
// inside fields are written \t, \r, \n and \\. Times are the device's local time,
// YYYY-MM-DDTHH:MM:SS, or "-" when there is none. Dismissing and snoozing change the database;
// the engine in the shell takes the reminder off the screen.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cedev.h"
#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/journal.h"
#include "kernel/strings.h"
#include "kernel/timezone.h"
#include "notify.h"
#include "notify/clockalarms.h"
#include "notify/notifystore.h"

namespace cedev {
namespace {

using ce::notify::Notification;

std::string escaped(const ce::notify::Text& t) {
    std::string out;
    if (!t) return out;
    for (char c : ce::toUtf8(*t)) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
    return out;
}

std::string localTime(const std::optional<int64_t>& utc) {
    if (!utc) return "-";
    auto conf = ce::deviceConf();
    return formatIso(ce::utcToLocal(ce::zoneInfoOf(*conf), *utc));
}

bool parseNumber(const std::string& text, uint32_t* out) {
    char* end = nullptr;
    errno = 0;
    unsigned long v = strtoul(text.c_str(), &end, 0);
    if (text.empty() || *end || errno || v > 0xFFFFFFFFul) return false;
    *out = static_cast<uint32_t>(v);
    return true;
}

int notifyList() {
    std::vector<Notification> all;
    DWORD r = ce::notify::listNotifications(&all);
    if (r != ERROR_SUCCESS)
        return fail("cannot read the notifications (error " + std::to_string(r) + ")");
    for (const auto& n : all)
        printf("%u\t%u\t%u\t%s\t%s\t%s\t%s\t%s\t%s\n", n.handle, n.type, n.event,
               localTime(n.startUtc).c_str(), localTime(n.queueUtc).c_str(),
               escaped(n.application).c_str(), escaped(n.arguments).c_str(),
               escaped(n.title).c_str(), escaped(n.text).c_str());
    return 0;
}

int notifyAdd(const Args& args) {
    std::string time, app, argsText, title, text, sound;
    bool haveArgs = false, haveTitle = false, haveText = false, haveSound = false;
    uint32_t event = 0, flags = 0;
    bool haveEvent = false, haveFlags = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i + 1 >= args.size()) return usage("missing value after " + a);
        const std::string& v = args[++i];
        if (a == "--time") {
            time = v;
        } else if (a == "--event") {
            if (!parseNumber(v, &event)) return usage("bad event " + v);
            haveEvent = true;
        } else if (a == "--app") {
            app = v;
        } else if (a == "--args") {
            argsText = v;
            haveArgs = true;
        } else if (a == "--title") {
            title = v;
            haveTitle = true;
        } else if (a == "--text") {
            text = v;
            haveText = true;
        } else if (a == "--flags") {
            if (!parseNumber(v, &flags)) return usage("bad flags " + v);
            haveFlags = true;
        } else if (a == "--sound") {
            sound = v;
            haveSound = true;
        } else {
            return usage("unknown option " + a);
        }
    }
    if (app.empty() || time.empty() == !haveEvent)
        return usage("notify add --time ISO|--event N --app PATH [--args TEXT] [--title T] "
                     "[--text T] [--flags N] [--sound FILE]");
    std::u16string app16 = ce::fromUtf8(app), args16 = ce::fromUtf8(argsText);
    std::u16string title16 = ce::fromUtf8(title), text16 = ce::fromUtf8(text);
    std::u16string sound16 = ce::fromUtf8(sound);
    CE_NOTIFICATION_TRIGGER t{};
    t.dwSize = sizeof t;
    t.lpszApplication = app16.data();
    t.lpszArguments = haveArgs ? args16.data() : nullptr;
    if (haveEvent) {
        t.dwType = CNT_EVENT;
        t.dwEvent = event;
    } else {
        int64_t utc = 0;
        std::string error;
        if (!parseDeviceTime(time, &utc, &error)) return usage(error);
        auto conf = ce::deviceConf();
        FILETIME ft = ce::intToFileTime(ce::utcToLocal(ce::zoneInfoOf(*conf), utc));
        FileTimeToSystemTime(&ft, &t.stStartTime);
        t.dwType = CNT_TIME;
    }
    CE_USER_NOTIFICATION u{};
    bool user = haveTitle || haveText || haveFlags || haveSound;
    if (user) {
        // Without --flags a title or text means a dialog, and a sound is played.
        u.ActionFlags =
            haveFlags ? flags
                      : ((haveTitle || haveText) ? PUN_DIALOG : 0) | (haveSound ? PUN_SOUND : 0);
        u.pwszDialogTitle = haveTitle ? title16.data() : nullptr;
        u.pwszDialogText = haveText ? text16.data() : nullptr;
        u.pwszSound = haveSound ? sound16.data() : nullptr;
    }
    HANDLE h = CeSetUserNotificationEx(nullptr, &t, user ? &u : nullptr);
    if (!h)
        return fail("cannot add the notification (error " + std::to_string(GetLastError()) + ")");
    printf("%u\n", HandleToULong(h));
    return 0;
}

int notifyClear(const Args& args) {
    uint32_t handle = 0;
    if (args.size() != 1 || !parseNumber(args[0], &handle)) return usage("notify clear HANDLE");
    if (!CeClearUserNotification(ULongToHandle(handle))) return fail("no notification " + args[0]);
    return 0;
}

bool isReminder(const Notification& n) {
    return (n.status & CNS_SIGNALLED) && n.hasUser && (n.actionFlags & PUN_DIALOG);
}

int reminderAct(const Args& args, bool snooze) {
    uint32_t handle = 0;
    if (args.size() > 1 || (args.size() == 1 && !parseNumber(args[0], &handle)))
        return usage(snooze ? "reminder snooze [HANDLE]" : "reminder dismiss [HANDLE]");
    std::vector<Notification> all;
    if (ce::notify::listNotifications(&all) != ERROR_SUCCESS)
        return fail("cannot read the notifications");
    int done = 0;
    for (const auto& n : all) {
        if (!isReminder(n) || (handle && n.handle != handle)) continue;
        DWORD r = snooze ? ce::notify::snoozeNotification(n.handle, ce::deviceUtcNow() +
                                                                        5 * ce::kFileTimePerMinute)
                         : ce::notify::removeNotification(n.handle);
        if (r != ERROR_SUCCESS) continue;
        ce::JournalLine(snooze ? "reminder.snoozed" : "reminder.dismissed")
            .num("handle", n.handle)
            .str("by", "automation")
            .write();
        ++done;
    }
    if (!done)
        return fail(handle ? "no reminder " + args[0] + " on the screen"
                           : "no reminder on the screen");
    return 0;
}

int clockSet(const Args& args) {
    ce::notify::ClockAlarm a;
    std::string days = "MTWTFSS";
    std::vector<std::string> plain;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--days" && i + 1 < args.size())
            days = args[++i];
        else
            plain.push_back(args[i]);
    }
    uint32_t index = 0;
    const char* help = "clock set N HH:MM LABEL [--days MTWTFSS]";
    if (plain.size() != 3 || !parseNumber(plain[0], &index) || index >= ce::notify::kClockAlarms)
        return usage(help);
    const std::string& hm = plain[1];
    if (hm.size() != 5 || hm[2] != ':' || !isdigit(static_cast<unsigned char>(hm[0])) ||
        !isdigit(static_cast<unsigned char>(hm[1])) ||
        !isdigit(static_cast<unsigned char>(hm[3])) || !isdigit(static_cast<unsigned char>(hm[4])))
        return usage(help);
    // --days: seven letters from Monday; a letter keeps the day, '-' (or '.') leaves it out.
    if (days.size() != 7) return usage("--days takes seven letters, Monday first (MTWTF--)");
    a.days = 0;
    for (int d = 0; d < 7; ++d)
        if (days[d] != '-' && days[d] != '.') a.days |= 1u << d;
    a.index = static_cast<int>(index);
    a.hour = (hm[0] - '0') * 10 + hm[1] - '0';
    a.minute = (hm[3] - '0') * 10 + hm[4] - '0';
    a.label = ce::fromUtf8(plain[2]);
    if (!ce::notify::writeClockAlarm(a)) return usage(help);
    DWORD r = ce::notify::registerClockAlarms();
    if (r != ERROR_SUCCESS)
        return fail("cannot register the alarms (error " + std::to_string(r) + ")");
    return 0;
}

} // namespace

int cmdNotify(const Args& args) {
    if (args.empty()) return usage("notify list | notify add ... | notify clear HANDLE");
    if (!needDevice()) return 1;
    Args rest(args.begin() + 1, args.end());
    if (args[0] == "list" && rest.empty()) return notifyList();
    if (args[0] == "add") return notifyAdd(rest);
    if (args[0] == "clear") return notifyClear(rest);
    return usage("notify list | notify add ... | notify clear HANDLE");
}

int cmdReminder(const Args& args) {
    if (args.empty())
        return usage("reminder list | reminder dismiss [HANDLE] | reminder snooze [HANDLE]");
    if (!needDevice()) return 1;
    Args rest(args.begin() + 1, args.end());
    if (args[0] == "list" && rest.empty()) {
        std::vector<Notification> all;
        if (ce::notify::listNotifications(&all) != ERROR_SUCCESS)
            return fail("cannot read the notifications");
        for (const auto& n : all)
            if (isReminder(n))
                printf("%u\t%s\t%s\t%s\t%s\n", n.handle, localTime(n.queueUtc).c_str(),
                       escaped(n.application).c_str(), escaped(n.title).c_str(),
                       escaped(n.text).c_str());
        return 0;
    }
    if (args[0] == "dismiss") return reminderAct(rest, false);
    if (args[0] == "snooze") return reminderAct(rest, true);
    return usage("reminder list | reminder dismiss [HANDLE] | reminder snooze [HANDLE]");
}

int cmdClock(const Args& args) {
    if (args.empty() || args[0] != "set") return usage("clock set N HH:MM LABEL [--days MTWTFSS]");
    if (!needDevice()) return 1;
    return clockSet(Args(args.begin() + 1, args.end()));
}

int cmdEvent(const Args& args) {
    if (args.size() != 1 || (args[0] != "wakeup" && args[0] != "restore"))
        return usage("event wakeup|restore");
    if (!needDevice()) return 1;
    DWORD event = args[0] == "wakeup" ? NOTIFICATION_EVENT_WAKEUP : NOTIFICATION_EVENT_RESTORE_END;
    DWORD r = ce::notify::raiseDeviceEvent(event);
    if (r != ERROR_SUCCESS) return fail("cannot raise the event (error " + std::to_string(r) + ")");
    ce::JournalLine("device.raised").str("event", args[0]).write();
    return 0;
}

} // namespace cedev
