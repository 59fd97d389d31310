// The headless driver: the screen is a memory framebuffer with a palette, input comes from
// injected events, and the clock is virtual. It runs everywhere and keeps real pixels, so tests
// can read the screen back and dump frames.
#include <array>
#include <cstdio>
#include <cstring>
#include <deque>
#include <vector>

#include "platform/driver.h"
#include "platform/palette8.h"
#include "platform/headless.h"

namespace {

constexpr int kMaxSide = 4096;
constexpr size_t kMaxKeys = 256;

struct State {
  int width = 0, height = 0, bpp = 0;
  std::vector<uint8_t> fb;                // width * height * bpp / 8 bytes
  std::array<uint8_t, 768> pal{};         // 8-bit components, as the display hardware holds them
  std::deque<plat_key_event> keys;
  int mdx = 0, mdy = 0, mbuttons = 0;
  bool kb_acquired = false, mouse_acquired = false;
  int active = 1;
  uint32_t clock = 0;
  uint32_t step = 1;
  char title[256] = {};
};

State st;

void grey_ramp() {
  for (int i = 0; i < 256; ++i) st.pal[i * 3] = st.pal[i * 3 + 1] = st.pal[i * 3 + 2] = uint8_t(i);
}

int hl_set_mode(int width, int height, int bpp) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return -1;
  if (bpp != 8 && bpp != 16) return -1;
  st.width = width;
  st.height = height;
  st.bpp = bpp;
  st.fb.assign(size_t(width) * height * (bpp / 8), 0);
  grey_ramp();
  return 0;
}

void hl_reset_mode() {
  st.width = st.height = st.bpp = 0;
  st.fb.clear();
  st.fb.shrink_to_fit();
}

int hl_lock(plat_surface* out) {
  if (st.fb.empty()) return -1;
  out->pixels = st.fb.data();
  out->pitch = st.width * (st.bpp / 8);
  out->width = st.width;
  out->height = st.height;
  out->bpp = st.bpp;
  return 0;
}

void hl_unlock(int, int, int, int) {}

int hl_set_palette(const uint8_t* rgb6, int first, int count) {
  return plat_pal_put(st.pal.data(), rgb6, first, count);
}

int hl_get_palette(uint8_t* rgb6, int first, int count) { return plat_pal_get(st.pal.data(), rgb6, first, count); }

int hl_pixel_format(plat_pixel_format* out) {
  if (st.bpp != 16) return -1;
  *out = PLAT_RGB565;
  return 0;
}

void hl_set_title(const char* title) {
  std::snprintf(st.title, sizeof st.title, "%s", title ? title : "");
}

void hl_show_cursor(int) {}
int hl_message_box(const char*, const char*) { return 0; }

void hl_pump() {}

int hl_read_keys(plat_key_event* out, int max) {
  if (!st.kb_acquired) return 0;
  int n = 0;
  while (n < max && !st.keys.empty()) {
    out[n++] = st.keys.front();
    st.keys.pop_front();
  }
  return n;
}

void hl_flush_keys() { st.keys.clear(); }

int hl_acquire_keyboard(int on) {
  st.kb_acquired = on != 0;
  return 1;
}

int hl_acquire_mouse(int on) {
  st.mouse_acquired = on != 0;
  return 1;
}

int hl_read_mouse(plat_mouse_state* out) {
  if (!st.mouse_acquired) return 0;
  *out = {st.mdx, st.mdy, uint8_t(st.mbuttons & 1), uint8_t((st.mbuttons >> 1) & 1)};
  st.mdx = st.mdy = 0;
  return 1;
}

int hl_lock_keys() { return 0; }

uint32_t hl_time_ms() {
  uint32_t now = st.clock;
  st.clock += st.step;
  return now;
}

int hl_hook_timer(int) { return 0; }

void hl_destroy() {
  st.keys.clear();
  st.mdx = st.mdy = st.mbuttons = 0;
  st.kb_acquired = st.mouse_acquired = false;
}

}  // namespace

int plat_headless_available(void) { return 1; }

int plat_headless_create(plat_driver* out) {
  *out = plat_driver{"headless", hl_set_mode,    hl_reset_mode,       hl_lock,
                     hl_unlock,  hl_set_palette, hl_get_palette,      hl_pixel_format,
                     hl_set_title, hl_show_cursor, hl_message_box, hl_pump,      hl_read_keys,        hl_flush_keys,
                     hl_acquire_keyboard,        hl_acquire_mouse,    hl_read_mouse,
                     hl_lock_keys, hl_time_ms,   hl_hook_timer,       hl_destroy};
  st.active = 1;
  grey_ramp();
  return 0;
}

void plat_headless_key(int code, int down) {
  if (st.keys.size() >= kMaxKeys) return;
  st.keys.push_back({uint8_t(code), uint8_t(down ? 1 : 0)});
}

void plat_headless_mouse(int dx, int dy, int buttons) {
  st.mdx += dx;
  st.mdy += dy;
  st.mbuttons = buttons & 3;
}

void plat_headless_focus(int active) {
  active = active ? 1 : 0;
  if (active == st.active) return;
  st.active = active;
  plat_notify_activate(active);
}

void plat_headless_expose(int ulx, int uly, int lrx, int lry) { plat_notify_paint(ulx, uly, lrx, lry); }
void plat_headless_close(void) { plat_notify_close(); }
void plat_headless_advance(uint32_t ms) { st.clock += ms; }
void plat_headless_set_time(uint32_t ms) { st.clock = ms; }
void plat_headless_set_time_step(uint32_t ms) { st.step = ms; }

const uint8_t* plat_headless_pixels(int* width, int* height, int* pitch, int* bpp) {
  if (width) *width = st.width;
  if (height) *height = st.height;
  if (pitch) *pitch = st.width * (st.bpp / 8);
  if (bpp) *bpp = st.bpp;
  return st.fb.empty() ? nullptr : st.fb.data();
}

void plat_headless_palette(uint8_t* rgb6) { hl_get_palette(rgb6, 0, 256); }
int plat_headless_active(void) { return st.active; }
const char* plat_headless_title(void) { return st.title; }

int plat_headless_dump(const char* path) {
  if (st.fb.empty() || st.bpp != 8 || !path) return -1;
  FILE* f = std::fopen(path, "wb");
  if (!f) return -1;
  std::array<uint8_t, 768> rgb6{};
  hl_get_palette(rgb6.data(), 0, 256);
  int r = plat_write_bmp8(f, st.width, st.height, st.fb.data(), st.width, rgb6.data());
  if (std::fclose(f) != 0) r = -1;
  return r;
}
