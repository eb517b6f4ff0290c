#include "recording_window.h"

#include "objects.h"
#include "x11_connection.h"

#include <chrono>
#include <sstream>
#include <thread>

namespace layer_test {
namespace {

struct Recorder {
    std::vector<Delivered> log;
    Reaction reaction;
    bool dispatching = false; // the next procedure call is DispatchMessageA's
    bool dispatchReached = false;
};

Recorder& recorder() {
    static Recorder state;
    return state;
}

LRESULT CALLBACK recordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Recorder& r = recorder();
    if (r.dispatching) {
        // The pump has recorded this one already, as posted.
        r.dispatching = false;
        r.dispatchReached = true;
    } else {
        r.log.push_back(Delivered{window, Delivery::Sent, message, wParam, lParam, true});
    }
    if (r.reaction)
        if (std::optional<LRESULT> answer = r.reaction(window, message, wParam, lParam))
            return *answer;
    return DefWindowProcA(window, message, wParam, lParam);
}

const char* messageName(UINT message) {
    switch (message) {
    case WM_CREATE:
        return "WM_CREATE";
    case WM_DESTROY:
        return "WM_DESTROY";
    case WM_SIZE:
        return "WM_SIZE";
    case WM_CLOSE:
        return "WM_CLOSE";
    case WM_QUIT:
        return "WM_QUIT";
    case WM_SHOWWINDOW:
        return "WM_SHOWWINDOW";
    case WM_NCCREATE:
        return "WM_NCCREATE";
    case WM_NCDESTROY:
        return "WM_NCDESTROY";
    case WM_KEYDOWN:
        return "WM_KEYDOWN";
    case WM_KEYUP:
        return "WM_KEYUP";
    case WM_CHAR:
        return "WM_CHAR";
    case WM_SYSKEYDOWN:
        return "WM_SYSKEYDOWN";
    case WM_SYSKEYUP:
        return "WM_SYSKEYUP";
    default:
        return nullptr;
    }
}

std::string describe(const Delivered& d) {
    std::ostringstream text;
    text << (d.delivery == Delivery::Sent ? "sent " : "posted ");
    if (const char* name = messageName(d.message))
        text << name;
    else
        text << "0x" << std::hex << d.message;
    text << std::hex << " w=0x" << d.wParam << " l=0x" << static_cast<DWORD>(d.lParam);
    return text.str();
}

std::string describe(const Expected& e) {
    std::ostringstream text;
    text << (e.delivery == Delivery::Sent ? "sent " : "posted ");
    if (const char* name = messageName(e.message))
        text << name;
    else
        text << "0x" << std::hex << e.message;
    text << std::hex << " w=";
    if (e.wParam)
        text << "0x" << *e.wParam;
    else
        text << "*";
    text << " l=";
    if (e.lParam)
        text << "0x" << static_cast<DWORD>(*e.lParam);
    else
        text << "*";
    return text.str();
}

} // namespace

Expected sent(UINT message, std::optional<WPARAM> wParam, std::optional<LPARAM> lParam) {
    return Expected{Delivery::Sent, message, wParam, lParam};
}

Expected posted(UINT message, std::optional<WPARAM> wParam, std::optional<LPARAM> lParam) {
    return Expected{Delivery::Posted, message, wParam, lParam};
}

std::vector<Delivered>& messageLog() {
    return recorder().log;
}

std::vector<Delivered> deliveredTo(HWND window) {
    std::vector<Delivered> selected;
    for (const Delivered& d : recorder().log)
        if (d.window == window)
            selected.push_back(d);
    return selected;
}

bool matches(const Delivered& d, const Expected& e) {
    return d.delivery == e.delivery && d.message == e.message && (!e.wParam || d.wParam == *e.wParam) &&
           (!e.lParam || static_cast<DWORD>(d.lParam) == static_cast<DWORD>(*e.lParam));
}

bool wasDelivered(HWND window, const Expected& expected) {
    for (const Delivered& d : recorder().log)
        if (d.window == window && matches(d, expected))
            return true;
    return false;
}

::testing::AssertionResult sequenceIs(const std::vector<Delivered>& seen,
                                      const std::vector<Expected>& expected) {
    bool same = seen.size() == expected.size();
    for (std::size_t i = 0; same && i < seen.size(); ++i)
        same = matches(seen[i], expected[i]);
    if (same)
        return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << "\n  expected:";
    for (const Expected& e : expected)
        failure << "\n    " << describe(e);
    failure << "\n  delivered:";
    for (const Delivered& d : seen)
        failure << "\n    " << describe(d);
    return failure;
}

void react(Reaction reaction) {
    recorder().reaction = std::move(reaction);
}

const char* recordingClassName() {
    static const char* name = [] {
        WNDCLASSA windowClass{};
        windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
        windowClass.lpfnWndProc = recordingProcedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hIcon = LoadIconA(nullptr, IDI_WINLOGO);
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.lpszClassName = "LayerTestWindow";
        return RegisterClassA(&windowClass) ? "LayerTestWindow" : nullptr;
    }();
    return name;
}

HWND createRecordingWindow(const char* caption, DWORD style, int x, int y, int width, int height,
                           LPVOID createParam) {
    return CreateWindowExA(0, recordingClassName(), caption, style, x, y, width, height, nullptr, nullptr,
                           GetModuleHandleA(nullptr), createParam);
}

HWND createFramedWindow(const char* caption, int clientWidth, int clientHeight) {
    RECT rect{0, 0, clientWidth, clientHeight};
    DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    AdjustWindowRect(&rect, style, FALSE);
    return createRecordingWindow(caption, style, 100, 100, rect.right - rect.left, rect.bottom - rect.top);
}

bool pumpOne() {
    MSG message{};
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        return false;
    Recorder& r = recorder();
    r.log.push_back(
        Delivered{message.hwnd, Delivery::Posted, message.message, message.wParam, message.lParam, false});
    std::size_t entry = r.log.size() - 1;
    TranslateMessage(&message);
    r.dispatching = true;
    r.dispatchReached = false;
    DispatchMessageA(&message);
    r.dispatching = false;
    r.log[entry].reachedProcedure = r.dispatchReached;
    return true;
}

void pumpMessages() {
    while (pumpOne()) {
    }
}

bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pumpMessages();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void drainQueue() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

::Window xWindowOf(HWND window) {
    win32::WindowRecord* record = win32::windowTable().find(reinterpret_cast<std::uintptr_t>(window));
    return record ? record->xWindow : 0;
}

void layerRoundTrip() {
    XSync(win32::display(), False);
}

void LayerTest::SetUp() {
    drainQueue();
    react(nullptr);
    messageLog().clear();
}

void LayerTest::TearDown() {
    react(nullptr);
    for (HWND window : windows_)
        if (IsWindow(window))
            DestroyWindow(window);
    drainQueue();
    messageLog().clear();
}

HWND LayerTest::keep(HWND window) {
    if (window)
        windows_.push_back(window);
    return window;
}

HWND LayerTest::framedWindow(const char* caption, int clientWidth, int clientHeight) {
    return keep(createFramedWindow(caption, clientWidth, clientHeight));
}

void LayerTest::showAndFocus(HWND window) {
    ShowWindow(window, SW_SHOW);
    ::Window xWindow = xWindowOf(window);
    ASSERT_NE(xWindow, 0u);
    std::optional<ServerGeometry> seen = observer.geometry(xWindow);
    ASSERT_TRUE(seen && seen->mapState == IsViewable) << "ShowWindow returned before the window was mapped";
    ASSERT_TRUE(observer.focus(xWindow));
    pumpMessages();
    messageLog().clear();
}

} // namespace layer_test
