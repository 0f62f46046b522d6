// reg_values_test.cpp: RegSetValueExW and RegQueryValueExW at the edges callers rely on:
// buffer sizes, types, terminators, the default value and bad arguments.
#include <cstring>

#include "kernel/device.h"
#include "regtest.h"
#include "testdevice.h"

namespace {

using cetest::DeviceTest;
using namespace regtest;

class RegValues : public DeviceTest {};

// A value larger than the buffer is not copied at all: ERROR_MORE_DATA, the needed size and
// the type come back, every byte of the caller's buffer keeps its old contents.
TEST_F(RegValues, TooSmallBufferIsLeftUntouchedAndGetsTheNeededSize) {
    TestKey key(u"Software\\Test");
    ASSERT_EQ(setString(key, u"skinName", u"Blue Night"), ERROR_SUCCESS);
    std::vector<BYTE> buffer(64, kPoison);
    DWORD type = kPoisonDword, size = 20; // 20 bytes < 22 needed
    SetLastError(0xdeadbeef);
    EXPECT_EQ(RegQueryValueExW(key, u"skinName", nullptr, &type, buffer.data(), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 22u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    for (size_t i = 0; i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], kPoison) << "byte " << i;

    // One byte short is still too small; the exact size fits and the guard after it stays.
    size = 21;
    EXPECT_EQ(RegQueryValueExW(key, u"skinName", nullptr, &type, buffer.data(), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 22u);
    EXPECT_EQ(buffer[0], kPoison);
    size = 22;
    EXPECT_EQ(RegQueryValueExW(key, u"skinName", nullptr, &type, buffer.data(), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 22u);
    EXPECT_EQ(memcmp(buffer.data(), u"Blue Night", 22), 0);
    EXPECT_EQ(buffer[22], kPoison);
}

// A null data pointer asks for the size (and type) only.
TEST_F(RegValues, NullDataReturnsTheSize) {
    TestKey key(u"Software\\Test");
    std::vector<BYTE> blob(151, 0x5A);
    ASSERT_EQ(setBytes(key, u"SHColor", REG_BINARY, blob), ERROR_SUCCESS);
    DWORD type = kPoisonDword, size = kPoisonDword;
    EXPECT_EQ(RegQueryValueExW(key, u"SHColor", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 151u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    // Type alone, no size.
    type = kPoisonDword;
    EXPECT_EQ(RegQueryValueExW(key, u"SHColor", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    // Read raw into a larger field (200 bytes): 151 come back, the rest stays.
    std::vector<BYTE> field(200, kPoison);
    size = 200;
    EXPECT_EQ(RegQueryValueExW(key, u"SHColor", nullptr, &type, field.data(), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 151u);
    EXPECT_EQ(field[150], 0x5A);
    EXPECT_EQ(field[151], kPoison);
}

TEST_F(RegValues, DwordIsFourBytes) {
    TestKey key(u"Software\\Test");
    ASSERT_EQ(setDword(key, u"maxAlarms", 0x8765abcd), ERROR_SUCCESS);
    DWORD type = kPoisonDword, size = 0;
    ASSERT_EQ(RegQueryValueExW(key, u"maxAlarms", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(readDword(key, u"maxAlarms"), 0x8765abcdu);
    // A WORD-sized field is too small for a DWORD.
    WORD small[2] = {0x1111, 0x2222};
    size = sizeof(WORD);
    EXPECT_EQ(
        RegQueryValueExW(key, u"maxAlarms", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
        ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(small[0], 0x1111);
    EXPECT_EQ(small[1], 0x2222);
}

// REG_SZ is stored as given: the byte length the writer passed, terminator included or not.
// A string stored without its terminator is read back without one (the caller terminates).
TEST_F(RegValues, StringKeepsTheLengthItWasWrittenWith) {
    TestKey key(u"Software\\Test");
    ASSERT_EQ(setString(key, u"nextSound", u"\\Windows\\alarm1.wav"), ERROR_SUCCESS);
    DWORD size = 0, type = 0;
    ASSERT_EQ(RegQueryValueExW(key, u"nextSound", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, (19u + 1) * 2);

    ASSERT_EQ(RegSetValueExW(key, u"raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(u"abc"), 6),
              ERROR_SUCCESS);
    WCHAR text[8];
    for (auto& c : text)
        c = 0x7777;
    size = sizeof text;
    ASSERT_EQ(RegQueryValueExW(key, u"raw", nullptr, &type, reinterpret_cast<BYTE*>(text), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(text[0], u'a');
    EXPECT_EQ(text[2], u'c');
    EXPECT_EQ(text[3], 0x7777) << "no terminator is invented";

    // An odd byte count is kept too.
    ASSERT_EQ(RegSetValueExW(key, u"odd", 0, REG_SZ, reinterpret_cast<const BYTE*>(u"xy"), 3),
              ERROR_SUCCESS);
    ASSERT_EQ(RegQueryValueExW(key, u"odd", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
}

TEST_F(RegValues, RewriteReplacesTypeAndData) {
    TestKey key(u"Software\\Test");
    ASSERT_EQ(setString(key, u"v", u"a long string value"), ERROR_SUCCESS);
    ASSERT_EQ(setDword(key, u"v", 7), ERROR_SUCCESS);
    EXPECT_EQ(readDword(key, u"v"), 7u);
    ASSERT_EQ(setBytes(key, u"v", REG_BINARY, {}), ERROR_SUCCESS);
    DWORD type = 0, size = kPoisonDword;
    BYTE one = kPoison;
    size = 1;
    EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, &type, &one, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(one, kPoison);
}

// Null and "" both name the key's default value, which a key does not have until written.
TEST_F(RegValues, DefaultValueIsNamedByNullOrEmpty) {
    TestKey key(u"Software\\Test");
    DWORD type = kPoisonDword, size = kPoisonDword;
    EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(type, kPoisonDword);
    EXPECT_EQ(size, kPoisonDword);
    ASSERT_EQ(setDword(key, nullptr, 42), ERROR_SUCCESS);
    EXPECT_EQ(readDword(key, u""), 42u);
    EXPECT_EQ(RegDeleteValueW(key, u""), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegValues, MissingValueLeavesTheOutputsAlone) {
    TestKey key(u"Software\\Test");
    DWORD type = kPoisonDword, value = kPoisonDword, size = sizeof value;
    EXPECT_EQ(
        RegQueryValueExW(key, u"nothing", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
        ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(type, kPoisonDword);
    EXPECT_EQ(value, kPoisonDword);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(RegDeleteValueW(key, u"nothing"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegValues, BadArgumentsFailCleanly) {
    TestKey key(u"Software\\Test");
    ASSERT_EQ(setDword(key, u"v", 1), ERROR_SUCCESS);
    BYTE buffer[4];
    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, buffer, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExW(key, u"v", &reserved, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, u"v", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(readDword(key, u"v"), 1u) << "a refused write changes nothing";
    // Handles that are not keys of this process.
    for (HKEY bad : {static_cast<HKEY>(nullptr), static_cast<HKEY>(ULongToHandle(0x1234)),
                     static_cast<HKEY>(ULongToHandle(0x80000009))}) {
        DWORD size = 4;
        EXPECT_EQ(RegQueryValueExW(bad, u"v", nullptr, nullptr, buffer, &size),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(setDword(bad, u"v", 2), ERROR_INVALID_HANDLE);
    }
    HKEY closed = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Test", 0, KEY_READ, &closed),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
    EXPECT_EQ(setDword(closed, u"v", 3), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(closed), ERROR_INVALID_HANDLE);
    // Oversized names and data are refused rather than stored.
    std::u16string longName(16384, u'n');
    EXPECT_EQ(setDword(key, longName.c_str(), 1), ERROR_INVALID_PARAMETER);
    std::vector<BYTE> huge(2 << 20, 1);
    EXPECT_EQ(setBytes(key, u"huge", REG_BINARY, huge), ERROR_INVALID_PARAMETER);
}

TEST_F(RegValues, LargeAndUnusualValuesRoundTrip) {
    TestKey key(u"Software\\Test");
    std::vector<BYTE> big(300 * 1024);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<BYTE>(i * 31 + 7);
    ASSERT_EQ(setBytes(key, u"big", REG_BINARY, big), ERROR_SUCCESS);
    // A name with a lone surrogate and a made-up type number survive unchanged.
    const char16_t odd[] = {u'x', 0xD800, u'y', 0};
    ASSERT_EQ(setBytes(key, odd, 0x1234, {1, 2, 3}), ERROR_SUCCESS);
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(readValue(key, u"big", &type, &data));
    EXPECT_TRUE(data == big);
    ASSERT_TRUE(readValue(key, odd, &type, &data));
    EXPECT_EQ(type, 0x1234u);
    EXPECT_EQ(data, (std::vector<BYTE>{1, 2, 3}));
}

// Without a device the registry lives in memory for the process.
TEST(RegNoDevice, WorksInMemory) {
    if (ce::haveDevice()) GTEST_SKIP() << "CEDEVICE is set";
    TestKey key(u"Software\\Memory");
    ASSERT_EQ(setDword(key, u"v", 9), ERROR_SUCCESS);
    HKEY again = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"software\\memory", 0, KEY_READ, &again),
              ERROR_SUCCESS);
    EXPECT_EQ(readDword(again, u"V"), 9u);
    RegCloseKey(again);
}

} // namespace
