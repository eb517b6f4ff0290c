// The primitives scene as Mesa draws it into the program's real 800x600 window
// on a private Xvfb, read back through a second X connection.
//
// Positions are normalized device coordinates over an 800x600 viewport at the
// window's lower-left: x maps to column (x + 1) * 400 and y to (y + 1) * 300
// pixels up from the bottom. Every vertex of the filled shapes falls on a pixel
// corner, so which pixels they cover follows from the pixel-centre rule alone.

// Before Xlib, whose None macro breaks the framework's headers.
#include <gtest/gtest.h>

#include "picture.h"
#include "primitives_app.h"
#include "private_display_environment.h"
#include "window_reader.h"

#include <GL/gl.h>
#include <windows.h>

#include <string>
#include <vector>

using picture::Box;
using picture::Picture;
using picture::Rgb;

namespace {

// Mesa draws into it in software. Large enough that an enlarged window still
// lies wholly on the screen, which reading a window's pixels needs.
::testing::Environment* const privateDisplay =
    ::testing::AddGlobalTestEnvironment(new testing_support::PrivateDisplayEnvironment("1280x1024x24"));

constexpr int viewportWidth = 800, viewportHeight = 600;

// Image column and row (row 0 at the top of the 600-row window) of the pixel
// whose lower-left corner is the point (x, y).
int columnAt(double x) {
    return int((x + 1.0) * viewportWidth / 2 + 0.5);
}
int rowBelow(double y) {
    return viewportHeight - 1 - int((y + 1.0) * viewportHeight / 2 + 0.5);
}
// The pixels of the rectangle with corners (x0, y0) and (x1, y1), x0 < x1 and y0 < y1.
Box pixelsOf(double x0, double y0, double x1, double y1) {
    return {columnAt(x0), rowBelow(y1) + 1, columnAt(x1) - 1, rowBelow(y0)};
}

const Rgb black{0, 0, 0};
const Rgb red{255, 0, 0};
const Rgb green{0, 255, 0};
const Rgb blue{0, 0, 255};
const Rgb white{255, 255, 255};
const Rgb axisGreen = picture::rgbOf(0.1, 0.5, 0.1);

picture::PixelTest isColour(Rgb colour, int tolerance = 0) {
    return [=](Rgb c) { return picture::near(c, colour, tolerance); };
}
bool isLit(Rgb c) {
    return !picture::isBlack(c);
}

void pumpMessages(int passes) {
    MSG message;
    for (int i = 0; i < passes; ++i)
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
}

class PrimitivesPicture : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(app.init());
        reader.awaitViewable();
        pumpMessages(3);
    }
    void TearDown() override {
        if (HasFailure() && lastPicture.width() > 0) {
            std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
            lastPicture.savePpm("primitives_" + name + ".ppm");
        }
        app.shutdown();
    }

    Picture renderAndCapture() {
        app.render();
        lastPicture = reader.capture();
        return lastPicture;
    }

    PrimitivesApp app;
    picture::WindowReader reader;
    Picture lastPicture;
};

// The filled shapes: where each lies, and which pixels it covers in all.
struct FilledShape {
    const char* name;
    picture::PixelTest colour;
    Box expected;   // the box around the shape's pixels
    int pixelCount; // how many pixels it covers
    int countTolerance;
};

// The axes cross the viewport through its centre, on the boundary between two
// pixel rows (and two columns); either neighbour may carry the line.
struct AxisPosition {
    int row = -1, column = -1;
};

AxisPosition findAxes(const Picture& p) {
    AxisPosition found;
    Box nearMiddleRow{10, viewportHeight / 2 - 3, 10, viewportHeight / 2 + 2};
    Box nearMiddleColumn{viewportWidth / 2 - 3, 10, viewportWidth / 2 + 2, 10};
    Box row = p.boundsWhere(nearMiddleRow, isColour(axisGreen, 2));
    Box column = p.boundsWhere(nearMiddleColumn, isColour(axisGreen, 2));
    if (row.height() == 1)
        found.row = row.top;
    if (column.width() == 1)
        found.column = column.left;
    return found;
}

// Where each single point lands: the pixel that holds its vertex (within the
// rounding of 0.1 to a float, so one of the pixels around that corner).
struct SinglePoint {
    const char* name;
    double x, y;
    Rgb colour;
};
const SinglePoint points[] = {
    {"red point", -0.1, -0.1, red},
    {"green point", 0.1, -0.1, green},
    {"blue point", 0.1, 0.1, blue},
    {"white point", -0.1, 0.1, white},
};
Box aroundPoint(const SinglePoint& point) {
    int column = columnAt(point.x), row = rowBelow(point.y);
    return {column - 3, row - 2, column + 2, row + 3};
}

