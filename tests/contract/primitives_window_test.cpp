// primitives_demo's window: the set-up that WinMain has the layer make, the
// failure paths, full screen, and the window procedure.
#include "gl_window.h"
#include "run_program.h"
#include "window_layer_expectations.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

namespace {

using fake::call;
using fake::Call;
using fake::Value;

const contract::WindowRequest programWindow = {"GLCLASS", 800, 600, false};

const std::vector<Call> culling = {call("glEnable", {GL_CULL_FACE}), call("glCullFace", {GL_BACK}),
                                   call("glFrontFace", {GL_CCW})};

std::vector<Call> joined(std::initializer_list<std::vector<Call>> parts) {
    std::vector<Call> all;
    for (const std::vector<Call>& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(PrimitivesWindow, SetUpMakesTheWindowThenSetsCullingThenLoops) {
    const fake::Script script;
    EXPECT_EQ(contract::runWinMain(script), 0);
    const std::vector<Call>& calls = fake::calls();

    const std::vector<Call> expected = joined({
        {call("GetTickCount")},
        contract::windowSetUpCalls(script, programWindow),
        culling,
        {call("PeekMessageA", {Value::text("&MSG"), nullptr, 0u, 0u, 1u})},
        contract::tearDownCalls(script.window, script.dc, script.context, false),
    });
    EXPECT_EQ(fake::without(calls, contract::lookupsAndDefaultProcessing), expected);
    contract::expectClassRecord(calls, script, "GLCLASS", windowProc);
    contract::expectPixelFormatRequest(calls, 32);

    for (const Call& made : fake::only(calls, {"glViewport", "glEnable", "glCullFace", "glFrontFace"}))
        EXPECT_EQ(made.context, script.context) << made << " needs the window's context current";
}

// Full screen: the display is switched to the requested size at 32 bits per
// pixel before a pop-up window of the framed outer size is created. Whether
// the switch worked is not looked at.
TEST(PrimitivesWindow, FullScreenSwitchesTheDisplayAndCreatesAPopUp) {
    for (LONG switchResult : {DISP_CHANGE_SUCCESSFUL, DISP_CHANGE_BADMODE}) {
        SCOPED_TRACE(switchResult);
        fake::Script script;
        script.changeDisplayResult = switchResult;
        fake::reset(script);

        GlWindow window;
        EXPECT_TRUE(window.create(1024, 768, true));

        const std::vector<Call>& calls = fake::calls();
        EXPECT_EQ(fake::without(calls, contract::lookupsAndDefaultProcessing),
                  contract::windowSetUpCalls(script, {"GLCLASS", 1024, 768, true}));
        contract::expectDisplayModeSwitch(calls, script, 156, 32, 1024, 768);
        EXPECT_EQ(window.hWnd, script.window);
        EXPECT_EQ(window.hDC, script.dc);
        EXPECT_EQ(window.hRC, script.context);
        EXPECT_TRUE(window.fullscreen);
        EXPECT_EQ(fake::currentContext(), script.context);
    }
}

// Each failing step: its message box, nothing after it, nothing undone before
// the box; then culling as after any create, and WinMain tears down what the
// window holds and ends with 1 instead of looping invisibly.
struct FailureCase {
    const char* name;
    void (*breakStep)(fake::Script&);
    const char* failingStep;
    const char* text;
    bool dcObtained;  // hDC holds what GetDC returned
    bool contextKept; // hRC holds a live context that is not deleted before the box
};

const FailureCase failureCases[] = {
    {"NoWindow", [](fake::Script& s) { s.window = NULL; }, "CreateWindowExA", "Failed to create the window.",
     false, false},
    {"NoDeviceContext", [](fake::Script& s) { s.dc = NULL; }, "GetDC", "Failed to get the device context.",
     true, false},
    {"ChooseFails", [](fake::Script& s) { s.pixelFormat = 0; }, "ChoosePixelFormat",
     "Failed to choose pixel format.", true, false},
    {"SetFails", [](fake::Script& s) { s.setPixelFormatResult = FALSE; }, "SetPixelFormat",
     "Failed to set pixel format.", true, false},
    {"NoContext", [](fake::Script& s) { s.context = NULL; }, "wglCreateContext",
     "Failed to create the OpenGL rendering context.", true, false},
    {"MakeCurrentFails", [](fake::Script& s) { s.makeCurrentResult = FALSE; }, "wglMakeCurrent",
     "Failed to make current the OpenGL rendering context.", true, true},
};

class PrimitivesWindowFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(PrimitivesWindowFailure, ShowsItsBoxThenEndsTheProgram) {
    const FailureCase& failure = GetParam();
    fake::Script script;
    failure.breakStep(script);
    EXPECT_EQ(contract::runWinMain(script), 1);

    const std::vector<Call> setUp = contract::windowSetUpCalls(script, programWindow);
    const size_t failing = fake::indexOf(setUp, failure.failingStep);
    ASSERT_LT(failing, setUp.size());
    const std::vector<Call> stepsTaken(setUp.begin(), setUp.begin() + failing + 1);
    // The box is owned by the window, or by nothing when there is none.
    const Call box =
        call("MessageBoxA", {script.window, Value::text(failure.text), Value::text("ERROR"), 0u});
    const HDC heldDc = failure.dcObtained ? script.dc : NULL;
    const HGLRC heldContext = failure.contextKept ? script.context : NULL;

    const std::vector<Call> expected = joined({
        {call("GetTickCount")},
        stepsTaken,
        {box},
        culling,
        contract::tearDownCalls(script.window, heldDc, heldContext, false),
    });
    EXPECT_EQ(fake::without(fake::calls(), contract::lookupsAndDefaultProcessing), expected);
}

INSTANTIATE_TEST_SUITE_P(EachStep, PrimitivesWindowFailure, ::testing::ValuesIn(failureCases),
                         [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

// The window procedure: Escape and closing post the quit message with code 0;
// everything, handled or not, goes on to the default processing with the
// same four values, whose result is returned.
struct ProcedureCase {
    const char* name;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool postsQuit;
};

const ProcedureCase procedureCases[] = {
    {"Close", WM_CLOSE, 0, 0, true},
    {"EscapeDown", WM_KEYDOWN, VK_ESCAPE, 0x00010001, true},
    {"OtherKeyDown", WM_KEYDOWN, 'Q', 0x00100001, false},
    {"EscapeUp", WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0010001u), false},
    {"EscapeCharacter", WM_CHAR, 0x1B, 0x00010001, false},
    {"Destroy", WM_DESTROY, 0, 0, false},
    {"Size", WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480), false},
    {"Other", WM_USER + 5, 0x1234, -1, false},
};

class PrimitivesWindowProcedure : public ::testing::TestWithParam<ProcedureCase> {};

TEST_P(PrimitivesWindowProcedure, PostsQuitOnlyForCloseAndEscape) {
    const ProcedureCase& c = GetParam();
    const fake::Script script;
    fake::reset(script);
    const HWND someWindow = fake::handle<HWND>(0x2468);

    const LRESULT result = windowProc(someWindow, c.message, c.wParam, c.lParam);

    std::vector<Call> expected;
    if (c.postsQuit)
        expected.push_back(call("PostQuitMessage", {0}));
    expected.push_back(call("DefWindowProcA", {someWindow, c.message, c.wParam, c.lParam}));
    EXPECT_EQ(fake::only(fake::calls(), {"PostQuitMessage", "DefWindowProcA", "glViewport"}), expected);
    EXPECT_EQ(result, script.defaultResult + c.message);
}

INSTANTIATE_TEST_SUITE_P(Messages, PrimitivesWindowProcedure, ::testing::ValuesIn(procedureCases),
                         [](const ::testing::TestParamInfo<ProcedureCase>& info) { return info.param.name; });

} // namespace
