// Other X clients at work on the layer's windows: destruction, close
// requests, resizes, unmapping, junk client messages, window-manager state
// and typed keys. What they cause reaches the program at its next
// PeekMessageA, which now and then follows at once.
#include "abuse_driver.h"

namespace robustness {
namespace {

// The X window of a random live window, or 0 (no window, or one without a name).
unsigned long targetWindow(AbuseDriver& d, WindowState*& state) {
    state = d.randomLiveWindow();
    if (!state || state->caption.empty() || !d.outside())
        return 0;
    return d.outside()->findWindow(state->caption);
}

void maybePump(AbuseDriver& d) {
    if (d.random.percent(40))
        d.pumpMessages(200);
}

void destroyFromOutside(AbuseDriver& d) {
    WindowState* state = nullptr;
    unsigned long window = targetWindow(d, state);
    if (!window)
        return;
    d.trace("another client destroys the X window of \"" + state->caption + "\"");
    state->doomed = true;
    d.outside()->destroy(window);
    maybePump(d);
}

void closeFromOutside(AbuseDriver& d) {
    WindowState* state = nullptr;
    unsigned long window = targetWindow(d, state);
    if (!window)
        return;
    d.trace("the close request (WM_DELETE_WINDOW) to \"" + state->caption + "\"");
    d.outside()->requestClose(window);
    maybePump(d);
}

void resizeFromOutside(AbuseDriver& d) {
    WindowState* state = nullptr;
    unsigned long window = targetWindow(d, state);
    if (!window)
        return;
    int width = static_cast<int>(d.random.between(0, 1200)),
        height = static_cast<int>(d.random.between(0, 900));
    d.trace("another client resizes \"" + state->caption + "\" to " + std::to_string(width) + "x" +
            std::to_string(height));
    d.outside()->resize(window, width, height);
    maybePump(d);
}

void unmapFromOutside(AbuseDriver& d) {
    WindowState* state = nullptr;
    unsigned long window = targetWindow(d, state);
    // Only windows the program showed: mapping a hidden one would make the
    // program's own ShowWindow wait for a map that already happened.
    if (!window || !state->shown)
        return;
    bool unmap = d.random.percent(50);
    d.trace(std::string("another client ") + (unmap ? "unmaps" : "maps") + " \"" + state->caption + "\"");
    if (unmap)
        d.outside()->unmap(window);
    else
        d.outside()->map(window);
    maybePump(d);
}

void junkFromOutside(AbuseDriver& d) {
    WindowState* state = nullptr;
    unsigned long window = targetWindow(d, state);
    if (!window)
        return;
    bool managerState = d.random.percent(50);
    d.trace(std::string("another client sends \"") + state->caption + "\" " +
            (managerState ? "window-manager state" : "a junk client message"));
    if (managerState)
        d.outside()->windowState(window, d.random);
    else
        d.outside()->junkClientMessage(window, d.random);
    maybePump(d);
}

void typeFromOutside(AbuseDriver& d) {
    WindowState* state = nullptr;
    unsigned long window = targetWindow(d, state);
    if (!window)
        return;
    d.trace("keys typed at \"" + state->caption + "\"");
    d.outside()->typeKey(window, d.random);
    maybePump(d);
}

} // namespace

void addOutsideSteps(std::vector<Step>& steps) {
    steps.insert(steps.end(), {
                                  {"destroyed from outside", 1, destroyFromOutside},
                                  {"closed from outside", 1, closeFromOutside},
                                  {"resized from outside", 1, resizeFromOutside},
                                  {"unmapped from outside", 1, unmapFromOutside},
                                  {"junk from outside", 2, junkFromOutside},
                                  {"keys from outside", 2, typeFromOutside},
                              });
}

} // namespace robustness
