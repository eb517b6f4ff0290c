// Both demos drawing side by side for a minute, each on its own server: once
// the first second is over, neither may grow in resident memory nor in open
// file descriptors, and both still end with Escape and exit code 0.
#include <gtest/gtest.h>

#include "demo_run.h"
#include "picture_checks.h"
#include "process_usage.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

namespace reliability {
namespace {

constexpr int soakSeconds = 60;
// The software GL driver keeps a pool of 512 KiB vertex buffers that grows
// by a block or three, once, when frames queue up behind a busy machine; a
// leak of a few bytes a frame passes this bound within the minute.
constexpr long memoryToleranceKiB = 2048;

struct Soak {
    explicit Soak(const DemoProgram& program) : program(program), run(program) {}

    const DemoProgram& program;
    DemoRun run;
    WindowId window = 0;
    std::unique_ptr<FrameCounter> counter;
    std::vector<long> residentKiBs; // one a second, from the first second on
    std::vector<int> openFiles;
    long framesAtFirstSecond = 0;
};

TEST(Soak, BothDemosDrawForAMinuteWithFlatMemoryAndFileDescriptors) {
    std::vector<std::unique_ptr<Soak>> soaks;
    soaks.push_back(std::make_unique<Soak>(primitivesDemo));
    soaks.push_back(std::make_unique<Soak>(cubesDemo));
    for (auto& soak : soaks) {
        soak->window = soak->run.waitForMainWindow();
        ASSERT_NE(soak->window, 0u) << soak->program.name
                                    << ": no viewable window; stderr: " << soak->run.process.stderrText();
        soak->counter = std::make_unique<FrameCounter>(soak->run.server.displayName(), soak->window);
    }
    for (auto& soak : soaks)
        soak->run.waitForPicture(soak->window,
                                 [](const testing_support::RgbImage& image) { return countLit(image) > 0; });

    auto start = std::chrono::steady_clock::now();
    for (int second = 1; second <= soakSeconds; ++second) {
        std::this_thread::sleep_until(start + std::chrono::seconds(second));
        for (auto& soak : soaks) {
            pid_t pid = soak->run.process.pid();
            soak->residentKiBs.push_back(residentKiB(pid));
            soak->openFiles.push_back(openFileCount(pid));
            long frames = soak->counter->frames();
            if (second == 1)
                soak->framesAtFirstSecond = frames;
        }
    }

    for (auto& soak : soaks) {
        SCOPED_TRACE(soak->program.name);
        pid_t pid = soak->run.process.pid();
        bool sanitized = runsUnderAddressSanitizer(pid);
        long frames = soak->counter->frames();
        auto [least, most] = std::minmax_element(soak->residentKiBs.begin(), soak->residentKiBs.end());
        auto [fewestFiles, mostFiles] = std::minmax_element(soak->openFiles.begin(), soak->openFiles.end());
        std::printf(
            "[ measured ] %s: %ld frames in %d s; resident %ld KiB at 1 s, %ld..%ld KiB after, %ld KiB "
            "at %d s%s; open files %d..%d\n",
            soak->program.name, frames, soakSeconds, soak->residentKiBs.front(), *least, *most,
            soak->residentKiBs.back(), soakSeconds, sanitized ? " (AddressSanitizer: not compared)" : "",
            *fewestFiles, *mostFiles);
        RecordProperty(std::string(soak->program.name) + "_frames", static_cast<int>(frames));

        ASSERT_TRUE(soak->run.process.running()) << "stderr: " << soak->run.process.stderrText();
        EXPECT_GT(frames - soak->framesAtFirstSecond, 0) << "no frame drawn after the first second";
        EXPECT_GT(soak->residentKiBs.front(), 0);
        if (!sanitized) {
            EXPECT_LE(*most - soak->residentKiBs.front(), memoryToleranceKiB)
                << "resident memory grew after the first second";
        }
        EXPECT_EQ(*mostFiles, soak->openFiles.front()) << "file descriptors opened after the first second";
        EXPECT_EQ(*fewestFiles, soak->openFiles.front()) << "file descriptors closed after the first second";

        soak->run.observer.pressKey(soak->window, "Escape");
        testing_support::ExitStatus status = soak->run.process.wait(exitTimeoutMs);
        ASSERT_FALSE(status.timedOut) << "still running " << exitTimeoutMs << " ms after Escape";
        EXPECT_TRUE(status.exited) << "ended by signal " << status.signal;
        EXPECT_EQ(status.code, 0);
        EXPECT_EQ(soak->run.process.stderrText(), "");
    }
}

} // namespace
} // namespace reliability
