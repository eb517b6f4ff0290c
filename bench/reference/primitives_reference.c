// The floor for primitives_demo: the same frame, the same GL calls in the
// same order, on a bare Xlib + GLX window, in a loop that reads the pending
// X events without waiting, samples the tick count and draws on every pass.
#include "reference_window.h"

#include <GL/gl.h>

static void update(float timeStep) {
    (void)timeStep; // nothing in the scene moves
}

static void render(struct ReferenceWindow* reference) {
    glClear(GL_COLOR_BUFFER_BIT);

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

    glColor3f(0.1f, 0.5f, 0.1f);
    glBegin(GL_LINES);
    glVertex2f(-1.0f, 0.0f);
    glVertex2f(1.0f, 0.0f);
    glVertex2f(0.0f, -1.0f);
    glVertex2f(0.0f, 1.0f);
    glEnd();

    glColor3f(1.0f, 0.0f, 0.0f);
    glBegin(GL_TRIANGLES);
    glVertex2f(-0.5f, -0.2f);
    glVertex2f(-0.8f, -0.8f);
    glVertex2f(-0.2f, -0.8f);
    glEnd();

    glColor3f(0.0f, 0.0f, 1.0f);
    glBegin(GL_TRIANGLE_STRIP);
    glVertex2f(0.2f, 0.2f);
    glVertex2f(0.8f, 0.2f);
    glVertex2f(0.2f, 0.8f);
    glVertex2f(0.8f, 0.8f);
    glEnd();

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

    glColor3f(0.0f, 1.0f, 0.0f);
    glBegin(GL_POLYGON);
    glVertex2f(0.2f, -0.4f);
    glVertex2f(0.3f, -0.8f);
    glVertex2f(0.7f, -0.8f);
    glVertex2f(0.8f, -0.4f);
    glVertex2f(0.5f, -0.2f);
    glEnd();

    glXSwapBuffers(reference->display, reference->window);
}

int main(void) {
    struct ReferenceWindow reference;
    uint32_t previousTick = tickCount();
    if (!openReferenceWindow(&reference, 800, 600))
        return 1;
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);

    while (pollReferenceEvents(&reference)) {
        uint32_t currentTick = tickCount();
        int elapsedMs = (int)(currentTick - previousTick);
        previousTick = currentTick;
        update((float)((double)elapsedMs / 1000.0));
        render(&reference);
    }
    closeReferenceWindow(&reference);
    return 0;
}
