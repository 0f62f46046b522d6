// skin_load_test.cpp: loadSkin on a hosted item: the choice of file (defaults, ".skn", the
// landscape variant), items with their pictures and rectangles, scaling between low and high
// resolution, the transparency keys, the navigation order, activeLinks, the font and the values
// written back, the automatic text-window height, auto-centring, the refresh timer, and skin
// files that are broken in every way a file can be.
#include <cstring>
#include <string>

#include "image.h"
#include "skintest.h"

using namespace skintest;
using imagefiles::Bgra;

namespace {

const Bgra kRed = {0, 0, 255, 255};
const Bgra kGreen = {0, 255, 0, 255};

class SkinLoad : public SkinTest {
protected:
    void SetUp() override {
        SkinTest::SetUp();
        writeTga("test\\set.tga", 10, 8, 24, kRed);
        writeTga("test\\text.tga", 200, 50, 24, kRed);
        writeTga("test\\btn.tga", 16, 16, 24, kRed);
    }
    // The skin "test": a settings button, a text window with the 't' option, scroll buttons.
    void writeTestSkin(const std::vector<std::string>& more = {}) {
        std::vector<std::string> lines = {
            "Today_Height=60",
            "image_setting=1,5,6,set.tga",
            "image_textwindow=1,0,20,text.tga,t,30,40",
            "image_scrollup=1,220,20,btn.tga",
            "image_scrolldown=1,220,70,btn.tga",
        };
        lines.insert(lines.end(), more.begin(), more.end());
        writeSkin("test", lines);
    }
    static RECT rectOf(const SkinItem& item) {
        return RECT{item.left, item.top, item.right, item.bottom};
    }
    static SIZE bitmapSize(HBITMAP b) {
        BITMAP bm;
        memset(&bm, 0xEF, sizeof(bm));
        EXPECT_NE(0, GetObjectW(b, sizeof(bm), &bm));
        return SIZE{bm.bmWidth, bm.bmHeight};
    }
};

} // namespace

// Rectangles compare and print as a whole (found by gtest through the global namespace).
bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
std::ostream& operator<<(std::ostream& out, const RECT& r) {
    return out << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}

// A skin's items get their pictures and rectangles (x, y and the picture's size), the item
// height is written as skinHeight, the thumb starts under image_scrollup, and the defaults
// fill what the skin leaves out. An upper-case key in the file is found.
TEST_F(SkinLoad, ItemsPicturesAndDefaults) {
    writeTestSkin();
    BOOL ok = FALSE;
    EXPECT_EQ(u"test", load(u"test", &ok));
    EXPECT_TRUE(ok);
    ASSERT_NE(nullptr, currentSkin);
    const SkinDef& s = *currentSkin;
    EXPECT_FALSE(s.noSkinFile);
    EXPECT_EQ(60, s.todayHeight);
    EXPECT_TRUE(s.items[SKIN_SETTING].enabled);
    EXPECT_NE(nullptr, s.items[SKIN_SETTING].bitmap);
    EXPECT_EQ((RECT{5, 6, 15, 14}), rectOf(s.items[SKIN_SETTING]));
    EXPECT_EQ((RECT{0, 20, 200, 70}), rectOf(s.items[SKIN_TEXTWINDOW]));
    EXPECT_EQ(30, s.items[SKIN_TEXTWINDOW].extra1);
    EXPECT_EQ(40, s.items[SKIN_TEXTWINDOW].extra2);
    EXPECT_TRUE(s.autoHeightText);
    EXPECT_FALSE(s.items[SKIN_CUSTOM].enabled);
    EXPECT_EQ(nullptr, s.items[SKIN_CUSTOM].bitmap);
    EXPECT_EQ(36, s.thumbOrigin);
    EXPECT_EQ(36, scrollThumbOrigin());
    EXPECT_EQ(static_cast<COLORREF>(1), s.transparentColour);
    EXPECT_EQ(RGB(255, 0, 0), s.hiliteColour);
    EXPECT_EQ(3, s.hiliteWidth);
    EXPECT_EQ(RGB(1, 1, 1), s.textBackColour);
    EXPECT_EQ(s.systemTextColour, s.textColour);
    EXPECT_EQ(0, s.navCount);
    EXPECT_NE(nullptr, s.font);
    EXPECT_GT(s.lineHeight, 5);
    EXPECT_NE(nullptr, s.selectionBrush);
    DWORD value = 0xdeadbeef;
    ASSERT_TRUE(regDword(u"skinHeight", &value));
    EXPECT_EQ(60u, value);
    ASSERT_TRUE(regDword(u"skinTextSize", &value));
    EXPECT_EQ(9u, value) << "the size chosen for a skin without text_size";
    ASSERT_TRUE(regDword(u"skinTextStyle", &value));
    EXPECT_EQ(0u, value);
    EXPECT_EQ(1, logCount(" - load skin: test"));
    EXPECT_EQ(1, logCount("loadSkin: End"));
    EXPECT_EQ(u"test", std::u16string(getSettings().skinName));
}

