// The mouse: cursor drawing, position and button events.
#include "vrk/mouse.h"

#include <algorithm>
#include <cstring>

#include "color/color.h"
#include "platform/driver.h"
#include "vrk/dxinput.h"
#include "vrk/input.h"
#include "vrk/memory.h"
#include "vrk/svga.h"
#include "vrk/vrk.h"

namespace {

int mouse_started = 0;  // between VRK_mouse_init and VRK_mouse_exit


int have_mouse = 0;
int mouse_is_hidden = 1;
int mouse_disabled = 0;
int mouse_x = 0, mouse_y = 0;
int mouse_hotx = 0, mouse_hoty = 0;
const uint8_t* mouse_shape = nullptr;
int mouse_width = 0, mouse_length = 0, mouse_full = 0;
int mouse_trans = 0;
uint8_t* mouse_buf = nullptr;
const uint8_t* mouse_fptr = nullptr;
int mouse_num_frames = 0, mouse_curr_frame = 0, mouse_speed = 0;
uint32_t anim_time = 0;
int mouse_buttons = 0;
int last_buttons = 0;
int raw_x = 0, raw_y = 0, raw_buttons = 0;
double mouse_sensitivity = 1.0;
int mouse_idling = 0;
uint32_t mouse_idle_start_time = 0;
uint32_t left_press_time = 0, right_press_time = 0;
void (*vcr_record_hook)(int dx, int dy, int buttons) = nullptr;
int (*vcr_device_hook)(int dx, int dy, int buttons) = nullptr;

constexpr uint8_t kArrow[64] = {
    1, 1,  1,  1,  1,  1,  1,  0,  //
    1, 15, 15, 15, 15, 15, 1,  0,  //
    1, 15, 15, 15, 15, 1,  1,  0,  //
    1, 15, 15, 15, 15, 1,  1,  0,  //
    1, 15, 15, 15, 15, 15, 1,  1,  //
    1, 15, 1,  1,  15, 15, 15, 1,  //
    1, 1,  1,  1,  1,  15, 15, 1,  //
    0, 0,  0,  0,  1,  1,  1,  1,  //
};
uint8_t or_mask[64];

void mouse_colorize() {
  for (int i = 0; i < 64; ++i)
    or_mask[i] = kArrow[i] == 15 ? colorTable[0x7FFF] : kArrow[i] == 1 ? colorTable[0x2108] : colorTable[0];
}

void stop_anim() {
  if (mouse_fptr) remove_bk_process(VRK_mouse_anim);
  mouse_fptr = nullptr;
}

// One button's events from the previous events and whether it is down now.
int button_events(int prev, bool down, int pressed, int held, int released, uint32_t now, uint32_t& press_time) {
  if (prev & (pressed | held)) {
    if (!down) return released;
    int e = held;
    if (now - press_time >= uint32_t(MOUSE_AUTO_PRESS_MS)) {
      e |= pressed;
      press_time = now;
    }
    return e;
  }
  if (!down) return 0;
  press_time = now;
  return pressed;
}

}  // namespace

void VRK_mouse_clip(void) {
  int hx = std::clamp(mouse_x + mouse_hotx, scr_size.ulx, std::max(scr_size.ulx, scr_size.lrx));
  int hy = std::clamp(mouse_y + mouse_hoty, scr_size.uly, std::max(scr_size.uly, scr_size.lry));
  mouse_x = hx - mouse_hotx;
  mouse_y = hy - mouse_hoty;
}

int VRK_mouse_init(void) {
  mouse_started = 1;
  have_mouse = 0;
  mouse_disabled = 0;
  mouse_is_hidden = 1;
  mouse_buttons = last_buttons = raw_buttons = 0;
  mouse_colorize();
  if (mouse_set_shape(nullptr, 0, 0, 0, 0, 0, 0) != 0) return -1;
  // The system refuses the mouse to a program that is not in the foreground: it is taken again
  // when the program is activated (VRK95_activate), and reads give nothing until then.
  dxinput_acquire_mouse();
  have_mouse = 1;
  mouse_x = scr_size.lrx / 2;
  mouse_y = scr_size.lry / 2;
  raw_x = mouse_x;
  raw_y = mouse_y;
  mouse_idling = 1;
  mouse_idle_start_time = get_time();
  return 0;
}

