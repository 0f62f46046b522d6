// imagingtest.h: what the imaging service tests share: a device with image files put into
// its \Temp folder, the device profile's withdrawn list, and GDI bitmaps read back as
// 0xAARRGGBB pixels.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "imagefiles.h"
#include "kernel/device.h"
#include "kernel/modules.h"
#include "testdevice.h"
#include "windows.h"

namespace imgtest {

constexpr DWORD kPoison = 0xdeadbeef;

// A bitmap's size, depth and pixels (top row first; 24- and 1-bit pixels with alpha 0).
struct BitmapPixels {
    int width = 0;
    int height = 0;
    int bpp = 0;
    Pixels px;
};

inline BitmapPixels readBitmap(HBITMAP bitmap) {
    BitmapPixels out;
    BITMAP bm{};
    if (GetObjectW(bitmap, sizeof bm, &bm) != sizeof bm) return out;
    out.width = bm.bmWidth;
    out.height = bm.bmHeight;
    out.bpp = bm.bmBitsPixel;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = -bm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    out.px.assign(static_cast<size_t>(bm.bmWidth) * bm.bmHeight, kPoison);
    HDC dc = CreateCompatibleDC(nullptr);
    int rows = GetDIBits(dc, bitmap, 0, static_cast<UINT>(bm.bmHeight), out.px.data(), &bi,
                         DIB_RGB_COLORS);
    DeleteDC(dc);
    if (rows != bm.bmHeight) out.px.clear();
    return out;
}

class ImagingTest : public cetest::DeviceTest {
protected:
    // Writes the file to \Temp\<name> of the device and returns its device path.
    std::u16string put(const std::string& name, const Bytes& bytes) {
        writeFile(device.fs() / "Temp" / name, bytes);
        return u"\\Temp\\" + std::u16string(name.begin(), name.end());
    }
    // Withdraws libraries or exports as a device profile does, stub files included.
    void withdraw(std::vector<std::string> entries) {
        std::string error;
        ASSERT_TRUE(ce::updateDeviceConf(
            [&](ce::DeviceConf& conf) { conf.profile.withdrawn = entries; }, &error))
            << error;
        ASSERT_TRUE(ce::writeBuiltinLibraryStubs(device.fs(), entries, &error)) << error;
    }
};

// A 3x2 picture with colours and alpha 255, 128 and 0.
inline const Pixels kAlphaSix = {0xFFFF0000, 0x80FF0000, 0x00000000,
                                 0x4000FF00, 0xFF123456, 0xC0FFFFFF};
inline const Pixels kOpaqueSix = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                                  0xFF123456, 0xFFFFFFFF, 0xFF000000};

} // namespace imgtest