TEST_F(PrimitivesPicture, FilledShapesLieWhereTheirVerticesPutThem) {
    Picture p = renderAndCapture();
    ASSERT_EQ(p.width(), viewportWidth);
    ASSERT_EQ(p.height(), viewportHeight);

    const std::vector<FilledShape> shapes = {
        // At the apex row the triangle is 2/3 of a pixel wide between two pixel
        // centres, so it covers 179 rows, not 180. Area 0.18 units.
        {"red triangle",
         isColour(red),
         {columnAt(-0.8), rowBelow(-0.2) + 2, columnAt(-0.2) - 1, rowBelow(-0.8)},
         21600,
         216},
        // Two strip triangles filling 0.6 x 0.6 units without a gap.
        {"blue strip square", isColour(blue), pixelsOf(0.2, 0.2, 0.8, 0.8), 240 * 180, 0},
        // Colours blend from corner to corner; no pixel of it is black.
        {"blended quad", isLit, pixelsOf(-0.8, 0.2, -0.2, 0.8), 240 * 180, 0},
        // Area 0.26 units.
        {"green pentagon", isColour(green), pixelsOf(0.2, -0.8, 0.8, -0.2), 31200, 312},
    };
    for (const FilledShape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        Box search = shape.expected.grown(15);
        Box found = p.boundsWhere(search, shape.colour);
        EXPECT_EQ(found, shape.expected)
            << "found " << describe(found) << ", expected " << describe(shape.expected);
        EXPECT_NEAR(p.countWhere(search, shape.colour), shape.pixelCount, shape.countTolerance);
    }
    // The square and the quad are 0.6 units both ways: 4 to 3 on screen.
    EXPECT_EQ(shapes[1].expected.width(), 240);
    EXPECT_EQ(shapes[1].expected.height(), 180);
}

TEST_F(PrimitivesPicture, AxesRunFromEdgeToEdgeThroughTheCentre) {
    Picture p = renderAndCapture();
    AxisPosition axes = findAxes(p);
    ASSERT_TRUE(axes.row == viewportHeight / 2 - 1 || axes.row == viewportHeight / 2) << axes.row;
    ASSERT_TRUE(axes.column == viewportWidth / 2 - 1 || axes.column == viewportWidth / 2) << axes.column;

    Box horizontal{0, axes.row, viewportWidth - 1, axes.row};
    Box vertical{axes.column, 0, axes.column, viewportHeight - 1};
    EXPECT_EQ(p.countWhere(horizontal, isColour(axisGreen, 2)), viewportWidth)
        << "first column " << describe(p.at(0, axes.row)) << ", last column "
        << describe(p.at(viewportWidth - 1, axes.row));
    EXPECT_EQ(p.countWhere(vertical, isColour(axisGreen, 2)), viewportHeight)
        << "top row " << describe(p.at(axes.column, 0)) << ", bottom row "
        << describe(p.at(axes.column, viewportHeight - 1));
    // One pixel thick.
    EXPECT_EQ(p.countWhere({0, axes.row - 1, viewportWidth - 1, axes.row + 1}, isColour(axisGreen, 2)),
              viewportWidth + 2);
}

TEST_F(PrimitivesPicture, FourSinglePointsSurroundTheCentre) {
    Picture p = renderAndCapture();
    for (const SinglePoint& point : points) {
        SCOPED_TRACE(point.name);
        Box around = aroundPoint(point);
        EXPECT_EQ(p.countWhere(around, isColour(point.colour)), 1);
        EXPECT_EQ(p.countWhere(around, isLit), 1) << "the point is one pixel on black";
    }
}

TEST_F(PrimitivesPicture, QuadBlendsItsCornerColours) {
    Picture p = renderAndCapture();
    Box quad = pixelsOf(-0.8, 0.2, -0.2, 0.8);
    int middleColumn = (quad.left + quad.right + 1) / 2, middleRow = (quad.top + quad.bottom + 1) / 2;
    struct Probe {
        const char* name;
        int column, row;
        Rgb expected;
    };
    // Half a pixel from a corner the colour has moved by about one step.
    const Probe probes[] = {
        {"lower-left corner", quad.left, quad.bottom, red},
        {"lower-right corner", quad.right, quad.bottom, green},
        {"upper-right corner", quad.right, quad.top, blue},
        {"upper-left corner", quad.left, quad.top, {255, 0, 255}},
        {"bottom edge middle", middleColumn, quad.bottom, picture::rgbOf(0.5, 0.5, 0)},
        {"right edge middle", quad.right, middleRow, picture::rgbOf(0, 0.5, 0.5)},
        {"top edge middle", middleColumn, quad.top, picture::rgbOf(0.5, 0, 1)},
        {"left edge middle", quad.left, middleRow, picture::rgbOf(1, 0, 0.5)},
        {"centre", middleColumn, middleRow, picture::rgbOf(0.5, 0, 0.5)},
    };
    for (const Probe& probe : probes)
        EXPECT_TRUE(picture::near(p.at(probe.column, probe.row), probe.expected, 4))
            << probe.name << ": " << describe(p.at(probe.column, probe.row)) << ", expected about "
            << describe(probe.expected);

    // Smooth: neighbours differ by little more than 255/240 or 255/180 a step.
    int roughSteps = 0;
    for (int row = quad.top; row <= quad.bottom; ++row)
        for (int column = quad.left; column <= quad.right; ++column) {
            Rgb here = p.at(column, row);
            if (column < quad.right && !picture::near(here, p.at(column + 1, row), 3))
                ++roughSteps;
            if (row < quad.bottom && !picture::near(here, p.at(column, row + 1), 3))
                ++roughSteps;
        }
    EXPECT_EQ(roughSteps, 0);
}

