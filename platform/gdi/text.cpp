// text.cpp: fonts as GDI objects and the text calls built on them: CreateFontIndirectW,
// GetTextMetricsW, GetTextFaceW, GetTextExtentPoint32W, GetTextExtentExPointW, ExtTextOutW.
//
// Text is laid out on whole pixels: each character advances by its rounded advance (or by
// the caller's lpDx), so a measured extent is exactly what drawing covers.
#include <algorithm>
#include <cstring>

#include "gdi/font.h"
#include "kernel/trace.h"

using namespace ce::gdi;

namespace {

// The DC's font face; null without a DC.
FontFace* dcFace(HDC hdc, std::shared_ptr<Dc>* out = nullptr) {
    auto dc = lookupDc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (out) *out = dc;
    if (!dc->st.font) dc->st.font = std::static_pointer_cast<Font>(stockObject(SYSTEM_FONT));
    return &faceOf(*dc->st.font);
}

int extentOf(FontFace& face, const WCHAR* s, int n) {
    int total = 0;
    for (int a : advancesOf(face, s, n))
        total += a;
    return total;
}

} // namespace

WINGDIAPI HFONT CreateFontIndirectW(const LOGFONTW* lplf) {
    if (!lplf) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Guard g(gdiLock());
    auto font = std::make_shared<Font>();
    font->log = *lplf;
    font->log.lfFaceName[LF_FACESIZE - 1] = 0;
    return static_cast<HFONT>(ULongToHandle(insertObject(font)));
}

WINGDIAPI BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW lptm) {
    if (!lptm) return FALSE;
    Guard g(gdiLock());
    FontFace* face = dcFace(hdc);
    if (!face) return FALSE;
    *lptm = face->tm;
    return TRUE;
}

// Copies the face name (terminated, cut to nCount); returns the characters copied, or the
// length with the terminator when lpFaceName is NULL.
WINGDIAPI int GetTextFaceW(HDC hdc, int nCount, LPWSTR lpFaceName) {
    Guard g(gdiLock());
    FontFace* face = dcFace(hdc);
    if (!face) return 0;
    int len = static_cast<int>(face->faceName.size());
    if (!lpFaceName) return len + 1;
    if (nCount <= 0) return 0;
    int n = std::min(len, nCount - 1);
    std::memcpy(lpFaceName, face->faceName.data(), static_cast<size_t>(n) * sizeof(WCHAR));
    lpFaceName[n] = 0;
    return n;
}

WINGDIAPI BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR lpString, int c, LPSIZE lpSize) {
    if (!lpSize || c < 0 || (c > 0 && !lpString)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Guard g(gdiLock());
    FontFace* face = dcFace(hdc);
    if (!face) return FALSE;
    lpSize->cx = extentOf(*face, lpString, c);
    lpSize->cy = face->tm.tmHeight;
    return TRUE;
}

WINGDIAPI BOOL GetTextExtentExPointW(HDC hdc, LPCWSTR lpszStr, int cchString, int nMaxExtent,
                                     LPINT lpnFit, LPINT alpDx, LPSIZE lpSize) {
    if (!lpSize || cchString < 0 || (cchString > 0 && !lpszStr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Guard g(gdiLock());
    FontFace* face = dcFace(hdc);
    if (!face) return FALSE;
    std::vector<int> adv = advancesOf(*face, lpszStr, cchString);
    int total = 0, fit = 0;
    bool fitting = true;
    for (int i = 0; i < cchString; ++i) {
        total += adv[static_cast<size_t>(i)];
        if (alpDx) alpDx[i] = total;
        if (fitting && (nMaxExtent < 0 || total <= nMaxExtent))
            fit = i + 1;
        else
            fitting = false;
    }
    if (lpnFit) *lpnFit = fit;
    lpSize->cx = total;
    lpSize->cy = face->tm.tmHeight;
    return TRUE;
}

WINGDIAPI BOOL ExtTextOutW(HDC hdc, int X, int Y, UINT fuOptions, const RECT* lprc,
                           LPCWSTR lpString, UINT cbCount, const int* lpDx) {
    if ((cbCount > 0 && !lpString) || cbCount > 0x100000) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (fuOptions & ETO_GLYPH_INDEX) {
        CE_FIXME("gdi", "ETO_GLYPH_INDEX");
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Guard g(gdiLock());
    std::shared_ptr<Dc> dc;
    FontFace* face = dcFace(hdc, &dc);
    if (!face) return FALSE;
    PixelMap map = targetOf(*dc);
    if (!map.valid()) return TRUE;
    ce::RectList clip = clipOf(*dc, map);
    POINT off = offsetOf(*dc);
    const int n = static_cast<int>(cbCount);
    int width = 0;
    if (lpDx) {
        for (int i = 0; i < n; ++i)
            width += lpDx[i];
    } else {
        width = extentOf(*face, lpString, n);
    }
    const TEXTMETRICW& tm = face->tm;
    UINT align = dc->st.textAlign;
    int x = X;
    if ((align & TA_CENTER) == TA_CENTER)
        x -= width / 2;
    else if (align & TA_RIGHT)
        x -= width;
    int top = Y;
    if ((align & TA_BASELINE) == TA_BASELINE)
        top = Y - tm.tmAscent;
    else if (align & TA_BOTTOM)
        top = Y - tm.tmHeight;
    RECT box = offsetRect(RECT{x, top, x + width, top + tm.tmHeight}, off);
    RECT given = lprc ? offsetRect(*lprc, off) : RECT{0, 0, 0, 0};

    const uint32_t bk = workingColor(map, dc->st.bkColor);
    if ((fuOptions & ETO_OPAQUE) && lprc) fillSolid(map, clip, given, bk, R2_COPYPEN);
    if ((fuOptions & ETO_CLIPPED) && lprc) clip.intersect(given);
    if (dc->st.bkMode == OPAQUE) fillSolid(map, clip, box, bk, R2_COPYPEN);
    if (n == 0) return TRUE;
    const int baseline = box.top + tm.tmAscent;
    drawGlyphs(*dc, map, clip, *face, box.left, baseline, lpString, n, lpDx);
    const uint32_t text = workingColor(map, dc->st.textColor);
    if (face->underline) {
        int y = baseline + face->underlinePos;
        fillSolid(map, clip, RECT{box.left, y, box.right, y + face->underlineThickness}, text,
                  R2_COPYPEN);
    }
    if (face->strikeOut) {
        int y = baseline - face->strikePos;
        fillSolid(map, clip, RECT{box.left, y, box.right, y + face->underlineThickness}, text,
                  R2_COPYPEN);
    }
    return TRUE;
}
