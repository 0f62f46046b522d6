// Blits: colour and monochrome conversions, the colour-keyed XOR/AND/XOR blit, the ternary
// raster operations, PatBlt, StretchBlt, MaskBlt, overlapping blits and clipping.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "gditest.h"
#include "windows.h"

using gditest::MemDC;

namespace {

// A monochrome bitmap in its own memory DC, drawn pixel by pixel.
struct MonoDC {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    MonoDC(int w, int h) {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateBitmap(w, h, 1, 1, nullptr);
        old = SelectObject(dc, bitmap);
    }
    ~MonoDC() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    bool bit(int x, int y) const { return GetPixel(dc, x, y) == RGB(255, 255, 255); }
};

// Colour to monochrome: pixels equal to the source DC's background colour become 1 (white),
// all others 0 (black), whatever the destination's colours.
TEST(BlitConversion, ColourToMonoUsesSourceBackgroundColour) {
    MemDC src(4, 1);
    src.set(0, 0, 0xFF00FF); // magenta: the key
    src.set(1, 0, 0x000000);
    src.set(2, 0, 0xFFFFFF);
    src.set(3, 0, 0xFE00FF); // one step from the key
    SetBkColor(src.dc(), RGB(255, 0, 255));
    MonoDC mask(4, 1);
    SetTextColor(mask.dc, RGB(0, 255, 0));
    SetBkColor(mask.dc, RGB(0, 0, 255));
    ASSERT_TRUE(BitBlt(mask.dc, 0, 0, 4, 1, src.dc(), 0, 0, SRCCOPY));
    EXPECT_TRUE(mask.bit(0, 0));
    EXPECT_FALSE(mask.bit(1, 0));
    EXPECT_FALSE(mask.bit(2, 0)) << "white is not the background colour here";
    EXPECT_FALSE(mask.bit(3, 0));
}

// Monochrome to colour: 0 takes the destination DC's text colour, 1 its background colour.
TEST(BlitConversion, MonoToColourUsesDestinationTextAndBackground) {
    MonoDC mono(2, 1);
    SetPixel(mono.dc, 1, 0, RGB(255, 255, 255));
    MemDC dst(2, 1, 0x123456);
    SetTextColor(dst.dc(), RGB(10, 20, 30));
    SetBkColor(dst.dc(), RGB(200, 100, 50));
    SetTextColor(mono.dc, RGB(255, 0, 0)); // the source's colours do not count
    SetBkColor(mono.dc, RGB(0, 255, 0));
    ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 2, 1, mono.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(0x0A141Eu, dst.rgb(0, 0));
    EXPECT_EQ(0xC86432u, dst.rgb(1, 0));
}

// The image loader's transparent blit: mask from the key colour, then source XOR, mask AND,
// source XOR (destination text black, background white). Key-coloured pixels leave the
// destination as it was; all others copy the source.
TEST(BlitConversion, XorAndXorLeavesKeyPixelsUntouched) {
    const int w = 6, h = 2;
    MemDC src(w, h, 0xFF00FF);
    src.set(1, 0, 0x102030);
    src.set(2, 0, 0xFFFFFF);
    src.set(3, 1, 0x000000);
    src.set(4, 1, 0xFF00FE);
    MemDC dst(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            dst.set(x, y, 0x010101u * static_cast<uint32_t>(x * 40 + y));
    MemDC before(w, h);
    BitBlt(before.dc(), 0, 0, w, h, dst.dc(), 0, 0, SRCCOPY);

    MonoDC mask(w, h);
    SetBkColor(src.dc(), RGB(255, 0, 255));
    ASSERT_TRUE(BitBlt(mask.dc, 0, 0, w, h, src.dc(), 0, 0, SRCCOPY));
    SetTextColor(dst.dc(), RGB(0, 0, 0));
    SetBkColor(dst.dc(), RGB(255, 255, 255));
    ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, w, h, src.dc(), 0, 0, SRCINVERT));
    ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, w, h, mask.dc, 0, 0, SRCAND));
    ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, w, h, src.dc(), 0, 0, SRCINVERT));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool key = src.rgb(x, y) == 0xFF00FF;
            uint32_t want = key ? before.rgb(x, y) : src.rgb(x, y);
            EXPECT_EQ(want, dst.rgb(x, y)) << "at " << x << "," << y;
        }
}

