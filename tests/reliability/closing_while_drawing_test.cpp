// Each demo asked to close, or robbed of its window, while it draws frame
// after frame, with and without a window manager. primitives_demo goes on
// drawing until it takes the quit message off its queue, so its last frames
// are drawn after its window is gone; both programs must end with exit code
// 0, with nothing on stderr (no X error, no GL complaint).
#include <gtest/gtest.h>

#include "demo_run.h"

#include <chrono>
#include <thread>

namespace reliability {
namespace {

enum class Ending {
    CloseRequest,      // the window manager's WM_DELETE_WINDOW
    WindowDestroyed,   // another client destroys the X window
    CloseThenDestroyed // both, back to back, read in one go
};

struct ClosingCase {
    const DemoProgram* program;
    Ending ending;
    bool windowManager;
};

std::string caseName(const testing::TestParamInfo<ClosingCase>& info) {
    const char* endings[] = {"CloseRequest", "WindowDestroyed", "CloseThenDestroyed"};
    return std::string(info.param.program->name) + "_" + endings[static_cast<int>(info.param.ending)] +
           (info.param.windowManager ? "_UnderWindowManager" : "_BareServer");
}

class ClosingWhileDrawing : public testing::TestWithParam<ClosingCase> {};

TEST_P(ClosingWhileDrawing, EndsWithCodeZeroAndNothingOnStderr) {
    const ClosingCase& scene = GetParam();
    DemoRun run(*scene.program, ServerSetup{largeScreen, {}, scene.windowManager});
    WindowId window = run.waitForMainWindow();
    ASSERT_NE(window, 0u) << "no viewable window; stderr: " << run.process.stderrText();
    FrameCounter counter(run.server.displayName(), window);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(pictureTimeoutMs);
    while (counter.frames() < 20 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GE(counter.frames(), 20) << "the program is not drawing";

    if (scene.ending != Ending::WindowDestroyed)
        run.observer.requestClose(window);
    if (scene.ending != Ending::CloseRequest)
        run.desktop.destroy(window);

    testing_support::ExitStatus status = run.process.wait(exitTimeoutMs);
    ASSERT_FALSE(status.timedOut) << "still running " << exitTimeoutMs << " ms later";
    EXPECT_TRUE(status.exited) << "ended by signal " << status.signal;
    EXPECT_EQ(status.code, 0);
    EXPECT_EQ(run.process.stderrText(), "");
}

std::vector<ClosingCase> allCases() {
    std::vector<ClosingCase> cases;
    for (const DemoProgram* program : {&primitivesDemo, &cubesDemo})
        for (Ending ending : {Ending::CloseRequest, Ending::WindowDestroyed, Ending::CloseThenDestroyed})
            for (bool windowManager : {false, true})
                cases.push_back(ClosingCase{program, ending, windowManager});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, ClosingWhileDrawing, testing::ValuesIn(allCases()), caseName);

} // namespace
} // namespace reliability
