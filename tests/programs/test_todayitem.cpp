// test_todayitem.cpp: a Today item library the shell's tests (tests/ceshell) register and let
// ceshell load. It exports ordinal 240 (InitializeCustomItem) and 241 (the options dialog
// procedure), as an item library does, and writes every call and message it receives as one
// line to \Temp\todayitem.log in the device folder (with stdio, so the log does not depend on
// the device's file API):
//
//   NAME init tlit=4 order=1 enabled=1 options=1 flags=0x5 dll=\Windows\testitem.dll
//        hinst=self cyp=0 parent=0x40000a window=0x400014
//   NAME query cyp=0->30 same=1     (same: the record is the one init was given, in wParam
//                                    and in lParam)
//   NAME size W H | move X Y | paint W H | clearcache | destroy
//   NAME received 0x28 | lost | nav 0x28 1 | action | key 0x28
//   options 0x110                   (each message of the options dialog procedure)
//
// What it answers comes from HKLM\Software\Test\TodayItem\NAME: Height (DWORD, the height it
// reports when asked; 0 when missing) and Navigate (DWORD, its answer to USERNAVIGATION).
// It paints only the Today background, asked for with TODAYM_DRAWWATERMARK into a memory DC
// at an offset, so a test can compare its pixels with the Today screen's own.
#include <windows.h>
#include <dllexports.h>
#include <todaycmn.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {

HINSTANCE instance;
bool classRegistered = false;
constexpr const WCHAR* kItemClass = u"TestTodayItem";
// Where the item asks for its watermark inside the memory DC: not at the DC's origin, so that
// a Today screen that ignores the rectangle's place draws in the wrong spot.
constexpr int kOffset = 10;

struct ItemWindow {
    std::string name;
    TODAYLISTITEM* record = nullptr;
};
std::map<HWND, ItemWindow> windows;

std::string logFile() {
    const char* device = getenv("CEDEVICE");
    return std::string(device ? device : ".") + "/fs/Temp/todayitem.log";
}

void logLine(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (FILE* f = fopen(logFile().c_str(), "a")) {
        fprintf(f, "%s\n", line);
        fclose(f);
    }
}

std::string narrow(const WCHAR* text) {
    std::string out;
    for (; text && *text; ++text)
        out += *text < 0x80 ? static_cast<char>(*text) : '?';
    return out;
}

DWORD setting(const std::string& name, const WCHAR* value) {
    std::u16string path = u"Software\\Test\\TodayItem\\";
    for (char c : name)
        path += static_cast<char16_t>(c);
    HKEY key = nullptr;
    DWORD v = 0, type = 0, size = sizeof v;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, 0, &key) != ERROR_SUCCESS) return 0;
    if (RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        v = 0;
    RegCloseKey(key);
    return v;
}

void paint(HWND hwnd, const ItemWindow& item) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    HDC mem = CreateCompatibleDC(hdc);
    HBITMAP bitmap = CreateCompatibleBitmap(hdc, rc.right + 2 * kOffset, rc.bottom + 2 * kOffset);
    HGDIOBJ old = SelectObject(mem, bitmap);
    TODAYDRAWWATERMARKINFO info{};
    info.hdc = mem;
    info.rc = RECT{kOffset, kOffset, kOffset + rc.right, kOffset + rc.bottom};
    info.hwnd = hwnd;
    SendMessageW(GetParent(hwnd), TODAYM_DRAWWATERMARK, 0, reinterpret_cast<LPARAM>(&info));
    BitBlt(hdc, 0, 0, rc.right, rc.bottom, mem, kOffset, kOffset, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bitmap);
    DeleteDC(mem);
    EndPaint(hwnd, &ps);
    logLine("%s paint %ld %ld", item.name.c_str(), static_cast<long>(rc.right),
            static_cast<long>(rc.bottom));
}

