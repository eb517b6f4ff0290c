// Pixels read from the X server turned into 8-bit RGB, whatever the width of
// the visual's colour channels.
#pragma once

#include "x_client.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace testing_support {

Rgb rgbOf(unsigned long pixel, const Visual* visual);
// The whole image, top row first.
RgbImage toRgb(XImage* image, const Visual* visual);

} // namespace testing_support
