#include "window_reader.h"

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

int shiftOf(unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// An 8-bit channel from a pixel of any TrueColor visual.
int channel(unsigned long pixel, unsigned long mask) {
    unsigned long value = (pixel & mask) >> shiftOf(mask);
    unsigned long maximum = mask >> shiftOf(mask);
    return maximum == 255 ? int(value) : int((value * 255 + maximum / 2) / maximum);
}

} // namespace

WindowReader::WindowReader() : display_(XOpenDisplay(nullptr)) {
    if (!display_)
        throw std::runtime_error("cannot connect to DISPLAY");
}

WindowReader::~WindowReader() {
    XCloseDisplay(display_);
}

void WindowReader::awaitViewable() {
    Window window = currentWindow();
    auto deadline = std::chrono::steady_clock::now() + viewableTimeout;
    for (;;) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display_, window, &attributes) && attributes.map_state == IsViewable)
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
    Picture picture(attributes.width, attributes.height);
    for (int row = 0; row < attributes.height; ++row)
        for (int column = 0; column < attributes.width; ++column) {
            unsigned long pixel = XGetPixel(image, column, row);
            picture.set(column, row,
                        {channel(pixel, image->red_mask), channel(pixel, image->green_mask),
                         channel(pixel, image->blue_mask)});
        }
    XDestroyImage(image);
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
