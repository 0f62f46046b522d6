// menu.h: the menus of this process as the window system keeps them, shared by the menu
// editing functions (menu.cpp) and pop-up menu tracking (menutrack.cpp).
//
// A menu is a list of entries in a process-wide table under its own lock; HMENU values are
// 32-bit numbers of that table, never reused while the process runs. Tracking works on
// snapshots (copies of the entries), so an owner may edit its menus from WM_INITMENUPOPUP or
// another thread without the tracking code holding the lock across window procedures.
//
// Inside the platform only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "windows.h"

namespace ce::user {

struct MenuEntry {
    UINT type = MFT_STRING; // MFT_SEPARATOR, MFT_RADIOCHECK ...
    UINT state = 0;         // MFS_GRAYED, MFS_CHECKED, MFS_DEFAULT
    UINT id = 0;
    uint32_t submenu = 0; // an HMENU value; 0 for a plain entry
    std::u16string text;
    ULONG_PTR data = 0;

    bool separator() const { return (type & MFT_SEPARATOR) != 0; }
    bool grayed() const { return (state & MFS_GRAYED) != 0; }
    bool checked() const { return (state & MFS_CHECKED) != 0; }
};

// A copy of a menu's entries (nullopt when the handle is not a menu).
std::optional<std::vector<MenuEntry>> menuSnapshot(uint32_t hmenu);
bool isMenuHandle(uint32_t hmenu);

// An entry's text without its mnemonic marks ("&Open" -> "Open", "&&" -> "&") and without an
// accelerator part after a tab.
std::u16string menuDisplayText(std::u16string_view text);

} // namespace ce::user
