// primitives_demo: a frame on every pass of the message loop, each after an
// update with the seconds since the previous pass.
#include "primitives_app.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    PrimitivesApp app;
    DWORD previousTick = GetTickCount();
    if (!app.init()) {
        // There is no window to close: end instead of running invisibly.
        app.shutdown();
        return 1;
    }

    MSG msg;
    for (;;) {
        if (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        // The modular difference stays right across the tick count's wrap.
        DWORD currentTick = GetTickCount();
        int elapsedMs = (int)(currentTick - previousTick);
        previousTick = currentTick;
        float timeStep = (float)((double)elapsedMs / 1000.0);
        app.update(timeStep);
        app.render();
    }

    app.shutdown();
    return 0;
}
