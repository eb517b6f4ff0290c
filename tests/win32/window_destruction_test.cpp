// Window destruction, and the refusal of every handle that names no live
// window: destroyed ones, ones whose slot a new window took, made-up values.
#include "pixel_format_request.h"
#include "recording_window.h"

#include "x11_connection.h"

#include <GL/gl.h>
#include <cstdint>
#include <functional>
#include <string>

namespace layer_test {
namespace {

using WindowDestruction = LayerTest;

TEST_F(WindowDestruction, SendsDestroyThenNcDestroyAndRemovesTheXWindow) {
    HWND window = framedWindow("destroyed");
    ASSERT_NE(window, nullptr);
    ::Window xWindow = xWindowOf(window);
    messageLog().clear();

    ASSERT_TRUE(DestroyWindow(window));

    EXPECT_TRUE(sequenceIs(deliveredTo(window), {sent(WM_DESTROY), sent(WM_NCDESTROY)}));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(pumpUntil([&] { return !observer.exists(xWindow); })) << "the X window was left behind";
}

TEST_F(WindowDestruction, DefaultCloseDestroysTheWindow) {
    HWND window = framedWindow("closed by default");
    ASSERT_NE(window, nullptr);
    messageLog().clear();

    SendMessageA(window, WM_CLOSE, 0, 0);

    EXPECT_TRUE(sequenceIs(deliveredTo(window), {sent(WM_CLOSE), sent(WM_DESTROY), sent(WM_NCDESTROY)}));
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(WindowDestruction, DropsTheMessagesQueuedForTheWindowOnly) {
    HWND window = framedWindow("queue of a destroyed window");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PostMessageA(window, WM_USER + 1, 0, 0));
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 2, 0, 0));
    DestroyWindow(window);
    messageLog().clear();

    pumpMessages();

    EXPECT_TRUE(sequenceIs(messageLog(), {posted(WM_USER + 2)}));
}

// A call made with a handle that names no live window, and whether it was refused.
struct HandleUse {
    const char* call;
    std::function<bool(HWND, HDC, HGLRC)> refused;
};

const HandleUse handleUses[] = {
    {"IsWindow", [](HWND w, HDC, HGLRC) { return !IsWindow(w); }},
    {"GetDC", [](HWND w, HDC, HGLRC) { return GetDC(w) == nullptr; }},
    {"ReleaseDC", [](HWND w, HDC dc, HGLRC) { return ReleaseDC(w, dc) == 0; }},
    {"DestroyWindow",
     [](HWND w, HDC, HGLRC) {
         SetLastError(0);
         return !DestroyWindow(w) && GetLastError() == ERROR_INVALID_WINDOW_HANDLE;
     }},
    {"PostMessageA", [](HWND w, HDC, HGLRC) { return !PostMessageA(w, WM_USER, 0, 0); }},
    {"SendMessageA",
     [](HWND w, HDC, HGLRC) {
         std::size_t before = messageLog().size();
         return SendMessageA(w, WM_USER, 0, 0) == 0 && messageLog().size() == before;
     }},
    {"ShowWindow", [](HWND w, HDC, HGLRC) { return !ShowWindow(w, SW_SHOW); }},
    {"SetForegroundWindow", [](HWND w, HDC, HGLRC) { return !SetForegroundWindow(w); }},
    {"GetClientRect",
     [](HWND w, HDC, HGLRC) {
         RECT rect{};
         return !GetClientRect(w, &rect);
     }},
    {"SwapBuffers", [](HWND, HDC dc, HGLRC) { return !SwapBuffers(dc); }},
    {"ChoosePixelFormat",
     [](HWND, HDC dc, HGLRC) {
         PIXELFORMATDESCRIPTOR request = programsPixelFormatRequest();
         return ChoosePixelFormat(dc, &request) == 0;
     }},
    {"SetPixelFormat",
     [](HWND, HDC dc, HGLRC) {
         PIXELFORMATDESCRIPTOR request = programsPixelFormatRequest();
         return !SetPixelFormat(dc, 1, &request);
     }},
    {"GetPixelFormat", [](HWND, HDC dc, HGLRC) { return GetPixelFormat(dc) == 0; }},
    {"DescribePixelFormat",
     [](HWND, HDC dc, HGLRC) {
         PIXELFORMATDESCRIPTOR description{};
         return DescribePixelFormat(dc, 1, sizeof description, &description) == 0;
     }},
    {"wglCreateContext", [](HWND, HDC dc, HGLRC) { return wglCreateContext(dc) == nullptr; }},
    {"wglMakeCurrent",
     [](HWND, HDC dc, HGLRC context) {
         return !wglMakeCurrent(dc, context) && wglGetCurrentContext() == nullptr;
     }},
};

