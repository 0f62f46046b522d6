// combo.cpp: the COMBOBOX system class: CBS_DROPDOWNLIST (a field showing the selected item)
// and CBS_DROPDOWN (an EDIT child for free text), each with a drop-down list: a LISTBOX of
// the class kComboListClass in a topmost pop-up (listbox.h) that opens on a tap on the field
// or its arrow, F4, Alt+Down or Enter, and closes on a choice, a tap outside, or Escape.
// CBS_SIMPLE is not supported (created as CBS_DROPDOWN).
//
// The list holds the items and the selection; the CB_ messages that concern items are its LB_
// messages. As on Windows, the height a program gives the combo box is that of the open list;
// the box itself keeps the height of its field.
//
// Notifications: CBN_SELCHANGE only for changes the user makes (keys, a choice in the list),
// never for CB_SETCURSEL or CB_SELECTSTRING; CBN_EDITUPDATE and CBN_EDITCHANGE when the user
// changes the edit text, not when the box sets it from the list or WM_SETTEXT; CBN_DROPDOWN
// before the list opens; CBN_SELENDOK or CBN_SELENDCANCEL, then CBN_CLOSEUP, when it closes.
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "user/controlstate.h"
#include "user/listbox.h"
#include "user/sysclass.h"

namespace {

constexpr int kEditId = 1001; // the identifier of a combo box's edit field on Windows
constexpr int kDefaultListItems = 8;

struct ComboState {
    HWND hwnd = nullptr;
    HWND edit = nullptr;
    HWND list = nullptr;
    DWORD style = 0;
    HFONT font = nullptr;
    bool dropped = false;
    bool focused = false;
    bool extendedUi = false;
    int fieldHeight = 0;
    int dropHeight = 0; // the whole height a program asked for, open list included
    int droppedWidth = 0;
    int selAtDrop = -1;
    int notifiedSel = -1; // the selection the parent last heard of while the list was open
    bool sizing = false;  // our own resize: its height is not the list's
    bool settingText = false;

    bool dropDownList() const { return (style & 3) == CBS_DROPDOWNLIST; }
};
using StatePtr = std::shared_ptr<ComboState>;

ce::user::ControlStates<ComboState>& states() {
    static ce::user::ControlStates<ComboState> map;
    return map;
}
StatePtr stateOf(HWND hwnd) {
    return states().find(hwnd);
}

void notify(const ComboState& s, int code) {
    HWND parent = GetParent(s.hwnd);
    if (!parent) return;
    WPARAM id = static_cast<WORD>(GetWindowLongW(s.hwnd, GWL_ID));
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, static_cast<WORD>(code)),
                 reinterpret_cast<LPARAM>(s.hwnd));
}

LRESULT toList(const ComboState& s, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
    return s.list ? SendMessageW(s.list, msg, wParam, lParam) : CB_ERR;
}

int currentSel(const ComboState& s) {
    return static_cast<int>(toList(s, LB_GETCURSEL));
}

int buttonWidth() {
    return std::max(8, GetSystemMetrics(SM_CXVSCROLL));
}

