// cmd_screenshot.cpp: cedev screenshot FILE.png, a picture of what the device's screen shows
// now (the desktop window with every window inside it).
#include "cedev.h"
#include "display/x11driver.h"
#include "gdi/png.h"

namespace cedev {

int cmdScreenshot(const Args& args) {
    if (args.size() != 1) return usage("usage: cedev screenshot FILE.png");
    if (!needDevice()) return 1;
    auto record = ce::display::readDisplayRecord();
    if (!record) return fail("the device's display is not running (cedev display start)");
    std::string error;
    auto driver = ce::display::X11Driver::open(*record, ce::display::EventSink{}, &error);
    if (!driver) return fail("the device's display is not running: " + error);
    auto surface = driver->captureScreen();
    if (!ce::writePngFile(*surface, args[0], &error)) return fail("screenshot: " + error);
    return 0;
}

} // namespace cedev
