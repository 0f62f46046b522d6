// image_fuzz.cpp: PNG files as the device reads them (pictures of other programs, skins later)
// and the display record other processes of the device write, fed arbitrary bytes. A PNG
// either loads into a surface of the size it declares or fails cleanly; a display record that
// parses prints back to one that parses the same.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>

#include "display/x11display.h"
#include "gdi/png.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (auto record = ce::display::parseDisplayRecord(text)) {
        auto again = ce::display::parseDisplayRecord(ce::display::formatDisplayRecord(*record));
        if (!again || again->display != record->display ||
            again->desktopWindow != record->desktopWindow)
            abort();
    }

    // The reader takes files: one scratch file per fuzzing process, rewritten per input.
    static const std::string path = "/tmp/image_fuzz." + std::to_string(getpid()) + ".png";
    if (FILE* f = fopen(path.c_str(), "wb")) {
        fwrite(data, 1, size, f);
        fclose(f);
        ce::Surface surface;
        if (ce::readPngFile(path, &surface) &&
            surface.pixels.size() != size_t(surface.width) * size_t(surface.height))
            abort();
    }
    return 0;
}
