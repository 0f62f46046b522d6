// reg_notify_test.cpp: value change notifications: changes by other processes, conditions,
// callbacks, closing, and registrations of processes that ended.
#include <atomic>
#include <cstring>

#include "kernel/device.h"
#include "regext.h"
#include "registry/regnotify.h"
#include "regtest.h"
#include "testdevice.h"

namespace {

using ce::reg::collectRegistryChanges;
using ce::reg::PendingNotification;
using cetest::DeviceTest;
using cetest::runInChild;
using namespace regtest;

const HWND kWindow = static_cast<HWND>(ULongToHandle(0x00012340));
constexpr UINT kNotifyMsg = 0x822A;

class RegNotify : public DeviceTest {};

// Writes a DWORD in another process, as the shell would.
int setInChild(HKEY root, const char16_t* path, const char16_t* name, DWORD value) {
    return runInChild([=] {
        HKEY key = nullptr;
        if (RegCreateKeyExW(root, path, 0, nullptr, 0, 0, nullptr, &key, nullptr)) return 1;
        LONG r = setDword(key, name, value);
        RegCloseKey(key);
        return r == ERROR_SUCCESS ? 0 : 2;
    });
}

// The documented contract: the window gets msg with wParam = the new DWORD value and lParam =
// the user data, for a change made by any process; one change, one notification.
TEST_F(RegNotify, ChangeInAnotherProcessIsCollected) {
    HREGNOTIFY handle = ULongToHandle(kPoisonDword);
    ASSERT_EQ(RegistryNotifyWindow(HKEY_LOCAL_MACHINE, u"System\\State\\Shell", u"Notify", kWindow,
                                   kNotifyMsg, 0x77, nullptr, &handle),
              S_OK);
    EXPECT_NE(HandleToULong(handle), kPoisonDword);
    EXPECT_TRUE(collectRegistryChanges().empty()) << "registering is not a change";

    ASSERT_EQ(setInChild(HKEY_LOCAL_MACHINE, u"System\\State\\Shell", u"Notify", 5), 0);
    auto notes = collectRegistryChanges();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].hwnd, kWindow);
    EXPECT_EQ(notes[0].msg, kNotifyMsg);
    EXPECT_EQ(notes[0].wParam, 5u);
    EXPECT_EQ(notes[0].lParam, 0x77);
    EXPECT_EQ(notes[0].handle, handle);
    EXPECT_TRUE(collectRegistryChanges().empty()) << "a change is reported once";

    // Writing the same value again is no change; other values of the key are not watched.
    ASSERT_EQ(setInChild(HKEY_LOCAL_MACHINE, u"System\\State\\Shell", u"Notify", 5), 0);
    ASSERT_EQ(setInChild(HKEY_LOCAL_MACHINE, u"System\\State\\Shell", u"Other", 9), 0);
    EXPECT_TRUE(collectRegistryChanges().empty());
    // The other root's value of the same name is another value.
    ASSERT_EQ(setInChild(HKEY_CURRENT_USER, u"System\\State\\Shell", u"Notify", 6), 0);
    EXPECT_TRUE(collectRegistryChanges().empty());
    EXPECT_EQ(RegistryCloseNotification(handle), S_OK);
}

TEST_F(RegNotify, SeveralWritesGiveTheLatestValueOnce) {
    HREGNOTIFY handle = nullptr;
    ASSERT_EQ(RegistryNotifyWindow(HKEY_LOCAL_MACHINE, u"System\\State\\Reminder\\Count", u"APPT",
                                   kWindow, 0x822D, 0, nullptr, &handle),
              S_OK);
    TestKey key(u"System\\State\\Reminder\\Count", HKEY_LOCAL_MACHINE);
    for (DWORD v : {1u, 2u, 3u})
        ASSERT_EQ(setDword(key, u"APPT", v), ERROR_SUCCESS);
    auto notes = collectRegistryChanges();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].wParam, 3u);
    // A deleted value is a change too; there is no new DWORD, so wParam is 0.
    ASSERT_EQ(RegDeleteValueW(key, u"APPT"), ERROR_SUCCESS);
    notes = collectRegistryChanges();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].wParam, 0u);
    RegistryCloseNotification(handle);
}

