// Drawing primitives on 8-bit buffers.
#include "vrk/grbuf.h"

#include <cstddef>
#include <cstring>
#include <utility>

#include "color/color.h"
#include "vrk/grasm.h"

namespace {

inline uint8_t* at(uint8_t* buf, int pitch, int x, int y) { return buf + ptrdiff_t(y) * pitch + x; }
inline const uint8_t* at(const uint8_t* buf, int pitch, int x, int y) { return buf + ptrdiff_t(y) * pitch + x; }

template <bool Trans>
void scale(const uint8_t* src, int sw, int sh, int spitch, uint8_t* dst, int dw, int dh, int dpitch) {
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  // Source pixel x covers destination columns [(x * xs) >> 16, ((x + 1) * xs) >> 16) with the
  // 16.16 ratio xs = (dw << 16) / sw, rows likewise. The ratio is cut, so the last range can end
  // short of the edge (3 -> 7 leaves column 6): the last source column and row reach the edge.
  const int64_t xs = (int64_t(dw) << 16) / sw, ys = (int64_t(dh) << 16) / sh;
  for (int y = 0; y < sh; ++y) {
    int r0 = int((y * ys) >> 16), r1 = y == sh - 1 ? dh : int(((y + 1) * ys) >> 16);
    if (r0 >= r1) continue;
    const uint8_t* s = at(src, spitch, 0, y);
    for (int x = 0; x < sw; ++x) {
      int c0 = int((x * xs) >> 16), c1 = x == sw - 1 ? dw : int(((x + 1) * xs) >> 16);
      if (c0 >= c1) continue;
      uint8_t v = s[x];
      if (Trans && v == 0) continue;
      for (int r = r0; r < r1; ++r) std::memset(at(dst, dpitch, c0, r), v, size_t(c1 - c0));
    }
  }
}

}  // namespace

void draw_line(uint8_t* buf, int pitch, int x1, int y1, int x2, int y2, int color) {
  const uint8_t c = uint8_t(color);
  if (x1 == x2) {
    if (y1 > y2) std::swap(y1, y2);
    // From both ends toward the middle, both ends included.
    for (int a = y1, b = y2; a <= b; ++a, --b) {
      *at(buf, pitch, x1, a) = c;
      *at(buf, pitch, x1, b) = c;
    }
    return;
  }
  if (x1 > x2) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  if (y1 == y2) {
    std::memset(at(buf, pitch, x1, y1), c, size_t(x2 - x1));
    return;
  }
  const int dx = x2 - x1;
  const int dy = y2 > y1 ? y2 - y1 : y1 - y2;
  const ptrdiff_t row = y2 > y1 ? pitch : -ptrdiff_t(pitch);
  int major, minor;
  ptrdiff_t major_step, minor_step;
  if (dx > dy) {
    major = dx, minor = dy, major_step = 1, minor_step = row;
  } else {
    major = dy, minor = dx, major_step = row, minor_step = 1;
  }
  // Two tracers, from each end toward the middle, each taking the nearer pixel at every step of the
  // major axis (the minor offset of step i is i * minor / major rounded half up; the backward
  // tracer rounds the mirrored way, so both meet on one line). Every pixel lies between the end
  // points, both ends are set, and the pixels form one 8-connected run.
  uint8_t* p1 = at(buf, pitch, x1, y1);
  uint8_t* p2 = at(buf, pitch, x2, y2);
  const int two_major = 2 * major, two_minor = 2 * minor;
  int e1 = major;      // (2 * i * minor + major) mod (2 * major) for the forward tracer's step i
  int e2 = major - 1;  // (2 * i * minor + major - 1) mod (2 * major) for the backward tracer
  for (int a = 0, b = major;;) {
    *p1 = c;
    *p2 = c;
    if (++a > --b) break;
    p1 += major_step, p2 -= major_step;
    e1 += two_minor, e2 += two_minor;
    if (e1 >= two_major) p1 += minor_step, e1 -= two_major;
    if (e2 >= two_major) p2 -= minor_step, e2 -= two_major;
  }
}

void draw_box(uint8_t* buf, int pitch, int left, int top, int right, int bottom, int color) {
  draw_shaded_box(buf, pitch, left, top, right, bottom, color, color);
}

void draw_shaded_box(uint8_t* buf, int pitch, int left, int top, int right, int bottom, int light, int dark) {
  draw_line(buf, pitch, left, top, right, top, light);
  draw_line(buf, pitch, left, bottom, right, bottom, dark);
  draw_line(buf, pitch, left, top, left, bottom, light);
  draw_line(buf, pitch, right, top, right, bottom, dark);
}

void draw_circle(uint8_t* buf, int pitch, int cx, int cy, int r, int color) {
  const uint8_t c = uint8_t(color);
  *at(buf, pitch, cx, cy + r) = c;
  *at(buf, pitch, cx, cy - r) = c;
  int x = 0, y = r, delta = 2 - 2 * r;
  while (y >= 0) {
    if (delta < 0 && 2 * delta + 2 * y - 1 <= 0) {
      ++x;
      delta += 2 * x + 1;
    } else if (delta > 0 && 2 * delta - 2 * x - 1 > 0) {
      --y;
      delta += 1 - 2 * y;
    } else {
      ++x;
      --y;
      delta += 2 * x - 2 * y + 2;
    }
    // The last step leaves the quadrant (y = -1); its points lie off the circle.
    if (y < 0) break;
    *at(buf, pitch, cx + x, cy + y) = c;
    *at(buf, pitch, cx + x, cy - y) = c;
    *at(buf, pitch, cx - x, cy - y) = c;
    *at(buf, pitch, cx - x, cy + y) = c;
  }
}

