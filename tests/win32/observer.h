// A second X connection of the test's own: it sees the layer's windows the
// way any other client (a window manager, a user) sees them, and acts on them
// as such a client would, with synthetic input through XTest.
//
// It leaves the process's error handler alone: the layer's handler is the
// process's one, so a request about a window that is gone fails silently and
// the call reports it.
#pragma once

#include <X11/Xlib.h>
#include <optional>
#include <string>
#include <vector>

namespace layer_test {

struct ServerGeometry {
    int rootX = 0, rootY = 0; // top-left corner in root coordinates
    unsigned width = 0, height = 0;
    int mapState = IsUnmapped;
};

struct Rgb {
    int red = 0, green = 0, blue = 0;
};

class Observer {
  public:
    Observer();
    ~Observer();
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

    Display* display() const { return display_; }

    // Null when the window does not exist (any more).
    std::optional<ServerGeometry> geometry(::Window window);
    bool exists(::Window window) { return geometry(window).has_value(); }
    std::string wmName(::Window window);
    std::string wmClassClass(::Window window);
    std::vector<std::string> protocols(::Window window);
    // The 32-bit items of a property, empty when it is not set.
    std::vector<long> longsOf(::Window window, const char* property);

    // Gives the window the keyboard focus; true when the server reports it focused.
    bool focus(::Window window);
    // A key of the keyboard pressed or released, as a user would.
    void key(unsigned long keysym, bool press);
    // The window manager's close request (WM_DELETE_WINDOW).
    void requestClose(::Window window);
    void resize(::Window window, unsigned width, unsigned height);
    void move(::Window window, int x, int y);
    void destroy(::Window window);
    // What a window manager records when it iconifies (IconicState) or restores (NormalState) the window.
    void setWmState(::Window window, long state);
    // The colour on the screen at a point of the window, or null when it cannot be read.
    std::optional<Rgb> pixel(::Window window, int x, int y);

  private:
    Display* display_ = nullptr;
};

} // namespace layer_test
