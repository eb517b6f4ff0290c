// The choice of a pixel format, from tables of made-up server formats.
#include "pixel_format_choice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using win32::PixelFormatRecord;

PixelFormatRecord format(int red, int green, int blue, int alpha, int depth, bool doubleBuffer = true) {
    PixelFormatRecord f;
    f.redBits = red;
    f.greenBits = green;
    f.blueBits = blue;
    f.alphaBits = alpha;
    f.depthBits = depth;
    f.doubleBuffer = doubleBuffer;
    return f;
}

PixelFormatRecord rgb888(int depth, int alpha = 0) {
    return format(8, 8, 8, alpha, depth);
}
PixelFormatRecord rgb565(int depth) {
    return format(5, 6, 5, 0, depth);
}
PixelFormatRecord singleBuffered(PixelFormatRecord f) {
    f.doubleBuffer = false;
    return f;
}
PixelFormatRecord colourIndex(PixelFormatRecord f) {
    f.rgba = false;
    return f;
}
PixelFormatRecord noWindow(PixelFormatRecord f) {
    f.drawToWindow = false;
    return f;
}
PixelFormatRecord slow(PixelFormatRecord f) {
    f.slow = true;
    return f;
}

PIXELFORMATDESCRIPTOR request(int colour, int depth, int alpha = 0, DWORD extraFlags = 0,
                              BYTE type = PFD_TYPE_RGBA) {
    PIXELFORMATDESCRIPTOR r{};
    r.nSize = sizeof r;
    r.nVersion = 1;
    r.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER | extraFlags;
    r.iPixelType = type;
    r.cColorBits = static_cast<BYTE>(colour);
    r.cAlphaBits = static_cast<BYTE>(alpha);
    r.cDepthBits = static_cast<BYTE>(depth);
    return r;
}

PIXELFORMATDESCRIPTOR singleBufferedRequest(int colour, int depth) {
    PIXELFORMATDESCRIPTOR r = request(colour, depth);
    r.dwFlags &= ~static_cast<DWORD>(PFD_DOUBLEBUFFER);
    return r;
}

struct ChoiceCase {
    const char* name;
    std::vector<PixelFormatRecord> formats;
    PIXELFORMATDESCRIPTOR request;
    int chosen; // 1-based; 0: none
};

void PrintTo(const ChoiceCase& c, std::ostream* out) {
    *out << c.name;
}

class PixelFormatChoice : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(PixelFormatChoice, PicksTheExpectedFormat) {
    EXPECT_EQ(win32::choosePixelFormat(GetParam().formats, GetParam().request), GetParam().chosen);
}

const ChoiceCase choiceCases[] = {
    {"ThirtyTwoBitsGetTwentyFour", {rgb565(24), rgb888(24)}, request(32, 24), 2},
    {"SixteenBitServerGivesSixteen", {colourIndex(rgb888(24)), rgb565(24)}, request(32, 24), 2},
    {"NearestColourBelowTheRequest", {rgb888(24), rgb565(24)}, request(16, 24), 2},
    {"NoAlphaWhenNoneAsked", {rgb888(24, 8), rgb888(24)}, request(32, 24), 2},
    {"AlphaWhenAsked", {rgb888(24), rgb888(24, 8)}, request(32, 24, 8), 2},
    {"ExactDepthBuffer", {rgb888(16), rgb888(32), rgb888(24)}, request(32, 24), 3},
    {"DeeperDepthBufferOverShallower", {rgb888(16), rgb888(32)}, request(32, 24), 2},
    {"SomeDepthBufferOverNone", {rgb888(0), rgb888(32)}, request(32, 16), 2},
    {"DepthBufferNeverBeatsColour", {rgb565(24), rgb888(16)}, request(32, 24), 2},
    {"NeverSingleBufferedForDoubleBuffered", {singleBuffered(rgb888(24)), rgb565(16)}, request(32, 24), 2},
    {"OnlySingleBufferedGivesNone", {singleBuffered(rgb888(24))}, request(32, 24), 0},
    {"SingleBufferedRequestGetsSingle",
     {rgb888(24), singleBuffered(rgb888(24))},
     singleBufferedRequest(32, 24),
     2},
    {"DoubleBufferDontCareTakesEither",
     {singleBuffered(rgb888(24))},
     request(32, 24, 0, PFD_DOUBLEBUFFER_DONTCARE),
     1},
    {"NeverColourIndexForRgba", {colourIndex(rgb888(24)), rgb565(16)}, request(32, 24), 2},
    {"OnlyColourIndexGivesNone", {colourIndex(rgb888(24))}, request(32, 24), 0},
    {"NeverOneThatCannotDrawToAWindow", {noWindow(rgb888(24)), rgb565(16)}, request(32, 24), 2},
    {"FastOverSlow", {slow(rgb888(24)), rgb888(24)}, request(32, 24), 2},
    {"EmptyListGivesNone", {}, request(32, 24), 0},
    {"TiesGoToTheFirst", {rgb888(24), rgb888(24), rgb888(24)}, request(32, 24), 1},
};

INSTANTIATE_TEST_SUITE_P(Servers, PixelFormatChoice, ::testing::ValuesIn(choiceCases),
                         [](const ::testing::TestParamInfo<ChoiceCase>& info) { return info.param.name; });

TEST(PixelFormatDescription, ReportsTheRecordInTheDocumentedForm) {
    PixelFormatRecord f = format(8, 8, 8, 8, 24);
    f.stencilBits = 8;
    f.redShift = 16;
    f.greenShift = 8;
    f.blueShift = 0;

    PIXELFORMATDESCRIPTOR d = win32::describe(f);

    EXPECT_EQ(d.nSize, 40);
    EXPECT_EQ(d.nVersion, 1);
    EXPECT_EQ(d.dwFlags & (PFD_DOUBLEBUFFER | PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL),
              static_cast<DWORD>(PFD_DOUBLEBUFFER | PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL));
    EXPECT_EQ(d.iPixelType, PFD_TYPE_RGBA);
    EXPECT_EQ(d.cColorBits, 24);
    EXPECT_EQ(d.cAlphaBits, 8);
    EXPECT_EQ(d.cDepthBits, 24);
    EXPECT_EQ(d.cStencilBits, 8);
    EXPECT_EQ(d.cRedShift, 16);
    EXPECT_EQ(d.cGreenShift, 8);
    EXPECT_EQ(d.iLayerType, PFD_MAIN_PLANE);
}

} // namespace
