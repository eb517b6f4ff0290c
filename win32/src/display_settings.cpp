// Display modes on XRandR 1.3: EnumDisplaySettingsA and ChangeDisplaySettingsA
// for the primary display.
//
// EnumDisplaySettingsA takes a null device name or "\\.\DISPLAY1" and
// ENUM_CURRENT_SETTINGS, ENUM_REGISTRY_SETTINGS (the mode from before the first
// switch) or a mode number 0, 1, ... (the primary output's modes, all at the
// current depth). It fills size, bits per pixel, refresh, flags and position,
// and accepts the 148-byte and the 156-byte record, writing nothing past dmSize.
//
// ChangeDisplaySettingsA acts on CDS_TEST (check only); every switch is
// temporary, as with CDS_FULLSCREEN, whatever the other flags say: there is no
// stored setting to update. It honours DM_PELSWIDTH and DM_PELSHEIGHT (an unflagged
// one keeps the current value), DM_BITSPERPEL (X cannot change the depth, so
// only the current one is accepted) and DM_DISPLAYFREQUENCY (nearest rate among
// the modes of that size). A switch sets the primary output's CRTC and sizes the
// screen to the CRTCs it holds. A null record returns to the mode saved before
// the first switch; so do process exit and SIGINT/SIGTERM while switched. The
// signal handlers only record the signal; actOnPendingSignal, called from the
// layer's message loops, restores the mode and raises the signal again.
//
// Left out: other displays, DM_POSITION and orientation changes, panning,
// dmDisplayFlags (interlaced modes are listed like the others), and any change
// of depth.
#include "layer.h"
#include "x11_connection.h"

#include <windows.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <algorithm>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace win32 {
namespace {

// The older record ends with dmReserved2, the newer adds the panning sizes.
// Every field written here lies in the first 148 bytes.
constexpr WORD shortRecordSize = 148;
constexpr WORD fullRecordSize = 156;
static_assert(sizeof(DEVMODEA) == fullRecordSize, "DEVMODEA must have its documented size");
static_assert(offsetof(DEVMODEA, dmPanningWidth) == shortRecordSize,
              "the short record ends with dmReserved2");

constexpr DWORD reportedFields =
    DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFLAGS | DM_DISPLAYFREQUENCY | DM_POSITION;
constexpr WORD specVersion = 0x0401;
constexpr char reportedDeviceName[] = "DISPLAY1";
constexpr char primaryDeviceName[] = "\\\\.\\DISPLAY1";
constexpr int restoringSignals[] = {SIGINT, SIGTERM};
constexpr int restoringSignalCount = sizeof restoringSignals / sizeof restoringSignals[0];

template <typename T, void (*release)(T*)> struct Releaser {
    void operator()(T* p) const { release(p); }
};
using Resources = std::unique_ptr<XRRScreenResources, Releaser<XRRScreenResources, XRRFreeScreenResources>>;
using OutputInfo = std::unique_ptr<XRROutputInfo, Releaser<XRROutputInfo, XRRFreeOutputInfo>>;
using CrtcInfo = std::unique_ptr<XRRCrtcInfo, Releaser<XRRCrtcInfo, XRRFreeCrtcInfo>>;

// One mode as the record reports it.
struct ModeSummary {
    DWORD width = 0;
    DWORD height = 0;
    DWORD refresh = 0; // Hz, 0 when the server gives no timings
    LONG x = 0;
    LONG y = 0;
};

struct OutputMode {
    RRMode id = None; // None for the screen of a server without CRTCs
    ModeSummary summary;
};

// What a switch sets and a restore puts back: one CRTC and the screen around it.
struct CrtcSetting {
    RRCrtc crtc = None;
    RRMode mode = None;
    int x = 0;
    int y = 0;
    Rotation rotation = RR_Rotate_0;
    std::vector<RROutput> outputs;
    int screenWidth = 0; // pixels
    int screenHeight = 0;
};

// The mode from before the first switch and what guards its return.
struct SavedMode {
    bool switched = false;
    CrtcSetting original;
    ModeSummary summary;
    int screenWidthMm = 0; // with original's screen size: the pixel size for new screen sizes
    int screenHeightMm = 0;
    bool exitHandlerRegistered = false;
    bool handlerInstalled[restoringSignalCount] = {};
    struct sigaction previousAction[restoringSignalCount] = {};
};

SavedMode& savedMode() {
    static SavedMode state;
    return state;
}

// Written by the signal handler, so it is constant-initialised (no guard) and
// of the one type a handler may store to.
volatile sig_atomic_t& pendingSignal() {
    static volatile sig_atomic_t number = 0;
    return number;
}

void recordSignal(int number) {
    pendingSignal() = number;
}

// The primary output as RandR describes it; crtc is null when RandR is older
// than 1.3 or has no CRTC in use (some virtual servers): the screen is then the
// one mode.
struct PrimaryOutput {
    Resources resources;
    OutputInfo output;
    CrtcInfo crtc;
    RRCrtc crtcId = None;
};

bool randrUsable(Display* display) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    return XRRQueryExtension(display, &eventBase, &errorBase) && XRRQueryVersion(display, &major, &minor) &&
           (major > 1 || (major == 1 && minor >= 3));
}

