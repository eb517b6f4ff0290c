#include "abuse_driver.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>

namespace robustness {
namespace {

// The window procedure has no user data to reach the driver by.
AbuseDriver* activeDriver = nullptr;

// Messages that only the layer sends: a program that sends them itself only
// fools its own procedure, so the random messages leave them out.
bool isLifecycleMessage(UINT message) {
    return message == WM_NCCREATE || message == WM_CREATE || message == WM_DESTROY || message == WM_NCDESTROY;
}

// The request both programs make.
PIXELFORMATDESCRIPTOR programsRequest() {
    PIXELFORMATDESCRIPTOR request{};
    request.nSize = sizeof request;
    request.nVersion = 1;
    request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = 32;
    request.cDepthBits = 16;
    request.iLayerType = PFD_MAIN_PLANE;
    return request;
}

bool inFilter(const PostedMessage& posted, HWND filter, UINT first, UINT last) {
    if (filter && posted.window != filter)
        return false;
    return (first == 0 && last == 0) || (posted.message >= first && posted.message <= last);
}

} // namespace

std::string hex(std::uintptr_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

LRESULT CALLBACK abuseWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!activeDriver)
        return DefWindowProcA(window, message, wParam, lParam);
    return activeDriver->onMessage(window, message, wParam, lParam);
}

AbuseDriver::AbuseDriver(std::uint64_t seed, RunReport& runReport) : random(seed), report(runReport) {
    addWindowSteps(steps_);
    addPixelFormatSteps(steps_);
    addContextSteps(steps_);
    addMessageSteps(steps_);
    addOtherSteps(steps_);
    addOutsideSteps(steps_);
    for (const Step& step : steps_)
        totalWeight_ += step.weight;
    activeDriver = this;
}

AbuseDriver::~AbuseDriver() {
    activeDriver = nullptr;
}

// ---- the model --------------------------------------------------------------

WindowState* AbuseDriver::windowOf(std::uintptr_t handle) {
    for (WindowState& w : windows)
        if (reinterpret_cast<std::uintptr_t>(w.handle) == handle)
            return &w;
    return nullptr;
}

WindowState* AbuseDriver::windowOfDeviceContext(std::uintptr_t deviceContext) {
    for (WindowState& w : windows)
        if (reinterpret_cast<std::uintptr_t>(w.deviceContext) == deviceContext)
            return &w;
    return nullptr;
}

ContextState* AbuseDriver::contextOf(std::uintptr_t handle) {
    for (ContextState& c : contexts)
        if (reinterpret_cast<std::uintptr_t>(c.handle) == handle)
            return &c;
    return nullptr;
}

WindowState* AbuseDriver::randomLiveWindow() {
    if (windows.empty())
        return nullptr;
    return &windows[static_cast<std::size_t>(random.between(0, static_cast<long>(windows.size()) - 1))];
}

void AbuseDriver::noteWindowCreated(HWND window, const Creation& creation) {
    WindowState state;
    state.handle = window;
    state.caption = creation.caption ? creation.caption : "";
    clearLastError();
    state.deviceContext = GetDC(window);
    expect(state.deviceContext != nullptr, "GetDC failed inside WM_NCCREATE: the handle is not valid yet");
    windows.push_back(state);
}

void AbuseDriver::forgetWindow(HWND window) {
    auto it = std::find_if(windows.begin(), windows.end(),
                           [&](const WindowState& w) { return w.handle == window; });
    if (it == windows.end())
        return;
    if (currentDeviceContext && currentDeviceContext == it->deviceContext)
        currentDeviceContext = nullptr; // the context stays current, bound to nothing
    staleWindows.push_back(it->handle);
    if (it->deviceContext)
        staleDeviceContexts.push_back(it->deviceContext);
    postedQueue.erase(std::remove_if(postedQueue.begin(), postedQueue.end(),
                                     [&](const PostedMessage& p) { return p.window == window; }),
                      postedQueue.end());
    windows.erase(it);
}

// ---- arguments ----------------------------------------------------------------

