// recurring.cpp: the recurring alarms.
//
// Recurring alarms are not built yet: there is nothing to re-arm.
#include "recurring.h"

void checkForRecurringAlarms(void) {}

void deleteRecurAlarm(const char* key) {
    (void)key;
}
