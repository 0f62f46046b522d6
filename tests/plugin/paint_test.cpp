// paint_test.cpp: the painter: the product's skins painted with fixed lists on a frozen clock
// and compared with reference pictures, and the rules behind them (scroll bar only for a list
// that overflows, the alarm-time forms, grouping, the cut to fit, the icons, quiet mode, the
// no-skin view, the highlight frame and the host colour by hue).
#include "painttest.h"

#include "paint.h"

using painttest::at;
using painttest::Line;
using painttest::matchesGolden;
using painttest::PaintTest;
using painttest::Picture;

namespace {

class PaintQvga : public PaintTest {};

class PaintVga : public PaintTest {
protected:
    PaintVga() : PaintTest("vga") {}
};

// A week's mix of kinds, as the demo shows it.
std::vector<Line> mixedList() {
    return {
        {KIND_CLOCK, u"Wake up", at(1, 6, 30), at(1, 6, 30)},
        {KIND_CAL, u"Team meeting", at(1, 9, 45), at(1, 10, 0)},
        {KIND_TASK, u"Send the report", at(2, 12, 0), at(2, 12, 0)},
        {KIND_BIRTHDAY, u"Birthday: Anna Berg", at(3, 0, 0, 1), SYSTEMTIME{}},
    };
}

const SkinItem& textWindow() {
    return currentSkin->items[SKIN_TEXTWINDOW];
}

} // namespace

// ---- The product's skins, as they look ---------------------------------------------------------

TEST_F(PaintQvga, DefaultSkinWithFixedList) {
    loadProductSkin(u"Default");
    setList(mixedList());
    SIZE size = itemSize();
    ASSERT_EQ(240, size.cx);
    ASSERT_EQ(90, size.cy);
    Picture picture(size.cx, size.cy);
    paint(&picture);
    EXPECT_TRUE(matchesGolden(picture, "default_qvga"));
    // Four lines fit the five of the window: no scroll bar, every line shown.
    EXPECT_EQ(5, visibleLines);
}

TEST_F(PaintVga, DefaultVgaSkinWithFixedList) {
    loadProductSkin(u"DefaultVGA");
    setList(mixedList());
    SIZE size = itemSize();
    ASSERT_EQ(480, size.cx);
    Picture picture(size.cx, size.cy);
    paint(&picture);
    EXPECT_TRUE(matchesGolden(picture, "defaultvga_vga"));
}

// ---- Scroll bar --------------------------------------------------------------------------------

// The scroll buttons and the thumb appear only when the list is longer than the window; the
// thumb's step shares the track between the buttons among the lines that do not fit.
TEST_F(PaintQvga, ScrollBarOnlyForAListThatOverflows) {
    loadProductSkin(u"Default");
    const SkinItem& up = currentSkin->items[SKIN_SCROLLUP];
    const SkinItem& down = currentSkin->items[SKIN_SCROLLDOWN];
    ASSERT_TRUE(up.enabled && down.enabled && currentSkin->scroller);
    SIZE size = itemSize();

    setHourlyList(3);
    Picture fits(size.cx, size.cy);
    paint(&fits);
    EXPECT_TRUE(matchesGolden(fits, "list_fits"));
    EXPECT_FLOAT_EQ(0.0f, thumbStep);

    setHourlyList(12);
    backgroundDirty = TRUE;
    Picture overflows(size.cx, size.cy);
    paint(&overflows);
    EXPECT_TRUE(matchesGolden(overflows, "list_overflows"));
    const LONG column = up.left, width = up.right - up.left;
    EXPECT_FALSE(fits.sameArea(overflows, column, up.top, width, up.bottom - up.top));
    EXPECT_FALSE(fits.sameArea(overflows, column, down.top, width, down.bottom - down.top));
    const LONG visible = (textWindow().bottom - textWindow().top) / currentSkin->lineHeight;
    EXPECT_EQ(visible, visibleLines);
    const float step = static_cast<float>(down.top - currentSkin->scrollerHeight - up.bottom) /
                       static_cast<float>(12 - visible);
    EXPECT_FLOAT_EQ(step, thumbStep);
}

