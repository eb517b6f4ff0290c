// The picture of cubes_demo read back from its window: it moves on its own,
// and it follows the window's size. The cubes' centres are found by
// projection: a solid cube always covers the pixel its centre projects to.
// With the perspective's aspect of 1.3, a cube at (+-2, +-2, -4) projects to
// x = width / 2 +- 0.3846 * width / 2 and y = 150 or 450, the middle cube to
// the centre of the viewport.
#include <gtest/gtest.h>

#include "demo_session.h"
#include "picture_probes.h"

#include <chrono>
#include <cmath>
#include <sstream>
#include <thread>
#include <vector>

namespace end_to_end {
namespace {

using namespace testing_support;

// The middle cube pulses and turns, so its outline is not symmetric about its
// centre; a lit run through the centre is centred on it within this margin.
constexpr double centreTolerance = 25;

struct Point {
    int x, y;
};

struct ViewportCase {
    const char* name;
    int width, height; // the client size asked for after start; 0 keeps 800 by 600
    Point middleCube;
    std::vector<Point> cornerCubes;
};

const ViewportCase viewportCases[] = {
    {"AsStarted", 0, 0, {400, 300}, {{246, 150}, {554, 150}, {246, 450}, {554, 450}}},
    {"ResizedToSquare", 600, 600, {300, 300}, {{185, 150}, {415, 150}, {185, 450}, {415, 450}}},
};

std::string mismatches(const RgbImage& picture, const ViewportCase& scene) {
    std::ostringstream out;
    for (const Point& corner : scene.cornerCubes)
        if (isBlack(picture.at(corner.x, corner.y)))
            out << "no corner cube at (" << corner.x << ", " << corner.y << ")\n";
    auto across = litRunAcross(picture, scene.middleCube.x, scene.middleCube.y);
    auto down = litRunDown(picture, scene.middleCube.x, scene.middleCube.y);
    if (!across || !down)
        out << "no middle cube at (" << scene.middleCube.x << ", " << scene.middleCube.y << ")\n";
    else if (std::abs(across->middle() - scene.middleCube.x) > centreTolerance ||
             std::abs(down->middle() - scene.middleCube.y) > centreTolerance)
        out << "middle cube spans x " << across->first << ".." << across->last << " and y " << down->first
            << ".." << down->last << ", not centred on (" << scene.middleCube.x << ", " << scene.middleCube.y
            << ")\n";
    return out.str();
}

std::string caseName(const testing::TestParamInfo<ViewportCase>& info) {
    return info.param.name;
}

void PrintTo(const ViewportCase& scene, std::ostream* out) {
    *out << scene.name;
}

class CubesViewport : public testing::TestWithParam<ViewportCase> {};

TEST_P(CubesViewport, FillsTheClientAreaWithThePicture) {
    const ViewportCase& scene = GetParam();
    DemoSession session(cubesDemo);
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

INSTANTIATE_TEST_SUITE_P(Window, CubesViewport, testing::ValuesIn(viewportCases), caseName);

TEST(CubesAnimation, TwoPicturesThreeHundredMillisecondsApartDiffer) {
    DemoSession session(cubesDemo);
    testing_support::WindowId window = session.waitForMainWindow();
    ASSERT_NE(window, 0u) << "no viewable window; stderr: " << session.process.stderrText();
    RgbImage first = session.waitForPicture(
        window, [](const RgbImage& image) { return countLit(image, 0, 0, 800, 600) > 0; });
    ASSERT_GT(countLit(first, 0, 0, 800, 600), 0) << "the window shows no picture";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    RgbImage second = session.observer.capture(window);

    // At 100 degrees a second the cubes turn by about 30 degrees in that time:
    // thousands of pixels change colour.
    EXPECT_GT(countDifferingPixels(first, second), 1000);
}

} // namespace
} // namespace end_to_end
