// nextsound.h: the sound of the next alarm, chosen ahead of time and published in the registry
// value nextSound for the alarm thread.
#pragma once

#include <windows.h>

void setNextSound(void);
