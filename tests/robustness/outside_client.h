// A second X client that meddles with the layer's windows the way other
// programs and window managers can: it destroys them, asks them to close,
// resizes, unmaps and re-maps them, sends them junk client messages and
// window-manager state, and types keys at them. It finds a window by its
// (unique) name, so it follows the layer when the layer replaces the X window.
#pragma once

#include <string>
#include <vector>

struct _XDisplay;

namespace robustness {

class SeededRandom;

class OutsideClient {
  public:
    // Opens its own connection to DISPLAY; throws when it cannot.
    OutsideClient();
    ~OutsideClient();
    OutsideClient(const OutsideClient&) = delete;
    OutsideClient& operator=(const OutsideClient&) = delete;

    // The top-level window named `name`, or 0.
    unsigned long findWindow(const std::string& name);
    // The number of top-level windows on the server, and their names.
    int topLevelWindowCount();
    std::vector<std::string> topLevelWindowNames();

    void destroy(unsigned long window);
    void requestClose(unsigned long window);
    void resize(unsigned long window, int width, int height);
    void unmap(unsigned long window);
    void map(unsigned long window);
    // A client message of random type, format and data; sometimes one that
    // names WM_PROTOCOLS with a random protocol.
    void junkClientMessage(unsigned long window, SeededRandom& random);
    // WM_STATE as a window manager writes it, or garbage of random format.
    void windowState(unsigned long window, SeededRandom& random);
    // Focus on the window, then a random key pressed and released; sometimes
    // Alt+F4.
    void typeKey(unsigned long window, SeededRandom& random);
    // Waits until the server has handled everything this client sent.
    void sync();

  private:
    _XDisplay* display_ = nullptr;
};

} // namespace robustness
