// Dialogs: the message box and the yes/no question. Nothing else lives here: the install engine's
// tests put their own message box and question in place of these two.
#include "vrk/intrface.h"

#include <algorithm>

#include "vrk/button.h"
#include "vrk/input.h"
#include "vrk/intrface_internal.h"
#include "vrk/text.h"
#include "vrk/vrk.h"

namespace {

// A modal dialog's window (on top and modal) for text with an inner width of at least
// min_inner; its id, or -1.
int text_dialog(const char* text, int x, int y, int colour, int min_inner) {
  return VRK_intr_text_window(text, x, y, colour, min_inner, WIN_ON_TOP | WIN_MODAL);
}

int button_row(int win) { return win_height(win) - 8 - text_height() - 6; }

// The rectangle of the focus mark around the text button at (x, y) labelled text: two pixels
// outside the button (win_register_text_button: text width + 16 by text height + 6).
Rect mark_rect(int x, int y, const char* text) {
  return {x - 2, y - 2, x + text_width(text) + 16 + 1, y + text_height() + 6 + 1};
}

// Draws the dotted focus mark r in the text's colour (on) or takes it away (the background put
// back), and shows the change.
void focus_mark(int win, const Rect& r, int colour, bool on) {
  uint8_t* buf = win_get_buf(win);
  const int pitch = win_width(win);
  if (!buf || r.ulx < 0 || r.uly < 0 || r.lrx >= pitch || r.lry >= win_height(win)) return;
  if (!on) {
    win_fill(win, r.ulx, r.uly, r.lrx - r.ulx + 1, 1, 256);
    win_fill(win, r.ulx, r.lry, r.lrx - r.ulx + 1, 1, 256);
    win_fill(win, r.ulx, r.uly, 1, r.lry - r.uly + 1, 256);
    win_fill(win, r.lrx, r.uly, 1, r.lry - r.uly + 1, 256);
  } else {
    const uint8_t c = uint8_t(VRK_translate_color(colour & 0xFFFF) & 0xFF);
    auto dot = [&](int x, int y) {
      if (((x + y) & 1) == 0) buf[size_t(y) * size_t(pitch) + size_t(x)] = c;
    };
    for (int x = r.ulx; x <= r.lrx; ++x) {
      dot(x, r.uly);
      dot(x, r.lry);
    }
    for (int y = r.uly; y <= r.lry; ++y) {
      dot(r.ulx, y);
      dot(r.lrx, y);
    }
  }
  const Rect whole = r;
  win_draw_rect(win, &whole);
}

}  // namespace

int win_dialog_size(const char* text, int question, int* width, int* height) {
  if (!VRK_win_init_flag || !text || !width || !height) return -1;
  VRK_intr_text_size(text, question ? 144 : 80, width, height);
  return 0;
}

int win_msg(const char* text, int x, int y, int colour) {
  const int id = text_dialog(text, x, y, colour, 80);
  if (id == -1) return -1;
  const int bx = win_width(id) / 2 - 32, by = button_row(id);
  win_register_text_button(id, bx, by, -1, -1, -1, 27, "Done", 0);
  focus_mark(id, mark_rect(bx, by, "Done"), colour, true);  // the one button: Enter and Space press it
  win_draw(id);
  for (;;) {
    const int code = VRK_intr_input();
    if (code == 27 || code == 13 || code == ' ') break;
  }
  win_delete(id);
  return 0;
}

int win_yes_no(const char* question, int x, int y, int colour) {
  const int id = text_dialog(question, x, y, colour, 144);
  if (id == -1) return -1;
  const int width = win_width(id), by = button_row(id);
  win_register_text_button(id, width / 2 - 64, by, -1, -1, -1, 'y', "Yes", 0);
  win_register_text_button(id, width / 2 + 16, by, -1, -1, -1, 'n', "No", 0);
  // The focus starts on Yes; Tab, Left and Right move it, Enter and Space press the button that
  // has it.
  const Rect marks[2] = {mark_rect(width / 2 - 64, by, "Yes"), mark_rect(width / 2 + 16, by, "No")};
  int focus = 0;
  focus_mark(id, marks[focus], colour, true);
  win_draw(id);
  int answer = -1;
  while (answer == -1) {
    switch (VRK_intr_input()) {
      case 27:
      case 'n':
      case 'N':
        answer = 0;
        break;
      case 'y':
      case 'Y':
        answer = 1;
        break;
      case 13:
      case ' ':
        answer = focus == 0 ? 1 : 0;
        break;
      case 9:    // Tab
      case 331:  // Left
      case 333:  // Right
        focus_mark(id, marks[focus], colour, false);
        focus = 1 - focus;
        focus_mark(id, marks[focus], colour, true);
        break;
      default:
        break;
    }
  }
  win_delete(id);
  return answer;
}
