// The toolkit's managed windows on the headless driver: the table by name and its stack, scaling,
// word wrap and justification, pictures and text in a window against a golden picture, regions of
// a window, and the focus ring of controls driven by simulated keys and mouse.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "color/color.h"
#include "toolkit/controls.h"
#include "base/datafile.h"
#include "base/memdbg.h"
#include "toolkit/window.h"
#include "tests/support/golden.h"
#include "tests/vrk_util.h"
#include "vrk/input.h"
#include "vrk/mouse.h"
#include "vrk/text.h"

using archive_util::Bytes;

namespace {

// A version-5 PCX of w x h (w even) with literal pixels and an 8-bit palette.
Bytes pcxFile(int w, int h, const std::vector<uint8_t>& pixels, const std::vector<uint8_t>& pal) {
  Bytes f(128, 0);
  f[0] = 10;
  f[1] = 5;
  f[2] = 1;
  f[3] = 8;
  f[8] = uint8_t(w - 1);
  f[10] = uint8_t(h - 1);
  f[65] = 1;
  f[66] = uint8_t(w);
  for (uint8_t p : pixels) {
    if ((p & 0xC0) == 0xC0) f.push_back(0xC1);
    f.push_back(p);
  }
  f.push_back(12);
  f.insert(f.end(), pal.begin(), pal.end());
  return f;
}

// A 6 x 6 x 6 colour cube in entries 1-216, black elsewhere.
std::vector<uint8_t> cubePalette() {
  std::vector<uint8_t> p(768, 0);
  for (int i = 0; i < 216; ++i) {
    p[size_t(i + 1) * 3] = uint8_t(i / 36 * 51);
    p[size_t(i + 1) * 3 + 1] = uint8_t(i / 6 % 6 * 51);
    p[size_t(i + 1) * 3 + 2] = uint8_t(i % 6 * 51);
  }
  return p;
}

// BACK.PCX: 64 x 48 blue-to-red bands; LOGO.PCX: 16 x 16 rings with a hole of value 0.
std::vector<kit_member> pictures() {
  std::vector<uint8_t> back(64 * 48), logo(16 * 16);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) back[size_t(y * 64 + x)] = uint8_t(1 + (x / 11) * 36 + (y / 8));
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const int d = std::max(std::abs(2 * x - 15), std::abs(2 * y - 15)) / 4;
      logo[size_t(y * 16 + x)] = d == 0 ? 0 : uint8_t(1 + (d % 2 ? 215 : 30 + 6 * d));
    }
  return {{"BACK.PCX", pcxFile(64, 48, back, cubePalette()), kit_pack_method::stored},
          {"LOGO.PCX", pcxFile(16, 16, logo, cubePalette()), kit_pack_method::stored}};
}

class Toolkit : public vrk_util::Stage {
 protected:
  std::unique_ptr<vrk_util::FontArchive> archive;
  void SetUp() override {
    Stage::SetUp();
    archive = std::make_unique<vrk_util::FontArchive>(pictures());
    win_set_minimized_title("toolkit test");
    initWindow(1, 1);
  }
  void TearDown() override {
    windowClose();
    archive.reset();
    Stage::TearDown();
  }
  // Width of a line as the wrap measures it: characters and the spacing between them.
  static int lineWidth(const std::string& s) {
    int w = 0;
    for (unsigned char c : s) w += text_char_width(c);
    return s.empty() ? 0 : w + text_spacing() * int(s.size() - 1);
  }
  static std::vector<std::string> wrap(const std::string& text, int width, int start) {
    int n = -1;
    char** lines = windowWordWrap(text.c_str(), width, start, &n);
    std::vector<std::string> out(lines, lines + n);
    windowFreeWordList(lines, n);
    return out;
  }
};

TEST_F(Toolkit, WindowTableByNameWithItsStack) {
  ASSERT_EQ(createWindow("Main", 0, 0, 640, 480, 0, 0), 0);
  EXPECT_EQ(windowGetID(), -1);  // made, not selected
  ASSERT_EQ(createWindow("Panel", 6, 10, 100, 50, 0, 0), 1);
  EXPECT_EQ(createWindow("PANEL", 6, 10, 100, 50, 0, 0), 1);  // replaces in its slot
  EXPECT_EQ(windowGetDefined("panel"), 1);
  EXPECT_EQ(windowGetSpecificVRKID(16), -1);

  EXPECT_EQ(selectWindow("main"), 0);
  EXPECT_EQ(selectWindow("nobody"), -1);
  EXPECT_EQ(windowGetID(), 0);
  EXPECT_EQ(pushWindow("Panel"), 1);  // stack: Main
  EXPECT_STREQ(windowGetName(), "PANEL");
  EXPECT_EQ(windowSX() % 4, 0);  // the left edge stays on a multiple of 4
  Rect r;
  ASSERT_EQ(windowGetRect(&r), 1);
  EXPECT_EQ(pointInWindow(r.ulx, r.uly), 1);
  EXPECT_EQ(pointInWindow(r.lrx, r.uly), 0);
  EXPECT_EQ(pointInWindow(r.ulx, r.lry), 0);
  EXPECT_EQ(pushWindow("panel"), 1);  // the current window's own name: Main, Panel
  EXPECT_EQ(pushWindow("Main"), 0);   // Panel is on the stack already: moved to the top
  EXPECT_EQ(popWindow(), 1);
  EXPECT_EQ(popWindow(), 0);
  EXPECT_EQ(popWindow(), -1);

  EXPECT_EQ(pushWindow("Panel"), 1);  // Main on the stack
  EXPECT_EQ(deleteWindow("panel"), 1);
  EXPECT_EQ(windowGetID(), 1);  // still the deleted slot
  EXPECT_EQ(windowDraw(), 0);
  EXPECT_EQ(windowGetBuffer(), nullptr);
  EXPECT_EQ(deleteWindow("Panel"), 0);
  EXPECT_EQ(pushWindow("Main"), 0);  // pushes the freed slot 1
  EXPECT_EQ(popWindow(), -1);        // ... which pops as nothing
  EXPECT_EQ(popWindow(), 0);

  char name[16];
  for (int i = 1; i < WINDOW_MAX; ++i) {
    std::snprintf(name, sizeof name, "w%d", i);
    EXPECT_EQ(createWindow(name, 0, 0, 8, 8, 0, 0), i);
  }
  EXPECT_EQ(createWindow("seventeenth", 0, 0, 8, 8, 0, 0), -1);
}

