// cubes_demo's loop: a frame only on a pass that finds the queue empty, the
// quit message's code as the result, and the end after a failed set-up.
#include "cube_scene.h"
#include "cubes_program.h"
#include "window_layer_expectations.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

namespace {

using fake::call;
using fake::Call;
using fake::Value;

const std::set<std::string> passCalls = {"PeekMessageA", "TranslateMessage", "DispatchMessageA",
                                         "GetTickCount", "SwapBuffers",      "wglMakeCurrent"};

Call peek() {
    return call("PeekMessageA", {Value::text("&MSG"), nullptr, 0u, 0u, 1u});
}

// A backlog is drained one message per pass, with no frame, before the next
// frame; a frame is the scene (two tick readings) and then the swap.
TEST(CubesLoop, FramesOnlyOnPassesThatFindTheQueueEmpty) {
    fake::Script script;
    const HWND w = script.window;
    script.peeks = {fake::message(w, WM_KEYDOWN, 'A', 1),
                    fake::message(w, WM_CHAR, 'a', 1),
                    fake::message(w, WM_KEYUP, 'A', 1),
                    fake::emptyQueue(),
                    fake::message(w, WM_USER, 5, 6),
                    fake::emptyQueue(),
                    fake::emptyQueue()};
    script.quitCode = 7;
    EXPECT_EQ(contract::runCubesDemo(script), 7);

    std::vector<Call> expected;
    for (const fake::Peek& found : script.peeks) {
        expected.push_back(peek());
        if (found.found) {
            const MSG& m = found.message;
            expected.push_back(call("TranslateMessage", {m.hwnd, m.message, m.wParam, m.lParam}));
            expected.push_back(call("DispatchMessageA", {m.hwnd, m.message, m.wParam, m.lParam}));
        } else {
            expected.push_back(call("GetTickCount"));
            expected.push_back(call("GetTickCount"));
            expected.push_back(call("SwapBuffers", {script.dc}));
        }
    }
    expected.push_back(peek());
    expected.push_back(call("wglMakeCurrent", {nullptr, nullptr}));
    const std::vector<Call> loop = contract::fromTheLoopOn(fake::calls());
    EXPECT_EQ(fake::only(loop, passCalls), expected);

    // The swap comes right after the scene's last call.
    for (size_t at = 1; at < loop.size(); ++at) {
        if (loop[at].name == "SwapBuffers") {
            EXPECT_EQ(loop[at - 1], call("glPopMatrix"));
        }
    }
}

// Whatever code the quit message carries becomes WinMain's result; the quit
// message itself is neither translated nor dispatched, and the window is
// torn down once. Escape and closing end with 0; after a close the window is
// already gone, and the tear-down still runs all of its steps.
struct EndCase {
    const char* name;
    std::vector<fake::Peek> peeks;
    int exitCode;
};

const HWND window = fake::Script().window;

const EndCase endCases[] = {
    {"QuitCode0", {fake::message(NULL, WM_QUIT, 0, 0)}, 0},
    {"QuitCode7AfterAFrame", {fake::emptyQueue(), fake::message(NULL, WM_QUIT, 7, 0)}, 7},
    {"QuitCode255", {fake::message(window, WM_USER, 0, 0), fake::message(NULL, WM_QUIT, 255, 0)}, 255},
    {"Escape", {fake::message(window, WM_KEYDOWN, VK_ESCAPE, 0x00010001)}, 0},
    {"CloseTheWindow", {fake::message(window, WM_CLOSE, 0, 0)}, 0},
};

class CubesLoopEnd : public ::testing::TestWithParam<EndCase> {};

TEST_P(CubesLoopEnd, ReturnsTheQuitCodeAfterTearingDown) {
    fake::Script script;
    script.peeks = GetParam().peeks;
    script.quitCode = 99; // would show if the loop polled past the quit message
    EXPECT_EQ(contract::runCubesDemo(script), GetParam().exitCode);

    const std::vector<Call> loop = contract::fromTheLoopOn(fake::calls());
    const size_t lastPeek = fake::lastIndexOf(loop, "PeekMessageA");
    const std::vector<Call> after(loop.begin() + lastPeek + 1, loop.end());
    EXPECT_EQ(fake::without(after, {"DefWindowProcA", "PostQuitMessage"}),
              contract::tearDownCalls(script.window, script.dc, script.context, false));
    EXPECT_EQ(fake::countOf(loop, "wglDeleteContext"), 1u);
    for (const Call& made : fake::only(loop, {"TranslateMessage", "DispatchMessageA", "DefWindowProcA"}))
        EXPECT_NE(made.args[1], Value(WM_QUIT)) << made;
}

INSTANTIATE_TEST_SUITE_P(Ways, CubesLoopEnd, ::testing::ValuesIn(endCases),
                         [](const ::testing::TestParamInfo<EndCase>& info) { return info.param.name; });

// After a failed set-up the program tears down what the window holds and
// returns 1, without setting the scene's state or entering the loop.
TEST(CubesLoop, FailedSetUpEndsWithoutInitOrLoop) {
    struct Case {
        const char* name;
        void (*breakStep)(fake::Script&);
        bool contextKept;
    };
    const Case cases[] = {
        {"ChooseFails", [](fake::Script& s) { s.pixelFormat = 0; }, false},
        {"MakeCurrentFails", [](fake::Script& s) { s.makeCurrentResult = FALSE; }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake::Script script;
        c.breakStep(script);
        EXPECT_EQ(contract::runCubesDemo(script), 1);

        const std::vector<Call>& calls = fake::calls();
        const size_t box = fake::indexOf(calls, "MessageBoxA");
        ASSERT_LT(box, calls.size());
        const std::vector<Call> after(calls.begin() + box + 1, calls.end());
        EXPECT_EQ(
            fake::without(after, {"DefWindowProcA", "PostQuitMessage"}),
            contract::tearDownCalls(script.window, script.dc, c.contextKept ? script.context : NULL, false));
        EXPECT_EQ(fake::countOf(calls, "glEnable"), 0u);
        EXPECT_EQ(fake::countOf(calls, "glShadeModel"), 0u);
        EXPECT_EQ(fake::countOf(calls, "PeekMessageA"), 0u);
    }
}

} // namespace
