#include "x_window_tree.h"

#include <X11/extensions/XTest.h>
#include <stdexcept>

namespace testing_support {
namespace {

int ignoreError(Display*, XErrorEvent*) {
    return 0;
}

void replaceFatalErrorHandler() {
    XErrorHandler current = XSetErrorHandler(nullptr);
    XErrorHandler fatalDefault = XSetErrorHandler(current);
    if (current == fatalDefault)
        XSetErrorHandler(ignoreError);
}

::Window findViewableNamedBelow(Display* display, ::Window under, const std::string& name) {
    for (::Window child : childrenOf(display, under)) {
        if (windowName(display, child) == name && isViewable(display, child))
            return child;
        if (::Window found = findViewableNamedBelow(display, child, name))
            return found;
    }
    return 0;
}

} // namespace

Display* openTestConnection(const std::string& displayName, bool needXTest, ErrorHandling errorHandling) {
    if (errorHandling == ErrorHandling::ReplaceFatalDefault)
        replaceFatalErrorHandler();
    Display* display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!display)
        throw std::runtime_error("cannot open X display " + displayName);
    int event = 0, error = 0, major = 0, minor = 0;
    if (needXTest && !XTestQueryExtension(display, &event, &error, &major, &minor)) {
        XCloseDisplay(display);
        throw std::runtime_error("no XTest on X display " + displayName);
    }
    return display;
}

std::vector<::Window> childrenOf(Display* display, ::Window window, ::Window* parent) {
    ::Window root = 0, parentFound = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    std::vector<::Window> result;
    if (XQueryTree(display, window, &root, &parentFound, &children, &count)) {
        if (children)
            result.assign(children, children + count);
        if (parent)
            *parent = parentFound;
    }
    if (children)
        XFree(children);
    return result;
}

std::vector<::Window> topLevelWindows(Display* display) {
    return childrenOf(display, DefaultRootWindow(display));
}

std::string windowName(Display* display, ::Window window) {
    char* name = nullptr;
    std::string text;
    if (XFetchName(display, window, &name) && name)
        text = name;
    if (name)
        XFree(name);
    return text;
}

bool isViewable(Display* display, ::Window window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

::Window findViewableNamed(Display* display, const std::string& name) {
    return findViewableNamedBelow(display, DefaultRootWindow(display), name);
}

void sendCloseRequest(Display* display, ::Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
}

} // namespace testing_support
