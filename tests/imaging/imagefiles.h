// imagefiles.h: image files made in memory for the imaging tests: BMP of every depth and
// layout, PNG of every colour type (libpng), JPEG (libjpeg) and GIF (a plain LZW writer), all
// from pixel lists given as 0xAARRGGBB, so that each test states the pixels it expects back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace imgtest {

using Bytes = std::vector<uint8_t>;
using Pixels = std::vector<uint32_t>; // row-major, top row first, 0xAARRGGBB

struct BmpLayout {
    int width = 0;
    int height = 0;
    int bpp = 24;         // 1, 4, 8, 16, 24, 32
    bool topDown = false; // a negative height in the header
    int headerSize = 40;  // 12 (core), 40, 108 (V4), 124 (V5)
    uint32_t compression = 0;
    uint32_t masks[4] = {0, 0, 0, 0}; // BI_BITFIELDS: red, green, blue, alpha
    Pixels palette;                   // indexed depths: 0x00RRGGBB entries
};

inline BmpLayout bmpLayout(int width, int height, int bpp) {
    BmpLayout s;
    s.width = width, s.height = height, s.bpp = bpp;
    return s;
}

// A BMP whose pixels are `indexes` (indexed depths) or `pixels` (16/24/32 bits, packed with
// the layout's masks or the default layout of the depth).
Bytes makeBmp(const BmpLayout& layout, const Pixels& pixelsOrIndexes);
// The 8-bit RLE or 4-bit RLE stream given as raw bytes after the headers (compression 1 or 2).
Bytes makeRleBmp(int width, int height, int bpp, const Pixels& palette, const Bytes& stream);

enum class PngKind { Rgb, Rgba, Gray, GrayAlpha, Palette, PaletteTrns, Rgb16, RgbaInterlaced };
// A PNG of the pixels in the given colour type. Palette kinds take the colours in order of
// first appearance (at most 256).
Bytes makePng(int width, int height, const Pixels& pixels, PngKind kind);

// A JPEG (quality 100) of the pixels' colours; `gray` makes a one-component file.
Bytes makeJpeg(int width, int height, const Pixels& pixels, bool gray = false);

// A GIF89a of palette indexes with the given palette (0x00RRGGBB); transparentIndex -1 for
// none. The LZW data is written with plain codes and regular clear codes.
Bytes makeGif(int width, int height, const std::vector<uint8_t>& indexes, const Pixels& palette,
              int transparentIndex, bool interlaced = false);

void writeFile(const std::filesystem::path& file, const Bytes& bytes);

} // namespace imgtest
