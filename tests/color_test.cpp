// Colour system: inverse table, colour files, derived tables, blend references, palette stack,
// gamma, fades and the palette handed to the display.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "color/color.h"
#include "tests/support/tempdir.h"
#include "vrk/svga.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

// 216-colour cube plus a grey ramp and a few pure colours, 8-bit components.
std::array<uint8_t, 768> testPalette() {
  std::array<uint8_t, 768> p{};
  int i = 0;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b, ++i) {
        p[i * 3] = uint8_t(r * 51);
        p[i * 3 + 1] = uint8_t(g * 51);
        p[i * 3 + 2] = uint8_t(b * 51);
      }
  for (; i < 256; ++i) {
    int v = (i - 216) * 6 + 8;
    p[i * 3] = p[i * 3 + 1] = p[i * 3 + 2] = uint8_t(v);
  }
  return p;
}

std::array<uint8_t, 768> randomPalette(unsigned seed) {
  std::mt19937 rng(seed);
  std::array<uint8_t, 768> p{};
  for (auto& v : p) v = uint8_t(rng());
  return p;
}

// The inverse table the walk must produce: every cell takes the palette entry of least distance,
// measured from the cell's centre, where each entry's distances are offset so that its own cell
// has the weighted distance; equal distances keep the lower index.
std::vector<uint8_t> referenceTable(const std::array<uint8_t, 768>& p, const uint8_t* skip) {
  std::vector<uint8_t> out(32768, 0);
  std::vector<int64_t> best(32768, INT64_MAX);
  for (int i = 0; i < 256; ++i) {
    if (skip && skip[i]) continue;
    int c[3], cell[3];
    int64_t own = 0, weighted = 0;
    for (int k = 0; k < 3; ++k) {
      c[k] = p[i * 3 + k];
      cell[k] = c[k] >> 3;
      int off = c[k] - (cell[k] * 8 + 4);
      own += off * off;
    }
    int ro = c[0] - (cell[0] * 8 + 4), go = c[1] - (cell[1] * 8 + 4), bo = c[2] - (cell[2] * 8 + 4);
    weighted = (ro * ro) / 9 + (go * go) / 36 + bo * bo;
    for (int r = 0; r < 32; ++r)
      for (int g = 0; g < 32; ++g)
        for (int b = 0; b < 32; ++b) {
          int64_t dr = r * 8 + 4 - c[0], dg = g * 8 + 4 - c[1], db = b * 8 + 4 - c[2];
          int64_t d = dr * dr + dg * dg + db * db - own + weighted;
          int at = (r << 10) + (g << 5) + b;
          if (d < best[at]) {
            best[at] = d;
            out[at] = uint8_t(i);
          }
        }
  }
  return out;
}

// A file in a temporary directory of its own.
struct TempFile {
  TempDir dir{"color_test"};
  fs::path path;
  explicit TempFile(const std::string& name) : path(dir.path / name) {}
  void write(const Bytes& b) const {
    FILE* f = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!b.empty()) std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
  }
  std::string name() const { return path.string(); }
};

// An untagged colour file: the given 6-bit palette and the current colorTable.
Bytes untaggedFile(const uint8_t* pal6) {
  Bytes b(768 + 32768);  // sized first: appending to a 768-byte vector draws a false -Warray-bounds (mingw g++ 12)
  std::copy(pal6, pal6 + 768, b.begin());
  std::copy(colorTable, colorTable + 32768, b.begin() + 768);
  return b;
}

Bytes taggedFile() {
  Bytes b = untaggedFile(cmap);
  b.insert(b.end(), COLOR_FILE_TAG, COLOR_FILE_TAG + 4);
  const uint8_t* t[3] = {&intensityColorTable[0][0], &colorMixAddTable[0][0], &colorMixMulTable[0][0]};
  for (auto* p : t) b.insert(b.end(), p, p + 65536);
  return b;
}

class ColorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    colorRegisterAlloc(nullptr, nullptr, nullptr);
    colorInitIO(nullptr, nullptr, nullptr);
    colorSetNameMangler(nullptr);
    VRK95_hook_color();
    auto p = testPalette();
    ASSERT_EQ(colorBuildColorTable(p.data(), nullptr), 0);
  }
  void TearDown() override {
    while (tos > 0) colorPopColorPalette();
    for (int i = 0; i < 256; ++i)
      while (blendTable[i]) freeColorBlendTable(i);
    colorGamma(1.0);
  }
};

// --- inverse table ---

// The walk follows each entry's cells row by row and stops a row at the first cell it does not
// improve: a region whose cells are not contiguous along a row (a thin diagonal sliver) can lose its
// far cells to a neighbour. That happens on a handful of cells of a random palette, never on
// well-separated colours, so the comparison allows a few such cells and no more.
TEST_F(ColorTest, BuildMatchesExhaustiveSearchOnSeveralPalettes) {
  std::array<std::array<uint8_t, 768>, 4> palettes = {testPalette(), randomPalette(1), randomPalette(2), {}};
  // The last one has many duplicates and clusters: the lower index must win ties.
  for (int i = 0; i < 256; ++i)
    for (int k = 0; k < 3; ++k) palettes[3][i * 3 + k] = uint8_t((i % 7) * 40 + k);
  for (size_t n = 0; n < palettes.size(); ++n) {
    ASSERT_EQ(colorBuildColorTable(palettes[n].data(), nullptr), 0);
    auto want = referenceTable(palettes[n], nullptr);
    int wrong = 0;
    for (int c = 0; c < 32768; ++c) wrong += colorTable[c] != want[c];
    if (n == 0 || n == 3)
      EXPECT_EQ(wrong, 0) << "palette " << n;
    else
      EXPECT_LE(wrong, 8) << "palette " << n;
  }
}

TEST_F(ColorTest, BuildStoresSixBitPaletteAndHonoursSkipFlags) {
  auto p = randomPalette(7);
  uint8_t skip[256] = {};
  skip[0] = skip[5] = skip[255] = 1;
  ASSERT_EQ(colorBuildColorTable(p.data(), skip), 0);
  for (int i = 0; i < 256; ++i) {
    if (skip[i]) {
      EXPECT_EQ(colorMappedColor(i), 0);
      EXPECT_EQ(cmap[i * 3] | cmap[i * 3 + 1] | cmap[i * 3 + 2], 0);
    } else {
      EXPECT_EQ(colorMappedColor(i), 1);
      for (int k = 0; k < 3; ++k) EXPECT_EQ(cmap[i * 3 + k], p[i * 3 + k] >> 2);
    }
  }
  auto want = referenceTable(p, skip);
  int wrong = 0;
  for (int c = 0; c < 32768; ++c) {
    wrong += colorTable[c] != want[c];
    ASSERT_FALSE(skip[colorTable[c]]) << c;
  }
  EXPECT_LE(wrong, 8);
}

TEST_F(ColorTest, FifteenBitConversions) {
  EXPECT_EQ(colorRGB15(31, 0, 0), 0x7C00);
  EXPECT_EQ(colorRGB15(0, 31, 0), 0x03E0);
  EXPECT_EQ(colorFloat15(1.0f, 0.5f, 0.0f), colorRGB15(31, 15, 0));
  EXPECT_EQ(colorFloat15(2.0f, -1.0f, 0.0f), colorRGB15(31, 0, 0));
  // Entry 215 of the cube is white (255, 255, 255) -> 6-bit 63 -> 5-bit 31.
  EXPECT_EQ(Index2RGB(215), 0x7FFF);
  EXPECT_EQ(Color2RGB(215), 0x7FFF);
  EXPECT_EQ(RGB2Index(0x7FFF), 215);
  EXPECT_EQ(RGB2Index(0), 0);
  EXPECT_EQ(RGB2Index(0x8000 | 0x7FFF), 215);  // masked to 15 bits
}