std::u16string itemText(const ComboState& s, int index) {
    LRESULT n = toList(s, LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (n < 0) return {};
    std::u16string text(static_cast<size_t>(n) + 1, u'\0');
    toList(s, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(n));
    return text;
}

void setEditText(ComboState& s, const std::u16string& text) {
    if (!s.edit) return;
    s.settingText = true;
    SetWindowTextW(s.edit, text.c_str());
    s.settingText = false;
    if (s.focused) SendMessageW(s.edit, EM_SETSEL, 0, -1);
}

// Shows the selection in the field or the edit text.
void showSelection(ComboState& s) {
    if (s.edit) {
        int sel = currentSel(s);
        setEditText(s, sel >= 0 ? itemText(s, sel) : std::u16string());
    }
    InvalidateRect(s.hwnd, nullptr, TRUE);
}

void layoutChildren(ComboState& s) {
    RECT r{};
    GetClientRect(s.hwnd, &r);
    if (s.edit)
        MoveWindow(s.edit, 2, 1, std::max<int>(0, r.right - buttonWidth() - 3),
                   std::max<int>(0, r.bottom - 2), TRUE);
}

void resizeField(ComboState& s) {
    s.fieldHeight = static_cast<int>(toList(s, LB_GETITEMHEIGHT)) + 2;
    RECT w{};
    GetWindowRect(s.hwnd, &w);
    s.sizing = true;
    SetWindowPos(s.hwnd, nullptr, 0, 0, w.right - w.left, s.fieldHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    s.sizing = false;
    layoutChildren(s);
}

RECT dropRect(const ComboState& s) {
    RECT w{};
    GetWindowRect(s.hwnd, &w);
    int itemHeight = std::max(1, static_cast<int>(toList(s, LB_GETITEMHEIGHT)));
    int count = static_cast<int>(toList(s, LB_GETCOUNT));
    int room = s.dropHeight > s.fieldHeight ? (s.dropHeight - s.fieldHeight) / itemHeight
                                            : kDefaultListItems;
    int items = std::clamp(count, 1, std::max(1, room));
    int height = items * itemHeight + 2;
    int width = std::max<int>(s.droppedWidth, w.right - w.left);
    int y = w.bottom;
    // Upwards when the list does not fit below the field but does above it.
    if (y + height > GetSystemMetrics(SM_CYSCREEN) && w.top - height >= 0) y = w.top - height;
    return RECT{w.left, y, w.left + width, y + height};
}

void openList(ComboState& s) {
    if (s.dropped || !s.list) return;
    notify(s, CBN_DROPDOWN);
    if (s.edit) {
        int n = GetWindowTextLengthW(s.edit);
        std::u16string text(static_cast<size_t>(n) + 1, u'\0');
        GetWindowTextW(s.edit, text.data(), n + 1);
        text.resize(static_cast<size_t>(n));
        if (!text.empty())
            toList(s, LB_SETCURSEL,
                   static_cast<WPARAM>(toList(s, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                              reinterpret_cast<LPARAM>(text.c_str()))));
    }
    s.selAtDrop = s.notifiedSel = currentSel(s);
    RECT r = dropRect(s);
    SetWindowPos(s.list, HWND_TOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
    if (s.selAtDrop >= 0) {
        // Brings the selection into view.
        toList(s, LB_SETCURSEL, static_cast<WPARAM>(-1));
        toList(s, LB_SETCURSEL, static_cast<WPARAM>(s.selAtDrop));
    }
    s.dropped = true;
    SetCapture(s.list);
    InvalidateRect(s.hwnd, nullptr, TRUE);
}

void closeList(ComboState& s, bool ok) {
    if (!s.dropped) return;
    s.dropped = false;
    if (GetCapture() == s.list) ReleaseCapture();
    ShowWindow(s.list, SW_HIDE);
    if (!ok && currentSel(s) != s.selAtDrop)
        toList(s, LB_SETCURSEL, static_cast<WPARAM>(s.selAtDrop));
    int sel = currentSel(s);
    showSelection(s);
    notify(s, ok ? CBN_SELENDOK : CBN_SELENDCANCEL);
    notify(s, CBN_CLOSEUP);
    if (sel != s.notifiedSel) notify(s, CBN_SELCHANGE);
}

// A key that moves the selection (the list open or not): the field follows and the parent
// hears CBN_SELCHANGE.
void moveSelection(ComboState& s, UINT vk) {
    int before = currentSel(s);
    int after = ce::user::moveListSelection(s.list, vk);
    if (after < 0 || after == before) return;
    showSelection(s);
    if (s.dropped) s.notifiedSel = after;
    notify(s, CBN_SELCHANGE);
}

void keyDown(ComboState& s, UINT vk) {
    switch (vk) {
    case VK_F4:
        if (s.dropped)
            closeList(s, true);
        else
            openList(s);
        break;
    case VK_RETURN:
        if (s.dropped)
            closeList(s, true);
        else if (s.dropDownList())
            openList(s);
        break;
    case VK_ESCAPE: closeList(s, false); break;
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT: moveSelection(s, vk); break;
    case VK_HOME:
    case VK_END:
        if (s.dropDownList()) moveSelection(s, vk);
        break;
    default: break;
    }
}

// A character typed on a drop-down list selects the next item that starts with it.
void character(ComboState& s, char16_t c) {
    if (!s.dropDownList() || c < 0x20) return;
    char16_t text[2] = {c, 0};
    int before = currentSel(s);
    LRESULT found =
        toList(s, LB_FINDSTRING, static_cast<WPARAM>(before), reinterpret_cast<LPARAM>(text));
    if (found < 0 || found == before) return;
    toList(s, LB_SETCURSEL, static_cast<WPARAM>(found));
    showSelection(s);
    if (s.dropped) s.notifiedSel = static_cast<int>(found);
    notify(s, CBN_SELCHANGE);
}

void fromEdit(ComboState& s, int code) {
    switch (code) {
    case EN_UPDATE:
        if (!s.settingText) notify(s, CBN_EDITUPDATE);
        break;
    case EN_CHANGE:
        if (s.settingText) break;
        // Typed text selects nothing until it is chosen from the list again.
        if (!s.dropped) toList(s, LB_SETCURSEL, static_cast<WPARAM>(-1));
        notify(s, CBN_EDITCHANGE);
        break;
    case EN_SETFOCUS:
        if (s.focused) break;
        s.focused = true;
        notify(s, CBN_SETFOCUS);
        break;
    case EN_KILLFOCUS:
        if (!s.focused) break;
        s.focused = false;
        closeList(s, false);
        notify(s, CBN_KILLFOCUS);
        break;
    default: break;
    }
}

HBRUSH fieldBrush(const ComboState& s, HDC dc) {
    bool enabled = IsWindowEnabled(s.hwnd) != FALSE;
    UINT msg = enabled ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC;
    SetTextColor(dc, GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    HWND parent = GetParent(s.hwnd);
    auto brush =
        reinterpret_cast<HBRUSH>(parent ? SendMessageW(parent, msg, reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(s.hwnd))
                                        : 0);
    return brush ? brush : GetSysColorBrush(COLOR_WINDOW);
}

void drawArrow(HDC dc, const RECT& button, COLORREF color) {
    // A small filled triangle pointing down, centred in the button.
    int width = std::max(3, static_cast<int>(button.right - button.left) / 2) | 1;
    int rows = width / 2 + 1;
    int x = static_cast<int>(button.left + button.right - width) / 2;
    int y = static_cast<int>(button.top + button.bottom - rows) / 2;
    HBRUSH brush = CreateSolidBrush(color);
    for (int i = 0; i < rows; ++i) {
        RECT row{x + i, y + i, x + width - i, y + i + 1};
        FillRect(dc, &row, brush);
    }
    DeleteObject(brush);
}

void paint(ComboState& s) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(s.hwnd, &ps);
    if (!dc) return;
    RECT client{};
    GetClientRect(s.hwnd, &client);
    FillRect(dc, &client, fieldBrush(s, dc));
    COLORREF textColor = GetTextColor(dc);
    RECT button{client.right - buttonWidth(), client.top, client.right, client.bottom};
    if (s.dropDownList()) {
        RECT text{client.left + 2, client.top + 2, button.left - 1, client.bottom - 2};
        bool highlight = s.focused && !s.dropped && IsWindowEnabled(s.hwnd);
        if (highlight) FillRect(dc, &text, GetSysColorBrush(COLOR_HIGHLIGHT));
        int sel = currentSel(s);
        if (sel >= 0) {
            std::u16string str = itemText(s, sel);
            HGDIOBJ old = SelectObject(dc, s.font ? s.font : GetStockObject(SYSTEM_FONT));
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, highlight ? GetSysColor(COLOR_HIGHLIGHTTEXT) : textColor);
            RECT inner = text;
            inner.left += 2;
            DrawTextW(dc, str.c_str(), static_cast<int>(str.size()), &inner,
                      DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);
            SelectObject(dc, old);
        }
    }
    HBRUSH frame = GetSysColorBrush(COLOR_WINDOWFRAME);
    FrameRect(dc, &client, frame);
    RECT line{button.left, client.top, button.left + 1, client.bottom};
    FillRect(dc, &line, frame);
    drawArrow(dc, button, textColor);
    EndPaint(s.hwnd, &ps);
}

void pointerDown(ComboState& s, POINT p) {
    if (s.edit) {
        if (GetFocus() != s.edit) SetFocus(s.edit);
    } else if (GetFocus() != s.hwnd) {
        SetFocus(s.hwnd);
    }
    RECT client{};
    GetClientRect(s.hwnd, &client);
    bool onButton = p.x >= client.right - buttonWidth();
    if (!s.dropDownList() && !onButton) return;
    if (s.dropped)
        closeList(s, false);
    else
        openList(s);
}

LRESULT create(HWND hwnd, const CREATESTRUCTW* cs) {
    auto s = std::make_shared<ComboState>();
    s->hwnd = hwnd;
    s->style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    if ((s->style & 3) == CBS_SIMPLE) s->style = (s->style & ~3u) | CBS_DROPDOWN;
    s->dropHeight = cs ? cs->cy : 0;
    { states().put(hwnd, s); }
    HINSTANCE instance = ce::user::systemClassInstance();
    DWORD listStyle = WS_POPUP | WS_BORDER | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
    if (s->style & CBS_SORT) listStyle |= LBS_SORT;
    if (s->style & CBS_HASSTRINGS) listStyle |= LBS_HASSTRINGS;
    if (s->style & CBS_OWNERDRAWFIXED) listStyle |= LBS_OWNERDRAWFIXED;
    if (s->style & CBS_OWNERDRAWVARIABLE) listStyle |= LBS_OWNERDRAWVARIABLE;
    s->list = CreateWindowExW(WS_EX_TOPMOST, ce::user::kComboListClass, nullptr, listStyle, 0, 0, 0,
                              0, hwnd, nullptr, instance, nullptr);
    if (!s->list) return -1;
    ce::user::setListDropOwner(s->list, hwnd);
    if (!s->dropDownList()) {
        DWORD editStyle = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ES_COMBOBOX;
        if (s->style & CBS_UPPERCASE) editStyle |= ES_UPPERCASE;
        if (s->style & CBS_LOWERCASE) editStyle |= ES_LOWERCASE;
        s->edit = CreateWindowExW(0, u"EDIT", cs ? cs->lpszName : nullptr, editStyle, 0, 0, 0, 0,
                                  hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)),
                                  instance, nullptr);
        if (!s->edit) return -1;
    }
    resizeField(*s);
    return 0;
}