PrimaryOutput findPrimaryOutput(Display* display) {
    PrimaryOutput primary;
    if (!randrUsable(display))
        return primary;
    Window root = DefaultRootWindow(display);
    primary.resources.reset(XRRGetScreenResourcesCurrent(display, root));
    if (!primary.resources || primary.resources->ncrtc == 0)
        return primary;
    auto take = [&](RROutput id) {
        OutputInfo output(XRRGetOutputInfo(display, primary.resources.get(), id));
        if (!output || output->connection != RR_Connected || output->crtc == None)
            return false;
        CrtcInfo crtc(XRRGetCrtcInfo(display, primary.resources.get(), output->crtc));
        if (!crtc || crtc->mode == None)
            return false;
        primary.crtcId = output->crtc;
        primary.output = std::move(output);
        primary.crtc = std::move(crtc);
        return true;
    };
    RROutput named = XRRGetOutputPrimary(display, root);
    if (named != None && take(named))
        return primary;
    for (int i = 0; i < primary.resources->noutput; ++i)
        if (take(primary.resources->outputs[i]))
            return primary;
    return primary;
}

void rootSize(Display* display, int& width, int& height) {
    // Asked of the server: Xlib's cached screen size does not follow RandR changes.
    Window root = None;
    int x = 0, y = 0;
    unsigned w = 0, h = 0, border = 0, depth = 0;
    XGetGeometry(display, DefaultRootWindow(display), &root, &x, &y, &w, &h, &border, &depth);
    width = static_cast<int>(w);
    height = static_cast<int>(h);
}

DWORD bitsPerPixel(Display* display) {
    int depth = DefaultDepth(display, DefaultScreen(display));
    DWORD bits = static_cast<DWORD>(depth);
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    for (int i = 0; i < count; ++i)
        if (formats[i].depth == depth)
            bits = static_cast<DWORD>(formats[i].bits_per_pixel);
    if (formats)
        XFree(formats);
    return bits;
}

DWORD refreshRate(const XRRModeInfo& mode) {
    double lines = mode.vTotal;
    if (mode.modeFlags & RR_DoubleScan)
        lines *= 2;
    if (mode.modeFlags & RR_Interlace)
        lines /= 2;
    if (mode.dotClock == 0 || mode.hTotal == 0 || lines == 0)
        return 0;
    return static_cast<DWORD>(static_cast<double>(mode.dotClock) / (mode.hTotal * lines) + 0.5);
}

const XRRModeInfo* findMode(const XRRScreenResources& resources, RRMode id) {
    for (int i = 0; i < resources.nmode; ++i)
        if (resources.modes[i].id == id)
            return &resources.modes[i];
    return nullptr;
}

ModeSummary summarise(const XRRModeInfo& mode, const XRRCrtcInfo& crtc) {
    bool turned = crtc.rotation & (RR_Rotate_90 | RR_Rotate_270);
    ModeSummary summary;
    summary.width = turned ? mode.height : mode.width;
    summary.height = turned ? mode.width : mode.height;
    summary.refresh = refreshRate(mode);
    summary.x = crtc.x;
    summary.y = crtc.y;
    return summary;
}

