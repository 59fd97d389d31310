// setupkit font end to end: converts DejaVu fonts and reads the results back with the text
// module and the .aaf loader (host builds only).
#include <gtest/gtest.h>

#if !defined(_WIN32) && defined(SETUPKIT_EXE)

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "archive_util.h"
#include "kit/build.h"
#include "db/db.h"
#include "toolkit/fontmgr.h"
#include "tests/support/run_tool.h"
#include "tests/support/tempdir.h"
#include "vrk/text.h"

namespace fs = std::filesystem;
using archive_util::Bytes;

namespace {

const std::string kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const std::string kDejaVuMono = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

class KitFontTest : public ::testing::Test {
 protected:
  TempDir dir{"kit_font"};

  void SetUp() override {
    if (!fs::exists(kDejaVu)) GTEST_SKIP() << "fonts-dejavu-core is not installed";
  }
  void TearDown() override {
    VRK_text_exit();
    for (int i = 0; i < FM_MAX_FONTS; ++i) FMFreeFont(i);
    db_exit();
  }

  // Runs "setupkit font" with `args` in the test directory.
  ToolResult kit(std::vector<std::string> args) {
    args.insert(args.begin(), "font");
    return run_setupkit(args, dir.path);
  }

  // Puts `data` into an archive as `member` and makes it current.
  void archive_with(const std::string& member, const Bytes& data) {
    std::string err;
    ASSERT_TRUE(kit_build_archive(dir.file("a.dat"), {{member, data, kit_pack_method::best}}, err)) << err;
    int h = db_init(dir.file("a.dat").c_str(), nullptr, nullptr);
    ASSERT_NE(h, -1);
    db_select(h);
  }
};

TEST_F(KitFontTest, FonLoadsMeasuresAndDraws) {
  const std::string out = dir.file("font0.fon");
  ToolResult r = kit({kDejaVu, "--size", "14", "-o", out});
  ASSERT_EQ(r.status, 0) << r.err;
  archive_with("FONT0.FON", archive_util::read_file(out));
  ASSERT_EQ(VRK_text_init(), 0);
  const int h = text_height();
  EXPECT_GE(h, 14);
  EXPECT_LE(h, 20);
  EXPECT_EQ(text_spacing(), 1);
  EXPECT_LT(text_char_width('i'), text_char_width('W'));
  EXPECT_GT(text_char_width(0xC9), 0);  // Latin-1 capital E acute
  EXPECT_EQ(text_char_width('\n'), 0);  // control codes are empty
  EXPECT_EQ(text_char_width(0x85), 0);
  const int w = text_width("Hello, World");
  EXPECT_GT(w, 50);
  EXPECT_LT(w, 120);

  // Drawn inside a margin of 9s: ink only inside the measured box.
  const int pitch = w + 20;
  std::vector<uint8_t> buf(size_t(pitch) * size_t(h + 20), 9);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) buf[size_t(y + 10) * size_t(pitch) + size_t(x + 10)] = 0;
  EXPECT_EQ(text_to_buf(&buf[size_t(10) * size_t(pitch) + 10], "Hello, World", w, pitch, 4), 12);
  int ink = 0, stray = 0;
  for (int y = 0; y < h + 20; ++y)
    for (int x = 0; x < pitch; ++x) {
      uint8_t v = buf[size_t(y) * size_t(pitch) + size_t(x)];
      bool inside = y >= 10 && y < 10 + h && x >= 10 && x < 10 + w;
      ink += inside && v == 4;
      stray += !inside && v != 9;
    }
  EXPECT_GT(ink, 60);
  EXPECT_EQ(stray, 0);
}

