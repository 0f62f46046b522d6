// regtest.h: small helpers shared by the registry tests: writing and reading whole values and
// listing a key's names in enumeration order.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "windows.h"

namespace regtest {

constexpr BYTE kPoison = 0xAB;
constexpr DWORD kPoisonDword = 0xdeadbeef;

// A key created for a test, closed at the end.
class TestKey {
public:
    explicit TestKey(const char16_t* path, HKEY root = HKEY_CURRENT_USER) {
        DWORD disposition = kPoisonDword;
        LONG r = RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                                 &disposition);
        EXPECT_EQ(r, ERROR_SUCCESS);
    }
    ~TestKey() {
        if (key_) RegCloseKey(key_);
    }
    TestKey(const TestKey&) = delete;
    TestKey& operator=(const TestKey&) = delete;
    operator HKEY() const { return key_; }

private:
    HKEY key_ = nullptr;
};

inline LONG setDword(HKEY key, const char16_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value);
}

inline LONG setString(HKEY key, const char16_t* name, const std::u16string& text,
                      DWORD type = REG_SZ) {
    return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)));
}

inline LONG setBytes(HKEY key, const char16_t* name, DWORD type, const std::vector<BYTE>& data) {
    return RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
}

// The whole value; false (with *error) when it cannot be read.
inline bool readValue(HKEY key, const char16_t* name, DWORD* type, std::vector<BYTE>* data,
                      LONG* error = nullptr) {
    DWORD size = 0;
    LONG r = RegQueryValueExW(key, name, nullptr, type, nullptr, &size);
    if (r == ERROR_SUCCESS) {
        data->assign(size, 0);
        r = RegQueryValueExW(key, name, nullptr, type, data->data(), &size);
        data->resize(size);
    }
    if (error) *error = r;
    return r == ERROR_SUCCESS;
}

inline DWORD readDword(HKEY key, const char16_t* name) {
    DWORD value = kPoisonDword, size = sizeof value, type = 0;
    EXPECT_EQ(RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    return value;
}

// The value names of a key, in enumeration order (UTF-8 for readable failures).
inline std::vector<std::string> valueNames(HKEY key) {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        WCHAR name[300];
        DWORD chars = 300;
        if (RegEnumValueW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        std::string narrow;
        for (DWORD k = 0; k < chars; ++k)
            narrow.push_back(static_cast<char>(name[k]));
        names.push_back(narrow);
    }
    return names;
}

inline std::vector<std::string> subkeyNames(HKEY key) {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        WCHAR name[300];
        DWORD chars = 300;
        if (RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        std::string narrow;
        for (DWORD k = 0; k < chars; ++k)
            narrow.push_back(static_cast<char>(name[k]));
        names.push_back(narrow);
    }
    return names;
}

} // namespace regtest
