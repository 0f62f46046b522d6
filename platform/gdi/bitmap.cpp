// bitmap.cpp: bitmaps: device-dependent bitmaps (1 and 32 bits), bitmaps compatible with a
// DC, DIB sections (1, 24 and 32 bits, top-down and bottom-up, BI_RGB and BI_BITFIELDS), the
// platform's bitmaps made from pixels, and the DIB transfers GetDIBits, SetDIBitsToDevice and
// StretchDIBits.
//
// A DIB section's pixels live in the bitmap's own buffer, laid out exactly as the
// BITMAPINFO says (rows padded to four bytes, bottom-up for a positive height): the pointer
// handed out is that buffer, so the program and GDI draw into the same memory.
#include <cstdlib>
#include <cstring>

#include "gdi/gdi.h"
#include "kernel/trace.h"

namespace ce::gdi {
namespace {

constexpr int kMaxSide = 16384;
constexpr int64_t kMaxBytes = 256ll << 20;

int dibStride(int width, int bpp) {
    return ((width * bpp + 31) / 32) * 4;
}

std::shared_ptr<Bitmap> makeBitmap(int width, int height, int bpp, int stride) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return nullptr;
    if (static_cast<int64_t>(stride) * height > kMaxBytes) return nullptr;
    auto b = std::make_shared<Bitmap>();
    b->width = width;
    b->height = height;
    b->bpp = bpp;
    b->stride = stride;
    b->data.assign(static_cast<size_t>(stride) * static_cast<size_t>(height), 0);
    return b;
}

// A device-dependent bitmap: rows padded to 16 bits, as CreateBitmap's input is.
std::shared_ptr<Bitmap> makeDdb(int width, int height, int bpp) {
    return makeBitmap(width, height, bpp, ((width * bpp + 15) / 16) * 2);
}

HBITMAP publish(const std::shared_ptr<Bitmap>& b) {
    if (!b) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return static_cast<HBITMAP>(ULongToHandle(insertObject(b)));
}

// What a BITMAPINFO describes, checked: the formats the device draws in.
struct DibFormat {
    int width = 0;
    int height = 0; // absolute
    bool bottomUp = true;
    int bpp = 0;
    int stride = 0;
    uint32_t palette[2] = {0x000000, 0xFFFFFF};
    DWORD masks[3] = {0, 0, 0};
};

bool parseDib(const BITMAPINFO* bmi, UINT usage, DibFormat* f) {
    if (!bmi || bmi->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) return false;
    const BITMAPINFOHEADER& h = bmi->bmiHeader;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN || h.biPlanes != 1)
        return false;
    f->width = h.biWidth;
    f->height = std::abs(h.biHeight);
    f->bottomUp = h.biHeight > 0;
    f->bpp = h.biBitCount;
    if (f->width > kMaxSide || f->height > kMaxSide) return false;
    const uint8_t* after = reinterpret_cast<const uint8_t*>(bmi) + h.biSize;
    switch (h.biCompression) {
    case BI_RGB:
        if (f->bpp != 1 && f->bpp != 24 && f->bpp != 32) {
            CE_FIXME("gdi", "DIB of %d bits per pixel", f->bpp);
            return false;
        }
        break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS: {
        if (f->bpp != 32) {
            CE_FIXME("gdi", "bit-field DIB of %d bits per pixel", f->bpp);
            return false;
        }
        // The masks follow a BITMAPINFOHEADER, or sit inside a larger header.
        const uint8_t* masks = h.biSize >= 52 ? reinterpret_cast<const uint8_t*>(bmi) + 40 : after;
        std::memcpy(f->masks, masks, sizeof f->masks);
        if (f->masks[0] != 0x00FF0000 || f->masks[1] != 0x0000FF00 || f->masks[2] != 0x000000FF) {
            CE_FIXME("gdi", "bit-field masks %08x %08x %08x", f->masks[0], f->masks[1],
                     f->masks[2]);
            return false;
        }
        break;
    }
    default: CE_FIXME("gdi", "DIB compression %u", h.biCompression); return false;
    }
    if (f->bpp == 1) {
        if (usage == DIB_RGB_COLORS) {
            const RGBQUAD* colors = reinterpret_cast<const RGBQUAD*>(after);
            for (int i = 0; i < 2; ++i)
                f->palette[i] =
                    (colors[i].rgbRed << 16) | (colors[i].rgbGreen << 8) | colors[i].rgbBlue;
        } else {
            CE_FIXME("gdi", "DIB_PAL_COLORS");
        }
    }
    f->stride = dibStride(f->width, f->bpp);
    return true;
}

} // namespace

