// resource_icon.cpp: icon and cursor objects: the handle table behind HICON and HCURSOR,
// CreateIconIndirect, GetIconInfo, DestroyIcon, DrawIcon and DrawIconEx.
//
// An icon keeps its own copy of its picture (resource_image.cpp loads pictures from the
// modules' tables, cursor.cpp draws the system's), so it outlives the bitmaps it was made
// from and the module it was loaded from. Handle values are multiples of four from 0x5C000004
// up, never reused while the process runs, so a stale handle fails instead of reaching
// another icon.
#include "user/resource.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "wingdi.h"
#include "winuser.h"

#include "gdi/surface.h"
#include "kernel/trace.h"

namespace ce::user {

namespace {

constexpr uint32_t kFirstIcon = 0x5C000004;
constexpr uint32_t kLastIcon = 0x5DFFFFFC;

struct IconObject {
    std::shared_ptr<const IconPicture> picture;
    bool shared = false;
};

struct IconTable {
    std::mutex lock;
    std::map<uint32_t, IconObject> icons;
    uint32_t next = kFirstIcon;
};

IconTable& iconTable() {
    static IconTable t;
    return t;
}

bool validPicture(const IconPicture& p) {
    const size_t count = static_cast<size_t>(p.width) * static_cast<size_t>(p.height);
    return p.width > 0 && p.height > 0 && p.width <= kMaxImageSide && p.height <= kMaxImageSide &&
           p.pixels.size() == count && p.mask.size() == count;
}

} // namespace

HICON createIcon(IconPicture picture, bool shared) {
    if (!validPicture(picture)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    IconTable& t = iconTable();
    std::lock_guard<std::mutex> guard(t.lock);
    if (t.next > kLastIcon) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const uint32_t value = t.next;
    t.next += 4;
    t.icons[value] = {std::make_shared<const IconPicture>(std::move(picture)), shared};
    return static_cast<HICON>(ULongToHandle(value));
}

std::shared_ptr<const IconPicture> iconPicture(HICON h) {
    IconTable& t = iconTable();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.icons.find(HandleToULong(h));
    return it == t.icons.end() ? nullptr : it->second.picture;
}

std::vector<uint32_t> scalePixels(const std::vector<uint32_t>& pixels, int width, int height,
                                  int newWidth, int newHeight) {
    std::vector<uint32_t> out(static_cast<size_t>(newWidth) * static_cast<size_t>(newHeight));
    for (int y = 0; y < newHeight; ++y) {
        // The source rows and columns this destination pixel covers (at least one).
        const int y0 = static_cast<int>(static_cast<int64_t>(y) * height / newHeight);
        const int y1 = std::max(y0 + 1, static_cast<int>(int64_t{y + 1} * height / newHeight));
        for (int x = 0; x < newWidth; ++x) {
            const int x0 = static_cast<int>(static_cast<int64_t>(x) * width / newWidth);
            const int x1 = std::max(x0 + 1, static_cast<int>(int64_t{x + 1} * width / newWidth));
            uint64_t sum[4] = {0, 0, 0, 0};
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx) {
                    const uint32_t p = pixels[static_cast<size_t>(sy) * width + sx];
                    for (int c = 0; c < 4; ++c)
                        sum[c] += (p >> (8 * c)) & 0xFF;
                }
            const uint64_t n = static_cast<uint64_t>(y1 - y0) * static_cast<uint64_t>(x1 - x0);
            uint32_t p = 0;
            for (int c = 0; c < 4; ++c)
                p |= static_cast<uint32_t>((sum[c] + n / 2) / n) << (8 * c);
            out[static_cast<size_t>(y) * newWidth + x] = p;
        }
    }
    return out;
}

IconPicture scalePicture(const IconPicture& picture, int width, int height) {
    if (picture.width == width && picture.height == height) return picture;
    IconPicture out = picture;
    out.width = width;
    out.height = height;
    out.pixels = scalePixels(picture.pixels, picture.width, picture.height, width, height);
    out.hotspot.x = static_cast<LONG>(int64_t{picture.hotspot.x} * width / picture.width);
    out.hotspot.y = static_cast<LONG>(int64_t{picture.hotspot.y} * height / picture.height);
    out.mask.assign(static_cast<size_t>(width) * static_cast<size_t>(height), false);
    if (picture.hasAlpha) {
        // The mask follows the blended alpha: transparent only where nothing covers.
        for (size_t i = 0; i < out.pixels.size(); ++i)
            out.mask[i] = (out.pixels[i] >> 24) == 0;
        return out;
    }
    // Without alpha the mask goes by nearest pixel: a blended mask would make half-covered
    // pixels of a picture that has no alpha channel.
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int sx = static_cast<int>(static_cast<int64_t>(x) * picture.width / width);
            const int sy = static_cast<int>(static_cast<int64_t>(y) * picture.height / height);
            out.mask[static_cast<size_t>(y) * width + x] =
                picture.mask[static_cast<size_t>(sy) * picture.width + sx];
        }
    return out;
}

