// One demo program started on a private Xvfb, watched from an X connection of
// the test's own. Members end in reverse order: the program (killed by its pid
// if it still runs), the observer, then the server.
#pragma once

#include "child_process.h"
#include "x_client.h"
#include "xvfb_server.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace end_to_end {

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

// Generous bounds: software GL starts slowly when tests run side by side.
constexpr int windowTimeoutMs = 20000;
constexpr int pictureTimeoutMs = 10000;
constexpr int exitTimeoutMs = 5000;

// A screen larger than every window size the tests ask for, so that whole
// windows can be read back.
constexpr char largeScreen[] = "1280x1024x24";

class DemoSession {
  public:
    explicit DemoSession(const DemoProgram& program, const std::string& screen = largeScreen,
                         const std::vector<std::string>& serverArguments = {});

    testing_support::XvfbServer server;
    testing_support::XClient observer;
    testing_support::ChildProcess process;

    // The program's window once it is viewable; 0 if it did not come.
    testing_support::WindowId waitForMainWindow();
    // Reads the window until `wanted` holds for a capture or the bound runs
    // out; returns the last capture either way.
    testing_support::RgbImage
    waitForPicture(testing_support::WindowId window,
                   const std::function<bool(const testing_support::RgbImage&)>& wanted);
};

} // namespace end_to_end
