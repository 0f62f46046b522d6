// Imgdecmp.dll's DecompressImageIndirect, called as programs call it: the library loaded by
// name, the information record of the 32-bit device (60 bytes) filled with a read buffer, a
// data callback reading a file handle, the screen's depth, scale and maximum size; the bitmap
// read back; bad records and bad data refused; the library withdrawn.
#include <cstring>

#include "imgdecmp.h"
#include "imagingtest.h"

using namespace imgtest;

namespace {

using DecompressFn = HRESULT (*)(DecompressImageInfo*);

// The data callback as programs write it: ReadFile on the handle in lParam.
DWORD CALLBACK readFromHandle(LPSTR buffer, DWORD max, LPARAM param) {
    DWORD got = 0;
    HANDLE file = reinterpret_cast<HANDLE>(param);
    if (file == INVALID_HANDLE_VALUE || !ReadFile(file, buffer, max, &got, nullptr)) return 0;
    return got;
}

int progressCalls = 0;
BOOL progressComplete = FALSE;
void CALLBACK countProgress(IImageRender* render, BOOL complete, LPARAM) {
    EXPECT_EQ(nullptr, render);
    ++progressCalls;
    progressComplete = complete;
}

class ImgdecmpTest : public ImagingTest {
protected:
    void SetUp() override {
        library = LoadLibraryW(u"Imgdecmp.dll");
        ASSERT_NE(nullptr, library);
        decompress =
            reinterpret_cast<DecompressFn>(GetProcAddressW(library, u"DecompressImageIndirect"));
        ASSERT_NE(nullptr, decompress);
        progressCalls = 0;
        progressComplete = FALSE;
    }
    void TearDown() override {
        if (library) FreeLibrary(library);
    }

    // Decodes a device file the way the image loader does; the bitmap or null.
    HBITMAP decode(const std::u16string& path, int bitDepth, int maxW = 640, int maxH = 640,
                   int scale = 100, HRESULT* result = nullptr) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, file);
        BYTE buffer[8192] = {};
        HBITMAP bitmap = reinterpret_cast<HBITMAP>(uintptr_t{kPoison});
        DecompressImageInfo info{};
        info.dwSize = 60;
        info.pbBuffer = buffer;
        info.dwBufferMax = sizeof buffer;
        info.phBM = &bitmap;
        info.iBitDepth = bitDepth;
        info.lParam = reinterpret_cast<LPARAM>(file);
        info.iScale = scale;
        info.iMaxWidth = maxW;
        info.iMaxHeight = maxH;
        info.pfnGetData = readFromHandle;
        info.pfnImageProgress = countProgress;
        info.crTransparentOverride = CLR_INVALID;
        HRESULT hr = decompress(&info);
        if (result) *result = hr;
        CloseHandle(file);
        if (FAILED(hr)) {
            EXPECT_EQ(nullptr, bitmap);
            return nullptr;
        }
        return bitmap;
    }

    HMODULE library = nullptr;
    DecompressFn decompress = nullptr;
};

