// A window class whose procedure records every message it is sent, a message
// loop that records every message the queue hands out, and a fixture that
// cleans both up. A test compares what was recorded with a table of the
// messages it expects, in order.
#pragma once

// GoogleTest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "observer.h"

#include <windows.h>

#include <X11/Xlib.h>
#include <functional>
#include <optional>
#include <vector>

namespace layer_test {

// Sent: the procedure was called directly by the layer (inside a call such as
// CreateWindowExA or PeekMessageA). Posted: PeekMessageA took it out of the queue.
enum class Delivery { Sent, Posted };

struct Delivered {
    HWND window;
    Delivery delivery;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool reachedProcedure; // for posted messages: DispatchMessageA called the procedure
};

// An expected message; parameters left empty are not compared. lParam is
// compared in its low 32 bits, where every documented bit lives.
struct Expected {
    Delivery delivery;
    UINT message;
    std::optional<WPARAM> wParam = std::nullopt;
    std::optional<LPARAM> lParam = std::nullopt;
};

Expected sent(UINT message, std::optional<WPARAM> wParam = std::nullopt,
              std::optional<LPARAM> lParam = std::nullopt);
Expected posted(UINT message, std::optional<WPARAM> wParam = std::nullopt,
                std::optional<LPARAM> lParam = std::nullopt);

std::vector<Delivered>& messageLog();
std::vector<Delivered> deliveredTo(HWND window);
bool matches(const Delivered& delivered, const Expected& expected);
// Whether the window got a message that matches, at any point.
bool wasDelivered(HWND window, const Expected& expected);
::testing::AssertionResult sequenceIs(const std::vector<Delivered>& seen,
                                      const std::vector<Expected>& expected);

// What the recording procedure answers: a value, or nothing to leave the
// message to DefWindowProcA.
using Reaction = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;
void react(Reaction reaction);

const char* recordingClassName();
HWND createRecordingWindow(const char* caption, DWORD style, int x, int y, int width, int height,
                           LPVOID createParam = nullptr);
// A WS_OVERLAPPEDWINDOW sized with AdjustWindowRect for the client size, as the programs make it.
HWND createFramedWindow(const char* caption, int clientWidth = 800, int clientHeight = 600);

// One turn of a program's message loop: PeekMessageA with PM_REMOVE, then
// TranslateMessage and DispatchMessageA. False when no message came.
bool pumpOne();
void pumpMessages();
// Pumps until `done` holds or the time runs out; false on time-out.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 2000);
// Empties the queue (WM_QUIT included) without dispatching.
void drainQueue();

// The layer's own view, for what no other client can see.
::Window xWindowOf(HWND window);
// A round trip on the layer's connection: every event the server has already
// generated for it is then in its queue, ready for the next PeekMessageA.
void layerRoundTrip();

class LayerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Windows made through these are destroyed after the test if still alive.
    HWND framedWindow(const char* caption, int clientWidth = 800, int clientHeight = 600);
    HWND keep(HWND window);
    // Shows the window and gives it the keyboard focus from the observer.
    void showAndFocus(HWND window);

    Observer observer;

  private:
    std::vector<HWND> windows_;
};

} // namespace layer_test
