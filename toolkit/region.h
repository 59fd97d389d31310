// Regions of the installer's toolkit: named polygons inside a managed window that react to the
// mouse like buttons of any shape. This module holds the record and its operations (points,
// bounds, the point test, name, user data, flags); the window-level calls that build and find
// regions are in toolkit/window.h.
//
// Calls given a null region write a line to the debug channel and do nothing else.
#pragma once

#include <cstdint>

struct Region;
// Left- and right-button callbacks: (region, data, event); events 0 press, 1 release, 2 enter,
// 3 exit, 5 held.
typedef void (*region_callback_fn)(Region* region, void* data, int event);

struct RegionPoint {
  int x;
  int y;
};

struct Region {
  char name[32];
  RegionPoint* points;         // count points and one more entry holding a copy of the last; owned
  int minX, minY, maxX, maxY;  // inclusive bounds; unbounded until regionSetBound
  int centreX, centreY;
  int count;
  int capacity;
  void* procOwner;
  void* pressProc;
  void* releaseProc;
  void* enterProc;
  void* exitProc;
  void* rightPressProc;
  void* rightReleaseProc;
  uint32_t holdDeadline;  // get_time after which a held left button counts as held
  int inside;             // 1 while the mouse is inside
  int rememberedButtons;  // mouse state bits seen at the last dispatch
  int entered;            // 1 when the enter event is still to be sent
  int draggedIn;          // 1 when the mouse came in with a button already down
  int flags;
  region_callback_fn callback;
  region_callback_fn rightCallback;
  void* callbackData;
  void* rightCallbackData;
  void* userData;
};

// A new zero-filled region with room for n points (no points array when n is 0), unbounded.
Region* allocateRegion(int n);
// Appends (x, y), keeping a copy of the last point after it; the array grows as needed.
void regionAddPoint(Region* region, int x, int y);
// Computes the inclusive bounds and the centre from the points (no points: an empty box).
void regionSetBound(Region* region);
// 1 when (x, y) is inside the polygon (winding once around it, either direction), else 0 (and
// for a null region). A corner on the point's column counts as left of it, one on its row as
// above it: the left column and top row of a rectangle are inside, its right column and bottom
// row outside.
int pointInRegion(const Region* region, int x, int y);
// Frees the points and the record.
void regionDelete(Region* region);
// Sets the name (at most 31 characters); null empties it.
void regionAddName(Region* region, const char* name);
// The name ("<null>" for a null region).
const char* regionGetName(const Region* region);
// The user data (0 for a null region).
void* regionGetUserData(const Region* region);
// Sets the user data.
void regionSetUserData(Region* region, void* data);
// ORs flag into the flags word.
void regionSetFlag(Region* region, int flag);
// The flags word (0 for a null region).
int regionGetFlag(const Region* region);
