// The picture of cubes_demo: five colour cubes turning with the system tick
// count, the middle one pulsing in size.
#pragma once

// Sets the fixed OpenGL state of the scene, once.
void initGL();
// Draws one frame into the back buffer; the caller presents it.
void drawScene();
// Emits one unit cube, then sets the projection.
void drawCube();
