// cmd_today.cpp: cedev today ..., requests to the shell's Today screen.
#include "cedev.h"

namespace cedev {

int cmdToday(const Args&) {
    return fail("today: not built yet");
}

} // namespace cedev
