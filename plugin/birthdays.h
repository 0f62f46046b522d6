// birthdays.h: calendar items without alarm, birthdays and anniversaries from the contacts.
#pragma once

#include <windows.h>

// Frees the cached birthday list with its texts.
void freeBirthdayList(void);
