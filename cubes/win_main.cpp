// cubes_demo: the window object, its window procedure, and a loop that draws a
// frame whenever the message queue is empty.
#include "cube_scene.h"
#include "gl_window.h"

#include <windows.h>

GlWindow g_window;

LRESULT CALLBACK windowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
    case WM_DESTROY:
        PostQuitMessage(0);
        break;
    case WM_SIZE:
        g_window.resize(LOWORD(lParam), HIWORD(lParam));
        break;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE)
            PostQuitMessage(0);
        break;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (!g_window.create(800, 600, 32, false)) {
        // There is no window to close: end instead of running invisibly.
        g_window.destroy();
        return 1;
    }
    initGL();

    MSG msg;
    for (;;) {
        if (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            drawScene();
            SwapBuffers(g_window.hDC);
        }
    }

    g_window.destroy();
    return (int)msg.wParam;
}
