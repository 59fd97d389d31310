// Dialogs: the message box and the yes/no question. Nothing else lives here: the install engine's
// tests put their own message box and question in place of these two.
#include "vrk/intrface.h"

#include <algorithm>
#include <string>

#include "vrk/button.h"
#include "vrk/input.h"
#include "vrk/intrface_internal.h"
#include "vrk/svga.h"
#include "vrk/text.h"
#include "vrk/vrk.h"

namespace {

constexpr int kDialogFlags = WIN_ON_TOP | WIN_MODAL;

// The text of a message or question as its dialog shows it: broken into lines that fit the
// screen (the box is the widest line + 32 wide).
std::string dialog_text(const char* text) { return VRK_intr_wrap(text, scr_size.lrx + 1 - 32); }

// The size of a dialog for (already broken) text with an inner width of at least min_inner.
void dialog_size(const std::string& text, int min_inner, int* width, int* height) {
  int widest = 0;
  const int lines = VRK_intr_lines(text.c_str(), &widest);
  *height = (lines + 2) * text_height() + 16;
  *width = std::max(widest + 16, min_inner) + 16;
}

// A modal dialog's window sized for text with an inner width of at least min_inner: bordered,
// the text drawn at (16, 8); its id, or -1 (also when the text is too long for the screen). The
// buttons' row is 8 + text_height + 6 above the bottom.
int text_dialog(const char* text, int x, int y, int colour, int min_inner) {
  if (!VRK_win_init_flag || !text) return -1;
  const std::string lines = dialog_text(text);
  int width = 0, height = 0;
  dialog_size(lines, min_inner, &width, &height);
  const int id = win_add(x, y, width, height, 256, kDialogFlags);
  if (id == -1) return -1;
  win_border(id);
  VRK_intr_draw_lines(id, lines.c_str(), 16, 8, colour);
  return id;
}

int button_row(int win) { return win_height(win) - 8 - text_height() - 6; }

}  // namespace

int win_dialog_size(const char* text, int question, int* width, int* height) {
  if (!VRK_win_init_flag || !text || !width || !height) return -1;
  dialog_size(dialog_text(text), question ? 144 : 80, width, height);
  return 0;
}

int win_msg(const char* text, int x, int y, int colour) {
  const int id = text_dialog(text, x, y, colour, 80);
  if (id == -1) return -1;
  win_register_text_button(id, win_width(id) / 2 - 32, button_row(id), -1, -1, -1, 27, "Done", 0);
  win_draw(id);
  while (VRK_intr_input() != 27) {
  }
  win_delete(id);
  return 0;
}

int win_yes_no(const char* question, int x, int y, int colour) {
  const int id = text_dialog(question, x, y, colour, 144);
  if (id == -1) return -1;
  const int width = win_width(id);
  win_register_text_button(id, width / 2 - 64, button_row(id), -1, -1, -1, 'y', "Yes", 0);
  win_register_text_button(id, width / 2 + 16, button_row(id), -1, -1, -1, 'n', "No", 0);
  win_draw(id);
  int answer = -1;
  while (answer == -1) {
    switch (VRK_intr_input()) {
      case 27:
      case 'n':
      case 'N':
        answer = 0;
        break;
      case 13:
      case ' ':
      case 'y':
      case 'Y':
        answer = 1;
        break;
      default:
        break;
    }
  }
  win_delete(id);
  return answer;
}
