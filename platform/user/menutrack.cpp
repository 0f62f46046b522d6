// menutrack.cpp: pop-up menus on the screen: TrackPopupMenuEx and TrackPopupMenu.
//
// A tracked menu is a stack of levels: the menu itself and the submenus opened from it, each
// a topmost WS_POPUP window of the system class "MenuPopup" drawn in the device's look
// (white, a thin grey border, entries about 20 pixels high at 96 dpi, separators, greyed
// text, check and radio marks, arrows for submenus, the blue highlight). The windows never
// take activation or focus: the owner keeps them, and the tracking loop, running on the
// calling thread, takes the keys and pointer messages of the thread before they reach any
// window procedure. The first level holds the capture, so a tap anywhere on this program's
// windows comes to the loop, which hit-tests it against the levels in screen coordinates:
// a tap outside every level closes the menu.
//
// Before anything is shown the owner hears WM_INITMENUPOPUP, then the device's automation
// queue is asked: an answer chooses at once, without a window. Every menu writes a
// "menu.shown" line (its entries, nested) and a "menu.closed" line (what was chosen, by
// whom) to the journal.
#include <algorithm>
#include <charconv>
#include <memory>
#include <string>
#include <vector>

#include "kernel/journal.h"
#include "kernel/strings.h"
#include "kernel/trace.h"
#include "user/automation.h"
#include "user/menu.h"
#include "user/sysclass.h"
#include "windows.h"

namespace ce::user {
namespace {

// v * num / den rounded to nearest, for dpi scaling.
int scaleBy(int v, int num, int den) {
    if (den == 0) return v;
    long long p = static_cast<long long>(v) * num;
    return static_cast<int>((p >= 0 ? p + den / 2 : p - den / 2) / den);
}

constexpr char16_t kPopupClass[] = u"MenuPopup";
constexpr int kMaxLevels = 16;

// Sizes at 96 dpi, scaled by the device's dpi.
struct MenuMetrics {
    int dpi = 96;
    int itemHeight = 20;
    int separatorHeight = 7;
    int markWidth = 18;  // the check / radio column
    int arrowWidth = 16; // the submenu arrow column
    int textPad = 6;     // after the text
    int accelGap = 16;   // between the text and an accelerator after a tab
    int minWidth = 80;
    int border = 1;

