// golden.cpp: the reference-picture comparison of the pixel tests.
#include "golden.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "gdi/png.h"

namespace cetest {

namespace fs = std::filesystem;

namespace {

fs::path failureDir() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    fs::path dir = n > 0 ? fs::path(std::string(buf, static_cast<size_t>(n))).parent_path()
                         : fs::current_path();
    return dir / "golden-failures";
}

} // namespace

::testing::AssertionResult matchesGoldenPicture(const ce::Surface& drawn, const std::string& area,
                                                const std::string& name) {
    fs::path golden = fs::path(ZV_SOURCE_DIR) / "tests" / "golden" / area / (name + ".png");
    const char* update = std::getenv("ZV_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::string error;
        fs::create_directories(golden.parent_path());
        if (!ce::writePngFile(drawn, golden, &error))
            return ::testing::AssertionFailure() << "cannot update " << golden << ": " << error;
        return ::testing::AssertionSuccess();
    }
    ce::Surface expected;
    std::string error;
    bool have = ce::readPngFile(golden, &expected, &error);
    fs::create_directories(failureDir());
    fs::path errFile = failureDir() / (name + "_err.png");
    if (!have || expected.width != drawn.width || expected.height != drawn.height) {
        ce::writePngFile(drawn, errFile);
        return ::testing::AssertionFailure()
               << "reference " << golden << (have ? " has another size" : " missing: " + error)
               << "; drawn picture in " << errFile << " (ZV_UPDATE_GOLDEN=1 writes it)";
    }
    int differing = 0;
    ce::Surface diff(drawn.width, drawn.height);
    for (size_t i = 0; i < drawn.pixels.size(); ++i) {
        uint32_t a = drawn.pixels[i] & 0xFFFFFF, b = expected.pixels[i] & 0xFFFFFF;
        if (a != b) {
            ++differing;
            diff.pixels[i] = 0xFFFF0000u;
        } else {
            // A faded copy of the reference, so the red stands out.
            uint32_t grey = (((b >> 16) & 0xFF) + ((b >> 8) & 0xFF) + (b & 0xFF)) / 3;
            grey = 192 + grey / 4;
            diff.pixels[i] = 0xFF000000u | (grey << 16) | (grey << 8) | grey;
        }
    }
    if (differing == 0) return ::testing::AssertionSuccess();
    ce::writePngFile(drawn, errFile);
    ce::writePngFile(diff, failureDir() / (name + "_diff.png"));
    return ::testing::AssertionFailure()
           << differing << " pixels differ from " << golden << "; see " << errFile << " and "
           << name << "_diff.png beside it";
}

} // namespace cetest