// --- derived tables ---

TEST_F(ColorTest, IntensityColumns) {
  const int red = RGB2Index(colorRGB15(31, 0, 0));
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(calculateColor(65536, c), intensityColorTable[c][128]);
    EXPECT_EQ(calculateColor(0, c), intensityColorTable[c][0]);
    EXPECT_EQ(intensityColorTable[c][0], RGB2Index(0));
  }
  EXPECT_EQ(calculateColor(65536, red), red);
  EXPECT_EQ(intensityColorTable[red][255], RGB2Index(colorRGB15(31, 30, 30)));
  // Out-of-range intensities are clamped to the table.
  EXPECT_EQ(calculateColor(-5, red), intensityColorTable[red][0]);
  EXPECT_EQ(calculateColor(1 << 20, red), intensityColorTable[red][255]);
  // Column 64 is half the colour: (31 * 32768) >> 16 = 15.
  EXPECT_EQ(intensityColorTable[red][64], RGB2Index(colorRGB15(15, 0, 0)));
}

TEST_F(ColorTest, MixTables) {
  const int red = RGB2Index(colorRGB15(31, 0, 0));
  const int blue = RGB2Index(colorRGB15(0, 0, 31));
  EXPECT_EQ(colorMixAdd(red, red), intensityColorTable[red][159]);
  EXPECT_EQ(colorMixAdd(red, blue), RGB2Index(colorRGB15(31, 0, 31)));
  EXPECT_EQ(colorMixMul(red, blue), RGB2Index(0));
  const int white = 215;
  EXPECT_EQ(colorMixMul(red, white), RGB2Index(colorRGB15((31 * 31) >> 5, 0, 0)));
}

TEST_F(ColorTest, MixWithUnusableEntries) {
  auto p = testPalette();
  uint8_t skip[256] = {};
  skip[3] = skip[4] = 1;
  ASSERT_EQ(colorBuildColorTable(p.data(), skip), 0);
  EXPECT_EQ(colorMixAdd(3, 100), 100);
  EXPECT_EQ(colorMixMul(3, 100), 100);
  EXPECT_EQ(colorMixAdd(100, 3), 100);
  EXPECT_EQ(colorMixAdd(3, 4), 3);
  for (int k = 0; k < 256; ++k) EXPECT_EQ(intensityColorTable[3][k], 0);
}

TEST_F(ColorTest, BlendTableRowsAndReferences) {
  int frees = 0;
  static int* counter;
  counter = &frees;
  colorRegisterAlloc([](size_t n) { return std::malloc(n); }, [](void* p, size_t n) { return std::realloc(p, n); },
                     [](void* p) {
                       ++*counter;
                       std::free(p);
                     });
  const int c = RGB2Index(colorRGB15(31, 0, 0));
  uint8_t* t = getColorBlendTable(c);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(blendTable[c], t);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(t[i], i);
    EXPECT_EQ(t[7 * 256 + i], c);
  }
  const int cols[8] = {127, 146, 164, 182, 201, 219, 237, 255};
  for (int r = 8; r < 16; ++r)
    for (int i = 0; i < 256; ++i) ASSERT_EQ(t[r * 256 + i], intensityColorTable[c][cols[r - 8]]);
  // Row 1 over black: one seventh of the way to red, 31/7 = 4.
  EXPECT_EQ(t[256 + 0], RGB2Index(colorRGB15(4, 0, 0)));

  EXPECT_EQ(getColorBlendTable(c), t);
  freeColorBlendTable(c);
  EXPECT_EQ(blendTable[c], t);
  EXPECT_EQ(frees, 0);
  freeColorBlendTable(c);
  EXPECT_EQ(blendTable[c], nullptr);
  EXPECT_EQ(frees, 1);
  freeColorBlendTable(c);  // nothing left: ignored
  EXPECT_EQ(getColorBlendTable(-1), nullptr);
  EXPECT_EQ(getColorBlendTable(256), nullptr);
}

