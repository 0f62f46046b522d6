// today.cpp: the Today screen: the frame, its scroll bar, the holder of the items, the layout,
// the selection and the item queries.
//
// Window tree, which other programs walk: the frame is a top-level window covering the space
// between the title bar and the soft-key bar, at the top of the desktop's children while the
// Today screen is in front. Its first child is the scroll bar (hidden while every item fits),
// the next one the holder, the "Today window" every item gets as its parent:
//
//   desktop -> frame "TodayScreen" -> scroll bar "TodayScrollBar"
//                                  -> holder "TodayItems" -> item windows, top to bottom
//
// so GetWindow(GetWindow(GetWindow(desktop, GW_CHILD), GW_CHILD), GW_HWNDNEXT) is the holder.
// The holder paints the Today background and answers TODAYM_DRAWWATERMARK with it; items are
// stacked from the top by their heights (cyp), scrolled when they do not fit.
//
// Every two seconds of device clock (a window timer, so it follows the clock's rate and
// advances), each item is asked WM_TODAYCUSTOM_QUERYREFRESHCACHE; an answer TRUE lays the
// items out again. The keyboard focus stays on the frame: up and down move the selection
// among the items that show something, Return is the selected item's action.
#include <algorithm>
#include <map>

#include "ceshell.h"
#include "kernel/journal.h"
#include "kernel/strings.h"
#include "shellproto.h"

