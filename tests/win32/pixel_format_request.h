// The pixel format request both programs make.
#pragma once

#include <windows.h>

namespace layer_test {

inline PIXELFORMATDESCRIPTOR programsPixelFormatRequest() {
    PIXELFORMATDESCRIPTOR request{};
    request.nSize = sizeof request;
    request.nVersion = 1;
    request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = 32;
    request.cDepthBits = 24;
    request.iLayerType = PFD_MAIN_PLANE;
    return request;
}

} // namespace layer_test
