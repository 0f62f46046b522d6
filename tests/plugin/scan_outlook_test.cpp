// scan_outlook_test.cpp: the Outlook lookups of the scan: the date filters in the three
// short-date orders, the search range around the alarm day (the first of a month included),
// the matching rules of findOutlookAppointment and findOutlookTask, items by identifier, and
// the application object's life (open once, close, open again).
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "kernel/device.h"
#include "kernel/timezone.h"
#include "testdevice.h"
#include "windows.h"

#include "outlook.h"
#include "settings.h"

namespace {

SYSTEMTIME day(WORD year, WORD month, WORD d, WORD hour = 0, WORD minute = 0) {
    SYSTEMTIME t = {};
    t.wYear = year;
    t.wMonth = month;
    t.wDay = d;
    t.wHour = hour;
    t.wMinute = minute;
    return t;
}

void setLocale(const std::string& tag) {
    ce::updateDeviceConf([&](ce::DeviceConf& c) { c.profile.locale = tag; });
}

std::u16string filter(LONG kind, LONG order, SYSTEMTIME from, SYSTEMTIME to) {
    WCHAR out[200];
    out[0] = 0xdead;
    EXPECT_TRUE(buildDateFilter(out, 200, kind, order, &from, &to));
    return out;
}

// An alarm on 5 March 2024 searches from the 4th (inclusive) to the 18th (exclusive), written
// in the locale's order: year first, day first, or month first.
TEST(OutlookFilters, DateOrders) {
    SYSTEMTIME from = day(2024, 3, 4), to = day(2024, 3, 18);
    EXPECT_EQ(u"[Start] >= \"2024/03/04\" AND [Start] < \"2024/03/18\"",
              filter(FILTER_APPOINTMENTS_RANGE, 2, from, to));
    EXPECT_EQ(u"[Start] >= \"04/03/2024\" AND [Start] < \"18/03/2024\"",
              filter(FILTER_APPOINTMENTS_RANGE, 1, from, to));
    EXPECT_EQ(u"[Start] >= \"03/04/2024\" AND [Start] < \"03/18/2024\"",
              filter(FILTER_APPOINTMENTS_RANGE, 0, from, to));
    EXPECT_EQ(u"[DueDate] >= \"04/03/2024\" AND [DueDate] < \"18/03/2024\"",
              filter(FILTER_TASKS_RANGE, 1, from, to));
    EXPECT_EQ(u"[Start] >= \"2024/03/04\"", filter(FILTER_APPOINTMENTS_FROM, 2, from, to));
    EXPECT_EQ(u"[DueDate] >= \"03/04/2024\"", filter(FILTER_TASKS_FROM, 0, from, to));

    // Too small a buffer fails and leaves a terminated text; bad kinds fail.
    WCHAR small[12 + 2];
    small[12] = 0x5A5A;
    small[13] = 0x5A5A;
    EXPECT_FALSE(buildDateFilter(small, 12, FILTER_APPOINTMENTS_FROM, 2, &from, nullptr));
    EXPECT_EQ(0x5A5A, small[12]) << "guard";
    EXPECT_FALSE(buildDateFilter(small, 12, 7, 2, &from, &to));
    EXPECT_FALSE(buildDateFilter(small, 12, FILTER_TASKS_FROM, 2, nullptr, &to));
}

TEST(OutlookFilters, LocaleOrder) {
    cetest::TempDevice device;
    const struct {
        const char* locale;
        LONG order;
    } cases[] = {{"en-US", 0}, {"en-GB", 1}, {"ja-JP", 2}};
    for (const auto& c : cases) {
        setLocale(c.locale);
        EXPECT_EQ(c.order, localeDateOrder()) << c.locale;
    }
}

class OutlookSearch : public cetest::DeviceTest {
protected:
    void SetUp() override {
        device.freezeAt("2024-02-20T07:00:00Z");
        ASSERT_TRUE(ce::setDeviceZone("Europe/Berlin"));
        getSettings() = PluginSettings{};
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ASSERT_TRUE(openOutlook());
    }
    void TearDown() override { closeOutlook(); }

