// resource_test.cpp: a module's resources from its tables (ceresource.h): strings with
// LoadStringW, typed data with FindResourceW/LoadResource/SizeofResource, bitmaps and icons
// compiled from PNG files by cerc (tests/user/res, see tests/CMakeLists.txt) with LoadBitmapW,
// LoadIconW and LoadImageW, and a plug-in library (test_resplugin) whose resources carry the
// same numbers but other contents, so that each module must keep its own.
//
// The pictures: opaque4x3.png (bitmaps 101 and "Splash"), distinct colours, top row red,
// green, blue, white; alpha2x2.png (bitmap 102): opaque red, green at alpha 128, transparent
// blue, white at alpha 64; icon 201 = icon16.png (red, top-left pixel transparent) and
// icon32.png (blue, top-left 2x2 transparent); icon 202 = icon32.png only.
#include <cstring>
#include <vector>

#include <ceresource.h>
#include <windows.h>
#include <wingdi.h>

#include "kernel/stub.h"
#include "testdevice.h"

namespace {

using cetest::DeviceTest;

constexpr DWORD kPoison = 0xdeadbeef;
constexpr WCHAR kPoisonChar = 0xBEEF;

// ---- The test program's own hand-written table --------------------------------------------------

const CeStringEntry kStrings[] = {
    {1, u"Program string one"},
    {2, u"Hello, device"},
    {3, u""},
    {4, u"\u00c4rger \u65e5\u672c"},
};

const unsigned char kBlob[] = {1, 2, 3, 4, 5};
const unsigned char kSkin[] = {0x53, 0x4b};

const CeDataEntry kData[] = {
    {RT_RCDATA, 300, nullptr, kBlob, sizeof kBlob},
    {RT_RCDATA, 0, u"Defaults", kBlob, 3},
    {u"SKIN", 1, nullptr, kSkin, sizeof kSkin},
};

const CeResourceTable kTable = {
    CE_RESOURCE_TABLE_VERSION, kStrings, CE_COUNTOF(kStrings), nullptr, 0, nullptr, 0, kData,
    CE_COUNTOF(kData)};
CE_REGISTER_RESOURCES(kTable);

HINSTANCE program() {
    return GetModuleHandleW(nullptr);
}

// The pixels of a bitmap as 32-bit words (0xAARRGGBB), top-down.
std::vector<uint32_t> pixelsOf(HBITMAP bitmap, int* width, int* height) {
    BITMAP bm{};
    if (GetObjectW(bitmap, sizeof bm, &bm) != sizeof bm) return {};
    *width = bm.bmWidth;
    *height = bm.bmHeight;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = bm.bmWidth;
    info.bmiHeader.biHeight = -bm.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> pixels(static_cast<size_t>(bm.bmWidth) * bm.bmHeight, kPoison);
    HDC dc = CreateCompatibleDC(nullptr);
    const int rows = GetDIBits(dc, bitmap, 0, bm.bmHeight, pixels.data(), &info, DIB_RGB_COLORS);
    DeleteDC(dc);
    if (rows != bm.bmHeight) return {};
    return pixels;
}

// An icon's colour pixels and mask (1 = transparent, from the mask bitmap) by GetIconInfo.
struct IconParts {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> color;
    std::vector<bool> transparent;
};

IconParts partsOf(HICON icon) {
    IconParts parts;
    ICONINFO info;
    std::memset(&info, 0xBE, sizeof info);
    if (!GetIconInfo(icon, &info)) return parts;
    int mw = 0, mh = 0;
    std::vector<uint32_t> mask = pixelsOf(info.hbmMask, &mw, &mh);
    parts.color = pixelsOf(info.hbmColor, &parts.width, &parts.height);
    for (uint32_t p : mask)
        parts.transparent.push_back((p & 0xFFFFFF) != 0);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    return parts;
}

class ResourceTest : public DeviceTest {};

// ---- Strings --------------------------------------------------------------------------------

// LoadStringW copies the string and its terminator and returns the characters copied; what
// follows the terminator in the buffer is not written.
TEST_F(ResourceTest, LoadStringCopiesTheWholeString) {
    WCHAR buf[32];
    std::fill(std::begin(buf), std::end(buf), kPoisonChar);
    EXPECT_EQ(LoadStringW(program(), 1, buf, 32), 18);
    EXPECT_EQ(std::u16string(buf), u"Program string one");
    EXPECT_EQ(buf[19], kPoisonChar);
    // hInstance NULL is the program itself.
    std::fill(std::begin(buf), std::end(buf), kPoisonChar);
    EXPECT_EQ(LoadStringW(nullptr, 2, buf, 32), 13);
    EXPECT_EQ(std::u16string(buf), u"Hello, device");
    // Text beyond Latin-1 arrives unchanged.
    EXPECT_EQ(LoadStringW(program(), 4, buf, 32), 8);
    EXPECT_EQ(std::u16string(buf), u"\u00c4rger \u65e5\u672c");
}

// "The string is truncated and null-terminated if it is longer than the number of characters
// specified": at most cchBufferMax - 1 characters, then the terminator, nothing after it.
TEST_F(ResourceTest, LoadStringTruncatesToTheBuffer) {
    WCHAR buf[8];
    std::fill(std::begin(buf), std::end(buf), kPoisonChar);
    EXPECT_EQ(LoadStringW(program(), 1, buf, 6), 5);
    EXPECT_EQ(std::u16string(buf), u"Progr");
    EXPECT_EQ(buf[6], kPoisonChar);
    std::fill(std::begin(buf), std::end(buf), kPoisonChar);
    EXPECT_EQ(LoadStringW(program(), 1, buf, 1), 0);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[1], kPoisonChar);
    // An empty string copies only the terminator.
    std::fill(std::begin(buf), std::end(buf), kPoisonChar);
    EXPECT_EQ(LoadStringW(program(), 3, buf, 8), 0);
    EXPECT_EQ(buf[0], 0);
}