struct DeadHandle {
    std::string name;
    HWND window;
    HDC deviceContext;
};

template <typename Handle> Handle handleFrom(std::uintptr_t value) {
    return reinterpret_cast<Handle>(value);
}

std::uintptr_t valueOf(const void* handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

class DeadHandles : public LayerTest {
  protected:
    // Every use of every handle is refused, and none sends an X request.
    // (XNextRequest, unlike the NextRequest macro, also counts what libGL
    // sends through XCB.)
    void expectAllRefused(const std::vector<DeadHandle>& handles, HGLRC liveContext) {
        Display* display = win32::display();
        for (const DeadHandle& handle : handles)
            for (const HandleUse& use : handleUses) {
                unsigned long nextRequest = XNextRequest(display);
                EXPECT_TRUE(use.refused(handle.window, handle.deviceContext, liveContext))
                    << use.call << " with " << handle.name;
                EXPECT_EQ(XNextRequest(display), nextRequest)
                    << use.call << " with " << handle.name << " talked to the X server";
            }
    }
};

TEST_F(DeadHandles, AreRefusedWithoutAnyXRequest) {
    // A window whose handles all work: it shows, draws and presents.
    HWND window = framedWindow("soon destroyed");
    ASSERT_NE(window, nullptr);
    HDC deviceContext = GetDC(window);
    PIXELFORMATDESCRIPTOR request = programsPixelFormatRequest();
    ASSERT_TRUE(SetPixelFormat(deviceContext, ChoosePixelFormat(deviceContext, &request), &request));
    HGLRC context = wglCreateContext(deviceContext);
    ASSERT_NE(context, nullptr);
    ShowWindow(window, SW_SHOW);
    ASSERT_TRUE(wglMakeCurrent(deviceContext, context));
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_TRUE(SwapBuffers(deviceContext));
    ASSERT_TRUE(wglMakeCurrent(nullptr, nullptr));
    ASSERT_TRUE(DestroyWindow(window));

    testing::internal::CaptureStderr();
    expectAllRefused({{"the destroyed window", window, deviceContext}}, context);

    // The table hands the lowest free slot to the next window: the same slot,
    // a later generation.
    HWND successor = framedWindow("takes the slot");
    ASSERT_NE(successor, nullptr);
    ASSERT_NE(successor, window);
    ASSERT_EQ(valueOf(successor) & 0xFFFF, valueOf(window) & 0xFFFF) << "the slot was not reused";
    HDC successorDc = GetDC(successor);
    ASSERT_NE(successorDc, nullptr);
    EXPECT_NE(successorDc, deviceContext);

    std::uintptr_t nextGeneration = valueOf(successor) + (std::uintptr_t{1} << 16);
    expectAllRefused(
        {
            {"the destroyed window after its slot was reused", window, deviceContext},
            {"1", handleFrom<HWND>(1), handleFrom<HDC>(1)},
            {"0x12345678", handleFrom<HWND>(0x12345678), handleFrom<HDC>(0x12345678)},
            {"all ones", handleFrom<HWND>(~std::uintptr_t{0}), handleFrom<HDC>(~std::uintptr_t{0})},
            {"a live window's handles swapped", handleFrom<HWND>(valueOf(successorDc)),
             handleFrom<HDC>(valueOf(successor))},
            {"the live slot's next generation", handleFrom<HWND>(nextGeneration),
             handleFrom<HDC>(valueOf(successorDc) + (std::uintptr_t{1} << 16))},
        },
        context);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    EXPECT_TRUE(IsWindow(successor));
    EXPECT_EQ(GetDC(successor), successorDc);
    EXPECT_TRUE(wglDeleteContext(context));
}

TEST(MadeUpContexts, AreRefused) {
    for (std::uintptr_t value : {std::uintptr_t{1}, std::uintptr_t{0x12345678}, ~std::uintptr_t{0}}) {
        HGLRC context = reinterpret_cast<HGLRC>(value);
        SetLastError(0);
        EXPECT_FALSE(wglDeleteContext(context)) << value;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << value;
    }
}

} // namespace
} // namespace layer_test
