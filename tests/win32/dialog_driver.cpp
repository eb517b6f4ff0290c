// X errors on this connection go to the process's error handler, the layer's,
// which records and returns; a dialog that vanishes under the driver costs a
// failed check, not the process.
#include "dialog_driver.h"

#include "x_window_tree.h"

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

DialogDriver::DialogDriver(const std::string& displayName)
    : XClient(displayName, ErrorHandling::LeaveAlone) {}

bool DialogDriver::findDialog(const std::string& title, DialogObservation& seen) {
    return waitFor([&] {
        for (::Window window : testing_support::topLevelWindows(display())) {
            ::Window focus = 0;
            int revert = 0;
            if (windowName(window) != title || !isViewable(window))
                continue;
            XGetInputFocus(display(), &focus, &revert);
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
    seen.wmName = windowName(seen.window);
    int format = 0;
    std::vector<unsigned char> name = property(display(), seen.window, "_NET_WM_NAME",
                                               XInternAtom(display(), "UTF8_STRING", False), format);
    seen.netWmName.assign(name.begin(), name.end());
    std::vector<unsigned char> types =
        property(display(), seen.window, "_NET_WM_WINDOW_TYPE", XA_ATOM, format);
    Atom dialog = XInternAtom(display(), "_NET_WM_WINDOW_TYPE_DIALOG", False);
    for (std::size_t i = 0; i + sizeof(long) <= types.size(); i += sizeof(long))
        seen.dialogType =
            seen.dialogType || *reinterpret_cast<const long*>(&types[i]) == static_cast<long>(dialog);

    seen.deleteProtocol = acceptsCloseRequest(seen.window);
    seen.transientFor = transientFor(seen.window);
    testing_support::WindowGeometry area = geometry(seen.window);
    seen.geometry =
        XRectangle{static_cast<short>(area.x), static_cast<short>(area.y),
                   static_cast<unsigned short>(area.width), static_cast<unsigned short>(area.height)};
}

// Clears the window first, so a button found afterwards was drawn again in
// answer to the Expose that the clearing caused.
void DialogDriver::locateButton(DialogObservation& seen) {
    XClearArea(display(), seen.window, 0, 0, 0, 0, True);
    unsigned long black = BlackPixel(display(), DefaultScreen(display()));
    seen.buttonDrawn = waitFor([&] {
        XImage* image = XGetImage(display(), seen.window, 0, 0, seen.geometry.width, seen.geometry.height,
                                  AllPlanes, ZPixmap);
        if (!image)
            return false;
        bool found = findButton(image, black, seen.button);
        XDestroyImage(image);
        return found;
    });
}

void DialogDriver::give(DialogInput input, const DialogObservation& seen) {
    int screen = DefaultScreen(display());
    int buttonX = seen.geometry.x + seen.button.x + seen.button.width / 2;
    int buttonY = seen.geometry.y + seen.button.y + seen.button.height / 2;
    int offX = seen.geometry.x + 2, offY = seen.geometry.y + 2;
    auto key = [&](KeySym symbol) {
        KeyCode code = XKeysymToKeycode(display(), symbol);
        XTestFakeKeyEvent(display(), code, True, CurrentTime);
        XTestFakeKeyEvent(display(), code, False, CurrentTime);
    };
    auto click = [&](int x, int y, unsigned button) {
        XTestFakeMotionEvent(display(), screen, x, y, CurrentTime);
        XTestFakeButtonEvent(display(), button, True, CurrentTime);
        XTestFakeButtonEvent(display(), button, False, CurrentTime);
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
        XTestFakeMotionEvent(display(), screen, buttonX, buttonY, CurrentTime);
        XTestFakeButtonEvent(display(), Button1, True, CurrentTime);
        XTestFakeMotionEvent(display(), screen, offX, offY, CurrentTime);
        XTestFakeButtonEvent(display(), Button1, False, CurrentTime);
        break;
    case DialogInput::CloseRequest:
        testing_support::sendCloseRequest(display(), seen.window);
        break;
    }
    XSync(display(), False);
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
    for (::Window window : testing_support::topLevelWindows(display())) {
        any.window = window;
        give(DialogInput::CloseRequest, any);
    }
}

int DialogDriver::fontLineHeight(const char* fontName) {
    XFontStruct* font = XLoadQueryFont(display(), fontName);
    if (!font)
        return 0;
    int height = font->ascent + font->descent;
    XFreeFont(display(), font);
    return height;
}

} // namespace testing_support
