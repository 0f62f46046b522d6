// blit.cpp: BitBlt, PatBlt, StretchBlt and MaskBlt: raster operations between a DC's pixels,
// a source and the selected brush.
//
// All four are one routine (stretchBlit): the destination rectangle is cut by the clip
// list; each row's source pixels are fetched (nearest pixel when stretching, mirrored when
// the signs of the sizes differ), converted between colour and monochrome as Windows does,
// and combined with the brush pattern and the destination by the ROP3. Where source and
// destination are the same pixels (scrolling), the source is copied first, so overlapping
// blits read what was there before.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "gdi/gdi.h"
#include "kernel/trace.h"

namespace ce::gdi {
namespace {

constexpr int kMaxBlitSide = 1 << 15;

} // namespace

bool stretchBlit(Dc& dst, int xd, int yd, int wd, int hd, const PixelMap& srcIn, const Dc* srcDc,
                 int xs, int ys, int ws, int hs, DWORD rop, const PixelMap* mask, int xm, int ym) {
    const uint8_t fore = static_cast<uint8_t>(rop >> 16);
    const uint8_t back = mask ? static_cast<uint8_t>(rop >> 24) : fore;
    const bool useSrc = ropUsesSource(fore) || ropUsesSource(back);
    const bool usePat = ropUsesPattern(fore) || ropUsesPattern(back);
    const bool useDst = ropUsesDest(fore) || ropUsesDest(back);
    if (std::abs(wd) > kMaxBlitSide || std::abs(hd) > kMaxBlitSide || std::abs(ws) > kMaxBlitSide ||
        std::abs(hs) > kMaxBlitSide)
        return false;
    if (useSrc && !srcIn.valid()) return false;
    if (wd == 0 || hd == 0 || (useSrc && (ws == 0 || hs == 0))) return true;
    if (!useSrc) {
        ws = wd;
        hs = hd;
    }
    bool flipX = (wd < 0) != (ws < 0);
    bool flipY = (hd < 0) != (hs < 0);
    if (wd < 0) {
        xd += wd;
        wd = -wd;
    }
    if (hd < 0) {
        yd += hd;
        hd = -hd;
    }
    if (ws < 0) {
        xs += ws;
        ws = -ws;
    }
    if (hs < 0) {
        ys += hs;
        hs = -hs;
    }

    PixelMap map = targetOf(dst);
    if (!map.valid()) return true;
    RectList clip = clipOf(dst, map);
    POINT off = offsetOf(dst);
    RECT target{xd + off.x, yd + off.y, xd + off.x + wd, yd + off.y + hd};

    // Columns and rows of the destination whose source pixel exists.
    std::vector<int> cols(static_cast<size_t>(wd));
    int c0 = wd, c1 = 0;
    for (int i = 0; i < wd; ++i) {
        int sx = useSrc ? mapIndex(i, wd, xs, ws, flipX) : 0;
        cols[static_cast<size_t>(i)] = sx;
        if (!useSrc || (sx >= 0 && sx < srcIn.width)) {
            c0 = std::min(c0, i);
            c1 = std::max(c1, i + 1);
        }
    }
    if (c0 >= c1) return true;
    target.left += c0;
    target.right = target.left + (c1 - c0);

    // Reading and writing the same memory: take a copy of the source first.
    PixelMap src = srcIn;
    std::vector<uint8_t> copy;
    if (useSrc && src.top == map.top) {
        size_t rowBytes = static_cast<size_t>(std::abs(src.pitch));
        copy.resize(rowBytes * static_cast<size_t>(src.height));
        for (int y = 0; y < src.height; ++y)
            std::memcpy(copy.data() + rowBytes * static_cast<size_t>(y), src.row(y), rowBytes);
        src.top = copy.data();
        src.pitch = static_cast<ptrdiff_t>(rowBytes);
    }
    Conversion cv;
    if (useSrc) cv = conversionFor(src, srcDc, map, dst);
    const bool straight = useSrc && ws == wd && !flipX;

    std::vector<uint32_t> p, s, d, d2, line, m;
    for (const RECT& c : clip.rects) {
        RECT part = intersectRects(c, target);
        if (rectEmpty(part)) continue;
        int n = part.right - part.left;
        int firstCol = part.left - (xd + off.x);
        p.resize(static_cast<size_t>(n));
        s.resize(static_cast<size_t>(n));
        d.resize(static_cast<size_t>(n));
        for (int y = part.top; y < part.bottom; ++y) {
            int row = y - (yd + off.y);
            if (useSrc) {
                int sy = mapIndex(row, hd, ys, hs, flipY);
                if (sy < 0 || sy >= src.height) continue;
                if (straight) {
                    readConverted(src, cv, cols[static_cast<size_t>(firstCol)], sy, n, s.data());
                } else {
                    int lo = cols[static_cast<size_t>(firstCol)];
                    int hi = cols[static_cast<size_t>(firstCol + n - 1)];
                    if (lo > hi) std::swap(lo, hi);
                    line.resize(static_cast<size_t>(hi - lo + 1));
                    readConverted(src, cv, lo, sy, hi - lo + 1, line.data());
                    for (int i = 0; i < n; ++i)
                        s[static_cast<size_t>(i)] =
                            line[static_cast<size_t>(cols[static_cast<size_t>(firstCol + i)] - lo)];
                }
            }
            if (usePat) {
                if (!dst.st.brush || !brushRow(dst, *dst.st.brush, map, part.left, y, n, p.data()))
                    return true; // a null brush draws nothing
            }
            if (useDst) readWorking(map, part.left, y, n, d.data());
            if (!mask) {
                if (fore == 0xCC) {
                    writeWorking(map, part.left, y, n, s.data());
                    continue;
                }
                applyRop3(fore, usePat ? p.data() : nullptr, useSrc ? s.data() : nullptr, d.data(),
                          n);
            } else {
                d2 = d;
                applyRop3(fore, usePat ? p.data() : nullptr, useSrc ? s.data() : nullptr, d.data(),
                          n);
                applyRop3(back, usePat ? p.data() : nullptr, useSrc ? s.data() : nullptr, d2.data(),
                          n);
                m.resize(static_cast<size_t>(n));
                int mx = xm + (part.left - target.left) + c0;
                int my = ym + row;
                for (int i = 0; i < n; ++i) {
                    int x = mx + i;
                    bool bit = false;
                    if (x >= 0 && x < mask->width && my >= 0 && my < mask->height) {
                        uint32_t v;
                        readWorking(*mask, x, my, 1, &v);
                        bit = v & 1;
                    }
                    if (!bit) d[static_cast<size_t>(i)] = d2[static_cast<size_t>(i)];
                }
            }
            writeWorking(map, part.left, y, n, d.data());
        }
    }
    return true;
}

} // namespace ce::gdi

