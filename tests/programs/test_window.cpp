// test_window.cpp: a device program with one top-level window and one child window, which the
// cross-program window tests (tests/display/window_e2e_test.cpp) start and talk to. Its command
// line is "key=value" words (a value may be "quoted"):
//   class=NAME       the top-level window's class (default TestWindowCls)
//   title=TEXT       its title (default "Test Window")
//   rect=X,Y,W,H     its place on the screen (default 10,40,200,150)
//   child=X,Y,W,H    the child's place in its client area (default 20,30,80,50)
//   color=RRGGBB     what WM_PAINT fills the top-level window with (default 3366CC)
//   childcolor=RRGGBB  the same for the child (default CC6633)
//   log=NAME         the log file under \Temp (default window.log)
//   life=SECONDS     the program ends itself after this long, hung or not (default 60), so a
//                    test that dies leaves nothing running for long
// Every message either window procedure receives is one line of the log:
//   top|child 0xNNNN NAME wParam lParam [x,y]
// with the client point of pointer messages, and the new place of WM_WINDOWPOSCHANGED. Other
// lines: "ready 0xTOP 0xCHILD" once both windows exist, "hang MS" and "hang end" around a hang,
// "painted top|child L,T,R,B" (the painted rectangle) after each WM_PAINT. The log goes straight to
// the device folder with stdio, so what it shows does not depend on the device's file API.
//
// What the window answers:
//   WM_APP+1   sent: wParam * 2 + lParam
//   WM_APP+2   posted: stop pumping for wParam milliseconds of real time (a hung program)
//   WM_APP+3   sent: sends WM_APP+10 (lParam) to the window wParam and answers its result + 1000
//   WM_APP+4   sent: what this program sees: wParam 0 IsWindowVisible(top), 1 GetWindowRect(top)
//              as four 16-bit values (left lowest), 2 GetForegroundWindow, 3 GetActiveWindow,
//              4 GetFocus
//   WM_SETFOCUS of the top-level window passes the focus on to the child, as a dialog does.
//   A posted WM_DESTROY is only logged: the program ends when its window is really destroyed
//   (WM_NCDESTROY), e.g. after WM_CLOSE.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "kernel/strings.h"