// With cchBufferMax 0 the buffer receives a read-only pointer to the string itself and the
// result is its length; the same pointer every time, and the string is terminated.
TEST_F(ResourceTest, LoadStringWithZeroSizeGivesAPointer) {
    const WCHAR* text = reinterpret_cast<const WCHAR*>(uintptr_t{0xdeadbeef});
    EXPECT_EQ(LoadStringW(program(), 2, reinterpret_cast<LPWSTR>(&text), 0), 13);
    ASSERT_NE(text, reinterpret_cast<const WCHAR*>(uintptr_t{0xdeadbeef}));
    EXPECT_EQ(std::u16string(text, 13), u"Hello, device");
    EXPECT_EQ(text[13], 0);
    const WCHAR* again = nullptr;
    EXPECT_EQ(LoadStringW(program(), 2, reinterpret_cast<LPWSTR>(&again), 0), 13);
    EXPECT_EQ(again, text);
}

// A missing string returns 0 with ERROR_RESOURCE_NAME_NOT_FOUND and leaves the buffer alone;
// a module that is none fails with ERROR_RESOURCE_DATA_NOT_FOUND; the pointer-as-result form
// (no buffer) cannot work on this host and fails with ERROR_INVALID_PARAMETER.
TEST_F(ResourceTest, LoadStringFailures) {
    WCHAR buf[8];
    std::fill(std::begin(buf), std::end(buf), kPoisonChar);
    SetLastError(kPoison);
    EXPECT_EQ(LoadStringW(program(), 999, buf, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(buf[0], kPoisonChar);

    SetLastError(kPoison);
    EXPECT_EQ(LoadStringW(static_cast<HINSTANCE>(ULongToHandle(0x12340000)), 1, buf, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);

    SetLastError(kPoison);
    EXPECT_EQ(LoadStringW(program(), 1, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    SetLastError(kPoison);
    EXPECT_EQ(LoadStringW(program(), 1, buf, -1), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_EQ(buf[0], kPoisonChar);
}

// ---- Typed data -------------------------------------------------------------------------------

// RCDATA is found by number, by "#number", by name without regard to case, and under a type
// of the module's own; LoadResource/LockResource give the bytes, SizeofResource their count.
TEST_F(ResourceTest, FindResourceByNumberNameAndType) {
    HRSRC byId = FindResourceW(program(), MAKEINTRESOURCEW(300), RT_RCDATA);
    ASSERT_NE(byId, nullptr) << GetLastError();
    EXPECT_EQ(FindResourceW(program(), u"#300", RT_RCDATA), byId);
    EXPECT_EQ(SizeofResource(program(), byId), sizeof kBlob);
    const void* data = LockResource(LoadResource(program(), byId));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::memcmp(data, kBlob, sizeof kBlob), 0);

    HRSRC byName = FindResourceW(nullptr, u"dEFAULTS", RT_RCDATA);
    ASSERT_NE(byName, nullptr) << GetLastError();
    EXPECT_NE(byName, byId);
    EXPECT_EQ(SizeofResource(nullptr, byName), 3u);

    HRSRC skin = FindResourceW(program(), MAKEINTRESOURCEW(1), u"skin");
    ASSERT_NE(skin, nullptr) << GetLastError();
    EXPECT_EQ(SizeofResource(program(), skin), sizeof kSkin);
    EXPECT_EQ(std::memcmp(LockResource(LoadResource(program(), skin)), kSkin, sizeof kSkin), 0);

    // The bitmaps of a table are found as RT_BITMAP, their data being the pixels.
    HRSRC bitmap = FindResourceW(program(), MAKEINTRESOURCEW(101), RT_BITMAP);
    ASSERT_NE(bitmap, nullptr) << GetLastError();
    EXPECT_EQ(SizeofResource(program(), bitmap), 4u * 3u * 4u);
}

// A name the module does not have fails with ERROR_RESOURCE_NAME_NOT_FOUND, a type it has
// none of with ERROR_RESOURCE_TYPE_NOT_FOUND; values that are no HRSRC fail.
TEST_F(ResourceTest, FindResourceFailures) {
    SetLastError(kPoison);
    EXPECT_EQ(FindResourceW(program(), MAKEINTRESOURCEW(301), RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    SetLastError(kPoison);
    EXPECT_EQ(FindResourceW(program(), MAKEINTRESOURCEW(300), RT_MENU), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
    SetLastError(kPoison);
    EXPECT_EQ(FindResourceW(program(), u"#0", RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);

    const HRSRC bogus = static_cast<HRSRC>(ULongToHandle(0x52000000 + 4 * 100000));
    SetLastError(kPoison);
    EXPECT_EQ(SizeofResource(program(), bogus), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    SetLastError(kPoison);
    EXPECT_EQ(LoadResource(program(), static_cast<HRSRC>(ULongToHandle(7))), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

// ---- Two modules
// ---------------------------------------------------------------------------------

// The program and a plug-in library each have a string 1, an RCDATA 300 and a bitmap 101;
// each lookup answers from the module asked, and the library's resources go with it when it
// is unloaded.
TEST_F(ResourceTest, ProgramAndPluginKeepTheirOwnResources) {
    ASSERT_EQ(ce::writeLibraryStub(u"\\Windows\\ResPlugin.dll", "libtest_resplugin.so"),
              ERROR_SUCCESS);
    HMODULE plugin = LoadLibraryW(u"ResPlugin.dll");
    ASSERT_NE(plugin, nullptr) << GetLastError();

    WCHAR buf[32];
    EXPECT_EQ(LoadStringW(plugin, 1, buf, 32), 18);
    EXPECT_EQ(std::u16string(buf), u"Plug-in string one");
    EXPECT_EQ(LoadStringW(program(), 1, buf, 32), 18);
    EXPECT_EQ(std::u16string(buf), u"Program string one");
    SetLastError(kPoison);
    EXPECT_EQ(LoadStringW(program(), 7, buf, 32), 0);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(LoadStringW(plugin, 7, buf, 32), 19);

    HRSRC pluginData = FindResourceW(plugin, MAKEINTRESOURCEW(300), RT_RCDATA);
    ASSERT_NE(pluginData, nullptr) << GetLastError();
    EXPECT_EQ(SizeofResource(plugin, pluginData), 13u);
    EXPECT_STREQ(static_cast<const char*>(LockResource(LoadResource(plugin, pluginData))),
                 "plug-in data");
    // An HRSRC belongs to the module it was found in.
    SetLastError(kPoison);
    EXPECT_EQ(SizeofResource(program(), pluginData), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);

    BITMAP bm{};
    HBITMAP mine = LoadBitmapW(program(), MAKEINTRESOURCEW(101));
    HBITMAP theirs = LoadBitmapW(plugin, MAKEINTRESOURCEW(101));
    ASSERT_NE(mine, nullptr);
    ASSERT_NE(theirs, nullptr);
    ASSERT_EQ(GetObjectW(mine, sizeof bm, &bm), (int)sizeof bm);
    EXPECT_EQ(bm.bmWidth, 4);
    ASSERT_EQ(GetObjectW(theirs, sizeof bm, &bm), (int)sizeof bm);
    EXPECT_EQ(bm.bmWidth, 2);
    DeleteObject(mine);
    DeleteObject(theirs);

    ASSERT_TRUE(FreeLibrary(plugin));
    SetLastError(kPoison);
    EXPECT_EQ(LoadStringW(plugin, 1, buf, 32), 0);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
    SetLastError(kPoison);
    EXPECT_EQ(SizeofResource(plugin, pluginData), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(LoadStringW(program(), 1, buf, 32), 18);
}

// ---- Bitmaps ----------------------------------------------------------------------------------

// A bitmap compiled from an opaque PNG has its pixels, by number and by name.
TEST_F(ResourceTest, LoadBitmapHasThePicturesPixels) {
    for (LPCWSTR name :
         {static_cast<LPCWSTR>(MAKEINTRESOURCEW(101)), static_cast<LPCWSTR>(u"splash")}) {
        HBITMAP bitmap = LoadBitmapW(program(), name);
        ASSERT_NE(bitmap, nullptr) << GetLastError();
        int w = 0, h = 0;
        const std::vector<uint32_t> px = pixelsOf(bitmap, &w, &h);
        ASSERT_EQ(w, 4);
        ASSERT_EQ(h, 3);
        ASSERT_EQ(px.size(), 12u);
        const uint32_t expected[12] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x804020,
                                       0x102030, 0xC86432, 0x010203, 0xFAFA00, 0x00FAFA, 0xFA00FA};
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(px[i] & 0xFFFFFF, expected[i]) << "pixel " << i;
        EXPECT_TRUE(DeleteObject(bitmap));
    }
}

// A PNG with alpha becomes a 32-bit bitmap of premultiplied pixels.
TEST_F(ResourceTest, LoadBitmapKeepsPremultipliedAlpha) {
    HBITMAP bitmap = LoadBitmapW(program(), MAKEINTRESOURCEW(102));
    ASSERT_NE(bitmap, nullptr) << GetLastError();
    BITMAP bm{};
    ASSERT_EQ(GetObjectW(bitmap, sizeof bm, &bm), (int)sizeof bm);
    EXPECT_EQ(bm.bmBitsPixel, 32);
    int w = 0, h = 0;
    const std::vector<uint32_t> px = pixelsOf(bitmap, &w, &h);
    ASSERT_EQ(px.size(), 4u);
    EXPECT_EQ(px[0], 0xFFFF0000u);
    EXPECT_EQ(px[1], 0x80008000u);
    EXPECT_EQ(px[2], 0x00000000u);
    EXPECT_EQ(px[3], 0x40404040u);
    DeleteObject(bitmap);
}

// Missing bitmaps fail with ERROR_RESOURCE_NAME_NOT_FOUND; LoadImageW scales a bitmap to a
// size given; LR_LOADFROMFILE is not carried on the device.
TEST_F(ResourceTest, LoadImageOfBitmaps) {
    SetLastError(kPoison);
    EXPECT_EQ(LoadBitmapW(program(), MAKEINTRESOURCEW(999)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    SetLastError(kPoison);
    EXPECT_EQ(LoadBitmapW(program(), u"NoSuchPicture"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);

    HANDLE big = LoadImageW(program(), MAKEINTRESOURCEW(101), IMAGE_BITMAP, 8, 6, 0);
    ASSERT_NE(big, nullptr) << GetLastError();
    int w = 0, h = 0;
    const std::vector<uint32_t> px = pixelsOf(static_cast<HBITMAP>(big), &w, &h);
    ASSERT_EQ(w, 8);
    ASSERT_EQ(h, 6);
    EXPECT_EQ(px[0] & 0xFFFFFF, 0xFF0000u);  // each source pixel became a 2x2 block
    EXPECT_EQ(px[9] & 0xFFFFFF, 0xFF0000u);  // (1, 1)
    EXPECT_EQ(px[2] & 0xFFFFFF, 0x00FF00u);  // (2, 0)
    EXPECT_EQ(px[47] & 0xFFFFFF, 0xFA00FAu); // (7, 5)
    DeleteObject(big);

    SetLastError(kPoison);
    EXPECT_EQ(LoadImageW(nullptr, u"\\Windows\\a.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE),
              nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_SUPPORTED);
}

// ---- Icons ------------------------------------------------------------------------------------

// LoadImageW picks the icon image of the size asked, else the smallest larger one, else the
// largest, and scales it; a size of 0 is the system icon size (SM_CXICON, 32 on a qvga
// device), as Windows CE always behaves as if LR_DEFAULTSIZE were set.
TEST_F(ResourceTest, LoadImagePicksAndScalesIconSizes) {
    // corner: the top-left pixel's alpha. Shrinking averages the pixels each one covers, so
    // the 16x16 picture at 8x8 puts its one transparent pixel among three opaque ones.
    struct Case {
        WORD id;
        int ask;
        int size;
        uint32_t color;
        uint32_t corner;
    } cases[] = {
        {201, 16, 16, 0xFFFF0000, 0}, {201, 32, 32, 0xFF0000FF, 0}, {201, 0, 32, 0xFF0000FF, 0},
        {201, 24, 24, 0xFF0000FF, 0}, {201, 8, 8, 0xFFFF0000, 191}, {201, 64, 64, 0xFF0000FF, 0},
        {202, 16, 16, 0xFF0000FF, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "icon " << c.id << " at " << c.ask);
        HICON icon = static_cast<HICON>(
            LoadImageW(program(), MAKEINTRESOURCEW(c.id), IMAGE_ICON, c.ask, c.ask, 0));
        ASSERT_NE(icon, nullptr);
        const IconParts parts = partsOf(icon);
        EXPECT_EQ(parts.width, c.size);
        EXPECT_EQ(parts.height, c.size);
        ASSERT_EQ(parts.color.size(), static_cast<size_t>(c.size) * c.size);
        ASSERT_EQ(parts.transparent.size(), parts.color.size());
        // The bottom-right pixel is opaque in every picture.
        EXPECT_EQ(parts.color.back(), c.color);
        EXPECT_FALSE(parts.transparent.back());
        EXPECT_EQ(parts.color.front() >> 24, c.corner);
        EXPECT_EQ(parts.transparent.front(), c.corner == 0);
        EXPECT_TRUE(DestroyIcon(icon));
    }
}

// LoadIconW shares its icon: the same handle each time, which DestroyIcon does not destroy.
// LoadImageW makes a new icon each time unless LR_SHARED; destroying one twice fails.
TEST_F(ResourceTest, SharedAndOwnIcons) {
    HICON shared = LoadIconW(program(), MAKEINTRESOURCEW(201));
    ASSERT_NE(shared, nullptr) << GetLastError();
    EXPECT_EQ(LoadIconW(program(), MAKEINTRESOURCEW(201)), shared);
    EXPECT_EQ(partsOf(shared).width, GetSystemMetrics(SM_CXICON));
    EXPECT_TRUE(DestroyIcon(shared));
    EXPECT_EQ(partsOf(shared).width, GetSystemMetrics(SM_CXICON));
    EXPECT_NE(LoadIconW(program(), u"APPICON"), nullptr);

    HANDLE a = LoadImageW(program(), MAKEINTRESOURCEW(201), IMAGE_ICON, 16, 16, 0);
    HANDLE b = LoadImageW(program(), MAKEINTRESOURCEW(201), IMAGE_ICON, 16, 16, 0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_TRUE(DestroyIcon(static_cast<HICON>(a)));
    SetLastError(kPoison);
    EXPECT_FALSE(DestroyIcon(static_cast<HICON>(a)));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_ICON_HANDLE);
    EXPECT_TRUE(DestroyIcon(static_cast<HICON>(b)));

    HANDLE s1 = LoadImageW(program(), MAKEINTRESOURCEW(202), IMAGE_ICON, 16, 16, LR_SHARED);
    EXPECT_NE(s1, nullptr);
    EXPECT_EQ(LoadImageW(program(), MAKEINTRESOURCEW(202), IMAGE_ICON, 16, 16, LR_SHARED), s1);

    SetLastError(kPoison);
    EXPECT_EQ(LoadIconW(program(), MAKEINTRESOURCEW(203)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    // Module tables hold no cursors.
    SetLastError(kPoison);
    EXPECT_EQ(LoadImageW(program(), MAKEINTRESOURCEW(201), IMAGE_CURSOR, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
}

// The system's icons (hInstance NULL) exist at the system icon size; other numbers do not.
TEST_F(ResourceTest, SystemIcons) {
    for (LPCWSTR id : {IDI_APPLICATION, IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION, IDI_ASTERISK}) {
        HICON icon = LoadIconW(nullptr, id);
        ASSERT_NE(icon, nullptr) << reinterpret_cast<uintptr_t>(id);
        const IconParts parts = partsOf(icon);
        EXPECT_EQ(parts.width, 32);
        // Each has something drawn in its centre and a transparent corner.
        ASSERT_EQ(parts.transparent.size(), 32u * 32u);
        EXPECT_TRUE(parts.transparent.front());
        EXPECT_FALSE(parts.transparent[16 * 32 + 16]);
    }
    SetLastError(kPoison);
    EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(1)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
}

// CreateIconIndirect copies the caller's bitmaps (which may be deleted at once) and
// GetIconInfo gives back copies with the same pixels; without alpha the mask decides what
// is transparent.
TEST_F(ResourceTest, CreateIconIndirectRoundTrip) {
    const uint32_t colorBits[4] = {0x00112233, 0x00445566, 0x00000000, 0x00778899};
    const WORD maskRows[2] = {0x0040, 0x0080}; // row 0: 0 1 ; row 1: 1 0 (top bits first)
    HBITMAP color = CreateBitmap(2, 2, 1, 32, colorBits);
    HBITMAP mask = CreateBitmap(2, 2, 1, 1, maskRows);
    ASSERT_NE(color, nullptr);
    ASSERT_NE(mask, nullptr);
    ICONINFO info{TRUE, 0, 0, mask, color};
    HICON icon = CreateIconIndirect(&info);
    ASSERT_NE(icon, nullptr) << GetLastError();
    DeleteObject(color);
    DeleteObject(mask);

    const IconParts parts = partsOf(icon);
    ASSERT_EQ(parts.color.size(), 4u);
    EXPECT_EQ(parts.color[0] & 0xFFFFFF, 0x112233u);
    EXPECT_EQ(parts.color[3] & 0xFFFFFF, 0x778899u);
    ASSERT_EQ(parts.transparent.size(), 4u);
    EXPECT_FALSE(parts.transparent[0]);
    EXPECT_TRUE(parts.transparent[1]);
    EXPECT_TRUE(parts.transparent[2]);
    EXPECT_FALSE(parts.transparent[3]);

    ICONINFO back;
    std::memset(&back, 0xBE, sizeof back);
    ASSERT_TRUE(GetIconInfo(icon, &back));
    EXPECT_EQ(back.fIcon, TRUE);
    EXPECT_EQ(back.xHotspot, 1u); // an icon's hot spot is its centre
    EXPECT_EQ(back.yHotspot, 1u);
    EXPECT_TRUE(DeleteObject(back.hbmMask));
    EXPECT_TRUE(DeleteObject(back.hbmColor));
    EXPECT_TRUE(DestroyIcon(icon));

    SetLastError(kPoison);
    ICONINFO none{TRUE, 0, 0, nullptr, nullptr};
    EXPECT_EQ(CreateIconIndirect(&none), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    SetLastError(kPoison);
    EXPECT_FALSE(GetIconInfo(static_cast<HICON>(ULongToHandle(0x1234)), &back));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_ICON_HANDLE);
}

// ---- Drawing ----------------------------------------------------------------------------------

// A 32-bit top-down DIB section of the given colour selected into a memory DC.
struct Canvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    uint32_t* bits = nullptr;
    int width = 0;

    Canvas(int w, int h, uint32_t fill) : width(w) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* p = nullptr;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<uint32_t*>(p);
        if (bits) std::fill(bits, bits + static_cast<size_t>(w) * h, fill);
        old = SelectObject(dc, bitmap);
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    uint32_t at(int x, int y) const { return bits[y * width + x] & 0xFFFFFF; }
};

// DI_NORMAL draws an icon with alpha by blending: its transparent pixels leave the
// background, its opaque ones replace it; the size given stretches it.
TEST_F(ResourceTest, DrawIconExBlendsIconsWithAlpha) {
    Canvas canvas(40, 40, 0x0000FF00);
    ASSERT_NE(canvas.bits, nullptr);
    HICON icon =
        static_cast<HICON>(LoadImageW(program(), MAKEINTRESOURCEW(201), IMAGE_ICON, 16, 16, 0));
    ASSERT_NE(icon, nullptr);
    EXPECT_TRUE(DrawIconEx(canvas.dc, 2, 3, icon, 0, 0, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(canvas.at(2, 3), 0x00FF00u); // the transparent corner
    EXPECT_EQ(canvas.at(3, 3), 0xFF0000u);
    EXPECT_EQ(canvas.at(17, 18), 0xFF0000u);
    EXPECT_EQ(canvas.at(18, 18), 0x00FF00u); // outside the 16x16 icon
    // DrawIcon draws at the default size, 32x32 on this device.
    EXPECT_TRUE(DrawIcon(canvas.dc, 0, 0, icon));
    EXPECT_EQ(canvas.at(31, 31), 0xFF0000u);
    EXPECT_EQ(canvas.at(32, 32), 0x00FF00u);
    // With a flicker-free brush the icon is drawn over the brush: the transparent corner
    // shows the brush, not what was there.
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    EXPECT_TRUE(DrawIconEx(canvas.dc, 20, 20, icon, 16, 16, 0, blue, DI_NORMAL));
    EXPECT_EQ(canvas.at(20, 20), 0x0000FFu);
    EXPECT_EQ(canvas.at(21, 20), 0xFF0000u);
    EXPECT_EQ(canvas.at(36, 36), 0x00FF00u);
    DeleteObject(blue);
    EXPECT_TRUE(DestroyIcon(icon));

    SetLastError(kPoison);
    EXPECT_FALSE(DrawIconEx(canvas.dc, 0, 0, static_cast<HICON>(ULongToHandle(0x1234)), 0, 0, 0,
                            nullptr, DI_NORMAL));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_ICON_HANDLE);
}

// An icon without alpha draws through its AND mask: where the mask is 1 the background
// stays, elsewhere the colour replaces it (a black colour pixel under a 1 keeps the screen).
TEST_F(ResourceTest, DrawIconExAppliesTheMask) {
    const uint32_t colorBits[4] = {0x00FF0000, 0x00000000, 0x00000000, 0x000000FF};
    const WORD maskRows[2] = {0x0040, 0x0080}; // (1,0) and (0,1) transparent
    HBITMAP color = CreateBitmap(2, 2, 1, 32, colorBits);
    HBITMAP mask = CreateBitmap(2, 2, 1, 1, maskRows);
    ICONINFO info{TRUE, 0, 0, mask, color};
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(color);
    DeleteObject(mask);
    ASSERT_NE(icon, nullptr);

    Canvas canvas(4, 4, 0x0000FF00);
    ASSERT_NE(canvas.bits, nullptr);
    EXPECT_TRUE(DrawIconEx(canvas.dc, 0, 0, icon, 4, 4, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(canvas.at(0, 0), 0xFF0000u);
    EXPECT_EQ(canvas.at(1, 1), 0xFF0000u); // stretched 2x
    EXPECT_EQ(canvas.at(2, 0), 0x00FF00u);
    EXPECT_EQ(canvas.at(0, 2), 0x00FF00u);
    EXPECT_EQ(canvas.at(3, 3), 0x0000FFu);
    EXPECT_TRUE(DestroyIcon(icon));
}

// ---- Cursors ----------------------------------------------------------------------------------

// The system's cursors are shared; SetCursor returns the cursor it replaces and GetCursor the
// current one; a value that is no cursor is refused and changes nothing.
TEST_F(ResourceTest, SetCursorReturnsThePreviousCursor) {
    HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    ASSERT_NE(wait, nullptr);
    ASSERT_NE(arrow, nullptr);
    EXPECT_NE(wait, arrow);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_WAIT), wait);

    HCURSOR before = SetCursor(arrow);
    EXPECT_EQ(SetCursor(wait), arrow);
    EXPECT_EQ(GetCursor(), wait);
    SetLastError(kPoison);
    EXPECT_EQ(SetCursor(static_cast<HCURSOR>(ULongToHandle(0x1234))), nullptr);
    EXPECT_EQ(GetLastError(), 1402u); // ERROR_INVALID_CURSOR_HANDLE
    EXPECT_EQ(GetCursor(), wait);
    EXPECT_EQ(SetCursor(before), wait);

    // The system's cursors survive DestroyCursor.
    EXPECT_TRUE(DestroyCursor(wait));
    EXPECT_EQ(SetCursor(wait), before);
    SetCursor(before);

    SetLastError(kPoison);
    EXPECT_EQ(LoadCursorW(nullptr, MAKEINTRESOURCEW(5)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
}

// Without a mouse the display count starts at -1, so the first ShowCursor(TRUE) returns 0.
TEST_F(ResourceTest, ShowCursorCountsFromMinusOne) {
    EXPECT_EQ(cetest::runInChild([] {
                  if (ShowCursor(TRUE) != 0) return 1;
                  if (ShowCursor(TRUE) != 1) return 2;
                  if (ShowCursor(FALSE) != 0) return 3;
                  if (ShowCursor(FALSE) != -1) return 4;
                  return 0;
              }),
              0);
}

} // namespace
