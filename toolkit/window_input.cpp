// The toolkit's input poll with its chain of input filters, and the dispatch of the mouse to the
// polygon regions of managed windows: enter, exit, press, release and press-and-hold.
#include "base/memdbg.h"
#include "toolkit/window_internal.h"
#include "vrk/debug.h"
#include "vrk/input.h"
#include "vrk/mouse.h"
#include "vrk/vrk.h"

namespace {

constexpr const char* kTag = "window";

window_input_fn* inputFunc = nullptr;
int numInputFunc = 0;
int holdTime = 250;
int checkRegionEnable = 1;
int lastRegionWindow = -1;

// Sends one event to a region's callback (right: its right callback); true when the window's
// regions changed meanwhile, which ends the pass.
bool sendCallback(const ManagedWindow& w, int changes, Region* r, bool right, int event, int* result) {
  region_callback_fn fn = right ? r->rightCallback : r->callback;
  if (!fn) return false;
  fn(r, right ? r->rightCallbackData : r->callbackData, event);
  *result = 1;
  return w.regionChangeCount != changes;
}

bool runProc(const ManagedWindow& w, int changes, Region* r, void* proc, int* result) {
  if (!r->procOwner || !proc) return false;
  executeProc(r->procOwner, proc);
  *result = 1;
  return w.regionChangeCount != changes;
}

bool held(const ManagedWindow& w, int changes, Region* r, int& remembered, int bit, bool right, int* result) {
  if (get_time() >= r->holdDeadline) return sendCallback(w, changes, r, right, 5, result);
  remembered &= ~bit;  // the hold is tested again on the next pass
  return false;
}

// The first pass of windowCheckRegion: presses, holds, releases and exits.
int checkRegion(int index, int x, int y, int buttons) {
  ManagedWindow& w = windows[index];
  if (w.regionCount <= 0) return 0;
  const int changes = w.regionChangeCount;
  if (buttons & MOUSE_LEFT_HELD) buttons |= MOUSE_LEFT_PRESSED;
  if (buttons & MOUSE_RIGHT_HELD) buttons |= MOUSE_RIGHT_PRESSED;
  Rect r;
  win_get_rect(w.id, &r);
  int result = 0;
  for (int i = 0; i < w.regionCount; ++i) {
    Region* g = w.regions[i];
    if (!g) continue;
    if (pointInRegion(g, x - r.ulx, y - r.uly)) {
      if (!g->inside) {
        g->draggedIn = !(g->rememberedButtons & 0xF) && (buttons & 0xF);
        g->inside = 1;
        g->entered = 1;
        result = 1;
      } else if (!(buttons & 0xF)) {
        g->draggedIn = 0;
      }
      if (g->draggedIn) continue;
      const int old = g->rememberedButtons;
      g->rememberedButtons = buttons;
      const auto now = [&](int bit) { return (buttons & bit) && !(old & bit); };
      if (now(MOUSE_LEFT_PRESSED)) {
        if (sendCallback(w, changes, g, false, 0, &result) || runProc(w, changes, g, g->pressProc, &result))
          return result;
        g->holdDeadline = get_time() + uint32_t(holdTime);
      } else if (now(MOUSE_LEFT_HELD)) {
        if (held(w, changes, g, g->rememberedButtons, MOUSE_LEFT_HELD, false, &result)) return result;
      } else if ((old & MOUSE_LEFT_PRESSED) && !(buttons & MOUSE_LEFT_PRESSED)) {
        if (sendCallback(w, changes, g, false, 1, &result) || runProc(w, changes, g, g->releaseProc, &result))
          return result;
      } else if (now(MOUSE_RIGHT_PRESSED)) {
        if (sendCallback(w, changes, g, true, 0, &result) || runProc(w, changes, g, g->rightPressProc, &result))
          return result;
      } else if (now(MOUSE_RIGHT_HELD)) {
        if (held(w, changes, g, g->rememberedButtons, MOUSE_RIGHT_HELD, true, &result)) return result;
      } else if ((old & MOUSE_RIGHT_PRESSED) && !(buttons & MOUSE_RIGHT_PRESSED)) {
        if (sendCallback(w, changes, g, true, 1, &result) || runProc(w, changes, g, g->rightReleaseProc, &result))
          return result;
      }
    } else {
      if (g->inside) {
        g->inside = 0;
        if (sendCallback(w, changes, g, false, 3, &result) || sendCallback(w, changes, g, true, 3, &result) ||
            runProc(w, changes, g, g->exitProc, &result))
          return result;
      }
      if ((g->rememberedButtons & 0x5) && !(buttons & 0x5)) g->rememberedButtons &= ~0x5;
      if ((g->rememberedButtons & 0xA) && !(buttons & 0xA)) g->rememberedButtons &= ~0xA;
      g->inside = 0;
    }
  }
  return result;
}

}  // namespace

