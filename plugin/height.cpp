// height.cpp: the item's height on the Today screen. The Today screen asks regularly
// (WM_TODAYCUSTOM_QUERYREFRESHCACHE); the item recomputes the height only after something
// changed it (a new list, a settings change) or while it still has none, and answers TRUE when
// the height is new, so that the Today screen lays its items out again.
#include "plugin.h"

#include "alarmlist.h"
#include "paint.h"
#include "regnames.h"
#include "regutil.h"
#include "settings.h"
#include "skin.h"

namespace {

#define ZV_VAL_SKINHEIGHT TEXT("skinHeight")

LONG screenDpiY(void) {
    HDC screen = GetDC(nullptr);
    LONG dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// The height the skin asks for: its own todayHeight, or, when the settings let the item follow
// the list and the list is short, just enough for the list (never less than the text window's
// smallest height, extra1).
LONG skinItemHeight(const SkinDef* skin, LONG current) {
    const SkinItem& text = skin->items[SKIN_TEXTWINDOW];
    if (!text.enabled) return current;
    LONG rows = skin->lineHeight * alarmCount;
    LONG margin = scaleLogical(ITEM_MARGIN_LOGICAL, screenDpiY());
    LONG listSpace = text.bottom - text.top;
    if (getSettings().showOffset <= 0 || margin + rows >= listSpace ||
        margin + rows >= skin->todayHeight)
        return skin->todayHeight;
    return text.top + (rows > text.extra1 ? rows : text.extra1);
}

} // namespace

BOOL queryRefreshCache(HWND window, TODAYLISTITEM* item) {
    (void)window;
    if (!item) return FALSE;
    if (!pluginState.heightChanged && item->cyp != 0) return FALSE;
    LONG old = static_cast<LONG>(item->cyp);
    LONG height = currentSkin ? skinItemHeight(currentSkin, old) : old;
    item->cyp = static_cast<DWORD>(height);
    pluginState.heightChanged = FALSE;
    if (height == old) {
        // Same height: the Today screen will not lay out, so show the new list here.
        paintData(nullptr);
        return FALSE;
    }
    pluginState.itemHeight = height;
    writeRegDword(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_SKINHEIGHT, static_cast<DWORD>(height),
                  REGW_CREATE | REGW_FLUSH);
    return TRUE;
}
