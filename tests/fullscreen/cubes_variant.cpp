// The cubes_demo variant: the colour depth as an argument, and a window
// procedure that the program supplies; this one only does the default.
#include "variant.h"

#include "gl_window.h"

LRESULT CALLBACK windowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

namespace fullscreen_test {
namespace {

GlWindow& window() {
    static GlWindow theWindow;
    return theWindow;
}

} // namespace

const char* variantName() {
    return "cubes";
}

bool createFullScreen(int width, int height) {
    return window().create(width, height, 32, true);
}

void destroyWindow() {
    window().destroy();
}

} // namespace fullscreen_test
