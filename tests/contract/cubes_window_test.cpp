// cubes_demo's window: what its variant of the layer does differently (class,
// procedure, colour bits, display record, resize as the last step), resizing
// during creation, the window procedure and the tear-down.
#include "cubes_program.h"
#include "window_layer_expectations.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

namespace {

using fake::call;
using fake::Call;
using fake::Value;

// A size notification sent while the window is being created arrives before
// any context exists; its size is stored (and its viewport call has nothing
// to act on), and the last step of create sets the requested size again.
TEST(CubesWindow, SetUpResizesLastAfterAnEarlySizeNotification) {
    fake::Script script;
    script.messagesDuringCreate = {{WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480)}};
    std::vector<std::pair<int, int>> sizeAtGetDc, sizeAtFirstPoll;
    const auto lookAtTheWindow = [&](const Call& made) {
        if (made.name == "GetDC")
            sizeAtGetDc.push_back({g_window.width, g_window.height});
        if (made.name == "PeekMessageA" && sizeAtFirstPoll.empty())
            sizeAtFirstPoll.push_back({g_window.width, g_window.height});
    };
    EXPECT_EQ(contract::runCubesDemo(script, lookAtTheWindow), 0);

    std::vector<Call> expected = contract::windowSetUpCalls(script, {"OpenGL", 800, 600, false});
    expected.insert(expected.begin() + fake::indexOf(expected, "CreateWindowExA") + 1,
                    call("glViewport", {0, 0, 640, 480}));
    const std::vector<Call> rest = {
        call("glEnable", {GL_DEPTH_TEST}),
        call("glShadeModel", {GL_FLAT}),
        call("PeekMessageA", {Value::text("&MSG"), nullptr, 0u, 0u, 1u}),
    };
    expected.insert(expected.end(), rest.begin(), rest.end());
    const std::vector<Call> tearDown =
        contract::tearDownCalls(script.window, script.dc, script.context, false);
    expected.insert(expected.end(), tearDown.begin(), tearDown.end());
    expected.push_back(call("PostQuitMessage", {0})); // the window hears WM_DESTROY

    const std::vector<Call>& calls = fake::calls();
    EXPECT_EQ(fake::without(calls, contract::lookupsAndDefaultProcessing), expected);
    contract::expectClassRecord(calls, script, "OpenGL", windowProc);
    contract::expectPixelFormatRequest(calls, 32);

    const std::vector<Call> viewports = fake::only(calls, {"glViewport"});
    ASSERT_EQ(viewports.size(), 2u);
    EXPECT_EQ(viewports[0].context, nullptr) << "the early notification comes before any context";
    EXPECT_EQ(viewports[1].context, script.context);
    EXPECT_EQ(sizeAtGetDc, (std::vector<std::pair<int, int>>{{640, 480}}));
    EXPECT_EQ(sizeAtFirstPoll, (std::vector<std::pair<int, int>>{{800, 600}}));
}

// colorBits goes whole into the display record and, cut to its low 8 bits,
// into the pixel format request; the display record is the 148-byte one.
TEST(CubesWindow, ColourBitsReachTheRequestAndTheDisplayMode) {
    struct Case {
        int colorBits;
        bool fullscreen;
        BYTE requestBits;
    };
    for (const Case& c : {Case{32, true, 32}, Case{0x120, true, 0x20}, Case{0x110, false, 0x10}}) {
        SCOPED_TRACE(::testing::Message() << "colorBits " << c.colorBits << " fullscreen " << c.fullscreen);
        const fake::Script script;
        fake::reset(script);
        GlWindow window;
        EXPECT_TRUE(window.create(1024, 768, c.colorBits, c.fullscreen));

        const std::vector<Call>& calls = fake::calls();
        EXPECT_EQ(fake::without(calls, contract::lookupsAndDefaultProcessing),
                  contract::windowSetUpCalls(script, {"OpenGL", 1024, 768, c.fullscreen}));
        contract::expectPixelFormatRequest(calls, c.requestBits);
        if (c.fullscreen)
            contract::expectDisplayModeSwitch(calls, script, 148, static_cast<DWORD>(c.colorBits), 1024, 768);
        EXPECT_EQ(window.width, 1024);
        EXPECT_EQ(window.height, 768);
        EXPECT_EQ(window.fullscreen, c.fullscreen);
    }
}

