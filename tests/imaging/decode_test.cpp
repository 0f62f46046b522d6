// The image decoders behind the imaging services: BMP of every depth and layout, PNG of every
// colour type, JPEG and GIF read back pixel for pixel (straight alpha, as the files store
// it), and truncated or corrupt files failing without reading past their end.
#include <gtest/gtest.h>

#include <random>

#include "gdi/imgdecode.h"
#include "imagefiles.h"

using namespace imgtest;
namespace img = ce::image;

namespace {

// A 3x2 picture with odd width (rows need padding in BMPs) and distinct colours.
const Pixels kSix = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF123456, 0xFFFFFFFF, 0xFF000000};

img::Decoded mustDecode(const Bytes& file) {
    img::Decoded d;
    std::string why;
    EXPECT_TRUE(img::decode(file.data(), file.size(), &d, &why)) << why;
    return d;
}

void expectPixels(const img::Decoded& d, int w, int h, const Pixels& want) {
    ASSERT_EQ(w, d.pixels.width);
    ASSERT_EQ(h, d.pixels.height);
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(want[i], d.pixels.pixels[i]) << "pixel " << i % w << "," << i / w;
}

// Every shorter prefix of a valid file fails; the decoders read from a copy of exactly that
// many bytes, so AddressSanitizer sees any read past the end.
void expectPrefixesFail(const Bytes& file, size_t from = 0) {
    for (size_t n = from; n < file.size(); ++n) {
        std::vector<uint8_t> part(file.begin(), file.begin() + static_cast<ptrdiff_t>(n));
        img::Decoded d;
        d.pixels.width = -7; // untouched on failure
        EXPECT_FALSE(img::decode(part.data(), part.size(), &d)) << n << " of " << file.size();
        EXPECT_EQ(-7, d.pixels.width);
    }
}

// Random byte changes: decoding may succeed or fail but must not crash or over-read.
void corruptAndDecode(const Bytes& file, unsigned seed) {
    std::mt19937 rng(seed);
    for (int round = 0; round < 300; ++round) {
        Bytes bad = file;
        int changes = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < changes; ++i)
            bad[rng() % bad.size()] = static_cast<uint8_t>(rng());
        img::Decoded d;
        if (img::decode(bad.data(), bad.size(), &d)) {
            EXPECT_GT(d.pixels.width, 0);
            EXPECT_EQ(d.pixels.pixels.size(),
                      static_cast<size_t>(d.pixels.width) * d.pixels.height);
        }
    }
}

// ---- BMP --------------------------------------------------------------------------------------

// Indexed depths read their colour table; the core header's table has 3-byte entries.
TEST(DecodeBmp, IndexedDepthsThroughTheirPalette) {
    Pixels palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0xFFFFFF};
    Pixels indexes = {1, 2, 3, 4, 5, 0};
    Pixels want = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF123456, 0xFFFFFFFF, 0xFF000000};
    for (int bpp : {4, 8}) {
        for (int header : {12, 40}) {
            BmpLayout s = bmpLayout(3, 2, bpp);
            s.headerSize = header;
            s.palette = palette;
            if (header == 12) s.palette.resize(static_cast<size_t>(1) << bpp, 0);
            SCOPED_TRACE("bpp " + std::to_string(bpp) + " header " + std::to_string(header));
            img::Decoded d = mustDecode(makeBmp(s, indexes));
            expectPixels(d, 3, 2, want);
            EXPECT_TRUE(d.indexed);
            EXPECT_EQ(bpp, d.fileBits);
            EXPECT_FALSE(d.hasAlpha);
        }
    }
    BmpLayout mono = bmpLayout(9, 1, 1);
    mono.palette = {0x102030, 0xA0B0C0};
    img::Decoded d = mustDecode(makeBmp(mono, {1, 0, 1, 1, 0, 0, 0, 0, 1}));
    expectPixels(d, 9, 1,
                 {0xFFA0B0C0, 0xFF102030, 0xFFA0B0C0, 0xFFA0B0C0, 0xFF102030, 0xFF102030,
                  0xFF102030, 0xFF102030, 0xFFA0B0C0});
}

