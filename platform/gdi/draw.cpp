// draw.cpp: pixels, lines and shapes: GetPixel/SetPixel, MoveToEx/LineTo, Polyline, Polygon,
// Rectangle, RoundRect, Ellipse, and USER's rectangle painters FillRect, FrameRect,
// InvertRect, DrawFocusRect (USER owns them on Windows; they are plain GDI here).
//
// Lines are Bresenham lines that leave out their last point, as Windows draws them; a pen
// wider than one pixel stamps a square of its width centred on each point. Filled shapes
// are drawn a row of pixels at a time: a pixel belongs to the shape when its centre does,
// which makes a shape's right and bottom edges exclusive like a rectangle's.
#include <algorithm>
#include <cmath>

#include "gdi/gdi.h"
#include "kernel/trace.h"

using namespace ce::gdi;

namespace {

struct Canvas {
    Dc& dc;
    PixelMap map;
    ce::RectList clip;
    POINT off;
    explicit Canvas(Dc& d) : dc(d), map(targetOf(d)), clip(clipOf(d, map)), off(offsetOf(d)) {}
    bool ok() const { return map.valid(); }
};

void plot(const Canvas& c, int x, int y, uint32_t value, uint8_t rop) {
    if (!c.clip.contains(POINT{x, y})) return;
    uint32_t d = 0, p = value;
    if (ropUsesDest(rop)) readWorking(c.map, x, y, 1, &d);
    applyRop3(rop, &p, nullptr, &d, 1);
    writeWorking(c.map, x, y, 1, &d);
}

// The pen as a stamp: width, working colour, ROP; false for a null pen.
struct PenStamp {
    int width = 1;
    uint32_t value = 0;
    uint8_t rop = 0xF0;
};

bool penOf(const Canvas& c, PenStamp* s) {
    const Pen* pen = c.dc.st.pen.get();
    if (!pen || pen->log.lopnStyle == PS_NULL) return false;
    s->width = std::max<int>(1, pen->log.lopnWidth.x);
    s->value = workingColor(c.map, pen->log.lopnColor);
    s->rop = rop2ToRop3(c.dc.st.rop2);
    return true;
}

void stamp(const Canvas& c, const PenStamp& s, int x, int y) {
    if (s.width == 1) {
        plot(c, x, y, s.value, s.rop);
        return;
    }
    int from = -(s.width - 1) / 2;
    for (int dy = 0; dy < s.width; ++dy)
        for (int dx = 0; dx < s.width; ++dx)
            plot(c, x + from + dx, y + from + dy, s.value, s.rop);
}

// A line in target coordinates from (x0, y0) up to, not including, (x1, y1).
void line(const Canvas& c, const PenStamp& s, int x0, int y0, int x1, int y1) {
    int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    // Lines far outside any device are not walked pixel by pixel.
    if (dx > 1 << 16 || -dy > 1 << 16) return;
    while (x0 != x1 || y0 != y1) {
        stamp(c, s, x0, y0);
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

// The pixels of row y inside a rounded rectangle [l, r) x [t, b) whose corners are
// quarter-ellipses of radii rx, ry: [*x0, *x1), false when the row has none.
bool roundSpan(double l, double t, double r, double b, double rx, double ry, int y, int* x0,
               int* x1) {
    double yc = y + 0.5;
    if (yc < t || yc >= b || r <= l) return false;
    double inset = 0;
    if (rx > 0 && ry > 0) {
        double dy = 0;
        if (yc < t + ry)
            dy = t + ry - yc;
        else if (yc > b - ry)
            dy = yc - (b - ry);
        if (dy > 0) {
            double f = 1.0 - (dy / ry) * (dy / ry);
            if (f < 0) return false;
            inset = rx - rx * std::sqrt(f);
        }
    }
    double left = l + inset, right = r - inset;
    *x0 = static_cast<int>(std::ceil(left - 0.5));
    *x1 = static_cast<int>(std::ceil(right - 0.5));
    return *x1 > *x0;
}

// Fills the rounded rectangle with the brush and outlines it with the pen (a ring of the
// pen's width inside the shape), all in target coordinates.
void roundShape(const Canvas& c, RECT r, int rx, int ry) {
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    if (r.right - r.left > 1 << 16 || r.bottom - r.top > 1 << 16) return;
    PenStamp pen;
    bool outline = penOf(c, &pen);
    int w = outline ? pen.width : 0;
    const Brush* brush = c.dc.st.brush.get();
    RECT bounds = intersectRects(r, c.clip.bounds());
    for (int y = bounds.top; y < bounds.bottom; ++y) {
        int o0, o1, i0 = 0, i1 = 0;
        if (!roundSpan(r.left, r.top, r.right, r.bottom, rx, ry, y, &o0, &o1)) continue;
        bool inner = roundSpan(r.left + w, r.top + w, r.right - w, r.bottom - w,
                               std::max(0, rx - w), std::max(0, ry - w), y, &i0, &i1);
        if (inner && brush)
            fillWithBrush(c.dc, c.map, c.clip, RECT{i0, y, i1, y + 1}, *brush, 0xF0);
        if (!outline) continue;
        if (!inner) {
            fillSolid(c.map, c.clip, RECT{o0, y, o1, y + 1}, pen.value, c.dc.st.rop2);
        } else {
            fillSolid(c.map, c.clip, RECT{o0, y, i0, y + 1}, pen.value, c.dc.st.rop2);
            fillSolid(c.map, c.clip, RECT{i1, y, o1, y + 1}, pen.value, c.dc.st.rop2);
        }
    }
}

template <class F>
BOOL withCanvas(HDC hdc, F fn) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Canvas c(*dc);
    if (!c.ok()) return TRUE;
    return fn(c) ? TRUE : FALSE;
}

// A brush handle, or a system colour index + 1 as window classes give their background.
std::shared_ptr<Brush> brushArg(HBRUSH hbr) {
    if (auto b = lookupAs<Brush>(hbr, Kind::Brush)) return b;
    ULONG v = HandleToULong(hbr);
    if (v >= 1 && ((v - 1) & ~static_cast<ULONG>(SYS_COLOR_INDEX_FLAG)) < 64) {
        auto b = std::make_shared<Brush>();
        b->log = LOGBRUSH{BS_SOLID, GetSysColor(static_cast<int>(v - 1)), 0};
        return b;
    }
    return nullptr;
}

} // namespace

WINGDIAPI COLORREF GetPixel(HDC hdc, int nXPos, int nYPos) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc) return CLR_INVALID;
    Canvas c(*dc);
    POINT p{nXPos + c.off.x, nYPos + c.off.y};
    if (!c.ok() || !c.clip.contains(p)) return CLR_INVALID;
    return pixelToColor(pixelAt(c.map, p.x, p.y));
}

