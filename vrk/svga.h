// Display device: display modes, the palette (6-bit components) and the screen-blit routines
// through which every drawn rectangle reaches the screen. The work goes to the current platform
// driver (platform/driver.h). Without a mode the palette calls keep a recorded palette, so the
// colour system works (and is tested) with no screen at all.
#pragma once

#include <cstdint>

#include "vrk/rect.h"

typedef void (*update_palette_fn)(void);
// A screen-blit routine: (source, source pitch, source height (unused), source x, y, width,
// height, destination x, y).
typedef void (*scr_blit_fn)(const uint8_t* src, int src_pitch, int src_height, int src_x, int src_y, int width,
                            int height, int dst_x, int dst_y);
// The same with a transparent colour: source pixels of that value leave the screen unchanged.
typedef void (*scr_blit_trans_fn)(const uint8_t* src, int src_pitch, int src_height, int src_x, int src_y,
                                  int width, int height, int dst_x, int dst_y, uint8_t trans);

extern int VRK95_isActive;                // 1 while the program is the active application (blits draw only then)
extern Rect scr_size;                     // (0, 0, width-1, height-1) of the current mode
extern scr_blit_fn scr_blit;              // window refresh
extern scr_blit_fn mouse_blit;            // opaque cursor images
extern scr_blit_trans_fn mouse_blit_trans;  // cursor images with a transparent colour; null in 8-bit mode
extern update_palette_fn update_palette_func;
extern uint32_t w95rmask, w95gmask, w95bmask;  // 16-bit pixel format masks
extern int w95rshift, w95gshift, w95bshift;    // highest mask bit minus 7, per channel
extern uint16_t VRK95_Pal16[256];              // 16-bit mode: screen pixel per palette index

// --- modes: 0, or -1 (a refused mode leaves the display as it was) ---
int init_mode_320_200(void);
int init_mode_320_240(void);
int init_mode_320_400(void);
int init_mode_640_400(void);
int init_mode_640_480(void);
int init_mode_800_600(void);
int init_mode_1024_768(void);
int init_mode_1280_1024(void);
// 640 x 480 at 16 bits per pixel.
int init_mode_640_480_hi(void);
// Not available on this platform: always -1.
int init_mode_640_200(void);
int init_mode_640_240(void);
int init_mode_800_300(void);
int init_mode_1024_384(void);
int init_mode_1280_512(void);
int init_mode_640_480_16(void);
// VRK95_init_mode_ex(width, height, 8) when half is 0, else -1; the mode number is ignored.
int init_vesa_mode(int mode, int width, int height, int half);
// Kept for the interface; does nothing.
void get_start_mode(void);
// VRK95_init_mode_ex(width, height, 8).
int VRK95_init_mode(int width, int height);
// Sets a width x height mode at 8 or 16 bits, fills scr_size and the blit routines; 0 / -1.
int VRK95_init_mode_ex(int width, int height, int bpp);
// 0 when a display driver is there to make the window, else -1.
int VRK95_init_window(void);
// Sets the driver's mode; a mode change keeps the palette. 0 / -1.
int VRK95_init_DirectDraw(int width, int height, int bpp);
// Releases the mode; safe when none is set.
void VRK95_reset_mode(void);
void reset_mode(void);
// Bits per pixel of the current mode, 0 without one.
int VRK95_mode_bpp(void);

// --- palette (components 0-63; out-of-range indices are ignored) ---
// Sets one entry, then update_palette_func.
void VRK95_SetPaletteEntry(int index, int r, int g, int b);
// Sets `count` consecutive entries from triples starting at `first` (clipped to 0-255).
void VRK95_SetPaletteEntries(const uint8_t* triples, int first, int count);
// Sets all 256 entries from 768 bytes of triples.
void VRK95_SetPalette(const uint8_t* triples);
// Makes the colour system hand its palettes to the display (the window system's start calls it).
void VRK95_hook_color(void);
// Reads one entry; 0, or -1 for an index outside 0-255 or a palette that cannot be read.
int VRK95_GetPaletteEntry(int index, int* r, int* g, int* b);
// A static 768-byte copy of the palette, overwritten by the next call; null when it cannot be read.
const uint8_t* VRK95_GetPalette(void);
// Sets / reads the routine called after every palette change (null: none).
void set_update_palette_func(update_palette_fn fn);
update_palette_fn get_update_palette_func(void);
// Number of palette hand-offs so far (every Set* call counts one).
int VRK95_PaletteChanges(void);

// --- the fast copy switch ---
// Sets mmxEnabled to flag, only when the processor has the fast path (asked once).
void mmxEnable(int flag);

// --- screen blits ---
void VRK95_ShowRect(const uint8_t* src, int src_pitch, int src_height, int src_x, int src_y, int width, int height,
                    int dst_x, int dst_y);
void VRK95_ShowRect16(const uint8_t* src, int src_pitch, int src_height, int src_x, int src_y, int width,
                      int height, int dst_x, int dst_y);
void VRK95_MouseShowRect16(const uint8_t* src, int src_pitch, int src_height, int src_x, int src_y, int width,
                           int height, int dst_x, int dst_y);
void VRK95_MouseShowTransRect16(const uint8_t* src, int src_pitch, int src_height, int src_x, int src_y,
                                int width, int height, int dst_x, int dst_y, uint8_t trans);
// Converts count palette indices to 16-bit pixels through VRK95_Pal16.
void palcpy(uint16_t* dst, const uint8_t* src, int count);
// As palcpy, skipping source pixels equal to trans.
void trans_palcpy(uint16_t* dst, const uint8_t* src, int count, uint8_t trans);
// Index (0-31) of the highest set bit of v, 0 for 0.
int VRK95_ffs(uint32_t v);
// A 6-bit colour as a pixel of the current 16-bit format.
uint16_t VRK95_color_to_pixel16(int r, int g, int b);
// A 16-bit pixel back to 6-bit components (the bits the format drops stay 0).
void VRK95_pixel16_to_color(uint16_t pixel, int* r, int* g, int* b);

// Routine the display calls to have the window system redraw part of the screen (win_refresh_all
// once the window system is up; null: nothing). Used after a 16-bit palette change.
extern void (*VRK95_repaint_func)(const Rect* r);
