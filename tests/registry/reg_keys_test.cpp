// reg_keys_test.cpp: creating, opening, naming and deleting keys; key handles.
#include "regtest.h"
#include "testdevice.h"

namespace {

using cetest::DeviceTest;
using namespace regtest;

class RegKeys : public DeviceTest {};

TEST_F(RegKeys, CreateReportsNewOrExistingAndMakesTheWholePath) {
    HKEY key = nullptr;
    DWORD disposition = kPoisonDword;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Brenvox\\Zolvane\\Deep", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(key);
    HKEY middle = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Brenvox", 0, KEY_READ, &middle),
              ERROR_SUCCESS);
    RegCloseKey(middle);
    disposition = kPoisonDword;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Brenvox\\Zolvane\\Deep", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    RegCloseKey(key);
    // Relative to an open key, and with a trailing backslash.
    TestKey parent(u"Software\\Brenvox");
    ASSERT_EQ(RegCreateKeyExW(parent, u"Jotwell\\", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(key);
    EXPECT_EQ(subkeyNames(parent), (std::vector<std::string>{"Zolvane", "Jotwell"}));
}

// Key and value names compare without regard to case and keep the case they were created with.
TEST_F(RegKeys, NamesIgnoreCaseAndKeepTheirCase) {
    {
        TestKey key(u"Software\\Brenvox\\Zolvane");
        ASSERT_EQ(setDword(key, u"skinHeight", 80), ERROR_SUCCESS);
    }
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\brenvox\\ZOLVANE", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    EXPECT_EQ(readDword(key, u"SKINHEIGHT"), 80u);
    // Rewriting under another spelling updates the one value and keeps its first name.
    ASSERT_EQ(setDword(key, u"SkinHeight", 96), ERROR_SUCCESS);
    EXPECT_EQ(valueNames(key), (std::vector<std::string>{"skinHeight"}));
    EXPECT_EQ(readDword(key, u"skinheight"), 96u);
    EXPECT_EQ(RegDeleteValueW(key, u"SKINheight"), ERROR_SUCCESS);
    EXPECT_TRUE(valueNames(key).empty());
    RegCloseKey(key);
    TestKey brenvox(u"software\\BRENVOX");
    EXPECT_EQ(subkeyNames(brenvox), (std::vector<std::string>{"Zolvane"}));
}

// Beyond ASCII too: simple case folding, where final sigma meets the other two sigmas.
TEST_F(RegKeys, NonAsciiNamesIgnoreCase) {
    TestKey key(u"Software\\Grüße Ärger");
    ASSERT_EQ(setDword(key, u"Σίσυφος", 1), ERROR_SUCCESS);
    HKEY again = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\GRÜßE äRGER", 0, KEY_READ, &again),
              ERROR_SUCCESS);
    EXPECT_EQ(readDword(again, u"ΣΊΣΥΦΟΣ"), 1u);
    EXPECT_EQ(readDword(again, u"σίσυφοσ"), 1u);
    RegCloseKey(again);
}

// Today item keys are named with double quotes; class keys with braces.
TEST_F(RegKeys, NamesMayHoldQuotesAndBraces) {
    TestKey item(u"Software\\Microsoft\\Today\\Items\\\"Zolvane\"", HKEY_LOCAL_MACHINE);
    ASSERT_EQ(setDword(item, u"Enabled", 0), ERROR_SUCCESS);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Today\\Items\\\"zolvane\"",
                            0, KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(readDword(key, u"Enabled"), 0u);
    RegCloseKey(key);
    TestKey guid(u"ControlPanel\\Notifications\\{ABCDEF01-2345-6789-ABCD-EF0123456789}");
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER,
                            u"controlpanel\\notifications\\{abcdef01-2345-6789-abcd-ef0123456789}",
                            0, KEY_READ, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(RegKeys, OpeningAMissingOrMalformedPathFails) {
    HKEY key = static_cast<HKEY>(ULongToHandle(kPoisonDword));
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Brenvox\\Tellarim", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(HandleToULong(key), kPoisonDword) << "a failed open leaves the handle alone";
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"\\Software", 0, KEY_READ, &key),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\\\Gap", 0, nullptr, 0, 0, nullptr,
                              &key, nullptr),
              ERROR_BAD_PATHNAME);
    std::u16string tooLong = u"Software\\" + std::u16string(256, u'k');
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, tooLong.c_str(), 0, nullptr, 0, 0, nullptr, &key,
                              nullptr),
              ERROR_INVALID_PARAMETER);
    std::u16string longest = u"Software\\" + std::u16string(255, u'k');
    HKEY ok = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, longest.c_str(), 0, nullptr, 0, 0, nullptr, &ok,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(ok);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software", 0, KEY_READ, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(HandleToULong(key), kPoisonDword);
}

