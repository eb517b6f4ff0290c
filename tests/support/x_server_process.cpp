#include "x_server_process.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testing_support {
namespace {

bool reap(pid_t pid, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

// The display number that -displayfd writes once the server accepts
// connections; empty when it does not within the bound.
std::string readDisplayNumber(int fd, int timeoutMs) {
    std::string number;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (number.empty() || number.back() != '\n') {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        char c = 0;
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0 || read(fd, &c, 1) != 1)
            return "";
        number += c;
    }
    number.pop_back();
    return number;
}

[[noreturn]] void execServer(std::vector<std::string>& arguments, int parentDeathSignal) {
    prctl(PR_SET_PDEATHSIG, parentDeathSignal);
    int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);
    std::vector<char*> argv;
    for (std::string& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

} // namespace

ServerProcess startServerProcess(std::vector<std::string> arguments, int parentDeathSignal,
                                 int startTimeoutMs) {
    ServerProcess server;
    int fds[2];
    if (pipe(fds) != 0)
        return server;
    arguments.insert(arguments.begin() + 1, {"-displayfd", std::to_string(fds[1])});
    server.pid = fork();
    if (server.pid == 0) {
        close(fds[0]);
        execServer(arguments, parentDeathSignal);
    }
    close(fds[1]);
    if (server.pid > 0) {
        std::string number = readDisplayNumber(fds[0], startTimeoutMs);
        if (!number.empty())
            server.displayName = ":" + number;
    }
    close(fds[0]);
    return server;
}

void stopServerProcess(pid_t pid, int timeoutMs) {
    kill(pid, SIGTERM);
    if (!reap(pid, timeoutMs)) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

} // namespace testing_support