// Scrolled to the end, the last line is in the window and the thumb sits on the scroll-down
// button; a list that then shrinks is not left scrolled past its end.
TEST_F(PaintQvga, ScrolledListAndAListThatShrank) {
    loadProductSkin(u"Default");
    SIZE size = itemSize();
    setHourlyList(12);
    Picture first(size.cx, size.cy);
    paint(&first);
    pluginState.firstLine = 12 - visibleLines;
    pluginState.thumbTop =
        scrollThumbOrigin() + static_cast<LONG>(pluginState.firstLine * thumbStep);
    Picture end(size.cx, size.cy);
    paint(&end);
    EXPECT_TRUE(matchesGolden(end, "list_scrolled_end"));

    setHourlyList(6);
    paint(&end);
    EXPECT_EQ(6 - visibleLines, pluginState.firstLine);
    EXPECT_EQ(scrollThumbOrigin() + static_cast<LONG>(pluginState.firstLine * thumbStep),
              pluginState.thumbTop);
}

// Without image_scrollup the thumb runs along the text window's right edge over the window's
// whole height.
TEST_F(PaintQvga, ThumbWithoutScrollButtons) {
    loadProductSkin(u"Default");
    currentSkin->items[SKIN_SCROLLUP].enabled = FALSE;
    currentSkin->items[SKIN_SCROLLDOWN].enabled = FALSE;
    currentSkin->thumbOrigin = 0; // as the loader leaves it for a skin without image_scrollup
    pluginState.thumbTop = scrollThumbOrigin();
    EXPECT_EQ(0, pluginState.thumbTop);
    setHourlyList(12);
    SIZE size = itemSize();
    Picture picture(size.cx, size.cy);
    paint(&picture);
    const LONG height = textWindow().bottom - textWindow().top;
    EXPECT_FLOAT_EQ(static_cast<float>(height - currentSkin->scrollerHeight) /
                        static_cast<float>(12 - visibleLines),
                    thumbStep);
    EXPECT_TRUE(matchesGolden(picture, "thumb_without_buttons"));
}

// ---- The line's texts ---------------------------------------------------------------------------

// alarmFormat 2 ("At end"): the appointment's 10:00 first, the reminder's 09:45 appended.
TEST_F(PaintQvga, AlarmFormatAtEnd) {
    setRegDword(u"alarmFormat", 2);
    loadSettings();
    loadProductSkin(u"Default");
    setList({{KIND_CAL, u"Budget", at(1, 9, 45), at(1, 10, 0)}});
    SIZE size = itemSize();
    Picture picture(size.cx, size.cy);
    paint(&picture);
    EXPECT_TRUE(matchesGolden(picture, "alarmformat_at_end"));
}

// An item whose event time is its alarm time has nothing to append: "At beginning" then looks
// like "Only alarm time" instead of repeating the time in parentheses.
TEST_F(PaintQvga, NoAppendedTimeWhenItRepeatsTheShownOne) {
    loadProductSkin(u"Default");
    setList({{KIND_CLOCK, u"Wake up", at(1, 6, 30), at(1, 6, 30)}});
    SIZE size = itemSize();
    getSettings().alarmFormat = 0;
    Picture atBeginning(size.cx, size.cy);
    paint(&atBeginning);
    getSettings().alarmFormat = 1;
    Picture alone(size.cx, size.cy);
    paint(&alone);
    EXPECT_TRUE(atBeginning.sameArea(alone, 0, 0, size.cx, size.cy));
    // A reminder 15 minutes early does append its appointment's time.
    setList({{KIND_CAL, u"Wake up", at(1, 6, 30), at(1, 6, 45)}});
    getSettings().alarmFormat = 0;
    Picture appended(size.cx, size.cy);
    paint(&appended);
    EXPECT_FALSE(appended.sameArea(alone, 0, 0, size.cx, size.cy));
}

// dateIndent: three items on one day print the date once; the later times line up under the
// first one's.
TEST_F(PaintQvga, DateIndentGroupsOneDay) {
    setRegDword(u"dateIndent", 1);
    loadSettings();
    loadProductSkin(u"Default");
    setList({{KIND_CAL, u"Stand-up", at(2, 9, 0), at(2, 9, 0)},
             {KIND_TASK, u"Order toner", at(2, 11, 30), at(2, 11, 30)},
             {KIND_CLOCK, u"Gym", at(2, 18, 0), at(2, 18, 0)},
             {KIND_CAL, u"Dinner", at(3, 19, 0), at(3, 19, 0)}});
    SIZE size = itemSize();
    Picture picture(size.cx, size.cy);
    paint(&picture);
    EXPECT_TRUE(matchesGolden(picture, "dateindent_one_day"));
}

