// skinimages.cpp: loading a skin's pictures and placing its items (see skinimages.h).
//
// Pictures without alpha are stretched once here when the skin was drawn for the other
// resolution; 32-bit pictures keep their size and are scaled by AlphaBlend when drawn, so
// that their alpha survives (the skin's scale32Up and scale32Down say so to the blit).
#include "skinimages.h"

#include <strsafe.h>

#include "image.h"
#include "log.h"
#include "plugin.h"
#include "settings.h"
#include "skinparse.h"

// The gap after the widest small icon, 4 pixels at 96 dots per inch.
#define ICON_GAP_LOGICAL 4
// Auto-centring moves a skin only when it leaves more than 20 pixels (at 96 dpi) free.
#define CENTRE_MARGIN_LOGICAL 20
// Text windows of these widths were drawn to span a portrait screen; centred, they span it.
#define TEXTWINDOW_QVGA_WIDTH 240
#define TEXTWINDOW_VGA_WIDTH  480

static LONG clampCoord(LONG value) {
    return value < -SKIN_COORD_MAX  ? -SKIN_COORD_MAX
           : value > SKIN_COORD_MAX ? SKIN_COORD_MAX
                                    : value;
}

LONG scaleSkinValue(LONG value, SkinScale scale) {
    value = clampCoord(value);
    if (scale == SKIN_SCALE_UP) return value * 2;
    if (scale == SKIN_SCALE_DOWN) return value >> 1;
    return value;
}

static LONG screenDpi(int index) {
    HDC screen = GetDC(NULL);
    LONG dpi = screen ? GetDeviceCaps(screen, index) : 96;
    if (screen) ReleaseDC(NULL, screen);
    return dpi > 0 ? dpi : 96;
}

// Loads "installFolder\folder\name"; null when the name may not be used, the path does not
// fit or no loader makes a bitmap of it.
static HBITMAP loadSkinPicture(const char* name, LPCWSTR folder) {
    if (!isSafeSkinFileName(name)) return NULL;
    WCHAR path[MAX_PATH];
    if (FAILED(StringCchPrintfW(path, MAX_PATH, TEXT("%s\\%s\\%S"), getSettings().installFolder,
                                folder, name)))
        return NULL;
    HBITMAP bitmap = NULL;
    if (!loadImage(pluginState.pluginWindow, path, &bitmap)) return NULL;
    return bitmap;
}

// The size the picture is drawn at on this screen. A picture without alpha is stretched to
// it now (and *bitmap replaced); a 32-bit one keeps its pixels and is scaled by the blit.
static SIZE fitPicture(HBITMAP* bitmap, SkinScale scale) {
    BITMAP bm = {};
    GetObjectW(*bitmap, sizeof(bm), &bm);
    SIZE size = {bm.bmWidth, bm.bmHeight};
    if (scale == SKIN_SCALE_NONE) return size;
    if (scale == SKIN_SCALE_UP) {
        size.cx *= 2;
        size.cy *= 2;
    } else {
        size.cx /= 2;
        size.cy /= 2;
    }
    if (bm.bmBitsPixel == 32) return size;
    // A picture of one pixel stays one pixel wide when halved.
    if (size.cx < 1) size.cx = 1;
    if (size.cy < 1) size.cy = 1;
    HBITMAP stretched = *bitmap;
    if (stretchBitmap(*bitmap, &stretched, size.cx, size.cy) && stretched != *bitmap) {
        DeleteObject(*bitmap);
        *bitmap = stretched;
    } else if (stretched == *bitmap) {
        size.cx = bm.bmWidth; // not stretched: drawn as it is
        size.cy = bm.bmHeight;
    }
    return size;
}

static void loadSkinItem(SkinDef* skin, int number, const char* text, LPCWSTR fullName,
                         SkinScale scale) {
    SkinItem& item = skin->items[number];
    SkinItemValue value;
    if (!parseSkinItemValue(findSkinValue(text, skinItemKeys[number]), &value) ||
        value.enabled == 0)
        return;
    HBITMAP bitmap = loadSkinPicture(value.image, skin->folder);
    if (!bitmap) bitmap = loadSkinPicture(value.image, fullName);
    // The argument is kept even without a picture: the text window's options still apply.
    StringCchCopyA(item.argument, SKIN_ARGUMENT_CCH, value.argument);
    if (!bitmap) return; // no picture: no rectangle, neither drawn nor hit
    SIZE size = fitPicture(&bitmap, scale);
    item.enabled = TRUE;
    item.bitmap = bitmap;
    item.left = scaleSkinValue(value.x, scale);
    item.top = scaleSkinValue(value.y, scale);
    item.right = item.left + size.cx;
    item.bottom = item.top + size.cy;
    item.extra1 = scaleSkinValue(value.extra1, scale);
    item.extra2 = scaleSkinValue(value.extra2, scale);
}