// Rows are stored bottom-up unless the height is negative; both read back top row first.
TEST(DecodeBmp, TrueColourBottomUpAndTopDown) {
    for (bool topDown : {false, true}) {
        BmpLayout s = bmpLayout(3, 2, 24);
        s.topDown = topDown;
        SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
        img::Decoded d = mustDecode(makeBmp(s, kSix));
        expectPixels(d, 3, 2, kSix);
        EXPECT_DOUBLE_EQ(2835 * 0.0254, d.dpiX); // 72 dpi from pixels per metre
        EXPECT_TRUE(d.realDpi);
    }
}

// 16 bits: 5-5-5 without masks, any masks with BI_BITFIELDS (5-6-5 here); values scale to
// the full 8 bits (31 -> 255).
TEST(DecodeBmp, SixteenBitDefaultAndBitFields) {
    Pixels px = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF000000, 0xFFFFFFFF, 0xFF848484};
    BmpLayout s555 = bmpLayout(3, 2, 16);
    img::Decoded d = mustDecode(makeBmp(s555, px));
    expectPixels(d, 3, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF000000, 0xFFFFFFFF, 0xFF848484});
    EXPECT_FALSE(d.bitfields16);
    BmpLayout s565 = bmpLayout(3, 2, 16);
    s565.compression = 3;
    s565.masks[0] = 0xF800, s565.masks[1] = 0x07E0, s565.masks[2] = 0x001F;
    d = mustDecode(makeBmp(s565, px));
    // 0x84 -> 5 bits 16 -> 132 (0x84); 6 bits 33 -> 134 (0x86).
    expectPixels(d, 3, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF000000, 0xFFFFFFFF, 0xFF848684});
    EXPECT_TRUE(d.bitfields16);
}

// 32 bits: BI_RGB's fourth byte is not alpha (opaque); a V5 header's alpha mask is used,
// unless every pixel's alpha is 0 (files that only say "XRGB").
TEST(DecodeBmp, ThirtyTwoBitWithAndWithoutAlpha) {
    Pixels px = {0x00FF0000, 0x8000FF00, 0xFF0000FF, 0x40123456, 0x00FFFFFF, 0xC0000000};
    BmpLayout plain = bmpLayout(3, 2, 32);
    img::Decoded d = mustDecode(makeBmp(plain, px));
    EXPECT_FALSE(d.hasAlpha);
    for (size_t i = 0; i < px.size(); ++i)
        EXPECT_EQ(px[i] | 0xFF000000u, d.pixels.pixels[i]) << i;

    BmpLayout v5 = bmpLayout(3, 2, 32);
    v5.headerSize = 124;
    v5.compression = 3;
    v5.masks[0] = 0x00FF0000, v5.masks[1] = 0x0000FF00, v5.masks[2] = 0x000000FF;
    v5.masks[3] = 0xFF000000;
    d = mustDecode(makeBmp(v5, px));
    EXPECT_TRUE(d.hasAlpha);
    expectPixels(d, 3, 2, px);

    Pixels clear = px;
    for (uint32_t& p : clear)
        p &= 0x00FFFFFF;
    d = mustDecode(makeBmp(v5, clear));
    EXPECT_FALSE(d.hasAlpha);
    for (size_t i = 0; i < px.size(); ++i)
        EXPECT_EQ(px[i] | 0xFF000000u, d.pixels.pixels[i]) << i;
}

