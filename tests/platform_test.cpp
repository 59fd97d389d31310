// The platform contract: every driver fills its record, presentation once per pass, the
// headless driver's timeline, virtual clock, injected failures and read-back, the guard's name
// space, and the sdl driver's input rules.
#include <gtest/gtest.h>

#include "tests/support/env.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/bmp.h"
#include "platform/driver.h"
#include "platform/drivers_internal.h"
#include "platform/headless.h"
#include "platform/system.h"
#include "vrk/svga.h"
#include "vrk/winmain.h"
#if defined(SETUP_TEST_SDL)
#include "tests/support/sdl_events.h"
#endif

namespace {

// Every slot of plat_driver by name. A slot added to the record but not here fails the size check.
#define PLAT_SLOTS(X)                                                                                   \
  X(set_mode) X(reset_mode) X(lock) X(unlock) X(present) X(set_palette) X(get_palette) X(pixel_format) \
  X(set_title) X(show_cursor) X(message_box) X(pump) X(wait_events) X(input_init) X(input_exit)        \
  X(acquire_keyboard) X(acquire_mouse) X(read_keys) X(flush_keys) X(read_mouse) X(lock_keys)          \
  X(time_ms) X(hook_timer) X(destroy)
#define PLAT_COUNT(slot) +1
static_assert(sizeof(plat_driver) == sizeof(void*) * (1 PLAT_SLOTS(PLAT_COUNT)),
              "plat_driver has a slot this test does not check");

// The headless driver with a 640 x 480 x 8 mode and its devices, the program in the foreground.
class Stage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(plat_driver_select("headless"), 0);
    VRK95_isActive = 1;
    d = plat_driver_get();
    ASSERT_EQ(init_mode_640_480(), 0);
    ASSERT_EQ(d->input_init(), 1);
  }
  void TearDown() override {
    VRK95_reset_mode();
    plat_set_handlers(nullptr);
    plat_driver_shutdown();
  }
  plat_driver* d = nullptr;
};

std::vector<std::string> trace;

void note(const char* what, int a = 0, int b = 0, int c = 0) {
  char line[80];
  std::snprintf(line, sizeof line, "%u %s %d %d %d", unsigned(plat_time_ms()), what, a, b, c);
  trace.push_back(line);
}

}  // namespace

TEST(Contract, EveryDriverInTheTableFillsEverySlot) {
  if (!std::getenv("SDL_VIDEODRIVER")) set_env("SDL_VIDEODRIVER", "dummy");  // no display needed
  plat_driver_shutdown();
  int created = 0;
  for (const plat_driver_entry* e = plat_driver_table(); e->name; ++e) {
    if (e->available() <= 0) continue;
    plat_driver r;
    std::memset(static_cast<void*>(&r), 0, sizeof r);
    ASSERT_EQ(e->create(&r), 0) << e->name;
    ++created;
    EXPECT_STREQ(r.name, e->name);
#define PLAT_CHECK(slot) EXPECT_TRUE(r.slot != nullptr) << e->name << " leaves " #slot " empty";
    PLAT_SLOTS(PLAT_CHECK)
#undef PLAT_CHECK
    if (r.destroy) r.destroy();
  }
  EXPECT_GE(created, 1);
}

// Drawing marks; one pass of the input loop shows everything drawn since the last as one frame.
TEST_F(Stage, DrawingIsShownOncePerPass) {
  plat_headless_rect r{};
  plat_pump();
  plat_headless_take_unlocked(&r);
  const int before = plat_headless_presents(nullptr);
  std::vector<uint8_t> cursor(8 * 8, 7);
  scr_blit(cursor.data(), 8, 8, 0, 0, 8, 8, 100, 100);  // erase at the old place
  scr_blit(cursor.data(), 8, 8, 0, 0, 8, 8, 104, 102);  // draw at the new one
  EXPECT_EQ(plat_headless_presents(nullptr), before);
  ASSERT_EQ(plat_headless_take_unlocked(&r), 1);
  EXPECT_EQ((std::vector{r.ulx, r.uly, r.lrx, r.lry}), (std::vector{100, 100, 111, 109}));
  plat_pump();
  EXPECT_EQ(plat_headless_presents(&r), before + 1);
  EXPECT_EQ((std::vector{r.ulx, r.uly, r.lrx, r.lry}), (std::vector{100, 100, 111, 109}));
  plat_pump();
  plat_wait_events(0);
  EXPECT_EQ(plat_headless_presents(nullptr), before + 1);  // nothing new: no frame
  // A drag loop reads the mouse without pumping; waiting presents as well.
  scr_blit(cursor.data(), 8, 8, 0, 0, 8, 8, 0, 0);
  plat_mouse_state m{};
  plat_read_mouse(&m);
  scr_blit(cursor.data(), 8, 8, 0, 0, 8, 8, 632, 472);
  plat_wait_events(0);
  EXPECT_EQ(plat_headless_presents(&r), before + 3);
  EXPECT_EQ((std::vector{r.ulx, r.uly, r.lrx, r.lry}), (std::vector{632, 472, 639, 479}));
  EXPECT_EQ(plat_headless_take_unlocked(&r), 1);
  EXPECT_EQ((std::vector{r.ulx, r.uly, r.lrx, r.lry}), (std::vector{0, 0, 639, 479}));
}

