// skin_host_test.cpp: the host keys that every skin load copies into the settings (defaults at
// 96 and 192 dots per inch, the offset's optional y, two-number colours, picture paths) and
// the "Use all space" height, which gives an item lower on the screen fewer lines.
#include <cstring>
#include <string>

#include "hostkeys.h"
#include "skintest.h"

using namespace skintest;

namespace {

std::u16string regText(LPCWSTR name) {
    WCHAR text[MAX_PATH];
    for (WCHAR& c : text)
        c = u'#';
    text[MAX_PATH - 1] = 0;
    if (!readRegString(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, name, text, sizeof(text)))
        return u"<missing>";
    return text;
}

class HostKeysTest : public SkinTest {
protected:
    explicit HostKeysTest(const char* profile = "qvga") : SkinTest(profile) {}
    DWORD value(LPCWSTR name) {
        DWORD v = 0xdeadbeef;
        EXPECT_TRUE(regDword(name, &v)) << narrowName(name);
        return v;
    }
    // A skin without host keys writes every default: alpha 204, icon offset 9999, both colours
    // 180,180,180, offset x 0 and y 30 logical pixels, three empty paths.
    void expectDefaults(DWORD yOffset) {
        EXPECT_EQ(0u, value(ZV_VAL_HOSTFRAME));
        EXPECT_EQ(0u, value(ZV_VAL_HOSTXOFF));
        EXPECT_EQ(yOffset, value(ZV_VAL_HOSTYOFF));
        EXPECT_EQ(204u, value(ZV_VAL_HOSTALPHA));
        EXPECT_EQ(RGB(180, 180, 180), value(ZV_VAL_HOSTBACKCLR));
        EXPECT_EQ(RGB(180, 180, 180), value(ZV_VAL_HOSTBACKCLR2));
        EXPECT_EQ(9999u, value(ZV_VAL_HOSTICONOFFSET));
        EXPECT_EQ(u"", regText(ZV_VAL_HOSTIMAGE));
        EXPECT_EQ(u"", regText(ZV_VAL_HOSTIMAGEALERT));
        EXPECT_EQ(u"", regText(ZV_VAL_HOSTIMAGEOPEN));
    }
};

class HostKeysVga : public HostKeysTest {
protected:
    HostKeysVga() : HostKeysTest("vga") {}
};

} // namespace

TEST_F(HostKeysTest, DefaultsAt96Dpi) {
    writeSkin("h", {"today_height=20"});
    load(u"h");
    expectDefaults(30);
}

TEST_F(HostKeysVga, DefaultsAt192Dpi) {
    writeSkin("h", {"today_height=20"});
    load(u"h");
    expectDefaults(60);
}

// Values a skin gives replace the previous skin's: host_offset 5 sets x and keeps y's default,
// a colour of two numbers keeps the default, pictures become full paths in the skin's folder,
// a picture outside it stays empty.
TEST_F(HostKeysTest, SkinValuesAndTheirLimits) {
    writeSkin("full_L", {"today_height=20", "host_frame=1", "host_offset=7,9", "host_alpha=100",
                         "host_backcolor=1,2,3", "host_backcolor2=4,5,6", "host_image=Icon.png",
                         "host_imagealert=alert.png", "host_imageopen=..\\..\\open.png",
                         "host_imageoffset=12"});
    load(u"full_L");
    EXPECT_EQ(1u, value(ZV_VAL_HOSTFRAME));
    EXPECT_EQ(7u, value(ZV_VAL_HOSTXOFF));
    EXPECT_EQ(9u, value(ZV_VAL_HOSTYOFF));
    EXPECT_EQ(100u, value(ZV_VAL_HOSTALPHA));
    EXPECT_EQ(RGB(1, 2, 3), value(ZV_VAL_HOSTBACKCLR));
    EXPECT_EQ(RGB(4, 5, 6), value(ZV_VAL_HOSTBACKCLR2));
    EXPECT_EQ(12u, value(ZV_VAL_HOSTICONOFFSET));
    EXPECT_EQ(u"\\Program Files\\Zolvane\\full\\icon.png", regText(ZV_VAL_HOSTIMAGE))
        << "the skin's folder is its name up to the underscore; the text is lower-cased";
    EXPECT_EQ(u"\\Program Files\\Zolvane\\full\\alert.png", regText(ZV_VAL_HOSTIMAGEALERT));
    EXPECT_EQ(u"", regText(ZV_VAL_HOSTIMAGEOPEN));

    writeSkin("part", {"today_height=20", "host_offset=5", "host_backcolor=10,20",
                       "host_backcolor2=10,20,", "host_alpha=900"});
    load(u"part");
    EXPECT_EQ(5u, value(ZV_VAL_HOSTXOFF));
    EXPECT_EQ(30u, value(ZV_VAL_HOSTYOFF));
    EXPECT_EQ(RGB(180, 180, 180), value(ZV_VAL_HOSTBACKCLR));
    EXPECT_EQ(RGB(180, 180, 180), value(ZV_VAL_HOSTBACKCLR2));
    EXPECT_EQ(255u, value(ZV_VAL_HOSTALPHA));
    EXPECT_EQ(0u, value(ZV_VAL_HOSTFRAME)) << "the previous skin's frame is not kept";
    EXPECT_EQ(u"", regText(ZV_VAL_HOSTIMAGE));
}

