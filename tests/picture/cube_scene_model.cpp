#include "cube_scene_model.h"

#include <cmath>
#include <limits>

namespace cube_model {
namespace {

constexpr double depth = 4.0;
// gluPerspective gets the float 1.3 widened; the vertical field of view is
// 90 degrees, so one unit of height at distance d spans 1/d of half the view.
const double aspect = double(1.3f);

struct Placement {
    double x, y;    // centre before the global move to z = -4
    double axis[3]; // as passed, not of unit length
    bool scaled;    // the middle cube pulses
};
const Placement placements[cubeCount] = {
    {-2, -2, {1, 0.5, 0}, false}, {2, -2, {1, -0.5, 0.5}, false}, {2, 2, {0, 0.5, -1}, false},
    {-2, 2, {1, -0.5, 1}, false}, {0, 0, {-0.5, 1, 0}, true},
};

// The rotation glRotatef describes: counter-clockwise by angle degrees about
// the normalised axis, seen from the axis' tip.
struct Rotation {
    double m[3][3];

    Rotation(double degrees, const double axis[3]) {
        double length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
        double x = axis[0] / length, y = axis[1] / length, z = axis[2] / length;
        double radians = degrees * M_PI / 180.0;
        double c = std::cos(radians), s = std::sin(radians), t = 1 - c;
        double rows[3][3] = {{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
                             {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
                             {t * x * z - s * y, t * y * z + s * x, t * z * z + c}};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                m[i][j] = rows[i][j];
    }
    Vec3 apply(Vec3 v) const {
        return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
    }
    Vec3 undo(Vec3 v) const {
        return {m[0][0] * v.x + m[1][0] * v.y + m[2][0] * v.z, m[0][1] * v.x + m[1][1] * v.y + m[2][1] * v.z,
                m[0][2] * v.x + m[1][2] * v.y + m[2][2] * v.z};
    }
};

double scaleOf(Cube cube, const Pose& pose) {
    return placements[cube].scaled ? double(pose.scale) : 1.0;
}

Vec3 centreOf(Cube cube) {
    return {placements[cube].x, placements[cube].y, -depth};
}

// The faces by the axis of their normal and its sign, as the flat-shaded
// strip and quads colour them: back yellow, top green, front cyan, bottom
// magenta, both sides blue.
picture::Rgb faceColour(int axis, bool positive) {
    switch (axis) {
    case 0:
        return {0, 0, 255};
    case 1:
        return positive ? picture::Rgb{0, 255, 0} : picture::Rgb{255, 0, 255};
    default:
        return positive ? picture::Rgb{0, 255, 255} : picture::Rgb{255, 255, 0};
    }
}

struct Hit {
    double distance = std::numeric_limits<double>::infinity();
    picture::Rgb colour;
};

// Where the ray from the eye along direction enters the cube, if it does.
Hit castRay(Cube cube, const Pose& pose, const Rotation& rotation, Vec3 direction) {
    double scale = scaleOf(cube, pose);
    Vec3 centre = centreOf(cube);
    Vec3 origin = rotation.undo({-centre.x / scale, -centre.y / scale, -centre.z / scale});
    Vec3 along = rotation.undo({direction.x / scale, direction.y / scale, direction.z / scale});
    const double o[3] = {origin.x, origin.y, origin.z}, d[3] = {along.x, along.y, along.z};

    double enter = -std::numeric_limits<double>::infinity(), leave = std::numeric_limits<double>::infinity();
    int enterAxis = -1;
    bool enterPositive = false;
    for (int axis = 0; axis < 3; ++axis) {
        if (d[axis] == 0) {
            if (std::fabs(o[axis]) > 0.5)
                return {};
            continue;
        }
        double toLow = (-0.5 - o[axis]) / d[axis], toHigh = (0.5 - o[axis]) / d[axis];
        bool highFirst = toHigh < toLow;
        double nearer = highFirst ? toHigh : toLow, farther = highFirst ? toLow : toHigh;
        if (nearer > enter) {
            enter = nearer;
            enterAxis = axis;
            enterPositive = highFirst;
        }
        leave = std::min(leave, farther);
    }
    if (enterAxis < 0 || enter > leave || enter <= 0)
        return {};
    return {enter, faceColour(enterAxis, enterPositive)};
}

} // namespace

Pose poseAt(uint32_t tick) {
    // The angle is reduced to one turn in double precision before its one
    // rounding to a float, so it keeps tenth-of-a-degree steps at any uptime.
    float angle = float(std::fmod(double(tick) * double(0.1f), 360.0));
    float scale = float(std::sin(double(tick) * double(0.001f)) + double(1.1f));
    return {angle, scale};
}

Vec3 placeInEyeSpace(Cube cube, const Pose& pose, Vec3 local) {
    Rotation rotation(pose.angle, placements[cube].axis);
    Vec3 turned = rotation.apply(local);
    double scale = scaleOf(cube, pose);
    Vec3 centre = centreOf(cube);
    return {centre.x + scale * turned.x, centre.y + scale * turned.y, centre.z + scale * turned.z};
}

ScreenPoint project(Vec3 eye, int width, int height) {
    double x = eye.x / (aspect * -eye.z), y = eye.y / -eye.z;
    return {(x + 1) * width / 2, height - (y + 1) * height / 2};
}

picture::Picture render(const Pose& pose, int width, int height, bool withLowerLeft) {
    Rotation rotations[cubeCount] = {
        {pose.angle, placements[0].axis}, {pose.angle, placements[1].axis}, {pose.angle, placements[2].axis},
        {pose.angle, placements[3].axis}, {pose.angle, placements[4].axis},
    };
    picture::Picture expected(width, height);
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) {
            double x = (column + 0.5) * 2 / width - 1, y = (height - row - 0.5) * 2 / height - 1;
            Vec3 direction{x * aspect, y, -1};
            Hit nearest;
            for (int cube = withLowerLeft ? 0 : 1; cube < cubeCount; ++cube) {
                Hit hit = castRay(Cube(cube), pose, rotations[cube], direction);
                if (hit.distance < nearest.distance)
                    nearest = hit;
            }
            expected.set(column, row, nearest.colour);
        }
    return expected;
}

} // namespace cube_model
