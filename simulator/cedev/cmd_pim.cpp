// cmd_pim.cpp: cedev pim: the device's calendar, tasks and contacts from outside.
//
//   cedev pim list calendar|tasks|contacts
//   cedev pim add appointment --subject S --start ISO --end ISO [--location L] [--all-day]
//                             [--reminder MINUTES-BEFORE] [--categories C] [--rrule RRULE]
//   cedev pim add task --subject S [--due ISO] [--reminder ISO] [--importance 0|1|2]
//                      [--categories C]
//   cedev pim add contact --first F --last L [--birthday DATE] [--anniversary DATE]
//   cedev pim delete OID
//   cedev pim import FILE.ics|FILE.vcf
//   cedev pim export FILE.ics
//
// Times are the device's local time ("2027-03-28T09:30:00"; a date alone means midnight).
// Every change goes through the store as a program's would, so reminders are kept and the
// windows watching the folder get their change messages. `list` prints one line per stored
// item (a recurring series once), fields separated by tabs, the oid first.
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <strings.h>

#include "cedev.h"
#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/strings.h"
#include "kernel/timezone.h"
#include "pim/ical.h"
#include "pim/item.h"
#include "pim/recur.h"
#include "pim/store.h"

namespace cedev {
namespace {

using namespace ce::pim;

// A local time from the command line: ISO with a time, or a date alone.
bool parseLocal(const std::string& text, int64_t* local, std::string* error) {
    std::string full = text.size() == 10 ? text + "T00:00:00" : text;
    int64_t utc;
    if (!parseDeviceTime(full, &utc, error)) return false;
    *local = ce::utcToLocal(ce::zoneInfoOf(*ce::deviceConf()), utc);
    return true;
}

std::string time(int64_t local) {
    return local == kNoDate ? "-" : formatIso(local);
}

std::string day(int64_t local) {
    return local == kNoDate ? "-" : formatIso(local).substr(0, 10);
}

// --name value options after the kind word; a flag without value maps to "1".
bool parseOptions(const Args& args, size_t from, const std::vector<std::string>& flags,
                  std::map<std::string, std::string>* out, std::string* error) {
    for (size_t i = from; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.rfind("--", 0) != 0) {
            *error = "unexpected \"" + a + "\"";
            return false;
        }
        std::string name = a.substr(2);
        bool isFlag = false;
        for (const auto& f : flags)
            if (f == name) isFlag = true;
        if (isFlag) {
            (*out)[name] = "1";
        } else if (i + 1 < args.size()) {
            (*out)[name] = args[++i];
        } else {
            *error = "--" + name + " needs a value";
            return false;
        }
    }
    return true;
}

int listItems(const std::string& what) {
    Kind kind;
    if (what == "calendar")
        kind = Kind::Appointment;
    else if (what == "tasks")
        kind = Kind::Task;
    else if (what == "contacts")
        kind = Kind::Contact;
    else
        return usage("pim list calendar|tasks|contacts");
    std::vector<Item> items;
    if (!loadItems(kind, &items)) return fail("cannot read the PIM store");
    for (const Item& it : items) {
        std::string l = std::to_string(it.oid);
        auto field = [&](const std::string& f) { l += "\t" + f; };
        switch (kind) {
        case Kind::Appointment:
            field(time(it.date[Start]));
            field(time(it.date[End]));
            field(ce::toUtf8(it.text[Subject]));
            field(ce::toUtf8(it.text[Location]));
            if (it.number[AllDayEvent]) field("all-day");
            if (it.number[ReminderSet])
                field("reminder=" + std::to_string(it.number[ReminderMinutesBeforeStart]));
            if (!it.text[Categories].empty())
                field("categories=" + ce::toUtf8(it.text[Categories]));
            if (!it.rrule.empty()) field("rrule=" + it.rrule);
            if (!it.exdates.empty()) field("exdates=" + std::to_string(it.exdates.size()));
            if (!it.exceptions.empty()) field("exceptions=" + std::to_string(it.exceptions.size()));
            break;
        case Kind::Task:
            field(time(it.date[DueDate]));
            field(ce::toUtf8(it.text[Subject]));
            field(it.number[Complete] ? "complete" : "open");
            field("importance=" + std::to_string(it.number[Importance]));
            if (it.number[ReminderSet]) field("reminder=" + time(it.date[ReminderTime]));
            if (!it.text[Categories].empty())
                field("categories=" + ce::toUtf8(it.text[Categories]));
            break;
        case Kind::Contact:
            field(ce::toUtf8(it.text[LastName]));
            field(ce::toUtf8(it.text[FirstName]));
            field("birthday=" + day(it.date[Birthday]));
            field("anniversary=" + day(it.date[Anniversary]));
            break;
        }
        printf("%s\n", l.c_str());
    }
    return 0;
}

int addItem(const Args& args) {
    if (args.size() < 2) return usage("pim add appointment|task|contact --OPTION VALUE ...");
    std::map<std::string, std::string> o;
    std::string error;
    if (!parseOptions(args, 2, {"all-day"}, &o, &error)) return usage(error);
    const std::string& what = args[1];
    auto has = [&](const char* k) { return o.count(k) != 0; };
    auto localOpt = [&](const char* k, int64_t* out) {
        if (!has(k)) return true;
        if (parseLocal(o[k], out, &error)) return true;
        return false;
    };
    Item item;
    if (what == "appointment") {
        item = Item(Kind::Appointment);
        if (!has("subject") || !has("start") || !has("end"))
            return usage("pim add appointment needs --subject, --start and --end");
        if (!localOpt("start", &item.date[Start]) || !localOpt("end", &item.date[End]))
            return usage(error);
        item.text[Subject] = ce::fromUtf8(o["subject"]);
        if (has("location")) item.text[Location] = ce::fromUtf8(o["location"]);
        if (has("categories")) item.text[Categories] = ce::fromUtf8(o["categories"]);
        if (has("all-day")) {
            item.number[AllDayEvent] = 1;
            int64_t dayLength = ce::kFileTimePerDay;
            item.date[Start] = item.date[Start] / dayLength * dayLength;
            item.date[End] = std::max((item.date[End] + dayLength - 1) / dayLength * dayLength,
                                      item.date[Start] + dayLength);
        }
        if (has("reminder")) {
            item.number[ReminderSet] = 1;
            item.number[ReminderMinutesBeforeStart] = atoi(o["reminder"].c_str());
        }
        if (has("rrule")) {
            std::string rule = o["rrule"];
            if (rule.rfind("RRULE:", 0) == 0) rule = rule.substr(6);
            if (!validRule(rule)) return usage("bad --rrule \"" + rule + "\"");
            item.rrule = rule;
        }
    } else if (what == "task") {
        item = Item(Kind::Task);
        if (!has("subject")) return usage("pim add task needs --subject");
        item.text[Subject] = ce::fromUtf8(o["subject"]);
        if (!localOpt("due", &item.date[DueDate]) ||
            !localOpt("reminder", &item.date[ReminderTime]))
            return usage(error);
        item.number[ReminderSet] = has("reminder") ? 1 : 0;
        if (has("importance")) {
            int imp = atoi(o["importance"].c_str());
            if (imp < 0 || imp > 2) return usage("--importance is 0, 1 or 2");
            item.number[Importance] = imp;
        }
        if (has("categories")) item.text[Categories] = ce::fromUtf8(o["categories"]);
    } else if (what == "contact") {
        item = Item(Kind::Contact);
        if (!has("first") && !has("last")) return usage("pim add contact needs --first or --last");
        item.text[FirstName] = ce::fromUtf8(o["first"]);
        item.text[LastName] = ce::fromUtf8(o["last"]);
        if (!localOpt("birthday", &item.date[Birthday]) ||
            !localOpt("anniversary", &item.date[Anniversary]))
            return usage(error);
    } else {
        return usage("pim add appointment|task|contact ...");
    }
    HRESULT hr = saveItem(item);
    if (FAILED(hr)) {
        char buf[64];
        snprintf(buf, sizeof buf, "cannot store the %s (0x%08X)", what.c_str(),
                 static_cast<unsigned>(hr));
        return fail(buf);
    }
    printf("%u\n", item.oid);
    return 0;
}

bool readFile(const std::string& path, std::string* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    *out = s.str();
    return out->size() <= kMaxImportBytes;
}

} // namespace

