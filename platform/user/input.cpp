// input.cpp: input from the display driver (deliverInput, deliverKey) turned into queued
// input messages, TranslateMessage, key state, and the calls that inject input into this
// device (keybd_event, mouse_event), plus the screen change the driver reports.
//
// Pointer messages go to the capture window when there is one, else to the window the driver
// found under the point; their lParam holds client coordinates as two 16-bit signed values.
// Key messages go to the focus window of the thread that owns the window the driver named
// (else its active window, else that window). Key state is tracked as input is delivered, so
// GetKeyState and GetAsyncKeyState agree: a simplification of Windows, where GetKeyState
// follows the messages the thread has taken.
#include <array>
#include <atomic>

#include "kernel/clock.h"
#include "kernel/trace.h"
#include "user/userstate.h"

using namespace ce::user;

namespace ce::user {
namespace {

std::array<std::atomic<uint8_t>, 256> keyDown{};   // 1 while down
std::array<std::atomic<uint8_t>, 256> keyToggle{}; // flips at every press

uint32_t ownerThread(uint32_t hwnd) {
    auto w = findWindow(hwnd);
    if (!w) return 0;
    Lock lock(userLock());
    return w->threadId;
}

MSG inputMsg(uint32_t hwnd, UINT message, WPARAM wParam, LPARAM lParam, POINT screen) {
    MSG m{};
    m.hwnd = static_cast<HWND>(ULongToHandle(hwnd));
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = deviceTickCount();
    m.pt = screen;
    return m;
}

} // namespace

void noteKeyState(uint8_t vk, bool down) {
    if (down && !keyDown[vk]) keyToggle[vk] ^= 1;
    keyDown[vk] = down ? 1 : 0;
}

void deliverInput(uint32_t hwnd, uint32_t message, WPARAM wParam, POINT windowPoint) {
    POINT screen = windowScreenOrigin(hwnd);
    screen.x += windowPoint.x;
    screen.y += windowPoint.y;
    setLastPointerPosition(screen);
    if (message == WM_LBUTTONDOWN) noteKeyState(VK_LBUTTON, true);
    if (message == WM_LBUTTONUP) noteKeyState(VK_LBUTTON, false);
    uint32_t target = currentCapture();
    if (!target || !findWindow(target)) target = hwnd;
    uint32_t thread = ownerThread(target);
    if (!thread) return;
    POINT origin = clientScreenOrigin(target);
    int x = screen.x - origin.x, y = screen.y - origin.y;
    LPARAM lParam = MAKELPARAM(static_cast<WORD>(static_cast<int16_t>(x)),
                               static_cast<WORD>(static_cast<int16_t>(y)));
    queueInput(thread, inputMsg(target, message, wParam, lParam, screen));
}

void deliverKey(uint32_t hwnd, uint32_t message, uint8_t vk, bool repeat) {
    bool up = message == WM_KEYUP || message == WM_SYSKEYUP;
    bool wasDown = keyDown[vk] != 0;
    noteKeyState(vk, !up);
    uint32_t thread = ownerThread(hwnd);
    if (!thread) return;
    uint32_t target = hwnd;
    if (auto q = queueOf(thread)) {
        Lock lock(userLock());
        if (q->focus && findWindow(q->focus))
            target = q->focus;
        else if (q->active && findWindow(q->active))
            target = q->active;
    }
    // lParam: repeat count 1, previous state (bit 30), transition (bit 31).
    LPARAM lParam = 1;
    if (up || repeat || wasDown) lParam |= 1L << 30;
    if (up) lParam |= static_cast<LPARAM>(1UL << 31);
    queueInput(thread, inputMsg(target, message, vk, lParam, lastPointerPosition()));
}

// A rotation or another change of the screen: the top-level windows of this process hear
// of it through WM_SETTINGCHANGE (wParam 0); moving and sizing them to the new screen is the
// shell's business.
void deliverScreenChange(SIZE size) {
    CE_TRACE("msg", "screen %ldx%ld", static_cast<long>(size.cx), static_cast<long>(size.cy));
    for (auto& w : allWindows()) {
        if (w->style & WS_CHILD) continue;
        PostMessageW(static_cast<HWND>(ULongToHandle(w->handle)), WM_SETTINGCHANGE, 0, 0);
    }
}

} // namespace ce::user

