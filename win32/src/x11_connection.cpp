// The one X connection: opened on first use from DISPLAY, its atoms interned
// in one round trip, one error handler for the whole process, and the loss of
// the server.
//
// X errors are recorded and never printed; callers whose result depends on a
// request bracket it with an ErrorTrap. When the connection is lost, Xlib calls
// the I/O error handler: it writes one line to stderr and ends the process with
// exit code 1 at once, without running exit handlers that would talk to the
// dead server. SIGPIPE is ignored so that a write to the dead socket reports
// the loss instead of killing the process by a signal.
#include "x11_connection.h"

#include <X11/XKBlib.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

namespace win32 {
namespace {

struct Connection {
    bool tried = false;
    Display* display = nullptr;
    char failure[256] = "";
    Atoms atoms{};
    bool trapping = false;
    unsigned long trapFirstRequest = 0;
    int trappedError = 0;
};

Connection& connection() {
    static Connection state;
    return state;
}

int recordError(Display* display, XErrorEvent* event) {
    Connection& c = connection();
    if (display != c.display)
        return 0; // another connection of the process (a test's, say)
    // Only errors of requests made since the trap began count for it.
    if (c.trapping && c.trappedError == 0 && event->serial >= c.trapFirstRequest)
        c.trappedError = event->error_code;
    return 0;
}

[[noreturn]] void reportLostServer(Display* display) {
    const char* name = display ? DisplayString(display) : "";
    char line[320];
    int length =
        std::snprintf(line, sizeof line, "X server connection lost (display \"%s\"); exiting\n", name);
    if (length > 0) {
        ssize_t ignored = write(STDERR_FILENO, line, static_cast<size_t>(length));
        (void)ignored;
    }
    _exit(1);
}

int onIoError(Display* display) {
    reportLostServer(display);
}

void onIoErrorExit(Display* display, void*) {
    reportLostServer(display);
}

void internAtoms(Display* display, Atoms& atoms) {
    const char* names[] = {"WM_PROTOCOLS",
                           "WM_DELETE_WINDOW",
                           "WM_STATE",
                           "WM_CHANGE_STATE",
                           "_NET_WM_NAME",
                           "_NET_WM_PID",
                           "_NET_WM_WINDOW_TYPE",
                           "_NET_WM_WINDOW_TYPE_DIALOG",
                           "_NET_ACTIVE_WINDOW",
                           "_MOTIF_WM_HINTS",
                           "UTF8_STRING"};
    Atom* slots[] = {
        &atoms.wmProtocols,     &atoms.wmDeleteWindow, &atoms.wmState,         &atoms.wmChangeState,
        &atoms.netWmName,       &atoms.netWmPid,       &atoms.netWmWindowType, &atoms.netWmWindowTypeDialog,
        &atoms.netActiveWindow, &atoms.motifWmHints,   &atoms.utf8String};
    constexpr int count = sizeof names / sizeof names[0];
    Atom values[count];
    XInternAtoms(display, const_cast<char**>(names), count, False, values);
    for (int i = 0; i < count; ++i)
        *slots[i] = values[i];
}

// Xlib writes a server's reason for refusing a connection (no authorization,
// say) to stderr by itself. It is caught here instead and becomes part of the
// one line the program prints about the failure.
Display* openCatchingRefusal(char* reason, std::size_t size) {
    reason[0] = '\0';
    std::fflush(stderr);
    int savedStderr = dup(STDERR_FILENO);
    int capture = memfd_create("x-refusal", MFD_CLOEXEC);
    if (savedStderr < 0 || capture < 0 || dup2(capture, STDERR_FILENO) < 0) {
        if (savedStderr >= 0)
            close(savedStderr);
        if (capture >= 0)
            close(capture);
        return XOpenDisplay(nullptr);
    }
    Display* opened = XOpenDisplay(nullptr);
    std::fflush(stderr);
    dup2(savedStderr, STDERR_FILENO);
    close(savedStderr);
    ssize_t length = pread(capture, reason, size - 1, 0);
    close(capture);
    reason[length > 0 ? length : 0] = '\0';
    for (char* p = reason; *p; ++p)
        if (*p == '\n' || *p == '\r')
            *p = ' ';
    for (std::size_t end = std::strlen(reason); end > 0 && reason[end - 1] == ' '; --end)
        reason[end - 1] = '\0';
    return opened;
}

void open(Connection& c) {
    c.tried = true;
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) {
        std::snprintf(c.failure, sizeof c.failure, "DISPLAY is not set");
        return;
    }
    struct sigaction pipe {};
    sigaction(SIGPIPE, nullptr, &pipe);
    if (pipe.sa_handler == SIG_DFL)
        std::signal(SIGPIPE, SIG_IGN);

    XSetErrorHandler(recordError);
    XSetIOErrorHandler(onIoError);
    char refusal[160];
    c.display = openCatchingRefusal(refusal, sizeof refusal);
    if (!c.display) {
        if (refusal[0])
            std::snprintf(c.failure, sizeof c.failure, "cannot open \"%s\": %s", name, refusal);
        else
            std::snprintf(c.failure, sizeof c.failure, "cannot open \"%s\"", name);
        return;
    }
    XSetIOErrorExitHandler(c.display, onIoErrorExit, nullptr);
    internAtoms(c.display, c.atoms);
    // A held key then reports repeated presses and one release, as Win32 does.
    XkbSetDetectableAutoRepeat(c.display, True, nullptr);
}

} // namespace

Display* display() {
    Connection& c = connection();
    if (!c.tried)
        open(c);
    return c.display;
}

Display* openedDisplay() {
    return connection().display;
}

const char* displayFailureReason() {
    return connection().failure;
}

const Atoms& atoms() {
    return connection().atoms;
}

ErrorTrap::ErrorTrap() {
    Connection& c = connection();
    // XNextRequest, not the NextRequest macro: libGL sends GLX requests through
    // XCB, which Xlib's own count catches up with only here. With the stale
    // count an error of such an earlier request (a GLX swap on a window that
    // is no GLX drawable) would be taken for one of the trap's own.
    c.trapFirstRequest = c.display ? XNextRequest(c.display) : 0;
    c.trapping = true;
    c.trappedError = 0;
}

ErrorTrap::~ErrorTrap() {
    finish();
}

int ErrorTrap::finish() {
    Connection& c = connection();
    if (!finished_) {
        finished_ = true;
        if (c.display)
            XSync(c.display, False);
        c.trapping = false;
    }
    return c.trappedError;
}

bool waitForXInput(int timeoutMs) {
    Display* d = display();
    if (!d)
        return false;
    if (XPending(d))
        return true;
    pollfd fd{ConnectionNumber(d), POLLIN, 0};
    return poll(&fd, 1, timeoutMs) > 0;
}

} // namespace win32
