#include "desktop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace reliability {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto pollInterval = std::chrono::milliseconds(20);
// The pointer moves in steps, so that a window manager sees a drag as one.
constexpr int dragSteps = 10;
constexpr auto dragStepPause = std::chrono::milliseconds(15);

// The program under test changes its windows while the test looks at them;
// a request on a window that has just gone is an expected outcome.
int ignoreError(Display*, XErrorEvent*) {
    return 0;
}

Display* openDisplay(const std::string& displayName) {
    XSetErrorHandler(ignoreError);
    Display* display = XOpenDisplay(displayName.c_str());
    if (!display)
        throw std::runtime_error("cannot open X display " + displayName);
    return display;
}

std::vector<::Window> childrenOf(Display* display, ::Window window, ::Window* parentOut = nullptr) {
    ::Window root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    std::vector<::Window> result;
    if (XQueryTree(display, window, &root, &parent, &children, &count)) {
        if (children)
            result.assign(children, children + count);
        if (parentOut)
            *parentOut = parent;
    }
    if (children)
        XFree(children);
    return result;
}

bool viewable(Display* display, ::Window window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

std::string nameOf(Display* display, ::Window window) {
    char* name = nullptr;
    std::string text;
    if (XFetchName(display, window, &name) && name) {
        text = name;
        XFree(name);
    }
    return text;
}

::Window findNamed(Display* display, ::Window under, const std::string& name) {
    for (::Window child : childrenOf(display, under)) {
        if (nameOf(display, child) == name && viewable(display, child))
            return child;
        if (::Window found = findNamed(display, child, name))
            return found;
    }
    return 0;
}

void collectDescendants(Display* display, ::Window under, std::vector<::Window>& all) {
    for (::Window child : childrenOf(display, under)) {
        all.push_back(child);
        collectDescendants(display, child, all);
    }
}

void movePointer(Display* display, Point to) {
    XTestFakeMotionEvent(display, DefaultScreen(display), to.x, to.y, CurrentTime);
    XSync(display, False);
}

} // namespace

Desktop::Desktop(const std::string& displayName) : display_(openDisplay(displayName)) {
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display_, &event, &error, &major, &minor)) {
        XCloseDisplay(display_);
        throw std::runtime_error("no XTest on X display " + displayName);
    }
}

Desktop::~Desktop() {
    XCloseDisplay(display_);
}

WindowId Desktop::waitForNamedWindow(const std::string& name, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (::Window found = findNamed(display_, DefaultRootWindow(display_), name))
            return found;
        if (Clock::now() >= deadline)
            return 0;
        std::this_thread::sleep_for(pollInterval);
    }
}

WindowId Desktop::topLevelOf(WindowId window) {
    ::Window root = DefaultRootWindow(display_);
    ::Window current = window;
    for (;;) {
        ::Window parent = 0;
        childrenOf(display_, current, &parent);
        if (!parent || parent == root)
            return parent ? current : 0;
        current = parent;
    }
}

WindowGeometry Desktop::geometry(WindowId window) {
    WindowGeometry geometry;
    XWindowAttributes attributes;
    ::Window child = 0;
    if (XGetWindowAttributes(display_, window, &attributes) &&
        XTranslateCoordinates(display_, window, attributes.root, 0, 0, &geometry.x, &geometry.y, &child)) {
        geometry.width = attributes.width;
        geometry.height = attributes.height;
    }
    return geometry;
}

int Desktop::depth(WindowId window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display_, window, &attributes) ? attributes.depth : 0;
}

int Desktop::visualClass(WindowId window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes))
        return -1;
    XVisualInfo wanted{};
    wanted.visualid = XVisualIDFromVisual(attributes.visual);
    int count = 0;
    XVisualInfo* found = XGetVisualInfo(display_, VisualIDMask, &wanted, &count);
    int visualClass = found && count > 0 ? found->c_class : -1;
    if (found)
        XFree(found);
    return visualClass;
}

bool Desktop::windowManagerRunning() {
    Atom check = XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool running = XGetWindowProperty(display_, DefaultRootWindow(display_), check, 0, 1, False, XA_WINDOW,
                                      &type, &format, &count, &after, &data) == Success &&
                   data && count == 1;
    if (data)
        XFree(data);
    return running;
}

