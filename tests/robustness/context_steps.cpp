// Rendering contexts: wglCreateContext, wglMakeCurrent, wglDeleteContext,
// wglGetCurrentContext and wglGetCurrentDC, and GL drawing with whatever is
// current (nothing, a live window, a window destroyed under the context).
#include "abuse_driver.h"

#include <GL/gl.h>

namespace robustness {
namespace {

HDC asDc(std::uintptr_t value) {
    return reinterpret_cast<HDC>(value);
}

HGLRC asContext(std::uintptr_t value) {
    return reinterpret_cast<HGLRC>(value);
}

void deleteContext(AbuseDriver& d);

void createContext(AbuseDriver& d) {
    if (d.contexts.size() >= AbuseDriver::contextLimit) {
        deleteContext(d);
        return;
    }
    HandleArgument deviceContext = d.anyDeviceContext();
    std::string call =
        std::string("wglCreateContext(") + deviceContext.origin + " " + hex(deviceContext.value) + ")";
    d.trace(call);
    WindowState* state = d.windowOfDeviceContext(deviceContext.value);
    int format = state ? state->pixelFormat : 0;
    d.clearLastError();
    HGLRC context = wglCreateContext(asDc(deviceContext.value));
    if (!state) {
        d.expectRefused(call, context == nullptr, {ERROR_INVALID_HANDLE});
        return;
    }
    if (format == 0) {
        d.expectRefused(call, context == nullptr, {ERROR_INVALID_PIXEL_FORMAT});
        return;
    }
    bool drawable = d.formatDrawsRgbaToWindow[static_cast<std::size_t>(format - 1)];
    if (!context) {
        if (drawable)
            d.expect(false, call + ": failed for format " + std::to_string(format) + ", last error " +
                                std::to_string(GetLastError()));
        else
            d.expectRefused(call, true, {ERROR_INVALID_PIXEL_FORMAT});
        return;
    }
    d.expect(!d.contextOf(reinterpret_cast<std::uintptr_t>(context)), call + ": a handle already in use");
    d.contexts.push_back(ContextState{context, format});
}

void makeCurrent(AbuseDriver& d) {
    if (d.random.percent(15)) {
        HandleArgument deviceContext = d.anyDeviceContext();
        d.trace(std::string("wglMakeCurrent(") + deviceContext.origin + ", NULL)");
        d.expect(wglMakeCurrent(asDc(deviceContext.value), nullptr), "wglMakeCurrent(any, NULL) failed");
        d.currentContext = nullptr;
        d.currentDeviceContext = nullptr;
        return;
    }
    HandleArgument context = d.anyContext();
    HandleArgument deviceContext = d.anyDeviceContext();
    // Mostly a window of the context's own format, the case that can succeed.
    if (ContextState* chosen = d.contextOf(context.value); chosen && d.random.percent(70)) {
        for (const WindowState& w : d.windows)
            if (w.pixelFormat == chosen->pixelFormat && !w.tooLargeToDraw) {
                deviceContext = {reinterpret_cast<std::uintptr_t>(w.deviceContext),
                                 "device context of its format"};
                break;
            }
    }
    WindowState* state = d.windowOfDeviceContext(deviceContext.value);
    if (state && state->tooLargeToDraw)
        return;
    std::string call = std::string("wglMakeCurrent(") + deviceContext.origin + " " +
                       hex(deviceContext.value) + ", " + context.origin + " " + hex(context.value) + ")";
    d.trace(call);
    ContextState* target = d.contextOf(context.value);
    d.clearLastError();
    BOOL made = wglMakeCurrent(asDc(deviceContext.value), asContext(context.value));
    if (!context.value) {
        d.expect(made, call + ": releasing failed");
    } else if (!target || !state) {
        d.expectRefused(call, !made, {ERROR_INVALID_HANDLE});
    } else if (state->pixelFormat != target->pixelFormat) {
        d.expectRefused(call, !made, {ERROR_INVALID_PIXEL_FORMAT});
    } else if (state->doomed || target->boundToDestroyedWindow) {
        if (!made)
            d.expectRefused(call, true, {ERROR_INVALID_HANDLE});
    } else {
        d.expect(made, call + ": failed, last error " + std::to_string(GetLastError()));
    }
    if (target && state)
        target->boundToDestroyedWindow = state->doomed;
    if (made) {
        d.currentContext = asContext(context.value);
        d.currentDeviceContext = context.value ? asDc(deviceContext.value) : nullptr;
    } else {
        // A call that fails leaves no context current.
        d.expect(wglGetCurrentContext() == nullptr, call + ": failed, and a context is still current");
        d.currentContext = nullptr;
        d.currentDeviceContext = nullptr;
    }
}

void deleteContext(AbuseDriver& d) {
    HandleArgument context = d.anyContext();
    std::string call = std::string("wglDeleteContext(") + context.origin + " " + hex(context.value) + ")";
    d.trace(call);
    ContextState* state = d.contextOf(context.value);
    d.clearLastError();
    BOOL deleted = wglDeleteContext(asContext(context.value));
    if (!state) {
        d.expectRefused(call, !deleted, {ERROR_INVALID_HANDLE});
        return;
    }
    d.expect(deleted, call + ": failed on a live context");
    if (!deleted)
        return;
    for (auto it = d.contexts.begin(); it != d.contexts.end(); ++it)
        if (it->handle == asContext(context.value)) {
            d.contexts.erase(it);
            break;
        }
    d.staleContexts.push_back(asContext(context.value));
    if (d.currentContext == asContext(context.value)) {
        // Deleting the current context makes it not current first.
        d.expect(wglGetCurrentContext() == nullptr, call + ": the deleted context is still current");
        d.currentContext = nullptr;
        d.currentDeviceContext = nullptr;
    }
}

void askCurrent(AbuseDriver& d) {
    d.trace("wglGetCurrentContext() and wglGetCurrentDC()");
    HGLRC context = wglGetCurrentContext();
    HDC deviceContext = wglGetCurrentDC();
    d.expect(context == d.currentContext, "wglGetCurrentContext is not the context made current");
    // Once its window is gone the context stays current, bound to nothing.
    if (d.currentDeviceContext)
        d.expect(deviceContext == d.currentDeviceContext,
                 "wglGetCurrentDC is not the device context made current");
}

void draw(AbuseDriver& d) {
    d.trace("glClear and SwapBuffers on the current device context");
    glClearColor(static_cast<float>(d.random.between(0, 100)) / 100.0f, 0.5f, 0.25f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // A window destroyed under the context leaves GL calls harmless; the
    // layer's own device context of that window is refused.
    if (d.currentDeviceContext) {
        WindowState* state =
            d.windowOfDeviceContext(reinterpret_cast<std::uintptr_t>(d.currentDeviceContext));
        if (state && !state->doomed)
            d.expect(SwapBuffers(d.currentDeviceContext), "SwapBuffers of the current window failed");
    }
}

} // namespace

void addContextSteps(std::vector<Step>& steps) {
    steps.insert(steps.end(), {
                                  {"wglCreateContext", 5, createContext},
                                  {"wglMakeCurrent", 6, makeCurrent},
                                  {"wglDeleteContext", 4, deleteContext},
                                  {"wglGetCurrentContext", 2, askCurrent},
                                  {"draw", 3, draw},
                              });
}

} // namespace robustness
