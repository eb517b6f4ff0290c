// What the X server reports, turned into messages: real key presses through
// XTest, the window manager's close request and size changes made by another
// client.
#include "recording_window.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <string>
#include <vector>

namespace layer_test {
namespace {

class FocusedWindow : public LayerTest {
  protected:
    void SetUp() override {
        LayerTest::SetUp();
        window = framedWindow("input");
        ASSERT_NE(window, nullptr);
        ASSERT_NO_FATAL_FAILURE(showAndFocus(window));
        xWindow = xWindowOf(window);
    }

    HWND window = nullptr;
    ::Window xWindow = 0;
};

struct KeyAction {
    unsigned long keysym;
    bool press;
};

struct KeyCase {
    const char* name;
    std::vector<KeyAction> actions;
    std::vector<Expected> messages;
};

void PrintTo(const KeyCase& c, std::ostream* out) {
    *out << c.name;
}

class Keys : public FocusedWindow, public ::testing::WithParamInterface<KeyCase> {};

// lParam of a key message: repeat count 1, the scan code in bits 16-23, bit 30
// the key's previous state, bit 31 set on release.
constexpr LPARAM keyParam(unsigned scanCode, bool wasDown, bool releasing) {
    return static_cast<LPARAM>(1u | scanCode << 16 | (wasDown ? 1u << 30 : 0u) | (releasing ? 1u << 31 : 0u));
}

constexpr unsigned escapeScan = 0x01, aScan = 0x1E, shiftScan = 0x2A;

TEST_P(Keys, ArriveAsKeyMessagesWithTheirCharacters) {
    for (const KeyAction& action : GetParam().actions)
        observer.key(action.keysym, action.press);
    // F1 behind them: once its release is through, everything before it is too.
    observer.key(XK_F1, true);
    observer.key(XK_F1, false);

    EXPECT_TRUE(pumpUntil([&] { return wasDelivered(window, posted(WM_KEYUP, VK_F1)); }))
        << "F1's release did not arrive";

    std::vector<Expected> expected = GetParam().messages;
    expected.push_back(posted(WM_KEYDOWN, VK_F1));
    expected.push_back(posted(WM_KEYUP, VK_F1));
    EXPECT_TRUE(sequenceIs(deliveredTo(window), expected));
}

const KeyCase keyCases[] = {
    {"Escape",
     {{XK_Escape, true}, {XK_Escape, false}},
     {posted(WM_KEYDOWN, VK_ESCAPE, keyParam(escapeScan, false, false)),
      posted(WM_CHAR, 0x1B, keyParam(escapeScan, false, false)),
      posted(WM_KEYUP, VK_ESCAPE, keyParam(escapeScan, true, true))}},
    {"LetterA",
     {{XK_a, true}, {XK_a, false}},
     {posted(WM_KEYDOWN, 'A', keyParam(aScan, false, false)),
      posted(WM_CHAR, 'a', keyParam(aScan, false, false)),
      posted(WM_KEYUP, 'A', keyParam(aScan, true, true))}},
    {"ShiftedLetter",
     {{XK_Shift_L, true}, {XK_a, true}, {XK_a, false}, {XK_Shift_L, false}},
     {posted(WM_KEYDOWN, VK_SHIFT, keyParam(shiftScan, false, false)),
      posted(WM_KEYDOWN, 'A', keyParam(aScan, false, false)),
      posted(WM_CHAR, 'A', keyParam(aScan, false, false)), posted(WM_KEYUP, 'A', keyParam(aScan, true, true)),
      posted(WM_KEYUP, VK_SHIFT, keyParam(shiftScan, true, true))}},
};

INSTANTIATE_TEST_SUITE_P(Presses, Keys, ::testing::ValuesIn(keyCases),
                         [](const ::testing::TestParamInfo<KeyCase>& info) { return info.param.name; });

using HeldKey = FocusedWindow;

// The server repeats a key held past its repeat delay. (It ignores a second
// synthetic press of a key that is already down, so the key is really held.)
TEST_F(HeldKey, RepeatsKeyDownWithThePreviousStateAndReleasesOnce) {
    observer.key(XK_a, true);
    auto keyDowns = [&] {
        int count = 0;
        for (const Delivered& d : deliveredTo(window))
            count += d.message == WM_KEYDOWN && d.wParam == 'A';
        return count;
    };
    bool repeated = pumpUntil([&] { return keyDowns() >= 3; }, 5000);
    observer.key(XK_a, false);
    observer.key(XK_F1, true);
    observer.key(XK_F1, false);
    ASSERT_TRUE(pumpUntil([&] { return wasDelivered(window, posted(WM_KEYUP, VK_F1)); }));
    ASSERT_TRUE(repeated) << "the held key was not repeated";

    std::vector<Expected> expected = {posted(WM_KEYDOWN, 'A', keyParam(aScan, false, false)),
                                      posted(WM_CHAR, 'a', keyParam(aScan, false, false))};
    for (int i = 1; i < keyDowns(); ++i) {
        expected.push_back(posted(WM_KEYDOWN, 'A', keyParam(aScan, true, false)));
        expected.push_back(posted(WM_CHAR, 'a', keyParam(aScan, true, false)));
    }
    expected.push_back(posted(WM_KEYUP, 'A', keyParam(aScan, true, true)));
    expected.push_back(posted(WM_KEYDOWN, VK_F1));
    expected.push_back(posted(WM_KEYUP, VK_F1));
    EXPECT_TRUE(sequenceIs(deliveredTo(window), expected));
}

using CloseRequest = FocusedWindow;

TEST_F(CloseRequest, IsSentAsWmCloseBeforeTheQueueIsServed) {
    react([](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_CLOSE)
            return 0; // the program decides when to end
        return std::nullopt;
    });
    ASSERT_TRUE(PostMessageA(window, WM_USER + 1, 0, 0));
    observer.requestClose(xWindow);
    layerRoundTrip();

