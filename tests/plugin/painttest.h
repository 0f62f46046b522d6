// painttest.h: what the painter's tests share: a hosted item whose Today window answers the
// watermark request with a known background, the product's own skins copied into the install
// folder and loaded by the real loader, a fixed list on a frozen clock, the item painted into
// a 32-bit memory picture, and the comparison of that picture with its reference PNG under
// tests/golden/plugin.
//
// Reference pictures: ZV_UPDATE_GOLDEN=1 rewrites them from what the test drew (look at them
// before committing). On a mismatch NAME_err.png (what was drawn) and NAME_diff.png (the
// differing pixels in red over a faded reference) land in golden-failures/ beside the binary.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "skintest.h"

namespace painttest {

// A picture the item is painted into: a memory DC over a top-down 32-bit DIB section.
class Picture {
public:
    Picture(int width, int height);
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    HDC dc() const { return dc_; }
    int width() const { return width_; }
    int height() const { return height_; }
    uint32_t rgb(int x, int y) const { return bits_[y * width_ + x] & 0xFFFFFF; }
    // Whether the rectangles [x, x+w) x [y, y+h) of the two pictures hold the same pixels.
    bool sameArea(const Picture& other, int x, int y, int w, int h) const;

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
    int width_ = 0, height_ = 0;
};

// Compares the picture with tests/golden/plugin/<name>.png.
::testing::AssertionResult matchesGolden(const Picture& picture, const std::string& name);

// The colour of row y of the Today background the test's Today window draws.
uint32_t backgroundRow(int y);

// One line of a test list.
struct Line {
    DWORD kind;
    const char16_t* text;
    SYSTEMTIME alarmTime;
    SYSTEMTIME eventTime;
};

// A local time on the frozen device's calendar (March 2027; 1 March is a Monday).
SYSTEMTIME at(int day, int hour, int minute, int second = 0, int ms = 0);

class PaintTest : public skintest::SkinTest {
protected:
    explicit PaintTest(const char* profile = "qvga") : skintest::SkinTest(profile) {}
    void SetUp() override;
    void TearDown() override;

    // Copies the product's skins into the install folder and loads the named one; then makes
    // the item window as high as the skin asks and marks the background for capture.
    void loadProductSkin(const std::u16string& name);
    // Publishes a list of these lines.
    void setList(const std::vector<Line>& lines);
    // n lines of kind calendar reminder, one an hour from 08:00 on 1 March.
    void setHourlyList(int n);
    // Paints the whole item into a fresh picture of the item window's size.
    void paint(Picture* picture);
    // The item window's client size.
    SIZE itemSize();
};

} // namespace painttest
