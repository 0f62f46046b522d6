// x11conn.cpp: the process's X connection: atoms, locking, error trapping, the event thread
// and the shared window properties (see x11conn.h).
#include "display/x11conn.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>

#include "kernel/trace.h"

namespace ce::display {

namespace {

// The X errors seen lately, per connection, for the traps to look at. Bounded: errors no
// trap asked for (a foreign window that vanished under an unchecked request) only need to
// be forgotten.
struct RecordedError {
    Display* dpy;
    unsigned long serial;
    int code;
};
std::mutex errorsMutex;
std::deque<RecordedError> recentErrors;
constexpr size_t kMaxRecordedErrors = 256;

int recordError(Display* dpy, XErrorEvent* e) {
    std::lock_guard lock(errorsMutex);
    recentErrors.push_back({dpy, e->serial, e->error_code});
    if (recentErrors.size() > kMaxRecordedErrors) recentErrors.pop_front();
    CE_TRACE("x11", "X error %d on request %d.%d (resource 0x%lx)", e->error_code, e->request_code,
             e->minor_code, e->resourceid);
    return 0;
}

// Xlib calls this when the server is gone; the default prints and ends the process. The exit
// handler below decides what happens next, so this one only stays quiet.
int quietIoError(Display*) {
    return 0;
}

const char* const kAtomNames[] = {"_CE_INFO",       "_CE_CLASS",   "_CE_TEXT",
                                  "_CE_FOREGROUND", "_CE_POINTER", "_CE_MESSAGE",
                                  "_CE_REPLY",      "_CE_INPUT",   "UTF8_STRING"};

} // namespace

// Called from the IO-error exit handler: the connection is unusable from now on.
void markConnectionDead(Display* dpy);

namespace {
std::mutex liveMutex;
std::vector<XConnection*> liveConnections;

void onIoErrorExit(Display* dpy, void*) {
    markConnectionDead(dpy);
}
} // namespace

void markConnectionDead(Display* dpy) {
    std::lock_guard lock(liveMutex);
    for (XConnection* c : liveConnections)
        if (c->dpy_ == dpy) {
            c->dead_ = true;
            if (c->wake_[1] >= 0) {
                char b = 1;
                ssize_t n = write(c->wake_[1], &b, 1);
                (void)n;
            }
        }
}

std::shared_ptr<XConnection> XConnection::open(const std::string& name, std::string* error) {
    static std::once_flag once;
    std::call_once(once, [] {
        XInitThreads();
        XSetErrorHandler(recordError);
        XSetIOErrorHandler(quietIoError);
    });
    Display* dpy = XOpenDisplay(name.c_str());
    if (!dpy) {
        if (error) *error = "cannot open X display " + name;
        return nullptr;
    }
    std::shared_ptr<XConnection> c(new XConnection());
    c->dpy_ = dpy;
    {
        std::lock_guard lock(liveMutex);
        liveConnections.push_back(c.get());
    }
    XSetIOErrorExitHandler(dpy, onIoErrorExit, nullptr);
    int screen = DefaultScreen(dpy);
    c->root_ = RootWindow(dpy, screen);
    c->visual_ = DefaultVisual(dpy, screen);
    c->depth_ = DefaultDepth(dpy, screen);
    c->surfaceLayout_ = c->visual_->c_class == TrueColor && c->visual_->red_mask == 0xFF0000 &&
                        c->visual_->green_mask == 0xFF00 && c->visual_->blue_mask == 0xFF &&
                        (c->depth_ == 24 || c->depth_ == 32) && ImageByteOrder(dpy) == LSBFirst;
    int eventBase = 0, errorBase = 0;
    c->haveShape_ = XShapeQueryExtension(dpy, &eventBase, &errorBase);

    std::vector<char*> names;
    for (const char* n : kAtomNames)
        names.push_back(const_cast<char*>(n));
    std::vector<std::string> slotNames;
    for (int i = 1; i <= kPayloadSlots; ++i)
        slotNames.push_back("_CE_PAYLOAD_" + std::to_string(i));
    for (auto& s : slotNames)
        names.push_back(s.data());
    std::vector<Atom> atoms(names.size());
    XInternAtoms(dpy, names.data(), static_cast<int>(names.size()), False, atoms.data());
    Atoms& a = c->atoms_;
    a.info = atoms[0];
    a.className = atoms[1];
    a.text = atoms[2];
    a.foreground = atoms[3];
    a.pointer = atoms[4];
    a.message = atoms[5];
    a.reply = atoms[6];
    a.input = atoms[7];
    a.utf8 = atoms[8];
    for (int i = 1; i <= kPayloadSlots; ++i)
        a.payload[i] = atoms[8 + i];

    if (pipe2(c->wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (error) *error = "cannot make a pipe";
        return nullptr;
    }
    return c;
}

XConnection::~XConnection() {
    stopEvents();
    {
        std::lock_guard lock(liveMutex);
        std::erase(liveConnections, this);
    }
    if (dpy_) XCloseDisplay(dpy_);
    for (int fd : wake_)
        if (fd >= 0) close(fd);
}

XConnection::Lock::Lock(XConnection& c) : c_(c) {
    XLockDisplay(c_.dpy_);
}

XConnection::Lock::~Lock() {
    bool queued = false;
    if (!c_.dead()) {
        XFlush(c_.dpy_);
        queued = XQLength(c_.dpy_) > 0;
    }
    XUnlockDisplay(c_.dpy_);
    if (queued && !c_.onEventThread()) c_.kick();
}

XConnection::ErrorTrap::ErrorTrap(XConnection& c) : c_(c), first_(NextRequest(c.dpy_)) {}

XConnection::ErrorTrap::~ErrorTrap() {
    failed();
}

bool XConnection::ErrorTrap::failed() {
    if (checked_) return failed_;
    checked_ = true;
    if (c_.dead()) return failed_ = true;
    XSync(c_.dpy_, False);
    if (c_.dead()) return failed_ = true;
    std::lock_guard lock(errorsMutex);
    for (auto it = recentErrors.begin(); it != recentErrors.end();) {
        if (it->dpy == c_.dpy_ && it->serial >= first_) {
            failed_ = true;
            it = recentErrors.erase(it);
        } else {
            ++it;
        }
    }
    return failed_;
}

void XConnection::startEvents(std::function<void(XEvent&)> handler, std::function<void()> lost) {
    if (thread_.joinable()) return;
    handler_ = std::move(handler);
    lost_ = std::move(lost);
    stop_ = false;
    thread_ = std::thread([this] { eventLoop(); });
}

void XConnection::stopEvents() {
    if (!thread_.joinable()) return;
    stop_ = true;
    kick();
    if (std::this_thread::get_id() == thread_.get_id())
        thread_.detach();
    else
        thread_.join();
}

bool XConnection::onEventThread() const {
    return std::this_thread::get_id() == threadId_;
}

void XConnection::kick() {
    char b = 1;
    ssize_t n = write(wake_[1], &b, 1);
    (void)n;
}

void XConnection::eventLoop() {
    threadId_ = std::this_thread::get_id();
    int fd = ConnectionNumber(dpy_);
    std::vector<XEvent> batch;
    bool queued = false;
    while (!stop_ && !dead()) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        // Handling the last batch may have read more events into Xlib's queue, where poll
        // cannot see them. The time-out is only a backstop: the wake pipe covers events
        // queued by other threads.
        if (!queued) poll(fds, 2, 250);
        if (fds[1].revents & POLLIN) {
            char buf[64];
            while (read(wake_[0], buf, sizeof buf) > 0) {
            }
        }
        if (stop_) break;
        batch.clear();
        XLockDisplay(dpy_);
        while (!dead() && XPending(dpy_) > 0) {
            XEvent e;
            XNextEvent(dpy_, &e);
            batch.push_back(e);
        }
        XUnlockDisplay(dpy_);
        for (XEvent& e : batch)
            handler_(e);
        XLockDisplay(dpy_);
        queued = !dead() && XQLength(dpy_) > 0;
        XUnlockDisplay(dpy_);
    }
    if (dead() && lost_) lost_();
}

void XConnection::setInfo(Window w, const WindowInfo& info) {
    long v[8] = {static_cast<long>(info.processId),
                 static_cast<long>(info.threadId),
                 static_cast<long>(info.style),
                 static_cast<long>(info.exStyle),
                 static_cast<long>(info.owner),
                 (info.visible ? 1L : 0L) | (info.topmost ? 2L : 0L),
                 static_cast<long>(std::max(0, info.width)),
                 static_cast<long>(std::max(0, info.height))};
    XChangeProperty(dpy_, w, atoms_.info, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(v), 8);
}

std::optional<WindowInfo> XConnection::getInfo(Window w) {
    std::vector<uint32_t> v = getCardinals(w, atoms_.info);
    if (v.size() < 8) return std::nullopt;
    WindowInfo info;
    info.processId = v[0];
    info.threadId = v[1];
    info.style = v[2];
    info.exStyle = v[3];
    info.owner = v[4];
    info.visible = v[5] & 1;
    info.topmost = v[5] & 2;
    info.width = static_cast<int>(std::min<uint32_t>(v[6], 0x7FFF));
    info.height = static_cast<int>(std::min<uint32_t>(v[7], 0x7FFF));
    return info;
}

void XConnection::setText(Window w, Atom property, const std::string& utf8) {
    XChangeProperty(dpy_, w, property, atoms_.utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()),
                    static_cast<int>(utf8.size()));
}

