// aygshell's image loaders: SHLoadImageFile reached by ordinal 75 (the loader's way), every
// format as a 24-bit bitmap without alpha; SHLoadDIBitmap for BMP files only; both gone when
// the profile withdraws them.
#include "aygshell.h"
#include "imagingtest.h"

using namespace imgtest;

namespace {

using LoadFn = HBITMAP (*)(LPCWSTR);

class ShellImageTest : public ImagingTest {
protected:
    void SetUp() override {
        aygshell = LoadLibraryW(u"aygshell.dll");
        ASSERT_NE(nullptr, aygshell);
        loadImageFile = reinterpret_cast<LoadFn>(GetProcAddress(aygshell, MAKEINTRESOURCE(75)));
        ASSERT_NE(nullptr, loadImageFile);
    }
    void TearDown() override {
        if (aygshell) FreeLibrary(aygshell);
    }
    HMODULE aygshell = nullptr;
    LoadFn loadImageFile = nullptr;
};

// Ordinal 75 has no name on the device.
TEST_F(ShellImageTest, ImageFileLoaderIsExportedByOrdinalOnly) {
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, GetProcAddressW(aygshell, u"SHLoadImageFile"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    EXPECT_EQ(reinterpret_cast<void*>(&SHLoadImageFile), reinterpret_cast<void*>(loadImageFile));
    EXPECT_NE(nullptr, GetProcAddressW(aygshell, u"SHLoadDIBitmap"));
}

// Each format becomes a 24-bit bitmap; transparency is blended onto white.
TEST_F(ShellImageTest, EveryFormatAsTwentyFourBits) {
    struct Case {
        const char* name;
        Bytes bytes;
    };
    std::vector<Case> cases = {
        {"s.png", makePng(3, 2, kAlphaSix, PngKind::Rgba)},
        {"s.bmp", makeBmp(bmpLayout(3, 2, 24), kOpaqueSix)},
        {"s.gif", makeGif(3, 2, {0, 1, 2, 0, 1, 2}, {0xFF0000, 0x00FF00, 0x0000FF}, 2)},
        {"s.jpg", makeJpeg(3, 2, Pixels(6, 0xFF00FF00))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(kPoison);
        HBITMAP b = loadImageFile(put(c.name, c.bytes).c_str());
        ASSERT_NE(nullptr, b);
        BitmapPixels got = readBitmap(b);
        EXPECT_EQ(24, got.bpp);
        EXPECT_EQ(3, got.width);
        EXPECT_EQ(2, got.height);
        ASSERT_EQ(6u, got.px.size());
        if (c.name[2] == 'p') {
            EXPECT_EQ(0xFF0000u, got.px[0] & 0xFFFFFF);
            EXPECT_EQ(0xFFFFFFu, got.px[2] & 0xFFFFFF); // alpha 0
        } else if (c.name[2] == 'b') {
            EXPECT_EQ(0x123456u, got.px[3] & 0xFFFFFF);
        } else if (c.name[2] == 'g') {
            EXPECT_EQ(0x00FF00u, got.px[1] & 0xFFFFFF);
            EXPECT_EQ(0xFFFFFFu, got.px[2] & 0xFFFFFF); // the transparent colour
        }
        DeleteObject(b);
    }
}

TEST_F(ShellImageTest, MissingAndBrokenFilesGiveNull) {
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, loadImageFile(u"\\Temp\\absent.png"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    Pixels noise(64);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
    Bytes png = makePng(8, 8, noise, PngKind::Rgb);
    png.resize(png.size() / 2);
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, loadImageFile(put("cut.png", png).c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), GetLastError());
}

// SHLoadDIBitmap reads BMP files only: a PNG gives NULL. 32-bit files stay 32-bit.
TEST_F(ShellImageTest, DibBitmapLoaderTakesOnlyBmp) {
    BmpLayout indexed = bmpLayout(3, 2, 4);
    indexed.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0xFFFFFF};
    HBITMAP b = SHLoadDIBitmap(put("i.bmp", makeBmp(indexed, {1, 2, 3, 4, 5, 0})).c_str());
    ASSERT_NE(nullptr, b);
    BitmapPixels got = readBitmap(b);
    EXPECT_EQ(24, got.bpp);
    ASSERT_EQ(6u, got.px.size());
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(kOpaqueSix[i] & 0xFFFFFF, got.px[i] & 0xFFFFFF) << i;
    DeleteObject(b);

    BmpLayout v5 = bmpLayout(3, 2, 32);
    v5.headerSize = 124;
    v5.compression = 3;
    v5.masks[0] = 0xFF0000, v5.masks[1] = 0xFF00, v5.masks[2] = 0xFF, v5.masks[3] = 0xFF000000;
    b = SHLoadDIBitmap(put("a.bmp", makeBmp(v5, kAlphaSix)).c_str());
    ASSERT_NE(nullptr, b);
    got = readBitmap(b);
    EXPECT_EQ(32, got.bpp);
    ASSERT_EQ(6u, got.px.size());
    EXPECT_EQ(kAlphaSix[1], got.px[1]);
    DeleteObject(b);

    SetLastError(kPoison);
    EXPECT_EQ(nullptr,
              SHLoadDIBitmap(put("p.png", makePng(3, 2, kOpaqueSix, PngKind::Rgb)).c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), GetLastError());
}

// Withdrawing ordinal 75 hides it; withdrawing Imaging.dll leaves the export but it loads
// nothing, as the shell's loader needs the imaging library.
TEST_F(ShellImageTest, WithdrawnLoaderOrImagingLibrary) {
    std::u16string path = put("w.bmp", makeBmp(bmpLayout(3, 2, 24), kOpaqueSix));
    withdraw({"aygshell.dll#75"});
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, GetProcAddress(aygshell, MAKEINTRESOURCE(75)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    withdraw({"Imaging.dll"});
    ASSERT_NE(nullptr, GetProcAddress(aygshell, MAKEINTRESOURCE(75)));
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, loadImageFile(path.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
    withdraw({});
    HBITMAP b = loadImageFile(path.c_str());
    EXPECT_NE(nullptr, b);
    DeleteObject(b);
}

} // namespace
