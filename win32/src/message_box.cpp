// MessageBoxA: a modal dialog drawn with core Xlib, mirrored on stderr.
//
// Implements MessageBoxA for MB_OK. The caption (NULL gives "Error") and the
// text always go to stderr first as one line, "<caption>: <text>", with the
// text's line breaks turned into spaces. Then a fixed-size top-level dialog
// shows the text, split into lines at '\n', and an OK button. Return, keypad
// Enter, Escape, space, a click on OK and the window manager's close request
// (WM_DELETE_WINDOW) dismiss it; the result is always IDOK. Without an X
// display the stderr line says why and the call returns IDOK at once.
//
// Left out: icons, the other button sets (MB_OKCANCEL, MB_YESNO, ...), default
// button and modality flags; any uType is shown as MB_OK. A NULL, stale or
// foreign owner handle gives a box without owner, not a failure.
//
// The owner's messages while the box is open: none are delivered. The box
// takes only its own window's X events out of Xlib's queue; everything for the
// program's windows waits there, in order, for the program's message loop
// after the box has closed. Drawing uses the core font "fixed" and the
// screen's black and white pixels on its default visual, so the box works on
// any depth and on a server with only built-in fonts.
#include <windows.h>

#include "layer.h"
#include "objects.h"
#include "x11_connection.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <algorithm>
#include <cstdio>
#include <poll.h>
#include <string>
#include <vector>

namespace {

constexpr int pollIntervalMs = 100;
constexpr int margin = 16;
constexpr int minimumWidth = 240;
constexpr int buttonMinimumWidth = 80;
constexpr int buttonPaddingY = 6;
constexpr char okLabel[] = "OK";
constexpr int okLabelLength = sizeof okLabel - 1;
constexpr long eventMask =
    ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask;

// Lines of the text; a "\r\n" line end counts as one break.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if (c == '\n')
            lines.emplace_back();
        else
            lines.back() += c;
    }
    return lines;
}

