// library_test.cpp: aygshell.dll as a system library (exports by name and by the ordinals
// programs use, the library withdrawn by the profile), the special folders, the storage
// card's autorun path and shortcut files.
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "aygshell.h"
#include "kernel/device.h"
#include "regext.h"
#include "testdevice.h"
#include "windows.h"

namespace {

constexpr DWORD kPoison = 0xdeadbeef;

class AygshellTest : public cetest::DeviceTest {
protected:
    void withdraw(std::vector<std::string> entries) {
        std::string error;
        ASSERT_TRUE(ce::updateDeviceConf(
            [&](ce::DeviceConf& conf) { conf.profile.withdrawn = entries; }, &error))
            << error;
    }
    std::string hostFile(const std::filesystem::path& rel) {
        std::ifstream in(device.fs() / rel, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
};

// The shell's functions are found by name, and tap-and-hold also by its ordinal 40 (the way
// some programs reach it); the registry extensions are aygshell's, not coredll's.
TEST_F(AygshellTest, ExportsByNameAndOrdinal) {
    HMODULE h = LoadLibraryW(u"aygshell.dll");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(reinterpret_cast<FARPROC>(&SHRecognizeGesture),
              GetProcAddress(h, MAKEINTRESOURCE(40)));
    EXPECT_EQ(reinterpret_cast<FARPROC>(&SHRecognizeGesture),
              GetProcAddress(h, u"SHRecognizeGesture"));
    EXPECT_EQ(reinterpret_cast<FARPROC>(&SHInitExtraControls),
              GetProcAddress(h, MAKEINTRESOURCE(9)));
    EXPECT_EQ(reinterpret_cast<FARPROC>(&SHCreateMenuBar), GetProcAddress(h, u"SHCreateMenuBar"));
    EXPECT_EQ(reinterpret_cast<FARPROC>(&RegistryNotifyWindow),
              GetProcAddress(h, u"RegistryNotifyWindow"));
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, GetProcAddress(h, u"GetTickCount")) << "aygshell is not coredll";
    HMODULE core = GetModuleHandleW(u"coredll.dll");
    ASSERT_NE(core, nullptr);
    EXPECT_EQ(nullptr, GetProcAddress(core, u"RegistryNotifyWindow"));
    EXPECT_TRUE(std::filesystem::exists(device.fs() / "Windows" / "aygshell.dll"));
    EXPECT_TRUE(FreeLibrary(h));
}

// A profile that withdraws aygshell.dll makes it missing, so the programs' fallbacks run; one
// export can go by its ordinal.
TEST_F(AygshellTest, WithdrawnByTheProfile) {
    withdraw({"AYGSHELL.DLL"});
    SetLastError(kPoison);
    HMODULE h = LoadLibraryW(u"aygshell.dll");
    EXPECT_EQ(nullptr, h);
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
    if (h) FreeLibrary(h);
    withdraw({"aygshell.dll#40"});
    h = LoadLibraryW(u"aygshell.dll");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(nullptr, GetProcAddress(h, MAKEINTRESOURCE(40)));
    EXPECT_EQ(nullptr, GetProcAddress(h, u"SHRecognizeGesture"));
    EXPECT_NE(nullptr, GetProcAddress(h, u"SHFullScreen"));
    FreeLibrary(h);
}

// The special folders are the device's paths; fCreate makes a missing one.
TEST_F(AygshellTest, SpecialFolders) {
    const struct {
        int csidl;
        const char16_t* path;
    } cases[] = {{CSIDL_PROGRAMS, u"\\Windows\\Start Menu\\Programs"},
                 {CSIDL_PERSONAL, u"\\My Documents"},
                 {CSIDL_STARTUP, u"\\Windows\\StartUp"},
                 {CSIDL_WINDOWS, u"\\Windows"},
                 {CSIDL_PROGRAM_FILES, u"\\Program Files"}};
    for (const auto& c : cases) {
        WCHAR buf[MAX_PATH + 2];
        std::fill(std::begin(buf), std::end(buf), static_cast<WCHAR>(0xABAB));
        EXPECT_TRUE(SHGetSpecialFolderPath(nullptr, buf, c.csidl, FALSE)) << c.csidl;
        EXPECT_EQ(std::u16string(c.path), std::u16string(buf)) << c.csidl;
        EXPECT_EQ(0xABABu, static_cast<unsigned>(buf[MAX_PATH + 1])) << c.csidl;
    }
    WCHAR buf[MAX_PATH];
    std::filesystem::remove_all(device.fs() / "Windows" / "StartUp");
    EXPECT_TRUE(SHGetSpecialFolderPath(nullptr, buf, CSIDL_STARTUP, TRUE));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES == GetFileAttributesW(u"\\Windows\\StartUp"), false)
        << "fCreate did not make the folder";
    SetLastError(kPoison);
    EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, buf, 0x7777, FALSE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, nullptr, CSIDL_WINDOWS, FALSE));
}

// A shortcut is "<length>#<target>"; an existing one is not overwritten.
TEST_F(AygshellTest, ShortcutFiles) {
    WCHAR link[] = u"\\Windows\\StartUp\\zvHost.lnk";
    WCHAR target[] = u"\"\\Windows\\zvHost.exe\"";
    CreateDirectoryW(u"\\Windows\\StartUp", nullptr);
    ASSERT_TRUE(SHCreateShortcut(link, target));
    EXPECT_EQ("21#\"\\Windows\\zvHost.exe\"", hostFile("Windows/StartUp/zvHost.lnk"));
    WCHAR other[] = u"\\Windows\\other.exe";
    EXPECT_FALSE(SHCreateShortcut(link, other)) << "an existing shortcut was replaced";
    EXPECT_EQ("21#\"\\Windows\\zvHost.exe\"", hostFile("Windows/StartUp/zvHost.lnk"));
    std::u16string longTarget(300, u'x');
    WCHAR link2[] = u"\\Windows\\StartUp\\long.lnk";
    SetLastError(kPoison);
    EXPECT_FALSE(SHCreateShortcut(link2, longTarget.data()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

// With a storage card the autorun path is on it; without one there is none.
TEST_F(AygshellTest, AutoRunPath) {
    WCHAR buf[MAX_PATH];
    if (GetFileAttributesW(u"\\Storage Card") == INVALID_FILE_ATTRIBUTES)
        CreateDirectoryW(u"\\Storage Card", nullptr);
    DWORD attrs = GetFileAttributesW(u"\\Storage Card");
    if (attrs & FILE_ATTRIBUTE_TEMPORARY) {
        EXPECT_TRUE(SHGetAutoRunPath(buf));
        EXPECT_EQ(std::u16string(u"\\Storage Card\\2577\\autorun.exe"), std::u16string(buf));
    }
    std::filesystem::remove_all(device.fs() / "Storage Card");
    buf[0] = u'x';
    EXPECT_FALSE(SHGetAutoRunPath(buf));
    EXPECT_EQ(0, buf[0]);
}

} // namespace
