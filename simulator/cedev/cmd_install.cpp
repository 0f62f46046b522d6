// cmd_install.cpp: cedev install, which puts the built product into the attached device the
// way the product's package installer does on a real one.
//
//   cedev install [--reset-settings] [--from DIR]
//
// What lands on the device:
//   - \Windows\Zolvane.dll, a library stub naming libZolvane.so (required: without the built
//     library there is nothing to install), and a program stub for each of the product's
//     programs whose binary is built (kPrograms below);
//   - the installation folder \Program Files\Zolvane with everything the product ships: the
//     folder Zolvane/ beside the binaries (or DIR), copied recursively;
//   - InstallDir, the Today item's registration, and the first-run settings (kSettings).
//
// Running it again is harmless: files and stubs are replaced, InstallDir and the Today item are
// rewritten, and a setting is only written when the value is absent, so a reinstall keeps what
// the user chose. --reset-settings writes every first-run setting again.
//
// When the device's screen is up, the Today screen is told to reload its items, so the new item
// shows without restarting the shell. One line per installed file goes to stdout, and the
// journal records the installation.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sys/stat.h>
#include <vector>

#include "cedev.h"
#include "display/x11display.h"
#include "kernel/device.h"
#include "kernel/devpath.h"
#include "kernel/journal.h"
#include "kernel/strings.h"
#include "kernel/stub.h"
#include "windows.h"

namespace cedev {

namespace {

namespace fs = std::filesystem;

const char* kUsage = "usage: cedev install [--reset-settings] [--from DIR]";

constexpr char16_t kInstallFolder[] = u"\\Program Files\\Zolvane";
constexpr char16_t kLibraryPath[] = u"\\Windows\\Zolvane.dll";
constexpr char kLibraryBinary[] = "libZolvane.so";
// The folder beside the binaries that holds what the product ships (skins, language files,
// sounds, bitmaps).
constexpr char kShippedFolder[] = "Zolvane";

constexpr char16_t kSettingsKey[] = u"Software\\Brenvox\\Zolvane";
// The quotes belong to the key's name: the Today screen lists items by these names.
constexpr char16_t kTodayItemKey[] = u"Software\\Microsoft\\Today\\Items\\\"Zolvane\"";

// The product's programs: device path and the binary its stub names. A program is installed
// only once its binary is built.
struct ProgramEntry {
    const char16_t* devicePath;
    const char* binary;
};
constexpr ProgramEntry kPrograms[] = {
    {u"\\Windows\\zvHost.exe", "zvHost"},
    {u"\\Windows\\zvNotes.exe", "zvNotes"},
    {u"\\Windows\\zvWakeup.exe", "zvWakeup"},
    {u"\\Windows\\zvCleanup.exe", "zvCleanup"},
    {u"\\Program Files\\Zolvane\\zvSettings.exe", "zvSettings"},
    {u"\\Program Files\\Zolvane\\zvEditor.exe", "zvEditor"},
};

// The first-run settings under HKCU\Software\Brenvox\Zolvane. A text entry has text set; the
// skin is not here because it depends on the screen (see firstRunSkin).
struct SettingEntry {
    const char16_t* name;
    DWORD number;
    const char16_t* text;
};
constexpr SettingEntry kSettings[] = {
    {u"maxAlarms", 10, nullptr},      {u"flagShowAlarms", 0x3FFFC, nullptr},
    {u"showOffset", 0, nullptr},      {u"startupDelay", 1, nullptr},
    {u"dateFormat", 1, nullptr},      {u"includeDay", 1, nullptr},
    {u"dayLen", 3, nullptr},          {u"alarmFormat", 0, nullptr},
    {u"soundRepeat", 5, nullptr},     {u"soundRepeatTone", 1, nullptr},
    {u"soundDelay", 30, nullptr},     {u"checkVolume", 1, nullptr},
    {u"Volume", 1, nullptr},          {u"minEscalate", 2, nullptr},
    {u"maxEscalate", 8, nullptr},     {u"batteryLife", 20, nullptr},
    {u"activeLinks", 0, u"111111"},   {u"linkType", 0, u"000000"},
    {u"calenderNoAlarm", 1, nullptr}, {u"birthday", 1, nullptr},
    {u"anniversary", 1, nullptr},     {u"loggingOption", 1, nullptr},
};

// A high-resolution screen (the shorter side longer than 400 pixels) starts with the skin
// drawn for it.
const char16_t* firstRunSkin() {
    auto conf = ce::deviceConf();
    return std::min(conf->profile.width, conf->profile.height) > 400 ? u"DefaultVGA" : u"Default";
}

std::string errorText(DWORD err) {
    switch (err) {
    case ERROR_FILE_NOT_FOUND: return "not found";
    case ERROR_PATH_NOT_FOUND: return "no such folder";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_SHARING_VIOLATION: return "in use";
    case ERROR_INVALID_NAME: return "not a valid device name";
    case ERROR_FILENAME_EXCED_RANGE: return "path too long";
    case ERROR_DISK_FULL: return "device storage full";
    default: return "error " + std::to_string(err);
    }
}

std::string shown(std::u16string_view devicePath) {
    return ce::toUtf8(devicePath);
}

// Everything the steps share: the result of each step is a message in *error.
struct Installer {
    bool resetSettings = false;
    size_t files = 0;

