// Pictures the harness tests write for people to look at (into the build's test-output folder).
#pragma once

#include <string>

#include "platform/testing.h"

namespace velmora_test {

// Writes a presented picture as a PNG; false when it cannot be written.
bool WritePicture(const plat::testing::PresentedPicture& pic, const std::string& name);

}  // namespace velmora_test
