// Dialogs that take an answer: the list chooser, string entry and number entry.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "vrk/button.h"
#include "vrk/grbuf.h"
#include "vrk/input.h"
#include "vrk/intrface.h"
#include "vrk/intrface_internal.h"
#include "vrk/mouse.h"
#include "vrk/text.h"
#include "vrk/vrk.h"

namespace {

constexpr int kDialogFlags = WIN_ON_TOP | WIN_MODAL;
constexpr int kScrollCode = 2048, kLineCode = 1024, kLineEnter = 512;

// A code the field's owner handles itself: true when it did (the text may have changed).
typedef bool (*extra_fn)(int code, std::string& text);

// The line editor behind win_input_str: Backspace removes, Enter confirms (0), Escape cancels
// (-1); printable codes are appended while the text is shorter than max. The field runs from x
// to the window's width - x and shows the end of a text too long for it.
int edit_field(int win, char* buffer, int max, int x, int y, int text_colour, int back_colour, extra_fn extra) {
  if (!VRK_find(win) || !buffer || max < 0) return -1;
  std::string text(buffer, strnlen(buffer, size_t(max)));
  const int field = win_width(win) - 2 * x, h = text_height();
  if (field <= 0) return -1;
  auto show = [&] {
    win_fill(win, x, y, field, h, back_colour);
    std::string shown = text + "_";
    while (shown.size() > 1 && text_width(shown.c_str()) > field) shown.erase(0, 1);
    win_print(win, shown.c_str(), 0, x, y, (text_colour & ~(WIN_PRINT_REFRESH)) | WIN_PRINT_NO_BK);
    Rect r = {x, y, x + field - 1, y + h - 1};
    win_draw_rect(win, &r);
  };
  show();
  int result = 0;
  for (;;) {
    const int code = VRK_intr_input();
    if (code == -1 || code == -2) continue;
    if (code == 27) {
      result = -1;
      break;
    }
    if (code == 13) break;
    if (extra && extra(code, text)) {
      if (int(text.size()) > max) text.resize(size_t(max));
    } else if (code == 8) {
      if (!text.empty()) text.pop_back();
    } else if (code >= 32 && code < 256 && code != 127 && int(text.size()) < max) {
      text += char(code);
    } else {
      continue;
    }
    show();
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return result;
}

// A dialog box with a title (window colour 4), a sunken field and "Done" (13) and "Cancel" (27);
// its id and the field's place, or -1.
int entry_box(const char* title, int x, int y, int field_w, int* fx, int* fy) {
  const int h = text_height();
  const int width = std::max({160, text_width(title) + 32, field_w + 32});
  const int height = 8 + h + 6 + h + 8 + h + 6 + 10;
  const int id = win_add(x, y, width, height, 257, kDialogFlags);
  if (id == -1) return -1;
  win_border(id);
  win_print(id, title, 0, 16, 8, 261 | WIN_PRINT_NO_BK);
  *fx = 16;
  *fy = 8 + h + 6;
  win_shaded_box(id, *fx - 2, *fy - 2, width - *fx + 1, *fy + h + 1, 259, 258);
  const int by = height - 8 - h - 6;
  win_register_text_button(id, width / 2 - text_width("Done") - 24, by, -1, -1, -1, 13, "Done", 0);
  win_register_text_button(id, width / 2 + 8, by, -1, -1, -1, 27, "Cancel", 0);
  win_draw(id);
  return id;
}

// --- number entry ---

int num_step = 1;
bool num_keys(int code, std::string& text) {
  if (code == 328 || code == 336) {
    long v = std::strtol(text.c_str(), nullptr, 10);
    v += code == 328 ? num_step : -num_step;
    text = std::to_string(v);
    return true;
  }
  // Digits and a leading minus only.
  if (code >= 32 && code < 256 && !std::isdigit(code) && !(code == '-' && text.empty())) return true;
  return false;
}

}  // namespace

int win_input_str(int win, char* buffer, int max, int x, int y, int text_colour, int back_colour) {
  return edit_field(win, buffer, max, x, y, text_colour, back_colour, nullptr);
}

int win_get_str(char* buffer, int max, const char* title, int x, int y) {
  if (!VRK_win_init_flag || !buffer || !title || max < 0) return -1;
  int fx, fy;
  const int id = entry_box(title, x, y, std::min(max, 40) * std::max(text_width("M"), 1), &fx, &fy);
  if (id == -1) return -1;
  const int r = win_input_str(id, buffer, max, fx, fy, 260, 257);
  win_delete(id);
  return r;
}

int win_get_num_i(int* value, int min, int max, int step, const char* title, int x, int y) {
  if (!VRK_win_init_flag || !value || !title || max < min) return -1;
  *value = std::clamp(*value, min, max);
  num_step = step > 0 ? step : 1;
  char text[16];
  std::snprintf(text, sizeof text, "%d", *value);
  for (;;) {
    int fx, fy;
    const int id = entry_box(title, x, y, 12 * std::max(text_width("0"), 1), &fx, &fy);
    if (id == -1) return -1;
    const int r = edit_field(id, text, 11, fx, fy, 260, 257, num_keys);
    win_delete(id);
    if (r == -1) return -1;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end != text && *end == 0 && v >= min && v <= max) {
      *value = int(v);
      return 0;
    }
    char msg[96];
    std::snprintf(msg, sizeof msg, "Please enter a number between %d and %d.", min, max);
    win_msg(msg, x, y, 260);
  }
}

