// Palette storage shared by the drivers that keep their own palette (headless, sdl): 256 entries
// of 8-bit components, handed in and out as 6-bit ones (internal to platform/).
#pragma once

#include <cstdint>

#include "platform/driver.h"

// Stores count 6-bit triples from rgb6 at entry first; 0, or -1 when the range leaves 0-255.
inline int plat_pal_put(uint8_t* pal8, const uint8_t* rgb6, int first, int count) {
  if (first < 0 || count < 0 || first + count > 256) return -1;
  for (int i = 0; i < count * 3; ++i) pal8[first * 3 + i] = uint8_t((rgb6[i] & 63) << 2);
  return 0;
}

// Reads count entries from first back as 6-bit triples; 0, or -1 when the range leaves 0-255.
inline int plat_pal_get(const uint8_t* pal8, uint8_t* rgb6, int first, int count) {
  if (first < 0 || count < 0 || first + count > 256) return -1;
  for (int i = 0; i < count * 3; ++i) rgb6[i] = uint8_t(pal8[first * 3 + i] >> 2);
  return 0;
}

// The 16-bit format of the drivers that choose their own: 5-6-5.
constexpr plat_pixel_format PLAT_RGB565 = {0xF800, 0x07E0, 0x001F};
