// desktop.h: the device's desktop window, the X window that is the device's screen.
//
// The desktop window is a top-level window of the X screen, the size of the device's screen,
// white until something covers it; every program's top-level windows are its children. It
// carries the window properties of x11conn.h (class "DesktopExplorerWindow"), so that
// GetDesktopWindow, GetClassNameW and the window walks see it like any other window. The shell
// (ceshell) makes it, or cedesktop for a device whose shell is not running.
//
// Programs send messages to the desktop window (WM_WININICHANGE 0xF2 asks the Today screen to
// reload its items). The bare desktop answers them with 0; the shell sets a message handler
// and answers them itself, possibly later and from another thread.
//
// The desktop window has its own X connection, separate from the window system's of the same
// process: it has to exist before the window system of any program can attach to the display.
//
// Inside the platform only.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "user/driver.h"

namespace ce::display {

class XConnection;
class Messenger;

class DesktopWindow {
public:
    // Creates and shows the desktop window on the display; null with a reason on failure.
    static std::unique_ptr<DesktopWindow> create(const std::string& display, int width, int height,
                                                 std::string* error = nullptr);
    ~DesktopWindow();

    uint32_t window() const { return window_; }

    // What happens to a message another program sent or posted to the desktop window. The
    // handler runs on the thread of serve(); it returns true when it took the message, and
    // then calls reply exactly once for a sent one (from any thread, at any later time).
    // Returning false answers a sent message with 0 at once. Set it before serve() runs.
    using MessageHandler =
        std::function<bool(const user::WireMessage& message, bool sent, user::ReplyFn reply)>;
    void setMessageHandler(MessageHandler handler);
    // Called on the thread of serve() when the device's foreground window changed (the
    // foreground property of the desktop window), so that a title bar can follow it.
    void setForegroundHandler(std::function<void()> handler);

    // Gives the desktop window a new size (a rotation of the screen). Every program's display
    // driver sees the desktop change size and tells its windows (WM_SETTINGCHANGE). The size
    // must fit the X screen, which the device's own Xvfb makes large enough both ways round.
    bool resize(int width, int height);
    // Keeps the window: reads the connection's events and answers messages sent to the
    // desktop (with 0) so that their senders need not wait for a time-out. Returns when stop
    // becomes true (checked at least every 200 ms) or the display has gone.
    void serve(const std::atomic<bool>& stop);

private:
    DesktopWindow() = default;
    std::shared_ptr<XConnection> conn_;
    std::shared_ptr<Messenger> messenger_;
    uint32_t window_ = 0;
    std::mutex handlersLock_;
    MessageHandler messageHandler_;
    std::function<void()> foregroundHandler_;
};

} // namespace ce::display
