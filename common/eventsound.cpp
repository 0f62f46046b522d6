// eventsound.cpp: the event-sound service.
//
// The sound engine does not load the service yet, so there is nothing to unload.
#include "eventsound.h"

void initEventSound(void) {}

void unloadEventSound(void) {}
