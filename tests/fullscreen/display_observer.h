// A second connection to the test's X server that reads what a full-screen
// program did to it: the mode on the primary output, the screen size, and
// the program's top-level windows with their position, size and Motif
// decoration hints. It installs no X error handler of its own, so it leaves
// the process's handler to the layer under test. The header keeps Xlib's
// macros out of the tests that include it.
#pragma once

#include <string>
#include <vector>

struct _XDisplay;

namespace fullscreen_test {

using WindowId = unsigned long; // an X window id

struct OutputMode {
    unsigned long id = 0; // the RandR mode; 0 when the output shows none
    unsigned width = 0, height = 0;
    unsigned refresh = 0; // Hz, rounded
};

struct ScreenSize {
    unsigned width = 0, height = 0;
};

struct WindowState {
    int x = 0, y = 0; // in root coordinates
    unsigned width = 0, height = 0;
    bool viewable = false;
    bool hasMotifHints = false;
    unsigned long motifFlags = 0;
    unsigned long motifDecorations = 0;
};

class DisplayObserver {
  public:
    // Throws std::runtime_error when the display cannot be opened or has no
    // RandR output showing a mode.
    explicit DisplayObserver(const std::string& displayName);
    ~DisplayObserver();
    DisplayObserver(const DisplayObserver&) = delete;
    DisplayObserver& operator=(const DisplayObserver&) = delete;

    // The mode shown by the primary output (the first connected output with
    // a CRTC when none is marked primary).
    OutputMode primaryMode();
    ScreenSize screenSize();
    // Shows that mode on the primary output again, on a screen of its size: the
    // repair after a case that left the display switched.
    void showMode(const OutputMode& mode);

    std::vector<WindowId> topLevelWindowsNamed(const std::string& name);
    WindowState windowState(WindowId window);

  private:
    _XDisplay* display_ = nullptr;
    unsigned long output_ = 0; // the primary RROutput
};

} // namespace fullscreen_test
