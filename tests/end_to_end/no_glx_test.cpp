// Each demo on a server without GLX: no pixel format can be chosen, so the
// user sees the box "ERROR" with the reason, owned by the program's window
// that was never shown, the same line goes to stderr, and the program ends
// with exit code 1 once the box is dismissed.
#include <gtest/gtest.h>

#include "demo_session.h"
#include "picture_probes.h"

namespace end_to_end {
namespace {

using namespace testing_support;

const char failureText[] = "Failed to choose pixel format.";

enum class Dismissal { ReturnKey, CloseRequest };

struct NoGlxCase {
    const DemoProgram* program;
    Dismissal dismissal;
};

std::string caseName(const testing::TestParamInfo<NoGlxCase>& info) {
    return std::string(info.param.program->name) +
           (info.param.dismissal == Dismissal::ReturnKey ? "_ReturnKey" : "_CloseRequest");
}

void PrintTo(const NoGlxCase& run, std::ostream* out) {
    *out << caseName({run, 0});
}

class ServerWithoutGlx : public testing::TestWithParam<NoGlxCase> {};

TEST_P(ServerWithoutGlx, ShowsTheReasonInABoxAndEndsWithCodeOneOnceDismissed) {
    DemoSession session(*GetParam().program, ServerSetup{"1024x768x24", {"-extension", "GLX"}});
    testing_support::XClient& observer = session.observer;
    testing_support::WindowId box = observer.waitForViewableWindow(messageBoxName, windowTimeoutMs);
    ASSERT_NE(box, 0u) << "no box \"ERROR\"; stderr: " << session.process.stderrText();

    EXPECT_TRUE(session.process.running()) << "the box must hold the program until it is dismissed";
    EXPECT_EQ(session.process.stderrText(), "ERROR: " + std::string(failureText) + "\n");
    testing_support::RgbImage text = observer.renderText("fixed", failureText);
    ASSERT_FALSE(text.empty()) << "the server has no font \"fixed\"";
    // Viewable comes before drawn: the box draws when its exposure arrives.
    testing_support::RgbImage shown = session.waitForPicture(
        box, [&](const testing_support::RgbImage& image) { return containsPattern(image, text); });
    EXPECT_TRUE(containsPattern(shown, text)) << "the box does not show \"" << failureText << "\"";

    testing_support::WindowId owner = observer.transientFor(box);
    EXPECT_NE(owner, 0u) << "the box names no owner";
    EXPECT_EQ(observer.windowName(owner), mainWindowName);
    EXPECT_FALSE(observer.isViewable(owner)) << "the program's window was shown although set-up failed";
    EXPECT_EQ(observer.waitForViewableWindow(mainWindowName, 0), 0u);

    if (GetParam().dismissal == Dismissal::ReturnKey)
        observer.pressKey(box, "Return");
    else
        observer.requestClose(box);

    testing_support::ExitStatus status = session.process.wait(exitTimeoutMs);
    ASSERT_FALSE(status.timedOut) << "still running " << exitTimeoutMs << " ms after the box was dismissed";
    EXPECT_TRUE(status.exited) << "ended by signal " << status.signal;
    EXPECT_EQ(status.code, 1);
    EXPECT_EQ(session.process.stderrText(), "ERROR: " + std::string(failureText) + "\n");
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, ServerWithoutGlx,
                         testing::Values(NoGlxCase{&primitivesDemo, Dismissal::ReturnKey},
                                         NoGlxCase{&primitivesDemo, Dismissal::CloseRequest},
                                         NoGlxCase{&cubesDemo, Dismissal::ReturnKey},
                                         NoGlxCase{&cubesDemo, Dismissal::CloseRequest}),
                         caseName);

} // namespace
} // namespace end_to_end
