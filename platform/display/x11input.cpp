// x11input.cpp: the X11 driver's input: X keys as the device's virtual keys, the hit test of
// the screen, and injection of taps and keys into this device only (see x11driver.h for why
// injection is XSendEvent of synthetic events).
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include "display/x11driver.h"
#include "kernel/trace.h"
#include "winuser.h"

namespace ce::display {

namespace {

struct KeyName {
    unsigned long keysym;
    uint8_t vk;
};

// The device's keys as a host keyboard types them. The first entry of a virtual key is the
// keysym injection uses for it.
const KeyName kKeys[] = {
    {XK_Up, VK_UP},
    {XK_Down, VK_DOWN},
    {XK_Left, VK_LEFT},
    {XK_Right, VK_RIGHT},
    {XK_Return, VK_RETURN},
    {XK_KP_Enter, VK_RETURN},
    {XK_Escape, VK_ESCAPE},
    {XK_BackSpace, VK_BACK},
    {XK_Tab, VK_TAB},
    {XK_space, VK_SPACE},
    {XK_Delete, VK_DELETE},
    {XK_Insert, VK_INSERT},
    {XK_Home, VK_HOME},
    {XK_End, VK_END},
    {XK_Prior, VK_PRIOR},
    {XK_Next, VK_NEXT},
    {XK_Help, VK_HELP},
    {XK_Menu, VK_APPS},
    {XK_Super_L, VK_LWIN},
    {XK_Shift_L, VK_SHIFT},
    {XK_Shift_R, VK_SHIFT},
    {XK_Control_L, VK_CONTROL},
    {XK_Control_R, VK_CONTROL},
    {XK_Alt_L, VK_MENU},
    {XK_Alt_R, VK_MENU},
    {XK_KP_Multiply, VK_MULTIPLY},
    {XK_KP_Add, VK_ADD},
    {XK_KP_Subtract, VK_SUBTRACT},
    {XK_KP_Decimal, VK_DECIMAL},
    {XK_KP_Divide, VK_DIVIDE},
};

} // namespace

uint8_t virtualKeyOfKeysym(unsigned long keysym) {
    for (const KeyName& k : kKeys)
        if (k.keysym == keysym) return k.vk;
    if (keysym >= XK_a && keysym <= XK_z) return static_cast<uint8_t>('A' + (keysym - XK_a));
    if (keysym >= XK_A && keysym <= XK_Z) return static_cast<uint8_t>('A' + (keysym - XK_A));
    if (keysym >= XK_0 && keysym <= XK_9) return static_cast<uint8_t>('0' + (keysym - XK_0));
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9)
        return static_cast<uint8_t>(VK_NUMPAD0 + (keysym - XK_KP_0));
    // F1/F2 are the soft keys, F3 talk, F4 end, F6/F7 volume ... as the device names them.
    if (keysym >= XK_F1 && keysym <= XK_F24) return static_cast<uint8_t>(VK_F1 + (keysym - XK_F1));
    return 0;
}

unsigned long keysymOfVirtualKey(uint8_t vk) {
    for (const KeyName& k : kKeys)
        if (k.vk == vk) return k.keysym;
    if (vk >= 'A' && vk <= 'Z') return XK_a + (vk - 'A');
    if (vk >= '0' && vk <= '9') return XK_0 + (vk - '0');
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return XK_KP_0 + (vk - VK_NUMPAD0);
    if (vk >= VK_F1 && vk <= VK_F24) return XK_F1 + (vk - VK_F1);
    return 0;
}

void X11Driver::handleKey(XKeyEvent& e, bool down) {
    unsigned long keysym = XLookupKeysym(&e, 0);
    uint8_t vk = virtualKeyOfKeysym(keysym);
    if (!vk) return;
    bool repeat = false;
    if (down)
        repeat = !keysDown_.insert(keysym).second;
    else
        keysDown_.erase(keysym);
    if (sink_.key)
        sink_.key(static_cast<uint32_t>(e.window), down ? WM_KEYDOWN : WM_KEYUP, vk, repeat);
}

uint32_t X11Driver::windowAtPoint(POINT screen, POINT* windowPoint) {
    Window w = desktop_;
    int x = screen.x, y = screen.y;
    if (!conn_->dead()) {
        XConnection::Lock lock(*conn_);
        XConnection::ErrorTrap trap(*conn_);
        // The server's hit test: each step names the mapped child under the point, honouring
        // bounding and input shapes.
        for (int depth = 0; depth < 64; ++depth) {
            Window child = None;
            int cx = 0, cy = 0;
            if (!XTranslateCoordinates(conn_->display(), desktop_, w, screen.x, screen.y, &cx, &cy,
                                       &child))
                break;
            x = cx;
            y = cy;
            if (child == None) break;
            w = child;
        }
    }
    if (windowPoint) *windowPoint = POINT{x, y};
    return static_cast<uint32_t>(w);
}

