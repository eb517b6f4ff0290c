// One demo program started on a private Xvfb, optionally under a real window
// manager, watched from an X connection of the test's own. Members end in
// reverse order: the program (killed by its pid if it still runs), the
// observer, the window manager, then the server. The programs' paths come
// from the build (PRIMITIVES_DEMO_PATH, CUBES_DEMO_PATH).
#pragma once

#include "child_process.h"
#include "window_manager.h"
#include "x_client.h"
#include "xvfb_server.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace testing_support {

struct DemoProgram {
    const char* name;
    const char* path;
    const char* windowClass;
};

inline const DemoProgram primitivesDemo{"primitives_demo", PRIMITIVES_DEMO_PATH, "GLCLASS"};
inline const DemoProgram cubesDemo{"cubes_demo", CUBES_DEMO_PATH, "OpenGL"};

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
    std::vector<std::string> arguments; // for Xvfb, as they stand
    bool windowManager = false;
};

class DemoSession {
  public:
    explicit DemoSession(const DemoProgram& program, const ServerSetup& setup = {});

    XvfbServer server;
    std::unique_ptr<WindowManager> windowManager; // null without one
    XClient observer;
    ChildProcess process;

    // The program's window once it is viewable, wherever it sits; 0 if it did
    // not come.
    WindowId waitForMainWindow();
    // Reads the window until `wanted` holds for a capture or the bound runs
    // out; returns the last capture either way.
    RgbImage waitForPicture(WindowId window, const std::function<bool(const RgbImage&)>& wanted);
};

} // namespace testing_support
