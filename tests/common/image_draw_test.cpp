// image_draw_test.cpp: the transparent blit and the stretcher: the colour key (the top-left
// pixel, or the skin's colour), AlphaBlend of 32-bit pictures at their size, twice it or half
// it, the colour-key fallback when coredll.dll has no AlphaBlend, and stretchBitmap's sizes.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "commontest.h"
#include "image.h"
#include "kernel/device.h"

using namespace commontest;

namespace {

const COLORREF kBackground = RGB(0, 0, 255);
const COLORREF kGreen = RGB(0, 255, 0);
const COLORREF kRed = RGB(255, 0, 0);

// A DIB section of bits per pixel 24 or 32, pixels given as COLORREF (alpha in the top byte for
// 32 bits, stored as given: the caller premultiplies), top row first.
HBITMAP makeSection(int width, int height, int bits, const std::vector<DWORD>& pixels) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = static_cast<WORD>(bits);
    void* data = nullptr;
    HBITMAP b = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &data, nullptr, 0);
    if (!b) return nullptr;
    const int stride = ((width * bits / 8) + 3) & ~3;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            DWORD c = pixels[static_cast<size_t>(y * width + x)];
            uint8_t* p = static_cast<uint8_t*>(data) + y * stride + x * bits / 8;
            p[0] = static_cast<uint8_t>(c >> 16); // blue
            p[1] = static_cast<uint8_t>(c >> 8);
            p[2] = static_cast<uint8_t>(c);
            if (bits == 32) p[3] = static_cast<uint8_t>(c >> 24);
        }
    return b;
}

class DrawTest : public CommonTest {
protected:
    void SetUp() override {
        CommonTest::SetUp();
        setImageDrawOptions({IMAGE_KEY_TOPLEFT, FALSE, FALSE});
        target = makeSection(6, 4, 32, std::vector<DWORD>(24, 0xFF000000 | kBackground));
        dc = CreateCompatibleDC(nullptr);
        old = SelectObject(dc, target);
    }
    void TearDown() override {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(target);
        for (HBITMAP b : made)
            DeleteObject(b);
        setImageDrawOptions({IMAGE_KEY_TOPLEFT, FALSE, FALSE});
        CommonTest::TearDown();
    }
    HBITMAP keep(HBITMAP b) {
        made.push_back(b);
        return b;
    }
    void withdrawAlphaBlend() {
        std::string error;
        ASSERT_TRUE(ce::updateDeviceConf(
            [&](ce::DeviceConf& conf) { conf.profile.withdrawn = {"coredll.dll!AlphaBlend"}; },
            &error))
            << error;
    }
    // The target's pixels as a picture: '.' background, 'g' green, 'r' red, '?' anything else.
    std::string picture() {
        std::string s;
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 6; ++x) {
                COLORREF c = GetPixel(dc, x, y);
                s += c == kBackground ? '.' : c == kGreen ? 'g' : c == kRed ? 'r' : '?';
            }
            s += '\n';
        }
        return s;
    }
    HBITMAP target = nullptr;
    HDC dc = nullptr;
    HGDIOBJ old = nullptr;
    std::vector<HBITMAP> made;
};

} // namespace

// transparentColour 1: the top-left pixel is the key. A picture whose top-left pixel is green
// leaves every green pixel out, wherever it is, and draws the rest at (x, y).
TEST_F(DrawTest, TopLeftPixelIsTheKey) {
    HBITMAP b = keep(makeSection(3, 2, 24, {kGreen, kRed, kGreen, kRed, kGreen, kRed}));
    SetBkColor(dc, RGB(1, 2, 3));
    SetTextColor(dc, RGB(4, 5, 6));
    drawTransparent(dc, b, 1, 1);
    EXPECT_EQ("......\n"
              "..r...\n"
              ".r.r..\n"
              "......\n",
              picture());
    // The blit sets the colours its mask needs and gives the caller's back.
    EXPECT_EQ(RGB(1, 2, 3), GetBkColor(dc));
    EXPECT_EQ(RGB(4, 5, 6), GetTextColor(dc));
}

// An explicit key colour from the skin: red is left out, the green top-left pixel is drawn.
TEST_F(DrawTest, SkinKeyColour) {
    setImageDrawOptions({kRed, FALSE, FALSE});
    HBITMAP b = keep(makeSection(3, 1, 24, {kGreen, kRed, kGreen}));
    drawTransparent(dc, b, 0, 0);
    EXPECT_EQ("g.g...\n"
              "......\n"
              "......\n"
              "......\n",
              picture());
}

