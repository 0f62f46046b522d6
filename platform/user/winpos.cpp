// winpos.cpp: where windows are and whether they show: ShowWindow, MoveWindow, SetWindowPos,
// the rectangles and coordinate conversions, and window shapes (SetWindowRgn).
//
// SetWindowPos sends WM_WINDOWPOSCHANGING, applies the change (telling the driver), activates
// a top-level window that is shown or moved without SWP_NOACTIVATE, and sends
// WM_WINDOWPOSCHANGED, whose DefWindowProc handling sends WM_SIZE and WM_MOVE when the client
// area changed. ShowWindow adds WM_SHOWWINDOW in front. A window of another thread of this
// process is changed on its own thread (the caller waits, as SendMessage would); one of
// another program by that program, on the window's thread (remote.cpp).
#include <algorithm>

#include "kernel/wait.h"
#include "kernel/trace.h"
#include "gdi/surface.h"
#include "user/regionutil.h"
#include "user/userstate.h"

using namespace ce::user;

namespace ce::user {
namespace {

// Moves hwnd within its parent's own list of children (top first).
void restackLocal(Window& w, uint32_t after) {
    auto p = findWindow(w.parent);
    if (!p) return;
    auto& kids = p->children;
    kids.erase(std::remove(kids.begin(), kids.end(), w.handle), kids.end());
    if (after == 0) {
        kids.insert(kids.begin(), w.handle);
    } else if (after == 1) {
        kids.push_back(w.handle);
    } else {
        auto it = std::find(kids.begin(), kids.end(), after);
        kids.insert(it == kids.end() ? kids.end() : it + 1, w.handle);
    }
}

void applyZOrder(Window& w, HWND after) {
    uint32_t value = 0;
    bool topmost, styleChanged = false;
    DWORD style, exStyle;
    {
        Lock lock(userLock());
        topmost = (w.exStyle & WS_EX_TOPMOST) != 0;
        if (after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
            if (w.parent) return; // only top-level windows can be topmost
            styleChanged = topmost != (after == HWND_TOPMOST);
            topmost = after == HWND_TOPMOST;
            if (topmost)
                w.exStyle |= WS_EX_TOPMOST;
            else
                w.exStyle &= ~WS_EX_TOPMOST;
            value = 0;
        } else {
            value = HandleToULong(after);
        }
        if (w.parent) restackLocal(w, value);
        style = w.style;
        exStyle = w.exStyle;
    }
    // Other programs read WS_EX_TOPMOST (GetWindowLong) from what the driver keeps.
    if (styleChanged) activeDriver().setWindowStyle(w.handle, style & ~WS_VISIBLE, exStyle);
    activeDriver().restackWindow(w.handle, value, topmost);
}

} // namespace

bool setWindowPosInternal(uint32_t hwnd, HWND after, int x, int y, int cx, int cy, UINT flags) {
    auto w = findWindow(hwnd);
    if (!w) return false;
    uint32_t thread;
    {
        Lock lock(userLock());
        thread = w->threadId;
    }
    if (thread != currentThreadId())
        return runOnThreadSync(thread, [=] {
                   return setWindowPosInternal(hwnd, after, x, y, cx, cy, flags) ? 1 : 0;
               }) != 0;

    RECT old;
    bool wasVisible;
    {
        Lock lock(userLock());
        old = w->rect;
        wasVisible = (w->style & WS_VISIBLE) != 0;
    }
    WINDOWPOS wp{};
    wp.hwnd = static_cast<HWND>(ULongToHandle(hwnd));
    wp.hwndInsertAfter = after;
    wp.x = (flags & SWP_NOMOVE) ? old.left : x;
    wp.y = (flags & SWP_NOMOVE) ? old.top : y;
    wp.cx = (flags & SWP_NOSIZE) ? old.right - old.left : cx;
    wp.cy = (flags & SWP_NOSIZE) ? old.bottom - old.top : cy;
    wp.flags = flags;
    if (!(flags & SWP_NOSENDCHANGING))
        callProc(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
    flags = wp.flags;
    // Values from another program or a procedure's WM_WINDOWPOSCHANGING can be anything (see
    // kMaxWindowExtent); kept in range, the rectangle's sums cannot overflow either.
    wp.x = std::clamp(wp.x, kMinWindowCoordinate, kMaxWindowCoordinate);
    wp.y = std::clamp(wp.y, kMinWindowCoordinate, kMaxWindowCoordinate);
    wp.cx = std::clamp(wp.cx, 0, kMaxWindowExtent);
    wp.cy = std::clamp(wp.cy, 0, kMaxWindowExtent);
    RECT now{wp.x, wp.y, wp.x + std::max(0, wp.cx), wp.y + std::max(0, wp.cy)};
    bool moved = now.left != old.left || now.top != old.top;
    bool sized = (now.right - now.left) != (old.right - old.left) ||
                 (now.bottom - now.top) != (old.bottom - old.top);
    if (moved || sized) {
        {
            Lock lock(userLock());
            w->rect = now;
            if (sized) resizeSurface(*w);
        }
        activeDriver().setWindowRect(hwnd, now);
    }
    bool topLevel;
    {
        Lock lock(userLock());
        topLevel = !(w->style & WS_CHILD);
    }
    if (!(flags & SWP_NOZORDER)) applyZOrder(*w, wp.hwndInsertAfter);
    bool showing = (flags & SWP_SHOWWINDOW) && !wasVisible;
    bool hiding = (flags & SWP_HIDEWINDOW) && wasVisible;
    if (showing || hiding) {
        {
            Lock lock(userLock());
            if (showing)
                w->style |= WS_VISIBLE;
            else
                w->style &= ~WS_VISIBLE;
        }
        activeDriver().setWindowVisible(hwnd, showing);
    }
    if (showing)
        invalidateTree(hwnd, true);
    else if (sized && !(flags & SWP_NOREDRAW)) {
        Lock lock(userLock());
        invalidateClient(*w, nullptr, true);
    }
    bool visibleNow = showing || (wasVisible && !hiding);
    if (topLevel && visibleNow && !(flags & SWP_NOACTIVATE)) activateWindow(hwnd, true);

    UINT changed = flags;
    if (!sized) changed |= kSwpNoClientSize;
    if (!moved) changed |= kSwpNoClientMove;
    wp.flags = changed;
    callProc(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
    if (hiding) windowGoingAway(hwnd, false);
    return true;
}

} // namespace ce::user

// Shows or hides a window: WM_SHOWWINDOW, then SetWindowPos's messages; a top-level window
// is activated unless the command says not to. Returns whether it was visible before. A
// window of another program is shown or hidden by that program (remote.cpp).
WINUSERAPI BOOL ShowWindow(HWND hWnd, int nCmdShow) {
    uint32_t handle = HandleToULong(hWnd);
    auto w = findWindow(handle);
    if (!w) {
        if (!activeDriver().queryWindow(handle)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (nCmdShow < SW_HIDE || nCmdShow > SW_SHOWDEFAULT) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        return showRemoteWindow(handle, nCmdShow);
    }
    uint32_t thread;
    bool wasVisible, child;
    {
        Lock lock(userLock());
        thread = w->threadId;
        wasVisible = (w->style & WS_VISIBLE) != 0;
        child = (w->style & WS_CHILD) != 0;
    }
    if (thread != currentThreadId())
        return static_cast<BOOL>(runOnThreadSync(
            thread, [=] { return static_cast<LRESULT>(ShowWindow(hWnd, nCmdShow)); }));
    switch (nCmdShow) {
    case SW_HIDE:
        if (!wasVisible) return FALSE;
        callProc(handle, WM_SHOWWINDOW, FALSE, 0);
        setWindowPosInternal(handle, nullptr, 0, 0, 0, 0,
                             SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER |
                                 SWP_NOACTIVATE);
        return TRUE;
    case SW_SHOWNORMAL:
    case SW_SHOW:
    case SW_SHOWDEFAULT:
    case SW_RESTORE:
    case SW_SHOWMAXIMIZED:
    case SW_SHOWNOACTIVATE:
    case SW_SHOWNA:
    case SW_SHOWMINNOACTIVE:
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE: break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
    }
    if (nCmdShow == SW_SHOWMAXIMIZED || nCmdShow == SW_SHOWMINIMIZED || nCmdShow == SW_MINIMIZE ||
        nCmdShow == SW_SHOWMINNOACTIVE)
        CE_FIXME("msg", "minimized and maximized windows are shown as they are");
    bool noActivate = child || nCmdShow == SW_SHOWNOACTIVATE || nCmdShow == SW_SHOWNA ||
                      nCmdShow == SW_SHOWMINNOACTIVE || nCmdShow == SW_MINIMIZE;
    if (wasVisible) {
        if (!noActivate) activateWindow(handle, true);
        return TRUE;
    }
    callProc(handle, WM_SHOWWINDOW, TRUE, 0);
    UINT flags = SWP_SHOWWINDOW | SWP_NOSIZE | SWP_NOMOVE;
    if (noActivate) flags |= SWP_NOACTIVATE | SWP_NOZORDER;
    setWindowPosInternal(handle, HWND_TOP, 0, 0, 0, 0, flags);
    return FALSE;
}

WINUSERAPI BOOL MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint) {
    return SetWindowPos(hWnd, nullptr, X, Y, nWidth, nHeight,
                        SWP_NOZORDER | SWP_NOACTIVATE | (bRepaint ? 0 : SWP_NOREDRAW));
}

// Moves, sizes, restacks, shows or hides a window (see the file comment).
WINUSERAPI BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy,
                             UINT uFlags) {
    uint32_t handle = HandleToULong(hWnd);
    if (!findWindow(handle)) {
        if (!activeDriver().queryWindow(handle)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        return placeRemoteWindow(handle, hWndInsertAfter, X, Y, cx, cy, uFlags);
    }
    if ((uFlags & SWP_SHOWWINDOW) && (uFlags & SWP_HIDEWINDOW)) uFlags &= ~SWP_HIDEWINDOW;
    return setWindowPosInternal(handle, hWndInsertAfter, X, Y, cx, cy, uFlags) ? TRUE : FALSE;
}

// The client area's size: left and top are always 0.
WINUSERAPI BOOL GetClientRect(HWND hWnd, LPRECT lpRect) {
    auto f = windowFacts(HandleToULong(hWnd));
    if (!f) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!lpRect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    LONG b = hasBorder(f->style) ? 2 : 0;
    *lpRect = RECT{0, 0, std::max<LONG>(0, f->rect.right - f->rect.left - b),
                   std::max<LONG>(0, f->rect.bottom - f->rect.top - b)};
    return TRUE;
}

// The window's rectangle in screen coordinates.
WINUSERAPI BOOL GetWindowRect(HWND hWnd, LPRECT lpRect) {
    auto f = windowFacts(HandleToULong(hWnd));
    if (!f) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!lpRect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpRect = f->rect;
    return TRUE;
}

WINUSERAPI BOOL ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
    if (!isWindowHandle(HandleToULong(hWnd)) || !lpPoint) {
        SetLastError(lpPoint ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    POINT o = clientScreenOrigin(HandleToULong(hWnd));
    lpPoint->x += o.x;
    lpPoint->y += o.y;
    return TRUE;
}

WINUSERAPI BOOL ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
    if (!isWindowHandle(HandleToULong(hWnd)) || !lpPoint) {
        SetLastError(lpPoint ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    POINT o = clientScreenOrigin(HandleToULong(hWnd));
    lpPoint->x -= o.x;
    lpPoint->y -= o.y;
    return TRUE;
}

// Converts points from one window's client coordinates to another's (NULL: the screen).
// Returns the horizontal offset in the low word and the vertical one in the high word.
WINUSERAPI int MapWindowPoints(HWND hWndFrom, HWND hWndTo, LPPOINT lpPoints, UINT cPoints) {
    POINT from{0, 0}, to{0, 0};
    uint32_t desktop = activeDriver().desktopWindow();
    for (auto [h, out] : {std::pair{hWndFrom, &from}, std::pair{hWndTo, &to}}) {
        uint32_t v = HandleToULong(h);
        if (!v || v == desktop) continue;
        if (!isWindowHandle(v)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        *out = clientScreenOrigin(v);
    }
    int dx = from.x - to.x, dy = from.y - to.y;
    if (lpPoints)
        for (UINT i = 0; i < cPoints; ++i) {
            lpPoints[i].x += dx;
            lpPoints[i].y += dy;
        }
    return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

// Gives the window a shape (window coordinates): painting and input keep to it. The system
// owns the region from now on and deletes it. NULL removes the shape.
WINUSERAPI int SetWindowRgn(HWND hWnd, HRGN hRgn, BOOL bRedraw) {
    auto w = findWindow(hWnd);
    if (!w) {
        SetLastError(IsWindow(hWnd) ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    std::optional<RectList> shape;
    if (hRgn) {
        RectList rects;
        if (!ce::regionRects(hRgn, &rects)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        shape = std::move(rects);
        DeleteObject(hRgn);
    }
    {
        Lock lock(userLock());
        w->shape = shape;
    }
    activeDriver().setWindowShape(w->handle, shape ? &*shape : nullptr);
    if (bRedraw) InvalidateRect(hWnd, nullptr, TRUE);
    return 1;
}

// Copies the window's shape into hRgn; ERROR (0) when the window has none.
WINUSERAPI int GetWindowRgn(HWND hWnd, HRGN hRgn) {
    auto w = findWindow(hWnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    RectList shape;
    {
        Lock lock(userLock());
        if (!w->shape) return 0;
        shape = *w->shape;
    }
    return copyRectsToRegion(hRgn, shape);
}
