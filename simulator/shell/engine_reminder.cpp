// engine_reminder.cpp: the system's reminders on the screen: one window of class "Dialog"
// titled "Reminder" per notification that fired with PUN_DIALOG, with its title and text and
// the buttons Dismiss and Snooze (5 minutes), stacked when several are up; the state values
// that other programs watch; and the shell notification of the reminder class.
//
// The windows follow the database: the thread makes and takes down windows whenever it is
// asked to refresh, so a reminder dismissed or snoozed from anywhere (the buttons, `cedev
// reminder`, CeClearUserNotification of its program) leaves the screen the same way.
//
// State values, kept under HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER alike because programs
// watch one root and read the other:
//   System\State\Shell\Reminders   Active = reminders on the screen; one subkey per reminder
//                                  (its handle in decimal) with Title and Text
//   System\State\Reminder\Count    APPT, TASK, ALARM = reminders of the calendar, the tasks
//                                  and everything else
//   System\State\Shell             Notify = reminders on the screen
#include <aygshell.h>

#include <algorithm>
#include <cwctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "kernel/clock.h"
#include "kernel/journal.h"
#include "notify.h"
#include "notify/notifystore.h"
#include "notifyengine.h"

namespace ceshell::engine {
namespace {

using ce::notify::Notification;

constexpr UINT kMsgRefresh = WM_APP + 0x40;
constexpr UINT kMsgStop = WM_APP + 0x41;
constexpr int kIdDismiss = 1001;
constexpr int kIdSnooze = 1002;
constexpr int kIdTitle = 1003;
constexpr int kIdText = 1004;
constexpr int64_t kSnooze = 5 * ce::kFileTimePerMinute;
constexpr DWORD kShellNotificationId = 0xF000;
// {15F11F90-8A5F-454c-89FC-BA9B7AAB0CAD}: the class of the system's reminders.
constexpr CLSID kReminderClass = {
    0x15F11F90, 0x8A5F, 0x454C, {0x89, 0xFC, 0xBA, 0x9B, 0x7A, 0xAB, 0x0C, 0xAD}};

const CeDialogItem kItems[] = {
    {u"STATIC", kIdTitle, u"", {6, 4, 128, 10}, SS_LEFT, 0},
    {u"STATIC", kIdText, u"", {6, 16, 128, 44}, SS_LEFT, 0},
    {u"BUTTON", kIdDismiss, u"Dismiss", {6, 64, 60, 14}, BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
    {u"BUTTON", kIdSnooze, u"Snooze", {74, 64, 60, 14}, BS_PUSHBUTTON | WS_TABSTOP, 0},
};
const CeDialogTemplate kReminderTemplate = {WS_POPUP | WS_CAPTION | WS_BORDER | DS_SETFOREGROUND |
                                                DS_ABSALIGN,
                                            0,
                                            {8, 40, 140, 84},
                                            u"Reminder",
                                            nullptr,
                                            0,
                                            kItems,
                                            sizeof kItems / sizeof kItems[0]};

struct Reminders {
    HWND host = nullptr;
    std::map<uint32_t, HWND> windows; // by notification handle, in the order they came
    std::vector<uint32_t> order;
    std::map<uint32_t, Notification> shown;
};

Reminders& state() {
    static Reminders r;
    return r;
}

std::u16string textOf(const ce::notify::Text& t) {
    return t ? *t : std::u16string();
}

// "APPT", "TASK" or "ALARM" by the notification's program.
const char16_t* kindOf(const Notification& n) {
    std::u16string app = textOf(n.application);
    for (auto& c : app)
        if (c < 0x80) c = static_cast<char16_t>(std::towlower(c));
    if (app.find(u"calendar") != std::u16string::npos) return u"APPT";
    if (app.find(u"tasks.") != std::u16string::npos) return u"TASK";
    return u"ALARM";
}

void setDword(HKEY root, const char16_t* path, const char16_t* name, DWORD value) {
    HKEY key;
    if (RegCreateKeyExW(root, path, 0, nullptr, 0, 0, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

void setText(HKEY key, const char16_t* name, const std::u16string& value) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
}

// Rewrites the state values under one root for the reminders on the screen.
void writeState(HKEY root) {
    Reminders& r = state();
    const char16_t* remindersPath = u"System\\State\\Shell\\Reminders";
    HKEY key;
    if (RegCreateKeyExW(root, remindersPath, 0, nullptr, 0, 0, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        // Subkeys of reminders no longer up go; those up are (re)written.
        std::vector<std::u16string> stale;
        WCHAR name[64];
        for (DWORD i = 0;; ++i) {
            DWORD chars = 64;
            if (RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            stale.emplace_back(name);
        }
        for (const auto& s : stale)
            RegDeleteKeyW(key, s.c_str());
        for (uint32_t h : r.order) {
            const Notification& n = r.shown[h];
            std::string digits = std::to_string(h);
            std::u16string sub(digits.begin(), digits.end());
            HKEY item;
            if (RegCreateKeyExW(key, sub.c_str(), 0, nullptr, 0, 0, nullptr, &item, nullptr) ==
                ERROR_SUCCESS) {
                setText(item, u"Title", textOf(n.title));
                setText(item, u"Text", textOf(n.text));
                RegCloseKey(item);
            }
        }
        DWORD active = static_cast<DWORD>(r.order.size());
        RegSetValueExW(key, u"Active", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&active),
                       sizeof active);
        RegCloseKey(key);
    }
    DWORD appt = 0, task = 0, alarm = 0;
    for (uint32_t h : r.order) {
        std::u16string kind = kindOf(r.shown[h]);
        (kind == u"APPT" ? appt : kind == u"TASK" ? task : alarm)++;
    }
    setDword(root, u"System\\State\\Reminder\\Count", u"APPT", appt);
    setDword(root, u"System\\State\\Reminder\\Count", u"TASK", task);
    setDword(root, u"System\\State\\Reminder\\Count", u"ALARM", alarm);
    setDword(root, u"System\\State\\Shell", u"Notify", static_cast<DWORD>(r.order.size()));
}

void publishState() {
    Reminders& r = state();
    writeState(HKEY_LOCAL_MACHINE);
    writeState(HKEY_CURRENT_USER);
    if (r.order.empty()) {
        SHNotificationRemove(&kReminderClass, kShellNotificationId);
        return;
    }
    // The newest reminder is the one the shell's notification shows.
    const Notification& n = r.shown[r.order.back()];
    std::u16string title = textOf(n.title), text = textOf(n.text);
    SHNOTIFICATIONDATA d{};
    d.cbStruct = sizeof d;
    d.dwID = kShellNotificationId;
    d.npPriority = SHNP_INFORM;
    d.csDuration = static_cast<DWORD>(-1);
    d.clsid = kReminderClass;
    d.hwndSink = r.windows[r.order.back()];
    d.pszTitle = title.c_str();
    d.pszHTML = text.c_str();
    SHNotificationAdd(&d);
}

uint32_t handleOfWindow(HWND w) {
    for (const auto& [h, win] : state().windows)
        if (win == w) return h;
    return 0;
}

INT_PTR CALLBACK reminderProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    if (msg != WM_COMMAND) return msg == WM_INITDIALOG;
    int id = LOWORD(wParam);
    uint32_t handle = handleOfWindow(dlg);
    if (!handle || (id != kIdDismiss && id != kIdSnooze && id != IDCANCEL && id != IDOK))
        return FALSE;
    if (id == kIdSnooze) {
        ce::JournalLine("reminder.snoozed").num("handle", handle).str("by", "user").write();
        ce::notify::snoozeNotification(handle, ce::deviceUtcNow() + kSnooze);
    } else {
        ce::JournalLine("reminder.dismissed").num("handle", handle).str("by", "user").write();
        ce::notify::removeNotification(handle);
    }
    refreshReminders();
    return TRUE;
}

void show(const Notification& n) {
    Reminders& r = state();
    HWND dlg = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &kReminderTemplate, nullptr,
                                          reminderProc, 0);
    if (!dlg) return;
    SetDlgItemTextW(dlg, kIdTitle, textOf(n.title).c_str());
    SetDlgItemTextW(dlg, kIdText, textOf(n.text).c_str());
    int k = static_cast<int>(r.order.size());
    SetWindowPos(dlg, HWND_TOP, 8 + 8 * k, 40 + 8 * k, 0, 0, SWP_NOSIZE);
    ShowWindow(dlg, SW_SHOW);
    SetForegroundWindow(dlg);
    r.windows[n.handle] = dlg;
    r.order.push_back(n.handle);
    r.shown[n.handle] = n;
    ce::JournalLine("reminder.shown")
        .num("handle", n.handle)
        .str("title", textOf(n.title).c_str())
        .str("text", textOf(n.text).c_str())
        .write();
}

void takeDown(uint32_t handle) {
    Reminders& r = state();
    auto it = r.windows.find(handle);
    if (it != r.windows.end()) {
        DestroyWindow(it->second);
        r.windows.erase(it);
    }
    r.order.erase(std::remove(r.order.begin(), r.order.end(), handle), r.order.end());
    r.shown.erase(handle);
    ce::JournalLine("reminder.closed").num("handle", handle).write();
}

void refresh() {
    std::vector<Notification> all;
    if (ce::notify::listNotifications(&all) != ERROR_SUCCESS) return;
    std::map<uint32_t, const Notification*> wanted;
    for (const auto& n : all)
        if ((n.status & CNS_SIGNALLED) && n.hasUser && (n.actionFlags & PUN_DIALOG))
            wanted[n.handle] = &n;
    Reminders& r = state();
    bool changed = false;
    for (uint32_t h : std::vector<uint32_t>(r.order))
        if (!wanted.count(h)) {
            takeDown(h);
            changed = true;
        }
    for (const auto& n : all)
        if (wanted.count(n.handle) && !r.windows.count(n.handle)) {
            show(n);
            changed = true;
        }
    if (changed) publishState();
}

LRESULT CALLBACK hostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case kMsgRefresh: refresh(); return 0;
    case kMsgStop: {
        Reminders& r = state();
        bool any = !r.order.empty();
        for (uint32_t h : std::vector<uint32_t>(r.order))
            takeDown(h);
        if (any) publishState();
        DestroyWindow(hwnd);
        PostQuitMessage(0);
        return 0;
    }
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

} // namespace

void runReminders(void (*ready)(HWND window)) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = hostProc;
    wc.hInstance = instance;
    wc.lpszClassName = u"ceshell_reminders";
    RegisterClassW(&wc);
    HWND host = CreateWindowExW(0, wc.lpszClassName, u"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                instance, nullptr);
    // The host is an invisible window among the desktop's children: it goes to the bottom of
    // the stacking order, so that the window in front stays the desktop's first child (programs
    // find the Today screen's items that way).
    if (host) SetWindowPos(host, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    state().host = host;
    ready(host);
    if (!host) return;
    // Reminders left on the screen by a shell that ended come up again.
    refresh();
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    state().host = nullptr;
}

void stopReminders() {
    if (HWND host = state().host) PostMessageW(host, kMsgStop, 0, 0);
}

void refreshReminders() {
    if (HWND host = state().host) PostMessageW(host, kMsgRefresh, 0, 0);
}

} // namespace ceshell::engine
