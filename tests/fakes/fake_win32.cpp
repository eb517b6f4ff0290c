// The Win32 half of the stand-in: each entry point records itself and answers
// from the script; window procedures are called back as the platform would.
#include "platform_state.h"

#include <cstdio>
#include <cstdlib>

using fake::Call;
using fake::call;
using fake::record;
using fake::state;
using fake::Value;

namespace {

Value textOrNull(LPCSTR text) {
    return text ? Value::text(text) : Value(nullptr);
}

// A resource name is either a small integer identifier or a text.
Value resourceName(LPCSTR name) {
    uintptr_t raw = reinterpret_cast<uintptr_t>(name);
    if (raw == 0)
        return Value(nullptr);
    if (raw < 0x10000)
        return Value(static_cast<unsigned>(raw));
    return Value::text(name);
}

// A record passed by pointer shows as its type's name, or NULL.
template <class T> Value recordArg(const T* given, const char* typeName) {
    return given ? Value::text(std::string("&") + typeName) : Value(nullptr);
}

Call messageCall(const char* name, const MSG* msg) {
    return call(name, {msg->hwnd, msg->message, msg->wParam, msg->lParam});
}

WNDPROC procedureOf(HWND hWnd) {
    auto found = state().liveWindows.find(hWnd);
    return found == state().liveWindows.end() ? nullptr : found->second;
}

} // namespace

extern "C" {

DWORD WINAPI GetTickCount(void) {
    record(call("GetTickCount"));
    fake::PlatformState& platform = state();
    const std::vector<DWORD>& ticks = platform.script.ticks;
    if (ticks.empty())
        return 0;
    size_t index = platform.nextTick < ticks.size() ? platform.nextTick : ticks.size() - 1;
    ++platform.nextTick;
    return ticks[index];
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    record(call("GetModuleHandleA", {textOrNull(lpModuleName)}));
    return state().script.module;
}

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    record(call("LoadIconA", {hInstance, resourceName(lpIconName)}));
    return state().script.icon;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    record(call("LoadCursorA", {hInstance, resourceName(lpCursorName)}));
    return state().script.cursor;
}

HGDIOBJ WINAPI GetStockObject(int i) {
    record(call("GetStockObject", {i}));
    return i == WHITE_BRUSH ? static_cast<HGDIOBJ>(state().script.whiteBrush) : NULL;
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass) {
    record(call("RegisterClassA", {textOrNull(lpWndClass->lpszClassName)}), lpWndClass);
    if (!lpWndClass->lpszClassName)
        return 0;
    state().classes[lpWndClass->lpszClassName] = lpWndClass->lpfnWndProc;
    return 0xC001;
}

BOOL WINAPI AdjustWindowRect(RECT* lpRect, DWORD dwStyle, BOOL bMenu) {
    record(
        call("AdjustWindowRect", {lpRect->left, lpRect->top, lpRect->right, lpRect->bottom, dwStyle, bMenu}));
    const RECT& frame = state().script.frame;
    lpRect->left -= frame.left;
    lpRect->top -= frame.top;
    lpRect->right += frame.right;
    lpRect->bottom += frame.bottom;
    return TRUE;
}

BOOL WINAPI EnumDisplaySettingsA(LPCSTR lpszDeviceName, DWORD iModeNum, DEVMODEA* lpDevMode) {
    record(call("EnumDisplaySettingsA",
                {textOrNull(lpszDeviceName), iModeNum, recordArg(lpDevMode, "DEVMODEA")}));
    // Only the two record sizes that the platform knows are filled, and only
    // as far as the caller's record reaches.
    WORD size = lpDevMode->dmSize;
    if (size != 148 && size != sizeof(DEVMODEA))
        return FALSE;
    std::memcpy(lpDevMode, &state().script.currentMode, size);
    lpDevMode->dmSize = size;
    lpDevMode->dmDriverExtra = 0;
    return TRUE;
}

LONG WINAPI ChangeDisplaySettingsA(DEVMODEA* lpDevMode, DWORD dwFlags) {
    record(call("ChangeDisplaySettingsA", {recordArg(lpDevMode, "DEVMODEA"), dwFlags}), lpDevMode);
    return state().script.changeDisplayResult;
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                            int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam) {
    record(call("CreateWindowExA", {dwExStyle, resourceName(lpClassName), textOrNull(lpWindowName), dwStyle,
                                    X, Y, nWidth, nHeight, hWndParent, hMenu, hInstance, lpParam}));
    fake::PlatformState& platform = state();
    HWND hWnd = platform.script.window;
    auto registered = lpClassName ? platform.classes.find(lpClassName) : platform.classes.end();
    if (!hWnd || registered == platform.classes.end())
        return NULL;
    WNDPROC procedure = registered->second;
    platform.liveWindows[hWnd] = procedure;
    std::vector<fake::SentMessage> sent = platform.script.messagesDuringCreate;
    for (const fake::SentMessage& m : sent)
        procedure(hWnd, m.message, m.wParam, m.lParam);
    return hWnd;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    record(call("DestroyWindow", {hWnd}));
    WNDPROC procedure = procedureOf(hWnd);
    if (!procedure)
        return FALSE;
    // The window still exists while it hears of its destruction.
    procedure(hWnd, WM_DESTROY, 0, 0);
    state().liveWindows.erase(hWnd);
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    record(call("ShowWindow", {hWnd, nCmdShow}));
    return FALSE;
}

