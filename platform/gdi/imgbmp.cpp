// imgbmp.cpp: the decoder of Windows bitmap files (.bmp) for the device's imaging services.
//
// Reads the file header, any of the info headers (the 12-byte core header of OS/2 bitmaps, the
// 40-byte header and its 52/56/108/124-byte successors), 1, 4, 8, 16, 24 and 32 bits per
// pixel, uncompressed or with bit-field masks, run-length encoded 4- and 8-bit pixels, rows
// stored bottom-up (positive height) or top-down (negative). Every read is checked against
// the end of the file: pixel data that stops early makes the file a failure.
#include <cstring>

#include "gdi/imgdecode.h"

namespace ce::image {
namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6;

uint16_t u16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t u32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// One channel of a bit-field pixel, scaled to 8 bits (a 5-bit 31 becomes 255).
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(uint32_t m) : mask(m) {
        if (!m) return;
        while (!((m >> shift) & 1))
            ++shift;
        while (bits < 32 - shift && ((m >> (shift + bits)) & 1))
            ++bits;
    }
    uint32_t get(uint32_t pixel) const {
        if (!bits) return 0;
        uint32_t v = (pixel & mask) >> shift;
        if (bits >= 8) return v >> (bits - 8);
        uint32_t max = (1u << bits) - 1;
        return (v * 255 + max / 2) / max;
    }
};

// Expands run-length encoded pixels into one palette index per pixel, rows bottom-up as
// stored. Pixels the data skips (delta and end-of-line codes) stay index 0. A stream that ends
// without its end-of-bitmap code fails, as a truncated file.
bool expandRle(const uint8_t* p, const uint8_t* end, int width, int height, bool four,
               std::vector<uint8_t>* out) {
    out->assign(static_cast<size_t>(width) * height, 0);
    int x = 0, y = 0; // y counts rows from the bottom
    auto put = [&](uint8_t index) {
        if (x < width && y < height) (*out)[static_cast<size_t>(y) * width + x] = index;
        ++x;
    };
    while (end - p >= 2) {
        uint8_t count = p[0], value = p[1];
        p += 2;
        if (count > 0) { // a run: count pixels of one value (two alternating nibbles for RLE4)
            for (int i = 0; i < count; ++i)
                put(four ? static_cast<uint8_t>(i & 1 ? value & 0x0F : value >> 4) : value);
            continue;
        }
        switch (value) {
        case 0: x = 0, ++y; break; // end of line
        case 1: return true;       // end of bitmap
        case 2:                    // delta: move right and up
            if (end - p < 2) return false;
            x += p[0], y += p[1];
            p += 2;
            break;
        default: { // absolute: `value` literal pixels, padded to a 16-bit boundary
            size_t bytes = four ? (value + 1u) / 2 : value;
            size_t padded = (bytes + 1) & ~size_t{1};
            if (static_cast<size_t>(end - p) < bytes) return false;
            for (int i = 0; i < value; ++i)
                put(four ? static_cast<uint8_t>(i & 1 ? p[i / 2] & 0x0F : p[i / 2] >> 4) : p[i]);
            p += std::min(padded, static_cast<size_t>(end - p));
            break;
        }
        }
        if (y >= height) return true; // the bitmap is full: whatever follows is not needed
    }
    return false;
}

} // namespace

