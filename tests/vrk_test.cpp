// The window stack and its refresh: random sequences of window operations against a painter's
// composition of the stack, the rectangle lists, start-up errors and the window table's limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/system.h"
#include "tests/vrk_util.h"
#include "vrk/grbuf.h"
#include "vrk/rect.h"
#include "vrk/text.h"
#include "vrk/winmain.h"

using vrk_util::FontArchive;
using vrk_util::painter;
using vrk_util::Stage;

namespace {

// --- the oracle ---

// The model's view of one window: id and flags the test gave it.
struct ModelWin {
  int id;
  int flags;
};

// Where the model puts a new window: on top, or just below the windows kept on top.
void model_add(std::vector<ModelWin>& z, ModelWin m) {
  if (m.flags & WIN_ON_TOP) {
    z.push_back(m);
    return;
  }
  size_t pos = z.size();
  while (pos > 1 && (z[pos - 1].flags & WIN_ON_TOP)) --pos;
  z.insert(z.begin() + long(pos), m);
}

void model_raise(std::vector<ModelWin>& z, size_t pos) {
  if (z[pos].flags & WIN_NO_RAISE) return;
  while (pos + 1 < z.size() && ((z[pos].flags & WIN_ON_TOP) || !(z[pos + 1].flags & WIN_ON_TOP))) {
    std::swap(z[pos], z[pos + 1]);
    ++pos;
  }
}

std::string describe(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want, int w) {
  for (size_t i = 0; i < got.size(); ++i)
    if (got[i] != want[i])
      return "first difference at (" + std::to_string(int(i) % w) + ", " + std::to_string(int(i) / w) +
             "): screen " + std::to_string(got[i]) + ", composition " + std::to_string(want[i]);
  return "sizes differ";
}

class Refresh : public Stage {};

int mode_hi() { return VRK95_init_mode_ex(40, 32, 16); }

// After every operation of a random sequence the screen is the painter's composition of the
// window stack, and the table's z-order is the model's.
TEST_F(Refresh, RandomSequencesMatchThePaintersComposition) {
  FontArchive fonts;
  constexpr int kW = 40, kH = 32;
  for (uint32_t seed = 1; seed <= 1200; ++seed) {
    std::mt19937 rng(seed);
    auto rnd = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const bool buffered = seed % 2 == 0;
    ASSERT_EQ(start(kW, kH, buffered ? WIN_INIT_BUFFER : 0), 0) << "seed " << seed;
    win_buffering(buffered);
    win_refresh_all(&scr_size);
    std::vector<ModelWin> z = {{0, 0}};
    for (int step = 0; step < 24; ++step) {
      int op = rnd(0, 11);
      int n = int(z.size());
      int pick = n > 1 ? rnd(1, n - 1) : 0;
      int id = z[size_t(pick)].id;
      std::string what;
      if (op <= 2 || n == 1) {
        int flags = 0;
        if (rnd(0, 4) == 0) flags |= WIN_ON_TOP;
        if (rnd(0, 5) == 0) flags |= WIN_NO_RAISE;
        if (rnd(0, 2) == 0) flags |= WIN_TRANSPARENT;
        if (rnd(0, 5) == 0) flags |= WIN_ALIGN4;
        int nid = win_add(rnd(-4, kW), rnd(-4, kH), rnd(1, 20), rnd(1, 16), rnd(0, 7), flags);
        ASSERT_NE(nid, -1);
        // Pixels of value 0 make the transparent ones see-through.
        win_fill(nid, rnd(0, 6), rnd(0, 6), rnd(0, 8), rnd(0, 8), 0);
        model_add(z, {nid, flags});
        win_draw(nid);
        what = "add";
      } else if (op == 3) {
        win_delete(id);
        z.erase(z.begin() + pick);
        what = "delete";
      } else if (op == 4) {
        win_move(id, rnd(-8, kW), rnd(-8, kH));
        what = "move";
      } else if (op == 5) {
        win_show(id);
        z[size_t(pick)].flags &= ~WIN_HIDDEN;
        if (pick + 1 < n) model_raise(z, size_t(pick));
        what = "show";
      } else if (op == 6) {
        win_hide(id);
        z[size_t(pick)].flags |= WIN_HIDDEN;
        what = "hide";
      } else if (op == 7) {
        int x = rnd(0, 12), y = rnd(0, 10), w = rnd(1, 10), h = rnd(1, 10);
        win_fill(id, x, y, w, h, rnd(0, 9));
        Rect r = {x, y, x + w - 1, y + h - 1};
        if (rnd(0, 1)) {
          win_draw_rect(id, &r);
        } else {
          win_line(id, rnd(0, 4), rnd(0, 4), rnd(0, 4), rnd(0, 4), rnd(1, 9));
          win_box(id, rnd(0, 6), rnd(0, 6), rnd(0, 6), rnd(0, 6), rnd(1, 9));
          win_draw(id);
        }
        what = "draw";
      } else if (op == 8) {
        Rect r = {rnd(-5, kW), rnd(-5, kH), 0, 0};
        r.lrx = r.ulx + rnd(0, 20);
        r.lry = r.uly + rnd(0, 20);
        win_refresh_all(&r);
        what = "refresh";
      } else if (op == 9) {
        win_set_bk_color(rnd(0, 9));
        what = "background";
      } else if (op == 10) {
        if (mouse_hidden()) mouse_show();
        else mouse_hide();
        what = "cursor";
      } else {
        mouse_show();
        mouse_simulate_input(rnd(-30, 30), rnd(-30, 30), 0);
        what = "cursor motion";
      }
      // The table's order is the model's.
      ASSERT_EQ(num_windows, int(z.size())) << "seed " << seed << " step " << step << " " << what;
      for (int i = 0; i < num_windows; ++i)
        ASSERT_EQ(window[i]->id, z[size_t(i)].id) << "seed " << seed << " step " << step << " " << what;
      // A window never leaves the screen.
      for (int i = 1; i < num_windows; ++i) {
        const Rect& r = window[i]->rect;
        ASSERT_TRUE(r.ulx >= 0 && r.uly >= 0 && r.lrx < kW && r.lry < kH) << "seed " << seed;
        if (window[i]->flags & WIN_ALIGN4) {
          ASSERT_EQ(r.ulx % 4, 0) << "seed " << seed;
        }
      }
      auto want = painter(kW, kH);
      auto got = screen();
      ASSERT_TRUE(got == want) << "seed " << seed << " step " << step << " after " << what << ": "
                               << describe(got, want, kW);
    }
    win_exit();
  }
}

// In the 16-bit mode every screen pixel is the palette's 16-bit pixel of the composition, the
// cursor drawn straight onto the screen included.
TEST_F(Refresh, SixteenBitScreensShowTheSameComposition) {
  FontArchive fonts;
  constexpr int kW = 40, kH = 32;
  for (uint32_t seed = 1; seed <= 150; ++seed) {
    std::mt19937 rng(seed);
    auto rnd = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    win_set_minimized_title("vrk test");
    ASSERT_EQ(win_init(mode_hi, nullptr, WIN_INIT_BUFFER), 0);
    win_buffering(seed % 2);
    win_refresh_all(&scr_size);
    std::vector<int> ids;
    for (int step = 0; step < 16; ++step) {
      int op = rnd(0, 5);
      if (op <= 1 || ids.empty()) {
        int id = win_add(rnd(0, kW), rnd(0, kH), rnd(1, 16), rnd(1, 12), rnd(0, 20), rnd(0, 1) ? WIN_TRANSPARENT : 0);
        win_fill(id, rnd(0, 4), rnd(0, 4), rnd(0, 6), rnd(0, 6), 0);
        win_draw(id);
        ids.push_back(id);
      } else if (op == 2) {
        win_move(ids[size_t(rnd(0, int(ids.size()) - 1))], rnd(0, kW), rnd(0, kH));
      } else if (op == 3) {
        mouse_show();
        mouse_simulate_input(rnd(-20, 20), rnd(-20, 20), 0);
      } else if (op == 4) {
        if (mouse_hidden()) mouse_show();
        else mouse_hide();
      } else {
        win_set_bk_color(rnd(0, 20));
      }
      int w, h, pitch, bpp;
      const uint8_t* fb = plat_headless_pixels(&w, &h, &pitch, &bpp);
      ASSERT_EQ(bpp, 16);
      auto want = painter(kW, kH);
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
          uint16_t got;
          std::memcpy(&got, fb + size_t(y) * size_t(pitch) + size_t(x) * 2, 2);
          ASSERT_EQ(got, VRK95_Pal16[want[size_t(y) * kW + size_t(x)]]) << "seed " << seed << " step " << step << " at " << x << "," << y;
        }
    }
    win_exit();
  }
}

