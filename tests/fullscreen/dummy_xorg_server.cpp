#include "dummy_xorg_server.h"

#include "x_server_process.h"

#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fullscreen_test {
namespace {

constexpr char xorgPath[] = "/usr/bin/Xorg";
constexpr char dummyDriverPath[] = "/usr/lib/xorg/modules/drivers/dummy_drv.so";
constexpr int startTimeoutMs = 20000;
constexpr int stopTimeoutMs = 5000;

bool copyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
    return in.good() && out.good();
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

    std::vector<std::string> args = {xorgPath, "-config", directory_ + "/xorg.conf", "-configdir",
                                     directory_ + "/conf.d", "-logfile", directory_ + "/xorg.log", "-noreset",
                                     "-nolisten", "tcp",
                                     // Share the console with whatever holds it and never switch away.
                                     "-sharevts", "-novtswitch"};
    // Should the test process die without stopping it, the server goes too.
    testing_support::ServerProcess server =
        testing_support::startServerProcess(args, SIGTERM, startTimeoutMs);
    pid_ = server.pid;
    if (pid_ < 0) {
        unavailableReason_ = "cannot start Xorg";
        return;
    }
    if (server.displayName.empty()) {
        stop();
        unavailableReason_ = "Xorg with the dummy driver did not start here" + logErrors();
        return;
    }
    displayName_ = server.displayName;
}

void DummyXorgServer::stop() {
    if (pid_ <= 0)
        return;
    testing_support::stopServerProcess(pid_, stopTimeoutMs);
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
