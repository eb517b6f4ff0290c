// The picture: one example each of six immediate-mode primitive types, in
// normalized device coordinates. Every filled shape winds counter-clockwise,
// so none is culled.
#include "primitives_app.h"

#include <GL/gl.h>

void PrimitivesApp::render() {
    glClear(GL_COLOR_BUFFER_BIT);

    // Four points around the centre.
    glBegin(GL_POINTS);
    glColor3f(1.0f, 0.0f, 0.0f);
    glVertex2f(-0.1f, -0.1f);
    glColor3f(0.0f, 1.0f, 0.0f);
    glVertex2f(0.1f, -0.1f);
    glColor3f(0.0f, 0.0f, 1.0f);
    glVertex2f(0.1f, 0.1f);
    glColor3f(1.0f, 1.0f, 1.0f);
    glVertex2f(-0.1f, 0.1f);
    glEnd();

    // The axes, from edge to edge.
    glColor3f(0.1f, 0.5f, 0.1f);
    glBegin(GL_LINES);
    glVertex2f(-1.0f, 0.0f);
    glVertex2f(1.0f, 0.0f);
    glVertex2f(0.0f, -1.0f);
    glVertex2f(0.0f, 1.0f);
    glEnd();

    // A triangle, lower left.
    glColor3f(1.0f, 0.0f, 0.0f);
    glBegin(GL_TRIANGLES);
    glVertex2f(-0.5f, -0.2f);
    glVertex2f(-0.8f, -0.8f);
    glVertex2f(-0.2f, -0.8f);
    glEnd();

    // A square of two strip triangles, upper right.
    glColor3f(0.0f, 0.0f, 1.0f);
    glBegin(GL_TRIANGLE_STRIP);
    glVertex2f(0.2f, 0.2f);
    glVertex2f(0.8f, 0.2f);
    glVertex2f(0.2f, 0.8f);
    glVertex2f(0.8f, 0.8f);
    glEnd();

    // A quad with a colour at each corner, upper left.
    glBegin(GL_QUADS);
    glColor3f(1.0f, 0.0f, 0.0f);
    glVertex2f(-0.8f, 0.2f);
    glColor3f(0.0f, 1.0f, 0.0f);
    glVertex2f(-0.2f, 0.2f);
    glColor3f(0.0f, 0.0f, 1.0f);
    glVertex2f(-0.2f, 0.8f);
    glColor3f(1.0f, 0.0f, 1.0f);
    glVertex2f(-0.8f, 0.8f);
    glEnd();

    // A convex pentagon, lower right.
    glColor3f(0.0f, 1.0f, 0.0f);
    glBegin(GL_POLYGON);
    glVertex2f(0.2f, -0.4f);
    glVertex2f(0.3f, -0.8f);
    glVertex2f(0.7f, -0.8f);
    glVertex2f(0.8f, -0.4f);
    glVertex2f(0.5f, -0.2f);
    glEnd();

    SwapBuffers(window.hDC);
}
