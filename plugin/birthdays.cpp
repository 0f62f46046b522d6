// birthdays.cpp: items without alarm, birthdays and anniversaries.
//
// Not built yet: nothing is added to the list and no birthday list is cached.
#include "birthdays.h"

LONG getCalItemsWithoutAlarm(AlarmList* list, LONG showMask, LONG count, LONG limit, LONG mode,
                             const FILETIME* windowEnd) {
    (void)list;
    (void)showMask;
    (void)limit;
    (void)mode;
    (void)windowEnd;
    return count;
}

void freeBirthdayList(void) {}
