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
