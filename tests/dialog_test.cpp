// Dialogs, menus and timed messages on the headless stage. Modal calls run their own input loop,
// so their input is put on the driver's timeline before the call; a background process looks at
// the screen while a dialog is up (against the painter's composition and golden pictures).
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/support/golden.h"
#include "tests/vrk_util.h"
#include "vrk/button.h"
#include "vrk/intrface.h"
#include "vrk/text.h"

using vrk_util::FontArchive;
using vrk_util::painter;

namespace {

constexpr int kW = 320, kH = 240;

// What the background process saw once the clock passed `capture_at`: the top window's place and
// its pixels on the screen, and whether the screen was the painter's composition.
uint32_t capture_at = 0;
bool captured = false, capture_composed = false;
Rect capture_rect;
std::vector<uint8_t> capture_pixels;

std::vector<uint8_t> screen_now() {
  int w = 0, h = 0, pitch = 0, bpp = 0;
  const uint8_t* p = plat_headless_pixels(&w, &h, &pitch, &bpp);
  std::vector<uint8_t> out;
  for (int y = 0; y < h; ++y) out.insert(out.end(), p + size_t(y) * pitch, p + size_t(y) * pitch + w);
  return out;
}

void capture() {
  if (captured || get_time() < capture_at) return;
  captured = true;
  const auto s = screen_now();
  capture_composed = s == painter(kW, kH);
  capture_rect = window[num_windows - 1]->rect;
  capture_pixels.clear();
  for (int y = capture_rect.uly; y <= capture_rect.lry; ++y)
    capture_pixels.insert(capture_pixels.end(), s.begin() + y * kW + capture_rect.ulx,
                          s.begin() + y * kW + capture_rect.lrx + 1);
}

class Dialogs : public vrk_util::Stage {
 protected:
  FontArchive fonts{{vrk_util::color_pal_member()}};
  uint32_t t0 = 0;
  void SetUp() override {
    Stage::SetUp();
    plat_headless_set_time(1000);
    ASSERT_EQ(start(kW, kH), WIN_OK);
    mouse_show();  // hot spot at (160, 120)
    t0 = get_time();
    captured = false;
  }
  void TearDown() override {
    remove_bk_process(capture);
    Stage::TearDown();
  }
  // The screen is looked at once the clock reaches t.
  void look_at(uint32_t t) {
    capture_at = t;
    captured = false;
    add_bk_process(capture);
  }
  ::testing::AssertionResult golden_capture(const char* name) {
    if (!captured) return ::testing::AssertionFailure() << "the screen was never looked at";
    if (!capture_composed) return ::testing::AssertionFailure() << "the screen was not the windows' composition";
    const int w = capture_rect.lrx - capture_rect.ulx + 1, h = capture_rect.lry - capture_rect.uly + 1;
    return golden_picture(name, capture_pixels.data(), w, h, w);
  }
  static void tap(uint32_t t, int code) {
    plat_headless_at_key(t, code, 1);
    plat_headless_at_key(t + 10, code, 0);
  }
  // Taps the keys one after another from t, 20 ms apart; the time after the last.
  static uint32_t type(uint32_t t, const std::vector<int>& keys) {
    for (int k : keys) {
      tap(t, k);
      t += 20;
    }
    return t;
  }
  // Mouse steps at t: move the hot spot from (x0, y0) to (x, y), then press and release there.
  static void click_at(uint32_t t, int x0, int y0, int x, int y) {
    plat_headless_at_mouse(t, x - x0, y - y0, 0);
    plat_headless_at_mouse(t + 50, 0, 0, 1);
    plat_headless_at_mouse(t + 100, 0, 0, 0);
  }
  // The codes get_input gives at every millisecond up to t (a dialog or menu it opens moves the
  // clock on). The clock is read once a step: every read counts towards the driver's spin rule.
  static std::vector<int> poll_until(uint32_t t) {
    std::vector<int> got;
    for (uint32_t now = get_time(); now <= t;) {
      plat_headless_set_time(now);
      int c = get_input();
      if (c != -1 && c != -2) got.push_back(c);
      now = std::max(now + 1, get_time());
    }
    return got;
  }
};

TEST_F(Dialogs, MessageBoxReturnsOnlyWhenEscapeDismissesIt) {
  tap(t0 + 200, 0x2D);  // 'x': not an answer
  tap(t0 + 300, 0x01);
  look_at(t0 + 100);
  EXPECT_EQ(win_msg("Disk full.\nFree some space.", 20, 30, 260 | TEXT_SHADOW), 0);
  EXPECT_GE(get_time(), t0 + 300);
  EXPECT_TRUE(golden_capture("dialog_msg.hex"));
  EXPECT_EQ(num_windows, 1);
  EXPECT_TRUE(screen() == painter(kW, kH));
  EXPECT_EQ(get_input(), -1);  // the Escape went to the box
}

TEST_F(Dialogs, MessageBoxByMouseIgnoresAPressDraggedOff) {
  // A short text still makes a box 96 wide; "Done" lies at (x + 48 - 32, y + height - 8 - h - 6).
  const int h = text_height(), height = 3 * h + 16;
  const int done_x = 20 + 48 - 32 + 10, done_y = 30 + height - 8 - h - 6 + 5;
  // Pressed on Done, dragged off and released there; then a real click.
  plat_headless_at_mouse(t0 + 50, done_x - 160, done_y - 120, 0);
  plat_headless_at_mouse(t0 + 100, 0, 0, 1);
  plat_headless_at_mouse(t0 + 150, 60, 0, 1);
  plat_headless_at_mouse(t0 + 200, 0, 0, 0);
  click_at(t0 + 300, done_x + 60, done_y, done_x, done_y);
  look_at(t0 + 10);
  EXPECT_EQ(win_msg("Hi", 20, 30, 260), 0);
  EXPECT_GE(get_time(), t0 + 400);
  EXPECT_EQ(capture_rect.lrx - capture_rect.ulx + 1, 96);
  EXPECT_EQ(num_windows, 1);
}

// The focus mark starts on "Yes": Enter and Space press the button that has it, Tab, Left and
// Right move it; y and n answer directly, Escape is No; a click on "No" is No.
TEST_F(Dialogs, YesNoAnswers) {
  struct Case {
    std::vector<int> keys;  // DirectInput codes; none: a click on "No"
    int answer;
  } cases[] = {{{0x1C}, 1},       {{0x39}, 1},       {{0x15}, 1},       {{0x01}, 0},
               {{0x31}, 0},       {{}, 0},           {{0x0F, 0x1C}, 0}, {{0xCD, 0x39}, 0},
               {{0x0F, 0xCB, 0x1C}, 1}, {{0x0F, 0x15}, 1}};
  for (const Case& c : cases) {
    const uint32_t t = get_time();
    tap(t + 100, 0x2D);  // 'x': no answer
    if (!c.keys.empty()) {
      type(t + 200, c.keys);
    } else {
      // "No" at (width / 2 + 16, ...) of the 176-wide box at (20, 30).
      const int h = text_height();
      int mx, my;
      mouse_get_position(&mx, &my);
      click_at(t + 200, mx, my, 20 + 88 + 16 + 10, 30 + 3 * h + 16 - 8 - h - 6 + 5);
    }
    look_at(t + 10);
    EXPECT_EQ(win_yes_no("Cancel?", 20, 30, 260), c.answer) << "first key " << (c.keys.empty() ? 0 : c.keys[0]);
    EXPECT_GE(get_time(), t + 200);
    EXPECT_EQ(num_windows, 1);
    if (c.keys == std::vector<int>{0x1C}) {
      EXPECT_TRUE(golden_capture("dialog_yes_no.hex"));
    }
  }
}

// "Done", the message box's one button, has the focus: Enter and Space close the box too.
TEST_F(Dialogs, MessageBoxClosesOnEnterAndSpace) {
  for (int key : {0x1C, 0x39}) {
    const uint32_t t = get_time();
    tap(t + 100, key);
    tap(t + 1000, 0x01);
    EXPECT_EQ(win_msg("Done?", 20, 30, 260), 0);
    EXPECT_LT(get_time(), t + 1000) << "key " << key;
    flush_input_buffer();
    plat_headless_clear_timeline();
  }
}

// A line wider than the screen is broken between words, and a word wider than the screen (a long
// path) inside itself: the box fits the screen and is shown. A box taller than the screen is not
// shown, and the caller hears so.
TEST_F(Dialogs, LongTextsAreWrappedToFitTheScreenAndATooTallOneIsRefused) {
  const char* text =
      "Cannot open C:\\GAMES\\SOMEWHERE\\AN_EXTRAORDINARILY_LONG_FOLDER_NAME\\DATA\\LEVELS\\LEVEL01.DAT "
      "for writing: the disk may be full or write-protected.";
  tap(t0 + 200, 0x01);
  look_at(t0 + 100);
  EXPECT_EQ(win_msg(text, 150, 30, 260), 0);
  EXPECT_TRUE(golden_capture("dialog_msg_wrapped.hex"));
  EXPECT_LE(capture_rect.lrx - capture_rect.ulx + 1, kW);
  EXPECT_GT(capture_rect.lry - capture_rect.uly + 1, 5 * text_height());  // several lines
  int w = 0, h = 0;
  ASSERT_EQ(win_dialog_size(text, 0, &w, &h), 0);
  EXPECT_EQ(w, capture_rect.lrx - capture_rect.ulx + 1);
  EXPECT_EQ(h, capture_rect.lry - capture_rect.uly + 1);

  const uint32_t t = get_time();
  tap(t + 100, 0x1C);
  EXPECT_EQ(win_yes_no(text, 150, 30, 260), 1);
  EXPECT_EQ(num_windows, 1);

  std::string tall;
  for (int i = 0; i < kH / text_height(); ++i) tall += "line\n";
  tap(get_time() + 100, 0x1C);
  EXPECT_EQ(win_msg(tall.c_str(), 0, 0, 260), -1);
  EXPECT_EQ(win_yes_no(tall.c_str(), 0, 0, 260), -1);
  EXPECT_EQ(num_windows, 1);
}

TEST_F(Dialogs, MenuOpenedByItsKeyWalkedAndClosed) {
  static const char* const file[] = {"Open", "Save", "", "Quit"};
  static const char* const edit[] = {"Cut", "Copy", "Paste"};
  const int win = win_add(10, 10, 300, 200, 256, 0);
  ASSERT_EQ(win_register_menu_bar(win, 6, 6, 288, text_height() + 6, 260, 258), 0);
  ASSERT_EQ(win_register_menu_bar(win, 6, 6, 288, 10, 260, 258), -1);  // one per window
  ASSERT_EQ(win_register_menu_pulldown(win, 8, "File", 289, 4, file, 260, 257), 0);
  ASSERT_EQ(win_register_menu_pulldown(win, 60, "Edit", 274, 3, edit, 260, 257), 0);
  win_draw(win);
  const auto before = screen();
  // Alt-F, Left (the first: nothing), Down, Down, Right (to Edit), Left (back to File: nothing
  // lit), Down, Down, Down past the separator to "Quit", Up back over it; Enter chooses "Save".
  plat_headless_at_key(t0 + 100, 0x38, 1);
  tap(t0 + 101, 0x21);
  plat_headless_at_key(t0 + 120, 0x38, 0);
  const int walk[] = {0xCB, 0xD0, 0xD0, 0xCD, 0xCB, 0xD0, 0xD0, 0xD0, 0xC8};
  for (int i = 0; i < 9; ++i) tap(t0 + 150 + 100 * uint32_t(i), walk[i]);
  tap(t0 + 1100, 0x1C);
  look_at(t0 + 1060);
  EXPECT_EQ(poll_until(t0 + 1200), (std::vector<int>{289, 1}));
  EXPECT_TRUE(golden_capture("dialog_menu.hex"));
  // Alt-E, Right on the last pull-down (nothing), Escape: nothing chosen.
  plat_headless_at_key(t0 + 1300, 0x38, 1);
  tap(t0 + 1301, 0x12);
  plat_headless_at_key(t0 + 1320, 0x38, 0);
  tap(t0 + 1400, 0xCD);
  tap(t0 + 1500, 0x01);
  look_at(t0 + 1450);
  EXPECT_EQ(poll_until(t0 + 1600), std::vector<int>{});
  EXPECT_EQ(capture_rect.ulx, 10 + 6 + 60);  // still Edit's
  EXPECT_EQ(num_windows, 2);
  EXPECT_TRUE(screen() == before);  // titles shown as they were
  // A click on a title opens it too; a click on an item chooses it.
  const int h = text_height();
  int mx, my;
  mouse_get_position(&mx, &my);
  click_at(t0 + 1700, mx, my, 10 + 6 + 8 + 5, 10 + 6 + 3 + h / 2);
  click_at(t0 + 1900, 10 + 6 + 8 + 5, 10 + 6 + 3 + h / 2, 10 + 6 + 8 + 5, 10 + 6 + h + 6 + 8 + 3 * h + h / 2);
  EXPECT_EQ(poll_until(t0 + 2100), (std::vector<int>{289, 3}));
  win_delete_menu_bar(win);
  EXPECT_EQ(win_register_menu_bar(win, 6, 6, 288, 20, 260, 258), 0);
}

// The window of a menu bar goes while one of its pull-downs is open (a background process deletes
// it): the pull-down closes at once with nothing chosen, and nothing touches the bar that went
// (under the address sanitizer).
int menu_window = -1;
uint32_t menu_window_goes_at = 0;
void delete_menu_window() {
  if (menu_window != -1 && get_time() >= menu_window_goes_at) {
    win_delete(menu_window);
    menu_window = -1;
  }
}

TEST_F(Dialogs, AMenuWhoseWindowGoesWhileOpenCloses) {
  static const char* const file[] = {"Open", "Save", "", "Quit"};
  for (bool whole_window : {true, false}) {
    const uint32_t t = get_time();
    const int win = win_add(10, 10, 300, 200, 256, 0);
    ASSERT_EQ(win_register_menu_bar(win, 6, 6, 288, text_height() + 6, 260, 258), 0);
    ASSERT_EQ(win_register_menu_pulldown(win, 8, "File", 289, 4, file, 260, 257), 0);
    win_draw(win);
    plat_headless_at_key(t + 100, 0x38, 1);  // Alt-F opens "File"
    tap(t + 101, 0x21);
    plat_headless_at_key(t + 120, 0x38, 0);
    tap(t + 200, 0xD0);  // Down: "Open" lit
    tap(t + 400, 0x1C);  // Enter, after the window went: nothing to choose
    menu_window = whole_window ? win : -1;
    menu_window_goes_at = t + 300;
    if (whole_window) {
      add_bk_process(delete_menu_window);
    } else {
      static int bar_window;
      bar_window = win;
      menu_window_goes_at = t + 300;
      add_bk_process([] {
        if (bar_window != -1 && get_time() >= menu_window_goes_at) {
          win_delete_menu_bar(bar_window);
          bar_window = -1;
        }
      });
    }
    EXPECT_EQ(poll_until(t + 600), std::vector<int>{13}) << whole_window;  // the Enter, after the menu ended
    EXPECT_EQ(num_windows, whole_window ? 1 : 2);
    if (!whole_window) win_delete(win);
  }
  remove_bk_process(delete_menu_window);
}

TEST_F(Dialogs, TimedMessagesGoAfterTheirTimeOrWhenClicked) {
  int ids[5];
  Rect places[5];
  const char* texts[5] = {"One", "Two", "Three", "Four", "Five"};
  for (int i = 0; i < 5; ++i) {
    plat_headless_set_time(t0 + 10 * uint32_t(i));
    ASSERT_EQ(win_timed_msg(texts[i], 260), 0);
    ids[i] = window[num_windows - 1]->id;
    win_get_rect(ids[i], &places[i]);
  }
  EXPECT_EQ(win_timed_msg("Six", 260), -1);
  EXPECT_LT(places[0].uly, places[1].uly);
  // A click on the second takes only it away.
  int mx, my;
  mouse_get_position(&mx, &my);
  click_at(t0 + 1000, mx, my, (places[1].ulx + places[1].lrx) / 2, (places[1].uly + places[1].lry) / 2);
  poll_until(t0 + 1200);
  EXPECT_FALSE(VRK_find(ids[1]));
  for (int i : {0, 2, 3, 4}) {
    Rect r;
    ASSERT_EQ(win_get_rect(ids[i], &r), 0) << i;
    EXPECT_EQ(r.uly, places[i].uly);
  }
  // The rest go by the clock: each at exactly 3000 ms after it came.
  for (int i : {0, 2, 3, 4}) {
    plat_headless_set_time(t0 + 10 * uint32_t(i) + 2999);
    VRK_do_bk_process();
    EXPECT_TRUE(VRK_find(ids[i])) << i;
    plat_headless_set_time(t0 + 10 * uint32_t(i) + 3000);
    VRK_do_bk_process();
    EXPECT_FALSE(VRK_find(ids[i])) << i;
  }
  EXPECT_EQ(num_windows, 1);
  EXPECT_TRUE(screen() == painter(kW, kH));
  // A free place again.
  EXPECT_EQ(win_timed_msg("Again", 260), 0);
  win_get_rect(window[num_windows - 1]->id, &places[0]);
  std::vector<uint8_t> px;
  const auto s = screen();
  for (int y = places[0].uly; y <= places[0].lry; ++y)
    px.insert(px.end(), s.begin() + y * kW + places[0].ulx, s.begin() + y * kW + places[0].lrx + 1);
  EXPECT_TRUE(golden_picture("dialog_timed.hex", px.data(), places[0].lrx - places[0].ulx + 1,
                             places[0].lry - places[0].uly + 1, places[0].lrx - places[0].ulx + 1));
}

TEST_F(Dialogs, EntryBoxesAndListKeepToTheirLimits) {
  constexpr int a = 0x1E, b = 0x30, c = 0x2E, d = 0x20, e = 0x12, f = 0x21, x = 0x2D, q = 0x10;
  constexpr int bs = 0x0E, enter = 0x1C, esc = 0x01, up = 0xC8, down = 0xD0, end = 0xCF;
  // At most max characters, whatever is typed.
  char text[6] = "";
  type(t0 + 100, {a, b, c, d, e, f, bs, x, enter});
  EXPECT_EQ(win_get_str(text, 5, "Name", 20, 30), 0);
  EXPECT_STREQ(text, "abcdx");
  // Escape cancels and leaves what was typed.
  char other[6] = "";
  type(get_time() + 50, {q, esc});
  EXPECT_EQ(win_get_str(other, 5, "Name", 20, 30), -1);
  EXPECT_STREQ(other, "q");
  // A number out of range brings a message (the Escape goes to it), then the entry again.
  int value = 50;
  type(get_time() + 50, {bs, bs, 0x02, 0x03, 0x0B, enter, esc, bs, enter});
  EXPECT_EQ(win_get_num_i(&value, 1, 99, 1, "Count", 20, 30), 0);
  EXPECT_EQ(value, 12);
  value = 500;  // moved to the limit first; Down by the step
  type(get_time() + 50, {down, enter});
  EXPECT_EQ(win_get_num_i(&value, 1, 99, 5, "Count", 20, 30), 0);
  EXPECT_EQ(value, 94);
  EXPECT_EQ(win_get_num_i(&value, 10, 9, 1, "Count", 20, 30), -1);
  // The list: a letter jumps, Down moves, End goes to the last, Enter chooses.
  static const char* const fruit[] = {"Apple", "Banana", "Cherry", "Damson", "Elder", "Fig",
                                      "Grape", "Hazel",  "Ivy",    "Jujube", "Kiwi",  "Lime"};
  type(get_time() + 50, {c, down, enter});
  EXPECT_EQ(win_list_select("Fruit", fruit, 12, nullptr, 20, 30, 260), 3);
  type(get_time() + 50, {end, up, enter});
  EXPECT_EQ(win_list_select_at("Fruit", fruit, 12, nullptr, 20, 30, 260, 4), 10);
  type(get_time() + 50, {esc});
  EXPECT_EQ(win_list_select("Fruit", fruit, 12, nullptr, 20, 30, 260), -1);
  EXPECT_EQ(num_windows, 1);
  EXPECT_TRUE(screen() == painter(kW, kH));
}

}  // namespace
