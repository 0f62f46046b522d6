// x11conn.h: one process's connection to the device's X server: the atoms the device's
// programs share, locking, error trapping, the event thread, and the window properties that
// let every program see what a window is.
//
// A process has one connection (XInitThreads comes first, so any thread may make requests).
// One event thread reads every event: it polls the connection and a wake pipe, takes events
// out under the display lock and hands them to its handler without holding any lock, so the
// handler may call back into the driver. Another thread that happens to read events off the
// socket while waiting for a reply leaves them in Xlib's queue, where poll cannot see them;
// the Lock therefore wakes the event thread when it is released with events queued.
//
// X errors are asynchronous and Xlib's default handler ends the process; here they are
// recorded instead (windows of other programs vanish at any time). An ErrorTrap brackets
// requests whose failure matters and syncs once to learn whether any of them failed. A lost
// server does not end the process either: the connection is marked dead and every later
// request is skipped.
//
// Window properties (all set by the window's owner, read by anyone):
//   _CE_INFO   CARDINAL[8]: process id, thread id, style, extended style, owner window,
//              flags (visible, topmost), width, height (the window's own size: X windows
//              cannot be 0 pixels wide, windows can)
//   _CE_CLASS  UTF8_STRING: the class name
//   _CE_TEXT   UTF8_STRING: the window text
// On the desktop window: _CE_FOREGROUND (CARDINAL: the foreground window) and _CE_POINTER
// (CARDINAL[2]: where the pointer last went down or moved by injection).
//
// Inside the platform only.
#pragma once

#include <X11/Xlib.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ce::display {

// Payload properties of cross-process messages: a small pool of atoms reused in turn.
constexpr int kPayloadSlots = 32;

struct Atoms {
    Atom info = 0, className = 0, text = 0, foreground = 0, pointer = 0;
    Atom message = 0, reply = 0, input = 0, utf8 = 0;
    std::array<Atom, kPayloadSlots + 1> payload{}; // [0] unused: slot 0 means "no payload"
};

// What _CE_INFO holds.
struct WindowInfo {
    uint32_t processId = 0;
    uint32_t threadId = 0;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    uint32_t owner = 0;
    bool visible = false;
    bool topmost = false;
    int width = 0;
    int height = 0;
};

class XConnection {
public:
    // Opens the display; null with a reason when it cannot be opened.
    static std::shared_ptr<XConnection> open(const std::string& name, std::string* error);
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    Display* display() const { return dpy_; }
    const Atoms& atoms() const { return atoms_; }
    Window root() const { return root_; }
    Visual* visual() const { return visual_; }
    int depth() const { return depth_; }
    // True when the default visual is 24/32-bit TrueColor with BGRA byte order, the layout of
    // a Surface, so pixels go to the server without conversion.
    bool surfaceLayout() const { return surfaceLayout_; }
    bool haveShape() const { return haveShape_; }
    // The server went away: every request is skipped from then on.
    bool dead() const { return dead_.load(); }

    // The display lock for a batch of requests; flushes when released.
    class Lock {
    public:
        explicit Lock(XConnection& c);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        XConnection& c_;
    };

    // Records the X errors of the requests made while it lives (hold a Lock around it).
    // failed() syncs with the server once and says whether any of them failed.
    class ErrorTrap {
    public:
        explicit ErrorTrap(XConnection& c);
        ~ErrorTrap();
        bool failed();

    private:
        XConnection& c_;
        unsigned long first_;
        bool checked_ = false, failed_ = false;
    };

    // Starts the event thread; the handler runs on it, without any lock held. lost runs on it
    // once when the server goes away, after the last event.
    void startEvents(std::function<void(XEvent&)> handler, std::function<void()> lost = nullptr);
    void stopEvents();
    bool onEventThread() const;
    // Wakes the event thread to look at Xlib's queue.
    void kick();

    // ---- Properties (hold a Lock) ----------------------------------------------------------
    void setInfo(Window w, const WindowInfo& info);
    std::optional<WindowInfo> getInfo(Window w);
    void setText(Window w, Atom property, const std::string& utf8);
    std::optional<std::string> getText(Window w, Atom property);
    void setCardinals(Window w, Atom property, const std::vector<uint32_t>& values);
    std::vector<uint32_t> getCardinals(Window w, Atom property);
    // The children of w, top of the stacking order first, and w's parent (0 on failure).
    std::vector<Window> children(Window w, Window* parent = nullptr);

private:
    XConnection() = default;
    void eventLoop();

    Display* dpy_ = nullptr;
    Atoms atoms_;
    Window root_ = 0;
    Visual* visual_ = nullptr;
    int depth_ = 0;
    bool surfaceLayout_ = false;
    bool haveShape_ = false;
    std::atomic<bool> dead_{false};
    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::thread::id threadId_;
    std::function<void(XEvent&)> handler_;
    std::function<void()> lost_;

    friend void markConnectionDead(Display* dpy);
};

} // namespace ce::display
