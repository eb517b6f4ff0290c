// Rendering contexts on a real GLX server: what is cleared and presented
// shows in the window's pixels, and contexts are bound, released and deleted
// as the programs do, including after their window is gone.
#include "pixel_format_request.h"
#include "recording_window.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <cstdlib>

namespace layer_test {

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.red << ", " << c.green << ", " << c.blue << ")";
}

namespace {

class GlWindow : public LayerTest {
  protected:
    void SetUp() override {
        LayerTest::SetUp();
        window = framedWindow("gl drawing", 320, 240);
        ASSERT_NE(window, nullptr);
        deviceContext = GetDC(window);
        PIXELFORMATDESCRIPTOR request = programsPixelFormatRequest();
        ASSERT_TRUE(SetPixelFormat(deviceContext, ChoosePixelFormat(deviceContext, &request), &request));
        ShowWindow(window, SW_SHOW);
        context = wglCreateContext(deviceContext);
        ASSERT_NE(context, nullptr);
    }

    void TearDown() override {
        wglMakeCurrent(nullptr, nullptr);
        if (context)
            wglDeleteContext(context);
        LayerTest::TearDown();
    }

    HWND window = nullptr;
    HDC deviceContext = nullptr;
    HGLRC context = nullptr;
};

struct Colour {
    float red, green, blue;
    Rgb bytes() const {
        return Rgb{static_cast<int>(red * 255 + 0.5f), static_cast<int>(green * 255 + 0.5f),
                   static_cast<int>(blue * 255 + 0.5f)};
    }
};

bool near(const Rgb& a, const Rgb& b) {
    return std::abs(a.red - b.red) <= 1 && std::abs(a.green - b.green) <= 1 && std::abs(a.blue - b.blue) <= 1;
}

TEST_F(GlWindow, ClearedAndSwappedColourShowsInTheWindow) {
    ASSERT_TRUE(wglMakeCurrent(deviceContext, context));
    EXPECT_EQ(wglGetCurrentContext(), context);
    EXPECT_EQ(wglGetCurrentDC(), deviceContext);

    // Two colours in turn, so that the second cannot be a leftover of anything.
    for (Colour colour : {Colour{0.2f, 0.4f, 0.8f}, Colour{0.9f, 0.6f, 0.1f}}) {
        glClearColor(colour.red, colour.green, colour.blue, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        unsigned char back[4] = {};
        glReadPixels(160, 120, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, back);
        EXPECT_TRUE(near(Rgb{back[0], back[1], back[2]}, colour.bytes()))
            << "back buffer " << Rgb{back[0], back[1], back[2]} << ", cleared to " << colour.bytes();

        ASSERT_TRUE(SwapBuffers(deviceContext));
        glFinish();

        Rgb onScreen{};
        bool shown = pumpUntil([&] {
            std::optional<Rgb> seen = observer.pixel(xWindowOf(window), 160, 120);
            onScreen = seen.value_or(Rgb{-1, -1, -1});
            return seen && near(*seen, colour.bytes());
        });
        EXPECT_TRUE(shown) << "the window shows " << onScreen << ", cleared to " << colour.bytes();
    }
}

TEST_F(GlWindow, ReleasingAndDeletingMakeTheContextNonCurrent) {
    ASSERT_TRUE(wglMakeCurrent(deviceContext, context));
    ASSERT_TRUE(wglMakeCurrent(nullptr, nullptr));
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    EXPECT_EQ(wglGetCurrentDC(), nullptr);
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
    EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr)) << "releasing with nothing current";

    ASSERT_TRUE(wglMakeCurrent(deviceContext, context)) << "made current again";
    ASSERT_TRUE(wglDeleteContext(context));
    HGLRC deleted = context;
    context = nullptr;

    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    EXPECT_EQ(wglGetCurrentDC(), nullptr);
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
    EXPECT_FALSE(wglMakeCurrent(deviceContext, deleted));
    EXPECT_FALSE(wglDeleteContext(deleted));
}

TEST_F(GlWindow, DestroyingTheWindowOfTheCurrentContextLeavesLaterCallsHarmless) {
    ASSERT_TRUE(wglMakeCurrent(deviceContext, context));
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    testing::internal::CaptureStderr();

    ASSERT_TRUE(DestroyWindow(window));
    EXPECT_EQ(glXGetCurrentDrawable(), 0u) << "the context still draws to the destroyed window";
    // What a program's frame does before it learns that its window is gone.
    glClear(GL_COLOR_BUFFER_BIT);
    glBegin(GL_TRIANGLES);
    glVertex2f(0, 0);
    glVertex2f(1, 0);
    glVertex2f(0, 1);
    glEnd();
    glFinish();
    EXPECT_FALSE(SwapBuffers(deviceContext));
    layerRoundTrip();
    pumpMessages();
    EXPECT_TRUE(wglDeleteContext(context));
    context = nullptr;
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    layerRoundTrip();

    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

} // namespace
} // namespace layer_test
