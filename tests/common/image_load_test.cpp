// image_load_test.cpp: loadImage's order of loaders on a device whose decoding libraries come
// and go with its profile: PNG with alpha through the imaging factory, PNG without alpha to
// the other loaders, the shell's loader never for a path with "windows" in it, the
// decompression library, SHLoadDIBitmap for bitmaps, and files that decode nowhere.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <objbase.h>

#include "commontest.h"
#include "image.h"
#include "imagefiles.h"
#include "kernel/device.h"

using namespace commontest;
using imagefiles::Bgra;

namespace {

const Bgra kRed = {0, 0, 255, 255};
const Bgra kGreen = {0, 255, 0, 255};
const Bgra kBlue = {255, 0, 0, 255};

class ImageLoadTest : public CommonTest {
protected:
    void SetUp() override {
        CommonTest::SetUp();
        makeFolder("\\Program Files\\Zolvane\\skin");
        makeFolder("\\Program Files\\Zolvane\\windows");
        freeImageLibraries();
        comReady = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    }
    void TearDown() override {
        for (HBITMAP b : made)
            DeleteObject(b);
        freeImageLibraries();
        if (comReady) CoUninitialize();
        CommonTest::TearDown();
    }
    void put(const std::string& devicePath, const std::string& bytes) {
        writeFile(hostPath(devicePath), bytes);
    }
    void withdraw(std::vector<std::string> entries) {
        std::string error;
        ASSERT_TRUE(ce::updateDeviceConf(
            [&](ce::DeviceConf& conf) { conf.profile.withdrawn = entries; }, &error))
            << error;
        freeImageLibraries(); // a library withdrawn now is looked for anew
    }
    // loadImage with a poisoned out-parameter; keeps the bitmap for the tear-down.
    BOOL load(const char16_t* path, HBITMAP* bitmap) {
        *bitmap = reinterpret_cast<HBITMAP>(static_cast<uintptr_t>(0xdeadbeef));
        BOOL ok = loadImage(nullptr, path, bitmap);
        if (*bitmap) made.push_back(*bitmap);
        return ok;
    }
    static BITMAP info(HBITMAP b) {
        BITMAP bm;
        memset(&bm, 0xEF, sizeof(bm));
        EXPECT_NE(0, GetObjectW(b, sizeof(bm), &bm));
        return bm;
    }
    static COLORREF pixel(HBITMAP b, int x, int y) {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, b);
        COLORREF c = GetPixel(dc, x, y);
        SelectObject(dc, old);
        DeleteDC(dc);
        return c;
    }
    bool comReady = false;
    std::vector<HBITMAP> made;
};

std::string rgbPng() {
    return imagefiles::pngFile(2, 2, false, {kRed, kGreen, kBlue, kRed});
}

} // namespace

// A PNG with an alpha channel becomes a top-down 32-bit DIB section with premultiplied
// colours: red 255 at alpha 128 is stored as 128; alpha 0 as black.
TEST_F(ImageLoadTest, PngWithAlphaKeepsItsAlphaPremultiplied) {
    ASSERT_TRUE(comReady);
    put("\\Program Files\\Zolvane\\skin\\a.png",
        imagefiles::pngFile(2, 1, true, {{0, 0, 255, 128}, {255, 255, 255, 0}}));
    HBITMAP direct = loadPngWithAlpha(u"\\Program Files\\Zolvane\\skin\\a.png");
    ASSERT_NE(nullptr, direct);
    made.push_back(direct);
    DIBSECTION ds;
    memset(&ds, 0xEF, sizeof(ds));
    ASSERT_EQ(static_cast<int>(sizeof(ds)), GetObjectW(direct, sizeof(ds), &ds));
    EXPECT_EQ(32, ds.dsBm.bmBitsPixel);
    EXPECT_EQ(-1, ds.dsBmih.biHeight) << "top-down";
    EXPECT_EQ(11811, ds.dsBmih.biXPelsPerMeter);
    const uint8_t* bits = static_cast<const uint8_t*>(ds.dsBm.bmBits);
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 128, 128}), std::vector<uint8_t>(bits, bits + 4));
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 0, 0}), std::vector<uint8_t>(bits + 4, bits + 8));

    HBITMAP through = nullptr;
    EXPECT_TRUE(load(u"\\Program Files\\Zolvane\\skin\\a.png", &through));
    ASSERT_NE(nullptr, through);
    EXPECT_EQ(32, info(through).bmBitsPixel);
}