// Returns the colour the pixel got (the nearest a monochrome bitmap can show).
WINGDIAPI COLORREF SetPixel(HDC hdc, int X, int Y, COLORREF crColor) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc) return CLR_INVALID;
    Canvas c(*dc);
    POINT p{X + c.off.x, Y + c.off.y};
    if (!c.ok() || !c.clip.contains(p)) return CLR_INVALID;
    uint32_t v = workingColor(c.map, crColor);
    writeWorking(c.map, p.x, p.y, 1, &v);
    return pixelToColor(pixelAt(c.map, p.x, p.y));
}

WINGDIAPI BOOL MoveToEx(HDC hdc, int X, int Y, LPPOINT lpPoint) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc) return FALSE;
    if (lpPoint) *lpPoint = dc->st.current;
    dc->st.current = POINT{X, Y};
    return TRUE;
}

WINGDIAPI BOOL LineTo(HDC hdc, int nXEnd, int nYEnd) {
    return withCanvas(hdc, [&](Canvas& c) {
        PenStamp pen;
        POINT from = c.dc.st.current;
        c.dc.st.current = POINT{nXEnd, nYEnd};
        if (penOf(c, &pen))
            line(c, pen, from.x + c.off.x, from.y + c.off.y, nXEnd + c.off.x, nYEnd + c.off.y);
        return true;
    });
}

