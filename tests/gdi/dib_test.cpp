// DIB sections and bitmaps: layouts (24-bit padded rows, bottom-up, bit fields), the bits
// pointer and GDI seeing the same memory, GetObject, GetDIBits and SetDIBitsToDevice.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "gditest.h"
#include "windows.h"

using gditest::MemDC;

namespace {

struct Info {
    BITMAPINFOHEADER h{};
    DWORD extra[4]{}; // colour table or masks
    Info(int w, int h_, int bpp, DWORD compression = BI_RGB) {
        h.biSize = sizeof(BITMAPINFOHEADER);
        h.biWidth = w;
        h.biHeight = h_;
        h.biPlanes = 1;
        h.biBitCount = static_cast<WORD>(bpp);
        h.biCompression = compression;
    }
    const BITMAPINFO* bmi() const { return reinterpret_cast<const BITMAPINFO*>(this); }
};

// A 3-pixel-wide 24-bit DIB has 9 bytes of pixels and 3 of padding per row; drawn into a
// 32-bit DC, each row must start at its 12-byte boundary.
TEST(DibSection, TwentyFourBitRowsArePaddedToFourBytes) {
    Info info(3, -2, 24); // top-down
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, info.bmi(), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, bmp);
    ASSERT_NE(nullptr, bits);
    DIBSECTION ds;
    std::memset(&ds, 0xEE, sizeof ds);
    ASSERT_EQ(static_cast<int>(sizeof ds), GetObjectW(bmp, sizeof ds, &ds));
    EXPECT_EQ(12, ds.dsBm.bmWidthBytes);
    EXPECT_EQ(bits, ds.dsBm.bmBits);
    EXPECT_EQ(24, ds.dsBm.bmBitsPixel);
    EXPECT_EQ(2, ds.dsBm.bmHeight);
    uint8_t* p = static_cast<uint8_t*>(bits);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            uint8_t* px = p + y * 12 + x * 3;
            px[0] = static_cast<uint8_t>(x + 1);    // blue
            px[1] = static_cast<uint8_t>(y + 1);    // green
            px[2] = static_cast<uint8_t>(0x80 + x); // red
        }
    HDC src = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(src, bmp);
    MemDC dst(3, 2, 0);
    ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 3, 2, src, 0, 0, SRCCOPY));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(((0x80u + x) << 16) | ((y + 1u) << 8) | (x + 1u), dst.rgb(x, y))
                << x << "," << y;
    SelectObject(src, old);
    DeleteDC(src);
    DeleteObject(bmp);
}

// A positive height means the first row in memory is the bottom of the picture.
TEST(DibSection, BottomUpIsDrawnTheRightWayUp) {
    Info info(2, 2, 32);
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, info.bmi(), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, bmp);
    uint32_t* p = static_cast<uint32_t*>(bits);
    p[0] = 0x0000FF; // memory row 0 = bottom row
    p[1] = 0x0000FF;
    p[2] = 0xFF0000; // memory row 1 = top row
    p[3] = 0xFF0000;
    HDC src = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(src, bmp);
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(src, 0, 0));
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(src, 0, 1));
    MemDC dst(2, 2, 0);
    ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 2, 2, src, 0, 0, SRCCOPY));
    EXPECT_EQ(0xFF0000u, dst.rgb(1, 0));
    EXPECT_EQ(0x0000FFu, dst.rgb(1, 1));
    // Drawing lands in the memory row that holds the picture's row.
    SetPixel(src, 1, 0, RGB(0, 255, 0));
    EXPECT_EQ(0x00FF00u, p[3] & 0xFFFFFF);
    SelectObject(src, old);
    DeleteDC(src);
    DeleteObject(bmp);
}

// The PNG loader's layout: top-down, BI_BITFIELDS with red in the third byte, green in the
// second, blue lowest; the alpha byte survives in memory.
TEST(DibSection, BitFieldsWithAlphaKeepTheAlphaByte) {
    Info info(1, -1, 32, BI_BITFIELDS);
    info.extra[0] = 0x00FF0000;
    info.extra[1] = 0x0000FF00;
    info.extra[2] = 0x000000FF;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, info.bmi(), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, bmp);
    *static_cast<uint32_t*>(bits) = 0x80402010;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    EXPECT_EQ(RGB(0x40, 0x20, 0x10), GetPixel(dc, 0, 0));
    EXPECT_EQ(0x80402010u, *static_cast<uint32_t*>(bits));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bmp);

    // Masks the device cannot draw are refused, not misdrawn.
    info.extra[0] = 0xF800;
    info.extra[1] = 0x07E0;
    info.extra[2] = 0x001F;
    bits = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(nullptr, CreateDIBSection(nullptr, info.bmi(), DIB_RGB_COLORS, &bits, nullptr, 0));
    EXPECT_EQ(nullptr, bits);
}

