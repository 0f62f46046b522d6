// listbox.cpp: the LISTBOX system class (single selection) and the same procedure under the
// class name of a combo box's drop-down list (listbox.h).
//
// Items are strings with a 32-bit value each; LBS_SORT keeps LB_ADDSTRING in order without
// regard to case, LB_INSERTSTRING never sorts. The selection follows its item when items are
// inserted or deleted before it. LBN_SELCHANGE reports a change the user made (keys, pen),
// never one made by LB_SETCURSEL or LB_SELECTSTRING, as documented. Owner-drawn lists
// (LBS_OWNERDRAWFIXED) ask their parent to draw each item with WM_DRAWITEM; without
// LBS_HASSTRINGS they keep the caller's value instead of a string (LB_GETTEXT gives it back).
// Their item height is set with LB_SETITEMHEIGHT: no WM_MEASUREITEM is sent.
//
// Looks: items a line of the font plus a little air, the selection in COLOR_HIGHLIGHT, a thin
// scroll indicator at the right edge instead of a scroll bar. Dragging the pen scrolls.
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "kernel/strings.h"
#include "user/controlstate.h"
#include "user/listbox.h"
#include "user/sysclass.h"

namespace {

// Beyond this many items LB_ADDSTRING and LB_INSERTSTRING answer LB_ERRSPACE: the device's
// limit, and a bound on what a careless caller can make this process allocate.
constexpr size_t kMaxItems = 32767;
constexpr UINT kDoubleTapMs = 500;

struct Item {
    std::u16string text;
    ULONG_PTR data = 0;
};

struct ListState {
    HWND hwnd = nullptr;
    DWORD style = 0;
    std::vector<Item> items;
    int selected = -1;
    int top = 0;
    int itemHeight = 0;
    HFONT font = nullptr;
    bool focused = false;
    bool dropMode = false;
    HWND dropOwner = nullptr; // the combo box a drop-down list reports to
    // Pen: where it went down, the top index then, and whether it moved far enough to scroll.
    bool penDown = false;
    bool scrolling = false;
    POINT downAt{};
    int downTop = 0;
    // The last tap, for LBN_DBLCLK.
    int lastTapItem = -1;
    DWORD lastTapTime = 0;

    int count() const { return static_cast<int>(items.size()); }
    bool hasStrings() const {
        return !(style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) || (style & LBS_HASSTRINGS);
    }
};
using StatePtr = std::shared_ptr<ListState>;

ce::user::ControlStates<ListState>& states() {
    static ce::user::ControlStates<ListState> map;
    return map;
}
StatePtr stateOf(HWND hwnd) {
    return states().find(hwnd);
}

HWND notifyTarget(const ListState& s) {
    return s.dropOwner ? s.dropOwner : GetParent(s.hwnd);
}

void notify(const ListState& s, int code) {
    if (!(s.style & LBS_NOTIFY)) return;
    HWND parent = notifyTarget(s);
    if (!parent) return;
    WPARAM id = static_cast<WORD>(GetWindowLongW(s.hwnd, GWL_ID));
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, static_cast<WORD>(code)),
                 reinterpret_cast<LPARAM>(s.hwnd));
}

int dpiScale(HWND hwnd, int pixels) {
    HDC dc = GetDC(hwnd);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(hwnd, dc);
    return pixels * std::max(96, dpi) / 96;
}

int fontHeight(HFONT font) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return 12;
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(SYSTEM_FONT));
    TEXTMETRICW tm{};
    int h = GetTextMetricsW(dc, &tm) ? static_cast<int>(tm.tmHeight) : 12;
    SelectObject(dc, old);
    DeleteDC(dc);
    return h;
}