LRESULT setText(ComboState& s, LPCWSTR text) {
    std::u16string value = text ? std::u16string(text) : std::u16string();
    LRESULT match = toList(s, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(value.c_str()));
    if (s.dropDownList()) {
        if (match < 0) return CB_ERR;
        toList(s, LB_SETCURSEL, static_cast<WPARAM>(match));
        InvalidateRect(s.hwnd, nullptr, TRUE);
        return TRUE;
    }
    toList(s, LB_SETCURSEL, static_cast<WPARAM>(match < 0 ? -1 : match));
    s.settingText = true;
    SetWindowTextW(s.edit, value.c_str());
    s.settingText = false;
    return TRUE;
}

LRESULT getText(const ComboState& s, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (s.edit) return SendMessageW(s.edit, msg, wParam, lParam);
    int sel = currentSel(s);
    std::u16string text = sel >= 0 ? itemText(s, sel) : std::u16string();
    if (msg == WM_GETTEXTLENGTH) return static_cast<LRESULT>(text.size());
    auto buffer = reinterpret_cast<LPWSTR>(lParam);
    if (!buffer || wParam == 0) return 0;
    size_t n = std::min(text.size(), static_cast<size_t>(wParam) - 1);
    std::copy_n(text.data(), n, buffer);
    buffer[n] = 0;
    return static_cast<LRESULT>(n);
}