// The window procedure: closing, destruction and Escape post the quit message
// with code 0; a size notification resizes g_window to the unsigned 16-bit
// halves of lParam (a height of 0 taken as 1); everything goes on to the
// default processing, whose result is returned.
struct ProcedureCase {
    const char* name;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool postsQuit;
    bool resizes;
    int width, height; // stored and given to the viewport when it resizes
};

const ProcedureCase procedureCases[] = {
    {"Close", WM_CLOSE, 0, 0, true, false, 0, 0},
    {"Destroy", WM_DESTROY, 0, 0, true, false, 0, 0},
    {"EscapeDown", WM_KEYDOWN, VK_ESCAPE, 0x00010001, true, false, 0, 0},
    {"OtherKeyDown", WM_KEYDOWN, VK_SPACE, 0x00390001, false, false, 0, 0},
    {"EscapeUp", WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0010001u), false, false, 0, 0},
    {"Other", WM_USER, 1, 2, false, false, 0, 0},
    {"Size", WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480), false, true, 640, 480},
    {"SizeUnsignedHalves", WM_SIZE, SIZE_RESTORED, MAKELPARAM(65535, 2), false, true, 65535, 2},
    {"SizeHighHalfAllOnes", WM_SIZE, SIZE_MAXIMIZED, static_cast<LPARAM>(0xFFFF0320u), false, true, 800,
     65535},
    {"SizeSignExtended", WM_SIZE, SIZE_MAXIMIZED, static_cast<LPARAM>(static_cast<int32_t>(0xFFFF0320u)),
     false, true, 800, 65535},
    {"SizeZeroHeight", WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 0), false, true, 640, 1},
    {"Minimised", WM_SIZE, SIZE_MINIMIZED, 0, false, true, 0, 1},
};

class CubesWindowProcedure : public ::testing::TestWithParam<ProcedureCase> {};

TEST_P(CubesWindowProcedure, HandlesThenPassesOnToDefaultProcessing) {
    const ProcedureCase& c = GetParam();
    const fake::Script script;
    fake::reset(script);
    g_window.width = -7;
    g_window.height = -7;
    const HWND someWindow = fake::handle<HWND>(0x2468);

    const LRESULT result = windowProc(someWindow, c.message, c.wParam, c.lParam);

    std::vector<Call> expected;
    if (c.postsQuit)
        expected.push_back(call("PostQuitMessage", {0}));
    if (c.resizes)
        expected.push_back(call("glViewport", {0, 0, c.width, c.height}));
    expected.push_back(call("DefWindowProcA", {someWindow, c.message, c.wParam, c.lParam}));
    EXPECT_EQ(fake::only(fake::calls(), {"PostQuitMessage", "DefWindowProcA", "glViewport"}), expected);
    EXPECT_EQ(result, script.defaultResult + c.message);
    EXPECT_EQ(g_window.width, c.resizes ? c.width : -7);
    EXPECT_EQ(g_window.height, c.resizes ? c.height : -7);
}

INSTANTIATE_TEST_SUITE_P(Messages, CubesWindowProcedure, ::testing::ValuesIn(procedureCases),
                         [](const ::testing::TestParamInfo<ProcedureCase>& info) { return info.param.name; });

// The tear-down releases in order, restoring the display only when it was
// switched, and leaves the fields as they were.
TEST(CubesWindow, DestroyReleasesEverythingInOrder) {
    for (bool fullscreen : {false, true}) {
        SCOPED_TRACE(fullscreen ? "full screen" : "windowed");
        const fake::Script script;
        fake::reset(script);
        GlWindow window;
        ASSERT_TRUE(window.create(800, 600, 32, fullscreen));
        fake::clearCalls();

        window.destroy();

        std::vector<Call> expected =
            contract::tearDownCalls(script.window, script.dc, script.context, fullscreen);
        expected.push_back(call("PostQuitMessage", {0})); // the window hears WM_DESTROY
        EXPECT_EQ(fake::without(fake::calls(), contract::lookupsAndDefaultProcessing), expected);
        EXPECT_EQ(fake::currentContext(), nullptr);
        EXPECT_EQ(window.hWnd, script.window);
        EXPECT_EQ(window.hDC, script.dc);
        EXPECT_EQ(window.hRC, script.context);
    }
}

} // namespace