std::shared_ptr<Bitmap> newDefaultBitmap() {
    // One black pixel (bit 0), as a fresh memory DC has on Windows.
    auto b = makeDdb(1, 1, 1);
    b->stock = true;
    insertObject(b);
    return b;
}

PixelMap mapOfDib(const BITMAPINFO* bmi, UINT usage, const void* bits, int firstScan, int rows,
                  int* topScanOut) {
    PixelMap m;
    DibFormat f;
    if (!bits || rows <= 0 || !parseDib(bmi, usage, &f)) return m;
    m.width = f.width;
    m.height = rows;
    m.bpp = f.bpp;
    m.keepAlpha = true;
    m.paletted = f.bpp == 1;
    m.palette[0] = f.palette[0];
    m.palette[1] = f.palette[1];
    uint8_t* base = static_cast<uint8_t*>(const_cast<void*>(bits));
    if (f.bottomUp) {
        m.top = base + static_cast<ptrdiff_t>(rows - 1) * f.stride;
        m.pitch = -static_cast<ptrdiff_t>(f.stride);
    } else {
        m.top = base;
        m.pitch = f.stride;
    }
    // Where the band's top row is in the whole image, counted from the image's top.
    if (topScanOut) *topScanOut = f.bottomUp ? f.height - firstScan - rows : firstScan;
    return m;
}

} // namespace ce::gdi

using namespace ce::gdi;

namespace ce {

HBITMAP createBitmapFromPixels(int width, int height, const uint32_t* pixels, bool hasAlpha) {
    if (!pixels) return nullptr;
    Guard g(gdiLock());
    auto b = makeBitmap(width, height, 32, width * 4);
    if (!b) return nullptr;
    b->dib = true;
    b->info = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER),           width, -height, 1, 32, BI_RGB,
                               static_cast<DWORD>(b->data.size()), 3780,  3780,    0, 0};
    uint32_t* out = reinterpret_cast<uint32_t*>(b->data.data());
    size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
    for (size_t i = 0; i < n; ++i)
        out[i] = hasAlpha ? pixels[i] : (pixels[i] | 0xFF000000u);
    return publish(b);
}

HBITMAP createMonochromeBitmap(int width, int height, const std::vector<bool>& bits) {
    if (bits.size() < static_cast<size_t>(width > 0 ? width : 0) * (height > 0 ? height : 0))
        return nullptr;
    Guard g(gdiLock());
    auto b = makeDdb(width, height, 1);
    if (!b) return nullptr;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (bits[static_cast<size_t>(y) * width + x])
                b->data[static_cast<size_t>(y) * b->stride + (x >> 3)] |=
                    static_cast<uint8_t>(0x80 >> (x & 7));
    return publish(b);
}

} // namespace ce

// 1 and 32 bits per pixel (other depths are made as 32-bit, noted once); a zero size gives a
// 1x1 monochrome bitmap, as documented.
WINGDIAPI HBITMAP CreateBitmap(int nWidth, int nHeight, UINT cPlanes, UINT cBitsPerPel,
                               const void* lpvBits) {
    if (nWidth < 0 || nHeight < 0 || cPlanes != 1 || cBitsPerPel == 0 || cBitsPerPel > 32) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Guard g(gdiLock());
    if (nWidth == 0 || nHeight == 0) return publish(makeDdb(1, 1, 1));
    int bpp = cBitsPerPel == 1 ? 1 : 32;
    if (cBitsPerPel != 1 && cBitsPerPel != 32)
        CE_FIXME("gdi", "%u-bit bitmaps are 32-bit", cBitsPerPel);
    auto b = makeDdb(nWidth, nHeight, bpp);
    if (b && lpvBits && static_cast<int>(cBitsPerPel) == bpp)
        std::memcpy(b->data.data(), lpvBits, b->data.size());
    return publish(b);
}

