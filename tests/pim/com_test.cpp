// com_test.cpp: the COM library of the device: entering COM, CoCreateInstance's class table
// and failures, reference counting and QueryInterface, and automation strings (BSTR).
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "pimtest.h"

namespace {

// Documented: CoCreateInstance fails with CO_E_NOTINITIALIZED on a thread that has not called
// CoInitializeEx; a second CoInitializeEx with the same model answers S_FALSE, with the other
// model RPC_E_CHANGED_MODE; a reserved argument fails.
TEST(Com, InitializationIsPerThreadAndCounted) {
    std::thread([] {
        void* out = reinterpret_cast<void*>(0xdeadbeef);
        EXPECT_EQ(CO_E_NOTINITIALIZED,
                  CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IPOutlookApp, &out));
        EXPECT_EQ(nullptr, out);
        EXPECT_EQ(E_INVALIDARG, CoInitializeEx(&out, COINIT_MULTITHREADED));
        EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        EXPECT_EQ(RPC_E_CHANGED_MODE, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        CoUninitialize();
        CoUninitialize();
        EXPECT_EQ(CO_E_NOTINITIALIZED,
                  CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IPOutlookApp, &out));
    }).join();
}

// Unknown classes, aggregation and out-of-process contexts fail as documented; the
// application object answers its own interface, IUnknown and IDispatch with one identity of
// counting, and nothing else.
TEST(Com, CreateInstanceAndQueryInterface) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    const CLSID unknown = {0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};
    void* out = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              CoCreateInstance(unknown, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(CLSID_Application, nullptr, CLSCTX_LOCAL_SERVER,
                                                    IID_IUnknown, &out));
    EXPECT_EQ(E_NOINTERFACE,
              CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IItem, &out));
    EXPECT_EQ(nullptr, out);

    IPOutlookApp* app = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IPOutlookApp, reinterpret_cast<void**>(&app)));
    IUnknown* unk = nullptr;
    EXPECT_EQ(S_OK, app->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unk)));
    EXPECT_EQ(static_cast<IUnknown*>(app), unk);
    EXPECT_EQ(3u, app->AddRef()); // ours, unk's and this one
    EXPECT_EQ(2u, app->Release());
    unk->Release();
    void* none = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(E_NOINTERFACE, app->QueryInterface(IID_ITask, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(E_POINTER, app->QueryInterface(IID_IUnknown, nullptr));
    EXPECT_EQ(0u, app->Release());
    CoUninitialize();
}

// Documented BSTR layout: the length in bytes sits before the text, embedded zeros count,
// the text is terminated, and NULL is the empty string for every length function.
TEST(Com, BstrKeepsLengthAndZeros) {
    const char16_t withZero[] = {u'a', 0, u'b'};
    BSTR b = SysAllocStringLen(withZero, 3);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(3u, SysStringLen(b));
    EXPECT_EQ(6u, SysStringByteLen(b));
    uint32_t prefix = 0;
    memcpy(&prefix, reinterpret_cast<const uint8_t*>(b) - 4, 4);
    EXPECT_EQ(6u, prefix);
    EXPECT_EQ(0, b[3]);
    EXPECT_EQ(u'b', b[2]);
    EXPECT_EQ(TRUE, SysReAllocString(&b, u"longer text"));
    EXPECT_EQ(11u, SysStringLen(b));
    EXPECT_EQ(std::u16string(u"longer text"), std::u16string(b));
    SysFreeString(b);
    EXPECT_EQ(nullptr, SysAllocString(nullptr));
    EXPECT_EQ(0u, SysStringLen(nullptr));
    SysFreeString(nullptr);
    BSTR zeros = SysAllocStringLen(nullptr, 4);
    ASSERT_NE(nullptr, zeros);
    EXPECT_EQ(4u, SysStringLen(zeros));
    EXPECT_EQ(0, zeros[0]);
    SysFreeString(zeros);
}

} // namespace
