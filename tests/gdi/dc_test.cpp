// Device contexts and objects: memory DC defaults, selection rules, the state stack,
// GetDeviceCaps from the device profile, surface DCs for the window system, the display's
// power escapes.
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "gdi/surface.h"
#include "gditest.h"
#include "testdevice.h"
#include "windows.h"

using gditest::MemDC;

namespace {

// A fresh memory DC holds a 1x1 monochrome bitmap, and so CreateCompatibleBitmap on it makes
// monochrome bitmaps (the classic trap).
TEST(MemoryDC, StartsWithAOnePixelMonochromeBitmap) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(nullptr, dc);
    BITMAP bm;
    std::memset(&bm, 0xEE, sizeof bm);
    ASSERT_EQ(static_cast<int>(sizeof bm),
              GetObjectW(GetCurrentObject(dc, OBJ_BITMAP), sizeof bm, &bm));
    EXPECT_EQ(1, bm.bmWidth);
    EXPECT_EQ(1, bm.bmHeight);
    EXPECT_EQ(1, bm.bmBitsPixel);
    HBITMAP mono = CreateCompatibleBitmap(dc, 8, 8);
    ASSERT_EQ(static_cast<int>(sizeof bm), GetObjectW(mono, sizeof bm, &bm));
    EXPECT_EQ(1, bm.bmBitsPixel);
    EXPECT_EQ(static_cast<DWORD>(OBJ_MEMDC), GetObjectType(dc));
    EXPECT_EQ(RGB(0, 0, 0), GetTextColor(dc));
    EXPECT_EQ(RGB(255, 255, 255), GetBkColor(dc));
    EXPECT_EQ(OPAQUE, GetBkMode(dc));
    DeleteObject(mono);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
}

TEST(MemoryDC, ABitmapIsSelectedIntoOneDcAtATime) {
    HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateBitmap(4, 4, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(a, bmp);
    ASSERT_NE(nullptr, old);
    EXPECT_EQ(nullptr, SelectObject(b, bmp));
    SetLastError(gditest::kPoison);
    EXPECT_FALSE(DeleteObject(bmp)) << "a selected bitmap must not be deleted";
    EXPECT_EQ(bmp, SelectObject(a, old));
    EXPECT_NE(nullptr, SelectObject(b, bmp));
    DeleteDC(b); // frees the bitmap again
    EXPECT_TRUE(DeleteObject(bmp));
    EXPECT_EQ(0, GetObjectW(bmp, 0, nullptr));
    DeleteDC(a);
}

TEST(Objects, StockObjectsSurviveDeletionAndSelectionReturnsThePrevious) {
    HGDIOBJ white = GetStockObject(WHITE_BRUSH);
    ASSERT_NE(nullptr, white);
    EXPECT_TRUE(DeleteObject(white));
    EXPECT_EQ(white, GetStockObject(WHITE_BRUSH));
    LOGBRUSH lb;
    std::memset(&lb, 0xEE, sizeof lb);
    ASSERT_EQ(static_cast<int>(sizeof lb), GetObjectW(white, sizeof lb, &lb));
    EXPECT_EQ(static_cast<UINT>(BS_SOLID), lb.lbStyle);
    EXPECT_EQ(RGB(255, 255, 255), lb.lbColor);
    EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(GetStockObject(NULL_BRUSH)));
    EXPECT_EQ(static_cast<DWORD>(OBJ_PEN), GetObjectType(GetStockObject(BLACK_PEN)));
    EXPECT_EQ(nullptr, GetStockObject(99));

    MemDC dc(2, 2);
    HBRUSH navy = CreateSolidBrush(RGB(0, 0, 128));
    EXPECT_EQ(white, SelectObject(dc.dc(), navy));
    EXPECT_EQ(navy, GetCurrentObject(dc.dc(), OBJ_BRUSH));
    EXPECT_EQ(navy, SelectObject(dc.dc(), white));
    HPEN pen = CreatePen(PS_SOLID, 3, RGB(1, 2, 3));
    LOGPEN lp;
    ASSERT_EQ(static_cast<int>(sizeof lp), GetObjectW(pen, sizeof lp, &lp));
    EXPECT_EQ(3, lp.lopnWidth.x);
    EXPECT_EQ(RGB(1, 2, 3), lp.lopnColor);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(navy));
    SetLastError(gditest::kPoison);
    EXPECT_FALSE(DeleteObject(navy));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST(MemoryDC, SaveAndRestoreTheState) {
    MemDC dc(2, 2);
    SetTextColor(dc.dc(), RGB(1, 1, 1));
    int level = SaveDC(dc.dc());
    EXPECT_EQ(1, level);
    SetTextColor(dc.dc(), RGB(2, 2, 2));
    SetBkMode(dc.dc(), TRANSPARENT);
    EXPECT_EQ(2, SaveDC(dc.dc()));
    SetTextColor(dc.dc(), RGB(3, 3, 3));
    ASSERT_TRUE(RestoreDC(dc.dc(), -1));
    EXPECT_EQ(RGB(2, 2, 2), GetTextColor(dc.dc()));
    ASSERT_TRUE(RestoreDC(dc.dc(), 1));
    EXPECT_EQ(RGB(1, 1, 1), GetTextColor(dc.dc()));
    EXPECT_EQ(OPAQUE, GetBkMode(dc.dc()));
    EXPECT_FALSE(RestoreDC(dc.dc(), 1)) << "that level was popped";
    EXPECT_FALSE(RestoreDC(dc.dc(), 0));
}