// A text too long for the line is cut to fit, without an ellipsis; with alignText the texts
// start in one column.
TEST_F(PaintQvga, TextCutToFitAndAligned) {
    loadProductSkin(u"Default");
    setList({{KIND_CAL, u"Quarterly planning with the whole department and the guests from abroad",
              at(1, 9, 0), at(1, 9, 0)},
             {KIND_TASK, u"Short", at(12, 10, 0), at(12, 10, 0)}});
    SIZE size = itemSize();
    Picture cut(size.cx, size.cy);
    paint(&cut);
    EXPECT_TRUE(matchesGolden(cut, "text_cut"));
    getSettings().alignText = 1;
    Picture aligned(size.cx, size.cy);
    paint(&aligned);
    EXPECT_TRUE(matchesGolden(aligned, "text_aligned"));
}

// ---- Icons ------------------------------------------------------------------------------------

// Kind 17, the companion product's alarm, has no icon of its own and shows small_note; a skin
// without small icons falls back to the built-in icons.
TEST_F(PaintQvga, CompanionAlarmShowsTheNoteIcon) {
    loadProductSkin(u"Default");
    SIZE size = itemSize();
    const SkinItem& text = textWindow();
    const LONG iconWidth = currentSkin->smallIcons[KIND_NOTE].width;
    const LONG iconHeight = currentSkin->lineHeight;
    ASSERT_GT(iconWidth, 0);
    setList({{KIND_COMPANION, u"Profile: Meeting", at(1, 13, 0), at(1, 13, 0)}});
    Picture companion(size.cx, size.cy);
    paint(&companion);
    EXPECT_TRUE(matchesGolden(companion, "kind17_note_icon"));
    setList({{KIND_NOTE, u"Profile: Meeting", at(1, 13, 0), at(1, 13, 0)}});
    Picture note(size.cx, size.cy);
    paint(&note);
    EXPECT_TRUE(companion.sameArea(note, text.left, text.top, 3 + iconWidth, iconHeight));
    setList({{KIND_CLOCK, u"Profile: Meeting", at(1, 13, 0), at(1, 13, 0)}});
    Picture clock(size.cx, size.cy);
    paint(&clock);
    EXPECT_FALSE(companion.sameArea(clock, text.left, text.top, 3 + iconWidth, iconHeight));
}

// ---- Quiet mode, no skin ---------------------------------------------------------------------

// In quiet mode image_mute's picture stands where image_vol is.
TEST_F(PaintQvga, QuietModeShowsTheMuteImage) {
    loadProductSkin(u"Default");
    setList(mixedList());
    SIZE size = itemSize();
    const SkinItem& vol = currentSkin->items[SKIN_VOL];
    ASSERT_TRUE(vol.enabled && currentSkin->items[SKIN_MUTE].bitmap);
    getSettings().quietMode = 0;
    Picture loud(size.cx, size.cy);
    paint(&loud);
    getSettings().quietMode = 1;
    Picture quiet(size.cx, size.cy);
    paint(&quiet);
    EXPECT_TRUE(matchesGolden(quiet, "quiet_mode"));
    EXPECT_FALSE(
        loud.sameArea(quiet, vol.left, vol.top, vol.right - vol.left, vol.bottom - vol.top));
    // Nothing else changes.
    EXPECT_TRUE(loud.sameArea(quiet, 0, vol.bottom, size.cx, size.cy - vol.bottom));
}

// Without a skin file the item says so at (20, 1) and logs the skin's name.
TEST_F(PaintQvga, NoSkinFound) {
    load(u"missing");
    ASSERT_NE(nullptr, currentSkin);
    ASSERT_TRUE(currentSkin->noSkinFile);
    SetWindowPos(pluginState.pluginWindow, nullptr, 0, 0, 240, currentSkin->todayHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    setList(mixedList());
    Picture picture(240, 18);
    paint(&picture);
    EXPECT_TRUE(matchesGolden(picture, "no_skin"));
    EXPECT_EQ(1, logCount("** No skin found! skin: "));
    // paintData draws nothing without a skin.
    Picture untouched(240, 18);
    paintData(untouched.dc());
    EXPECT_EQ(0xdeadbeef & 0xFFFFFF, untouched.rgb(120, 9));
}

// ---- Selection and highlight -------------------------------------------------------------------

// With the whole item selected and a button of nav_order focused, the frame goes round that
// button in the skin's highlight colour; on the text window or with a line selected there is
// none.
TEST_F(PaintQvga, HighlightFrameRoundTheFocusedButton) {
    // The scheme's own selection colour (SHColor), not the device's title-text override.
    HKEY colours = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Color", 0,
                                           KEY_ALL_ACCESS, &colours));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(colours, u"34"));
    RegCloseKey(colours);
    loadProductSkin(u"Default");
    setList(mixedList());
    SIZE size = itemSize();
    // Painted once before the Today screen gives it the focus: the text window has its
    // background.
    Picture before(size.cx, size.cy);
    paint(&before);
    pluginState.hasFocus = TRUE;
    pluginState.navIndex = 0;
    const SkinItem& button = currentSkin->items[currentSkin->navOrder[0]];
    Picture framed(size.cx, size.cy);
    paint(&framed);
    EXPECT_TRUE(matchesGolden(framed, "hilite_first_button"));
    EXPECT_EQ(currentSkin->hiliteColour & 0xFFFFFF,
              ((framed.rgb(button.left, button.top) & 0xFF) << 16 |
               (framed.rgb(button.left, button.top) & 0xFF00) |
               (framed.rgb(button.left, button.top) >> 16)));
    EXPECT_EQ(1, logCount("drawSkinHilite: item:"));

    pluginState.selectedLine = 1;
    Picture line(size.cx, size.cy);
    paint(&line);
    EXPECT_TRUE(matchesGolden(line, "selected_line"));
    EXPECT_EQ(1, logCount("drawSkinHilite: item:"));
}