TEST_F(ColorTest, BlendTablesFollowAPaletteChange) {
  const int c = 200;
  uint8_t* t = getColorBlendTable(c);
  ASSERT_NE(t, nullptr);
  Bytes before(t, t + 4096);
  auto p = randomPalette(3);
  ASSERT_EQ(colorBuildColorTable(p.data(), nullptr), 0);
  EXPECT_EQ(blendTable[c], t);                 // rebuilt in place
  EXPECT_NE(Bytes(t, t + 4096), before);       // for the new palette
  const int want7 = RGB2Index(Index2RGB(c));
  for (int i = 0; i < 256; ++i) EXPECT_EQ(t[7 * 256 + i], want7);
  colorsClose();  // drops the one reference
  EXPECT_EQ(blendTable[c], nullptr);
}

TEST_F(ColorTest, AllocationFailureLeavesTablesAndReportsOne) {
  Bytes saved(colorTable, colorTable + 32768);
  colorRegisterAlloc([](size_t) -> void* { return nullptr; }, [](void*, size_t) -> void* { return nullptr; },
                     [](void*) {});
  auto p = randomPalette(9);
  EXPECT_EQ(colorBuildColorTable(p.data(), nullptr), 1);
  EXPECT_EQ(colorSetColorTable(p.data(), nullptr), 1);
  EXPECT_EQ(Bytes(colorTable, colorTable + 32768), saved);
  EXPECT_EQ(getColorBlendTable(3), nullptr);
  EXPECT_EQ(colorPushColorPalette(), 0);
  EXPECT_EQ(tos, 0);
}

// --- colour files ---

TEST_F(ColorTest, UntaggedFileComputesTablesAndMarksBadEntries) {
  uint8_t pal6[768];
  std::memcpy(pal6, cmap, 768);
  const int red = RGB2Index(colorRGB15(31, 0, 0));
  pal6[red * 3] = 70;  // (70, 0, 0): not a 6-bit colour
  TempFile f("untagged.pal");
  f.write(untaggedFile(pal6));
  // Scribble over the derived tables: loading must recompute them.
  std::memset(intensityColorTable, 0xAB, sizeof intensityColorTable);
  std::memset(colorMixAddTable, 0xAB, sizeof colorMixAddTable);
  ASSERT_EQ(loadColorTable(f.name().c_str()), 1);
  EXPECT_EQ(colorMappedColor(red), 0);
  int r, g, b;
  getColorPaletteEntry(red, &r, &g, &b);
  EXPECT_EQ(r | g | b, 0);
  for (int k = 0; k < 256; ++k) ASSERT_EQ(intensityColorTable[red][k], 0);
  EXPECT_EQ(intensityColorTable[215][128], 215);
  EXPECT_EQ(colorMixAdd(red, 215), 215);
}

TEST_F(ColorTest, TaggedFileRoundTrip) {
  auto p = randomPalette(11);
  ASSERT_EQ(colorBuildColorTable(p.data(), nullptr), 0);
  // Alter the stored tables so that a computed copy would differ from the stored one.
  intensityColorTable[9][9] ^= 0x55;
  colorMixMulTable[1][2] ^= 0x55;
  Bytes file = taggedFile();
  ASSERT_EQ(file.size(), COLOR_FILE_TAGGED);
  Bytes i0(&intensityColorTable[0][0], &intensityColorTable[0][0] + 65536);
  Bytes m0(&colorMixMulTable[0][0], &colorMixMulTable[0][0] + 65536);
  TempFile f("tagged.pal");
  f.write(file);
  auto q = testPalette();
  ASSERT_EQ(colorBuildColorTable(q.data(), nullptr), 0);
  ASSERT_EQ(loadColorTable(f.name().c_str()), 1);
  EXPECT_EQ(Bytes(&intensityColorTable[0][0], &intensityColorTable[0][0] + 65536), i0);
  EXPECT_EQ(Bytes(&colorMixMulTable[0][0], &colorMixMulTable[0][0] + 65536), m0);
  for (int k = 0; k < 768; ++k) ASSERT_EQ(cmap[k], p[k] >> 2);
}

