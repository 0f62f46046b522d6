// Imaging.dll through COM: the factory made by CoCreateInstance, images from files and
// buffers with their information (the pixel format's alpha flag, the raw format), bitmap
// images locked in 32-bit ARGB with straight colours, lock rules, reference counts, drawing,
// and the library withdrawn by the device profile.
#include <cstring>

#include "imaging.h"
#include "imaging/objects.h"
#include "imagingtest.h"

using namespace imgtest;

namespace {

class ImagingFactoryTest : public ImagingTest {
protected:
    void SetUp() override {
        baseline = ce::imaging::liveObjects();
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        factory = reinterpret_cast<IImagingFactory*>(uintptr_t{kPoison});
        HRESULT hr = CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IImagingFactory, reinterpret_cast<void**>(&factory));
        ASSERT_EQ(S_OK, hr);
        ASSERT_NE(nullptr, factory);
    }
    void TearDown() override {
        if (factory) {
            EXPECT_EQ(0u, factory->Release());
        }
        CoUninitialize();
        // Every object the test made has gone.
        EXPECT_EQ(baseline, ce::imaging::liveObjects());
    }
    IImage* load(const std::string& name, const Bytes& bytes) {
        IImage* image = reinterpret_cast<IImage*>(uintptr_t{kPoison});
        HRESULT hr = factory->CreateImageFromFile(put(name, bytes).c_str(), &image);
        EXPECT_EQ(S_OK, hr) << name;
        return SUCCEEDED(hr) ? image : nullptr;
    }
    ImageInfo infoOf(IImage* image) {
        ImageInfo info;
        std::memset(&info, 0xEF, sizeof info);
        EXPECT_EQ(S_OK, image->GetImageInfo(&info));
        return info;
    }
    // The pixels of a bitmap image locked whole in 32-bit ARGB.
    Pixels lockArgb(IBitmapImage* bitmap, int w, int h) {
        BitmapData data;
        std::memset(&data, 0xEF, sizeof data);
        RECT all{0, 0, w, h};
        EXPECT_EQ(S_OK, bitmap->LockBits(&all, ImageLockModeRead, PixelFormat32bppARGB, &data));
        EXPECT_EQ(static_cast<UINT>(w), data.Width);
        EXPECT_EQ(static_cast<UINT>(h), data.Height);
        EXPECT_EQ(w * 4, data.Stride);
        EXPECT_EQ(PixelFormat32bppARGB, data.PixelFormat);
        Pixels px(static_cast<size_t>(w) * h);
        for (int y = 0; y < h; ++y)
            std::memcpy(&px[static_cast<size_t>(y) * w],
                        static_cast<uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride,
                        static_cast<size_t>(w) * 4);
        EXPECT_EQ(S_OK, bitmap->UnlockBits(&data));
        return px;
    }

    long baseline = 0;
    IImagingFactory* factory = nullptr;
};

// The loader's path for a PNG with alpha: the alpha flag (0x40000) in the natural pixel
// format, a 32-bit ARGB bitmap of the same size, and the pixels straight (alpha 128 red
// stays 255: premultiplying is the caller's business).
TEST_F(ImagingFactoryTest, PngWithAlphaLocksAsStraightArgb) {
    IImage* image = load("alpha.png", makePng(3, 2, kAlphaSix, PngKind::Rgba));
    ASSERT_NE(nullptr, image);
    ImageInfo info = infoOf(image);
    EXPECT_EQ(ImageFormatPNG, info.RawDataFormat);
    EXPECT_EQ(PixelFormat32bppARGB, info.PixelFormat);
    EXPECT_NE(0, info.PixelFormat & 0x40000);
    EXPECT_EQ(3u, info.Width);
    EXPECT_EQ(2u, info.Height);
    EXPECT_NE(0u, info.Flags & ImageFlagsHasAlpha);
    IBitmapImage* bitmap = reinterpret_cast<IBitmapImage*>(uintptr_t{kPoison});
    ASSERT_EQ(S_OK,
              factory->CreateBitmapFromImage(image, info.Width, info.Height, PixelFormat32bppARGB,
                                             InterpolationHintDefault, &bitmap));
    EXPECT_EQ(kAlphaSix, lockArgb(bitmap, 3, 2));
    EXPECT_EQ(0u, bitmap->Release());
    EXPECT_EQ(0u, image->Release());
}