ModeSummary currentMode(Display* display, const PrimaryOutput& primary) {
    ModeSummary summary;
    if (!primary.crtc) {
        int width = 0, height = 0;
        rootSize(display, width, height);
        summary.width = static_cast<DWORD>(width);
        summary.height = static_cast<DWORD>(height);
        return summary;
    }
    if (const XRRModeInfo* mode = findMode(*primary.resources, primary.crtc->mode))
        return summarise(*mode, *primary.crtc);
    summary.width = primary.crtc->width;
    summary.height = primary.crtc->height;
    summary.x = primary.crtc->x;
    summary.y = primary.crtc->y;
    return summary;
}

// The primary output's modes in its own order (preferred first).
std::vector<OutputMode> modesOf(Display* display, const PrimaryOutput& primary) {
    if (!primary.crtc)
        return {OutputMode{None, currentMode(display, primary)}};
    std::vector<OutputMode> modes;
    for (int i = 0; i < primary.output->nmode; ++i)
        if (const XRRModeInfo* mode = findMode(*primary.resources, primary.output->modes[i]))
            modes.push_back({mode->id, summarise(*mode, *primary.crtc)});
    return modes;
}

// The mode of that size whose rate is nearest; the current mode wins a tie.
const OutputMode* chooseMode(const std::vector<OutputMode>& modes, DWORD width, DWORD height, DWORD rate,
                             RRMode current) {
    const OutputMode* best = nullptr;
    long bestDistance = 0;
    for (const OutputMode& mode : modes) {
        if (mode.summary.width != width || mode.summary.height != height)
            continue;
        long distance = std::labs(static_cast<long>(mode.summary.refresh) - static_cast<long>(rate));
        if (!best || distance < bestDistance || (distance == bestDistance && mode.id == current)) {
            best = &mode;
            bestDistance = distance;
        }
    }
    return best;
}

bool recordSizeAccepted(WORD size) {
    return size == shortRecordSize || size == fullRecordSize;
}

bool namesPrimary(LPCSTR deviceName) {
    return !deviceName || std::strcmp(deviceName, primaryDeviceName) == 0 ||
           std::strcmp(deviceName, reportedDeviceName) == 0;
}

void fillRecord(DEVMODEA& record, const ModeSummary& mode, DWORD bits) {
    WORD size = record.dmSize;
    WORD driverExtra = record.dmDriverExtra;
    std::memset(&record, 0, size);
    record.dmSize = size;
    record.dmDriverExtra = driverExtra;
    std::memcpy(record.dmDeviceName, reportedDeviceName, sizeof reportedDeviceName);
    record.dmSpecVersion = specVersion;
    record.dmFields = reportedFields;
    record.dmPosition.x = mode.x;
    record.dmPosition.y = mode.y;
    record.dmBitsPerPel = bits;
    record.dmPelsWidth = mode.width;
    record.dmPelsHeight = mode.height;
    record.dmDisplayFrequency = mode.refresh;
}

CrtcSetting settingOf(Display* display, const PrimaryOutput& primary) {
    CrtcSetting setting;
    setting.crtc = primary.crtcId;
    setting.mode = primary.crtc->mode;
    setting.x = primary.crtc->x;
    setting.y = primary.crtc->y;
    setting.rotation = primary.crtc->rotation;
    setting.outputs.assign(primary.crtc->outputs, primary.crtc->outputs + primary.crtc->noutput);
    rootSize(display, setting.screenWidth, setting.screenHeight);
    return setting;
}

// The screen that holds every CRTC in use once the primary one shows a mode of that size.
void screenSizeFor(Display* display, const PrimaryOutput& primary, const ModeSummary& mode, int& width,
                   int& height) {
    width = primary.crtc->x + static_cast<int>(mode.width);
    height = primary.crtc->y + static_cast<int>(mode.height);
    for (int i = 0; i < primary.resources->ncrtc; ++i) {
        if (primary.resources->crtcs[i] == primary.crtcId)
            continue;
        CrtcInfo other(XRRGetCrtcInfo(display, primary.resources.get(), primary.resources->crtcs[i]));
        if (!other || other->mode == None)
            continue;
        width = std::max(width, other->x + static_cast<int>(other->width));
        height = std::max(height, other->y + static_cast<int>(other->height));
    }
}

