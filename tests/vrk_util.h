// Shared set-up of the window system's tests: the headless driver, an archive with one font, a
// title, and win_init with a mode of the test's size.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "color/color.h"
#include "db/db.h"
#include "kit/build.h"
#include "platform/driver.h"
#include "platform/headless.h"
#include "tests/archive_util.h"
#include "tests/support/tempdir.h"
#include "vrk/input.h"
#include "vrk/memory.h"
#include "vrk/mouse.h"
#include "vrk/svga.h"
#include "vrk/vrk.h"

namespace vrk_util {

inline int mode_w = 64, mode_h = 48;
inline int test_mode() { return VRK95_init_mode_ex(mode_w, mode_h, 8); }
inline int big_mode() { return VRK95_init_mode_ex(640, 480, 8); }

// "COLOR.PAL": black, 32 greys from 8 and a 6 x 6 x 6 colour cube from 40, with its colour
// table, so that window colours, lightened bands and text come out as in a program.
inline kit_member color_pal_member() {
  std::vector<uint8_t> pal(768, 0);
  for (int g = 0; g < 32; ++g) pal[(8 + g) * 3] = pal[(8 + g) * 3 + 1] = pal[(8 + g) * 3 + 2] = uint8_t(g * 2 + 1);
  for (int i = 0; i < 216; ++i) {
    pal[(40 + i) * 3] = uint8_t((i / 36) * 63 / 5);
    pal[(40 + i) * 3 + 1] = uint8_t((i / 6 % 6) * 63 / 5);
    pal[(40 + i) * 3 + 2] = uint8_t((i % 6) * 63 / 5);
  }
  uint8_t pal8[768];
  for (int i = 0; i < 768; ++i) pal8[i] = uint8_t(pal[i] << 2 | pal[i] >> 4);
  colorBuildColorTable(pal8, nullptr);
  kit_member m{"COLOR.PAL", pal, kit_pack_method::stored};
  m.data.resize(pal.size() + COLOR_TABLE_SIZE);  // (an insert here trips the i686 compiler's bounds check)
  std::copy(colorTable, colorTable + COLOR_TABLE_SIZE, m.data.begin() + long(pal.size()));
  return m;
}

// An archive holding font0.fon (and any extra members), opened as the current database.
struct FontArchive {
  TempDir dir{"vrk"};
  int handle = -1;
  explicit FontArchive(std::vector<kit_member> extra = {}, bool with_font = true) {
    std::vector<kit_member> ms = std::move(extra);
    if (with_font)
      ms.push_back({"FONT0.FON", archive_util::read_file(std::string(TEST_DATA_DIR) + "/dejavu11.fon"),
                    kit_pack_method::stored});
    if (ms.empty()) ms.push_back({"OTHER.TXT", {'x'}, kit_pack_method::stored});
    std::string err;
    EXPECT_TRUE(kit_build_archive(dir.file("t.dat"), ms, err)) << err;
    handle = db_init(dir.file("t.dat").c_str(), nullptr, nullptr);
    EXPECT_NE(handle, -1);
    db_select(handle);
  }
  ~FontArchive() { db_exit(); }
};

// The headless stage with a fresh clock, timeline and failures; the window system is ended and
// the driver shut down afterwards.
class Stage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(plat_driver_select("headless"), 0);
    plat_headless_fail(0);
    plat_headless_clear_timeline();
    VRK95_isActive = 1;
  }
  void TearDown() override {
    win_exit();
    plat_headless_fail(0);
    plat_driver_shutdown();
  }
  // win_init with the title set; the result.
  int start(int w, int h, int flags = 0) {
    mode_w = w;
    mode_h = h;
    win_set_minimized_title("vrk test");
    return win_init(test_mode, nullptr, flags);
  }
  // The screen as width x height bytes.
  std::vector<uint8_t> screen() {
    int w = 0, h = 0, pitch = 0, bpp = 0;
    const uint8_t* p = plat_headless_pixels(&w, &h, &pitch, &bpp);
    std::vector<uint8_t> out;
    if (!p) return out;
    for (int y = 0; y < h; ++y) out.insert(out.end(), p + size_t(y) * pitch, p + size_t(y) * pitch + w);
    return out;
  }
};


// Paints every visible window of the table bottom-up over bk_color (transparent pixels of value 0
// keep what is below while buffering), then the cursor when it is shown.
inline std::vector<uint8_t> painter(int w, int h) {
  std::vector<uint8_t> s(size_t(w) * size_t(h), uint8_t(bk_color));
  for (int i = 1; i < num_windows; ++i) {
    const Window* win = window[i];
    if (win->flags & WIN_HIDDEN) continue;
    const bool trans = buffering && (win->flags & WIN_TRANSPARENT);
    for (int y = 0; y < win->height; ++y)
      for (int x = 0; x < win->width; ++x) {
        uint8_t p = win->buffer[size_t(y) * size_t(win->width) + size_t(x)];
        if (trans && p == 0) continue;
        s[size_t(win->rect.uly + y) * size_t(w) + size_t(win->rect.ulx + x)] = p;
      }
  }
  if (!mouse_hidden()) {
    const uint8_t* img;
    int mw, mh, pitch, hx, hy, trans;
    mouse_get_shape(&img, &mw, &mh, &pitch, &hx, &hy, &trans);
    Rect r;
    mouse_get_rect(&r);
    for (int y = 0; y < mh; ++y)
      for (int x = 0; x < mw; ++x) {
        int sx = r.ulx + x, sy = r.uly + y;
        uint8_t p = img[size_t(y) * size_t(pitch) + size_t(x)];
        if (sx < 0 || sy < 0 || sx >= w || sy >= h || p == trans) continue;
        s[size_t(sy) * size_t(w) + size_t(sx)] = p;
      }
  }
  return s;
}

}  // namespace vrk_util
