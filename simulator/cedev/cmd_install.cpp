// cmd_install.cpp: cedev install, the product's package installer.
#include "cedev.h"

namespace cedev {

int cmdInstall(const Args&) {
    return fail("install: not built yet");
}

} // namespace cedev
