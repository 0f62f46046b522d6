// window.cpp: making and destroying windows (CreateWindowExW, DestroyWindow), their values
// (GetWindowLongW and the rest), and the simple questions about a window (IsWindow,
// IsWindowVisible, IsChild, GetWindowThreadProcessId, EnableWindow).
//
// A window's record lives here; the display driver hands out its handle value and keeps the
// device-wide view (driver.h). The creation and destruction sequences are those of Windows:
//   create:  WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE, then for WS_VISIBLE
//            what ShowWindow sends;
//   destroy: owned windows first; hidden; WM_DESTROY to the window, then to its children
//            (parents before children); WM_NCDESTROY to the children, then to the window.
#include <algorithm>
#include <cstring>

#include "kernel/device.h"
#include "kernel/strings.h"
#include "kernel/trace.h"
#include "kernel/wait.h"
#include "user/dialog.h"
#include "user/userstate.h"

using namespace ce::user;

namespace ce::user {
namespace {

// The work area: the screen below the title bar, which is 26 pixels high at 96 dpi.
RECT workArea() {
    SIZE s = activeDriver().screenSize();
    int dpi = ce::deviceConf()->profile.dpi;
    int bar = 26 * (dpi > 0 ? dpi : 96) / 96;
    return RECT{0, std::min<LONG>(bar, s.cy), s.cx, s.cy};
}

WindowDesc describe(const Window& w) {
    WindowDesc d;
    d.parent = w.parent;
    d.owner = w.owner;
    d.rect = w.rect;
    d.visible = false;
    d.topmost = (w.exStyle & WS_EX_TOPMOST) != 0;
    d.style = w.style & ~WS_VISIBLE;
    d.exStyle = w.exStyle;
    d.className = w.cls->name;
    d.text = w.text;
    d.processId = GetCurrentProcessId();
    d.threadId = w.threadId;
    return d;
}

// A window and its descendants (own windows): parents before children (pre-order) and
// children before parents (post-order).
void collectTree(uint32_t hwnd, std::vector<uint32_t>& pre, std::vector<uint32_t>& post) {
    pre.push_back(hwnd);
    std::vector<uint32_t> kids;
    if (auto w = findWindow(hwnd)) {
        Lock lock(userLock());
        kids = w->children;
    }
    for (uint32_t k : kids)
        collectTree(k, pre, post);
    post.push_back(hwnd);
}

} // namespace
} // namespace ce::user

