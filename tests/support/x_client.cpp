#include "x_client.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto pollInterval = std::chrono::milliseconds(20);

// The program under test creates and destroys windows under the observer's
// feet; a request on a vanished window is an expected outcome, reported by the
// call's own result, and must not end the test process as Xlib's default
// handler would.
int ignoreError(Display*, XErrorEvent*) {
    return 0;
}

template <typename Condition> bool waitFor(int timeoutMs, Condition condition) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(pollInterval);
    }
    return true;
}

std::vector<::Window> topLevelWindows(Display* display) {
    ::Window root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    std::vector<::Window> windows;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) && children) {
        windows.assign(children, children + count);
        XFree(children);
    }
    return windows;
}

int lowestBit(unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// One colour channel scaled to 8 bits, whatever the visual's channel width.
unsigned char channel(unsigned long pixel, unsigned long mask) {
    if (!mask)
        return 0;
    int shift = lowestBit(mask);
    unsigned long maximum = mask >> shift;
    return static_cast<unsigned char>(((pixel & mask) >> shift) * 255 / maximum);
}

RgbImage toRgb(XImage* image, const Visual* visual) {
    RgbImage rgb;
    rgb.width = image->width;
    rgb.height = image->height;
    rgb.pixels.resize(static_cast<std::size_t>(rgb.width) * rgb.height);
    for (int y = 0; y < rgb.height; ++y)
        for (int x = 0; x < rgb.width; ++x) {
            unsigned long pixel = XGetPixel(image, x, y);
            rgb.pixels[static_cast<std::size_t>(y) * rgb.width + x] =
                Rgb{channel(pixel, visual->red_mask), channel(pixel, visual->green_mask),
                    channel(pixel, visual->blue_mask)};
        }
    return rgb;
}

// Replaces only Xlib's default handler, which ends the process: a test that
// also runs the layer keeps the layer's handler, which records and returns.
void installErrorHandler() {
    XErrorHandler current = XSetErrorHandler(nullptr);
    XErrorHandler fatalDefault = XSetErrorHandler(current);
    if (current == fatalDefault)
        XSetErrorHandler(ignoreError);
}

} // namespace

XClient::XClient(const std::string& displayName) {
    installErrorHandler();
    display_ = XOpenDisplay(displayName.c_str());
    int event = 0, error = 0, major = 0, minor = 0;
    if (!display_)
        throw std::runtime_error("cannot open X display " + displayName);
    if (!XTestQueryExtension(display_, &event, &error, &major, &minor)) {
        XCloseDisplay(display_);
        throw std::runtime_error("no XTest on X display " + displayName);
    }
}

XClient::~XClient() {
    XCloseDisplay(display_);
}

std::string XClient::windowName(WindowId window) {
    char* name = nullptr;
    std::string text;
    if (XFetchName(display_, window, &name) && name) {
        text = name;
        XFree(name);
    }
    return text;
}

std::vector<WindowId> XClient::windowsNamed(const std::string& name) {
    std::vector<WindowId> named;
    for (::Window window : topLevelWindows(display_))
        if (windowName(window) == name)
            named.push_back(window);
    return named;
}

bool XClient::isViewable(WindowId window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display_, window, &attributes) && attributes.map_state == IsViewable;
}

bool XClient::isTopLevel(WindowId window) {
    for (::Window w : topLevelWindows(display_))
        if (w == window)
            return true;
    return false;
}

WindowId XClient::waitForViewableWindow(const std::string& name, int timeoutMs) {
    WindowId found = 0;
    waitFor(timeoutMs, [&] {
        for (WindowId window : windowsNamed(name))
            if (isViewable(window)) {
                found = window;
                return true;
            }
        return false;
    });
    return found;
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
