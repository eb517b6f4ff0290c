#include "primitives_app.h"

#include <GL/gl.h>

bool PrimitivesApp::init() {
    bool created = window.create(800, 600, false);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    return created;
}

void PrimitivesApp::update(float) {
    // Nothing in this scene moves.
}

void PrimitivesApp::shutdown() {
    window.destroy();
}
