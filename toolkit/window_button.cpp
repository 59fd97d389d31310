// Named buttons of managed windows: their pictures (a default bevelled look, image files or
// buffers, a text label), their registration with the window system's buttons, and the events of
// those buttons turned back into the callbacks attached to each button by name.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "color/color.h"
#include "base/datafile.h"
#include "base/memdbg.h"
#include "toolkit/window_internal.h"
#include "vrk/button.h"
#include "vrk/debug.h"
#include "vrk/grbuf.h"
#include "vrk/text.h"

namespace {

constexpr const char* kTag = "window";
constexpr int kShaped = 0x20;  // pictures drawn with transparency; the normal picture is the mask

// The current window's button called `name`, or null.
WindowButton* findButton(const char* name) {
  ManagedWindow* w = windowCurrentRecord();
  if (!w || !name) return nullptr;
  for (int i = 0; i < w->buttonCount; ++i)
    if (windowSameName(w->buttons[i].name, name)) return &w->buttons[i];
  return nullptr;
}

uint8_t* newPicture(const WindowButton& b) {
  return static_cast<uint8_t*>(MYMALLOC(size_t(b.width) * size_t(b.height) + 1, kTag));
}

void freePictures(WindowButton& b, bool withMask) {
  for (uint8_t** p : {&b.hover, &b.pressed, &b.normal, &b.mask}) {
    if (p == &b.mask && !withMask) continue;
    if (*p) MYFREE(*p, kTag);
    *p = nullptr;
  }
}

// Hands the button's current pictures to the window system, which shows them from its next redraw.
void redrawButton(const WindowButton& b) {
  if (b.creationFlags & kShaped) win_register_button_mask(b.id, b.normal);
  win_register_button_image(b.id, b.normal, b.pressed, b.hover, 0);
}

// Finds the button with window-system id `id` in the first managed window shown in window-system
// window `win`.
WindowButton* buttonOf(int win, int id) {
  if (win == -1) return nullptr;
  for (ManagedWindow& w : windows) {
    if (w.id != win) continue;
    for (int i = 0; i < w.buttonCount; ++i)
      if (w.buttons[i].id == id) return &w.buttons[i];
    return nullptr;
  }
  return nullptr;
}

void doButtonProc(int id, int event) {
  WindowButton* b = buttonOf(win_button_winID(id), id);
  if (!b) return;
  void* procs[4] = {b->pressProc, b->releaseProc, b->onProc, b->offProc};
  if (b->procOwner && procs[event]) executeProc(b->procOwner, procs[event]);
  if (b->callback) b->callback(b->callbackData, event);
}

void doRightButtonProc(int id, int event) {
  WindowButton* b = buttonOf(win_last_button_winID(), id);
  if (!b) return;
  void* procs[2] = {b->rightPressProc, b->rightReleaseProc};
  if (b->procOwner && procs[event]) executeProc(b->procOwner, procs[event]);
  if (b->rightCallback) b->rightCallback(b->rightCallbackData, event);
}

// Draws the label into one picture, its box placed at the centre moved by (dx, dy) and cut to the
// button; pixels the text leaves at 0 keep the picture.
void labelPicture(const WindowButton& b, uint8_t* picture, const char* text, int dx, int dy) {
  const int boxW = text_width(text) + 1, boxH = text_height() + 1;
  int x = dx + (b.width - boxW) / 2, y = dy + (b.height - boxH) / 2;
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  const int w = std::min(boxW, b.width - x), h = std::min(boxH, b.height - y);
  if (w <= 0 || h <= 0) return;
  auto* scratch = static_cast<uint8_t*>(MYMALLOC(size_t(boxW) * size_t(boxH), kTag));
  std::memset(scratch, 0, size_t(boxW) * size_t(boxH));
  if (picture) buf_to_buf(picture + y * b.width + x, w, h, b.width, scratch, boxW);
  text_to_buf(scratch, text, boxW, boxW, windowGetTextColor() | windowGetTextFlags());
  if (picture) trans_buf_to_buf(scratch, w, h, boxW, picture + y * b.width + x, b.width);
  MYFREE(scratch, kTag);
}

}  // namespace

