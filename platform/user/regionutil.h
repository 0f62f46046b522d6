// regionutil.h: handing the window system's rectangle lists back to callers as region
// objects (GetUpdateRgn, GetWindowRgn, ScrollWindowEx's update region).
//
// Inside the platform only (platform/user).
#pragma once

#include "gdi/surface.h"
#include "windows.h"

namespace ce::user {

// Replaces the rectangles of an existing region object; returns the region kind
// (NULLREGION, SIMPLEREGION, COMPLEXREGION) or ERROR (0) when target is not a region.
inline int copyRectsToRegion(HRGN target, const RectList& rects) {
    if (!target) return ERROR;
    HRGN tmp = createRegionFromRects(rects);
    if (!tmp) return ERROR;
    int kind = CombineRgn(target, tmp, nullptr, RGN_COPY);
    DeleteObject(tmp);
    return kind;
}

} // namespace ce::user