void writeStderrLine(const std::string& caption, const std::vector<std::string>& lines,
                     const char* noDisplayReason) {
    std::string line = caption + ": ";
    for (std::size_t i = 0; i < lines.size(); ++i)
        line += (i ? " " : "") + lines[i];
    if (noDisplayReason)
        line += std::string(" (no X display: ") + noDisplayReason + ")";
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

// The 8-bit strings are Latin-1, as WM_NAME is; _NET_WM_NAME wants UTF-8.
std::string latin1ToUtf8(const std::string& text) {
    std::string utf8;
    for (unsigned char c : text) {
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

int textWidth(XFontStruct* font, const std::string& text) {
    return XTextWidth(font, text.data(), static_cast<int>(text.size()));
}

struct Layout {
    int width = 0, height = 0;
    int firstBaseline = 0;
    int lineHeight = 0;
    XRectangle button{};
    int labelX = 0, labelY = 0;
};

Layout measure(XFontStruct* font, const std::vector<std::string>& lines, int screenWidth, int screenHeight) {
    Layout layout;
    layout.lineHeight = font->ascent + font->descent;
    int widest = 0;
    for (const std::string& line : lines)
        widest = std::max(widest, textWidth(font, line));
    int labelWidth = XTextWidth(font, okLabel, okLabelLength);
    int buttonWidth = std::max(buttonMinimumWidth, labelWidth + 2 * margin);
    int buttonHeight = layout.lineHeight + 2 * buttonPaddingY;
    int textHeight = static_cast<int>(lines.size()) * layout.lineHeight;

    layout.width = std::min(std::max({minimumWidth, widest, buttonWidth}) + 2 * margin, screenWidth);
    layout.height = std::min(margin + textHeight + margin + buttonHeight + margin, screenHeight);
    layout.firstBaseline = margin + font->ascent;
    layout.button.x = static_cast<short>((layout.width - buttonWidth) / 2);
    layout.button.y = static_cast<short>(layout.height - margin - buttonHeight);
    layout.button.width = static_cast<unsigned short>(buttonWidth);
    layout.button.height = static_cast<unsigned short>(buttonHeight);
    layout.labelX = layout.button.x + (buttonWidth - labelWidth) / 2;
    layout.labelY = layout.button.y + buttonPaddingY + font->ascent;
    return layout;
}

// The owner's X window, or 0 for a NULL, stale or foreign handle. The lookup
// sets the last error when it refuses a handle; the box does not fail for
// that, so the caller's last error stays as it was.
::Window ownerXWindow(HWND owner) {
    DWORD savedError = GetLastError();
    win32::WindowRecord* record = win32::findWindow(owner);
    SetLastError(savedError);
    return record ? record->xWindow : 0;
}

// The owner's area in root coordinates, when it is viewable.
bool viewableArea(Display* display, ::Window window, XRectangle& area) {
    if (!window)
        return false;
    win32::ErrorTrap trap;
    XWindowAttributes attributes;
    int x = 0, y = 0;
    ::Window child = 0;
    bool found = XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable &&
                 XTranslateCoordinates(display, window, attributes.root, 0, 0, &x, &y, &child);
    if (trap.finish() != 0 || !found)
        return false;
    area = XRectangle{static_cast<short>(x), static_cast<short>(y),
                      static_cast<unsigned short>(attributes.width),
                      static_cast<unsigned short>(attributes.height)};
    return true;
}

// Centred on the viewable owner, else on the screen; kept on the screen.
XPoint place(Display* display, const Layout& layout, ::Window owner) {
    int screen = DefaultScreen(display);
    int screenWidth = DisplayWidth(display, screen), screenHeight = DisplayHeight(display, screen);
    XRectangle area{0, 0, static_cast<unsigned short>(screenWidth),
                    static_cast<unsigned short>(screenHeight)};
    viewableArea(display, owner, area);
    int x = area.x + (area.width - layout.width) / 2;
    int y = area.y + (area.height - layout.height) / 2;
    x = std::max(0, std::min(x, screenWidth - layout.width));
    y = std::max(0, std::min(y, screenHeight - layout.height));
    return XPoint{static_cast<short>(x), static_cast<short>(y)};
}

void describeToWindowManager(Display* display, ::Window window, const Layout& layout, XPoint position,
                             const std::string& title, ::Window owner) {
    const win32::Atoms& atoms = win32::atoms();
    XStoreName(display, window, title.c_str());
    std::string utf8Title = latin1ToUtf8(title);
    XChangeProperty(display, window, atoms.netWmName, atoms.utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8Title.data()),
                    static_cast<int>(utf8Title.size()));
    Atom dialogType = atoms.netWmWindowTypeDialog;
    XChangeProperty(display, window, atoms.netWmWindowType, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&dialogType), 1);
    Atom protocols[] = {atoms.wmDeleteWindow};
    XSetWMProtocols(display, window, protocols, 1);
    if (owner)
        XSetTransientForHint(display, window, owner);

    XSizeHints size{};
    size.flags = PPosition | PSize | PMinSize | PMaxSize;
    size.x = position.x;
    size.y = position.y;
    size.width = size.min_width = size.max_width = layout.width;
    size.height = size.min_height = size.max_height = layout.height;
    XSetWMNormalHints(display, window, &size);

    XWMHints hints{};
    hints.flags = InputHint | StateHint;
    hints.input = True;
    hints.initial_state = NormalState;
    XSetWMHints(display, window, &hints);
}

struct Dialog {
    Display* display = nullptr;
    ::Window window = 0;
    GC gc = nullptr;
    XFontStruct* font = nullptr;
    Layout layout;
    std::vector<std::string> lines;
    bool buttonArmed = false; // pressed on OK, not yet released
    bool focused = false;
    bool destroyedElsewhere = false;
};

bool create(Dialog& dialog, const std::string& title, ::Window owner) {
    Display* display = dialog.display;
    int screen = DefaultScreen(display);
    XPoint position = place(display, dialog.layout, owner);

    win32::ErrorTrap trap;
    XSetWindowAttributes attributes{};
    attributes.background_pixel = WhitePixel(display, screen);
    attributes.border_pixel = BlackPixel(display, screen);
    attributes.event_mask = eventMask;
    dialog.window =
        XCreateWindow(display, RootWindow(display, screen), position.x, position.y,
                      static_cast<unsigned>(dialog.layout.width), static_cast<unsigned>(dialog.layout.height),
                      0, DefaultDepth(display, screen), InputOutput, DefaultVisual(display, screen),
                      CWBackPixel | CWBorderPixel | CWEventMask, &attributes);
    describeToWindowManager(display, dialog.window, dialog.layout, position, title, owner);
    XGCValues values{};
    values.foreground = BlackPixel(display, screen);
    values.background = WhitePixel(display, screen);
    values.font = dialog.font->fid;
    dialog.gc = XCreateGC(display, dialog.window, GCForeground | GCBackground | GCFont, &values);
    if (trap.finish() == 0)
        return true;
    XFreeGC(display, dialog.gc);
    XDestroyWindow(display, dialog.window);
    dialog.gc = nullptr;
    dialog.window = 0;
    return false;
}

void draw(const Dialog& dialog) {
    Display* display = dialog.display;
    const Layout& layout = dialog.layout;
    XClearWindow(display, dialog.window);
    for (std::size_t i = 0; i < dialog.lines.size(); ++i) {
        const std::string& line = dialog.lines[i];
        XDrawString(display, dialog.window, dialog.gc, margin,
                    layout.firstBaseline + static_cast<int>(i) * layout.lineHeight, line.data(),
                    static_cast<int>(line.size()));
    }
    // A double frame marks OK as the default button.
    const XRectangle& b = layout.button;
    XDrawRectangle(display, dialog.window, dialog.gc, b.x, b.y, b.width - 1u, b.height - 1u);
    XDrawRectangle(display, dialog.window, dialog.gc, b.x + 1, b.y + 1, b.width - 3u, b.height - 3u);
    XDrawString(display, dialog.window, dialog.gc, layout.labelX, layout.labelY, okLabel, okLabelLength);
    XFlush(display);
}

// Focus only a viewable window: focusing an unmapped one is an X error.
void tryToFocus(Dialog& dialog) {
    win32::ErrorTrap trap;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(dialog.display, dialog.window, &attributes) ||
        attributes.map_state != IsViewable)
        return;
    XSetInputFocus(dialog.display, dialog.window, RevertToParent, CurrentTime);
    dialog.focused = trap.finish() == 0;
}

