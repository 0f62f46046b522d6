// reminder_test.cpp: the reminder notifications the store keeps for appointments and tasks:
// created with the texts the device's calendar and tasks programs write, moved with the item
// (same handle), removed when the reminder is switched off or the item deleted, the next
// occurrence for a series, and rebuilt by rebuildReminders (calnot.exe) after the store and
// the notification database went out of step.
#include <gtest/gtest.h>

#include <vector>

#include "notify.h"
#include "pim/reminders.h"
#include "pimtest.h"

namespace {

using namespace pimtest;

struct Reminder {
    HANDLE handle = nullptr;
    std::u16string app, args, title, text;
    SYSTEMTIME start{};
};

// The notifications whose arguments are "POOM: <oid>".
std::vector<Reminder> remindersOf(long oid) {
    std::vector<Reminder> out;
    DWORD count = 0;
    CeGetUserNotificationHandles(nullptr, 0, &count);
    std::vector<HANDLE> handles(count + 1);
    if (!CeGetUserNotificationHandles(handles.data(), static_cast<DWORD>(handles.size()), &count))
        return out;
    std::u16string tag = u"POOM: ";
    for (char c : std::to_string(oid))
        tag += static_cast<char16_t>(c);
    for (DWORD i = 0; i < count; ++i) {
        DWORD size = 0;
        CeGetUserNotification(handles[i], 0, &size, nullptr);
        std::vector<uint8_t> buf(size);
        if (!CeGetUserNotification(handles[i], size, &size, buf.data())) continue;
        auto* h = reinterpret_cast<CE_NOTIFICATION_INFO_HEADER*>(buf.data());
        if (!h->pcent || !h->pcent->lpszArguments || tag != h->pcent->lpszArguments) continue;
        Reminder r;
        r.handle = handles[i];
        r.app = h->pcent->lpszApplication ? h->pcent->lpszApplication : u"";
        r.args = h->pcent->lpszArguments;
        r.start = h->pcent->stStartTime;
        if (h->pceun) {
            r.title = h->pceun->pwszDialogTitle ? h->pceun->pwszDialogTitle : u"";
            r.text = h->pceun->pwszDialogText ? h->pceun->pwszDialogText : u"";
        }
        out.push_back(r);
    }
    return out;
}

class PimReminders : public PimTest {
protected:
    IAppointment* open(long oid) {
        IDispatch* d = nullptr;
        EXPECT_EQ(S_OK, app->GetItemFromOid(oid, &d));
        IAppointment* a = nullptr;
        if (d) d->QueryInterface(IID_IAppointment, reinterpret_cast<void**>(&a)), d->Release();
        return a;
    }
};

// Created at start minus 15 minutes with the calendar's texts, moved with the appointment
// under the same handle, gone after put_ReminderSet(FALSE) and after Delete.
TEST_F(PimReminders, FollowTheAppointment) {
    IDispatch* d = nullptr;
    ASSERT_EQ(S_OK, app->CreateItem(olAppointmentItem, &d));
    IAppointment* a = nullptr;
    d->QueryInterface(IID_IAppointment, reinterpret_cast<void**>(&a));
    d->Release();
    Bstr subject(u"Review"), location(u"Room 4");
    a->put_Subject(subject);
    a->put_Location(location);
    a->put_Start(variantOf(2027, 3, 22, 10));
    a->put_End(variantOf(2027, 3, 22, 11));
    a->put_ReminderSet(VARIANT_TRUE);
    ASSERT_EQ(S_OK, a->Save());
    long oid = 0;
    a->get_Oid(&oid);
    auto r = remindersOf(oid);
    ASSERT_EQ(1u, r.size());
    EXPECT_EQ(u"calendar.exe", r[0].app);
    EXPECT_EQ(r[0].args, r[0].title);
    EXPECT_EQ(u"Review\r\nRoom 4", r[0].text);
    EXPECT_EQ(9, r[0].start.wHour);
    EXPECT_EQ(45, r[0].start.wMinute);
    HANDLE first = r[0].handle;

    a->put_Start(variantOf(2027, 3, 23, 14));
    ASSERT_EQ(S_OK, a->Save());
    r = remindersOf(oid);
    ASSERT_EQ(1u, r.size());
    EXPECT_EQ(first, r[0].handle);
    EXPECT_EQ(23, r[0].start.wDay);
    EXPECT_EQ(13, r[0].start.wHour);
    EXPECT_EQ(45, r[0].start.wMinute);

    a->put_ReminderSet(VARIANT_FALSE);
    ASSERT_EQ(S_OK, a->Save());
    EXPECT_TRUE(remindersOf(oid).empty());
    a->put_ReminderSet(VARIANT_TRUE);
    ASSERT_EQ(S_OK, a->Save());
    EXPECT_EQ(1u, remindersOf(oid).size());
    ASSERT_EQ(S_OK, a->Delete());
    EXPECT_TRUE(remindersOf(oid).empty());
    a->Release();
}

// A past appointment gets no reminder; a series gets the one of its next occurrence.
TEST_F(PimReminders, PastAndRecurring) {
    long past = addAppointment(u"Yesterday", variantOf(2027, 3, 19, 9), variantOf(2027, 3, 19, 10));
    IAppointment* a = open(past);
    a->put_ReminderSet(VARIANT_TRUE);
    a->Save();
    a->Release();
    EXPECT_TRUE(remindersOf(past).empty());

    long series = addAppointment(u"Weekly", variantOf(2027, 3, 1, 9), variantOf(2027, 3, 1, 10),
                                 false, "2/0"); // every Monday since 1 March
    a = open(series);
    a->put_ReminderSet(VARIANT_TRUE);
    a->put_ReminderMinutesBeforeStart(30);
    ASSERT_EQ(S_OK, a->Save());
    a->Release();
    auto r = remindersOf(series);
    ASSERT_EQ(1u, r.size());
    EXPECT_EQ(22, r[0].start.wDay); // now is Saturday 20 March: next Monday
    EXPECT_EQ(8, r[0].start.wHour);
    EXPECT_EQ(30, r[0].start.wMinute);
}

// A task reminder: tasks.exe, "<subject>\r\n Due: <short date>"; completing it removes it.
TEST_F(PimReminders, TaskReminder) {
    setLocale("en-US");
    IDispatch* d = nullptr;
    ASSERT_EQ(S_OK, app->CreateItem(olTaskItem, &d));
    ITask* t = nullptr;
    d->QueryInterface(IID_ITask, reinterpret_cast<void**>(&t));
    d->Release();
    Bstr s(u"Pay rent");
    t->put_Subject(s);
    t->put_DueDate(variantOf(2027, 3, 25));
    t->put_ReminderTime(variantOf(2027, 3, 24, 8));
    t->put_ReminderSet(VARIANT_TRUE);
    ASSERT_EQ(S_OK, t->Save());
    long oid = 0;
    t->get_Oid(&oid);
    auto r = remindersOf(oid);
    ASSERT_EQ(1u, r.size());
    EXPECT_EQ(u"tasks.exe", r[0].app);
    EXPECT_EQ(u"Pay rent\r\n Due: 3/25/2027", r[0].text);
    EXPECT_EQ(24, r[0].start.wDay);
    EXPECT_EQ(8, r[0].start.wHour);
    t->put_Complete(VARIANT_TRUE);
    ASSERT_EQ(S_OK, t->Save());
    EXPECT_TRUE(remindersOf(oid).empty());
    t->Release();
}

// The store and the notification database are two files: a reminder lost between them is
// made again, and one whose item is gone is removed, by the rebuild calnot.exe runs.
TEST_F(PimReminders, RebuildRepairsBothDirections) {
    long oid = addAppointment(u"Kept", variantOf(2027, 3, 22, 10), variantOf(2027, 3, 22, 11));
    IAppointment* a = open(oid);
    a->put_ReminderSet(VARIANT_TRUE);
    a->Save();
    a->Release();
    auto r = remindersOf(oid);
    ASSERT_EQ(1u, r.size());
    ASSERT_TRUE(CeClearUserNotification(r[0].handle));
    EXPECT_TRUE(remindersOf(oid).empty());

    std::u16string orphanApp = u"calendar.exe", orphanArgs = u"POOM: 999999";
    CE_NOTIFICATION_TRIGGER trigger{};
    trigger.dwSize = sizeof trigger;
    trigger.dwType = CNT_TIME;
    trigger.lpszApplication = orphanApp.data();
    trigger.lpszArguments = orphanArgs.data();
    trigger.stStartTime = {2027, 3, 0, 30, 10, 0, 0, 0};
    trigger.stEndTime = trigger.stStartTime;
    ASSERT_NE(nullptr, CeSetUserNotificationEx(nullptr, &trigger, nullptr));

    EXPECT_EQ(1, ce::pim::rebuildReminders());
    EXPECT_EQ(1u, remindersOf(oid).size());
    EXPECT_TRUE(remindersOf(999999).empty());
}

} // namespace
