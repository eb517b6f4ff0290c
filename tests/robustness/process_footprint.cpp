#include "process_footprint.h"

#include "outside_client.h"

#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace robustness {
namespace {

int openDescriptors() {
    DIR* directory = opendir("/proc/self/fd");
    if (!directory)
        return -1;
    int count = 0;
    while (dirent* entry = readdir(directory))
        if (entry->d_name[0] != '.')
            ++count;
    closedir(directory);
    return count - 1; // the directory's own descriptor
}

long residentKilobytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int threadCount() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Threads:", 0) == 0)
            return std::stoi(line.substr(8));
    return -1;
}

} // namespace

std::string Footprint::text() const {
    std::ostringstream out;
    out << "descriptors " << descriptors << " residentKb " << residentKb << " threads " << threads
        << " topLevelWindows " << topLevelWindows;
    return out.str();
}

bool Footprint::parse(const std::string& text, Footprint& footprint) {
    return std::sscanf(text.c_str(), "descriptors %d residentKb %ld threads %d topLevelWindows %d",
                       &footprint.descriptors, &footprint.residentKb, &footprint.threads,
                       &footprint.topLevelWindows) == 4;
}

Footprint measureFootprint(OutsideClient& outside) {
    Footprint footprint;
    footprint.descriptors = openDescriptors();
    footprint.residentKb = residentKilobytes();
    footprint.threads = threadCount();
    footprint.topLevelWindows = outside.topLevelWindowCount();
    return footprint;
}

} // namespace robustness