// A colour component outside 0..1 is held at the nearer end: a little over 1 stays white (it
// used to wrap around to black), a negative one is 0.
TEST_F(Toolkit, ColourComponentsAreHeldInRange) {
  vrk_util::color_pal_member();  // builds the colour table of a grey ramp and a colour cube
  ASSERT_NE(windowColorIndex(1, 1, 1), windowColorIndex(0, 0, 0));
  EXPECT_EQ(windowColorIndex(1.05f, 1.05f, 1.05f), windowColorIndex(1, 1, 1));
  EXPECT_EQ(windowColorIndex(-0.2f, 7.0f, 0.5f), windowColorIndex(0, 1, 0.5f));
  windowSetTextColor(1.05f, 1.0f, 2.0f);
  EXPECT_EQ(windowGetTextColor(), windowColorIndex(1, 1, 1));
  windowSetTextColor(1, 1, 1);
}

TEST_F(Toolkit, ScalingTakesTheNearestSourcePixel) {
  std::mt19937 rng(3);
  for (int round = 0; round < 300; ++round) {
    const int sw = 1 + int(rng() % 40), sh = 1 + int(rng() % 40), dw = 1 + int(rng() % 40), dh = 1 + int(rng() % 40);
    const int spitch = sw + int(rng() % 3), dpitch = dw + int(rng() % 3);
    std::vector<uint8_t> src(size_t(spitch * sh)), dst(size_t(dpitch * dh), 0xEE);
    for (uint8_t& p : src) p = uint8_t(rng());
    drawScaled(dst.data(), dw, dh, dpitch, src.data(), sw, sh, spitch);
    const uint32_t xs = (uint32_t(sw) << 16) / uint32_t(dw), ys = (uint32_t(sh) << 16) / uint32_t(dh);
    for (int y = 0; y < dh; ++y)
      for (int x = 0; x < dpitch; ++x) {
        const uint8_t want =
            x < dw ? src[size_t(int((uint64_t(y) * ys) >> 16) * spitch + int((uint64_t(x) * xs) >> 16))] : 0xEE;
        ASSERT_EQ(dst[size_t(y * dpitch + x)], want) << sw << "x" << sh << " -> " << dw << "x" << dh;
      }
  }
  const uint8_t three[3] = {1, 2, 3}, six[6] = {1, 2, 3, 4, 5, 6};
  uint8_t out[6];
  drawScaledBuf(out, 6, 1, three, 3, 1);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 6), (std::vector<uint8_t>{1, 1, 2, 2, 3, 3}));
  drawScaledBuf(out, 3, 1, six, 6, 1);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 3), (std::vector<uint8_t>{1, 3, 5}));
}

// Scaling a window keeps design coordinates: its pixels and regions grow with it, and later
// fills and regions given in design coordinates land scaled.
TEST_F(Toolkit, ScaledWindowKeepsDesignCoordinates) {
  ASSERT_EQ(colorBuildColorTable(cubePalette().data(), nullptr), 0);
  ASSERT_EQ(createWindow("Main", 0, 0, 40, 20, 0, 0), 0);
  selectWindow("Main");
  windowGetBuffer()[1 * 40 + 3] = 9;
  windowStartRegion(4);
  windowAddRegionRect(10, 10, 20, 20, 1);
  windowEndRegion();
  windowAddRegionName("r");
  ASSERT_EQ(scaleWindow("main", 0, 0, 80, 40), 0);
  ASSERT_EQ(windowWidth(), 80);
  const uint8_t* buf = windowGetBuffer();
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 80; ++x) ASSERT_EQ(buf[y * 80 + x], (x / 2 == 3 && y / 2 == 1) ? 9 : 0) << x << "," << y;
  const Region* r = windowFindRegion(0, "R");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(pointInRegion(r, 39, 39), 1);
  EXPECT_EQ(pointInRegion(r, 40, 30), 0);
  windowFillRect(1, 1, 2, 2, 1.0f, 1.0f, 1.0f);
  const uint8_t white = uint8_t(windowColorIndex(1.0f, 1.0f, 1.0f));
  EXPECT_EQ(buf[2 * 80 + 2], white);
  EXPECT_EQ(buf[5 * 80 + 5], white);
  EXPECT_NE(buf[6 * 80 + 6], white);
  windowGotoXY(5, 5);
  EXPECT_EQ(windows[0].textX, 10);
  EXPECT_EQ(scaleWindow("nobody", 0, 0, 10, 10), -1);
}

