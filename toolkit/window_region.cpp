// Regions of managed windows: building them point by point, naming them and finding them by name.
#include <cstring>

#include "base/memdbg.h"
#include "toolkit/window_internal.h"
#include "vrk/vrk.h"

namespace {

constexpr const char* kTag = "window";

// The slot of the first region of that name in window w, or -1.
int findSlot(const ManagedWindow& w, const char* name) {
  if (!name) return -1;
  for (int i = 0; i < w.regionCount; ++i)
    if (w.regions[i] && windowSameName(w.regions[i]->name, name)) return i;
  return -1;
}

Region* named(const char* name) {
  ManagedWindow* w = windowCurrentRecord();
  const int slot = w ? findSlot(*w, name) : -1;
  return slot >= 0 ? w->regions[slot] : nullptr;
}

// The region being built in the current window, or null.
Region** building(ManagedWindow* w) {
  if (!w || w->currentRegion < 0 || w->currentRegion >= w->regionCount) return nullptr;
  return &w->regions[w->currentRegion];
}

}  // namespace

int windowStartRegion(int n) {
  ManagedWindow* w = windowCurrentRecord();
  if (!w) return 0;
  int slot = -1;
  for (int i = 0; i < w->regionCount && slot < 0; ++i)
    if (!w->regions[i]) slot = i;
  if (slot < 0) {
    w->regions = static_cast<Region**>(MYREALLOC(w->regions, sizeof(Region*) * size_t(w->regionCount + 1), kTag));
    slot = w->regionCount++;
    w->regions[slot] = nullptr;
  }
  w->regions[slot] = n > 0 ? allocateRegion(n + 1) : nullptr;
  w->currentRegion = slot;
  return 1;
}

int windowAddRegionPoint(int x, int y, int scale) {
  ManagedWindow* w = windowCurrentRecord();
  Region** r = building(w);
  if (!r) return 0;
  if (!*r) *r = allocateRegion(1);
  if (scale) {
    x = int(float(x) * w->xScale);
    y = int(float(y) * w->yScale);
  }
  regionAddPoint(*r, x, y);
  return 1;
}

int windowAddRegionRect(int ulx, int uly, int lrx, int lry, int scale) {
  return windowAddRegionPoint(ulx, uly, scale) && windowAddRegionPoint(lrx, uly, scale) &&
                 windowAddRegionPoint(lrx, lry, scale) && windowAddRegionPoint(ulx, lry, scale)
             ? 1
             : 0;
}

int windowEndRegion(void) {
  ManagedWindow* w = windowCurrentRecord();
  Region** r = building(w);
  if (!r || !*r) return 0;
  if ((*r)->count > 0) regionAddPoint(*r, (*r)->points[0].x, (*r)->points[0].y);
  regionSetBound(*r);
  return w->currentRegion;
}

int windowAddRegionName(const char* name) {
  ManagedWindow* w = windowCurrentRecord();
  Region** r = building(w);
  if (!r || !*r) return 0;
  for (int i = 0; i < w->regionCount; ++i)
    if (i != w->currentRegion && w->regions[i] && windowSameName(w->regions[i]->name, name)) {
      regionDelete(w->regions[i]);
      w->regions[i] = nullptr;
      ++w->regionChangeCount;  // a mouse dispatch under way must not touch it again
    }
  regionAddName(*r, name);
  return 1;
}

int windowAddRegionCfunc(const char* name, region_callback_fn callback, void* data) {
  Region* r = named(name);
  if (!r) return 0;
  r->callback = callback;
  r->callbackData = data;
  return 1;
}

int windowAddRegionRightCfunc(const char* name, region_callback_fn callback, void* data) {
  Region* r = named(name);
  if (!r) return 0;
  r->rightCallback = callback;
  r->rightCallbackData = data;
  return 1;
}

int windowAddRegionProc(const char* name, void* owner, void* enterProc, void* exitProc, void* pressProc,
                        void* releaseProc) {
  Region* r = named(name);
  if (!r) return 0;
  r->procOwner = owner;
  r->enterProc = enterProc;
  r->exitProc = exitProc;
  r->pressProc = pressProc;
  r->releaseProc = releaseProc;
  return 1;
}

int windowAddRegionRightProc(const char* name, void* owner, void* rightPressProc, void* rightReleaseProc) {
  Region* r = named(name);
  if (!r) return 0;
  r->procOwner = owner;
  r->rightPressProc = rightPressProc;
  r->rightReleaseProc = rightReleaseProc;
  return 1;
}

int windowSetRegionFlag(const char* name, int flag) {
  Region* r = named(name);
  if (!r) return 0;
  regionSetFlag(r, flag);
  return 1;
}

void* windowRegionGetUserData(const char* name) {
  Region* r = named(name);
  return r ? r->userData : nullptr;
}

int windowRegionSetUserData(const char* name, void* data) {
  Region* r = named(name);
  if (!r) return 0;
  r->userData = data;
  return 1;
}

int windowCheckRegionExists(const char* name) { return named(name) ? 1 : 0; }

int windowDeleteRegion(const char* name) {
  ManagedWindow* w = windowCurrentRecord();
  if (!w) return 0;
  if (!name) {
    for (int i = 0; i < w->regionCount; ++i)
      if (w->regions[i]) regionDelete(w->regions[i]);
    if (w->regions) MYFREE(w->regions, kTag);
    w->regions = nullptr;
    w->regionCount = 0;
    w->currentRegion = 0;
    ++w->regionChangeCount;
    return 1;
  }
  const int slot = findSlot(*w, name);
  if (slot < 0) return 0;
  regionDelete(w->regions[slot]);
  w->regions[slot] = nullptr;
  ++w->regionChangeCount;
  return 1;
}

Region* windowFindRegion(int index, const char* name) {
  if (index < 0 || index >= WINDOW_MAX || windows[index].id == -1) return nullptr;
  const int slot = findSlot(windows[index], name);
  return slot >= 0 ? windows[index].regions[slot] : nullptr;
}

Region* windowRegionAt(int index, int x, int y) {
  if (index < 0 || index >= WINDOW_MAX || windows[index].id == -1) return nullptr;
  Rect r;
  if (win_get_rect(windows[index].id, &r) != 0) return nullptr;
  const ManagedWindow& w = windows[index];
  for (int i = 0; i < w.regionCount; ++i)
    if (w.regions[i] && pointInRegion(w.regions[i], x - r.ulx, y - r.uly)) return w.regions[i];
  return nullptr;
}
