// imgdecode.cpp: the image decoders' common part: which format a file is, PNG (libpng) and
// JPEG (libjpeg) decoding from memory, reading device files, resampling, and making GDI
// bitmaps of decoded pixels. BMP and GIF live in imgbmp.cpp and imggif.cpp.
//
// libpng and libjpeg report fatal errors by longjmp. Each decoder keeps everything that has a
// destructor in a heap record created before setjmp and touched only through a pointer that
// does not change afterwards, so a jump out of the library skips no destructor and leaves no
// indeterminate local behind.
#include "gdi/imgdecode.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

// windows.h has INT32 already; jpeglib.h's headers define it unless told so (the library
// does not use it in its interface).
#define XMD_H
#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

#include "winbase.h"
#include "wingdi.h"

namespace ce::image {
namespace {

void setError(std::string* error, const char* text) {
    if (error) *error = text;
}

bool sizeAllowed(uint64_t width, uint64_t height) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           width * height <= kMaxPixels;
}

// ---- PNG ----------------------------------------------------------------------------------------

struct PngInput {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
};

void pngRead(png_structp png, png_bytep out, png_size_t length) {
    auto* in = static_cast<PngInput*>(png_get_io_ptr(png));
    if (length > in->size - in->pos) png_error(png, "truncated");
    std::memcpy(out, in->data + in->pos, length);
    in->pos += length;
}

// libpng's default handlers print to stderr; a bad file is an answer, not a message.
void pngFail(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void pngWarn(png_structp, png_const_charp) {}

struct PngState {
    PngInput input;
    Surface pixels;
    std::vector<png_bytep> rows;
    Decoded result;
    bool ok = false;
    const char* why = "broken PNG data";
};

} // namespace

bool decodePng(const uint8_t* data, size_t size, Decoded* out, std::string* error) {
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) {
        setError(error, "not a PNG file");
        return false;
    }
    auto st = std::make_unique<PngState>();
    PngState* const s = st.get();
    s->input = PngInput{data, size, 8};
    Decoded* const r = &s->result;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFail, pngWarn);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (png && info && setjmp(png_jmpbuf(png)) == 0) {
        png_set_read_fn(png, &s->input, pngRead);
        png_set_sig_bytes(png, 8);
        png_set_user_limits(png, kMaxSide, kMaxSide);
        png_read_info(png, info);
        png_uint_32 width = png_get_image_width(png, info);
        png_uint_32 height = png_get_image_height(png, info);
        int colorType = png_get_color_type(png, info);
        int depth = png_get_bit_depth(png, info);
        r->format = Format::Png;
        r->hasAlpha =
            (colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
        r->indexed = colorType == PNG_COLOR_TYPE_PALETTE;
        int channels = png_get_channels(png, info);
        r->fileBits = r->indexed ? depth : depth * channels;
        png_uint_32 ppmX = 0, ppmY = 0;
        int unit = 0;
        if (png_get_pHYs(png, info, &ppmX, &ppmY, &unit) && unit == PNG_RESOLUTION_METER &&
            ppmX > 0 && ppmY > 0) {
            r->dpiX = ppmX * 0.0254;
            r->dpiY = ppmY * 0.0254;
            r->realDpi = true;
        }
        if (!sizeAllowed(width, height)) {
            s->why = "PNG too large";
        } else {
            // Whatever the colour type: 8-bit B, G, R, A bytes, i.e. 0xAARRGGBB words.
            png_set_expand(png);
            png_set_strip_16(png);
            png_set_gray_to_rgb(png);
            png_set_bgr(png);
            png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
            png_set_interlace_handling(png);
            png_read_update_info(png, info);
            if (png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * 4) {
                s->why = "unexpected PNG row layout";
            } else {
                s->pixels = Surface(static_cast<int>(width), static_cast<int>(height), 0);
                s->rows.resize(height);
                for (png_uint_32 y = 0; y < height; ++y)
                    s->rows[y] = reinterpret_cast<png_bytep>(s->pixels.row(static_cast<int>(y)));
                // The image data is complete here; what follows it (IEND) is not needed.
                png_read_image(png, s->rows.data());
                s->ok = true;
            }
        }
    }
    png_destroy_read_struct(png ? &png : nullptr, info ? &info : nullptr, nullptr);
    if (!s->ok) {
        setError(error, s->why);
        return false;
    }
    s->result.pixels = std::move(s->pixels);
    *out = std::move(s->result);
    return true;
}

