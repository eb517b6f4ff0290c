// Each demo under a real window manager that reparents its window into a
// decorated frame: the client area is still exactly 800 by 600 and shows the
// picture, Escape and a click on the title bar's close button end the
// program with exit code 0, and a resize made by dragging the frame reaches
// cubes_demo's viewport.
#include <gtest/gtest.h>

#include "demo_run.h"
#include "picture_checks.h"

namespace reliability {
namespace {

const ServerSetup underWindowManager{largeScreen, {}, true};

std::string pictureMismatches(const DemoProgram& program, const testing_support::RgbImage& picture, int width,
                              int height) {
    return &program == &primitivesDemo ? primitivesMismatches(picture)
                                       : cubesMismatches(picture, width, height);
}

void expectCleanEnd(DemoRun& run, const char* after) {
    testing_support::ExitStatus status = run.process.wait(exitTimeoutMs);
    ASSERT_FALSE(status.timedOut) << "still running " << exitTimeoutMs << " ms after " << after;
    EXPECT_TRUE(status.exited) << "ended by signal " << status.signal;
    EXPECT_EQ(status.code, 0);
    EXPECT_EQ(run.process.stderrText(), "");
}

class UnderWindowManager : public testing::TestWithParam<const DemoProgram*> {};

TEST_P(UnderWindowManager, ClientAreaIsExactly800By600InsideADecoratedFrame) {
    const DemoProgram& program = *GetParam();
    DemoRun run(program, underWindowManager);
    WindowId window = run.waitForMainWindow();
    ASSERT_NE(window, 0u) << "no viewable window; stderr: " << run.process.stderrText();
    WindowId frame = run.desktop.topLevelOf(window);
    ASSERT_NE(frame, window) << "the window manager did not reparent the window";

    WindowGeometry client = run.desktop.geometry(window), outer = run.desktop.geometry(frame);
    EXPECT_EQ(client.width, 800);
    EXPECT_EQ(client.height, 600);
    EXPECT_GT(client.y, outer.y) << "no title bar above the client area";
    EXPECT_GT(outer.height, client.height);

    testing_support::RgbImage picture =
        run.waitForPicture(window, [&](const testing_support::RgbImage& image) {
            return pictureMismatches(program, image, 800, 600).empty();
        });
    EXPECT_EQ(pictureMismatches(program, picture, 800, 600), "");

    run.observer.pressKey(window, "Escape");
    expectCleanEnd(run, "Escape");
}

TEST_P(UnderWindowManager, TitleBarCloseButtonEndsTheProgramWithCodeZero) {
    DemoRun run(*GetParam(), underWindowManager);
    WindowId window = run.waitForMainWindow();
    ASSERT_NE(window, 0u) << "no viewable window; stderr: " << run.process.stderrText();
    run.waitForPicture(window, [](const testing_support::RgbImage& image) { return countLit(image) > 0; });

    std::optional<Point> closeButton = run.desktop.closeButtonCentre(run.desktop.topLevelOf(window), window);
    ASSERT_TRUE(closeButton) << "no close button found in the title bar";
    run.desktop.click(*closeButton);
    expectCleanEnd(run, "the click on the close button");
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, UnderWindowManager, testing::Values(&primitivesDemo, &cubesDemo),
                         [](const testing::TestParamInfo<const DemoProgram*>& info) {
                             return std::string(info.param->name);
                         });

TEST(CubesUnderWindowManager, ResizeByDraggingTheFrameCornerReachesTheViewport) {
    DemoRun run(cubesDemo, underWindowManager);
    WindowId window = run.waitForMainWindow();
    ASSERT_NE(window, 0u) << "no viewable window; stderr: " << run.process.stderrText();
    run.waitForPicture(window, [](const testing_support::RgbImage& image) { return countLit(image) > 0; });

    // The frame's bottom-right corner, a few pixels in: the resize grip.
    WindowGeometry outer = run.desktop.geometry(run.desktop.topLevelOf(window));
    Point corner{outer.x + outer.width - 4, outer.y + outer.height - 2};
    run.desktop.drag(corner, Point{corner.x - 160, corner.y - 120});
    ASSERT_TRUE(run.observer.waitForSize(window, 640, 480, pictureTimeoutMs))
        << "the client area is " << run.desktop.geometry(window).width << " by "
        << run.desktop.geometry(window).height << " after the drag";

    testing_support::RgbImage picture =
        run.waitForPicture(window, [](const testing_support::RgbImage& image) {
            return cubesMismatches(image, 640, 480).empty();
        });
    EXPECT_EQ(cubesMismatches(picture, 640, 480), "");

    run.observer.pressKey(window, "Escape");
    expectCleanEnd(run, "Escape");
}

} // namespace
} // namespace reliability
