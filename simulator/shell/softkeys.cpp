// softkeys.cpp: the Today screen's soft-key bar along the bottom of the screen: "Calendar" on
// the left key, "Contacts" on the right, as on the device. The bar is aygshell's own menu bar
// (SHCreateMenuBar, class "menu_worker") made for the Today frame, so it looks and answers
// like every program's soft keys; the frame starts the keys' programs when their WM_COMMAND
// arrives. A program that is not on the device only leaves a journal line.
#include <aygshell.h>

#include "ceshell.h"
#include "kernel/journal.h"
#include "kernel/strings.h"
#include "shell/shell.h"

namespace ceshell {

namespace {

constexpr WORD kCalendarKey = 1001;
constexpr WORD kContactsKey = 1002;

struct SoftKeys {
    HWND frame = nullptr;
    HWND bar = nullptr;
    HMENU menu = nullptr;
};

SoftKeys& softKeys() {
    static SoftKeys s;
    return s;
}

void startProgram(const char16_t* key, const char16_t* program, const char16_t* commandLine) {
    PROCESS_INFORMATION pi{};
    SetLastError(0);
    BOOL ok = CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             nullptr, &pi);
    ce::JournalLine line("shell.softkey");
    line.str("key", key).str("program", program);
    if (commandLine) line.str("cmdline", commandLine);
    if (ok) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        line.flag("started", true);
    } else {
        line.flag("started", false).num("error", static_cast<int64_t>(GetLastError()));
    }
    line.write();
}

} // namespace

bool createSoftKeys(HWND frame) {
    SoftKeys& s = softKeys();
    s.frame = frame;
    s.menu = CreateMenu();
    if (!s.menu) return false;
    AppendMenuW(s.menu, MF_STRING, kCalendarKey, u"Calendar");
    AppendMenuW(s.menu, MF_STRING, kContactsKey, u"Contacts");
    SHMENUBARINFO mbi{};
    mbi.cbSize = sizeof mbi;
    mbi.hwndParent = frame;
    mbi.dwFlags = SHCMBF_HMENU;
    mbi.nToolBarId = static_cast<UINT>(HandleToULong(s.menu));
    if (!SHCreateMenuBar(&mbi)) return false;
    s.bar = mbi.hwndMB;
    return s.bar != nullptr;
}

void placeSoftKeys() {
    SoftKeys& s = softKeys();
    if (!s.bar) return;
    ScreenLayout l = screenLayout();
    SetWindowPos(s.bar, nullptr, 0, l.height - l.softKeyHeight, l.width, l.softKeyHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(s.bar, nullptr, TRUE);
}

bool softKeyCommand(WORD id) {
    if (id == kCalendarKey) {
        startProgram(u"Calendar", u"\\Windows\\calendar.exe", nullptr);
        return true;
    }
    if (id == kContactsKey) {
        startProgram(u"Contacts", u"poutlook.exe", u"contacts");
        return true;
    }
    return false;
}

void destroySoftKeys() {
    SoftKeys& s = softKeys();
    if (s.bar && IsWindow(s.bar)) DestroyWindow(s.bar);
    // A bar made from a menu handle leaves the menu to its maker.
    if (s.menu) DestroyMenu(s.menu);
    s = SoftKeys{};
}

bool softKeyPress(UINT vk) {
    SoftKeys& s = softKeys();
    if (!s.bar || (vk != VK_F1 && vk != VK_F2)) return false;
    return ce::shell::pressSoftKey(s.bar, vk == VK_F1 ? 0 : 1);
}

} // namespace ceshell
