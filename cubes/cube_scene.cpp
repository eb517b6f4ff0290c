#include "cube_scene.h"

#include <windows.h>

#include <GL/gl.h>
#include <GL/glu.h>
#include <math.h>

namespace {

const float spinRate = 0.1f;    // degrees per millisecond
const float pulseRate = 0.001f; // radians per millisecond
const float pulseOffset = 1.1f; // the middle cube's mean scale
const float halfSize = 0.5f;
const float sceneDepth = 4.0f;
const float cornerOffset = 2.0f;

const double fieldOfView = 90.0;
const float aspectRatio = 1.3f; // fixed, whatever the window's shape
const float nearDistance = 0.1f;
const double farDistance = 1000.0;

} // namespace

void initGL() {
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_FLAT);
}

void drawCube() {
    const float h = halfSize;

    // Back, top, front and bottom as one strip around the x axis. Under flat
    // shading each quad takes the colour set before its last pair, so the red
    // of the first pair shows on no face.
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

    // The left and right sides.
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

void drawScene() {
    // The angle is reduced to one turn before it is rounded to a float, so it
    // keeps its tenth-of-a-degree steps however long the system has been up.
    DWORD spinTicks = GetTickCount();
    float angle = (float)fmod((double)spinTicks * (double)spinRate, 360.0);
    DWORD pulseTicks = GetTickCount();
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