// No such skin: "default" is tried; without it the item is 18 pixels high with no items.
TEST_F(SkinLoad, MissingSkinFallsBackToTheDefault) {
    BOOL ok = TRUE;
    EXPECT_EQ(u"default", load(u"nothing", &ok));
    EXPECT_FALSE(ok);
    ASSERT_NE(nullptr, currentSkin);
    EXPECT_TRUE(currentSkin->noSkinFile);
    EXPECT_EQ(18, currentSkin->todayHeight);
    for (const SkinItem& item : currentSkin->items)
        EXPECT_FALSE(item.enabled);
    EXPECT_EQ(1, logCount("** Skin not found"));
    EXPECT_EQ(1, logCount("** No skin found: \\Program Files\\Zolvane\\default.skn **"));

    writeSkin("default", {"today_height=44"});
    EXPECT_EQ(u"default", load(u"", &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(44, currentSkin->todayHeight);
}

// A load-skin argument with or without ".skn" reads the same file, and the name kept is the
// one without it.
TEST_F(SkinLoad, NameWithAndWithoutExtension) {
    writeSkin("red", {"today_height=33"});
    BOOL ok = FALSE;
    EXPECT_EQ(u"red", load(u"red.skn", &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(33, currentSkin->todayHeight);
    EXPECT_EQ(u"red", load(u"red", &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(u"RED", load(u"RED.SKN", &ok));
    EXPECT_TRUE(ok) << "file names are matched without regard to case";
    // A name that is a path is no skin of the installation folder.
    EXPECT_EQ(u"default", load(u"..\\Zolvane\\red", &ok));
    EXPECT_FALSE(ok);
}

// blue_L on a portrait screen loads blue when it exists, else keeps blue_L; either way the skin
// has a landscape variant. A portrait name with a landscape file beside it stays portrait.
TEST_F(SkinLoad, LandscapeNameOnAPortraitScreen) {
    writeSkin("blue", {"today_height=20"});
    writeSkin("blue_L", {"today_height=21"});
    EXPECT_EQ(u"blue", load(u"blue_L"));
    EXPECT_TRUE(currentSkin->hasLandscapeVariant);
    EXPECT_EQ(20, currentSkin->todayHeight);
    EXPECT_EQ(u"blue", load(u"blue"));
    EXPECT_TRUE(currentSkin->hasLandscapeVariant);

    std::filesystem::remove(folder() / "blue.skn");
    EXPECT_EQ(u"blue_L", load(u"blue_L"));
    EXPECT_TRUE(currentSkin->hasLandscapeVariant);
    EXPECT_EQ(21, currentSkin->todayHeight);

    writeSkin("plain", {"today_height=22"});
    EXPECT_EQ(u"plain", load(u"plain"));
    EXPECT_FALSE(currentSkin->hasLandscapeVariant);
}

// transp_color names the key colour; 1,1,1 means "not set": each picture's top-left pixel.
// transp_nohit anywhere in the text lets taps through transparent pixels.
TEST_F(SkinLoad, TransparencyKeys) {
    writeSkin("k", {"today_height=20", "transp_color=0,255,0"});
    load(u"k");
    EXPECT_EQ(RGB(0, 255, 0), currentSkin->transparentColour);
    EXPECT_EQ(RGB(0, 255, 0), getImageDrawOptions().transparentColour);
    EXPECT_FALSE(currentSkin->noHitOnTransparent);

    writeSkin("k", {"today_height=20", "transp_color=1,1,1", "; transp_nohit"});
    load(u"k");
    EXPECT_EQ(static_cast<COLORREF>(1), currentSkin->transparentColour);
    EXPECT_EQ(static_cast<COLORREF>(1), getImageDrawOptions().transparentColour);
    EXPECT_TRUE(currentSkin->noHitOnTransparent);
}

// Whether a point of an item's picture is transparent: with the top-left key, a green corner
// on a red button is transparent and the red is not; points outside the item are not.
TEST_F(SkinLoad, TransparentPointsOfAnItem) {
    writeTga("t\\corner.tga", 6, 5, 24, kRed, &kGreen);
    writeSkin("t", {"today_height=20", "image_mute=1,30,2,corner.tga", "transp_nohit"});
    load(u"t");
    ASSERT_TRUE(currentSkin->items[SKIN_MUTE].enabled);
    EXPECT_TRUE(isTransparentAt(SKIN_MUTE, 0, 0));
    EXPECT_FALSE(isTransparentAt(SKIN_MUTE, 1, 0));
    EXPECT_FALSE(isTransparentAt(SKIN_MUTE, 5, 4));
    EXPECT_FALSE(isTransparentAt(SKIN_MUTE, 6, 0));
    EXPECT_FALSE(isTransparentAt(SKIN_SETTING, 0, 0)) << "an item without a picture";
    EXPECT_FALSE(isTransparentAt(99, 0, 0));
}

// nav_order keeps its first 15 numbers; colours and width of the highlight come from the skin.
TEST_F(SkinLoad, NavigationKeys) {
    writeSkin("n", {"today_height=20", "nav_order=0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16",
                    "nav_hilitecolor=0,0,255", "nav_hilitewidth=5", "text_color=1,2,3",
                    "text_backg=1,1,1"});
    load(u"n");
    EXPECT_EQ(15, currentSkin->navCount);
    EXPECT_EQ(14, currentSkin->navOrder[14]);
    EXPECT_EQ(RGB(0, 0, 255), currentSkin->hiliteColour);
    EXPECT_EQ(5, currentSkin->hiliteWidth);
    EXPECT_EQ(RGB(1, 2, 3), currentSkin->textColour);
    DWORD value = 0;
    ASSERT_TRUE(regDword(u"skinTextColor", &value));
    EXPECT_EQ(RGB(1, 2, 3), value);
}

// activeLinks "101111": its second character switches off the tasks button only.
TEST_F(SkinLoad, ActiveLinksHideButtons) {
    std::vector<std::string> lines = {"today_height=20"};
    for (const char* key : {"image_calendar", "image_tasks", "image_alnote", "image_contact",
                            "image_inbox", "image_note"})
        lines.push_back(std::string(key) + "=1,0,0,btn.tga");
    writeSkin("test", lines);
    strcpy(getSettings().activeLinks, "101111");
    load(u"test");
    EXPECT_TRUE(currentSkin->items[SKIN_CALENDAR].enabled);
    EXPECT_FALSE(currentSkin->items[SKIN_TASKS].enabled);
    for (int item : {SKIN_ALNOTE, SKIN_CONTACT, SKIN_INBOX, SKIN_NOTE})
        EXPECT_TRUE(currentSkin->items[item].enabled) << item;
}

// A VGA skin on a low-resolution screen: todayHeight (61 + 1) / 2, coordinates halved,
// pictures without alpha halved once at load time.
TEST_F(SkinLoad, VgaSkinOnALowResolutionScreen) {
    writeTga("big\\b.tga", 20, 16, 24, kRed);
    writeSkin("big", {"vga_skin=1", "today_height=61", "image_setting=1,11,12,b.tga,,31,-3"});
    load(u"big");
    EXPECT_TRUE(currentSkin->isVgaSkin);
    EXPECT_TRUE(currentSkin->scale32Down);
    EXPECT_EQ(31, currentSkin->todayHeight);
    EXPECT_EQ((RECT{5, 6, 15, 14}), rectOf(currentSkin->items[SKIN_SETTING]));
    EXPECT_EQ(15, currentSkin->items[SKIN_SETTING].extra1);
    EXPECT_EQ(-2, currentSkin->items[SKIN_SETTING].extra2) << "shifted right by one bit";
    SIZE size = bitmapSize(currentSkin->items[SKIN_SETTING].bitmap);
    EXPECT_EQ(10, size.cx);
    EXPECT_EQ(8, size.cy);
}

// The font: text_size, text_style, and the user's custom size and style over them. A custom
// size below 5 switches itself off and comes back as 9.
TEST_F(SkinLoad, FontAndTheValuesWrittenBack) {
    writeSkin("f", {"today_height=20", "text_size=12.7", "text_style=Bold", "text_font=Tahoma"});
    load(u"f");
    LOGFONTW font;
    memset(&font, 0xEF, sizeof(font));
    ASSERT_NE(0, GetObjectW(currentSkin->font, sizeof(font), &font));
    EXPECT_EQ(FW_BOLD, font.lfWeight);
    EXPECT_EQ(-16, font.lfHeight) << "12.7 points at 96 dpi, truncated toward zero";
    EXPECT_EQ(CLEARTYPE_QUALITY, font.lfQuality);
    DWORD value = 0;
    ASSERT_TRUE(regDword(u"skinTextSize", &value));
    EXPECT_EQ(12u, value);
    ASSERT_TRUE(regDword(u"skinTextStyle", &value));
    EXPECT_EQ(2u, value);

    getSettings().customFontSize = 1;
    getSettings().FontSize = 3;
    getSettings().customFontStyle = 1;
    getSettings().FontStyle = 1;
    load(u"f");
    EXPECT_EQ(0, getSettings().customFontSize);
    EXPECT_EQ(9, getSettings().FontSize);
    ASSERT_NE(0, GetObjectW(currentSkin->font, sizeof(font), &font));
    EXPECT_EQ(FW_SEMIBOLD, font.lfWeight);
    EXPECT_EQ(-16, font.lfHeight);

    getSettings().customFontSize = 1;
    getSettings().FontSize = 6;
    load(u"f");
    ASSERT_NE(0, GetObjectW(currentSkin->font, sizeof(font), &font));
    EXPECT_EQ(-8, font.lfHeight);
}

// showOffset 2..7 with the 't' option: the text window holds that many lines (7 for 6, 10
// above) plus 2 pixels, the item ends with it, and image_scrolldown moves to its bottom.
TEST_F(SkinLoad, AutomaticTextWindowHeight) {
    writeTestSkin();
    struct Case {
        LONG showOffset, lines;
    } cases[] = {{3, 3}, {5, 5}, {6, 7}, {9, 10}};
    for (const Case& c : cases) {
        getSettings().showOffset = c.showOffset;
        load(u"test");
        const SkinDef& s = *currentSkin;
        LONG bottom = 20 + s.lineHeight * c.lines + 2;
        EXPECT_EQ(bottom, s.items[SKIN_TEXTWINDOW].bottom) << c.showOffset;
        EXPECT_EQ(bottom, s.todayHeight) << c.showOffset;
        EXPECT_EQ(bottom, s.items[SKIN_SCROLLDOWN].bottom) << c.showOffset;
        EXPECT_EQ(bottom - 16, s.items[SKIN_SCROLLDOWN].top) << c.showOffset;
    }
    getSettings().showOffset = 0;
    load(u"test");
    EXPECT_EQ(70, currentSkin->items[SKIN_TEXTWINDOW].bottom);
    EXPECT_EQ(60, currentSkin->todayHeight);
}

// After a load the item window's skin-refresh timer runs, and a new height is announced.
TEST_F(SkinLoad, RefreshTimerAndHeightAfterALoad) {
    HWND window = initialize();
    ASSERT_NE(nullptr, window);
    writeTestSkin();
    pluginState.itemHeight = 0;
    pluginState.heightChanged = FALSE;
    load(u"test");
    EXPECT_TRUE(windowTimerRunning(TIMER_SKINREFRESH));
    EXPECT_TRUE(pluginState.heightChanged);
    advanceMs(100);
    EXPECT_EQ(1, logCount("MSG_SKINREFRESH_TIMER"));
}

// Pictures named outside the skin's folder are not loaded; the rest of the skin is.
TEST_F(SkinLoad, PicturesOutsideTheFolderAreRefused) {
    writeTga("..\\outside.tga", 4, 4, 24, kRed);
    writeTga("x.tga", 4, 4, 24, kRed);
    writeSkin("test", {"today_height=20", "image_setting=1,0,0,..\\..\\outside.tga",
                       "image_custom=1,0,0,\\program files\\zolvane\\x.tga",
                       "image_filter=1,0,0,..\\x.tga", "image_vol=1,1,1,btn.tga"});
    BOOL ok = FALSE;
    load(u"test", &ok);
    EXPECT_TRUE(ok);
    EXPECT_FALSE(currentSkin->items[SKIN_SETTING].enabled);
    EXPECT_FALSE(currentSkin->items[SKIN_CUSTOM].enabled);
    EXPECT_FALSE(currentSkin->items[SKIN_FILTER].enabled);
    EXPECT_TRUE(currentSkin->items[SKIN_VOL].enabled);
}

// Broken files load what they can: cut in the middle of a line, without line ends, with
// numbers of any size, with binary bytes, empty, without today_height.
TEST_F(SkinLoad, BrokenFilesLoadWhatTheyCan) {
    std::string full = "; x\r\ntoday_height=50\r\nimage_setting=1,5,6,set.tga,arg,1,2\r\n"
                       "image_vol=1,30,6,btn.tga\r\n";
    writeBytes(folder() / "test_cut.skn", full.substr(0, full.size() - 12));
    load(u"test_cut"); // the pictures of test_cut are in the folder "test"
    EXPECT_EQ(50, currentSkin->todayHeight);
    EXPECT_TRUE(currentSkin->items[SKIN_SETTING].enabled);
    EXPECT_FALSE(currentSkin->items[SKIN_VOL].enabled) << "its line lost the picture's name";

    writeBytes(folder() / "flat.skn", "today_height=50 image_setting=1,5,6,set.tga");
    BOOL ok = FALSE;
    load(u"flat", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(18, currentSkin->todayHeight) << "no key is found without line ends";
    EXPECT_FALSE(currentSkin->items[SKIN_SETTING].enabled);

    writeSkin("test_huge", {"today_height=99999999999999",
                            "image_setting=1,99999999999,-99999999999,set.tga,,99999999999,-1",
                            "text_size=99999999999999999", "nav_hilitewidth=2147483647",
                            "nav_order=" + std::string(5000, '1'), "host_offset=-99999999999,9"});
    load(u"test_huge");
    EXPECT_EQ(32767, currentSkin->todayHeight);
    EXPECT_EQ(32767, currentSkin->items[SKIN_SETTING].left);
    EXPECT_EQ(-32767, currentSkin->items[SKIN_SETTING].top);
    EXPECT_LE(currentSkin->hiliteWidth, 64);

    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 7919) & 0xFF);
    writeBytes(folder() / "bin.skn", "\r\ntoday_height=12\r\n" + binary);
    load(u"bin");
    EXPECT_EQ(12, currentSkin->todayHeight);

    writeBytes(folder() / "empty.skn", "");
    EXPECT_EQ(u"empty", load(u"empty", &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(18, currentSkin->todayHeight);

    writeSkin("noheight", {"image_setting=1,5,6,set.tga"});
    load(u"noheight");
    EXPECT_FALSE(currentSkin->items[SKIN_SETTING].enabled) << "without today_height: no skin";
}

// A skin that is loaded twice releases the first load's pictures.
TEST_F(SkinLoad, ReloadReleasesThePreviousPictures) {
    writeTestSkin();
    load(u"test");
    HBITMAP first = currentSkin->items[SKIN_SETTING].bitmap;
    ASSERT_NE(nullptr, first);
    load(u"test");
    EXPECT_EQ(0, GetObjectW(first, 0, nullptr)) << "the first load's picture is gone";
    freeSkin(TRUE);
    EXPECT_EQ(nullptr, currentSkin);
    EXPECT_EQ(0, scrollThumbOrigin());
}

namespace {

class SkinLoadHighRes : public SkinTest {
protected:
    SkinLoadHighRes() : SkinTest("vga") {}
};

class SkinLoadLandscape : public SkinTest {
protected:
    SkinLoadLandscape() : SkinTest("qvga-landscape") {}
};

} // namespace

// A low-resolution skin on a 480x640 screen: today_height 60 gives 120, coordinates and
// pictures double; a 32-bit picture keeps its pixels and is marked for scaling when drawn.
TEST_F(SkinLoadHighRes, LowResolutionSkinIsDoubled) {
    writeTga("lo\\b.tga", 10, 8, 24, kRed);
    writeTga("lo\\a.tga", 10, 8, 32, kRed);
    writeSkin("lo",
              {"today_height=60", "image_setting=1,5,6,b.tga,,7,8", "image_custom=1,20,6,a.tga"});
    load(u"lo");
    EXPECT_EQ(120, currentSkin->todayHeight);
    EXPECT_TRUE(currentSkin->scale32Up);
    EXPECT_TRUE(getImageDrawOptions().scale32Up);
    EXPECT_EQ(
        (RECT{10, 12, 30, 28}),
        (RECT{currentSkin->items[SKIN_SETTING].left, currentSkin->items[SKIN_SETTING].top,
              currentSkin->items[SKIN_SETTING].right, currentSkin->items[SKIN_SETTING].bottom}));
    EXPECT_EQ(14, currentSkin->items[SKIN_SETTING].extra1);
    BITMAP bm;
    memset(&bm, 0xEF, sizeof(bm));
    ASSERT_NE(0, GetObjectW(currentSkin->items[SKIN_SETTING].bitmap, sizeof(bm), &bm));
    EXPECT_EQ(20, bm.bmWidth);
    ASSERT_NE(0, GetObjectW(currentSkin->items[SKIN_CUSTOM].bitmap, sizeof(bm), &bm));
    EXPECT_EQ(10, bm.bmWidth) << "32-bit pictures are scaled when drawn";
    EXPECT_EQ(60, currentSkin->items[SKIN_CUSTOM].right);
    DWORD value = 0;
    ASSERT_TRUE(regDword(u"skinHeight", &value));
    EXPECT_EQ(120u, value);
}

// With no skin named on a high-resolution screen, defaultVGA is taken when it exists.
TEST_F(SkinLoadHighRes, DefaultVgaOnAHighResolutionScreen) {
    writeSkin("default", {"today_height=20"});
    EXPECT_EQ(u"default", load(u""));
    writeSkin("DefaultVGA", {"vga_skin=1", "today_height=40"});
    EXPECT_EQ(u"defaultVGA", load(u""));
    EXPECT_EQ(40, currentSkin->todayHeight);
}

// On a landscape screen a skin with a landscape variant loads it.
TEST_F(SkinLoadLandscape, LandscapeVariantIsChosen) {
    writeSkin("blue", {"today_height=20"});
    writeSkin("blue_L", {"today_height=21"});
    EXPECT_EQ(u"blue_L", load(u"blue"));
    EXPECT_TRUE(currentSkin->hasLandscapeVariant);
    EXPECT_EQ(21, currentSkin->todayHeight);
}

// autoCenterSkin: a skin 240 pixels wide on a 320-pixel screen moves right by half the free
// space; its 240-pixel text window then spans the screen and the scroll buttons sit at the
// right edge.
TEST_F(SkinLoadLandscape, AutoCentre) {
    writeTga("wide\\text.tga", 240, 40, 24, kRed);
    writeTga("wide\\btn.tga", 16, 16, 24, kRed);
    writeTga("wide\\set.tga", 10, 8, 24, kRed);
    writeSkin("wide", {"today_height=60", "image_textwindow=1,0,20,text.tga",
                       "image_scrollup=1,220,20,btn.tga", "image_scrolldown=1,220,44,btn.tga",
                       "image_setting=1,5,2,set.tga"});
    getSettings().autoCenterSkin = 1;
    load(u"wide");
    const SkinDef& s = *currentSkin;
    EXPECT_EQ(45, s.items[SKIN_SETTING].left);
    EXPECT_EQ(0, s.items[SKIN_TEXTWINDOW].left);
    EXPECT_EQ(320, s.items[SKIN_TEXTWINDOW].right);
    BITMAP bm;
    memset(&bm, 0xEF, sizeof(bm));
    ASSERT_NE(0, GetObjectW(s.items[SKIN_TEXTWINDOW].bitmap, sizeof(bm), &bm));
    EXPECT_EQ(320, bm.bmWidth);
    EXPECT_EQ(320, s.items[SKIN_SCROLLUP].right);
    EXPECT_EQ(304, s.items[SKIN_SCROLLUP].left);
    EXPECT_EQ(320, s.items[SKIN_SCROLLDOWN].right);

    getSettings().autoCenterSkin = 0;
    load(u"wide");
    EXPECT_EQ(5, currentSkin->items[SKIN_SETTING].left);
}
