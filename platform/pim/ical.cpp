// ical.cpp: .ics import and export, .vcf contact import (see ical.h).
//
// A changed occurrence (a VEVENT with RECURRENCE-ID) may come before or after its series in
// the file, so events are first collected by UID and stored once the whole file was read.
#include "pim/ical.h"

#include <libical/ical.h>

#include <algorithm>
#include <cstring>
#include <strings.h>
#include <map>
#include <memory>
#include <vector>

#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/strings.h"
#include "kernel/timezone.h"
#include "pim/item.h"
#include "pim/recur.h"
#include "pim/store.h"

namespace ce::pim {
namespace {

// 1970-01-01 in FILETIME units.
constexpr int64_t kUnixEpoch = 116444736000000000LL;

struct ComponentDeleter {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentDeleter>;

std::u16string textOf(icalcomponent* c, icalproperty_kind kind) {
    icalproperty* p = icalcomponent_get_first_property(c, kind);
    if (!p) return {};
    const char* v = icalproperty_get_value_as_string(p);
    if (!v) return {};
    // Escaped characters of TEXT values (\, \; \n) come back as written by the writer.
    std::string out;
    for (size_t i = 0; v[i]; ++i) {
        if (v[i] == '\\' && v[i + 1]) {
            char n = v[++i];
            out += n == 'n' || n == 'N' ? '\n' : n;
        } else {
            out += v[i];
        }
    }
    return fromUtf8(out);
}

// A time value of a property in the device's local time. A DATE value is a calendar day
// (isDate); a UTC time or one with a TZID converts through that zone; a floating time is
// taken as device local time.
bool deviceLocalOf(icalcomponent* root, icalproperty* prop, icaltimetype t, int64_t* local,
                   bool* isDate) {
    if (icaltime_is_null_time(t) || !icaltime_is_valid_time(t)) return false;
    *isDate = t.is_date != 0;
    if (t.is_date) return makeLocal(t.year, t.month, t.day, 0, 0, 0, local);
    icaltimezone* zone = nullptr;
    if (icaltime_is_utc(t)) {
        zone = icaltimezone_get_utc_timezone();
    } else if (icalparameter* tzid =
                   prop ? icalproperty_get_first_parameter(prop, ICAL_TZID_PARAMETER) : nullptr) {
        const char* name = icalparameter_get_tzid(tzid);
        if (name) {
            zone = root ? icalcomponent_get_timezone(root, name) : nullptr;
            if (!zone) zone = icaltimezone_get_builtin_timezone(name);
        }
    }
    if (!zone) return makeLocal(t.year, t.month, t.day, t.hour, t.minute, t.second, local);
    time_t utc = icaltime_as_timet_with_zone(t, zone);
    int64_t ft = kUnixEpoch + static_cast<int64_t>(utc) * kFileTimePerSecond;
    *local = utcToLocal(zoneInfoOf(*deviceConf()), ft);
    return true;
}

bool propTime(icalcomponent* root, icalcomponent* c, icalproperty_kind kind, int64_t* local,
              bool* isDate) {
    icalproperty* p = icalcomponent_get_first_property(c, kind);
    if (!p) return false;
    return deviceLocalOf(root, p, icalvalue_get_datetime(icalproperty_get_value(p)), local, isDate);
}

// The reminder of a VALARM: minutes before the start (relative triggers), or an absolute time.
struct Alarm {
    bool present = false;
    bool absolute = false;
    int64_t at = 0;
    int minutesBefore = 0;
};

Alarm alarmOf(icalcomponent* root, icalcomponent* c) {
    Alarm a;
    icalcomponent* alarm = icalcomponent_get_first_component(c, ICAL_VALARM_COMPONENT);
    if (!alarm) return a;
    icalproperty* trig = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY);
    if (!trig) return a;
    icaltriggertype t = icalproperty_get_trigger(trig);
    a.present = true;
    if (!icaltime_is_null_time(t.time)) {
        bool isDate;
        a.absolute = deviceLocalOf(root, trig, t.time, &a.at, &isDate);
        if (!a.absolute) a.present = false;
    } else {
        int seconds = icaldurationtype_as_int(t.duration);
        a.minutesBefore = seconds < 0 ? -seconds / 60 : 0;
    }
    return a;
}

struct Event {
    ce::pim::Item item;
    std::vector<Exception> changed;
};

bool readEvent(icalcomponent* root, icalcomponent* c, ce::pim::Item* item, int64_t* recurrenceId) {
    *item = ce::pim::Item(Kind::Appointment);
    item->text[Subject] = textOf(c, ICAL_SUMMARY_PROPERTY);
    item->text[Location] = textOf(c, ICAL_LOCATION_PROPERTY);
    item->text[Categories] = textOf(c, ICAL_CATEGORIES_PROPERTY);
    item->text[Body] = textOf(c, ICAL_DESCRIPTION_PROPERTY);
    bool allDay = false, endIsDate = false;
    int64_t start, end;
    if (!propTime(root, c, ICAL_DTSTART_PROPERTY, &start, &allDay)) return false;
    if (!propTime(root, c, ICAL_DTEND_PROPERTY, &end, &endIsDate)) {
        icalproperty* dur = icalcomponent_get_first_property(c, ICAL_DURATION_PROPERTY);
        int seconds = dur ? icaldurationtype_as_int(icalproperty_get_duration(dur)) : 0;
        end = start + (seconds > 0 ? seconds * kFileTimePerSecond : (allDay ? kFileTimePerDay : 0));
    }
    if (end < start) end = start;
    if (allDay && end <= start) end = start + kFileTimePerDay;
    item->number[AllDayEvent] = allDay ? 1 : 0;
    item->date[Start] = start;
    item->date[End] = end;
    Alarm alarm = alarmOf(root, c);
    item->number[ReminderSet] = alarm.present ? 1 : 0;
    if (alarm.present)
        item->number[ReminderMinutesBeforeStart] =
            alarm.absolute
                ? static_cast<int32_t>(std::max<int64_t>(0, start - alarm.at) / kFileTimePerMinute)
                : alarm.minutesBefore;
    icalproperty* status = icalcomponent_get_first_property(c, ICAL_TRANSP_PROPERTY);
    if (status && icalproperty_get_transp(status) == ICAL_TRANSP_TRANSPARENT)
        item->number[BusyStatus] = 0;
    if (icalproperty* rr = icalcomponent_get_first_property(c, ICAL_RRULE_PROPERTY)) {
        icalrecurrencetype r = icalproperty_get_rrule(rr);
        char* text = icalrecurrencetype_as_string_r(&r);
        if (text) {
            if (validRule(text)) item->rrule = text;
            icalmemory_free_buffer(text);
        }
    }
    for (icalproperty* ex = icalcomponent_get_first_property(c, ICAL_EXDATE_PROPERTY); ex;
         ex = icalcomponent_get_next_property(c, ICAL_EXDATE_PROPERTY)) {
        int64_t when;
        bool isDate;
        if (deviceLocalOf(root, ex, icalproperty_get_exdate(ex), &when, &isDate)) {
            // A DATE exclusion of a timed series names the day: match the series' time of day.
            if (isDate && !allDay) when += start % kFileTimePerDay;
            item->exdates.push_back(when);
        }
    }
    *recurrenceId = kNoDate;
    if (icalproperty* rid = icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY)) {
        bool isDate;
        int64_t when;
        if (deviceLocalOf(root, rid, icalproperty_get_recurrenceid(rid), &when, &isDate))
            *recurrenceId = when;
    }
    return true;
}

bool readTodo(icalcomponent* root, icalcomponent* c, ce::pim::Item* item) {
    *item = ce::pim::Item(Kind::Task);
    item->text[Subject] = textOf(c, ICAL_SUMMARY_PROPERTY);
    item->text[Categories] = textOf(c, ICAL_CATEGORIES_PROPERTY);
    item->text[Body] = textOf(c, ICAL_DESCRIPTION_PROPERTY);
    bool isDate;
    int64_t t;
    if (propTime(root, c, ICAL_DUE_PROPERTY, &t, &isDate)) item->date[DueDate] = t;
    if (propTime(root, c, ICAL_DTSTART_PROPERTY, &t, &isDate)) item->date[StartDate] = t;
    icalproperty* status = icalcomponent_get_first_property(c, ICAL_STATUS_PROPERTY);
    bool done = status && icalproperty_get_status(status) == ICAL_STATUS_COMPLETED;
    if (propTime(root, c, ICAL_COMPLETED_PROPERTY, &t, &isDate)) {
        done = true;
        item->date[DateCompleted] = t;
    }
    item->number[Complete] = done ? 1 : 0;
    if (icalproperty* pr = icalcomponent_get_first_property(c, ICAL_PRIORITY_PROPERTY)) {
        int p = icalproperty_get_priority(pr);
        item->number[Importance] = p >= 1 && p <= 4 ? 2 : p >= 6 ? 0 : 1;
    }
    Alarm alarm = alarmOf(root, c);
    if (alarm.present) {
        int64_t base = item->date[DueDate] != kNoDate ? item->date[DueDate] : item->date[StartDate];
        if (alarm.absolute) {
            item->date[ReminderTime] = alarm.at;
        } else if (base != kNoDate) {
            item->date[ReminderTime] = base - alarm.minutesBefore * kFileTimePerMinute;
        }
        item->number[ReminderSet] = item->date[ReminderTime] != kNoDate ? 1 : 0;
    }
    return true;
}

std::string utcStamp(int64_t local, bool allDay) {
    char buf[40];
    if (allDay) {
        CivilTime c = civilOf(local);
        snprintf(buf, sizeof buf, ";VALUE=DATE:%04d%02d%02d", c.year, c.month, c.day);
        return buf;
    }
    CivilTime c = civilOf(localToUtc(zoneInfoOf(*deviceConf()), local));
    snprintf(buf, sizeof buf, ":%04d%02d%02dT%02d%02d%02dZ", c.year, c.month, c.day, c.hour,
             c.minute, c.second);
    return buf;
}

std::string escapeText(const std::u16string& s) {
    std::string out;
    for (char c : toUtf8(s)) {
        if (c == '\\' || c == ';' || c == ',') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '\r') continue;
        out += c;
    }
    return out;
}

