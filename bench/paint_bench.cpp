// paint_bench.cpp: what one full paint of the Today item costs: drawSkin of the product's
// Default skin (QVGA) and DefaultVGA skin (VGA) with a 20-line list, composed off screen and
// blitted, next to one plain BitBlt of the same area as the yardstick. Each figure is the time
// of one paint in microseconds.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "kernel/device.h"
#include "windows.h"

#include "alarmlist.h"
#include "paint.h"
#include "plugin.h"
#include "regnames.h"
#include "regutil.h"
#include "settings.h"
#include "skin.h"

namespace {

namespace fs = std::filesystem;

#define LIST_LINES 20

LRESULT CALLBACK todayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == TODAYM_DRAWWATERMARK) {
        const TODAYDRAWWATERMARKINFO* info =
            reinterpret_cast<const TODAYDRAWWATERMARKINFO*>(lParam);
        if (!info || !info->hdc) return FALSE;
        HBRUSH brush = CreateSolidBrush(RGB(40, 110, 180));
        FillRect(info->hdc, &info->rc, brush);
        DeleteObject(brush);
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A device of the profile with the product's skins installed, the item hosted in a Today
// window of this process and a 20-line list; removed at exit.
class PaintDevice {
public:
    PaintDevice(const char* profile, const char16_t* skinName) {
        const char* base = getenv("TMPDIR");
        dir_ = fs::path(base && *base ? base : "/tmp") /
               ("paint-bench-" + std::to_string(getpid()) + "-" + profile);
        fs::remove_all(dir_);
        std::string error;
        if (!ce::createDevice(dir_, profile, &error) || !ce::attachDevice(dir_, &error)) {
            error_ = error;
            return;
        }
        const fs::path install = dir_ / "fs" / "Program Files" / "Zolvane";
        const fs::path skins = fs::path(ZV_SOURCE_DIR) / "skins";
        fs::create_directories(install);
        for (const char* file : {"Default.skn", "DefaultVGA.skn"})
            fs::copy_file(skins / file, install / file, fs::copy_options::overwrite_existing);
        for (const char* folder : {"Default", "DefaultVGA"})
            fs::copy(skins / folder, install / folder, fs::copy_options::recursive);
        writeRegString(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_INSTALLDIR,
                       u"\\Program Files\\Zolvane", REGW_CREATE);
        writeRegString(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_ACTIVELINKS, u"111111",
                       REGW_CREATE);
        loadSettings();

        WNDCLASSW wc = {};
        wc.lpfnWndProc = todayProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = u"PaintBenchToday";
        RegisterClassW(&wc);
        today_ = CreateWindowExW(0, u"PaintBenchToday", u"Today", WS_POPUP | WS_VISIBLE, 0, 26,
                                 GetSystemMetrics(SM_CXSCREEN), 400, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        attachLibrary(GetModuleHandleW(nullptr));
        TODAYLISTITEM item = {};
        item.fEnabled = TRUE;
        item.tlit = tlitCustom;
        if (!InitializeCustomItem(&item, today_)) {
            error_ = "no item window";
            return;
        }
        WCHAR name[SKIN_NAME_CCH] = {};
        for (size_t i = 0; skinName[i] && i < SKIN_NAME_CCH - 1; ++i)
            name[i] = skinName[i];
        if (!loadSkin(name) || !currentSkin) {
            error_ = "skin did not load";
            return;
        }
        SetWindowPos(pluginState.pluginWindow, nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                     currentSkin->todayHeight, SWP_NOZORDER | SWP_NOACTIVATE);
        AlarmList* list = createAlarmList();
        for (int i = 0; i < LIST_LINES; ++i) {
            AlarmItem& line = list->items[i];
            line.kind = static_cast<DWORD>(i % 17);
            line.alarmTime = SYSTEMTIME{2027, 3, 0, WORD(1 + i / 6), WORD(8 + i % 6), 15, 0, 0};
            line.eventTime = line.alarmTime;
            line.eventTime.wMinute = 30;
            setAlarmText(&line, u"Weekly planning meeting in room 4");
        }
        replaceAlarmList(list, LIST_LINES);
        RECT client = {};
        GetClientRect(pluginState.pluginWindow, &client);
        width_ = client.right;
        height_ = client.bottom;
    }
    ~PaintDevice() {
        if (pluginState.pluginWindow) DestroyWindow(pluginState.pluginWindow);
        if (today_) DestroyWindow(today_);
        detachLibrary();
        ce::attachDevice({});
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    const std::string& error() const { return error_; }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    fs::path dir_;
    HWND today_ = nullptr;
    std::string error_;
    int width_ = 0, height_ = 0;
};

// A memory DC over a bitmap of the screen's format.
struct Target {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    Target(int width, int height) {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, width, height);
        old = SelectObject(dc, bitmap);
        ReleaseDC(nullptr, screen);
    }
    ~Target() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

void paintItem(benchmark::State& state, const char* profile, const char16_t* skin) {
    PaintDevice device(profile, skin);
    if (!device.error().empty()) {
        state.SkipWithError(device.error().c_str());
        return;
    }
    Target target(device.width(), device.height());
    for (auto _ : state) {
        drawSkin(target.dc);
        benchmark::ClobberMemory();
    }
    state.counters["width"] = device.width();
    state.counters["height"] = device.height();
}

void blitItem(benchmark::State& state, int width, int height) {
    Target from(width, height), to(width, height);
    for (auto _ : state) {
        BitBlt(to.dc, 0, 0, width, height, from.dc, 0, 0, SRCCOPY);
        benchmark::ClobberMemory();
    }
}

void BM_DrawSkin_Default_QVGA(benchmark::State& state) {
    paintItem(state, "qvga", u"Default");
}
BENCHMARK(BM_DrawSkin_Default_QVGA)->Unit(benchmark::kMicrosecond);

// The QVGA item is 240 x 90 pixels.
void BM_BitBlt_240x90(benchmark::State& state) {
    blitItem(state, 240, 90);
}
BENCHMARK(BM_BitBlt_240x90)->Unit(benchmark::kMicrosecond);

void BM_DrawSkin_DefaultVGA_VGA(benchmark::State& state) {
    paintItem(state, "vga", u"DefaultVGA");
}
BENCHMARK(BM_DrawSkin_DefaultVGA_VGA)->Unit(benchmark::kMicrosecond);

// The VGA item is 480 x 180 pixels.
void BM_BitBlt_480x180(benchmark::State& state) {
    blitItem(state, 480, 180);
}
BENCHMARK(BM_BitBlt_480x180)->Unit(benchmark::kMicrosecond);

} // namespace
