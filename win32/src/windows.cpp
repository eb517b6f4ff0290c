// Window classes and top-level windows: RegisterClassA, CreateWindowExA,
// DestroyWindow, IsWindow, ShowWindow, SetForegroundWindow, AdjustWindowRect,
// GetClientRect, LoadIconA, LoadCursorA and GetStockObject.
//
// A window is an X window whose size is the client area; the frame belongs to
// the window manager. AdjustWindowRect adds fixed frame metrics, which
// CreateWindowExA takes off again for framed styles, so a framed window gets
// exactly the client size asked for. WS_POPUP windows are undecorated and
// keep the size they are given; CW_USEDEFAULT places a pop-up at the screen's
// top-left and leaves a framed window to the window manager. Client sizes are
// kept between 0 and 32767, the largest an X window can have.
//
// A class is named by its name (compared without case) or by the atom
// RegisterClassA returned for it. Creation sends WM_NCCREATE, WM_CREATE and
// WM_SIZE; destruction sends WM_DESTROY and WM_NCDESTROY. Child windows,
// menus, icons and cursors are left out: icon, cursor and brush handles only
// name the stock objects.
#include "layer.h"
#include "x11_connection.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <poll.h>
#include <strings.h>
#include <unistd.h>
#include <vector>

namespace win32 {
namespace {

constexpr int showTimeoutMs = 2000;
constexpr long eventMask = StructureNotifyMask | KeyPressMask | KeyReleaseMask | PropertyChangeMask;

// The registered classes of the process, by name (names compare without case).
std::vector<WindowClass>& classes() {
    static std::vector<WindowClass> registered;
    return registered;
}

// Class atoms live in the range the platform gives them, in order of registration.
constexpr uintptr_t firstClassAtom = 0xC001;

// A class name may also be a class atom in the low word, the high bits zero.
bool isAtom(const char* nameOrAtom) {
    return reinterpret_cast<uintptr_t>(nameOrAtom) <= 0xFFFF;
}

const WindowClass* findClass(const char* nameOrAtom) {
    if (isAtom(nameOrAtom)) {
        uintptr_t atom = reinterpret_cast<uintptr_t>(nameOrAtom);
        if (atom < firstClassAtom || atom - firstClassAtom >= classes().size())
            return nullptr;
        return &classes()[atom - firstClassAtom];
    }
    for (const WindowClass& c : classes())
        if (strcasecmp(c.name.c_str(), nameOrAtom) == 0)
            return &c;
    return nullptr;
}

struct FrameInsets {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// The largest width or height of an X window: sizes travel as 16-bit fields
// and larger ones would wrap round.
constexpr long long largestXExtent = 32767;

// A client extent: the window's extent without its frame, computed without
// overflow and kept to what an X window can have.
int clientExtent(int windowExtent, int frameBefore, int frameAfter) {
    long long extent = static_cast<long long>(windowExtent) - frameBefore - frameAfter;
    return static_cast<int>(std::clamp(extent, 0LL, largestXExtent));
}

// A rectangle coordinate moved by a frame inset, held at the ends of LONG
// rather than wrapping round.
LONG movedCoordinate(LONG coordinate, long long by) {
    return static_cast<LONG>(
        std::clamp(coordinate + by, static_cast<long long>(INT32_MIN), static_cast<long long>(INT32_MAX)));
}

// Fixed frame metrics of the classic platform look: a sizing border of 8, a
// dialog frame of 3, a thin border of 1, a caption of 23 and a menu bar of 20.
FrameInsets frameInsets(DWORD style, bool menu) {
    int border = 0;
    if (style & WS_THICKFRAME)
        border = 8;
    else if (style & WS_DLGFRAME)
        border = 3;
    else if (style & WS_BORDER)
        border = 1;
    FrameInsets insets{border, border, border, border};
    if ((style & WS_CAPTION) == WS_CAPTION)
        insets.top += 23;
    if (menu)
        insets.top += 20;
    return insets;
}

void setProperties(Display* d, const WindowRecord& window) {
    const Atoms& a = atoms();
    XStoreName(d, window.xWindow, window.caption.c_str());
    XChangeProperty(d, window.xWindow, a.netWmName, a.utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(window.caption.data()),
                    static_cast<int>(window.caption.size()));

    XClassHint classHint;
    classHint.res_name = program_invocation_short_name;
    classHint.res_class = const_cast<char*>(window.windowClass.name.c_str());
    XSetClassHint(d, window.xWindow, &classHint);

    XWMHints wmHints{};
    wmHints.flags = InputHint | StateHint;
    wmHints.input = True;
    wmHints.initial_state = NormalState;
    XSetWMHints(d, window.xWindow, &wmHints);

    XSizeHints sizeHints{};
    if (window.placedByUser) {
        sizeHints.flags = USPosition | PPosition;
        sizeHints.x = window.x;
        sizeHints.y = window.y;
    }
    XSetWMNormalHints(d, window.xWindow, &sizeHints);

    Atom protocols[] = {a.wmDeleteWindow};
    XSetWMProtocols(d, window.xWindow, protocols, 1);

    long pid = getpid();
    XChangeProperty(d, window.xWindow, a.netWmPid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);

    if (window.style & WS_POPUP) {
        // Motif hints: decorations flag set, no decorations.
        long motif[5] = {2, 0, 0, 0, 0};
        XChangeProperty(d, window.xWindow, a.motifWmHints, a.motifWmHints, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(motif), 5);
    }
}

// Creates the X window of a record for the given visual; on success the
// record holds it and the previous X window (if any) is the caller's.
bool createXWindow(WindowRecord& window, Visual* visual, int depth, VisualID visualId) {
    Display* d = display();
    int screen = DefaultScreen(d);
    ::Window root = RootWindow(d, screen);
    bool defaultVisual = visual == DefaultVisual(d, screen);

    ErrorTrap trap;
    Colormap colormap =
        defaultVisual ? DefaultColormap(d, screen) : XCreateColormap(d, root, visual, AllocNone);
    XSetWindowAttributes attributes{};
    attributes.colormap = colormap;
    attributes.border_pixel = 0;
    attributes.background_pixmap = None;
    attributes.event_mask = eventMask;
    ::Window xWindow =
        XCreateWindow(d, root, window.x, window.y, static_cast<unsigned>(std::max(1, window.clientWidth)),
                      static_cast<unsigned>(std::max(1, window.clientHeight)), 0, depth, InputOutput, visual,
                      CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &attributes);
    if (trap.finish() != 0 || !xWindow) {
        // The id is there even if the server refused the window; a window it
        // did make (the error was the colormap's) would otherwise stay behind.
        if (xWindow)
            XDestroyWindow(d, xWindow);
        if (!defaultVisual)
            XFreeColormap(d, colormap);
        return false;
    }
    window.xWindow = xWindow;
    window.colormap = defaultVisual ? 0 : colormap;
    window.visual = visualId;
    setProperties(d, window);
    return true;
}

void destroyXWindow(const WindowRecord& window) {
    Display* d = openedDisplay();
    if (!d)
        return;
    if (window.xWindow)
        XDestroyWindow(d, window.xWindow);
    if (window.colormap)
        XFreeColormap(d, window.colormap);
    XFlush(d);
}

// Waits, within a bound, until the server reports the window mapped.
void awaitMapped(WindowRecord& window) {
    Display* d = display();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(showTimeoutMs);
    XEvent event;
    for (;;) {
        if (XCheckTypedWindowEvent(d, window.xWindow, MapNotify, &event)) {
            window.viewable = true;
            return;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        pollfd fd{ConnectionNumber(d), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left.count()));
    }
}

} // namespace

bool useVisual(WindowRecord& window, const XVisualInfo& visual) {
    if (window.visual == visual.visualid)
        return true;
    WindowRecord previous = window;
    if (!createXWindow(window, visual.visual, visual.depth, visual.visualid))
        return false;
    destroyXWindow(previous);
    if (window.shown) {
        XMapWindow(display(), window.xWindow);
        awaitMapped(window);
    }
    return true;
}

void forgetDestroyedXWindow(WindowRecord& window) {
    // Another client destroyed the X window: the program is asked to close,
    // as a user would, and the window ends whatever its procedure does.
    HWND handle = window.handle;
    window.xWindow = 0;
    sendMessage(window, WM_CLOSE, 0, 0);
    if (IsWindow(handle))
        DestroyWindow(handle);
}

} // namespace win32

using namespace win32;

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass) {
    if (!lpWndClass || !lpWndClass->lpfnWndProc || !lpWndClass->lpszClassName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // A name given as an atom can only be one already registered.
    if (findClass(lpWndClass->lpszClassName)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    if (isAtom(lpWndClass->lpszClassName) || !*lpWndClass->lpszClassName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    classes().push_back(WindowClass{lpWndClass->lpszClassName, lpWndClass->style, lpWndClass->lpfnWndProc});
    return static_cast<ATOM>(firstClassAtom + classes().size() - 1);
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                            int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam) {
    const WindowClass* windowClass = findClass(lpClassName);
    if (!windowClass) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (hWndParent || (dwStyle & WS_CHILD)) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    Display* d = display();
    if (!d) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }

    auto record = std::make_unique<WindowRecord>();
    record->windowClass = *windowClass;
    record->caption = lpWindowName ? lpWindowName : "";
    record->style = dwStyle;
    FrameInsets insets = frameInsets(dwStyle, hMenu != nullptr);
    if (nWidth == CW_USEDEFAULT) {
        nWidth = 640 + insets.left + insets.right;
        nHeight = 480 + insets.top + insets.bottom;
    }
    record->clientWidth = clientExtent(nWidth, insets.left, insets.right);
    record->clientHeight = clientExtent(nHeight, insets.top, insets.bottom);
    if (X != CW_USEDEFAULT) {
        record->x = X;
        record->y = Y;
        record->placedByUser = true;
    } else if (dwStyle & WS_POPUP) {
        record->placedByUser = true; // at the screen's top-left
    }

    WindowRecord& window = *record;
    std::uintptr_t handle = windowTable().add(std::move(record));
    if (!handle) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    window.handle = reinterpret_cast<HWND>(handle);
    window.deviceContext = reinterpret_cast<HDC>(windowTable().handleAs(HandleKind::DeviceContext, handle));
    int screen = DefaultScreen(d);
    Visual* visual = DefaultVisual(d, screen);
    if (!createXWindow(window, visual, DefaultDepth(d, screen), XVisualIDFromVisual(visual))) {
        windowTable().remove(handle);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }

    HWND hWnd = window.handle;
    CREATESTRUCTA create{
        lpParam,      hInstance,   hMenu,    hWndParent, nHeight, nWidth, Y, X, static_cast<LONG>(dwStyle),
        lpWindowName, lpClassName, dwExStyle};
    LPARAM createParam = reinterpret_cast<LPARAM>(&create);
    if (!sendMessage(window, WM_NCCREATE, 0, createParam)) {
        DestroyWindow(hWnd);
        return nullptr;
    }
    if (!IsWindow(hWnd))
        return nullptr;
    if (sendMessage(window, WM_CREATE, 0, createParam) == -1) {
        DestroyWindow(hWnd);
        return nullptr;
    }
    if (!IsWindow(hWnd))
        return nullptr;
    sendMessage(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(window.clientWidth, window.clientHeight));
    if ((dwStyle & WS_VISIBLE) && IsWindow(hWnd))
        ShowWindow(hWnd, SW_SHOW);
    return IsWindow(hWnd) ? hWnd : nullptr;
}

BOOL WINAPI IsWindow(HWND hWnd) {
    return windowTable().find(reinterpret_cast<std::uintptr_t>(hWnd)) != nullptr;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    WindowRecord* window = findWindow(hWnd);
    if (!window || window->destroying) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    window->destroying = true;
    sendMessage(*window, WM_DESTROY, 0, 0);
    sendMessage(*window, WM_NCDESTROY, 0, 0);
    // The record stays in the table until here, whatever the procedure did.
    releaseContextOfWindow(*window);
    destroyXWindow(*window);
    // As on the platform, the window is gone for everyone once DestroyWindow
    // returns: no other client still finds it.
    if (Display* d = openedDisplay())
        XSync(d, False);
    dropQueuedMessagesFor(hWnd);
    windowTable().remove(reinterpret_cast<std::uintptr_t>(hWnd));
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    WindowRecord* window = findWindow(hWnd);
    if (!window)
        return FALSE;
    BOOL wasVisible = window->shown ? TRUE : FALSE;
    Display* d = display();
    switch (nCmdShow) {
    case SW_HIDE:
        if (window->shown) {
            sendMessage(*window, WM_SHOWWINDOW, FALSE, 0);
            window = findWindow(hWnd);
            if (!window)
                return wasVisible;
            window->shown = false;
            XUnmapWindow(d, window->xWindow);
            XFlush(d);
        }
        return wasVisible;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
        if (!window->shown)
            ShowWindow(hWnd, SW_SHOW);
        window = findWindow(hWnd);
        if (window) {
            XIconifyWindow(d, window->xWindow, DefaultScreen(d));
            XFlush(d);
        }
        return wasVisible;
    default:
        if (!window->shown) {
            sendMessage(*window, WM_SHOWWINDOW, TRUE, 0);
            window = findWindow(hWnd);
            if (!window)
                return wasVisible;
            window->shown = true;
            XMapWindow(d, window->xWindow);
            awaitMapped(*window);
        }
        return wasVisible;
    }
}

BOOL WINAPI SetForegroundWindow(HWND hWnd) {
    WindowRecord* window = findWindow(hWnd);
    if (!window)
        return FALSE;
    Display* d = display();
    XRaiseWindow(d, window->xWindow);
    // Ask a window manager to activate it; without one the message is ignored.
    XEvent activate{};
    activate.xclient.type = ClientMessage;
    activate.xclient.window = window->xWindow;
    activate.xclient.message_type = atoms().netActiveWindow;
    activate.xclient.format = 32;
    activate.xclient.data.l[0] = 1; // from an application
    activate.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &activate);
    if (!window->viewable) {
        XFlush(d);
        return FALSE;
    }
    ErrorTrap trap;
    XSetInputFocus(d, window->xWindow, RevertToParent, CurrentTime);
    return trap.finish() == 0 ? TRUE : FALSE;
}

BOOL WINAPI AdjustWindowRect(RECT* lpRect, DWORD dwStyle, BOOL bMenu) {
    if (!lpRect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    FrameInsets insets = frameInsets(dwStyle, bMenu != FALSE);
    lpRect->left = movedCoordinate(lpRect->left, -insets.left);
    lpRect->top = movedCoordinate(lpRect->top, -insets.top);
    lpRect->right = movedCoordinate(lpRect->right, insets.right);
    lpRect->bottom = movedCoordinate(lpRect->bottom, insets.bottom);
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND hWnd, RECT* lpRect) {
    WindowRecord* window = findWindow(hWnd);
    if (!window || !lpRect) {
        if (window)
            SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpRect = RECT{0, 0, window->clientWidth, window->clientHeight};
    return TRUE;
}

// Stock icons, cursors and brushes are named by tagged values and never
// looked into; only the predefined resources of a null instance exist.
HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    uintptr_t id = reinterpret_cast<uintptr_t>(lpIconName);
    if (hInstance || id < 32512 || id > 32517) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return reinterpret_cast<HICON>(0x10000 | id);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    uintptr_t id = reinterpret_cast<uintptr_t>(lpCursorName);
    if (hInstance || id < 32512 || id > 32651) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return reinterpret_cast<HCURSOR>(0x20000 | id);
}

HGDIOBJ WINAPI GetStockObject(int i) {
    if (i < 0 || i > 19) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(0x30000 | i));
}

} // extern "C"