// Every ROP3 code, on 1-bit pixels holding all eight combinations of pattern, source and
// destination: the result bit is bit (P*4 + S*2 + D) of the code, the code's definition.
TEST(RasterOps, AllTernaryOperationsMatchTheirTruthTable) {
    MonoDC src(8, 1), dst(8, 1);
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    for (int rop = 0; rop < 256; ++rop) {
        // Pixel i: pattern bit i>>2 (two blits, one per brush), source bit i>>1 & 1, dest i & 1.
        std::string got;
        for (int pass = 0; pass < 2; ++pass) {
            for (int i = 0; i < 8; ++i) {
                SetPixel(src.dc, i, 0, (i >> 1) & 1 ? RGB(255, 255, 255) : RGB(0, 0, 0));
                SetPixel(dst.dc, i, 0, i & 1 ? RGB(255, 255, 255) : RGB(0, 0, 0));
            }
            SelectObject(dst.dc, pass ? white : black);
            DWORD code = static_cast<DWORD>(rop) << 16;
            ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 8, 1, src.dc, 0, 0, code));
            for (int i = 0; i < 8; ++i) {
                if (((i >> 2) & 1) != pass) continue;
                bool want = (rop >> i) & 1;
                if (dst.bit(i, 0) != want)
                    got += " P" + std::to_string(pass) + "S" + std::to_string((i >> 1) & 1) + "D" +
                           std::to_string(i & 1);
            }
        }
        EXPECT_EQ("", got) << "ROP3 0x" << std::hex << rop;
    }
    SelectObject(dst.dc, white);
}

// The named codes against their documented boolean formulas, on colour pixels where every
// bit of a channel takes part.
TEST(RasterOps, NamedOperationsOnColours) {
    struct Case {
        DWORD rop;
        const char* name;
        std::function<uint32_t(uint32_t, uint32_t, uint32_t)> f;
    };
    const Case cases[] = {
        {SRCCOPY, "SRCCOPY", [](uint32_t, uint32_t s, uint32_t) { return s; }},
        {SRCPAINT, "SRCPAINT", [](uint32_t, uint32_t s, uint32_t d) { return s | d; }},
        {SRCAND, "SRCAND", [](uint32_t, uint32_t s, uint32_t d) { return s & d; }},
        {SRCINVERT, "SRCINVERT", [](uint32_t, uint32_t s, uint32_t d) { return s ^ d; }},
        {SRCERASE, "SRCERASE", [](uint32_t, uint32_t s, uint32_t d) { return s & ~d; }},
        {NOTSRCCOPY, "NOTSRCCOPY", [](uint32_t, uint32_t s, uint32_t) { return ~s; }},
        {NOTSRCERASE, "NOTSRCERASE", [](uint32_t, uint32_t s, uint32_t d) { return ~(s | d); }},
        {MERGECOPY, "MERGECOPY", [](uint32_t p, uint32_t s, uint32_t) { return p & s; }},
        {MERGEPAINT, "MERGEPAINT", [](uint32_t, uint32_t s, uint32_t d) { return ~s | d; }},
        {PATCOPY, "PATCOPY", [](uint32_t p, uint32_t, uint32_t) { return p; }},
        {PATPAINT, "PATPAINT", [](uint32_t p, uint32_t s, uint32_t d) { return p | ~s | d; }},
        {PATINVERT, "PATINVERT", [](uint32_t p, uint32_t, uint32_t d) { return p ^ d; }},
        {DSTINVERT, "DSTINVERT", [](uint32_t, uint32_t, uint32_t d) { return ~d; }},
        {BLACKNESS, "BLACKNESS", [](uint32_t, uint32_t, uint32_t) { return 0u; }},
        {WHITENESS, "WHITENESS", [](uint32_t, uint32_t, uint32_t) { return ~0u; }},
        {0x00B8074A, "PSDPxax",
         [](uint32_t p, uint32_t s, uint32_t d) { return ((d ^ p) & s) ^ p; }},
        {0x00E20746, "DSPDxax",
         [](uint32_t p, uint32_t s, uint32_t d) { return ((p ^ d) & s) ^ d; }},
    };
    const uint32_t pat = 0x0F33C5, srcColor = 0x5A17E1, dstColor = 0x3C96A9;
    for (const Case& c : cases) {
        MemDC src(1, 1, srcColor), dst(1, 1, dstColor);
        HBRUSH brush = CreateSolidBrush(RGB((pat >> 16) & 0xFF, (pat >> 8) & 0xFF, pat & 0xFF));
        HGDIOBJ old = SelectObject(dst.dc(), brush);
        ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 1, 1, src.dc(), 0, 0, c.rop)) << c.name;
        EXPECT_EQ(c.f(pat, srcColor, dstColor) & 0xFFFFFF, dst.rgb(0, 0)) << c.name;
        SelectObject(dst.dc(), old);
        DeleteObject(brush);
    }
}

TEST(RasterOps, PatBltFillsWithTheBrushAndRefusesSourceOperations) {
    MemDC dst(4, 4, 0x000000);
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HGDIOBJ old = SelectObject(dst.dc(), brush);
    ASSERT_TRUE(PatBlt(dst.dc(), 1, 1, 2, 2, PATCOPY));
    EXPECT_EQ(0x010203u, dst.rgb(1, 1));
    EXPECT_EQ(0x010203u, dst.rgb(2, 2));
    EXPECT_EQ(0u, dst.rgb(3, 3));
    EXPECT_EQ(0u, dst.rgb(0, 1));
    ASSERT_TRUE(PatBlt(dst.dc(), 0, 0, 4, 4, DSTINVERT));
    EXPECT_EQ(0xFEFDFCu, dst.rgb(1, 1));
    EXPECT_EQ(0xFFFFFFu, dst.rgb(0, 0));
    EXPECT_FALSE(PatBlt(dst.dc(), 0, 0, 4, 4, SRCCOPY));
    SelectObject(dst.dc(), old);
    DeleteObject(brush);
}

