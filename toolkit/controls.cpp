// Controls: the focus ring of the current managed window.
#include "toolkit/controls.h"

#include <cstdio>

#include "color/color.h"
#include "toolkit/window.h"
#include "vrk/mouse.h"

namespace {

Control controls[CONTROLS_MAX];
int numControls = 0;
int currentFocus = -1;
int currentOffColor = 0, currentOnColor = 0;

bool used(int i) { return i >= 0 && i < CONTROLS_MAX && controls[i].id != -1; }

bool sameName(const char* a, const char* b) {
  if (!a || !b) return false;
  for (;; ++a, ++b) {
    int ca = static_cast<unsigned char>(*a), cb = static_cast<unsigned char>(*b);
    if (ca >= 'a' && ca <= 'z') ca -= 32;
    if (cb >= 'a' && cb <= 'z') cb -= 32;
    if (ca != cb) return false;
    if (!ca) return true;
  }
}

void frame(int index, bool on) {
  if (used(index)) drawFocusBox(&controls[index], on ? 1 : 0);
}

}  // namespace

int initControls(void) {
  for (Control& c : controls) c.id = -1;
  currentOffColor = colorTable[0];
  currentOnColor = colorTable[0x7FEB];
  return 1;
}

int controlsSetColors(int offColour, int onColour) {
  currentOffColor = offColour;
  currentOnColor = onColour;
  return 1;
}

int addControl(const char* name, int x, int y, int width, int height, control_input_fn input) {
  if (!name) return -1;
  int slot = -1;
  for (int i = 0; i < CONTROLS_MAX; ++i) {
    if (used(i) && sameName(controls[i].name, name)) {
      deleteControl(name);
      slot = i;
      break;
    }
    if (slot < 0 && !used(i)) slot = i;
  }
  if (slot < 0) return -1;
  Control& c = controls[slot];
  c.id = slot;
  std::snprintf(c.name, sizeof c.name, "%s", name);
  c.x = x;
  c.y = y;
  c.width = width;
  c.height = height;
  c.input = input;
  ++numControls;
  frame(slot, false);
  if (slot == 0) {
    currentFocus = 0;
    frame(0, true);
  }
  return slot;
}

int deleteControl(const char* name) {
  int index = used(currentFocus) && sameName(controls[currentFocus].name, name) ? currentFocus : -1;
  for (int i = 0; i < CONTROLS_MAX && index < 0; ++i)
    if (used(i) && sameName(controls[i].name, name)) index = i;
  if (index < 0) return -1;
  controls[index].id = -1;
  --numControls;
  return numControls;
}

int setControlFocus(int index) {
  if (numControls <= 0) return currentFocus;
  const int step = index < currentFocus ? -1 : 1;
  // A slot freed inside the ring is passed over in the direction of the move.
  for (int tries = 0; tries <= numControls; ++tries) {
    if (index < 0) index = numControls - 1;
    if (index >= numControls) index = 0;
    if (used(index)) break;
    index += step;
  }
  if (!used(index) || index == currentFocus) return currentFocus;
  frame(currentFocus, false);
  frame(index, true);
  currentFocus = index;
  return index;
}

int setNextControl(void) { return setControlFocus(currentFocus + 1); }
int setPreviousControl(void) { return setControlFocus(currentFocus - 1); }

int setControlFocusByName(const char* name) {
  if (!name) return -1;
  for (int i = 0; i < numControls; ++i)
    if (used(i) && sameName(controls[i].name, name)) return setControlFocus(i);
  return -1;
}

const char* getCurrentControlName(void) { return used(currentFocus) ? controls[currentFocus].name : nullptr; }

int processControlInput(int input) {
  int mx = 0, my = 0;
  mouse_get_position(&mx, &my);
  mx -= windowSX();
  my -= windowSY();
  if (mouse_get_buttons() & MOUSE_LEFT_PRESSED)
    for (int i = 0; i < CONTROLS_MAX; ++i) {
      const Control& c = controls[i];
      if (used(i) && c.x <= mx && mx < c.x + c.width && c.y <= my && my < c.y + c.height) {
        setControlFocus(i);
        break;
      }
    }
  if (used(currentFocus) && controls[currentFocus].input) return controls[currentFocus].input(input);
  return 0;
}

int controlsClose(void) {
  for (Control& c : controls) c.id = -1;
  numControls = 0;
  currentFocus = -1;
  return 1;
}

void drawFocusBox(const Control* control, int on) {
  uint8_t* buf = windowGetBuffer();
  const int w = windowWidth(), h = windowHeight();
  if (!control || !buf) return;
  const uint8_t colour = uint8_t(on ? currentOnColor : currentOffColor);
  const int l = control->x, t = control->y, r = control->x + control->width, b = control->y + control->height;
  // The outline of draw_box, cut to the window.
  auto put = [&](int x, int y) {
    if (x >= 0 && y >= 0 && x < w && y < h) buf[size_t(y) * size_t(w) + size_t(x)] = colour;
  };
  for (int x = l; x <= r; ++x) {
    put(x, t);
    put(x, b);
  }
  for (int y = t; y <= b; ++y) {
    put(l, y);
    put(r, y);
  }
  windowDrawRect(l, t, r, b + 1);
}
