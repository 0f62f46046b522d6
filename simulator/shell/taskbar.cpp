// taskbar.cpp: the title bar along the top of the screen, and the sizes of the shell's parts.
//
// The title bar is a top-level window of class "HHTaskBar" with one child of class
// "WisBarClass" covering it, as programs expect when they look for the title bar to put an
// icon on. The child's text is the title it shows: the foreground program's window title, or
// "Start" while the Today screen (or nothing) is in front, as on the device. The right end
// shows the device's local time without seconds, read again at each turn of a device-clock
// minute and whenever the foreground window changes.
#include <algorithm>
#include <string>

#include "ceshell.h"
#include "kernel/device.h"

namespace ceshell {

namespace {

constexpr const WCHAR* kTaskBarClass = u"HHTaskBar";
constexpr const WCHAR* kWisBarClass = u"WisBarClass";
constexpr UINT_PTR kMinuteTimer = 1;
constexpr int kBarHeight96 = 26;

struct TaskBar {
    HWND bar = nullptr;
    HWND wis = nullptr;
    HFONT font = nullptr;
    std::u16string title;
    std::u16string time;
};

TaskBar& taskBar() {
    static TaskBar t;
    return t;
}

std::u16string currentTime() {
    WCHAR buf[64] = {};
    if (GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, nullptr, nullptr, buf, 64) <= 0)
        return u"";
    return buf;
}

// The foreground program's title; "Start" for the Today screen, the desktop and the shell's
// own bars.
std::u16string currentTitle() {
    HWND fg = GetForegroundWindow();
    TaskBar& t = taskBar();
    if (!fg || fg == todayFrame() || fg == desktopWindow() || fg == t.bar || fg == t.wis)
        return u"Start";
    WCHAR buf[128] = {};
    int n = GetWindowTextW(fg, buf, 128);
    return std::u16string(buf, static_cast<size_t>(std::max(n, 0)));
}

// Arms the timer for the next turn of the device clock's minute.
void armMinuteTimer(HWND hwnd) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    UINT ms = 60000u - (now.wSecond * 1000u + now.wMilliseconds) % 60000u;
    SetTimer(hwnd, kMinuteTimer, std::max(ms, 50u), nullptr);
}

void paintWisBar(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    // The Windows Mobile 6 title bar: a blue gradient, lighter at the top.
    const int h = std::max<int>(rc.bottom, 1);
    for (int y = 0; y < h; ++y) {
        int t = y * 256 / h;
        COLORREF c = RGB(0x31 - 0x31 * t / 256, 0x6D - 0x3C * t / 256, 0xCE - 0x4A * t / 256);
        HBRUSH brush = CreateSolidBrush(c);
        RECT row{0, y, rc.right, y + 1};
        FillRect(hdc, &row, brush);
        DeleteObject(brush);
    }
    TaskBar& t = taskBar();
    HGDIOBJ old = SelectObject(hdc, t.font);
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, RGB(0xFF, 0xFF, 0xFF));
    RECT text = rc;
    text.left += scaled(6);
    text.right -= scaled(6);
    DrawTextW(hdc, t.time.c_str(), static_cast<int>(t.time.size()), &text,
              DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    SIZE timeSize{};
    GetTextExtentPoint32W(hdc, t.time.c_str(), static_cast<int>(t.time.size()), &timeSize);
    text.right -= timeSize.cx + scaled(6);
    DrawTextW(hdc, t.title.c_str(), static_cast<int>(t.title.size()), &text,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    SelectObject(hdc, old);
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK wisBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: paintWisBar(hwnd); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_TIMER:
        if (wParam == kMinuteTimer) {
            refreshTaskBar();
            armMinuteTimer(hwnd);
        }
        return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK taskBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SIZE:
        if (HWND wis = taskBar().wis) MoveWindow(wis, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_ERASEBKGND: return 1;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

} // namespace

int scaled(int pixelsAt96) {
    int dpi = ce::deviceConf()->profile.dpi;
    if (dpi <= 0) dpi = 96;
    return (pixelsAt96 * dpi + 48) / 96;
}

ScreenLayout screenLayout() {
    ScreenLayout l;
    l.width = GetSystemMetrics(SM_CXSCREEN);
    l.height = GetSystemMetrics(SM_CYSCREEN);
    l.titleHeight = scaled(kBarHeight96);
    l.softKeyHeight = scaled(kBarHeight96);
    int bottom = std::max(l.titleHeight, l.height - l.softKeyHeight);
    l.today = RECT{0, l.titleHeight, l.width, bottom};
    return l;
}

bool createTaskBar(HINSTANCE instance) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = taskBarProc;
    wc.hInstance = instance;
    wc.lpszClassName = kTaskBarClass;
    if (!RegisterClassW(&wc)) return false;
    wc.lpfnWndProc = wisBarProc;
    wc.lpszClassName = kWisBarClass;
    if (!RegisterClassW(&wc)) return false;

    TaskBar& t = taskBar();
    LOGFONTW lf{};
    lf.lfHeight = -scaled(12);
    lf.lfWeight = FW_BOLD;
    std::char_traits<char16_t>::copy(lf.lfFaceName, u"Tahoma", 7);
    t.font = CreateFontIndirectW(&lf);
    ScreenLayout l = screenLayout();
    t.bar = CreateWindowExW(0, kTaskBarClass, u"", WS_POPUP | WS_VISIBLE, 0, 0, l.width,
                            l.titleHeight, nullptr, nullptr, instance, nullptr);
    if (!t.bar) return false;
    t.title = currentTitle();
    t.time = currentTime();
    t.wis = CreateWindowExW(0, kWisBarClass, t.title.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, l.width,
                            l.titleHeight, t.bar, nullptr, instance, nullptr);
    if (!t.wis) return false;
    armMinuteTimer(t.wis);
    UpdateWindow(t.wis);
    return true;
}

void placeTaskBar() {
    TaskBar& t = taskBar();
    if (!t.bar) return;
    ScreenLayout l = screenLayout();
    SetWindowPos(t.bar, nullptr, 0, 0, l.width, l.titleHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    if (t.wis) InvalidateRect(t.wis, nullptr, FALSE);
}

void refreshTaskBar() {
    TaskBar& t = taskBar();
    if (!t.wis) return;
    std::u16string title = currentTitle(), time = currentTime();
    if (title == t.title && time == t.time) return;
    if (title != t.title) SetWindowTextW(t.wis, title.c_str());
    t.title = std::move(title);
    t.time = std::move(time);
    InvalidateRect(t.wis, nullptr, FALSE);
}

void destroyTaskBar() {
    TaskBar& t = taskBar();
    if (t.bar) DestroyWindow(t.bar);
    if (t.font) DeleteObject(t.font);
    t = TaskBar{};
}

} // namespace ceshell
