// navigate.cpp: the pen and the keys on the item.
//
// Hit testing and the item actions are not built yet: no point hits a skin item, no key is used
// inside the item (the Today screen moves the selection on), and painting goes straight to the
// painter.
#include "navigate.h"

#include "paint.h"

LONG isSkinItem(LONG x, LONG y, LONG up) {
    (void)x;
    (void)y;
    (void)up;
    return -1;
}

void itemTapped(HWND window, LONG x, LONG y, LONG item) {
    (void)window;
    (void)x;
    (void)y;
    (void)item;
}

void onStylusDown(HWND window, LONG x, LONG y, LONG item) {
    (void)window;
    (void)x;
    (void)y;
    (void)item;
}

void onThumbDrag(LONG y) {
    (void)y;
}

void onFingerDrag(LONG y, LONG previousY) {
    (void)y;
    (void)previousY;
}

BOOL onNavKey(HWND window, UINT key) {
    (void)window;
    (void)key;
    return FALSE;
}

void onRotate(HWND window, HDC dc) {
    (void)window;
    drawSkin(dc);
}
