// The window of the current rendering context as another client of the X
// server sees it: its pixels after a swap, and a size change that a user or a
// window manager would make.
#pragma once

#include "picture.h"

#include <string>

struct _XDisplay;

namespace picture {

class WindowReader {
  public:
    // Connects to DISPLAY on a connection of its own.
    WindowReader();
    ~WindowReader();
    WindowReader(const WindowReader&) = delete;
    WindowReader& operator=(const WindowReader&) = delete;

    // Waits until the window is mapped and viewable: frames presented before
    // that are lost, and an unviewable window cannot be read.
    void awaitViewable();
    // Waits until the server has done everything the drawing connection asked
    // for (the buffer swap included), then reads the whole window.
    Picture capture();
    // Resizes the window and waits until the server has reported the change
    // to the drawing connection; the program sees it on its next message pass.
    void resize(int width, int height);
    // Presents the back buffer of the current context without the program's
    // help, for frames that a test draws itself.
    void swapCurrentBuffers();

  private:
    ::_XDisplay* display_ = nullptr;
};

} // namespace picture
