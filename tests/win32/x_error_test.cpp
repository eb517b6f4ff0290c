// X errors are the layer's business: requests about an X window that another
// client destroyed fail, the calls report it, and nothing reaches stderr.
#include "pixel_format_request.h"
#include "recording_window.h"

namespace layer_test {
namespace {

using ForeignDestruction = LayerTest;

TEST_F(ForeignDestruction, FailsCallsQuietlyAndEndsTheWindow) {
    HWND window = framedWindow("destroyed by another client");
    ASSERT_NE(window, nullptr);
    HDC deviceContext = GetDC(window);
    PIXELFORMATDESCRIPTOR request = programsPixelFormatRequest();
    ASSERT_TRUE(SetPixelFormat(deviceContext, ChoosePixelFormat(deviceContext, &request), &request));
    HGLRC context = wglCreateContext(deviceContext);
    ASSERT_NE(context, nullptr);
    ShowWindow(window, SW_SHOW);
    messageLog().clear();
    testing::internal::CaptureStderr();

    observer.destroy(xWindowOf(window));
    // The layer has not read of the destruction yet: these requests fail at the server.
    EXPECT_FALSE(SetForegroundWindow(window)) << "focus given to a destroyed window";
    EXPECT_FALSE(wglMakeCurrent(deviceContext, context)) << "a context bound to a destroyed window";
    SwapBuffers(deviceContext);
    ShowWindow(window, SW_HIDE);
    layerRoundTrip();
    bool ended = pumpUntil([&] { return !IsWindow(window); });

    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(ended);
    EXPECT_TRUE(sequenceIs(deliveredTo(window), {sent(WM_SHOWWINDOW, FALSE), sent(WM_CLOSE), sent(WM_DESTROY),
                                                 sent(WM_NCDESTROY)}));
    EXPECT_TRUE(wglDeleteContext(context));
}

} // namespace
} // namespace layer_test
