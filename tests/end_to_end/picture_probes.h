// Questions asked of pixels read back from a window: the hue at a point, a
// black region, a lit run through a point, text drawn somewhere.
#pragma once

#include "x_client.h"

#include <optional>
#include <string>

namespace end_to_end {

enum class Hue { Black, Red, Green, Blue, Other };

// A channel counts as lit from 160 and dark up to 60, so the smooth edges of
// software rendering and dithering do not decide a probe.
Hue hueOf(const testing_support::Rgb& colour);
const char* hueName(Hue hue);
bool isBlack(const testing_support::Rgb& colour);

// Pixels of the rectangle that are not black; the rectangle is clipped to the image.
int countLit(const testing_support::RgbImage& image, int x, int y, int width, int height);

int countDifferingPixels(const testing_support::RgbImage& a, const testing_support::RgbImage& b);

struct Run {
    int first = 0, last = 0;
    double middle() const { return (first + last) / 2.0; }
};

// The stretch of non-black pixels of row y that holds column x; none when
// (x, y) is black or outside the image.
std::optional<Run> litRunAcross(const testing_support::RgbImage& image, int x, int y);
// The same along column x, through row y.
std::optional<Run> litRunDown(const testing_support::RgbImage& image, int x, int y);

// Whether `pattern` (dark on light) appears somewhere in `image` with the
// same pixels dark and light.
bool containsPattern(const testing_support::RgbImage& image, const testing_support::RgbImage& pattern);

std::string describe(const testing_support::Rgb& colour);

} // namespace end_to_end
