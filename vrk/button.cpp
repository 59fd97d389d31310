// Buttons: the calls the window system makes. No window has buttons yet, so every list is empty.
#include "vrk/button.h"

#include "vrk/vrk.h"

Button* VRK_button_next(Button*) { return nullptr; }
int VRK_button_id(const Button*) { return -1; }
void VRK_delete_button(Button*) {}
void VRK_button_refresh(Window*, const Rect*) {}

int VRK_check_buttons(Window* w, int* event) {
  if (event) *event = -1;
  return w && w->button_list ? 0 : -1;
}