using namespace ce::gdi;

namespace {

// The source DC's pixels and where its logical origin sits in them.
bool sourceOf(HDC hdcSrc, std::shared_ptr<Dc>* dc, PixelMap* map, POINT* off) {
    *dc = lookupDc(hdcSrc);
    if (!*dc) return false;
    *map = targetOf(**dc);
    *off = offsetOf(**dc);
    return map->valid();
}

} // namespace

WINGDIAPI BOOL BitBlt(HDC hdcDest, int nXDest, int nYDest, int nWidth, int nHeight, HDC hdcSrc,
                      int nXSrc, int nYSrc, DWORD dwRop) {
    return StretchBlt(hdcDest, nXDest, nYDest, nWidth, nHeight, hdcSrc, nXSrc, nYSrc, nWidth,
                      nHeight, dwRop);
}

WINGDIAPI BOOL PatBlt(HDC hdc, int nXLeft, int nYLeft, int nWidth, int nHeight, DWORD dwRop) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc || ropUsesSource(static_cast<uint8_t>(dwRop >> 16))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return stretchBlit(*dc, nXLeft, nYLeft, nWidth, nHeight, PixelMap{}, nullptr, 0, 0, 0, 0, dwRop)
               ? TRUE
               : FALSE;
}

WINGDIAPI BOOL StretchBlt(HDC hdcDest, int nXOriginDest, int nYOriginDest, int nWidthDest,
                          int nHeightDest, HDC hdcSrc, int nXOriginSrc, int nYOriginSrc,
                          int nWidthSrc, int nHeightSrc, DWORD dwRop) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdcDest);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const uint8_t rop = static_cast<uint8_t>(dwRop >> 16);
    std::shared_ptr<Dc> srcDc;
    PixelMap src;
    POINT off{0, 0};
    if (ropUsesSource(rop)) {
        if (!sourceOf(hdcSrc, &srcDc, &src, &off)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
    return stretchBlit(*dc, nXOriginDest, nYOriginDest, nWidthDest, nHeightDest, src, srcDc.get(),
                       nXOriginSrc + off.x, nYOriginSrc + off.y, nWidthSrc, nHeightSrc, dwRop)
               ? TRUE
               : FALSE;
}

WINGDIAPI BOOL MaskBlt(HDC hdcDest, int nXDest, int nYDest, int nWidth, int nHeight, HDC hdcSrc,
                       int nXSrc, int nYSrc, HBITMAP hbmMask, int xMask, int yMask, DWORD dwRop) {
    Guard g(gdiLock());
    if (!hbmMask) {
        return BitBlt(hdcDest, nXDest, nYDest, nWidth, nHeight, hdcSrc, nXSrc, nYSrc,
                      dwRop & 0x00FFFFFF);
    }
    auto dc = lookupDc(hdcDest);
    auto maskBitmap = lookupAs<Bitmap>(hbmMask, Kind::Bitmap);
    if (!dc || !maskBitmap || maskBitmap->bpp != 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PixelMap mask = mapOf(*maskBitmap);
    std::shared_ptr<Dc> srcDc;
    PixelMap src;
    POINT off{0, 0};
    uint8_t fore = static_cast<uint8_t>(dwRop >> 16), back = static_cast<uint8_t>(dwRop >> 24);
    if (ropUsesSource(fore) || ropUsesSource(back)) {
        if (!sourceOf(hdcSrc, &srcDc, &src, &off)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
    return stretchBlit(*dc, nXDest, nYDest, nWidth, nHeight, src, srcDc.get(), nXSrc + off.x,
                       nYSrc + off.y, nWidth, nHeight, dwRop, &mask, xMask, yMask)
               ? TRUE
               : FALSE;
}
