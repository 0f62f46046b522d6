// clockalarms.cpp: the clock's alarms in the registry and their notifications. See
// clockalarms.h.
#include "notify/clockalarms.h"

#include <cstdio>
#include <string>

#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/strings.h"
#include "kernel/timezone.h"
#include "notify.h"
#include "notify/notifystore.h"

namespace ce::notify {
namespace {

constexpr char16_t kClockApp[] = u"\\Windows\\clock.exe";

std::u16string keyPath(int index) {
    return u"Software\\Microsoft\\Clock\\" + std::u16string(1, static_cast<char16_t>(u'0' + index));
}

std::u16string twoDigits(int hour, int minute) {
    char s[8];
    snprintf(s, sizeof s, "%02d:%02d", hour % 100, minute % 100);
    return ce::fromUtf8(s);
}

} // namespace

bool writeClockAlarm(const ClockAlarm& a) {
    if (a.index < 0 || a.index >= kClockAlarms || a.hour < 0 || a.hour > 23 || a.minute < 0 ||
        a.minute > 59 || a.label.size() > 256)
        return false;
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath(a.index).c_str(), 0, nullptr, 0, 0, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    DWORD on = a.on ? 1 : 0, days = a.days & kEveryDay;
    std::u16string time = twoDigits(a.hour, a.minute);
    bool ok =
        RegSetValueExW(key, u"AlarmOn", 0, REG_DWORD, reinterpret_cast<BYTE*>(&on), 4) == 0 &&
        RegSetValueExW(key, u"AlarmTime", 0, REG_SZ, reinterpret_cast<const BYTE*>(time.c_str()),
                       static_cast<DWORD>((time.size() + 1) * 2)) == 0 &&
        RegSetValueExW(key, u"AlarmDays", 0, REG_DWORD, reinterpret_cast<BYTE*>(&days), 4) == 0 &&
        RegSetValueExW(key, u"AlarmDescription", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(a.label.c_str()),
                       static_cast<DWORD>((a.label.size() + 1) * 2)) == 0;
    RegCloseKey(key);
    return ok;
}

bool readClockAlarm(int index, ClockAlarm* out) {
    if (index < 0 || index >= kClockAlarms) return false;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath(index).c_str(), 0, 0, &key) != ERROR_SUCCESS)
        return false;
    ClockAlarm a;
    a.index = index;
    DWORD value = 0, size = 4, type = 0;
    if (RegQueryValueExW(key, u"AlarmOn", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
            0 &&
        type == REG_DWORD)
        a.on = value != 0;
    size = 4;
    if (RegQueryValueExW(key, u"AlarmDays", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) == 0 &&
        type == REG_DWORD)
        a.days = value & kEveryDay;
    WCHAR text[260] = {};
    size = sizeof text - 2;
    bool haveTime = RegQueryValueExW(key, u"AlarmTime", nullptr, &type,
                                     reinterpret_cast<BYTE*>(text), &size) == 0 &&
                    type == REG_SZ;
    std::u16string time = haveTime ? std::u16string(text) : std::u16string();
    std::fill(std::begin(text), std::end(text), u'\0');
    size = sizeof text - 2;
    if (RegQueryValueExW(key, u"AlarmDescription", nullptr, &type, reinterpret_cast<BYTE*>(text),
                         &size) == 0 &&
        type == REG_SZ)
        a.label = text;
    RegCloseKey(key);
    if (time.size() != 5 || time[2] != u':') return false;
    auto digit = [](char16_t c) { return c >= u'0' && c <= u'9' ? c - u'0' : -100; };
    a.hour = digit(time[0]) * 10 + digit(time[1]);
    a.minute = digit(time[3]) * 10 + digit(time[4]);
    if (a.hour < 0 || a.hour > 23 || a.minute < 0 || a.minute > 59) return false;
    *out = a;
    return true;
}

int64_t nextAlarmTime(const ClockAlarm& a, int64_t localNow) {
    if (!(a.days & kEveryDay)) return -1;
    int64_t dayStart = localNow - localNow % kFileTimePerDay;
    for (int d = 0; d <= 7; ++d) {
        int64_t t = dayStart + d * kFileTimePerDay + (a.hour * 60 + a.minute) * kFileTimePerMinute;
        if (t <= localNow) continue;
        FILETIME ft = intToFileTime(t);
        SYSTEMTIME st;
        if (!FileTimeToSystemTime(&ft, &st)) return -1;
        int monday0 = (st.wDayOfWeek + 6) % 7; // wDayOfWeek: 0 = Sunday
        if (a.days & (1u << monday0)) return t;
    }
    return -1;
}

DWORD registerClockAlarms() {
    DWORD r = removeNotificationsIf([](const Notification& n) {
        return !(n.status & CNS_SIGNALLED) && n.application &&
               ce::equalNoCase(*n.application, kClockApp);
    });
    if (r != ERROR_SUCCESS) return r;
    auto conf = ce::deviceConf();
    TIME_ZONE_INFORMATION tz = ce::zoneInfoOf(*conf);
    int64_t localNow = ce::utcToLocal(tz, ce::deviceUtcNow());
    for (int i = 0; i < kClockAlarms; ++i) {
        ClockAlarm a;
        if (!readClockAlarm(i, &a) || !a.on) continue;
        int64_t local = nextAlarmTime(a, localNow);
        if (local < 0) continue;
        Notification n;
        n.type = CNT_TIME;
        n.application = std::u16string(kClockApp);
        n.arguments = u"alarm " + std::u16string(1, static_cast<char16_t>(u'0' + i));
        n.startUtc = ce::localToUtc(tz, local);
        n.queueUtc = n.startUtc;
        n.hasUser = true;
        n.actionFlags = PUN_LED | PUN_DIALOG | PUN_SOUND;
        n.title = std::u16string(u"Alarm");
        n.text = u"Alarm: " + a.label + u"\r\n" + twoDigits(a.hour, a.minute);
        n.sound = std::u16string(u"alarm1.wav");
        r = addNotification(n);
        if (r != ERROR_SUCCESS) return r;
    }
    return ERROR_SUCCESS;
}

} // namespace ce::notify
