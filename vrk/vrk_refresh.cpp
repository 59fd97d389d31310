// The refresh: each window's part of a rectangle, clipped by the windows above it, copied to the
// screen, into the screen buffer or into a caller's buffer.
#include <cstring>

#include "vrk/button.h"
#include "vrk/grbuf.h"
#include "vrk/memory.h"
#include "vrk/mouse.h"
#include "vrk/svga.h"
#include "vrk/vrk.h"
#include "vrk/vrk_internal.h"

namespace {

int width_of(const Rect& r) { return r.lrx - r.ulx + 1; }
int height_of(const Rect& r) { return r.lry - r.uly + 1; }

// The cursor's rectangle when it is on the screen.
bool cursor_over(const Rect* r, Rect* cursor) {
  if (mouse_hidden()) return false;
  mouse_get_rect(cursor);
  return rect_overlap(cursor, r) != 0;
}

int screen_pitch() { return scr_size.lrx + 1; }

uint8_t* row = nullptr;  // bk_row's pixels
int row_width = 0, row_color = -1;

// A row of at least `width` pixels of bk_color (kept until win_exit); null without memory.
uint8_t* bk_row(int width) {
  if (width > row_width) {
    auto* grown = static_cast<uint8_t*>(mem_malloc(size_t(width)));
    if (!grown) return nullptr;
    mem_free(row);
    row = grown;
    row_width = width;
    row_color = -1;
  }
  if (row_color != bk_color) {
    std::memset(row, bk_color, size_t(row_width));
    row_color = bk_color;
  }
  return row;
}

uint8_t* screen_at(int x, int y) { return screen_buffer + size_t(y) * size_t(screen_pitch()) + size_t(x); }

// Clips the window's list by every visible window above it. The list never grows beyond its
// first rectangle, so windows outside that are passed over at once.
void win_clip(Window* w, RectNode** list, uint8_t* dest) {
  const Rect bound = (*list)->rect;
  for (int i = window_index[w->id] + 1; i < num_windows && *list; ++i) {
    Window* above = window[i];
    if ((above->flags & WIN_HIDDEN) || !rect_overlap(&above->rect, &bound)) continue;
    if (buffering && (above->flags & WIN_TRANSPARENT)) {
      if (doing_refresh_all) continue;
      VRK_win_refresh(above, &above->rect, nullptr);
    }
    rect_clip_list(list, &above->rect);
  }
  Rect cursor;
  if (*list && (!dest || dest == screen_buffer) && !mouse_hidden()) {
    mouse_get_rect(&cursor);
    rect_clip_list(list, &cursor);
  }
}

// A transparent window while buffering: everything over r is composed first, then shown.
void refresh_transparent(Window* w, const Rect* r) {
  refresh_all(r, screen_buffer);
  const int pitch = width_of(*r);
  Rect cursor;
  if (cursor_over(r, &cursor)) {
    mouse_show();
    RectNode* pieces = rect_clip(r, &cursor);
    for (RectNode* p = pieces; p; p = p->next) {
      VRK_button_refresh(w, &p->rect);
      scr_blit(screen_buffer, pitch, height_of(*r), p->rect.ulx - r->ulx, p->rect.uly - r->uly, width_of(p->rect),
               height_of(p->rect), p->rect.ulx, p->rect.uly);
    }
    rect_free_list(pieces);
  } else {
    VRK_button_refresh(w, r);
    scr_blit(screen_buffer, pitch, height_of(*r), 0, 0, width_of(*r), height_of(*r), r->ulx, r->uly);
  }
}

}  // namespace

unsigned VRK_refresh_count = 0;