// A program loop over a timeline sees every event at its time, in order; input while the
// program is in the background is lost; nothing of the machine's own clock shows.
TEST_F(Stage, TimelineReachesTheProgramInOrderAtItsTimes) {
  trace.clear();
  static bool closed;
  closed = false;
  static const plat_handlers h = {
      [](int active) {
        note("focus", active);
        plat_driver_get()->acquire_keyboard(active);
        plat_driver_get()->acquire_mouse(active);
      },
      [](int a, int b, int c, int) { note("paint", a, b, c); }, [] {
        note("close");
        closed = true;
      }};
  plat_set_handlers(&h);
  ASSERT_EQ(d->acquire_keyboard(1), 1);
  ASSERT_EQ(d->acquire_mouse(1), 1);
  plat_headless_set_time(50);
  // Added out of order on purpose: the timeline sorts by time and keeps the order within one.
  plat_headless_at_close(400);
  plat_headless_at_key(100, 0x1E, 1);
  plat_headless_at_mouse(150, 5, -3, 1);
  plat_headless_at_key(100, 0x1E, 0);
  plat_headless_at_focus(200, 0);
  plat_headless_at_key(210, 0x30, 1);      // in the background: lost
  plat_headless_at_mouse(220, 7, 7, 0);    // motion lost, the buttons are what they are
  plat_headless_at_focus(300, 1);
  plat_headless_at_expose(300, 1, 2, 3, 4);
  plat_headless_at_key(310, 0x9C, 1);
  int buttons = 0;
  while (!closed) {
    plat_pump();
    plat_key_event ev;
    while (plat_read_key(&ev)) note("key", ev.code, ev.down);
    plat_mouse_state m{};
    if (plat_read_mouse(&m) && (m.dx || m.dy || (m.left | m.right << 1) != buttons)) {
      buttons = m.left | m.right << 1;
      note("mouse", m.dx, m.dy, buttons);
    }
    plat_wait_events(1000);
  }
  EXPECT_EQ(trace, (std::vector<std::string>{"100 key 30 1 0", "100 key 30 0 0", "150 mouse 5 -3 1",
                                             "200 focus 0 0 0", "300 focus 1 0 0", "300 paint 1 2 3",
                                             "300 mouse 0 0 0", "310 key 156 1 0", "400 close 0 0 0"}));
  EXPECT_EQ(plat_headless_pending(), 0);

  // Reads stop at a focus change the program has not pumped yet: input never overtakes it.
  ASSERT_EQ(plat_headless_active(), 1);
  plat_headless_focus(0);
  plat_headless_key(0x10, 1);
  plat_key_event ev;
  EXPECT_EQ(plat_read_key(&ev), 0);
  EXPECT_EQ(plat_headless_pending(), 2);
  plat_pump();
  EXPECT_EQ(plat_headless_pending(), 0);
  EXPECT_EQ(plat_headless_keyboard_acquired(), 0);
  EXPECT_EQ(plat_read_key(&ev), 0);
}

