// Pixel formats as plain records, and the choice among them.
//
// The server's GLX frame-buffer configurations are read once into these
// records; choosing is a pure function of the records and the request, so it
// is tested from tables without a server.
#pragma once

#include <windows.h>

#include <vector>

namespace win32 {

struct PixelFormatRecord {
    int fbConfigIndex = -1; // position in the server's list of configurations
    unsigned long visualId = 0;
    bool rgba = true;
    bool drawToWindow = true;
    bool doubleBuffer = true;
    bool stereo = false;
    int redBits = 0, greenBits = 0, blueBits = 0, alphaBits = 0;
    int redShift = 0, greenShift = 0, blueShift = 0, alphaShift = 0;
    int depthBits = 0, stencilBits = 0;
    int accumRedBits = 0, accumGreenBits = 0, accumBlueBits = 0, accumAlphaBits = 0;
    int auxBuffers = 0;
    int samples = 0;
    bool slow = false;              // a configuration the server marks as slow or non-conformant
    bool alphaInWindow = false;     // its X visual stores alpha in the window's pixels

    int colorBits() const { return redBits + greenBits + blueBits; }
};

// The 1-based index of the format that best matches the request, or 0 when
// none has the required properties (RGBA or colour index as asked, drawable to
// a window, OpenGL, double buffering unless "don't care").
int choosePixelFormat(const std::vector<PixelFormatRecord>& formats, const PIXELFORMATDESCRIPTOR& request);

// The record in the form DescribePixelFormat reports it.
PIXELFORMATDESCRIPTOR describe(const PixelFormatRecord& format);

} // namespace win32