void line(std::string* out, const std::string& text) {
    *out += text;
    *out += "\r\n";
}

// ---- vCard -------------------------------------------------------------------------------------

// Unfolded lines of a vCard text.
std::vector<std::string> unfold(std::string_view text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string l(text.substr(pos, end - pos));
        if (!l.empty() && l.back() == '\r') l.pop_back();
        if (!l.empty() && (l[0] == ' ' || l[0] == '\t') && !lines.empty())
            lines.back() += l.substr(1);
        else
            lines.push_back(std::move(l));
        pos = end + 1;
    }
    return lines;
}

bool vcardDate(const std::string& v, int64_t* out) {
    int y, m, d;
    if (sscanf(v.c_str(), "%4d-%2d-%2d", &y, &m, &d) == 3 ||
        sscanf(v.c_str(), "%4d%2d%2d", &y, &m, &d) == 3)
        return makeLocal(y, m, d, 0, 0, 0, out);
    return false;
}

} // namespace

bool importIcs(std::string_view text, ImportCounts* counts, std::string* error) {
    *counts = {};
    if (text.size() > kMaxImportBytes) {
        if (error) *error = "the file is too large";
        return false;
    }
    icalerror_set_errors_are_fatal(0);
    std::string copy(text);
    ComponentPtr root(icalparser_parse_string(copy.c_str()));
    if (!root) {
        if (error) *error = "not an iCalendar file";
        return false;
    }
    icalcomponent* cal = root.get();
    if (icalcomponent_isa(cal) != ICAL_VCALENDAR_COMPONENT) {
        cal = icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT);
        if (!cal) {
            if (error) *error = "no VCALENDAR in the file";
            return false;
        }
    }
    std::map<std::string, Event> series;
    std::vector<std::pair<std::string, std::pair<int64_t, ce::pim::Item>>> changed;
    std::vector<ce::pim::Item> singles;
    for (icalcomponent* c = icalcomponent_get_first_component(cal, ICAL_VEVENT_COMPONENT); c;
         c = icalcomponent_get_next_component(cal, ICAL_VEVENT_COMPONENT)) {
        ce::pim::Item item;
        int64_t rid;
        if (!readEvent(cal, c, &item, &rid)) {
            ++counts->skipped;
            continue;
        }
        const char* uidText = icalcomponent_get_uid(c);
        std::string uid = uidText ? uidText : "";
        if (rid != kNoDate && !uid.empty()) {
            changed.push_back({uid, {rid, std::move(item)}});
        } else if (!uid.empty() && !series.count(uid)) {
            series[uid].item = std::move(item);
        } else {
            singles.push_back(std::move(item));
        }
    }
    for (auto& [uid, change] : changed) {
        auto it = series.find(uid);
        if (it == series.end() || !it->second.item.recurring()) {
            ++counts->skipped;
            continue;
        }
        Exception e;
        e.original = change.first;
        e.start = change.second.date[Start];
        e.end = change.second.date[End];
        e.subject = change.second.text[Subject];
        e.location = change.second.text[Location];
        e.reminderSet = change.second.number[ReminderSet] != 0;
        it->second.item.exceptions.push_back(std::move(e));
    }
    for (auto& [uid, ev] : series)
        singles.push_back(std::move(ev.item));
    for (ce::pim::Item& item : singles) {
        if (SUCCEEDED(saveItem(item)))
            ++counts->appointments;
        else
            ++counts->skipped;
    }
    for (icalcomponent* c = icalcomponent_get_first_component(cal, ICAL_VTODO_COMPONENT); c;
         c = icalcomponent_get_next_component(cal, ICAL_VTODO_COMPONENT)) {
        ce::pim::Item item;
        if (readTodo(cal, c, &item) && SUCCEEDED(saveItem(item)))
            ++counts->tasks;
        else
            ++counts->skipped;
    }
    return true;
}

