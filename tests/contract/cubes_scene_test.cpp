// cubes_demo's picture: the fixed state, one frame call for call at a frozen
// tick count, and the arithmetic of the spin angle and the pulse scale.
#include "cube_scene.h"
#include "recording_platform.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

namespace {

using fake::call;
using fake::Call;

struct Colour {
    float r, g, b;
};

struct CubeVertex {
    bool coloured; // a colour call comes just before this vertex
    Colour colour;
    float x, y, z;
};

const float h = 0.5f;
const Colour red = {1, 0, 0}, yellow = {1, 1, 0}, green = {0, 1, 0}, cyan = {0, 1, 1}, magenta = {1, 0, 1},
             blue = {0, 0, 1}, none = {0, 0, 0};

// Back, top, front and bottom as one strip, with a colour before each pair.
const CubeVertex strip[] = {
    {true, red, -h, -h, -h},     {false, none, h, -h, -h}, {true, yellow, -h, h, -h}, {false, none, h, h, -h},
    {true, green, -h, h, h},     {false, none, h, h, h},   {true, cyan, -h, -h, h},   {false, none, h, -h, h},
    {true, magenta, -h, -h, -h}, {false, none, h, -h, -h},
};

// The left and right sides, both blue.
const CubeVertex quads[] = {
    {false, none, -h, -h, -h}, {false, none, -h, h, -h}, {false, none, -h, h, h}, {false, none, -h, -h, h},
    {false, none, h, -h, -h},  {false, none, h, h, -h},  {false, none, h, h, h},  {false, none, h, -h, h},
};

void addVertices(std::vector<Call>& calls, const CubeVertex* first, const CubeVertex* last) {
    for (const CubeVertex* v = first; v != last; ++v) {
        if (v->coloured)
            calls.push_back(call("glColor3f", {v->colour.r, v->colour.g, v->colour.b}));
        calls.push_back(call("glVertex3f", {v->x, v->y, v->z}));
    }
}

std::vector<Call> cubeCalls() {
    std::vector<Call> calls = {call("glBegin", {GL_QUAD_STRIP})};
    addVertices(calls, std::begin(strip), std::end(strip));
    calls.push_back(call("glEnd"));
    calls.push_back(call("glColor3f", {blue.r, blue.g, blue.b}));
    calls.push_back(call("glBegin", {GL_QUADS}));
    addVertices(calls, std::begin(quads), std::end(quads));
    calls.push_back(call("glEnd"));
    // The projection: 90 degrees, the float constants 1.3 and 0.1 widened.
    const std::vector<Call> projection = {
        call("glMatrixMode", {GL_PROJECTION}),
        call("glLoadIdentity"),
        call("gluPerspective", {90.0, 1.2999999523162842, 0.10000000149011612, 1000.0}),
        call("glMatrixMode", {GL_MODELVIEW}),
    };
    calls.insert(calls.end(), projection.begin(), projection.end());
    return calls;
}

// The five cubes: where each is put, and the axis it turns about.
struct Group {
    bool scaled; // the middle cube is scaled by the pulse instead of moved
    float x, y;
    float axisX, axisY, axisZ;
};

const Group groups[] = {
    {false, -2, -2, 1, 0.5f, 0}, {false, 2, -2, 1, -0.5f, 0.5f}, {false, 2, 2, 0, 0.5f, -1},
    {false, -2, 2, 1, -0.5f, 1}, {true, 0, 0, -0.5f, 1, 0},
};

std::vector<Call> frameCalls(float angle, float scale) {
    std::vector<Call> calls = {
        call("GetTickCount"),
        call("GetTickCount"),
        call("glClear", {GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT}),
        call("glLoadIdentity"),
        call("glTranslatef", {0.0f, 0.0f, -4.0f}),
    };
    for (const Group& g : groups) {
        calls.push_back(call("glPushMatrix"));
        calls.push_back(g.scaled ? call("glScalef", {scale, scale, scale})
                                 : call("glTranslatef", {g.x, g.y, 0.0f}));
        calls.push_back(call("glRotatef", {angle, g.axisX, g.axisY, g.axisZ}));
        const std::vector<Call> cube = cubeCalls();
        calls.insert(calls.end(), cube.begin(), cube.end());
        calls.push_back(call("glPopMatrix"));
    }
    return calls;
}

TEST(CubesScene, InitGlTurnsOnTheDepthTestAndFlatShading) {
    fake::reset();
    initGL();
    EXPECT_EQ(fake::calls(),
              (std::vector<Call>{call("glEnable", {GL_DEPTH_TEST}), call("glShadeModel", {GL_FLAT})}));
}

// The angle comes from the first tick reading and the scale from the second:
// 900 ms gives 90 degrees, 0 ms the mean scale 1.1.
TEST(CubesScene, FrameAtAFrozenTickCount) {
    fake::Script script;
    script.ticks = {900, 0};
    fake::reset(script);

    drawScene();

    const std::vector<Call> expected = frameCalls(90.0f, 1.1f);
    ASSERT_EQ(fake::countOf(expected, "glVertex3f"), 90u);
    EXPECT_EQ(fake::calls(), expected);
}

struct Frame {
    float angle;
    float scale;
};

Frame frameAt(DWORD angleTicks, DWORD scaleTicks) {
    fake::Script script;
    script.ticks = {angleTicks, scaleTicks};
    fake::reset(script);
    drawScene();
    const std::vector<Call> rotations = fake::only(fake::calls(), {"glRotatef"});
    const std::vector<Call> scalings = fake::only(fake::calls(), {"glScalef"});
    EXPECT_EQ(rotations.size(), 5u);
    EXPECT_EQ(scalings.size(), 1u);
    for (const Call& rotation : rotations)
        EXPECT_EQ(rotation.args[0], rotations[0].args[0]) << "one angle for all five cubes";
    return {rotations[0].args[0].asFloat(), scalings[0].args[0].asFloat()};
}

// The angle is the tick count times the float 0.1 in double precision,
// reduced to one turn, then rounded once; it keeps tenth-of-a-degree steps
// at any uptime. The degrees column is worked out by hand.
TEST(CubesScene, SpinAngleKeepsTenthDegreeStepsAtAnyUptime) {
    struct Case {
        DWORD ticks;
        double degrees;
    };
    const Case cases[] = {
        {0u, 0.0},
        {1u, 0.1},
        {3600u, 0.0}, // a turn plus the excess of the float 0.1
        {0x7FFFFFFFu, 87.9},
        {0x80000000u, 88.0},
        {0x80000001u, 88.1},
        {0xFFFFFFFEu, 175.8},
        {0xFFFFFFFFu, 175.9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "ticks " << c.ticks);
        const float angle = frameAt(c.ticks, 0).angle;
        const float exact =
            static_cast<float>(std::fmod(static_cast<double>(c.ticks) * static_cast<double>(0.1f), 360.0));
        EXPECT_EQ(angle, exact);
        EXPECT_NEAR(angle, c.degrees, 1e-4);
    }

    // Consecutive ticks a tenth of a degree apart, also far into the count,
    // and the wrap of the tick count back to the unturned pose.
    for (DWORD ticks : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu}) {
        SCOPED_TRACE(::testing::Message() << "from ticks " << ticks);
        const double step = frameAt(ticks + 1, 0).angle - frameAt(ticks, 0).angle;
        EXPECT_NEAR(step, 0.1, 1e-4);
    }
    EXPECT_EQ(frameAt(0, 0).angle, 0.0f);
}

