// What the areas of the layer call of each other.
#pragma once

#include "objects.h"

#include <X11/Xlib.h>

namespace win32 {

// messages
LRESULT sendMessage(WindowRecord& window, UINT message, WPARAM wParam, LPARAM lParam);
void postMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void dropQueuedMessagesFor(HWND window);
void translateXEvent(const XEvent& event);

// windows
// Gives the still-hidden window an X window of the visual a pixel format needs.
bool useVisual(WindowRecord& window, const XVisualInfo& visual);
// Closes and ends a window whose X window another client destroyed.
void forgetDestroyedXWindow(WindowRecord& window);

// pixel formats
// The GLX configuration of a 1-based pixel format, or null.
GLXFBConfig frameBufferConfig(int pixelFormat);

// wgl
void releaseContextOfWindow(WindowRecord& window);

// keyboard
UINT virtualKeyFromKeysym(unsigned long keysym);
UINT characterFromVirtualKey(UINT virtualKey, bool shift);

// display settings
// Restores a switched display mode (at exit, or when a termination signal
// was recorded) and, for a signal, ends the process by it.
void actOnPendingSignal();

} // namespace win32