    void installed(std::u16string_view devicePath) {
        printf("%s\n", shown(devicePath).c_str());
        ++files;
    }

    bool makeFolder(const std::u16string& devicePath, std::string* error) {
        std::u16string path(devicePath);
        SetLastError(0);
        if (CreateDirectoryW(path.c_str(), nullptr)) return true;
        DWORD err = GetLastError();
        if (err == ERROR_ALREADY_EXISTS) {
            DWORD attributes = GetFileAttributesW(path.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                return true;
            *error = "cannot create the folder " + shown(path) + ": a file has its name";
            return false;
        }
        *error = "cannot create the folder " + shown(path) + ": " + errorText(err);
        return false;
    }

    bool stubs(std::string* error) {
        DWORD err = ce::writeLibraryStub(kLibraryPath, kLibraryBinary);
        if (err != ERROR_SUCCESS) {
            *error = "cannot write " + shown(kLibraryPath) + ": " + errorText(err);
            return false;
        }
        installed(kLibraryPath);
        std::string notBuilt;
        for (const auto& program : kPrograms) {
            fs::path binary;
            if (!ce::locateBinary(program.binary, ce::StubKind::Program, &binary)) {
                notBuilt += notBuilt.empty() ? " " : ", ";
                notBuilt += program.binary;
                continue;
            }
            err = ce::writeProgramStub(program.devicePath, program.binary);
            if (err != ERROR_SUCCESS) {
                *error = "cannot write " + shown(program.devicePath) + ": " + errorText(err);
                return false;
            }
            installed(program.devicePath);
        }
        if (!notBuilt.empty())
            fprintf(stderr, "cedev: install: note: not built yet, left out:%s\n", notBuilt.c_str());
        return true;
    }

    // Copies one host file over the device file through the device's file API, so a file a
    // running device program holds open without sharing is reported, not replaced under it.
    bool copyFile(const fs::path& source, const std::u16string& target, std::string* error) {
        std::ifstream in(source, std::ios::binary);
        if (!in) {
            *error = "cannot read " + source.string();
            return false;
        }
        SetLastError(0);
        HANDLE out = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out == INVALID_HANDLE_VALUE) {
            *error = "cannot write " + shown(target) + ": " + errorText(GetLastError());
            return false;
        }
        std::vector<char> buffer(64 * 1024);
        bool ok = true;
        while (ok && in) {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            auto got = static_cast<DWORD>(in.gcount());
            if (got == 0) break;
            DWORD written = 0;
            SetLastError(0);
            if (!WriteFile(out, buffer.data(), got, &written, nullptr) || written != got) {
                *error = "cannot write " + shown(target) + ": " + errorText(GetLastError());
                ok = false;
            }
        }
        if (ok && in.bad()) {
            *error = "cannot read " + source.string();
            ok = false;
        }
        CloseHandle(out);
        if (ok) installed(target);
        return ok;
    }

    // Copies the host folder `source` into the device folder `target`, which exists. Folders
    // that are symbolic links are not followed (a link loop cannot recurse for ever), and
    // names the device cannot spell (not UTF-8) are left out.
    bool copyTree(const fs::path& source, const std::u16string& target, int depth,
                  std::string* error) {
        if (depth > 32) {
            *error = "folders nested too deep below " + source.string();
            return false;
        }
        for (const auto& entry : ce::listDeviceFolder(source)) {
            fs::path from = source / entry.host;
            std::u16string to = target + u"\\" + entry.name;
            struct stat link {};
            struct stat st {};
            if (lstat(from.c_str(), &link) != 0 || stat(from.c_str(), &st) != 0) continue;
            if (S_ISDIR(st.st_mode)) {
                if (S_ISLNK(link.st_mode)) {
                    fprintf(stderr, "cedev: install: note: %s is a link to a folder, left out\n",
                            from.c_str());
                    continue;
                }
                if (!makeFolder(to, error) || !copyTree(from, to, depth + 1, error)) return false;
            } else if (S_ISREG(st.st_mode)) {
                if (!copyFile(from, to, error)) return false;
            }
        }
        return true;
    }

    bool setValue(HKEY key, const char16_t* name, DWORD type, const void* data, size_t size,
                  std::string* error) {
        LONG r = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data),
                                static_cast<DWORD>(size));
        if (r == ERROR_SUCCESS) return true;
        *error = "cannot write the registry value " + ce::toUtf8(name) + ": " +
                 errorText(static_cast<DWORD>(r));
        return false;
    }

