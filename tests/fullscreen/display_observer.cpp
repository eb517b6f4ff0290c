#include "display_observer.h"

#include "x_window_tree.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <algorithm>
#include <memory>
#include <stdexcept>

namespace fullscreen_test {
namespace {

template <typename T, void (*release)(T*)> struct Releaser {
    void operator()(T* p) const {
        if (p)
            release(p);
    }
};
using Resources = std::unique_ptr<XRRScreenResources, Releaser<XRRScreenResources, XRRFreeScreenResources>>;
using OutputInfo = std::unique_ptr<XRROutputInfo, Releaser<XRROutputInfo, XRRFreeOutputInfo>>;
using CrtcInfo = std::unique_ptr<XRRCrtcInfo, Releaser<XRRCrtcInfo, XRRFreeCrtcInfo>>;

Resources currentResources(Display* display) {
    return Resources(XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display)));
}

// The output's CRTC, or None.
RRCrtc crtcOf(Display* display, XRRScreenResources* resources, RROutput output) {
    OutputInfo info(XRRGetOutputInfo(display, resources, output));
    return info ? info->crtc : None;
}

RROutput findPrimaryOutput(Display* display) {
    Resources resources = currentResources(display);
    if (!resources)
        return None;
    RROutput primary = XRRGetOutputPrimary(display, DefaultRootWindow(display));
    if (primary != None && crtcOf(display, resources.get(), primary) != None)
        return primary;
    for (int i = 0; i < resources->noutput; ++i) {
        OutputInfo info(XRRGetOutputInfo(display, resources.get(), resources->outputs[i]));
        if (info && info->connection == RR_Connected && info->crtc != None)
            return resources->outputs[i];
    }
    return None;
}

unsigned roundedRefresh(const XRRModeInfo& mode) {
    if (mode.hTotal == 0 || mode.vTotal == 0)
        return 0;
    return static_cast<unsigned>(static_cast<double>(mode.dotClock) / (mode.hTotal * mode.vTotal) + 0.5);
}

} // namespace

DisplayObserver::DisplayObserver(const std::string& displayName)
    : display_(testing_support::openTestConnection(displayName, false,
                                                   testing_support::ErrorHandling::LeaveAlone)) {
    output_ = findPrimaryOutput(display_);
    if (output_ == None) {
        XCloseDisplay(display_);
        throw std::runtime_error("no RandR output shows a mode on " + displayName);
    }
}

DisplayObserver::~DisplayObserver() {
    XCloseDisplay(display_);
}

OutputMode DisplayObserver::primaryMode() {
    OutputMode seen;
    Resources resources = currentResources(display_);
    if (!resources)
        return seen;
    CrtcInfo crtc(XRRGetCrtcInfo(display_, resources.get(), crtcOf(display_, resources.get(), output_)));
    if (!crtc)
        return seen;
    seen.id = crtc->mode;
    seen.width = crtc->width;
    seen.height = crtc->height;
    for (int i = 0; i < resources->nmode; ++i)
        if (resources->modes[i].id == crtc->mode)
            seen.refresh = roundedRefresh(resources->modes[i]);
    return seen;
}

ScreenSize DisplayObserver::screenSize() {
    // From the server: Xlib's cached screen size does not follow RandR changes.
    Window root = None;
    int x = 0, y = 0;
    unsigned border = 0, depth = 0;
    ScreenSize size;
    XGetGeometry(display_, DefaultRootWindow(display_), &root, &x, &y, &size.width, &size.height, &border,
                 &depth);
    return size;
}

void DisplayObserver::showMode(const OutputMode& mode) {
    Window root = DefaultRootWindow(display_);
    Resources resources = currentResources(display_);
    RRCrtc crtc = crtcOf(display_, resources.get(), output_);
    // The screen must hold the CRTC: grow it first, then set the CRTC, then fit it.
    ScreenSize before = screenSize();
    int screen = DefaultScreen(display_);
    if (before.width < mode.width || before.height < mode.height)
        XRRSetScreenSize(display_, root, std::max(before.width, mode.width),
                         std::max(before.height, mode.height), DisplayWidthMM(display_, screen),
                         DisplayHeightMM(display_, screen));
    RROutput output = output_;
    XRRSetCrtcConfig(display_, resources.get(), crtc, CurrentTime, 0, 0, mode.id, RR_Rotate_0, &output, 1);
    XRRSetScreenSize(display_, root, mode.width, mode.height, DisplayWidthMM(display_, screen),
                     DisplayHeightMM(display_, screen));
    XSync(display_, False);
}

std::vector<WindowId> DisplayObserver::topLevelWindowsNamed(const std::string& name) {
    std::vector<WindowId> named;
    for (Window window : testing_support::topLevelWindows(display_))
        if (testing_support::windowName(display_, window) == name)
            named.push_back(window);
    return named;
}

WindowState DisplayObserver::windowState(WindowId window) {
    WindowState state;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes))
        return state;
    Window child = None;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &state.x, &state.y, &child);
    state.width = static_cast<unsigned>(attributes.width);
    state.height = static_cast<unsigned>(attributes.height);
    state.viewable = attributes.map_state == IsViewable;

    Atom motif = XInternAtom(display_, "_MOTIF_WM_HINTS", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, window, motif, 0, 5, False, AnyPropertyType, &type, &format, &items,
                           &after, &data) == Success &&
        data && format == 32 && items >= 3) {
        // Format-32 items come back as longs: flags, functions, decorations, ...
        const long* hints = reinterpret_cast<const long*>(data);
        state.hasMotifHints = true;
        state.motifFlags = static_cast<unsigned long>(hints[0]);
        state.motifDecorations = static_cast<unsigned long>(hints[2]);
    }
    if (data)
        XFree(data);
    return state;
}

} // namespace fullscreen_test