void cscale(const uint8_t* src, int sw, int sh, int spitch, uint8_t* dst, int dw, int dh, int dpitch) {
  scale<false>(src, sw, sh, spitch, dst, dw, dh, dpitch);
}

void trans_cscale(const uint8_t* src, int sw, int sh, int spitch, uint8_t* dst, int dw, int dh, int dpitch) {
  scale<true>(src, sw, sh, spitch, dst, dw, dh, dpitch);
}

void buf_to_buf(const uint8_t* src, int width, int height, int spitch, uint8_t* dst, int dpitch) {
  srcCopy(dst, dpitch, src, spitch, width, height);
}

void trans_buf_to_buf(const uint8_t* src, int width, int height, int spitch, uint8_t* dst, int dpitch) {
  transSrcCopy(dst, dpitch, src, spitch, width, height);
}

void mask_buf_to_buf(const uint8_t* src, int width, int height, int spitch, const uint8_t* mask, int mpitch,
                     uint8_t* dst, int dpitch) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = at(src, spitch, 0, y);
    const uint8_t* m = at(mask, mpitch, 0, y);
    uint8_t* d = at(dst, dpitch, 0, y);
    for (int x = 0; x < width; ++x)
      if (m[x]) d[x] = s[x];
  }
}

void mask_trans_buf_to_buf(const uint8_t* src, int width, int height, int spitch, const uint8_t* mask, int mpitch,
                           uint8_t* dst, int dpitch) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = at(src, spitch, 0, y);
    const uint8_t* m = at(mask, mpitch, 0, y);
    uint8_t* d = at(dst, dpitch, 0, y);
    for (int x = 0; x < width; ++x)
      if (m[x] && s[x]) d[x] = s[x];
  }
}

void rev_trans_buf_to_buf(const uint8_t* src, int width, int height, int spitch, uint8_t* dst, int dpitch) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = at(src, spitch, 0, y);
    uint8_t* d = at(dst, dpitch, 0, y);
    for (int x = 0; x < width; ++x)
      if (uint8_t v = s[width - 1 - x]) d[x] = v;
  }
}

void buf_fill(uint8_t* buf, int width, int height, int pitch, int color) {
  if (width <= 0) return;
  for (int y = 0; y < height; ++y) std::memset(at(buf, pitch, 0, y), uint8_t(color), size_t(width));
}

void buf_texture(uint8_t* buf, int width, int height, int pitch, const uint8_t* texture, int tx, int ty) {
  const int tw = texture[0] | texture[1] << 8;
  const int th = texture[2] | texture[3] << 8;
  if (tw == 0 || th == 0 || width <= 0) return;
  const uint8_t* pixels = texture + 4;
  const int col0 = ((tx % tw) + tw) % tw;
  int trow = ((ty % th) + th) % th;
  for (int y = 0; y < height; ++y) {
    uint8_t* d = at(buf, pitch, 0, y);
    const uint8_t* t = pixels + ptrdiff_t(trow) * tw;
    int x = 0, col = col0;
    while (x < width) {
      int run = tw - col;
      if (run > width - x) run = width - x;
      std::memcpy(d + x, t + col, size_t(run));
      x += run;
      col = 0;
    }
    if (++trow == th) trow = 0;
  }
}

void lighten_buf(uint8_t* buf, int width, int height, int pitch) {
  for (int y = 0; y < height; ++y) {
    uint8_t* d = at(buf, pitch, 0, y);
    for (int x = 0; x < width; ++x) d[x] = intensityColorTable[d[x]][147];
  }
}

void swap_color_buf(uint8_t* buf, int width, int height, int pitch, int a, int b) {
  const uint8_t ca = uint8_t(a), cb = uint8_t(b);
  for (int y = 0; y < height; ++y) {
    uint8_t* d = at(buf, pitch, 0, y);
    for (int x = 0; x < width; ++x) {
      if (d[x] == ca)
        d[x] = cb;
      else if (d[x] == cb)
        d[x] = ca;
    }
  }
}

void buf_outline(uint8_t* buf, int width, int height, int pitch, int color) {
  const uint8_t c = uint8_t(color);
  // Across the inner rows: entering a shape paints the pixel before it, leaving paints the first
  // pixel outside.
  for (int y = 1; y <= height - 2; ++y) {
    uint8_t* d = at(buf, pitch, 0, y);
    bool inside = false;
    for (int x = 0; x < width; ++x) {
      if (d[x] && !inside) {
        if (x > 0) d[x - 1] = c;
        inside = true;
      } else if (!d[x] && inside) {
        d[x] = c;
        inside = false;
      }
    }
  }
  // Down every column, with the pixel above in place of the left neighbour.
  for (int x = 0; x < width; ++x) {
    bool inside = false;
    for (int y = 0; y < height; ++y) {
      uint8_t* p = at(buf, pitch, x, y);
      if (*p && !inside) {
        if (y > 0) *at(buf, pitch, x, y - 1) = c;
        inside = true;
      } else if (!*p && inside) {
        *p = c;
        inside = false;
      }
    }
  }
}
