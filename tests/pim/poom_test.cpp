// poom_test.cpp: the object model over the store, as the product calls it: folders and items,
// Save/GetItemFromOid/Delete, identifiers that never repeat, Restrict in each date order of
// the user locale, Sort with Find/FindNext, IncludeRecurrences across a daylight-saving
// change, all-day events, task and birthday restrictions, the folder properties, and bad
// input answered with error codes.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "kernel/process.h"
#include "kernel/stub.h"
#include "pimtest.h"

namespace {

using namespace pimtest;

class Poom : public PimTest {
protected:
    // Subjects and starts of a walk with Find/FindNext.
    std::vector<std::string> walk(IPOutlookItemCollection* c, const char16_t* filter) {
        std::vector<std::string> out;
        IDispatch* d = reinterpret_cast<IDispatch*>(0xdeadbeef);
        Bstr f(filter);
        HRESULT hr = c->Find(f, &d);
        EXPECT_EQ(S_OK, hr);
        for (int guard = 0; SUCCEEDED(hr) && d && guard < 1000; ++guard) {
            IAppointment* a = nullptr;
            EXPECT_EQ(S_OK, d->QueryInterface(IID_IAppointment, reinterpret_cast<void**>(&a)));
            d->Release();
            BSTR s = nullptr;
            DATE start = 0;
            a->get_Subject(&s);
            a->get_Start(&start);
            std::u16string subject = take(s);
            out.push_back(std::string(subject.begin(), subject.end()) + " " + text(start));
            a->Release();
            d = reinterpret_cast<IDispatch*>(0xdeadbeef);
            hr = c->FindNext(&d);
            EXPECT_EQ(S_OK, hr);
        }
        return out;
    }
};

// An item saved through one object reads back through GetItemFromOid with every property; a
// deleted item is gone and its identifier is never handed out again.
TEST_F(Poom, SaveReadDeleteAndIdentifiersNeverRepeat) {
    long first = addAppointment(u"Dentist", variantOf(2027, 3, 22, 10), variantOf(2027, 3, 22, 11));
    ASSERT_GT(first, 0);
    IDispatch* d = nullptr;
    ASSERT_EQ(S_OK, app->GetItemFromOid(first, &d));
    IAppointment* a = nullptr;
    ASSERT_EQ(S_OK, d->QueryInterface(IID_IAppointment, reinterpret_cast<void**>(&a)));
    ITask* wrong = reinterpret_cast<ITask*>(0xdeadbeef);
    EXPECT_EQ(E_NOINTERFACE, d->QueryInterface(IID_ITask, reinterpret_cast<void**>(&wrong)));
    EXPECT_EQ(nullptr, wrong);
    d->Release();
    BSTR s = nullptr;
    EXPECT_EQ(S_OK, a->get_Subject(&s));
    EXPECT_EQ(u"Dentist", take(s));
    DATE start = 0, end = 0;
    long duration = -1;
    a->get_Start(&start);
    a->get_End(&end);
    a->get_Duration(&duration);
    EXPECT_EQ("2027-03-22 10:00", text(start));
    EXPECT_EQ("2027-03-22 11:00", text(end));
    EXPECT_EQ(60, duration);
    VARIANT_BOOL recurring = 5;
    a->get_IsRecurring(&recurring);
    EXPECT_EQ(VARIANT_FALSE, recurring);
    EXPECT_EQ(S_OK, a->Delete());
    a->Release();
    d = reinterpret_cast<IDispatch*>(0xdeadbeef);
    EXPECT_TRUE(FAILED(app->GetItemFromOid(first, &d)));
    EXPECT_EQ(nullptr, d);
    long second = addAppointment(u"Again", variantOf(2027, 3, 22, 10), variantOf(2027, 3, 22, 11));
    EXPECT_GT(second, first);
}

// Without Logon the folders and items are out of reach; an unknown folder, item kind or
// identifier fails with an error code and a NULL result.
TEST_F(Poom, BadRequestsFail) {
    IFolder* f = reinterpret_cast<IFolder*>(0xdeadbeef);
    EXPECT_EQ(E_INVALIDARG, app->GetDefaultFolder(12, &f));
    EXPECT_EQ(nullptr, f);
    IDispatch* d = reinterpret_cast<IDispatch*>(0xdeadbeef);
    EXPECT_EQ(E_INVALIDARG, app->CreateItem(7, &d));
    EXPECT_EQ(nullptr, d);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_NOT_FOUND), app->GetItemFromOid(0x7FFFFFF0, &d));
    EXPECT_EQ(E_POINTER, app->GetDefaultFolder(olFolderCalendar, nullptr));
    ASSERT_EQ(S_OK, app->Logoff());
    f = reinterpret_cast<IFolder*>(0xdeadbeef);
    EXPECT_EQ(E_FAIL, app->GetDefaultFolder(olFolderCalendar, &f));
    EXPECT_EQ(nullptr, f);
    ASSERT_EQ(S_OK, app->Logon(0));

    IPOutlookItemCollection* c = items(olFolderCalendar);
    ASSERT_NE(nullptr, c);
    IPOutlookItemCollection* r = reinterpret_cast<IPOutlookItemCollection*>(0xdeadbeef);
    Bstr bad(u"[Start] >= \"13/45/2024\"");
    EXPECT_EQ(E_INVALIDARG, c->Restrict(bad, &r));
    EXPECT_EQ(nullptr, r);
    d = reinterpret_cast<IDispatch*>(0xdeadbeef);
    EXPECT_EQ(E_INVALIDARG, c->Find(bad, &d));
    EXPECT_EQ(nullptr, d);
    EXPECT_EQ(E_UNEXPECTED, c->FindNext(&d));
    Bstr badSort(u"Start");
    EXPECT_EQ(E_INVALIDARG, c->Sort(badSort, VARIANT_FALSE));
    EXPECT_EQ(E_INVALIDARG, c->Item(1, &d));
    c->Release();
}