// ---- JPEG ---------------------------------------------------------------------------------------
namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
    bool truncated = false;
};

void jpegFail(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}
// Warnings are silent, except that data ending early makes the image a failure: libjpeg would
// otherwise fill the rest with grey and call it done.
void jpegMessage(j_common_ptr cinfo, int level) {
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    if (level < 0 && err->mgr.msg_code == JWRN_JPEG_EOF) err->truncated = true;
}
void jpegOutput(j_common_ptr) {}

// A progressive file of endless tiny scans would keep the decoder busy for minutes.
constexpr int kMaxScans = 1000;
void jpegProgress(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
        cinfo->err->msg_code = JERR_NOT_COMPILED; // any code: the jump is what matters
        jpegFail(cinfo);
    }
}

struct JpegState {
    jpeg_decompress_struct cinfo{};
    JpegError err{};
    jpeg_progress_mgr progress{};
    Surface pixels;
    std::vector<uint8_t> cmykRow;
    Decoded result;
    const char* why = "broken JPEG data";
    bool created = false;
    bool ok = false;
};

uint32_t cmykToPixel(const uint8_t* p, bool inverted) {
    uint32_t c = p[0], m = p[1], y = p[2], k = p[3];
    if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    // Adobe files store inverted CMYK: each byte is already 255 - ink.
    uint32_t r = c * k / 255, g = m * k / 255, b = y * k / 255;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

} // namespace

bool decodeJpeg(const uint8_t* data, size_t size, Decoded* out, std::string* error) {
    if (size < 3 || data[0] != 0xFF || data[1] != 0xD8) {
        setError(error, "not a JPEG file");
        return false;
    }
    auto st = std::make_unique<JpegState>();
    JpegState* const s = st.get();
    Decoded* const r = &s->result;
    s->cinfo.err = jpeg_std_error(&s->err.mgr);
    s->err.mgr.error_exit = jpegFail;
    s->err.mgr.emit_message = jpegMessage;
    s->err.mgr.output_message = jpegOutput;
    if (setjmp(s->err.jump) == 0) {
        jpeg_create_decompress(&s->cinfo);
        s->created = true;
        s->progress.progress_monitor = jpegProgress;
        s->cinfo.progress = &s->progress;
        jpeg_mem_src(&s->cinfo, data, static_cast<unsigned long>(size));
        jpeg_read_header(&s->cinfo, TRUE);
        r->format = Format::Jpeg;
        r->fileBits = s->cinfo.num_components == 1 ? 8 : 24;
        if (s->cinfo.density_unit == 1 || s->cinfo.density_unit == 2) {
            double f = s->cinfo.density_unit == 2 ? 2.54 : 1.0;
            if (s->cinfo.X_density > 0 && s->cinfo.Y_density > 0) {
                r->dpiX = s->cinfo.X_density * f;
                r->dpiY = s->cinfo.Y_density * f;
                r->realDpi = true;
            }
        }
        bool cmyk = s->cinfo.jpeg_color_space == JCS_CMYK || s->cinfo.jpeg_color_space == JCS_YCCK;
        s->cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
        if (!sizeAllowed(s->cinfo.image_width, s->cinfo.image_height)) {
            s->why = "JPEG too large";
        } else {
            jpeg_start_decompress(&s->cinfo);
            int w = static_cast<int>(s->cinfo.output_width);
            int h = static_cast<int>(s->cinfo.output_height);
            if (!sizeAllowed(static_cast<uint64_t>(w), static_cast<uint64_t>(h)) ||
                s->cinfo.output_components != 4) {
                s->why = "unexpected JPEG output";
            } else {
                s->pixels = Surface(w, h, 0xFF000000u);
                if (cmyk) s->cmykRow.resize(static_cast<size_t>(w) * 4);
                while (s->cinfo.output_scanline < s->cinfo.output_height && !s->err.truncated) {
                    int y = static_cast<int>(s->cinfo.output_scanline);
                    JSAMPROW row =
                        cmyk ? s->cmykRow.data() : reinterpret_cast<JSAMPROW>(s->pixels.row(y));
                    if (jpeg_read_scanlines(&s->cinfo, &row, 1) != 1) break;
                    if (cmyk)
                        for (int x = 0; x < w; ++x)
                            s->pixels.row(y)[x] = cmykToPixel(
                                &s->cmykRow[static_cast<size_t>(x) * 4], s->cinfo.saw_Adobe_marker);
                }
                if (s->cinfo.output_scanline < s->cinfo.output_height || s->err.truncated)
                    s->why = "truncated JPEG data";
                else
                    s->ok = true;
            }
        }
    }
    if (s->created) jpeg_destroy_decompress(&s->cinfo);
    if (!s->ok) {
        setError(error, s->why);
        return false;
    }
    s->result.pixels = std::move(s->pixels);
    *out = std::move(s->result);
    return true;
}

