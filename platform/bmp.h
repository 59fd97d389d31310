// BMP writers for screen dumps (portable): the window system's dump, the demo and the headless
// driver write the same layout.
#pragma once

#include <cstdint>
#include <cstdio>

// Writes an 8-bit BMP (bottom-up rows, 256-entry palette of 6-bit values x 4) of a width x
// height picture to an open stream; 0 / -1.
int plat_write_bmp8(FILE* f, int width, int height, const uint8_t* pixels, int pitch,
                    const uint8_t* rgb6);
// Writes a 24-bit BMP (bottom-up rows) of a width x height picture of 16-bit pixels in the
// format of the three masks (each channel widened to 8 bits) to an open stream; 0 / -1.
int plat_write_bmp16(FILE* f, int width, int height, const uint8_t* pixels, int pitch,
                     uint32_t rmask, uint32_t gmask, uint32_t bmask);