// Sort("[Start]") orders the walk of Find/FindNext, and the range filter keeps what the
// product asks for: the Parts' appointment range in each date order of the user locale.
TEST_F(Poom, SortedFindWalksTheRangeInEveryLocaleOrder) {
    addAppointment(u"Late", variantOf(2024, 3, 17, 18), variantOf(2024, 3, 17, 19));
    addAppointment(u"Early", variantOf(2024, 3, 4, 0), variantOf(2024, 3, 4, 1));
    addAppointment(u"Before", variantOf(2024, 3, 3, 23, 59), variantOf(2024, 3, 4, 1));
    addAppointment(u"After", variantOf(2024, 3, 18, 0), variantOf(2024, 3, 18, 1));
    addAppointment(u"Middle", variantOf(2024, 3, 10, 12), variantOf(2024, 3, 10, 13));
    struct {
        const char* locale;
        const char16_t* filter;
    } orders[] = {
        {"en-US", u"[Start] >= \"03/04/2024\" AND [Start] < \"03/18/2024\""},
        {"en-GB", u"[Start] >= \"04/03/2024\" AND [Start] < \"18/03/2024\""},
        {"ja-JP", u"[Start] >= \"2024/03/04\" AND [Start] < \"2024/03/18\""},
    };
    std::vector<std::string> expected = {"Early 2024-03-04 00:00", "Middle 2024-03-10 12:00",
                                         "Late 2024-03-17 18:00"};
    for (const auto& o : orders) {
        setLocale(o.locale);
        IPOutlookItemCollection* c = items(olFolderCalendar);
        ASSERT_NE(nullptr, c);
        Bstr start(u"[Start]");
        ASSERT_EQ(S_OK, c->Sort(start, VARIANT_FALSE));
        EXPECT_EQ(expected, walk(c, o.filter)) << o.locale;
        // The same range through Restrict, walked by index.
        IPOutlookItemCollection* r = nullptr;
        Bstr f(o.filter);
        ASSERT_EQ(S_OK, c->Restrict(f, &r));
        int count = -1;
        EXPECT_EQ(S_OK, r->get_Count(&count));
        EXPECT_EQ(3, count) << o.locale;
        r->Release();
        c->Release();
    }
}

