// Each demo as a user meets it: a window named "Quorlane" of its own class
// with an 800 by 600 client area, showing a picture, that a press of Escape or
// the window manager's close request ends with exit code 0 and nothing on
// stderr.
#include <gtest/gtest.h>

#include "demo_session.h"
#include "picture_probes.h"

namespace end_to_end {
namespace {

using namespace testing_support;

enum class Ending { EscapeKey, CloseRequest };

struct EndingCase {
    const DemoProgram* program;
    Ending ending;
};

std::string caseName(const testing::TestParamInfo<EndingCase>& info) {
    return std::string(info.param.program->name) +
           (info.param.ending == Ending::EscapeKey ? "_EscapeKey" : "_CloseRequest");
}

void PrintTo(const EndingCase& ending, std::ostream* out) {
    *out << caseName({ending, 0});
}

class DemoEnding : public testing::TestWithParam<EndingCase> {};

TEST_P(DemoEnding, ShowsItsWindowAndEndsWithCodeZeroAndNoOutput) {
    const DemoProgram& program = *GetParam().program;
    DemoSession session(program);
    testing_support::WindowId window = session.waitForMainWindow();
    ASSERT_NE(window, 0u) << "no viewable window \"Quorlane\"; stderr: " << session.process.stderrText();

    EXPECT_EQ(session.observer.windowClass(window).className, program.windowClass);
    testing_support::WindowGeometry size = session.observer.geometry(window);
    EXPECT_EQ(size.width, 800);
    EXPECT_EQ(size.height, 600);
    EXPECT_TRUE(session.observer.acceptsCloseRequest(window))
        << "a window manager sends the close request only to a window that lists WM_DELETE_WINDOW";
    // The user acts on a running program: wait for its first frame.
    testing_support::RgbImage picture = session.waitForPicture(
        window, [](const testing_support::RgbImage& image) { return countLit(image, 0, 0, 800, 600) > 0; });
    EXPECT_GT(countLit(picture, 0, 0, 800, 600), 0) << "the window shows no picture";

    if (GetParam().ending == Ending::EscapeKey)
        session.observer.pressKey(window, "Escape");
    else
        session.observer.requestClose(window);

    testing_support::ExitStatus status = session.process.wait(exitTimeoutMs);
    ASSERT_FALSE(status.timedOut) << "still running " << exitTimeoutMs << " ms after the request to end";
    EXPECT_TRUE(status.exited) << "ended by signal " << status.signal;
    EXPECT_EQ(status.code, 0);
    EXPECT_EQ(session.process.stderrText(), "");
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, DemoEnding,
                         testing::Values(EndingCase{&primitivesDemo, Ending::EscapeKey},
                                         EndingCase{&primitivesDemo, Ending::CloseRequest},
                                         EndingCase{&cubesDemo, Ending::EscapeKey},
                                         EndingCase{&cubesDemo, Ending::CloseRequest}),
                         caseName);

} // namespace
} // namespace end_to_end
