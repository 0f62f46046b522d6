// notify_test.cpp: change notifications of the object model. After Logon with a window and
// PIMPR_FOLDERNOTIFICATIONS set to PIMFOLDERNOTIFICATION_LOCAL on a folder, creating,
// changing and deleting an item posts PIM_ITEM_CREATED_LOCAL, _CHANGED_LOCAL and
// _DELETED_LOCAL (0x8100, 0x8102, 0x8101) with the item's oid and the folder; a change made
// by another process (cedev pim add) reaches the window through the device's display.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "pimtest.h"
#include "testdisplay.h"
#include "user/driver.h"

namespace {

using namespace pimtest;

struct Seen {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> seen;

LRESULT CALLBACK recordProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= PIM_ITEM_CREATED_LOCAL && msg <= PIM_ITEM_CHANGED_REMOTE)
        seen.push_back({msg, wParam, lParam});
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND makeWindow() {
    static bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = recordProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = u"PimNotifyTestCls";
        return RegisterClassW(&wc) != 0;
    }();
    EXPECT_TRUE(registered);
    return CreateWindowExW(0, u"PimNotifyTestCls", u"pim", WS_POPUP, 0, 250, 20, 20, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

// Pumps until a message of that number arrived (real time), or the time is up.
bool pumpFor(UINT msg, int timeoutMs) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < until) {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&m);
        for (const Seen& s : seen)
            if (s.msg == msg) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void watch(IPOutlookApp* app, int folderNumber, ULONG flags) {
    IFolder* folder = nullptr;
    ASSERT_EQ(S_OK, app->GetDefaultFolder(folderNumber, &folder));
    IItem* props = nullptr;
    ASSERT_EQ(S_OK, folder->QueryInterface(IID_IItem, reinterpret_cast<void**>(&props)));
    CEPROPVAL v{};
    v.propid = PIMPR_FOLDERNOTIFICATIONS;
    v.val.ulVal = flags;
    EXPECT_EQ(S_OK, props->SetProps(0, 1, &v));
    props->Release();
    folder->Release();
}

class PimNotify : public PimTest {
protected:
    void SetUp() override {
        PimTest::SetUp();
        seen.clear();
        hwnd = makeWindow();
        ASSERT_NE(nullptr, hwnd);
        ASSERT_EQ(S_OK, app->Logon(static_cast<long>(HandleToULong(hwnd))));
    }
    void TearDown() override {
        if (hwnd) DestroyWindow(hwnd);
        PimTest::TearDown();
    }
    HWND hwnd = nullptr;
};

// Created, changed and deleted, in that order, with the oid in wParam and the folder in
// lParam; a folder that is not watched stays silent; after Logoff nothing arrives.
TEST_F(PimNotify, LocalChangesArriveInOrder) {
    watch(app, olFolderCalendar, PIMFOLDERNOTIFICATION_LOCAL);
    long oid = addAppointment(u"Lunch", variantOf(2027, 3, 22, 12), variantOf(2027, 3, 22, 13));
    IDispatch* d = nullptr;
    ASSERT_EQ(S_OK, app->GetItemFromOid(oid, &d));
    IAppointment* a = nullptr;
    d->QueryInterface(IID_IAppointment, reinterpret_cast<void**>(&a));
    d->Release();
    a->put_ReminderSet(VARIANT_FALSE);
    ASSERT_EQ(S_OK, a->Save());
    ASSERT_EQ(S_OK, a->Delete());
    a->Release();
    // A task: its folder is not watched.
    ASSERT_EQ(S_OK, app->CreateItem(olTaskItem, &d));
    ITask* t = nullptr;
    d->QueryInterface(IID_ITask, reinterpret_cast<void**>(&t));
    d->Release();
    ASSERT_EQ(S_OK, t->Save());
    ASSERT_TRUE(pumpFor(PIM_ITEM_DELETED_LOCAL, 2000));
    ASSERT_EQ(3u, seen.size());
    const UINT expected[] = {PIM_ITEM_CREATED_LOCAL, PIM_ITEM_CHANGED_LOCAL,
                             PIM_ITEM_DELETED_LOCAL};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(expected[i], seen[i].msg) << i;
        EXPECT_EQ(static_cast<WPARAM>(oid), seen[i].wParam) << i;
        EXPECT_EQ(olFolderCalendar, seen[i].lParam) << i;
    }
    seen.clear();
    ASSERT_EQ(S_OK, app->Logoff());
    // Another session adds an appointment while this one is logged off.
    IPOutlookApp* other = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IPOutlookApp, reinterpret_cast<void**>(&other)));
    ASSERT_EQ(S_OK, other->Logon(0));
    std::swap(app, other);
    addAppointment(u"Unheard", variantOf(2027, 3, 23, 12), variantOf(2027, 3, 23, 13));
    std::swap(app, other);
    other->Release();
    EXPECT_EQ(S_OK, app->Logon(static_cast<long>(HandleToULong(hwnd))));
    t->Release();
    EXPECT_FALSE(pumpFor(PIM_ITEM_CREATED_LOCAL, 200));
}

// A change made by another program arrives in this program's window: the shape of the product's
// item window watching all three folders while cedev adds an appointment.
class PimNotifyAcrossPrograms : public cetest::DisplayTest {};

TEST_F(PimNotifyAcrossPrograms, CedevAddArrivesAsCreated) {
    ce::user::setDriverForTesting(ce::user::makeX11Driver());
    ASSERT_STREQ("x11", ce::user::activeDriver().name());
    seen.clear();
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    IPOutlookApp* app = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IPOutlookApp, reinterpret_cast<void**>(&app)));
    HWND hwnd = makeWindow();
    ASSERT_NE(nullptr, hwnd);
    ASSERT_EQ(S_OK, app->Logon(static_cast<long>(HandleToULong(hwnd))));
    for (int f : {olFolderCalendar, olFolderTasks, olFolderContacts})
        watch(app, f, PIMFOLDERNOTIFICATION_LOCAL);
    std::string out, err;
    ASSERT_EQ(0, cetest::runCedev({"pim", "add", "appointment", "--subject", "From outside",
                                   "--start", "2027-05-01T10:00", "--end", "2027-05-01T11:00"},
                                  &out, &err))
        << err;
    unsigned long oid = strtoul(out.c_str(), nullptr, 10);
    ASSERT_GT(oid, 0ul);
    EXPECT_TRUE(pumpFor(PIM_ITEM_CREATED_LOCAL, 5000));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(PIM_ITEM_CREATED_LOCAL, seen[0].msg);
    EXPECT_EQ(oid, seen[0].wParam);
    EXPECT_EQ(olFolderCalendar, seen[0].lParam);
    seen.clear();
    ASSERT_EQ(0, cetest::runCedev({"pim", "delete", std::to_string(oid)}, &out, &err)) << err;
    EXPECT_TRUE(pumpFor(PIM_ITEM_DELETED_LOCAL, 5000));
    app->Logoff();
    app->Release();
    CoUninitialize();
    DestroyWindow(hwnd);
    ce::user::setDriverForTesting(nullptr);
}

} // namespace