TEST_F(KitFontTest, MonospacedSourceGivesEqualWidths) {
  if (!fs::exists(kDejaVuMono)) GTEST_SKIP();
  const std::string out = dir.file("font0.fon");
  ASSERT_EQ(kit({kDejaVuMono, "--size", "12", "-o", out}).status, 0);
  Bytes f = archive_util::read_file(out);
  ASSERT_EQ(VRK_text_load_font_mem(0, f.data(), f.size()), 0);
  VRK_text_font(0);
  for (int c : std::initializer_list<int>{'i', 'W', 'm', '.', 0xE9}) EXPECT_EQ(VRK_text_char_width(c), VRK_text_char_width('x')) << c;
}

TEST_F(KitFontTest, AafLoadsWithLevelsUpToSeven) {
  const std::string out = dir.file("font0.aaf");
  ToolResult r = kit({kDejaVu, "--size", "16", "--aaf", "-o", out});
  ASSERT_EQ(r.status, 0) << r.err;
  archive_with("FONT0.AAF", archive_util::read_file(out));
  ASSERT_EQ(FMLoadFont(0), 0);
  const FMFont& f = gFontCache[0];
  EXPECT_GE(f.ascent, 16);
  EXPECT_EQ(f.spacing, 1);
  EXPECT_GT(f.spaceWidth, 1);
  EXPECT_EQ(f.glyphs[' '].width, f.spaceWidth);
  EXPECT_GT(f.glyphs['g'].height, f.glyphs['a'].height - 1);  // descender rows below the baseline
  EXPECT_GT(f.glyphs['W'].width, f.glyphs['i'].width);

  // Draw "Qg" the way the file describes: glyph rows end just above the ascent row.
  const int pitch = 64, rows = f.ascent + f.leading;
  std::vector<uint8_t> buf(size_t(pitch) * size_t(rows), 0);
  int x = 0, maxlevel = 0, inked = 0;
  for (unsigned char c : std::string("Qg")) {
    const FMGlyph& g = f.glyphs[c];
    for (int y = 0; y < g.height; ++y)
      for (int i = 0; i < g.width; ++i) {
        uint8_t lv = f.bitmap[g.offset + size_t(y) * size_t(g.width) + size_t(i)];
        maxlevel = std::max<int>(maxlevel, lv);
        buf[size_t(f.ascent - g.height + y) * size_t(pitch) + size_t(x + i)] = lv;
        inked += lv != 0;
      }
    x += g.width + f.spacing;
  }
  EXPECT_EQ(maxlevel, 7);
  EXPECT_GT(inked, 40);
  // Anti-aliased: intermediate levels appear.
  int mid = 0;
  for (uint8_t v : buf) mid += v > 0 && v < 7;
  EXPECT_GT(mid, 5);
}

TEST_F(KitFontTest, ErrorsAndUsage) {
  ToolResult r = kit({dir.file("missing.ttf"), "--size", "12", "-o", dir.file("x.fon")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("setupkit: " + dir.file("missing.ttf") + ": ", 0), 0u) << r.err;
  archive_util::write_text(dir.file("junk.ttf"), "not a font at all");
  r = kit({dir.file("junk.ttf"), "--size", "12", "-o", dir.file("x.fon")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("junk.ttf: "), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir.file("x.fon")));
  r = kit({kDejaVu, "--size", "12", "-o", dir.file("nodir/x.fon")});
  EXPECT_EQ(r.status, 1);

  EXPECT_EQ(kit({"font", kDejaVu, "-o", "x.fon"}).status, 2);  // two fonts, no --size
  EXPECT_EQ(kit({kDejaVu, "-o", dir.file("x.fon")}).status, 2);
  EXPECT_EQ(kit({kDejaVu, "--size", "0", "-o", dir.file("x.fon")}).status, 2);
  EXPECT_EQ(kit({kDejaVu, "--size", "12px", "-o", dir.file("x.fon")}).status, 2);
  EXPECT_EQ(kit({kDejaVu, "--size", "12", "--bold", "-o", dir.file("x.fon")}).status, 2);
  EXPECT_EQ(kit({kDejaVu, "--size", "12"}).status, 2);
  r = kit({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("setupkit font TTF --size N"), std::string::npos) << r.out;
}

}  // namespace

#endif
