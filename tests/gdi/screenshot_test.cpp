// A device window's painting seen on the device screen: what WM_PAINT drew into the window
// reads back through the screen DC (GetDC(NULL)) and survives a PNG screenshot.
#include <filesystem>

#include <gtest/gtest.h>

#include "gdi/png.h"
#include "gditest.h"
#include "windows.h"

namespace {

LRESULT CALLBACK paintProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(dc, &client, red);
        DeleteObject(red);
        RECT inner{5, 5, 15, 10};
        FillRect(dc, &inner, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST(Screenshot, ScreenShowsWhatAWindowPainted) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = paintProc;
    wc.hInstance = reinterpret_cast<HINSTANCE>(0x00010000);
    wc.lpszClassName = u"GdiScreenshotTest";
    ASSERT_NE(0, RegisterClassW(&wc));
    HWND hwnd = CreateWindowExW(0, u"GdiScreenshotTest", u"shot", WS_POPUP | WS_VISIBLE, 20, 30, 40,
                                30, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, hwnd);
    UpdateWindow(hwnd);

    HDC screen = GetDC(nullptr);
    ASSERT_NE(nullptr, screen);
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(screen, 20, 30));
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(screen, 59, 59));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(screen, 25, 35));
    EXPECT_NE(RGB(255, 0, 0), GetPixel(screen, 19, 30)) << "outside the window";

    // The screen's pixels as a PNG file and back.
    const int w = GetDeviceCaps(screen, HORZRES), h = GetDeviceCaps(screen, VERTRES);
    gditest::MemDC copy(w, h, 0x00FF00);
    ASSERT_TRUE(BitBlt(copy.dc(), 0, 0, w, h, screen, 0, 0, SRCCOPY));
    ReleaseDC(nullptr, screen);
    ce::Surface shot(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            shot.pixels[y * w + x] = copy.at(x, y) | 0xFF000000u;
    auto file = std::filesystem::temp_directory_path() / "gdi_screenshot_test.png";
    ASSERT_TRUE(ce::writePngFile(shot, file));
    ce::Surface back;
    ASSERT_TRUE(ce::readPngFile(file, &back));
    std::filesystem::remove(file);
    ASSERT_EQ(w, back.width);
    EXPECT_EQ(0xFFFF0000u, back.pixels[31 * w + 21]);
    EXPECT_EQ(0xFF000000u, back.pixels[35 * w + 25]);
    DestroyWindow(hwnd);
    UnregisterClassW(u"GdiScreenshotTest", wc.hInstance);
}

} // namespace