// The clock moves by the timeline and by waiting, never by being read; a spinning program
// still reaches the next event, and with none left sees time pass.
TEST_F(Stage, VirtualClockMovesByWaitsAndSpins) {
  ASSERT_EQ(d->acquire_keyboard(1), 1);
  plat_headless_set_time(1000);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(plat_time_ms(), 1000u);
  plat_headless_at_key(5000, 0x1E, 1);
  plat_headless_at_key(5003, 0x1E, 0);
  int reads = 0;
  while (plat_time_ms() < 5000) ASSERT_LT(++reads, 1000);
  EXPECT_EQ(plat_time_ms(), 5000u);  // a spin lands on the event, never past it
  plat_key_event ev{};
  ASSERT_EQ(plat_read_key(&ev), 1);
  EXPECT_EQ(ev.down, 1);
  EXPECT_EQ(plat_wait_events(10), 1);  // woken by the next event
  EXPECT_EQ(plat_time_ms(), 5003u);
  ASSERT_EQ(plat_read_key(&ev), 1);
  EXPECT_EQ(ev.down, 0);
  EXPECT_EQ(plat_wait_events(10), 0);  // nothing left: the whole wait
  EXPECT_EQ(plat_time_ms(), 5013u);
  // A drag loop reads only the mouse, without pump or clock: it still sees the button go up.
  ASSERT_EQ(d->acquire_mouse(1), 1);
  plat_headless_mouse(0, 0, 1);
  plat_headless_at_mouse(5500, 2, 0, 0);
  plat_mouse_state m{};
  while (plat_read_mouse(&m) && m.left) ASSERT_LT(++reads, 100000);
  EXPECT_EQ(m.dx, 2);
  EXPECT_EQ(plat_time_ms(), 5500u);
  uint32_t start = plat_time_ms();
  while (plat_time_ms() - start < 5) ASSERT_LT(++reads, 100000);  // nothing left: a spin ends
  plat_headless_advance(7);
  EXPECT_EQ(plat_time_ms(), start + 5 + 7);
}

TEST_F(Stage, InjectedFailuresReachTheCaller) {
  std::vector<uint8_t> px(4, 9);
  plat_headless_fail(PLAT_HEADLESS_FAIL_LOCK);  // a lost surface that cannot be restored
  scr_blit(px.data(), 2, 2, 0, 0, 2, 2, 10, 10);
  plat_headless_rect r{};
  EXPECT_EQ(plat_headless_take_unlocked(&r), 0);
  plat_headless_fail(0);
  EXPECT_EQ(plat_headless_pixels(nullptr, nullptr, nullptr, nullptr)[10 * 640 + 10], 0);
  plat_headless_fail(PLAT_HEADLESS_FAIL_PALETTE_READ);
  int c[3];
  EXPECT_EQ(VRK95_GetPalette(), nullptr);
  EXPECT_EQ(VRK95_GetPaletteEntry(1, &c[0], &c[1], &c[2]), -1);
  plat_headless_fail(PLAT_HEADLESS_FAIL_TIMER | PLAT_HEADLESS_FAIL_KEYBOARD | PLAT_HEADLESS_FAIL_MOUSE);
  EXPECT_EQ(d->hook_timer(1), -1);
  EXPECT_EQ(d->acquire_keyboard(1), 0);
  EXPECT_EQ(d->acquire_mouse(1), 0);
  plat_headless_fail(PLAT_HEADLESS_FAIL_INPUT_INIT);
  d->input_exit();
  EXPECT_EQ(d->input_init(), 0);
  EXPECT_EQ(d->acquire_keyboard(1), 0);  // no devices
  plat_headless_fail(PLAT_HEADLESS_FAIL_SET_MODE);
  EXPECT_EQ(init_mode_800_600(), -1);
  plat_headless_fail(0);
  EXPECT_EQ(init_mode_800_600(), 0);
  EXPECT_EQ(d->hook_timer(1), 0);
  ASSERT_EQ(d->input_init(), 1);
  ASSERT_EQ(d->acquire_mouse(1), 1);

  // A mouse the system took away with the foreground is acquired again by the first read after
  // it comes back; motion in between is lost, the buttons are read as they are.
  plat_headless_focus(0);
  plat_headless_mouse(3, 4, 2);
  plat_pump();
  plat_mouse_state m{};
  EXPECT_EQ(plat_read_mouse(&m), 0);
  plat_headless_focus(1);
  plat_pump();
  ASSERT_EQ(plat_read_mouse(&m), 1);
  EXPECT_EQ((std::vector{m.dx, m.dy, int(m.right)}), (std::vector{0, 0, 1}));
  plat_headless_mouse(1, 2, 0);
  ASSERT_EQ(plat_read_mouse(&m), 1);
  EXPECT_EQ((std::vector{m.dx, m.dy, int(m.right)}), (std::vector{1, 2, 0}));
}