    int scale(int v) const { return scaleBy(v, dpi, 96); }
};

struct Level {
    uint32_t menu = 0;
    std::vector<MenuEntry> entries;
    HWND hwnd = nullptr;
    RECT rect{};                 // screen coordinates
    std::vector<RECT> itemRects; // client coordinates
    int hot = -1;
};

struct Tracker {
    HWND owner = nullptr;
    UINT flags = 0;
    MenuMetrics m;
    HFONT font = nullptr;
    std::vector<Level> levels;
    bool done = false;
    bool pressOpenedSubmenu = false; // the pen-up that ends this press chooses nothing
    UINT chosen = 0;
    std::u16string chosenText;
};

thread_local Tracker* tracking = nullptr;

HWND toHwnd(uint32_t v) {
    return static_cast<HWND>(ULongToHandle(v));
}

std::string hexValue(uint32_t v) {
    char buf[16];
    snprintf(buf, sizeof buf, "0x%x", v);
    return buf;
}

bool selectable(const MenuEntry& e) {
    return !e.separator() && !e.grayed();
}

// ---- Journal ----------------------------------------------------------------------------------

// The entries of a menu tree as one line of text: `101 "Open", 102 "Save" grayed, -,
// popup "More" {201 "A" checked}`.
std::string describeMenu(uint32_t menu, int depth) {
    auto entries = menuSnapshot(menu);
    if (!entries || depth > 8) return "";
    std::string out;
    for (const auto& e : *entries) {
        if (!out.empty()) out += ", ";
        if (e.separator()) {
            out += "-";
            continue;
        }
        out += e.submenu ? std::string("popup") : std::to_string(e.id);
        out += " \"" + toUtf8(menuDisplayText(e.text)) + "\"";
        if (e.grayed()) out += " grayed";
        if (e.checked()) out += (e.type & MFT_RADIOCHECK) ? " radio" : " checked";
        if (e.submenu) out += " {" + describeMenu(e.submenu, depth + 1) + "}";
    }
    return out;
}

void journalClosed(uint32_t menu, UINT chosen, const std::u16string& text, const char* by) {
    JournalLine line("menu.closed");
    line.str("menu", hexValue(menu)).num("chosen", chosen);
    if (chosen) line.str("text", toUtf8(text));
    line.str("by", by).write();
}

// ---- Automation -------------------------------------------------------------------------------

// Finds an enabled command entry (every submenu on the way enabled too) by command number or
// by its text without mnemonic marks, compared without regard to case.
bool findAnswerEntry(uint32_t menu, std::optional<UINT> id, std::u16string_view text, int depth,
                     UINT* outId, std::u16string* outText) {
    auto entries = menuSnapshot(menu);
    if (!entries || depth > 16) return false;
    for (const auto& e : *entries) {
        if (!selectable(e)) continue;
        if (e.submenu) {
            if (findAnswerEntry(e.submenu, id, text, depth + 1, outId, outText)) return true;
            continue;
        }
        std::u16string shown = menuDisplayText(e.text);
        if ((id && e.id == *id) || (!text.empty() && equalNoCase(shown, text))) {
            *outId = e.id;
            *outText = shown;
            return true;
        }
    }
    return false;
}

// What the automation answer chooses: true with the command (0 for "cancel"), false when the
// answer does not fit this menu.
bool resolveAnswer(uint32_t menu, const automation::Answer& a, UINT* id, std::u16string* text) {
    if (a.kind == "cancel") {
        *id = 0;
        return true;
    }
    if (a.kind != "menu") return false;
    UINT number = 0;
    const char* first = a.argument.data();
    const char* last = first + a.argument.size();
    auto [ptr, ec] = std::from_chars(first, last, number);
    if (ec == std::errc() && ptr == last && findAnswerEntry(menu, number, {}, 0, id, text))
        return true;
    return findAnswerEntry(menu, std::nullopt, fromUtf8(a.argument), 0, id, text);
}

// ---- Layout and drawing -------------------------------------------------------------------------

MenuMetrics currentMetrics() {
    MenuMetrics m;
    HDC screen = GetDC(nullptr);
    if (screen) {
        int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        if (dpi > 0) m.dpi = dpi;
        ReleaseDC(nullptr, screen);
    }
    m.itemHeight = m.scale(20);
    m.separatorHeight = m.scale(7);
    m.markWidth = m.scale(18);
    m.arrowWidth = m.scale(16);
    m.textPad = m.scale(6);
    m.accelGap = m.scale(16);
    m.minWidth = m.scale(80);
    m.border = std::max(1, m.scale(1));
    return m;
}

HFONT makeMenuFont(const MenuMetrics& m, bool bold) {
    LOGFONTW lf{};
    lf.lfHeight = -scaleBy(9, m.dpi, 72);
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    const char16_t face[] = u"Tahoma";
    std::copy(std::begin(face), std::end(face), lf.lfFaceName);
    return CreateFontIndirectW(&lf);
}

int textWidth(HDC dc, std::u16string_view text) {
    SIZE size{};
    if (text.empty()) return 0;
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
}

std::u16string accelPart(const std::u16string& text) {
    size_t tab = text.find(u'\t');
    return tab == std::u16string::npos ? std::u16string() : text.substr(tab + 1);
}

// Sizes the level and places its entries; returns the window size.
SIZE layoutLevel(Tracker& t, Level& level) {
    const MenuMetrics& m = t.m;
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = dc ? SelectObject(dc, t.font) : nullptr;
    int textMax = 0, accelMax = 0;
    for (const auto& e : level.entries) {
        if (e.separator() || !dc) continue;
        textMax = std::max(textMax, textWidth(dc, menuDisplayText(e.text)));
        accelMax = std::max(accelMax, textWidth(dc, accelPart(e.text)));
    }
    if (dc) {
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
    }
    int width =
        m.markWidth + textMax + m.textPad + (accelMax ? m.accelGap + accelMax : 0) + m.arrowWidth;
    width = std::max(width, m.minWidth);
    int y = m.border;
    level.itemRects.clear();
    for (const auto& e : level.entries) {
        int h = e.separator() ? m.separatorHeight : m.itemHeight;
        level.itemRects.push_back(RECT{m.border, y, m.border + width, y + h});
        y += h;
    }
    return SIZE{width + 2 * m.border, y + m.border};
}

void drawMark(HDC dc, const RECT& box, bool radio, COLORREF color, const MenuMetrics& m) {
    int cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
    if (radio) {
        HBRUSH brush = CreateSolidBrush(color);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
        int r = m.scale(3);
        Ellipse(dc, cx - r, cy - r, cx + r + 1, cy + r + 1);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(brush);
        return;
    }
    HPEN pen = CreatePen(PS_SOLID, std::max(1, m.scale(2)), color);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    int u = m.scale(2);
    POINT tick[3] = {{cx - 2 * u, cy}, {cx - u / 2, cy + u + u / 2}, {cx + 2 * u, cy - 2 * u}};
    Polyline(dc, tick, 3);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

void drawArrow(HDC dc, const RECT& box, COLORREF color, const MenuMetrics& m) {
    int cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
    int u = m.scale(3);
    POINT tri[3] = {{cx - u / 2, cy - u}, {cx - u / 2, cy + u}, {cx + u / 2 + 1, cy}};
    HBRUSH brush = CreateSolidBrush(color);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    Polygon(dc, tri, 3);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
}

void paintLevel(Tracker& t, const Level& level) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(level.hwnd, &ps);
    if (!dc) return;
    const MenuMetrics& m = t.m;
    RECT client;
    GetClientRect(level.hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_MENU));
    for (int i = 0; i < m.border; ++i) {
        RECT frame{client.left + i, client.top + i, client.right - i, client.bottom - i};
        FrameRect(dc, &frame, GetSysColorBrush(COLOR_BTNSHADOW));
    }
    HGDIOBJ oldFont = SelectObject(dc, t.font);
    SetBkMode(dc, TRANSPARENT);
    for (size_t i = 0; i < level.entries.size(); ++i) {
        const MenuEntry& e = level.entries[i];
        RECT r = level.itemRects[i];
        if (e.separator()) {
            int y = (r.top + r.bottom) / 2;
            RECT line{r.left + m.scale(2), y, r.right - m.scale(2), y + std::max(1, m.scale(1))};
            FillRect(dc, &line, GetSysColorBrush(COLOR_BTNSHADOW));
            continue;
        }
        bool hot = static_cast<int>(i) == level.hot && !e.grayed();
        if (hot) FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
        COLORREF color = GetSysColor(e.grayed() ? COLOR_GRAYTEXT
                                     : hot      ? COLOR_HIGHLIGHTTEXT
                                                : COLOR_MENUTEXT);
        SetTextColor(dc, color);
        if (e.checked())
            drawMark(dc, RECT{r.left, r.top, r.left + m.markWidth, r.bottom},
                     (e.type & MFT_RADIOCHECK) != 0, color, m);
        size_t tab = e.text.find(u'\t');
        std::u16string label = e.text.substr(0, tab);
        RECT textRect{r.left + m.markWidth, r.top, r.right - m.arrowWidth, r.bottom};
        DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &textRect,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        std::u16string accel = accelPart(e.text);
        if (!accel.empty())
            DrawTextW(dc, accel.c_str(), static_cast<int>(accel.size()), &textRect,
                      DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        if (e.submenu)
            drawArrow(dc, RECT{r.right - m.arrowWidth, r.top, r.right, r.bottom}, color, m);
    }
    SelectObject(dc, oldFont);
    EndPaint(level.hwnd, &ps);
}

LRESULT CALLBACK popupProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        if (tracking)
            for (auto& level : tracking->levels)
                if (level.hwnd == hwnd) {
                    paintLevel(*tracking, level);
                    return 0;
                }
        break;
    case WM_ERASEBKGND: return 1; // WM_PAINT fills everything
    default: break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void registerPopupClass() {
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = popupProc;
    wc.hInstance = systemClassInstance();
    wc.hbrBackground = nullptr;
    wc.lpszClassName = kPopupClass;
    RegisterClassW(&wc);
}

const SystemClassRegistration popupRegistration(registerPopupClass);

// ---- Levels -------------------------------------------------------------------------------------

void invalidate(const Level& level) {
    if (level.hwnd) InvalidateRect(level.hwnd, nullptr, FALSE);
}

void closeLevelsAbove(Tracker& t, size_t keep) {
    while (t.levels.size() > keep) {
        HWND h = t.levels.back().hwnd;
        t.levels.pop_back();
        if (h) DestroyWindow(h);
    }
}

// Opens a level for `menu`: the owner's WM_INITMENUPOPUP, then the window at its place: at
// x, y aligned by the flags for the first level; beside the parent's entry for a submenu,
// on the right if it fits, else on the left. Always kept on the screen.
bool openLevel(Tracker& t, uint32_t menu, int index, int x, int y, const RECT* parentItem) {
    if (t.levels.size() >= kMaxLevels) return false;
    if (!(t.flags & TPM_NONOTIFY))
        SendMessageW(t.owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(toHwnd(menu)),
                     MAKELPARAM(index, FALSE));
    auto entries = menuSnapshot(menu);
    if (!entries || !IsWindow(t.owner)) return false;
    Level level;
    level.menu = menu;
    level.entries = std::move(*entries);
    SIZE size = layoutLevel(t, level);
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    if (parentItem) {
        x = parentItem->right - t.m.border;
        y = parentItem->top - t.m.border;
        if (x + size.cx > sw) x = parentItem->left - size.cx + t.m.border;
    } else {
        if (t.flags & TPM_CENTERALIGN)
            x -= size.cx / 2;
        else if (t.flags & TPM_RIGHTALIGN)
            x -= size.cx;
        if (t.flags & TPM_VCENTERALIGN)
            y -= size.cy / 2;
        else if (t.flags & TPM_BOTTOMALIGN)
            y -= size.cy;
    }
    x = std::max(0, std::min(x, sw - static_cast<int>(size.cx)));
    y = std::max(0, std::min(y, sh - static_cast<int>(size.cy)));
    level.rect = RECT{x, y, x + size.cx, y + size.cy};
    level.hwnd =
        CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kPopupClass, u"", WS_POPUP, x, y, size.cx,
                        size.cy, t.owner, nullptr, systemClassInstance(), nullptr);
    if (!level.hwnd) return false;
    HWND h = level.hwnd;
    t.levels.push_back(std::move(level));
    SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    UpdateWindow(h);
    return true;
}

int firstSelectable(const Level& level, int from, int step) {
    int n = static_cast<int>(level.entries.size());
    for (int k = 1; k <= n; ++k) {
        int i = ((from + step * k) % n + n) % n;
        if (selectable(level.entries[static_cast<size_t>(i)])) return i;
    }
    return -1;
}

void setHot(Level& level, int hot) {
    if (level.hot == hot) return;
    level.hot = hot;
    invalidate(level);
}

// Opens the submenu of the hot entry of the last level; with keys its first entry becomes hot.
void openHotSubmenu(Tracker& t, bool byKey) {
    size_t depth = t.levels.size() - 1;
    Level& level = t.levels[depth];
    if (level.hot < 0) return;
    const MenuEntry e = level.entries[static_cast<size_t>(level.hot)];
    if (!e.submenu || !selectable(e)) return;
    RECT item = level.itemRects[static_cast<size_t>(level.hot)];
    OffsetRect(&item, level.rect.left, level.rect.top);
    if (!openLevel(t, e.submenu, level.hot, 0, 0, &item)) return;
    if (byKey) setHot(t.levels.back(), firstSelectable(t.levels.back(), -1, 1));
}

void choose(Tracker& t, const MenuEntry& e) {
    t.done = true;
    t.chosen = e.id;
    t.chosenText = menuDisplayText(e.text);
}

// The level and entry under a screen point: level index or -1, entry index or -1.
std::pair<int, int> hitTest(const Tracker& t, POINT pt) {
    for (int l = static_cast<int>(t.levels.size()) - 1; l >= 0; --l) {
        const Level& level = t.levels[static_cast<size_t>(l)];
        if (!PtInRect(&level.rect, pt)) continue;
        POINT local{pt.x - level.rect.left, pt.y - level.rect.top};
        for (size_t i = 0; i < level.itemRects.size(); ++i)
            if (PtInRect(&level.itemRects[i], local)) return {l, static_cast<int>(i)};
        return {l, -1};
    }
    return {-1, -1};
}

void onPointer(Tracker& t, UINT msg, POINT pt) {
    auto [l, i] = hitTest(t, pt);
    if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) {
        if (l < 0) {
            t.done = true; // a tap outside closes the menu
            return;
        }
        if (i < 0) return;
        closeLevelsAbove(t, static_cast<size_t>(l) + 1);
        Level& level = t.levels[static_cast<size_t>(l)];
        const MenuEntry& e = level.entries[static_cast<size_t>(i)];
        if (!selectable(e)) return;
        setHot(level, i);
        if (e.submenu) {
            // The submenu may open over the pen (on a narrow screen it goes left of its
            // entry): lifting the pen must not choose what it now lies on.
            openHotSubmenu(t, false);
            t.pressOpenedSubmenu = true;
        }
        return;
    }
    if (msg == WM_LBUTTONUP && t.pressOpenedSubmenu) {
        t.pressOpenedSubmenu = false;
        return;
    }
    if (l < 0 || i < 0) return;
    Level& level = t.levels[static_cast<size_t>(l)];
    const MenuEntry& e = level.entries[static_cast<size_t>(i)];
    if (msg == WM_MOUSEMOVE) {
        if (selectable(e)) setHot(level, i);
    } else if (msg == WM_LBUTTONUP) {
        if (selectable(e) && !e.submenu) choose(t, e);
    }
}

