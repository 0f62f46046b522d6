// shell.h: what the files of platform/shell (aygshell.dll) share, and the hooks the rest of
// the platform and the future shell program call: the title bar's Done button, the soft keys
// of a menu bar, and the wait indicator that follows the cursor.
//
// Inside the platform only.
#pragma once

#include "windows.h"

namespace ce::shell {

// The soft key bar's height and other sizes: a length at 96 dpi scaled to the device's dpi.
int scaled(int pixelsAt96);

// ---- Done button (dialogs.cpp) ------------------------------------------------------------------
// The title bar's button for a window, as SHDoneButton / SHInitDialog left it.
enum class DoneButton { None, Ok, Cancel };
DoneButton doneButtonOf(HWND hwnd);
// A tap on the title bar's button: posts WM_COMMAND IDOK (IDCANCEL for the X) to hwnd when it
// shows one. False when it shows none. What the shell's title bar calls.
bool pressDoneButton(HWND hwnd);
// The SHFS_HIDE* bits SHFullScreen left in force for a window of this process.
DWORD hiddenBarsOf(HWND hwnd);

// ---- Menu bar (menubar.cpp) ---------------------------------------------------------------------
// Presses soft key 0 (left) or 1 (right) of a menu bar, as its key or VK_F1/VK_F2 would.
// False when the bar has no such key, or it is hidden or disabled.
bool pressSoftKey(HWND menuBar, int key);

// ---- Menu resources (menures.cpp) ---------------------------------------------------------------
struct MenuResource {
    const struct CeMenuItem* items = nullptr;
    size_t count = 0;
};
// The items of a module's menu resource, null items when it has none.
MenuResource findMenuResource(HINSTANCE instance, LPCWSTR name);
// Builds a menu from items[*pos...] up to the end of its level; advances *pos. Null when the
// items do not form a menu.
HMENU buildMenu(const MenuResource& res, size_t* pos, bool popup);

// ---- Wait indicator (waitcursor.cpp) ------------------------------------------------------------
// Called by SetCursor after the cursor changed (outside its lock): shows the wait indicator
// while the cursor is the system's IDC_WAIT, removes it otherwise.
void cursorChanged(HCURSOR cursor);
// The indicator window of this process while it shows, else NULL (tests, cedev).
HWND waitIndicatorWindow();

} // namespace ce::shell
