// driver.h: the window system's display driver, and the calls a driver makes back into the
// window system.
//
// The window system (platform/user) keeps everything a window of this process is: its class,
// procedure, thread, queue, timers, update region and backing surface. The display driver
// keeps what the whole device shares: handle values, the tree and stacking of every window
// of every program, class names and texts readable by other programs, the foreground
// window, the screen, input, and messages between programs. Two drivers exist:
//
//  * the null driver (display/nulldrv.cpp): no screen; windows exist only inside this
//    process. Used when the device has no display running, and by most tests.
//  * the X11 driver (display/x11*.cpp): every window is an X window under the device's
//    desktop window, so the handle value is the X window id (unique on the device, 32 bits).
//
// All handle values here are the 32-bit values of HWNDs (HandleToULong). A driver is chosen
// once per process, at the first window call (activeDriver()).
//
// Inside the platform only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gdi/surface.h"
#include "windef.h"

namespace ce::user {

// What the driver is told about a window of this process when it is made.
struct WindowDesc {
    uint32_t parent = 0; // 0: a top-level window (a child of the device's desktop window)
    uint32_t owner = 0;  // top-level windows: the owner window, 0 for none
    RECT rect{};         // in the parent's client coordinates (screen for top-level windows)
    bool visible = false;
    bool topmost = false;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    std::u16string className;
    std::u16string text;
    uint32_t processId = 0;
    uint32_t threadId = 0;
};

// A window as every program of the device can see it, whichever program made it.
struct WindowFacts {
    uint32_t hwnd = 0;
    uint32_t parent = 0; // 0 for top-level windows
    uint32_t owner = 0;
    uint32_t processId = 0;
    uint32_t threadId = 0;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    RECT rect{}; // screen coordinates
    bool visible = false;
    std::u16string className;
    std::u16string text;
};

// A message to or from another program's window. wParam and lParam travel as 32-bit values;
// messages whose lParam points at data (WM_SETTEXT, WM_GETTEXT, WM_COPYDATA,
// WM_DBNOTIFICATION ...) carry that data in `payload`, packed and unpacked by the window
// system (user/marshal.cpp), never by the driver.
struct WireMessage {
    uint32_t hwnd = 0;
    uint32_t message = 0;
    uint32_t wParam = 0;
    uint32_t lParam = 0;
    std::vector<uint8_t> payload;
};

class DisplayDriver {
public:
    virtual ~DisplayDriver() = default;
    virtual const char* name() const = 0; // "null", "x11"

    // ---- Windows of this process ------------------------------------------------------------
    // Makes the driver's side of a new window and returns its handle value (never 0, never
    // reused while the device runs for X; unique in the process for the null driver). 0 on
    // failure (the parent is gone).
    virtual uint32_t createWindow(const WindowDesc& desc) = 0;
    virtual void destroyWindow(uint32_t hwnd) = 0;
    virtual void setWindowText(uint32_t hwnd, std::u16string_view text) = 0;
    virtual void setWindowStyle(uint32_t hwnd, uint32_t style, uint32_t exStyle) = 0;
    // Position and size, in the parent's client coordinates.
    virtual void setWindowRect(uint32_t hwnd, const RECT& rect) = 0;
    virtual void setWindowVisible(uint32_t hwnd, bool visible) = 0;
    // Restacks among the siblings: after = 0 (HWND_TOP), 1 (HWND_BOTTOM) or the sibling to
    // go below; topmost keeps a top-level window above the others that are not.
    virtual void restackWindow(uint32_t hwnd, uint32_t after, bool topmost) = 0;
    virtual void setWindowParent(uint32_t hwnd, uint32_t parent, const RECT& rect) = 0;
    // The window's shape in window coordinates; null removes it.
    virtual void setWindowShape(uint32_t hwnd, const RectList* shape) = 0;
    // Puts the `dirty` part (window coordinates) of the window's surface on the screen.
    virtual void presentWindow(uint32_t hwnd, const Surface& surface, const RECT& dirty) = 0;