void VRK_mouse_exit(void) {
  stop_anim();
  dxinput_unacquire_mouse();
  mem_free(mouse_buf);
  mouse_buf = nullptr;
  mouse_width = mouse_length = 0;
  mouse_shape = nullptr;
  have_mouse = 0;
  mouse_is_hidden = 1;
  mouse_started = 0;
}

int mouse_set_shape(const uint8_t* image, int width, int height, int pitch, int hotx, int hoty, int trans) {
  // Outside the window system there is no cursor to shape, and a buffer taken now would come
  // from another allocator than the one that frees it later.
  if (!mouse_started) return -1;
  if (!image) {
    image = or_mask;
    width = height = pitch = 8;
    hotx = hoty = 1;
    trans = colorTable[0];
  }
  if (width <= 0 || height <= 0 || pitch < width) return -1;
  const int shown = !mouse_is_hidden;
  if (shown) mouse_hide();
  if (width != mouse_width || height != mouse_length || !mouse_buf) {
    auto* nb = static_cast<uint8_t*>(mem_malloc(size_t(width) * size_t(height)));
    if (!nb) {
      if (shown) mouse_show();
      return -1;
    }
    mem_free(mouse_buf);
    mouse_buf = nb;
  }
  mouse_shape = image;
  mouse_width = width;
  mouse_length = height;
  mouse_full = pitch;
  mouse_trans = trans;
  stop_anim();
  mouse_x += mouse_hotx - hotx;
  mouse_y += mouse_hoty - hoty;
  mouse_hotx = hotx;
  mouse_hoty = hoty;
  VRK_mouse_clip();
  if (shown) mouse_show();
  raw_x = mouse_x;
  raw_y = mouse_y;
  return 0;
}

int mouse_get_shape(const uint8_t** image, int* width, int* height, int* pitch, int* hotx, int* hoty, int* trans) {
  if (image) *image = mouse_shape;
  if (width) *width = mouse_width;
  if (height) *height = mouse_length;
  if (pitch) *pitch = mouse_full;
  if (hotx) *hotx = mouse_hotx;
  if (hoty) *hoty = mouse_hoty;
  if (trans) *trans = mouse_trans;
  return 0;
}

void VRK_mouse_anim(void) {
  if (!mouse_fptr || mouse_num_frames <= 0) return;
  uint32_t now = get_time();
  if (now - anim_time < uint32_t(mouse_speed)) return;
  anim_time = now;
  mouse_curr_frame = (mouse_curr_frame + 1) % mouse_num_frames;
  mouse_shape = mouse_fptr + size_t(mouse_curr_frame) * size_t(mouse_width) * size_t(mouse_length);
  if (!mouse_is_hidden) mouse_show();
}

int mouse_set_anim_frames(const uint8_t* strip, int count, int first, int width, int height, int hotx, int hoty,
                          int trans, int speed) {
  if (!strip || count <= 0 || first < 0 || first >= count) return -1;
  if (mouse_set_shape(strip + size_t(first) * size_t(width) * size_t(height), width, height, width, hotx, hoty,
                      trans) != 0)
    return -1;
  mouse_fptr = strip;
  mouse_num_frames = count;
  mouse_speed = speed;
  mouse_curr_frame = first;
  anim_time = get_time();
  add_bk_process(VRK_mouse_anim);
  return 0;
}