// Files without transparency have no alpha flag, so the loader leaves them to the other
// decoders; each reports its own raw format.
TEST_F(ImagingFactoryTest, InformationOfEachFormat) {
    struct Case {
        const char* name;
        Bytes bytes;
        GUID raw;
        PixelFormatID format;
    };
    BmpLayout indexed = bmpLayout(3, 2, 8);
    indexed.palette = {0xFF0000, 0x00FF00};
    std::vector<Case> cases = {
        {"rgb.png", makePng(3, 2, kOpaqueSix, PngKind::Rgb), ImageFormatPNG, PixelFormat24bppRGB},
        {"pal.png", makePng(3, 2, kOpaqueSix, PngKind::Palette), ImageFormatPNG,
         PixelFormat8bppIndexed},
        {"trns.png", makePng(3, 2, kAlphaSix, PngKind::PaletteTrns), ImageFormatPNG,
         PixelFormat32bppARGB},
        {"photo.jpg", makeJpeg(3, 2, kOpaqueSix), ImageFormatJPEG, PixelFormat24bppRGB},
        {"pic24.bmp", makeBmp(bmpLayout(3, 2, 24), kOpaqueSix), ImageFormatBMP,
         PixelFormat24bppRGB},
        {"pic8.bmp", makeBmp(indexed, {0, 1, 0, 1, 0, 1}), ImageFormatBMP, PixelFormat8bppIndexed},
        {"pic16.bmp", makeBmp(bmpLayout(3, 2, 16), kOpaqueSix), ImageFormatBMP,
         PixelFormat16bppRGB555},
        {"anim.gif", makeGif(3, 2, {0, 1, 0, 1, 0, 1}, {0, 0xFFFFFF}, -1), ImageFormatGIF,
         PixelFormat8bppIndexed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IImage* image = load(c.name, c.bytes);
        ASSERT_NE(nullptr, image);
        ImageInfo info = infoOf(image);
        EXPECT_EQ(c.raw, info.RawDataFormat);
        EXPECT_EQ(c.format, info.PixelFormat);
        EXPECT_EQ(c.format == PixelFormat32bppARGB, (info.PixelFormat & 0x40000) != 0);
        EXPECT_EQ(3u, info.Width);
        EXPECT_EQ(2u, info.Height);
        EXPECT_EQ(0u, image->Release());
    }
    // The JPEG's pixels also come back through a 32-bit ARGB lock, opaque.
    IImage* image = load("photo.jpg", makeJpeg(3, 2, kOpaqueSix));
    ASSERT_NE(nullptr, image);
    IBitmapImage* bitmap = nullptr;
    ASSERT_EQ(S_OK, factory->CreateBitmapFromImage(image, 0, 0, PixelFormat32bppARGB,
                                                   InterpolationHintDefault, &bitmap));
    for (uint32_t p : lockArgb(bitmap, 3, 2))
        EXPECT_EQ(0xFFu, p >> 24);
    bitmap->Release();
    image->Release();
}

// Files that cannot be opened answer their open error; data of no image format
// IMGERR_CODECNOTFOUND; a corrupt or truncated image a failure. The out pointer is NULL.
TEST_F(ImagingFactoryTest, MissingCorruptAndTruncatedFilesFail) {
    IImage* image = reinterpret_cast<IImage*>(uintptr_t{kPoison});
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              factory->CreateImageFromFile(u"\\Temp\\none.png", &image));
    EXPECT_EQ(nullptr, image);
    image = reinterpret_cast<IImage*>(uintptr_t{kPoison});
    EXPECT_EQ(IMGERR_CODECNOTFOUND,
              factory->CreateImageFromFile(put("text.png", {'t', 'e', 'x', 't'}).c_str(), &image));
    EXPECT_EQ(nullptr, image);
    Bytes png = makePng(8, 8, Pixels(64, 0xFF00FF00), PngKind::Rgb);
    png.resize(png.size() / 2);
    image = reinterpret_cast<IImage*>(uintptr_t{kPoison});
    EXPECT_EQ(E_FAIL, factory->CreateImageFromFile(put("half.png", png).c_str(), &image));
    EXPECT_EQ(nullptr, image);
    EXPECT_EQ(E_INVALIDARG, factory->CreateImageFromFile(nullptr, &image));
    EXPECT_EQ(E_INVALIDARG, factory->CreateImageFromFile(u"\\x", nullptr));
}

