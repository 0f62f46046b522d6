// remote.cpp: ShowWindow, SetWindowPos (MoveWindow) and RedrawWindow (InvalidateRect,
// UpdateWindow) on a window of another program of the device.
//
// The request travels to the owning program as an internal wire message (userstate.h) and is
// carried out there, on the window's own thread, by the same ShowWindow, SetWindowPos or
// RedrawWindow a program calls on its own window. The display driver could move or hide the X
// window directly, but the owner's window system keeps the window's rectangle, visibility,
// update region and activation, and its procedure expects WM_SHOWWINDOW,
// WM_WINDOWPOSCHANGING/CHANGED, WM_SIZE, WM_MOVE and WM_ACTIVATE as the change happens: a
// change behind its back would leave its records wrong and its procedure uninformed.
//
// ShowWindow and SetWindowPos wait for the owner, as they do for a window of another thread
// of the same process (answering messages sent to the caller meanwhile). RedrawWindow only
// posts: invalidating never waits for the window's thread. A request whose window has gone by
// the time it arrives is answered with 0, and so is one whose window goes while the caller
// waits (the driver notices).
#include <cstring>

#include "kernel/trace.h"
#include "gdi/surface.h"
#include "user/userstate.h"

namespace ce::user {
namespace {

// The payload of kWireSetWindowPos, six 32-bit values.
struct SwpRequest {
    int32_t after; // HWND_TOP 0, HWND_BOTTOM 1, HWND_TOPMOST -1, HWND_NOTOPMOST -2, or a window
    int32_t x, y, cx, cy;
    uint32_t flags;
};
static_assert(sizeof(SwpRequest) == 24);

// A region of more rectangles than this travels as its bounds: the repaint covers a little
// more, the message stays small.
constexpr size_t kMaxRedrawRects = 256;

// The RDW_ flags a request may carry; anything else is dropped on arrival.
constexpr UINT kRedrawFlags = RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_VALIDATE |
                              RDW_NOINTERNALPAINT | RDW_NOERASE | RDW_NOCHILDREN | RDW_ALLCHILDREN |
                              RDW_UPDATENOW | RDW_ERASENOW | RDW_FRAME | RDW_NOFRAME;

HWND toHwnd(uint32_t v) {
    return static_cast<HWND>(ULongToHandle(v));
}

// Handle values are 32 bits and the special insert-after values small negative numbers, so
// both survive the trip through a signed 32-bit value.
int32_t encodeAfter(HWND after) {
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(after));
}

HWND decodeAfter(int32_t v) {
    return reinterpret_cast<HWND>(static_cast<intptr_t>(v));
}

LRESULT redrawFromWire(const WireMessage& m) {
    HWND hwnd = toHwnd(m.hwnd);
    UINT flags = m.wParam & kRedrawFlags;
    if (!m.lParam) return RedrawWindow(hwnd, nullptr, nullptr, flags);
    if (m.payload.size() % sizeof(RECT) || m.payload.size() > kMaxRedrawRects * sizeof(RECT))
        return 0;
    // Each rectangle without painting, then the painting once for all of them.
    UINT paintNow = flags & (RDW_UPDATENOW | RDW_ERASENOW);
    for (size_t at = 0; at < m.payload.size(); at += sizeof(RECT)) {
        RECT r;
        std::memcpy(&r, m.payload.data() + at, sizeof r);
        RedrawWindow(hwnd, &r, nullptr, flags & ~paintNow);
    }
    if (paintNow) RedrawWindow(hwnd, nullptr, nullptr, paintNow | (flags & RDW_ALLCHILDREN));
    return TRUE;
}

// Carries out a request on the window's thread; the value the sender gets back.
LRESULT perform(const WireMessage& m) {
    HWND hwnd = toHwnd(m.hwnd);
    switch (m.message) {
    case kWireShowWindow: return ShowWindow(hwnd, static_cast<int>(m.wParam));
    case kWireSetWindowPos: {
        SwpRequest r;
        if (m.payload.size() != sizeof r) return FALSE;
        std::memcpy(&r, m.payload.data(), sizeof r);
        return SetWindowPos(hwnd, decodeAfter(r.after), r.x, r.y, r.cx, r.cy, r.flags);
    }
    case kWireRedraw: return redrawFromWire(m);
    default: CE_TRACE("msg", "unknown request %08x for %08x dropped", m.message, m.hwnd); return 0;
    }
}

} // namespace

// From the driver's event thread: queued for the window's thread with the messages sent to
// it, so that it runs when that thread next looks at its queue, in order with them.
void deliverInternalWire(const WireMessage& message, bool sent, const ReplyFn& reply) {
    auto w = findWindow(message.hwnd);
    if (!w) {
        if (sent && reply) reply(0, {});
        return;
    }
    uint32_t thread;
    {
        Lock lock(userLock());
        thread = w->threadId;
    }
    auto q = queueOfOrCreate(thread);
    auto result = std::make_shared<LRESULT>(0);
    SentMessage s;
    s.hwnd = message.hwnd;
    s.task = [message, result] {
        if (findWindow(message.hwnd)) *result = perform(message);
    };
    // Also called with the task undone when the thread ends first: the answer is then 0.
    if (sent && reply) s.done = [reply, result](LRESULT) { reply(*result, {}); };
    {
        Lock lock(userLock());
        q->sent.push_back(std::move(s));
    }
    wakeDeviceWaiters();
}

BOOL showRemoteWindow(uint32_t hwnd, int command) {
    WireMessage wire;
    wire.hwnd = hwnd;
    wire.message = kWireShowWindow;
    wire.wParam = static_cast<uint32_t>(command);
    LRESULT result = 0;
    if (!sendWire(wire, UINT64_MAX, &result, nullptr)) return FALSE;
    return result ? TRUE : FALSE;
}

BOOL placeRemoteWindow(uint32_t hwnd, HWND after, int x, int y, int cx, int cy, UINT flags) {
    SwpRequest r{encodeAfter(after), x, y, cx, cy, flags};
    WireMessage wire;
    wire.hwnd = hwnd;
    wire.message = kWireSetWindowPos;
    wire.payload.resize(sizeof r);
    std::memcpy(wire.payload.data(), &r, sizeof r);
    LRESULT result = 0;
    if (!sendWire(wire, UINT64_MAX, &result, nullptr)) return FALSE;
    return result ? TRUE : FALSE;
}

BOOL redrawRemoteWindow(uint32_t hwnd, const RECT* rect, HRGN region, UINT flags) {
    WireMessage wire;
    wire.hwnd = hwnd;
    wire.message = kWireRedraw;
    wire.wParam = flags & kRedrawFlags;
    RectList rects;
    if (region) {
        if (!ce::regionRects(region, &rects)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (rects.rects.size() > kMaxRedrawRects) {
            RECT bounds = rects.bounds();
            rects.rects.assign(1, bounds);
        }
        wire.lParam = 1;
    } else if (rect) {
        rects.rects.push_back(*rect);
        wire.lParam = 1;
    }
    wire.payload.resize(rects.rects.size() * sizeof(RECT));
    if (!rects.rects.empty())
        std::memcpy(wire.payload.data(), rects.rects.data(), wire.payload.size());
    if (activeDriver().postForeign(wire)) return TRUE;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
}

} // namespace ce::user
