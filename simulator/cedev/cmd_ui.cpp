// cmd_ui.cpp: cedev ui, which prints the windows on the device's screen as an indented tree,
// so that a person or a scenario can see what is shown:
//
//   0x200001 desktop 0,0 240x320
//     0x400003 "Dialog" "Delete?" 8,110 224x100 visible foreground
//       0x400005 "MsgBoxText" "Delete the alarm?" 16,140 200x16 visible
//       0x400007 "MsgBoxButton" "Yes" 52,178 56x24 visible
//
// Each line: handle, class and title (quoted, with \" \\ \n escaped), position on the screen
// and size, visible or hidden, and "foreground" on the foreground window. Top-level windows
// come top of the stacking order first. The windows are read from the device's display
// through a driver connection of this process: without a running display there is nothing to
// show, and the command says so.
#include <cstdio>
#include <string>

#include "cedev.h"
#include "display/x11display.h"
#include "kernel/strings.h"
#include "user/driver.h"

namespace cedev {

namespace {

constexpr int kMaxDepth = 64;

std::string quoteText(const std::u16string& text) {
    std::string out = "\"";
    for (char c : ce::toUtf8(text)) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void printTree(ce::user::DisplayDriver& driver, uint32_t hwnd, int depth, uint32_t foreground) {
    if (depth > kMaxDepth) return;
    auto facts = driver.queryWindow(hwnd);
    if (!facts) return; // gone while we looked
    const RECT& r = facts->rect;
    printf("%*s0x%x %s %s %ld,%ld %ldx%ld %s%s\n", depth * 2, "", hwnd,
           quoteText(facts->className).c_str(), quoteText(facts->text).c_str(),
           static_cast<long>(r.left), static_cast<long>(r.top), static_cast<long>(r.right - r.left),
           static_cast<long>(r.bottom - r.top), facts->visible ? "visible" : "hidden",
           hwnd == foreground ? " foreground" : "");
    for (uint32_t child : driver.childWindows(hwnd))
        printTree(driver, child, depth + 1, foreground);
}

} // namespace

int cmdUi(const Args& args) {
    if (!args.empty()) return usage("usage: cedev ui");
    if (!needDevice()) return 1;
    auto record = ce::display::readDisplayRecord();
    if (!record || !ce::display::displayIsAlive(*record))
        return fail("ui: the device has no display running (start it with cedev display start)");
    auto driver = ce::user::makeX11Driver();
    if (!driver) return fail("ui: cannot open the device's display " + record->display);
    uint32_t desktop = driver->desktopWindow();
    SIZE screen = driver->screenSize();
    uint32_t foreground = driver->foregroundWindow();
    printf("0x%x desktop 0,0 %ldx%ld\n", desktop, static_cast<long>(screen.cx),
           static_cast<long>(screen.cy));
    for (uint32_t top : driver->childWindows(0))
        printTree(*driver, top, 1, foreground);
    return 0;
}

} // namespace cedev