// A weekly appointment at 09:00 expanded with IncludeRecurrences: each occurrence carries the
// series' Oid and IsRecurring, and stays at 09:00 local across the change to daylight time on
// 28 March 2027; without IncludeRecurrences the series is one item.
TEST_F(Poom, WeeklySeriesAcrossDaylightSavingChange) {
    setLocale("ja-JP");
    long oid = addAppointment(u"Standup", variantOf(2027, 3, 15, 9), variantOf(2027, 3, 15, 9, 30),
                              false, "2/0"); // Mondays
    ASSERT_GT(oid, 0);
    IPOutlookItemCollection* c = items(olFolderCalendar);
    ASSERT_NE(nullptr, c);
    Bstr start(u"[Start]");
    c->Sort(start, VARIANT_FALSE);
    ASSERT_EQ(S_OK, c->put_IncludeRecurrences(VARIANT_TRUE));
    const char16_t* range = u"[Start] >= \"2027/03/20\" AND [Start] < \"2027/04/13\"";
    EXPECT_EQ((std::vector<std::string>{"Standup 2027-03-22 09:00", "Standup 2027-03-29 09:00",
                                        "Standup 2027-04-05 09:00", "Standup 2027-04-12 09:00"}),
              walk(c, range));
    IDispatch* d = nullptr;
    Bstr f(range);
    ASSERT_EQ(S_OK, c->Find(f, &d));
    IAppointment* a = nullptr;
    ASSERT_EQ(S_OK, d->QueryInterface(IID_IAppointment, reinterpret_cast<void**>(&a)));
    d->Release();
    long occOid = 0;
    VARIANT_BOOL recurring = VARIANT_FALSE;
    a->get_Oid(&occOid);
    a->get_IsRecurring(&recurring);
    EXPECT_EQ(oid, occOid);
    EXPECT_EQ(VARIANT_TRUE, recurring);
    a->Release();

    ASSERT_EQ(S_OK, c->put_IncludeRecurrences(VARIANT_FALSE));
    IPOutlookItemCollection* r = nullptr;
    Bstr all(u"[Start] >= \"2027/01/01\"");
    ASSERT_EQ(S_OK, c->Restrict(all, &r));
    int count = 0;
    r->get_Count(&count);
    EXPECT_EQ(1, count);
    r->Release();
    c->Release();
}

// Deleting one occurrence leaves the others; changing one keeps the series' identifier.
TEST_F(Poom, OccurrencesDeleteAndChangeAlone) {
    setLocale("ja-JP");
    long oid = addAppointment(u"Yoga", variantOf(2027, 3, 22, 18), variantOf(2027, 3, 22, 19),
                              false, "2/4");
    IPOutlookItemCollection* c = items(olFolderCalendar);
    Bstr start(u"[Start]");
    c->Sort(start, VARIANT_FALSE);
    c->put_IncludeRecurrences(VARIANT_TRUE);
    IDispatch* d = nullptr;
    Bstr second(u"[Start] >= \"2027/03/29\" AND [Start] < \"2027/03/30\"");
    ASSERT_EQ(S_OK, c->Find(second, &d));
    ASSERT_NE(nullptr, d);
    IAppointment* a = nullptr;
    d->QueryInterface(IID_IAppointment, reinterpret_cast<void**>(&a));
    d->Release();
    ASSERT_EQ(S_OK, a->Delete());
    a->Release();
    Bstr third(u"[Start] >= \"2027/04/05\" AND [Start] < \"2027/04/06\"");
    ASSERT_EQ(S_OK, c->Find(third, &d));
    ASSERT_NE(nullptr, d);
    d->QueryInterface(IID_IAppointment, reinterpret_cast<void**>(&a));
    d->Release();
    a->put_Start(variantOf(2027, 4, 5, 20));
    Bstr moved(u"Yoga (moved)");
    a->put_Subject(moved);
    ASSERT_EQ(S_OK, a->Save());
    a->Release();
    EXPECT_EQ((std::vector<std::string>{"Yoga 2027-03-22 18:00", "Yoga (moved) 2027-04-05 20:00",
                                        "Yoga 2027-04-12 18:00"}),
              walk(c, u"[Start] >= \"2027/03/01\" AND [Start] < \"2027/05/01\""));
    c->Release();
    IDispatch* series = nullptr;
    EXPECT_EQ(S_OK, app->GetItemFromOid(oid, &series));
    if (series) series->Release();
}

