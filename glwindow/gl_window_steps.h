// The steps of setting up and tearing down an OpenGL window that both
// programs' GlWindow share. What differs between them is a GlWindowVariant.
#pragma once

#include <windows.h>

struct GlWindowVariant {
    const char* className; // the window class to register
    WNDPROC windowProc;    // the procedure that class names
    BYTE colorBits;        // cColorBits of the pixel format request
    DWORD fullscreenBits;  // dmBitsPerPel of the full-screen display mode
    WORD displayModeSize;  // dmSize of the program's display mode record
};

// Registers the class, switches the display for full screen, creates the
// window with its pixel format and a current rendering context, and shows it.
// Each handle is stored as soon as it is obtained. A failing step is reported
// in a message box owned by the window, and nothing done before it is undone.
bool createGlWindow(const GlWindowVariant& variant, int width, int height, bool fullscreen, HWND& hWnd,
                    HDC& hDC, HGLRC& hRC);

// Releases the context, the device context, a switched display mode and the
// window, in that order. Every step is called; the platform refuses a handle
// that is already gone (a window the user closed, say) and does nothing.
void destroyGlWindow(HWND hWnd, HDC hDC, HGLRC hRC, bool fullscreen);