TEST_F(PrimitivesPicture, NothingElseIsDrawn) {
    Picture p = renderAndCapture();
    AxisPosition axes = findAxes(p);
    std::vector<Box> drawn = {
        pixelsOf(-0.8, -0.8, -0.2, -0.2),
        pixelsOf(0.2, 0.2, 0.8, 0.8),
        pixelsOf(-0.8, 0.2, -0.2, 0.8),
        pixelsOf(0.2, -0.8, 0.8, -0.2),
        {0, axes.row, viewportWidth - 1, axes.row},
        {axes.column, 0, axes.column, viewportHeight - 1},
    };
    for (const SinglePoint& point : points)
        drawn.push_back(aroundPoint(point));

    int strayPixels = 0;
    for (int row = 0; row < p.height(); ++row)
        for (int column = 0; column < p.width(); ++column) {
            bool explained = false;
            for (const Box& box : drawn)
                explained = explained || box.contains(column, row);
            if (!explained && isLit(p.at(column, row)))
                ++strayPixels;
        }
    EXPECT_EQ(strayPixels, 0);
}

// The scene sets culling up in init(); a triangle drawn in the same context
// shows that state at work: wound clockwise it vanishes, counter-clockwise it shows.
TEST_F(PrimitivesPicture, ClockwiseTrianglesAreCulled) {
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_TRIANGLES);
    glVertex2f(-0.8f, -0.5f); // clockwise, on the left
    glVertex2f(-0.5f, 0.5f);
    glVertex2f(-0.2f, -0.5f);
    glVertex2f(0.2f, -0.5f); // counter-clockwise, on the right
    glVertex2f(0.8f, -0.5f);
    glVertex2f(0.5f, 0.5f);
    glEnd();
    reader.swapCurrentBuffers();
    lastPicture = reader.capture();

    // Area 0.3 units each.
    EXPECT_EQ(lastPicture.countWhere({0, 0, viewportWidth / 2 - 1, viewportHeight - 1}, isLit), 0);
    EXPECT_NEAR(lastPicture.countWhere({viewportWidth / 2, 0, viewportWidth - 1, viewportHeight - 1},
                                       isColour(white)),
                36000, 360);
}

TEST_F(PrimitivesPicture, SceneLooksTheSameWithoutCulling) {
    Picture culled = renderAndCapture();
    glDisable(GL_CULL_FACE);
    Picture unculled = renderAndCapture();
    glEnable(GL_CULL_FACE);
    EXPECT_TRUE(culled == unculled);
    EXPECT_GT(culled.countWhere(culled.whole(), isLit), 100000) << "the scene was drawn at all";
}

// The viewport is set once at creation: an enlarged window shows the same
// scene in its lower-left 800x600 and clears the rest to black.
TEST_F(PrimitivesPicture, EnlargedWindowKeepsTheSceneAtTheLowerLeft) {
    Picture before = renderAndCapture();
    reader.resize(1000, 800);
    pumpMessages(3);
    Picture after = renderAndCapture();
    ASSERT_EQ(after.width(), 1000);
    ASSERT_EQ(after.height(), 800);

    const int rowsAdded = 800 - viewportHeight;
    int moved = 0, stray = 0;
    for (int row = 0; row < after.height(); ++row)
        for (int column = 0; column < after.width(); ++column) {
            bool inViewport = column < viewportWidth && row >= rowsAdded;
            if (inViewport)
                moved += after.at(column, row) == before.at(column, row - rowsAdded) ? 0 : 1;
            else
                stray += isLit(after.at(column, row)) ? 1 : 0;
        }
    EXPECT_EQ(moved, 0) << "pixels of the viewport that differ from the 800x600 picture";
    EXPECT_EQ(stray, 0) << "lit pixels outside the viewport";
    AxisPosition axes = findAxes(before);
    EXPECT_TRUE(picture::near(after.at(axes.column, axes.row + rowsAdded), axisGreen, 2))
        << "the axes cross " << rowsAdded << " rows lower";
}

} // namespace
