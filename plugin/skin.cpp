// skin.cpp: loading and releasing skins.
//
// Skin files are not read yet: loadSkin finds nothing, so the item stays without a skin and
// keeps its height of 0 on the Today screen.
#include "skin.h"

#include "settings.h"

SkinDef* currentSkin = nullptr;

BOOL loadSkin(WCHAR* skinName) {
    (void)skinName;
    return FALSE;
}

BOOL loadSkinFromSettings(void) {
    WCHAR name[SKIN_NAME_CCH] = {};
    lstrcpynW(name, getSettings().skinName, SKIN_NAME_CCH);
    return loadSkin(name);
}

void freeSkin(void) {
    currentSkin = nullptr;
}

void getAllSpaceHeight(void) {}

LONG scrollThumbOrigin(void) {
    return currentSkin ? currentSkin->thumbOrigin : 0;
}
