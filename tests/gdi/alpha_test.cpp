// AlphaBlend of premultiplied pixels, constant alpha and stretching; TransparentBlt and
// TransparentImage; GradientFill.
#include <gtest/gtest.h>

#include "gdi/surface.h"
#include "gditest.h"
#include "windows.h"

using gditest::MemDC;

namespace {

BLENDFUNCTION blend(BYTE constant, bool perPixel) {
    return BLENDFUNCTION{AC_SRC_OVER, 0, constant, static_cast<BYTE>(perPixel ? AC_SRC_ALPHA : 0)};
}

// Premultiplied source-over, as documented: Dst = Src + Dst * (255 - Src.alpha) / 255.
TEST(AlphaBlend, PremultipliedPixelsWithAlpha0_128_255) {
    MemDC src(3, 1);
    src.set(0, 0, 0x00000000); // alpha 0: nothing
    src.set(1, 0, 0x80800000); // red at alpha 128, premultiplied
    src.set(2, 0, 0xFF0000FF); // opaque blue
    MemDC dst(3, 1, 0xFFFFFF);
    ASSERT_TRUE(AlphaBlend(dst.dc(), 0, 0, 3, 1, src.dc(), 0, 0, 3, 1, blend(255, true)));
    EXPECT_EQ(0xFFFFFFu, dst.rgb(0, 0));
    // 128 + 255 * 127 / 255 = 255 red; 0 + 127 green and blue.
    EXPECT_EQ(0xFF7F7Fu, dst.rgb(1, 0));
    EXPECT_EQ(0x0000FFu, dst.rgb(2, 0));
}

TEST(AlphaBlend, ConstantAlphaWithAndWithoutPerPixelAlpha) {
    MemDC src(2, 1);
    src.set(0, 0, 0xFF000000); // opaque black
    src.set(1, 0, 0x80800000);
    MemDC dst(2, 1, 0xFFFFFF);
    // Constant alpha alone: Dst = Src * 128 / 255 + Dst * 127 / 255.
    ASSERT_TRUE(AlphaBlend(dst.dc(), 0, 0, 1, 1, src.dc(), 0, 0, 1, 1, blend(128, false)));
    EXPECT_EQ(0x7F7F7Fu, dst.rgb(0, 0));
    // Both: the source is scaled by 128/255 first (alpha 64, red 64), then blended.
    ASSERT_TRUE(AlphaBlend(dst.dc(), 1, 0, 1, 1, src.dc(), 1, 0, 1, 1, blend(128, true)));
    EXPECT_EQ(0xFFBFBFu, dst.rgb(1, 0));
}

TEST(AlphaBlend, StretchesAndRefusesSourcesOutsideTheBitmap) {
    MemDC src(1, 1);
    src.set(0, 0, 0xFF123456);
    MemDC dst(4, 2, 0);
    ASSERT_TRUE(AlphaBlend(dst.dc(), 0, 0, 4, 2, src.dc(), 0, 0, 1, 1, blend(255, true)));
    EXPECT_EQ(8, dst.countRgb(0x123456));
    SetLastError(gditest::kPoison);
    EXPECT_FALSE(AlphaBlend(dst.dc(), 0, 0, 4, 2, src.dc(), 0, 0, 2, 1, blend(255, true)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_FALSE(AlphaBlend(dst.dc(), 0, 0, 4, 2, src.dc(), -1, 0, 1, 1, blend(255, true)));
}

TEST(TransparentBlt, SkipsTheKeyColourAndStretches) {
    MemDC src(2, 1);
    src.set(0, 0, 0xFF00FF);
    src.set(1, 0, 0x00AA00);
    MemDC dst(4, 1, 0x101010);
    ASSERT_TRUE(TransparentBlt(dst.dc(), 0, 0, 4, 1, src.dc(), 0, 0, 2, 1, RGB(255, 0, 255)));
    EXPECT_EQ(0x101010u, dst.rgb(0, 0));
    EXPECT_EQ(0x101010u, dst.rgb(1, 0));
    EXPECT_EQ(0x00AA00u, dst.rgb(2, 0));
    EXPECT_EQ(0x00AA00u, dst.rgb(3, 0));
}

// Windows CE's TransparentImage takes a bitmap as well as a DC.
TEST(TransparentBlt, TransparentImageFromABitmap) {
    const uint32_t pixels[2] = {0xFFFFFFFF, 0xFF0000FF};
    HBITMAP bmp = ce::createBitmapFromPixels(2, 1, pixels, false);
    ASSERT_NE(nullptr, bmp);
    MemDC dst(2, 1, 0x333333);
    ASSERT_TRUE(TransparentImage(dst.dc(), 0, 0, 2, 1, bmp, 0, 0, 2, 1, RGB(255, 255, 255)));
    EXPECT_EQ(0x333333u, dst.rgb(0, 0));
    EXPECT_EQ(0x0000FFu, dst.rgb(1, 0));
    DeleteObject(bmp);
}

TEST(GradientFill, VerticalRunsFromTopColourToBottomColour) {
    MemDC dst(2, 4, 0);
    TRIVERTEX v[2] = {{0, 0, 0x0000, 0x0000, 0xFF00, 0}, {2, 4, 0xFF00, 0x0000, 0x0000, 0}};
    GRADIENT_RECT r{0, 1};
    ASSERT_TRUE(GradientFill(dst.dc(), v, 2, &r, 1, GRADIENT_FILL_RECT_V));
    EXPECT_EQ(0x0000FFu, dst.rgb(0, 0));
    EXPECT_EQ(0x3F00BFu, dst.rgb(1, 1));
    EXPECT_EQ(0xBF003Fu, dst.rgb(0, 3));
    // Each row is one colour.
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(dst.rgb(0, y), dst.rgb(1, y));
    GRADIENT_RECT bad{0, 7};
    EXPECT_FALSE(GradientFill(dst.dc(), v, 2, &bad, 1, GRADIENT_FILL_RECT_V));
}

} // namespace