WINGDIAPI HBITMAP CreateCompatibleBitmap(HDC hdc, int nWidth, int nHeight) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (nWidth < 0 || nHeight < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (nWidth == 0 || nHeight == 0) return publish(makeDdb(1, 1, 1));
    if (dc->memory && dc->st.bitmap) {
        const Bitmap& sel = *dc->st.bitmap;
        if (sel.bpp == 1) return publish(makeDdb(nWidth, nHeight, 1));
        if (sel.dib) {
            // Compatible with a DIB section: a DIB section of its format (top-down).
            auto b = makeBitmap(nWidth, nHeight, sel.bpp, dibStride(nWidth, sel.bpp));
            if (b) {
                b->dib = true;
                b->info = sel.info;
                b->info.biWidth = nWidth;
                b->info.biHeight = -nHeight;
                b->info.biSizeImage = static_cast<DWORD>(b->data.size());
                std::memcpy(b->masks, sel.masks, sizeof b->masks);
            }
            return publish(b);
        }
        auto b = makeDdb(nWidth, nHeight, 32);
        if (b) b->keepAlpha = sel.keepAlpha;
        return publish(b);
    }
    // The screen's format: 32 bits without alpha.
    auto b = makeDdb(nWidth, nHeight, 32);
    if (b) b->keepAlpha = false;
    return publish(b);
}

