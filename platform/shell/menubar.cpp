// menubar.cpp: the menu bar with two soft keys (SHCreateMenuBar, SHFindMenuBar, the window
// class "menu_worker" and its messages).
//
// A menu bar is a top-level window owned by its parent's top-level window, along the bottom
// of the screen, 26 pixels high at 96 dpi. Its menu (a menu resource or an HMENU) gives the
// keys: the first top-level entry is the left key, the second the right one. A key whose
// entry has a submenu opens it with TrackPopupMenuEx above the key, and the menu posts the
// chosen command to the parent; a plain key posts WM_COMMAND with its identifier to the parent.
//
// Where the keys come from: a tap on a key, or VK_F1 / VK_F2 (the device's soft keys) as
// WM_KEYDOWN to the menu bar window. On the device the shell routes the soft keys to the menu
// bar of the foreground window; the shell program will do that by sending the key to the
// "menu_worker" window it finds, or in-process through pressSoftKey. Programs change a key
// with TB_SETBUTTONINFO (hide, disable, relabel) and replace its submenu with
// SHCMBM_SETSUBMENU.
#include <algorithm>
#include <cstddef>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "aygshell.h"
#include "kernel/trace.h"
#include "shell/shell.h"
#include "user/sysclass.h"

namespace ce::shell {
namespace {

constexpr const WCHAR* kMenuBarClass = u"menu_worker";
// Presses a key from another thread of this process (wParam: 0 left, 1 right).
constexpr UINT kMsgPressKey = WM_USER + 420;
constexpr int kMaxKeys = 2;

struct Key {
    int id = 0;
    std::u16string text;
    HMENU submenu = nullptr;
    BYTE state = TBSTATE_ENABLED;
    DWORD_PTR data = 0;
    WORD overrideMask = 0; // SHCMBM_OVERRIDEKEY for this key's VK_F1 / VK_F2
    WORD overrideValue = 0;
};

struct Bar {
    HWND hwnd = nullptr;
    HWND parent = nullptr;
    HMENU menu = nullptr;
    bool ownsMenu = false;
    Key keys[kMaxKeys];
    int keyCount = 0;
    int pressed = -1;
    bool hasBackground = false;
    COLORREF background = 0;
};

struct BarsState {
    std::mutex lock;
    std::map<uint32_t, std::shared_ptr<Bar>> bars; // by menu bar window
};

BarsState& barsState() {
    static BarsState s;
    return s;
}

std::shared_ptr<Bar> findBar(HWND hwnd) {
    BarsState& s = barsState();
    std::lock_guard<std::mutex> guard(s.lock);
    auto it = s.bars.find(HandleToULong(hwnd));
    return it != s.bars.end() ? it->second : nullptr;
}

std::shared_ptr<Bar> findBarOfParent(HWND parent) {
    BarsState& s = barsState();
    std::lock_guard<std::mutex> guard(s.lock);
    for (auto& [h, bar] : s.bars)
        if (bar->parent == parent) return bar;
    return nullptr;
}

// Client coordinates of a pointer message: two signed 16-bit values.
POINT pointOf(LPARAM lParam) {
    return {static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))};
}

bool usable(const Key& k) {
    return (k.state & TBSTATE_ENABLED) && !(k.state & TBSTATE_HIDDEN);
}

RECT keyRect(HWND hwnd, int key) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    const int half = (rc.right - rc.left) / 2;
    if (key == 0)
        rc.right = rc.left + half;
    else
        rc.left += half;
    return rc;
}

int keyAt(const Bar& bar, POINT pt) {
    for (int i = 0; i < bar.keyCount; ++i) {
        RECT rc = keyRect(bar.hwnd, i);
        if (PtInRect(&rc, pt)) return i;
    }
    return -1;
}

