// static_paint_test.cpp: the STATIC class: WM_CTLCOLORSTATIC (the brush fills the control,
// the DC's text colour set by the parent draws the text), the alignments SS_LEFT, SS_CENTER
// and SS_RIGHT, SS_BITMAP with STM_SETIMAGE / STM_GETIMAGE (drawn with BitBlt, the control
// taking the bitmap's size), and SS_NOTIFY's STN_CLICKED.
#include <vector>

#include <gtest/gtest.h>

#include "ceresource.h"
#include "testdevice.h"
#include "windows.h"

namespace {

// A 4 x 4 icon and a 3 x 2 bitmap of the program's own, named by number in a template.
const DWORD kIconPixels[16] = {
    0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00,
    0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00};
const DWORD kBitmapPixels[6] = {0xFF102030, 0xFF102030, 0xFF102030,
                                0xFF102030, 0xFF102030, 0xFF102030};
const CeImage kIconImage[] = {{4, 4, FALSE, kIconPixels}};
const CeImage kBitmapImage[] = {{3, 2, FALSE, kBitmapPixels}};
const CeImageEntry kIcons[] = {{401, nullptr, kIconImage, 1}};
const CeImageEntry kBitmaps[] = {{402, nullptr, kBitmapImage, 1}};
const CeResourceTable kResources = {
    CE_RESOURCE_TABLE_VERSION, nullptr, 0, kBitmaps, 1, kIcons, 1, nullptr, 0};
CE_REGISTER_RESOURCES(kResources);

HBRUSH staticBrush = nullptr;
std::vector<int> notifications;

LRESULT CALLBACK parentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CTLCOLORSTATIC && staticBrush) {
        SetTextColor(reinterpret_cast<HDC>(wParam), RGB(255, 0, 0));
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<LRESULT>(staticBrush);
    }
    if (msg == WM_COMMAND) notifications.push_back(HIWORD(wParam));
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class StaticTest : public cetest::DeviceTest {
protected:
    void SetUp() override {
        staticBrush = nullptr;
        notifications.clear();
        WNDCLASSW wc{};
        wc.lpfnWndProc = parentProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = u"StaticTestParent";
        RegisterClassW(&wc);
        parent = CreateWindowExW(0, u"StaticTestParent", u"P", WS_POPUP | WS_VISIBLE, 0, 30, 220,
                                 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, parent);
    }
    void TearDown() override {
        if (IsWindow(parent)) DestroyWindow(parent);
        if (staticBrush) DeleteObject(staticBrush);
    }
    HWND make(DWORD style, const char16_t* text, int w = 200, int h = 20) {
        HWND s = CreateWindowExW(0, u"STATIC", text, WS_CHILD | WS_VISIBLE | style, 0, 0, w, h,
                                 parent, reinterpret_cast<HMENU>(7), nullptr, nullptr);
        EXPECT_NE(nullptr, s);
        return s;
    }
    // The first and last columns holding a pixel other than the background.
    static std::pair<int, int> inkColumns(HWND s, COLORREF background) {
        RECT rc;
        GetClientRect(s, &rc);
        UpdateWindow(s);
        HDC dc = GetDC(s);
        int first = -1, last = -1;
        for (int x = 0; x < rc.right; ++x)
            for (int y = 0; y < rc.bottom; ++y)
                if (GetPixel(dc, x, y) != background) {
                    if (first < 0) first = x;
                    last = x;
                    break;
                }
        ReleaseDC(s, dc);
        return {first, last};
    }
    HWND parent = nullptr;
};

// The parent's brush fills the control and its text colour draws the text.
TEST_F(StaticTest, CtlColorStaticColours) {
    staticBrush = CreateSolidBrush(RGB(0, 0, 255));
    HWND s = make(SS_LEFT, u"Alarm");
    UpdateWindow(s);
    HDC dc = GetDC(s);
    EXPECT_EQ(RGB(0, 0, 255), GetPixel(dc, 190, 10));
    bool red = false;
    for (int x = 0; x < 60 && !red; ++x)
        for (int y = 0; y < 20 && !red; ++y)
            red = GetRValue(GetPixel(dc, x, y)) > 200 && GetBValue(GetPixel(dc, x, y)) < 100;
    EXPECT_TRUE(red) << "no red text pixel";
    ReleaseDC(s, dc);
}

