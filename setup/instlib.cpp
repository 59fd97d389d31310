// The installer's translucent drawing: lines, rings and bevels that lighten or darken the pixels
// under them, the dimmed panel windows built from them, and the message box.
#include "setup/instlib.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "base/memdbg.h"
#include "color/color.h"
#include "toolkit/window.h"
#include "vrk/grbuf.h"
#include "vrk/intrface.h"
#include "vrk/mouse.h"

namespace {

// The intensity level of a factor: 128 leaves a pixel unchanged. Factors outside 0..2 are held
// to the table's ends.
int levelOf(float factor) {
  const long level = static_cast<long>(factor * 65536.0f) >> 9;
  return level < 0 ? 0 : level > 255 ? 255 : static_cast<int>(level);
}

void shade(uint8_t* p, int level) { *p = intensityColorTable[*p][level]; }

}  // namespace

void drawTranslucentLine(uint8_t* buffer, int pitch, int x1, int y1, int x2, int y2, float factor) {
  if (!buffer) return;
  const int level = levelOf(factor);
  const int dx = 2 * std::abs(x2 - x1), dy = 2 * std::abs(y2 - y1);
  const int sx = x2 > x1 ? 1 : x2 < x1 ? -1 : 0, sy = y2 > y1 ? 1 : y2 < y1 ? -1 : 0;
  int x = x1, y = y1;
  if (dy < dx) {
    int error = dy - dx / 2;
    for (;;) {
      shade(buffer + y * pitch + x, level);
      if (x == x2) break;
      if (error >= 0) {
        y += sy;
        error -= dx;
      }
      x += sx;
      error += dy;
    }
  } else {
    int error = dx - dy / 2;
    for (;;) {
      shade(buffer + y * pitch + x, level);
      if (y == y2) break;
      if (error >= 0) {
        x += sx;
        error -= dy;
      }
      y += sy;
      error += dx;
    }
  }
}

void drawTranslucentBox(uint8_t* buffer, int pitch, int x, int y, int width, int height, float light, float dark) {
  if (width <= 0 || height <= 0) return;
  const int right = x + width - 1, bottom = y + height - 1;
  drawTranslucentLine(buffer, pitch, x, y, right, y, light);
  drawTranslucentLine(buffer, pitch, x, bottom, right, bottom, dark);
  drawTranslucentLine(buffer, pitch, x, y, x, bottom, light);
  drawTranslucentLine(buffer, pitch, right, y, right, bottom, dark);
}

void bevelBox(uint8_t* buffer, int pitch, int x, int y, int width, int height, int depth, float light, float dark) {
  for (int i = 0; i < depth && width - 2 * i > 0 && height - 2 * i > 0; ++i)
    drawTranslucentBox(buffer, pitch, x + i, y + i, width - 2 * i, height - 2 * i, light, dark);
}

int windowAddTranslucentButton(const char* name, int x, int y, int width, int height, int flags, int pitch) {
  const uint8_t* under = windowGetBuffer();
  if (!under || width <= 0 || height <= 0 || x < 0 || y < 0 || x + width > pitch ||
      y + height > windowHeight() || pitch > windowWidth())
    return 0;
  if (!windowAddButton(name, x, y, width, height, flags | 0x20)) return 0;
  auto* pressed = static_cast<uint8_t*>(MYMALLOC(size_t(width) * size_t(height), "instutil"));
  auto* normal = static_cast<uint8_t*>(MYMALLOC(size_t(width) * size_t(height), "instutil"));
  buf_to_buf(under + y * pitch + x, width, height, pitch, pressed, width);
  buf_to_buf(under + y * pitch + x, width, height, pitch, normal, width);
  bevelBox(pressed, width, 0, 0, width, height, 2, 0.8f, 1.3f);
  bevelBox(normal, width, 0, 0, width, height, 2, 1.3f, 0.8f);
  windowAddButtonBuf(name, pressed, normal, nullptr, width, height, width);
  MYFREE(pressed, "instutil");
  MYFREE(normal, "instutil");
  return 1;
}

int createDimmedWindow(const char* name, int x, int y, int width, int height, float dim, int flags) {
  Rect under;
  const uint8_t* below = windowGetBuffer();
  if (!name || !below || !windowGetRect(&under) || width <= 0 || height <= 0) return 0;
  const int pitch = under.lrx + 1;  // the current window is the full screen at the origin
  // The copy reads the current window's pixels: the rectangle must lie inside them.
  if (x < 0 || y < 0 || x + width > pitch || y + height > under.lry + 1 || under.ulx != 0 || under.uly != 0) return 0;
  if (createWindow(name, x, y, width, height, colorTable[0], flags) < 0) return 0;
  if (pushWindow(name) < 0) return 0;
  // Managed windows keep their left edge on a multiple of 4: the picture is what lies beneath
  // the window where it really is (still inside the window beneath).
  Rect placed;
  if (windowGetRect(&placed)) x = std::min(std::max(placed.ulx, 0), pitch - width);
  uint8_t* picture = windowGetBuffer();
  buf_to_buf(below + y * pitch + x, width, height, pitch, picture, width);
  const int level = levelOf(dim);
  for (int i = 0; i < width * height; ++i) shade(picture + i, level);
  bevelBox(picture, width, 0, 0, width, height, 3, 1.3f, 0.8f);
  popWindow();
  return 1;
}

int sprintfBox(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(text, sizeof text, format ? format : "", args);
  va_end(args);
  const int hidden = mouse_hidden();
  if (hidden) mouse_show();
  const int shown = win_msg(text, 150, 200, 0x2010000 | colorTable[0x7FFF]);  // white
  if (hidden) mouse_hide();
  return shown == -1 ? -1 : n;  // a box the user never saw is no message
}
