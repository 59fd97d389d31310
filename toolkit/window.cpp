// Managed windows: the table by name, the current window and its stack, start and close of the
// window system, queries and fills of the current window, nearest-pixel scaling.
#include "toolkit/window.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "color/color.h"
#include "db/db.h"
#include "base/format.h"
#include "base/memdbg.h"
#include "base/settings.h"
#include "toolkit/window_internal.h"
#include "vrk/grbuf.h"
#include "vrk/memory.h"
#include "vrk/svga.h"
#include "vrk/text.h"
#include "vrk/vrk.h"
#include "vrk/winmain.h"

ManagedWindow windows[WINDOW_MAX];
int currentWindow = -1;
uint8_t alphaBlendTable[64][256];
int (*updateWidgetsFunc)(void) = nullptr;

namespace {

constexpr const char* kTag = "window";

int winStack[WINDOW_MAX];
int winTOS = -1;
window_create_fn createWindowFunc = nullptr;
window_select_fn selectWindowFunc = nullptr;
window_delete_fn deleteWindowFunc = nullptr;
void (*deleteWidgetsFunc)(int vrkId) = nullptr;
void (*moveWidgetsFunc)(int oldId, int newId, int oldWidth, int oldHeight, int newWidth, int newHeight) = nullptr;
int xres = 0, yres = 0;

struct ModeEntry {
  int width, height;
  win_mode_fn init;
  int font;
};
const ModeEntry kModes[] = {
    {320, 200, init_mode_320_200, 3},   {640, 480, init_mode_640_480, 0},   {640, 240, init_mode_640_240, 0},
    {320, 400, init_mode_320_400, 3},   {640, 200, init_mode_640_200, 0},   {640, 400, init_mode_640_400, 0},
    {800, 300, init_mode_800_300, 0},   {800, 600, init_mode_800_600, 0},   {1024, 384, init_mode_1024_384, 0},
    {1024, 768, init_mode_1024_768, 0}, {1280, 512, init_mode_1280_512, 0}, {1280, 1024, init_mode_1280_1024, 0},
};
constexpr int kModeCount = int(sizeof(kModes) / sizeof(kModes[0]));

void freeSlot(ManagedWindow& w) {
  // The change count goes on counting over the slot's windows: a region dispatch under way on the
  // slot (a callback that deleted its own window, or made another in its place) sees a change
  // and stops before it touches the regions that went.
  const int changes = w.regionChangeCount + 1;
  std::memset(&w, 0, sizeof w);
  w.id = -1;
  w.xScale = w.yScale = 1.0f;
  w.regionChangeCount = changes;
}

bool inUse(int index) { return index >= 0 && index < WINDOW_MAX && windows[index].id != -1; }

bool nameIs(const ManagedWindow& w, const char* name) { return w.id != -1 && windowSameName(w.name, name); }

// The first slot in use with that name, or -1.
int findByName(const char* name) {
  for (int i = 0; i < WINDOW_MAX; ++i)
    if (nameIs(windows[i], name)) return i;
  return -1;
}

ManagedWindow* current() { return windowCurrentRecord(); }

// The message of a failed start, in the words of the script's texts.
void startFailed(int code) {
  char text[512];
  const char* key = nullptr;
  switch (code) {
    case WIN_ERR_VIDEO:
      std::snprintf(text, sizeof text, stringFormat("ErrInitVideo", "ii", "Cannot set the display mode %dx%d."), xres,
                    yres);
      break;
    case WIN_ERR_MEMORY:
      key = "ErrInitMem";
      break;
    case WIN_ERR_FONT:
      key = "ErrInitFont";
      break;
    case WIN_ERR_TWICE:
      key = "ErrInitTwice";
      break;
    case WIN_ERR_NOT_INIT:
      key = "ErrInitInit";
      break;
    case WIN_ERR_TOO_BIG:
      key = "ErrInitBig";
      break;
    case WIN_ERR_MODE8:
      std::exit(1);
    default:
      std::snprintf(text, sizeof text, stringFormat("ErrInitUnknown", "i", "The display could not start (%d)."), code);
      break;
  }
  if (key) std::snprintf(text, sizeof text, "%s", getString(key));
  VRKSystemError(text);
  std::exit(1);
}

// Frees a window's buttons' pictures and its regions (the window-system side is gone already).
void freeContents(ManagedWindow& w) {
  for (int i = 0; i < w.buttonCount; ++i) {
    WindowButton& b = w.buttons[i];
    for (uint8_t* p : {b.hover, b.pressed, b.normal, b.mask})
      if (p) MYFREE(p, kTag);
  }
  if (w.buttons) MYFREE(w.buttons, kTag);
  w.buttons = nullptr;
  w.buttonCount = 0;
  for (int i = 0; i < w.regionCount; ++i)
    if (w.regions[i]) regionDelete(w.regions[i]);
  if (w.regions) MYFREE(w.regions, kTag);
  w.regions = nullptr;
  w.regionCount = 0;
}

}  // namespace

