// The window table and its z-order, window placement and the queries.
#include "vrk/vrk.h"

#include <cstdlib>
#include <cstring>

#include "vrk/grbuf.h"
#include "vrk/memory.h"
#include "vrk/svga.h"
#include "vrk/vrk_internal.h"

Window* window[VRK_MAX_WINDOWS];
int window_index[VRK_MAX_WINDOWS];
int num_windows = 0;
int VRK_win_init_flag = 0;
int window_flags = 0;
uint8_t* screen_buffer = nullptr;
int buffering = 0;
int doing_refresh_all = 0;
int bk_color = 0;

namespace {

// Puts the windows of positions [from, to] back into window_index.
void reindex(int from, int to) {
  for (int i = from; i <= to && i < num_windows; ++i) window_index[window[i]->id] = i;
}

void swap_up(int pos) {
  Window* t = window[pos];
  window[pos] = window[pos + 1];
  window[pos + 1] = t;
  reindex(pos, pos + 1);
}

uint32_t rand_state = 1;

}  // namespace

int VRK_rand(void) {
  rand_state = rand_state * 1103515245u + 12345u;
  return int((rand_state >> 16) & 0x7FFF);
}

void VRK_srand(uint32_t seed) { rand_state = seed; }

void VRK_reindex(int from, int to) { reindex(from, to); }

// --- the table ---

Window* VRK_find(int id) {
  if (id < 0 || id >= VRK_MAX_WINDOWS || !VRK_win_init_flag) return nullptr;
  int pos = window_index[id];
  return pos < 0 ? nullptr : window[pos];
}

int win_add(int x, int y, int width, int height, int color, int flags) {
  if (!VRK_win_init_flag || num_windows >= VRK_MAX_WINDOWS) return -1;
  if (width <= 0 || height <= 0 || width > scr_size.lrx + 1 || height > scr_size.lry + 1) return -1;
  auto* w = static_cast<Window*>(mem_malloc(sizeof(Window)));
  auto* buf = static_cast<uint8_t*>(mem_malloc(size_t(width) * size_t(height)));
  if (!w || !buf) {
    mem_free(w);
    mem_free(buf);
    return -1;
  }
  int id = 1;
  while (VRK_find(id)) ++id;
  std::memset(w, 0, sizeof *w);
  if (flags & WIN_INIT_BUFFER) flags |= window_flags;
  w->id = id;
  w->width = width;
  w->height = height;
  w->flags = flags;
  w->tx = VRK_rand() & 0xFFFE;
  w->ty = VRK_rand() & 0xFFFE;
  w->rect = {0, 0, width - 1, height - 1};
  if (color == 256) w->color = VRK_texture ? 256 : VRK_translate_color(257);
  else w->color = VRK_translate_color(color) & 0xFFFF;
  w->buffer = buf;
  w->trans_b2b = trans_buf_to_buf;
  int pos = num_windows++;
  window[pos] = w;
  window_index[id] = pos;
  win_fill(id, 0, 0, width, height, w->color);
  w->flags |= WIN_HIDDEN;
  win_move(id, x, y);
  w->flags = flags;
  if (!(flags & WIN_ON_TOP)) {
    while (pos > 1 && (window[pos - 1]->flags & WIN_ON_TOP)) {
      swap_up(pos - 1);
      --pos;
    }
  }
  return id;
}

void win_show(int id) {
  Window* w = VRK_find(id);
  if (!w) return;
  int pos = window_index[id];
  bool on_top = pos == num_windows - 1;
  bool unhid = false;
  if (w->flags & WIN_HIDDEN) {
    w->flags &= ~WIN_HIDDEN;
    unhid = true;
    if (on_top) VRK_win_refresh(w, &w->rect, nullptr);
  }
  if (on_top) return;
  if (w->flags & WIN_NO_RAISE) {
    if (unhid) VRK_win_refresh(w, &w->rect, nullptr);
    return;
  }
  while (pos < num_windows - 1 && ((w->flags & WIN_ON_TOP) || !(window[pos + 1]->flags & WIN_ON_TOP))) {
    swap_up(pos);
    ++pos;
  }
  VRK_win_refresh(w, &w->rect, nullptr);
}

void win_hide(int id) {
  Window* w = VRK_find(id);
  if (!w || id == 0 || (w->flags & WIN_HIDDEN)) return;
  w->flags |= WIN_HIDDEN;
  refresh_all(&w->rect, nullptr);
}

void win_move(int id, int x, int y) {
  Window* w = VRK_find(id);
  if (!w || id == 0) return;
  Rect old = w->rect;
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  if (w->flags & WIN_ALIGN4) x += 2;
  if (x + w->width - 1 > scr_size.lrx) x = scr_size.lrx - w->width + 1;
  if (y + w->height - 1 > scr_size.lry) y = scr_size.lry - w->height + 1;
  if (w->flags & WIN_ALIGN4) x &= ~3;
  w->rect = {x, y, x + w->width - 1, y + w->height - 1};
  if (!(w->flags & WIN_HIDDEN)) {
    VRK_win_refresh(w, &w->rect, nullptr);
    refresh_all(&old, nullptr);
  }
}

// --- queries ---

uint8_t* win_get_buf(int id) {
  Window* w = VRK_find(id);
  return w ? w->buffer : nullptr;
}

int win_width(int id) {
  Window* w = VRK_find(id);
  return w ? w->width : -1;
}

int win_height(int id) {
  Window* w = VRK_find(id);
  return w ? w->height : -1;
}

int win_get_rect(int id, Rect* r) {
  Window* w = VRK_find(id);
  if (!w || !r) return -1;
  *r = w->rect;
  return 0;
}

int win_get_top_win(int x, int y) {
  if (!VRK_win_init_flag) return 0;
  for (int i = num_windows - 1; i > 0; --i) {
    const Rect& r = window[i]->rect;
    if (x >= r.ulx && x <= r.lrx && y >= r.uly && y <= r.lry) return window[i]->id;
  }
  return 0;
}

void win_buffering(int flag) {
  if (screen_buffer) buffering = flag ? 1 : 0;
}

void win_set_trans_b2b(int id, win_b2b_fn fn) {
  Window* w = VRK_find(id);
  if (!w || !(w->flags & WIN_TRANSPARENT)) return;
  w->trans_b2b = fn ? fn : trans_buf_to_buf;
}