WINGDIAPI HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT iUsage, void** ppvBits,
                                   HANDLE hSection, DWORD dwOffset) {
    if (ppvBits) *ppvBits = nullptr;
    if (hSection) {
        CE_FIXME("gdi", "DIB sections over file mappings");
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    DibFormat f;
    if (!parseDib(pbmi, iUsage, &f)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Guard g(gdiLock());
    auto b = makeBitmap(f.width, f.height, f.bpp, f.stride);
    if (!b) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    b->dib = true;
    b->bottomUp = f.bottomUp;
    b->paletted = f.bpp == 1;
    b->palette[0] = f.palette[0];
    b->palette[1] = f.palette[1];
    b->info = pbmi->bmiHeader;
    b->info.biSize = sizeof(BITMAPINFOHEADER);
    if (b->info.biSizeImage == 0) b->info.biSizeImage = static_cast<DWORD>(b->data.size());
    std::memcpy(b->masks, f.masks, sizeof b->masks);
    if (ppvBits) *ppvBits = b->data.data();
    return publish(b);
}

WINGDIAPI int GetDIBits(HDC hdc, HBITMAP hbmp, UINT uStartScan, UINT cScanLines, LPVOID lpvBits,
                        LPBITMAPINFO lpbi, UINT uUsage) {
    Guard g(gdiLock());
    auto b = lookupAs<Bitmap>(hbmp, Kind::Bitmap);
    if (!lookupDc(hdc) || !b || !lpbi || lpbi->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    BITMAPINFOHEADER& h = lpbi->bmiHeader;
    if (!lpvBits && h.biBitCount == 0) {
        // Describe the bitmap: size, depth, bottom-up rows.
        h.biWidth = b->width;
        h.biHeight = b->height;
        h.biPlanes = 1;
        h.biBitCount = static_cast<WORD>(b->bpp);
        h.biCompression = BI_RGB;
        h.biSizeImage = static_cast<DWORD>(dibStride(b->width, b->bpp) * b->height);
        h.biClrUsed = 0;
        h.biClrImportant = 0;
        return 1;
    }
    DibFormat f;
    if (h.biCompression == BI_BITFIELDS) {
        // The answer comes in the standard masks; they are written back as Windows does.
        DWORD* masks = reinterpret_cast<DWORD*>(lpbi->bmiColors);
        masks[0] = 0x00FF0000;
        masks[1] = 0x0000FF00;
        masks[2] = 0x000000FF;
    }
    if (!parseDib(lpbi, DIB_RGB_COLORS, &f) || f.width != b->width) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (h.biSizeImage == 0) h.biSizeImage = static_cast<DWORD>(f.stride * f.height);
    if (f.bpp == 1) {
        lpbi->bmiColors[0] = RGBQUAD{0, 0, 0, 0};
        reinterpret_cast<RGBQUAD*>(lpbi->bmiColors)[1] = RGBQUAD{255, 255, 255, 0};
    }
    if (!lpvBits) return static_cast<int>(b->height);
    PixelMap src = mapOf(*b);
    int first = static_cast<int>(uStartScan);
    int count = static_cast<int>(cScanLines);
    if (uStartScan >= static_cast<UINT>(b->height) || count <= 0) return 0;
    if (count > b->height - first) count = b->height - first;
    uint32_t white = 0xFFFFFF;
    uint32_t mono[2] = {0x000000, white};
    std::vector<uint32_t> row(static_cast<size_t>(b->width));
    uint8_t* out = static_cast<uint8_t*>(lpvBits);
    for (int i = 0; i < count; ++i) {
        int scan = first + i;
        int y = f.bottomUp ? b->height - 1 - scan : scan;
        if (y < 0 || y >= b->height) continue;
        uint8_t* dst = out + static_cast<size_t>(i) * f.stride;
        std::memset(dst, 0, static_cast<size_t>(f.stride));
        if (f.bpp == 1) {
            if (src.bpp == 1) {
                readWorking(src, 0, y, b->width, row.data());
            } else {
                readColors(src, 0, y, b->width, row.data(), mono);
                PixelMap bw;
                bw.bpp = 1;
                for (auto& v : row)
                    v = workingColor(bw, pixelToColor(v & 0xFFFFFF));
            }
            for (int x = 0; x < b->width; ++x)
                if (row[static_cast<size_t>(x)] & 1)
                    dst[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
            continue;
        }
        readColors(src, 0, y, b->width, row.data(), mono);
        for (int x = 0; x < b->width; ++x) {
            uint32_t v = row[static_cast<size_t>(x)];
            // Alpha is kept where the bitmap has it; the screen's format gives 0.
            if (!(src.bpp == 32 && src.keepAlpha)) v &= 0x00FFFFFF;
            if (f.bpp == 32) {
                std::memcpy(dst + static_cast<size_t>(x) * 4, &v, 4);
            } else {
                dst[x * 3] = static_cast<uint8_t>(v);
                dst[x * 3 + 1] = static_cast<uint8_t>(v >> 8);
                dst[x * 3 + 2] = static_cast<uint8_t>(v >> 16);
            }
        }
    }
    return count;
}

WINGDIAPI int SetDIBitsToDevice(HDC hdc, int XDest, int YDest, DWORD dwWidth, DWORD dwHeight,
                                int XSrc, int YSrc, UINT uStartScan, UINT cScanLines,
                                const void* lpvBits, const BITMAPINFO* lpbmi, UINT fuColorUse) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc || !lpvBits || !lpbmi || dwWidth > kMaxSide || dwHeight > kMaxSide ||
        cScanLines > kMaxSide || uStartScan > kMaxSide) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int topScan = 0;
    PixelMap src = mapOfDib(lpbmi, fuColorUse, lpvBits, static_cast<int>(uStartScan),
                            static_cast<int>(cScanLines), &topScan);
    if (!src.valid()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int w = static_cast<int>(dwWidth), h = static_cast<int>(dwHeight);
    int fullHeight = std::abs(lpbmi->bmiHeader.biHeight);
    // YSrc is the lower-left corner for bottom-up DIBs: the rectangle's top row, from the
    // image's top, is fullHeight - YSrc - h; for top-down DIBs it is YSrc.
    int imageTop = lpbmi->bmiHeader.biHeight > 0 ? fullHeight - YSrc - h : YSrc;
    int bandTop = imageTop - topScan;
    stretchBlit(*dc, XDest, YDest, w, h, src, nullptr, XSrc, bandTop, w, h, SRCCOPY);
    return static_cast<int>(cScanLines);
}

WINGDIAPI int StretchDIBits(HDC hdc, int XDest, int YDest, int nDestWidth, int nDestHeight,
                            int XSrc, int YSrc, int nSrcWidth, int nSrcHeight, const void* lpBits,
                            const BITMAPINFO* lpBitsInfo, UINT iUsage, DWORD dwRop) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc || !lpBits || !lpBitsInfo) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int fullHeight = std::abs(lpBitsInfo->bmiHeader.biHeight);
    PixelMap src = mapOfDib(lpBitsInfo, iUsage, lpBits, 0, fullHeight, nullptr);
    if (!src.valid()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int top = lpBitsInfo->bmiHeader.biHeight > 0 ? fullHeight - YSrc - nSrcHeight : YSrc;
    if (!stretchBlit(*dc, XDest, YDest, nDestWidth, nDestHeight, src, nullptr, XSrc, top, nSrcWidth,
                     nSrcHeight, dwRop))
        return 0;
    return fullHeight;
}
