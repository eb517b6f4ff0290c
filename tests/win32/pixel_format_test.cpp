// Pixel formats on a real GLX server: the programs' request, setting a format
// once, and the refusals.
#include "pixel_format_request.h"
#include "recording_window.h"

#include <algorithm>
#include <string>
#include <vector>

namespace layer_test {
namespace {

class PixelFormats : public LayerTest {
  protected:
    void SetUp() override {
        LayerTest::SetUp();
        window = framedWindow("pixel formats");
        ASSERT_NE(window, nullptr);
        deviceContext = GetDC(window);
        ASSERT_NE(deviceContext, nullptr);
        formatCount = DescribePixelFormat(deviceContext, 1, 0, nullptr);
        ASSERT_GT(formatCount, 1) << "the server offers fewer than two pixel formats";
        messageLog().clear();
    }

    HWND window = nullptr;
    HDC deviceContext = nullptr;
    int formatCount = 0;
};

TEST_F(PixelFormats, TheProgramsRequestGetsADoubleBufferedRgbaFormat) {
    PIXELFORMATDESCRIPTOR request = programsPixelFormatRequest();
    ASSERT_EQ(request.nSize, 40);

    int chosen = ChoosePixelFormat(deviceContext, &request);

    ASSERT_GE(chosen, 1);
    ASSERT_LE(chosen, formatCount);
    PIXELFORMATDESCRIPTOR description{};
    EXPECT_EQ(DescribePixelFormat(deviceContext, chosen, sizeof description, &description), formatCount);
    EXPECT_EQ(description.nSize, sizeof description);
    EXPECT_EQ(description.nVersion, 1);
    EXPECT_TRUE(description.dwFlags & PFD_DOUBLEBUFFER);
    EXPECT_TRUE(description.dwFlags & PFD_DRAW_TO_WINDOW);
    EXPECT_TRUE(description.dwFlags & PFD_SUPPORT_OPENGL);
    EXPECT_EQ(description.iPixelType, PFD_TYPE_RGBA);
    EXPECT_EQ(description.cColorBits, 24);
    EXPECT_GE(description.cDepthBits, 24);
}

TEST_F(PixelFormats, IsSetOnceAndKeptAgainstAnother) {
    PIXELFORMATDESCRIPTOR request = programsPixelFormatRequest();
    int chosen = ChoosePixelFormat(deviceContext, &request);
    ASSERT_GE(chosen, 1);
    EXPECT_EQ(GetPixelFormat(deviceContext), 0);

    ASSERT_TRUE(SetPixelFormat(deviceContext, chosen, &request));
    EXPECT_EQ(GetPixelFormat(deviceContext), chosen);

    int other = chosen == 1 ? 2 : 1;
    SetLastError(0);
    EXPECT_FALSE(SetPixelFormat(deviceContext, other, &request));
    EXPECT_EQ(GetPixelFormat(deviceContext), chosen);
    // The window lives on with its format.
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(GetDC(window), deviceContext);
}

// X fixes a window's visual when it is made; setting the format may give the
// window a new X window, which other clients must see as the same window.
TEST_F(PixelFormats, SettingOneKeepsTheWindowAsOtherClientsSeeIt) {
    ShowWindow(window, SW_SHOW);
    ::Window before = xWindowOf(window);
    PIXELFORMATDESCRIPTOR request = programsPixelFormatRequest();

    ASSERT_TRUE(SetPixelFormat(deviceContext, ChoosePixelFormat(deviceContext, &request), &request));
    pumpMessages();

    ::Window after = xWindowOf(window);
    if (after != before) {
        EXPECT_TRUE(pumpUntil([&] { return !observer.exists(before); }))
            << "the first X window was left behind";
    }
    std::optional<ServerGeometry> seen = observer.geometry(after);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->mapState, IsViewable);
    EXPECT_EQ(seen->width, 800u);
    EXPECT_EQ(seen->height, 600u);
    EXPECT_EQ(observer.wmName(after), "pixel formats");
    EXPECT_EQ(observer.wmClassClass(after), recordingClassName());
    std::vector<std::string> protocols = observer.protocols(after);
    EXPECT_NE(std::find(protocols.begin(), protocols.end(), "WM_DELETE_WINDOW"), protocols.end());
    EXPECT_FALSE(wasDelivered(window, sent(WM_SIZE))) << "the client size did not change";

    react([](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        return message == WM_CLOSE ? std::optional<LRESULT>(0) : std::nullopt;
    });
    observer.requestClose(after);
    EXPECT_TRUE(pumpUntil([&] { return wasDelivered(window, sent(WM_CLOSE)); }))
        << "the new X window's close request did not arrive";
}

TEST_F(PixelFormats, OutOfRangeIndicesAreRefused) {
    PIXELFORMATDESCRIPTOR request = programsPixelFormatRequest();
    for (int index : {0, -1, formatCount + 1}) {
        PIXELFORMATDESCRIPTOR description{};
        SetLastError(0);
        EXPECT_EQ(DescribePixelFormat(deviceContext, index, sizeof description, &description), 0) << index;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PIXEL_FORMAT)) << index;
        SetLastError(0);
        EXPECT_FALSE(SetPixelFormat(deviceContext, index, &request)) << index;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PIXEL_FORMAT)) << index;
    }
    EXPECT_EQ(GetPixelFormat(deviceContext), 0);
}

TEST_F(PixelFormats, ARequestOfAnotherSizeIsRefused) {
    for (WORD size : {0, 39, 41, 80}) {
        PIXELFORMATDESCRIPTOR request = programsPixelFormatRequest();
        request.nSize = size;
        EXPECT_EQ(ChoosePixelFormat(deviceContext, &request), 0) << size;
    }
    EXPECT_EQ(ChoosePixelFormat(deviceContext, nullptr), 0);
}

TEST_F(PixelFormats, NoContextBeforeTheFormatIsSet) {
    EXPECT_EQ(wglCreateContext(deviceContext), nullptr);
}

} // namespace
} // namespace layer_test