namespace {

struct Options {
    std::u16string className = u"TestWindowCls";
    std::u16string title = u"Test Window";
    RECT rect{10, 40, 200, 150}; // x, y, width, height
    RECT child{20, 30, 80, 50};
    COLORREF color = RGB(0x33, 0x66, 0xCC);
    COLORREF childColor = RGB(0xCC, 0x66, 0x33);
    std::string log = "window.log";
    int lifeSeconds = 60;
};

struct State {
    Options options;
    HWND top = nullptr;
    HWND child = nullptr;
    FILE* log = nullptr;
} g;

void logLine(const std::string& line) {
    if (!g.log) return;
    fprintf(g.log, "%s\n", line.c_str());
    fflush(g.log);
}

std::string hex(uint64_t v) {
    char buf[24];
    snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

const char* messageName(UINT msg) {
    switch (msg) {
    case WM_CREATE: return "WM_CREATE";
    case WM_DESTROY: return "WM_DESTROY";
    case WM_MOVE: return "WM_MOVE";
    case WM_SIZE: return "WM_SIZE";
    case WM_ACTIVATE: return "WM_ACTIVATE";
    case WM_SETFOCUS: return "WM_SETFOCUS";
    case WM_KILLFOCUS: return "WM_KILLFOCUS";
    case WM_SETTEXT: return "WM_SETTEXT";
    case WM_GETTEXT: return "WM_GETTEXT";
    case WM_GETTEXTLENGTH: return "WM_GETTEXTLENGTH";
    case WM_PAINT: return "WM_PAINT";
    case WM_CLOSE: return "WM_CLOSE";
    case WM_ERASEBKGND: return "WM_ERASEBKGND";
    case WM_SHOWWINDOW: return "WM_SHOWWINDOW";
    case WM_WINDOWPOSCHANGING: return "WM_WINDOWPOSCHANGING";
    case WM_WINDOWPOSCHANGED: return "WM_WINDOWPOSCHANGED";
    case WM_NCCREATE: return "WM_NCCREATE";
    case WM_NCDESTROY: return "WM_NCDESTROY";
    case WM_NCCALCSIZE: return "WM_NCCALCSIZE";
    case WM_KEYDOWN: return "WM_KEYDOWN";
    case WM_KEYUP: return "WM_KEYUP";
    case WM_CHAR: return "WM_CHAR";
    case WM_MOUSEMOVE: return "WM_MOUSEMOVE";
    case WM_LBUTTONDOWN: return "WM_LBUTTONDOWN";
    case WM_LBUTTONUP: return "WM_LBUTTONUP";
    default: return msg >= WM_APP && msg < WM_APP + 0x100 ? "WM_APP+" : "-";
    }
}

void record(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // The child's first messages come before CreateWindowExW has given its handle.
    std::string line = g.top && hwnd != g.top ? "child " : "top ";
    char number[16];
    snprintf(number, sizeof number, "0x%04x ", msg);
    line += number;
    line += messageName(msg);
    if (msg >= WM_APP && msg < WM_APP + 0x100) line += std::to_string(msg - WM_APP);
    line += " " + hex(static_cast<uint64_t>(wParam)) + " " +
            hex(static_cast<uint64_t>(lParam) & 0xFFFFFFFFu);
    if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) {
        auto x = static_cast<int16_t>(LOWORD(lParam)), y = static_cast<int16_t>(HIWORD(lParam));
        line += " " + std::to_string(x) + "," + std::to_string(y);
    }
    if (msg == WM_WINDOWPOSCHANGED && lParam) {
        auto* wp = reinterpret_cast<const WINDOWPOS*>(lParam);
        line += " " + std::to_string(wp->x) + "," + std::to_string(wp->y) + "," +
                std::to_string(wp->cx) + "," + std::to_string(wp->cy);
    }
    logLine(line);
}

void paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (dc) {
        RECT client;
        GetClientRect(hwnd, &client);
        HBRUSH brush = CreateSolidBrush(hwnd == g.child ? g.options.childColor : g.options.color);
        FillRect(dc, &client, brush);
        DeleteObject(brush);
    }
    EndPaint(hwnd, &ps);
    const RECT& r = ps.rcPaint;
    logLine(std::string(hwnd == g.child ? "painted child " : "painted top ") +
            std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
            "," + std::to_string(r.bottom));
}

LRESULT packRect(const RECT& r) {
    auto word = [](LONG v) { return static_cast<uint64_t>(static_cast<uint16_t>(v)); };
    return static_cast<LRESULT>(word(r.left) | word(r.top) << 16 | word(r.right) << 32 |
                                word(r.bottom) << 48);
}

