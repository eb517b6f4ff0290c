// The GL window variant that a full-screen test program is built with: each
// program links one variant, so the same tests run against both.
#pragma once

#include <windows.h>

namespace fullscreen_test {

// The variant's name, for the test's messages.
const char* variantName();
// GlWindow::create for a full-screen window of width by height at 32-bit colour.
bool createFullScreen(int width, int height);
// GlWindow::destroy on the window createFullScreen made.
void destroyWindow();

} // namespace fullscreen_test