// The key need not exist: the value is watched from its creation on, also after the key was
// deleted and created again. Names compare without regard to case.
TEST_F(RegNotify, WatchStartsBeforeTheKeyExists) {
    HREGNOTIFY handle = nullptr;
    ASSERT_EQ(RegistryNotifyWindow(HKEY_CURRENT_USER, u"Software\\Later\\Key", u"Value", kWindow, 1,
                                   0, nullptr, &handle),
              S_OK);
    ASSERT_EQ(setInChild(HKEY_CURRENT_USER, u"SOFTWARE\\later\\KEY", u"VALUE", 11), 0);
    auto notes = collectRegistryChanges();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].wParam, 11u);
    ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\Later"), ERROR_SUCCESS);
    EXPECT_EQ(collectRegistryChanges().size(), 1u) << "deleting the key deletes the value";
    ASSERT_EQ(setInChild(HKEY_CURRENT_USER, u"Software\\Later\\Key", u"Value", 12), 0);
    notes = collectRegistryChanges();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].wParam, 12u);
    RegistryCloseNotification(handle);
}

// Registering through an open key handle watches that key's path.
TEST_F(RegNotify, RegistrationThroughAnOpenKey) {
    TestKey state(u"System\\State", HKEY_LOCAL_MACHINE);
    HREGNOTIFY handle = nullptr;
    ASSERT_EQ(RegistryNotifyWindow(state, u"Phone", u"Active Call Count", kWindow, 0x822B, 0,
                                   nullptr, &handle),
              S_OK);
    ASSERT_EQ(setInChild(HKEY_LOCAL_MACHINE, u"System\\State\\Phone", u"Active Call Count", 1), 0);
    auto notes = collectRegistryChanges();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].msg, 0x822Bu);
    EXPECT_EQ(notes[0].wParam, 1u);
    RegistryCloseNotification(handle);
}

// A condition filters on the new value: for a DWORD, the mask is applied before comparing.
TEST_F(RegNotify, ConditionsFilterOnTheNewValue) {
    TestKey key(u"System\\State\\Test", HKEY_LOCAL_MACHINE);
    ASSERT_EQ(setDword(key, u"n", 0), ERROR_SUCCESS);
    NOTIFICATIONCONDITION equalsThree{};
    equalsThree.ctComparisonType = REG_CT_EQUAL;
    equalsThree.dwMask = 0xFFFFFFFF;
    equalsThree.TargetValue.dw = 3;
    HREGNOTIFY equal = nullptr, bit = nullptr, text = nullptr;
    ASSERT_EQ(RegistryNotifyWindow(key, nullptr, u"n", kWindow, 100, 0, &equalsThree, &equal),
              S_OK);
    NOTIFICATIONCONDITION bitTwo{};
    bitTwo.ctComparisonType = REG_CT_ANYCHANGE;
    bitTwo.dwMask = 0x2;
    ASSERT_EQ(RegistryNotifyWindow(key, nullptr, u"n", kWindow, 200, 0, &bitTwo, &bit), S_OK);

    ASSERT_EQ(setDword(key, u"n", 1), ERROR_SUCCESS); // not 3, bit 1 unchanged
    EXPECT_TRUE(collectRegistryChanges().empty());
    ASSERT_EQ(setDword(key, u"n", 3), ERROR_SUCCESS); // 3, and bit 1 set
    auto notes = collectRegistryChanges();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].msg + notes[1].msg, 300u);
    ASSERT_EQ(setDword(key, u"n", 7), ERROR_SUCCESS); // not 3, bit 1 still set
    EXPECT_TRUE(collectRegistryChanges().empty());

    NOTIFICATIONCONDITION startsWith{};
    startsWith.ctComparisonType = REG_CT_STARTS_WITH;
    startsWith.dwMask = 0;
    std::u16string target = u"\\windows\\"; // compared without regard to case
    startsWith.TargetValue.psz = target.c_str();
    ASSERT_EQ(RegistryNotifyWindow(key, nullptr, u"s", kWindow, 300, 0, &startsWith, &text), S_OK);
    target = u"changed after registering: the condition keeps its own copy";
    ASSERT_EQ(setString(key, u"s", u"\\My Documents\\a.wav"), ERROR_SUCCESS);
    EXPECT_TRUE(collectRegistryChanges().empty());
    ASSERT_EQ(setString(key, u"s", u"\\Windows\\b.wav"), ERROR_SUCCESS);
    notes = collectRegistryChanges();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].msg, 300u);
    EXPECT_EQ(notes[0].wParam, 0u) << "a string has no DWORD to pass";
    for (HREGNOTIFY h : {equal, bit, text})
        EXPECT_EQ(RegistryCloseNotification(h), S_OK);
}

