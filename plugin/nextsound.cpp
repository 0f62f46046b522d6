// nextsound.cpp: choosing the next alarm's sound.
//
// Not built yet: nextSound is not written.
#include "nextsound.h"

void setNextSound(void) {}
