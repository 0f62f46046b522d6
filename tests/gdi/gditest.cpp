// gditest.cpp: the GDI tests' memory DCs and reference-picture comparison (see gditest.h).
#include "gditest.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "gdi/png.h"
#include "golden.h"

namespace fs = std::filesystem;

namespace gditest {

MemDC::MemDC(int w, int h, uint32_t fillColor) : w_(w), h_(h) {
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = w;
    bmi.bmiHeader.biHeight = -h;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<uint32_t*>(bits);
    old_ = SelectObject(dc_, bitmap_);
    fill(fillColor);
}

MemDC::~MemDC() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

void MemDC::fill(uint32_t v) {
    if (bits_) std::fill(bits_, bits_ + w_ * h_, v);
}

RECT MemDC::inkBounds(uint32_t background) const {
    RECT r{w_, h_, 0, 0};
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x)
            if (rgb(x, y) != background) {
                r.left = std::min<LONG>(r.left, x);
                r.top = std::min<LONG>(r.top, y);
                r.right = std::max<LONG>(r.right, x + 1);
                r.bottom = std::max<LONG>(r.bottom, y + 1);
            }
    if (r.right <= r.left) return RECT{0, 0, 0, 0};
    return r;
}

int MemDC::countRgb(uint32_t v) const {
    int n = 0;
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x)
            n += rgb(x, y) == v;
    return n;
}

::testing::AssertionResult matchesGolden(const MemDC& dc, const std::string& name) {
    ce::Surface drawn(dc.width(), dc.height());
    for (int y = 0; y < dc.height(); ++y)
        for (int x = 0; x < dc.width(); ++x)
            drawn.pixels[static_cast<size_t>(y) * dc.width() + x] = dc.rgb(x, y) | 0xFF000000u;
    return cetest::matchesGoldenPicture(drawn, "gdi", name);
}

HFONT makeFont(const char16_t* face, int pixels, int weight, BYTE quality, bool underline) {
    LOGFONTW lf{};
    lf.lfHeight = -pixels;
    lf.lfWeight = weight;
    lf.lfQuality = quality;
    lf.lfUnderline = underline ? 1 : 0;
    for (int i = 0; face[i] && i < LF_FACESIZE - 1; ++i)
        lf.lfFaceName[i] = face[i];
    return CreateFontIndirectW(&lf);
}

} // namespace gditest