TEST_F(Stage, WhatTheProgramDidReadsBack) {
  plat_headless_set_lock_keys(2 | 4);
  EXPECT_EQ(d->lock_keys(), 6);
  plat_show_cursor(0);
  EXPECT_EQ(plat_headless_cursor_shown(), 0);
  VRKSystemError("Cannot find install.dat.");
  EXPECT_EQ(plat_headless_cursor_shown(), 1);
  EXPECT_STREQ(plat_headless_message(), "Cannot find install.dat.");

  // A hi-colour screen dumps as 24 bits per pixel, each channel widened to 8 bits.
  ASSERT_EQ(init_mode_640_480_hi(), 0);
  VRK95_SetPaletteEntry(5, 63, 0, 0);
  VRK95_SetPaletteEntry(6, 0, 63, 31);
  const uint8_t src[2] = {5, 6};
  scr_blit(src, 2, 1, 0, 0, 2, 1, 0, 0);
  auto path = std::filesystem::temp_directory_path() / "platform_test_16.bmp";
  ASSERT_EQ(plat_headless_dump(path.string().c_str()), 0);
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  std::filesystem::remove(path);
  ASSERT_EQ(bytes.size(), 54u + 640u * 3u * 480u);
  EXPECT_EQ(bytes[28], 24);                          // bits per pixel
  const size_t top = 54 + size_t(479) * 640 * 3;     // rows are stored bottom-up: row 0 is last
  EXPECT_EQ((std::vector<int>(bytes.begin() + top, bytes.begin() + top + 6)),
            (std::vector<int>{0, 0, 255, 123, 255, 0}));  // blue, green, red; 31 of 63 -> 15 of 31 -> 123
}

TEST(Guard, NameSpacesKeepParallelRunsApart) {
  const char* saved = std::getenv("VRK_GUARD_NS");
  std::string keep = saved ? saved : "";
  char name[64];
  set_env("VRK_GUARD_NS", "runA");
  EXPECT_EQ(plat_guard_name("VRK95MUTEX", name, sizeof name), 15);
  EXPECT_STREQ(name, "runA_VRK95MUTEX");
  EXPECT_EQ(plat_guard_name("VRK95MUTEX", name, 15), -1);
  intptr_t a = -1, b = -1, again = -1;
  ASSERT_EQ(plat_guard_acquire("guard_test", &a), 1);
  set_env("VRK_GUARD_NS", "runB");
  EXPECT_EQ(plat_guard_acquire("guard_test", &b), 1);  // another name space: no collision
  set_env("VRK_GUARD_NS", "runA");
  EXPECT_EQ(plat_guard_acquire("guard_test", &again), 0);
  plat_guard_release(a);
  plat_guard_release(b);
  set_env("VRK_GUARD_NS", saved ? keep.c_str() : nullptr);
}

#if defined(SETUP_TEST_SDL)
// The sdl driver's reads bring the devices up to date themselves, drop the system's key repeat
// and whatever comes while a device is not acquired, and turn window pixels into screen pixels.
TEST(SdlInput, ReadsRefreshDropRepeatsAndUnacquiredInput) {
  if (!std::getenv("SDL_VIDEODRIVER")) set_env("SDL_VIDEODRIVER", "dummy");
  set_env("VRK_SCALE", "2");
  if (plat_driver_select("sdl") != 0) GTEST_SKIP() << "SDL video cannot start here";
  plat_driver* d = plat_driver_get();
  ASSERT_EQ(init_mode_640_480(), 0);
  ASSERT_EQ(d->input_init(), 1);
  plat_flush_keys();
  ASSERT_EQ(test_sdl_key(4, 1, 0), 1);  // A, before the keyboard is acquired: lost
  ASSERT_EQ(d->acquire_keyboard(1), 1);
  ASSERT_EQ(d->acquire_mouse(1), 1);
  plat_mouse_state m{};
  plat_read_mouse(&m);
  ASSERT_EQ(test_sdl_key(5, 1, 0), 1);  // B down, three repeats, up
  for (int i = 0; i < 3; ++i) test_sdl_key(5, 1, 1);
  ASSERT_EQ(test_sdl_key(5, 0, 0), 1);
  ASSERT_EQ(test_sdl_pointer(650, 474), 1);  // screen (325, 237), then (326, 238)
  ASSERT_EQ(test_sdl_pointer(653, 477), 1);
  EXPECT_EQ(plat_wait_events(60000), 1);  // something is waiting: no sleep
  std::vector<int> keys;
  plat_key_event ev;
  while (plat_read_key(&ev)) keys.push_back(ev.code << 1 | ev.down);  // no pump in between
  EXPECT_EQ(keys, (std::vector<int>{0x30 << 1 | 1, 0x30 << 1}));
  ASSERT_EQ(plat_read_mouse(&m), 1);
  EXPECT_EQ((std::vector{m.dx, m.dy}), (std::vector{6, -2}));  // from the screen's centre
  ASSERT_EQ(d->acquire_mouse(0), 1);
  test_sdl_pointer(80, 80);
  EXPECT_EQ(plat_read_mouse(&m), 0);
  ASSERT_EQ(d->acquire_mouse(1), 1);
  ASSERT_EQ(plat_read_mouse(&m), 1);
  EXPECT_EQ((std::vector{m.dx, m.dy}), (std::vector{0, 0}));
  VRK95_reset_mode();
  plat_driver_shutdown();
}

