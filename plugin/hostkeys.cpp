// hostkeys.cpp: the host keys of a skin (see hostkeys.h) and their copy in the settings key.
#include "hostkeys.h"

#include <strsafe.h>

#include "regnames.h"
#include "regutil.h"
#include "settings.h"
#include "skin.h"
#include "skinparse.h"

// "installFolder\folder\name" for a picture the skin names; empty when it names none or one
// that may not be used.
static void hostImagePath(const char* text, const char* key, LPCWSTR installFolder, LPCWSTR folder,
                          WCHAR* path) {
    path[0] = 0;
    char name[SKIN_VALUE_CCH];
    if (!copySkinValue(findSkinValue(text, key), name, sizeof(name))) return;
    if (!isSafeSkinFileName(name)) return;
    if (FAILED(StringCchPrintfW(path, HOST_IMAGE_PATH_CCH, TEXT("%s\\%s\\%S"), installFolder,
                                folder, name)))
        path[0] = 0;
}

void parseHostKeys(const char* text, LPCWSTR installFolder, LPCWSTR folder, LONG dpiY,
                   HostKeys* keys) {
    keys->frame = 0;
    keys->xOffset = 0;
    keys->yOffset = (dpiY * HOST_YOFFSET_LOGICAL + 48) / 96;
    keys->alpha = HOST_ALPHA_DEFAULT;
    keys->backColour = HOST_BACKCOLOR_DEFAULT;
    keys->backColour2 = HOST_BACKCOLOR_DEFAULT;
    keys->iconOffset = HOST_ICONOFFSET_DEFAULT;
    if (const char* v = findSkinValue(text, "host_frame")) keys->frame = skinNumber(v);
    if (const char* v = findSkinValue(text, "host_offset")) {
        keys->xOffset = skinNumber(v);
        // "x" alone keeps the default y; so does "x," with nothing after the comma.
        const char* comma = v;
        while (*comma && *comma != ',' && *comma != '\n')
            ++comma;
        if (*comma == ',' && startsSkinNumber(comma + 1)) keys->yOffset = skinNumber(comma + 1);
    }
    if (const char* v = findSkinValue(text, "host_alpha")) {
        LONG alpha = skinNumber(v);
        keys->alpha = alpha < 0 ? 0 : alpha > 255 ? 255 : alpha;
    }
    parseSkinColour(findSkinValue(text, "host_backcolor"), &keys->backColour);
    parseSkinColour(findSkinValue(text, "host_backcolor2"), &keys->backColour2);
    hostImagePath(text, "host_image", installFolder, folder, keys->image);
    hostImagePath(text, "host_imagealert", installFolder, folder, keys->imageAlert);
    hostImagePath(text, "host_imageopen", installFolder, folder, keys->imageOpen);
    if (const char* v = findSkinValue(text, "host_imageoffset")) keys->iconOffset = skinNumber(v);
}

static LONG screenDpiY(void) {
    HDC screen = GetDC(NULL);
    LONG dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(NULL, screen);
    return dpi > 0 ? dpi : 96;
}

void readHostKeys(const char* text, LPCWSTR folder) {
    HostKeys keys = {};
    parseHostKeys(text ? text : "", getSettings().installFolder, folder, screenDpiY(), &keys);
    // All ten values, every time: zvHost must not keep the previous skin's look.
    HKEY key = createRegKey(HKEY_CURRENT_USER, ZV_PRODUCT_KEY);
    if (!key) return;
    setDword(key, ZV_VAL_HOSTFRAME, static_cast<DWORD>(keys.frame));
    setDword(key, ZV_VAL_HOSTXOFF, static_cast<DWORD>(keys.xOffset));
    setDword(key, ZV_VAL_HOSTYOFF, static_cast<DWORD>(keys.yOffset));
    setDword(key, ZV_VAL_HOSTALPHA, static_cast<DWORD>(keys.alpha));
    setDword(key, ZV_VAL_HOSTBACKCLR, keys.backColour);
    setDword(key, ZV_VAL_HOSTBACKCLR2, keys.backColour2);
    setString(key, ZV_VAL_HOSTIMAGE, keys.image);
    setString(key, ZV_VAL_HOSTIMAGEALERT, keys.imageAlert);
    setString(key, ZV_VAL_HOSTIMAGEOPEN, keys.imageOpen);
    setDword(key, ZV_VAL_HOSTICONOFFSET, static_cast<DWORD>(keys.iconOffset));
    RegFlushKey(key);
    RegCloseKey(key);
}
