// The layer's live objects (window classes, windows with their own device
// contexts, rendering contexts) and the tables that hold them.
#pragma once

#include "handles.h"

#include <windows.h>

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <string>

namespace win32 {

struct WindowClass {
    std::string name;
    UINT style = 0;
    WNDPROC windowProc = nullptr;
};

struct WindowRecord {
    HWND handle = nullptr;
    HDC deviceContext = nullptr;
    WindowClass windowClass;
    std::string caption;
    DWORD style = 0;
    ::Window xWindow = 0;
    Colormap colormap = 0;
    VisualID visual = 0;
    int x = 0, y = 0;          // requested position of the X window
    bool placedByUser = false; // false: the window manager places it
    int clientWidth = 0, clientHeight = 0;
    int pixelFormat = 0;   // 0 until SetPixelFormat
    bool shown = false;    // ShowWindow made it visible
    bool viewable = false; // the server reported it mapped
    bool minimized = false;
    bool destroying = false;
};

struct ContextRecord {
    HGLRC handle = nullptr;
    GLXContext glx = nullptr;
    int pixelFormat = 0;
};

HandleTable<WindowRecord>& windowTable();
HandleTable<ContextRecord>& contextTable();

// Lookups that refuse stale and foreign handles (and set the last error).
WindowRecord* findWindow(HWND handle);
WindowRecord* findWindowOfDc(HDC deviceContext);
WindowRecord* findWindowOfXWindow(::Window xWindow);
ContextRecord* findContext(HGLRC handle);

} // namespace win32
