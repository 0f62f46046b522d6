// background.cpp: the Today background and the shell's colour scheme.
//
// The background is computed, not a picture: a soft vertical gradient from an almost white
// top to a light blue bottom, a shade bluer towards the right edge. It is a pure function of
// the point in the items' holder and the holder's size, so the holder, the date item and an
// item that asks for its watermark (TODAYM_DRAWWATERMARK) all draw the same pixels for the
// same place, and every picture of the screen is the same on every machine.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "ceshell.h"

namespace ceshell {

namespace {

// The Windows Mobile 6 blue scheme's entries used when the registry has no SHColor.
COLORREF defaultShellColor(int index) {
    switch (index) {
    case kColorTodayText: return RGB(0x00, 0x00, 0x00);
    case kColorSelection: return RGB(0x31, 0x69, 0xC6);
    default: return RGB(0x00, 0x4A, 0xAD);
    }
}

struct Rgb {
    int r, g, b;
};

constexpr Rgb kTop{0xF7, 0xFA, 0xFF};
constexpr Rgb kBottom{0xB4, 0xCC, 0xEE};

// Larger pictures than this are never asked for on a device screen; a bigger request is
// clipped rather than allocated.
constexpr int kMaxSide = 4096;

uint32_t backgroundPixel(int x, int y, SIZE area) {
    int w = std::max<int>(area.cx, 2), h = std::max<int>(area.cy, 2);
    int t = std::clamp(y, 0, h - 1) * 256 / (h - 1); // 0 at the top, 256 at the bottom
    int s = std::clamp(x, 0, w - 1) * 12 / (w - 1);  // 0 on the left, 12 on the right
    int r = kTop.r + (kBottom.r - kTop.r) * t / 256 - s;
    int g = kTop.g + (kBottom.g - kTop.g) * t / 256 - s / 2;
    int b = kTop.b + (kBottom.b - kTop.b) * t / 256;
    r = std::clamp(r, 0, 255), g = std::clamp(g, 0, 255), b = std::clamp(b, 0, 255);
    return 0xFF000000u | (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
           static_cast<uint32_t>(b);
}

} // namespace

COLORREF shellColor(int index) {
    if (index < 0 || index >= 50) return RGB(0, 0, 0);
    BYTE data[200];
    DWORD size = sizeof data, type = 0;
    HKEY key = nullptr;
    COLORREF color = defaultShellColor(index);
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Color", 0, 0, &key) ==
        ERROR_SUCCESS) {
        if (RegQueryValueExW(key, u"SHColor", nullptr, &type, data, &size) == ERROR_SUCCESS &&
            type == REG_BINARY && size >= static_cast<DWORD>(index * 4 + 3))
            color = RGB(data[index * 4], data[index * 4 + 1], data[index * 4 + 2]);
        RegCloseKey(key);
    }
    return color;
}

COLORREF todayBackgroundAt(int x, int y, SIZE area) {
    uint32_t p = backgroundPixel(x, y, area);
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

void paintTodayBackground(HDC hdc, const RECT& target, POINT origin, SIZE area) {
    int w = std::min<int>(target.right - target.left, kMaxSide);
    int h = std::min<int>(target.bottom - target.top, kMaxSide);
    if (!hdc || w <= 0 || h <= 0) return;
    std::vector<uint32_t> bits(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int row = 0; row < h; ++row) {
        uint32_t* line = bits.data() + static_cast<size_t>(row) * static_cast<size_t>(w);
        for (int col = 0; col < w; ++col)
            line[col] = backgroundPixel(origin.x + col, origin.y + row, area);
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(hdc, target.left, target.top, static_cast<DWORD>(w), static_cast<DWORD>(h), 0,
                      0, 0, static_cast<UINT>(h), bits.data(), &info, DIB_RGB_COLORS);
}

} // namespace ceshell
