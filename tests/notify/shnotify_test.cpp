// shnotify_test.cpp: the shell's notification list (aygshell.h): what SHNotificationAdd keeps
// is found by class and id, from any process, and read back as documented: copies of the two
// texts that the caller frees, 0x491 for a NULL buffer, ERROR_INVALID_PARAMETER for a NULL
// class.
#include <windows.h>

#include <aygshell.h>

#include "testdevice.h"

namespace {

const CLSID kClass = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};

class ShellNotificationTest : public cetest::DeviceTest {};

TEST_F(ShellNotificationTest, AddedIsFoundByClassAndIdInAnotherProcess) {
    SHNOTIFICATIONDATA d{};
    d.cbStruct = sizeof d;
    d.dwID = 7;
    d.npPriority = SHNP_INFORM;
    d.csDuration = 15;
    d.grfFlags = SHNF_CRITICAL;
    d.clsid = kClass;
    d.pszTitle = u"Title";
    d.pszHTML = u"<b>Body</b>";
    d.lParam = 0x55;
    ASSERT_EQ(ERROR_SUCCESS, SHNotificationAdd(&d));
    int rc = cetest::runInChild([] {
        SHNOTIFICATIONDATA r;
        memset(&r, 0xEE, sizeof r);
        if (SHNotificationGetData(&kClass, 7, &r) != ERROR_SUCCESS) return 1;
        bool ok = r.cbStruct == sizeof r && r.dwID == 7 && r.npPriority == SHNP_INFORM &&
                  r.csDuration == 15 && r.grfFlags == SHNF_CRITICAL && r.lParam == 0x55 &&
                  std::u16string(r.pszTitle) == u"Title" &&
                  std::u16string(r.pszHTML) == u"<b>Body</b>" && r.pszTodaySK == nullptr &&
                  r.hicon == nullptr && memcmp(&r.clsid, &kClass, sizeof kClass) == 0;
        LocalFree(const_cast<WCHAR*>(r.pszTitle));
        LocalFree(const_cast<WCHAR*>(r.pszHTML));
        return ok ? 0 : 2;
    });
    EXPECT_EQ(0, rc);
    // Another id of the same class is another notification.
    SHNOTIFICATIONDATA r{};
    EXPECT_EQ(LRESULT(ERROR_NOT_FOUND), SHNotificationGetData(&kClass, 8, &r));
    EXPECT_EQ(nullptr, r.pszTitle);
}

TEST_F(ShellNotificationTest, RemoveAndBadArguments) {
    SHNOTIFICATIONDATA d{};
    d.cbStruct = sizeof d;
    d.dwID = 1;
    d.clsid = kClass;
    ASSERT_EQ(ERROR_SUCCESS, SHNotificationAdd(&d));
    EXPECT_EQ(LRESULT(0x491), SHNotificationGetData(&kClass, 1, nullptr));
    EXPECT_EQ(LRESULT(0x491), SHNotificationGetData(&kClass, 2, nullptr));
    SHNOTIFICATIONDATA r{};
    EXPECT_EQ(LRESULT(ERROR_INVALID_PARAMETER), SHNotificationGetData(nullptr, 1, &r));
    EXPECT_EQ(ERROR_SUCCESS, SHNotificationRemove(&kClass, 1));
    EXPECT_EQ(LRESULT(ERROR_NOT_FOUND), SHNotificationRemove(&kClass, 1));
    EXPECT_EQ(LRESULT(ERROR_NOT_FOUND), SHNotificationGetData(&kClass, 1, &r));
    d.cbStruct = 12;
    EXPECT_EQ(LRESULT(ERROR_INVALID_PARAMETER), SHNotificationAdd(&d));
    EXPECT_EQ(LRESULT(ERROR_INVALID_PARAMETER), SHNotificationAdd(nullptr));
}

} // namespace
