#include "picture_probes.h"

#include <algorithm>
#include <cstdlib>

namespace end_to_end {
namespace {

using testing_support::Rgb;
using testing_support::RgbImage;

bool lit(unsigned char channel) {
    return channel >= 160;
}
bool dark(unsigned char channel) {
    return channel <= 60;
}
bool darkPixel(const Rgb& colour) {
    return (colour.r + colour.g + colour.b) < 3 * 128;
}

} // namespace

Hue hueOf(const Rgb& colour) {
    if (dark(colour.r) && dark(colour.g) && dark(colour.b))
        return Hue::Black;
    if (lit(colour.r) && dark(colour.g) && dark(colour.b))
        return Hue::Red;
    if (dark(colour.r) && lit(colour.g) && dark(colour.b))
        return Hue::Green;
    if (dark(colour.r) && dark(colour.g) && lit(colour.b))
        return Hue::Blue;
    return Hue::Other;
}

const char* hueName(Hue hue) {
    switch (hue) {
    case Hue::Black:
        return "black";
    case Hue::Red:
        return "red";
    case Hue::Green:
        return "green";
    case Hue::Blue:
        return "blue";
    case Hue::Other:
        break;
    }
    return "other";
}

bool isBlack(const Rgb& colour) {
    return hueOf(colour) == Hue::Black;
}

int countLit(const RgbImage& image, int x, int y, int width, int height) {
    int count = 0;
    for (int row = std::max(0, y); row < std::min(image.height, y + height); ++row)
        for (int column = std::max(0, x); column < std::min(image.width, x + width); ++column)
            count += !isBlack(image.at(column, row));
    return count;
}

int countDifferingPixels(const RgbImage& a, const RgbImage& b) {
    if (a.width != b.width || a.height != b.height)
        return a.width * a.height;
    int count = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) {
        const Rgb &p = a.pixels[i], &q = b.pixels[i];
        count += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b) > 48;
    }
    return count;
}

std::optional<Run> litRunAcross(const RgbImage& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height || isBlack(image.at(x, y)))
        return std::nullopt;
    Run run{x, x};
    while (run.first > 0 && !isBlack(image.at(run.first - 1, y)))
        --run.first;
    while (run.last + 1 < image.width && !isBlack(image.at(run.last + 1, y)))
        ++run.last;
    return run;
}

std::optional<Run> litRunDown(const RgbImage& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height || isBlack(image.at(x, y)))
        return std::nullopt;
    Run run{y, y};
    while (run.first > 0 && !isBlack(image.at(x, run.first - 1)))
        --run.first;
    while (run.last + 1 < image.height && !isBlack(image.at(x, run.last + 1)))
        ++run.last;
    return run;
}

bool containsPattern(const RgbImage& image, const RgbImage& pattern) {
    if (pattern.empty() || pattern.width > image.width || pattern.height > image.height)
        return false;
    for (int top = 0; top + pattern.height <= image.height; ++top)
        for (int left = 0; left + pattern.width <= image.width; ++left) {
            bool same = true;
            for (int y = 0; same && y < pattern.height; ++y)
                for (int x = 0; same && x < pattern.width; ++x)
                    same = darkPixel(pattern.at(x, y)) == darkPixel(image.at(left + x, top + y));
            if (same)
                return true;
        }
    return false;
}

std::string describe(const Rgb& colour) {
    return "(" + std::to_string(colour.r) + ", " + std::to_string(colour.g) + ", " +
           std::to_string(colour.b) + ")";
}

} // namespace end_to_end
