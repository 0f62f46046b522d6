// listicons.h: the 17 built-in icons that mark the kinds of alarm in the list when the skin
// has no small icons of its own, and the bitmaps made from them.
#pragma once

#include <windows.h>

#define LIST_ICON_COUNT 17

// The icons, in kind order; null where one could not be loaded.
extern HICON listIcons[LIST_ICON_COUNT];
// Loads the icons from the library's resources, 10 logical pixels high.
void loadListIcons(void);
// Destroys the icons and their cached bitmaps.
void destroyListIcons(void);
