// x11driver.h: the X11 display driver: every window is an X window under the device's
// desktop window (see user/driver.h for the interface, x11conn.h for the properties).
//
// Choices made here:
//  * Exposure: each window of this process keeps a server-side pixmap of its size as its X
//    background. presentWindow puts the dirty pixels into the pixmap and clears that part of
//    the window, so the server repaints anything exposed later by itself: no Expose
//    round-trip through the program, and screenshots are exact even while it is busy. Pixels
//    go with plain XPutImage: device screens are small and the server is local.
//  * Input injection: synthetic events sent with XSendEvent to the window under the point
//    (the server's own hit test through XTranslateCoordinates, which honours window shapes)
//    or to the foreground window for keys. This works the same on the device's own Xvfb and
//    on a person's display, never reaches another device, and the events arrive in the
//    receiving program through the same path as real ones. A press makes the target keep the
//    later moves and the release, as X's implicit grab does for a real press. A key that the
//    server's keymap cannot express travels as a _CE_INPUT client message instead.
//  * Messages between programs: see x11messages.cpp.
//
// Inside the platform only.
#pragma once

#include <X11/Xlib.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "display/x11conn.h"
#include "display/x11display.h"
#include "user/driver.h"

namespace ce::display {

// Where the driver's events go: the window system's deliver* calls, or a test's recorder.
struct EventSink {
    std::function<void(uint32_t hwnd, uint32_t message, WPARAM wParam, POINT pt)> input;
    std::function<void(uint32_t hwnd, uint32_t message, uint8_t vk, bool repeat)> key;
    std::function<void(uint32_t hwnd, const RECT& rect)> expose;
    std::function<void(user::WireMessage message, bool sent, user::ReplyFn reply)> foreignMessage;
    std::function<void(uint64_t ticket, LRESULT result, std::vector<uint8_t> payload)> foreignReply;
    std::function<void(SIZE size)> screenChange;
    std::function<void(uint32_t oldForeground, uint32_t newForeground)> foregroundChange;
};

// The sink of the window system (user/driver.h's deliver* functions).
EventSink windowSystemSink();

// The CE virtual key of an X keysym, 0 for none; and the keysym that stands for a virtual key
// (0 for none). The device's keys: arrows, Return, Escape, F1/F2 (soft keys), F3 (talk) ...
uint8_t virtualKeyOfKeysym(unsigned long keysym);
unsigned long keysymOfVirtualKey(uint8_t vk);

class Messenger;

class X11Driver final : public user::DisplayDriver {
public:
    // Connects to the display of the record; null (with a reason) when the display cannot be
    // opened, its colour layout is not 24/32-bit TrueColor, or the desktop window is gone.
    static std::unique_ptr<X11Driver> open(const DisplayRecord& record, EventSink sink,
                                           std::string* error = nullptr);
    ~X11Driver() override;

    const char* name() const override { return "x11"; }

    uint32_t createWindow(const user::WindowDesc& desc) override;
    void destroyWindow(uint32_t hwnd) override;
    void setWindowText(uint32_t hwnd, std::u16string_view text) override;
    void setWindowStyle(uint32_t hwnd, uint32_t style, uint32_t exStyle) override;
    void setWindowRect(uint32_t hwnd, const RECT& rect) override;
    void setWindowVisible(uint32_t hwnd, bool visible) override;
    void restackWindow(uint32_t hwnd, uint32_t after, bool topmost) override;
    void setWindowParent(uint32_t hwnd, uint32_t parent, const RECT& rect) override;
    void setWindowShape(uint32_t hwnd, const RectList* shape) override;
    void presentWindow(uint32_t hwnd, const Surface& surface, const RECT& dirty) override;

    uint32_t desktopWindow() override { return desktop_; }
    SIZE screenSize() override;
    std::vector<uint32_t> childWindows(uint32_t parent) override;
    std::optional<user::WindowFacts> queryWindow(uint32_t hwnd) override;
    bool showForeignWindow(uint32_t hwnd, bool visible) override;
    bool placeForeignWindow(uint32_t hwnd, const RECT* rect, uint32_t after, bool restack,
                            bool topmost) override;
    uint32_t foregroundWindow() override;
    bool setForegroundWindow(uint32_t hwnd) override;
    std::shared_ptr<Surface> captureScreen() override;

    void injectKey(uint8_t vk, bool up) override;
    void injectPointer(POINT screen, bool moveOnly, bool down) override;
    POINT pointerPosition() override;

    bool postForeign(const user::WireMessage& message) override;
    bool sendForeign(const user::WireMessage& message, uint64_t ticket) override;

    // The deepest window under a point of the screen (desktop coordinates), shapes honoured;
    // the desktop window itself when no window is there. For injection and tests.
    uint32_t windowAtPoint(POINT screen, POINT* windowPoint = nullptr);
    XConnection& connection() { return *conn_; }

private:
    X11Driver() = default;

    // What this process keeps of a window it made.
    struct Local {
        Pixmap pixmap = 0;
        int pixWidth = 0, pixHeight = 0; // the pixmap's size
    };

    void handleEvent(XEvent& e);
    void handleKey(XKeyEvent& e, bool down);
    // The following need the connection's Lock.
    void applyGeometry(Window w, WindowInfo& info, const RECT* rect);
    void applyMapping(Window w, const WindowInfo& info);
    void ensurePixmap(Window w, int width, int height);
    void restackLocked(Window w, uint32_t after, bool topmost);
    Window topLevelOf(Window w);

    std::shared_ptr<XConnection> conn_;
    std::shared_ptr<Messenger> messenger_;
    EventSink sink_;
    Window desktop_ = 0;
    GC gc_ = nullptr;
    std::map<Window, Local> local_; // guarded by the connection's Lock
    // Input state kept by the event thread.
    std::set<unsigned long> keysDown_;
    uint32_t foreground_ = 0;
    SIZE screen_{};
    // Injection: the window that got the injected press keeps the pointer until the release.
    std::mutex injectMutex_;
    Window grab_ = 0;
};

} // namespace ce::display
