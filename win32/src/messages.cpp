// The thread's message queue: PeekMessageA, TranslateMessage,
// DispatchMessageA, DefWindowProcA, SendMessageA, PostMessageA and
// PostQuitMessage, and the translation of X events into window messages.
//
// As on the platform, sent messages are delivered at once and posted ones
// wait. PeekMessageA never waits: it reads the X events already available,
// delivers the ones the server reports as sent messages (a real change of the
// client size as WM_SIZE, a close request as WM_CLOSE, minimising and
// restoring as WM_SIZE), queues key input as WM_KEYDOWN/WM_KEYUP (and their
// WM_SYS forms while Alt is held), and then removes at most one message:
// posted and input messages first in first out, WM_QUIT only once none is
// left. Painting, mouse input and focus messages are left out: the programs
// redraw continuously and use neither.
#include "layer.h"
#include "x11_connection.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>
#include <X11/Xutil.h>
#include <deque>

namespace win32 {
namespace {

constexpr LPARAM altHeldBit = 1 << 29;
constexpr LPARAM previousStateBit = 1 << 30;
constexpr LPARAM transitionBit = static_cast<LPARAM>(1u << 31);

struct MessageQueue {
    std::deque<MSG> posted;
    bool quitPosted = false;
    int quitCode = 0;
    bool keyDown[256] = {};  // keys as the X events read so far leave them
    bool keyState[256] = {}; // keys as the messages removed so far leave them
};

MessageQueue& threadQueue() {
    thread_local MessageQueue queue;
    return queue;
}

bool matches(const MSG& message, HWND window, UINT first, UINT last) {
    if (window && message.hwnd != window)
        return false;
    if (first == 0 && last == 0)
        return true;
    return message.message >= first && message.message <= last;
}

// Keys that sit in the extended part of the platform's keyboard.
bool isExtendedKey(UINT virtualKey, unsigned long keysym) {
    switch (virtualKey) {
    case VK_PRIOR:
    case VK_NEXT:
    case VK_END:
    case VK_HOME:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
    case VK_INSERT:
    case VK_DELETE:
    case VK_DIVIDE:
    case VK_NUMLOCK:
        return true;
    default:
        return keysym == XK_KP_Enter || keysym == XK_Control_R || keysym == XK_Alt_R;
    }
}

void queueKey(const WindowRecord& window, const XKeyEvent& key, bool press) {
    unsigned long keysym = XkbKeycodeToKeysym(key.display, static_cast<KeyCode>(key.keycode), 0, 0);
    UINT virtualKey = virtualKeyFromKeysym(keysym);
    if (virtualKey == 0)
        return;
    MessageQueue& queue = threadQueue();
    bool wasDown = queue.keyDown[virtualKey];
    queue.keyDown[virtualKey] = press;

    LPARAM lParam = 1 | (static_cast<LPARAM>((key.keycode - 8) & 0xFF) << 16);
    if (isExtendedKey(virtualKey, keysym))
        lParam |= 1 << 24;
    bool alt = (key.state & Mod1Mask) != 0 || (press && virtualKey == VK_MENU);
    if (alt)
        lParam |= altHeldBit;
    if (press ? wasDown : true)
        lParam |= previousStateBit;
    if (!press)
        lParam |= transitionBit;
    bool system = alt || virtualKey == VK_F10;
    UINT message = press ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    postMessage(window.handle, message, virtualKey, lParam);
}

void sendSize(WindowRecord& window, WPARAM kind, int width, int height) {
    sendMessage(window, WM_SIZE, kind, MAKELPARAM(width, height));
}

void followWindowState(WindowRecord& window) {
    Display* d = display();
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    ErrorTrap trap;
    int status = XGetWindowProperty(d, window.xWindow, atoms().wmState, 0, 2, False, atoms().wmState, &type,
                                    &format, &count, &after, &data);
    bool ok = trap.finish() == 0 && status == Success && data && count >= 1 && format == 32;
    long state = ok ? reinterpret_cast<long*>(data)[0] : WithdrawnState;
    if (data)
        XFree(data);
    if (state == IconicState && !window.minimized) {
        window.minimized = true;
        sendSize(window, SIZE_MINIMIZED, 0, 0);
    } else if (state == NormalState && window.minimized) {
        window.minimized = false;
        sendSize(window, SIZE_RESTORED, window.clientWidth, window.clientHeight);
    }
}

// The key state that TranslateMessage reads follows the messages as they are
// removed, not the X events as they are read: a key message translated later
// than it was queued still sees the modifiers held when it was pressed.
void followKeyState(MessageQueue& queue, const MSG& message) {
    switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        queue.keyState[message.wParam & 0xFF] = true;
        return;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        queue.keyState[message.wParam & 0xFF] = false;
        return;
    default:
        return;
    }
}

} // namespace