// The roots work in their 32-bit and their sign-extended form, and closing one is harmless.
TEST_F(RegKeys, PredefinedRootsInBothForms) {
    HKEY signExtended =
        reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<int32_t>(0x80000002)));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(signExtended, u"System\\State\\Shell", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"System\\State\\Shell", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
    // HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER are separate trees.
    TestKey machine(u"Software\\OnlyHere", HKEY_LOCAL_MACHINE);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\OnlyHere", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
}

// Windows CE deletes a key with everything below it. A handle still open on it fails from then
// on, even after a key of the same name is created again.
TEST_F(RegKeys, DeleteRemovesTheSubtreeAndInvalidatesOpenHandles) {
    HKEY deep = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Doomed\\A\\B", 0, nullptr, 0, 0,
                              nullptr, &deep, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(setDword(deep, u"v", 1), ERROR_SUCCESS);
    {
        TestKey doomed(u"Software\\Doomed");
        ASSERT_EQ(setDword(doomed, u"top", 1), ERROR_SUCCESS);
    }
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"software\\DOOMED"), ERROR_SUCCESS);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Doomed\\A", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Doomed", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);

    TestKey again(u"Software\\Doomed\\A\\B");
    ASSERT_EQ(setDword(again, u"v", 2), ERROR_SUCCESS);
    DWORD value = kPoisonDword, size = sizeof value;
    EXPECT_EQ(
        RegQueryValueExW(deep, u"v", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
        ERROR_KEY_DELETED);
    EXPECT_EQ(value, kPoisonDword);
    EXPECT_EQ(setDword(deep, u"v", 3), ERROR_KEY_DELETED);
    WCHAR name[16];
    DWORD chars = 16;
    EXPECT_EQ(RegEnumValueW(deep, 0, name, &chars, nullptr, nullptr, nullptr, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegCreateKeyExW(deep, u"C", 0, nullptr, 0, 0, nullptr, &key, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(readDword(again, u"v"), 2u) << "the new key is not touched by the old handle";
    EXPECT_EQ(RegCloseKey(deep), ERROR_SUCCESS);
}

TEST_F(RegKeys, DeleteRefusesRootsAndMissingKeys) {
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\NotThere"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u""), ERROR_ACCESS_DENIED);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"System\\State", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// A subkey handle of a closed key stays valid: handles are independent.
TEST_F(RegKeys, HandlesAreIndependent) {
    HKEY parent = nullptr, child = nullptr, same = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Parent", 0, nullptr, 0, 0, nullptr,
                              &parent, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExW(parent, u"Child", 0, nullptr, 0, 0, nullptr, &child, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExW(parent, nullptr, 0, KEY_READ, &same), ERROR_SUCCESS);
    EXPECT_NE(same, parent);
    ASSERT_EQ(RegCloseKey(parent), ERROR_SUCCESS);
    EXPECT_EQ(setDword(child, u"v", 5), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(same), (std::vector<std::string>{"Child"}));
    RegCloseKey(child);
    RegCloseKey(same);
}

// A key handle belongs to the device it was opened on.
TEST(RegHandles, HandleOfAnotherDeviceIsInvalid) {
    HKEY key = nullptr;
    {
        cetest::TempDevice first;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\First", 0, nullptr, 0, 0, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
    }
    cetest::TempDevice second;
    EXPECT_EQ(setDword(key, u"v", 1), ERROR_INVALID_HANDLE);
    HKEY other = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\First", 0, KEY_READ, &other),
              ERROR_FILE_NOT_FOUND);
}

} // namespace
