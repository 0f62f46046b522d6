// tga.cpp: the TGA reader of the common library's image loading (see image.h). Skins may ship
// pictures as Truevision TGA, which no decoder of the device reads, so the product reads the
// two true-colour kinds itself: uncompressed (type 2) and run-length encoded (type 10), 24 or
// 32 bits per pixel, rows bottom first as the format's default origin has them.
//
// The file is read whole and decoded from memory, so that the decoder sees only a byte range:
// every read is checked against its end, and the fuzz target can feed it without a device.
#include "image.h"

#include <cstring>
#include <vector>

#include "log.h"

// The 18-byte header, little-endian.
#define TGA_HEADER_SIZE       18
#define TGA_TYPE_TRUECOLOUR   2
#define TGA_TYPE_RLECOLOUR    10
#define TGA_PACKET_RUN        0x80
#define TGA_PACKET_COUNT_MASK 0x7F

// A skin picture is small; a larger file is not a picture for the item.
#define TGA_MAX_FILE_BYTES (64u * 1024u * 1024u)

static LONG readWord(const BYTE* p) {
    return static_cast<LONG>(p[0] | (p[1] << 8));
}

// Where the pixels start: after the header and, for a colour-mapped file, after the map the
// true-colour picture does not use.
static size_t tgaPixelOffset(const BYTE* data) {
    size_t offset = TGA_HEADER_SIZE;
    if (data[1] == 1) offset += static_cast<size_t>(readWord(data + 5)) * data[7] / 8;
    return offset;
}

BOOL readTgaHeader(const BYTE* data, size_t size, TgaPicture* picture) {
    if (!data || !picture || size < TGA_HEADER_SIZE) return FALSE;
    if (data[0] != 0) return FALSE; // an identification field is not expected
    if (data[2] != TGA_TYPE_TRUECOLOUR && data[2] != TGA_TYPE_RLECOLOUR) return FALSE;
    if (data[16] != 24 && data[16] != 32) return FALSE;
    const LONG width = readWord(data + 12);
    const LONG height = readWord(data + 14);
    if (width <= 0 || height <= 0 || width > TGA_MAX_SIDE || height > TGA_MAX_SIDE ||
        static_cast<size_t>(width) * height > TGA_MAX_PIXELS)
        return FALSE;
    picture->width = width;
    picture->height = height;
    picture->bitsPerPixel = data[16];
    picture->stride = ((width * data[16] / 8) + 3) & ~3;
    return TRUE;
}

void decodeTgaPixels(const BYTE* data, size_t size, TgaPicture* picture, BOOL premultiply) {
    const size_t bpp = picture->bitsPerPixel / 8;
    const size_t width = static_cast<size_t>(picture->width);
    const size_t total = width * static_cast<size_t>(picture->height);
    size_t at = tgaPixelOffset(data);
    // Pixel n of the file is pixel n % width of row n / width; rows start at the stride, not
    // right after the previous row's last pixel.
    auto put = [&](size_t n, const BYTE* pixel) {
        memcpy(picture->bits + (n / width) * picture->stride + (n % width) * bpp, pixel, bpp);
    };
    size_t n = 0;
    if (data[2] == TGA_TYPE_TRUECOLOUR) {
        for (; n < total && at < size && size - at >= bpp; ++n, at += bpp)
            put(n, data + at);
    } else {
        while (n < total && at < size) {
            const BYTE packet = data[at++];
            const size_t count = (packet & TGA_PACKET_COUNT_MASK) + 1u;
            if (packet & TGA_PACKET_RUN) {
                if (size - at < bpp) break;
                for (size_t i = 0; i < count && n < total; ++i)
                    put(n++, data + at);
                at += bpp;
            } else {
                for (size_t i = 0; i < count && n < total && size - at >= bpp; ++i, at += bpp)
                    put(n++, data + at);
            }
        }
    }
    if (premultiply && picture->bitsPerPixel == 32)
        for (LONG row = 0; row < picture->height; ++row)
            premultiplyPixels(picture->bits + row * picture->stride, width);
}

void premultiplyPixels(BYTE* pixels, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        BYTE* p = pixels + i * 4;
        const unsigned alpha = p[3];
        p[0] = static_cast<BYTE>(p[0] * alpha / 255);
        p[1] = static_cast<BYTE>(p[1] * alpha / 255);
        p[2] = static_cast<BYTE>(p[2] * alpha / 255);
    }
}

// The whole file; FALSE when it does not open or is too big to be a picture.
static BOOL readWholeFile(LPCWSTR path, std::vector<BYTE>& bytes) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    DWORD sizeHigh = 0;
    const DWORD size = GetFileSize(file, &sizeHigh);
    BOOL ok = size != INVALID_FILE_SIZE && sizeHigh == 0 && size <= TGA_MAX_FILE_BYTES;
    if (ok) {
        bytes.resize(size);
        DWORD total = 0;
        while (total < size) {
            DWORD got = 0;
            if (!ReadFile(file, bytes.data() + total, size - total, &got, NULL) || got == 0) break;
            total += got;
        }
        bytes.resize(total);
    }
    CloseHandle(file);
    return ok;
}

HBITMAP LoadTGA(LPCWSTR path, BOOL premultiply) {
    std::vector<BYTE> bytes;
    if (!path || !readWholeFile(path, bytes)) return NULL;
    TgaPicture picture = {};
    if (!readTgaHeader(bytes.data(), bytes.size(), &picture)) {
        writeLog("LoadTGA: Invalid TGA file");
        return NULL;
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = picture.height; // bottom-up, as the file's rows come
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = picture.bitsPerPixel;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = NULL;
    HBITMAP bitmap = CreateDIBSection(NULL, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        return NULL;
    }
    picture.bits = static_cast<BYTE*>(bits);
    memset(picture.bits, 0, static_cast<size_t>(picture.stride) * picture.height);
    decodeTgaPixels(bytes.data(), bytes.size(), &picture, premultiply);
    return bitmap;
}
