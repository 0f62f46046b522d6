// skinimages.h: the pictures of a skin being loaded: the items with their rectangles, the
// scroll thumb and the small icons, each scaled to the screen, and the auto-centring of the
// items. Used by loadSkin (skin.cpp) only.
#pragma once

#include <windows.h>

#include "skin.h"

// How the skin's pixels relate to the screen's.
enum SkinScale {
    SKIN_SCALE_NONE, // drawn for this resolution
    SKIN_SCALE_UP,   // a low-resolution skin on a high-resolution screen: twice the size
    SKIN_SCALE_DOWN  // a VGA skin on a low-resolution screen: half the size
};

// Coordinates and sizes in the skin file are held to this range, so that scaling and adding
// them up never overflows.
#define SKIN_COORD_MAX 32767

// A coordinate of the file scaled to the screen.
LONG scaleSkinValue(LONG value, SkinScale scale);

// Parses the 18 items of the lower-cased skin text and loads their pictures from the skin's
// folder (skin->folder), else from the folder of the full skin name.
void loadSkinItems(SkinDef* skin, const char* text, LPCWSTR fullName, SkinScale scale);
// The scroll thumb (image_scroller) and the 17 small icons, from the skin's folder only.
void loadSkinScroller(SkinDef* skin, const char* text, SkinScale scale);
void loadSmallIcons(SkinDef* skin, const char* text, SkinScale scale);
// The autoCenterSkin setting: moves a skin narrower than the screen to its middle and widens
// a text window of 240 or 480 pixels to the whole screen.
void centreSkin(SkinDef* skin);