TEST(DeviceCaps, ComeFromTheDeviceProfile) {
    for (auto [profile, dpi, w, h] :
         {std::tuple{"qvga", 96, 240, 320}, std::tuple{"vga", 192, 480, 640}}) {
        cetest::TempDevice device(profile);
        HDC dc = CreateCompatibleDC(nullptr);
        EXPECT_EQ(dpi, GetDeviceCaps(dc, LOGPIXELSX)) << profile;
        EXPECT_EQ(dpi, GetDeviceCaps(dc, LOGPIXELSY)) << profile;
        EXPECT_EQ(w, GetDeviceCaps(dc, HORZRES)) << profile;
        EXPECT_EQ(h, GetDeviceCaps(dc, VERTRES)) << profile;
        EXPECT_EQ(32, GetDeviceCaps(dc, BITSPIXEL));
        DeleteDC(dc);
    }
}

// The DCs the window system hands out: origin, clip, window, and defaults on reuse.
TEST(SurfaceDC, DrawsAtItsOriginInsideItsClip) {
    auto surface = std::make_shared<ce::Surface>(20, 20, 0xFFFFFFFFu);
    ce::RectList clip;
    clip.add(RECT{5, 5, 15, 15});
    HWND window = reinterpret_cast<HWND>(0x1234);
    HDC dc = ce::createSurfaceDC(surface, POINT{5, 5}, clip, window);
    ASSERT_NE(nullptr, dc);
    EXPECT_EQ(window, ce::surfaceDCWindow(dc));
    EXPECT_EQ(static_cast<DWORD>(OBJ_DC), GetObjectType(dc));
    RECT all{-100, -100, 100, 100};
    ASSERT_TRUE(FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))));
    EXPECT_EQ(0xFF000000u, surface->pixels[5 * 20 + 5]);
    EXPECT_EQ(0xFF000000u, surface->pixels[14 * 20 + 14]);
    EXPECT_EQ(0xFFFFFFFFu, surface->pixels[4 * 20 + 5]);
    EXPECT_EQ(0xFFFFFFFFu, surface->pixels[15 * 20 + 15]);
    // A window bitmap's format keeps no alpha: the pixel stays opaque whatever is drawn.
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc, 0, 0));
    EXPECT_EQ(CLR_INVALID, GetPixel(dc, -1, 0));
    HBITMAP compatible = CreateCompatibleBitmap(dc, 3, 3);
    BITMAP bm;
    ASSERT_EQ(static_cast<int>(sizeof bm), GetObjectW(compatible, sizeof bm, &bm));
    EXPECT_EQ(32, bm.bmBitsPixel);
    DeleteObject(compatible);

    SetTextColor(dc, RGB(9, 9, 9));
    ce::RectList whole;
    whole.add(RECT{0, 0, 20, 20});
    ASSERT_TRUE(ce::resetSurfaceDC(dc, POINT{0, 0}, whole));
    EXPECT_EQ(RGB(0, 0, 0), GetTextColor(dc));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, 0, 0));
    EXPECT_FALSE(DeleteDC(dc)) << "window DCs go back through the window system";
    EXPECT_TRUE(ce::deleteSurfaceDC(dc));
    EXPECT_FALSE(ce::deleteSurfaceDC(dc));
}

// GETPOWERMANAGEMENT / SETPOWERMANAGEMENT with the 12-byte record; state 4 is off, 1 on.
TEST(Escape, DisplayPowerStateIsKeptByTheDevice) {
    cetest::TempDevice device;
    HDC dc = CreateCompatibleDC(nullptr);
    DWORD query = GETPOWERMANAGEMENT;
    EXPECT_EQ(1, ExtEscape(dc, QUERYESCSUPPORT, sizeof query, reinterpret_cast<LPCSTR>(&query), 0,
                           nullptr));
    query = 4242;
    EXPECT_EQ(0, ExtEscape(dc, QUERYESCSUPPORT, sizeof query, reinterpret_cast<LPCSTR>(&query), 0,
                           nullptr));
    VIDEO_POWER_MANAGEMENT vpm{sizeof vpm, 1, VideoPowerOff};
    EXPECT_EQ(12u, sizeof vpm);
    EXPECT_GT(
        ExtEscape(dc, SETPOWERMANAGEMENT, sizeof vpm, reinterpret_cast<LPCSTR>(&vpm), 0, nullptr),
        0);
    // Another process of the device sees the state.
    int seen = cetest::runInChild([] {
        HDC child = CreateCompatibleDC(nullptr);
        VIDEO_POWER_MANAGEMENT out{gditest::kPoison, gditest::kPoison, gditest::kPoison};
        if (ExtEscape(child, GETPOWERMANAGEMENT, 0, nullptr, sizeof out,
                      reinterpret_cast<LPSTR>(&out)) <= 0)
            return 99;
        return static_cast<int>(out.PowerState);
    });
    EXPECT_EQ(VideoPowerOff, seen);
    VIDEO_POWER_MANAGEMENT bad{sizeof vpm, 1, 9};
    EXPECT_LT(
        ExtEscape(dc, SETPOWERMANAGEMENT, sizeof bad, reinterpret_cast<LPCSTR>(&bad), 0, nullptr),
        0);
    EXPECT_LT(ExtEscape(dc, GETPOWERMANAGEMENT, 0, nullptr, 4, reinterpret_cast<LPSTR>(&bad)), 0);
    DeleteDC(dc);
}

} // namespace