// --- set-up and teardown ---

void* winMalloc(size_t size) { return MYMALLOC(size, kTag); }
void* winRealloc(void* ptr, size_t size) { return MYREALLOC(ptr, size, kTag); }
void winFree(void* ptr) {
  if (ptr) MYFREE(ptr, kTag);
}

int initWindow(int mode, int flags) {
  windowResetTextAttributes();
  windowSetHighlightColor(1.0f, 1.0f, 0.0f);
  if (mode < 0 || mode >= kModeCount) mode = 1;
  xres = kModes[mode].width;
  yres = kModes[mode].height;
  for (ManagedWindow& w : windows) freeSlot(w);
  currentWindow = -1;
  winTOS = -1;
  mem_register_func(winMalloc, winRealloc, winFree);
  int rc = win_init(kModes[mode].init, VRK95_reset_mode, flags);
  if (rc != WIN_OK) startFailed(rc);
  windowSetFont(kModes[mode].font);
  for (int c = 0; c < 64; ++c)
    for (int a = 0; a < 256; ++a) alphaBlendTable[c][a] = uint8_t((c * a) >> 9);
  return 1;
}

void windowClose(void) {
  for (ManagedWindow& w : windows)
    if (w.id != -1) {
      char name[WINDOW_NAME_MAX];
      std::memcpy(name, w.name, sizeof name);
      deleteWindow(name);
    }
  currentWindow = -1;
  winTOS = -1;
  windowInputClose();
  db_exit();
  win_exit();
}

void windowSetWindowFuncs(window_create_fn create, window_select_fn select, window_delete_fn del,
                          window_display_fn display) {
  if (create) createWindowFunc = create;
  if (select) selectWindowFunc = select;
  if (del) deleteWindowFunc = del;
  if (display) displayWindowFunc = display;
}

void windowSetWidgetsFunc(void (*deleteWidgets)(int vrkId)) { deleteWidgetsFunc = deleteWidgets; }
void windowSetUpdateWidgetsFunc(int (*updateWidgets)(void)) { updateWidgetsFunc = updateWidgets; }
void windowSetMoveWidgetsFunc(void (*moveWidgets)(int oldId, int newId, int oldWidth, int oldHeight, int newWidth,
                                                  int newHeight)) {
  moveWidgetsFunc = moveWidgets;
}

int windowGetXres(void) { return xres; }
int windowGetYres(void) { return yres; }

// --- windows by name ---

int createWindow(const char* name, int x, int y, int width, int height, int colour, int flags) {
  if (!name) return -1;
  int slot = -1;
  for (int i = 0; i < WINDOW_MAX; ++i) {
    if (nameIs(windows[i], name)) {
      deleteWindow(windows[i].name);
      slot = i;
      break;
    }
    if (slot < 0 && windows[i].id == -1) slot = i;
  }
  if (slot < 0) return -1;
  ManagedWindow& w = windows[slot];
  freeSlot(w);
  std::snprintf(w.name, sizeof w.name, "%s", name);
  flags |= WIN_INHERIT | WIN_ALIGN4;
  if (createWindowFunc) createWindowFunc(slot, &w, &flags);
  w.id = win_add(x, y, width, height, colour, flags);
  if (w.id == -1) {
    freeSlot(w);
    return -1;
  }
  w.width = width;
  w.height = height;
  w.colour = colour;
  w.flags = flags;
  return slot;
}

int deleteWindow(const char* name) {
  if (!name) return 0;
  int index = (current() && nameIs(windows[currentWindow], name)) ? currentWindow : findByName(name);
  if (index < 0) return 0;
  ManagedWindow& w = windows[index];
  if (deleteWindowFunc) deleteWindowFunc(index, name);
  if (deleteWidgetsFunc) deleteWidgetsFunc(w.id);
  win_delete(w.id);
  freeContents(w);
  freeSlot(w);
  return 1;
}

