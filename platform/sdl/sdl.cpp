// The sdl driver: a window showing the 8-bit screen through its palette (or the 16-bit screen),
// scaled by an integer factor (VRK_SCALE, 2 by default; VRK_FULLSCREEN=1 for full screen).
// Drawing marks a changed rectangle; present converts it into the window's texture and shows one
// frame. Keys arrive as SDL scancodes and leave as DirectInput key codes; the mouse follows the
// pointer's absolute place over the window (so tablets, remote desktops and synthetic motion move
// it too), handed on as the motion that takes the window system's cursor there; window focus
// drives the active flag; closing the window is passed on to the window system (once: SDL's quit
// event that follows is dropped, and SDL leaves the process's signals alone).
//
// SDL's video starts once, for the availability probe and the driver both; where a display is
// named (DISPLAY, WAYLAND_DISPLAY) it must be a real one: SDL's off-screen and dummy video, which
// SDL falls back to when it cannot reach the display, are refused (unless SDL_VIDEODRIVER asks
// for them), with a message on stderr, since a program there would run without a window.
#include <SDL.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

#include "platform/drivers_internal.h"
#include "platform/palette8.h"

namespace {

constexpr int kMaxSide = 4096;
constexpr size_t kMaxKeys = 256;

struct State {
  bool video_up = false;
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int width = 0, height = 0, bpp = 0, scale = 2;
  std::vector<uint8_t> fb;          // the screen as the program writes it
  std::vector<uint32_t> argb;       // the same, converted for the texture
  std::array<uint8_t, 768> pal{};   // 8-bit components
  std::array<uint32_t, 256> pal32{};
  plat_dirty dirty;                 // marked since the last present
  std::deque<plat_key_event> keys;
  bool input_up = false;
  bool kb_acquired = false, mouse_acquired = false;
  // The cursor's place as the motion handed on so far leaves it (screen pixels); it starts at the
  // screen's centre, where the window system puts its cursor.
  int pos_x = -1, pos_y = -1;
  int mdx = 0, mdy = 0;  // motion not read yet
  uint8_t buttons = 0;   // the buttons down now (1 left, 2 right), from the events
  uint8_t pressed = 0;   // pressed since the last read: a click between two reads counts
  char title[256] = {};
  bool cursor_shown = true;
};

State st;

int env_scale() {
  const char* s = std::getenv("VRK_SCALE");
  int v = s ? std::atoi(s) : 2;
  return v >= 1 && v <= 8 ? v : 2;
}

void grey_ramp() {
  for (int i = 0; i < 256; ++i) st.pal[i * 3] = st.pal[i * 3 + 1] = st.pal[i * 3 + 2] = uint8_t(i);
}

void rebuild_pal32() {
  for (int i = 0; i < 256; ++i)
    st.pal32[i] = 0xFF000000u | (uint32_t(st.pal[i * 3]) << 16) | (uint32_t(st.pal[i * 3 + 1]) << 8) | st.pal[i * 3 + 2];
}

void mark_all() { plat_dirty_add(st.dirty, 0, 0, st.width - 1, st.height - 1, st.width, st.height); }

// Converts the marked part of the framebuffer into the texture's pixels and shows one frame.
void sd_present() {
  plat_dirty d = st.dirty;
  st.dirty = plat_dirty{};
  if (!st.texture || d.lrx < d.ulx) return;
  for (int y = d.uly; y <= d.lry; ++y) {
    uint32_t* out = &st.argb[size_t(y) * st.width];
    if (st.bpp == 8) {
      const uint8_t* in = &st.fb[size_t(y) * st.width];
      for (int x = d.ulx; x <= d.lrx; ++x) out[x] = st.pal32[in[x]];
    } else {
      const uint8_t* in = &st.fb[size_t(y) * st.width * 2];
      for (int x = d.ulx; x <= d.lrx; ++x) {
        uint16_t p16;
        std::memcpy(&p16, in + x * 2, 2);
        unsigned p = p16;
        unsigned r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
        out[x] = 0xFF000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
      }
    }
  }
  SDL_Rect r{d.ulx, d.uly, d.lrx - d.ulx + 1, d.lry - d.uly + 1};
  SDL_UpdateTexture(st.texture, &r, &st.argb[size_t(d.uly) * st.width + d.ulx], st.width * 4);
  SDL_RenderClear(st.renderer);
  SDL_RenderCopy(st.renderer, st.texture, nullptr, nullptr);
  SDL_RenderPresent(st.renderer);
}

void close_window() {
  if (st.texture) SDL_DestroyTexture(st.texture);
  if (st.renderer) SDL_DestroyRenderer(st.renderer);
  if (st.window) SDL_DestroyWindow(st.window);
  st.texture = nullptr;
  st.renderer = nullptr;
  st.window = nullptr;
}

int sd_set_mode(int width, int height, int bpp) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return -1;
  if (bpp != 8 && bpp != 16) return -1;
  if (!st.video_up) return -1;
  st.scale = env_scale();
  const char* fs = std::getenv("VRK_FULLSCREEN");
  Uint32 flags = (fs && std::strcmp(fs, "1") == 0) ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0;
  if (!st.window) {
    st.window = SDL_CreateWindow(st.title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                 width * st.scale, height * st.scale, flags);
    if (!st.window) return -1;
    st.renderer = SDL_CreateRenderer(st.window, -1, 0);
    if (!st.renderer) st.renderer = SDL_CreateRenderer(st.window, -1, SDL_RENDERER_SOFTWARE);
    if (!st.renderer) {
      close_window();
      return -1;
    }
  } else {
    SDL_SetWindowSize(st.window, width * st.scale, height * st.scale);
  }
  SDL_Texture* tex = SDL_CreateTexture(st.renderer, SDL_PIXELFORMAT_ARGB8888,
                                       SDL_TEXTUREACCESS_STREAMING, width, height);
  if (!tex) return -1;
  if (st.texture) SDL_DestroyTexture(st.texture);
  st.texture = tex;
  st.width = width;
  st.height = height;
  st.bpp = bpp;
  st.fb.assign(size_t(width) * height * (bpp / 8), 0);
  st.argb.assign(size_t(width) * height, 0xFF000000u);
  grey_ramp();
  rebuild_pal32();
  SDL_ShowCursor(st.cursor_shown ? SDL_ENABLE : SDL_DISABLE);
  st.dirty = plat_dirty{};
  mark_all();
  sd_present();
  return 0;
}