// --- rectangle lists ---

std::vector<Rect> to_vector(RectNode* list) {
  std::vector<Rect> v;
  for (; list; list = list->next) v.push_back(list->rect);
  return v;
}

bool same(const Rect& a, const Rect& b) { return a.ulx == b.ulx && a.uly == b.uly && a.lrx == b.lrx && a.lry == b.lry; }

TEST(RectList, ClipExampleLeavesFourBandsInOrder) {
  RectNode* list = rect_malloc();
  ASSERT_NE(list, nullptr);
  list->rect = {0, 0, 9, 9};
  Rect c = {3, 3, 5, 5};
  rect_clip_list(&list, &c);
  auto v = to_vector(list);
  const Rect want[] = {{0, 0, 9, 2}, {0, 6, 9, 9}, {0, 3, 2, 5}, {6, 3, 9, 5}};
  ASSERT_EQ(v.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_TRUE(same(v[i], want[i])) << i;
  rect_free_list(list);
  VRK_rect_exit();
}

// Clipping by random rectangles covers exactly the pixels of the list minus the clips, once each.
TEST(RectList, ClippingKeepsExactlyTheUncoveredPixelsOnce) {
  std::mt19937 rng(7);
  auto rnd = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int round = 0; round < 2000; ++round) {
    int grid[20][20] = {};
    RectNode* list = rect_malloc();
    list->rect = {rnd(0, 9), rnd(0, 9), rnd(10, 19), rnd(10, 19)};
    for (int y = list->rect.uly; y <= list->rect.lry; ++y)
      for (int x = list->rect.ulx; x <= list->rect.lrx; ++x) grid[y][x] = 1;
    for (int k = rnd(1, 6); k > 0; --k) {
      Rect c = {rnd(-2, 19), rnd(-2, 19), 0, 0};
      c.lrx = c.ulx + rnd(0, 10);
      c.lry = c.uly + rnd(0, 10);
      rect_clip_list(&list, &c);
      for (int y = std::max(c.uly, 0); y <= std::min(c.lry, 19); ++y)
        for (int x = std::max(c.ulx, 0); x <= std::min(c.lrx, 19); ++x) grid[y][x] = 0;
    }
    int count[20][20] = {};
    for (const Rect& r : to_vector(list))
      for (int y = r.uly; y <= r.lry; ++y)
        for (int x = r.ulx; x <= r.lrx; ++x) ++count[y][x];
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x) ASSERT_EQ(count[y][x], grid[y][x]) << "round " << round;
    rect_free_list(list);

    // rect_clip: a minus b, pieces disjoint.
    Rect a = {rnd(0, 10), rnd(0, 10), 0, 0}, b = {rnd(0, 15), rnd(0, 15), 0, 0};
    a.lrx = a.ulx + rnd(0, 9);
    a.lry = a.uly + rnd(0, 9);
    b.lrx = b.ulx + rnd(0, 9);
    b.lry = b.uly + rnd(0, 9);
    RectNode* d = rect_clip(&a, &b);
    int cov[20][20] = {};
    for (const Rect& r : to_vector(d))
      for (int y = r.uly; y <= r.lry; ++y)
        for (int x = r.ulx; x <= r.lrx; ++x) ++cov[y][x];
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x) {
        bool in_a = x >= a.ulx && x <= a.lrx && y >= a.uly && y <= a.lry;
        bool in_b = x >= b.ulx && x <= b.lrx && y >= b.uly && y <= b.lry;
        ASSERT_EQ(cov[y][x], in_a && !in_b ? 1 : 0) << "round " << round;
      }
    rect_free_list(d);
  }
  VRK_rect_exit();
}