WINGDIAPI BOOL Polyline(HDC hdc, const POINT* lppt, int cPoints) {
    if (!lppt || cPoints < 2) return FALSE;
    return withCanvas(hdc, [&](Canvas& c) {
        PenStamp pen;
        if (!penOf(c, &pen)) return true;
        for (int i = 1; i < cPoints; ++i)
            line(c, pen, lppt[i - 1].x + c.off.x, lppt[i - 1].y + c.off.y, lppt[i].x + c.off.x,
                 lppt[i].y + c.off.y);
        return true;
    });
}

// Filled with the brush by the alternate (even-odd) rule, then outlined with the pen.
WINGDIAPI BOOL Polygon(HDC hdc, const POINT* lpPoints, int nCount) {
    if (!lpPoints || nCount < 2) return FALSE;
    return withCanvas(hdc, [&](Canvas& c) {
        std::vector<POINT> pts(lpPoints, lpPoints + nCount);
        for (POINT& p : pts) {
            p.x += c.off.x;
            p.y += c.off.y;
        }
        const Brush* brush = c.dc.st.brush.get();
        if (brush && brush->log.lbStyle != BS_NULL) {
            RECT bounds = c.clip.bounds();
            int top = bounds.bottom, bottom = bounds.top;
            for (const POINT& p : pts) {
                top = std::min<int>(top, p.y);
                bottom = std::max<int>(bottom, p.y);
            }
            top = std::max<int>(top, bounds.top);
            bottom = std::min<int>(bottom, bounds.bottom);
            std::vector<double> xs;
            for (int y = top; y < bottom; ++y) {
                double yc = y + 0.5;
                xs.clear();
                for (size_t i = 0; i < pts.size(); ++i) {
                    const POINT& a = pts[i];
                    const POINT& b = pts[(i + 1) % pts.size()];
                    if ((a.y <= yc) == (b.y <= yc)) continue;
                    xs.push_back(a.x + (yc - a.y) * (b.x - a.x) / static_cast<double>(b.y - a.y));
                }
                std::sort(xs.begin(), xs.end());
                for (size_t i = 0; i + 1 < xs.size(); i += 2) {
                    int x0 = static_cast<int>(std::ceil(xs[i] - 0.5));
                    int x1 = static_cast<int>(std::ceil(xs[i + 1] - 0.5));
                    fillWithBrush(c.dc, c.map, c.clip, RECT{x0, y, x1, y + 1}, *brush, 0xF0);
                }
            }
        }
        PenStamp pen;
        if (penOf(c, &pen))
            for (size_t i = 0; i < pts.size(); ++i) {
                const POINT& a = pts[i];
                const POINT& b = pts[(i + 1) % pts.size()];
                line(c, pen, a.x, a.y, b.x, b.y);
            }
        return true;
    });
}

WINGDIAPI BOOL Rectangle(HDC hdc, int nLeftRect, int nTopRect, int nRightRect, int nBottomRect) {
    return withCanvas(hdc, [&](Canvas& c) {
        roundShape(c, offsetRect(RECT{nLeftRect, nTopRect, nRightRect, nBottomRect}, c.off), 0, 0);
        return true;
    });
}

WINGDIAPI BOOL RoundRect(HDC hdc, int nLeftRect, int nTopRect, int nRightRect, int nBottomRect,
                         int nWidth, int nHeight) {
    return withCanvas(hdc, [&](Canvas& c) {
        RECT r = offsetRect(RECT{nLeftRect, nTopRect, nRightRect, nBottomRect}, c.off);
        int rx = std::min(std::abs(nWidth), std::abs(nRightRect - nLeftRect)) / 2;
        int ry = std::min(std::abs(nHeight), std::abs(nBottomRect - nTopRect)) / 2;
        roundShape(c, r, rx, ry);
        return true;
    });
}

