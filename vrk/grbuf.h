// Drawing primitives on 8-bit buffers of palette indices: a buffer is a pointer to its top-left
// pixel and a pitch (bytes from one row to the next). Pixel value 0 is transparent for every
// transparent copy. Nothing clips: callers pass rectangles that lie inside every buffer named.
#pragma once

#include <cstdint>

// Line from (x1,y1) to (x2,y2); vertical lines include both ends, horizontal ones stop before x2.
void draw_line(uint8_t* buf, int pitch, int x1, int y1, int x2, int y2, int color);
// The four edges of a box (vertical edges include both ends, so all four corners are set).
void draw_box(uint8_t* buf, int pitch, int left, int top, int right, int bottom, int color);
// A box with top and left edges in `light`, bottom and right edges in `dark`.
void draw_shaded_box(uint8_t* buf, int pitch, int left, int top, int right, int bottom, int light, int dark);
// Circle outline of radius r around (cx, cy).
void draw_circle(uint8_t* buf, int pitch, int cx, int cy, int r, int color);

// Scales a source rectangle onto a destination rectangle of another size (repeating or dropping pixels).
void cscale(const uint8_t* src, int sw, int sh, int spitch, uint8_t* dst, int dw, int dh, int dpitch);
// As cscale, leaving the destination under source pixels of value 0.
void trans_cscale(const uint8_t* src, int sw, int sh, int spitch, uint8_t* dst, int dw, int dh, int dpitch);

// Copies a width x height rectangle (through srcCopy).
void buf_to_buf(const uint8_t* src, int width, int height, int spitch, uint8_t* dst, int dpitch);
// Copies every source pixel except those of value 0 (through transSrcCopy).
void trans_buf_to_buf(const uint8_t* src, int width, int height, int spitch, uint8_t* dst, int dpitch);
// Copies source pixels where the mask byte at the same position is nonzero.
void mask_buf_to_buf(const uint8_t* src, int width, int height, int spitch, const uint8_t* mask, int mpitch,
                     uint8_t* dst, int dpitch);
// Copies source pixels that are nonzero and whose mask byte is nonzero.
void mask_trans_buf_to_buf(const uint8_t* src, int width, int height, int spitch, const uint8_t* mask, int mpitch,
                           uint8_t* dst, int dpitch);
// Copies each row mirrored left to right, skipping source pixels of value 0.
void rev_trans_buf_to_buf(const uint8_t* src, int width, int height, int spitch, uint8_t* dst, int dpitch);

// Fills the rectangle with `color`.
void buf_fill(uint8_t* buf, int width, int height, int pitch, int color);
// Tiles `texture` (16-bit width, 16-bit height, little-endian, then the pixels row by row) over the
// rectangle, starting at texture column tx and row ty (taken modulo the texture size).
void buf_texture(uint8_t* buf, int width, int height, int pitch, const uint8_t* texture, int tx, int ty);
// Brightens every pixel by 19/128 through intensityColorTable (column 147).
void lighten_buf(uint8_t* buf, int width, int height, int pitch);
// Exchanges colours a and b throughout the rectangle.
void swap_color_buf(uint8_t* buf, int width, int height, int pitch, int a, int b);
// Draws a one-pixel outline in `color` around the nonzero shapes of the rectangle.
void buf_outline(uint8_t* buf, int width, int height, int pitch, int color);