TEST(RectList, BoundsAndPoolRefill) {
  Rect a = {0, 0, 9, 9}, b = {5, 5, 20, 20}, c = {30, 30, 31, 31}, out;
  EXPECT_EQ(rect_inside_bound(&a, &b, &out), 0);
  EXPECT_TRUE(same(out, {5, 5, 9, 9}));
  EXPECT_EQ(rect_inside_bound(&a, &c, &out), -1);
  EXPECT_TRUE(same(out, a));
  rect_min_bound(&a, &c, &out);
  EXPECT_TRUE(same(out, {0, 0, 31, 31}));
  // An empty pool is refilled ten nodes at a time from the guarded allocator, and gives them all back.
  VRK_rect_exit();
  const int blocks = mem_get_stats().num_blocks;
  std::vector<RectNode*> taken;
  for (int i = 0; i < 10; ++i) taken.push_back(rect_malloc());
  EXPECT_EQ(mem_get_stats().num_blocks, blocks + 10);
  taken.push_back(rect_malloc());
  EXPECT_EQ(mem_get_stats().num_blocks, blocks + 20);
  for (RectNode* n : taken) rect_free(n);
  VRK_rect_exit();
  EXPECT_EQ(mem_get_stats().num_blocks, blocks);
}


// --- start-up ---

