// primitives_demo's loop: one message per pass, a measured time step and a
// frame on every pass, and the end on WM_QUIT.
#include "run_program.h"
#include "window_layer_expectations.h"

#include <gtest/gtest.h>

class PrimitivesApp;

// Link seam (see CMakeLists.txt): the linker sends the loop's calls of
// PrimitivesApp::update here, so that the time step it is given can be seen.
// The hook has no effect of its own in this program.
extern "C" void __wrap__ZN13PrimitivesApp6updateEf(PrimitivesApp*, float timeStep) {
    fake::recordSeamCall(fake::call("PrimitivesApp::update", {timeStep}));
}

namespace {

using fake::call;
using fake::Call;
using fake::Value;

const std::set<std::string> passCalls = {"PeekMessageA",          "TranslateMessage", "DispatchMessageA",
                                         "GetTickCount",          "glClear",          "SwapBuffers",
                                         "PrimitivesApp::update", "wglMakeCurrent"};

Call peek() {
    return call("PeekMessageA", {Value::text("&MSG"), nullptr, 0u, 0u, 1u});
}

// One pass as the loop's calls show it: the message it removed (if any)
// translated and dispatched, a tick sample, the update and the frame.
std::vector<Call> pass(const fake::Script& script, const fake::Peek& found, float timeStep) {
    std::vector<Call> calls = {peek()};
    if (found.found) {
        const MSG& m = found.message;
        calls.push_back(call("TranslateMessage", {m.hwnd, m.message, m.wParam, m.lParam}));
        calls.push_back(call("DispatchMessageA", {m.hwnd, m.message, m.wParam, m.lParam}));
    }
    calls.push_back(call("GetTickCount"));
    calls.push_back(call("PrimitivesApp::update", {timeStep}));
    calls.push_back(call("glClear", {0x4000u}));
    calls.push_back(call("SwapBuffers", {script.dc}));
    return calls;
}

TEST(PrimitivesLoop, EveryPassDrawsAFrameAlsoAfterDispatchingAMessage) {
    fake::Script script;
    script.peeks = {fake::message(script.window, WM_KEYDOWN, 'A', 0x001E0001), fake::emptyQueue(),
                    fake::message(script.window, WM_USER, 1, 2)};
    EXPECT_EQ(contract::runWinMain(script), 0);

    std::vector<Call> expected;
    for (const fake::Peek& found : script.peeks) {
        const std::vector<Call> one = pass(script, found, 0.0f);
        expected.insert(expected.end(), one.begin(), one.end());
    }
    expected.push_back(peek());
    expected.push_back(call("wglMakeCurrent", {nullptr, nullptr}));
    EXPECT_EQ(fake::only(contract::fromTheLoopOn(fake::calls()), passCalls), expected);
}

// However the quit message comes, the pass that removes it ends the loop at
// once: no tick sample, no update, no frame; then the window is torn down and
// WinMain returns 0 whatever code the message carries.
struct EndCase {
    const char* name;
    std::vector<fake::Peek> peeks;
    size_t frames;
};

const HWND window = fake::Script().window;

const EndCase endCases[] = {
    {"QuitWithCode7FromElsewhere", {fake::emptyQueue(), fake::message(NULL, WM_QUIT, 7, 0)}, 1},
    {"QuitAfterABacklog",
     {fake::message(window, WM_USER, 0, 0), fake::message(window, WM_USER, 1, 0),
      fake::message(NULL, WM_QUIT, 0xFFFF, 0)},
     2},
    {"Escape", {fake::message(window, WM_KEYDOWN, VK_ESCAPE, 0x00010001)}, 1},
    {"CloseTheWindow", {fake::message(window, WM_CLOSE, 0, 0)}, 1},
};

class PrimitivesLoopEnd : public ::testing::TestWithParam<EndCase> {};

TEST_P(PrimitivesLoopEnd, EndsOnThePassThatRemovesWmQuitWithExitCode0) {
    fake::Script script;
    script.peeks = GetParam().peeks;
    script.quitCode = 99; // would show if the loop polled past the quit message
    EXPECT_EQ(contract::runWinMain(script), 0);

    const std::vector<Call> loop = contract::fromTheLoopOn(fake::calls());
    EXPECT_EQ(fake::countOf(loop, "SwapBuffers"), GetParam().frames);
    EXPECT_EQ(fake::countOf(loop, "PeekMessageA"), GetParam().frames + 1);

    // After the last poll: the tear-down and nothing else.
    const size_t lastPeek = fake::lastIndexOf(loop, "PeekMessageA");
    const std::vector<Call> after(loop.begin() + lastPeek + 1, loop.end());
    EXPECT_EQ(fake::without(after, contract::lookupsAndDefaultProcessing),
              contract::tearDownCalls(script.window, script.dc, script.context, false));
    for (const Call& made : fake::only(loop, {"TranslateMessage", "DispatchMessageA", "DefWindowProcA"}))
        EXPECT_NE(made.args[1], Value(WM_QUIT)) << made;
}

INSTANTIATE_TEST_SUITE_P(Ways, PrimitivesLoopEnd, ::testing::ValuesIn(endCases),
                         [](const ::testing::TestParamInfo<EndCase>& info) { return info.param.name; });

// The time step is the tick difference in seconds: the first from the sample
// taken before set-up, each later one from the previous pass's sample, across
// the tick count's wrap, and exactly 0 for equal ticks.
TEST(PrimitivesLoop, TimeStepsAreTickDifferencesInSeconds) {
    struct Step {
        DWORD tick;
        bool message;
        float timeStep;
    };
    const DWORD beforeSetUp = 0xFFFFFF00u;
    const Step steps[] = {
        {0xFFFFFFE0u, false, 0.224f},                                // includes set-up
        {0xFFFFFFF0u, true, 0.016f},                                 // a pass that dispatched a message
        {0xFFFFFFF0u, false, 0.0f},                                  // the tick did not move
        {0x00000010u, false, 0.032f},                                // across the wrap
        {0x000003F8u, false, 1.0f},   {0x000003F0u, false, -0.008f}, // the difference is read as signed
    };

    fake::Script script;
    script.ticks = {beforeSetUp};
    std::vector<Call> expected;
    for (const Step& step : steps) {
        script.ticks.push_back(step.tick);
        script.peeks.push_back(step.message ? fake::message(script.window, WM_USER, 0, 0)
                                            : fake::emptyQueue());
        const std::vector<Call> one = pass(script, script.peeks.back(), step.timeStep);
        expected.insert(expected.end(), one.begin(), one.end());
    }
    expected.push_back(peek());
    expected.push_back(call("wglMakeCurrent", {nullptr, nullptr}));
    EXPECT_EQ(contract::runWinMain(script), 0);

    const std::vector<Call>& calls = fake::calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), call("GetTickCount")) << "the first sample comes before any set-up";
    EXPECT_EQ(fake::countOf(calls, "GetTickCount"), script.ticks.size());
    EXPECT_EQ(fake::only(contract::fromTheLoopOn(calls), passCalls), expected);
}

TEST(PrimitivesLoop, TheArgumentsOfWinMainChangeNothing) {
    fake::Script script;
    script.peeks = {fake::emptyQueue()};
    contract::runWinMain(script);
    const std::vector<Call> plain = fake::calls();

    fake::reset(script);
    char commandLine[] = "-fullscreen 1024 768";
    EXPECT_EQ(WinMain(fake::handle<HINSTANCE>(0x7777), fake::handle<HINSTANCE>(0x8888), commandLine, SW_HIDE),
              0);
    EXPECT_EQ(fake::calls(), plain);
}

} // namespace
