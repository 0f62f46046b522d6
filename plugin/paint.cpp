// paint.cpp: painting the item.
//
// The painter is not built yet: the item draws nothing and, without a skin, stays 0 pixels
// high on the Today screen.
#include "paint.h"

LONG visibleLines = 0;
LONG thumbStep = 0;
BOOL backgroundDirty = TRUE;

void drawSkin(HDC dc) {
    (void)dc;
}

void paintData(HDC dc) {
    (void)dc;
}