bool onButton(const Layout& layout, int x, int y) {
    const XRectangle& b = layout.button;
    return x >= b.x && y >= b.y && x < b.x + b.width && y < b.y + b.height;
}

bool isDismissKey(XKeyEvent& event) {
    KeySym symbol = XLookupKeysym(&event, 0);
    return symbol == XK_Return || symbol == XK_KP_Enter || symbol == XK_Escape || symbol == XK_space;
}

// Handles one event of the dialog window; false when the box is to close.
bool handle(Dialog& dialog, XEvent& event) {
    switch (event.type) {
    case Expose:
        if (event.xexpose.count == 0)
            draw(dialog);
        if (!dialog.focused)
            tryToFocus(dialog);
        return true;
    case MapNotify:
        if (!dialog.focused)
            tryToFocus(dialog);
        return true;
    case KeyPress:
        return !isDismissKey(event.xkey);
    case ButtonPress:
        if (event.xbutton.button == Button1)
            dialog.buttonArmed = onButton(dialog.layout, event.xbutton.x, event.xbutton.y);
        return true;
    case ButtonRelease:
        if (event.xbutton.button != Button1)
            return true;
        if (dialog.buttonArmed && onButton(dialog.layout, event.xbutton.x, event.xbutton.y))
            return false;
        dialog.buttonArmed = false;
        return true;
    case ClientMessage: {
        const win32::Atoms& atoms = win32::atoms();
        const XClientMessageEvent& message = event.xclient;
        return !(message.message_type == atoms.wmProtocols && message.format == 32 &&
                 static_cast<Atom>(message.data.l[0]) == atoms.wmDeleteWindow);
    }
    case DestroyNotify:
        dialog.destroyedElsewhere = true;
        return false;
    default:
        return true;
    }
}

Bool isForWindow(Display*, XEvent* event, XPointer window) {
    return event->xany.window == *reinterpret_cast<::Window*>(window);
}

// Xlib's queue may hold events of the program's windows that the box leaves
// there, so a non-empty queue says nothing about the dialog: wait on the
// socket itself, bounded, after the queue has been searched.
void waitForServer(Display* display) {
    pollfd socket{ConnectionNumber(display), POLLIN, 0};
    poll(&socket, 1, pollIntervalMs);
}

void runUntilDismissed(Dialog& dialog) {
    XMapRaised(dialog.display, dialog.window);
    XFlush(dialog.display);
    bool open = true;
    while (open) {
        win32::actOnPendingSignal();
        XEvent event;
        while (open &&
               XCheckIfEvent(dialog.display, &event, isForWindow, reinterpret_cast<XPointer>(&dialog.window)))
            open = handle(dialog, event);
        if (open)
            waitForServer(dialog.display);
    }
}

// Destroys the dialog and drops its last events (unmap, destroy), so the
// program's message loop never sees a window it does not know.
void shutDown(Dialog& dialog) {
    Display* display = dialog.display;
    if (!dialog.destroyedElsewhere)
        XDestroyWindow(display, dialog.window);
    XFreeGC(display, dialog.gc);
    XFreeFont(display, dialog.font);
    XSync(display, False);
    XEvent event;
    while (XCheckIfEvent(display, &event, isForWindow, reinterpret_cast<XPointer>(&dialog.window))) {
    }
}

} // namespace

extern "C" int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    (void)uType;
    std::string caption = lpCaption ? lpCaption : "Error";
    std::vector<std::string> lines = splitLines(lpText ? lpText : "");

    Display* display = win32::display();
    writeStderrLine(caption, lines, display ? nullptr : win32::displayFailureReason());
    if (!display)
        return IDOK;

    Dialog dialog;
    dialog.display = display;
    dialog.lines = std::move(lines);
    dialog.font = XLoadQueryFont(display, "fixed");
    if (!dialog.font) {
        std::fputs("message box: the X server has no font \"fixed\"; no dialog shown\n", stderr);
        return IDOK;
    }
    int screen = DefaultScreen(display);
    dialog.layout =
        measure(dialog.font, dialog.lines, DisplayWidth(display, screen), DisplayHeight(display, screen));
    if (!create(dialog, caption, ownerXWindow(hWnd))) {
        XFreeFont(display, dialog.font);
        std::fputs("message box: the X server refused the dialog window; no dialog shown\n", stderr);
        return IDOK;
    }
    runUntilDismissed(dialog);
    shutDown(dialog);
    return IDOK;
}