// RLE8 and RLE4: runs, absolute runs with padding, end of line, delta, end of bitmap. Rows
// are bottom-up; skipped pixels are colour 0.
TEST(DecodeBmp, RunLengthEncoded) {
    Pixels palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    // Bottom row: 2 x colour 1, then absolute 3, 2, 1 (padded); next row: delta (1,0) then one 2.
    Bytes rle8 = {2, 1, 0, 3, 3, 2, 1, 0, 0, 0, 0, 2, 1, 0, 1, 2, 0, 1};
    img::Decoded d = mustDecode(makeRleBmp(5, 2, 8, palette, rle8));
    expectPixels(d, 5, 2,
                 {0xFF000000, 0xFF00FF00, 0xFF000000, 0xFF000000, 0xFF000000, 0xFFFF0000,
                  0xFFFF0000, 0xFF0000FF, 0xFF00FF00, 0xFFFF0000});
    // RLE4: a run of 4 alternating 1,2; absolute 3 nibbles 3,1,2 (2 bytes); end of bitmap.
    Bytes rle4 = {4, 0x12, 0, 3, 0x31, 0x20, 0, 1};
    d = mustDecode(makeRleBmp(7, 1, 4, palette, rle4));
    expectPixels(
        d, 7, 1,
        {0xFFFF0000, 0xFF00FF00, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFF0000, 0xFF00FF00});
    // A run longer than the row or the bitmap stops at its edge.
    d = mustDecode(makeRleBmp(2, 1, 8, palette, {200, 3, 0, 1}));
    expectPixels(d, 2, 1, {0xFF0000FF, 0xFF0000FF});
    // Without its end-of-bitmap code the stream is truncated.
    img::Decoded none;
    Bytes cut = makeRleBmp(5, 2, 8, palette, {2, 1});
    EXPECT_FALSE(img::decode(cut.data(), cut.size(), &none));
}

TEST(DecodeBmp, BadHeadersFail) {
    BmpLayout s = bmpLayout(3, 2, 24);
    Bytes good = makeBmp(s, kSix);
    auto fails = [](Bytes b, const char* what) {
        img::Decoded d;
        EXPECT_FALSE(img::decode(b.data(), b.size(), &d)) << what;
    };
    Bytes b = good;
    b[28] = 7; // 7 bits per pixel
    fails(b, "depth 7");
    b = good;
    b[18] = b[19] = b[20] = b[21] = 0; // width 0
    fails(b, "width 0");
    b = good;
    b[18] = 0x00, b[19] = 0x00, b[20] = 0x01, b[21] = 0x00; // width 65536: too large
    fails(b, "huge width");
    b = good;
    b[22] = 0x00, b[23] = 0x00, b[24] = 0x00, b[25] = 0x80; // height INT_MIN
    fails(b, "height INT_MIN");
    b = good;
    b[10] = 0xFF, b[11] = 0xFF; // pixels beyond the file
    fails(b, "pixel offset");
    b = good;
    b[14] = 41; // no such header size
    fails(b, "header size");
    b = good;
    b[30] = 4; // compression 4 (JPEG in a BMP)
    fails(b, "compression");
    expectPrefixesFail(good);
    corruptAndDecode(good, 1);
    BmpLayout pal = bmpLayout(3, 2, 8);
    pal.palette = {0, 0xFFFFFF};
    corruptAndDecode(makeRleBmp(5, 2, 8, {0, 0xFF}, {2, 1, 0, 3, 3, 2, 1, 0, 0, 1}), 2);
}

// ---- PNG --------------------------------------------------------------------------------------

