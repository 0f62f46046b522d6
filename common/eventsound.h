// eventsound.h: the system's event-sound service (ossvcs.dll), through which the product plays
// alarm sounds as the device's own events do.
#pragma once

#include <windows.h>

// Prepares the event-sound routines (loads the library on a device that has it).
void initEventSound(void);
// Unloads the event-sound library if it was loaded.
void unloadEventSound(void);