void sd_reset_mode() {
  close_window();
  st.width = st.height = st.bpp = 0;
  st.pos_x = st.pos_y = -1;
  st.fb.clear();
  st.argb.clear();
  st.dirty = plat_dirty{};
}

int sd_lock(plat_surface* out) {
  if (st.fb.empty()) return -1;
  *out = {st.fb.data(), st.width * (st.bpp / 8), st.width, st.height, st.bpp};
  return 0;
}

void sd_unlock(int ulx, int uly, int lrx, int lry) { plat_dirty_add(st.dirty, ulx, uly, lrx, lry, st.width, st.height); }

int sd_set_palette(const uint8_t* rgb6, int first, int count) {
  if (plat_pal_put(st.pal.data(), rgb6, first, count) != 0) return -1;
  rebuild_pal32();
  // The whole screen follows its palette, as a palettized display does (at the next present).
  if (st.bpp == 8) mark_all();
  return 0;
}

int sd_get_palette(uint8_t* rgb6, int first, int count) { return plat_pal_get(st.pal.data(), rgb6, first, count); }

int sd_pixel_format(plat_pixel_format* out) {
  if (st.bpp != 16) return -1;
  *out = PLAT_RGB565;
  return 0;
}

void sd_set_title(const char* title) {
  SDL_strlcpy(st.title, title ? title : "", sizeof st.title);
  if (st.window) SDL_SetWindowTitle(st.window, st.title);
}

void sd_show_cursor(int show) {
  st.cursor_shown = show != 0;
  if (st.video_up) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

int sd_message_box(const char* text, const char* caption) {
  if (!st.video_up) return 0;
  return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption ? caption : "", text, st.window) == 0;
}

// The screen pixel under the window point (x, y), kept on the screen.
void to_screen(int x, int y, int* sx, int* sy) {
  int ww = st.width * st.scale, wh = st.height * st.scale;
  if (st.window) SDL_GetWindowSize(st.window, &ww, &wh);
  *sx = ww > 0 ? int(int64_t(x) * st.width / ww) : 0;
  *sy = wh > 0 ? int(int64_t(y) * st.height / wh) : 0;
  *sx = SDL_clamp(*sx, 0, st.width - 1);
  *sy = SDL_clamp(*sy, 0, st.height - 1);
}

