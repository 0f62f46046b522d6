// birthdays.cpp: items without alarm, birthdays and anniversaries.
//
// Not built yet: no birthday list is cached.
#include "birthdays.h"

void freeBirthdayList(void) {}
