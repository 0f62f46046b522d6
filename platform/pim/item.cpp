// item.cpp: the PIM item record's property table and value conversions (see item.h).
#include "pim/item.h"

#include <cmath>

#include "kernel/clock.h"
#include "kernel/strings.h"
#include "windows.h"

namespace ce::pim {
namespace {

constexpr unsigned bit(Kind k) {
    return 1u << static_cast<int>(k);
}
constexpr unsigned kAppt = bit(Kind::Appointment);
constexpr unsigned kTask = bit(Kind::Task);
constexpr unsigned kContact = bit(Kind::Contact);
constexpr unsigned kAll = kAppt | kTask | kContact;

// Every property the restriction language and Sort know. Names as the object model's
// property methods spell them.
const PropInfo kProps[] = {
    {"Oid", PropType::Oid, 0, kAll},
    {"Subject", PropType::Text, Subject, kAppt | kTask},
    {"Location", PropType::Text, Location, kAppt},
    {"Categories", PropType::Text, Categories, kAll},
    {"Body", PropType::Text, Body, kAll},
    {"FirstName", PropType::Text, FirstName, kContact},
    {"LastName", PropType::Text, LastName, kContact},
    {"MiddleName", PropType::Text, MiddleName, kContact},
    {"FileAs", PropType::Text, FileAs, kContact},
    {"Title", PropType::Text, Title, kContact},
    {"Suffix", PropType::Text, Suffix, kContact},
    {"CompanyName", PropType::Text, CompanyName, kContact},
    {"JobTitle", PropType::Text, JobTitle, kContact},
    {"Department", PropType::Text, Department, kContact},
    {"Email1Address", PropType::Text, Email1Address, kContact},
    {"Email2Address", PropType::Text, Email2Address, kContact},
    {"Email3Address", PropType::Text, Email3Address, kContact},
    {"MobileTelephoneNumber", PropType::Text, MobileTelephoneNumber, kContact},
    {"HomeTelephoneNumber", PropType::Text, HomeTelephoneNumber, kContact},
    {"BusinessTelephoneNumber", PropType::Text, BusinessTelephoneNumber, kContact},
    {"ReminderSoundFile", PropType::Text, ReminderSoundFile, kAppt | kTask},
    {"Start", PropType::Date, Start, kAppt},
    {"End", PropType::Date, End, kAppt},
    {"StartDate", PropType::Date, StartDate, kTask},
    {"DueDate", PropType::Date, DueDate, kTask},
    {"DateCompleted", PropType::Date, DateCompleted, kTask},
    {"ReminderTime", PropType::Date, ReminderTime, kTask},
    {"Birthday", PropType::Date, Birthday, kContact},
    {"Anniversary", PropType::Date, Anniversary, kContact},
    {"AllDayEvent", PropType::Number, AllDayEvent, kAppt},
    {"BusyStatus", PropType::Number, BusyStatus, kAppt},
    {"Sensitivity", PropType::Number, Sensitivity, kAppt | kTask},
    {"ReminderSet", PropType::Number, ReminderSet, kAppt | kTask},
    {"ReminderMinutesBeforeStart", PropType::Number, ReminderMinutesBeforeStart, kAppt},
    {"ReminderOptions", PropType::Number, ReminderOptions, kAppt | kTask},
    {"Importance", PropType::Number, Importance, kTask},
    {"Complete", PropType::Number, Complete, kTask},
    {"MeetingStatus", PropType::Number, MeetingStatus, kAppt},
    {"TeamTask", PropType::Number, TeamTask, kTask},
    {"IsRecurring", PropType::IsRecurring, 0, kAppt | kTask},
    {"Duration", PropType::Duration, 0, kAppt},
};

const char* const kTextNames[kTextFieldCount] = {"Subject",
                                                 "Location",
                                                 "Categories",
                                                 "Body",
                                                 "FirstName",
                                                 "LastName",
                                                 "MiddleName",
                                                 "FileAs",
                                                 "Title",
                                                 "Suffix",
                                                 "CompanyName",
                                                 "JobTitle",
                                                 "Department",
                                                 "Email1Address",
                                                 "Email2Address",
                                                 "Email3Address",
                                                 "MobileTelephoneNumber",
                                                 "HomeTelephoneNumber",
                                                 "BusinessTelephoneNumber",
                                                 "ReminderSoundFile"};
const char* const kDateNames[kDateFieldCount] = {"Start",    "End",           "StartDate",
                                                 "DueDate",  "DateCompleted", "ReminderTime",
                                                 "Birthday", "Anniversary"};
const char* const kNumberNames[kNumberFieldCount] = {
    "AllDayEvent",     "BusyStatus", "Sensitivity", "ReminderSet",   "ReminderMinutesBeforeStart",
    "ReminderOptions", "Importance", "Complete",    "MeetingStatus", "TeamTask"};

// 30 December 1899 in days since 1 January 1601.
constexpr int64_t kVariantEpochDays = 109205;

bool asciiEqualNoCase(std::u16string_view a, const char* b) {
    size_t i = 0;
    for (; i < a.size(); ++i) {
        char c = b[i];
        if (!c) return false;
        char16_t x = a[i];
        if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x - u'A' + u'a');
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (x != static_cast<char16_t>(c)) return false;
    }
    return b[i] == 0;
}

} // namespace

