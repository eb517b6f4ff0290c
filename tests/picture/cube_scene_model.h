// The cube scene worked out independently of OpenGL: the pose at a tick count
// with the arithmetic the scene is defined by, the five cubes placed in eye
// space, and the expected picture found by casting a ray from the eye through
// every pixel centre and taking the colour of the nearest face it meets.
#pragma once

#include "picture.h"

#include <cstdint>

namespace cube_model {

struct Pose {
    float angle; // degrees, shared by all five cubes
    float scale; // the middle cube's
};
// Angle: ticks times the rate 0.1f, in double precision, rounded once to a
// float and never reduced. Scale: the sine of ticks times 0.001f, plus 1.1f,
// in double precision, rounded once.
Pose poseAt(uint32_t tick);

struct Vec3 {
    double x, y, z;
};

enum Cube { LowerLeft, LowerRight, UpperRight, UpperLeft, Middle };
constexpr int cubeCount = 5;

// A point given in a cube's own frame (its corners at +-0.5), in eye space.
Vec3 placeInEyeSpace(Cube cube, const Pose& pose, Vec3 local);

// Where an eye-space point appears in a window whose viewport covers width by
// height pixels: column from the left and row from the top, as real numbers
// (pixel centres at n + 0.5).
struct ScreenPoint {
    double column, row;
};
ScreenPoint project(Vec3 eye, int width, int height);

// The expected picture. The first frame of a run draws its lower-left cube
// without a perspective; leaving it out gives that frame's picture.
picture::Picture render(const Pose& pose, int width, int height, bool withLowerLeft = true);

} // namespace cube_model
