// png.h: PNG files of surfaces: screenshots, the reference pictures of pixel tests.
//
// Inside the platform only (cedev screenshot, tests).
#pragma once

#include <filesystem>
#include <string>

#include "gdi/surface.h"

namespace ce {

// Writes the surface as an 8-bit RGBA PNG (alpha as stored; window content is opaque).
bool writePngFile(const Surface& surface, const std::filesystem::path& file,
                  std::string* error = nullptr);
// Reads a PNG of any colour type into opaque or premultiplied BGRA pixels.
bool readPngFile(const std::filesystem::path& file, Surface* out, std::string* error = nullptr);

} // namespace ce