TEST(DibSection, BadHeadersAreRefused) {
    void* bits = nullptr;
    Info zeroWidth(0, 4, 32), badDepth(4, 4, 7), huge(100000, 100000, 32);
    EXPECT_EQ(nullptr,
              CreateDIBSection(nullptr, zeroWidth.bmi(), DIB_RGB_COLORS, &bits, nullptr, 0));
    EXPECT_EQ(nullptr,
              CreateDIBSection(nullptr, badDepth.bmi(), DIB_RGB_COLORS, &bits, nullptr, 0));
    EXPECT_EQ(nullptr, CreateDIBSection(nullptr, huge.bmi(), DIB_RGB_COLORS, &bits, nullptr, 0));
    EXPECT_EQ(nullptr, CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0));
}

// A 1-bit DIB section draws with its own colour table.
TEST(DibSection, MonochromeSectionUsesItsColourTable) {
    Info info(8, -1, 1);
    RGBQUAD* colors = reinterpret_cast<RGBQUAD*>(info.extra);
    colors[0] = RGBQUAD{0, 0, 255, 0}; // red
    colors[1] = RGBQUAD{255, 0, 0, 0}; // blue
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, info.bmi(), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, bmp);
    *static_cast<uint8_t*>(bits) = 0x80; // first pixel 1
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    MemDC dst(2, 1);
    ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 2, 1, dc, 0, 0, SRCCOPY));
    EXPECT_EQ(0x0000FFu, dst.rgb(0, 0));
    EXPECT_EQ(0xFF0000u, dst.rgb(1, 0));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bmp);
}

// Colour keys rely on an exact round trip: magenta must read back as magenta.
TEST(Bitmap, ColoursRoundTripExactly) {
    MemDC dc(1, 1);
    const COLORREF colours[] = {RGB(255, 0, 255), RGB(1, 2, 3), RGB(254, 255, 253)};
    for (COLORREF c : colours) {
        EXPECT_EQ(c, SetPixel(dc.dc(), 0, 0, c));
        EXPECT_EQ(c, GetPixel(dc.dc(), 0, 0));
    }
    EXPECT_EQ(CLR_INVALID, GetPixel(dc.dc(), 1, 0));
    EXPECT_EQ(CLR_INVALID, GetPixel(dc.dc(), -1, 0));
}

TEST(Bitmap, CreateBitmapTakesWordAlignedRows) {
    const uint8_t rows[4] = {0xA0, 0x00, 0x40, 0x00}; // 3 pixels wide, rows of 2 bytes
    HBITMAP bmp = CreateBitmap(3, 2, 1, 1, rows);
    ASSERT_NE(nullptr, bmp);
    BITMAP bm;
    std::memset(&bm, 0xEE, sizeof bm);
    ASSERT_EQ(static_cast<int>(sizeof bm), GetObjectW(bmp, sizeof bm, &bm));
    EXPECT_EQ(3, bm.bmWidth);
    EXPECT_EQ(2, bm.bmHeight);
    EXPECT_EQ(2, bm.bmWidthBytes);
    EXPECT_EQ(1, bm.bmBitsPixel);
    EXPECT_EQ(nullptr, bm.bmBits);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, 0, 0));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc, 1, 0));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, 2, 0));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, 1, 1));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bmp);
}

TEST(Bitmap, GetDIBitsReadsBottomUpRowsAndDescribesTheBitmap) {
    MemDC src(2, 2);
    src.set(0, 0, 0x111111);
    src.set(1, 0, 0x222222);
    src.set(0, 1, 0x333333);
    src.set(1, 1, 0x444444);
    Info info(0, 0, 0);
    ASSERT_NE(0, GetDIBits(src.dc(), src.bitmap(), 0, 2, nullptr,
                           const_cast<BITMAPINFO*>(info.bmi()), DIB_RGB_COLORS));
    EXPECT_EQ(2, info.h.biWidth);
    EXPECT_EQ(2, info.h.biHeight);
    EXPECT_EQ(32, info.h.biBitCount);
    Info want(2, 2, 24); // bottom-up, 24-bit: rows of 6 bytes padded to 8
    uint8_t out[16 + 4];
    std::memset(out, 0xAB, sizeof out);
    ASSERT_EQ(2, GetDIBits(src.dc(), src.bitmap(), 0, 2, out, const_cast<BITMAPINFO*>(want.bmi()),
                           DIB_RGB_COLORS));
    EXPECT_EQ(0x33, out[0]); // first row in memory: the bottom one
    EXPECT_EQ(0x44, out[3]);
    EXPECT_EQ(0x11, out[8]);
    EXPECT_EQ(0x22, out[11]);
    for (int i = 16; i < 20; ++i)
        EXPECT_EQ(0xAB, out[i]) << "guard byte " << i;
}

TEST(Bitmap, SetDIBitsToDeviceDrawsBottomUpData) {
    Info info(2, 2, 32);
    const uint32_t data[4] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF}; // bottom row first
    MemDC dst(2, 2, 0);
    ASSERT_EQ(
        2, SetDIBitsToDevice(dst.dc(), 0, 0, 2, 2, 0, 0, 0, 2, data, info.bmi(), DIB_RGB_COLORS));
    EXPECT_EQ(0xFF0000u, dst.rgb(0, 0));
    EXPECT_EQ(0xFFFFFFu, dst.rgb(1, 0));
    EXPECT_EQ(0x0000FFu, dst.rgb(0, 1));
    EXPECT_EQ(0x00FF00u, dst.rgb(1, 1));
}

} // namespace