WINGDIAPI BOOL Ellipse(HDC hdc, int nLeftRect, int nTopRect, int nRightRect, int nBottomRect) {
    return withCanvas(hdc, [&](Canvas& c) {
        RECT r = offsetRect(RECT{nLeftRect, nTopRect, nRightRect, nBottomRect}, c.off);
        roundShape(c, r, std::abs(nRightRect - nLeftRect) / 2,
                   std::abs(nBottomRect - nTopRect) / 2);
        return true;
    });
}

// The brush may be a system colour index + 1 (COLOR_WINDOW + 1), as on Windows.
WINUSERAPI int FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
    if (!lprc) return 0;
    Guard g(gdiLock());
    auto brush = brushArg(hbr);
    if (!brush) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return withCanvas(hDC, [&](Canvas& c) {
        fillWithBrush(c.dc, c.map, c.clip, offsetRect(*lprc, c.off), *brush, 0xF0);
        return true;
    });
}

WINUSERAPI int FrameRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
    if (!lprc) return 0;
    Guard g(gdiLock());
    auto brush = brushArg(hbr);
    if (!brush) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return withCanvas(hDC, [&](Canvas& c) {
        RECT r = offsetRect(*lprc, c.off);
        if (rectEmpty(r)) return true;
        const RECT edges[4] = {{r.left, r.top, r.right, r.top + 1},
                               {r.left, r.bottom - 1, r.right, r.bottom},
                               {r.left, r.top + 1, r.left + 1, r.bottom - 1},
                               {r.right - 1, r.top + 1, r.right, r.bottom - 1}};
        for (const RECT& e : edges)
            fillWithBrush(c.dc, c.map, c.clip, e, *brush, 0xF0);
        return true;
    });
}

WINUSERAPI BOOL InvertRect(HDC hDC, const RECT* lprc) {
    if (!lprc) return FALSE;
    return withCanvas(hDC, [&](Canvas& c) {
        fillSolid(c.map, c.clip, offsetRect(*lprc, c.off), 0, R2_NOT);
        return true;
    });
}

// A dotted frame drawn by inverting every other pixel: drawing it twice removes it.
WINUSERAPI BOOL DrawFocusRect(HDC hDC, const RECT* lprc) {
    if (!lprc) return FALSE;
    return withCanvas(hDC, [&](Canvas& c) {
        RECT r = offsetRect(*lprc, c.off);
        if (rectEmpty(r) || r.right - r.left > 1 << 16 || r.bottom - r.top > 1 << 16) return true;
        const uint8_t invert = 0x55;
        for (int x = r.left; x < r.right; ++x) {
            if (((x - r.left) & 1) == 0) plot(c, x, r.top, 0, invert);
            if (r.bottom - 1 > r.top && ((x - r.left + r.bottom - 1 - r.top) & 1) == 0)
                plot(c, x, r.bottom - 1, 0, invert);
        }
        for (int y = r.top + 1; y < r.bottom - 1; ++y) {
            if (((y - r.top) & 1) == 0) plot(c, r.left, y, 0, invert);
            if (r.right - 1 > r.left && ((r.right - 1 - r.left + y - r.top) & 1) == 0)
                plot(c, r.right - 1, y, 0, invert);
        }
        return true;
    });
}

WINGDIAPI BOOL FillRgn(HDC hdc, HRGN hrgn, HBRUSH hbr) {
    Guard g(gdiLock());
    auto region = lookupAs<Region>(hrgn, Kind::Region);
    auto brush = brushArg(hbr);
    if (!region || !brush) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return withCanvas(hdc, [&](Canvas& c) {
        for (const RECT& r : region->rects.rects)
            fillWithBrush(c.dc, c.map, c.clip, offsetRect(r, c.off), *brush, 0xF0);
        return true;
    });
}
