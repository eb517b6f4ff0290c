#include "private_display.h"

#include "x11_connection.h"

#include <csignal>
#include <cstdlib>
#include <sys/wait.h>

namespace layer_test {
namespace {

// The server of a program that ends without tearing down (a failing call
// that exits, say) is stopped on the way out all the same.
pid_t& runningServer() {
    static pid_t pid = -1;
    return pid;
}

void stopLeftServer() {
    if (runningServer() > 0) {
        kill(runningServer(), SIGKILL);
        waitpid(runningServer(), nullptr, 0);
    }
}

} // namespace

void PrivateDisplay::SetUp() {
    PrivateDisplayEnvironment::SetUp();
    if (runningServer() < 0)
        std::atexit(stopLeftServer);
    runningServer() = server().pid();
    ASSERT_NE(win32::display(), nullptr) << win32::displayFailureReason();
}

void PrivateDisplay::TearDown() {
    runningServer() = 0;
    PrivateDisplayEnvironment::TearDown();
}

} // namespace layer_test
