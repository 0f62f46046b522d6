// cmd_shell.cpp: cedev shell start|stop|status and cedev rotate.
#include "cedev.h"

namespace cedev {

int cmdShell(const Args&) {
    return fail("shell: not built yet");
}

int cmdRotate(const Args&) {
    return fail("rotate: not built yet");
}

} // namespace cedev
