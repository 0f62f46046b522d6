// skin.h: the loaded skin: where the item's images, text window and buttons are, the list font
// and colours, the navigation order and the height of the item on the Today screen.
//
// One SkinDef per item window, owned by the window; every load frees it and builds it anew.
// currentSkin is null while no skin is loaded, which every user of the skin tests first.
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
    BOOL enabled;
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
    SkinItem items[SKIN_ITEM_COUNT];
    HBITMAP scroller; // the scroll thumb
    LONG scrollerWidth, scrollerHeight;
    LONG thumbOrigin; // bottom of image_scrollup when it is enabled, else 0
    LONG firstVisibleLine;
    SmallIcon smallIcons[SKIN_SMALLICONS];
    LONG iconColumnWidth;
    LONG todayHeight;
    BOOL isVgaSkin;
    BOOL hasLandscapeVariant;
    BOOL scale32Up, scale32Down;
    BOOL autoHeightText;
    COLORREF transparentColour; // 1: the top-left pixel of each image
    BOOL noHitOnTransparent;
    HFONT font; // owned
    LONG lineHeight;
    COLORREF textColour;
    COLORREF textBackColour; // RGB(1,1,1): none
    LONG navOrder[SKIN_NAVORDER_MAX];
    LONG navCount;
    COLORREF hiliteColour;
    LONG hiliteWidth;
    HBRUSH selectionBrush;
    COLORREF systemTextColour;
};

// The loaded skin, or null.
extern SkinDef* currentSkin;

// Loads the named skin (up to 260 characters, updated in place to the name really loaded) and
// asks the window to refresh; FALSE when nothing could be loaded.
BOOL loadSkin(WCHAR* skinName);
// Loads the skin that the settings name (skinName).
BOOL loadSkinFromSettings(void);
// Releases the loaded skin with its images and font; currentSkin becomes null.
void freeSkin(void);
// "Use all space": stretches the text window down to the bottom of the Today screen.
void getAllSpaceHeight(void);
// The y at which the scroll thumb starts: the bottom of image_scrollup, 0 without a skin.
LONG scrollThumbOrigin(void);
