// The window system's rectangle: four signed 32-bit ints, both corners inclusive.
#pragma once

#include <cstdint>

struct Rect {
  int32_t ulx, uly, lrx, lry;
};
