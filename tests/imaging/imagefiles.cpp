// imagefiles.cpp: the image-file makers of the imaging tests (see imagefiles.h). Written
// from the formats' published layouts; libpng and libjpeg do the compression.
#include "imagefiles.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <stdexcept>

#include <jpeglib.h>
#include <png.h>

namespace imgtest {
namespace {

void put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// The file header and info header; the caller appends masks, palette and pixels.
Bytes bmpHeaders(int width, int height, int bpp, bool topDown, int headerSize, uint32_t compression,
                 const uint32_t masks[4], size_t paletteEntries, size_t extraBeforePixels,
                 size_t pixelBytes) {
    size_t entry = headerSize == 12 ? 3 : 4;
    size_t offBits = 14 + headerSize + extraBeforePixels + paletteEntries * entry;
    Bytes b = {'B', 'M'};
    put32(b, static_cast<uint32_t>(offBits + pixelBytes));
    put32(b, 0);
    put32(b, static_cast<uint32_t>(offBits));
    put32(b, static_cast<uint32_t>(headerSize));
    if (headerSize == 12) {
        put16(b, static_cast<uint32_t>(width));
        put16(b, static_cast<uint32_t>(topDown ? -height : height));
        put16(b, 1);
        put16(b, static_cast<uint32_t>(bpp));
        return b;
    }
    put32(b, static_cast<uint32_t>(width));
    put32(b, static_cast<uint32_t>(topDown ? -height : height));
    put16(b, 1);
    put16(b, static_cast<uint32_t>(bpp));
    put32(b, compression);
    put32(b, static_cast<uint32_t>(pixelBytes));
    put32(b, 2835); // 72 dpi
    put32(b, 2835);
    put32(b, static_cast<uint32_t>(paletteEntries));
    put32(b, 0);
    if (headerSize >= 108) {
        for (int i = 0; i < 4; ++i)
            put32(b, masks[i]);
        b.resize(14 + static_cast<size_t>(headerSize), 0); // colour space and the rest: zero
    }
    return b;
}

} // namespace

Bytes makeBmp(const BmpLayout& s, const Pixels& px) {
    size_t stride = ((static_cast<size_t>(s.width) * s.bpp + 31) / 32) * 4;
    bool inlineMasks = s.compression == 3 && s.headerSize == 40;
    Bytes b = bmpHeaders(s.width, s.height, s.bpp, s.topDown, s.headerSize, s.compression, s.masks,
                         s.palette.size(), inlineMasks ? 12 : 0, stride * s.height);
    if (inlineMasks)
        for (int i = 0; i < 3; ++i)
            put32(b, s.masks[i]);
    for (uint32_t c : s.palette) {
        b.push_back(static_cast<uint8_t>(c));
        b.push_back(static_cast<uint8_t>(c >> 8));
        b.push_back(static_cast<uint8_t>(c >> 16));
        if (s.headerSize != 12) b.push_back(0);
    }
    auto pack = [&](uint32_t p) -> uint32_t { // 16/32 bits: straight ARGB into the masks
        if (s.compression != 3) {
            if (s.bpp == 16)
                return (((p >> 19) & 0x1F) << 10) | (((p >> 11) & 0x1F) << 5) | ((p >> 3) & 0x1F);
            return p;
        }
        uint32_t out = 0;
        for (int c = 0; c < 4; ++c) {
            uint32_t m = s.masks[c];
            if (!m) continue;
            int shift = 0, bits = 0;
            while (!((m >> shift) & 1))
                ++shift;
            while (shift + bits < 32 && ((m >> (shift + bits)) & 1))
                ++bits;
            uint32_t v = (p >> (c == 3 ? 24 : 16 - 8 * c)) & 0xFF;
            out |= ((v >> (8 - bits)) << shift) & m;
        }
        return out;
    };
    for (int r = 0; r < s.height; ++r) {
        int y = s.topDown ? r : s.height - 1 - r;
        Bytes row(stride, 0);
        for (int x = 0; x < s.width; ++x) {
            uint32_t v = px[static_cast<size_t>(y) * s.width + x];
            switch (s.bpp) {
            case 1: row[x / 8] |= static_cast<uint8_t>((v & 1) << (7 - x % 8)); break;
            case 4: row[x / 2] |= static_cast<uint8_t>((v & 15) << (x % 2 ? 0 : 4)); break;
            case 8: row[x] = static_cast<uint8_t>(v); break;
            case 16: {
                uint32_t p = pack(v);
                row[x * 2] = static_cast<uint8_t>(p);
                row[x * 2 + 1] = static_cast<uint8_t>(p >> 8);
                break;
            }
            case 24:
                row[x * 3] = static_cast<uint8_t>(v);
                row[x * 3 + 1] = static_cast<uint8_t>(v >> 8);
                row[x * 3 + 2] = static_cast<uint8_t>(v >> 16);
                break;
            default: {
                uint32_t p = pack(v);
                std::memcpy(&row[x * 4], &p, 4);
            }
            }
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

Bytes makeRleBmp(int width, int height, int bpp, const Pixels& palette, const Bytes& stream) {
    uint32_t none[4] = {0, 0, 0, 0};
    Bytes b = bmpHeaders(width, height, bpp, false, 40, bpp == 8 ? 1 : 2, none, palette.size(), 0,
                         stream.size());
    for (uint32_t c : palette) {
        put32(b, c & 0xFFFFFF);
    }
    b.insert(b.end(), stream.begin(), stream.end());
    return b;
}

// ---- PNG ----------------------------------------------------------------------------------------
namespace {

void pngWrite(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
void pngFlush(png_structp) {}

} // namespace

Bytes makePng(int width, int height, const Pixels& px, PngKind kind) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) throw std::runtime_error("libpng failed");
    png_set_write_fn(png, &out, pngWrite, pngFlush);
    int type = PNG_COLOR_TYPE_RGB, depth = 8, channels = 3;
    switch (kind) {
    case PngKind::Rgb: break;
    case PngKind::Rgba:
    case PngKind::RgbaInterlaced: type = PNG_COLOR_TYPE_RGBA, channels = 4; break;
    case PngKind::Gray: type = PNG_COLOR_TYPE_GRAY, channels = 1; break;
    case PngKind::GrayAlpha: type = PNG_COLOR_TYPE_GRAY_ALPHA, channels = 2; break;
    case PngKind::Palette:
    case PngKind::PaletteTrns: type = PNG_COLOR_TYPE_PALETTE, channels = 1; break;
    case PngKind::Rgb16: depth = 16; break;
    }
    std::map<uint32_t, int> index;
    std::vector<png_color> colors;
    std::vector<png_byte> alphas;
    if (type == PNG_COLOR_TYPE_PALETTE) {
        for (uint32_t p : px)
            if (!index.count(p)) {
                index[p] = static_cast<int>(colors.size());
                colors.push_back(png_color{static_cast<png_byte>(p >> 16),
                                           static_cast<png_byte>(p >> 8),
                                           static_cast<png_byte>(p)});
                alphas.push_back(static_cast<png_byte>(p >> 24));
            }
    }
    png_set_IHDR(png, info, width, height, depth, type,
                 kind == PngKind::RgbaInterlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (type == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(png, info, colors.data(), static_cast<int>(colors.size()));
        if (kind == PngKind::PaletteTrns)
            png_set_tRNS(png, info, alphas.data(), static_cast<int>(alphas.size()), nullptr);
    }
    png_write_info(png, info);
    std::vector<Bytes> rows(height, Bytes(static_cast<size_t>(width) * channels * depth / 8));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t p = px[static_cast<size_t>(y) * width + x];
            uint8_t a = p >> 24, r = p >> 16, g = p >> 8, b = p;
            uint8_t* o = &rows[y][static_cast<size_t>(x) * channels * depth / 8];
            switch (kind) {
            case PngKind::Rgb: o[0] = r, o[1] = g, o[2] = b; break;
            case PngKind::Rgba:
            case PngKind::RgbaInterlaced: o[0] = r, o[1] = g, o[2] = b, o[3] = a; break;
            case PngKind::Gray: o[0] = g; break;
            case PngKind::GrayAlpha: o[0] = g, o[1] = a; break;
            case PngKind::Palette:
            case PngKind::PaletteTrns: o[0] = static_cast<uint8_t>(index[p]); break;
            case PngKind::Rgb16: // each 8-bit value v as the 16-bit v * 257
                o[0] = o[1] = r, o[2] = o[3] = g, o[4] = o[5] = b;
                break;
            }
        }
    std::vector<png_bytep> rowPtrs;
    for (Bytes& r : rows)
        rowPtrs.push_back(r.data());
    png_write_image(png, rowPtrs.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// ---- JPEG ---------------------------------------------------------------------------------------

Bytes makeJpeg(int width, int height, const Pixels& px, bool gray) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = width;
    c.image_height = height;
    c.input_components = gray ? 1 : 3;
    c.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    if (!gray) // full-resolution colour, so that each 8x8 block keeps its own colour
        c.comp_info[0].h_samp_factor = c.comp_info[0].v_samp_factor = 1;
    jpeg_start_compress(&c, TRUE);
    Bytes row(static_cast<size_t>(width) * 3);
    while (c.next_scanline < c.image_height) {
        int y = static_cast<int>(c.next_scanline);
        for (int x = 0; x < width; ++x) {
            uint32_t p = px[static_cast<size_t>(y) * width + x];
            if (gray) {
                row[x] = static_cast<uint8_t>(p >> 8);
            } else {
                row[x * 3] = static_cast<uint8_t>(p >> 16);
                row[x * 3 + 1] = static_cast<uint8_t>(p >> 8);
                row[x * 3 + 2] = static_cast<uint8_t>(p);
            }
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    Bytes out(mem, mem + size);
    jpeg_destroy_compress(&c);
    free(mem);
    return out;
}

// ---- GIF ----------------------------------------------------------------------------------------

Bytes makeGif(int width, int height, const std::vector<uint8_t>& indexes, const Pixels& palette,
              int transparentIndex, bool interlaced) {
    Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
    put16(b, width);
    put16(b, height);
    b.push_back(0xF7); // global table of 256 entries
    b.push_back(0);
    b.push_back(0);
    for (int i = 0; i < 256; ++i) {
        uint32_t c = i < static_cast<int>(palette.size()) ? palette[i] : 0;
        b.push_back(static_cast<uint8_t>(c >> 16));
        b.push_back(static_cast<uint8_t>(c >> 8));
        b.push_back(static_cast<uint8_t>(c));
    }
    if (transparentIndex >= 0) {
        Bytes gce = {0x21, 0xF9, 4, 1, 0, 0, static_cast<uint8_t>(transparentIndex), 0};
        b.insert(b.end(), gce.begin(), gce.end());
    }
    b.push_back(0x2C);
    put16(b, 0);
    put16(b, 0);
    put16(b, width);
    put16(b, height);
    b.push_back(interlaced ? 0x40 : 0);
    b.push_back(8); // minimum code size
    // Plain 9-bit codes: a clear code before every 254 literals keeps the table (and so the
    // code size) from growing.
    std::vector<int> rowOrder;
    if (interlaced) {
        const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        for (int p = 0; p < 4; ++p)
            for (int y = start[p]; y < height; y += step[p])
                rowOrder.push_back(y);
    } else {
        for (int y = 0; y < height; ++y)
            rowOrder.push_back(y);
    }
    Bytes data;
    uint32_t acc = 0;
    int bits = 0;
    auto code = [&](int c) {
        acc |= static_cast<uint32_t>(c) << bits;
        bits += 9;
        while (bits >= 8) {
            data.push_back(static_cast<uint8_t>(acc));
            acc >>= 8;
            bits -= 8;
        }
    };
    int run = 0;
    for (int y : rowOrder)
        for (int x = 0; x < width; ++x) {
            if (run % 254 == 0) code(256);
            code(indexes[static_cast<size_t>(y) * width + x]);
            ++run;
        }
    code(257);
    if (bits) data.push_back(static_cast<uint8_t>(acc));
    for (size_t i = 0; i < data.size(); i += 255) {
        size_t n = std::min<size_t>(255, data.size() - i);
        b.push_back(static_cast<uint8_t>(n));
        b.insert(b.end(), data.begin() + i, data.begin() + i + n);
    }
    b.push_back(0);
    b.push_back(0x3B);
    return b;
}

void writeFile(const std::filesystem::path& file, const Bytes& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

} // namespace imgtest
