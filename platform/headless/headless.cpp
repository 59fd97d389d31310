// The headless driver: the screen is a memory framebuffer with a palette, input and system
// events come from a timeline on a virtual clock, and every failure the window system must
// survive can be injected. It runs everywhere and keeps real pixels, so tests can read the screen
// back and dump frames (platform/headless.h is its control surface).
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platform/bmp.h"
#include "platform/drivers_internal.h"
#include "platform/headless.h"
#include "platform/palette8.h"

namespace {

constexpr int kMaxSide = 4096;
constexpr size_t kMaxKeys = 256;
constexpr int kSpinPolls = 64;  // polls in a row with nothing delivered that count as spinning

enum class Kind { key, mouse, focus, expose, close };

struct Event {
  uint32_t time;
  Kind kind;
  int a, b, c, d;
};

struct State {
  int width = 0, height = 0, bpp = 0;
  std::vector<uint8_t> fb;                // width * height * bpp / 8 bytes
  std::array<uint8_t, 768> pal{};         // 8-bit components, as the display hardware holds them
  std::deque<Event> timeline;             // by time; events of one time in the order added
  bool delivering = false;                // a delivery runs (a handler may call back in)
  int idle_polls = 0;
  std::deque<plat_key_event> keys;
  int mdx = 0, mdy = 0, mbuttons = 0;
  bool input_up = false;
  bool kb_wanted = false, mouse_wanted = false;      // the program asked for the device
  bool kb_acquired = false, mouse_acquired = false;  // ... and holds it (lost in the background)
  bool timer_hooked = false;
  int active = 1;
  int lock_keys = 0;
  unsigned fail = 0;
  uint32_t clock = 0;
  plat_dirty dirty;                       // marked since the last present
  plat_dirty unlocked;                    // marked since the last plat_headless_take_unlocked
  int presents = 0;
  plat_headless_rect presented{0, 0, -1, -1};
  bool cursor_shown = true;
  char title[256] = {};
  std::string message;
};

State st;

bool is_system(Kind k) { return k == Kind::focus || k == Kind::expose || k == Kind::close; }

void add(uint32_t time, Kind kind, int a = 0, int b = 0, int c = 0, int d = 0) {
  auto at = std::upper_bound(st.timeline.begin(), st.timeline.end(), time,
                             [](uint32_t t, const Event& e) { return t < e.time; });
  st.timeline.insert(at, Event{time, kind, a, b, c, d});
}

bool due() { return !st.timeline.empty() && st.timeline.front().time <= st.clock; }

void apply(const Event& e) {
  switch (e.kind) {
    case Kind::key:
      if (st.kb_acquired && st.keys.size() < kMaxKeys) st.keys.push_back({uint8_t(e.a), uint8_t(e.b ? 1 : 0)});
      break;
    case Kind::mouse:
      if (st.mouse_acquired) {
        st.mdx += e.a;
        st.mdy += e.b;
      }
      st.mbuttons = e.c & 3;
      break;
    case Kind::focus:
      if ((e.a ? 1 : 0) == st.active) break;
      st.active = e.a ? 1 : 0;
      // Devices held in the foreground only are lost with it, as the system's are.
      if (!st.active) st.kb_acquired = st.mouse_acquired = false;
      plat_notify_activate(st.active);
      break;
    case Kind::expose:
      plat_notify_paint(e.a, e.b, e.c, e.d);
      break;
    case Kind::close:
      plat_notify_close();
      break;
  }
}

// Delivers the due events in order: all of them (system: pump) or the input events up to the
// first system event. True when anything was delivered.
bool deliver(bool system) {
  if (st.delivering) return false;
  st.delivering = true;
  bool any = false;
  while (due()) {
    Event e = st.timeline.front();
    if (is_system(e.kind) && !system) break;
    st.timeline.pop_front();
    apply(e);
    any = true;
  }
  st.delivering = false;
  if (any) st.idle_polls = 0;
  return any;
}

// One poll of the program that delivered nothing: enough of them in a row is a spin, which
// moves the clock to the next event (or by 1 ms when none is left).
void idle_poll() {
  if (++st.idle_polls < kSpinPolls) return;
  st.idle_polls = 0;
  auto next = std::find_if(st.timeline.begin(), st.timeline.end(), [](const Event& e) { return e.time > st.clock; });
  st.clock = next != st.timeline.end() ? next->time : st.clock + 1;
}

void poll(bool system) {
  if (!deliver(system)) idle_poll();
}

void grey_ramp() {
  for (int i = 0; i < 256; ++i) st.pal[i * 3] = st.pal[i * 3 + 1] = st.pal[i * 3 + 2] = uint8_t(i);
}

int hl_set_mode(int width, int height, int bpp) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return -1;
  if ((bpp != 8 && bpp != 16) || (st.fail & PLAT_HEADLESS_FAIL_SET_MODE)) return -1;
  st.width = width;
  st.height = height;
  st.bpp = bpp;
  st.fb.assign(size_t(width) * height * (bpp / 8), 0);
  st.dirty = st.unlocked = plat_dirty{};
  grey_ramp();
  return 0;
}

