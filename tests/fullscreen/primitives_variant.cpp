// The primitives_demo variant: fixed 32-bit colour and the layer's own window procedure.
#include "variant.h"

#include "gl_window.h"

namespace fullscreen_test {
namespace {

GlWindow& window() {
    static GlWindow theWindow;
    return theWindow;
}

} // namespace

const char* variantName() {
    return "primitives";
}

bool createFullScreen(int width, int height) {
    return window().create(width, height, true);
}

void destroyWindow() {
    window().destroy();
}

} // namespace fullscreen_test