// AddRef and Release answer the new count; QueryInterface adds a reference for the interface
// it hands out and refuses (with NULL) what the object is not.
TEST_F(ImagingFactoryTest, ReferenceCountsAndInterfaces) {
    EXPECT_EQ(2u, factory->AddRef());
    EXPECT_EQ(1u, factory->Release());
    IImage* image = load("rc.bmp", makeBmp(bmpLayout(3, 2, 24), kOpaqueSix));
    ASSERT_NE(nullptr, image);
    IBitmapImage* notBitmap = reinterpret_cast<IBitmapImage*>(uintptr_t{kPoison});
    EXPECT_EQ(E_NOINTERFACE,
              image->QueryInterface(IID_IBitmapImage, reinterpret_cast<void**>(&notBitmap)));
    EXPECT_EQ(nullptr, notBitmap);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(S_OK, image->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    EXPECT_EQ(3u, unknown->AddRef()); // the image's own, the query's, this one
    EXPECT_EQ(2u, unknown->Release());
    EXPECT_EQ(1u, unknown->Release());

    IBitmapImage* bitmap = nullptr;
    ASSERT_EQ(S_OK, factory->CreateBitmapFromImage(image, 0, 0, PixelFormatDontCare,
                                                   InterpolationHintDefault, &bitmap));
    EXPECT_EQ(0u, image->Release()); // the bitmap does not need the image
    PixelFormatID format = kPoison;
    EXPECT_EQ(S_OK, bitmap->GetPixelFormatID(&format));
    EXPECT_EQ(PixelFormat24bppRGB, format);
    IImage* asImage = nullptr;
    ASSERT_EQ(S_OK, bitmap->QueryInterface(IID_IImage, reinterpret_cast<void**>(&asImage)));
    SIZE size{-1, -1};
    EXPECT_EQ(S_OK, bitmap->GetSize(&size));
    EXPECT_EQ(3, size.cx);
    EXPECT_EQ(2, size.cy);
    EXPECT_EQ(1u, asImage->Release());
    EXPECT_EQ(0u, bitmap->Release());

    // The factory's other interfaces do not exist.
    IImage* wrong = reinterpret_cast<IImage*>(uintptr_t{kPoison});
    EXPECT_EQ(E_NOINTERFACE, factory->QueryInterface(IID_IImage, reinterpret_cast<void**>(&wrong)));
    EXPECT_EQ(nullptr, wrong);
    IUnknown* viaCo = reinterpret_cast<IUnknown*>(uintptr_t{kPoison});
    EXPECT_EQ(E_NOINTERFACE, CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IImage, reinterpret_cast<void**>(&viaCo)));
    EXPECT_EQ(nullptr, viaCo);
}

