// Each demo on servers whose visuals are not the usual 24-bit TrueColor. On
// an 8-bit PseudoColor server no RGBA pixel format exists: the program says
// so in the box "ERROR" and on stderr, never shows its window, and ends with
// exit code 1 once the box is dismissed. On a 16-bit TrueColor server the
// nearest pixel format is taken and the program runs with its full picture.
// (A server without GLX at all is covered by the end-to-end tests.)
#include <gtest/gtest.h>

#include "demo_run.h"
#include "picture_checks.h"

#include <X11/X.h>
#include <cstdio>

namespace reliability {
namespace {

const char failureLine[] = "ERROR: Failed to choose pixel format.\n";

std::string programName(const testing::TestParamInfo<const DemoProgram*>& info) {
    return info.param->name;
}

class PseudoColorServer : public testing::TestWithParam<const DemoProgram*> {};

TEST_P(PseudoColorServer, RefusesToChooseAPixelFormatInABoxAndEndsWithCodeOne) {
    DemoRun run(*GetParam(), ServerSetup{"1024x768x8", {}, false});
    WindowId box = run.desktop.waitForViewableWindow(messageBoxName, windowTimeoutMs);
    ASSERT_NE(box, 0u) << "no box \"ERROR\"; stderr: " << run.process.stderrText();
    EXPECT_EQ(run.desktop.visualClass(box), PseudoColor) << "the server is not the one asked for";
    EXPECT_TRUE(run.process.running()) << "the box must hold the program until it is dismissed";
    EXPECT_EQ(run.process.stderrText(), failureLine);
    WindowId owner = run.observer.transientFor(box);
    EXPECT_EQ(run.observer.windowName(owner), mainWindowName)
        << "the box is not owned by the program's window";
    EXPECT_FALSE(run.observer.isViewable(owner)) << "the window was shown although it has no pixel format";

    run.observer.pressKey(box, "Return");
    testing_support::ExitStatus status = run.process.wait(exitTimeoutMs);
    ASSERT_FALSE(status.timedOut) << "still running " << exitTimeoutMs << " ms after the box was dismissed";
    EXPECT_TRUE(status.exited) << "ended by signal " << status.signal;
    EXPECT_EQ(status.code, 1);
    EXPECT_EQ(run.process.stderrText(), failureLine);
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, PseudoColorServer, testing::Values(&primitivesDemo, &cubesDemo),
                         programName);

class SixteenBitServer : public testing::TestWithParam<const DemoProgram*> {};

TEST_P(SixteenBitServer, TakesTheNearestPixelFormatAndDrawsItsPicture) {
    const DemoProgram& program = *GetParam();
    DemoRun run(program, ServerSetup{"1024x768x16", {}, false});
    WindowId window = run.waitForMainWindow();
    ASSERT_NE(window, 0u) << "no viewable window; stderr: " << run.process.stderrText();
    WindowGeometry size = run.desktop.geometry(window);
    EXPECT_EQ(size.width, 800);
    EXPECT_EQ(size.height, 600);
    // The request asks for 32 colour bits and no alpha. The server also has a
    // 32-bit visual whose pixels carry alpha, nearer in colour bits; a window
    // of that visual would show through under a compositing window manager,
    // so the screen's own 16-bit visual is the one to get.
    EXPECT_EQ(run.desktop.visualClass(window), TrueColor);
    EXPECT_EQ(run.desktop.depth(window), 16);

    auto mismatches = [&](const testing_support::RgbImage& picture) {
        return &program == &primitivesDemo ? primitivesMismatches(picture)
                                           : cubesMismatches(picture, 800, 600);
    };
    testing_support::RgbImage picture = run.waitForPicture(
        window, [&](const testing_support::RgbImage& image) { return mismatches(image).empty(); });
    EXPECT_EQ(mismatches(picture), "");

    run.observer.pressKey(window, "Escape");
    testing_support::ExitStatus status = run.process.wait(exitTimeoutMs);
    ASSERT_FALSE(status.timedOut) << "still running " << exitTimeoutMs << " ms after Escape";
    EXPECT_TRUE(status.exited) << "ended by signal " << status.signal;
    EXPECT_EQ(status.code, 0);
    EXPECT_EQ(run.process.stderrText(), "");
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, SixteenBitServer, testing::Values(&primitivesDemo, &cubesDemo),
                         programName);

} // namespace
} // namespace reliability
