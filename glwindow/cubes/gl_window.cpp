#include "gl_window.h"

#include "../gl_window_steps.h"

#include <GL/gl.h>

GlWindow::GlWindow() : hWnd(NULL), hDC(NULL), hRC(NULL) {}

GlWindow::~GlWindow() {}

bool GlWindow::create(int width, int height, int colorBits, bool fullscreen) {
    this->fullscreen = fullscreen;
    this->width = width;
    this->height = height;

    // What makes this program's window its own.
    const GlWindowVariant cubesWindow = {
        "OpenGL",         // class name
        windowProc,       // window procedure, from the program
        (BYTE)colorBits,  // colour bits of the pixel format: the low 8 bits
        (DWORD)colorBits, // bits per pixel of a full-screen mode
        148,              // size of the display mode record
    };
    if (!createGlWindow(cubesWindow, width, height, fullscreen, hWnd, hDC, hRC))
        return false;
    resize(width, height);
    return true;
}

void GlWindow::resize(int width, int height) {
    if (height == 0)
        height = 1;
    this->width = width;
    this->height = height;
    glViewport(0, 0, width, height);
}

void GlWindow::destroy() {
    destroyGlWindow(hWnd, hDC, hRC, fullscreen);
}
