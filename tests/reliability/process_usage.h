// What a running program holds, read from /proc: resident memory and open
// file descriptors. Both are read from outside, without the program's help.
#pragma once

#include <atomic>
#include <mutex>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace reliability {

// VmRSS of the process in KiB; -1 once it has ended.
long residentKiB(pid_t pid);
// Entries of /proc/<pid>/fd; -1 once it has ended.
int openFileCount(pid_t pid);
// Whether the program runs under AddressSanitizer, whose shadow memory and
// quarantine of freed blocks make its resident size say nothing about leaks.
bool runsUnderAddressSanitizer(pid_t pid);

// Reads the resident size of a process every few milliseconds on a thread of
// its own until stopped or until the process has ended.
class ResidentSampler {
  public:
    explicit ResidentSampler(pid_t pid, int intervalMs = 2);
    ~ResidentSampler();
    ResidentSampler(const ResidentSampler&) = delete;
    ResidentSampler& operator=(const ResidentSampler&) = delete;

    struct Sample {
        long elapsedMs; // since the sampler started
        long kib;
    };
    void stop();
    std::vector<Sample> samples();

  private:
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::vector<Sample> samples_;
    std::thread thread_;
};

} // namespace reliability
