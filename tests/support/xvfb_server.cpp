#include "xvfb_server.h"

#include "x_server_process.h"

#include <csignal>
#include <stdexcept>
#include <sys/wait.h>

namespace testing_support {
namespace {

// Generous: a loaded two-core machine running tests in parallel starts
// servers slowly.
constexpr int startTimeoutMs = 45000;
constexpr int stopTimeoutMs = 5000;

} // namespace

XvfbServer::XvfbServer(const std::string& screen, const std::vector<std::string>& extraArguments) {
    std::vector<std::string> args = {"/usr/bin/Xvfb", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"};
    args.insert(args.end(), extraArguments.begin(), extraArguments.end());
    // The server goes with the test process, however that ends.
    ServerProcess server = startServerProcess(args, SIGKILL, startTimeoutMs);
    pid_ = server.pid;
    if (pid_ < 0)
        throw std::runtime_error("cannot start Xvfb");
    if (server.displayName.empty()) {
        kill();
        throw std::runtime_error("Xvfb did not start");
    }
    displayName_ = server.displayName;
}

XvfbServer::~XvfbServer() {
    if (pid_ > 0)
        stopServerProcess(pid_, stopTimeoutMs);
}

void XvfbServer::kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

} // namespace testing_support
