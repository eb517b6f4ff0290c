#include "dummy_xorg_server.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fullscreen_test {
namespace {

constexpr char xorgPath[] = "/usr/bin/Xorg";
constexpr char dummyDriverPath[] = "/usr/lib/xorg/modules/drivers/dummy_drv.so";
constexpr int startTimeoutMs = 20000;
constexpr int stopTimeoutMs = 5000;

bool reap(pid_t pid, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

bool copyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
    return in.good() && out.good();
}

// Reads the display number that -displayfd writes once the server accepts
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

} // namespace

DummyXorgServer::DummyXorgServer(const std::string& configPath) {
    if (geteuid() != 0)
        unavailableReason_ = "Xorg with the dummy driver needs root here, and the tests do not run as root";
    else if (access(xorgPath, X_OK) != 0 || access(dummyDriverPath, R_OK) != 0)
        unavailableReason_ = "Xorg or its dummy video driver is not installed (xserver-xorg-core, "
                             "xserver-xorg-video-dummy; tools/install_dependencies.sh installs them)";
    else
        start(configPath);
}

DummyXorgServer::~DummyXorgServer() {
    stop();
    if (!directory_.empty()) {
        for (const char* name : {"/xorg.conf", "/xorg.log", "/xorg.log.old", "/conf.d/none.conf"})
            unlink((directory_ + name).c_str());
        rmdir((directory_ + "/conf.d").c_str());
        rmdir(directory_.c_str());
    }
}

void DummyXorgServer::start(const std::string& configPath) {
    char pattern[] = "/tmp/quorlane-xorg-XXXXXX";
    if (!mkdtemp(pattern)) {
        unavailableReason_ = "cannot make a directory for the server's files";
        return;
    }
    directory_ = pattern;
    // A configuration directory of its own, so that no snippet installed on the
    // machine changes the server. The server wants at least one file there.
    mkdir((directory_ + "/conf.d").c_str(), 0700);
    std::ofstream(directory_ + "/conf.d/none.conf") << "# Nothing: the whole configuration is xorg.conf.\n";
    if (!copyFile(configPath, directory_ + "/xorg.conf")) {
        unavailableReason_ = "cannot read the server configuration " + configPath;
        return;
    }

    int fds[2];
    if (pipe(fds) != 0) {
        unavailableReason_ = "pipe failed";
        return;
    }
    std::vector<std::string> args = {xorgPath, "-displayfd", std::to_string(fds[1]), "-config",
                                     directory_ + "/xorg.conf", "-configdir", directory_ + "/conf.d",
                                     "-logfile", directory_ + "/xorg.log", "-noreset", "-nolisten", "tcp",
                                     // Share the console with whatever holds it and never switch away.
                                     "-sharevts", "-novtswitch"};
    pid_ = fork();
    if (pid_ < 0) {
        close(fds[0]);
        close(fds[1]);
        unavailableReason_ = "fork failed";
        return;
    }
    if (pid_ == 0) {
        // Should the test process die without stopping it, the server goes too.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(fds[0]);
        int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, STDIN_FILENO);
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
    std::string number = readDisplayNumber(fds[0], startTimeoutMs);
    close(fds[0]);
    if (number.empty()) {
        stop();
        unavailableReason_ = "Xorg with the dummy driver did not start here" + logErrors();
        return;
    }
    displayName_ = ":" + number;
}

void DummyXorgServer::stop() {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    if (!reap(pid_, stopTimeoutMs)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
}

std::string DummyXorgServer::logErrors() const {
    // Left out: the legend, blank error lines, and errors every start here
    // logs (no system bus, no input drivers: the tests need neither).
    const char* routine[] = {"(EE) error,",  "dbus-core",       "\"mouse\"",         "\"kbd\"",
                             "\"libinput\"", "No input driver", "check the log file"};
    std::ifstream log(directory_ + "/xorg.log");
    std::string line, errors;
    while (std::getline(log, line)) {
        std::size_t tag = line.find("(EE)");
        if (tag == std::string::npos || line.find_first_not_of(' ', tag + 4) == std::string::npos)
            continue;
        bool isRoutine = false;
        for (const char* text : routine)
            isRoutine = isRoutine || line.find(text) != std::string::npos;
        if (!isRoutine)
            errors += "\n  " + line;
    }
    return errors.empty() ? " (its log names no error)" : ":" + errors;
}

} // namespace fullscreen_test
