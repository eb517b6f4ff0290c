// A program started by a test: its pid, its stderr kept in a file, and a
// bounded wait for its end. The destructor kills it by its pid if it still runs.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

struct ExitStatus {
    bool exited = false; // ended by exit, with code
    int code = -1;
    bool signaled = false; // ended by a signal
    int signal = 0;
    bool timedOut = false; // still running when the wait ran out
};

class ChildProcess {
  public:
    // Starts argv[0] (a path) with the environment of the test plus the given
    // NAME=VALUE entries; an entry "NAME=" removes NAME.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    ExitStatus wait(int timeoutMs);
    void signal(int number);
    bool running();
    std::string stderrText() const;

  private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    ExitStatus status_;
    std::string stderrPath_;
};

} // namespace testing_support
