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
#include <poll.h>
#include <unistd.h>

namespace win32 {
namespace {

struct Connection {
    bool tried = false;
    Display* display = nullptr;
    char failure[256] = "";
    Atoms atoms{};
    bool trapping = false;
    int trappedError = 0;
};

Connection& connection() {
    static Connection state;
    return state;
}

int recordError(Display*, XErrorEvent* event) {
    Connection& c = connection();
    if (c.trapping && c.trappedError == 0)
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

void open(Connection& c) {
    c.tried = true;
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) {
        std::snprintf(c.failure, sizeof c.failure, "no X display: DISPLAY is not set");
        return;
    }
    struct sigaction pipe {};
    sigaction(SIGPIPE, nullptr, &pipe);
    if (pipe.sa_handler == SIG_DFL)
        std::signal(SIGPIPE, SIG_IGN);

    XSetErrorHandler(recordError);
    XSetIOErrorHandler(onIoError);
    c.display = XOpenDisplay(nullptr);
    if (!c.display) {
        std::snprintf(c.failure, sizeof c.failure, "cannot open X display \"%s\"", name);
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
    if (c.display)
        XSync(c.display, False);
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
