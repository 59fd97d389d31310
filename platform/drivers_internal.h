// What the platform's own files share and nothing above platform/ includes (tests may): the
// drivers' entry points for the table and the SDL key map.
#pragma once

#include "platform/driver.h"

// --- per-driver entry points for the table (defined only in builds that have the driver) ---
int plat_headless_available(void);
int plat_headless_create(plat_driver* out);
int plat_sdl_available(void);
int plat_sdl_create(plat_driver* out);
int plat_win32_available(void);
int plat_win32_create(plat_driver* out);

// --- sdl key mapping (portable: SDL scancodes are USB HID usage numbers) ---
// The DirectInput key code for an SDL scancode, or 0 when the key has none.
int plat_sdl_scancode_to_dik(int scancode);

// --- the changed rectangle a driver accumulates between presents ---
struct plat_dirty {
  int ulx = 0, uly = 0, lrx = -1, lry = -1;  // empty while lrx < ulx
};

// Adds (ulx, uly, lrx, lry), clipped to width x height, to the union in d; empty rectangles add nothing.
inline void plat_dirty_add(plat_dirty& d, int ulx, int uly, int lrx, int lry, int width, int height) {
  if (ulx < 0) ulx = 0;
  if (uly < 0) uly = 0;
  if (lrx >= width) lrx = width - 1;
  if (lry >= height) lry = height - 1;
  if (lrx < ulx || lry < uly) return;
  if (d.lrx < d.ulx) {
    d = {ulx, uly, lrx, lry};
    return;
  }
  if (ulx < d.ulx) d.ulx = ulx;
  if (uly < d.uly) d.uly = uly;
  if (lrx > d.lrx) d.lrx = lrx;
  if (lry > d.lry) d.lry = lry;
}
