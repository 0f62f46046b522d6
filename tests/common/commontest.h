// commontest.h: what the tests of the common library share: a fresh device per test with the
// common library's process state put back to its start, and small registry and file helpers
// that go through the device's own API (the registry) or straight to the device folder (files
// the test prepares or inspects byte for byte).
#pragma once

#include <filesystem>
#include <string>

#include <windows.h>
#include <winreg.h>

#include "testdevice.h"

namespace commontest {

// A device test whose common-library state (log program, folder, option, settings record,
// noRecurList) starts from scratch, as in a newly started program.
class CommonTest : public cetest::DeviceTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The host path of a device path such as "\Program Files\Zolvane\Zolvane.log".
    std::filesystem::path hostPath(const std::string& devicePath) const;
    // Creates a device folder (and its parents).
    void makeFolder(const std::string& devicePath) const;
};

// Whole-file helpers on host paths; readFile gives "" for a missing file.
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);
// UTF-8 text as UTF-16LE bytes (for language files).
std::string utf16le(const std::u16string& text);

// Registry helpers; each opens, acts and closes. The set helpers create the key.
void regSetDword(HKEY root, const char16_t* key, const char16_t* name, DWORD value);
void regSetString(HKEY root, const char16_t* key, const char16_t* name, const std::u16string& text);
void regSetBinary(HKEY root, const char16_t* key, const char16_t* name, const void* data, DWORD cb);
void regCreateKey(HKEY root, const char16_t* key);
// Reads a value as raw bytes with its type; false when it is missing.
bool regGet(HKEY root, const char16_t* key, const char16_t* name, std::string* data,
            DWORD* type = nullptr);
DWORD regGetDword(HKEY root, const char16_t* key, const char16_t* name, DWORD missing);
std::u16string regGetString(HKEY root, const char16_t* key, const char16_t* name);
bool regValueExists(HKEY root, const char16_t* key, const char16_t* name);

// For gtest messages.
std::string narrow(const std::u16string& text);

} // namespace commontest
