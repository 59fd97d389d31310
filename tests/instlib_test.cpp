// The installer's translucent drawing: lines, rings and bevels change exactly the pixels they
// cover, a factor of 1 changes nothing, and a dimmed panel is the darkened screen beneath it with
// a raised border (golden picture).
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "color/color.h"
#include "setup/instlib.h"
#include "base/settings.h"
#include "toolkit/window.h"
#include "tests/support/golden.h"
#include "tests/vrk_util.h"

namespace {

// A 6 x 6 x 6 cube and a grey ramp: dimming and brightening land on other entries.
void cube() {
  uint8_t pal[768] = {};
  for (int i = 0; i < 216; ++i) {
    pal[i * 3] = uint8_t(i / 36 * 51);
    pal[i * 3 + 1] = uint8_t(i / 6 % 6 * 51);
    pal[i * 3 + 2] = uint8_t(i % 6 * 51);
  }
  for (int i = 216; i < 256; ++i) pal[i * 3] = pal[i * 3 + 1] = pal[i * 3 + 2] = uint8_t((i - 216) * 6);
  ASSERT_EQ(colorBuildColorTable(pal, nullptr), 0);
}

}  // namespace

// A line changes max(|dx|, |dy|) + 1 pixels, both ends among them, each step moving one pixel
// along the driving axis; a factor of exactly 1 changes nothing.
TEST(Translucent, LinesCoverOnePixelPerStepFromEndToEnd) {
  cube();
  const int w = 40, h = 30;
  const uint8_t grey = colorTable[0x5294];  // a mid grey: 0.5 makes it darker
  std::mt19937 rng(5);
  for (int round = 0; round < 500; ++round) {
    std::vector<uint8_t> buf(size_t(w) * h, grey);
    const int x1 = int(rng() % w), y1 = int(rng() % h), x2 = int(rng() % w), y2 = int(rng() % h);
    drawTranslucentLine(buf.data(), w, x1, y1, x2, y2, 1.0f);
    ASSERT_EQ(std::count(buf.begin(), buf.end(), grey), long(buf.size()));
    drawTranslucentLine(buf.data(), w, x1, y1, x2, y2, 0.5f);
    const int steps = std::max(std::abs(x2 - x1), std::abs(y2 - y1));
    EXPECT_EQ(long(buf.size()) - std::count(buf.begin(), buf.end(), grey), steps + 1);
    EXPECT_NE(buf[size_t(y1 * w + x1)], grey);
    EXPECT_NE(buf[size_t(y2 * w + x2)], grey);
    // Every row (or column) along the driving axis holds exactly one changed pixel.
    const bool xDrives = std::abs(x2 - x1) > std::abs(y2 - y1);
    for (int a = std::min(xDrives ? x1 : y1, xDrives ? x2 : y2); a <= std::max(xDrives ? x1 : y1, xDrives ? x2 : y2); ++a) {
      int changed = 0;
      for (int b = 0; b < (xDrives ? h : w); ++b)
        changed += buf[size_t(xDrives ? b * w + a : a * w + b)] != grey;
      ASSERT_EQ(changed, 1) << x1 << "," << y1 << " " << x2 << "," << y2;
    }
  }
}

// A bevel of depth 2 on 15 x 15 changes the two outer rings, brighter on top and left, darker on
// bottom and right, and leaves the inner 11 x 11 alone.
TEST(Translucent, BevelChangesItsRingsOnly) {
  cube();
  const uint8_t grey = colorTable[0x5294];
  std::vector<uint8_t> buf(17 * 17, grey);
  bevelBox(buf.data(), 17, 1, 1, 15, 15, 2, 1.3f, 0.8f);
  auto at = [&](int x, int y) { return buf[size_t(y * 17 + x)]; };
  const uint8_t light = intensityColorTable[grey][int(1.3f * 65536) >> 9];
  const uint8_t dark = intensityColorTable[grey][int(0.8f * 65536) >> 9];
  ASSERT_NE(light, grey);
  ASSERT_NE(dark, grey);
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 17; ++x) {
      const bool outside = x == 0 || y == 0 || x == 16 || y == 16;
      const bool inner = x >= 3 && x <= 13 && y >= 3 && y <= 13;
      if (outside || inner) {
        EXPECT_EQ(at(x, y), grey) << x << "," << y;
      }
    }
  EXPECT_EQ(at(5, 1), light);
  EXPECT_EQ(at(1, 5), light);
  EXPECT_EQ(at(5, 15), dark);
  EXPECT_EQ(at(15, 5), dark);
  EXPECT_EQ(at(6, 2), light);
  EXPECT_EQ(at(14, 6), dark);
}