int cmdPim(const Args& args) {
    if (args.empty()) return usage("pim list|add|delete|import|export ...");
    if (!needDevice()) return 1;
    const std::string& verb = args[0];
    if (verb == "list") {
        if (args.size() != 2) return usage("pim list calendar|tasks|contacts");
        return listItems(args[1]);
    }
    if (verb == "add") return addItem(args);
    if (verb == "delete") {
        if (args.size() != 2) return usage("pim delete OID");
        char* end = nullptr;
        unsigned long oid = strtoul(args[1].c_str(), &end, 0);
        if (!end || *end || oid == 0 || oid > 0xFFFFFFFFul) return usage("bad oid " + args[1]);
        if (FAILED(deleteItem(static_cast<uint32_t>(oid)))) return fail("no item " + args[1]);
        return 0;
    }
    if (verb == "import") {
        if (args.size() != 2) return usage("pim import FILE.ics|FILE.vcf");
        std::string text, error;
        if (!readFile(args[1], &text)) return fail("cannot read " + args[1]);
        ImportCounts counts;
        bool vcf =
            args[1].size() > 4 && strcasecmp(args[1].c_str() + args[1].size() - 4, ".vcf") == 0;
        bool ok = vcf ? importVcf(text, &counts, &error) : importIcs(text, &counts, &error);
        if (!ok) return fail(args[1] + ": " + error);
        printf("appointments %d, tasks %d, contacts %d, skipped %d\n", counts.appointments,
               counts.tasks, counts.contacts, counts.skipped);
        return 0;
    }
    if (verb == "export") {
        if (args.size() != 2) return usage("pim export FILE.ics");
        std::ofstream out(args[1], std::ios::binary);
        if (!out) return fail("cannot write " + args[1]);
        out << exportIcs();
        return out.good() ? 0 : fail("cannot write " + args[1]);
    }
    return usage("pim list|add|delete|import|export ...");
}

} // namespace cedev