// Posts WM_CHAR for a WM_KEYDOWN of a key that types a character: letters, digits, space,
// Return, Escape, Backspace and Tab. Returns TRUE for every key message, as Windows does.
WINUSERAPI BOOL TranslateMessage(const MSG* lpMsg) {
    if (!lpMsg) return FALSE;
    if (lpMsg->message != WM_KEYDOWN && lpMsg->message != WM_KEYUP &&
        lpMsg->message != WM_SYSKEYDOWN && lpMsg->message != WM_SYSKEYUP)
        return FALSE;
    if (lpMsg->message != WM_KEYDOWN) return TRUE;
    auto vk = static_cast<UINT>(lpMsg->wParam);
    bool shift = keyDown[VK_SHIFT] || keyDown[VK_LSHIFT] || keyDown[VK_RSHIFT];
    bool caps = keyToggle[VK_CAPITAL] != 0;
    WCHAR ch = 0;
    if (vk >= 'A' && vk <= 'Z')
        ch = static_cast<WCHAR>((shift != caps) ? vk : vk + ('a' - 'A'));
    else if (vk >= '0' && vk <= '9' && !shift)
        ch = static_cast<WCHAR>(vk);
    else if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9)
        ch = static_cast<WCHAR>('0' + vk - VK_NUMPAD0);
    else if (vk == VK_SPACE)
        ch = u' ';
    else if (vk == VK_RETURN)
        ch = u'\r';
    else if (vk == VK_ESCAPE)
        ch = 0x1B;
    else if (vk == VK_BACK)
        ch = 0x08;
    else if (vk == VK_TAB)
        ch = u'\t';
    if (ch) PostMessageW(lpMsg->hwnd, WM_CHAR, ch, lpMsg->lParam);
    return TRUE;
}

// A key of this device pressed or released, as if by its keypad.
WINUSERAPI void keybd_event(BYTE bVk, BYTE bScan, DWORD dwFlags, DWORD dwExtraInfo) {
    activeDriver().injectKey(bVk, (dwFlags & KEYEVENTF_KEYUP) != 0);
}

// The pointer of this device moved, pressed or released; MOUSEEVENTF_ABSOLUTE gives the
// position in 0..65535 over the screen, else dx and dy move it from where it is.
WINUSERAPI void mouse_event(DWORD dwFlags, DWORD dx, DWORD dy, DWORD dwData, DWORD dwExtraInfo) {
    auto& driver = activeDriver();
    POINT p = driver.pointerPosition();
    if (dwFlags & MOUSEEVENTF_ABSOLUTE) {
        SIZE s = driver.screenSize();
        p.x = static_cast<LONG>(static_cast<int64_t>(dx & 0xFFFF) * s.cx / 65536);
        p.y = static_cast<LONG>(static_cast<int64_t>(dy & 0xFFFF) * s.cy / 65536);
    } else if (dwFlags & MOUSEEVENTF_MOVE) {
        p.x += static_cast<LONG>(dx);
        p.y += static_cast<LONG>(dy);
    }
    if (dwFlags & (MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_RIGHTUP | MOUSEEVENTF_MIDDLEDOWN |
                   MOUSEEVENTF_MIDDLEUP | MOUSEEVENTF_WHEEL))
        CE_FIXME("msg", "the device has a stylus only: right, middle and wheel are ignored");
    if (dwFlags & MOUSEEVENTF_MOVE) driver.injectPointer(p, true, keyDown[VK_LBUTTON] != 0);
    if (dwFlags & MOUSEEVENTF_LEFTDOWN) driver.injectPointer(p, false, true);
    if (dwFlags & MOUSEEVENTF_LEFTUP) driver.injectPointer(p, false, false);
}

// High bit: the key is down; low bit: toggled (an odd number of presses).
WINUSERAPI SHORT GetKeyState(int nVirtKey) {
    if (nVirtKey < 0 || nVirtKey > 255) return 0;
    return static_cast<SHORT>((keyDown[nVirtKey] ? 0x8000 : 0) | (keyToggle[nVirtKey] ? 1 : 0));
}

WINUSERAPI SHORT GetAsyncKeyState(int vKey) {
    if (vKey < 0 || vKey > 255) return 0;
    return static_cast<SHORT>(keyDown[vKey] ? 0x8000 : 0);
}
