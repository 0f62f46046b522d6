// waitcursor.cpp: the wait indicator that the device shows while a program's cursor is the
// system's wait cursor (SetCursor(LoadCursorW(NULL, IDC_WAIT))).
//
// A touch screen has no pointer to draw, but the device shows a spinning ring in the middle
// of the screen while a program is busy. Here that is a small topmost window of class
// "WaitIndicator", disabled so that it takes no input, made by the thread that set the
// cursor and painted at once (that thread is busy: it will not paint again until it is done).
// It is a window on the device screen, so `cedev ui` lists it and a screenshot shows it. The
// journal records "cursor.wait" with "shown" true and false.
#include <algorithm>
#include <cmath>
#include <mutex>

#include "kernel/journal.h"
#include "shell/shell.h"
#include "user/sysclass.h"

namespace ce::shell {
namespace {

constexpr const WCHAR* kIndicatorClass = u"WaitIndicator";
constexpr int kIndicatorSize = 40; // at 96 dpi
constexpr int kDots = 8;

struct IndicatorState {
    std::mutex lock;
    bool showing = false;
    HWND window = nullptr;
};

IndicatorState& indicatorState() {
    static IndicatorState s;
    return s;
}

void paintIndicator(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return;
    RECT rc{};
    GetClientRect(hwnd, &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_WINDOW));
    const double centre = (rc.right - rc.left) / 2.0;
    const double radius = centre * 0.65, dot = std::max(2.0, centre * 0.18);
    const COLORREF base = GetSysColor(COLOR_HIGHLIGHT);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    for (int i = 0; i < kDots; ++i) {
        const double angle = i * 2 * 3.14159265358979 / kDots;
        const int x = static_cast<int>(centre + radius * std::sin(angle));
        const int y = static_cast<int>(centre - radius * std::cos(angle));
        // Fading from the first dot round the ring, as the spinning ring looks when it stops.
        const int fade = i * 255 / (kDots + 2);
        COLORREF c = RGB(GetRValue(base) + (255 - GetRValue(base)) * fade / 255,
                         GetGValue(base) + (255 - GetGValue(base)) * fade / 255,
                         GetBValue(base) + (255 - GetBValue(base)) * fade / 255);
        HBRUSH brush = CreateSolidBrush(c);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        const int r = static_cast<int>(dot);
        Ellipse(dc, x - r, y - r, x + r + 1, y + r + 1);
        SelectObject(dc, oldBrush);
        DeleteObject(brush);
    }
    SelectObject(dc, oldPen);
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK indicatorProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: paintIndicator(hwnd); return 0;
    case WM_DESTROY: {
        IndicatorState& s = indicatorState();
        std::lock_guard<std::mutex> guard(s.lock);
        if (s.window == hwnd) s.window = nullptr;
        return 0;
    }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void registerIndicatorClass() {
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = indicatorProc;
    wc.hInstance = ce::user::systemClassInstance();
    wc.lpszClassName = kIndicatorClass;
    RegisterClassW(&wc);
}
const ce::user::SystemClassRegistration indicatorRegistration(registerIndicatorClass);

HWND makeIndicator() {
    const int size = scaled(kIndicatorSize);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - size) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - size) / 2;
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kIndicatorClass, u"",
                                WS_POPUP | WS_DISABLED, x, y, size, size, nullptr, nullptr,
                                ce::user::systemClassInstance(), nullptr);
    if (!hwnd) return nullptr;
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    UpdateWindow(hwnd);
    return hwnd;
}

} // namespace

// Windows made or destroyed here may send messages that set the cursor again: the state
// changes under the lock, the windows outside it.
void cursorChanged(HCURSOR cursor) {
    static const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    const bool wantWait = cursor && cursor == wait;
    IndicatorState& s = indicatorState();
    HWND gone = nullptr;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (wantWait == s.showing) return;
        s.showing = wantWait;
        if (!wantWait) {
            gone = s.window;
            s.window = nullptr;
        }
    }
    ce::JournalLine("cursor.wait").flag("shown", wantWait).write();
    if (!wantWait) {
        if (gone && !DestroyWindow(gone)) PostMessageW(gone, WM_CLOSE, 0, 0);
        return;
    }
    HWND made = makeIndicator();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.showing && !s.window)
        s.window = made;
    else if (made)
        PostMessageW(made, WM_CLOSE, 0, 0); // the cursor changed back meanwhile
}

HWND waitIndicatorWindow() {
    IndicatorState& s = indicatorState();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.window;
}

} // namespace ce::shell
