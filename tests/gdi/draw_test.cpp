// Lines, shapes, USER's rectangle painters and helpers, regions and clip regions.
#include <gtest/gtest.h>

#include "gditest.h"
#include "windows.h"

using gditest::MemDC;

namespace {

bool same(const RECT& a, const RECT& b) {
    return EqualRect(&a, &b) != FALSE;
}

// LineTo leaves out its last point; Polyline of five points is a closed outline.
TEST(Lines, LineToExcludesTheEndPointAndPolylineCloses) {
    MemDC dc(10, 10);
    MoveToEx(dc.dc(), 1, 1, nullptr);
    ASSERT_TRUE(LineTo(dc.dc(), 5, 1));
    EXPECT_EQ(4, dc.countRgb(0x000000));
    EXPECT_EQ(0xFFFFFFu, dc.rgb(5, 1));
    POINT at{-1, -1};
    MoveToEx(dc.dc(), 0, 0, &at);
    EXPECT_EQ(5, at.x);

    dc.fill(0xFFFFFF);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HGDIOBJ old = SelectObject(dc.dc(), pen);
    const POINT box[5] = {{2, 2}, {7, 2}, {7, 7}, {2, 7}, {2, 2}};
    ASSERT_TRUE(Polyline(dc.dc(), box, 5));
    EXPECT_EQ(20, dc.countRgb(0xFF0000)); // the 5x5 outline: 4 sides of 5, corners once
    EXPECT_EQ(0xFFFFFFu, dc.rgb(4, 4));
    RECT ink = dc.inkBounds(0xFFFFFF);
    EXPECT_EQ(2, ink.left);
    EXPECT_EQ(8, ink.right);
    SelectObject(dc.dc(), old);
    DeleteObject(pen);
}

TEST(Shapes, RectangleFillsInsideItsOutline) {
    MemDC dc(10, 10);
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    HGDIOBJ old = SelectObject(dc.dc(), brush);
    ASSERT_TRUE(Rectangle(dc.dc(), 1, 1, 6, 5));
    EXPECT_EQ(0u, dc.rgb(1, 1));
    EXPECT_EQ(0u, dc.rgb(5, 4));
    EXPECT_EQ(0x0000FFu, dc.rgb(2, 2));
    EXPECT_EQ(0x0000FFu, dc.rgb(4, 3));
    EXPECT_EQ(0xFFFFFFu, dc.rgb(6, 1));
    EXPECT_EQ(0xFFFFFFu, dc.rgb(1, 5));
    // An ellipse stays inside its box and touches the middle of each side.
    dc.fill(0xFFFFFF);
    ASSERT_TRUE(Ellipse(dc.dc(), 0, 0, 9, 9));
    RECT ink = dc.inkBounds(0xFFFFFF);
    EXPECT_EQ(0, ink.left);
    EXPECT_EQ(9, ink.bottom);
    EXPECT_EQ(0xFFFFFFu, dc.rgb(0, 0)) << "the corner is outside the ellipse";
    SelectObject(dc.dc(), old);
    DeleteObject(brush);
}

TEST(Painters, FillFrameInvertAndFocusRect) {
    MemDC dc(8, 8);
    RECT r{1, 1, 7, 7};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    ASSERT_TRUE(FrameRect(dc.dc(), &r, red));
    EXPECT_EQ(20, dc.countRgb(0xFF0000));
    ASSERT_TRUE(FillRect(dc.dc(), &r, red));
    EXPECT_EQ(36, dc.countRgb(0xFF0000));
    ASSERT_TRUE(InvertRect(dc.dc(), &r));
    EXPECT_EQ(36, dc.countRgb(0x00FFFF));
    // A system colour index + 1 stands for its colour.
    ASSERT_TRUE(FillRect(dc.dc(), &r,
                         reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_WINDOWTEXT + 1))));
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    EXPECT_EQ(36, dc.countRgb((GetRValue(text) << 16) | (GetGValue(text) << 8) | GetBValue(text)));
    // DrawFocusRect inverts: twice restores the picture.
    MemDC before(8, 8);
    BitBlt(before.dc(), 0, 0, 8, 8, dc.dc(), 0, 0, SRCCOPY);
    ASSERT_TRUE(DrawFocusRect(dc.dc(), &r));
    int changed = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            changed += dc.rgb(x, y) != before.rgb(x, y);
    EXPECT_EQ(10, changed); // every other pixel of the 20-pixel frame
    ASSERT_TRUE(DrawFocusRect(dc.dc(), &r));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(before.rgb(x, y), dc.rgb(x, y));
    EXPECT_FALSE(FillRect(dc.dc(), &r, reinterpret_cast<HBRUSH>(0x7777)));
    DeleteObject(red);
}

