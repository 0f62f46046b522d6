// waitcursor_test.cpp: the wait indicator that SetCursor(LoadCursorW(NULL, IDC_WAIT)) shows:
// a topmost window in the middle of the screen, gone when the cursor changes back, and the
// journal lines that record it.
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "shell/shell.h"
#include "testdevice.h"
#include "windows.h"

namespace {

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

class WaitCursorTest : public cetest::DeviceTest {
protected:
    void TearDown() override {
        SetCursor(nullptr);
        pump();
    }
    int journalCount(const std::string& needle) {
        std::ifstream in(device.dir() / "journal.log");
        std::string line;
        int n = 0;
        while (std::getline(in, line))
            if (line.find(needle) != std::string::npos) ++n;
        return n;
    }
};

// The wait cursor shows a topmost window centred on the screen that takes no input; another
// cursor removes it. Setting the wait cursor again while it shows changes nothing.
TEST_F(WaitCursorTest, WaitCursorShowsTheIndicator) {
    ASSERT_EQ(nullptr, ce::shell::waitIndicatorWindow());
    HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    ASSERT_NE(wait, nullptr);
    SetCursor(wait);
    HWND ind = ce::shell::waitIndicatorWindow();
    ASSERT_NE(ind, nullptr);
    EXPECT_EQ(ind, FindWindowW(u"WaitIndicator", nullptr));
    EXPECT_TRUE(IsWindowVisible(ind));
    EXPECT_FALSE(IsWindowEnabled(ind));
    EXPECT_TRUE(GetWindowLongW(ind, GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT rc{};
    GetWindowRect(ind, &rc);
    EXPECT_EQ(240, rc.left + rc.right) << "not centred across";
    EXPECT_EQ(320, rc.top + rc.bottom) << "not centred down";
    SetCursor(wait);
    EXPECT_EQ(ind, ce::shell::waitIndicatorWindow());
    EXPECT_EQ(1, journalCount("\"cursor.wait\",\"shown\":true"));

    EXPECT_EQ(wait, SetCursor(LoadCursorW(nullptr, IDC_ARROW)));
    pump();
    EXPECT_EQ(nullptr, ce::shell::waitIndicatorWindow());
    EXPECT_FALSE(IsWindow(ind));
    EXPECT_EQ(1, journalCount("\"cursor.wait\",\"shown\":false"));
}

// The indicator is painted at once, although the busy thread does not pump: the screen shows
// its dots in the middle.
TEST_F(WaitCursorTest, IndicatorIsPaintedAtOnce) {
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    // Somewhere on the ring of dots is the highlight colour (the first dot, at the top).
    COLORREF hi = GetSysColor(COLOR_HIGHLIGHT);
    bool found = false;
    for (int y = 140; y < 180 && !found; ++y)
        for (int x = 100; x < 140 && !found; ++x)
            found = GetPixel(screen, x, y) == hi;
    ReleaseDC(nullptr, screen);
    EXPECT_TRUE(found) << "no dot of the indicator on the screen";
}

} // namespace
