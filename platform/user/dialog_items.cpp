// dialog_items.cpp: the controls of a dialog: GetDlgItem and GetDlgCtrlID, the text, number
// and check-state helpers (SetDlgItemTextW ... CheckRadioButton, SendDlgItemMessageW), the
// tab and group order (GetNextDlgTabItem, GetNextDlgGroupItem), and the dialog keyboard
// (IsDialogMessageW).
//
// The order of the controls is their creation order, which is the order of the template and
// the order GetWindow(GW_CHILD) / GW_HWNDNEXT walks. A group starts at a control with
// WS_GROUP and runs to the next such control.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "user/dialog.h"
#include "user/userstate.h"

namespace {

std::vector<HWND> controlsOf(HWND dlg) {
    std::vector<HWND> out;
    for (HWND c = GetWindow(dlg, GW_CHILD); c && out.size() < 4096; c = GetWindow(c, GW_HWNDNEXT))
        out.push_back(c);
    return out;
}

LONG styleOf(HWND hwnd) {
    return GetWindowLongW(hwnd, GWL_STYLE);
}

// A control the keyboard can reach: visible and enabled.
bool reachable(HWND hwnd) {
    LONG s = styleOf(hwnd);
    return (s & WS_VISIBLE) && !(s & WS_DISABLED);
}

// The direct child of dlg that hwnd is or lies in (a control's own children, such as a
// combo box's edit, stand for the control).
HWND controlOf(HWND dlg, HWND hwnd) {
    for (int depth = 0; hwnd && depth < 64; ++depth) {
        HWND parent = GetParent(hwnd);
        if (parent == dlg) return hwnd;
        if (!(styleOf(hwnd) & WS_CHILD)) return nullptr;
        hwnd = parent;
    }
    return nullptr;
}

void clickButton(HWND dlg, HWND button) {
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(button)), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

// Enter: the push button that has the focus, else the default push button (DM_GETDEFID;
// IDOK when there is none), unless that button is disabled.
void pressDefault(HWND dlg, HWND focus, LRESULT focusCode) {
    if (focus && (focusCode & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
        if (IsWindowEnabled(focus)) clickButton(dlg, focus);
        return;
    }
    LRESULT def = SendMessageW(dlg, DM_GETDEFID, 0, 0);
    int id = HIWORD(def) == DC_HASDEFID ? static_cast<short>(LOWORD(def)) : IDOK;
    HWND button = GetDlgItem(dlg, id);
    if (button && !IsWindowEnabled(button)) return;
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

void focusControl(HWND dlg, HWND ctl) {
    if (!ctl) return;
    SendMessageW(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ctl), TRUE);
}

// Arrow keys in a group: the next reachable control of the group takes the focus; an auto
// radio button that gets it is checked, as if tapped.
void moveInGroup(HWND dlg, HWND focus, bool previous) {
    HWND next = GetNextDlgGroupItem(dlg, focus, previous);
    if (!next || next == focus) return;
    LRESULT code = SendMessageW(next, WM_GETDLGCODE, 0, 0);
    focusControl(dlg, next);
    if ((code & DLGC_RADIOBUTTON) && (styleOf(next) & BS_TYPEMASK) == BS_AUTORADIOBUTTON &&
        SendMessageW(next, BM_GETCHECK, 0, 0) != BST_CHECKED)
        SendMessageW(next, BM_CLICK, 0, 0);
}

} // namespace

namespace ce::user {

std::vector<HWND> dialogGroupOf(HWND hDlg, HWND hCtl) {
    std::vector<HWND> all = controlsOf(hDlg);
    auto it = std::find(all.begin(), all.end(), hCtl);
    if (it == all.end()) return {};
    size_t at = static_cast<size_t>(it - all.begin());
    size_t start = at;
    while (start > 0 && !(styleOf(all[start]) & WS_GROUP))
        --start;
    size_t end = at + 1;
    while (end < all.size() && !(styleOf(all[end]) & WS_GROUP))
        ++end;
    return std::vector<HWND>(all.begin() + static_cast<ptrdiff_t>(start),
                             all.begin() + static_cast<ptrdiff_t>(end));
}

} // namespace ce::user

// The control of the dialog with the identifier (a direct child); NULL with
// ERROR_CONTROL_ID_NOT_FOUND when there is none.
WINUSERAPI HWND GetDlgItem(HWND hDlg, int nIDDlgItem) {
    if (!IsWindow(hDlg)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    for (HWND c : controlsOf(hDlg))
        if (GetDlgCtrlID(c) == nIDDlgItem) return c;
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

// The identifier of a child window; 0 for a top-level window, which has none.
WINUSERAPI int GetDlgCtrlID(HWND hWnd) {
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (!(styleOf(hWnd) & WS_CHILD)) return 0;
    return static_cast<int>(GetWindowLongPtrW(hWnd, GWL_ID));
}

// The next (or previous) visible, enabled control with WS_TABSTOP after hCtl, wrapping
// around; from the start (or end) when hCtl is NULL. hCtl itself when no other control
// qualifies; NULL when no control does.
WINUSERAPI HWND GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious) {
    std::vector<HWND> all = controlsOf(hDlg);
    if (all.empty()) return nullptr;
    if (bPrevious) std::reverse(all.begin(), all.end());
    HWND ctl = hCtl ? controlOf(hDlg, hCtl) : nullptr;
    size_t n = all.size();
    size_t start = 0;
    if (ctl) {
        auto it = std::find(all.begin(), all.end(), ctl);
        if (it != all.end()) start = static_cast<size_t>(it - all.begin()) + 1;
    }
    for (size_t i = 0; i < n; ++i) {
        HWND c = all[(start + i) % n];
        if ((styleOf(c) & WS_TABSTOP) && reachable(c)) return c;
    }
    return nullptr;
}

// The next (or previous) visible, enabled control of hCtl's group, wrapping around within
// the group; hCtl itself when there is no other.
WINUSERAPI HWND GetNextDlgGroupItem(HWND hDlg, HWND hCtl, BOOL bPrevious) {
    HWND ctl = hCtl ? controlOf(hDlg, hCtl) : nullptr;
    if (!ctl) {
        std::vector<HWND> all = controlsOf(hDlg);
        if (all.empty()) return nullptr;
        ctl = all.front();
    }
    std::vector<HWND> group = ce::user::dialogGroupOf(hDlg, ctl);
    if (group.empty()) return nullptr;
    if (bPrevious) std::reverse(group.begin(), group.end());
    size_t at = static_cast<size_t>(std::find(group.begin(), group.end(), ctl) - group.begin());
    for (size_t i = 1; i <= group.size(); ++i) {
        HWND c = group[(at + i) % group.size()];
        if (reachable(c)) return c;
    }
    return ctl;
}

WINUSERAPI BOOL SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString) {
    HWND ctl = GetDlgItem(hDlg, nIDDlgItem);
    return ctl ? SetWindowTextW(ctl, lpString) : FALSE;
}

// The control's text, cut to fit; an empty string (when there is room) and 0 when there is
// no such control.
WINUSERAPI UINT GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int nMaxCount) {
    HWND ctl = GetDlgItem(hDlg, nIDDlgItem);
    if (!ctl) {
        if (lpString && nMaxCount > 0) lpString[0] = 0;
        return 0;
    }
    int n = GetWindowTextW(ctl, lpString, nMaxCount);
    return static_cast<UINT>(std::max(n, 0));
}

