// Text manager table and the built-in ".fon" fonts.
//
// The golden picture tests/data/text_dejavu11.hex is drawn with tests/data/dejavu11.fon (made
// once by "setupkit font DejaVuSans.ttf --size 11" and checked in, so that it does not change
// with FreeType). UPDATE_GOLDEN=1 in the environment rewrites the picture from the current result.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive_util.h"
#include "color/color.h"
#include "kit/build.h"
#include "db/db.h"
#include "tests/support/golden.h"
#include "tests/support/tempdir.h"
#include "vrk/text.h"

using archive_util::Bytes;

namespace {

void put_le(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// A hand-made font: `count` glyphs of `height` rows. Glyph c has width widths[c] (0 when not
// given) and is fully set except for its top row, which is clear.
Bytes make_font(int count, int height, int spacing, const std::vector<std::pair<int, int>>& widths) {
  std::vector<int> w(size_t(count), 0);
  for (auto [c, wc] : widths) w[size_t(c)] = wc;
  Bytes head, data;
  put_le(head, uint32_t(count));
  put_le(head, uint32_t(height));
  put_le(head, uint32_t(spacing));
  put_le(head, 0);
  put_le(head, 0);
  for (int c = 0; c < count; ++c) {
    put_le(head, uint32_t(w[size_t(c)]));
    put_le(head, uint32_t(data.size()));
    const int rb = (w[size_t(c)] + 7) / 8;
    for (int y = 0; y < height; ++y)
      for (int i = 0; i < rb; ++i) {
        int bits = std::min(8, w[size_t(c)] - 8 * i);
        data.push_back(y == 0 ? 0 : uint8_t(0xFF00 >> bits));
      }
  }
  head.insert(head.end(), data.begin(), data.end());
  return head;
}

// 'A' 3 wide, 'B' 5 wide, 'W' 9 wide; 100 glyphs, 4 rows, spacing 1.
Bytes small_font() { return make_font(100, 4, 1, {{'A', 3}, {'B', 5}, {'W', 9}, {' ', 2}}); }

Bytes read_data(const std::string& name) { return archive_util::read_file(std::string(TEST_DATA_DIR) + "/" + name); }

struct Archive {
  TempDir dir{"text"};
  int handle = -1;
  explicit Archive(const std::vector<std::pair<std::string, Bytes>>& members) {
    std::vector<kit_member> ms;
    for (const auto& [name, data] : members) {
      kit_member m;
      m.path = name;
      m.data = data;
      m.method = kit_pack_method::stored;
      ms.push_back(m);
    }
    if (ms.empty()) ms.push_back({"OTHER.TXT", {'x'}, kit_pack_method::stored});
    std::string err;
    EXPECT_TRUE(kit_build_archive(dir.file("t.dat"), ms, err)) << err;
    handle = db_init(dir.file("t.dat").c_str(), nullptr, nullptr);
    EXPECT_NE(handle, -1);
    db_select(handle);
  }
  ~Archive() {
    VRK_text_exit();
    db_exit();
  }
};

struct Pic {
  int w, h;
  std::vector<uint8_t> px;
  Pic(int w_, int h_, uint8_t fill = 0) : w(w_), h(h_), px(size_t(w_) * size_t(h_), fill) {}
  uint8_t* at(int x, int y) { return px.data() + size_t(y) * size_t(w) + size_t(x); }
  std::string row(int y) {
    std::string s;
    for (int x = 0; x < w; ++x) s += px[size_t(y) * size_t(w) + size_t(x)] ? char('0' + px[size_t(y) * size_t(w) + size_t(x)] % 10) : '.';
    return s;
  }
};

const text_manager kDummy = {10, 19, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

}  // namespace

TEST(TextInit, MissingFontsAreSkippedAndTheLowestIsSelected) {
  Archive a({{"FONT3.FON", make_font(100, 7, 2, {{'A', 4}})}, {"FONT0.FON", small_font()}});
  ASSERT_EQ(VRK_text_init(), 0);
  EXPECT_EQ(text_curr(), 0);
  EXPECT_EQ(text_height(), 4);
  text_font(2);  // served by the built-in manager, but not loaded: font 0 stays in use
  EXPECT_EQ(text_curr(), 2);
  EXPECT_EQ(text_height(), 4);
  text_font(3);
  EXPECT_EQ(text_height(), 7);
  EXPECT_EQ(text_width("A"), 6);
  text_font(50);  // nobody serves it
  EXPECT_EQ(text_curr(), 3);
}

TEST(TextInit, FailsWithoutAnyFontAndSkipsDamagedOnes) {
  {
    Archive a({});
    EXPECT_EQ(VRK_text_init(), -1);
    EXPECT_EQ(text_curr(), -1);
    EXPECT_EQ(text_width("A"), 0);  // nothing selected: measures 0, draws nothing
    Pic p(8, 8);
    EXPECT_EQ(text_to_buf(p.px.data(), "A", 8, 8, 1), 0);
  }
  {
    Bytes bad = small_font();
    bad.resize(bad.size() - 1);
    Archive a({{"FONT0.FON", bad}, {"FONT1.FON", small_font()}});
    ASSERT_EQ(VRK_text_init(), 0);
    EXPECT_EQ(text_curr(), 1);
  }
}

TEST(TextManagers, AddRemoveAndSelect) {
  Archive a({{"FONT0.FON", small_font()}});
  ASSERT_EQ(VRK_text_init(), 0);
  EXPECT_EQ(total_managers, 1);
  text_manager m = kDummy;
  EXPECT_EQ(text_add_manager(&m), 0);
  m.low = 15, m.high = 25;
  EXPECT_EQ(text_add_manager(&m), -1);
  m.low = 30, m.high = 30;
  EXPECT_EQ(text_add_manager(&m), -1);
  EXPECT_EQ(text_add_manager(nullptr), -1);
  m.low = 20, m.high = 29;
  EXPECT_EQ(text_add_manager(&m), 0);
  m.low = 30, m.high = 39;
  EXPECT_EQ(text_add_manager(&m), 0);
  EXPECT_EQ(total_managers, 4);

  // Removing the middle one of three keeps the others, in order.
  EXPECT_EQ(text_remove_manager(25), 0);
  text_manager got{};
  EXPECT_EQ(text_font_exists(25, &got), 0);
  ASSERT_EQ(text_font_exists(12, &got), 1);
  EXPECT_EQ(got.low, 10);
  ASSERT_EQ(text_font_exists(35, &got), 1);
  EXPECT_EQ(got.low, 30);
  EXPECT_EQ(got.high, 39);
  EXPECT_EQ(text_remove_manager(25), -1);
  EXPECT_EQ(text_remove_manager(5), -1);  // the built-in fonts are current

  // The table holds ten.
  for (int i = 0; i < 7; ++i) {
    m.low = 100 + 10 * i, m.high = m.low + 1;
    EXPECT_EQ(text_add_manager(&m), 0) << i;
  }
  m.low = 500, m.high = 501;
  EXPECT_EQ(text_add_manager(&m), -1);
}

namespace {
int g_selected = -1;
int fake_height() { return 42; }
void fake_select(int n) { g_selected = n; }
}  // namespace

TEST(TextManagers, SelectingCopiesTheManagersFunctions) {
  Archive a({{"FONT0.FON", small_font()}});
  ASSERT_EQ(VRK_text_init(), 0);
  text_manager m = kDummy;
  m.low = 100, m.high = 110;
  m.select = fake_select;
  m.text_height = fake_height;
  ASSERT_EQ(text_add_manager(&m), 0);
  text_font(104);
  EXPECT_EQ(g_selected, 104);
  EXPECT_EQ(text_curr(), 104);
  EXPECT_EQ(text_height(), 42);
  EXPECT_EQ(text_width("AB"), 0);  // a missing function measures 0
  EXPECT_EQ(text_remove_manager(100), -1);
  text_font(0);
  EXPECT_EQ(text_height(), 4);
  EXPECT_EQ(text_remove_manager(100), 0);
}

TEST(TextMeasure, WidthsSkipCodesBeyondTheFont) {
  Archive a({{"FONT0.FON", small_font()}});
  ASSERT_EQ(VRK_text_init(), 0);
  EXPECT_EQ(text_width("AB"), 3 + 1 + 5 + 1);
  EXPECT_EQ(text_width("A\xC8z"), 4);  // 200 and 'z' (122) are beyond the 100 glyphs
  EXPECT_EQ(text_char_width('B'), 5);
  EXPECT_EQ(text_char_width(200), 0);
  EXPECT_EQ(text_spacing(), 1);
  EXPECT_EQ(text_max(), 10);
  EXPECT_EQ(text_mono_width("AB"), 20);
  EXPECT_EQ(text_size("AB"), 40);
  EXPECT_EQ(text_width(""), 0);
}

TEST(TextDraw, CutShadowUnderlineMono) {
  Archive a({{"FONT0.FON", small_font()}});
  ASSERT_EQ(VRK_text_init(), 0);
  // Cut: "ABA" needs 4 + 6 + 4 = 14; a limit of 13 draws "AB" only, nothing of the last A.
  {
    Pic p(20, 4);
    EXPECT_EQ(text_to_buf(p.px.data(), "ABA", 13, p.w, 5), 2);
    EXPECT_EQ(p.row(0), "....................");
    EXPECT_EQ(p.row(1), "555.55555...........");
    EXPECT_EQ(p.row(3), "555.55555...........");
    Pic q(20, 4);
    EXPECT_EQ(text_to_buf(q.px.data(), "ABA", 14, q.w, 5), 3);
    EXPECT_EQ(q.row(1), "555.55555.555.......");
  }
  // Codes beyond the font take no space.
  {
    Pic p(12, 4);
    EXPECT_EQ(text_to_buf(p.px.data(), "A\xC8" "A", 12, p.w, 5), 2);
    EXPECT_EQ(p.row(2), "555.555.....");
  }
  // Shadow: one right, one down, in the palette's black, under the text.
  {
    const uint8_t saved = colorTable[0];
    colorTable[0] = 7;
    Pic p(8, 6);
    text_to_buf(p.px.data(), "A", 8, p.w, 5 | TEXT_SHADOW);
    EXPECT_EQ(p.row(0), "........");
    EXPECT_EQ(p.row(1), "555.....");
    EXPECT_EQ(p.row(2), "5557....");
    EXPECT_EQ(p.row(4), ".777....");
    colorTable[0] = saved;
  }
  // Underline: the last row, from the start to the end position (spacing included).
  {
    Pic p(12, 4);
    text_to_buf(p.px.data(), "A A", 12, p.w, 3 | TEXT_UNDERLINE);
    EXPECT_EQ(p.row(0), "............");
    EXPECT_EQ(p.row(3), "33333333333.");  // 4 + 3 + 4
  }
  // Monospaced: 10-pixel cells, each glyph centred in the cell less the spacing.
  {
    Pic p(30, 4);
    EXPECT_EQ(text_to_buf(p.px.data(), "AWB", 30, p.w, 2 | TEXT_MONO), 3);
    EXPECT_EQ(p.row(1), "...222....222222222...22222...");
  }
}

TEST(TextLoad, DamagedFontsAreRefused) {
  const Bytes good = small_font();
  EXPECT_EQ(VRK_text_load_font_mem(0, good.data(), good.size()), 0);
  // Every shortened file is refused (the last glyph fixes where the data ends).
  for (size_t n = 0; n < good.size(); n += (n < 40 ? 1 : 37))
    EXPECT_EQ(VRK_text_load_font_mem(0, good.data(), n), -1) << n;
  auto patched = [&](size_t at, uint32_t v) {
    Bytes b = good;
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
    return b;
  };
  const size_t entry_A = 20 + 8 * size_t('A');
  for (const Bytes& b : {patched(0, 0), patched(0, 0x7FFFFFFF), patched(0, 0xFFFFFFFF), patched(4, 0),
                         patched(4, 0xFFFFFFFE), patched(8, 0xFFFFFFFF), patched(entry_A, 5000),
                         patched(entry_A, 0xFFFFFFFF), patched(entry_A + 4, uint32_t(good.size())),
                         patched(entry_A + 4, 0xFFFFFFF0)}) {
    EXPECT_EQ(VRK_text_load_font_mem(0, b.data(), b.size()), -1);
  }
  // A glyph widened so that its rows run past the data.
  Bytes wide = patched(20 + 8 * 99, 9);
  EXPECT_EQ(VRK_text_load_font_mem(0, wide.data(), wide.size()), -1);
  VRK_text_exit();
}

TEST(TextGolden, DejaVuEveryStyle) {
  Archive a({{"FONT0.FON", read_data("dejavu11.fon")}});
  ASSERT_EQ(VRK_text_init(), 0);
  const uint8_t saved = colorTable[0];
  colorTable[0] = 1;
  const int h = text_height();
  ASSERT_GT(h, 8);
  Pic p(160, 6 * (h + 2));
  const char* s = "Setup: Qjy \xC9t\xE9 \xE0 5%";
  int y = 0;
  for (int flags : {0, TEXT_SHADOW, TEXT_UNDERLINE, TEXT_MONO, TEXT_SHADOW | TEXT_UNDERLINE}) {
    text_to_buf(p.at(0, y), s, p.w - 1, p.w, 9 | flags);
    y += h + 2;
  }
  // Cut at the width limit: only whole glyphs that end within 40 pixels.
  const int drawn = text_to_buf(p.at(0, y), s, 40, p.w, 9);
  EXPECT_GT(drawn, 0);
  EXPECT_LT(drawn, int(std::strlen(s)));
  for (int yy = y; yy < y + h; ++yy)
    for (int x = 40; x < p.w; ++x) EXPECT_EQ(*p.at(x, yy), 0);
  colorTable[0] = saved;

  EXPECT_TRUE(golden_picture("text_dejavu11.hex", p.px.data(), p.w, p.h, p.w));
}
