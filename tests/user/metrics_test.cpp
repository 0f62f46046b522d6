// metrics_test.cpp: what the window system tells about the device's screen: GetSystemMetrics
// for each device profile (a Windows Mobile 6 Pocket PC's sizes, scaled by dpi/96),
// SystemParametersInfoW(SPI_GETWORKAREA), and the system colours (GetSysColor,
// GetSysColorBrush, SetSysColors) of the Windows Mobile 6 default scheme.
#include <cstring>

#include <windows.h>
#include <wingdi.h>

#include "kernel/device.h"
#include "testdevice.h"

namespace {

using cetest::TempDevice;

constexpr DWORD kPoison = 0xdeadbeef;

struct ProfileMetrics {
    const char* profile;
    int width;
    int height;
    int scale; // dpi / 96
};

const ProfileMetrics kProfiles[] = {
    {"qvga", 240, 320, 1},
    {"vga", 480, 640, 2},
    {"qvga-landscape", 320, 240, 1},
    {"vga-landscape", 640, 480, 2},
};

// The screen comes from the profile; element sizes are the 96-dpi sizes of the device times
// dpi/96: scroll bars 13, bars 26, icons 32, small icons 16, borders 1.
TEST(MetricsTest, SystemMetricsFollowTheProfile) {
    for (const ProfileMetrics& m : kProfiles) {
        TempDevice device(m.profile);
        SCOPED_TRACE(m.profile);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), m.width);
        EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), m.height);
        EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), m.width);
        EXPECT_EQ(GetSystemMetrics(SM_CYVIRTUALSCREEN), m.height);
        EXPECT_EQ(GetSystemMetrics(SM_CXFULLSCREEN), m.width);
        EXPECT_EQ(GetSystemMetrics(SM_CYFULLSCREEN), m.height - 26 * m.scale);
        EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 13 * m.scale);
        EXPECT_EQ(GetSystemMetrics(SM_CYHSCROLL), 13 * m.scale);
        EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), 26 * m.scale);
        EXPECT_EQ(GetSystemMetrics(SM_CYMENU), 26 * m.scale);
        EXPECT_EQ(GetSystemMetrics(SM_CXICON), 32 * m.scale);
        EXPECT_EQ(GetSystemMetrics(SM_CYICON), 32 * m.scale);
        EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), 16 * m.scale);
        EXPECT_EQ(GetSystemMetrics(SM_CYSMICON), 16 * m.scale);
        EXPECT_EQ(GetSystemMetrics(SM_CXCURSOR), 32 * m.scale);
        EXPECT_EQ(GetSystemMetrics(SM_CXBORDER), m.scale);
        EXPECT_EQ(GetSystemMetrics(SM_CXEDGE), 2 * m.scale);
        EXPECT_EQ(GetSystemMetrics(SM_CXDLGFRAME), 3 * m.scale);
        EXPECT_EQ(GetSystemMetrics(SM_CMONITORS), 1);
        EXPECT_EQ(GetSystemMetrics(SM_MOUSEPRESENT), 0);
        EXPECT_EQ(GetSystemMetrics(SM_XVIRTUALSCREEN), 0);
    }
}

// An index the device does not know gives 0.
TEST(MetricsTest, UnknownMetricsAreZero) {
    TempDevice device("vga");
    EXPECT_EQ(GetSystemMetrics(-1), 0);
    EXPECT_EQ(GetSystemMetrics(9), 0);
    EXPECT_EQ(GetSystemMetrics(100000), 0);
}

// A profile change (a rotation) shows in the next answer: nothing is cached.
TEST(MetricsTest, MetricsFollowAProfileChange) {
    TempDevice device("qvga");
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 240);
    std::string error;
    ASSERT_TRUE(ce::updateDeviceConf(
        [](ce::DeviceConf& conf) {
            conf.profile.width = 320;
            conf.profile.height = 240;
        },
        &error))
        << error;
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 320);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 240);
    RECT area;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0));
    EXPECT_EQ(area.right, 320);
    EXPECT_EQ(area.bottom, 240);
}