    bool setNumber(HKEY key, const char16_t* name, DWORD value, std::string* error) {
        return setValue(key, name, REG_DWORD, &value, sizeof value, error);
    }

    // REG_SZ with its terminator, as every program of the product writes texts.
    bool setText(HKEY key, const char16_t* name, std::u16string_view text, std::string* error) {
        std::u16string data(text);
        return setValue(key, name, REG_SZ, data.c_str(), (data.size() + 1) * sizeof(char16_t),
                        error);
    }

    // True when the value is there, whatever its type.
    static bool hasValue(HKEY key, const char16_t* name) {
        DWORD type = 0, size = 0;
        return RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
    }

    bool openKey(HKEY root, const char16_t* path, HKEY* key, std::string* error) {
        DWORD disposition = 0;
        LONG r =
            RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key, &disposition);
        if (r == ERROR_SUCCESS) return true;
        *error = "cannot open the registry key " + ce::toUtf8(path) + ": " +
                 errorText(static_cast<DWORD>(r));
        return false;
    }

    bool settings(std::string* error) {
        HKEY key = nullptr;
        if (!openKey(HKEY_CURRENT_USER, kSettingsKey, &key, error)) return false;
        bool ok = setText(key, u"InstallDir", kInstallFolder, error);
        auto fresh = [&](const char16_t* name) { return resetSettings || !hasValue(key, name); };
        if (ok && fresh(u"skinName")) ok = setText(key, u"skinName", firstRunSkin(), error);
        for (const auto& s : kSettings) {
            if (!ok) break;
            if (!fresh(s.name)) continue;
            ok = s.text ? setText(key, s.name, s.text, error)
                        : setNumber(key, s.name, s.number, error);
        }
        RegFlushKey(key);
        RegCloseKey(key);
        return ok;
    }

    // The Today item: Type 4 is an item implemented by a library; Order 1 puts it below the
    // date item (0).
    bool todayItem(std::string* error) {
        HKEY key = nullptr;
        if (!openKey(HKEY_LOCAL_MACHINE, kTodayItemKey, &key, error)) return false;
        bool ok = setText(key, u"DLL", kLibraryPath, error) &&
                  setNumber(key, u"Enabled", 1, error) && setNumber(key, u"Type", 4, error) &&
                  setNumber(key, u"Order", 1, error);
        RegFlushKey(key);
        RegCloseKey(key);
        return ok;
    }
};

// The folder the shipped files come from: the first binary folder that has one.
fs::path shippedFolder() {
    std::error_code ec;
    for (const auto& folder : ce::binaryFolders())
        if (fs::is_directory(folder / kShippedFolder, ec)) return folder / kShippedFolder;
    return {};
}

// The Today screen reloads its items when told that setting 0xF2 changed; a shell that does
// not answer within 5 seconds does not hold the installation up.
void tellTodayScreen() {
    auto record = ce::display::readDisplayRecord();
    if (!record || !ce::display::displayIsAlive(*record)) return;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(GetDesktopWindow(), WM_WININICHANGE, 0xF2, 0, SMTO_ABORTIFHUNG, 5000,
                             &result))
        fprintf(stderr, "cedev: install: note: the Today screen did not answer\n");
}

} // namespace

int cmdInstall(const Args& args) {
    Installer installer;
    fs::path from;
    bool fromGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--reset-settings") {
            installer.resetSettings = true;
        } else if (args[i] == "--from" && i + 1 < args.size()) {
            from = args[++i];
            fromGiven = true;
        } else {
            return usage(kUsage);
        }
    }
    if (!needDevice()) return 1;
    std::error_code ec;
    if (fromGiven && !fs::is_directory(from, ec))
        return fail("install: " + from.string() + " is not a folder");
    fs::path library;
    if (!ce::locateBinary(kLibraryBinary, ce::StubKind::Library, &library))
        return fail(std::string("install: ") + kLibraryBinary +
                    " is not built (build the target Zolvane first)");
    if (!fromGiven) from = shippedFolder();

    std::string error;
    bool ok = installer.makeFolder(u"\\Program Files", &error) &&
              installer.makeFolder(kInstallFolder, &error) && installer.stubs(&error) &&
              (from.empty() || installer.copyTree(from, kInstallFolder, 0, &error)) &&
              installer.settings(&error) && installer.todayItem(&error);
    if (!ok) return fail("install: " + error);
    tellTodayScreen();
    ce::JournalLine("package.installed")
        .str("product", "Zolvane")
        .str("folder", kInstallFolder)
        .num("files", static_cast<int64_t>(installer.files))
        .flag("resetSettings", installer.resetSettings)
        .write();
    return 0;
}

} // namespace cedev
