// region.cpp: regions as GDI objects (CreateRectRgn, CombineRgn, ...), the region form the
// window system uses (ce::regionRects, ce::createRegionFromRects), and a DC's clip region
// (SelectClipRgn, IntersectClipRect, ExcludeClipRect, GetClipBox).
//
// A region is a RectList. After combining, rectangles that share a whole edge are merged
// again, so that a region that is one rectangle reports SIMPLEREGION as Windows does.
#include <algorithm>
#include <cstring>

#include "gdi/gdi.h"
#include "kernel/trace.h"

using namespace ce::gdi;

namespace {

// Merges rectangles that line up side by side or one above the other.
void coalesce(ce::RectList& list) {
    auto& v = list.rects;
    bool merged = true;
    while (merged) {
        merged = false;
        for (size_t i = 0; i < v.size() && !merged; ++i) {
            for (size_t j = 0; j < v.size() && !merged; ++j) {
                if (i == j) continue;
                RECT& a = v[i];
                const RECT& b = v[j];
                if (a.top == b.top && a.bottom == b.bottom && a.right == b.left) {
                    a.right = b.right;
                    merged = true;
                } else if (a.left == b.left && a.right == b.right && a.bottom == b.top) {
                    a.bottom = b.bottom;
                    merged = true;
                }
                if (merged) v.erase(v.begin() + static_cast<ptrdiff_t>(j));
            }
        }
    }
}

ce::RectList rectList(RECT r) {
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    ce::RectList list;
    list.add(r);
    return list;
}

HRGN publish(ce::RectList rects) {
    auto region = std::make_shared<Region>();
    coalesce(rects);
    region->rects = std::move(rects);
    return static_cast<HRGN>(ULongToHandle(insertObject(region)));
}

ce::RectList subtractAll(ce::RectList a, const ce::RectList& b) {
    for (const RECT& r : b.rects)
        a.subtract(r);
    return a;
}

// a combined with b by one of the RGN_ modes; false for an unknown mode.
bool combine(const ce::RectList& a, const ce::RectList& b, int mode, ce::RectList* out) {
    switch (mode) {
    case RGN_AND:
        *out = a;
        out->intersect(b);
        break;
    case RGN_OR:
        *out = a;
        for (const RECT& r : b.rects)
            out->add(r);
        break;
    case RGN_DIFF: *out = subtractAll(a, b); break;
    case RGN_XOR: {
        *out = subtractAll(a, b);
        for (const RECT& r : subtractAll(b, a).rects)
            out->add(r);
        break;
    }
    case RGN_COPY: *out = a; break;
    default: return false;
    }
    coalesce(*out);
    return true;
}

// The DC's clip region, or the whole plane when it has none.
ce::RectList currentClip(const Dc& dc) {
    if (dc.st.clip) return *dc.st.clip;
    ce::RectList all;
    all.add(kHugeRect);
    return all;
}

} // namespace

namespace ce {

bool regionRects(HRGN h, RectList* out) {
    Guard g(gdiLock());
    auto region = lookupAs<Region>(h, Kind::Region);
    if (!region || !out) return false;
    *out = region->rects;
    return true;
}

HRGN createRegionFromRects(const RectList& rects) {
    Guard g(gdiLock());
    RectList copy;
    for (const RECT& r : rects.rects)
        copy.add(r);
    return publish(std::move(copy));
}

} // namespace ce

WINGDIAPI HRGN CreateRectRgn(int nLeftRect, int nTopRect, int nRightRect, int nBottomRect) {
    Guard g(gdiLock());
    return publish(rectList(RECT{nLeftRect, nTopRect, nRightRect, nBottomRect}));
}

