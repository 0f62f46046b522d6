// tga_fuzz.cpp: TGA files as skins may ship them, fed arbitrary bytes to the reader of the
// common library. A header it takes describes a picture within its limits, and decoding the
// pixels writes inside that picture only: guard bytes after the caller's buffer stay as set.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TgaPicture picture = {};
    if (!readTgaHeader(data, size, &picture)) return 0;
    if (picture.width <= 0 || picture.height <= 0 || picture.width > TGA_MAX_SIDE ||
        picture.height > TGA_MAX_SIDE ||
        static_cast<size_t>(picture.width) * picture.height > TGA_MAX_PIXELS ||
        (picture.bitsPerPixel != 24 && picture.bitsPerPixel != 32) || picture.stride % 4 != 0 ||
        picture.stride < picture.width * picture.bitsPerPixel / 8)
        abort();
    const size_t bytes = static_cast<size_t>(picture.stride) * picture.height;
    const size_t guard = 64;
    std::vector<BYTE> buffer(bytes + guard, 0xA5);
    picture.bits = buffer.data();
    decodeTgaPixels(data, size, &picture, size & 1 ? TRUE : FALSE);
    for (size_t i = bytes; i < buffer.size(); ++i)
        if (buffer[i] != 0xA5) abort();
    return 0;
}
