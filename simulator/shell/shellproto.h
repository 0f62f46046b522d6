// shellproto.h: what cedev and the shell (ceshell) agree on to talk to each other: the class
// of the Today screen's frame window, which cedev finds with FindWindowW, and the requests it
// sends there as WM_COPYDATA (dwData the request, the data UTF-16 text without a terminator).
// The answer is the LRESULT of the send: one of the ShellAnswer values.
//
// Shared by simulator/shell and simulator/cedev only; device programs never see it.
#pragma once

#include <cstdint>

namespace ceshell {

// The Today screen's frame: a top-level window covering the work area.
inline constexpr char16_t kTodayFrameClass[] = u"TodayScreen";

enum ShellRequest : uint32_t {
    // Open the options of the item whose name is the data (its key name without quotes).
    kRequestItemOptions = 0x5A530001,
    // The screen's size in the profile changed (cedev rotate): resize the desktop window
    // and lay every bar and the Today screen out again. No data.
    kRequestApplyScreen = 0x5A530002,
};

enum ShellAnswer : intptr_t {
    kAnswerDone = 1,
    kAnswerUnknownItem = 2, // no loaded item of that name
    kAnswerNoOptions = 3,   // the item's library has no ordinal 241
    kAnswerFailed = 4,      // the request was understood but could not be done
    kAnswerBadRequest = 5,
};

} // namespace ceshell
