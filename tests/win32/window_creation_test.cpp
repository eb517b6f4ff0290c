// Window classes and window creation: the messages CreateWindowExA sends, the
// refusals it honours, and the X window other clients see.
#include "recording_window.h"

#include <X11/Xutil.h>
#include <algorithm>
#include <string>

namespace layer_test {
namespace {

using WindowCreation = LayerTest;

TEST_F(WindowCreation, SendsNcCreateCreateThenSizeWithTheClientSize) {
    HWND window = framedWindow("creation messages");
    ASSERT_NE(window, nullptr);

    EXPECT_TRUE(sequenceIs(deliveredTo(window), {sent(WM_NCCREATE), sent(WM_CREATE),
                                                 sent(WM_SIZE, SIZE_RESTORED, MAKELPARAM(800, 600))}));
    RECT client{};
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right - client.left, 800);
    EXPECT_EQ(client.bottom - client.top, 600);
}

// What the procedure could do with its handle while WM_NCCREATE was being sent.
struct SeenInNcCreate {
    bool called = false;
    bool isWindow = false;
    bool hasDc = false;
    bool sendReached = false;
    LPVOID createParam = nullptr;
    std::string name;
};

TEST_F(WindowCreation, TheHandleIsUsableInsideNcCreate) {
    SeenInNcCreate seen;
    react([&](HWND window, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            seen.called = true;
            seen.isWindow = IsWindow(window) != FALSE;
            seen.hasDc = GetDC(window) != nullptr;
            seen.sendReached = SendMessageA(window, WM_USER + 7, 0, 0) == 77;
            seen.createParam = create->lpCreateParams;
            seen.name = create->lpszName ? create->lpszName : "";
        }
        if (message == WM_USER + 7)
            return 77;
        return std::nullopt;
    });
    int marker = 0;
    HWND window =
        keep(createRecordingWindow("inside nccreate", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, &marker));

    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(seen.called);
    EXPECT_TRUE(seen.isWindow);
    EXPECT_TRUE(seen.hasDc);
    EXPECT_TRUE(seen.sendReached);
    EXPECT_EQ(seen.createParam, &marker);
    EXPECT_EQ(seen.name, "inside nccreate");
    EXPECT_EQ(deliveredTo(window).front().window, window) << "the first message named another handle";
}

struct CreationRefusal {
    const char* name;
    UINT refusingMessage;
    LRESULT answer;
};

void PrintTo(const CreationRefusal& refusal, std::ostream* out) {
    *out << refusal.name;
}

class RefusedCreation : public LayerTest, public ::testing::WithParamInterface<CreationRefusal> {};

TEST_P(RefusedCreation, FailsAndLeavesNoWindow) {
    const CreationRefusal& refusal = GetParam();
    ::Window xWindow = 0;
    react([&](HWND window, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_NCCREATE)
            xWindow = xWindowOf(window);
        if (message == refusal.refusingMessage)
            return refusal.answer;
        return std::nullopt;
    });

    HWND window = createFramedWindow(refusal.name);

    EXPECT_EQ(window, nullptr);
    ASSERT_FALSE(messageLog().empty());
    HWND seenHandle = messageLog().front().window;
    EXPECT_FALSE(IsWindow(seenHandle));
    bool reachedRefusal = false;
    for (const Delivered& d : deliveredTo(seenHandle)) {
        EXPECT_FALSE(reachedRefusal && (d.message == WM_CREATE || d.message == WM_SIZE))
            << "message 0x" << std::hex << d.message << " after the refusal";
        reachedRefusal = reachedRefusal || d.message == refusal.refusingMessage;
    }
    EXPECT_TRUE(reachedRefusal);
    ASSERT_NE(xWindow, 0u);
    EXPECT_TRUE(pumpUntil([&] { return !observer.exists(xWindow); })) << "the X window was left behind";
}

const CreationRefusal refusals[] = {
    {"NcCreateReturnsFalse", WM_NCCREATE, FALSE},
    {"CreateReturnsMinusOne", WM_CREATE, -1},
};

INSTANTIATE_TEST_SUITE_P(Answers, RefusedCreation, ::testing::ValuesIn(refusals),
                         [](const ::testing::TestParamInfo<CreationRefusal>& info) {
                             return info.param.name;
                         });

