// Picture files by extension, remapping to the current palette, whole-file loads and cropping.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "archive_util.h"
#include "color/color.h"
#include "kit/build.h"
#include "db/db.h"
#include "base/datafile.h"
#include "base/memdbg.h"
#include "tests/support/tempdir.h"

using archive_util::Bytes;

namespace {

// A 4x2 version-5 PCX with literal pixels and the given 8-bit palette.
Bytes pcxFile(const Bytes& pixels4x2, const std::array<uint8_t, 768>& pal) {
  Bytes f(128, 0);
  f[0] = 10;
  f[1] = 5;
  f[2] = 1;
  f[3] = 8;
  f[8] = 3;
  f[10] = 1;
  f[65] = 1;
  f[66] = 4;
  for (uint8_t p : pixels4x2) {
    if ((p & 0xC0) == 0xC0) f.push_back(0xC1);
    f.push_back(p);
  }
  f.push_back(12);
  f.insert(f.end(), pal.begin(), pal.end());
  return f;
}

// The picture's palette: entry i is a distinct colour, entry 0 a colour that is not black.
std::array<uint8_t, 768> picturePalette() {
  std::array<uint8_t, 768> p{};
  for (int i = 0; i < 256; ++i) {
    p[i * 3] = uint8_t(255 - i);
    p[i * 3 + 1] = uint8_t(i * 5);
    p[i * 3 + 2] = uint8_t(i * 11);
  }
  return p;
}

class Datafile : public ::testing::Test {
 protected:
  TempDir dir{"datafile"};
  Bytes pixels = {0, 1, 2, 3, 200, 0, 255, 7};
  void SetUp() override {
    // Display palette: a 6x6x6 cube.
    std::array<uint8_t, 768> cube{};
    for (int i = 0; i < 216; ++i) {
      cube[i * 3] = uint8_t(i / 36 * 51);
      cube[i * 3 + 1] = uint8_t(i / 6 % 6 * 51);
      cube[i * 3 + 2] = uint8_t(i % 6 * 51);
    }
    colorRegisterAlloc(nullptr, nullptr, nullptr);
    ASSERT_EQ(colorBuildColorTable(cube.data(), nullptr), 0);
    std::string error;
    const std::string arc = dir.file("p.dat");
    ASSERT_TRUE(kit_build_archive(arc,
                         {{"LOGO.PCX", pcxFile(pixels, picturePalette())},
                          {"NOTE.TXT", Bytes{'h', 'i', '!'}},
                          {"EMPTY.BIN", {}},
                          {"LOGO.BMP", Bytes(10, 1)}},
                         error))
        << error;
    ASSERT_GE(db_init(arc.c_str(), nullptr, nullptr), 0);
  }
  void TearDown() override {
    datafileSetFilenameFunc(nullptr);
    setBitmapLoadFunc(nullptr);
    db_exit();
  }
};

TEST_F(Datafile, ExtensionChoosesTheLoader) {
  int w = 0, h = 0;
  for (const char* name : {"LOGO.PCX", "logo.pcx", "Logo.Pcx"}) {
    uint8_t* px = loadRawDataFile(name, &w, &h);
    ASSERT_NE(px, nullptr) << name;
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(Bytes(px, px + 8), pixels);
    MYFREE(px, "test");
  }
  EXPECT_EQ(datafileGetPalette()[3], 254);
  EXPECT_EQ(loadRawDataFile("logo.bmp", &w, &h), nullptr);
  EXPECT_EQ(loadRawDataFile("LOGO", &w, &h), nullptr);
  EXPECT_EQ(loadRawDataFile("LOGO.PCXX", &w, &h), nullptr);
  EXPECT_EQ(loadRawDataFile(nullptr, &w, &h), nullptr);

  static std::string asked;
  setBitmapLoadFunc([](const char* name, uint8_t* pal, int* w, int* h) -> uint8_t* {
    asked = name;
    pal[0] = 77;
    *w = 1;
    *h = 1;
    auto* p = static_cast<uint8_t*>(MYMALLOC(1, "test"));
    p[0] = 5;
    return p;
  });
  uint8_t* px = loadRawDataFile("logo.bmp", &w, &h);
  ASSERT_NE(px, nullptr);
  EXPECT_EQ(asked, "logo.bmp");
  EXPECT_EQ(datafileGetPalette()[0], 77);
  MYFREE(px, "test");
  px = loadRawDataFile("NOEXT", &w, &h);  // no '.': the hook too
  ASSERT_NE(px, nullptr);
  MYFREE(px, "test");
}

TEST_F(Datafile, NameFunctionAppliesToEveryName) {
  datafileSetFilenameFunc([](const char*) { return "LOGO.PCX"; });
  int w = 0, h = 0, size = 0;
  uint8_t* px = loadDataFile("anything.bmp", &w, &h);
  ASSERT_NE(px, nullptr);
  MYFREE(px, "test");
  uint8_t* block = datafileLoadBlock("other", &size);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(size, int(pcxFile(pixels, picturePalette()).size()));
  MYFREE(block, "test");
}

TEST_F(Datafile, RemapKeepsZeroAndUsesTheColourTable) {
  int w = 0, h = 0;
  uint8_t* px = loadDataFile("LOGO.PCX", &w, &h);
  ASSERT_NE(px, nullptr);
  const auto pal = picturePalette();
  for (int k = 0; k < 8; ++k) {
    const int i = pixels[k];
    if (i == 0) {
      EXPECT_EQ(px[k], 0) << k;  // entry 0 is not black, yet stays 0
    } else {
      const int want = colorTable[((pal[i * 3] >> 3) << 10) | ((pal[i * 3 + 1] >> 3) << 5) | (pal[i * 3 + 2] >> 3)];
      EXPECT_EQ(px[k], want) << k;
    }
  }
  MYFREE(px, "test");

  // The 6-bit variant gives the same result for the same colours.
  Bytes a = pixels, b = pixels;
  std::array<uint8_t, 768> pal6{};
  for (int k = 0; k < 768; ++k) pal6[k] = pal[k] >> 2;
  datafileConvertData(a.data(), pal.data(), 4, 2);
  datafileConvertDataVGA(b.data(), pal6.data(), 4, 2);
  EXPECT_EQ(a, b);
}

TEST_F(Datafile, PaletteOfAPicture) {
  uint8_t* p = load256Palette("LOGO.PCX");
  ASSERT_EQ(p, datafileGetPalette());
  EXPECT_EQ(std::memcmp(p, picturePalette().data(), 768), 0);
  EXPECT_EQ(load256Palette("MISSING.PCX"), nullptr);
}

TEST_F(Datafile, WholeFiles) {
  int size = -1;
  uint8_t* b = datafileLoadBlock("NOTE.TXT", &size);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(size, 3);
  EXPECT_EQ(std::memcmp(b, "hi!", 3), 0);
  MYFREE(b, "test");
  b = datafileLoadBlock("EMPTY.BIN", &size);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(size, 0);
  MYFREE(b, "test");
  size = -1;
  EXPECT_EQ(datafileLoadBlock("MISSING", &size), nullptr);
  EXPECT_EQ(size, 0);
}

TEST(Trim, KeepsRowsAndRunsUpToTheFirstZero) {
  // 5x4: rows 0-1 have runs of 3, row 2 starts with 0 and ends the walk.
  Bytes px = {1, 2, 3, 0, 9,  //
              4, 5, 6, 0, 9,  //
              0, 7, 7, 7, 7,  //
              8, 8, 8, 8, 8};
  int w = 5, h = 4;
  trimBuffer(px.data(), &w, &h);
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(Bytes(px.begin(), px.begin() + 6), (Bytes{1, 2, 3, 4, 5, 6}));

  Bytes full = {1, 2, 3, 4};
  w = 2;
  h = 2;
  trimBuffer(full.data(), &w, &h);
  EXPECT_EQ(w, 2);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(full, (Bytes{1, 2, 3, 4}));

  Bytes none = {0, 1, 1, 1};
  w = 2;
  h = 2;
  trimBuffer(none.data(), &w, &h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
}

}  // namespace
