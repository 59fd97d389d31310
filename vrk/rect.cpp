// Rectangle lists and the node pool.
#include "vrk/rect.h"

#include <algorithm>

#include "vrk/memory.h"

namespace {

RectNode* pool = nullptr;  // free nodes

void insert_after(RectNode**& link, const Rect& r, bool& ok) {
  RectNode* n = rect_malloc();
  if (!n) {
    ok = false;
    return;
  }
  n->rect = r;
  n->next = *link;
  *link = n;
  link = &n->next;
}

}  // namespace

RectNode* rect_malloc(void) {
  if (!pool) {
    for (int i = 0; i < 10; ++i) {
      auto* n = static_cast<RectNode*>(mem_malloc(sizeof(RectNode)));
      if (!n) break;
      n->next = pool;
      pool = n;
    }
    if (!pool) return nullptr;
  }
  RectNode* n = pool;
  pool = n->next;
  n->next = nullptr;
  return n;
}

void rect_free(RectNode* node) {
  if (!node) return;
  node->next = pool;
  pool = node;
}

void rect_free_list(RectNode* list) {
  while (list) {
    RectNode* next = list->next;
    rect_free(list);
    list = next;
  }
}

void VRK_rect_exit(void) {
  while (pool) {
    RectNode* next = pool->next;
    mem_free(pool);
    pool = next;
  }
}

void rect_clip_list(RectNode** list, const Rect* c) {
  RectNode** link = list;
  while (*link) {
    RectNode* node = *link;
    if (!rect_overlap(&node->rect, c)) {
      link = &node->next;
      continue;
    }
    Rect r = node->rect;
    *link = node->next;
    rect_free(node);
    bool ok = true;
    if (r.uly < c->uly) {
      insert_after(link, {r.ulx, r.uly, r.lrx, c->uly - 1}, ok);
      r.uly = c->uly;
    }
    if (ok && r.lry > c->lry) {
      insert_after(link, {r.ulx, c->lry + 1, r.lrx, r.lry}, ok);
      r.lry = c->lry;
    }
    if (ok && r.ulx < c->ulx) insert_after(link, {r.ulx, r.uly, c->ulx - 1, r.lry}, ok);
    if (ok && r.lrx > c->lrx) insert_after(link, {c->lrx + 1, r.uly, r.lrx, r.lry}, ok);
    if (!ok) return;
  }
}

RectNode* rect_clip(const Rect* a, const Rect* b) {
  RectNode* list = nullptr;
  RectNode** link = &list;
  bool ok = true;
  if (!rect_overlap(a, b)) {
    insert_after(link, *a, ok);
    return list;
  }
  Rect i = {std::max(a->ulx, b->ulx), std::max(a->uly, b->uly), std::min(a->lrx, b->lrx), std::min(a->lry, b->lry)};
  const Rect pieces[4] = {{a->ulx, a->uly, a->lrx, i.uly - 1},
                          {a->ulx, i.uly, i.ulx - 1, i.lry},
                          {i.lrx + 1, i.uly, a->lrx, i.lry},
                          {a->ulx, i.lry + 1, a->lrx, a->lry}};
  for (const Rect& p : pieces) {
    if (p.lrx < p.ulx || p.lry < p.uly) continue;
    insert_after(link, p, ok);
    if (!ok) {
      rect_free_list(list);
      return nullptr;
    }
  }
  return list;
}

int rect_inside_bound(const Rect* a, const Rect* b, Rect* out) {
  *out = *a;
  if (!rect_overlap(a, b)) return -1;
  out->ulx = std::max(a->ulx, b->ulx);
  out->uly = std::max(a->uly, b->uly);
  out->lrx = std::min(a->lrx, b->lrx);
  out->lry = std::min(a->lry, b->lry);
  return 0;
}

void rect_min_bound(const Rect* a, const Rect* b, Rect* out) {
  *out = {std::min(a->ulx, b->ulx), std::min(a->uly, b->uly), std::max(a->lrx, b->lrx), std::max(a->lry, b->lry)};
}
