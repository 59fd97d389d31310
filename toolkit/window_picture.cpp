// Pictures in managed windows: a window filled from a picture file, pictures copied, scaled or
// copied with transparency into a rectangle, a picture shown with its own palette, the alpha
// blend of a picture over a background and the nine-cell fill. Every copy is cut to the window.
#include <algorithm>
#include <cstring>
#include <vector>

#include "color/color.h"
#include "base/datafile.h"
#include "base/memdbg.h"
#include "toolkit/window_internal.h"
#include "vrk/grbuf.h"
#include "vrk/vrk.h"

window_display_fn displayWindowFunc = nullptr;

bool windowCopyClipped(const uint8_t* src, int pitch, int w, int h, uint8_t* dst, int dw, int dh, int x, int y,
                       bool trans) {
  int sx = 0, sy = 0;
  if (x < 0) {
    sx = -x;
    w += x;
    x = 0;
  }
  if (y < 0) {
    sy = -y;
    h += y;
    y = 0;
  }
  w = std::min(w, dw - x);
  h = std::min(h, dh - y);
  if (w <= 0 || h <= 0) return false;
  const uint8_t* from = src + size_t(sy) * size_t(pitch) + size_t(sx);
  uint8_t* to = dst + size_t(y) * size_t(dw) + size_t(x);
  if (trans)
    trans_buf_to_buf(from, w, h, pitch, to, dw);
  else
    buf_to_buf(from, w, h, pitch, to, dw);
  return true;
}

namespace {


// The current window's buffer and size, or null.
uint8_t* target(int* w, int* h) {
  ManagedWindow* m = windowCurrentRecord();
  uint8_t* buf = m ? win_get_buf(m->id) : nullptr;
  if (!buf) return nullptr;
  *w = m->width;
  *h = m->height;
  return buf;
}

int showFile(const char* name, bool raw) {
  int w = 0, h = 0;
  uint8_t* pixels = raw ? loadRawDataFile(name, &w, &h) : loadDataFile(name, &w, &h);
  if (!pixels) return 0;
  displayInWindow(pixels, w, h, w);
  MYFREE(pixels, "pcx");
  return 1;
}

}  // namespace

void displayInWindow(const uint8_t* buffer, int width, int height, int pitch) {
  ManagedWindow* m = windowCurrentRecord();
  int ww = 0, wh = 0;
  uint8_t* dst = target(&ww, &wh);
  if (!dst || !buffer || width <= 0 || height <= 0) return;
  if (displayWindowFunc) displayWindowFunc(currentWindow, m, buffer, width, height);
  if (pitch == width && width == ww && height == wh)
    std::memcpy(dst, buffer, size_t(width) * size_t(height));
  else
    drawScaled(dst, ww, wh, ww, buffer, width, height, pitch);
}

void displayFile(const char* name) { showFile(name, false); }
void displayFileRaw(const char* name) { showFile(name, true); }
int windowDisplayRaw(const char* name) { return showFile(name, true); }

int windowDisplay(const char* name, int x, int y, int width, int height) {
  int w = 0, h = 0;
  uint8_t* pixels = loadDataFile(name, &w, &h);
  if (!pixels) return 0;
  // A picture smaller than the rectangle gives what it has.
  windowDisplayBuf(pixels, w, h, x, y, std::min(width, w), std::min(height, h));
  MYFREE(pixels, "pcx");
  return 1;
}

int windowDisplayScaled(const char* name, int x, int y, int width, int height) {
  int w = 0, h = 0;
  uint8_t* pixels = loadDataFile(name, &w, &h);
  if (!pixels) return 0;
  windowDisplayBufScaled(pixels, w, h, x, y, width, height);
  MYFREE(pixels, "pcx");
  return 1;
}

int windowDisplayBuf(const uint8_t* buffer, int bufWidth, int bufHeight, int x, int y, int width, int height) {
  int ww = 0, wh = 0;
  uint8_t* dst = target(&ww, &wh);
  if (!dst) return 0;
  if (buffer)
    windowCopyClipped(buffer, bufWidth, std::min(width, bufWidth), std::min(height, bufHeight), dst, ww, wh, x, y, false);
  return 1;
}

int windowDisplayTransBuf(const uint8_t* buffer, int bufWidth, int bufHeight, int x, int y, int width, int height) {
  int ww = 0, wh = 0;
  uint8_t* dst = target(&ww, &wh);
  if (!dst) return 0;
  if (buffer)
    windowCopyClipped(buffer, bufWidth, std::min(width, bufWidth), std::min(height, bufHeight), dst, ww, wh, x, y, true);
  return 1;
}

