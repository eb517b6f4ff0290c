// primitives_demo's picture, call for call: the expected frame is built from
// a table of the shapes, each with its colours and corners as 32-bit floats.
#include "primitives_app.h"
#include "recording_platform.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

namespace {

using fake::call;
using fake::Call;

struct Colour {
    float r, g, b;
};

struct Corner {
    bool coloured; // a colour call comes just before this vertex
    Colour colour;
    float x, y;
};

struct Shape {
    GLenum mode;
    bool colouredBefore; // one colour call before glBegin
    Colour colour;
    std::vector<Corner> corners;
};

const Colour none = {0, 0, 0};
const Colour red = {1.0f, 0.0f, 0.0f}, green = {0.0f, 1.0f, 0.0f}, blue = {0.0f, 0.0f, 1.0f},
             white = {1.0f, 1.0f, 1.0f}, darkGreen = {0.1f, 0.5f, 0.1f}, magenta = {1.0f, 0.0f, 1.0f};

Corner plain(float x, float y) {
    return {false, none, x, y};
}

Corner coloured(Colour c, float x, float y) {
    return {true, c, x, y};
}

const std::vector<Shape> scene = {
    {GL_POINTS,
     false,
     none,
     {coloured(red, -0.1f, -0.1f), coloured(green, 0.1f, -0.1f), coloured(blue, 0.1f, 0.1f),
      coloured(white, -0.1f, 0.1f)}},
    {GL_LINES,
     true,
     darkGreen,
     {plain(-1.0f, 0.0f), plain(1.0f, 0.0f), plain(0.0f, -1.0f), plain(0.0f, 1.0f)}},
    {GL_TRIANGLES, true, red, {plain(-0.5f, -0.2f), plain(-0.8f, -0.8f), plain(-0.2f, -0.8f)}},
    {GL_TRIANGLE_STRIP,
     true,
     blue,
     {plain(0.2f, 0.2f), plain(0.8f, 0.2f), plain(0.2f, 0.8f), plain(0.8f, 0.8f)}},
    {GL_QUADS,
     false,
     none,
     {coloured(red, -0.8f, 0.2f), coloured(green, -0.2f, 0.2f), coloured(blue, -0.2f, 0.8f),
      coloured(magenta, -0.8f, 0.8f)}},
    {GL_POLYGON,
     true,
     green,
     {plain(0.2f, -0.4f), plain(0.3f, -0.8f), plain(0.7f, -0.8f), plain(0.8f, -0.4f), plain(0.5f, -0.2f)}},
};

Call colourCall(Colour c) {
    return call("glColor3f", {c.r, c.g, c.b});
}

std::vector<Call> expectedFrame(HDC hDC) {
    std::vector<Call> calls = {call("glClear", {GL_COLOR_BUFFER_BIT})};
    for (const Shape& shape : scene) {
        if (shape.colouredBefore)
            calls.push_back(colourCall(shape.colour));
        calls.push_back(call("glBegin", {shape.mode}));
        for (const Corner& corner : shape.corners) {
            if (corner.coloured)
                calls.push_back(colourCall(corner.colour));
            calls.push_back(call("glVertex2f", {corner.x, corner.y}));
        }
        calls.push_back(call("glEnd"));
    }
    calls.push_back(call("SwapBuffers", {hDC}));
    return calls;
}

TEST(PrimitivesScene, RenderDrawsTheSixShapesThenPresents) {
    const fake::Script script;
    fake::reset(script);
    PrimitivesApp app;
    ASSERT_TRUE(app.init());
    fake::clearCalls();

    app.render();

    const std::vector<Call> expected = expectedFrame(script.dc);
    ASSERT_EQ(fake::countOf(expected, "glColor3f"), 12u);
    ASSERT_EQ(fake::countOf(expected, "glVertex2f"), 24u);
    EXPECT_EQ(fake::calls(), expected);
    for (const Call& made : fake::calls())
        EXPECT_EQ(made.context, script.context) << made << " drawn without the window's context";
}

} // namespace
