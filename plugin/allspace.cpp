// allspace.cpp: the "Use all space" height (showOffset 1): the text window grows down to the
// bottom of the window that holds the Today screen's items, in whole lines, so the list uses
// the screen below the item; an item placed lower gets fewer lines. The skin loader calls it
// for a text window with the 't' option, and the skin-refresh timer again after every move.
#include "skin.h"

#include "log.h"
#include "plugin.h"

// The gap kept below the last line, 2 pixels at 96 dots per inch.
#define ALLSPACE_GAP_LOGICAL 2

// The Today screen's item holder: the window after the first grandchild of the desktop; the
// item's parent when the tree is not like that.
static HWND findItemHolder(void) {
    HWND first = GetWindow(GetDesktopWindow(), GW_CHILD);
    HWND grandchild = first ? GetWindow(first, GW_CHILD) : NULL;
    HWND holder = grandchild ? GetWindow(grandchild, GW_HWNDNEXT) : NULL;
    return holder ? holder : pluginState.parentWindow;
}

void getAllSpaceHeight(void) {
    SkinDef* skin = currentSkin;
    if (!skin || skin->lineHeight <= 0) return;
    SkinItem& text = skin->items[SKIN_TEXTWINDOW];
    if (!text.enabled) return;
    RECT holder = {};
    HWND holderWindow = findItemHolder();
    if (!holderWindow || !GetWindowRect(holderWindow, &holder)) return;
    POINT origin = {0, 0};
    if (pluginState.pluginWindow && pluginState.parentWindow)
        MapWindowPoints(pluginState.pluginWindow, pluginState.parentWindow, &origin, 1);
    HDC screen = GetDC(NULL);
    LONG dpiY = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(NULL, screen);
    const LONG gap = (dpiY + 24) * ALLSPACE_GAP_LOGICAL / 96;
    const LONG available = holder.bottom - gap - text.top - holder.top;
    LONG lines = (available - origin.y) / skin->lineHeight;
    // At least one line: an item below the holder's end still shows its first alarm.
    if (lines < 1) lines = 1;
    text.bottom = text.top + lines * skin->lineHeight + gap;
    if (skin->todayHeight != text.bottom) pluginState.heightChanged = TRUE;
    skin->todayHeight = text.bottom;
    SkinItem& down = skin->items[SKIN_SCROLLDOWN];
    const LONG downHeight = down.bottom - down.top;
    down.bottom = text.bottom;
    down.top = text.bottom - downHeight;
    if (logBit(LOG_DETAIL))
        writeLogFormat("getAllSpaceHeight: Height:%d, (%d x %d), B:%d, top:%d, off:%d",
                       static_cast<int>(available - origin.y), static_cast<int>(lines),
                       static_cast<int>(skin->lineHeight),
                       static_cast<int>(holder.bottom - holder.top), static_cast<int>(origin.y),
                       static_cast<int>(text.top));
}
