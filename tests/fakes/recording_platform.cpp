#include "platform_state.h"

namespace fake {

PlatformState& state() {
    static PlatformState platform;
    return platform;
}

void record(Call call) {
    PlatformState& platform = state();
    call.context = platform.current;
    platform.calls.push_back(call);
    if (platform.observer)
        platform.observer(platform.calls.back());
}

Peek emptyQueue() {
    Peek peek;
    std::memset(&peek, 0, sizeof peek);
    peek.found = false;
    return peek;
}

Peek message(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Peek peek = emptyQueue();
    peek.found = true;
    peek.message.hwnd = hWnd;
    peek.message.message = message;
    peek.message.wParam = wParam;
    peek.message.lParam = lParam;
    return peek;
}

// A current mode whose every field that a program must keep is set to
// something other than zero, so that a field wrongly cleared shows.
DEVMODEA Script::defaultDisplayMode() {
    DEVMODEA mode;
    std::memset(&mode, 0, sizeof mode);
    std::memcpy(mode.dmDeviceName, "PRIMARY", 8);
    mode.dmSpecVersion = 0x0401;
    mode.dmDriverVersion = 0x0102;
    mode.dmSize = sizeof mode;
    mode.dmFields =
        DM_POSITION | DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFLAGS | DM_DISPLAYFREQUENCY;
    mode.dmPosition.x = 0;
    mode.dmPosition.y = 0;
    mode.dmDisplayOrientation = 0;
    mode.dmLogPixels = 96;
    mode.dmBitsPerPel = 24;
    mode.dmPelsWidth = 1920;
    mode.dmPelsHeight = 1080;
    mode.dmDisplayFlags = 0x2;
    mode.dmDisplayFrequency = 75;
    mode.dmPanningWidth = 1920;
    mode.dmPanningHeight = 1080;
    return mode;
}

void reset(const Script& script) {
    state() = PlatformState();
    state().script = script;
}

void clearCalls() {
    state().calls.clear();
}

const std::vector<Call>& calls() {
    return state().calls;
}

void observe(std::function<void(const Call&)> observer) {
    state().observer = observer;
}

HGLRC currentContext() {
    return state().current;
}

void recordSeamCall(const Call& call) {
    record(call);
}

} // namespace fake