// Creates a window (see the file comment for the messages). A top-level window given
// CW_USEDEFAULT fills the work area; a child gets 0 for CW_USEDEFAULT values.
WINUSERAPI HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName,
                                DWORD dwStyle, int X, int Y, int nWidth, int nHeight,
                                HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam) {
    currentQueue();
    auto cls = findClass(lpClassName, hInstance);
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    uint32_t parentValue = HandleToULong(hWndParent);
    if (hWndParent == HWND_MESSAGE) {
        CE_FIXME("msg", "message-only windows are plain hidden top-level windows");
        parentValue = 0;
    }
    uint32_t desktop = activeDriver().desktopWindow();
    if (parentValue == desktop) parentValue = 0;
    bool child = (dwStyle & WS_CHILD) != 0;
    if (child && !parentValue) {
        SetLastError(ERROR_TLW_WITH_WSCHILD);
        return nullptr;
    }
    if (parentValue && !isWindowHandle(parentValue)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }

    auto w = std::make_shared<Window>();
    w->cls = cls;
    w->instance = hInstance;
    w->threadId = currentThreadId();
    w->style = dwStyle;
    w->exStyle = dwExStyle;
    w->text = lpWindowName ? std::u16string(lpWindowName) : std::u16string();
    if (child) {
        w->parent = parentValue;
        w->id = reinterpret_cast<LONG_PTR>(hMenu);
        if (X == CW_USEDEFAULT) X = Y = 0;
        if (nWidth == CW_USEDEFAULT) nWidth = nHeight = 0;
    } else {
        w->owner = parentValue ? topLevelOf(parentValue) : 0;
        RECT work = workArea();
        if (X == CW_USEDEFAULT) {
            X = work.left;
            Y = work.top;
        }
        if (nWidth == CW_USEDEFAULT) {
            nWidth = work.right - work.left;
            nHeight = work.bottom - work.top;
        }
    }
    // Kept in range as SetWindowPos keeps them (kMaxWindowExtent).
    X = std::clamp(X, kMinWindowCoordinate, kMaxWindowCoordinate);
    Y = std::clamp(Y, kMinWindowCoordinate, kMaxWindowCoordinate);
    nWidth = std::clamp(nWidth, 0, kMaxWindowExtent);
    nHeight = std::clamp(nHeight, 0, kMaxWindowExtent);
    w->rect = RECT{X, Y, X + nWidth, Y + nHeight};
    {
        Lock lock(userLock());
        w->proc = cls->wc.lpfnWndProc;
        w->extra.assign(static_cast<size_t>(cls->wc.cbWndExtra), 0);
    }
    w->surface = std::make_shared<Surface>(nWidth, nHeight, 0xFFFFFFFFu);

    uint32_t handle = activeDriver().createWindow(describe(*w));
    if (!handle) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    w->handle = handle;
    w->style &= ~WS_VISIBLE; // made visible below, with the messages of ShowWindow
    {
        Lock lock(userLock());
        ++cls->liveWindows;
        insertWindow(w);
        if (auto p = findWindow(w->parent)) p->children.push_back(handle); // bottom
    }
    HWND hwnd = static_cast<HWND>(ULongToHandle(handle));
    CE_TRACE("msg", "window %08x class %s", handle, ce::toUtf8(cls->name).c_str());

    CREATESTRUCTW cs{};
    cs.lpCreateParams = lpParam;
    cs.hInstance = hInstance;
    cs.hMenu = hMenu;
    cs.hwndParent = hWndParent;
    cs.cy = nHeight;
    cs.cx = nWidth;
    cs.y = Y;
    cs.x = X;
    cs.style = static_cast<LONG>(dwStyle);
    cs.lpszName = lpWindowName;
    cs.lpszClass = lpClassName;
    cs.dwExStyle = dwExStyle;

    if (!callProc(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    RECT calc = w->rect;
    callProc(handle, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&calc));
    if (callProc(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!findWindow(handle)) return nullptr; // destroyed while being created
    RECT client;
    POINT pos;
    {
        Lock lock(userLock());
        client = clientInWindow(*w);
        pos = POINT{w->rect.left + client.left, w->rect.top + client.top};
    }
    callProc(handle, WM_SIZE, SIZE_RESTORED,
             MAKELPARAM(client.right - client.left, client.bottom - client.top));
    callProc(handle, WM_MOVE, 0, MAKELPARAM(pos.x, pos.y));
    if ((dwStyle & WS_VISIBLE) && findWindow(handle)) ShowWindow(hwnd, SW_SHOW);
    return findWindow(handle) ? hwnd : nullptr;
}

// Destroys a window of the calling thread with its children and owned windows. Windows of
// other threads or programs cannot be destroyed (ERROR_ACCESS_DENIED), as on Windows.
WINUSERAPI BOOL DestroyWindow(HWND hWnd) {
    uint32_t handle = HandleToULong(hWnd);
    auto w = findWindow(handle);
    if (!w) {
        SetLastError(isWindowHandle(handle) ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    {
        Lock lock(userLock());
        if (w->threadId != currentThreadId()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (w->destroying) return TRUE;
        w->destroying = true;
    }
    // Owned windows go first.
    for (auto& other : allWindows()) {
        bool owned;
        {
            Lock lock(userLock());
            owned = other->owner == handle && !other->destroying && !other->parent;
        }
        if (owned) DestroyWindow(static_cast<HWND>(ULongToHandle(other->handle)));
    }
    bool visible;
    {
        Lock lock(userLock());
        visible = (w->style & WS_VISIBLE) != 0;
    }
    if (visible)
        setWindowPosInternal(handle, nullptr, 0, 0, 0, 0,
                             SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER |
                                 SWP_NOACTIVATE);
    windowGoingAway(handle, true);

    std::vector<uint32_t> tree, postOrder;
    collectTree(handle, tree, postOrder);
    for (uint32_t h : tree) {
        if (auto x = findWindow(h)) {
            Lock lock(userLock());
            x->destroying = true;
        }
    }
    for (uint32_t h : tree)
        callProc(h, WM_DESTROY, 0, 0);
    for (uint32_t h : postOrder) {
        auto x = findWindow(h);
        if (!x) continue;
        killWindowTimers(h);
        callProc(h, WM_NCDESTROY, 0, 0);
        uint32_t parent;
        {
            Lock lock(userLock());
            parent = x->parent;
            --x->cls->liveWindows;
            if (auto p = findWindow(parent)) {
                auto& kids = p->children;
                kids.erase(std::remove(kids.begin(), kids.end(), h), kids.end());
            }
            eraseWindow(h);
        }
        activeDriver().destroyWindow(h);
    }
    return TRUE;
}

WINUSERAPI BOOL IsWindow(HWND hWnd) {
    return isWindowHandle(HandleToULong(hWnd)) ? TRUE : FALSE;
}

// Visible only when the window and every ancestor are.
WINUSERAPI BOOL IsWindowVisible(HWND hWnd) {
    return isVisibleChain(HandleToULong(hWnd)) ? TRUE : FALSE;
}

WINUSERAPI BOOL IsWindowEnabled(HWND hWnd) {
    auto f = windowFacts(HandleToULong(hWnd));
    if (!f) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return (f->style & WS_DISABLED) ? FALSE : TRUE;
}

// Enables or disables input to a window of this process and sends WM_ENABLE; a disabled
// window loses the focus. Returns whether it was disabled before.
WINUSERAPI BOOL EnableWindow(HWND hWnd, BOOL bEnable) {
    auto w = findWindow(hWnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    bool wasDisabled, changed;
    DWORD style, exStyle;
    {
        Lock lock(userLock());
        wasDisabled = (w->style & WS_DISABLED) != 0;
        changed = wasDisabled == (bEnable != FALSE);
        if (bEnable)
            w->style &= ~WS_DISABLED;
        else
            w->style |= WS_DISABLED;
        style = w->style;
        exStyle = w->exStyle;
    }
    if (changed) {
        activeDriver().setWindowStyle(w->handle, style, exStyle);
        if (!bEnable && GetFocus() == hWnd) SetFocus(nullptr);
        sendInternal(w->handle, WM_ENABLE, bEnable ? TRUE : FALSE, 0);
    }
    return wasDisabled ? TRUE : FALSE;
}

// Whether hWnd is a descendant of hWndParent (a child chain, not ownership).
WINUSERAPI BOOL IsChild(HWND hWndParent, HWND hWnd) {
    uint32_t parent = HandleToULong(hWndParent);
    uint32_t current = HandleToULong(hWnd);
    for (int depth = 0; depth < 256 && current; ++depth) {
        auto f = windowFacts(current);
        if (!f || !(f->style & WS_CHILD)) return FALSE;
        if (f->parent == parent) return parent ? TRUE : FALSE;
        current = f->parent;
    }
    return FALSE;
}

// The thread (and process) that made the window, for any window of the device.
WINUSERAPI DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
    auto f = windowFacts(HandleToULong(hWnd));
    if (!f) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (lpdwProcessId) *lpdwProcessId = f->processId;
    return f->threadId;
}

// ---- Window values ------------------------------------------------------------------------------

namespace {

bool extraFits(const Window& w, int index, size_t size) {
    return index >= 0 && static_cast<size_t>(index) + size <= w.extra.size();
}

LONG_PTR getLong(HWND hWnd, int nIndex, size_t size, bool ptr) {
    uint32_t handle = HandleToULong(hWnd);
    auto w = findWindow(handle);
    if (!w) {
        auto f = activeDriver().queryWindow(handle);
        if (!f) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (nIndex == GWL_STYLE) return static_cast<LONG>(f->style);
        if (nIndex == GWL_EXSTYLE) return static_cast<LONG>(f->exStyle);
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    Lock lock(userLock());
    switch (nIndex) {
    case GWL_STYLE: return static_cast<LONG>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG>(w->exStyle);
    case GWL_ID: return ptr ? w->id : static_cast<LONG>(w->id);
    case GWL_USERDATA: return ptr ? w->userData : static_cast<LONG>(w->userData);
    case GWL_WNDPROC:
        if (ptr) return reinterpret_cast<LONG_PTR>(w->proc);
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    default: break;
    }
    if (auto v = dialogWindowLong(handle, nIndex, nullptr, ptr)) return *v; // DWL_ values
    if (extraFits(*w, nIndex, size)) {
        if (size == sizeof(LONG)) {
            LONG v;
            std::memcpy(&v, w->extra.data() + nIndex, sizeof v);
            return v;
        }
        LONG_PTR v;
        std::memcpy(&v, w->extra.data() + nIndex, sizeof v);
        return v;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

LONG_PTR setLong(HWND hWnd, int nIndex, LONG_PTR value, size_t size, bool ptr) {
    auto w = findWindow(hWnd);
    if (!w) {
        SetLastError(IsWindow(hWnd) ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR old = 0;
    bool styleChanged = false, visibilityChanged = false;
    DWORD style = 0, exStyle = 0;
    {
        Lock lock(userLock());
        switch (nIndex) {
        case GWL_STYLE:
            old = static_cast<LONG>(w->style);
            visibilityChanged = ((w->style ^ static_cast<DWORD>(value)) & WS_VISIBLE) != 0;
            w->style = static_cast<DWORD>(value);
            styleChanged = true;
            break;
        case GWL_EXSTYLE:
            old = static_cast<LONG>(w->exStyle);
            w->exStyle = static_cast<DWORD>(value);
            styleChanged = true;
            break;
        case GWL_ID:
            old = ptr ? w->id : static_cast<LONG>(w->id);
            w->id = value;
            break;
        case GWL_USERDATA:
            old = ptr ? w->userData : static_cast<LONG>(w->userData);
            w->userData = value;
            break;
        case GWL_WNDPROC:
            if (!ptr) {
                SetLastError(ERROR_INVALID_INDEX);
                return 0;
            }
            old = reinterpret_cast<LONG_PTR>(w->proc);
            w->proc = reinterpret_cast<WNDPROC>(value);
            break;
        default:
            if (auto v = dialogWindowLong(w->handle, nIndex, &value, ptr)) return *v; // DWL_
            if (!extraFits(*w, nIndex, size)) {
                SetLastError(ERROR_INVALID_INDEX);
                return 0;
            }
            if (size == sizeof(LONG)) {
                LONG o, v = static_cast<LONG>(value);
                std::memcpy(&o, w->extra.data() + nIndex, sizeof o);
                std::memcpy(w->extra.data() + nIndex, &v, sizeof v);
                old = o;
            } else {
                std::memcpy(&old, w->extra.data() + nIndex, sizeof old);
                std::memcpy(w->extra.data() + nIndex, &value, sizeof value);
            }
            break;
        }
        style = w->style;
        exStyle = w->exStyle;
    }
    if (styleChanged) activeDriver().setWindowStyle(w->handle, style & ~WS_VISIBLE, exStyle);
    if (visibilityChanged) {
        activeDriver().setWindowVisible(w->handle, (style & WS_VISIBLE) != 0);
        if (style & WS_VISIBLE) invalidateTree(w->handle, true);
    }
    return old;
}

} // namespace

// 32-bit window values. GWL_WNDPROC needs the Ptr form on this host (ERROR_INVALID_INDEX).
WINUSERAPI LONG GetWindowLongW(HWND hWnd, int nIndex) {
    return static_cast<LONG>(getLong(hWnd, nIndex, sizeof(LONG), false));
}

WINUSERAPI LONG SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong) {
    return static_cast<LONG>(setLong(hWnd, nIndex, dwNewLong, sizeof(LONG), false));
}

// Pointer-sized window values: every GWL_ index, and extra bytes read as LONG_PTR.
WINUSERAPI LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex) {
    return getLong(hWnd, nIndex, sizeof(LONG_PTR), true);
}

WINUSERAPI LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    return setLong(hWnd, nIndex, dwNewLong, sizeof(LONG_PTR), true);
}