bool importVcf(std::string_view text, ImportCounts* counts, std::string* error) {
    *counts = {};
    if (text.size() > kMaxImportBytes) {
        if (error) *error = "the file is too large";
        return false;
    }
    bool inCard = false, sawCard = false;
    ce::pim::Item card(Kind::Contact);
    for (const std::string& l : unfold(text)) {
        size_t colon = l.find(':');
        if (colon == std::string::npos) continue;
        std::string head = l.substr(0, colon), value = l.substr(colon + 1);
        std::string name = head.substr(0, head.find(';'));
        for (auto& ch : name)
            ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
        std::string params = head.size() > name.size() ? head.substr(name.size()) : "";
        for (auto& ch : params)
            ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
        if (name == "BEGIN" && strcasecmp(value.c_str(), "VCARD") == 0) {
            inCard = sawCard = true;
            card = ce::pim::Item(Kind::Contact);
        } else if (name == "END" && inCard) {
            inCard = false;
            if (SUCCEEDED(saveItem(card)))
                ++counts->contacts;
            else
                ++counts->skipped;
        } else if (!inCard) {
            continue;
        } else if (name == "N") {
            size_t semi = value.find(';');
            card.text[LastName] = fromUtf8(value.substr(0, semi));
            if (semi != std::string::npos) {
                std::string rest = value.substr(semi + 1);
                card.text[FirstName] = fromUtf8(rest.substr(0, rest.find(';')));
            }
        } else if (name == "FN") {
            card.text[FileAs] = fromUtf8(value);
        } else if (name == "BDAY") {
            vcardDate(value, &card.date[Birthday]);
        } else if (name == "ANNIVERSARY" || name == "X-ANNIVERSARY" || name == "X-MS-ANNIVERSARY") {
            vcardDate(value, &card.date[Anniversary]);
        } else if (name == "EMAIL") {
            for (int f : {Email1Address, Email2Address, Email3Address})
                if (card.text[f].empty()) {
                    card.text[f] = fromUtf8(value);
                    break;
                }
        } else if (name == "TEL") {
            int field = params.find("CELL") != std::string::npos   ? MobileTelephoneNumber
                        : params.find("WORK") != std::string::npos ? BusinessTelephoneNumber
                                                                   : HomeTelephoneNumber;
            card.text[field] = fromUtf8(value);
        } else if (name == "ORG") {
            card.text[CompanyName] = fromUtf8(value.substr(0, value.find(';')));
        }
    }
    if (!sawCard) {
        if (error) *error = "no VCARD in the file";
        return false;
    }
    return true;
}