TEST(RectHelpers, DocumentedEdgeCases) {
    RECT a{0, 0, 10, 10}, b{5, 5, 20, 20}, out{1, 2, 3, 4};
    EXPECT_TRUE(IntersectRect(&out, &a, &b));
    EXPECT_TRUE(same(out, RECT{5, 5, 10, 10}));
    RECT far{30, 30, 40, 40};
    out = RECT{1, 2, 3, 4};
    EXPECT_FALSE(IntersectRect(&out, &a, &far));
    EXPECT_TRUE(IsRectEmpty(&out));
    EXPECT_TRUE(UnionRect(&out, &a, &b));
    EXPECT_TRUE(same(out, RECT{0, 0, 20, 20}));
    // SubtractRect only shrinks when the rest is a rectangle.
    RECT left{0, 0, 4, 10};
    EXPECT_TRUE(SubtractRect(&out, &a, &left));
    EXPECT_TRUE(same(out, RECT{4, 0, 10, 10}));
    RECT middle{3, 3, 6, 6};
    EXPECT_TRUE(SubtractRect(&out, &a, &middle));
    EXPECT_TRUE(EqualRect(&out, &a));
    EXPECT_FALSE(SubtractRect(&out, &a, &a));
    EXPECT_TRUE(PtInRect(&a, POINT{0, 9}));
    EXPECT_FALSE(PtInRect(&a, POINT{10, 0}));
    EXPECT_FALSE(PtInRect(nullptr, POINT{0, 0}));
    EXPECT_TRUE(IsRectEmpty(nullptr));
    EXPECT_FALSE(SetRect(nullptr, 0, 0, 1, 1));
    RECT in{0, 0, 2, 2};
    InflateRect(&in, 1, 2);
    EXPECT_TRUE(same(in, RECT{-1, -2, 3, 4}));
}

TEST(Regions, CombineModesAndTypes) {
    HRGN a = CreateRectRgn(0, 0, 10, 10), b = CreateRectRgn(5, 0, 15, 10);
    HRGN out = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(SIMPLEREGION, CombineRgn(out, a, b, RGN_OR)) << "two halves make one rectangle";
    RECT box;
    EXPECT_EQ(SIMPLEREGION, GetRgnBox(out, &box));
    EXPECT_TRUE(same(box, RECT{0, 0, 15, 10}));
    EXPECT_EQ(SIMPLEREGION, CombineRgn(out, a, b, RGN_AND));
    EXPECT_EQ(SIMPLEREGION, CombineRgn(out, a, b, RGN_DIFF));
    EXPECT_TRUE(PtInRegion(out, 4, 4));
    EXPECT_FALSE(PtInRegion(out, 5, 4));
    EXPECT_EQ(COMPLEXREGION, CombineRgn(out, a, b, RGN_XOR));
    EXPECT_FALSE(PtInRegion(out, 7, 7));
    EXPECT_TRUE(PtInRegion(out, 12, 7));
    HRGN none = CreateRectRgn(3, 3, 3, 9);
    EXPECT_EQ(NULLREGION, CombineRgn(out, a, none, RGN_AND));
    EXPECT_EQ(ERROR, CombineRgn(out, a, b, 42));
    // The rectangles go out and come back through RGNDATA.
    CombineRgn(out, a, b, RGN_XOR);
    DWORD size = GetRegionData(out, 0, nullptr);
    std::vector<char> buf(size);
    ASSERT_EQ(size, GetRegionData(out, size, reinterpret_cast<RGNDATA*>(buf.data())));
    HRGN copy = ExtCreateRegion(nullptr, size, reinterpret_cast<RGNDATA*>(buf.data()));
    EXPECT_TRUE(EqualRgn(copy, out));
    EXPECT_EQ(nullptr, ExtCreateRegion(nullptr, size - 1, reinterpret_cast<RGNDATA*>(buf.data())));
    for (HRGN r : {a, b, out, none, copy})
        DeleteObject(r);
}

TEST(Regions, ClipRegionsLimitPainting) {
    MemDC dc(10, 10);
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RECT all{0, 0, 10, 10};
    EXPECT_EQ(SIMPLEREGION, IntersectClipRect(dc.dc(), 2, 2, 8, 8));
    EXPECT_EQ(COMPLEXREGION, ExcludeClipRect(dc.dc(), 4, 4, 6, 6));
    RECT box;
    EXPECT_EQ(COMPLEXREGION, GetClipBox(dc.dc(), &box));
    EXPECT_TRUE(same(box, RECT{2, 2, 8, 8}));
    FillRect(dc.dc(), &all, black);
    EXPECT_EQ(36 - 4, dc.countRgb(0));
    EXPECT_EQ(0xFFFFFFu, dc.rgb(5, 5));
    HRGN got = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(1, GetClipRgn(dc.dc(), got));
    EXPECT_EQ(SIMPLEREGION, SelectClipRgn(dc.dc(), nullptr));
    EXPECT_EQ(0, GetClipRgn(dc.dc(), got));
    FillRect(dc.dc(), &all, black);
    EXPECT_EQ(100, dc.countRgb(0));
    DeleteObject(got);
}

} // namespace
