#include "x_pixels.h"

namespace testing_support {
namespace {

int lowestBit(unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// One colour channel scaled to 8 bits.
unsigned char channel(unsigned long pixel, unsigned long mask) {
    if (!mask)
        return 0;
    int shift = lowestBit(mask);
    unsigned long maximum = mask >> shift;
    return static_cast<unsigned char>(((pixel & mask) >> shift) * 255 / maximum);
}

} // namespace

Rgb rgbOf(unsigned long pixel, const Visual* visual) {
    return Rgb{channel(pixel, visual->red_mask), channel(pixel, visual->green_mask),
               channel(pixel, visual->blue_mask)};
}

RgbImage toRgb(XImage* image, const Visual* visual) {
    RgbImage rgb;
    rgb.width = image->width;
    rgb.height = image->height;
    rgb.pixels.resize(static_cast<std::size_t>(rgb.width) * rgb.height);
    for (int y = 0; y < rgb.height; ++y)
        for (int x = 0; x < rgb.width; ++x)
            rgb.pixels[static_cast<std::size_t>(y) * rgb.width + x] = rgbOf(XGetPixel(image, x, y), visual);
    return rgb;
}

} // namespace testing_support
