// Buttons of the window system on the headless stage: the state machine walked by mouse steps
// (motion and raw buttons through mouse_simulate_input, auto-repeat on the virtual clock) against
// a table of expected events and looks, with the screen checked against the painter's composition
// after every step; toggles, groups, right button, disabled looks, routines, clicks from the
// program, and the text button's look as a golden picture.
#include <gtest/gtest.h>

#include <vector>

#include "tests/support/golden.h"
#include "tests/vrk_util.h"
#include "vrk/button.h"
#include "vrk/text.h"

using vrk_util::FontArchive;
using vrk_util::painter;

namespace {

constexpr int kW = 160, kH = 120;
// Looks: one colour per image, so the pixel under a button tells which one shows.
constexpr uint8_t kUp = 20, kDown = 21, kHover = 22, kDisabled = 23;
constexpr int kButtonW = 30, kButtonH = 15;

std::vector<int> routine_log;
void log_routine(int id, int code) {
  routine_log.push_back(id);
  routine_log.push_back(code);
}
void log_group(int id) { routine_log.push_back(-100 - id); }

class Buttons : public vrk_util::Stage {
 protected:
  FontArchive fonts{{vrk_util::color_pal_member()}};
  int win = -1;
  uint8_t up[kButtonW * kButtonH], down[kButtonW * kButtonH], hover[kButtonW * kButtonH], off[kButtonW * kButtonH];
  void SetUp() override {
    Stage::SetUp();
    plat_headless_set_time(1000);
    ASSERT_EQ(start(kW, kH), WIN_OK);
    std::fill(std::begin(up), std::end(up), kUp);
    std::fill(std::begin(down), std::end(down), kDown);
    std::fill(std::begin(hover), std::end(hover), kHover);
    std::fill(std::begin(off), std::end(off), kDisabled);
    win = win_add(10, 10, 140, 60, 5, 0);
    win_draw(win);
    mouse_show();  // hot spot at (80, 60)
    routine_log.clear();
  }
  // A button at window x (y 20) with codes 1 enter, 2 exit, 3 press, 4 release (+ 10 * n).
  int add(int x, int flags, int n = 0) {
    return win_register_button(win, x, 20, kButtonW, kButtonH, 1 + 10 * n, 2 + 10 * n, 3 + 10 * n, 4 + 10 * n, up, down,
                               hover, flags);
  }
  // One mouse poll and the state machine's event.
  int step(int dx, int dy, int buttons) {
    mouse_simulate_input(dx, dy, buttons);
    return win_check_all_buttons();
  }
  // The colour at the lower-right corner of the button at window x (away from the cursor).
  uint8_t look(int x) { return screen()[size_t(10 + 20 + kButtonH - 1) * kW + size_t(10 + x + kButtonW - 1)]; }
  // Moves the hot spot to screen (x, y).
  int move_to(int x, int y, int buttons = 0) {
    int mx, my;
    mouse_get_position(&mx, &my);
    return step(x - mx, y - my, buttons);
  }
  // A left click on the button at window x; the events of move, press and release.
  std::vector<int> click(int x, int buttons = 1) {
    std::vector<int> e;
    e.push_back(move_to(10 + x + 5, 35));
    e.push_back(step(0, 0, buttons));
    e.push_back(step(0, 0, 0));
    e.push_back(move_to(80, 60));  // off again
    return e;
  }
};

struct Step {
  int dx, dy, buttons;
  uint32_t advance;  // ms of the virtual clock before the step
  int event;
  uint8_t look;
};

TEST_F(Buttons, PushButtonWalksEveryTransition) {
  add(20, 0);  // screen (30, 30)-(59, 44); the hot spot starts at (80, 60)
  const Step steps[] = {
      {-35, -23, 0, 0, 1, kHover},                             // enter
      {0, 0, 1, 0, 3, kDown},                                  // press
      {0, 0, 1, 100, -1, kDown},                               // held
      {0, 0, 1, 160, 3, kDown},                                // held 250 ms: the press repeats
      {30, 0, 1, 0, 2, kUp},                                   // dragged off: exit
      {-30, 0, 1, 0, 1, kUp},                                  // back on while held: enter
      {0, 0, 0, 0, 4, kHover},                                 // released on it: release
      {0, 0, 1, 0, 3, kDown},                                  // press again
      {30, 0, 1, 0, 2, kUp},                                   // off
      {0, 0, 0, 0, -1, kUp},                                   // released off it: no release code
      {0, 0, 0, 0, -1, kUp},       {-30, 0, 0, 0, 1, kHover},  // enter
      {0, 0, 2, 0, -1, kHover},                                // right press without right-button registration: nothing
      {0, 0, 0, 0, -1, kHover},    {0, 0, 1, 0, 3, kDown},     // press
      {0, 40, 1, 0, 2, kUp},                                   // dragged out of the window: exit
      {0, 0, 0, 0, -1, kUp},                                   // released out there
      {0, -40, 1, 0, -1, kUp},                                 // back in with a new press, made off the button
      {0, 0, 0, 0, -1, kUp},                                   // released on it: not a click of this button
  };
  int n = 0;
  for (const Step& s : steps) {
    plat_headless_advance(s.advance);
    EXPECT_EQ(step(s.dx, s.dy, s.buttons), s.event) << "step " << n;
    EXPECT_EQ(look(20), s.look) << "step " << n;
    ASSERT_TRUE(screen() == painter(kW, kH)) << "step " << n;
    ++n;
  }
}

TEST_F(Buttons, TogglesChangeOnReleaseOrOnPress) {
  const int a = add(0, BUTTON_TOGGLE), b = add(50, BUTTON_TOGGLE | BUTTON_ON_PRESS, 1);
  // Without BUTTON_ON_PRESS: down on the first release, up on the second.
  EXPECT_EQ(click(0), (std::vector<int>{1, -1, 3, 2}));
  EXPECT_EQ(win_button_down(a), 1);
  EXPECT_EQ(look(0), kDown);
  EXPECT_EQ(click(0), (std::vector<int>{1, -1, 4, 2}));
  EXPECT_EQ(win_button_down(a), 0);
  EXPECT_EQ(look(0), kUp);
  // With it: on the press; a held press does not flip it again.
  move_to(65, 35);
  EXPECT_EQ(step(0, 0, 1), 13);
  plat_headless_advance(300);
  EXPECT_EQ(step(0, 0, 1), -1);
  EXPECT_EQ(step(0, 0, 0), -1);
  EXPECT_EQ(win_button_down(b), 1);
  EXPECT_EQ(look(50), kHover);
  EXPECT_EQ(move_to(80, 60), 12);
  EXPECT_EQ(look(50), kDown);
  EXPECT_EQ(move_to(65, 35), 11);
  EXPECT_EQ(step(0, 0, 1), 14);
  EXPECT_EQ(step(0, 0, 0), -1);
  EXPECT_EQ(move_to(80, 60), 12);
  EXPECT_EQ(look(50), kUp);
  // From the program.
  EXPECT_EQ(win_set_button_rest_state(a, 1, 1), 0);
  EXPECT_EQ(look(0), kDown);
  EXPECT_EQ(get_input(), 3);
  EXPECT_TRUE(screen() == painter(kW, kH));
}

TEST_F(Buttons, RadioAndCheckGroups) {
  const int ids[3] = {add(0, BUTTON_TOGGLE, 0), add(35, BUTTON_TOGGLE, 1), add(70, BUTTON_TOGGLE, 2)};
  ASSERT_EQ(win_group_radio_buttons(3, ids), 0);
  win_register_button_func(ids[0], nullptr, nullptr, nullptr, log_routine);
  click(0);
  click(35);
  EXPECT_EQ(win_button_down(ids[0]) * 100 + win_button_down(ids[1]) * 10 + win_button_down(ids[2]), 10);
  EXPECT_EQ(routine_log, (std::vector<int>{ids[0], 4}));  // raised by the group: its release routine
  EXPECT_EQ(look(0), kUp);
  EXPECT_EQ(look(35), kDown);

  // A check group of at most two refuses the third and tells its routine.
  const int more[3] = {add(105, BUTTON_TOGGLE, 3), add(0, BUTTON_TOGGLE, 4), add(35, BUTTON_TOGGLE, 5)};
  routine_log.clear();
  for (int id : more) win_set_button_rest_state(id, 0, 0);
  ASSERT_EQ(win_group_check_buttons(3, more, 2, log_group), 0);
  click(105);
  click(0);
  EXPECT_EQ(click(35), (std::vector<int>{51, -1, -1, 52}));
  EXPECT_EQ(win_button_down(more[0]) + win_button_down(more[1]) + win_button_down(more[2]), 2);
  EXPECT_EQ(win_button_down(more[2]), 0);
  EXPECT_EQ(look(35), kUp);
  EXPECT_EQ(routine_log, (std::vector<int>{-100 - more[2]}));
  // One raised makes room again.
  click(0);
  EXPECT_EQ(click(35), (std::vector<int>{51, -1, 53, 52}));
  EXPECT_TRUE(screen() == painter(kW, kH));
}

TEST_F(Buttons, RoutinesRightButtonDisabledAndProgramClicks) {
  const int a = add(0, 0), b = add(50, BUTTON_ALWAYS_CODE, 1);
  win_register_button_func(a, log_routine, nullptr, log_routine, nullptr);
  win_register_button_func(b, nullptr, nullptr, log_routine, nullptr);
  // Without BUTTON_ALWAYS_CODE the routine takes the code; with it, both.
  EXPECT_EQ(click(0), (std::vector<int>{-1, -1, 4, 2}));
  EXPECT_EQ(click(50), (std::vector<int>{11, 13, 14, 12}));
  EXPECT_EQ(routine_log, (std::vector<int>{a, 1, a, 3, b, 13}));

  // The right button once registered.
  win_register_right_button(a, 7, 8, nullptr, nullptr);
  EXPECT_EQ(click(0, 2), (std::vector<int>{-1, 7, 8, 2}));

  // Disabled: its disabled look and no events.
  win_register_button_disable(b, off, off, off);
  win_disable_button(b);
  EXPECT_EQ(look(50), kDisabled);
  EXPECT_EQ(click(50), (std::vector<int>{-1, -1, -1, -1}));
  EXPECT_EQ(win_button_press_and_release(b), -1);
  win_enable_button(b);
  EXPECT_EQ(look(50), kUp);

  // A click from the program (what Enter on a focused button does): codes queued, routines run.
  routine_log.clear();
  const int c = add(100, 0, 2);
  flush_input_buffer();
  EXPECT_EQ(win_button_press_and_release(c), 0);
  EXPECT_EQ(get_input(), 23);
  EXPECT_EQ(get_input(), 24);
  EXPECT_EQ(win_button_press_and_release(a), 0);
  EXPECT_EQ(get_input(), 4);  // the press went to the routine
  EXPECT_EQ(routine_log, (std::vector<int>{a, 3}));
  EXPECT_EQ(look(100), kUp);

  // Deleting: the button's place shows the window colour, the id is free again.
  EXPECT_EQ(win_delete_button(c), 0);
  win_draw(win);
  EXPECT_EQ(look(100), 5);
  EXPECT_EQ(button_new_id(), c);
  EXPECT_EQ(win_delete_button(c), -1);
  EXPECT_TRUE(screen() == painter(kW, kH));
}

TEST_F(Buttons, MovingStraightIntoAnotherWindowSendsTheExit) {
  add(0, 0);  // window x 0..29 at screen 10..39
  const int other = win_add(10, 70, 60, 40, 6, 0);
  win_draw(other);
  move_to(15, 35);
  EXPECT_EQ(step(0, 40, 0), 2);  // into the window below, in one step
  EXPECT_EQ(look(0), kUp);
}

TEST_F(Buttons, TextButtonLooks) {
  // A toggle, so that the program can show its pressed look.
  const int id = win_register_text_button(win, 8, 8, -1, -1, -1, 27, "Done", BUTTON_TOGGLE);
  ASSERT_NE(id, -1);
  Rect r;
  win_get_rect(win, &r);
  const int bw = text_width("Done") + 16, bh = text_height() + 6;
  std::vector<uint8_t> pics;
  for (int pressed = 0; pressed < 2; ++pressed) {
    win_set_button_rest_state(id, pressed, 0);
    const auto s = screen();
    for (int y = 0; y < bh; ++y) {
      auto row = s.begin() + (r.uly + 8 + y) * kW + r.ulx + 8;
      pics.insert(pics.end(), row, row + bw);
    }
  }
  EXPECT_TRUE(golden_picture("button_text.hex", pics.data(), bw, 2 * bh, bw));
  EXPECT_TRUE(screen() == painter(kW, kH));
}

}  // namespace