HandleArgument AbuseDriver::madeUpHandle() {
    switch (random.between(0, 5)) {
    case 0:
        return {static_cast<std::uintptr_t>(random.between(1, 0xFFFF)), "made-up small value"};
    case 1:
        return {static_cast<std::uintptr_t>(random.next()), "made-up random value"};
    case 2: {
        // The layout of the layer's own handles: a kind, a generation, an index.
        std::uint64_t kind = static_cast<std::uint64_t>(random.between(0, 5));
        std::uint64_t generation = static_cast<std::uint64_t>(random.between(0, 4));
        std::uint64_t index = static_cast<std::uint64_t>(random.between(0, 12));
        return {static_cast<std::uintptr_t>((kind << 48) | (generation << 16) | index),
                "made-up handle-like value"};
    }
    case 3:
        return {static_cast<std::uintptr_t>(-1), "made-up -1"};
    case 4:
        return {reinterpret_cast<std::uintptr_t>(&windows), "made-up pointer into the test"};
    default:
        return {static_cast<std::uintptr_t>(0x00400000), "the module handle"};
    }
}

HandleArgument AbuseDriver::anyWindow() {
    int roll = static_cast<int>(random.between(0, 99));
    if (roll < 55 && !windows.empty())
        return {reinterpret_cast<std::uintptr_t>(randomLiveWindow()->handle), "live window"};
    if (roll < 70 && !staleWindows.empty())
        return {reinterpret_cast<std::uintptr_t>(random.pick(staleWindows)), "destroyed window"};
    if (roll < 78 && !windows.empty())
        return {reinterpret_cast<std::uintptr_t>(randomLiveWindow()->deviceContext),
                "device context as a window"};
    if (roll < 82 && !contexts.empty())
        return {reinterpret_cast<std::uintptr_t>(random.pick(contexts).handle), "GL context as a window"};
    if (roll < 95)
        return madeUpHandle();
    return {0, "null"};
}

HandleArgument AbuseDriver::anyDeviceContext() {
    int roll = static_cast<int>(random.between(0, 99));
    if (roll < 60 && !windows.empty())
        return {reinterpret_cast<std::uintptr_t>(randomLiveWindow()->deviceContext), "live device context"};
    if (roll < 72 && !staleDeviceContexts.empty())
        return {reinterpret_cast<std::uintptr_t>(random.pick(staleDeviceContexts)),
                "device context of a destroyed window"};
    if (roll < 80 && !windows.empty())
        return {reinterpret_cast<std::uintptr_t>(randomLiveWindow()->handle), "window as a device context"};
    if (roll < 84 && !contexts.empty())
        return {reinterpret_cast<std::uintptr_t>(random.pick(contexts).handle),
                "GL context as a device context"};
    if (roll < 95)
        return madeUpHandle();
    return {0, "null"};
}

HandleArgument AbuseDriver::anyContext() {
    int roll = static_cast<int>(random.between(0, 99));
    if (roll < 55 && !contexts.empty())
        return {reinterpret_cast<std::uintptr_t>(random.pick(contexts).handle), "live GL context"};
    if (roll < 72 && !staleContexts.empty())
        return {reinterpret_cast<std::uintptr_t>(random.pick(staleContexts)), "deleted GL context"};
    if (roll < 82 && !windows.empty())
        return {reinterpret_cast<std::uintptr_t>(randomLiveWindow()->deviceContext),
                "device context as a GL context"};
    if (roll < 97)
        return madeUpHandle();
    return {0, "null"};
}

int AbuseDriver::anyPixelFormat() {
    int roll = static_cast<int>(random.between(0, 99));
    if (roll < 40)
        return programsFormat;
    if (roll < 80)
        return static_cast<int>(random.between(1, formatCount));
    return random.pick({0, -1, formatCount + 1, formatCount + 1000, 0x7FFFFFFF, static_cast<int>(0x80000000u),
                        static_cast<int>(random.between(-100000, 100000))});
}

UINT AbuseDriver::anyMessage() {
    for (;;) {
        UINT message = 0;
        switch (random.between(0, 4)) {
        case 0:
            message = random.pick<UINT>({WM_NULL, WM_MOVE, WM_SIZE, WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS,
                                         WM_PAINT, WM_CLOSE, WM_QUIT, WM_SHOWWINDOW, WM_KEYDOWN, WM_KEYUP,
                                         WM_CHAR, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_SYSCHAR, WM_SYSCOMMAND});
            break;
        case 1:
            message = WM_USER + static_cast<UINT>(random.between(0, 0x7BFF));
            break;
        case 2:
            message = static_cast<UINT>(random.between(0, 0xFFFF));
            break;
        case 3:
            message = static_cast<UINT>(random.next());
            break;
        default:
            message = random.pick<UINT>({WM_SYSKEYDOWN, WM_SYSCOMMAND, WM_KEYDOWN, WM_CLOSE});
            break;
        }
        if (!isLifecycleMessage(message))
            return message;
    }
}

