// Font manager: loading and checking ".aaf" fonts.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "archive_util.h"
#include "kit/build.h"
#include "db/db.h"
#include "color/color.h"
#include "toolkit/fontmgr.h"
#include "tests/support/golden.h"
#include "tests/support/tempdir.h"

using archive_util::Bytes;

namespace {

void be16(Bytes& b, int v) {
  b.push_back(uint8_t(uint16_t(v) >> 8));
  b.push_back(uint8_t(v));
}
void be32(Bytes& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}

// Ascent 6, spacing 1, space width 3, leading 2; 'A' 4 x 5 with levels 0..15, the space 3 x 0,
// every other glyph 2 x 1.
Bytes make_aaf() {
  Bytes h, data;
  be32(h, FM_MAGIC);
  be16(h, 6);
  be16(h, 1);
  be16(h, 3);
  be16(h, 2);
  for (int c = 0; c < 256; ++c) {
    int w = c == 'A' ? 4 : c == ' ' ? 3 : 2, ht = c == 'A' ? 5 : c == ' ' ? 0 : 1;
    be16(h, w);
    be16(h, ht);
    be32(h, uint32_t(data.size()));
    for (int i = 0; i < w * ht; ++i) data.push_back(uint8_t(i % 16));
  }
  h.insert(h.end(), data.begin(), data.end());
  return h;
}

Bytes patched16(const Bytes& b, size_t at, int v) {
  Bytes o = b;
  o[at] = uint8_t(uint16_t(v) >> 8);
  o[at + 1] = uint8_t(v);
  return o;
}
Bytes patched32(const Bytes& b, size_t at, uint32_t v) {
  Bytes o = b;
  for (int i = 0; i < 4; ++i) o[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
  return o;
}

size_t entry(int c) { return FM_HEADER_SIZE + size_t(c) * 8; }

}  // namespace

TEST(FontManagerLoad, ReadsHeaderGlyphsAndBitmap) {
  const Bytes f = make_aaf();
  ASSERT_EQ(FMLoadFontMem(3, f.data(), f.size()), 0);
  const FMFont& font = gFontCache[3];
  EXPECT_EQ(font.ascent, 6);
  EXPECT_EQ(font.spacing, 1);
  EXPECT_EQ(font.spaceWidth, 3);
  EXPECT_EQ(font.leading, 2);
  EXPECT_EQ(font.maxWidth, 4);
  EXPECT_EQ(font.glyphs['A'].width, 4);
  EXPECT_EQ(font.glyphs['A'].height, 5);
  ASSERT_NE(font.bitmap, nullptr);
  EXPECT_EQ(font.bitmapSize, f.size() - FM_BITMAP_START);
  EXPECT_EQ(font.bitmap[font.glyphs['A'].offset + 7], 7);
  FMFreeFont(3);
  EXPECT_EQ(gFontCache[3].bitmap, nullptr);
  FMFreeFont(3);  // twice is harmless
}

TEST(FontManagerLoad, ThroughTheArchive) {
  TempDir dir("fontmgr");
  std::string err;
  ASSERT_TRUE(kit_build_archive(dir.file("f.dat"), {{"FONT2.AAF", make_aaf(), kit_pack_method::lzss}}, err)) << err;
  int h = db_init(dir.file("f.dat").c_str(), nullptr, nullptr);
  ASSERT_NE(h, -1);
  db_select(h);
  EXPECT_EQ(FMLoadFont(2), 0);
  EXPECT_EQ(gFontCache[2].ascent, 6);
  EXPECT_EQ(FMLoadFont(1), -1);
  EXPECT_EQ(gFontCache[1].bitmap, nullptr);
  EXPECT_EQ(FMLoadFont(16), -1);
  FMFreeFont(2);
  db_exit();
}

TEST(FontManagerLoad, DamagedFilesAreRefused) {
  const Bytes good = make_aaf();
  std::vector<Bytes> bad = {
      patched32(good, 0, 0x41414647),                      // magic
      patched16(good, 4, 0),                               // no ascent row
      patched16(good, 6, -1),                              // negative spacing
      patched16(good, 8, -3),                              // negative space width
      patched16(good, 10, -1),                             // negative leading
      patched16(good, entry('A'), -1),                     // negative width
      patched16(good, entry('A') + 2, 7),                  // taller than the ascent
      patched16(good, entry('A'), 400),                    // rows past the bitmap block
      patched32(good, entry('A') + 4, 0xFFFFFFF0),         // offset far beyond
      patched32(good, entry(255) + 4, uint32_t(good.size() - FM_BITMAP_START - 1)),
      patched16(patched16(good, 8, 5000), entry(' ') + 2, 1),  // the space drawn wider than its bytes
  };
  Bytes level = good;
  level[FM_BITMAP_START + 3] = 16;  // a level outside the blend table
  bad.push_back(level);
  for (size_t i = 0; i < bad.size(); ++i) {
    EXPECT_EQ(FMLoadFontMem(0, bad[i].data(), bad[i].size()), -1) << i;
    EXPECT_EQ(gFontCache[0].bitmap, nullptr) << i;
  }
  for (size_t n : {size_t(0), size_t(3), size_t(11), FM_BITMAP_START - 1, good.size() - 1})
    EXPECT_EQ(FMLoadFontMem(0, good.data(), n), -1) << n;
  EXPECT_EQ(FMLoadFontMem(0, nullptr, 0), -1);
  EXPECT_EQ(FMLoadFontMem(-1, good.data(), good.size()), -1);
}

TEST(FontManagerLoad, SwapReversesByteOrder) {
  uint8_t two[2] = {0x12, 0x34};
  Swap2(two);
  EXPECT_EQ(two[0], 0x34);
  EXPECT_EQ(two[1], 0x12);
  uint8_t four[4] = {1, 2, 3, 4};
  Swap4(four);
  EXPECT_EQ(four[0], 4);
  EXPECT_EQ(four[3], 1);
  EXPECT_EQ(four[1], 3);
}

// --- the fonts as a text manager: selecting, measuring, drawing ---

namespace {

// A palette of a 6 x 6 x 6 colour cube and a grey ramp, so that blends have colours to land on.
void cube_palette() {
  uint8_t pal[768] = {};
  for (int i = 0; i < 216; ++i) {
    pal[i * 3] = uint8_t(i / 36 * 51);
    pal[i * 3 + 1] = uint8_t(i / 6 % 6 * 51);
    pal[i * 3 + 2] = uint8_t(i % 6 * 51);
  }
  for (int i = 216; i < 256; ++i) pal[i * 3] = pal[i * 3 + 1] = pal[i * 3 + 2] = uint8_t((i - 216) * 255 / 39);
  ASSERT_EQ(colorBuildColorTable(pal, nullptr), 0);
}

Bytes file_bytes(const std::string& path) {
  Bytes b;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    int c;
    while ((c = std::fgetc(f)) != EOF) b.push_back(uint8_t(c));
    std::fclose(f);
  }
  return b;
}

// An archive holding the small font as font0 and font5 and DejaVu Sans 14 as font2, opened,
// with the manager started and registered.
struct Fonts : ::testing::Test {
  TempDir dir{"fontmgr_text"};
  void SetUp() override {
    cube_palette();
    const Bytes dejavu = file_bytes(golden_path("dejavu14.aaf"));
    ASSERT_FALSE(dejavu.empty());
    std::string err;
    ASSERT_TRUE(kit_build_archive(dir.file("f.dat"),
                                  {{"FONT0.AAF", make_aaf(), kit_pack_method::stored},
                                   {"FONT2.AAF", dejavu, kit_pack_method::lzss},
                                   {"FONT5.AAF", make_aaf(), kit_pack_method::stored}},
                                  err))
        << err;
    ASSERT_NE(db_init(dir.file("f.dat").c_str(), nullptr, nullptr), -1);
    ASSERT_EQ(FMInit(), 0);
    const text_manager m = FMtext_manager();
    ASSERT_EQ(text_add_manager(&m), 0);
  }
  void TearDown() override {
    VRK_text_exit();  // forgets the manager and the selection
    FMExit();
    db_exit();
  }
};

}  // namespace