// The control's text becomes the number: signed or unsigned decimal.
WINUSERAPI BOOL SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned) {
    char narrow[16];
    if (bSigned)
        std::snprintf(narrow, sizeof narrow, "%d", static_cast<int>(uValue));
    else
        std::snprintf(narrow, sizeof narrow, "%u", uValue);
    WCHAR text[16] = {};
    for (size_t i = 0; narrow[i] && i < 15; ++i)
        text[i] = static_cast<WCHAR>(narrow[i]);
    return SetDlgItemTextW(hDlg, nIDDlgItem, text);
}

// The control's text as a number: spaces around it are allowed, a minus sign when bSigned,
// nothing else. A text that is not a number, or one beyond INT_MIN..INT_MAX (signed) or
// UINT_MAX (unsigned), gives 0 with *lpTranslated FALSE.
WINUSERAPI UINT GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned) {
    if (lpTranslated) *lpTranslated = FALSE;
    WCHAR text[64];
    HWND ctl = GetDlgItem(hDlg, nIDDlgItem);
    if (!ctl) return 0;
    int n = GetWindowTextW(ctl, text, 64);
    if (n <= 0 || n >= 63) return 0; // empty, or longer than any number
    int i = 0;
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (bSigned && i < n && text[i] == u'-') {
        negative = true;
        ++i;
    }
    int64_t value = 0;
    int digits = 0;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') {
        value = value * 10 + (text[i] - u'0');
        if (value > 0xFFFFFFFFLL) return 0;
        ++i;
        ++digits;
    }
    while (i < n && text[i] == u' ')
        ++i;
    if (!digits || i != n) return 0;
    if (negative) value = -value;
    if (bSigned ? (value < INT32_MIN || value > INT32_MAX) : value > UINT32_MAX) return 0;
    if (lpTranslated) *lpTranslated = TRUE;
    return static_cast<UINT>(static_cast<uint32_t>(static_cast<int64_t>(value)));
}