TEST(Stretch, DoublingRepeatsEveryPixelTwice) {
    MemDC src(3, 2);
    const uint32_t colours[6] = {0x110000, 0x220000, 0x330000, 0x001100, 0x002200, 0x003300};
    for (int i = 0; i < 6; ++i)
        src.set(i % 3, i / 3, colours[i]);
    MemDC dst(6, 4, 0xFFFFFF);
    ASSERT_TRUE(StretchBlt(dst.dc(), 0, 0, 6, 4, src.dc(), 0, 0, 3, 2, SRCCOPY));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(colours[(y / 2) * 3 + x / 2], dst.rgb(x, y)) << x << "," << y;
}

TEST(Stretch, HalvingAndMirroring) {
    MemDC src(4, 1);
    for (int x = 0; x < 4; ++x)
        src.set(x, 0, 0x10u * (x + 1));
    MemDC half(2, 1), mirror(4, 1);
    ASSERT_TRUE(StretchBlt(half.dc(), 0, 0, 2, 1, src.dc(), 0, 0, 4, 1, SRCCOPY));
    // Each destination pixel takes the source pixel under its centre.
    EXPECT_EQ(0x20u, half.rgb(0, 0));
    EXPECT_EQ(0x40u, half.rgb(1, 0));
    // A negative width runs left from x: the rectangle is [x - 4, x).
    ASSERT_TRUE(StretchBlt(mirror.dc(), 4, 0, -4, 1, src.dc(), 0, 0, 4, 1, SRCCOPY));
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(0x10u * (4 - x), mirror.rgb(x, 0)) << x;
}

// A blit within one bitmap reads the pixels as they were before it (scrolling).
TEST(Blit, OverlappingCopyWithinOneBitmap) {
    MemDC dc(5, 1);
    for (int x = 0; x < 5; ++x)
        dc.set(x, 0, static_cast<uint32_t>(x + 1));
    ASSERT_TRUE(BitBlt(dc.dc(), 1, 0, 4, 1, dc.dc(), 0, 0, SRCCOPY));
    const uint32_t want[5] = {1, 1, 2, 3, 4};
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(want[x], dc.rgb(x, 0)) << x;
}

TEST(Blit, ClipRegionAndSourceEdgesLimitWhatIsDrawn) {
    MemDC src(4, 4, 0xFF0000), dst(8, 8, 0x000000);
    HRGN clip = CreateRectRgn(2, 2, 6, 6);
    ASSERT_EQ(SIMPLEREGION, SelectClipRgn(dst.dc(), clip));
    DeleteObject(clip);
    ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 8, 8, src.dc(), 0, 0, SRCCOPY));
    // Inside the clip and the 4x4 source: red; elsewhere untouched.
    RECT ink = dst.inkBounds(0);
    EXPECT_EQ(2, ink.left);
    EXPECT_EQ(2, ink.top);
    EXPECT_EQ(4, ink.right);
    EXPECT_EQ(4, ink.bottom);
    EXPECT_EQ(4, dst.countRgb(0xFF0000));
}

TEST(Blit, MaskBltChoosesForegroundWhereTheMaskIsSet) {
    MemDC src(2, 1, 0x00FF00), dst(2, 1, 0x0000FF);
    HBITMAP mask = CreateBitmap(2, 1, 1, 1, nullptr);
    HDC maskDc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(maskDc, mask);
    SetPixel(maskDc, 0, 0, RGB(255, 255, 255));
    SelectObject(maskDc, old);
    DeleteDC(maskDc);
    // Foreground SRCCOPY where the mask is 1, background "keep the destination" where 0.
    ASSERT_TRUE(
        MaskBlt(dst.dc(), 0, 0, 2, 1, src.dc(), 0, 0, mask, 0, 0, MAKEROP4(SRCCOPY, 0x00AA0029)));
    EXPECT_EQ(0x00FF00u, dst.rgb(0, 0));
    EXPECT_EQ(0x0000FFu, dst.rgb(1, 0));
    DeleteObject(mask);
}

TEST(Blit, BadHandlesFail) {
    MemDC dst(1, 1);
    SetLastError(gditest::kPoison);
    EXPECT_FALSE(BitBlt(dst.dc(), 0, 0, 1, 1, reinterpret_cast<HDC>(0x1234), 0, 0, SRCCOPY));
    EXPECT_NE(gditest::kPoison, GetLastError());
    EXPECT_FALSE(BitBlt(reinterpret_cast<HDC>(0x1234), 0, 0, 1, 1, dst.dc(), 0, 0, SRCCOPY));
    EXPECT_FALSE(StretchBlt(dst.dc(), 0, 0, 1 << 20, 1, dst.dc(), 0, 0, 1, 1, SRCCOPY));
}

} // namespace