class Start : public Stage {};

int mode_returns_8() { return 8; }
int mode_40_40() { return VRK95_init_mode_ex(40, 40, 8); }
int mode_56_40() { return VRK95_init_mode_ex(56, 40, 8); }
// A mode the display refuses (and only this one).
int mode_refused() {
  plat_headless_fail(PLAT_HEADLESS_FAIL_SET_MODE);
  const int r = VRK95_init_mode_ex(40, 40, 8);
  plat_headless_fail(0);
  return r;
}

bool display_released() { return plat_headless_pixels(nullptr, nullptr, nullptr, nullptr) == nullptr; }

// An allocator that refuses blocks of at least `refuse_from` bytes, else the guarded one.
size_t refuse_from = SIZE_MAX;
void* picky_malloc(size_t n) { return n >= refuse_from ? nullptr : my_malloc(n); }

TEST_F(Start, EveryErrorCodeLeavesTheSystemStartable) {
  FontArchive fonts;
  // 10: no title yet.
  EXPECT_EQ(win_init(vrk_util::test_mode, nullptr, 0), WIN_ERR_NO_TITLE);
  // 1: the mode is refused; 8 passes through.
  plat_headless_fail(PLAT_HEADLESS_FAIL_SET_MODE);
  EXPECT_EQ(start(64, 48), WIN_ERR_VIDEO);
  plat_headless_fail(0);
  win_set_minimized_title("vrk test");
  EXPECT_EQ(win_init(mode_returns_8, nullptr, 0), WIN_ERR_MODE8);
  // 11: the input devices or the timer cannot be had; the display is given back.
  for (unsigned f : {PLAT_HEADLESS_FAIL_INPUT_INIT, PLAT_HEADLESS_FAIL_TIMER}) {
    plat_headless_fail(f);
    EXPECT_EQ(start(64, 48), WIN_ERR_INPUT) << f;
    EXPECT_TRUE(display_released()) << f;
    EXPECT_EQ(win_active(), 0);
  }
  plat_headless_fail(0);
  // 2: no screen buffer.
  mem_register_func(picky_malloc, my_realloc, my_free);
  refuse_from = 64 * 48;
  EXPECT_EQ(start(64, 48, WIN_INIT_BUFFER), WIN_ERR_MEMORY);
  EXPECT_TRUE(display_released());
  refuse_from = SIZE_MAX;
  // 0, then 4.
  EXPECT_EQ(start(64, 48, WIN_INIT_BUFFER), WIN_OK);
  EXPECT_EQ(win_init(vrk_util::test_mode, nullptr, 0), WIN_ERR_TWICE);
  win_exit();
  win_exit();  // a second call does nothing
  mem_register_func(my_malloc, my_realloc, my_free);
  EXPECT_TRUE(display_released());
  // 5: win_reinit before win_init.
  EXPECT_EQ(win_reinit(vrk_util::test_mode), WIN_ERR_NOT_INIT);
}

TEST_F(Start, NoFontIsError3) {
  FontArchive empty({}, false);
  EXPECT_EQ(start(64, 48), WIN_ERR_FONT);
  EXPECT_TRUE(display_released());
}

TEST_F(Start, AnotherCopyIsError9) {
  FontArchive fonts;
  intptr_t other = -1;
  ASSERT_EQ(plat_guard_acquire("vrk copy", &other), 1);
  win_set_minimized_title("vrk copy");
  EXPECT_EQ(win_init(vrk_util::test_mode, nullptr, 0), WIN_ERR_RUNNING);
  plat_guard_release(other);
  win_set_minimized_title("vrk copy");
  EXPECT_EQ(win_init(vrk_util::test_mode, nullptr, 0), WIN_OK);
  EXPECT_STREQ(plat_headless_title(), "vrk copy");
}

TEST_F(Start, WithoutADatabaseADefaultOneIsOpenedAndClosed) {
  ASSERT_EQ(db_total(), 0);
  // The default database has no fonts: the text system cannot start, and nothing stays open.
  EXPECT_EQ(start(64, 48), WIN_ERR_FONT);
  EXPECT_EQ(db_total(), 0);
}

