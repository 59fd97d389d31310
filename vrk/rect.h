// The window system's rectangle (both corners inclusive) and the rectangle lists that clipping
// works on. List nodes come from a pool that the guarded allocator refills ten nodes at a time.
#pragma once

#include <cstdint>

struct Rect {
  int32_t ulx, uly, lrx, lry;
};

// One node of a singly linked rectangle list (ends in null).
struct RectNode {
  Rect rect;
  RectNode* next;
};

// A node from the pool (refilled with up to 10 nodes when empty); null when none can be had.
RectNode* rect_malloc(void);
// Puts one node back into the pool (null: nothing).
void rect_free(RectNode* node);
// Puts every node of a list back into the pool.
void rect_free_list(RectNode* list);
// Frees every node held by the pool.
void VRK_rect_exit(void);
// Removes c from every rectangle of *list in place (overlapping nodes are replaced by up to four
// pieces: top band, bottom band, left part, right part). Stops where a node cannot be had.
void rect_clip_list(RectNode** list, const Rect* c);
// A new list holding a minus b (top band, left part, right part, bottom band); an empty list
// (null) when a lies inside b or a node cannot be had.
RectNode* rect_clip(const Rect* a, const Rect* b);
// out = a clipped to b; 0, or -1 when they do not overlap (out then holds a).
int rect_inside_bound(const Rect* a, const Rect* b, Rect* out);
// out = the smallest rectangle holding both a and b.
void rect_min_bound(const Rect* a, const Rect* b, Rect* out);
// 1 when a and b share at least one pixel.
inline int rect_overlap(const Rect* a, const Rect* b) {
  return a->ulx <= b->lrx && b->ulx <= a->lrx && a->uly <= b->lry && b->uly <= a->lry;
}
