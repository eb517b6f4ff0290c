// A picture read back from a window: 8-bit RGB pixels, row 0 at the top, and
// the few measurements the picture tests make on it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace picture {

struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator==(const Rgb& other) const { return r == other.r && g == other.g && b == other.b; }
    bool operator!=(const Rgb& other) const { return !(*this == other); }
};

// The colour an OpenGL colour component c in 0..1 becomes in an 8-bit channel.
Rgb rgbOf(double r, double g, double b);
// Whether every channel of a lies within tolerance of b's.
bool near(Rgb a, Rgb b, int tolerance);
bool isBlack(Rgb c);
std::string describe(Rgb c);

// Inclusive pixel rectangle in image coordinates (row 0 at the top).
struct Box {
    int left = 0, top = 0, right = -1, bottom = -1;
    bool empty() const { return right < left || bottom < top; }
    int width() const { return empty() ? 0 : right - left + 1; }
    int height() const { return empty() ? 0 : bottom - top + 1; }
    bool contains(int column, int row) const {
        return column >= left && column <= right && row >= top && row <= bottom;
    }
    Box grown(int by) const { return {left - by, top - by, right + by, bottom + by}; }
    bool operator==(const Box& other) const {
        return empty()
                   ? other.empty()
                   : left == other.left && top == other.top && right == other.right && bottom == other.bottom;
    }
};
std::string describe(const Box& box);

using PixelTest = std::function<bool(Rgb)>;

class Picture {
  public:
    Picture() = default;
    Picture(int width, int height) : width_(width), height_(height), pixels_(size_t(width) * height) {}

    int width() const { return width_; }
    int height() const { return height_; }
    Box whole() const { return {0, 0, width_ - 1, height_ - 1}; }
    Rgb at(int column, int row) const { return pixels_[size_t(row) * width_ + column]; }
    void set(int column, int row, Rgb c) { pixels_[size_t(row) * width_ + column] = c; }

    // The smallest box around the pixels of region (clipped to the picture)
    // that pass test; empty when none does.
    Box boundsWhere(const Box& region, const PixelTest& test) const;
    int countWhere(const Box& region, const PixelTest& test) const;
    // Writes a binary PPM, for looking at a picture after a failure.
    bool savePpm(const std::string& path) const;

    bool operator==(const Picture& other) const {
        return width_ == other.width_ && height_ == other.height_ && pixels_ == other.pixels_;
    }

  private:
    Box clipped(const Box& region) const;

    int width_ = 0, height_ = 0;
    std::vector<Rgb> pixels_;
};

// Pixels where actual differs from expected although expected is of one colour
// all around them: differences that an edge falling a hair either side of a
// pixel centre cannot explain. Pictures of different sizes differ everywhere.
int differencesAwayFromEdges(const Picture& actual, const Picture& expected);
int differences(const Picture& actual, const Picture& expected);

} // namespace picture
