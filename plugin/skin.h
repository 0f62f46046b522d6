// skin.h: the loaded skin: where the item's images, text window and buttons are, the list font
// and colours, the navigation order and the height of the item on the Today screen.
//
// One SkinDef per item window, owned by the window; every load frees it and builds it anew.
// currentSkin is null until the first load, which every user of the skin tests first. After a
// load it stays set even when no skin file could be opened (noSkinFile): the item is then 18
// pixels high without items and shows that no skin was found.
//
// Coordinates are the item window's pixels: the loader has already scaled a skin drawn for
// the other resolution (32-bit pictures excepted, which are scaled when drawn: scale32Up,
// scale32Down).
#pragma once

#include <windows.h>

// The skin's items, in the order the painter, the hit test and nav_order number them.
enum SkinItemNumber {
    SKIN_SETTING = 0,
    SKIN_CUSTOM,
    SKIN_CALENDAR,
    SKIN_TASKS,
    SKIN_ALNOTE,
    SKIN_CONTACT,
    SKIN_INBOX,
    SKIN_NOTE,
    SKIN_FILTER,
    SKIN_BACKGROUND,
    SKIN_TEXTWINDOW,
    SKIN_LOADSKIN,
    SKIN_LOADSKIN2,
    SKIN_VOL,
    SKIN_JOTWELL,
    SKIN_MUTE,
    SKIN_SCROLLUP,
    SKIN_SCROLLDOWN,
    SKIN_ITEM_COUNT
};

#define SKIN_ARGUMENT_CCH 51 // 50 characters and the terminator
#define SKIN_SMALLICONS   17
#define SKIN_NAVORDER_MAX 15
#define SKIN_NAME_CCH     260

struct SkinItem {
    BOOL enabled; // enabled in the file, its picture loaded and not hidden by activeLinks
    LONG left, top, right, bottom; // pixels in the item window
    LONG extra1, extra2;
    HBITMAP bitmap; // owned; null when the image did not load
    char argument[SKIN_ARGUMENT_CCH];
};

struct SmallIcon {
    HBITMAP bitmap; // owned; null for an empty slot
    LONG width, height;
};

struct SkinDef {
    BOOL noSkinFile; // no skin file could be opened: nothing but the defaults
    SkinItem items[SKIN_ITEM_COUNT];
    HBITMAP scroller; // the scroll thumb
    LONG scrollerWidth, scrollerHeight;
    LONG thumbOrigin; // bottom of image_scrollup when it is enabled, else 0
    LONG firstVisibleLine;
    WCHAR folder[SKIN_NAME_CCH]; // skinFolder: the skin's name up to its first underscore
    SmallIcon smallIcons[SKIN_SMALLICONS];
    LONG iconColumnWidth;
    LONG todayHeight;
    BOOL isVgaSkin;
    BOOL hasLandscapeVariant;
    BOOL scale32Up, scale32Down;
    BOOL autoHeightText;
    COLORREF transparentColour; // 1: the top-left pixel of each image
    BOOL noHitOnTransparent;
    HFONT font;      // owned
    LONG lineHeight; // of "TEST TEXT" in the font
    LONG textSize;   // whole points, as written to skinTextSize
    LONG textStyle;  // 2 bold, 1 semi-bold, 0 normal
    COLORREF textColour;
    COLORREF textBackColour; // RGB(1,1,1): none
    LONG navOrder[SKIN_NAVORDER_MAX];
    LONG navCount;
    COLORREF hiliteColour;
    LONG hiliteWidth;
    HBRUSH selectionBrush; // owned
    COLORREF systemTextColour;
};

// The loaded skin, or null.
extern SkinDef* currentSkin;

// Loads the named skin (a buffer of SKIN_NAME_CCH characters, updated in place to the name
// really loaded: "default", "defaultVGA", with "_L" added or removed, without ".skn"), scales
// it to the screen, writes skinHeight, skinTextColor, skinTextSize, skinTextStyle and the host
// values to the settings, and starts the skin-refresh timer of the window. FALSE when no skin
// file could be read (currentSkin then holds the no-skin defaults).
BOOL loadSkin(WCHAR* skinName);
// Loads the skin that the settings name (skinName).
BOOL loadSkinFromSettings(void);
// Releases the loaded skin's pictures, icons and brush; with full set (the item goes) also its
// font and the image libraries. currentSkin becomes null.
void freeSkin(BOOL full = TRUE);
// "Use all space": stretches the text window down to the bottom of the Today screen (or of the
// window that holds the item) and sets heightChanged when todayHeight moved.
void getAllSpaceHeight(void);
// The y at which the scroll thumb starts: the bottom of image_scrollup, 0 without a skin.
LONG scrollThumbOrigin(void);
// Whether the picture of a skin item is transparent at (x, y), relative to the item's top-left
// corner: the points a tap does not hit when the skin says transp_nohit.
BOOL isTransparentAt(LONG item, LONG x, LONG y);

// Reads the host keys of the lower-cased skin text and writes the host values to the settings
// key (hostkeys.cpp); folder is the skin's image folder.
void readHostKeys(const char* text, LPCWSTR folder);