TEST_F(WindowCreation, FramedWindowIsTheClientAreaHiddenUntilShown) {
    HWND window = framedWindow("framed 800x600");
    ASSERT_NE(window, nullptr);
    ::Window xWindow = xWindowOf(window);
    pumpMessages(); // a program's loop sends the layer's requests on their way

    std::optional<ServerGeometry> before = observer.geometry(xWindow);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->width, 800u);
    EXPECT_EQ(before->height, 600u);
    EXPECT_EQ(before->mapState, IsUnmapped);
    EXPECT_EQ(observer.wmName(xWindow), "framed 800x600");
    EXPECT_EQ(observer.wmClassClass(xWindow), recordingClassName());
    std::vector<std::string> protocols = observer.protocols(xWindow);
    EXPECT_NE(std::find(protocols.begin(), protocols.end(), "WM_DELETE_WINDOW"), protocols.end());
    EXPECT_TRUE(observer.longsOf(xWindow, "_MOTIF_WM_HINTS").empty()) << "a framed window asked for no frame";

    messageLog().clear();
    EXPECT_FALSE(ShowWindow(window, SW_SHOW)) << "reported as visible before";
    EXPECT_TRUE(ShowWindow(window, SW_SHOW)) << "not reported as visible";

    EXPECT_TRUE(sequenceIs(deliveredTo(window), {sent(WM_SHOWWINDOW, TRUE)}));
    std::optional<ServerGeometry> after = observer.geometry(xWindowOf(window));
    ASSERT_TRUE(after);
    EXPECT_EQ(after->mapState, IsViewable);
    EXPECT_EQ(after->width, 800u);
    EXPECT_EQ(after->height, 600u);
}

struct PopupPlacement {
    const char* name;
    int x, y;
};

void PrintTo(const PopupPlacement& placement, std::ostream* out) {
    *out << placement.name;
}

class Popup : public LayerTest, public ::testing::WithParamInterface<PopupPlacement> {};

TEST_P(Popup, SitsAtTheOriginUndecoratedWithItsFullGivenSize) {
    // The size a framed 800x600 window asks for: a pop-up must not take the frame off.
    RECT rect{0, 0, 800, 600};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    ASSERT_GT(width, 800);
    HWND window = keep(createRecordingWindow(GetParam().name, WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                             GetParam().x, GetParam().y, width, height));
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    ::Window xWindow = xWindowOf(window);

    std::optional<ServerGeometry> seen = observer.geometry(xWindow);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->rootX, 0);
    EXPECT_EQ(seen->rootY, 0);
    EXPECT_EQ(seen->width, static_cast<unsigned>(width));
    EXPECT_EQ(seen->height, static_cast<unsigned>(height));
    EXPECT_TRUE(sequenceIs(deliveredTo(window), {sent(WM_NCCREATE), sent(WM_CREATE),
                                                 sent(WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height)),
                                                 sent(WM_SHOWWINDOW, TRUE)}));
    std::vector<long> motif = observer.longsOf(xWindow, "_MOTIF_WM_HINTS");
    ASSERT_GE(motif.size(), 3u) << "no _MOTIF_WM_HINTS";
    EXPECT_TRUE(motif[0] & 2) << "the decorations field is not marked as set";
    EXPECT_EQ(motif[2], 0) << "decorations asked for";
}

const PopupPlacement popupPlacements[] = {
    {"AtZeroZero", 0, 0},
    {"AtDefaultPosition", CW_USEDEFAULT, CW_USEDEFAULT},
};

INSTANTIATE_TEST_SUITE_P(Placements, Popup, ::testing::ValuesIn(popupPlacements),
                         [](const ::testing::TestParamInfo<PopupPlacement>& info) {
                             return info.param.name;
                         });

LRESULT CALLBACK unusedProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST(WindowClasses, ANameRegistersOnceWhateverItsCase) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = unusedProcedure;
    windowClass.lpszClassName = "RegisteredOnce";
    ASSERT_NE(RegisterClassA(&windowClass), 0);

    for (const char* name : {"RegisteredOnce", "REGISTEREDONCE"}) {
        windowClass.lpszClassName = name;
        SetLastError(0);
        EXPECT_EQ(RegisterClassA(&windowClass), 0) << name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS)) << name;
    }
}

TEST(WindowClasses, AnUnknownClassCreatesNothing) {
    SetLastError(0);
    HWND window = CreateWindowExA(0, "NeverRegistered", "no class", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

} // namespace
} // namespace layer_test