void setButtonGFX(int width, int height, uint8_t* normal, uint8_t* pressed, uint8_t* hover) {
  if (width < 4 || height < 4) {
    // Too small for a bevel: a plain grey face.
    for (uint8_t* p : {normal, pressed, hover})
      if (p) std::memset(p, intensityColorTable[colorTable[0x7FFF]][89], size_t(std::max(0, width * height)));
    return;
  }
  const int black = colorTable[0], white = colorTable[0x7FFF];
  const int light = intensityColorTable[white][89], dark = intensityColorTable[white][44];
  const int w = width, h = height;
  if (pressed) {
    buf_fill(pressed, w, h, w, black);
    buf_fill(pressed + w + 1, w - 2, h - 2, w, light);
    draw_line(pressed, w, 1, 1, w - 2, 1, dark);
    draw_line(pressed, w, 1, 1, 1, h - 2, dark);
  }
  for (uint8_t* p : {normal, hover}) {
    if (!p) continue;
    buf_fill(p, w, h, w, black);
    buf_fill(p + w + 1, w - 2, h - 2, w, light);
    draw_line(p, w, 1, 1, w - 2, 1, white);
    draw_line(p, w, 2, 2, w - 3, 2, white);
    draw_line(p, w, 1, 2, 1, h - 3, white);
    draw_line(p, w, 2, 3, 2, h - 4, white);
    draw_line(p, w, 1, h - 2, w - 2, h - 2, dark);
    draw_line(p, w, 2, h - 3, w - 3, h - 3, dark);
    draw_line(p, w, w - 2, 2, w - 2, h - 3, dark);
    draw_line(p, w, w - 3, 3, w - 3, h - 4, dark);
    draw_line(p, w, w - 2, 1, w - 3, 2, light);
    draw_line(p, w, 1, h - 2, 2, h - 3, light);
  }
}

int windowAddButton(const char* name, int x, int y, int width, int height, int flags) {
  ManagedWindow* w = windowCurrentRecord();
  if (!w || !name) return 0;
  WindowButton* b = findButton(name);
  if (b) {
    win_delete_button(b->id);
    freePictures(*b, true);
  } else {
    w->buttons = static_cast<WindowButton*>(
        w->buttons ? MYREALLOC(w->buttons, sizeof(WindowButton) * size_t(w->buttonCount + 1), kTag)
                   : MYMALLOC(sizeof(WindowButton), kTag));
    b = &w->buttons[w->buttonCount++];
  }
  std::memset(b, 0, sizeof *b);
  std::snprintf(b->name, sizeof b->name, "%s", name);
  b->x = int(float(x) * w->xScale);
  b->y = int(float(y) * w->yScale);
  b->width = std::max(1, int(float(width) * w->xScale));
  b->height = std::max(1, int(float(height) * w->yScale));
  b->creationFlags = flags;
  b->normal = newPicture(*b);
  b->pressed = newPicture(*b);
  if (flags & kShaped) {
    std::memset(b->normal, 0, size_t(b->width) * size_t(b->height));
    std::memset(b->pressed, 0, size_t(b->width) * size_t(b->height));
  } else {
    setButtonGFX(b->width, b->height, b->normal, b->pressed, nullptr);
  }
  b->id = win_register_button(w->id, b->x, b->y, b->width, b->height, -1, -1, -1, -1, b->normal, b->pressed,
                              nullptr, flags);
  if (b->id == -1) {
    // Not wholly inside the window: the window system makes no button there, so neither do we
    // (a record without one would be dead, yet answer to its name).
    freePictures(*b, true);
    const int at = int(b - w->buttons);
    std::memmove(b, b + 1, sizeof(WindowButton) * size_t(w->buttonCount - at - 1));
    if (--w->buttonCount == 0) {
      MYFREE(w->buttons, kTag);
      w->buttons = nullptr;
    }
    return 0;
  }
  win_register_button_func(b->id, doButtonOn, doButtonOff, doButtonPress, doButtonRelease);
  b->stateFlags |= 1;
  if (flags & kShaped) win_register_button_mask(b->id, b->normal);
  return 1;
}

void windowUnregisterButtons(ManagedWindow& w) {
  for (int i = 0; i < w.buttonCount; ++i) {
    if (w.buttons[i].id != -1) win_delete_button(w.buttons[i].id);
    w.buttons[i].id = -1;
  }
}

void windowRegisterButtons(ManagedWindow& w) {
  for (int i = 0; i < w.buttonCount; ++i) {
    WindowButton& b = w.buttons[i];
    b.id = win_register_button(w.id, b.x, b.y, b.width, b.height, -1, -1, -1, -1, b.normal, b.pressed, b.hover,
                               b.creationFlags);
    if (b.id == -1) continue;
    win_register_button_func(b.id, doButtonOn, doButtonOff, doButtonPress, doButtonRelease);
    if (b.creationFlags & kShaped)
      win_register_button_mask(b.id, b.normal);
    else if (b.mask)
      win_register_button_mask(b.id, b.mask);
    if (b.rightCallback) win_register_right_button(b.id, -1, -1, doRightButtonPress, doRightButtonRelease);
  }
}

int windowAddButtonGfx(const char* name, const char* pressedFile, const char* normalFile, const char* hoverFile) {
  WindowButton* b = findButton(name);
  if (!b) return 0;
  const char* files[3] = {pressedFile, normalFile, hoverFile};
  uint8_t** pictures[3] = {&b->pressed, &b->normal, &b->hover};
  for (int i = 0; i < 3; ++i) {
    if (!files[i]) continue;
    int fw = 0, fh = 0;
    uint8_t* data = loadDataFile(files[i], &fw, &fh);
    if (!data) continue;
    if (!*pictures[i]) *pictures[i] = newPicture(*b);
    drawScaledBuf(*pictures[i], b->width, b->height, data, fw, fh);
    MYFREE(data, "datafile");
  }
  redrawButton(*b);
  return 1;
}