TEST_F(ColorTest, DamagedFilesAreRefusedAndChangeNothing) {
  Bytes good = untaggedFile(cmap);
  Bytes tagged = taggedFile();
  Bytes wrongTag = tagged;
  wrongTag[COLOR_FILE_UNTAGGED] = 'X';
  std::vector<Bytes> bad = {
      {},
      Bytes(good.begin(), good.begin() + 100),
      Bytes(good.begin(), good.end() - 1),
      [&] { Bytes b = good; b.push_back(0); return b; }(),
      [&] { Bytes b = good; b.insert(b.end(), COLOR_FILE_TAG, COLOR_FILE_TAG + 4); return b; }(),
      Bytes(tagged.begin(), tagged.end() - 1),
      [&] { Bytes b = tagged; b.push_back(0); return b; }(),
      wrongTag,
  };
  // Different content for the tables so that a partial load would show.
  for (auto& b : bad)
    for (size_t k = 0; k < b.size(); ++k) b[k] = uint8_t(k * 7 + 1) & 63;
  for (size_t k = 0; k < 4 && bad.back().size() > COLOR_FILE_UNTAGGED + 4; ++k)
    bad.back()[COLOR_FILE_UNTAGGED + k] = "CWEX"[k];
  Bytes c0(colorTable, colorTable + 32768), p0(cmap, cmap + 768);
  Bytes i0(&intensityColorTable[0][0], &intensityColorTable[0][0] + 65536);
  TempFile f("bad.pal");
  for (size_t n = 0; n < bad.size(); ++n) {
    f.write(bad[n]);
    EXPECT_EQ(loadColorTable(f.name().c_str()), 0) << n;
    EXPECT_STREQ(colorError(), "color: color table damaged\n");
    EXPECT_EQ(Bytes(colorTable, colorTable + 32768), c0) << n;
    EXPECT_EQ(Bytes(cmap, cmap + 768), p0) << n;
    EXPECT_EQ(Bytes(&intensityColorTable[0][0], &intensityColorTable[0][0] + 65536), i0) << n;
  }
  TempFile missing("missing.pal");
  EXPECT_EQ(loadColorTable(missing.name().c_str()), 0);
  EXPECT_STREQ(colorError(), "color: color table not found\n");
  EXPECT_EQ(loadColorTable(nullptr), 0);
}

TEST_F(ColorTest, LoadUsesHooksAndNameMangler) {
  static Bytes file;
  static size_t pos;
  static std::string opened;
  static int flags, closed;
  file = untaggedFile(cmap);
  pos = 0;
  closed = 0;
  colorInitIO(
      [](const char* name, int f) {
        opened = name;
        flags = f;
        return 3;
      },
      [](int h, void* buf, int size) {
        if (h != 3) return -1;
        // Hand the file over in small pieces.
        size_t n = std::min<size_t>({size_t(size), file.size() - pos, 1000});
        std::memcpy(buf, file.data() + pos, n);
        pos += n;
        return int(n);
      },
      [](int) { ++closed; });
  colorSetNameMangler([](const char*) { return "MANGLED.PAL"; });
  EXPECT_EQ(loadColorTable("color.pal"), 1);
  EXPECT_EQ(opened, "MANGLED.PAL");
  EXPECT_EQ(flags, 0x200);
  EXPECT_EQ(closed, 1);
}

// --- palette stack ---

