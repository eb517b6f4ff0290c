// The driver of a randomized run: it calls the layer with live, stale,
// made-up and wrong-kind handles, out-of-range pixel formats, records with
// wrong size fields and messages with random parameters, keeps a model of
// what is alive, and reports every call whose result or last error differs
// from what the call documents.
//
// The model follows the program's own view: a window is alive from the
// WM_NCCREATE its procedure receives until its WM_NCDESTROY, whoever destroys
// it (the program, DefWindowProcA on a close, another X client).
#pragma once

#include "outside_client.h"
#include "run_report.h"
#include "seeded_random.h"

#include <windows.h>

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

namespace robustness {

struct WindowState {
    HWND handle = nullptr;
    HDC deviceContext = nullptr;
    std::string caption; // unique: how the outside client finds its X window
    int pixelFormat = 0;
    bool tooLargeToDraw = false; // created larger than software GL draws quickly
    bool shown = false;
    bool shownKnown = true;  // false after a show command the layer may read either way
    bool destroying = false; // between WM_DESTROY and WM_NCDESTROY
    bool doomed = false;     // its X window was destroyed by another client
};

struct ContextState {
    HGLRC handle = nullptr;
    int pixelFormat = 0;
    // Last bound to a window another client had destroyed. GLX lets go of
    // that drawable only at the context's next binding, and the layer's trap
    // cannot tell the errors of that from errors of the new binding, so the
    // next wglMakeCurrent of the context may fail.
    bool boundToDestroyedWindow = false;
};

// A handle value handed to a call, and where it came from (for the trace).
struct HandleArgument {
    std::uintptr_t value = 0;
    const char* origin = "";
};

// A message the test posted and has not yet seen removed from the queue.
struct PostedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// A CreateWindowExA call in progress; its address is the creation parameter,
// so the window procedure recognises the CREATESTRUCT it is given.
struct Creation {
    DWORD style = 0;
    int x = 0, y = 0, width = 0, height = 0;
    const char* caption = nullptr;
    const char* className = nullptr;
    HWND seen = nullptr; // the handle WM_NCCREATE arrived with
    UINT refuseAt = 0;   // WM_NCCREATE or WM_CREATE: the procedure fails creation there
};

// A sent message whose arrival the test checks.
struct ExpectedDelivery {
    bool active = false;
    bool arrived = false;
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class AbuseDriver;
using StepFunction = void (*)(AbuseDriver&);

struct Step {
    const char* name;
    int weight;
    StepFunction run;
};

// The steps of each area of the API, for the driver's table.
void addWindowSteps(std::vector<Step>& steps);
void addPixelFormatSteps(std::vector<Step>& steps);
void addContextSteps(std::vector<Step>& steps);
void addMessageSteps(std::vector<Step>& steps);
void addOtherSteps(std::vector<Step>& steps);
void addOutsideSteps(std::vector<Step>& steps);

class AbuseDriver {
  public:
    static constexpr std::size_t windowLimit = 6;
    static constexpr std::size_t contextLimit = 6;
    // A value no call of the layer stores as its last error: a refused call
    // that leaves it there set no error at all.
    static constexpr DWORD untouchedError = 0x5EED5EEDu;

    AbuseDriver(std::uint64_t seed, RunReport& report);
    ~AbuseDriver();

    // Registers the classes, learns the pixel formats from a first window and
    // its context, and leaves nothing open.
    void warmUp();
    void attachOutsideClient(OutsideClient* outside) { outside_ = outside; }
    void runSteps(long count);
    // Destroys every window and context the run left, as a program's exit
    // would, and checks that all handles are dead afterwards.
    void tearDown();

    // ---- for the steps -----------------------------------------------------
    SeededRandom random;
    RunReport& report;
    OutsideClient* outside() { return outside_; }

    std::vector<WindowState> windows;
    std::vector<HWND> staleWindows;
    std::vector<HDC> staleDeviceContexts;
    std::vector<ContextState> contexts;
    std::vector<HGLRC> staleContexts;
    HGLRC currentContext = nullptr;
    HDC currentDeviceContext = nullptr; // null once its window is gone
    std::deque<PostedMessage> postedQueue;
    bool quitPending = false;
    int quitCode = 0;

    std::vector<std::string> classNames; // registered
    std::vector<ATOM> classAtoms;
    int formatCount = 0;
    std::vector<bool> formatDrawsRgbaToWindow; // by format - 1
    int programsFormat = 0;                    // what ChoosePixelFormat gives the programs' request

    std::vector<Creation*> creations; // innermost last
    ExpectedDelivery expectedDelivery;
    int depth = 0;        // calls made from inside the window procedure
    bool mischief = true; // whether the window procedure makes calls of its own

    WindowState* windowOf(std::uintptr_t handle);
    WindowState* windowOfDeviceContext(std::uintptr_t deviceContext);
    ContextState* contextOf(std::uintptr_t handle);
    WindowState* randomLiveWindow();
    // A unique window name.
    std::string nextCaption() { return "abuse " + std::to_string(++captionSerial_); }

    HandleArgument anyWindow();
    HandleArgument anyDeviceContext();
    HandleArgument anyContext();
    HandleArgument madeUpHandle();
    int anyPixelFormat();
    UINT anyMessage();
    std::uintptr_t anyParameter();

    // Names a step in the trace; call before the step's layer calls.
    void trace(const std::string& call);
    // Before a call whose last error is checked.
    void clearLastError() { SetLastError(untouchedError); }
    void expect(bool condition, const std::string& what);
    // A refused call: the documented failure value, and the last error one of
    // the documented codes (several when the arguments are wrong in several ways).
    void expectRefused(const std::string& call, bool returnedFailureValue,
                       std::initializer_list<DWORD> errors);

    // Calls PeekMessageA and checks what it gives against the posted queue.
    BOOL peekAndCheck(MSG& message, HWND filter, UINT first, UINT last, UINT remove);
    // Reads and dispatches what is waiting, as a program's loop does.
    void pumpMessages(int limit);
    // One step chosen by weight (also run from inside the window procedure).
    void runOneStep();

    LRESULT onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void forgetWindow(HWND window);
    void noteWindowCreated(HWND window, const Creation& creation);

  private:
    void checkCreateStruct(HWND window, UINT message, LPARAM lParam);

    OutsideClient* outside_ = nullptr;
    std::vector<Step> steps_;
    int totalWeight_ = 0;
    long stepNumber_ = 0;
    unsigned captionSerial_ = 0;
};

// The window procedure of every window the run creates.
LRESULT CALLBACK abuseWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

std::string hex(std::uintptr_t value);

} // namespace robustness