std::optional<Point> Desktop::closeButtonCentre(WindowId frame, WindowId client) {
    WindowGeometry frameArea = geometry(frame), clientArea = geometry(client);
    std::vector<::Window> descendants;
    collectDescendants(display_, frame, descendants);
    std::optional<Point> best;
    for (::Window candidate : descendants) {
        if (candidate == client || !viewable(display_, candidate))
            continue;
        WindowGeometry area = geometry(candidate);
        bool square = area.width == area.height && area.width >= 6;
        bool inTitleStrip = area.y >= frameArea.y && area.y + area.height <= clientArea.y;
        if (square && inTitleStrip && (!best || area.x + area.width / 2 > best->x))
            best = Point{area.x + area.width / 2, area.y + area.height / 2};
    }
    return best;
}

void Desktop::click(Point at) {
    movePointer(display_, at);
    XTestFakeButtonEvent(display_, Button1, True, CurrentTime);
    XTestFakeButtonEvent(display_, Button1, False, CurrentTime);
    XSync(display_, False);
}

void Desktop::drag(Point from, Point to) {
    movePointer(display_, from);
    XTestFakeButtonEvent(display_, Button1, True, CurrentTime);
    XSync(display_, False);
    for (int step = 1; step <= dragSteps; ++step) {
        std::this_thread::sleep_for(dragStepPause);
        movePointer(display_, Point{from.x + (to.x - from.x) * step / dragSteps,
                                    from.y + (to.y - from.y) * step / dragSteps});
    }
    std::this_thread::sleep_for(dragStepPause);
    XTestFakeButtonEvent(display_, Button1, False, CurrentTime);
    XSync(display_, False);
}

void Desktop::queueKeyEvents(WindowId window, const std::string& keyName, int count,
                             const std::string& then) {
    XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
    XSync(display_, False);
    KeyCode code = XKeysymToKeycode(display_, XStringToKeysym(keyName.c_str()));
    for (int i = 0; i < count; ++i)
        XTestFakeKeyEvent(display_, code, i % 2 == 0, CurrentTime);
    if (!then.empty()) {
        KeyCode last = XKeysymToKeycode(display_, XStringToKeysym(then.c_str()));
        XTestFakeKeyEvent(display_, last, True, CurrentTime);
        XTestFakeKeyEvent(display_, last, False, CurrentTime);
    }
    XSync(display_, False);
}

void Desktop::queueResizes(WindowId window, const std::vector<Size>& sizes) {
    for (const Size& size : sizes)
        XResizeWindow(display_, window, static_cast<unsigned>(size.width),
                      static_cast<unsigned>(size.height));
    XSync(display_, False);
}

void Desktop::destroy(WindowId window) {
    XDestroyWindow(display_, window);
    XSync(display_, False);
}

FrameCounter::FrameCounter(const std::string& displayName, WindowId window)
    : display_(openDisplay(displayName)) {
    int errorBase = 0;
    if (!XDamageQueryExtension(display_, &damageEventBase_, &errorBase)) {
        XCloseDisplay(display_);
        throw std::runtime_error("no Damage on X display " + displayName);
    }
    int major = 1, minor = 1;
    XDamageQueryVersion(display_, &major, &minor);
    damage_ = XDamageCreate(display_, window, XDamageReportRawRectangles);
    XSync(display_, False);
}

FrameCounter::~FrameCounter() {
    // The damage object went with its window if that is gone; the error is ignored.
    XDamageDestroy(display_, damage_);
    XCloseDisplay(display_);
}

long FrameCounter::frames() {
    XSync(display_, False);
    while (XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type != damageEventBase_ + XDamageNotify)
            continue;
        const auto& report = reinterpret_cast<const XDamageNotifyEvent&>(event);
        if (report.area.x == 0 && report.area.y == 0 && report.area.width == report.geometry.width &&
            report.area.height == report.geometry.height)
            ++frames_;
    }
    return frames_;
}

} // namespace reliability