// Opens the key's submenu above it, or sends its command. Runs without the lock: the pop-up
// menu's loop dispatches messages that may come back here.
bool activate(HWND hwnd, int key) {
    std::shared_ptr<Bar> bar = findBar(hwnd);
    if (!bar || key < 0 || key >= bar->keyCount || !usable(bar->keys[key])) return false;
    const Key k = bar->keys[key];
    HWND parent = bar->parent;
    CE_TRACE("shell", "soft key %d (id %d) of %#lx", key, k.id,
             static_cast<unsigned long>(HandleToULong(hwnd)));
    if (k.submenu) {
        RECT wr{};
        GetWindowRect(hwnd, &wr);
        const UINT align = key == 0 ? TPM_LEFTALIGN : TPM_RIGHTALIGN;
        return TrackPopupMenuEx(k.submenu, align | TPM_BOTTOMALIGN, key == 0 ? wr.left : wr.right,
                                wr.top, parent, nullptr) != FALSE;
    }
    return PostMessageW(parent, WM_COMMAND, MAKEWPARAM(k.id, 0), 0) != FALSE;
}

Key* keyFor(Bar& bar, WPARAM which, DWORD mask) {
    if (mask & TBIF_BYINDEX) {
        return which < static_cast<WPARAM>(bar.keyCount) ? &bar.keys[which] : nullptr;
    }
    for (int i = 0; i < bar.keyCount; ++i)
        if (bar.keys[i].id == static_cast<int>(which)) return &bar.keys[i];
    return nullptr;
}

LRESULT getButtonInfo(Bar& bar, WPARAM which, TBBUTTONINFO* info) {
    if (!info || info->cbSize < sizeof(TBBUTTONINFO)) return -1;
    Key* k = keyFor(bar, which, info->dwMask);
    if (!k) return -1;
    if (info->dwMask & TBIF_COMMAND) info->idCommand = k->id;
    if (info->dwMask & TBIF_STATE) info->fsState = k->state;
    if (info->dwMask & TBIF_STYLE) info->fsStyle = 0;
    if (info->dwMask & TBIF_IMAGE) info->iImage = -2; // I_IMAGENONE: the keys carry text only
    if (info->dwMask & TBIF_LPARAM) info->lParam = k->data;
    if (info->dwMask & TBIF_SIZE) info->cx = 0;
    if ((info->dwMask & TBIF_TEXT) && info->pszText && info->cchText > 0) {
        const size_t n = std::min(k->text.size(), static_cast<size_t>(info->cchText - 1));
        k->text.copy(info->pszText, n);
        info->pszText[n] = 0;
    }
    return k - bar.keys;
}

LRESULT setButtonInfo(Bar& bar, WPARAM which, const TBBUTTONINFO* info) {
    if (!info || info->cbSize < sizeof(TBBUTTONINFO)) return FALSE;
    Key* k = keyFor(bar, which, info->dwMask);
    if (!k) return FALSE;
    if (info->dwMask & TBIF_COMMAND) k->id = info->idCommand;
    if (info->dwMask & TBIF_STATE) k->state = info->fsState;
    if (info->dwMask & TBIF_LPARAM) k->data = info->lParam;
    if ((info->dwMask & TBIF_TEXT) && info->pszText) k->text = info->pszText;
    if (info->dwMask & (TBIF_IMAGE | TBIF_STYLE | TBIF_SIZE))
        CE_FIXME("shell", "soft keys carry text only: image, style and size are ignored");
    return TRUE;
}

// Replaces the submenu of a key (wParam its id; 0: the key that has a submenu), also in the
// bar's menu so that SHCMBM_GETMENU's submenus stay the keys' own. The old submenu goes back
// to the caller, who now owns it.
LRESULT setSubmenu(Bar& bar, WPARAM which, HMENU menu) {
    int index = -1;
    for (int i = 0; i < bar.keyCount; ++i)
        if (which ? bar.keys[i].id == static_cast<int>(which) : bar.keys[i].submenu != nullptr)
            index = i;
    if (index < 0) return 0;
    Key& k = bar.keys[index];
    HMENU old = k.submenu;
    k.submenu = menu;
    if (bar.menu && bar.ownsMenu) {
        RemoveMenu(bar.menu, index, MF_BYPOSITION);
        InsertMenuW(bar.menu, index, MF_BYPOSITION | (menu ? MF_POPUP : MF_STRING),
                    menu ? reinterpret_cast<UINT_PTR>(menu) : static_cast<UINT_PTR>(k.id),
                    k.text.c_str());
    }
    return reinterpret_cast<LRESULT>(old);
}