// Random texts: every line fits, nothing is lost or reordered, each line is as full as it can be,
// and line feeds break exactly where they stand (wrapping the paragraphs one by one gives the same).
TEST_F(Toolkit, WordWrapProperties) {
  std::mt19937 rng(11);
  const char alphabet[] = "aiWm.      \n";
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int len = int(rng() % 60);
    for (int i = 0; i < len; ++i) text += alphabet[rng() % (sizeof alphabet - (i % 5 ? 1 : 2))];
    const int width = 1 + int(rng() % 90), start = round % 3 ? 0 : int(rng() % 12);
    const std::vector<std::string> lines = wrap(text, width, start);
    SCOPED_TRACE("text \"" + text + "\" width " + std::to_string(width) + " start " + std::to_string(start));

    std::string kept, got;
    for (char c : text)
      if (c != ' ' && c != '\n') kept += c;
    size_t at = 0;
    std::vector<std::pair<size_t, size_t>> spans;  // where each line lies in the text
    for (size_t n = 0; n < lines.size(); ++n) {
      const std::string& l = lines[n];
      ASSERT_EQ(l.find('\n'), std::string::npos);
      if (l.size() > 1) {
        EXPECT_LE(lineWidth(l) + (n == 0 ? start : 0), width) << "line " << n;
      }
      for (char c : l)
        if (c != ' ') got += c;
      if (n > 0 && !l.empty()) {
        ASSERT_NE(l[0], ' ');
      }
      const size_t pos = l.empty() ? at : text.find(l, at);
      ASSERT_NE(pos, std::string::npos);
      spans.push_back({pos, pos + l.size()});
      at = pos + l.size();
    }
    EXPECT_EQ(got, kept);
    // Greedy: the next word (or, inside a word, the next character) would not have fitted.
    for (size_t n = 0; n + 1 < lines.size(); ++n) {
      const auto [s, e] = spans[n];
      const size_t next = spans[n + 1].first;
      const std::string gap = text.substr(e, next - e);
      if (gap.find('\n') != std::string::npos || lines[n + 1].empty()) continue;
      size_t upto = e + 1;  // inside a word: its next character
      if (!gap.empty()) {   // at a space: the whole next word
        upto = text.find_first_of(" \n", next);
        if (upto == std::string::npos) upto = text.size();
      }
      EXPECT_GT(lineWidth(text.substr(s, upto - s)) + (n == 0 ? start : 0), width) << "line " << n << " not full";
    }
    // Paragraph by paragraph.
    std::vector<std::string> expected;
    size_t from = 0;
    for (int para = 0;; ++para) {
      const size_t lf = text.find('\n', from);
      std::string p = text.substr(from, lf == std::string::npos ? std::string::npos : lf - from);
      if (para > 0) p.erase(0, p.find_first_not_of(' ') == std::string::npos ? p.size() : p.find_first_not_of(' '));
      std::vector<std::string> part = wrap(p, width, para == 0 ? start : 0);
      if (part.empty() && lf != std::string::npos) part.push_back("");
      expected.insert(expected.end(), part.begin(), part.end());
      if (lf == std::string::npos) break;
      from = lf + 1;
    }
    EXPECT_EQ(lines, expected);
    // The count agrees, with the empty line after a break that ends the text counted.
    const size_t expectCount = text.empty() ? 1 : lines.size() + (at < text.size() ? 1 : 0);
    EXPECT_EQ(windowNumLines(text.c_str(), width, start), int(expectCount));
  }
}

