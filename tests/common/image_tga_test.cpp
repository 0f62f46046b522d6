// image_tga_test.cpp: the TGA reader: the header rules (identification length, image types 2
// and 10, depths 24 and 32), the skipped colour map, bottom-up rows at the DIB's stride,
// premultiplication, run-length packets that would pass the picture's end, and files that are
// short, absurdly large or not TGA at all.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "commontest.h"
#include "image.h"
#include "imagefiles.h"
#include "log.h"

using namespace commontest;
using imagefiles::Bgra;

namespace {

const char* const kFolder = "\\Program Files\\Zolvane";
const char16_t* const kPath = u"\\Program Files\\Zolvane\\pic.tga";

const Bgra kRed = {0, 0, 255, 255};
const Bgra kGreen = {0, 255, 0, 255};
const Bgra kBlue = {255, 0, 0, 255};
const Bgra kWhite = {255, 255, 255, 255};

class TgaTest : public CommonTest {
protected:
    void SetUp() override {
        CommonTest::SetUp();
        makeFolder(kFolder);
        setLogFolder(u"\\Program Files\\Zolvane");
    }
    void TearDown() override {
        for (HBITMAP b : made)
            DeleteObject(b);
        CommonTest::TearDown();
    }
    HBITMAP load(const std::string& bytes, BOOL premultiply = TRUE) {
        writeFile(hostPath("\\Program Files\\Zolvane\\pic.tga"), bytes);
        HBITMAP b = LoadTGA(kPath, premultiply);
        if (b) made.push_back(b);
        return b;
    }
    static DIBSECTION section(HBITMAP b) {
        DIBSECTION ds;
        memset(&ds, 0xEF, sizeof(ds)); // poison: a field left unset shows
        EXPECT_EQ(static_cast<int>(sizeof(ds)), GetObjectW(b, sizeof(ds), &ds));
        return ds;
    }
    // The stored bytes of pixel x of memory row `row` (row 0 is the file's first row).
    static std::vector<uint8_t> pixelAt(const DIBSECTION& ds, int row, int x) {
        const uint8_t* bits = static_cast<const uint8_t*>(ds.dsBm.bmBits);
        const int bpp = ds.dsBm.bmBitsPixel / 8;
        const uint8_t* p = bits + row * ds.dsBm.bmWidthBytes + x * bpp;
        return std::vector<uint8_t>(p, p + bpp);
    }
    std::string logText() { return readFile(hostPath("\\Program Files\\Zolvane\\Zolvane.log")); }
    std::vector<HBITMAP> made;
};

std::vector<uint8_t> bytesOf(const Bgra& p, int bits) {
    std::vector<uint8_t> v = {p.b, p.g, p.r};
    if (bits == 32) v.push_back(p.a);
    return v;
}

} // namespace

// A 24-bit picture 3 pixels wide has rows of 9 bytes, padded to 12 in the DIB: every row must
// start at the stride, or the picture shears. The file's first row is the bottom one.
TEST_F(TgaTest, OddWidth24BitRowsStartAtTheStride) {
    std::vector<Bgra> pixels = {kRed, kGreen, kBlue, kWhite, kRed, kGreen};
    HBITMAP b = load(imagefiles::tgaFile(3, 2, 24, pixels));
    ASSERT_NE(nullptr, b);
    DIBSECTION ds = section(b);
    EXPECT_EQ(3, ds.dsBm.bmWidth);
    EXPECT_EQ(2, ds.dsBm.bmHeight);
    EXPECT_EQ(24, ds.dsBm.bmBitsPixel);
    EXPECT_EQ(12, ds.dsBm.bmWidthBytes);
    EXPECT_EQ(2, ds.dsBmih.biHeight) << "bottom-up, as the file's rows come";
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(bytesOf(pixels[row * 3 + x], 24), pixelAt(ds, row, x)) << row << "," << x;

    // Drawn, the first row of the file is the bottom row of the picture.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, b);
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc, 0, 1));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, 0, 0));
    EXPECT_EQ(RGB(0, 255, 0), GetPixel(dc, 2, 0));
    SelectObject(dc, old);
    DeleteDC(dc);
}

