// paint.cpp: update regions and painting: InvalidateRect and its relatives, UpdateWindow,
// RedrawWindow, BeginPaint/EndPaint, GetDC/GetWindowDC/GetDCEx/ReleaseDC, WindowFromDC,
// ScrollWindowEx, and the driver's deliverExpose.
//
// Each window paints into its own backing surface (window-sized, kept across paints). A DC
// of a window draws into that surface with the client area's origin; EndPaint and ReleaseDC
// hand what was drawn to the driver (presentWindow), which puts it on the screen. Because
// every window has a surface of its own, and the driver stacks them (X windows, or the null
// driver's composition), a parent never draws over its children: WS_CLIPCHILDREN holds for
// every window, and WS_CLIPSIBLINGS likewise.
//
// A window of another program can be invalidated (or validated, or painted now) too: the
// request travels to that program, which carries it out on its window (remote.cpp).
#include <algorithm>
#include <map>

#include "kernel/trace.h"
#include "gdi/surface.h"
#include "user/regionutil.h"
#include "user/userstate.h"

using namespace ce::user;

namespace ce::user {
namespace {

struct DcRecord {
    uint32_t hwnd = 0; // 0: the screen
};

std::map<HDC, DcRecord>& dcs() {
    static auto* m = new std::map<HDC, DcRecord>;
    return *m;
}

RECT clientSize(const Window& w) {
    RECT c = clientInWindow(w);
    return RECT{0, 0, c.right - c.left, c.bottom - c.top};
}

bool visibleLocally(const Window& w) {
    const Window* x = &w;
    for (int depth = 0; depth < 256; ++depth) {
        if (!(x->style & WS_VISIBLE)) return false;
        if (!(x->style & WS_CHILD)) return true;
        auto p = findWindow(x->parent);
        if (!p) return true; // another program's window: its visibility is its own
        x = p.get();
    }
    return false;
}

RECT intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.right <= r.left || r.bottom <= r.top) return RECT{};
    return r;
}

RECT offset(RECT r, LONG dx, LONG dy) {
    return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

void present(uint32_t hwnd, const RECT* windowRect) {
    auto w = findWindow(hwnd);
    if (!w) return;
    std::shared_ptr<Surface> surface;
    RECT dirty;
    {
        Lock lock(userLock());
        surface = w->surface;
        dirty = windowRect ? *windowRect : RECT{0, 0, surface->width, surface->height};
    }
    if (dirty.right > dirty.left && dirty.bottom > dirty.top)
        activeDriver().presentWindow(hwnd, *surface, dirty);
}

void validate(Window& w, const RECT* rect) {
    if (!rect) {
        w.update.rects.clear();
        w.erasePending = false;
    } else {
        w.update.subtract(*rect);
        if (w.update.empty()) w.erasePending = false;
    }
    w.internalPaint = false;
}

// Own windows of a thread, parents before their children.
void paintOrder(uint32_t hwnd, std::vector<std::shared_ptr<Window>>& out) {
    auto w = findWindow(hwnd);
    if (!w) return;
    out.push_back(w);
    for (uint32_t c : w->children)
        paintOrder(c, out);
}

} // namespace

void invalidateClient(Window& w, const RECT* rect, bool erase) {
    if (!(w.style & WS_VISIBLE)) return;
    RECT client = clientSize(w);
    RECT r = rect ? *rect : client;
    r.left = std::max(r.left, client.left);
    r.top = std::max(r.top, client.top);
    r.right = std::min(r.right, client.right);
    r.bottom = std::min(r.bottom, client.bottom);
    if (r.right <= r.left || r.bottom <= r.top) return;
    w.update.add(r);
    if (erase) w.erasePending = true;
    wakeDeviceWaiters();
}

void invalidateTree(uint32_t hwnd, bool erase) {
    std::vector<std::shared_ptr<Window>> tree;
    Lock lock(userLock());
    paintOrder(hwnd, tree);
    for (auto& w : tree)
        if (visibleLocally(*w)) invalidateClient(*w, nullptr, erase);
}

void resizeSurface(Window& w) {
    int width = std::max<LONG>(0, w.rect.right - w.rect.left);
    int height = std::max<LONG>(0, w.rect.bottom - w.rect.top);
    auto next = std::make_shared<Surface>(width, height, 0xFFFFFFFFu);
    if (w.surface) {
        int cw = std::min(width, w.surface->width), ch = std::min(height, w.surface->height);
        for (int y = 0; y < ch; ++y)
            std::copy_n(w.surface->row(y), cw, next->row(y));
    }
    w.surface = std::move(next);
}