// The parser alone: "x," without a number after the comma keeps the default y.
TEST(HostKeysParse, OffsetWithAnEmptyY) {
    HostKeys keys;
    memset(&keys, 0xEF, sizeof(keys));
    parseHostKeys("\r\nhost_offset=5,\r\nx=3\r\n", u"\\P", u"s", 192, &keys);
    EXPECT_EQ(5, keys.xOffset);
    EXPECT_EQ(60, keys.yOffset);
    EXPECT_EQ(0, keys.image[0]);
}

namespace {

class AllSpace : public SkinTest {
protected:
    void SetUp() override {
        SkinTest::SetUp();
        writeTga("as\\text.tga", 200, 40, 24, imagefiles::Bgra{0, 0, 255, 255});
        writeTga("as\\btn.tga", 16, 16, 24, imagefiles::Bgra{0, 0, 255, 255});
        writeSkin("as", {"today_height=60", "image_textwindow=1,0,20,text.tga,t",
                         "image_scrolldown=1,220,44,btn.tga"});
        window = initialize();
        ASSERT_NE(nullptr, window);
        getSettings().showOffset = 1; // after the item's own loadSettings
    }
    HWND window = nullptr;
};

} // namespace

// "Use all space": the text window reaches down to the holder's bottom in whole lines, plus
// the gap; an item lower on the Today screen gets fewer lines, and a changed height is
// announced to the Today screen.
TEST_F(AllSpace, LowerItemGetsFewerLines) {
    load(u"as");
    const SkinDef& s = *currentSkin;
    ASSERT_GT(s.lineHeight, 0);
    const LONG gap = (96 + 24) * 2 / 96;
    LONG highBottom = s.items[SKIN_TEXTWINDOW].bottom;
    LONG highLines = (highBottom - 20 - gap) / s.lineHeight;
    EXPECT_EQ(0, (highBottom - 20 - gap) % s.lineHeight) << "whole lines";
    EXPECT_EQ(highBottom, s.todayHeight);
    EXPECT_EQ(highBottom, s.items[SKIN_SCROLLDOWN].bottom);
    EXPECT_EQ(highBottom - 16, s.items[SKIN_SCROLLDOWN].top);
    // The Today window is 268 pixels high: an item at its top fits this many lines.
    EXPECT_EQ((268 - gap - 20) / s.lineHeight, highLines);

    MoveWindow(window, 0, 100, 240, 60, FALSE);
    pluginState.heightChanged = FALSE;
    getAllSpaceHeight();
    LONG lowLines = (s.items[SKIN_TEXTWINDOW].bottom - 20 - gap) / s.lineHeight;
    EXPECT_EQ((268 - gap - 20 - 100) / s.lineHeight, lowLines);
    EXPECT_LT(lowLines, highLines);
    EXPECT_TRUE(pluginState.heightChanged);
    EXPECT_EQ(2, logCount("getAllSpaceHeight: Height:")) << "once per computation at level 2";
}