void hl_reset_mode() {
  st.width = st.height = st.bpp = 0;
  st.fb.clear();
  st.fb.shrink_to_fit();
  st.dirty = plat_dirty{};
}

int hl_lock(plat_surface* out) {
  if (st.fb.empty() || (st.fail & PLAT_HEADLESS_FAIL_LOCK)) return -1;
  *out = {st.fb.data(), st.width * (st.bpp / 8), st.width, st.height, st.bpp};
  return 0;
}

void hl_unlock(int ulx, int uly, int lrx, int lry) {
  plat_dirty_add(st.dirty, ulx, uly, lrx, lry, st.width, st.height);
  plat_dirty_add(st.unlocked, ulx, uly, lrx, lry, st.width, st.height);
}

void hl_present() {
  if (st.dirty.lrx < st.dirty.ulx) return;
  ++st.presents;
  st.presented = {st.dirty.ulx, st.dirty.uly, st.dirty.lrx, st.dirty.lry};
  st.dirty = plat_dirty{};
}

int hl_set_palette(const uint8_t* rgb6, int first, int count) { return plat_pal_put(st.pal.data(), rgb6, first, count); }

int hl_get_palette(uint8_t* rgb6, int first, int count) {
  if (st.fail & PLAT_HEADLESS_FAIL_PALETTE_READ) return -1;
  return plat_pal_get(st.pal.data(), rgb6, first, count);
}

int hl_pixel_format(plat_pixel_format* out) {
  if (st.bpp != 16) return -1;
  *out = PLAT_RGB565;
  return 0;
}

void hl_set_title(const char* title) { std::snprintf(st.title, sizeof st.title, "%s", title ? title : ""); }
void hl_show_cursor(int show) { st.cursor_shown = show != 0; }

int hl_message_box(const char* text, const char*) {
  st.message = text ? text : "";
  return 0;  // no display: the text also goes to stderr
}

void hl_pump() { poll(true); }

int hl_wait_events(int ms) {
  if (deliver(false)) return 1;
  if (due()) {  // a system event waits for pump: a loop that never pumps still sees time pass
    idle_poll();
    return 1;
  }
  st.idle_polls = 0;
  uint32_t until = st.clock + uint32_t(ms > 0 ? ms : 0);
  if (!st.timeline.empty() && st.timeline.front().time <= until) {
    st.clock = st.timeline.front().time;
    return 1;
  }
  st.clock = until;
  return 0;
}

int hl_input_init() {
  if (st.fail & PLAT_HEADLESS_FAIL_INPUT_INIT) return 0;
  st.input_up = true;
  return 1;
}

void hl_input_exit() {
  st.input_up = st.kb_wanted = st.mouse_wanted = st.kb_acquired = st.mouse_acquired = false;
  st.keys.clear();
  st.mdx = st.mdy = 0;
}

// Acquires one device (the events due before it see it as it was); false when it cannot be.
bool take(bool& wanted, bool& acquired, unsigned failure, int on) {
  deliver(false);
  if (!on) {
    wanted = acquired = false;
    return true;
  }
  if (!st.input_up || !st.active || (st.fail & failure)) return false;
  wanted = acquired = true;
  return true;
}

int hl_acquire_keyboard(int on) {
  if (!take(st.kb_wanted, st.kb_acquired, PLAT_HEADLESS_FAIL_KEYBOARD, on)) return 0;
  if (!on) st.keys.clear();
  return 1;
}

int hl_acquire_mouse(int on) {
  if (!take(st.mouse_wanted, st.mouse_acquired, PLAT_HEADLESS_FAIL_MOUSE, on)) return 0;
  st.mdx = st.mdy = 0;
  return 1;
}

// A device the program wants but lost is acquired again on the next read, when it can be.
bool held(bool wanted, bool& acquired, unsigned failure) {
  if (!acquired && wanted && st.input_up && st.active && !(st.fail & failure)) acquired = true;
  return acquired;
}

int hl_read_keys(plat_key_event* out, int max) {
  poll(false);
  if (!held(st.kb_wanted, st.kb_acquired, PLAT_HEADLESS_FAIL_KEYBOARD)) return 0;
  int n = 0;
  while (n < max && !st.keys.empty()) {
    out[n++] = st.keys.front();
    st.keys.pop_front();
  }
  return n;
}

void hl_flush_keys() {
  deliver(false);
  st.keys.clear();
}

int hl_read_mouse(plat_mouse_state* out) {
  poll(false);
  if (!held(st.mouse_wanted, st.mouse_acquired, PLAT_HEADLESS_FAIL_MOUSE)) return 0;
  *out = {st.mdx, st.mdy, uint8_t(st.mbuttons & 1), uint8_t((st.mbuttons >> 1) & 1)};
  st.mdx = st.mdy = 0;
  return 1;
}

int hl_lock_keys() { return st.lock_keys; }

uint32_t hl_time_ms() {
  poll(false);
  return st.clock;
}

int hl_hook_timer(int on) {
  if (on && (st.fail & PLAT_HEADLESS_FAIL_TIMER)) return -1;
  st.timer_hooked = on != 0;
  return 0;
}

