// cmd_today.cpp: cedev today ..., requests to the running shell's Today screen:
//
//   cedev today options NAME    opens the options dialog of the item NAME (its key name
//                               without quotes), as tapping it in the Today settings would
//   cedev today list            prints the Zolvane item's list of coming alarms, one line an
//                               item: kind, alarm time, event time, handle, oid, repeating, text
//
// Further subcommands go into the table below.
#include <cstdio>
#include <string>

#include "../shell/shellproto.h"
#include "cedev.h"
#include "display/x11display.h"
#include "kernel/strings.h"
#include "windows.h"

namespace cedev {

// cmd_shell.cpp: sends a request to the shell's Today frame; 0 with its answer, or prints
// the failure and returns its status.
int sendShellRequest(uint32_t request, const std::u16string& text, intptr_t* answer);

namespace {

constexpr const char* kUsage = "usage: cedev today options NAME | cedev today list";

// The Zolvane item answers this registered message by writing the list it shows into
// kListFile (UTF-8, tab-separated lines); cedev prints the file and deletes it.
constexpr char16_t kListMessage[] = u"ZolvaneListDump";
constexpr char16_t kListFile[] = u"\\Temp\\ZolvaneList.txt";
constexpr char16_t kProductKey[] = u"Software\\Brenvox\\Zolvane";
constexpr UINT kListTimeoutMs = 10000;

int options(const Args& args) {
    if (args.size() != 1 || args[0].empty()) return usage(kUsage);
    std::u16string name = ce::fromUtf8(args[0]);
    if (!needDevice()) return 1;
    intptr_t answer = 0;
    if (int rc = sendShellRequest(ceshell::kRequestItemOptions, name, &answer)) return rc;
    switch (answer) {
    case ceshell::kAnswerDone: return 0;
    case ceshell::kAnswerUnknownItem:
        return fail("today options: no item " + args[0] + " is loaded");
    case ceshell::kAnswerNoOptions: return fail("today options: " + args[0] + " has no options");
    default: return fail("today options: the shell could not open them");
    }
}

// The item window the product publishes as appWindow, or null.
HWND itemWindow() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kProductKey, 0, 0, &key) != ERROR_SUCCESS) return nullptr;
    DWORD value = 0, type = 0, size = sizeof value;
    LONG rc =
        RegQueryValueExW(key, u"appWindow", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_DWORD || !value) return nullptr;
    HWND window = static_cast<HWND>(ULongToHandle(value));
    return IsWindow(window) ? window : nullptr;
}

int list(const Args& args) {
    if (!args.empty()) return usage(kUsage);
    if (!needDevice()) return 1;
    auto record = ce::display::readDisplayRecord();
    if (!record || !ce::display::displayIsAlive(*record))
        return fail("today list: the device's shell is not running");
    HWND window = itemWindow();
    if (!window) return fail("today list: the Zolvane item has no window (appWindow)");
    DeleteFileW(kListFile);
    DWORD_PTR written = 0;
    if (!SendMessageTimeoutW(window, RegisterWindowMessageW(kListMessage), 0, 0, SMTO_ABORTIFHUNG,
                             kListTimeoutMs, &written) ||
        !written)
        return fail("today list: the item did not write its list");
    HANDLE file = CreateFileW(kListFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return fail("today list: no list file");
    std::string text;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(file, buf, sizeof buf, &got, nullptr) && got > 0)
        text.append(buf, got);
    CloseHandle(file);
    DeleteFileW(kListFile);
    fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

struct Subcommand {
    const char* name;
    int (*run)(const Args& args);
};

const Subcommand kSubcommands[] = {
    {"options", options},
    {"list", list},
};

} // namespace

int cmdToday(const Args& args) {
    if (args.empty()) return usage(kUsage);
    Args rest(args.begin() + 1, args.end());
    for (const auto& s : kSubcommands)
        if (args[0] == s.name) return s.run(rest);
    return usage(kUsage);
}

} // namespace cedev