TEST_F(Start, ReinitChecksEveryWindowAndKeepsTheOldModeOnError) {
  FontArchive fonts;
  ASSERT_EQ(start(64, 48, WIN_INIT_BUFFER), WIN_OK);
  int id = win_add(10, 10, 50, 30, 3, 0);
  ASSERT_NE(id, -1);
  win_draw(id);
  EXPECT_EQ(win_reinit(mode_40_40), WIN_ERR_TOO_BIG);
  EXPECT_EQ(scr_size.lrx, 63);
  EXPECT_EQ(scr_size.lry, 47);
  EXPECT_EQ(win_reinit(mode_56_40), WIN_OK);
  Rect r;
  ASSERT_EQ(win_get_rect(id, &r), 0);
  EXPECT_EQ(r.lrx, 55);  // pulled back inside
  EXPECT_EQ(r.lry, 39);
  EXPECT_TRUE(screen() == painter(56, 40));
  // A mode the display refuses: the old one comes back with its palette and its windows.
  uint8_t colours[768], before[768], after[768];
  for (int i = 0; i < 768; ++i) colours[i] = uint8_t((i * 7) % 64);
  setSystemPalette(colours);
  plat_headless_palette(before);
  EXPECT_EQ(win_reinit(mode_refused), WIN_ERR_VIDEO);
  EXPECT_EQ(scr_size.lrx, 55);
  EXPECT_EQ(scr_size.lry, 39);
  plat_headless_palette(after);
  EXPECT_EQ(std::vector<uint8_t>(before, before + 768), std::vector<uint8_t>(after, after + 768));
  EXPECT_TRUE(screen() == painter(56, 40));
}

// --- the window table ---

class Table : public Stage {};

TEST_F(Table, FiftyWindowsIdsAndOnTopOrder) {
  FontArchive fonts;
  ASSERT_EQ(start(640, 480), WIN_OK);
  std::vector<int> ids;
  for (int i = 1; i < VRK_MAX_WINDOWS; ++i) ids.push_back(win_add(i, i, 8, 8, 1, 0));
  for (int i = 0; i < VRK_MAX_WINDOWS - 1; ++i) EXPECT_EQ(ids[size_t(i)], i + 1);
  EXPECT_EQ(win_add(0, 0, 8, 8, 1, 0), -1);  // the 51st
  for (int i = 6; i < VRK_MAX_WINDOWS; ++i) win_delete(i);
  win_delete(3);
  EXPECT_EQ(win_add(0, 0, 8, 8, 1, 0), 3);  // the smallest free id
  // Too big, and out of memory: -1, nothing left behind.
  EXPECT_EQ(win_add(0, 0, 641, 10, 1, 0), -1);
  EXPECT_EQ(win_add(0, 0, 10, 481, 1, 0), -1);
  EXPECT_EQ(win_add(0, 0, 0, 10, 1, 0), -1);
  const int before = mem_get_stats().num_blocks;
  refuse_from = 100;
  VRK_mem_lock(0);
  mem_register_func(picky_malloc, my_realloc, my_free);
  EXPECT_EQ(win_add(0, 0, 10, 10, 1, 0), -1);
  mem_register_func(my_malloc, my_realloc, my_free);
  VRK_mem_lock(1);
  refuse_from = SIZE_MAX;
  EXPECT_EQ(mem_get_stats().num_blocks, before);
  // Two windows kept on top; a new ordinary window goes below them and stays there when shown.
  int t1 = win_add(0, 0, 8, 8, 1, WIN_ON_TOP), t2 = win_add(0, 0, 8, 8, 1, WIN_ON_TOP);
  int plain = win_add(0, 0, 8, 8, 1, 0);
  EXPECT_EQ(window[num_windows - 1]->id, t2);
  EXPECT_EQ(window[num_windows - 2]->id, t1);
  EXPECT_EQ(window[num_windows - 3]->id, plain);
  win_show(plain);
  EXPECT_EQ(window[num_windows - 3]->id, plain);
}

TEST_F(Table, MoveKeepsWindowsOnTheScreenAndAligns) {
  FontArchive fonts;
  ASSERT_EQ(start(640, 480), WIN_OK);
  int a = win_add(0, 0, 100, 10, 1, 0);
  win_move(a, 600, 5);
  Rect r;
  win_get_rect(a, &r);
  EXPECT_EQ(r.ulx, 540);
  int b = win_add(0, 0, 10, 10, 1, WIN_ALIGN4);
  win_move(b, 5, 0);
  win_get_rect(b, &r);
  EXPECT_EQ(r.ulx, 4);
  win_move(b, 6, 0);
  win_get_rect(b, &r);
  EXPECT_EQ(r.ulx, 8);
  win_move(b, -20, -20);
  win_get_rect(b, &r);
  EXPECT_EQ(r.ulx, 0);
  EXPECT_EQ(r.uly, 0);
}

