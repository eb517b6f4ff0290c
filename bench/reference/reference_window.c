#include "reference_window.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <stdio.h>
#include <time.h>

// The first configuration, in the server's order, that has exactly what the
// demos ask for and nothing more: the one the demos' pixel format choice
// lands on.
static int hasExactly(Display* display, GLXFBConfig config) {
    static const int required[][2] = {
        {GLX_RED_SIZE, 8},       {GLX_GREEN_SIZE, 8},           {GLX_BLUE_SIZE, 8},
        {GLX_ALPHA_SIZE, 0},     {GLX_DEPTH_SIZE, 24},          {GLX_STENCIL_SIZE, 0},
        {GLX_ACCUM_RED_SIZE, 0}, {GLX_ACCUM_ALPHA_SIZE, 0},     {GLX_AUX_BUFFERS, 0},
        {GLX_SAMPLES, 0},        {GLX_CONFIG_CAVEAT, GLX_NONE}, {GLX_DOUBLEBUFFER, True},
        {GLX_STEREO, False}};
    for (size_t i = 0; i < sizeof required / sizeof required[0]; ++i) {
        int value = -1;
        glXGetFBConfigAttrib(display, config, required[i][0], &value);
        if (value != required[i][1])
            return 0;
    }
    int drawable = 0, render = 0, visual = 0;
    glXGetFBConfigAttrib(display, config, GLX_DRAWABLE_TYPE, &drawable);
    glXGetFBConfigAttrib(display, config, GLX_RENDER_TYPE, &render);
    glXGetFBConfigAttrib(display, config, GLX_VISUAL_ID, &visual);
    return (drawable & GLX_WINDOW_BIT) && (render & GLX_RGBA_BIT) && visual != 0;
}

static GLXFBConfig chooseConfig(Display* display) {
    int count = 0;
    GLXFBConfig* configs = glXGetFBConfigs(display, DefaultScreen(display), &count);
    GLXFBConfig chosen = NULL;
    for (int i = 0; configs && i < count && !chosen; ++i)
        if (hasExactly(display, configs[i]))
            chosen = configs[i];
    if (configs)
        XFree(configs);
    return chosen;
}

int openReferenceWindow(struct ReferenceWindow* reference, int width, int height) {
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "cannot open the X display\n");
        return 0;
    }
    GLXFBConfig config = chooseConfig(display);
    XVisualInfo* visual = config ? glXGetVisualFromFBConfig(display, config) : NULL;
    if (!visual) {
        fprintf(stderr, "no frame-buffer configuration with 24-bit colour and depth\n");
        return 0;
    }
    Window root = RootWindow(display, DefaultScreen(display));
    XSetWindowAttributes attributes = {0};
    attributes.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
    attributes.border_pixel = 0;
    attributes.event_mask = StructureNotifyMask | KeyPressMask | KeyReleaseMask;
    Window window =
        XCreateWindow(display, root, 0, 0, (unsigned)width, (unsigned)height, 0, visual->depth, InputOutput,
                      visual->visual, CWColormap | CWBorderPixel | CWEventMask, &attributes);
    XFree(visual);
    XStoreName(display, window, "Quorlane");
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);

    GLXContext context = glXCreateNewContext(display, config, GLX_RGBA_TYPE, NULL, True);
    if (!context) {
        fprintf(stderr, "cannot create the GLX context\n");
        return 0;
    }
    XMapWindow(display, window);
    if (!glXMakeCurrent(display, window, context)) {
        fprintf(stderr, "cannot make the GLX context current\n");
        return 0;
    }
    glViewport(0, 0, width, height);

    reference->display = display;
    reference->window = window;
    reference->colormap = attributes.colormap;
    reference->context = context;
    reference->deleteWindow = deleteWindow;
    return 1;
}

int pollReferenceEvents(struct ReferenceWindow* reference) {
    int running = 1;
    while (XPending(reference->display)) {
        XEvent event;
        XNextEvent(reference->display, &event);
        if (event.type == KeyPress && XLookupKeysym(&event.xkey, 0) == XK_Escape)
            running = 0;
        else if (event.type == ClientMessage && (Atom)event.xclient.data.l[0] == reference->deleteWindow)
            running = 0;
    }
    return running;
}

void closeReferenceWindow(struct ReferenceWindow* reference) {
    glXMakeCurrent(reference->display, None, NULL);
    glXDestroyContext(reference->display, reference->context);
    XDestroyWindow(reference->display, reference->window);
    XFreeColormap(reference->display, reference->colormap);
    XCloseDisplay(reference->display);
}

uint32_t tickCount(void) {
    struct timespec now;
    clock_gettime(CLOCK_BOOTTIME, &now);
    return (uint32_t)((unsigned long long)now.tv_sec * 1000ull +
                      (unsigned long long)now.tv_nsec / 1000000ull);
}
