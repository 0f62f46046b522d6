// dateitem.cpp: the Today screen's built-in date item (an entry of Type 0): a child window of
// the holder, 20 pixels high at 96 dpi, showing the device's local date in the long format of
// the device's locale, in the Today text colour (SHColor entry 9) over the Today background.
//
// It answers the item messages as an item library's window would, so the Today screen treats
// every item alike: its height comes from WM_TODAYCUSTOM_QUERYREFRESHCACHE (which also redraws
// it when the date has changed), it takes the selection (drawn filled with the selection
// colour, SHColor entry 39, and white text) and gives every arrow key back to the Today screen.
#include <map>
#include <string>

#include "ceshell.h"

namespace ceshell {

namespace {

constexpr const WCHAR* kDateItemClass = u"TodayDateItem";
constexpr int kHeight96 = 20;

struct DateItem {
    bool selected = false;
    std::u16string text;
};

std::map<HWND, DateItem>& dateItems() {
    static std::map<HWND, DateItem> items;
    return items;
}

std::u16string longDate() {
    WCHAR buf[128] = {};
    if (GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, nullptr, nullptr, buf, 128) <= 0)
        return u"";
    return buf;
}

void paintDate(HWND hwnd, DateItem& item) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    COLORREF textColor = shellColor(kColorTodayText);
    if (item.selected) {
        HBRUSH brush = CreateSolidBrush(shellColor(kColorSelection));
        FillRect(hdc, &rc, brush);
        DeleteObject(brush);
        textColor = RGB(0xFF, 0xFF, 0xFF);
    } else {
        POINT origin{0, 0};
        MapWindowPoints(hwnd, GetParent(hwnd), &origin, 1);
        paintTodayBackground(hdc, rc, origin, todayArea());
    }
    LOGFONTW lf{};
    lf.lfHeight = -scaled(11);
    lf.lfWeight = FW_BOLD;
    std::char_traits<char16_t>::copy(lf.lfFaceName, u"Tahoma", 7);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(hdc, font);
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, textColor);
    RECT text = rc;
    text.left += scaled(6);
    text.right -= scaled(4);
    DrawTextW(hdc, item.text.c_str(), static_cast<int>(item.text.size()), &text,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    SelectObject(hdc, old);
    DeleteObject(font);
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK dateItemProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto& items = dateItems();
    switch (msg) {
    case WM_CREATE: items[hwnd].text = longDate(); return 0;
    case WM_NCDESTROY: items.erase(hwnd); break;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: paintDate(hwnd, items[hwnd]); return 0;
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE: {
        DateItem& item = items[hwnd];
        std::u16string text = longDate();
        if (text != item.text) {
            item.text = std::move(text);
            SetWindowTextW(hwnd, item.text.c_str());
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        auto* record = reinterpret_cast<TODAYLISTITEM*>(lParam);
        DWORD height = static_cast<DWORD>(dateItemHeight());
        if (!record || record->cyp == height) return FALSE;
        record->cyp = height;
        return TRUE;
    }
    case WM_TODAYCUSTOM_RECEIVEDSELECTION:
    case WM_TODAYCUSTOM_LOSTSELECTION:
        items[hwnd].selected = msg == WM_TODAYCUSTOM_RECEIVEDSELECTION;
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    case WM_TODAYCUSTOM_USERNAVIGATION: return FALSE; // one line: every key moves on
    case WM_TODAYCUSTOM_ACTION: return TRUE;
    case WM_TODAYCUSTOM_CLEARCACHE: return 0;
    default: break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace

bool registerDateItemClass(HINSTANCE instance) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = dateItemProc;
    wc.hInstance = instance;
    wc.lpszClassName = kDateItemClass;
    return RegisterClassW(&wc) != 0;
}

int dateItemHeight() {
    return scaled(kHeight96);
}

HWND createDateItem(HWND holder, TODAYLISTITEM* record) {
    std::u16string text = longDate();
    HWND hwnd =
        CreateWindowExW(0, kDateItemClass, text.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, 1,
                        dateItemHeight(), holder, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (hwnd && record) record->cyp = static_cast<DWORD>(dateItemHeight());
    return hwnd;
}

} // namespace ceshell
