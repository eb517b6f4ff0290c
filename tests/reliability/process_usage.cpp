#include "process_usage.h"

#include <chrono>
#include <dirent.h>
#include <fstream>
#include <string>

namespace reliability {

long residentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0)
            return std::stol(line.substr(6));
    return -1;
}

int openFileCount(pid_t pid) {
    DIR* directory = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
    if (!directory)
        return -1;
    int count = 0;
    while (dirent* entry = readdir(directory))
        if (entry->d_name[0] != '.')
            ++count;
    closedir(directory);
    return count;
}

bool runsUnderAddressSanitizer(pid_t pid) {
    // A shared runtime shows in the mappings; a static one leaves its entry
    // point's name in the executable.
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("libasan") != std::string::npos)
            return true;
    std::ifstream program("/proc/" + std::to_string(pid) + "/exe", std::ios::binary);
    const std::string marker = "__asan_init";
    std::string window;
    char block[65536];
    while (program.read(block, sizeof block) || program.gcount() > 0) {
        window.append(block, static_cast<std::size_t>(program.gcount()));
        if (window.find(marker) != std::string::npos)
            return true;
        if (window.size() > marker.size())
            window.erase(0, window.size() - marker.size());
    }
    return false;
}

ResidentSampler::ResidentSampler(pid_t pid, int intervalMs) {
    thread_ = std::thread([this, pid, intervalMs] {
        auto start = std::chrono::steady_clock::now();
        while (!stopping_) {
            long kib = residentKiB(pid);
            if (kib < 0)
                return;
            long elapsedMs = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                   std::chrono::steady_clock::now() - start)
                                                   .count());
            {
                std::lock_guard<std::mutex> lock(mutex_);
                samples_.push_back(Sample{elapsedMs, kib});
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
        }
    });
}

ResidentSampler::~ResidentSampler() {
    stop();
}

void ResidentSampler::stop() {
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
}

std::vector<ResidentSampler::Sample> ResidentSampler::samples() {
    std::lock_guard<std::mutex> lock(mutex_);
    return samples_;
}

} // namespace reliability