// The screen's 32 bits: opaque pixels as in the file; transparent parts blended onto white.
TEST_F(ImgdecmpTest, DecodesEachFormatAtThirtyTwoBits) {
    HBITMAP bmp = decode(put("a.bmp", makeBmp(bmpLayout(3, 2, 24), kOpaqueSix)), 32);
    ASSERT_NE(nullptr, bmp);
    BitmapPixels got = readBitmap(bmp);
    EXPECT_EQ(3, got.width);
    EXPECT_EQ(2, got.height);
    EXPECT_EQ(32, got.bpp);
    ASSERT_EQ(6u, got.px.size());
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(kOpaqueSix[i], got.px[i]) << i;
    DeleteObject(bmp);
    EXPECT_EQ(1, progressCalls);
    EXPECT_TRUE(progressComplete);

    HBITMAP png = decode(put("a.png", makePng(3, 2, kAlphaSix, PngKind::Rgba)), 32);
    ASSERT_NE(nullptr, png);
    got = readBitmap(png);
    ASSERT_EQ(6u, got.px.size());
    EXPECT_EQ(0xFFFF0000u, got.px[0]);
    EXPECT_EQ(0xFFFF7F7Fu, got.px[1]); // red at alpha 128 over white, rounded
    EXPECT_EQ(0xFFFFFFFFu, got.px[2]); // alpha 0: white
    DeleteObject(png);

    for (const char* name : {"a.jpg", "a.gif"}) {
        Bytes file = name[2] == 'j' ? makeJpeg(8, 8, Pixels(64, 0xFF2040C0))
                                    : makeGif(8, 8, std::vector<uint8_t>(64, 1), {0, 0x2040C0}, -1);
        HBITMAP b = decode(put(name, file), 32);
        ASSERT_NE(nullptr, b) << name;
        got = readBitmap(b);
        EXPECT_EQ(8, got.width) << name;
        ASSERT_EQ(64u, got.px.size());
        for (int shift : {0, 8, 16})
            EXPECT_NEAR(static_cast<int>((0x2040C0u >> shift) & 0xFF),
                        static_cast<int>((got.px[27] >> shift) & 0xFF), 3)
                << name;
        DeleteObject(b);
    }
}

// 24 and 1 bits per pixel as asked; the 1-bit bitmap is black and white by brightness.
TEST_F(ImgdecmpTest, OtherBitDepths) {
    std::u16string path = put("b.bmp", makeBmp(bmpLayout(3, 2, 24), kOpaqueSix));
    HBITMAP b24 = decode(path, 24);
    ASSERT_NE(nullptr, b24);
    BitmapPixels got = readBitmap(b24);
    EXPECT_EQ(24, got.bpp);
    ASSERT_EQ(6u, got.px.size());
    EXPECT_EQ(0x123456u, got.px[3] & 0xFFFFFF);
    DeleteObject(b24);
    HBITMAP b1 = decode(path, 1);
    ASSERT_NE(nullptr, b1);
    got = readBitmap(b1);
    EXPECT_EQ(1, got.bpp);
    ASSERT_EQ(6u, got.px.size());
    EXPECT_EQ(0x000000u, got.px[0] & 0xFFFFFF); // red is dark
    EXPECT_EQ(0xFFFFFFu, got.px[1] & 0xFFFFFF); // green is light
    EXPECT_EQ(0xFFFFFFu, got.px[4] & 0xFFFFFF);
    EXPECT_EQ(0x000000u, got.px[5] & 0xFFFFFF);
    DeleteObject(b1);
}

// iScale shrinks by percent; a larger image is shrunk to the maximum size with its aspect
// ratio kept (640 at 96 dpi, as the loader asks).
TEST_F(ImgdecmpTest, ScaleAndMaximumSize) {
    std::u16string path = put("c.png", makePng(40, 20, Pixels(800, 0xFF00FF00), PngKind::Rgb));
    HBITMAP half = decode(path, 32, 640, 640, 50);
    ASSERT_NE(nullptr, half);
    BitmapPixels got = readBitmap(half);
    EXPECT_EQ(20, got.width);
    EXPECT_EQ(10, got.height);
    DeleteObject(half);
    HBITMAP fit = decode(path, 32, 10, 100);
    ASSERT_NE(nullptr, fit);
    got = readBitmap(fit);
    EXPECT_EQ(10, got.width);
    EXPECT_EQ(5, got.height);
    ASSERT_FALSE(got.px.empty());
    EXPECT_EQ(0xFF00FF00u, got.px[12]);
    DeleteObject(fit);
}