// The CB_ messages that are the list's LB_ messages, with the field kept in step.
LRESULT itemMessage(ComboState& s, UINT msg, WPARAM wParam, LPARAM lParam) {
    static const std::map<UINT, UINT> kToList = {
        {CB_ADDSTRING, LB_ADDSTRING},
        {CB_INSERTSTRING, LB_INSERTSTRING},
        {CB_DELETESTRING, LB_DELETESTRING},
        {CB_RESETCONTENT, LB_RESETCONTENT},
        {CB_GETCOUNT, LB_GETCOUNT},
        {CB_GETCURSEL, LB_GETCURSEL},
        {CB_SETCURSEL, LB_SETCURSEL},
        {CB_GETLBTEXT, LB_GETTEXT},
        {CB_GETLBTEXTLEN, LB_GETTEXTLEN},
        {CB_GETITEMDATA, LB_GETITEMDATA},
        {CB_SETITEMDATA, LB_SETITEMDATA},
        {CB_FINDSTRING, LB_FINDSTRING},
        {CB_FINDSTRINGEXACT, LB_FINDSTRINGEXACT},
        {CB_SELECTSTRING, LB_SELECTSTRING},
        {CB_GETTOPINDEX, LB_GETTOPINDEX},
        {CB_SETTOPINDEX, LB_SETTOPINDEX},
    };
    auto it = kToList.find(msg);
    if (it == kToList.end()) return CB_ERR;
    int before = currentSel(s);
    LRESULT result = toList(s, it->second, wParam, lParam);
    if (msg == CB_RESETCONTENT && s.edit) setEditText(s, u"");
    if (msg == CB_SETCURSEL || msg == CB_SELECTSTRING ||
        (msg == CB_DELETESTRING && currentSel(s) != before))
        showSelection(s);
    else if (msg == CB_RESETCONTENT || msg == CB_DELETESTRING)
        InvalidateRect(s.hwnd, nullptr, TRUE);
    return result;
}

