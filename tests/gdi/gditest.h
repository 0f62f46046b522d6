// gditest.h: what the GDI tests share: a memory DC over a 32-bit top-down DIB section whose
// pixels the test reads directly, and the comparison of a rendering with its reference PNG
// under tests/golden/gdi.
//
// Reference pictures: ZV_UPDATE_GOLDEN=1 in the environment rewrites them from what the test
// drew (look at the pictures before committing them). On a mismatch the test fails with the
// number of differing pixels and leaves NAME_err.png (what was drawn) and NAME_diff.png
// (differences in red over a faded copy of the reference) in golden-failures/ beside the
// test binary.
#pragma once

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "windows.h"

namespace gditest {

constexpr uint32_t kPoison = 0xdeadbeef;

// A memory DC with a w x h 32-bit top-down DIB section selected, filled with `fill`
// (0x00RRGGBB).
class MemDC {
public:
    MemDC(int w, int h, uint32_t fill = 0xFFFFFF);
    ~MemDC();
    MemDC(const MemDC&) = delete;
    MemDC& operator=(const MemDC&) = delete;

    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    int width() const { return w_; }
    int height() const { return h_; }
    // The pixel as stored (0xAARRGGBB), straight from the DIB section's memory.
    uint32_t at(int x, int y) const { return bits_[y * w_ + x]; }
    uint32_t rgb(int x, int y) const { return at(x, y) & 0xFFFFFF; }
    void set(int x, int y, uint32_t v) { bits_[y * w_ + x] = v; }
    void fill(uint32_t v);
    // Pixels that differ from `background` (RGB), as a bounding rectangle; empty when none.
    RECT inkBounds(uint32_t background) const;
    int countRgb(uint32_t rgb) const;

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
    int w_ = 0, h_ = 0;
};

// Compares the DC's pixels with tests/golden/gdi/<name>.png (alpha ignored).
::testing::AssertionResult matchesGolden(const MemDC& dc, const std::string& name);

// A font of the given face, pixel height (negative LOGFONT height), weight and quality.
HFONT makeFont(const char16_t* face, int pixels, int weight = FW_NORMAL,
               BYTE quality = CLEARTYPE_QUALITY, bool underline = false);

} // namespace gditest
