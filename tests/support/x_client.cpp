#include "x_client.h"

#include "x_pixels.h"
#include "x_window_tree.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <chrono>
#include <thread>

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto pollInterval = std::chrono::milliseconds(20);

template <typename Condition> bool waitFor(int timeoutMs, Condition condition) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(pollInterval);
    }
    return true;
}

} // namespace

XClient::XClient(const std::string& displayName, ErrorHandling errorHandling)
    : display_(openTestConnection(displayName, true, errorHandling)) {}

XClient::~XClient() {
    XCloseDisplay(display_);
}

std::string XClient::windowName(WindowId window) {
    return testing_support::windowName(display_, window);
}

std::vector<WindowId> XClient::windowsNamed(const std::string& name) {
    std::vector<WindowId> named;
    for (::Window window : topLevelWindows(display_))
        if (windowName(window) == name)
            named.push_back(window);
    return named;
}

bool XClient::isViewable(WindowId window) {
    return testing_support::isViewable(display_, window);
}

bool XClient::isTopLevel(WindowId window) {
    for (::Window w : topLevelWindows(display_))
        if (w == window)
            return true;
    return false;
}

WindowId XClient::waitForViewableWindow(const std::string& name, int timeoutMs) {
    WindowId found = 0;
    waitFor(timeoutMs, [&] { return (found = findViewableNamed(display_, name)) != 0; });
    return found;
}

bool XClient::windowManagerRunning() {
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

WindowClassHint XClient::windowClass(WindowId window) {
    WindowClassHint hint;
    XClassHint raw{};
    if (XGetClassHint(display_, window, &raw)) {
        if (raw.res_name)
            hint.instance = raw.res_name;
        if (raw.res_class)
            hint.className = raw.res_class;
        XFree(raw.res_name);
        XFree(raw.res_class);
    }
    return hint;
}

WindowGeometry XClient::geometry(WindowId window) {
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

WindowId XClient::transientFor(WindowId window) {
    ::Window owner = 0;
    if (!XGetTransientForHint(display_, window, &owner))
        return 0;
    return owner;
}

bool XClient::acceptsCloseRequest(WindowId window) {
    Atom* protocols = nullptr;
    int count = 0;
    bool accepts = false;
    Atom deleteWindow = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    if (XGetWMProtocols(display_, window, &protocols, &count)) {
        for (int i = 0; i < count; ++i)
            accepts = accepts || protocols[i] == deleteWindow;
        XFree(protocols);
    }
    return accepts;
}

RgbImage XClient::capture(WindowId window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes) || attributes.map_state != IsViewable)
        return {};
    XImage* image = XGetImage(display_, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image)
        return {};
    RgbImage rgb = toRgb(image, attributes.visual);
    XDestroyImage(image);
    return rgb;
}

RgbImage XClient::renderText(const std::string& fontName, const std::string& text) {
    XFontStruct* font = XLoadQueryFont(display_, fontName.c_str());
    if (!font)
        return {};
    int screen = DefaultScreen(display_);
    int width = XTextWidth(font, text.data(), static_cast<int>(text.size()));
    int height = font->ascent + font->descent;
    Pixmap pixmap =
        XCreatePixmap(display_, RootWindow(display_, screen), static_cast<unsigned>(width),
                      static_cast<unsigned>(height), static_cast<unsigned>(DefaultDepth(display_, screen)));
    XGCValues values{};
    values.font = font->fid;
    values.foreground = WhitePixel(display_, screen);
    GC gc = XCreateGC(display_, pixmap, GCFont | GCForeground, &values);
    XFillRectangle(display_, pixmap, gc, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSetForeground(display_, gc, BlackPixel(display_, screen));
    XDrawString(display_, pixmap, gc, 0, font->ascent, text.data(), static_cast<int>(text.size()));
    XImage* image = XGetImage(display_, pixmap, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    RgbImage rgb;
    if (image) {
        rgb = toRgb(image, DefaultVisual(display_, screen));
        XDestroyImage(image);
    }
    XFreeGC(display_, gc);
    XFreePixmap(display_, pixmap);
    XFreeFont(display_, font);
    return rgb;
}

void XClient::pressKey(WindowId window, const std::string& keyName) {
    KeyCode code = XKeysymToKeycode(display_, XStringToKeysym(keyName.c_str()));
    XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
    XSync(display_, False);
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    XSync(display_, False);
}

void XClient::requestClose(WindowId window) {
    sendCloseRequest(display_, window);
    XSync(display_, False);
}

void XClient::resize(WindowId window, int width, int height) {
    XResizeWindow(display_, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(display_, False);
}

bool XClient::waitForSize(WindowId window, int width, int height, int timeoutMs) {
    return waitFor(timeoutMs, [&] {
        WindowGeometry now = geometry(window);
        return now.width == width && now.height == height;
    });
}

} // namespace testing_support
