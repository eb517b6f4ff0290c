#include "picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace picture {

Rgb rgbOf(double r, double g, double b) {
    auto channel = [](double c) { return int(std::lround(c * 255.0)); };
    return {channel(r), channel(g), channel(b)};
}

bool near(Rgb a, Rgb b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

bool isBlack(Rgb c) {
    return c.r == 0 && c.g == 0 && c.b == 0;
}

std::string describe(Rgb c) {
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

std::string describe(const Box& box) {
    if (box.empty())
        return "nothing";
    return "columns " + std::to_string(box.left) + ".." + std::to_string(box.right) + ", rows " +
           std::to_string(box.top) + ".." + std::to_string(box.bottom);
}

Box Picture::clipped(const Box& region) const {
    return {std::max(region.left, 0), std::max(region.top, 0), std::min(region.right, width_ - 1),
            std::min(region.bottom, height_ - 1)};
}

Box Picture::boundsWhere(const Box& region, const PixelTest& test) const {
    Box area = clipped(region);
    Box found;
    bool any = false;
    for (int row = area.top; row <= area.bottom; ++row)
        for (int column = area.left; column <= area.right; ++column) {
            if (!test(at(column, row)))
                continue;
            if (!any)
                found = {column, row, column, row};
            found.left = std::min(found.left, column);
            found.right = std::max(found.right, column);
            found.top = std::min(found.top, row);
            found.bottom = std::max(found.bottom, row);
            any = true;
        }
    return any ? found : Box{};
}

int Picture::countWhere(const Box& region, const PixelTest& test) const {
    Box area = clipped(region);
    int count = 0;
    for (int row = area.top; row <= area.bottom; ++row)
        for (int column = area.left; column <= area.right; ++column)
            count += test(at(column, row)) ? 1 : 0;
    return count;
}

bool Picture::savePpm(const std::string& path) const {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    std::fprintf(file, "P6\n%d %d\n255\n", width_, height_);
    for (const Rgb& c : pixels_) {
        unsigned char bytes[3] = {(unsigned char)c.r, (unsigned char)c.g, (unsigned char)c.b};
        std::fwrite(bytes, 1, 3, file);
    }
    return std::fclose(file) == 0;
}

int differences(const Picture& actual, const Picture& expected) {
    if (actual.width() != expected.width() || actual.height() != expected.height())
        return std::max(actual.width() * actual.height(), expected.width() * expected.height());
    int count = 0;
    for (int row = 0; row < actual.height(); ++row)
        for (int column = 0; column < actual.width(); ++column)
            count += actual.at(column, row) != expected.at(column, row) ? 1 : 0;
    return count;
}

int differencesAwayFromEdges(const Picture& actual, const Picture& expected) {
    if (actual.width() != expected.width() || actual.height() != expected.height())
        return differences(actual, expected);
    int count = 0;
    for (int row = 0; row < actual.height(); ++row)
        for (int column = 0; column < actual.width(); ++column) {
            Rgb wanted = expected.at(column, row);
            if (actual.at(column, row) == wanted)
                continue;
            Box around = Box{column - 1, row - 1, column + 1, row + 1};
            bool onEdge = expected.countWhere(around, [&](Rgb c) { return c != wanted; }) > 0;
            count += onEdge ? 0 : 1;
        }
    return count;
}

} // namespace picture
