// Rendering contexts: wglCreateContext, wglMakeCurrent, wglDeleteContext,
// wglGetCurrentContext and wglGetCurrentDC, on GLX.
//
// A context is a compatibility GLX context of its device context's pixel
// format and can be made current only on windows of that format, as on the
// platform, where also a wglMakeCurrent that fails leaves no context current.
// When a window is destroyed while its context is current, the context is
// unbound from it first, so that the GL calls and SwapBuffers that still
// follow do nothing until the context is released. Sharing lists, layer
// planes and extension loading are left out.
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
    std::uintptr_t handle = contextTable().add(std::move(record));
    if (!handle) {
        glXDestroyContext(display(), glx);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    context.handle = reinterpret_cast<HGLRC>(handle);
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
    // As on the platform, a call that fails leaves no context current. GLX
    // may also have bound the context before the server refused the drawable
    // (a window another client destroyed): that binding goes too, or the
    // context could never be freed.
    auto fail = [&binding](DWORD error) {
        unbindAll();
        binding = CurrentBinding{};
        SetLastError(error);
        return FALSE;
    };
    ContextRecord* context = findContext(hglrc);
    if (!context)
        return fail(ERROR_INVALID_HANDLE);
    WindowRecord* window = findWindowOfDc(hdc);
    if (!window)
        return fail(ERROR_INVALID_HANDLE);
    if (window->pixelFormat != context->pixelFormat)
        return fail(ERROR_INVALID_PIXEL_FORMAT);
    // The previous binding goes first, outside the trap: GLX then frees what it
    // kept for the old drawable, and an error of that (its window destroyed by
    // another client) is not one of this call.
    if (binding.context && (binding.context != hglrc || binding.deviceContext != hdc)) {
        unbindAll();
        binding = CurrentBinding{};
    }
    ErrorTrap trap;
    Bool made = glXMakeCurrent(display(), window->xWindow, context->glx);
    if (trap.finish() != 0 || !made)
        return fail(ERROR_INVALID_HANDLE);
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