int mouse_get_anim(const uint8_t** strip, int* count, int* width, int* height, int* hotx, int* hoty, int* trans,
                   int* speed) {
  if (!mouse_fptr) return -1;
  if (strip) *strip = mouse_fptr;
  if (count) *count = mouse_num_frames;
  mouse_get_shape(nullptr, width, height, nullptr, hotx, hoty, trans);
  if (speed) *speed = mouse_speed;
  return 0;
}

void mouse_show(void) {
  if (!have_mouse || !mouse_buf || !mouse_shape) return;
  if (!mouse_blit_trans || !mouse_is_hidden) {
    win_get_mouse_buf(mouse_buf);
    for (int y = 0; y < mouse_length; ++y)
      for (int x = 0; x < mouse_width; ++x) {
        uint8_t p = mouse_shape[size_t(y) * size_t(mouse_full) + size_t(x)];
        if (p != mouse_trans) mouse_buf[size_t(y) * size_t(mouse_width) + size_t(x)] = p;
      }
  }
  int sx = std::max(0, scr_size.ulx - mouse_x), sy = std::max(0, scr_size.uly - mouse_y);
  int w = std::min(mouse_width, scr_size.lrx + 1 - mouse_x) - sx;
  int h = std::min(mouse_length, scr_size.lry + 1 - mouse_y) - sy;
  if (w > 0 && h > 0) {
    if (mouse_blit_trans && mouse_is_hidden)
      mouse_blit_trans(mouse_shape, mouse_full, mouse_length, sx, sy, w, h, mouse_x + sx, mouse_y + sy,
                       uint8_t(mouse_trans));
    else if (mouse_blit)
      mouse_blit(mouse_buf, mouse_width, mouse_length, sx, sy, w, h, mouse_x + sx, mouse_y + sy);
  }
  mouse_is_hidden = 0;
}

void mouse_hide(void) {
  if (!have_mouse || mouse_is_hidden) return;
  mouse_is_hidden = 1;
  Rect r;
  mouse_get_rect(&r);
  win_refresh_all(&r);
}

void mouse_info(void) {
  if (!have_mouse || mouse_is_hidden || mouse_disabled) return;
  plat_mouse_state s{};
  int dx = 0, dy = 0, b = 0;
  if (dxinput_get_mouse_state(&s)) {
    dx = int(s.dx * mouse_sensitivity);
    dy = int(s.dy * mouse_sensitivity);
    b = (s.left ? 1 : 0) | (s.right ? 2 : 0);
  }
  switch (vcr_device_hook ? vcr_device_hook(dx, dy, b) : 0) {
    case 0:
      mouse_simulate_input(dx, dy, b);
      break;
    case 1:  // a playback holds the recorded buttons
      mouse_simulate_input(0, 0, last_buttons);
      break;
    default:
      break;
  }
}

void VRK_mouse_hook_vcr(void (*record)(int dx, int dy, int buttons), int (*device)(int dx, int dy, int buttons)) {
  vcr_record_hook = record;
  vcr_device_hook = device;
}

void mouse_simulate_input(int dx, int dy, int buttons) {
  if (!have_mouse || mouse_is_hidden) return;
  buttons &= 3;
  const uint32_t now = get_time();
  if (dx == 0 && dy == 0 && buttons == last_buttons && buttons == 0) {
    if (!mouse_idling) {
      mouse_idling = 1;
      mouse_idle_start_time = now;
    }
    mouse_buttons = last_buttons = raw_buttons = 0;
    return;
  }
  if (vcr_record_hook && (dx || dy || buttons != last_buttons)) vcr_record_hook(dx, dy, buttons);
  mouse_idling = 0;
  const int p = mouse_buttons;
  mouse_buttons = button_events(p & 0x15, buttons & 1, MOUSE_LEFT_PRESSED, MOUSE_LEFT_HELD, MOUSE_LEFT_RELEASED, now,
                                left_press_time) |
                  button_events(p & 0x2A, buttons & 2, MOUSE_RIGHT_PRESSED, MOUSE_RIGHT_HELD, MOUSE_RIGHT_RELEASED,
                                now, right_press_time);
  raw_buttons = buttons;
  last_buttons = buttons;
  if (dx || dy) {
    Rect old;
    mouse_get_rect(&old);
    mouse_x += int16_t(dx);
    mouse_y += int16_t(dy);
    VRK_mouse_clip();
    win_refresh_all(&old);
    mouse_show();
    raw_x = mouse_x;
    raw_y = mouse_y;
  }
}

