// An observer of a private X server, for tests that drive a real program the
// way a user and a window manager would: it finds the program's top-level
// windows by name, reads their properties and pixels, and sends real input
// (XTest keys, the window manager's close request, a resize). Every wait is
// bounded. The header keeps Xlib's macros out of the tests that include it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct _XDisplay;

namespace testing_support {

using WindowId = unsigned long; // an X window id; 0 for none

struct Rgb {
    unsigned char r = 0, g = 0, b = 0;
};

// Pixels read back from the server, top row first.
struct RgbImage {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;

    bool empty() const { return pixels.empty(); }
    const Rgb& at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

struct WindowClassHint {
    std::string instance;  // res_name
    std::string className; // res_class
};

struct WindowGeometry {
    int x = 0, y = 0; // in root coordinates
    int width = 0, height = 0;
};

// What a connection of the test's own does about the process's X error
// handler. Xlib's default one ends the process, while the program under test
// destroys windows under the observer's feet and a call's own result reports
// the failure: ReplaceFatalDefault puts a handler that ignores errors in its
// place and keeps any other (the layer's, in a test that runs the layer).
// LeaveAlone touches nothing, for a connection opened while the layer may be
// working on another thread.
enum class ErrorHandling { ReplaceFatalDefault, LeaveAlone };

class XClient {
  public:
    // Throws std::runtime_error when the display cannot be opened or lacks XTest.
    explicit XClient(const std::string& displayName,
                     ErrorHandling errorHandling = ErrorHandling::ReplaceFatalDefault);
    ~XClient();
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    // Top-level windows (children of the root) whose WM_NAME is `name`.
    std::vector<WindowId> windowsNamed(const std::string& name);
    // The first viewable window named `name` to appear within the bound, or
    // 0. It is found anywhere below the root, so also inside the frame a
    // window manager has reparented it into.
    WindowId waitForViewableWindow(const std::string& name, int timeoutMs);
    bool isViewable(WindowId window);
    bool isTopLevel(WindowId window);

    std::string windowName(WindowId window);
    WindowClassHint windowClass(WindowId window);
    WindowGeometry geometry(WindowId window);
    WindowId transientFor(WindowId window);
    // Whether WM_DELETE_WINDOW is among the window's WM_PROTOCOLS, the
    // condition for a window manager to send the close request.
    bool acceptsCloseRequest(WindowId window);
    // Whether a window manager that announces itself runs on the screen.
    bool windowManagerRunning();

    // The window's pixels; empty when the window cannot be read (gone,
    // unmapped, partly off the screen).
    RgbImage capture(WindowId window);
    // `text` drawn black on white with the server's core font `fontName`, the
    // baseline at the font's ascent; empty when the font is missing.
    RgbImage renderText(const std::string& fontName, const std::string& text);

    // Gives the window the input focus, then presses and releases the key
    // named `keyName` (an X keysym name such as "Escape" or "Return").
    void pressKey(WindowId window, const std::string& keyName);
    // The window manager's close request: a WM_DELETE_WINDOW client message.
    void requestClose(WindowId window);
    void resize(WindowId window, int width, int height);
    bool waitForSize(WindowId window, int width, int height, int timeoutMs);

  protected:
    _XDisplay* display() const { return display_; }

  private:
    _XDisplay* display_ = nullptr;
};

} // namespace testing_support
