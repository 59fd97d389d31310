// Scroll devices: a track with a draggable thumb and two buttons drawn from pictures, positions
// in divisions, the per-frame mouse routine and the key routine with their repeats.
#include "toolkit/scroll.h"

#include <initializer_list>

#include "base/datafile.h"
#include "base/memdbg.h"
#include "toolkit/window.h"
#include "vrk/debug.h"
#include "vrk/input.h"
#include "vrk/mouse.h"

namespace {

constexpr const char* kTag = "scroll";

// Parts of the device under the mouse.
enum : int { PART_NONE = 0, PART_UP = 1, PART_DOWN = 2, PART_BEFORE = 3, PART_AFTER = 4, PART_THUMB = 5 };
// Key codes the device handles.
enum : int {
  KEY_HOME = 0x147,
  KEY_UP = 0x148,
  KEY_PAGE_UP = 0x149,
  KEY_LEFT = 0x14B,
  KEY_RIGHT = 0x14D,
  KEY_END = 0x14F,
  KEY_DOWN = 0x150,
  KEY_PAGE_DOWN = 0x151,
};

ScrollDevice* currentScrollDevice = nullptr;

void freeDevice(ScrollDevice* d, bool withPictures);

// Holds a device for the time of one of its routines: a callback that deletes the device
// meanwhile only marks it (the routine stops at the mark), and the device is freed when the
// outermost routine returns.
struct Hold {
  ScrollDevice* d;
  explicit Hold(ScrollDevice* device) : d(device) { ++d->busy; }
  ~Hold() {
    if (--d->busy == 0 && d->deleted) freeDevice(d, d->deleted == 2);
  }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
};

bool gone(const ScrollDevice* d) { return d->deleted != 0; }

bool vertical(const ScrollDevice* d) { return (d->flags & SCROLL_VERTICAL) != 0; }
int trackLength(const ScrollDevice* d) { return vertical(d) ? d->trackHeight : d->trackWidth; }
int thumbLength(const ScrollDevice* d) { return vertical(d) ? d->thumbHeight : d->thumbWidth; }
int trackStart(const ScrollDevice* d) { return vertical(d) ? d->trackY : d->trackX; }
// The room the thumb moves in.
int travel(const ScrollDevice* d) { return trackLength(d) - thumbLength(d); }

// Pixels and divisions convert through the thumb's travel; a device without travel or without
// divisions keeps its thumb at the start (never dividing by zero).
int positionFromOffset(const ScrollDevice* d, int offset) {
  const int room = travel(d);
  if (room <= 0) return 0;
  return int(double(offset) * double(d->divisions) / double(room));
}

int offsetFromPosition(const ScrollDevice* d, int position) {
  if (d->divisions <= 0 || travel(d) <= 0) return 0;
  return int(double(travel(d)) * double(position) / double(d->divisions));
}

int clampToLimits(const ScrollDevice* d, int position) {
  if (d->minimum != -1 && position < d->minimum) position = d->minimum;
  if (d->maximum != -1 && position > d->maximum) position = d->maximum;
  return position;
}

// Fill the track, draw the thumb at its offset, show the track.
void paintThumb(ScrollDevice* d) {
  if (gone(d)) return;
  d->fill(d->trackX, d->trackY, d->trackWidth, d->trackHeight);
  if (gone(d)) return;
  if (d->thumb) {
    const int x = vertical(d) ? d->trackX : d->trackX + d->thumbOffset;
    const int y = vertical(d) ? d->trackY + d->thumbOffset : d->trackY;
    windowDisplayScrollBuf(d, d->thumb, d->thumbPitch, d->thumbHeight, x, y, d->thumbWidth, d->thumbHeight);
  }
  d->draw(d->trackX, d->trackY, d->trackWidth, d->trackHeight);
}

void updateThumb(ScrollDevice* d) {
  d->thumbOffset = offsetFromPosition(d, d->position);
  paintThumb(d);
}

// Every position change: store, tell, repaint.
void moveTo(ScrollDevice* d, int position) {
  d->position = position;
  d->moveThumb(position);
  updateThumb(d);
}

// Scrolls by delta, stopping at the limit; 1 when the position changed.
int doScroll(ScrollDevice* d, int delta) {
  int next;
  if (gone(d)) return 0;
  if (delta > 0) {
    const int limit = d->maximum != -1 ? d->maximum : d->divisions;
    if (d->position >= limit) return 0;
    next = d->position + delta > limit ? limit : d->position + delta;
  } else if (delta < 0) {
    const int limit = d->minimum != -1 ? d->minimum : 0;
    if (d->position <= limit) return 0;
    next = d->position + delta < limit ? limit : d->position + delta;
  } else {
    return 0;
  }
  moveTo(d, next);
  return 1;
}

bool inside(int x, int y, int rx, int ry, int rw, int rh) { return x >= rx && x < rx + rw && y >= ry && y < ry + rh; }

// The part under a screen point.
int whereIsMouse(const ScrollDevice* d, int sx, int sy) {
  const int x = sx - windowSX(), y = sy - windowSY();
  if (inside(x, y, d->trackX, d->trackY, d->trackWidth, d->trackHeight)) {
    const int p = vertical(d) ? y : x, s = trackStart(d);
    if (p < s + d->thumbOffset) return PART_BEFORE;
    if (p < s + d->thumbOffset + thumbLength(d)) return PART_THUMB;
    return PART_AFTER;
  }
  if (inside(x, y, d->upX, d->upY, d->upWidth, d->upHeight)) return PART_UP;
  if (inside(x, y, d->downX, d->downY, d->downWidth, d->downHeight)) return PART_DOWN;
  return PART_NONE;
}

// The mouse's coordinate along the axis, in window pixels.
int mouseAlongAxis(const ScrollDevice* d) {
  int x = 0, y = 0;
  mouse_get_position(&x, &y);
  return vertical(d) ? y - windowSY() : x - windowSX();
}

void doThumbTrack(ScrollDevice* d) {
  const int p = mouseAlongAxis(d), s = trackStart(d);
  if (p == s + d->thumbOffset + d->grabOffset) return;
  int position, offset;
  if (p < s + d->grabOffset) {
    position = d->minimum != -1 ? d->minimum : 0;
    offset = d->minimum != -1 ? offsetFromPosition(d, position) : 0;
  } else if (p >= s + travel(d) + d->grabOffset) {
    position = d->maximum != -1 ? d->maximum : d->divisions;
    offset = d->maximum != -1 ? offsetFromPosition(d, position) : travel(d);
  } else {
    position = clampToLimits(d, positionFromOffset(d, p - s - d->grabOffset));
    offset = offsetFromPosition(d, position);  // the thumb snaps to its division
  }
  if (position == d->position) return;
  d->position = position;
  d->thumbOffset = offset;
  d->moveThumb(position);
  paintThumb(d);
}

void showButtons(ScrollDevice* d, int up, int down) {
  if (d->upShownPressed != up || d->downShownPressed != down) setScrollDeviceButtons(d, up, down);
}

void pressStep(ScrollDevice* d, int part) {
  d->partPressed = part;
  if (gone(d)) return;
  switch (part) {
    case PART_UP:
      setScrollDeviceButtons(d, 1, d->downShownPressed);
      doScroll(d, -1);
      break;
    case PART_DOWN:
      setScrollDeviceButtons(d, d->upShownPressed, 1);
      doScroll(d, 1);
      break;
    case PART_BEFORE:
      doScroll(d, -d->pageIncrement);
      break;
    case PART_AFTER:
      doScroll(d, d->pageIncrement);
      break;
    case PART_THUMB:
      d->grabOffset = mouseAlongAxis(d) - trackStart(d) - d->thumbOffset;
      break;
    default:
      break;
  }
}

void heldStep(ScrollDevice* d, int part, uint32_t now) {
  if (d->partPressed == PART_THUMB) {
    doThumbTrack(d);
    return;
  }
  if (d->partPressed == PART_NONE || elapsed_tocks(now, d->pressTime) < SCROLL_REPEAT_DELAY_MS) return;
  switch (d->partPressed) {
    case PART_UP:
      showButtons(d, part == PART_UP, d->downShownPressed);
      if (part == PART_UP) doScroll(d, -1);
      break;
    case PART_DOWN:
      showButtons(d, d->upShownPressed, part == PART_DOWN);
      if (part == PART_DOWN) doScroll(d, 1);
      break;
    case PART_BEFORE:
      if (part == PART_BEFORE) doScroll(d, -d->pageIncrement);
      break;
    case PART_AFTER:
      if (part == PART_AFTER) doScroll(d, d->pageIncrement);
      break;
    default:
      break;
  }
}

void releaseStep(ScrollDevice* d) {
  if (gone(d)) return;
  if (d->partPressed == PART_UP || d->partPressed == PART_DOWN) setScrollDeviceButtons(d, 0, 0);
  d->partPressed = PART_NONE;
}

// A scrolling key that repeats: at once, then after the delay on every call.
int repeatingScroll(ScrollDevice* d, int delta) {
  const uint32_t now = get_time();
  if (!d->keyRepeating) {
    d->keyRepeating = 1;
    d->keyRepeatStart = now;
    return doScroll(d, delta);
  }
  if (elapsed_tocks(now, d->keyRepeatStart) < SCROLL_REPEAT_DELAY_MS) return 0;
  return doScroll(d, delta);
}

void setPicture(ScrollDevice* d, int slot, const char* file, int* width, int* height, int* pitch, bool* ok) {
  if (!file) return;
  int w = 0, h = 0;
  uint8_t* pixels = loadDataFile(file, &w, &h);
  if (!pixels) {
    *ok = false;
    return;
  }
  if (d->loaded[slot]) MYFREE(d->loaded[slot], "pcx");
  d->loaded[slot] = pixels;
  *width = w;
  *height = h;
  *pitch = w;
}

}  // namespace

