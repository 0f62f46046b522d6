// alpha.cpp: AlphaBlend, TransparentBlt / TransparentImage and GradientFill: the per-pixel
// colour operations, as opposed to the bitwise raster operations of blit.cpp.
//
// AlphaBlend follows the documented source-over formulas on premultiplied pixels:
//   with AC_SRC_ALPHA:  Dst = Src' + Dst * (255 - Src'.alpha) / 255, where Src' is the source
//                       pixel scaled by SourceConstantAlpha / 255;
//   without:            Dst = Src * SCA / 255 + Dst * (255 - SCA) / 255;
// each division rounds to the nearest integer, so alpha 255 copies and alpha 0 keeps.
#include <algorithm>
#include <cstdlib>

#include "gdi/gdi.h"
#include "kernel/trace.h"

namespace ce::gdi {
namespace {

inline uint32_t div255(uint32_t v) {
    return (v + 127) / 255;
}

inline uint32_t channel(uint32_t c, int shift) {
    return (c >> shift) & 0xFF;
}

// Calls combine(sourceColour, destinationColour&) for every destination pixel of the
// clipped destination rectangle, mapping it to its source pixel (nearest, stretching); a
// combine returning false leaves the pixel as it was.
template <class Combine>
void perPixel(Dc& dst, int xd, int yd, int wd, int hd, const PixelMap& src, int xs, int ys, int ws,
              int hs, const uint32_t mono[2], Combine combine) {
    PixelMap map = targetOf(dst);
    if (!map.valid() || wd <= 0 || hd <= 0) return;
    RectList clip = clipOf(dst, map);
    POINT off = offsetOf(dst);
    RECT target{xd + off.x, yd + off.y, xd + off.x + wd, yd + off.y + hd};
    std::vector<uint32_t> s, d, out;
    for (const RECT& c : clip.rects) {
        RECT part = intersectRects(c, target);
        if (rectEmpty(part)) continue;
        int n = part.right - part.left;
        d.resize(static_cast<size_t>(n));
        out.resize(static_cast<size_t>(n));
        for (int y = part.top; y < part.bottom; ++y) {
            int sy = mapIndex(y - target.top, hd, ys, hs, false);
            int lo = mapIndex(part.left - target.left, wd, xs, ws, false);
            int hi = mapIndex(part.right - 1 - target.left, wd, xs, ws, false);
            s.resize(static_cast<size_t>(hi - lo + 1));
            readColors(src, lo, sy, hi - lo + 1, s.data(), mono);
            readColors(map, part.left, y, n, d.data(), map.palette);
            readWorking(map, part.left, y, n, out.data());
            const bool straight = ws == wd;
            for (int i = 0; i < n; ++i) {
                int sx =
                    straight ? lo + i : mapIndex(part.left + i - target.left, wd, xs, ws, false);
                uint32_t color = d[static_cast<size_t>(i)];
                if (!combine(s[static_cast<size_t>(sx - lo)], color)) continue;
                out[static_cast<size_t>(i)] =
                    map.bpp == 1 ? workingColor(map, pixelToColor(color & 0xFFFFFF)) : color;
            }
            writeWorking(map, part.left, y, n, out.data());
        }
    }
}

bool sourceRectInside(const PixelMap& src, int xs, int ys, int ws, int hs) {
    return xs >= 0 && ys >= 0 && ws >= 0 && hs >= 0 && xs <= src.width - ws &&
           ys <= src.height - hs;
}

bool transparentBlit(Dc& dst, int xd, int yd, int wd, int hd, const PixelMap& src, const Dc* srcDc,
                     int xs, int ys, int ws, int hs, COLORREF key) {
    if (wd < 0 || hd < 0 || ws <= 0 || hs <= 0 || !sourceRectInside(src, xs, ys, ws, hs)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    // A monochrome source shows in the destination's text (0) and background (1) colours.
    uint32_t mono[2] = {colorToPixel(dst.st.textColor & 0xFFFFFF),
                        colorToPixel(dst.st.bkColor & 0xFFFFFF)};
    if (src.paletted) {
        mono[0] = src.palette[0];
        mono[1] = src.palette[1];
    }
    const uint32_t keyPixel = colorToPixel(key & 0xFFFFFF);
    perPixel(dst, xd, yd, wd, hd, src, xs, ys, ws, hs, mono, [&](uint32_t s, uint32_t& d) {
        if ((s & 0xFFFFFF) == keyPixel) return false;
        d = src.bpp == 32 && src.keepAlpha ? s : (s | 0xFF000000u);
        return true;
    });
    (void)srcDc;
    return true;
}

} // namespace
} // namespace ce::gdi

using namespace ce::gdi;

WINGDIAPI BOOL AlphaBlend(HDC hdcDest, int xoriginDest, int yoriginDest, int wDest, int hDest,
                          HDC hdcSrc, int xoriginSrc, int yoriginSrc, int wSrc, int hSrc,
                          BLENDFUNCTION ftn) {
    Guard g(gdiLock());
    auto dst = lookupDc(hdcDest);
    auto srcDc = lookupDc(hdcSrc);
    if (!dst || !srcDc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    PixelMap src = targetOf(*srcDc);
    POINT so = offsetOf(*srcDc);
    int xs = xoriginSrc + so.x, ys = yoriginSrc + so.y;
    if (ftn.BlendOp != AC_SRC_OVER || (ftn.AlphaFormat & ~AC_SRC_ALPHA) || wDest < 0 || hDest < 0 ||
        !src.valid() || !sourceRectInside(src, xs, ys, wSrc, hSrc)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (wSrc == 0 || hSrc == 0) return TRUE;
    const uint32_t sca = ftn.SourceConstantAlpha;
    const bool perPixelAlpha = (ftn.AlphaFormat & AC_SRC_ALPHA) != 0;
    const uint32_t mono[2] = {colorToPixel(dst->st.textColor & 0xFFFFFF),
                              colorToPixel(dst->st.bkColor & 0xFFFFFF)};
    perPixel(*dst, xoriginDest, yoriginDest, wDest, hDest, src, xs, ys, wSrc, hSrc, mono,
             [&](uint32_t s, uint32_t& d) {
                 uint32_t out = 0;
                 if (perPixelAlpha) {
                     if (sca != 255) {
                         uint32_t scaled = 0;
                         for (int sh = 0; sh < 32; sh += 8)
                             scaled |= div255(channel(s, sh) * sca) << sh;
                         s = scaled;
                     }
                     uint32_t a = channel(s, 24);
                     if (a == 255) {
                         d = s;
                         return true;
                     }
                     for (int sh = 0; sh < 32; sh += 8) {
                         uint32_t v = channel(s, sh) + div255(channel(d, sh) * (255 - a));
                         out |= std::min<uint32_t>(v, 255) << sh;
                     }
                 } else {
                     for (int sh = 0; sh < 32; sh += 8) {
                         uint32_t v = div255(channel(s, sh) * sca + channel(d, sh) * (255 - sca));
                         out |= std::min<uint32_t>(v, 255) << sh;
                     }
                 }
                 d = out;
                 return true;
             });
    return TRUE;
}

WINGDIAPI BOOL TransparentBlt(HDC hdcDest, int xoriginDest, int yoriginDest, int wDest, int hDest,
                              HDC hdcSrc, int xoriginSrc, int yoriginSrc, int wSrc, int hSrc,
                              UINT crTransparent) {
    Guard g(gdiLock());
    auto dst = lookupDc(hdcDest);
    auto srcDc = lookupDc(hdcSrc);
    if (!dst || !srcDc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    PixelMap src = targetOf(*srcDc);
    POINT so = offsetOf(*srcDc);
    if (!src.valid()) return FALSE;
    return transparentBlit(*dst, xoriginDest, yoriginDest, wDest, hDest, src, srcDc.get(),
                           xoriginSrc + so.x, yoriginSrc + so.y, wSrc, hSrc, crTransparent)
               ? TRUE
               : FALSE;
}

WINGDIAPI BOOL TransparentImage(HDC hdcDest, LONG DstX, LONG DstY, LONG DstCx, LONG DstCy,
                                HANDLE hSrc, LONG SrcX, LONG SrcY, LONG SrcCx, LONG SrcCy,
                                COLORREF TransparentColor) {
    Guard g(gdiLock());
    if (lookupDc(static_cast<HDC>(hSrc)))
        return TransparentBlt(hdcDest, DstX, DstY, DstCx, DstCy, static_cast<HDC>(hSrc), SrcX, SrcY,
                              SrcCx, SrcCy, TransparentColor);
    auto dst = lookupDc(hdcDest);
    auto bitmap = lookupAs<Bitmap>(hSrc, Kind::Bitmap);
    if (!dst || !bitmap) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    PixelMap src = mapOf(*bitmap);
    return transparentBlit(*dst, DstX, DstY, DstCx, DstCy, src, nullptr, SrcX, SrcY, SrcCx, SrcCy,
                           TransparentColor)
               ? TRUE
               : FALSE;
}

WINGDIAPI BOOL GradientFill(HDC hdc, PTRIVERTEX pVertex, ULONG dwNumVertex, PVOID pMesh,
                            ULONG dwNumMesh, ULONG dwMode) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc || !pVertex || !pMesh) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (dwMode != GRADIENT_FILL_RECT_H && dwMode != GRADIENT_FILL_RECT_V) {
        CE_FIXME("gdi", "gradient mode %u", dwMode);
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PixelMap map = targetOf(*dc);
    if (!map.valid()) return TRUE;
    ce::RectList clip = clipOf(*dc, map);
    POINT off = offsetOf(*dc);
    const GRADIENT_RECT* rects = static_cast<const GRADIENT_RECT*>(pMesh);
    std::vector<uint32_t> row;
    for (ULONG i = 0; i < dwNumMesh; ++i) {
        if (rects[i].UpperLeft >= dwNumVertex || rects[i].LowerRight >= dwNumVertex) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        const TRIVERTEX& a = pVertex[rects[i].UpperLeft];
        const TRIVERTEX& b = pVertex[rects[i].LowerRight];
        // The colours run from the upper-left vertex to the lower-right one whichever way
        // round the rectangle was given.
        RECT r{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
        const TRIVERTEX& first = (dwMode == GRADIENT_FILL_RECT_H ? a.x <= b.x : a.y <= b.y) ? a : b;
        const TRIVERTEX& last = &first == &a ? b : a;
        int span = dwMode == GRADIENT_FILL_RECT_H ? r.right - r.left : r.bottom - r.top;
        if (span <= 0) continue;
        auto colorAt = [&](int t) {
            auto lerp = [&](COLOR16 c0, COLOR16 c1) {
                int64_t v = c0 + (static_cast<int64_t>(c1) - c0) * t / span;
                return static_cast<uint32_t>(v >> 8) & 0xFF;
            };
            uint32_t px = (lerp(first.Alpha, last.Alpha) << 24) |
                          (lerp(first.Red, last.Red) << 16) | (lerp(first.Green, last.Green) << 8) |
                          lerp(first.Blue, last.Blue);
            return map.bpp == 1 ? workingColor(map, pixelToColor(px & 0xFFFFFF)) : px;
        };
        RECT target = offsetRect(r, off);
        for (const RECT& c : clip.rects) {
            RECT part = intersectRects(c, target);
            if (rectEmpty(part)) continue;
            int n = part.right - part.left;
            row.resize(static_cast<size_t>(n));
            for (int y = part.top; y < part.bottom; ++y) {
                if (dwMode == GRADIENT_FILL_RECT_H) {
                    for (int x = 0; x < n; ++x)
                        row[static_cast<size_t>(x)] = colorAt(part.left + x - target.left);
                } else {
                    std::fill(row.begin(), row.end(), colorAt(y - target.top));
                }
                writeWorking(map, part.left, y, n, row.data());
            }
        }
    }
    return TRUE;
}