Item::Item(Kind k) : kind(k) {
    date.fill(kNoDate);
    // What the device's editors start a new item with: a reminder 15 minutes ahead that
    // flashes, shows a dialog and plays a sound (olLED | olDialog | olSound), busy, normal
    // importance.
    if (k == Kind::Appointment) {
        number[ReminderMinutesBeforeStart] = 15;
        number[BusyStatus] = 2;
        number[ReminderOptions] = 1 | 4 | 8;
    }
    if (k == Kind::Task) {
        number[Importance] = 1;
        number[ReminderOptions] = 1 | 4 | 8;
    }
}

int folderOf(Kind kind) {
    switch (kind) {
    case Kind::Appointment: return kFolderCalendar;
    case Kind::Contact: return kFolderContacts;
    case Kind::Task: return kFolderTasks;
    }
    return 0;
}

bool kindOfFolder(int folder, Kind* kind) {
    switch (folder) {
    case kFolderCalendar: *kind = Kind::Appointment; return true;
    case kFolderContacts: *kind = Kind::Contact; return true;
    case kFolderTasks: *kind = Kind::Task; return true;
    default: return false;
    }
}

const char* kindName(Kind kind) {
    switch (kind) {
    case Kind::Appointment: return "appointment";
    case Kind::Contact: return "contact";
    case Kind::Task: return "task";
    }
    return "?";
}

const PropInfo* findProp(std::u16string_view name, Kind kind) {
    for (const PropInfo& p : kProps)
        if ((p.kinds & bit(kind)) && asciiEqualNoCase(name, p.name)) return &p;
    return nullptr;
}

const char* textFieldName(int index) {
    return kTextNames[index];
}
const char* dateFieldName(int index) {
    return kDateNames[index];
}
const char* numberFieldName(int index) {
    return kNumberNames[index];
}

int32_t durationMinutes(const Item& item) {
    if (item.date[Start] == kNoDate || item.date[End] == kNoDate) return 0;
    return static_cast<int32_t>((item.date[End] - item.date[Start]) / kFileTimePerMinute);
}

// A variant date's integer part counts days (negative before the epoch) and its fraction runs
// forward from midnight even for negative values, so -1.25 is 29 December 1899, 06:00.
double variantFromLocal(int64_t local) {
    if (local == kNoDate) return kNoDateVariant;
    int64_t days = local / kFileTimePerDay;
    int64_t rest = local % kFileTimePerDay;
    if (rest < 0) {
        rest += kFileTimePerDay;
        --days;
    }
    // Whole seconds: the automation date carries no finer resolution.
    double fraction = static_cast<double>(rest / kFileTimePerSecond) / 86400.0;
    int64_t vdays = days - kVariantEpochDays;
    return vdays >= 0 ? static_cast<double>(vdays) + fraction
                      : static_cast<double>(vdays) - fraction;
}

bool localFromVariant(double v, int64_t* local) {
    if (!std::isfinite(v)) return false;
    if (v >= kNoDateVariant) {
        *local = kNoDate;
        return true;
    }
    // 1 January 100 .. 31 December 9999, the automation date's own range.
    if (v <= -657435.0) return false;
    double whole = std::trunc(v);
    double fraction = std::fabs(v - whole);
    auto seconds = static_cast<int64_t>(std::floor(fraction * 86400.0 + 0.5));
    int64_t days = static_cast<int64_t>(whole) + kVariantEpochDays;
    if (days < 0) return false;
    *local = days * kFileTimePerDay + seconds * kFileTimePerSecond;
    return true;
}

bool makeLocal(int year, int month, int day, int hour, int minute, int second, int64_t* out) {
    if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1 || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    static const int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > kDays[month - 1] || (month == 2 && day == 29 && !leap)) return false;
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    st.wSecond = static_cast<WORD>(second);
    FILETIME ft;
    if (!SystemTimeToFileTime(&st, &ft)) return false;
    *out = fileTimeToInt(ft);
    return true;
}

CivilTime civilOf(int64_t local) {
    FILETIME ft = intToFileTime(local < 0 ? 0 : local);
    SYSTEMTIME st{};
    FileTimeToSystemTime(&ft, &st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wDayOfWeek};
}

std::vector<std::u16string> splitCategories(std::u16string_view list) {
    std::vector<std::u16string> out;
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t comma = list.find(u',', pos);
        if (comma == std::u16string_view::npos) comma = list.size();
        std::u16string_view part = list.substr(pos, comma - pos);
        while (!part.empty() && (part.front() == u' ' || part.front() == u'\t'))
            part.remove_prefix(1);
        while (!part.empty() && (part.back() == u' ' || part.back() == u'\t'))
            part.remove_suffix(1);
        if (!part.empty()) out.emplace_back(part);
        pos = comma + 1;
    }
    return out;
}

} // namespace ce::pim