TEST_F(ColorTest, PaletteStackLimitsAndRestores) {
  Bytes c0(colorTable, colorTable + 32768), p0(cmap, cmap + 768);
  for (int i = 0; i < 16; ++i) ASSERT_EQ(colorPushColorPalette(), 1) << i;
  EXPECT_EQ(tos, 16);
  EXPECT_EQ(colorPushColorPalette(), 0);
  EXPECT_STREQ(colorError(), "color: colorpalettestack overflow\n");
  EXPECT_EQ(tos, 16);
  for (int i = 0; i < 15; ++i) ASSERT_EQ(colorPopColorPalette(), 1);
  auto p = randomPalette(5);
  uint8_t skip[256] = {};
  skip[17] = 1;
  ASSERT_EQ(colorBuildColorTable(p.data(), skip), 0);
  ASSERT_EQ(colorPopColorPalette(), 1);
  EXPECT_EQ(Bytes(colorTable, colorTable + 32768), c0);
  EXPECT_EQ(Bytes(cmap, cmap + 768), p0);
  EXPECT_EQ(colorMappedColor(17), 1);
  EXPECT_EQ(intensityColorTable[215][128], 215);  // derived tables recomputed
  EXPECT_EQ(colorPopColorPalette(), 0);
  EXPECT_STREQ(colorError(), "color: colorpalettestack underflow");
  colorPushColorPalette();
  colorPushColorPalette();
  colorsClose();
  EXPECT_EQ(tos, 0);
  EXPECT_EQ(colorPaletteStack[0], nullptr);
}

// --- the display's palette ---

TEST_F(ColorTest, GammaMapsWhatTheDisplayGets) {
  colorGamma(1.0);
  for (int v = 0; v < 64; ++v) EXPECT_EQ(currentGammaTable[v], v);
  EXPECT_EQ(colorGetGamma(), 1.0);
  uint8_t pal[768];
  for (int k = 0; k < 768; ++k) pal[k] = uint8_t(k % 64);
  setSystemPalette(pal);
  EXPECT_EQ(std::memcmp(VRK95_GetPalette(), pal, 768), 0);

  colorGamma(2.0);
  EXPECT_EQ(colorGetGamma(), 2.0);
  EXPECT_EQ(currentGammaTable[0], 0);
  EXPECT_EQ(currentGammaTable[63], 63);
  for (int v = 1; v < 64; ++v) EXPECT_LE(currentGammaTable[v - 1], currentGammaTable[v]);
  EXPECT_EQ(currentGammaTable[32], 16);  // 63 * (32/63)^2 = 16.25
  const uint8_t* dev = VRK95_GetPalette();
  for (int k = 0; k < 768; ++k) ASSERT_EQ(dev[k], currentGammaTable[pal[k]]);
  EXPECT_EQ(std::memcmp(getSystemPalette(), pal, 768), 0);  // kept before gamma

  colorGamma(0.0);  // refused
  colorGamma(-1.0);
  EXPECT_EQ(colorGetGamma(), 2.0);
}

TEST_F(ColorTest, SystemPaletteEntriesAndRanges) {
  setBlackSystemPalette();
  setSystemPaletteEntry(10, 1, 2, 3);
  int r, g, b;
  getSystemPaletteEntry(10, &r, &g, &b);
  EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{1, 2, 3}));
  ASSERT_EQ(VRK95_GetPaletteEntry(10, &r, &g, &b), 0);
  EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{1, 2, 3}));
  const uint8_t trip[9] = {10, 11, 12, 20, 21, 22, 30, 31, 32};
  setSystemPaletteEntries(trip, 254, 256);  // entry 256 does not exist: dropped
  getSystemPaletteEntry(255, &r, &g, &b);
  EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{20, 21, 22}));
  setSystemPaletteEntries(trip, -1, 0);  // entry -1 dropped, entry 0 gets the second triple
  getSystemPaletteEntry(0, &r, &g, &b);
  EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{20, 21, 22}));
  EXPECT_EQ(std::memcmp(VRK95_GetPalette(), systemCmap, 768), 0);
}

