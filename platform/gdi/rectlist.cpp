// rectlist.cpp: regions as lists of non-overlapping rectangles.
//
// The window system's update regions and shapes, and GDI's clip regions, are small: a few
// rectangles at most on a device screen. A plain list where each operation splits the
// rectangles it touches into at most four pieces is simpler than banded regions and fast
// enough at that size.
#include <algorithm>

#include "gdi/surface.h"

namespace ce {
namespace {

bool isEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

bool overlap(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Appends the parts of `r` outside `cut` (up to four rectangles: above, below, left, right).
void appendOutside(const RECT& r, const RECT& cut, std::vector<RECT>& out) {
    if (!overlap(r, cut)) {
        out.push_back(r);
        return;
    }
    if (r.top < cut.top) out.push_back({r.left, r.top, r.right, cut.top});
    if (cut.bottom < r.bottom) out.push_back({r.left, cut.bottom, r.right, r.bottom});
    LONG top = std::max(r.top, cut.top), bottom = std::min(r.bottom, cut.bottom);
    if (r.left < cut.left) out.push_back({r.left, top, cut.left, bottom});
    if (cut.right < r.right) out.push_back({cut.right, top, r.right, bottom});
}

} // namespace

RECT RectList::bounds() const {
    if (rects.empty()) return RECT{0, 0, 0, 0};
    RECT b = rects.front();
    for (const RECT& r : rects) {
        b.left = std::min(b.left, r.left);
        b.top = std::min(b.top, r.top);
        b.right = std::max(b.right, r.right);
        b.bottom = std::max(b.bottom, r.bottom);
    }
    return b;
}

bool RectList::contains(POINT p) const {
    return std::any_of(rects.begin(), rects.end(), [&](const RECT& r) {
        return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
    });
}

void RectList::add(const RECT& r) {
    if (isEmpty(r)) return;
    // Keep the list disjoint: add only the parts of r that no rectangle covers yet.
    std::vector<RECT> pieces{r};
    for (const RECT& have : rects) {
        std::vector<RECT> next;
        for (const RECT& piece : pieces)
            appendOutside(piece, have, next);
        pieces.swap(next);
        if (pieces.empty()) return;
    }
    rects.insert(rects.end(), pieces.begin(), pieces.end());
}

void RectList::subtract(const RECT& r) {
    if (isEmpty(r)) return;
    std::vector<RECT> next;
    for (const RECT& have : rects)
        appendOutside(have, r, next);
    rects.swap(next);
}

void RectList::intersect(const RECT& r) {
    std::vector<RECT> next;
    for (const RECT& have : rects) {
        RECT c{std::max(have.left, r.left), std::max(have.top, r.top),
               std::min(have.right, r.right), std::min(have.bottom, r.bottom)};
        if (!isEmpty(c)) next.push_back(c);
    }
    rects.swap(next);
}

void RectList::intersect(const RectList& other) {
    RectList result;
    for (const RECT& o : other.rects) {
        RectList part = *this;
        part.intersect(o);
        // Parts cut by different rectangles of a disjoint list are disjoint too.
        result.rects.insert(result.rects.end(), part.rects.begin(), part.rects.end());
    }
    rects.swap(result.rects);
}

void RectList::offset(int dx, int dy) {
    for (RECT& r : rects) {
        r.left += dx;
        r.right += dx;
        r.top += dy;
        r.bottom += dy;
    }
}

} // namespace ce