    DWORD addAppointment(const char16_t* subject, SYSTEMTIME start, SYSTEMTIME end,
                         bool allDay = false) {
        IDispatch* d = nullptr;
        EXPECT_EQ(S_OK, outlookApp->CreateItem(olAppointmentItem, &d));
        IAppointment* a = nullptr;
        d->QueryInterface(IID_IAppointment, reinterpret_cast<void**>(&a));
        d->Release();
        BSTR s = SysAllocString(subject);
        a->put_Subject(s);
        SysFreeString(s);
        DATE v = 0;
        SystemTimeToVariantTime(&start, &v);
        a->put_Start(v);
        SystemTimeToVariantTime(&end, &v);
        a->put_End(v);
        if (allDay) a->put_AllDayEvent(VARIANT_TRUE);
        EXPECT_EQ(S_OK, a->Save());
        long oid = 0;
        a->get_Oid(&oid);
        a->Release();
        return static_cast<DWORD>(oid);
    }

    DWORD addTask(const char16_t* subject, SYSTEMTIME due) {
        IDispatch* d = nullptr;
        EXPECT_EQ(S_OK, outlookApp->CreateItem(olTaskItem, &d));
        ITask* t = nullptr;
        d->QueryInterface(IID_ITask, reinterpret_cast<void**>(&t));
        d->Release();
        BSTR s = SysAllocString(subject);
        t->put_Subject(s);
        SysFreeString(s);
        DATE v = 0;
        SystemTimeToVariantTime(&due, &v);
        t->put_DueDate(v);
        EXPECT_EQ(S_OK, t->Save());
        long oid = 0;
        t->get_Oid(&oid);
        t->Release();
        return static_cast<DWORD>(oid);
    }
};

// An appointment matches when the text contains its subject and it starts at the alarm or
// the event time; at another time only an all-day appointment matches.
TEST_F(OutlookSearch, AppointmentMatching) {
    DWORD standup = addAppointment(u"Standup", day(2024, 3, 5, 9, 0), day(2024, 3, 5, 9, 15));
    DWORD lunch = addAppointment(u"Lunch", day(2024, 3, 5, 12, 0), day(2024, 3, 5, 13, 0));
    DWORD fair = addAppointment(u"Fair", day(2024, 3, 6), day(2024, 3, 7), true);
    ASSERT_NE(0u, standup);
    EXPECT_EQ(standup, findOutlookAppointment(day(2024, 3, 5, 9, 0), day(2024, 3, 5, 9, 0),
                                              u"Standup (Room 1)", FALSE));
    EXPECT_EQ(0u, findOutlookAppointment(day(2024, 3, 5, 8, 45), day(2024, 3, 5, 8, 45),
                                         u"Standup (Room 1)", FALSE))
        << "another time";
    EXPECT_EQ(lunch, findOutlookAppointment(day(2024, 3, 5, 11, 45), day(2024, 3, 5, 12, 0),
                                            u"Lunch", FALSE))
        << "the event time";
    EXPECT_EQ(0u, findOutlookAppointment(day(2024, 3, 5, 12, 0), day(2024, 3, 5, 12, 0), u"Dinner",
                                         FALSE))
        << "another subject";
    EXPECT_EQ(fair, findOutlookAppointment(day(2024, 3, 5, 18, 0), day(2024, 3, 5, 18, 0), u"Fair",
                                           FALSE))
        << "all day, whatever the time";
    EXPECT_EQ(0u,
              findOutlookAppointment(day(2024, 3, 5, 9, 0), day(2024, 3, 5, 9, 0), nullptr, FALSE));
    // Two weeks from the day before: an appointment 15 days after the alarm is not found.
    addAppointment(u"Later", day(2024, 3, 19, 9, 0), day(2024, 3, 19, 10, 0));
    EXPECT_EQ(
        0u, findOutlookAppointment(day(2024, 3, 4, 9, 0), day(2024, 3, 4, 9, 0), u"Later", FALSE));
}

// The day before the 1st of March 2024 is the 29th of February (the 30th does not exist);
// on 1 January the search starts on the day itself. Each date order of the locale finds it.
TEST_F(OutlookSearch, FirstOfMonthInEveryOrder) {
    DWORD leap = addAppointment(u"Night shift", day(2024, 2, 29, 10, 0), day(2024, 3, 1, 6, 0));
    DWORD newYear = addAppointment(u"Party", day(2023, 12, 31, 10, 0), day(2023, 12, 31, 11, 0));
    for (const char* locale : {"en-US", "en-GB", "ja-JP"}) {
        setLocale(locale);
        EXPECT_EQ(leap, findOutlookAppointment(day(2024, 3, 1, 10, 0), day(2024, 3, 1, 10, 0),
                                               u"Night shift", FALSE))
            << locale;
        EXPECT_EQ(0u, findOutlookAppointment(day(2024, 1, 1, 10, 0), day(2024, 1, 1, 10, 0),
                                             u"Party", FALSE))
            << locale;
    }
    (void)newYear;
}

// A task whose subject is the whole text matches at any due time; otherwise the text must
// contain the subject and the due time must be the alarm's or event's.
TEST_F(OutlookSearch, TaskMatching) {
    DWORD milk = addTask(u"Buy milk", day(2024, 3, 5));
    DWORD call = addTask(u"Call", day(2024, 3, 6));
    EXPECT_EQ(milk,
              findOutlookTask(day(2024, 3, 5, 8, 0), day(2024, 3, 5, 8, 0), u"Buy milk", FALSE));
    EXPECT_EQ(0u, findOutlookTask(day(2024, 3, 5, 8, 0), day(2024, 3, 5, 8, 0),
                                  u"Buy milk (3/5/2024)", FALSE))
        << "contained, but due at 0:00";
    EXPECT_EQ(call, findOutlookTask(day(2024, 3, 6, 8, 0), day(2024, 3, 6, 0, 0),
                                    u"Call (3/6/2024)", FALSE))
        << "due at the event time";
    // Two days before the 2nd of March is the 28th of February.
    DWORD early = addTask(u"Taxes", day(2024, 2, 28));
    EXPECT_EQ(early,
              findOutlookTask(day(2024, 3, 2, 8, 0), day(2024, 3, 2, 8, 0), u"Taxes", FALSE));
}

// Items by identifier are of their own kind only; the application object lives from open to
// close and opens again afterwards.
TEST_F(OutlookSearch, ItemsByIdentifierAndLifetime) {
    DWORD appointment = addAppointment(u"A", day(2024, 3, 5, 9), day(2024, 3, 5, 10));
    DWORD task = addTask(u"T", day(2024, 3, 5));
    IAppointment* a = getOutlookAppointment(appointment);
    ASSERT_NE(nullptr, a);
    a->Release();
    EXPECT_EQ(nullptr, getOutlookTask(appointment));
    ITask* t = getOutlookTask(task);
    ASSERT_NE(nullptr, t);
    t->Release();
    EXPECT_EQ(nullptr, getOutlookAppointment(0));
    EXPECT_EQ(nullptr, getOutlookAppointment(0x7FFFFFF0));

    IPOutlookApp* first = outlookApp;
    EXPECT_TRUE(openOutlook());
    EXPECT_EQ(first, outlookApp) << "opened once";
    IPOutlookApp* held = takeOutlook();
    closeOutlook();
    EXPECT_EQ(nullptr, outlookApp);
    held->Release(); // a reference taken before the close stays usable until released
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_TRUE(openOutlook());
    EXPECT_NE(nullptr, outlookApp);
}

// Without COM on the thread Outlook does not open, and every lookup answers "nothing".
TEST(OutlookUnavailable, LookupsAnswerNothing) {
    cetest::TempDevice device;
    // A thread of its own, which has not entered COM.
    std::thread worker([] {
        EXPECT_FALSE(openOutlook());
        EXPECT_EQ(nullptr, outlookApp);
        EXPECT_EQ(nullptr, getOutlookAppointment(5));
        EXPECT_EQ(0u, findOutlookAppointment(day(2024, 3, 5, 9), day(2024, 3, 5, 9), u"x", FALSE));
        EXPECT_EQ(0u, findOutlookTask(day(2024, 3, 5, 9), day(2024, 3, 5, 9), u"x", FALSE));
    });
    worker.join();
}

} // namespace