void paintBar(HWND hwnd, const Bar& bar) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return;
    RECT rc{};
    GetClientRect(hwnd, &rc);
    HBRUSH bk = CreateSolidBrush(bar.hasBackground ? bar.background : RGB(0x30, 0x30, 0x30));
    FillRect(dc, &rc, bk);
    DeleteObject(bk);
    LOGFONTW lf{};
    lf.lfHeight = -scaled(12);
    lf.lfWeight = FW_BOLD;
    const char16_t face[] = u"Tahoma";
    std::copy(std::begin(face), std::end(face), lf.lfFaceName);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    for (int i = 0; i < bar.keyCount; ++i) {
        const Key& k = bar.keys[i];
        if (k.state & TBSTATE_HIDDEN) continue;
        RECT kr = keyRect(hwnd, i);
        if (bar.pressed == i) {
            HBRUSH hi = GetSysColorBrush(COLOR_HIGHLIGHT);
            FillRect(dc, &kr, hi);
        }
        SetTextColor(dc,
                     (k.state & TBSTATE_ENABLED) ? RGB(0xFF, 0xFF, 0xFF) : RGB(0x90, 0x90, 0x90));
        std::u16string label;
        for (char16_t c : k.text)
            if (c != u'&') label += c; // no mnemonics on a soft key
        DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &kr,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    if (oldFont) SelectObject(dc, oldFont);
    if (font) DeleteObject(font);
    EndPaint(hwnd, &ps);
}

bool handleSoftKey(HWND hwnd, Bar& bar, WPARAM vk, bool down, LPARAM lParam) {
    const int key = vk == VK_F1 ? 0 : 1;
    if (key >= bar.keyCount) return false;
    const Key& k = bar.keys[key];
    const WORD mask = k.overrideMask, value = k.overrideValue;
    if ((mask & SHMBOF_NOTIFY) && (value & SHMBOF_NOTIFY))
        PostMessageW(bar.parent, down ? WM_KEYDOWN : WM_KEYUP, vk, lParam);
    if ((mask & SHMBOF_NODEFAULT) && (value & SHMBOF_NODEFAULT)) return true;
    if (down) activate(hwnd, key);
    return true;
}

