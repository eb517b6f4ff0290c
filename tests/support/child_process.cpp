#include "child_process.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testing_support {

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& environment) {
    char pattern[] = "/tmp/quorlane-stderr-XXXXXX";
    int stderrFd = mkstemp(pattern);
    if (stderrFd < 0)
        throw std::runtime_error("mkstemp failed");
    stderrPath_ = pattern;

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    for (const std::string& entry : environment) {
        std::string name = entry.substr(0, entry.find('='));
        for (auto it = env.begin(); it != env.end();)
            it = it->compare(0, name.size() + 1, name + "=") == 0 ? env.erase(it) : it + 1;
        if (entry.size() > name.size() + 1)
            env.push_back(entry);
    }
    std::vector<char*> args, envp;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        dup2(stderrFd, STDERR_FILENO);
        int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, STDIN_FILENO);
        execve(args[0], args.data(), envp.data());
        _exit(127);
    }
    close(stderrFd);
}

ChildProcess::~ChildProcess() {
    if (!reaped_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (!stderrPath_.empty())
        unlink(stderrPath_.c_str());
}

ExitStatus ChildProcess::wait(int timeoutMs) {
    if (reaped_)
        return status_;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int raw = 0;
        pid_t done = waitpid(pid_, &raw, WNOHANG);
        if (done == pid_) {
            reaped_ = true;
            status_.exited = WIFEXITED(raw);
            status_.code = status_.exited ? WEXITSTATUS(raw) : -1;
            status_.signaled = WIFSIGNALED(raw);
            status_.signal = status_.signaled ? WTERMSIG(raw) : 0;
            return status_;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ExitStatus pending;
            pending.timedOut = true;
            return pending;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void ChildProcess::signal(int number) {
    if (!reaped_)
        ::kill(pid_, number);
}

bool ChildProcess::running() {
    return !reaped_ && wait(0).timedOut;
}

std::string ChildProcess::stderrText() const {
    std::ifstream in(stderrPath_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace testing_support
