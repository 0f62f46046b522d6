// filter_test.cpp: the restriction language: every filter text the product writes, in the
// three short-date orders of LOCALE_IDATE, against items on both sides of each bound; the
// documented grammar (operators, AND/OR, quoted texts, numbers, dates with times); and bad
// filters, which must fail cleanly.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>

#include "kernel/strings.h"
#include "pim/filter.h"

namespace {

using namespace ce::pim;

int64_t at(int y, int mo, int d, int h = 0, int mi = 0) {
    int64_t v = 0;
    EXPECT_TRUE(makeLocal(y, mo, d, h, mi, 0, &v));
    return v;
}

// A date as the product formats it for a LOCALE_IDATE order: "%02d/%02d/%04d" month first
// (0) or day first (1), "%04d/%02d/%02d" year first (2).
std::string date(int order, int y, int m, int d) {
    char buf[16];
    if (order == 2)
        snprintf(buf, sizeof buf, "%04d/%02d/%02d", y, m, d);
    else if (order == 1)
        snprintf(buf, sizeof buf, "%02d/%02d/%04d", d, m, y);
    else
        snprintf(buf, sizeof buf, "%02d/%02d/%04d", m, d, y);
    return buf;
}

bool matches(const std::string& text, Kind kind, int order, const Item& item) {
    Filter f;
    std::string error;
    EXPECT_TRUE(f.parse(ce::fromUtf8(text), kind, order, &error)) << text << ": " << error;
    return f.matches(item);
}

Item appointmentAt(int64_t start) {
    Item a(Kind::Appointment);
    a.text[Subject] = u"Meeting";
    a.date[Start] = start;
    a.date[End] = start + 3600LL * 10000000;
    return a;
}

Item task(int64_t due, bool complete, const char16_t* categories = u"") {
    Item t(Kind::Task);
    t.text[Subject] = u"Task";
    t.date[DueDate] = due;
    t.number[Complete] = complete;
    t.text[Categories] = categories;
    return t;
}

class FilterOrders : public ::testing::TestWithParam<int> {};

// "[Start] >= d1 AND [Start] < d2" with the range of 5 March 2024 (4 March inclusive to 18
// March exclusive), and "[Start] >= d": the bounds hold to the minute.
TEST_P(FilterOrders, AppointmentRanges) {
    int o = GetParam();
    std::string range =
        "[Start] >= \"" + date(o, 2024, 3, 4) + "\" AND [Start] < \"" + date(o, 2024, 3, 18) + "\"";
    EXPECT_FALSE(matches(range, Kind::Appointment, o, appointmentAt(at(2024, 3, 3, 23, 59))));
    EXPECT_TRUE(matches(range, Kind::Appointment, o, appointmentAt(at(2024, 3, 4, 0, 0))));
    EXPECT_TRUE(matches(range, Kind::Appointment, o, appointmentAt(at(2024, 3, 17, 23, 59))));
    EXPECT_FALSE(matches(range, Kind::Appointment, o, appointmentAt(at(2024, 3, 18, 0, 0))));
    std::string from = "[Start] >= \"" + date(o, 2024, 12, 31) + "\"";
    EXPECT_FALSE(matches(from, Kind::Appointment, o, appointmentAt(at(2024, 12, 30, 12))));
    EXPECT_TRUE(matches(from, Kind::Appointment, o, appointmentAt(at(2024, 12, 31, 0))));
}

// The task filters: due-date ranges, "[Complete] = 0" alone and combined with a category, an
// overdue bound and a range.
TEST_P(FilterOrders, TaskFilters) {
    int o = GetParam();
    std::string d1 = date(o, 2024, 3, 5), d2 = date(o, 2024, 3, 19);
    std::string range = "[DueDate] >= \"" + d1 + "\" AND [DueDate] < \"" + d2 + "\"";
    EXPECT_TRUE(matches(range, Kind::Task, o, task(at(2024, 3, 5), false)));
    EXPECT_FALSE(matches(range, Kind::Task, o, task(at(2024, 3, 19), false)));
    EXPECT_TRUE(matches("[DueDate] >= \"" + d1 + "\"", Kind::Task, o, task(at(2025, 1, 1), true)));
    EXPECT_TRUE(matches("[Complete] = 0", Kind::Task, o, task(at(2024, 3, 5), false)));
    EXPECT_FALSE(matches("[Complete] = 0", Kind::Task, o, task(at(2024, 3, 5), true)));
    std::string overdue = "[Complete] = 0 AND [DueDate] < \"" + d1 + "\"";
    EXPECT_TRUE(matches(overdue, Kind::Task, o, task(at(2024, 3, 4), false)));
    EXPECT_FALSE(matches(overdue, Kind::Task, o, task(at(2024, 3, 4), true)));
    EXPECT_FALSE(matches(overdue, Kind::Task, o, task(at(2024, 3, 5), false)));
    std::string open = "[Complete] = 0 AND " + range;
    EXPECT_TRUE(matches(open, Kind::Task, o, task(at(2024, 3, 10), false)));
    EXPECT_FALSE(matches(open, Kind::Task, o, task(at(2024, 3, 10), true)));
    // A task without due date has no value for [DueDate]: no date comparison holds.
    EXPECT_FALSE(matches(overdue, Kind::Task, o, task(kNoDate, false)));
    std::string cat = "[Categories] = \"Work\" AND [Complete] = 0";
    EXPECT_TRUE(matches(cat, Kind::Task, o, task(kNoDate, false, u"Home, work")));
    EXPECT_FALSE(matches(cat, Kind::Task, o, task(kNoDate, false, u"Homework")));
    EXPECT_FALSE(matches(cat, Kind::Task, o, task(kNoDate, true, u"Work")));
}

// Birthdays and anniversaries from 1900, "01/01/1900" in orders 0 and 1, "1900/01/01" in 2;
// a contact with neither date matches none of them.
TEST_P(FilterOrders, BirthdaysAndAnniversaries) {
    int o = GetParam();
    std::string d = date(o, 1900, 1, 1);
    std::string both = "[Birthday] >= \"" + d + "\" OR [Anniversary] >= \"" + d + "\"";
    Item born(Kind::Contact), married(Kind::Contact), none(Kind::Contact), old(Kind::Contact);
    born.date[Birthday] = at(1950, 6, 1);
    married.date[Anniversary] = at(1900, 1, 1);
    old.date[Birthday] = at(1899, 12, 31);
    for (const Item* c : {&born, &married, &none, &old}) {
        bool b = c->date[Birthday] != kNoDate && c->date[Birthday] >= at(1900, 1, 1);
        bool a = c->date[Anniversary] != kNoDate;
        EXPECT_EQ(b || a, matches(both, Kind::Contact, o, *c));
        EXPECT_EQ(b, matches("[Birthday] >= \"" + d + "\"", Kind::Contact, o, *c));
        EXPECT_EQ(a, matches("[Anniversary] >= \"" + d + "\"", Kind::Contact, o, *c));
    }
}

INSTANTIATE_TEST_SUITE_P(MonthDayYear_DayMonthYear_YearMonthDay, FilterOrders,
                         ::testing::Values(0, 1, 2));

// A date is read in the locale's order only: 03/04/2024 is 4 March month-first and 3 April
// day-first; a day that does not exist in that order fails instead of rolling over.
TEST(FilterDates, OrderDecidesAndImpossibleDatesFail) {
    int64_t v = 0;
    ASSERT_TRUE(parseFilterDate(u"03/04/2024", 0, &v));
    EXPECT_EQ(at(2024, 3, 4), v);
    ASSERT_TRUE(parseFilterDate(u"03/04/2024", 1, &v));
    EXPECT_EQ(at(2024, 4, 3), v);
    ASSERT_TRUE(parseFilterDate(u"2024/04/03 20:30", 2, &v));
    EXPECT_EQ(at(2024, 4, 3, 20, 30), v);
    EXPECT_FALSE(parseFilterDate(u"02/30/2024", 0, &v));
    EXPECT_FALSE(parseFilterDate(u"13/13/2024", 1, &v));
    EXPECT_FALSE(parseFilterDate(u"2024/03/04", 0, &v));
    EXPECT_FALSE(parseFilterDate(u"03/04/2024 25:00", 0, &v));
    EXPECT_FALSE(parseFilterDate(u"", 2, &v));
    EXPECT_TRUE(parseFilterDate(u"02/29/2024", 0, &v));
    EXPECT_FALSE(parseFilterDate(u"02/29/2023", 0, &v));
}

// The documented operators and connectives, AND binding tighter than OR, parentheses, texts
// without regard to case, and an empty text that never matches.
TEST(FilterGrammar, OperatorsAndConnectives) {
    Item a = appointmentAt(at(2024, 3, 5, 9));
    a.text[Location] = u"Room 1";
    a.number[ReminderSet] = 1;
    struct Case {
        const char* filter;
        bool expected;
    } cases[] = {
        {"[Subject] = \"meeting\"", true},
        {"[Subject] <> \"Meeting\"", false},
        {"[Subject] < \"N\"", true},
        {"[Subject] > \"N\"", false},
        {"[Start] <= \"03/05/2024 09:00\"", true},
        {"[Start] > \"03/05/2024 09:00\"", false},
        {"[ReminderSet] = 1", true},
        {"[ReminderSet] = -1", true},
        {"[Duration] = 60", true},
        {"[Subject] = \"x\" AND [Location] = \"Room 1\" OR [ReminderSet] = 1", true},
        {"[Subject] = \"x\" AND ([Location] = \"Room 1\" OR [ReminderSet] = 1)", false},
        {"[Body] <> \"anything\"", false},
        {"[subject]=\"MEETING\"and[location]=\"room 1\"", true},
        {"[Subject] = \"Say \"\"hi\"\"\"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, matches(c.filter, Kind::Appointment, 0, a)) << c.filter;
}

// Malformed filters fail with a reason and never match anything by accident.
TEST(FilterGrammar, BadFiltersFail) {
    const char* bad[] = {
        "",
        "[Start]",
        "[Start] >=",
        "[Start] >= \"03/04/2024",
        "[Start] >= 03/04/2024",
        "[Nope] = 1",
        "[DueDate] = \"03/04/2024\"", // not a property of appointments
        "[Subject] = Meeting",
        "[Complete] = \"x\"",
        "[Start] >= \"03/04/2024\" AND",
        "([Start] >= \"03/04/2024\"",
        "[Start] >= \"03/04/2024\" [Start] < \"03/05/2024\"",
        "[Start] == \"03/04/2024\"",
        "[Subject = \"x\"",
    };
    for (const char* text : bad) {
        Filter f;
        std::string error;
        EXPECT_FALSE(f.parse(ce::fromUtf8(text), Kind::Appointment, 0, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    std::string deep(200, '(');
    Filter f;
    EXPECT_FALSE(f.parse(ce::fromUtf8(deep + "[Subject] = \"x\""), Kind::Appointment, 0, nullptr));
}

// The [Start] range a filter bounds, which recurrence expansion relies on.
TEST(FilterGrammar, StartBounds) {
    Filter f;
    ASSERT_TRUE(f.parse(u"[Start] >= \"2024/03/04\" AND [Start] < \"2024/03/18\" AND "
                        u"[Subject] <> \"x\"",
                        Kind::Appointment, 2, nullptr));
    int64_t lo, hi;
    f.startBounds(&lo, &hi);
    EXPECT_EQ(at(2024, 3, 4), lo);
    EXPECT_EQ(at(2024, 3, 18), hi);
    ASSERT_TRUE(
        f.parse(u"[Start] >= \"2024/03/04\" OR [Subject] = \"x\"", Kind::Appointment, 2, nullptr));
    f.startBounds(&lo, &hi);
    EXPECT_EQ(INT64_MIN, lo);
    EXPECT_EQ(INT64_MAX, hi);
}

} // namespace
