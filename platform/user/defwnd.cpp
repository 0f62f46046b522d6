// defwnd.cpp: DefWindowProcW, what a window does with the messages its procedure leaves,
// and CallWindowProcW.
#include <algorithm>

#include "gdi/surface.h"
#include "user/userstate.h"

using namespace ce::user;

namespace {

constexpr LRESULT kHitNowhere = 0; // HTNOWHERE
constexpr LRESULT kHitClient = 1;  // HTCLIENT

// A class background is a brush, or a system colour index + 1 (with or without
// SYS_COLOR_INDEX_FLAG, as the device accepts both).
HBRUSH backgroundBrush(HBRUSH background) {
    ULONG_PTR v = reinterpret_cast<ULONG_PTR>(background);
    if (!v) return nullptr;
    bool flagged = (v & SYS_COLOR_INDEX_FLAG) && (v & ~SYS_COLOR_INDEX_FLAG) <= 64;
    if (flagged || v <= 64) return GetSysColorBrush(static_cast<int>(v - 1));
    return background;
}

LRESULT eraseBackground(HWND hWnd, HDC dc) {
    auto w = findWindow(hWnd);
    if (!w || !dc) return 0;
    HBRUSH brush;
    RECT client;
    {
        Lock lock(userLock());
        brush = w->cls ? w->cls->wc.hbrBackground : nullptr;
        RECT c = clientInWindow(*w);
        client = RECT{0, 0, c.right - c.left, c.bottom - c.top};
    }
    brush = backgroundBrush(brush);
    if (!brush) return 0;
    FillRect(dc, &client, brush); // the DC's clip keeps it to the update area
    return 1;
}

LRESULT setText(HWND hWnd, LPCWSTR text) {
    auto w = findWindow(hWnd);
    if (!w) return FALSE;
    std::u16string value = text ? std::u16string(text) : std::u16string();
    {
        Lock lock(userLock());
        w->text = value;
    }
    activeDriver().setWindowText(w->handle, value);
    return TRUE;
}

LRESULT getText(HWND hWnd, WPARAM size, LPWSTR buffer) {
    auto w = findWindow(hWnd);
    if (!w || !buffer || size == 0) return 0;
    Lock lock(userLock());
    size_t n = std::min<size_t>(w->text.size(), size - 1);
    std::copy_n(w->text.data(), n, buffer);
    buffer[n] = 0;
    return static_cast<LRESULT>(n);
}

} // namespace

// The default handling of a message (see the file comment of each case); 0 for the rest.
WINUSERAPI LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    switch (Msg) {
    case WM_NCCREATE: return TRUE;
    case WM_SETTEXT: return setText(hWnd, reinterpret_cast<LPCWSTR>(lParam));
    case WM_GETTEXT: return getText(hWnd, wParam, reinterpret_cast<LPWSTR>(lParam));
    case WM_GETTEXTLENGTH: {
        auto w = findWindow(hWnd);
        if (!w) return 0;
        Lock lock(userLock());
        return static_cast<LRESULT>(w->text.size());
    }
    case WM_ERASEBKGND: return eraseBackground(hWnd, reinterpret_cast<HDC>(wParam));
    case WM_CLOSE: DestroyWindow(hWnd); return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hWnd, &ps);
        EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_WINDOWPOSCHANGED: {
        // WM_MOVE then WM_SIZE, each only when the client area moved or changed size.
        auto wp = reinterpret_cast<const WINDOWPOS*>(lParam);
        auto w = findWindow(hWnd);
        if (!wp || !w) return 0;
        RECT client, rect;
        {
            Lock lock(userLock());
            client = clientInWindow(*w);
            rect = w->rect;
        }
        if (!(wp->flags & kSwpNoClientMove))
            SendMessageW(hWnd, WM_MOVE, 0,
                         MAKELPARAM(rect.left + client.left, rect.top + client.top));
        if (!(wp->flags & kSwpNoClientSize))
            SendMessageW(hWnd, WM_SIZE, SIZE_RESTORED,
                         MAKELPARAM(client.right - client.left, client.bottom - client.top));
        return 0;
    }
    case WM_ACTIVATE:
        // An activated window takes the focus unless it or a descendant has it already.
        if (LOWORD(wParam) != WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != hWnd && !IsChild(hWnd, focus)) SetFocus(hWnd);
        }
        return 0;
    case WM_NCHITTEST: {
        POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        RECT r;
        if (!ScreenToClient(hWnd, &p) || !GetClientRect(hWnd, &r)) return kHitNowhere;
        return (p.x >= 0 && p.y >= 0 && p.x < r.right && p.y < r.bottom) ? kHitClient : kHitNowhere;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_STATIC));
    default: return 0;
    }
}

// Calls a window procedure kept from GetWindowLongPtrW(GWL_WNDPROC) (subclassing).
WINUSERAPI LRESULT CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam,
                                   LPARAM lParam) {
    if (!lpPrevWndFunc) return 0;
    return lpPrevWndFunc(hWnd, Msg, wParam, lParam);
}
