// desktop.h: the device's desktop window, the X window that is the device's screen.
//
// The desktop window is a top-level window of the X screen, the size of the device's screen,
// white until something covers it; every program's top-level windows are its children. It
// carries the window properties of x11conn.h (class "DesktopExplorerWindow"), so that
// GetDesktopWindow, GetClassNameW and the window walks see it like any other window. Until the
// shell exists, cedesktop makes it; later the shell calls the same function.
//
// The desktop window has its own X connection, separate from the window system's of the same
// process: it has to exist before the window system of any program can attach to the display.
//
// Inside the platform only.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

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
    // Keeps the window: reads the connection's events and answers messages sent to the
    // desktop (with 0) so that their senders need not wait for a time-out. Returns when stop
    // becomes true (checked at least every 200 ms) or the display has gone.
    void serve(const std::atomic<bool>& stop);

private:
    DesktopWindow() = default;
    std::shared_ptr<XConnection> conn_;
    std::shared_ptr<Messenger> messenger_;
    uint32_t window_ = 0;
};

} // namespace ce::display
