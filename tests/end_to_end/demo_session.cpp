#include "demo_session.h"

#include <chrono>
#include <thread>

namespace end_to_end {

DemoSession::DemoSession(const DemoProgram& program, const std::string& screen,
                         const std::vector<std::string>& serverArguments)
    : server(screen, serverArguments), observer(server.displayName()),
      process({program.path}, {"DISPLAY=" + server.displayName()}) {}

testing_support::WindowId DemoSession::waitForMainWindow() {
    return observer.waitForViewableWindow(mainWindowName, windowTimeoutMs);
}

testing_support::RgbImage
DemoSession::waitForPicture(testing_support::WindowId window,
                            const std::function<bool(const testing_support::RgbImage&)>& wanted) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(pictureTimeoutMs);
    for (;;) {
        testing_support::RgbImage picture = observer.capture(window);
        if ((!picture.empty() && wanted(picture)) || std::chrono::steady_clock::now() >= deadline)
            return picture;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace end_to_end