uint32_t windowToPaint(uint32_t threadId, uint32_t filter) {
    Lock lock(userLock());
    for (auto& top : allWindows()) {
        if (top->threadId != threadId) continue;
        if ((top->style & WS_CHILD) && findWindow(top->parent)) continue; // reached from above
        std::vector<std::shared_ptr<Window>> tree;
        paintOrder(top->handle, tree);
        for (auto& w : tree) {
            if (w->threadId != threadId || w->destroying) continue;
            if ((w->update.empty() && !w->internalPaint) || !visibleLocally(*w)) continue;
            if (filter && filter != 0xFFFFFFFFu) {
                bool match = false;
                for (const Window* x = w.get(); x;) {
                    if (x->handle == filter) match = true;
                    auto p = (x->style & WS_CHILD) ? findWindow(x->parent) : nullptr;
                    x = p.get();
                    if (match) break;
                }
                if (!match) continue;
            } else if (filter == 0xFFFFFFFFu) {
                continue;
            }
            return w->handle;
        }
    }
    return 0;
}

// Part of a window must be shown again: put that part of its surface on the screen.
void deliverExpose(uint32_t hwnd, const RECT& rect) {
    present(hwnd, &rect);
}

} // namespace ce::user

// Adds a rectangle (client coordinates; NULL: the whole client area) to the update region.
// NULL as the window invalidates every window of this process.
WINUSERAPI BOOL InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase) {
    return RedrawWindow(hWnd, lpRect, nullptr, RDW_INVALIDATE | (bErase ? RDW_ERASE : 0));
}

WINUSERAPI BOOL InvalidateRgn(HWND hWnd, HRGN hRgn, BOOL bErase) {
    return RedrawWindow(hWnd, nullptr, hRgn, RDW_INVALIDATE | (bErase ? RDW_ERASE : 0));
}

WINUSERAPI BOOL ValidateRect(HWND hWnd, const RECT* lpRect) {
    return RedrawWindow(hWnd, lpRect, nullptr, RDW_VALIDATE);
}

WINUSERAPI BOOL ValidateRgn(HWND hWnd, HRGN hRgn) {
    return RedrawWindow(hWnd, nullptr, hRgn, RDW_VALIDATE);
}