LRESULT query(WPARAM what) {
    switch (what) {
    case 0: return IsWindowVisible(g.top);
    case 1: {
        RECT r{};
        GetWindowRect(g.top, &r);
        return packRect(r);
    }
    case 2: return static_cast<LRESULT>(HandleToULong(GetForegroundWindow()));
    case 3: return static_cast<LRESULT>(HandleToULong(GetActiveWindow()));
    case 4: return static_cast<LRESULT>(HandleToULong(GetFocus()));
    default: return -1;
    }
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    record(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_PAINT: paint(hwnd); return 0;
    case WM_ERASEBKGND: return 1; // WM_PAINT fills everything
    case WM_SETFOCUS:
        if (hwnd == g.top && g.child) SetFocus(g.child);
        return 0;
    case WM_DESTROY: return 0; // a posted one is only a message; see WM_NCDESTROY
    case WM_NCDESTROY:
        if (hwnd == g.top) PostQuitMessage(0);
        return 0;
    case WM_APP + 1: return static_cast<LRESULT>(wParam * 2 + lParam);
    case WM_APP + 2:
        logLine("hang " + std::to_string(wParam));
        // Real time, not the device clock: a hung program does not hurry at rate 60.
        std::this_thread::sleep_for(std::chrono::milliseconds(wParam));
        logLine("hang end");
        return 0;
    case WM_APP + 3: {
        LRESULT r = SendMessageW(reinterpret_cast<HWND>(wParam), WM_APP + 10, 0,
                                 static_cast<LPARAM>(lParam));
        return r + 1000;
    }
    case WM_APP + 4: return query(wParam);
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

// ---- The command line ---------------------------------------------------------------------------

std::vector<std::pair<std::u16string, std::u16string>> words(const std::u16string& cmd) {
    std::vector<std::pair<std::u16string, std::u16string>> out;
    size_t i = 0;
    while (i < cmd.size()) {
        while (i < cmd.size() && cmd[i] == u' ')
            ++i;
        size_t eq = cmd.find(u'=', i);
        if (i >= cmd.size() || eq == std::u16string::npos) break;
        std::u16string key = cmd.substr(i, eq - i), value;
        i = eq + 1;
        if (i < cmd.size() && cmd[i] == u'"') {
            size_t end = cmd.find(u'"', i + 1);
            if (end == std::u16string::npos) end = cmd.size();
            value = cmd.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            size_t end = cmd.find(u' ', i);
            if (end == std::u16string::npos) end = cmd.size();
            value = cmd.substr(i, end - i);
            i = end;
        }
        out.emplace_back(key, value);
    }
    return out;
}

bool parseRect(const std::string& text, RECT* out) {
    int x, y, w, h;
    if (sscanf(text.c_str(), "%d,%d,%d,%d", &x, &y, &w, &h) != 4) return false;
    *out = RECT{x, y, w, h};
    return true;
}

COLORREF parseColor(const std::string& text, COLORREF fallback) {
    if (text.size() != 6) return fallback;
    unsigned long v = strtoul(text.c_str(), nullptr, 16);
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

Options parseOptions(const std::u16string& cmd) {
    Options o;
    for (auto& [key, value] : words(cmd)) {
        std::string v = ce::toUtf8(value);
        if (key == u"class") o.className = value;
        if (key == u"title") o.title = value;
        if (key == u"rect") parseRect(v, &o.rect);
        if (key == u"child") parseRect(v, &o.child);
        if (key == u"color") o.color = parseColor(v, o.color);
        if (key == u"childcolor") o.childColor = parseColor(v, o.childColor);
        if (key == u"log" && v.find('/') == std::string::npos) o.log = v;
        if (key == u"life") o.lifeSeconds = std::max(1, atoi(v.c_str()));
    }
    return o;
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR lpCmdLine, int nCmdShow) {
    g.options = parseOptions(lpCmdLine);
    const char* device = getenv("CEDEVICE");
    std::string logPath = std::string(device ? device : ".") + "/fs/Temp/" + g.options.log;
    g.log = fopen(logPath.c_str(), "a");

    int life = g.options.lifeSeconds;
    std::thread([life] {
        std::this_thread::sleep_for(std::chrono::seconds(life));
        _exit(3);
    }).detach();

    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = g.options.className.c_str();
    if (!RegisterClassW(&wc)) return 1;
    wc.lpszClassName = u"TestWindowChild";
    if (!RegisterClassW(&wc)) return 1;

    const RECT& r = g.options.rect;
    g.top = CreateWindowExW(0, g.options.className.c_str(), g.options.title.c_str(), WS_POPUP,
                            r.left, r.top, r.right, r.bottom, nullptr, nullptr, hInstance, nullptr);
    if (!g.top) return 2;
    const RECT& c = g.options.child;
    g.child = CreateWindowExW(0, u"TestWindowChild", u"child", WS_CHILD | WS_VISIBLE, c.left, c.top,
                              c.right, c.bottom, g.top, nullptr, hInstance, nullptr);
    if (!g.child) return 2;
    ShowWindow(g.top, nCmdShow);
    logLine("ready " + hex(HandleToULong(g.top)) + " " + hex(HandleToULong(g.child)));

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (g.log) fclose(g.log);
    return static_cast<int>(msg.wParam);
}