TEST_F(Fonts, InitCountsTheLoadedFontsAndSelectsOnlyLoadedOnes) {
  EXPECT_EQ(gNumFonts, 3);
  EXPECT_EQ(FMtext_curr(), 0);
  text_font(101);  // an empty slot: nothing changes
  EXPECT_EQ(FMtext_curr(), 0);
  text_font(102);
  EXPECT_EQ(FMtext_curr(), 2);
  text_font(105);  // beyond the count of fonts, but loaded
  EXPECT_EQ(FMtext_curr(), 5);
  EXPECT_EQ(text_height(), 6 + 2);
  EXPECT_EQ(text_width("A A"), 4 + 1 + 3 + 1 + 4 + 1);
  EXPECT_EQ(text_max(), 4 + 1);
  EXPECT_EQ(text_mono_width("AAA"), 15);
  FMExit();
  EXPECT_EQ(FMtext_width("A"), 0);
  uint8_t buf[64] = {};
  EXPECT_EQ(FMtext_to_buf(buf, "A", 64, 8, 1), 0);
}

// Measuring agrees with drawing: a text drawn within exactly its measured width is drawn whole
// and touches no column at or past it; one pixel less loses the last character.
TEST_F(Fonts, MeasuringAgreesWithDrawing) {
  text_font(102);
  std::mt19937 rng(7);
  const int pitch = 400, h = text_height() + 1;
  for (int round = 0; round < 200; ++round) {
    std::string s;
    for (int n = 1 + int(rng() % 20); n > 0; --n) s += char(32 + rng() % 95);
    const bool mono = round % 2;
    const int width = mono ? text_mono_width(s.c_str()) : text_width(s.c_str());
    ASSERT_LT(width, pitch);
    std::vector<uint8_t> buf(size_t(pitch) * h, 0);
    const int color = 200 | (mono ? TEXT_MONO : 0);
    ASSERT_EQ(text_to_buf(buf.data(), s.c_str(), width, pitch, color), int(s.size())) << s;
    for (int y = 0; y < h; ++y)
      for (int x = width; x < pitch; ++x) ASSERT_EQ(buf[size_t(y) * pitch + x], 0) << s << " at " << x << "," << y;
    const int last = mono ? text_max() : FMtext_char_width(s.back()) + text_spacing();
    if (last > 0) {
      EXPECT_EQ(text_to_buf(buf.data(), s.c_str(), width - 1, pitch, color), int(s.size()) - 1) << s;
    }
  }
}

// DejaVu Sans 14 over four backgrounds: plain, shadowed, underlined and monospaced lines.
TEST_F(Fonts, SmoothTextOverBackgrounds) {
  text_font(102);
  const int w = 232, line = text_height(), h = line * 4;
  std::vector<uint8_t> pic(size_t(w) * h);
  const int backs[4] = {0, 215, 3 * 36 + 1 * 6 + 5, 230};
  for (int band = 0; band < 4; ++band)
    for (int x = 0; x < w; ++x)
      for (int y = 0; y < h; ++y)
        if (x / 58 == band) pic[size_t(y) * w + x] = uint8_t(backs[band]);
  const int flags[4] = {0, TEXT_SHADOW, TEXT_UNDERLINE, TEXT_MONO};
  const int colours[4] = {255, 5 * 36, 30, 216};
  for (int i = 0; i < 4; ++i)
    text_to_buf(pic.data() + size_t(i) * line * w, "Setup: Gaqjy 1.0!", w - 1, w, colours[i] | flags[i]);
  EXPECT_TRUE(golden_picture("fontmgr_dejavu14.hex", pic.data(), w, h, w));
}