TEST_F(RegNotify, ClosedRegistrationIsSilentAndClosesOnce) {
    HREGNOTIFY handle = nullptr;
    ASSERT_EQ(RegistryNotifyWindow(HKEY_LOCAL_MACHINE, u"System\\State\\Hardware", u"Cradled",
                                   kWindow, 1, 0, nullptr, &handle),
              S_OK);
    EXPECT_EQ(RegistryCloseNotification(handle), S_OK);
    ASSERT_EQ(setInChild(HKEY_LOCAL_MACHINE, u"System\\State\\Hardware", u"Cradled", 1), 0);
    EXPECT_TRUE(collectRegistryChanges().empty());
    EXPECT_EQ(RegistryCloseNotification(handle), E_INVALIDARG);
    EXPECT_EQ(RegistryCloseNotification(nullptr), E_INVALIDARG);
}

// Another process's registration is not this process's to close, nor to collect.
TEST_F(RegNotify, RegistrationsBelongToTheirProcess) {
    HREGNOTIFY mine = nullptr;
    ASSERT_EQ(RegistryNotifyWindow(HKEY_LOCAL_MACHINE, u"System\\State\\Shell", u"Notify", kWindow,
                                   1, 0, nullptr, &mine),
              S_OK);
    int child = runInChild([mine] {
        if (RegistryCloseNotification(mine) != E_INVALIDARG) return 1;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"System\\State\\Shell", 0, 0, &key)) return 2;
        setDword(key, u"Notify", 4);
        return collectRegistryChanges().empty() ? 0 : 3;
    });
    EXPECT_EQ(child, 0);
    EXPECT_EQ(collectRegistryChanges().size(), 1u);
    EXPECT_EQ(RegistryCloseNotification(mine), S_OK);
}

// A process that ends without closing leaves registrations behind; they go when found.
TEST_F(RegNotify, RegistrationsOfEndedProcessesAreRemoved) {
    int child = runInChild([] {
        HREGNOTIFY a = nullptr, b = nullptr;
        if (RegistryNotifyWindow(HKEY_LOCAL_MACHINE, u"System\\State\\Shell", u"Notify", kWindow, 1,
                                 0, nullptr, &a) != S_OK)
            return 1;
        if (RegistryNotifyWindow(HKEY_LOCAL_MACHINE, u"System\\State\\Phone", u"Active Call Count",
                                 kWindow, 1, 0, nullptr, &b) != S_OK)
            return 2;
        return ce::reg::cleanDeadRegistrations() == 0 ? 0 : 3; // its own are alive
    });
    ASSERT_EQ(child, 0);
    EXPECT_EQ(ce::reg::cleanDeadRegistrations(), 1u) << "one ended process";
    EXPECT_EQ(ce::reg::cleanDeadRegistrations(), 0u);
}

std::atomic<int> callbackCalls{0};
std::vector<BYTE> callbackData;
bool callbackGotNull = false;
DWORD callbackUser = 0;

void onChange(HREGNOTIFY, DWORD user, const PBYTE data, const UINT size) {
    ++callbackCalls;
    callbackUser = user;
    callbackGotNull = data == nullptr;
    callbackData.assign(data, data + size);
}