// Without a data callback the handle in lParam is read directly; bytes the caller already put
// into the buffer come first.
TEST_F(ImgdecmpTest, FileHandleAndPrefilledBuffer) {
    Bytes file = makeBmp(bmpLayout(3, 2, 24), kOpaqueSix);
    std::u16string path = put("d.bmp", file);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    BYTE buffer[64];
    DWORD first = 0;
    ASSERT_TRUE(ReadFile(h, buffer, 20, &first, nullptr));
    HBITMAP bitmap = nullptr;
    DecompressImageInfo info{};
    info.dwSize = sizeof info;
    info.pbBuffer = buffer;
    info.dwBufferMax = sizeof buffer;
    info.dwBufferCurrent = first;
    info.phBM = &bitmap;
    info.iBitDepth = 32;
    info.lParam = reinterpret_cast<LPARAM>(h);
    EXPECT_EQ(S_OK, decompress(&info));
    CloseHandle(h);
    ASSERT_NE(nullptr, bitmap);
    BitmapPixels got = readBitmap(bitmap);
    ASSERT_EQ(6u, got.px.size());
    EXPECT_EQ(kOpaqueSix[5], got.px[5]);
    DeleteObject(bitmap);
}

// A wrong record size, no bitmap pointer, no data source or an unknown depth: E_INVALIDARG,
// the bitmap pointer untouched when the record itself is not understood.
TEST_F(ImgdecmpTest, BadRecordsAreRefused) {
    EXPECT_EQ(E_INVALIDARG, decompress(nullptr));
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(uintptr_t{kPoison});
    DecompressImageInfo info{};
    info.dwSize = 56;
    info.phBM = &bitmap;
    info.iBitDepth = 32;
    info.pfnGetData = readFromHandle;
    info.lParam = reinterpret_cast<LPARAM>(INVALID_HANDLE_VALUE);
    EXPECT_EQ(E_INVALIDARG, decompress(&info));
    EXPECT_EQ(reinterpret_cast<HBITMAP>(uintptr_t{kPoison}), bitmap);
    info.dwSize = 60;
    info.iBitDepth = 3;
    EXPECT_EQ(E_INVALIDARG, decompress(&info));
    info.iBitDepth = 32;
    info.phBM = nullptr;
    EXPECT_EQ(E_INVALIDARG, decompress(&info));
    info.phBM = &bitmap;
    info.pfnGetData = nullptr;
    info.lParam = 0;
    EXPECT_EQ(E_INVALIDARG, decompress(&info));
    // A callback with no data: nothing to decode.
    info.pfnGetData = readFromHandle;
    info.lParam = reinterpret_cast<LPARAM>(INVALID_HANDLE_VALUE);
    EXPECT_EQ(E_FAIL, decompress(&info));
    EXPECT_EQ(nullptr, bitmap);
}

// Truncated and corrupt files fail with E_FAIL and no bitmap.
TEST_F(ImgdecmpTest, TruncatedAndCorruptFilesFail) {
    Bytes png = makePng(16, 16, Pixels(256, 0xFF808080), PngKind::Rgb);
    Bytes jpg = makeJpeg(16, 16, Pixels(256, 0xFF808080));
    Bytes bmp = makeBmp(bmpLayout(16, 16, 24), Pixels(256, 0xFF808080));
    for (Bytes* file : {&png, &jpg, &bmp}) {
        Bytes cut(file->begin(), file->begin() + static_cast<ptrdiff_t>(file->size() * 2 / 3));
        HRESULT hr = S_OK;
        EXPECT_EQ(nullptr, decode(put("cut", cut), 32, 640, 640, 100, &hr));
        EXPECT_EQ(E_FAIL, hr);
    }
    HRESULT hr = S_OK;
    EXPECT_EQ(nullptr, decode(put("junk", Bytes(300, 0x42)), 32, 640, 640, 100, &hr));
    EXPECT_EQ(E_FAIL, hr);
}

// A device without Imgdecmp.dll: no file in \Windows and no library to load.
TEST_F(ImagingTest, WithdrawnImgdecmpIsAbsent) {
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"\\Windows\\Imgdecmp.dll"));
    withdraw({"Imgdecmp.dll"});
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"\\Windows\\Imgdecmp.dll"));
    SetLastError(kPoison);
    HMODULE h = LoadLibraryW(u"Imgdecmp.dll");
    EXPECT_EQ(nullptr, h);
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
    if (h) FreeLibrary(h);
}

} // namespace
