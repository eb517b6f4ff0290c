// Each demo that cannot talk to an X server at all: DISPLAY unset, a display
// whose socket refuses the connection, and a running server that refuses it
// for want of authorization. Nothing can be shown, so nothing may wait for a
// dialog: the program ends within a second with exit code 1 and one line on
// stderr that names the display.
#include <gtest/gtest.h>

#include "demo_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace reliability {
namespace {

constexpr int unreachableExitBoundMs = 1000;

bool displayNumberFree(int number) {
    std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
    std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
    return access(socket.c_str(), F_OK) != 0 && access(lock.c_str(), F_OK) != 0;
}

// The socket of a display whose server has gone without removing it: the
// file is there, and a connection to it is refused.
class RefusingSocket {
  public:
    RefusingSocket() {
        mkdir("/tmp/.X11-unix", 01777);
        for (int number = 400; number < 1000 && path_.empty(); ++number) {
            if (!displayNumberFree(number))
                continue;
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
            std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
            int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
                path_ = path;
                display_ = ":" + std::to_string(number);
            }
            if (fd >= 0)
                close(fd);
        }
    }
    ~RefusingSocket() {
        if (!path_.empty())
            unlink(path_.c_str());
    }
    RefusingSocket(const RefusingSocket&) = delete;
    RefusingSocket& operator=(const RefusingSocket&) = delete;
    const std::string& display() const { return display_; }

  private:
    std::string path_, display_;
};

// An authority file with one random cookie for any display: the server that
// reads it admits only clients that present the cookie.
class CookieFile {
  public:
    CookieFile() {
        char pattern[] = "/tmp/quorlane-auth-XXXXXX";
        int fd = mkstemp(pattern);
        if (fd >= 0)
            close(fd);
        path_ = pattern;
        std::random_device random;
        std::string cookie;
        for (int i = 0; i < 16; ++i)
            cookie += static_cast<char>(random() & 0xFF);
        std::ofstream out(path_, std::ios::binary);
        auto counted = [&](const std::string& field) {
            out.put(static_cast<char>(field.size() >> 8)).put(static_cast<char>(field.size() & 0xFF))
                << field;
        };
        out.put('\xFF').put('\xFF'); // any address family
        counted("");                 // any address
        counted("");                 // any display number
        counted("MIT-MAGIC-COOKIE-1");
        counted(cookie);
    }
    ~CookieFile() { unlink(path_.c_str()); }
    CookieFile(const CookieFile&) = delete;
    CookieFile& operator=(const CookieFile&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

enum class Unreachable { DisplayUnset, SocketRefuses, AuthorizationRefused };

struct UnreachableCase {
    const DemoProgram* program;
    Unreachable display;
};

std::string caseName(const testing::TestParamInfo<UnreachableCase>& info) {
    const char* names[] = {"DisplayUnset", "SocketRefuses", "AuthorizationRefused"};
    return std::string(info.param.program->name) + "_" + names[static_cast<int>(info.param.display)];
}

class UnreachableDisplay : public testing::TestWithParam<UnreachableCase> {};

TEST_P(UnreachableDisplay, EndsWithinOneSecondWithCodeOneAndAOneLineReason) {
    const UnreachableCase& scene = GetParam();
    std::unique_ptr<RefusingSocket> refusing;
    std::unique_ptr<CookieFile> cookie;
    std::unique_ptr<testing_support::XvfbServer> guarded;
    // The variable the reason must name: DISPLAY itself, or the display asked for.
    std::string display, named = "DISPLAY";
    switch (scene.display) {
    case Unreachable::DisplayUnset:
        break;
    case Unreachable::SocketRefuses:
        refusing = std::make_unique<RefusingSocket>();
        ASSERT_FALSE(refusing->display().empty()) << "no free display number for the refusing socket";
        display = refusing->display();
        break;
    case Unreachable::AuthorizationRefused:
        cookie = std::make_unique<CookieFile>();
        guarded = std::make_unique<testing_support::XvfbServer>(
            "640x480x24", std::vector<std::string>{"-auth", cookie->path()});
        display = guarded->displayName();
        break;
    }
    if (!display.empty())
        named = "\"" + display + "\"";

    auto start = std::chrono::steady_clock::now();
    testing_support::ChildProcess process({scene.program->path},
                                          {"DISPLAY=" + display, "XAUTHORITY=/nonexistent/authority"});
    testing_support::ExitStatus status = process.wait(exitTimeoutMs);
    auto elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    RecordProperty("exit_ms", static_cast<int>(elapsedMs));
    std::printf("[ measured ] %s ended %lld ms after its start\n", scene.program->name,
                static_cast<long long>(elapsedMs));

    ASSERT_FALSE(status.timedOut) << "still running after " << exitTimeoutMs << " ms";
    EXPECT_TRUE(status.exited) << "ended by signal " << status.signal;
    EXPECT_EQ(status.code, 1);
    EXPECT_LE(elapsedMs, unreachableExitBoundMs);
    std::string text = process.stderrText();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << "stderr: " << text;
    EXPECT_TRUE(!text.empty() && text.back() == '\n') << "stderr: " << text;
    EXPECT_NE(text.find(named), std::string::npos) << "the line does not name " << named << ": " << text;
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, UnreachableDisplay,
                         testing::Values(UnreachableCase{&primitivesDemo, Unreachable::DisplayUnset},
                                         UnreachableCase{&primitivesDemo, Unreachable::SocketRefuses},
                                         UnreachableCase{&primitivesDemo, Unreachable::AuthorizationRefused},
                                         UnreachableCase{&cubesDemo, Unreachable::DisplayUnset},
                                         UnreachableCase{&cubesDemo, Unreachable::SocketRefuses},
                                         UnreachableCase{&cubesDemo, Unreachable::AuthorizationRefused}),
                         caseName);

} // namespace
} // namespace reliability
