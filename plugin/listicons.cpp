// listicons.cpp: the built-in list icons, the library's own icon resources in kind order.
#include "listicons.h"

#include "plugin.h"

HICON listIcons[LIST_ICON_COUNT] = {};

namespace {

// The resource numbers of the icons of kinds 0 to 16.
const WORD listIconIds[LIST_ICON_COUNT] = {109, 108, 106, 115, 141, 143, 102, 144, 145,
                                           103, 116, 137, 136, 153, 161, 162, 168};
#define LIST_ICON_LOGICAL 10

} // namespace

void loadListIcons(void) {
    HDC screen = GetDC(nullptr);
    LONG dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    LONG size = scaleLogical(LIST_ICON_LOGICAL, dpi > 0 ? dpi : 96);
    for (int i = 0; i < LIST_ICON_COUNT; ++i) {
        if (listIcons[i]) continue;
        listIcons[i] = static_cast<HICON>(LoadImageW(
            pluginState.instance, MAKEINTRESOURCEW(listIconIds[i]), IMAGE_ICON, size, size, 0));
    }
}

void destroyListIcons(void) {
    for (HICON& icon : listIcons) {
        if (icon) DestroyIcon(icon);
        icon = nullptr;
    }
}
