// The floor for cubes_demo: the same frame, the same GL calls in the same
// order, on a bare Xlib + GLX window, in a loop that reads the pending X
// events without waiting and draws and presents whenever nothing ended it.
#include "reference_window.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <math.h>

static const float spinRate = 0.1f;
static const float pulseRate = 0.001f;
static const float pulseOffset = 1.1f;
static const float halfSize = 0.5f;
static const float sceneDepth = 4.0f;
static const float cornerOffset = 2.0f;
static const double fieldOfView = 90.0;
static const float aspectRatio = 1.3f;
static const float nearDistance = 0.1f;
static const double farDistance = 1000.0;

static void initGL(void) {
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_FLAT);
}

static void drawCube(void) {
    const float h = halfSize;
    glBegin(GL_QUAD_STRIP);
    glColor3f(1.0f, 0.0f, 0.0f);
    glVertex3f(-h, -h, -h);
    glVertex3f(h, -h, -h);
    glColor3f(1.0f, 1.0f, 0.0f);
    glVertex3f(-h, h, -h);
    glVertex3f(h, h, -h);
    glColor3f(0.0f, 1.0f, 0.0f);
    glVertex3f(-h, h, h);
    glVertex3f(h, h, h);
    glColor3f(0.0f, 1.0f, 1.0f);
    glVertex3f(-h, -h, h);
    glVertex3f(h, -h, h);
    glColor3f(1.0f, 0.0f, 1.0f);
    glVertex3f(-h, -h, -h);
    glVertex3f(h, -h, -h);
    glEnd();

    glColor3f(0.0f, 0.0f, 1.0f);
    glBegin(GL_QUADS);
    glVertex3f(-h, -h, -h);
    glVertex3f(-h, h, -h);
    glVertex3f(-h, h, h);
    glVertex3f(-h, -h, h);
    glVertex3f(h, -h, -h);
    glVertex3f(h, h, -h);
    glVertex3f(h, h, h);
    glVertex3f(h, -h, h);
    glEnd();

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fieldOfView, aspectRatio, nearDistance, farDistance);
    glMatrixMode(GL_MODELVIEW);
}

static void drawScene(void) {
    uint32_t spinTicks = tickCount();
    float angle = (float)fmod((double)spinTicks * (double)spinRate, 360.0);
    uint32_t pulseTicks = tickCount();
    float scale = (float)(sin((double)pulseTicks * (double)pulseRate) + (double)pulseOffset);

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -sceneDepth);

    glPushMatrix();
    glTranslatef(-cornerOffset, -cornerOffset, 0.0f);
    glRotatef(angle, 1.0f, 0.5f, 0.0f);
    drawCube();
    glPopMatrix();

    glPushMatrix();
    glTranslatef(cornerOffset, -cornerOffset, 0.0f);
    glRotatef(angle, 1.0f, -0.5f, 0.5f);
    drawCube();
    glPopMatrix();

    glPushMatrix();
    glTranslatef(cornerOffset, cornerOffset, 0.0f);
    glRotatef(angle, 0.0f, 0.5f, -1.0f);
    drawCube();
    glPopMatrix();

    glPushMatrix();
    glTranslatef(-cornerOffset, cornerOffset, 0.0f);
    glRotatef(angle, 1.0f, -0.5f, 1.0f);
    drawCube();
    glPopMatrix();

    glPushMatrix();
    glScalef(scale, scale, scale);
    glRotatef(angle, -0.5f, 1.0f, 0.0f);
    drawCube();
    glPopMatrix();
}

int main(void) {
    struct ReferenceWindow reference;
    if (!openReferenceWindow(&reference, 800, 600))
        return 1;
    initGL();
    while (pollReferenceEvents(&reference)) {
        drawScene();
        glXSwapBuffers(reference.display, reference.window);
    }
    closeReferenceWindow(&reference);
    return 0;
}
