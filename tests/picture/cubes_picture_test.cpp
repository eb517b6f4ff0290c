// The cube scene as Mesa draws it into a real window on a private Xvfb, read
// back through a second X connection, at tick counts the test chooses.
//
// The clock is frozen through a link seam: this program defines GetTickCount,
// so the linker never takes the layer's. The window procedure is the test's
// own and, like the program's, follows size changes with GlWindow::resize.
// Expected pictures come from cube_model, which works the scene out by ray
// casting, not through OpenGL.

// Before Xlib, whose None macro breaks the framework's headers.
#include <gtest/gtest.h>

#include "cube_scene.h"
#include "cube_scene_model.h"
#include "gl_window.h"
#include "picture.h"
#include "private_display_environment.h"
#include "window_reader.h"

#include <windows.h>

#include <cmath>
#include <optional>
#include <string>

using cube_model::Cube;
using cube_model::Pose;
using picture::Box;
using picture::Picture;
using picture::Rgb;

namespace {

// Mesa draws into it in software. Large enough that an enlarged window still
// lies wholly on the screen, which reading a window's pixels needs.
::testing::Environment* const privateDisplay =
    ::testing::AddGlobalTestEnvironment(new testing_support::PrivateDisplayEnvironment("1280x1024x24"));

DWORD frozenTick = 0;
GlWindow* followedWindow = nullptr;

} // namespace

extern "C" DWORD WINAPI GetTickCount(void) {
    return frozenTick;
}

LRESULT CALLBACK windowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE && followedWindow)
        followedWindow->resize(LOWORD(lParam), HIWORD(lParam));
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

namespace {

const Rgb black{0, 0, 0};
const Rgb blue{0, 0, 255};
const Rgb green{0, 255, 0};
const Rgb cyan{0, 255, 255};
const Rgb magenta{255, 0, 255};
const Rgb yellow{255, 255, 0};
const Rgb red{255, 0, 0};

void pumpMessages(int passes) {
    MSG message;
    for (int i = 0; i < passes; ++i)
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
}

class CubesPicture : public ::testing::Test {
  protected:
    void SetUp() override {
        followedWindow = &window;
        ASSERT_TRUE(window.create(800, 600, 32, false));
        initGL();
        reader.awaitViewable();
        pumpMessages(3);
    }
    void TearDown() override {
        if (HasFailure() && lastPicture.width() > 0) {
            std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
            lastPicture.savePpm("cubes_" + name + ".ppm");
        }
        window.destroy();
        followedWindow = nullptr;
    }

    // One pass of the program's loop with the clock at tick, then the window's pixels.
    Picture frameAt(DWORD tick) {
        frozenTick = tick;
        drawScene();
        SwapBuffers(window.hDC);
        lastPicture = reader.capture();
        return lastPicture;
    }
    // The first frame of a context draws its first cube without a perspective;
    // tests of later frames start after it.
    void drawFirstFrame() { frameAt(0); }