void executeProc(void* owner, void* proc) {
  (void)owner;
  (void)proc;
  debug_printf("executeProc called : This shouldn't be called!\n");
}

int getInput(void) {
  const int code = get_input();
  for (int i = 0; i < numInputFunc; ++i)
    if (inputFunc[i] && inputFunc[i](code)) return -1;
  return code;
}

int windowAddInputFunc(window_input_fn filter) {
  inputFunc = static_cast<window_input_fn*>(
      inputFunc ? MYREALLOC(inputFunc, sizeof(window_input_fn) * size_t(numInputFunc + 1), kTag)
                : MYMALLOC(sizeof(window_input_fn), kTag));
  inputFunc[numInputFunc++] = filter;
  return 1;
}

void windowInputClose(void) {
  if (inputFunc) MYFREE(inputFunc, kTag);
  inputFunc = nullptr;
  numInputFunc = 0;
  lastRegionWindow = -1;
}

int windowCheckRegion(int index, int x, int y, int buttons) {
  if (index < 0 || index >= WINDOW_MAX || windows[index].id == -1) return 0;
  int result = checkRegion(index, x, y, buttons);
  ManagedWindow& w = windows[index];
  const int changes = w.regionChangeCount;
  for (int i = 0; i < w.regionCount; ++i) {
    Region* g = w.regions[i];
    if (!g || !g->entered) continue;
    g->entered = 0;
    result = 1;
    if (sendCallback(w, changes, g, false, 2, &result) || sendCallback(w, changes, g, true, 2, &result) ||
        runProc(w, changes, g, g->enterProc, &result))
      break;
  }
  return result;
}

namespace {

// The managed window in use shown in the window-system window on top at (x, y), or -1.
int windowUnder(int x, int y) {
  const int top = win_get_top_win(x, y);
  for (int i = 0; i < WINDOW_MAX; ++i)
    if (windows[i].id != -1 && windows[i].id == top) return i;
  return -1;
}

}  // namespace

int windowRefreshRegions(void) {
  debug_printf("I'm dumb.\n");
  int x = 0, y = 0;
  mouse_get_position(&x, &y);
  const int index = windowUnder(x, y);
  if (index < 0) return 0;
  ManagedWindow& w = windows[index];
  for (int i = 0; i < w.regionCount; ++i)
    if (w.regions[i]) w.regions[i]->inside = 0;
  return windowCheckRegion(index, x, y, mouse_get_buttons());
}

int checkAllRegions(void) {
  if (!checkRegionEnable) return 0;
  debug_printf("checkAllRegions\n");
  int x = 0, y = 0;
  mouse_get_position(&x, &y);
  const int buttons = mouse_get_buttons();
  const int index = windowUnder(x, y);
  if (index < 0) return 0;
  if (lastRegionWindow != -1 && lastRegionWindow != index && windows[lastRegionWindow].id != -1) {
    // The mouse left the last window: each region it was inside is left.
    ManagedWindow& last = windows[lastRegionWindow];
    const int changes = last.regionChangeCount;
    lastRegionWindow = -1;
    int result = 0;
    for (int i = 0; i < last.regionCount; ++i) {
      Region* g = last.regions[i];
      if (!g || !g->inside) continue;
      g->inside = 0;
      if (sendCallback(last, changes, g, false, 3, &result) || sendCallback(last, changes, g, true, 3, &result) ||
          runProc(last, changes, g, g->exitProc, &result))
        return 1;
    }
  } else {
    lastRegionWindow = index;
  }
  return windowCheckRegion(index, x, y, buttons);
}

int updateWindows(void) {
  const int result = checkAllRegions();
  if (updateWidgetsFunc) updateWidgetsFunc();
  return result;
}

int windowActivateRegion(const char* name, int event) {
  ManagedWindow* w = windowCurrentRecord();
  Region* g = w ? windowFindRegion(currentWindow, name) : nullptr;
  if (!g || event < 0) return 0;
  const int changes = w->regionChangeCount;
  int result = 0;
  if (event < 6) {
    if (sendCallback(*w, changes, g, false, event, &result)) return 1;
    void* procs[4] = {g->pressProc, g->releaseProc, g->enterProc, g->exitProc};
    if (event < 4) runProc(*w, changes, g, procs[event], &result);
  } else {
    event -= 6;
    if (sendCallback(*w, changes, g, true, event, &result)) return 1;
    if (event == 0) runProc(*w, changes, g, g->rightPressProc, &result);
    if (event == 1) runProc(*w, changes, g, g->rightReleaseProc, &result);
  }
  return 1;
}

int windowSetHoldTime(int ms) {
  holdTime = ms;
  return 1;
}

int windowEnableCheckRegion(void) {
  checkRegionEnable = 1;
  return 1;
}

int windowDisableCheckRegion(void) {
  checkRegionEnable = 0;
  return 1;
}