LRESULT CALLBACK menuBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<Bar> bar = findBar(hwnd);
    if (!bar) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_PAINT: paintBar(hwnd, *bar); return 0;
    case WM_LBUTTONDOWN: {
        int key = keyAt(*bar, pointOf(lParam));
        if (key < 0 || !usable(bar->keys[key])) return 0;
        bar->pressed = key;
        SetCapture(hwnd);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case WM_LBUTTONUP: {
        const int pressed = bar->pressed;
        if (pressed < 0) return 0;
        bar->pressed = -1;
        ReleaseCapture();
        InvalidateRect(hwnd, nullptr, FALSE);
        if (keyAt(*bar, pointOf(lParam)) == pressed) activate(hwnd, pressed);
        return 0;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
        if ((wParam == VK_F1 || wParam == VK_F2) &&
            handleSoftKey(hwnd, *bar, wParam, msg == WM_KEYDOWN, lParam))
            return 0;
        break;
    case kMsgPressKey: return activate(hwnd, static_cast<int>(wParam));
    case TB_GETBUTTONINFO:
        return getButtonInfo(*bar, wParam, reinterpret_cast<TBBUTTONINFO*>(lParam));
    case TB_SETBUTTONINFO: {
        LRESULT r = setButtonInfo(*bar, wParam, reinterpret_cast<const TBBUTTONINFO*>(lParam));
        if (r) InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    case SHCMBM_GETMENU: return reinterpret_cast<LRESULT>(bar->menu);
    case SHCMBM_GETSUBMENU:
        for (int i = 0; i < bar->keyCount; ++i)
            if (bar->keys[i].id == static_cast<int>(lParam))
                return reinterpret_cast<LRESULT>(bar->keys[i].submenu);
        return 0;
    case SHCMBM_SETSUBMENU: return setSubmenu(*bar, wParam, reinterpret_cast<HMENU>(lParam));
    case SHCMBM_OVERRIDEKEY:
        if (wParam == VK_F1 || wParam == VK_F2) {
            const int key = wParam == VK_F1 ? 0 : 1;
            Key& k = bar->keys[key];
            const WORD mask = LOWORD(lParam), value = HIWORD(lParam);
            k.overrideMask = static_cast<WORD>(k.overrideMask | mask);
            k.overrideValue = static_cast<WORD>((k.overrideValue & ~mask) | (value & mask));
        }
        return TRUE;
    case SHCMBM_SETBKCOLOR:
        bar->hasBackground = true;
        bar->background = static_cast<COLORREF>(lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    case WM_DESTROY: {
        BarsState& s = barsState();
        std::lock_guard<std::mutex> guard(s.lock);
        s.bars.erase(HandleToULong(hwnd));
        if (bar->ownsMenu && bar->menu) DestroyMenu(bar->menu);
        return 0;
    }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void registerMenuBarClass() {
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = menuBarProc;
    wc.hInstance = ce::user::systemClassInstance();
    wc.lpszClassName = kMenuBarClass;
    RegisterClassW(&wc);
}
const ce::user::SystemClassRegistration menuBarRegistration(registerMenuBarClass);

// The keys and menu of a menu resource. The bar's menu is made here rather than by LoadMenuW
// so that each popup entry keeps the command identifier that names its key.
bool keysFromResource(Bar& bar, const MenuResource& res) {
    HMENU menu = CreateMenu();
    if (!menu) return false;
    size_t pos = 0;
    int index = 0;
    while (pos < res.count) {
        const CeMenuItem& item = res.items[pos++];
        const bool last = (item.flags & CE_MENU_END) != 0;
        const UINT flags = item.flags & ~static_cast<UINT>(CE_MENU_END);
        const WCHAR* text = item.text ? item.text : u"";
        HMENU sub = nullptr;
        if (flags & MF_POPUP) {
            sub = buildMenu(res, &pos, true);
            if (!sub || !AppendMenuW(menu, flags, reinterpret_cast<UINT_PTR>(sub), text)) {
                if (sub) DestroyMenu(sub);
                DestroyMenu(menu);
                return false;
            }
        } else {
            AppendMenuW(menu, flags, item.id, text);
        }
        if (index < kMaxKeys) {
            Key& k = bar.keys[index];
            k.id = item.id;
            k.text = text;
            k.submenu = sub;
            k.state = (flags & (MF_GRAYED | MF_DISABLED)) ? 0 : TBSTATE_ENABLED;
        }
        ++index;
        if (last) break;
    }
    if (index > kMaxKeys)
        CE_FIXME("shell", "a menu bar has two soft keys: entries past them are ignored");
    bar.keyCount = std::min(index, kMaxKeys);
    bar.menu = menu;
    bar.ownsMenu = true;
    return true;
}

// The keys of a menu the program made; the program keeps owning it.
bool keysFromMenu(Bar& bar, HMENU menu) {
    const int count = GetMenuItemCount(menu);
    if (count < 0) return false;
    if (count > kMaxKeys)
        CE_FIXME("shell", "a menu bar has two soft keys: entries past them are ignored");
    bar.keyCount = std::min(count, kMaxKeys);
    for (int i = 0; i < bar.keyCount; ++i) {
        WCHAR text[128] = {};
        MENUITEMINFOW mii{};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STATE | MIIM_TYPE;
        mii.dwTypeData = text;
        mii.cch = static_cast<UINT>(std::size(text));
        if (!GetMenuItemInfoW(menu, i, TRUE, &mii)) return false;
        Key& k = bar.keys[i];
        k.id = static_cast<int>(mii.wID);
        text[std::size(text) - 1] = 0;
        k.text = text;
        k.submenu = mii.hSubMenu;
        k.state = (mii.fState & MFS_GRAYED) ? 0 : TBSTATE_ENABLED;
    }
    bar.menu = menu;
    bar.ownsMenu = false;
    return true;
}

} // namespace

bool pressSoftKey(HWND menuBar, int key) {
    std::shared_ptr<Bar> bar = findBar(menuBar);
    if (!bar) bar = findBarOfParent(menuBar);
    if (!bar) return false;
    return SendMessageW(bar->hwnd, kMsgPressKey, static_cast<WPARAM>(key), 0) != 0;
}

} // namespace ce::shell

using namespace ce::shell;

// Makes the menu bar; an earlier menu bar of the same parent is destroyed first. The record
// may stop before clrBk (older programs); SHCMBF_COLORBK then has no colour to use.
WINUSERAPI BOOL SHCreateMenuBar(SHMENUBARINFO* pmbi) {
    constexpr DWORD kMinSize = offsetof(SHMENUBARINFO, clrBk);
    if (!pmbi || pmbi->cbSize < kMinSize || !IsWindow(pmbi->hwndParent)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto bar = std::make_shared<Bar>();
    bar->parent = pmbi->hwndParent;
    if (pmbi->dwFlags & SHCMBF_COLORBK && pmbi->cbSize >= sizeof(SHMENUBARINFO)) {
        bar->hasBackground = true;
        bar->background = pmbi->clrBk;
    }
    // SHCMBF_HIDESIPBUTTON needs nothing: the bar here never shows an input panel button.
    if (!(pmbi->dwFlags & SHCMBF_EMPTYBAR)) {
        // The resource first; with SHCMBF_HMENU a value no resource has is a menu handle.
        MenuResource res = findMenuResource(pmbi->hInstRes, MAKEINTRESOURCEW(pmbi->nToolBarId));
        HMENU given = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(pmbi->nToolBarId));
        bool ok = false;
        if (res.items)
            ok = keysFromResource(*bar, res);
        else if (pmbi->dwFlags & SHCMBF_HMENU)
            ok = keysFromMenu(*bar, given);
        if (!ok) {
            SetLastError(res.items ? ERROR_INVALID_DATA : ERROR_RESOURCE_NAME_NOT_FOUND);
            return FALSE;
        }
    }
    if (HWND old = SHFindMenuBar(pmbi->hwndParent)) DestroyWindow(old);

    HWND owner = pmbi->hwndParent;
    while (GetWindowLongW(owner, GWL_STYLE) & WS_CHILD)
        owner = GetParent(owner);
    const int width = GetSystemMetrics(SM_CXSCREEN), height = scaled(26);
    const int top = GetSystemMetrics(SM_CYSCREEN) - height;
    HWND hwnd = CreateWindowExW(0, kMenuBarClass, u"", WS_POPUP, 0, top, width, height, owner,
                                nullptr, ce::user::systemClassInstance(), nullptr);
    if (!hwnd) {
        if (bar->ownsMenu && bar->menu) DestroyMenu(bar->menu);
        return FALSE;
    }
    bar->hwnd = hwnd;
    {
        BarsState& s = barsState();
        std::lock_guard<std::mutex> guard(s.lock);
        s.bars[HandleToULong(hwnd)] = bar;
    }
    if (!(pmbi->dwFlags & SHCMBF_HIDDEN))
        SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    pmbi->hwndMB = hwnd;
    CE_TRACE("shell", "menu bar %#lx for %#lx: %d keys",
             static_cast<unsigned long>(HandleToULong(hwnd)),
             static_cast<unsigned long>(HandleToULong(pmbi->hwndParent)), bar->keyCount);
    return TRUE;
}

WINUSERAPI HWND SHFindMenuBar(HWND hwnd) {
    std::shared_ptr<Bar> bar = findBarOfParent(hwnd);
    return bar ? bar->hwnd : nullptr;
}
