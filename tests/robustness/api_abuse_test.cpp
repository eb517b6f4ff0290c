// The layer under abuse. Each seed of the table drives the layer with a few
// thousand random calls (abuse_driver.h) in a child process of its own, on a
// private Xvfb: the test program starts itself again in its child mode, so a
// crash ends only the child and the report names the call that caused it.
//
// A run passes when the child ends normally, every refused call returned the
// documented failure value and last error, nothing reached stderr (the layer
// never prints X errors; a sanitizer would print its findings there), and
// after the tear-down the process holds no more descriptors, threads or X
// windows than before the calls, and about the same memory.
#include "abuse_run.h"
#include "child_process.h"
#include "process_footprint.h"
#include "run_report.h"
#include "xvfb_server.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace robustness {
namespace {

constexpr char childFlag[] = "--abuse-run";
constexpr int runTimeoutMs = 240000;
// Resident memory settles some 16 MB higher after the first thousand calls
// (software GL keeps compiled shaders; the heap in use at exit does not grow
// with the number of calls) and stays there; leaked contexts or window
// buffers would go far beyond.
constexpr long residentGrowthLimitKb = 32 * 1024;

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer keeps freed memory in quarantine and checks leaks itself.
constexpr bool residentMemoryComparable = false;
#else
constexpr bool residentMemoryComparable = true;
#endif

struct AbuseRun {
    std::uint64_t seed;
    long steps;
};

const AbuseRun runs[] = {
    {0x5EED0001, 5000}, {0x5EED0002, 5000}, {0xC0FFEE03, 5000},
    {0xBADC0DE4, 5000}, {0x0DDBA115, 5000}, {0xFEEDFACE, 5000},
};

void PrintTo(const AbuseRun& run, std::ostream* out) {
    *out << "seed " << std::hex << "0x" << run.seed << std::dec << ", " << run.steps << " steps";
}

std::string testName(const ::testing::TestParamInfo<AbuseRun>& info) {
    char name[32];
    std::snprintf(name, sizeof name, "seed_%llx", static_cast<unsigned long long>(info.param.seed));
    return name;
}

testing_support::XvfbServer* server = nullptr;

class PrivateServer : public ::testing::Environment {
  public:
    void SetUp() override {
        server_ = std::make_unique<testing_support::XvfbServer>("1024x768x24");
        server = server_.get();
    }
    void TearDown() override {
        server = nullptr;
        server_.reset();
    }

  private:
    std::unique_ptr<testing_support::XvfbServer> server_;
};

std::string ownExecutable() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

struct ReadReport {
    std::vector<std::string> steps;
    std::vector<std::string> findings;
    std::vector<std::string> footprints;
    bool done = false;
};

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

ReadReport readReport(const std::string& path) {
    ReadReport report;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (startsWith(line, stepPrefix))
            report.steps.push_back(line);
        else if (startsWith(line, findingPrefix))
            report.findings.push_back(line);
        else if (startsWith(line, footprintPrefix))
            report.footprints.push_back(line.substr(sizeof footprintPrefix - 1));
        else if (startsWith(line, donePrefix))
            report.done = true;
    }
    return report;
}

std::string lastSteps(const ReadReport& report, std::size_t count) {
    std::string text;
    std::size_t first = report.steps.size() > count ? report.steps.size() - count : 0;
    for (std::size_t i = first; i < report.steps.size(); ++i)
        text += "  " + report.steps[i] + "\n";
    return text;
}

std::string joined(const std::vector<std::string>& lines, std::size_t limit) {
    std::string text;
    for (std::size_t i = 0; i < lines.size() && i < limit; ++i)
        text += "  " + lines[i] + "\n";
    if (lines.size() > limit)
        text += "  ... and " + std::to_string(lines.size() - limit) + " more\n";
    return text;
}

class ApiAbuse : public ::testing::TestWithParam<AbuseRun> {};

TEST_P(ApiAbuse, RefusesWhatIsWrongAsDocumentedAndLeavesNothingBehind) {
    ASSERT_NE(server, nullptr);
    const AbuseRun& run = GetParam();
    char reportPattern[] = "/tmp/quorlane-abuse-XXXXXX";
    int reportFd = mkstemp(reportPattern);
    ASSERT_GE(reportFd, 0);
    close(reportFd);
    std::string reportPath = reportPattern;

    testing_support::ChildProcess child(
        {ownExecutable(), childFlag, std::to_string(run.seed), std::to_string(run.steps), reportPath},
        {"DISPLAY=" + server->displayName()});
    testing_support::ExitStatus status = child.wait(runTimeoutMs);
    std::string errors = child.stderrText();
    ReadReport report = readReport(reportPath);
    unlink(reportPath.c_str());

    ASSERT_FALSE(status.timedOut) << "the run did not end; its last steps:\n" << lastSteps(report, 15);
    ASSERT_TRUE(status.exited && status.code == 0)
        << (status.signaled ? "the run was killed by signal " + std::to_string(status.signal)
                            : "the run exited with code " + std::to_string(status.code))
        << "; its last steps:\n"
        << lastSteps(report, 15) << "stderr:\n"
        << errors.substr(0, 8000);
    EXPECT_TRUE(report.done) << "the run ended early; its last steps:\n" << lastSteps(report, 15);
    EXPECT_TRUE(report.findings.empty()) << report.findings.size() << " calls did not behave as documented:\n"
                                         << joined(report.findings, 40);
    EXPECT_EQ(errors, "") << "the run wrote to stderr";

    ASSERT_EQ(report.footprints.size(), 2u);
    Footprint before, after;
    ASSERT_TRUE(Footprint::parse(report.footprints[0].substr(sizeof "before"), before))
        << report.footprints[0];
    ASSERT_TRUE(Footprint::parse(report.footprints[1].substr(sizeof "after"), after)) << report.footprints[1];
    EXPECT_EQ(after.descriptors, before.descriptors) << "descriptors left open";
    EXPECT_EQ(after.threads, before.threads) << "threads left running";
    EXPECT_EQ(after.topLevelWindows, before.topLevelWindows) << "X windows left on the server";
    if (residentMemoryComparable) {
        EXPECT_LE(after.residentKb - before.residentKb, residentGrowthLimitKb)
            << "resident memory grew from " << before.residentKb << " kB to " << after.residentKb << " kB";
    }
    std::printf("seed %llx: %ld steps; %s; %s\n", static_cast<unsigned long long>(run.seed), run.steps,
                report.footprints[0].c_str(), report.footprints[1].c_str());
}

INSTANTIATE_TEST_SUITE_P(Seeds, ApiAbuse, ::testing::ValuesIn(runs), testName);

} // namespace
} // namespace robustness

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == robustness::childFlag)
        return robustness::runAbuse(std::strtoull(argv[2], nullptr, 0), std::strtol(argv[3], nullptr, 0),
                                    argv[4]);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new robustness::PrivateServer);
    return RUN_ALL_TESTS();
}
