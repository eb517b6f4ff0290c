#include "gl_window_steps.h"

#include <string.h>

namespace {

const char windowCaption[] = "Quorlane";

bool fail(HWND owner, const char* text) {
    MessageBoxA(owner, text, "ERROR", MB_OK);
    return false;
}

void registerWindowClass(const GlWindowVariant& variant, HINSTANCE instance) {
    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = variant.windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(NULL, IDI_WINLOGO);
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    windowClass.lpszClassName = variant.className;
    RegisterClassA(&windowClass);
}

// A temporary switch of the primary display to width by height, keeping the
// refresh rate and everything else of the current mode.
void switchDisplayMode(const GlWindowVariant& variant, int width, int height) {
    DEVMODEA mode;
    memset(&mode, 0, sizeof mode);
    mode.dmSize = variant.displayModeSize;
    EnumDisplaySettingsA(NULL, ENUM_CURRENT_SETTINGS, &mode);
    mode.dmSize = variant.displayModeSize;
    mode.dmBitsPerPel = variant.fullscreenBits;
    mode.dmPelsWidth = width;
    mode.dmPelsHeight = height;
    ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN);
}

void describePixelFormat(const GlWindowVariant& variant, PIXELFORMATDESCRIPTOR& request) {
    memset(&request, 0, sizeof request);
    request.nSize = sizeof request;
    request.nVersion = 1;
    request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = variant.colorBits;
    request.cDepthBits = 24;
    request.iLayerType = PFD_MAIN_PLANE;
}

} // namespace

bool createGlWindow(const GlWindowVariant& variant, int width, int height, bool fullscreen, HWND& hWnd,
                    HDC& hDC, HGLRC& hRC) {
    HINSTANCE instance = GetModuleHandleA(NULL);
    registerWindowClass(variant, instance);

    // The outer size of a framed window with this client area, in both modes.
    RECT rect = {0, 0, width, height};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);

    DWORD style = WS_OVERLAPPEDWINDOW;
    if (fullscreen) {
        switchDisplayMode(variant, width, height);
        style = WS_POPUP;
    }

    hWnd = CreateWindowExA(0, variant.className, windowCaption, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                           CW_USEDEFAULT, CW_USEDEFAULT, rect.right - rect.left, rect.bottom - rect.top, NULL,
                           NULL, instance, NULL);
    if (!hWnd)
        return fail(NULL, "Failed to create the window.");

    hDC = GetDC(hWnd);
    if (!hDC)
        return fail(hWnd, "Failed to get the device context.");

    PIXELFORMATDESCRIPTOR request;
    describePixelFormat(variant, request);
    int pixelFormat = ChoosePixelFormat(hDC, &request);
    if (!pixelFormat)
        return fail(hWnd, "Failed to choose pixel format.");
    if (!SetPixelFormat(hDC, pixelFormat, &request))
        return fail(hWnd, "Failed to set pixel format.");

    hRC = wglCreateContext(hDC);
    if (!hRC)
        return fail(hWnd, "Failed to create the OpenGL rendering context.");
    if (!wglMakeCurrent(hDC, hRC))
        return fail(hWnd, "Failed to make current the OpenGL rendering context.");

    ShowWindow(hWnd, SW_SHOW);
    SetForegroundWindow(hWnd);
    return true;
}

void destroyGlWindow(HWND hWnd, HDC hDC, HGLRC hRC, bool fullscreen) {
    wglMakeCurrent(NULL, NULL);
    wglDeleteContext(hRC);
    ReleaseDC(hWnd, hDC);
    if (fullscreen)
        ChangeDisplaySettingsA(NULL, 0);
    DestroyWindow(hWnd);
}