// The work area is the screen below the navigation bar (26 pixels at 96 dpi, 52 at 192); the
// menu bar belongs to each program's own window and is not taken off.
TEST(MetricsTest, WorkAreaIsTheScreenBelowTheNavigationBar) {
    for (const ProfileMetrics& m : kProfiles) {
        TempDevice device(m.profile);
        SCOPED_TRACE(m.profile);
        RECT area;
        std::memset(&area, 0xBE, sizeof area);
        SetLastError(kPoison);
        ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0));
        EXPECT_EQ(area.left, 0);
        EXPECT_EQ(area.top, 26 * m.scale);
        EXPECT_EQ(area.right, m.width);
        EXPECT_EQ(area.bottom, m.height);
    }
    TempDevice device("qvga");
    SetLastError(kPoison);
    EXPECT_FALSE(SystemParametersInfoW(SPI_GETWORKAREA, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

// ---- System colours ---------------------------------------------------------------------------

// The Windows Mobile 6 scheme: white windows with black text, a blue selection with white
// text. An index names the same colour with or without SYS_COLOR_INDEX_FLAG; unknown ones
// give 0.
TEST(SysColorTest, DefaultSchemeWithOrWithoutTheFlag) {
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), RGB(0, 0, 0));
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHTTEXT), RGB(255, 255, 255));
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    EXPECT_GT((highlight >> 16) & 0xFF, highlight & 0xFF) << "a blue selection";
    EXPECT_EQ(GetSysColor(5), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(GetSysColor(13), highlight);
    EXPECT_EQ(GetSysColor(15), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(GetSysColor(SYS_COLOR_INDEX_FLAG | 29), 0u);
    EXPECT_EQ(GetSysColor(-1), 0u);
    EXPECT_EQ(GetSysColor(0x7FFF), 0u);
}

// GetSysColorBrush gives a solid brush of the colour that belongs to the system: the same
// handle each time, still valid after DeleteObject (which succeeds, as for stock objects).
TEST(SysColorTest, SysColorBrushesAreStockLike) {
    HBRUSH window = GetSysColorBrush(COLOR_WINDOW);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetSysColorBrush(COLOR_WINDOW), window);
    EXPECT_EQ(GetSysColorBrush(5), window);
    LOGBRUSH lb;
    std::memset(&lb, 0xBE, sizeof lb);
    ASSERT_EQ(GetObjectW(window, sizeof lb, &lb), (int)sizeof lb);
    EXPECT_EQ(lb.lbStyle, (UINT)BS_SOLID);
    EXPECT_EQ(lb.lbColor, RGB(255, 255, 255));
    EXPECT_TRUE(DeleteObject(window));
    std::memset(&lb, 0xBE, sizeof lb);
    EXPECT_EQ(GetObjectW(window, sizeof lb, &lb), (int)sizeof lb);
    EXPECT_EQ(lb.lbColor, RGB(255, 255, 255));
    EXPECT_EQ(GetSysColorBrush(COLOR_HIGHLIGHT + 100), nullptr);
}

// SetSysColors changes this process's colours (in a child, so the scheme of the other tests
// stays); a brush asked for afterwards has the new colour. An unknown index fails and changes
// nothing.
TEST(SysColorTest, SetSysColorsIsProcessLocal) {
    EXPECT_EQ(cetest::runInChild([] {
                  const int indexes[] = {COLOR_WINDOW, 8};
                  const COLORREF colors[] = {RGB(1, 2, 3), RGB(4, 5, 6)};
                  if (!SetSysColors(2, indexes, colors)) return 1;
                  if (GetSysColor(COLOR_WINDOW) != RGB(1, 2, 3)) return 2;
                  if (GetSysColor(COLOR_WINDOWTEXT) != RGB(4, 5, 6)) return 3;
                  LOGBRUSH lb{};
                  if (GetObjectW(GetSysColorBrush(COLOR_WINDOW), sizeof lb, &lb) != sizeof lb ||
                      lb.lbColor != RGB(1, 2, 3))
                      return 4;
                  const int bad[] = {COLOR_WINDOW, 77};
                  const COLORREF badColors[] = {RGB(9, 9, 9), RGB(9, 9, 9)};
                  SetLastError(0xdeadbeef);
                  if (SetSysColors(2, bad, badColors)) return 5;
                  if (GetLastError() != ERROR_INVALID_PARAMETER) return 6;
                  if (GetSysColor(COLOR_WINDOW) != RGB(1, 2, 3)) return 7;
                  return 0;
              }),
              0);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
}

} // namespace
