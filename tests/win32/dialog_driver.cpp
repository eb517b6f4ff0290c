// X errors on this connection go to the process's error handler, the layer's,
// which records and returns; a dialog that vanishes under the driver costs a
// failed check, not the process.
#include "dialog_driver.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto waitLimit = std::chrono::seconds(5);
constexpr auto pollInterval = std::chrono::milliseconds(10);
// Long enough for the dialog to have handled input it ought to ignore.
constexpr auto settleTime = std::chrono::milliseconds(400);

template <typename Condition> bool waitFor(Condition condition) {
    auto deadline = Clock::now() + waitLimit;
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
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        windows.assign(children, children + count);
        XFree(children);
    }
    return windows;
}

std::string windowName(Display* display, ::Window window) {
    char* name = nullptr;
    std::string text;
    if (XFetchName(display, window, &name) && name) {
        text = name;
        XFree(name);
    }
    return text;
}

std::vector<unsigned char> property(Display* display, ::Window window, const char* name, Atom type,
                                    int& format) {
    Atom actualType = None;
    unsigned long count = 0, left = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned char> bytes;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1024, False, type,
                           &actualType, &format, &count, &left, &data) == Success &&
        data) {
        std::size_t size = format == 32 ? count * sizeof(long) : count * static_cast<std::size_t>(format / 8);
        bytes.assign(data, data + size);
        XFree(data);
    }
    return bytes;
}

// The OK button, found in the dialog's pixels: the lowest black frame under
// the middle of the window, with a label inside it and drawn text above it.
bool findButton(XImage* image, unsigned long black, XRectangle& button) {
    int width = image->width, height = image->height;
    auto isBlack = [&](int x, int y) { return XGetPixel(image, x, y) == black; };
    int bottom = height - 1;
    while (bottom > height / 2 && !isBlack(width / 2, bottom))
        --bottom;
    int row = bottom - 3; // inside the frame, under the label
    if (bottom <= height / 2 || row < 0)
        return false;
    int left = 0, right = width - 1;
    while (left < width / 2 && !isBlack(left, row))
        ++left;
    while (right > width / 2 && !isBlack(right, row))
        --right;
    int top = row;
    while (top > 0 && isBlack(left, top - 1))
        --top;
    if (left >= width / 2 || right <= width / 2 || bottom - top < 10)
        return false;
    bool label = false, text = false;
    for (int y = top + 3; y <= bottom - 3; ++y)
        for (int x = left + 3; x <= right - 3; ++x)
            label = label || isBlack(x, y);
    for (int y = 0; y < top; ++y)
        for (int x = 0; x < width; ++x)
            text = text || isBlack(x, y);
    button = XRectangle{static_cast<short>(left), static_cast<short>(top),
                        static_cast<unsigned short>(right - left + 1),
                        static_cast<unsigned short>(bottom - top + 1)};
    return label && text;
}

} // namespace

DialogDriver::DialogDriver(const std::string& displayName) : display_(XOpenDisplay(displayName.c_str())) {
    int event = 0, error = 0, major = 0, minor = 0;
    if (!display_ || !XTestQueryExtension(display_, &event, &error, &major, &minor))
        throw std::runtime_error("no X connection with XTest on " + displayName);
}

DialogDriver::~DialogDriver() {
    XCloseDisplay(display_);
}

bool DialogDriver::isTopLevel(::Window window) {
    for (::Window w : topLevelWindows(display_))
        if (w == window)
            return true;
    return false;
}

bool DialogDriver::findDialog(const std::string& title, DialogObservation& seen) {
    return waitFor([&] {
        for (::Window window : topLevelWindows(display_)) {
            XWindowAttributes attributes;
            ::Window focus = 0;
            int revert = 0;
            if (windowName(display_, window) != title ||
                !XGetWindowAttributes(display_, window, &attributes) || attributes.map_state != IsViewable)
                continue;
            XGetInputFocus(display_, &focus, &revert);
            if (focus == window) {
                seen.found = true;
                seen.window = window;
                return true;
            }
        }
        return false;
    });
}