std::string exportIcs() {
    std::string out;
    line(&out, "BEGIN:VCALENDAR");
    line(&out, "VERSION:2.0");
    line(&out, "PRODID:-//Zolvane device//PIM store//EN");
    std::vector<ce::pim::Item> items;
    loadItems(Kind::Appointment, &items);
    for (const ce::pim::Item& a : items) {
        bool allDay = a.number[AllDayEvent] != 0;
        line(&out, "BEGIN:VEVENT");
        line(&out, "UID:" + std::to_string(a.oid) + "@device");
        line(&out, "SUMMARY:" + escapeText(a.text[Subject]));
        if (!a.text[Location].empty()) line(&out, "LOCATION:" + escapeText(a.text[Location]));
        if (!a.text[Categories].empty()) line(&out, "CATEGORIES:" + toUtf8(a.text[Categories]));
        line(&out, "DTSTART" + utcStamp(a.date[Start], allDay));
        line(&out, "DTEND" + utcStamp(a.date[End], allDay));
        if (!a.rrule.empty()) line(&out, "RRULE:" + a.rrule);
        for (int64_t ex : a.exdates)
            line(&out, "EXDATE" + utcStamp(ex, allDay));
        if (a.number[ReminderSet]) {
            line(&out, "BEGIN:VALARM");
            line(&out, "ACTION:DISPLAY");
            line(&out, "TRIGGER:-PT" + std::to_string(a.number[ReminderMinutesBeforeStart]) + "M");
            line(&out, "END:VALARM");
        }
        line(&out, "END:VEVENT");
        for (const Exception& e : a.exceptions) {
            line(&out, "BEGIN:VEVENT");
            line(&out, "UID:" + std::to_string(a.oid) + "@device");
            line(&out, "RECURRENCE-ID" + utcStamp(e.original, allDay));
            line(&out, "SUMMARY:" + escapeText(e.subject));
            if (!e.location.empty()) line(&out, "LOCATION:" + escapeText(e.location));
            line(&out, "DTSTART" + utcStamp(e.start, allDay));
            line(&out, "DTEND" + utcStamp(e.end, allDay));
            line(&out, "END:VEVENT");
        }
    }
    loadItems(Kind::Task, &items);
    for (const ce::pim::Item& t : items) {
        line(&out, "BEGIN:VTODO");
        line(&out, "UID:" + std::to_string(t.oid) + "@device");
        line(&out, "SUMMARY:" + escapeText(t.text[Subject]));
        if (!t.text[Categories].empty()) line(&out, "CATEGORIES:" + toUtf8(t.text[Categories]));
        if (t.date[DueDate] != kNoDate) line(&out, "DUE" + utcStamp(t.date[DueDate], true));
        line(&out, std::string("PRIORITY:") + (t.number[Importance] == 2   ? "1"
                                               : t.number[Importance] == 0 ? "9"
                                                                           : "5"));
        if (t.number[Complete]) line(&out, "STATUS:COMPLETED");
        if (t.number[ReminderSet] && t.date[ReminderTime] != kNoDate) {
            line(&out, "BEGIN:VALARM");
            line(&out, "ACTION:DISPLAY");
            line(&out, "TRIGGER;VALUE=DATE-TIME" + utcStamp(t.date[ReminderTime], false));
            line(&out, "END:VALARM");
        }
        line(&out, "END:VTODO");
    }
    line(&out, "END:VCALENDAR");
    return out;
}

} // namespace ce::pim