// The pointer is at window point (x, y): the motion that takes the cursor there is handed on.
void pointer_at(int x, int y) {
  if (st.width <= 0 || st.height <= 0) return;
  if (st.pos_x < 0) {
    st.pos_x = st.width / 2;
    st.pos_y = st.height / 2;
  }
  int sx, sy;
  to_screen(x, y, &sx, &sy);
  st.mdx += sx - st.pos_x;
  st.mdy += sy - st.pos_y;
  st.pos_x = sx;
  st.pos_y = sy;
}

uint8_t button_bit(Uint8 button) { return button == SDL_BUTTON_LEFT ? 1 : button == SDL_BUTTON_RIGHT ? 2 : 0; }

// Key and mouse events go to the devices; the system's key repeat and anything that happens
// while a device is not acquired is dropped.
void take_input(const SDL_Event& e) {
  if (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) {
    if (e.key.repeat || !st.kb_acquired) return;  // held keys repeat in the window system
    int code = plat_sdl_scancode_to_dik(int(e.key.keysym.scancode));
    if (code == 0 || st.keys.size() >= kMaxKeys) return;
    st.keys.push_back({uint8_t(code), uint8_t(e.type == SDL_KEYDOWN ? 1 : 0)});
  } else if (e.type == SDL_MOUSEMOTION) {
    if (st.mouse_acquired) pointer_at(e.motion.x, e.motion.y);
  } else if (e.type == SDL_MOUSEBUTTONDOWN || e.type == SDL_MOUSEBUTTONUP) {
    const uint8_t bit = button_bit(e.button.button);
    if (e.type == SDL_MOUSEBUTTONUP) {
      st.buttons &= uint8_t(~bit);
      return;
    }
    st.buttons |= bit;
    if (st.mouse_acquired) {
      st.pressed |= bit;
      pointer_at(e.button.x, e.button.y);
    }
  }
}

// Brings the devices up to date without touching system messages (focus, paint, close stay
// queued for pump).
void refresh_input() {
  if (!st.video_up) return;
  SDL_PumpEvents();
  SDL_Event events[64];
  int n;
  while ((n = SDL_PeepEvents(events, 64, SDL_GETEVENT, SDL_KEYDOWN, SDL_KEYUP)) > 0)
    for (int i = 0; i < n; ++i) take_input(events[i]);
  // Motion and buttons in the order they happened.
  while ((n = SDL_PeepEvents(events, 64, SDL_GETEVENT, SDL_MOUSEMOTION, SDL_MOUSEWHEEL)) > 0)
    for (int i = 0; i < n; ++i) take_input(events[i]);
}

void sd_pump() {
  if (!st.video_up) return;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    switch (e.type) {
      case SDL_QUIT:  // follows the window's own close event, which is the one passed on
        break;
      case SDL_WINDOWEVENT:
        switch (e.window.event) {
          case SDL_WINDOWEVENT_FOCUS_GAINED: plat_notify_activate(1); break;
          case SDL_WINDOWEVENT_FOCUS_LOST: plat_notify_activate(0); break;
          case SDL_WINDOWEVENT_EXPOSED: mark_all(); break;  // shown by the present after pump
          case SDL_WINDOWEVENT_CLOSE: plat_notify_close(); break;
          default: break;
        }
        break;
      default:
        take_input(e);
        break;
    }
  }
}

int sd_wait_events(int ms) {
  if (!st.video_up) return 0;
  return SDL_WaitEventTimeout(nullptr, ms > 0 ? ms : 0) == 1 ? 1 : 0;
}

int sd_input_init() {
  st.input_up = st.video_up;
  return st.input_up ? 1 : 0;
}

int sd_acquire_keyboard(int on) {
  if (on && !st.input_up) return 0;
  refresh_input();  // what happened before belongs to the state before
  st.kb_acquired = on != 0;
  if (!on) st.keys.clear();
  return 1;
}

