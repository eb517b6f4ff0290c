// A real window manager on a private X server: openbox, which reparents each
// top-level window into a frame with a title bar and a close button, started
// with a configuration of the test's own and stopped by its pid.
#pragma once

#include "child_process.h"

#include <memory>
#include <string>

namespace testing_support {

class WindowManager {
  public:
    // Returns once the window manager manages the screen; throws
    // std::runtime_error when it does not within a bound.
    explicit WindowManager(const std::string& displayName);
    ~WindowManager();
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

  private:
    std::string directory_;
    std::unique_ptr<ChildProcess> process_;
};

} // namespace testing_support
