// Device contexts, pixel formats and presentation: GetDC, ReleaseDC,
// ChoosePixelFormat, SetPixelFormat, GetPixelFormat, DescribePixelFormat and
// SwapBuffers.
//
// Every window owns one device context for its whole life, as with CS_OWNDC;
// ReleaseDC leaves it valid. The pixel formats are the server's GLX
// frame-buffer configurations that can draw to a window through an X visual,
// numbered from 1 in the server's order. X fixes a window's visual when it is
// created, the platform only when the pixel format is set, so SetPixelFormat
// gives the window a new X window of the format's visual if it needs one.
// Screen device contexts, bitmaps and GDI drawing are left out.
#include "layer.h"
#include "pixel_format_choice.h"
#include "x11_connection.h"

#include <X11/Xutil.h>
#include <cstring>

namespace win32 {
namespace {

struct ServerFormats {
    bool read = false;
    GLXFBConfig* configs = nullptr;
    std::vector<PixelFormatRecord> formats;
};

int attribute(Display* d, GLXFBConfig config, int name) {
    int value = 0;
    glXGetFBConfigAttrib(d, config, name, &value);
    return value;
}

int maskShift(unsigned long mask) {
    if (!mask)
        return 0;
    int shift = 0;
    while (!(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

void readFormats(Display* d, ServerFormats& server) {
    server.read = true;
    int errorBase = 0, eventBase = 0;
    if (!glXQueryExtension(d, &errorBase, &eventBase))
        return;
    int count = 0;
    server.configs = glXGetFBConfigs(d, DefaultScreen(d), &count);
    for (int i = 0; i < count; ++i) {
        GLXFBConfig config = server.configs[i];
        PixelFormatRecord f;
        f.fbConfigIndex = i;
        f.visualId = static_cast<unsigned long>(attribute(d, config, GLX_VISUAL_ID));
        f.drawToWindow = (attribute(d, config, GLX_DRAWABLE_TYPE) & GLX_WINDOW_BIT) != 0;
        if (!f.visualId || !f.drawToWindow)
            continue;
        int renderType = attribute(d, config, GLX_RENDER_TYPE);
        if (!(renderType & (GLX_RGBA_BIT | GLX_COLOR_INDEX_BIT)))
            continue;
        f.rgba = (renderType & GLX_RGBA_BIT) != 0;
        f.doubleBuffer = attribute(d, config, GLX_DOUBLEBUFFER) != 0;
        f.stereo = attribute(d, config, GLX_STEREO) != 0;
        f.redBits = attribute(d, config, GLX_RED_SIZE);
        f.greenBits = attribute(d, config, GLX_GREEN_SIZE);
        f.blueBits = attribute(d, config, GLX_BLUE_SIZE);
        f.alphaBits = attribute(d, config, GLX_ALPHA_SIZE);
        f.depthBits = attribute(d, config, GLX_DEPTH_SIZE);
        f.stencilBits = attribute(d, config, GLX_STENCIL_SIZE);
        f.accumRedBits = attribute(d, config, GLX_ACCUM_RED_SIZE);
        f.accumGreenBits = attribute(d, config, GLX_ACCUM_GREEN_SIZE);
        f.accumBlueBits = attribute(d, config, GLX_ACCUM_BLUE_SIZE);
        f.accumAlphaBits = attribute(d, config, GLX_ACCUM_ALPHA_SIZE);
        f.auxBuffers = attribute(d, config, GLX_AUX_BUFFERS);
        f.samples = attribute(d, config, GLX_SAMPLES);
        f.slow = attribute(d, config, GLX_CONFIG_CAVEAT) != GLX_NONE;
        XVisualInfo wanted{};
        wanted.visualid = f.visualId;
        int matched = 0;
        if (XVisualInfo* visual = XGetVisualInfo(d, VisualIDMask, &wanted, &matched)) {
            f.redShift = maskShift(visual->red_mask);
            f.greenShift = maskShift(visual->green_mask);
            f.blueShift = maskShift(visual->blue_mask);
            f.alphaInWindow = visual->depth > f.colorBits();
            XFree(visual);
        }
        server.formats.push_back(f);
    }
}

ServerFormats& serverFormats() {
    static ServerFormats server;
    if (!server.read && display())
        readFormats(display(), server);
    return server;
}

} // namespace

GLXFBConfig frameBufferConfig(int pixelFormat) {
    ServerFormats& server = serverFormats();
    if (pixelFormat < 1 || pixelFormat > static_cast<int>(server.formats.size()))
        return nullptr;
    return server.configs[server.formats[static_cast<std::size_t>(pixelFormat - 1)].fbConfigIndex];
}

} // namespace win32

using namespace win32;

extern "C" {

HDC WINAPI GetDC(HWND hWnd) {
    WindowRecord* window = findWindow(hWnd);
    return window ? window->deviceContext : nullptr;
}

int WINAPI ReleaseDC(HWND hWnd, HDC hDC) {
    WindowRecord* window = findWindow(hWnd);
    return window && window->deviceContext == hDC ? 1 : 0;
}

int WINAPI ChoosePixelFormat(HDC hdc, const PIXELFORMATDESCRIPTOR* ppfd) {
    if (!findWindowOfDc(hdc))
        return 0;
    if (!ppfd || ppfd->nSize != sizeof(PIXELFORMATDESCRIPTOR) || ppfd->nVersion != 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int chosen = choosePixelFormat(serverFormats().formats, *ppfd);
    if (chosen == 0)
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
    return chosen;
}

BOOL WINAPI SetPixelFormat(HDC hdc, int format, const PIXELFORMATDESCRIPTOR*) {
    WindowRecord* window = findWindowOfDc(hdc);
    if (!window)
        return FALSE;
    GLXFBConfig config = frameBufferConfig(format);
    if (!config || (window->pixelFormat != 0 && window->pixelFormat != format)) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    if (window->pixelFormat == format)
        return TRUE;
    XVisualInfo* visual = glXGetVisualFromFBConfig(display(), config);
    bool ok = visual && useVisual(*window, *visual);
    if (visual)
        XFree(visual);
    if (!ok) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    window->pixelFormat = format;
    return TRUE;
}

int WINAPI GetPixelFormat(HDC hdc) {
    WindowRecord* window = findWindowOfDc(hdc);
    return window ? window->pixelFormat : 0;
}

int WINAPI DescribePixelFormat(HDC hdc, int iPixelFormat, UINT nBytes, PIXELFORMATDESCRIPTOR* ppfd) {
    if (!findWindowOfDc(hdc))
        return 0;
    const std::vector<PixelFormatRecord>& formats = serverFormats().formats;
    int count = static_cast<int>(formats.size());
    if (!ppfd)
        return count;
    if (iPixelFormat < 1 || iPixelFormat > count) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return 0;
    }
    if (nBytes < sizeof(PIXELFORMATDESCRIPTOR)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    *ppfd = describe(formats[static_cast<std::size_t>(iPixelFormat - 1)]);
    return count;
}

BOOL WINAPI SwapBuffers(HDC hdc) {
    WindowRecord* window = findWindowOfDc(hdc);
    if (!window)
        return FALSE;
    if (window->pixelFormat == 0) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    glXSwapBuffers(display(), window->xWindow);
    return TRUE;
}

} // extern "C"
