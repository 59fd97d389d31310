// setupkit's picture and palette converters, end to end (host builds only): PNG -> PCX -> PNG
// keeps the pixels of a palette picture, colour files are read back by the colour system, and
// transparency and errors behave as documented.
#include <gtest/gtest.h>

#if !defined(_WIN32) && defined(SETUPKIT_EXE)

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "color/color.h"
#include "base/memdbg.h"
#include "base/pcx.h"
#include "tests/support/files.h"
#include "tests/support/run_tool.h"
#include "tests/support/tempdir.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes slurp(const fs::path& p) {
  const std::string s = read_whole_file(p);
  return Bytes(s.begin(), s.end());
}

void spill(const fs::path& p, const Bytes& b) {
  std::ofstream f(p, std::ios::binary);
  f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

void le16(Bytes& b, unsigned v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void le32(Bytes& b, uint32_t v) {
  le16(b, v & 0xFFFF);
  le16(b, v >> 16);
}

// An uncompressed bottom-up BMP of 8 (with palette), 24 or 32 bits.
Bytes bmp(int w, int h, int bpp, const std::vector<std::array<uint8_t, 3>>& rgb, const Bytes& index = {},
          const std::vector<std::array<uint8_t, 3>>& pal = {}) {
  const int stride = (w * bpp / 8 + 3) & ~3;
  const uint32_t palbytes = bpp == 8 ? uint32_t(pal.size() * 4) : 0;
  const uint32_t at = 54 + palbytes;
  Bytes b = {'B', 'M'};
  le32(b, at + uint32_t(stride * h));
  le32(b, 0);
  le32(b, at);
  le32(b, 40);
  le32(b, uint32_t(w));
  le32(b, uint32_t(h));
  le16(b, 1);
  le16(b, unsigned(bpp));
  le32(b, 0);
  le32(b, uint32_t(stride * h));
  le32(b, 2835);
  le32(b, 2835);
  le32(b, bpp == 8 ? uint32_t(pal.size()) : 0);
  le32(b, 0);
  for (auto& c : pal) b.insert(b.end(), {c[2], c[1], c[0], 0});
  for (int y = h - 1; y >= 0; --y) {
    Bytes row;
    for (int x = 0; x < w; ++x) {
      const size_t k = size_t(y) * w + x;
      if (bpp == 8) {
        row.push_back(index[k]);
      } else {
        row.insert(row.end(), {rgb[k][2], rgb[k][1], rgb[k][0]});
        if (bpp == 32) row.push_back(0);
      }
    }
    row.resize(size_t(stride), 0);
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

struct Pcx {
  int w = 0, h = 0;
  Bytes px;
  std::array<uint8_t, 768> pal{};
};

bool readPcx(const fs::path& p, Pcx& out) {
  Bytes f = slurp(p);
  uint8_t* px = pcxDecode(f.data(), f.size(), &out.w, &out.h, out.pal.data());
  if (!px) return false;
  out.px.assign(px, px + size_t(out.w) * out.h);
  MYFREE(px, "pcx");
  // What the converter writes: version 5, one 8-bit plane, RLE, even bytes per line.
  EXPECT_EQ(f[1], 5);
  EXPECT_EQ(f[2], 1);
  EXPECT_EQ(f[3], 8);
  EXPECT_EQ(f[65], 1);
  EXPECT_EQ((f[66] | f[67] << 8) % 2, 0);
  EXPECT_EQ(f[f.size() - 769], 12);
  return true;
}

class KitImage : public ::testing::Test {
 protected:
  TempDir scratch{"kit_image_test"};
  fs::path dir = scratch.path;
  std::string err;

  void SetUp() override {
    colorRegisterAlloc(nullptr, nullptr, nullptr);
    colorInitIO(nullptr, nullptr, nullptr);
  }
  // Runs setupkit with the arguments of `line` in the test directory; its error output is kept in `err`.
  int kit(const std::string& line) {
    ToolResult r = run_setupkit(line, dir);
    err = r.err;
    return r.status;
  }
  fs::path at(const std::string& n) const { return dir / n; }
};

// A 9x5 palette picture (BMP, 8-bit) with 40 colours: pcx keeps its palette and indices, png
// converts back, and a second pcx of that PNG is the same picture.
TEST_F(KitImage, PaletteRoundTripKeepsPixels) {
  std::vector<std::array<uint8_t, 3>> pal;
  for (int i = 0; i < 40; ++i) pal.push_back({uint8_t(i * 6), uint8_t(255 - i * 5), uint8_t(i * 37)});
  Bytes idx;
  for (int k = 0; k < 45; ++k) idx.push_back(uint8_t((k * 7 + k / 9) % 40));
  // Long runs too, crossing the run limit of 63.
  spill(at("in.bmp"), bmp(9, 5, 8, {}, idx, pal));
  ASSERT_EQ(kit("pcx in.bmp -o a.pcx"), 0) << err;
  Pcx a;
  ASSERT_TRUE(readPcx(at("a.pcx"), a));
  EXPECT_EQ(a.w, 9);
  EXPECT_EQ(a.h, 5);
  EXPECT_EQ(a.px, idx);
  for (int i = 0; i < 40; ++i)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(a.pal[i * 3 + c], pal[i][c]);

  ASSERT_EQ(kit("png a.pcx -o b.png"), 0) << err;
  ASSERT_EQ(kit("pcx b.png -o c.pcx"), 0) << err;
  Pcx c;
  ASSERT_TRUE(readPcx(at("c.pcx"), c));
  EXPECT_EQ(c.px, a.px);
  EXPECT_EQ(c.pal, a.pal);
}

TEST_F(KitImage, WideRunsAndOddWidths) {
  std::vector<std::array<uint8_t, 3>> pal = {{0, 0, 0}, {255, 255, 255}, {200, 10, 10}, {0xC0, 0xC1, 0xC2}};
  Bytes idx(201 * 3, 1);
  for (size_t k = 0; k < idx.size(); k += 50) idx[k] = 3;
  idx.back() = 2;
  spill(at("w.bmp"), bmp(201, 3, 8, {}, idx, pal));
  ASSERT_EQ(kit("pcx w.bmp -o w.pcx"), 0) << err;
  Pcx p;
  ASSERT_TRUE(readPcx(at("w.pcx"), p));
  EXPECT_EQ(p.px, idx);
}

TEST_F(KitImage, PaletteFileIsReadByTheColourSystem) {
  Bytes raw(768);
  for (int k = 0; k < 768; ++k) raw[k] = uint8_t(k * 7);
  spill(at("pal.raw"), raw);
  ASSERT_EQ(kit("palette pal.raw -o plain.pal"), 0) << err;
  ASSERT_EQ(kit("palette pal.raw -o color.pal --tables"), 0) << err;
  EXPECT_EQ(fs::file_size(at("plain.pal")), COLOR_FILE_UNTAGGED);
  EXPECT_EQ(fs::file_size(at("color.pal")), COLOR_FILE_TAGGED);

  ASSERT_EQ(colorBuildColorTable(raw.data(), nullptr), 0);
  Bytes table(colorTable, colorTable + 32768), pal6(cmap, cmap + 768);
  Bytes inten(&intensityColorTable[0][0], &intensityColorTable[0][0] + 65536);
  Bytes add(&colorMixAddTable[0][0], &colorMixAddTable[0][0] + 65536);
  std::memset(colorTable, 0, sizeof colorTable);
  std::memset(intensityColorTable, 0, sizeof intensityColorTable);
  std::memset(colorMixAddTable, 0, sizeof colorMixAddTable);

  ASSERT_EQ(loadColorTable(at("color.pal").string().c_str()), 1) << colorError();
  EXPECT_EQ(Bytes(colorTable, colorTable + 32768), table);
  EXPECT_EQ(Bytes(cmap, cmap + 768), pal6);
  EXPECT_EQ(Bytes(&intensityColorTable[0][0], &intensityColorTable[0][0] + 65536), inten);
  EXPECT_EQ(Bytes(&colorMixAddTable[0][0], &colorMixAddTable[0][0] + 65536), add);
  std::memset(intensityColorTable, 0, sizeof intensityColorTable);
  ASSERT_EQ(loadColorTable(at("plain.pal").string().c_str()), 1) << colorError();
  EXPECT_EQ(Bytes(&intensityColorTable[0][0], &intensityColorTable[0][0] + 65536), inten);

  // The palette of a PCX gives the same file.
  std::vector<std::array<uint8_t, 3>> pal;
  for (int i = 0; i < 256; ++i) pal.push_back({raw[i * 3], raw[i * 3 + 1], raw[i * 3 + 2]});
  spill(at("p.bmp"), bmp(2, 1, 8, {}, Bytes{0, 255}, pal));
  ASSERT_EQ(kit("pcx p.bmp -o p.pcx"), 0) << err;
  ASSERT_EQ(kit("palette p.pcx -o frompcx.pal --tables"), 0) << err;
  EXPECT_EQ(slurp(at("frompcx.pal")), slurp(at("color.pal")));
}

TEST_F(KitImage, TrueColourThroughAPalette) {
  // A grey ramp palette; a 24-bit and a 32-bit picture map to the nearest grey.
  Bytes raw(768);
  for (int i = 0; i < 256; ++i) raw[i * 3] = raw[i * 3 + 1] = raw[i * 3 + 2] = uint8_t(i);
  spill(at("grey.raw"), raw);
  ASSERT_EQ(kit("palette grey.raw -o grey.pal"), 0) << err;
  ASSERT_EQ(loadColorTable(at("grey.pal").string().c_str()), 1);
  std::vector<std::array<uint8_t, 3>> rgb;
  for (int k = 0; k < 12; ++k) rgb.push_back({uint8_t(k * 20), uint8_t(k * 20), uint8_t(k * 20)});
  for (int bpp : {24, 32}) {
    spill(at("t.bmp"), bmp(4, 3, bpp, rgb));
    ASSERT_EQ(kit("pcx t.bmp -o t.pcx --palette grey.pal"), 0) << err;
    Pcx p;
    ASSERT_TRUE(readPcx(at("t.pcx"), p));
    for (int k = 0; k < 12; ++k) {
      EXPECT_EQ(p.px[k], colorTable[((rgb[k][0] >> 3) << 10) | ((rgb[k][1] >> 3) << 5) | (rgb[k][2] >> 3)]) << k;
      // The written palette is the colour file's, widened to 8 bits.
      EXPECT_EQ(p.pal[p.px[k] * 3] >> 2, cmap[p.px[k] * 3]);
    }
  }
}

TEST_F(KitImage, TransparentKeepsZeroForTransparencyOnly) {
  Bytes raw(768);
  for (int i = 0; i < 256; ++i) raw[i * 3] = raw[i * 3 + 1] = raw[i * 3 + 2] = uint8_t(i);
  raw[0] = raw[1] = raw[2] = 4;  // the centre of the darkest cell: black maps to entry 0
  spill(at("grey.raw"), raw);
  ASSERT_EQ(kit("palette grey.raw -o grey.pal"), 0) << err;
  // Black pixels map to entry 0: with --transparent they must not.
  std::vector<std::array<uint8_t, 3>> rgb(6, {0, 0, 0});
  rgb[5] = {255, 255, 255};
  spill(at("k.bmp"), bmp(3, 2, 24, rgb));
  ASSERT_EQ(kit("pcx k.bmp -o plain.pcx --palette grey.pal"), 0) << err;
  ASSERT_EQ(kit("pcx k.bmp -o t.pcx --palette grey.pal --transparent"), 0) << err;
  Pcx plain, t;
  ASSERT_TRUE(readPcx(at("plain.pcx"), plain));
  ASSERT_TRUE(readPcx(at("t.pcx"), t));
  EXPECT_EQ(plain.px[0], 0);
  for (uint8_t v : t.px) EXPECT_NE(v, 0);
  EXPECT_EQ(t.pal[0], 4);  // entry 0 itself is still the palette's (6-bit 1, widened to 4)

  // A palette picture whose first entry is opaque: that colour moves off 0.
  std::vector<std::array<uint8_t, 3>> pal = {{10, 20, 30}, {40, 50, 60}};
  spill(at("p.bmp"), bmp(2, 1, 8, {}, Bytes{0, 1}, pal));
  ASSERT_EQ(kit("pcx p.bmp -o p.pcx --transparent"), 0) << err;
  Pcx p;
  ASSERT_TRUE(readPcx(at("p.pcx"), p));
  ASSERT_NE(p.px[0], 0);
  EXPECT_EQ(p.pal[p.px[0] * 3], 10);
  EXPECT_EQ(p.pal[p.px[1] * 3], 40);
}

TEST_F(KitImage, ErrorsAndUsage) {
  EXPECT_EQ(kit("pcx missing.png -o x.pcx"), 1);
  EXPECT_NE(err.find("setupkit: missing.png: "), std::string::npos) << err;
  spill(at("junk.png"), Bytes(100, 7));
  EXPECT_EQ(kit("pcx junk.png -o x.pcx"), 1);
  EXPECT_NE(err.find("setupkit: junk.png: "), std::string::npos) << err;
  EXPECT_EQ(kit("png junk.png -o x.png"), 1);
  EXPECT_EQ(kit("palette junk.png -o x.pal"), 1);
  EXPECT_FALSE(fs::exists(at("x.pcx")));
  EXPECT_FALSE(fs::exists(at("x.pal")));
  // A true-colour picture of more than 256 colours needs a palette.
  std::vector<std::array<uint8_t, 3>> rgb;
  for (int k = 0; k < 300; ++k) rgb.push_back({uint8_t(k), uint8_t(k / 2), uint8_t(k % 7)});
  spill(at("many.bmp"), bmp(300, 1, 24, rgb));
  EXPECT_EQ(kit("pcx many.bmp -o x.pcx"), 1);
  EXPECT_EQ(kit("pcx many.bmp -o x.pcx --palette nothere.pal"), 1);
  EXPECT_NE(err.find("nothere.pal"), std::string::npos) << err;

  EXPECT_EQ(kit("pcx"), 2);
  EXPECT_EQ(kit("pcx a.png"), 2);
  EXPECT_EQ(kit("pcx a.png -o"), 2);
  EXPECT_EQ(kit("pcx a.png -o b.pcx --bogus"), 2);
  EXPECT_EQ(kit("palette -o x.pal"), 2);
  EXPECT_EQ(kit("png a.pcx b.pcx -o x.png"), 2);
  EXPECT_EQ(kit("pcx --help"), 0);
  EXPECT_EQ(kit("palette --help"), 0);
  EXPECT_EQ(kit("png --help"), 0);
}

}  // namespace

#endif
