#include "desktop.h"

#include "x_window_tree.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace reliability {
namespace {

// The pointer moves in steps, so that a window manager sees a drag as one.
constexpr int dragSteps = 10;
constexpr auto dragStepPause = std::chrono::milliseconds(15);

void collectDescendants(Display* display, ::Window under, std::vector<::Window>& all) {
    for (::Window child : testing_support::childrenOf(display, under)) {
        all.push_back(child);
        collectDescendants(display, child, all);
    }
}

void movePointer(Display* display, Point to) {
    XTestFakeMotionEvent(display, DefaultScreen(display), to.x, to.y, CurrentTime);
    XSync(display, False);
}

} // namespace

WindowId Desktop::topLevelOf(WindowId window) {
    ::Window root = DefaultRootWindow(display());
    ::Window current = window;
    for (;;) {
        ::Window parent = 0;
        testing_support::childrenOf(display(), current, &parent);
        if (!parent || parent == root)
            return parent ? current : 0;
        current = parent;
    }
}

int Desktop::depth(WindowId window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display(), window, &attributes) ? attributes.depth : 0;
}

int Desktop::visualClass(WindowId window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display(), window, &attributes))
        return -1;
    XVisualInfo wanted{};
    wanted.visualid = XVisualIDFromVisual(attributes.visual);
    int count = 0;
    XVisualInfo* found = XGetVisualInfo(display(), VisualIDMask, &wanted, &count);
    int visualClass = found && count > 0 ? found->c_class : -1;
    if (found)
        XFree(found);
    return visualClass;
}

std::optional<Point> Desktop::closeButtonCentre(WindowId frame, WindowId client) {
    WindowGeometry frameArea = geometry(frame), clientArea = geometry(client);
    std::vector<::Window> descendants;
    collectDescendants(display(), frame, descendants);
    std::optional<Point> best;
    for (::Window candidate : descendants) {
        if (candidate == client || !isViewable(candidate))
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
    movePointer(display(), at);
    XTestFakeButtonEvent(display(), Button1, True, CurrentTime);
    XTestFakeButtonEvent(display(), Button1, False, CurrentTime);
    XSync(display(), False);
}

void Desktop::drag(Point from, Point to) {
    movePointer(display(), from);
    XTestFakeButtonEvent(display(), Button1, True, CurrentTime);
    XSync(display(), False);
    for (int step = 1; step <= dragSteps; ++step) {
        std::this_thread::sleep_for(dragStepPause);
        movePointer(display(), Point{from.x + (to.x - from.x) * step / dragSteps,
                                     from.y + (to.y - from.y) * step / dragSteps});
    }
    std::this_thread::sleep_for(dragStepPause);
    XTestFakeButtonEvent(display(), Button1, False, CurrentTime);
    XSync(display(), False);
}

void Desktop::queueKeyEvents(WindowId window, const std::string& keyName, int count,
                             const std::string& then) {
    XSetInputFocus(display(), window, RevertToPointerRoot, CurrentTime);
    XSync(display(), False);
    KeyCode code = XKeysymToKeycode(display(), XStringToKeysym(keyName.c_str()));
    for (int i = 0; i < count; ++i)
        XTestFakeKeyEvent(display(), code, i % 2 == 0, CurrentTime);
    if (!then.empty()) {
        KeyCode last = XKeysymToKeycode(display(), XStringToKeysym(then.c_str()));
        XTestFakeKeyEvent(display(), last, True, CurrentTime);
        XTestFakeKeyEvent(display(), last, False, CurrentTime);
    }
    XSync(display(), False);
}

void Desktop::queueResizes(WindowId window, const std::vector<Size>& sizes) {
    for (const Size& size : sizes)
        XResizeWindow(display(), window, static_cast<unsigned>(size.width),
                      static_cast<unsigned>(size.height));
    XSync(display(), False);
}

void Desktop::destroy(WindowId window) {
    XDestroyWindow(display(), window);
    XSync(display(), False);
}

FrameCounter::FrameCounter(const std::string& displayName, WindowId window)
    : display_(testing_support::openTestConnection(displayName, false,
                                                   testing_support::ErrorHandling::ReplaceFatalDefault)) {
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