// An all-day event covers whole days from midnight, reads back as all-day, and is found by a
// range that holds its day.
TEST_F(Poom, AllDayEvent) {
    setLocale("en-GB");
    long oid =
        addAppointment(u"Holiday", variantOf(2027, 4, 2, 14), variantOf(2027, 4, 2, 15), true);
    IDispatch* d = nullptr;
    ASSERT_EQ(S_OK, app->GetItemFromOid(oid, &d));
    IAppointment* a = nullptr;
    d->QueryInterface(IID_IAppointment, reinterpret_cast<void**>(&a));
    d->Release();
    VARIANT_BOOL allDay = VARIANT_FALSE;
    DATE start = 0, end = 0;
    a->get_AllDayEvent(&allDay);
    a->get_Start(&start);
    a->get_End(&end);
    EXPECT_EQ(VARIANT_TRUE, allDay);
    EXPECT_EQ("2027-04-02 00:00", text(start));
    EXPECT_EQ("2027-04-03 00:00", text(end));
    a->Release();
    IPOutlookItemCollection* c = items(olFolderCalendar);
    EXPECT_EQ(std::vector<std::string>{"Holiday 2027-04-02 00:00"},
              walk(c, u"[Start] >= \"02/04/2027\" AND [Start] < \"03/04/2027\""));
    EXPECT_EQ(std::vector<std::string>{},
              walk(c, u"[Start] >= \"03/04/2027\" AND [Start] < \"04/04/2027\""));
    c->Release();
}

// Open tasks in a due-date range, by Restrict and index, as the Today list asks for them; a
// completed task, one outside the range and one without a due date stay out.
TEST_F(Poom, TaskRestrictionCombinesCompleteAndDueRange) {
    setLocale("en-US");
    auto addTask = [&](const char16_t* subject, DATE due, bool complete) {
        IDispatch* d = nullptr;
        EXPECT_EQ(S_OK, app->CreateItem(olTaskItem, &d));
        ITask* t = nullptr;
        d->QueryInterface(IID_ITask, reinterpret_cast<void**>(&t));
        d->Release();
        Bstr s(subject);
        t->put_Subject(s);
        if (due) t->put_DueDate(due);
        t->put_Complete(complete ? VARIANT_TRUE : VARIANT_FALSE);
        EXPECT_EQ(S_OK, t->Save());
        t->Release();
    };
    addTask(u"Open in range", variantOf(2027, 3, 21), false);
    addTask(u"Done in range", variantOf(2027, 3, 22), true);
    addTask(u"Open later", variantOf(2027, 4, 30), false);
    addTask(u"No due date", 0, false);
    IPOutlookItemCollection* c = items(olFolderTasks);
    IPOutlookItemCollection* r = nullptr;
    Bstr f(u"[Complete] = 0 AND [DueDate] >= \"03/20/2027\" AND [DueDate] < \"04/03/2027\"");
    ASSERT_EQ(S_OK, c->Restrict(f, &r));
    int count = 0;
    ASSERT_EQ(S_OK, r->get_Count(&count));
    ASSERT_EQ(1, count);
    IDispatch* d = nullptr;
    ASSERT_EQ(S_OK, r->Item(1, &d));
    ITask* t = nullptr;
    d->QueryInterface(IID_ITask, reinterpret_cast<void**>(&t));
    d->Release();
    BSTR s = nullptr;
    t->get_Subject(&s);
    EXPECT_EQ(u"Open in range", take(s));
    DATE due = 0;
    t->get_DueDate(&due);
    EXPECT_EQ("2027-03-21 00:00", text(due));
    t->Release();
    r->Release();
    // Three open tasks, of which the one without due date reads 1 January 4501.
    Bstr open(u"[Complete] = 0");
    ASSERT_EQ(S_OK, c->Restrict(open, &r));
    r->get_Count(&count);
    EXPECT_EQ(3, count);
    r->Release();
    c->Release();
}