int sd_acquire_mouse(int on) {
  if (on && !st.input_up) return 0;
  refresh_input();
  // Motion not read is dropped: the cursor stays where the last read left it.
  st.pos_x -= st.mdx;
  st.pos_y -= st.mdy;
  st.mdx = st.mdy = 0;
  st.pressed = 0;
  st.mouse_acquired = on != 0;
  // Taken again over the window: the cursor goes to the pointer at the next read.
  int x, y;
  if (on && st.window && SDL_GetMouseFocus() == st.window) {
    SDL_GetMouseState(&x, &y);
    pointer_at(x, y);
  }
  return 1;
}

void sd_input_exit() {
  if (st.mouse_acquired) sd_acquire_mouse(0);
  if (st.kb_acquired) sd_acquire_keyboard(0);
  st.input_up = false;
}

int sd_read_keys(plat_key_event* out, int max) {
  refresh_input();
  if (!st.kb_acquired) return 0;
  int n = 0;
  while (n < max && !st.keys.empty()) {
    out[n++] = st.keys.front();
    st.keys.pop_front();
  }
  return n;
}

void sd_flush_keys() {
  refresh_input();
  st.keys.clear();
}

int sd_read_mouse(plat_mouse_state* out) {
  refresh_input();
  if (!st.mouse_acquired || !st.video_up) return 0;
  const uint8_t b = st.buttons | st.pressed;  // released since, it is down for this read
  *out = {st.mdx, st.mdy, uint8_t(b & 1), uint8_t((b & 2) ? 1 : 0)};
  st.mdx = st.mdy = 0;
  st.pressed = 0;
  return 1;
}

int sd_lock_keys() {
  SDL_Keymod m = SDL_GetModState();
  return ((m & KMOD_NUM) ? 1 : 0) | ((m & KMOD_CAPS) ? 2 : 0) | ((m & KMOD_SCROLL) ? 4 : 0);
}

uint32_t sd_time_ms() { return SDL_GetTicks(); }
int sd_hook_timer(int) { return 0; }

void sd_destroy() {
  sd_input_exit();
  sd_reset_mode();
  st.keys.clear();
  if (st.video_up) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  st.video_up = false;
}

}  // namespace

namespace {

bool video_refused = false;  // a named display could not be reached: said once, not tried again

bool is_set(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

// Starts SDL's video once for the probe and the driver; true when it is up.
bool start_video() {
  if (st.video_up) return true;
  const bool named = is_set("DISPLAY") || is_set("WAYLAND_DISPLAY");
  const bool forced = is_set("SDL_VIDEODRIVER");  // e.g. dummy or offscreen for tests
  if ((!named && !forced) || (video_refused && !forced)) return false;
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // Ctrl-C ends the program as it would without SDL
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (named && !forced) {
      SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "sdl: cannot open the display: %s", SDL_GetError());
      video_refused = true;
    }
    return false;
  }
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!forced && (!driver || !std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy"))) {
    SDL_LogError(SDL_LOG_CATEGORY_APPLICATION,
                 "sdl: cannot open the display (SDL offers only its \"%s\" video, which shows no window)",
                 driver ? driver : "?");
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    video_refused = true;
    return false;
  }
  st.video_up = true;
  return true;
}

}  // namespace

int plat_sdl_available(void) {
  if (start_video()) return 1;
  return video_refused ? -1 : 0;
}

int plat_sdl_create(plat_driver* out) {
  if (!start_video()) return -1;
  grey_ramp();
  rebuild_pal32();
  *out = plat_driver{
      .name = "sdl",
      .set_mode = sd_set_mode,
      .reset_mode = sd_reset_mode,
      .lock = sd_lock,
      .unlock = sd_unlock,
      .present = sd_present,
      .set_palette = sd_set_palette,
      .get_palette = sd_get_palette,
      .pixel_format = sd_pixel_format,
      .set_title = sd_set_title,
      .show_cursor = sd_show_cursor,
      .message_box = sd_message_box,
      .pump = sd_pump,
      .wait_events = sd_wait_events,
      .input_init = sd_input_init,
      .input_exit = sd_input_exit,
      .acquire_keyboard = sd_acquire_keyboard,
      .acquire_mouse = sd_acquire_mouse,
      .read_keys = sd_read_keys,
      .flush_keys = sd_flush_keys,
      .read_mouse = sd_read_mouse,
      .lock_keys = sd_lock_keys,
      .time_ms = sd_time_ms,
      .hook_timer = sd_hook_timer,
      .destroy = sd_destroy,
  };
  return 0;
}
