// The choice of a pixel format for a request, as a pure function.
//
// Required: the pixel type asked for, drawing to a window and OpenGL when
// asked, and double buffering unless the request says "don't care" (a
// double-buffered request never gets a single-buffered format, and the other
// way round). Among the formats that qualify, one whose window pixels carry
// an alpha channel nobody asked for comes last (a compositing window manager
// would show such a window through where GL leaves alpha at 0); then the
// nearest colour depth wins
// (a request above what the server has gets its deepest formats: 32 bits are
// met by 24-bit colour), then the nearest depth buffer, preferring one at
// least as deep as asked, then the fewest unrequested alpha, stencil,
// accumulation and auxiliary bits, formats the server does not mark slow, no
// multisampling, and finally the server's own order.
#include "pixel_format_choice.h"

#include <array>
#include <cstdlib>

namespace win32 {
namespace {

bool qualifies(const PixelFormatRecord& format, const PIXELFORMATDESCRIPTOR& request) {
    bool wantsRgba = request.iPixelType == PFD_TYPE_RGBA;
    if (format.rgba != wantsRgba)
        return false;
    if ((request.dwFlags & PFD_DRAW_TO_WINDOW) && !format.drawToWindow)
        return false;
    if (!(request.dwFlags & PFD_DOUBLEBUFFER_DONTCARE) &&
        format.doubleBuffer != ((request.dwFlags & PFD_DOUBLEBUFFER) != 0))
        return false;
    if ((request.dwFlags & PFD_STEREO) && !format.stereo)
        return false;
    return true;
}

// Smaller is better, compared in order.
using Score = std::array<int, 9>;

Score score(const PixelFormatRecord& format, const PIXELFORMATDESCRIPTOR& request) {
    int depthShortfall = request.cDepthBits > format.depthBits ? 1 : 0;
    int accumBits =
        format.accumRedBits + format.accumGreenBits + format.accumBlueBits + format.accumAlphaBits;
    int unaskedWindowAlpha = format.alphaInWindow && request.cAlphaBits == 0 ? 1 : 0;
    return Score{unaskedWindowAlpha,
                 std::abs(format.colorBits() - request.cColorBits),
                 depthShortfall,
                 std::abs(format.depthBits - request.cDepthBits),
                 std::abs(format.alphaBits - request.cAlphaBits),
                 std::abs(format.stencilBits - request.cStencilBits) +
                     std::abs(accumBits - request.cAccumBits),
                 std::abs(format.auxBuffers - request.cAuxBuffers),
                 format.slow ? 1 : 0,
                 format.samples};
}

} // namespace

int choosePixelFormat(const std::vector<PixelFormatRecord>& formats, const PIXELFORMATDESCRIPTOR& request) {
    int best = 0;
    Score bestScore{};
    for (std::size_t i = 0; i < formats.size(); ++i) {
        if (!qualifies(formats[i], request))
            continue;
        Score candidate = score(formats[i], request);
        if (best == 0 || candidate < bestScore) {
            best = static_cast<int>(i) + 1;
            bestScore = candidate;
        }
    }
    return best;
}

PIXELFORMATDESCRIPTOR describe(const PixelFormatRecord& format) {
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_SUPPORT_OPENGL | (format.drawToWindow ? PFD_DRAW_TO_WINDOW : 0) |
                  (format.doubleBuffer ? PFD_DOUBLEBUFFER : 0) | (format.stereo ? PFD_STEREO : 0);
    pfd.iPixelType = format.rgba ? PFD_TYPE_RGBA : PFD_TYPE_COLORINDEX;
    pfd.cColorBits = static_cast<BYTE>(format.colorBits());
    pfd.cRedBits = static_cast<BYTE>(format.redBits);
    pfd.cRedShift = static_cast<BYTE>(format.redShift);
    pfd.cGreenBits = static_cast<BYTE>(format.greenBits);
    pfd.cGreenShift = static_cast<BYTE>(format.greenShift);
    pfd.cBlueBits = static_cast<BYTE>(format.blueBits);
    pfd.cBlueShift = static_cast<BYTE>(format.blueShift);
    pfd.cAlphaBits = static_cast<BYTE>(format.alphaBits);
    pfd.cAlphaShift = static_cast<BYTE>(format.alphaShift);
    pfd.cAccumRedBits = static_cast<BYTE>(format.accumRedBits);
    pfd.cAccumGreenBits = static_cast<BYTE>(format.accumGreenBits);
    pfd.cAccumBlueBits = static_cast<BYTE>(format.accumBlueBits);
    pfd.cAccumAlphaBits = static_cast<BYTE>(format.accumAlphaBits);
    pfd.cAccumBits = static_cast<BYTE>(format.accumRedBits + format.accumGreenBits + format.accumBlueBits +
                                       format.accumAlphaBits);
    pfd.cDepthBits = static_cast<BYTE>(format.depthBits);
    pfd.cStencilBits = static_cast<BYTE>(format.stencilBits);
    pfd.cAuxBuffers = static_cast<BYTE>(format.auxBuffers);
    pfd.iLayerType = PFD_MAIN_PLANE;
    return pfd;
}

} // namespace win32
