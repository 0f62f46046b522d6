// desktop.cpp: the device's desktop window and the loop that keeps it (see desktop.h).
#include "display/desktop.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include "display/x11conn.h"
#include "display/x11messages.h"
#include "kernel/wait.h"
#include "winuser.h"

namespace ce::display {

std::unique_ptr<DesktopWindow> DesktopWindow::create(const std::string& display, int width,
                                                     int height, std::string* error) {
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192) {
        if (error) *error = "bad screen size";
        return nullptr;
    }
    auto conn = XConnection::open(display, error);
    if (!conn) return nullptr;
    std::unique_ptr<DesktopWindow> d(new DesktopWindow());
    d->conn_ = conn;
    Display* dpy = conn->display();
    {
        XConnection::Lock lock(*conn);
        XConnection::ErrorTrap trap(*conn);
        XSetWindowAttributes attrs{};
        attrs.background_pixel = WhitePixel(dpy, DefaultScreen(dpy));
        // Property changes: the foreground window is a property of the desktop window.
        attrs.event_mask = StructureNotifyMask | PropertyChangeMask;
        Window w = XCreateWindow(dpy, conn->root(), 0, 0, width, height, 0, CopyFromParent,
                                 InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attrs);
        WindowInfo info;
        info.processId = static_cast<uint32_t>(getpid());
        info.threadId = currentThreadId();
        info.style = WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
        info.visible = true;
        info.width = width;
        info.height = height;
        conn->setInfo(w, info);
        conn->setText(w, conn->atoms().className, "DesktopExplorerWindow");
        conn->setText(w, conn->atoms().text, "");
        // On a person's display the window manager shows it as a fixed-size window.
        XStoreName(dpy, w, "Device");
        XSizeHints* hints = XAllocSizeHints();
        if (hints) {
            hints->flags = PMinSize | PMaxSize | PPosition;
            hints->min_width = hints->max_width = width;
            hints->min_height = hints->max_height = height;
            XSetWMNormalHints(dpy, w, hints);
            XFree(hints);
        }
        XMapWindow(dpy, w);
        if (trap.failed()) {
            if (error) *error = "cannot create the desktop window";
            return nullptr;
        }
        d->window_ = static_cast<uint32_t>(w);
    }
    d->messenger_ = Messenger::create(conn);
    if (!d->messenger_) {
        if (error) *error = "cannot make the message window";
        return nullptr;
    }
    return d;
}

DesktopWindow::~DesktopWindow() {
    messenger_.reset();
    if (conn_ && window_ && !conn_->dead()) {
        XConnection::Lock lock(*conn_);
        XDestroyWindow(conn_->display(), window_);
    }
}

void DesktopWindow::setMessageHandler(MessageHandler handler) {
    std::lock_guard<std::mutex> guard(handlersLock_);
    messageHandler_ = std::move(handler);
}

void DesktopWindow::setForegroundHandler(std::function<void()> handler) {
    std::lock_guard<std::mutex> guard(handlersLock_);
    foregroundHandler_ = std::move(handler);
}

bool DesktopWindow::resize(int width, int height) {
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192 || !conn_ || conn_->dead())
        return false;
    Display* dpy = conn_->display();
    XConnection::Lock lock(*conn_);
    XConnection::ErrorTrap trap(*conn_);
    // The size hints first, so that a window manager of a person's display lets it change.
    if (XSizeHints* hints = XAllocSizeHints()) {
        hints->flags = PMinSize | PMaxSize | PPosition;
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
        XSetWMNormalHints(dpy, window_, hints);
        XFree(hints);
    }
    WindowInfo info;
    info.processId = static_cast<uint32_t>(getpid());
    info.threadId = currentThreadId();
    info.style = WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    info.visible = true;
    info.width = width;
    info.height = height;
    conn_->setInfo(window_, info);
    XResizeWindow(dpy, window_, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(dpy, False);
    return !trap.failed();
}

void DesktopWindow::serve(const std::atomic<bool>& stop) {
    EventSink sink;
    // Without a handler (the bare desktop) a message sent to it is answered at once.
    sink.foreignMessage = [this](user::WireMessage m, bool sent, user::ReplyFn reply) {
        MessageHandler handler;
        {
            std::lock_guard<std::mutex> guard(handlersLock_);
            handler = messageHandler_;
        }
        if (handler && handler(m, sent, reply)) return;
        if (sent) reply(0, {});
    };
    Display* dpy = conn_->display();
    int fd = ConnectionNumber(dpy);
    std::vector<XEvent> batch;
    bool queued = false;
    while (!stop && !conn_->dead()) {
        pollfd p{fd, POLLIN, 0};
        if (!queued) poll(&p, 1, 200); // replies read while answering may be queued already
        batch.clear();
        XLockDisplay(dpy);
        while (!conn_->dead() && XPending(dpy) > 0) {
            XEvent e;
            XNextEvent(dpy, &e);
            batch.push_back(e);
        }
        XUnlockDisplay(dpy);
        for (XEvent& e : batch) {
            if (e.type == PropertyNotify && e.xproperty.window == window_ &&
                e.xproperty.atom == conn_->atoms().foreground) {
                std::function<void()> handler;
                {
                    std::lock_guard<std::mutex> guard(handlersLock_);
                    handler = foregroundHandler_;
                }
                if (handler) handler();
                continue;
            }
            messenger_->handleEvent(e, sink);
        }
        XLockDisplay(dpy);
        queued = !conn_->dead() && XQLength(dpy) > 0;
        XUnlockDisplay(dpy);
    }
}

} // namespace ce::display
