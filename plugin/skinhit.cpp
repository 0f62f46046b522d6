// skinhit.cpp: whether a point of a skin item's picture is transparent, for skins that let
// taps through the transparent parts of their buttons (transp_nohit). The picture is drawn
// exactly as the painter draws it, onto magenta; a point still magenta afterwards is one
// the picture left alone.
#include "skin.h"

#include "image.h"

#define PROBE_COLOUR RGB(255, 0, 255)
// 96 dots per inch.
#define PROBE_PELS_PER_METER 3780

BOOL isTransparentAt(LONG item, LONG x, LONG y) {
    const SkinDef* skin = currentSkin;
    if (!skin || item < 0 || item >= SKIN_ITEM_COUNT) return FALSE;
    const SkinItem& it = skin->items[item];
    const LONG width = it.right - it.left;
    const LONG height = it.bottom - it.top;
    if (!it.bitmap || width <= 0 || height <= 0 || x < 0 || y < 0 || x >= width || y >= height)
        return FALSE;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = (width + 3) & ~3;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biXPelsPerMeter = PROBE_PELS_PER_METER;
    info.bmiHeader.biYPelsPerMeter = PROBE_PELS_PER_METER;
    void* bits = NULL;
    HBITMAP probe = CreateDIBSection(NULL, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HDC dc = probe ? CreateCompatibleDC(NULL) : NULL;
    BOOL transparent = FALSE;
    if (dc) {
        HGDIOBJ old = SelectObject(dc, probe);
        HBRUSH magenta = CreateSolidBrush(PROBE_COLOUR);
        RECT all = {0, 0, info.bmiHeader.biWidth, height};
        FillRect(dc, &all, magenta);
        DeleteObject(magenta);
        drawTransparent(dc, it.bitmap, 0, 0);
        transparent = GetPixel(dc, x, y) == PROBE_COLOUR;
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    if (probe) DeleteObject(probe);
    return transparent;
}
