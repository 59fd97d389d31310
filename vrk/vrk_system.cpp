// The window system's start and stop, and the window calls that reach its other modules:
// deletion (buttons, menu bars), dragging (the mouse) and the buttons and menus of the stack.
#include <cstdlib>
#include <cstring>

#include "color/color.h"
#include "db/db.h"
#include "platform/driver.h"
#include "platform/system.h"
#include "vrk/button.h"
#include "vrk/debug.h"
#include "vrk/grbuf.h"
#include "vrk/input.h"
#include "vrk/intrface.h"
#include "vrk/memory.h"
#include "vrk/mouse.h"
#include "vrk/svga.h"
#include "vrk/text.h"
#include "vrk/vcr.h"
#include "vrk/vrk.h"
#include "vrk/vrk_internal.h"
#include "vrk/winmain.h"

namespace {

win_mode_fn video_set = nullptr;
win_reset_fn video_reset = nullptr;
intptr_t title_mutex = -1;
int another_copy = 0;
int opened_database = -1;  // the default database win_init opened, until win_exit

// Frees a window record with its buffer, menu bar and buttons.
void free_window(Window* w) {
  Button* b = w->button_list;
  while (b) {
    Button* next = b->next;
    VRK_delete_button(b);
    b = next;
  }
  VRK_menu_free(w->menu_bar);
  mem_free(w->buffer);
  mem_free(w);
}

void close_default_database() {
  if (opened_database != -1) db_close(opened_database);
  opened_database = -1;
}

void exit_at_end() { win_exit(); }

}  // namespace

// --- start and stop ---

void win_set_minimized_title(const char* title) {
  if (!title) return;
  if (title_mutex == -1) {
    intptr_t h = -1;
    if (plat_guard_acquire(title, &h) != 1) {
      another_copy = 1;
      return;
    }
    title_mutex = h;
    another_copy = 0;
  }
  VRK95_set_title(title);
}

int win_init(win_mode_fn mode, win_reset_fn, int flags) {
  if (VRK95_mutex != -1) plat_guard_release(VRK95_mutex);
  VRK95_mutex = -1;
  if (another_copy) return WIN_ERR_RUNNING;
  if (title_mutex == -1) return WIN_ERR_NO_TITLE;
  if (VRK_win_init_flag) return WIN_ERR_TWICE;
  if (!mode) return WIN_ERR_VIDEO;
  for (int& i : window_index) i = -1;
  VRK_srand(1);
  if (db_total() == 0) {
    opened_database = db_init(nullptr, nullptr, "");
    if (opened_database == -1) return WIN_ERR_DATABASE;
  }
  if (VRK_text_init() == -1) {
    close_default_database();
    return WIN_ERR_FONT;
  }
  get_start_mode();
  video_set = mode;
  video_reset = VRK95_reset_mode;
  int m = mode();
  if (m != 0) {
    VRK_text_exit();
    close_default_database();
    return m == WIN_ERR_MODE8 ? WIN_ERR_MODE8 : WIN_ERR_VIDEO;
  }
  // From here on a failure gives the display back and frees what was taken.
  auto fail = [](int code, int stage) {
    if (stage >= 2) VRK_input_exit();
    if (stage >= 1) colorsClose();
    mem_free(screen_buffer);
    screen_buffer = nullptr;
    VRK95_reset_mode();
    VRK_text_exit();
    VRK_rect_exit();
    close_default_database();
    return code;
  };
  const int sw = scr_size.lrx + 1, sh = scr_size.lry + 1;
  screen_buffer = nullptr;
  if (flags & WIN_INIT_BUFFER) {
    screen_buffer = static_cast<uint8_t*>(mem_malloc(size_t(sw) * size_t(sh)));
    if (!screen_buffer) return fail(WIN_ERR_MEMORY, 0);
  }
  buffering = 0;
  doing_refresh_all = 0;
  VRK95_hook_color();
  colorInitIO(VRK_color_open, VRK_color_read, VRK_color_close);
  colorRegisterAlloc(mem_malloc, mem_realloc, mem_free);
  if (!initColors()) {
    // No colour file: the colour table follows the palette the display has now.
    auto* skip = static_cast<uint8_t*>(mem_malloc(768));
    if (!skip) return fail(WIN_ERR_MEMORY, 1);
    std::memset(skip, 0, 768);
    uint8_t pal6[768], pal8[768];
    const uint8_t* shown = VRK95_GetPalette();
    std::memcpy(pal6, shown ? shown : getSystemPalette(), 768);
    for (int i = 0; i < 768; ++i) pal8[i] = uint8_t((pal6[i] << 2) | (pal6[i] >> 4));
    colorBuildColorTable(pal8, skip);
    setSystemPalette(pal6);
    mem_free(skip);
  }
  VRK_debug_init();
  if (VRK_input_init(flags & WIN_INIT_MSEC_TIMER) == -1) return fail(WIN_ERR_INPUT, 1);
  VRK_intr_init();
  auto* screen = static_cast<Window*>(mem_malloc(sizeof(Window)));
  if (!screen) {
    VRK_intr_exit();
    return fail(WIN_ERR_MEMORY, 2);
  }
  std::memset(screen, 0, sizeof *screen);
  screen->rect = scr_size;
  screen->width = sw;
  screen->height = sh;
  screen->trans_b2b = trans_buf_to_buf;
  window[0] = screen;
  num_windows = 1;
  window_index[0] = 0;
  VRK_win_init_flag = 1;
  VRK_set_default_colors();
  VRK_texture = nullptr;
  bk_color = 0;
  window_flags = flags;
  VRK95_repaint_func = win_refresh_all;
  VRK95_exit_func = win_exit;
  VRK_mem_lock(1);
  static bool registered = false;
  if (!registered) {
    registered = true;
    std::atexit(exit_at_end);
  }
  // Every program can record its input or play a recording from the start (VRK_RECORD, VRK_PLAY).
  VRK_vcr_start_from_env();
  return WIN_OK;
}

