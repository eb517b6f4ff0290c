// A recording stand-in for the Win32 subset and the OpenGL/GLU calls that the
// window layer and the two programs make. Linked in place of the win32
// library and of libGL/libGLU, it needs no X server: every call is recorded
// with its arguments, results come from a script, and the window procedure
// is called back the way the platform would call it:
//   - CreateWindowExA sends the script's messagesDuringCreate to the procedure
//     of the registered class before it returns;
//   - DispatchMessageA calls the procedure of the message's window;
//   - DefWindowProcA on WM_CLOSE calls DestroyWindow, which sends WM_DESTROY
//     to a window that is still alive;
//   - PostQuitMessage queues WM_QUIT for the next PeekMessageA.
#pragma once

#include "recorded_call.h"

#include <windows.h>

#include <functional>
#include <vector>

namespace fake {

// What one PeekMessageA finds: a message, or an empty queue.
struct Peek {
    bool found;
    MSG message;
};
Peek emptyQueue();
Peek message(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

struct SentMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

template <class Handle> Handle handle(uintptr_t value) {
    return reinterpret_cast<Handle>(value);
}

struct Script {
    HMODULE module = handle<HMODULE>(0x1000);
    HICON icon = handle<HICON>(0x1100);
    HCURSOR cursor = handle<HCURSOR>(0x1200);
    HBRUSH whiteBrush = handle<HBRUSH>(0x1300);

    // AdjustWindowRect grows the rectangle by these amounts on each side.
    RECT frame = {8, 31, 8, 8};
    // What EnumDisplaySettingsA reports as the current mode (see the .cpp).
    DEVMODEA currentMode = defaultDisplayMode();
    LONG changeDisplayResult = DISP_CHANGE_SUCCESSFUL;

    HWND window = handle<HWND>(0x2000); // NULL: CreateWindowExA fails
    std::vector<SentMessage> messagesDuringCreate;
    HDC dc = handle<HDC>(0x3000); // NULL: GetDC fails
    int pixelFormat = 7;          // 0: ChoosePixelFormat fails
    BOOL setPixelFormatResult = TRUE;
    HGLRC context = handle<HGLRC>(0x4000); // NULL: wglCreateContext fails
    BOOL makeCurrentResult = TRUE;         // for a non-null context

    // DefWindowProcA returns this plus the message number, so that each
    // message has a result of its own.
    LRESULT defaultResult = 0x5000;

    // What the PeekMessageA calls find, in order, after anything posted.
    // Once these are used up, each call finds WM_QUIT with quitCode.
    std::vector<Peek> peeks;
    WPARAM quitCode = 0;

    // What GetTickCount returns, in order; the last value repeats.
    std::vector<DWORD> ticks;

    static DEVMODEA defaultDisplayMode();
};

// Forgets every call and all state, and takes on a new script.
void reset(const Script& script = Script());
// Forgets the calls recorded so far and keeps the state.
void clearCalls();
const std::vector<Call>& calls();
// Called after each call is recorded, e.g. to look at the program's state at
// that moment.
void observe(std::function<void(const Call&)> observer);
// The context made current by the last successful wglMakeCurrent.
HGLRC currentContext();
// Records a call made to a link seam of a test, in order with the others.
void recordSeamCall(const Call& call);

} // namespace fake