// One lock at a time; a bad rectangle, a format without conversion or an unlock without its
// lock are refused; a write lock changes the pixels; the caller's own buffer is filled and
// not overrun.
TEST_F(ImagingFactoryTest, LockRules) {
    IBitmapImage* bitmap = nullptr;
    ASSERT_EQ(S_OK, factory->CreateNewBitmap(4, 3, PixelFormat32bppARGB, &bitmap));
    BitmapData data{};
    RECT r{1, 1, 3, 3};
    ASSERT_EQ(S_OK, bitmap->LockBits(&r, ImageLockModeWrite, PixelFormat32bppARGB, &data));
    BitmapData second{};
    EXPECT_EQ(IMGERR_OBJECTBUSY,
              bitmap->LockBits(nullptr, ImageLockModeRead, PixelFormat32bppARGB, &second));
    for (UINT y = 0; y < data.Height; ++y)
        for (UINT x = 0; x < data.Width; ++x)
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(data.Scan0) + y * data.Stride)[x] =
                0x80102030u + x + 16 * y;
    BitmapData forged = data;
    forged.Reserved = 0;
    EXPECT_EQ(IMGERR_BADUNLOCK, bitmap->UnlockBits(&forged));
    ASSERT_EQ(S_OK, bitmap->UnlockBits(&data));
    EXPECT_EQ(IMGERR_BADUNLOCK, bitmap->UnlockBits(&data));
    Pixels px = lockArgb(bitmap, 4, 3);
    EXPECT_EQ(0x00000000u, px[0]); // a new bitmap is transparent black
    EXPECT_EQ(0x80102030u, px[5]);
    EXPECT_EQ(0x80102031u, px[6]);
    EXPECT_EQ(0x80102040u, px[9]);
    EXPECT_EQ(0x80102041u, px[10]);

    RECT outside{2, 2, 5, 3};
    EXPECT_EQ(E_INVALIDARG,
              bitmap->LockBits(&outside, ImageLockModeRead, PixelFormat32bppARGB, &data));
    RECT empty{1, 1, 1, 2};
    EXPECT_EQ(E_INVALIDARG,
              bitmap->LockBits(&empty, ImageLockModeRead, PixelFormat32bppARGB, &data));
    EXPECT_EQ(E_INVALIDARG, bitmap->LockBits(nullptr, 0, PixelFormat32bppARGB, &data));
    EXPECT_EQ(IMGERR_NOCONVERSION,
              bitmap->LockBits(nullptr, ImageLockModeRead, PixelFormat8bppIndexed, &data));

    // Premultiplied and 24-bit views of the same pixels, into the caller's buffer.
    uint8_t buffer[2 * 8 + 4];
    std::memset(buffer, 0xAB, sizeof buffer);
    BitmapData user{};
    user.Scan0 = buffer;
    user.Stride = 8;
    RECT one{1, 1, 3, 3};
    ASSERT_EQ(S_OK, bitmap->LockBits(&one, ImageLockModeRead | ImageLockModeUserInputBuf,
                                     PixelFormat32bppPARGB, &user));
    uint32_t p;
    std::memcpy(&p, buffer, 4);
    // 0x10 * 128 / 255 -> 8, 0x20 -> 16, 0x30 -> 24 (rounded).
    EXPECT_EQ(0x80081018u, p);
    for (size_t i = 16; i < sizeof buffer; ++i)
        EXPECT_EQ(0xAB, buffer[i]) << "guard byte " << i;
    ASSERT_EQ(S_OK, bitmap->UnlockBits(&user));
    ASSERT_EQ(S_OK, bitmap->LockBits(&one, ImageLockModeRead, PixelFormat24bppRGB, &data));
    EXPECT_EQ(8, data.Stride); // 2 pixels of 3 bytes, padded to 4
    const uint8_t* b = static_cast<const uint8_t*>(data.Scan0);
    EXPECT_EQ(0x30, b[0]);
    EXPECT_EQ(0x20, b[1]);
    EXPECT_EQ(0x10, b[2]);
    ASSERT_EQ(S_OK, bitmap->UnlockBits(&data));
    EXPECT_EQ(0u, bitmap->Release());
}

// Scaling by CreateBitmapFromImage, and a bitmap made of the caller's pixels.
TEST_F(ImagingFactoryTest, ScaledBitmapsAndBitmapsFromBuffers) {
    IImage* image = load("flat.png", makePng(4, 4, Pixels(16, 0xFF336699), PngKind::Rgb));
    ASSERT_NE(nullptr, image);
    IBitmapImage* bitmap = nullptr;
    ASSERT_EQ(S_OK, factory->CreateBitmapFromImage(image, 8, 2, PixelFormat32bppARGB,
                                                   InterpolationHintBilinear, &bitmap));
    for (uint32_t p : lockArgb(bitmap, 8, 2))
        EXPECT_EQ(0xFF336699u, p);
    bitmap->Release();
    EXPECT_EQ(E_INVALIDARG, factory->CreateBitmapFromImage(nullptr, 1, 1, PixelFormat32bppARGB,
                                                           InterpolationHintDefault, &bitmap));
    image->Release();

    uint16_t pixels565[2] = {0xF800, 0x07E0};
    BitmapData data{};
    data.Width = 2;
    data.Height = 1;
    data.Stride = 4;
    data.PixelFormat = PixelFormat16bppRGB565;
    data.Scan0 = pixels565;
    ASSERT_EQ(S_OK, factory->CreateBitmapFromBuffer(&data, &bitmap));
    EXPECT_EQ((Pixels{0xFFFF0000, 0xFF00FF00}), lockArgb(bitmap, 2, 1));
    bitmap->Release();
}

