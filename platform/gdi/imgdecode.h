// imgdecode.h: the image decoders behind the device's imaging services (Imgdecmp.dll,
// Imaging.dll, aygshell's image loaders): BMP, PNG, JPEG and GIF files decoded into pixels,
// scaled, and made into GDI bitmaps.
//
// Every decoder takes the whole encoded file in memory and either fills a DecodedImage or
// fails: files come from anywhere, so sizes are checked before pixel memory is taken, reads
// never pass the end of the data, and a file that ends early is a failure, not half a picture.
//
// Inside the platform only (imgdecode.cpp: dispatch, PNG, JPEG, scaling, bitmaps;
// imgbmp.cpp: BMP; imggif.cpp: GIF).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "windows.h"

#include "gdi/surface.h"

namespace ce::image {

enum class Format { Unknown, Bmp, Png, Jpeg, Gif };

// Decoders refuse images with a side longer than this or more pixels in all (64 MB of
// 32-bit pixels), before taking memory for them.
constexpr uint32_t kMaxSide = 16384;
constexpr uint64_t kMaxPixels = 16ull << 20;
// Files larger than this are not read at all.
constexpr uint64_t kMaxFileBytes = 64ull << 20;

struct Decoded {
    Format format = Format::Unknown;
    // Straight (not premultiplied) colours, 0xAARRGGBB: bytes B, G, R, A in memory. Alpha is
    // 0xFF wherever the file has no transparency.
    Surface pixels;
    bool hasAlpha = false;         // the file carries per-pixel alpha (an alpha channel, PNG tRNS,
                                   // a BMP alpha mask that is used)
    bool transparentIndex = false; // GIF: a palette entry marks transparent pixels
    int fileBits = 24;             // bits per pixel as the file stores them
    bool indexed = false;          // the file stores palette indexes
    bool bitfields16 = false;      // a 16-bit BMP: true for 5-6-5, false for 5-5-5
    double dpiX = 96.0;            // the file's resolution, else 96
    double dpiY = 96.0;
    bool realDpi = false; // the resolution came from the file
};

// The format of encoded data by its first bytes (Unknown when none matches).
Format sniffFormat(const uint8_t* data, size_t size);

// Decodes data of any supported format; false (and *error says why) when it is not a complete
// image of one. *out is only written on success.
bool decode(const uint8_t* data, size_t size, Decoded* out, std::string* error = nullptr);
bool decodeBmp(const uint8_t* data, size_t size, Decoded* out, std::string* error);
bool decodePng(const uint8_t* data, size_t size, Decoded* out, std::string* error);
bool decodeJpeg(const uint8_t* data, size_t size, Decoded* out, std::string* error);
bool decodeGif(const uint8_t* data, size_t size, Decoded* out, std::string* error);

// Reads a whole device file (shared read). false with the Win32 error in *error when it
// cannot be opened or read, or is larger than kMaxFileBytes (ERROR_NOT_ENOUGH_MEMORY).
bool readDeviceFile(LPCWSTR path, std::vector<uint8_t>* out, DWORD* error);

// A copy of straight-alpha pixels resampled to width x height (area averaging when shrinking,
// interpolating when enlarging; colours weighted by alpha so transparent pixels do not bleed).
// The same size returns a plain copy.
Surface scale(const Surface& src, int width, int height);

// The pixels with every colour blended onto `matte` (0x00RRGGBB) by its alpha, all opaque.
Surface flatten(const Surface& src, uint32_t matte);

// A DIB section (top-down) holding the pixels: 32 bits as given (alpha kept), 24 bits without
// alpha, 1 bit black (dark) and white (light) by brightness. Null on a bad size or no memory.
HBITMAP makeDibSection(const Surface& pixels, int bitsPerPixel);

} // namespace ce::image
