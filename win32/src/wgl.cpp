// Rendering contexts: wglCreateContext, wglMakeCurrent, wglDeleteContext,
// wglGetCurrentContext and wglGetCurrentDC, on GLX.
//
// A context is a compatibility GLX context of its device context's pixel
// format and can be made current only on windows of that format, as on the
// platform. When a window is destroyed while its context is current, the
// context is unbound from it first, so that the GL calls and SwapBuffers
// that still follow do nothing until the context is released. Sharing lists,
// layer planes and extension loading are left out.
#include "layer.h"
#include "x11_connection.h"

#include <memory>

namespace win32 {
namespace {

struct CurrentBinding {
    HGLRC context = nullptr;
    HDC deviceContext = nullptr;
};

CurrentBinding& current() {
    thread_local CurrentBinding binding;
    return binding;
}

void unbindAll() {
    if (Display* d = openedDisplay())
        glXMakeCurrent(d, None, nullptr);
}

} // namespace

void releaseContextOfWindow(WindowRecord& window) {
    CurrentBinding& binding = current();
    if (binding.context && binding.deviceContext == window.deviceContext) {
        glFinish();
        unbindAll();
        binding.deviceContext = nullptr;
    }
}

} // namespace win32

using namespace win32;

extern "C" {

HGLRC WINAPI wglCreateContext(HDC hdc) {
    WindowRecord* window = findWindowOfDc(hdc);
    if (!window)
        return nullptr;
    GLXFBConfig config = frameBufferConfig(window->pixelFormat);
    if (!config) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return nullptr;
    }
    ErrorTrap trap;
    GLXContext glx = glXCreateNewContext(display(), config, GLX_RGBA_TYPE, nullptr, True);
    if (trap.finish() != 0 || !glx) {
        if (glx)
            glXDestroyContext(display(), glx);
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return nullptr;
    }
    auto record = std::make_unique<ContextRecord>();
    record->glx = glx;
    record->pixelFormat = window->pixelFormat;
    ContextRecord& context = *record;
    context.handle = reinterpret_cast<HGLRC>(contextTable().add(std::move(record)));
    return context.handle;
}

BOOL WINAPI wglMakeCurrent(HDC hdc, HGLRC hglrc) {
    CurrentBinding& binding = current();
    if (!hglrc) {
        if (binding.context)
            unbindAll();
        binding = CurrentBinding{};
        return TRUE;
    }
    ContextRecord* context = findContext(hglrc);
    if (!context)
        return FALSE;
    WindowRecord* window = findWindowOfDc(hdc);
    if (!window)
        return FALSE;
    if (window->pixelFormat != context->pixelFormat) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    ErrorTrap trap;
    Bool made = glXMakeCurrent(display(), window->xWindow, context->glx);
    if (trap.finish() != 0 || !made) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    binding = CurrentBinding{hglrc, hdc};
    return TRUE;
}

BOOL WINAPI wglDeleteContext(HGLRC hglrc) {
    ContextRecord* context = findContext(hglrc);
    if (!context)
        return FALSE;
    CurrentBinding& binding = current();
    if (binding.context == hglrc) {
        unbindAll();
        binding = CurrentBinding{};
    }
    glXDestroyContext(display(), context->glx);
    contextTable().remove(reinterpret_cast<std::uintptr_t>(hglrc));
    return TRUE;
}

HGLRC WINAPI wglGetCurrentContext(void) {
    return current().context;
}

HDC WINAPI wglGetCurrentDC(void) {
    return current().deviceContext;
}

} // extern "C"
