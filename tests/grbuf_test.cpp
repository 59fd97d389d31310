// Drawing primitives and row copiers.
//
// Golden pictures live in tests/data/*.hex: a line "W H", then one line per row with two hex
// digits per pixel. Run the test with UPDATE_GOLDEN=1 in the environment to rewrite them from the
// current results (after a deliberate change; look at the diff before committing).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "color/color.h"
#include "tests/support/golden.h"
#include "vrk/grasm.h"
#include "vrk/grbuf.h"

namespace {

struct Pic {
  int w, h;
  std::vector<uint8_t> px;
  Pic(int w_, int h_, uint8_t fill = 0) : w(w_), h(h_), px(size_t(w_) * size_t(h_), fill) {}
  uint8_t* p() { return px.data(); }
  uint8_t& at(int x, int y) { return px[size_t(y) * size_t(w) + size_t(x)]; }
};

// Reference copies, byte by byte.
void ref_copy(uint8_t* d, int dp, const uint8_t* s, int sp, int w, int h, bool trans) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t v = s[ptrdiff_t(y) * sp + x];
      if (!trans || v) d[ptrdiff_t(y) * dp + x] = v;
    }
}

std::vector<uint8_t> texture(int w, int h) {
  std::vector<uint8_t> t = {uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8)};
  for (int i = 0; i < w * h; ++i) t.push_back(uint8_t(i + 1));
  return t;
}

}  // namespace

TEST(DrawLine, HorizontalVerticalAndBoxCorners) {
  Pic a(32, 32);
  draw_line(a.p(), a.w, 10, 5, 20, 5, 7);
  for (int x = 0; x < 32; ++x) EXPECT_EQ(a.at(x, 5), (x >= 10 && x <= 19) ? 7 : 0) << x;
  Pic b(32, 32);
  draw_line(b.p(), b.w, 5, 20, 5, 10, 7);  // given bottom to top
  for (int y = 0; y < 32; ++y) EXPECT_EQ(b.at(5, y), (y >= 10 && y <= 20) ? 7 : 0) << y;
  Pic c(32, 32);
  draw_box(c.p(), c.w, 3, 4, 12, 9, 5);
  for (auto [x, y] : {std::pair{3, 4}, {12, 4}, {3, 9}, {12, 9}}) EXPECT_EQ(c.at(x, y), 5) << x << "," << y;
  int set = 0;
  for (uint8_t v : c.px) set += v != 0;
  EXPECT_EQ(set, 2 * 10 + 2 * 4);  // the perimeter, nothing else
  Pic d(32, 32);
  draw_shaded_box(d.p(), d.w, 3, 4, 12, 9, 1, 2);
  EXPECT_EQ(d.at(3, 4), 1);
  EXPECT_EQ(d.at(7, 4), 1);
  EXPECT_EQ(d.at(3, 7), 1);
  EXPECT_EQ(d.at(7, 9), 2);
  EXPECT_EQ(d.at(12, 4), 2);  // the right edge comes last
  EXPECT_EQ(d.at(12, 9), 2);
  EXPECT_EQ(d.at(3, 9), 1);  // the left edge is drawn after the bottom
}

