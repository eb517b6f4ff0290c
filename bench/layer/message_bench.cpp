// The layer's message calls against the raw Xlib poll they sit on, on the X
// server named by DISPLAY, with one shown window as the demos have:
//   raw_xpending                                XPending on the layer's own connection
//   PeekMessageA_nothing_pending                the demos' poll when no message waits
//   PostMessageA_PeekMessageA_DispatchMessageA  one posted message, removed and delivered
#include <windows.h>

#include "x11_connection.h"

#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

HWND benchWindow;
long long userMessagesDelivered;

LRESULT CALLBACK countingWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER) {
        ++userMessagesDelivered;
        return 0;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

bool openBenchWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = countingWindowProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = "MessageBench";
    RegisterClassA(&windowClass);
    RECT rect = {0, 0, 800, 600};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
    benchWindow = CreateWindowExA(0, "MessageBench", "Quorlane", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, rect.right - rect.left, rect.bottom - rect.top, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL);
    if (!benchWindow)
        return false;
    ShowWindow(benchWindow, SW_SHOW);
    // Work off what showing the window queued, so every benchmark starts idle.
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
    return true;
}

void raw_xpending(benchmark::State& state) {
    Display* display = win32::openedDisplay();
    for (auto _ : state)
        benchmark::DoNotOptimize(XPending(display));
}
BENCHMARK(raw_xpending);

void PeekMessageA_nothing_pending(benchmark::State& state) {
    MSG message;
    for (auto _ : state)
        benchmark::DoNotOptimize(PeekMessageA(&message, NULL, 0, 0, PM_REMOVE));
}
BENCHMARK(PeekMessageA_nothing_pending);

void PostMessageA_PeekMessageA_DispatchMessageA(benchmark::State& state) {
    MSG message;
    long long before = userMessagesDelivered;
    for (auto _ : state) {
        PostMessageA(benchWindow, WM_USER, 1, 2);
        PeekMessageA(&message, NULL, 0, 0, PM_REMOVE);
        DispatchMessageA(&message);
    }
    if (userMessagesDelivered - before != static_cast<long long>(state.iterations()))
        state.SkipWithError("a posted message was not delivered");
}
BENCHMARK(PostMessageA_PeekMessageA_DispatchMessageA);

} // namespace

int main(int argc, char** argv) {
    if (!openBenchWindow()) {
        std::fprintf(stderr, "cannot open a window: %s\n", win32::displayFailureReason());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    DestroyWindow(benchWindow);
    return 0;
}
