// What a user and a window manager do to a program's window beyond the shared
// observer (x_client.h), which it extends: find the window's frame and the
// frame's close button, click and drag with the pointer, queue thousands of
// key presses or resizes at once, destroy the window from outside, and count
// the frames the program presents.
#pragma once

#include "x_client.h"

#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

namespace reliability {

using testing_support::WindowGeometry;
using testing_support::WindowId;

struct Point {
    int x = 0, y = 0;
};

struct Size {
    int width = 0, height = 0;
};

class Desktop : public testing_support::XClient {
  public:
    using XClient::XClient;

    // The child of the root that holds `window`: the window manager's frame,
    // or the window itself when nothing reparented it.
    WindowId topLevelOf(WindowId window);
    int depth(WindowId window);
    // The X visual class (TrueColor, PseudoColor, ...) of the window.
    int visualClass(WindowId window);

    // The centre, in root coordinates, of the right-most square button in the
    // strip of `frame` above `client`: the close button of a title bar laid
    // out with it last.
    std::optional<Point> closeButtonCentre(WindowId frame, WindowId client);

    void click(Point at);
    void drag(Point from, Point to);

    // Gives `window` the input focus and queues `count` key events of the
    // key named `keyName`, presses and releases in turn, with no round trip
    // in between; when `then` is given, a press and release of that key
    // follows the burst.
    void queueKeyEvents(WindowId window, const std::string& keyName, int count, const std::string& then = "");
    // Asks for each size in turn with no round trip in between.
    void queueResizes(WindowId window, const std::vector<Size>& sizes);
    void destroy(WindowId window);
};

// Counts the frames a program presents in a window: each frame replaces the
// whole window's contents, which the server reports as damage covering all
// of it. Uses a connection of its own so that the reports pile up only there.
class FrameCounter {
  public:
    FrameCounter(const std::string& displayName, WindowId window);
    ~FrameCounter();
    FrameCounter(const FrameCounter&) = delete;
    FrameCounter& operator=(const FrameCounter&) = delete;

    // Frames reported since the counter began; reads every report the server
    // has sent up to now, including those for a window already gone.
    long frames();

  private:
    _XDisplay* display_ = nullptr;
    int damageEventBase_ = 0;
    unsigned long damage_ = 0;
    long frames_ = 0;
};

} // namespace reliability