void loadSkinItems(SkinDef* skin, const char* text, LPCWSTR fullName, SkinScale scale) {
    for (int number = 0; number < SKIN_ITEM_COUNT; ++number) {
        try {
            loadSkinItem(skin, number, text, fullName, scale);
        } catch (...) {
            writeLog("** Exception: Read skin Item");
        }
    }
}

// The picture a key of the skin names, from the skin's folder.
static HBITMAP loadNamedPicture(const SkinDef* skin, const char* text, const char* key) {
    char name[SKIN_VALUE_CCH];
    if (!copySkinValue(findSkinValue(text, key), name, sizeof(name))) return NULL;
    return loadSkinPicture(name, skin->folder);
}

void loadSkinScroller(SkinDef* skin, const char* text, SkinScale scale) {
    HBITMAP bitmap = loadNamedPicture(skin, text, "image_scroller");
    if (!bitmap) return;
    SIZE size = fitPicture(&bitmap, scale);
    skin->scroller = bitmap;
    skin->scrollerWidth = size.cx;
    skin->scrollerHeight = size.cy;
}

void loadSmallIcons(SkinDef* skin, const char* text, SkinScale scale) {
    LONG widest = 0;
    for (int slot = 0; slot < SKIN_SMALLICONS; ++slot) {
        HBITMAP bitmap = loadNamedPicture(skin, text, smallIconKeys[slot]);
        if (!bitmap) continue;
        BITMAP bm = {};
        GetObjectW(bitmap, sizeof(bm), &bm);
        // Icons with alpha are drawn at their own size, whatever the skin's resolution.
        SIZE size = {bm.bmWidth, bm.bmHeight};
        if (bm.bmBitsPixel != 32) size = fitPicture(&bitmap, scale);
        skin->smallIcons[slot].bitmap = bitmap;
        skin->smallIcons[slot].width = size.cx;
        skin->smallIcons[slot].height = size.cy;
        if (size.cx > widest) widest = size.cx;
    }
    skin->iconColumnWidth = widest + (screenDpi(LOGPIXELSX) + 12) * ICON_GAP_LOGICAL / 96;
}

// Puts an item's right edge on x, keeping its width.
static void alignRight(SkinItem& item, LONG x) {
    LONG width = item.right - item.left;
    item.right = x;
    item.left = x - width;
}

void centreSkin(SkinDef* skin) {
    const LONG screenWidth = GetSystemMetrics(SM_CXSCREEN);
    LONG rightmost = 0;
    BOOL any = FALSE;
    for (const SkinItem& item : skin->items)
        if (item.enabled && (!any || item.right > rightmost)) {
            rightmost = item.right;
            any = TRUE;
        }
    const LONG margin = (screenDpi(LOGPIXELSX) * CENTRE_MARGIN_LOGICAL + 48) / 96;
    if (!any || screenWidth - rightmost <= margin) return;
    const LONG shift = (screenWidth - rightmost) / 2;
    for (SkinItem& item : skin->items)
        if (item.enabled) {
            item.left += shift;
            item.right += shift;
        }
    SkinItem& text = skin->items[SKIN_TEXTWINDOW];
    const LONG width = text.right - text.left;
    if (!text.enabled || (width != TEXTWINDOW_QVGA_WIDTH && width != TEXTWINDOW_VGA_WIDTH)) return;
    text.left = 0;
    text.right = screenWidth;
    HBITMAP stretched = text.bitmap;
    if (stretchBitmap(text.bitmap, &stretched, screenWidth, text.bottom - text.top) &&
        stretched != text.bitmap) {
        DeleteObject(text.bitmap);
        text.bitmap = stretched;
    }
    for (int number : {SKIN_SCROLLUP, SKIN_SCROLLDOWN})
        if (skin->items[number].enabled) alignRight(skin->items[number], screenWidth);
}
