// Fonts and text: metrics from the LOGFONT, measuring agreeing with drawing, determinism,
// clipping, weights, fixed pitch, DrawTextW's formats, and the characters the product shows.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "gditest.h"
#include "windows.h"

using gditest::makeFont;
using gditest::MemDC;

namespace {

// Selects a font into a DC for the test's scope.
struct WithFont {
    HDC dc;
    HFONT font;
    HGDIOBJ old;
    WithFont(HDC d, HFONT f) : dc(d), font(f), old(SelectObject(d, f)) {}
    ~WithFont() {
        SelectObject(dc, old);
        DeleteObject(font);
    }
};

TEST(Font, NegativeHeightIsTheCharacterHeight) {
    MemDC dc(10, 10);
    WithFont f(dc.dc(), makeFont(u"Tahoma", 16));
    TEXTMETRICW tm;
    std::memset(&tm, 0xEE, sizeof tm);
    ASSERT_TRUE(GetTextMetricsW(dc.dc(), &tm));
    EXPECT_EQ(16, tm.tmHeight - tm.tmInternalLeading);
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    EXPECT_EQ(FW_NORMAL, tm.tmWeight);
    // A positive height asks for the whole cell.
    LOGFONTW lf{};
    lf.lfHeight = tm.tmHeight;
    std::memcpy(lf.lfFaceName, u"Tahoma", 7 * sizeof(WCHAR));
    WithFont cell(dc.dc(), CreateFontIndirectW(&lf));
    TEXTMETRICW tm2;
    ASSERT_TRUE(GetTextMetricsW(dc.dc(), &tm2));
    EXPECT_EQ(tm.tmHeight, tm2.tmHeight);
}

// The product starts every font from the stock system font's description.
TEST(Font, SystemFontDescribesTahoma) {
    LOGFONTW lf;
    std::memset(&lf, 0xEE, sizeof lf);
    ASSERT_EQ(static_cast<int>(sizeof lf), GetObjectW(GetStockObject(SYSTEM_FONT), sizeof lf, &lf));
    EXPECT_EQ(std::u16string(u"Tahoma"), std::u16string(lf.lfFaceName));
    EXPECT_LT(lf.lfHeight, 0);
    EXPECT_EQ(FW_NORMAL, lf.lfWeight);
    EXPECT_EQ(0, GetObjectW(GetStockObject(SYSTEM_FONT), sizeof lf - 1, &lf));
}

TEST(Font, WeightsAndFacesMeasureDifferently) {
    MemDC dc(10, 10);
    const WCHAR text[] = u"Alarm at 7:30";
    auto width = [&](const char16_t* face, int weight) {
        WithFont f(dc.dc(), makeFont(face, 14, weight));
        SIZE s{-1, -1};
        EXPECT_TRUE(GetTextExtentPoint32W(dc.dc(), text, 13, &s));
        return s.cx;
    };
    long regular = width(u"Tahoma", FW_NORMAL), semi = width(u"Tahoma", FW_SEMIBOLD),
         bold = width(u"Tahoma", FW_BOLD);
    EXPECT_LT(regular, semi);
    EXPECT_LT(semi, bold);
    // Unknown faces fall back to the same face as Tahoma.
    EXPECT_EQ(regular, width(u"No Such Face", FW_NORMAL));
    // Courier New is fixed pitch: every character advances alike.
    WithFont mono(dc.dc(), makeFont(u"Courier New", 14));
    SIZE i{}, m{};
    GetTextExtentPoint32W(dc.dc(), u"iiii", 4, &i);
    GetTextExtentPoint32W(dc.dc(), u"MMMM", 4, &m);
    EXPECT_EQ(i.cx, m.cx);
}

TEST(Text, ExtentExPointAgreesWithExtentAndCountsWhatFits) {
    MemDC dc(10, 10);
    WithFont f(dc.dc(), makeFont(u"Tahoma", 12));
    const WCHAR text[] = u"Reminder: dentist";
    const int n = 17;
    SIZE whole{};
    ASSERT_TRUE(GetTextExtentPoint32W(dc.dc(), text, n, &whole));
    int dx[n + 1];
    dx[n] = static_cast<int>(gditest::kPoison);
    int fit = -1;
    SIZE s{};
    ASSERT_TRUE(GetTextExtentExPointW(dc.dc(), text, n, -1, nullptr, dx, &s));
    EXPECT_EQ(whole.cx, s.cx);
    EXPECT_EQ(whole.cx, dx[n - 1]);
    EXPECT_EQ(static_cast<int>(gditest::kPoison), dx[n]) << "wrote past the array";
    // Exactly the first six characters fit in the extent of six.
    ASSERT_TRUE(GetTextExtentExPointW(dc.dc(), text, n, dx[5], &fit, nullptr, &s));
    EXPECT_EQ(6, fit);
    for (int i = 1; i < n; ++i)
        EXPECT_LE(dx[i - 1], dx[i]);
}

// What DT_CALCRECT answers is the box the same text covers when drawn.
TEST(DrawText, CalcRectAgreesWithWhatIsDrawn) {
    MemDC dc(200, 60, 0xFFFFFF);
    WithFont f(dc.dc(), makeFont(u"Tahoma", 13));
    SetBkMode(dc.dc(), OPAQUE);
    SetBkColor(dc.dc(), RGB(0, 0, 255));
    const WCHAR text[] = u"TEST TEXT";
    RECT calc{10, 5, 10, 5};
    int h = DrawTextW(dc.dc(), text, -1, &calc, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
    TEXTMETRICW tm;
    GetTextMetricsW(dc.dc(), &tm);
    EXPECT_EQ(tm.tmHeight, h);
    EXPECT_EQ(h, calc.bottom - calc.top);
    EXPECT_EQ(0, dc.countRgb(0x0000FF)) << "DT_CALCRECT drew";
    RECT draw{10, 5, 190, 55};
    EXPECT_EQ(h, DrawTextW(dc.dc(), text, -1, &draw, DT_SINGLELINE | DT_NOPREFIX));
    // The opaque background covers exactly the text's cells.
    RECT ink = dc.inkBounds(0xFFFFFF);
    EXPECT_EQ(calc.left, ink.left);
    EXPECT_EQ(calc.top, ink.top);
    EXPECT_EQ(calc.right, ink.right);
    EXPECT_EQ(calc.bottom, ink.bottom);
}

TEST(DrawText, SameTextTwiceGivesTheSamePixels) {
    MemDC a(120, 20), b(120, 20);
    for (MemDC* m : {&a, &b}) {
        WithFont f(m->dc(), makeFont(u"Tahoma", 12, FW_SEMIBOLD));
        RECT r{0, 0, 120, 20};
        DrawTextW(m->dc(), u"Übermorgen 12:45 ½", -1, &r, DT_SINGLELINE | DT_VCENTER);
    }
    int differ = 0, ink = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 120; ++x) {
            differ += a.rgb(x, y) != b.rgb(x, y);
            ink += a.rgb(x, y) != 0xFFFFFF;
        }
    EXPECT_EQ(0, differ);
    EXPECT_GT(ink, 50);
}

TEST(DrawText, ClipRectangleCutsTheText) {
    MemDC dc(100, 20);
    WithFont f(dc.dc(), makeFont(u"Tahoma", 14));
    SetBkMode(dc.dc(), TRANSPARENT);
    RECT clip{20, 0, 40, 20};
    ASSERT_TRUE(ExtTextOutW(dc.dc(), 2, 2, ETO_CLIPPED, &clip, u"WWWWWWWWWWWW", 12, nullptr));
    RECT ink = dc.inkBounds(0xFFFFFF);
    EXPECT_EQ(20, ink.left);
    EXPECT_EQ(40, ink.right);
    // The clip region of the DC cuts it too.
    dc.fill(0xFFFFFF);
    IntersectClipRect(dc.dc(), 0, 0, 10, 20);
    ASSERT_TRUE(ExtTextOutW(dc.dc(), 2, 2, 0, nullptr, u"WWWWWWWWWWWW", 12, nullptr));
    EXPECT_EQ(10, dc.inkBounds(0xFFFFFF).right);
}

TEST(DrawText, AlignmentWrappingAndEllipsis) {
    MemDC dc(100, 100);
    WithFont f(dc.dc(), makeFont(u"Tahoma", 12));
    TEXTMETRICW tm;
    GetTextMetricsW(dc.dc(), &tm);
    SIZE word{};
    GetTextExtentPoint32W(dc.dc(), u"alarm", 5, &word);
    // Right alignment ends the text at the rectangle's right edge.
    RECT r{0, 0, 100, 30};
    DrawTextW(dc.dc(), u"alarm", 5, &r, DT_SINGLELINE | DT_RIGHT);
    RECT ink = dc.inkBounds(0xFFFFFF);
    EXPECT_LE(ink.right, 100);
    EXPECT_GE(ink.left, 100 - word.cx);
    // DT_VCENTER returns the offset of the text's bottom from the top.
    dc.fill(0xFFFFFF);
    RECT mid{0, 0, 100, 40};
    EXPECT_EQ((40 - tm.tmHeight) / 2 + tm.tmHeight,
              DrawTextW(dc.dc(), u"alarm", 5, &mid, DT_SINGLELINE | DT_VCENTER));
    // Words wrap onto as many lines as they need; the width shrinks to the widest line.
    RECT wrap{0, 0, word.cx + 2, 0};
    int h = DrawTextW(dc.dc(), u"alarm alarm alarm", -1, &wrap, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_EQ(3 * tm.tmHeight, h);
    EXPECT_EQ(word.cx, wrap.right);
    // A line too long for the rectangle ends in "..." inside it.
    dc.fill(0xFFFFFF);
    RECT narrow{0, 0, 40, 20};
    DrawTextW(dc.dc(), u"A very long reminder title", -1, &narrow,
              DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOCLIP);
    EXPECT_LE(dc.inkBounds(0xFFFFFF).right, 40);
    // Without DT_NOPREFIX "&&" shows one ampersand.
    RECT amp1{0, 0, 100, 20}, amp2{0, 0, 100, 20};
    DrawTextW(dc.dc(), u"A&&B", -1, &amp1, DT_SINGLELINE | DT_CALCRECT);
    DrawTextW(dc.dc(), u"A&B", -1, &amp2, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
    EXPECT_EQ(amp2.right, amp1.right);
}

TEST(Text, NonAntialiasedQualityDrawsOnlyTwoColours) {
    MemDC dc(60, 20);
    WithFont f(dc.dc(), makeFont(u"Tahoma", 14, FW_NORMAL, NONANTIALIASED_QUALITY));
    SetTextColor(dc.dc(), RGB(200, 0, 0));
    ExtTextOutW(dc.dc(), 0, 0, 0, nullptr, u"Snooze", 6, nullptr);
    int text = dc.countRgb(0xC80000), white = dc.countRgb(0xFFFFFF);
    EXPECT_GT(text, 20);
    EXPECT_EQ(60 * 20, text + white);
}

// The Japanese, Korean and Chinese reminder titles draw real glyphs (from the CJK fallback
// font), not the missing-glyph box a private-use character gets.
// The reminder titles of Chinese, Japanese and Korean devices draw real glyphs from the
// fallback fonts: each differs from the missing-glyph box of a private-use character.
TEST(Text, CjkCharactersAreNotMissingGlyphBoxes) {
    MemDC box(20, 20);
    {
        WithFont f(box.dc(), makeFont(u"Tahoma", 16));
        ExtTextOutW(box.dc(), 0, 0, 0, nullptr, u"\uE000", 1, nullptr);
    }
    for (const char16_t* ch : {u"\u65E5", u"\u30EA", u"\uC54C"}) { // Chinese, Japanese, Hangul
        MemDC cjk(20, 20);
        WithFont f(cjk.dc(), makeFont(u"Tahoma", 16));
        ExtTextOutW(cjk.dc(), 0, 0, 0, nullptr, ch, 1, nullptr);
        int differ = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                differ += box.rgb(x, y) != cjk.rgb(x, y);
        EXPECT_GT(differ, 10) << "U+" << std::hex << int(ch[0])
                              << " drew the missing-glyph box (are the CJK fallbacks installed?)";
    }
}

} // namespace