int selectWindow(const char* name) {
  if (current() && nameIs(windows[currentWindow], name)) return currentWindow;
  int index = findByName(name);
  if (index < 0) return -1;
  selectWindowID(index);
  return index;
}

int selectWindowID(int index) {
  if (!inUse(index)) return 0;
  currentWindow = index;
  if (selectWindowFunc) selectWindowFunc(index, &windows[index]);
  return 1;
}

int windowGetDefined(const char* name) { return findByName(name) >= 0 ? 1 : 0; }

int pushWindow(const char* name) {
  if (winTOS >= WINDOW_MAX - 1) return -1;
  int previous = currentWindow;
  int index = selectWindow(name);
  if (index < 0) return -1;
  for (int i = 0; i <= winTOS; ++i)
    if (winStack[i] == previous) {
      std::memmove(&winStack[i], &winStack[i + 1], sizeof(int) * size_t(winTOS - i));
      --winTOS;
      break;
    }
  winStack[++winTOS] = previous;
  return index;
}

int popWindow(void) {
  if (winTOS < 0) return -1;
  int index = winStack[winTOS--];
  if (!inUse(index)) return -1;
  char name[WINDOW_NAME_MAX];
  std::memcpy(name, windows[index].name, sizeof name);
  return selectWindow(name);
}

int resizeWindow(const char* name, int x, int y, int width, int height) {
  int index = findByName(name);
  if (index < 0 || width <= 0 || height <= 0) return -1;
  ManagedWindow& w = windows[index];
  int id = win_add(x, y, width, height, w.colour, w.flags);
  if (id == -1) return -1;
  const int ow = w.width, oh = w.height;
  const uint8_t* old = win_get_buf(w.id);
  if (old) drawScaledBuf(win_get_buf(id), width, height, old, ow, oh);
  // The old window's buttons go before their pictures do; the new window gets its own below.
  windowUnregisterButtons(w);
  for (int i = 0; i < w.buttonCount; ++i) {
    WindowButton& b = w.buttons[i];
    const int bw = b.width * width / ow, bh = b.height * height / oh;
    for (uint8_t** p : {&b.pressed, &b.normal, &b.hover, &b.mask}) {
      if (!*p) continue;
      uint8_t* scaled = static_cast<uint8_t*>(MYMALLOC(size_t(bw) * size_t(bh) + 1, kTag));
      drawScaledBuf(scaled, bw, bh, *p, b.width, b.height);
      MYFREE(*p, kTag);
      *p = scaled;
    }
    b.x = b.x * width / ow;
    b.y = b.y * height / oh;
    b.width = bw;
    b.height = bh;
  }
  for (int i = 0; i < w.regionCount; ++i) {
    Region* r = w.regions[i];
    if (!r) continue;
    for (int k = 0; k <= r->count && r->points; ++k) {
      r->points[k].x = r->points[k].x * width / ow;
      r->points[k].y = r->points[k].y * height / oh;
    }
    // The bounds follow the points, or the quick test would cut the scaled polygon.
    if (r->minX <= r->maxX) regionSetBound(r);
  }
  if (moveWidgetsFunc) moveWidgetsFunc(w.id, id, ow, oh, width, height);
  win_delete(w.id);
  w.id = id;
  w.width = width;
  w.height = height;
  w.xScale = w.yScale = 1.0f;
  windowRegisterButtons(w);
  win_draw(id);
  if (current()) win_show(windows[currentWindow].id);
  return 0;
}

int scaleWindow(const char* name, int x, int y, int width, int height) {
  int index = findByName(name);
  if (index < 0) return -1;
  ManagedWindow& w = windows[index];
  const int dw = int(float(w.width) / w.xScale), dh = int(float(w.height) / w.yScale);
  if (resizeWindow(name, x, y, width, height) != 0) return -1;
  w.xScale = dw > 0 ? float(width) / float(dw) : 1.0f;
  w.yScale = dh > 0 ? float(height) / float(dh) : 1.0f;
  return 0;
}

// --- the current window ---

int windowGetID(void) { return currentWindow; }
const char* windowGetName(void) { return current() ? windows[currentWindow].name : nullptr; }
uint8_t* windowGetBuffer(void) { return current() ? win_get_buf(windows[currentWindow].id) : nullptr; }
int windowGetVRKID(void) { return current() ? windows[currentWindow].id : -1; }
int windowGetSpecificVRKID(int index) { return index >= 0 && index < WINDOW_MAX ? windows[index].id : -1; }
int windowWidth(void) { return current() ? windows[currentWindow].width : 0; }
int windowHeight(void) { return current() ? windows[currentWindow].height : 0; }