TEST_F(Toolkit, WordWrapCases) {
  // Room for the first five characters of "aaa bbb": the space is dropped at the break.
  const int fits5 = lineWidth("aaa b");
  EXPECT_EQ(wrap("aaa bbb", fits5, 0), (std::vector<std::string>{"aaa", "bbb"}));
  // A word wider than the line breaks after its last fitting character.
  const int w3 = lineWidth("mmm");
  EXPECT_EQ(wrap("mmmmmmm", w3, 0), (std::vector<std::string>{"mmm", "mmm", "m"}));
  EXPECT_EQ(wrap("mmmmmmm", 1, 0).size(), 7u);  // not even one fits: one character a line
  // Line feeds always break; two give an empty line; a final one adds no line to the wrap, but
  // the count includes it.
  EXPECT_EQ(wrap("a\n\nb", 1000, 0), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(wrap("ab\n", 1000, 0), (std::vector<std::string>{"ab"}));
  EXPECT_EQ(windowNumLines("ab\n", 1000, 0), 2);
  EXPECT_EQ(windowNumLines("", 1000, 0), 1);
  EXPECT_EQ(windowNumLines("aaa bbb", fits5, 0), 2);
  int n = -1;
  EXPECT_EQ(windowWordWrap(nullptr, 10, 0, &n), nullptr);
  EXPECT_EQ(n, 0);

  // Into a height of one line, one line is printed and the full count returned.
  ASSERT_EQ(createWindow("Main", 0, 0, 200, 40, 0, 0), 0);
  selectWindow("Main");
  const int id = windowGetVRKID();
  EXPECT_EQ(windowWrapLine(id, "aaa bbb ccc", fits5, text_height(), 0, 0, 255, 0), 3);
  const uint8_t* buf = windowGetBuffer();
  int below = 0;
  for (int i = 200 * text_height(); i < 200 * 40; ++i) below += buf[i] != 0;
  EXPECT_EQ(below, 0);
  EXPECT_NE(std::count(buf, buf + 200 * text_height(), 255), 0);
}

// Justification against the text rendered on its own: left at x, right flush with the box's
// right edge, centred; a text wider than the box shows its start, end and middle.
TEST_F(Toolkit, PrintBufJustifiesAndCuts) {
  const int W = 300, H = 20;
  ASSERT_EQ(createWindow("Main", 0, 0, W, H, 0, 0), 0);
  selectWindow("Main");
  const int id = windowGetVRKID();
  uint8_t* buf = windowGetBuffer();
  for (const std::string text : {"Wim", "a longer line of text, wider than the box"}) {
    const int w = text_width(text.c_str()), h = text_height();
    std::vector<uint8_t> alone(size_t(w * h), 0);
    text_to_buf(alone.data(), text.c_str(), w, w, 77);
    const int x = 20, box = 100;
    for (int just = 0; just < 3; ++just) {
      std::fill(buf, buf + W * H, 0);
      EXPECT_EQ(windowPrintBuf(id, text.c_str(), int(text.size()), box, H, x, 2, 77, just), 1);
      int dx = x, src = 0;
      if (w <= box)
        dx += just == 1 ? box - w : just == 2 ? (box - w) / 2 : 0;
      else
        src = just == 1 ? w - box : just == 2 ? (w - box) / 2 : 0;
      const int cw = std::min(w, box);
      for (int yy = 0; yy < H; ++yy)
        for (int xx = 0; xx < W; ++xx) {
          const bool in = yy >= 2 && yy < 2 + h && xx >= dx && xx < dx + cw;
          const uint8_t want = in ? alone[size_t((yy - 2) * w + src + xx - dx)] : 0;
          ASSERT_EQ(buf[yy * W + xx], want) << text << " justification " << just << " at " << xx << "," << yy;
        }
    }
  }
  // At most 255 characters: the end of a right-justified 300-character text is the 255th.
  std::string longText = std::string(255, 'i') + std::string(45, 'W');
  std::fill(buf, buf + W * H, 0);
  windowPrintBuf(id, longText.c_str(), 300, 100, H, 0, 0, 77, 1);
  std::vector<uint8_t> first(buf, buf + W * H);
  std::fill(buf, buf + W * H, 0);
  windowPrintBuf(id, std::string(255, 'i').c_str(), 255, 100, H, 0, 0, 77, 1);
  EXPECT_EQ(first, std::vector<uint8_t>(buf, buf + W * H));
  // Below maxY nothing; past the window's edges cut, never written outside.
  EXPECT_EQ(windowPrintBuf(id, "Wim", 3, 100, text_height() - 1, 0, 0, 77, 0), 0);
  EXPECT_EQ(windowPrintBuf(id, "Wim", 3, 100, 1000, W - 5, H - 3, 77, 0), 1);
  EXPECT_EQ(windowPrintBuf(id, "Wim", 3, 100, 1000, -4, -2, 77, 0), 1);
}

// What the user sees: a window filled from a picture with its own palette, a picture copied, one
// scaled, one copied with transparency, a filled rectangle, and justified and wrapped text.
TEST_F(Toolkit, PicturesAndTextGolden) {
  ASSERT_EQ(createWindow("Main", 40, 30, 160, 120, 0, 0), 0);
  selectWindow("Main");
  windowShow();
  ASSERT_EQ(windowDisplayWithPalette("BACK.PCX", nullptr), 1);
  uint8_t pal[768];
  plat_headless_palette(pal);
  EXPECT_EQ(0, std::memcmp(pal, cmap, 768));  // the picture's palette is on the screen
  EXPECT_EQ(windowDisplayWithPalette("MISSING.PCX", nullptr), 0);
  EXPECT_EQ(windowDisplay("LOGO.PCX", 4, 4, 16, 16), 1);
  EXPECT_EQ(windowDisplay("LOGO.PCX", 150, 4, 40, 40), 1);  // cut at the window's edge
  EXPECT_EQ(windowDisplayScaled("LOGO.PCX", 24, 4, 32, 24), 1);
  int w = 0, h = 0;
  uint8_t* logo = loadDataFile("LOGO.PCX", &w, &h);
  ASSERT_NE(logo, nullptr);
  EXPECT_EQ(windowDisplayTransBuf(logo, w, h, 60, 4, w, h), 1);
  EXPECT_EQ(windowDisplayBuf(logo, w, h, 80, 4, 8, 16), 1);  // the left half of each row
  MYFREE(logo, "pcx");
  EXPECT_EQ(windowFillRect(100, 4, 20, 10, 1.0f, 1.0f, 1.0f), 1);
  windowSetTextColor(1.0f, 1.0f, 0.0f);
  const int id = windowGetVRKID();
  const int colour = windowGetTextColor() | WINDOW_TEXT_DEFAULT_FLAGS;
  windowPrintBuf(id, "Left", 4, 150, 120, 5, 40, colour, WINDOW_JUSTIFY_LEFT);
  windowPrintBuf(id, "Right", 5, 150, 120, 5, 54, colour, WINDOW_JUSTIFY_RIGHT);
  windowPrintBuf(id, "Centre", 6, 150, 120, 5, 68, colour, WINDOW_JUSTIFY_CENTRE);
  EXPECT_EQ(windowFormatMessage("Wrapped text goes\non new lines", 5, 84, 100, 36, WINDOW_JUSTIFY_CENTRE), 1);
  windowDraw();
  int sw = 0, sh = 0, pitch = 0, bpp = 0;
  const uint8_t* screen = plat_headless_pixels(&sw, &sh, &pitch, &bpp);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(0, std::memcmp(pal, cmap, 768));
  EXPECT_TRUE(golden_picture("window_pictures.hex", screen + 30 * pitch + 40, 160, 120, pitch));
}

TEST_F(Toolkit, RegionsOfAWindow) {
  EXPECT_EQ(windowStartRegion(4), 0);  // no window current
  ASSERT_EQ(createWindow("Main", 100, 100, 64, 48, 0, 0), 0);
  selectWindow("Main");
  ASSERT_EQ(windowStartRegion(4), 1);
  windowAddRegionRect(10, 10, 20, 20, 0);
  EXPECT_EQ(windowEndRegion(), 0);
  ASSERT_EQ(windowAddRegionName("Box"), 1);
  EXPECT_EQ(windowRegionAt(0, 110, 110), windowFindRegion(0, "box"));
  EXPECT_EQ(windowRegionAt(0, 120, 115), nullptr);
  windowStartRegion(0);  // allocated by its first point
  windowAddRegionPoint(0, 0, 1);
  windowAddRegionPoint(8, 0, 1);
  windowAddRegionPoint(0, 8, 1);
  EXPECT_EQ(windowEndRegion(), 1);
  const int changes = windows[0].regionChangeCount;
  windowAddRegionName("BOX");  // takes the name: the old Box goes
  EXPECT_EQ(windows[0].regions[0], nullptr);
  EXPECT_GT(windows[0].regionChangeCount, changes);
  int data = 5;
  EXPECT_EQ(windowRegionSetUserData("box", &data), 1);
  EXPECT_EQ(windowRegionGetUserData("Box"), &data);
  EXPECT_EQ(windowSetRegionFlag("box", 2), 1);
  EXPECT_EQ(windowCheckRegionExists("other"), 0);
  const int before = windows[0].regionChangeCount;
  EXPECT_EQ(windowDeleteRegion("other"), 0);
  EXPECT_EQ(windows[0].regionChangeCount, before);
  EXPECT_EQ(windowStartRegion(2), 1);  // reuses the emptied slot 0
  EXPECT_EQ(windows[0].currentRegion, 0);
  EXPECT_EQ(windowDeleteRegion(nullptr), 1);
  EXPECT_EQ(windowCheckRegionExists("box"), 0);
  EXPECT_EQ(windows[0].regionCount, 0);
}

// Window buttons by name: the default bevelled look with a centred label (golden picture), the
// callback told of on, press and release once per click inside, never of a release outside; a
// button added again under its name replaces the old one in place.
TEST_F(Toolkit, WindowButtonsLookAndReportTheirClicks) {
  ASSERT_EQ(colorBuildColorTable(cubePalette().data(), nullptr), 0);  // black, white and greys to bevel with
  ASSERT_EQ(createWindow("Main", 80, 40, 160, 80, 0, 0), 0);
  selectWindow("Main");
  windowShow();
  ASSERT_EQ(windowAddButton("ok", 20, 20, 80, 24, 0), 1);
  ASSERT_EQ(windowAddButton("OK", 20, 20, 80, 24, 0), 1);  // replaced in place
  EXPECT_EQ(windows[0].buttonCount, 1);
  EXPECT_EQ(windowAddButtonText("Ok", "Next"), 1);
  static std::vector<int> events;
  events.clear();
  windowAddButtonCfunc("ok", [](void*, int event) { events.push_back(event); }, nullptr);
  windowDraw();
  const WindowButton& b = windows[0].buttons[0];
  EXPECT_TRUE(golden_picture("window_button.hex", b.normal, b.width, b.height, b.width));
  mouse_show();
  auto step = [](int dx, int dy, int buttons) {
    plat_headless_mouse(dx, dy, buttons);
    for (int i = 0; i < 3; ++i) get_input();
  };
  mouse_set_position(80 + 5, 40 + 5);
  step(0, 0, 0);
  step(30, 25, 0);  // onto the button
  step(0, 0, 1);    // press
  step(0, 0, 0);    // release inside
  EXPECT_EQ(events, (std::vector<int>{2, 0, 1}));
  events.clear();
  step(0, 0, 1);     // press, then dragged off and released outside
  step(100, 0, 1);
  step(0, 0, 0);
  EXPECT_EQ(std::count(events.begin(), events.end(), 1), 0);
  EXPECT_EQ(windowGetButtonID("nothing"), -1);
  EXPECT_EQ(windowDeleteButton("ok"), 1);
  EXPECT_EQ(windows[0].buttonCount, 0);
}

// A button not wholly inside its window is refused (it could never be clicked), and replacing a
// button by one outside leaves none of that name.
TEST_F(Toolkit, AButtonNotWhollyInsideItsWindowIsRefused) {
  ASSERT_EQ(colorBuildColorTable(cubePalette().data(), nullptr), 0);
  ASSERT_EQ(createWindow("Main", 80, 40, 160, 80, 0, 0), 0);
  selectWindow("Main");
  EXPECT_EQ(windowAddButton("edge", 150, 10, 20, 10, 0), 0);
  EXPECT_EQ(windowAddButton("below", 10, 75, 20, 10, 0x20), 0);
  EXPECT_EQ(windows[0].buttonCount, 0);
  ASSERT_EQ(windowAddButton("ok", 10, 10, 20, 10, 0), 1);
  EXPECT_EQ(windowAddButton("ok", -5, 10, 20, 10, 0), 0);
  EXPECT_EQ(windowGetButtonID("ok"), -1);
  EXPECT_EQ(windows[0].buttonCount, 0);
}

// A resized (or scaled) window's buttons work on its new window: a click on the scaled button
// reaches its callback, its id is a button of the new window, and deleting it by name takes no
// other window's button (the old window's ids are free for others once it is gone).
TEST_F(Toolkit, AResizedWindowKeepsWorkingButtons) {
  ASSERT_EQ(colorBuildColorTable(cubePalette().data(), nullptr), 0);
  ASSERT_EQ(createWindow("Main", 80, 40, 160, 80, 0, 0), 0);
  selectWindow("Main");
  windowShow();
  ASSERT_EQ(windowAddButton("ok", 20, 20, 80, 24, 0), 1);
  static std::vector<int> events;
  events.clear();
  windowAddButtonCfunc("ok", [](void*, int event) { events.push_back(event); }, nullptr);
  windowAddButtonRightCfunc("ok", [](void*, int event) { events.push_back(10 + event); }, nullptr);
  ASSERT_EQ(resizeWindow("Main", 80, 40, 320, 160), 0);
  ASSERT_EQ(scaleWindow("Main", 80, 40, 320, 160), 0);
  windowDraw();
  EXPECT_EQ(windows[0].buttons[0].x, 40);
  EXPECT_EQ(windows[0].buttons[0].width, 160);
  // Another window with a button, made after the old window went.
  ASSERT_EQ(createWindow("Other", 400, 300, 100, 60, 0, 0), 1);
  selectWindow("Other");
  windowShow();
  ASSERT_EQ(windowAddButton("x", 10, 10, 40, 20, 0), 1);
  windowAddButtonCfunc("x", [](void*, int event) { events.push_back(100 + event); }, nullptr);
  selectWindow("Main");
  mouse_show();
  auto step = [](int dx, int dy, int buttons) {
    plat_headless_mouse(dx, dy, buttons);
    for (int i = 0; i < 3; ++i) get_input();
  };
  mouse_set_position(80 + 5, 40 + 5);
  step(0, 0, 0);
  step(40 + 60, 40 + 20, 0);  // onto the scaled button: (40, 40) to (200, 88) in the window
  step(0, 0, 1);
  step(0, 0, 0);
  step(0, 0, 2);
  step(0, 0, 0);
  EXPECT_EQ(events, (std::vector<int>{2, 0, 1, 10, 11}));
  EXPECT_EQ(windowDeleteButton("ok"), 1);
  events.clear();
  step(400 + 20 - 185, 300 + 20 - 105, 0);  // onto "x" of the other window
  step(0, 0, 1);
  step(0, 0, 0);
  EXPECT_EQ(events, (std::vector<int>{102, 100, 101}));  // still there
}

// The regions' mouse dispatch over a scripted mouse path: entering, a press held past the hold
// time (one held event), the release inside; a press outside dragged in sends only the enter until
// every button is up; leaving sends the exit; a callback deleting a region ends the pass.
TEST_F(Toolkit, RegionDispatchFollowsTheMouse) {
  ASSERT_EQ(createWindow("Main", 100, 100, 64, 48, 0, 0), 0);
  selectWindow("Main");
  windowStartRegion(4);
  windowAddRegionRect(10, 10, 30, 30, 0);
  windowEndRegion();
  windowAddRegionName("Box");
  static std::vector<int> events;
  events.clear();
  windowAddRegionCfunc("box", [](Region*, void*, int event) { events.push_back(event); }, nullptr);
  auto at = [](int x, int y, int buttons) { windowCheckRegion(0, 100 + x, 100 + y, buttons); };
  at(5, 5, 0);
  EXPECT_TRUE(events.empty());
  at(15, 15, 0);                                 // enter
  at(15, 15, MOUSE_LEFT_PRESSED);                // press
  at(15, 15, MOUSE_LEFT_HELD);                   // held, too early
  plat_headless_advance(260);
  at(15, 15, MOUSE_LEFT_HELD);                   // held past the hold time
  at(15, 15, MOUSE_LEFT_HELD);                   // no second held event
  at(15, 15, 0);                                 // release
  at(40, 40, 0);                                 // exit
  EXPECT_EQ(events, (std::vector<int>{2, 0, 5, 1, 3}));
  events.clear();
  at(40, 40, MOUSE_LEFT_PRESSED);                // pressed outside
  at(15, 15, MOUSE_LEFT_HELD);                   // dragged in: enter only
  plat_headless_advance(300);
  at(15, 15, MOUSE_LEFT_HELD);
  at(15, 15, 0);                                 // released: no release event
  at(15, 15, MOUSE_LEFT_PRESSED);                // a fresh press counts again
  EXPECT_EQ(events, (std::vector<int>{2, 0}));
  events.clear();
  // A callback that deletes a region ends the pass at once.
  windowAddRegionCfunc("box", [](Region*, void*, int event) {
    events.push_back(event);
    windowDeleteRegion("box");
  }, nullptr);
  at(15, 15, 0);
  EXPECT_EQ(events, (std::vector<int>{1}));
  EXPECT_EQ(windowCheckRegionExists("box"), 0);
}

// A region's callback that deletes its own window ends the dispatch there, at every event (the
// window's regions are gone: under the address sanitizer, a pass that went on would read them),
// also when it makes a new window in the same slot.
TEST_F(Toolkit, ACallbackDeletingItsOwnWindowEndsTheDispatch) {
  static int deleteAt;
  static bool recreate;
  static std::vector<int> events;
  struct Case {
    int event;  // the event whose callback deletes the window
    bool recreate;
  };
  for (const Case c : {Case{0, false}, Case{1, false}, Case{2, false}, Case{3, false}, Case{5, false},
                       Case{0, true}, Case{2, true}}) {
    deleteAt = c.event;
    recreate = c.recreate;
    events.clear();
    ASSERT_EQ(createWindow("Main", 100, 100, 64, 48, 0, 0), 0);
    selectWindow("Main");
    for (const char* name : {"a", "b"}) {  // two regions over each other: the second is never reached
      windowStartRegion(4);
      windowAddRegionRect(10, 10, 30, 30, 0);
      windowEndRegion();
      windowAddRegionName(name);
      windowAddRegionCfunc(name, [](Region*, void*, int event) {
        events.push_back(event);
        if (event != deleteAt) return;
        deleteWindow("Main");
        if (recreate) createWindow("Main", 0, 0, 8, 8, 0, 0);
      }, nullptr);
    }
    auto at = [](int x, int y, int buttons) { windowCheckRegion(0, 100 + x, 100 + y, buttons); };
    at(15, 15, 0);
    at(15, 15, MOUSE_LEFT_PRESSED);
    plat_headless_advance(300);
    at(15, 15, MOUSE_LEFT_HELD);
    at(15, 15, 0);
    at(40, 40, 0);
    EXPECT_EQ(events.back(), c.event) << c.event;
    EXPECT_EQ(std::count(events.begin(), events.end(), c.event), 1) << c.event;
    deleteWindow("Main");
  }
}

// A panel's loop: Tab moves on, Up moves back, a click focuses the control under it, and every
// input code goes to the focused control.
TEST_F(Toolkit, FocusRingFollowsKeysAndClicks) {
  ASSERT_EQ(createWindow("Main", 80, 40, 200, 100, 0, 0), 0);
  selectWindow("Main");
  windowShow();
  initControls();
  static std::vector<std::pair<char, int>> seen;
  seen.clear();
  auto inA = [](int v) { return seen.push_back({'a', v}), 1; };
  auto inB = [](int v) { return seen.push_back({'b', v}), 2; };
  auto inC = [](int v) { return seen.push_back({'c', v}), 3; };
  EXPECT_EQ(addControl("a", 10, 10, 40, 20, inA), 0);
  EXPECT_EQ(addControl("b", 60, 10, 40, 20, inB), 1);
  EXPECT_EQ(addControl("c", 110, 10, 40, 20, inC), 2);
  const uint8_t* buf = windowGetBuffer();
  const uint8_t on = colorTable[0x7FEB];
  auto framedOn = [&](int x) { return buf[10 * 200 + x] == on; };
  EXPECT_TRUE(framedOn(10));
  EXPECT_FALSE(framedOn(60));
  EXPECT_STREQ(getCurrentControlName(), "a");

  mouse_show();
  auto poll = [&]() {
    const int code = get_input();
    if (code == 9)
      setNextControl();
    else if (code == 328)
      setPreviousControl();
    else
      processControlInput(code);
  };
  auto key = [&](int scan) {
    plat_headless_key(scan, 1);
    plat_headless_key(scan, 0);
    for (int i = 0; i < 4; ++i) poll();
  };
  key(0x0F);  // Tab
  EXPECT_STREQ(getCurrentControlName(), "b");
  key(0x0F);
  key(0x0F);  // past the last: back to the first
  EXPECT_STREQ(getCurrentControlName(), "a");
  key(0xC8);  // Up, before the first: the last
  EXPECT_STREQ(getCurrentControlName(), "c");
  EXPECT_TRUE(framedOn(110));
  EXPECT_FALSE(framedOn(10));

  // A click inside "b" (its left edge counts), then one outside every control.
  mouse_set_position(80 + 60, 40 + 15);
  plat_headless_mouse(0, 0, 1);
  poll();
  plat_headless_mouse(0, 0, 0);
  poll();
  EXPECT_STREQ(getCurrentControlName(), "b");
  mouse_set_position(80 + 100, 40 + 15);  // right edge of "b": outside
  plat_headless_mouse(0, 0, 1);
  poll();
  plat_headless_mouse(0, 0, 0);
  poll();
  EXPECT_STREQ(getCurrentControlName(), "b");
  seen.clear();
  plat_headless_key(0x1E, 1);  // 'a'
  plat_headless_key(0x1E, 0);
  for (int i = 0; i < 4; ++i) poll();
  EXPECT_NE(std::find(seen.begin(), seen.end(), std::pair<char, int>{'b', 'a'}), seen.end());
  for (auto [who, code] : seen) EXPECT_EQ(who, 'b');
  EXPECT_EQ(processControlInput(-1), 2);

  EXPECT_EQ(setControlFocusByName("C"), 2);
  EXPECT_EQ(setControlFocusByName("nobody"), -1);
  EXPECT_EQ(addControl("B", 0, 60, 10, 10, nullptr), 1);  // same name: same slot
  char name[16];
  for (int i = 3; i < CONTROLS_MAX; ++i) {
    std::snprintf(name, sizeof name, "x%d", i);
    EXPECT_EQ(addControl(name, 0, 0, 1, 1, nullptr), i);
  }
  EXPECT_EQ(addControl("one too many", 0, 0, 1, 1, nullptr), -1);
  EXPECT_EQ(controlsClose(), 1);
  EXPECT_EQ(getCurrentControlName(), nullptr);
}

}  // namespace

