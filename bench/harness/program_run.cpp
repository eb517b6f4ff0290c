#include "program_run.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

std::map<std::string, long long> readValues(const std::string& path) {
    std::map<std::string, long long> values;
    std::ifstream file(path);
    std::string key;
    long long value = 0;
    while (file >> key >> value)
        values[key] = value;
    return values;
}

// Waits for the child's exit within the timeout; false when it is still
// running. A pidfd makes the wait exact; without one the child is looked at
// every few milliseconds.
bool awaitExit(pid_t pid, double timeoutSeconds) {
    int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        if (pidfd >= 0) {
            pollfd fd{pidfd, POLLIN, 0};
            int ready = poll(&fd, 1, static_cast<int>(left.count()));
            if (ready > 0) {
                close(pidfd);
                return true;
            }
            if (ready < 0 && errno != EINTR)
                break;
        } else {
            siginfo_t info{};
            if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                info.si_pid == pid)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    if (pidfd >= 0)
        close(pidfd);
    return false;
}

} // namespace

RunResult runProgram(const RunRequest& request) {
    RunResult result;
    std::this_thread::sleep_for(std::chrono::duration<double>(pauseBeforeRunSeconds));
    std::remove(request.resultFile.c_str());

    // Everything the child needs is built before fork.
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry)
        environment.push_back(*entry);
    for (const std::string& extra : request.environment)
        environment.push_back(extra);
    environment.push_back("BENCH_RESULT=" + request.resultFile);
    std::string execStamp = "BENCH_EXEC_NS=00000000000000000000";
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    if (request.stampExec)
        envp.push_back(execStamp.data());
    envp.push_back(nullptr);
    std::vector<std::string> arguments = request.command;
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    std::string logPath = request.resultFile + ".log";
    pid_t pid = fork();
    if (pid < 0) {
        result.failure = std::string("fork: ") + std::strerror(errno);
        return result;
    }
    if (pid == 0) {
        // Output goes beside the result file, to explain a failed run.
        int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (log >= 0) {
            dup2(log, STDOUT_FILENO);
            dup2(log, STDERR_FILENO);
        }
        if (request.stampExec) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            long long ns = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
            std::snprintf(execStamp.data() + std::strlen("BENCH_EXEC_NS="), 21, "%020lld", ns);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }

    bool exited = awaitExit(pid, request.timeoutSeconds);
    if (!exited)
        kill(pid, SIGKILL);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.peakResidentKb = usage.ru_maxrss;
    result.values = readValues(request.resultFile);
    if (!exited)
        result.failure = "timed out";
    else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        result.failure = "exit status " + std::to_string(status) + " (see " + logPath + ")";
    else
        result.finished = true;
    return result;
}
