// listbox.h: what the combo box (combo.cpp) asks of the LISTBOX system class beyond its
// public messages: a list box that serves as a combo box's drop-down list.
//
// Such a list is a topmost pop-up (owned by the combo box's top-level window); its
// WM_COMMAND notifications and WM_CTLCOLORLISTBOX go to the combo box instead. While it is
// shown it holds the capture: the pen moving over it follows with the highlight, lifting the
// pen on an item chooses it (LBN_SELCHANGE), and a tap anywhere else cancels (LBN_SELCANCEL).
//
// Inside the platform only (platform/user).
#pragma once

#include "windows.h"

namespace ce::user {

// The class of drop-down lists: the LISTBOX procedure under the name programs look for.
constexpr const char16_t* kComboListClass = u"ComboLBox";

// Makes a list box of this process the drop-down list of a combo box (NULL: a plain list).
void setListDropOwner(HWND list, HWND combo);
// Moves the list's selection by a key (VK_UP, VK_DOWN, VK_HOME, VK_END, VK_PRIOR, VK_NEXT)
// without notifying anyone; the new selection, or LB_ERR.
int moveListSelection(HWND list, UINT vk);

} // namespace ce::user
