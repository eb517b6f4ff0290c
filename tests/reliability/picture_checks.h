// What the demos' pictures must show, asked of pixels read back from their
// windows. Each check returns what is wrong, one line per finding; an empty
// string means the picture is right.
#pragma once

#include "x_client.h"

#include <string>

namespace reliability {

using testing_support::Rgb;
using testing_support::RgbImage;

// A channel counts as lit from 160 and dark up to 60, so that smooth edges
// and the coarse channels of a 16-bit visual do not decide a probe.
bool isBlack(const Rgb& colour);
int countLit(const RgbImage& image);

// primitives_demo at 800 by 600: the red triangle, the blue square and the
// green pentagon where the scene puts them, and black background around.
std::string primitivesMismatches(const RgbImage& picture);

// cubes_demo in a width by height client area with the viewport following
// it: the four corner cubes where the perspective projects them and the
// middle cube centred in the area.
std::string cubesMismatches(const RgbImage& picture, int width, int height);

} // namespace reliability