LRESULT sendMessage(WindowRecord& window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC procedure = window.windowClass.windowProc;
    return procedure ? procedure(window.handle, message, wParam, lParam)
                     : DefWindowProcA(window.handle, message, wParam, lParam);
}

void postMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG posted{};
    posted.hwnd = window;
    posted.message = message;
    posted.wParam = wParam;
    posted.lParam = lParam;
    posted.time = GetTickCount();
    threadQueue().posted.push_back(posted);
}

void dropQueuedMessagesFor(HWND window) {
    std::deque<MSG>& posted = threadQueue().posted;
    for (auto it = posted.begin(); it != posted.end();)
        it = it->hwnd == window ? posted.erase(it) : it + 1;
}

void translateXEvent(const XEvent& event) {
    WindowRecord* window = findWindowOfXWindow(event.xany.window);
    if (!window || window->destroying)
        return;
    switch (event.type) {
    case ConfigureNotify: {
        int width = event.xconfigure.width, height = event.xconfigure.height;
        if (width == window->clientWidth && height == window->clientHeight)
            return;
        window->clientWidth = width;
        window->clientHeight = height;
        // A minimised window hears of its new size when it is restored.
        if (!window->minimized)
            sendSize(*window, SIZE_RESTORED, width, height);
        return;
    }
    case MapNotify:
        window->viewable = true;
        return;
    case UnmapNotify:
        window->viewable = false;
        return;
    case PropertyNotify:
        if (event.xproperty.atom == atoms().wmState)
            followWindowState(*window);
        return;
    case ClientMessage:
        if (event.xclient.message_type == atoms().wmProtocols &&
            static_cast<Atom>(event.xclient.data.l[0]) == atoms().wmDeleteWindow)
            sendMessage(*window, WM_CLOSE, 0, 0);
        return;
    case KeyPress:
    case KeyRelease:
        queueKey(*window, event.xkey, event.type == KeyPress);
        return;
    case DestroyNotify:
        if (event.xdestroywindow.window == window->xWindow)
            forgetDestroyedXWindow(*window);
        return;
    default:
        return;
    }
}

} // namespace win32

using namespace win32;

extern "C" {

BOOL WINAPI PeekMessageA(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    actOnPendingSignal();
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (Display* d = openedDisplay()) {
        // Only what has already arrived: XPending reads without blocking.
        while (XPending(d)) {
            XEvent event;
            XNextEvent(d, &event);
            translateXEvent(event);
        }
    }
    MessageQueue& queue = threadQueue();
    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
        if (!matches(*it, hWnd, wMsgFilterMin, wMsgFilterMax))
            continue;
        *lpMsg = *it;
        if (wRemoveMsg & PM_REMOVE) {
            followKeyState(queue, *it);
            queue.posted.erase(it);
        }
        return TRUE;
    }
    // WM_QUIT is retrieved whatever message range the caller filters on.
    if (queue.quitPosted) {
        *lpMsg = MSG{};
        lpMsg->message = WM_QUIT;
        lpMsg->wParam = static_cast<WPARAM>(queue.quitCode);
        lpMsg->time = GetTickCount();
        if (wRemoveMsg & PM_REMOVE)
            queue.quitPosted = false;
        return TRUE;
    }
    return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    if (!lpMsg || (lpMsg->message != WM_KEYDOWN && lpMsg->message != WM_SYSKEYDOWN))
        return FALSE;
    MessageQueue& queue = threadQueue();
    UINT character =
        characterFromVirtualKey(static_cast<UINT>(lpMsg->wParam & 0xFF), queue.keyState[VK_SHIFT]);
    if (character == 0)
        return FALSE;
    // The character follows its key at once, ahead of later input.
    MSG translated = *lpMsg;
    translated.message = lpMsg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    translated.wParam = character;
    queue.posted.push_front(translated);
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!lpMsg->hwnd)
        return 0;
    WindowRecord* window = findWindow(lpMsg->hwnd);
    return window ? sendMessage(*window, lpMsg->message, lpMsg->wParam, lpMsg->lParam) : 0;
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    WindowRecord* window = findWindow(hWnd);
    return window ? sendMessage(*window, Msg, wParam, lParam) : 0;
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd && !findWindow(hWnd))
        return FALSE;
    postMessage(hWnd, Msg, wParam, lParam);
    return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode) {
    MessageQueue& queue = threadQueue();
    queue.quitPosted = true;
    queue.quitCode = nExitCode;
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    switch (Msg) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4 && (lParam & altHeldBit))
            SendMessageA(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            SendMessageA(hWnd, WM_CLOSE, 0, 0);
        return 0;
    default:
        return 0;
    }
}

} // extern "C"