// --- drawing ---

TEST_F(Table, PrintCutsOrSkipsTextThatDoesNotFit) {
  FontArchive fonts;
  ASSERT_EQ(start(64, 48), WIN_OK);
  int id = win_add(0, 0, 30, 20, 5, 0);
  win_draw(id);
  const int tw = text_width("WWWWWW");
  ASSERT_GT(tw, 30);
  std::vector<uint8_t> before(win_get_buf(id), win_get_buf(id) + 600);
  win_print(id, "WWWWWW", 0, 2, 2, 9);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), win_get_buf(id)));  // nothing printed
  win_print(id, "WWWWWW", 0, 2, 2, 9 | WIN_PRINT_CUT | WIN_PRINT_REFRESH);
  const uint8_t* buf = win_get_buf(id);
  int ink = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) ink += buf[y * 30 + x] == 9;
  EXPECT_GT(ink, 0);
  for (int y = 0; y < 20; ++y) EXPECT_NE(buf[y * 30 + 1], 9);  // nothing left of x = 2
  EXPECT_TRUE(screen() == painter(64, 48));  // refreshed at once
  // An empty line with no field width draws nothing; one with a width draws the etched line.
  std::vector<uint8_t> now(buf, buf + 600);
  const char* lines[] = {""};
  win_text(id, lines, 1, 0, 0, 0, 9);
  EXPECT_TRUE(std::equal(now.begin(), now.end(), win_get_buf(id)));
  win_text(id, lines, 1, 10, 0, 0, 9);
  EXPECT_FALSE(std::equal(now.begin(), now.end(), win_get_buf(id)));
  // Shapes that do not lie in the buffer change nothing (and write nothing outside it).
  std::vector<uint8_t> after(buf, buf + 600);
  win_line(id, -5, 0, 40, 10, 3);
  win_box(id, 0, 0, 30, 19, 3);
  win_shaded_box(id, 0, 0, 29, 20, 3, 4);
  EXPECT_TRUE(std::equal(after.begin(), after.end(), win_get_buf(id)));
  win_fill(id, 25, 15, 100, 100, 2);  // cut to the buffer
  EXPECT_EQ(win_get_buf(id)[19 * 30 + 29], 2);
  EXPECT_EQ(win_get_buf(id)[14 * 30 + 29], after[14 * 30 + 29]);
}

// An empty line of win_text with a field width is an etched line of two rows; it is drawn only
// where both rows lie in the window, whatever y is (a line above the window wrote before its
// buffer).
TEST_F(Table, EtchedLinesOfWinTextStayInTheWindow) {
  FontArchive fonts;
  ASSERT_EQ(start(64, 48), WIN_OK);
  const int id = win_add(4, 4, 40, 20, 3, 0);
  const int h = text_height();
  const char* const empty[] = {""};
  for (int y = -2 * h; y <= 20 + h; ++y) {
    win_fill(id, 0, 0, 40, 20, 3);
    win_text(id, empty, 1, 40, 0, y, 258);
    const uint8_t* buf = win_get_buf(id);
    const int row = y + h / 2;  // the etched line's first row
    for (int r = 0; r < 20; ++r) {
      const bool drawn = row >= 0 && row + 1 < 20 && (r == row || r == row + 1);
      EXPECT_EQ(buf[size_t(r) * 40] != 3, drawn) << "y " << y << ", row " << r;
    }
  }
}

TEST_F(Table, CallsWithUnknownIdsOrBeforeStartDoNothing) {
  EXPECT_EQ(win_add(0, 0, 4, 4, 1, 0), -1);
  EXPECT_EQ(VRK_find(0), nullptr);
  EXPECT_EQ(win_get_buf(3), nullptr);
  EXPECT_EQ(win_width(-1), -1);
  win_delete(2);
  win_show(2);
  win_fill(2, 0, 0, 4, 4, 1);
  win_refresh_all(&scr_size);
  FontArchive fonts;
  ASSERT_EQ(start(64, 48), WIN_OK);
  EXPECT_EQ(VRK_find(-1), nullptr);
  EXPECT_EQ(VRK_find(50), nullptr);
  EXPECT_EQ(win_get_top_win(3, 3), 0);
  win_delete(0);  // the screen window stays
  EXPECT_EQ(num_windows, 1);
}

}  // namespace
