// An Xorg server with the dummy video driver for one test program: unlike
// Xvfb it can switch its output between modes through RandR. It runs as root
// on a display number it picks itself (-displayfd), with its configuration and
// log in a private directory, and is stopped by its pid. Where Xorg cannot run
// (not root, not installed, no console it can use) the server is unavailable
// and says why.
#pragma once

#include <string>
#include <sys/types.h>

namespace fullscreen_test {

class DummyXorgServer {
  public:
    // configPath names the server configuration to run with.
    explicit DummyXorgServer(const std::string& configPath);
    ~DummyXorgServer();
    DummyXorgServer(const DummyXorgServer&) = delete;
    DummyXorgServer& operator=(const DummyXorgServer&) = delete;

    bool available() const { return pid_ > 0; }
    // Why the server is not available; empty when it is.
    const std::string& unavailableReason() const { return unavailableReason_; }
    const std::string& displayName() const { return displayName_; }

  private:
    void start(const std::string& configPath);
    void stop();
    // The server's error lines from its log, for a failure message.
    std::string logErrors() const;

    pid_t pid_ = -1;
    std::string directory_;
    std::string displayName_;
    std::string unavailableReason_;
};

} // namespace fullscreen_test
