#include "window_reader.h"

#include "x_pixels.h"
#include "x_window_tree.h"

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace picture {
namespace {

// The layer draws through its own connection; the current GLX drawable is the
// X window of the program's window.
Display* drawingDisplay() {
    Display* d = glXGetCurrentDisplay();
    if (!d)
        throw std::runtime_error("no rendering context is current");
    return d;
}

Window currentWindow() {
    GLXDrawable drawable = glXGetCurrentDrawable();
    if (!drawable)
        throw std::runtime_error("the current context has no drawable");
    return drawable;
}

// Generous: a loaded machine may be slow to map a window.
constexpr auto viewableTimeout = std::chrono::seconds(20);

} // namespace

WindowReader::WindowReader()
    : display_(testing_support::openTestConnection("", false, testing_support::ErrorHandling::LeaveAlone)) {}

WindowReader::~WindowReader() {
    XCloseDisplay(display_);
}

void WindowReader::awaitViewable() {
    Window window = currentWindow();
    auto deadline = std::chrono::steady_clock::now() + viewableTimeout;
    for (;;) {
        if (testing_support::isViewable(display_, window))
            return;
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("the window did not become viewable");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

Picture WindowReader::capture() {
    XSync(drawingDisplay(), False);
    Window window = currentWindow();
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes))
        throw std::runtime_error("the window is gone");
    XImage* image = XGetImage(display_, window, 0, 0, unsigned(attributes.width), unsigned(attributes.height),
                              AllPlanes, ZPixmap);
    if (!image)
        throw std::runtime_error("cannot read the window's pixels");
    testing_support::RgbImage rgb = testing_support::toRgb(image, attributes.visual);
    XDestroyImage(image);
    Picture picture(rgb.width, rgb.height);
    for (int row = 0; row < rgb.height; ++row)
        for (int column = 0; column < rgb.width; ++column) {
            const testing_support::Rgb& seen = rgb.at(column, row);
            picture.set(column, row, {seen.r, seen.g, seen.b});
        }
    return picture;
}

void WindowReader::resize(int width, int height) {
    XResizeWindow(display_, currentWindow(), unsigned(width), unsigned(height));
    XSync(display_, False);
    // The notification is now on its way to the drawing connection; a round
    // trip there makes sure it has arrived before the next message pass.
    XSync(drawingDisplay(), False);
}

void WindowReader::swapCurrentBuffers() {
    glXSwapBuffers(drawingDisplay(), currentWindow());
}

} // namespace picture
