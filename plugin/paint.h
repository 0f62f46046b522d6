// paint.h: painting the item: the background (the Today screen's watermark, the host's
// colour or the selection colour), the skin's pictures, the alarm list in its text window, the
// scroll bar and the navigation highlight, composed off screen and put on the screen in one
// blit, so that the Today screen never shows a half-drawn item.
//
// The display state below belongs to the window thread; the navigation code (hit tests,
// scrolling, keys) changes it and the painter shows it.
#pragma once

#include <windows.h>

// Lines of the list that fit into the text window (0 while the line height is 0), recomputed
// at every paint.
extern LONG visibleLines;
// Pixels the scroll thumb moves per list line, recomputed at every paint of a list that
// overflows the text window.
extern float thumbStep;
// The Today screen's background behind the text window is to be captured anew at the next
// paint (the item moved, changed size or got a new skin).
extern BOOL backgroundDirty;
// A list line or the whole item is shown selected (a tap-and-hold on a line sets it); the
// item also shows its selection while the Today screen has given it the focus.
extern BOOL lineSelectMode;

// Whether the item shows a selection: lineSelectMode, or the Today screen's focus.
BOOL selectionShown(void);

// Paints the whole item into dc: the no-skin message without a skin, else background, skin
// pictures, list, scroll bar and highlight, composed off screen and copied in one blit.
void drawSkin(HDC dc);
// Paints the list into the text window of dc (item coordinates); with a null dc onto the item
// window's own DC. Sets pluginState.heightChanged and starts the skin-refresh timer when the
// line height it measured differs from the skin's.
void paintData(HDC dc);
// Draws the navigation frame around the skin button that has the key focus, when the whole
// item is selected (no list line) and a button of the skin's nav_order has the focus.
void drawSkinHilite(HDC dc);

// The host window's background colour, chosen from the hue of the system colour scheme
// (HKLM Software\Microsoft\Color, BaseHue).
COLORREF hostBackgroundColour(void);
// The index (0 to 9) into the host colour table for a BaseHue value; keyOpened FALSE (the
// colour key does not exist) gives 9, black.
LONG hostColourIndex(BOOL keyOpened, DWORD baseHue);
