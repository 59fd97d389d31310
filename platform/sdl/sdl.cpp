// The sdl driver: a window showing the 8-bit screen through its palette (or the 16-bit screen),
// scaled by an integer factor (VRK_SCALE, 2 by default; VRK_FULLSCREEN=1 for full screen).
// Drawing marks a changed rectangle; present converts it into the window's texture and shows one
// frame. Keys arrive as SDL scancodes and leave as DirectInput key codes; the mouse is relative
// motion with the pointer held by the window while the mouse is acquired (SDL's relative mode;
// where the video system refuses it, the pointer's motion over the window); window focus drives
// the active flag; closing the window ends the program like the system's destroy message.
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
  bool relative = false;            // SDL's relative mode holds the pointer
  int rest_x = 0, rest_y = 0;       // window pixels of motion not yet a whole screen pixel
  int mdx = 0, mdy = 0;
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

// Motion of the pointer in window pixels -> whole screen pixels, keeping the remainder.
int to_screen(int window_pixels, int& rest) {
  rest += window_pixels;
  int whole = rest / st.scale;
  rest -= whole * st.scale;
  return whole;
}

// Key and mouse events go to the devices; the system's key repeat and anything that happens
// while a device is not acquired is dropped.
void take_input(const SDL_Event& e) {
  if (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) {
    if (e.key.repeat || !st.kb_acquired) return;  // held keys repeat in the window system
    int code = plat_sdl_scancode_to_dik(int(e.key.keysym.scancode));
    if (code == 0 || st.keys.size() >= kMaxKeys) return;
    st.keys.push_back({uint8_t(code), uint8_t(e.type == SDL_KEYDOWN ? 1 : 0)});
  } else if (e.type == SDL_MOUSEMOTION && st.mouse_acquired) {
    st.mdx += to_screen(e.motion.xrel, st.rest_x);
    st.mdy += to_screen(e.motion.yrel, st.rest_y);
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
  while ((n = SDL_PeepEvents(events, 64, SDL_GETEVENT, SDL_MOUSEMOTION, SDL_MOUSEWHEEL)) > 0)
    for (int i = 0; i < n; ++i) take_input(events[i]);
}

void sd_pump() {
  if (!st.video_up) return;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    switch (e.type) {
      case SDL_QUIT:
        plat_notify_close();
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
  st.mouse_acquired = on != 0;
  st.mdx = st.mdy = st.rest_x = st.rest_y = 0;
  // The pointer stays with the window while the program has the mouse; where the video system
  // cannot hold it (SDL's off-screen and dummy video), motion over the window still counts.
  if (on) st.relative = SDL_SetRelativeMouseMode(SDL_TRUE) == 0;
  else if (st.relative) {
    SDL_SetRelativeMouseMode(SDL_FALSE);
    st.relative = false;
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
  Uint32 b = SDL_GetMouseState(nullptr, nullptr);
  *out = {st.mdx, st.mdy, uint8_t((b & SDL_BUTTON_LMASK) ? 1 : 0), uint8_t((b & SDL_BUTTON_RMASK) ? 1 : 0)};
  st.mdx = st.mdy = 0;
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

int plat_sdl_available(void) {
  if (st.video_up) return 1;
  const char* d = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  const char* forced = std::getenv("SDL_VIDEODRIVER");  // e.g. dummy or offscreen for tests
  if (!(d && *d) && !(w && *w) && !(forced && *forced)) return 0;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return 0;
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return 1;
}

int plat_sdl_create(plat_driver* out) {
  if (!st.video_up) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return -1;
    st.video_up = true;
  }
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
