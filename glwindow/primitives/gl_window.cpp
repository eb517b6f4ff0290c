#include "gl_window.h"

#include "../gl_window_steps.h"

#include <GL/gl.h>

namespace {

// What makes this program's window its own.
const GlWindowVariant primitivesWindow = {
    "GLCLASS",  // class name
    windowProc, // window procedure
    32,         // colour bits of the pixel format
    32,         // bits per pixel of a full-screen mode
    156,        // size of the display mode record
};

} // namespace

GlWindow::GlWindow() : hWnd(NULL), hDC(NULL), hRC(NULL) {}

GlWindow::~GlWindow() {}

bool GlWindow::create(int width, int height, bool fullscreen) {
    this->fullscreen = fullscreen;
    if (!createGlWindow(primitivesWindow, width, height, fullscreen, hWnd, hDC, hRC))
        return false;
    glViewport(0, 0, width, height);
    return true;
}

void GlWindow::destroy() {
    destroyGlWindow(hWnd, hDC, hRC, fullscreen);
}

LRESULT CALLBACK windowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        PostQuitMessage(0);
        break;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE)
            PostQuitMessage(0);
        break;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}