bool decodeBmp(const uint8_t* data, size_t size, Decoded* out, std::string* error) {
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return false;
    };
    if (size < 14 + 12 || data[0] != 'B' || data[1] != 'M') return fail("not a BMP file");
    const uint8_t* end = data + size;
    uint32_t offBits = u32(data + 10);
    const uint8_t* h = data + 14;
    uint32_t headerSize = u32(h);
    if (headerSize != 12 && headerSize != 40 && headerSize != 52 && headerSize != 56 &&
        headerSize != 108 && headerSize != 124)
        return fail("unknown BMP header");
    if (size - 14 < headerSize) return fail("truncated BMP header");

    int64_t width, height;
    uint32_t bpp, compression = kRgb, colorsUsed = 0;
    int32_t ppmX = 0, ppmY = 0;
    if (headerSize == 12) {
        width = u16(h + 4);
        height = static_cast<int16_t>(u16(h + 6));
        bpp = u16(h + 10);
    } else {
        width = static_cast<int32_t>(u32(h + 4));
        height = static_cast<int32_t>(u32(h + 8));
        bpp = u16(h + 14);
        compression = u32(h + 16);
        ppmX = static_cast<int32_t>(u32(h + 24));
        ppmY = static_cast<int32_t>(u32(h + 28));
        colorsUsed = u32(h + 32);
    }
    bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0) return fail("bad BMP size");
    if (width > kMaxSide || height > kMaxSide ||
        static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > kMaxPixels)
        return fail("BMP too large");
    bool validDepth = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
    if (!validDepth) return fail("unsupported BMP depth");
    bool rle = compression == kRle8 || compression == kRle4;
    if ((compression == kRle8 && bpp != 8) || (compression == kRle4 && bpp != 4) ||
        ((compression == kBitfields || compression == kAlphaBitfields) && bpp != 16 && bpp != 32) ||
        (compression != kRgb && !rle && compression != kBitfields &&
         compression != kAlphaBitfields))
        return fail("unsupported BMP compression");
    if (rle && topDown) return fail("top-down RLE BMP"); // not allowed by the format

    // Bit-field masks: inside the larger headers, after the 40-byte one.
    const uint8_t* after = h + headerSize;
    uint32_t masks[4] = {0, 0, 0, 0};
    bool haveMasks = compression == kBitfields || compression == kAlphaBitfields;
    if (haveMasks) {
        if (headerSize >= 52) {
            for (int i = 0; i < 3; ++i)
                masks[i] = u32(h + 40 + 4 * i);
        } else {
            int n = compression == kAlphaBitfields ? 4 : 3;
            if (end - after < 4 * n) return fail("truncated BMP masks");
            for (int i = 0; i < n; ++i)
                masks[i] = u32(after + 4 * i);
            after += 4 * n;
        }
    }
    if (headerSize >= 56 && haveMasks) masks[3] = u32(h + 52);
    if (!haveMasks && bpp == 16) masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    if (!haveMasks && bpp == 32) masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;

    // Colour table of the indexed depths: 3-byte entries after the core header, else 4.
    uint32_t palette[256];
    std::fill(std::begin(palette), std::end(palette), 0xFF000000u);
    if (bpp <= 8) {
        size_t entry = headerSize == 12 ? 3 : 4;
        size_t count = colorsUsed && colorsUsed < (1u << bpp) ? colorsUsed : (1u << bpp);
        size_t available = static_cast<size_t>(end - after) / entry;
        if (available < count) {
            if (available == 0) return fail("truncated BMP colour table");
            count = available; // a short table: the missing entries are black
        }
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* e = after + i * entry;
            palette[i] = 0xFF000000u | (e[2] << 16) | (e[1] << 8) | e[0];
        }
    }
    if (offBits < 14 + headerSize || offBits >= size) return fail("bad BMP pixel offset");
    const uint8_t* bits = data + offBits;

    Decoded result;
    result.format = Format::Bmp;
    result.fileBits = static_cast<int>(bpp);
    result.indexed = bpp <= 8;
    if (ppmX > 0 && ppmY > 0) {
        result.dpiX = ppmX * 0.0254;
        result.dpiY = ppmY * 0.0254;
        result.realDpi = true;
    }
    int w = static_cast<int>(width), hgt = static_cast<int>(height);
    Surface s(w, hgt, 0xFF000000u);
    // File row r (counted from the start of the data) is image row rowOf(r).
    auto rowOf = [&](int r) { return topDown ? r : hgt - 1 - r; };

    if (rle) {
        std::vector<uint8_t> indexes;
        if (!expandRle(bits, end, w, hgt, compression == kRle4, &indexes))
            return fail("truncated BMP RLE data");
        for (int r = 0; r < hgt; ++r)
            for (int x = 0; x < w; ++x)
                s.row(rowOf(r))[x] = palette[indexes[static_cast<size_t>(r) * w + x]];
    } else {
        size_t stride = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
        if (static_cast<size_t>(end - bits) / stride < static_cast<size_t>(hgt))
            return fail("truncated BMP pixel data");
        Channel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
        bool anyAlpha = false;
        for (int r = 0; r < hgt; ++r) {
            const uint8_t* in = bits + stride * r;
            uint32_t* row = s.row(rowOf(r));
            for (int x = 0; x < w; ++x) {
                switch (bpp) {
                case 1: row[x] = palette[(in[x >> 3] >> (7 - (x & 7))) & 1]; break;
                case 4: row[x] = palette[x & 1 ? in[x >> 1] & 0x0F : in[x >> 1] >> 4]; break;
                case 8: row[x] = palette[in[x]]; break;
                case 24:
                    row[x] = 0xFF000000u | (in[x * 3 + 2] << 16) | (in[x * 3 + 1] << 8) | in[x * 3];
                    break;
                default: {
                    uint32_t v = bpp == 16 ? u16(in + x * 2) : u32(in + x * 4);
                    uint32_t a = alpha.bits ? alpha.get(v) : 0xFF;
                    anyAlpha = anyAlpha || a != 0;
                    row[x] = (a << 24) | (red.get(v) << 16) | (green.get(v) << 8) | blue.get(v);
                }
                }
            }
        }
        // An alpha mask over pixels that are all 0 is a file that does not use alpha (tools
        // write XRGB that way): show it opaque.
        if (alpha.bits && !anyAlpha)
            for (uint32_t& p : s.pixels)
                p |= 0xFF000000u;
        result.hasAlpha = alpha.bits && anyAlpha;
        result.bitfields16 = bpp == 16 && masks[1] == 0x07E0;
    }
    result.pixels = std::move(s);
    *out = std::move(result);
    return true;
}

} // namespace ce::image
