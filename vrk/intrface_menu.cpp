// Pull-down menus and menu bars.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "vrk/button.h"
#include "vrk/grbuf.h"
#include "vrk/input.h"
#include "vrk/intrface.h"
#include "vrk/intrface_internal.h"
#include "vrk/memory.h"
#include "vrk/mouse.h"
#include "vrk/text.h"
#include "vrk/vrk.h"

namespace {

int menu_open = 0;  // a pull-down is being run
// The bar whose pull-down is open, and whether it went meanwhile (its window deleted, or the bar
// taken away, by a background process or a routine the input loop ran): the menu then ends at
// once, touching the bar no more.
const MenuBar* open_bar = nullptr;
bool open_bar_gone = false;

bool bar_gone(const MenuBar* bar) { return bar && bar == open_bar && open_bar_gone; }

// Called before a bar is freed.
void forget_bar(const MenuBar* bar) {
  if (bar && bar == open_bar) open_bar_gone = true;
}

bool empty_item(const char* s) { return !s || !*s; }

// Makes and shows a pull-down's window; its id (rect: its screen rectangle), or -1.
int create_pull_down(const char* const* items, int count, int x, int y, int foreground, int background, Rect* rect) {
  const int height = count * text_height() + 16, width = win_width_needed(items, count) + 4;
  if (height < 2 || width < 2) return -1;
  const int id = win_add(x, y, width, height, background, WIN_ON_TOP | WIN_MODAL);
  if (id == -1) return -1;
  win_text(id, items, count, width - 4, 2, 8, foreground);
  win_box(id, 0, 0, width - 1, height - 1, 0);
  win_box(id, 1, 1, width - 2, height - 2, foreground & 0xFFFF);
  win_draw(id);
  win_get_rect(id, rect);
  return id;
}

// Draws the items again with `lit` (-1: none) lightened, and shows them.
void draw_items(int id, const char* const* items, int count, int foreground, int background, int lit) {
  const int h = text_height(), width = win_width(id);
  win_fill(id, 2, 8, width - 4, count * h, background);
  win_text(id, items, count, width - 4, 2, 8, foreground);
  if (lit >= 0) {
    uint8_t* buf = win_get_buf(id);
    lighten_buf(buf + size_t(8 + lit * h) * size_t(width) + 2, width - 4, h, width);
  }
  Rect r = {2, 8, width - 3, 8 + count * h - 1};
  win_draw_rect(id, &r);
}

// Inverts a title of the bar (foreground with background) and shows it.
void invert_title(const MenuBar* bar, int index) {
  Window* w = VRK_find(bar->window);
  if (!w) return;
  const Rect& t = bar->pulldowns[index].title;
  const int fg = VRK_translate_color(bar->foreground) & 0xFF, bg = VRK_translate_color(bar->background) & 0xFF;
  swap_color_buf(w->buffer + size_t(t.uly) * size_t(w->width) + size_t(t.ulx), t.lrx - t.ulx + 1, t.lry - t.uly + 1,
                 w->width, fg, bg);
  win_draw_rect(bar->window, &t);
}

// The pull-down of the bar whose title holds the mouse, or -1.
int title_under_mouse(const MenuBar* bar) {
  Window* w = VRK_find(bar->window);
  if (!w) return -1;
  int x, y;
  mouse_get_position(&x, &y);
  x -= w->rect.ulx;
  y -= w->rect.uly;
  for (int j = 0; j < bar->count; ++j) {
    const Rect& t = bar->pulldowns[j].title;
    if (x >= t.ulx && x <= t.lrx && y >= t.uly && y <= t.lry) return j;
  }
  return -1;
}

// Runs the pull-down in window id until it has an answer: an item, -1 (none), or -2 - j to move
// to pull-down j of the bar.
int process_pull_down(int id, const Rect& rect, const char* const* items, int count, int foreground, int background,
                      const MenuBar* bar, int index) {
  if (bar) invert_title(bar, index);
  const int h = text_height();
  const Rect area = {rect.ulx, rect.uly + 8, rect.lrx, rect.lry - 9};
  auto in_area = [&](int x, int y) { return x >= area.ulx && x <= area.lrx && y >= area.uly && y <= area.lry; };
  auto item_at = [&](int y) {
    int i = (y - rect.uly - 8) / h;
    return i >= 0 && i < count && !empty_item(items[i]) ? i : -1;
  };
  int sx, sy;
  mouse_get_position(&sx, &sy);
  // The release of the click that opened the menu does not close it.
  bool opening_press = (mouse_get_buttons() & (MOUSE_LEFT_PRESSED | MOUSE_LEFT_HELD)) != 0;
  bool armed = false;
  int lit = -1, result = -1;
  int px = sx, py = sy;
  for (;;) {
    const int code = VRK_intr_input();
    if (bar_gone(bar)) {
      result = -1;
      break;
    }
    int mx, my;
    mouse_get_position(&mx, &my);
    if (!armed && (std::abs(mx - sx) > 4 || std::abs(my - sy) > 4 || (code != -1 && code != -2))) armed = true;
    int now = lit;
    if (code == -2) {
      const int bits = mouse_get_buttons();
      int j = bar ? title_under_mouse(bar) : -1;
      if (j >= 0 && j != index) {
        result = -2 - j;
        break;
      }
      if (bits & MOUSE_LEFT_RELEASED) {
        if (opening_press && !armed) {
          opening_press = false;
          continue;
        }
        result = in_area(mx, my) ? lit : -1;
        break;
      }
      if ((bits & MOUSE_LEFT_PRESSED) && !(bits & MOUSE_LEFT_HELD)) {
        result = in_area(mx, my) ? item_at(my) : -1;
        break;
      }
    } else if (code == 27) {
      result = -1;
      break;
    } else if (code == 13) {
      result = lit;
      break;
    } else if (bar && code == 331) {
      if (index > 0) {
        result = -2 - (index - 1);
        break;
      }
    } else if (bar && code == 333) {
      if (index + 1 < bar->count) {
        result = -2 - (index + 1);
        break;
      }
    } else if (code == 328 || code == 336) {
      const int step = code == 328 ? -1 : 1;
      int i = lit == -1 ? (step > 0 ? -1 : count) : lit;
      for (i += step; i >= 0 && i < count; i += step)
        if (!empty_item(items[i])) {
          now = i;
          break;
        }
    }
    if (armed && (mx != px || my != py) && in_area(mx, my)) now = item_at(my);
    px = mx;
    py = my;
    if (armed && now != lit) {
      lit = now;
      draw_items(id, items, count, foreground, background, lit);
    }
  }
  win_delete(id);
  if (bar && !bar_gone(bar)) invert_title(bar, index);
  return result;
}

}  // namespace

