#include "xvfb_server.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testing_support {
namespace {

// Generous: a loaded two-core machine running tests in parallel starts
// servers slowly.
constexpr int startTimeoutMs = 45000;

bool reap(pid_t pid, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

} // namespace

XvfbServer::XvfbServer(const std::string& screen, const std::vector<std::string>& extraArguments) {
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    std::vector<std::string> args = {"/usr/bin/Xvfb", "-displayfd", std::to_string(fds[1]),
                                     "-screen",       "0",          screen,
                                     "-nolisten",     "tcp",        "-noreset"};
    args.insert(args.end(), extraArguments.begin(), extraArguments.end());
    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        // The server goes with the test process, however that ends.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        close(fds[0]);
        int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(startTimeoutMs);
    while (number.empty() || number.back() != '\n') {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0 ||
            read(fds[0], &c, 1) != 1) {
            close(fds[0]);
            kill();
            throw std::runtime_error("Xvfb did not start");
        }
        number += c;
    }
    close(fds[0]);
    number.pop_back();
    displayName_ = ":" + number;
}

XvfbServer::~XvfbServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        if (!reap(pid_, 5000)) {
            ::kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
}

void XvfbServer::kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

} // namespace testing_support