// Every line between two points of a 12 x 12 grid (rows aside, which stop short of their right
// end): drawn either way round it gives the same pixels, all inside the end points' bounding box,
// both ends set, one pixel per step of the longer axis, each the nearest to the ideal line, the
// steps 8-connected. The line is also drawn into a buffer of exactly its bounding box, where
// AddressSanitizer sees any write past it.
TEST(DrawLine, EveryLineOfAGridIsOneConnectedRunInsideItsBox) {
  constexpr int N = 12, M = 12;  // grid, and the margin around it
  for (int x1 = 0; x1 < N; ++x1)
    for (int y1 = 0; y1 < N; ++y1)
      for (int x2 = 0; x2 < N; ++x2)
        for (int y2 = 0; y2 < N; ++y2) {
          if (y1 == y2) continue;
          Pic a(N + 2 * M, N + 2 * M), b(N + 2 * M, N + 2 * M);
          draw_line(a.p(), a.w, x1 + M, y1 + M, x2 + M, y2 + M, 1);
          draw_line(b.p(), b.w, x2 + M, y2 + M, x1 + M, y1 + M, 1);
          const auto line = ::testing::Message() << "(" << x1 << "," << y1 << ")-(" << x2 << "," << y2 << ")";
          ASSERT_EQ(a.px, b.px) << line;
          const int lx = std::min(x1, x2), hx = std::max(x1, x2), ly = std::min(y1, y2), hy = std::max(y1, y2);
          const bool shallow = hx - lx > hy - ly;
          const int major = shallow ? hx - lx : hy - ly;
          int count = 0, prev = 0;
          for (int y = 0; y < a.h; ++y)
            for (int x = 0; x < a.w; ++x) {
              if (!a.at(x, y)) continue;
              ++count;
              ASSERT_TRUE(x - M >= lx && x - M <= hx && y - M >= ly && y - M <= hy) << line << " sets " << x - M << "," << y - M;
            }
          ASSERT_EQ(a.at(x1 + M, y1 + M), 1) << line;
          ASSERT_EQ(a.at(x2 + M, y2 + M), 1) << line;
          ASSERT_EQ(count, major + 1) << line;
          for (int m = 0; m <= major; ++m) {
            // The one pixel at step m of the longer axis, from the first end.
            const int at_major = shallow ? x1 + (x2 > x1 ? m : -m) : y1 + (y2 > y1 ? m : -m);
            int k = -1;
            for (int q = 0; q < N; ++q)
              if (shallow ? a.at(at_major + M, q + M) : a.at(q + M, at_major + M)) k = q;
            ASSERT_GE(k, 0) << line << " has a gap at step " << m;
            const double t = double(m) / major;
            const double ideal = shallow ? y1 + t * (y2 - y1) : x1 + t * (x2 - x1);
            ASSERT_LE(std::abs(k - ideal), 0.5) << line << " at step " << m;
            if (m > 0) {
              ASSERT_LE(std::abs(k - prev), 1) << line << " breaks at step " << m;
            }
            prev = k;
          }
          std::vector<uint8_t> tight(size_t(hx - lx + 1) * size_t(hy - ly + 1));
          draw_line(tight.data(), hx - lx + 1, x1 - lx, y1 - ly, x2 - lx, y2 - ly, 1);
        }
}

TEST(DrawCircle, SymmetricAndOnTheRadius) {
  for (int r = 0; r <= 12; ++r) {
    Pic a(32, 32);
    draw_circle(a.p(), a.w, 15, 15, r, 3);
    EXPECT_EQ(a.at(15, 15 + r), 3);
    EXPECT_EQ(a.at(15, 15 - r), 3);
    EXPECT_EQ(a.at(15 + r, 15), 3);
    EXPECT_EQ(a.at(15 - r, 15), 3);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        if (!a.at(x, y)) continue;
        EXPECT_EQ(a.at(30 - x, y), 3);
        EXPECT_EQ(a.at(x, 30 - y), 3);
        double d = std::hypot(x - 15, y - 15);
        EXPECT_NEAR(d, r, 0.75) << "r=" << r << " at " << x << "," << y;
      }
  }
}