LRESULT handle(ComboState& s, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = s.hwnd;
    switch (msg) {
    case CB_ADDSTRING:
    case CB_INSERTSTRING:
    case CB_DELETESTRING:
    case CB_RESETCONTENT:
    case CB_GETCOUNT:
    case CB_GETCURSEL:
    case CB_SETCURSEL:
    case CB_GETLBTEXT:
    case CB_GETLBTEXTLEN:
    case CB_GETITEMDATA:
    case CB_SETITEMDATA:
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
    case CB_SELECTSTRING:
    case CB_GETTOPINDEX:
    case CB_SETTOPINDEX: return itemMessage(s, msg, wParam, lParam);
    case CB_SHOWDROPDOWN:
        if (wParam)
            openList(s);
        else
            closeList(s, false);
        return TRUE;
    case CB_GETDROPPEDSTATE: return s.dropped ? TRUE : FALSE;
    case CB_GETDROPPEDCONTROLRECT:
        if (auto r = reinterpret_cast<RECT*>(lParam)) *r = dropRect(s);
        return lParam ? TRUE : FALSE;
    case CB_SETDROPPEDWIDTH:
        if (static_cast<int>(wParam) < 0) return CB_ERR;
        s.droppedWidth = static_cast<int>(wParam);
        return s.droppedWidth;
    case CB_GETDROPPEDWIDTH: {
        RECT w{};
        GetWindowRect(hwnd, &w);
        return std::max<int>(s.droppedWidth, w.right - w.left);
    }
    case CB_GETITEMHEIGHT:
        return static_cast<int>(static_cast<INT_PTR>(wParam)) == -1
                   ? s.fieldHeight
                   : toList(s, LB_GETITEMHEIGHT, wParam, lParam);
    case CB_SETITEMHEIGHT:
        if (static_cast<int>(static_cast<INT_PTR>(wParam)) == -1) return CB_ERR;
        if (toList(s, LB_SETITEMHEIGHT, wParam, lParam) == LB_ERR) return CB_ERR;
        resizeField(s);
        return CB_OKAY;
    case CB_SETEXTENDEDUI: s.extendedUi = wParam != 0; return CB_OKAY;
    case CB_GETEXTENDEDUI: return s.extendedUi ? TRUE : FALSE;
    case CB_LIMITTEXT:
        if (s.edit) SendMessageW(s.edit, EM_LIMITTEXT, wParam, 0);
        return TRUE;
    case CB_GETEDITSEL:
        if (!s.edit) return CB_ERR;
        return SendMessageW(s.edit, EM_GETSEL, wParam, lParam);
    case CB_SETEDITSEL: {
        if (!s.edit) return CB_ERR;
        int start = static_cast<short>(LOWORD(lParam));
        int end = static_cast<short>(HIWORD(lParam));
        SendMessageW(s.edit, EM_SETSEL, static_cast<WPARAM>(start), end);
        return TRUE;
    }
    case WM_SETTEXT: return setText(s, reinterpret_cast<LPCWSTR>(lParam));
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: return getText(s, msg, wParam, lParam);
    case WM_SETFONT:
        s.font = reinterpret_cast<HFONT>(wParam);
        toList(s, WM_SETFONT, wParam, 0);
        if (s.edit) SendMessageW(s.edit, WM_SETFONT, wParam, 0);
        resizeField(s);
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s.font);
    case WM_WINDOWPOSCHANGING: {
        auto wp = reinterpret_cast<WINDOWPOS*>(lParam);
        if (wp && !(wp->flags & SWP_NOSIZE) && !s.sizing) {
            s.dropHeight = wp->cy; // a program's height includes the open list
            wp->cy = s.fieldHeight;
        }
        return 0;
    }
    case WM_SIZE: layoutChildren(s); return 0;
    case WM_PAINT: paint(s); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_ENABLE:
        if (s.edit) EnableWindow(s.edit, static_cast<BOOL>(wParam));
        if (!wParam) closeList(s, false);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_SETFOCUS:
        if (s.edit) {
            SetFocus(s.edit);
            return 0;
        }
        s.focused = true;
        InvalidateRect(hwnd, nullptr, TRUE);
        notify(s, CBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        if (s.edit) return 0; // the edit field reports the focus
        s.focused = false;
        closeList(s, false);
        InvalidateRect(hwnd, nullptr, TRUE);
        notify(s, CBN_KILLFOCUS);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS | (s.dropped ? DLGC_WANTALLKEYS : 0);
    case WM_KEYDOWN: keyDown(s, static_cast<UINT>(wParam)); return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_DOWN || wParam == VK_UP) {
            if (s.dropped)
                closeList(s, true);
            else
                openList(s);
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_CHAR: character(s, static_cast<char16_t>(wParam)); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        pointerDown(s,
                    POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_COMMAND: {
        auto from = reinterpret_cast<HWND>(lParam);
        if (from && from == s.edit) fromEdit(s, HIWORD(wParam));
        if (from && from == s.list) {
            if (HIWORD(wParam) == LBN_SELCHANGE)
                closeList(s, true);
            else if (HIWORD(wParam) == LBN_SELCANCEL)
                closeList(s, false);
        }
        return 0;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX: {
        // The children's colours are the parent's choice, as for the box itself.
        HWND parent = GetParent(hwnd);
        return parent ? SendMessageW(parent, msg, wParam, lParam)
                      : DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    case WM_DESTROY:
        if (s.list && IsWindow(s.list)) DestroyWindow(s.list);
        s.list = nullptr;
        return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK comboProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) return create(hwnd, reinterpret_cast<const CREATESTRUCTW*>(lParam));
    if (msg == WM_NCDESTROY) {
        states().erase(hwnd);
        return 0;
    }
    StatePtr s = stateOf(hwnd);
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    if ((style & 3) == CBS_SIMPLE) style = (style & ~3u) | CBS_DROPDOWN;
    s->style = style;
    return handle(*s, msg, wParam, lParam);
}

void registerComboClass() {
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
    wc.lpfnWndProc = comboProc;
    wc.hInstance = ce::user::systemClassInstance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = u"COMBOBOX";
    RegisterClassW(&wc);
}

const ce::user::SystemClassRegistration comboRegistration(registerComboClass);

} // namespace