int windowAddButtonBuf(const char* name, const uint8_t* pressedBuf, const uint8_t* normalBuf, const uint8_t* hoverBuf,
                       int srcWidth, int srcHeight, int srcPitch) {
  WindowButton* b = findButton(name);
  if (!b || srcWidth <= 0 || srcHeight <= 0 || srcPitch < srcWidth) return 0;
  const uint8_t* sources[3] = {pressedBuf, normalBuf, hoverBuf};
  uint8_t** pictures[3] = {&b->pressed, &b->normal, &b->hover};
  for (int i = 0; i < 3; ++i) {
    if (!sources[i]) continue;
    if (!*pictures[i]) *pictures[i] = newPicture(*b);
    std::memset(*pictures[i], 0, size_t(b->width) * size_t(b->height));
    drawScaled(*pictures[i], b->width, b->height, b->width, sources[i], srcWidth, srcHeight, srcPitch);
  }
  redrawButton(*b);
  return 1;
}

int windowAddButtonMask(const char* name, const uint8_t* mask) {
  WindowButton* b = findButton(name);
  if (!b || !mask) return 0;
  if (!b->mask) b->mask = newPicture(*b);
  std::memcpy(b->mask, mask, size_t(b->width) * size_t(b->height));
  win_register_button_mask(b->id, b->mask);
  return 1;
}

int windowAddButtonProc(const char* name, void* owner, void* onProc, void* offProc, void* pressProc,
                        void* releaseProc) {
  WindowButton* b = findButton(name);
  if (!b) return 0;
  b->procOwner = owner;
  b->onProc = onProc;
  b->offProc = offProc;
  b->pressProc = pressProc;
  b->releaseProc = releaseProc;
  return 1;
}

int windowAddButtonRightProc(const char* name, void* owner, void* rightPressProc, void* rightReleaseProc) {
  WindowButton* b = findButton(name);
  if (!b) return 0;
  b->procOwner = owner;
  b->rightPressProc = rightPressProc;
  b->rightReleaseProc = rightReleaseProc;
  return 1;
}

int windowAddButtonCfunc(const char* name, void (*callback)(void* data, int event), void* data) {
  WindowButton* b = findButton(name);
  if (!b) return 0;
  b->callback = callback;
  b->callbackData = data;
  return 1;
}

int windowAddButtonRightCfunc(const char* name, void (*callback)(void* data, int event), void* data) {
  WindowButton* b = findButton(name);
  if (!b) return 0;
  b->rightCallback = callback;
  b->rightCallbackData = data;
  win_register_right_button(b->id, -1, -1, doRightButtonPress, doRightButtonRelease);
  return 1;
}

int windowAddButtonText(const char* name, const char* text) {
  return windowAddButtonTextWithOffsets(name, text, 2, 2, 0, 0);
}

int windowAddButtonTextWithOffsets(const char* name, const char* text, int pressedDx, int pressedDy, int normalDx,
                                   int normalDy) {
  WindowButton* b = findButton(name);
  if (!b || !text) return 0;
  labelPicture(*b, b->normal, text, normalDx, normalDy);
  labelPicture(*b, b->pressed, text, pressedDx, pressedDy);
  redrawButton(*b);
  return 1;
}

int windowDeleteButton(const char* name) {
  ManagedWindow* w = windowCurrentRecord();
  if (!w || !w->buttons) return 1;
  if (!name) {
    for (int i = 0; i < w->buttonCount; ++i) {
      win_delete_button(w->buttons[i].id);
      freePictures(w->buttons[i], true);
    }
    MYFREE(w->buttons, kTag);
    w->buttons = nullptr;
    w->buttonCount = 0;
    return 1;
  }
  WindowButton* b = findButton(name);
  if (!b) return 0;
  win_delete_button(b->id);
  freePictures(*b, true);
  const int at = int(b - w->buttons);
  std::memmove(b, b + 1, sizeof(WindowButton) * size_t(w->buttonCount - at - 1));
  if (--w->buttonCount == 0) {
    MYFREE(w->buttons, kTag);
    w->buttons = nullptr;
  }
  return 1;
}

int windowGetButtonID(const char* name) {
  WindowButton* b = findButton(name);
  return b ? b->id : -1;
}

int windowSetButtonFlag(const char* name, int flag) {
  WindowButton* b = findButton(name);
  if (!b) return 0;
  b->stateFlags |= flag;
  return 1;
}

void doButtonPress(int id, int) { doButtonProc(id, 0); }
void doButtonRelease(int id, int) { doButtonProc(id, 1); }
void doButtonOn(int id, int) { doButtonProc(id, 2); }
void doButtonOff(int id, int) { doButtonProc(id, 3); }
void doRightButtonPress(int id, int) { doRightButtonProc(id, 0); }
void doRightButtonRelease(int id, int) { doRightButtonProc(id, 1); }