LRESULT CALLBACK itemProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto it = windows.find(hwnd);
    if (it == windows.end()) return DefWindowProcW(hwnd, msg, wParam, lParam);
    ItemWindow& item = it->second;
    const char* name = item.name.c_str();
    switch (msg) {
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE: {
        auto* record = reinterpret_cast<TODAYLISTITEM*>(wParam);
        bool same = record == item.record && lParam == static_cast<LPARAM>(wParam);
        if (!record) return FALSE;
        DWORD before = record->cyp, height = setting(item.name, u"Height");
        logLine("%s query cyp=%lu->%lu same=%d", name, static_cast<unsigned long>(before),
                static_cast<unsigned long>(height), same ? 1 : 0);
        if (height == before) return FALSE;
        record->cyp = height;
        return TRUE;
    }
    case WM_TODAYCUSTOM_CLEARCACHE: logLine("%s clearcache", name); return 0;
    case WM_TODAYCUSTOM_RECEIVEDSELECTION:
        logLine("%s received %#lx", name, static_cast<unsigned long>(wParam));
        return TRUE;
    case WM_TODAYCUSTOM_LOSTSELECTION: logLine("%s lost", name); return TRUE;
    case WM_TODAYCUSTOM_USERNAVIGATION: {
        DWORD used = setting(item.name, u"Navigate");
        logLine("%s nav %#lx %lu", name, static_cast<unsigned long>(wParam),
                static_cast<unsigned long>(used));
        return used ? TRUE : FALSE;
    }
    case WM_TODAYCUSTOM_ACTION: logLine("%s action", name); return TRUE;
    case WM_SIZE: logLine("%s size %d %d", name, LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_MOVE:
        logLine("%s move %d %d", name, static_cast<short>(LOWORD(lParam)),
                static_cast<short>(HIWORD(lParam)));
        return 0;
    case WM_KEYDOWN: logLine("%s key %#lx", name, static_cast<unsigned long>(wParam)); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: paint(hwnd, item); return 0;
    case WM_DESTROY: logLine("%s destroy", name); return 0;
    case WM_NCDESTROY: windows.erase(it); break;
    default: break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND initializeItem(TODAYLISTITEM* ptli, HWND parent) {
    if (!ptli) return nullptr;
    std::string name = narrow(ptli->szName);
    if (!classRegistered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = itemProc;
        wc.hInstance = instance;
        wc.lpszClassName = kItemClass;
        classRegistered = RegisterClassW(&wc) != 0;
    }
    HWND hwnd = nullptr;
    if (ptli->fEnabled) {
        hwnd = CreateWindowExW(0, kItemClass, ptli->szName, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                               parent, nullptr, instance, nullptr);
        if (hwnd) windows[hwnd] = ItemWindow{name, ptli};
    }
    char hinst[32];
    if (ptli->hinstDLL == instance)
        snprintf(hinst, sizeof hinst, "self");
    else
        snprintf(hinst, sizeof hinst, "%#lx",
                 static_cast<unsigned long>(HandleToULong(ptli->hinstDLL)));
    logLine("%s init tlit=%d order=%lu enabled=%d options=%d flags=%#lx dll=%s hinst=%s cyp=%lu "
            "parent=%#lx window=%#lx",
            name.c_str(), static_cast<int>(ptli->tlit), static_cast<unsigned long>(ptli->dwOrder),
            ptli->fEnabled ? 1 : 0, ptli->fOptions ? 1 : 0,
            static_cast<unsigned long>(ptli->grfFlags), narrow(ptli->szDLLPath).c_str(), hinst,
            static_cast<unsigned long>(ptli->cyp),
            static_cast<unsigned long>(HandleToULong(parent)),
            static_cast<unsigned long>(HandleToULong(hwnd)));
    return hwnd;
}

LRESULT optionsProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
    logLine("options %#x", msg);
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        DestroyWindow(hwnd);
        return TRUE;
    }
    return FALSE;
}

} // namespace

BOOL WINAPI DllMain(HANDLE hinstDLL, DWORD dwReason, LPVOID) {
    if (dwReason == DLL_PROCESS_ATTACH) {
        instance = static_cast<HINSTANCE>(hinstDLL);
        DisableThreadLibraryCalls(instance);
    } else if (dwReason == DLL_PROCESS_DETACH) {
        if (classRegistered) UnregisterClassW(kItemClass, instance);
        classRegistered = false;
        logLine("detach");
    }
    return TRUE;
}

CE_EXPORTS_BEGIN
CE_EXPORT(240, initializeItem)
CE_EXPORT(241, optionsProc)
CE_EXPORTS_END