namespace {

// The alpha stream's three runs against the colours they must give (the window's palette is the
// colour cube of BACK.PCX: blending at the extremes lands on the picture's or the background's
// own entry), and the nine-cell fill's corners and edges.
TEST_F(Toolkit, AlphaRunsAndNineCellFill) {
  ASSERT_EQ(createWindow("Main", 0, 0, 64, 48, 0, 0), 0);
  selectWindow("Main");
  ASSERT_EQ(windowDisplayWithPalette("BACK.PCX", nullptr), 1);
  const int W = 8;
  std::vector<uint8_t> src(W * 2), bg(W * 2), dst(W * 2, 0);
  for (int i = 0; i < W * 2; ++i) {
    src[size_t(i)] = uint8_t(2 + 36 * (i % 5) + i % 6);  // cube colours, none black
    bg[size_t(i)] = uint8_t(216 - i);
  }
  // Row 0: copy 3, skip 2, blend 3 at alpha 255, 0, 255 (odd count: one pad byte).
  // Row 1: a run longer than the row (cut), blending everything at alpha 0.
  Bytes stream = {0x40, 3, 0x80, 2, 0x00, 3, 255, 0, 255, 0xEE, 0x00, 20};
  for (int i = 0; i < 20; ++i) stream.push_back(0);
  alphaBltBuf(src.data(), W, 2, W, bg.data(), stream.data(), dst.data(), W);
  const std::vector<uint8_t> want = {src[0], src[1], src[2], 0,      0,      src[5], bg[6],  src[7],
                                     bg[8],  bg[9],  bg[10], bg[11], bg[12], bg[13], bg[14], bg[15]};
  EXPECT_EQ(dst, want);

  // 30 x 30 cells of distinct values into 100 x 40: corners unscaled, edges tiled.
  std::vector<uint8_t> pic(30 * 30), out(100 * 40, 0xEE);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) pic[size_t(y * 30 + x)] = uint8_t((y / 10) * 3 + x / 10 + 1);
  fillBuf3x3(pic.data(), 30, 30, out.data(), 100, 40);
  auto at = [&](int x, int y) { return out[size_t(y * 100 + x)]; };
  for (int d = 0; d < 10; ++d) {
    EXPECT_EQ(at(d, d), 1);
    EXPECT_EQ(at(99 - d, d), 3);
    EXPECT_EQ(at(d, 39 - d), 7);
    EXPECT_EQ(at(99 - d, 39 - d), 9);
  }
  for (int x = 10; x < 90; ++x) {
    EXPECT_EQ(at(x, 0), 2);
    EXPECT_EQ(at(x, 39), 8);
    EXPECT_EQ(at(x, 20), 5);
  }
  EXPECT_EQ(at(0, 20), 4);
  EXPECT_EQ(at(99, 20), 6);
  EXPECT_EQ(std::count(out.begin(), out.end(), 0xEE), 0);
}

}  // namespace
