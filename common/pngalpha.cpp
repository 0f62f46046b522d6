// pngalpha.cpp: the PNG-with-alpha path of the image loading (see image.h). The device's other
// decoders blend transparent pixels onto a background; only the imaging library's bitmap
// images hand out the alpha channel, so a PNG that has one is read here, through the imaging
// factory, into a 32-bit DIB section for AlphaBlend. The caller's thread has COM initialised
// (the item's start-up does it; a thread without it simply gets no factory).
#include "image.h"

#include <cstring>

#include <imaging.h>

// 300 dots per inch, as the imaging library reports a picture without a resolution of its own.
#define PNG_PELS_PER_METER 11811

// A top-down 32-bit DIB section with an alpha channel: red in the third byte, green in the
// second, blue in the lowest, alpha in the top one.
static HBITMAP createAlphaSection(LONG width, LONG height, BYTE** bits) {
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } info = {};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = -height;
    info.header.biPlanes = 1;
    info.header.biBitCount = 32;
    info.header.biCompression = BI_BITFIELDS;
    info.header.biXPelsPerMeter = PNG_PELS_PER_METER;
    info.header.biYPelsPerMeter = PNG_PELS_PER_METER;
    info.masks[0] = 0x00FF0000;
    info.masks[1] = 0x0000FF00;
    info.masks[2] = 0x000000FF;
    void* pixels = NULL;
    HBITMAP section = CreateDIBSection(NULL, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                       &pixels, NULL, 0);
    if (section && !pixels) {
        DeleteObject(section);
        return NULL;
    }
    *bits = static_cast<BYTE*>(pixels);
    return section;
}

// Copies the image's pixels as straight 32-bit ARGB (in memory blue, green, red, alpha, as a
// DIB section keeps them) into the section's rows.
static BOOL copyPixels(IImagingFactory* factory, IImage* image, const ImageInfo& info, BYTE* bits) {
    IBitmapImage* pixels = NULL;
    if (FAILED(factory->CreateBitmapFromImage(image, info.Width, info.Height, PixelFormat32bppARGB,
                                              InterpolationHintDefault, &pixels)) ||
        !pixels)
        return FALSE;
    RECT all = {0, 0, static_cast<LONG>(info.Width), static_cast<LONG>(info.Height)};
    BitmapData data = {};
    BOOL ok = SUCCEEDED(pixels->LockBits(&all, ImageLockModeRead, PixelFormat32bppARGB, &data)) &&
              data.Scan0 != NULL;
    if (ok) {
        const size_t row = static_cast<size_t>(info.Width) * 4;
        const BYTE* from = static_cast<const BYTE*>(data.Scan0);
        // Row by row: the locked rows are Stride apart, which need not be the width.
        for (UINT y = 0; y < info.Height; ++y)
            memcpy(bits + y * row, from + static_cast<ptrdiff_t>(y) * data.Stride, row);
        pixels->UnlockBits(&data);
    }
    pixels->Release();
    return ok;
}

// The largest picture taken: a skin picture is a few screens at most.
#define PNG_MAX_SIDE 4096

HBITMAP loadPngWithAlpha(LPCWSTR path) {
    if (!path) return NULL;
    IImagingFactory* factory = NULL;
    if (FAILED(CoCreateInstance(CLSID_ImagingFactory, NULL, CLSCTX_INPROC_SERVER,
                                IID_IImagingFactory, reinterpret_cast<void**>(&factory))) ||
        !factory)
        return NULL;
    HBITMAP result = NULL;
    IImage* image = NULL;
    ImageInfo info = {};
    if (SUCCEEDED(factory->CreateImageFromFile(path, &image)) && image &&
        SUCCEEDED(image->GetImageInfo(&info)) && (info.PixelFormat & PixelFormatAlpha) &&
        info.Width > 0 && info.Height > 0 && info.Width <= PNG_MAX_SIDE &&
        info.Height <= PNG_MAX_SIDE) {
        BYTE* bits = NULL;
        HBITMAP section = createAlphaSection(static_cast<LONG>(info.Width),
                                             static_cast<LONG>(info.Height), &bits);
        if (section && copyPixels(factory, image, info, bits)) {
            premultiplyPixels(bits, static_cast<size_t>(info.Width) * info.Height);
            result = section;
        } else if (section) {
            DeleteObject(section);
        }
    }
    if (image) image->Release();
    factory->Release();
    return result;
}
