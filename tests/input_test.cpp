// Input through the headless timeline: the queue, background processes, the clock, the pause and
// dump keys, focus changes, the keyboard driver with its layouts, lock keys and key repeat, and
// the mouse with its cursor, button events and dragging. Only the virtual clock is used.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/files.h"
#include "tests/vrk_util.h"
#include "vrk/kb.h"
#include "vrk/winmain.h"

using vrk_util::FontArchive;
using vrk_util::painter;

namespace {

void on_paint(int ulx, int uly, int lrx, int lry) {
  Rect r = {ulx, uly, lrx, lry};
  VRK95_paint(&r);
}
// The driver's calls into the window system, as the program entry registers them.
const plat_handlers kHandlers = {VRK95_activate, on_paint, VRK95_close};

constexpr int kW = 160, kH = 120;

class Input : public vrk_util::Stage {
 protected:
  void SetUp() override {
    Stage::SetUp();
    plat_set_handlers(&kHandlers);
    plat_headless_set_time(1000);
    ASSERT_EQ(start(kW, kH), WIN_OK);
  }
  void TearDown() override {
    Stage::TearDown();
    plat_set_handlers(nullptr);
  }
  FontArchive fonts;
  // A key pressed at t and released at t + 10 (DirectInput codes).
  static void tap(uint32_t t, int code) {
    plat_headless_at_key(t, code, 1);
    plat_headless_at_key(t + 10, code, 0);
  }
  // Polls get_input at every millisecond from `from` to `to`; the codes with their times.
  static std::vector<std::pair<uint32_t, int>> poll(uint32_t from, uint32_t to) {
    std::vector<std::pair<uint32_t, int>> got;
    for (uint32_t t = from; t <= to; ++t) {
      if (t < get_time()) continue;  // a wait inside get_input moved the clock on
      plat_headless_set_time(t);
      int c = get_input();
      if (c != -1) got.push_back({t, c});
    }
    return got;
  }
  // The codes a sequence of scan codes (one make or break byte each) gives through the driver.
  static std::vector<int> type(const std::vector<int>& scans) {
    for (int s : scans) kb_simulate_key(s);
    std::vector<int> out;
    for (int c; (c = kb_getch()) != -1 || false;) out.push_back(c);
    return out;
  }
};

// --- the queue and background processes ---

TEST_F(Input, QueueHoldsFortyCodesInOrder) {
  EXPECT_EQ(get_input(), -1);
  for (int i = 0; i < 41; ++i) VRK_add_input_buffer(500 + i);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(get_input(), 500 + i);
  EXPECT_EQ(get_input(), -1);  // the 41st was dropped
  VRK_add_input_buffer(7);
  flush_input_buffer();
  EXPECT_EQ(get_input(), -1);
}

int calls = 0;
bool remove_self = false;
void counting_process() {
  ++calls;
  if (remove_self) remove_bk_process(counting_process);
}

TEST_F(Input, BackgroundProcessesRemovedFromTheirOwnRunStopAndCanBeRevived) {
  calls = 0;
  remove_self = true;
  add_bk_process(counting_process);
  VRK_do_bk_process();
  VRK_do_bk_process();
  EXPECT_EQ(calls, 1);
  remove_self = false;
  add_bk_process(counting_process);  // revived before its node was freed? (it was: added anew)
  VRK_do_bk_process();
  EXPECT_EQ(calls, 2);
  disable_bk();
  get_input();
  EXPECT_EQ(calls, 2);
  enable_bk();
  get_input();
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(get_bk_time(), get_time());
  remove_bk_process(counting_process);
  add_bk_process(counting_process);  // revives the same node
  VRK_do_bk_process();
  EXPECT_EQ(calls, 4);
  remove_bk_process(counting_process);
}

TEST_F(Input, ClockWrapReadsAsAVeryLongTime) {
  EXPECT_EQ(elapsed_tocks(1500, 1000), 500);
  EXPECT_EQ(elapsed_tocks(1000, 1500), 0x7FFFFFFF);
  EXPECT_EQ(elapsed_time(get_time() + 5), 0x7FFFFFFF);
  EXPECT_EQ(elapsed_tocks(0x10u, 0xFFFFFFF0u), 0x7FFFFFFF);
}

TEST_F(Input, WaitsMoveTheClockByExactlyTheirTimeAndPauseCollectsInput) {
  const uint32_t t0 = get_time();
  block_for_tocks(250);
  EXPECT_EQ(get_time(), t0 + 250);
  tap(t0 + 300, 0x1E);  // 'a' while pause_for_tocks waits
  pause_for_tocks(200);
  EXPECT_GE(get_time(), t0 + 450);
  EXPECT_LE(get_time(), t0 + 460);
  EXPECT_EQ(get_input(), 'a');
}

// --- pause and dump keys ---

uint32_t last_bk_run = 0;
void note_run() { last_bk_run = get_time(); }

TEST_F(Input, AltPShowsThePauseWindowUntilEscape) {
  add_bk_process(note_run);
  const int before = num_windows;
  set_idle_func(nullptr);
  // Alt-P at 1100, 'x' at 1200 (swallowed), Escape at 1300, 'y' at 1400.
  plat_headless_at_key(1100, 0x38, 1);
  tap(1101, 0x19);
  plat_headless_at_key(1120, 0x38, 0);
  tap(1200, 0x2D);
  tap(1300, 0x01);
  tap(1400, 0x15);
  std::vector<int> codes;
  for (uint32_t t = 1001; t < 1500; ++t) {
    plat_headless_set_time(t > get_time() ? t : get_time());
    int c = get_input();
    if (c != -1) codes.push_back(c);
  }
  // The pause ran inside one get_input call; nothing but the 'y' after it came through.
  EXPECT_EQ(codes, std::vector<int>({'y'}));
  EXPECT_EQ(num_windows, before);
  EXPECT_TRUE(last_bk_run < 1101 || last_bk_run >= 1300);
  EXPECT_TRUE(screen() == painter(kW, kH));
  remove_bk_process(note_run);
}

int pause_windows_seen = 0;
int spy_pause_window() {
  int id = default_pause_window();
  pause_windows_seen = num_windows;
  return id;
}

TEST_F(Input, ThePauseWindowIsOnTopAndModal) {
  register_pause(INPUT_PAUSE_KEY, spy_pause_window);
  tap(1100, 0x01);  // Escape ends the pause
  VRK_add_input_buffer(INPUT_PAUSE_KEY);
  EXPECT_EQ(pause_windows_seen, 2);
  EXPECT_EQ(num_windows, 1);
  register_pause(INPUT_PAUSE_KEY, nullptr);
}

TEST_F(Input, AltCWritesTheNextFreeDumpWithTheScreen) {
  TempDir dir("dump");
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir.path);
  write_whole_file(dir.path / "scr00000.bmp", "x");
  write_whole_file(dir.path / "scr00001.bmp", "x");
  int id = win_add(5, 5, 20, 10, 9, 0);
  win_draw(id);
  mouse_show();
  // Alt-C through the keyboard.
  plat_headless_at_key(1010, 0x38, 1);
  tap(1011, 0x2E);
  plat_headless_at_key(1030, 0x38, 0);
  poll(1001, 1100);
  std::filesystem::current_path(old);
  const std::string bmp = read_whole_file(dir.path / "scr00002.bmp");
  ASSERT_EQ(bmp.size(), size_t(kW) * kH + 1078u);
  const auto want = painter(kW, kH);
  for (int y = 0; y < kH; ++y)
    ASSERT_EQ(std::memcmp(bmp.data() + 1078 + (kH - 1 - y) * kW, want.data() + y * kW, kW), 0) << "row " << y;
  EXPECT_FALSE(std::filesystem::exists(dir.path / "scr00003.bmp"));
}

