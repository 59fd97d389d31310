// PCX loader: packing of padded lines, runs across lines, the palette marker, damaged files, and
// pictures written by another program decoded to the same pixels that program reads back.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "archive_util.h"
#include "kit/build.h"
#include "db/db.h"
#include "base/memdbg.h"
#include "base/pcx.h"
#include "tests/support/tempdir.h"

using archive_util::Bytes;

namespace {

// A 128-byte header: version 5, 8 bits, one plane unless told otherwise.
Bytes header(int xmin, int ymin, int xmax, int ymax, int bpl, int planes = 1, int version = 5) {
  Bytes h(128, 0);
  h[0] = 10;
  h[1] = uint8_t(version);
  h[2] = 1;
  h[3] = 8;
  auto put = [&](int at, int v) {
    h[at] = uint8_t(v);
    h[at + 1] = uint8_t(v >> 8);
  };
  put(4, xmin);
  put(6, ymin);
  put(8, xmax);
  put(10, ymax);
  h[65] = uint8_t(planes);
  put(66, bpl);
  return h;
}

Bytes with(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes palette(uint8_t seed) {
  Bytes p(769);
  p[0] = 12;
  for (int k = 0; k < 768; ++k) p[k + 1] = uint8_t(k * 3 + seed);
  return p;
}

struct Decoded {
  bool ok = false;
  int w = -1, h = -1;
  Bytes pixels;
  std::array<uint8_t, 768> pal{};
};

Decoded decode(const Bytes& file, uint8_t fill = 0xEE) {
  Decoded d;
  d.pal.fill(fill);
  uint8_t* px = pcxDecode(file.data(), file.size(), &d.w, &d.h, d.pal.data());
  if (px) {
    d.ok = true;
    d.pixels.assign(px, px + size_t(d.w) * d.h);
    MYFREE(px, "pcx");
  }
  return d;
}

TEST(Pcx, PaddedLinesArePacked) {
  // Width 3, 4 bytes per line: the fourth byte of each line is padding.
  Bytes data = {1, 2, 3, 0x3F, 4, 5, 6, 0x3F};
  Decoded d = decode(with(with(header(0, 0, 2, 1, 4), data), palette(1)));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.w, 3);
  EXPECT_EQ(d.h, 2);
  EXPECT_EQ(d.pixels, (Bytes{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(d.pal[0], 1);
  EXPECT_EQ(d.pal[767], uint8_t(767 * 3 + 1));
}

TEST(Pcx, OffsetRectangleAndLiteralsAboveTheRunMark) {
  // xmin/ymin not zero; a pixel of value 0xC7 must be stored as a run of one.
  Bytes data = {0xC1, 0xC7, 9, 0xC2, 0xFF};
  Decoded d = decode(with(with(header(10, 20, 11, 21, 2), data), palette(0)));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.w, 2);
  EXPECT_EQ(d.h, 2);
  EXPECT_EQ(d.pixels, (Bytes{0xC7, 9, 0xFF, 0xFF}));
}

TEST(Pcx, RunCarriesIntoTheNextLine) {
  // Width 3 (no padding): 2 literals, then C5 07 = five 7s: one ends line 1, four run on into
  // line 2, which has room for three; the rest is never needed.
  Bytes data = {1, 2, 0xC5, 7, 8};
  Decoded d = decode(with(with(header(0, 0, 2, 1, 3), data), palette(0)));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.pixels, (Bytes{1, 2, 7, 7, 7, 7}));
  // With padding: width 3, 4 per line; the run fills 3 pixels of line 1 (one of them padding)
  // and continues at the start of line 2.
  Bytes data2 = {1, 0xC5, 7, 8, 9};
  Decoded e = decode(with(with(header(0, 0, 2, 1, 4), data2), palette(0)));
  ASSERT_TRUE(e.ok);
  EXPECT_EQ(e.pixels, (Bytes{1, 7, 7, 7, 7, 8}));
}

TEST(Pcx, EmptyRunsWriteNothing) {
  Bytes data = {0xC0, 5, 1, 2};
  Decoded d = decode(with(header(0, 0, 1, 0, 2), data));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.pixels, (Bytes{1, 2}));
}

TEST(Pcx, PaletteOnlyForVersionFiveWithTheMarker) {
  Bytes data = {1, 2};
  Bytes pal = palette(5);
  pal[0] = 11;  // not the marker
  Decoded d = decode(with(with(header(0, 0, 1, 0, 2), data), pal));
  ASSERT_TRUE(d.ok);
  for (uint8_t v : d.pal) ASSERT_EQ(v, 0xEE);
  Decoded v3 = decode(with(with(header(0, 0, 1, 0, 2, 1, 3), data), palette(5)));
  ASSERT_TRUE(v3.ok);
  for (uint8_t v : v3.pal) ASSERT_EQ(v, 0xEE);
  // Shorter than header plus palette: the picture loads, the palette is left alone.
  Decoded shortfile = decode(with(header(0, 0, 1, 0, 2), Bytes{0xC2, 3}));
  ASSERT_TRUE(shortfile.ok);
  EXPECT_EQ(shortfile.pixels, (Bytes{3, 3}));
  for (uint8_t v : shortfile.pal) ASSERT_EQ(v, 0xEE);
  // A null palette output is allowed.
  Bytes f = with(with(header(0, 0, 1, 0, 2), data), palette(5));
  int w, h;
  uint8_t* px = pcxDecode(f.data(), f.size(), &w, &h, nullptr);
  ASSERT_NE(px, nullptr);
  MYFREE(px, "pcx");
}

TEST(Pcx, DamagedFilesGiveNull) {
  const Bytes good = with(with(header(0, 0, 2, 1, 4), Bytes{1, 2, 3, 0, 4, 5, 6, 0}), palette(0));
  ASSERT_TRUE(decode(good).ok);
  std::vector<std::pair<std::string, Bytes>> bad = {
      {"empty", {}},
      {"short header", Bytes(good.begin(), good.begin() + 127)},
      {"header only", header(0, 0, 2, 1, 4)},
      {"data ends inside line 2", with(header(0, 0, 2, 1, 4), Bytes{1, 2, 3, 0, 4, 5})},
      {"run without its value", with(header(0, 0, 2, 1, 4), Bytes{1, 2, 3, 0, 4, 5, 6, 0xC1})},
      {"bytes per line below width", with(with(header(0, 0, 2, 1, 2), Bytes{1, 2, 3, 4}), palette(0))},
      {"no planes", with(with(header(0, 0, 2, 1, 4, 0), Bytes{1, 2, 3, 4}), palette(0))},
      {"inverted x", with(header(5, 0, 4, 0, 4), Bytes(8, 1))},
      {"inverted y", with(header(0, 5, 0, 4, 4), Bytes(8, 1))},
      // 65536 x 65536 from a few bytes: refused before anything is allocated.
      {"huge", with(with(header(0, 0, 65535, 65535, 65535, 255), Bytes{0xFF, 1}), palette(0))},
  };
  for (auto& [name, file] : bad) {
    Decoded d = decode(file);
    EXPECT_FALSE(d.ok) << name;
    EXPECT_EQ(d.w, 0) << name;
    EXPECT_EQ(d.h, 0) << name;
    for (uint8_t v : d.pal) ASSERT_EQ(v, 0xEE) << name;
  }
  EXPECT_EQ(pcxDecode(nullptr, 10, nullptr, nullptr, nullptr), nullptr);
}

TEST(Pcx, RandomDamageStaysInBounds) {
  // Truncations and byte flips of a valid file: null or a complete picture, never a fault.
  std::mt19937 rng(5);
  Bytes data;
  for (int k = 0; k < 300; ++k) data.push_back(uint8_t(rng() % 3 == 0 ? 0xC0 | (rng() % 64) : rng() % 192));
  const Bytes good = with(with(header(0, 0, 20, 9, 22), data), palette(2));
  for (int n = 0; n < 400; ++n) {
    Bytes f = good;
    if (n % 2) f.resize(rng() % f.size());
    for (int k = 0; k < 3; ++k) f[rng() % f.size()] = uint8_t(rng());
    Decoded d = decode(f);
    if (d.ok) {
      EXPECT_EQ(d.pixels.size(), size_t(d.w) * d.h);
    }
  }
}

// Pictures written by ImageMagick ("convert in -colors 256 out.pcx") with ImageMagick's own
// decoding of them ("convert out.pcx rgb:out.rgb"): the loader must give the same colours.
TEST(Pcx, PicturesFromAnotherProgramMatchItsDecoding) {
  for (const char* name : {"magick_plasma", "magick_rose"}) {
    Bytes file = archive_util::read_file(std::string(TEST_DATA_DIR) + "/" + name + ".pcx");
    Bytes want = archive_util::read_file(std::string(TEST_DATA_DIR) + "/" + name + ".rgb");
    ASSERT_FALSE(file.empty()) << name;
    Decoded d = decode(file);
    ASSERT_TRUE(d.ok) << name;
    ASSERT_EQ(want.size(), size_t(d.w) * d.h * 3) << name;
    for (size_t k = 0; k < d.pixels.size(); ++k) {
      for (int c = 0; c < 3; ++c) ASSERT_EQ(d.pal[d.pixels[k] * 3 + c], want[k * 3 + c]) << name << " pixel " << k;
    }
  }
}

class PcxFile : public ::testing::Test {
 protected:
  TempDir dir{"pcx"};
  void TearDown() override { db_exit(); }
};

TEST_F(PcxFile, LoadsThroughTheArchive) {
  const Bytes file = with(with(header(0, 0, 2, 1, 4), Bytes{1, 2, 3, 0, 0xC4, 9}), palette(3));
  std::string error;
  const std::string arc = dir.file("x.dat");
  ASSERT_TRUE(kit_build_archive(arc, {{"ART\\LOGO.PCX", file}, {"BAD.PCX", Bytes(file.begin(), file.begin() + 130)}}, error))
      << error;
  ASSERT_GE(db_init(arc.c_str(), nullptr, nullptr), 0);
  int w = 0, h = 0;
  std::array<uint8_t, 768> pal{};
  uint8_t* px = loadPCX("art\\logo.pcx", &w, &h, pal.data());
  ASSERT_NE(px, nullptr);
  EXPECT_EQ(Bytes(px, px + 6), (Bytes{1, 2, 3, 9, 9, 9}));
  EXPECT_EQ(pal[1], 6);
  MYFREE(px, "pcx");
  EXPECT_EQ(loadPCX("BAD.PCX", &w, &h, pal.data()), nullptr);
  EXPECT_EQ(loadPCX("MISSING.PCX", &w, &h, pal.data()), nullptr);
  EXPECT_EQ(loadPCX(nullptr, &w, &h, pal.data()), nullptr);
}

}  // namespace
