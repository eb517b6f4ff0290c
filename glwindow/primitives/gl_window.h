// The OpenGL window of primitives_demo: a fixed 32-bit colour depth, no size
// tracking, and the window procedure of its own.
#pragma once

#include <windows.h>

class GlWindow {
  public:
    HWND hWnd;
    HDC hDC;
    HGLRC hRC;
    bool fullscreen;

    GlWindow();
    ~GlWindow();

    // Creates the window for a client area of width by height pixels, with a
    // current rendering context and the viewport over that area.
    bool create(int width, int height, bool fullscreen);
    void destroy();
};

LRESULT CALLBACK windowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