// Sends WM_PAINT now to the window and its descendants that have an update region.
WINUSERAPI BOOL UpdateWindow(HWND hWnd) {
    return RedrawWindow(hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// Invalidates or validates part of a window (RDW_INVALIDATE, RDW_ERASE, RDW_VALIDATE,
// RDW_NOERASE, RDW_INTERNALPAINT, RDW_NOINTERNALPAINT), for its descendants too with
// RDW_ALLCHILDREN, and paints now with RDW_UPDATENOW or RDW_ERASENOW. The frame flags mean
// nothing here: windows have no non-client area to draw.
WINUSERAPI BOOL RedrawWindow(HWND hWnd, const RECT* lprcUpdate, HRGN hrgnUpdate, UINT flags) {
    uint32_t handle = HandleToULong(hWnd);
    std::vector<uint32_t> targets;
    if (!handle || handle == activeDriver().desktopWindow()) {
        for (auto& w : allWindows())
            if (!(w->style & WS_CHILD)) targets.push_back(w->handle);
        flags |= RDW_ALLCHILDREN;
    } else if (!findWindow(handle)) {
        if (!activeDriver().queryWindow(handle)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        return redrawRemoteWindow(handle, lprcUpdate, hrgnUpdate, flags);
    } else {
        targets.push_back(handle);
    }
    RectList region;
    bool useRegion = false;
    if (hrgnUpdate) {
        if (!ce::regionRects(hrgnUpdate, &region)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        useRegion = true;
    }
    std::vector<std::shared_ptr<Window>> windows;
    {
        Lock lock(userLock());
        for (uint32_t t : targets) {
            if (flags & RDW_ALLCHILDREN)
                paintOrder(t, windows);
            else if (auto w = findWindow(t))
                windows.push_back(w);
        }
        for (size_t i = 0; i < windows.size(); ++i) {
            Window& w = *windows[i];
            bool self = i == 0 || !handle; // the area given applies to the window itself
            if (flags & RDW_INVALIDATE) {
                if (self && useRegion) {
                    for (const RECT& r : region.rects)
                        invalidateClient(w, &r, flags & RDW_ERASE);
                } else {
                    invalidateClient(w, self ? lprcUpdate : nullptr, flags & RDW_ERASE);
                }
            }
            if (flags & RDW_INTERNALPAINT) {
                w.internalPaint = true;
                wakeDeviceWaiters();
            }
            if (flags & RDW_NOINTERNALPAINT) w.internalPaint = false;
            if (flags & RDW_NOERASE) w.erasePending = false;
            if (flags & RDW_VALIDATE) {
                if (self && useRegion) {
                    for (const RECT& r : region.rects)
                        validate(w, &r);
                } else {
                    validate(w, self ? lprcUpdate : nullptr);
                }
            }
        }
    }
    if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) {
        for (auto& w : windows) {
            bool needs;
            {
                Lock lock(userLock());
                needs = !w->update.empty() || w->internalPaint;
            }
            if (needs && findWindow(w->handle)) sendInternal(w->handle, WM_PAINT, 0, 0);
        }
    }
    return TRUE;
}

// The bounds of the update region (client coordinates); whether it is not empty. With
// bErase, a pending erase is done now (WM_ERASEBKGND).
WINUSERAPI BOOL GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL bErase) {
    auto w = findWindow(hWnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    RECT bounds;
    bool erase;
    {
        Lock lock(userLock());
        bounds = w->update.bounds();
        erase = w->erasePending && bErase;
    }
    if (lpRect) *lpRect = bounds;
    if (erase) {
        if (HDC dc = GetDC(hWnd)) {
            if (sendInternal(w->handle, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0)) {
                Lock lock(userLock());
                w->erasePending = false;
            }
            ReleaseDC(hWnd, dc);
        }
    }
    return bounds.right > bounds.left && bounds.bottom > bounds.top ? TRUE : FALSE;
}

// Copies the update region into hRgn; the region kind (NULLREGION when nothing is invalid).
WINUSERAPI int GetUpdateRgn(HWND hWnd, HRGN hRgn, BOOL bErase) {
    auto w = findWindow(hWnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    RectList update;
    {
        Lock lock(userLock());
        update = w->update;
    }
    RECT ignored;
    if (bErase) GetUpdateRect(hWnd, &ignored, TRUE);
    return copyRectsToRegion(hRgn, update);
}

// Starts painting: a DC clipped to the update region, WM_ERASEBKGND when an erase is
// pending (fErase tells whether the window still has to erase), and the window validated.
WINUSERAPI HDC BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
    auto w = findWindow(hWnd);
    if (!w || !lpPaint) {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    RectList update;
    bool erase;
    RECT client;
    std::shared_ptr<Surface> surface;
    {
        Lock lock(userLock());
        update = w->update;
        erase = w->erasePending;
        validate(*w, nullptr);
        client = clientInWindow(*w);
        surface = w->surface;
        w->paintDirty = offset(update.bounds(), client.left, client.top);
    }
    *lpPaint = PAINTSTRUCT{};
    lpPaint->rcPaint = update.bounds();
    RectList clip = update;
    clip.offset(client.left, client.top);
    HDC dc = nullptr;
    dc = ce::createSurfaceDC(surface, POINT{client.left, client.top}, clip, hWnd);
    lpPaint->hdc = dc;
    lpPaint->fErase = TRUE;
    if (erase && dc)
        lpPaint->fErase =
            sendInternal(w->handle, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
    return dc;
}

// Ends painting: releases the DC and puts what was painted on the screen.
WINUSERAPI BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint) {
    auto w = findWindow(hWnd);
    if (!w || !lpPaint) return FALSE;
    if (lpPaint->hdc) ce::deleteSurfaceDC(lpPaint->hdc);
    RECT dirty;
    {
        Lock lock(userLock());
        dirty = w->paintDirty;
        w->paintDirty = RECT{};
    }
    present(w->handle, &dirty);
    return TRUE;
}

// A DC of a window's client area (or, with DCX_WINDOW, the whole window); NULL gives a DC
// of the device screen, whose pixels are what the screen shows now.
WINUSERAPI HDC GetDCEx(HWND hWnd, HRGN hrgnClip, DWORD flags) {
    if (!hWnd) {
        auto screen = activeDriver().captureScreen();
        if (!screen) return nullptr;
        RectList clip;
        clip.add(RECT{0, 0, screen->width, screen->height});
        HDC dc = ce::createSurfaceDC(screen, POINT{0, 0}, clip, nullptr);
        if (dc) {
            Lock lock(userLock());
            dcs()[dc] = DcRecord{0};
        }
        return dc;
    }
    auto w = findWindow(hWnd);
    if (!w) {
        if (IsWindow(hWnd)) CE_FIXME("msg", "DCs of other programs' windows are not supported");
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    std::shared_ptr<Surface> surface;
    RECT area;
    {
        Lock lock(userLock());
        surface = w->surface;
        area =
            (flags & DCX_WINDOW) ? RECT{0, 0, surface->width, surface->height} : clientInWindow(*w);
    }
    RectList clip;
    clip.add(area);
    if (hrgnClip && (flags & (DCX_INTERSECTRGN | DCX_EXCLUDERGN))) {
        RectList rgn;
        if (ce::regionRects(hrgnClip, &rgn)) {
            rgn.offset(area.left, area.top);
            if (flags & DCX_INTERSECTRGN)
                clip.intersect(rgn);
            else
                for (const RECT& r : rgn.rects)
                    clip.subtract(r);
        }
    }
    HDC dc = ce::createSurfaceDC(surface, POINT{area.left, area.top}, clip, hWnd);
    if (dc) {
        Lock lock(userLock());
        dcs()[dc] = DcRecord{w->handle};
    }
    return dc;
}

WINUSERAPI HDC GetDC(HWND hWnd) {
    return GetDCEx(hWnd, nullptr, 0);
}

WINUSERAPI HDC GetWindowDC(HWND hWnd) {
    return GetDCEx(hWnd, nullptr, DCX_WINDOW);
}

// Releases a DC from GetDC and puts what was drawn through it on the screen. 1 when released.
WINUSERAPI int ReleaseDC(HWND hWnd, HDC hDC) {
    DcRecord record;
    {
        Lock lock(userLock());
        auto it = dcs().find(hDC);
        if (it == dcs().end()) return 0;
        record = it->second;
        dcs().erase(it);
    }
    ce::deleteSurfaceDC(hDC);
    if (record.hwnd) present(record.hwnd, nullptr);
    return 1;
}

WINUSERAPI HWND WindowFromDC(HDC hDC) {
    return ce::surfaceDCWindow(hDC);
}

// Scrolls the pixels of part of the client area by (dx, dy); what is uncovered becomes the
// update area (with SW_INVALIDATE, erased with SW_ERASE), and with SW_SCROLLCHILDREN the
// children in the area move along.
WINUSERAPI BOOL ScrollWindowEx(HWND hWnd, int dx, int dy, const RECT* prcScroll,
                               const RECT* prcClip, HRGN hrgnUpdate, LPRECT prcUpdate, UINT flags) {
    constexpr UINT kScrollChildren = 0x0001, kInvalidate = 0x0002, kErase = 0x0004;
    auto w = findWindow(hWnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    RectList uncovered;
    std::vector<uint32_t> children;
    {
        Lock lock(userLock());
        RECT client = clientSize(*w);
        RECT area = intersect(prcScroll ? *prcScroll : client, client);
        RECT clip = prcClip ? intersect(area, *prcClip) : area;
        RECT origin = clientInWindow(*w);
        Surface& s = *w->surface;
        Surface before = s;
        for (LONG y = clip.top; y < clip.bottom; ++y)
            for (LONG x = clip.left; x < clip.right; ++x) {
                LONG sx = x - dx, sy = y - dy;
                if (sx < area.left || sx >= area.right || sy < area.top || sy >= area.bottom)
                    continue;
                LONG tx = x + origin.left, ty = y + origin.top;
                LONG fx = sx + origin.left, fy = sy + origin.top;
                if (tx < 0 || ty < 0 || tx >= s.width || ty >= s.height || fx < 0 || fy < 0 ||
                    fx >= s.width || fy >= s.height)
                    continue;
                s.row(ty)[tx] = before.row(fy)[fx];
            }
        uncovered.add(clip);
        uncovered.subtract(offset(area, dx, dy));
        if (flags & kInvalidate)
            for (const RECT& r : uncovered.rects)
                invalidateClient(*w, &r, flags & kErase);
        if (flags & kScrollChildren) children = w->children;
    }
    for (uint32_t c : children) {
        RECT r;
        if (auto x = findWindow(c)) {
            {
                Lock lock(userLock());
                r = x->rect;
            }
            SetWindowPos(static_cast<HWND>(ULongToHandle(c)), nullptr, r.left + dx, r.top + dy, 0,
                         0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    present(w->handle, nullptr);
    if (prcUpdate) *prcUpdate = uncovered.bounds();
    if (hrgnUpdate) copyRectsToRegion(hrgnUpdate, uncovered);
    if (uncovered.empty()) return NULLREGION;
    return uncovered.rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}