// The scale is the sine of the tick count times the float 0.001, all in
// double precision, plus the float 1.1, rounded once: between 0.1 and 2.1.
TEST(CubesScene, PulseScaleFollowsTheSineOfTheSecondReading) {
    struct Case {
        DWORD ticks;
        double about; // worked out by hand
    };
    const Case cases[] = {
        {0u, 1.1},              // sine 0
        {1571u, 2.1},           // sine +1 (pi/2 seconds)
        {3142u, 1.0996},        // sine just below 0 (pi seconds)
        {4712u, 0.1},           // sine -1 (3 pi/2 seconds)
        {0xFFFFFFFFu, 2.03459}, // 2.03423 if the sine's argument were rounded to a float
    };
    EXPECT_EQ(frameAt(0, 0).scale, 1.1f);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "ticks " << c.ticks);
        const float scale = frameAt(12345, c.ticks).scale;
        const float exact = static_cast<float>(
            std::sin(static_cast<double>(c.ticks) * static_cast<double>(0.001f)) + static_cast<double>(1.1f));
        EXPECT_EQ(scale, exact);
        EXPECT_NEAR(scale, c.about, 1e-4);
        EXPECT_GE(scale, 0.1f - 1e-6f);
        EXPECT_LE(scale, 2.1f + 1e-6f);
    }
}

} // namespace
