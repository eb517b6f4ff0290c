// A private Xvfb for one test program: started on a free display number that
// the server picks itself (-displayfd), never the user's display, and stopped
// by its pid.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

class XvfbServer {
  public:
    // screen is WIDTHxHEIGHTxDEPTH; extraArguments go to Xvfb as they stand
    // (for example "-extension", "GLX").
    explicit XvfbServer(const std::string& screen = "1024x768x24",
                        const std::vector<std::string>& extraArguments = {});
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    const std::string& displayName() const { return displayName_; }
    pid_t pid() const { return pid_; }
    // Kills the server at once, as a crash would.
    void kill();

  private:
    pid_t pid_ = -1;
    std::string displayName_;
};

} // namespace testing_support