std::uintptr_t AbuseDriver::anyParameter() {
    switch (random.between(0, 6)) {
    case 0:
        return 0;
    case 1:
        return static_cast<std::uintptr_t>(-1);
    case 2:
        return static_cast<std::uintptr_t>(random.between(0, 0xFF));
    case 3: // Alt+F4 as a system key message carries it, or the close command
        return random.pick<std::uintptr_t>({VK_F4, SC_CLOSE, VK_ESCAPE, 1u << 29, (1u << 29) | 1u});
    case 4:
        return reinterpret_cast<std::uintptr_t>(&windows); // a pointer the layer must not follow
    default:
        return static_cast<std::uintptr_t>(random.next());
    }
}

// ---- checks -------------------------------------------------------------------

void AbuseDriver::trace(const std::string& call) {
    report.step(stepNumber_, depth, call);
}

void AbuseDriver::expect(bool condition, const std::string& what) {
    if (!condition)
        report.finding(what);
}

void AbuseDriver::expectRefused(const std::string& call, bool returnedFailureValue,
                                std::initializer_list<DWORD> errors) {
    if (!returnedFailureValue) {
        report.finding(call + ": succeeded, documented to fail");
        return;
    }
    DWORD error = GetLastError();
    if (std::find(errors.begin(), errors.end(), error) != errors.end())
        return;
    std::string documented;
    for (DWORD e : errors)
        documented += (documented.empty() ? "" : " or ") + std::to_string(e);
    report.finding(call + ": last error " +
                   (error == untouchedError ? std::string("left unset") : std::to_string(error)) +
                   ", documented " + documented);
}

// ---- messages -----------------------------------------------------------------

BOOL AbuseDriver::peekAndCheck(MSG& message, HWND filter, UINT first, UINT last, UINT remove) {
    message = MSG{};
    BOOL got = PeekMessageA(&message, filter, first, last, remove);
    // Filters whose meaning the layer leaves open (a reversed range) are not checked.
    bool checkable = first <= last;
    auto waiting = std::find_if(postedQueue.begin(), postedQueue.end(),
                                [&](const PostedMessage& p) { return inFilter(p, filter, first, last); });
    if (!got) {
        if (checkable && waiting != postedQueue.end())
            report.finding("PeekMessageA found nothing, but message " + hex(waiting->message) +
                           " posted to " + hex(reinterpret_cast<std::uintptr_t>(waiting->window)) + " waits");
        bool quitInRange = (first == 0 && last == 0) || (first <= WM_QUIT && WM_QUIT <= last);
        if (quitPending && quitInRange && !filter && waiting == postedQueue.end())
            report.finding("PeekMessageA did not give the pending WM_QUIT");
        return got;
    }
    if (filter && message.hwnd != filter && !(message.message == WM_QUIT && !message.hwnd))
        report.finding("PeekMessageA gave a message for " +
                       hex(reinterpret_cast<std::uintptr_t>(message.hwnd)) + " to a filter for " +
                       hex(reinterpret_cast<std::uintptr_t>(filter)));
    auto same = std::find_if(postedQueue.begin(), postedQueue.end(), [&](const PostedMessage& p) {
        return p.window == message.hwnd && p.message == message.message && p.wParam == message.wParam &&
               p.lParam == message.lParam;
    });
    if (same != postedQueue.end()) {
        if (checkable && same != waiting)
            report.finding("PeekMessageA gave posted message " + hex(message.message) + " before message " +
                           hex(waiting->message) + ", posted earlier");
        if (remove & PM_REMOVE)
            postedQueue.erase(same);
        return got;
    }
    switch (message.message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case WM_SYSCHAR:
        // Key input from the server, or a character TranslateMessage made.
        break;
    case WM_QUIT:
        if (message.hwnd == nullptr) {
            expect(quitPending, "PeekMessageA gave a WM_QUIT nobody posted");
            expect(static_cast<int>(message.wParam) == quitCode,
                   "WM_QUIT carries " + std::to_string(static_cast<int>(message.wParam)) + ", posted with " +
                       std::to_string(quitCode));
            if (checkable)
                expect(waiting == postedQueue.end(), "WM_QUIT came before a message posted earlier");
            if (remove & PM_REMOVE)
                quitPending = false;
            break;
        }
        [[fallthrough]];
    default:
        report.finding("PeekMessageA gave message " + hex(message.message) + " for " +
                       hex(reinterpret_cast<std::uintptr_t>(message.hwnd)) + ", which nobody posted");
    }
    return got;
}

