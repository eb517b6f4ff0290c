#include "outside_client.h"

#include "seeded_random.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <stdexcept>

namespace robustness {
namespace {

// WM_STATE values a window manager writes.
constexpr long withdrawnState = 0, normalState = 1, iconicState = 3;

} // namespace

// The process's X error handler is the layer's, installed when its connection
// opened: it ignores errors of other connections, so this client's requests
// on windows that vanished meanwhile fail quietly, as they should.
OutsideClient::OutsideClient() {
    display_ = XOpenDisplay(nullptr);
    if (!display_)
        throw std::runtime_error("the outside client cannot open the display");
}

OutsideClient::~OutsideClient() {
    if (display_)
        XCloseDisplay(display_);
}

unsigned long OutsideClient::findWindow(const std::string& name) {
    ::Window root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    unsigned long found = 0;
    if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count))
        return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        char* windowName = nullptr;
        if (XFetchName(display_, children[i], &windowName) && windowName) {
            if (name == windowName)
                found = children[i];
            XFree(windowName);
        }
    }
    if (children)
        XFree(children);
    return found;
}

int OutsideClient::topLevelWindowCount() {
    ::Window root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count))
        return -1;
    if (children)
        XFree(children);
    return static_cast<int>(count);
}

std::vector<std::string> OutsideClient::topLevelWindowNames() {
    std::vector<std::string> names;
    ::Window root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count))
        return names;
    for (unsigned i = 0; i < count; ++i) {
        char* windowName = nullptr;
        if (XFetchName(display_, children[i], &windowName) && windowName) {
            names.emplace_back(windowName);
            XFree(windowName);
        } else {
            names.emplace_back();
        }
    }
    if (children)
        XFree(children);
    return names;
}

void OutsideClient::destroy(unsigned long window) {
    XDestroyWindow(display_, window);
    XSync(display_, False);
}

void OutsideClient::requestClose(unsigned long window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &event);
    XSync(display_, False);
}

void OutsideClient::resize(unsigned long window, int width, int height) {
    XResizeWindow(display_, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(display_, False);
}

void OutsideClient::unmap(unsigned long window) {
    XUnmapWindow(display_, window);
    XSync(display_, False);
}

void OutsideClient::map(unsigned long window) {
    XMapWindow(display_, window);
    XSync(display_, False);
}

void OutsideClient::junkClientMessage(unsigned long window, SeededRandom& random) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    bool protocols = random.percent(50);
    event.xclient.message_type =
        protocols ? XInternAtom(display_, "WM_PROTOCOLS", False) : static_cast<Atom>(random.between(0, 600));
    event.xclient.format = random.pick({8, 16, 32, 0, 7});
    for (long& value : event.xclient.data.l)
        value = static_cast<long>(random.next());
    if (protocols && random.percent(50)) // a real protocol other than the close request
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_TAKE_FOCUS", False));
    XSendEvent(display_, window, False, NoEventMask, &event);
    XSync(display_, False);
}

void OutsideClient::windowState(unsigned long window, SeededRandom& random) {
    Atom wmState = XInternAtom(display_, "WM_STATE", False);
    if (random.percent(70)) {
        long state[2] = {random.pick({normalState, iconicState, withdrawnState, 2L, -1L}), 0};
        XChangeProperty(display_, window, wmState, wmState, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(state), 2);
    } else if (random.percent(50)) {
        unsigned char bytes[3] = {3, 0, 0};
        XChangeProperty(display_, window, wmState, random.percent(50) ? wmState : XA_STRING, 8,
                        PropModeReplace, bytes, static_cast<int>(random.between(0, 3)));
    } else {
        XDeleteProperty(display_, window, wmState);
    }
    XSync(display_, False);
}

void OutsideClient::typeKey(unsigned long window, SeededRandom& random) {
    XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
    if (random.percent(10)) {
        KeyCode alt = XKeysymToKeycode(display_, XK_Alt_L);
        KeyCode f4 = XKeysymToKeycode(display_, XK_F4);
        XTestFakeKeyEvent(display_, alt, True, CurrentTime);
        XTestFakeKeyEvent(display_, f4, True, CurrentTime);
        XTestFakeKeyEvent(display_, f4, False, CurrentTime);
        XTestFakeKeyEvent(display_, alt, False, CurrentTime);
    } else {
        auto key = static_cast<unsigned>(random.between(8, 255));
        int presses = static_cast<int>(random.between(1, 3)); // more than one: held down
        for (int i = 0; i < presses; ++i)
            XTestFakeKeyEvent(display_, key, True, CurrentTime);
        XTestFakeKeyEvent(display_, key, False, CurrentTime);
    }
    XSync(display_, False);
}

void OutsideClient::sync() {
    XSync(display_, False);
}

} // namespace robustness
