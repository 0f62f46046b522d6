// imagedecode_fuzz.cpp: the decoders of the device's imaging services (BMP, PNG, JPEG, GIF)
// fed arbitrary bytes. The first byte picks the decoder, so that each one sees inputs that
// need not start with its own signature; the rest is the file. A decoder either fails or
// gives pixels of the size it reports, within the decoders' limits, and those pixels survive
// resampling and flattening.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "gdi/imgdecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    namespace img = ce::image;
    img::Decoded d;
    const uint8_t* file = data + 1;
    size_t n = size - 1;
    bool ok = false;
    switch (data[0] % 5) {
    case 0: ok = img::decodeBmp(file, n, &d, nullptr); break;
    case 1: ok = img::decodePng(file, n, &d, nullptr); break;
    case 2: ok = img::decodeJpeg(file, n, &d, nullptr); break;
    case 3: ok = img::decodeGif(file, n, &d, nullptr); break;
    default: ok = img::decode(file, n, &d, nullptr); break;
    }
    if (!ok) return 0;
    const ce::Surface& s = d.pixels;
    if (s.width <= 0 || s.height <= 0 ||
        s.pixels.size() != static_cast<size_t>(s.width) * static_cast<size_t>(s.height) ||
        static_cast<uint64_t>(s.pixels.size()) > img::kMaxPixels)
        abort();
    if (s.pixels.size() <= 4096) {
        ce::Surface half = img::scale(s, (s.width + 1) / 2, (s.height + 1) / 2);
        ce::Surface flat = img::flatten(half, 0xFFFFFF);
        for (uint32_t p : flat.pixels)
            if (p >> 24 != 0xFF) abort();
    }
    return 0;
}
