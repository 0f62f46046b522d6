// gditest.cpp: the GDI tests' memory DCs and reference-picture comparison (see gditest.h).
#include "gditest.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "gdi/png.h"

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

namespace {

fs::path failureDir() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    fs::path dir = n > 0 ? fs::path(std::string(buf, static_cast<size_t>(n))).parent_path()
                         : fs::current_path();
    return dir / "golden-failures";
}

} // namespace

::testing::AssertionResult matchesGolden(const MemDC& dc, const std::string& name) {
    ce::Surface drawn(dc.width(), dc.height());
    for (int y = 0; y < dc.height(); ++y)
        for (int x = 0; x < dc.width(); ++x)
            drawn.pixels[static_cast<size_t>(y) * dc.width() + x] = dc.rgb(x, y) | 0xFF000000u;
    fs::path golden = fs::path(ZV_SOURCE_DIR) / "tests" / "golden" / "gdi" / (name + ".png");
    const char* update = std::getenv("ZV_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::string error;
        fs::create_directories(golden.parent_path());
        if (!ce::writePngFile(drawn, golden, &error))
            return ::testing::AssertionFailure() << "cannot update " << golden << ": " << error;
        return ::testing::AssertionSuccess();
    }
    ce::Surface expected;
    std::string error;
    bool have = ce::readPngFile(golden, &expected, &error);
    fs::create_directories(failureDir());
    fs::path errFile = failureDir() / (name + "_err.png");
    if (!have || expected.width != drawn.width || expected.height != drawn.height) {
        ce::writePngFile(drawn, errFile);
        return ::testing::AssertionFailure()
               << "reference " << golden << (have ? " has another size" : " missing: " + error)
               << "; drawn picture in " << errFile << " (ZV_UPDATE_GOLDEN=1 writes it)";
    }
    int differing = 0;
    ce::Surface diff(drawn.width, drawn.height);
    for (size_t i = 0; i < drawn.pixels.size(); ++i) {
        uint32_t a = drawn.pixels[i] & 0xFFFFFF, b = expected.pixels[i] & 0xFFFFFF;
        if (a != b) {
            ++differing;
            diff.pixels[i] = 0xFFFF0000u;
        } else {
            // A faded copy of the reference, so the red stands out.
            uint32_t grey = (((b >> 16) & 0xFF) + ((b >> 8) & 0xFF) + (b & 0xFF)) / 3;
            grey = 192 + grey / 4;
            diff.pixels[i] = 0xFF000000u | (grey << 16) | (grey << 8) | grey;
        }
    }
    if (differing == 0) return ::testing::AssertionSuccess();
    ce::writePngFile(drawn, errFile);
    ce::writePngFile(diff, failureDir() / (name + "_diff.png"));
    return ::testing::AssertionFailure()
           << differing << " pixels differ from " << golden << "; see " << errFile << " and "
           << name << "_diff.png beside it";
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
