// gdi.h: the inside of the device's GDI: the object table (pens, brushes, fonts, bitmaps,
// regions, device contexts), pixel stores and the row primitives every drawing call is built
// from.
//
// Drawing works the way Wine's DIB engine does: a DC draws into a pixel store (a bitmap, or a
// window's Surface) seen through a PixelMap, whatever its format (32-bit BGRA, 24-bit BGR,
// 1-bit); operations clip to a list of rectangles and then work a row at a time on 32-bit
// "working" values: the pixel itself for colour stores, 0 or all ones for 1-bit stores, so
// that one raster-operation routine serves every format. A DIB section's memory is the pixel
// store itself, so writes through its bits pointer and GDI drawing see the same pixels.
//
// Every API entry takes the GDI lock (one per process) for its whole call.
//
// Inside the platform only.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "windows.h"

#include "gdi/surface.h"

namespace ce::gdi {

std::recursive_mutex& gdiLock();
using Guard = std::lock_guard<std::recursive_mutex>;

// ---- Objects ----------------------------------------------------------------------------------
enum class Kind { Pen, Brush, Font, Bitmap, Region, Dc };

struct Object {
    virtual ~Object() = default;
    virtual Kind kind() const = 0;
    uint32_t handle = 0; // its value in the table (kept after deletion: SelectObject returns it)
    bool stock = false;
};

struct Bitmap;

struct Pen : Object {
    Kind kind() const override { return Kind::Pen; }
    LOGPEN log{};
};

struct Brush : Object {
    Kind kind() const override { return Kind::Brush; }
    LOGBRUSH log{};
    std::shared_ptr<Bitmap> pattern; // BS_PATTERN: a private copy of the bitmap
};

struct FontFace; // font.cpp

struct Font : Object {
    Kind kind() const override { return Kind::Font; }
    LOGFONTW log{};
    std::shared_ptr<FontFace> face; // resolved at first use
};

struct Region : Object {
    Kind kind() const override { return Kind::Region; }
    RectList rects;
};

// Pixels of a bitmap. Rows are `stride` bytes apart (padded to 4 bytes for DIB sections, 2
// for device-dependent bitmaps, as Windows pads them) and stored top-down unless bottomUp.
struct Bitmap : Object {
    Kind kind() const override { return Kind::Bitmap; }
    int width = 0;
    int height = 0;
    int bpp = 32;          // 1, 24 or 32
    int stride = 0;        // bytes per row
    bool bottomUp = false; // DIB sections with a positive height
    bool dib = false;      // made by CreateDIBSection (GetObject answers a DIBSECTION)
    bool keepAlpha = true; // 32-bit: false for the screen's format (alpha is forced opaque)
    bool paletted = false; // 1-bit DIB section: draws with `palette`, not the DC's colours
    uint32_t palette[2] = {0x000000, 0xFFFFFF}; // 1-bit: colours of 0 and 1 (0x00RRGGBB)
    BITMAPINFOHEADER info{};                    // DIB sections: the header as made
    DWORD masks[3] = {0, 0, 0};                 // DIB sections with BI_BITFIELDS
    std::vector<uint8_t> data;
    uint32_t selectedInto = 0; // the DC handle it is selected into, 0 for none
};

struct DcState {
    std::shared_ptr<Pen> pen;
    std::shared_ptr<Brush> brush;
    std::shared_ptr<Font> font;
    std::shared_ptr<Bitmap> bitmap; // memory DCs
    COLORREF textColor = 0x000000;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;
    UINT textAlign = TA_LEFT | TA_TOP;
    int rop2 = R2_COPYPEN;
    int stretchMode = BLACKONWHITE;
    POINT viewportOrg{0, 0};
    POINT brushOrg{0, 0};
    POINT current{0, 0};
    std::optional<RectList> clip; // device coordinates
};

struct Dc : Object {
    Kind kind() const override { return Kind::Dc; }
    bool memory = false;
    std::shared_ptr<Bitmap> defaultBitmap; // memory DCs: their own 1x1 bitmap
    DcState st;
    std::vector<DcState> saved;
    // Surface DCs (windows, the screen).
    std::shared_ptr<Surface> surface;
    POINT origin{0, 0};
    RectList visible; // surface coordinates
    HWND window = nullptr;
};

uint32_t insertObject(const std::shared_ptr<Object>& object);
std::shared_ptr<Object> lookupObject(const void* handle);
bool removeObject(const void* handle);

template <class T>
std::shared_ptr<T> lookupAs(const void* handle, Kind kind) {
    auto object = lookupObject(handle);
    if (!object || object->kind() != kind) return nullptr;
    return std::static_pointer_cast<T>(object);
}
inline std::shared_ptr<Dc> lookupDc(HDC dc) {
    return lookupAs<Dc>(dc, Kind::Dc);
}
inline void* handleOf(const std::shared_ptr<Object>& o) {
    return o ? ULongToHandle(o->handle) : nullptr;
}

// The stock objects (made once, never deleted) and the defaults a new DC starts with.
std::shared_ptr<Object> stockObject(int index);
void setDefaultState(DcState& st);
// The monochrome 1x1 bitmap a new memory DC starts with: one per DC, in the object table
// (GetCurrentObject answers it) as a stock object that DeleteObject leaves alone; DeleteDC
// takes it away.
std::shared_ptr<Bitmap> newDefaultBitmap();
// Releases a memory DC's hold on a bitmap, unless the DC still holds it in a saved state.
void releaseBitmapOf(Dc& dc, const std::shared_ptr<Bitmap>& bitmap);

// ---- Pixel stores -------------------------------------------------------------------------------
struct PixelMap {
    uint8_t* top = nullptr; // the top row
    ptrdiff_t pitch = 0;    // bytes from a row to the one below it (negative for bottom-up)
    int width = 0;
    int height = 0;
    int bpp = 32;
    bool keepAlpha = true;
    bool paletted = false;
    uint32_t palette[2] = {0x000000, 0xFFFFFF};