WINUSERAPI BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
    HWND ctl = GetDlgItem(hDlg, nIDButton);
    if (!ctl) return FALSE;
    SendMessageW(ctl, BM_SETCHECK, uCheck, 0);
    return TRUE;
}

WINUSERAPI UINT IsDlgButtonChecked(HWND hDlg, int nIDButton) {
    HWND ctl = GetDlgItem(hDlg, nIDButton);
    return ctl ? static_cast<UINT>(SendMessageW(ctl, BM_GETCHECK, 0, 0)) : 0;
}

// Checks one button of the identifiers first..last and clears the others of that range.
WINUSERAPI BOOL CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton,
                                 int nIDCheckButton) {
    if (!IsWindow(hDlg)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    for (HWND c : controlsOf(hDlg)) {
        int id = GetDlgCtrlID(c);
        if (id < nIDFirstButton || id > nIDLastButton) continue;
        SendMessageW(c, BM_SETCHECK, id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    return TRUE;
}

// SendMessageW to the control with the identifier; 0 when there is none.
WINUSERAPI LRESULT SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam,
                                       LPARAM lParam) {
    HWND ctl = GetDlgItem(hDlg, nIDDlgItem);
    return ctl ? SendMessageW(ctl, Msg, wParam, lParam) : 0;
}

// The dialog keyboard for a message of the dialog or its controls: Tab and Shift+Tab move
// through the tab stops, the arrow keys through the group, Enter presses the default push
// button, Escape sends IDCANCEL; a control keeps the keys its WM_GETDLGCODE asks for
// (DLGC_WANTTAB, DLGC_WANTARROWS, DLGC_WANTALLKEYS, DLGC_WANTCHARS). Every other message of
// the dialog is translated and dispatched here. FALSE for a message of another window.
WINUSERAPI BOOL IsDialogMessageW(HWND hDlg, LPMSG lpMsg) {
    if (!lpMsg || !hDlg || !IsWindow(hDlg)) return FALSE;
    if (lpMsg->hwnd != hDlg && !IsChild(hDlg, lpMsg->hwnd)) return FALSE;
    HWND target = lpMsg->hwnd;
    LRESULT code = 0;
    if (target != hDlg && (lpMsg->message == WM_KEYDOWN || lpMsg->message == WM_CHAR))
        code = SendMessageW(target, WM_GETDLGCODE, lpMsg->wParam, reinterpret_cast<LPARAM>(lpMsg));
    if (lpMsg->message == WM_KEYDOWN && !(code & DLGC_WANTALLKEYS)) {
        bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
        switch (lpMsg->wParam) {
        case VK_TAB:
            if (code & DLGC_WANTTAB) break;
            focusControl(hDlg, GetNextDlgTabItem(hDlg, target == hDlg ? nullptr : target, shift));
            return TRUE;
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
            if (code & DLGC_WANTARROWS) break;
            if (target != hDlg)
                moveInGroup(hDlg, target, lpMsg->wParam == VK_LEFT || lpMsg->wParam == VK_UP);
            return TRUE;
        case VK_RETURN: pressDefault(hDlg, target == hDlg ? nullptr : target, code); return TRUE;
        case VK_ESCAPE: {
            HWND cancel = GetDlgItem(hDlg, IDCANCEL);
            if (!cancel || IsWindowEnabled(cancel))
                SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                             reinterpret_cast<LPARAM>(cancel));
            return TRUE;
        }
        default: break;
        }
    }
    if (lpMsg->message == WM_CHAR && !(code & (DLGC_WANTCHARS | DLGC_WANTALLKEYS))) {
        // The characters of the keys handled above go nowhere.
        WPARAM ch = lpMsg->wParam;
        if (ch == u'\t' && !(code & DLGC_WANTTAB)) return TRUE;
        if (ch == u'\r' || ch == 0x1B) return TRUE;
    }
    TranslateMessage(lpMsg);
    DispatchMessageW(lpMsg);
    return TRUE;
}