void setScreenSize(Display* display, int width, int height) {
    // The physical size keeps the pixel size the screen had before the first switch.
    const SavedMode& saved = savedMode();
    int widthMm = saved.original.screenWidth ? width * saved.screenWidthMm / saved.original.screenWidth : 0;
    int heightMm =
        saved.original.screenHeight ? height * saved.screenHeightMm / saved.original.screenHeight : 0;
    XRRSetScreenSize(display, DefaultRootWindow(display), width, height, widthMm, heightMm);
}

// Sets the CRTC and the screen size. The server refuses a CRTC that does not
// fit the screen, so the screen grows before the CRTC changes and shrinks after.
bool apply(Display* display, XRRScreenResources* resources, const CrtcSetting& setting) {
    int width = 0, height = 0;
    rootSize(display, width, height);
    int roomyWidth = std::max(width, setting.screenWidth);
    int roomyHeight = std::max(height, setting.screenHeight);
    if (roomyWidth != width || roomyHeight != height)
        setScreenSize(display, roomyWidth, roomyHeight);
    Status status = XRRSetCrtcConfig(
        display, resources, setting.crtc, CurrentTime, setting.x, setting.y, setting.mode, setting.rotation,
        const_cast<RROutput*>(setting.outputs.data()), static_cast<int>(setting.outputs.size()));
    if (status != RRSetConfigSuccess)
        return false;
    if (roomyWidth != setting.screenWidth || roomyHeight != setting.screenHeight)
        setScreenSize(display, setting.screenWidth, setting.screenHeight);
    return true;
}

// Between the first switch and the restore, SIGINT and SIGTERM only record
// themselves. A signal the process ignores stays ignored.
void installSignalHandlers(SavedMode& saved) {
    struct sigaction recording {};
    recording.sa_handler = recordSignal;
    sigemptyset(&recording.sa_mask);
    recording.sa_flags = SA_RESTART;
    for (int i = 0; i < restoringSignalCount; ++i) {
        sigaction(restoringSignals[i], nullptr, &saved.previousAction[i]);
        bool ignored =
            !(saved.previousAction[i].sa_flags & SA_SIGINFO) && saved.previousAction[i].sa_handler == SIG_IGN;
        saved.handlerInstalled[i] = !ignored && sigaction(restoringSignals[i], &recording, nullptr) == 0;
    }
}

void restoreSignalHandlers(SavedMode& saved) {
    for (int i = 0; i < restoringSignalCount; ++i) {
        if (saved.handlerInstalled[i])
            sigaction(restoringSignals[i], &saved.previousAction[i], nullptr);
        saved.handlerInstalled[i] = false;
    }
}

void restoreOriginalMode() {
    SavedMode& saved = savedMode();
    if (!saved.switched)
        return;
    if (Display* display = openedDisplay()) {
        ErrorTrap trap; // its end syncs, so the server has the mode before the process goes on or ends
        Resources resources(XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display)));
        if (resources)
            apply(display, resources.get(), saved.original);
    }
    saved.switched = false;
    restoreSignalHandlers(saved);
}

void restoreAtExit() {
    restoreOriginalMode();
}

// Saves the mode once, before the first switch, and arranges its return.
void saveOriginalMode(Display* display, const PrimaryOutput& primary) {
    SavedMode& saved = savedMode();
    saved.original = settingOf(display, primary);
    saved.summary = currentMode(display, primary);
    saved.screenWidthMm = DisplayWidthMM(display, DefaultScreen(display));
    saved.screenHeightMm = DisplayHeightMM(display, DefaultScreen(display));
    saved.switched = true;
    installSignalHandlers(saved);
    if (!saved.exitHandlerRegistered)
        saved.exitHandlerRegistered = std::atexit(restoreAtExit) == 0;
}

