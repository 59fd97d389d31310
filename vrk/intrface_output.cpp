// Dialogs: the text output box and the debug window.
#include <algorithm>
#include <string>

#include "vrk/button.h"
#include "vrk/intrface.h"
#include "vrk/intrface_internal.h"
#include "vrk/text.h"
#include "vrk/vrk.h"

namespace {
constexpr int kDialogFlags = WIN_ON_TOP | WIN_MODAL;
}  // namespace

int win_output(const char* title, const char* const* lines, int count, int x, int y, int colour) {
  if (!VRK_win_init_flag || !title || (count > 0 && !lines) || count < 0) return -1;
  const int h = text_height();
  int widest = std::max(text_width(title), win_width_needed(lines, count));
  const int width = widest + 16 + 16, height = (count + 3) * h + 28;
  const int id = win_add(x, y, width, height, 256, kDialogFlags);
  if (id == -1) return -1;
  win_border(id);
  win_print(id, title, 0, 16, 8, colour | WIN_PRINT_NO_BK);
  win_text(id, lines, count, widest, 16, 8 + h + 4, colour | WIN_PRINT_NO_BK);
  win_register_text_button(id, width / 2 - 32, height - 8 - h - 6, -1, -1, -1, 27, "Done", 0);
  win_draw(id);
  while (VRK_intr_input() != 27) {
  }
  win_delete(id);
  return 0;
}

// --- the debug window ---

namespace {

constexpr int kDebugLines = 12, kDebugWidth = 400;
int debug_win = -1;
std::string debug_text[kDebugLines];
int debug_count = 0;

void debug_close(int, int) {
  if (debug_win != -1) win_delete(debug_win);
  debug_win = -1;
}

void debug_draw() {
  const int h = text_height();
  win_fill(debug_win, 6, 6, kDebugWidth - 12, kDebugLines * h + 4, 257);
  for (int i = 0; i < debug_count; ++i)
    win_print(debug_win, debug_text[i].c_str(), kDebugWidth - 20, 10, 8 + i * h, 260 | WIN_PRINT_CUT);
  win_draw(debug_win);
}

}  // namespace

int win_debug(const char* text) {
  if (!VRK_win_init_flag || !text) return -1;
  const int h = text_height();
  if (debug_win == -1 || !VRK_find(debug_win)) {
    const int height = kDebugLines * h + 16 + h + 12;
    debug_win = win_add(0, 0, kDebugWidth, height, 256, WIN_ON_TOP | WIN_DRAGGABLE);
    if (debug_win == -1) return -1;
    win_border(debug_win);
    debug_count = 0;
    int b = win_register_text_button(debug_win, kDebugWidth / 2 - 32, height - 8 - h - 6, -1, -1, -1, -1, "Close", 0);
    win_register_button_func(b, nullptr, nullptr, nullptr, debug_close);
  }
  // Each line of the text scrolls the window by one.
  std::string all = text;
  size_t start = 0;
  while (start <= all.size()) {
    size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    if (end > start || end < all.size()) {
      if (debug_count == kDebugLines) {
        std::rotate(debug_text, debug_text + 1, debug_text + kDebugLines);
        --debug_count;
      }
      debug_text[debug_count++] = all.substr(start, end - start);
    }
    start = end + 1;
  }
  debug_draw();
  return 0;
}

void VRK_intr_debug_exit(void) {
  debug_win = -1;
  debug_count = 0;
}