    bool valid() const { return top != nullptr && width > 0 && height > 0; }
    uint8_t* row(int y) const { return top + static_cast<ptrdiff_t>(y) * pitch; }
    RECT bounds() const { return RECT{0, 0, width, height}; }
};

PixelMap mapOf(Bitmap& bitmap);
PixelMap mapOf(Surface& surface);
// What the DC draws into (invalid when it has nothing), and how its logical coordinates map
// there: target = logical + offset.
PixelMap targetOf(Dc& dc);
POINT offsetOf(const Dc& dc);
// The DC's effective clip in target coordinates: the visible part of a surface (or the whole
// bitmap) cut by the clip region.
RectList clipOf(Dc& dc, const PixelMap& map);

// COLORREF (0x00BBGGRR, possibly with a palette flag) as a 0x00RRGGBB pixel.
inline uint32_t colorToPixel(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline COLORREF pixelToColor(uint32_t p) {
    return ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16);
}
// A colour as the working value of a store: the pixel for colour stores, 0 or ~0 (nearest
// palette entry) for 1-bit stores.
uint32_t workingColor(const PixelMap& map, COLORREF c);

// Reads n pixels from (x, y) as working values / writes them back. Writes to 32-bit stores
// without alpha force the alpha byte to 0xFF.
void readWorking(const PixelMap& map, int x, int y, int n, uint32_t* out);
void writeWorking(const PixelMap& map, int x, int y, int n, const uint32_t* in);
// Reads n pixels as 0xAARRGGBB colours (1-bit pixels through `mono`: colours of 0 and 1).
void readColors(const PixelMap& map, int x, int y, int n, uint32_t* out, const uint32_t mono[2]);
// One pixel's colour for GetPixel.
uint32_t pixelAt(const PixelMap& map, int x, int y);

// Source pixels converted to the destination's working values, as Windows converts between
// colour and monochrome (srcBk: the source DC's background colour; dstText/dstBk the
// destination DC's text and background colours).
struct Conversion {
    bool srcMono = false;
    bool dstMono = false;
    uint32_t srcBkPixel = 0;  // colour -> mono: equal to this becomes 1
    uint32_t monoColors[2]{}; // mono -> colour: working values of 0 and 1
};
Conversion conversionFor(const PixelMap& src, const Dc* srcDc, const PixelMap& dst,
                         const Dc& dstDc);
void readConverted(const PixelMap& src, const Conversion& cv, int x, int y, int n, uint32_t* out);

// The ternary raster operation `rop` (bits 16..23 of a ROP code) on n pixels: d = rop(p, s, d).
// p or s may be null when the operation does not use them.
void applyRop3(uint8_t rop, const uint32_t* p, const uint32_t* s, uint32_t* d, int n);
inline bool ropUsesSource(uint8_t rop) {
    return (((rop >> 2) ^ rop) & 0x33) != 0;
}
inline bool ropUsesPattern(uint8_t rop) {
    return (((rop >> 4) ^ rop) & 0x0F) != 0;
}
inline bool ropUsesDest(uint8_t rop) {
    return (((rop >> 1) ^ rop) & 0x55) != 0;
}
// The ROP3 that a ROP2 mode with a pen or brush amounts to (pattern in place of the pen).
uint8_t rop2ToRop3(int rop2);

// The brush's working values for n pixels from target (x, y); false for a null brush.
bool brushRow(const Dc& dc, const Brush& brush, const PixelMap& map, int x, int y, int n,
              uint32_t* out);
// Fills the rectangle (target coordinates) with the brush through the ROP3, clipped.
void fillWithBrush(Dc& dc, const PixelMap& map, const RectList& clip, const RECT& r,
                   const Brush& brush, uint8_t rop);
// Fills a rectangle with one working value through ROP2 (pens), clipped.
void fillSolid(const PixelMap& map, const RectList& clip, const RECT& r, uint32_t value, int rop2);

// Blits (StretchBlt semantics) from a pixel store into a DC: the destination in the DC's
// logical coordinates, the source in the store's own. srcDc (may be null) gives the source's
// background colour for colour-to-monochrome conversion. With a mask (1-bit), the high byte
// of rop applies where the mask is 0. Returns false on bad arguments.
bool stretchBlit(Dc& dst, int xd, int yd, int wd, int hd, const PixelMap& src, const Dc* srcDc,
                 int xs, int ys, int ws, int hs, DWORD rop, const PixelMap* mask = nullptr,
                 int xm = 0, int ym = 0);
// Stretching: destination column or row i of n maps to source index from + (2i + 1) * size /
// (2n), the source pixel under the centre of the destination pixel (mirrored with flip).
inline int mapIndex(int i, int n, int from, int size, bool flip) {
    int k =
        static_cast<int>((static_cast<int64_t>(2 * i + 1) * size) / (2 * static_cast<int64_t>(n)));
    return flip ? from + size - 1 - k : from + k;
}
// A store over DIB bits a program passes in (rows rows of the image starting at scan line
// firstScan); *topScanOut receives the band's top row counted from the image's top.
PixelMap mapOfDib(const BITMAPINFO* bmi, UINT usage, const void* bits, int firstScan, int rows,
                  int* topScanOut);

// ---- Helpers shared by the drawing files
// ---------------------------------------------------------
inline bool rectEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}
inline RECT intersectRects(const RECT& a, const RECT& b) {
    RECT r{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
           a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
    if (rectEmpty(r)) return RECT{0, 0, 0, 0};
    return r;
}
inline RECT offsetRect(RECT r, POINT o) {
    r.left += o.x;
    r.right += o.x;
    r.top += o.y;
    r.bottom += o.y;
    return r;
}
// The region type (NULLREGION, SIMPLEREGION, COMPLEXREGION) of a list.
int regionType(const RectList& rects);
// A rectangle larger than any device, for "no clip region".
constexpr RECT kHugeRect{-0x3FFFFFFF, -0x3FFFFFFF, 0x3FFFFFFF, 0x3FFFFFFF};

// Device facts of the display, for GetDeviceCaps and fonts.
int screenDpi();

} // namespace ce::gdi
