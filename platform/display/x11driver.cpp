// x11driver.cpp: the X11 display driver's windows, queries, screen and events (see
// x11driver.h); input lives in x11input.cpp, messages between programs in x11messages.cpp.
#include "display/x11driver.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
#include <unistd.h>

#include <algorithm>

#include "display/x11messages.h"
#include "kernel/process.h"
#include "kernel/strings.h"
#include "kernel/trace.h"
#include "kernel/wait.h"
#include "winuser.h"

namespace ce::display {

namespace {

constexpr long kWindowEvents = ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                               KeyPressMask | KeyReleaseMask | StructureNotifyMask;
// X windows are at least one pixel and at most 32767 pixels wide.
int xSize(int logical) {
    return std::clamp(logical, 1, 32767);
}
int logicalSize(LONG a, LONG b) {
    return std::clamp(static_cast<int>(b - a), 0, 32767);
}

// The message window of this process's driver, for the exit hook below.
std::mutex exitMessengerMutex;
std::weak_ptr<Messenger> exitMessenger;
// How long an ending program waits for other programs to take the data of its posted messages.
constexpr int kExitPayloadWaitMs = 1000;

void waitForPostedPayloads() {
    std::shared_ptr<Messenger> m;
    {
        std::lock_guard lock(exitMessengerMutex);
        m = exitMessenger.lock();
    }
    if (m) m->waitForPayloadsTaken(kExitPayloadWaitMs);
}

} // namespace

EventSink windowSystemSink() {
    EventSink s;
    s.input = user::deliverInput;
    s.key = user::deliverKey;
    s.expose = user::deliverExpose;
    s.foreignMessage = user::deliverForeignMessage;
    s.foreignReply = user::deliverForeignReply;
    s.screenChange = user::deliverScreenChange;
    s.foregroundChange = user::deliverForegroundChange;
    return s;
}

std::unique_ptr<X11Driver> X11Driver::open(const DisplayRecord& record, EventSink sink,
                                           std::string* error) {
    auto conn = XConnection::open(record.display, error);
    if (!conn) return nullptr;
    if (!conn->surfaceLayout()) {
        if (error) *error = "display " + record.display + " is not 24-bit TrueColor";
        return nullptr;
    }
    std::unique_ptr<X11Driver> d(new X11Driver());
    d->conn_ = conn;
    d->sink_ = std::move(sink);
    d->desktop_ = record.desktopWindow;
    Display* dpy = conn->display();
    {
        XConnection::Lock lock(*conn);
        XConnection::ErrorTrap trap(*conn);
        XWindowAttributes attrs{};
        bool ok = XGetWindowAttributes(dpy, d->desktop_, &attrs) != 0;
        // Every process watches the desktop: the foreground property and the screen size.
        XSelectInput(dpy, d->desktop_,
                     attrs.your_event_mask | PropertyChangeMask | StructureNotifyMask);
        if (trap.failed() || !ok) {
            if (error) *error = "the device's desktop window is gone";
            return nullptr;
        }
        d->screen_ = {attrs.width, attrs.height};
        d->gc_ = XCreateGC(dpy, d->desktop_, 0, nullptr);
        std::vector<uint32_t> fg = conn->getCardinals(d->desktop_, conn->atoms().foreground);
        d->foreground_ = fg.empty() ? 0 : fg[0];
    }
    d->messenger_ = Messenger::create(conn);
    if (!d->messenger_) {
        if (error) *error = "cannot make the message window";
        return nullptr;
    }
    {
        std::lock_guard lock(exitMessengerMutex);
        static bool hookAdded = false;
        exitMessenger = d->messenger_;
        if (!hookAdded) ce::addExitHook(waitForPostedPayloads);
        hookAdded = true;
    }
    X11Driver* self = d.get();
    // A lost server ends every send still waiting for an answer from it.
    conn->startEvents([self](XEvent& e) { self->handleEvent(e); },
                      [self] { self->messenger_->abandonAll(self->sink_); });
    return d;
}

X11Driver::~X11Driver() {
    conn_->stopEvents();
    messenger_.reset();
    if (!conn_->dead()) {
        XConnection::Lock lock(*conn_);
        for (auto& [w, local] : local_) {
            XDestroyWindow(conn_->display(), w);
            XFreePixmap(conn_->display(), local.pixmap);
        }
        if (gc_) XFreeGC(conn_->display(), gc_);
    }
}

// ---- Windows of this process -------------------------------------------------------------------

uint32_t X11Driver::createWindow(const user::WindowDesc& desc) {
    if (conn_->dead()) return 0;
    Display* dpy = conn_->display();
    Window parent = desc.parent ? desc.parent : desktop_;
    WindowInfo info;
    info.processId = desc.processId ? desc.processId : static_cast<uint32_t>(getpid());
    info.threadId = desc.threadId;
    info.style = desc.style;
    info.exStyle = desc.exStyle;
    info.owner = desc.owner;
    info.visible = desc.visible;
    info.topmost = desc.topmost;
    info.width = logicalSize(desc.rect.left, desc.rect.right);
    info.height = logicalSize(desc.rect.top, desc.rect.bottom);
    int w = xSize(info.width), h = xSize(info.height);

    XConnection::Lock lock(*conn_);
    XConnection::ErrorTrap trap(*conn_);
    // The background pixmap is the window's picture on the screen: white until painted.
    Pixmap pixmap = XCreatePixmap(dpy, desktop_, w, h, conn_->depth());
    XSetForeground(dpy, gc_, WhitePixel(dpy, DefaultScreen(dpy)));
    XFillRectangle(dpy, pixmap, gc_, 0, 0, w, h);
    XSetWindowAttributes attrs{};
    attrs.background_pixmap = pixmap;
    attrs.event_mask = kWindowEvents;
    Window win = XCreateWindow(dpy, parent, desc.rect.left, desc.rect.top, w, h, 0, CopyFromParent,
                               InputOutput, CopyFromParent, CWBackPixmap | CWEventMask, &attrs);
    conn_->setInfo(win, info);
    conn_->setText(win, conn_->atoms().className, toUtf8(desc.className));
    conn_->setText(win, conn_->atoms().text, toUtf8(desc.text));
    if (parent == desktop_) restackLocked(win, 0, info.topmost);
    applyMapping(win, info);
    if (trap.failed()) {
        XDestroyWindow(dpy, win);
        XFreePixmap(dpy, pixmap);
        return 0;
    }
    local_[win] = Local{pixmap, w, h};
    CE_TRACE("x11", "window 0x%lx in 0x%lx", win, parent);
    return static_cast<uint32_t>(win);
}

void X11Driver::destroyWindow(uint32_t hwnd) {
    if (conn_->dead()) return;
    XConnection::Lock lock(*conn_);
    auto it = local_.find(hwnd);
    if (it == local_.end()) return; // never destroys another program's window
    XDestroyWindow(conn_->display(), hwnd);
    XFreePixmap(conn_->display(), it->second.pixmap);
    local_.erase(it);
    // Children made by this process went with it.
    for (auto c = local_.begin(); c != local_.end();) {
        XWindowAttributes attrs;
        XConnection::ErrorTrap trap(*conn_);
        bool alive = XGetWindowAttributes(conn_->display(), c->first, &attrs) != 0;
        if (trap.failed() || !alive) {
            XFreePixmap(conn_->display(), c->second.pixmap);
            c = local_.erase(c);
        } else {
            ++c;
        }
    }
}

void X11Driver::setWindowText(uint32_t hwnd, std::u16string_view text) {
    if (conn_->dead()) return;
    XConnection::Lock lock(*conn_);
    conn_->setText(hwnd, conn_->atoms().text, toUtf8(text));
}

void X11Driver::setWindowStyle(uint32_t hwnd, uint32_t style, uint32_t exStyle) {
    if (conn_->dead()) return;
    XConnection::Lock lock(*conn_);
    XConnection::ErrorTrap trap(*conn_);
    auto info = conn_->getInfo(hwnd);
    if (!info) return;
    info->style = style;
    info->exStyle = exStyle;
    conn_->setInfo(hwnd, *info);
}

void X11Driver::applyGeometry(Window w, WindowInfo& info, const RECT* rect) {
    if (!rect) return;
    info.width = logicalSize(rect->left, rect->right);
    info.height = logicalSize(rect->top, rect->bottom);
    int xw = xSize(info.width), xh = xSize(info.height);
    // The new picture first, so the server paints newly uncovered parts from it.
    ensurePixmap(w, xw, xh);
    XMoveResizeWindow(conn_->display(), w, rect->left, rect->top, xw, xh);
    conn_->setInfo(w, info);
    applyMapping(w, info);
}

void X11Driver::applyMapping(Window w, const WindowInfo& info) {
    if (info.visible && info.width > 0 && info.height > 0)
        XMapWindow(conn_->display(), w);
    else
        XUnmapWindow(conn_->display(), w);
}

void X11Driver::ensurePixmap(Window w, int width, int height) {
    auto it = local_.find(w);
    if (it == local_.end()) return;
    Local& l = it->second;
    if (l.pixWidth == width && l.pixHeight == height) return;
    Display* dpy = conn_->display();
    Pixmap pixmap = XCreatePixmap(dpy, desktop_, width, height, conn_->depth());
    XSetForeground(dpy, gc_, WhitePixel(dpy, DefaultScreen(dpy)));
    XFillRectangle(dpy, pixmap, gc_, 0, 0, width, height);
    XCopyArea(dpy, l.pixmap, pixmap, gc_, 0, 0, std::min(width, l.pixWidth),
              std::min(height, l.pixHeight), 0, 0);
    XSetWindowBackgroundPixmap(dpy, w, pixmap);
    XFreePixmap(dpy, l.pixmap);
    l = Local{pixmap, width, height};
}

void X11Driver::setWindowRect(uint32_t hwnd, const RECT& rect) {
    if (conn_->dead()) return;
    XConnection::Lock lock(*conn_);
    XConnection::ErrorTrap trap(*conn_);
    auto info = conn_->getInfo(hwnd);
    if (info) applyGeometry(hwnd, *info, &rect);
}

void X11Driver::setWindowVisible(uint32_t hwnd, bool visible) {
    showForeignWindow(hwnd, visible);
}

Window X11Driver::topLevelOf(Window w) {
    for (int depth = 0; w && w != desktop_ && depth < 64; ++depth) {
        Window parent = 0;
        conn_->children(w, &parent);
        if (!parent || parent == desktop_ || parent == conn_->root()) return w;
        w = parent;
    }
    return w;
}

void X11Driver::restackLocked(Window w, uint32_t after, bool topmost) {
    Display* dpy = conn_->display();
    Window parent = 0;
    conn_->children(w, &parent);
    XWindowChanges change{};
    if (after > 1) {
        change.sibling = after;
        change.stack_mode = Below;
        XConfigureWindow(dpy, w, CWSibling | CWStackMode, &change);
        return;
    }
    if (parent != desktop_) {
        after == 0 ? XRaiseWindow(dpy, w) : XLowerWindow(dpy, w);
        return;
    }
    // Top-level windows: the topmost ones stay above all others.
    Window lowestTopmost = 0, highestNormal = 0;
    for (Window s : conn_->children(desktop_)) {
        if (s == w) continue;
        auto info = conn_->getInfo(s);
        bool isTopmost = info && info->topmost;
        if (isTopmost) lowestTopmost = s;
        if (!isTopmost && !highestNormal) highestNormal = s;
    }
    if (after == 0 && !topmost && lowestTopmost) {
        change.sibling = lowestTopmost;
        change.stack_mode = Below;
        XConfigureWindow(dpy, w, CWSibling | CWStackMode, &change);
    } else if (after == 1 && topmost && highestNormal) {
        change.sibling = highestNormal;
        change.stack_mode = Above;
        XConfigureWindow(dpy, w, CWSibling | CWStackMode, &change);
    } else {
        after == 0 ? XRaiseWindow(dpy, w) : XLowerWindow(dpy, w);
    }
}

void X11Driver::restackWindow(uint32_t hwnd, uint32_t after, bool topmost) {
    placeForeignWindow(hwnd, nullptr, after, true, topmost);
}

void X11Driver::setWindowParent(uint32_t hwnd, uint32_t parent, const RECT& rect) {
    if (conn_->dead()) return;
    XConnection::Lock lock(*conn_);
    XConnection::ErrorTrap trap(*conn_);
    auto info = conn_->getInfo(hwnd);
    if (!info) return;
    Window target = parent ? parent : desktop_;
    XReparentWindow(conn_->display(), hwnd, target, rect.left, rect.top);
    applyGeometry(hwnd, *info, &rect);
    if (target == desktop_) restackLocked(hwnd, 0, info->topmost);
}

void X11Driver::setWindowShape(uint32_t hwnd, const RectList* shape) {
    if (conn_->dead()) return;
    if (!conn_->haveShape()) {
        CE_FIXME("x11", "the X server has no Shape extension: window shapes are ignored");
        return;
    }
    XConnection::Lock lock(*conn_);
    XConnection::ErrorTrap trap(*conn_);
    Display* dpy = conn_->display();
    if (!shape) {
        XShapeCombineMask(dpy, hwnd, ShapeBounding, 0, 0, None, ShapeSet);
        return;
    }
    std::vector<XRectangle> rects;
    for (const RECT& r : shape->rects) {
        if (r.right <= r.left || r.bottom <= r.top) continue;
        XRectangle x;
        x.x = static_cast<short>(std::clamp<LONG>(r.left, -32768, 32767));
        x.y = static_cast<short>(std::clamp<LONG>(r.top, -32768, 32767));
        x.width = static_cast<unsigned short>(std::clamp<LONG>(r.right - r.left, 0, 65535));
        x.height = static_cast<unsigned short>(std::clamp<LONG>(r.bottom - r.top, 0, 65535));
        rects.push_back(x);
    }
    XShapeCombineRectangles(dpy, hwnd, ShapeBounding, 0, 0, rects.data(),
                            static_cast<int>(rects.size()), ShapeSet, Unsorted);
}

void X11Driver::presentWindow(uint32_t hwnd, const Surface& surface, const RECT& dirty) {
    if (conn_->dead() || surface.width <= 0 || surface.height <= 0) return;
    XConnection::Lock lock(*conn_);
    auto it = local_.find(hwnd);
    if (it == local_.end()) return;
    const Local& l = it->second;
    int right = std::min({static_cast<int>(dirty.right), surface.width, l.pixWidth});
    int bottom = std::min({static_cast<int>(dirty.bottom), surface.height, l.pixHeight});
    int left = std::max(0, static_cast<int>(dirty.left));
    int top = std::max(0, static_cast<int>(dirty.top));
    if (right <= left || bottom <= top) return;
    Display* dpy = conn_->display();
    // The surface's BGRA words are the server's 32-bit ZPixmap pixels (checked at open).
    XImage* image =
        XCreateImage(dpy, conn_->visual(), conn_->depth(), ZPixmap, 0,
                     reinterpret_cast<char*>(const_cast<uint32_t*>(surface.pixels.data())),
                     surface.width, surface.height, 32, surface.width * 4);
    if (!image) return;
    XConnection::ErrorTrap trap(*conn_);
    XPutImage(dpy, l.pixmap, gc_, image, left, top, left, top, right - left, bottom - top);
    image->data = nullptr; // the surface owns the pixels
    XDestroyImage(image);
    XClearArea(dpy, hwnd, left, top, right - left, bottom - top, False);
}

// ---- The device, every program
// -------------------------------------------------------------------

SIZE X11Driver::screenSize() {
    if (conn_->dead()) return screen_;
    XConnection::Lock lock(*conn_);
    XConnection::ErrorTrap trap(*conn_);
    Window root;
    int x, y;
    unsigned w = 0, h = 0, border, depth;
    if (!XGetGeometry(conn_->display(), desktop_, &root, &x, &y, &w, &h, &border, &depth))
        return screen_;
    return SIZE{static_cast<LONG>(w), static_cast<LONG>(h)};
}

std::vector<uint32_t> X11Driver::childWindows(uint32_t parent) {
    std::vector<uint32_t> out;
    if (conn_->dead()) return out;
    XConnection::Lock lock(*conn_);
    XConnection::ErrorTrap trap(*conn_);
    for (Window w : conn_->children(parent ? parent : desktop_))
        out.push_back(static_cast<uint32_t>(w));
    return out;
}

std::optional<user::WindowFacts> X11Driver::queryWindow(uint32_t hwnd) {
    if (hwnd == 0 || conn_->dead()) return std::nullopt;
    XConnection::Lock lock(*conn_);
    XConnection::ErrorTrap trap(*conn_);
    Display* dpy = conn_->display();
    auto info = conn_->getInfo(hwnd);
    if (!info) return std::nullopt;
    user::WindowFacts f;
    f.hwnd = hwnd;
    f.owner = info->owner;
    f.processId = info->processId;
    f.threadId = info->threadId;
    f.style = info->style;
    f.exStyle = info->exStyle;
    f.visible = info->visible;
    Window parent = 0;
    conn_->children(hwnd, &parent);
    f.parent = (hwnd == desktop_ || parent == desktop_) ? 0 : static_cast<uint32_t>(parent);
    int x = 0, y = 0;
    Window child;
    if (hwnd != desktop_ && !XTranslateCoordinates(dpy, hwnd, desktop_, 0, 0, &x, &y, &child))
        return std::nullopt;
    f.rect = RECT{x, y, x + info->width, y + info->height};
    f.className = fromUtf8(conn_->getText(hwnd, conn_->atoms().className).value_or(""));
    f.text = fromUtf8(conn_->getText(hwnd, conn_->atoms().text).value_or(""));
    if (trap.failed()) return std::nullopt; // it vanished while being read
    return f;
}

bool X11Driver::showForeignWindow(uint32_t hwnd, bool visible) {
    if (conn_->dead() || hwnd == desktop_) return false;
    XConnection::Lock lock(*conn_);
    XConnection::ErrorTrap trap(*conn_);
    auto info = conn_->getInfo(hwnd);
    if (!info) return false;
    info->visible = visible;
    conn_->setInfo(hwnd, *info);
    applyMapping(hwnd, *info);
    return !trap.failed();
}

bool X11Driver::placeForeignWindow(uint32_t hwnd, const RECT* rect, uint32_t after, bool restack,
                                   bool topmost) {
    if (conn_->dead() || hwnd == desktop_) return false;
    XConnection::Lock lock(*conn_);
    XConnection::ErrorTrap trap(*conn_);
    auto info = conn_->getInfo(hwnd);
    if (!info) return false;
    if (rect) applyGeometry(hwnd, *info, rect);
    if (restack) {
        info->topmost = topmost;
        conn_->setInfo(hwnd, *info);
        restackLocked(hwnd, after, topmost);
    }
    return !trap.failed();
}

uint32_t X11Driver::foregroundWindow() {
    if (conn_->dead()) return 0;
    XConnection::Lock lock(*conn_);
    XConnection::ErrorTrap trap(*conn_);
    std::vector<uint32_t> v = conn_->getCardinals(desktop_, conn_->atoms().foreground);
    if (v.empty() || v[0] == 0) return 0;
    XWindowAttributes attrs;
    bool alive = XGetWindowAttributes(conn_->display(), v[0], &attrs) != 0;
    return trap.failed() || !alive ? 0 : v[0];
}

bool X11Driver::setForegroundWindow(uint32_t hwnd) {
    if (conn_->dead() || hwnd == 0) return false;
    XConnection::Lock lock(*conn_);
    Display* dpy = conn_->display();
    Window top;
    {
        XConnection::ErrorTrap trap(*conn_);
        auto info = conn_->getInfo(hwnd);
        if (!info) return false;
        top = topLevelOf(hwnd);
        auto topInfo = top == hwnd ? info : conn_->getInfo(top);
        conn_->setCardinals(desktop_, conn_->atoms().foreground, {static_cast<uint32_t>(top)});
        if (top != desktop_) restackLocked(top, 0, topInfo && topInfo->topmost);
        if (trap.failed()) return false;
    }
    // Keys go where the X focus is; a hidden window cannot take it, which is no failure.
    XConnection::ErrorTrap trap(*conn_);
    XWindowAttributes attrs{};
    if (XGetWindowAttributes(dpy, top, &attrs) && attrs.map_state == IsViewable)
        XSetInputFocus(dpy, top, RevertToParent, CurrentTime);
    return true;
}

std::shared_ptr<Surface> X11Driver::captureScreen() {
    SIZE size = screenSize();
    auto out = std::make_shared<Surface>(size.cx, size.cy, 0xFFFFFFFFu);
    if (conn_->dead()) return out;
    XConnection::Lock lock(*conn_);
    XConnection::ErrorTrap trap(*conn_);
    // The desktop window's picture includes every window inside it: the device's screen.
    XImage* image =
        XGetImage(conn_->display(), desktop_, 0, 0, size.cx, size.cy, AllPlanes, ZPixmap);
    if (!image) return out;
    for (int y = 0; y < out->height && y < image->height; ++y) {
        uint32_t* row = out->row(y);
        for (int x = 0; x < out->width && x < image->width; ++x)
            row[x] = static_cast<uint32_t>(XGetPixel(image, x, y)) | 0xFF000000u;
    }
    XDestroyImage(image);
    return out;
}

// ---- Messages to other programs ----------------------------------------------------------------

bool X11Driver::postForeign(const user::WireMessage& message) {
    return messenger_->post(message);
}

bool X11Driver::sendForeign(const user::WireMessage& message, uint64_t ticket) {
    return messenger_->send(message, ticket);
}

// ---- Events ------------------------------------------------------------------------------------

void X11Driver::handleEvent(XEvent& e) {
    if (messenger_->handleEvent(e, sink_)) return;
    switch (e.type) {
    case ButtonPress:
    case ButtonRelease: {
        if (e.xbutton.button != Button1) return;
        bool down = e.type == ButtonPress;
        if (sink_.input)
            sink_.input(static_cast<uint32_t>(e.xbutton.window),
                        down ? WM_LBUTTONDOWN : WM_LBUTTONUP, down ? MK_LBUTTON : 0,
                        POINT{e.xbutton.x, e.xbutton.y});
        return;
    }
    case MotionNotify:
        if (sink_.input)
            sink_.input(static_cast<uint32_t>(e.xmotion.window), WM_MOUSEMOVE,
                        (e.xmotion.state & Button1Mask) ? MK_LBUTTON : 0,
                        POINT{e.xmotion.x, e.xmotion.y});
        return;
    case KeyPress:
    case KeyRelease: handleKey(e.xkey, e.type == KeyPress); return;
    case ClientMessage:
        if (e.xclient.message_type == conn_->atoms().input && e.xclient.format == 32 &&
            e.xclient.data.l[0] == 1 && sink_.key) {
            auto vk = static_cast<uint8_t>(e.xclient.data.l[1]);
            bool up = e.xclient.data.l[2] != 0;
            if (vk)
                sink_.key(static_cast<uint32_t>(e.xclient.window), up ? WM_KEYUP : WM_KEYDOWN, vk,
                          false);
        }
        return;
    case PropertyNotify:
        if (e.xproperty.window == desktop_ && e.xproperty.atom == conn_->atoms().foreground) {
            uint32_t now = 0;
            {
                XConnection::Lock lock(*conn_);
                XConnection::ErrorTrap trap(*conn_);
                auto v = conn_->getCardinals(desktop_, conn_->atoms().foreground);
                now = v.empty() ? 0 : v[0];
            }
            uint32_t before = foreground_;
            foreground_ = now;
            if (before != now && sink_.foregroundChange) sink_.foregroundChange(before, now);
        }
        return;
    case ConfigureNotify: {
        Window w = e.xconfigure.window;
        if (w == desktop_) {
            SIZE now{e.xconfigure.width, e.xconfigure.height};
            if (now.cx != screen_.cx || now.cy != screen_.cy) {
                screen_ = now;
                if (sink_.screenChange) sink_.screenChange(now);
            }
            return;
        }
        // Another program resized a window of this one: keep its picture the window's size,
        // and have the window system paint it again.
        // The window's size now, not the event's: this program may have resized it again
        // since.
        bool grown = false;
        unsigned width = 0, height = 0;
        {
            XConnection::Lock lock(*conn_);
            auto it = local_.find(w);
            XConnection::ErrorTrap trap(*conn_);
            Window root;
            int x, y;
            unsigned border, depth;
            if (it != local_.end() &&
                XGetGeometry(conn_->display(), w, &root, &x, &y, &width, &height, &border,
                             &depth) &&
                (it->second.pixWidth != static_cast<int>(width) ||
                 it->second.pixHeight != static_cast<int>(height))) {
                ensurePixmap(w, static_cast<int>(width), static_cast<int>(height));
                grown = true;
            }
        }
        if (grown && sink_.expose)
            sink_.expose(static_cast<uint32_t>(w),
                         RECT{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)});
        return;
    }
    default: return;
    }
}

} // namespace ce::display

namespace ce::user {

std::unique_ptr<DisplayDriver> makeX11Driver() {
    auto record = display::readDisplayRecord();
    if (!record) return nullptr;
    std::string error;
    auto driver = display::X11Driver::open(*record, display::windowSystemSink(), &error);
    if (!driver) CE_TRACE("x11", "no display for this device: %s", error.c_str());
    return driver;
}

} // namespace ce::user
