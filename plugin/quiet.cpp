// quiet.cpp: quiet mode, the mute button and the battery time-out.
//
// The toggle with its menu and the battery time-out are not built yet; the direct request of
// another program (externalMute) is.
#include "quiet.h"

#include "log.h"
#include "regnames.h"
#include "regutil.h"
#include "settings.h"
#include "skin.h"

void toggleQuietMode(HWND window, LONG x, LONG y, LONG direct) {
    (void)window;
    (void)x;
    (void)y;
    (void)direct;
}

void setBatteryTimeout(void) {}

void externalMute(HWND window, WPARAM wanted, LPARAM mode) {
    PluginSettings& settings = getSettings();
    if (logBit(LOG_BASIC))
        writeLogFormat("MSG_EXTERNAL_MUTE: %d, %d, mode:%d", static_cast<int>(wanted),
                       static_cast<int>(mode), static_cast<int>(settings.quietMode));
    BOOL quiet = settings.quietMode != 0;
    if (mode == 1) {
        // Through the toggle only when the state really is to change: zvWakeup repeats its
        // request, and a second toggle would undo the first.
        if ((wanted == 0 && quiet) || (wanted == 1 && !quiet)) toggleQuietMode(window, 0, 0, 1);
        return;
    }
    if (wanted == 1 && !quiet)
        settings.quietMode = 1;
    else if (wanted == 0 && quiet)
        settings.quietMode = 0;
    writeRegDword(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_QUIETMODE,
                  static_cast<DWORD>(settings.quietMode), REGW_CREATE | REGW_FLUSH);
    if (currentSkin) {
        const SkinItem& vol = currentSkin->items[SKIN_VOL];
        RECT rect = {vol.left, vol.top, vol.right, vol.bottom};
        InvalidateRect(window, &rect, FALSE);
    }
    UpdateWindow(window);
}
