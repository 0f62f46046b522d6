// paint.h: painting the item: the skin, the alarm list in its text window, the scroll bar and
// the navigation highlight, composed off screen and put on the screen in one blit.
#pragma once

#include <windows.h>

// Lines of the list that fit into the text window, and the thumb's step per line.
extern LONG visibleLines;
extern LONG thumbStep;
// The background is to be fetched anew (from the Today screen or the host) at the next paint.
extern BOOL backgroundDirty;

// Paints the whole item into dc.
void drawSkin(HDC dc);
// Paints the list into the text window; with a null dc onto the window's own DC.
void paintData(HDC dc);
