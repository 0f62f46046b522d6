// hostkeys.h: the host keys of a skin: how zvHost shows the item in a window of its own or
// behind its title-bar icon (frame, offset, transparency, colours, icon pictures). The item
// does not use them itself: every skin load copies them into the settings key, where zvHost
// reads them, the defaults for any key the skin leaves out.
#pragma once

#include <windows.h>

// The registry values under the product key, written at every skin load.
#define ZV_VAL_HOSTFRAME      TEXT("hostFrame")
#define ZV_VAL_HOSTXOFF       TEXT("hostXOff")
#define ZV_VAL_HOSTYOFF       TEXT("hostYOff")
#define ZV_VAL_HOSTALPHA      TEXT("hostAlpha")
#define ZV_VAL_HOSTBACKCLR    TEXT("hostBackClr")
#define ZV_VAL_HOSTBACKCLR2   TEXT("hostBackClr2")
#define ZV_VAL_HOSTIMAGE      TEXT("hostImage")
#define ZV_VAL_HOSTIMAGEALERT TEXT("hostImageAlert")
#define ZV_VAL_HOSTIMAGEOPEN  TEXT("hostImageOpen")
#define ZV_VAL_HOSTICONOFFSET TEXT("hostIconOffset")

#define HOST_ALPHA_DEFAULT      204
#define HOST_BACKCOLOR_DEFAULT  RGB(180, 180, 180)
#define HOST_ICONOFFSET_DEFAULT 9999
#define HOST_YOFFSET_LOGICAL    30
#define HOST_IMAGE_PATH_CCH     MAX_PATH

// The host values of one skin.
struct HostKeys {
    LONG frame;
    LONG xOffset, yOffset;
    LONG alpha;
    COLORREF backColour, backColour2;
    WCHAR image[HOST_IMAGE_PATH_CCH]; // full paths; empty when the skin names none
    WCHAR imageAlert[HOST_IMAGE_PATH_CCH];
    WCHAR imageOpen[HOST_IMAGE_PATH_CCH];
    LONG iconOffset;
};

// Reads the host keys of the lower-cased skin text; picture names become paths below
// installFolder\folder (a name that would lead out of it, or does not fit, stays empty).
// dpiY scales the default y offset.
void parseHostKeys(const char* text, LPCWSTR installFolder, LPCWSTR folder, LONG dpiY,
                   HostKeys* keys);
