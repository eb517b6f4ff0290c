// The process's one connection to the X server, and the trap for X errors.
#pragma once

#include <X11/Xlib.h>

namespace win32 {

struct Atoms {
    Atom wmProtocols;
    Atom wmDeleteWindow;
    Atom wmState;
    Atom wmChangeState;
    Atom netWmName;
    Atom netWmPid;
    Atom netWmWindowType;
    Atom netWmWindowTypeDialog;
    Atom netActiveWindow;
    Atom motifWmHints;
    Atom utf8String;
};

// The display, opened from DISPLAY on first use; null when it cannot be opened
// (displayFailureReason() then says why). Once the server is lost the process
// ends from the I/O error handler, so a non-null display is always usable.
Display* display();
// The display if it is already open; never opens it.
Display* openedDisplay();
const char* displayFailureReason();
const Atoms& atoms();

// Collects the X errors of the requests made while it lives: finish() syncs
// and returns the first error code of a request made since construction (0
// when none). Errors of earlier requests are told apart by their serial
// number, so a trap costs one round trip. Traps do not nest.
class ErrorTrap {
  public:
    ErrorTrap();
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    int finish();

  private:
    bool finished_ = false;
};

// Waits up to timeoutMs for the connection to become readable.
bool waitForXInput(int timeoutMs);

} // namespace win32
