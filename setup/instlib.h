// The installer's own drawing and dialogs: panels whose picture is the dimmed screen beneath them
// with translucent bevels, and the message box every error is shown in.
//
// A brightness factor f (0 <= f < 2) maps a pixel p to intensityColorTable[p][level], level =
// int(f * 65536) >> 9: 1.0 leaves pixels unchanged, less darkens, more brightens.
#pragma once

#include <cstdint>

// Applies `factor` to every pixel of the line from (x1, y1) to (x2, y2), both ends included; the
// line must lie inside the buffer.
void drawTranslucentLine(uint8_t* buffer, int pitch, int x1, int y1, int x2, int y2, float factor);
// One rectangle ring: top and left edges by `light`, bottom and right edges by `dark` (the
// corners are changed twice).
void drawTranslucentBox(uint8_t* buffer, int pitch, int x, int y, int width, int height, float light, float dark);
// `depth` nested rings, each one pixel further in on every side; nothing for depth <= 0.
void bevelBox(uint8_t* buffer, int pitch, int x, int y, int width, int height, int depth, float light, float dark);
// Makes managed window `name` whose picture is the current window's pixels beneath it dimmed by
// `dim`, with a raised border of three rings; 1, or 0 (no name, the rectangle not inside the
// current window, or the window cannot be made). The new window is not left current.
int createDimmedWindow(const char* name, int x, int y, int width, int height, float dim, int flags);
// Adds button `name` to the current window (pitch: the window's width) whose pictures are the
// window's own pixels under it, bevelled raised (normal) and sunken (pressed); 1, or 0 when the
// button cannot be added or its rectangle does not lie inside the window.
int windowAddTranslucentButton(const char* name, int x, int y, int width, int height, int flags, int pitch);
// The installer's message box: formats like printf (at most 1023 characters), shows the text,
// showing the mouse for the time of the box, and returns when the user dismisses it; the
// formatted length, or -1 when the box cannot be shown.
int sprintfBox(const char* format, ...) __attribute__((format(printf, 1, 2)));
