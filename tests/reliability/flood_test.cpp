// Each demo flooded with input: 10,000 key events queued at once with
// Escape behind them, and 1,000 resizes in one burst. Messages leave the
// queue one per pass of the program's loop and in order, so Escape ends the
// program only after the whole backlog; the last size asked for is the one
// the program follows; and the flood leaves no memory behind.
#include <gtest/gtest.h>

#include "demo_run.h"
#include "picture_checks.h"
#include "process_usage.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace reliability {
namespace {

constexpr int floodKeyEvents = 10000;
constexpr int floodResizes = 1000;
constexpr long memoryToleranceKiB = 1024;
// primitives_demo draws a frame on every pass, so its backlog of 10,000
// messages takes 10,000 frames of software rendering.
constexpr int floodExitTimeoutMs = 90000;

using Clock = std::chrono::steady_clock;

long millisecondsSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

std::string programName(const testing::TestParamInfo<const DemoProgram*>& info) {
    return info.param->name;
}

// Lets the program draw for a second once its picture is up, so that what
// it allocates once is allocated before the flood.
void settle(DemoRun& run, WindowId window) {
    run.waitForPicture(window, [](const testing_support::RgbImage& image) { return countLit(image) > 0; });
    std::this_thread::sleep_for(std::chrono::seconds(1));
}

// The resident size at the end of a run: the largest in its last 100 ms.
// The program's own shutdown frees its GL buffers within its last few
// milliseconds; taking the largest keeps that drop from hiding growth.
long residentAtEnd(const std::vector<ResidentSampler::Sample>& samples) {
    if (samples.empty())
        return -1;
    long end = samples.back().elapsedMs, largest = 0;
    for (const ResidentSampler::Sample& sample : samples)
        if (sample.elapsedMs >= end - 100)
            largest = std::max(largest, sample.kib);
    return largest;
}

void reportMemory(const char* program, const char* flood, long beforeKiB, long afterKiB, bool sanitized) {
    std::printf("[ measured ] %s: resident %ld KiB before the %s, %ld KiB after%s\n", program, beforeKiB,
                flood, afterKiB, sanitized ? " (AddressSanitizer: not compared)" : "");
}

class Flood : public testing::TestWithParam<const DemoProgram*> {};

TEST_P(Flood, TenThousandKeyEventsAreHandledBeforeTheEscapeBehindThem) {
    const DemoProgram& program = *GetParam();
    DemoRun run(program);
    WindowId window = run.waitForMainWindow();
    ASSERT_NE(window, 0u) << "no viewable window; stderr: " << run.process.stderrText();
    FrameCounter counter(run.server.displayName(), window);
    settle(run, window);

    long beforeKiB = residentKiB(run.process.pid());
    bool sanitized = runsUnderAddressSanitizer(run.process.pid());
    long framesBefore = counter.frames();
    ResidentSampler sampler(run.process.pid());
    auto start = Clock::now();
    // A key without a character: each event makes exactly one message.
    run.desktop.queueKeyEvents(window, "Left", floodKeyEvents, "Escape");
    testing_support::ExitStatus status = run.process.wait(floodExitTimeoutMs);
    long elapsedMs = millisecondsSince(start);
    sampler.stop();
    long frames = counter.frames() - framesBefore;
    long afterKiB = residentAtEnd(sampler.samples());
    std::printf(
        "[ measured ] %s: ended %ld ms after %d queued key events and Escape, %ld frames drawn in between\n",
        program.name, elapsedMs, floodKeyEvents, frames);
    reportMemory(program.name, "key flood", beforeKiB, afterKiB, sanitized);
    RecordProperty("exit_ms", static_cast<int>(elapsedMs));
    RecordProperty("frames", static_cast<int>(frames));

    ASSERT_FALSE(status.timedOut) << "still running " << floodExitTimeoutMs << " ms after the flood";
    EXPECT_TRUE(status.exited) << "ended by signal " << status.signal;
    EXPECT_EQ(status.code, 0);
    EXPECT_EQ(run.process.stderrText(), "");
    if (&program == &primitivesDemo) {
        // A frame on every pass and at most one message off the queue per
        // pass: Escape, queued behind 10,000 key messages, is reached no
        // sooner than 10,000 frames later.
        EXPECT_GE(frames, floodKeyEvents) << "Escape was handled before the messages queued ahead of it";
    }
    if (!sanitized) {
        EXPECT_LE(afterKiB - beforeKiB, memoryToleranceKiB);
    }
}

TEST_P(Flood, AThousandResizesInABurstEndAtTheLastSize) {
    const DemoProgram& program = *GetParam();
    DemoRun run(program);
    WindowId window = run.waitForMainWindow();
    ASSERT_NE(window, 0u) << "no viewable window; stderr: " << run.process.stderrText();
    settle(run, window);
    long beforeKiB = residentKiB(run.process.pid());
    bool sanitized = runsUnderAddressSanitizer(run.process.pid());

    // Sizes all over the range, larger and smaller than the start, the last
    // one 640 by 480.
    std::vector<Size> sizes;
    for (int i = 0; i < floodResizes - 1; ++i)
        sizes.push_back(Size{320 + (i * 37) % 880, 240 + (i * 53) % 720});
    sizes.push_back(Size{640, 480});
    auto start = Clock::now();
    run.desktop.queueResizes(window, sizes);
    ASSERT_TRUE(run.observer.waitForSize(window, 640, 480, pictureTimeoutMs));
    testing_support::RgbImage picture =
        run.waitForPicture(window, [&](const testing_support::RgbImage& image) {
            // A capture may come between the resize and the next frame.
            return image.width == 640 &&
                   (&program == &primitivesDemo ? countLit(image) > 0
                                                : cubesMismatches(image, 640, 480).empty());
        });
    long settledMs = millisecondsSince(start);
    if (&program == &cubesDemo) {
        EXPECT_EQ(cubesMismatches(picture, 640, 480), "") << "the viewport does not follow the last size";
    } else {
        EXPECT_GT(countLit(picture), 0) << "no picture after the resizes";
    }

    // What the flood allocated must be gone once the program draws at its
    // new size for a while.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    long afterKiB = residentKiB(run.process.pid());
    std::printf("[ measured ] %s: the picture followed the last of %d resizes after %ld ms\n", program.name,
                floodResizes, settledMs);
    reportMemory(program.name, "resizes", beforeKiB, afterKiB, sanitized);
    ASSERT_TRUE(run.process.running()) << "stderr: " << run.process.stderrText();
    if (!sanitized) {
        EXPECT_LE(afterKiB - beforeKiB, memoryToleranceKiB);
    }

    run.observer.pressKey(window, "Escape");
    testing_support::ExitStatus status = run.process.wait(exitTimeoutMs);
    ASSERT_FALSE(status.timedOut) << "still running " << exitTimeoutMs << " ms after Escape";
    EXPECT_TRUE(status.exited) << "ended by signal " << status.signal;
    EXPECT_EQ(status.code, 0);
    EXPECT_EQ(run.process.stderrText(), "");
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, Flood, testing::Values(&primitivesDemo, &cubesDemo), programName);

} // namespace
} // namespace reliability