// ---- Dispatch -----------------------------------------------------------------------------------

Format sniffFormat(const uint8_t* data, size_t size) {
    if (!data) return Format::Unknown;
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0) return Format::Png;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return Format::Jpeg;
    if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0))
        return Format::Gif;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return Format::Bmp;
    return Format::Unknown;
}

bool decode(const uint8_t* data, size_t size, Decoded* out, std::string* error) {
    switch (sniffFormat(data, size)) {
    case Format::Png: return decodePng(data, size, out, error);
    case Format::Jpeg: return decodeJpeg(data, size, out, error);
    case Format::Gif: return decodeGif(data, size, out, error);
    case Format::Bmp: return decodeBmp(data, size, out, error);
    case Format::Unknown: break;
    }
    setError(error, "not an image format the device knows");
    return false;
}

bool readDeviceFile(LPCWSTR path, std::vector<uint8_t>* out, DWORD* error) {
    DWORD ignored = 0;
    if (!error) error = &ignored;
    if (!path || !out) {
        *error = ERROR_INVALID_PARAMETER;
        return false;
    }
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    bool ok = false;
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        *error = GetLastError();
    } else if (high != 0 || low > kMaxFileBytes) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
    } else {
        std::vector<uint8_t> bytes(low);
        DWORD done = 0;
        ok = true;
        while (done < low) {
            DWORD got = 0;
            if (!ReadFile(file, bytes.data() + done, low - done, &got, nullptr)) {
                *error = GetLastError();
                ok = false;
                break;
            }
            if (got == 0) break; // the file shrank while being read: take what is there
            done += got;
        }
        bytes.resize(done);
        if (ok) *out = std::move(bytes);
    }
    CloseHandle(file);
    return ok;
}

// ---- Resampling ---------------------------------------------------------------------------------
namespace {

// The source pixels a destination pixel covers along one axis, with their weights (in 1/65536
// of the destination pixel). Shrinking averages the covered area; enlarging interpolates
// between the two nearest source pixels.
struct Tap {
    int first = 0;
    std::vector<uint32_t> weights;
};

std::vector<Tap> taps(int from, int to) {
    std::vector<Tap> out(static_cast<size_t>(to));
    if (to >= from) {
        for (int d = 0; d < to; ++d) {
            double c = (d + 0.5) * from / to - 0.5;
            int i0 = static_cast<int>(c < 0 ? -1 : c);
            double f = c - i0;
            if (i0 < 0) i0 = 0, f = 0;
            if (i0 >= from - 1) i0 = from - 1, f = 0;
            auto w1 = static_cast<uint32_t>(f * 65536.0 + 0.5);
            out[d].first = i0;
            out[d].weights = {65536 - w1};
            if (w1) out[d].weights.push_back(w1);
        }
        return out;
    }
    for (int d = 0; d < to; ++d) {
        double a = static_cast<double>(d) * from / to, b = static_cast<double>(d + 1) * from / to;
        int i0 = static_cast<int>(a);
        int i1 = std::min(from, static_cast<int>(b + 0.999999));
        out[d].first = i0;
        uint32_t total = 0;
        for (int i = i0; i < i1; ++i) {
            double cover = std::min<double>(b, i + 1) - std::max<double>(a, i);
            auto w = static_cast<uint32_t>(cover / (b - a) * 65536.0 + 0.5);
            out[d].weights.push_back(w);
            total += w;
        }
        if (!out[d].weights.empty()) out[d].weights.back() += 65536 - std::min(total, 65536u);
    }
    return out;
}

// Premultiplied channels in 16.16 fixed point, so that averaging is weighted by alpha.
struct Acc {
    uint64_t a = 0, r = 0, g = 0, b = 0;
};

} // namespace

