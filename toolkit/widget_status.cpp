// The status bar: two pictures of one size, the full one laid over the empty one left of the
// position. One bar exists at a time.
#include <algorithm>
#include <cstring>

#include "base/datafile.h"
#include "base/memdbg.h"
#include "toolkit/widget_internal.h"
#include "toolkit/window.h"
#include "vrk/debug.h"
#include "vrk/grbuf.h"
#include "vrk/vrk.h"

namespace {

struct StatusBar {
  uint8_t* empty;
  uint8_t* full;
  int window;
  int x, y;
  int width, height;
  int position;
  int start;
  int end;
};

StatusBar statusBar;
int statusBarActive = 0;

// Copies columns [from, to) of a bar picture into the window at the bar's place, cut to the
// window (a bar placed partly outside it must not write past its buffer).
void copyColumns(const uint8_t* picture, int from, int to) {
  uint8_t* dst = win_get_buf(statusBar.window);
  const int ww = win_width(statusBar.window), wh = win_height(statusBar.window);
  if (!dst || !picture) return;
  const int x0 = std::max({from, 0, -statusBar.x}), x1 = std::min({to, statusBar.width, ww - statusBar.x});
  const int y0 = std::max(0, -statusBar.y), y1 = std::min(statusBar.height, wh - statusBar.y);
  if (x0 >= x1 || y0 >= y1) return;
  buf_to_buf(picture + size_t(y0) * size_t(statusBar.width) + size_t(x0), x1 - x0, y1 - y0, statusBar.width,
             dst + size_t(statusBar.y + y0) * size_t(ww) + size_t(statusBar.x + x0), ww);
}

void drawStatusBar() {
  copyColumns(statusBar.empty, 0, statusBar.width);
  // The position may lie outside the bar (fractions below 0 or above 1): show 0 to all columns.
  copyColumns(statusBar.full, 0, std::clamp(statusBar.position, 0, statusBar.width));
  Rect r{statusBar.x, statusBar.y, statusBar.x + statusBar.width, statusBar.y + statusBar.height};
  win_draw_rect(statusBar.window, &r);
}

}  // namespace

int real_win_add_status_bar(int window, const char* name, const char* fullFile, const char* emptyFile, int x, int y,
                            const char* file, int line) {
  (void)file;
  (void)line;
  real_win_delete_status_bar(name);
  int fw = 0, fh = 0, ew = 0, eh = 0;
  uint8_t* full = fullFile ? loadRawDataFile(fullFile, &fw, &fh) : nullptr;
  uint8_t* empty = emptyFile ? loadRawDataFile(emptyFile, &ew, &eh) : nullptr;
  if (!full || !empty) {
    // A bar with a missing picture would draw from nothing.
    if (full) MYFREE(full, "pcx");
    if (empty) MYFREE(empty, "pcx");
    debug_puts("status bar picture not loaded\n");
    return 0;
  }
  if (fw != ew || fh != eh) {
    MYFREE(full, "pcx");
    MYFREE(empty, "pcx");
    debug_puts("status bar dimensions not the same\n");
    return 0;
  }
  Rect r{0, 0, 0, 0};
  windowGetRect(&r);
  statusBar.full = full;
  statusBar.empty = empty;
  statusBar.window = window;
  statusBar.width = fw;
  statusBar.height = fh;
  statusBar.x = x == -1 ? (r.lrx - fw) / 2 : x;
  statusBar.y = y == -1 ? r.lry - fh - 50 : y;
  statusBar.position = statusBar.start = statusBar.end = 0;
  statusBarActive = 1;
  return 1;
}

void real_win_set_status_bar(const char*, int start, int end, const char*, int) {
  if (!statusBarActive) return;
  statusBar.position = statusBar.start = start;
  statusBar.end = end;
  drawStatusBar();
}

void real_win_update_status_bar(const char*, float from, float to, const char*, int) {
  if (!statusBarActive) return;
  statusBar.position = statusBar.start = int(from * float(statusBar.width));
  statusBar.end = int(to * float(statusBar.width));
  drawStatusBar();
}

void real_win_increment_status_bar(const char*, float fraction, const char*, int) {
  if (!statusBarActive) return;
  statusBar.position = statusBar.start + int(float(statusBar.end - statusBar.start) * fraction);
  drawStatusBar();
}

void real_win_get_status_info(const char*, int* position, int* start, int* end, const char*, int) {
  const bool on = statusBarActive != 0;
  if (position) *position = on ? statusBar.position : -1;
  if (start) *start = on ? statusBar.start : -1;
  if (end) *end = on ? statusBar.end : -1;
}

void real_win_modify_status_info(const char*, int position, int start, int end, const char*, int) {
  if (!statusBarActive) return;
  statusBar.position = position;
  statusBar.start = start;
  statusBar.end = end;
}

void real_win_delete_status_bar(const char*) {
  if (statusBar.full) MYFREE(statusBar.full, "pcx");
  if (statusBar.empty) MYFREE(statusBar.empty, "pcx");
  std::memset(&statusBar, 0, sizeof statusBar);
  statusBarActive = 0;
}

void freeStatusBar(const char* name) { real_win_delete_status_bar(name); }

void widgetMoveStatusBar(int oldWindow, int newWindow, int oldWidth, int oldHeight, int newWidth, int newHeight) {
  if (!statusBarActive || statusBar.window != oldWindow) return;
  statusBar.window = newWindow;  // its pictures keep their size; its place follows the window's
  statusBar.x = widgetScale(statusBar.x, oldWidth, newWidth);
  statusBar.y = widgetScale(statusBar.y, oldHeight, newHeight);
}

int widgetStatusBarWindow(void) { return statusBarActive ? statusBar.window : -1; }
