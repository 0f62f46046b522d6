// navigate.h: the pen and the keys on the item: which skin item a point hits, the actions of
// the buttons, scrolling, thumb and finger drags, key navigation, and the reaction to a turned
// screen.
#pragma once

#include <windows.h>

// The skin item at (x, y), or -1; up is 0 while the pen goes down.
LONG isSkinItem(LONG x, LONG y, LONG up);
// Runs the action of a tapped skin item.
void itemTapped(HWND window, LONG x, LONG y, LONG item);
// The pen went down on a skin item: scroll buttons, thumb, tap-and-hold.
void onStylusDown(HWND window, LONG x, LONG y, LONG item);
void onThumbDrag(LONG y);
void onFingerDrag(LONG y, LONG previousY);
// A navigation key while the item has the selection: TRUE when it was used inside the item,
// FALSE when the Today screen is to move the selection on.
BOOL onNavKey(HWND window, UINT key);
// The paint handler: reacts to a turned screen, else draws the item into dc.
void onRotate(HWND window, HDC dc);