void DialogDriver::readProperties(DialogObservation& seen) {
    seen.wmName = windowName(display_, seen.window);
    int format = 0;
    std::vector<unsigned char> name =
        property(display_, seen.window, "_NET_WM_NAME", XInternAtom(display_, "UTF8_STRING", False), format);
    seen.netWmName.assign(name.begin(), name.end());
    std::vector<unsigned char> types =
        property(display_, seen.window, "_NET_WM_WINDOW_TYPE", XA_ATOM, format);
    Atom dialog = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    for (std::size_t i = 0; i + sizeof(long) <= types.size(); i += sizeof(long))
        seen.dialogType =
            seen.dialogType || *reinterpret_cast<const long*>(&types[i]) == static_cast<long>(dialog);

    Atom* protocols = nullptr;
    int count = 0;
    if (XGetWMProtocols(display_, seen.window, &protocols, &count)) {
        Atom deleteWindow = XInternAtom(display_, "WM_DELETE_WINDOW", False);
        for (int i = 0; i < count; ++i)
            seen.deleteProtocol = seen.deleteProtocol || protocols[i] == deleteWindow;
        XFree(protocols);
    }
    ::Window owner = 0;
    if (XGetTransientForHint(display_, seen.window, &owner))
        seen.transientFor = owner;

    XWindowAttributes attributes;
    int x = 0, y = 0;
    ::Window child = 0;
    if (XGetWindowAttributes(display_, seen.window, &attributes) &&
        XTranslateCoordinates(display_, seen.window, attributes.root, 0, 0, &x, &y, &child))
        seen.geometry = XRectangle{static_cast<short>(x), static_cast<short>(y),
                                   static_cast<unsigned short>(attributes.width),
                                   static_cast<unsigned short>(attributes.height)};
}

// Clears the window first, so a button found afterwards was drawn again in
// answer to the Expose that the clearing caused.
void DialogDriver::locateButton(DialogObservation& seen) {
    XClearArea(display_, seen.window, 0, 0, 0, 0, True);
    unsigned long black = BlackPixel(display_, DefaultScreen(display_));
    seen.buttonDrawn = waitFor([&] {
        XImage* image = XGetImage(display_, seen.window, 0, 0, seen.geometry.width, seen.geometry.height,
                                  AllPlanes, ZPixmap);
        if (!image)
            return false;
        bool found = findButton(image, black, seen.button);
        XDestroyImage(image);
        return found;
    });
}

void DialogDriver::give(DialogInput input, const DialogObservation& seen) {
    int screen = DefaultScreen(display_);
    int buttonX = seen.geometry.x + seen.button.x + seen.button.width / 2;
    int buttonY = seen.geometry.y + seen.button.y + seen.button.height / 2;
    int offX = seen.geometry.x + 2, offY = seen.geometry.y + 2;
    auto key = [&](KeySym symbol) {
        KeyCode code = XKeysymToKeycode(display_, symbol);
        XTestFakeKeyEvent(display_, code, True, CurrentTime);
        XTestFakeKeyEvent(display_, code, False, CurrentTime);
    };
    auto click = [&](int x, int y, unsigned button) {
        XTestFakeMotionEvent(display_, screen, x, y, CurrentTime);
        XTestFakeButtonEvent(display_, button, True, CurrentTime);
        XTestFakeButtonEvent(display_, button, False, CurrentTime);
    };
    switch (input) {
    case DialogInput::ReturnKey:
        key(XK_Return);
        break;
    case DialogInput::KeypadEnterKey:
        key(XK_KP_Enter);
        break;
    case DialogInput::EscapeKey:
        key(XK_Escape);
        break;
    case DialogInput::SpaceKey:
        key(XK_space);
        break;
    case DialogInput::LetterKey:
        key(XK_a);
        break;
    case DialogInput::ClickOk:
        click(buttonX, buttonY, Button1);
        break;
    case DialogInput::ClickOutsideOk:
        click(offX, offY, Button1);
        break;
    case DialogInput::RightClickOk:
        click(buttonX, buttonY, Button3);
        break;
    case DialogInput::DragOffOk:
        XTestFakeMotionEvent(display_, screen, buttonX, buttonY, CurrentTime);
        XTestFakeButtonEvent(display_, Button1, True, CurrentTime);
        XTestFakeMotionEvent(display_, screen, offX, offY, CurrentTime);
        XTestFakeButtonEvent(display_, Button1, False, CurrentTime);
        break;
    case DialogInput::CloseRequest: {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = seen.window;
        event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display_, seen.window, False, NoEventMask, &event);
        break;
    }
    }
    XSync(display_, False);
}

DialogObservation DialogDriver::work(const std::string& title, const std::vector<DialogInput>& ignored,
                                     DialogInput dismissal) {
    DialogObservation seen;
    if (!findDialog(title, seen))
        return seen;
    readProperties(seen);
    locateButton(seen);
    for (DialogInput input : ignored)
        give(input, seen);
    if (!ignored.empty())
        std::this_thread::sleep_for(settleTime);
    seen.openAfterIgnoredInput = isTopLevel(seen.window);
    if (!seen.openAfterIgnoredInput)
        return seen;
    give(dismissal, seen);
    seen.closed = waitFor([&] { return !isTopLevel(seen.window); });
    return seen;
}

void DialogDriver::askAllToClose() {
    DialogObservation any;
    for (::Window window : topLevelWindows(display_)) {
        any.window = window;
        give(DialogInput::CloseRequest, any);
    }
}

int DialogDriver::fontLineHeight(const char* fontName) {
    XFontStruct* font = XLoadQueryFont(display_, fontName);
    if (!font)
        return 0;
    int height = font->ascent + font->descent;
    XFreeFont(display_, font);
    return height;
}

} // namespace testing_support
