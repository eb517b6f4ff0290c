// The OpenGL window of cubes_demo: the colour depth as an argument, the client
// size kept and followed through resize, and a window procedure that the
// program supplies.
#pragma once

#include <windows.h>

class GlWindow {
  public:
    HWND hWnd;
    HDC hDC;
    HGLRC hRC;
    bool fullscreen;
    int width;
    int height;

    GlWindow();
    ~GlWindow();

    // Creates the window for a client area of width by height pixels, with a
    // current rendering context and the viewport over that area.
    bool create(int width, int height, int colorBits, bool fullscreen);
    // Follows a new client size: stores it (a height of 0 as 1) and sets the
    // viewport of the current context.
    void resize(int width, int height);
    void destroy();
};

// Supplied by the program; the window class names it.
LRESULT CALLBACK windowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