// The birthday restrictions of the Parts, from 1900, in every locale order.
TEST_F(Poom, BirthdaysAndAnniversariesFrom1900) {
    auto addContact = [&](const char16_t* first, DATE birthday, DATE anniversary) {
        IDispatch* d = nullptr;
        app->CreateItem(olContactItem, &d);
        IContact* c = nullptr;
        d->QueryInterface(IID_IContact, reinterpret_cast<void**>(&c));
        d->Release();
        Bstr f(first);
        c->put_FirstName(f);
        if (birthday) c->put_Birthday(birthday);
        if (anniversary) c->put_Anniversary(anniversary);
        EXPECT_EQ(S_OK, c->Save());
        c->Release();
    };
    addContact(u"Born", variantOf(1950, 6, 1), 0);
    addContact(u"Married", 0, variantOf(1990, 9, 9));
    addContact(u"Both", variantOf(1900, 1, 1), variantOf(1925, 5, 5));
    addContact(u"Neither", 0, 0);
    struct {
        const char* locale;
        const char16_t* date;
    } orders[] = {{"en-US", u"01/01/1900"}, {"de-DE", u"01/01/1900"}, {"ja-JP", u"1900/01/01"}};
    for (const auto& o : orders) {
        setLocale(o.locale);
        std::u16string d = o.date;
        auto count = [&](const std::u16string& filter) {
            IPOutlookItemCollection* c = items(olFolderContacts);
            IPOutlookItemCollection* r = nullptr;
            Bstr f(filter.c_str());
            EXPECT_EQ(S_OK, c->Restrict(f, &r));
            int n = -1;
            if (r) r->get_Count(&n), r->Release();
            c->Release();
            return n;
        };
        EXPECT_EQ(3, count(u"[Birthday] >= \"" + d + u"\" OR [Anniversary] >= \"" + d + u"\""))
            << o.locale;
        EXPECT_EQ(2, count(u"[Birthday] >= \"" + d + u"\"")) << o.locale;
        EXPECT_EQ(2, count(u"[Anniversary] >= \"" + d + u"\"")) << o.locale;
    }
}

// The folder's property interface: the categories in use (size query, then read) and the
// notification setting read back.
TEST_F(Poom, FolderCategoriesAndNotificationProperty) {
    for (const char16_t* cats : {u"Work, Home", u"home", u"Errands"}) {
        IDispatch* d = nullptr;
        app->CreateItem(olTaskItem, &d);
        ITask* t = nullptr;
        d->QueryInterface(IID_ITask, reinterpret_cast<void**>(&t));
        d->Release();
        Bstr s(u"x"), c(cats);
        t->put_Subject(s);
        t->put_Categories(c);
        t->Save();
        t->Release();
    }
    IFolder* folder = nullptr;
    ASSERT_EQ(S_OK, app->GetDefaultFolder(olFolderTasks, &folder));
    IItem* props = nullptr;
    ASSERT_EQ(S_OK, folder->QueryInterface(IID_IItem, reinterpret_cast<void**>(&props)));
    CEPROPID id = PIMPR_FOLDER_CATEGORIES;
    ULONG size = 0;
    CEPROPVAL* vals = nullptr;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER),
              props->GetProps(&id, 0, 1, &vals, &size, nullptr));
    const std::u16string expected = u"Work, Home, Errands";
    ASSERT_EQ(sizeof(CEPROPVAL) + (expected.size() + 1) * 2, size);
    std::vector<uint8_t> buffer(size + 16, 0xAB);
    vals = reinterpret_cast<CEPROPVAL*>(buffer.data());
    ASSERT_EQ(S_OK, props->GetProps(&id, 0, 1, &vals, &size, nullptr));
    EXPECT_EQ(PIMPR_FOLDER_CATEGORIES, vals[0].propid);
    EXPECT_EQ(expected, std::u16string(vals[0].val.lpwstr));
    for (size_t i = size; i < buffer.size(); ++i)
        EXPECT_EQ(0xAB, buffer[i]) << "guard byte " << i;
    // With CEDB_ALLOWREALLOC the object model allocates the block.
    CEPROPVAL* allocated = nullptr;
    ULONG allocatedSize = 0;
    ASSERT_EQ(S_OK, props->GetProps(&id, CEDB_ALLOWREALLOC, 1, &allocated, &allocatedSize,
                                    GetProcessHeap()));
    EXPECT_EQ(expected, std::u16string(allocated[0].val.lpwstr));
    HeapFree(GetProcessHeap(), 0, allocated);
    CEPROPVAL bad{};
    bad.propid = PIMPR_FOLDER_CATEGORIES;
    EXPECT_EQ(E_INVALIDARG, props->SetProps(0, 1, &bad));
    props->Release();
    folder->Release();
}

} // namespace