TEST_F(ColorTest, FadeHandsOverEveryStepThenTheTarget) {
  static std::vector<Bytes> seen;
  seen.clear();
  set_update_palette_func([] { seen.emplace_back(VRK95_GetPalette(), VRK95_GetPalette() + 768); });
  uint8_t from[768], to[768];
  for (int k = 0; k < 768; ++k) {
    from[k] = 63;
    to[k] = uint8_t(k % 3 == 0 ? 0 : 63 - k % 64);
  }
  fadeSystemPalette(from, to, 4);
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen[0], Bytes(from, from + 768));
  EXPECT_EQ(seen[2][0], 63 - (63 * 2) / 4);  // 32
  EXPECT_EQ(seen[4], Bytes(to, to + 768));
  EXPECT_EQ(std::memcmp(systemCmap, to, 768), 0);
  // The system palette itself as the source or the target: the same steps, although every step
  // overwrites it.
  const std::vector<Bytes> reference = seen;
  for (int which = 0; which < 2; ++which) {
    seen.clear();
    setSystemPalette(which == 0 ? from : to);
    if (which == 0)
      fadeSystemPalette(systemCmap, to, 4);
    else
      fadeSystemPalette(from, systemCmap, 4);
    EXPECT_EQ(seen.size(), reference.size() + 1) << which;  // one more: the palette set before
    if (!seen.empty()) seen.erase(seen.begin());
    EXPECT_EQ(seen, reference) << (which == 0 ? "from" : "to") << " is the system palette";
  }
  set_update_palette_func(nullptr);
}

TEST_F(ColorTest, SetColorPaletteMarksEverythingUsable) {
  auto p = testPalette();
  uint8_t skip[256] = {};
  skip[9] = 1;
  ASSERT_EQ(colorBuildColorTable(p.data(), skip), 0);
  uint8_t pal[768];
  for (int k = 0; k < 768; ++k) pal[k] = uint8_t(k & 63);
  Bytes c0(colorTable, colorTable + 32768);
  setColorPalette(pal);
  EXPECT_EQ(colorMappedColor(9), 1);
  EXPECT_EQ(std::memcmp(getColorPalette(), pal, 768), 0);
  EXPECT_EQ(Bytes(colorTable, colorTable + 32768), c0);  // not rebuilt
  setColorPaletteEntry(4, 1, 2, 3);
  int r, g, b;
  getColorPaletteEntry(4, &r, &g, &b);
  EXPECT_EQ(r * 10000 + g * 100 + b, 10203);
}

TEST_F(ColorTest, SetColorTableHandsThePaletteToTheDisplay) {
  auto p = randomPalette(21);
  int before = VRK95_PaletteChanges();
  ASSERT_EQ(colorSetColorTable(p.data(), nullptr), 0);
  EXPECT_GT(VRK95_PaletteChanges(), before);
  EXPECT_EQ(std::memcmp(VRK95_GetPalette(), cmap, 768), 0);
}

TEST_F(ColorTest, InitColorsLoadsOnceAndShowsThePalette) {
  auto p = randomPalette(33);
  ASSERT_EQ(colorBuildColorTable(p.data(), nullptr), 0);
  static TempFile f("init.pal");
  f.write(untaggedFile(cmap));
  Bytes want(cmap, cmap + 768);
  auto q = testPalette();
  ASSERT_EQ(colorBuildColorTable(q.data(), nullptr), 0);
  colorSetNameMangler([](const char* name) {
    static std::string n;
    n = std::string(name) == "color.pal" ? f.name() : name;
    return n.c_str();
  });
  colorGamma(2.0);
  ASSERT_EQ(initColors(), 1);
  EXPECT_EQ(colorsInited, 1);
  EXPECT_EQ(colorGetGamma(), 1.0);
  EXPECT_EQ(Bytes(cmap, cmap + 768), want);
  EXPECT_EQ(Bytes(VRK95_GetPalette(), VRK95_GetPalette() + 768), want);
  EXPECT_EQ(initColors(), 1);  // later calls do nothing
}

}  // namespace
