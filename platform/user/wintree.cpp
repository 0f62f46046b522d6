// wintree.cpp: the tree of windows of the whole device: GetParent, SetParent, GetWindow,
// GetDesktopWindow, FindWindowW, EnumWindows, EnumChildWindows, WindowFromPoint,
// ChildWindowFromPoint, and window texts (GetWindowTextW, SetWindowTextW ...).
//
// Own windows answer from the local records; the top-level stacking and other programs'
// windows come from the display driver, so these calls see every program of the device.
#include <algorithm>

#include "kernel/strings.h"
#include "user/userstate.h"

using namespace ce::user;

namespace {

HWND toHwnd(uint32_t v) {
    return static_cast<HWND>(ULongToHandle(v));
}

uint32_t desktop() {
    return activeDriver().desktopWindow();
}

// The children of any window, top of the stacking order first; 0 or the desktop window gives
// the top-level windows of the device.
std::vector<uint32_t> childrenOf(uint32_t parent) {
    if (parent && parent != desktop()) {
        if (auto w = findWindow(parent)) {
            Lock lock(userLock());
            return w->children;
        }
    }
    return activeDriver().childWindows(parent == desktop() ? 0 : parent);
}

// The parent whose children list holds hwnd (0 for top-level windows).
uint32_t containerOf(const WindowFacts& f) {
    return (f.style & WS_CHILD) ? f.parent : 0;
}

bool shapeHit(uint32_t hwnd, POINT screen) {
    auto w = findWindow(hwnd);
    if (!w) return true;
    POINT o = windowScreenOrigin(hwnd);
    Lock lock(userLock());
    return !w->shape || w->shape->contains(POINT{screen.x - o.x, screen.y - o.y});
}

bool hits(const WindowFacts& f, POINT screen) {
    return f.visible && !(f.style & WS_DISABLED) && screen.x >= f.rect.left &&
           screen.x < f.rect.right && screen.y >= f.rect.top && screen.y < f.rect.bottom &&
           shapeHit(f.hwnd, screen);
}

bool enumTree(uint32_t parent, WNDENUMPROC proc, LPARAM lParam) {
    for (uint32_t child : childrenOf(parent)) {
        if (!isWindowHandle(child)) continue;
        if (!proc(toHwnd(child), lParam)) return false;
        if (!enumTree(child, proc, lParam)) return false;
    }
    return true;
}

} // namespace

// The parent of a child window; the owner of a pop-up window; NULL otherwise.
WINUSERAPI HWND GetParent(HWND hWnd) {
    auto f = windowFacts(HandleToULong(hWnd));
    if (!f) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (f->style & WS_CHILD) return toHwnd(f->parent);
    if (f->style & WS_POPUP) return toHwnd(f->owner);
    return nullptr;
}

