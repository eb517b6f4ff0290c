// Each demo whose X server dies while it draws: it must notice at once, say
// so in one line on stderr and end with a non-zero exit code of its own,
// not by a signal (a write to the dead socket raises SIGPIPE) and not by
// hanging in a wait for the server.
#include <gtest/gtest.h>

#include "demo_run.h"
#include "picture_checks.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace reliability {
namespace {

constexpr int lostDisplayExitBoundMs = 1000;

class LostDisplay : public testing::TestWithParam<const DemoProgram*> {};

TEST_P(LostDisplay, EndsWithinOneSecondWithAOneLineReasonAndExitCodeOne) {
    const DemoProgram& program = *GetParam();
    testing_support::XvfbServer server(largeScreen);
    testing_support::ChildProcess process({program.path}, {"DISPLAY=" + server.displayName()});
    {
        // The observers close their connections while the server still
        // answers: a connection of the test's own must not see the loss.
        Desktop desktop(server.displayName());
        testing_support::XClient observer(server.displayName());
        WindowId window = desktop.waitForViewableWindow(mainWindowName, windowTimeoutMs);
        ASSERT_NE(window, 0u) << "no viewable window; stderr: " << process.stderrText();
        FrameCounter counter(server.displayName(), window);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(pictureTimeoutMs);
        while (counter.frames() < 10 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_GE(counter.frames(), 10) << "the program is not drawing";
    }

    auto start = std::chrono::steady_clock::now();
    server.kill();
    testing_support::ExitStatus status = process.wait(exitTimeoutMs);
    auto elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    RecordProperty("exit_ms", static_cast<int>(elapsedMs));
    std::printf("[ measured ] %s ended %lld ms after its X server was killed\n", program.name,
                static_cast<long long>(elapsedMs));

    ASSERT_FALSE(status.timedOut) << "still running " << exitTimeoutMs << " ms after the server was killed";
    EXPECT_TRUE(status.exited) << "ended by signal " << status.signal;
    EXPECT_EQ(status.code, 1);
    EXPECT_LE(elapsedMs, lostDisplayExitBoundMs);
    std::string text = process.stderrText();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << "stderr: " << text;
    EXPECT_TRUE(!text.empty() && text.back() == '\n') << "stderr: " << text;
    EXPECT_NE(text.find("lost"), std::string::npos)
        << "the line does not say the connection was lost: " << text;
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, LostDisplay, testing::Values(&primitivesDemo, &cubesDemo),
                         [](const testing::TestParamInfo<const DemoProgram*>& info) {
                             return std::string(info.param->name);
                         });

} // namespace
} // namespace reliability