void win_exit(void) {
  static int running = 0;
  if (running) return;
  running = 1;
  if (VRK_win_init_flag) {
    if (vcr_status() != VCR_IDLE) vcr_stop();
    VRK_intr_exit();
    mouse_hide();
    for (int i = num_windows - 1; i >= 0; --i) {
      window_index[window[i]->id] = -1;
      free_window(window[i]);
      window[i] = nullptr;
    }
    num_windows = 0;
    mem_free(VRK_texture);
    VRK_texture = nullptr;
    mem_free(screen_buffer);
    screen_buffer = nullptr;
    buffering = 0;
    if (video_reset) video_reset();
    VRK_input_exit();
    VRK_rect_exit();
    VRK_refresh_exit();
    VRK_text_exit();
    colorsClose();
    close_default_database();
    VRK95_repaint_func = nullptr;
    VRK95_exit_func = nullptr;
    VRK_mem_lock(0);
    VRK_win_init_flag = 0;
  }
  // The guard goes also after a start that failed: the program is ending.
  if (title_mutex != -1) plat_guard_release(title_mutex);
  title_mutex = -1;
  running = 0;
}

int win_active(void) { return VRK_win_init_flag; }

int win_reinit(win_mode_fn mode) {
  if (!VRK_win_init_flag) return WIN_ERR_NOT_INIT;
  int err = 0;
  if (!mode || mode() != 0) err = WIN_ERR_VIDEO;
  const int sw = scr_size.lrx + 1, sh = scr_size.lry + 1;
  for (int i = 1; i < num_windows && !err; ++i)
    if (window[i]->width > sw || window[i]->height > sh) err = WIN_ERR_TOO_BIG;
  if (!err && (window_flags & WIN_INIT_BUFFER)) {
    auto* nb = static_cast<uint8_t*>(mem_malloc(size_t(sw) * size_t(sh)));
    if (!nb) {
      err = WIN_ERR_MEMORY;
    } else {
      mem_free(screen_buffer);
      screen_buffer = nb;
    }
  }
  // On an error the old mode is set again, and like a new one it needs the palette and every
  // window put back.
  if (err) {
    if (video_set && video_set() != 0) return WIN_ERR_VIDEO;
  } else {
    video_set = mode;
  }
  setSystemPalette(getSystemPalette());
  Window* s = window[0];
  s->rect = scr_size;
  s->width = scr_size.lrx + 1;
  s->height = scr_size.lry + 1;
  VRK_mouse_clip();
  VRK_win_refresh(s, &s->rect, nullptr);
  for (int i = 1; i < num_windows; ++i) {
    Window* w = window[i];
    win_move(w->id, w->rect.ulx, w->rect.uly);
  }
  return err;
}