int mouse_in(int ulx, int uly, int lrx, int lry) {
  Rect r, c = {ulx, uly, lrx, lry};
  mouse_get_rect(&r);
  return rect_overlap(&r, &c);
}

int mouse_click_in(int ulx, int uly, int lrx, int lry) {
  int x, y;
  mouse_get_position(&x, &y);
  return x >= ulx && x <= lrx && y >= uly && y <= lry;
}

void mouse_get_rect(Rect* r) {
  if (r) *r = {mouse_x, mouse_y, mouse_x + mouse_width - 1, mouse_y + mouse_length - 1};
}

void mouse_get_position(int* x, int* y) {
  if (x) *x = mouse_x + mouse_hotx;
  if (y) *y = mouse_y + mouse_hoty;
}

void mouse_set_position(int x, int y) {
  // The hot spot stays on the screen; holding the point to the screen first also keeps the
  // arithmetic in range for any position a caller or an event file gives.
  x = std::clamp(x, scr_size.ulx, std::max(scr_size.ulx, scr_size.lrx));
  y = std::clamp(y, scr_size.uly, std::max(scr_size.uly, scr_size.lry));
  mouse_x = x - mouse_hotx;
  mouse_y = y - mouse_hoty;
  VRK_mouse_clip();
  raw_x = mouse_x;
  raw_y = mouse_y;
}

int mouse_get_buttons(void) { return mouse_buttons; }
int mouse_hidden(void) { return mouse_is_hidden; }

void mouse_get_hotspot(int* x, int* y) {
  if (x) *x = mouse_hotx;
  if (y) *y = mouse_hoty;
}

void mouse_set_hotspot(int x, int y) {
  const int shown = !mouse_is_hidden;
  if (shown) mouse_hide();
  mouse_x += mouse_hotx - x;
  mouse_y += mouse_hoty - y;
  mouse_hotx = x;
  mouse_hoty = y;
  raw_x = mouse_x;
  raw_y = mouse_y;
  if (shown) mouse_show();
}

int mouse_query_exist(void) { return have_mouse; }

void mouse_get_raw_state(int* x, int* y, int* buttons) {
  plat_mouse_state s{};
  if (have_mouse && dxinput_get_mouse_state(&s)) {
    raw_x += s.dx;
    raw_y += s.dy;
    raw_buttons = (s.left ? 1 : 0) | (s.right ? 2 : 0);
  } else {
    raw_buttons = (mouse_buttons & MOUSE_LEFT_PRESSED ? 1 : 0) | (mouse_buttons & MOUSE_RIGHT_PRESSED ? 2 : 0);
  }
  if (x) *x = raw_x;
  if (y) *y = raw_y;
  if (buttons) *buttons = raw_buttons;
}

void mouse_disable(void) { mouse_disabled = 1; }
void mouse_enable(void) { mouse_disabled = 0; }
int mouse_is_disabled(void) { return mouse_disabled; }

void mouse_set_sensitivity(double s) {
  if (s > 0.0 && s < 2.0) mouse_sensitivity = s;
}

double mouse_get_sensitivity(void) { return mouse_sensitivity; }

int mouse_elapsed_time(void) {
  if (!have_mouse || mouse_is_hidden || mouse_disabled || !mouse_idling) return 0;
  return elapsed_time(mouse_idle_start_time);
}

void mouse_reset_elapsed_time(void) { mouse_idling = 0; }