void genericScrollCallback(int) {}

void defaultFillFunc(int x, int y, int width, int height) { windowFillRect(x, y, width, height, 0.0f, 0.0f, 0.0f); }

void defaultDrawFunc(int x, int y, int width, int height) { windowDrawRect(x, y, x + width, y + height); }

ScrollDevice* newScrollDevice(void) {
  auto* d = static_cast<ScrollDevice*>(MYCALLOC(1, sizeof(ScrollDevice), kTag));
  if (!d) {
    debug_puts("Error - Allocating new scroll device.\n");
    return nullptr;
  }
  d->minimum = d->maximum = -1;
  d->moveThumb = genericScrollCallback;
  d->fill = defaultFillFunc;
  d->draw = defaultDrawFunc;
  d->lastStepTime = get_time();
  return d;
}

ScrollDevice* createScrollDevice(int x, int y, int width, int height, int flags) {
  ScrollDevice* d = newScrollDevice();
  if (!d) return nullptr;
  setScrollDeviceScrollRegion(d, x, y, width, height);
  d->flags = uint8_t(flags);
  d->moveThumb = genericMoveThumbCallback;
  return d;
}

namespace {

void freeDevice(ScrollDevice* d, bool withPictures) {
  if (withPictures) freeScrollDeviceBuffers(d);
  if (currentScrollDevice == d) currentScrollDevice = nullptr;
  MYFREE(d, kTag);
}

}  // namespace