// --- windows ---

void win_delete(int id) {
  Window* w = VRK_find(id);
  if (!w || id == 0) return;
  Rect old = w->rect;
  int pos = window_index[id];
  free_window(w);
  window_index[id] = -1;
  for (int i = pos; i < num_windows - 1; ++i) window[i] = window[i + 1];
  window[--num_windows] = nullptr;
  VRK_reindex(pos, num_windows - 1);
  refresh_all(&old, nullptr);
}

void win_drag(int id) {
  Window* w = VRK_find(id);
  if (!w || id == 0) return;
  win_show(id);
  Rect old = w->rect;
  auto poll = [] {
    VRK_do_bk_process();
    if (vcr_update() != 3) mouse_info();
  };
  int x0, y0, x1, y1;
  mouse_get_position(&x0, &y0);
  poll();
  mouse_get_position(&x1, &y1);
  int dx = x1 - x0, dy = y1 - y0;
  while (!(mouse_get_buttons() & 0x30) && VRK_find(id) == w && mouse_query_exist()) {
    // Keep the window on the screen.
    if (old.ulx + dx < 0) dx = -old.ulx;
    if (old.uly + dy < 0) dy = -old.uly;
    if (old.lrx + dx > scr_size.lrx) dx = scr_size.lrx - old.lrx;
    if (old.lry + dy > scr_size.lry) dy = scr_size.lry - old.lry;
    if (dx || dy) {
      Rect now = {old.ulx + dx, old.uly + dy, old.lrx + dx, old.lry + dy};
      w->rect = now;
      VRK_win_refresh(w, &now, nullptr);
      RectNode* pieces = rect_clip(&old, &now);
      for (RectNode* p = pieces; p; p = p->next) refresh_all(&p->rect, nullptr);
      rect_free_list(pieces);
      old = now;
    }
    mouse_get_position(&x0, &y0);
    poll();
    mouse_get_position(&x1, &y1);
    dx = x1 - x0;
    dy = y1 - y0;
    if (!dx && !dy && !(mouse_get_buttons() & 0x30)) plat_wait_events(10);
  }
  if (VRK_find(id) == w && (w->flags & WIN_ALIGN4) && (w->rect.ulx & 3)) win_move(id, w->rect.ulx, w->rect.uly);
}

int win_check_all_buttons(void) {
  if (!VRK_win_init_flag) return -1;
  int event = -1;
  for (int i = num_windows - 1; i >= 1; --i) {
    if (VRK_check_buttons(window[i], &event) == 0) break;
    if (window[i]->flags & WIN_MODAL) break;
  }
  return event;
}

Button* VRK_find_button(int id, Window** w) {
  if (!VRK_win_init_flag) return nullptr;
  for (int i = 0; i < num_windows; ++i)
    for (Button* b = window[i]->button_list; b; b = b->next)
      if (b->id == id) {
        if (w) *w = window[i];
        return b;
      }
  return nullptr;
}

int VRK_check_menu_bars(int code) {
  if (!VRK_win_init_flag || code == -1) return code;
  for (int i = num_windows - 1; i >= 1; --i) {
    if (MenuBar* bar = window[i]->menu_bar)
      for (int j = 0; j < bar->count; ++j)
        if (bar->pulldowns[j].hot_key == code) return VRK_process_menu(bar, j);
    if (window[i]->flags & WIN_MODAL) break;
  }
  return code;
}
