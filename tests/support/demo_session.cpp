#include "demo_session.h"

#include <chrono>
#include <thread>

namespace testing_support {
namespace {

std::unique_ptr<WindowManager> startWindowManager(const XvfbServer& server, bool wanted) {
    return wanted ? std::make_unique<WindowManager>(server.displayName()) : nullptr;
}

} // namespace

DemoSession::DemoSession(const DemoProgram& program, const ServerSetup& setup)
    : server(setup.screen, setup.arguments), windowManager(startWindowManager(server, setup.windowManager)),
      observer(server.displayName()), process({program.path}, {"DISPLAY=" + server.displayName()}) {}

WindowId DemoSession::waitForMainWindow() {
    return observer.waitForViewableWindow(mainWindowName, windowTimeoutMs);
}

RgbImage DemoSession::waitForPicture(WindowId window, const std::function<bool(const RgbImage&)>& wanted) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(pictureTimeoutMs);
    for (;;) {
        RgbImage picture = observer.capture(window);
        if ((!picture.empty() && wanted(picture)) || std::chrono::steady_clock::now() >= deadline)
            return picture;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace testing_support
