// The picture of primitives_demo read back from its window, as started and
// after the window was enlarged: the scene stays in an 800 by 600 viewport at
// the lower-left corner of the client area, and the clear still covers the
// rest of it.
#include <gtest/gtest.h>

#include "demo_session.h"
#include "picture_probes.h"

#include <sstream>
#include <vector>

namespace end_to_end {
namespace {

using namespace testing_support;

struct Probe {
    int x, y;
    Hue hue;
    const char* what;
};

struct PictureCase {
    const char* name;
    int width, height; // the client size asked for after start; 0 keeps 800 by 600
    std::vector<Probe> probes;
    int blackRowsAtTop;      // rows above the viewport, all black
    int blackColumnsAtRight; // columns right of the viewport, all black
};

// The probes sit well inside their shapes: the blue square spans x 480..720
// and rows 60..240 from the viewport's top; the red triangle's centre of mass
// is at (200, 480).
const PictureCase pictureCases[] = {
    {"AsStarted",
     0,
     0,
     {{600, 150, Hue::Blue, "blue square, upper right"},
      {200, 480, Hue::Red, "red triangle, lower left"},
      {2, 2, Hue::Black, "top-left corner"},
      {797, 2, Hue::Black, "top-right corner"},
      {2, 597, Hue::Black, "bottom-left corner"},
      {797, 597, Hue::Black, "bottom-right corner"}},
     0,
     0},
    {"Enlarged",
     1000,
     800,
     {{600, 350, Hue::Blue, "blue square, moved down with the bottom edge"},
      {485, 265, Hue::Blue, "blue square, its top-left corner"},
      {715, 435, Hue::Blue, "blue square, its bottom-right corner"},
      {475, 350, Hue::Black, "left of the blue square"},
      {725, 350, Hue::Black, "right of the blue square"},
      {200, 680, Hue::Red, "red triangle, moved down with the bottom edge"},
      {600, 150, Hue::Black, "where the blue square was"}},
     200,
     200},
};

std::string mismatches(const RgbImage& picture, const PictureCase& scene) {
    std::ostringstream out;
    for (const Probe& probe : scene.probes) {
        Hue seen = hueOf(picture.at(probe.x, probe.y));
        if (seen != probe.hue)
            out << probe.what << " at (" << probe.x << ", " << probe.y << "): " << hueName(seen) << " "
                << describe(picture.at(probe.x, probe.y)) << " instead of " << hueName(probe.hue) << "\n";
    }
    if (int lit = countLit(picture, 0, 0, picture.width, scene.blackRowsAtTop))
        out << lit << " lit pixels in the top " << scene.blackRowsAtTop << " rows\n";
    if (int lit = countLit(picture, picture.width - scene.blackColumnsAtRight, 0, scene.blackColumnsAtRight,
                           picture.height))
        out << lit << " lit pixels in the right " << scene.blackColumnsAtRight << " columns\n";
    return out.str();
}

std::string caseName(const testing::TestParamInfo<PictureCase>& info) {
    return info.param.name;
}

void PrintTo(const PictureCase& scene, std::ostream* out) {
    *out << scene.name;
}

class PrimitivesPicture : public testing::TestWithParam<PictureCase> {};

TEST_P(PrimitivesPicture, ShowsTheSceneInAnEightHundredBySixHundredViewportAtTheLowerLeft) {
    const PictureCase& scene = GetParam();
    DemoSession session(primitivesDemo);
    testing_support::WindowId window = session.waitForMainWindow();
    ASSERT_NE(window, 0u) << "no viewable window; stderr: " << session.process.stderrText();
    if (scene.width) {
        session.observer.resize(window, scene.width, scene.height);
        ASSERT_TRUE(session.observer.waitForSize(window, scene.width, scene.height, pictureTimeoutMs));
    }

    int width = scene.width ? scene.width : 800, height = scene.height ? scene.height : 600;
    RgbImage picture = session.waitForPicture(window, [&](const RgbImage& image) {
        return image.width == width && image.height == height && mismatches(image, scene).empty();
    });
    ASSERT_EQ(picture.width, width);
    ASSERT_EQ(picture.height, height);
    EXPECT_EQ(mismatches(picture, scene), "");
    EXPECT_TRUE(session.process.running()) << "stderr: " << session.process.stderrText();
}

INSTANTIATE_TEST_SUITE_P(Window, PrimitivesPicture, testing::ValuesIn(pictureCases), caseName);

} // namespace
} // namespace end_to_end
