// The headless driver's controls: a memory framebuffer and palette, key and mouse events
// injected by tests (and by event playback), a virtual clock, and 8-bit BMP frame dumps.
// These act on the headless driver's state whether or not it is the current driver.
#pragma once

#include <cstdint>
#include <cstdio>

// Queues a key event (DirectInput key code, 1 down / 0 up); dropped when 256 are waiting.
void plat_headless_key(int code, int down);
// Adds mouse motion and sets the raw buttons (1 left, 2 right) for the next mouse read.
void plat_headless_mouse(int dx, int dy, int buttons);
// Simulates the program gaining (1) or losing (0) the foreground, as the system would tell it.
void plat_headless_focus(int active);
// Simulates the system asking for a part of the screen to be redrawn.
void plat_headless_expose(int ulx, int uly, int lrx, int lry);
// Simulates closing the window.
void plat_headless_close(void);
// Moves the virtual clock forward by ms.
void plat_headless_advance(uint32_t ms);
// Sets the virtual clock.
void plat_headless_set_time(uint32_t ms);
// How far each clock read moves the clock (1 by default, so waiting loops end; 0 for tests that
// drive time themselves).
void plat_headless_set_time_step(uint32_t ms);
// The framebuffer (null without a mode), with its size, pitch and depth.
const uint8_t* plat_headless_pixels(int* width, int* height, int* pitch, int* bpp);
// Copies the current palette as 256 6-bit RGB triples into rgb6 (768 bytes).
void plat_headless_palette(uint8_t* rgb6);
// 1 while the program has the (simulated) foreground.
int plat_headless_active(void);
// The last title set.
const char* plat_headless_title(void);
// Writes an 8-bit BMP (bottom-up rows, 256-entry palette of 6-bit values x 4) of a width x
// height picture to an open stream; 0 / -1. Portable: vrk's screen dump writes the same layout.
int plat_write_bmp8(FILE* f, int width, int height, const uint8_t* pixels, int pitch,
                    const uint8_t* rgb6);
// Writes the headless frame (8-bit mode) as an 8-bit BMP file; 0 / -1.
int plat_headless_dump(const char* path);
