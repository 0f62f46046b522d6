// paint.cpp: painting the whole item (see paint.h): the background from the Today screen, the
// host or the selection, the capture of that background into the text window, the skin's
// pictures in their order, the navigation frame and the one blit to the screen. The list in the
// text window is painted by paintdata.cpp.
#include "paint.h"

#include <todaycmn.h>
#include <winreg.h>

#include "image.h"
#include "log.h"
#include "plugin.h"
#include "settings.h"
#include "skin.h"
#include "zvwindows.h"

LONG visibleLines = 0;
float thumbStep = 0.0f;
BOOL backgroundDirty = TRUE;
BOOL lineSelectMode = FALSE;

namespace {

// The Today screen's item tester; items painted inside it get the plain window colour.
#define TESTER_CLASS TEXT("TODAYPLUGINTESTER")

#define NOSKIN_TEXT TEXT("Error: No skin found!")
#define NOSKIN_X    20
#define NOSKIN_Y    1

// The system colour scheme's hue, which zvHost's background follows.
#define COLOR_KEY        TEXT("Software\\Microsoft\\Color")
#define COLOR_VAL_HUE    TEXT("BaseHue")
#define HUE_MASK         511
#define HUE_GREY         123
#define HUE_DARK_BIT     (1UL << 23)
#define HUE_DARK_FROM    301
#define HOST_COLOUR_NONE 9

const COLORREF hostColours[] = {
    RGB(77, 130, 192), RGB(117, 117, 117), RGB(70, 167, 78),  RGB(67, 137, 147), RGB(48, 72, 96),
    RGB(145, 60, 60),  RGB(182, 70, 172),  RGB(185, 133, 69), RGB(140, 65, 165), RGB(0, 0, 0),
};

// The hue ranges of the scheme and the colour each gives: a hue below the bound takes the
// index (hues below 256 were moved up by 256 first).
struct HueRange {
    DWORD below;
    LONG index;
};
const HueRange hueRanges[] = {
    {269, 5}, {295, 7}, {355, 2}, {394, 3}, {425, 4}, {440, 8}, {475, 6}, {494, 5},
};
#define HUE_ABOVE_ALL_INDEX 6

void fillRect(HDC dc, const RECT& rect, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    if (!brush) return;
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

// The host's captured background, handed over with MSG_HOST_BACKDROP: a picture of the screen
// behind the host window.
void copyHostBackdrop(HDC dc, const RECT& client) {
    HBITMAP picture = reinterpret_cast<HBITMAP>(pluginState.hostBackdrop);
    BITMAP bm = {};
    if (!picture || !GetObjectW(picture, sizeof(bm), &bm)) return;
    HDC source = CreateCompatibleDC(dc);
    if (!source) return;
    HGDIOBJ old = SelectObject(source, picture);
    BitBlt(dc, 0, 0, client.right, client.bottom, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
}

// What lies behind the item, first match wins: the tester's window colour, the host's picture
// and colour, or the Today screen's watermark.
void drawBackgroundSource(HDC dc, const RECT& client) {
    if (FindWindowW(TESTER_CLASS, NULL)) {
        FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
        return;
    }
    if (FindWindowW(ZV_CLASS_HOST, NULL)) {
        copyHostBackdrop(dc, client);
        if (!getSettings().hostTransparent) fillRect(dc, client, hostBackgroundColour());
        return;
    }
    TODAYDRAWWATERMARKINFO info = {};
    info.hdc = dc;
    info.rc = client;
    info.hwnd = pluginState.pluginWindow;
    if (pluginState.parentWindow)
        SendMessageW(pluginState.parentWindow, TODAYM_DRAWWATERMARK, 0,
                     reinterpret_cast<LPARAM>(&info));
}

// Copies the freshly painted background under the text window into the text window's own
// picture, so that the list is drawn over what really lies behind it. The picture is made
// anew when the window's size changed (showOffset moves its bottom) or when it is a picture
// with alpha, which a plain copy would leave with the skin's alpha.
void captureTextBackground(HDC dc, SkinDef* skin, const RECT& client) {
    if (logBit(LOG_DETAIL))
        writeLogFormat("refreshWatermark: width: %d, scrn: %d", static_cast<int>(client.right),
                       static_cast<int>(GetSystemMetrics(SM_CXSCREEN)));
    SkinItem& text = skin->items[SKIN_TEXTWINDOW];
    const LONG width = text.right - text.left, height = text.bottom - text.top;
    if (!text.enabled || width <= 0 || height <= 0) return;
    BITMAP bm = {};
    BOOL have = text.bitmap && GetObjectW(text.bitmap, sizeof(bm), &bm);
    if (!have || getSettings().showOffset > 0 || bm.bmWidth != width || bm.bmHeight != height ||
        bm.bmBitsPixel == 32) {
        HBITMAP made = CreateCompatibleBitmap(dc, width, height);
        if (!made) return;
        if (text.bitmap) DeleteObject(text.bitmap);
        text.bitmap = made;
    }
    HDC target = CreateCompatibleDC(dc);
    if (!target) return;
    HGDIOBJ old = SelectObject(target, text.bitmap);
    BitBlt(target, 0, 0, width, height, dc, text.left, text.top, SRCCOPY);
    SelectObject(target, old);
    DeleteDC(target);
}

void drawItem(HDC dc, const SkinItem& item) {
    if (item.enabled && item.bitmap) drawTransparent(dc, item.bitmap, item.left, item.top);
}

// Items 0 to 14 in order, the list right after the text window. Quiet mode shows image_mute's
// picture at its own place instead of image_vol.
void drawSkinItems(HDC dc, const SkinDef* skin) {
    const BOOL quiet = getSettings().quietMode != 0;
    for (int i = 0; i <= SKIN_JOTWELL; ++i) {
        if (i == SKIN_BACKGROUND) continue;
        const SkinItem& item = skin->items[i];
        if (i == SKIN_VOL && quiet && skin->items[SKIN_MUTE].bitmap) {
            if (item.enabled) drawItem(dc, skin->items[SKIN_MUTE]);
            continue;
        }
        drawItem(dc, item);
        if (i == SKIN_TEXTWINDOW && item.enabled) paintData(dc);
    }
}

// Without a skin the item only says so, over whatever lies behind it.
void drawNoSkin(HDC dc, const RECT& client) {
    drawBackgroundSource(dc, client);
    const int oldMode = SetBkMode(dc, OPAQUE);
    const COLORREF oldBack = SetBkColor(dc, RGB(255, 255, 255));
    const COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
    ExtTextOutW(dc, NOSKIN_X, NOSKIN_Y, 0, NULL, NOSKIN_TEXT, lstrlenW(NOSKIN_TEXT), NULL);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
    SetBkMode(dc, oldMode);
    writeLogFormat("** No skin found! skin: %S", getSettings().skinName);
}

LONG dpiXOf(HDC dc) {
    LONG dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    return dpi > 0 ? dpi : 96;
}

} // namespace

BOOL selectionShown(void) {
    return lineSelectMode || pluginState.hasFocus;
}

LONG hostColourIndex(BOOL keyOpened, DWORD baseHue) {
    if (!keyOpened) return HOST_COLOUR_NONE;
    DWORD hue = baseHue & HUE_MASK;
    LONG index = HUE_ABOVE_ALL_INDEX;
    if (hue == HUE_GREY) {
        index = 1;
    } else {
        if (hue < 256) hue += 256;
        for (const HueRange& range : hueRanges)
            if (hue < range.below) {
                index = range.index;
                break;
            }
    }
    if ((baseHue & HUE_DARK_BIT) && hue >= HUE_DARK_FROM) index = HOST_COLOUR_NONE;
    return index;
}

COLORREF hostBackgroundColour(void) {
    HKEY key = NULL;
    BOOL opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, COLOR_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS;
    DWORD value = 0;
    if (opened) {
        DWORD size = sizeof(value), type = 0;
        if (RegQueryValueExW(key, COLOR_VAL_HUE, NULL, &type, reinterpret_cast<BYTE*>(&value),
                             &size) != ERROR_SUCCESS ||
            type != REG_DWORD)
            value = 0; // a missing value counts as hue 0
        RegCloseKey(key);
    }
    return hostColours[hostColourIndex(opened, value)];
}

void drawSkinHilite(HDC dc) {
    const SkinDef* skin = currentSkin;
    if (!dc || !skin || !selectionShown() || pluginState.selectedLine >= 0) return;
    const LONG index = pluginState.navIndex;
    if (index < 0 || index >= skin->navCount || index >= SKIN_NAVORDER_MAX) return;
    const LONG number = skin->navOrder[index];
    if (number < 0 || number >= SKIN_ITEM_COUNT || number == SKIN_TEXTWINDOW) return;
    const SkinItem& item = skin->items[number];
    // A button the skin or activeLinks switched off has no place to frame.
    if (!item.enabled || item.right <= item.left || item.bottom <= item.top) return;
    if (logBit(LOG_DETAIL)) writeLogFormat("drawSkinHilite: item:%d", static_cast<int>(number));
    const LONG width = (skin->hiliteWidth * dpiXOf(dc) + 48) / 96;
    HPEN pen = CreatePen(PS_SOLID, width, skin->hiliteColour);
    if (!pen) return;
    HGDIOBJ oldPen = SelectObject(dc, pen);
    const POINT outline[] = {
        {item.left, item.top},        {item.right - 1, item.top}, {item.right - 1, item.bottom - 1},
        {item.left, item.bottom - 1}, {item.left, item.top},
    };
    Polyline(dc, outline, 5);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

void drawSkin(HDC dc) {
    if (!dc) return;
    SkinDef* skin = currentSkin;
    RECT client = {0, 0, 0, 0};
    if (pluginState.pluginWindow) GetClientRect(pluginState.pluginWindow, &client);
    if (!skin || skin->noSkinFile) {
        drawNoSkin(dc, client);
        return;
    }
    if (client.right <= 0 || client.bottom <= 0) return;
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP picture = mem ? CreateCompatibleBitmap(dc, client.right, client.bottom) : NULL;
    if (!picture) {
        if (mem) DeleteDC(mem);
        return;
    }
    HGDIOBJ oldPicture = SelectObject(mem, picture);

    if (selectionShown() && pluginState.selectedLine < 0) {
        // The whole item is selected: the selection colour, and the text window keeps the
        // background it captured last.
        FillRect(mem, &client, skin->selectionBrush);
        drawItem(mem, skin->items[SKIN_BACKGROUND]);
    } else {
        drawBackgroundSource(mem, client);
        drawItem(mem, skin->items[SKIN_BACKGROUND]);
        if (backgroundDirty) {
            captureTextBackground(mem, skin, client);
            backgroundDirty = FALSE;
        }
    }
    drawSkinItems(mem, skin);
    drawSkinHilite(mem);
    BitBlt(dc, 0, 0, client.right, client.bottom, mem, 0, 0, SRCCOPY);

    SelectObject(mem, oldPicture);
    DeleteObject(picture);
    DeleteDC(mem);
}
