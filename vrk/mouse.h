// The mouse of the window system: the cursor the window system draws itself (shape, animation,
// hot spot, shown or hidden), its position, and the button events of each poll. The device gives
// relative motion and two raw buttons; mouse_simulate_input is the one entry every motion and
// button change goes through. Everything does nothing until VRK_mouse_init.
#pragma once

#include <cstdint>

#include "vrk/rect.h"

// Button event bits of mouse_get_buttons.
enum : int {
  MOUSE_LEFT_PRESSED = 0x01,   // went down, or held and 250 ms passed since the last press event
  MOUSE_RIGHT_PRESSED = 0x02,
  MOUSE_LEFT_HELD = 0x04,      // down now and at the previous poll
  MOUSE_RIGHT_HELD = 0x08,
  MOUSE_LEFT_RELEASED = 0x10,
  MOUSE_RIGHT_RELEASED = 0x20,
};
// Milliseconds between repeated press events of a held button.
constexpr int MOUSE_AUTO_PRESS_MS = 250;

// Takes the device (when it cannot be had now, activation takes it later), sets the built-in
// arrow and centres the cursor (hidden); 0, or -1 (the arrow cannot be set).
int VRK_mouse_init(void);
// Gives the device back, frees the cursor buffer and stops the animation.
void VRK_mouse_exit(void);
// Sets the cursor image (null: the built-in 8 x 8 arrow, hot spot (1, 1)), keeping the hot spot's
// screen point; 0, or -1 (the old shape stays) when the buffer cannot be allocated or the mouse
// is not started (outside the window system).
int mouse_set_shape(const uint8_t* image, int width, int height, int pitch, int hotx, int hoty, int trans);
// The current image and its geometry; 0.
int mouse_get_shape(const uint8_t** image, int* width, int* height, int* pitch, int* hotx, int* hoty, int* trans);
// An animated cursor: count frames of width x height one after another, starting at `first`,
// each shown for `speed` ms; 0 or -1.
int mouse_set_anim_frames(const uint8_t* strip, int count, int first, int width, int height, int hotx, int hoty,
                          int trans, int speed);
// The animation's values; 0, or -1 when the cursor is not animated.
int mouse_get_anim(const uint8_t** strip, int* count, int* width, int* height, int* hotx, int* hoty, int* trans,
                   int* speed);
// Draws the cursor (composed over the windows below it) and marks it shown.
void mouse_show(void);
// Marks the cursor hidden and redraws what was under it.
void mouse_hide(void);
// Polls the device (while shown and enabled) and feeds mouse_simulate_input.
void mouse_info(void);
// Motion and raw buttons (1 left, 2 right) as if read from the device: button events, rest
// timer, cursor motion (while present and shown).
void mouse_simulate_input(int dx, int dy, int buttons);
// The event recorder's hooks (null: none): `record` sees every change of motion or buttons that
// mouse_simulate_input takes; `device` is given what a poll read from the device and returns 0 to
// pass it on, 1 to replace it by no motion with the buttons held so far, 2 to drop it.
void VRK_mouse_hook_vcr(void (*record)(int dx, int dy, int buttons), int (*device)(int dx, int dy, int buttons));
// 1 when the cursor image overlaps the rectangle.
int mouse_in(int ulx, int uly, int lrx, int lry);
// 1 when the hot spot lies inside the rectangle (edges included).
int mouse_click_in(int ulx, int uly, int lrx, int lry);
// The cursor image's screen rectangle.
void mouse_get_rect(Rect* r);
// The hot spot's screen position.
void mouse_get_position(int* x, int* y);
// Puts the hot spot at (x, y), kept on the screen; does not redraw.
void mouse_set_position(int x, int y);
// The button events of the last poll (MOUSE_* bits).
int mouse_get_buttons(void);
// 1 when the cursor is not on the screen.
int mouse_hidden(void);
// The hot spot inside the image.
void mouse_get_hotspot(int* x, int* y);
// Moves the hot spot inside the image, keeping its screen point (the image shifts).
void mouse_set_hotspot(int x, int y);
// 1 once the device was found.
int mouse_query_exist(void);
// Reads the device: unclipped position without sensitivity, and raw buttons.
void mouse_get_raw_state(int* x, int* y, int* buttons);
void mouse_disable(void);
void mouse_enable(void);
int mouse_is_disabled(void);
// Taken only when strictly between 0 and 2.0.
void mouse_set_sensitivity(double s);
double mouse_get_sensitivity(void);
// Milliseconds the mouse has rested with no button down; 0 when not resting, hidden, disabled or absent.
int mouse_elapsed_time(void);
// Ends the current rest.
void mouse_reset_elapsed_time(void);
// The animation's background process: the next frame when its time has come.
void VRK_mouse_anim(void);
// Keeps the hot spot on the screen (after a mode change).
void VRK_mouse_clip(void);