TEST(Scale, RepeatsDropsAndCoversTheDestination) {
  const uint8_t src[4] = {1, 2, 3, 4};
  Pic big(4, 4);
  cscale(src, 2, 2, 2, big.p(), 4, 4, 4);
  const uint8_t want[16] = {1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4};
  EXPECT_EQ(0, std::memcmp(big.p(), want, 16));
  Pic one(1, 1);
  cscale(src, 2, 2, 2, one.p(), 1, 1, 1);
  EXPECT_EQ(one.at(0, 0), 4);
  // 3 -> 4 and 3 -> 7 in both directions: every destination pixel is written.
  const uint8_t s9[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  for (int dw : {4, 5, 7, 8})
    for (int dh : {4, 5, 7}) {
      Pic d(dw, dh);
      cscale(s9, 3, 3, 3, d.p(), dw, dh, dw);
      for (uint8_t v : d.px) EXPECT_NE(v, 0) << dw << "x" << dh;
      EXPECT_EQ(d.at(0, 0), 1);
      EXPECT_EQ(d.at(dw - 1, dh - 1), 9);
    }
  // Every one-row size pair up to 24: each destination column shows the source pixel whose 16.16
  // range holds it, and columns past the last range (the ratio is cut) show the last pixel.
  for (int sw = 1; sw <= 24; ++sw)
    for (int dw = 1; dw <= 24; ++dw) {
      std::vector<uint8_t> row(static_cast<size_t>(sw));
      for (int x = 0; x < sw; ++x) row[size_t(x)] = uint8_t(x + 1);
      Pic d(dw, 1);
      cscale(row.data(), sw, 1, sw, d.p(), dw, 1, dw);
      const int64_t xs = (int64_t(dw) << 16) / sw;
      for (int c = 0; c < dw; ++c) {
        int want = sw;
        for (int x = 0; x < sw; ++x)
          if (c >= (x * xs) >> 16 && c < ((x + 1) * xs) >> 16) want = x + 1;
        ASSERT_EQ(d.at(c, 0), want) << sw << " -> " << dw << " at column " << c;
      }
    }
  const uint8_t holes[4] = {0, 2, 3, 0};
  Pic t(4, 4, 9);
  trans_cscale(holes, 2, 2, 2, t.p(), 4, 4, 4);
  const uint8_t want_t[16] = {9, 9, 2, 2, 9, 9, 2, 2, 3, 3, 9, 9, 3, 3, 9, 9};
  EXPECT_EQ(0, std::memcmp(t.p(), want_t, 16));
}

TEST(Copies, TransparentMaskedAndMirrored) {
  const uint8_t row[4] = {1, 2, 0, 3};
  uint8_t dst[4] = {9, 9, 9, 9};
  rev_trans_buf_to_buf(row, 4, 1, 4, dst, 4);
  const uint8_t want[4] = {3, 9, 2, 1};
  EXPECT_EQ(0, std::memcmp(dst, want, 4));

  const uint8_t src[6] = {1, 0, 3, 4, 5, 0};
  const uint8_t mask[6] = {1, 1, 0, 0, 7, 7};
  uint8_t d1[6] = {9, 9, 9, 9, 9, 9}, d2[6] = {9, 9, 9, 9, 9, 9};
  mask_buf_to_buf(src, 3, 2, 3, mask, 3, d1, 3);
  mask_trans_buf_to_buf(src, 3, 2, 3, mask, 3, d2, 3);
  const uint8_t w1[6] = {1, 0, 9, 9, 5, 0}, w2[6] = {1, 9, 9, 9, 5, 9};
  EXPECT_EQ(0, std::memcmp(d1, w1, 6));
  EXPECT_EQ(0, std::memcmp(d2, w2, 6));

  for (int fast : {0, 1}) {
    mmxEnabled = fast;
    Pic s(20, 3), d(20, 3, 9);
    for (size_t i = 0; i < s.px.size(); ++i) s.px[i] = uint8_t(i % 3 == 0 ? 0 : i);
    trans_buf_to_buf(s.p(), 20, 3, 20, d.p(), 20);
    for (size_t i = 0; i < s.px.size(); ++i) EXPECT_EQ(d.px[i], s.px[i] ? s.px[i] : 9) << "fast=" << fast << " " << i;
    Pic c(20, 3, 9);
    buf_to_buf(s.p(), 20, 3, 20, c.p(), 20);
    EXPECT_EQ(c.px, s.px);
  }
  mmxEnabled = 0;
}

// Both paths against a byte-by-byte reference: every width 0..70 and the widths around the inline
// copy's steps, every alignment of both pointers, random pitches and contents, the bytes around
// the rectangle untouched.
TEST(Copies, FastAndPlainPathsAgreeWithTheReference) {
  std::mt19937 rng(1234);
  using Fn = void (*)(uint8_t*, int, const uint8_t*, int, int, int);
  const Fn fns[4] = {srcCopy_plain, srcCopy_fast, transSrcCopy_plain, transSrcCopy_fast};
  std::vector<uint8_t> src(4096), dst0(4096), want, got;
  std::vector<int> widths(71);
  std::iota(widths.begin(), widths.end(), 0);
  widths.insert(widths.end(), {95, 96, 97, 127, 128, 129, 480, 511, 512, 513, 700});
  for (int w : widths)
    for (int sa = 0; sa < 8; ++sa)
      for (int da = 0; da < 8; ++da) {
        const int h = 1 + int(rng() % 4);
        const int sp = w + int(rng() % 13), dp = w + int(rng() % 13);
        for (auto& b : src) b = (rng() % 3) ? uint8_t(rng()) : 0;
        for (auto& b : dst0) b = uint8_t(rng());
        // Offsets from a 16-byte-aligned base so that the alignment is what the loop says.
        uint8_t* sbase = src.data() + (16 - (reinterpret_cast<uintptr_t>(src.data()) & 15)) + 16;
        const size_t doff = (16 - (reinterpret_cast<uintptr_t>(dst0.data()) & 15)) + 16 + size_t(da);
        for (int k = 0; k < 4; ++k) {
          const bool trans = k >= 2;
          want = dst0;
          ref_copy(want.data() + doff, dp, sbase + sa, sp, w, h, trans);
          got = dst0;
          fns[k](got.data() + doff, dp, sbase + sa, sp, w, h);
          ASSERT_EQ(want, got) << "fn " << k << " w=" << w << " sa=" << sa << " da=" << da << " sp=" << sp << " dp=" << dp;
        }
      }
}

TEST(Copies, FastPathIsReportedOnX86) {
#if defined(__x86_64__)
  EXPECT_EQ(mmxTest(), 1);
#else
  EXPECT_TRUE(mmxTest() == 0 || mmxTest() == 1);
#endif
}

TEST(Fills, FillTextureSwapLighten) {
  Pic f(6, 4, 1);
  buf_fill(f.p() + 6 + 1, 3, 2, 6, 5);
  int fives = 0;
  for (uint8_t v : f.px) fives += v == 5;
  EXPECT_EQ(fives, 6);
  EXPECT_EQ(f.at(1, 1), 5);
  EXPECT_EQ(f.at(3, 2), 5);
  EXPECT_EQ(f.at(4, 1), 1);

  // 3 x 2 texture 1 2 3 / 4 5 6, starting at column 4 mod 3 = 1, row -1 mod 2 = 1.
  std::vector<uint8_t> tex = texture(3, 2);
  Pic t(7, 3);
  buf_texture(t.p(), 7, 3, 7, tex.data(), 4, -1);
  const uint8_t want[21] = {5, 6, 4, 5, 6, 4, 5, 2, 3, 1, 2, 3, 1, 2, 5, 6, 4, 5, 6, 4, 5};
  EXPECT_EQ(0, std::memcmp(t.p(), want, 21));

  Pic s(4, 1);
  const uint8_t row[4] = {1, 2, 3, 1};
  std::memcpy(s.p(), row, 4);
  swap_color_buf(s.p(), 4, 1, 4, 1, 1);
  EXPECT_EQ(0, std::memcmp(s.p(), row, 4));
  swap_color_buf(s.p(), 4, 1, 4, 1, 3);
  const uint8_t swapped[4] = {3, 2, 1, 3};
  EXPECT_EQ(0, std::memcmp(s.p(), swapped, 4));

  uint8_t saved[256];
  for (int c = 0; c < 256; ++c) saved[c] = intensityColorTable[c][147], intensityColorTable[c][147] = uint8_t(255 - c);
  Pic l(3, 2, 10);
  l.at(1, 0) = 0;
  lighten_buf(l.p(), 2, 2, 3);
  EXPECT_EQ(l.at(0, 0), 245);
  EXPECT_EQ(l.at(1, 0), 255);
  EXPECT_EQ(l.at(2, 0), 10);  // outside the rectangle
  EXPECT_EQ(l.at(1, 1), 245);
  for (int c = 0; c < 256; ++c) intensityColorTable[c][147] = saved[c];
}

TEST(Outline, SurroundsAShape) {
  Pic a(7, 7);
  for (int y = 2; y <= 4; ++y)
    for (int x = 2; x <= 4; ++x) a.at(x, y) = 1;
  buf_outline(a.p(), 7, 7, 7, 8);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 7; ++x) {
      const bool shape = x >= 2 && x <= 4 && y >= 2 && y <= 4;
      const bool ring = !shape && x >= 1 && x <= 5 && y >= 1 && y <= 5;
      const bool corner = (x == 1 || x == 5) && (y == 1 || y == 5);
      if (shape) {
        EXPECT_EQ(a.at(x, y), 1);
      } else if (ring && !corner) {
        EXPECT_EQ(a.at(x, y), 8) << x << "," << y;
      } else if (!ring) {
        EXPECT_EQ(a.at(x, y), 0) << x << "," << y;
      }
    }
  // A shape at the edge paints nothing outside the rectangle.
  Pic e(5, 3, 0);
  e.at(0, 1) = 1;
  Pic big(7, 5, 0);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) big.at(x + 1, y + 1) = e.at(x, y);
  buf_outline(big.p() + 7 + 1, 5, 3, 7, 8);
  for (int y = 0; y < 5; ++y) {
    EXPECT_EQ(big.at(0, y), 0);
    EXPECT_EQ(big.at(6, y), 0);
  }
  for (int x = 0; x < 7; ++x) {
    EXPECT_EQ(big.at(x, 0), 0);
    EXPECT_EQ(big.at(x, 4), 0);
  }
}

