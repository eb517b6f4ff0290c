// The application object of primitives_demo: its window and the hooks the
// frame loop calls.
#pragma once

#include "gl_window.h"

class PrimitivesApp {
  public:
    // Creates the 800 by 600 window and sets back-face culling; false when the
    // window could not be set up (the user has already been told).
    bool init();
    // Called on every pass with the seconds since the previous pass.
    void update(float timeStep);
    // Draws the scene and presents it.
    void render();
    void shutdown();

  private:
    GlWindow window;
};
