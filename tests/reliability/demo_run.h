// A demo session (demo_session.h) with a second connection that acts on the
// program's window as a user and a window manager would.
#pragma once

#include "demo_session.h"
#include "desktop.h"

namespace reliability {

using testing_support::cubesDemo;
using testing_support::DemoProgram;
using testing_support::DemoSession;
using testing_support::exitTimeoutMs;
using testing_support::largeScreen;
using testing_support::mainWindowName;
using testing_support::messageBoxName;
using testing_support::pictureTimeoutMs;
using testing_support::primitivesDemo;
using testing_support::ServerSetup;
using testing_support::windowTimeoutMs;

class DemoRun : public DemoSession {
  public:
    explicit DemoRun(const DemoProgram& program, const ServerSetup& setup = {})
        : DemoSession(program, setup), desktop(server.displayName()) {}

    Desktop desktop;
};

} // namespace reliability
