// The input devices over the display driver's keyboard and mouse.
#include "vrk/dxinput.h"

namespace {

bool open = false;

}  // namespace

int dxinput_init(void) {
  plat_driver* d = plat_driver_get();
  if (open || !d || !d->input_init()) return 0;
  open = true;
  return 1;
}

void dxinput_exit(void) {
  if (!open) return;
  dxinput_unacquire_keyboard();
  dxinput_unacquire_mouse();
  if (plat_driver* d = plat_driver_get()) d->input_exit();
  open = false;
}

int dxinput_acquire_keyboard(void) {
  plat_driver* d = plat_driver_get();
  return d && d->acquire_keyboard(1) ? 1 : 0;
}

int dxinput_unacquire_keyboard(void) {
  plat_driver* d = plat_driver_get();
  return d && d->acquire_keyboard(0) ? 1 : 0;
}

void dxinput_flush_keyboard_buffer(void) { plat_flush_keys(); }

int dxinput_read_keyboard_buffer(plat_key_event* out) { return out ? plat_read_key(out) : 0; }

int dxinput_acquire_mouse(void) {
  plat_driver* d = plat_driver_get();
  return d && d->acquire_mouse(1) ? 1 : 0;
}

int dxinput_unacquire_mouse(void) {
  plat_driver* d = plat_driver_get();
  return d && d->acquire_mouse(0) ? 1 : 0;
}

int dxinput_get_mouse_state(plat_mouse_state* out) { return out ? plat_read_mouse(out) : 0; }