std::optional<std::string> XConnection::getText(Window w, Atom property) {
    if (dead()) return std::nullopt;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    // Window texts are short; 64 KB is far beyond any, and bounds what a bad property costs.
    if (XGetWindowProperty(dpy_, w, property, 0, 16384, False, atoms_.utf8, &type, &format, &count,
                           &after, &data) != Success)
        return std::nullopt;
    std::optional<std::string> out;
    if (type == atoms_.utf8 && format == 8 && data)
        out = std::string(reinterpret_cast<char*>(data), count);
    if (data) XFree(data);
    return out;
}

void XConnection::setCardinals(Window w, Atom property, const std::vector<uint32_t>& values) {
    std::vector<long> v(values.begin(), values.end());
    XChangeProperty(dpy_, w, property, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(v.data()), static_cast<int>(v.size()));
}

std::vector<uint32_t> XConnection::getCardinals(Window w, Atom property) {
    std::vector<uint32_t> out;
    if (dead()) return out;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy_, w, property, 0, 64, False, XA_CARDINAL, &type, &format, &count,
                           &after, &data) != Success)
        return out;
    if (type == XA_CARDINAL && format == 32 && data) {
        // Format-32 data comes back as longs, whatever their size on the host.
        const long* v = reinterpret_cast<const long*>(data);
        for (unsigned long i = 0; i < count; ++i)
            out.push_back(static_cast<uint32_t>(v[i]));
    }
    if (data) XFree(data);
    return out;
}

std::vector<Window> XConnection::children(Window w, Window* parent) {
    std::vector<Window> out;
    if (parent) *parent = 0;
    if (dead()) return out;
    Window root = 0, par = 0, *kids = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(dpy_, w, &root, &par, &kids, &n)) return out;
    out.assign(kids, kids + n);
    if (kids) XFree(kids);
    std::reverse(out.begin(), out.end()); // X lists bottom first
    if (parent) *parent = par;
    return out;
}

} // namespace ce::display