// Moves a window of this process under another parent (NULL: the desktop). Its position
// keeps its numbers, now in the new parent's client coordinates. Returns the old parent.
WINUSERAPI HWND SetParent(HWND hWndChild, HWND hWndNewParent) {
    auto w = findWindow(hWndChild);
    if (!w) {
        SetLastError(IsWindow(hWndChild) ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    uint32_t newParent = HandleToULong(hWndNewParent);
    if (newParent == desktop()) newParent = 0;
    if (newParent && !isWindowHandle(newParent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    // A window cannot become its own descendant.
    for (uint32_t p = newParent; p; p = windowFacts(p) ? windowFacts(p)->parent : 0) {
        if (p == w->handle) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
    }
    uint32_t oldParent;
    RECT rect;
    {
        Lock lock(userLock());
        oldParent = w->parent;
        if (auto p = findWindow(oldParent)) {
            auto& kids = p->children;
            kids.erase(std::remove(kids.begin(), kids.end(), w->handle), kids.end());
        }
        w->parent = newParent;
        if (auto p = findWindow(newParent)) p->children.insert(p->children.begin(), w->handle);
        rect = w->rect;
    }
    activeDriver().setWindowParent(w->handle, newParent, rect);
    return toHwnd(oldParent ? oldParent : desktop());
}

// Walks the window tree: siblings in stacking order, the top child, the owner.
WINUSERAPI HWND GetWindow(HWND hWnd, UINT uCmd) {
    uint32_t handle = HandleToULong(hWnd);
    if (handle == desktop()) {
        if (uCmd == GW_CHILD) {
            auto top = childrenOf(0);
            return top.empty() ? nullptr : toHwnd(top.front());
        }
        return nullptr;
    }
    auto f = windowFacts(handle);
    if (!f) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (uCmd == GW_OWNER) return (f->style & WS_CHILD) ? nullptr : toHwnd(f->owner);
    if (uCmd == GW_CHILD) {
        auto kids = childrenOf(handle);
        return kids.empty() ? nullptr : toHwnd(kids.front());
    }
    auto siblings = childrenOf(containerOf(*f));
    if (siblings.empty()) return nullptr;
    auto it = std::find(siblings.begin(), siblings.end(), handle);
    switch (uCmd) {
    case GW_HWNDFIRST: return toHwnd(siblings.front());
    case GW_HWNDLAST: return toHwnd(siblings.back());
    case GW_HWNDNEXT:
        if (it == siblings.end() || it + 1 == siblings.end()) return nullptr;
        return toHwnd(*(it + 1));
    case GW_HWNDPREV:
        if (it == siblings.end() || it == siblings.begin()) return nullptr;
        return toHwnd(*(it - 1));
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
    }
}

// The device's desktop window: the parent of every program's top-level windows.
WINUSERAPI HWND GetDesktopWindow(void) {
    return toHwnd(desktop());
}

// The first top-level window of the device (top of the stacking order first) whose class
// and title match; NULL matches anything. Both compare without regard to case.
WINUSERAPI HWND FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName) {
    std::optional<std::u16string> cls;
    if (lpClassName && IS_INTRESOURCE(lpClassName)) {
        auto c = findClass(lpClassName, nullptr);
        if (!c) return nullptr;
        cls = c->name;
    } else if (lpClassName) {
        cls = std::u16string(lpClassName);
    }
    for (uint32_t h : childrenOf(0)) {
        auto f = windowFacts(h);
        if (!f) continue;
        if (cls && !ce::equalNoCase(f->className, *cls)) continue;
        if (lpWindowName && !ce::equalNoCase(f->text, std::u16string_view(lpWindowName))) continue;
        return toHwnd(h);
    }
    return nullptr;
}

// Calls lpEnumFunc for each top-level window of the device until it returns FALSE.
WINUSERAPI BOOL EnumWindows(WNDENUMPROC lpEnumFunc, LPARAM lParam) {
    if (!lpEnumFunc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (uint32_t h : childrenOf(0)) {
        if (!isWindowHandle(h)) continue;
        if (!lpEnumFunc(toHwnd(h), lParam)) return FALSE;
    }
    return TRUE;
}

// Calls lpEnumFunc for every descendant of a window, each child followed by its own
// descendants, until it returns FALSE.
WINUSERAPI BOOL EnumChildWindows(HWND hWndParent, WNDENUMPROC lpEnumFunc, LPARAM lParam) {
    if (!lpEnumFunc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    uint32_t parent = HandleToULong(hWndParent);
    if (parent && !isWindowHandle(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return enumTree(parent, lpEnumFunc, lParam) ? TRUE : FALSE;
}

// The deepest visible, enabled window under a screen point, shapes respected.
WINUSERAPI HWND WindowFromPoint(POINT Point) {
    uint32_t found = 0;
    std::vector<uint32_t> level = childrenOf(0);
    for (int depth = 0; depth < 64; ++depth) {
        uint32_t next = 0;
        for (uint32_t h : level) {
            auto f = windowFacts(h);
            if (f && hits(*f, Point)) {
                next = h;
                break;
            }
        }
        if (!next) break;
        found = next;
        // Only the client area holds children.
        RECT client;
        if (!GetClientRect(toHwnd(found), &client)) break;
        POINT c = Point;
        ScreenToClient(toHwnd(found), &c);
        if (c.x < 0 || c.y < 0 || c.x >= client.right || c.y >= client.bottom) break;
        level = childrenOf(found);
    }
    return toHwnd(found);
}

// The immediate child of a window that holds a point of its client area (hidden and disabled
// children count), the window itself when none does, NULL outside the client area.
WINUSERAPI HWND ChildWindowFromPoint(HWND hWndParent, POINT Point) {
    RECT client;
    if (!GetClientRect(hWndParent, &client)) return nullptr;
    if (Point.x < client.left || Point.y < client.top || Point.x >= client.right ||
        Point.y >= client.bottom)
        return nullptr;
    POINT screen = Point;
    ClientToScreen(hWndParent, &screen);
    for (uint32_t h : childrenOf(HandleToULong(hWndParent))) {
        auto f = windowFacts(h);
        if (!f) continue;
        if (screen.x >= f->rect.left && screen.x < f->rect.right && screen.y >= f->rect.top &&
            screen.y < f->rect.bottom && shapeHit(h, screen))
            return toHwnd(h);
    }
    return hWndParent;
}

// ---- Texts --------------------------------------------------------------------------------------

// The window's text, cut to nMaxCount - 1 characters. Windows of this process answer
// WM_GETTEXT; another program's window is read from the driver without a message.
WINUSERAPI int GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount) {
    uint32_t handle = HandleToULong(hWnd);
    if (!lpString || nMaxCount <= 0) {
        if (!isWindowHandle(handle)) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    lpString[0] = 0;
    if (findWindow(handle)) {
        auto n = static_cast<int>(SendMessageW(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount),
                                               reinterpret_cast<LPARAM>(lpString)));
        return std::clamp(n, 0, nMaxCount - 1);
    }
    auto f = activeDriver().queryWindow(handle);
    if (!f) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    size_t n = std::min(f->text.size(), static_cast<size_t>(nMaxCount - 1));
    std::copy_n(f->text.data(), n, lpString);
    lpString[n] = 0;
    return static_cast<int>(n);
}

WINUSERAPI int GetWindowTextLengthW(HWND hWnd) {
    uint32_t handle = HandleToULong(hWnd);
    if (findWindow(handle)) return static_cast<int>(SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0));
    auto f = activeDriver().queryWindow(handle);
    if (!f) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return static_cast<int>(f->text.size());
}

// Sends WM_SETTEXT (to another program's window too: the text travels with the message).
WINUSERAPI BOOL SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
    if (!isWindowHandle(HandleToULong(hWnd))) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    static const char16_t empty[1] = {0};
    return SendMessageW(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString ? lpString : empty))
               ? TRUE
               : FALSE;
}