void deleteScrollDevice(ScrollDevice* device) {
  if (!device) return;
  if (device->busy) {
    device->deleted = 2;
    return;
  }
  freeDevice(device, true);
}

void cleanupScrollDevice(ScrollDevice* device) {
  if (!device) return;
  if (device->busy) {
    if (!device->deleted) device->deleted = 1;
    return;
  }
  freeDevice(device, false);
}

void freeScrollDeviceBuffers(ScrollDevice* device) {
  if (!device) return;
  for (uint8_t*& p : device->loaded) {
    if (!p) continue;
    // A picture drawn from a freed buffer would read freed memory: forget it too.
    for (const uint8_t** use :
         {&device->upNormal, &device->upPressed, &device->downNormal, &device->downPressed, &device->thumb})
      if (*use == p) *use = nullptr;
    MYFREE(p, "pcx");
    p = nullptr;
  }
}

void setScrollDeviceScrollRegion(ScrollDevice* device, int x, int y, int width, int height) {
  if (!device) return;
  device->trackX = x;
  device->trackY = y;
  device->trackWidth = width;
  device->trackHeight = height;
}

void setScrollDeviceUpButton(ScrollDevice* device, const uint8_t* normal, const uint8_t* pressed, int x, int y,
                             int width, int height, int pitch) {
  if (!device) return;
  device->upNormal = normal;
  device->upPressed = pressed;
  device->upX = x;
  device->upY = y;
  device->upWidth = width;
  device->upHeight = height;
  device->upPitch = pitch;
}

