// pimtest.h: what the PIM store's tests share: a device with a frozen clock in a zone with
// daylight saving, a logged-on application object, and small helpers for BSTRs and dates.
#pragma once

#include <string>

#include "testdevice.h"

#include "kernel/device.h"
#include "kernel/timezone.h"
#include "pimstore.h"

namespace pimtest {

// A BSTR that frees itself.
class Bstr {
public:
    explicit Bstr(const char16_t* s) : b_(SysAllocString(s)) {}
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return b_; }

private:
    BSTR b_;
};

// Reads a BSTR out-parameter into a std::u16string and frees it.
inline std::u16string take(BSTR b) {
    std::u16string s = b ? std::u16string(b, SysStringLen(b)) : std::u16string();
    SysFreeString(b);
    return s;
}

// An automation date of a local time.
inline DATE variantOf(int y, int mo, int d, int h = 0, int mi = 0) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(mo);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi);
    DATE v = 0;
    SystemTimeToVariantTime(&st, &v);
    return v;
}

// "2027-03-28 09:00" of an automation date.
inline std::string text(DATE v) {
    SYSTEMTIME st{};
    if (!VariantTimeToSystemTime(v, &st)) return "invalid";
    char buf[32];
    snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", st.wYear, st.wMonth, st.wDay, st.wHour,
             st.wMinute);
    return buf;
}

// Sets the locale of the device profile (en-US month/day/year, en-GB day/month/year, ja-JP
// year/month/day).
inline void setLocale(const std::string& tag) {
    ce::updateDeviceConf([&](ce::DeviceConf& c) { c.profile.locale = tag; });
}

// A fresh device in Europe/Berlin, frozen on 2027-03-20 08:00 local, with COM entered and a
// logged-on application.
class PimTest : public cetest::DeviceTest {
protected:
    void SetUp() override {
        device.freezeAt("2027-03-20T07:00:00Z");
        ASSERT_TRUE(ce::setDeviceZone("Europe/Berlin"));
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IPOutlookApp, reinterpret_cast<void**>(&app)));
        ASSERT_EQ(S_OK, app->Logon(0));
    }
    void TearDown() override {
        if (app) {
            app->Logoff();
            app->Release();
        }
        CoUninitialize();
    }

    IPOutlookItemCollection* items(int folderNumber) {
        IFolder* folder = nullptr;
        EXPECT_EQ(S_OK, app->GetDefaultFolder(folderNumber, &folder));
        if (!folder) return nullptr;
        IPOutlookItemCollection* c = nullptr;
        EXPECT_EQ(S_OK, folder->get_Items(&c));
        folder->Release();
        return c;
    }

    // Saves a new appointment; returns its oid.
    long addAppointment(const char16_t* subject, DATE start, DATE end, bool allDay = false,
                        const char* rrule = nullptr) {
        IDispatch* d = nullptr;
        EXPECT_EQ(S_OK, app->CreateItem(olAppointmentItem, &d));
        IAppointment* a = nullptr;
        EXPECT_EQ(S_OK, d->QueryInterface(IID_IAppointment, reinterpret_cast<void**>(&a)));
        d->Release();
        Bstr s(subject);
        a->put_Subject(s);
        EXPECT_EQ(S_OK, a->put_Start(start));
        EXPECT_EQ(S_OK, a->put_End(end));
        if (allDay) a->put_AllDayEvent(VARIANT_TRUE);
        if (rrule) weekly(a, rrule);
        EXPECT_EQ(S_OK, a->Save());
        long oid = 0;
        a->get_Oid(&oid);
        a->Release();
        return oid;
    }

    // Makes an appointment recur weekly on the weekdays of mask ("MO" style letters are not
    // needed: the pattern interface takes olMonday ... bits), count occurrences.
    static void weekly(IAppointment* a, const char* pattern) {
        IRecurrencePattern* p = nullptr;
        ASSERT_EQ(S_OK, a->GetRecurrencePattern(&p));
        int mask = 0, count = 0;
        sscanf(pattern, "%d/%d", &mask, &count);
        EXPECT_EQ(S_OK, p->put_RecurrenceType(olRecursWeekly));
        EXPECT_EQ(S_OK, p->put_DayOfWeekMask(mask));
        if (count) {
            EXPECT_EQ(S_OK, p->put_Occurrences(count));
        }
        p->Release();
    }

    IPOutlookApp* app = nullptr;
};

} // namespace pimtest