void hl_destroy() {
  hl_input_exit();
  hl_reset_mode();
  st.timeline.clear();
  st.timer_hooked = false;
}

}  // namespace

int plat_headless_available(void) { return 1; }

int plat_headless_create(plat_driver* out) {
  st = State{};
  grey_ramp();
  *out = plat_driver{
      .name = "headless",
      .set_mode = hl_set_mode,
      .reset_mode = hl_reset_mode,
      .lock = hl_lock,
      .unlock = hl_unlock,
      .present = hl_present,
      .set_palette = hl_set_palette,
      .get_palette = hl_get_palette,
      .pixel_format = hl_pixel_format,
      .set_title = hl_set_title,
      .show_cursor = hl_show_cursor,
      .message_box = hl_message_box,
      .pump = hl_pump,
      .wait_events = hl_wait_events,
      .input_init = hl_input_init,
      .input_exit = hl_input_exit,
      .acquire_keyboard = hl_acquire_keyboard,
      .acquire_mouse = hl_acquire_mouse,
      .read_keys = hl_read_keys,
      .flush_keys = hl_flush_keys,
      .read_mouse = hl_read_mouse,
      .lock_keys = hl_lock_keys,
      .time_ms = hl_time_ms,
      .hook_timer = hl_hook_timer,
      .destroy = hl_destroy,
  };
  return 0;
}

void plat_headless_at_key(uint32_t time, int code, int down) { add(time, Kind::key, code & 0xFF, down ? 1 : 0); }
void plat_headless_at_mouse(uint32_t time, int dx, int dy, int buttons) { add(time, Kind::mouse, dx, dy, buttons); }
void plat_headless_at_focus(uint32_t time, int active) { add(time, Kind::focus, active ? 1 : 0); }
void plat_headless_at_expose(uint32_t time, int ulx, int uly, int lrx, int lry) {
  add(time, Kind::expose, ulx, uly, lrx, lry);
}
void plat_headless_at_close(uint32_t time) { add(time, Kind::close); }
int plat_headless_pending(void) { return int(st.timeline.size()); }
void plat_headless_clear_timeline(void) { st.timeline.clear(); }

void plat_headless_key(int code, int down) { plat_headless_at_key(st.clock, code, down); }
void plat_headless_mouse(int dx, int dy, int buttons) { plat_headless_at_mouse(st.clock, dx, dy, buttons); }
void plat_headless_focus(int active) { plat_headless_at_focus(st.clock, active); }
void plat_headless_expose(int ulx, int uly, int lrx, int lry) { plat_headless_at_expose(st.clock, ulx, uly, lrx, lry); }
void plat_headless_close(void) { plat_headless_at_close(st.clock); }

void plat_headless_advance(uint32_t ms) { st.clock += ms; }
void plat_headless_set_time(uint32_t ms) { st.clock = ms; }
void plat_headless_set_lock_keys(int flags) { st.lock_keys = flags & 7; }
void plat_headless_fail(unsigned which) { st.fail = which; }

const uint8_t* plat_headless_pixels(int* width, int* height, int* pitch, int* bpp) {
  if (width) *width = st.width;
  if (height) *height = st.height;
  if (pitch) *pitch = st.width * (st.bpp / 8);
  if (bpp) *bpp = st.bpp;
  return st.fb.empty() ? nullptr : st.fb.data();
}

void plat_headless_palette(uint8_t* rgb6) { plat_pal_get(st.pal.data(), rgb6, 0, 256); }

int plat_headless_take_unlocked(plat_headless_rect* out) {
  *out = {st.unlocked.ulx, st.unlocked.uly, st.unlocked.lrx, st.unlocked.lry};
  st.unlocked = plat_dirty{};
  return out->lrx >= out->ulx;
}

int plat_headless_presents(plat_headless_rect* last) {
  if (last) *last = st.presented;
  return st.presents;
}

int plat_headless_active(void) { return st.active; }
int plat_headless_keyboard_acquired(void) { return st.kb_acquired; }
int plat_headless_mouse_acquired(void) { return st.mouse_acquired; }
int plat_headless_cursor_shown(void) { return st.cursor_shown; }
const char* plat_headless_title(void) { return st.title; }
const char* plat_headless_message(void) { return st.message.c_str(); }

int plat_headless_dump(const char* path) {
  if (st.fb.empty() || !path) return -1;
  FILE* f = std::fopen(path, "wb");
  if (!f) return -1;
  int r;
  if (st.bpp == 8) {
    std::array<uint8_t, 768> rgb6{};
    plat_pal_get(st.pal.data(), rgb6.data(), 0, 256);
    r = plat_write_bmp8(f, st.width, st.height, st.fb.data(), st.width, rgb6.data());
  } else {
    r = plat_write_bmp16(f, st.width, st.height, st.fb.data(), st.width * 2, PLAT_RGB565.rmask, PLAT_RGB565.gmask,
                         PLAT_RGB565.bmask);
  }
  if (std::fclose(f) != 0) r = -1;
  return r;
}
