// The input devices: the keyboard and the mouse of the display driver, taken and read for the
// keyboard driver (vrk/kb), the mouse (vrk/mouse) and the input loop (vrk/input).
#pragma once

#include "platform/driver.h"

// Opens the driver's input (keyboard and mouse devices); 1 when both exist, 0 otherwise (also
// when they are open already), with nothing left open.
int dxinput_init(void);
// Gives both devices back and closes the driver's input; nothing when it was not open.
void dxinput_exit(void);

// Takes the keyboard (while the program is active); 1 on success or when already taken, else 0.
int dxinput_acquire_keyboard(void);
// Gives the keyboard back; 1 on success or when not taken, else 0.
int dxinput_unacquire_keyboard(void);
// Drops every waiting key event.
void dxinput_flush_keyboard_buffer(void);
// The next key event (read 32 at a time from the driver); 1 when one was returned, 0 when none.
int dxinput_read_keyboard_buffer(plat_key_event* out);

// Takes the mouse; 1 on success or when already taken, else 0.
int dxinput_acquire_mouse(void);
// Gives the mouse back; 1 on success or when not taken, else 0.
int dxinput_unacquire_mouse(void);
// The mouse's motion since the last read and its buttons; 1, or 0 when the device is missing or
// cannot be read.
int dxinput_get_mouse_state(plat_mouse_state* out);
