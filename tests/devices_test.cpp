// The keyboard driver and the mouse through the headless timeline and the driver's entries:
// key repeat, layouts, lock keys, dead keys, the key buffer, the cursor's hot spot at the screen
// edges, button events with auto-press, and dragging a window. Only the virtual clock is used.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/vrk_util.h"
#include "vrk/kb.h"
#include "vrk/winmain.h"

using vrk_util::FontArchive;
using vrk_util::painter;

namespace {

constexpr int kW = 96, kH = 64;

class Devices : public vrk_util::Stage {
 protected:
  void SetUp() override {
    Stage::SetUp();
    plat_headless_set_time(1000);
    ASSERT_EQ(start(kW, kH), WIN_OK);
  }
  FontArchive fonts;

  // Mouse readings with no motion at every millisecond of [from, to], carrying the buttons each
  // time holds (so that the timeline always has something due: the program never looks idle).
  static void ticks(uint32_t from, uint32_t to, int (*buttons)(uint32_t) = nullptr) {
    for (uint32_t t = from; t <= to; ++t) plat_headless_at_mouse(t, 0, 0, buttons ? buttons(t) : 0);
  }
  // Calls get_input once per millisecond; `each` sees the time and the code.
  template <typename F>
  static void run(uint32_t from, uint32_t to, F each) {
    for (uint32_t t = from; t <= to; ++t) {
      plat_headless_set_time(t);
      each(t, get_input());
    }
  }
  // The codes a sequence of scan-code bytes gives through the driver's one entry.
  static std::vector<int> type(const std::vector<int>& scans) {
    for (int s : scans) kb_simulate_key(s);
    std::vector<int> out;
    for (int i = 0; i < 100; ++i) {
      int c = kb_getch();
      if (c != -1) out.push_back(c);
    }
    return out;
  }
};

using Codes = std::vector<int>;

// --- keyboard ---

TEST_F(Devices, AHeldKeyRepeatsAfterTheDelayThenAtTheRateAndStopsOnRelease) {
  ticks(1001, 2300);
  plat_headless_at_key(1100, 0x1E, 1);
  plat_headless_at_key(2000, 0x1E, 0);
  std::vector<uint32_t> times;
  run(1001, 2300, [&](uint32_t t, int c) {
    if (c == 'a') times.push_back(t);
    else EXPECT_EQ(c, -1) << t;
  });
  ASSERT_GE(times.size(), 3u);
  EXPECT_EQ(times[0], 1100u);
  EXPECT_EQ(times[1], 1100u + 501);  // the first poll past 500 ms
  for (size_t i = 2; i < times.size(); ++i) EXPECT_EQ(times[i] - times[i - 1], 81u) << i;
  EXPECT_LT(times.back(), 2000u);
  EXPECT_GE(times.back() + 81, 2000u);  // none missed before the release
}

TEST_F(Devices, RepeatDelayAndRateFollowTheirSettings) {
  set_repeat_delay(200);
  set_repeat_rate(30);
  ticks(1001, 1400);
  plat_headless_at_key(1010, 0x30, 1);
  plat_headless_at_key(1300, 0x30, 0);
  std::vector<uint32_t> times;
  run(1001, 1400, [&](uint32_t t, int c) {
    if (c == 'b') times.push_back(t);
  });
  ASSERT_GE(times.size(), 3u);
  EXPECT_EQ(times[1] - times[0], 201u);
  EXPECT_EQ(times[2] - times[1], 31u);
  set_repeat_delay(500);
  set_repeat_rate(80);
}

TEST_F(Devices, EnglishKeysModifiersAndGreyKeys) {
  EXPECT_EQ(type({0x1E, 0x9E}), Codes({'a'}));
  EXPECT_EQ(type({0x2A, 0x1E, 0x9E, 0xAA}), Codes({'A'}));
  EXPECT_EQ(type({0x1D, 0x1E, 0x9E, 0x9D}), Codes({1}));
  EXPECT_EQ(type({0x38, 0x19, 0x99, 0xB8}), Codes({281}));  // Alt-P
  EXPECT_EQ(type({0x38, 0x2E, 0xAE, 0xB8}), Codes({302}));  // Alt-C
  EXPECT_EQ(type({0x3B, 0xBB, 0x01, 0x81, 0x1C, 0x9C, 0x0F, 0x8F}), Codes({315, 27, 13, 9}));
  EXPECT_EQ(type({0xE0, 0x48, 0xE0, 0xC8, 0xE0, 0x50, 0xE0, 0xD0, 0xE0, 0x4B, 0xE0, 0xCB, 0xE0, 0x4D, 0xE0, 0xCD}),
            Codes({328, 336, 331, 333}));
  EXPECT_EQ(type({0x38, 0x4C, 0xCC, 0xB8}), Codes({9999}));  // Alt with keypad 5
  EXPECT_EQ(kb_ascii_to_scan('q'), 0x10);
}

TEST_F(Devices, LockKeysAndTheKeypad) {
  // Caps Lock: letters shift, Shift undoes it; a second press turns it off in layout 0.
  EXPECT_EQ(type({0x3A, 0xBA, 0x1E, 0x9E, 0x2A, 0x1E, 0x9E, 0xAA, 0x02, 0x82}), Codes({'A', 'a', '1'}));
  EXPECT_EQ(type({0x3A, 0xBA, 0x1E, 0x9E}), Codes({'a'}));
  // Num Lock (off, as the system had it at start): keypad 8 is Up, with Num Lock the digit; a
  // disabled keypad gives nothing.
  EXPECT_EQ(type({0x48, 0xC8}), Codes({328}));
  type({0x45, 0xC5});
  EXPECT_EQ(type({0x48, 0xC8}), Codes({'8'}));
  kb_disable_numpad();
  EXPECT_EQ(type({0x48, 0xC8, 0x4E, 0xCE}), Codes({}));
  kb_enable_numpad();
  // In the French layout Caps Lock stays on until a Shift key is pressed.
  kb_set_layout(KB_FRENCH);
  EXPECT_EQ(type({0x3A, 0xBA, 0x10, 0x90, 0x3A, 0xBA, 0x10, 0x90}), Codes({'A', 'A'}));
  EXPECT_EQ(type({0x2A, 0xAA, 0x10, 0x90}), Codes({'a'}));
  kb_set_layout(KB_ENGLISH_US);
}

TEST_F(Devices, TheLockKeysStartAsTheSystemHasThem) {
  win_exit();
  plat_headless_set_lock_keys(KB_CAPS_LOCK);
  ASSERT_EQ(start(kW, kH), WIN_OK);
  EXPECT_EQ(type({0x1E, 0x9E}), Codes({'A'}));
  plat_headless_set_lock_keys(0);
}

TEST_F(Devices, LayoutsAndDeadKeys) {
  kb_set_layout(KB_GERMAN);
  EXPECT_EQ(type({0xE0, 0x38, 0x10, 0x90, 0xE0, 0xB8}), Codes({64}));  // right Alt with Q
  EXPECT_EQ(type({0x15, 0x95, 0x2C, 0xAC}), Codes({'z', 'y'}));
  EXPECT_EQ(type({0x0D, 0x8D, 0x12, 0x92}), Codes({233}));          // acute, e
  EXPECT_EQ(type({0x2A, 0x0D, 0x8D, 0xAA, 0x1E, 0x9E}), Codes({224}));  // grave (Shift on the dead key), a
  EXPECT_EQ(type({0x2A, 0x29, 0xA9, 0xAA}), Codes({176}));          // Shift makes 0x29 no dead key: the degree sign
  kb_set_layout(KB_FRENCH);
  EXPECT_EQ(type({0x1A, 0x9A, 0x12, 0x92}), Codes({234}));          // circumflex, e
  EXPECT_EQ(type({0x1A, 0x9A, 0x2A, 0x12, 0x92, 0xAA}), Codes({202}));  // Shift between: upper case
  EXPECT_EQ(type({0x1A, 0x9A}), Codes({}));                          // waits for the next key
  EXPECT_EQ(type({0x2D, 0xAD}), Codes({136, 'x'}));                  // the accent alone, then x
  EXPECT_EQ(type({0x10, 0x90, 0x02, 0x82}), Codes({'a', '&'}));
  kb_set_layout(KB_SPANISH);
  EXPECT_EQ(type({0x28, 0xA8, 0x18, 0x98}), Codes({243}));
  EXPECT_EQ(type({0x27, 0xA7}), Codes({241}));
  kb_set_layout(KB_ITALIAN);
  EXPECT_EQ(type({0x1A, 0x9A, 0x2A, 0x1A, 0x9A, 0xAA}), Codes({232, 233}));
  kb_set_layout(9);  // not a layout: no change
  EXPECT_EQ(kb_get_layout(), KB_ITALIAN);
  kb_set_layout(KB_ENGLISH_US);
}

TEST_F(Devices, TheKeyBufferHolds63AndControlBreakForgetsEverything) {
  std::vector<int> many;
  for (int i = 0; i < 70; ++i) {
    many.push_back(0x1E);
    many.push_back(0x9E);
  }
  EXPECT_EQ(type(many).size(), 63u);
  // Control-Break drops what was buffered and every held key.
  for (int s : {0x1E, 0x9E, 0x30, 0x1D, 0xE0, 0x46}) kb_simulate_key(s);
  EXPECT_EQ(kb_getch(), -1);
  EXPECT_EQ(type({0x1E, 0x9E}), Codes({'a'}));  // Control is no longer down
}

// --- mouse ---

TEST_F(Devices, TheHotSpotStaysOnTheScreenAndTheImageIsCut) {
  int id = win_add(10, 10, 40, 30, 5, 0);
  win_draw(id);
  mouse_show();
  int x, y;
  mouse_get_position(&x, &y);
  EXPECT_EQ(x, kW / 2 - 1 + 1);  // the image's corner starts at the centre; hot spot (1, 1)
  mouse_simulate_input(1000, 1000, 0);
  mouse_get_position(&x, &y);
  EXPECT_EQ(x, kW - 1);
  EXPECT_EQ(y, kH - 1);
  EXPECT_TRUE(screen() == painter(kW, kH));
  mouse_simulate_input(-2000, -2000, 0);
  mouse_get_position(&x, &y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  Rect r;
  mouse_get_rect(&r);
  EXPECT_EQ(r.ulx, -1);  // the image hangs over the edge
  EXPECT_TRUE(screen() == painter(kW, kH));
  // A new hot spot keeps its screen point; the image shifts.
  mouse_simulate_input(20, 20, 0);
  mouse_get_position(&x, &y);
  mouse_set_hotspot(5, 6);
  int x2, y2;
  mouse_get_position(&x2, &y2);
  EXPECT_EQ(x2, x);
  EXPECT_EQ(y2, y);
  EXPECT_TRUE(screen() == painter(kW, kH));
  mouse_hide();
  EXPECT_TRUE(screen() == painter(kW, kH));
}

int left_held(uint32_t t) { return t >= 1100 && t < 2000 ? 1 : 0; }

TEST_F(Devices, AHeldButtonPressesAgainEvery250Ms) {
  mouse_show();
  ticks(1001, 2100, left_held);
  std::vector<std::pair<uint32_t, int>> events;
  int minus_two = 0;
  run(1001, 2100, [&](uint32_t t, int c) {
    if (c == -2) ++minus_two;
    if (mouse_get_buttons()) events.push_back({t, mouse_get_buttons()});
  });
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front(), std::make_pair(1100u, 0x01));
  std::vector<uint32_t> presses;
  for (auto [t, b] : events) {
    if (t < 2000) {
      EXPECT_TRUE(b == 0x01 || b == 0x04 || b == 0x05) << t << " " << b;
    }
    if (b & 0x01) presses.push_back(t);
  }
  for (size_t i = 1; i < presses.size(); ++i) EXPECT_EQ(presses[i] - presses[i - 1], 250u);
  EXPECT_EQ(presses.size(), 4u);  // 1100, 1350, 1600, 1850
  EXPECT_EQ(events.back(), std::make_pair(2000u, 0x10));  // released once, then nothing
  EXPECT_EQ(minus_two, 5);  // every press and the release reach get_input as -2
}

TEST_F(Devices, BothButtonsAndSensitivity) {
  mouse_show();
  mouse_simulate_input(0, 0, 3);
  EXPECT_EQ(mouse_get_buttons(), 0x03);
  mouse_simulate_input(0, 0, 0);
  EXPECT_EQ(mouse_get_buttons(), 0x30);
  mouse_set_sensitivity(2.0);
  mouse_set_sensitivity(0.0);
  EXPECT_EQ(mouse_get_sensitivity(), 1.0);
  mouse_set_sensitivity(0.5);
  int x0, y0, x1, y1;
  mouse_get_position(&x0, &y0);
  plat_headless_mouse(1, 9, 0);
  mouse_info();
  mouse_get_position(&x1, &y1);
  EXPECT_EQ(x1 - x0, 0);  // a single step is truncated away
  EXPECT_EQ(y1 - y0, 4);
  mouse_set_sensitivity(1.0);
}

TEST_F(Devices, DraggingMovesTheWindowWithTheMouseUntilRelease) {
  int id = win_add(10, 10, 30, 20, 7, WIN_DRAGGABLE);
  win_draw(id);
  mouse_show();
  for (uint32_t t = 1001; t <= 1040; ++t) plat_headless_at_mouse(t, t <= 1015 ? 2 : 0, t <= 1015 ? -1 : 0, t < 1035 ? 1 : 0);
  for (uint32_t t = 1041; t <= 1200; ++t) plat_headless_at_mouse(t, 0, 0, 0);
  plat_headless_mouse(0, 0, 1);  // the left button goes down on the window
  mouse_info();
  win_drag(id);
  Rect r;
  win_get_rect(id, &r);
  EXPECT_EQ(r.ulx, 10 + 30);
  EXPECT_EQ(r.uly, 0);  // kept on the screen
  EXPECT_TRUE(screen() == painter(kW, kH));
}

TEST_F(Devices, AnAnimatedCursorStepsThroughItsFramesOnTheClock) {
  // Three 6 x 6 frames: a hollow square, a filled one, a cross (0 is transparent).
  std::vector<uint8_t> strip(3 * 36, 0);
  for (int i = 0; i < 6; ++i) {
    strip[i] = strip[30 + i] = strip[i * 6] = strip[i * 6 + 5] = 3;
    for (int j = 0; j < 6; ++j) strip[36 + i * 6 + j] = 4;
    strip[72 + i * 6 + i] = strip[72 + i * 6 + 5 - i] = 5;
  }
  int id = win_add(30, 20, 40, 30, 6, 0);
  win_draw(id);
  mouse_show();
  ASSERT_EQ(mouse_set_anim_frames(strip.data(), 3, 0, 6, 6, 2, 2, 0, 100), 0);
  ticks(1001, 1700);
  int frame_changes = 0;
  const uint8_t* last = strip.data();
  run(1001, 1700, [&](uint32_t t, int) {
    const uint8_t* img;
    mouse_get_shape(&img, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    // Frame k is shown from 100 ms x k on.
    EXPECT_EQ(img, strip.data() + 36 * (((t - 1000) / 100) % 3)) << t;
    if (img != last) ++frame_changes;
    last = img;
    if (t % 50 == 0) {
      EXPECT_TRUE(screen() == painter(kW, kH)) << t;
    }
  });
  EXPECT_EQ(frame_changes, 7);
  const uint8_t* strip_out;
  int count, speed;
  EXPECT_EQ(mouse_get_anim(&strip_out, &count, nullptr, nullptr, nullptr, nullptr, nullptr, &speed), 0);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(speed, 100);
  mouse_set_shape(nullptr, 0, 0, 0, 0, 0, 0);  // a still shape ends the animation
  EXPECT_EQ(mouse_get_anim(&strip_out, &count, nullptr, nullptr, nullptr, nullptr, nullptr, &speed), -1);
  EXPECT_TRUE(screen() == painter(kW, kH));
}

}  // namespace