// --- focus ---

std::vector<int> focus_calls;
int idle_saw_keyboard = -1;
void on_focus(int gained) { focus_calls.push_back(gained); }
// While the program is away, something else draws over its screen.
void on_idle() {
  idle_saw_keyboard = plat_headless_keyboard_acquired() + plat_headless_mouse_acquired();
  int w, h, pitch, bpp;
  auto* fb = const_cast<uint8_t*>(plat_headless_pixels(&w, &h, &pitch, &bpp));
  std::memset(fb, 77, size_t(pitch) * size_t(h));
}

// Closing the program's window reaches the program as Escape where it polls for input, through
// the handlers the program entry registers, and the program goes on (the process used to end at
// once, in the middle of whatever it was doing).
TEST_F(Input, ClosingTheWindowIsEscapeWhereTheProgramPolls) {
  static bool registered;
  static std::vector<int> codes;
  registered = false;
  codes.clear();
  VRK95_WinMain("", 1, [](int, char**) {
    // Without a close handler the driver would end this process: nothing is closed then.
    registered = plat_get_handlers()->close != nullptr;
    if (!registered) return 0;
    plat_headless_at_close(1100);
    tap(1200, 0x1E);
    for (const auto& [t, c] : poll(1001, 1300)) codes.push_back(c);
    return 0;
  });
  EXPECT_TRUE(registered);
  EXPECT_EQ(codes, (std::vector<int>{27, 'a'}));
}