// RegistryNotifyCallback hands the callback the new data, or null and 0 for a deleted value.
TEST_F(RegNotify, CallbackReceivesTheNewData) {
    callbackCalls = 0;
    HREGNOTIFY handle = nullptr;
    ASSERT_EQ(RegistryNotifyCallback(HKEY_CURRENT_USER, u"Software\\Cb", u"v", onChange, 0xCAFE,
                                     nullptr, &handle),
              S_OK);
    TestKey key(u"Software\\Cb");
    ASSERT_EQ(setString(key, u"v", u"hi"), ERROR_SUCCESS);
    EXPECT_TRUE(collectRegistryChanges().empty()) << "callbacks are not window messages";
    EXPECT_EQ(callbackCalls.load(), 1);
    EXPECT_EQ(callbackUser, 0xCAFEu);
    EXPECT_EQ(callbackData, (std::vector<BYTE>{'h', 0, 'i', 0, 0, 0}));
    ASSERT_EQ(RegDeleteValueW(key, u"v"), ERROR_SUCCESS);
    collectRegistryChanges();
    EXPECT_EQ(callbackCalls.load(), 2);
    EXPECT_TRUE(callbackGotNull);
    EXPECT_TRUE(callbackData.empty());
    EXPECT_EQ(RegistryCloseNotification(handle), S_OK);
    ASSERT_EQ(setDword(key, u"v", 1), ERROR_SUCCESS);
    collectRegistryChanges();
    EXPECT_EQ(callbackCalls.load(), 2);
}

TEST_F(RegNotify, SinkGetsWindowNotifications) {
    std::vector<PendingNotification> posted;
    ce::reg::setRegistryChangeSink([&](const PendingNotification& n) { posted.push_back(n); });
    HREGNOTIFY handle = nullptr;
    ASSERT_EQ(RegistryNotifyWindow(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Shell\\LockScreen",
                                   u"Active", kWindow, 9, 0, nullptr, &handle),
              S_OK);
    ASSERT_EQ(
        setInChild(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Shell\\LockScreen", u"Active", 1), 0);
    EXPECT_EQ(ce::reg::deliverRegistryChanges(), 1u);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].wParam, 1u);
    ce::reg::setRegistryChangeSink(nullptr);
    RegistryCloseNotification(handle);
}

// Every registry write wakes the device's waiters, so a message loop can collect at once.
TEST_F(RegNotify, WritesWakeTheDevice) {
    TestKey key(u"Software\\Wake");
    uint32_t before = ce::deviceWakeWord()->load();
    ASSERT_EQ(setDword(key, u"v", 1), ERROR_SUCCESS);
    EXPECT_NE(ce::deviceWakeWord()->load(), before);
    before = ce::deviceWakeWord()->load();
    DWORD value = 0, size = sizeof value;
    ASSERT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(ce::deviceWakeWord()->load(), before) << "a read wakes nobody";
}

TEST_F(RegNotify, BadArgumentsAreRefused) {
    HREGNOTIFY handle = ULongToHandle(kPoisonDword);
    EXPECT_EQ(
        RegistryNotifyWindow(HKEY_LOCAL_MACHINE, u"System", u"x", kWindow, 1, 0, nullptr, nullptr),
        E_INVALIDARG);
    EXPECT_EQ(
        RegistryNotifyWindow(HKEY_LOCAL_MACHINE, u"System", u"x", nullptr, 1, 0, nullptr, &handle),
        E_INVALIDARG);
    EXPECT_EQ(RegistryNotifyWindow(static_cast<HKEY>(ULongToHandle(0x4321)), u"System", u"x",
                                   kWindow, 1, 0, nullptr, &handle),
              E_INVALIDARG);
    EXPECT_EQ(
        RegistryNotifyCallback(HKEY_LOCAL_MACHINE, u"System", u"x", nullptr, 0, nullptr, &handle),
        E_INVALIDARG);
    NOTIFICATIONCONDITION bad{};
    int outOfRange = 42;
    static_assert(sizeof(bad.ctComparisonType) == sizeof outOfRange);
    memcpy(&bad.ctComparisonType, &outOfRange, sizeof outOfRange);
    EXPECT_EQ(
        RegistryNotifyWindow(HKEY_LOCAL_MACHINE, u"System", u"x", kWindow, 1, 0, &bad, &handle),
        E_INVALIDARG);
    EXPECT_EQ(HandleToULong(handle), kPoisonDword);
}

} // namespace
