// ical_test.cpp: importing a calendar as other programs write it (tests/pim/data/
// team_calendar.ics: two VTIMEZONEs, a weekly series with an EXDATE and a moved occurrence
// (RECURRENCE-ID), an all-day holiday, UTC and New York times, alarms, two tasks), reading
// it back through the object model in the device's zone, and exporting it again.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "pim/ical.h"
#include "pim/store.h"
#include "pimtest.h"

namespace {

using namespace pimtest;

std::string readData(const char* name) {
    std::ifstream in(std::string(ZV_SOURCE_DIR) + "/tests/pim/data/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class PimIcal : public PimTest {
protected:
    std::vector<std::string> calendar(const char16_t* filter) {
        std::vector<std::string> out;
        IPOutlookItemCollection* c = items(olFolderCalendar);
        Bstr start(u"[Start]");
        c->Sort(start, VARIANT_FALSE);
        c->put_IncludeRecurrences(VARIANT_TRUE);
        IDispatch* d = nullptr;
        Bstr f(filter);
        EXPECT_EQ(S_OK, c->Find(f, &d));
        while (d) {
            IAppointment* a = nullptr;
            d->QueryInterface(IID_IAppointment, reinterpret_cast<void**>(&a));
            d->Release();
            BSTR s = nullptr;
            DATE st = 0;
            VARIANT_BOOL allDay = VARIANT_FALSE;
            a->get_Subject(&s);
            a->get_Start(&st);
            a->get_AllDayEvent(&allDay);
            std::u16string subject = take(s);
            out.push_back(text(st) + (allDay ? " all-day " : " ") +
                          std::string(subject.begin(), subject.end()));
            a->Release();
            d = nullptr;
            c->FindNext(&d);
        }
        c->Release();
        return out;
    }
};

const std::vector<std::string> kExpected = {
    "2027-03-01 09:30 Team meeting",
    "2027-03-08 09:30 Team meeting",
    "2027-03-15 09:30 Team meeting",
    "2027-03-22 09:30 Team meeting",
    "2027-03-22 14:00 Kickoff with New York", // 09:00 EDT = 13:00 UTC = 14:00 CET
    "2027-03-22 16:00 Supplier call",         // 15:00 UTC = 16:00 CET
    // 29 March is excluded (EXDATE); from then on daylight time, still 09:30 local.
    "2027-04-05 00:00 all-day Easter Monday",
    "2027-04-05 09:30 Team meeting",
    "2027-04-12 14:00 Team meeting (moved)",
    "2027-04-19 09:30 Team meeting",
    "2027-04-26 09:30 Team meeting",
};

TEST_F(PimIcal, ImportsZonesAllDayRecurrencesAndExceptions) {
    setLocale("ja-JP");
    std::string data = readData("team_calendar.ics");
    ASSERT_FALSE(data.empty());
    ce::pim::ImportCounts counts;
    std::string error;
    ASSERT_TRUE(ce::pim::importIcs(data, &counts, &error)) << error;
    EXPECT_EQ(4, counts.appointments);
    EXPECT_EQ(2, counts.tasks);
    EXPECT_EQ(0, counts.skipped);
    EXPECT_EQ(kExpected, calendar(u"[Start] >= \"2027/03/01\" AND [Start] < \"2027/05/01\""));

    // The series' reminder (10 minutes) and the New York event's (an hour).
    IPOutlookItemCollection* c = items(olFolderCalendar);
    IDispatch* d = nullptr;
    Bstr ny(u"[Subject] = \"Kickoff with New York\"");
    ASSERT_EQ(S_OK, c->Find(ny, &d));
    ASSERT_NE(nullptr, d);
    IAppointment* a = nullptr;
    d->QueryInterface(IID_IAppointment, reinterpret_cast<void**>(&a));
    d->Release();
    long minutes = 0, duration = 0;
    a->get_ReminderMinutesBeforeStart(&minutes);
    a->get_Duration(&duration);
    EXPECT_EQ(60, minutes);
    EXPECT_EQ(60, duration);
    a->Release();
    c->Release();

    // The open task: due 15 April, high importance, reminder at 08:00 UTC = 10:00 CEST.
    IPOutlookItemCollection* tasks = items(olFolderTasks);
    IPOutlookItemCollection* open = nullptr;
    Bstr f(u"[Complete] = 0");
    ASSERT_EQ(S_OK, tasks->Restrict(f, &open));
    int n = 0;
    open->get_Count(&n);
    ASSERT_EQ(1, n);
    ASSERT_EQ(S_OK, open->Item(1, &d));
    ITask* t = nullptr;
    d->QueryInterface(IID_ITask, reinterpret_cast<void**>(&t));
    d->Release();
    DATE due = 0, remind = 0;
    long importance = -1;
    t->get_DueDate(&due);
    t->get_ReminderTime(&remind);
    t->get_Importance(&importance);
    EXPECT_EQ("2027-04-15 00:00", pimtest::text(due));
    EXPECT_EQ("2027-04-14 10:00", pimtest::text(remind));
    EXPECT_EQ(olImportanceHigh, importance);
    t->Release();
    open->Release();
    tasks->Release();
}

// Exported and imported again into an empty store, the calendar reads the same.
TEST_F(PimIcal, ExportRoundTrip) {
    setLocale("ja-JP");
    ce::pim::ImportCounts counts;
    ASSERT_TRUE(ce::pim::importIcs(readData("team_calendar.ics"), &counts, nullptr));
    std::string exported = ce::pim::exportIcs();
    for (const char* part : {"RRULE:FREQ=WEEKLY", "EXDATE:20270329T073000Z",
                             "RECURRENCE-ID:20270412T073000Z", "DTSTART;VALUE=DATE:20270405"})
        EXPECT_NE(std::string::npos, exported.find(part)) << part;
    for (ce::pim::Kind k : {ce::pim::Kind::Appointment, ce::pim::Kind::Task}) {
        std::vector<ce::pim::Item> all;
        ASSERT_TRUE(ce::pim::loadItems(k, &all));
        for (const auto& item : all)
            ASSERT_EQ(S_OK, ce::pim::deleteItem(item.oid));
    }
    ASSERT_TRUE(ce::pim::importIcs(exported, &counts, nullptr));
    EXPECT_EQ(4, counts.appointments);
    EXPECT_EQ(2, counts.tasks);
    EXPECT_EQ(kExpected, calendar(u"[Start] >= \"2027/03/01\" AND [Start] < \"2027/05/01\""));
}

// Not a calendar: an error, nothing stored, no crash.
TEST_F(PimIcal, GarbageIsRefused) {
    ce::pim::ImportCounts counts;
    std::string error;
    EXPECT_FALSE(ce::pim::importIcs("this is not a calendar", &counts, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(ce::pim::importIcs("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:x\r\nEND:VEVENT\r\n"
                                   "END:VCALENDAR\r\n",
                                   &counts, &error));
    EXPECT_EQ(0, counts.appointments);
    EXPECT_EQ(1, counts.skipped); // no start
}

} // namespace