// The system refuses the mouse (and keyboard) to a program started behind another: the window
// system starts all the same, and takes both when the program is activated.
TEST_F(Input, DevicesRefusedAtStartAreTakenOnActivation) {
  win_exit();
  plat_headless_fail(PLAT_HEADLESS_FAIL_MOUSE | PLAT_HEADLESS_FAIL_KEYBOARD);
  ASSERT_EQ(start(kW, kH), WIN_OK);
  EXPECT_EQ(mouse_query_exist(), 1);
  EXPECT_EQ(plat_headless_mouse_acquired(), 0);
  plat_headless_fail(0);
  mouse_show();
  int x0, y0;
  mouse_get_position(&x0, &y0);
  plat_headless_at_focus(1100, 0);
  plat_headless_at_focus(1200, 1);
  plat_headless_at_mouse(1300, 5, 7, 1);
  plat_headless_at_mouse(1310, 0, 0, 0);
  tap(1400, 0x30);
  auto got = poll(1001, 1500);
  EXPECT_EQ(plat_headless_mouse_acquired(), 1);
  EXPECT_EQ(plat_headless_keyboard_acquired(), 1);
  int x, y;
  mouse_get_position(&x, &y);
  EXPECT_EQ(x - x0, 5);
  EXPECT_EQ(y - y0, 7);
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.back().second, 'b');
}

// A held lock key toggles its lock once, however long it repeats; and a lock toggled in another
// program while this one was in the background is taken as the system has it on return.
TEST_F(Input, AHeldLockKeyTogglesOnceAndTheLocksFollowTheSystemOnReturn) {
  plat_headless_at_key(1100, 0x3A, 1);  // Caps Lock held through the repeat delay and four repeats
  plat_headless_at_key(1900, 0x3A, 0);
  tap(1950, 0x1E);
  plat_headless_at_key(2000, 0x45, 1);  // Num Lock held the same
  plat_headless_at_key(2800, 0x45, 0);
  tap(2850, 0x48);  // keypad 8
  auto got = poll(1001, 2900);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].second, 'A');
  EXPECT_EQ(got[1].second, '8');
  // Away, the user turns Caps Lock off and leaves Num Lock on.
  plat_headless_at_focus(3000, 0);
  plat_headless_at_focus(3100, 1);
  plat_headless_set_lock_keys(KB_NUM_LOCK);
  tap(3200, 0x1E);
  tap(3300, 0x48);
  got = poll(2901, 3400);
  plat_headless_set_lock_keys(0);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].second, 'a');
  EXPECT_EQ(got[1].second, '8');
  plat_headless_at_focus(3500, 0);  // and now both off
  plat_headless_at_focus(3600, 1);
  tap(3700, 0x48);
  got = poll(3401, 3800);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].second, 328);  // Up
}

TEST_F(Input, FocusLossParksReleasesTheDevicesAndRepaintsOnReturn) {
  int id = win_add(10, 10, 30, 20, 12, 0);
  win_draw(id);
  focus_calls.clear();
  set_focus_func(on_focus);
  set_idle_func(on_idle);
  plat_headless_at_focus(1100, 0);
  tap(1200, 0x1E);  // typed while in the background: lost
  plat_headless_at_focus(1300, 1);
  tap(1400, 0x30);
  idle_saw_keyboard = -1;
  auto got = poll(1001, 1500);
  EXPECT_EQ(focus_calls, std::vector<int>({0, 1}));
  EXPECT_EQ(idle_saw_keyboard, 0);
  EXPECT_EQ(plat_headless_keyboard_acquired(), 1);
  EXPECT_EQ(plat_headless_mouse_acquired(), 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].second, 'b');
  EXPECT_TRUE(screen() == painter(kW, kH));
  set_focus_func(nullptr);
  set_idle_func(nullptr);
}

}  // namespace
