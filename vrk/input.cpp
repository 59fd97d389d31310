// Background processes, the clock and the default screen-dump writer.
#include "vrk/input.h"

#include <cstdio>
#include <cstring>

#include "platform/bmp.h"
#include "platform/os.h"
#include "vrk/input_internal.h"
#include "vrk/memory.h"

int VRK95_repeat_rate = 80;
int VRK95_repeat_delay = 500;

namespace {

struct BkNode {
  uint8_t flags;  // bit 0: removed
  bk_process_fn fn;
  BkNode* next;
};

BkNode* bk_list = nullptr;
int bk_disabled = 0;
uint32_t bk_process_time = 0;

}  // namespace

int game_paused = 0;

void VRK_free_bk_list(void) {
  while (bk_list) {
    BkNode* next = bk_list->next;
    mem_free(bk_list);
    bk_list = next;
  }
  bk_disabled = 0;
  game_paused = 0;
}


// --- background processes ---

void VRK_do_bk_process(void) {
  if (game_paused || bk_disabled) return;
  bk_process_time = get_time();
  BkNode** link = &bk_list;
  while (*link) {
    BkNode* n = *link;
    if (n->flags & 1) {
      *link = n->next;
      mem_free(n);
      continue;
    }
    n->fn();
    link = &n->next;
  }
}

void add_bk_process(bk_process_fn fn) {
  if (!fn) return;
  for (BkNode* n = bk_list; n; n = n->next)
    if (n->fn == fn) {
      n->flags &= uint8_t(~1);
      return;
    }
  auto* n = static_cast<BkNode*>(mem_malloc(sizeof(BkNode)));
  if (!n) return;
  *n = {0, fn, bk_list};
  bk_list = n;
}

void remove_bk_process(bk_process_fn fn) {
  for (BkNode* n = bk_list; n; n = n->next)
    if (n->fn == fn) n->flags |= 1;
}

void enable_bk(void) { bk_disabled = 0; }
void disable_bk(void) { bk_disabled = 1; }

// The dumps go into the process's own current directory, named as the running system names files:
// on the host build that is the real folder, which the emulated machine's programs may not write
// (it is the medium, a disc to them).
int default_screendump(int width, int height, const uint8_t* pixels, const uint8_t* palette) {
  char name[16];
  int n = 0;
  for (; n < 100000; ++n) {
    std::snprintf(name, sizeof name, "scr%.5d.bmp", n);
    FILE* there = os_fopen_native(name, "rb");
    if (!there) break;
    std::fclose(there);
  }
  if (n == 100000) return -1;
  FILE* f = os_fopen_native(name, "wb");
  if (!f) return -1;
  int r = plat_write_bmp8(f, width, height, pixels, width, palette);
  if (std::fclose(f) != 0) r = -1;
  return r;
}

// --- time ---

uint32_t get_time(void) { return plat_time_ms(); }

int elapsed_tocks(uint32_t later, uint32_t earlier) {
  if (earlier > later) return 0x7FFFFFFF;
  uint32_t d = later - earlier;
  return d > 0x7FFFFFFFu ? 0x7FFFFFFF : int(d);
}

int elapsed_time(uint32_t start) { return elapsed_tocks(get_time(), start); }

void pause_for_tocks(int ms) {
  const uint32_t start = get_time();
  while (elapsed_time(start) < ms) {
    process_bk();
    int left = ms - elapsed_time(start);
    if (left > 0) plat_wait_events(left < 10 ? left : 10);
  }
}

void block_for_tocks(int ms) {
  const uint32_t start = get_time();
  for (int left = ms; left > 0; left = ms - elapsed_time(start)) plat_wait_events(left);
}

uint32_t get_bk_time(void) { return bk_process_time; }
void set_repeat_rate(int ms) { VRK95_repeat_rate = ms; }
int get_repeat_rate(void) { return VRK95_repeat_rate; }
void set_repeat_delay(int ms) { VRK95_repeat_delay = ms; }
int get_repeat_delay(void) { return VRK95_repeat_delay; }