int windowDisplayBufScaled(const uint8_t* buffer, int bufWidth, int bufHeight, int x, int y, int width, int height) {
  int ww = 0, wh = 0;
  uint8_t* dst = target(&ww, &wh);
  if (!dst) return 0;
  if (!buffer || width <= 0 || height <= 0 || bufWidth <= 0 || bufHeight <= 0) return 1;
  if (x >= 0 && y >= 0 && x + width <= ww && y + height <= wh) {
    drawScaled(dst + size_t(y) * size_t(ww) + size_t(x), width, height, ww, buffer, bufWidth, bufHeight, bufWidth);
  } else {
    std::vector<uint8_t> scaled(size_t(width) * size_t(height));
    drawScaledBuf(scaled.data(), width, height, buffer, bufWidth, bufHeight);
    windowCopyClipped(scaled.data(), width, width, height, dst, ww, wh, x, y, false);
  }
  return 1;
}

int windowDisplayWithPalette(const char* name, const uint8_t* keep) {
  uint8_t dark[COLOR_NUM * 3] = {};
  if (keep)
    for (int i = 0; i < COLOR_NUM; ++i)
      if (keep[i]) std::memcpy(dark + 3 * i, cmap + 3 * i, 3);
  int w = 0, h = 0;
  uint8_t* pixels = loadRawDataFile(name, &w, &h);
  if (!pixels) return 0;
  uint8_t palette[COLOR_NUM * 3];
  std::memcpy(palette, datafileGetPalette(), sizeof palette);
  colorBuildColorTable(palette, keep);
  datafileConvertData(pixels, palette, w, h);
  // The screen goes dark while the window takes the new picture, then shows the new colours.
  setSystemPalette(dark);
  displayInWindow(pixels, w, h, w);
  windowDraw();
  setSystemPalette(cmap);
  MYFREE(pixels, "pcx");
  return 1;
}

void alphaBltBuf(const uint8_t* src, int width, int height, int srcPitch, const uint8_t* background,
                 const uint8_t* alpha, uint8_t* dst, int dstPitch) {
  if (!src || !background || !alpha || !dst) return;
  for (int row = 0; row < height; ++row) {
    int done = 0;
    while (done < width) {
      const int word = (alpha[0] << 8) | alpha[1];
      alpha += 2;
      const int run = (word & 0x4000) ? (word & ~0x4000) : (word & 0x8000) ? (word & ~0x8000) : word;
      // A run never reaches past the row, whatever the stream says; an empty one ends it.
      const int n = run > 0 ? std::min(run, width - done) : width - done;
      if (word & 0x4000) {
        std::memcpy(dst, src, size_t(n));
      } else if (!(word & 0x8000)) {
        for (int i = 0; i < std::min(n, run); ++i) {
          const int a = alpha[i];
          const uint8_t* s = cmap + 3 * src[i];
          const uint8_t* b = cmap + 3 * background[i];
          int rgb = 0;
          for (int c = 0; c < 3; ++c)
            rgb = (rgb << 5) | ((alphaBlendTable[s[c]][a] + alphaBlendTable[b[c]][255 - a]) & 31);
          dst[i] = colorTable[rgb];
        }
        alpha += run + (run & 1);
      }
      src += n;
      dst += n;
      background += n;
      done += n;
    }
    src += srcPitch - width;
    dst += dstPitch - width;
  }
}

void fillBuf3x3(const uint8_t* src, int srcWidth, int srcHeight, uint8_t* dst, int dstWidth, int dstHeight) {
  const int cw = srcWidth / 3, ch = srcHeight / 3;
  if (!src || !dst || cw <= 0 || ch <= 0 || dstWidth <= 0 || dstHeight <= 0) return;
  auto cell = [&](int col, int row) { return src + size_t(row * ch) * size_t(srcWidth) + size_t(col * cw); };
  auto put = [&](int col, int row, int x, int y) {
    windowCopyClipped(cell(col, row), srcWidth, cw, ch, dst, dstWidth, dstHeight, x, y, false);
  };
  for (int y = 0; y < dstHeight; y += ch)
    for (int x = 0; x < dstWidth; x += cw) put(1, 1, x, y);
  for (int x = 0; x < dstWidth; x += cw) {
    put(1, 0, x, 0);
    put(1, 2, x, dstHeight - ch);
  }
  for (int y = 0; y < dstHeight; y += ch) {
    put(0, 1, 0, y);
    put(2, 1, dstWidth - cw, y);
  }
  put(0, 0, 0, 0);
  put(2, 0, dstWidth - cw, 0);
  put(0, 2, 0, dstHeight - ch);
  put(2, 2, dstWidth - cw, dstHeight - ch);
}
