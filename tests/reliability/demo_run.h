// One demo program on a private Xvfb, optionally under a real window manager,
// watched and driven from the test's own X connections. Members end in
// reverse order: the program (killed by its pid if it still runs), the
// observers, the window manager, then the server.
#pragma once

#include "child_process.h"
#include "desktop.h"
#include "window_manager.h"
#include "x_client.h"
#include "xvfb_server.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace reliability {

struct DemoProgram {
    const char* name;
    const char* path;
};

inline const DemoProgram primitivesDemo{"primitives_demo", PRIMITIVES_DEMO_PATH};
inline const DemoProgram cubesDemo{"cubes_demo", CUBES_DEMO_PATH};

inline std::ostream& operator<<(std::ostream& out, const DemoProgram& program) {
    return out << program.name;
}

constexpr char mainWindowName[] = "Quorlane";
constexpr char messageBoxName[] = "ERROR";

// Generous bounds for what is not measured: software GL starts slowly when
// tests run side by side.
constexpr int windowTimeoutMs = 20000;
constexpr int pictureTimeoutMs = 10000;
constexpr int exitTimeoutMs = 5000;

// Larger than any window the tests ask for, so that whole windows can be read.
constexpr char largeScreen[] = "1280x1024x24";

struct ServerSetup {
    std::string screen = largeScreen;
    std::vector<std::string> arguments;
    bool windowManager = false;
};

class DemoRun {
  public:
    explicit DemoRun(const DemoProgram& program, const ServerSetup& setup = {});

    testing_support::XvfbServer server;
    std::unique_ptr<WindowManager> windowManager; // null without one
    testing_support::XClient observer;
    Desktop desktop;
    testing_support::ChildProcess process;

    // The program's window once it is viewable, wherever it sits; 0 if it did
    // not come.
    WindowId waitForMainWindow();
    // Reads the window until `wanted` holds for a capture or the bound runs
    // out; returns the last capture either way.
    testing_support::RgbImage
    waitForPicture(WindowId window, const std::function<bool(const testing_support::RgbImage&)>& wanted);
};

} // namespace reliability