// Colours come back straight (not premultiplied); only files with an alpha channel or tRNS
// report alpha.
TEST(DecodePng, EveryColourTypeWithAndWithoutAlpha) {
    Pixels rgba = {0xFFFF0000, 0x80FF0000, 0x00000000, 0x4000FF00, 0xFF123456, 0xC0FFFFFF};
    img::Decoded d = mustDecode(makePng(3, 2, rgba, PngKind::Rgba));
    EXPECT_EQ(img::Format::Png, d.format);
    EXPECT_TRUE(d.hasAlpha);
    expectPixels(d, 3, 2, rgba);

    d = mustDecode(makePng(3, 2, kSix, PngKind::Rgb));
    EXPECT_FALSE(d.hasAlpha);
    EXPECT_FALSE(d.indexed);
    expectPixels(d, 3, 2, kSix);

    d = mustDecode(makePng(3, 2, kSix, PngKind::Palette));
    EXPECT_FALSE(d.hasAlpha);
    EXPECT_TRUE(d.indexed);
    expectPixels(d, 3, 2, kSix);

    d = mustDecode(makePng(3, 2, rgba, PngKind::PaletteTrns));
    EXPECT_TRUE(d.hasAlpha);
    expectPixels(d, 3, 2, rgba);

    Pixels grays = {0xFF000000, 0xFF808080, 0xFFFFFFFF, 0xFF101010, 0xFF202020, 0xFF303030};
    d = mustDecode(makePng(3, 2, grays, PngKind::Gray));
    EXPECT_FALSE(d.hasAlpha);
    expectPixels(d, 3, 2, grays);
    Pixels grayAlpha = {0x00000000, 0x80808080, 0xFFFFFFFF, 0x10101010, 0x20202020, 0x30303030};
    d = mustDecode(makePng(3, 2, grayAlpha, PngKind::GrayAlpha));
    EXPECT_TRUE(d.hasAlpha);
    expectPixels(d, 3, 2, grayAlpha);

    d = mustDecode(makePng(3, 2, kSix, PngKind::Rgb16));
    expectPixels(d, 3, 2, kSix);
}

TEST(DecodePng, InterlacedImage) {
    Pixels px(11 * 9);
    for (size_t i = 0; i < px.size(); ++i)
        px[i] = static_cast<uint32_t>((i * 37) << 24 | (i * 11) << 16 | (i * 5) << 8 | i);
    img::Decoded d = mustDecode(makePng(11, 9, px, PngKind::RgbaInterlaced));
    expectPixels(d, 11, 9, px);
}

// The image data is what counts: a file cut anywhere before its last pixel row fails;
// corrupt bytes are caught by the chunk checksums or the decompressor.
TEST(DecodePng, TruncatedAndCorruptFilesFail) {
    Pixels px(8 * 8, 0xFF336699);
    Bytes file = makePng(8, 8, px, PngKind::Rgba);
    // The last 12 bytes are the IEND chunk, which is not needed.
    expectPrefixesFail(Bytes(file.begin(), file.end() - 12));
    corruptAndDecode(file, 3);
    // A header claiming 100000 x 100000 pixels is refused before any pixel memory is taken.
    Bytes huge = file;
    huge[16] = 0, huge[17] = 0x01, huge[18] = 0x86, huge[19] = 0xA0;
    huge[20] = 0, huge[21] = 0x01, huge[22] = 0x86, huge[23] = 0xA0;
    img::Decoded d;
    EXPECT_FALSE(img::decode(huge.data(), huge.size(), &d));
}

// ---- JPEG and GIF -----------------------------------------------------------------------------