// --- the list chooser ---

namespace {

struct ListBox {
  int id;
  const char* const* items;
  int count, visible;
  int top, lit;
  int lx, ly, lw;  // the list's lines
  int sx, sw;      // the scroll column
  int colour;
};

void draw_list(ListBox& l) {
  const int h = text_height();
  win_fill(l.id, l.lx, l.ly, l.lw, l.visible * h, 257);
  for (int i = 0; i < l.visible && l.top + i < l.count; ++i) {
    const char* s = l.items[l.top + i];
    if (s && *s) win_print(l.id, s, l.lw, l.lx, l.ly + i * h, 260 | WIN_PRINT_NO_BK | WIN_PRINT_CUT);
  }
  if (l.lit >= l.top && l.lit < l.top + l.visible) {
    const int w = win_width(l.id);
    lighten_buf(win_get_buf(l.id) + size_t(l.ly + (l.lit - l.top) * h) * size_t(w) + size_t(l.lx), l.lw, h, w);
  }
  // The scroll column and its thumb.
  const int sh = l.visible * h;
  win_fill(l.id, l.sx, l.ly, l.sw, sh, 259);
  const int thumb_h = std::max(4, sh * l.visible / std::max(l.count, 1));
  const int range = std::max(l.count - l.visible, 1);
  const int thumb_y = l.ly + (sh - std::min(thumb_h, sh)) * l.top / range;
  win_fill(l.id, l.sx + 1, thumb_y, l.sw - 2, std::min(thumb_h, sh), 258);
  Rect r = {l.lx, l.ly, l.sx + l.sw - 1, l.ly + sh - 1};
  win_draw_rect(l.id, &r);
}

// Moves the highlight to item i (kept in range), scrolling it into view.
void highlight(ListBox& l, int i) {
  l.lit = std::clamp(i, 0, l.count - 1);
  if (l.lit < l.top) l.top = l.lit;
  if (l.lit >= l.top + l.visible) l.top = l.lit - l.visible + 1;
}

}  // namespace

int win_list_select(const char* title, const char* const* items, int count, win_list_fn routine, int x, int y,
                    int colour) {
  return win_list_select_at(title, items, count, routine, x, y, colour, 0);
}