    // ---- The device, every program ------------------------------------------------------------
    virtual uint32_t desktopWindow() = 0;
    virtual SIZE screenSize() = 0;
    // The children of a window, top of the stacking order first; parent 0 or the desktop
    // window gives the top-level windows of every program of the device.
    virtual std::vector<uint32_t> childWindows(uint32_t parent) = 0;
    // What a window of any program is; nothing when hwnd is not a window of the device.
    virtual std::optional<WindowFacts> queryWindow(uint32_t hwnd) = 0;
    // Shows or hides, moves or restacks a window of another program directly. The window
    // system does not use these for ShowWindow and SetWindowPos on another program's window:
    // it asks the owning program, whose records must stay the truth (user/remote.cpp).
    virtual bool showForeignWindow(uint32_t hwnd, bool visible) = 0;
    virtual bool placeForeignWindow(uint32_t hwnd, const RECT* rect, uint32_t after, bool restack,
                                    bool topmost) = 0;
    // The device-wide foreground window (0: none).
    virtual uint32_t foregroundWindow() = 0;
    virtual bool setForegroundWindow(uint32_t hwnd) = 0;
    // A copy of what the screen shows now (GetDC(NULL) reads it). Null driver: the top-level
    // windows of this process composed over a white desktop.
    virtual std::shared_ptr<Surface> captureScreen() = 0;

    // ---- Input ------------------------------------------------------------------------------
    // Input of this device as if from its keys and screen (keybd_event, mouse_event, cedev).
    // The window under the point, or the focus, gets it through deliverInput().
    virtual void injectKey(uint8_t vk, bool up) = 0;
    virtual void injectPointer(POINT screen, bool moveOnly, bool down) = 0;
    virtual POINT pointerPosition() = 0;

    // ---- Messages to other programs' windows --------------------------------------------------
    // Queues a posted message for a window of another program; false when it is not a window.
    virtual bool postForeign(const WireMessage& message) = 0;
    // Sends a message to a window of another program without waiting: the answer comes back
    // through deliverForeignReply(ticket, ...). False when it cannot be sent (no window).
    virtual bool sendForeign(const WireMessage& message, uint64_t ticket) = 0;
};

// The driver of this process: X11 when the device has a display running (run/display in the
// device folder, see display/x11display.h), else the null driver. Chosen once.
DisplayDriver& activeDriver();
// For tests: use this driver from now on (null restores the choice above).
void setDriverForTesting(std::unique_ptr<DisplayDriver> driver);
std::unique_ptr<DisplayDriver> makeNullDriver();
// Made by display/x11driver.cpp; null when no display can be opened.
std::unique_ptr<DisplayDriver> makeX11Driver();

// ---- Calls from a driver into the window system ---------------------------------------------
// A driver calls these from its own event thread (never holding its own locks). Each routes
// to the thread that owns the window and wakes it.

// Input for a window of this process: pointer messages carry the point in the window's own
// coordinates (the window system makes them client coordinates and applies capture); key
// messages go to the focus window of the window's thread.
void deliverInput(uint32_t hwnd, uint32_t message, WPARAM wParam, POINT windowPoint);
void deliverKey(uint32_t hwnd, uint32_t message, uint8_t vk, bool repeat);
// Part of the window needs to be shown again (window coordinates): the window system calls
// presentWindow with its surface.
void deliverExpose(uint32_t hwnd, const RECT& rect);
// A message from another program to a window of this process. A sent one must be answered
// by calling `reply` exactly once, after the window procedure returned (or at once with 0
// when the window is gone); reply may be called from any thread.
using ReplyFn = std::function<void(LRESULT result, std::vector<uint8_t> payload)>;
void deliverForeignMessage(WireMessage message, bool sent, ReplyFn reply);
// The answer to sendForeign(ticket); ignored when the sender gave up waiting.
void deliverForeignReply(uint64_t ticket, LRESULT result, std::vector<uint8_t> payload);
// The screen changed size (rotation) or the foreground changed: the window system sends
// what it must (WM_SETTINGCHANGE, WM_ACTIVATE).
void deliverScreenChange(SIZE size);
void deliverForegroundChange(uint32_t oldForeground, uint32_t newForeground);

} // namespace ce::user
