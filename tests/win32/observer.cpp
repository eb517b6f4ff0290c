#include "observer.h"

#include "x_pixels.h"
#include "x_window_tree.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace layer_test {
Observer::Observer()
    : display_(testing_support::openTestConnection("", false, testing_support::ErrorHandling::LeaveAlone)) {}

Observer::~Observer() {
    XCloseDisplay(display_);
}

std::optional<ServerGeometry> Observer::geometry(::Window window) {
    XWindowAttributes attributes{};
    if (!window || !XGetWindowAttributes(display_, window, &attributes))
        return std::nullopt;
    ServerGeometry seen;
    ::Window child = 0;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &seen.rootX, &seen.rootY,
                          &child);
    seen.width = static_cast<unsigned>(attributes.width);
    seen.height = static_cast<unsigned>(attributes.height);
    seen.mapState = attributes.map_state;
    return seen;
}

std::string Observer::wmName(::Window window) {
    return testing_support::windowName(display_, window);
}

std::string Observer::wmClassClass(::Window window) {
    XClassHint hint{};
    std::string text;
    if (XGetClassHint(display_, window, &hint)) {
        if (hint.res_class)
            text = hint.res_class;
        XFree(hint.res_name);
        XFree(hint.res_class);
    }
    return text;
}

std::vector<std::string> Observer::protocols(::Window window) {
    Atom* atoms = nullptr;
    int count = 0;
    std::vector<std::string> names;
    if (XGetWMProtocols(display_, window, &atoms, &count)) {
        for (int i = 0; i < count; ++i) {
            char* name = XGetAtomName(display_, atoms[i]);
            names.emplace_back(name ? name : "");
            XFree(name);
        }
        XFree(atoms);
    }
    return names;
}

std::vector<long> Observer::longsOf(::Window window, const char* property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<long> items;
    Atom name = XInternAtom(display_, property, False);
    if (XGetWindowProperty(display_, window, name, 0, 64, False, AnyPropertyType, &type, &format, &count,
                           &after, &data) == Success &&
        data && format == 32) {
        const long* values = reinterpret_cast<const long*>(data);
        items.assign(values, values + count);
    }
    if (data)
        XFree(data);
    return items;
}

bool Observer::focus(::Window window) {
    XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
    XSync(display_, False);
    ::Window focused = 0;
    int revert = 0;
    XGetInputFocus(display_, &focused, &revert);
    return focused == window;
}

void Observer::key(unsigned long keysym, bool press) {
    KeyCode code = XKeysymToKeycode(display_, keysym);
    XTestFakeKeyEvent(display_, code, press ? True : False, CurrentTime);
    XSync(display_, False);
}

void Observer::requestClose(::Window window) {
    testing_support::sendCloseRequest(display_, window);
    XSync(display_, False);
}

void Observer::resize(::Window window, unsigned width, unsigned height) {
    XResizeWindow(display_, window, width, height);
    XSync(display_, False);
}

void Observer::move(::Window window, int x, int y) {
    XMoveWindow(display_, window, x, y);
    XSync(display_, False);
}

void Observer::destroy(::Window window) {
    XDestroyWindow(display_, window);
    XSync(display_, False);
}

void Observer::setWmState(::Window window, long state) {
    Atom wmState = XInternAtom(display_, "WM_STATE", False);
    long value[2] = {state, None};
    XChangeProperty(display_, window, wmState, wmState, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(value), 2);
    XSync(display_, False);
}

std::optional<Rgb> Observer::pixel(::Window window, int x, int y) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display_, window, &attributes) || attributes.map_state != IsViewable)
        return std::nullopt;
    XImage* image = XGetImage(display_, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return std::nullopt;
    testing_support::Rgb seen = testing_support::rgbOf(XGetPixel(image, 0, 0), attributes.visual);
    XDestroyImage(image);
    return Rgb{seen.r, seen.g, seen.b};
}

} // namespace layer_test