// An image made from a buffer frees it as asked when the image goes (a leak would show under
// the address sanitizer); on failure the buffer stays the caller's.
TEST_F(ImagingFactoryTest, ImagesFromBuffersOwnTheirBuffer) {
    Bytes png = makePng(2, 2, Pixels(4, 0x80FF8040), PngKind::Rgba);
    void* copy = CoTaskMemAlloc(png.size());
    std::memcpy(copy, png.data(), png.size());
    IImage* image = nullptr;
    ASSERT_EQ(S_OK, factory->CreateImageFromBuffer(copy, static_cast<UINT>(png.size()),
                                                   BufferDisposalFlagCoTaskMemFree, &image));
    EXPECT_EQ(PixelFormat32bppARGB, infoOf(image).PixelFormat);
    EXPECT_EQ(0u, image->Release());
    Bytes junk(16, 0x55);
    image = reinterpret_cast<IImage*>(uintptr_t{kPoison});
    EXPECT_EQ(IMGERR_CODECNOTFOUND,
              factory->CreateImageFromBuffer(junk.data(), 16, BufferDisposalFlagNone, &image));
    EXPECT_EQ(nullptr, image);
}

// Draw blends an image with alpha over the destination, scaled to the rectangle.
TEST_F(ImagingFactoryTest, DrawBlendsOverTheDestination) {
    IImage* image = load("half.png", makePng(1, 1, {0x80FF0000}, PngKind::Rgba));
    ASSERT_NE(nullptr, image);
    Pixels white(4 * 2, 0xFFFFFFFF);
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 4, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP target = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, target);
    std::memcpy(bits, white.data(), 32);
    HGDIOBJ old = SelectObject(dc, target);
    RECT dst{1, 0, 3, 2};
    EXPECT_EQ(S_OK, image->Draw(dc, &dst, nullptr));
    EXPECT_EQ(E_INVALIDARG, image->Draw(dc, nullptr, nullptr));
    SelectObject(dc, old);
    DeleteDC(dc);
    const uint32_t* px = static_cast<const uint32_t*>(bits);
    EXPECT_EQ(0xFFFFFFu, px[0] & 0xFFFFFF); // outside the rectangle
    // Red 255 at alpha 128 over white: 128 + 255 * 127 / 255 = 255 red, 127 green and blue.
    EXPECT_EQ(0xFF7F7Fu, px[1] & 0xFFFFFF);
    EXPECT_EQ(0xFF7F7Fu, px[6] & 0xFFFFFF);
    EXPECT_EQ(0xFFFFFFu, px[3] & 0xFFFFFF);
    DeleteObject(target);
    image->Release();
}

// A device without Imaging.dll: no \Windows\Imaging.dll, and the factory's class is unknown.
TEST_F(ImagingTest, WithdrawnLibraryHasNoFactory) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"\\Windows\\Imaging.dll"));
    HMODULE lib = LoadLibraryW(u"\\Windows\\Imaging.dll"); // as the image loader loads it
    EXPECT_NE(nullptr, lib);
    if (lib) FreeLibrary(lib);
    withdraw({"Imaging.dll"});
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"\\Windows\\Imaging.dll"));
    SetLastError(kPoison);
    lib = LoadLibraryW(u"\\Windows\\Imaging.dll");
    EXPECT_EQ(nullptr, lib);
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
    IImagingFactory* factory = reinterpret_cast<IImagingFactory*>(uintptr_t{kPoison});
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IImagingFactory, reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(nullptr, factory);
    withdraw({});
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IImagingFactory, reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(0u, factory->Release());
    CoUninitialize();
}

} // namespace