bool switchTo(Display* display, const PrimaryOutput& primary, const OutputMode& mode) {
    SavedMode& saved = savedMode();
    bool first = !saved.switched;
    if (first)
        saveOriginalMode(display, primary);
    CrtcSetting before = settingOf(display, primary);
    CrtcSetting target = before;
    target.mode = mode.id;
    screenSizeFor(display, primary, mode.summary, target.screenWidth, target.screenHeight);
    bool switched = false;
    {
        ErrorTrap trap;
        switched = apply(display, primary.resources.get(), target);
        switched = trap.finish() == 0 && switched;
    }
    if (switched)
        return true;
    // Put back what was there before this call; a failed first switch leaves nothing to restore.
    {
        ErrorTrap trap;
        Resources resources(XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display)));
        if (resources)
            apply(display, resources.get(), before);
    }
    if (first) {
        saved.switched = false;
        restoreSignalHandlers(saved);
    }
    return false;
}

} // namespace

void actOnPendingSignal() {
    int number = pendingSignal();
    if (number == 0)
        return;
    pendingSignal() = 0;
    // Restoring also gives the signal back its earlier disposition (the default
    // unless the program chose one), under which it now ends the process.
    restoreOriginalMode();
    std::raise(number);
}

} // namespace win32

BOOL WINAPI EnumDisplaySettingsA(LPCSTR lpszDeviceName, DWORD iModeNum, DEVMODEA* lpDevMode) {
    using namespace win32;
    if (!lpDevMode || !recordSizeAccepted(lpDevMode->dmSize) || !namesPrimary(lpszDeviceName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Display* display = win32::display();
    if (!display)
        return FALSE;
    PrimaryOutput primary = findPrimaryOutput(display);
    ModeSummary mode;
    if (iModeNum == ENUM_REGISTRY_SETTINGS && savedMode().switched) {
        mode = savedMode().summary;
    } else if (iModeNum == ENUM_CURRENT_SETTINGS || iModeNum == ENUM_REGISTRY_SETTINGS) {
        mode = currentMode(display, primary);
    } else {
        std::vector<OutputMode> modes = modesOf(display, primary);
        if (iModeNum >= modes.size())
            return FALSE;
        mode = modes[iModeNum].summary;
    }
    fillRecord(*lpDevMode, mode, bitsPerPixel(display));
    return TRUE;
}

LONG WINAPI ChangeDisplaySettingsA(DEVMODEA* lpDevMode, DWORD dwFlags) {
    using namespace win32;
    if (!lpDevMode) {
        if (!(dwFlags & CDS_TEST))
            restoreOriginalMode();
        return DISP_CHANGE_SUCCESSFUL;
    }
    if (!recordSizeAccepted(lpDevMode->dmSize))
        return DISP_CHANGE_BADPARAM;
    Display* display = win32::display();
    if (!display)
        return DISP_CHANGE_FAILED;

    const DWORD fields = lpDevMode->dmFields;
    if ((fields & DM_BITSPERPEL) && lpDevMode->dmBitsPerPel != bitsPerPixel(display))
        return DISP_CHANGE_BADMODE;
    PrimaryOutput primary = findPrimaryOutput(display);
    ModeSummary current = currentMode(display, primary);
    DWORD width = (fields & DM_PELSWIDTH) ? lpDevMode->dmPelsWidth : current.width;
    DWORD height = (fields & DM_PELSHEIGHT) ? lpDevMode->dmPelsHeight : current.height;
    // Rates 0 and 1 mean the hardware's default: keep the current rate if the size has it.
    bool rateGiven = (fields & DM_DISPLAYFREQUENCY) && lpDevMode->dmDisplayFrequency > 1;
    DWORD rate = rateGiven ? lpDevMode->dmDisplayFrequency : current.refresh;

    RRMode currentId = primary.crtc ? primary.crtc->mode : None;
    std::vector<OutputMode> modes = modesOf(display, primary);
    const OutputMode* chosen = chooseMode(modes, width, height, rate, currentId);
    if (!chosen)
        return DISP_CHANGE_BADMODE;
    if (chosen->id == currentId || (dwFlags & CDS_TEST))
        return DISP_CHANGE_SUCCESSFUL;
    return switchTo(display, primary, *chosen) ? DISP_CHANGE_SUCCESSFUL : DISP_CHANGE_FAILED;
}