void VRK_win_refresh(Window* w, const Rect* r, uint8_t* dest) {
  ++VRK_refresh_count;
  if (!w || !r || !VRK_win_init_flag || (w->flags & WIN_HIDDEN)) return;
  if ((w->flags & WIN_TRANSPARENT) && buffering && !doing_refresh_all && !dest) {
    Rect part;
    if (rect_inside_bound(r, &scr_size, &part) == 0) refresh_transparent(w, &part);
    return;
  }
  Rect first;
  if (rect_inside_bound(&w->rect, r, &first) != 0) return;
  RectNode* list = rect_malloc();
  if (!list) return;
  list->rect = first;
  win_clip(w, &list, dest);
  const int dpitch = width_of(*r);
  const bool trans = buffering && (w->flags & WIN_TRANSPARENT);
  for (RectNode* p = list; p; p = p->next) {
    const Rect& q = p->rect;
    const int pw = width_of(q), ph = height_of(q);
    if (!w->buffer) {
      // The screen window: bk_color.
      if (dest) {
        buf_fill(dest + size_t(q.uly - r->uly) * size_t(dpitch) + size_t(q.ulx - r->ulx), pw, ph, dpitch, bk_color);
      } else if (buffering) {
        buf_fill(screen_at(q.ulx, q.uly), pw, ph, screen_pitch(), bk_color);
      } else {
        // One row of bk_color, copied to every row of the piece (source pitch 0).
        uint8_t* fill = bk_row(pw);
        if (!fill) continue;
        scr_blit(fill, 0, ph, 0, 0, pw, ph, q.ulx, q.uly);
      }
    } else {
      VRK_button_refresh(w, &q);
      const uint8_t* src = w->buffer + size_t(q.uly - w->rect.uly) * size_t(w->width) + size_t(q.ulx - w->rect.ulx);
      if (dest) {
        uint8_t* d = dest + size_t(q.uly - r->uly) * size_t(dpitch) + size_t(q.ulx - r->ulx);
        (trans ? w->trans_b2b : buf_to_buf)(src, pw, ph, w->width, d, dpitch);
      } else if (buffering) {
        (trans ? w->trans_b2b : buf_to_buf)(src, pw, ph, w->width, screen_at(q.ulx, q.uly), screen_pitch());
      } else {
        scr_blit(w->buffer, w->width, w->height, q.ulx - w->rect.ulx, q.uly - w->rect.uly, pw, ph, q.ulx, q.uly);
      }
    }
  }
  while (list) {
    RectNode* next = list->next;
    if (buffering && !dest)
      scr_blit(screen_buffer, screen_pitch(), scr_size.lry + 1, list->rect.ulx, list->rect.uly, width_of(list->rect),
               height_of(list->rect), list->rect.ulx, list->rect.uly);
    rect_free(list);
    list = next;
  }
  Rect cursor;
  if (!doing_refresh_all && !dest && cursor_over(r, &cursor)) mouse_show();
}

void VRK_refresh_exit(void) {
  mem_free(row);
  row = nullptr;
  row_width = 0;
  row_color = -1;
}

void refresh_all(const Rect* r, uint8_t* dest) {
  if (!r) return;
  int outer = doing_refresh_all;
  doing_refresh_all = 1;
  for (int i = 0; i < num_windows; ++i) VRK_win_refresh(window[i], r, dest);
  doing_refresh_all = outer;
  Rect cursor;
  if (!outer && !dest && cursor_over(r, &cursor)) mouse_show();
}

void win_refresh_all(const Rect* r) {
  if (VRK_win_init_flag) refresh_all(r, nullptr);
}

void win_draw(int id) {
  Window* w = VRK_find(id);
  if (w) VRK_win_refresh(w, &w->rect, nullptr);
}

void win_draw_rect(int id, const Rect* r) {
  Window* w = VRK_find(id);
  if (!w || !r) return;
  Rect s = {w->rect.ulx + r->ulx, w->rect.uly + r->uly, w->rect.ulx + r->lrx, w->rect.uly + r->lry};
  VRK_win_refresh(w, &s, nullptr);
}

void win_get_mouse_buf(uint8_t* buf) {
  if (!buf || !VRK_win_init_flag) return;
  Rect cursor;
  mouse_get_rect(&cursor);
  // Only what lies on the screen is composed; the rest keeps bk_color.
  std::memset(buf, bk_color, size_t(width_of(cursor)) * size_t(height_of(cursor)));
  Rect on;
  if (rect_inside_bound(&cursor, &scr_size, &on) != 0) return;
  const int pitch = width_of(cursor);
  int outer = doing_refresh_all;
  doing_refresh_all = 1;
  for (int i = 0; i < num_windows; ++i) {
    // Each window writes its part of `on` into buf at its place relative to the cursor.
    Window* w = window[i];
    Rect part;
    if ((w->flags & WIN_HIDDEN) || rect_inside_bound(&w->rect, &on, &part) != 0) continue;
    const int pw = width_of(part), ph = height_of(part);
    uint8_t* d = buf + size_t(part.uly - cursor.uly) * size_t(pitch) + size_t(part.ulx - cursor.ulx);
    if (!w->buffer) {
      buf_fill(d, pw, ph, pitch, bk_color);
      continue;
    }
    VRK_button_refresh(w, &part);
    const uint8_t* src =
        w->buffer + size_t(part.uly - w->rect.uly) * size_t(w->width) + size_t(part.ulx - w->rect.ulx);
    (buffering && (w->flags & WIN_TRANSPARENT) ? w->trans_b2b : buf_to_buf)(src, pw, ph, w->width, d, pitch);
  }
  doing_refresh_all = outer;
}