// JPEG is lossy: flat 8x8 blocks at quality 100 come back within a few levels.
TEST(DecodeJpeg, ColourAndGreyWithinRounding) {
    Pixels px(16 * 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            px[y * 16 + x] = x < 8 ? 0xFFC03020 : 0xFF2080E0;
    for (bool gray : {false, true}) {
        SCOPED_TRACE(gray ? "grey" : "colour");
        img::Decoded d = mustDecode(makeJpeg(16, 8, px, gray));
        EXPECT_EQ(img::Format::Jpeg, d.format);
        EXPECT_FALSE(d.hasAlpha);
        ASSERT_EQ(16, d.pixels.width);
        ASSERT_EQ(8, d.pixels.height);
        for (size_t i = 0; i < px.size(); ++i) {
            uint32_t want = gray ? 0xFF000000u | ((px[i] >> 8) & 0xFF) * 0x010101u : px[i];
            uint32_t got = d.pixels.pixels[i];
            EXPECT_EQ(0xFFu, got >> 24);
            for (int shift : {0, 8, 16})
                EXPECT_NEAR(static_cast<int>((want >> shift) & 0xFF),
                            static_cast<int>((got >> shift) & 0xFF), 3)
                    << "pixel " << i << " channel " << shift;
        }
    }
}

TEST(DecodeJpeg, TruncatedAndCorruptFilesFail) {
    Pixels px(16 * 16, 0xFF808040);
    Bytes file = makeJpeg(16, 16, px);
    // The last two bytes are the end-of-image marker; without them the data is still whole.
    expectPrefixesFail(Bytes(file.begin(), file.end() - 2));
    corruptAndDecode(file, 4);
}

// The transparent colour of the graphic control extension reads as alpha 0.
TEST(DecodeGif, PlainInterlacedAndTransparent) {
    Pixels palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    std::vector<uint8_t> idx(5 * 11);
    for (size_t i = 0; i < idx.size(); ++i)
        idx[i] = static_cast<uint8_t>(i % 4);
    auto want = [&](bool transparent) {
        Pixels w;
        for (uint8_t i : idx)
            w.push_back(transparent && i == 2 ? 0u : 0xFF000000u | palette[i]);
        return w;
    };
    img::Decoded d = mustDecode(makeGif(5, 11, idx, palette, -1));
    EXPECT_EQ(img::Format::Gif, d.format);
    EXPECT_FALSE(d.transparentIndex);
    expectPixels(d, 5, 11, want(false));
    d = mustDecode(makeGif(5, 11, idx, palette, -1, true));
    expectPixels(d, 5, 11, want(false));
    d = mustDecode(makeGif(5, 11, idx, palette, 2));
    EXPECT_TRUE(d.transparentIndex);
    expectPixels(d, 5, 11, want(true));
    // More than 254 pixels: several clear codes.
    std::vector<uint8_t> many(40 * 20);
    for (size_t i = 0; i < many.size(); ++i)
        many[i] = static_cast<uint8_t>(i * 7 % 4);
    d = mustDecode(makeGif(40, 20, many, palette, -1));
    for (size_t i = 0; i < many.size(); ++i)
        ASSERT_EQ(0xFF000000u | palette[many[i]], d.pixels.pixels[i]) << i;
}

TEST(DecodeGif, TruncatedAndCorruptFilesFail) {
    std::vector<uint8_t> idx(6 * 6, 1);
    Bytes file = makeGif(6, 6, idx, {0, 0xFFFFFF}, 0);
    // The trailer, the frame's terminator and the last data byte (only the end code's tail:
    // 38 codes of 9 bits) are not needed.
    expectPrefixesFail(Bytes(file.begin(), file.end() - 3));
    corruptAndDecode(file, 5);
}

TEST(Decode, UnknownDataAndEmptyInputFail) {
    img::Decoded d;
    EXPECT_FALSE(img::decode(nullptr, 0, &d));
    Bytes text = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(img::Format::Unknown, img::sniffFormat(text.data(), text.size()));
    EXPECT_FALSE(img::decode(text.data(), text.size(), &d));
}

// ---- Scaling ----------------------------------------------------------------------------------

// Shrinking averages areas weighted by alpha, so a transparent neighbour does not darken an
// opaque colour; enlarging keeps flat areas flat.
TEST(Scale, AveragesByAreaAndAlpha) {
    ce::Surface s(2, 2, 0);
    s.pixels = {0xFFFF0000, 0x00000000, 0xFFFF0000, 0x00000000};
    ce::Surface one = img::scale(s, 1, 1);
    ASSERT_EQ(1u, one.pixels.size());
    EXPECT_EQ(0x80FF0000u, one.pixels[0]);
    ce::Surface flat(3, 3, 0xFF204060);
    ce::Surface big = img::scale(flat, 7, 5);
    ASSERT_EQ(35u, big.pixels.size());
    for (uint32_t p : big.pixels)
        EXPECT_EQ(0xFF204060u, p);
    EXPECT_EQ(0, img::scale(flat, 0, 5).width);
}

} // namespace