// ---- paintData on its own ---------------------------------------------------------------

// A negative first line is logged and reset; the list then starts at its first line.
TEST_F(PaintQvga, NegativeFirstLineIsReset) {
    loadProductSkin(u"Default");
    setHourlyList(3);
    SIZE size = itemSize();
    Picture reference(size.cx, size.cy);
    paint(&reference);
    pluginState.firstLine = -4;
    Picture picture(size.cx, size.cy);
    paint(&picture);
    EXPECT_EQ(0, pluginState.firstLine);
    EXPECT_EQ(1, logCount("paintData: nFirstTextItem < 0"));
    EXPECT_TRUE(reference.sameArea(picture, 0, 0, size.cx, size.cy));
}

// A skin whose measured line height is not the one its font draws takes the drawn height and
// asks the window for a new item height.
TEST_F(PaintQvga, LineHeightFollowsTheFont) {
    loadProductSkin(u"Default");
    setHourlyList(2);
    const LONG measured = currentSkin->lineHeight;
    currentSkin->lineHeight = measured + 5;
    pluginState.heightChanged = FALSE;
    SIZE size = itemSize();
    Picture picture(size.cx, size.cy);
    paint(&picture);
    EXPECT_EQ(measured, currentSkin->lineHeight);
    EXPECT_TRUE(pluginState.heightChanged);
    EXPECT_TRUE(windowTimerRunning(TIMER_SKINREFRESH));
}

// The background behind the text window is the Today screen's, captured at the item's place.
TEST_F(PaintQvga, TextWindowShowsTheTodayBackground) {
    loadProductSkin(u"Default");
    setList({});
    SIZE size = itemSize();
    Picture picture(size.cx, size.cy);
    paint(&picture);
    const SkinItem& text = textWindow();
    POINT origin = {0, 0};
    MapWindowPoints(pluginState.pluginWindow, today, &origin, 1);
    const LONG y = text.top + 10;
    EXPECT_EQ(painttest::backgroundRow(static_cast<int>(y + origin.y)),
              picture.rgb(text.left + 40, y));
    EXPECT_FALSE(backgroundDirty);
}

// ---- Host colour
// -------------------------------------------------------------------------------

// The host window's colour follows the scheme's hue: 123 is grey, lower hues count from 256,
// the ranges pick the colours, bit 23 darkens hues from 301, and no colour key means black.
TEST(HostColour, IndexByHue) {
    struct Case {
        BOOL opened;
        DWORD hue;
        LONG index;
    } cases[] = {
        {FALSE, 300, 9},
        {TRUE, 123, 1},
        {TRUE, 0, 5},
        {TRUE, 12, 5},
        {TRUE, 13, 7},
        {TRUE, 268, 5},
        {TRUE, 269, 7},
        {TRUE, 294, 7},
        {TRUE, 295, 2},
        {TRUE, 354, 2},
        {TRUE, 355, 3},
        {TRUE, 393, 3},
        {TRUE, 394, 4},
        {TRUE, 424, 4},
        {TRUE, 425, 8},
        {TRUE, 439, 8},
        {TRUE, 440, 6},
        {TRUE, 474, 6},
        {TRUE, 475, 5},
        {TRUE, 493, 5},
        {TRUE, 494, 6},
        {TRUE, 511, 6},
        {TRUE, 512 + 300, 2},
        {TRUE, (1u << 23) | 300, 2},
        {TRUE, (1u << 23) | 301, 9},
        {TRUE, (1u << 23) | 45, 9},
        {TRUE, (1u << 23) | 123, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.index, hostColourIndex(c.opened, c.hue))
            << "opened " << c.opened << ", BaseHue 0x" << std::hex << c.hue;
}
