#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <string>

namespace marvok::testing {

// Judges a rendered scene against its reference picture,
// tests/screen/pictures/<scene>.png, pixel for pixel. A picture with an alpha
// channel keeps it; any other is compared as opaque RGB. On a mismatch the
// rendered picture and a map of the differences are left in the build's
// reference-picture-failures folder. With MARVOK_RECORD_PICTURES=1 in the
// environment the rendered picture becomes the reference instead. A missing
// reference always fails: a new scene is recorded on purpose.
::testing::AssertionResult matches_reference_picture(const std::string& scene, const QImage& rendered);

}  // namespace marvok::testing