void AbuseDriver::pumpMessages(int limit) {
    MSG message;
    for (int i = 0; i < limit && peekAndCheck(message, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (message.message == WM_QUIT)
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void AbuseDriver::checkCreateStruct(HWND window, UINT message, LPARAM lParam) {
    // The creation parameter is the address of a Creation in progress; it is
    // only followed once found among them.
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    if (!create) {
        report.finding("no CREATESTRUCT with " + hex(message));
        return;
    }
    auto* creation = static_cast<Creation*>(create->lpCreateParams);
    if (std::find(creations.begin(), creations.end(), creation) == creations.end()) {
        report.finding("CREATESTRUCT with " + hex(message) + " lost the creation parameter");
        return;
    }
    if (message == WM_NCCREATE) {
        if (creation != creations.back() || creation->seen)
            report.finding("WM_NCCREATE for a creation that already had one");
        creation->seen = window;
    } else if (creation->seen != window) {
        report.finding("WM_CREATE for another window than WM_NCCREATE");
    }
    // A default position or size (CW_USEDEFAULT in x or in the width) is
    // resolved by then; everything else arrives as it was passed.
    bool positionGiven = creation->x != CW_USEDEFAULT, sizeGiven = creation->width != CW_USEDEFAULT;
    expect((!positionGiven || (create->x == creation->x && create->y == creation->y)) &&
               (!sizeGiven || (create->cx == creation->width && create->cy == creation->height)) &&
               static_cast<DWORD>(create->style) == creation->style &&
               create->lpszName == creation->caption && create->lpszClass == creation->className,
           "CREATESTRUCT of " + hex(message) + " does not carry CreateWindowExA's arguments");
}

LRESULT AbuseDriver::onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (expectedDelivery.active && !expectedDelivery.arrived) {
        expectedDelivery.arrived = true;
        expect(window == expectedDelivery.window && message == expectedDelivery.message &&
                   wParam == expectedDelivery.wParam && lParam == expectedDelivery.lParam,
               "SendMessageA delivered " + hex(message) + " (" + hex(wParam) + ", " +
                   hex(static_cast<std::uintptr_t>(lParam)) + ") instead of what was sent");
    }
    switch (message) {
    case WM_NCCREATE: {
        if (creations.empty()) {
            report.finding("WM_NCCREATE outside CreateWindowExA");
            break;
        }
        checkCreateStruct(window, message, lParam);
        noteWindowCreated(window, *creations.back());
        if (creations.back()->refuseAt == WM_NCCREATE)
            return FALSE;
        break;
    }
    case WM_CREATE:
        checkCreateStruct(window, message, lParam);
        for (Creation* creation : creations)
            if (creation->seen == window && creation->refuseAt == WM_CREATE)
                return -1;
        break;
    case WM_DESTROY:
        if (WindowState* state = windowOf(reinterpret_cast<std::uintptr_t>(window))) {
            expect(!state->destroying, "a second WM_DESTROY");
            state->destroying = true;
        } else {
            report.finding("WM_DESTROY for a window that is not alive");
        }
        break;
    case WM_NCDESTROY:
        if (!windowOf(reinterpret_cast<std::uintptr_t>(window)))
            report.finding("WM_NCDESTROY for a window that is not alive");
        forgetWindow(window);
        return 0;
    default:
        break;
    }
    // Now and then the procedure makes calls of its own, as programs do from
    // their messages: re-entrant use of the layer in the middle of its work.
    if (mischief && depth == 0 && random.percent(8)) {
        ++depth;
        runOneStep();
        --depth;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// ---- the run -----------------------------------------------------------------

void AbuseDriver::warmUp() {
    mischief = false;
    trace("warm-up: classes, a window, its pixel format and context");
    for (const char* name : {"abuse-plain", "abuse-owndc", "abuse-redraw"}) {
        WNDCLASSA windowClass{};
        windowClass.style = name[7] == 'o' ? CS_OWNDC : CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = abuseWindowProcedure;
        windowClass.lpszClassName = name;
        ATOM atom = RegisterClassA(&windowClass);
        expect(atom != 0, std::string("RegisterClassA ") + name + " failed");
        classNames.push_back(name);
        classAtoms.push_back(atom);
    }

    std::string caption = nextCaption();
    Creation creation;
    creation.style = WS_POPUP;
    creation.width = creation.height = 64;
    creation.caption = caption.c_str();
    creation.className = classNames.front().c_str();
    creations.push_back(&creation);
    HWND window = CreateWindowExA(0, creation.className, creation.caption, creation.style, 0, 0, 64, 64,
                                  nullptr, nullptr, nullptr, &creation);
    creations.pop_back();
    expect(window != nullptr, "the first window was not created");
    if (!window)
        return;
    HDC deviceContext = GetDC(window);
    PIXELFORMATDESCRIPTOR request = programsRequest();
    programsFormat = ChoosePixelFormat(deviceContext, &request);
    formatCount = DescribePixelFormat(deviceContext, 1, 0, nullptr);
    expect(programsFormat > 0 && formatCount >= programsFormat, "no pixel format for the programs' request");
    for (int format = 1; format <= formatCount; ++format) {
        PIXELFORMATDESCRIPTOR described{};
        DescribePixelFormat(deviceContext, format, sizeof described, &described);
        DWORD needed = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
        formatDrawsRgbaToWindow.push_back(described.iPixelType == PFD_TYPE_RGBA &&
                                          (described.dwFlags & needed) == needed);
    }
    expect(SetPixelFormat(deviceContext, programsFormat, &request), "SetPixelFormat failed in the warm-up");
    ShowWindow(window, SW_SHOW);
    HGLRC context = wglCreateContext(deviceContext);
    expect(context && wglMakeCurrent(deviceContext, context), "no current context in the warm-up");
    glClear(GL_COLOR_BUFFER_BIT);
    SwapBuffers(deviceContext);
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(context);
    DestroyWindow(window);
    pumpMessages(1000);
    expect(windows.empty(), "the warm-up window outlived DestroyWindow");
    staleContexts.push_back(context);
    mischief = true;
}

void AbuseDriver::runOneStep() {
    int roll = static_cast<int>(random.between(0, totalWeight_ - 1));
    for (const Step& step : steps_) {
        if (roll < step.weight) {
            ++stepNumber_;
            step.run(*this);
            return;
        }
        roll -= step.weight;
    }
}

void AbuseDriver::runSteps(long count) {
    for (long i = 0; i < count; ++i)
        runOneStep();
}

void AbuseDriver::tearDown() {
    mischief = false;
    ++stepNumber_;
    trace("tear-down: release the context, delete contexts, destroy windows");
    pumpMessages(10000);
    expect(wglMakeCurrent(nullptr, nullptr), "wglMakeCurrent(NULL, NULL) failed");
    expect(wglGetCurrentContext() == nullptr, "a context is still current after its release");
    currentContext = nullptr;
    currentDeviceContext = nullptr;
    while (!contexts.empty()) {
        HGLRC context = contexts.back().handle;
        contexts.pop_back();
        expect(wglDeleteContext(context), "wglDeleteContext of a live context failed");
        staleContexts.push_back(context);
    }
    while (!windows.empty()) {
        HWND window = windows.back().handle;
        if (!DestroyWindow(window)) {
            report.finding("DestroyWindow of a live window failed");
            forgetWindow(window);
        }
    }
    pumpMessages(10000);
    for (HWND window : staleWindows)
        expect(!IsWindow(window),
               "a destroyed window " + hex(reinterpret_cast<std::uintptr_t>(window)) + " is alive");
    for (HGLRC context : staleContexts) {
        clearLastError();
        expectRefused("wglDeleteContext(deleted context) at the end", !wglDeleteContext(context),
                      {ERROR_INVALID_HANDLE});
    }
}

} // namespace robustness
