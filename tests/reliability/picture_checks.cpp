#include "picture_checks.h"

#include <cmath>
#include <sstream>

namespace reliability {
namespace {

bool lit(unsigned char channel) {
    return channel >= 160;
}
bool dark(unsigned char channel) {
    return channel <= 60;
}

struct Probe {
    const char* what;
    double x, y; // normalized device coordinates
    bool red, green, blue;
};

// Points well inside each shape, and two of the empty background.
const Probe primitivesProbes[] = {
    {"triangle (red)", -0.5, -0.6, true, false, false},
    {"square (blue)", 0.5, 0.5, false, false, true},
    {"pentagon (green)", 0.5, -0.55, false, true, false},
    {"background (black), lower right corner", 0.95, -0.95, false, false, false},
    {"background (black), upper right corner", 0.95, 0.95, false, false, false},
};

std::string describe(const Rgb& colour) {
    std::ostringstream out;
    out << "(" << int(colour.r) << ", " << int(colour.g) << ", " << int(colour.b) << ")";
    return out.str();
}

// The stretch of non-black pixels through (x, y) along one axis; false when
// (x, y) itself is black.
bool litRun(const RgbImage& image, int x, int y, int dx, int dy, double& middle) {
    if (isBlack(image.at(x, y)))
        return false;
    int before = 0, after = 0;
    while (x - dx * (before + 1) >= 0 && y - dy * (before + 1) >= 0 &&
           !isBlack(image.at(x - dx * (before + 1), y - dy * (before + 1))))
        ++before;
    while (x + dx * (after + 1) < image.width && y + dy * (after + 1) < image.height &&
           !isBlack(image.at(x + dx * (after + 1), y + dy * (after + 1))))
        ++after;
    middle = (dx ? x : y) + (after - before) / 2.0;
    return true;
}

} // namespace

bool isBlack(const Rgb& colour) {
    return dark(colour.r) && dark(colour.g) && dark(colour.b);
}

int countLit(const RgbImage& image) {
    int count = 0;
    for (const Rgb& pixel : image.pixels)
        count += !isBlack(pixel);
    return count;
}

std::string primitivesMismatches(const RgbImage& picture) {
    if (picture.width != 800 || picture.height != 600)
        return "the picture is " + std::to_string(picture.width) + " by " + std::to_string(picture.height) +
               ", not 800 by 600\n";
    std::ostringstream out;
    for (const Probe& probe : primitivesProbes) {
        int x = static_cast<int>((probe.x + 1) * 400), y = static_cast<int>((1 - probe.y) * 300);
        const Rgb& seen = picture.at(x, y);
        bool right = (probe.red ? lit(seen.r) : dark(seen.r)) && (probe.green ? lit(seen.g) : dark(seen.g)) &&
                     (probe.blue ? lit(seen.b) : dark(seen.b));
        if (!right)
            out << probe.what << ": " << describe(seen) << " at (" << x << ", " << y << ")\n";
    }
    return out.str();
}

std::string cubesMismatches(const RgbImage& picture, int width, int height) {
    if (picture.width != width || picture.height != height)
        return "the picture is " + std::to_string(picture.width) + " by " + std::to_string(picture.height) +
               ", not " + std::to_string(width) + " by " + std::to_string(height) + "\n";
    std::ostringstream out;
    // A cube at (+-2, +-2, -4) seen with a 90 degree field of view and the
    // scene's fixed aspect of 1.3 lands at +-0.3846 across and +-0.5 down
    // in normalized coordinates.
    const double across = 2.0 / 4.0 / 1.3, down = 2.0 / 4.0;
    for (int sx : {-1, 1})
        for (int sy : {-1, 1}) {
            int x = static_cast<int>(std::lround((1 + sx * across) * width / 2));
            int y = static_cast<int>(std::lround((1 - sy * down) * height / 2));
            if (isBlack(picture.at(x, y)))
                out << "no corner cube at (" << x << ", " << y << ")\n";
        }
    // The middle cube pulses and turns, so its outline is centred on the
    // viewport's centre only within a margin.
    const double tolerance = 25;
    int cx = width / 2, cy = height / 2;
    double middleX = 0, middleY = 0;
    if (!litRun(picture, cx, cy, 1, 0, middleX) || !litRun(picture, cx, cy, 0, 1, middleY))
        out << "no middle cube at (" << cx << ", " << cy << ")\n";
    else if (std::abs(middleX - cx) > tolerance || std::abs(middleY - cy) > tolerance)
        out << "the middle cube is centred on (" << middleX << ", " << middleY << "), not (" << cx << ", "
            << cy << ")\n";
    return out.str();
}

} // namespace reliability