// Destroys an icon or cursor handle of this process (shared ones stay).
BOOL destroyIconHandle(HICON h, DWORD error) {
    IconTable& t = iconTable();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.icons.find(HandleToULong(h));
    if (it == t.icons.end()) {
        SetLastError(error);
        return FALSE;
    }
    if (!it->second.shared) t.icons.erase(it);
    return TRUE;
}

namespace {

// The pixels of a bitmap as 32-bit top-down rows; false when it is not a bitmap.
bool readBitmap(HBITMAP bitmap, int* width, int* height, std::vector<uint32_t>* pixels) {
    BITMAP bm{};
    if (!bitmap || GetObjectW(bitmap, sizeof bm, &bm) == 0) return false;
    if (bm.bmWidth <= 0 || bm.bmHeight <= 0 || bm.bmWidth > kMaxImageSide ||
        bm.bmHeight > 2 * kMaxImageSide)
        return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = bm.bmWidth;
    info.bmiHeader.biHeight = -bm.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    pixels->assign(static_cast<size_t>(bm.bmWidth) * static_cast<size_t>(bm.bmHeight), 0);
    HDC dc = CreateCompatibleDC(nullptr);
    const int rows = GetDIBits(dc, bitmap, 0, static_cast<UINT>(bm.bmHeight), pixels->data(), &info,
                               DIB_RGB_COLORS);
    DeleteDC(dc);
    if (rows != bm.bmHeight) return false;
    *width = bm.bmWidth;
    *height = bm.bmHeight;
    return true;
}

// Draws one monochrome-or-colour layer of a classic icon with a raster operation.
void blitLayer(HDC hdc, int x, int y, int cx, int cy, HBITMAP bitmap, int width, int height,
               DWORD rop) {
    HDC mem = CreateCompatibleDC(hdc);
    HGDIOBJ old = SelectObject(mem, bitmap);
    StretchBlt(hdc, x, y, cx, cy, mem, 0, 0, width, height, rop);
    SelectObject(mem, old);
    DeleteDC(mem);
}

} // namespace

} // namespace ce::user

using namespace ce::user;

