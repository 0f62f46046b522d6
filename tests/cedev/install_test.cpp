// install_test.cpp: cedev install, the product's package installer on the simulated device:
// the stubs it writes, the installation folder and its copied files, the registry values of a
// first run, what a reinstall keeps, and that the installed library loads as the Today screen
// loads it.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "kernel/stub.h"
#include "testdisplay.h"
#include "windows.h"

namespace {

namespace fs = std::filesystem;
using cetest::runCedev;

constexpr DWORD kPoison = 0xdeadbeef;
constexpr char16_t kSettingsKey[] = u"Software\\Brenvox\\Zolvane";
constexpr char16_t kTodayItemKey[] = u"Software\\Microsoft\\Today\\Items\\\"Zolvane\"";

// The first-run settings a fresh installation writes (besides skinName and InstallDir), as
// the product's installer sets them.
struct ExpectedNumber {
    const char16_t* name;
    DWORD value;
};
const ExpectedNumber kFirstRunNumbers[] = {
    {u"maxAlarms", 10},      {u"flagShowAlarms", 0x3FFFC}, {u"showOffset", 0},
    {u"startupDelay", 1},    {u"dateFormat", 1},           {u"includeDay", 1},
    {u"dayLen", 3},          {u"alarmFormat", 0},          {u"soundRepeat", 5},
    {u"soundRepeatTone", 1}, {u"soundDelay", 30},          {u"checkVolume", 1},
    {u"Volume", 1},          {u"minEscalate", 2},          {u"maxEscalate", 8},
    {u"batteryLife", 20},    {u"calenderNoAlarm", 1},      {u"birthday", 1},
    {u"anniversary", 1},     {u"loggingOption", 1},
};

// One registry value as read back; type starts at the poison value, so a read that does not
// fill it in shows.
struct RegValue {
    LONG result = static_cast<LONG>(kPoison);
    DWORD type = kPoison;
    std::vector<uint8_t> data;
};

RegValue readValue(HKEY root, const char16_t* keyPath, const char16_t* name) {
    RegValue v;
    HKEY key = reinterpret_cast<HKEY>(static_cast<uintptr_t>(kPoison));
    v.result = RegOpenKeyExW(root, keyPath, 0, KEY_READ, &key);
    if (v.result != ERROR_SUCCESS) return v;
    v.data.assign(1024, 0xAB);
    DWORD size = static_cast<DWORD>(v.data.size());
    v.result = RegQueryValueExW(key, name, nullptr, &v.type, v.data.data(), &size);
    v.data.resize(v.result == ERROR_SUCCESS ? size : 0);
    RegCloseKey(key);
    return v;
}

std::string describe(const char16_t* name) {
    std::string s;
    for (const char16_t* p = name; *p; ++p)
        s += static_cast<char>(*p);
    return s;
}

// A REG_DWORD of 4 bytes holding value.
void expectNumber(HKEY root, const char16_t* key, const char16_t* name, DWORD value) {
    RegValue v = readValue(root, key, name);
    ASSERT_EQ(v.result, ERROR_SUCCESS) << describe(name);
    EXPECT_EQ(v.type, (DWORD)REG_DWORD) << describe(name);
    ASSERT_EQ(v.data.size(), 4u) << describe(name);
    DWORD got = kPoison;
    memcpy(&got, v.data.data(), 4);
    EXPECT_EQ(got, value) << describe(name);
}

// A REG_SZ written with its terminator, as the product's programs read texts.
void expectText(HKEY root, const char16_t* key, const char16_t* name, std::u16string_view text) {
    RegValue v = readValue(root, key, name);
    ASSERT_EQ(v.result, ERROR_SUCCESS) << describe(name);
    EXPECT_EQ(v.type, (DWORD)REG_SZ) << describe(name);
    ASSERT_EQ(v.data.size(), (text.size() + 1) * 2) << describe(name);
    std::u16string got(text.size() + 1, u'\0');
    memcpy(got.data(), v.data.data(), v.data.size());
    EXPECT_EQ(got, std::u16string(text) + u'\0') << describe(name);
}

void setNumber(const char16_t* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

std::string readHostFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeHostFile(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool zolvaneBuilt() {
    fs::path where;
    return ce::locateBinary("libZolvane.so", ce::StubKind::Library, &where);
}

// A test device on which the product can be installed: the installation needs the built
// library, and without it the one thing to check is the refusal.
class InstallTest : public cetest::DeviceTest {
protected:
    void SetUp() override {
        if (zolvaneBuilt()) return;
        std::string out, err;
        EXPECT_EQ(runCedev({"install"}, &out, &err), 1);
        EXPECT_NE(err.find("libZolvane.so is not built"), std::string::npos) << err;
        EXPECT_FALSE(fs::exists(device.fs() / "Windows" / "Zolvane.dll"));
        GTEST_SKIP() << "libZolvane.so is not built";
    }

    int install(const std::vector<std::string>& extra = {}, std::string* out = nullptr) {
        std::vector<std::string> args{"install"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::string o, e;
        int rc = runCedev(args, &o, &e);
        EXPECT_EQ(rc, 0) << e;
        if (out) *out = o;
        return rc;
    }

    // A folder of its own for the files to ship, removed at the end.
    fs::path sourceFolder() {
        fs::path dir = device.dir().parent_path() / "shipped";
        fs::create_directories(dir);
        return dir;
    }
};

// A fresh installation writes the library stub naming the built library, a program stub for
// each built program and nothing for the others, and prints each installed file.
TEST_F(InstallTest, WritesTheStubsOfWhatIsBuilt) {
    std::string out;
    ASSERT_EQ(install({}, &out), 0);
    ce::ProgramStub stub;
    ASSERT_EQ(ce::readStubFile(device.fs() / "Windows" / "Zolvane.dll", &stub), ERROR_SUCCESS);
    EXPECT_EQ(stub.kind, ce::StubKind::Library);
    EXPECT_EQ(stub.binary, "libZolvane.so");
    EXPECT_NE(out.find("\\Windows\\Zolvane.dll\n"), std::string::npos) << out;

    struct Program {
        const char* folder;
        const char* file;
        const char* binary;
    };
    const Program programs[] = {
        {"Windows", "zvHost.exe", "zvHost"},
        {"Windows", "zvNotes.exe", "zvNotes"},
        {"Windows", "zvWakeup.exe", "zvWakeup"},
        {"Windows", "zvCleanup.exe", "zvCleanup"},
        {"Program Files/Zolvane", "zvSettings.exe", "zvSettings"},
        {"Program Files/Zolvane", "zvEditor.exe", "zvEditor"},
    };
    for (const auto& p : programs) {
        fs::path host = device.fs() / p.folder / p.file, built;
        if (!ce::locateBinary(p.binary, ce::StubKind::Program, &built)) {
            EXPECT_FALSE(fs::exists(host)) << p.file << " installed without its binary";
            continue;
        }
        ce::ProgramStub program;
        ASSERT_EQ(ce::readStubFile(host, &program), ERROR_SUCCESS) << p.file;
        EXPECT_EQ(program.kind, ce::StubKind::Program) << p.file;
        EXPECT_EQ(program.binary, p.binary) << p.file;
        EXPECT_NE(out.find(std::string(p.file) + "\n"), std::string::npos) << out;
    }
    EXPECT_TRUE(fs::is_directory(device.fs() / "Program Files" / "Zolvane"));

    std::string journal = readHostFile(device.dir() / "journal.log");
    EXPECT_NE(journal.find("\"event\":\"package.installed\",\"product\":\"Zolvane\""),
              std::string::npos)
        << journal;
}

// Every first-run setting with its type and size; the install folder; the Today item that the
// Today screen loads (Type 4: a library item; Order 1: below the date item).
TEST_F(InstallTest, WritesTheFirstRunSettingsAndTheTodayItem) {
    ASSERT_EQ(install(), 0);
    for (const auto& n : kFirstRunNumbers)
        expectNumber(HKEY_CURRENT_USER, kSettingsKey, n.name, n.value);
    expectText(HKEY_CURRENT_USER, kSettingsKey, u"skinName", u"Default");
    expectText(HKEY_CURRENT_USER, kSettingsKey, u"activeLinks", u"111111");
    expectText(HKEY_CURRENT_USER, kSettingsKey, u"linkType", u"000000");
    expectText(HKEY_CURRENT_USER, kSettingsKey, u"InstallDir", u"\\Program Files\\Zolvane");

    expectText(HKEY_LOCAL_MACHINE, kTodayItemKey, u"DLL", u"\\Windows\\Zolvane.dll");
    expectNumber(HKEY_LOCAL_MACHINE, kTodayItemKey, u"Enabled", 1);
    expectNumber(HKEY_LOCAL_MACHINE, kTodayItemKey, u"Type", 4);
    expectNumber(HKEY_LOCAL_MACHINE, kTodayItemKey, u"Order", 1);
}

// A reinstall keeps what the user changed and fills in what is missing; InstallDir and the
// Today item are the installer's own and are rewritten; --reset-settings restores the first
// run's values.
TEST_F(InstallTest, ReinstallKeepsChoicesUnlessReset) {
    ASSERT_EQ(install(), 0);
    setNumber(u"maxAlarms", 25);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    const char16_t mine[] = u"Mine";
    EXPECT_EQ(RegSetValueExW(key, u"skinName", 0, REG_SZ, reinterpret_cast<const BYTE*>(mine),
                             sizeof mine),
              ERROR_SUCCESS);
    const char16_t elsewhere[] = u"\\Storage Card\\Zolvane";
    EXPECT_EQ(RegSetValueExW(key, u"InstallDir", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(elsewhere), sizeof elsewhere),
              ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, u"dayLen"), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTodayItemKey, 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    DWORD off = 0;
    EXPECT_EQ(RegSetValueExW(key, u"Enabled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), 4),
              ERROR_SUCCESS);
    RegCloseKey(key);

    ASSERT_EQ(install(), 0);
    expectNumber(HKEY_CURRENT_USER, kSettingsKey, u"maxAlarms", 25);
    expectText(HKEY_CURRENT_USER, kSettingsKey, u"skinName", u"Mine");
    expectNumber(HKEY_CURRENT_USER, kSettingsKey, u"dayLen", 3);
    expectText(HKEY_CURRENT_USER, kSettingsKey, u"InstallDir", u"\\Program Files\\Zolvane");
    expectNumber(HKEY_LOCAL_MACHINE, kTodayItemKey, u"Enabled", 1);

    ASSERT_EQ(install({"--reset-settings"}), 0);
    expectNumber(HKEY_CURRENT_USER, kSettingsKey, u"maxAlarms", 10);
    expectText(HKEY_CURRENT_USER, kSettingsKey, u"skinName", u"Default");
    for (const auto& n : kFirstRunNumbers)
        expectNumber(HKEY_CURRENT_USER, kSettingsKey, n.name, n.value);
}

// The installed library loads by its device path, as the Today screen loads an item's DLL,
// and has the item's two entry points by ordinal: 240 InitializeCustomItem and 241
// CustomItemOptionsDlgProc.
TEST_F(InstallTest, InstalledLibraryHasTheItemOrdinals) {
    ASSERT_EQ(install(), 0);
    int rc = cetest::runInChild([] {
        SetLastError(kPoison);
        HMODULE h = LoadLibraryW(u"\\Windows\\Zolvane.dll");
        if (!h) {
            fprintf(stderr, "LoadLibraryW: error %u\n", static_cast<unsigned>(GetLastError()));
            return 10;
        }
        if (!GetProcAddress(h, MAKEINTRESOURCE(240))) return 11;
        if (!GetProcAddress(h, MAKEINTRESOURCE(241))) return 12;
        return FreeLibrary(h) ? 0 : 13;
    });
    EXPECT_EQ(rc, 0) << "10: LoadLibraryW failed, 11: no #240, 12: no #241, 13: FreeLibrary";
}

// Everything in the shipped folder lands below \Program Files\Zolvane with the same bytes,
// folders included; a reinstall replaces a file changed on the device; a link to a folder is
// not followed (a link back to the folder itself would otherwise never end).
TEST_F(InstallTest, CopiesTheShippedFiles) {
    fs::path from = sourceFolder();
    std::string binary("\x00\x01\xff\r\n\x00zz", 8);
    writeHostFile(from / "Zolvane_de.lng", "lang=1\n");
    writeHostFile(from / "skins" / "Default" / "Default.skn", "skin\n");
    writeHostFile(from / "skins" / "DefaultVGA" / "DefaultVGA.skn", "vga skin\n");
    writeHostFile(from / "sounds" / "alarm.wav", binary);
    writeHostFile(from / "empty.txt", "");
    fs::create_directory_symlink(".", from / "loop");

    std::string out;
    ASSERT_EQ(install({"--from", from.string()}, &out), 0);
    fs::path folder = device.fs() / "Program Files" / "Zolvane";
    EXPECT_EQ(readHostFile(folder / "Zolvane_de.lng"), "lang=1\n");
    EXPECT_EQ(readHostFile(folder / "skins" / "Default" / "Default.skn"), "skin\n");
    EXPECT_EQ(readHostFile(folder / "skins" / "DefaultVGA" / "DefaultVGA.skn"), "vga skin\n");
    EXPECT_EQ(readHostFile(folder / "sounds" / "alarm.wav"), binary);
    EXPECT_TRUE(fs::is_regular_file(folder / "empty.txt"));
    EXPECT_EQ(fs::file_size(folder / "empty.txt"), 0u);
    EXPECT_FALSE(fs::exists(folder / "loop"));
    EXPECT_NE(out.find("\\Program Files\\Zolvane\\skins\\DefaultVGA\\DefaultVGA.skn\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\\Program Files\\Zolvane\\sounds\\alarm.wav\n"), std::string::npos) << out;

    // A longer file on the device is replaced whole, not overwritten in place.
    writeHostFile(folder / "sounds" / "alarm.wav", std::string(100, 'x'));
    ASSERT_EQ(install({"--from", from.string()}), 0);
    EXPECT_EQ(readHostFile(folder / "sounds" / "alarm.wav"), binary);
}

// The device's own folder names win over the case of the shipped ones: a folder already on
// the device as "SKINS" receives the files of "skins" instead of getting a twin.
TEST_F(InstallTest, CopiesIntoExistingFoldersWithoutRegardToCase) {
    fs::path from = sourceFolder();
    writeHostFile(from / "skins" / "a.skn", "a");
    fs::create_directories(device.fs() / "Program Files" / "Zolvane" / "SKINS");
    ASSERT_EQ(install({"--from", from.string()}), 0);
    fs::path folder = device.fs() / "Program Files" / "Zolvane";
    EXPECT_EQ(readHostFile(folder / "SKINS" / "a.skn"), "a");
    EXPECT_FALSE(fs::exists(folder / "skins"));
}

// A shipped name the device cannot hold ends the installation with an error naming it, and a
// --from that is not a folder is refused; a bad option is a usage error (status 2).
TEST_F(InstallTest, RefusesWhatCannotBeInstalled) {
    fs::path from = sourceFolder();
    writeHostFile(from / "what?.txt", "x");
    std::string out, err;
    EXPECT_EQ(runCedev({"install", "--from", from.string()}, &out, &err), 1);
    EXPECT_NE(err.find("what?.txt"), std::string::npos) << err;

    EXPECT_EQ(runCedev({"install", "--from", (from / "what?.txt").string()}, &out, &err), 1);
    EXPECT_NE(err.find("is not a folder"), std::string::npos) << err;
    EXPECT_EQ(runCedev({"install", "--from"}, &out, &err), 2);
    EXPECT_EQ(runCedev({"install", "--bogus"}, &out, &err), 2);
}

// With the device's display running, the installer tells the desktop window to reload the
// Today items and still finishes (a desktop without a Today screen answers as well).
TEST_F(InstallTest, FinishesWithTheDisplayRunning) {
    cetest::DeviceDisplay display(device.dir());
    ASSERT_TRUE(display.running());
    ASSERT_EQ(install(), 0);
    expectText(HKEY_LOCAL_MACHINE, kTodayItemKey, u"DLL", u"\\Windows\\Zolvane.dll");
}

// The first skin fits the screen: the VGA skin when the shorter side of the screen is longer
// than 400 pixels, in either orientation.
TEST(InstallProfiles, SkinFollowsTheScreenResolution) {
    if (!zolvaneBuilt()) GTEST_SKIP() << "libZolvane.so is not built";
    const std::pair<const char*, const char16_t*> cases[] = {
        {"qvga", u"Default"},
        {"qvga-landscape", u"Default"},
        {"vga", u"DefaultVGA"},
        {"vga-landscape", u"DefaultVGA"},
    };
    for (const auto& [profile, skin] : cases) {
        SCOPED_TRACE(profile);
        cetest::TempDevice device(profile);
        std::string out, err;
        ASSERT_EQ(runCedev({"install"}, &out, &err), 0) << err;
        expectText(HKEY_CURRENT_USER, kSettingsKey, u"skinName", skin);
    }
}

// Without a device there is nothing to install into.
TEST(InstallWithoutDevice, FailsWithAnError) {
    fs::path missing =
        fs::temp_directory_path() / ("cedev-install-none-" + std::to_string(getpid()));
    std::string out, err;
    EXPECT_EQ(runCedev({"install"}, &out, &err, missing), 1);
    EXPECT_NE(err.find("no device"), std::string::npos) << err;
    EXPECT_TRUE(out.empty()) << out;
    EXPECT_FALSE(fs::exists(missing));
}

} // namespace
