// The installer's cursor: the built-in arrow, a picture's hot spot, a picture that cannot be
// loaded, and the close.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "color/color.h"
#include "base/config.h"
#include "toolkit/mousemgr.h"
#include "base/settings.h"
#include "tests/vrk_util.h"

using archive_util::Bytes;

namespace {

// A version-5 8-bit PCX of w x h pixels, every pixel its own run of one.
Bytes pcx(int w, int h, const Bytes& pixels) {
  Bytes f(128, 0);
  f[0] = 10, f[1] = 5, f[2] = 1, f[3] = 8, f[65] = 1;
  f[8] = uint8_t(w - 1), f[10] = uint8_t(h - 1), f[66] = uint8_t(w);
  for (uint8_t p : pixels) {
    f.push_back(0xC1);
    f.push_back(p);
  }
  return f;
}

struct Cursor : vrk_util::Stage {
  struct Shape {
    const uint8_t* image;
    int w, h, pitch, hx, hy, trans;
  };
  Shape shape() {
    Shape s{};
    mouse_get_shape(&s.image, &s.w, &s.h, &s.pitch, &s.hx, &s.hy, &s.trans);
    return s;
  }
  void start(const char* mouse, std::vector<kit_member> members) {
    archive.emplace(std::move(members));
    win_set_minimized_title("cursor test");
    ASSERT_EQ(win_init(vrk_util::big_mode, nullptr, 0), 0);
    ASSERT_EQ(initSettings(), 1);
    ASSERT_EQ(cfgSetString(&settings, "Startup", "Mouse", mouse), 1);
  }
  void TearDown() override {
    mouseClose();
    settingsClose();
    vrk_util::Stage::TearDown();
    archive.reset();
  }
  std::optional<vrk_util::FontArchive> archive;
};

}  // namespace

TEST_F(Cursor, NoPictureGivesTheArrowWithItsTipAsHotSpot) {
  start("", {});
  initMouse();
  const Shape s = shape();
  ASSERT_EQ(s.w, 9);
  ASSERT_EQ(s.h, 15);
  EXPECT_EQ(s.hx, 0);
  EXPECT_EQ(s.hy, 0);
  EXPECT_EQ(s.image[0], colorTable[0]);            // outline at the tip
  EXPECT_EQ(s.image[2 * 9 + 1], colorTable[0x7FFF]);  // fill
  EXPECT_EQ(s.image[8], 0);                         // transparent
  EXPECT_EQ(mouse_hidden(), 0);
  EXPECT_EQ(mouse_get_sensitivity(), 1.0);
}

TEST_F(Cursor, HotSpotIsTheFirstNonZeroPixelAndCloseRestoresTheSystemArrow) {
  Bytes pixels(10 * 4, 0);
  pixels[22] = 7;  // the 23rd pixel of a 10-pixel-wide picture
  pixels[30] = 9;
  start("HAND.PCX", {{"HAND.PCX", pcx(10, 4, pixels), kit_pack_method::stored}});
  initMouse();
  Shape s = shape();
  EXPECT_EQ(s.w, 10);
  EXPECT_EQ(s.hx, 2);
  EXPECT_EQ(s.hy, 2);
  EXPECT_EQ(s.image, curMouseBuf);
  EXPECT_EQ(mouseClose(), 1);
  EXPECT_EQ(curMouseBuf, nullptr);
  EXPECT_EQ(mouse_hidden(), 1);
  s = shape();
  EXPECT_EQ(s.w, 8);  // the window system's own arrow
}

TEST_F(Cursor, APictureThatCannotBeLoadedGivesTheArrow) {
  start("MISSING.PCX", {});
  initMouse();
  EXPECT_EQ(curMouseBuf, nullptr);
  EXPECT_EQ(shape().w, 9);
}
