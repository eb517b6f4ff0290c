#include "demo_run.h"

#include <chrono>
#include <thread>

namespace reliability {
namespace {

std::unique_ptr<WindowManager> startWindowManager(const testing_support::XvfbServer& server, bool wanted) {
    return wanted ? std::make_unique<WindowManager>(server.displayName()) : nullptr;
}

} // namespace

DemoRun::DemoRun(const DemoProgram& program, const ServerSetup& setup)
    : server(setup.screen, setup.arguments), windowManager(startWindowManager(server, setup.windowManager)),
      observer(server.displayName()), desktop(server.displayName()),
      process({program.path}, {"DISPLAY=" + server.displayName()}) {}

WindowId DemoRun::waitForMainWindow() {
    return desktop.waitForNamedWindow(mainWindowName, windowTimeoutMs);
}

testing_support::RgbImage
DemoRun::waitForPicture(WindowId window,
                        const std::function<bool(const testing_support::RgbImage&)>& wanted) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(pictureTimeoutMs);
    for (;;) {
        testing_support::RgbImage picture = observer.capture(window);
        if ((!picture.empty() && wanted(picture)) || std::chrono::steady_clock::now() >= deadline)
            return picture;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace reliability
