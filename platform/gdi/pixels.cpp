// pixels.cpp: the row primitives of the rasteriser: reading and writing pixels of every
// store format as working values, the conversions between colour and monochrome, the 256
// ternary raster operations, and brush fills.
//
// The raster operations are not a table of 256 hand-written routines: a ROP3 code is the
// truth table of its boolean function of pattern, source and destination, so the result is
// the OR of the minterms whose bit is set, evaluated on whole 32-bit words. The common codes
// take a direct path; the rest go through the general form, which is what they mean.
#include <algorithm>
#include <cstring>

#include "gdi/gdi.h"

namespace ce::gdi {

PixelMap mapOf(Bitmap& b) {
    PixelMap m;
    if (b.data.empty()) return m;
    m.width = b.width;
    m.height = b.height;
    m.bpp = b.bpp;
    m.keepAlpha = b.keepAlpha;
    m.paletted = b.paletted;
    m.palette[0] = b.palette[0];
    m.palette[1] = b.palette[1];
    if (b.bottomUp) {
        m.top = b.data.data() + static_cast<ptrdiff_t>(b.height - 1) * b.stride;
        m.pitch = -static_cast<ptrdiff_t>(b.stride);
    } else {
        m.top = b.data.data();
        m.pitch = b.stride;
    }
    return m;
}

PixelMap mapOf(Surface& s) {
    PixelMap m;
    if (s.width <= 0 || s.height <= 0 ||
        s.pixels.size() < static_cast<size_t>(s.width) * static_cast<size_t>(s.height))
        return m;
    m.top = reinterpret_cast<uint8_t*>(s.pixels.data());
    m.pitch = static_cast<ptrdiff_t>(s.width) * 4;
    m.width = s.width;
    m.height = s.height;
    m.bpp = 32;
    m.keepAlpha = false;
    return m;
}

PixelMap targetOf(Dc& dc) {
    if (dc.memory) return dc.st.bitmap ? mapOf(*dc.st.bitmap) : PixelMap{};
    return dc.surface ? mapOf(*dc.surface) : PixelMap{};
}

POINT offsetOf(const Dc& dc) {
    POINT o = dc.st.viewportOrg;
    if (!dc.memory) {
        o.x += dc.origin.x;
        o.y += dc.origin.y;
    }
    return o;
}

RectList clipOf(Dc& dc, const PixelMap& map) {
    RectList clip;
    if (!map.valid()) return clip;
    if (dc.memory) {
        clip.add(map.bounds());
    } else {
        clip = dc.visible;
        clip.intersect(map.bounds());
    }
    if (dc.st.clip) {
        RectList region = *dc.st.clip;
        if (!dc.memory) region.offset(dc.origin.x, dc.origin.y);
        clip.intersect(region);
    }
    return clip;
}

int regionType(const RectList& rects) {
    if (rects.empty()) return NULLREGION;
    return rects.rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

uint32_t workingColor(const PixelMap& map, COLORREF c) {
    uint32_t p = colorToPixel(c & 0x00FFFFFF);
    if (map.bpp != 1) return p;
    // The nearest of the two colours of the store (black and white for a monochrome bitmap).
    auto distance = [p](uint32_t q) {
        int dr = static_cast<int>((p >> 16) & 0xFF) - static_cast<int>((q >> 16) & 0xFF);
        int dg = static_cast<int>((p >> 8) & 0xFF) - static_cast<int>((q >> 8) & 0xFF);
        int db = static_cast<int>(p & 0xFF) - static_cast<int>(q & 0xFF);
        return dr * dr + dg * dg + db * db;
    };
    return distance(map.palette[1]) < distance(map.palette[0]) ? ~0u : 0u;
}

void readWorking(const PixelMap& map, int x, int y, int n, uint32_t* out) {
    const uint8_t* row = map.row(y);
    switch (map.bpp) {
    case 32: std::memcpy(out, row + static_cast<size_t>(x) * 4, static_cast<size_t>(n) * 4); break;
    case 24:
        for (int i = 0; i < n; ++i) {
            const uint8_t* p = row + static_cast<size_t>(x + i) * 3;
            out[i] = p[0] | (p[1] << 8) | (p[2] << 16);
        }
        break;
    default:
        for (int i = 0; i < n; ++i) {
            int xi = x + i;
            out[i] = ((row[xi >> 3] >> (7 - (xi & 7))) & 1) ? ~0u : 0u;
        }
        break;
    }
}

void writeWorking(const PixelMap& map, int x, int y, int n, const uint32_t* in) {
    uint8_t* row = map.row(y);
    switch (map.bpp) {
    case 32:
        if (map.keepAlpha) {
            std::memcpy(row + static_cast<size_t>(x) * 4, in, static_cast<size_t>(n) * 4);
        } else {
            uint32_t* out = reinterpret_cast<uint32_t*>(row) + x;
            for (int i = 0; i < n; ++i)
                out[i] = in[i] | 0xFF000000u;
        }
        break;
    case 24:
        for (int i = 0; i < n; ++i) {
            uint8_t* p = row + static_cast<size_t>(x + i) * 3;
            p[0] = static_cast<uint8_t>(in[i]);
            p[1] = static_cast<uint8_t>(in[i] >> 8);
            p[2] = static_cast<uint8_t>(in[i] >> 16);
        }
        break;
    default:
        for (int i = 0; i < n; ++i) {
            int xi = x + i;
            uint8_t bit = static_cast<uint8_t>(0x80 >> (xi & 7));
            if (in[i] & 1)
                row[xi >> 3] |= bit;
            else
                row[xi >> 3] &= static_cast<uint8_t>(~bit);
        }
        break;
    }
}

void readColors(const PixelMap& map, int x, int y, int n, uint32_t* out, const uint32_t mono[2]) {
    const uint8_t* row = map.row(y);
    switch (map.bpp) {
    case 32:
        std::memcpy(out, row + static_cast<size_t>(x) * 4, static_cast<size_t>(n) * 4);
        if (!map.keepAlpha)
            for (int i = 0; i < n; ++i)
                out[i] |= 0xFF000000u;
        break;
    case 24:
        for (int i = 0; i < n; ++i) {
            const uint8_t* p = row + static_cast<size_t>(x + i) * 3;
            out[i] = 0xFF000000u | p[0] | (p[1] << 8) | (p[2] << 16);
        }
        break;
    default:
        for (int i = 0; i < n; ++i) {
            int xi = x + i;
            out[i] = 0xFF000000u | mono[(row[xi >> 3] >> (7 - (xi & 7))) & 1];
        }
        break;
    }
}

uint32_t pixelAt(const PixelMap& map, int x, int y) {
    uint32_t v;
    readColors(map, x, y, 1, &v, map.palette);
    return v & 0x00FFFFFF;
}

Conversion conversionFor(const PixelMap& src, const Dc* srcDc, const PixelMap& dst,
                         const Dc& dstDc) {
    Conversion cv;
    cv.srcMono = src.bpp == 1;
    cv.dstMono = dst.bpp == 1;
    cv.srcBkPixel = colorToPixel((srcDc ? srcDc->st.bkColor : 0xFFFFFF) & 0x00FFFFFF);
    if (cv.srcMono && !cv.dstMono) {
        if (src.paletted) {
            cv.monoColors[0] = src.palette[0];
            cv.monoColors[1] = src.palette[1];
        } else {
            cv.monoColors[0] = colorToPixel(dstDc.st.textColor & 0x00FFFFFF);
            cv.monoColors[1] = colorToPixel(dstDc.st.bkColor & 0x00FFFFFF);
        }
    }
    return cv;
}

void readConverted(const PixelMap& src, const Conversion& cv, int x, int y, int n, uint32_t* out) {
    readWorking(src, x, y, n, out);
    if (cv.srcMono == cv.dstMono) {
        // Colour to colour keeps the pixel as it is (a 24-bit source has alpha 0).
        return;
    }
    if (cv.srcMono) {
        for (int i = 0; i < n; ++i)
            out[i] = cv.monoColors[out[i] & 1];
    } else {
        for (int i = 0; i < n; ++i)
            out[i] = (out[i] & 0x00FFFFFF) == cv.srcBkPixel ? ~0u : 0u;
    }
}

namespace {

inline uint32_t rop3General(uint8_t rop, uint32_t p, uint32_t s, uint32_t d) {
    uint32_t r = 0;
    for (int i = 0; i < 8; ++i) {
        if (!((rop >> i) & 1)) continue;
        r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    }
    return r;
}

} // namespace

void applyRop3(uint8_t rop, const uint32_t* p, const uint32_t* s, uint32_t* d, int n) {
    switch (rop) {
    case 0xCC: std::memcpy(d, s, static_cast<size_t>(n) * 4); return; // S
    case 0xF0: std::memcpy(d, p, static_cast<size_t>(n) * 4); return; // P
    case 0xAA: return;                                                // D
    case 0x00: std::fill(d, d + n, 0u); return;
    case 0xFF: std::fill(d, d + n, ~0u); return;
    case 0x88: // DSa
        for (int i = 0; i < n; ++i)
            d[i] &= s[i];
        return;
    case 0x66: // DSx
        for (int i = 0; i < n; ++i)
            d[i] ^= s[i];
        return;
    case 0xEE: // DSo
        for (int i = 0; i < n; ++i)
            d[i] |= s[i];
        return;
    case 0x33: // Sn
        for (int i = 0; i < n; ++i)
            d[i] = ~s[i];
        return;
    case 0x55: // Dn
        for (int i = 0; i < n; ++i)
            d[i] = ~d[i];
        return;
    case 0x5A: // DPx
        for (int i = 0; i < n; ++i)
            d[i] ^= p[i];
        return;
    default: break;
    }
    static const uint32_t zero = 0;
    for (int i = 0; i < n; ++i)
        d[i] = rop3General(rop, p ? p[i] : zero, s ? s[i] : zero, d[i]);
}

uint8_t rop2ToRop3(int rop2) {
    if (rop2 < R2_BLACK || rop2 > R2_WHITE) rop2 = R2_COPYPEN;
    unsigned table = static_cast<unsigned>(rop2 - 1); // bit (P*2 + D)
    uint8_t rop = 0;
    for (int i = 0; i < 8; ++i) {
        int pBit = (i >> 2) & 1, dBit = i & 1;
        if ((table >> (pBit * 2 + dBit)) & 1) rop |= static_cast<uint8_t>(1 << i);
    }
    return rop;
}

bool brushRow(const Dc& dc, const Brush& brush, const PixelMap& map, int x, int y, int n,
              uint32_t* out) {
    switch (brush.log.lbStyle) {
    case BS_SOLID: std::fill(out, out + n, workingColor(map, brush.log.lbColor)); return true;
    case BS_PATTERN: {
        if (!brush.pattern) return false;
        PixelMap pm = mapOf(*brush.pattern);
        if (!pm.valid()) return false;
        Conversion cv = conversionFor(pm, &dc, map, dc);
        int ox = dc.st.brushOrg.x + (dc.memory ? 0 : dc.origin.x);
        int oy = dc.st.brushOrg.y + (dc.memory ? 0 : dc.origin.y);
        int py = ((y - oy) % pm.height + pm.height) % pm.height;
        std::vector<uint32_t> row(static_cast<size_t>(pm.width));
        readConverted(pm, cv, 0, py, pm.width, row.data());
        int px = ((x - ox) % pm.width + pm.width) % pm.width;
        for (int i = 0; i < n; ++i) {
            out[i] = row[static_cast<size_t>(px)];
            if (++px == pm.width) px = 0;
        }
        return true;
    }
    default: return false;
    }
}

void fillWithBrush(Dc& dc, const PixelMap& map, const RectList& clip, const RECT& r,
                   const Brush& brush, uint8_t rop) {
    if (brush.log.lbStyle == BS_NULL || rectEmpty(r)) return;
    std::vector<uint32_t> p, d;
    for (const RECT& c : clip.rects) {
        RECT part = intersectRects(c, r);
        if (rectEmpty(part)) continue;
        int n = part.right - part.left;
        p.resize(static_cast<size_t>(n));
        d.resize(static_cast<size_t>(n));
        for (int y = part.top; y < part.bottom; ++y) {
            if (!brushRow(dc, brush, map, part.left, y, n, p.data())) return;
            if (ropUsesDest(rop)) readWorking(map, part.left, y, n, d.data());
            applyRop3(rop, p.data(), nullptr, d.data(), n);
            writeWorking(map, part.left, y, n, d.data());
        }
    }
}

void fillSolid(const PixelMap& map, const RectList& clip, const RECT& r, uint32_t value, int rop2) {
    if (rectEmpty(r) || rop2 == R2_NOP) return;
    uint8_t rop = rop2ToRop3(rop2);
    std::vector<uint32_t> p, d;
    for (const RECT& c : clip.rects) {
        RECT part = intersectRects(c, r);
        if (rectEmpty(part)) continue;
        int n = part.right - part.left;
        p.assign(static_cast<size_t>(n), value);
        d.resize(static_cast<size_t>(n));
        for (int y = part.top; y < part.bottom; ++y) {
            if (ropUsesDest(rop)) readWorking(map, part.left, y, n, d.data());
            applyRop3(rop, p.data(), nullptr, d.data(), n);
            writeWorking(map, part.left, y, n, d.data());
        }
    }
}

} // namespace ce::gdi