// The same text left, centred and right: its ink starts at the left edge, straddles the
// middle, and ends at the right edge.
TEST_F(StaticTest, Alignment) {
    COLORREF white = GetSysColor(COLOR_STATIC);
    auto left = inkColumns(make(SS_LEFT, u"Snooze"), white);
    auto centre = inkColumns(make(SS_CENTER, u"Snooze"), white);
    auto right = inkColumns(make(SS_RIGHT, u"Snooze"), white);
    ASSERT_GE(left.first, 0);
    EXPECT_LE(left.first, 2);
    EXPECT_LT(left.second, 100);
    EXPECT_LT(centre.first, 100);
    EXPECT_GT(centre.second, 100);
    EXPECT_NEAR(100, (centre.first + centre.second) / 2, 3);
    EXPECT_GE(right.second, 196);
    EXPECT_GT(right.first, 100);
    EXPECT_EQ(left.second - left.first, right.second - right.first);
}

// STM_SETIMAGE gives the previous image back, the control takes the bitmap's size and shows
// its pixels; STM_GETIMAGE answers only for the kind that was set.
TEST_F(StaticTest, BitmapImage) {
    HDC screen = GetDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 6, 4);
    ReleaseDC(nullptr, screen);
    ASSERT_NE(nullptr, bmp);
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, bmp);
    RECT all{0, 0, 6, 4};
    HBRUSH fill = CreateSolidBrush(RGB(12, 34, 56));
    FillRect(mem, &all, fill);
    DeleteObject(fill);
    SelectObject(mem, old);
    DeleteDC(mem);

    HWND s = make(SS_BITMAP, u"", 50, 50);
    EXPECT_EQ(0, SendMessageW(s, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bmp)));
    EXPECT_EQ(reinterpret_cast<LRESULT>(bmp), SendMessageW(s, STM_GETIMAGE, IMAGE_BITMAP, 0));
    EXPECT_EQ(0, SendMessageW(s, STM_GETIMAGE, IMAGE_ICON, 0));
    RECT rc;
    GetClientRect(s, &rc);
    EXPECT_EQ(6, rc.right);
    EXPECT_EQ(4, rc.bottom);
    UpdateWindow(s);
    HDC dc = GetDC(s);
    EXPECT_EQ(RGB(12, 34, 56), GetPixel(dc, 3, 2));
    ReleaseDC(s, dc);
    EXPECT_EQ(reinterpret_cast<LRESULT>(bmp), SendMessageW(s, STM_SETIMAGE, IMAGE_BITMAP, 0));
    DestroyWindow(s);
    DeleteObject(bmp); // still the caller's: the control never deleted it
}

// SS_ICON and SS_BITMAP statics whose text names a resource of the module that made them
// load it (an icon at the system's icon size), take its size and draw it (the icon with DrawIconEx,
// the bitmap with BitBlt).
TEST_F(StaticTest, PicturesNamedByResource) {
    HINSTANCE self = GetModuleHandleW(nullptr);
    HWND icon = CreateWindowExW(0, u"STATIC", u"#401", WS_CHILD | WS_VISIBLE | SS_ICON, 0, 0, 40,
                                40, parent, nullptr, self, nullptr);
    HWND bitmap = CreateWindowExW(0, u"STATIC", u"#402", WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 50,
                                  40, 40, parent, nullptr, self, nullptr);
    ASSERT_NE(nullptr, icon);
    ASSERT_NE(nullptr, bitmap);
    EXPECT_NE(0, SendMessageW(icon, STM_GETICON, 0, 0));
    EXPECT_NE(0, SendMessageW(bitmap, STM_GETIMAGE, IMAGE_BITMAP, 0));
    RECT rc;
    GetClientRect(icon, &rc);
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), rc.right); // LoadIconW gives the system icon size
    GetClientRect(bitmap, &rc);
    EXPECT_EQ(3, rc.right);
    EXPECT_EQ(2, rc.bottom);
    UpdateWindow(icon);
    UpdateWindow(bitmap);
    HDC dc = GetDC(icon);
    EXPECT_EQ(RGB(0, 255, 0), GetPixel(dc, 2, 2));
    ReleaseDC(icon, dc);
    dc = GetDC(bitmap);
    EXPECT_EQ(RGB(0x10, 0x20, 0x30), GetPixel(dc, 1, 1));
    ReleaseDC(bitmap, dc);
}

// SS_NOTIFY: a tap reports STN_CLICKED to the parent; without it, nothing.
TEST_F(StaticTest, NotifyClicks) {
    HWND quiet = make(SS_LEFT, u"quiet");
    HWND loud = make(SS_LEFT | SS_NOTIFY, u"loud");
    SendMessageW(quiet, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_TRUE(notifications.empty());
    SendMessageW(loud, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(std::vector<int>{STN_CLICKED}, notifications);
    EXPECT_EQ(DLGC_STATIC, SendMessageW(loud, WM_GETDLGCODE, 0, 0));
}

} // namespace