void VRK_intr_menu_exit(void) {
  menu_open = 0;
  open_bar = nullptr;
}

int win_width_needed(const char* const* strings, int count) {
  int w = 0;
  for (int i = 0; strings && i < count; ++i)
    if (strings[i]) w = std::max(w, text_width(strings[i]));
  return w;
}

int win_pull_down(const char* const* items, int count, int x, int y, int colour) {
  if (!VRK_win_init_flag || !items || count < 1 || menu_open) return -1;
  Rect r;
  const int id = create_pull_down(items, count, x, y, colour, 257, &r);
  if (id == -1) return -1;
  menu_open = 1;
  const int result = process_pull_down(id, r, items, count, colour, 257, nullptr, 0);
  menu_open = 0;
  return result < 0 ? -1 : result;
}

int win_register_menu_bar(int win, int x, int y, int width, int height, int foreground, int background) {
  Window* w = VRK_find(win);
  if (!w || !w->buffer || w->menu_bar || width < 1 || height < 1 || x < 0 || y < 0 || x + width > w->width ||
      y + height > w->height)
    return -1;
  auto* bar = static_cast<MenuBar*>(mem_malloc(sizeof(MenuBar)));
  if (!bar) return -1;
  std::memset(bar, 0, sizeof *bar);
  bar->window = win;
  bar->rect = {x, y, x + width - 1, y + height - 1};
  bar->foreground = foreground;
  bar->background = background;
  w->menu_bar = bar;
  win_fill(win, x, y, width, height, background);
  win_box(win, x, y, x + width - 1, y + height - 1, foreground & 0xFFFF);
  return 0;
}