BOOL WINAPI SetForegroundWindow(HWND hWnd) {
    record(call("SetForegroundWindow", {hWnd}));
    return TRUE;
}

BOOL WINAPI PeekMessageA(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    record(call("PeekMessageA", {recordArg(lpMsg, "MSG"), hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg}));
    fake::PlatformState& platform = state();
    bool remove = (wRemoveMsg & PM_REMOVE) != 0;
    if (!platform.posted.empty()) {
        *lpMsg = platform.posted.front();
        if (remove)
            platform.posted.pop_front();
        return TRUE;
    }
    if (platform.nextPeek < platform.script.peeks.size()) {
        const fake::Peek& peek = platform.script.peeks[platform.nextPeek];
        if (remove || !peek.found)
            ++platform.nextPeek;
        if (peek.found)
            *lpMsg = peek.message;
        return peek.found ? TRUE : FALSE;
    }
    // A loop that keeps polling after many quit messages would never end.
    if (++platform.quitsAfterScript > 1000) {
        std::fprintf(stderr, "recording platform: the program does not leave its loop on WM_QUIT\n");
        std::abort();
    }
    std::memset(lpMsg, 0, sizeof *lpMsg);
    lpMsg->message = WM_QUIT;
    lpMsg->wParam = platform.script.quitCode;
    return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    record(messageCall("TranslateMessage", lpMsg));
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    record(messageCall("DispatchMessageA", lpMsg));
    WNDPROC procedure = procedureOf(lpMsg->hwnd);
    if (!procedure)
        return 0;
    return procedure(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    record(call("DefWindowProcA", {hWnd, Msg, wParam, lParam}));
    if (Msg == WM_CLOSE)
        DestroyWindow(hWnd);
    return state().script.defaultResult + Msg;
}

void WINAPI PostQuitMessage(int nExitCode) {
    record(call("PostQuitMessage", {nExitCode}));
    MSG quit;
    std::memset(&quit, 0, sizeof quit);
    quit.message = WM_QUIT;
    quit.wParam = static_cast<WPARAM>(nExitCode);
    state().posted.push_back(quit);
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    record(call("MessageBoxA", {hWnd, textOrNull(lpText), textOrNull(lpCaption), uType}));
    return IDOK;
}

HDC WINAPI GetDC(HWND hWnd) {
    record(call("GetDC", {hWnd}));
    return state().script.dc;
}

int WINAPI ReleaseDC(HWND hWnd, HDC hDC) {
    record(call("ReleaseDC", {hWnd, hDC}));
    return 1;
}

int WINAPI ChoosePixelFormat(HDC hdc, const PIXELFORMATDESCRIPTOR* ppfd) {
    record(call("ChoosePixelFormat", {hdc, recordArg(ppfd, "PIXELFORMATDESCRIPTOR")}), ppfd);
    return state().script.pixelFormat;
}

BOOL WINAPI SetPixelFormat(HDC hdc, int format, const PIXELFORMATDESCRIPTOR* ppfd) {
    record(call("SetPixelFormat", {hdc, format, recordArg(ppfd, "PIXELFORMATDESCRIPTOR")}), ppfd);
    return state().script.setPixelFormatResult;
}

BOOL WINAPI SwapBuffers(HDC hdc) {
    record(call("SwapBuffers", {hdc}));
    return TRUE;
}

HGLRC WINAPI wglCreateContext(HDC hdc) {
    record(call("wglCreateContext", {hdc}));
    return state().script.context;
}

BOOL WINAPI wglMakeCurrent(HDC hdc, HGLRC hglrc) {
    record(call("wglMakeCurrent", {hdc, hglrc}));
    fake::PlatformState& platform = state();
    if (hglrc && !platform.script.makeCurrentResult)
        return FALSE;
    platform.current = hglrc;
    return TRUE;
}

BOOL WINAPI wglDeleteContext(HGLRC hglrc) {
    record(call("wglDeleteContext", {hglrc}));
    return hglrc ? TRUE : FALSE;
}

} // extern "C"
