// Starting and stopping an X server process for one test program: the server
// picks a free display number itself and writes it to a pipe (-displayfd),
// which is read with a bounded wait; the server is stopped by its pid.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

struct ServerProcess {
    pid_t pid = -1;          // -1 when the server could not be forked
    std::string displayName; // ":N"; empty when the server did not announce one in time
};

// Runs `arguments` (the server's path first) with "-displayfd N" added after
// the path and its standard streams on /dev/null. The server gets
// `parentDeathSignal` should the test process die without stopping it. When
// the display number does not come within the bound, the process is left
// running for the caller to stop.
ServerProcess startServerProcess(std::vector<std::string> arguments, int parentDeathSignal,
                                 int startTimeoutMs);

// SIGTERM, then SIGKILL when the server has not ended within the bound; reaps it.
void stopServerProcess(pid_t pid, int timeoutMs);

} // namespace testing_support
