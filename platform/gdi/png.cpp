// png.cpp: PNG files of surfaces (libpng): screenshots written by cedev, reference pictures
// of the pixel tests read back.
//
// libpng reports errors by longjmp; every object that must be destroyed lives outside the
// setjmp scope, so nothing is skipped on the way out. Files come from outside: the size is
// checked before any pixel memory is taken.
#include "gdi/png.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

#include <png.h>

namespace ce {
namespace {

constexpr uint32_t kMaxSide = 16384;
constexpr uint64_t kMaxPixels = 64ull << 20;

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

void setError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

} // namespace

bool writePngFile(const Surface& surface, const std::filesystem::path& file, std::string* error) {
    if (surface.width <= 0 || surface.height <= 0 ||
        surface.pixels.size() < static_cast<size_t>(surface.width) * surface.height) {
        setError(error, "empty surface");
        return false;
    }
    auto temp = file;
    temp += ".tmp";
    FilePtr out(std::fopen(temp.c_str(), "wb"));
    if (!out) {
        setError(error, "cannot create " + file.string());
        return false;
    }
    std::vector<uint8_t> row(static_cast<size_t>(surface.width) * 4);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    if (png && info) {
        if (setjmp(png_jmpbuf(png)) == 0) {
            png_init_io(png, out.get());
            png_set_IHDR(png, info, static_cast<png_uint_32>(surface.width),
                         static_cast<png_uint_32>(surface.height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                         PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
            png_write_info(png, info);
            for (int y = 0; y < surface.height; ++y) {
                const uint32_t* src = surface.row(y);
                for (int x = 0; x < surface.width; ++x) {
                    uint32_t p = src[x];
                    row[static_cast<size_t>(x) * 4 + 0] = static_cast<uint8_t>(p >> 16);
                    row[static_cast<size_t>(x) * 4 + 1] = static_cast<uint8_t>(p >> 8);
                    row[static_cast<size_t>(x) * 4 + 2] = static_cast<uint8_t>(p);
                    row[static_cast<size_t>(x) * 4 + 3] = static_cast<uint8_t>(p >> 24);
                }
                png_write_row(png, row.data());
            }
            png_write_end(png, info);
            ok = true;
        }
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    if (std::fflush(out.get()) != 0) ok = false;
    out.reset();
    std::error_code ec;
    if (ok) std::filesystem::rename(temp, file, ec);
    if (!ok || ec) {
        std::filesystem::remove(temp, ec);
        setError(error, "cannot write " + file.string());
        return false;
    }
    return true;
}

bool readPngFile(const std::filesystem::path& file, Surface* out, std::string* error) {
    if (!out) return false;
    FilePtr in(std::fopen(file.c_str(), "rb"));
    if (!in) {
        setError(error, "cannot open " + file.string());
        return false;
    }
    uint8_t sig[8];
    if (std::fread(sig, 1, 8, in.get()) != 8 || png_sig_cmp(sig, 0, 8) != 0) {
        setError(error, file.string() + " is not a PNG file");
        return false;
    }
    std::vector<uint8_t> pixels;
    std::vector<png_bytep> rows;
    png_uint_32 width = 0, height = 0;
    bool hasAlpha = false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    const char* why = "broken PNG data";
    if (png && info) {
        if (setjmp(png_jmpbuf(png)) == 0) {
            png_init_io(png, in.get());
            png_set_sig_bytes(png, 8);
            png_set_user_limits(png, kMaxSide, kMaxSide);
            png_read_info(png, info);
            width = png_get_image_width(png, info);
            height = png_get_image_height(png, info);
            int colorType = png_get_color_type(png, info);
            hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 ||
                       png_get_valid(png, info, PNG_INFO_tRNS) != 0;
            if (width == 0 || height == 0 || static_cast<uint64_t>(width) * height > kMaxPixels) {
                why = "PNG too large";
            } else {
                // Whatever the colour type: 8-bit RGBA, opaque where there is no alpha.
                png_set_expand(png);
                png_set_strip_16(png);
                png_set_gray_to_rgb(png);
                png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
                png_set_interlace_handling(png);
                png_read_update_info(png, info);
                pixels.resize(static_cast<size_t>(width) * height * 4);
                rows.resize(height);
                for (png_uint_32 y = 0; y < height; ++y)
                    rows[y] = pixels.data() + static_cast<size_t>(y) * width * 4;
                png_read_image(png, rows.data());
                png_read_end(png, nullptr);
                ok = true;
            }
        }
    }
    png_destroy_read_struct(png ? &png : nullptr, info ? &info : nullptr, nullptr);
    if (!ok) {
        setError(error, file.string() + ": " + why);
        return false;
    }
    Surface s(static_cast<int>(width), static_cast<int>(height));
    for (size_t i = 0; i < s.pixels.size(); ++i) {
        const uint8_t* p = pixels.data() + i * 4;
        uint32_t a = hasAlpha ? p[3] : 0xFF;
        // Premultiplied, truncating, as the device's image loaders premultiply.
        uint32_t r = p[0] * a / 255, g = p[1] * a / 255, b = p[2] * a / 255;
        s.pixels[i] = (a << 24) | (r << 16) | (g << 8) | b;
    }
    *out = std::move(s);
    return true;
}

} // namespace ce
