// rect.cpp: USER's rectangle helpers (SetRect ... PtInRect). Right and bottom edges are
// exclusive; a rectangle whose right is not past its left (or bottom past its top) is empty.
// Every function refuses null pointers instead of faulting.
#include <algorithm>

#include "gdi/gdi.h"

WINUSERAPI BOOL SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom) {
    if (!lprc) return FALSE;
    *lprc = RECT{xLeft, yTop, xRight, yBottom};
    return TRUE;
}

WINUSERAPI BOOL SetRectEmpty(LPRECT lprc) {
    return SetRect(lprc, 0, 0, 0, 0);
}

WINUSERAPI BOOL CopyRect(LPRECT lprcDst, const RECT* lprcSrc) {
    if (!lprcDst || !lprcSrc) return FALSE;
    *lprcDst = *lprcSrc;
    return TRUE;
}

WINUSERAPI BOOL InflateRect(LPRECT lprc, int dx, int dy) {
    if (!lprc) return FALSE;
    lprc->left -= dx;
    lprc->right += dx;
    lprc->top -= dy;
    lprc->bottom += dy;
    return TRUE;
}

WINUSERAPI BOOL OffsetRect(LPRECT lprc, int dx, int dy) {
    if (!lprc) return FALSE;
    lprc->left += dx;
    lprc->right += dx;
    lprc->top += dy;
    lprc->bottom += dy;
    return TRUE;
}

WINUSERAPI BOOL IsRectEmpty(const RECT* lprc) {
    return !lprc || lprc->right <= lprc->left || lprc->bottom <= lprc->top;
}

// No overlap gives an empty rectangle and FALSE.
WINUSERAPI BOOL IntersectRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2) {
    if (!lprcDst || !lprcSrc1 || !lprcSrc2) return FALSE;
    if (IsRectEmpty(lprcSrc1) || IsRectEmpty(lprcSrc2) || lprcSrc1->left >= lprcSrc2->right ||
        lprcSrc2->left >= lprcSrc1->right || lprcSrc1->top >= lprcSrc2->bottom ||
        lprcSrc2->top >= lprcSrc1->bottom) {
        SetRectEmpty(lprcDst);
        return FALSE;
    }
    *lprcDst = ce::gdi::intersectRects(*lprcSrc1, *lprcSrc2);
    return TRUE;
}

// The smallest rectangle holding both; empty ones do not count. Both empty: FALSE.
WINUSERAPI BOOL UnionRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2) {
    if (!lprcDst || !lprcSrc1 || !lprcSrc2) return FALSE;
    bool e1 = IsRectEmpty(lprcSrc1), e2 = IsRectEmpty(lprcSrc2);
    if (e1 && e2) {
        SetRectEmpty(lprcDst);
        return FALSE;
    }
    if (e1) {
        *lprcDst = *lprcSrc2;
        return TRUE;
    }
    if (e2) {
        *lprcDst = *lprcSrc1;
        return TRUE;
    }
    RECT r{std::min(lprcSrc1->left, lprcSrc2->left), std::min(lprcSrc1->top, lprcSrc2->top),
           std::max(lprcSrc1->right, lprcSrc2->right),
           std::max(lprcSrc1->bottom, lprcSrc2->bottom)};
    *lprcDst = r;
    return TRUE;
}

// The first rectangle less the second, when what remains is a rectangle (the second covers
// a whole side); otherwise the first unchanged. Nothing left gives an empty one and FALSE.
WINUSERAPI BOOL SubtractRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2) {
    if (!lprcDst || !lprcSrc1 || !lprcSrc2) return FALSE;
    if (IsRectEmpty(lprcSrc1)) {
        SetRectEmpty(lprcDst);
        return FALSE;
    }
    RECT dest = *lprcSrc1, cut;
    if (IntersectRect(&cut, lprcSrc1, lprcSrc2)) {
        if (EqualRect(&cut, &dest)) {
            SetRectEmpty(lprcDst);
            return FALSE;
        }
        if (cut.top == dest.top && cut.bottom == dest.bottom) {
            if (cut.left == dest.left)
                dest.left = cut.right;
            else if (cut.right == dest.right)
                dest.right = cut.left;
        } else if (cut.left == dest.left && cut.right == dest.right) {
            if (cut.top == dest.top)
                dest.top = cut.bottom;
            else if (cut.bottom == dest.bottom)
                dest.bottom = cut.top;
        }
    }
    *lprcDst = dest;
    return TRUE;
}

WINUSERAPI BOOL EqualRect(const RECT* lprc1, const RECT* lprc2) {
    if (!lprc1 || !lprc2) return FALSE;
    return lprc1->left == lprc2->left && lprc1->top == lprc2->top && lprc1->right == lprc2->right &&
           lprc1->bottom == lprc2->bottom;
}

WINUSERAPI BOOL PtInRect(const RECT* lprc, POINT pt) {
    if (!lprc) return FALSE;
    return pt.x >= lprc->left && pt.x < lprc->right && pt.y >= lprc->top && pt.y < lprc->bottom;
}
