// painttest.cpp: the painter tests' hosted item, skins, lists and reference pictures (see
// painttest.h).
#include "painttest.h"

#include <cstdlib>
#include <unistd.h>

#include "gdi/png.h"
#include "golden.h"

#include "paint.h"

namespace fs = std::filesystem;

namespace painttest {

namespace {

WNDPROC hostProc = nullptr;

// The Today window of the test: the watermark request fills the rectangle with stripes whose
// colour follows the row of the Today screen, so a background drawn at the wrong place shows.
LRESULT CALLBACK todayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == TODAYM_DRAWWATERMARK) {
        const TODAYDRAWWATERMARKINFO* info =
            reinterpret_cast<const TODAYDRAWWATERMARKINFO*>(lParam);
        if (!info || !info->hdc) return FALSE;
        POINT origin = {0, 0};
        if (info->hwnd) MapWindowPoints(info->hwnd, window, &origin, 1);
        for (LONG y = info->rc.top; y < info->rc.bottom; ++y) {
            uint32_t c = backgroundRow(static_cast<int>(y + origin.y));
            HBRUSH brush = CreateSolidBrush(RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
            RECT row = {info->rc.left, y, info->rc.right, y + 1};
            FillRect(info->hdc, &row, brush);
            DeleteObject(brush);
        }
        return TRUE;
    }
    return CallWindowProcW(hostProc, window, message, wParam, lParam);
}

void copyTree(const fs::path& from, const fs::path& to) {
    fs::create_directories(to);
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

} // namespace

Picture::Picture(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<uint32_t*>(bits);
    old_ = SelectObject(dc_, bitmap_);
    // A poison colour: whatever the painter leaves untouched shows up.
    for (int i = 0; bits_ && i < width * height; ++i)
        bits_[i] = 0xdeadbeef;
}

Picture::~Picture() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

bool Picture::sameArea(const Picture& other, int x, int y, int w, int h) const {
    for (int row = y; row < y + h; ++row)
        for (int col = x; col < x + w; ++col)
            if (rgb(col, row) != other.rgb(col, row)) return false;
    return true;
}

::testing::AssertionResult matchesGolden(const Picture& picture, const std::string& name) {
    ce::Surface drawn(picture.width(), picture.height());
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            drawn.pixels[static_cast<size_t>(y) * picture.width() + x] =
                picture.rgb(x, y) | 0xFF000000u;
    return cetest::matchesGoldenPicture(drawn, "plugin", name);
}

uint32_t backgroundRow(int y) {
    // A calm blue gradient with a faint stripe every 6 rows.
    uint32_t blue = 150 + static_cast<uint32_t>(y % 96) / 2;
    uint32_t green = 90 + static_cast<uint32_t>(y % 96) / 3 + ((y / 6) % 2 ? 6 : 0);
    return (40u << 16) | (green << 8) | blue;
}

SYSTEMTIME at(int day, int hour, int minute, int second, int ms) {
    SYSTEMTIME t = {};
    t.wYear = 2027;
    t.wMonth = 3;
    t.wDay = static_cast<WORD>(day);
    t.wDayOfWeek = static_cast<WORD>(day % 7); // 1 March 2027 is a Monday
    t.wHour = static_cast<WORD>(hour);
    t.wMinute = static_cast<WORD>(minute);
    t.wSecond = static_cast<WORD>(second);
    t.wMilliseconds = static_cast<WORD>(ms);
    return t;
}

void PaintTest::SetUp() {
    skintest::SkinTest::SetUp();
    // The installer switches every link on; without the value the loader hides their buttons.
    writeRegString(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_ACTIVELINKS, u"111111", REGW_CREATE);
    loadSettings();
    hostProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(today, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(todayProc)));
    ASSERT_NE(nullptr, initialize());
    backgroundDirty = TRUE;
    lineSelectMode = FALSE;
    pluginState.hasFocus = FALSE;
    pluginState.selectedLine = -1;
    pluginState.navIndex = -1;
    pluginState.firstLine = 0;
}

void PaintTest::TearDown() {
    replaceAlarmList(nullptr, 0);
    skintest::SkinTest::TearDown();
}

void PaintTest::loadProductSkin(const std::u16string& name) {
    const fs::path skins = fs::path(ZV_SOURCE_DIR) / "skins";
    for (const char* file : {"Default.skn", "Default_L.skn", "DefaultVGA.skn", "DefaultVGA_L.skn"})
        fs::copy_file(skins / file, folder() / file, fs::copy_options::overwrite_existing);
    copyTree(skins / "Default", folder() / "Default");
    copyTree(skins / "DefaultVGA", folder() / "DefaultVGA");
    load(name);
    ASSERT_NE(nullptr, currentSkin);
    ASSERT_FALSE(currentSkin->noSkinFile);
    pluginState.thumbTop = scrollThumbOrigin();
    SetWindowPos(pluginState.pluginWindow, nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                 currentSkin->todayHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    backgroundDirty = TRUE;
}

void PaintTest::setList(const std::vector<Line>& lines) {
    AlarmList* list = createAlarmList();
    ASSERT_NE(nullptr, list);
    LONG count = 0;
    for (const Line& line : lines) {
        AlarmItem& item = list->items[count++];
        item.kind = line.kind;
        item.alarmTime = line.alarmTime;
        item.eventTime = line.eventTime;
        ASSERT_TRUE(setAlarmText(&item, line.text));
    }
    replaceAlarmList(list, count);
}

void PaintTest::setHourlyList(int n) {
    std::vector<Line> lines;
    static const char16_t* texts[] = {u"Team meeting",    u"Call the garage", u"Dentist",
                                      u"Lunch with Mara", u"Project review",  u"Pick up parcel"};
    for (int i = 0; i < n; ++i) {
        SYSTEMTIME t = at(1 + (8 + i) / 24, (8 + i) % 24, 0);
        lines.push_back({KIND_CAL, texts[i % 6], t, t});
    }
    setList(lines);
}

SIZE PaintTest::itemSize() {
    RECT client = {};
    GetClientRect(pluginState.pluginWindow, &client);
    return SIZE{client.right, client.bottom};
}

void PaintTest::paint(Picture* picture) {
    drawSkin(picture->dc());
}

} // namespace painttest