void setScrollDeviceDownButton(ScrollDevice* device, const uint8_t* normal, const uint8_t* pressed, int x, int y,
                               int width, int height, int pitch) {
  if (!device) return;
  device->downNormal = normal;
  device->downPressed = pressed;
  device->downX = x;
  device->downY = y;
  device->downWidth = width;
  device->downHeight = height;
  device->downPitch = pitch;
}

void setScrollDeviceThumbButton(ScrollDevice* device, const uint8_t* picture, int width, int height, int pitch) {
  if (!device) return;
  device->thumb = picture;
  device->thumbWidth = width;
  device->thumbHeight = height;
  device->thumbPitch = pitch;
  device->position = -1;
}

int setScrollDeviceGfx(ScrollDevice* device, const char* upPressedFile, const char* upNormalFile, int upX, int upY,
                       const char* downPressedFile, const char* downNormalFile, int downX, int downY,
                       const char* thumbFile) {
  if (!device) return 0;
  bool ok = true;
  ScrollDevice* d = device;
  setPicture(d, 0, upNormalFile, &d->upWidth, &d->upHeight, &d->upPitch, &ok);
  setPicture(d, 1, upPressedFile, &d->upWidth, &d->upHeight, &d->upPitch, &ok);
  setPicture(d, 2, downNormalFile, &d->downWidth, &d->downHeight, &d->downPitch, &ok);
  setPicture(d, 3, downPressedFile, &d->downWidth, &d->downHeight, &d->downPitch, &ok);
  setPicture(d, 4, thumbFile, &d->thumbWidth, &d->thumbHeight, &d->thumbPitch, &ok);
  if (upNormalFile) d->upNormal = d->loaded[0];
  if (upPressedFile) d->upPressed = d->loaded[1];
  if (downNormalFile) d->downNormal = d->loaded[2];
  if (downPressedFile) d->downPressed = d->loaded[3];
  if (thumbFile) d->thumb = d->loaded[4];
  if (upNormalFile || upPressedFile) {
    d->upX = upX;
    d->upY = upY;
  }
  if (downNormalFile || downPressedFile) {
    d->downX = downX;
    d->downY = downY;
  }
  return ok ? 1 : 0;
}

void setScrollDeviceFlags(ScrollDevice* device, int flags) {
  if (device) device->flags = uint8_t(flags);
}

void setScrollDeviceCallbacks(ScrollDevice* device, scroll_callback_fn moveThumb, scroll_rect_fn fill,
                              scroll_rect_fn draw) {
  if (!device) return;
  if (moveThumb) device->moveThumb = moveThumb;
  if (fill) device->fill = fill;
  if (draw) device->draw = draw;
}

void setScrollDivisions(ScrollDevice* device, int divisions, int pageIncrement) {
  if (!device) return;
  device->divisions = divisions;
  device->pageIncrement = pageIncrement;
}

void setPageIncNum(ScrollDevice* device, int pageIncrement) {
  if (device) device->pageIncrement = pageIncrement;
}

void setMinMaxDivisions(ScrollDevice* device, int minimum, int maximum) {
  if (!device) return;
  device->minimum = minimum;
  device->maximum = maximum;
}

void setThumbPosition(ScrollDevice* device, int position) {
  if (!device || device->paused || gone(device)) return;
  Hold hold(device);
  currentScrollDevice = device;
  // Positions run from 0 to the divisions: a thumb past either end would be drawn off its track.
  if (position > device->divisions) position = device->divisions;
  if (position < 0) position = 0;
  position = clampToLimits(device, position);
  if (position == device->position) return;
  moveTo(device, position);
}

