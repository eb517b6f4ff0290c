// The bare Xlib + GLX set-up the reference programs share: one 800 by 600
// window on the frame-buffer configuration the demos get (24-bit colour,
// 24-bit depth, double-buffered, no alpha, stencil or accumulation), its
// context made current, and a poll of the X events that never waits.
#pragma once

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <stdint.h>

struct ReferenceWindow {
    Display* display;
    Window window;
    Colormap colormap;
    GLXContext context;
    Atom deleteWindow;
};

// Opens the display from DISPLAY and sets everything up; 0 (after a line on
// stderr) when something is missing.
int openReferenceWindow(struct ReferenceWindow* reference, int width, int height);

// Reads every X event that has already arrived, without waiting. Returns 0
// once Escape was pressed or the window was asked to close.
int pollReferenceEvents(struct ReferenceWindow* reference);

void closeReferenceWindow(struct ReferenceWindow* reference);

// Milliseconds since the system started, wrapping at 2^32: the tick count the
// demos read.
uint32_t tickCount(void);
