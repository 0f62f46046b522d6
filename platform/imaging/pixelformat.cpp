// pixelformat.cpp: the pixel formats of the imaging library's bitmap images: conversion of
// straight 32-bit ARGB (the form every object keeps) to the formats a program may lock or
// supply, and back, and the natural format of each kind of decoded file.
#include <cstring>

#include "imaging/objects.h"

namespace ce::imaging {

bool convertible(PixelFormatID format) {
    switch (format) {
    case PixelFormat32bppARGB:
    case PixelFormat32bppPARGB:
    case PixelFormat32bppRGB:
    case PixelFormat24bppRGB:
    case PixelFormat16bppRGB565:
    case PixelFormat16bppRGB555: return true;
    default: return false;
    }
}

size_t strideOf(PixelFormatID format, UINT width) {
    return ((static_cast<size_t>(width) * GetPixelFormatSize(format) + 31) / 32) * 4;
}

void toFormat(const uint32_t* in, size_t n, PixelFormatID format, uint8_t* out) {
    for (size_t i = 0; i < n; ++i) {
        uint32_t p = in[i];
        uint32_t a = p >> 24, r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        switch (format) {
        case PixelFormat32bppARGB: std::memcpy(out + i * 4, &p, 4); break;
        case PixelFormat32bppPARGB: {
            // Premultiplied with rounding, so that alpha 255 leaves colours as they are.
            uint32_t v = (a << 24) | (((r * a + 127) / 255) << 16) | (((g * a + 127) / 255) << 8) |
                         ((b * a + 127) / 255);
            std::memcpy(out + i * 4, &v, 4);
            break;
        }
        case PixelFormat32bppRGB: {
            uint32_t v = p | 0xFF000000u;
            std::memcpy(out + i * 4, &v, 4);
            break;
        }
        case PixelFormat24bppRGB:
            out[i * 3] = static_cast<uint8_t>(b);
            out[i * 3 + 1] = static_cast<uint8_t>(g);
            out[i * 3 + 2] = static_cast<uint8_t>(r);
            break;
        case PixelFormat16bppRGB565: {
            auto v = static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
            std::memcpy(out + i * 2, &v, 2);
            break;
        }
        case PixelFormat16bppRGB555: {
            auto v = static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
            std::memcpy(out + i * 2, &v, 2);
            break;
        }
        default: break;
        }
    }
}

void fromFormat(const uint8_t* in, size_t n, PixelFormatID format, uint32_t* out) {
    auto five = [](uint32_t v) { return (v << 3) | (v >> 2); };
    auto six = [](uint32_t v) { return (v << 2) | (v >> 4); };
    for (size_t i = 0; i < n; ++i) {
        uint32_t p = 0;
        switch (format) {
        case PixelFormat32bppARGB: std::memcpy(&p, in + i * 4, 4); break;
        case PixelFormat32bppPARGB: {
            uint32_t v;
            std::memcpy(&v, in + i * 4, 4);
            uint32_t a = v >> 24;
            auto un = [&](int shift) -> uint32_t {
                if (a == 0) return 0;
                uint32_t c = (((v >> shift) & 0xFF) * 255 + a / 2) / a;
                return (c > 255 ? 255 : c) << shift;
            };
            p = (a << 24) | un(16) | un(8) | un(0);
            break;
        }
        case PixelFormat32bppRGB:
            std::memcpy(&p, in + i * 4, 4);
            p |= 0xFF000000u;
            break;
        case PixelFormat24bppRGB:
            p = 0xFF000000u | (in[i * 3 + 2] << 16) | (in[i * 3 + 1] << 8) | in[i * 3];
            break;
        case PixelFormat16bppRGB565: {
            uint32_t v = in[i * 2] | (in[i * 2 + 1] << 8);
            p = 0xFF000000u | (five(v >> 11) << 16) | (six((v >> 5) & 0x3F) << 8) | five(v & 0x1F);
            break;
        }
        case PixelFormat16bppRGB555: {
            uint32_t v = in[i * 2] | (in[i * 2 + 1] << 8);
            p = 0xFF000000u | (five((v >> 10) & 0x1F) << 16) | (five((v >> 5) & 0x1F) << 8) |
                five(v & 0x1F);
            break;
        }
        default: break;
        }
        out[i] = p;
    }
}

// Files with per-pixel alpha are 32-bit ARGB (the flag programs test); indexed files keep
// their palette depth; true colour is 24-bit, or 16/32-bit for BMPs stored that way.
PixelFormatID formatOf(const image::Decoded& d) {
    if (d.hasAlpha) return PixelFormat32bppARGB;
    if (d.indexed) {
        if (d.fileBits <= 1) return PixelFormat1bppIndexed;
        if (d.fileBits <= 4) return PixelFormat4bppIndexed;
        return PixelFormat8bppIndexed;
    }
    if (d.format == image::Format::Bmp && d.fileBits == 16)
        return d.bitfields16 ? PixelFormat16bppRGB565 : PixelFormat16bppRGB555;
    if (d.format == image::Format::Bmp && d.fileBits == 32) return PixelFormat32bppRGB;
    return PixelFormat24bppRGB;
}

} // namespace ce::imaging