// A 32-bit picture is blended with its premultiplied alpha: alpha 0 leaves the destination,
// 255 covers it, 128 mixes. scale32Up draws it twice as large, scale32Down half as large.
TEST_F(DrawTest, ThirtyTwoBitPicturesAreBlended) {
    HBITMAP b = keep(makeSection(2, 1, 32, {0xFF000000 | kRed, 0x00000000}));
    drawTransparent(dc, b, 0, 0);
    EXPECT_EQ("r.....\n"
              "......\n"
              "......\n"
              "......\n",
              picture());

    setImageDrawOptions({IMAGE_KEY_TOPLEFT, TRUE, FALSE});
    drawTransparent(dc, b, 2, 1);
    EXPECT_EQ("r.....\n"
              "..rr..\n"
              "..rr..\n"
              "......\n",
              picture());

    setImageDrawOptions({IMAGE_KEY_TOPLEFT, FALSE, TRUE});
    HBITMAP four = keep(makeSection(2, 2, 32, std::vector<DWORD>(4, 0xFF000000 | kGreen)));
    drawTransparent(dc, four, 5, 3);
    EXPECT_EQ('g', picture()[3 * 7 + 5]);
    EXPECT_EQ('.', picture()[3 * 7 + 4]);

    // Half alpha: red 128 premultiplied over blue 255 gives about red 128, blue 127.
    setImageDrawOptions({IMAGE_KEY_TOPLEFT, FALSE, FALSE});
    HBITMAP half = keep(makeSection(1, 1, 32, {0x80000080}));
    drawTransparent(dc, half, 0, 3);
    COLORREF mixed = GetPixel(dc, 0, 3);
    EXPECT_NEAR(128, GetRValue(mixed), 1);
    EXPECT_EQ(0, GetGValue(mixed));
    EXPECT_NEAR(127, GetBValue(mixed), 1);
}

// Without AlphaBlend in coredll.dll a 32-bit picture is drawn with the colour key at its own
// size, whatever the scale flags say.
TEST_F(DrawTest, WithoutAlphaBlendThirtyTwoBitUsesTheColourKey) {
    withdrawAlphaBlend();
    setImageDrawOptions({IMAGE_KEY_TOPLEFT, TRUE, FALSE});
    HBITMAP b = keep(makeSection(3, 1, 32, {0xFF000000 | kGreen, 0xFF000000 | kRed, 0x00000000}));
    drawTransparent(dc, b, 0, 0);
    std::string p = picture();
    EXPECT_EQ(".r", p.substr(0, 2)) << p;
    EXPECT_EQ('.', p[7]) << "drawn at its own size\n" << p;
}

// stretchBitmap: the same size makes nothing and leaves the out-parameter alone; a side of 0
// follows from the other, rounded to the nearest pixel; the copy has no alpha channel.
TEST_F(DrawTest, StretchBitmapSizes) {
    HBITMAP source = keep(makeSection(3, 2, 32, std::vector<DWORD>(6, 0x80000080)));
    HBITMAP out = reinterpret_cast<HBITMAP>(static_cast<uintptr_t>(0xdeadbeef));
    EXPECT_TRUE(stretchBitmap(source, &out, 3, 2));
    EXPECT_EQ(reinterpret_cast<HBITMAP>(static_cast<uintptr_t>(0xdeadbeef)), out);

    out = nullptr;
    ASSERT_TRUE(stretchBitmap(source, &out, 0, 3)); // 3 x 3 / 2 = 4.5: 5
    keep(out);
    BITMAP bm;
    memset(&bm, 0xEF, sizeof(bm));
    ASSERT_NE(0, GetObjectW(out, sizeof(bm), &bm));
    EXPECT_EQ(5, bm.bmWidth);
    EXPECT_EQ(3, bm.bmHeight);

    out = nullptr;
    ASSERT_TRUE(stretchBitmap(source, &out, 6, 0));
    keep(out);
    ASSERT_NE(0, GetObjectW(out, sizeof(bm), &bm));
    EXPECT_EQ(4, bm.bmHeight);
    // Drawn, the copy is opaque: the colour as stored, with no blending.
    drawTransparent(dc, out, 0, 0);
    EXPECT_EQ(RGB(128, 0, 0), GetPixel(dc, 5, 3));

    out = nullptr;
    EXPECT_FALSE(stretchBitmap(source, &out, 0, 0));
    EXPECT_FALSE(stretchBitmap(source, &out, -4, 2));
    EXPECT_FALSE(stretchBitmap(nullptr, &out, 4, 2));
    EXPECT_EQ(nullptr, out);
}