    GlWindow window;
    picture::WindowReader reader;
    Picture lastPicture;
};

// The pixel holding the eye-space image of a point of a cube.
struct Pixel {
    int column, row;
};
Pixel pixelOf(Cube cube, const Pose& pose, cube_model::Vec3 local, int width, int height) {
    cube_model::ScreenPoint p =
        cube_model::project(cube_model::placeInEyeSpace(cube, pose, local), width, height);
    return {int(std::floor(p.column)), int(std::floor(p.row))};
}

// Rasterising and ray casting both sample pixel centres, so they part only
// where an edge passes within rounding of a centre: a few pixels a frame.
void expectSamePicture(const Picture& actual, const Picture& expected) {
    EXPECT_EQ(picture::differencesAwayFromEdges(actual, expected), 0);
    EXPECT_LE(picture::differences(actual, expected), 40);
}

bool inPalette(Rgb c) {
    for (Rgb allowed : {black, blue, green, cyan, magenta, yellow})
        if (c == allowed)
            return true;
    return false;
}

// The run of pixels of one colour through a pixel, across and down.
struct Extent {
    int width = 0, height = 0;
};
Extent extentThrough(const Picture& p, int column, int row) {
    Rgb c = p.at(column, row);
    int left = column, right = column, top = row, bottom = row;
    while (left > 0 && p.at(left - 1, row) == c)
        --left;
    while (right < p.width() - 1 && p.at(right + 1, row) == c)
        ++right;
    while (top > 0 && p.at(column, top - 1) == c)
        --top;
    while (bottom < p.height() - 1 && p.at(column, bottom + 1) == c)
        ++bottom;
    return {right - left + 1, bottom - top + 1};
}

// How many pixel centres lie within half of span either side of the middle
// of n pixels.
int centresWithin(double span, int n) {
    int count = 0;
    for (int i = 0; i < n; ++i)
        count += std::fabs(i + 0.5 - n / 2.0) < span / 2 ? 1 : 0;
    return count;
}

// The unturned middle cube of edge s shows only its front face, a square at
// distance 4 - s/2: it spans s/(4 - s/2) of the view's height of 2 units and
// that divided by the aspect 1.3 of its width.
Extent expectedMiddleFace(double s, int width, int height) {
    double share = s / (4.0 - s / 2) / 2; // of the view's full height
    return {centresWithin(share / double(1.3f) * width, width), centresWithin(share * height, height)};
}

TEST_F(CubesPicture, FirstFrameShowsFourCubesAndLaterFramesFive) {
    Pose rest = cube_model::poseAt(0);
    Pixel lowerLeft = pixelOf(Cube::LowerLeft, rest, {0, 0, 0.5}, 800, 600);

    Picture first = frameAt(0);
    EXPECT_EQ(first.at(lowerLeft.column, lowerLeft.row), black);
    expectSamePicture(first, cube_model::render(rest, 800, 600, false));

    Picture second = frameAt(0);
    EXPECT_EQ(second.at(lowerLeft.column, lowerLeft.row), cyan);
    expectSamePicture(second, cube_model::render(rest, 800, 600));
}

// At tick 0 nothing is turned and the middle cube has its mean size 1.1. Each
// cube shows its front and the faces that look towards the eye on the axis.
TEST_F(CubesPicture, UnturnedCubesShowTheFacesTowardsTheEye) {
    struct FaceProbe {
        Cube cube;
        const char* face;
        cube_model::Vec3 centre; // of the face, in the cube's frame
        Rgb colour;
    };
    const FaceProbe probes[] = {
        {Cube::Middle, "front", {0, 0, 0.5}, cyan},
        {Cube::LowerLeft, "front", {0, 0, 0.5}, cyan},
        {Cube::LowerLeft, "top", {0, 0.5, 0}, green},
        {Cube::LowerLeft, "right", {0.5, 0, 0}, blue},
        {Cube::LowerRight, "front", {0, 0, 0.5}, cyan},
        {Cube::LowerRight, "top", {0, 0.5, 0}, green},
        {Cube::LowerRight, "left", {-0.5, 0, 0}, blue},
        {Cube::UpperRight, "front", {0, 0, 0.5}, cyan},
        {Cube::UpperRight, "bottom", {0, -0.5, 0}, magenta},
        {Cube::UpperRight, "left", {-0.5, 0, 0}, blue},
        {Cube::UpperLeft, "front", {0, 0, 0.5}, cyan},
        {Cube::UpperLeft, "bottom", {0, -0.5, 0}, magenta},
        {Cube::UpperLeft, "right", {0.5, 0, 0}, blue},
    };
    drawFirstFrame();
    Picture p = frameAt(0);
    Pose rest = cube_model::poseAt(0);
    ASSERT_EQ(rest.angle, 0.0f);
    ASSERT_EQ(rest.scale, 1.1f);
    for (const FaceProbe& probe : probes) {
        Pixel at = pixelOf(probe.cube, rest, probe.centre, 800, 600);
        EXPECT_EQ(p.at(at.column, at.row), probe.colour)
            << "cube " << probe.cube << ", " << probe.face << " face at column " << at.column << ", row "
            << at.row << ": " << describe(p.at(at.column, at.row));
    }
}

// Frames at several ticks against the ray-cast picture of the same pose. Flat
// shading gives every pixel one face colour, and the red of the first strip
// pair is on no face.
TEST_F(CubesPicture, FramesMatchThePoseOfTheirTick) {
    struct Frame {
        const char* name;
        DWORD tick;
        std::optional<Rgb> middle; // at the window's centre
    };
    const Frame frames[] = {
        {"at rest", 0, cyan},
        {"a quarter turn", 900, std::nullopt},
        // Half a turn about an axis in the x-y plane brings the back to the front.
        {"a half turn", 1800, yellow},
        {"three quarters", 2700, std::nullopt},
        {"largest middle cube, turned", 1571, std::nullopt},
        {"smallest middle cube, turned", 4712, std::nullopt},
        {"after two minutes", 123457, std::nullopt},
    };
    drawFirstFrame();
    for (const Frame& frame : frames) {
        SCOPED_TRACE(frame.name);
        Picture p = frameAt(frame.tick);
        expectSamePicture(p, cube_model::render(cube_model::poseAt(frame.tick), 800, 600));
        EXPECT_EQ(p.countWhere(p.whole(), [](Rgb c) { return c == red; }), 0);
        EXPECT_EQ(p.countWhere(p.whole(), [](Rgb c) { return !inPalette(c); }), 0);
        if (frame.middle) {
            EXPECT_EQ(p.at(400, 300), *frame.middle) << describe(p.at(400, 300));
        }
    }
}

// Whole turns (ticks in steps of 3600) at which the sine is -1, 0 and +1: the
// middle cube unturned at its three sizes.
TEST_F(CubesPicture, MiddleCubePulsesBetweenItsSmallestAndLargestSize) {
    struct Size {
        const char* name;
        DWORD tick;
        float scale;
    };
    const Size sizes[] = {
        {"smallest", 86400, 0.1f}, // 24 turns; sin(86.4) = -0.99998
        {"mean", 0, 1.1f},
        {"largest", 925200, 2.1f}, // 257 turns; sin(925.2) = 0.9999995
    };
    drawFirstFrame();
    for (const Size& size : sizes) {
        SCOPED_TRACE(size.name);
        Pose pose = cube_model::poseAt(size.tick);
        ASSERT_NEAR(pose.scale, size.scale, 1e-4);
        ASSERT_NEAR(std::fmod(pose.angle, 360.0f), 0.0f, 1e-2f); // whole turns: unrotated

        Picture p = frameAt(size.tick);
        Extent face = extentThrough(p, 400, 300);
        Extent expected = expectedMiddleFace(size.scale, 800, 600);
        EXPECT_EQ(p.at(400, 300), cyan);
        EXPECT_NEAR(face.width, expected.width, 1);
        EXPECT_NEAR(face.height, expected.height, 1);
    }
}

// The viewport follows the client area while the projection keeps its aspect
// of 1.3: on a square window the cubes come out narrower.
TEST_F(CubesPicture, SquareWindowNarrowsTheCubes) {
    drawFirstFrame();
    Extent before = extentThrough(frameAt(0), 400, 300);

    reader.resize(600, 600);
    pumpMessages(3);
    EXPECT_EQ(window.width, 600);
    EXPECT_EQ(window.height, 600);
    Picture p = frameAt(0);
    ASSERT_EQ(p.width(), 600);
    ASSERT_EQ(p.height(), 600);
    expectSamePicture(p, cube_model::render(cube_model::poseAt(0), 600, 600));

    Extent after = extentThrough(p, 300, 300);
    Extent expected = expectedMiddleFace(1.1, 600, 600);
    EXPECT_NEAR(after.width, expected.width, 1);
    EXPECT_NEAR(after.height, expected.height, 1);
    // Width to height: 4/3 over 1.3 before, 1 over 1.3 after.
    EXPECT_NEAR(double(before.width) / before.height, (800.0 / 600) / 1.3, 0.03);
    EXPECT_NEAR(double(after.width) / after.height, 1 / 1.3, 0.03);
}

// The spin angle is reduced to one turn before it is rounded to a float, so
// long uptimes keep the animation smooth: near 2^31 ms and just before the
// tick count wraps, frames 150 ms apart show the cubes 15 degrees further on,
// each as the model draws it, and the wrap itself jumps back to the pose at 0.
TEST_F(CubesPicture, SpinStaysSmoothAfterLongUptime) {
    struct Moment {
        const char* name;
        DWORD early;
    };
    const Moment moments[] = {
        {"past 31 days of uptime", 2684457724u},
        {"near 2^31 ms", 2147483000u},
        {"just before the wrap", 4294967000u},
    };
    drawFirstFrame();
    for (const Moment& moment : moments) {
        SCOPED_TRACE(moment.name);
        const DWORD late = moment.early + 150;
        Pose earlyPose = cube_model::poseAt(moment.early), latePose = cube_model::poseAt(late);
        EXPECT_NEAR(std::fmod(latePose.angle - earlyPose.angle + 360.0, 360.0), 15.0, 1e-3);
        Picture earlyFrame = frameAt(moment.early);
        expectSamePicture(earlyFrame, cube_model::render(earlyPose, 800, 600));
        Picture lateFrame = frameAt(late);
        expectSamePicture(lateFrame, cube_model::render(latePose, 800, 600));
        EXPECT_GT(picture::differences(earlyFrame, lateFrame), 1000) << "the cubes moved on";
    }
    Picture wrapped = frameAt(0); // the tick count after 0xFFFFFFFF
    expectSamePicture(wrapped, cube_model::render(cube_model::poseAt(0), 800, 600));
}

} // namespace
