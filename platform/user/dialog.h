// dialog.h: what the dialog manager (dialog.cpp, dialog_items.cpp) shares with the rest of
// the window system: the DWL_ values of dialog windows, the dialog font, and the walk over
// the controls of a group that auto radio buttons use.
//
// Inside the platform only (platform/user).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "windows.h"

namespace ce::user {

// GetWindowLong and SetWindowLong on a dialog window for DWL_MSGRESULT, DWL_DLGPROC and
// DWL_USER. These live in the dialog's own record rather than in window extra bytes: the
// documented offsets 0, 4 and 8 are 32-bit slots, and on this 64-bit host a dialog
// procedure, a result or a pointer kept in DWL_USER need 64 bits. Returns nothing when hwnd
// is not a dialog of this process or index is not one of those three (the caller then goes
// on with the window's extra bytes). DWL_DLGPROC through the 32-bit forms fails with
// ERROR_INVALID_INDEX, as GWL_WNDPROC does. newValue null: a read.
std::optional<LONG_PTR> dialogWindowLong(uint32_t hwnd, int index, const LONG_PTR* newValue,
                                         bool ptrForm);

// The controls of the group hCtl belongs to, in tab order: from the nearest control at or
// before it with WS_GROUP up to the next control with WS_GROUP. Every control, whatever its
// state (disabled and hidden ones included).
std::vector<HWND> dialogGroupOf(HWND hDlg, HWND hCtl);

// Whether the dialog manager is applying an automation answer on this thread now (so that
// EndDialog knows who closed the dialog).
bool applyingAutomationAnswer();

// The journal line of a modal dialog that has come up: "dialog.shown" with the caption and
// the controls ("100 EDIT \"Wake\", 1 BUTTON \"Done\"") in tab order (dialog_answer.cpp).
void journalDialogShown(HWND dlg);
// Takes the first answer of the automation queue, if any, and acts on it (the grammar is
// at the function in dialog_answer.cpp); journals it as "dialog.answer".
void applyDialogAnswer(HWND dlg);
// A window's text in UTF-8, for the journal.
std::string dialogTextUtf8(HWND hwnd);

} // namespace ce::user