void onKey(Tracker& t, UINT vk) {
    Level& level = t.levels.back();
    switch (vk) {
    case VK_UP:
    case VK_DOWN:
        setHot(level, firstSelectable(level, level.hot < 0 && vk == VK_UP ? 0 : level.hot,
                                      vk == VK_DOWN ? 1 : -1));
        break;
    case VK_RIGHT: openHotSubmenu(t, true); break;
    case VK_LEFT:
        if (t.levels.size() > 1) closeLevelsAbove(t, t.levels.size() - 1);
        break;
    case VK_ESCAPE:
        if (t.levels.size() > 1)
            closeLevelsAbove(t, t.levels.size() - 1);
        else
            t.done = true;
        break;
    case VK_RETURN:
        if (level.hot >= 0) {
            const MenuEntry e = level.entries[static_cast<size_t>(level.hot)];
            if (e.submenu)
                openHotSubmenu(t, true);
            else if (selectable(e))
                choose(t, e);
        }
        break;
    default: break;
    }
}

bool isPointerMessage(UINT m) {
    return m == WM_MOUSEMOVE || m == WM_LBUTTONDOWN || m == WM_LBUTTONUP || m == WM_LBUTTONDBLCLK;
}

bool isKeyMessage(UINT m) {
    return m >= WM_KEYFIRST && m <= WM_KEYLAST;
}

