// Xlib-level helpers shared by the test's own X clients (x_client.h and the
// specialised drivers built beside it): opening a connection that survives
// errors about windows that have just gone, walking the window tree, and the
// window manager's close request.
#pragma once

#include "x_client.h"

#include <X11/Xlib.h>
#include <string>
#include <vector>

namespace testing_support {

// Opens `displayName` (DISPLAY when empty), doing about the process's error
// handler what `errorHandling` says. Throws std::runtime_error when the
// display cannot be opened, or lacks XTest when `needXTest`.
Display* openTestConnection(const std::string& displayName, bool needXTest, ErrorHandling errorHandling);

// The children of `window`, bottom first; `parent`, when given, receives its parent.
std::vector<::Window> childrenOf(Display* display, ::Window window, ::Window* parent = nullptr);
// The children of the root.
std::vector<::Window> topLevelWindows(Display* display);
// WM_NAME, or empty.
std::string windowName(Display* display, ::Window window);
bool isViewable(Display* display, ::Window window);
// The first viewable window named `name` anywhere below the root, so also
// one that a window manager has reparented into its frame; 0 when none.
::Window findViewableNamed(Display* display, const std::string& name);
// The window manager's close request: a WM_DELETE_WINDOW client message. Not flushed.
void sendCloseRequest(Display* display, ::Window window);

} // namespace testing_support