int compareNoCase(std::u16string_view a, std::u16string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char16_t x = ce::foldCase(a[i]), y = ce::foldCase(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int clientHeight(const ListState& s) {
    RECT r{};
    GetClientRect(s.hwnd, &r);
    return static_cast<int>(r.bottom - r.top);
}

// Whole items the client area shows (at least one).
int pageSize(const ListState& s) {
    return std::max(1, clientHeight(s) / std::max(1, s.itemHeight));
}

int maxTop(const ListState& s) {
    return std::max(0, s.count() - pageSize(s));
}

void redraw(const ListState& s) {
    InvalidateRect(s.hwnd, nullptr, TRUE);
}

void setTop(ListState& s, int top) {
    top = std::clamp(top, 0, maxTop(s));
    if (top == s.top) return;
    s.top = top;
    redraw(s);
}

void showItem(ListState& s, int index) {
    if (index < 0) return;
    if (index < s.top)
        setTop(s, index);
    else if (index >= s.top + pageSize(s))
        setTop(s, index - pageSize(s) + 1);
}

void select(ListState& s, int index) {
    if (index == s.selected) return;
    s.selected = index;
    showItem(s, index);
    redraw(s);
}

std::u16string itemString(const ListState& s, LPARAM lParam) {
    if (!s.hasStrings()) return {};
    auto text = reinterpret_cast<LPCWSTR>(lParam);
    return text ? std::u16string(text) : std::u16string();
}

LRESULT insertItem(ListState& s, int index, LPARAM lParam, bool sorted) {
    if (s.items.size() >= kMaxItems) {
        notify(s, LBN_ERRSPACE);
        return LB_ERRSPACE;
    }
    Item item{itemString(s, lParam), s.hasStrings() ? 0 : static_cast<ULONG_PTR>(lParam)};
    if (sorted && s.hasStrings()) {
        // After the items that compare equal, so equal strings keep the order they came in.
        auto it = std::upper_bound(
            s.items.begin(), s.items.end(), item.text,
            [](const std::u16string& t, const Item& i) { return compareNoCase(t, i.text) < 0; });
        index = static_cast<int>(it - s.items.begin());
    } else if (index == -1) {
        index = s.count();
    }
    if (index < 0 || index > s.count()) return LB_ERR;
    s.items.insert(s.items.begin() + index, std::move(item));
    if (s.selected >= index) ++s.selected;
    redraw(s);
    return index;
}

LRESULT deleteItem(ListState& s, WPARAM wParam) {
    int index = static_cast<int>(static_cast<INT_PTR>(wParam));
    if (index < 0 || index >= s.count()) return LB_ERR;
    s.items.erase(s.items.begin() + index);
    if (s.selected == index)
        s.selected = -1;
    else if (s.selected > index)
        --s.selected;
    s.top = std::clamp(s.top, 0, maxTop(s));
    redraw(s);
    return s.count();
}

// LB_FINDSTRING and LB_FINDSTRINGEXACT: from the item after `start` to the end, then from
// the top, without regard to case.
LRESULT findString(const ListState& s, WPARAM wParam, LPARAM lParam, bool exact) {
    if (s.items.empty()) return LB_ERR;
    int n = s.count();
    int start = static_cast<int>(static_cast<INT_PTR>(wParam));
    if (start < -1 || start >= n) start = -1;
    if (!s.hasStrings()) {
        for (int k = 1; k <= n; ++k) {
            int i = (start + k) % n;
            if (s.items[static_cast<size_t>(i)].data == static_cast<ULONG_PTR>(lParam)) return i;
        }
        return LB_ERR;
    }
    auto text = reinterpret_cast<LPCWSTR>(lParam);
    std::u16string_view wanted = text ? std::u16string_view(text) : std::u16string_view();
    for (int k = 1; k <= n; ++k) {
        int i = (start + k) % n;
        std::u16string_view t = s.items[static_cast<size_t>(i)].text;
        if (exact ? ce::equalNoCase(t, wanted)
                  : (t.size() >= wanted.size() &&
                     ce::equalNoCase(t.substr(0, wanted.size()), wanted)))
            return i;
    }
    return LB_ERR;
}

int itemAt(const ListState& s, POINT p) {
    if (p.y < 0) return -1;
    int i = s.top + static_cast<int>(p.y) / std::max(1, s.itemHeight);
    return i < s.count() ? i : -1;
}

int keyTarget(const ListState& s, UINT vk) {
    int n = s.count();
    if (n == 0) return -1;
    int cur = s.selected;
    switch (vk) {
    case VK_UP: return cur < 0 ? 0 : std::max(0, cur - 1);
    case VK_DOWN: return cur < 0 ? 0 : std::min(n - 1, cur + 1);
    case VK_HOME: return 0;
    case VK_END: return n - 1;
    case VK_PRIOR: return std::max(0, (cur < 0 ? 0 : cur) - pageSize(s) + 1);
    case VK_NEXT: return std::min(n - 1, (cur < 0 ? 0 : cur) + pageSize(s) - 1);
    default: return -2;
    }
}

HBRUSH listBrush(const ListState& s, HDC dc) {
    SetTextColor(dc, GetSysColor(IsWindowEnabled(s.hwnd) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    HWND parent = notifyTarget(s);
    auto brush = reinterpret_cast<HBRUSH>(parent ? SendMessageW(parent, WM_CTLCOLORLISTBOX,
                                                                reinterpret_cast<WPARAM>(dc),
                                                                reinterpret_cast<LPARAM>(s.hwnd))
                                                 : 0);
    return brush ? brush : GetSysColorBrush(COLOR_WINDOW);
}

// An owner-drawn item: WM_DRAWITEM to the parent (for a drop-down list, to the combo box's
// parent, naming the combo box).
void drawOwnerItem(const ListState& s, HDC dc, int index, const RECT& r) {
    HWND control = s.dropOwner ? s.dropOwner : s.hwnd;
    HWND target = GetParent(control);
    if (!target) return;
    DRAWITEMSTRUCT dis{};
    dis.CtlType = s.dropOwner ? ODT_COMBOBOX : ODT_LISTBOX;
    dis.CtlID = static_cast<UINT>(GetWindowLongW(control, GWL_ID));
    dis.itemID = static_cast<UINT>(index);
    dis.itemAction = ODA_DRAWENTIRE;
    if (index == s.selected) dis.itemState |= ODS_SELECTED;
    if (index == s.selected && s.focused) dis.itemState |= ODS_FOCUS;
    if (!IsWindowEnabled(s.hwnd)) dis.itemState |= ODS_DISABLED;
    dis.hwndItem = control;
    dis.hDC = dc;
    dis.rcItem = r;
    dis.itemData = s.items[static_cast<size_t>(index)].data;
    SendMessageW(target, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
}

void paint(ListState& s) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(s.hwnd, &ps);
    if (!dc) return;
    RECT client{};
    GetClientRect(s.hwnd, &client);
    FillRect(dc, &client, listBrush(s, dc));
    COLORREF textColor = GetTextColor(dc);
    HGDIOBJ oldFont = SelectObject(dc, s.font ? s.font : GetStockObject(SYSTEM_FONT));
    SetBkMode(dc, TRANSPARENT);
    int pad = dpiScale(s.hwnd, 3);
    int textHeight = fontHeight(s.font);
    for (int i = s.top, y = 0; i < s.count() && y < client.bottom; ++i, y += s.itemHeight) {
        RECT r{0, y, client.right, y + s.itemHeight};
        bool sel = i == s.selected;
        if (s.style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) {
            drawOwnerItem(s, dc, i, r);
            continue;
        }
        if (sel) FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(dc, sel ? GetSysColor(COLOR_HIGHLIGHTTEXT) : textColor);
        const auto& text = s.items[static_cast<size_t>(i)].text;
        if (!text.empty())
            ExtTextOutW(dc, pad, y + (s.itemHeight - textHeight) / 2, ETO_CLIPPED, &r, text.data(),
                        static_cast<UINT>(text.size()), nullptr);
    }
    if (s.count() > pageSize(s) && client.bottom > 0) {
        // The scroll indicator: a thin bar whose length and place show the part in view.
        int w = dpiScale(s.hwnd, 2);
        int h = static_cast<int>(client.bottom);
        int len = std::max(w * 2, h * pageSize(s) / s.count());
        int y = (h - len) * s.top / std::max(1, maxTop(s));
        RECT bar{client.right - w, y, client.right, y + len};
        FillRect(dc, &bar, GetSysColorBrush(COLOR_BTNSHADOW));
    }
    SelectObject(dc, oldFont);
    EndPaint(s.hwnd, &ps);
    if (s.style & WS_BORDER) {
        RECT w;
        GetWindowRect(s.hwnd, &w);
        if (HDC wdc = GetWindowDC(s.hwnd)) {
            RECT r{0, 0, w.right - w.left, w.bottom - w.top};
            FrameRect(wdc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
            ReleaseDC(s.hwnd, wdc);
        }
    }
}

void keyDown(ListState& s, UINT vk) {
    int target = keyTarget(s, vk);
    if (target < -1) return;
    if (target == s.selected || target < 0) {
        showItem(s, s.selected);
        return;
    }
    select(s, target);
    notify(s, LBN_SELCHANGE);
}

POINT pointOf(LPARAM lParam) {
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

void pointerDown(ListState& s, POINT p) {
    if (s.dropMode) {
        RECT r{};
        GetClientRect(s.hwnd, &r);
        if (!PtInRect(&r, p)) {
            notify(s, LBN_SELCANCEL); // a tap outside the open list closes it
            return;
        }
        s.penDown = true;
        int i = itemAt(s, p);
        if (i >= 0) select(s, i);
        return;
    }
    if (GetFocus() != s.hwnd) SetFocus(s.hwnd);
    s.penDown = true;
    s.scrolling = false;
    s.downAt = p;
    s.downTop = s.top;
    SetCapture(s.hwnd);
    int i = itemAt(s, p);
    if (i < 0) return;
    DWORD now = GetTickCount();
    bool doubleTap = i == s.lastTapItem && now - s.lastTapTime <= kDoubleTapMs;
    s.lastTapItem = i;
    s.lastTapTime = now;
    if (i != s.selected) {
        select(s, i);
        notify(s, LBN_SELCHANGE);
    }
    if (doubleTap) {
        s.lastTapItem = -1;
        notify(s, LBN_DBLCLK);
    }
}

void pointerMove(ListState& s, POINT p) {
    if (s.dropMode) {
        int i = itemAt(s, p);
        RECT r{};
        GetClientRect(s.hwnd, &r);
        if (i >= 0 && PtInRect(&r, p)) select(s, i);
        return;
    }
    if (!s.penDown) return;
    int dy = static_cast<int>(p.y - s.downAt.y);
    if (!s.scrolling && std::abs(dy) >= std::max(2, s.itemHeight / 2)) s.scrolling = true;
    if (s.scrolling) setTop(s, s.downTop - dy / std::max(1, s.itemHeight));
}

void pointerUp(ListState& s, POINT p) {
    bool wasDown = s.penDown;
    s.penDown = false;
    if (s.dropMode) {
        RECT r{};
        GetClientRect(s.hwnd, &r);
        if (wasDown && PtInRect(&r, p) && itemAt(s, p) >= 0) notify(s, LBN_SELCHANGE);
        return;
    }
    if (GetCapture() == s.hwnd) ReleaseCapture();
}

LRESULT create(HWND hwnd) {
    auto s = std::make_shared<ListState>();
    s->hwnd = hwnd;
    s->style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    s->itemHeight = fontHeight(nullptr) + dpiScale(hwnd, 4);
    states().put(hwnd, s);
    return 0;
}

LRESULT handleItems(ListState& s, UINT msg, WPARAM wParam, LPARAM lParam) {
    int index = static_cast<int>(static_cast<INT_PTR>(wParam));
    bool valid = index >= 0 && index < s.count();
    switch (msg) {
    case LB_ADDSTRING: return insertItem(s, -1, lParam, (s.style & LBS_SORT) != 0);
    case LB_INSERTSTRING: return insertItem(s, index, lParam, false);
    case LB_DELETESTRING: return deleteItem(s, wParam);
    case LB_RESETCONTENT:
        s.items.clear();
        s.selected = -1;
        s.top = 0;
        redraw(s);
        return LB_OKAY;
    case LB_GETCOUNT: return s.count();
    case LB_GETCURSEL: return s.selected;
    case LB_SETCURSEL:
        // -1 clears the selection and, as documented, still answers LB_ERR.
        if (index == -1) {
            select(s, -1);
            return LB_ERR;
        }
        if (!valid) return LB_ERR;
        select(s, index);
        return index;
    case LB_GETSEL: return valid ? (index == s.selected ? 1 : 0) : LB_ERR;
    case LB_GETCARETINDEX: return s.selected < 0 ? 0 : s.selected;
    case LB_GETTEXT: {
        auto buffer = reinterpret_cast<LPWSTR>(lParam);
        if (!valid || !buffer) return LB_ERR;
        const Item& item = s.items[static_cast<size_t>(index)];
        if (!s.hasStrings()) {
            auto value = static_cast<DWORD>(item.data);
            std::copy_n(reinterpret_cast<const char*>(&value), sizeof value,
                        reinterpret_cast<char*>(buffer));
            return sizeof value;
        }
        std::copy(item.text.begin(), item.text.end(), buffer);
        buffer[item.text.size()] = 0;
        return static_cast<LRESULT>(item.text.size());
    }
    case LB_GETTEXTLEN:
        if (!valid) return LB_ERR;
        return s.hasStrings()
                   ? static_cast<LRESULT>(s.items[static_cast<size_t>(index)].text.size())
                   : static_cast<LRESULT>(sizeof(DWORD));
    case LB_GETITEMDATA:
        return valid ? static_cast<LRESULT>(s.items[static_cast<size_t>(index)].data) : LB_ERR;
    case LB_SETITEMDATA:
        if (!valid) return LB_ERR;
        s.items[static_cast<size_t>(index)].data = static_cast<ULONG_PTR>(lParam);
        return TRUE;
    case LB_FINDSTRING: return findString(s, wParam, lParam, false);
    case LB_FINDSTRINGEXACT: return findString(s, wParam, lParam, true);
    case LB_SELECTSTRING: {
        LRESULT found = findString(s, wParam, lParam, false);
        if (found != LB_ERR) select(s, static_cast<int>(found));
        return found;
    }
    default: return LB_ERR;
    }
}

LRESULT handle(ListState& s, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = s.hwnd;
    int index = static_cast<int>(static_cast<INT_PTR>(wParam));
    switch (msg) {
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
    case LB_DELETESTRING:
    case LB_RESETCONTENT:
    case LB_GETCOUNT:
    case LB_GETCURSEL:
    case LB_SETCURSEL:
    case LB_GETSEL:
    case LB_GETCARETINDEX:
    case LB_GETTEXT:
    case LB_GETTEXTLEN:
    case LB_GETITEMDATA:
    case LB_SETITEMDATA:
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
    case LB_SELECTSTRING: return handleItems(s, msg, wParam, lParam);
    case LB_SETSEL:
    case LB_GETSELCOUNT:
    case LB_GETSELITEMS:
    case LB_SELITEMRANGE:
    case LB_SELITEMRANGEEX: return LB_ERR; // single selection only: as for such a list
    case LB_GETTOPINDEX: return s.top;
    case LB_SETTOPINDEX:
        if (index < 0 || (index >= s.count() && s.count() > 0)) return LB_ERR;
        setTop(s, index);
        return LB_OKAY;
    case LB_GETITEMHEIGHT: return s.itemHeight;
    case LB_SETITEMHEIGHT:
        if (lParam <= 0 || lParam > 255) return LB_ERR;
        s.itemHeight = static_cast<int>(lParam);
        s.top = std::clamp(s.top, 0, maxTop(s));
        redraw(s);
        return LB_OKAY;
    case LB_GETITEMRECT: {
        auto r = reinterpret_cast<RECT*>(lParam);
        if (!r || index < 0 || index >= s.count()) return LB_ERR;
        RECT client{};
        GetClientRect(hwnd, &client);
        int y = (index - s.top) * s.itemHeight;
        *r = RECT{0, y, client.right, y + s.itemHeight};
        return LB_OKAY;
    }
    case LB_ITEMFROMPOINT: {
        int i = itemAt(s, pointOf(lParam));
        return i < 0 ? MAKELONG(std::max(0, s.count() - 1), 1) : MAKELONG(i, 0);
    }
    case WM_SETFONT:
        s.font = reinterpret_cast<HFONT>(wParam);
        s.itemHeight = fontHeight(s.font) + dpiScale(hwnd, 4);
        s.top = std::clamp(s.top, 0, maxTop(s));
        if (LOWORD(lParam)) redraw(s);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s.font);
    case WM_SIZE:
        s.top = std::clamp(s.top, 0, maxTop(s));
        redraw(s);
        return 0;
    case WM_PAINT: paint(s); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_ENABLE: redraw(s); return 0;
    case WM_SETFOCUS:
        s.focused = true;
        redraw(s);
        notify(s, LBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        s.focused = false;
        redraw(s);
        notify(s, LBN_KILLFOCUS);
        return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN: keyDown(s, static_cast<UINT>(wParam)); return 0;
    case WM_LBUTTONDOWN: pointerDown(s, pointOf(lParam)); return 0;
    case WM_LBUTTONDBLCLK:
        pointerDown(s, pointOf(lParam));
        if (!s.dropMode && itemAt(s, pointOf(lParam)) >= 0 && s.lastTapItem != -1) {
            s.lastTapItem = -1;
            notify(s, LBN_DBLCLK);
        }
        return 0;
    case WM_MOUSEMOVE: pointerMove(s, pointOf(lParam)); return 0;
    case WM_LBUTTONUP: pointerUp(s, pointOf(lParam)); return 0;
    case WM_CAPTURECHANGED: s.penDown = false; return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK listProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) return create(hwnd);
    if (msg == WM_NCDESTROY) {
        states().erase(hwnd);
        return 0;
    }
    StatePtr s = stateOf(hwnd);
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    s->style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    return handle(*s, msg, wParam, lParam);
}

void registerListClasses() {
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
    wc.lpfnWndProc = listProc;
    wc.hInstance = ce::user::systemClassInstance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = u"LISTBOX";
    RegisterClassW(&wc);
    wc.lpszClassName = ce::user::kComboListClass;
    RegisterClassW(&wc);
}

const ce::user::SystemClassRegistration listRegistration(registerListClasses);

} // namespace

namespace ce::user {

void setListDropOwner(HWND list, HWND combo) {
    if (auto s = stateOf(list)) {
        s->dropOwner = combo;
        s->dropMode = combo != nullptr;
    }
}

int moveListSelection(HWND list, UINT vk) {
    auto s = stateOf(list);
    if (!s) return LB_ERR;
    int target = keyTarget(*s, vk);
    if (target >= 0) select(*s, target);
    return s->selected;
}

} // namespace ce::user
