// pimview.cpp: the item window of the calendar, tasks and contacts programs: a plain
// full-screen window, WM6-like, with the program's title, the item's main fields one per line,
// and nothing to edit. It exists so that Display and the product's links open something a
// test or a person can see: the window's title names the program, its text the item.
//
// A second start hands its item to the running window (kShowItem) and ends, as the device's
// programs keep one window.
#include "pimview.h"

#include <cstdio>
#include <string>
#include <vector>

#include "kernel/journal.h"
#include "kernel/strings.h"
#include "pim/store.h"

namespace {

// Posted to a running item window: wParam the oid to show (0: a new item).
constexpr UINT kShowItem = WM_APP + 1;

struct View {
    ce::pim::Kind kind = ce::pim::Kind::Appointment;
    uint32_t oid = 0;
    std::vector<std::u16string> lines;
} view;

std::u16string when(int64_t local, bool withTime) {
    if (local == ce::pim::kNoDate) return u"-";
    ce::pim::CivilTime c = ce::pim::civilOf(local);
    char buf[32];
    if (withTime)
        snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", c.year, c.month, c.day, c.hour,
                 c.minute);
    else
        snprintf(buf, sizeof buf, "%04d-%02d-%02d", c.year, c.month, c.day);
    return ce::fromUtf8(buf);
}

// The lines the window shows for the item (or for a new one).
void describe(uint32_t oid) {
    using namespace ce::pim;
    view.oid = oid;
    view.lines.clear();
    Item item;
    if (!oid || !loadItem(oid, &item) || item.kind != view.kind) {
        view.lines.push_back(oid ? u"(item not found)" : u"New item");
        return;
    }
    switch (item.kind) {
    case Kind::Appointment: {
        bool allDay = item.number[AllDayEvent] != 0;
        view.lines.push_back(item.text[Subject]);
        if (!item.text[Location].empty()) view.lines.push_back(item.text[Location]);
        view.lines.push_back(u"Start: " + when(item.date[Start], !allDay));
        view.lines.push_back(u"End: " + when(item.date[End], !allDay));
        if (allDay) view.lines.push_back(u"All day");
        if (item.recurring()) view.lines.push_back(u"Recurring");
        break;
    }
    case Kind::Task:
        view.lines.push_back(item.text[Subject]);
        view.lines.push_back(u"Due: " + when(item.date[DueDate], false));
        view.lines.push_back(item.number[Complete] ? u"Complete" : u"Active");
        break;
    case Kind::Contact:
        view.lines.push_back(item.text[FirstName] + u" " + item.text[LastName]);
        if (item.date[Birthday] != kNoDate)
            view.lines.push_back(u"Birthday: " + when(item.date[Birthday], false));
        if (item.date[Anniversary] != kNoDate)
            view.lines.push_back(u"Anniversary: " + when(item.date[Anniversary], false));
        break;
    }
    if (!item.text[Categories].empty()) view.lines.push_back(item.text[Categories]);
}

void paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    RECT band{0, 0, client.right, 24};
    HBRUSH blue = CreateSolidBrush(RGB(0x1C, 0x5C, 0xB4));
    FillRect(dc, &band, blue);
    DeleteObject(blue);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
    WCHAR title[64] = {};
    GetWindowTextW(hwnd, title, 64);
    RECT t{6, 0, client.right, 24};
    DrawTextW(dc, title, -1, &t, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    SetTextColor(dc, RGB(0, 0, 0));
    int y = 32;
    for (const auto& l : view.lines) {
        RECT r{6, y, client.right - 6, y + 20};
        DrawTextW(dc, l.c_str(), static_cast<int>(l.size()), &r,
                  DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS);
        y += 20;
    }
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK itemProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: paint(hwnd); return 0;
    case kShowItem:
        describe(static_cast<uint32_t>(wParam));
        InvalidateRect(hwnd, nullptr, TRUE);
        SetForegroundWindow(hwnd);
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

uint32_t oidOf(LPCWSTR commandLine) {
    std::string cmd = commandLine ? ce::toUtf8(commandLine) : "";
    size_t at = cmd.find("-oid");
    if (at == std::string::npos) return 0;
    unsigned long v = strtoul(cmd.c_str() + at + 4, nullptr, 10);
    return v <= 0xFFFFFFFFul ? static_cast<uint32_t>(v) : 0;
}

} // namespace

int runItemWindow(const char16_t* title, ce::pim::Kind kind, LPCWSTR commandLine) {
    uint32_t oid = oidOf(commandLine);
    ce::JournalLine("pim.show").str("program", title).num("oid", oid).write();
    if (HWND running = FindWindowW(nullptr, title)) {
        PostMessageW(running, kShowItem, oid, 0);
        return 0;
    }
    view.kind = kind;
    describe(oid);
    WNDCLASSW wc{};
    wc.lpfnWndProc = itemProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = u"PimItemWindow";
    RegisterClassW(&wc);
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HWND hwnd = CreateWindowExW(0, u"PimItemWindow", title, WS_VISIBLE, 0, 26, w, h - 26, nullptr,
                                nullptr, wc.hInstance, nullptr);
    if (!hwnd) return 1;
    SetForegroundWindow(hwnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