void X11Driver::injectPointer(POINT screen, bool moveOnly, bool down) {
    if (conn_->dead()) return;
    std::lock_guard inject(injectMutex_);
    Window target = 0;
    POINT at{};
    if (grab_ && (moveOnly || !down)) {
        // As X's implicit grab: the window that got the press gets the rest of the gesture.
        XConnection::Lock lock(*conn_);
        XConnection::ErrorTrap trap(*conn_);
        Window child;
        int x = 0, y = 0;
        if (XTranslateCoordinates(conn_->display(), desktop_, grab_, screen.x, screen.y, &x, &y,
                                  &child) &&
            !trap.failed()) {
            target = grab_;
            at = POINT{x, y};
        }
    }
    if (!target) target = windowAtPoint(screen, &at);
    XConnection::Lock lock(*conn_);
    XConnection::ErrorTrap trap(*conn_);
    Display* dpy = conn_->display();
    conn_->setCardinals(desktop_, conn_->atoms().pointer,
                        {static_cast<uint32_t>(screen.x), static_cast<uint32_t>(screen.y)});
    XEvent ev{};
    long mask;
    if (moveOnly) {
        XMotionEvent& m = ev.xmotion;
        m.type = MotionNotify;
        m.window = target;
        m.root = conn_->root();
        m.time = CurrentTime;
        m.x = at.x;
        m.y = at.y;
        m.x_root = screen.x;
        m.y_root = screen.y;
        m.state = grab_ ? Button1Mask : 0;
        m.is_hint = NotifyNormal;
        m.same_screen = True;
        mask = PointerMotionMask | (grab_ ? Button1MotionMask : 0);
    } else {
        XButtonEvent& b = ev.xbutton;
        b.type = down ? ButtonPress : ButtonRelease;
        b.window = target;
        b.root = conn_->root();
        b.time = CurrentTime;
        b.x = at.x;
        b.y = at.y;
        b.x_root = screen.x;
        b.y_root = screen.y;
        b.state = down ? 0 : Button1Mask;
        b.button = Button1;
        b.same_screen = True;
        mask = down ? ButtonPressMask : ButtonReleaseMask;
        grab_ = down ? target : 0;
    }
    XSendEvent(dpy, target, False, mask, &ev);
    CE_TRACE("x11", "pointer %s at %ld,%ld -> 0x%lx",
             moveOnly ? "move"
             : down   ? "down"
                      : "up",
             static_cast<long>(screen.x), static_cast<long>(screen.y), target);
}

void X11Driver::injectKey(uint8_t vk, bool up) {
    if (conn_->dead() || vk == 0) return;
    uint32_t target = foregroundWindow();
    if (!target) {
        CE_TRACE("x11", "key 0x%x: no foreground window", vk);
        return;
    }
    XConnection::Lock lock(*conn_);
    XConnection::ErrorTrap trap(*conn_);
    Display* dpy = conn_->display();
    unsigned long keysym = keysymOfVirtualKey(vk);
    KeyCode code = keysym ? XKeysymToKeycode(dpy, keysym) : 0;
    XEvent ev{};
    XKeyEvent& k = ev.xkey;
    k.type = up ? KeyRelease : KeyPress;
    k.display = dpy;
    k.window = target;
    k.root = conn_->root();
    k.time = CurrentTime;
    k.keycode = code;
    k.same_screen = True;
    // Only a code whose first keysym is this one reads back as the same key.
    if (code && XLookupKeysym(&k, 0) == keysym) {
        XSendEvent(dpy, target, False, up ? KeyReleaseMask : KeyPressMask, &ev);
        return;
    }
    // A key the server's keymap has no code for still reaches the program.
    ev = XEvent{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = target;
    ev.xclient.message_type = conn_->atoms().input;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = 1;
    ev.xclient.data.l[1] = vk;
    ev.xclient.data.l[2] = up ? 1 : 0;
    XSendEvent(dpy, target, False, NoEventMask, &ev);
}

POINT X11Driver::pointerPosition() {
    if (conn_->dead()) return POINT{0, 0};
    XConnection::Lock lock(*conn_);
    XConnection::ErrorTrap trap(*conn_);
    std::vector<uint32_t> v = conn_->getCardinals(desktop_, conn_->atoms().pointer);
    if (v.size() >= 2) return POINT{static_cast<int32_t>(v[0]), static_cast<int32_t>(v[1])};
    Window root, child;
    int rx, ry, x = 0, y = 0;
    unsigned mask;
    if (!XQueryPointer(conn_->display(), desktop_, &root, &child, &rx, &ry, &x, &y, &mask))
        return POINT{0, 0};
    return POINT{x, y};
}

} // namespace ce::display
