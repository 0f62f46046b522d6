// Pixel tests: scenes drawn into memory DCs compared with the reference pictures in
// tests/golden/gdi (see gditest.h for updating them and for what a failure leaves behind).
#include <gtest/gtest.h>

#include "gditest.h"
#include "windows.h"

using gditest::makeFont;
using gditest::MemDC;

namespace {

// Shapes, pens, brushes, a gradient and an alpha overlay: the drawing the host and the skins
// do, in one picture.
TEST(Golden, ShapesAndBlending) {
    MemDC dc(96, 64, 0xFFFFFF);
    TRIVERTEX v[2] = {{0, 0, 0x2000, 0x4000, 0xC000, 0}, {96, 64, 0xE000, 0xE000, 0xF000, 0}};
    GRADIENT_RECT gr{0, 1};
    GradientFill(dc.dc(), v, 2, &gr, 1, GRADIENT_FILL_RECT_V);
    HBRUSH navy = CreateSolidBrush(RGB(0, 0, 128));
    HPEN pen = CreatePen(PS_SOLID, 2, RGB(255, 128, 0));
    HGDIOBJ oldBrush = SelectObject(dc.dc(), navy), oldPen = SelectObject(dc.dc(), pen);
    Rectangle(dc.dc(), 4, 4, 40, 30);
    Ellipse(dc.dc(), 48, 6, 90, 34);
    RoundRect(dc.dc(), 10, 36, 60, 60, 12, 12);
    const POINT hilite[5] = {{64, 40}, {92, 40}, {92, 60}, {64, 60}, {64, 40}};
    Polyline(dc.dc(), hilite, 5);
    MemDC overlay(20, 20, 0);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            overlay.set(x, y, 0x80800000u); // half red, premultiplied
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc.dc(), 30, 20, 40, 40, overlay.dc(), 0, 0, 20, 20, bf);
    SelectObject(dc.dc(), oldBrush);
    SelectObject(dc.dc(), oldPen);
    DeleteObject(navy);
    DeleteObject(pen);
    EXPECT_TRUE(gditest::matchesGolden(dc, "shapes"));
}

// The texts the device shows: Latin-1, German and French, "½", the weights, an underline,
// and the Japanese, Korean and Chinese reminder titles.
TEST(Golden, Texts) {
    MemDC dc(200, 112, 0xFFFFFF);
    struct Line {
        const char16_t* text;
        int weight;
        bool underline;
    };
    const Line lines[] = {
        {u"Wecker: Übermorgen ½ 7:30", FW_NORMAL, false},
        {u"Réveil à 6h00 — café", FW_SEMIBOLD, false},
        {u"Snooze 5 min ÀÉÎÕÜ ß", FW_BOLD, false},
        {u"Reminder settings", FW_NORMAL, true},
        {u"会議 회의 会议", FW_NORMAL, false},
    };
    int y = 2;
    for (const Line& l : lines) {
        HFONT font = makeFont(u"Tahoma", 13, l.weight, CLEARTYPE_QUALITY, l.underline);
        HGDIOBJ old = SelectObject(dc.dc(), font);
        RECT r{4, y, 196, y + 20};
        SetTextColor(dc.dc(), RGB(0, 0, 0));
        SetBkMode(dc.dc(), TRANSPARENT);
        y += DrawTextW(dc.dc(), l.text, -1, &r, DT_SINGLELINE | DT_NOPREFIX) + 4;
        SelectObject(dc.dc(), old);
        DeleteObject(font);
    }
    HFONT mono = makeFont(u"Courier New", 12, FW_NORMAL, NONANTIALIASED_QUALITY);
    HGDIOBJ old = SelectObject(dc.dc(), mono);
    SetBkMode(dc.dc(), OPAQUE);
    SetBkColor(dc.dc(), RGB(0, 0, 128));
    SetTextColor(dc.dc(), RGB(255, 255, 255));
    RECT r{100, 94, 196, 110};
    DrawTextW(dc.dc(), u"12:00", -1, &r, DT_SINGLELINE | DT_RIGHT | DT_VCENTER);
    SelectObject(dc.dc(), old);
    DeleteObject(mono);
    EXPECT_TRUE(gditest::matchesGolden(dc, "texts"));
}

} // namespace
