// Each demo under valgrind memcheck on a private Xvfb: it must present at
// least a hundred frames, end with exit code 0 on Escape or the window
// manager's close request, and leave valgrind nothing to report: no memory
// error anywhere (known faults of system libraries are suppressed, see
// system_libraries.supp) and no definite leak in the project's own code.
// Definite leaks wholly inside system libraries are listed, not counted.
//
// The frames are counted by a small library preloaded into the demo
// (swap_counter.cpp). Mesa's software rasteriser is told to draw on the
// program's own thread (LP_NUM_THREADS=0): valgrind runs one thread at a
// time, so helper threads only add switching.
#include "child_process.h"
#include "memcheck_log.h"
#include "x_client.h"
#include "xvfb_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace valgrind_test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned long framesWanted = 100;
// Generous bounds: under valgrind software GL draws a few frames a second,
// and two runs share the machine's two cores.
constexpr int windowTimeoutMs = 180000;
constexpr int framesTimeoutMs = 300000;
constexpr int exitTimeoutMs = 180000;
constexpr int exitCodeForErrors = 9;

// The project's own code: the layer, the GL window layer and the two programs.
const std::vector<std::string> projectDirectories = {
    PROJECT_SOURCE_DIRECTORY "/win32", PROJECT_SOURCE_DIRECTORY "/glwindow",
    PROJECT_SOURCE_DIRECTORY "/primitives", PROJECT_SOURCE_DIRECTORY "/cubes"};

enum class Ending { Escape, CloseRequest };

struct DemoRun {
    const char* name;
    const char* path;
    Ending ending;
};

void PrintTo(const DemoRun& run, std::ostream* out) {
    *out << run.name << (run.ending == Ending::Escape ? " ended by Escape" : " ended by the close request");
}

const DemoRun runs[] = {
    {"primitives_demo", PRIMITIVES_DEMO_PATH, Ending::Escape},
    {"cubes_demo", CUBES_DEMO_PATH, Ending::CloseRequest},
};

std::string temporaryPath(const char* pattern) {
    std::string path = pattern;
    int fd = mkstemp(path.data());
    if (fd >= 0)
        close(fd);
    return path;
}

unsigned long framesPresented(const std::string& countPath) {
    std::ifstream in(countPath);
    unsigned long count = 0;
    in >> count;
    return count;
}

class DemoUnderMemcheck : public ::testing::TestWithParam<DemoRun> {};

TEST_P(DemoUnderMemcheck, DrawsAHundredFramesAndEndsWithoutErrorsOrLeaksOfItsOwn) {
    const DemoRun& run = GetParam();
    ASSERT_NE(std::string(VALGRIND_PATH), "") << "valgrind is not installed (tools/install_dependencies.sh)";
    testing_support::XvfbServer server("1280x1024x24");
    testing_support::XClient observer(server.displayName());
    std::string countPath = temporaryPath("/tmp/quorlane-frames-XXXXXX");
    std::string logPath = temporaryPath("/tmp/quorlane-memcheck-XXXXXX");

    auto start = Clock::now();
    testing_support::ChildProcess demo(
        {VALGRIND_PATH, "--tool=memcheck", "--error-exitcode=" + std::to_string(exitCodeForErrors),
         "--leak-check=full", "--errors-for-leak-kinds=definite", "--show-leak-kinds=definite",
         "--num-callers=40", "--suppressions=" SUPPRESSIONS_PATH, "--xml=yes", "--xml-file=" + logPath,
         run.path},
        {"DISPLAY=" + server.displayName(), "LP_NUM_THREADS=0", "LD_PRELOAD=" SWAP_COUNTER_PATH,
         "SWAP_COUNT_FILE=" + countPath});

    testing_support::WindowId window = observer.waitForViewableWindow("Quorlane", windowTimeoutMs);
    ASSERT_NE(window, 0u) << "no window; valgrind said:\n" << demo.stderrText();
    auto framesDeadline = Clock::now() + std::chrono::milliseconds(framesTimeoutMs);
    unsigned long frames = 0;
    while ((frames = framesPresented(countPath)) < framesWanted && Clock::now() < framesDeadline &&
           demo.running())
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_GE(frames, framesWanted) << "valgrind said:\n" << demo.stderrText();
    double drawingSeconds = std::chrono::duration<double>(Clock::now() - start).count();

    if (run.ending == Ending::Escape)
        observer.pressKey(window, "Escape");
    else
        observer.requestClose(window);
    testing_support::ExitStatus status = demo.wait(exitTimeoutMs);
    double totalSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::vector<MemcheckError> errors = readMemcheckLog(logPath, projectDirectories);
    unsigned long framesAtEnd = framesPresented(countPath);
    unlink(countPath.c_str());
    unlink(logPath.c_str());

    ASSERT_FALSE(status.timedOut) << "the demo did not end";
    ASSERT_TRUE(status.exited) << "ended by signal " << status.signal << "; valgrind said:\n"
                               << demo.stderrText();
    std::string counted, foreignLeaks;
    for (const MemcheckError& error : errors) {
        if (error.kind == "Leak_DefinitelyLost" && !error.inProject)
            foreignLeaks += describe(error);
        else
            counted += describe(error);
    }
    EXPECT_EQ(counted, "") << "valgrind found errors or leaks of the project's code";
    EXPECT_TRUE(status.code == 0 || (status.code == exitCodeForErrors && counted.empty()))
        << "exit code " << status.code << "; valgrind said:\n"
        << demo.stderrText();
    std::printf("%s: %lu frames in %.1f s under valgrind, %.1f s to the end of its leak check\n", run.name,
                framesAtEnd, drawingSeconds, totalSeconds);
    if (!foreignLeaks.empty())
        std::printf("definite leaks inside system libraries (not counted):\n%s", foreignLeaks.c_str());
}

INSTANTIATE_TEST_SUITE_P(Demos, DemoUnderMemcheck, ::testing::ValuesIn(runs),
                         [](const ::testing::TestParamInfo<DemoRun>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
} // namespace valgrind_test
