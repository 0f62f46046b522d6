// surface.h: the pixels that windows and memory bitmaps hold, and the few GDI services the
// window system builds on (device contexts over a window's surface, bitmaps made from pixels,
// regions as rectangle lists).
//
// Inside the platform only. The window system (platform/user) and the display driver
// (platform/display) include this header; GDI (platform/gdi) implements it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "windef.h"

namespace ce {

// 32-bit pixels, top-down rows without padding: pixels[y * width + x] = 0xAARRGGBB in a
// little-endian word, i.e. bytes B, G, R, A in memory (BGRA). Window content is opaque
// (alpha 0xFF); bitmaps with an alpha channel hold premultiplied colours.
struct Surface {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    Surface() = default;
    Surface(int w, int h, uint32_t fill = 0xFF000000u)
        : width(w > 0 ? w : 0), height(h > 0 ? h : 0),
          pixels(static_cast<size_t>(width) * static_cast<size_t>(height), fill) {}
    uint32_t* row(int y) { return pixels.data() + static_cast<size_t>(y) * width; }
    const uint32_t* row(int y) const { return pixels.data() + static_cast<size_t>(y) * width; }
};

// A region as a list of non-overlapping rectangles (right and bottom exclusive), the form the
// window system keeps update regions and window shapes in, and GDI keeps clip regions in.
struct RectList {
    std::vector<RECT> rects;

    bool empty() const { return rects.empty(); }
    RECT bounds() const; // all zero when empty
    bool contains(POINT p) const;
    void add(const RECT& r); // union
    void subtract(const RECT& r);
    void intersect(const RECT& r);
    void intersect(const RectList& other);
    void offset(int dx, int dy);
};

// ---- Device contexts over surfaces ---------------------------------------------------------

// A DC that draws into `surface`: the DC's point (0,0) is `origin` in the surface, and drawing
// is clipped to `clip` (surface coordinates) and to the surface. `window` is what
// WindowFromDC answers (may be null). The DC keeps the surface alive until deleteSurfaceDC.
// The DC starts with the defaults of a fresh window DC: stock black pen, white brush, system
// font, black text, white background, opaque background mode.
HDC createSurfaceDC(std::shared_ptr<Surface> surface, POINT origin, const RectList& clip,
                    HWND window);
// Replaces the origin and clip of a surface DC (a cached window DC reused by GetDC).
bool resetSurfaceDC(HDC dc, POINT origin, const RectList& clip);
// Deletes a DC made by createSurfaceDC; false when dc is not one.
bool deleteSurfaceDC(HDC dc);
// The window a surface DC was made for (null for other DCs or none).
HWND surfaceDCWindow(HDC dc);

// ---- Bitmaps --------------------------------------------------------------------------------

// A 32-bit bitmap (as CreateDIBSection would make) holding a copy of width x height pixels
// (top-down BGRA, premultiplied when hasAlpha). For resources and image loaders. Null on a
// bad size.
HBITMAP createBitmapFromPixels(int width, int height, const uint32_t* pixels, bool hasAlpha);
// A 1-bit bitmap from a row-major mask (true = 1, drawn as the background colour when
// blitted onto a colour DC). For icon masks.
HBITMAP createMonochromeBitmap(int width, int height, const std::vector<bool>& bits);

// ---- Regions as GDI objects -------------------------------------------------------------------

// The rectangles of a region object (HRGN); false when h is not a region.
bool regionRects(HRGN h, RectList* out);
// A new region object holding these rectangles.
HRGN createRegionFromRects(const RectList& rects);

} // namespace ce