TEST(Texts, WrittenLineBreaksBecomeLineFeeds) {
  char text[] = "Done.\\nHave fun!\\x";
  convertNewLines(text, int(sizeof text - 1));
  EXPECT_STREQ(text, "Done.\nHave fun!\\x");
  EXPECT_EQ(text[sizeof text - 2], '\0');  // the freed tail is cleared
}

class Panels : public vrk_util::Stage {
 protected:
  std::unique_ptr<vrk_util::FontArchive> archive;
  void SetUp() override {
    Stage::SetUp();
    archive = std::make_unique<vrk_util::FontArchive>();
    win_set_minimized_title("panel test");
    initWindow(1, 1);
    cube();
  }
  void TearDown() override {
    windowClose();
    archive.reset();
    Stage::TearDown();
  }
};

TEST_F(Panels, ADimmedPanelIsTheScreenBeneathItDarkenedWithARaisedBorder) {
  ASSERT_GE(createWindow("Main", 0, 0, 640, 480, 0, 0), 0);
  ASSERT_GE(selectWindow("Main"), 0);
  uint8_t* screen = windowGetBuffer();
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) screen[y * 640 + x] = uint8_t((x / 8 + y / 8) % 2 ? 215 : 1 + (x / 16 % 6) * 36 + y / 40 % 6);
  EXPECT_EQ(createDimmedWindow("Panel", 40, 40, 96, 64, 0.6f, 4), 1);
  EXPECT_STREQ(windowGetName(), "Main");  // not left current
  EXPECT_EQ(createDimmedWindow("Off", 600, 40, 96, 64, 0.6f, 4), 0);  // not inside the screen
  ASSERT_GE(pushWindow("Panel"), 0);
  EXPECT_TRUE(golden_picture("instlib_dimmed.hex", windowGetBuffer(), 96, 64, 96));
  popWindow();
}

// Managed windows keep their left edge on a multiple of 4: a panel asked for at x 42 shows at 44,
// and its picture is the dimmed screen beneath it there.
TEST_F(Panels, ADimmedPanelShowsWhatLiesBeneathItWhereItIs) {
  ASSERT_GE(createWindow("Main", 0, 0, 640, 480, 0, 0), 0);
  ASSERT_GE(selectWindow("Main"), 0);
  uint8_t* screen = windowGetBuffer();
  for (int i = 0; i < 640 * 480; ++i) screen[i] = uint8_t(1 + i % 7 * 36);  // columns of colour, 7 apart
  ASSERT_EQ(createDimmedWindow("Panel", 42, 40, 96, 64, 0.6f, 4), 1);
  ASSERT_GE(pushWindow("Panel"), 0);
  Rect r;
  ASSERT_TRUE(windowGetRect(&r));
  EXPECT_EQ(r.ulx % 4, 0);
  const uint8_t* panel = windowGetBuffer();
  const int level = int(0.6f * 65536) >> 9;
  for (int y = 3; y < 64 - 3; ++y)
    for (int x = 3; x < 96 - 3; ++x)
      ASSERT_EQ(panel[y * 96 + x], intensityColorTable[screen[(r.uly + y) * 640 + r.ulx + x]][level]) << x << "," << y;
  popWindow();
}
