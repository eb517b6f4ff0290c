// The layer on a server without GLX: windows still work, and every pixel
// format call fails the way the platform fails, quietly.
#include "pixel_format_request.h"
#include "private_display.h"
#include "recording_window.h"

namespace layer_test {
namespace {

using WithoutGlx = LayerTest;

TEST_F(WithoutGlx, OffersNoPixelFormat) {
    testing::internal::CaptureStderr();
    HWND window = framedWindow("no glx");
    ASSERT_NE(window, nullptr);
    HDC deviceContext = GetDC(window);
    ASSERT_NE(deviceContext, nullptr);
    PIXELFORMATDESCRIPTOR request = programsPixelFormatRequest();

    EXPECT_EQ(ChoosePixelFormat(deviceContext, &request), 0);
    PIXELFORMATDESCRIPTOR description{};
    EXPECT_EQ(DescribePixelFormat(deviceContext, 1, sizeof description, &description), 0);
    SetLastError(0);
    EXPECT_FALSE(SetPixelFormat(deviceContext, 1, &request));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PIXEL_FORMAT));
    EXPECT_EQ(wglCreateContext(deviceContext), nullptr);
    EXPECT_FALSE(SwapBuffers(deviceContext));
    ShowWindow(window, SW_SHOW);
    EXPECT_TRUE(DestroyWindow(window));

    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

} // namespace
} // namespace layer_test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new layer_test::PrivateDisplay({"-extension", "GLX"}));
    return RUN_ALL_TESTS();
}