namespace {

// The device journal's lines that contain all the given parts.
int journalLines(const std::filesystem::path& device, std::initializer_list<std::string> parts) {
    std::ifstream in(device / "journal.log");
    int n = 0;
    for (std::string line; std::getline(in, line);) {
        bool all = true;
        for (const auto& p : parts)
            all = all && line.find(p) != std::string::npos;
        n += all;
    }
    return n;
}

// Display starts the device's calendar program on the item ("-oid N"), which shows it in its
// "Calendar" window; a contact opens in poutlook.exe's "Contacts". Without the programs on
// the device Display fails.
TEST_F(Poom, DisplayOpensTheDevicePrograms) {
    long oid = addAppointment(u"Shown", variantOf(2027, 3, 22, 10), variantOf(2027, 3, 22, 11));
    IDispatch* d = nullptr;
    ASSERT_EQ(S_OK, app->GetItemFromOid(oid, &d));
    IAppointment* a = nullptr;
    d->QueryInterface(IID_IAppointment, reinterpret_cast<void**>(&a));
    d->Release();
    // A new device has the programs: take them away first.
    DeleteFileW(u"\\Windows\\calendar.exe");
    DeleteFileW(u"\\Windows\\poutlook.exe");
    EXPECT_EQ(E_FAIL, a->Display());
    ASSERT_EQ(0u, ce::writeProgramStub(u"\\Windows\\calendar.exe", "ceapps", "calendar"));
    ASSERT_EQ(0u, ce::writeProgramStub(u"\\Windows\\poutlook.exe", "ceapps", "poutlook"));
    EXPECT_EQ(S_OK, a->Display());
    a->Release();
    std::string oidText = "\"oid\":" + std::to_string(oid);
    for (int i = 0; i < 500 && !journalLines(device.dir(), {"pim.show", "Calendar", oidText}); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(1, journalLines(device.dir(), {"pim.show", "Calendar", oidText}));
    EXPECT_EQ(
        1, journalLines(device.dir(), {"pim.display", "appointment", oidText, "\"shown\":true"}));
    // The calendar keeps running, as on the device: end it.
    for (const auto& entry : std::filesystem::directory_iterator(device.dir() / "run" / "proc")) {
        int pid = atoi(entry.path().filename().c_str());
        std::u16string program;
        bool exited = false;
        if (pid <= 0 || !ce::readProcessRecord(pid, nullptr, &program, &exited, nullptr) ||
            exited || program != u"\\Windows\\calendar.exe")
            continue;
        HANDLE h = OpenProcess(0, FALSE, static_cast<DWORD>(pid));
        if (h) TerminateProcess(h, 0), CloseHandle(h);
    }
}

} // namespace