namespace ceshell {

namespace {

constexpr const WCHAR* kScrollBarClass = u"TodayScrollBar";
constexpr const WCHAR* kHolderClass = u"TodayItems";
constexpr UINT_PTR kQueryTimer = 1;
constexpr UINT kQueryIntervalMs = 2000;

struct Today {
    HWND frame = nullptr;
    HWND scrollBar = nullptr;
    HWND holder = nullptr;
    std::vector<std::unique_ptr<TodayItem>> items; // in the order they are shown
    TodayItem* selected = nullptr;
    int scroll = 0;            // how far the items are scrolled up
    int totalHeight = 0;       // of every item
    std::vector<HWND> dialogs; // open options dialogs
};

Today& today() {
    static Today t;
    return t;
}

bool shows(const TodayItem& item) {
    return item.hwnd && item.record->cyp > 0 && IsWindowVisible(item.hwnd);
}

bool isSelected(const TodayItem* item) {
    Today& t = today();
    return item && t.selected == item;
}

void unselect(TodayItem* item) {
    Today& t = today();
    if (t.selected == item) t.selected = nullptr;
}

// Scrolls so that the selected item is in view (its top first when it is taller).
void scrollToSelection() {
    Today& t = today();
    if (!t.selected || !t.holder) return;
    RECT rc;
    GetClientRect(t.holder, &rc);
    int y = 0;
    for (auto& item : t.items) {
        if (!item->hwnd) continue;
        if (item.get() == t.selected) break;
        y += static_cast<int>(item->record->cyp);
    }
    int h = static_cast<int>(t.selected->record->cyp);
    int scroll = t.scroll;
    if (y + h > scroll + rc.bottom) scroll = y + h - rc.bottom;
    if (y < scroll) scroll = y;
    if (scroll != t.scroll) {
        t.scroll = scroll;
        layoutToday();
    }
}

// The next item that shows something, from the selection in the direction of vk (from the
// top or the bottom when nothing is selected); null at the end.
TodayItem* nextSelectable(UINT vk) {
    Today& t = today();
    int n = static_cast<int>(t.items.size());
    int at = -1;
    for (int i = 0; i < n; ++i)
        if (t.items[static_cast<size_t>(i)].get() == t.selected) at = i;
    int step = vk == VK_UP ? -1 : 1;
    int i = at >= 0 ? at + step : (step > 0 ? 0 : n - 1);
    for (; i >= 0 && i < n; i += step)
        if (shows(*t.items[static_cast<size_t>(i)])) return t.items[static_cast<size_t>(i)].get();
    return nullptr;
}

// An arrow key or Return on the Today screen. A selected item sees each arrow key first
// (USERNAVIGATION): TRUE means it moved inside itself; FALSE moves the selection on, the old
// item losing it and the new one receiving it with the key that brought it.
void navigate(UINT vk) {
    Today& t = today();
    if (t.selected && !shows(*t.selected)) t.selected = nullptr;
    if (vk == VK_RETURN) {
        if (t.selected) SendMessageW(t.selected->hwnd, WM_TODAYCUSTOM_ACTION, 0, 0);
        return;
    }
    if (t.selected && SendMessageW(t.selected->hwnd, WM_TODAYCUSTOM_USERNAVIGATION, vk, 0)) return;
    TodayItem* next = nextSelectable(vk);
    if (!next) return;
    if (t.selected) SendMessageW(t.selected->hwnd, WM_TODAYCUSTOM_LOSTSELECTION, 0, 0);
    t.selected = next;
    SendMessageW(next->hwnd, WM_TODAYCUSTOM_RECEIVEDSELECTION, vk, 0);
    scrollToSelection();
}

bool handleKey(UINT vk) {
    if (vk == VK_UP || vk == VK_DOWN || vk == VK_RETURN) {
        navigate(vk);
        return true;
    }
    return softKeyPress(vk);
}

void queryAll() {
    Today& t = today();
    bool changed = false;
    for (auto& item : t.items)
        if (queryItem(*item)) changed = true;
    if (changed) layoutToday();
}

// Draws the watermark an item asked for: rc is the item's client rectangle in the target DC,
// the item's place in the holder says which part of the background it is.
LRESULT drawWatermark(const TODAYDRAWWATERMARKINFO* info) {
    Today& t = today();
    if (!info || !info->hdc) return FALSE;
    POINT origin{0, 0};
    if (info->hwnd && IsWindow(info->hwnd)) MapWindowPoints(info->hwnd, t.holder, &origin, 1);
    paintTodayBackground(info->hdc, info->rc, origin, todayArea());
    return TRUE;
}

void paintHolder(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    paintTodayBackground(hdc, ps.rcPaint, POINT{ps.rcPaint.left, ps.rcPaint.top}, todayArea());
    EndPaint(hwnd, &ps);
}

void paintScrollBar(HWND hwnd) {
    Today& t = today();
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(hdc, &rc, GetSysColorBrush(COLOR_SCROLLBAR));
    int view = rc.bottom, total = std::max(t.totalHeight, 1);
    if (total > view && view > 0) {
        RECT thumb{1, t.scroll * view / total, rc.right - 1, (t.scroll + view) * view / total};
        HBRUSH brush = CreateSolidBrush(shellColor(kColorSelection));
        FillRect(hdc, &thumb, brush);
        DeleteObject(brush);
    }
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK scrollBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: paintScrollBar(hwnd); return 0;
    case WM_ERASEBKGND: return 1;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK holderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: paintHolder(hwnd); return 0;
    case WM_ERASEBKGND: return 1;
    case TODAYM_DRAWWATERMARK:
        return drawWatermark(reinterpret_cast<const TODAYDRAWWATERMARKINFO*>(lParam));
    case TODAYM_TOOKSELECTION: {
        // An item took the selection itself (a tap): the one selected before loses it.
        Today& t = today();
        HWND from = reinterpret_cast<HWND>(wParam);
        for (auto& item : t.items) {
            if (item->hwnd != from || t.selected == item.get()) continue;
            if (t.selected && t.selected->hwnd)
                SendMessageW(t.selected->hwnd, WM_TODAYCUSTOM_LOSTSELECTION, 0, 0);
            t.selected = item.get();
        }
        return 0;
    }
    case WM_TIMER:
        if (wParam == kQueryTimer) queryAll();
        return 0;
    case WM_KEYDOWN:
        if (handleKey(static_cast<UINT>(wParam))) return 0;
        break;
    default: break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK frameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_KEYDOWN:
        if (handleKey(static_cast<UINT>(wParam))) return 0;
        break;
    case WM_COMMAND:
        if (softKeyCommand(LOWORD(wParam))) return 0;
        break;
    case WM_COPYDATA: return handleRequest(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_WININICHANGE:
        // 0xF2: the items changed in the registry. Anything else (a rotation's
        // WM_SETTINGCHANGE among them): the screen may have another size now.
        if (wParam == 0xF2)
            reloadToday();
        else
            layoutShell();
        return 0;
    case kMsgDesktopReload:
        reloadToday();
        answerDesktopRequest(lParam, 0);
        return 0;
    case kMsgForeground: refreshTaskBar(); return 0;
    case WM_ACTIVATE:
        refreshTaskBar();
        if (LOWORD(wParam) != WA_INACTIVE) SetFocus(hwnd);
        return 0;
    case kMsgQuit: PostQuitMessage(0); return 0;
    default: break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The options dialog's procedure stands between the dialog manager and the item's ordinal
// 241: the item sees nothing before WM_INITDIALOG (the dialog manager's WM_SETFONT and
// creation messages come first), so WM_INITDIALOG is the first message it gets, as an item
// written for the device expects. The item's procedure for a dialog being made is handed over
// in `pendingOptions` (one thread makes every dialog).
PFNCUSTOMOPTIONSDLGPROC pendingOptions = nullptr;
std::map<HWND, PFNCUSTOMOPTIONSDLGPROC>& optionsProcs() {
    static std::map<HWND, PFNCUSTOMOPTIONSDLGPROC> procs;
    return procs;
}

INT_PTR CALLBACK optionsThunk(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto& procs = optionsProcs();
    auto it = procs.find(hwnd);
    if (it == procs.end()) {
        if (msg != WM_INITDIALOG || !pendingOptions) return FALSE;
        it = procs.emplace(hwnd, pendingOptions).first;
        pendingOptions = nullptr;
    }
    PFNCUSTOMOPTIONSDLGPROC proc = it->second;
    if (msg == WM_NCDESTROY) procs.erase(it);
    return static_cast<INT_PTR>(proc(hwnd, msg, wParam, lParam));
}

bool registerClass(HINSTANCE instance, const WCHAR* name, WNDPROC proc) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.lpszClassName = name;
    return RegisterClassW(&wc) != 0;
}

} // namespace

HWND todayFrame() {
    return today().frame;
}

HWND todayHolder() {
    return today().holder;
}

SIZE todayArea() {
    Today& t = today();
    RECT rc{};
    if (t.frame) GetClientRect(t.frame, &rc);
    return SIZE{rc.right, rc.bottom};
}

bool createToday(HINSTANCE instance) {
    if (!registerClass(instance, kTodayFrameClass, frameProc) ||
        !registerClass(instance, kScrollBarClass, scrollBarProc) ||
        !registerClass(instance, kHolderClass, holderProc) || !registerDateItemClass(instance))
        return false;
    Today& t = today();
    ScreenLayout l = screenLayout();
    t.frame = CreateWindowExW(0, kTodayFrameClass, u"Today", WS_POPUP | WS_CLIPCHILDREN,
                              l.today.left, l.today.top, l.today.right - l.today.left,
                              l.today.bottom - l.today.top, nullptr, nullptr, instance, nullptr);
    if (!t.frame) return false;
    // The holder first, the scroll bar after it: the window made last is the first child.
    t.holder = CreateWindowExW(0, kHolderClass, u"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                               1, 1, t.frame, nullptr, instance, nullptr);
    t.scrollBar = CreateWindowExW(0, kScrollBarClass, u"", WS_CHILD, 0, 0, 1, 1, t.frame, nullptr,
                                  instance, nullptr);
    if (!t.holder || !t.scrollBar) return false;
    SetWindowPos(t.scrollBar, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (!createSoftKeys(t.frame)) return false;
    layoutToday();
    reloadToday();
    ShowWindow(t.frame, SW_SHOW);
    SetWindowPos(t.frame, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(t.frame);
    SetFocus(t.frame);
    UpdateWindow(t.frame);
    SetTimer(t.holder, kQueryTimer, kQueryIntervalMs, nullptr);
    return true;
}

void destroyToday() {
    Today& t = today();
    for (HWND dlg : t.dialogs)
        if (IsWindow(dlg)) DestroyWindow(dlg);
    t.dialogs.clear();
    t.selected = nullptr;
    for (auto& item : t.items)
        unloadItem(*item);
    t.items.clear();
    destroySoftKeys();
    if (t.frame) DestroyWindow(t.frame);
    t.frame = t.holder = t.scrollBar = nullptr;
}

void reloadToday() {
    Today& t = today();
    if (!t.holder) return;
    std::vector<ItemConfig> configs = readItemConfigs();
    // Unload what is disabled or gone (or names another library now).
    for (auto& item : t.items) {
        bool keep = false;
        for (const auto& c : configs)
            if (c.enabled && sameItem(*item, c)) keep = true;
        if (!keep) {
            if (isSelected(item.get())) unselect(item.get());
            unloadItem(*item);
        }
    }
    std::erase_if(t.items, [](const auto& item) { return !item->module && !item->hwnd; });
    // Keep or load each enabled entry, in the registry's order.
    std::vector<std::unique_ptr<TodayItem>> next;
    for (const auto& c : configs) {
        if (!c.enabled) continue;
        auto it = std::find_if(t.items.begin(), t.items.end(),
                               [&](const auto& item) { return item && sameItem(*item, c); });
        if (it != t.items.end()) {
            (*it)->config = c;
            (*it)->record->dwOrder = c.order;
            (*it)->record->grfFlags = c.flags;
            next.push_back(std::move(*it));
            continue;
        }
        if (auto item = loadItem(c, t.holder)) {
            queryItem(*item);
            next.push_back(std::move(item));
        }
    }
    // Entries that lost their key between the two passes cannot be left behind.
    for (auto& item : t.items)
        if (item) {
            if (isSelected(item.get())) unselect(item.get());
            unloadItem(*item);
        }
    t.items = std::move(next);
    layoutToday();
}

void layoutToday() {
    Today& t = today();
    if (!t.frame) return;
    ScreenLayout l = screenLayout();
    SetWindowPos(t.frame, nullptr, l.today.left, l.today.top, l.today.right - l.today.left,
                 l.today.bottom - l.today.top, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client;
    GetClientRect(t.frame, &client);
    t.totalHeight = 0;
    for (auto& item : t.items) {
        if (item->hwnd && !IsWindow(item->hwnd)) item->hwnd = nullptr;
        if (item->hwnd) t.totalHeight += static_cast<int>(item->record->cyp);
    }
    bool scrolling = t.totalHeight > client.bottom;
    int barWidth = scrolling ? GetSystemMetrics(SM_CXVSCROLL) : 0;
    int width = std::max<int>(client.right - barWidth, 0);
    t.scroll = std::clamp(t.scroll, 0, std::max(t.totalHeight - client.bottom, 0));
    SetWindowPos(t.holder, nullptr, 0, 0, width, client.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(t.scrollBar, nullptr, width, 0, barWidth, client.bottom,
                 SWP_NOZORDER | SWP_NOACTIVATE | (scrolling ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    int y = -t.scroll;
    for (auto& item : t.items) {
        if (!item->hwnd) continue;
        int h = static_cast<int>(item->record->cyp);
        SetWindowPos(item->hwnd, nullptr, 0, y, width, h, SWP_NOZORDER | SWP_NOACTIVATE);
        y += h;
    }
    if (scrolling) InvalidateRect(t.scrollBar, nullptr, FALSE);
}

intptr_t openItemOptions(const std::u16string& name) {
    Today& t = today();
    TodayItem* found = nullptr;
    for (auto& item : t.items)
        if (ce::equalNoCase(item->config.name, name)) found = item.get();
    if (!found) return kAnswerUnknownItem;
    if (!found->optionsProc) return kAnswerNoOptions;
    // A small dialog without controls: the item's procedure fills it or closes it at once.
    static const CeDialogTemplate kOptions = {WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_CENTER,
                                              0,
                                              {0, 0, 140, 120},
                                              u"Today",
                                              nullptr,
                                              0,
                                              nullptr,
                                              0};
    std::erase_if(t.dialogs, [](HWND dlg) { return !IsWindow(dlg); });
    pendingOptions = reinterpret_cast<PFNCUSTOMOPTIONSDLGPROC>(found->optionsProc);
    HWND dlg = CreateDialogIndirectParamW(static_cast<HINSTANCE>(found->module), &kOptions, t.frame,
                                          optionsThunk, 0);
    pendingOptions = nullptr;
    ce::JournalLine("today.options")
        .str("name", ce::toUtf8(found->config.name))
        .flag("open", dlg && IsWindow(dlg))
        .write();
    if (dlg && IsWindow(dlg)) t.dialogs.push_back(dlg);
    return kAnswerDone;
}

bool todayDialogMessage(MSG* msg) {
    for (HWND dlg : today().dialogs)
        if (IsWindow(dlg) && IsDialogMessageW(dlg, msg)) return true;
    return false;
}

} // namespace ceshell