int win_register_menu_pulldown(int win, int x_offset, const char* title, int hot_key, int count,
                               const char* const* items, int foreground, int background) {
  Window* w = VRK_find(win);
  if (!w || !w->menu_bar || !title || !items || count < 1) return -1;
  MenuBar* bar = w->menu_bar;
  if (bar->count >= MENU_MAX_PULLDOWNS) return -1;
  const int tw = text_width(title), th = text_height();
  const int x = bar->rect.ulx + x_offset, y = bar->rect.uly + (bar->rect.lry - bar->rect.uly + 1 - th) / 2;
  if (win_register_button(win, x, y, tw, th, -1, -1, hot_key, -1, nullptr, nullptr, nullptr, 0) == -1) return -1;
  win_print(win, title, 0, x, y, (bar->foreground & 0xFFFF) | WIN_PRINT_NO_BK);
  MenuPullDown& p = bar->pulldowns[bar->count++];
  p.title = {x, y, x + tw - 1, y + th - 1};
  p.hot_key = hot_key;
  p.count = count;
  p.items = items;
  p.foreground = foreground;
  p.background = background;
  return 0;
}

void win_delete_menu_bar(int win) {
  Window* w = VRK_find(win);
  if (!w || !w->menu_bar) return;
  MenuBar* bar = w->menu_bar;
  // The titles' buttons go with the bar.
  for (int j = 0; j < bar->count; ++j) {
    const Rect& t = bar->pulldowns[j].title;
    for (Button* b = w->button_list; b; b = b->next)
      if (b->rect.ulx == t.ulx && b->rect.uly == t.uly && b->rect.lrx == t.lrx && b->rect.lry == t.lry &&
          b->press_code == bar->pulldowns[j].hot_key && !b->up_image) {
        win_delete_button(b->id);
        break;
      }
  }
  const Rect r = bar->rect;
  w->menu_bar = nullptr;
  forget_bar(bar);
  mem_free(bar);
  win_fill(win, r.ulx, r.uly, r.lrx - r.ulx + 1, r.lry - r.uly + 1, w->color);
}

void VRK_menu_free(MenuBar* bar) {
  forget_bar(bar);
  mem_free(bar);
}

int VRK_process_menu(MenuBar* bar, int index) {
  if (!bar || menu_open || index < 0 || index >= bar->count) return -1;
  menu_open = 1;
  open_bar = bar;
  open_bar_gone = false;
  int result = -1;
  for (;;) {
    Window* w = VRK_find(bar->window);
    if (!w) break;
    const MenuPullDown& p = bar->pulldowns[index];
    Rect r;
    const int id = create_pull_down(p.items, p.count, w->rect.ulx + p.title.ulx, w->rect.uly + bar->rect.lry + 1,
                                    p.foreground, p.background, &r);
    if (id == -1) break;
    result = process_pull_down(id, r, p.items, p.count, p.foreground, p.background, bar, index);
    if (bar_gone(bar)) result = -1;
    if (result <= -2) {
      index = -2 - result;
      continue;
    }
    break;
  }
  menu_open = 0;
  open_bar = nullptr;
  if (result < 0) return -1;
  flush_input_buffer();
  VRK_add_input_buffer(result);
  return bar->pulldowns[index].hot_key;
}