WINGDIAPI HRGN CreateRectRgnIndirect(const RECT* lprc) {
    if (!lprc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateRectRgn(lprc->left, lprc->top, lprc->right, lprc->bottom);
}

WINGDIAPI HRGN ExtCreateRegion(const void* lpXform, DWORD nCount, const RGNDATA* lpRgnData) {
    if (lpXform) CE_FIXME("gdi", "region transforms");
    if (lpXform || !lpRgnData || nCount < sizeof(RGNDATAHEADER) ||
        lpRgnData->rdh.dwSize < sizeof(RGNDATAHEADER) || lpRgnData->rdh.iType != RDH_RECTANGLES ||
        lpRgnData->rdh.nCount > (nCount - lpRgnData->rdh.dwSize) / sizeof(RECT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const uint8_t* base = reinterpret_cast<const uint8_t*>(lpRgnData) + lpRgnData->rdh.dwSize;
    ce::RectList list;
    for (DWORD i = 0; i < lpRgnData->rdh.nCount; ++i) {
        RECT r;
        std::memcpy(&r, base + i * sizeof(RECT), sizeof r);
        list.add(r);
    }
    Guard g(gdiLock());
    return publish(std::move(list));
}

WINGDIAPI DWORD GetRegionData(HRGN hRgn, DWORD dwCount, LPRGNDATA lpRgnData) {
    Guard g(gdiLock());
    auto region = lookupAs<Region>(hRgn, Kind::Region);
    if (!region) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const auto& rects = region->rects.rects;
    DWORD need = static_cast<DWORD>(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    if (!lpRgnData) return need;
    if (dwCount < need) return 0;
    lpRgnData->rdh =
        RGNDATAHEADER{sizeof(RGNDATAHEADER), RDH_RECTANGLES, static_cast<DWORD>(rects.size()),
                      static_cast<DWORD>(rects.size() * sizeof(RECT)), region->rects.bounds()};
    if (!rects.empty()) std::memcpy(lpRgnData->Buffer, rects.data(), rects.size() * sizeof(RECT));
    return dwCount;
}

// Returns the type of the result (NULLREGION, SIMPLEREGION, COMPLEXREGION) or ERROR.
WINGDIAPI int CombineRgn(HRGN hrgnDest, HRGN hrgnSrc1, HRGN hrgnSrc2, int fnCombineMode) {
    Guard g(gdiLock());
    auto dest = lookupAs<Region>(hrgnDest, Kind::Region);
    auto a = lookupAs<Region>(hrgnSrc1, Kind::Region);
    auto b = fnCombineMode == RGN_COPY ? a : lookupAs<Region>(hrgnSrc2, Kind::Region);
    if (!dest || !a || !b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return ERROR;
    }
    ce::RectList result;
    if (!combine(a->rects, b->rects, fnCombineMode, &result)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return ERROR;
    }
    dest->rects = std::move(result);
    return regionType(dest->rects);
}

WINGDIAPI BOOL SetRectRgn(HRGN hrgn, int nLeftRect, int nTopRect, int nRightRect, int nBottomRect) {
    Guard g(gdiLock());
    auto region = lookupAs<Region>(hrgn, Kind::Region);
    if (!region) return FALSE;
    region->rects = rectList(RECT{nLeftRect, nTopRect, nRightRect, nBottomRect});
    return TRUE;
}

WINGDIAPI int OffsetRgn(HRGN hrgn, int nXOffset, int nYOffset) {
    Guard g(gdiLock());
    auto region = lookupAs<Region>(hrgn, Kind::Region);
    if (!region) return ERROR;
    region->rects.offset(nXOffset, nYOffset);
    return regionType(region->rects);
}

WINGDIAPI int GetRgnBox(HRGN hrgn, LPRECT lprc) {
    Guard g(gdiLock());
    auto region = lookupAs<Region>(hrgn, Kind::Region);
    if (!region || !lprc) return ERROR;
    *lprc = region->rects.bounds();
    return regionType(region->rects);
}

WINGDIAPI BOOL PtInRegion(HRGN hrgn, int X, int Y) {
    Guard g(gdiLock());
    auto region = lookupAs<Region>(hrgn, Kind::Region);
    return region && region->rects.contains(POINT{X, Y}) ? TRUE : FALSE;
}

WINGDIAPI BOOL RectInRegion(HRGN hrgn, const RECT* lprc) {
    Guard g(gdiLock());
    auto region = lookupAs<Region>(hrgn, Kind::Region);
    if (!region || !lprc) return FALSE;
    ce::RectList part = region->rects;
    RECT r = *lprc;
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    part.intersect(r);
    return part.empty() ? FALSE : TRUE;
}

WINGDIAPI BOOL EqualRgn(HRGN hSrcRgn1, HRGN hSrcRgn2) {
    Guard g(gdiLock());
    auto a = lookupAs<Region>(hSrcRgn1, Kind::Region);
    auto b = lookupAs<Region>(hSrcRgn2, Kind::Region);
    if (!a || !b) return ERROR;
    return subtractAll(a->rects, b->rects).empty() && subtractAll(b->rects, a->rects).empty()
               ? TRUE
               : FALSE;
}

WINGDIAPI int SelectClipRgn(HDC hdc, HRGN hrgn) {
    return ExtSelectClipRgn(hdc, hrgn, RGN_COPY);
}

WINGDIAPI int ExtSelectClipRgn(HDC hdc, HRGN hrgn, int fnMode) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return ERROR;
    }
    if (!hrgn) {
        if (fnMode != RGN_COPY) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return ERROR;
        }
        dc->st.clip.reset();
        return SIMPLEREGION;
    }
    auto region = lookupAs<Region>(hrgn, Kind::Region);
    if (!region) {
        SetLastError(ERROR_INVALID_HANDLE);
        return ERROR;
    }
    ce::RectList result;
    if (fnMode == RGN_COPY) {
        result = region->rects;
    } else if (!combine(currentClip(*dc), region->rects, fnMode, &result)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return ERROR;
    }
    dc->st.clip = std::move(result);
    return regionType(*dc->st.clip);
}

WINGDIAPI int IntersectClipRect(HDC hdc, int nLeftRect, int nTopRect, int nRightRect,
                                int nBottomRect) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc) return ERROR;
    RECT r = offsetRect(RECT{nLeftRect, nTopRect, nRightRect, nBottomRect}, dc->st.viewportOrg);
    ce::RectList clip = currentClip(*dc);
    clip.intersect(r);
    dc->st.clip = std::move(clip);
    return regionType(*dc->st.clip);
}

WINGDIAPI int ExcludeClipRect(HDC hdc, int nLeftRect, int nTopRect, int nRightRect,
                              int nBottomRect) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc) return ERROR;
    RECT r = offsetRect(RECT{nLeftRect, nTopRect, nRightRect, nBottomRect}, dc->st.viewportOrg);
    ce::RectList clip = currentClip(*dc);
    clip.subtract(r);
    coalesce(clip);
    dc->st.clip = std::move(clip);
    return regionType(*dc->st.clip);
}

// The bounds of what the DC can draw on now, in logical coordinates.
WINGDIAPI int GetClipBox(HDC hdc, LPRECT lprc) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc || !lprc) return ERROR;
    PixelMap map = targetOf(*dc);
    ce::RectList clip = clipOf(*dc, map);
    POINT off = offsetOf(*dc);
    *lprc = offsetRect(clip.bounds(), POINT{-off.x, -off.y});
    if (clip.empty()) *lprc = RECT{0, 0, 0, 0};
    coalesce(clip);
    return regionType(clip);
}

WINGDIAPI int GetClipRgn(HDC hdc, HRGN hrgn) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    auto region = lookupAs<Region>(hrgn, Kind::Region);
    if (!dc || !region) return -1;
    if (!dc->st.clip) return 0;
    region->rects = *dc->st.clip;
    return 1;
}