    ASSERT_TRUE(pumpOne());

    EXPECT_TRUE(sequenceIs(deliveredTo(window), {sent(WM_CLOSE), posted(WM_USER + 1)}));
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(CloseRequest, LeftToTheDefaultProcedureDestroysTheWindow) {
    observer.requestClose(xWindow);

    EXPECT_TRUE(pumpUntil([&] { return !IsWindow(window); }));

    EXPECT_TRUE(sequenceIs(deliveredTo(window), {sent(WM_CLOSE), sent(WM_DESTROY), sent(WM_NCDESTROY)}));
}

using SizeChange = FocusedWindow;

TEST_F(SizeChange, IsSentOnceWithTheNewClientSizeAndAMoveSendsNothing) {
    observer.resize(xWindow, 640, 480);
    ASSERT_TRUE(pumpUntil([&] { return wasDelivered(window, sent(WM_SIZE)); }));
    observer.move(xWindow, 40, 30);
    // The next size change comes behind the move: once it is through, so is the move.
    observer.resize(xWindow, 320, 200);
    ASSERT_TRUE(
        pumpUntil([&] { return wasDelivered(window, sent(WM_SIZE, SIZE_RESTORED, MAKELPARAM(320, 200))); }));
    pumpMessages();

    EXPECT_TRUE(sequenceIs(deliveredTo(window), {sent(WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480)),
                                                 sent(WM_SIZE, SIZE_RESTORED, MAKELPARAM(320, 200))}));
    RECT client{};
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 200);
}

TEST_F(SizeChange, FollowsMinimisingAndRestoringByTheWindowManager) {
    observer.setWmState(xWindow, IconicState);
    ASSERT_TRUE(pumpUntil([&] { return wasDelivered(window, sent(WM_SIZE, SIZE_MINIMIZED)); }));
    observer.setWmState(xWindow, NormalState);
    ASSERT_TRUE(pumpUntil([&] { return wasDelivered(window, sent(WM_SIZE, SIZE_RESTORED)); }));
    pumpMessages();

    EXPECT_TRUE(sequenceIs(deliveredTo(window), {sent(WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 0)),
                                                 sent(WM_SIZE, SIZE_RESTORED, MAKELPARAM(800, 600))}));
}

} // namespace
} // namespace layer_test
