// imagefiles.h: picture files made byte by byte for the image and skin tests: TGA files of
// both kinds the product reads, minimal PNG files (RGB or RGBA, stored without compression),
// and Windows bitmap files. Header-only, so the item's tests can share it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imagefiles {

// One pixel as the tests write it: blue, green, red, alpha.
struct Bgra {
    uint8_t b, g, r, a;
};

inline void putWord(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

inline void putDword(std::string& out, uint32_t v) {
    putWord(out, v & 0xFFFF);
    putWord(out, v >> 16);
}

// The 18-byte TGA header: identification length, colour-map type, image type, colour-map
// length and entry size, width, height, bits per pixel; descriptor 0.
inline std::string tgaHeader(int type, int width, int height, int bits, int idLength = 0,
                             int mapType = 0, int mapLength = 0, int mapBits = 0) {
    std::string h;
    h += static_cast<char>(idLength);
    h += static_cast<char>(mapType);
    h += static_cast<char>(type);
    putWord(h, 0); // first colour-map entry
    putWord(h, mapLength);
    h += static_cast<char>(mapBits);
    putWord(h, 0); // x origin
    putWord(h, 0); // y origin
    putWord(h, width);
    putWord(h, height);
    h += static_cast<char>(bits);
    h += static_cast<char>(0);
    return h;
}

inline std::string tgaPixel(const Bgra& p, int bits) {
    std::string s;
    s += static_cast<char>(p.b);
    s += static_cast<char>(p.g);
    s += static_cast<char>(p.r);
    if (bits == 32) s += static_cast<char>(p.a);
    return s;
}

// An uncompressed TGA; pixels bottom row first, as the file stores them.
inline std::string tgaFile(int width, int height, int bits, const std::vector<Bgra>& pixels) {
    std::string file = tgaHeader(2, width, height, bits);
    for (const Bgra& p : pixels)
        file += tgaPixel(p, bits);
    return file;
}

// ---- PNG ---------------------------------------------------------------------------------

inline uint32_t crc32(const std::string& data) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

inline void putBigDword(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}

inline void pngChunk(std::string& out, const char* type, const std::string& data) {
    putBigDword(out, static_cast<uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    putBigDword(out, crc32(body));
}

// A PNG of 8-bit RGB (alpha false) or RGBA rows, top row first.
inline std::string pngFile(int width, int height, bool alpha, const std::vector<Bgra>& pixels) {
    std::string out("\x89PNG\r\n\x1a\n", 8);
    std::string ihdr;
    putBigDword(ihdr, static_cast<uint32_t>(width));
    putBigDword(ihdr, static_cast<uint32_t>(height));
    ihdr += static_cast<char>(8);
    ihdr += static_cast<char>(alpha ? 6 : 2);
    ihdr += std::string(3, '\0');
    pngChunk(out, "IHDR", ihdr);
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0'; // no filter
        for (int x = 0; x < width; ++x) {
            const Bgra& p = pixels[static_cast<size_t>(y * width + x)];
            raw += static_cast<char>(p.r);
            raw += static_cast<char>(p.g);
            raw += static_cast<char>(p.b);
            if (alpha) raw += static_cast<char>(p.a);
        }
    }
    // zlib: stored blocks of at most 65535 bytes, then the Adler-32 of the data.
    std::string z("\x78\x01", 2);
    size_t at = 0;
    do {
        size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
        z += static_cast<char>(at + n == raw.size() ? 1 : 0);
        putWord(z, static_cast<unsigned>(n));
        putWord(z, static_cast<unsigned>(~n & 0xFFFF));
        z += raw.substr(at, n);
        at += n;
    } while (at < raw.size());
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    putBigDword(z, (b << 16) | a);
    pngChunk(out, "IDAT", z);
    pngChunk(out, "IEND", "");
    return out;
}

// ---- BMP ---------------------------------------------------------------------------------

// A 24-bit bottom-up Windows bitmap file; pixels top row first.
inline std::string bmpFile(int width, int height, const std::vector<Bgra>& pixels) {
    const uint32_t stride = static_cast<uint32_t>((width * 3 + 3) & ~3);
    const uint32_t image = stride * static_cast<uint32_t>(height);
    std::string out = "BM";
    putDword(out, 54 + image);
    putDword(out, 0);
    putDword(out, 54);
    putDword(out, 40);
    putDword(out, static_cast<uint32_t>(width));
    putDword(out, static_cast<uint32_t>(height));
    putWord(out, 1);
    putWord(out, 24);
    putDword(out, 0);
    putDword(out, image);
    putDword(out, 3780);
    putDword(out, 3780);
    putDword(out, 0);
    putDword(out, 0);
    for (int y = height - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < width; ++x) {
            const Bgra& p = pixels[static_cast<size_t>(y * width + x)];
            row += static_cast<char>(p.b);
            row += static_cast<char>(p.g);
            row += static_cast<char>(p.r);
        }
        row.resize(stride, '\0');
        out += row;
    }
    return out;
}

} // namespace imagefiles
