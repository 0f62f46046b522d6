// listicons.cpp: the built-in list icons.
//
// The icons are not loaded yet, so there is nothing to destroy.
#include "listicons.h"

void destroyListIcons(void) {}