// Premultiplied colours: each colour times alpha / 255, truncated; alpha stays. Alpha 0 gives
// black, alpha 128 turns red 255 into 128. Without premultiplication the bytes stay as read.
TEST_F(TgaTest, ThirtyTwoBitPixelsArePremultiplied) {
    std::vector<Bgra> pixels = {
        {255, 255, 255, 0}, {0, 0, 255, 128}, {200, 100, 50, 255}, {90, 60, 30, 1}};
    HBITMAP b = load(imagefiles::tgaFile(2, 2, 32, pixels));
    ASSERT_NE(nullptr, b);
    DIBSECTION ds = section(b);
    EXPECT_EQ(32, ds.dsBm.bmBitsPixel);
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 0, 0}), pixelAt(ds, 0, 0));
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 128, 128}), pixelAt(ds, 0, 1));
    EXPECT_EQ((std::vector<uint8_t>{200, 100, 50, 255}), pixelAt(ds, 1, 0));
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 0, 1}), pixelAt(ds, 1, 1));

    HBITMAP straight = load(imagefiles::tgaFile(2, 2, 32, pixels), FALSE);
    ASSERT_NE(nullptr, straight);
    EXPECT_EQ((std::vector<uint8_t>{255, 255, 255, 0}), pixelAt(section(straight), 0, 0));
}

// Run-length packets: a header byte with the top bit set repeats one pixel (low bits + 1)
// times, without it (low bits + 1) literal pixels follow. Packets that would run past the
// picture's last pixel stop there; what comes after is not read.
TEST_F(TgaTest, RunLengthPacketsStopAtTheEndOfThePicture) {
    std::string file = imagefiles::tgaHeader(10, 2, 2, 24);
    file += '\x81' + imagefiles::tgaPixel(kRed, 24);   // 2 x red
    file += '\x00' + imagefiles::tgaPixel(kGreen, 24); // 1 literal green
    file += '\xFF' + imagefiles::tgaPixel(kBlue, 24);  // 128 x blue: 1 fits
    file += '\x7F' + std::string(128 * 3, '\x55');     // literal pixels beyond the end
    HBITMAP b = load(file);
    ASSERT_NE(nullptr, b);
    DIBSECTION ds = section(b);
    EXPECT_EQ(bytesOf(kRed, 24), pixelAt(ds, 0, 0));
    EXPECT_EQ(bytesOf(kRed, 24), pixelAt(ds, 0, 1));
    EXPECT_EQ(bytesOf(kGreen, 24), pixelAt(ds, 1, 0));
    EXPECT_EQ(bytesOf(kBlue, 24), pixelAt(ds, 1, 1));

    // A literal packet longer than the picture, 32 bits: the first four pixels are taken.
    std::string literal = imagefiles::tgaHeader(10, 2, 2, 32);
    literal += '\x7F';
    for (int i = 0; i < 128; ++i)
        literal += imagefiles::tgaPixel(i < 4 ? kGreen : kRed, 32);
    HBITMAP l = load(literal);
    ASSERT_NE(nullptr, l);
    DIBSECTION lds = section(l);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(bytesOf(kGreen, 32), pixelAt(lds, i / 2, i % 2)) << i;
}

// A colour map in a true-colour file is skipped: its length times its entry size in bits / 8.
TEST_F(TgaTest, ColourMapIsSkipped) {
    std::string file = imagefiles::tgaHeader(2, 1, 1, 24, 0, 1, 2, 24);
    file += std::string(6, '\x77'); // two 24-bit map entries
    file += imagefiles::tgaPixel(kGreen, 24);
    HBITMAP b = load(file);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(bytesOf(kGreen, 24), pixelAt(section(b), 0, 0));
}