Surface scale(const Surface& src, int width, int height) {
    if (width <= 0 || height <= 0 || src.width <= 0 || src.height <= 0) return Surface();
    if (width == src.width && height == src.height) return src;
    std::vector<Tap> xt = taps(src.width, width), yt = taps(src.height, height);
    // Horizontal pass into premultiplied rows, then vertical.
    std::vector<Acc> mid(static_cast<size_t>(width) * src.height);
    for (int y = 0; y < src.height; ++y) {
        const uint32_t* row = src.row(y);
        for (int x = 0; x < width; ++x) {
            Acc acc;
            const Tap& t = xt[x];
            for (size_t k = 0; k < t.weights.size(); ++k) {
                uint32_t p = row[t.first + static_cast<int>(k)];
                uint64_t w = t.weights[k], a = p >> 24;
                acc.a += a * w;
                acc.r += ((p >> 16) & 0xFF) * a * w / 255;
                acc.g += ((p >> 8) & 0xFF) * a * w / 255;
                acc.b += (p & 0xFF) * a * w / 255;
            }
            mid[static_cast<size_t>(y) * width + x] = acc;
        }
    }
    Surface out(width, height, 0);
    for (int y = 0; y < height; ++y) {
        const Tap& t = yt[y];
        for (int x = 0; x < width; ++x) {
            uint64_t a = 0, r = 0, g = 0, b = 0;
            for (size_t k = 0; k < t.weights.size(); ++k) {
                const Acc& m = mid[static_cast<size_t>(t.first + static_cast<int>(k)) * width + x];
                uint64_t w = t.weights[k];
                a += m.a * w, r += m.r * w, g += m.g * w, b += m.b * w;
            }
            uint64_t half = 1ull << 31;
            uint32_t A = static_cast<uint32_t>(std::min<uint64_t>(255, (a + half) >> 32));
            auto unmul = [&](uint64_t c) -> uint32_t {
                if (A == 0) return 0;
                uint64_t v = ((c + half) >> 32) * 255 / A;
                return static_cast<uint32_t>(std::min<uint64_t>(255, v));
            };
            out.row(y)[x] = (A << 24) | (unmul(r) << 16) | (unmul(g) << 8) | unmul(b);
        }
    }
    return out;
}

Surface flatten(const Surface& src, uint32_t matte) {
    Surface out = src;
    for (uint32_t& p : out.pixels) {
        uint32_t a = p >> 24;
        if (a == 0xFF) continue;
        auto mix = [&](int shift) {
            uint32_t c = (p >> shift) & 0xFF, m = (matte >> shift) & 0xFF;
            return ((c * a + m * (255 - a) + 127) / 255) << shift;
        };
        p = 0xFF000000u | mix(16) | mix(8) | mix(0);
    }
    return out;
}

HBITMAP makeDibSection(const Surface& pixels, int bitsPerPixel) {
    int w = pixels.width, h = pixels.height;
    if (w <= 0 || h <= 0 || pixels.pixels.size() < static_cast<size_t>(w) * h) return nullptr;
    if (bitsPerPixel != 1 && bitsPerPixel != 24 && bitsPerPixel != 32) return nullptr;
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[2];
    } bmi{};
    bmi.header.biSize = sizeof(BITMAPINFOHEADER);
    bmi.header.biWidth = w;
    bmi.header.biHeight = -h; // top-down, as the pixels are
    bmi.header.biPlanes = 1;
    bmi.header.biBitCount = static_cast<WORD>(bitsPerPixel);
    bmi.header.biCompression = BI_RGB;
    bmi.colors[1] = RGBQUAD{0xFF, 0xFF, 0xFF, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&bmi),
                                      DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        return nullptr;
    }
    size_t stride = ((static_cast<size_t>(w) * bitsPerPixel + 31) / 32) * 4;
    auto* dst = static_cast<uint8_t*>(bits);
    for (int y = 0; y < h; ++y) {
        const uint32_t* in = pixels.row(y);
        uint8_t* row = dst + stride * y;
        if (bitsPerPixel == 32) {
            std::memcpy(row, in, static_cast<size_t>(w) * 4);
        } else if (bitsPerPixel == 24) {
            for (int x = 0; x < w; ++x) {
                row[x * 3 + 0] = static_cast<uint8_t>(in[x]);
                row[x * 3 + 1] = static_cast<uint8_t>(in[x] >> 8);
                row[x * 3 + 2] = static_cast<uint8_t>(in[x] >> 16);
            }
        } else {
            std::memset(row, 0, stride);
            for (int x = 0; x < w; ++x) {
                uint32_t p = in[x];
                uint32_t luma =
                    (((p >> 16) & 0xFF) * 299 + ((p >> 8) & 0xFF) * 587 + (p & 0xFF) * 114) / 1000;
                if (luma >= 128) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
            }
        }
    }
    return bitmap;
}

} // namespace ce::image
