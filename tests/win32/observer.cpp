#include "observer.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <stdexcept>

namespace layer_test {
namespace {

int channel(unsigned long pixel, unsigned long mask) {
    if (!mask)
        return 0;
    int shift = 0;
    while (!((mask >> shift) & 1))
        ++shift;
    unsigned long bits = mask >> shift;
    unsigned long value = (pixel & mask) >> shift;
    return static_cast<int>(value * 255 / bits);
}

} // namespace

Observer::Observer() : display_(XOpenDisplay(nullptr)) {
    if (!display_)
        throw std::runtime_error("the observer cannot open the display");
}

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
    char* name = nullptr;
    std::string text;
    if (XFetchName(display_, window, &name) && name)
        text = name;
    if (name)
        XFree(name);
    return text;
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
    unsigned long value = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    const Visual* visual = attributes.visual;
    return Rgb{channel(value, visual->red_mask), channel(value, visual->green_mask),
               channel(value, visual->blue_mask)};
}

} // namespace layer_test