// The pointer's absolute place moves the cursor (tablets, remote desktops, synthetic motion give
// no relative motion): each read hands on the motion from where the cursor is to the screen pixel
// under the pointer, kept on the screen. A press and release between two reads is a click.
TEST(SdlInput, AbsolutePointerMovesTheCursorAndATapBetweenReadsIsAClick) {
  if (!std::getenv("SDL_VIDEODRIVER")) set_env("SDL_VIDEODRIVER", "dummy");
  set_env("VRK_SCALE", "2");
  if (plat_driver_select("sdl") != 0) GTEST_SKIP() << "SDL video cannot start here";
  plat_driver* d = plat_driver_get();
  ASSERT_EQ(init_mode_640_480(), 0);
  ASSERT_EQ(d->input_init(), 1);
  ASSERT_EQ(d->acquire_mouse(1), 1);
  plat_mouse_state m{};
  int x = 320, y = 240;  // where the window system starts its cursor
  auto read = [&] {
    m = {};
    EXPECT_EQ(plat_read_mouse(&m), 1);
    x += m.dx;
    y += m.dy;
  };
  ASSERT_EQ(test_sdl_pointer(201, 99), 1);
  read();
  EXPECT_EQ((std::vector{x, y}), (std::vector{100, 49}));
  ASSERT_EQ(test_sdl_pointer(5000, -300), 1);  // beyond the window: the nearest screen pixel
  read();
  EXPECT_EQ((std::vector{x, y}), (std::vector{639, 0}));
  ASSERT_EQ(test_sdl_button(1, 1, 40, 60), 1);  // tap at (20, 30)
  ASSERT_EQ(test_sdl_button(1, 0, 40, 60), 1);
  read();
  EXPECT_EQ((std::vector{x, y, int(m.left), int(m.right)}), (std::vector{20, 30, 1, 0}));
  read();
  EXPECT_EQ((std::vector{x, y, int(m.left), int(m.right)}), (std::vector{20, 30, 0, 0}));
  ASSERT_EQ(test_sdl_button(3, 1, 40, 60), 1);  // right held over two reads
  read();
  EXPECT_EQ(int(m.right), 1);
  read();
  EXPECT_EQ(int(m.right), 1);
  ASSERT_EQ(test_sdl_button(3, 0, 40, 60), 1);
  read();
  EXPECT_EQ(int(m.right), 0);
  // Lost while not acquired, and the cursor goes where the pointer is at the next motion.
  ASSERT_EQ(d->acquire_mouse(0), 1);
  test_sdl_pointer(600, 400);
  test_sdl_button(1, 1, 600, 400);
  test_sdl_button(1, 0, 600, 400);
  ASSERT_EQ(d->acquire_mouse(1), 1);
  read();
  EXPECT_EQ((std::vector{m.dx, m.dy, int(m.left)}), (std::vector{0, 0, 0}));
  ASSERT_EQ(test_sdl_pointer(602, 402), 1);
  read();
  EXPECT_EQ((std::vector{x, y}), (std::vector{301, 201}));
  VRK95_reset_mode();
  plat_driver_shutdown();
}

// A display is named but SDL cannot reach it: the sdl driver is not available and the default
// choice fails (the program says so and ends) instead of running with no window, in SDL's
// off-screen video or on the memory driver.
TEST(SdlDriver, ANamedDisplayThatCannotBeReachedIsAClearFailure) {
  const char* names[] = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "VRK_VIDEO"};
  std::vector<std::string> saved;
  std::vector<bool> had;
  for (const char* n : names) {
    const char* v = std::getenv(n);
    had.push_back(v != nullptr);
    saved.push_back(v ? v : "");
  }
  plat_driver_shutdown();
  set_env("DISPLAY", ":4093");  // no such server
  set_env("WAYLAND_DISPLAY", nullptr);
  set_env("SDL_VIDEODRIVER", nullptr);
  set_env("VRK_VIDEO", nullptr);
  EXPECT_EQ(plat_sdl_available(), -1);
  EXPECT_EQ(plat_driver_choice(), nullptr);
  EXPECT_EQ(plat_driver_select(nullptr), -1);
  for (size_t i = 0; i < saved.size(); ++i) set_env(names[i], had[i] ? saved[i].c_str() : nullptr);
  plat_driver_shutdown();
}
#endif