// The modal loop: the thread's messages are dispatched as usual, except its input, which
// drives the menu. Ends when something is chosen, the menu is closed, the owner or a level's
// window goes away, or WM_QUIT arrives (put back for the caller's loop).
void runLoop(Tracker& t) {
    SetCapture(t.levels.front().hwnd);
    while (!t.done) {
        if (!IsWindow(t.owner)) break;
        bool gone = false;
        for (const auto& level : t.levels)
            if (!IsWindow(level.hwnd)) gone = true;
        if (gone) break;
        MSG msg;
        BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        if (r <= 0) {
            if (r == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (isKeyMessage(msg.message)) {
            if (msg.message == WM_KEYDOWN) onKey(t, static_cast<UINT>(msg.wParam));
            continue;
        }
        if (isPointerMessage(msg.message)) {
            onPointer(t, msg.message, msg.pt);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (GetCapture() == t.levels.front().hwnd) ReleaseCapture();
    closeLevelsAbove(t, 0);
}

// Clears the thread's tracking record and the font whatever way tracking ends.
struct TrackingScope {
    Tracker& t;
    explicit TrackingScope(Tracker& tracker) : t(tracker) { tracking = &t; }
    ~TrackingScope() {
        closeLevelsAbove(t, 0);
        if (t.font) DeleteObject(t.font);
        tracking = nullptr;
    }
};

} // namespace
} // namespace ce::user

using namespace ce::user;

// Shows the pop-up menu and waits for a choice (see winmenu.h). One menu at a time per
// thread: a second call while one is tracked fails.
WINUSERAPI BOOL TrackPopupMenuEx(HMENU hMenu, UINT uFlags, int x, int y, HWND hwnd,
                                 LPTPMPARAMS lptpm) {
    uint32_t menu = HandleToULong(hMenu);
    if (!isMenuHandle(menu)) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    if (!hwnd || !IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (tracking) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (uFlags & TPM_VERTICAL) CE_FIXME("menu", "TPM_VERTICAL is treated as TPM_HORIZONTAL");
    (void)lptpm; // the excluded rectangle only matters for menus that would cover it

    Tracker t;
    t.owner = hwnd;
    t.flags = uFlags;
    t.m = currentMetrics();
    t.font = makeMenuFont(t.m, false);
    TrackingScope scope(t);

    // The owner prepares the menu before anything is shown or chosen.
    if (!(uFlags & TPM_NONOTIFY))
        SendMessageW(hwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hMenu), MAKELPARAM(0, 0));
    if (!isMenuHandle(menu)) { // destroyed by the owner meanwhile
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    ce::JournalLine("menu.shown")
        .str("menu", hexValue(menu))
        .str("owner", hexValue(HandleToULong(hwnd)))
        .str("entries", describeMenu(menu, 0))
        .write();
    const char* by = "user";
    bool answered = false;
    if (auto answer = ce::automation::takeAnswer()) {
        UINT id = 0;
        std::u16string text;
        if (resolveAnswer(menu, *answer, &id, &text)) {
            answered = true;
            by = "automation";
            t.chosen = id;
            t.chosenText = text;
        } else {
            ce::JournalLine("menu.refused")
                .str("menu", hexValue(menu))
                .str("answer",
                     answer->kind + (answer->argument.empty() ? "" : " ") + answer->argument)
                .write();
            by = "automation";
            answered = true; // a refused answer closes the menu without a choice
        }
    }
    if (!answered) {
        t.flags |= TPM_NONOTIFY; // the first level's WM_INITMENUPOPUP was sent above
        bool opened = openLevel(t, menu, 0, x, y, nullptr);
        t.flags = uFlags;
        if (!opened) {
            journalClosed(menu, 0, {}, by);
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
        runLoop(t);
    }
    journalClosed(menu, t.chosen, t.chosenText, by);
    if (uFlags & TPM_RETURNCMD) return static_cast<BOOL>(t.chosen);
    if (t.chosen && IsWindow(hwnd)) PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(t.chosen, 0), 0);
    return TRUE;
}

// TrackPopupMenuEx without the excluded rectangle; nReserved and prcRect are ignored.
WINUSERAPI BOOL TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int nReserved, HWND hWnd,
                               const RECT* prcRect) {
    (void)nReserved;
    (void)prcRect;
    return TrackPopupMenuEx(hMenu, uFlags, x, y, hWnd, nullptr);
}
