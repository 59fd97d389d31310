// Buttons of windows: the window system's refresh and input pass reach them through these calls.
// The button records themselves land with the button module; until then no window has buttons.
#pragma once

#include "vrk/rect.h"

struct Button;
struct Window;

// The next button of a window's list, or null.
Button* VRK_button_next(Button* b);
// The button's id.
int VRK_button_id(const Button* b);
// Frees a button record.
void VRK_delete_button(Button* b);
// Puts the current image of every button of w into w's buffer for the screen rectangle r.
void VRK_button_refresh(Window* w, const Rect* r);
// The mouse's button event on w into *event (-1 none); 0 when w took the mouse, -1 when the next
// window down should be asked.
int VRK_check_buttons(Window* w, int* event);
