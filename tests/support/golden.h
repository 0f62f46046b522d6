// golden.h: pixel tests against reference pictures. A drawn picture is compared with
// tests/golden/<area>/<name>.png; on a difference the drawn picture (NAME_err.png) and a
// difference picture (NAME_diff.png: differing pixels in red over a faded copy of the
// reference) go into golden-failures/ beside the test binary. ZV_UPDATE_GOLDEN=1 in the
// environment rewrites the reference from what was drawn, after a person has looked at it.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "gdi/surface.h"

namespace cetest {

// Compares drawn (alpha ignored) with tests/golden/<area>/<name>.png.
::testing::AssertionResult matchesGoldenPicture(const ce::Surface& drawn, const std::string& area,
                                                const std::string& name);

} // namespace cetest