// A PNG without alpha is not taken by the alpha path; the shell's loader decodes it.
TEST_F(ImageLoadTest, PngWithoutAlphaGoesToTheOtherLoaders) {
    ASSERT_TRUE(comReady);
    put("\\Program Files\\Zolvane\\skin\\b.png", rgbPng());
    EXPECT_EQ(nullptr, loadPngWithAlpha(u"\\Program Files\\Zolvane\\skin\\b.png"));
    HBITMAP b = nullptr;
    EXPECT_TRUE(load(u"\\Program Files\\Zolvane\\skin\\b.png", &b));
    ASSERT_NE(nullptr, b);
    BITMAP bm = info(b);
    EXPECT_EQ(2, bm.bmWidth);
    EXPECT_NE(32, bm.bmBitsPixel);
    EXPECT_EQ(RGB(255, 0, 0), pixel(b, 0, 0));
    EXPECT_EQ(RGB(0, 0, 255), pixel(b, 0, 1));
}

// With the decompression library gone, a picture whose path contains "windows" would reach
// the shell's loader only; it never does, so it does not load. The same file elsewhere does.
TEST_F(ImageLoadTest, PathWithWindowsNeverGoesToTheShellLoader) {
    withdraw({"Imgdecmp.dll"});
    put("\\Program Files\\Zolvane\\windows\\c.png", rgbPng());
    put("\\Program Files\\Zolvane\\skin\\c.png", rgbPng());
    HBITMAP b = nullptr;
    EXPECT_FALSE(load(u"\\Program Files\\Zolvane\\windows\\c.png", &b));
    EXPECT_EQ(nullptr, b);
    EXPECT_TRUE(load(u"\\Program Files\\Zolvane\\skin\\c.png", &b));
    EXPECT_NE(nullptr, b);

    // With the decompression library there, it decodes the "windows" path instead.
    withdraw({});
    EXPECT_TRUE(load(u"\\Program Files\\Zolvane\\windows\\c.png", &b));
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(RGB(0, 255, 0), pixel(b, 1, 0));
}

// Without the imaging library: the decompression library decodes; without both, a bitmap
// file still loads through SHLoadDIBitmap and anything else fails.
TEST_F(ImageLoadTest, FallbacksWhenLibrariesAreWithdrawn) {
    put("\\Program Files\\Zolvane\\skin\\d.bmp",
        imagefiles::bmpFile(2, 2, {kRed, kGreen, kBlue, kRed}));
    put("\\Program Files\\Zolvane\\skin\\d.png", rgbPng());
    HBITMAP b = nullptr;

    withdraw({"Imaging.dll"});
    EXPECT_TRUE(load(u"\\Program Files\\Zolvane\\skin\\d.png", &b));
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(RGB(0, 255, 0), pixel(b, 1, 0));

    withdraw({"Imaging.dll", "Imgdecmp.dll"});
    EXPECT_TRUE(load(u"\\Program Files\\Zolvane\\skin\\d.bmp", &b));
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(RGB(0, 0, 255), pixel(b, 0, 1));
    EXPECT_FALSE(load(u"\\Program Files\\Zolvane\\skin\\d.png", &b));
    EXPECT_EQ(nullptr, b);
}

// Files that no loader takes: missing, corrupt, truncated. A ".tga" is final whatever it holds:
// reported as taken, with no bitmap when it is not a TGA.
TEST_F(ImageLoadTest, FilesThatDecodeNowhere) {
    HBITMAP b = nullptr;
    EXPECT_FALSE(load(u"\\Program Files\\Zolvane\\skin\\missing.png", &b));
    EXPECT_EQ(nullptr, b);
    std::string png = rgbPng();
    put("\\Program Files\\Zolvane\\skin\\cut.png", png.substr(0, png.size() / 2));
    EXPECT_FALSE(load(u"\\Program Files\\Zolvane\\skin\\cut.png", &b));
    EXPECT_EQ(nullptr, b);
    put("\\Program Files\\Zolvane\\skin\\junk.jpg", "this is no picture");
    EXPECT_FALSE(load(u"\\Program Files\\Zolvane\\skin\\junk.jpg", &b));
    EXPECT_EQ(nullptr, b);
    put("\\Program Files\\Zolvane\\skin\\junk.tga", "this is no picture");
    EXPECT_TRUE(load(u"\\Program Files\\Zolvane\\skin\\junk.tga", &b));
    EXPECT_EQ(nullptr, b);
    EXPECT_FALSE(loadImage(nullptr, nullptr, &b));
}