int win_list_select_at(const char* title, const char* const* items, int count, win_list_fn routine, int x, int y,
                       int colour, int first) {
  if (!VRK_win_init_flag || !title || !items || count < 1) return -1;
  const int h = text_height();
  ListBox l{};
  l.items = items;
  l.count = count;
  l.colour = colour;
  l.lw = std::max(win_width_needed(items, count), 40);
  l.sw = 12;
  const int row_w = text_width("Up") + text_width("Down") + text_width("Done") + 48 + 16;
  const int width = std::max({l.lw + l.sw + 6 + 32, text_width(title) + 32, row_w + 32});
  l.lw = width - 32 - l.sw - 6;
  l.lx = 16;
  l.ly = 8 + h + 6;
  l.sx = l.lx + l.lw + 6;
  int lines = 10;
  int id = -1;
  for (; id == -1 && lines >= 6; --lines) {
    const int height = (lines + 3) * h + 22 + 8;
    id = win_add(x, y, width, height, 256, kDialogFlags);
    if (id != -1) l.visible = std::min(lines, count);
  }
  if (id == -1) return -1;
  l.id = id;
  const int height = win_height(id);
  win_border(id);
  win_print(id, title, 0, 16, 8, colour | WIN_PRINT_NO_BK);
  win_shaded_box(id, l.lx - 2, l.ly - 2, l.sx + l.sw + 1, l.ly + l.visible * h + 1, 259, 258);
  const int by = height - 8 - h - 6;
  int bx = (width - row_w) / 2;
  win_register_text_button(id, bx, by, -1, -1, 328, -1, "Up", 0);
  bx += text_width("Up") + 24;
  win_register_text_button(id, bx, by, -1, -1, 336, -1, "Down", 0);
  bx += text_width("Down") + 24;
  win_register_text_button(id, bx, by, -1, -1, -1, 27, "Done", 0);
  win_register_button(id, l.sx, l.ly, l.sw, l.visible * h, -1, -1, kScrollCode, -1, nullptr, nullptr, nullptr, 0);
  for (int i = 0; i < l.visible; ++i)
    win_register_button(id, l.lx, l.ly + i * h, l.lw, h, kLineEnter + i, -1, -1, kLineCode + i, nullptr, nullptr,
                        nullptr, 0);
  l.top = std::clamp(first, 0, std::max(count - l.visible, 0));
  l.lit = l.top;
  draw_list(l);
  win_draw(id);
  int result = -1;
  for (;;) {
    const int code = VRK_intr_input();
    if (code == -1 || code == -2) continue;
    if (code == 27) break;
    bool choose = false;
    if (code == 328)
      highlight(l, l.lit - 1);
    else if (code == 336)
      highlight(l, l.lit + 1);
    else if (code == 329) {  // Page Up
      l.top = std::max(l.top - l.visible, 0);
      highlight(l, l.lit - l.visible);
    } else if (code == 337) {  // Page Down
      l.top = std::min(l.top + l.visible, std::max(count - l.visible, 0));
      highlight(l, l.lit + l.visible);
    } else if (code == 327) {  // Home
      l.top = 0;
      highlight(l, 0);
    } else if (code == 335) {  // End
      l.top = std::max(count - l.visible, 0);
      highlight(l, count - 1);
    } else if (code == kScrollCode) {
      int mx, my;
      get_input_position(&mx, &my);
      Rect r;
      win_get_rect(id, &r);
      const int range = std::max(count - l.visible, 1);
      const int thumb_y =
          r.uly + l.ly +
          (l.visible * h - std::min(std::max(4, l.visible * h * l.visible / count), l.visible * h)) * l.top / range;
      highlight(l, l.lit + (my < thumb_y ? -l.visible : l.visible));
    } else if (code >= kLineEnter && code < kLineEnter + l.visible) {
      if (l.top + code - kLineEnter < count) highlight(l, l.top + code - kLineEnter);
    } else if (code >= kLineCode && code < kLineCode + l.visible) {
      if (l.top + code - kLineCode < count) {
        highlight(l, l.top + code - kLineCode);
        choose = true;
      }
    } else if (code == 13) {
      choose = true;
    } else if (code < 256 && std::isalpha(code)) {
      for (int i = 0; i < count; ++i)
        if (items[i] && std::tolower(static_cast<unsigned char>(items[i][0])) == std::tolower(code)) {
          highlight(l, i);
          break;
        }
    } else {
      continue;
    }
    if (choose) {
      if (!routine) {
        result = l.lit;
        break;
      }
      routine(items, l.lit);
      if (!VRK_find(id)) return -1;
    }
    draw_list(l);
  }
  win_delete(id);
  return result;
}
