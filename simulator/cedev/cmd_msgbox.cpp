// cmd_msgbox.cpp: cedev msgbox, which shows a message box on the device and prints the answer
// ("yes", "no", "ok", "cancel"): a way to try the automation queue and the device's input by
// hand or from a script.
//
//   cedev msgbox [--yesno|--okcancel|--yesnocancel] TITLE TEXT
//
// The box is this process's own window on the device's display. When the device has no
// display running, one is brought up as `cedev display start` does (its own Xvfb and a bare
// desktop) and left running afterwards, so that a device whose shell is not running can
// still show the box; `cedev display stop` ends it.
#include <cstdio>

#include "cedev.h"
#include "display/x11display.h"
#include "kernel/device.h"
#include "kernel/strings.h"
#include "windows.h"

namespace cedev {

namespace {

const char* kUsage = "usage: cedev msgbox [--yesno|--okcancel|--yesnocancel] TITLE TEXT";

// Brings up the device's display unless it is running.
bool ensureDisplay(std::string* error) {
    if (auto r = ce::display::readDisplayRecord()) {
        if (ce::display::displayIsAlive(*r)) return true;
        ce::display::endRecordedProcess(r->desktopPid, "cedesktop");
        if (r->xvfbPid > 0) ce::display::endRecordedProcess(r->xvfbPid, "Xvfb");
        ce::display::removeDisplayRecord();
    }
    ce::display::DisplayRecord r;
    auto conf = ce::deviceConf();
    if (!ce::display::startXvfb(conf->profile.width, conf->profile.height, &r.display, &r.xvfbPid,
                                error))
        return false;
    if (!ce::display::startDesktopProgram(r.display, &r.desktopWindow, &r.desktopPid, error)) {
        ce::display::endRecordedProcess(r.xvfbPid, "Xvfb");
        return false;
    }
    if (!ce::display::writeDisplayRecord(r, error)) {
        ce::display::endRecordedProcess(r.desktopPid, "cedesktop");
        ce::display::endRecordedProcess(r.xvfbPid, "Xvfb");
        return false;
    }
    return true;
}

const char* answerWord(int id) {
    switch (id) {
    case IDOK: return "ok";
    case IDCANCEL: return "cancel";
    case IDYES: return "yes";
    case IDNO: return "no";
    default: return nullptr;
    }
}

} // namespace

int cmdMsgbox(const Args& args) {
    UINT type = MB_OK;
    std::vector<std::string> words;
    for (const auto& a : args) {
        if (a == "--yesno")
            type = MB_YESNO | MB_ICONQUESTION;
        else if (a == "--okcancel")
            type = MB_OKCANCEL | MB_ICONQUESTION;
        else if (a == "--yesnocancel")
            type = MB_YESNOCANCEL | MB_ICONQUESTION;
        else if (a.size() > 1 && a[0] == '-' && a[1] == '-')
            return usage(kUsage);
        else
            words.push_back(a);
    }
    if (words.size() != 2) return usage(kUsage);
    if (!needDevice()) return 1;
    std::string error;
    if (!ensureDisplay(&error)) return fail("msgbox: cannot bring up the display: " + error);
    std::u16string title = ce::fromUtf8(words[0]);
    std::u16string text = ce::fromUtf8(words[1]);
    int result =
        MessageBoxW(nullptr, text.c_str(), title.c_str(), type | MB_SETFOREGROUND | MB_TOPMOST);
    const char* word = answerWord(result);
    if (!word) return fail("msgbox: the message box failed");
    printf("%s\n", word);
    return 0;
}

} // namespace cedev
