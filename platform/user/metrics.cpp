// metrics.cpp: GetSystemMetrics, the sizes of the device's screen and of the elements the
// window system draws, from the device profile at each call (a profile change or a rotation
// shows at once).
//
// The sizes are those of a Windows Mobile 6 Pocket PC at 96 dpi, scaled by dpi/96 on denser
// screens as the device scales them (a VGA device at 192 dpi has scroll bars of 26 pixels and
// icons of 64). Borders scale too: Windows Mobile documents that a border is not necessarily
// one pixel on a high-resolution screen.
//
//   metric                         96 dpi   192 dpi
//   SM_CXSCREEN, SM_CYSCREEN       profile  profile
//   SM_CXVSCROLL, SM_CYHSCROLL     13       26
//   SM_CYVSCROLL, SM_CXHSCROLL     13       26
//   SM_CYCAPTION                   26       52      the navigation bar, where titles show
//   SM_CYMENU                      26       52      the menu bar with the soft keys
//   SM_CXBORDER, SM_CYBORDER       1        2
//   SM_CXEDGE, SM_CYEDGE           2        4
//   SM_CXDLGFRAME, SM_CYDLGFRAME   3        6
//   SM_CXICON, SM_CYICON           32       64
//   SM_CXSMICON, SM_CYSMICON       16       32
//   SM_CXCURSOR, SM_CYCURSOR       32       64
//   SM_CXDOUBLECLK, SM_CYDOUBLECLK 4        8
//   SM_CXFULLSCREEN                screen width
//   SM_CYFULLSCREEN                screen height minus the navigation bar
//   SM_MOUSEPRESENT                0 (a touch screen, no mouse)
//   SM_CMONITORS                   1; the virtual screen is the screen
//   SM_DEBUG                       0
//
// Any other index returns 0, as Windows does for an index it does not know.
#include <algorithm>

#include "winuser.h"

#include "kernel/device.h"

namespace {

// The navigation bar's and the menu bar's height at 96 dpi.
constexpr int kBarHeight96 = 26;

// A size of the 96-dpi table on this screen, rounded as the device rounds its scaling.
int scaled(int size96, int dpi) {
    return (size96 * dpi + 48) / 96;
}

} // namespace

// Returns one system metric of the device (see the table at the top of this file), or 0 for
// an index it does not know.
WINUSERAPI int GetSystemMetrics(int nIndex) {
    const auto conf = ce::deviceConf();
    const ce::DeviceProfile& p = conf->profile;
    const int dpi = std::max(p.dpi, 1);
    switch (nIndex) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
    case SM_CXVIRTUALSCREEN: return p.width;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN: return p.height;
    case SM_CYFULLSCREEN: return std::max(p.height - scaled(kBarHeight96, dpi), 0);
    case SM_XVIRTUALSCREEN:
    case SM_YVIRTUALSCREEN: return 0;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL: return scaled(13, dpi);
    case SM_CYCAPTION:
    case SM_CYMENU: return scaled(kBarHeight96, dpi);
    case SM_CXBORDER:
    case SM_CYBORDER: return scaled(1, dpi);
    case SM_CXEDGE:
    case SM_CYEDGE: return scaled(2, dpi);
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return scaled(3, dpi);
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return scaled(32, dpi);
    case SM_CXSMICON:
    case SM_CYSMICON: return scaled(16, dpi);
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return scaled(4, dpi);
    case SM_CMONITORS: return 1;
    case SM_MOUSEPRESENT:
    case SM_DEBUG: return 0;
    default: return 0;
    }
}
