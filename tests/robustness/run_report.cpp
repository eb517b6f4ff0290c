#include "run_report.h"

#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace robustness {

RunReport::RunReport(const std::string& path) {
    fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd_ < 0)
        throw std::runtime_error("cannot write the report " + path);
}

RunReport::~RunReport() {
    if (fd_ >= 0)
        close(fd_);
}

void RunReport::line(const std::string& text) {
    std::string whole = text + "\n";
    const char* data = whole.data();
    std::size_t left = whole.size();
    while (left > 0) {
        ssize_t written = write(fd_, data, left);
        if (written <= 0)
            return;
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

void RunReport::step(long number, int depth, const std::string& call) {
    currentStep_ = number;
    line(stepPrefix + std::to_string(number) + (depth ? " (inside a window procedure)" : "") + ": " + call);
}

void RunReport::finding(const std::string& what) {
    line(findingPrefix + std::string("at step ") + std::to_string(currentStep_) + ": " + what);
}

} // namespace robustness
