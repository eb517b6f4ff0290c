// Each demo with no X display to talk to: DISPLAY unset, or naming a display
// where no server listens. The program must end promptly with exit code 1
// and say why in one line on stderr.
#include <gtest/gtest.h>

#include "demo_session.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace end_to_end {
namespace {

using namespace testing_support;

// A display number with neither a socket nor a lock file: nothing listens there.
std::string unusedDisplay() {
    for (int number = 300; number < 1000; ++number) {
        std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
        if (access(socket.c_str(), F_OK) != 0 && access(lock.c_str(), F_OK) != 0)
            return ":" + std::to_string(number);
    }
    return ":999";
}

enum class DisplaySetting { Unset, Refused };

struct NoDisplayCase {
    const DemoProgram* program;
    DisplaySetting display;
};

std::string caseName(const testing::TestParamInfo<NoDisplayCase>& info) {
    return std::string(info.param.program->name) +
           (info.param.display == DisplaySetting::Unset ? "_DisplayUnset" : "_ConnectionRefused");
}

void PrintTo(const NoDisplayCase& run, std::ostream* out) {
    *out << caseName({run, 0});
}

class WithoutDisplay : public testing::TestWithParam<NoDisplayCase> {};

TEST_P(WithoutDisplay, EndsWithCodeOneAndAOneLineReason) {
    std::string display = unusedDisplay();
    // The reason names what is missing: the variable, or the display asked for.
    std::string named = GetParam().display == DisplaySetting::Unset ? "DISPLAY" : "\"" + display + "\"";
    auto start = std::chrono::steady_clock::now();
    testing_support::ChildProcess program(
        {GetParam().program->path},
        {GetParam().display == DisplaySetting::Unset ? "DISPLAY=" : "DISPLAY=" + display});
    testing_support::ExitStatus status = program.wait(exitTimeoutMs);
    auto elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    RecordProperty("exit_ms", static_cast<int>(elapsedMs));
    std::printf("[ measured ] %s ended after %lld ms\n", GetParam().program->name,
                static_cast<long long>(elapsedMs));

    ASSERT_FALSE(status.timedOut) << "still running after " << exitTimeoutMs << " ms";
    EXPECT_TRUE(status.exited) << "ended by signal " << status.signal;
    EXPECT_EQ(status.code, 1);
    std::string text = program.stderrText();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << "stderr: " << text;
    EXPECT_EQ(text.back(), '\n') << "stderr: " << text;
    EXPECT_NE(text.find(named), std::string::npos) << "stderr: " << text;
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, WithoutDisplay,
                         testing::Values(NoDisplayCase{&primitivesDemo, DisplaySetting::Unset},
                                         NoDisplayCase{&primitivesDemo, DisplaySetting::Refused},
                                         NoDisplayCase{&cubesDemo, DisplaySetting::Unset},
                                         NoDisplayCase{&cubesDemo, DisplaySetting::Refused}),
                         caseName);

} // namespace
} // namespace end_to_end