TEST(Golden, LinesBoxesCircles) {
  Pic a(64, 48);
  int c = 1;
  for (int k = 0; k < 16; ++k) {
    // A fan of lines from the centre to points around a rectangle.
    int x = k < 8 ? k * 8 : 63 - (k - 8) * 8, y = k < 8 ? 0 : 47;
    draw_line(a.p(), a.w, 31, 23, x, y, c++);
  }
  draw_line(a.p(), a.w, 0, 40, 63, 33, c++);
  draw_line(a.p(), a.w, 60, 2, 60, 45, c++);
  draw_box(a.p(), a.w, 2, 30, 20, 44, c++);
  draw_shaded_box(a.p(), a.w, 4, 32, 18, 42, c, c + 1);
  c += 2;
  draw_circle(a.p(), a.w, 45, 30, 9, c++);
  draw_circle(a.p(), a.w, 45, 30, 3, c++);
  draw_circle(a.p(), a.w, 10, 10, 1, c++);
  EXPECT_TRUE(golden_picture("grbuf_lines.hex", a.p(), a.w, a.h, a.w));
}

TEST(Golden, ScaleTextureOutlineCopies) {
  Pic a(64, 48);
  Pic src(5, 4);
  for (int i = 0; i < 20; ++i) src.px[size_t(i)] = uint8_t(i % 4 == 0 ? 0 : 20 + i);
  cscale(src.p(), 5, 4, 5, a.p(), 13, 11, a.w);
  trans_cscale(src.p(), 5, 4, 5, a.p() + 15, 3, 3, a.w);
  trans_cscale(src.p(), 5, 4, 5, a.p() + 20, 17, 9, a.w);
  std::vector<uint8_t> tex = texture(5, 3);
  buf_texture(a.p() + 13 * a.w, 20, 9, a.w, tex.data(), 7, 2);
  rev_trans_buf_to_buf(src.p(), 5, 4, 5, a.p() + 13 * a.w + 22, a.w);
  Pic shape(20, 14);
  draw_circle(shape.p(), shape.w, 6, 6, 4, 60);
  buf_fill(shape.p() + 3 * shape.w + 12, 5, 8, shape.w, 61);
  buf_outline(shape.p(), 20, 14, 20, 62);
  trans_buf_to_buf(shape.p(), 20, 14, 20, a.p() + 24 * a.w + 30, a.w);
  swap_color_buf(a.p(), 64, 48, 64, 60, 33);
  EXPECT_TRUE(golden_picture("grbuf_blits.hex", a.p(), a.w, a.h, a.w));
}
