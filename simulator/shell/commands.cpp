// commands.cpp: the requests cedev sends to the shell, as WM_COPYDATA to the Today frame
// (shellproto.h), and the layout of the whole shell after the screen changed size.
#include "ceshell.h"
#include "kernel/device.h"
#include "kernel/journal.h"
#include "shellproto.h"

namespace ceshell {

namespace {

// The request's text: UTF-16 code units, without a terminator, at most a key name long.
bool requestText(const COPYDATASTRUCT* data, std::u16string* out) {
    constexpr DWORD kMaxBytes = 512;
    if (data->cbData % sizeof(char16_t) != 0 || data->cbData > kMaxBytes) return false;
    if (data->cbData && !data->lpData) return false;
    out->assign(static_cast<const char16_t*>(data->lpData), data->cbData / sizeof(char16_t));
    return out->find(u'\0') == std::u16string::npos;
}

} // namespace

void layoutShell() {
    placeTaskBar();
    layoutToday();
    placeSoftKeys();
}

bool applyScreen() {
    auto conf = ce::deviceConf();
    int width = conf->profile.width, height = conf->profile.height;
    bool ok = resizeDesktop(width, height);
    layoutShell();
    ce::JournalLine("shell.screen")
        .num("width", width)
        .num("height", height)
        .flag("ok", ok)
        .write();
    return ok;
}

LRESULT handleRequest(const COPYDATASTRUCT* data) {
    if (!data) return kAnswerBadRequest;
    std::u16string text;
    if (!requestText(data, &text)) return kAnswerBadRequest;
    switch (data->dwData) {
    case kRequestItemOptions:
        if (text.empty()) return kAnswerBadRequest;
        return openItemOptions(text);
    case kRequestApplyScreen: return applyScreen() ? kAnswerDone : kAnswerFailed;
    default: return kAnswerBadRequest;
    }
}

} // namespace ceshell
