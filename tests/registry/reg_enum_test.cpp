// reg_enum_test.cpp: enumeration of values and subkeys (order, ends, buffer sizes) and
// RegQueryInfoKeyW.
#include <cstring>

#include "regtest.h"
#include "testdevice.h"

namespace {

using cetest::DeviceTest;
using namespace regtest;

class RegEnum : public DeviceTest {};

// Values enumerate in the order they were first created; rewriting keeps a value's place, and a
// value deleted and written again goes to the end.
TEST_F(RegEnum, ValuesComeInFirstCreationOrder) {
    TestKey key(u"Software\\Order");
    for (const char16_t* name : {u"zeta", u"Alpha", u"mid", u"beta"})
        ASSERT_EQ(setDword(key, name, 1), ERROR_SUCCESS);
    ASSERT_EQ(setString(key, u"ALPHA", u"rewritten"), ERROR_SUCCESS);
    ASSERT_EQ(setDword(key, u"zeta", 2), ERROR_SUCCESS);
    EXPECT_EQ(valueNames(key), (std::vector<std::string>{"zeta", "Alpha", "mid", "beta"}));
    ASSERT_EQ(RegDeleteValueW(key, u"Alpha"), ERROR_SUCCESS);
    ASSERT_EQ(setDword(key, u"alpha", 3), ERROR_SUCCESS);
    EXPECT_EQ(valueNames(key), (std::vector<std::string>{"zeta", "mid", "beta", "alpha"}));
    // The order holds for values of other keys written in between, too.
    TestKey other(u"Software\\Other");
    ASSERT_EQ(setDword(other, u"x", 1), ERROR_SUCCESS);
    ASSERT_EQ(setDword(key, u"last", 1), ERROR_SUCCESS);
    EXPECT_EQ(valueNames(key).back(), "last");
}

TEST_F(RegEnum, ValueEnumerationReturnsNameTypeAndData) {
    TestKey key(u"Software\\Order");
    ASSERT_EQ(setString(key, u"skinName", u"Blue"), ERROR_SUCCESS);
    WCHAR name[32];
    for (auto& c : name)
        c = 0x7777;
    DWORD chars = 32, type = kPoisonDword, size = 64;
    BYTE data[64];
    memset(data, kPoison, sizeof data);
    ASSERT_EQ(RegEnumValueW(key, 0, name, &chars, nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(chars, 8u) << "the count leaves out the terminator";
    EXPECT_EQ(std::u16string(name), u"skinName");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(memcmp(data, u"Blue", 10), 0);
    EXPECT_EQ(data[10], kPoison);
}

// An index past the end, 0xFFFFFFFF included, is ERROR_NO_MORE_ITEMS and touches nothing.
TEST_F(RegEnum, IndexPastTheEndFailsCleanly) {
    TestKey key(u"Software\\Order");
    ASSERT_EQ(setDword(key, u"only", 1), ERROR_SUCCESS);
    TestKey sub(u"Software\\Order\\Sub");
    for (DWORD index : {1u, 2u, 1000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        WCHAR name[16] = {0x7777};
        DWORD chars = 16, type = kPoisonDword;
        EXPECT_EQ(RegEnumValueW(key, index, name, &chars, nullptr, &type, nullptr, nullptr),
                  ERROR_NO_MORE_ITEMS)
            << index;
        EXPECT_EQ(chars, 16u);
        EXPECT_EQ(type, kPoisonDword);
        EXPECT_EQ(name[0], 0x7777);
        chars = 16;
        EXPECT_EQ(RegEnumKeyExW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr),
                  ERROR_NO_MORE_ITEMS)
            << index;
        EXPECT_EQ(name[0], 0x7777);
    }
    // A key without subkeys, counted the way a caller counts: from index -1 until a call fails.
    TestKey empty(u"Software\\Empty");
    int count = 0;
    for (DWORD index = static_cast<DWORD>(-1);; ++index) {
        WCHAR name[16];
        DWORD chars = 16;
        if (RegEnumKeyExW(empty, index, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        ASSERT_LT(++count, 10);
    }
    EXPECT_EQ(count, 0);
}

// A name or data buffer too small: ERROR_MORE_DATA, nothing copied, the data size reported.
TEST_F(RegEnum, SmallBuffersAreReportedNotFilled) {
    TestKey key(u"Software\\Order");
    ASSERT_EQ(setBytes(key, u"AlarmNotFlags", REG_BINARY, {0x0D, 0, 0, 0}), ERROR_SUCCESS);
    WCHAR name[13];
    for (auto& c : name)
        c = 0x7777;
    DWORD chars = 13, type = kPoisonDword, size = kPoisonDword; // 13 chars + terminator needed
    EXPECT_EQ(RegEnumValueW(key, 0, name, &chars, nullptr, &type, nullptr, &size), ERROR_MORE_DATA);
    EXPECT_EQ(name[0], 0x7777);
    EXPECT_EQ(chars, 13u);
    EXPECT_EQ(size, 4u);

    BYTE data[3];
    memset(data, kPoison, sizeof data);
    WCHAR wide[32];
    chars = 32;
    size = sizeof data;
    EXPECT_EQ(RegEnumValueW(key, 0, wide, &chars, nullptr, &type, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(data[0], kPoison);

    TestKey sub(u"Software\\Order\\LongSubkeyName");
    WCHAR keyName[14];
    for (auto& c : keyName)
        c = 0x7777;
    chars = 14; // 14 chars + terminator needed
    EXPECT_EQ(RegEnumKeyExW(key, 0, keyName, &chars, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    EXPECT_EQ(keyName[0], 0x7777);
    EXPECT_EQ(chars, 14u);
    WCHAR fits[15];
    chars = 15;
    EXPECT_EQ(RegEnumKeyExW(key, 0, fits, &chars, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(chars, 14u);
    EXPECT_EQ(std::u16string(fits), u"LongSubkeyName");
}

TEST_F(RegEnum, SubkeysComeInCreationOrder) {
    TestKey key(u"System\\State\\Shell\\Reminders");
    for (const char16_t* name : {u"3", u"1", u"2"}) {
        HKEY sub = nullptr;
        ASSERT_EQ(RegCreateKeyExW(key, name, 0, nullptr, 0, 0, nullptr, &sub, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(sub);
    }
    EXPECT_EQ(subkeyNames(key), (std::vector<std::string>{"3", "1", "2"}));
    ASSERT_EQ(RegDeleteKeyW(key, u"1"), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(key), (std::vector<std::string>{"3", "2"}));
}

TEST_F(RegEnum, QueryInfoCountsAndMeasures) {
    TestKey key(u"Software\\Info");
    ASSERT_EQ(setDword(key, u"a", 1), ERROR_SUCCESS);
    ASSERT_EQ(setString(key, u"longerName", u"twelve chars"), ERROR_SUCCESS);
    TestKey sub1(u"Software\\Info\\S");
    TestKey sub2(u"Software\\Info\\Subkey");
    DWORD subkeys = kPoisonDword, maxSub = kPoisonDword, values = kPoisonDword,
          maxName = kPoisonDword, maxData = kPoisonDword, maxClass = kPoisonDword,
          security = kPoisonDword;
    ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxSub, &maxClass,
                               &values, &maxName, &maxData, &security, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 2u);
    EXPECT_EQ(maxSub, 6u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(maxName, 10u);
    EXPECT_EQ(maxData, 26u);
    EXPECT_EQ(maxClass, 0u);
    TestKey empty(u"Software\\Info\\S\\Empty");
    ASSERT_EQ(RegQueryInfoKeyW(empty, nullptr, nullptr, nullptr, &subkeys, &maxSub, nullptr,
                               &values, &maxName, &maxData, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 0u);
    EXPECT_EQ(values, 0u);
    EXPECT_EQ(maxData, 0u);
}

} // namespace
