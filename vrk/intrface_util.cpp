// Helpers the dialog files share.
#include <algorithm>
#include <string>

#include "platform/driver.h"
#include "vrk/input.h"
#include "vrk/intrface_internal.h"
#include "vrk/text.h"
#include "vrk/vrk.h"

int VRK_intr_input(void) {
  int code = get_input();
  if (code == -1) plat_wait_events(10);
  return code;
}

int VRK_intr_lines(const char* text, int* widest) {
  int lines = 0, w = 0;
  std::string line;
  for (const char* p = text;; ++p) {
    if (*p == '\n' || !*p) {
      w = std::max(w, text_width(line.c_str()));
      ++lines;
      line.clear();
      if (!*p) break;
    } else {
      line += *p;
    }
  }
  if (widest) *widest = w;
  return lines;
}

namespace {

// Appends one line of text (no '\n'), broken into lines no wider than max_width: at blanks where
// a word still fits, inside a word that alone is wider (at least one character a line).
void wrap_line(const std::string& line, int max_width, std::string* out) {
  std::string cur;
  size_t i = 0;
  while (i < line.size()) {
    const size_t end = std::min(line.find(' ', i), line.size());
    const std::string word = line.substr(i, end - i);
    const std::string joined = cur.empty() ? word : cur + ' ' + word;
    if (text_width(joined.c_str()) <= max_width) {
      cur = joined;
    } else if (!cur.empty() && text_width(word.c_str()) <= max_width) {
      *out += cur + '\n';
      cur = word;
    } else {
      // The word alone is wider than a line: it starts a line of its own and is broken where
      // the next character would not fit (at least one character a line).
      if (!cur.empty()) *out += cur + '\n';
      cur.clear();
      for (char c : word) {
        if (!cur.empty() && text_width((cur + c).c_str()) > max_width) {
          *out += cur + '\n';
          cur.clear();
        }
        cur += c;
      }
    }
    i = end + 1;
  }
  *out += cur;
}

// The text with its lines broken to be at most max_width wide (text_width).
std::string wrap(const char* text, int max_width) {
  std::string out;
  std::string line;
  for (const char* p = text;; ++p) {
    if (*p == '\n' || !*p) {
      wrap_line(line, max_width, &out);
      line.clear();
      if (!*p) break;
      out += '\n';
    } else {
      line += *p;
    }
  }
  return out;
}

// The text of a dialog broken to fit the screen: the box is the widest line + 32 wide (the screen
// window, id 0, is as wide as the screen).
std::string dialog_text(const char* text) { return wrap(text, win_width(0) - 32); }

void box_size(const std::string& lines, int min_inner, int* width, int* height) {
  int widest = 0;
  const int n = VRK_intr_lines(lines.c_str(), &widest);
  *height = (n + 2) * text_height() + 16;
  *width = std::max(widest + 16, min_inner) + 16;
}

}  // namespace

void VRK_intr_text_size(const char* text, int min_inner, int* width, int* height) {
  box_size(dialog_text(text ? text : ""), min_inner, width, height);
}

int VRK_intr_text_window(const char* text, int x, int y, int colour, int min_inner, int flags) {
  if (!VRK_win_init_flag || !text) return -1;
  const std::string lines = dialog_text(text);
  int width = 0, height = 0;
  box_size(lines, min_inner, &width, &height);
  const int id = win_add(x, y, width, height, 256, flags);
  if (id == -1) return -1;
  win_border(id);
  VRK_intr_draw_lines(id, lines.c_str(), 16, 8, colour);
  return id;
}

void VRK_intr_draw_lines(int win, const char* text, int x, int y, int colour) {
  uint8_t* buf = win_get_buf(win);
  const int pitch = win_width(win), height = win_height(win), h = text_height();
  if (!buf || !text) return;
  const int c = VRK_translate_color(colour) & 0x7FFFF;
  std::string line;
  for (const char* p = text;; ++p) {
    if (*p == '\n' || !*p) {
      if (y + h <= height && x < pitch)
        text_to_buf(buf + size_t(y) * size_t(pitch) + size_t(x), line.c_str(), pitch - x, pitch, c);
      y += h;
      line.clear();
      if (!*p) break;
    } else {
      line += *p;
    }
  }
}
