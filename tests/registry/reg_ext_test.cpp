// reg_ext_test.cpp: RegistryGetDWORD, RegistryGetString, RegistrySetDWORD, RegistrySetString:
// their types, buffers and failures, which leave everything unchanged.
#include "regext.h"
#include "regtest.h"
#include "testdevice.h"

namespace {

using cetest::DeviceTest;
using namespace regtest;

class RegHelpers : public DeviceTest {};

TEST_F(RegHelpers, GetDwordReadsOnlyDwords) {
    TestKey key(u"Software\\Helpers");
    ASSERT_EQ(setDword(key, u"n", 0x80000001), ERROR_SUCCESS);
    ASSERT_EQ(setString(key, u"s", u"7"), ERROR_SUCCESS);
    DWORD value = kPoisonDword;
    EXPECT_EQ(RegistryGetDWORD(HKEY_CURRENT_USER, u"Software\\Helpers", u"n", &value), S_OK);
    EXPECT_EQ(value, 0x80000001u);
    value = kPoisonDword;
    EXPECT_EQ(RegistryGetDWORD(key, nullptr, u"N", &value), S_OK) << "through the open key";
    EXPECT_EQ(value, 0x80000001u);
    value = kPoisonDword;
    EXPECT_EQ(RegistryGetDWORD(key, nullptr, u"s", &value), E_DATATYPE_MISMATCH);
    EXPECT_EQ(RegistryGetDWORD(key, nullptr, u"missing", &value),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegistryGetDWORD(HKEY_CURRENT_USER, u"Software\\Nowhere", u"n", &value),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(value, kPoisonDword);
    EXPECT_EQ(RegistryGetDWORD(key, nullptr, u"n", nullptr), E_INVALIDARG);
    EXPECT_EQ(RegistryGetDWORD(static_cast<HKEY>(ULongToHandle(0x99)), nullptr, u"n", &value),
              E_INVALIDARG);
}

TEST_F(RegHelpers, GetStringTerminatesAndChecksTheBuffer) {
    TestKey key(u"Software\\Helpers");
    ASSERT_EQ(setString(key, u"s", u"Alarm1.wav"), ERROR_SUCCESS);
    WCHAR buffer[16];
    for (auto& c : buffer)
        c = 0x7777;
    EXPECT_EQ(RegistryGetString(key, nullptr, u"s", buffer, 10), E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(buffer[0], 0x7777) << "a failed call leaves the buffer alone";
    EXPECT_EQ(RegistryGetString(key, nullptr, u"s", buffer, 11), S_OK);
    EXPECT_EQ(std::u16string(buffer), u"Alarm1.wav");
    EXPECT_EQ(buffer[11], 0x7777);
    // Stored without its terminator: the helper still hands back a terminated string.
    ASSERT_EQ(RegSetValueExW(key, u"raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(u"abc"), 6),
              ERROR_SUCCESS);
    for (auto& c : buffer)
        c = 0x7777;
    EXPECT_EQ(RegistryGetString(key, nullptr, u"raw", buffer, 16), S_OK);
    EXPECT_EQ(std::u16string(buffer), u"abc");
    ASSERT_EQ(setDword(key, u"n", 1), ERROR_SUCCESS);
    EXPECT_EQ(RegistryGetString(key, nullptr, u"n", buffer, 16), E_DATATYPE_MISMATCH);
}

// The setters write into existing keys only and do not replace a value of another type.
TEST_F(RegHelpers, SettersKeepTypesAndNeedTheKey) {
    TestKey key(u"Software\\Helpers");
    EXPECT_EQ(RegistrySetDWORD(HKEY_CURRENT_USER, u"Software\\Helpers", u"n", 12), S_OK);
    EXPECT_EQ(readDword(key, u"n"), 12u);
    EXPECT_EQ(RegistrySetString(key, nullptr, u"s", u"text"), S_OK);
    WCHAR buffer[8];
    EXPECT_EQ(RegistryGetString(key, nullptr, u"s", buffer, 8), S_OK);
    EXPECT_EQ(std::u16string(buffer), u"text");
    EXPECT_EQ(RegistrySetDWORD(key, nullptr, u"s", 1), E_DATATYPE_MISMATCH);
    EXPECT_EQ(RegistrySetString(key, nullptr, u"n", u"x"), E_DATATYPE_MISMATCH);
    EXPECT_EQ(readDword(key, u"n"), 12u);
    EXPECT_EQ(RegistrySetDWORD(HKEY_CURRENT_USER, u"Software\\NoSuchKey", u"n", 1),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    HKEY absent = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\NoSuchKey", 0, 0, &absent),
              ERROR_FILE_NOT_FOUND);
}

} // namespace
