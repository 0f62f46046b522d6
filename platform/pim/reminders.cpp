// reminders.cpp: keeping the reminder notifications of appointments and tasks in step with
// the store (see reminders.h), through the notification database's own API.
#include "pim/reminders.h"

#include <climits>
#include <string>
#include <vector>

#include "kernel/clock.h"
#include "kernel/strings.h"
#include "kernel/trace.h"
#include "notify.h"
#include "pim/recur.h"
#include "pim/store.h"

namespace ce::pim {
namespace {

// LED, dialog and sound: what the device's calendar asks for.
constexpr DWORD kReminderActions = PUN_LED | PUN_DIALOG | PUN_SOUND;
constexpr char16_t kReminderSound[] = u"\\Windows\\Alarm1.wav";
// How far ahead the next occurrence of a series is looked for.
constexpr int64_t kSeriesHorizon = 400 * kFileTimePerDay;

SYSTEMTIME systemTimeOf(int64_t local) {
    FILETIME ft = intToFileTime(local);
    SYSTEMTIME st{};
    FileTimeToSystemTime(&ft, &st);
    return st;
}

std::u16string shortDate(int64_t local) {
    SYSTEMTIME st = systemTimeOf(local);
    char16_t buf[64] = {};
    if (!GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buf, 64)) return {};
    return buf;
}

std::u16string poomTag(uint32_t oid) {
    return u"POOM: " + fromUtf8(std::to_string(oid));
}

// The program name of a notification's application, lower case, without the folder.
std::u16string programName(const WCHAR* app) {
    if (!app) return {};
    std::u16string s(app);
    size_t slash = s.find_last_of(u"\\/");
    if (slash != std::u16string::npos) s = s.substr(slash + 1);
    for (auto& c : s)
        c = foldCase(c);
    return s;
}

bool isStoreReminder(const CE_NOTIFICATION_TRIGGER* t) {
    if (!t || !t->lpszArguments) return false;
    std::u16string app = programName(t->lpszApplication);
    if (app != u"calendar.exe" && app != u"tasks.exe") return false;
    return std::u16string_view(t->lpszArguments).substr(0, 5) == u"POOM:";
}

// The notification's trigger, or false when it is gone.
bool readNotification(uint32_t handle, std::vector<uint8_t>* buffer) {
    HANDLE h = ULongToHandle(handle);
    DWORD needed = 0;
    CeGetUserNotification(h, 0, &needed, nullptr);
    if (needed < sizeof(CE_NOTIFICATION_INFO_HEADER) || needed > (1u << 20)) return false;
    buffer->assign(needed, 0);
    return CeGetUserNotification(h, needed, &needed, buffer->data()) != FALSE;
}

} // namespace

int64_t nextReminderTime(const Item& item) {
    if (!item.number[ReminderSet]) return kNoDate;
    int64_t now = deviceLocalNow();
    if (item.kind == Kind::Task) {
        if (item.number[Complete] || item.date[ReminderTime] == kNoDate) return kNoDate;
        return item.date[ReminderTime] >= now ? item.date[ReminderTime] : kNoDate;
    }
    if (item.kind != Kind::Appointment || item.date[Start] == kNoDate) return kNoDate;
    int64_t before =
        static_cast<int64_t>(item.number[ReminderMinutesBeforeStart]) * kFileTimePerMinute;
    if (!item.recurring()) {
        int64_t at = item.date[Start] - before;
        return at >= now ? at : kNoDate;
    }
    for (const Item& occ : expandSeries(item, now + before, now + before + kSeriesHorizon, 64)) {
        if (!occ.number[ReminderSet]) continue;
        int64_t at = occ.date[Start] - before;
        if (at >= now) return at;
    }
    return kNoDate;
}

uint32_t syncReminder(const Item& item) {
    int64_t at = nextReminderTime(item);
    if (at == kNoDate) {
        if (item.notification) clearReminder(item.notification);
        return 0;
    }
    bool task = item.kind == Kind::Task;
    std::u16string app = task ? u"tasks.exe" : u"calendar.exe";
    std::u16string tag = poomTag(item.oid);
    std::u16string text = item.text[Subject];
    if (task) {
        if (item.date[DueDate] != kNoDate) text += u"\r\n Due: " + shortDate(item.date[DueDate]);
    } else if (!item.text[Location].empty()) {
        text += u"\r\n" + item.text[Location];
    }
    std::u16string args = tag, title = tag, sound = kReminderSound;

    CE_NOTIFICATION_TRIGGER trigger{};
    trigger.dwSize = sizeof trigger;
    trigger.dwType = CNT_TIME;
    trigger.lpszApplication = app.data();
    trigger.lpszArguments = args.data();
    trigger.stStartTime = systemTimeOf(at);
    trigger.stEndTime = trigger.stStartTime;
    CE_USER_NOTIFICATION user{};
    user.ActionFlags = kReminderActions;
    user.pwszDialogTitle = title.data();
    user.pwszDialogText = text.data();
    user.pwszSound = sound.data();

    HANDLE h = nullptr;
    if (item.notification)
        h = CeSetUserNotificationEx(ULongToHandle(item.notification), &trigger, &user);
    if (!h) h = CeSetUserNotificationEx(nullptr, &trigger, &user);
    if (!h) CE_TRACE("pim", "no reminder for %u: error %u", item.oid, GetLastError());
    return HandleToULong(h);
}

void clearReminder(uint32_t handle) {
    if (handle) CeClearUserNotification(ULongToHandle(handle));
}

int rebuildReminders() {
    // The notifications of the calendar and tasks programs that exist now.
    std::vector<uint32_t> existing;
    DWORD count = 0;
    CeGetUserNotificationHandles(nullptr, 0, &count);
    std::vector<HANDLE> handles(count + 16);
    if (count &&
        CeGetUserNotificationHandles(handles.data(), static_cast<DWORD>(handles.size()), &count)) {
        handles.resize(count);
        std::vector<uint8_t> buffer;
        for (HANDLE h : handles) {
            if (!readNotification(HandleToULong(h), &buffer)) continue;
            auto* header = reinterpret_cast<const CE_NOTIFICATION_INFO_HEADER*>(buffer.data());
            if (isStoreReminder(header->pcent)) existing.push_back(HandleToULong(h));
        }
    }
    int set = 0;
    std::vector<uint32_t> kept;
    for (Kind kind : {Kind::Appointment, Kind::Task}) {
        std::vector<Item> items;
        loadItems(kind, &items);
        for (Item& item : items) {
            bool known = false;
            for (uint32_t h : existing)
                if (h == item.notification) known = true;
            if (!known) item.notification = 0; // a handle the database no longer has
            uint32_t handle = syncReminder(item);
            if (handle != item.notification) setNotification(item.oid, handle);
            if (handle) {
                kept.push_back(handle);
                ++set;
            }
        }
    }
    for (uint32_t h : existing) {
        bool owned = false;
        for (uint32_t k : kept)
            if (k == h) owned = true;
        if (!owned) clearReminder(h);
    }
    return set;
}

} // namespace ce::pim