int windowGetRect(Rect* r) { return current() && r && win_get_rect(windows[currentWindow].id, r) == 0 ? 1 : 0; }

int windowSX(void) {
  Rect r;
  return windowGetRect(&r) ? r.ulx : 0;
}

int windowSY(void) {
  Rect r;
  return windowGetRect(&r) ? r.uly : 0;
}

int pointInWindow(int x, int y) {
  Rect r;
  return windowGetRect(&r) && r.ulx <= x && x < r.lrx && r.uly <= y && y < r.lry ? 1 : 0;
}

int windowHide(void) {
  if (!current()) return 0;
  win_hide(windows[currentWindow].id);
  return 1;
}

int windowShow(void) {
  if (!current()) return 0;
  win_show(windows[currentWindow].id);
  return 1;
}

int windowDraw(void) {
  if (!current()) return 0;
  win_draw(windows[currentWindow].id);
  return 1;
}

int windowDrawRect(int ulx, int uly, int lrx, int lry) { return windowDrawRectID(currentWindow, ulx, uly, lrx, lry); }

int windowDrawRectID(int index, int ulx, int uly, int lrx, int lry) {
  if (inUse(index)) {
    Rect r{ulx, uly, lrx, lry};
    win_draw_rect(windows[index].id, &r);
  }
  return 1;
}

int windowColorIndex(float r, float g, float b) {
  return colorTable[colorFloat15(r, g, b)];  // components outside 0..1 are held at the nearer end
}

int windowFill(float r, float g, float b) {
  if (!current()) return 0;
  const ManagedWindow& w = windows[currentWindow];
  win_fill(w.id, 0, 0, w.width, w.height, windowColorIndex(r, g, b));
  return 1;
}

int windowFillRect(int x, int y, int width, int height, float r, float g, float b) {
  if (!current()) return 0;
  const ManagedWindow& w = windows[currentWindow];
  win_fill(w.id, int(float(x) * w.xScale), int(float(y) * w.yScale), int(float(width) * w.xScale),
           int(float(height) * w.yScale), windowColorIndex(r, g, b));
  return 1;
}

// --- scaling ---

void drawScaled(uint8_t* dst, int dstWidth, int dstHeight, int dstPitch, const uint8_t* src, int srcWidth,
                int srcHeight, int srcPitch) {
  if (!dst || !src || dstWidth <= 0 || dstHeight <= 0 || srcWidth <= 0 || srcHeight <= 0) return;
  if (srcWidth == dstWidth && srcHeight == dstHeight) {
    buf_to_buf(src, srcWidth, srcHeight, srcPitch, dst, dstPitch);
    return;
  }
  // 16.16 fixed-point steps, split into whole pixels and a carried fraction.
  const uint32_t xstep = (uint32_t(srcWidth) << 16) / uint32_t(dstWidth);
  const uint32_t ystep = (uint32_t(srcHeight) << 16) / uint32_t(dstHeight);
  const int xint = int(xstep >> 16), yint = int(ystep >> 16);
  const uint32_t xfrac = xstep & 0xFFFF, yfrac = ystep & 0xFFFF;
  int sy = 0, lastSy = -1;
  uint32_t yacc = 0;
  for (int dy = 0; dy < dstHeight; ++dy) {
    uint8_t* out = dst + size_t(dy) * size_t(dstPitch);
    if (sy == lastSy) {
      std::memcpy(out, out - dstPitch, size_t(dstWidth));
    } else {
      const uint8_t* in = src + size_t(sy) * size_t(srcPitch);
      int sx = 0;
      uint32_t xacc = 0;
      for (int dx = 0; dx < dstWidth; ++dx) {
        out[dx] = in[sx];
        sx += xint;
        xacc += xfrac;
        if (xacc >= 0x10000) {
          ++sx;
          xacc &= 0xFFFF;
        }
      }
      lastSy = sy;
    }
    sy += yint;
    yacc += yfrac;
    if (yacc >= 0x10000) {
      ++sy;
      yacc &= 0xFFFF;
    }
  }
}

void drawScaledBuf(uint8_t* dst, int dstWidth, int dstHeight, const uint8_t* src, int srcWidth, int srcHeight) {
  drawScaled(dst, dstWidth, dstHeight, dstWidth, src, srcWidth, srcHeight, srcWidth);
}
