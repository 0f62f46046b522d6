// commontest.cpp: the shared fixture and helpers of the common library's tests.
#include "commontest.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "detectdevice.h"
#include "log.h"
#include "settings.h"

namespace commontest {

void CommonTest::SetUp() {
    setLogProgram(LOG_PLUGIN);
    setLogFolder(u"");
    setLogOption(0);
    memset(&getSettings(), 0, sizeof(PluginSettings));
    setNoRecurList(u"");
    setQuietModeChangedHook(nullptr);
    clearDeviceFlags();
}

void CommonTest::TearDown() {
    setQuietModeChangedHook(nullptr);
}

std::filesystem::path CommonTest::hostPath(const std::string& devicePath) const {
    std::string relative = devicePath;
    for (char& c : relative)
        if (c == '\\') c = '/';
    while (!relative.empty() && relative[0] == '/')
        relative.erase(0, 1);
    return device.fs() / relative;
}

void CommonTest::makeFolder(const std::string& devicePath) const {
    std::filesystem::create_directories(hostPath(devicePath));
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::string();
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string utf16le(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

static HKEY createKey(HKEY root, const char16_t* key) {
    HKEY hk = nullptr;
    DWORD disposition = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hk,
                                             &disposition));
    return hk;
}

void regCreateKey(HKEY root, const char16_t* key) {
    HKEY hk = createKey(root, key);
    if (hk) RegCloseKey(hk);
}

void regSetDword(HKEY root, const char16_t* key, const char16_t* name, DWORD value) {
    HKEY hk = createKey(root, key);
    ASSERT_NE(nullptr, hk);
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExW(hk, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4));
    RegCloseKey(hk);
}

void regSetString(HKEY root, const char16_t* key, const char16_t* name,
                  const std::u16string& text) {
    HKEY hk = createKey(root, key);
    ASSERT_NE(nullptr, hk);
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExW(hk, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(char16_t))));
    RegCloseKey(hk);
}

void regSetBinary(HKEY root, const char16_t* key, const char16_t* name, const void* data,
                  DWORD cb) {
    HKEY hk = createKey(root, key);
    ASSERT_NE(nullptr, hk);
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExW(hk, name, 0, REG_BINARY, static_cast<const BYTE*>(data), cb));
    RegCloseKey(hk);
}

bool regGet(HKEY root, const char16_t* key, const char16_t* name, std::string* data, DWORD* type) {
    HKEY hk = nullptr;
    if (RegOpenKeyExW(root, key, 0, KEY_READ, &hk) != ERROR_SUCCESS) return false;
    DWORD cb = 0;
    DWORD t = 0;
    bool ok = RegQueryValueExW(hk, name, nullptr, &t, nullptr, &cb) == ERROR_SUCCESS;
    if (ok) {
        std::string bytes(cb, '\0');
        ok = RegQueryValueExW(hk, name, nullptr, &t, reinterpret_cast<BYTE*>(bytes.data()), &cb) ==
             ERROR_SUCCESS;
        bytes.resize(cb);
        if (data) *data = bytes;
        if (type) *type = t;
    }
    RegCloseKey(hk);
    return ok;
}

DWORD regGetDword(HKEY root, const char16_t* key, const char16_t* name, DWORD missing) {
    std::string bytes;
    if (!regGet(root, key, name, &bytes) || bytes.size() != 4) return missing;
    DWORD value = 0;
    memcpy(&value, bytes.data(), 4);
    return value;
}

std::u16string regGetString(HKEY root, const char16_t* key, const char16_t* name) {
    std::string bytes;
    if (!regGet(root, key, name, &bytes)) return u"<missing>";
    std::u16string text(bytes.size() / 2, u'\0');
    memcpy(text.data(), bytes.data(), text.size() * 2);
    while (!text.empty() && text.back() == 0)
        text.pop_back();
    return text;
}

bool regValueExists(HKEY root, const char16_t* key, const char16_t* name) {
    return regGet(root, key, name, nullptr);
}

std::string narrow(const std::u16string& text) {
    std::string out;
    for (char16_t unit : text)
        out += unit < 0x80 ? static_cast<char>(unit) : '?';
    return out;
}

} // namespace commontest