void setScrollDeviceButtons(ScrollDevice* device, int upPressed, int downPressed) {
  if (!device || gone(device)) return;
  Hold hold(device);
  ScrollDevice* d = device;
  const uint8_t* up = upPressed ? d->upPressed : d->upNormal;
  const uint8_t* down = downPressed ? d->downPressed : d->downNormal;
  if (up) windowDisplayScrollBuf(d, up, d->upPitch, d->upHeight, d->upX, d->upY, d->upWidth, d->upHeight);
  if (down)
    windowDisplayScrollBuf(d, down, d->downPitch, d->downHeight, d->downX, d->downY, d->downWidth, d->downHeight);
  d->upShownPressed = upPressed ? 1 : 0;
  d->downShownPressed = downPressed ? 1 : 0;
  d->draw(d->upX, d->upY, d->upWidth, d->upHeight);
  if (!gone(d)) d->draw(d->downX, d->downY, d->downWidth, d->downHeight);
}

int doScrollDeviceInterface(ScrollDevice* device) {
  if (!device || device->paused || device->divisions < 2 || gone(device)) return 0;
  Hold hold(device);
  ScrollDevice* d = device;
  currentScrollDevice = d;
  const uint32_t now = get_time();
  if (elapsed_tocks(now, d->lastStepTime) < SCROLL_STEP_MS) return 0;
  d->lastStepTime = now;
  if (mouse_get_buttons() & (MOUSE_LEFT_PRESSED | MOUSE_LEFT_HELD)) {
    int x = 0, y = 0;
    mouse_get_position(&x, &y);
    const int part = whereIsMouse(d, x, y);
    if (d->mouseHeld) {
      heldStep(d, part, now);
    } else {
      d->pressTime = now;
      pressStep(d, part);
    }
    if (!gone(d)) d->mouseHeld = 1;
    return 1;
  }
  if (d->mouseHeld) {
    releaseStep(d);
    d->mouseHeld = 0;
  }
  return 1;
}

int doScrollDeviceKeyHandling(ScrollDevice* device, int key, int keyGroups) {
  if (!device || device->paused || gone(device)) return 0;
  Hold hold(device);
  ScrollDevice* d = device;
  currentScrollDevice = d;
  if (key < 0) {
    d->keyRepeating = 0;
    return 0;
  }
  if (d->mouseHeld) return 0;
  const bool arrows = keyGroups & SCROLL_KEYS_ARROWS, pages = keyGroups & SCROLL_KEYS_PAGE,
             ends = keyGroups & SCROLL_KEYS_HOME_END;
  switch (key) {
    case KEY_HOME:
      return ends && !d->keyRepeating ? doScroll(d, -d->divisions) : 0;
    case KEY_END:
      return ends && !d->keyRepeating ? doScroll(d, d->divisions) : 0;
    case KEY_UP:
      return arrows && vertical(d) ? repeatingScroll(d, -1) : 0;
    case KEY_DOWN:
      return arrows && vertical(d) ? repeatingScroll(d, 1) : 0;
    case KEY_LEFT:
      return arrows && !vertical(d) ? repeatingScroll(d, -1) : 0;
    case KEY_RIGHT:
      return arrows && !vertical(d) ? repeatingScroll(d, 1) : 0;
    case KEY_PAGE_UP:
      return pages ? repeatingScroll(d, -d->pageIncrement) : 0;
    case KEY_PAGE_DOWN:
      return pages ? repeatingScroll(d, d->pageIncrement) : 0;
    default:
      return 0;
  }
}

void pauseScrollDevice(ScrollDevice* device) {
  if (device) device->paused = 1;
}

void unpauseScrollDevice(ScrollDevice* device) {
  if (device) device->paused = 0;
}

ScrollDevice* getCurrentScrollDevice(void) { return currentScrollDevice; }

void setScrollDeviceUserData(ScrollDevice* device, void* data) {
  if (device) device->userData = data;
}

void* getScrollDeviceUserData(ScrollDevice* device) { return device ? device->userData : nullptr; }

int windowDisplayScrollBuf(const ScrollDevice* device, const uint8_t* picture, int pitch, int pictureHeight, int x,
                           int y, int width, int height) {
  if (device && (device->flags & SCROLL_TRANSPARENT))
    windowDisplayTransBuf(picture, pitch, pictureHeight, x, y, width, height);
  else
    windowDisplayBuf(picture, pitch, pictureHeight, x, y, width, height);
  return 1;
}