// Makes an icon or cursor from a mask and a colour bitmap, copying both: the caller keeps
// and deletes its bitmaps. A 32-bit colour bitmap whose alpha bytes are not all zero gives an
// icon drawn with that alpha. Without a colour bitmap the mask holds both halves of a
// monochrome icon (AND mask on top, XOR picture below), as on Windows.
WINUSERAPI HICON CreateIconIndirect(PICONINFO piconinfo) {
    if (!piconinfo || !piconinfo->hbmMask) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    int mw = 0, mh = 0;
    std::vector<uint32_t> maskPixels;
    if (!readBitmap(piconinfo->hbmMask, &mw, &mh, &maskPixels)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    IconPicture p;
    p.isIcon = piconinfo->fIcon != FALSE;
    p.width = mw;
    if (piconinfo->hbmColor) {
        int cw = 0, ch = 0;
        if (!readBitmap(piconinfo->hbmColor, &cw, &ch, &p.pixels) || cw != mw || ch != mh) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        p.height = mh;
        p.hasAlpha = std::any_of(p.pixels.begin(), p.pixels.end(),
                                 [](uint32_t px) { return (px >> 24) != 0; });
    } else {
        if (mh % 2 != 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        p.height = mh / 2;
        p.pixels.assign(maskPixels.begin() + static_cast<ptrdiff_t>(mw) * p.height,
                        maskPixels.end());
        maskPixels.resize(static_cast<size_t>(mw) * p.height);
    }
    // A mask pixel that is not black is a 1 bit: the screen shows through.
    p.mask.resize(maskPixels.size());
    for (size_t i = 0; i < maskPixels.size(); ++i)
        p.mask[i] = (maskPixels[i] & 0x00FFFFFF) != 0;
    if (!p.hasAlpha)
        for (uint32_t& px : p.pixels)
            px |= 0xFF000000u;
    if (p.isIcon) {
        p.hotspot = {p.width / 2, p.height / 2};
    } else {
        p.hotspot = {static_cast<LONG>(std::min<DWORD>(piconinfo->xHotspot, p.width - 1)),
                     static_cast<LONG>(std::min<DWORD>(piconinfo->yHotspot, p.height - 1))};
    }
    return createIcon(std::move(p), false);
}

// Fills in what an icon or cursor is made of. The bitmaps are new copies that the caller
// deletes: a monochrome mask (1 = transparent) and a 32-bit colour bitmap, with alpha when the
// icon has it.
WINUSERAPI BOOL GetIconInfo(HICON hIcon, PICONINFO piconinfo) {
    auto p = iconPicture(hIcon);
    if (!p) {
        SetLastError(ERROR_INVALID_ICON_HANDLE);
        return FALSE;
    }
    if (!piconinfo) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    HBITMAP mask = ce::createMonochromeBitmap(p->width, p->height, p->mask);
    HBITMAP color = ce::createBitmapFromPixels(p->width, p->height, p->pixels.data(), p->hasAlpha);
    if (!mask || !color) {
        if (mask) DeleteObject(mask);
        if (color) DeleteObject(color);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    piconinfo->fIcon = p->isIcon ? TRUE : FALSE;
    piconinfo->xHotspot = static_cast<DWORD>(p->hotspot.x);
    piconinfo->yHotspot = static_cast<DWORD>(p->hotspot.y);
    piconinfo->hbmMask = mask;
    piconinfo->hbmColor = color;
    return TRUE;
}

// Destroys an icon made by CreateIconIndirect or loaded without LR_SHARED. Icons of the
// system and those LoadIconW shares are not destroyed; the call succeeds on them.
WINUSERAPI BOOL DestroyIcon(HICON hIcon) {
    return destroyIconHandle(hIcon, ERROR_INVALID_ICON_HANDLE);
}

// Draws an icon or cursor at its default size (SM_CXICON x SM_CYICON).
WINUSERAPI BOOL DrawIcon(HDC hDC, int X, int Y, HICON hIcon) {
    return DrawIconEx(hDC, X, Y, hIcon, 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
}

// Draws an icon stretched to cxWidth x cyWidth (0: the icon's own size, or SM_CXICON with
// DI_DEFAULTSIZE). DI_NORMAL blends an icon with alpha and applies mask then image to one
// without; DI_MASK or DI_IMAGE alone copy that layer. With hbrFlickerFreeDraw the rectangle
// is filled with the brush first, which is what drawing through an off-screen copy gives.
WINUSERAPI BOOL DrawIconEx(HDC hdc, int xLeft, int yTop, HICON hIcon, int cxWidth, int cyWidth,
                           UINT istepIfAniCur, HBRUSH hbrFlickerFreeDraw, UINT diFlags) {
    auto p = iconPicture(hIcon);
    if (!p) {
        SetLastError(ERROR_INVALID_ICON_HANDLE);
        return FALSE;
    }
    if (!hdc || (diFlags & DI_NORMAL) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int cx = cxWidth, cy = cyWidth;
    if (cx == 0) cx = (diFlags & DI_DEFAULTSIZE) ? GetSystemMetrics(SM_CXICON) : p->width;
    if (cy == 0) cy = (diFlags & DI_DEFAULTSIZE) ? GetSystemMetrics(SM_CYICON) : p->height;
    if (cx <= 0 || cy <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (hbrFlickerFreeDraw) {
        RECT r{xLeft, yTop, xLeft + cx, yTop + cy};
        FillRect(hdc, &r, hbrFlickerFreeDraw);
    }
    const bool withMask = diFlags & DI_MASK;
    const bool withImage = diFlags & DI_IMAGE;
    if (p->hasAlpha && withMask && withImage) {
        HBITMAP color =
            ce::createBitmapFromPixels(p->width, p->height, p->pixels.data(), p->hasAlpha);
        if (!color) return FALSE;
        HDC mem = CreateCompatibleDC(hdc);
        HGDIOBJ old = SelectObject(mem, color);
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        const BOOL ok = AlphaBlend(hdc, xLeft, yTop, cx, cy, mem, 0, 0, p->width, p->height, blend);
        SelectObject(mem, old);
        DeleteDC(mem);
        DeleteObject(color);
        return ok;
    }
    // The classic way: monochrome becomes colour through the DC's text (0) and background (1)
    // colours, which must be black and white for the mask to work as an AND mask.
    const COLORREF oldText = SetTextColor(hdc, RGB(0, 0, 0));
    const COLORREF oldBk = SetBkColor(hdc, RGB(255, 255, 255));
    if (withMask) {
        HBITMAP mask = ce::createMonochromeBitmap(p->width, p->height, p->mask);
        if (mask) {
            blitLayer(hdc, xLeft, yTop, cx, cy, mask, p->width, p->height,
                      withImage ? SRCAND : SRCCOPY);
            DeleteObject(mask);
        }
    }
    if (withImage) {
        HBITMAP color = ce::createBitmapFromPixels(p->width, p->height, p->pixels.data(), false);
        if (color) {
            blitLayer(hdc, xLeft, yTop, cx, cy, color, p->width, p->height,
                      withMask ? SRCINVERT : SRCCOPY);
            DeleteObject(color);
        }
    }
    SetTextColor(hdc, oldText);
    SetBkColor(hdc, oldBk);
    if (istepIfAniCur) CE_TRACE("resource", "step %u of a still icon", istepIfAniCur);
    return TRUE;
}