// Headers the reader does not take: an identification field, other image types, other
// depths; each is logged as an invalid file and gives no bitmap.
TEST_F(TgaTest, UnsupportedHeadersAreRefusedAndLogged) {
    std::string pixel = imagefiles::tgaPixel(kRed, 24);
    struct Case {
        const char* what;
        std::string file;
    } cases[] = {
        {"identification", imagefiles::tgaHeader(2, 1, 1, 24, 1) + "x" + pixel},
        {"colour-mapped", imagefiles::tgaHeader(1, 1, 1, 24) + pixel},
        {"grey", imagefiles::tgaHeader(3, 1, 1, 24) + pixel},
        {"16 bits", imagefiles::tgaHeader(2, 1, 1, 16) + "ab"},
        {"8 bits rle", imagefiles::tgaHeader(10, 1, 1, 8) + "\x00a"},
        {"short header", std::string("\0\0\x02\0\0", 5)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(nullptr, load(c.file)) << c.what;
    std::string log = logText();
    int logged = 0;
    for (size_t at = log.find("LoadTGA: Invalid TGA file"); at != std::string::npos;
         at = log.find("LoadTGA: Invalid TGA file", at + 1))
        ++logged;
    EXPECT_EQ(6, logged) << log;
    EXPECT_EQ(nullptr, LoadTGA(u"\\Program Files\\Zolvane\\missing.tga", TRUE));
}

// A file shorter than its header promises keeps the pixels it has (the rest stays black) and
// never reads past its end; a header of 65535 x 65535 pixels, or 0 wide, makes no bitmap.
TEST_F(TgaTest, ShortAndAbsurdFilesFailCleanly) {
    std::string file = imagefiles::tgaHeader(2, 4, 4, 32) + imagefiles::tgaPixel(kRed, 32) +
                       imagefiles::tgaPixel(kGreen, 32) + "\x01\x02";
    HBITMAP b = load(file);
    ASSERT_NE(nullptr, b);
    DIBSECTION ds = section(b);
    EXPECT_EQ(bytesOf(kRed, 32), pixelAt(ds, 0, 0));
    EXPECT_EQ(bytesOf(kGreen, 32), pixelAt(ds, 0, 1));
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 0, 0}), pixelAt(ds, 0, 2));
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 0, 0}), pixelAt(ds, 3, 3));

    std::string rle = imagefiles::tgaHeader(10, 4, 4, 24) + "\x83"; // a run without its pixel
    EXPECT_NE(nullptr, load(rle));
    EXPECT_EQ(nullptr, load(imagefiles::tgaHeader(10, 65535, 65535, 32) + "\xFF\x01\x02\x03\x04"));
    EXPECT_EQ(nullptr, load(imagefiles::tgaHeader(2, 0, 5, 24)));
    EXPECT_EQ(nullptr, load(imagefiles::tgaHeader(2, 5, 0, 24)));
}

// The decoder itself, as the fuzz target drives it: header checks and a picture's pixels
// written only inside the caller's buffer, whose guard bytes stay untouched.
TEST(TgaDecoder, WritesOnlyInsideThePicture) {
    std::string file = imagefiles::tgaHeader(10, 3, 1, 24) + "\xFF" + std::string(3, '\x11');
    TgaPicture picture;
    memset(&picture, 0xEF, sizeof(picture));
    ASSERT_TRUE(readTgaHeader(reinterpret_cast<const BYTE*>(file.data()), file.size(), &picture));
    EXPECT_EQ(3, picture.width);
    EXPECT_EQ(1, picture.height);
    EXPECT_EQ(24, picture.bitsPerPixel);
    EXPECT_EQ(12, picture.stride);
    std::vector<BYTE> buffer(static_cast<size_t>(picture.stride) + 16, 0xAB); // guard after
    std::fill(buffer.begin(), buffer.begin() + picture.stride, 0);
    picture.bits = buffer.data();
    decodeTgaPixels(reinterpret_cast<const BYTE*>(file.data()), file.size(), &picture, TRUE);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(0x11, buffer[i]) << i;
    for (int i = 9; i < 12; ++i)
        EXPECT_EQ(0, buffer[i]) << "padding " << i;
    for (size_t i = 12; i < buffer.size(); ++i)
        EXPECT_EQ(0xAB, buffer[i]) << "guard " << i;
    EXPECT_FALSE(readTgaHeader(reinterpret_cast<const BYTE*>(file.data()), 17, &picture));
}
