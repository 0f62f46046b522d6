// item.h: one item of the PIM store (appointment, task or contact) as the platform holds it
// in memory, and the table of its properties by name.
//
// The object model, the restriction language, the store, the .ics import and cedev all work
// on this record. Its properties are kept in three arrays (texts, dates, numbers) indexed by
// the enums below, and one table names each property as the restriction language and the
// store's columns write it, so that a property is added in one place.
//
// Times are the device's local wall-clock time in FILETIME units (100 ns since 1601), as the
// object model shows them; kNoDate marks a date that is not set. The store keeps timed
// appointments in UTC and converts on the way in and out (store.cpp).
//
// Inside the platform only.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ce::pim {

enum class Kind { Appointment = 1, Contact = 2, Task = 3 };

// The default folder numbers of the object model (olFolderCalendar ...).
constexpr int kFolderCalendar = 9;
constexpr int kFolderContacts = 10;
constexpr int kFolderTasks = 13;

int folderOf(Kind kind);
// The kind a folder holds; false for an unknown folder number.
bool kindOfFolder(int folder, Kind* kind);
const char* kindName(Kind kind); // "appointment", "task", "contact"

// "Not set" for dates. The object model shows it as the automation date 949998.0 (1 January
// 4501), the value the device uses for "no date".
constexpr int64_t kNoDate = INT64_MIN;
constexpr double kNoDateVariant = 949998.0;

enum TextField {
    Subject,
    Location,
    Categories,
    Body,
    FirstName,
    LastName,
    MiddleName,
    FileAs,
    Title,
    Suffix,
    CompanyName,
    JobTitle,
    Department,
    Email1Address,
    Email2Address,
    Email3Address,
    MobileTelephoneNumber,
    HomeTelephoneNumber,
    BusinessTelephoneNumber,
    ReminderSoundFile,
    kTextFieldCount
};

enum DateField {
    Start,
    End,
    StartDate,
    DueDate,
    DateCompleted,
    ReminderTime,
    Birthday,
    Anniversary,
    kDateFieldCount
};

enum NumberField {
    AllDayEvent,
    BusyStatus,
    Sensitivity,
    ReminderSet,
    ReminderMinutesBeforeStart,
    ReminderOptions,
    Importance,
    Complete,
    MeetingStatus,
    TeamTask,
    kNumberFieldCount
};

// A changed occurrence of a recurring appointment (an exception of the series): the
// occurrence that would have started at `original` starts at `start` instead and shows these
// texts; a deleted occurrence is listed in Item::exdates instead.
struct Exception {
    int64_t original = 0;
    int64_t start = 0;
    int64_t end = 0;
    std::u16string subject;
    std::u16string location;
    bool reminderSet = false;
};

struct Item {
    uint32_t oid = 0; // 0 until saved
    Kind kind = Kind::Appointment;
    std::array<std::u16string, kTextFieldCount> text;
    std::array<int64_t, kDateFieldCount> date;
    std::array<int32_t, kNumberFieldCount> number{};

    // Recurrence of an appointment: an iCalendar RRULE value ("FREQ=WEEKLY;BYDAY=MO"), empty
    // for a single appointment; the original starts of deleted occurrences; changed ones.
    std::string rrule;
    std::vector<int64_t> exdates;
    std::vector<Exception> exceptions;

    uint32_t notification = 0; // the user notification of its reminder, 0 when none

    // Set on the occurrences that expansion hands out: the series' start of this occurrence.
    bool occurrence = false;
    int64_t occurrenceOriginal = 0;

    Item() { date.fill(kNoDate); }
    explicit Item(Kind k);

    bool recurring() const { return kind == Kind::Appointment && !rrule.empty(); }
};

// ---- The property table ------------------------------------------------------------------------

enum class PropType { Text, Date, Number, Oid, IsRecurring, Duration };

struct PropInfo {
    const char* name; // as written in restrictions: [Subject]
    PropType type;
    int index;      // into the array of its type
    unsigned kinds; // bit (1 << Kind) for each kind that has it
};

// The property of that name for that kind (compared without regard to case), or null.
const PropInfo* findProp(std::u16string_view name, Kind kind);
// The names of the text, date and number arrays, as the store's columns name them.
const char* textFieldName(int index);
const char* dateFieldName(int index);
const char* numberFieldName(int index);

// ---- Values of properties
// -------------------------------------------------------------------------

// Duration of an appointment in minutes (End - Start), 0 when either is missing.
int32_t durationMinutes(const Item& item);

// Automation dates (days since 30 December 1899, local) and FILETIME units. kNoDate maps to
// kNoDateVariant and every value at or beyond it back to kNoDate; false for a value outside
// the range the device accepts.
double variantFromLocal(int64_t local);
bool localFromVariant(double v, int64_t* local);

// A calendar date and time as FILETIME units, and back; false for a date that does not exist.
bool makeLocal(int year, int month, int day, int hour, int minute, int second, int64_t* out);
struct CivilTime {
    int year, month, day, hour, minute, second, dayOfWeek; // dayOfWeek 0 = Sunday
};
CivilTime civilOf(int64_t local);

// Splits a category list "Work, Holiday" into its names (trimmed, empty ones dropped).
std::vector<std::u16string> splitCategories(std::u16string_view list);

} // namespace ce::pim
